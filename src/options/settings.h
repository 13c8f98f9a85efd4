#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vexlo::options {

// The eleven option fields of the main window, named by their keys in the settings file.
// Everything starts at zero or empty, as the window's fields do before SetOptions runs.
struct Settings {
    std::int16_t Excel_Start = 0;
    std::int16_t Header_Font_Size = 0;
    std::int16_t Value_Font_Size = 0;
    std::int16_t Export_File_Format = 0;
    std::int16_t Header_Bold = 0;
    std::int16_t Value_Bold = 0;
    std::int16_t Value_Italic = 0;
    std::int16_t Header_Italic = 0;
    std::int16_t Align_Header = 0;
    std::int16_t Align_Value = 0;
    std::string Excel_File_Start;

    friend bool operator==(const Settings&, const Settings&) = default;
};

}  // namespace vexlo::options
