// The window and vexlo-report against the real simulator on a private bus: for the same state
// both front ends write the same reports, byte for byte (workbooks included: their parts carry
// fixed times), and the command line's exit statuses and messages.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <csignal>
#include <filesystem>

#include "design/dbus/toolclient.h"
#include "faketool.h"
#include "main/vexlo.h"
#include "selection/droplist.h"
#include "simulator.h"

namespace vexlo {
namespace {

using design::makeComponent;
using test::crlf;
using test::readFile;
using test::writeFile;
using Lines = std::vector<std::string>;

const auto* const privateBus = ::testing::AddGlobalTestEnvironment(new test::PrivateBusEnvironment);

struct BinaryRun {
    int status = -1;
    std::string out;
    std::string err;
};

std::string quoted(const std::string& text) {
    std::string result = "'";
    for (char c : text) {
        result += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return result + "'";
}

// The environment prefix changes the program's environment ("env -u NAME ...").
BinaryRun runReportBinary(const Lines& arguments, const std::string& environment = "") {
    test::TempDir capture;
    std::string command = environment + quoted(test::buildDir() + "/src/cli/vexlo-report");
    for (const auto& argument : arguments) {
        command += " " + quoted(argument);
    }
    command += " >" + quoted(capture.file("out")) + " 2>" + quoted(capture.file("err"));
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(capture.file("out")),
            readFile(capture.file("err"))};
}

// A board whose values test quoting, escaping and widths in every format.
test::DesignSpec boardDesign(const std::string& folder) {
    auto part = [](const char* refdes, const char* number, const char* value, const char* text) {
        return makeComponent(refdes,
                             {{"REFDES", refdes}, {"Part Number", number}, {"Value", value}},
                             {{"Description", text}});
    };
    test::DesignSpec spec;
    spec.project = folder + "/";
    spec.document = test::DesignDocument{"amp.1", folder + "/sch/"};
    spec.components = {part("R1", "RC0603-10K", "10k", "Resistor, 1%"),
                       part("R2", "RC0603-10K", "10k", "Resistor, 1%"),
                       part("C1", "GRM-100N", "100n",
                            "Cap 0.1\xc2\xb5"
                            "F <X7R>"),
                       part("L1", "LQH-4U7", "4.7\xc2\xb5H", "Inductor \"shielded\" & small"),
                       part("R3", "RC0603-10K", "10k", "Resistor, 1%"),
                       part("", "NONE", "", "not placed")};
    // Not fitted: left out when the settings say so.
    spec.components.push_back(
        makeComponent("R4", {{"REFDES", "R4"}, {"Part Number", "RC0603-10K"}, {"Fitted", "DNP"}}));
    return spec;
}

class FrontEnds : public ::testing::Test {
protected:
    FrontEnds() {
        writeFile(project.file("sch/amp.sch"), "");
        writeDesignJson(project.file("design.json"), boardDesign(project.path()));
        simulator.emplace(Lines{project.file("design.json")});
        writeFile(project.file("vexloattributes.qzv"),
                  crlf({"** Board", "REFDES", "Part Number", "Description", "QTY", "==Part Number",
                        "** Values", "Value", "REFDES"}));
    }

    // With bom, the bill of materials settings too: the DNP part left out, ranges, ".xlsx".
    void useFormat(int format, bool bom = false) {
        Lines lines = {"Excel_Start=2",
                       "Header_Font_Size=12",
                       "Value_Font_Size=9",
                       "Header_Bold=1",
                       "Value_Italic=1",
                       "Align_Value=1",
                       "Export_File_Format=" + std::to_string(format)};
        if (bom) {
            lines.insert(lines.end(), {"Exclude_Attribute=Fitted", "Exclude_Values=DNP",
                                       "Refdes_Order=2", "Workbook_Xlsx=1"});
        }
        writeFile(project.file("vexlosettings.qzv"), crlf(lines));
    }

    // The report a window click writes, read and removed; the window's status line after it.
    std::string windowReport(const std::function<void(Vexlo&)>& act, const std::string& name,
                             QString* status = nullptr) {
        Vexlo window(&design::dbus::connectToTool);
        std::vector<QString> messages;
        window.showMessage = [&messages](const QString& text) { messages.push_back(text); };
        EXPECT_TRUE(window.Form_Load());
        window.show();
        act(window);
        EXPECT_TRUE(messages.empty()) << messages.front().toStdString();
        if (status != nullptr) {
            *status = window.lblStatus->text();
        }
        return takeReport(name);
    }

    std::string takeReport(const std::string& name) {
        const std::string path = project.file(name);
        if (!std::filesystem::exists(path)) {
            ADD_FAILURE() << name << " not written";
            return {};
        }
        std::string bytes = readFile(path);
        std::filesystem::remove(path);
        return bytes;
    }

