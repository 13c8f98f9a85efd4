#include "options/settingsfile.h"

#include <gtest/gtest.h>

#include <optional>

#include "testsupport.h"

namespace vexlo::options {

// Shown by gtest when a comparison fails.
void PrintTo(const Settings& s, std::ostream* out) {
    *out << "{Excel_Start=" << s.Excel_Start << " Header_Font_Size=" << s.Header_Font_Size
         << " Value_Font_Size=" << s.Value_Font_Size << " Value_Bold=" << s.Value_Bold
         << " Header_Bold=" << s.Header_Bold << " Value_Italic=" << s.Value_Italic
         << " Header_Italic=" << s.Header_Italic << " Align_Header=" << s.Align_Header
         << " Align_Value=" << s.Align_Value << " Export_File_Format=" << s.Export_File_Format
         << " Excel_File_Start=\"" << s.Excel_File_Start << "\"}";
}

namespace {

using Lines = std::vector<std::string>;
using test::crlf;
using test::readFile;
using test::TempDir;
using test::writeFile;

// Fields in the order of the file: Excel_Start, Header_Font_Size, Value_Font_Size, Value_Bold,
// Header_Bold, Value_Italic, Header_Italic, Align_Header, Align_Value, Export_File_Format.
Settings fields(std::int16_t start, std::int16_t headerSize, std::int16_t valueSize,
                std::int16_t valueBold, std::int16_t headerBold, std::int16_t valueItalic,
                std::int16_t headerItalic, std::int16_t alignHeader, std::int16_t alignValue,
                std::int16_t format, std::string templatePath = "") {
    Settings result;
    result.Excel_Start = start;
    result.Header_Font_Size = headerSize;
    result.Value_Font_Size = valueSize;
    result.Value_Bold = valueBold;
    result.Header_Bold = headerBold;
    result.Value_Italic = valueItalic;
    result.Header_Italic = headerItalic;
    result.Align_Header = alignHeader;
    result.Align_Value = alignValue;
    result.Export_File_Format = format;
    result.Excel_File_Start = std::move(templatePath);
    return result;
}

const Lines orderedFile = {
    "Excel_Start=3",
    "Header_Font_Size=12",
    "Value_Font_Size=9",
    "Value_Bold=1",
    "Header_Bold=1",
    "Value_Italic=0",
    "Header_Italic=1",
    "Align_Header=1",
    "Align_Value=2",
    "Export_File_Format=2",
    "Excel_File_Start=/home/ann/tpl/bom.xls",
};
const Settings orderedFields = fields(3, 12, 9, 1, 1, 0, 1, 1, 2, 2, "/home/ann/tpl/bom.xls");

// --- Numbers ---

struct NumberCase {
    const char* text;
    std::optional<std::int16_t> expected;
};

void PrintTo(const NumberCase& c, std::ostream* out) {
    *out << '"' << c.text << '"';
}

class SettingsInteger : public ::testing::TestWithParam<NumberCase> {};

TEST_P(SettingsInteger, ConvertsOrRefuses) {
    EXPECT_EQ(settingsInteger(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rounding, SettingsInteger,
    ::testing::Values(NumberCase{"2.5", 2}, NumberCase{"3.5", 4}, NumberCase{"-2.5", -2},
                      NumberCase{"0.5", 0}, NumberCase{"1.4999", 1}, NumberCase{"1.5", 2},
                      NumberCase{"-0.5", 0}, NumberCase{"-3.5", -4}, NumberCase{"2.51", 3},
                      NumberCase{"-1.6", -2}, NumberCase{"2.500", 2},
                      // Past what a double holds: the digits decide, not a binary value.
                      NumberCase{"2.50000000000000000001", 3},
                      NumberCase{"0.49999999999999999999", 0}));

INSTANTIATE_TEST_SUITE_P(
    Forms, SettingsInteger,
    ::testing::Values(NumberCase{"12", 12}, NumberCase{"+7", 7}, NumberCase{"-7", -7},
                      NumberCase{"007", 7}, NumberCase{"0", 0}, NumberCase{"-0", 0},
                      NumberCase{" 12", 12}, NumberCase{"12 ", 12}, NumberCase{"\t12\t", 12},
                      NumberCase{" -3.5 ", -4}, NumberCase{"5.", 5}, NumberCase{".5", 0},
                      NumberCase{".51", 1}, NumberCase{"00000000000000000012", 12}));

INSTANTIATE_TEST_SUITE_P(
    Range, SettingsInteger,
    ::testing::Values(NumberCase{"32767", 32767}, NumberCase{"-32768", -32768},
                      NumberCase{"32767.49", 32767}, NumberCase{"-32768.5", -32768},
                      NumberCase{"32766.5", 32766}, NumberCase{"32767.5", std::nullopt},
                      NumberCase{"32768", std::nullopt}, NumberCase{"-32769", std::nullopt},
                      NumberCase{"-32768.51", std::nullopt}, NumberCase{"100000", std::nullopt},
                      NumberCase{"99999999999999999999", std::nullopt}));

INSTANTIATE_TEST_SUITE_P(
    NotNumbers, SettingsInteger,
    ::testing::Values(NumberCase{"", std::nullopt}, NumberCase{" ", std::nullopt},
                      NumberCase{"abc", std::nullopt}, NumberCase{"12abc", std::nullopt},
                      NumberCase{"1e3", std::nullopt}, NumberCase{"0x10", std::nullopt},
                      NumberCase{"1,5", std::nullopt}, NumberCase{"1 000", std::nullopt},
                      NumberCase{"- 5", std::nullopt}, NumberCase{"--5", std::nullopt},
                      NumberCase{"+", std::nullopt}, NumberCase{".", std::nullopt},
                      NumberCase{"-.", std::nullopt}, NumberCase{"1.2.3", std::nullopt},
                      NumberCase{"5=6", std::nullopt}, NumberCase{"\r5", std::nullopt}));

// --- Lines over fields ---

struct ApplyCase {
    const char* name;
    Lines lines;
    Settings start;
    Settings expected;
};

class ApplySettingsLines : public ::testing::TestWithParam<ApplyCase> {};

TEST_P(ApplySettingsLines, SetsFields) {
    Settings result = GetParam().start;
    applySettingsLines(GetParam().lines, result);
    EXPECT_EQ(result, GetParam().expected);
}

const Settings someFields = fields(5, 11, 11, 1, 0, 1, 0, 2, 1, 3, "/old/tpl.xls");

INSTANTIATE_TEST_SUITE_P(
    Cases, ApplySettingsLines,
    ::testing::Values(
        ApplyCase{"Ordered", orderedFile, Settings{}, orderedFields},
        ApplyCase{
            "AnyOrder",
            {"Export_File_Format=2", "Excel_File_Start=/home/ann/tpl/bom.xls", "Align_Value=2",
             "Header_Italic=1", "Value_Font_Size=9", "Excel_Start=3", "Align_Header=1",
             "Value_Italic=0", "Header_Bold=1", "Header_Font_Size=12", "Value_Bold=1"},
            Settings{},
            orderedFields},
        ApplyCase{"ExtraKeysIgnored",
                  {"Colour=red", "Excel_Start=3", "Excel_Starts=9", "=5", "Header_Font_Size=12",
                   "Value_Font_Size=9", "Value_Bold=1", "Header_Bold=1", "Value_Italic=0",
                   "Header_Italic=1", "Align_Header=1", "Align_Value=2", "Export_File_Format=2",
                   "Excel_File_Start=/home/ann/tpl/bom.xls", "Font=Arial"},
                  Settings{},
                  orderedFields},
        ApplyCase{"RepeatedKeyLastWins",
                  {"Excel_Start=4", "Excel_File_Start=/a.xls", "Excel_Start=6",
                   "Excel_File_Start=/b.xls"},
                  Settings{},
                  fields(6, 0, 0, 0, 0, 0, 0, 0, 0, 0, "/b.xls")},
        ApplyCase{"KeysAreCaseSensitive",
                  {"excel_start=5", "EXCEL_START=5", "Value_bold=1", "excel_file_start=/t.xls"},
                  Settings{},
                  Settings{}},
        ApplyCase{"KeysAreNotTrimmed",
                  {"Excel_Start =5", " Excel_Start=5", "Excel_File_Start =/t.xls"},
                  Settings{},
                  Settings{}},
        ApplyCase{"EqualsInTemplateKept",
                  {"Excel_File_Start=/data/a=b/x==y.xls"},
                  Settings{},
                  fields(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "/data/a=b/x==y.xls")},
        ApplyCase{"TemplateTakenAsItIs",
                  {"Excel_File_Start= /t.xls "},
                  Settings{},
                  fields(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, " /t.xls ")},
        ApplyCase{"EmptyTemplateValueClearsIt",
                  {"Excel_File_Start="},
                  someFields,
                  fields(5, 11, 11, 1, 0, 1, 0, 2, 1, 3, "")},
        ApplyCase{"TemplateKeptWhenAbsent",
                  {"Excel_Start=2"},
                  someFields,
                  fields(2, 11, 11, 1, 0, 1, 0, 2, 1, 3, "/old/tpl.xls")},
        ApplyCase{"ValuesRounded",
                  {"Excel_Start=2.5", "Header_Font_Size=3.5", "Value_Font_Size=-2.5",
                   "Value_Bold=0.5", "Header_Bold=1.4999"},
                  Settings{},
                  fields(2, 4, -2, 0, 1, 0, 0, 0, 0, 0)},
        ApplyCase{"NoRangeCheckBeyond16Bits",
                  {"Export_File_Format=7", "Value_Bold=-3"},
                  Settings{},
                  fields(0, 0, 0, -3, 0, 0, 0, 0, 0, 7)},
        ApplyCase{"OutOfRangeIgnored",
                  {"Excel_Start=32768", "Header_Font_Size=-32769", "Value_Font_Size=32767.5",
                   "Align_Value=-32768"},
                  someFields,
                  fields(5, 11, 11, 1, 0, 1, 0, 2, -32768, 3, "/old/tpl.xls")},
        ApplyCase{"NotNumbersIgnored",
                  {"Excel_Start=", "Header_Font_Size=twelve", "Value_Font_Size=1e1",
                   "Value_Bold=1=1", "Header_Bold=0x1", "Value_Italic= 0 "},
                  someFields,
                  fields(5, 11, 11, 1, 0, 0, 0, 2, 1, 3, "/old/tpl.xls")},
        ApplyCase{"MalformedLinesIgnored",
                  {"Excel_Start", "", "Header_Font_Size 12", "Value_Font_Size=9", "garbage"},
                  someFields,
                  fields(5, 11, 9, 1, 0, 1, 0, 2, 1, 3, "/old/tpl.xls")},
        ApplyCase{"IgnoredValueDoesNotHideLaterLines",
                  {"Excel_Start=x", "Excel_Start=7", "Align_Header=bad", "Align_Value=1"},
                  Settings{},
                  fields(7, 0, 0, 0, 0, 0, 0, 0, 1, 0)},
        ApplyCase{"NoLinesChangeNothing", {}, someFields, someFields}),
    [](const auto& info) { return std::string(info.param.name); });

// --- SetOptions on a file ---

class SetOptionsFile : public ::testing::Test {
protected:
    TempDir dir;
    std::string path = dir.file("vexlosettings.qzv");
};

TEST_F(SetOptionsFile, AbsentFileGivesDefaultsAndKeepsTemplate) {
    Settings result = fields(5, 11, 12, 1, 1, 1, 1, 2, 2, 3, "/kept/tpl.xls");
    SetOptions(path, result);
    EXPECT_EQ(result, fields(1, 10, 10, 0, 0, 0, 0, 0, 0, 0, "/kept/tpl.xls"));
    EXPECT_TRUE(dir.listing().empty());
}

TEST_F(SetOptionsFile, EmptyFileChangesNoField) {
    writeFile(path, "");
    Settings zeros;
    SetOptions(path, zeros);
    EXPECT_EQ(zeros, Settings{});  // not the defaults of an absent file
    Settings result = someFields;
    SetOptions(path, result);
    EXPECT_EQ(result, someFields);
    EXPECT_EQ(readFile(path), "");
}

TEST_F(SetOptionsFile, CrLfFileRead) {
    writeFile(path, crlf(orderedFile));
    Settings result;
    SetOptions(path, result);
    EXPECT_EQ(result, orderedFields);
}

TEST_F(SetOptionsFile, LfFileAndMissingLastLineEndRead) {
    writeFile(path, "Excel_Start=3\nValue_Bold=1\nExcel_File_Start=/t a.xls");
    Settings result;
    SetOptions(path, result);
    EXPECT_EQ(result, fields(3, 0, 0, 1, 0, 0, 0, 0, 0, 0, "/t a.xls"));
}

TEST_F(SetOptionsFile, TemplateKeptWhenFileHasNone) {
    writeFile(path, crlf({"Excel_Start=1", "Header_Font_Size=10"}));
    Settings result;
    result.Excel_File_Start = "/earlier/tpl.xls";
    SetOptions(path, result);
    EXPECT_EQ(result.Excel_File_Start, "/earlier/tpl.xls");
}

TEST_F(SetOptionsFile, WrittenLinesReadBackAsTheirValues) {
    SettingsText text;
    text.Excel_Start = "4";
    text.Header_Font_Size = "14.5";
    text.Value_Font_Size = "9";
    text.Value_Bold = 1;
    text.Header_Italic = 2;
    text.Align_Header = 2;
    text.Align_Value = -1;
    text.Export_File_Format = 3;
    text.Excel_File_Start = "/t=1.xls";
    writeFile(path, crlf(settingsLines(text)));
    Settings result;
    SetOptions(path, result);
    EXPECT_EQ(result, fields(4, 14, 9, 1, 0, 0, 2, 2, -1, 3, "/t=1.xls"));
}

// --- Lines written by Save ---

TEST(SettingsLines, InitialValuesGiveTenLines) {
    EXPECT_EQ(settingsLines(initialWindowSettings()),
              (Lines{"Excel_Start=1", "Header_Font_Size=10", "Value_Font_Size=10", "Value_Bold=0",
                     "Header_Bold=0", "Value_Italic=0", "Header_Italic=0", "Align_Header=0",
                     "Align_Value=0", "Export_File_Format=0"}));
}

TEST(SettingsLines, TemplateGivesEleventhLineAndTextsStayAsTyped) {
    SettingsText text;
    text.Excel_Start = " 2 ";
    text.Header_Font_Size = "big";
    text.Value_Font_Size = "";
    text.Value_Bold = 1;
    text.Header_Bold = 2;
    text.Value_Italic = 0;
    text.Header_Italic = 1;
    text.Align_Header = -1;
    text.Align_Value = 2;
    text.Export_File_Format = 3;
    text.Excel_File_Start = "/home/ann/a=b.xls";
    EXPECT_EQ(
        settingsLines(text),
        (Lines{"Excel_Start= 2 ", "Header_Font_Size=big", "Value_Font_Size=", "Value_Bold=1",
               "Header_Bold=2", "Value_Italic=0", "Header_Italic=1", "Align_Header=-1",
               "Align_Value=2", "Export_File_Format=3", "Excel_File_Start=/home/ann/a=b.xls"}));
}

// --- The Options window's reading ---

struct WindowCase {
    const char* name;
    Lines lines;
    Lines saved;  // settingsLines of the values read
};

class WindowReading : public ::testing::TestWithParam<WindowCase> {};

TEST_P(WindowReading, ReadsUntilFirstBadValue) {
    TempDir dir;
    const std::string path = dir.file("vexlosettings.qzv");
    writeFile(path, crlf(GetParam().lines));
    EXPECT_EQ(settingsLines(readWindowSettings(path)), GetParam().saved);
}

// The ten lines of the initial values with some replaced.
Lines initialWith(std::initializer_list<std::pair<std::size_t, std::string>> changes) {
    Lines lines = settingsLines(initialWindowSettings());
    for (const auto& [index, line] : changes) {
        if (index < lines.size()) {
            lines[index] = line;
        } else {
            lines.push_back(line);
        }
    }
    return lines;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WindowReading,
    ::testing::Values(
        WindowCase{"WholeFile", orderedFile, orderedFile},
        WindowCase{"TextsTakenAsTheyAre",
                   {"Excel_Start=x", "Header_Font_Size= 12", "Value_Font_Size=1e5",
                    "Excel_File_Start=/a=b.xls"},
                   initialWith({{0, "Excel_Start=x"},
                                {1, "Header_Font_Size= 12"},
                                {2, "Value_Font_Size=1e5"},
                                {10, "Excel_File_Start=/a=b.xls"}})},
        WindowCase{"EmptyTextsRefilled",
                   {"Excel_Start=", "Header_Font_Size=", "Value_Font_Size=", "Excel_File_Start="},
                   initialWith({})},
        WindowCase{"GreyStateAndNoItemAccepted",
                   {"Header_Bold=2", "Align_Value=-1", "Export_File_Format=3"},
                   initialWith(
                       {{4, "Header_Bold=2"}, {8, "Align_Value=-1"}, {9, "Export_File_Format=3"}})},
        WindowCase{"RoundedBeforeChecked",
                   {"Value_Italic=1.5", "Align_Header=1.5"},
                   initialWith({{5, "Value_Italic=2"}, {7, "Align_Header=2"}})},
        WindowCase{"CheckStateThreeStops",
                   {"Header_Font_Size=14", "Value_Bold=3", "Value_Font_Size=12"},
                   initialWith({{1, "Header_Font_Size=14"}})},
        WindowCase{
            "NegativeCheckStateStops", {"Header_Italic=-1", "Excel_Start=9"}, initialWith({})},
        WindowCase{
            "CheckStateNotNumberStops", {"Value_Bold=yes", "Header_Bold=1"}, initialWith({})},
        WindowCase{"AlignmentIndexThreeStops",
                   {"Align_Value=1", "Align_Header=3", "Align_Value=2"},
                   initialWith({{8, "Align_Value=1"}})},
        WindowCase{
            "IndexBelowMinusOneStops", {"Align_Header=-1.5", "Excel_Start=9"}, initialWith({})},
        WindowCase{
            "FormatIndexFourStops", {"Export_File_Format=4", "Excel_Start=9"}, initialWith({})},
        WindowCase{"IndexOutside16BitsStops",
                   {"Export_File_Format=65536", "Excel_Start=9"},
                   initialWith({})},
        WindowCase{"EmptyIndexStops", {"Export_File_Format=", "Excel_Start=9"}, initialWith({})},
        WindowCase{"MalformedAndOtherLinesPassedOver",
                   {"Header_Font_Size=9", "garbage", "", "header_bold=7", "Value_Font_Size=8"},
                   initialWith({{1, "Header_Font_Size=9"}, {2, "Value_Font_Size=8"}})},
        WindowCase{"LastOfRepeatedKeyWins",
                   {"Excel_Start=2", "Excel_Start=3"},
                   initialWith({{0, "Excel_Start=3"}})},
        WindowCase{
            "TextEmptiedAfterStopRefilled", {"Excel_Start=", "Value_Bold=9"}, initialWith({})}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WindowReading, MissingFileGivesInitialValues) {
    TempDir dir;
    EXPECT_EQ(settingsLines(readWindowSettings(dir.file("vexlosettings.qzv"))),
              settingsLines(initialWindowSettings()));
    EXPECT_TRUE(dir.listing().empty());
}

}  // namespace
}  // namespace vexlo::options
