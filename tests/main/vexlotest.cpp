// The main window as a user works it, on an in-memory tool whose project is a fresh folder.
#include "main/vexlo.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <filesystem>

#include <algorithm>

#include "fakeproject.h"
#include "faketool.h"
#include "main/application.h"
#include "main/statusline.h"
#include "mainwindowfixture.h"
#include "preview/previewwindow.h"
#include "qtsupport.h"
#include "testsupport.h"

namespace vexlo {
namespace {

using test::crlf;
using test::MainWindow;

TEST_F(MainWindow, StartUpListsTheSavedSelectionsAndAFailedLoadChangesNothing) {
    test::writeFile(project.file("vexloattributes.qzv"),
                    crlf({"** B", "x", "** A", "==k", "** C"}));
    EXPECT_TRUE(open());
    EXPECT_EQ(test::clippedCaptions(*w), std::vector<std::string>{});
    EXPECT_EQ(texts(w->cmbChoice->model()) + w->cmbChoice->currentText().toStdString(), "|B|A|CB");
    EXPECT_EQ(w->optionFields().Export_File_Format * 100 + w->optionFields().Header_Font_Size, 310);
    tool.documentName.reset();
    click(w->btnLoad);
    EXPECT_TRUE(w->lstAttributes->isHidden() && !w->btnLoad->isHidden());
    EXPECT_EQ(buttons(), "000000");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    for (const errc::Number number : {errc::ToolNotRunning, errc::NoSessionBus}) {
        EXPECT_FALSE(open(
            [number]() -> std::unique_ptr<design::SchematicTool> { throw Error(number, "gone"); }));
    }
    // Each failure is told by what to do first, its number last.
    EXPECT_EQ(messages, (std::vector<std::string>{
                            "Open the design in the schematic tool, then try again.\n\nThe "
                            "schematic tool has no active view\n\n(Error 1001)",
                            "You need to have Trelmo Schemora Open to run this program!\n\nStart "
                            "the schematic tool, or open a KiCad design without it: \"vexlo "
                            "FILE\", or Ctrl+O in the window.\n\ngone\n\n(Error 429)",
                            "Start Vexlo in a desktop session, which has a D-Bus session bus, or "
                            "open a KiCad design without the schematic tool: \"vexlo FILE\"."
                            "\n\ngone\n\n(Error 1010)"}));
    EXPECT_EQ(icons, "CCC");
}

// Return and Enter press the button with the focus; the first load hands the focus to the
// attributes; Alt and a button's underlined letter (as the layout's golden file shows them) press
// it.
TEST_F(MainWindow, KeyboardUse) {
    open();
    w->btnLoad->setFocus();
    QTest::keyClick(w->btnLoad, Qt::Key_Return);
    EXPECT_TRUE(w->btnLoad->isHidden());
    EXPECT_EQ(w->focusWidget(), w->lstAttributes);
    w->btnAddAll->setFocus();
    QTest::keyClick(w->btnAddAll, Qt::Key_Enter);
    EXPECT_EQ(texts(w->lstSelected->model()), "|REFDES|Part Number|Value");
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    // A mnemonic presses its button as a click does, shown pressed for a moment.
    QTest::keyClick(w.get(), Qt::Key_M, Qt::AltModifier);  // << Remove All
    EXPECT_TRUE(QTest::qWaitFor([&] { return w->lstSelected->count() == 0; }));
    QTest::keyClick(w.get(), Qt::Key_P, Qt::AltModifier);  // Compress
    EXPECT_TRUE(QTest::qWaitFor([&] { return w->chkCompress->isChecked(); }));
    EXPECT_EQ(messages, std::vector<std::string>{});
}

// Load Choices of a name no section carries changes nothing and writes nothing, and says so,
// whether or not there is a saved-selection file.
TEST_F(MainWindow, LoadChoicesOfAnUnknownNameChangesNothing) {
    open();
    click(w->btnLoad, w->btnAddAll, w->chkCompress);
    w->lstSelected->setCurrentRow(1);
    click(w->btnkey);
    for (const bool file : {false, true}) {
        if (file) {
            test::writeFile(project.file("vexloattributes.qzv"), crlf({"** Board", "Value"}));
        }
        const auto files = project.listing();
        w->cmbChoice->setEditText("Nope");
        click(w->btnloadChoice);
        EXPECT_EQ(messages.back() + " " + icons,
                  "There is no saved selection named Nope. W" + std::string(file ? "W" : ""));
        EXPECT_EQ(status(), "There is no saved selection named Nope.");
        EXPECT_EQ(
            buttons() + texts(w->lstSelected->model()) + " " + w->lblkey->text().toStdString(),
            "111111|REFDES|Part Number|Value|QTY Part Number");
        EXPECT_TRUE(w->chkCompress->isChecked());
        EXPECT_EQ(project.listing(), files);
    }
}

// After the tool's design changed, F5 or the attribute list's menu reads its names again and
// keeps the columns; every report then names the columns no part carries.
TEST_F(MainWindow, ReadingTheDesignAgainAndColumnsNoPartCarries) {
    test::writeFile(project.file("vexloattributes.qzv"),
                    crlf({"** Old", "REFDES", "Part Number", "** New", "Value"}));
    open();
    // Before the first load, while the attribute list is hidden, F5 is the first load.
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    QTest::keyClick(w.get(), Qt::Key_F5);
    // The status line names the design, its folder and its parts.
    const std::string board = "board in " + project.path() + "/, ";
    EXPECT_EQ(status(), "Design read: " + board + "3 parts in the BOM, 3 attribute names");
    EXPECT_TRUE(w->btnLoad->isHidden() && !w->lstAttributes->isHidden());
    click(w->btnAddAll);
    tool.design->components = {
        design::makeComponent("R1", {{"REFDES", "R1"}, {"Value", "1k"}, {"Tolerance", "1%"}})};
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    QTest::keyClick(w.get(), Qt::Key_F5);
    const std::string gone = "; no part carries \"Part Number\": its column is empty";
    EXPECT_EQ(status(),
              "Design read again: " + board + "1 part in the BOM, 3 attribute names" + gone);
    EXPECT_EQ(texts(w->lstAttributes->model()), "|REFDES|Value|Tolerance");
    EXPECT_EQ(texts(w->lstSelected->model()), "|REFDES|Part Number|Value");
    EXPECT_EQ(buttons(), "111111");
    click(w->btnReport);
    EXPECT_EQ(status(), "Report written: " + project.file("board.csv") + " (1 row)" + gone);
    w->cmbChoice->setCurrentIndex(0);
    click(w->btnloadChoice);
    EXPECT_EQ(status(), "Report written: " + project.file("board_Old.csv") + " (1 row)" + gone);
    click(w->btnLoadAll);
    EXPECT_EQ(status(), "Load All: 2 reports written, 0 failed" + gone);
    tool.design->components.push_back(design::makeComponent("R2", {{"Part Number", "PN"}}));
    ASSERT_EQ(w->lstAttributes->actions(), QList<QAction*>{w->actReadAgain});
    w->actReadAgain->trigger();  // the list's menu
    EXPECT_EQ(status(), "Design read again: " + board + "2 parts in the BOM, 4 attribute names");
    click(w->btnReport);
    EXPECT_EQ(status(), "Report written: " + project.file("board.csv") + " (2 rows)");
    w->lstSelected->addItem("A");
    w->lstSelected->addItem("B");
    click(w->btnReport);
    EXPECT_EQ(status(), "Report written: " + project.file("board.csv") +
                            " (2 rows); no part carries \"A\", \"B\": their columns are empty");
    // The tool went over to another project: its saved selections (none) and settings, and back.
    const test::TempDir other;
    for (const std::string& folder : {other.path(), project.path()}) {
        tool.project = folder + "/";
        QTest::keyClick(w.get(), Qt::Key_F5);
        EXPECT_EQ(
            texts(w->cmbChoice->model()) + std::to_string(w->optionFields().Export_File_Format),
            folder == other.path() ? "0" : "|Old|New3");
    }
    tool.documentName.reset();
    QTest::keyClick(w.get(), Qt::Key_F5);
    EXPECT_EQ(status(), "Error 1001: The schematic tool has no active view");
    EXPECT_EQ(texts(w->lstAttributes->model()), "|REFDES|Value|Tolerance|Part Number");
    EXPECT_EQ(messages.size(), 1U);
}

// The status line shows a long message cut in its middle with the whole of it on hover, and
// drops a message whose condition has ended (what Save Selection and Delete Choice did: the
// column list's script).
TEST_F(MainWindow, StatusLineTellsEveryActionAndForgetsEndedConditions) {
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
    // A message of several lines is shown on the one line.
    const std::string noKey = status();
    w->lblStatus->setMessage(QStringLiteral("Some reports were not written:\nBad: Error 1004"));
    EXPECT_EQ(w->lblStatus->shownText(), "Some reports were not written: Bad: Error 1004");
    w->lblStatus->setMessage(QString::fromStdString(noKey));
    w->lstSelected->setCurrentRow(0);
    click(w->btnkey);  // the key is chosen: the message has ended
    EXPECT_EQ(status(), "");
    click(w->btnkey);  // chosen again, with nothing to clear
    w->lstSelected->setCurrentRow(-1);
    click(w->btnkey, w->btnReport);  // no entry chosen: the key is taken away
    EXPECT_EQ(status().substr(0, 20), "You have selected to");
    click(w->chkCompress);  // not compressing: no key needed
    EXPECT_EQ(status(), "");
    w->lstSelected->addItem("Value");
    click(w->btnReport);
    const std::string written = status();
    click(w->btnkey);
    EXPECT_EQ(status(), written);  // a plain message stays
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

// Changes asks for an older revision's design file in a dialog that starts in the project folder
// and writes what changed from it to the open design, for the column list as it stands (in
// rev-a.json R2 is 2k2, R3 and L1 are there, C1 is not).
TEST_F(MainWindow, ChangesComparesWithARevisionChosenInItsDialog) {
    std::filesystem::copy_file(test::sourceDir() + "/tests/main/rev-a.json",
                               project.file("rev-a.json"));
    test::writeFile(project.file("notes.txt"), "not a design\n");
    open();
    click(w->btnLoad, w->btnAddAll);
    // Chooses this file in the dialog, or types it and cancels; whether the dialog opened.
    const auto compare = [&](const std::string& file, bool cancel = false) {
        bool opened = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            opened = true;
            EXPECT_EQ(dialog->objectName(), "dlgCompare");
            EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFile);  // an old revision exists
            EXPECT_EQ(dialog->directory().absolutePath().toStdString(), project.path());
            // Typed into the file name box, then Return (or Escape), as a user does.
            auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
            ASSERT_NE(name, nullptr);
            QTest::keyClicks(name, QString::fromStdString(file));
            QTest::keyClick(name, cancel ? Qt::Key_Escape : Qt::Key_Return);
        });
        click(w->btnCompare);
        return opened;
    };
    const std::string changes = project.file("board_changes.csv");
    ASSERT_TRUE(compare("rev-a.json"));
    EXPECT_EQ(status(), "Changes written: " + changes + " (1 added, 2 removed, 1 changed)");
    const std::string title =
        "\"Changes from \"\"" + project.file("rev-a.json") + "\"\" to \"\"board\"\": ";
    EXPECT_EQ(test::readFile(changes),
              title + "1 added, 2 removed, 1 changed\"\r\n" +
                  crlf({"Change,Designator,Old Part Number,New Part Number,Old Value,New Value",
                        "changed,R2,,,2k2,1k", "added,C1,,GRM,,100n", "removed,R3,RC0603-1K,,1k,",
                        "removed,L1,LQH,,4u7,"}));
    EXPECT_EQ(viewer.shown(1), std::vector<std::string>{changes});

