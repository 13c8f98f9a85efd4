#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "report/compare/compare.h"
#include "report/options/reportstyle.h"
#include "report/table/table.h"
#include "report/writers/writer.h"

namespace vexlo::report {

// Keeps its old name; no clipboard is involved: writes the workbook report to path. The first
// worksheet of the layout's template (or of a blank workbook) receives the column names in the
// layout's start row and the table's rows below; a block of K + 2 rows and C + 1 columns (K the
// design's component count) replaces what the sheet held there. The block is formatted in the
// layout's styles and its columns fitted. A merged table (with its run lengths) ends as if each
// run's rows had been written and all but its first deleted: the block is K + 2 less the merges
// rows long, the sheet rows of the merged rows are gone and the rows below the block move up. The
// file is replaced atomically.
//
// A start row below 1, a template that is no OOXML workbook and a block past the worksheet's
// edge fail before any file is written. A merged report needs only its rows and the empty row
// after them to fit; its block's other empty rows end at the sheet's last row.
void FillClipboard(const ReportTable& table, const WorkbookLayout& layout, const std::string& path);

// The widest cell text of each column whose header is empty (none for the others): the text
// that autoFitWidth makes widest in any one font, as the fit counts code points.
std::vector<std::string_view> widestUnderEmptyHeaders(const Table& table);

// The workbook of a comparison, laid out as a report: its title in the layout's start row, the
// column names below it and the rows below them, in a block of R + 3 rows and C + 1 columns (R
// the comparison's rows) that replaces what the sheet held there. Added rows are filled green,
// removed rows red, and the changed cells of changed rows yellow. The file is replaced
// atomically; a start row below 1, a bad template and a block past the sheet's edge fail before
// anything is written.
void writeComparisonWorkbook(const Comparison& comparison, const WorkbookLayout& layout,
                             const std::string& path);

// The workbook format: ".xls", or ".xlsx" when the options ask for it.
const Writer& workbookWriter();

}  // namespace vexlo::report
