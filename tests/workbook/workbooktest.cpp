#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zip.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <map>
#include <optional>
#include <random>
#include <regex>
#include <sstream>

#include "common/error.h"
#include "testsupport.h"
#include "workbook/cellnumber.h"
#include "workbook/workbook.h"
#include "workbook/xmlscanner.h"

// The engine is driven by scripts in tests/workbook/cases: each NAME.case runs its commands and
// writes down what they show (cells, formats, written parts byte for byte, error messages,
// scanner events); the transcript must equal NAME.golden. VEXLO_UPDATE_GOLDEN=1 rewrites them.
namespace vexlo::workbook {
namespace {

namespace fs = std::filesystem;
using Files = std::map<std::string, std::string>;

const std::string casesDir = VEXLO_WORKBOOK_CASES;

using Parts = std::vector<std::pair<std::string, std::string>>;

// Every part gets the same time, so that the same parts make the same package.
void writeZip(const std::string& path, const Parts& parts) {
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, nullptr);
    for (const auto& [name, bytes] : parts) {
        zip_source_t* source = zip_source_buffer(archive, bytes.data(), bytes.size(), 0);
        const zip_int64_t entry = zip_file_add(archive, name.c_str(), source, 0);
        if (entry < 0 || zip_file_set_dostime(archive, entry, 0, (21 << 9) | (2 << 5) | 3, 0)) {
            throw std::runtime_error("cannot add " + name + " to " + path);
        }
    }
    if (zip_close(archive) != 0) {
        throw std::runtime_error("cannot write zip " + path);
    }
}

// The parts of a folder under tests/workbook, [Content_Types].xml first, the rest by name.
Parts folderParts(const std::string& name = "template") {
    const fs::path folder = fs::path(casesDir).parent_path().parent_path() / name;
    Parts parts;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            parts.emplace_back(fs::relative(entry.path(), folder).generic_string(),
                               test::readFile(entry.path().string()));
        }
    }
    std::ranges::sort(parts);
    std::ranges::stable_partition(parts,
                                  [](const auto& p) { return p.first == "[Content_Types].xml"; });
    return parts;
}

// What an independent reader (openpyxl, through readcells.py) finds in a written workbook.
std::string readWithOpenpyxl(const std::string& path, bool fills) {
    const test::TempDir scratch;
    // The system interpreter carries python3-openpyxl; a python3 earlier on PATH may not.
    const bool read =
        std::system(("/usr/bin/python3 '" + casesDir + "../readcells.py' '" + path + "' " +
                     (fills ? "fills >" : "fonts >") + scratch.file("out") + " 2>&1")
                        .c_str()) == 0;
    const std::string out = test::readFile(scratch.file("out"));
    return read ? out : "openpyxl failed:\n" + out;
}

// C escapes, then {N*TEXT} (TEXT N times) and {ROWS N} (N rows without
// references, each with the inline string "row I").
std::string unescape(const std::string& text) {
    std::string out = test::unescape(text);
    static const std::regex expansion(R"(\{(\d+)\*([^}]*)\}|\{ROWS (\d+)\})");
    std::string expanded;
    for (std::smatch m; std::regex_search(out, m, expansion); out = m.suffix()) {
        expanded += m.prefix();
        for (int n = 1; n <= std::stoi(m[1].matched ? m[1].str() : m[3].str()); ++n) {
            expanded += m[1].matched ? m[2].str()
                                     : "<row><c t=\"inlineStr\"><is><t>row " + std::to_string(n) +
                                           "</t></is></c></row>";
        }
    }
    return expanded + out;
}

// Bytes as printable text, folded after a ">" once a line is 100 long.
std::string printable(std::string_view bytes) {
    std::string out;
    for (std::size_t line = 0; const char c : bytes) {
        if (line >= 100 && out.back() == '>') {
            out += "\n  ";
            line = 0;
        }
        static const std::string special = "\n\r\t\\", names = "nrt\\";
        char piece[8] = {c};
        if (const auto u = static_cast<unsigned char>(c); special.find(c) != std::string::npos) {
            std::snprintf(piece, sizeof piece, "\\%c", names[special.find(c)]);
        } else if (u < 32 || u == 127) {
            std::snprintf(piece, sizeof piece, "\\x%02x", u);
        }
        out += piece;
        line += std::strlen(piece);
    }
    return out;
}

