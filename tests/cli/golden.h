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

struct GoldenCase {
    std::map<std::string, std::string> keys;
    std::map<std::string, Lines> sections;
    std::string key(const std::string& name, const std::string& otherwise = "") const {
        return keys.contains(name) ? keys.at(name) : otherwise;
    }
};

inline std::vector<GoldenCase> loadCases(const std::string& file) {
    std::ifstream in(sourceDir() + "/" + file);
    std::vector<GoldenCase> cases;
    Lines* section = nullptr;
    for (std::string line; std::getline(in, line);) {
        if (line.starts_with("=== ")) {
            cases.push_back({{{"name", line.substr(4)}}, {}});
            section = nullptr;
        } else if (line.starts_with("--- ")) {
            section = &cases.back().sections[line.substr(4)];
        } else if (section != nullptr) {
            section->push_back(line);
        } else if (!line.empty() && !line.starts_with("#")) {
            const auto blank = std::min(line.find(' '), line.size());
            cases.back().keys[line.substr(0, blank)] =
                line.substr(std::min(blank + 1, line.size()));
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

// A section's lines but blank ones at its end, "@/" replaced, each followed by the line end.
inline std::string text(const GoldenCase& c, const std::string& section, const std::string& folder,
                        const char* end = "\n") {
    Lines lines = c.sections.contains(section) ? c.sections.at(section) : Lines{};
    while (!lines.empty() && lines.back().empty()) {
        lines.pop_back();
    }
    std::string joined;
    for (const auto& line : lines) {
        joined += substituted(line, folder) + end;
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

// Writes the "in" files into the folder; their names.
inline std::set<std::string> writeInputs(const GoldenCase& c, const std::string& folder,
                                         const char* end) {
    std::set<std::string> names;
    for (const auto& [section, lines] : c.sections) {
        if (section.starts_with("in ")) {
            writeFile(folder + "/" + section.substr(3), text(c, section, folder, end));
            names.insert(section.substr(3));
        }
    }
    return names;
}

struct ReportRun {
    int status = -1;
    std::string out;
    std::string err;
};
// Runs vexlo-report with the arguments against the tool of the case serving the design;
// nothing when it cannot.
using ReportDriver = std::function<std::optional<ReportRun>(
    const GoldenCase&, const sim::Design&, const Lines& arguments, const std::string& folder)>;

// The cases of vexlo-report (tests/cli/report.case). Each starts in a fresh folder holding
// design.json (from "design", tests/cli/board.json by default), the design's document folder
// and the "in" files (CR LF lines); afterwards it holds those and the "report" files ("*": any
// content), and the viewer was handed the "shown" files.
inline void runReportCases(const ReportDriver& drive) {
    for (const GoldenCase& c : loadCases("tests/cli/report.case")) {
        SCOPED_TRACE(c.key("name"));
        const TempDir dir;
        const std::string& at = dir.path();
        std::filesystem::copy_file(sourceDir() + "/" + c.key("design", "tests/cli/board.json"),
                                   dir.file("design.json"));
        const auto design = sim::loadDesignFile(QString::fromStdString(dir.file("design.json")));
        std::filesystem::create_directories(design.document ? design.document->path : at);
        std::set<std::string> files = writeInputs(c, at, "\r\n"), present;
        files.insert("design.json");
        const ViewerRecorder viewer;
        const auto run = drive(c, design, words(c.key("args"), at), at);
        if (!run) {
            continue;
        }
        EXPECT_EQ(run->status, std::stoi(c.key("exit", "0")));
        expectOutput(c, "out", run->out, at);
        expectOutput(c, "err", run->err, at);
        for (const auto& [section, lines] : c.sections) {
            const std::string name = section.substr(section.find(' ') + 1);
            if (section.starts_with("report ") && std::filesystem::exists(dir.file(name))) {
                files.insert(name);
                if (text(c, section, at) != "*\n") {
                    EXPECT_EQ(readFile(dir.file(name)), text(c, section, at, "\r\n")) << name;
                }
            }
        }
        for (const auto& name : listTree(at)) {
            if (!name.ends_with("/")) {
                present.insert(name);
            }
        }
        EXPECT_EQ(present, files);
        const Lines shown = words(text(c, "shown", at, " "), at);
        EXPECT_EQ(viewer.shown(shown.size()), shown);
    }
}

}  // namespace vexlo::test
