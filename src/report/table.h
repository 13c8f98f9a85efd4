#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vexlo::report {

// One cell of the report table. The text is what every report prints; a cell whose text reads
// wholly as a decimal number also carries that number, which the sort and the merge use.
struct Cell {
    std::string text;
    std::optional<double> number;
};

// A table row, column 0 first. A row may be shorter than the header: missing cells are empty.
using Row = std::vector<Cell>;

// The report table: the header row (the column names) and the data rows in table order.
struct Table {
    Row header;
    std::vector<Row> rows;
};

// The number a field carries when all of it is [+-]?(digits[.digits]|.digits)([eE][+-]?digits)?
// with nothing around it, read independently of the locale. Anything else is text.
std::optional<double> readNumber(std::string_view text);

Cell makeCell(std::string text);

// The cell in a column, or an empty cell past the end of the row.
const Cell& cellAt(const Row& row, std::size_t column) noexcept;

// The special columns of a compressed table, counted from 0.
struct KeyColumns {
    std::optional<std::size_t> key;
    std::optional<std::size_t> reference;  // "REFDES"
    std::optional<std::size_t> quantity;   // "QTY"
};

// Scans the header cells of columns 0 to columnCount (one past the last column, which is empty)
// comparing each exactly: equal to the key makes it the key column, else "REFDES" the
// reference column, else "QTY" the quantity column. A later match of a kind replaces an earlier
// one, so an empty key always finds the empty cell past the last column.
KeyColumns scanHeader(const Row& header, std::size_t columnCount, const std::string& key);

// The sort order of two key cells: numbers first, by value; then text, compared byte by byte
// with ASCII letter case ignored; empty cells last. Negative, 0 or positive like strcmp.
int compareSortKeys(const Cell& left, const Cell& right) noexcept;

// Whether two rows with these key cells merge: the keys are not empty and equal, text exactly
// (case-sensitive) and numbers by value. A number never equals a text.
bool sameMergeKey(const Cell& left, const Cell& right) noexcept;

// Stable sort of the data rows by their cell in keyColumn, in compareSortKeys order.
void sortRows(std::vector<Row>& rows, std::size_t keyColumn);

// Merges each run of adjacent rows with sameMergeKey keys into the run's first row: the
// reference cells joined with ", ", the quantities added; every other cell stays the first
// row's. A missing reference or quantity column is simply not joined or added.
std::vector<Row> mergeRows(std::vector<Row> rows, const KeyColumns& columns);

// Sorts and merges the data rows by the key. A non-empty key that names no column throws
// Error KeyNotInColumns.
void compressRows(Table& table, std::size_t columnCount, const std::string& key);

}  // namespace vexlo::report