// What the scanner reports, a run of text as one entry however it was split.
class ScanLog final : public xml::ScanHandler {
public:
    std::string log;
    void startElement(const xml::Tag& tag) override {
        const auto value = tag.attribute("v");
        log += "<" + describe(tag) + (tag.empty ? " empty" : "") +
               (value ? " v=" + std::string(value->raw) + "@" + std::to_string(value->at) : "") +
               "\n";
    }
    void endElement(const xml::Tag& tag) override { log += "</" + describe(tag) + "\n"; }
    void text(std::string_view raw, bool cdata, bool continued) override {
        log.resize(log.size() - (continued ? 1 : 0));
        log += (continued ? "" : cdata ? "cdata:" : "text:") + printable(raw) + "\n";
    }
    static std::string describe(const xml::Tag& tag) {
        return std::string(tag.name) + " " + std::to_string(tag.depth) + " @" +
               std::to_string(tag.begin) + "-" + std::to_string(tag.end);
    }
};

// The text (UTF-8) in UTF-16 with its byte order mark, little-endian or big-endian.
std::string utf16(const std::string& text, bool little) {
    std::string wide = little ? "\xFF\xFE" : "\xFE\xFF";
    const auto add = [&](char32_t unit) {
        const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit);
        wide += little ? std::string{low, high} : std::string{high, low};
    };
    for (std::size_t at = 0; at < text.size();) {
        const auto lead = static_cast<unsigned char>(text[at]);
        const int length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        char32_t code = length == 1 ? lead : lead & (0x3F >> (length - 1));
        for (int next = 1; next < length; ++next) {
            code = code << 6 | (static_cast<unsigned char>(text.at(at + next)) & 0x3F);
        }
        at += length;
        code < 0x10000 ? add(code)
                       : (add(0xD800 + ((code - 0x10000) >> 10)), add(0xDC00 + (code & 0x3FF)));
    }
    return wide;
}

// Scans text fed in pieces of the given size.
std::string scan(const std::string& text, std::size_t piece) {
    ScanLog log;
    xml::XmlScanner scanner(log);
    bool good = true;
    for (std::size_t at = 0; good && at < text.size(); at += piece) {
        good = scanner.feed(std::string_view(text).substr(at, piece));
    }
    return log.log + (good && scanner.finish() ? "" : "error: " + scanner.error() + "\n");
}

// Sets a field of a part's central directory entry, which the zip's reader goes by.
void patchEntry(const std::string& path, const std::string& part, int field, std::uint32_t value) {
    std::string bytes = test::readFile(path);
    auto entry = bytes.find("PK\x01\x02");
    while (std::uint8_t(bytes[entry + 28]) != part.size() ||
           bytes.compare(entry + 46, part.size(), part)) {
        entry = bytes.find("PK\x01\x02", entry + 1);
    }
    for (int byte = 0; byte < 4; ++byte) {
        bytes[entry + field + byte] = static_cast<char>(value >> (8 * byte));
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
            out_ += (line.empty() || line[0] == '#' ? "" : "> ") + line + "\n";
            in_ = std::istringstream(line);
            try {
                perform(word());
            } catch (const Error& error) {
                const std::string text =
                    std::regex_replace(error.description, std::regex(dir_.path()), "DIR");
                out_ += "error " + std::to_string(error.number) + ": " + printable(text) + "\n";
            }
        }
        return out_;
    }

