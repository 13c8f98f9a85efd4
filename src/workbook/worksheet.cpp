#include "workbook/worksheet.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <utility>

#include "common/error.h"
#include "workbook/cellnumber.h"
#include "workbook/styles.h"

namespace vexlo::workbook {

namespace {

// Column widths a spreadsheet accepts, in characters.
constexpr double maxColumnWidth = 255;
// Auto-fit measures characters as wide as a digit at 11 pt, scaled by font size; the extra
// tenth covers proportional glyphs and the rounding of small sizes to whole pixels, and the
// padding the cell's margins, so a number never shows as "###".
constexpr double glyphAllowance = 1.1;
constexpr double boldAllowance = 1.05;
constexpr double cellPadding = 1.0;

constexpr std::uint32_t noStyle = std::numeric_limits<std::uint32_t>::max();

std::size_t codePoints(std::string_view text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char byte) {
        return (static_cast<unsigned char>(byte) & 0xC0) != 0x80;
    }));
}

std::string positionText(int row, int column) {
    return "row " + std::to_string(row) + ", column " + std::to_string(column);
}

}  // namespace

double autoFitWidth(std::string_view text, double fontSize, bool bold) {
    std::size_t widest = 0;
    for (std::size_t start = 0; start <= text.size();) {
        auto end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        widest = std::max(widest, codePoints(text.substr(start, end - start)));
        start = end + 1;
    }
    if (widest == 0) {
        return 0;
    }
    const double width = static_cast<double>(widest) * fontSize / 11.0 * glyphAllowance *
                             (bold ? boldAllowance : 1.0) +
                         cellPadding;
    return std::min(maxColumnWidth, std::ceil(width * 100.0 - 1e-9) / 100.0);
}

std::string cellReference(int row, int column) {
    std::string letters;
    for (int rest = column; rest > 0; rest = (rest - 1) / 26) {
        letters.insert(letters.begin(), static_cast<char>('A' + (rest - 1) % 26));
    }
    return letters + std::to_string(row);
}

Worksheet::Worksheet(WorkbookStyles& styles, const SharedStrings& sharedStrings)
    : styles_(&styles), sharedStrings_(&sharedStrings) {}

Worksheet::~Worksheet() = default;

void Worksheet::checkPosition(int row, int column) {
    if (row < 1 || row > maxWorkbookRows || column < 1 || column > maxWorkbookColumns) {
        throw Error(errc::WorkbookTooLarge,
                    "Cell at " + positionText(row, column) +
                        " lies outside a worksheet (1,048,576 rows of 16,384 columns)");
    }
}

void Worksheet::checkRange(const CellRange& range) {
    checkPosition(range.firstRow, range.firstColumn);
    checkPosition(range.lastRow, range.lastColumn);
    if (range.firstRow > range.lastRow || range.firstColumn > range.lastColumn) {
        throw Error(errc::WorkbookTooLarge,
                    "Cell range from " + positionText(range.firstRow, range.firstColumn) + " to " +
                        positionText(range.lastRow, range.lastColumn) + " is empty");
    }
}

Worksheet::Row& Worksheet::rowAt(int row) {
    if (rows_.size() < static_cast<std::size_t>(row)) {
        rows_.resize(static_cast<std::size_t>(row));
    }
    return rows_[static_cast<std::size_t>(row) - 1];
}

const Worksheet::Cell* Worksheet::find(int row, int column) const {
    if (row < 1 || static_cast<std::size_t>(row) > rows_.size()) {
        return nullptr;
    }
    const auto& cells = rows_[static_cast<std::size_t>(row) - 1].cells;
    const auto found =
        std::lower_bound(cells.begin(), cells.end(), column,
                         [](const Cell& cell, int wanted) { return cell.column < wanted; });
    return found != cells.end() && found->column == column ? &*found : nullptr;
}

Worksheet::Cell* Worksheet::find(int row, int column) {
    return const_cast<Cell*>(std::as_const(*this).find(row, column));
}

Worksheet::Cell& Worksheet::cellAt(int row, int column) {
    auto& cells = rowAt(row).cells;
    if (cells.empty() || cells.back().column < column) {
        Cell& added = cells.emplace_back();
        added.column = static_cast<std::uint16_t>(column);
        return added;
    }
    const auto found =
        std::lower_bound(cells.begin(), cells.end(), column,
                         [](const Cell& cell, int wanted) { return cell.column < wanted; });
    if (found != cells.end() && found->column == column) {
        return *found;
    }
    Cell added;
    added.column = static_cast<std::uint16_t>(column);
    return *cells.insert(found, added);
}

