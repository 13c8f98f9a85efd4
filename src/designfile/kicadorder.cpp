#include "designfile/kicadorder.h"

#include <cstdint>
#include <optional>

namespace vexlo::designfile {

namespace {

bool isDigit(char c) noexcept {
    return c >= '0' && c <= '9';
}

char upper(char c) noexcept {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// The run of digits at `at` (which it passes), as a value that saturates instead of wrapping.
std::uint64_t digitRun(std::string_view text, std::size_t& at) noexcept {
    std::uint64_t value = 0;
    for (; at < text.size() && isDigit(text[at]); ++at) {
        const std::uint64_t digit = static_cast<std::uint64_t>(text[at] - '0');
        value = value > (UINT64_MAX - digit) / 10 ? UINT64_MAX : value * 10 + digit;
    }
    return value;
}

// A page number that is a whole number, as KiCad reads one: an optional sign and digits.
std::optional<std::int64_t> wholeNumber(std::string_view page) noexcept {
    const bool negative = page.starts_with('-');
    std::string_view digits = page.substr(negative || page.starts_with('+') ? 1 : 0);
    if (digits.empty() || digits.size() > 18) {
        return std::nullopt;
    }
    std::int64_t value = 0;
    for (const char c : digits) {
        if (!isDigit(c)) {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    return negative ? -value : value;
}

}  // namespace

int compareKicadText(std::string_view left, std::string_view right, bool ignoreCase) noexcept {
    std::size_t l = 0, r = 0;
    while (l < left.size() && r < right.size()) {
        if (isDigit(left[l]) && isDigit(right[r])) {
            const std::uint64_t leftValue = digitRun(left, l);
            const std::uint64_t rightValue = digitRun(right, r);
            if (leftValue != rightValue) {
                return leftValue < rightValue ? -1 : 1;
            }
            continue;
        }
        const auto a = static_cast<unsigned char>(ignoreCase ? upper(left[l]) : left[l]);
        const auto b = static_cast<unsigned char>(ignoreCase ? upper(right[r]) : right[r]);
        if (a != b) {
            return a < b ? -1 : 1;
        }
        ++l;
        ++r;
    }
    if (l < left.size() || r < right.size()) {
        return l < left.size() ? 1 : -1;
    }
    return 0;
}

bool pageOrderLess(std::string_view leftPage, std::string_view leftName, std::string_view rightPage,
                   std::string_view rightName) noexcept {
    if (leftPage == rightPage) {
        return leftName < rightName;
    }
    const auto leftNumber = wholeNumber(leftPage);
    const auto rightNumber = wholeNumber(rightPage);
    if (leftNumber && rightNumber) {
        return *leftNumber < *rightNumber;
    }
    if (leftNumber || rightNumber) {
        return leftNumber.has_value();
    }
    return compareKicadText(leftPage, rightPage, false) < 0;
}

}  // namespace vexlo::designfile
