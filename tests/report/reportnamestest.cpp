#include "report/reportnames.h"

#include <gtest/gtest.h>

#include "common/error.h"
#include "design/faketool.h"

namespace vexlo::report {
namespace {

struct NamesCase {
    const char* title;
    const char* documentName;
    const char* documentPath;
    const char* choiceSuffix;
    const char* intermediateFile;
    const char* tableFile;
    const char* textReport;
};

class ReportFileNames : public ::testing::TestWithParam<NamesCase> {};

TEST_P(ReportFileNames, AreBuiltByConcatenation) {
    const NamesCase& c = GetParam();
    design::FakeTool tool;
    tool.documentName = c.documentName;
    tool.documentPath = c.documentPath;
    const ReportNames names = reportNames(tool, c.choiceSuffix);
    EXPECT_EQ(names.intermediateFile(), c.intermediateFile);
    EXPECT_EQ(names.tableFile(), c.tableFile);
    EXPECT_EQ(names.reportFile(".txt"), c.textReport);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, ReportFileNames,
    ::testing::Values(
        NamesCase{"TrailingSeparator", "amp.1", "/jobs/amp/sch/", "", "/jobs/amp/sch//attr2xl.tmp",
                  "/jobs/amp/sch/temp.csv", "/jobs/amp/amp.txt"},
        NamesCase{"SavedSelection", "amp.1", "/jobs/amp/sch/", "_Short",
                  "/jobs/amp/sch//attr2xl.tmp", "/jobs/amp/sch/temp.csv",
                  "/jobs/amp/amp_Short.txt"},
        NamesCase{"NoTrailingSeparator", "amp.1", "/jobs/amp/sch", "", "/jobs/amp/sch/attr2xl.tmp",
                  "/jobs/amp/schtemp.csv", "/jobs/ampamp.txt"},
        NamesCase{"ShortestPath", "ab", "abcd", "", "abcd/attr2xl.tmp", "abcdtemp.csv", ".txt"},
        NamesCase{"NonAsciiFolder", "k\xc3\xa4.1", "/j/s\xc3\xa9h/", "_\xc2\xb5",
                  "/j/s\xc3\xa9h//attr2xl.tmp", "/j/s\xc3\xa9h/temp.csv",
                  "/j/k\xc3\xa4_\xc2\xb5.txt"}),
    [](const auto& info) { return info.param.title; });

TEST(ReportFileNames, TooShortDocumentPathFails) {
    design::FakeTool tool;
    tool.documentPath = "ab/";
    try {
        reportNames(tool, "");
        FAIL() << "no error";
    } catch (const Error& error) {
        EXPECT_EQ(error.number, errc::BadDocumentPath);
        EXPECT_EQ(error.description,
                  "The document path \"ab/\" is too short to give an output folder (it needs at "
                  "least four characters)");
    }
}

}  // namespace
}  // namespace vexlo::report
