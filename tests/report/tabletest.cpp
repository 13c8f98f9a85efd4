#include "report/table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace vexlo::report {
namespace {

struct NumberCase {
    const char* text;
    std::optional<double> expected;
};

class ReadNumber : public ::testing::TestWithParam<NumberCase> {};

TEST_P(ReadNumber, ReadsWholeDecimalNumbersOnly) {
    const NumberCase& c = GetParam();
    const std::optional<double> number = readNumber(c.text);
    ASSERT_EQ(number.has_value(), c.expected.has_value()) << "\"" << c.text << "\"";
    if (number) {
        EXPECT_EQ(*number, *c.expected) << "\"" << c.text << "\"";
    }
}

constexpr double infinity = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Forms, ReadNumber,
    ::testing::Values(NumberCase{"0", 0.0}, NumberCase{"007", 7.0}, NumberCase{"-12", -12.0},
                      NumberCase{"+3", 3.0}, NumberCase{"1.5", 1.5}, NumberCase{".5", 0.5},
                      NumberCase{"-.25", -0.25}, NumberCase{"1e3", 1000.0},
                      NumberCase{"1E-2", 0.01}, NumberCase{"2.5e+1", 25.0},
                      NumberCase{"12345678901234567890", 12345678901234567890.0},
                      NumberCase{"1e999", infinity}, NumberCase{"-1e999", -infinity},
                      NumberCase{"1e-999", 0.0}, NumberCase{"", std::nullopt},
                      NumberCase{" 5", std::nullopt}, NumberCase{"5 ", std::nullopt},
                      NumberCase{"5.", std::nullopt}, NumberCase{"1e", std::nullopt},
                      NumberCase{"1e+", std::nullopt}, NumberCase{"e5", std::nullopt},
                      NumberCase{"+", std::nullopt}, NumberCase{"-", std::nullopt},
                      NumberCase{".", std::nullopt}, NumberCase{"1,5", std::nullopt},
                      NumberCase{"0x10", std::nullopt}, NumberCase{"inf", std::nullopt},
                      NumberCase{"nan", std::nullopt}, NumberCase{"1.2.3", std::nullopt},
                      NumberCase{"--1", std::nullopt}, NumberCase{"+-1", std::nullopt},
                      NumberCase{"100k", std::nullopt}, NumberCase{"10\xce\xa9", std::nullopt}));

struct OrderCase {
    const char* left;
    const char* right;
    int expected;  // sign of the comparison
};

class SortKeyOrder : public ::testing::TestWithParam<OrderCase> {};

int sign(int value) {
    return (value > 0) - (value < 0);
}

TEST_P(SortKeyOrder, ComparesNumbersThenTextThenEmpty) {
    const OrderCase& c = GetParam();
    EXPECT_EQ(sign(compareSortKeys(makeCell(c.left), makeCell(c.right))), c.expected)
        << c.left << " vs " << c.right;
    EXPECT_EQ(sign(compareSortKeys(makeCell(c.right), makeCell(c.left))), -c.expected)
        << c.right << " vs " << c.left;
}

INSTANTIATE_TEST_SUITE_P(Keys, SortKeyOrder,
                         ::testing::Values(OrderCase{"9", "10", -1}, OrderCase{"-1", "0", -1},
                                           OrderCase{"999", "1e3", -1}, OrderCase{"007", "7", 0},
                                           OrderCase{"1e3", "1a", -1}, OrderCase{"100000", "A", -1},
                                           OrderCase{"abc", "ABC", 0}, OrderCase{"abc", "abd", -1},
                                           OrderCase{"a", "B", -1}, OrderCase{"a", "ab", -1},
                                           OrderCase{"_", "Z", -1}, OrderCase{"z", "\xc2\xb5", -1},
                                           OrderCase{"zzz", "", -1}, OrderCase{"5", "", -1},
                                           OrderCase{"", "", 0}));

struct MergeKeyCase {
    const char* left;
    const char* right;
    bool expected;
};

class MergeKeyEquality : public ::testing::TestWithParam<MergeKeyCase> {};

TEST_P(MergeKeyEquality, NonEmptyExactTextOrEqualNumbers) {
    const MergeKeyCase& c = GetParam();
    EXPECT_EQ(sameMergeKey(makeCell(c.left), makeCell(c.right)), c.expected)
        << c.left << " vs " << c.right;
    EXPECT_EQ(sameMergeKey(makeCell(c.right), makeCell(c.left)), c.expected)
        << c.right << " vs " << c.left;
}

INSTANTIATE_TEST_SUITE_P(
    Keys, MergeKeyEquality,
    ::testing::Values(MergeKeyCase{"100", "100", true}, MergeKeyCase{"100", "1e2", true},
                      MergeKeyCase{"007", "7", true}, MergeKeyCase{"abc", "abc", true},
                      MergeKeyCase{"abc", "ABC", false}, MergeKeyCase{"", "", false},
                      MergeKeyCase{"x", "", false}, MergeKeyCase{"1", "1 ", false},
                      MergeKeyCase{"10", "10\xce\xa9", false}));

