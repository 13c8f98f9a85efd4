#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "design/schematictool.h"
#include "report/table.h"

namespace vexlo::report {

struct IntermediateCounts {
    std::size_t componentCount = 0;  // K: Count of the flattened design's components
    std::size_t columnCount = 0;     // C: the number of report columns
    std::size_t rowCount = 0;        // data lines written: one per distinct designator
};

// Deletes the file if it is there and writes it anew, lines ended by CR LF: the column names
// joined by TAB, then for each component with a non-empty reference designator not met before
// (in enumeration order) its values joined by TAB: "1" for "QTY", otherwise the attribute's value
// by design::attributeValue. A TAB, CR or LF inside a name or value is written as a space, so
// that every line has exactly the columns' fields. Nothing is quoted.
IntermediateCounts writeIntermediateFile(const design::FlattenedDesign& design,
                                         const std::vector<std::string>& columns,
                                         const std::string& path);

// The intermediate file read back as a table: the first line is the header, each TAB-separated
// field one cell (a numeric reading included).
Table importIntermediateFile(const std::string& path);

}  // namespace vexlo::report
