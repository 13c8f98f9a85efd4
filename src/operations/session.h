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
    explicit Session(design::SchematicTool& tool) : tool_(&tool) {}
    // Attaches to the tool through the connector when the tool is first asked something, so
    // that an action refused before it needs the tool asks nothing.
    explicit Session(design::ToolConnector connect) : connect_(std::move(connect)) {}
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Where the data file of that name is read and written (the locator).
    std::string dataFile(const std::string& fileName);
    // The tool's project folder.
    const std::string& projectFolder();
    // D: the tool's design name.
    const std::string& designName();
    // The flattened design of the active view's document.
    std::shared_ptr<const design::FlattenedDesign> design();
    // D, F and the flattened design. A design name or an output folder the tool cannot give
    // fails before the design is loaded.
    const report::ReportSource& source();
    // Seconds the fetch of the design took, 0 before it.
    double fetchSeconds() const noexcept { return fetchSeconds_; }

    // Whether the tool was attached to (always, for a session made on a tool).
    bool attached() const noexcept { return tool_ != nullptr; }
    // The tool, attached to now when it was not yet.
    design::SchematicTool& tool();

private:
    design::ToolConnector connect_;
    std::unique_ptr<design::SchematicTool> owned_;
    design::SchematicTool* tool_ = nullptr;
    std::optional<std::string> project_;
    std::optional<report::ReportSource> source_;
    std::optional<Error> sourceFailure_;
    std::string designName_;
    std::shared_ptr<const design::FlattenedDesign> design_;
    double fetchSeconds_ = 0;
};

}  // namespace vexlo::operations
