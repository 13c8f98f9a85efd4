#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "design/schematictool.h"
#include "options/settings.h"
#include "report/dispatch.h"
#include "report/tablereport.h"

namespace vexlo::report {

// Output format 2: writes the HTML report F + D + choiceSuffix + ".html" from "temp.csv",
// deletes "temp.csv" and shows the report. Returns its path; a viewer that cannot be started
// is not reported.
std::string FillHtml2(design::SchematicTool& tool, const ReportRequest& request);

// The text around each cell's font size and field: the same for every cell, header included.
struct HtmlCellTemplate {
    std::string_view opening;
    std::string_view closing;
};

HtmlCellTemplate htmlCellTemplate(int valueBold, int valueItalic) noexcept;

// "&", "<" and ">" as entities; everything else as it is.
std::string escapeHtml(std::string_view text);

// The HTML report: one table row per line of "temp.csv", one line per cell, an empty field
// shown as "-"; lines ended by CR LF.
void writeHtmlReport(const std::vector<std::string>& tableLines, const options::Settings& settings,
                     const ReportSink& sink);
std::string htmlReport(const std::vector<std::string>& tableLines,
                       const options::Settings& settings);

}  // namespace vexlo::report
