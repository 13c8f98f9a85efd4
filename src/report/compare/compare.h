#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "design/schematictool.h"
#include "report/options/reportstyle.h"
#include "report/options/request.h"
#include "report/table/table.h"

// What changed between two revisions of a design: both tables built by the report's own run
// (columns, exclusion, key, compress, designator order), then matched row by row.
namespace vexlo::report {

// What a row of a comparison tells of its part, or of its key when compressing.
enum class Change { Same, Added, Removed, Changed };

// "same", "added", "removed" or "changed".
const char* changeName(Change change) noexcept;

// A revision of the design, as the comparison names it.
struct Revision {
    std::string name;  // the design file, or the schematic tool's document
    std::shared_ptr<const design::FlattenedDesign> design;
};

struct ChangeCounts {
    std::size_t added = 0;
    std::size_t removed = 0;
    std::size_t changed = 0;

    bool any() const noexcept { return added + removed + changed != 0; }
};

// "2 added, 1 removed, 3 changed".
std::string countsText(const ChangeCounts& counts);

// A comparison as its report holds it. Compressed (a key): one row per key, its columns the key,
// "Old QTY", "New QTY", "Added" and "Removed" (designators, joined in the designator order
// chosen), then "Old C" and "New C" for each other column C ("REFDES" and "QTY" are the four
// before). Not compressed: one row per designator, its columns "Designator", then "Old C" and
// "New C" for each column but "REFDES" and "QTY" (the row's designator, and 1). A changed row fills
// the pairs whose values differ and leaves the others empty; an added row fills the new values, a
// removed row the old ones, a row that is the same both. The table owns its texts.
struct Comparison {
    std::string title;  // `Changes from "OLD" to "NEW": 2 added, 1 removed, 3 changed`
    Table table;
    std::vector<Change> changes;  // each data row's
    std::vector<bool> differs;    // each data cell: a value of a changed row that differs
    ChangeCounts counts;
};

// Compares the old revision's table with the new one's for the request. Rows whose part or key is
// only in the new revision are added, only in the old removed; rows in both are changed when a
// designator, a quantity or a value differs. Rows that are the same are left out unless keepSame.
//
// Keys match as the report merges them (numbers by value, text exactly); a key met in several
// runs matches run by run; an empty key, never merged, matches by its designator. Rows come in
// the report's order: by key when compressing (a removed key after a new one that sorts equal),
// by designator in natural order when the order asks for it, else the new revision's order with
// the removed parts after it. A key that names no column throws KeyNotInColumns, and so does
// compressing with no key or a key of no name (a key line "==" in a saved selection).
Comparison compareRevisions(const Revision& old, const Revision& now, const ReportRequest& request,
                            bool keepSame);

// The comparison's table with a first column "Change" naming each row's change, as the text and
// comma-separated reports print it.
Table withChangeColumn(const Comparison& comparison);

}  // namespace vexlo::report
