#include "design/toolnames.h"

#include "common/characters.h"
#include "common/error.h"

namespace vexlo::design {

std::optional<std::string> designNameOf(std::string_view documentName) {
    return withoutLastCharacters(documentName, 2);
}

std::string outputFolderOf(const std::string& documentPath) {
    // A relative path would write into whatever folder the program runs in, and one without its
    // "/" would put the design name after a cut-off folder name.
    if (!documentPath.starts_with('/') || !documentPath.ends_with('/')) {
        throw Error(errc::BadDocumentPath,
                    "The document path \"" + documentPath +
                        "\" is not an absolute folder ending with \"/\": the schematic tool "
                        "must name the document's folder in full");
    }
    // Four characters off an absolute folder leave its "/" at least: "" would be relative.
    auto folder = withoutLastCharacters(documentPath, 4);
    if (!folder || folder->empty()) {
        throw Error(errc::BadDocumentPath,
                    "The document path \"" + documentPath +
                        "\" is too short to give an output folder (it needs at least five "
                        "characters)");
    }
    return std::move(*folder);
}

ToolDocument toolDocumentOf(const std::string& designName, const std::string& outputFolder) {
    return {designName + ".1", outputFolder + "././"};
}

}  // namespace vexlo::design
