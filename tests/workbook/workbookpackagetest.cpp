#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>
#include <pugixml.hpp>

#include <ctime>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "common/error.h"
#include "workbook/cellnumber.h"
#include "workbook/package.h"
#include "workbook/workbook.h"
#include "workbookfixture.h"

namespace vexlo::workbook {
namespace {

namespace fs = std::filesystem;
using test::Parts;
using test::readFile;
using test::TempDir;
using test::writeFile;

const char* const declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n";
const char* const blankSheetStart =
    "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
    "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">";
const char* const blankSheetEnd =
    "<pageMargins left=\"0.7\" right=\"0.7\" top=\"0.75\" bottom=\"0.75\" header=\"0.3\" "
    "footer=\"0.3\"/></worksheet>";

std::string templatePart(const std::string& name) {
    for (const auto& [part, bytes] : test::templateParts()) {
        if (part == name) {
            return bytes;
        }
    }
    ADD_FAILURE() << "no template part " << name;
    return "";
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const auto at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

// The element children of a part's root, each printed, in order.
std::vector<std::string> rootChildren(const std::string& xml) {
    pugi::xml_document document;
    EXPECT_TRUE(document.load_string(xml.c_str()));
    std::vector<std::string> children;
    for (pugi::xml_node node : document.document_element().children()) {
        std::ostringstream printed;
        node.print(printed, "", pugi::format_raw);
        children.push_back(printed.str());
    }
    return children;
}

std::vector<std::string> without(std::vector<std::string> items, const std::string& containing) {
    std::erase_if(
        items, [&](const std::string& item) { return item.find(containing) != std::string::npos; });
    return items;
}

std::string writeBytes(const TempDir& dir, const std::string& name, const std::string& bytes) {
    writeFile(dir.file(name), bytes);
    return dir.file(name);
}

struct BadTemplateCase {
    const char* name;
    // Either makes the file and returns its path, or names a template part to change: the whole
    // part becomes `to` (nothing: gone) when `from` is empty, else `from` in it becomes `to`.
    std::function<std::string(const TempDir&)> make;
    const char* part;
    const char* from;
    const char* to;
    const char* problem;  // the message after `Template workbook "P"`
};

const char* const sheet1 = "xl/worksheets/sheet1.xml";

const std::vector<BadTemplateCase>& badTemplates() {
    static const std::vector<BadTemplateCase> cases = {
        {"Missing", [](const TempDir& dir) { return dir.file("missing.xlsx"); }, "", "", "",
         " does not exist"},
        {"InMissingFolder", [](const TempDir& dir) { return dir.file("none/template.xlsx"); }, "",
         "", "", " does not exist"},
        {"Folder",
         [](const TempDir& dir) {
             fs::create_directory(dir.file("folder.xlsx"));
             return dir.file("folder.xlsx");
         },
         "", "", "", " is a folder, not a workbook"},
        {"LegacyBinary",
         [](const TempDir& dir) {
             return writeBytes(
                 dir, "old.xls",
                 std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(504, '\0'));
         },
         "", "", "",
         " is a legacy binary workbook or an encrypted one; only OOXML workbooks (.xlsx, .xlsm) "
         "can be templates"},
        {"Text", [](const TempDir& dir) { return writeBytes(dir, "t.xlsx", "Part,Value\r\n"); }, "",
         "", "", " is not an OOXML workbook (not a zip package)"},
        {"EmptyFile", [](const TempDir& dir) { return writeBytes(dir, "e.xlsx", ""); }, "", "", "",
         " is not an OOXML workbook (not a zip package)"},
        {"TruncatedZip",
         [](const TempDir& dir) {
             test::writeZip(dir.file("whole.xlsx"), test::templateParts());
             return writeBytes(dir, "cut.xlsx", readFile(dir.file("whole.xlsx")).substr(0, 3000));
         },
         "", "", "", " is not an OOXML workbook (not a zip package)"},
        {"NoWorkbook",
         [](const TempDir& dir) {
             test::writeZip(dir.file("bad.xlsx"), {{"readme.txt", "not a workbook"}});
             return dir.file("bad.xlsx");
         },
         "", "", "", " has no workbook part"},
        {"CorruptData",
         [](const TempDir& dir) {
             test::writeZip(dir.file("bad.xlsx"), test::templateParts(), true);
             std::string bytes = readFile(dir.file("bad.xlsx"));
             bytes[bytes.find("<c r=\"A12\"") + 1] = 'x';
             return writeBytes(dir, "bad.xlsx", bytes);
         },
         "", "", "", " has a damaged part \"xl/worksheets/sheet1.xml\": CRC error"},
        {"NoSheets", nullptr, "xl/workbook.xml", "",
         "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
         "<sheets/></workbook>",
         " has no first worksheet"},
        {"FirstSheetPartMissing", nullptr, sheet1, "", "", " has no first worksheet"},
        {"ChartSheetFirst", nullptr, "xl/_rels/workbook.xml.rels",
         "relationships/worksheet\" Target=\"worksheets/sheet1.xml\"",
         "relationships/chartsheet\" Target=\"worksheets/sheet1.xml\"",
         " has a chart or dialog sheet first, not a worksheet"},
        {"MalformedSheet", nullptr, sheet1, "", "<worksheet><sheetData></worksheet>",
         " has a damaged part \"xl/worksheets/sheet1.xml\": Start-end tags mismatch at byte 24"},
        {"NotAWorksheet", nullptr, sheet1, "", "<chartsheet/>",
         " has a damaged part \"xl/worksheets/sheet1.xml\": it is not a worksheet"},
        {"MalformedStyles", nullptr, "xl/styles.xml", "", "<a",
         " has a damaged part \"xl/styles.xml\": Error parsing start element tag at byte 1"},
        {"UnknownSharedString", nullptr, sheet1, "<v>6</v>", "<v>99</v>",
         " has a damaged part \"xl/worksheets/sheet1.xml\": cell A12 names a shared string that "
         "does not exist"},
        {"CellOutsideTheSheet", nullptr, sheet1, "r=\"A12\"", "r=\"XFE12\"",
         " has a damaged part \"xl/worksheets/sheet1.xml\": cell reference \"XFE12\" is invalid"},
        {"MalformedSharedStrings", nullptr, "xl/sharedStrings.xml", "", "<sst><si><t>x</t></sst>",
         " has a damaged part \"xl/sharedStrings.xml\": Start-end tags mismatch at byte 19"},
        {"SharedStringsEndEarly", nullptr, "xl/sharedStrings.xml", "", "<sst><si><t>x</t></si>",
         " has a damaged part \"xl/sharedStrings.xml\": Unexpected end of data at byte 22"},
        // Limits on what a template may hold, and parts that inflate to other than they declare.
        {"TooManyParts",
         [](const TempDir& dir) {
             Parts parts = test::templateParts();
             while (parts.size() < 10001) {
                 parts.emplace_back("extra/" + std::to_string(parts.size()) + ".xml", "<a/>");
             }
             test::writeZip(dir.file("many.xlsx"), parts);
             return dir.file("many.xlsx");
         },
         "", "", "",
         " is too large: it has 10,001 parts, more than the 10,000 a template may have"},
        {"InflatesPastTheLimit",
         [](const TempDir& dir) {
             const std::string path = test::makeTemplate(dir);
             test::declareSize(path, "xl/media/image1.png", 600u << 20);
             return path;
         },
         "", "", "",
         " is too large: its parts inflate to 601 MiB, more than the 512 MiB a template may hold"},
        {"PartInflatesPastItsSize",
         [](const TempDir& dir) {
             const std::string path = test::makeTemplate(dir);
             test::declareSize(path, "xl/sharedStrings.xml", 100);
             return path;
         },
         "", "", "",
         " has a damaged part \"xl/sharedStrings.xml\": it inflates to more than the 100 bytes "
         "it declares"},
        {"PartEndsBeforeItsSize",
         [](const TempDir& dir) {
             const std::string path = test::makeTemplate(dir);
             test::declareSize(path, sheet1, 100000);
             return path;
         },
         "", "", "",
         " has a damaged part \"xl/worksheets/sheet1.xml\": it inflates to fewer than the "
         "100,000 bytes it declares"},
    };
    return cases;
}

class BadTemplateTest : public ::testing::TestWithParam<BadTemplateCase> {};

TEST_P(BadTemplateTest, IsRefusedWithAMessageNamingTheFile) {
    const BadTemplateCase& c = GetParam();
    TempDir dir;
    std::string path = dir.file("bad.xlsx");
    if (c.make) {
        path = c.make(dir);
    } else {
        const std::string bytes =
            *c.from == '\0' ? std::string(c.to) : replaced(templatePart(c.part), c.from, c.to);
        test::writeZip(path, test::withPart(test::templateParts(), c.part, bytes));
    }
    const Error error = test::errorOf([&] { Workbook::open(path); });
    EXPECT_EQ(error.number, errc::BadTemplate);
    EXPECT_EQ(error.description, "Template workbook \"" + path + "\"" + c.problem);
}

INSTANTIATE_TEST_SUITE_P(Inputs, BadTemplateTest, ::testing::ValuesIn(badTemplates()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(WorkbookPackageTest, OpensAWorkbookWhateverItsNameEndsWith) {
    TempDir dir;
    for (const std::string name : {"template.xls", "template.xlsm", "template"}) {
        const std::string path = test::makeTemplate(dir, name);
        EXPECT_EQ(Workbook::open(path).firstSheet().text(1, 1), "Quarterly BOM") << name;
    }
}

// ---------------------------------------------------------------------------------------------
// The blank workbook

TEST(WorkbookPackageTest, BlankWorkbookIsAMinimalPackage) {
    TempDir dir;
    Workbook::blank().saveAs(dir.file("blank.xls"));
    const test::ZipContent saved = test::readZip(dir.file("blank.xls"));
    EXPECT_EQ(saved.names,
              (std::vector<std::string>{"[Content_Types].xml", "_rels/.rels", "xl/workbook.xml",
                                        "xl/_rels/workbook.xml.rels", "xl/styles.xml",
                                        "xl/worksheets/sheet1.xml"}));
    EXPECT_EQ(saved.parts.at("xl/worksheets/sheet1.xml"),
              std::string(declaration) + blankSheetStart +
                  "<dimension ref=\"A1\"/><sheetViews><sheetView workbookViewId=\"0\"/>"
                  "</sheetViews><sheetFormatPr defaultRowHeight=\"15\"/><sheetData/>" +
                  blankSheetEnd);
    EXPECT_NE(saved.parts.at("xl/workbook.xml").find("<sheet name=\"Sheet1\" sheetId=\"1\""),
              std::string::npos);
    EXPECT_NE(saved.parts.at("xl/styles.xml")
                  .find("<fonts count=\"1\"><font><sz val=\"11\"/>"
                        "<name val=\"Calibri\"/>"),
              std::string::npos);
}

// Each entry's modification time, as a local date and time.
std::map<std::string, std::string> zipEntryTimes(const std::string& path) {
    int code = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY, &code);
    std::map<std::string, std::string> times;
    if (archive == nullptr) {
        ADD_FAILURE() << "cannot open " << path;
        return times;
    }
    for (zip_int64_t entry = 0; entry < zip_get_num_entries(archive, 0); ++entry) {
        zip_stat_t info;
        zip_stat_index(archive, static_cast<zip_uint64_t>(entry), 0, &info);
        std::tm local{};
        ::localtime_r(&info.mtime, &local);
        char text[32];
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local);
        times[info.name] = text;
    }
    zip_discard(archive);
    return times;
}

// Parts we write carry a fixed time, so that the same report is the same file whenever it is
// saved; parts carried over keep the template's times.
TEST(WorkbookPackageTest, WrittenPartsCarryAFixedTime) {
    TempDir dir;
    Workbook::blank().saveAs(dir.file("blank.xlsx"));
    const auto blankTimes = zipEntryTimes(dir.file("blank.xlsx"));
    EXPECT_EQ(blankTimes.size(), 6u);
    for (const auto& [name, time] : blankTimes) {
        EXPECT_EQ(time, "1980-01-01 00:00") << name;
    }

    const std::string templatePath = test::makeTemplate(dir);
    Workbook workbook = Workbook::open(templatePath);
    workbook.firstSheet().setValue(20, 1, "added");
    workbook.saveAs(dir.file("report.xlsx"));
    const auto templateTimes = zipEntryTimes(templatePath);
    const auto reportTimes = zipEntryTimes(dir.file("report.xlsx"));
    EXPECT_EQ(reportTimes.at("xl/worksheets/sheet1.xml"), "1980-01-01 00:00");
    EXPECT_EQ(reportTimes.at("xl/media/image1.png"), templateTimes.at("xl/media/image1.png"));
}

TEST(WorkbookPackageTest, WritesCellsInOrderWithTheirTypesAndFormats) {
    TempDir dir;
    Workbook workbook = Workbook::blank();
    Worksheet& sheet = workbook.firstSheet();
    sheet.setValue(3, 2, "b");
    sheet.setValue(1, 1, "10");
    sheet.setValue(1, 3, " x");
    sheet.setText(2, 1, "a<b&c>\"'");
    sheet.setValue(2, 28, "_x0041_");
    sheet.setText(2, 3, "tab\there\nline\x01");
    sheet.setValue(2, 2, "007");
    sheet.applyStyle({4, 1, 4, 1}, {true, std::nullopt, std::nullopt, std::nullopt});
    sheet.applyStyle({1, 1, 1, 1},
                     {std::nullopt, std::nullopt, std::nullopt, HorizontalAlignment::Right});
    sheet.setColumnWidth(2, 12.5);
    sheet.setColumnWidth(3, 12.5);
    sheet.setColumnWidth(5, 3);
    workbook.saveAs(dir.file("cells.xlsx"));
    const test::ZipContent saved = test::readZip(dir.file("cells.xlsx"));
    EXPECT_EQ(saved.parts.at("xl/worksheets/sheet1.xml"),
              std::string(declaration) + blankSheetStart +
                  "<dimension ref=\"A1:AB4\"/><sheetViews><sheetView workbookViewId=\"0\"/>"
                  "</sheetViews><sheetFormatPr defaultRowHeight=\"15\"/><cols>"
                  "<col min=\"2\" max=\"3\" width=\"12.5\" customWidth=\"1\"/>"
                  "<col min=\"5\" max=\"5\" width=\"3\" customWidth=\"1\"/></cols><sheetData>"
                  "<row r=\"1\"><c r=\"A1\" s=\"2\"><v>10</v></c><c r=\"C1\" t=\"inlineStr\"><is>"
                  "<t xml:space=\"preserve\"> x</t></is></c></row>"
                  "<row r=\"2\"><c r=\"A2\" t=\"inlineStr\"><is><t>a&lt;b&amp;c&gt;\"'</t></is>"
                  "</c><c r=\"B2\" t=\"inlineStr\"><is><t>007</t></is></c>"
                  "<c r=\"C2\" t=\"inlineStr\"><is><t>tab\there\nline_x0001_</t></is></c>"
                  "<c r=\"AB2\" t=\"inlineStr\"><is><t>_x005F_x0041_</t></is></c></row>"
                  "<row r=\"3\"><c r=\"B3\" t=\"inlineStr\"><is><t>b</t></is></c></row>"
                  "<row r=\"4\"><c r=\"A4\" s=\"1\"/></row></sheetData>" +
                  blankSheetEnd);
    EXPECT_NE(saved.parts.at("xl/styles.xml")
                  .find("<cellXfs count=\"3\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" "
                        "borderId=\"0\" xfId=\"0\"/><xf numFmtId=\"0\" fontId=\"1\" fillId=\"0\" "
                        "borderId=\"0\" xfId=\"0\" applyFont=\"1\"/><xf numFmtId=\"0\" "
                        "fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\" "
                        "applyAlignment=\"1\"><alignment horizontal=\"right\"/></xf></cellXfs>"),
              std::string::npos)
        << saved.parts.at("xl/styles.xml");
}

TEST(WorkbookPackageTest, EqualFormatsAreSharedNotRepeated) {
    TempDir dir;
    Workbook workbook = Workbook::blank();
    Worksheet& sheet = workbook.firstSheet();
    const CellStyleChange bold{true, std::nullopt, std::nullopt, std::nullopt};
    sheet.applyStyle({1, 1, 3, 3}, bold);
    sheet.applyStyle({5, 1, 5, 1}, bold);
    sheet.applyStyle({1, 1, 1, 1}, bold);
    workbook.saveAs(dir.file("shared.xlsx"));
    const std::string styles = test::readZip(dir.file("shared.xlsx")).parts.at("xl/styles.xml");
    EXPECT_NE(styles.find("<fonts count=\"2\">"), std::string::npos) << styles;
    EXPECT_NE(styles.find("<cellXfs count=\"2\">"), std::string::npos) << styles;
}

struct RoundTripCase {
    const char* name;
    std::string written;
    CellValue read;
};

class RoundTripTest : public ::testing::TestWithParam<RoundTripCase> {};

// Canonical numbers become numbers, everything else stays text, both before and after saving.
TEST_P(RoundTripTest, ReadsBackWhatWasWritten) {
    TempDir dir;
    Workbook workbook = Workbook::blank();
    workbook.firstSheet().setValue(2, 2, GetParam().written);
    if (GetParam().read.text == GetParam().written) {
        EXPECT_EQ(workbook.firstSheet().cell(2, 2), GetParam().read);
    }
    workbook.saveAs(dir.file("trip.xlsx"));
    EXPECT_EQ(Workbook::open(dir.file("trip.xlsx")).firstSheet().cell(2, 2), GetParam().read);
}

INSTANTIATE_TEST_SUITE_P(
    Values, RoundTripTest,
    ::testing::Values(
        RoundTripCase{"Plain", "R1, R2", {CellType::Text, "R1, R2"}},
        RoundTripCase{"LeadingZeros", "007", {CellType::Text, "007"}},
        RoundTripCase{
            "LongDigits", "12345678901234567890", {CellType::Text, "12345678901234567890"}},
        RoundTripCase{"Empty", "", {}},
        RoundTripCase{"TrailingZero", "1.50", {CellType::Text, "1.50"}},
        RoundTripCase{"Exponent", "1e3", {CellType::Text, "1e3"}},
        RoundTripCase{"Integer", "10", {CellType::Number, "10"}},
        RoundTripCase{"Fraction", "-0.1", {CellType::Number, "-0.1"}},
        RoundTripCase{"FifteenDigits", "123456789012345", {CellType::Number, "123456789012345"}},
        RoundTripCase{"Spaces", "  two  ", {CellType::Text, "  two  "}},
        RoundTripCase{"Lines", "a\nb\r\nc", {CellType::Text, "a\nb\r\nc"}},
        RoundTripCase{"Controls", "\x01\x1f\t", {CellType::Text, "\x01\x1f\t"}},
        RoundTripCase{"EscapeLookalike", "_x0041__x005F_", {CellType::Text, "_x0041__x005F_"}},
        RoundTripCase{
            "Markup", "<a href=\"x\">&amp;</a>", {CellType::Text, "<a href=\"x\">&amp;</a>"}},
        RoundTripCase{"Unicode",
                      "\xe2\x82\xac \xce\xa9 \xf0\x9d\x84\x9e",
                      {CellType::Text, "\xe2\x82\xac \xce\xa9 \xf0\x9d\x84\x9e"}},
        RoundTripCase{"NonCharacter", "\xef\xbf\xbe", {CellType::Text, "\xef\xbf\xbe"}},
        // Bytes that are no UTF-8 are taken as Latin-1, so the part stays well-formed.
        RoundTripCase{"Latin1", "caf\xe9 \xff", {CellType::Text, "caf\xc3\xa9 \xc3\xbf"}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// Templates

// What a report does to the template: a block of four columns from row 5, formatted, fitted,
// with one row deleted.
void writeReportBlock(Worksheet& sheet) {
    sheet.clear({5, 1, 9, 4});
    const std::vector<std::vector<std::string>> rows = {{"Refdes", "Value", "QTY", "Note"},
                                                        {"R1", "10k", "1", "0603"},
                                                        {"R2", "10k", "1", ""},
                                                        {"C1", "100n", "2", "007"}};
    for (std::size_t row = 0; row < rows.size(); ++row) {
        for (std::size_t column = 0; column < rows[row].size(); ++column) {
            sheet.setValue(5 + static_cast<int>(row), 1 + static_cast<int>(column),
                           rows[row][column]);
        }
    }
    sheet.applyStyle({5, 1, 9, 4}, {false, true, 10.0, HorizontalAlignment::Left});
    sheet.applyStyle({5, 1, 5, 4}, {true, false, 12.0, HorizontalAlignment::Center});
    sheet.autoFitColumns({5, 1, 9, 4});
    sheet.deleteRow(7);
}

TEST(WorkbookPackageTest, CarriesEveryUnchangedTemplatePartOverByteForByte) {
    TempDir dir;
    Workbook workbook = Workbook::open(test::makeTemplate(dir));
    writeReportBlock(workbook.firstSheet());
    workbook.saveAs(dir.file("report.xls"));

    const test::ZipContent original = test::readZip(dir.file("template.xlsx"));
    const test::ZipContent saved = test::readZip(dir.file("report.xls"));
    std::vector<std::string> expectedNames = original.names;
    std::erase(expectedNames, "xl/calcChain.xml");
    EXPECT_EQ(saved.names, expectedNames);

    const std::set<std::string> changed = {"[Content_Types].xml", "xl/_rels/workbook.xml.rels",
                                           "xl/worksheets/sheet1.xml", "xl/styles.xml",
                                           "xl/sharedStrings.xml"};
    for (const auto& name : saved.names) {
        if (changed.count(name) == 0) {
            EXPECT_EQ(saved.parts.at(name), original.parts.at(name)) << name;
        }
    }
    // The stale calculation chain goes with its relationship and content type.
    EXPECT_EQ(rootChildren(saved.parts.at("[Content_Types].xml")),
              without(rootChildren(original.parts.at("[Content_Types].xml")), "calcChain"));
    EXPECT_EQ(rootChildren(saved.parts.at("xl/_rels/workbook.xml.rels")),
              without(rootChildren(original.parts.at("xl/_rels/workbook.xml.rels")), "calcChain"));
    // A5 held a shared string: one reference fewer, every other byte the same.
    EXPECT_EQ(saved.parts.at("xl/sharedStrings.xml"),
              replaced(original.parts.at("xl/sharedStrings.xml"), "count=\"9\"", "count=\"8\""));
}

TEST(WorkbookPackageTest, AppendsNewFormatsToTheTemplatesStyles) {
    TempDir dir;
    Workbook workbook = Workbook::open(test::makeTemplate(dir));
    // A5:D5 and A6 use format 2 (Arial 9 italic, fill, border, "0.00"), B6 format 1 ("0.00").
    workbook.firstSheet().applyStyle(
        {5, 1, 6, 2}, {true, std::nullopt, std::nullopt, HorizontalAlignment::Center});
    workbook.saveAs(dir.file("styled.xlsx"));
    const std::string original = templatePart("xl/styles.xml");
    const std::string saved = test::readZip(dir.file("styled.xlsx")).parts.at("xl/styles.xml");

    const std::string newFonts =
        "<font><b/><i/><sz val=\"9\"/><color rgb=\"FF1F4E79\"/><name val=\"Arial\"/>"
        "<family val=\"2\"/></font><font><b/><sz val=\"11\"/><color theme=\"1\"/>"
        "<name val=\"Calibri\"/><family val=\"2\"/><scheme val=\"minor\"/></font></fonts>";
    const std::string newFormats =
        "<xf numFmtId=\"164\" fontId=\"3\" fillId=\"2\" borderId=\"1\" xfId=\"0\" "
        "applyNumberFormat=\"1\" applyFont=\"1\" applyFill=\"1\" applyBorder=\"1\" "
        "applyAlignment=\"1\"><alignment vertical=\"top\" wrapText=\"1\" "
        "horizontal=\"center\"/></xf><xf numFmtId=\"164\" fontId=\"4\" fillId=\"0\" "
        "borderId=\"0\" xfId=\"0\" applyNumberFormat=\"1\" applyFont=\"1\" "
        "applyAlignment=\"1\"><alignment horizontal=\"center\"/></xf></cellXfs>";
    std::string expected = replaced(original, "</fonts>", newFonts);
    expected = replaced(expected, "</cellXfs>", newFormats);
    expected = replaced(expected, "<fonts count=\"3\"", "<fonts count=\"5\"");
    expected = replaced(expected, "<cellXfs count=\"4\"", "<cellXfs count=\"6\"");
    // pugixml writes the declaration without the line break after it.
    expected = replaced(expected, "?>\n", "?>");
    expected.erase(expected.find_last_not_of('\n') + 1);
    EXPECT_EQ(saved, expected);

    Workbook reopened = Workbook::open(dir.file("styled.xlsx"));
    EXPECT_EQ(reopened.firstSheet().format(6, 2),
              (CellFormat{true, false, 11, HorizontalAlignment::Center}));
    EXPECT_EQ(reopened.firstSheet().format(5, 2),
              (CellFormat{true, true, 9, HorizontalAlignment::Center}));
    EXPECT_EQ(reopened.firstSheet().format(5, 3), (CellFormat{false, true, 9, std::nullopt}));
}

TEST(WorkbookPackageTest, KeepsTheTemplateSheetAsItWasWhenNothingChanges) {
    TempDir dir;
    Workbook::open(test::makeTemplate(dir)).saveAs(dir.file("same.xlsx"));
    const test::ZipContent original = test::readZip(dir.file("template.xlsx"));
    const test::ZipContent saved = test::readZip(dir.file("same.xlsx"));
    EXPECT_EQ(saved.names, original.names);
    for (const auto& name : saved.names) {
        if (name != "xl/worksheets/sheet1.xml") {
            EXPECT_EQ(saved.parts.at(name), original.parts.at(name)) << name;
        }
    }
    EXPECT_EQ(saved.parts.at("xl/worksheets/sheet1.xml"),
              readFile(test::sourceDir() + "/tests/workbook/data/workbook/sheet1-saved.xml"));
}

TEST(WorkbookPackageTest, KeepsAPrefixedSpreadsheetNamespace) {
    TempDir dir;
    const std::string sheet =
        "<x:worksheet xmlns:x=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
        "<x:sheetData><x:row r=\"1\"><x:c r=\"A1\" t=\"inlineStr\"><x:is><x:t>old</x:t></x:is>"
        "</x:c></x:row></x:sheetData><x:mergeCells count=\"1\"><x:mergeCell ref=\"B3:C3\"/>"
        "</x:mergeCells><x:pageMargins left=\"1\" right=\"1\" top=\"1\" bottom=\"1\" "
        "header=\"0\" footer=\"0\"/></x:worksheet>";
    test::writeZip(dir.file("prefixed.xlsx"),
                   test::withPart(test::templateParts(), "xl/worksheets/sheet1.xml", sheet));
    Workbook workbook = Workbook::open(dir.file("prefixed.xlsx"));
    Worksheet& cells = workbook.firstSheet();
    EXPECT_EQ(cells.text(1, 1), "old");
    cells.setValue(2, 1, "new");
    cells.setValue(2, 2, "2");
    cells.setNumber(2, 3, 1.0 / 0.0);
    cells.setColumnWidth(1, 9);
    workbook.saveAs(dir.file("out.xlsx"));
    EXPECT_EQ(
        test::readZip(dir.file("out.xlsx")).parts.at("xl/worksheets/sheet1.xml"),
        std::string(declaration) +
            "<x:worksheet xmlns:x=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
            "<x:dimension ref=\"A1:C2\"/><x:cols><x:col min=\"1\" max=\"1\" width=\"9\" "
            "customWidth=\"1\"/></x:cols><x:sheetData><x:row r=\"1\"><x:c r=\"A1\" "
            "t=\"inlineStr\"><x:is><x:t>old</x:t></x:is></x:c></x:row><x:row r=\"2\"><x:c "
            "r=\"A2\" t=\"inlineStr\"><x:is><x:t>new</x:t></x:is></x:c><x:c r=\"B2\"><x:v>2"
            "</x:v></x:c><x:c r=\"C2\" t=\"e\"><x:v>#NUM!</x:v></x:c></x:row></x:sheetData>"
            "<x:mergeCells count=\"1\"><x:mergeCell ref=\"B3:C3\"/></x:mergeCells>"
            "<x:pageMargins left=\"1\" right=\"1\" top=\"1\" bottom=\"1\" header=\"0\" "
            "footer=\"0\"/></x:worksheet>");
}

TEST(WorkbookPackageTest, PlacesCellsAndRowsWithoutReferencesAfterThePreviousOnes) {
    TempDir dir;
    const std::string sheet =
        "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
        "<sheetData><row><c t=\"inlineStr\"><is><t>a</t></is></c><c><v>2</v></c></row>"
        "<row r=\"4\"><c r=\"C4\"><v>3</v></c><c><v>4</v></c><c><v></v></c></row>"
        "<row><c r=\"B5\" t=\"inlineStr\"><is><r><t>rich</t></r><r><t> text</t></r></is></c>"
        "</row></sheetData></worksheet>";
    test::writeZip(dir.file("implicit.xlsx"),
                   test::withPart(test::templateParts(), "xl/worksheets/sheet1.xml", sheet));
    Workbook workbook = Workbook::open(dir.file("implicit.xlsx"));
    const Worksheet& cells = workbook.firstSheet();
    EXPECT_EQ(cells.cell(1, 1), (CellValue{CellType::Text, "a"}));
    EXPECT_EQ(cells.cell(1, 2), (CellValue{CellType::Number, "2"}));
    EXPECT_EQ(cells.cell(4, 3), (CellValue{CellType::Number, "3"}));
    EXPECT_EQ(cells.cell(4, 4), (CellValue{CellType::Number, "4"}));
    EXPECT_EQ(cells.cell(4, 5), CellValue{});
    EXPECT_EQ(cells.cell(5, 2), (CellValue{CellType::Text, "rich text"}));
    EXPECT_EQ(cells.lastRow(), 5);
}

TEST(WorkbookPackageTest, WritesAChangedUtf16PartBackAsUtf8) {
    TempDir dir;
    const std::string styles =
        replaced(templatePart("xl/styles.xml"), "encoding=\"UTF-8\"", "encoding=\"UTF-16\"");
    std::string utf16 = "\xff\xfe";  // little-endian byte order mark
    for (const char c : styles) {
        utf16 += c;
        utf16 += '\0';
    }
    test::writeZip(dir.file("utf16.xlsx"),
                   test::withPart(test::templateParts(), "xl/styles.xml", utf16));
    Workbook workbook = Workbook::open(dir.file("utf16.xlsx"));
    EXPECT_EQ(workbook.firstSheet().format(1, 1), (CellFormat{true, false, 14, std::nullopt}));
    workbook.firstSheet().applyStyle({1, 1, 1, 1}, {false, true, std::nullopt, std::nullopt});
    workbook.saveAs(dir.file("out.xlsx"));
    const std::string saved = test::readZip(dir.file("out.xlsx")).parts.at("xl/styles.xml");
    EXPECT_EQ(saved.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"
                          "<styleSheet",
                          0),
              0u)
        << saved.substr(0, 80);
    EXPECT_EQ(Workbook::open(dir.file("out.xlsx")).firstSheet().format(1, 1),
              (CellFormat{false, true, 14, std::nullopt}));
}

TEST(WorkbookPackageTest, GivesATemplateWithoutStylesAStyleSheet) {
    TempDir dir;
    Parts parts = test::withPart(test::templateParts(), "xl/styles.xml", "");
    parts = test::withPart(
        parts, "xl/_rels/workbook.xml.rels",
        replaced(templatePart("xl/_rels/workbook.xml.rels"),
                 "<Relationship Id=\"rId4\" Type=\"http://schemas.openxmlformats.org/"
                 "officeDocument/2006/relationships/styles\" Target=\"styles.xml\"/>",
                 ""));
    parts = test::withPart(parts, "[Content_Types].xml",
                           replaced(templatePart("[Content_Types].xml"),
                                    "<Override PartName=\"/xl/styles.xml\" "
                                    "ContentType=\"application/vnd.openxmlformats-officedocument."
                                    "spreadsheetml.styles+xml\"/>",
                                    ""));
    test::writeZip(dir.file("plain.xlsx"), parts);
    Workbook workbook = Workbook::open(dir.file("plain.xlsx"));
    workbook.firstSheet().applyStyle({1, 1, 1, 1},
                                     {true, std::nullopt, std::nullopt, std::nullopt});
    workbook.saveAs(dir.file("styled.xlsx"));

    const test::ZipContent saved = test::readZip(dir.file("styled.xlsx"));
    EXPECT_NE(saved.parts.at("xl/styles.xml").find("<cellXfs count=\"2\">"), std::string::npos);
    EXPECT_NE(saved.parts.at("[Content_Types].xml")
                  .find("<Override PartName=\"/xl/styles.xml\" ContentType=\"application/"
                        "vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/></Types>"),
              std::string::npos);
    EXPECT_NE(saved.parts.at("xl/_rels/workbook.xml.rels")
                  .find("<Relationship Id=\"rId4\" Type=\"http://schemas.openxmlformats.org/"
                        "officeDocument/2006/relationships/styles\" Target=\"styles.xml\"/>"),
              std::string::npos);
    EXPECT_TRUE(Workbook::open(dir.file("styled.xlsx")).firstSheet().format(1, 1).bold);
}

TEST(WorkbookPackageTest, CanSaveOverItsOwnTemplateAndSaveAgain) {
    TempDir dir;
    const std::string path = test::makeTemplate(dir);
    Workbook workbook = Workbook::open(path);
    workbook.firstSheet().setValue(20, 1, "added");
    workbook.saveAs(path);
    workbook.firstSheet().setValue(21, 1, "again");
    workbook.saveAs(dir.file("second.xlsx"));
    EXPECT_EQ(Workbook::open(path).firstSheet().text(20, 1), "added");
    EXPECT_EQ(Workbook::open(path).firstSheet().text(21, 1), "");
    EXPECT_EQ(Workbook::open(dir.file("second.xlsx")).firstSheet().text(21, 1), "again");
    EXPECT_EQ(test::readZip(dir.file("second.xlsx")).parts.at("xl/media/image1.png"),
              templatePart("xl/media/image1.png"));
    EXPECT_EQ(dir.listing(), (std::vector<std::string>{"second.xlsx", "template.xlsx"}));
}

// A sheet of several megabytes is read a slice of rows at a time; damage is reported where a
// parser of the whole part would stop.
TEST(WorkbookPackageTest, ReadsALargeSheetWholeAndFindsDamageInIt) {
    TempDir dir;
    Workbook workbook = Workbook::blank();
    Worksheet& sheet = workbook.firstSheet();
    constexpr int rows = 40000;
    for (int row = 1; row <= rows; ++row) {
        sheet.setValue(row, 1, "R" + std::to_string(row) + (row % 7 == 0 ? " <&>" : ""));
        sheet.setValue(row, 2, std::to_string(row % 1000) + (row % 2 == 0 ? ".5" : ""));
        sheet.setValue(row, 3, "attribute value of row " + std::to_string(row));
    }
    sheet.applyStyle({rows / 2, 1, rows / 2 + 10, 5},
                     {true, std::nullopt, std::nullopt, std::nullopt});
    workbook.saveAs(dir.file("large.xlsx"));
    const test::ZipContent saved = test::readZip(dir.file("large.xlsx"));
    ASSERT_GT(saved.parts.at(sheet1).size(), std::size_t(4) << 20);

    Workbook reopened = Workbook::open(dir.file("large.xlsx"));
    const Worksheet& read = reopened.firstSheet();
    for (int row = 1; row <= rows; ++row) {
        for (int column = 1; column <= 3; ++column) {
            ASSERT_EQ(read.cell(row, column), sheet.cell(row, column)) << row << "," << column;
        }
    }
    EXPECT_TRUE(read.format(rows / 2 + 10, 5).bold);
    EXPECT_FALSE(read.format(rows / 2 + 11, 5).bold);
    EXPECT_EQ(read.lastRow(), rows);
    EXPECT_EQ(read.lastColumn(), 5);

    std::string damaged = saved.parts.at(sheet1);
    damaged.replace(damaged.find("<c r=\"C30000\""), 2, "<c<");
    pugi::xml_document whole;
    const auto expected = whole.load_string(damaged.c_str());
    ASSERT_FALSE(expected);
    Parts parts;
    for (const auto& name : saved.names) {
        parts.emplace_back(name, name == sheet1 ? damaged : saved.parts.at(name));
    }
    test::writeZip(dir.file("damaged.xlsx"), parts);
    EXPECT_EQ(test::errorOf([&] { Workbook::open(dir.file("damaged.xlsx")); }).description,
              "Template workbook \"" + dir.file("damaged.xlsx") +
                  "\" has a damaged part \"xl/worksheets/sheet1.xml\": " + expected.description() +
                  " at byte " + std::to_string(expected.offset));
}

struct LargeSheetMarkupCase {
    const char* name;
    const char* beforeRows;  // in the worksheet before its sheetData
    const char* inRow;       // in the row that spans the first slice boundary
    CellValue second;        // what cell B of that row reads as
};

class LargeSheetMarkupTest : public ::testing::TestWithParam<LargeSheetMarkupCase> {};

// A sheet over 4 MiB is read in slices cut where rows end; a comment or CDATA section that spells
// "</row>" across the first cut, or a comment naming sheetData before the rows, is no row end.
TEST_P(LargeSheetMarkupTest, IsCutOnlyWhereRowsEnd) {
    const LargeSheetMarkupCase& c = GetParam();
    const auto row = [](int number, const std::string& inside) {
        const std::string r = std::to_string(number);
        return "<row r=\"" + r + "\"><c r=\"A" + r + "\" t=\"inlineStr\"><is><t>row " + r +
               "</t></is></c>" + inside + "</row>";
    };
    std::string sheet = std::string(declaration) + blankSheetStart + c.beforeRows + "<sheetData>";
    const std::size_t rowsStart = sheet.size();
    int rows = 0;
    while (sheet.size() - rowsStart + row(rows + 1, "").size() < (std::size_t(4) << 20) - 10) {
        sheet += row(++rows, "");
    }
    const int marked = ++rows;
    sheet += row(marked, replaced(c.inRow, "FILL", std::string(400, 'x')));
    for (int more = 0; more < 3; ++more) {
        sheet += row(++rows, "");
    }
    sheet += std::string("</sheetData>") + blankSheetEnd;

    TempDir dir;
    test::writeZip(dir.file("large.xlsx"), test::withPart(test::templateParts(), sheet1, sheet));
    Workbook workbook = Workbook::open(dir.file("large.xlsx"));
    const Worksheet& cells = workbook.firstSheet();
    EXPECT_EQ(cells.text(1, 1), "row 1");
    EXPECT_EQ(cells.text(marked, 1), "row " + std::to_string(marked));
    EXPECT_EQ(cells.cell(marked, 2), c.second);
    EXPECT_EQ(cells.text(rows, 1), "row " + std::to_string(rows));
    EXPECT_EQ(cells.lastRow(), rows);
}

INSTANTIATE_TEST_SUITE_P(
    Markup, LargeSheetMarkupTest,
    ::testing::Values(LargeSheetMarkupCase{"CommentInARow", "", "<!-- FILL </row> -->", {}},
                      LargeSheetMarkupCase{
                          "CDataInACell",
                          "",
                          "<c t=\"inlineStr\"><is><t><![CDATA[FILL</row>]]></t></is></c>",
                          {CellType::Text, std::string(400, 'x') + "</row>"}},
                      LargeSheetMarkupCase{"InstructionInARow", "", "<?note FILL </row>?>", {}},
                      LargeSheetMarkupCase{"SheetDataNamedInAComment",
                                           "<!-- <sheetData></sheetData> -->",
                                           "<c><v>7</v></c><!--FILL-->",
                                           {CellType::Number, "7"}}),
    [](const auto& info) { return std::string(info.param.name); });

// A sheet that saving reads to count the references to shared strings fails the save when it
// cannot be read: nothing is written, rather than a table with a wrong count.
TEST(WorkbookPackageTest, ADamagedSheetCountedForSharedStringsFailsTheSave) {
    const char* const sheet2 = "xl/worksheets/sheet2.xml";
    const std::vector<std::tuple<std::string, std::function<void(const std::string&)>, std::string>>
        cases = {
            {"<worksheet><sheetData></worksheet>", nullptr, "Start-end tags mismatch at byte 24"},
            {"<worksheet><sheetData><row><c t=\"s\"><v>0</v>", nullptr,
             "Unexpected end of data at byte 44"},
            {templatePart(sheet2),
             [&](const std::string& path) { test::declareSize(path, sheet2, 200); },
             "it inflates to more than the 200 bytes it declares"},
        };
    for (const auto& [bytes, change, problem] : cases) {
        SCOPED_TRACE(problem);
        TempDir dir;
        const std::string path = dir.file("template.xlsx");
        test::writeZip(path, test::withPart(test::templateParts(), sheet2, bytes));
        if (change) {
            change(path);
        }
        Workbook workbook = Workbook::open(path);
        writeReportBlock(workbook.firstSheet());
        const Error error = test::errorOf([&] { workbook.saveAs(dir.file("report.xlsx")); });
        EXPECT_EQ(error.number, errc::BadTemplate);
        EXPECT_EQ(error.description, "Template workbook \"" + path + "\" has a damaged part \"" +
                                         sheet2 + "\": " + problem);
        EXPECT_EQ(dir.listing(), (std::vector<std::string>{"template.xlsx"}));
    }
}

// The shared string table is read a piece at a time and only the items the sheet shows are
// kept; their texts are what a parser's tree gives. Saving copies the table with its count
// changed and every other byte as it was.
TEST(WorkbookPackageTest, ReadsTheSharedStringsTheSheetShowsFromALargeTable) {
    const std::vector<std::pair<std::string, std::string>> items = {
        {"<t>plain</t>", "plain"},
        {"<r><t>rich</t></r><r><rPr><b/></rPr><t xml:space=\"preserve\"> text</t><t>no</t></r>"
         "<rPh><t>phonetic</t></rPh>",
         "rich text"},
        {"<t>a&amp;b&#x41;_x0043_\r\nd&unknown;</t>", "a&bAC\nd&unknown;"},
        {"<t><![CDATA[<cdata>&amp;]]>after</t>", "<cdata>&amp;"},
        {"<t> </t><t>\t<!-- c -->x</t>", " x"},
        {"<t>first<!-- c -->second</t>", "first"},
    };
    std::string table = std::string(declaration) +
                        "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
                        "count=\"20\" uniqueCount=\"200000\">";
    std::string rows;
    for (std::size_t item = 0; item < items.size(); ++item) {
        table += "<si>" + items[item].first + "</si>";
        const std::string r = std::to_string(item + 1);
        rows += "<row r=\"" + r + "\"><c r=\"A" + r + "\" t=\"s\"><v>" + std::to_string(item) +
                "</v></c></row>";
    }
    for (std::size_t item = items.size(); item < 199999; ++item) {
        table += "<si><t>filler</t></si>";
    }
    table += "<si><t>last</t></si></sst>";
    rows +=
        "<row r=\"9\"><c r=\"A9\" t=\"s\"><f>x</f><v>199999</v></c>"
        "<c r=\"B9\" t=\"s\"><v>199999</v></c></row>";
    const std::string sheet =
        std::string(blankSheetStart) + "<sheetData>" + rows + "</sheetData>" + blankSheetEnd;
    TempDir dir;
    Parts parts = test::withPart(test::templateParts(), "xl/sharedStrings.xml", table);
    test::writeZip(dir.file("strings.xlsx"), test::withPart(parts, sheet1, sheet));

    Workbook workbook = Workbook::open(dir.file("strings.xlsx"));
    Worksheet& cells = workbook.firstSheet();
    for (std::size_t item = 0; item < items.size(); ++item) {
        EXPECT_EQ(cells.cell(static_cast<int>(item) + 1, 1),
                  (CellValue{CellType::Text, items[item].second}))
            << items[item].first;
    }
    EXPECT_EQ(cells.text(9, 1), "last");
    EXPECT_EQ(cells.text(9, 2), "last");

    cells.clear(1, 1);
    workbook.saveAs(dir.file("report.xlsx"));
    // Sheet 2 of the template refers to the table twice.
    EXPECT_EQ(test::readZip(dir.file("report.xlsx")).parts.at("xl/sharedStrings.xml"),
              replaced(table, "count=\"20\"", "count=\"9\""));
}

// A UTF-16 table is read as well; where its count lies in its bytes is not known, so it is
// carried over as it was.
TEST(WorkbookPackageTest, ReadsAUtf16SharedStringTableAndKeepsItAsItWas) {
    std::string table = "\xff\xfe";
    for (const char c : replaced(templatePart("xl/sharedStrings.xml"), "UTF-8", "UTF-16")) {
        table += std::string{c, '\0'};
    }
    TempDir dir;
    test::writeZip(dir.file("utf16.xlsx"),
                   test::withPart(test::templateParts(), "xl/sharedStrings.xml", table));
    Workbook workbook = Workbook::open(dir.file("utf16.xlsx"));
    EXPECT_EQ(workbook.firstSheet().text(1, 1), "Quarterly BOM");
    EXPECT_EQ(workbook.firstSheet().text(3, 1), "Prepared by");
    writeReportBlock(workbook.firstSheet());
    workbook.saveAs(dir.file("report.xlsx"));
    EXPECT_EQ(test::readZip(dir.file("report.xlsx")).parts.at("xl/sharedStrings.xml"), table);
}

struct RewriteCase {
    const char* name;
    std::uint64_t at;
    std::uint64_t length;
    std::string bytes;
};

class RewriteTest : public ::testing::TestWithParam<RewriteCase> {};

// A rewritten part is the part with one range replaced, from a template or from memory, however
// large the part.
TEST_P(RewriteTest, ReplacesTheRangeAndKeepsTheRest) {
    const RewriteCase& c = GetParam();
    std::string part;
    for (int line = 0; part.size() < (std::size_t(3) << 20); ++line) {
        part += "line " + std::to_string(line) + "\n";
    }
    part.resize(std::size_t(3) << 20);
    std::string expected = part;
    expected.replace(c.at, c.length, c.bytes);
    TempDir dir;
    test::writeZip(dir.file("parts.zip"), {{"a.txt", "kept"}, {"big.txt", part}});
    const auto packages = {WorkbookPackage::open(dir.file("parts.zip")),
                           WorkbookPackage::inMemory({{"a.txt", "kept"}, {"big.txt", part}})};
    for (const auto& package : packages) {
        WorkbookPackage::Changes changes;
        changes.rewritten["big.txt"] = {c.at, c.length, c.bytes};
        package->saveAs(dir.file("out.zip"), changes);
        const test::ZipContent saved = test::readZip(dir.file("out.zip"));
        EXPECT_EQ(saved.names, (std::vector<std::string>{"a.txt", "big.txt"}));
        EXPECT_EQ(saved.parts.at("a.txt"), "kept");
        EXPECT_TRUE(saved.parts.at("big.txt") == expected) << saved.parts.at("big.txt").size();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, RewriteTest,
    ::testing::Values(RewriteCase{"AtTheStart", 0, 4, "LINE"},
                      RewriteCase{"LongerInTheMiddle", 2000000, 5, std::string(10000, 'x')},
                      RewriteCase{"ShorterAcrossPieces", (1 << 20) - 3, 9000, "gone"},
                      RewriteCase{"RemovedAtTheEnd", (3 << 20) - 100, 100, ""},
                      RewriteCase{"InsertedOnly", 12, 0, "inserted"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// Saving atomically: a failed save leaves whatever was at the path as it was, and nothing else.

TEST(WorkbookPackageTest, SavingIntoAMissingFolderFailsNamingTheFile) {
    TempDir dir;
    const std::string path = dir.file("gone/out.xls");
    const Error error = test::errorOf([&] { Workbook::blank().saveAs(path); });
    EXPECT_EQ(error.number, errc::FileNotFound);
    EXPECT_EQ(error.description, "Cannot create \"" + path + "\": the folder \"" +
                                     dir.file("gone") +
                                     "\" cannot be written to (No such file or directory)");
    EXPECT_TRUE(dir.listing().empty());
}

TEST(WorkbookPackageTest, AFolderInTheWayIsNotReplaced) {
    TempDir dir;
    fs::create_directory(dir.file("out.xls"));
    writeFile(dir.file("out.xls/inside.txt"), "kept");
    EXPECT_EQ(test::errorOf([&] { Workbook::blank().saveAs(dir.file("out.xls")); }).description,
              "Cannot replace \"" + dir.file("out.xls") + "\": Is a directory");
    EXPECT_EQ(dir.listing(), (std::vector<std::string>{"out.xls"}));
    EXPECT_EQ(readFile(dir.file("out.xls/inside.txt")), "kept");
}

TEST(WorkbookPackageTest, AFailedWriteLeavesTheOldFileWholeAndNothingElse) {
    TempDir dir;
    const std::string path = dir.file("report.xls");
    Workbook::open(test::makeTemplate(dir)).saveAs(path);
    const std::string before = readFile(path);
    fs::remove(dir.file("template.xlsx"));

    Workbook workbook = Workbook::blank();
    for (int row = 1; row <= 3000; ++row) {
        workbook.firstSheet().setValue(row, 1, "row " + std::to_string(row * 7919 % 10007));
    }
    const Error error = [&] {
        test::FileSizeLimit limit(4096);
        return test::errorOf([&] { workbook.saveAs(path); });
    }();
    EXPECT_EQ(error.number, errc::DiskFull);
    EXPECT_EQ(error.description, "Cannot write \"" + path + "\": File too large");
    EXPECT_EQ(readFile(path), before);
    EXPECT_EQ(dir.listing(), (std::vector<std::string>{"report.xls"}));
}

TEST(WorkbookPackageTest, AnUnwritableFolderLeavesTheOldFileWhole) {
    TempDir dir;
    const std::string path = dir.file("locked/report.xls");
    fs::create_directory(dir.file("locked"));
    writeFile(path, "old report");
    fs::permissions(dir.file("locked"), fs::perms::owner_read | fs::perms::owner_exec);
    if (::access(dir.file("locked").c_str(), W_OK) == 0) {
        GTEST_SKIP() << "this user writes into read-only folders (root)";
    }
    const Error error = test::errorOf([&] { Workbook::blank().saveAs(path); });
    EXPECT_EQ(error.number, errc::PermissionDenied);
    EXPECT_EQ(error.description, "Cannot create \"" + path + "\": Permission denied");
    EXPECT_EQ(readFile(path), "old report");
}

}  // namespace
}  // namespace vexlo::workbook
