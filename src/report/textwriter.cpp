#include "report/textwriter.h"

#include <algorithm>

#include "common/characters.h"
#include "report/csvline.h"

namespace vexlo::report {

namespace {

constexpr std::size_t columnGap = 5;

std::vector<std::size_t> columnWidths(const std::vector<std::string>& tableLines) {
    std::vector<std::size_t> widths;
    for (const std::string& line : tableLines) {
        const std::vector<std::string> fields = splitCsvFields(line);
        if (widths.size() < fields.size()) {
            widths.resize(fields.size(), 0);
        }
        for (std::size_t column = 0; column < fields.size(); ++column) {
            widths[column] = std::max(widths[column], characterCount(fields[column]) + columnGap);
        }
    }
    return widths;
}

}  // namespace

void writeTextReport(const std::vector<std::string>& tableLines, const ReportSink& sink) {
    const std::vector<std::size_t> widths = columnWidths(tableLines);
    std::string text;
    for (const std::string& line : tableLines) {
        text.clear();
        const std::vector<std::string> fields = splitCsvFields(line);
        for (std::size_t column = 0; column < fields.size(); ++column) {
            text += fields[column];
            text.append(widths[column] - characterCount(fields[column]), ' ');
        }
        text += "\r\n";
        sink(text);
    }
}

std::string textReport(const std::vector<std::string>& tableLines) {
    return renderToString(writeTextReport, tableLines);
}

std::string FillNotepad2(design::SchematicTool& tool, const ReportRequest& request) {
    return writeTableReport(tool, request, ".txt", writeTextReport, ViewerFailure::Reported);
}

}  // namespace vexlo::report
