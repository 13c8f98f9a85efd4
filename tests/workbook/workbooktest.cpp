#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zip.h>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <regex>
#include <sstream>

#include "common/error.h"
#include "workbook/cellnumber.h"
#include "workbook/workbook.h"
#include "workbook/xmlscanner.h"
#include "workbookfixture.h"

// The workbook engine is driven by scripts in data/workbook/cases: each NAME.case runs its
// commands and writes down what they show (cells, formats, written parts byte for byte, error
// messages, scanner events), and the transcript must equal NAME.golden. VEXLO_UPDATE_GOLDEN=1
// rewrites the golden files instead.
namespace vexlo::workbook {
namespace {

namespace fs = std::filesystem;
using test::Parts;
using test::TempDir;

const std::string casesDir = VEXLO_WORKBOOK_CASES;

// C-style escapes (\n \r \t \\ \xHH), then expansions: {N*TEXT} repeats TEXT, {ROWS N} is N
// rows without references, each with one inline string "row I", {RANDOM N} N letters.
std::string unescape(const std::string& text) {
    std::string out;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] != '\\' || at + 1 == text.size()) {
            out += text[at];
            continue;
        }
        const char c = text[++at];
        out += c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c;
        if (c == 'x') {
            out.back() = static_cast<char>(std::stoi(text.substr(at + 1, 2), nullptr, 16));
            at += 2;
        }
    }
    static const std::regex expansion(R"(\{(\d+)\*([^}]*)\}|\{ROWS (\d+)\}|\{RANDOM (\d+)\})");
    std::string expanded;
    std::smatch match;
    while (std::regex_search(out, match, expansion)) {
        expanded += match.prefix();
        std::minstd_rand random;
        for (int n = match[4].matched ? std::stoi(match[4].str()) : 0; n > 0; --n) {
            expanded += char('a' + random() % 26);
        }
        for (int n = 1; !match[4].matched &&
                        n <= std::stoi(match[1].matched ? match[1].str() : match[3].str());
             ++n) {
            expanded += match[1].matched ? match[2].str()
                                         : "<row><c t=\"inlineStr\"><is><t>row " +
                                               std::to_string(n) + "</t></is></c></row>";
        }
        out = match.suffix();
    }
    return expanded + out;
}

// Bytes as printable text, folded after a ">" once a line is 100 long.
std::string printable(std::string_view bytes) {
    std::string out;
    std::size_t line = 0;
    for (const char c : bytes) {
        if (line >= 100 && out.back() == '>') {
            out += "\n  ";
            line = 0;
        }
        const auto u = static_cast<unsigned char>(c);
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02x", u);
        const std::string piece = c == '\n'            ? "\\n"
                                  : c == '\r'          ? "\\r"
                                  : c == '\t'          ? "\\t"
                                  : c == '\\'          ? "\\\\"
                                  : u < 32 || u == 127 ? hex
                                                       : std::string(1, c);
        out += piece;
        line += piece.size();
    }
    return out;
}

std::string describe(const CellValue& value, const CellFormat& format) {
    static const char* const types[] = {"empty", "text", "number"};
    static const char* const alignments[] = {"left", "center", "right"};
    std::ostringstream out;
    out << types[static_cast<int>(value.type)] << " \"" << printable(value.text) << "\" "
        << (format.bold ? "bold " : "") << (format.italic ? "italic " : "") << format.size << "pt"
        << (format.alignment ? std::string(" ") + alignments[int(*format.alignment)] : "");
    return out.str();
}

