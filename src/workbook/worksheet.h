#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// The workbook engine: an OOXML spreadsheet package (.xlsx/.xlsm content, whatever the file is
// called) opened from a template or started blank, whose first worksheet is edited in memory and
// saved under a new name. Only the first worksheet's cells, the styles it needs and its column
// widths change; every other part of the package is carried over byte for byte.
//
// Rows and columns count from 1, as in a spreadsheet. A worksheet holds at most maxWorkbookRows
// rows and maxWorkbookColumns columns; writing past them throws errc::WorkbookTooLarge.
//
// Row deletion moves the cells, row attributes (height, hidden, style) and merged ranges below it
// up. Formulas, comments, drawings, conditional formats, validations, hyperlinks and defined names
// are carried as written: their references are not re-targeted.

namespace vexlo::workbook {

inline constexpr int maxWorkbookRows = 1048576;
inline constexpr int maxWorkbookColumns = 16384;
// The longest text a cell may hold, in characters (UTF-8 code points).
inline constexpr std::size_t maxCellTextLength = 32767;

enum class CellType : std::uint8_t { Empty, Text, Number };

enum class HorizontalAlignment : std::uint8_t { Left, Center, Right };

// A rectangle of cells, both corners included.
struct CellRange {
    int firstRow = 1;
    int firstColumn = 1;
    int lastRow = 1;
    int lastColumn = 1;

    bool operator==(const CellRange&) const = default;
};

// What a cell shows: its text, and whether it is held as a number. A formula reads as its cached
// result (a number result as a Number); booleans ("1", "0") and error values as their cached
// text, with the type Text.
struct CellValue {
    CellType type = CellType::Empty;
    std::string text;

    bool operator==(const CellValue&) const = default;
};

// A change of format applied to a range; unset members keep each cell's own setting.
struct CellStyleChange {
    std::optional<bool> bold;
    std::optional<bool> italic;
    std::optional<double> size;
    std::optional<HorizontalAlignment> alignment;
    std::optional<std::uint32_t> fill;  // a solid fill in this RGB colour, 0xRRGGBB
};

// The font, alignment and solid fill a cell is shown with.
struct CellFormat {
    bool bold = false;
    bool italic = false;
    double size = 11;
    std::optional<HorizontalAlignment> alignment;  // none: the spreadsheet's general alignment
    std::optional<std::uint32_t> fill;             // none: no solid fill (0xRRGGBB)

    bool operator==(const CellFormat&) const = default;
};

// The column width (in widths of the digit "0" at 11 pt) that shows text in a font of the given
// size: characters are counted as code points, the widest line counts, plus a small padding.
double autoFitWidth(std::string_view text, double fontSize, bool bold);

// "A1" style reference of a cell.
std::string cellReference(int row, int column);

class WorkbookStyles;

// A template's shared string table as its first worksheet needs it: how many items it holds, and
// the texts of those the sheet refers to. The others are counted, never held.
struct SharedStrings {
    std::uint64_t size = 0;
    std::unordered_map<std::uint32_t, std::string> texts;

    std::string_view text(std::uint32_t item) const {
        const auto found = texts.find(item);
        return found != texts.end() ? std::string_view(found->second) : std::string_view();
    }
};

// The first worksheet of a workbook: cells, row attributes, merged ranges and column widths.
class Worksheet final {
public:
    Worksheet(const Worksheet&) = delete;
    Worksheet& operator=(const Worksheet&) = delete;
    ~Worksheet();

    CellValue cell(int row, int column) const;
    std::string text(int row, int column) const { return cell(row, column).text; }
    CellType type(int row, int column) const { return cell(row, column).type; }
    CellFormat format(int row, int column) const;

    // Writing a value keeps the cell's format; an empty text leaves the cell without a value.
    void setText(int row, int column, std::string_view text);
    // Non-finite values have no number form in a workbook: they are written as the error #NUM!.
    void setNumber(int row, int column, double value);
    // A number when the text is canonical (isCanonicalNumber), text otherwise.
    void setValue(int row, int column, std::string_view text);
    // Removes the value and the format, as pasting an empty cell does.
    void clear(int row, int column);
    void clear(const CellRange& range);

    // Deletes whole rows; everything below moves up. deleteRows takes row numbers in any order
    // (duplicates count once) and moves the sheet once for the whole batch.
    void deleteRow(int row);
    void deleteRows(std::vector<int> rows);

