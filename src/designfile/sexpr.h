#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vexlo::designfile {

// A reader of KiCad's S-expressions that walks the text in place: a list is entered, its items
// are read one by one, and a list of no interest is skipped by counting its parentheses, so that
// a schematic of a hundred megabytes is read without building a tree of it.
class SexprReader {
public:
    enum class Kind { Atom, String, List };

    struct Item {
        Kind kind = Kind::Atom;
        // An atom's text; a string's text between its quotes, escapes not yet read; a list's
        // first atom ("" when the list starts with something else).
        std::string_view raw;
        std::size_t offset = 0;  // where the item starts in the text
        bool escaped = false;    // a string holding a backslash
    };

    // path names the file in messages.
    SexprReader(std::string_view text, std::string path);

    // Enters the one list the text holds, and gives it: what every file starts with.
    Item top();
    // The next item of the list last entered. A list item is entered: read its items to its end,
    // or skip() it. False at the list's closing parenthesis, which is then left.
    bool next(Item& item);
    // The next item of the list last entered that is a list, passing over atoms and strings.
    bool nextList(Item& item);
    // Leaves the list last entered, passing over what is left of it.
    void skip();
    // After the top list: fails unless only blanks follow it, as after a ")" too many.
    void end();
    // The text of an atom or a string, escapes read as KiCad reads them.
    std::string value(const Item& item) const;
    // The next item, which must be an atom or a string, and its text; the list's end is an
    // error naming what was expected.
    std::string nextValue(const char* what);
    // The value of the list just entered, such as "(uuid X)", which is then left.
    std::string listValue(const char* what);

    // Fails with the file, line and column of the offset.
    [[noreturn]] void failAt(std::size_t offset, const std::string& problem) const;
    const std::string& path() const noexcept { return path_; }
    std::string_view text() const noexcept { return text_; }
    std::size_t offset() const noexcept { return at_; }

private:
    void skipBlanks() noexcept;
    std::size_t stringEnd(std::size_t from, bool& escaped) const;
    std::size_t atomEnd(std::size_t from) const noexcept;

    std::string_view text_;
    std::string path_;
    std::size_t at_ = 0;
    std::size_t depth_ = 0;
};

// A string's text with KiCad's escapes read: \" \\ \a \b \f \n \r \t \v, \x and one or two hex
// digits ("\\x" alone is "x"), and one to three octal digits; a backslash before any other
// character is kept with it.
std::string unescapeSexpr(std::string_view raw);

}  // namespace vexlo::designfile