    click(w->chkCompress);
    w->lstSelected->setCurrentRow(1);
    click(w->btnkey);  // compressed by Part Number
    ASSERT_TRUE(compare("rev-a.json"));
    EXPECT_EQ(status(), "Changes written: " + changes + " (1 added, 1 removed, 1 changed)");
    EXPECT_EQ(test::readFile(changes),
              title + "1 added, 1 removed, 1 changed\"\r\n" +
                  crlf({"Change,Part Number,Old QTY,New QTY,Added,Removed,Old Value,New Value",
                        "added,GRM,0,1,C1,,,100n", "removed,LQH,1,0,,L1,4u7,",
                        "changed,RC0603-1K,3,2,,R3,,"}));

    // Cancelled, or a file that is no design: nothing is written.
    const auto files = project.listing();
    ASSERT_TRUE(compare("rev-a.json", true));
    EXPECT_EQ(status(), "Changes written: " + changes + " (1 added, 1 removed, 1 changed)");
    ASSERT_TRUE(compare("notes.txt"));
    EXPECT_EQ(status(), "Error 1016: " + project.file("notes.txt") +
                            ": not a design file this program reads: give a KiCad project "
                            "(.kicad_pro), its root sheet (.kicad_sch), KiCad's XML netlist (.xml) "
                            "or a JSON design");
    EXPECT_EQ(messages.back().substr(messages.back().find("\n\n") + 2),
              status().substr(12) + "\n\n(Error 1016)");
    EXPECT_EQ(project.listing(), files);
    // Compressing without a key asks for one before any dialog.
    w->lstSelected->setCurrentRow(-1);
    click(w->btnkey);
    bool asked = false;
    QTimer closer;  // gone with the test, so that it never closes another test's window
    closer.setSingleShot(true);
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (QWidget* dialog = QApplication::activeModalWidget()) {
            asked = true;
            dialog->close();
        }
    });
    closer.start(0);
    click(w->btnCompare);
    EXPECT_FALSE(asked);
    EXPECT_EQ(status().substr(0, 36), "You have selected to Compress Report");
    EXPECT_EQ(project.listing(), files);
}

