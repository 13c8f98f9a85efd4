#include "report/run/reportsource.h"

#include "common/characters.h"
#include "common/error.h"

namespace vexlo::report {

namespace {

void checkStaysInFolder(std::string_view what, std::string_view name, const std::string& folder) {
    if (name.find_first_of(std::string_view("/\0", 2)) != std::string_view::npos) {
        throw Error(errc::NameLeavesFolder, std::string(what) + " \"" + std::string(name) +
                                                "\" would put the report outside its folder \"" +
                                                folder +
                                                "\": a name for a report file cannot "
                                                "hold \"/\" or a NUL character");
    }
    // One path a line is what scripts read of the reports written.
    if (name.find_first_of("\r\n") != std::string_view::npos) {
        throw Error(errc::BadReportName, std::string(what) + " \"" + std::string(name) +
                                             "\" holds a line break, which a report file's name "
                                             "cannot hold");
    }
}

}  // namespace

std::string ReportSource::reportFile(std::string_view choiceSuffix, std::string_view extension,
                                     std::string_view base) const {
    if (base.empty()) {
        checkStaysInFolder("The design name", designName, outputFolder);
    }
    // The folder a base names its reports in: what precedes its last "/".
    const std::string folder =
        base.empty() ? outputFolder : std::string(base.substr(0, base.rfind('/') + 1));
    checkStaysInFolder("The saved selection name",
                       choiceSuffix.substr(choiceSuffix.empty() ? 0 : 1), folder);
    std::string path = base.empty() ? outputFolder + designName : std::string(base);
    path += choiceSuffix;
    path += extension;
    return path;
}

}  // namespace vexlo::report