// Reports what the scanner sees, a run of text as one entry however it was split.
class ScanLog final : public xml::ScanHandler {
public:
    std::string log;
    void startElement(const xml::Tag& tag) override {
        const auto value = tag.attribute("v");
        log += "<" + std::string(tag.name) + " " + std::to_string(tag.depth) + " @" +
               std::to_string(tag.begin) + "-" + std::to_string(tag.end) +
               (tag.empty ? " empty" : "") +
               (value ? " v=" + std::string(value->raw) + "@" + std::to_string(value->at) : "") +
               "\n";
    }
    void endElement(const xml::Tag& tag) override {
        log += "</" + std::string(tag.name) + " " + std::to_string(tag.depth) + " @" +
               std::to_string(tag.begin) + "-" + std::to_string(tag.end) + "\n";
    }
    void text(std::string_view raw, bool cdata, bool continued) override {
        if (continued) {
            log.pop_back();
        }
        log += std::string(continued ? "" : cdata ? "cdata:" : "text:") + printable(raw) + "\n";
    }
};

// Scans text fed in pieces of the given size; UTF-16 in the given byte order when asked.
std::string scan(std::string text, std::size_t piece, int utf16 = 0) {
    if (utf16 != 0) {
        std::string wide = utf16 < 0 ? "\xFF\xFE" : "\xFE\xFF";
        for (const char c : text) {
            wide += utf16 < 0 ? std::string{c, '\0'} : std::string{'\0', c};
        }
        text = wide;
    }
    ScanLog log;
    xml::XmlScanner scanner(log);
    bool good = true;
    for (std::size_t at = 0; good && at < text.size(); at += piece) {
        good = scanner.feed(std::string_view(text).substr(at, piece));
    }
    if (good) {
        scanner.finish();
    }
    return log.log + (scanner.error().empty() ? "" : "error: " + scanner.error() + "\n");
}

// Sets a field of a part's local header (at `at`) and its central directory entry (at + 2):
// 14 the checksum, 22 the inflated size.
void patchEntry(const std::string& path, const std::string& part, int at, std::uint32_t value) {
    std::string bytes = test::readFile(path);
    for (const auto& [signature, field, nameAt] :
         {std::tuple{"PK\x03\x04", at, 30}, std::tuple{"PK\x01\x02", at + 2, 46}}) {
        for (auto entry = bytes.find(signature); entry != std::string::npos;
             entry = bytes.find(signature, entry + 1)) {
            if (std::size_t(std::uint8_t(bytes[entry + field - at + 26])) == part.size() &&
                bytes.compare(entry + nameAt, part.size(), part) == 0) {
                for (int byte = 0; byte < 4; ++byte) {
                    bytes[entry + field + byte] = static_cast<char>(value >> (8 * byte));
                }
                break;
            }
        }
    }
    test::writeFile(path, bytes);
}

std::string summary(const std::string& bytes) {
    return std::to_string(bytes.size()) + " bytes, hash " +
           std::to_string(std::hash<std::string>()(bytes) % 1000000007);
}

class Script {
public:
    std::string run(const std::string& path) {
        std::istringstream lines(test::readFile(path));
        for (std::string line; std::getline(lines, line);) {
            if (line.empty() || line[0] == '#') {
                out_ += line + "\n";
                continue;
            }
            out_ += "> " + line + "\n";
            std::istringstream words(line);
            std::string command;
            words >> command;
            try {
                perform(command, words);
            } catch (const Error& error) {
                std::string text = error.description;
                for (auto at = text.find(dir_.path()); at != std::string::npos;
                     at = text.find(dir_.path())) {
                    text.replace(at, dir_.path().size(), "DIR");
                }
                out_ += "error " + std::to_string(error.number) + ": " + printable(text) + "\n";
            }
        }
        return out_;
    }

private:
    static std::string rest(std::istringstream& words) {
        std::string text;
        std::getline(words >> std::ws, text);
        return unescape(text);
    }
    Parts::iterator part(const std::string& name) {
        return std::find_if(parts_.begin(), parts_.end(),
                            [&](const auto& p) { return p.first == name; });
    }
    Workbook& workbook() {
        return workbook_ ? *workbook_ : throw std::runtime_error("no workbook");
    }
    Worksheet& sheet() { return workbook().firstSheet(); }
    CellRange range(std::istringstream& words) {
        CellRange r;
        words >> r.firstRow >> r.firstColumn >> r.lastRow >> r.lastColumn;
        return r;
    }

