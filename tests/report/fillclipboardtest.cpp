#include "report/workbookreport.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "common/error.h"
#include "faketool.h"
#include "report/dispatch.h"
#include "workbookfixture.h"

// The workbook report end to end on the fake tool: the files it leaves, and the workbook as an
// independent reader (openpyxl, through tests/workbook/workbookcheck.py) sees it.
namespace vexlo::report {
namespace {

namespace fs = std::filesystem;
using design::makeComponent;
using workbook::maxWorkbookColumns;
using workbook::Workbook;
using Files = std::vector<std::string>;

design::Component part(const std::string& refdes, const std::string& value) {
    return makeComponent(refdes, {{"REFDES", refdes}, {"Value", value}});
}

// A design open in the fake tool, its document in <temp>/proj/sch/, so that the report is
// <temp>/proj/amp.xls. Options as the settings file's defaults give them.
struct Board {
    Board() {
        fs::create_directories(dir.path() + "/proj/sch");
        tool.documentName = "amp.1";
        tool.documentPath = dir.path() + "/proj/sch/";
        request.columns = {"REFDES", "Value", "QTY"};
        request.key = "Value";
        request.showReport = false;
        request.settings.Excel_Start = 1;
        request.settings.Header_Font_Size = 10;
        request.settings.Value_Font_Size = 10;
    }

    // Every file and folder under the temporary folder, folders ending in "/".
    Files files() const { return test::listTree(dir.path()); }

    std::string report(const std::string& name = "amp.xls") const {
        return dir.path() + "/proj/" + name;
    }

    std::string useTemplate(int startRow, const std::string& name = "template.xlsx") {
        request.settings.Excel_File_Start = test::makeTemplate(dir, name);
        request.settings.Excel_Start = startRow;
        return request.settings.Excel_File_Start;
    }

    std::string run() {
        request.settings.Export_File_Format = FormatWorkbook;
        const ReportSource source{"amp", dir.path() + "/proj/sch/", dir.path() + "/proj/",
                                  tool.design};
        return ExporttoExcel(source, request).path;
    }

    // Runs the report expecting a failure; returns it.
    Error failure() {
        try {
            run();
        } catch (const Error& error) {
            return error;
        }
        ADD_FAILURE() << "no error";
        return Error(0, "");
    }

