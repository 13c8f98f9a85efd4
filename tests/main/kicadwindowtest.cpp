// The window on a private bus, worked as a user works it: on KiCad designs served by the real
// simulator, its reports are byte for byte those vexlo-report writes reading the same design file
// without a bus; on a tool that never answers, it waits visibly and gives up on Esc.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <sstream>

#include "cli/commandline.h"
#include "dbus/toolbus.h"
#include "dbus/toolclient.h"
#include "main/statusline.h"
#include "main/vexlo.h"
#include "operations/operations.h"
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
    Vexlo window(&dbus::connectToTool);
    window.showMessage = [](auto, const QString& text) { ADD_FAILURE() << text.toStdString(); };
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

// The window served a project, or the netlist KiCad wrote for it, writes what vexlo-report
// --design writes of the project.
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
        std::vector<std::string> served{project};
        const std::string netlist =
            test::sourceDir() + "/tests/designfile/data/kicad6-netlists/" + name + ".xml";
        if (fs::exists(netlist)) {
            fs::copy_file(netlist, dir.file(name + ".xml"));
            served.push_back(dir.file(name + ".xml"));
        }
        for (const char* format : {"0", "1", "2", "3"}) {
            test::writeFile(dir.file("vexlosettings.qzv"),
                            test::crlf({std::string("Export_File_Format=") + format}));
            const char* const extensions[] = {".xls", ".txt", ".html", ".csv"};
            const std::string report = dir.file(name + extensions[format[0] - '0']);
            const std::string fromCommandLine = commandLineReport(project, report);
            for (const std::string& design : served) {
                const std::string fromWindow = windowReport(design, report);
                EXPECT_FALSE(fromWindow.empty());
                EXPECT_TRUE(fromWindow == fromCommandLine) << design << " " << report;
            }
        }
    }
}

// A schematic tool on the bus that takes every call and answers none.
class StalledTool final : public QDBusVirtualObject {
public:
    StalledTool() {
        bus_.registerVirtualObject(dbus::objectPath, this);
        bus_.registerService(dbus::serviceName);
    }
    ~StalledTool() override { QDBusConnection::disconnectFromBus(bus_.name()); }
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage&, const QDBusConnection&) override {
        ++calls;
        return true;
    }
    int calls = 0;

private:
    QDBusConnection bus_ = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "stalled");
};

// While the tool does not answer, the window keeps working its events and says it waits, lets
// no other action start, and gives the call up on Esc; VEXLO_TOOL_TIMEOUT still ends the wait.
TEST(WindowOnAStalledTool, WaitsVisiblyAndGivesUpOnEscape) {
    StalledTool tool;
    Vexlo window(&dbus::connectToTool);
    std::vector<std::string> told;
    window.showMessage = [&](auto, const QString& text) { told.push_back(text.toStdString()); };
    const auto status = [&] { return window.lblStatus->text().toStdString(); };
    // Once the tool has the call and the window says it waits, the user clicks Create Report and
    // presses F5, which do nothing, then, the window still waiting, Esc.
    int tried = 0;
    int escaped = 0;
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        if (status() != operations::waitingForToolMessage || tool.calls == escaped) {
            return;
        }
        EXPECT_NE(QApplication::overrideCursor(), nullptr);
        if (tried == escaped) {
            ++tried;
            QTest::mouseClick(window.btnReport, Qt::LeftButton);
            QTest::keyClick(&window, Qt::Key_F5);
            window.close();
        } else {
            ++escaped;
            QTest::keyClick(&window, Qt::Key_Escape);
        }
    });
    user.start(10);
    const std::string gaveUp =
        "Gave up waiting for the schematic tool to answer CurrentProject; the action ended there";
    EXPECT_TRUE(window.Form_Load());  // shown, then waiting for the project folder
    EXPECT_EQ(status(), gaveUp);
    QTest::mouseClick(window.btnLoad, Qt::LeftButton);
    EXPECT_EQ(status(), gaveUp);
    EXPECT_TRUE(window.btnLoad->isVisible() && window.lstAttributes->isHidden());
    QTest::qWait(100);  // a call that slipped through would have reached the tool by now
    EXPECT_EQ(tool.calls, 2);
    EXPECT_EQ(escaped, 2);
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(told, std::vector<std::string>{});

    user.stop();
    ::setenv("VEXLO_TOOL_TIMEOUT", "1", 1);
    QTest::mouseClick(window.btnLoad, Qt::LeftButton);
    ::unsetenv("VEXLO_TOOL_TIMEOUT");
    EXPECT_EQ(status(),
              "Error 440: The schematic tool did not answer CurrentProject within 1 seconds");
    ASSERT_EQ(told.size(), 1U);
    EXPECT_EQ(told[0].substr(0, 40), "Check that the schematic tool is working");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

}  // namespace
}  // namespace vexlo
