// The window on KiCad designs served by the real simulator on a private bus, worked as a user
// works it: its reports are byte for byte those vexlo-report writes reading the same design file
// without a bus.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <sstream>

#include "cli/commandline.h"
#include "dbus/toolclient.h"
#include "main/vexlo.h"
#include "selection/droplist.h"
#include "simulator.h"
#include "testsupport.h"

namespace vexlo {
namespace {

namespace fs = std::filesystem;

const auto* const privateBus = ::testing::AddGlobalTestEnvironment(new test::PrivateBusEnvironment);

// The window's report of every attribute, compressed by Value, in the format the settings name.
std::string windowReport(const std::string& project, const std::string& report) {
    test::RunningSimulator simulator({project});
    const test::ViewerRecorder viewer;
    Vexlo window(&design::dbus::connectToTool);
    window.showMessage = [](const QString& text) { ADD_FAILURE() << text.toStdString(); };
    EXPECT_TRUE(window.Form_Load());
    window.show();
    QTest::mouseClick(window.btnLoad, Qt::LeftButton);
    QTest::mouseClick(window.btnAddAll, Qt::LeftButton);
    QTest::mouseClick(window.chkCompress, Qt::LeftButton);
    const auto value = window.lstSelected->findItems("Value", Qt::MatchExactly);
    EXPECT_EQ(value.size(), 1);
    window.lstSelected->setCurrentItem(value.front());
    QTest::mouseClick(window.btnkey, Qt::LeftButton);
    QTest::mouseClick(window.btnReport, Qt::LeftButton);
    EXPECT_EQ(viewer.shown(1), std::vector<std::string>{report});
    std::string bytes = test::readFile(report);
    fs::remove(report);
    return bytes;
}

// vexlo-report --design with the same columns, in process.
std::string commandLineReport(const std::string& project, const std::string& report) {
    std::vector<std::string> arguments{"--design", project, "--compress", "--key", "Value"};
    std::ostringstream names, err;
    cli::runCommand(cli::parseCommandLine({"--design", project, "--attributes"}), {}, names, err);
    std::istringstream lines(names.str());
    for (std::string name; std::getline(lines, name);) {
        arguments.insert(arguments.end(), {"--column", name});
    }
    std::ostringstream out;
    EXPECT_EQ(cli::runCommand(cli::parseCommandLine(arguments), {}, out, err), 0) << err.str();
    EXPECT_EQ(out.str(), report + "\n");
    return test::readFile(report);
}

TEST(WindowOnKicadDesigns, ReportsAreThoseOfVexloReportDesign) {
    // A reused sheet, eight sheets, multi-unit parts.
    for (const char* demo : {"complex_hierarchy/complex_hierarchy", "video/video",
                             "kit-dev-coldfire-xilinx_5213/kit-dev-coldfire-xilinx_5213"}) {
        SCOPED_TRACE(demo);
        const test::TempDir dir;
        const fs::path source = fs::path("/usr/share/kicad/demos") / demo;
        fs::copy(source.parent_path(), dir.path(), fs::copy_options::recursive);
        const std::string name = source.filename().string();
        const std::string project = dir.file(name + ".kicad_pro");
        for (const char* format : {"0", "1", "2", "3"}) {
            test::writeFile(dir.file("vexlosettings.qzv"),
                            test::crlf({std::string("Export_File_Format=") + format}));
            const char* const extensions[] = {".xls", ".txt", ".html", ".csv"};
            const std::string report = dir.file(name + extensions[format[0] - '0']);
            const std::string fromWindow = windowReport(project, report);
            EXPECT_FALSE(fromWindow.empty());
            EXPECT_TRUE(fromWindow == commandLineReport(project, report)) << report;
        }
    }
}

}  // namespace
}  // namespace vexlo