    test::TempDir dir;
    design::FakeTool tool;
    ReportRequest request;
};

using test::expectWorkbook;

const Files reportOnly{"proj/", "proj/amp.xls", "proj/sch/"};
const Files nothingWritten{"proj/", "proj/sch/"};

TEST(FillClipboard, BlankWorkbookFromRowOne) {
    Board board;
    board.tool.design->components = {
        part("R1", "10k"),  part("C1", "10"),    part("U1", "007"),
        part("R2", "1.50"), part("D1", "1e3"),   part("X1", "12345678901234567890"),
        part("R3", "-2.5"), part("R4", "0.125"),
    };
    board.request.settings.Header_Bold = 1;
    board.request.settings.Header_Font_Size = 12;
    board.request.settings.Align_Header = 1;
    board.request.settings.Value_Italic = 1;
    board.request.settings.Align_Value = 2;
    EXPECT_EQ(board.run(), board.report());
    EXPECT_EQ(board.files(), reportOnly);
    // Eight components: the header in row 1, rows 2 to 9, an empty row 10; column D is the
    // empty one after the last column.
    expectWorkbook(board.report(), R"({
        "sheets": ["Sheet1"],
        "rows": {"A1": [["REFDES", "Value", "QTY", null],
                        ["R1", "10k", 1, null],
                        ["C1", 10, 1, null],
                        ["U1", "007", 1, null],
                        ["R2", "1.50", 1, null],
                        ["D1", "1e3", 1, null],
                        ["X1", "12345678901234567890", 1, null],
                        ["R3", -2.5, 1, null],
                        ["R4", 0.125, 1, null],
                        [null, null, null, null]]},
        "fonts": {"A1:D1": {"bold": true, "italic": false, "size": 12},
                  "A2:D10": {"bold": false, "italic": true, "size": 10}},
        "alignments": {"A1:D1": "center", "A2:D10": "right", "E1": null, "A11": null},
        "widths": {"A": [8, 9.5], "B": [20, 22], "C": [4, 5.5]},
        "merged": [],
        "maxRow": 10, "maxColumn": 4
    })");
}

TEST(FillClipboard, TemplateFromRowFiveKeepsEverythingAroundTheBlock) {
    Board board;
    const std::string templatePath = board.useTemplate(5);
    const std::string templateBytes = test::readFile(templatePath);
    board.tool.design->components = {part("R1", "10k"), part("R2", "10k"), part("C1", "100n")};
    board.request.settings.Value_Bold = 1;
    board.request.settings.Header_Italic = 1;
    board.request.settings.Header_Font_Size = 12;
    EXPECT_EQ(board.run(), board.report());
    EXPECT_EQ(board.files(), (Files{"proj/", "proj/amp.xls", "proj/sch/", "template.xlsx"}));
    EXPECT_EQ(test::readFile(templatePath), templateBytes);
    // The block is A5:D9: the template's cells there go, values and formats, blanks included.
    expectWorkbook(board.report(), R"({
        "sheets": ["Report", "Notes"],
        "rows": {"A5": [["REFDES", "Value", "QTY", null],
                        ["R1", "10k", 1, null],
                        ["R2", "10k", 1, null],
                        ["C1", "100n", 1, null],
                        [null, null, null, null]]},
        "cells": {"A1": ["s", "Quarterly BOM"], "A2": ["s", "Date"], "B2": ["n", 45000],
                  "C2": ["n", 45001], "A3": ["s", "Prepared by"], "H3": ["s", "Right note"],
                  "A4": [null, null], "E5": [null, null], "H6": ["s", "keep right"],
                  "F7": ["s", "merged note"], "A10": ["n", 5],
                  "F10": ["s", "moved"], "A12": ["s", "Footer"]},
        "fonts": {"A1": {"bold": true, "italic": false, "size": 14},
                  "A5:D5": {"bold": false, "italic": true, "size": 12},
                  "A6:D9": {"bold": true, "italic": false, "size": 10},
                  "A10": {"bold": false, "italic": false, "size": 11}},
        "alignments": {"A5:D9": "left", "H6": null},
        "numberFormats": {"B2": "0.00", "B6": "General"},
        "merged": ["A1:D1", "F10:G11", "F7:G8"],
        "rowHeights": {"1": 24, "8": 30},
        "hiddenRows": [9],
        "otherSheets": {"Notes": {"A1": "Quarterly BOM", "A2": "Second sheet", "B2": 42}},
        "images": ["xl/media/image1.png"],
        "comments": {"H3": "Checked by the reviewer"},
        "absentParts": ["xl/calcChain.xml"],
        "maxRow": 12, "maxColumn": 8
    })");
}

struct StyleCase {
    const char* name;
    int valueBold, valueItalic, headerBold, headerItalic;
    int alignValue, alignHeader;
    const char* valueFont;
    const char* headerFont;
    const char* valueAlignment;
    const char* headerAlignment;
};

class FillClipboardStyle : public ::testing::TestWithParam<StyleCase> {};

TEST_P(FillClipboardStyle, FollowsTheFlagPairsAndAlignmentCodes) {
    const StyleCase& c = GetParam();
    Board board;
    board.tool.design->components = {part("R1", "10k"), part("R2", "22k")};
    auto& settings = board.request.settings;
    settings.Value_Bold = static_cast<std::int16_t>(c.valueBold);
    settings.Value_Italic = static_cast<std::int16_t>(c.valueItalic);
    settings.Header_Bold = static_cast<std::int16_t>(c.headerBold);
    settings.Header_Italic = static_cast<std::int16_t>(c.headerItalic);
    settings.Align_Value = static_cast<std::int16_t>(c.alignValue);
    settings.Align_Header = static_cast<std::int16_t>(c.alignHeader);
    settings.Value_Font_Size = 9;
    settings.Header_Font_Size = 14;
    board.run();
    EXPECT_EQ(board.files(), reportOnly);
    expectWorkbook(board.report(), std::string(R"({"fonts": {"A1:D1": )") + c.headerFont +
                                       R"(, "A2:D4": )" + c.valueFont +
                                       R"(}, "alignments": {"A1:D1": ")" + c.headerAlignment +
                                       R"(", "A2:D4": ")" + c.valueAlignment + R"("}})");
}

