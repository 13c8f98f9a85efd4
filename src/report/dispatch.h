#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "design/schematictool.h"
#include "options/settings.h"

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

// Everything a report reads of the main window's state.
struct ReportRequest {
    std::vector<std::string> columns;  // the column list, left to right
    int compress = 0;                  // value of chkCompress; rows are grouped only when 1
    std::string key;                   // caption of lblkey; empty = no key
    std::string choiceSuffix;          // "" or "_" followed by a saved selection's name
    options::Settings settings;        // the option fields
    bool showReport = true;            // hand the written report to xdg-open
    ReportTimings* timings = nullptr;  // when set, the run's phases are timed into it
};

// Seconds since a start, for the phases of ReportTimings.
double secondsSince(std::chrono::steady_clock::time_point start);

// The message of Create Report when compressing without a key.
inline constexpr const char* missingKeyMessage =
    "You have selected to Compress Report, you must select a Key. Select the key in the Attribute "
    "Selected list and select the 'Add Key' button";

// Create Report's guard: compressing needs a key.
inline bool lacksKey(const ReportRequest& request) {
    return request.compress == 1 && request.key.empty();
}

// Writes the report of the tool's open design in the format of settings.Export_File_Format and
// returns its full path; a format that has no writer writes nothing and returns "". Failures
// throw vexlo::Error, and no transient file is left behind.
std::string ExporttoExcel(design::SchematicTool& tool, const ReportRequest& request);

}  // namespace vexlo::report
