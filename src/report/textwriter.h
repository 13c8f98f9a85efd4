#pragma once

#include "report/reportsink.h"
#include "report/table.h"

namespace vexlo::report {

// The text report: a fixed-width table, header first, every column left-aligned and five
// characters wider than its longest entry (counted in characters), every line padded to its
// last column's width and ended by CR LF.
void writeTextReport(const Table& table, const ReportSink& sink);

}  // namespace vexlo::report
