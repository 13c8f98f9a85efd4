#include "report/run/dispatch.h"

#include <algorithm>
#include <chrono>
#include <optional>

#include "common/error.h"
#include "report/run/viewer.h"
#include "report/table/designtable.h"
#include "report/writers/workbookreport.h"

namespace vexlo::report {

namespace {

using Clock = std::chrono::steady_clock;

void addSeconds(const ReportRequest& request, double ReportTimings::*phase,
                Clock::time_point start) {
    if (request.timings != nullptr) {
        request.timings->*phase += std::chrono::duration<double>(Clock::now() - start).count();
    }
}

// The table of the request, sorted by the key and merged when compressing. The key sort is
// stable over the rows as found, so the natural order only reorders the merged reference lists;
// without compressing it orders the rows.
ReportTable tableFor(const ReportSource& source, const ReportRequest& request,
                     std::vector<MixedRow>* mixed) {
    const RefdesOrder order = request.options.order;
    TableRules rules = tableRulesOf(request);
    // A merged row that joins differing parts names them as its reference column lists them;
    // without that column, by the designators the table keeps for it.
    rules.designators =
        request.compress && std::find(request.columns.begin(), request.columns.end(), "REFDES") ==
                                request.columns.end();
    Table table = buildTable(*source.design, request.columns, rules);
    std::optional<Grouping> grouping;
    if (request.compress) {
        grouping = groupByKey(table, request.keys, order);
    }
    ReportTable merged =
        reportTableOf(std::move(table), grouping, source.design->Components("").size());
    if (mixed != nullptr && grouping) {
        *mixed = std::move(grouping->mixed);
    }
    return merged;
}

}  // namespace

ReportTable reportTableOf(Table table, const std::optional<Grouping>& grouping,
                          std::size_t componentCount) {
    ReportTable merged;
    merged.componentCount = componentCount;
    if (grouping) {
        const std::vector<std::size_t>& starts = grouping->starts;
        std::vector<std::size_t> lengths(starts.size());
        for (std::size_t run = 0; run < starts.size(); ++run) {
            const std::size_t end = run + 1 < starts.size() ? starts[run + 1] : table.rowCount();
            lengths[run] = end - starts[run];
        }
        merged.runLengths = std::move(lengths);
        merged.widestBeforeMerge = widestUnderEmptyHeaders(table);
        mergeRuns(table, starts, grouping->columns, grouping->references);
    }
    static_cast<Table&>(merged) = std::move(table);
    return merged;
}

ReportTable reportTable(const ReportSource& source, const ReportRequest& request,
                        std::vector<MixedRow>* mixed) {
    checkRequest(request);
    return tableFor(source, request, mixed);
}

std::string reportPath(const ReportSource& source, const ReportRequest& request) {
    const Writer& writer = checkFormat(request.options.format);
    return source.reportFile(request.choiceSuffix, writer.extension(request.options),
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

const Writer& checkFormat(Format format) {
    const Writer* writer = writerOf(format);
    if (writer == nullptr) {
        throw Error(errc::NoWriterForFormat, "The output format " +
                                                 std::to_string(static_cast<int>(format)) +
                                                 " has no report writer (" + numberedFormats() +
                                                 "); choose one under Options, Output Format");
    }
    return *writer;
}

WrittenReport writeTable(const ReportTable& table, const ReportRequest& request,
                         const std::string& path) {
    const Writer& writer = checkFormat(request.options.format);
    const auto start = Clock::now();
    writer.writeTable(table, request.options, path);
    addSeconds(request, &ReportTimings::writeSeconds, start);
    WrittenReport written;
    written.path = path;
    written.rows = table.rowCount();
    written.shown = showWritten(request, path);
    return written;
}

WrittenReport ExporttoExcel(const ReportSource& source, const ReportRequest& request) {
    checkRequest(request);
    const std::string path = reportPath(source, request);
    const auto start = Clock::now();
    std::vector<MixedRow> mixed;
    const ReportTable table = tableFor(source, request, &mixed);
    addSeconds(request, &ReportTimings::tableSeconds, start);
    WrittenReport written = writeTable(table, request, path);
    written.mixed = std::move(mixed);
    return written;
}

WrittenComparison ExportComparison(const ReportSource& source, const Revision& old,
                                   const std::string& newName, const ReportRequest& request,
                                   bool keepSame) {
    const Writer& writer = checkFormat(request.options.format);
    ReportRequest named = request;
    named.choiceSuffix += "_changes";
    const std::string path = reportPath(source, named);
    const Comparison comparison =
        compareRevisions(old, {newName, source.design}, request, keepSame);
    writer.writeComparison(comparison, request.options, path);
    return {path, comparison.counts, showWritten(request, path)};
}

Shown showWritten(const ReportRequest& request, const std::string& path) {
    Shown shown;
    if (!request.showReport) {
        return shown;
    }
    shown.viewer = openForUser(path);
    shown.notStarted = shown.viewer == nullptr;
    // Only some formats count a viewer that does not start as a failure; the report is written
    // either way.
    if (shown.notStarted && checkFormat(request.options.format).needsViewer()) {
        throw Error(errc::ViewerNotStarted, "The report was written to \"" + path +
                                                "\", but no viewer could be started to show it "
                                                "(xdg-open was not found or failed)");
    }
    return shown;
}

}  // namespace vexlo::report
