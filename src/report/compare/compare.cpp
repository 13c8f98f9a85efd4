#include "report/compare/compare.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "common/error.h"
#include "report/table/designtable.h"

namespace vexlo::report {

namespace {

using Designators = std::vector<std::string_view>;

// One revision's table as the report holds it, with each row's designators: the run's when
// compressing, else the row's own.
struct Side {
    Table table;
    std::vector<Designators> designators;
    KeyColumns columns;
};

Side sideOf(const design::FlattenedDesign& design, const ReportRequest& request) {
    const RefdesOrder order = request.options.order;
    TableRules rules = tableRulesOf(request);
    rules.designators = true;
    Side side{buildTable(design, request.columns, rules), {}, {}};
    if (!request.compress) {
        for (const std::string_view designator : side.table.designators) {
            side.designators.push_back({designator});
        }
        return side;
    }
    const Grouping grouping = groupByKey(side.table, request.keys, order);
    side.columns = grouping.columns;
    const std::vector<std::size_t>& starts = grouping.starts;
    for (std::size_t run = 0; run < starts.size(); ++run) {
        const std::size_t end =
            run + 1 < starts.size() ? starts[run + 1] : side.table.designators.size();
        side.designators.emplace_back(side.table.designators.begin() + starts[run],
                                      side.table.designators.begin() + end);
    }
    mergeRuns(side.table, starts, grouping.columns, order);
    return side;
}

// A key cell as rows are matched by it: numbers by value (-0 as 0), text exactly.
std::string keyIdentity(std::string_view key) {
    if (const std::optional<double> number = readNumber(key)) {
        const double value = *number == 0 ? 0 : *number;  // -0 merges with 0
        char bytes[sizeof value];
        std::memcpy(bytes, &value, sizeof value);
        return "n" + std::string(bytes, sizeof bytes);
    }
    return "t" + std::to_string(key.size()) + ":" + std::string(key);
}

// What a row is matched by: its keys as the report merges keys, or, when every key is empty or
// when not compressing, its designator.
std::string identity(const Side& side, std::size_t row, bool compressed) {
    std::string keys;
    bool keyless = true;
    for (const std::size_t column : compressed ? side.columns.keys : std::vector<std::size_t>()) {
        const std::string_view key = side.table.cell(row, column);
        keyless = keyless && key.empty();
        keys += keyIdentity(key);
    }
    if (keyless) {
        return "d" + std::string(side.designators[row].front());
    }
    return keys;
}

// The rows of the two sides paired: the new side's partner of each old row, if any.
std::vector<std::optional<std::size_t>> pairRows(const Side& old, const Side& now,
                                                 bool compressed) {
    std::unordered_map<std::string, std::deque<std::size_t>> waiting;
    for (std::size_t row = 0; row < now.table.rowCount(); ++row) {
        waiting[identity(now, row, compressed)].push_back(row);
    }
    std::vector<std::optional<std::size_t>> partner(old.table.rowCount());
    for (std::size_t row = 0; row < partner.size(); ++row) {
        const auto found = waiting.find(identity(old, row, compressed));
        if (found != waiting.end() && !found->second.empty()) {
            partner[row] = found->second.front();
            found->second.pop_front();
        }
    }
    return partner;
}

struct Pair {
    std::optional<std::size_t> old;
    std::optional<std::size_t> now;
};

// The pairs in the report's order. Both sides are in the order `before` says (a strict weak
// order on their rows), so a merge keeps it; a removed row goes after new rows it does not
// precede. Without an order, the new side's rows come first and the removed ones after them.
template <typename Before>
std::vector<Pair> orderedPairs(std::size_t oldRows, std::size_t newRows,
                               const std::vector<std::optional<std::size_t>>& partner,
                               const Before& before) {
    std::vector<std::optional<std::size_t>> partnerOfNew(newRows);
    for (std::size_t row = 0; row < oldRows; ++row) {
        if (partner[row]) {
            partnerOfNew[*partner[row]] = row;
        }
    }
    std::vector<Pair> pairs;
    std::size_t oldRow = 0, newRow = 0;
    while (oldRow < oldRows || newRow < newRows) {
        if (oldRow < oldRows && partner[oldRow]) {
            ++oldRow;  // comes with its partner
        } else if (newRow < newRows && (oldRow == oldRows || !before(oldRow, newRow))) {
            pairs.push_back({partnerOfNew[newRow], newRow});
            ++newRow;
        } else {
            pairs.push_back({oldRow, std::nullopt});
            ++oldRow;
        }
    }
    return pairs;
}

// The designators of `from` that `other` lacks, in from's order.
Designators missingFrom(const Designators& from, const Designators& other) {
    const std::unordered_set<std::string_view> present(other.begin(), other.end());
    Designators missing;
    for (const std::string_view designator : from) {
        if (!present.contains(designator)) {
            missing.push_back(designator);
        }
    }
    return missing;
}

// Builds the comparison's rows one cell at a time.
class Builder {
public:
    explicit Builder(Comparison& comparison) : comparison_(comparison) {}