std::string_view Worksheet::cellText(const Cell& cell) const {
    switch (cell.kind) {
        case Kind::Text:
        case Kind::Number:
            return std::string_view(pool_).substr(cell.data, cell.length);
        case Kind::Shared:
            return sharedStrings_->text(cell.data);
        case Kind::Raw:
            return raw_[cell.data].sharedItem ? sharedStrings_->text(*raw_[cell.data].sharedItem)
                                              : std::string_view(raw_[cell.data].text);
        case Kind::Empty:
            break;
    }
    return {};
}

void Worksheet::dropText(const Cell& cell) {
    if (cell.kind == Kind::Text || cell.kind == Kind::Number) {
        poolGarbage_ += cell.length;
    }
}

void Worksheet::storeText(Cell& cell, Kind kind, std::string_view text) {
    dropText(cell);
    cell.kind = Kind::Empty;
    cell.length = 0;
    if (pool_.size() + text.size() > std::numeric_limits<std::uint32_t>::max()) {
        compactPool();
        if (pool_.size() + text.size() > std::numeric_limits<std::uint32_t>::max()) {
            throw Error(errc::WorkbookTooLarge, "The worksheet's texts exceed 4 GiB");
        }
    }
    cell.data = static_cast<std::uint32_t>(pool_.size());
    cell.length = static_cast<std::uint32_t>(text.size());
    cell.kind = kind;
    pool_.append(text);
    // Overwritten and deleted texts stay in the pool until they outweigh the live ones.
    if (poolGarbage_ > (std::size_t(64) << 20) && poolGarbage_ > pool_.size() / 2) {
        compactPool();
    }
}

void Worksheet::compactPool() {
    std::string compacted;
    compacted.reserve(pool_.size() - poolGarbage_);
    for (auto& row : rows_) {
        for (auto& cell : row.cells) {
            if (cell.kind == Kind::Text || cell.kind == Kind::Number) {
                const auto offset = compacted.size();
                compacted.append(pool_, cell.data, cell.length);
                cell.data = static_cast<std::uint32_t>(offset);
            }
        }
    }
    pool_ = std::move(compacted);
    poolGarbage_ = 0;
}

std::uint32_t Worksheet::rawCell(RawCell raw) {
    raw_.push_back(std::move(raw));
    return static_cast<std::uint32_t>(raw_.size() - 1);
}

std::uint32_t Worksheet::rowAttributesIndex(std::string attributes) {
    if (attributes.empty()) {
        return 0;
    }
    rowAttributes_.push_back(std::move(attributes));
    return static_cast<std::uint32_t>(rowAttributes_.size() - 1);
}

CellValue Worksheet::cell(int row, int column) const {
    const Cell* found = find(row, column);
    if (found == nullptr || found->kind == Kind::Empty) {
        return {};
    }
    const bool number =
        found->kind == Kind::Number || (found->kind == Kind::Raw && raw_[found->data].number);
    return {number ? CellType::Number : CellType::Text, std::string(cellText(*found))};
}

CellFormat Worksheet::format(int row, int column) const {
    const Cell* found = find(row, column);
    return styles_->format(found != nullptr ? found->style : 0);
}

void Worksheet::setText(int row, int column, std::string_view text) {
    checkPosition(row, column);
    if (text.size() > maxCellTextLength && codePoints(text) > maxCellTextLength) {
        throw Error(errc::WorkbookTooLarge, "The text for cell " + cellReference(row, column) +
                                                " is longer than 32,767 characters");
    }
    cellsChanged_ = true;
    if (text.empty()) {
        if (Cell* found = find(row, column); found != nullptr && found->style != 0) {
            dropText(*found);
            found->kind = Kind::Empty;
        } else if (found != nullptr) {
            clear(row, column);
        }
        return;
    }
    storeText(cellAt(row, column), Kind::Text, text);
}

void Worksheet::setNumber(int row, int column, double value) {
    checkPosition(row, column);
    cellsChanged_ = true;
    Cell& target = cellAt(row, column);
    if (std::isfinite(value)) {
        storeText(target, Kind::Number, formatNumber(value));
        return;
    }
    dropText(target);
    target.kind = Kind::Raw;
    const std::string& p = frame_.prefix;
    target.data = rawCell({" t=\"e\"><" + p + "v>#NUM!</" + p + "v></" + p + "c>", "#NUM!", false,
                           false, std::nullopt});
}

void Worksheet::setValue(int row, int column, std::string_view text) {
    double number = 0;
    const std::string asString(text);
    if (isCanonicalNumber(asString, number)) {
        checkPosition(row, column);
        cellsChanged_ = true;
        storeText(cellAt(row, column), Kind::Number, text);
    } else {
        setText(row, column, text);
    }
}

void Worksheet::clear(int row, int column) {
    clear(CellRange{row, column, row, column});
}

