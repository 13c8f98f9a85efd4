// The client in a process whose session bus cannot be reached.
#include <gtest/gtest.h>

#include <cstdlib>

#include "common/error.h"
#include "design/dbus/toolclient.h"

namespace vexlo::design::dbus {
namespace {

TEST(ToolClientWithoutBus, ReportsTheMissingBus) {
    // Before anything touches the bus: the connection is made once per process.
    ::setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/vexlo-test-bus", 1);
    EXPECT_FALSE(toolIsRunning());
    try {
        connectToTool();
        FAIL() << "no error";
    } catch (const Error& error) {
        EXPECT_EQ(error.number, errc::NoSessionBus);
        EXPECT_EQ(error.description.rfind(
                      "There is no D-Bus session bus to find the schematic tool on: ", 0),
                  0u)
            << error.description;
    }
}

}  // namespace
}  // namespace vexlo::design::dbus
