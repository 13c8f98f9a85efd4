#include "report/table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <random>
#include <set>

#include "common/error.h"
#include "faketool.h"
#include "report/designtable.h"

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
        EXPECT_EQ(sign(compareSortKeys(left, right)), expected);
        EXPECT_EQ(sign(compareSortKeys(right, left)), -expected);
    }
}

TEST(MergeKeyEquality, NonEmptyExactTextOrEqualNumbers) {
    const std::vector<std::tuple<const char*, const char*, bool>> cases = {
        {"100", "100", true}, {"100", "1e2", true},  {"007", "7", true},
        {"abc", "abc", true}, {"abc", "ABC", false}, {"", "", false},
        {"x", "", false},     {"1", "1 ", false},    {"10", "10\xce\xa9", false}};
    for (const auto& [left, right, expected] : cases) {
        SCOPED_TRACE(std::string(left) + " vs " + right);
        EXPECT_EQ(sameMergeKey(left, right), expected);
        EXPECT_EQ(sameMergeKey(right, left), expected);
    }
}

// Prefix without letter case, then the number by value, then the rest; equal ones stay put.
TEST(DesignatorOrder, NaturalOrderAndRanges) {
    const std::vector<std::tuple<const char*, const char*, int>> pairs = {
        {"R1", "R2", -1},
        {"R2", "R10", -1},
        {"r2", "R10", -1},
        {"R1", "r1", 0},
        {"R1", "R1a", -1},
        {"R1a", "R2", -1},
        {"U1", "U01", 0},
        {"C10", "R1", -1},
        {"TP", "TP1", -1},
        {"FID", "TP", -1},
        {"R9", "R09a", -1},
        {"", "R1", -1},
        {"R99999999999999999999", "R100000000000000000000", -1}};
    for (const auto& [left, right, expected] : pairs) {
        SCOPED_TRACE(std::string(left) + " vs " + right);
        EXPECT_EQ(sign(compareDesignators(left, right)), expected);
        EXPECT_EQ(sign(compareDesignators(right, left)), -expected);
    }
    const std::vector<std::string_view> found = {"R10", "R2", "R1", "U01", "R3", "U1", "R4", ""};
    EXPECT_EQ(joinDesignators(found, RefdesOrder::AsFound), "R10, R2, R1, U01, R3, U1, R4, ");
    EXPECT_EQ(joinDesignators(found, RefdesOrder::Natural), ", R1, R2, R3, R4, R10, U01, U1");
    EXPECT_EQ(joinDesignators(found, RefdesOrder::Ranges), ", R1-R4, R10, U01, U1");
    const std::vector<std::pair<std::vector<std::string_view>, const char*>> ranges = {
        {{"R1", "R2"}, "R1, R2"},
        {{"R1", "R2", "R3"}, "R1-R3"},
        {{"R9", "R10", "R11", "R13", "R14"}, "R9-R11, R13, R14"},
        {{"D08", "D09", "D10"}, "D08-D10"},
        {{"Q1", "Q02", "Q3"}, "Q1, Q02, Q3"},
        {{"R1", "r2", "R3"}, "R1, r2, R3"},
        {{"R1", "R2a", "R3"}, "R1, R2a, R3"},
        {{"TP", "TP", "TP"}, "TP, TP, TP"},
        {{"U1", "U01", "U2", "U3"}, "U1, U01, U2, U3"},
        {{"R99", "R100", "R101"}, "R99-R101"}};
    for (const auto& [designators, expected] : ranges) {
        EXPECT_EQ(joinDesignators(designators, RefdesOrder::Ranges), expected);
    }
}

TEST(KeyColumns, FindsTheSpecialColumns) {
    constexpr std::optional<std::size_t> none;
    struct Case {
        std::vector<std::string> columns;
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
        {{"Part\tNo", "QTY"}, "Part\tNo", 0, none, 1},  // names are compared as given
        {{}, "", 0, none, none}};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.columns) + " key " + c.key);
        const KeyColumns found = keyColumns(c.columns, c.key);
        EXPECT_EQ(found.key, c.key_);
        EXPECT_EQ(found.reference, c.reference);
        EXPECT_EQ(found.quantity, c.quantity);
    }
    for (const auto& [columns, key] :
         {std::pair<std::vector<std::string>, std::string>{{"refdes", "value", "Qty"}, "Value"},
          {{"Part No"}, "Part\tNo"}}) {
        try {
            keyColumns(columns, key);
            ADD_FAILURE() << "no error for " << key;
        } catch (const Error& error) {
            EXPECT_EQ(errorMessage(error), "Error 1004: Cannot compress the report by the key \"" +
                                               key + "\": no report column has that name");
        }
    }
}