private:
    std::string word() {
        std::string text;
        in_ >> text;
        return text;
    }
    int number() { return std::stoi(word()); }
    std::string rest() {
        std::string text;
        std::getline(in_ >> std::ws, text);
        return unescape(text);
    }
    std::string& part(const std::string& name) {
        const auto found = std::ranges::find(parts_, name, &Parts::value_type::first);
        return (found != parts_.end() ? *found : parts_.emplace_back(name, "")).second;
    }
    Workbook& book() { return workbook_ ? *workbook_ : throw std::runtime_error("no workbook"); }
    Worksheet& sheet() { return book().firstSheet(); }
    CellRange range() { return {number(), number(), number(), number()}; }
    std::string file(const std::string& name) {
        return dir_.file(name.empty() ? "template.xlsx" : name);
    }

    void perform(const std::string& command) {
        if (command == "parts") {  // start the template from a folder of tests/workbook
            parts_ = folderParts(word());
        } else if (command == "set") {  // a part's bytes, added when new, dropped when none
            const std::string name = word();
            part(name) = rest();
            std::erase_if(parts_, [](const auto& p) { return p.second.empty(); });
        } else if (command == "edit") {  // FROM => TO: the first FROM of the part
            std::string& bytes = part(word());
            const std::string text = rest();
            const auto arrow = text.find(" =>"), at = bytes.find(text.substr(0, arrow));
            ASSERT_NE(at, std::string::npos) << text;
            bytes.replace(at, arrow, text.substr(std::min(arrow + 4, text.size())));
        } else if (command == "utf16") {  // the part in UTF-16, little-endian
            std::string& bytes = part(word());
            bytes = utf16(bytes, true);
        } else if (command == "many") {  // parts added up to COUNT
            for (std::size_t count = number(); parts_.size() < count;) {
                parts_.emplace_back("extra/" + std::to_string(parts_.size()) + ".xml", "<a/>");
            }
        } else if (command == "zip") {  // the parts as DIR/NAME, template.xlsx by default
            writeZip(file(word()), parts_);
        } else if (command == "patch") {  // PART FIELD VALUE in template.xlsx's entry
            const std::string name = word();
            const int field = number();
            patchEntry(file(""), name, field, std::stoul(word()));
        } else if (command == "file") {  // NAME BYTES in DIR, in folders made for it
            const std::string path = file(word());
            fs::create_directories(fs::path(path).parent_path());
            test::writeFile(path, rest());
        } else if (command == "fifo") {
            ::mkfifo(file(word()).c_str(), 0600);
        } else if (command == "open") {  // DIR/NAME, template.xlsx made of the parts by default
            const std::string name = word();
            saved_ = name.empty() ? Files(parts_.begin(), parts_.end()) : saved_;
            workbook_ = Workbook::open(file(name));
        } else if (command == "blank") {
            saved_.clear();
            workbook_ = Workbook::blank();
        } else if (command == "value" || command == "text" || command == "number") {
            const int row = number(), column = number();
            const std::string text = rest();
            command == "value" ? sheet().setValue(row, column, text)
            : command == "text"
                ? sheet().setText(row, column, text)
                : sheet().setNumber(row, column, std::strtod(text.c_str(), nullptr));
        } else if (command == "clear" || command == "fit" || command == "unmerge") {
            const CellRange r = range();
            command == "clear" ? sheet().clear(r)
            : command == "fit" ? sheet().autoFitColumns(r)
                               : sheet().unmergeCells(r);
        } else if (command == "delete") {
            const std::vector<int> rows(std::istream_iterator<int>(in_), {});
            rows.size() == 1 ? sheet().deleteRow(rows[0]) : sheet().deleteRows(rows);
        } else if (command == "style") {  // RANGE bold|plain italic|upright size=N fill=RGB left...
            const CellRange r = range();
            CellStyleChange change;
            for (std::string w; in_ >> w;) {
                if (w == "bold" || w == "plain") {
                    change.bold = w == "bold";
                } else if (w == "italic" || w == "upright") {
                    change.italic = w == "italic";
                } else if (w.starts_with("size=")) {
                    change.size = std::stod(w.substr(5));
                } else if (w.starts_with("fill=")) {
                    change.fill = std::stoul(w.substr(5), nullptr, 16);
                } else {
                    change.alignment = HorizontalAlignment(w == "center"  ? 1
                                                           : w == "right" ? 2
                                                                          : 0);
                }
            }
            sheet().applyStyle(r, change);
        } else if (command == "width") {
            const int column = number();
            sheet().setColumnWidth(column, std::stod(word()));
        } else if (command == "show") {  // RANGE [fills]: each cell with a value or a format
            const CellRange r = range();
            const bool fills = word() == "fills";
            static const char* const names[] = {"empty", "text",   "number",
                                                "left",  "center", "right"};
            for (int row = r.firstRow; row <= r.lastRow; ++row) {
                for (int column = r.firstColumn; column <= r.lastColumn; ++column) {
                    const CellValue value = sheet().cell(row, column);
                    CellFormat f = sheet().format(row, column);
                    f.fill = fills ? f.fill : std::nullopt;
                    char fill[16] = "";
                    if (f.fill) {
                        std::snprintf(fill, sizeof fill, " fill %06X", *f.fill);
                    }
                    if (value != CellValue{} || f != CellFormat{}) {
                        out_ +=
                            cellReference(row, column) + " " + names[int(value.type)] + " \"" +
                            printable(value.text) + "\" " + (f.bold ? "bold " : "") +
                            (f.italic ? "italic " : "") + formatNumber(f.size) + "pt" +
                            (f.alignment ? std::string(" ") + names[3 + int(*f.alignment)] : "") +
                            fill + "\n";
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
            for (const bool widths : {true, false}) {
                out_ += widths ? "\nwidths" : "\nheights";
                for (int at = 1; at <= (widths ? 30 : sheet().lastRow() + 1); ++at) {
                    const auto size = widths ? sheet().columnWidth(at) : sheet().rowHeight(at);
                    out_ += size ? " " + std::to_string(at) + "=" + formatNumber(*size) : "";
                }
            }
            out_ += "\n";
        } else if (command == "save") {  // NAME [LIMIT]: the parts that differ, and the files
            const std::string name = word(), limit = word();
            std::optional<test::FileSizeLimit> limited;
            if (!limit.empty()) {
                limited.emplace(std::stoull(limit));
            }
            book().saveAs(file(name));
            limited.reset();
            listParts(file(name));
        } else if (command == "overwrite") {  // N ROW COLUMN LENGTH: a text that long, N times
            const int times = number(), row = number(), column = number();
            const std::string text(std::stoul(word()), 'x');
            for (int i = 0; i < times; ++i) {
                sheet().setText(row, column, text);
            }
        } else if (command == "openpyxl") {  // NAME [fills] as openpyxl reads it
            const std::string name = word();
            out_ += readWithOpenpyxl(file(name), word() == "fills");
        } else if (command == "files") {  // what DIR holds, each file's size and hash
            for (const std::string& name : test::listTree(dir_.path())) {
                const bool regular = fs::is_regular_file(file(name));
                out_ += name + (regular ? " " + summary(test::readFile(file(name))) : "") + "\n";
            }
        } else if (command == "scan") {  // events and error; every way of feeding must agree
            const std::string text = rest(), whole = scan(text, text.size() + 1);
            for (const std::size_t piece : {1, 2, 3, 7}) {
                EXPECT_EQ(scan(text, piece), whole) << text << " in pieces of " << piece;
                if (!text.starts_with("\xEF\xBB\xBF") && !text.starts_with("\xFF\xFE")) {
                    EXPECT_EQ(scan(utf16(text, true), piece), whole) << text << " LE " << piece;
                    EXPECT_EQ(scan(utf16(text, false), piece), whole) << text << " BE " << piece;
                }
            }
            out_ += whole;
        } else if (!command.empty() && command[0] != '#') {
            FAIL() << "unknown command " << command;
        }
    }

    // Each part of the written package: "=" as the package before had it, "*" changed or new
    // (with its bytes, or when large its size and a hash), "-" gone.
    void listParts(const std::string& path) {
        Files before = saved_;
        zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY, nullptr);
        for (zip_int64_t entry = 0; entry < zip_get_num_entries(archive, 0); ++entry) {
            zip_stat_t info;
            zip_stat_index(archive, entry, 0, &info);
            std::string name = info.name, bytes(info.size, '\0');
            zip_file_t* part = zip_fopen_index(archive, entry, 0);
            EXPECT_EQ(zip_fread(part, bytes.data(), bytes.size()), zip_int64_t(info.size)) << name;
            EXPECT_EQ(zip_fclose(part), 0) << name;
            out_ += before.count(name) != 0 && before[name] == bytes ? "= " + name + "\n"
                    : bytes.size() > 20000 ? "* " + name + " " + summary(bytes) + "\n"
                                           : "* " + name + "\n  " + printable(bytes) + "\n";
            before.erase(name);
            saved_[name] = bytes;
        }
        zip_discard(archive);
        for (const auto& [name, bytes] : before) {
            out_ += "- " + name + "\n";
            saved_.erase(name);
        }
    }

    test::TempDir dir_;
    std::istringstream in_;
    std::string out_;
    Parts parts_ = folderParts();
    Files saved_;  // the package the next save is compared with
    std::optional<Workbook> workbook_;
};

class GoldenTest : public ::testing::TestWithParam<std::string> {};

TEST_P(GoldenTest, TranscriptMatches) {
    const std::string transcript = Script().run(casesDir + GetParam() + ".case");
    if (std::getenv("VEXLO_UPDATE_GOLDEN") != nullptr) {
        test::writeFile(casesDir + GetParam() + ".golden", transcript);
    }
    EXPECT_EQ(transcript, test::readFile(casesDir + GetParam() + ".golden"));
}

std::vector<std::string> caseNames() {
    std::vector<std::string> names = test::listFolder(casesDir);
    std::erase_if(names, [](const std::string& file) { return !file.ends_with(".case"); });
    std::ranges::for_each(names, [](std::string& file) { file.resize(file.size() - 5); });
    return names;
}

INSTANTIATE_TEST_SUITE_P(Cases, GoldenTest, ::testing::ValuesIn(caseNames()),
                         [](const auto& info) { return info.param; });

// Any number is written as a text that reads back as it, and a canonical one as itself.
TEST(CanonicalNumberTest, NumbersReadBack) {
    std::mt19937 random(11);
    for (int round = 0; round < 100000; ++round) {
        const double any = std::ldexp(double(random()), int(random() % 120) - 60);
        const std::string text = formatNumber(any);
        double value = 0;
        ASSERT_EQ(std::strtod(text.c_str(), nullptr), any) << text;
        ASSERT_TRUE(!isCanonicalNumber(text, value) || value == any) << text;
    }
}

}  // namespace
}  // namespace vexlo::workbook
