#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/settings.h"

namespace vexlo::settings {

// The settings file "vexlosettings.qzv": key=value lines, split at the first "=".
inline constexpr const char* settingsFileName = "vexlosettings.qzv";

// The items of the alignment and output-format boxes; a value is an index into these.
inline constexpr std::array<const char*, 3> alignmentItems{"Left", "Center", "Right"};
inline constexpr std::array<const char*, 3> refdesOrderItems{"As found", "Natural order",
                                                             "Natural order with ranges"};
// The output formats' items, one a writer in the order of their numbers.
std::vector<std::string_view> fileFormatItems();

// A settings value as a 16-bit integer. A number is plain decimal: an optional "+" or "-", digits,
// optionally "." and more digits (at least one digit in all), with blanks (spaces, tabs) allowed
// around it and nowhere else. A fraction rounds to the nearest integer, an exact half to the even
// one. nullopt for anything else (exponents, separators, an empty value) and for a result
// outside -32768..32767.
std::optional<std::int16_t> settingsInteger(std::string_view value);
// The same number read into 32 bits, for the start row.
std::optional<std::int32_t> settingsWideInteger(std::string_view value);

// The reports' reading of a settings file's lines into fields: the one reader of the lines (the
// Options window's reading is the same, strict where this one is lenient), line by line in file
// order (a repeated key takes its last value). Integer values are converted to 16 bits (the start
// row to 32) with a half rounded to even; a line without "=", a value that is not a number or one
// outside those bits is ignored.
void applySettingsLines(const std::vector<std::string>& lines, Settings& fields);

// Keeps its old name SetOptions: reads the settings file into the option fields, the file's
// values over the defaults (1, 10, 10, the rest 0, the template as it stands), so a key the file
// lacks, or holds with a value that is no number, takes its default; an absent file gives the
// defaults alone. A file that is there but cannot be read whole, and a path that is no regular
// file, throw after the fields took the defaults (and the lines read before a read broke off).
void SetOptions(const std::string& path, Settings& fields);

// One value of the Options window as "Save" writes it.
struct SettingsText {
    std::string Excel_Start, Header_Font_Size, Value_Font_Size;  // text boxes as typed
    int Value_Bold = 0, Header_Bold = 0, Value_Italic = 0, Header_Italic = 0;  // check states
    int Align_Header = 0, Align_Value = 0, Export_File_Format = 0;             // item indexes
    std::string Excel_File_Start;                                              // template box
    std::string Exclude_Attribute, Exclude_Values;                             // text boxes
    int Refdes_Order = 0;                                                      // item index
    int Workbook_Xlsx = 0;                                                     // check state
};

// The lines "Save" writes, in order; the template line only when the template is not empty,
// and after them the bill of materials settings that are not at their defaults (empty, 0), so
// that a file without them reads as before.
std::vector<std::string> settingsLines(const SettingsText& values);

// The Options window's values before any file is read: "1", "10", "10", boxes unchecked, the
// first items chosen, no template.
SettingsText initialWindowSettings();

// The Options window's reading of the file's lines over values, by the reports' reader made
// strict. Text-box keys and the template
// take the value text as it is; check states must be 0, 1 or 2 and item indexes -1 (none) or an
// index of the box's items. The first value that fails ends the reading at its line, keeping
// what came before, as the window has always done; a line without "=" is passed over, as
// SetOptions passes it over.
void applyWindowLines(const std::vector<std::string>& lines, SettingsText& values);

// The Options window's load: initial values, the file's lines over them as far as they go (none
// when there is no file), then "10", "10" and "1" in text boxes left empty. A key the file lacks
// shows its initial value, the value SetOptions takes for it. A file that is there but cannot be
// read whole, and a path that is no regular file, throw.
SettingsText readWindowSettings(const std::string& path);

// Why "Save" refuses the values, naming the field; "" when they can be saved. Font sizes must be
// whole numbers from 1 to 409 and the start row one from 1 to 1,048,576, written in digits only.
std::string settingsTextProblem(const SettingsText& values);

}  // namespace vexlo::settings
