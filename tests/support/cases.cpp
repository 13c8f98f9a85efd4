#include "cases.h"

#include <fnmatch.h>
#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <iomanip>
#include <sstream>

#include "testsupport.h"

namespace vexlo::test {

namespace {

// A case line: "verb argument => expected".
CaseLine caseLine(int number, const std::string& line) {
    const auto arrow = line.rfind(" =>");
    const std::string left = line.substr(0, arrow);
    const auto space = left.find(' ');
    return {number, left.substr(0, space),
            space == left.npos ? "" : unescape(left.substr(space + 1)),
            arrow == line.npos ? "" : unescape(line.substr(arrow + 3 + (arrow + 3 < line.size())))};
}

}  // namespace

std::vector<std::pair<std::string, CaseSection>> caseSections(const std::string& file,
                                                              const std::set<std::string>& fresh) {
    std::ifstream in(casePath(file));
    std::vector<std::pair<std::string, CaseSection>> sections;
    std::vector<CaseLine> all;
    std::string comment;  // the first line of the comment block read last, until a case line
    bool inComment = false;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (line.starts_with("#")) {
            comment = inComment ? comment : line.substr(1);
            inComment = true;
        } else if (!line.empty()) {
            const CaseLine c = caseLine(number, line);
            if (sections.empty() ||
                (!comment.empty() && (fresh.empty() || fresh.contains(c.verb)))) {
                const auto clause =
                    comment.find_first_of(".,;:(", comment.find_first_not_of(" \""));
                sections.push_back({comment.substr(0, clause), {all, {}}});
            }
            sections.back().second.lines.push_back(c);
            all.push_back(c);
            comment.clear();
            inComment = false;
        } else {
            inComment = false;
        }
    }
    return sections;
}

std::string casePath(const std::string& file) {
    return sourceDir() + "/" + file;
}

std::vector<std::pair<std::string, GoldenCase>> byName(const std::vector<GoldenCase>& cases) {
    std::vector<std::pair<std::string, GoldenCase>> named;
    for (const GoldenCase& c : cases) {
        named.emplace_back(c.at("name"), c);
    }
    return named;
}

std::string testName(const std::string& caseName) {
    std::string name;
    bool wordStart = true;
    for (const unsigned char character : caseName) {
        if (std::isalnum(character) != 0) {
            name += wordStart ? char(std::toupper(character)) : char(character);
        }
        // An apostrophe stays inside its word ("the window's values": TheWindowsValues).
        wordStart = std::isalnum(character) == 0 && (character != '\'' || name.empty());
    }
    return name.empty() ? "Unnamed" : name;
}

std::vector<GoldenCase> loadCases(const std::string& file) {
    int number = 0;
    std::ifstream in(casePath(file));
    std::vector<GoldenCase> cases;
    std::string* section = nullptr;
    for (std::string line; std::getline(in, line);) {
        ++number;
        if (line.starts_with("=== ")) {
            cases.push_back({{"name", line.substr(4)}, {"@line", std::to_string(number)}});
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

std::string substituted(std::string text, const std::string& folder) {
    for (auto at = text.find("@/"); at != std::string::npos; at = text.find("@/", at)) {
        text.replace(at, 1, folder);
    }
    return text;
}

std::string key(const GoldenCase& c, const std::string& name, const char* otherwise) {
    return c.contains(name) ? c.at(name) : otherwise;
}

Lines sectionLines(const GoldenCase& c, const std::string& section) {
    std::istringstream in(key(c, "--- " + section));
    Lines lines;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && !line.starts_with("#")) {
            lines.push_back(line);
        }
    }
    return lines;
}

std::string text(const GoldenCase& c, const std::string& section, const std::string& folder,
                 const char* end) {
    std::string lines = substituted(key(c, "--- " + section), folder), joined;
    while (lines.ends_with("\n\n") || lines == "\n") {
        lines.pop_back();
    }
    for (const char character : lines) {
        joined += character == '\n' ? std::string(end) : std::string(1, character);
    }
    return joined;
}

Lines words(const std::string& line, const std::string& folder) {
    std::istringstream in(line);
    Lines result;
    for (std::string word; in >> std::quoted(word, '\'');) {
        result.push_back(substituted(word, folder));
    }
    return result;
}

void expectOutput(const GoldenCase& c, const std::string& section, const std::string& actual,
                  const std::string& folder) {
    const std::string expected = text(c, section, folder);
    EXPECT_TRUE(actual == expected || (expected.find('*') != std::string::npos &&
                                       ::fnmatch(expected.c_str(), actual.c_str(), 0) == 0))
        << section << " differs; expected:\n"
        << expected << "actual:\n"
        << actual;
}

std::set<std::string> files(const GoldenCase& c, const std::string& kind, const std::string& folder,
                            const char* end) {
    std::set<std::string> names;
    for (const auto& [section, lines] : c) {
        if (section.starts_with("--- " + kind + " ")) {
            names.insert(section.substr(kind.size() + 5));
            if (kind == "in") {  // "\t" stands for a TAB, which the case files do not hold
                std::string content = text(c, section.substr(4), folder, end);
                for (auto at = content.find("\\t"); at != content.npos;
                     at = content.find("\\t", at)) {
                    content.replace(at, 2, "\t");
                }
                writeFile(folder + "/" + *names.rbegin(), content);
            }
        }
    }
    return names;
}

}  // namespace vexlo::test
