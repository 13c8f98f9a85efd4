#include "report/tablereport.h"

#include "common/error.h"
#include "common/textfile.h"
#include "common/viewer.h"
#include "report/reportnames.h"
#include "report/transientfiles.h"

namespace vexlo::report {

std::string writeTableReport(design::SchematicTool& tool, const ReportRequest& request,
                             std::string_view extension, const TableRenderer& render,
                             ViewerFailure viewerFailure) {
    const ReportNames names = reportNames(tool, request.choiceSuffix);
    const std::string tablePath = names.tableFile();
    const std::string reportPath = names.reportFile(extension);
    TransientFiles transient({tablePath});

    const std::string content = render(readTextLinesOrThrow(tablePath));
    AtomicFile report(reportPath);
    report.write(content);
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
