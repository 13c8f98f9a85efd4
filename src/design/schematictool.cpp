#include "design/schematictool.h"

#include "common/error.h"
#include "design/toolnames.h"

namespace vexlo::design {

std::string SchematicTool::DesignName() {
    const std::string documentName = ActiveViewDocumentName();
    auto name = designNameOf(documentName);
    if (!name) {
        throw Error(errc::BadDesignName,
                    "The document name \"" + documentName +
                        "\" is too short to give a design name (it needs at least two characters)");
    }
    return *name;
}

std::string SchematicTool::OutputFolder() {
    return outputFolderOf(ActiveDocumentPath());
}

}  // namespace vexlo::design
