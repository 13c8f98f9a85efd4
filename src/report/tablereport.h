#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "design/schematictool.h"
#include "report/dispatch.h"

namespace vexlo::report {

// Takes a report's bytes piece by piece, so that a large report is never held whole.
using ReportSink = std::function<void(std::string_view bytes)>;

// Turns the lines of "temp.csv" into the bytes of a report file.
using TableRenderer =
    std::function<void(const std::vector<std::string>& tableLines, const ReportSink& sink)>;

// A renderer's whole output as one string.
std::string renderToString(const TableRenderer& render, const std::vector<std::string>& tableLines);

// What the viewer's failure to start means for a writer.
enum class ViewerFailure { Reported, Ignored };

// The steps the text, HTML and CSV writers share: read P + "temp.csv", put the rendered report
// in place whole as F + D + choiceSuffix + extension, delete "temp.csv" (also when any step
// fails), then hand the report to xdg-open when request.showReport. Returns the report's path.
std::string writeTableReport(design::SchematicTool& tool, const ReportRequest& request,
                             std::string_view extension, const TableRenderer& render,
                             ViewerFailure viewerFailure);

}  // namespace vexlo::report
