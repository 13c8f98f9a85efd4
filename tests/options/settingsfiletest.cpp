#include "options/settingsfile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>

#include "common/error.h"
#include "testsupport.h"

namespace vexlo::options {

// Shown by gtest when a comparison fails.
void PrintTo(const Settings& s, std::ostream* out) {
    *out << "{Excel_Start=" << s.Excel_Start << " Header_Font_Size=" << s.Header_Font_Size
         << " Value_Font_Size=" << s.Value_Font_Size << " Value_Bold=" << s.Value_Bold
         << " Header_Bold=" << s.Header_Bold << " Value_Italic=" << s.Value_Italic
         << " Header_Italic=" << s.Header_Italic << " Align_Header=" << s.Align_Header
         << " Align_Value=" << s.Align_Value << " Export_File_Format=" << s.Export_File_Format
         << " Excel_File_Start=\"" << s.Excel_File_Start << "\" Exclude_Attribute=\""
         << s.Exclude_Attribute << "\" Exclude_Values=\"" << s.Exclude_Values
         << "\" Refdes_Order=" << s.Refdes_Order << " Workbook_Xlsx=" << s.Workbook_Xlsx << "}";
}

namespace {

using Lines = std::vector<std::string>;
using test::crlf;
using test::readFile;
using test::TempDir;
using test::writeFile;

// Fields in the order of the file: Excel_Start, Header_Font_Size, Value_Font_Size, Value_Bold,
// Header_Bold, Value_Italic, Header_Italic, Align_Header, Align_Value, Export_File_Format.
// The bill of materials settings stay off.
Settings fields(std::int32_t start, std::int16_t headerSize, std::int16_t valueSize,
                std::int16_t valueBold, std::int16_t headerBold, std::int16_t valueItalic,
                std::int16_t headerItalic, std::int16_t alignHeader, std::int16_t alignValue,
                std::int16_t format, std::string templatePath = "") {
    Settings settings;
    settings.Excel_Start = start;
    settings.Header_Font_Size = headerSize;
    settings.Value_Font_Size = valueSize;
    settings.Export_File_Format = format;
    settings.Header_Bold = headerBold;
    settings.Value_Bold = valueBold;
    settings.Value_Italic = valueItalic;
    settings.Header_Italic = headerItalic;
    settings.Align_Header = alignHeader;
    settings.Align_Value = alignValue;
    settings.Excel_File_Start = std::move(templatePath);
    return settings;
}

// The bill of materials settings over other fields.
Settings withBom(Settings settings, std::string attribute, std::string values, int order,
                 int xlsx) {
    settings.Exclude_Attribute = std::move(attribute);
    settings.Exclude_Values = std::move(values);
    settings.Refdes_Order = static_cast<std::int16_t>(order);
    settings.Workbook_Xlsx = static_cast<std::int16_t>(xlsx);
    return settings;
}

const Lines bomLines = {"Exclude_Attribute=Fitted", "Exclude_Values= DNP, nf ", "Refdes_Order=2",
                        "Workbook_Xlsx=1"};

const std::string orderedTemplate = "Excel_File_Start=/home/ann/tpl/bom.xls";
const Lines orderedFile = {"Excel_Start=3",        "Header_Font_Size=12", "Value_Font_Size=9",
                           "Value_Bold=1",         "Header_Bold=1",       "Value_Italic=0",
                           "Header_Italic=1",      "Align_Header=1",      "Align_Value=2",
                           "Export_File_Format=2", orderedTemplate};
const Settings orderedFields = fields(3, 12, 9, 1, 1, 0, 1, 1, 2, 2, "/home/ann/tpl/bom.xls");

// --- Numbers ---

// Rounding (an exact half goes to the even integer), forms, range, then texts that are not
// numbers.
TEST(SettingsInteger, ConvertsOrRefuses) {
    const auto no = std::nullopt;
    std::vector<std::pair<std::string, std::optional<std::int16_t>>> cases = {
        {"2.5", 2},         {"3.5", 4},         {"-2.5", -2},        {"0.5", 0},
        {"1.4999", 1},      {"1.5", 2},         {"-0.5", 0},         {"-3.5", -4},
        {"2.51", 3},        {"-1.6", -2},       {"2.500", 2},        {"12", 12},
        {"+7", 7},          {"-7", -7},         {"007", 7},          {"0", 0},
        {"-0", 0},          {" 12", 12},        {"12 ", 12},         {"\t12\t", 12},
        {" -3.5 ", -4},     {"5.", 5},          {".5", 0},           {".51", 1},
        {"32767", 32767},   {"-32768", -32768}, {"32767.49", 32767}, {"-32768.5", -32768},
        {"32766.5", 32766}, {"32767.5", no},    {"32768", no},       {"-32769", no},
        {"-32768.51", no},  {"100000", no}};
    // Past what a double holds: the digits decide, not a binary value.
    cases.insert(cases.end(), {{"2.50000000000000000001", 3},
                               {"0.49999999999999999999", 0},
                               {"00000000000000000012", 12},
                               {"99999999999999999999", no}});
    for (const char* text : {"", " ", "abc", "12abc", "1e3", "0x10", "1,5", "1 000", "- 5", "--5",
                             "+", ".", "-.", "1.2.3", "5=6", "\r5"}) {
        cases.emplace_back(text, no);
    }
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(settingsInteger(text), expected) << '"' << text << '"';
    }
}

// --- Lines over fields ---

TEST(ApplySettingsLines, SetsFields) {
    struct Case {
        const char* name;
        Lines lines;
        Settings start;
        Settings expected;
    };
    const Settings some = fields(5, 11, 11, 1, 0, 1, 0, 2, 1, 3, "/old/tpl.xls");
    const std::vector<Case> cases = {
        Case("Ordered", orderedFile, {}, orderedFields),
        Case("AnyOrder", Lines(orderedFile.rbegin(), orderedFile.rend()), {}, orderedFields),
        Case("ExtraKeysIgnored",
             {"Colour=red", "Excel_Start=3", "Excel_Starts=9", "=5", "Header_Font_Size=12",
              "Value_Font_Size=9", "Value_Bold=1", "Header_Bold=1", "Value_Italic=0",
              "Header_Italic=1", "Align_Header=1", "Align_Value=2", "Export_File_Format=2",
              "Excel_File_Start=/home/ann/tpl/bom.xls", "Font=Arial"},
             {}, orderedFields),
        Case("RepeatedKeyLastWins",
             {"Excel_Start=4", "Excel_File_Start=/a.xls", "Excel_Start=6",
              "Excel_File_Start=/b.xls"},
             {}, fields(6, 0, 0, 0, 0, 0, 0, 0, 0, 0, "/b.xls")),
        Case("KeysAreCaseSensitive",
             {"excel_start=5", "EXCEL_START=5", "Value_bold=1", "excel_file_start=/t.xls"}, {}, {}),
        Case("KeysAreNotTrimmed", {"Excel_Start =5", " Excel_Start=5", "Excel_File_Start =/t.xls"},
             {}, {}),
        Case("EqualsInTemplateKept", {"Excel_File_Start=/data/a=b/x==y.xls"}, {},
             fields(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "/data/a=b/x==y.xls")),
        Case("TemplateTakenAsItIs", {"Excel_File_Start= /t.xls "}, {},
             fields(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, " /t.xls ")),
        Case("EmptyTemplateValueClearsIt", {"Excel_File_Start="}, some,
             fields(5, 11, 11, 1, 0, 1, 0, 2, 1, 3, "")),
        Case("TemplateKeptWhenAbsent", {"Excel_Start=2"}, some,
             fields(2, 11, 11, 1, 0, 1, 0, 2, 1, 3, "/old/tpl.xls")),
        Case("ValuesRounded",
             {"Excel_Start=2.5", "Header_Font_Size=3.5", "Value_Font_Size=-2.5", "Value_Bold=0.5",
              "Header_Bold=1.4999"},
             {}, fields(2, 4, -2, 0, 1, 0, 0, 0, 0, 0)),
        Case("NoRangeCheckBeyond16Bits", {"Export_File_Format=7", "Value_Bold=-3"}, {},
             fields(0, 0, 0, -3, 0, 0, 0, 0, 0, 7)),
        Case("OutOfRangeIgnored",
             {"Excel_Start=2147483648", "Header_Font_Size=-32769", "Value_Font_Size=32767.5",
              "Align_Value=-32768"},
             some, fields(5, 11, 11, 1, 0, 1, 0, 2, -32768, 3, "/old/tpl.xls")),
        // A worksheet's rows go past 16 bits.
        Case("StartRowIn32Bits", {"Excel_Start=1048576"}, {},
             fields(1048576, 0, 0, 0, 0, 0, 0, 0, 0, 0)),
        Case("BillOfMaterialsKeys", bomLines, some, withBom(some, "Fitted", " DNP, nf ", 2, 1)),
        Case("BillOfMaterialsKeysEmptied",
             {"Exclude_Attribute=", "Exclude_Values=", "Refdes_Order=0", "Workbook_Xlsx=0",
              "Refdes_Order=x"},
             withBom(some, "Fitted", "DNP", 1, 1), some),
        Case("NotNumbersIgnored",
             {"Excel_Start=", "Header_Font_Size=twelve", "Value_Font_Size=1e1", "Value_Bold=1=1",
              "Header_Bold=0x1", "Value_Italic= 0 "},
             some, fields(5, 11, 11, 1, 0, 0, 0, 2, 1, 3, "/old/tpl.xls")),
        Case("MalformedLinesIgnored",
             {"Excel_Start", "", "Header_Font_Size 12", "Value_Font_Size=9", "garbage"}, some,
             fields(5, 11, 9, 1, 0, 1, 0, 2, 1, 3, "/old/tpl.xls")),
        Case("IgnoredValueDoesNotHideLaterLines",
             {"Excel_Start=x", "Excel_Start=7", "Align_Header=bad", "Align_Value=1"}, {},
             fields(7, 0, 0, 0, 0, 0, 0, 0, 1, 0)),
        Case("NoLinesChangeNothing", {}, some, some)};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Settings result = c.start;
        applySettingsLines(c.lines, result);
        EXPECT_EQ(result, c.expected);
    }
}

