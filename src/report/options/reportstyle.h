#pragma once

#include <cstdint>
#include <string>

namespace vexlo::report {

// Where a workbook cell's text sits across it.
enum class Alignment { Left, Center, Right };

// How one kind of cell is written: a font size in points, bold, italic and the alignment (which
// the HTML report leaves centred).
struct CellStyle {
    int fontSize = 0;
    bool bold = false;
    bool italic = false;
    Alignment alignment = Alignment::Left;
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

}  // namespace vexlo::report
