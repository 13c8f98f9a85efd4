#pragma once

#include <functional>
#include <memory>
#include <string>

#include "design/flatdesign.h"

namespace vexlo::design {

// How a front end waits for a call to the tool that is not answered at once: a window works its
// events meanwhile, so that it repaints and the user can give up.
class CallWait {
public:
    virtual ~CallWait() = default;
    // Returns once `answered` says the answer came (true), or when the user gave up (false).
    virtual bool wait(const std::function<bool()>& answered) = 0;
};

// The running schematic tool as the program sees it. Every member may throw vexlo::Error:
// the tool can close at any time.
class SchematicTool {
public:
    virtual ~SchematicTool() = default;

    // Calls not answered at once wait through `wait` from now on (by default, and without one,
    // they block); a call given up throws Error ToolCallAbandoned, and so does every later call
    // to this object, which serves one action. A tool answering from memory never waits.
    virtual void waitWith(CallWait* wait) { (void)wait; }

    // Project directory, ending with a path separator.
    virtual std::string CurrentProject() = 0;
    // ActiveView, then Document, then Name.
    virtual std::string ActiveViewDocumentName() = 0;
    // ActiveDocument, then Path: the document's directory, ending with a separator.
    virtual std::string ActiveDocumentPath() = 0;
    // D, the name the design's reports and LoadGroup go by: by the naming rules of
    // design/toolnames.h from ActiveViewDocumentName. A name too short throws BadDesignName.
    // A tool over a design file that names it gives it as it is.
    virtual std::string DesignName();
    // F, the folder the reports go in, ending with "/": by the naming rules from
    // ActiveDocumentPath, or as a design file names it.
    virtual std::string OutputFolder();
    // NorrendoSession, LoadGroup with the design name, then Flatten.
    virtual std::shared_ptr<const FlattenedDesign> LoadGroupFlatten(
        const std::string& designName) = 0;
};

// Attaches to the running tool; throws Error ToolNotRunning when none runs.
using ToolConnector = std::function<std::unique_ptr<SchematicTool>()>;

}  // namespace vexlo::design
