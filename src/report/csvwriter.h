#pragma once

#include <string>
#include <vector>

#include "design/schematictool.h"
#include "report/dispatch.h"
#include "report/tablereport.h"

namespace vexlo::report {

// Output format 3: copies "temp.csv" line by line, quoting as it stands and lines ended by
// CR LF, to F + D + choiceSuffix + ".csv", deletes "temp.csv" and shows the report. Returns its
// path; a viewer that cannot be started is not reported.
std::string FillCSV2(design::SchematicTool& tool, const ReportRequest& request);

void writeCsvReport(const std::vector<std::string>& tableLines, const ReportSink& sink);
std::string csvReport(const std::vector<std::string>& tableLines);

}  // namespace vexlo::report
