#pragma once

#include <string>
#include <vector>

#include "design/schematictool.h"
#include "report/table.h"

namespace vexlo::report {

// The report table of a design: one row per component with a non-empty reference designator
// not met before (in enumeration order; later ones are further sections of the same part), its
// cells "1" for "QTY" and otherwise the attribute's value by design::attributeValue. A TAB, CR
// or LF inside a value or a column name is shown as a space. The table views the design's
// texts, so the design must outlive it.
Table buildTable(const design::FlattenedDesign& design, const std::vector<std::string>& columns);

}  // namespace vexlo::report
