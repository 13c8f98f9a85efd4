#pragma once

#include <string>
#include <vector>

#include "operations/session.h"

namespace vexlo {

// What `vexlo --help` prints.
extern const char* const helpText;

// Whether --help or -h is among the arguments; checked before anything starts, so that it needs
// no display and no bus.
bool helpAsked(int argc, char* argv[]);

// What the window starts on: a design file and its variant, or (no file) the running tool.
struct StartOptions {
    std::string design;
    std::string variant;
};

// vexlo's own arguments, once Qt has taken out its own: [--variant NAME] [FILE]. A command line
// the program does not take throws Error BadCommandLine saying what is wrong with it.
StartOptions parseStartArguments(const std::vector<std::string>& arguments);

// Exit status of a usage error or of a design file that cannot be read.
constexpr int exitUsage = 2;

// The program's run once its QApplication exists: names the application and its icon for the
// desktop, opens the main window on the design file, or attaches it to the schematic tool, and
// shows it until it is closed. The event loop's result; 0 at once when the tool is not running,
// exitUsage when the file cannot be read as a design (the user has been told either way).
int runApplication(design::ToolConnector connector, const StartOptions& start = {});

}  // namespace vexlo
