#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "workbook/xmlscanner.h"

namespace vexlo::workbook::xml {
namespace {

// Writes down what a scanner reports, a run of text as one entry however it was split.
class Log final : public ScanHandler {
public:
    std::vector<std::string> entries;

    void startElement(const Tag& tag) override {
        entries.push_back("<" + std::string(tag.name) + " " + std::to_string(tag.depth) + " @" +
                          std::to_string(tag.begin) + "-" + std::to_string(tag.end) +
                          (tag.empty ? " empty" : "") + attributeEntry(tag));
    }
    void endElement(const Tag& tag) override {
        entries.push_back("</" + std::string(tag.name) + " " + std::to_string(tag.depth) + " @" +
                          std::to_string(tag.begin) + "-" + std::to_string(tag.end));
    }
    void text(std::string_view raw, bool cdata, bool continued) override {
        if (!continued) {
            entries.push_back(cdata ? "cdata:" : "text:");
        }
        entries.back() += raw;
    }

private:
    static std::string attributeEntry(const Tag& tag) {
        const auto value = tag.attribute("x:v");
        return value ? " v=" + std::string(value->raw) + "@" + std::to_string(value->at) : "";
    }
};

struct Scanned {
    std::vector<std::string> entries;
    std::string error;
};

// Scans text fed in pieces of the given size (0: whole).
Scanned scan(const std::string& text, std::size_t piece) {
    Log log;
    XmlScanner scanner(log);
    bool good = true;
    for (std::size_t at = 0; good && at < text.size(); at += piece == 0 ? text.size() : piece) {
        good = scanner.feed(std::string_view(text).substr(at, piece == 0 ? text.size() : piece));
    }
    if (good) {
        scanner.finish();
    }
    return {log.entries, scanner.error()};
}

std::string utf16(const std::string& ascii, bool littleEndian) {
    std::string text = littleEndian ? "\xFF\xFE" : "\xFE\xFF";
    for (const char c : ascii) {
        text += littleEndian ? std::string{c, '\0'} : std::string{'\0', c};
    }
    return text;
}

const std::string sample =
    "<?xml version=\"1.0\"?>\r\n<!-- <row> --><x:root xmlns:x=\"urn:x\" x:v='a>b\"c'>"
    "<row x:v=\"1\"><c>a &amp; b<!--</row>-->c</c><e x:v = \"&lt;\" /></row>"
    "<row><![CDATA[</row>]]]]><?pi </row>?><![CDATA[]]></row>\n</x:root>\n";

TEST(XmlScannerTest, ReportsTagsTextAndOffsets) {
    EXPECT_EQ(scan(sample, 0).entries,
              (std::vector<std::string>{
                  "<x:root 1 @37-73 v=a>b\"c@66", "<row 2 @73-86 v=1@83", "<c 3 @86-89",
                  "text:a &amp; b", "text:c", "</c 3 @112-116", "<e 3 @116-134 empty v=&lt;@126",
                  "</e 3 @116-134", "</row 2 @134-140", "<row 2 @140-145", "cdata:</row>]]",
                  "cdata:", "</row 2 @190-196", "text:\n", "</x:root 1 @197-206"}));
    EXPECT_EQ(scan(sample, 0).error, "");
}

// However the text is cut into pieces, and in UTF-16 as in UTF-8, the scanner sees the same.
TEST(XmlScannerTest, SeesTheSameWhateverThePieces) {
    const Scanned whole = scan(sample, 0);
    for (const std::size_t piece : {1, 2, 3, 5, 8, 13}) {
        SCOPED_TRACE(piece);
        EXPECT_EQ(scan(sample, piece).entries, whole.entries);
        EXPECT_EQ(scan("\xEF\xBB\xBF" + sample, piece).entries.size(), whole.entries.size());
        EXPECT_EQ(scan(utf16(sample, true), piece).entries, whole.entries);
        EXPECT_EQ(scan(utf16(sample, false), piece).entries, whole.entries);
    }
}

struct MalformedCase {
    std::string text;
    std::string error;
};

TEST(XmlScannerTest, RefusesMalformedTextAtTheByteAParserWould) {
    const std::vector<MalformedCase> cases = {
        {"<a><b></a>", "Start-end tags mismatch at byte 8"},
        {"<a></b>", "Start-end tags mismatch at byte 5"},
        {"<a><b>", "Unexpected end of data at byte 6"},
        {"<a><b", "Error parsing start element tag at byte 4"},
        {"<a></a", "Error parsing end element tag at byte 5"},
        {"<a></a x>", "Error parsing end element tag at byte 6"},
        {"<a b/>", "Error parsing element attribute at byte 4"},
        {"<a b='1'c='2'/>", "Error parsing element attribute at byte 8"},
        {"<a b='1/>", "Error parsing start element tag at byte 1"},
        {"<1/>", "Error parsing start element tag at byte 1"},
        {"<a><!-- x </a>", "Error parsing comment at byte 3"},
        {"<a><![CDATA[x</a>", "Error parsing CDATA section at byte 3"},
        {"<![CDATA[x]]><a/>", "Error parsing CDATA section at byte 0"},
        {"<a><?pi </a>", "Error parsing document declaration/processing instruction at byte 3"},
        {"<a><!x></a>", "Unrecognized tag at byte 4"},
        {"<!DOCTYPE a><a/>", "Document type declarations are not allowed at byte 0"},
        {"<a/><b/>", "Content after the root element at byte 4"},
        {"<a/>x", "Text outside the root element at byte 4"},
        {" ", "No document element found at byte 1"},
        {"", "No document element found at byte 0"},
    };
    std::string deep;
    for (int depth = 0; depth <= 1000; ++depth) {
        deep += "<a>";
    }
    std::vector<MalformedCase> all = cases;
    all.push_back({deep, "Elements nested too deep at byte 3000"});
    for (const auto& [text, error] : all) {
        SCOPED_TRACE(text.substr(0, 40));
        for (const std::size_t piece : {0, 1, 2, 7}) {
            EXPECT_EQ(scan(text, piece).error, error) << "in pieces of " << piece;
        }
    }
}

TEST(XmlScannerTest, DecodesTextAsAParserDoes) {
    EXPECT_EQ(decodeText("a&lt;b&gt;&amp;&quot;&apos;&#65;&#x42;&#x20AC;", false),
              "a<b>&\"'AB\xE2\x82\xAC");
    EXPECT_EQ(decodeText("&unknown; &amp &#0; &#xD800;x &#65", false),
              "&unknown; &amp &#0; &#xD800;x &#65");
    EXPECT_EQ(decodeText("a\r\nb\rc\n", false), "a\nb\nc\n");
    EXPECT_EQ(decodeText("&lt;\r\n", true), "&lt;\n");
    EXPECT_EQ(decodeText("a\tb\r\nc\nd&#9;", false, true), "a b c d\t");
}

}  // namespace
}  // namespace vexlo::workbook::xml