// The program's run: the window named for the desktop, shown until the user closes it; without a
// running tool, the message and no window.
TEST(Application, ShowsTheWindowUntilItIsClosedOrTellsThatNoToolRuns) {
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
    const std::string told = test::messageOf([&] { EXPECT_EQ(runApplication(noTool), 0); });
    EXPECT_EQ(told.substr(0, told.find('\n')),
              "C Vexlo: You need to have Trelmo Schemora Open to run this program!");
    EXPECT_TRUE(std::ranges::none_of(QApplication::topLevelWidgets(), [](QWidget* window) {
        return qobject_cast<Vexlo*>(window) != nullptr && window->isVisible();
    }));
}

// A viewer that cannot show the report, or none at all, is named beside "Report written".
TEST_F(MainWindow, AViewerThatCannotShowTheReportIsTold) {
    open();
    click(w->btnLoad, w->btnAddAll);
    const std::string written = "Report written: " + project.file("board.csv") + " (3 rows)";
    {
        const test::ViewerRecorder failing(4);
        click(w->btnReport);
        EXPECT_TRUE(QTest::qWaitFor([&] { return status() != written; }));
        EXPECT_EQ(status(),
                  written + "; the viewer could not show it: xdg-open ended with status 4");
    }
    const std::string path = std::getenv("PATH");
    ::setenv("PATH", project.path().c_str(), 1);
    click(w->btnReport);
    ::setenv("PATH", path.c_str(), 1);
    EXPECT_EQ(status(), written + "; no viewer could be started: xdg-open is not on PATH");
}

