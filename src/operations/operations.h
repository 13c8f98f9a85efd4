#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/error.h"
#include "operations/session.h"
#include "options/settings.h"
#include "report/request.h"
#include "saved/selectionfile.h"

// What the window and vexlo-report both do, on one session with the schematic tool. The front
// ends only turn widgets or arguments into these calls and their results into message boxes or
// lines on a terminal.
namespace vexlo::operations {

// The message when no schematic tool runs.
inline constexpr const char* toolNotRunningMessage =
    "You need to have Trelmo Schemora Open to run this program!";

// Create Report's message when compressing without a key.
inline constexpr const char* missingKeyMessage =
    "You have selected to Compress Report, you must select a Key. Select the key in the Attribute "
    "Selected list and select the 'Add Key' button";

// The option fields from the settings file over the fields as they stand (the defaults when
// there is no file).
void loadSettings(Session& session, options::Settings& fields);

// The saved selections' names in file order; nullopt when the file cannot be read.
std::optional<std::vector<std::string>> listSelections(Session& session);

// The saved selection of that name as a load puts it into the lists; nullopt when the file
// cannot be read.
std::optional<saved::LoadedSelection> loadChoice(Session& session, const std::string& name);

// A column list as the Compress box leaves it: "QTY" appended when compressing.
std::vector<std::string> columnList(std::vector<std::string> columns, bool compress);

// Create Report's guard: compressing needs a key.
bool lacksKey(const report::ReportRequest& request);

// The request that reports a loaded selection under "_" + its name, with the base's options.
report::ReportRequest selectionRequest(const saved::LoadedSelection& selection,
                                       const std::string& name, report::ReportRequest base);

// One report of the open design, its path returned. A format without a writer fails before the
// design is fetched. The session's design fetch is counted in the request's timings.
std::string writeReport(Session& session, const report::ReportRequest& request);

// One selection's part in a batch: the report's path, or why it was not written.
struct BatchEntry {
    std::string name;
    const saved::LoadedSelection* selection = nullptr;
    std::string path;
    std::optional<Error> failure;
};

// Load All: for each name in order, the selection is loaded anew from the file and its report
// written under "_" + the name, with the base's options; the design is fetched once for all.
// One report's failure does not stop the others; a file that cannot be read stops the batch
// with FileNotFound. done hears of each report as it ends.
void reportAll(Session& session, const std::vector<std::string>& names,
               const report::ReportRequest& base,
               const std::function<void(const BatchEntry&)>& done);

// The one message that tells a batch's failures, or "" when there were none.
std::string batchFailureMessage(const std::vector<BatchEntry>& failed);

}  // namespace vexlo::operations
