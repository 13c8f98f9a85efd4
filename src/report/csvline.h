#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vexlo::report {

// Appends a field of the compressed table "temp.csv": quoted when it holds a comma, a double
// quote, CR or LF, with every double quote inside doubled; any other field as it is.
void appendCsvField(std::string& line, std::string_view text);

// The fields of one line of "temp.csv" as the text and HTML writers read them. A field starting
// with a double quote runs to the next double quote that is not doubled (a doubled one stands
// for one quote); the character after the closing quote, the comma, is skipped. Other fields
// end at the next comma. An empty line, or a line ending in a comma, gives a final empty field.
std::vector<std::string> splitCsvFields(std::string_view line);

}  // namespace vexlo::report
