#include "report/csvwriter.h"

namespace vexlo::report {

void writeCsvReport(const std::vector<std::string>& tableLines, const ReportSink& sink) {
    for (const std::string& line : tableLines) {
        sink(line);
        sink("\r\n");
    }
}

std::string csvReport(const std::vector<std::string>& tableLines) {
    return renderToString(writeCsvReport, tableLines);
}

std::string FillCSV2(design::SchematicTool& tool, const ReportRequest& request) {
    return writeTableReport(tool, request, ".csv", writeCsvReport, ViewerFailure::Ignored);
}

}  // namespace vexlo::report
