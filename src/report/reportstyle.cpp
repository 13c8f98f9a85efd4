#include "report/reportstyle.h"

namespace vexlo::report {

ReportStyle reportStyleOf(const settings::Settings& settings) {
    return {{settings.Header_Font_Size, settings.Header_Bold, settings.Header_Italic,
             settings.Align_Header},
            {settings.Value_Font_Size, settings.Value_Bold, settings.Value_Italic,
             settings.Align_Value}};
}

WorkbookLayout workbookLayoutOf(const settings::Settings& settings) {
    return {reportStyleOf(settings), settings.Excel_Start, settings.Excel_File_Start};
}

}  // namespace vexlo::report
