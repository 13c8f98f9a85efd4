#include "report/writers/workbookreport.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "common/error.h"
#include "workbook/workbook.h"

namespace vexlo::report {

namespace {

using workbook::CellRange;
using workbook::CellStyleChange;
using workbook::HorizontalAlignment;
using workbook::maxWorkbookColumns;
using workbook::maxWorkbookRows;
using workbook::Worksheet;

// Where the report lands on the sheet: the header in row S, the data rows below it; K + 2 rows
// of C + 1 columns in all, the last column and at least the last row empty.
struct Block {
    int startRow = 1;  // S
    int lastRow = 1;   // S+K+1
    int columnCount = 0;
    int lastColumn = 1;  // C+1

    CellRange values() const { return {startRow, 1, lastRow, lastColumn}; }
    CellRange header() const { return {startRow, 1, startRow, lastColumn}; }
};

// The block of a report of that many rows (components, or merged rows when `what` says so).
Block blockFor(int startRow, std::size_t componentCount, std::size_t columnCount,
               const char* what = "components") {
    if (columnCount + 1 > static_cast<std::size_t>(maxWorkbookColumns)) {
        throw Error(errc::WorkbookTooLarge,
                    "The spreadsheet report's " + std::to_string(columnCount) +
                        " columns and the empty one after them do not fit a worksheet of "
                        "16,384 columns");
    }
    const std::uint64_t lastRow = static_cast<std::uint64_t>(startRow) + componentCount + 1;
    if (lastRow > static_cast<std::uint64_t>(maxWorkbookRows)) {
        throw Error(errc::WorkbookTooLarge,
                    "The spreadsheet report of " + std::to_string(componentCount) + " " + what +
                        " from row " + std::to_string(startRow) + " needs the rows up to " +
                        std::to_string(lastRow) + ", past the worksheet's last row 1,048,576");
    }
    Block block;
    block.startRow = startRow;
    block.lastRow = static_cast<int>(lastRow);
    block.columnCount = static_cast<int>(columnCount);
    block.lastColumn = block.columnCount + 1;
    return block;
}

HorizontalAlignment alignmentOf(Alignment alignment) {
    switch (alignment) {
        case Alignment::Left:
            return HorizontalAlignment::Left;
        case Alignment::Center:
            return HorizontalAlignment::Center;
        default:
            return HorizontalAlignment::Right;
    }
}

CellStyleChange rangeStyle(const CellStyle& cells) {
    CellStyleChange change;
    change.bold = cells.bold;
    change.italic = cells.italic;
    change.size = cells.fontSize;
    change.alignment = alignmentOf(cells.alignment);
    return change;
}

// Cells hold numbers only where the text is a number's own shortest form, so that part
// numbers and values such as "007" or "1.50" are shown exactly as the design has them.
void writeRow(Worksheet& sheet, int sheetRow, std::span<const std::string_view> row,
              std::size_t columnCount) {
    for (std::size_t column = 0; column < columnCount; ++column) {
        if (!row[column].empty()) {
            sheet.setValue(sheetRow, static_cast<int>(column) + 1, row[column]);
        }
    }
}

// Formats the value range, then the header row inside it, so that the header row ends with the
// header's settings.
void formatBlock(Worksheet& sheet, const CellRange& values, const CellRange& header,
                 const ReportStyle& style) {
    for (const auto& [range, cells] :
         {std::pair{values, style.values}, std::pair{header, style.header}}) {
        sheet.applyStyle(range, rangeStyle(cells));
    }
}

// Pastes the table into the block, formats and fits it.
void fillSheet(Worksheet& sheet, const Block& block, const Table& table, const ReportStyle& style) {
    // Pasting replaces every cell of the block, empty ones included; a merged range that the
    // block would cut through cannot stay.
    sheet.unmergeCells(block.values());
    sheet.clear(block.values());
    const auto columnCount = static_cast<std::size_t>(block.columnCount);
    int sheetRow = block.startRow;
    forEachPrintedRow(table, [&](std::span<const std::string_view> row) {
        writeRow(sheet, sheetRow++, row, columnCount);
    });
    formatBlock(sheet, block.values(), block.header(), style);
    sheet.autoFitColumns(block.values());
}

// The compressed report: the sheet receives each run's merged row directly. It ends as if a
// row had been written for each of the design's components and the rows merged into their
// run's first row deleted: the block of K + 2 rows is cleared, the sheet rows of the merged
// rows go (a template's row heights and hidden rows with them, and the rows below the block move
// up by the number of merges), and the merged rows, the formats and the widths fill what is left.
// A column whose header is empty keeps the width of its widest text before the merge when none
// of its merged cells has text, as the fit of the unmerged rows had left it.
//
// A design of more components than the sheet has rows is written when its merged rows and the
// empty row below them fit; the block's empty formatted rows then end at the sheet's last row.
void fillGroupedSheet(Worksheet& sheet, int startRow, const ReportTable& table,
                      const std::vector<std::size_t>& runLengths, const ReportStyle& style) {
    std::size_t rowCount = 0;
    for (const std::size_t length : runLengths) {
        rowCount += length;
    }
    const Block merged = blockFor(startRow, runLengths.size(), table.columns.size(), "merged rows");
    const auto lastSheetRow = static_cast<std::uint64_t>(maxWorkbookRows);
    const std::uint64_t fullLast = static_cast<std::uint64_t>(startRow) + table.componentCount + 1;
    const int clearedLast = static_cast<int>(std::min(fullLast, lastSheetRow));
    const CellRange cleared{startRow, 1, clearedLast, merged.lastColumn};
    sheet.unmergeCells(cleared);
    sheet.clear(cleared);
    std::vector<int> deleted;
    deleted.reserve(rowCount - runLengths.size());
    std::size_t first = 0;  // the run's first row in the unmerged table
    for (const std::size_t length : runLengths) {
        for (std::size_t row = first + 1; row < first + length; ++row) {
            const std::uint64_t sheetRow = static_cast<std::uint64_t>(startRow) + 1 + row;
            if (sheetRow <= lastSheetRow) {
                deleted.push_back(static_cast<int>(sheetRow));
            }
        }
        first += length;
    }
    sheet.deleteRows(std::move(deleted));

    // Only a column without a header name can owe its width to a row that the merge removed.
    const std::vector<std::string_view> widestAfter = widestUnderEmptyHeaders(table);
    int sheetRow = startRow;
    forEachPrintedRow(table, [&](std::span<const std::string_view> row) {
        writeRow(sheet, sheetRow++, row, table.width());
    });
    const std::uint64_t mergedLast = fullLast - (rowCount - runLengths.size());
    const CellRange block{startRow, 1, static_cast<int>(std::min(mergedLast, lastSheetRow)),
                          merged.lastColumn};
    formatBlock(sheet, block, merged.header(), style);
    sheet.autoFitColumns(block);
    const workbook::CellFormat font = sheet.format(startRow + 1, 1);
    for (std::size_t column = 0; column < table.widestBeforeMerge.size(); ++column) {
        if (widestAfter[column].empty()) {
            sheet.fitColumn(
                static_cast<int>(column) + 1,
                workbook::autoFitWidth(table.widestBeforeMerge[column], font.size, font.bold));
        }
    }
}

// The workbook a layout starts from: its template, or a blank one. A start row below 1 fails
// first.
workbook::Workbook openLayout(const WorkbookLayout& layout) {
    if (layout.startRow < 1) {
        throw Error(errc::BadStartRow, "The spreadsheet report cannot start at row " +
                                           std::to_string(layout.startRow) +
                                           ": the start row must be 1 or more");
    }
    return layout.templatePath.empty() ? workbook::Workbook::blank()
                                       : workbook::Workbook::open(layout.templatePath);
}

// The fills of a comparison's rows and cells (RGB).
constexpr std::uint32_t addedFill = 0xC6EFCE;
constexpr std::uint32_t removedFill = 0xFFC7CE;
constexpr std::uint32_t changedFill = 0xFFEB9C;

}  // namespace

void writeComparisonWorkbook(const Comparison& comparison, const WorkbookLayout& layout,
                             const std::string& path) {
    workbook::Workbook book = openLayout(layout);
    const Table& table = comparison.table;
    // The title in the start row, the table below it.
    const Block block = blockFor(layout.startRow + 1, table.rowCount(), table.columns.size());
    Worksheet& sheet = book.firstSheet();
    const CellRange all{layout.startRow, 1, block.lastRow, block.lastColumn};
    sheet.unmergeCells(all);
    sheet.clear(all);
    sheet.setText(layout.startRow, 1, comparison.title);
    int sheetRow = block.startRow;
    forEachPrintedRow(table, [&](std::span<const std::string_view> row) {
        writeRow(sheet, sheetRow++, row, table.width());
    });
    const ReportStyle& style = layout.style;
    formatBlock(sheet, block.values(), block.header(), style);
    CellStyleChange title;
    title.bold = true;
    title.italic = false;
    title.size = style.header.fontSize;
    sheet.applyStyle({layout.startRow, 1, layout.startRow, 1}, title);
    const int width = static_cast<int>(table.width());
    for (std::size_t row = 0; row < table.rowCount(); ++row) {
        const int at = block.startRow + 1 + static_cast<int>(row);
        CellStyleChange fill;
        switch (comparison.changes[row]) {
            case Change::Added:
                fill.fill = addedFill;
                sheet.applyStyle({at, 1, at, width}, fill);
                break;
            case Change::Removed:
                fill.fill = removedFill;
                sheet.applyStyle({at, 1, at, width}, fill);
                break;
            case Change::Changed:
                fill.fill = changedFill;
                for (int column = 0; column < width; ++column) {
                    if (comparison
                            .differs[row * table.width() + static_cast<std::size_t>(column)]) {
                        sheet.applyStyle({at, column + 1, at, column + 1}, fill);
                    }
                }
                break;
            case Change::Same:
                break;
        }
    }
    sheet.autoFitColumns(block.values());
    book.saveAs(path);
}

void FillClipboard(const ReportTable& table, const WorkbookLayout& layout,
                   const std::string& path) {
    workbook::Workbook book = openLayout(layout);
    if (table.runLengths) {
        fillGroupedSheet(book.firstSheet(), layout.startRow, table, *table.runLengths,
                         layout.style);
    } else {
        const Block block = blockFor(layout.startRow, table.componentCount, table.columns.size());
        fillSheet(book.firstSheet(), block, table, layout.style);
    }
    book.saveAs(path);
}

std::vector<std::string_view> widestUnderEmptyHeaders(const Table& table) {
    std::vector<std::string_view> widest(table.width());
    for (std::size_t column = 0; column < table.width(); ++column) {
        if (!table.header[column].empty()) {
            continue;
        }
        double width = 0;
        for (std::size_t row = 0; row < table.rowCount(); ++row) {
            const std::string_view text = table.cell(row, column);
            if (const double fit = workbook::autoFitWidth(text, 11, false); fit > width) {
                width = fit;
                widest[column] = text;
            }
        }
    }
    return widest;
}

namespace {

class WorkbookWriter final : public Writer {
public:
    std::string_view name() const noexcept override { return "Excel"; }
    std::string_view argument() const noexcept override { return "excel"; }
    std::string extension(const ReportOptions& options) const override {
        return options.xlsx ? ".xlsx" : ".xls";
    }
    void writeTable(const ReportTable& table, const ReportOptions& options,
                    const std::string& path) const override {
        FillClipboard(table, options.layout, path);
    }
    void writeComparison(const Comparison& comparison, const ReportOptions& options,
                         const std::string& path) const override {
        writeComparisonWorkbook(comparison, options.layout, path);
    }
};

}  // namespace

const Writer& workbookWriter() {
    static const WorkbookWriter writer;
    return writer;
}

}  // namespace vexlo::report
