// The table's rules of table.case, and compressing random tables against a model.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include "cases.h"
#include "common/error.h"
#include "compressmodel.h"
#include "faketool.h"
#include "report/table/designtable.h"
#include "report/writers/htmlwriter.h"
#include "settings/settingsfile.h"
#include "testsupport.h"

namespace vexlo::report {
namespace {

using test::unescape;
using Strings = std::vector<std::string>;
using test::fields;

// A rule of table.case over each of its lines.
void followsTheCaseTable(const test::GoldenCase& c) {
    const std::string rule = test::key(c, "name");
    for (const std::string& line : test::sectionLines(c, "cases")) {
        SCOPED_TRACE(line);
        const Strings f = fields(unescape(line), '|');
        const auto both = [&f](auto compare) {
            EXPECT_EQ(std::clamp(compare(f[0], f[1]), -1, 1), std::stoi(f[2]));
            EXPECT_EQ(std::clamp(compare(f[1], f[0]), -1, 1), -std::stoi(f[2]));
        };
        if (rule == "number") {
            EXPECT_EQ(readNumber(f[0]),
                      f[1] == "-" ? std::nullopt : std::optional(std::stod(f[1])));
        } else if (rule == "sort") {
            both(compareSortKeys);
        } else if (rule == "designator") {
            both(compareDesignators);
        } else if (rule == "merge") {
            const bool merges = f[2] == "1";
            EXPECT_EQ(std::pair(sameMergeKey(f[0], f[1]), sameMergeKey(f[1], f[0])),
                      std::pair(merges, merges));
        } else if (rule == "join") {
            const Strings list = fields(f[1], ',');
            EXPECT_EQ(joinDesignators({list.begin(), list.end()},
                                      settings::refdesOrderOf(std::stoi(f[0]))),
                      f[2]);
        } else if (rule == "columns") {
            try {
                const KeyColumns found = keyColumns(fields(f[0], ','), fields(f[1], '+'));
                std::string text;
                for (const std::size_t key : found.keys) {
                    text += (text.empty() ? "" : "+") + std::to_string(key);
                }
                for (const auto column : {found.reference, found.quantity}) {
                    text += " " + (column ? std::to_string(*column) : "-");
                }
                EXPECT_EQ(text, f[2]);
            } catch (const Error& error) {
                EXPECT_EQ(errorMessage(error), f[2]);
            }
        } else if (rule == "exclude") {
            EXPECT_EQ(exclusionOf(f[0], f[1]).values, fields(f[2], ','));
        } else if (rule == "html") {
            const CellStyle style = settings::cellStyleOf(10, std::stoi(f[0]), std::stoi(f[1]), 0);
            const HtmlCellTemplate cell = htmlCellTemplate(style.bold, style.italic);
            EXPECT_EQ(std::string(cell.opening) + "|" + std::string(cell.closing),
                      f[2] + "|" + f[3]);
        } else {
            ADD_FAILURE() << "no such rule";
        }
    }
}
const bool tableRules =
    (test::registerCases("TableRules", "tests/report/table/table.case",
                         test::byName(test::loadCases("tests/report/table/table.case")),
                         followsTheCaseTable),
     true);

// Random designs (designators met again, empty ones, keys that merge as numbers or by text, one
// to three keys in any order, empty key cells) compressed by the engine against the model's
// groups; the groups whose other columns differ are mixed (the cases of vexlo-report and of the
// preview check how the first few are described).
TEST(CompressTable, AgreesWithAModelOnRandomTables) {
    const Strings values = {"10", "1e1", "010", "abc", "ABC", "", "x", "2.5", "-1", "b", "0", "-0"};
    const Strings names = {"Note", "REFDES", "K1", "K2", "K3", "QTY"};
    std::mt19937 random(20261207);
    for (int round = 0; round < 400; ++round) {
        SCOPED_TRACE(round);
        design::FlattenedDesign design;
        std::vector<Strings> rows;  // the model's table
        std::set<std::string> met;
        const std::size_t narrow = 1 + random() % 4;  // fewer values: more merges
        for (int i = static_cast<int>(random() % 90); i > 0; --i) {
            const std::string refdes =
                random() % 8 == 0 ? "" : "rR"[random() % 2] + std::to_string(random() % 60);
            Strings row = {"n" + std::to_string(random() % 3), refdes};
            for (int key = 0; key < 3; ++key) {
                row.push_back(values[random() % (key == 0 ? values.size() : narrow)]);
            }
            row.push_back("1");
            std::vector<design::Attribute> attributes;
            for (std::size_t column = 0; column + 1 < names.size(); ++column) {
                attributes.push_back({names[column], row[column]});
            }
            attributes.push_back({"QTY", "9"});
            design.components.push_back(design::makeComponent(refdes, attributes));
            if (!refdes.empty() && met.insert(refdes).second) {
                rows.push_back(row);
            }
        }
        Strings keys = {"K1", "K2", "K3"};
        std::shuffle(keys.begin(), keys.end(), random);
        keys.resize(1 + random() % 3);
        const auto keysOf = [&keys](const Strings& row) {
            Strings cells;
            for (const std::string& key : keys) {
                cells.push_back(row[static_cast<std::size_t>(key[1] - '1') + 2]);  // K1: column 2
            }
            return cells;
        };
        std::vector<Strings> expected;
        std::vector<std::string> mixed;  // "3: Note K2": a merged row's columns whose values differ
        for (const auto& group : model::groups(rows, keysOf)) {
            Strings merged = group.front();
            for (std::size_t row = 1; row < group.size(); ++row) {
                merged[1] += ", " + group[row][1];
            }
            merged[5] = std::to_string(group.size());
            std::string text = std::to_string(expected.size()) + ":";
            for (const std::size_t column : {0, 2, 3, 4}) {
                if (std::ranges::count(keys, names[column]) == 0 &&
                    std::ranges::any_of(group,
                                        [&](auto& row) { return row[column] != merged[column]; })) {
                    text += " " + names[column];
                }
            }
            if (text.find(' ') != std::string::npos) {
                mixed.push_back(text);
            }
            expected.push_back(merged);
        }
        Table table = buildTable(design, names);
        const Grouping grouping = compressTable(table, keys);
        std::vector<Strings> merged;
        for (std::size_t row = 0; row < table.rowCount(); ++row) {
            merged.emplace_back(table.row(row).begin(), table.row(row).end());
        }
        ASSERT_EQ(merged, expected);
        std::vector<std::string> found;
        for (const MixedRow& row : grouping.mixed) {
            found.push_back(std::to_string(row.run) + ":");
            for (const std::size_t column : row.columns) {
                found.back() += " " + names[column];
            }
        }
        ASSERT_EQ(found, mixed);
    }
}

}  // namespace
}  // namespace vexlo::report
