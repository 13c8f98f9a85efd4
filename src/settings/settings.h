#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "report/options/request.h"

namespace vexlo::settings {

// The option fields of the main window, named by their keys in the settings file. Everything
// starts at zero or empty, as the window's fields do before SetOptions runs; for the bill of
// materials settings that is "off", so a file without them gives the reports it always gave.
struct Settings {
    std::int32_t Excel_Start = 0;  // wider than the rest: a worksheet has 1,048,576 rows
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
    // Parts whose Exclude_Attribute value is one of Exclude_Values ("," between) are left out.
    std::string Exclude_Attribute;
    std::string Exclude_Values;
    std::int16_t Refdes_Order = 0;   // 0 as found, 1 natural order, 2 natural order with ranges
    std::int16_t Workbook_Xlsx = 0;  // 1: the workbook report is named ".xlsx"

    friend bool operator==(const Settings&, const Settings&) = default;
};

// The report options the fields give: the only place their codes are read.
report::ReportOptions reportOptions(const Settings& fields);

// Refdes_Order's value: 1 Natural, 2 Ranges, anything else AsFound.
report::RefdesOrder refdesOrderOf(int setting) noexcept;

// A cell style from its fields: bold and italic as check states (0 off, 1 on, 2 grey), of which
// only the pairs (1, 0), (1, 1) and (0, 1) switch bold or italic on and any other pair leaves
// both off; an alignment index of 0 left, 1 centre and anything else right.
report::CellStyle cellStyleOf(int fontSize, int bold, int italic, int alignment) noexcept;

}  // namespace vexlo::settings
