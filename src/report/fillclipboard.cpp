#include "report/fillclipboard.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <optional>

#include "common/error.h"
#include "common/viewer.h"
#include "report/intermediatefile.h"
#include "report/reportnames.h"
#include "report/table.h"
#include "report/transientfiles.h"
#include "report/workbook.h"

namespace vexlo::report {

namespace {

using Clock = std::chrono::steady_clock;

// Where the report lands on the sheet: the header in row S, the data rows below it; K + 2 rows
// of C + 1 columns in all, the last column and at least the last row empty.
struct Block {
    int startRow = 1;  // S
    int lastRow = 1;   // S + K + 1
    int columnCount = 0;
    int lastColumn = 1;  // C + 1

    CellRange values() const { return {startRow, 1, lastRow, lastColumn}; }
    CellRange header() const { return {startRow, 1, startRow, lastColumn}; }
};

Block blockFor(int startRow, std::size_t componentCount, std::size_t columnCount) {
    if (columnCount + 1 > static_cast<std::size_t>(maxWorkbookColumns)) {
        throw Error(errc::WorkbookTooLarge,
                    "The spreadsheet report's " + std::to_string(columnCount) +
                        " columns and the empty one after them do not fit a worksheet of "
                        "16,384 columns");
    }
    const std::uint64_t lastRow = static_cast<std::uint64_t>(startRow) + componentCount + 1;
    if (lastRow > static_cast<std::uint64_t>(maxWorkbookRows)) {
        throw Error(errc::WorkbookTooLarge, "The spreadsheet report of " +
                                                std::to_string(componentCount) +
                                                " components from row " + std::to_string(startRow) +
                                                " needs the rows up to " + std::to_string(lastRow) +
                                                ", past the worksheet's last row 1,048,576");
    }
    Block block;
    block.startRow = startRow;
    block.lastRow = static_cast<int>(lastRow);
    block.columnCount = static_cast<int>(columnCount);
    block.lastColumn = block.columnCount + 1;
    return block;
}

HorizontalAlignment alignmentOf(int code) {
    switch (code) {
        case 0:
            return HorizontalAlignment::Left;
        case 1:
            return HorizontalAlignment::Center;
        default:
            return HorizontalAlignment::Right;
    }
}

// The format of a range from its options. Only the flag pairs (1, 0), (1, 1) and (0, 1) switch
// bold or italic on; any other pair leaves both off.
CellStyleChange rangeStyle(int boldFlag, int italicFlag, int fontSize, int alignment) {
    CellStyleChange change;
    change.bold = boldFlag == 1 && (italicFlag == 0 || italicFlag == 1);
    change.italic = italicFlag == 1 && (boldFlag == 0 || boldFlag == 1);
    change.size = fontSize;
    change.alignment = alignmentOf(alignment);
    return change;
}

// The data rows sorted by the key, and what the merge walk does with them: each run of equal
// keys keeps its first row and merges the others into it.
struct Grouping {
    KeyColumns columns;
    std::vector<std::size_t> runStarts;   // rows (from 0) that head a run
    std::vector<std::size_t> mergedAway;  // rows merged into the run above them
};

Grouping sortForGrouping(Table& table, std::size_t columnCount, const std::string& key) {
    Grouping grouping;
    grouping.columns = scanHeader(table.header, columnCount, key);
    if (!grouping.columns.key) {
        throw Error(errc::KeyNotInColumns, "Cannot compress the report by the key \"" + key +
                                               "\": no report column has that name");
    }
    const std::size_t keyColumn = *grouping.columns.key;
    sortRows(table.rows, keyColumn);
    // A merged row keeps its first row's key, so each row is compared with its run's head, as
    // mergeRows does.
    for (std::size_t row = 0; row < table.rows.size(); ++row) {
        if (!grouping.runStarts.empty() &&
            sameMergeKey(cellAt(table.rows[grouping.runStarts.back()], keyColumn),
                         cellAt(table.rows[row], keyColumn))) {
            grouping.mergedAway.push_back(row);
        } else {
            grouping.runStarts.push_back(row);
        }
    }
    return grouping;
}

// Cells hold numbers only where the text is a number's own shortest form, so that part
// numbers and values such as "007" or "1.50" are shown exactly as the design has them.
void writeRow(Worksheet& sheet, int sheetRow, const Row& row, std::size_t columnCount) {
    const std::size_t cells = std::min(row.size(), columnCount);
    for (std::size_t column = 0; column < cells; ++column) {
        if (!row[column].text.empty()) {
            sheet.setValue(sheetRow, static_cast<int>(column) + 1, row[column].text);
        }
    }
}

// The merge walk in one pass: each run's head takes the joined references and the summed
// quantity, and the rows merged into it are deleted in one batch, so that the rows below the
// block move up once by the number of merges. The sheet rows deleted are the ones the walk
// deletes, so a template's row heights and hidden rows in the block go with the same rows.
// Returns the block's last row afterwards.
int mergeRuns(Worksheet& sheet, const Block& block, std::vector<Row> rows,
              const Grouping& grouping) {
    if (grouping.mergedAway.empty()) {
        return block.lastRow;
    }
    const std::vector<Row> merged = mergeRows(std::move(rows), grouping.columns);
    const std::size_t totalRows = grouping.runStarts.size() + grouping.mergedAway.size();
    for (std::size_t run = 0; run < merged.size() && run < grouping.runStarts.size(); ++run) {
        const std::size_t head = grouping.runStarts[run];
        const std::size_t next =
            run + 1 < grouping.runStarts.size() ? grouping.runStarts[run + 1] : totalRows;
        if (next - head < 2) {
            continue;
        }
        const int sheetRow = block.startRow + 1 + static_cast<int>(head);
        for (const auto& column : {grouping.columns.reference, grouping.columns.quantity}) {
            if (column) {
                sheet.setValue(sheetRow, static_cast<int>(*column) + 1,
                               cellAt(merged[run], *column).text);
            }
        }
    }
    std::vector<int> deleted;
    deleted.reserve(grouping.mergedAway.size());
    for (const std::size_t row : grouping.mergedAway) {
        deleted.push_back(block.startRow + 1 + static_cast<int>(row));
    }
    sheet.deleteRows(std::move(deleted));
    return block.lastRow - static_cast<int>(grouping.mergedAway.size());
}

// Pastes the table into the block, formats and fits it, and groups it when asked. The table is
// taken whole so that its rows are gone before the workbook is saved.
void fillSheet(Worksheet& sheet, const Block& block, Table table,
               const std::optional<Grouping>& grouping, const options::Settings& settings) {
    // Pasting replaces every cell of the block, empty ones included; a merged range that the
    // block would cut through cannot stay.
    sheet.unmergeCells(block.values());
    sheet.clear(block.values());
    const auto columnCount = static_cast<std::size_t>(block.columnCount);
    writeRow(sheet, block.startRow, table.header, columnCount);
    for (std::size_t row = 0; row < table.rows.size(); ++row) {
        writeRow(sheet, block.startRow + 1 + static_cast<int>(row), table.rows[row], columnCount);
    }
    // The header row lies inside the value range and is formatted after it, so it ends with
    // the header's settings.
    sheet.applyStyle(block.values(), rangeStyle(settings.Value_Bold, settings.Value_Italic,
                                                settings.Value_Font_Size, settings.Align_Value));
    sheet.applyStyle(block.header(), rangeStyle(settings.Header_Bold, settings.Header_Italic,
                                                settings.Header_Font_Size, settings.Align_Header));
    sheet.autoFitColumns(block.values());
    if (grouping) {
        const int lastRow = mergeRuns(sheet, block, std::move(table.rows), *grouping);
        // The formatted rows moved up with the deletions: the block now ends at lastRow.
        sheet.autoFitColumns({block.startRow, 1, lastRow, block.lastColumn});
    }
}

void addSeconds(double ReportTimings::*phase, const ReportRequest& request,
                Clock::time_point start) {
    if (request.timings != nullptr) {
        request.timings->*phase += secondsSince(start);
    }
}

}  // namespace

std::string FillClipboard(design::SchematicTool& tool, const ReportRequest& request) {
    const options::Settings& settings = request.settings;
    const ReportNames names = reportNames(tool, request.choiceSuffix);
    const std::string intermediatePath = names.intermediateFile();
    const std::string reportPath = names.reportFile(".xls");
    TransientFiles transient({intermediatePath});
    if (settings.Excel_Start < 1) {
        throw Error(errc::BadStartRow, "The spreadsheet report cannot start at row " +
                                           std::to_string(settings.Excel_Start) +
                                           ": the start row must be 1 or more");
    }

    auto phaseStart = Clock::now();
    Workbook workbook = settings.Excel_File_Start.empty()
                            ? Workbook::blank()
                            : Workbook::open(settings.Excel_File_Start);
    addSeconds(&ReportTimings::writeSeconds, request, phaseStart);

    phaseStart = Clock::now();
    const auto design = tool.LoadGroupFlatten(names.designName);
    addSeconds(&ReportTimings::fetchSeconds, request, phaseStart);
    const Block block =
        blockFor(settings.Excel_Start, design->Components("").size(), request.columns.size());

    phaseStart = Clock::now();
    writeIntermediateFile(*design, request.columns, intermediatePath);
    Table table = importIntermediateFile(intermediatePath);
    std::optional<Grouping> grouping;
    if (request.compress == 1) {
        grouping = sortForGrouping(table, request.columns.size(), request.key);
    }
    addSeconds(&ReportTimings::tableSeconds, request, phaseStart);

    phaseStart = Clock::now();
    fillSheet(workbook.firstSheet(), block, std::move(table), grouping, settings);
    workbook.saveAs(reportPath);
    transient.remove(intermediatePath);
    addSeconds(&ReportTimings::writeSeconds, request, phaseStart);

    if (request.showReport) {
        // The report is written; a desktop without a viewer only means it is not shown.
        openForUser(reportPath);
    }
    return reportPath;
}

}  // namespace vexlo::report
