#include "report/dispatch.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>

#include "common/error.h"
#include "faketool.h"
#include "testsupport.h"

namespace vexlo::report {
namespace {

namespace fs = std::filesystem;
using design::makeComponent;
using Files = std::vector<std::string>;

// Every lookup path and every sort and merge edge in one small design.
std::vector<design::Component> edgeComponents() {
    return {
        makeComponent(
            "R1",
            {{"REFDES", "R1"}, {"Value", "100"}, {"Description", "Resistor, 1%"}, {"Qty", "5"}},
            {{"Footprint", "0603"}}),
        makeComponent("R2", {{"REFDES", "R2"}, {"Value", "10"}, {"Description", "Resistor 1/4W"}},
                      {{"Footprint", "0805"}}),
        makeComponent("", {{"REFDES", ""}, {"Value", "999"}}),
        makeComponent(
            "R3", {{"REFDES", "R3"}, {"Value", "999"}, {"Description", "Object attribute wins"}},
            {{"Footprint", "0603"}}, {{"Value", "100"}}),
        makeComponent("R1", {{"REFDES", "R1"}, {"Value", "1"}, {"Description", "Second gate"}}),
        makeComponent("C1",
                      {{"REFDES", "C1"}, {"Value", "47n"}, {"Description", "Empty object value"}},
                      {{"Footprint", "0402"}}, {{"Value", ""}}),
        makeComponent("R4", {{"REFDES", "R4"}}, {{"Value", "100"}, {"Footprint", "0603"}}),
        makeComponent(
            "U1",
            {{"REFDES", "U1"}, {"Value", "74hc00"}, {"Description", "Quad \"NAND\" <gate> & more"}},
            {{"Footprint", "SO14"}}),
        makeComponent("U2", {{"REFDES", "U2"}, {"Value", "74HC00"}, {"Description", "Quad NAND"}},
                      {{"Footprint", "SO14"}}),
        makeComponent("X1",
                      {{"REFDES", "X1"}, {"Value", "Value"}, {"Description", "Key is the header"}}),
        makeComponent("L1", {{"REFDES", "L1"}, {"Value", "9"}}),
        makeComponent("L2", {{"REFDES", "L2"}, {"Value", "1e3"}}),
        makeComponent("L3",
                      {{"REFDES", "L3"}, {"Value", "007"}, {"Description", "\xc2\xb5H coil"}}),
        makeComponent("L4", {{"REFDES", "L4"}, {"Value", "7"}}),
        makeComponent(
            "R5",
            {{"REFDES", "R5"}, {"Value", "10\xce\xa9"}, {"Description", "\xce\xa9 \xc2\xb5"}}),
    };
}

// A board for the bill of materials settings: parts not fitted (marked on the part, its symbol
// or cleared by an object attribute), designators in no order, with letter suffixes, other
// letter case, leading zeros and no number, runs broken by a part left out.
std::vector<design::Component> bomComponents() {
    auto part = [](const char* refdes, const char* number, std::vector<design::Attribute> more = {},
                   std::vector<design::Attribute> symbol = {},
                   std::vector<design::Attribute> oats = {}) {
        std::vector<design::Attribute> attributes = {{"REFDES", refdes}, {"Part Number", number}};
        attributes.insert(attributes.end(), more.begin(), more.end());
        return makeComponent(refdes, attributes, symbol, oats);
    };
    return {part("R10", "RC-10K", {{"Fitted", "DNP"}}),
            part("R2", "RC-10K", {{"Fitted", "Yes"}}),
            part("R1", "RC-10K"),
            part("R4", "RC-10K", {{"Fitted", " dnp\t"}}),
            part("R3", "RC-10K"),
            part("C10", "GRM-100N"),
            part("R1a", "RC-10K"),
            part("R5", "RC-10K"),
            part("R7", "RC-10K"),
            part("R6", "RC-10K"),
            part("r8", "RC-10K"),
            part("R9", "RC-10K"),
            part("C2", "GRM-100N"),
            part("C1", "GRM-100N"),
            part("C3", "GRM-100N", {}, {{"Fitted", "NF"}}),
            part("U01", "SN74HC00N"),
            part("U1", "SN74HC00N"),
            part("U3", "SN74HC00N", {{"Fitted", "DNP"}}),
            part("U3", "SN74HC00N"),
            part("U2", "SN74HC00N", {{"Fitted", "DNP"}}, {}, {{"Fitted", ""}}),
            part("TP", "PAD"),
            part("FID", "PAD"),
            part("TP2", "PAD"),
            part("D10", "1N4148"),
            part("D08", "1N4148"),
            part("D09", "1N4148"),
            part("Q3", "BC847"),
            part("Q02", "BC847"),
            part("Q1", "BC847"),
            part("R12", "RC-10K"),
            part("R11", "RC-10K"),
            part("R13", "RC-10K")};
}

// The edge design open in the fake tool, its document in <temp>/proj/sch/, so that reports land
// in <temp>/proj/.
struct Board {
    Board() {
        fs::create_directories(dir.path() + "/proj/sch");
        tool.documentName = "amp.1";
        tool.documentPath = dir.path() + "/proj/sch/";
        tool.design->components = edgeComponents();
        request.columns = {"REFDES", "Value", "Description", "Footprint", "Qty", "QTY"};
        request.key = "Value";
        request.showReport = false;
        request.settings.Header_Font_Size = 10;
    }

