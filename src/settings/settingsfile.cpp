#include "settings/settingsfile.h"

#include <cerrno>

#include <cstdint>
#include <exception>

#include "common/characters.h"
#include "common/error.h"
#include "common/textfile.h"
#include "report/writers/writer.h"

namespace vexlo::settings {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
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

// One key of the settings file: the option field it sets, the Options window's value it shows
// in, its default, and whether "Save" always writes it or only when it is not at its default.
// Exactly one of the three field members is set; a window member is text (a text box) or an
// integer within low..high (a check state or an item index).
struct Key {
    std::string_view key;
    std::int16_t Settings::*number = nullptr;
    std::int32_t Settings::*wideNumber = nullptr;
    std::string Settings::*text = nullptr;
    std::string SettingsText::*windowText = nullptr;
    int SettingsText::*windowNumber = nullptr;
    int low = 0;
    int high = 0;
    int initial = 0;  // the default of a number, also shown in an empty text box
    bool alwaysWritten = true;
};

constexpr int lastItem(std::size_t items) {
    return static_cast<int>(items) - 1;
}

// In the order "Save" writes them.
const Key keys[] = {
    {"Excel_Start", nullptr, &Settings::Excel_Start, nullptr, &SettingsText::Excel_Start, nullptr,
     0, 0, 1},
    {"Header_Font_Size", &Settings::Header_Font_Size, nullptr, nullptr,
     &SettingsText::Header_Font_Size, nullptr, 0, 0, 10},
    {"Value_Font_Size", &Settings::Value_Font_Size, nullptr, nullptr,
     &SettingsText::Value_Font_Size, nullptr, 0, 0, 10},
    {"Value_Bold", &Settings::Value_Bold, nullptr, nullptr, nullptr, &SettingsText::Value_Bold, 0,
     2},
    {"Header_Bold", &Settings::Header_Bold, nullptr, nullptr, nullptr, &SettingsText::Header_Bold,
     0, 2},
    {"Value_Italic", &Settings::Value_Italic, nullptr, nullptr, nullptr,
     &SettingsText::Value_Italic, 0, 2},
    {"Header_Italic", &Settings::Header_Italic, nullptr, nullptr, nullptr,
     &SettingsText::Header_Italic, 0, 2},
    // Item indexes may be -1: typed text that was no item.
    {"Align_Header", &Settings::Align_Header, nullptr, nullptr, nullptr,
     &SettingsText::Align_Header, -1, lastItem(alignmentItems.size())},
    {"Align_Value", &Settings::Align_Value, nullptr, nullptr, nullptr, &SettingsText::Align_Value,
     -1, lastItem(alignmentItems.size())},
    {"Export_File_Format", &Settings::Export_File_Format, nullptr, nullptr, nullptr,
     &SettingsText::Export_File_Format, -1, lastItem(report::writers().size())},
    {"Excel_File_Start", nullptr, nullptr, &Settings::Excel_File_Start,
     &SettingsText::Excel_File_Start, nullptr, 0, 0, 0, false},
    {"Exclude_Attribute", nullptr, nullptr, &Settings::Exclude_Attribute,
     &SettingsText::Exclude_Attribute, nullptr, 0, 0, 0, false},
    {"Exclude_Values", nullptr, nullptr, &Settings::Exclude_Values, &SettingsText::Exclude_Values,
     nullptr, 0, 0, 0, false},
    // The designator order is a list without typed text: it always has an item.
    {"Refdes_Order", &Settings::Refdes_Order, nullptr, nullptr, nullptr,
     &SettingsText::Refdes_Order, 0, lastItem(refdesOrderItems.size()), 0, false},
    {"Workbook_Xlsx", &Settings::Workbook_Xlsx, nullptr, nullptr, nullptr,
     &SettingsText::Workbook_Xlsx, 0, 2, 0, false},
};

const Key* findKey(std::string_view key) {
    for (const Key& entry : keys) {
        if (entry.key == key) {
            return &entry;
        }
    }
    return nullptr;
}

// How the reading takes a value its field refuses: the reports pass over it and read on; the
// Options window ends its reading there, keeping what came before, as it always has.
enum class Strictness { Lenient, Strict };

// The one reading of the settings file's lines, in file order (a repeated key takes its last
// value): each line of a known key is handed to take, which sets its field and says whether the
// field took the value. A line without "=" or of an unknown key is passed over.
template <typename Take>
void readLines(const std::vector<std::string>& lines, Strictness strictness, Take&& take) {
    for (const auto& line : lines) {
        const auto split = splitLine(line);
        const Key* entry = split ? findKey(split->key) : nullptr;
        if (entry != nullptr && !take(*entry, split->value) && strictness == Strictness::Strict) {
            return;
        }
    }
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

// One value of the window's reading; false when the window's control cannot show it.
bool takeWindowValue(const Key& entry, std::string_view value, SettingsText& values) {
    if (entry.windowText != nullptr) {
        values.*entry.windowText = value;
        return true;
    }
    return setWindowInteger(value, entry.low, entry.high, values.*entry.windowNumber);
}

// One value of the reports' reading; false when it is no number for a number's field.
bool takeField(const Key& entry, std::string_view value, Settings& fields) {
    if (entry.text != nullptr) {
        fields.*entry.text = value;
        return true;
    }
    if (entry.wideNumber != nullptr) {
        const auto number = settingsWideInteger(value);
        if (number) {
            fields.*entry.wideNumber = *number;
        }
        return number.has_value();
    }
    const auto number = settingsInteger(value);
    if (number) {
        fields.*entry.number = *number;
    }
    return number.has_value();
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

// The settings file's lines. A missing file has none; one that is there but cannot be read
// whole throws, unless `lines` is given to keep the lines read before the break.
std::vector<std::string> settingsFileLines(const std::string& path,
                                           std::vector<std::string>* lines = nullptr) {
    TextLines read = readTextLines(path);
    if (lines != nullptr) {
        *lines = read.lines;
    }
    // A missing file means the defaults; one that is there but cannot be read must not turn
    // every report, or the Options window's values, into the defaults without a word.
    const bool missing =
        !read.opened && (read.errorNumber == ENOENT || read.errorNumber == ENOTDIR);
    if (!missing && (!read.opened || !read.complete)) {
        throwFileError(read.errorNumber, "read", path);
    }
    return std::move(read.lines);
}

}  // namespace

std::vector<std::string_view> fileFormatItems() {
    std::vector<std::string_view> items;
    for (const report::Writer* writer : report::writers()) {
        items.push_back(writer->name());
    }
    return items;
}

std::optional<std::int16_t> settingsInteger(std::string_view value) {
    const auto number = settingsNumber(value, -32768, 32767);
    return number ? std::optional<std::int16_t>(static_cast<std::int16_t>(*number)) : std::nullopt;
}

std::optional<std::int32_t> settingsWideInteger(std::string_view value) {
    const auto number = settingsNumber(value, INT32_MIN, INT32_MAX);
    return number ? std::optional<std::int32_t>(static_cast<std::int32_t>(*number)) : std::nullopt;
}

void applySettingsLines(const std::vector<std::string>& lines, Settings& fields) {
    readLines(lines, Strictness::Lenient, [&fields](const Key& entry, std::string_view value) {
        return takeField(entry, value, fields);
    });
}

void SetOptions(const std::string& path, Settings& fields) {
    // Read before anything changes; a file that breaks off still gives the lines before the
    // break, and one that is no regular file throws once the fields hold the defaults.
    std::vector<std::string> lines;
    std::exception_ptr failure;
    try {
        settingsFileLines(path, &lines);
    } catch (const Error&) {
        failure = std::current_exception();
    }
    // Keys the file does not hold, or holds with a value that is no number, take their
    // defaults: a file of older or hand-made settings never starts the report at row 0 or
    // writes 0-point fonts.
    const std::string keptTemplate = fields.Excel_File_Start;
    fields = Settings{};
    for (const Key& entry : keys) {
        if (entry.number != nullptr) {
            fields.*entry.number = static_cast<std::int16_t>(entry.initial);
        } else if (entry.wideNumber != nullptr) {
            fields.*entry.wideNumber = entry.initial;
        }
    }
    fields.Excel_File_Start = keptTemplate;
    applySettingsLines(lines, fields);
    if (failure) {
        std::rethrow_exception(failure);
    }
}

std::vector<std::string> settingsLines(const SettingsText& values) {
    std::vector<std::string> lines;
    for (const Key& entry : keys) {
        const std::string value = entry.windowText != nullptr
                                      ? values.*entry.windowText
                                      : std::to_string(values.*entry.windowNumber);
        const bool atDefault =
            entry.windowText != nullptr ? value.empty() : values.*entry.windowNumber == 0;
        if (entry.alwaysWritten || !atDefault) {
            lines.push_back(std::string(entry.key) + "=" + value);
        }
    }
    return lines;
}

namespace {

// Text boxes of numbers left empty show their defaults.
void fillEmptyNumberBoxes(SettingsText& values) {
    for (const Key& entry : keys) {
        if (entry.windowText != nullptr && entry.initial != 0 &&
            (values.*entry.windowText).empty()) {
            values.*entry.windowText = std::to_string(entry.initial);
        }
    }
}

}  // namespace

SettingsText initialWindowSettings() {
    SettingsText values;
    fillEmptyNumberBoxes(values);
    return values;
}

void applyWindowLines(const std::vector<std::string>& lines, SettingsText& values) {
    readLines(lines, Strictness::Strict, [&values](const Key& entry, std::string_view value) {
        return takeWindowValue(entry, value, values);
    });
}

SettingsText readWindowSettings(const std::string& path) {
    SettingsText values = initialWindowSettings();
    applyWindowLines(settingsFileLines(path), values);
    fillEmptyNumberBoxes(values);
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
