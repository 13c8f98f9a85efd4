#pragma once

#include <string>
#include <utility>
#include <vector>

#include "testsupport.h"
#include "workbook/workbook.h"

// Packages for the tests of the workbook engine and the workbook report: the template made of
// the parts under data/workbook/template, and an independent reader of what was written.
namespace vexlo::test {

using Parts = std::vector<std::pair<std::string, std::string>>;

// Every part gets the same time, so that the same parts make the same package.
void writeZip(const std::string& path, const Parts& parts);
// The parts of a folder under data/workbook, [Content_Types].xml first, the rest by name.
Parts folderParts(const std::string& folder = "template");
// Writes the template package into dir and returns its path.
std::string makeTemplate(const TempDir& dir, const std::string& name = "template.xlsx");

// Runs a command, returning its exit status and what it printed (stdout and stderr).
std::pair<int, std::string> runCommand(const std::string& command);
// Runs tests/workbook/workbookcheck.py with a subcommand and its arguments.
std::pair<int, std::string> runChecker(const std::string& command,
                                       const std::vector<std::string>& arguments);
// Has openpyxl read a workbook and check expectations given as JSON.
void expectWorkbook(const std::string& path, const std::string& expectations);

}  // namespace vexlo::test