    test::TempDir project;
    test::ViewerRecorder viewer;
    std::optional<test::RunningSimulator> simulator;
};

struct FormatCase {
    const char* title;
    int format;
    const char* name;
    const char* extension;
};

class SameReports : public FrontEnds, public ::testing::WithParamInterface<FormatCase> {};

// With the bill of materials settings, which both front ends read from the settings file.
TEST_P(SameReports, CreateReportAndColumns) {
    const FormatCase& c = GetParam();
    useFormat(c.format, true);
    const std::string report = std::string("amp") + (c.format == 0 ? ".xlsx" : c.extension);
    QString status;
    const std::string fromWindow = windowReport(
        [](Vexlo& window) {
            QTest::mouseClick(window.btnLoad, Qt::LeftButton);
            for (const char* column : {"REFDES", "Description", "Part Number"}) {
                const auto found = window.lstAttributes->findItems(column, Qt::MatchExactly);
                window.lstAttributes->clearSelection();
                found.front()->setSelected(true);
                QTest::mouseClick(window.btnAdd, Qt::LeftButton);
            }
            window.chkCompress->setChecked(true);
            const auto key = window.lstSelected->findItems("Part Number", Qt::MatchExactly);
            const QPoint at = window.lstSelected->visualItemRect(key.front()).center();
            QTest::mouseClick(window.lstSelected->viewport(), Qt::LeftButton, {}, at);
            QTest::mouseClick(window.btnkey, Qt::LeftButton);
            QTest::mouseClick(window.btnReport, Qt::LeftButton);
        },
        report, &status);
    EXPECT_EQ(status.toStdString(), "Report written: " + project.file(report) + " (3 rows)");
    const BinaryRun run =
        runReportBinary({"--column", "REFDES", "--column", "Description", "--column", "Part Number",
                         "--compress", "--key", "Part Number", "--format", c.name});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, project.file(report) + "\n");
    EXPECT_EQ(takeReport(report), fromWindow);
    if (c.format != 0) {
        EXPECT_NE(fromWindow.find("R1-R3"), std::string::npos);
        EXPECT_EQ(fromWindow.find("R4"), std::string::npos);
    }
}

TEST_P(SameReports, LoadChoicesAndSelection) {
    const FormatCase& c = GetParam();
    useFormat(c.format);
    const std::string name = std::string("amp_Board") + c.extension;
    const std::string fromWindow = windowReport(
        [](Vexlo& window) { QTest::mouseClick(window.btnloadChoice, Qt::LeftButton); }, name);
    const BinaryRun run = runReportBinary({"--selection", "Board", "--format", c.name});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, project.file(name) + "\n");
    EXPECT_EQ(takeReport(name), fromWindow);
}

