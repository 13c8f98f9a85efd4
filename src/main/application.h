#pragma once

#include "operations/session.h"

namespace vexlo {

// The program's run once its QApplication exists: names the application and its icon for the
// desktop, attaches the main window to the schematic tool and shows it until it is closed. The
// event loop's result; 0 at once when the tool is not running (the user has been told).
int runApplication(design::ToolConnector connector);

}  // namespace vexlo