void Worksheet::clear(const CellRange& range) {
    checkRange(range);
    cellsChanged_ = true;
    const auto lastRow =
        std::min<std::size_t>(static_cast<std::size_t>(range.lastRow), rows_.size());
    for (std::size_t row = static_cast<std::size_t>(range.firstRow); row <= lastRow; ++row) {
        auto& cells = rows_[row - 1].cells;
        const auto inRange = [&](const Cell& cell) {
            return cell.column >= range.firstColumn && cell.column <= range.lastColumn;
        };
        for (const Cell& cell : cells) {
            if (inRange(cell)) {
                dropText(cell);
            }
        }
        cells.erase(std::remove_if(cells.begin(), cells.end(), inRange), cells.end());
    }
}

void Worksheet::deleteRow(int row) {
    deleteRows({row});
}

void Worksheet::deleteRows(std::vector<int> rows) {
    for (const int row : rows) {
        checkPosition(row, 1);
    }
    if (rows.empty()) {
        return;
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    cellsChanged_ = true;

    // One pass: each kept row moves up by the number of deleted rows above it.
    std::size_t kept = 0;
    auto next = rows.begin();
    for (std::size_t index = 0; index < rows_.size(); ++index) {
        if (next != rows.end() && static_cast<std::size_t>(*next) == index + 1) {
            for (const Cell& cell : rows_[index].cells) {
                dropText(cell);
            }
            ++next;
            continue;
        }
        if (kept != index) {
            rows_[kept] = std::move(rows_[index]);
        }
        ++kept;
    }
    rows_.resize(kept);

    std::vector<CellRange> moved;
    for (CellRange range : merged_) {
        const auto first = std::lower_bound(rows.begin(), rows.end(), range.firstRow);
        const bool hit = first != rows.end() && *first <= range.lastRow;
        if (hit) {
            continue;
        }
        const int above = static_cast<int>(first - rows.begin());
        range.firstRow -= above;
        range.lastRow -= above;
        moved.push_back(range);
    }
    merged_ = std::move(moved);
}

void Worksheet::unmergeCells(const CellRange& range) {
    checkRange(range);
    const auto overlaps = [&range](const CellRange& merged) {
        return merged.firstRow <= range.lastRow && merged.lastRow >= range.firstRow &&
               merged.firstColumn <= range.lastColumn && merged.lastColumn >= range.firstColumn;
    };
    merged_.erase(std::remove_if(merged_.begin(), merged_.end(), overlaps), merged_.end());
}

void Worksheet::applyStyle(const CellRange& range, const CellStyleChange& change) {
    checkRange(range);
    if (change.fill && *change.fill > 0xFFFFFF) {
        char colour[16];
        std::snprintf(colour, sizeof colour, "%X", *change.fill);
        throw Error(errc::WorkbookTooLarge, std::string("Fill colour ") + colour +
                                                " is outside the RGB colours 000000 to FFFFFF");
    }
    std::vector<std::uint32_t> derived;  // old format -> new format, noStyle until first use
    const std::size_t width = static_cast<std::size_t>(range.lastColumn - range.firstColumn + 1);
    for (int row = range.firstRow; row <= range.lastRow; ++row) {
        auto& cells = rowAt(row).cells;
        const auto begin =
            std::lower_bound(cells.begin(), cells.end(), range.firstColumn,
                             [](const Cell& cell, int wanted) { return cell.column < wanted; });
        const auto end =
            std::upper_bound(begin, cells.end(), range.lastColumn,
                             [](int wanted, const Cell& cell) { return wanted < cell.column; });
        if (static_cast<std::size_t>(end - begin) != width) {
            // Empty positions get a cell of their own, as formatting a range formats them too.
            std::vector<Cell> filled(cells.begin(), begin);
            filled.reserve(cells.size() + width);
            auto existing = begin;
            for (int column = range.firstColumn; column <= range.lastColumn; ++column) {
                if (existing != end && existing->column == column) {
                    filled.push_back(*existing++);
                } else {
                    Cell added;
                    added.column = static_cast<std::uint16_t>(column);
                    filled.push_back(added);
                }
            }
            filled.insert(filled.end(), end, cells.end());
            cells = std::move(filled);
        }
        const auto first =
            std::lower_bound(cells.begin(), cells.end(), range.firstColumn,
                             [](const Cell& cell, int wanted) { return cell.column < wanted; });
        for (auto cell = first; cell != first + static_cast<std::ptrdiff_t>(width); ++cell) {
            if (cell->style >= derived.size()) {
                derived.resize(cell->style + 1, noStyle);
            }
            if (derived[cell->style] == noStyle) {
                derived[cell->style] = styles_->derive(cell->style, change);
            }
            cell->style = derived[cell->style];
        }
    }
}

Worksheet::Column& Worksheet::columnAt(int column) {
    if (columns_.size() < static_cast<std::size_t>(column)) {
        columns_.resize(static_cast<std::size_t>(column));
    }
    return columns_[static_cast<std::size_t>(column) - 1];
}

void Worksheet::setColumnWidth(int column, double width) {
    checkPosition(1, column);
    if (!(width >= 0 && width <= maxColumnWidth)) {
        throw Error(errc::WorkbookTooLarge,
                    "Column width " + formatNumber(width) + " is outside 0 to 255 characters");
    }
    Column& target = columnAt(column);
    target.width = width;
    target.bestFit = false;
    target.customWidth = true;
}

std::optional<double> Worksheet::columnWidth(int column) const {
    if (column < 1 || static_cast<std::size_t>(column) > columns_.size()) {
        return std::nullopt;
    }
    return columns_[static_cast<std::size_t>(column) - 1].width;
}

void Worksheet::autoFitColumns(const CellRange& range) {
    checkRange(range);
    // Cells merged across columns do not make their column wider.
    std::vector<CellRange> wideMerges;
    for (const CellRange& merged : merged_) {
        if (merged.firstColumn != merged.lastColumn && merged.lastRow >= range.firstRow &&
            merged.firstRow <= range.lastRow) {
            wideMerges.push_back(merged);
        }
    }
    const auto inWideMerge = [&](int row, int column) {
        return std::any_of(wideMerges.begin(), wideMerges.end(), [&](const CellRange& merged) {
            return row >= merged.firstRow && row <= merged.lastRow &&
                   column >= merged.firstColumn && column <= merged.lastColumn;
        });
    };
    std::vector<double> widths(static_cast<std::size_t>(range.lastColumn - range.firstColumn + 1));
    const auto lastRow =
        std::min<std::size_t>(static_cast<std::size_t>(range.lastRow), rows_.size());
    for (std::size_t row = static_cast<std::size_t>(range.firstRow); row <= lastRow; ++row) {
        for (const Cell& cell : rows_[row - 1].cells) {
            if (cell.column < range.firstColumn || cell.column > range.lastColumn ||
                cell.kind == Kind::Empty || inWideMerge(static_cast<int>(row), cell.column)) {
                continue;
            }
            const CellFormat font = styles_->format(cell.style);
            double& widest = widths[cell.column - range.firstColumn];
            widest = std::max(widest, autoFitWidth(cellText(cell), font.size, font.bold));
        }
    }
    for (std::size_t at = 0; at < widths.size(); ++at) {
        fitColumn(range.firstColumn + static_cast<int>(at), widths[at]);
    }
}

void Worksheet::fitColumn(int column, double width) {
    checkPosition(1, column);
    if (width > 0) {
        Column& fitted = columnAt(column);
        fitted.width = std::min(width, maxColumnWidth);
        fitted.bestFit = true;
        fitted.customWidth = true;
    }
}

std::uint32_t Worksheet::columnAttributesIndex(std::string attributes) {
    if (attributes.empty()) {
        return 0;
    }
    const auto known = std::find(columnAttributes_.begin(), columnAttributes_.end(), attributes);
    if (known != columnAttributes_.end()) {
        return static_cast<std::uint32_t>(known - columnAttributes_.begin());
    }
    columnAttributes_.push_back(std::move(attributes));
    return static_cast<std::uint32_t>(columnAttributes_.size() - 1);
}

std::optional<double> Worksheet::rowHeight(int row) const {
    if (row < 1 || static_cast<std::size_t>(row) > rows_.size()) {
        return std::nullopt;
    }
    const std::string& attributes =
        rowAttributes_[rows_[static_cast<std::size_t>(row) - 1].attributes];
    const auto at = attributes.find(" ht=\"");
    if (at == std::string::npos) {
        return std::nullopt;
    }
    double height = 0;
    const char* start = attributes.data() + at + 5;
    const auto [end, failure] =
        std::from_chars(start, attributes.data() + attributes.size(), height);
    if (failure != std::errc()) {
        return std::nullopt;
    }
    return height;
}

int Worksheet::lastRow() const {
    for (std::size_t row = rows_.size(); row > 0; --row) {
        if (!rows_[row - 1].cells.empty() || rows_[row - 1].attributes != 0) {
            return static_cast<int>(row);
        }
    }
    return 0;
}

int Worksheet::lastColumn() const {
    int last = 0;
    for (const auto& row : rows_) {
        if (!row.cells.empty()) {
            last = std::max<int>(last, row.cells.back().column);
        }
    }
    return last;
}

}  // namespace vexlo::workbook
