#include "report/table.h"

#include <gtest/gtest.h>

#include <limits>

namespace vexlo::report {
namespace {

TEST(ReadNumber, ReadsWholeDecimalNumbersOnly) {
    constexpr double infinity = std::numeric_limits<double>::infinity();
    const std::vector<std::pair<const char*, double>> numbers = {
        {"0", 0.0},          {"007", 7.0},
        {"-12", -12.0},      {"+3", 3.0},
        {"1.5", 1.5},        {".5", 0.5},
        {"-.25", -0.25},     {"1e3", 1000.0},
        {"1E-2", 0.01},      {"2.5e+1", 25.0},
        {"1e999", infinity}, {"-1e999", -infinity},
        {"1e-999", 0.0},     {"12345678901234567890", 12345678901234567890.0}};
    for (const auto& [text, expected] : numbers) {
        SCOPED_TRACE(text);
        const std::optional<double> number = readNumber(text);
        ASSERT_TRUE(number.has_value());
        EXPECT_EQ(*number, expected);
    }
    for (const char* text : {"", " 5", "5 ", "5.", "1e", "1e+", "e5", "+", "-", ".", "1,5", "0x10",
                             "inf", "nan", "1.2.3", "--1", "+-1", "100k", "10\xce\xa9"}) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(readNumber(text).has_value());
    }
}

int sign(int value) {
    return (value > 0) - (value < 0);
}

TEST(SortKeyOrder, ComparesNumbersThenTextThenEmpty) {
    const std::vector<std::tuple<const char*, const char*, int>> cases = {
        {"9", "10", -1},   {"-1", "0", -1},     {"999", "1e3", -1}, {"007", "7", 0},
        {"1e3", "1a", -1}, {"100000", "A", -1}, {"abc", "ABC", 0},  {"abc", "abd", -1},
        {"a", "B", -1},    {"a", "ab", -1},     {"_", "Z", -1},     {"z", "\xc2\xb5", -1},
        {"zzz", "", -1},   {"5", "", -1},       {"", "", 0}};
    for (const auto& [left, right, expected] : cases) {
        SCOPED_TRACE(std::string(left) + " vs " + right);
        EXPECT_EQ(sign(compareSortKeys(makeCell(left), makeCell(right))), expected);
        EXPECT_EQ(sign(compareSortKeys(makeCell(right), makeCell(left))), -expected);
    }
}

TEST(MergeKeyEquality, NonEmptyExactTextOrEqualNumbers) {
    const std::vector<std::tuple<const char*, const char*, bool>> cases = {
        {"100", "100", true}, {"100", "1e2", true},  {"007", "7", true},
        {"abc", "abc", true}, {"abc", "ABC", false}, {"", "", false},
        {"x", "", false},     {"1", "1 ", false},    {"10", "10\xce\xa9", false}};
    for (const auto& [left, right, expected] : cases) {
        SCOPED_TRACE(std::string(left) + " vs " + right);
        EXPECT_EQ(sameMergeKey(makeCell(left), makeCell(right)), expected);
        EXPECT_EQ(sameMergeKey(makeCell(right), makeCell(left)), expected);
    }
}

Row rowOf(const std::vector<std::string>& texts) {
    Row row;
    for (const auto& text : texts) {
        row.push_back(makeCell(text));
    }
    return row;
}

TEST(HeaderScan, FindsTheSpecialColumns) {
    constexpr std::optional<std::size_t> none;
    struct Case {
        std::vector<std::string> header;
        std::string key;
        std::optional<std::size_t> key_, reference, quantity;
    };
    const std::vector<Case> cases = {
        {{"REFDES", "Value", "QTY"}, "Value", 1, 0, 2},
        {{"REFDES", "Value", "QTY"}, "", 3, 0, 2},  // an empty key is past the last column
        {{"REFDES", "Value", "QTY"}, "QTY", 2, 0, none},
        {{"REFDES", "Value", "QTY"}, "REFDES", 0, none, 2},
        {{"QTY", "Value", "QTY"}, "Value", 1, none, 2},  // the later one wins
        {{"Value", "REFDES", "Value"}, "Value", 2, 1, none},
        {{"refdes", "value", "Qty"}, "Value", none, none, none},  // case matters
        {{}, "", 0, none, none}};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.header) + " key " + c.key);
        const KeyColumns found = scanHeader(rowOf(c.header), c.header.size(), c.key);
        EXPECT_EQ(found.key, c.key_);
        EXPECT_EQ(found.reference, c.reference);
        EXPECT_EQ(found.quantity, c.quantity);
    }
}

// Merging by the reference designator itself, which the saved table never shows: the harvest
// already joins components of one designator.
TEST(CompressRows, KeyIsTheReferenceColumn) {
    Table table;
    table.header = rowOf({"REFDES", "QTY"});
    table.rows = {rowOf({"R1", "1"}), rowOf({"R1", "1"})};
    compressRows(table, 2, "REFDES");
    ASSERT_EQ(table.rows.size(), 1u);
    ASSERT_EQ(table.rows[0].size(), 2u);
    EXPECT_EQ(table.rows[0][0].text, "R1");
    EXPECT_EQ(table.rows[0][1].text, "2");
}

}  // namespace
}  // namespace vexlo::report
