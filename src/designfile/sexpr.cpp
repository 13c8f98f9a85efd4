#include "designfile/sexpr.h"

#include <cstring>

#include "common/characters.h"
#include "designfile/designerror.h"

namespace vexlo::designfile {

namespace {

bool isBlank(char c) noexcept {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

bool endsAtom(char c) noexcept {
    return isBlank(c) || c == '(' || c == ')' || c == '"';
}

// The character a backslash and c stand for; 0 when the pair is no escape KiCad knows, and then
// stands for itself, backslash included.
char simpleEscape(char c) noexcept {
    switch (c) {
        case '"':
        case '\\':
            return c;
        case 'a':
            return '\a';
        case 'b':
            return '\b';
        case 'f':
            return '\f';
        case 'n':
            return '\n';
        case 'r':
            return '\r';
        case 't':
            return '\t';
        case 'v':
            return '\v';
        default:
            return 0;
    }
}

}  // namespace

std::string unescapeSexpr(std::string_view raw) {
    std::string text;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '\\' || i + 1 == raw.size()) {
            text += raw[i];
            continue;
        }
        const char c = raw[++i];
        if (c == 'x') {
            int code = 0;
            int digits = 0;
            while (digits < 2 && i + 1 < raw.size() && hexDigitValue(raw[i + 1]) >= 0) {
                code = code * 16 + hexDigitValue(raw[++i]);
                ++digits;
            }
            text += digits == 0 ? 'x' : static_cast<char>(code);
        } else if (c >= '0' && c <= '7') {
            int code = c - '0';
            for (int more = 0;
                 more < 2 && i + 1 < raw.size() && raw[i + 1] >= '0' && raw[i + 1] <= '7'; ++more) {
                code = code * 8 + (raw[++i] - '0');
            }
            text += static_cast<char>(code);
        } else if (const char escaped = simpleEscape(c); escaped != 0) {
            text += escaped;
        } else {
            text += '\\';
            text += c;
        }
    }
    return text;
}

SexprReader::SexprReader(std::string_view text, std::string path)
    : text_(text), path_(std::move(path)) {}

void SexprReader::failAt(std::size_t offset, const std::string& problem) const {
    designfile::failAt(path_, text_, offset, problem);
}

void SexprReader::skipBlanks() noexcept {
    while (at_ < text_.size() && isBlank(text_[at_])) {
        ++at_;
    }
}

// The offset just past the closing quote of the string whose opening quote is at from.
std::size_t SexprReader::stringEnd(std::size_t from, bool& escaped) const {
    escaped = false;
    // A plain loop: find_first_of looks each byte up in the set of stops, several times slower.
    for (std::size_t at = from + 1; at < text_.size(); ++at) {
        if (text_[at] == '"') {
            return at + 1;
        }
        if (text_[at] == '\\') {
            escaped = true;
            ++at;
        }
    }
    failAt(from, "a string that is never closed");
}

std::size_t SexprReader::atomEnd(std::size_t from) const noexcept {
    std::size_t at = from;
    while (at < text_.size() && !endsAtom(text_[at])) {
        ++at;
    }
    return at;
}

SexprReader::Item SexprReader::top() {
    skipBlanks();
    if (at_ >= text_.size() || text_[at_] != '(') {
        failAt(at_, "expected \"(\" at the start of the file");
    }
    Item item;
    if (!next(item) || item.kind != Kind::List) {
        failAt(at_, "expected \"(\" at the start of the file");
    }
    return item;
}

bool SexprReader::next(Item& item) {
    skipBlanks();
    if (at_ >= text_.size()) {
        if (depth_ == 0) {
            failAt(at_, "the text ends where an item was expected");
        }
        failAt(at_, "the file ends inside a list: a \")\" is missing");
    }
    item = Item{};
    item.offset = at_;
    const char c = text_[at_];
    if (c == ')') {
        if (depth_ == 0) {
            failAt(at_, "a \")\" that closes no list");
        }
        ++at_;
        --depth_;
        return false;
    }
    if (c == '(') {
        ++at_;
        ++depth_;
        item.kind = Kind::List;
        skipBlanks();
        if (at_ < text_.size() && !endsAtom(text_[at_])) {
            const std::size_t end = atomEnd(at_);
            item.raw = text_.substr(at_, end - at_);
            at_ = end;
        }
        return true;
    }
    if (c == '"') {
        const std::size_t end = stringEnd(at_, item.escaped);
        item.kind = Kind::String;
        item.raw = text_.substr(at_ + 1, end - at_ - 2);
        at_ = end;
        return true;
    }
    const std::size_t end = atomEnd(at_);
    item.raw = text_.substr(at_, end - at_);
    at_ = end;
    return true;
}

bool SexprReader::nextList(Item& item) {
    while (next(item)) {
        if (item.kind == Kind::List) {
            return true;
        }
    }
    return false;
}

void SexprReader::skip() {
    if (depth_ == 0) {
        return;
    }
    const std::size_t target = depth_ - 1;
    std::size_t at = at_;
    std::size_t depth = depth_;
    while (depth > target) {
        if (at >= text_.size()) {
            at_ = text_.size();
            failAt(at_, "the file ends inside a list: a \")\" is missing");
        }
        const char c = text_[at];
        if (c == '"') {
            bool escaped;  // set by stringEnd; a skipped string's escapes are never read
            at = stringEnd(at, escaped);
            continue;
        }
        depth += c == '(' ? 1 : c == ')' ? -1 : 0;
        ++at;
    }
    at_ = at;
    depth_ = target;
}

void SexprReader::end() {
    skipBlanks();
    if (at_ == text_.size()) {
        return;
    }
    failAt(at_, text_[at_] == ')' ? "a \")\" that closes no list"
                                  : "more text after the list the file holds: is a \")\" too "
                                    "many before it?");
}

std::string SexprReader::value(const Item& item) const {
    return item.escaped ? unescapeSexpr(item.raw) : std::string(item.raw);
}

std::string SexprReader::nextValue(const char* what) {
    Item item;
    const std::size_t before = at_;
    if (!next(item)) {
        failAt(before, std::string("expected ") + what);
    }
    if (item.kind == Kind::List) {
        failAt(item.offset, std::string("expected ") + what + ", not a list");
    }
    return value(item);
}

std::string SexprReader::listValue(const char* what) {
    std::string text = nextValue(what);
    skip();
    return text;
}

}  // namespace vexlo::designfile
