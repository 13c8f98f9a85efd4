#pragma once

// The golden cases of vexlo-report, run by the command line's test and by the bus test.
#include <gtest/gtest.h>

#include <QString>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>

#include "cases.h"
#include "designfile.h"
#include "testsupport.h"
#include "workbook/workbook.h"

namespace vexlo::test {

// A workbook's first sheet as lines, one a row up to its last: the cells' texts between "|", a
// cell with a solid fill followed by its colour in braces ("added{C6EFCE}").
inline std::string sheetText(const std::string& path) {
    workbook::Workbook book = workbook::Workbook::open(path);
    const workbook::Worksheet& sheet = book.firstSheet();
    std::string text;
    for (int row = 1; row <= sheet.lastRow(); ++row) {
        for (int column = 1; column <= sheet.lastColumn(); ++column) {
            text += (column == 1 ? "" : "|") + sheet.text(row, column);
            if (const auto fill = sheet.format(row, column).fill) {
                char colour[8];
                std::snprintf(colour, sizeof colour, "%06X", static_cast<unsigned>(*fill));
                text += std::string("{") + colour + "}";
            }
        }
        text += "\n";
    }
    return text;
}

using ReportRun = ProgramRun;
// Runs vexlo-report against the case's tool serving the design.
using ReportDriver = std::function<std::optional<ReportRun>(
    const GoldenCase&, const sim::Design&, const Lines& arguments, const std::string& folder)>;

// A case of vexlo-report (tests/cli/report.case). It starts in a fresh folder holding
// design.json (from "design", tests/cli/board.json by default), old.json (from "old", when
// given), the design's document folder and the "in" files (CR LF lines); afterwards it holds those
// and the "report" files ("*": any content; a "sheet" section gives a workbook's sheet as
// sheetText shows it), and the viewer was handed the "shown" files.
inline void runReportCase(const ReportDriver& drive, const GoldenCase& c) {
    const TempDir dir;
    const std::string& at = dir.path();
    std::filesystem::copy_file(sourceDir() + "/" + key(c, "design", "tests/cli/board.json"),
                               dir.file("design.json"));
    const auto design = sim::loadDesignFile(QString::fromStdString(dir.file("design.json")));
    std::filesystem::create_directories(design.document ? design.document->path : at);
    std::set<std::string> expected = files(c, "in", at, "\r\n"), present;
    if (c.contains("old")) {
        std::filesystem::copy_file(sourceDir() + "/" + key(c, "old"), dir.file("old.json"));
        expected.insert("old.json");
    }
    const ViewerRecorder viewer;
    const auto run = drive(c, design, words(key(c, "args"), at), at);
    ASSERT_TRUE(run);
    EXPECT_EQ(run->status, std::stoi(key(c, "exit", "0")));
    expectOutput(c, "out", run->out, at);
    expectOutput(c, "err", run->err, at);
    for (const std::string& name : files(c, "report", at, "\r\n")) {
        expected.insert(name);
        if (text(c, "report " + name, at) != "*\n" && std::filesystem::exists(dir.file(name))) {
            EXPECT_EQ(readFile(dir.file(name)), text(c, "report " + name, at, "\r\n")) << name;
        }
    }
    for (const std::string& name : files(c, "sheet", at, "\n")) {
        expected.insert(name);
        if (std::filesystem::exists(dir.file(name))) {
            EXPECT_EQ(sheetText(dir.file(name)), text(c, "sheet " + name, at)) << name;
        }
    }
    std::ranges::copy_if(listTree(at), std::inserter(present, present.end()),
                         [](const auto& name) { return !name.ends_with("/"); });
    expected.insert("design.json");
    EXPECT_EQ(present, expected);
    const Lines shown = words(text(c, "shown", at, " "), at);
    EXPECT_EQ(viewer.shown(shown.size()), shown);
}

// Each case of tests/cli/report.case as a test of `suite` (those marked "bus-only" only where
// `busOnlyToo`).
inline bool registerReportCases(const std::string& suite, bool busOnlyToo,
                                const ReportDriver& drive) {
    std::vector<std::pair<std::string, GoldenCase>> cases;
    for (const auto& [name, c] : byName(loadCases("tests/cli/report.case"))) {
        if (busOnlyToo || !c.contains("bus-only")) {
            cases.emplace_back(name, c);
        }
    }
    registerCases(suite, "tests/cli/report.case", cases,
                  [drive](const GoldenCase& c) { runReportCase(drive, c); });
    return true;
}

}  // namespace vexlo::test