    // Sets font, alignment and solid fill on every cell of the range, empty ones included,
    // keeping each cell's number format, borders and whatever the change leaves unset. Sizes
    // are held to the 1 to 409 points a spreadsheet accepts; a fill colour past 0xFFFFFF throws
    // errc::WorkbookTooLarge before any cell changes.
    void applyStyle(const CellRange& range, const CellStyleChange& change);

    void setColumnWidth(int column, double width);
    std::optional<double> columnWidth(int column) const;
    // Sets each column of the range to the width of its widest cell within the range (cells
    // merged across columns do not count); a column with no text there keeps its width.
    void autoFitColumns(const CellRange& range);
    // Sets the column's width as autoFitColumns does for a widest cell of that width (one of
    // autoFitWidth); a width of 0 leaves the column as it is.
    void fitColumn(int column, double width);

    std::optional<double> rowHeight(int row) const;
    const std::vector<CellRange>& mergedRanges() const noexcept { return merged_; }
    // Removes every merged range that shares a cell with the range, so that a block pasted
    // there never covers part of a merged cell.
    void unmergeCells(const CellRange& range);

    // The highest row holding a cell or row attributes, the highest column holding a cell; 0 for
    // an empty sheet.
    int lastRow() const;
    int lastColumn() const;

private:
    friend class Workbook;
    friend class WorksheetXml;

    enum class Kind : std::uint8_t { Empty, Text, Number, Shared, Raw };

    // 16 bytes: texts live in one pool, so a million cells stay small.
    struct Cell {
        std::uint32_t data = 0;    // pool offset (Text, Number), shared string (Shared), raw (Raw)
        std::uint32_t length = 0;  // bytes in the pool
        std::uint32_t style = 0;   // index into the cell formats of the style sheet
        std::uint16_t column = 0;
        Kind kind = Kind::Empty;
    };

    struct Row {
        std::vector<Cell> cells;       // ascending columns
        std::uint32_t attributes = 0;  // index into rowAttributes_; 0 = none
    };

    // A template cell we do not model (formula, boolean, error, rich text): its XML after the
    // reference, and the text it shows.
    struct RawCell {
        std::string xml;
        std::string text;
        bool number = false;                      // a formula with a numeric result
        bool sharedString = false;                // refers to the shared string table
        std::optional<std::uint32_t> sharedItem;  // the item it shows, when it shows one
    };

    struct Column {
        std::optional<double> width;
        bool bestFit = false;
        bool customWidth = false;
        std::uint32_t attributes = 0;  // index into columnAttributes_; 0 = none

        bool operator==(const Column&) const = default;
    };

    // The template's worksheet element around the parts we write ourselves.
    struct Frame {
        std::string prefix;    // namespace prefix of the worksheet element, "x:" or ""
        std::string startTag;  // "<worksheet ...>"
        std::string endTag;    // "</worksheet>"
        std::vector<std::pair<int, std::string>> children;  // schema rank, element XML
    };

    Worksheet(WorkbookStyles& styles, const SharedStrings& sharedStrings);

    static void checkPosition(int row, int column);
    static void checkRange(const CellRange& range);
    Row& rowAt(int row);
    const Cell* find(int row, int column) const;
    Cell* find(int row, int column);
    Cell& cellAt(int row, int column);
    void storeText(Cell& cell, Kind kind, std::string_view text);
    void dropText(const Cell& cell);
    void compactPool();
    std::string_view cellText(const Cell& cell) const;
    std::uint32_t rawCell(RawCell raw);
    std::uint32_t rowAttributesIndex(std::string attributes);
    Column& columnAt(int column);
    std::uint32_t columnAttributesIndex(std::string attributes);

    WorkbookStyles* styles_;
    const SharedStrings* sharedStrings_;
    std::vector<Row> rows_;  // rows_[n - 1] is row n
    std::string pool_;
    std::size_t poolGarbage_ = 0;
    std::vector<RawCell> raw_;
    std::vector<std::string> rowAttributes_{""};
    std::vector<std::string> columnAttributes_{""};
    std::vector<Column> columns_;  // columns_[n - 1] is column n
    std::vector<CellRange> merged_;
    Frame frame_;
    std::size_t templateSharedCells_ = 0;
    bool cellsChanged_ = false;
};

}  // namespace vexlo::workbook
