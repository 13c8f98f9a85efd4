#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/error.h"
#include "report/compare/compare.h"
#include "report/options/request.h"
#include "report/run/reportsource.h"
#include "report/run/viewer.h"
#include "report/table/table.h"
#include "report/writers/writer.h"

namespace vexlo::report {

// How a written file was handed to the viewer.
struct Shown {
    std::shared_ptr<ViewerRun> viewer;  // showing it; it may still fail to
    bool notStarted = false;            // asked for, but xdg-open could not be started
};

// A report as written: its path, its number of data rows, its merged rows that join parts
// that differ, and how it was shown.
struct WrittenReport {
    std::string path;
    std::size_t rows = 0;
    std::vector<MixedRow> mixed;
    Shown shown;
};

// Keeps its old name; no spreadsheet application is involved: writes the report of the source's
// design in the format of request.options, as F + D + choiceSuffix + extension (".xls", or
// ".xlsx" when the options ask for it; ".txt", ".html", ".csv"). The run is design -> table
// (parts left out by the options' exclusion; rows in natural designator order when the options'
// order asks for it and not compressing) -> (sorted by the key, stably, and merged with the
// reference lists in the options' order when request.compress) -> the format's
// writer -> the file, replaced atomically -> the viewer when request.showReport. Failures throw
// vexlo::Error; nothing but the report itself is ever written.
WrittenReport ExporttoExcel(const ReportSource& source, const ReportRequest& request);

// The table as the report of the request would hold it, with nothing written or shown: the same
// run as ExporttoExcel's up to the writer; its merged rows that join parts that differ into mixed
// when given. The table views the source's design, which must outlive it.
ReportTable reportTable(const ReportSource& source, const ReportRequest& request,
                        std::vector<MixedRow>* mixed = nullptr);

// A table and its grouping (none: not compressed) as a writer takes them: the runs merged, with
// their lengths and the widest texts the merge removes beside them.
ReportTable reportTableOf(Table table, const std::optional<Grouping>& grouping,
                          std::size_t componentCount);

// Writes a report's table to path in the request's format, timed into the request's timings,
// then shows it as showWritten does.
WrittenReport writeTable(const ReportTable& table, const ReportRequest& request,
                         const std::string& path);

// The path ExporttoExcel writes the request's report to.
std::string reportPath(const ReportSource& source, const ReportRequest& request);

// Hands a written report to the viewer when the request asks to show it. A viewer that does not
// start fails the report of a format that needs it (ViewerNotStarted); the file stays written
// either way.
Shown showWritten(const ReportRequest& request, const std::string& path);

// The writer of a format; a format without one fails with NoWriterForFormat before anything is
// asked or written.
const Writer& checkFormat(Format format);

// Refuses, before anything is asked or written, a request whose report could not be trusted: a
// format without a writer, no column at all (NoReportColumns), a compressed report without its
// "QTY" column (NoQuantityColumn) and "QTY" as a key (QuantityAsKey). Each message says what to
// do.
void checkRequest(const ReportRequest& request);

// A comparison as written: its path and its counts.
struct WrittenComparison {
    std::string path;
    ChangeCounts counts;
    Shown shown;
};

// Writes the comparison of the old revision with the source's design, named like the request's
// report with "_changes" before the extension and written as atomically as a report, in the
// request's format: the workbook and HTML mark added rows green, removed rows red and the changed
// cells yellow, with the title above the table; text and comma-separated values print the title
// as their first line and the "Change" column. Shown to the user when the request asks, as a
// report is. Failures throw vexlo::Error.
WrittenComparison ExportComparison(const ReportSource& source, const Revision& old,
                                   const std::string& newName, const ReportRequest& request,
                                   bool keepSame);

// QuantityAsKey's failure, also for a front end that refuses "QTY" as it is chosen.
Error quantityKeyError();

}  // namespace vexlo::report
