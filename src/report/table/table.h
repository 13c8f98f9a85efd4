#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vexlo::report {

// The report table: the column names and one row per kept component, every cell a view of its
// text. The texts live in the design the table was built from, which must outlive it, or in the
// table's own store (cleaned values, joined reference lists, summed quantities).
//
// Every row has width() cells. A table of no columns still has one empty cell a row, as the
// comma-separated form of an empty line reads back.
struct Table {
    Table() = default;
    Table(Table&&) noexcept = default;
    Table& operator=(Table&&) noexcept = default;
    Table(const Table&) = delete;
    Table& operator=(const Table&) = delete;

    std::vector<std::string> columns;     // the column names exactly as given, left to right
    std::vector<std::string> header;      // the header row as printed, TAB, CR and LF as spaces
    std::vector<std::string_view> cells;  // the data rows one after another
    std::deque<std::string> texts;        // texts the table made itself; cells may view them
    // Each data row's component designator, when the table was built to keep them (empty
    // otherwise); sorting and merging keep it in step with the rows.
    std::vector<std::string_view> designators;

    std::size_t width() const noexcept { return header.size(); }
    std::size_t rowCount() const noexcept { return cells.size() / header.size(); }
    std::span<const std::string_view> row(std::size_t index) const noexcept {
        return {cells.data() + index * width(), width()};
    }
    // The cell, or an empty one past the last column.
    std::string_view cell(std::size_t row, std::size_t column) const noexcept {
        return column < width() ? cells[row * width() + column] : std::string_view();
    }
    // Keeps a text for as long as the table lives and returns a view of it.
    std::string_view keep(std::string text);
};

// The rows a report prints, each as a span of cells: the header, then the data rows.
template <typename Visit>
void forEachPrintedRow(const Table& table, Visit&& visit) {
    const std::vector<std::string_view> header(table.header.begin(), table.header.end());
    visit(std::span<const std::string_view>(header));
    for (std::size_t row = 0; row < table.rowCount(); ++row) {
        visit(table.row(row));
    }
}

// The number a cell carries when all of it is [+-]?(digits[.digits]|.digits)([eE][+-]?digits)?
// with nothing around it, read independently of the locale. Anything else is text.
std::optional<double> readNumber(std::string_view text);

// The key of a compressed table: the column names whose values must all be equal for rows to
// merge, in order. No name at all stands for the empty key.
using Keys = std::vector<std::string>;

// The keys as a status line or a label shows them: joined by " + " ("Value + Footprint").
std::string keysText(const Keys& keys);

// The special columns of a compressed table, counted from 0.
struct KeyColumns {
    std::vector<std::size_t> keys;         // one a key, in the keys' order
    std::optional<std::size_t> reference;  // "REFDES"
    std::optional<std::size_t> quantity;   // "QTY"
};

// Scans the column names and the empty one past the last, comparing each exactly: equal to a key
// makes it that key's column, else "REFDES" the reference column, else "QTY" the quantity column.
// A later match of a kind replaces an earlier one, so an empty key always finds the empty column
// past the last; no keys at all are the empty key. A non-empty key that names no column throws
// KeyNotInColumns naming the first such key.
KeyColumns keyColumns(const std::vector<std::string>& columns, const Keys& keys);

// The columns other than the keys, the reference and the quantity column, left to right: those
// whose values a merged row takes from its first part.
std::vector<std::size_t> otherColumns(const Table& table, const KeyColumns& special);

// The sort order of two key cells: numbers first, by value; then text, compared byte by byte
// with ASCII letter case ignored; empty cells last. Negative, 0 or positive like strcmp.
int compareSortKeys(std::string_view left, std::string_view right) noexcept;

// Whether two rows with these key cells merge: the keys are not empty and equal, text exactly
// (case-sensitive) and numbers by value. A number never equals a text.
bool sameMergeKey(std::string_view left, std::string_view right) noexcept;

// Stable sort of the data rows by their cells in the key columns, the first column deciding
// first, each in compareSortKeys order.
void sortRows(Table& table, const std::vector<std::size_t>& keyColumns);

// The first row of each run of adjacent rows that merge with the run's first row: every key
// cell equal to the first row's (numbers by value, text exactly, an empty cell equal to an empty
// one), and not every key cell of the first row empty, as a row without a key never merges. With
// one key column this is sameMergeKey.
std::vector<std::size_t> runStarts(const Table& table, const std::vector<std::size_t>& keyColumns);

// How reference designators are ordered: as the design has them, in natural order, or in
// natural order with runs written as ranges.
enum class RefdesOrder { AsFound, Natural, Ranges };

// The natural order of two designators: the leading non-digit prefix compared with ASCII letter
// case ignored, then the digits after it by their value (no digits before any), then the rest
// byte by byte. "R1" < "r2" < "R10" < "R10a"; "U1" and "U01" are equal. Negative, 0 or positive.
int compareDesignators(std::string_view left, std::string_view right) noexcept;

// A merged row's reference list: the designators joined with ", ", in the order given for
// AsFound and otherwise in natural order (equal ones keeping theirs). With Ranges, each run of
// three or more with the same prefix, nothing after the number and consecutive numbers (of one
// width, or none with a leading zero) is written first "-" last: "R1-R4".
std::string joinDesignators(std::vector<std::string_view> designators, RefdesOrder order);

// Merges each run into its first row: the reference cells joined by joinDesignators, the
// quantities added; every other cell stays the first row's. The columns are keyColumns' for the
// table's columns; a missing reference or quantity column is simply not joined or added.
void mergeRuns(Table& table, const std::vector<std::size_t>& starts, const KeyColumns& columns,
               RefdesOrder order = RefdesOrder::AsFound);

// The designators of the parts on each side of one difference: one list a value, in the order
// the values are met, each joined in the report's designator order ("R11, R21").
struct Difference {
    std::string column;              // the column's header
    std::vector<std::string> sides;  // "R11, R21", "RV1, RV2"
};

// A merged row whose parts differ in a column other than the keys, "REFDES" and "QTY": a
// purchaser ordering from it would buy one kind of part for parts of several.
struct MixedRow {
    std::size_t run = 0;                  // the merged row, counted from 0
    std::vector<std::size_t> columns;     // the columns whose values differ, left to right
    std::string key;                      // its key cells as keysText joins them
    std::vector<Difference> differences;  // for the first few mixed rows only (describedMixedRows)
};

// How many mixed rows are described with their designators.
inline constexpr std::size_t describedMixedRows = 3;

// How a compressed table's rows group: the special columns, the first row of each run of the
// sorted rows, the order of the merged reference lists and the runs that join differing parts.
struct Grouping {
    KeyColumns columns;
    std::vector<std::size_t> starts;
    RefdesOrder references = RefdesOrder::AsFound;
    std::vector<MixedRow> mixed;
};

// Sorts the data rows by the keys (stably, by sortRows) and tells how they group; the workbook
// merges the runs on its sheet. A key that names no column throws KeyNotInColumns. The mixed
// runs' designators come from Table::designators when the table kept them, else from the
// reference column, else they are not described.
Grouping groupByKey(Table& table, const Keys& keys, RefdesOrder order);

// Compress: groupByKey, then each run merged into one row by mergeRuns. The grouping the rows
// had before the merge.
Grouping compressTable(Table& table, const Keys& keys, RefdesOrder order = RefdesOrder::AsFound);

}  // namespace vexlo::report
