#include "operations/operations.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <set>

#include "fakeproject.h"
#include "operations/locator.h"

namespace vexlo::operations {
namespace {

using Strings = std::vector<std::string>;

// Three resistors, two alike, in a fresh project with saved selections and settings.
struct Project {
    Project() {
        test::serveProjectIn(tool, folder, "amp");
        tool.design->components = {
            design::makeComponent("R1", {{"REFDES", "R1"}, {"Value", "10k"}}),
            design::makeComponent("R2", {{"REFDES", "R2"}, {"Value", "10k"}}),
            design::makeComponent("R3", {{"REFDES", "R3"}, {"Value", "1k"}}),
        };
        test::writeFile(
            folder.file("vexloattributes.qzv"),
            "** Board\r\nREFDES\r\nValue\r\nQTY\r\n==Value\r\n** Bad\r\nValue\r\nQTY\r\n==Tol\r\n"
            "** Plain\r\nValue\r\n** Worse\r\nREFDES\r\nQTY\r\n==Part\r\n");
        test::writeFile(folder.file("vexlosettings.qzv"),
                        "Export_File_Format=3\r\nValue_Bold=1\r\n");
        base.columns = {"Value"};
        base.showReport = false;
        base.options.format = report::Format::Csv;
    }

    test::TempDir folder;
    design::FakeTool tool;
    report::ReportRequest base;
};

// The project folder, the document name, the document path and one flatten: each asked once,
// however many data files and reports the session serves. Only the first fetch is timed.
TEST(Session, AsksTheToolOnceForEachThing) {
    Project project;
    Session session(project.tool);
    settings::Settings fields;
    loadSettings(session, fields);
    EXPECT_EQ(fields.Value_Bold, 1);
    const std::string file = session.dataFile(saved::selectionFileName);
    EXPECT_EQ(saved::readSelectionNames(file), (Strings{"Board", "Bad", "Plain", "Worse"}));
    const auto selection = saved::loadSelectionFromFile(file, "Board", saved::Reading::Strict);
    ASSERT_EQ(selection->sections, 1);
    EXPECT_EQ(project.tool.calls, 1);
    EXPECT_EQ(session.fetchSeconds(), 0);

    report::ReportTimings first, second;
    report::ReportRequest request = selectionRequest(*selection, "Board", project.base);
    request.timings = &first;
    const report::WrittenReport written = writeReport(session, request);
    EXPECT_EQ(written.path, project.folder.file("amp_Board.csv"));
    EXPECT_EQ(written.rows, 2u);
    EXPECT_EQ(test::readFile(written.path), "REFDES,Value,QTY\r\n\"R1, R2\",10k,2\r\nR3,1k,1\r\n");
    request.timings = &second;
    writeReport(session, request);
    EXPECT_NE(session.design(), nullptr);
    EXPECT_EQ(project.tool.calls, 4);
    EXPECT_EQ(project.tool.loadCount, 1);
    EXPECT_GT(session.fetchSeconds(), 0);
    EXPECT_EQ(first.fetchSeconds, session.fetchSeconds());
    EXPECT_EQ(second.fetchSeconds, 0);
    for (const report::ReportTimings& timings : {first, second}) {
        EXPECT_GT(timings.tableSeconds, 0);
        EXPECT_GT(timings.writeSeconds, 0);
    }
}

// A failed fetch fails again with the same error without asking the tool again; a format
// without a writer fails before anything is asked. Nothing is written.
TEST(Session, FailuresAreKeptAndNotAskedAgain) {
    const std::vector<std::tuple<std::function<void(Project&)>, int, std::string>> cases = {
        {[](Project& p) { p.tool.documentPath = "/sh/"; }, 2,
         "Error 1003: The document path \"/sh/\" is too short to give an output folder (it needs "
         "at least five characters)"},
        {[](Project& p) { p.tool.documentPath = "/s/"; }, 2,
         "Error 1003: The document path \"/s/\" is too short to give an output folder (it needs "
         "at least five characters)"},
        {[](Project& p) { p.tool.documentPath = "amp/sch/"; }, 2,
         "Error 1003: The document path \"amp/sch/\" is not an absolute folder ending with "
         "\"/\": the schematic tool must name the document's folder in full"},
        {[](Project& p) { p.tool.documentPath = "/srv/amp/sch"; }, 2,
         "Error 1003: The document path \"/srv/amp/sch\" is not an absolute folder ending with "
         "\"/\": the schematic tool must name the document's folder in full"},
        {[](Project& p) { p.tool.documentName = "a"; }, 1,
         "Error 1002: The document name \"a\" is too short to give a design name (it needs at "
         "least two characters)"},
        {[](Project& p) { p.tool.documentName.reset(); }, 1,
         "Error 1001: The schematic tool has no active view"},
        {[](Project& p) { p.tool.vanishOnLoad = true; }, 3,
         "Error 429: The schematic tool is not running (it closed before answering "
         "LoadGroupFlatten)"},
        {[](Project& p) { p.base.options.format = report::Format{7}; }, 0,
         "Error 1012: The output format 7 has no report writer (0 Excel, 1 Text, 2 HTML, 3 CSV); "
         "choose one under Options, Output Format"}};
    for (const auto& [spoil, calls, message] : cases) {
        SCOPED_TRACE(message);
        Project project;
        spoil(project);
        Session session(project.tool);
        for (int attempt = 0; attempt < 2; ++attempt) {
            EXPECT_EQ(test::errorOf([&] { writeReport(session, project.base); }), message);
        }
        EXPECT_EQ(project.tool.calls, calls);
        EXPECT_EQ(project.tool.loadCount, 0);
        EXPECT_EQ(test::listTree(project.folder.path()),
                  (Strings{"sch/", "sch/amp.sch", "vexloattributes.qzv", "vexlosettings.qzv"}));
    }
}

// Every selection is reported, loaded anew from the file; failures are told and the others
// written; the design is fetched once for the batch. A file that cannot be read stops it. The
// entries kept own their selections.
TEST(ReportAll, FetchesTheDesignOnceAndGoesOnAfterFailures) {
    Project project;
    Session session(project.tool);
    ASSERT_NE(session.design(), nullptr);  // the design name is not asked again for the reports
    const BatchOutcome outcome =
        loadAll(session, {"Board", "Bad", "Plain", "Worse", "Board"}, project.base);
    std::vector<BatchEntry> failed;
    Strings reports;
    for (const BatchEntry& entry : outcome.entries) {
        reports.push_back(entry.name + ": " + entry.selection->columns.front() + " " +
                          entry.report.path + " " + std::to_string(entry.report.rows));
        if (entry.failure) {
            failed.push_back(entry);
        }
    }
    const std::string path = project.folder.path();
    EXPECT_EQ(outcome.status, "Load All: 3 reports written, 2 failed");
    EXPECT_EQ(outcome.messages,
              (std::vector<Message>{{Message::Kind::Critical, batchFailureMessage(failed)}}));
    EXPECT_EQ(reports, (Strings{"Board: REFDES " + path + "/amp_Board.csv 2", "Bad: Value  0",
                                "Plain: Value " + path + "/amp_Plain.csv 3", "Worse: REFDES  0",
                                "Board: REFDES " + path + "/amp_Board.csv 2"}));
    EXPECT_EQ(test::readFile(path + "/amp_Plain.csv"), "Value\r\n10k\r\n10k\r\n1k\r\n");
    EXPECT_EQ(project.tool.loadCount, 1);
    EXPECT_EQ(project.tool.calls, 4);
    EXPECT_EQ(batchFailureMessage(failed),
              "Mend what is said below of each saved selection, then run Load All again; the other "
              "reports were written.\n\nSome reports were not written:\nBad: Error 1004: Cannot "
              "compress the report by the "
              "key \"Tol\": no report column has that name\nWorse: Error 1004: Cannot compress "
              "the report by the key \"Part\": no report column has that name");
    EXPECT_EQ(batchFailureMessage({}), "");

    // A selection removed from the file once the batch has begun fails by its turn, with no
    // report of no columns written for it.
    std::vector<std::string> told;
    reportAll(session, {"Plain", "Bad", "Plain"}, project.base, [&](const BatchEntry& entry) {
        told.push_back(entry.name + (!entry.selection ? " (gone)" : "") + ": " +
                       (entry.failure ? errorMessage(*entry.failure) : entry.report.path));
        saved::deleteSelectionFromFile(path + "/vexloattributes.qzv", "Plain");
    });
    EXPECT_EQ(told, (Strings{"Plain: " + path + "/amp_Plain.csv",
                             "Bad: Error 1004: Cannot compress the report by the key \"Tol\": no "
                             "report column has that name",
                             "Plain (gone): Error 1013: no saved selection named Plain"}));

    // Without the file the batch stops before any report.
    std::filesystem::remove(path + "/vexloattributes.qzv");
    EXPECT_EQ(
        test::errorOf([&] { reportAll(session, {"Board"}, project.base, [&](auto&) { FAIL(); }); }),
        "Error 53: Cannot read the saved selections from \"" + path + "/vexloattributes.qzv\"");
    const std::string file = path + "/vexloattributes.qzv";
    EXPECT_FALSE(saved::readSelectionNames(file));
    EXPECT_THROW(saved::readSelectionNames(file, saved::Reading::Strict), Error);
    EXPECT_THROW(saved::loadSelectionFromFile(file, "Board", saved::Reading::Strict), Error);
    // Load Choices takes a missing file as one without the name; one that is there but cannot
    // be read is no unknown name: its reason is told.
    const ChoiceOutcome unknown = loadChoice(session, "Board", project.base);
    EXPECT_EQ(unknown.status, "There is no saved selection named Board.");
    EXPECT_EQ(unknown.messages, (std::vector<Message>{{Message::Kind::Warning, unknown.status}}));
    EXPECT_FALSE(unknown.selection);
    std::filesystem::create_directory(file);
    const ChoiceOutcome unreadable = loadChoice(session, "Board", project.base);
    EXPECT_EQ(unreadable.status.substr(0, 22), "Error 75: Cannot read ");
    EXPECT_EQ(unreadable.failure->number, 75);
}

// Failures are told by what to do first, the number last.
TEST(Requests, FailuresAreToldByWhatToDoFirst) {
    EXPECT_EQ(failureMessage(Error(errc::BadStartRow, "Row 0")),
              "Set the start row under Options to 1 or more.\n\nRow 0\n\n(Error 1007)");
    EXPECT_EQ(adviceFor(Error(errc::ToolCallAbandoned, "")).substr(0, 10), "Try again;");
}

// The preview is the report's table with nothing written; the attribute names, the columns no
// part carries and the saved selections' sections, as the window shows them.
TEST(Preview, IsTheReportsTableAndWritesNothing) {
    Project project;
    Session session(project.tool);
    const DesignRead read =
        readDesign(session, DesignLoad::Read, {}, {"Tol", "REFDES", "QTY", "Tol", "Part"});
    EXPECT_EQ(read.attributeNames, (Strings{"REFDES", "Value"}));
    EXPECT_EQ(read.status.substr(read.status.find(';')),
              "; no part carries \"Tol\", \"Part\": their columns are empty");
    EXPECT_EQ(formatName(0) + formatName(1) + formatName(2) + formatName(3) + formatName(4) +
                  formatName(-1),
              "ExcelTextHTMLCSV");
    const auto board = saved::loadSelectionFromFile(session.dataFile(saved::selectionFileName),
                                                    "Board", saved::Reading::Strict);
    report::ReportRequest request = selectionRequest(*board, "Board", project.base);
    request.columns.push_back("Tol");
    for (const report::Format format : {report::Format::Workbook, report::Format::Csv}) {
        request.options.format = format;
        const auto files = project.folder.listing();
        const Preview preview = previewReport(session, request);
        EXPECT_EQ(project.folder.listing(), files);
        EXPECT_EQ(
            preview.path,
            project.folder.file(format == report::Format::Csv ? "amp_Board.csv" : "amp_Board.xls"));
        EXPECT_EQ(preview.emptyColumns, Strings{"Tol"});
        EXPECT_EQ(preview.design, session.design());
        std::string cells;
        for (std::size_t row = 0; row < preview.table.rowCount(); ++row) {
            for (const auto cell : preview.table.row(row)) {
                cells += std::string(cell) + ";";
            }
        }
        // Merged for the workbook as its sheet merges, as for every other format.
        EXPECT_EQ(cells, "R1, R2;10k;2;;R3;1k;1;;");
        // The preview writes the report Create Report writes, byte for byte.
        EXPECT_EQ(writePreview(preview).rows, preview.table.rowCount());
        const std::string previewed = test::readFile(preview.path);
        EXPECT_EQ(writeReport(session, request).rows, preview.table.rowCount());
        EXPECT_EQ(test::readFile(preview.path), previewed);
    }
    request.options.format = report::Format{9};
    EXPECT_THROW(previewReport(session, request), Error);
}

// The project folder first, then the search list's folders in order, split at every ":" with
// nothing trimmed and an empty entry the root; else the project. The path looked up in the
// project folder is the one returned.
TEST(Locator, FindsTheDataFile) {
    const std::vector<std::tuple<std::string, std::set<std::string>, std::string>> cases = {
        {"", {}, "/proj/s.qzv"},
        {"/a:/b", {"/proj/s.qzv", "/b/s.qzv"}, "/proj/s.qzv"},
        {"/a:/b", {"/proj//s.qzv", "/b/s.qzv"}, "/b/s.qzv"},
        {"/a:/b", {"/b/s.qzv"}, "/b/s.qzv"},
        {"/a:/b:/c", {"/b/s.qzv", "/c/s.qzv"}, "/b/s.qzv"},
        {"/a:/b", {"/proj/s.qzv"}, "/proj/s.qzv"},
        {"/a::/c", {"/s.qzv", "/c/s.qzv"}, "/s.qzv"},
        {"/a:", {"/s.qzv"}, "/s.qzv"},
        {" /b", {"/b/s.qzv", " /b/s.qzv"}, " /b/s.qzv"}};
    for (const auto& [searchList, existing, expected] : cases) {
        SCOPED_TRACE(searchList);
        const auto exists = [&](const std::string& path) { return existing.count(path) != 0; };
        EXPECT_EQ(locateDataFile("/proj/", "s.qzv", searchList, exists), expected);
    }
    // A project folder without its "/": looked up and returned as one path, not "/projs.qzv".
    const auto onlyProject = [](const std::string& path) { return path == "/proj/s.qzv"; };
    EXPECT_EQ(locateDataFile("/proj", "s.qzv", "", onlyProject), "/proj/s.qzv");
    EXPECT_EQ(locateDataFile("/proj", "s.qzv", "/b", onlyProject), "/proj/s.qzv");
    EXPECT_EQ(locateDataFile("/proj", "s.qzv", "/b", [](const std::string&) { return false; }),
              "/proj/s.qzv");
    test::TempDir project, shared;
    test::writeFile(shared.file("a.qzv"), "");
    ::setenv("QOSP", shared.path().c_str(), 1);
    EXPECT_EQ(locateDataFile(project.path() + "/", "a.qzv"), shared.file("a.qzv"));
    ::unsetenv("QOSP");
}

}  // namespace
}  // namespace vexlo::operations