// --- SetOptions on a file, and the lines Save writes ---

// Texts as typed, read back by SetOptions as their values.
const SettingsText typed{" 2 ", "big", "14.5", 1, 2, 0, 1, -1, 2, 3, "/home/ann/a=b.xls",
                         "",    "",    0,      0};

TEST(SetOptions, ReadsTheFileOverTheFields) {
    struct Case {
        const char* name;
        std::optional<std::string> bytes;  // nullopt: no file
        Settings start;
        Settings expected;
    };
    const Settings some = fields(5, 11, 12, 1, 1, 1, 1, 2, 2, 3, "/kept/tpl.xls");
    const Settings defaults = fields(1, 10, 10, 0, 0, 0, 0, 0, 0, 0);
    std::string ordered;
    for (const auto& line : orderedFile) {
        ordered += line + "\r";
    }
    const std::vector<Case> cases = {
        // An absent or empty file gives the defaults and keeps the template.
        Case("Absent", std::nullopt, some, fields(1, 10, 10, 0, 0, 0, 0, 0, 0, 0, "/kept/tpl.xls")),
        Case("EmptyOverZeros", "", {}, defaults),
        Case("EmptyOverFields", "", some, fields(1, 10, 10, 0, 0, 0, 0, 0, 0, 0, "/kept/tpl.xls")),
        Case("CrLf", crlf(orderedFile), {}, orderedFields),
        Case("CrOnly", ordered, {}, orderedFields),
        Case("MarkBeforeTheFirstKey", "\xEF\xBB\xBF" + crlf(orderedFile), {}, orderedFields),
        Case("LfWithoutLastLineEnd", "Excel_Start=3\nValue_Bold=1\nExcel_File_Start=/t a.xls", {},
             fields(3, 10, 10, 1, 0, 0, 0, 0, 0, 0, "/t a.xls")),
        Case("TemplateKeptWhenFileHasNone", crlf({"Excel_Start=1", "Header_Font_Size=12"}), some,
             fields(1, 12, 10, 0, 0, 0, 0, 0, 0, 0, "/kept/tpl.xls")),
        // A value that is no number counts as missing.
        Case("WrittenBySave", crlf(settingsLines(typed)), some,
             fields(2, 10, 14, 1, 2, 0, 1, -1, 2, 3, "/home/ann/a=b.xls"))};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string path = dir.file("vexlosettings.qzv");
        if (c.bytes) {
            writeFile(path, *c.bytes);
        }
        Settings result = c.start;
        SetOptions(path, result);
        EXPECT_EQ(result, c.expected);
        EXPECT_EQ(dir.listing(), c.bytes ? Lines{"vexlosettings.qzv"} : Lines{});
        if (c.bytes) {
            EXPECT_EQ(readFile(path), *c.bytes);
        }
    }
}

