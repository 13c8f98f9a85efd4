#pragma once

#include <cstdint>
#include <string>

#include "settings/settings.h"

namespace vexlo::report {

// How one kind of cell is written, as the settings give it: a font size in points, bold and
// italic as check states (0 off, 1 on, 2 grey: off) and an alignment index (0 left, 1 centre,
// 2 right; anything else leaves the cell's own).
struct CellStyle {
    int fontSize = 0;
    int bold = 0;
    int italic = 0;
    int alignment = 0;
};

// The styles of the header row and of the value rows.
struct ReportStyle {
    CellStyle header;
    CellStyle values;
};

// Where and from what a workbook report is laid out, with its styles.
struct WorkbookLayout {
    ReportStyle style;
    std::int32_t startRow = 1;  // the header's row, counted from 1
    std::string templatePath;   // "" for a blank workbook
};

ReportStyle reportStyleOf(const settings::Settings& settings);
WorkbookLayout workbookLayoutOf(const settings::Settings& settings);

}  // namespace vexlo::report
