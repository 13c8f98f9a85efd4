#include "report/textwriter.h"

#include <algorithm>

#include "common/characters.h"

namespace vexlo::report {

namespace {

constexpr std::size_t columnGap = 5;

}  // namespace

void writeTextReport(const Table& table, const ReportSink& sink) {
    std::vector<std::size_t> widths(table.width(), 0);
    forEachPrintedRow(table, [&widths](std::span<const std::string_view> row) {
        for (std::size_t column = 0; column < row.size(); ++column) {
            widths[column] = std::max(widths[column], characterCount(row[column]) + columnGap);
        }
    });
    std::string text;
    forEachPrintedRow(table, [&](std::span<const std::string_view> row) {
        for (std::size_t column = 0; column < row.size(); ++column) {
            text += row[column];
            text.append(widths[column] - characterCount(row[column]), ' ');
        }
        text += "\r\n";
        passFullSlice(text, sink);
    });
    sink(text);
}

}  // namespace vexlo::report
