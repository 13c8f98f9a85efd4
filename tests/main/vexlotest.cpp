// The main window as a user works it, on an in-memory tool whose project is a fresh folder.
#include "main/vexlo.h"

#include <gtest/gtest.h>

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

#include "fakeproject.h"
#include "faketool.h"
#include "selection/droplist.h"

namespace vexlo {
namespace {

using test::crlf;

class MainWindow : public ::testing::Test {
protected:
    MainWindow() {
        test::serveProjectIn(tool, project, "board");
        test::writeFile(project.file("vexlosettings.qzv"), crlf({"Export_File_Format=3"}));
        for (const auto& [refdes, part, value] : {std::tuple{"R1", "RC0603-1K", "1k"},
                                                  {"R2", "RC0603-1K", "1k"},
                                                  {"C1", "GRM", "100n"}}) {
            tool.design->components.push_back(design::makeComponent(
                refdes, {{"REFDES", refdes}, {"Part Number", part}, {"Value", value}}));
        }
    }

    bool open(design::ToolConnector connector = {}) {
        w = std::make_unique<Vexlo>(connector ? connector : tool.connector());
        w->showMessage = [this](const QString& text) { messages.push_back(text.toStdString()); };
        const bool started = w->Form_Load();
        w->show();
        return started;
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
    std::string columns() const { return texts(w->lstSelected->model()); }
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
        for (const int step : {1, 3 * QApplication::startDragDistance()}) {
            QTest::mouseMove(from->viewport(), at + QPoint(0, step));
        }
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
        QDragEnterEvent enter(local, drag->supportedActions(), drag->mimeData(), Qt::LeftButton,
                              keys);
        QDragMoveEvent move(local, drag->supportedActions(), drag->mimeData(), Qt::LeftButton,
                            keys);
        QDropEvent drop(QPointF(local), drag->supportedActions(), drag->mimeData(), Qt::LeftButton,
                        keys);
        for (QEvent* event : {static_cast<QEvent*>(&enter), static_cast<QEvent*>(&move),
                              static_cast<QEvent*>(&drop)}) {
            if (!QApplication::sendEvent(target, event) || !event->isAccepted()) {
                return Qt::IgnoreAction;
            }
        }
        return drop.dropAction();
    }
    std::string file(const char* name) const { return test::readFile(project.file(name)); }
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

// Every rule of the six buttons, met through clicks.
TEST_F(MainWindow, ButtonsFollowTheColumnList) {
    open();
    test::writeFile(project.file("vexloattributes.qzv"), crlf({"** Later"}));
    click(w->btnLoad);
    EXPECT_EQ(texts(w->lstAttributes->model()), "|REFDES|Part Number|Value");
    EXPECT_TRUE(w->btnLoad->isHidden() && !w->lstAttributes->isHidden());
    EXPECT_EQ(texts(w->cmbChoice->model()), "|Later");
    EXPECT_EQ(buttons(), "110011");
    const auto step = [&](QPushButton* button, const char* after, const char* states) {
        click(button);
        EXPECT_EQ(columns(), after);
        EXPECT_EQ(buttons(), states) << button->text().toStdString() << " to " << after;
    };
    step(w->btnAdd, "", "111111");  // nothing selected
    step(w->btnRemoveAll, "", "110000");
    pick(w->lstAttributes, {0, 1, 2});
    step(w->btnAdd, "|REFDES|Part Number|Value", "111100");  // three at once
    step(w->btnRemoveAll, "", "110000");
    pick(w->lstAttributes, {0});
    step(w->btnAdd, "|REFDES", "111100");
    step(w->btnAdd, "|REFDES|Part Number", "111111");  // the selection walked down
    pick(w->lstAttributes, {0});
    step(w->btnAdd, "|REFDES|Part Number", "111111");  // present: not added again
    EXPECT_EQ(w->lstAttributes->currentRow(), 1);
    pick(w->lstSelected, {1});
    step(w->btnRemove, "|REFDES", "111100");
    step(w->btnRemove, "|REFDES", "111100");  // nothing selected
    pick(w->lstSelected, {0});
    step(w->btnRemove, "", "110000");
    step(w->btnAddAll, "|REFDES|Part Number|Value", "111111");
    step(w->btnRemoveAll, "", "110000");
    pick(w->lstAttributes, {2});
    QTest::mouseDClick(w->lstAttributes->viewport(), Qt::LeftButton, {},
                       w->lstAttributes->visualItemRect(w->lstAttributes->item(2)).center());
    EXPECT_EQ(columns(), "|Value");
    EXPECT_EQ(w->lstAttributes->selectedItems().size(), 0);  // the last one: nothing below
    EXPECT_EQ(buttons(), "111100");
    step(w->btnloadChoice, "", "111100");  // an empty selection enables nothing

    tool.design->components = {design::makeComponent("R1", {{"Value", "1k"}})};
    open();
    click(w->btnLoad);
    step(w->btnAdd, "", "111111");
    step(w->btnRemoveAll, "", "110000");
    step(w->btnAddAll, "|Value", "111100");
}

TEST_F(MainWindow, DraggedAttributesAreCopiedToTheColumnList) {
    open();
    click(w->btnLoad);
    pick(w->lstAttributes, {1});
    click(w->btnAdd);
    pick(w->lstAttributes, {0, 1});
    for (const auto keys : {Qt::NoModifier, Qt::ShiftModifier}) {
        EXPECT_EQ(drag(keys), Qt::CopyAction);
        EXPECT_EQ(columns(), "|Part Number|REFDES");
        EXPECT_EQ(texts(w->lstAttributes->model()), "|REFDES|Part Number|Value");
    }
    pick(w->lstAttributes, {2});
    EXPECT_EQ(drag(Qt::ControlModifier), Qt::CopyAction);
    EXPECT_EQ(columns(), "|Part Number|REFDES|Value");
    EXPECT_EQ(w->lstAttributes->selectedItems().size(), 1);
}

TEST_F(MainWindow, MoveAndCompressWithItsKey) {
    open();
    click(w->btnLoad, w->btnAddAll);
    pick(w->lstSelected, {0});
    click(w->btnMoveDown, w->btnMoveDown, w->btnMoveDown, w->btnMoveUp);
    EXPECT_EQ(columns(), "|Part Number|REFDES|Value");
    EXPECT_EQ(w->lstSelected->currentRow(), 1);
    pick(w->lstSelected, {0, 1});  // two selected: neither moves
    click(w->btnMoveUp, w->btnMoveDown, w->chkCompress);
    EXPECT_EQ(columns(), "|Part Number|REFDES|Value|QTY");
    EXPECT_TRUE(w->btnkey->isVisible() && w->lblkey->isVisible() && w->label->isVisible());
    pick(w->lstSelected, {3});
    click(w->btnMoveUp);  // QTY is found wherever it stands
    pick(w->lstSelected, {0});
    click(w->btnkey, w->chkCompress);
    EXPECT_EQ(columns(), "|Part Number|REFDES|Value");
    EXPECT_FALSE(w->btnkey->isVisible() || w->lblkey->isVisible() || w->label->isVisible());
    click(w->chkCompress);
    EXPECT_EQ(columns(), "|Part Number|REFDES|Value|QTY");
    EXPECT_EQ(w->lblkey->text(), "Part Number");
    click(w->btnReport);
    EXPECT_EQ(file("board.csv"),
              crlf({"Part Number,REFDES,Value,QTY", "GRM,C1,100n,1", "RC0603-1K,\"R1, R2\",1k,2"}));
    EXPECT_EQ(status(), "Report written: " + project.file("board.csv") + " (2 rows)");
    // The removed entry had the focus: none has it now, and no key is taken from it.
    pick(w->lstSelected, {0});
    click(w->btnRemove, w->btnkey, w->btnReport);
    const std::string noKey =
        "You have selected to Compress Report, you must select a Key. Select the key in the "
        "Attribute Selected list and select the 'Select Part Number' button";
    EXPECT_EQ(messages, std::vector<std::string>{noKey});
    EXPECT_EQ(status(), noKey);
}

TEST_F(MainWindow, SavedSelectionsAreSavedLoadedReportedAndDeleted) {
    open();
    click(w->btnLoad, w->btnSaveAs, w->btnAddAll, w->chkCompress);
    pick(w->lstSelected, {1});
    click(w->btnkey);
    QTest::keyClicks(w->txtSaveAs, "Board");
    click(w->btnSaveAs, w->btnRemoveAll, w->chkCompress);
    pick(w->lstAttributes, {0, 2});
    click(w->btnAdd);
    w->txtSaveAs->setText("Cables");
    click(w->btnSaveAs);
    w->txtSaveAs->setText("Board");
    click(w->btnSaveAs);
    EXPECT_EQ(messages, (std::vector<std::string>{
                            "You need to give the report a name before saving it!",
                            "This Report Name already exists. Can not save as this name!"}));
    EXPECT_EQ(file("vexloattributes.qzv"),
              crlf({"** Board", "REFDES", "Part Number", "Value", "QTY", "==Part Number",
                    "** Cables", "REFDES", "Value"}));
    EXPECT_EQ(texts(w->cmbChoice->model()), "|Board|Cables");

    click(w->btnRemoveAll, w->btnloadChoice);
    EXPECT_EQ(columns(), "|REFDES|Part Number|Value|QTY");
    EXPECT_TRUE(w->chkCompress->isChecked());
    EXPECT_EQ(w->lblkey->text(), "Part Number");
    EXPECT_EQ(buttons(), "111111");
    const std::string board =
        crlf({"REFDES,Part Number,Value,QTY", "C1,GRM,100n,1", "\"R1, R2\",RC0603-1K,1k,2"});
    EXPECT_EQ(file("board_Board.csv"), board);
    EXPECT_EQ(status(), "Report written: " + project.file("board_Board.csv") + " (2 rows)");

    std::filesystem::remove(project.file("board_Board.csv"));
    click(w->btnLoadAll);
    EXPECT_EQ(file("board_Board.csv"), board);
    EXPECT_EQ(file("board_Cables.csv"), crlf({"REFDES,Value", "R1,1k", "R2,1k", "C1,100n"}));
    EXPECT_EQ(columns() + (w->chkCompress->isChecked() ? " compressed" : ""),
              "|REFDES|Value");  // the last one
    EXPECT_EQ(status(), "Load All: 2 reports written, 0 failed");
    EXPECT_EQ(messages.size(), 2u);

    click(w->btnDeleteChoice);
    EXPECT_EQ(file("vexloattributes.qzv"), crlf({"** Cables", "REFDES", "Value"}));
    EXPECT_EQ(texts(w->cmbChoice->model()), "|Cables");
    test::writeFile(project.file("vexloattributes.qzv"),
                    crlf({"** Bad", "Value", "QTY", "==Missing", "** Good", "Value"}));
    w->cmbChoice->clear();
    w->cmbChoice->addItems({"Bad", "Good"});
    click(w->btnLoadAll);
    EXPECT_EQ(messages.size(), 3u);
    EXPECT_TRUE(messages.back().starts_with("Some reports were not written:\nBad: Error 1004: "));
    EXPECT_FALSE(std::filesystem::exists(project.file("board_Bad.csv")));
    EXPECT_EQ(file("board_Good.csv"), crlf({"Value", "1k", "1k", "100n"}));
    EXPECT_EQ(status(), "Load All: 1 report written, 1 failed");
}

// Options opens the Options window; its Save sets the option fields the reports use.
TEST_F(MainWindow, OptionsSaveChangesTheReportFormat) {
    open();
    click(w->btnLoad, w->btnAddAll);
    QTimer::singleShot(50, [] {
        QWidget* form = QApplication::activeModalWidget();
        ASSERT_NE(form, nullptr);
        form->findChild<QComboBox*>("ExportFileFormat")->setCurrentIndex(1);
        QTest::mouseClick(form->findChild<QPushButton*>("btnSave"), Qt::LeftButton);
    });
    click(w->btnOption);
    EXPECT_EQ(w->optionFields().Export_File_Format, 1);
    click(w->btnReport);
    EXPECT_EQ(status(), "Report written: " + project.file("board.txt") + " (3 rows)");
}

}  // namespace
}  // namespace vexlo
