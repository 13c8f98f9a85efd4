#pragma once

#include <string>
#include <string_view>

namespace vexlo::report {

// Appends a comma-separated field: quoted when it holds a comma, a double quote, CR or LF, with
// every double quote inside doubled; any other field as it is.
void appendCsvField(std::string& line, std::string_view text);

}  // namespace vexlo::report
