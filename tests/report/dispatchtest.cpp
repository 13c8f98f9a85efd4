#include "report/dispatch.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>

#include "common/error.h"
#include "design/faketool.h"
#include "report/compressformat.h"
#include "report/textwriter.h"
#include "testsupport.h"

namespace vexlo::report {
namespace {

namespace fs = std::filesystem;
using design::makeComponent;
using Files = std::vector<std::string>;

// A design open in the fake tool, its document in <temp>/proj/sch/, so that reports land in
// <temp>/proj/.
struct Board {
    Board() {
        fs::create_directories(dir.path() + "/proj/sch");
        tool.documentName = "amp.1";
        tool.documentPath = dir.path() + "/proj/sch/";
        request.columns = {"REFDES", "Value", "Description", "Footprint", "Qty", "QTY"};
        request.key = "Value";
        request.showReport = false;
        request.settings.Header_Font_Size = 10;
    }

    // Every file and folder under the temporary folder, folders ending in "/".
    Files files() const {
        Files names;
        for (const auto& entry : fs::recursive_directory_iterator(dir.path())) {
            const std::string relative = fs::relative(entry.path(), dir.path()).string();
            names.push_back(entry.is_directory() ? relative + "/" : relative);
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    std::string report(const std::string& name) const { return dir.path() + "/proj/" + name; }

    std::string run(int format) {
        request.settings.Export_File_Format = static_cast<std::int16_t>(format);
        return ExporttoExcel(tool, request);
    }

    test::TempDir dir;
    design::FakeTool tool;
    ReportRequest request;
};

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

struct GoldenCase {
    const char* golden;
    int format;
    int compress;
    int valueBold;
    int valueItalic;
    int fontSize;
};

class GoldenReport : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(GoldenReport, MatchesTheGoldenFile) {
    const GoldenCase& c = GetParam();
    Board board;
    board.tool.design->components = edgeComponents();
    board.request.compress = c.compress;
    board.request.settings.Value_Bold = static_cast<std::int16_t>(c.valueBold);
    board.request.settings.Value_Italic = static_cast<std::int16_t>(c.valueItalic);
    board.request.settings.Header_Font_Size = static_cast<std::int16_t>(c.fontSize);
    const std::string path = board.run(c.format);
    const std::string name = fs::path(path).filename().string();
    EXPECT_EQ(board.files(), (Files{"proj/", "proj/" + name, "proj/sch/"}));

    const std::string golden = std::string(VEXLO_REPORT_GOLDEN_DIR) + "/" + c.golden;
    // Run once with VEXLO_UPDATE_GOLDEN set to rewrite the files after a deliberate change.
    if (std::getenv("VEXLO_UPDATE_GOLDEN") != nullptr) {
        test::writeFile(golden, test::readFile(path));
        GTEST_SKIP() << "wrote " << golden;
    }
    EXPECT_EQ(test::readFile(path), test::readFile(golden)) << golden;
}

INSTANTIATE_TEST_SUITE_P(Formats, GoldenReport,
                         ::testing::Values(GoldenCase{"compressed.txt.golden", 1, 1, 0, 0, 10},
                                           GoldenCase{"listed.txt.golden", 1, 0, 0, 0, 10},
                                           GoldenCase{"compressed.html.golden", 2, 1, 1, 1, 12},
                                           GoldenCase{"listed.html.golden", 2, 0, 0, 0, 10},
                                           GoldenCase{"compressed.csv.golden", 3, 1, 0, 0, 10},
                                           GoldenCase{"listed.csv.golden", 3, 0, 0, 0, 10}),
                         [](const auto& info) {
                             std::string name = info.param.golden;
                             name = name.substr(0, name.find(".golden"));
                             std::replace(name.begin(), name.end(), '.', '_');
                             return name;
                         });

class NoWriter : public ::testing::TestWithParam<int> {};

TEST_P(NoWriter, WritesNothing) {
    test::ViewerRecorder viewer;
    Board board;
    board.tool.design->components = edgeComponents();
    board.request.showReport = true;
    EXPECT_EQ(board.run(GetParam()), "");
    EXPECT_EQ(board.files(), (Files{"proj/", "proj/sch/"}));
    EXPECT_EQ(board.tool.loadCount, 0);
    EXPECT_TRUE(viewer.shown(0).empty());
}

INSTANTIATE_TEST_SUITE_P(Formats, NoWriter, ::testing::Values(4, -1, 32767));

// Format 0 is the workbook report alone: the design is loaded once, and no compressed table
// is made on the way.
TEST(ExporttoExcel, WorkbookFormatWritesTheWorkbookOnly) {
    Board board;
    board.tool.design->components = edgeComponents();
    board.request.compress = 1;
    board.request.settings.Excel_Start = 1;
    EXPECT_EQ(board.run(FormatWorkbook), board.report("amp.xls"));
    EXPECT_EQ(board.files(), (Files{"proj/", "proj/amp.xls", "proj/sch/"}));
    EXPECT_EQ(board.tool.loadCount, 1);
    EXPECT_EQ(test::readFile(board.report("amp.xls")).substr(0, 2), "PK");
}

struct ShownCase {
    int format;
    const char* report;
};

class ShowsTheReport : public ::testing::TestWithParam<ShownCase> {};

TEST_P(ShowsTheReport, WithXdgOpen) {
    test::ViewerRecorder viewer;
    Board board;
    board.tool.design->components = edgeComponents();
    board.request.showReport = true;
    board.request.choiceSuffix = "_Board";
    EXPECT_EQ(board.run(GetParam().format), board.report(GetParam().report));
    EXPECT_EQ(viewer.shown(1), Files{board.report(GetParam().report)});
    EXPECT_EQ(board.files(),
              (Files{"proj/", std::string("proj/") + GetParam().report, "proj/sch/"}));
}

INSTANTIATE_TEST_SUITE_P(Formats, ShowsTheReport,
                         ::testing::Values(ShownCase{1, "amp_Board.txt"},
                                           ShownCase{2, "amp_Board.html"},
                                           ShownCase{3, "amp_Board.csv"}));

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

TEST(ExporttoExcel, TextReportTellsWhenNoViewerStarts) {
    Board board;
    board.tool.design->components = edgeComponents();
    board.request.showReport = true;
    NoViewerOnPath noViewer;
    try {
        board.run(FormatText);
        FAIL() << "no error";
    } catch (const Error& error) {
        EXPECT_EQ(error.number, errc::ViewerNotStarted);
        EXPECT_EQ(error.description, "The report was written to \"" + board.report("amp.txt") +
                                         "\", but no viewer could be started to show it "
                                         "(xdg-open was not found or failed)");
    }
    EXPECT_EQ(board.files(), (Files{"proj/", "proj/amp.txt", "proj/sch/"}));
}

TEST(ExporttoExcel, HtmlAndCsvReportsIgnoreAMissingViewer) {
    Board board;
    board.tool.design->components = edgeComponents();
    board.request.showReport = true;
    NoViewerOnPath noViewer;
    EXPECT_EQ(board.run(FormatHtml), board.report("amp.html"));
    EXPECT_EQ(board.run(FormatCsv), board.report("amp.csv"));
    EXPECT_EQ(board.files(), (Files{"proj/", "proj/amp.csv", "proj/amp.html", "proj/sch/"}));
}

TEST(ExporttoExcel, PathWithoutSeparatorPutsReportBesideTheFolder) {
    Board board;
    board.tool.design->components = edgeComponents();
    board.tool.documentPath = board.dir.path() + "/proj/sch";
    EXPECT_EQ(board.run(FormatCsv), board.dir.path() + "/projamp.csv");
    EXPECT_EQ(board.files(), (Files{"proj/", "proj/sch/", "projamp.csv"}));
}

TEST(ExporttoExcel, KeyNotAmongTheColumnsWritesNothing) {
    test::ViewerRecorder viewer;
    Board board;
    board.tool.design->components = edgeComponents();
    board.request.compress = 1;
    board.request.key = "Tolerance";
    board.request.showReport = true;
    try {
        board.run(FormatHtml);
        FAIL() << "no error";
    } catch (const Error& error) {
        EXPECT_EQ(error.number, errc::KeyNotInColumns);
        EXPECT_EQ(error.description,
                  "Cannot compress the report by the key \"Tolerance\": no report column has "
                  "that name");
    }
    EXPECT_EQ(board.files(), (Files{"proj/", "proj/sch/"}));
    EXPECT_TRUE(viewer.shown(0).empty());
}

struct BadNameCase {
    const char* documentName;
    const char* documentPath;
    int number;
};

class BadNames : public ::testing::TestWithParam<BadNameCase> {};

TEST_P(BadNames, FailBeforeAnyFileIsWritten) {
    Board board;
    board.tool.design->components = edgeComponents();
    board.tool.documentName = GetParam().documentName;
    board.tool.documentPath = GetParam().documentPath;
    try {
        board.run(FormatText);
        FAIL() << "no error";
    } catch (const Error& error) {
        EXPECT_EQ(error.number, GetParam().number);
    }
    EXPECT_EQ(board.files(), (Files{"proj/", "proj/sch/"}));
    EXPECT_EQ(board.tool.loadCount, 0);
}

INSTANTIATE_TEST_SUITE_P(Names, BadNames,
                         ::testing::Values(BadNameCase{"amp.1", "sch", errc::BadDocumentPath},
                                           BadNameCase{"amp.1", "", errc::BadDocumentPath},
                                           BadNameCase{"a", "sch/", errc::BadDesignName}));

TEST(ExporttoExcel, UnwritableOutputFolderKeepsTheOldReport) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "permissions do not stop root";
    }
    Board board;
    board.tool.design->components = edgeComponents();
    test::writeFile(board.report("amp.txt"), "old report\r\n");
    fs::permissions(board.dir.path() + "/proj", fs::perms::owner_read | fs::perms::owner_exec);
    try {
        board.run(FormatText);
        FAIL() << "no error";
    } catch (const Error& error) {
        EXPECT_EQ(error.number, errc::PermissionDenied);
    }
    fs::permissions(board.dir.path() + "/proj", fs::perms::owner_all);
    EXPECT_EQ(board.files(), (Files{"proj/", "proj/amp.txt", "proj/sch/"}));
    EXPECT_EQ(test::readFile(board.report("amp.txt")), "old report\r\n");
}

TEST(ExporttoExcel, FolderInTheReportsPlaceFails) {
    Board board;
    board.tool.design->components = edgeComponents();
    fs::create_directories(board.report("amp.csv") + "/inside");
    EXPECT_THROW(board.run(FormatCsv), Error);
    EXPECT_EQ(board.files(),
              (Files{"proj/", "proj/amp.csv/", "proj/amp.csv/inside/", "proj/sch/"}));
}

using test::FileSizeLimit;

TEST(FillNotepad2, FullDiskKeepsTheOldReportWhole) {
    Board board;
    board.tool.design->components = edgeComponents();
    test::writeFile(board.report("amp.txt"), "old report\r\n");
    CompressFormat(board.tool, board.request);
    {
        FileSizeLimit limit(100);
        try {
            FillNotepad2(board.tool, board.request);
            FAIL() << "no error";
        } catch (const Error& error) {
            EXPECT_EQ(error.number, errc::DiskFull);
            EXPECT_EQ(error.description,
                      "Cannot write \"" + board.report("amp.txt") + "\": File too large");
        }
    }
    EXPECT_EQ(board.files(), (Files{"proj/", "proj/amp.txt", "proj/sch/"}));
    EXPECT_EQ(test::readFile(board.report("amp.txt")), "old report\r\n");
}

}  // namespace
}  // namespace vexlo::report
