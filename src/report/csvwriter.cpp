#include "report/csvwriter.h"

#include "report/tablereport.h"

namespace vexlo::report {

std::string csvReport(const std::vector<std::string>& tableLines) {
    std::string content;
    for (const std::string& line : tableLines) {
        content += line;
        content += "\r\n";
    }
    return content;
}

std::string FillCSV2(design::SchematicTool& tool, const ReportRequest& request) {
    return writeTableReport(tool, request, ".csv", csvReport, ViewerFailure::Ignored);
}

}  // namespace vexlo::report
