#pragma once
// Case files: "verb argument => expected" a line; empty lines and lines starting with "#" are
// skipped. In argument and expected, \r \n \t \\ and \xHH stand for their bytes.
#include <gtest/gtest.h>

#include <fstream>

#include "testsupport.h"

namespace vexlo::test {

struct CaseLine {
    int number;
    std::string verb, argument, expected;
};

inline std::string unescape(const std::string& text) {
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i] == '\\' && i + 1 < text.size() ? text[++i] : 0;
        if (c == 'x') {
            bytes += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            bytes += c == 0 ? text[i] : c == 'r' ? '\r' : c == 'n' ? '\n' : c == 't' ? '\t' : c;
        }
    }
    return bytes;
}

// The cases of a file under the source tree; the expected text follows the last " =>" and a blank.
inline std::vector<CaseLine> readCases(const std::string& file) {
    std::ifstream in(sourceDir() + "/" + file);
    std::vector<CaseLine> cases;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line[0] != '#') {
            const auto arrow = line.rfind(" =>");
            const std::string left = line.substr(0, arrow);
            const auto space = left.find(' ');
            cases.push_back({number, left.substr(0, space),
                             space == left.npos ? "" : unescape(left.substr(space + 1)),
                             arrow == line.npos
                                 ? ""
                                 : unescape(line.substr(arrow + 3 + (arrow + 3 < line.size())))});
        }
    }
    EXPECT_GT(cases.size(), 10u) << file;  // the file was found
    return cases;
}

}  // namespace vexlo::test
