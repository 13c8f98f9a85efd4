#include "workbook/cellnumber.h"

#include <charconv>
#include <string>

namespace vexlo::workbook {

namespace {

// A spreadsheet keeps 15 significant digits; a longer digit string would not come back as typed.
constexpr int maxSignificantDigits = 15;

}  // namespace

bool isCanonicalNumber(const std::string& text, double& value) {
    std::size_t at = 0;
    const bool negative = !text.empty() && text[0] == '-';
    at += negative ? 1 : 0;
    const std::size_t integerStart = at;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
        ++at;
    }
    const std::size_t integerDigits = at - integerStart;
    if (integerDigits == 0 || (integerDigits > 1 && text[integerStart] == '0')) {
        return false;
    }
    std::size_t fractionDigits = 0;
    if (at < text.size() && text[at] == '.') {
        ++at;
        const std::size_t fractionStart = at;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
            ++at;
        }
        fractionDigits = at - fractionStart;
        if (fractionDigits == 0 || text[at - 1] == '0') {
            return false;
        }
    }
    if (at != text.size()) {
        return false;
    }
    // Significant digits run from the first non-zero digit to the last digit.
    const auto firstSignificant = text.find_first_of("123456789");
    if (firstSignificant == std::string::npos) {
        if (negative) {
            return false;  // "-0"
        }
        value = 0;
        return true;
    }
    const std::size_t digits = text.size() - firstSignificant -
                               (fractionDigits > 0 && firstSignificant < text.find('.') ? 1 : 0);
    if (digits > static_cast<std::size_t>(maxSignificantDigits)) {
        return false;
    }
    // The text is a plain decimal of at most 15 significant digits: it reads as a finite
    // double, and always comes back from it unchanged, but only texts of up to 64 characters
    // are written back ("0." and a hundred zeros stays text).
    double parsed = 0;
    std::from_chars(text.data(), text.data() + text.size(), parsed);
    char buffer[64];
    const auto written =
        std::to_chars(buffer, buffer + sizeof buffer, parsed, std::chars_format::fixed);
    if (written.ec != std::errc() || std::string_view(buffer, written.ptr - buffer) != text) {
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
