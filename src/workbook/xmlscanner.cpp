#include "workbook/xmlscanner.h"

#include <algorithm>
#include <charconv>

#include "workbook/xml.h"

namespace vexlo::workbook::xml {

namespace {

// Elements nested deeper than this are refused: no part of a workbook comes near it, and the
// names of the open elements are all the scanner keeps of a part.
constexpr std::size_t maxDepth = 1000;

constexpr std::size_t none = std::string_view::npos;

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool isNameStart(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || byte == '_' ||
           byte == ':' || byte >= 0x80;
}

bool isNameChar(char c) {
    return isNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

// Length of the name text starts with; 0 when it starts with none.
std::size_t nameLength(std::string_view text) {
    if (text.empty() || !isNameStart(text[0])) {
        return 0;
    }
    std::size_t length = 1;
    while (length < text.size() && isNameChar(text[length])) {
        ++length;
    }
    return length;
}

// Walks the attributes of a start tag (the text after its name, up to its ">"), calling
// visit(name, raw value, where the value starts) until it returns true. Returns where the text
// breaks the syntax, or none.
template <typename Visit>
std::size_t walkAttributes(std::string_view text, Visit visit) {
    const auto skipSpace = [&](std::size_t at) {
        while (at < text.size() && isSpace(text[at])) {
            ++at;
        }
        return at;
    };
    for (std::size_t at = 0;;) {
        const std::size_t spaceStart = at;
        at = skipSpace(at);
        if (at == text.size() || (text[at] == '/' && at + 1 == text.size())) {
            return none;
        }
        const std::size_t length = at == spaceStart ? 0 : nameLength(text.substr(at));
        if (length == 0) {
            return at;  // attributes are set apart by white space
        }
        const std::string_view name = text.substr(at, length);
        at = skipSpace(at + length);
        if (at == text.size() || text[at] != '=') {
            return at;
        }
        at = skipSpace(at + 1);
        if (at == text.size() || (text[at] != '"' && text[at] != '\'')) {
            return at;
        }
        const std::size_t close = text.find(text[at], at + 1);
        if (close == none) {
            return at;
        }
        if (visit(name, text.substr(at + 1, close - at - 1), at + 1)) {
            return none;
        }
        at = close + 1;
    }
}

// Decodes the reference text starts with ("&amp;", "&#65;") onto out; returns its length, or 0
// when it is none a parser knows.
std::size_t decodeReference(std::string_view text, std::string& out) {
    const auto semicolon = text.substr(0, 16).find(';');
    if (semicolon == none || semicolon < 2) {
        return 0;
    }
    const std::string_view name = text.substr(1, semicolon - 1);
    static constexpr std::pair<std::string_view, char> predefined[] = {
        {"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"quot", '"'}, {"apos", '\''}};
    for (const auto& [entity, character] : predefined) {
        if (name == entity) {
            out += character;
            return semicolon + 1;
        }
    }
    if (name[0] != '#' || name.size() < 2) {
        return 0;
    }
    const bool hex = name[1] == 'x';
    const std::string_view digits = name.substr(hex ? 2 : 1);
    std::uint32_t value = 0;
    const auto [end, failure] =
        std::from_chars(digits.data(), digits.data() + digits.size(), value, hex ? 16 : 10);
    if (digits.empty() || failure != std::errc() || end != digits.data() + digits.size() ||
        value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return 0;
    }
    appendUtf8(out, value);
    return semicolon + 1;
}

}  // namespace

std::optional<Tag::Value> Tag::attribute(std::string_view qualifiedName) const {
    std::optional<Value> found;
    walkAttributes(attributes, [&](std::string_view name, std::string_view raw, std::size_t at) {
        if (name == qualifiedName) {
            found = Value{raw, attributesAt + at};
        }
        return found.has_value();
    });
    return found;
}

std::string decodeText(std::string_view raw, bool cdata) {
    std::string text;
    text.reserve(raw.size());
    for (std::size_t at = 0; at < raw.size();) {
        const char c = raw[at];
        if (c == '\r') {
            text += '\n';
            at += at + 1 < raw.size() && raw[at + 1] == '\n' ? 2 : 1;
        } else if (const std::size_t used =
                       c == '&' && !cdata ? decodeReference(raw.substr(at), text) : 0) {
            at += used;
        } else {
            text += c;
            ++at;
        }
    }
    return text;
}

bool XmlScanner::feed(std::string_view bytes) {
    return detect(bytes, false) && process(decode(bytes, false), false);
}

bool XmlScanner::finish() {
    std::string_view nothing;
    if (!detect(nothing, true) || !process(decode({}, true), true)) {
        return false;
    }
    if (!openStarts_.empty() || !buffer_.empty()) {
        fail("Unexpected end of data", offset_ + buffer_.size());
    } else if (!rootSeen_) {
        fail("No document element found", offset_);
    }
    return error_.empty();
}

// The first three bytes tell the encoding; they are taken from bytes and scanned once it is
// known. A UTF-8 byte order mark is skipped but counted.
bool XmlScanner::detect(std::string_view& bytes, bool final) {
    if (encoding_ != Encoding::Unknown) {
        return true;
    }
    const std::size_t taken = std::min(bytes.size(), 3 - undecoded_.size());
    undecoded_.append(bytes.substr(0, taken));
    bytes.remove_prefix(taken);
    if (undecoded_.size() < 3 && !final) {
        return true;
    }
    const std::string head = std::move(undecoded_);
    undecoded_.clear();
    std::size_t mark = 0;
    if (head.substr(0, 3) == "\xEF\xBB\xBF") {
        encoding_ = Encoding::Utf8, mark = 3;
    } else if (head.substr(0, 2) == "\xFF\xFE" || head.substr(0, 2) == std::string("<\0", 2)) {
        encoding_ = Encoding::Utf16LittleEndian, mark = head[0] == '<' ? 0 : 2;
    } else if (head.substr(0, 2) == "\xFE\xFF" || head.substr(0, 2) == std::string("\0<", 2)) {
        encoding_ = Encoding::Utf16BigEndian, mark = head[1] == '<' ? 0 : 2;
    } else {
        encoding_ = Encoding::Utf8;
    }
    offset_ = encoding_ == Encoding::Utf8 ? mark : 0;
    return process(decode(std::string_view(head).substr(mark), false), false);
}

// UTF-8 passes as it is. UTF-16 becomes UTF-8, a character split between pieces waiting for its
// rest; unpaired surrogates become U+FFFD.
std::string_view XmlScanner::decode(std::string_view bytes, bool final) {
    if (utf8()) {
        return bytes;  // nothing while the encoding is not known yet
    }
    undecoded_.append(bytes);
    decoded_.clear();
    const bool little = encoding_ == Encoding::Utf16LittleEndian;
    const auto unitAt = [&](std::size_t at) {
        const auto first = static_cast<unsigned char>(undecoded_[at]);
        const auto second = static_cast<unsigned char>(undecoded_[at + 1]);
        return static_cast<char32_t>(little ? first | second << 8 : first << 8 | second);
    };
    std::size_t at = 0;
    while (at + 2 <= undecoded_.size()) {
        char32_t unit = unitAt(at);
        std::size_t length = 2;
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (at + 4 > undecoded_.size() && !final) {
                break;
            }
            const char32_t low = at + 4 <= undecoded_.size() ? unitAt(at + 2) : 0;
            if (low >= 0xDC00 && low <= 0xDFFF) {
                unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                length = 4;
            } else {
                unit = 0xFFFD;
            }
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            unit = 0xFFFD;
        }
        appendUtf8(decoded_, unit);
        at += length;
    }
    undecoded_.erase(0, at);
    if (final && !undecoded_.empty()) {
        appendUtf8(decoded_, 0xFFFD);
        undecoded_.clear();
    }
    return decoded_;
}

bool XmlScanner::process(std::string_view bytes, bool final) {
    if (!error_.empty()) {
        return false;
    }
    std::size_t used = 0;
    if (buffer_.empty()) {
        used = scan(bytes, final);
        buffer_.assign(bytes.substr(std::min(used, bytes.size())));
    } else {
        buffer_.append(bytes);
        used = scan(buffer_, final);
        buffer_.erase(0, used);
    }
    offset_ += used;
    return error_.empty();
}

std::size_t XmlScanner::scan(std::string_view data, bool final) {
    std::size_t at = 0;
    while (error_.empty()) {
        if (mode_ != Mode::Markup) {
            if (!scanSection(data, at, final)) {
                break;
            }
            continue;
        }
        if (at == data.size()) {
            break;
        }
        if (data[at] != '<') {
            scanText(data, at);
            continue;
        }
        const std::string_view rest = data.substr(at);
        const auto startsWith = [&](std::string_view literal) {
            return rest.substr(0, literal.size()) == literal;
        };
        const auto mayBecome = [&](std::string_view literal) {
            return rest.size() < literal.size() && literal.substr(0, rest.size()) == rest;
        };
        if (!final && (rest.size() < 2 || mayBecome("<!--") || mayBecome("<![CDATA[") ||
                       mayBecome("<!DOCTYPE"))) {
            break;
        }
        textRun_ = false;
        const std::uint64_t here = offset_ + at;
        if (startsWith("<!--") || startsWith("<![CDATA[") || startsWith("<?")) {
            mode_ = rest[1] == '?'   ? Mode::Instruction
                    : rest[2] == '-' ? Mode::Comment
                                     : Mode::CData;
            sectionAt_ = here;
            at += mode_ == Mode::Instruction ? 2 : mode_ == Mode::Comment ? 4 : 9;
            if (mode_ == Mode::CData && openStarts_.empty()) {
                fail("Error parsing CDATA section", here);
            }
        } else if (startsWith("<!DOCTYPE")) {
            fail("Document type declarations are not allowed", here);
        } else if (startsWith("<!")) {
            fail("Unrecognized tag", here + 1);
        } else if (!(startsWith("</") ? scanEndTag(data, at, final)
                                      : scanStartTag(data, at, final))) {
            break;
        }
    }
    return at;
}

// Comments and instructions are skipped and CDATA sections reported as text, a piece at a time:
// what the scanner keeps of one is the start of its terminator.
bool XmlScanner::scanSection(std::string_view data, std::size_t& at, bool final) {
    const std::string_view terminator = mode_ == Mode::Comment ? "-->"
                                        : mode_ == Mode::CData ? "]]>"
                                                               : "?>";
    const std::size_t end = data.find(terminator, at);
    const bool cdata = mode_ == Mode::CData;
    if (end == none) {
        if (final) {
            fail(mode_ == Mode::Comment ? "Error parsing comment"
                 : cdata                ? "Error parsing CDATA section"
                         : "Error parsing document declaration/processing instruction",
                 sectionAt_);
        } else {
            const std::size_t safe =
                std::max(at, data.size() - std::min(data.size(), terminator.size() - 1));
            if (cdata && safe > at) {
                handler_.text(data.substr(at, safe - at), true, textRun_);
                textRun_ = true;
            }
            at = safe;
        }
        return false;
    }
    if (cdata && (!textRun_ || end > at)) {
        handler_.text(data.substr(at, end - at), true, textRun_);
    }
    at = end + terminator.size();
    mode_ = Mode::Markup;
    textRun_ = false;
    return true;
}

void XmlScanner::scanText(std::string_view data, std::size_t& at) {
    const std::size_t end = std::min(data.find('<', at), data.size());
    const std::string_view piece = data.substr(at, end - at);
    if (openStarts_.empty()) {
        const auto visible = std::find_if_not(piece.begin(), piece.end(), isSpace);
        if (visible != piece.end()) {
            fail("Text outside the root element", offset_ + at + (visible - piece.begin()));
            return;
        }
    } else {
        handler_.text(piece, false, textRun_);
        textRun_ = true;
    }
    at = end;
}

bool XmlScanner::scanStartTag(std::string_view data, std::size_t& at, bool final) {
    // The tag ends at the first ">" outside quotes; an unfinished one is searched on from where
    // the last piece ended.
    std::size_t end = at + std::max<std::size_t>(1, resume_);
    char quote = quote_;
    for (; end < data.size(); ++end) {
        const char c = data[end];
        if (quote != 0) {
            quote = c == quote ? 0 : quote;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            break;
        }
    }
    if (end == data.size()) {
        if (final) {
            fail("Error parsing start element tag", offset_ + at + 1);
        }
        resume_ = end - at;
        quote_ = quote;
        return false;
    }
    resume_ = 0;
    quote_ = 0;
    const std::string_view inside = data.substr(at + 1, end - at - 1);
    const std::size_t nameEnd = nameLength(inside);
    Tag tag;
    tag.name = inside.substr(0, nameEnd);
    tag.attributes = inside.substr(nameEnd);
    tag.attributesAt = offset_ + at + 1 + nameEnd;
    tag.begin = offset_ + at;
    tag.end = offset_ + end + 1;
    tag.depth = static_cast<int>(openStarts_.size()) + 1;
    tag.empty = !tag.attributes.empty() && tag.attributes.back() == '/';
    const std::size_t broken = walkAttributes(
        tag.attributes, [](std::string_view, std::string_view, std::size_t) { return false; });
    if (nameEnd == 0) {
        fail("Error parsing start element tag", tag.begin + 1);
    } else if (broken != none) {
        fail("Error parsing element attribute", tag.attributesAt + broken);
    } else if (openStarts_.empty() && rootSeen_) {
        fail("Content after the root element", tag.begin);
    } else if (openStarts_.size() >= maxDepth) {
        fail("Elements nested too deep", tag.begin);
    }
    if (!error_.empty()) {
        return false;
    }
    rootSeen_ = true;
    at = end + 1;
    if (!tag.empty) {
        openStarts_.push_back(openNames_.size());
        openNames_.append(tag.name);
    }
    handler_.startElement(tag);
    if (tag.empty) {
        handler_.endElement(tag);
    }
    return true;
}

bool XmlScanner::scanEndTag(std::string_view data, std::size_t& at, bool final) {
    const std::size_t end = data.find('>', at + std::max<std::size_t>(2, resume_));
    if (end == none) {
        if (final) {
            fail("Error parsing end element tag", offset_ + at + 2);
        }
        resume_ = data.size() - at;
        return false;
    }
    resume_ = 0;
    const std::string_view inside = data.substr(at + 2, end - at - 2);
    const std::size_t nameEnd = nameLength(inside);
    Tag tag;
    tag.name = inside.substr(0, nameEnd);
    tag.begin = offset_ + at;
    tag.end = offset_ + end + 1;
    tag.depth = static_cast<int>(openStarts_.size());
    if (openStarts_.empty() ||
        std::string_view(openNames_).substr(openStarts_.back()) != tag.name) {
        fail("Start-end tags mismatch", tag.begin + 2);
    } else if (!std::all_of(inside.begin() + nameEnd, inside.end(), isSpace)) {
        fail("Error parsing end element tag", tag.begin + 2 + nameEnd);
    }
    if (!error_.empty()) {
        return false;
    }
    openNames_.resize(openStarts_.back());
    openStarts_.pop_back();
    at = end + 1;
    handler_.endElement(tag);
    return true;
}

void XmlScanner::fail(const char* what, std::uint64_t at) {
    if (error_.empty()) {
        error_ = std::string(what) + " at byte " + std::to_string(at);
    }
}

}  // namespace vexlo::workbook::xml