    void perform(const std::string& command, std::istringstream& words) {
        std::string name, text;
        int row = 0, column = 0;
        if (command == "parts") {  // start the template from a folder of data/workbook
            words >> name;
            parts_ = test::folderParts(name);
        } else if (command == "set") {  // a part's bytes, added when new
            words >> name;
            text = rest(words);
            if (part(name) == parts_.end()) {
                parts_.emplace_back(name, "");
            }
            part(name)->second = text;
        } else if (command == "edit") {  // FROM => TO: the first FROM of the part
            words >> name;
            text = rest(words);
            const auto arrow = text.find(" =>");
            std::string& bytes = part(name)->second;
            const auto at = bytes.find(text.substr(0, arrow));
            EXPECT_NE(at, std::string::npos) << text;
            bytes.replace(at, arrow, text.substr(std::min(arrow + 4, text.size())));
        } else if (command == "drop") {
            words >> name;
            parts_.erase(part(name));
        } else if (command == "utf16") {  // the part in UTF-16, little-endian
            words >> name;
            std::string wide = "\xFF\xFE";
            for (const char c : part(name)->second) {
                wide += std::string{c, '\0'};
            }
            part(name)->second = wide;
        } else if (command == "zip") {  // the parts as DIR/NAME, template.xlsx by default
            words >> name;
            test::writeZip(dir_.file(name.empty() ? "template.xlsx" : name), parts_);
        } else if (command == "many") {  // parts added up to COUNT
            std::size_t count = 0;
            words >> count;
            while (parts_.size() < count) {
                parts_.emplace_back("extra/" + std::to_string(parts_.size()) + ".xml", "<a/>");
            }
        } else if (command == "declare" || command == "crc") {  // PART VALUE in template.xlsx
            std::uint32_t value = 0;
            words >> name >> value;
            patchEntry(dir_.file("template.xlsx"), name, command == "crc" ? 14 : 22, value);
        } else if (command == "file") {  // NAME BYTES: a file in DIR
            words >> name;
            test::writeFile(dir_.file(name), rest(words));
        } else if (command == "folder") {
            words >> name;
            fs::create_directories(dir_.file(name));
        } else if (command == "fifo") {
            words >> name;
            ::mkfifo(dir_.file(name).c_str(), 0600);
        } else if (command == "open") {
            words >> name;
            workbook_.reset();
            if (name.empty()) {
                saved_ = std::map<std::string, std::string>(parts_.begin(), parts_.end());
            }
            workbook_.emplace(Workbook::open(dir_.file(name.empty() ? "template.xlsx" : name)));
        } else if (command == "blank") {
            saved_.clear();
            workbook_.emplace(Workbook::blank());
        } else if (command == "value" || command == "text") {
            words >> row >> column;
            text = rest(words);
            command == "value" ? sheet().setValue(row, column, text)
                               : sheet().setText(row, column, text);
        } else if (command == "number") {
            double value = 0;
            words >> row >> column >> text;
            std::from_chars(text.data(), text.data() + text.size(), value);
            sheet().setNumber(row, column, value);
        } else if (command == "clear") {
            sheet().clear(range(words));
        } else if (command == "delete") {
            std::vector<int> rows;
            while (words >> row) {
                rows.push_back(row);
            }
            rows.size() == 1 ? sheet().deleteRow(rows[0]) : sheet().deleteRows(rows);
        } else if (command == "style") {  // RANGE bold|plain italic|upright size=N left|...
            const CellRange r = range(words);
            CellStyleChange change;
            while (words >> text) {
                if (text == "bold" || text == "plain") {
                    change.bold = text == "bold";
                } else if (text == "italic" || text == "upright") {
                    change.italic = text == "italic";
                } else if (text.rfind("size=", 0) == 0) {
                    change.size = std::stod(text.substr(5));
                } else {
                    change.alignment = HorizontalAlignment(text == "center"  ? 1
                                                           : text == "right" ? 2
                                                                             : 0);
                }
            }
            sheet().applyStyle(r, change);
        } else if (command == "width") {
            double width = 0;
            words >> column >> width;
            sheet().setColumnWidth(column, width);
        } else if (command == "fit") {
            sheet().autoFitColumns(range(words));
        } else if (command == "unmerge") {
            sheet().unmergeCells(range(words));
        } else if (command == "show") {  // RANGE: each cell with a value or a format
            const CellRange r = range(words);
            for (row = r.firstRow; row <= r.lastRow; ++row) {
                for (column = r.firstColumn; column <= r.lastColumn; ++column) {
                    const CellValue value = sheet().cell(row, column);
                    const CellFormat format = sheet().format(row, column);
                    if (value != CellValue{} || format != CellFormat{}) {
                        out_ += cellReference(row, column) + " " + describe(value, format) + "\n";
                    }
                }
            }
        } else if (command == "sheet") {  // extent, merged ranges, widths and heights
            out_ += "last row " + std::to_string(sheet().lastRow()) + ", last column " +
                    std::to_string(sheet().lastColumn()) + "\nmerged";
            for (const CellRange& r : sheet().mergedRanges()) {
                out_ += " " + cellReference(r.firstRow, r.firstColumn) + ":" +
                        cellReference(r.lastRow, r.lastColumn);
            }
            out_ += "\nwidths";
            for (column = 1; column <= 30; ++column) {
                if (const auto width = sheet().columnWidth(column)) {
                    out_ += " " + std::to_string(column) + "=" + formatNumber(*width);
                }
            }
            out_ += "\nheights";
            for (row = 1; row <= sheet().lastRow() + 1; ++row) {
                if (const auto height = sheet().rowHeight(row)) {
                    out_ += " " + std::to_string(row) + "=" + formatNumber(*height);
                }
            }
            out_ += "\n";
        } else if (command == "save") {  // NAME [LIMIT]: the parts that differ, and the files
            std::size_t limit = 0;
            words >> name >> limit;
            std::optional<test::FileSizeLimit> limited;
            if (limit != 0) {
                limited.emplace(limit);
            }
            workbook().saveAs(dir_.file(name));
            limited.reset();
            listParts(dir_.file(name));
        } else if (command == "files") {  // what DIR holds, each file's size and hash
            for (const std::string& file : test::listTree(dir_.path())) {
                out_ += file +
                        (fs::is_regular_file(dir_.file(file))
                             ? " " + summary(test::readFile(dir_.file(file)))
                             : "") +
                        "\n";
            }
        } else if (command == "canonical") {  // TEXT: the number it is, or "text"
            double value = -7;
            text = rest(words);
            out_ += isCanonicalNumber(text, value) ? formatNumber(value) : "text";
            out_ += value != -7 && formatNumber(value) != text ? " CHANGED\n" : "\n";
        } else if (command == "format") {  // a number as the sheet writes it
            double value = 0;
            words >> text;
            std::from_chars(text.data(), text.data() + text.size(), value);
            out_ += formatNumber(value) + "\n";
        } else if (command == "fitwidth") {  // SIZE BOLD TEXT
            double size = 0;
            bool bold = false;
            words >> size >> bold;
            out_ += formatNumber(autoFitWidth(rest(words), size, bold)) + "\n";
        } else if (command == "scan") {  // events and error; every way of feeding must agree
            text = rest(words);
            const std::string whole = scan(text, text.size() + 1);
            for (const std::size_t piece : {1, 2, 3, 7}) {
                EXPECT_EQ(scan(text, piece), whole) << text << " in pieces of " << piece;
                if (text.find("\xEF\xBB\xBF") != 0) {
                    EXPECT_EQ(scan(text, piece, -1), whole) << text << " UTF-16LE " << piece;
                    EXPECT_EQ(scan(text, piece, 1), whole) << text << " UTF-16BE " << piece;
                }
            }
            out_ += whole;
        } else if (command == "decode") {  // text|cdata|attribute RAW
            words >> name;
            out_ += printable(xml::decodeText(rest(words), name == "cdata", name == "attribute")) +
                    "\n";
        } else {
            ADD_FAILURE() << "unknown command " << command;
        }
    }

