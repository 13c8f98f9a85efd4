#include "report/dispatch.h"

#include <algorithm>
#include <chrono>
#include <optional>

#include "common/error.h"
#include "common/textfile.h"
#include "common/viewer.h"
#include "report/csvwriter.h"
#include "report/designtable.h"
#include "report/htmlwriter.h"
#include "report/textwriter.h"
#include "report/workbookreport.h"

namespace vexlo::report {

namespace {

using Clock = std::chrono::steady_clock;

void addSeconds(const ReportRequest& request, double ReportTimings::*phase,
                Clock::time_point start) {
    if (request.timings != nullptr) {
        request.timings->*phase += std::chrono::duration<double>(Clock::now() - start).count();
    }
}

const char* extensionOf(const ReportOptions& options) {
    static const char* const extensions[] = {".xls", ".txt", ".html", ".csv"};
    if (options.format == Format::Workbook && options.xlsx) {
        return ".xlsx";
    }
    return extensions[static_cast<int>(options.format)];
}

// The table of the request, grouped by the key when compressing: sorted, and merged on the
// table unless the workbook merges it on its sheet (onSheet). The key sort is stable over the
// rows as found, so the natural order only reorders the merged reference lists; without
// compressing it orders the rows.
Table tableFor(const ReportSource& source, const ReportRequest& request, bool onSheet,
               std::optional<Grouping>& grouping) {
    const RefdesOrder order = request.options.order;
    TableRules rules;
    rules.exclusion = request.options.exclusion;
    rules.naturalOrder = order != RefdesOrder::AsFound && !request.compress;
    // A merged row that joins differing parts names them as its reference column lists them;
    // without that column, by the designators the table keeps for it.
    rules.designators =
        request.compress && std::find(request.columns.begin(), request.columns.end(), "REFDES") ==
                                request.columns.end();
    Table table = buildTable(*source.design, request.columns, rules);
    if (request.compress) {
        grouping = onSheet ? groupByKey(table, request.keys, order)
                           : compressTable(table, request.keys, order);
    }
    return table;
}

void writeTableFile(const Table& table, const ReportOptions& options, const std::string& path) {
    AtomicFile file(path);
    const ReportSink sink = [&file](std::string_view bytes) { file.write(bytes); };
    switch (options.format) {
        case Format::Text:
            writeTextReport(table, sink);
            break;
        case Format::Html:
            writeHtmlReport(table, options.layout.style, sink);
            break;
        default:
            writeCsvReport(table, sink);
    }
    file.commit();
}

}  // namespace

Table reportTable(const ReportSource& source, const ReportRequest& request,
                  std::vector<MixedRow>* mixed) {
    checkRequest(request);
    std::optional<Grouping> grouping;
    Table table = tableFor(source, request, false, grouping);
    if (mixed != nullptr && grouping) {
        *mixed = std::move(grouping->mixed);
    }
    return table;
}

std::string reportPath(const ReportSource& source, const ReportRequest& request) {
    checkFormat(request.options.format);
    return source.reportFile(request.choiceSuffix, extensionOf(request.options),
                             request.outputBase);
}

Error quantityKeyError() {
    return Error(errc::QuantityAsKey,
                 "\"QTY\" cannot be a key: it counts the parts of each merged row. Choose the "
                 "attributes that tell parts apart as the key, such as Value and Footprint");
}

void checkRequest(const ReportRequest& request) {
    checkFormat(request.options.format);
    const std::vector<std::string>& columns = request.columns;
    if (columns.empty()) {
        throw Error(errc::NoReportColumns,
                    "A report needs at least one column: choose the attributes to report (in the "
                    "column list, the saved selection or with --column) and write it again");
    }
    if (!request.compress) {
        return;
    }
    if (std::find(request.keys.begin(), request.keys.end(), "QTY") != request.keys.end()) {
        throw quantityKeyError();
    }
    if (std::find(columns.begin(), columns.end(), "QTY") == columns.end()) {
        throw Error(errc::NoQuantityColumn,
                    "A compressed report needs its QTY column: each merged row stands for several "
                    "parts and must say how many. Check Compress again to add \"QTY\" to the "
                    "column list, or add a line \"QTY\" to the saved selection");
    }
}

void checkFormat(Format format) {
    const int number = static_cast<int>(format);
    if (number < static_cast<int>(Format::Workbook) || number > static_cast<int>(Format::Csv)) {
        throw Error(errc::NoWriterForFormat,
                    "The output format " + std::to_string(number) +
                        " has no report writer (0 Excel, 1 Text, 2 HTML, 3 CSV); choose one under "
                        "Options, Output Format");
    }
}

WrittenReport ExporttoExcel(const ReportSource& source, const ReportRequest& request) {
    const Format format = request.options.format;
    checkRequest(request);
    const std::string path = reportPath(source, request);
    auto start = Clock::now();
    std::optional<Grouping> grouping;
    Table table = tableFor(source, request, format == Format::Workbook, grouping);
    addSeconds(request, &ReportTimings::tableSeconds, start);
    // The workbook merges on the sheet: one row per run.
    const std::size_t rows =
        format == Format::Workbook && grouping ? grouping->starts.size() : table.rowCount();

    start = Clock::now();
    if (format == Format::Workbook) {
        FillClipboard(std::move(table), grouping, source.design->Components("").size(),
                      request.options.layout, path);
    } else {
        writeTableFile(table, request.options, path);
    }
    addSeconds(request, &ReportTimings::writeSeconds, start);

    Shown shown = showWritten(request, path);
    return {path, rows, grouping ? std::move(grouping->mixed) : std::vector<MixedRow>(),
            std::move(shown)};
}

Shown showWritten(const ReportRequest& request, const std::string& path) {
    Shown shown;
    if (!request.showReport) {
        return shown;
    }
    shown.viewer = openForUser(path);
    shown.notStarted = shown.viewer == nullptr;
    // Only the text report counts a viewer that does not start as a failure; the report is
    // written either way.
    if (shown.notStarted && request.options.format == Format::Text) {
        throw Error(errc::ViewerNotStarted, "The report was written to \"" + path +
                                                "\", but no viewer could be started to show it "
                                                "(xdg-open was not found or failed)");
    }
    return shown;
}

}  // namespace vexlo::report
