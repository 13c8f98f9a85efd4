#pragma once

#include <string>

#include "report/reportsource.h"
#include "report/request.h"

namespace vexlo::report {

// Keeps its old name; no spreadsheet application is involved: writes the report of the source's
// design in the format of request.settings.Export_File_Format, as F + D + choiceSuffix +
// extension, and returns its path. The run is design -> table -> (sorted and merged by the key
// when request.compress is 1) -> the format's writer -> the file, replaced atomically -> the
// viewer when request.showReport. Failures throw vexlo::Error; nothing but the report itself is
// ever written.
std::string ExporttoExcel(const ReportSource& source, const ReportRequest& request);

// A format without a writer fails with NoWriterForFormat before anything is asked or written.
void checkFormat(int format);

}  // namespace vexlo::report