// Options opens the Options window; its Save sets the option fields the reports use.
TEST_F(MainWindow, OptionsSaveChangesTheReportFormatAndCompressNeedsAKey) {
    open();
    click(w->btnLoad, w->btnAddAll);
    saveOptionsWithFormat(1);
    EXPECT_EQ(w->optionFields().Export_File_Format, 1);
    click(w->btnReport);
    EXPECT_EQ(status(), "Report written: " + project.file("board.txt") + " (3 rows)");
    click(w->chkCompress, w->btnReport);  // without a key
    const std::string noKey =
        "You have selected to Compress Report, you must select a Key. Select the key in the "
        "Attribute Selected list and select the 'Select Part Number' button";
    EXPECT_EQ(messages, std::vector<std::string>{noKey});
    EXPECT_EQ(status(), noKey);
    click(w->btnClose);
    EXPECT_FALSE(w->isVisible());
}

// A settings file that cannot be read is told at start-up, and every report fails with it
// rather than coming out in the default options, until the Options window reads it again.
TEST_F(MainWindow, ReportsFailWhileTheSettingsCannotBeRead) {
    const std::string settings = project.file("vexlosettings.qzv");
    std::filesystem::remove(settings);
    std::filesystem::create_directory(settings);
    open();
    const std::string unreadable =
        "Error 75: Cannot read \"" + settings + "\": it is a folder, not a regular file";
    EXPECT_EQ(messages, std::vector<std::string>{"Check the file or folder named below: it may be "
                                                 "missing, not yours to write, or on a full disk. "
                                                 "Then try again.\n\n" +
                                                 unreadable.substr(10) + "\n\n(Error 75)"});
    click(w->btnLoad, w->btnAddAll, w->btnReport);
    EXPECT_EQ(status(), unreadable);
    EXPECT_FALSE(std::filesystem::exists(project.file("board.xls")));
    std::filesystem::remove(settings);
    saveOptionsWithFormat(3);
    EXPECT_EQ(status(), "");  // the settings read again: their failure has ended
    click(w->btnReport);
    EXPECT_EQ(status(), "Report written: " + project.file("board.csv") + " (3 rows)");
}

}  // namespace
}  // namespace vexlo
