#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "workbook/cellnumber.h"
#include "workbook/workbook.h"
#include "workbookfixture.h"

// An independent reader checks what the engine writes: openpyxl and Python's own zip and XML
// readers, driven by tests/workbook/workbookcheck.py.
namespace vexlo::workbook {
namespace {

using test::expectWorkbook;
using test::TempDir;

// What the report does with its block: header row, then data rows, formatted and fitted.
void writeBlock(Worksheet& sheet, int startRow, const std::vector<std::vector<std::string>>& rows,
                int columns) {
    const CellRange block{startRow, 1, startRow + static_cast<int>(rows.size()), columns};
    sheet.clear(block);
    for (std::size_t row = 0; row < rows.size(); ++row) {
        for (std::size_t column = 0; column < rows[row].size(); ++column) {
            sheet.setValue(startRow + static_cast<int>(row), 1 + static_cast<int>(column),
                           rows[row][column]);
        }
    }
    const CellRange header{startRow, 1, startRow, columns};
    sheet.applyStyle(block, {true, false, 10.0, HorizontalAlignment::Right});
    sheet.applyStyle(header, {false, true, 12.0, HorizontalAlignment::Center});
    sheet.autoFitColumns(block);
}

TEST(WorkbookCheckTest, TemplateReportKeepsEverythingAroundTheBlock) {
    TempDir dir;
    Workbook workbook = Workbook::open(test::makeTemplate(dir));
    Worksheet& sheet = workbook.firstSheet();
    writeBlock(
        sheet, 5,
        {{"Refdes", "Value", "QTY"}, {"R1", "10k", "1"}, {"R2", "10k", "1"}, {"C1", "100n", "1"}},
        3);
    // Grouping merges R2 into R1 and deletes R2's row.
    sheet.setValue(6, 1, "R1, R2");
    sheet.setValue(6, 3, "2");
    sheet.deleteRows({7});
    // A template cell with a number format keeps it under a new font.
    sheet.applyStyle({2, 2, 2, 2}, {true, true, std::nullopt, std::nullopt});
    workbook.saveAs(dir.file("report.xls"));
    expectWorkbook(dir.file("report.xls"), R"({
        "sheets": ["Report", "Notes"],
        "cells": {"A1": ["s", "Quarterly BOM"], "A2": ["s", "Date"], "B2": ["n", 45000],
                  "A3": ["s", "Prepared by"], "H3": ["s", "Right note"],
                  "A5": ["s", "Refdes"], "D5": [null, null], "A6": ["s", "R1, R2"],
                  "C6": ["n", 2], "H6": ["s", "keep right"], "A7": ["s", "C1"],
                  "B7": ["s", "100n"], "A8": [null, null], "F7": ["b", true], "C2": ["n", 45001],
                  "A9": ["n", 5], "F9": ["s", "moved"], "A11": ["s", "Footer"]},
        "fonts": {"A1": {"bold": true, "italic": false, "size": 14},
                  "B2": {"bold": true, "italic": true, "size": 11},
                  "A5": {"bold": false, "italic": true, "size": 12},
                  "C7": {"bold": true, "italic": false, "size": 10}},
        "alignments": {"A5": "center", "C6": "right", "H6": null},
        "numberFormats": {"B2": "0.00", "D5": "0.00", "A6": "General"},
        "widths": {"A": [7, 10], "B": [6, 8], "C": [4, 6], "H": [30, 30]},
        "merged": ["A1:D1", "F9:G10"],
        "rowHeights": {"1": 24, "7": 30},
        "hiddenRows": [8],
        "otherSheets": {"Notes": {"A1": "Quarterly BOM", "A2": "Second sheet", "B2": 42}},
        "images": ["xl/media/image1.png"],
        "comments": {"H3": "Checked by the reviewer"},
        "absentParts": ["xl/calcChain.xml"],
        "maxRow": 11, "maxColumn": 8
    })");
}

TEST(WorkbookCheckTest, TemplateWrittenByAnotherProgram) {
    TempDir dir;
    const std::string path = dir.file("openpyxl.xlsx");
    const auto [status, output] = test::runChecker("template", {path});
    ASSERT_EQ(status, 0) << output;
    Workbook workbook = Workbook::open(path);
    Worksheet& sheet = workbook.firstSheet();
    EXPECT_EQ(sheet.text(1, 1), "Assembly 42");
    EXPECT_EQ(sheet.cell(2, 2), (CellValue{CellType::Number, "3.25"}));
    writeBlock(sheet, 4, {{"Refdes", "Footprint"}, {"U1", "DIP14"}, {"U2", "SOIC-8"}}, 2);
    workbook.saveAs(dir.file("from-openpyxl.xls"));
    expectWorkbook(dir.file("from-openpyxl.xls"), R"({
        "sheets": ["Cover", "Data"],
        "cells": {"A1": ["s", "Assembly 42"], "B2": ["n", 3.25], "F4": ["s", "beside the block"],
                  "A4": ["s", "Refdes"], "B5": ["s", "DIP14"], "B6": ["s", "SOIC-8"],
                  "B7": [null, null]},
        "fonts": {"A1": {"bold": true, "italic": false, "size": 16},
                  "B4": {"bold": false, "italic": true, "size": 12},
                  "B5": {"bold": true, "italic": false, "size": 10}},
        "alignments": {"B5": "right"},
        "numberFormats": {"B2": "0.00"},
        "merged": ["A1:E1"],
        "rowHeights": {"2": 22},
        "widths": {"F": [25, 25]},
        "otherSheets": {"Data": {"A1": "kept", "B1": 7}}
    })");
}

TEST(WorkbookCheckTest, ManyRowsAfterABatchOfDeletions) {
    TempDir dir;
    Workbook workbook = Workbook::blank();
    Worksheet& sheet = workbook.firstSheet();
    std::vector<int> deleted;
    for (int row = 1; row <= 3000; ++row) {
        sheet.setValue(row, 1, "R" + std::to_string(row));
        sheet.setValue(row, 2, std::to_string(row));
        if (row % 3 == 0) {
            deleted.push_back(row);
        }
    }
    sheet.applyStyle({1, 1, 3000, 2}, {std::nullopt, true, std::nullopt, std::nullopt});
    sheet.deleteRows(deleted);
    workbook.saveAs(dir.file("many.xlsx"));
    expectWorkbook(dir.file("many.xlsx"), R"({
        "cells": {"A1": ["s", "R1"], "A3": ["s", "R4"], "B2000": ["n", 2999],
                  "A2001": [null, null]},
        "fonts": {"B2000": {"bold": false, "italic": true, "size": 11}},
        "maxRow": 2000, "maxColumn": 2
    })");
}

}  // namespace
}  // namespace vexlo::workbook
