#pragma once

// The two kinds of case file the test drivers read.
//
// Line cases: "verb argument => expected" a line; empty lines and lines starting with "#" are
// skipped. Argument and expected are unescaped; the expected text follows the last " =>".
//
// Block cases: "=== NAME" starts a case, "KEY VALUE" lines set it up, "--- SECTION" starts a
// section of the lines up to the next "---" or "===" line. "#" starts a comment outside
// sections; "@/" stands for the case's folder where a driver gives one.
#include <map>
#include <set>
#include <string>
#include <vector>

namespace vexlo::test {

using Lines = std::vector<std::string>;

struct CaseLine {
    int number;
    std::string verb, argument, expected;
};
// The line cases of a file under the source tree; throws when it holds ten or fewer.
std::vector<CaseLine> readCases(const std::string& file);

// The keys of a block case, its name under "name", and its sections under "--- SECTION".
using GoldenCase = std::map<std::string, std::string>;
// The block cases of a file under the source tree.
std::vector<GoldenCase> loadCases(const std::string& file);

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
