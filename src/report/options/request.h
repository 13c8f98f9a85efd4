#pragma once

#include <string>
#include <vector>

#include "report/options/reportstyle.h"
#include "report/table/designtable.h"
#include "report/table/table.h"

namespace vexlo::report {

// The output formats, numbered as the settings file and --format number them. A number that
// names no format is kept as it is, so that the report can name it when it refuses it.
enum class Format : int { Workbook = 0, Text = 1, Html = 2, Csv = 3 };

// How the reports of a run are written, built once by a front end from the settings file, the
// Options window or the command line.
struct ReportOptions {
    Format format = Format::Workbook;
    bool xlsx = false;                         // the workbook report named ".xlsx", not ".xls"
    RefdesOrder order = RefdesOrder::AsFound;  // designators in merged rows; rows uncompressed
    Exclusion exclusion;                       // the parts left out
    WorkbookLayout layout;                     // styles (the HTML report's too), start, template
};

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
    bool compress = false;             // rows are grouped by the keys
    Keys keys;                         // the key columns' names, in order; none = no key
    std::string choiceSuffix;          // "" or "_" followed by a saved selection's name
    // "": the report is named F + D + choiceSuffix + extension, beside the design; else the path
    // it is named from instead of F + D (vexlo-report --output, KiCad's %O).
    std::string outputBase;
    ReportOptions options;
    bool showReport = true;            // hand the written report to xdg-open
    ReportTimings* timings = nullptr;  // when set, the run's phases are timed into it
};

// The rules a request's table is built by: its exclusion, and its rows in natural designator order
// when its order asks for it and it does not compress (merged rows order their reference lists
// instead).
inline TableRules tableRulesOf(const ReportRequest& request) {
    TableRules rules;
    rules.exclusion = request.options.exclusion;
    rules.naturalOrder = request.options.order != RefdesOrder::AsFound && !request.compress;
    return rules;
}

}  // namespace vexlo::report
