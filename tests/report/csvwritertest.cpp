#include "report/csvwriter.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "design/faketool.h"
#include "testsupport.h"

namespace vexlo::report {
namespace {

TEST(CsvReport, CopiesLinesWithCrLf) {
    EXPECT_EQ(csvReport({"REFDES,Value", "\"R1, R2\",\"say \"\"hi\"\"\"", ""}),
              "REFDES,Value\r\n\"R1, R2\",\"say \"\"hi\"\"\"\r\n\r\n");
}

TEST(FillCSV2, NormalisesLineEndsAndDeletesTheTable) {
    test::TempDir dir;
    std::filesystem::create_directories(dir.path() + "/proj/sch");
    design::FakeTool tool;
    tool.documentName = "amp.1";
    tool.documentPath = dir.path() + "/proj/sch/";
    test::writeFile(dir.path() + "/proj/sch/temp.csv", "REFDES,QTY\n\"R1, R2\",2\r\nR3,1");
    ReportRequest request;
    request.showReport = false;
    EXPECT_EQ(FillCSV2(tool, request), dir.path() + "/proj/amp.csv");
    EXPECT_EQ(test::readFile(dir.path() + "/proj/amp.csv"),
              "REFDES,QTY\r\n\"R1, R2\",2\r\nR3,1\r\n");
    EXPECT_TRUE(std::filesystem::is_empty(dir.path() + "/proj/sch"));
}

}  // namespace
}  // namespace vexlo::report