// The lines Save would write for fields.
Lines linesOf(const Settings& f) {
    const auto text = [](long value) { return std::to_string(value); };
    return settingsLines({text(f.Excel_Start), text(f.Header_Font_Size), text(f.Value_Font_Size),
                          f.Value_Bold, f.Header_Bold, f.Value_Italic, f.Header_Italic,
                          f.Align_Header, f.Align_Value, f.Export_File_Format, f.Excel_File_Start,
                          f.Exclude_Attribute, f.Exclude_Values, f.Refdes_Order, f.Workbook_Xlsx});
}

// Each key left out of a file takes its default at start-up, and the Options window shows the
// same values.
TEST(SetOptions, KeyMissingFromTheFileTakesItsDefaultAsTheWindowShowsIt) {
    const Settings defaults = fields(1, 10, 10, 0, 0, 0, 0, 0, 0, 0);
    for (std::size_t left = 0; left < 10; ++left) {
        Lines lines = orderedFile;
        lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(left));
        Lines expected = linesOf(orderedFields);
        expected[left] = linesOf(defaults)[left];
        SCOPED_TRACE(orderedFile[left]);
        TempDir dir;
        const std::string path = dir.file("vexlosettings.qzv");
        writeFile(path, crlf(lines));
        Settings result;
        SetOptions(path, result);
        EXPECT_EQ(linesOf(result), expected);
        EXPECT_EQ(settingsLines(readWindowSettings(path)), expected);
    }
}

