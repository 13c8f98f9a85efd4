#include "operations/operations.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <set>
#include <sstream>

#include "cases.h"
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
    // For Load Choices a file that is there but cannot be read is no unknown name: its reason is
    // told.
    std::filesystem::create_directory(file);
    const ChoiceOutcome unreadable = loadChoice(session, "Board", project.base);
    EXPECT_EQ(unreadable.status.substr(0, 22), "Error 75: Cannot read ");
    EXPECT_EQ(unreadable.failure->number, 75);
}

// The preview is the report's table (preview.txt shows that it writes nothing); the attribute
// names, the columns no part carries and the saved selections' sections, as the window shows them.
TEST(Preview, IsTheReportsTable) {
    Project project;
    Session session(project.tool);
    const DesignRead read =
        readDesign(session, DesignLoad::Read, {}, {"Tol", "REFDES", "QTY", "Tol", "Part"});
    EXPECT_EQ(read.attributeNames, (Strings{"REFDES", "Value"}));
    EXPECT_EQ(read.status.substr(read.status.find(';')),
              "; no part carries \"Tol\", \"Part\": their columns are empty");
    EXPECT_EQ(formatName(2) + formatName(4) + formatName(-1), "HTML");  // the rest: preview.txt
    const auto board = saved::loadSelectionFromFile(session.dataFile(saved::selectionFileName),
                                                    "Board", saved::Reading::Strict);
    report::ReportRequest request = selectionRequest(*board, "Board", project.base);
    request.columns.push_back("Tol");
    for (const report::Format format : {report::Format::Workbook, report::Format::Csv}) {
        request.options.format = format;
        const Preview preview = previewReport(session, request);
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

// A line of operations.txt: the data file found (the project folder, the search list and the
// paths there are each before a "|"), how a failure is told, or what writing a report of the
// project spoilt so gives.
void operationsLine(const test::CaseLine& c) {
    if (c.verb == "locate") {
        const Strings parts = test::fields(c.argument, '|');
        const std::set<std::string> existing(parts.begin() + 2, parts.end());
        const auto exists = [&](const std::string& path) { return existing.contains(path); };
        EXPECT_EQ(locateDataFile(parts[0], "s.qzv", parts[1], exists), c.expected);
        return;
    }
    if (c.verb == "failure") {  // NUMBER MESSAGE
        const auto number = static_cast<errc::Number>(std::stoi(c.argument));
        EXPECT_EQ(failureMessage(Error(number, c.argument.substr(c.argument.find(' ') + 1))),
                  c.expected);
        return;
    }
    Project project;
    if (c.verb == "path") {
        project.tool.documentPath = c.argument;
    } else if (c.verb == "name") {
        project.tool.documentName = c.argument;
    } else if (c.verb == "noview") {
        project.tool.documentName.reset();
    } else if (c.verb == "vanish") {
        project.tool.vanishOnLoad = true;
    } else {
        EXPECT_EQ(c.verb, "format");
        project.base.options.format = report::Format{std::stoi(c.argument)};
    }
    // The failure is kept: told again without asking the tool again, and nothing written.
    Session session(project.tool);
    const std::string message = test::errorOf([&] { writeReport(session, project.base); });
    EXPECT_EQ(test::errorOf([&] { writeReport(session, project.base); }), message);
    EXPECT_EQ(std::to_string(project.tool.calls) + " " + message, c.expected);
    EXPECT_EQ(project.tool.loadCount, 0);
    EXPECT_EQ(test::listTree(project.folder.path()),
              (Strings{"sch/", "sch/amp.sch", "vexloattributes.qzv", "vexlosettings.qzv"}));
}
const bool operationsCases =
    (test::registerCases("Operations", "tests/operations/operations.txt",
                         test::caseSections("tests/operations/operations.txt", {}),
                         [](const test::CaseSection& section) {
                             for (const auto& c : section.lines) {
                                 SCOPED_TRACE("operations.txt:" + std::to_string(c.number));
                                 operationsLine(c);
                             }
                         }),
     true);

// The search list is QOSP's.
TEST(Locator, SearchesTheFoldersOfQOSP) {
    test::TempDir project, shared;
    test::writeFile(shared.file("a.qzv"), "");
    ::setenv("QOSP", shared.path().c_str(), 1);
    EXPECT_EQ(locateDataFile(project.path() + "/", "a.qzv"), shared.file("a.qzv"));
    ::unsetenv("QOSP");
}

}  // namespace
}  // namespace vexlo::operations