    // Each part of the written package: "=" as the template had it, "*" changed or new (with
    // its bytes and time, or its size and a hash when large), "-" gone.
    void listParts(const std::string& path) {
        std::map<std::string, std::string> times;
        zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY, nullptr);
        for (zip_int64_t entry = 0; entry < zip_get_num_entries(archive, 0); ++entry) {
            zip_stat_t info;
            zip_stat_index(archive, static_cast<zip_uint64_t>(entry), 0, &info);
            std::tm local{};
            char time[32];
            std::strftime(time, sizeof time, "%Y-%m-%d %H:%M", ::localtime_r(&info.mtime, &local));
            times[info.name] = time;
        }
        zip_discard(archive);
        std::map<std::string, std::string> before = saved_;
        for (const auto& [name, bytes] : test::readZip(path)) {
            const auto found = before.find(name);
            if (found != before.end() && found->second == bytes) {
                out_ += "= " + name + "\n";
            } else if (bytes.size() > 20000) {
                out_ += "* " + name + " " + summary(bytes) + "\n";
            } else {
                out_ += "* " + name + " " + times[name] + "\n  " + printable(bytes) + "\n";
            }
            if (found != before.end()) {
                before.erase(found);
            }
            saved_[name] = bytes;
        }
        for (const auto& [name, bytes] : before) {
            out_ += "- " + name + "\n";
            saved_.erase(name);
        }
    }

    TempDir dir_;
    std::string out_;
    Parts parts_ = test::folderParts();
    std::map<std::string, std::string> saved_;  // the package the next save is compared with
    std::optional<Workbook> workbook_;
};

