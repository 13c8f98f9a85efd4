#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/error.h"
#include "operations/session.h"
#include "report/compare/compare.h"
#include "report/options/request.h"
#include "report/run/dispatch.h"
#include "saved/selectionfile.h"
#include "settings/settings.h"

// What the window and vexlo-report both do, on one session with the schematic tool. The front
// ends only turn widgets or arguments into these calls and their results into message boxes or
// lines on a terminal.
namespace vexlo::operations {

// The message when no schematic tool runs.
inline constexpr const char* toolNotRunningMessage =
    "You need to have Trelmo Schemora Open to run this program!";

// The message when there is no session bus to find the schematic tool on.
inline constexpr const char* noSessionBusMessage =
    "There is no D-Bus session bus (DBUS_SESSION_BUS_ADDRESS is unset or cannot be reached), so "
    "the schematic tool cannot be found";

// Create Report's message when compressing without a key.
inline constexpr const char* missingKeyMessage =
    "You have selected to Compress Report, you must select a Key. Select the key in the Attribute "
    "Selected list and select the 'Select Part Number' button";

// What to do about a failure, in a sentence or two that begin its message box.
std::string adviceFor(const Error& failure);

// A message box's text for a failure: what to do first, then what failed, its number last for
// reference: "ADVICE\n\nDESCRIPTION\n\n(Error N)".
std::string failureMessage(const Error& failure);

// What a status line says of a failure: "Error N: description", or the description alone for a
// call the user gave up.
std::string failureStatus(const Error& failure);

// What the window says when it cannot attach to the schematic tool at start-up: for a tool that
// is not running, toolNotRunningMessage, then its failureMessage.
std::string attachFailureMessage(const Error& failure);

// The status line while a call to the schematic tool has not been answered yet.
inline constexpr const char* waitingForToolMessage =
    "Waiting for the schematic tool... (Esc gives up)";

// The option fields from the settings file over the fields as they stand (the defaults when
// there is no file).
void loadSettings(Session& session, settings::Settings& fields);

// What Load Choices says of a name no section carries.
std::string unknownSelectionMessage(const std::string& name);

// What loaded the open design: Load Design Attributes (or F5 before it), F5, or opening a
// design file.
enum class DesignLoad { Read, ReadAgain, Opened };

// What the status line says after a load: the design, its project folder and its parts in the
// BOM (one a designator, less the parts `exclusion` leaves out), then, but for Opened, the
// attribute names: "Design read: amp in /home/ann/amp/, 42 parts in the BOM, 57 attribute names",
// "Design read again: ...", "Design opened: amp in /home/ann/amp/, 42 parts in the BOM".
std::string designStatus(DesignLoad load, Session& session, const report::Exclusion& exclusion,
                         std::size_t attributeNames);

// What the status line says when a file of the open design changed on disk.
inline constexpr const char* designChangedMessage = "The design changed on disk: F5 reads it again";

// What a status line adds for such columns, each named once: "" for none, else `; no part
// carries "A": its column is empty` or `; no part carries "A", "B": their columns are empty`.
std::string emptyColumnsNote(const std::vector<std::string>& columns);

// What a status line or a terminal says of a report's merged rows that join parts that differ:
// "" for none, else `1 merged row joins parts that differ: 4,7K: Footprint differs (R11, R21 |
// RV1, RV2); add Footprint to the key`, the first few rows described, the others counted.
std::string mixedRowsNote(const std::vector<report::MixedRow>& mixed);

// A report as the preview shows it: the table its file would hold and where the file would go.
struct Preview {
    std::shared_ptr<const design::FlattenedDesign> design;  // the texts the table views
    report::ReportTable table;
    std::string path;
    std::vector<std::string> emptyColumns;
    std::vector<report::MixedRow> mixed;  // the merged rows that join parts that differ
    report::ReportRequest request;        // what the preview was made for
};

// The preview of a request: the report's run without writing anything. A format without a
// writer fails before the design is fetched.
Preview previewReport(Session& session, const report::ReportRequest& request);

// The preview's table written as its report, to its path, and shown as its request asks: the
// report as the preview shows it, even if the design has changed since.
report::WrittenReport writePreview(const Preview& preview);

// The name of an output format's item in the Options window ("CSV"); "" for a format without a
// writer.
std::string formatName(int format);

// The schematic tool played in process over a design file (vexlo-report --design), the variant
// chosen when not empty. A file that cannot be read as a design throws Error BadDesignFile with
// the reader's message.
std::unique_ptr<design::SchematicTool> openDesignFile(const std::string& path,
                                                      const std::string& variant);

// The bill of materials vexlo-report --bom writes whatever the project holds (KiCad's Generate
// BOM dialog runs it on a project that has no saved selection yet): the designators, value,
// footprint, do-not-populate mark and quantity, grouped by value, footprint and the mark, the
// designators in natural order with ranges unless the base's order was chosen (keepOrder).
report::ReportRequest defaultBomRequest(report::ReportRequest base, bool keepOrder);

// A column list as the Compress box leaves it: "QTY" appended when compressing, unless the list
// names it already (one quantity column, where the list puts it: a second would count 1 a row).
std::vector<std::string> columnList(std::vector<std::string> columns, bool compress);

// Create Report's guard: compressing needs a key.
bool lacksKey(const report::ReportRequest& request);

// The request that reports a loaded selection under "_" + its name, with the base's options.
report::ReportRequest selectionRequest(const saved::LoadedSelection& selection,
                                       const std::string& name, report::ReportRequest base);

// One report of the open design: its path and rows. A format without a writer fails before the
// design is fetched. The session's design fetch is counted in the request's timings.
report::WrittenReport writeReport(Session& session, const report::ReportRequest& request);

// An older revision to compare the open design with, instead of writing its reports.
struct Comparison {
    Session* old = nullptr;  // the older revision's session
    std::string oldName;     // its name in the title: its file
    std::string newName;     // the open design's name in the title; "": the design's name
    bool keepSame = false;   // keep the rows that did not change, marked "same"
};

// The comparison of the older revision with the open design, written for the request as
// report::ExportComparison writes it. A format without a writer fails before the older design
// is fetched (and before the open one when the comparison names it).
report::WrittenComparison writeComparison(Session& session, const Comparison& comparison,
                                          const report::ReportRequest& request);

// What the window's status line says of a written comparison:
// "Changes written: PATH (2 added, 1 removed, 3 changed)", with the note of reportStatus.
std::string comparisonStatus(const report::WrittenComparison& written);

// What a status line or a terminal says of a comparison: "NAME: 2 added, 1 removed, 3 changed".
std::string comparisonSummary(const std::string& name, const report::ChangeCounts& counts);

// One part of a run: a selection's or the lists' report, or what changed, or why it was not
// written.
struct BatchEntry {
    std::string name;  // the saved selection's; "" for the lists' report
    std::optional<saved::LoadedSelection> selection;  // none: gone from the file by its turn
    report::WrittenReport report;  // a comparison's path and viewer, when comparing
    std::optional<Error> failure;
    std::optional<report::ChangeCounts> changes;  // a comparison's
};

// Writes the request's report into the entry, or with a comparison what changed; a failure is
// kept in the entry.
void writeEntry(Session& session, const report::ReportRequest& request,
                const Comparison* comparison, BatchEntry& entry);

// Load All: for each name in order, the selection is loaded anew from the file and its report
// written under "_" + the name, with the base's options; the design is fetched once for all.
// One report's failure does not stop the others; a name no longer in the file by its turn
// fails with SelectionGone; a file that cannot be read stops the batch with FileNotFound. done
// hears of each report as it ends. With a comparison, what changed is written instead of each
// report.
void reportAll(Session& session, const std::vector<std::string>& names,
               const report::ReportRequest& base,
               const std::function<void(const BatchEntry&)>& done,
               const Comparison* comparison = nullptr);

// The one message that tells a batch's failures, what to do first, or "" when there were none.
std::string batchFailureMessage(const std::vector<BatchEntry>& failed);

// What the window's status line says after a report: "Report written: PATH (N rows)", then
// mixedRowsNote after "; " when a merged row joins parts that differ, and when no viewer could
// be started to show it, "; no viewer could be started: xdg-open is not on PATH".
std::string reportStatus(const report::WrittenReport& report);

// What the status line adds once the viewer of a report has ended: "" when it showed it, else
// "; the viewer could not show it: xdg-open ended with status N".
std::string viewerNote(int exitStatus);

// What it says after "Load All": "Load All: N reports written, M failed".
std::string batchStatus(std::size_t written, std::size_t failed);

// What vexlo-report says on standard error of each column no part of the open design carries,
// in column order: `warning: no component carries the attribute "A"; its column is empty`. The
// window tells the same in its status line's words (emptyColumnsNote); the command line keeps
// its own.
std::vector<std::string> emptyColumnWarnings(Session& session,
                                             const std::vector<std::string>& columns);

// The attribute names of the open design, in the order the lists show them.
std::vector<std::string> attributeNames(Session& session);

// --- The window's actions: each returns what it did, for the window to show ---

// A message box: Warning for a refusal of what the user asked, Critical for a failure.
struct Message {
    enum class Kind { Warning, Critical };
    Kind kind = Kind::Warning;
    std::string text;
    bool operator==(const Message&) const = default;
};

// What an action did: the status line's text, the message boxes in the order shown, the
// reports written (each with its viewer), and what stopped it.
struct Outcome {
    std::string status;
    std::vector<Message> messages;
    std::vector<report::WrittenReport> reports;
    std::optional<Error> failure;  // told in status and messages already
    bool keyMissing = false;       // refused: compressing without a key
};

// The outcome of an action that failed: the status line says failureStatus, and a message box
// failureMessage unless the user gave the call up.
Outcome failedOutcome(const Error& failure);

// Create Report: the lists' report, and the columns no part carries. Refused, with nothing
// asked of the tool, when compressing without a key.
Outcome createReport(Session& session, const report::ReportRequest& request);

// The Preview's Write Report: the table it shows written, told as Create Report tells its
// report.
Outcome writePreviewReport(const Preview& preview);

// Load Choices' outcome, and the selection the lists then show.
struct ChoiceOutcome : Outcome {
    std::optional<saved::LoadedSelection> selection;
};

// Load Choices: the saved selection of that name, read strictly (a missing file holds no
// selection), reported with the base's options. A name no section carries changes nothing and
// writes nothing: a Warning says so. A failure of the report leaves the selection shown.
ChoiceOutcome loadChoice(Session& session, const std::string& name,
                         const report::ReportRequest& base);

// Load All's outcome: every entry in order, with its selection; the lists then show the last
// selection loaded.
struct BatchOutcome : Outcome {
    std::vector<BatchEntry> entries;
};

// Load All over the names: reportAll, its status line with each report's merged rows that join
// parts that differ and the columns no part carries, and one Critical message for the reports
// that failed. each hears of every entry as it ends, to show its selection.
BatchOutcome loadAll(Session& session, const std::vector<std::string>& names,
                     const report::ReportRequest& base,
                     const std::function<void(const BatchEntry&)>& each = {});

// Save Selection: refused (a Warning, nothing asked of the tool) without a name; a name that is
// taken leaves the file as it was, with a Warning for each section that carries it.
Outcome saveSelection(Session& session, const std::string& name,
                      const std::vector<std::string>& columns, bool compress,
                      const report::Keys& keys);

// Delete Choice's outcome: the names left to show; none when the file could not be read, which
// then was not changed.
struct DeleteOutcome : Outcome {
    std::optional<std::vector<std::string>> names;
};

DeleteOutcome deleteChoice(Session& session, const std::string& name);

// What reading the design gives the window: its attribute names in list order, and the status
// line, which adds the columns shown that no part carries.
struct DesignRead {
    std::vector<std::string> attributeNames;
    std::string status;
};

DesignRead readDesign(Session& session, DesignLoad load, const report::Exclusion& exclusion,
                      const std::vector<std::string>& columns);

// Compare With an Older Revision: what changed from the design file `older` to the open
// design, for the lists as they stand.
Outcome compareWith(Session& session, const std::string& older,
                    const report::ReportRequest& request);

}  // namespace vexlo::operations
