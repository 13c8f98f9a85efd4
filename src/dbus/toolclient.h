#pragma once

#include <memory>

#include "design/schematictool.h"

// The running schematic tool reached over the D-Bus session bus.
//
// Calls block without processing events (no event loop is needed), so the client serves a
// widget program and a command line program alike. Creating a QCoreApplication (or
// QApplication) before the first call is recommended but not required. The session bus is the
// one DBUS_SESSION_BUS_ADDRESS names when the process first touches it; later changes of the
// variable are not seen.
namespace vexlo::dbus {

// How long a call waits for the tool's answer, in milliseconds: 120 seconds, long enough for the
// tool to flatten a design of a few hundred thousand components, or the whole seconds from 1 to
// 3600 that VEXLO_TOOL_TIMEOUT gives.
int callTimeoutMs();

// Attaches to the running tool; throws Error ToolNotRunning when nothing owns its name, and
// NoSessionBus when there is no session bus to look on. The tool is never started. The object
// answers each member with one call; the flattened design arrives in one piece and is answered from
// memory.
std::unique_ptr<design::SchematicTool> connectToTool();

}  // namespace vexlo::dbus
