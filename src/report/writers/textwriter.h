#pragma once

#include "report/table/table.h"
#include "report/writers/reportsink.h"
#include "report/writers/writer.h"

namespace vexlo::report {

// The text report: a fixed-width table, header first, every column left-aligned and five
// characters wider than its longest entry (counted in characters), every line padded to its
// last column's width and ended by CR LF.
void writeTextReport(const Table& table, const ReportSink& sink);

// The text format: ".txt"; a comparison as its title line, then its table with the "Change"
// column. A viewer that cannot be started fails its report.
const Writer& textWriter();

}  // namespace vexlo::report