// A folder in place of the file is named in the error; the fields hold the defaults by then.
TEST(SetOptions, FolderInPlaceOfTheFileIsRefused) {
    TempDir dir;
    const std::string path = dir.file("vexlosettings.qzv");
    std::filesystem::create_directory(path);
    Settings result = fields(5, 11, 12, 1, 1, 1, 1, 2, 2, 3, "/kept/tpl.xls");
    try {
        SetOptions(path, result);
        ADD_FAILURE() << "no error";
    } catch (const Error& error) {
        EXPECT_EQ(errorMessage(error),
                  "Error 75: Cannot read \"" + path + "\": it is a folder, not a regular file");
    }
    EXPECT_EQ(result, fields(1, 10, 10, 0, 0, 0, 0, 0, 0, 0, "/kept/tpl.xls"));
    EXPECT_THROW(readWindowSettings(path), Error);
}

TEST(SettingsLines, TenLinesThenTheTemplateThenBomKeysNotAtDefault) {
    EXPECT_EQ(settingsLines(initialWindowSettings()),
              (Lines{"Excel_Start=1", "Header_Font_Size=10", "Value_Font_Size=10", "Value_Bold=0",
                     "Header_Bold=0", "Value_Italic=0", "Header_Italic=0", "Align_Header=0",
                     "Align_Value=0", "Export_File_Format=0"}));
    SettingsText text = typed;
    text.Value_Font_Size = "";
    EXPECT_EQ(
        settingsLines(text),
        (Lines{"Excel_Start= 2 ", "Header_Font_Size=big", "Value_Font_Size=", "Value_Bold=1",
               "Header_Bold=2", "Value_Italic=0", "Header_Italic=1", "Align_Header=-1",
               "Align_Value=2", "Export_File_Format=3", "Excel_File_Start=/home/ann/a=b.xls"}));
    // After them, the bill of materials keys whose values are not the defaults.
    text.Exclude_Values = "DNP,NF";
    text.Refdes_Order = 1;
    const Lines some = settingsLines(text);
    EXPECT_EQ(Lines(some.begin() + 11, some.end()),
              (Lines{"Exclude_Values=DNP,NF", "Refdes_Order=1"}));
    text.Exclude_Attribute = "Fitted";
    text.Workbook_Xlsx = 1;
    const Lines all = settingsLines(text);
    EXPECT_EQ(Lines(all.begin() + 11, all.end()),
              (Lines{"Exclude_Attribute=Fitted", "Exclude_Values=DNP,NF", "Refdes_Order=1",
                     "Workbook_Xlsx=1"}));
}

// Save refuses sizes and start rows it could not use, naming the field; the first one wins.
TEST(SettingsTextProblem, WholeNumbersInRange) {
    const std::vector<std::tuple<const char*, const char*, const char*, const char*>> cases = {
        {"10", "10", "1", ""},
        {"1", "409", "1048576", ""},
        {"abc", "10", "1",
         "\"Header Font Size\" must be a whole number from 1 to 409, not \"abc\"."},
        {"410", "0", "0",
         "\"Header Font Size\" must be a whole number from 1 to 409, not \"410\"."},
        {"10", "0", "1", "\"Value Font Size\" must be a whole number from 1 to 409, not \"0\"."},
        {"10", "12.0", "1",
         "\"Value Font Size\" must be a whole number from 1 to 409, not \"12.0\"."},
        {"10", " 9", "1", "\"Value Font Size\" must be a whole number from 1 to 409, not \" 9\"."},
        {"10", "10", "0",
         "\"Excel Line Start on\" must be a whole number from 1 to 1,048,576, not \"0\"."},
        {"10", "10", "",
         "\"Excel Line Start on\" must be a whole number from 1 to 1,048,576, not \"\"."},
        {"10", "10", "1048577",
         "\"Excel Line Start on\" must be a whole number from 1 to 1,048,576, not \"1048577\"."},
        {"10", "10", "+5",
         "\"Excel Line Start on\" must be a whole number from 1 to 1,048,576, not \"+5\"."},
        {"10", "10", "99999999999",
         "\"Excel Line Start on\" must be a whole number from 1 to 1,048,576, not "
         "\"99999999999\"."}};
    for (const auto& [header, value, start, problem] : cases) {
        SettingsText text = initialWindowSettings();
        text.Header_Font_Size = header;
        text.Value_Font_Size = value;
        text.Excel_Start = start;
        EXPECT_EQ(settingsTextProblem(text), problem) << header << " " << value << " " << start;
    }
}

