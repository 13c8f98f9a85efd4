#include "settings/settingsfile.h"

#include <cerrno>

#include <cstdint>
#include <exception>

#include "common/error.h"
#include "common/textfile.h"

namespace vexlo::settings {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::string_view leadingDigits(std::string_view& text) {
    std::size_t count = 0;
    while (count < text.size() && isDigit(text[count])) {
        ++count;
    }
    const std::string_view digits = text.substr(0, count);
    text.remove_prefix(count);
    return digits;
}

// Whether a fraction's digits round the magnitude away from zero: above one half always, an
// exact half only towards an even result.
bool roundsUp(std::string_view fraction, long magnitude) {
    if (fraction.empty() || fraction.front() < '5') {
        return false;
    }
    if (fraction.front() > '5') {
        return true;
    }
    if (fraction.substr(1).find_first_not_of('0') != std::string_view::npos) {
        return true;
    }
    return magnitude % 2 != 0;
}

struct KeyValue {
    std::string_view key;
    std::string_view value;
};

std::optional<KeyValue> splitLine(const std::string& line) {
    const auto equals = line.find('=');
    if (equals == std::string::npos) {
        return std::nullopt;
    }
    const std::string_view text(line);
    return KeyValue{text.substr(0, equals), text.substr(equals + 1)};
}

template <typename Member>
struct KeyedMember {
    std::string_view key;
    Member member;
};

constexpr KeyedMember<std::int16_t Settings::*> integerKeys[] = {
    {"Header_Font_Size", &Settings::Header_Font_Size},
    {"Value_Font_Size", &Settings::Value_Font_Size},
    {"Value_Bold", &Settings::Value_Bold},
    {"Header_Bold", &Settings::Header_Bold},
    {"Value_Italic", &Settings::Value_Italic},
    {"Header_Italic", &Settings::Header_Italic},
    {"Align_Header", &Settings::Align_Header},
    {"Align_Value", &Settings::Align_Value},
    {"Export_File_Format", &Settings::Export_File_Format},
    {"Refdes_Order", &Settings::Refdes_Order},
    {"Workbook_Xlsx", &Settings::Workbook_Xlsx},
};

constexpr KeyedMember<std::string Settings::*> textKeys[] = {
    {"Excel_File_Start", &Settings::Excel_File_Start},
    {"Exclude_Attribute", &Settings::Exclude_Attribute},
    {"Exclude_Values", &Settings::Exclude_Values},
};

constexpr KeyedMember<std::string SettingsText::*> windowTextKeys[] = {
    {"Excel_Start", &SettingsText::Excel_Start},
    {"Header_Font_Size", &SettingsText::Header_Font_Size},
    {"Value_Font_Size", &SettingsText::Value_Font_Size},
    {"Excel_File_Start", &SettingsText::Excel_File_Start},
    {"Exclude_Attribute", &SettingsText::Exclude_Attribute},
    {"Exclude_Values", &SettingsText::Exclude_Values},
};

constexpr KeyedMember<int SettingsText::*> windowCheckKeys[] = {
    {"Value_Bold", &SettingsText::Value_Bold},
    {"Header_Bold", &SettingsText::Header_Bold},
    {"Value_Italic", &SettingsText::Value_Italic},
    {"Header_Italic", &SettingsText::Header_Italic},
    {"Workbook_Xlsx", &SettingsText::Workbook_Xlsx},
};

struct ItemIndexKey {
    std::string_view key;
    int SettingsText::*member;
    int itemCount;
};

constexpr ItemIndexKey windowItemKeys[] = {
    {"Align_Header", &SettingsText::Align_Header, static_cast<int>(alignmentItems.size())},
    {"Align_Value", &SettingsText::Align_Value, static_cast<int>(alignmentItems.size())},
    {"Export_File_Format", &SettingsText::Export_File_Format,
     static_cast<int>(fileFormatItems.size())},
};

// The designator order is a list without typed text: it always has an item.
constexpr std::string_view refdesOrderKey = "Refdes_Order";

template <typename Entry, std::size_t count>
const Entry* findKey(const Entry (&entries)[count], std::string_view key) {
    for (const Entry& entry : entries) {
        if (entry.key == key) {
            return &entry;
        }
    }
    return nullptr;
}

// A check state or item index from the file; false when the value is not one of first..last.
bool setWindowInteger(std::string_view value, int first, int last, int& target) {
    const auto number = settingsInteger(value);
    if (!number || *number < first || *number > last) {
        return false;
    }
    target = *number;
    return true;
}

// One line of the window's reading; false when its value ends the reading.
bool applyWindowLine(const KeyValue& line, SettingsText& values) {
    if (const auto* text = findKey(windowTextKeys, line.key)) {
        values.*text->member = line.value;
        return true;
    }
    if (const auto* check = findKey(windowCheckKeys, line.key)) {
        return setWindowInteger(line.value, 0, 2, values.*check->member);
    }
    if (const auto* item = findKey(windowItemKeys, line.key)) {
        return setWindowInteger(line.value, -1, item->itemCount - 1, values.*item->member);
    }
    if (line.key == refdesOrderKey) {
        return setWindowInteger(line.value, 0, static_cast<int>(refdesOrderItems.size()) - 1,
                                values.Refdes_Order);
    }
    return true;
}

// A settings number rounded to an integer, if it is one from low to high.
std::optional<long> settingsNumber(std::string_view value, long low, long high) {
    std::string_view text = trimBlanks(value);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    std::string_view whole = leadingDigits(text);
    std::string_view fraction;
    if (!text.empty() && text.front() == '.') {
        text.remove_prefix(1);
        fraction = leadingDigits(text);
    }
    if (!text.empty() || (whole.empty() && fraction.empty())) {
        return std::nullopt;
    }
    while (!whole.empty() && whole.front() == '0') {
        whole.remove_prefix(1);
    }
    // Eleven digits are already outside 32 bits, and the magnitude stays far from overflow.
    if (whole.size() > 10) {
        return std::nullopt;
    }
    long magnitude = 0;
    for (const char digit : whole) {
        magnitude = magnitude * 10 + (digit - '0');
    }
    if (roundsUp(fraction, magnitude)) {
        ++magnitude;
    }
    const long number = negative ? -magnitude : magnitude;
    if (number < low || number > high) {
        return std::nullopt;
    }
    return number;
}

// A value the Options window saves only as a whole number from 1 to highest, in digits.
bool isWholeNumberUpTo(const std::string& text, long highest) {
    if (text.empty() || text.size() > 10 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    const long number = std::stol(text);
    return number >= 1 && number <= highest;
}

}  // namespace

std::optional<std::int16_t> settingsInteger(std::string_view value) {
    const auto number = settingsNumber(value, -32768, 32767);
    return number ? std::optional<std::int16_t>(static_cast<std::int16_t>(*number)) : std::nullopt;
}

std::optional<std::int32_t> settingsWideInteger(std::string_view value) {
    const auto number = settingsNumber(value, INT32_MIN, INT32_MAX);
    return number ? std::optional<std::int32_t>(static_cast<std::int32_t>(*number)) : std::nullopt;
}

void applySettingsLines(const std::vector<std::string>& lines, Settings& fields) {
    for (const auto& line : lines) {
        const auto split = splitLine(line);
        if (!split) {
            continue;
        }
        if (const auto* text = findKey(textKeys, split->key)) {
            fields.*text->member = split->value;
        } else if (split->key == "Excel_Start") {
            if (const auto number = settingsWideInteger(split->value)) {
                fields.Excel_Start = *number;
            }
        } else if (const auto* integer = findKey(integerKeys, split->key)) {
            if (const auto number = settingsInteger(split->value)) {
                fields.*integer->member = *number;
            }
        }
    }
}

void SetOptions(const std::string& path, Settings& fields) {
    // Read before anything changes; a file that breaks off still gives the lines before the
    // break, and one that is no regular file throws once the fields hold the defaults.
    std::vector<std::string> lines;
    std::exception_ptr failure;
    try {
        const TextLines read = readTextLines(path);
        lines = read.lines;
        // A missing file means the defaults; one that is there but cannot be read must not
        // turn every report into one of the defaults without a word.
        const bool missing =
            !read.opened && (read.errorNumber == ENOENT || read.errorNumber == ENOTDIR);
        if (!missing && (!read.opened || !read.complete)) {
            throwFileError(read.errorNumber, "read", path);
        }
    } catch (const Error&) {
        failure = std::current_exception();
    }
    // Keys the file does not hold, or holds with a value that is no number, take their
    // defaults: a file of older or hand-made settings never starts the report at row 0 or
    // writes 0-point fonts.
    const std::string keptTemplate = fields.Excel_File_Start;
    fields = Settings{};
    fields.Excel_Start = 1;
    fields.Header_Font_Size = 10;
    fields.Value_Font_Size = 10;
    fields.Excel_File_Start = keptTemplate;
    applySettingsLines(lines, fields);
    if (failure) {
        std::rethrow_exception(failure);
    }
}

std::vector<std::string> settingsLines(const SettingsText& values) {
    std::vector<std::string> lines{
        "Excel_Start=" + values.Excel_Start,
        "Header_Font_Size=" + values.Header_Font_Size,
        "Value_Font_Size=" + values.Value_Font_Size,
        "Value_Bold=" + std::to_string(values.Value_Bold),
        "Header_Bold=" + std::to_string(values.Header_Bold),
        "Value_Italic=" + std::to_string(values.Value_Italic),
        "Header_Italic=" + std::to_string(values.Header_Italic),
        "Align_Header=" + std::to_string(values.Align_Header),
        "Align_Value=" + std::to_string(values.Align_Value),
        "Export_File_Format=" + std::to_string(values.Export_File_Format),
    };
    if (!values.Excel_File_Start.empty()) {
        lines.push_back("Excel_File_Start=" + values.Excel_File_Start);
    }
    if (!values.Exclude_Attribute.empty()) {
        lines.push_back("Exclude_Attribute=" + values.Exclude_Attribute);
    }
    if (!values.Exclude_Values.empty()) {
        lines.push_back("Exclude_Values=" + values.Exclude_Values);
    }
    if (values.Refdes_Order != 0) {
        lines.push_back("Refdes_Order=" + std::to_string(values.Refdes_Order));
    }
    if (values.Workbook_Xlsx != 0) {
        lines.push_back("Workbook_Xlsx=" + std::to_string(values.Workbook_Xlsx));
    }
    return lines;
}

SettingsText initialWindowSettings() {
    SettingsText values;
    values.Excel_Start = "1";
    values.Header_Font_Size = "10";
    values.Value_Font_Size = "10";
    return values;
}

void applyWindowLines(const std::vector<std::string>& lines, SettingsText& values) {
    for (const auto& line : lines) {
        const auto split = splitLine(line);
        if (split && !applyWindowLine(*split, values)) {
            return;
        }
    }
}

SettingsText readWindowSettings(const std::string& path) {
    SettingsText values = initialWindowSettings();
    applyWindowLines(readTextLines(path).lines, values);
    if (values.Header_Font_Size.empty()) {
        values.Header_Font_Size = "10";
    }
    if (values.Value_Font_Size.empty()) {
        values.Value_Font_Size = "10";
    }
    if (values.Excel_Start.empty()) {
        values.Excel_Start = "1";
    }
    return values;
}

std::string settingsTextProblem(const SettingsText& values) {
    struct Field {
        const std::string& text;
        const char* caption;
        long highest;
        const char* range;
    };
    const Field fields[] = {
        {values.Header_Font_Size, "Header Font Size", 409, "1 to 409"},
        {values.Value_Font_Size, "Value Font Size", 409, "1 to 409"},
        {values.Excel_Start, "Excel Line Start on", 1048576, "1 to 1,048,576"},
    };
    for (const Field& field : fields) {
        if (!isWholeNumberUpTo(field.text, field.highest)) {
            return std::string("\"") + field.caption + "\" must be a whole number from " +
                   field.range + ", not \"" + field.text + "\".";
        }
    }
    return {};
}

}  // namespace vexlo::settings