#define FONT(bold, italic, size) \
    "{\"bold\": " #bold ", \"italic\": " #italic ", \"size\": " #size "}"

INSTANTIATE_TEST_SUITE_P(
    Pairs, FillClipboardStyle,
    ::testing::Values(StyleCase{"BoldValuesItalicHeader", 1, 0, 0, 1, 0, 1, FONT(true, false, 9),
                                FONT(false, true, 14), "left", "center"},
                      StyleCase{"BoldItalicValuesBoldHeader", 1, 1, 1, 0, 1, 0, FONT(true, true, 9),
                                FONT(true, false, 14), "center", "left"},
                      StyleCase{"ItalicValuesBoldItalicHeader", 0, 1, 1, 1, 2, 7,
                                FONT(false, true, 9), FONT(true, true, 14), "right", "right"},
                      StyleCase{"PairOneTwoAndTwoOneSetNeither", 1, 2, 2, 1, 7, -1,
                                FONT(false, false, 9), FONT(false, false, 14), "right", "right"},
                      StyleCase{"PairTwoOneForValuesAndZeroZero", 2, 1, 0, 0, -4131, 2,
                                FONT(false, false, 9), FONT(false, false, 14), "right", "right"}),
    [](const auto& info) { return std::string(info.param.name); });

#undef FONT

struct BlockCase {
    const char* name;
    int compress;
    const char* key;
    Files columns;  // empty: REFDES, Value, QTY
    std::vector<design::Component> components;
    const char* expected;
};

