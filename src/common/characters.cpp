#include "common/characters.h"

#include <vector>

namespace vexlo {

namespace {

bool isContinuation(unsigned char byte) noexcept {
    return (byte & 0xC0) == 0x80;
}

// Bytes taken by the character starting at `at`.
std::size_t characterLength(std::string_view text, std::size_t at) noexcept {
    const auto lead = static_cast<unsigned char>(text[at]);
    std::size_t length = 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
    }
    if (at + length > text.size()) {
        return 1;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if (!isContinuation(static_cast<unsigned char>(text[at + i]))) {
            return 1;
        }
    }
    return length;
}

}  // namespace

std::size_t characterCount(std::string_view text) noexcept {
    std::size_t count = 0;
    for (std::size_t at = 0; at < text.size(); at += characterLength(text, at)) {
        ++count;
    }
    return count;
}

std::optional<std::string> withoutLastCharacters(std::string_view text, std::size_t count) {
    std::vector<std::size_t> starts;
    for (std::size_t at = 0; at < text.size(); at += characterLength(text, at)) {
        starts.push_back(at);
    }
    if (starts.size() < count) {
        return std::nullopt;
    }
    if (count == 0) {
        return std::string(text);
    }
    return std::string(text.substr(0, starts[starts.size() - count]));
}

int hexDigitValue(char c) noexcept {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

std::string printable(std::string_view text) {
    static const char digits[] = "0123456789abcdef";
    std::string shown;
    shown.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\n') {
            shown += "\\n";
        } else if (c == '\r') {
            shown += "\\r";
        } else if (c == '\t') {
            shown += "\\t";
        } else if (byte < 0x20 || byte == 0x7f) {
            shown += "\\x";
            shown += digits[byte >> 4];
            shown += digits[byte & 15];
        } else {
            shown += c;
        }
    }
    return shown;
}

char lowerAscii(char c) noexcept {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string lowerAscii(std::string text) {
    for (char& c : text) {
        c = lowerAscii(c);
    }
    return text;
}

bool isBlank(char c) noexcept {
    return c == ' ' || c == '\t';
}

std::string_view trimBlanks(std::string_view text) noexcept {
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

}  // namespace vexlo