    void header(const std::string& name) { comparison_.table.header.push_back(name); }
    void cell(std::string_view text, bool differs = false) {
        comparison_.table.cells.push_back(text.empty() ? std::string_view()
                                                       : comparison_.table.keep(std::string(text)));
        comparison_.differs.push_back(differs);
    }
    // The old and new values of a column, as the row's change shows them.
    void pair(Change change, std::string_view old, std::string_view now) {
        const bool differ = old != now;
        const bool showOld = change == Change::Removed || change == Change::Same ||
                             (change == Change::Changed && differ);
        const bool showNew = change == Change::Added || change == Change::Same ||
                             (change == Change::Changed && differ);
        const bool marked = change == Change::Changed && differ;
        cell(showOld ? old : "", marked);
        cell(showNew ? now : "", marked);
    }
    // Ends a row: kept when it changed or keepSame, else its cells are taken back.
    void endRow(Change change, std::size_t cellsBefore, bool keepSame) {
        if (change == Change::Same && !keepSame) {
            comparison_.table.cells.resize(cellsBefore);
            comparison_.differs.resize(cellsBefore);
            return;
        }
        comparison_.changes.push_back(change);
        ChangeCounts& counts = comparison_.counts;
        counts.added += change == Change::Added ? 1 : 0;
        counts.removed += change == Change::Removed ? 1 : 0;
        counts.changed += change == Change::Changed ? 1 : 0;
    }

private:
    Comparison& comparison_;
};

// The columns compared value by value: when compressing, those a merged row takes from its first
// part; else every column but "REFDES" and "QTY".
std::vector<std::size_t> valueColumns(const Table& table, const KeyColumns& special,
                                      bool compressed) {
    if (compressed) {
        return otherColumns(table, special);
    }
    std::vector<std::size_t> columns;
    for (std::size_t column = 0; column < table.columns.size(); ++column) {
        if (table.columns[column] != "QTY" && table.columns[column] != "REFDES") {
            columns.push_back(column);
        }
    }
    return columns;
}

}  // namespace

const char* changeName(Change change) noexcept {
    switch (change) {
        case Change::Added:
            return "added";
        case Change::Removed:
            return "removed";
        case Change::Changed:
            return "changed";
        case Change::Same:
            break;
    }
    return "same";
}

std::string countsText(const ChangeCounts& counts) {
    return std::to_string(counts.added) + " added, " + std::to_string(counts.removed) +
           " removed, " + std::to_string(counts.changed) + " changed";
}

Comparison compareRevisions(const Revision& old, const Revision& now, const ReportRequest& request,
                            bool keepSame) {
    const bool compressed = request.compress;
    // No key, or the empty key (a key line "==" in a saved selection), keeps each row of a
    // report apart by a column past the last that no revision has: rows cannot match by it.
    if (compressed &&
        (request.keys.empty() || std::any_of(request.keys.begin(), request.keys.end(),
                                             [](const std::string& key) { return key.empty(); }))) {
        throw Error(errc::KeyNotInColumns,
                    "Cannot compare the revisions by an empty key: choose the attributes that tell "
                    "parts apart as the key, such as Value and Footprint");
    }
    const RefdesOrder order = request.options.order;
    const Side oldSide = sideOf(*old.design, request);
    const Side newSide = sideOf(*now.design, request);
    const auto partner = pairRows(oldSide, newSide, compressed);
    std::vector<Pair> pairs;
    if (compressed) {
        const std::vector<std::size_t>& keys = newSide.columns.keys;
        pairs = orderedPairs(
            oldSide.table.rowCount(), newSide.table.rowCount(), partner,
            [&](std::size_t oldRow, std::size_t newRow) {
                for (const std::size_t key : keys) {
                    if (const int order = compareSortKeys(oldSide.table.cell(oldRow, key),
                                                          newSide.table.cell(newRow, key))) {
                        return order < 0;
                    }
                }
                return false;
            });
    } else if (order != RefdesOrder::AsFound) {
        pairs = orderedPairs(oldSide.table.rowCount(), newSide.table.rowCount(), partner,
                             [&](std::size_t oldRow, std::size_t newRow) {
                                 return compareDesignators(oldSide.designators[oldRow].front(),
                                                           newSide.designators[newRow].front()) < 0;
                             });
    } else {
        pairs = orderedPairs(oldSide.table.rowCount(), newSide.table.rowCount(), partner,
                             [](std::size_t, std::size_t) { return false; });
    }

    Comparison comparison;
    Table& table = comparison.table;
    Builder build(comparison);
    const Table& names = newSide.table;
    const std::vector<std::size_t> values = valueColumns(names, newSide.columns, compressed);
    if (compressed) {
        for (const std::size_t key : newSide.columns.keys) {
            build.header(names.header[key]);
        }
        for (const char* name : {"Old QTY", "New QTY", "Added", "Removed"}) {
            build.header(name);
        }
    } else {
        build.header("Designator");
    }
    for (const std::size_t column : values) {
        build.header("Old " + names.header[column]);
        build.header("New " + names.header[column]);
    }
    table.columns = table.header;

    const Designators none;
    for (const Pair& pair : pairs) {
        const std::size_t cellsBefore = table.cells.size();
        const auto cellOf = [&](const Side& side, const std::optional<std::size_t>& row,
                                std::size_t column) {
            return row ? side.table.cell(*row, column) : std::string_view();
        };
        const Designators& oldNames = pair.old ? oldSide.designators[*pair.old] : none;
        const Designators& newNames = pair.now ? newSide.designators[*pair.now] : none;
        const Designators added = missingFrom(newNames, oldNames);
        const Designators removed = missingFrom(oldNames, newNames);
        Change change = !pair.old ? Change::Added : !pair.now ? Change::Removed : Change::Same;
        if (change == Change::Same) {
            const bool valuesDiffer = std::any_of(values.begin(), values.end(), [&](auto column) {
                return cellOf(oldSide, pair.old, column) != cellOf(newSide, pair.now, column);
            });
            change =
                valuesDiffer || !added.empty() || !removed.empty() ? Change::Changed : Change::Same;
        }
        if (compressed) {
            for (const std::size_t key : newSide.columns.keys) {
                build.cell(pair.now ? cellOf(newSide, pair.now, key)
                                    : cellOf(oldSide, pair.old, key));
            }
            const bool quantityDiffers = oldNames.size() != newNames.size();
            build.cell(std::to_string(oldNames.size()),
                       change == Change::Changed && quantityDiffers);
            build.cell(std::to_string(newNames.size()),
                       change == Change::Changed && quantityDiffers);
            build.cell(joinDesignators(added, order), change == Change::Changed && !added.empty());
            build.cell(joinDesignators(removed, order),
                       change == Change::Changed && !removed.empty());
        } else {
            build.cell(pair.now ? newNames.front() : oldNames.front());
        }
        for (const std::size_t column : values) {
            build.pair(change, cellOf(oldSide, pair.old, column),
                       cellOf(newSide, pair.now, column));
        }
        build.endRow(change, cellsBefore, keepSame);
    }
    comparison.title = "Changes from \"" + old.name + "\" to \"" + now.name +
                       "\": " + countsText(comparison.counts);
    return comparison;
}

Table withChangeColumn(const Comparison& comparison) {
    const Table& table = comparison.table;
    Table marked;
    marked.columns.push_back("Change");
    marked.columns.insert(marked.columns.end(), table.columns.begin(), table.columns.end());
    marked.header = marked.columns;
    marked.cells.reserve(table.rowCount() * marked.width());
    for (std::size_t row = 0; row < table.rowCount(); ++row) {
        marked.cells.emplace_back(changeName(comparison.changes[row]));
        const auto cells = table.row(row);
        marked.cells.insert(marked.cells.end(), cells.begin(), cells.end());
    }
    return marked;
}

}  // namespace vexlo::report
