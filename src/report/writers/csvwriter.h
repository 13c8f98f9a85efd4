#pragma once

#include "report/table/table.h"
#include "report/writers/reportsink.h"
#include "report/writers/writer.h"

namespace vexlo::report {

// The CSV report: one line per printed row, header first, fields quoted as appendCsvField does,
// lines ended by CR LF.
void writeCsvReport(const Table& table, const ReportSink& sink);

// The comma-separated format: ".csv"; a comparison as its title in a line of one field, then
// its table with the "Change" column.
const Writer& csvWriter();

}  // namespace vexlo::report