// Each run replaces an older report of the same name.
TEST(FillClipboard, BlockRowsFollowCompressAndKey) {
    const std::vector<BlockCase> cases = {
        // Later sections of a part, and components without a designator, count in K but get
        // no row.
        {"CompressOffKeepsTheFileOrder",
         0,
         "Value",
         {},
         {part("U2", "74HC00"), part("R1", "10k"), part("U2", "74HC00"), part("", "1k"),
          part("C3", "100n"), part("R7", "10k")},
         R"({
        "rows": {"A1": [["REFDES", "Value", "QTY", null],
                        ["U2", "74HC00", 1, null],
                        ["R1", "10k", 1, null],
                        ["C3", "100n", 1, null],
                        ["R7", "10k", 1, null],
                        [null, null, null, null],
                        [null, null, null, null],
                        [null, null, null, null]]},
        "fonts": {"A8:D8": {"bold": false, "italic": false, "size": 10}},
        "maxRow": 8, "maxColumn": 4})"},
        // K = 4: rows 1 to 6 before grouping; the two merges take the two rows below the block.
        {"ThreeComponentsOfOneKeyBecomeOneRow",
         1,
         "Value",
         {},
         {part("R5", "4k7"), part("C1", "100n"), part("R2", "4k7"), part("R9", "4k7")},
         R"({
        "rows": {"A1": [["REFDES", "Value", "QTY", null],
                        ["C1", "100n", 1, null],
                        ["R5, R2, R9", "4k7", 3, null],
                        [null, null, null, null]]},
        "fonts": {"A2:D4": {"bold": false, "italic": false, "size": 10}},
        "widths": {"A": [10, 12]},
        "maxRow": 4, "maxColumn": 4})"},
        // Numbers first and by value, text without letter case, empty keys last; keys that
        // differ in letter case or are written differently sort together but stay apart.
        // "007" and "7" are the same number: they merge, and the row keeps the first one's text.
        {"CompressSortsAndMergesLikeTheCompressedTable",
         1,
         "Value",
         {"Value", "REFDES", "Footprint", "QTY"},
         {makeComponent("U1", {{"REFDES", "U1"}, {"Value", "74hc00"}, {"Footprint", "SO14"}}),
          makeComponent("R1", {{"REFDES", "R1"}, {"Value", "100"}, {"Footprint", "0603"}}),
          makeComponent("X1", {{"REFDES", "X1"}, {"Footprint", "none"}}),
          makeComponent("U2", {{"REFDES", "U2"}, {"Value", "74HC00"}, {"Footprint", "DIP14"}}),
          makeComponent("R2", {{"REFDES", "R2"}, {"Value", "10"}, {"Footprint", "0805"}}),
          makeComponent("R3", {{"REFDES", "R3"}, {"Value", "100"}, {"Footprint", "0402"}}),
          makeComponent("L1", {{"REFDES", "L1"}, {"Value", "007"}}),
          makeComponent("L2", {{"REFDES", "L2"}, {"Value", "7"}}),
          makeComponent("X2", {{"REFDES", "X2"}})},
         R"({
        "rows": {"A1": [["Value", "REFDES", "Footprint", "QTY", null],
                        ["007", "L1, L2", null, 2, null],
                        [10, "R2", "0805", 1, null],
                        [100, "R1, R3", "0603", 2, null],
                        ["74hc00", "U1", "SO14", 1, null],
                        ["74HC00", "U2", "DIP14", 1, null],
                        [null, "X1", "none", 1, null],
                        [null, "X2", null, 1, null],
                        [null, null, null, null, null]]},
        "maxRow": 9})"},
        {"EmptyKeyLeavesOrderAndRowsAsTheyAre",
         1,
         "",
         {},
         {part("R2", "10k"), part("C1", "100n"), part("R1", "10k")},
         R"({
        "rows": {"A1": [["REFDES", "Value", "QTY", null],
                        ["R2", "10k", 1, null],
                        ["C1", "100n", 1, null],
                        ["R1", "10k", 1, null],
                        [null, null, null, null]]},
        "maxRow": 5})"},
    };
    for (const BlockCase& c : cases) {
        SCOPED_TRACE(c.name);
        Board board;
        test::writeFile(board.report(), "an old report\r\n");
        board.request.compress = c.compress;
        board.request.key = c.key;
        if (!c.columns.empty()) {
            board.request.columns = c.columns;
        }
        board.tool.design->components = c.components;
        EXPECT_EQ(board.run(), board.report());
        EXPECT_EQ(board.files(), reportOnly);
        expectWorkbook(board.report(), c.expected);
    }
}

// The sheet groups the same table as the other formats: parts left out, and each merged
// reference list in natural order with ranges. K counts the part left out too.
TEST(FillClipboard, GroupedRowsFollowTheExclusionAndDesignatorOrder) {
    Board board;
    board.request.compress = 1;
    board.request.settings.Exclude_Attribute = "Fitted";
    board.request.settings.Exclude_Values = "DNP";
    board.request.settings.Refdes_Order = 2;
    board.tool.design->components = {
        part("R3", "10k"), part("R1", "10k"), part("C1", "100n"),
        makeComponent("R4", {{"REFDES", "R4"}, {"Value", "10k"}, {"Fitted", "DNP"}}),
        part("R2", "10k")};
    EXPECT_EQ(board.run(), board.report());
    expectWorkbook(board.report(), R"({
        "rows": {"A1": [["REFDES", "Value", "QTY", null],
                        ["C1", "100n", 1, null],
                        ["R1-R3", "10k", 3, null],
                        [null, null, null, null],
                        [null, null, null, null]]},
        "maxRow": 5})");
}

