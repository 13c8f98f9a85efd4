#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "testsupport.h"
#include "workbook/workbook.h"

// Packages for the workbook engine's tests and the workbook report's: zip reading and writing,
// the template built from the parts under data/workbook/template, and an independent reader.
namespace vexlo::test {

using Parts = std::vector<std::pair<std::string, std::string>>;

// The parts of a zip in package order.
Parts readZip(const std::string& path);
void writeZip(const std::string& path, const Parts& parts);
// The parts of a folder of data/workbook, [Content_Types].xml first, the rest by name.
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
