#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>

#include "cases.h"
#include "common/error.h"
#include "faketool.h"
#include "report/run/dispatch.h"
#include "report/table/designtable.h"
#include "settings/settingsfile.h"
#include "testsupport.h"
#include "workbook/package.h"

// The reports of reports.case against their golden files (VEXLO_UPDATE_GOLDEN=1 rewrites them).
namespace vexlo::report {
namespace {

namespace fs = std::filesystem;
using test::unescape;
using Strings = std::vector<std::string>;
const std::string dataDir = VEXLO_REPORT_DATA_DIR;
const std::string goldenDir = dataDir + "/golden";

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) {
        text.replace(at, from.size(), to);
    }
    return text;
}

std::vector<design::Attribute> attributes(const std::string& text) {
    std::vector<design::Attribute> list;
    for (const std::string& pair : test::fields(text, ';')) {
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
            const Strings f = test::fields(line, '|');
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
    request.columns = test::fields(k["columns"], ',');
    for (int column = 1; column <= std::atoi(k["columncount"].c_str()); ++column) {
        request.columns.push_back("C" + std::to_string(column));
    }
    request.keys = test::fields(k["key"], '+');
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
    for (const test::GoldenCase& c : test::loadCases("tests/report/run/reports.case")) {
        const std::string head = test::key(c, "name");
        if (head.starts_with("design ")) {
            designs[head.substr(7)] = test::sectionLines(c, "lines");
        } else {
            runs.emplace_back(head, c);
        }
    }
    test::registerCases("Reports", "tests/report/run/reports.case", runs,
                        [designs](const test::GoldenCase& c) { matchesItsGoldenFile(designs, c); });
    return true;
}
const bool reportCases = registerReportCases();

}  // namespace
}  // namespace vexlo::report
