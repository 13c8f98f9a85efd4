#include "report/writers/csvwriter.h"

#include "report/compare/compare.h"
#include "report/writers/csvline.h"

namespace vexlo::report {

namespace {

class CsvWriter final : public Writer {
public:
    std::string_view name() const noexcept override { return "CSV"; }
    std::string_view argument() const noexcept override { return "csv"; }
    std::string extension(const ReportOptions&) const override { return ".csv"; }
    void writeTable(const ReportTable& table, const ReportOptions&,
                    const std::string& path) const override {
        writeAtomically(path, [&table](const ReportSink& sink) { writeCsvReport(table, sink); });
    }
    void writeComparison(const Comparison& comparison, const ReportOptions&,
                         const std::string& path) const override {
        writeAtomically(path, [&comparison](const ReportSink& sink) {
            std::string line;
            appendCsvField(line, comparison.title);
            sink(line + "\r\n");
            writeCsvReport(withChangeColumn(comparison), sink);
        });
    }
};

}  // namespace

void writeCsvReport(const Table& table, const ReportSink& sink) {
    std::string csv;
    forEachPrintedRow(table, [&](std::span<const std::string_view> row) {
        for (std::size_t column = 0; column < row.size(); ++column) {
            if (column > 0) {
                csv += ',';
            }
            appendCsvField(csv, row[column]);
        }
        csv += "\r\n";
        passFullSlice(csv, sink);
    });
    sink(csv);
}

const Writer& csvWriter() {
    static const CsvWriter writer;
    return writer;
}

}  // namespace vexlo::report
