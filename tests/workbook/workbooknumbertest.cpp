#include <gtest/gtest.h>

#include <string>

#include "workbook/cellnumber.h"
#include "workbook/workbook.h"

namespace vexlo::workbook {
namespace {

struct CanonicalCase {
    const char* text;
    bool canonical;
    double value;
};

class CanonicalNumberTest : public ::testing::TestWithParam<CanonicalCase> {};

TEST_P(CanonicalNumberTest, WritesANumberOnlyForTheShortestDecimalForm) {
    const CanonicalCase& sample = GetParam();
    double value = -12345;
    EXPECT_EQ(isCanonicalNumber(sample.text, value), sample.canonical) << sample.text;
    if (sample.canonical) {
        EXPECT_EQ(value, sample.value) << sample.text;
        EXPECT_EQ(formatNumber(value), sample.text);
    } else {
        EXPECT_EQ(value, -12345) << "value changed for " << sample.text;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, CanonicalNumberTest,
    ::testing::Values(CanonicalCase{"10", true, 10}, CanonicalCase{"-2.5", true, -2.5},
                      CanonicalCase{"0.1", true, 0.1}, CanonicalCase{"0", true, 0},
                      CanonicalCase{"-0.5", true, -0.5}, CanonicalCase{"7", true, 7},
                      CanonicalCase{"123456789012345", true, 123456789012345.0},
                      CanonicalCase{"-123456789012345", true, -123456789012345.0},
                      CanonicalCase{"1234567890123.45", true, 1234567890123.45},
                      CanonicalCase{"0.000001", true, 0.000001},
                      CanonicalCase{"100000000000000", true, 1e14}, CanonicalCase{"007", false, 0},
                      CanonicalCase{"00", false, 0}, CanonicalCase{"1.50", false, 0},
                      CanonicalCase{"1.0", false, 0}, CanonicalCase{"0.0", false, 0},
                      CanonicalCase{"1e3", false, 0}, CanonicalCase{"1E3", false, 0},
                      CanonicalCase{"+1", false, 0}, CanonicalCase{".5", false, 0},
                      CanonicalCase{"-.5", false, 0}, CanonicalCase{"1.", false, 0},
                      CanonicalCase{"-0", false, 0}, CanonicalCase{"-0.0", false, 0},
                      CanonicalCase{"", false, 0}, CanonicalCase{"-", false, 0},
                      CanonicalCase{" 1", false, 0}, CanonicalCase{"1 ", false, 0},
                      CanonicalCase{"1,5", false, 0}, CanonicalCase{"0x10", false, 0},
                      CanonicalCase{"12a", false, 0}, CanonicalCase{"inf", false, 0},
                      CanonicalCase{"nan", false, 0}, CanonicalCase{"1234567890123456", false, 0},
                      CanonicalCase{"1234567890123.456", false, 0},
                      CanonicalCase{"100000000000000000000", false, 0},
                      CanonicalCase{"0.1234567890123456", false, 0},
                      CanonicalCase{"\xd9\xa1\xd9\xa2", false, 0}));

struct FormatCase {
    double value;
    const char* text;
};

class FormatNumberTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatNumberTest, GivesTheShortestTextThatReadsBack) {
    EXPECT_EQ(formatNumber(GetParam().value), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Values, FormatNumberTest,
                         ::testing::Values(FormatCase{0.1, "0.1"}, FormatCase{10, "10"},
                                           FormatCase{-2.5, "-2.5"}, FormatCase{-0.0, "0"},
                                           FormatCase{1e20, "1e+20"}, FormatCase{1e-6, "0.000001"},
                                           FormatCase{1e14, "100000000000000"},
                                           FormatCase{1e15, "1e+15"},
                                           FormatCase{1.0 / 3, "0.3333333333333333"},
                                           FormatCase{0.1 + 0.2, "0.30000000000000004"},
                                           FormatCase{123456789012345, "123456789012345"}));

struct WidthCase {
    std::string text;
    double size;
    bool bold;
    double width;
};

class AutoFitWidthTest : public ::testing::TestWithParam<WidthCase> {};

TEST_P(AutoFitWidthTest, CountsCodePointsScaledByFontSize) {
    const WidthCase& sample = GetParam();
    EXPECT_DOUBLE_EQ(autoFitWidth(sample.text, sample.size, sample.bold), sample.width)
        << sample.text;
}

INSTANTIATE_TEST_SUITE_P(Texts, AutoFitWidthTest,
                         ::testing::Values(WidthCase{"", 11, false, 0},
                                           WidthCase{"12345", 11, false, 6.5},
                                           WidthCase{"12345", 10, false, 6},
                                           WidthCase{"12345", 22, false, 12},
                                           WidthCase{"12345", 11, true, 6.78},
                                           // Three characters of two bytes each count three times.
                                           WidthCase{"\xc3\x85\xc3\x84\xc3\x96", 11, false, 4.3},
                                           WidthCase{"ab\nabcdef\nabc", 11, false, 7.6},
                                           WidthCase{"Part Number", 10, true, 12.55},
                                           // The widest column a spreadsheet allows.
                                           WidthCase{std::string(400, 'x'), 11, false, 255}));

struct ReferenceCase {
    int row;
    int column;
    const char* reference;
};

class CellReferenceTest : public ::testing::TestWithParam<ReferenceCase> {};

TEST_P(CellReferenceTest, NamesColumnsWithLetters) {
    EXPECT_EQ(cellReference(GetParam().row, GetParam().column), GetParam().reference);
}

INSTANTIATE_TEST_SUITE_P(Cells, CellReferenceTest,
                         ::testing::Values(ReferenceCase{1, 1, "A1"}, ReferenceCase{7, 26, "Z7"},
                                           ReferenceCase{1, 27, "AA1"}, ReferenceCase{3, 52, "AZ3"},
                                           ReferenceCase{1, 703, "AAA1"},
                                           ReferenceCase{1048576, 16384, "XFD1048576"}));

}  // namespace
}  // namespace vexlo::workbook
