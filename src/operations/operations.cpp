#include "operations/operations.h"

#include <algorithm>
#include <cerrno>

#include "common/textfile.h"
#include "design/harvest.h"
#include "designfile/filetool.h"
#include "report/table/designtable.h"
#include "settings/settingsfile.h"

namespace vexlo::operations {

namespace {

std::string counted(std::size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string notShownNote(const report::Shown& shown) {
    return shown.notStarted ? "; no viewer could be started: xdg-open is not on PATH" : "";
}

struct Advice {
    errc::Number number;
    const char* text;
};

const char* const fileAdvice =
    "Check the file or folder named below: it may be missing, not yours to write, or on a full "
    "disk. Then try again.";

const Advice advices[] = {
    {errc::ToolNotRunning,
     "Start the schematic tool, or open a KiCad design without it: \"vexlo FILE\", or Ctrl+O in "
     "the window."},
    {errc::NoSessionBus,
     "Start Vexlo in a desktop session, which has a D-Bus session bus, or open a KiCad design "
     "without the schematic tool: \"vexlo FILE\"."},
    {errc::ToolCallFailed,
     "Check that the schematic tool is working (restart it if it hangs), then try again."},
    {errc::NoActiveDocument, "Open the design in the schematic tool, then try again."},
    {errc::BadDesignName, "Give the design a longer name in the schematic tool, then try again."},
    {errc::BadDocumentPath,
     "Save the design in a folder of its own in the schematic tool, then try again."},
    {errc::KeyNotInColumns,
     "Pick a key among the columns in the right list and click \"Select Part Number\"."},
    {errc::ViewerNotStarted,
     "Install a viewer for the report (xdg-open, from xdg-utils), or open the written report "
     "yourself."},
    {errc::BadTemplate, "Choose another template under Options, or none."},
    {errc::BadStartRow, "Set the start row under Options to 1 or more."},
    {errc::WorkbookTooLarge,
     "Write the report as text, HTML or CSV (under Options), or with fewer columns or parts."},
    {errc::SelectionNotSavable, "Change the name, a column or the key as said below."},
    {errc::NameLeavesFolder, "Rename the design or the saved selection as said below."},
    {errc::BadReportName, "Rename the design or the saved selection as said below."},
    {errc::NoWriterForFormat, "Choose an output format under Options."},
    {errc::SelectionGone,
     "Load the design again (F5) to see the saved selections as the file now has them."},
    {errc::DesignTooLarge, "Report the design in smaller parts."},
    {errc::NoReportColumns, "Choose the attributes to report, then write the report again."},
    {errc::NoQuantityColumn,
     "Check Compress again to add the QTY column, or add a line \"QTY\" to the saved selection."},
    {errc::QuantityAsKey, "Choose a key other than QTY."},
    {errc::BadDesignFile,
     "Open a KiCad project (.kicad_pro), its root sheet (.kicad_sch), KiCad's XML netlist or a "
     "JSON design, and mend what is said below."},
    {errc::FileNotFound, fileAdvice},
    {errc::FileAlreadyOpen, fileAdvice},
    {errc::DiskFull, fileAdvice},
    {errc::InputPastEnd, fileAdvice},
    {errc::PermissionDenied, fileAdvice},
    {errc::PathFileAccess, fileAdvice},
    {errc::PathNotFound, fileAdvice},
    {errc::OutOfMemory,
     "Close other programs, or report the design in smaller parts, then try again."},
};

}  // namespace

std::string adviceFor(const Error& failure) {
    for (const Advice& advice : advices) {
        if (advice.number == failure.number) {
            return advice.text;
        }
    }
    return "Try again; if it fails again, tell the Vexlo developers what is said below.";
}

std::string failureMessage(const Error& failure) {
    return adviceFor(failure) + "\n\n" + failure.message() + "\n\n(Error " +
           std::to_string(failure.number) + ")";
}

std::string attachFailureMessage(const Error& failure) {
    // The message the program always gave for a missing tool, then what else can be done.
    return (failure.number == errc::ToolNotRunning ? std::string(toolNotRunningMessage) + "\n\n"
                                                   : std::string()) +
           failureMessage(failure);
}

std::string failureStatus(const Error& failure) {
    return failure.number == errc::ToolCallAbandoned ? failure.message() : errorMessage(failure);
}

void loadSettings(Session& session, settings::Settings& fields) {
    settings::SetOptions(session.dataFile(settings::settingsFileName), fields);
}

std::string unknownSelectionMessage(const std::string& name) {
    return "There is no saved selection named " + name + ".";
}

std::string designStatus(DesignLoad load, Session& session, const report::Exclusion& exclusion,
                         std::size_t attributeNames) {
    report::TableRules rules;
    rules.exclusion = exclusion;
    const std::size_t parts = report::buildTable(*session.design(), {}, rules).rowCount();
    static const char* const verbs[] = {"Design read: ", "Design read again: ", "Design opened: "};
    std::string text = verbs[static_cast<int>(load)] + session.designName() + " in " +
                       session.projectFolder() + ", " + counted(parts, "part", "parts") +
                       " in the BOM";
    if (load != DesignLoad::Opened) {
        text += ", " + counted(attributeNames, "attribute name", "attribute names");
    }
    return text;
}

std::string emptyColumnsNote(const std::vector<std::string>& columns) {
    std::vector<std::string> once;
    for (const std::string& name : columns) {
        if (std::find(once.begin(), once.end(), name) == once.end()) {
            once.push_back(name);
        }
    }
    if (once.empty()) {
        return {};
    }
    std::string text = "; no part carries ";
    for (std::size_t i = 0; i < once.size(); ++i) {
        text += (i == 0 ? "\"" : ", \"") + once[i] + "\"";
    }
    return text + (once.size() == 1 ? ": its column is empty" : ": their columns are empty");
}

std::string mixedRowsNote(const std::vector<report::MixedRow>& mixed) {
    if (mixed.empty()) {
        return {};
    }
    std::string text = mixed.size() == 1
                           ? "1 merged row joins parts that differ: "
                           : std::to_string(mixed.size()) + " merged rows join parts that differ: ";
    std::vector<std::string> columns;  // to add to the key, each once, in the order met
    std::size_t described = 0;
    for (const report::MixedRow& row : mixed) {
        if (row.differences.empty()) {
            continue;
        }
        text += (described++ == 0 ? "" : "; ") + row.key + ": ";
        for (std::size_t i = 0; i < row.differences.size(); ++i) {
            const report::Difference& difference = row.differences[i];
            text += (i == 0 ? "" : ", ") + difference.column + " differs (";
            for (std::size_t side = 0; side < difference.sides.size(); ++side) {
                text += (side == 0 ? "" : " | ") + difference.sides[side];
            }
            text += ")";
            if (std::find(columns.begin(), columns.end(), difference.column) == columns.end()) {
                columns.push_back(difference.column);
            }
        }
    }
    if (described < mixed.size()) {
        text += "; and " + std::to_string(mixed.size() - described) + " more";
    }
    text += "; add ";
    for (std::size_t i = 0; i < columns.size(); ++i) {
        text += (i == 0 ? "" : ", ") + columns[i];
    }
    return text + " to the key";
}

Preview previewReport(Session& session, const report::ReportRequest& request) {
    report::checkRequest(request);
    const report::ReportSource& source = session.source();
    Preview preview{source.design, {}, report::reportPath(source, request), {}, {}, request};
    preview.request.timings = nullptr;
    preview.table = report::reportTable(source, request, &preview.mixed);
    preview.emptyColumns = report::columnsNoComponentCarries(*session.design(), request.columns);
    return preview;
}

report::WrittenReport writePreview(const Preview& preview) {
    report::WrittenReport written =
        report::writeTable(preview.table, preview.request, preview.path);
    written.mixed = preview.mixed;
    return written;
}

std::string formatName(int format) {
    const report::Writer* writer = report::writerOf(static_cast<report::Format>(format));
    return writer != nullptr ? std::string(writer->name()) : "";
}

std::unique_ptr<design::SchematicTool> openDesignFile(const std::string& path,
                                                      const std::string& variant) {
    return std::make_unique<designfile::DesignFileTool>(
        designfile::readDesignFile(path, {variant}));
}

report::ReportRequest defaultBomRequest(report::ReportRequest base, bool keepOrder) {
    base.keys = {"Value", "Footprint", "DNP"};
    base.columns = columnList({"REFDES", "Value", "Footprint", "DNP"}, true);
    base.compress = true;
    if (!keepOrder) {
        base.options.order = report::RefdesOrder::Ranges;
    }
    return base;
}

std::vector<std::string> columnList(std::vector<std::string> columns, bool compress) {
    if (compress && std::find(columns.begin(), columns.end(), "QTY") == columns.end()) {
        columns.emplace_back("QTY");
    }
    return columns;
}

bool lacksKey(const report::ReportRequest& request) {
    return request.compress && request.keys.empty();
}

report::ReportRequest selectionRequest(const saved::LoadedSelection& selection,
                                       const std::string& name, report::ReportRequest base) {
    base.columns = selection.columns;
    base.compress = selection.compress;
    base.keys = selection.keys;
    base.choiceSuffix = "_" + name;
    return base;
}

report::WrittenReport writeReport(Session& session, const report::ReportRequest& request) {
    report::checkRequest(request);
    const double fetchedBefore = session.fetchSeconds();
    const report::ReportSource& source = session.source();
    if (request.timings != nullptr) {
        request.timings->fetchSeconds += session.fetchSeconds() - fetchedBefore;
    }
    return report::ExporttoExcel(source, request);
}

report::WrittenComparison writeComparison(Session& session, const Comparison& comparison,
                                          const report::ReportRequest& request) {
    // The design's own name is asked of the tool first, as the title needs it.
    const std::string newName =
        comparison.newName.empty() ? session.source().designName : comparison.newName;
    report::checkRequest(request);
    const report::Revision older{comparison.oldName, comparison.old->design()};
    return report::ExportComparison(session.source(), older, newName, request, comparison.keepSame);
}

std::string comparisonStatus(const report::WrittenComparison& written) {
    return "Changes written: " + written.path + " (" + report::countsText(written.counts) + ")" +
           notShownNote(written.shown);
}

std::string comparisonSummary(const std::string& name, const report::ChangeCounts& counts) {
    return name + ": " + report::countsText(counts);
}

void writeEntry(Session& session, const report::ReportRequest& request,
                const Comparison* comparison, BatchEntry& entry) {
    try {
        if (comparison == nullptr) {
            entry.report = writeReport(session, request);
            return;
        }
        const report::WrittenComparison written = writeComparison(session, *comparison, request);
        entry.report.path = written.path;
        entry.report.shown = written.shown;
        entry.changes = written.counts;
    } catch (const std::exception& failure) {
        entry.failure = asError(failure);
    }
}

void reportAll(Session& session, const std::vector<std::string>& names,
               const report::ReportRequest& base,
               const std::function<void(const BatchEntry&)>& done, const Comparison* comparison) {
    const std::string path = session.dataFile(saved::selectionFileName);
    for (const std::string& name : names) {
        // Loaded anew for each: the file may have changed while the reports before were written.
        auto selection = saved::loadSelectionFromFile(path, name, saved::Reading::Lenient);
        if (!selection) {
            throw Error(errc::FileNotFound,
                        "Cannot read the saved selections from \"" + path + "\"");
        }
        BatchEntry entry{name, {}, {}, {}, {}};
        // Removed from the file since the names were read: no report of no columns.
        if (selection->sections == 0) {
            entry.failure = Error(errc::SelectionGone, "no saved selection named " + name);
            done(entry);
            continue;
        }
        entry.selection = std::move(selection);
        writeEntry(session, selectionRequest(*entry.selection, name, base), comparison, entry);
        done(entry);
    }
}

std::string batchFailureMessage(const std::vector<BatchEntry>& failed) {
    if (failed.empty()) {
        return {};
    }
    std::string text =
        "Mend what is said below of each saved selection, then run Load All again; the other "
        "reports were written.\n\nSome reports were not written:";
    for (const BatchEntry& entry : failed) {
        text += "\n" + entry.name + ": " + errorMessage(*entry.failure);
    }
    return text;
}

std::string reportStatus(const report::WrittenReport& report) {
    const std::string mixed = mixedRowsNote(report.mixed);
    return "Report written: " + report.path + " (" + counted(report.rows, "row", "rows") + ")" +
           (mixed.empty() ? "" : "; " + mixed) + notShownNote(report.shown);
}

std::string viewerNote(int exitStatus) {
    return exitStatus == 0 ? ""
                           : "; the viewer could not show it: xdg-open ended with status " +
                                 std::to_string(exitStatus);
}

std::string batchStatus(std::size_t written, std::size_t failed) {
    return "Load All: " + counted(written, "report", "reports") + " written, " +
           std::to_string(failed) + " failed";
}

std::vector<std::string> emptyColumnWarnings(Session& session,
                                             const std::vector<std::string>& columns) {
    std::vector<std::string> warnings;
    for (const std::string& column :
         report::columnsNoComponentCarries(*session.design(), columns)) {
        warnings.push_back("warning: no component carries the attribute \"" + column +
                           "\"; its column is empty");
    }
    return warnings;
}

std::vector<std::string> attributeNames(Session& session) {
    return design::harvestAttributeNames(*session.design());
}

Outcome failedOutcome(const Error& failure) {
    Outcome outcome;
    outcome.status = failureStatus(failure);
    // The user who gave up a call knows; the status line tells where the action ended.
    if (failure.number != errc::ToolCallAbandoned) {
        outcome.messages.push_back({Message::Kind::Critical, failureMessage(failure)});
    }
    outcome.failure = failure;
    return outcome;
}

namespace {

// The action's failure made its outcome, what it told before kept.
template <typename Result>
void fail(Result& result, const std::exception& failure) {
    Outcome failed = failedOutcome(asError(failure));
    result.status = std::move(failed.status);
    result.messages.insert(result.messages.begin(), failed.messages.begin(), failed.messages.end());
    result.failure = std::move(failed.failure);
}

// The columns no part of the open design carries, as the status line adds them.
std::string emptyColumnsNoteOf(Session& session, const std::vector<std::string>& columns) {
    return emptyColumnsNote(report::columnsNoComponentCarries(*session.design(), columns));
}

// A report of the lists or of a saved selection, with the columns no part carries.
void reportColumns(Session& session, const report::ReportRequest& request, Outcome& outcome) {
    const report::WrittenReport written = writeReport(session, request);
    outcome.status = reportStatus(written) + emptyColumnsNoteOf(session, request.columns);
    outcome.reports.push_back(written);
}

}  // namespace

Outcome createReport(Session& session, const report::ReportRequest& request) {
    Outcome outcome;
    if (lacksKey(request)) {
        outcome.status = missingKeyMessage;
        outcome.messages.push_back({Message::Kind::Warning, missingKeyMessage});
        outcome.keyMissing = true;
        return outcome;
    }
    try {
        reportColumns(session, request, outcome);
    } catch (const std::exception& failure) {
        fail(outcome, failure);
    }
    return outcome;
}

Outcome writePreviewReport(const Preview& preview) {
    Outcome outcome;
    try {
        const report::WrittenReport written = writePreview(preview);
        outcome.status = reportStatus(written) + emptyColumnsNote(preview.emptyColumns);
        outcome.reports.push_back(written);
    } catch (const std::exception& failure) {
        fail(outcome, failure);
    }
    return outcome;
}

ChoiceOutcome loadChoice(Session& session, const std::string& name,
                         const report::ReportRequest& base) {
    ChoiceOutcome outcome;
    try {
        auto selection = saved::loadSelectionFromFile(session.dataFile(saved::selectionFileName),
                                                      name, saved::Reading::MissingIsEmpty);
        // A name no saved selection carries, with or without their file, changes nothing and
        // writes nothing.
        if (selection->sections == 0) {
            outcome.status = unknownSelectionMessage(name);
            outcome.messages.push_back({Message::Kind::Warning, outcome.status});
            return outcome;
        }
        outcome.selection = std::move(selection);
        reportColumns(session, selectionRequest(*outcome.selection, name, base), outcome);
    } catch (const std::exception& failure) {
        fail(outcome, failure);
    }
    return outcome;
}

BatchOutcome loadAll(Session& session, const std::vector<std::string>& names,
                     const report::ReportRequest& base,
                     const std::function<void(const BatchEntry&)>& each) {
    BatchOutcome outcome;
    std::vector<BatchEntry> failed;
    try {
        std::vector<std::string> reported;  // the columns of every report written
        std::string mixed;                  // each report's merged rows of differing parts
        reportAll(session, names, base, [&](const BatchEntry& entry) {
            outcome.entries.push_back(entry);
            if (each) {
                each(entry);
            }
            if (entry.failure) {
                failed.push_back(entry);
            } else if (!entry.report.path.empty()) {
                outcome.reports.push_back(entry.report);
                reported.insert(reported.end(), entry.selection->columns.begin(),
                                entry.selection->columns.end());
                if (!entry.report.mixed.empty()) {
                    mixed += "; " + entry.name + ": " + mixedRowsNote(entry.report.mixed);
                }
            }
        });
        outcome.status = batchStatus(outcome.reports.size(), failed.size()) + mixed +
                         emptyColumnsNoteOf(session, reported);
    } catch (const std::exception& failure) {
        fail(outcome, failure);
    }
    if (!failed.empty()) {
        outcome.messages.push_back({Message::Kind::Critical, batchFailureMessage(failed)});
    }
    return outcome;
}

Outcome saveSelection(Session& session, const std::string& name,
                      const std::vector<std::string>& columns, bool compress,
                      const report::Keys& keys) {
    Outcome outcome;
    if (name.empty()) {
        outcome.status = "You need to give the report a name before saving it!";
        outcome.messages.push_back({Message::Kind::Warning, outcome.status});
        return outcome;
    }
    try {
        const int taken = saved::saveSelectionToFile(session.dataFile(saved::selectionFileName),
                                                     name, columns, compress, keys);
        outcome.status = taken > 0 ? "This Report Name already exists. Can not save as this name!"
                                   : "Selection \"" + name + "\" saved";
        // One message for each section that carries the name, as the program always told.
        for (int shown = 0; shown < taken; ++shown) {
            outcome.messages.push_back({Message::Kind::Warning, outcome.status});
        }
    } catch (const std::exception& failure) {
        fail(outcome, failure);
    }
    return outcome;
}

DeleteOutcome deleteChoice(Session& session, const std::string& name) {
    DeleteOutcome outcome;
    try {
        const std::string file = session.dataFile(saved::selectionFileName);
        const auto deletion = saved::deleteSelectionFromFile(file, name);
        if (!deletion) {
            // Nothing could be read, so nothing was changed.
            outcome.status =
                "No selection deleted: the saved selections cannot be read from \"" + file + "\"";
            return outcome;
        }
        outcome.names = deletion->names;
        outcome.status = deletion->sections > 0 ? "Selection \"" + name + "\" deleted"
                                                : unknownSelectionMessage(name);
    } catch (const std::exception& failure) {
        fail(outcome, failure);
    }
    return outcome;
}

DesignRead readDesign(Session& session, DesignLoad load, const report::Exclusion& exclusion,
                      const std::vector<std::string>& columns) {
    DesignRead read;
    read.attributeNames = attributeNames(session);
    read.status = designStatus(load, session, exclusion, read.attributeNames.size()) +
                  emptyColumnsNoteOf(session, columns);
    return read;
}

Outcome compareWith(Session& session, const std::string& older,
                    const report::ReportRequest& request) {
    Outcome outcome;
    try {
        const auto oldTool = openDesignFile(older, {});
        Session old(*oldTool);
        const report::WrittenComparison written =
            writeComparison(session, {&old, older, {}, false}, request);
        outcome.status = comparisonStatus(written);
        outcome.reports.push_back({written.path, 0, {}, written.shown});
    } catch (const std::exception& failure) {
        fail(outcome, failure);
    }
    return outcome;
}

}  // namespace vexlo::operations