std::vector<std::vector<std::string>> rowsOf(const Table& table) {
    std::vector<std::vector<std::string>> rows;
    for (std::size_t row = 0; row < table.rowCount(); ++row) {
        const auto cells = table.row(row);
        rows.emplace_back(cells.begin(), cells.end());
    }
    return rows;
}

// The table keeps the first component of each designator, drops empty designators, gives "1"
// for "QTY", and shows TAB, CR and LF as spaces, in names as in values.
TEST(BuildTable, OneRowPerDesignatorWithValuesByTheLookupOrder) {
    design::FlattenedDesign design;
    design.components = {
        design::makeComponent("R1", {{"Value", "10k"}, {"Note", "a\tb\r\nc"}}, {{"Pkg", "0603"}}),
        design::makeComponent("", {{"Value", "lost"}}),
        design::makeComponent("R1", {{"Value", "second gate"}}),
        design::makeComponent("U1", {{"Value", "on part"}}, {{"Value", "on symbol"}},
                              {{"Value", ""}}),
    };
    const Table table = buildTable(design, {"Value", "QTY", "Note", "Pkg", "Line\nBreak"});
    EXPECT_EQ(table.header,
              (std::vector<std::string>{"Value", "QTY", "Note", "Pkg", "Line Break"}));
    EXPECT_EQ(table.columns[4], "Line\nBreak");
    EXPECT_EQ(rowsOf(table), (std::vector<std::vector<std::string>>{
                                 {"10k", "1", "a b  c", "0603", ""}, {"", "1", "", "", ""}}));
    // No columns: one empty cell a row, as an empty line reads back.
    const Table bare = buildTable(design, {});
    EXPECT_EQ(bare.header, std::vector<std::string>{""});
    EXPECT_EQ(rowsOf(bare), (std::vector<std::vector<std::string>>{{""}, {""}}));
}

// Random tables compressed by the engine against a few lines of plain model code.
TEST(CompressTable, AgreesWithAModelOnRandomTables) {
    const std::vector<std::string> keys = {"10", "1e1", "010", "abc", "ABC",
                                           "",   "x",   "2.5", "-1",  "b"};
    std::mt19937 random(20261207);
    for (int round = 0; round < 300; ++round) {
        design::FlattenedDesign design;
        const int count = static_cast<int>(random() % 30);
        for (int i = 0; i < count; ++i) {
            const std::string refdes = "R" + std::to_string(i);
            design.components.push_back(
                design::makeComponent(refdes, {{"REFDES", refdes},
                                               {"Value", keys[random() % keys.size()]},
                                               {"Note", "n" + std::to_string(random() % 3)}}));
        }
        const std::vector<std::string> columns = {"Note", "REFDES", "Value", "QTY"};
        Table table = buildTable(design, columns);

        // Model: a stable sort by the key, then each row joins the last group when its key
        // merges with that group's first key.
        auto rows = rowsOf(table);
        std::stable_sort(rows.begin(), rows.end(), [](const auto& left, const auto& right) {
            return compareSortKeys(left[2], right[2]) < 0;
        });
        std::vector<std::vector<std::string>> expected;
        int size = 0;
        for (const auto& row : rows) {
            if (!expected.empty() && sameMergeKey(expected.back()[2], row[2])) {
                expected.back()[1] += ", " + row[1];
                expected.back()[3] = std::to_string(++size);
            } else {
                expected.push_back(row);
                size = 1;
            }
        }

        compressTable(table, "Value");
        const auto merged = rowsOf(table);
        ASSERT_EQ(merged, expected) << "round " << round;
        int total = 0;
        std::multiset<std::string> designators;
        for (const auto& row : merged) {
            total += std::stoi(row[3]);
            for (std::size_t at = 0; at <= row[1].size();) {
                const std::size_t end = std::min(row[1].find(", ", at), row[1].size());
                designators.insert(row[1].substr(at, end - at));
                at = end + 2;
            }
        }
        EXPECT_EQ(total, count);
        EXPECT_EQ(designators.size(), static_cast<std::size_t>(count));
        EXPECT_EQ(std::set<std::string>(designators.begin(), designators.end()).size(),
                  static_cast<std::size_t>(count));
    }
}

}  // namespace
}  // namespace vexlo::report
