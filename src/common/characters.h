#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace vexlo {

// Text is UTF-8, and widths and name rules count characters, not bytes. A byte that does not
// begin a well-formed UTF-8 sequence counts as one character of its own, so text in another
// 8-bit encoding still gets a width.
std::size_t characterCount(std::string_view text) noexcept;

// The text less its last count characters; nothing when it has fewer.
std::optional<std::string> withoutLastCharacters(std::string_view text, std::size_t count);

// The value of a hexadecimal digit in either letter case; -1 for any other character.
int hexDigitValue(char c) noexcept;

}  // namespace vexlo
