#pragma once

#include "report/reportsink.h"
#include "report/table.h"

namespace vexlo::report {

// The CSV report: one line per printed row, header first, fields quoted as appendCsvField does,
// lines ended by CR LF.
void writeCsvReport(const Table& table, const ReportSink& sink);

}  // namespace vexlo::report
