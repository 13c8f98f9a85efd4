#include "report/csvline.h"

#include <gtest/gtest.h>

namespace vexlo::report {
namespace {

struct QuoteCase {
    const char* text;
    const char* expected;
};

class CsvFieldQuoting : public ::testing::TestWithParam<QuoteCase> {};

TEST_P(CsvFieldQuoting, QuotesOnlyWhatNeedsIt) {
    std::string line = "x,";
    appendCsvField(line, GetParam().text);
    EXPECT_EQ(line, std::string("x,") + GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, CsvFieldQuoting,
    ::testing::Values(QuoteCase{"", ""}, QuoteCase{"R1", "R1"}, QuoteCase{"R1, R2", "\"R1, R2\""},
                      QuoteCase{"say \"hi\"", "\"say \"\"hi\"\"\""}, QuoteCase{"\"", "\"\"\"\""},
                      QuoteCase{"a\rb", "\"a\rb\""}, QuoteCase{"a\nb", "\"a\nb\""},
                      QuoteCase{" lead; <tag> & 'x' ", " lead; <tag> & 'x' "},
                      QuoteCase{"007", "007"}, QuoteCase{"\xc2\xb5H", "\xc2\xb5H"}));

struct SplitCase {
    const char* line;
    std::vector<std::string> expected;
};

class CsvFieldSplitting : public ::testing::TestWithParam<SplitCase> {};

TEST_P(CsvFieldSplitting, SplitsAsTheWritersRead) {
    EXPECT_EQ(splitCsvFields(GetParam().line), GetParam().expected) << GetParam().line;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, CsvFieldSplitting,
    ::testing::Values(SplitCase{"", {""}}, SplitCase{"a", {"a"}},
                      SplitCase{"a,b,c", {"a", "b", "c"}}, SplitCase{"a,,c", {"a", "", "c"}},
                      SplitCase{"a,b,", {"a", "b", ""}}, SplitCase{",", {"", ""}},
                      SplitCase{"\"R1, R2\",10k", {"R1, R2", "10k"}},
                      SplitCase{"10k,\"R1, R2\"", {"10k", "R1, R2"}},
                      SplitCase{"10k,\"R1, R2\",", {"10k", "R1, R2", ""}},
                      SplitCase{"\"say \"\"hi\"\"\",x", {"say \"hi\"", "x"}},
                      SplitCase{"\"\"\"\"", {"\""}}, SplitCase{"\"\",x", {"", "x"}},
                      SplitCase{"a,\"unclosed, to the end", {"a", "unclosed, to the end"}},
                      SplitCase{"\"ab\"c,d", {"ab", "", "d"}}, SplitCase{"a\"b,c", {"a\"b", "c"}}));

}  // namespace
}  // namespace vexlo::report
