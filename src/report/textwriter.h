#pragma once

#include <string>
#include <vector>

#include "design/schematictool.h"
#include "report/dispatch.h"
#include "report/tablereport.h"

namespace vexlo::report {

// Output format 1: writes the fixed-width text report F + D + choiceSuffix + ".txt" from
// "temp.csv", deletes "temp.csv" and shows the report. Returns its path. A viewer that cannot be
// started throws ViewerNotStarted after the report is written.
std::string FillNotepad2(design::SchematicTool& tool, const ReportRequest& request);

// The text report: each field left-aligned and padded with spaces to its column's width, the
// longest field of the column in characters plus 5; lines ended by CR LF.
void writeTextReport(const std::vector<std::string>& tableLines, const ReportSink& sink);
std::string textReport(const std::vector<std::string>& tableLines);

}  // namespace vexlo::report
