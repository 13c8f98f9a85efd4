#pragma once

// The two kinds of case file the test drivers read.
//
// Line cases: "verb argument => expected" a line; empty lines and lines starting with "#" are
// skipped. Argument and expected are unescaped; the expected text follows the last " =>".
//
// Block cases: "=== NAME" starts a case, "KEY VALUE" lines set it up, "--- SECTION" starts a
// section of the lines up to the next "---" or "===" line. "#" starts a comment outside
// sections; "@/" stands for the case's folder where a driver gives one.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace vexlo::test {

using Lines = std::vector<std::string>;

struct CaseLine {
    int number;
    std::string verb, argument, expected;
};
// The line cases of a section of a file, and those of the sections before it.
struct CaseSection {
    std::vector<CaseLine> before, lines;
};
// The sections of a line-case file under their names: a block of comment lines starts one,
// named by the comment's first clause, when the case line after it has one of the `fresh` verbs
// (any verb when none are given); the lines before the first such block are the first section's.
std::vector<std::pair<std::string, CaseSection>> caseSections(const std::string& file,
                                                              const std::set<std::string>& fresh);

// The keys of a block case, its name under "name", its line in its file under "@line", and its
// sections under "--- SECTION".
using GoldenCase = std::map<std::string, std::string>;
// The block cases of a file under the source tree; none when it cannot be read.
std::vector<GoldenCase> loadCases(const std::string& file);

// A test name made of a case's name: its words run together, each begun in capitals.
std::string testName(const std::string& caseName);

// The file's path under the source tree.
std::string casePath(const std::string& file);
// The line a case starts on.
inline int caseLine(const GoldenCase& c) {
    return std::stoi(c.at("@line"));
}
inline int caseLine(const CaseLine& c) {
    return c.number;
}
inline int caseLine(const CaseSection& section) {
    return section.lines.at(0).number;
}
// Block cases under their names.
std::vector<std::pair<std::string, GoldenCase>> byName(const std::vector<GoldenCase>& cases);

// Registers each case as a test of `suite`, named after the case (a repeated name gets its
// line), that runs `body` with the case's file and line traced on each failure; a body that
// takes a Fixture& first gets the test's fixture. With no cases, a test named CasesRead fails.
// Call before the tests run (e.g. from a namespace-scope initializer).
template <typename Fixture = ::testing::Test, typename Case, typename Body>
void registerCases(const std::string& suite, const std::string& file,
                   const std::vector<std::pair<std::string, Case>>& cases, Body body) {
    struct CaseTest : Fixture {
        std::function<void(Fixture&)> run;
        void TestBody() override { run(*this); }
    };
    const auto add = [&suite, path = casePath(file)](const std::string& name, int line, auto run) {
        ::testing::RegisterTest(suite.c_str(), name.c_str(), nullptr, nullptr, path.c_str(), line,
                                [=]() -> Fixture* {
                                    auto* test = new CaseTest;
                                    test->run = [=](Fixture& fixture) { run(fixture, path); };
                                    return test;
                                });
    };
    std::set<std::string> names;
    for (const auto& [name, c] : cases) {
        const int line = caseLine(c);
        std::string unique = testName(name);
        if (!names.insert(unique).second) {
            names.insert(unique += "AtLine" + std::to_string(line));
        }
        add(unique, line, [=, name = name, c = c](Fixture& fixture, const std::string& path) {
            const ::testing::ScopedTrace trace(path.c_str(), line, "the case \"" + name + "\"");
            if constexpr (std::is_invocable_v<Body, Fixture&, const Case&>) {
                body(fixture, c);
            } else {
                body(c);
            }
        });
    }
    if (cases.empty()) {
        add("CasesRead", 1,
            [](Fixture&, const std::string& path) { FAIL() << "no cases in " << path; });
    }
}

// A key's value, or `otherwise` when the case has none.
std::string key(const GoldenCase& c, const std::string& name, const char* otherwise = "");
// The text with each "@/" standing for the folder and "/".
std::string substituted(std::string text, const std::string& folder);
// A section's lines but blank ones and those starting with "#".
Lines sectionLines(const GoldenCase& c, const std::string& section);
// A section but the blank lines at its end, "@/" replaced, its lines ended with `end`.
std::string text(const GoldenCase& c, const std::string& section, const std::string& folder,
                 const char* end = "\n");
// Words separated by blanks, '...' quoting blanks ("@/" replaced).
Lines words(const std::string& line, const std::string& folder);
// Output as the section says; a "*" in it stands for any characters.
void expectOutput(const GoldenCase& c, const std::string& section, const std::string& actual,
                  const std::string& folder);
// The files of the sections "KIND NAME"; for "in", written into the folder.
std::set<std::string> files(const GoldenCase& c, const std::string& kind, const std::string& folder,
                            const char* end);

}  // namespace vexlo::test
