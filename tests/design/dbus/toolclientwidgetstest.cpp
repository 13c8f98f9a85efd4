// The client inside a widget program: a QApplication exists (the QT test main makes one).
#include <gtest/gtest.h>

#include "design/dbus/toolclient.h"
#include "simulator.h"

namespace vexlo::design::dbus {
namespace {

const auto* const privateBus = ::testing::AddGlobalTestEnvironment(new test::PrivateBusEnvironment);

TEST(ToolClientInWidgetProgram, ServesTheSampleBoard) {
    test::TempDir root;
    const test::RunningSimulator simulator({"--root", root.path()});
    ASSERT_TRUE(toolIsRunning());
    const auto tool = connectToTool();
    EXPECT_EQ(tool->CurrentProject(), root.path() + "/sample-board/");
    EXPECT_EQ(openFlattenedDesign(*tool)->Count(), 61);
}

}  // namespace
}  // namespace vexlo::design::dbus
