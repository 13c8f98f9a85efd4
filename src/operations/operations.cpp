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
    int number;
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
    {7, "Close other programs, or report the design in smaller parts, then try again."},
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
    return adviceFor(failure) + "\n\n" + failure.description + "\n\n(Error " +
           std::to_string(failure.number) + ")";
}

std::string attachFailureMessage(const Error& failure) {
    // The message the program always gave for a missing tool, then what else can be done.
    return (failure.number == errc::ToolNotRunning ? std::string(toolNotRunningMessage) + "\n\n"
                                                   : std::string()) +
           failureMessage(failure);
}

std::string failureStatus(const Error& failure) {
    return failure.number == errc::ToolCallAbandoned ? failure.description : errorMessage(failure);
}

void loadSettings(Session& session, settings::Settings& fields) {
    settings::SetOptions(session.dataFile(settings::settingsFileName), fields);
}

std::optional<std::vector<std::string>> listSelections(Session& session) {
    return saved::readSelectionNames(session.dataFile(saved::selectionFileName));
}

std::string unknownSelectionMessage(const std::string& name) {
    return "There is no saved selection named " + name + ".";
}

std::optional<saved::LoadedSelection> choiceToLoad(Session& session, const std::string& name) {
    const std::string path = session.dataFile(saved::selectionFileName);
    TextLines read = readTextLines(path);
    if (!read.opened && read.errorNumber == ENOENT) {
        return std::nullopt;
    }
    if (!read.opened || !read.complete) {
        read.lines = readTextLinesOrThrow(path);  // throws with the reason
    }
    if (saved::sectionCount(read.lines, name) == 0) {
        return std::nullopt;
    }
    return saved::loadSelection(read.lines, name);
}

int saveSelection(Session& session, const std::string& name,
                  const std::vector<std::string>& columns, bool compress,
                  const report::Keys& keys) {
    return saved::saveSelectionToFile(session.dataFile(saved::selectionFileName), name, columns,
                                      compress, keys);
}

std::optional<std::vector<std::string>> deleteSelection(Session& session, const std::string& name) {
    return saved::deleteSelectionFromFile(session.dataFile(saved::selectionFileName), name);
}

std::vector<std::string> attributeNames(Session& session) {
    return design::harvestAttributeNames(*session.design());
}

std::string designStatus(DesignLoad load, Session& session, const settings::Settings& settings,
                         std::size_t attributeNames) {
    report::TableRules rules;
    rules.exclusion = report::exclusionOf(settings.Exclude_Attribute, settings.Exclude_Values);
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

std::vector<std::string> emptyColumns(Session& session, const std::vector<std::string>& columns) {
    return report::columnsNoComponentCarries(*session.design(), columns);
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
    preview.emptyColumns = emptyColumns(session, request.columns);
    return preview;
}

report::WrittenReport writePreview(const Preview& preview) {
    report::WrittenReport written =
        report::writeTable(preview.table, preview.request, preview.path);
    written.mixed = preview.mixed;
    return written;
}

std::vector<std::string> readSelectionLines(Session& session) {
    return readTextLinesOrThrow(session.dataFile(saved::selectionFileName));
}

std::vector<std::string> selectionNames(Session& session) {
    return saved::selectionNames(readSelectionLines(session));
}

std::optional<saved::LoadedSelection> findSelection(Session& session, const std::string& name) {
    const std::vector<std::string> lines = readSelectionLines(session);
    if (saved::sectionCount(lines, name) == 0) {
        return std::nullopt;
    }
    return saved::loadSelection(lines, name);
}

std::string selectionFile(Session& session) {
    return session.dataFile(saved::selectionFileName);
}

std::string formatName(int format) {
    const report::Writer* writer = report::writerOf(static_cast<report::Format>(format));
    return writer != nullptr ? std::string(writer->name()) : "";
}

std::unique_ptr<design::SchematicTool> openDesignFile(const std::string& path,
                                                      const std::string& variant) {
    try {
        return std::make_unique<designfile::DesignFileTool>(
            designfile::readDesignFile(path, {variant}));
    } catch (const designfile::DesignError& failure) {
        throw BadDesign(failure.what());
    }
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

bool hasSelectionFile(Session& session) {
    return fileExists(selectionFile(session));
}

std::vector<std::string> columnList(std::vector<std::string> columns, bool compress) {
    if (compress) {
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

report::WrittenComparison writeComparison(Session& session, Session& old,
                                          const std::string& oldName, const std::string& newName,
                                          const report::ReportRequest& request, bool keepSame) {
    report::checkRequest(request);
    const report::Revision older{oldName, old.design()};
    return report::ExportComparison(session.source(), older, newName, request, keepSame);
}

std::string comparisonStatus(const report::WrittenComparison& written) {
    return "Changes written: " + written.path + " (" + report::countsText(written.counts) + ")" +
           notShownNote(written.shown);
}

std::string comparisonSummary(const std::string& name, const report::ChangeCounts& counts) {
    return name + ": " + report::countsText(counts);
}

void reportAll(Session& session, const std::vector<std::string>& names,
               const report::ReportRequest& base,
               const std::function<void(const BatchEntry&)>& done, const BatchWriter& write) {
    const std::string path = session.dataFile(saved::selectionFileName);
    for (const std::string& name : names) {
        const TextLines read = readTextLines(path);
        if (!read.opened || !read.complete) {
            throw Error(errc::FileNotFound,
                        "Cannot read the saved selections from \"" + path + "\"");
        }
        BatchEntry entry{name, nullptr, {}, {}, {}};
        // Removed from the file since the names were read: no report of no columns.
        if (saved::sectionCount(read.lines, name) == 0) {
            entry.failure = Error(errc::SelectionGone, "no saved selection named " + name);
            done(entry);
            continue;
        }
        const saved::LoadedSelection selection = saved::loadSelection(read.lines, name);
        entry.selection = &selection;
        try {
            const report::ReportRequest request = selectionRequest(selection, name, base);
            if (write) {
                write(request, entry);
            } else {
                entry.report = writeReport(session, request);
            }
        } catch (const std::exception& failure) {
            entry.failure = asError(failure);
        }
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

}  // namespace vexlo::operations
