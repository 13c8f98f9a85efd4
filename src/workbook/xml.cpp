#include "workbook/xml.h"

#include "common/characters.h"

namespace vexlo::workbook::xml {

namespace {

// A pugixml writer that appends to a string.
struct StringWriter final : pugi::xml_writer {
    std::string text;
    void write(const void* data, std::size_t size) override {
        text.append(static_cast<const char*>(data), size);
    }
};

// Length of the valid UTF-8 sequence at the start of bytes and its code point; 0 if invalid
// (overlong forms, surrogates and values past U+10FFFF included).
std::size_t decodeUtf8(std::string_view bytes, std::size_t at, char32_t& codePoint) {
    const auto lead = static_cast<unsigned char>(bytes[at]);
    std::size_t length = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, minimum = 0x80, codePoint = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, minimum = 0x800, codePoint = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, minimum = 0x10000, codePoint = lead & 0x07;
    } else {
        return 0;
    }
    if (at + length > bytes.size()) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(bytes[at + i]);
        if ((next & 0xC0) != 0x80) {
            return 0;
        }
        codePoint = (codePoint << 6) | (next & 0x3F);
    }
    if (codePoint < minimum || codePoint > 0x10FFFF ||
        (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
        return 0;
    }
    return length;
}

// The code unit of an _xHHHH_ escape starting at text[at], or -1.
long escapeAt(std::string_view text, std::size_t at) {
    if (at + 7 > text.size() || text[at] != '_' || text[at + 1] != 'x' || text[at + 6] != '_') {
        return -1;
    }
    long value = 0;
    for (std::size_t i = at + 2; i < at + 6; ++i) {
        const int digit = hexDigitValue(text[i]);
        if (digit < 0) {
            return -1;
        }
        value = value * 16 + digit;
    }
    return value;
}

void appendEscape(std::string& out, char32_t codeUnit) {
    static const char digits[] = "0123456789ABCDEF";
    out += "_x";
    for (int shift = 12; shift >= 0; shift -= 4) {
        out += digits[(codeUnit >> shift) & 0xF];
    }
    out += '_';
}

void appendEscaped(std::string& out, std::string_view text, bool attribute) {
    out.reserve(out.size() + text.size());
    for (std::size_t at = 0; at < text.size();) {
        const char byte = text[at];
        switch (byte) {
            case '&':
                out += "&amp;";
                ++at;
                continue;
            case '<':
                out += "&lt;";
                ++at;
                continue;
            case '>':
                out += "&gt;";
                ++at;
                continue;
            case '"':
                out += attribute ? "&quot;" : "\"";
                ++at;
                continue;
            case '\t':
            case '\n':
                out += attribute ? (byte == '\t' ? "&#9;" : "&#10;") : std::string_view(&byte, 1);
                ++at;
                continue;
            case '_':
                // A literal "_xHHHH_" would read back as an escape: escape its underscore.
                if (!attribute && escapeAt(text, at) >= 0) {
                    out += "_x005F_";
                } else {
                    out += '_';
                }
                ++at;
                continue;
            default:
                break;
        }
        char32_t codePoint = 0;
        std::size_t length = decodeUtf8(text, at, codePoint);
        if (length == 0) {
            codePoint = static_cast<unsigned char>(byte);
            length = 1;
        }
        if (codePoint < 0x20 || codePoint == 0xFFFE || codePoint == 0xFFFF) {
            if (attribute) {
                out += "&#" + std::to_string(codePoint) + ";";
            } else {
                appendEscape(out, codePoint);
            }
        } else if (length == 1 && codePoint >= 0x80) {
            appendUtf8(out, codePoint);
        } else {
            out.append(text.substr(at, length));
        }
        at += length;
    }
}

}  // namespace

std::string_view localName(std::string_view qualifiedName) {
    const auto colon = qualifiedName.find(':');
    return colon == std::string_view::npos ? qualifiedName : qualifiedName.substr(colon + 1);
}

std::string prefixOf(std::string_view qualifiedName) {
    const auto colon = qualifiedName.find(':');
    return colon == std::string_view::npos ? std::string()
                                           : std::string(qualifiedName.substr(0, colon + 1));
}

void appendUtf8(std::string& out, char32_t codePoint) {
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (codePoint >> 18));
        out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

pugi::xml_node child(pugi::xml_node parent, std::string_view name) {
    for (pugi::xml_node node : parent.children()) {
        if (node.type() == pugi::node_element && localName(node.name()) == name) {
            return node;
        }
    }
    return {};
}

pugi::xml_attribute attribute(pugi::xml_node node, std::string_view name) {
    for (pugi::xml_attribute candidate : node.attributes()) {
        if (localName(candidate.name()) == name) {
            return candidate;
        }
    }
    return {};
}

std::string parse(pugi::xml_document& document, std::string_view xml, unsigned options,
                  std::ptrdiff_t sliceStart) {
    const pugi::xml_parse_result result = document.load_buffer(xml.data(), xml.size(), options);
    if (result) {
        if (!document.document_element()) {
            return "no root element";
        }
        // Whatever the part was encoded in, it is written back as UTF-8.
        const pugi::xml_node declaration = document.first_child();
        if (declaration.type() == pugi::node_declaration && declaration.attribute("encoding")) {
            declaration.attribute("encoding").set_value("UTF-8");
        }
        return {};
    }
    return std::string(result.description()) + " at byte " +
           std::to_string(result.offset + sliceStart);
}

std::string print(pugi::xml_node node) {
    StringWriter writer;
    node.print(writer, "", pugi::format_raw);
    return std::move(writer.text);
}

std::string printDocument(const pugi::xml_document& document) {
    StringWriter writer;
    document.save(writer, "", pugi::format_raw | pugi::format_no_declaration);
    return std::move(writer.text);
}

void appendText(std::string& out, std::string_view text) {
    appendEscaped(out, text, false);
}

void appendAttribute(std::string& out, std::string_view value) {
    appendEscaped(out, value, true);
}

std::string decodeEscapes(std::string_view text) {
    if (text.find("_x") == std::string_view::npos) {
        return std::string(text);
    }
    std::string decoded;
    decoded.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        long unit = escapeAt(text, at);
        std::size_t length = 7;
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            // A character past U+FFFF is written as two escapes of its UTF-16 halves.
            const long low = escapeAt(text, at + 7);
            unit = low >= 0xDC00 && low <= 0xDFFF
                       ? 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00)
                       : -1;
            length = 14;
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            unit = -1;
        }
        if (unit < 0) {
            decoded += text[at++];
            continue;
        }
        appendUtf8(decoded, static_cast<char32_t>(unit));
        at += length;
    }
    return decoded;
}

}  // namespace vexlo::workbook::xml
