#include "report/csvwriter.h"

#include "report/csvline.h"

namespace vexlo::report {

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

}  // namespace vexlo::report