TEST(FillClipboard, CompressFromRowThreeLeavesTheRowsAboveAndMovesTheRestUp) {
    Board board;
    // A template is any OOXML workbook, whatever its name ends with.
    board.useTemplate(3, "company.xls");
    board.request.compress = 1;
    board.tool.design->components = {part("R5", "10k"), part("C1", "100n"), part("R2", "10k"),
                                     part("C2", "100n"), part("R9", "10k")};
    board.run();
    EXPECT_EQ(board.files(), (Files{"company.xls", "proj/", "proj/amp.xls", "proj/sch/"}));
    // Before grouping the block was A3:D9; the three merges delete rows 5, 7 and 8, so that
    // row 6 ("keep right"), row 9 (hidden) and everything below move up.
    expectWorkbook(board.report(), R"({
        "sheets": ["Report", "Notes"],
        "rows": {"A3": [["REFDES", "Value", "QTY", null],
                        ["C1, C2", "100n", 2, null],
                        ["R5, R2, R9", "10k", 3, null],
                        [null, null, null, null]]},
        "cells": {"A1": ["s", "Quarterly BOM"], "A2": ["s", "Date"], "B2": ["n", 45000],
                  "C2": ["n", 45001], "H3": ["s", "Right note"], "H5": ["s", "keep right"],
                  "H6": [null, null], "A7": ["n", 5], "F7": ["s", "moved"], "F8": [null, null],
                  "A8": [null, null], "A9": ["s", "Footer"]},
        "fonts": {"A1": {"bold": true, "italic": false, "size": 14},
                  "A3:D6": {"bold": false, "italic": false, "size": 10},
                  "A7": {"bold": false, "italic": false, "size": 11}},
        "alignments": {"A3:D6": "left", "A7": null},
        "numberFormats": {"B2": "0.00"},
        "merged": ["A1:D1", "F7:G8"],
        "rowHeights": {"1": 24},
        "hiddenRows": [6],
        "images": ["xl/media/image1.png"],
        "comments": {"H3": "Checked by the reviewer"},
        "maxRow": 9, "maxColumn": 8
    })");
}

TEST(FillClipboard, MergedRangesInTheBlockGoAndThoseBelowMoveUp) {
    Board board;
    board.useTemplate(5);
    board.request.compress = 1;
    board.request.columns = {"REFDES", "Value", "QTY", "Footprint", "Voltage", "Tolerance"};
    board.tool.design->components = {part("R1", "10k"), part("R2", "10k"), part("R3", "10k")};
    board.run();
    // The block A5:G9 cuts through F7:G8, which goes with its note; F10:G11 moves up by the
    // two merges.
    expectWorkbook(board.report(), R"({
        "rows": {"A5": [["REFDES", "Value", "QTY", "Footprint", "Voltage", "Tolerance", null],
                        ["R1, R2, R3", "10k", 3, null, null, null, null],
                        [null, null, null, null, null, null, null]]},
        "cells": {"A8": ["n", 5], "F8": ["s", "moved"], "A10": ["s", "Footer"]},
        "merged": ["A1:D1", "F8:G9"],
        "maxRow": 10
    })");
}

TEST(FillClipboard, ChoiceSuffixNamesTheReport) {
    Board board;
    board.request.choiceSuffix = "_parts";
    board.tool.design->components = {part("R1", "10k")};
    EXPECT_EQ(board.run(), board.report("amp_parts.xls"));
    EXPECT_EQ(board.files(), (Files{"proj/", "proj/amp_parts.xls", "proj/sch/"}));
}

// PATH without xdg-open for the lifetime of the object.
class NoViewerOnPath {
public:
    NoViewerOnPath() {
        const char* path = std::getenv("PATH");
        oldPath_ = path != nullptr ? path : "/usr/bin:/bin";
        ::setenv("PATH", emptyFolder_.path().c_str(), 1);
    }
    ~NoViewerOnPath() { ::setenv("PATH", oldPath_.c_str(), 1); }
    NoViewerOnPath(const NoViewerOnPath&) = delete;
    NoViewerOnPath& operator=(const NoViewerOnPath&) = delete;

private:
    test::TempDir emptyFolder_;
    std::string oldPath_;
};

// A viewer that cannot start is ignored: the report is there all the same.
TEST(FillClipboard, ShowsTheReportWithXdgOpenIfThereIsOne) {
    Board board;
    board.request.showReport = true;
    board.tool.design->components = {part("R1", "10k")};
    {
        test::ViewerRecorder viewer;
        board.run();
        EXPECT_EQ(viewer.shown(1), Files{board.report()});
    }
    {
        NoViewerOnPath noViewer;
        EXPECT_EQ(board.run(), board.report());
    }
    EXPECT_EQ(board.files(), reportOnly);
}

