#include "report/textwriter.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "common/error.h"
#include "design/faketool.h"
#include "testsupport.h"

namespace vexlo::report {
namespace {

using test::crlf;

struct TextCase {
    const char* title;
    std::vector<std::string> table;
    std::vector<std::string> expected;
};

class TextReport : public ::testing::TestWithParam<TextCase> {};

TEST_P(TextReport, PadsEveryFieldToItsColumn) {
    EXPECT_EQ(textReport(GetParam().table), crlf(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Tables, TextReport,
    ::testing::Values(
        TextCase{"HeaderPaddedLikeRows",
                 {"REFDES,Value,QTY", "R1,10k,1"},
                 {"REFDES     Value     QTY     ", "R1         10k       1       "}},
        TextCase{"QuotedListIsOneField",
                 {"REFDES,QTY", "\"R1, R2\",2"},
                 {"REFDES     QTY     ", "R1, R2     2       "}},
        TextCase{"EmptyFieldsAndTrailingComma",
                 {"A,B,C", ",x,", "a,,"},
                 {"A     B     C     ", "      x           ", "a                 "}},
        TextCase{
            "WidthsCountCharacters",
            {"Value,Note", "10\xce\xa9,\xc2\xb5H", "1k,x"},
            {"Value     Note     ", "10\xce\xa9       \xc2\xb5H       ", "1k        x        "}},
        TextCase{"ShorterLineIsShorter", {"a,b,c", "d"}, {"a     b     c     ", "d     "}},
        TextCase{
            "MoreColumnsThanLines", {"a,bb,ccc,dddd,e"}, {"a     bb     ccc     dddd     e     "}},
        TextCase{"DoubledQuotesShowOnce",
                 {"Note", "\"say \"\"hi\"\"\""},
                 {"Note         ", "say \"hi\"     "}},
        TextCase{"EmptyTable", {}, {}}),
    [](const auto& info) { return info.param.title; });

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
