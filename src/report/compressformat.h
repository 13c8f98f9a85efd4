#pragma once

#include <string>

#include "design/schematictool.h"
#include "report/dispatch.h"
#include "report/table.h"

namespace vexlo::report {

// Builds the compressed table P + "temp.csv" that the text, HTML and CSV writers print: writes
// the intermediate file P + "/attr2xl.tmp" from the tool's open design, reads it back as a
// table, sorts and merges its rows by the key when request.compress is 1, saves the table and
// deletes the intermediate file. On success only "temp.csv" is left; on failure neither.
void CompressFormat(design::SchematicTool& tool, const ReportRequest& request);

// Saves a table as comma-separated lines ended by CR LF, header first, quoting fields as
// appendCsvField does. A file of that name is deleted first; the new one is put in place whole.
void saveCompressedTable(const Table& table, const std::string& path);

}  // namespace vexlo::report