// --- Failures: a clear error, nothing written, an existing report left whole ---

TEST(FillClipboard, KeyNotAmongTheColumnsFailsLikeTheCompressedTable) {
    Board board;
    test::writeFile(board.report(), "old report\r\n");
    board.tool.design->components = {part("R1", "10k")};
    board.request.compress = 1;
    board.request.key = "Tolerance";
    const Error error = board.failure();
    EXPECT_EQ(errorMessage(error),
              "Error 1004: Cannot compress the report by the key "
              "\"Tolerance\": no report column has that name");
    EXPECT_EQ(board.files(), reportOnly);
    EXPECT_EQ(test::readFile(board.report()), "old report\r\n");
}

struct BadTemplateCase {
    const char* name;
    const char* file;   // created under the temporary folder, or "" for a missing one
    const char* bytes;  // nullptr: a folder
    std::size_t size;
    const char* problem;
    bool fifo = false;  // a FIFO instead of a file, which would block an open
};

class FillClipboardBadTemplate : public ::testing::TestWithParam<BadTemplateCase> {};

TEST_P(FillClipboardBadTemplate, IsRefusedBeforeAnythingIsWritten) {
    const BadTemplateCase& c = GetParam();
    Board board;
    board.tool.design->components = {part("R1", "10k")};
    test::writeFile(board.report(), "old report\r\n");
    const std::string path = board.dir.file(c.file);
    if (c.fifo) {
        ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    } else if (c.bytes == nullptr) {
        fs::create_directories(path);
    } else if (c.size > 0) {
        test::writeFile(path, std::string(c.bytes, c.size));
    }
    board.request.settings.Excel_File_Start = path;
    const Files before = board.files();
    const Error error = board.failure();
    EXPECT_EQ(error.number, errc::BadTemplate);
    EXPECT_EQ(error.description, "Template workbook \"" + path + "\"" + c.problem);
    EXPECT_EQ(board.files(), before);
    EXPECT_EQ(test::readFile(board.report()), "old report\r\n");
    EXPECT_EQ(board.tool.loadCount, 0);
}

const char legacyHeader[] = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1\0\0\0\0";

INSTANTIATE_TEST_SUITE_P(
    Templates, FillClipboardBadTemplate,
    ::testing::Values(
        BadTemplateCase{"LegacyBinary", "old.xls", legacyHeader, sizeof legacyHeader - 1,
                        " is a legacy binary workbook or an encrypted one; only OOXML workbooks "
                        "(.xlsx, .xlsm) can be templates"},
        BadTemplateCase{"Missing", "gone.xlsx", "", 0, " does not exist"},
        BadTemplateCase{"Text", "notes.xlsx", "Part,Value\r\n", 12,
                        " is not an OOXML workbook (not a zip package)"},
        BadTemplateCase{"Folder", "folder.xlsx", nullptr, 0, " is a folder, not a workbook"},
        BadTemplateCase{"Fifo", "pipe.xlsx", "", 0, " is a FIFO, not a workbook", true}),
    [](const auto& info) { return std::string(info.param.name); });

class FillClipboardStartRow : public ::testing::TestWithParam<int> {};

TEST_P(FillClipboardStartRow, BelowOneIsRefused) {
    Board board;
    board.tool.design->components = {part("R1", "10k")};
    board.request.settings.Excel_Start = GetParam();
    const Error error = board.failure();
    EXPECT_EQ(error.number, errc::BadStartRow);
    EXPECT_EQ(error.description, "The spreadsheet report cannot start at row " +
                                     std::to_string(GetParam()) +
                                     ": the start row must be 1 or more");
    EXPECT_EQ(board.files(), nothingWritten);
    EXPECT_EQ(board.tool.loadCount, 0);
}

