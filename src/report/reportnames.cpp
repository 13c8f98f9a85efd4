#include "report/reportnames.h"

#include "common/characters.h"
#include "common/error.h"

namespace vexlo::report {

std::string outputFolderOf(const std::string& documentPath) {
    auto folder = withoutLastCharacters(documentPath, 4);
    if (!folder) {
        throw Error(errc::BadDocumentPath,
                    "The document path \"" + documentPath +
                        "\" is too short to give an output folder (it needs at least four "
                        "characters)");
    }
    return std::move(*folder);
}

ReportNames reportNames(design::SchematicTool& tool, const std::string& choiceSuffix) {
    ReportNames names;
    names.designName = design::designName(tool);
    names.documentPath = tool.ActiveDocumentPath();
    names.outputFolder = outputFolderOf(names.documentPath);
    names.choiceSuffix = choiceSuffix;
    return names;
}

}  // namespace vexlo::report
