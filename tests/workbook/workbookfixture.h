#pragma once

#include <cstdint>
#include <map>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "common/error.h"
#include "testsupport.h"
#include "workbook/cellnumber.h"
#include "workbook/workbook.h"

namespace vexlo::workbook {

// Readable values in failure messages.
inline void PrintTo(const CellValue& value, std::ostream* out) {
    static const char* const types[] = {"empty", "text", "number"};
    *out << types[static_cast<int>(value.type)] << " \"" << value.text << "\"";
}

inline void PrintTo(const CellFormat& format, std::ostream* out) {
    *out << (format.bold ? "bold " : "") << (format.italic ? "italic " : "") << format.size
         << " pt, alignment " << (format.alignment ? static_cast<int>(*format.alignment) : -1);
}

}  // namespace vexlo::workbook

namespace vexlo::test {

// The error an action throws, or an error numbered 0 (and a test failure) when it throws none.
template <typename Action>
Error errorOf(Action action) {
    try {
        action();
    } catch (const Error& error) {
        return error;
    }
    ADD_FAILURE() << "no error thrown";
    return Error(0, "");
}

}  // namespace vexlo::test

// Packages for the workbook engine's tests: zip reading and writing, and the template workbook
// built from the parts under data/workbook/template.
namespace vexlo::test {

using Parts = std::vector<std::pair<std::string, std::string>>;

struct ZipContent {
    std::vector<std::string> names;  // in package order
    std::map<std::string, std::string> parts;
};

ZipContent readZip(const std::string& path);
// Parts are compressed, or stored as they are when stored is set.
void writeZip(const std::string& path, const Parts& parts, bool stored = false);
// Makes the zip at path claim that part inflates to size bytes, whatever it holds.
void declareSize(const std::string& path, const std::string& part, std::uint32_t size);

// The template's parts, [Content_Types].xml first.
Parts templateParts();
// The same with one part replaced (or added), or removed when bytes is empty.
Parts withPart(Parts parts, const std::string& name, const std::string& bytes);
// Writes the template package into dir and returns its path.
std::string makeTemplate(const TempDir& dir, const std::string& name = "template.xlsx");

// A python3 that has openpyxl, and the independent checker script.
std::string pythonWithOpenpyxl();
std::string checkerScript();
// Runs a command, returning its exit status and what it printed (stdout and stderr).
std::pair<int, std::string> runCommand(const std::string& command);
std::string shellQuote(const std::string& text);
// Runs the checker script with a subcommand and its arguments, each quoted.
std::pair<int, std::string> runChecker(const std::string& command,
                                       const std::vector<std::string>& arguments);
// Has the checker verify a workbook against expectations given as JSON.
void expectWorkbook(const std::string& path, const std::string& expectations);

}  // namespace vexlo::test
