#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "common/error.h"
#include "workbook/cellnumber.h"
#include "workbook/workbook.h"
#include "workbookfixture.h"

namespace vexlo::workbook {
namespace {

using test::TempDir;

std::vector<std::string> columnTexts(const Worksheet& sheet, int column, int lastRow) {
    std::vector<std::string> texts;
    for (int row = 1; row <= lastRow; ++row) {
        texts.push_back(sheet.text(row, column));
    }
    return texts;
}

TEST(WorksheetTest, WritesTextAndNumbersExplicitly) {
    Workbook workbook = Workbook::blank();
    Worksheet& sheet = workbook.firstSheet();
    sheet.setText(1, 1, "10");
    sheet.setNumber(1, 2, 2.5);
    sheet.setNumber(1, 3, 3);
    sheet.setNumber(1, 4, std::numeric_limits<double>::quiet_NaN());
    sheet.setNumber(1, 5, 1e20);
    EXPECT_EQ(sheet.cell(1, 1), (CellValue{CellType::Text, "10"}));
    EXPECT_EQ(sheet.cell(1, 2), (CellValue{CellType::Number, "2.5"}));
    EXPECT_EQ(sheet.cell(1, 3), (CellValue{CellType::Number, "3"}));
    EXPECT_EQ(sheet.cell(1, 4), (CellValue{CellType::Text, "#NUM!"}));
    EXPECT_EQ(sheet.cell(1, 5), (CellValue{CellType::Number, "1e+20"}));
}

TEST(WorksheetTest, OverwritingAValueKeepsTheFormatAndClearingRemovesBoth) {
    Workbook workbook = Workbook::blank();
    Worksheet& sheet = workbook.firstSheet();
    sheet.setValue(1, 1, "first");
    sheet.setValue(1, 2, "second");
    sheet.applyStyle({1, 1, 1, 2}, {true, std::nullopt, 14.0, HorizontalAlignment::Right});
    sheet.setValue(1, 1, "42");
    sheet.setText(1, 2, "");
    const CellFormat styled{true, false, 14, HorizontalAlignment::Right};
    EXPECT_EQ(sheet.cell(1, 1), (CellValue{CellType::Number, "42"}));
    EXPECT_EQ(sheet.format(1, 1), styled);
    EXPECT_EQ(sheet.cell(1, 2), CellValue{});
    EXPECT_EQ(sheet.format(1, 2), styled);

    sheet.clear(1, 1);
    EXPECT_EQ(sheet.cell(1, 1), CellValue{});
    EXPECT_EQ(sheet.format(1, 1), CellFormat{});
}

TEST(WorksheetTest, ClearingARangeLeavesCellsAroundIt) {
    Workbook workbook = Workbook::blank();
    Worksheet& sheet = workbook.firstSheet();
    for (int row = 1; row <= 4; ++row) {
        for (int column = 1; column <= 4; ++column) {
            sheet.setValue(row, column, std::to_string(row * 10 + column));
        }
    }
    sheet.clear({2, 2, 3, 3});
    EXPECT_EQ(columnTexts(sheet, 2, 4), (std::vector<std::string>{"12", "", "", "42"}));
    EXPECT_EQ(columnTexts(sheet, 1, 4), (std::vector<std::string>{"11", "21", "31", "41"}));
    EXPECT_EQ(columnTexts(sheet, 4, 4), (std::vector<std::string>{"14", "24", "34", "44"}));
}

TEST(WorksheetTest, ReadsNothingOutsideTheWrittenCells) {
    Workbook workbook = Workbook::blank();
    Worksheet& sheet = workbook.firstSheet();
    sheet.setValue(3, 2, "x");
    EXPECT_EQ(sheet.cell(0, 0), CellValue{});
    EXPECT_EQ(sheet.cell(4, 2), CellValue{});
    EXPECT_EQ(sheet.cell(3, 1), CellValue{});
    EXPECT_EQ(sheet.cell(2000000, 20000), CellValue{});
    EXPECT_EQ(sheet.lastRow(), 3);
    EXPECT_EQ(sheet.lastColumn(), 2);
}

TEST(WorksheetTest, HoldsCellsAndTextsUpToTheSpreadsheetLimits) {
    Workbook workbook = Workbook::blank();
    Worksheet& sheet = workbook.firstSheet();
    sheet.setValue(1048576, 16384, "corner");
    EXPECT_EQ(sheet.text(1048576, 16384), "corner");
    std::string longest;
    for (std::size_t count = 0; count < maxCellTextLength; ++count) {
        longest += "\xc3\xa9";  // two bytes, one character
    }
    sheet.setValue(1, 1, longest);
    EXPECT_EQ(sheet.text(1, 1), longest);
}

std::string outside(int row, int column) {
    return "Cell at row " + std::to_string(row) + ", column " + std::to_string(column) +
           " lies outside a worksheet (1,048,576 rows of 16,384 columns)";
}

// Refused actions change nothing.
TEST(WorksheetTest, RefusesWhatLiesOutsideTheSheet) {
    const std::vector<std::pair<std::function<void(Worksheet&)>, std::string>> cases = {
        {[](Worksheet& sheet) { sheet.setValue(1048577, 1, "x"); }, outside(1048577, 1)},
        {[](Worksheet& sheet) { sheet.clear(1048577, 1); }, outside(1048577, 1)},
        {[](Worksheet& sheet) { sheet.setValue(1, 16385, "x"); }, outside(1, 16385)},
        {[](Worksheet& sheet) { sheet.clear(1, 16385); }, outside(1, 16385)},
        {[](Worksheet& sheet) { sheet.setValue(0, 1, "x"); }, outside(0, 1)},
        {[](Worksheet& sheet) { sheet.clear(0, 1); }, outside(0, 1)},
        {[](Worksheet& sheet) {
             sheet.applyStyle({1, 1, 1048577, 2}, {});
         },
         outside(1048577, 2)},
        {[](Worksheet& sheet) {
             sheet.autoFitColumns({3, 2, 1, 2});
         },
         "Cell range from row 3, column 2 to row 1, column 2 is empty"},
        {[](Worksheet& sheet) {
             sheet.deleteRows({5, 0});
         },
         outside(0, 1)},
        {[](Worksheet& sheet) { sheet.setColumnWidth(2, 256); },
         "Column width 256 is outside 0 to 255 characters"},
        {[](Worksheet& sheet) { sheet.setColumnWidth(2, -1); },
         "Column width -1 is outside 0 to 255 characters"},
        {[](Worksheet& sheet) { sheet.setValue(1, 2, std::string(maxCellTextLength + 1, 'x')); },
         "The text for cell B1 is longer than 32,767 characters"},
    };
    for (const auto& [action, message] : cases) {
        SCOPED_TRACE(message);
        Workbook workbook = Workbook::blank();
        Worksheet& sheet = workbook.firstSheet();
        const Error error = test::errorOf([&] { action(sheet); });
        EXPECT_EQ(error.number, errc::WorkbookTooLarge);
        EXPECT_EQ(error.description, message);
        EXPECT_EQ(sheet.lastRow(), 0);
        EXPECT_EQ(sheet.columnWidth(2), std::nullopt);
    }
}

TEST(WorksheetTest, DeletingRowsMovesTheRowsBelowUp) {
    Workbook workbook = Workbook::blank();
    Worksheet& sheet = workbook.firstSheet();
    for (int row = 1; row <= 10; ++row) {
        sheet.setValue(row, 1, "r" + std::to_string(row));
        sheet.setValue(row, 2, std::to_string(row));
    }
    sheet.deleteRows({9, 3, 5, 5, 30});
    EXPECT_EQ(columnTexts(sheet, 1, 8),
              (std::vector<std::string>{"r1", "r2", "r4", "r6", "r7", "r8", "r10", ""}));
    EXPECT_EQ(sheet.cell(7, 2), (CellValue{CellType::Number, "10"}));
    sheet.deleteRow(1);
    EXPECT_EQ(columnTexts(sheet, 1, 7),
              (std::vector<std::string>{"r2", "r4", "r6", "r7", "r8", "r10", ""}));
    EXPECT_EQ(sheet.lastRow(), 6);
}

TEST(WorksheetTest, DeletingRowsMovesHeightsHiddenRowsAndMergedRangesUp) {
    TempDir dir;
    Workbook workbook = Workbook::open(test::makeTemplate(dir));
    Worksheet& sheet = workbook.firstSheet();
    ASSERT_EQ(sheet.mergedRanges(),
              (std::vector<CellRange>{{1, 1, 1, 4}, {7, 6, 8, 7}, {10, 6, 11, 7}}));
    EXPECT_EQ(sheet.rowHeight(8), 30);

    // Row 7 lies in F7:G8, which goes; F10:G11 moves up by one.
    sheet.deleteRow(7);
    EXPECT_EQ(sheet.mergedRanges(), (std::vector<CellRange>{{1, 1, 1, 4}, {9, 6, 10, 7}}));
    EXPECT_EQ(columnTexts(sheet, 1, 11),
              (std::vector<std::string>{"Quarterly BOM", "Date", "Prepared by", "", "old header",
                                        "1", "3", "4", "5", "", "Footer"}));
    EXPECT_EQ(sheet.rowHeight(7), 30);
    EXPECT_EQ(sheet.rowHeight(8), std::nullopt);
    EXPECT_EQ(sheet.rowHeight(1), 24);
    EXPECT_EQ(sheet.text(9, 6), "moved");

    // Deleting the last row of a merged range removes the range too.
    sheet.deleteRows({2, 10});
    EXPECT_EQ(sheet.mergedRanges(), (std::vector<CellRange>{{1, 1, 1, 4}}));
    EXPECT_EQ(sheet.text(9, 1), "Footer");
}

struct UnmergeCase {
    const char* name;
    CellRange range;
    std::vector<CellRange> kept;
};

class UnmergeTest : public ::testing::TestWithParam<UnmergeCase> {};

// The template merges A1:D1, F7:G8 and F10:G11.
TEST_P(UnmergeTest, RemovesOnlyTheRangesThatShareACell) {
    TempDir dir;
    Workbook workbook = Workbook::open(test::makeTemplate(dir));
    Worksheet& sheet = workbook.firstSheet();
    sheet.unmergeCells(GetParam().range);
    EXPECT_EQ(sheet.mergedRanges(), GetParam().kept);
    EXPECT_EQ(sheet.text(7, 6), "merged note");
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, UnmergeTest,
    ::testing::Values(UnmergeCase{"BlockBelowTheTitle",
                                  {2, 1, 9, 5},
                                  {{1, 1, 1, 4}, {7, 6, 8, 7}, {10, 6, 11, 7}}},
                      UnmergeCase{"CornerCell", {8, 7, 8, 7}, {{1, 1, 1, 4}, {10, 6, 11, 7}}},
                      UnmergeCase{"ColumnsTouchingTheLeftEdge", {5, 1, 10, 6}, {{1, 1, 1, 4}}},
                      UnmergeCase{"RightOfTheRanges",
                                  {1, 8, 20, 9},
                                  {{1, 1, 1, 4}, {7, 6, 8, 7}, {10, 6, 11, 7}}},
                      UnmergeCase{"TitleRow", {1, 4, 1, 4}, {{7, 6, 8, 7}, {10, 6, 11, 7}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WorksheetTest, ReadsEveryKindOfTemplateCellAsItsText) {
    TempDir dir;
    Workbook workbook = Workbook::open(test::makeTemplate(dir));
    const Worksheet& sheet = workbook.firstSheet();
    struct Expected {
        int row;
        int column;
        CellValue value;
    };
    const std::vector<Expected> cells = {
        {1, 1, {CellType::Text, "Quarterly BOM"}},  // shared string
        {3, 1, {CellType::Text, "Prepared by"}},    // shared rich text
        {2, 2, {CellType::Number, "45000"}},
        {2, 3, {CellType::Number, "45001"}},      // formula, cached number
        {7, 6, {CellType::Text, "merged note"}},  // inline string
        {8, 6, {CellType::Text, "1"}},            // boolean
        {10, 6, {CellType::Text, "moved"}},       // formula, cached text
        {5, 2, {}},                               // format only
    };
    for (const auto& [row, column, value] : cells) {
        EXPECT_EQ(sheet.cell(row, column), value) << cellReference(row, column);
    }
    EXPECT_EQ(sheet.lastRow(), 12);
    EXPECT_EQ(sheet.lastColumn(), 8);
}

TEST(WorksheetTest, StyleChangesKeepEachCellsOtherSettings) {
    TempDir dir;
    Workbook workbook = Workbook::open(test::makeTemplate(dir));
    Worksheet& sheet = workbook.firstSheet();
    // A5 has Arial 9 italic; B6 a number format; A1 Calibri 14 bold.
    EXPECT_EQ(sheet.format(5, 1), (CellFormat{false, true, 9, std::nullopt}));
    sheet.applyStyle({5, 1, 6, 2}, {true, std::nullopt, std::nullopt, HorizontalAlignment::Center});
    sheet.applyStyle({1, 1, 1, 1}, {false, true, 10.0, HorizontalAlignment::Left});
    EXPECT_EQ(sheet.format(5, 1), (CellFormat{true, true, 9, HorizontalAlignment::Center}));
    EXPECT_EQ(sheet.format(6, 2), (CellFormat{true, false, 11, HorizontalAlignment::Center}));
    EXPECT_EQ(sheet.format(5, 2), (CellFormat{true, true, 9, HorizontalAlignment::Center}));
    EXPECT_EQ(sheet.format(1, 1), (CellFormat{false, true, 10, HorizontalAlignment::Left}));
    EXPECT_EQ(sheet.format(2, 1), CellFormat{});
    EXPECT_EQ(sheet.text(6, 2), "123.5");
}

TEST(WorksheetTest, HeaderSettingsAppliedAfterValueSettingsWin) {
    Workbook workbook = Workbook::blank();
    Worksheet& sheet = workbook.firstSheet();
    for (int row = 3; row <= 6; ++row) {
        sheet.setValue(row, 1, "v" + std::to_string(row));
    }
    const CellRange values{3, 1, 7, 2};
    const CellRange header{3, 1, 3, 2};
    sheet.applyStyle(values, {false, true, std::nullopt, std::nullopt});
    sheet.applyStyle(header, {true, false, std::nullopt, std::nullopt});
    sheet.applyStyle(values, {std::nullopt, std::nullopt, 10.0, std::nullopt});
    sheet.applyStyle(header, {std::nullopt, std::nullopt, 12.0, std::nullopt});
    sheet.applyStyle(values,
                     {std::nullopt, std::nullopt, std::nullopt, HorizontalAlignment::Right});
    sheet.applyStyle(header,
                     {std::nullopt, std::nullopt, std::nullopt, HorizontalAlignment::Center});
    EXPECT_EQ(sheet.format(3, 1), (CellFormat{true, false, 12, HorizontalAlignment::Center}));
    EXPECT_EQ(sheet.format(3, 2), (CellFormat{true, false, 12, HorizontalAlignment::Center}));
    EXPECT_EQ(sheet.format(4, 1), (CellFormat{false, true, 10, HorizontalAlignment::Right}));
    // Empty cells of the range are formatted too.
    EXPECT_EQ(sheet.format(7, 2), (CellFormat{false, true, 10, HorizontalAlignment::Right}));
    EXPECT_EQ(sheet.format(8, 1), CellFormat{});
    EXPECT_EQ(sheet.lastRow(), 7);
}

TEST(WorksheetTest, FontSizesStayWithinWhatASpreadsheetAccepts) {
    Workbook workbook = Workbook::blank();
    Worksheet& sheet = workbook.firstSheet();
    sheet.applyStyle({1, 1, 1, 1}, {std::nullopt, std::nullopt, 0.0, std::nullopt});
    sheet.applyStyle({1, 2, 1, 2}, {std::nullopt, std::nullopt, 1000.0, std::nullopt});
    EXPECT_EQ(sheet.format(1, 1).size, 1);
    EXPECT_EQ(sheet.format(1, 2).size, 409);
}

TEST(WorksheetTest, AutoFitSizesColumnsToTheirWidestCellInTheRange) {
    Workbook workbook = Workbook::blank();
    Worksheet& sheet = workbook.firstSheet();
    sheet.setValue(1, 1, "Part Number");
    sheet.setValue(2, 1, "SN74HC00N");
    sheet.setValue(3, 1, "a text outside the range that is long");
    sheet.setValue(2, 2, "10");
    sheet.setColumnWidth(1, 50);
    sheet.setColumnWidth(3, 7.5);
    sheet.applyStyle({1, 1, 1, 2}, {true, std::nullopt, 10.0, std::nullopt});
    sheet.autoFitColumns({1, 1, 2, 3});
    EXPECT_EQ(sheet.columnWidth(1), autoFitWidth("Part Number", 10, true));
    EXPECT_EQ(sheet.columnWidth(2), autoFitWidth("10", 11, false));
    EXPECT_EQ(sheet.columnWidth(3), 7.5);  // nothing to fit: kept
    EXPECT_EQ(sheet.columnWidth(4), std::nullopt);
}

TEST(WorksheetTest, AutoFitIgnoresCellsMergedAcrossColumns) {
    TempDir dir;
    Workbook workbook = Workbook::open(test::makeTemplate(dir));
    Worksheet& sheet = workbook.firstSheet();
    // A1 ("Quarterly BOM", 14 pt bold) spans A1:D1; A3 is the widest of the rest.
    sheet.autoFitColumns({1, 1, 3, 1});
    EXPECT_EQ(sheet.columnWidth(1), autoFitWidth("Prepared by", 11, false));
}

}  // namespace
}  // namespace vexlo::workbook
