#pragma once

#include <string>
#include <string_view>

namespace vexlo::fuzz {

// A template workbook of a few fixed parts whose first worksheet and shared string table are
// given, held in a memory file: the path Workbook::open is given. Each call replaces the last.
std::string workbookWith(std::string_view sheetXml, std::string_view sharedStringsXml);

// Opens the workbook at path and works on its first sheet as the report does: every cell read,
// a block written, a row deleted, the sheet written out. The written sheet must be well-formed
// XML; a template refused with an Error is fine.
void exerciseWorkbook(const std::string& path);

}  // namespace vexlo::fuzz