INSTANTIATE_TEST_SUITE_P(Rows, FillClipboardStartRow, ::testing::Values(0, -1, -32768));

TEST(FillClipboard, BlockPastTheLastRowIsRefused) {
    Board board;
    board.request.settings.Excel_Start = 32767;
    // Rows 32,767 to 1,048,577: one too many. Components without a designator cost little.
    board.tool.design->components.resize(1048576 - 32767);
    const Error error = board.failure();
    EXPECT_EQ(error.number, errc::WorkbookTooLarge);
    EXPECT_EQ(error.description,
              "The spreadsheet report of 1015809 components from row 32767 needs the rows up "
              "to 1048577, past the worksheet's last row 1,048,576");
    EXPECT_EQ(board.files(), nothingWritten);
}

TEST(FillClipboard, ColumnsFillTheWorksheetUpToItsEdge) {
    Board board;
    board.tool.design->components = {part("R1", "10k")};
    board.request.columns.clear();
    for (int column = 1; column <= maxWorkbookColumns; ++column) {
        board.request.columns.push_back("C" + std::to_string(column));
    }
    const Error error = board.failure();
    EXPECT_EQ(error.number, errc::WorkbookTooLarge);
    EXPECT_EQ(error.description,
              "The spreadsheet report's 16384 columns and the empty one after them do not fit a "
              "worksheet of 16,384 columns");
    EXPECT_EQ(board.files(), nothingWritten);

    // One column less leaves room for the empty one.
    board.request.columns.pop_back();
    board.run();
    Workbook written = Workbook::open(board.report());
    EXPECT_EQ(written.firstSheet().text(1, maxWorkbookColumns - 1), "C16383");
    EXPECT_EQ(written.firstSheet().lastColumn(), maxWorkbookColumns);
    EXPECT_EQ(board.files(), reportOnly);
}

TEST(FillClipboard, AFailedSaveKeepsTheOldReportWhole) {
    Board board;
    test::writeFile(board.report(), "old report\r\n");
    board.tool.design->components = {part("R1", "10k"), part("R2", "22k")};
    {
        // Room for the intermediate file, not for the workbook.
        test::FileSizeLimit limit(1000);
        const Error error = board.failure();
        EXPECT_EQ(error.number, errc::DiskFull);
        EXPECT_EQ(error.description, "Cannot write \"" + board.report() + "\": File too large");
    }
    EXPECT_EQ(board.files(), reportOnly);
    EXPECT_EQ(test::readFile(board.report()), "old report\r\n");
}

// Once per run: a spreadsheet application opens both kinds of report without complaint.
TEST(FillClipboard, SpreadsheetApplicationConvertsTheReports) {
    if (test::runCommand("command -v soffice").first != 0) {
        GTEST_SKIP() << "soffice is not installed";
    }
    Board board;
    board.tool.design->components = {part("R1", "10k"), part("R2", "10k"), part("C1", "007")};
    board.request.compress = 1;
    board.request.choiceSuffix = "_blank";
    const std::string blank = board.run();
    board.useTemplate(5);
    board.request.choiceSuffix = "_template";
    const std::string fromTemplate = board.run();
    test::TempDir converted;
    for (const std::string& report : {blank, fromTemplate}) {
        const auto [status, output] = test::runChecker("convert", {report, converted.path()});
        EXPECT_EQ(status, 0) << output;
    }
    EXPECT_EQ(test::readFile(converted.file("amp_blank.csv")),
              "REFDES,Value,QTY\nC1,007,1\n\"R1, R2\",10k,2\n");
    EXPECT_EQ(test::readFile(converted.file("amp_template.csv")),
              "Quarterly BOM,,,,,,,\nDate,45000,45001,,,,,\nPrepared by,,,,,,,Right note\n,,,,,,,\n"
              "REFDES,Value,QTY,,,,,\nC1,007,1,,,,,keep right\n"
              "\"R1, R2\",10k,2,,,merged note,,\n,,,,,,,\n5,,,,,moved,,\n,,,,,,,\nFooter,,,,,,,\n");
}

}  // namespace
}  // namespace vexlo::report
