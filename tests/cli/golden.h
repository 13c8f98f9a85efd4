#pragma once

// Golden cases: blocks of a .case file. "=== NAME" starts a case, "KEY VALUE" lines set it up,
// "--- SECTION" starts a section of the lines up to the next "---" or "===" line. "#" starts a
// comment outside sections; "@/" stands for the case's folder.
#include <fnmatch.h>
#include <gtest/gtest.h>

#include <QString>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iomanip>
#include <map>
#include <optional>
#include <set>

#include "designfile.h"
#include "testsupport.h"

namespace vexlo::test {

using Lines = std::vector<std::string>;
// The keys of a case, its name under "name", and its sections under "--- SECTION".
using GoldenCase = std::map<std::string, std::string>;

inline std::string key(const GoldenCase& c, const std::string& name, const char* otherwise = "") {
    return c.contains(name) ? c.at(name) : otherwise;
}

inline std::vector<GoldenCase> loadCases(const std::string& file) {
    std::ifstream in(sourceDir() + "/" + file);
    if (!in) {
        ADD_FAILURE() << "cannot read the cases of " << sourceDir() << "/" << file;
    }
    std::vector<GoldenCase> cases;
    std::string* section = nullptr;
    for (std::string line; std::getline(in, line);) {
        if (line.starts_with("=== ")) {
            cases.push_back({{"name", line.substr(4)}});
            section = nullptr;
        } else if (line.starts_with("--- ")) {
            section = &cases.back()[line];
        } else if (section != nullptr) {
            *section += line + "\n";
        } else if (!line.empty() && !line.starts_with("#")) {
            const auto blank = std::min(line.find(' '), line.size());
            cases.back()[line.substr(0, blank)] = line.substr(std::min(blank + 1, line.size()));
        }
    }
    return cases;
}

inline std::string substituted(std::string text, const std::string& folder) {
    for (auto at = text.find("@/"); at != std::string::npos; at = text.find("@/", at)) {
        text.replace(at, 1, folder);
    }
    return text;
}

// A section but the blank lines at its end, "@/" replaced, its lines ended with `end`.
inline std::string text(const GoldenCase& c, const std::string& section, const std::string& folder,
                        const char* end = "\n") {
    std::string lines = substituted(key(c, "--- " + section), folder), joined;
    while (lines.ends_with("\n\n") || lines == "\n") {
        lines.pop_back();
    }
    for (const char character : lines) {
        joined += character == '\n' ? std::string(end) : std::string(1, character);
    }
    return joined;
}

// Words separated by blanks, '...' quoting blanks ("@/" replaced).
inline Lines words(const std::string& line, const std::string& folder) {
    std::istringstream in(line);
    Lines result;
    for (std::string word; in >> std::quoted(word, '\'');) {
        result.push_back(substituted(word, folder));
    }
    return result;
}

// Output as the section says; a "*" in it stands for any characters.
inline void expectOutput(const GoldenCase& c, const std::string& section, const std::string& actual,
                         const std::string& folder) {
    const std::string expected = text(c, section, folder);
    EXPECT_TRUE(actual == expected || (expected.find('*') != std::string::npos &&
                                       ::fnmatch(expected.c_str(), actual.c_str(), 0) == 0))
        << section << " differs; expected:\n"
        << expected << "actual:\n"
        << actual;
}

// The files of the sections "KIND NAME"; for "in", written into the folder.
inline std::set<std::string> files(const GoldenCase& c, const std::string& kind,
                                   const std::string& folder, const char* end) {
    std::set<std::string> names;
    for (const auto& [section, lines] : c) {
        if (section.starts_with("--- " + kind + " ")) {
            names.insert(section.substr(kind.size() + 5));
            if (kind == "in") {
                writeFile(folder + "/" + *names.rbegin(), text(c, section.substr(4), folder, end));
            }
        }
    }
    return names;
}

struct ReportRun {
    int status = -1;
    std::string out, err;
};
// Runs vexlo-report against the case's tool serving the design; nothing when it cannot.
using ReportDriver = std::function<std::optional<ReportRun>(
    const GoldenCase&, const sim::Design&, const Lines& arguments, const std::string& folder)>;

// The cases of vexlo-report (tests/cli/report.case). Each starts in a fresh folder holding
// design.json (from "design", tests/cli/board.json by default), the design's document folder
// and the "in" files (CR LF lines); afterwards it holds those and the "report" files ("*": any
// content), and the viewer was handed the "shown" files.
inline void runReportCases(const ReportDriver& drive) {
    for (const GoldenCase& c : loadCases("tests/cli/report.case")) {
        SCOPED_TRACE(key(c, "name"));
        const TempDir dir;
        const std::string& at = dir.path();
        std::filesystem::copy_file(sourceDir() + "/" + key(c, "design", "tests/cli/board.json"),
                                   dir.file("design.json"));
        const auto design = sim::loadDesignFile(QString::fromStdString(dir.file("design.json")));
        std::filesystem::create_directories(design.document ? design.document->path : at);
        std::set<std::string> expected = files(c, "in", at, "\r\n"), present;
        const ViewerRecorder viewer;
        const auto run = drive(c, design, words(key(c, "args"), at), at);
        if (!run) {
            continue;
        }
        EXPECT_EQ(run->status, std::stoi(key(c, "exit", "0")));
        expectOutput(c, "out", run->out, at);
        expectOutput(c, "err", run->err, at);
        for (const std::string& name : files(c, "report", at, "\r\n")) {
            expected.insert(name);
            if (text(c, "report " + name, at) != "*\n" && std::filesystem::exists(dir.file(name))) {
                EXPECT_EQ(readFile(dir.file(name)), text(c, "report " + name, at, "\r\n")) << name;
            }
        }
        std::ranges::copy_if(listTree(at), std::inserter(present, present.end()),
                             [](const auto& name) { return !name.ends_with("/"); });
        expected.insert("design.json");
        EXPECT_EQ(present, expected);
        const Lines shown = words(text(c, "shown", at, " "), at);
        EXPECT_EQ(viewer.shown(shown.size()), shown);
    }
}

}  // namespace vexlo::test
