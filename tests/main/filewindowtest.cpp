// `vexlo FILE` on what is no design, and -h (the window on design files and the arguments the
// program takes: the window script, window.txt).
#include <gtest/gtest.h>

#include <QApplication>
#include <algorithm>

#include "main/application.h"
#include "main/vexlo.h"
#include "qtsupport.h"
#include "testsupport.h"

namespace vexlo {
namespace {

// vexlo FILE: a file that is no design is told, and no window opens; -h asks for help (the
// arguments the program takes: the window script).
TEST(DesignFileApplication, RefusesWhatIsNoDesign) {
    const test::TempDir dir;
    test::writeFile(dir.file("notes.txt"), "to do\n");
    const auto noTool = []() -> std::unique_ptr<design::SchematicTool> {
        throw Error(errc::ToolNotRunning, "not running");
    };
    const std::string told = test::messageOf([&] {
        EXPECT_EQ(runApplication(noTool, {dir.file("notes.txt"), ""}), exitUsage);
    });
    EXPECT_EQ(told.substr(told.find("\n\n") + 2, dir.path().size()), dir.path());
    EXPECT_TRUE(std::ranges::none_of(QApplication::topLevelWidgets(), [](QWidget* window) {
        return qobject_cast<Vexlo*>(window) != nullptr && window->isVisible();
    }));

    char program[] = "vexlo";
    char help[] = "-h";
    char* argv[] = {program, help};
    EXPECT_TRUE(helpAsked(2, argv));
    EXPECT_FALSE(helpAsked(1, argv));
}

}  // namespace
}  // namespace vexlo
