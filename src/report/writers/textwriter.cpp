#include "report/writers/textwriter.h"

#include <algorithm>

#include "common/characters.h"
#include "report/compare/compare.h"

namespace vexlo::report {

namespace {

constexpr std::size_t columnGap = 5;

class TextWriter final : public Writer {
public:
    std::string_view name() const noexcept override { return "Text"; }
    std::string_view argument() const noexcept override { return "text"; }
    std::string extension(const ReportOptions&) const override { return ".txt"; }
    void writeTable(const ReportTable& table, const ReportOptions&,
                    const std::string& path) const override {
        writeAtomically(path, [&table](const ReportSink& sink) { writeTextReport(table, sink); });
    }
    void writeComparison(const Comparison& comparison, const ReportOptions&,
                         const std::string& path) const override {
        writeAtomically(path, [&comparison](const ReportSink& sink) {
            sink(comparison.title + "\r\n");
            writeTextReport(withChangeColumn(comparison), sink);
        });
    }
    bool needsViewer() const noexcept override { return true; }
};

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

const Writer& textWriter() {
    static const TextWriter writer;
    return writer;
}

}  // namespace vexlo::report
