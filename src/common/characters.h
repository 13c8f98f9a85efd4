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

// The text as a terminal may show it: control characters written as \n, \r, \t or \xHH, so
// that a name from a design can neither break a line nor send the terminal a command. Every
// other byte, backslashes included, is kept.
std::string printable(std::string_view text);

// The value of a hexadecimal digit in either letter case; -1 for any other character.
int hexDigitValue(char c) noexcept;

// An ASCII capital letter in lower case; every other byte as it is, UTF-8 bytes included.
char lowerAscii(char c) noexcept;
// The text with its ASCII capital letters in lower case.
std::string lowerAscii(std::string text);

// A space or a TAB.
bool isBlank(char c) noexcept;
// The text without the blanks around it.
std::string_view trimBlanks(std::string_view text) noexcept;

}  // namespace vexlo
