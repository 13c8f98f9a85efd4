#pragma once

#include <string>
#include <vector>

#include "report/table.h"
#include "settings/settings.h"

namespace vexlo::report {

// Output formats of Export_File_Format.
enum ExportFormat : int { FormatWorkbook = 0, FormatText = 1, FormatHtml = 2, FormatCsv = 3 };

// Where one report's time went: fetching the design from the tool, building the table, and
// writing the report file. Filled when a request asks for it.
struct ReportTimings {
    double fetchSeconds = 0;
    double tableSeconds = 0;
    double writeSeconds = 0;
};

// Everything one report is asked for, by the window or the command line.
struct ReportRequest {
    std::vector<std::string> columns;  // the column names, left to right
    int compress = 0;                  // rows are grouped by the keys only when 1
    Keys keys;                         // the key columns' names, in order; none = no key
    std::string choiceSuffix;          // "" or "_" followed by a saved selection's name
    // "": the report is named F + D + choiceSuffix + extension, beside the design; else the path
    // it is named from instead of F + D (vexlo-report --output, KiCad's %O).
    std::string outputBase;
    settings::Settings settings;       // fonts, format, template, exclusion, designator order
    bool showReport = true;            // hand the written report to xdg-open
    ReportTimings* timings = nullptr;  // when set, the run's phases are timed into it
};

}  // namespace vexlo::report
