#pragma once

#include <string>
#include <vector>

#include "options/settings.h"

namespace vexlo::options {

// The settings file "vexlosettings.qzv": key=value lines, split at the first "=".
inline constexpr const char* settingsFileName = "vexlosettings.qzv";

// The values of a settings file applied to fields, line by line in file order (a repeated key
// takes its last value). Integer values are converted to 16 bits with a half rounded to even;
// a line without "=", a value that is not a number or one outside 16 bits is ignored.
void applySettingsLines(const std::vector<std::string>& lines, Settings& fields);

// SetOptions: the defaults (1, 10, 10, the rest 0, template unchanged) when the file is absent,
// otherwise its values over the fields as they stand.
void SetOptions(const std::string& path, Settings& fields);

// One value of the Options window as "Save" writes it.
struct SettingsText {
    std::string Excel_Start, Header_Font_Size, Value_Font_Size;  // text boxes as typed
    int Value_Bold = 0, Header_Bold = 0, Value_Italic = 0, Header_Italic = 0;  // check states
    int Align_Header = 0, Align_Value = 0, Export_File_Format = 0;             // item indexes
    std::string Excel_File_Start;                                              // template box
};

// The lines "Save" writes, in order; the template line only when the template is not empty.
std::vector<std::string> settingsLines(const SettingsText& values);

}  // namespace vexlo::options
