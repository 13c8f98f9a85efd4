// The main window as a user works it, on an in-memory tool whose project is a fresh folder.
#include "main/vexlo.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDrag>
#include <QDragEnterEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include <algorithm>
#include <map>
#include <sstream>

#include "fakeproject.h"
#include "faketool.h"
#include "qtsupport.h"
#include "selection/droplist.h"
#include "testsupport.h"

namespace vexlo {
namespace {

using test::crlf;

class MainWindow : public ::testing::Test {
protected:
    MainWindow() {
        test::serveProjectIn(tool, project, "board");
        test::writeFile(project.file("vexlosettings.qzv"), crlf({"Export_File_Format=3"}));
        const auto part = [](const char* refdes, const char* number, const char* value) {
            return design::makeComponent(
                refdes, {{"REFDES", refdes}, {"Part Number", number}, {"Value", value}});
        };
        tool.design->components = {part("R1", "RC0603-1K", "1k"), part("R2", "RC0603-1K", "1k"),
                                   part("C1", "GRM", "100n")};
    }

    bool open(design::ToolConnector connector = {}) {
        w = std::make_unique<Vexlo>(connector ? connector : tool.connector());
        w->showMessage = [this](const QString& text) { messages.push_back(text.toStdString()); };
        const bool started = w->Form_Load();
        w->show();
        return started;
    }
    // Opens the Options window, chooses the output format and saves, as a user does.
    void saveOptionsWithFormat(int format) {
        QTimer::singleShot(50, [format] {
            QWidget* form = QApplication::activeModalWidget();
            ASSERT_NE(form, nullptr);
            form->findChild<QComboBox*>("ExportFileFormat")->setCurrentIndex(format);
            QTest::mouseClick(form->findChild<QPushButton*>("btnSave"), Qt::LeftButton);
        });
        click(w->btnOption);
    }
    template <typename... Controls>
    static void click(Controls*... controls) {
        (QTest::mouseClick(controls, Qt::LeftButton), ...);
    }
    // The entries of a list or combo box, each after a "|".
    static std::string texts(const QAbstractItemModel* model) {
        std::string text;
        for (int row = 0; row < model->rowCount(); ++row) {
            text += "|" + model->index(row, 0).data().toString().toStdString();
        }
        return text;
    }
    // Add, Add All, Remove, Remove All, Move Up, Move Down: "1" enabled, "0" not.
    std::string buttons() const {
        std::string states;
        for (const QPushButton* button : {w->btnAdd, w->btnAddAll, w->btnRemove, w->btnRemoveAll,
                                          w->btnMoveUp, w->btnMoveDown}) {
            states += button->isEnabled() ? '1' : '0';
        }
        return states;
    }
    // Selects these rows as a user does: a click, then Ctrl+clicks.
    static void pick(QListWidget* list, const std::vector<int>& rows) {
        list->clearSelection();
        for (std::size_t i = 0; i < rows.size(); ++i) {
            QTest::mouseClick(list->viewport(), Qt::LeftButton,
                              i == 0 ? Qt::NoModifier : Qt::ControlModifier,
                              list->visualItemRect(list->item(rows[i])).center());
        }
    }
    // Drags the selected attributes onto the column list: the mouse starts lstAttributes' own
    // drag (whose exec returns at once offscreen), and its events go where the window system
    // sends them, to the widget under the point that takes drops. The action the drop took.
    Qt::DropAction drag(Qt::KeyboardModifiers keys) {
        QListWidget* from = w->lstAttributes;
        const QPoint at = from->visualItemRect(from->selectedItems().front()).center();
        QTest::mousePress(from->viewport(), Qt::LeftButton, Qt::NoModifier, at);
        QTest::mouseMove(from->viewport(), at + QPoint(0, 1));  // ready to drag, then dragging
        QTest::mouseMove(from->viewport(), at + QPoint(0, 3 * QApplication::startDragDistance()));
        QTest::mouseRelease(w.get(), Qt::LeftButton);
        std::unique_ptr<QDrag> drag(from->findChild<QDrag*>(QString(), Qt::FindDirectChildrenOnly));
        const QPoint point = w->lstSelected->viewport()->mapTo(w.get(), QPoint(30, 200));
        QWidget* target = w->childAt(point);
        while (target != nullptr && !target->acceptDrops()) {
            target = target->parentWidget();
        }
        if (drag == nullptr || target == nullptr) {
            return Qt::IgnoreAction;
        }
        const QPoint local = target->mapFrom(w.get(), point);
        const auto actions = drag->supportedActions();
        QDragEnterEvent enter(local, actions, drag->mimeData(), Qt::LeftButton, keys);
        QDragMoveEvent move(local, actions, drag->mimeData(), Qt::LeftButton, keys);
        QDropEvent drop(QPointF(local), actions, drag->mimeData(), Qt::LeftButton, keys);
        for (QEvent* event : std::initializer_list<QEvent*>{&enter, &move, &drop}) {
            if (!QApplication::sendEvent(target, event) || !event->isAccepted()) {
                return Qt::IgnoreAction;
            }
        }
        return drop.dropAction();
    }
    std::string status() const { return w->lblStatus->text().toStdString(); }