    // Every file and folder under the temporary folder, folders ending in "/".
    Files files() const { return test::listTree(dir.path()); }

    std::string report(const std::string& name) const { return dir.path() + "/proj/" + name; }

    std::string run(int format) {
        request.settings.Export_File_Format = static_cast<std::int16_t>(format);
        const ReportSource source{"amp", dir.path() + "/proj/sch/", dir.path() + "/proj/",
                                  tool.design};
        return ExporttoExcel(source, request).path;
    }

    test::TempDir dir;
    design::FakeTool tool;
    ReportRequest request;
};

// The call must fail with the number and, when one is given, the description.
void expectError(const std::function<void()>& call, int number,
                 const std::string& description = "") {
    try {
        call();
        ADD_FAILURE() << "no error";
    } catch (const Error& error) {
        EXPECT_EQ(error.number, number);
        if (!description.empty()) {
            EXPECT_EQ(error.description, description);
        }
    }
}

// Run once with VEXLO_UPDATE_GOLDEN set to rewrite the files after a deliberate change.
// The bom board's reports leave out the parts whose Fitted is DNP or NF, and differ in the
// designator order (Refdes_Order); without compressing, natural order and ranges give the same
// rows, since only merged lists have ranges.
TEST(ExporttoExcel, ReportsMatchTheGoldenFiles) {
    struct Case {
        std::string golden;
        int format, compress, valueBold, valueItalic, fontSize;
        bool bom = false;
        int refdesOrder = 0;
    };
    const bool update = std::getenv("VEXLO_UPDATE_GOLDEN") != nullptr;
    std::vector<Case> cases = {
        {"compressed.txt.golden", 1, 1, 0, 0, 10},  {"listed.txt.golden", 1, 0, 0, 0, 10},
        {"compressed.html.golden", 2, 1, 1, 1, 12}, {"listed.html.golden", 2, 0, 0, 0, 10},
        {"compressed.csv.golden", 3, 1, 0, 0, 10},  {"listed.csv.golden", 3, 0, 0, 0, 10}};
    const char* const extensions[] = {"", "txt", "html", "csv"};
    for (const int format : {1, 2, 3}) {
        for (const auto& [name, compress, order] :
             {std::tuple{"bom-found", 1, 0}, std::tuple{"bom-natural", 1, 1},
              std::tuple{"bom-ranges", 1, 2}, std::tuple{"bom-listed", 0, 1},
              std::tuple{"bom-listed", 0, 2}}) {
            cases.push_back({std::string(name) + "." + extensions[format] + ".golden", format,
                             compress, 0, 0, 10, true, order});
        }
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.golden);
        Board board;
        board.request.compress = c.compress;
        board.request.settings.Value_Bold = static_cast<std::int16_t>(c.valueBold);
        board.request.settings.Value_Italic = static_cast<std::int16_t>(c.valueItalic);
        board.request.settings.Header_Font_Size = static_cast<std::int16_t>(c.fontSize);
        if (c.bom) {
            board.tool.design->components = bomComponents();
            board.request.columns = {"REFDES", "Part Number", "Fitted", "QTY"};
            board.request.key = "Part Number";
            board.request.settings.Exclude_Attribute = "Fitted";
            board.request.settings.Exclude_Values = "dnp, NF ,,";
            board.request.settings.Refdes_Order = static_cast<std::int16_t>(c.refdesOrder);
        }
        const std::string path = board.run(c.format);
        EXPECT_EQ(board.files(),
                  (Files{"proj/", "proj/" + fs::path(path).filename().string(), "proj/sch/"}));
        const std::string golden = std::string(VEXLO_REPORT_GOLDEN_DIR) + "/" + c.golden;
        if (update) {
            test::writeFile(golden, test::readFile(path));
        }
        EXPECT_EQ(test::readFile(path), test::readFile(golden));
    }
    if (update) {
        GTEST_SKIP() << "wrote the golden files";
    }
}

TEST(ExporttoExcel, UnknownFormatsFailAndWriteNothing) {
    test::ViewerRecorder viewer;
    for (const int format : {4, 7, -1, 32767}) {
        SCOPED_TRACE(format);
        Board board;
        board.request.showReport = true;
        expectError([&] { board.run(format); }, errc::NoWriterForFormat,
                    "The output format " + std::to_string(format) +
                        " has no report writer (0 Excel, 1 Text, 2 HTML, 3 CSV)");
        EXPECT_EQ(board.files(), (Files{"proj/", "proj/sch/"}));
    }
    EXPECT_TRUE(viewer.shown(0).empty());
}

// A name that would take the report out of its folder is refused, naming it; names with dots
// alone stay where they belong.
TEST(ExporttoExcel, NamesThatLeaveTheFolderWriteNothing) {
    struct Case {
        std::string designName, suffix, message;
    };
    const std::string nul("a\0b", 3);
    for (const Case& c : {Case{"../../../x", "", "The design name \"../../../x\""},
                          Case{"amp", "_../../x", "The saved selection name \"../../x\""},
                          Case{"amp", "_sub/x", "The saved selection name \"sub/x\""},
                          Case{"amp", "_" + nul, "The saved selection name \"" + nul + "\""}}) {
        SCOPED_TRACE(c.designName + c.suffix);
        Board board;
        board.request.choiceSuffix = c.suffix;
        const ReportSource source{c.designName, board.dir.path() + "/proj/sch/",
                                  board.dir.path() + "/proj/", board.tool.design};
        board.request.settings.Export_File_Format = FormatCsv;
        expectError([&] { ExporttoExcel(source, board.request); }, errc::NameLeavesFolder,
                    c.message + " would put the report outside its folder \"" + board.dir.path() +
                        "/proj/\": a name for a report file cannot hold " +
                        "\"/\" or a NUL character");
        EXPECT_EQ(test::listTree(board.dir.path()), (Files{"proj/", "proj/sch/"}));
    }
    Board board;
    board.request.choiceSuffix = "_..";
    const ReportSource source{"..", board.dir.path() + "/proj/sch/", board.dir.path() + "/proj/",
                              board.tool.design};
    board.request.settings.Export_File_Format = FormatCsv;
    EXPECT_EQ(ExporttoExcel(source, board.request).path, board.report(".._...csv"));
}

// Format 0 is the workbook report alone: the design is loaded once, and no compressed table
// is made on the way. Workbook_Xlsx 1 names the same workbook ".xlsx".
TEST(ExporttoExcel, WorkbookFormatWritesTheWorkbookOnly) {
    std::string bytes[2];
    for (const int xlsx : {0, 1}) {
        Board board;
        board.request.compress = 1;
        board.request.settings.Excel_Start = 1;
        board.request.settings.Workbook_Xlsx = static_cast<std::int16_t>(xlsx);
        const std::string name = xlsx == 1 ? "amp.xlsx" : "amp.xls";
        EXPECT_EQ(board.run(FormatWorkbook), board.report(name));
        EXPECT_EQ(board.files(), (Files{"proj/", "proj/" + name, "proj/sch/"}));
        bytes[xlsx] = test::readFile(board.report(name));
    }
    EXPECT_EQ(bytes[0].substr(0, 2), "PK");
    EXPECT_EQ(bytes[1], bytes[0]);
}

TEST(ExporttoExcel, ShowsTheReportWithXdgOpen) {
    for (const auto& [format, report] :
         {std::pair{1, "amp_Board.txt"}, std::pair{2, "amp_Board.html"},
          std::pair{3, "amp_Board.csv"}}) {
        SCOPED_TRACE(report);
        test::ViewerRecorder viewer;
        Board board;
        board.request.showReport = true;
        board.request.choiceSuffix = "_Board";
        EXPECT_EQ(board.run(format), board.report(report));
        EXPECT_EQ(viewer.shown(1), Files{board.report(report)});
        EXPECT_EQ(board.files(), (Files{"proj/", std::string("proj/") + report, "proj/sch/"}));
    }
}

// Only the text report counts a viewer that does not start as a failure.
TEST(ExporttoExcel, MissingViewerFailsTheTextReportOnly) {
    Board board;
    board.request.showReport = true;
    test::TempDir emptyFolder;
    const char* path = std::getenv("PATH");
    const std::string oldPath = path != nullptr ? path : "/usr/bin:/bin";
    ::setenv("PATH", emptyFolder.path().c_str(), 1);
    expectError([&] { board.run(FormatText); }, errc::ViewerNotStarted,
                "The report was written to \"" + board.report("amp.txt") +
                    "\", but no viewer could be started to show it "
                    "(xdg-open was not found or failed)");
    EXPECT_EQ(board.run(FormatHtml), board.report("amp.html"));
    EXPECT_EQ(board.run(FormatCsv), board.report("amp.csv"));
    ::setenv("PATH", oldPath.c_str(), 1);
    EXPECT_EQ(board.files(),
              (Files{"proj/", "proj/amp.csv", "proj/amp.html", "proj/amp.txt", "proj/sch/"}));
}

TEST(ExporttoExcel, KeyNotAmongTheColumnsWritesNothing) {
    test::ViewerRecorder viewer;
    Board board;
    board.request.compress = 1;
    board.request.key = "Tolerance";
    board.request.showReport = true;
    expectError([&] { board.run(FormatHtml); }, errc::KeyNotInColumns,
                "Cannot compress the report by the key \"Tolerance\": no report column has "
                "that name");
    EXPECT_EQ(board.files(), (Files{"proj/", "proj/sch/"}));
    EXPECT_TRUE(viewer.shown(0).empty());
}

// A report the user may not write to is refused rather than replaced by the rename, and a
// folder that takes no new file is named; either way the old report stays and nothing is added.
TEST(ExporttoExcel, ReadOnlyReportOrFolderKeepsTheOldReport) {
    for (const bool readOnlyFolder : {false, true}) {
        SCOPED_TRACE(readOnlyFolder ? "read-only folder" : "read-only report");
        Board board;
        const std::string report = board.report("amp.txt");
        test::writeFile(report, "old report\r\n");
        fs::permissions(board.dir.path(), fs::perms::all);
        fs::permissions(board.dir.path() + "/proj",
                        readOnlyFolder
                            ? fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec
                            : fs::perms::all);
        fs::permissions(report, readOnlyFolder ? fs::perms::all
                                               : fs::perms::owner_read | fs::perms::others_read);
        const std::string expected =
            readOnlyFolder ? "Cannot create \"" + report + "\": the folder \"" + board.dir.path() +
                                 "/proj\" cannot be written to (Permission denied)"
                           : "Cannot write \"" + report + "\": Permission denied";
        EXPECT_EQ(test::runUnprivileged([&] {
                      try {
                          board.run(FormatText);
                      } catch (const Error& error) {
                          return error.number == errc::PermissionDenied &&
                                         error.description == expected
                                     ? 0
                                     : 2;
                      }
                      return 1;
                  }),
                  0);
        EXPECT_EQ(board.files(), (Files{"proj/", "proj/amp.txt", "proj/sch/"}));
        EXPECT_EQ(test::readFile(report), "old report\r\n");
    }
}

TEST(ExporttoExcel, FullDiskKeepsTheOldReportWhole) {
    Board board;
    test::writeFile(board.report("amp.txt"), "old report\r\n");
    {
        test::FileSizeLimit limit(100);
        expectError([&] { board.run(FormatText); }, errc::DiskFull,
                    "Cannot write \"" + board.report("amp.txt") + "\": File too large");
    }
    EXPECT_EQ(board.files(), (Files{"proj/", "proj/amp.txt", "proj/sch/"}));
    EXPECT_EQ(test::readFile(board.report("amp.txt")), "old report\r\n");
}

}  // namespace
}  // namespace vexlo::report