class GoldenTest : public ::testing::TestWithParam<std::string> {};

TEST_P(GoldenTest, TranscriptMatches) {
    const std::string transcript = Script().run(casesDir + GetParam() + ".case");
    const std::string golden = casesDir + GetParam() + ".golden";
    if (std::getenv("VEXLO_UPDATE_GOLDEN") != nullptr) {
        test::writeFile(golden, transcript);
    }
    EXPECT_EQ(transcript, test::readFile(golden));
}

std::vector<std::string> caseNames() {
    std::vector<std::string> names;
    for (const std::string& file : test::listFolder(casesDir)) {
        if (file.size() > 5 && file.substr(file.size() - 5) == ".case") {
            names.push_back(file.substr(0, file.size() - 5));
        }
    }
    return names;
}

INSTANTIATE_TEST_SUITE_P(Cases, GoldenTest, ::testing::ValuesIn(caseNames()),
                         [](const auto& info) { return info.param; });

// Random short texts against the rule in a few lines: a plain decimal without leading zeros,
// trailing fraction zeros or "-0", at most 15 significant digits; its number reads back as it.
TEST(CanonicalNumberTest, AgreesWithTheRuleAndReadsBack) {
    static const std::regex decimal(R"(-?(0|[1-9]\d*)(\.\d*[1-9])?)");
    std::mt19937 random(11);
    for (int round = 0; round < 20000; ++round) {
        std::string text;
        for (int length = random() % 9; length > 0; --length) {
            text += "-0001.5e9"[random() % 9];
        }
        const std::string digits = std::regex_replace(text, std::regex(R"(^[-0.]+|\.)"), "");
        const bool expected =
            std::regex_match(text, decimal) && text != "-0" && digits.size() <= 15;
        double value = 0;
        ASSERT_EQ(isCanonicalNumber(text, value), expected) << text;
        if (expected) {
            ASSERT_EQ(formatNumber(value), text);
        }
        const double any = std::ldexp(double(random()), int(random() % 200) - 100);
        ASSERT_EQ(std::strtod(formatNumber(any).c_str(), nullptr), any) << formatNumber(any);
    }
}

}  // namespace
}  // namespace vexlo::workbook
