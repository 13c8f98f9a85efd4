#include "report/reportsource.h"

#include "common/characters.h"
#include "common/error.h"

namespace vexlo::report {

std::string ReportSource::reportFile(std::string_view choiceSuffix,
                                     std::string_view extension) const {
    std::string path = outputFolder + designName;
    path += choiceSuffix;
    path += extension;
    return path;
}

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

}  // namespace vexlo::report
