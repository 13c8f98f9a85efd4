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

// The special columns of a compressed table, counted from 0.
struct KeyColumns {
    std::optional<std::size_t> key;
    std::optional<std::size_t> reference;  // "REFDES"
    std::optional<std::size_t> quantity;   // "QTY"
};

// Scans the column names and the empty one past the last, comparing each exactly: equal to the
// key makes it the key column, else "REFDES" the reference column, else "QTY" the quantity
// column. A later match of a kind replaces an earlier one, so an empty key always finds the
// empty column past the last. A non-empty key that names no column throws KeyNotInColumns.
KeyColumns keyColumns(const std::vector<std::string>& columns, const std::string& key);

// The sort order of two key cells: numbers first, by value; then text, compared byte by byte
// with ASCII letter case ignored; empty cells last. Negative, 0 or positive like strcmp.
int compareSortKeys(std::string_view left, std::string_view right) noexcept;

// Whether two rows with these key cells merge: the keys are not empty and equal, text exactly
// (case-sensitive) and numbers by value. A number never equals a text.
bool sameMergeKey(std::string_view left, std::string_view right) noexcept;

// Stable sort of the data rows by their cell in keyColumn, in compareSortKeys order.
void sortRows(Table& table, std::size_t keyColumn);

// The first row of each run of adjacent rows whose keys merge with the run's first row.
std::vector<std::size_t> runStarts(const Table& table, std::size_t keyColumn);

// How reference designators are ordered (the setting Refdes_Order): as the design has them, in
// natural order, or in natural order with runs written as ranges.
enum class RefdesOrder { AsFound, Natural, Ranges };

// Refdes_Order's value: 1 Natural, 2 Ranges, anything else AsFound.
RefdesOrder refdesOrderOf(int setting) noexcept;

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

// How a compressed table's rows group: the special columns, the first row of each run of the
// sorted rows, and the order of the merged reference lists.
struct Grouping {
    KeyColumns columns;
    std::vector<std::size_t> starts;
    RefdesOrder references = RefdesOrder::AsFound;
};

// Sorts the data rows by the key (stably, by sortRows) and tells how they group; the workbook
// merges the runs on its sheet. A key that names no column throws KeyNotInColumns.
Grouping groupByKey(Table& table, const std::string& key, RefdesOrder order);

// Compress: groupByKey, then each run merged into one row by mergeRuns. The grouping the rows
// had before the merge.
Grouping compressTable(Table& table, const std::string& key,
                       RefdesOrder order = RefdesOrder::AsFound);

}  // namespace vexlo::report
