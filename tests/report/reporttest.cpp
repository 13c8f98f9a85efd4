#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <set>

#include "cases.h"
#include "common/error.h"
#include "compressmodel.h"
#include "faketool.h"
#include "report/run/dispatch.h"
#include "report/table/designtable.h"
#include "report/writers/csvwriter.h"
#include "report/writers/htmlwriter.h"
#include "report/writers/textwriter.h"
#include "settings/settingsfile.h"
#include "testsupport.h"
#include "workbook/package.h"

// The reports of reports.case against their golden files (VEXLO_UPDATE_GOLDEN=1 rewrites them),
// the table's rules of table.case, and compressing random tables against a model.
namespace vexlo::report {
namespace {

namespace fs = std::filesystem;
using test::unescape;
using Strings = std::vector<std::string>;
const std::string dataDir = VEXLO_REPORT_DATA_DIR;
const std::string goldenDir = dataDir + "/golden";

// The fields between separators; an empty text has none.
Strings split(const std::string& text, char separator) {
    Strings fields;
    for (std::size_t at = 0; !text.empty() && at <= text.size();) {
        const std::size_t end = std::min(text.find(separator, at), text.size());
        fields.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    return fields;
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) {
        text.replace(at, from.size(), to);
    }
    return text;
}

std::vector<design::Attribute> attributes(const std::string& text) {
    std::vector<design::Attribute> list;
    for (const std::string& pair : split(text, ';')) {
        const std::size_t equals = pair.find('=');
        list.push_back({unescape(pair.substr(0, equals)), unescape(pair.substr(equals + 1))});
    }
    return list;
}

// What a golden file holds of a report: a workbook's first sheet and styles, else its bytes.
std::string reportContent(const std::string& path) {
    if (path.find(".xls") == std::string::npos) {
        return test::readFile(path);
    }
    const auto package = workbook::WorkbookPackage::open(path);
    return package->read("xl/worksheets/sheet1.xml") + "\n" + package->read("xl/styles.xml");
}

// The lines of the design the case names, then the case's: components, the run's keys (in
// lower case, into `k`) and settings lines.
std::shared_ptr<const design::FlattenedDesign> caseDesign(const Strings& lines,
                                                          std::map<std::string, std::string>& k,
                                                          ReportRequest& request) {
    auto design = std::make_shared<design::FlattenedDesign>();
    Strings settingsLines;
    for (const std::string& line : lines) {
        const std::size_t equals = line.find('=');
        if (line.find('|') != std::string::npos) {
            const Strings f = split(line, '|');
            design->components.push_back(design::makeComponent(unescape(f[0]), attributes(f[1]),
                                                               attributes(f[2]), attributes(f[3])));
        } else if (std::islower(line[0]) != 0) {
            k[line.substr(0, equals)] = unescape(line.substr(equals + 1));
        } else {
            settingsLines.push_back(replaced(line, "$GOLDEN", goldenDir));
        }
    }
    settings::Settings fields;
    fields.Excel_Start = 1;
    fields.Header_Font_Size = fields.Value_Font_Size = 10;
    settings::applySettingsLines(settingsLines, fields);
    request.options = settings::reportOptions(fields);
    request.columns = split(k["columns"], ',');
    for (int column = 1; column <= std::atoi(k["columncount"].c_str()); ++column) {
        request.columns.push_back("C" + std::to_string(column));
    }
    request.keys = split(k["key"], '+');
    request.compress = k["compress"] == "1";  // as the window and the selection file say
    request.choiceSuffix = k["suffix"];
    request.showReport = k.count("show") != 0;
    return design;
}

// The comparison of an old design with the source's, its rows the changes counted.
WrittenReport comparison(const Strings& oldLines, const ReportSource& source,
                         const ReportRequest& request) {
    std::map<std::string, std::string> oldKeys;
    ReportRequest oldRequest;
    const Revision old{"old", caseDesign(oldLines, oldKeys, oldRequest)};
    const WrittenComparison compared = ExportComparison(source, old, "new", request, false);
    const ChangeCounts& n = compared.counts;
    return {compared.path, n.added + n.removed + n.changed, {}, compared.shown};
}

using Designs = std::map<std::string, Strings>;

// A case of reports.case: the report it writes against its golden file (VEXLO_UPDATE_GOLDEN=1
// rewrites it), or its error with the old report kept; with an old design, its comparison.
void matchesItsGoldenFile(const Designs& designs, const test::GoldenCase& c) {
    Strings all = designs.at(test::key(c, "design"));
    const Strings lines = test::sectionLines(c, "lines");
    all.insert(all.end(), lines.begin(), lines.end());
    std::map<std::string, std::string> k;
    ReportRequest request;
    const auto design = caseDesign(all, k, request);
    test::TempDir dir, emptyFolder;
    const std::string project = dir.path() + "/proj/", report = project + k["report"];
    test::writeFile(report, "old\r\n");
    fs::create_directories(project + "sch");
    const ReportSource source{k.count("name") != 0 ? k["name"] : "amp", project, design};
    test::ViewerRecorder viewer;
    if (k["show"] == "missing") {
        ::setenv("PATH", emptyFolder.path().c_str(), 1);
    }
    WrittenReport written;
    const auto attempt = [&] {
        try {
            written = k.count("old") == 0 ? ExporttoExcel(source, request)
                                          : comparison(designs.at(k["old"]), source, request);
            return std::string();
        } catch (const Error& failure) {
            return replaced(errorMessage(failure), dir.path(), "$TMP");
        }
    };
    std::string error;
    if (k.count("readonly") != 0) {
        // Permission bits do not stop root: the run is made as an ordinary user.
        const bool folder = k["readonly"] == "folder";
        fs::permissions(dir.path(), fs::perms::all);
        fs::permissions(project, fs::perms(folder ? 0555 : 0777));
        fs::permissions(report, fs::perms(folder ? 0777 : 0444));
        const auto check = [&] { return attempt() == k["error"] ? 0 : 1; };
        error = test::runUnprivileged(check) == 0 ? k["error"] : "another outcome";
    } else {
        error = attempt();
    }
    EXPECT_EQ(error, k["error"]);
    EXPECT_EQ(test::listTree(project), (Strings{k["report"], "sch/"}));
    if (k.count("golden") != 0) {
        if (std::getenv("VEXLO_UPDATE_GOLDEN") != nullptr) {
            test::writeFile(goldenDir + "/" + k["golden"], reportContent(report));
        }
        EXPECT_EQ(reportContent(report), test::readFile(goldenDir + "/" + k["golden"]));
    } else {
        EXPECT_EQ(test::readFile(report) == "old\r\n", !error.empty());
    }
    EXPECT_EQ(written.path + " " + std::to_string(written.rows),
              error.empty() ? report + " " + k["rows"] : " 0");
    const bool shown = k["show"] == "1" && error.empty();
    EXPECT_EQ(viewer.shown(shown ? 1 : 0), shown ? Strings{report} : Strings{});
}

// Each case of reports.case is a test of Reports; "design NAME" blocks give the designs.
bool registerReportCases() {
    Designs designs;
    std::vector<std::pair<std::string, test::GoldenCase>> runs;
    for (const test::GoldenCase& c : test::loadCases("tests/report/reports.case")) {
        const std::string head = test::key(c, "name");
        if (head.starts_with("design ")) {
            designs[head.substr(7)] = test::sectionLines(c, "lines");
        } else {
            runs.emplace_back(head, c);
        }
    }
    test::registerCases("Reports", "tests/report/reports.case", runs,
                        [designs](const test::GoldenCase& c) { matchesItsGoldenFile(designs, c); });
    return true;
}
const bool reportCases = registerReportCases();

// A rule of table.case over each of its lines.
void followsTheCaseTable(const test::GoldenCase& c) {
    const std::string rule = test::key(c, "name");
    for (const std::string& line : test::sectionLines(c, "cases")) {
        SCOPED_TRACE(line);
        const Strings f = split(unescape(line), '|');
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
            const Strings list = split(f[1], ',');
            EXPECT_EQ(joinDesignators({list.begin(), list.end()},
                                      settings::refdesOrderOf(std::stoi(f[0]))),
                      f[2]);
        } else if (rule == "columns") {
            try {
                const KeyColumns found = keyColumns(split(f[0], ','), split(f[1], '+'));
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
            EXPECT_EQ(exclusionOf(f[0], f[1]).values, split(f[2], ','));
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
    (test::registerCases("TableRules", "tests/report/table.case",
                         test::byName(test::loadCases("tests/report/table.case")),
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

// Large reports go to the sink in slices of a little over 1 MiB, never held whole.
TEST(Writers, PassLargeReportsInSlices) {
    Table table;
    table.columns = table.header = {"Value"};
    table.cells.assign(5000, table.keep(std::string(1000, 'v')));
    for (const Format format : {Format::Text, Format::Html, Format::Csv}) {
        std::vector<std::size_t> slices;
        const ReportSink sink = [&](std::string_view bytes) { slices.push_back(bytes.size()); };
        format == Format::Text   ? writeTextReport(table, sink)
        : format == Format::Html ? writeHtmlReport(table, ReportStyle{}, sink)
                                 : writeCsvReport(table, sink);
        EXPECT_EQ(slices.size(), format == Format::Html ? 6u : 5u);
        EXPECT_TRUE(slices[0] >= 1 << 20 && slices[0] < (1 << 20) + 1200)
            << static_cast<int>(format);
    }
}

}  // namespace
}  // namespace vexlo::report
