#include "workbook/cellnumber.h"

#include <charconv>
#include <cmath>
#include <string>

namespace vexlo::workbook {

namespace {

// A spreadsheet keeps 15 significant digits; a longer digit string would not come back as typed.
constexpr int maxSignificantDigits = 15;

}  // namespace

bool isCanonicalNumber(const std::string& text, double& value) {
    // Significant digits run from the first non-zero digit to the last, the point not counted.
    const auto first = text.find_first_of("123456789"), point = text.find('.');
    const std::size_t digits =
        first == std::string::npos
            ? 0
            : text.size() - first - (point != std::string::npos && point > first ? 1 : 0);
    if (digits > static_cast<std::size_t>(maxSignificantDigits) || text == "-0") {
        return false;
    }
    // The text must come back unchanged from the finite double it reads as, written as a plain
    // decimal: "+1", "01", "1.50", "1e5" or text after the number do not. Only texts of up to 64
    // characters are written back ("0." and a hundred zeros stays text).
    double parsed = 0;
    std::from_chars(text.data(), text.data() + text.size(), parsed);
    char buffer[64];
    const auto written =
        std::to_chars(buffer, buffer + sizeof buffer, parsed, std::chars_format::fixed);
    if (!std::isfinite(parsed) || written.ec != std::errc() ||
        std::string_view(buffer, written.ptr - buffer) != text) {
        return false;
    }
    value = parsed;
    return true;
}

std::string formatNumber(double value) {
    if (value == 0) {
        return "0";
    }
    // The plain decimal form when it is canonical, so that the text reads as typed; the shortest
    // form otherwise ("1e+20").
    char buffer[400];
    auto written = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    if (written.ec == std::errc()) {
        std::string plain(buffer, written.ptr);
        double same = 0;
        if (isCanonicalNumber(plain, same)) {
            return plain;
        }
    }
    written = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, written.ptr);
}

}  // namespace vexlo::workbook