// --- The Options window's reading ---

// The ten lines of the initial values, each line given in place of its key's line (the template
// line comes after them).
Lines initialWith(const Lines& changes) {
    Lines lines = settingsLines(initialWindowSettings());
    for (const auto& change : changes) {
        const std::string key = change.substr(0, change.find('=') + 1);
        const auto found = std::find_if(lines.begin(), lines.end(), [&](const std::string& line) {
            return line.starts_with(key);
        });
        if (found != lines.end()) {
            *found = change;
        } else {
            lines.push_back(change);
        }
    }
    return lines;
}

TEST(WindowReading, ReadsUntilFirstBadValue) {
    struct Case {
        const char* name;
        std::optional<Lines> lines;  // nullopt: no file
        Lines saved;                 // settingsLines of the values read
    };
    const Lines initial = initialWith({});
    const Lines texts = {"Excel_Start=x", "Header_Font_Size= 12", "Value_Font_Size=1e5",
                         "Excel_File_Start=/a=b.xls"};
    const Lines grey = {"Header_Bold=2", "Align_Value=-1", "Export_File_Format=3"};
    std::vector<Case> cases = {
        Case("MissingFile", std::nullopt, initial),
        Case("WholeFile", orderedFile, orderedFile),
        Case("TextsTakenAsTheyAre", texts, initialWith(texts)),
        Case("EmptyTextsRefilled",
             Lines{"Excel_Start=", "Header_Font_Size=", "Value_Font_Size=", "Excel_File_Start="},
             initial),
        Case("GreyStateAndNoItemAccepted", grey, initialWith(grey)),
        Case("RoundedBeforeChecked", Lines{"Value_Italic=1.5", "Align_Header=1.5"},
             initialWith({"Value_Italic=2", "Align_Header=2"})),
        Case("CheckStateThreeStops",
             Lines{"Header_Font_Size=14", "Value_Bold=3", "Value_Font_Size=12"},
             initialWith({"Header_Font_Size=14"})),
        Case("AlignmentIndexThreeStops", Lines{"Align_Value=1", "Align_Header=3", "Align_Value=2"},
             initialWith({"Align_Value=1"})),
        Case("MalformedAndOtherLinesPassedOver",
             Lines{"Header_Font_Size=9", "garbage", "", "header_bold=7", "Value_Font_Size=8"},
             initialWith({"Header_Font_Size=9", "Value_Font_Size=8"})),
        Case("LastOfRepeatedKeyWins", Lines{"Excel_Start=2", "Excel_Start=3"},
             initialWith({"Excel_Start=3"})),
        Case("TextEmptiedAfterStopRefilled", Lines{"Excel_Start=", "Value_Bold=9"}, initial),
        Case("BillOfMaterialsKeys", bomLines, initialWith(bomLines))};
    // A check state or item index out of range or not a number stops the reading at its line.
    for (const char* bad :
         {"Header_Italic=-1", "Value_Bold=yes", "Align_Header=-1.5", "Export_File_Format=4",
          "Export_File_Format=65536", "Export_File_Format=", "Refdes_Order=-1", "Refdes_Order=3",
          "Workbook_Xlsx=3"}) {
        cases.push_back(Case(bad, Lines{bad, "Excel_Start=9"}, initial));
    }
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string path = dir.file("vexlosettings.qzv");
        if (c.lines) {
            writeFile(path, crlf(*c.lines));
        }
        EXPECT_EQ(settingsLines(readWindowSettings(path)), c.saved);
        EXPECT_EQ(dir.listing().size(), c.lines ? 1u : 0u);
    }
}

}  // namespace
}  // namespace vexlo::options