    test::TempDir project;
    design::FakeTool tool;
    test::ViewerRecorder viewer;
    std::unique_ptr<Vexlo> w;
    std::vector<std::string> messages;
};

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
    for (const int number : {errc::ToolNotRunning, errc::NoSessionBus}) {
        EXPECT_FALSE(open(
            [number]() -> std::unique_ptr<design::SchematicTool> { throw Error(number, "gone"); }));
    }
    EXPECT_EQ(messages, (std::vector<std::string>{
                            "Error 1001: The schematic tool has no active view",
                            "You need to have Trelmo Schemora Open to run this program!",
                            "There is no D-Bus session bus (DBUS_SESSION_BUS_ADDRESS is unset or "
                            "cannot be reached), so the schematic tool cannot be found"}));
}

// The column list's script: every rule of the six buttons, drags, moves and the key.
TEST_F(MainWindow, ColumnListAsTheScriptSays) {
    test::writeFile(project.file("vexloattributes.qzv"), crlf({"** Later"}));
    open();
    const auto list = [&](const std::string& name) {  // "attributes" or "columns"
        return name.starts_with("attributes") ? w->lstAttributes
                                              : static_cast<QListWidget*>(w->lstSelected);
    };
    for (const auto& c : test::readCases("tests/main/mainwindow.txt")) {
        SCOPED_TRACE("mainwindow.txt:" + std::to_string(c.number));
        // Controls are found as a user finds them, by their captions.
        const std::map<std::string, QString> captions = {{"load", "Load Design Attributes"},
                                                         {"add", "Add >>"},
                                                         {"addall", "Add All >>"},
                                                         {"remove", "<< Remove"},
                                                         {"removeall", "<< Remove All"},
                                                         {"up", "Move Up"},
                                                         {"down", "Move Down"},
                                                         {"compress", "Compress"},
                                                         {"key", "Select Part Number"},
                                                         {"choice", "Load Choices"},
                                                         {"save", "Save Selection"},
                                                         {"delete", "Delete Choice"},
                                                         {"loadall", "Load All"}};
        std::string shown;
        if (c.verb == "pick") {
            std::vector<int> rows;
            std::istringstream in(c.argument.substr(c.argument.find(' ')));
            for (int row = 0; in >> row;) {
                rows.push_back(row);
            }
            pick(list(c.argument), rows);
        } else if (c.verb == "attributes") {
            shown = texts(w->lstAttributes->model());
        } else if (c.verb == "current" || c.verb == "selected") {
            shown = std::to_string(c.verb == "current" ? list(c.argument)->currentRow()
                                                       : list(c.argument)->selectedItems().size());
        } else if (c.verb == "choices") {
            shown = texts(w->cmbChoice->model());
        } else if (c.verb == "saved" || c.verb == "report") {
            const std::string path =
                project.file(c.verb == "saved" ? "vexloattributes.qzv" : c.argument);
            shown = std::filesystem::exists(path) ? test::readFile(path) : "none";
        } else if (c.verb == "messages") {
            for (const auto& message : messages) {
                shown += (shown.empty() ? "" : "|") + message;
            }
        } else if (c.verb == "status") {
            shown = status();
            if (const auto at = shown.find(project.path()); at != shown.npos) {
                shown.replace(at, project.path().size(), "PROJECT");
            }
        } else if (c.verb == "name") {
            w->txtSaveAs->setText(QString::fromStdString(c.argument));
        } else if (c.verb == "choose") {
            w->cmbChoice->setCurrentIndex(
                w->cmbChoice->findText(QString::fromStdString(c.argument)));
        } else if (c.verb == "typechoice") {  // a name typed into the box, then Return
            QTest::keyClicks(w->cmbChoice->lineEdit(), QString::fromStdString(c.argument));
            QTest::keyClick(w->cmbChoice->lineEdit(), Qt::Key_Return);
        } else if (c.verb == "selections") {
            test::writeFile(project.file("vexloattributes.qzv"), c.argument);
            open();
        } else if (c.verb == "design") {
            tool.design->components = {design::makeComponent("R1", {{c.argument, "1k"}})};
            open();
        } else if (c.verb == "drag") {
            EXPECT_EQ(drag(c.argument == "shift"  ? Qt::ShiftModifier
                           : c.argument == "ctrl" ? Qt::ControlModifier
                                                  : Qt::NoModifier),
                      Qt::CopyAction);
        } else if (c.verb == "dclick") {
            QTest::mouseDClick(
                w->lstAttributes->viewport(), Qt::LeftButton, {},
                w->lstAttributes->visualItemRect(w->lstAttributes->item(std::stoi(c.argument)))
                    .center());
        } else {
            const auto buttons = w->findChildren<QAbstractButton*>();
            const auto found = std::find_if(buttons.begin(), buttons.end(), [&](auto* button) {
                return test::shownCaption(*button) == captions.at(c.verb).toStdString();
            });
            ASSERT_NE(found, buttons.end()) << "no control reads " << c.verb;
            click(*found);
        }
        if (shown.empty()) {
            const std::string columns = texts(w->lstSelected->model());
            shown = buttons() + (columns.empty() ? "" : " " + columns);
            const bool key = w->btnkey->isVisible();
            shown += key ? " " + (w->label->text() + w->lblkey->text()).toStdString() : "";
            EXPECT_TRUE(w->lblkey->isVisible() == key && w->label->isVisible() == key);
        }
        if (!c.expected.empty()) {
            EXPECT_EQ(shown, c.expected) << c.verb << " " << c.argument;
        }
    }
}

// Each button answers Alt and its underlined letter, the captions shown as they were; Return
// and Enter press the button with the focus; the first load hands the focus to the attributes.
TEST_F(MainWindow, KeyboardUse) {
    open();
    EXPECT_EQ(test::mnemonics(*w),
              (std::vector<std::string>{
                  "Select Part Number:N", "Compress:P", "Load Design Attributes:L", "Options:I",
                  "Close:E", "Delete Choice:T", "Load All:O", "Load Choices:H", "Save Selection:S",
                  "Create Report:C", "Move Down:W", "Move Up:U", "<< Remove All:M", "<< Remove:R",
                  "Add All >>:D", "Add >>:A"}));
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
    EXPECT_EQ(messages, std::vector<std::string>{unreadable});
    click(w->btnLoad, w->btnAddAll, w->btnReport);
    EXPECT_EQ(status(), unreadable);
    EXPECT_FALSE(std::filesystem::exists(project.file("board.xls")));
    std::filesystem::remove(settings);
    saveOptionsWithFormat(3);
    click(w->btnReport);
    EXPECT_EQ(status(), "Report written: " + project.file("board.csv") + " (3 rows)");
}

}  // namespace
}  // namespace vexlo
