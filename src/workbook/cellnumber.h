#pragma once

#include <string>

namespace vexlo::workbook {

// True when text is exactly the shortest plain decimal form of a number ("10", "-2.5", "0.1"),
// which is then stored in value. Leading zeros, a "+", exponents, trailing fraction zeros, "-0"
// and more than 15 significant digits are not: such texts stay text, so they never change.
bool isCanonicalNumber(const std::string& text, double& value);

// A text that reads back as value: its canonical form when it has one ("0.1", "0.000001"),
// else the shortest ("1e+20", "0.30000000000000004"); -0 gives "0".
std::string formatNumber(double value);

}  // namespace vexlo::workbook
