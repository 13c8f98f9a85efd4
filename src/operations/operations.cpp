#include "operations/operations.h"

#include "options/settingsfile.h"
#include "report/dispatch.h"

namespace vexlo::operations {

void loadSettings(Session& session, options::Settings& fields) {
    options::SetOptions(session.dataFile(options::settingsFileName), fields);
}

std::optional<std::vector<std::string>> listSelections(Session& session) {
    return saved::readSelectionNames(session.dataFile(saved::selectionFileName));
}

std::optional<saved::LoadedSelection> loadChoice(Session& session, const std::string& name) {
    return saved::loadSelectionFromFile(session.dataFile(saved::selectionFileName), name);
}

std::vector<std::string> columnList(std::vector<std::string> columns, bool compress) {
    if (compress) {
        columns.emplace_back("QTY");
    }
    return columns;
}

bool lacksKey(const report::ReportRequest& request) {
    return request.compress == 1 && request.key.empty();
}

report::ReportRequest selectionRequest(const saved::LoadedSelection& selection,
                                       const std::string& name, report::ReportRequest base) {
    base.columns = selection.columns;
    base.compress = selection.compress ? 1 : 0;
    base.key = selection.key;
    base.choiceSuffix = "_" + name;
    return base;
}

std::string writeReport(Session& session, const report::ReportRequest& request) {
    report::checkFormat(request.settings.Export_File_Format);
    const double fetchedBefore = session.fetchSeconds();
    const report::ReportSource& source = session.source();
    if (request.timings != nullptr) {
        request.timings->fetchSeconds += session.fetchSeconds() - fetchedBefore;
    }
    return report::ExporttoExcel(source, request);
}

void reportAll(Session& session, const std::vector<std::string>& names,
               const report::ReportRequest& base,
               const std::function<void(const BatchEntry&)>& done) {
    const std::string path = session.dataFile(saved::selectionFileName);
    for (const std::string& name : names) {
        const auto selection = saved::loadSelectionFromFile(path, name);
        if (!selection) {
            throw Error(errc::FileNotFound,
                        "Cannot read the saved selections from \"" + path + "\"");
        }
        BatchEntry entry{name, &*selection, {}, {}};
        try {
            entry.path = writeReport(session, selectionRequest(*selection, name, base));
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
    std::string text = "Some reports were not written:";
    for (const BatchEntry& entry : failed) {
        text += "\n" + entry.name + ": " + errorMessage(*entry.failure);
    }
    return text;
}

}  // namespace vexlo::operations
