#pragma once

#include <string>

#include "design/schematictool.h"
#include "report/dispatch.h"

namespace vexlo::report {

// Writes the workbook report of the tool's open design as F + D + choiceSuffix + ".xls" and
// returns its path. The first worksheet of the template Excel_File_Start (or of a blank
// workbook) receives the column names in row Excel_Start and one row per component below; the
// block of K + 2 rows and C + 1 columns replaces what the sheet held there. The block is
// formatted from the options, its columns fitted, and its rows grouped by the key when
// request.compress is 1. The report replaces a file of its name atomically and is handed to
// xdg-open when request.showReport; a viewer that cannot start is ignored.
//
// A start row below 1, a block past the worksheet's edge and a template that is no OOXML
// workbook fail before any file is written; the intermediate file P + "/attr2xl.tmp" is
// deleted however the run ends.
std::string FillClipboard(design::SchematicTool& tool, const ReportRequest& request);

}  // namespace vexlo::report
