#include "settings/settings.h"

namespace vexlo::settings {

report::RefdesOrder refdesOrderOf(int setting) noexcept {
    switch (setting) {
        case 1:
            return report::RefdesOrder::Natural;
        case 2:
            return report::RefdesOrder::Ranges;
        default:
            return report::RefdesOrder::AsFound;
    }
}

report::CellStyle cellStyleOf(int fontSize, int bold, int italic, int alignment) noexcept {
    const bool flags = (bold == 0 || bold == 1) && (italic == 0 || italic == 1);
    report::CellStyle style;
    style.fontSize = fontSize;
    style.bold = flags && bold == 1;
    style.italic = flags && italic == 1;
    style.alignment = alignment == 0   ? report::Alignment::Left
                      : alignment == 1 ? report::Alignment::Center
                                       : report::Alignment::Right;
    return style;
}

report::ReportOptions reportOptions(const Settings& fields) {
    report::ReportOptions options;
    options.format = static_cast<report::Format>(fields.Export_File_Format);
    options.xlsx = fields.Workbook_Xlsx == 1;
    options.order = refdesOrderOf(fields.Refdes_Order);
    options.exclusion = report::exclusionOf(fields.Exclude_Attribute, fields.Exclude_Values);
    options.layout.style.header = cellStyleOf(fields.Header_Font_Size, fields.Header_Bold,
                                              fields.Header_Italic, fields.Align_Header);
    options.layout.style.values = cellStyleOf(fields.Value_Font_Size, fields.Value_Bold,
                                              fields.Value_Italic, fields.Align_Value);
    options.layout.startRow = fields.Excel_Start;
    options.layout.templatePath = fields.Excel_File_Start;
    return options;
}

}  // namespace vexlo::settings
