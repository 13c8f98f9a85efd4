// `vexlo FILE` on what is no design, and the arguments the program takes (the window on design
// files: the window script, window.txt).
#include <gtest/gtest.h>

#include <QApplication>
#include <algorithm>

#include "main/application.h"
#include "main/vexlo.h"
#include "qtsupport.h"
#include "testsupport.h"

namespace vexlo {
namespace {

// vexlo FILE: a file that is no design is told, and no window opens; the arguments the program
// takes, and those it refuses.
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

    using Arguments = std::vector<std::string>;
    const auto parsed = [](const Arguments& arguments) {
        try {
            const StartOptions start = parseStartArguments(arguments);
            return start.design + "|" + start.variant;
        } catch (const Error& usage) {
            return std::string(usage.what());
        }
    };
    EXPECT_EQ(parsed({}), "|");
    EXPECT_EQ(parsed({"amp.kicad_pro"}), "amp.kicad_pro|");
    EXPECT_EQ(parsed({"--variant", "Lite", "amp.kicad_pro"}), "amp.kicad_pro|Lite");
    EXPECT_EQ(parsed({"-"}), "-|");
    EXPECT_EQ(parsed({"--variant", "Lite"}), "option --variant needs a design FILE");
    EXPECT_EQ(parsed({"amp.kicad_pro", "--variant"}), "option --variant needs a variant name");
    EXPECT_EQ(parsed({"amp.kicad_pro", "--variant", ""}), "option --variant needs a variant name");
    EXPECT_EQ(parsed({"--open", "amp.kicad_pro"}), "unknown option \"--open\"");
    EXPECT_EQ(parsed({"a.kicad_pro", "b.kicad_pro"}),
              "one design file at a time, not also \"b.kicad_pro\"");
    EXPECT_EQ(parsed({""}), "an empty design file name");
    char program[] = "vexlo";
    char help[] = "-h";
    char* argv[] = {program, help};
    EXPECT_TRUE(helpAsked(2, argv));
    EXPECT_FALSE(helpAsked(1, argv));
}

}  // namespace
}  // namespace vexlo
