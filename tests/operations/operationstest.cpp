#include "operations/operations.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "fakeproject.h"

namespace vexlo::operations {
namespace {

using Files = std::vector<std::string>;

// A board of three resistors, two of them alike, in a fresh project with two saved selections.
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
            "** Board\r\nREFDES\r\nValue\r\nQTY\r\n==Value\r\n** Bad\r\nValue\r\n==Tol\r\n"
            "** Plain\r\nValue\r\n");
        base.showReport = false;
        base.settings.Export_File_Format = report::FormatCsv;
    }

    test::TempDir folder;
    design::FakeTool tool;
    report::ReportRequest base;
};

// A report asks the tool for the document name, the document path and the flattened design;
// a data file adds the project folder. Nothing is asked twice in one session.
TEST(Session, OneReportAsksTheToolAtMostFourTimes) {
    Project project;
    Session session(project.tool);
    const auto selection = loadChoice(session, "Board");
    ASSERT_TRUE(selection);
    const report::WrittenReport written =
        writeReport(session, selectionRequest(*selection, "Board", project.base));
    EXPECT_EQ(written.path, project.folder.file("amp_Board.csv"));
    EXPECT_EQ(written.rows, 2u);
    EXPECT_EQ(test::readFile(written.path), "REFDES,Value,QTY\r\n\"R1, R2\",10k,2\r\nR3,1k,1\r\n");
    EXPECT_EQ(project.tool.calls, 4);
    EXPECT_EQ(project.tool.loadCount, 1);
}

TEST(Session, FormatWithoutWriterFetchesNothing) {
    Project project;
    Session session(project.tool);
    project.base.settings.Export_File_Format = 4;
    EXPECT_THROW(writeReport(session, project.base), Error);
    EXPECT_EQ(project.tool.calls, 0);
}

TEST(Session, AFailedFetchIsNotAskedAgain) {
    Project project;
    project.tool.documentPath = "sch";
    Session session(project.tool);
    for (int attempt = 0; attempt < 2; ++attempt) {
        EXPECT_THROW(writeReport(session, project.base), Error);
    }
    EXPECT_EQ(project.tool.calls, 2);
    EXPECT_EQ(project.tool.loadCount, 0);
}

// Every selection is reported, the failed one told and the others written; the design is
// fetched once for the whole batch.
TEST(ReportAll, FetchesTheDesignOnceAndGoesOnAfterAFailure) {
    Project project;
    Session session(project.tool);
    std::vector<BatchEntry> entries;
    std::vector<std::vector<std::string>> shown;
    reportAll(session, {"Board", "Bad", "Plain"}, project.base, [&](const BatchEntry& entry) {
        entries.push_back(entry);
        shown.push_back(entry.selection->columns);
    });
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].report.path, project.folder.file("amp_Board.csv"));
    EXPECT_EQ(entries[2].report.path, project.folder.file("amp_Plain.csv"));
    EXPECT_EQ(entries[2].report.rows, 3u);
    EXPECT_EQ(test::readFile(entries[2].report.path), "Value\r\n10k\r\n10k\r\n1k\r\n");
    EXPECT_EQ(shown, (std::vector<std::vector<std::string>>{
                         {"REFDES", "Value", "QTY"}, {"Value"}, {"Value"}}));
    EXPECT_EQ(project.tool.loadCount, 1);
    EXPECT_EQ(project.tool.calls, 4);
    std::vector<BatchEntry> failed;
    for (const auto& entry : entries) {
        if (entry.failure) {
            failed.push_back(entry);
        }
    }
    EXPECT_EQ(batchFailureMessage(failed),
              "Some reports were not written:\nBad: Error 1004: Cannot compress the report by the "
              "key \"Tol\": no report column has that name");
    EXPECT_EQ(batchFailureMessage({}), "");
}

TEST(ReportAll, AnUnreadableSelectionFileStopsTheBatch) {
    Project project;
    std::filesystem::remove(project.folder.file("vexloattributes.qzv"));
    Session session(project.tool);
    int reported = 0;
    try {
        reportAll(session, {"Board"}, project.base, [&](const BatchEntry&) { ++reported; });
        ADD_FAILURE() << "no error";
    } catch (const Error& error) {
        EXPECT_EQ(errorMessage(error), "Error 53: Cannot read the saved selections from \"" +
                                           project.folder.file("vexloattributes.qzv") + "\"");
    }
    EXPECT_EQ(reported, 0);
}

TEST(ColumnList, CompressAppendsQty) {
    EXPECT_EQ(columnList({"A", "B"}, false), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(columnList({"A", "B"}, true), (std::vector<std::string>{"A", "B", "QTY"}));
}

}  // namespace
}  // namespace vexlo::operations
