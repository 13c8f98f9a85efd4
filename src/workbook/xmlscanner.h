#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vexlo::workbook::xml {

// A start or end tag as the scanner meets it. Offsets count bytes of the scanned text.
struct Tag {
    std::string_view name;        // qualified, as written
    std::string_view attributes;  // what follows the name in a start tag; empty in an end tag
    std::uint64_t attributesAt = 0;
    std::uint64_t begin = 0;  // the "<"
    std::uint64_t end = 0;    // just past the ">"
    int depth = 0;            // 1 for the root element
    bool empty = false;       // written as <name/>

    struct Value {
        std::string_view raw;  // between the quotes, as written
        std::uint64_t at = 0;
    };
    // The attribute of that qualified name, if the tag has it.
    std::optional<Value> attribute(std::string_view qualifiedName) const;
};

// What a scanner reports, in document order. The character data between two pieces of markup,
// and a CDATA section, is a run that may come in several pieces: `continued` marks each piece
// after a run's first.
class ScanHandler {
public:
    virtual ~ScanHandler() = default;
    // An empty element is reported as a start and an end with the same tag.
    virtual void startElement(const Tag& tag) = 0;
    virtual void endElement(const Tag& tag) = 0;
    virtual void text(std::string_view /*raw*/, bool /*cdata*/, bool /*continued*/) {}
};

// Walks XML fed a piece at a time without building a tree, so that a part the engine only
// counts in or copies from is read in memory bounded by its longest tag, whatever its size.
// The structure is checked as a parser would: tags, their nesting and one root element;
// comments, CDATA sections and processing instructions closed. References are left to whoever
// decodes text (decodeText), and as with pugixml an unknown one is no error. A document type
// declaration is refused: no part of a package may have one. Text in UTF-16 (with its byte
// order mark) is scanned as UTF-8.
class XmlScanner final {
public:
    explicit XmlScanner(ScanHandler& handler) : handler_(handler) {}
    XmlScanner(const XmlScanner&) = delete;
    XmlScanner& operator=(const XmlScanner&) = delete;

    // Each returns false once the text is found malformed; error() then says how and at which
    // byte, as pugixml would.
    bool feed(std::string_view bytes);
    bool finish();
    const std::string& error() const noexcept { return error_; }
    // Whether offsets are those of the bytes fed: the text was not UTF-16.
    bool utf8() const noexcept {
        return encoding_ != Encoding::Utf16LittleEndian && encoding_ != Encoding::Utf16BigEndian;
    }

private:
    enum class Mode : std::uint8_t { Markup, Comment, CData, Instruction };
    enum class Encoding : std::uint8_t { Unknown, Utf8, Utf16LittleEndian, Utf16BigEndian };

    bool detect(std::string_view& bytes, bool final);
    std::string_view decode(std::string_view bytes, bool final);
    bool process(std::string_view bytes, bool final);
    std::size_t scan(std::string_view data, bool final);
    bool scanSection(std::string_view data, std::size_t& at, bool final);
    void scanText(std::string_view data, std::size_t& at);
    bool scanStartTag(std::string_view data, std::size_t& at, bool final);
    bool scanEndTag(std::string_view data, std::size_t& at, bool final);
    void fail(const char* what, std::uint64_t at);

    ScanHandler& handler_;
    std::string buffer_;        // the start of an unfinished tag, kept for the next piece
    std::uint64_t offset_ = 0;  // of the first byte not consumed yet
    Mode mode_ = Mode::Markup;
    std::uint64_t sectionAt_ = 0;  // where the comment, CDATA section or instruction began
    std::size_t resume_ = 0;       // how far into an unfinished tag the search for its end got
    char quote_ = 0;               // the quote of the attribute value it stopped in
    bool textRun_ = false;         // the next text piece continues a run
    bool rootSeen_ = false;
    std::string openNames_;  // the names of the open elements, one after another
    std::vector<std::size_t> openStarts_;
    std::string error_;

    Encoding encoding_ = Encoding::Unknown;
    std::string undecoded_;  // bytes awaiting the rest of their character
    std::string decoded_;
};

// Character data as a parser gives it: line ends as "\n" and, outside CDATA, the predefined
// and numeric references decoded (others are kept as written). The numbers and names the
// engine reads from attribute values read the same whether white space in them is normalised.
std::string decodeText(std::string_view raw, bool cdata);

}  // namespace vexlo::workbook::xml
