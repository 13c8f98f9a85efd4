#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "design/schematictool.h"
#include "report/table/table.h"

namespace vexlo::report {

// The parts a report leaves out: those whose
// value of the attribute, by design::attributeValue, is one of the values. Values are compared
// with blanks (spaces, tabs) around them removed and ASCII letter case ignored.
struct Exclusion {
    std::string attribute;            // "" leaves nothing out
    std::vector<std::string> values;  // as compared: trimmed, ASCII letters in lower case
};

// The exclusion of an attribute and its values separated by ","; an entry that is empty once
// trimmed matches nothing, so "DNP," does not leave out every part without the attribute.
Exclusion exclusionOf(const std::string& attribute, std::string_view values);

// Whether the exclusion leaves the component out.
bool excludes(const Exclusion& exclusion, const design::Component& component);

// What a table keeps and in which order its rows come.
struct TableRules {
    Exclusion exclusion;
    bool naturalOrder = false;  // rows by designator in natural order; otherwise as found
    bool designators = false;   // each row's designator kept in Table::designators
};

// The report table of a design: one row per component with a non-empty reference designator
// not met before (in enumeration order; later ones are further sections of the same part) and
// not left out by the exclusion, its cells "1" for "QTY" and otherwise the attribute's value by
// design::attributeValue. The designator rule comes first: a part left out still takes its
// designator from later sections. A TAB, CR or LF inside a value or a column name is shown as a
// space. The table views the design's texts, so the design must outlive it.
Table buildTable(const design::FlattenedDesign& design, const std::vector<std::string>& columns,
                 const TableRules& rules = {});

// The columns that no component of the design carries by the lookup order (object attributes,
// attributes, symbol attributes), in column order, "QTY" never among them.
std::vector<std::string> columnsNoComponentCarries(const design::FlattenedDesign& design,
                                                   const std::vector<std::string>& columns);

}  // namespace vexlo::report