struct ScanCase {
    const char* title;
    std::vector<std::string> header;
    std::string key;
    std::optional<std::size_t> keyColumn;
    std::optional<std::size_t> referenceColumn;
    std::optional<std::size_t> quantityColumn;
};

class HeaderScan : public ::testing::TestWithParam<ScanCase> {};

TEST_P(HeaderScan, FindsTheSpecialColumns) {
    const ScanCase& c = GetParam();
    Row header;
    for (const auto& name : c.header) {
        header.push_back(makeCell(name));
    }
    const KeyColumns found = scanHeader(header, c.header.size(), c.key);
    EXPECT_EQ(found.key, c.keyColumn);
    EXPECT_EQ(found.reference, c.referenceColumn);
    EXPECT_EQ(found.quantity, c.quantityColumn);
}

constexpr std::optional<std::size_t> none;

INSTANTIATE_TEST_SUITE_P(
    Headers, HeaderScan,
    ::testing::Values(
        ScanCase{"Usual", {"REFDES", "Value", "QTY"}, "Value", 1, 0, 2},
        ScanCase{"EmptyKeyIsPastTheLastColumn", {"REFDES", "Value", "QTY"}, "", 3, 0, 2},
        ScanCase{"KeyIsQty", {"REFDES", "Value", "QTY"}, "QTY", 2, 0, none},
        ScanCase{"KeyIsRefdes", {"REFDES", "Value", "QTY"}, "REFDES", 0, none, 2},
        ScanCase{"LaterQtyWins", {"QTY", "Value", "QTY"}, "Value", 1, none, 2},
        ScanCase{"LaterKeyWins", {"Value", "REFDES", "Value"}, "Value", 2, 1, none},
        ScanCase{"CaseMatters", {"refdes", "value", "Qty"}, "Value", none, none, none},
        ScanCase{"NoColumns", {}, "", 0, none, none}),
    [](const auto& info) { return info.param.title; });

Table tableOf(const std::vector<std::vector<std::string>>& lines) {
    Table table;
    for (const auto& name : lines.front()) {
        table.header.push_back(makeCell(name));
    }
    for (std::size_t i = 1; i < lines.size(); ++i) {
        Row row;
        for (const auto& text : lines[i]) {
            row.push_back(makeCell(text));
        }
        table.rows.push_back(std::move(row));
    }
    return table;
}

// Rows as "a|b|c", to compare whole tables at a glance.
std::vector<std::string> rowsOf(const Table& table) {
    std::vector<std::string> texts;
    for (const Row& row : table.rows) {
        std::string text;
        for (std::size_t column = 0; column < row.size(); ++column) {
            text += (column > 0 ? "|" : "") + row[column].text;
        }
        texts.push_back(text);
    }
    return texts;
}

struct CompressCase {
    const char* title;
    std::vector<std::vector<std::string>> table;  // header first
    std::string key;
    std::vector<std::string> expected;
};

class CompressRows : public ::testing::TestWithParam<CompressCase> {};

TEST_P(CompressRows, SortsAndMerges) {
    const CompressCase& c = GetParam();
    Table table = tableOf(c.table);
    compressRows(table, c.table.front().size(), c.key);
    EXPECT_EQ(rowsOf(table), c.expected);
}

// Runs, orders and the missing-column cases are covered through the saved table in
// compressformattest.cpp; these are the rules only visible on the table itself.
INSTANTIATE_TEST_SUITE_P(
    Tables, CompressRows,
    ::testing::Values(CompressCase{"NumbersMergeByValueKeepingTheFirstText",
                                   {{"REFDES", "Value", "QTY"},
                                    {"L1", "7", "1"},
                                    {"L2", "007", "1"},
                                    {"L3", "1e3", "1"},
                                    {"L4", "1000", "1"}},
                                   "Value",
                                   {"L1, L2|7|2", "L3, L4|1e3|2"}},
                      CompressCase{"MergedRowKeepsFirstRowsOtherCells",
                                   {{"Value", "REFDES", "Note", "QTY"},
                                    {"1k", "R1", "first", "1"},
                                    {"1k", "R2", "second", "1"}},
                                   "Value",
                                   {"1k|R1, R2|first|2"}},
                      CompressCase{"NoQuantityColumn",
                                   {{"REFDES", "Value"}, {"R1", "1k"}, {"R2", "1k"}},
                                   "Value",
                                   {"R1, R2|1k"}},
                      CompressCase{"KeyIsRefdes",
                                   {{"REFDES", "QTY"}, {"R1", "1"}, {"R1", "1"}},
                                   "REFDES",
                                   {"R1|2"}},
                      CompressCase{"NoDataRows", {{"REFDES", "Value", "QTY"}}, "Value", {}}),
    [](const auto& info) { return info.param.title; });

}  // namespace
}  // namespace vexlo::report