TEST_P(SameReports, LoadAllAndAll) {
    const FormatCase& c = GetParam();
    useFormat(c.format);
    const std::string board = std::string("amp_Board") + c.extension;
    const std::string values = std::string("amp_Values") + c.extension;
    std::string valuesFromWindow;
    const std::string boardFromWindow = windowReport(
        [&](Vexlo& window) {
            QTest::mouseClick(window.btnLoadAll, Qt::LeftButton);
            valuesFromWindow = takeReport(values);
        },
        board);
    const BinaryRun run = runReportBinary({"--all"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, project.file(board) + "\n" + project.file(values) + "\n");
    EXPECT_EQ(takeReport(board), boardFromWindow);
    EXPECT_EQ(takeReport(values), valuesFromWindow);
}

INSTANTIATE_TEST_SUITE_P(Formats, SameReports,
                         ::testing::Values(FormatCase{"Workbook", 0, "excel", ".xls"},
                                           FormatCase{"Text", 1, "text", ".txt"},
                                           FormatCase{"Html", 2, "html", ".html"},
                                           FormatCase{"Csv", 3, "csv", ".csv"}),
                         [](const auto& info) { return std::string(info.param.title); });

// Runs started together on one design each write their own report whole, and nothing else
// appears in the design's folders.
TEST_F(FrontEnds, ConcurrentRunsWriteTheirOwnReports) {
    useFormat(3);
    const Lines jobs[] = {{"--selection", "Board", "--format", "csv"},
                          {"--selection", "Values", "--format", "text"},
                          {"--column", "Value", "--column", "REFDES", "--format", "html"},
                          {"--selection", "Board", "--format", "csv"}};
    const char* const names[] = {"amp_Board.csv", "amp_Values.txt", "amp.html"};
    std::vector<std::string> expected;
    for (int job = 0; job < 3; ++job) {
        const BinaryRun run = runReportBinary(jobs[job]);
        ASSERT_EQ(run.status, 0) << run.err;
        expected.push_back(takeReport(names[job]));
    }
    const Lines before = test::listTree(project.path());
    for (int round = 0; round < 10; ++round) {
        std::string script;
        for (const Lines& job : jobs) {
            std::string command = quoted(test::buildDir() + "/src/cli/vexlo-report");
            for (const auto& argument : job) {
                command += " " + quoted(argument);
            }
            script += "{ " + command + " >/dev/null 2>&1 || echo failed; } & ";
        }
        test::TempDir capture;
        script = "{ " + script + "wait; } >" + quoted(capture.file("out"));
        ASSERT_EQ(std::system(script.c_str()), 0);
        EXPECT_EQ(readFile(capture.file("out")), "") << "round " << round;
        for (int job = 0; job < 3; ++job) {
            EXPECT_EQ(takeReport(names[job]), expected[job]) << names[job] << " round " << round;
        }
        EXPECT_EQ(test::listTree(project.path()), before) << "round " << round;
    }
}

TEST_F(FrontEnds, ListAndAttributes) {
    BinaryRun run = runReportBinary({"--list"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "Board\nValues\n");
    run = runReportBinary({"--attributes"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "REFDES\nPart Number\nValue\nDescription\nFitted\n");
}

TEST_F(FrontEnds, UnknownSelectionFailsAndWritesNothing) {
    const BinaryRun run = runReportBinary({"--selection", "Nope", "--format", "csv"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "vexlo-report: no saved selection named Nope\n");
    EXPECT_FALSE(std::filesystem::exists(project.file("amp_Nope.csv")));
}

TEST_F(FrontEnds, UsageErrorsExitWithTwoAndWriteNothing) {
    for (const auto& [arguments, message] :
         {std::pair{Lines{"--format", "csv"},
                    "no mode given (--all, --selection, --column, --list or --attributes)"},
          std::pair{Lines{"--column", "Value", "--compress", "--format", "csv"},
                    "option --compress needs --key NAME"},
          std::pair{Lines{"--column", "Value", "--key", "Value", "--format", "csv"},
                    "option --key needs --compress"}}) {
        const BinaryRun run = runReportBinary(arguments);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err,
                  std::string("vexlo-report: ") + message + "\nTry 'vexlo-report --help'.\n");
    }
    EXPECT_FALSE(std::filesystem::exists(project.file("amp.csv")));
}

// No tool on the bus, no bus at all, and a bus address that leads nowhere.
TEST_F(FrontEnds, ToolOutOfReachExitsWithThree) {
    simulator.reset();
    const std::string noBus =
        "vexlo-report: There is no D-Bus session bus (DBUS_SESSION_BUS_ADDRESS is unset or "
        "cannot be reached), so the schematic tool cannot be found\n";
    for (const auto& [environment, message] :
         {std::pair<std::string, std::string>{
              "", "vexlo-report: You need to have Trelmo Schemora Open to run this program!\n"},
          {"env -u DBUS_SESSION_BUS_ADDRESS -u XDG_RUNTIME_DIR -u DISPLAY ", noBus},
          {"env DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/bus ", noBus}}) {
        SCOPED_TRACE(environment);
        const BinaryRun run = runReportBinary({"--all"}, environment);
        EXPECT_EQ(run.status, 3);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, message);
    }
}

// A tool that stops answering is given up on after the limit, which the message names.
TEST_F(FrontEnds, StoppedToolIsGivenUpOnAfterTheLimit) {
    ::kill(simulator->pid(), SIGSTOP);
    ::setenv("VEXLO_TOOL_TIMEOUT", "2", 1);
    const BinaryRun run = runReportBinary({"--list"});
    ::unsetenv("VEXLO_TOOL_TIMEOUT");
    ::kill(simulator->pid(), SIGCONT);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err,
              "vexlo-report: Error 440: The schematic tool did not answer CurrentProject within 2 "
              "seconds\n");
}

TEST_F(FrontEnds, UnwritableOutputFolderFailsWithNothingReported) {
    // The report goes beside the document folder; a folder in the way of the report's name
    // makes the final rename fail.
    std::filesystem::create_directories(project.file("amp.csv/inside"));
    const BinaryRun run = runReportBinary({"--column", "Value", "--format", "csv"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.rfind("vexlo-report: Error ", 0), 0u) << run.err;
    EXPECT_NE(run.err.find(project.file("amp.csv")), std::string::npos) << run.err;
    EXPECT_EQ(test::listFolder(project.file("sch")), Lines{"amp.sch"});
}

}  // namespace
}  // namespace vexlo
