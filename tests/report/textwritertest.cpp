#include "report/textwriter.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "common/error.h"
#include "design/faketool.h"
#include "testsupport.h"

namespace vexlo::report {
namespace {

using Lines = std::vector<std::string>;

TEST(TextReport, PadsEveryFieldToItsColumn) {
    const std::vector<std::pair<Lines, Lines>> cases = {
        {{"REFDES,Value,QTY", "R1,10k,1"},
         {"REFDES     Value     QTY     ", "R1         10k       1       "}},
        {{"REFDES,QTY", "\"R1, R2\",2"}, {"REFDES     QTY     ", "R1, R2     2       "}},
        {{"A,B,C", ",x,", "a,,"},
         {"A     B     C     ", "      x           ", "a                 "}},
        // Widths count characters, not bytes.
        {{"Value,Note", "10\xce\xa9,\xc2\xb5H", "1k,x"},
         {"Value     Note     ", "10\xce\xa9       \xc2\xb5H       ", "1k        x        "}},
        {{"a,b,c", "d"}, {"a     b     c     ", "d     "}},
        {{"a,bb,ccc,dddd,e"}, {"a     bb     ccc     dddd     e     "}},
        {{"Note", "\"say \"\"hi\"\"\""}, {"Note         ", "say \"hi\"     "}},
        {{}, {}}};
    for (const auto& [table, expected] : cases) {
        SCOPED_TRACE(::testing::PrintToString(table));
        EXPECT_EQ(textReport(table), test::crlf(expected));
    }
}

TEST(FillNotepad2, MissingTableFails) {
    test::TempDir dir;
    std::filesystem::create_directories(dir.path() + "/proj/sch");
    design::FakeTool tool;
    tool.documentPath = dir.path() + "/proj/sch/";
    ReportRequest request;
    request.showReport = false;
    try {
        FillNotepad2(tool, request);
        FAIL() << "no error";
    } catch (const Error& error) {
        EXPECT_EQ(error.number, errc::FileNotFound);
        EXPECT_EQ(error.description, "Cannot open \"" + dir.path() +
                                         "/proj/sch/temp.csv\": No such file or directory");
    }
    EXPECT_EQ(dir.listing(), std::vector<std::string>{"proj"});
    EXPECT_TRUE(std::filesystem::is_empty(dir.path() + "/proj/sch"));
}

}  // namespace
}  // namespace vexlo::report
