// The main window as a user works it, on an in-memory tool whose project is a fresh folder.
#include "main/vexlo.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QTimer>
#include <algorithm>

#include "cases.h"
#include "main/application.h"
#include "main/statusline.h"
#include "mainwindowfixture.h"
#include "preview/previewwindow.h"
#include "qtsupport.h"
#include "testsupport.h"

namespace vexlo {
namespace {

using test::MainWindow;

// The window's script: each section a test on a window of its own.
const bool windowCases =
    (test::registerCases<test::WindowScript>(
         "Window", "tests/main/window.txt",
         test::caseSections("tests/main/window.txt", {"open", "demo", "arguments"}),
         [](test::WindowScript& script, const test::CaseSection& section) {
             script.play(section.lines, true, "window.txt");
         }),
     true);

// The status line shows a long message cut in its middle with the whole of it on hover, and a
// message of several lines on the one line (what it drops when, the window's script).
TEST_F(MainWindow, StatusLineShowsALongMessageCutAndSeveralLinesOnOne) {
    open();
    click(w->btnLoad, w->btnAddAll);
    click(w->chkCompress, w->btnReport);
    EXPECT_EQ(status().substr(0, 40), "You have selected to Compress Report, yo");
    const QString shown = w->lblStatus->shownText();
    EXPECT_TRUE(shown.startsWith("You have selected to Compress")) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith("'Select Part Number' button")) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QChar(0x2026)));
    EXPECT_LE(w->lblStatus->fontMetrics().horizontalAdvance(shown),
              w->lblStatus->contentsRect().width());
    EXPECT_EQ(w->lblStatus->toolTip().toStdString(), status());
    w->lblStatus->setMessage(QStringLiteral("Some reports were not written:\nBad: Error 1004"));
    EXPECT_EQ(w->lblStatus->shownText(), "Some reports were not written: Bad: Error 1004");
}

// The hourglass shows while the window asks the tool for what a report, a preview or a load
// needs, and never while the user works in the Options window.
TEST_F(MainWindow, TheHourglassShowsWhileTheToolIsAsked) {
    std::vector<std::string> asked;
    const design::ToolConnector connect = tool.connector();
    open([&] {
        const QCursor* cursor = QApplication::overrideCursor();
        asked.push_back(cursor != nullptr && cursor->shape() == Qt::WaitCursor ? "wait" : "-");
        return connect();
    });
    asked.clear();  // start-up shows the window first
    click(w->btnLoad, w->btnAddAll, w->btnReport);
    EXPECT_EQ(asked, (std::vector<std::string>{"wait", "wait"}));
    asked.clear();
    QTimer::singleShot(0, [] { QApplication::activeModalWidget()->close(); });
    click(w->btnPreview);
    EXPECT_EQ(asked, std::vector<std::string>{"wait"});
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// The windows' controls as their golden file shows them (VEXLO_UPDATE_GOLDEN=1 rewrites it): the
// main window at start-up and after a load, the Options window, and the Preview window (whose
// sizes follow its fonts, so without places). The fixed layouts never move.
TEST_F(MainWindow, ControlsAsTheGoldenFileShowsThem) {
    open();
    std::string shown = "== the main window at start-up\n" + test::layoutText(*w, true);
    click(w->btnLoad, w->btnAddAll, w->chkCompress);
    w->lstSelected->setCurrentRow(1);
    click(w->btnkey);
    shown += "== after Load Design Attributes, Add All, Compress and the key\n" +
             test::layoutText(*w, true);
    QTimer::singleShot(0, [&] {
        QWidget* form = QApplication::activeModalWidget();
        ASSERT_NE(form, nullptr);
        shown += "== the Options window\n" + test::layoutText(*form, true);
        form->close();
    });
    click(w->btnOption);
    const auto preview = w->makePreview();
    ASSERT_NE(preview, nullptr);
    shown += "== the Preview window\n" + test::layoutText(*preview, false);
    for (std::size_t at; (at = shown.find(project.path())) != std::string::npos;) {
        shown.replace(at, project.path().size(), "PROJECT");
    }
    const std::string golden = test::sourceDir() + "/tests/main/layout.golden";
    if (std::getenv("VEXLO_UPDATE_GOLDEN") != nullptr) {
        test::writeFile(golden, shown);
    }
    EXPECT_EQ(shown, test::readFile(golden));
}

// The program's run: the window named for the desktop, shown until the user closes it; without a
// running tool, the message and no window; "vexlo FILE" on a file that is no design, the message
// and no window; -h asks for help.
TEST(Application, ShowsTheWindowUntilItIsClosedOrTellsWhyNot) {
    const test::TempDir project;
    design::FakeTool tool;
    test::serveProjectIn(tool, project, "board");
    std::string shown;
    QTimer::singleShot(0, [&] {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (qobject_cast<Vexlo*>(window) != nullptr && window->isVisible()) {
                shown = window->windowTitle().toStdString();
                window->close();
            }
        }
    });
    EXPECT_EQ(runApplication(tool.connector()), 0);
    EXPECT_EQ(shown, "Vexlo - check each report against the design before ordering");
    EXPECT_EQ(QApplication::applicationName(), "Vexlo");
    EXPECT_EQ(QApplication::desktopFileName(), "org.vexlo.Vexlo");
    EXPECT_FALSE(QApplication::windowIcon().pixmap(32).isNull());

    const auto noTool = []() -> std::unique_ptr<design::SchematicTool> {
        throw Error(errc::ToolNotRunning, "not running");
    };
    const auto noWindow = [] {
        return std::ranges::none_of(QApplication::topLevelWidgets(), [](QWidget* window) {
            return qobject_cast<Vexlo*>(window) != nullptr && window->isVisible();
        });
    };
    const std::string told = test::messageOf([&] { EXPECT_EQ(runApplication(noTool), 0); });
    EXPECT_EQ(told.substr(0, told.find('\n')),
              "C Vexlo: You need to have Trelmo Schemora Open to run this program!");
    EXPECT_TRUE(noWindow());
    test::writeFile(project.file("notes.txt"), "to do\n");
    const std::string refused = test::messageOf([&] {
        EXPECT_EQ(runApplication(noTool, {project.file("notes.txt"), ""}), exitUsage);
    });
    EXPECT_EQ(refused.substr(refused.find("\n\n") + 2, project.path().size()), project.path());
    EXPECT_TRUE(noWindow());

    char program[] = "vexlo";
    char help[] = "-h";
    char* argv[] = {program, help};
    EXPECT_TRUE(helpAsked(2, argv));
    EXPECT_FALSE(helpAsked(1, argv));
}

}  // namespace
}  // namespace vexlo
