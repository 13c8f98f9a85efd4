#pragma once

#include <memory>
#include <optional>
#include <string>

#include "common/error.h"
#include "design/schematictool.h"
#include "report/run/reportsource.h"

namespace vexlo::operations {

// One user action's view of the running schematic tool: the run coordinator. Each thing is asked
// of the tool once, when it is first needed, and kept for the rest of the action, so that
// nothing below it holds a connection: the project folder (for the data files), and the names
// and the flattened design (for the reports). A fetch that failed fails again without asking.
class Session final {
public:
    explicit Session(design::SchematicTool& tool) : tool_(tool) {}
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Where the data file of that name is read and written (the locator).
    std::string dataFile(const std::string& fileName);
    // The tool's project folder.
    const std::string& projectFolder();
    // D: the active view's document name less its last two characters.
    const std::string& designName();
    // The flattened design of the active view's document.
    std::shared_ptr<const design::FlattenedDesign> design();
    // D, P, F and the flattened design. A document name under two characters or a document path
    // under four fail before the design is loaded.
    const report::ReportSource& source();
    // Seconds the fetch of the design took, 0 before it.
    double fetchSeconds() const noexcept { return fetchSeconds_; }

private:
    design::SchematicTool& tool_;
    std::optional<std::string> project_;
    std::optional<report::ReportSource> source_;
    std::optional<Error> sourceFailure_;
    std::string designName_;
    std::shared_ptr<const design::FlattenedDesign> design_;
    double fetchSeconds_ = 0;
};

}  // namespace vexlo::operations
