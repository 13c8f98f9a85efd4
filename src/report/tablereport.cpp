#include "report/tablereport.h"

#include "common/error.h"
#include "common/textfile.h"
#include "common/viewer.h"
#include "report/reportnames.h"
#include "report/transientfiles.h"

namespace vexlo::report {

std::string renderToString(const TableRenderer& render,
                           const std::vector<std::string>& tableLines) {
    std::string content;
    render(tableLines, [&content](std::string_view bytes) { content += bytes; });
    return content;
}

std::string writeTableReport(design::SchematicTool& tool, const ReportRequest& request,
                             std::string_view extension, const TableRenderer& render,
                             ViewerFailure viewerFailure) {
    const ReportNames names = reportNames(tool, request.choiceSuffix);
    const std::string tablePath = names.tableFile();
    const std::string reportPath = names.reportFile(extension);
    TransientFiles transient({tablePath});

    const std::vector<std::string> tableLines = readTextLinesOrThrow(tablePath);
    AtomicFile report(reportPath);
    render(tableLines, [&report](std::string_view bytes) { report.write(bytes); });
    report.commit();
    transient.remove(tablePath);

    if (request.showReport && !openForUser(reportPath) &&
        viewerFailure == ViewerFailure::Reported) {
        throw Error(errc::ViewerNotStarted, "The report was written to \"" + reportPath +
                                                "\", but no viewer could be started to show it "
                                                "(xdg-open was not found or failed)");
    }
    return reportPath;
}

}  // namespace vexlo::report
