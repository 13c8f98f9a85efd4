#include "main/vexlo.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QTest>

#include "common/error.h"
#include "fakeproject.h"
#include "faketool.h"
#include "qtprinters.h"
#include "testsupport.h"

namespace vexlo {
namespace {

using design::makeComponent;
using test::crlf;
using test::readFile;
using test::writeFile;

// A window attached to an in-memory tool whose project lives in a fresh folder.
class WindowTest : public ::testing::Test {
protected:
    WindowTest() { test::serveProjectIn(tool, project, "board"); }

    Vexlo& open() {
        window = std::make_unique<Vexlo>(tool.connector());
        window->showMessage = [this](const QString& text) { messages.push_back(text); };
        started = window->Form_Load();
        window->show();
        return *window;
    }

    template <typename Control>
    Control* control(const char* name) {
        auto* found = window->findChild<Control*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    void click(const char* name) { QTest::mouseClick(control<QPushButton>(name), Qt::LeftButton); }

    static QStringList texts(const QListWidget* list) {
        QStringList result;
        for (int row = 0; row < list->count(); ++row) {
            result.append(list->item(row)->text());
        }
        return result;
    }
    static QStringList items(const QComboBox* box) {
        QStringList result;
        for (int index = 0; index < box->count(); ++index) {
            result.append(box->itemText(index));
        }
        return result;
    }

    test::TempDir project;
    design::FakeTool tool;
    std::unique_ptr<Vexlo> window;
    std::vector<QString> messages;
    bool started = false;
};

// --- The window as it opens ---

struct ControlCase {
    const char* name;
    const char* className;
    const char* text;
    QRect geometry;  // pixels, from twips / 15
    bool hidden;
    bool enabled;
    int tabIndex;  // -1: not in the keyboard order (labels)
};

class InitialState : public WindowTest, public ::testing::WithParamInterface<ControlCase> {};

TEST_P(InitialState, ControlAsDeclared) {
    open();
    const ControlCase& c = GetParam();
    auto* widget = control<QWidget>(c.name);
    ASSERT_NE(widget, nullptr);
    EXPECT_TRUE(widget->inherits(c.className)) << widget->metaObject()->className();
    EXPECT_EQ(widget->geometry(), c.geometry);
    EXPECT_EQ(widget->isHidden(), c.hidden);
    EXPECT_EQ(widget->isEnabled(), c.enabled);
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        EXPECT_EQ(button->text(), QString::fromUtf8(c.text));
    } else if (auto* labelWidget = qobject_cast<QLabel*>(widget)) {
        if (c.text != nullptr) {
            EXPECT_EQ(labelWidget->text(), QString::fromUtf8(c.text));
        }
    } else if (auto* list = qobject_cast<QListWidget*>(widget)) {
        EXPECT_EQ(list->count(), 0);
        EXPECT_EQ(list->selectionMode(), QAbstractItemView::ExtendedSelection);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, InitialState,
    ::testing::Values(
        ControlCase{
            "btnkey", "QPushButton", "Select Part Number", {184, 240, 121, 25}, true, true, 22},
        ControlCase{"chkCompress", "QCheckBox", "Compress", {192, 216, 105, 25}, false, true, 19},
        ControlCase{
            "btnLoad", "QPushButton", "Load Design Attributes", {0, 136, 177, 49}, false, true, 17},
        ControlCase{"btnOption", "QPushButton", "Options", {320, 432, 73, 25}, false, true, 16},
        ControlCase{"btnClose", "QPushButton", "Close", {400, 432, 81, 25}, false, true, 15},
        ControlCase{
            "btnDeleteChoice", "QPushButton", "Delete Choice", {48, 416, 89, 25}, false, true, 14},
        ControlCase{"btnLoadAll", "QPushButton", "Load All", {96, 376, 81, 25}, false, true, 13},
        ControlCase{
            "btnloadChoice", "QPushButton", "Load Choices", {8, 376, 81, 25}, false, true, 12},
        ControlCase{"cmbChoice", "QComboBox", nullptr, {8, 352, 169, 21}, false, true, 11},
        ControlCase{
            "btnSaveAs", "QPushButton", "Save Selection", {312, 392, 169, 25}, false, true, 10},
        ControlCase{"txtSaveAs", "QLineEdit", nullptr, {312, 360, 169, 25}, false, true, 9},
        ControlCase{
            "btnReport", "QPushButton", "Create Report", {200, 296, 97, 41}, false, true, 8},
        ControlCase{"btnMoveDown", "QPushButton", "Move Down", {208, 176, 81, 25}, false, false, 7},
        ControlCase{"btnMoveUp", "QPushButton", "Move Up", {208, 152, 81, 25}, false, false, 6},
        ControlCase{
            "btnRemoveAll", "QPushButton", "<< Remove All", {208, 112, 81, 25}, false, false, 5},
        ControlCase{"btnRemove", "QPushButton", "<< Remove", {208, 88, 81, 25}, false, false, 4},
        ControlCase{"btnAddAll", "QPushButton", "Add All >>", {208, 56, 81, 25}, false, false, 3},
        ControlCase{"btnAdd", "QPushButton", "Add >>", {208, 32, 81, 25}, false, false, 2},
        ControlCase{"lstSelected", "QListWidget", nullptr, {312, 32, 177, 303}, false, true, 1},
        ControlCase{"lstAttributes", "QListWidget", nullptr, {0, 32, 177, 303}, true, true, 0},
        ControlCase{"lblkey", "QLabel", "", {216, 272, 97, 17}, true, true, 21},
        ControlCase{"label", "QLabel", "Key:", {184, 272, 113, 25}, true, true, 20},
        ControlCase{"Label1", "QLabel", nullptr, {184, 360, 121, 73}, false, true, 18},
        // Below the controls' area, which keeps its size; the window grows by its height.
        ControlCase{"lblStatus", "QLabel", "", {8, 463, 480, 17}, false, true, -1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WindowTest, WindowCaptionSizeAndTabOrder) {
    open();
    EXPECT_TRUE(window->windowTitle().startsWith("Vexlo - "));
    EXPECT_GT(window->windowTitle().size(), 8);
    EXPECT_EQ(window->size(), QSize(496, 480));
    // Focus moves through the focusable controls by tab index.
    const QStringList expected{"lstSelected",  "btnAdd",          "btnAddAll",   "btnRemove",
                               "btnRemoveAll", "btnMoveUp",       "btnMoveDown", "btnReport",
                               "txtSaveAs",    "btnSaveAs",       "cmbChoice",   "btnloadChoice",
                               "btnLoadAll",   "btnDeleteChoice", "btnClose",    "btnOption",
                               "btnLoad",      "chkCompress",     "btnkey"};
    QStringList order;
    QWidget* widget = control<QWidget>("lstAttributes");
    for (int step = 0; step < 40 && order.size() < expected.size(); ++step) {
        widget = widget->nextInFocusChain();
        if (expected.contains(widget->objectName()) && !order.contains(widget->objectName())) {
            order.append(widget->objectName());
        }
    }
    EXPECT_EQ(order, expected);
}

TEST_F(WindowTest, OptionFieldsStartFromDefaultsWithoutSettingsFile) {
    open();
    const options::Settings& fields = window->optionFields();
    EXPECT_EQ(fields.Excel_Start, 1);
    EXPECT_EQ(fields.Header_Font_Size, 10);
    EXPECT_EQ(fields.Value_Font_Size, 10);
    EXPECT_EQ(fields.Export_File_Format, 0);
    EXPECT_EQ(fields.Excel_File_Start, "");
}

// --- Start-up ---

// Without a session bus the message says so, rather than that the tool is not running.
TEST_F(WindowTest, StartWithoutToolShowsMessageAndTouchesNoFile) {
    for (const auto& [number, message] :
         {std::pair{errc::ToolNotRunning,
                    "You need to have Trelmo Schemora Open to run this program!"},
          std::pair{errc::NoSessionBus,
                    "There is no D-Bus session bus (DBUS_SESSION_BUS_ADDRESS is unset or cannot "
                    "be reached), so the schematic tool cannot be found"}}) {
        messages.clear();
        Vexlo noTool([number = number]() -> std::unique_ptr<design::SchematicTool> {
            throw Error(number, "out of reach");
        });
        noTool.showMessage = [this](const QString& text) { messages.push_back(text); };
        EXPECT_FALSE(noTool.Form_Load());
        EXPECT_EQ(messages, std::vector<QString>{message});
    }
    EXPECT_EQ(project.listing(), std::vector<std::string>{"sch"});
}

TEST_F(WindowTest, StartWithoutSavedSelectionsGivesEmptyList) {
    open();
    EXPECT_TRUE(started);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(control<QComboBox>("cmbChoice")->count(), 0);
    EXPECT_EQ(control<QComboBox>("cmbChoice")->currentIndex(), -1);
    EXPECT_EQ(project.listing(), std::vector<std::string>{"sch"});
}

TEST_F(WindowTest, StartListsSavedSelectionsInFileOrderFirstSelected) {
    writeFile(project.file("vexloattributes.qzv"),
              crlf({"** Board", "REFDES", "** Cables", "Value", "==Value", "** Assembly"}));
    open();
    auto* box = control<QComboBox>("cmbChoice");
    EXPECT_EQ(items(box), (QStringList{"Board", "Cables", "Assembly"}));
    EXPECT_EQ(box->currentIndex(), 0);
    EXPECT_EQ(box->currentText(), "Board");
}

TEST_F(WindowTest, StartReadsSettingsFromTheSearchList) {
    test::TempDir shared;
    writeFile(shared.file("vexlosettings.qzv"), crlf({"Export_File_Format=3", "Excel_Start=4"}));
    ::setenv("QOSP", shared.path().c_str(), 1);
    open();
    ::unsetenv("QOSP");
    EXPECT_EQ(window->optionFields().Export_File_Format, 3);
    EXPECT_EQ(window->optionFields().Excel_Start, 4);
    // A key not in the file takes its default.
    EXPECT_EQ(window->optionFields().Header_Font_Size, 10);
}

// --- Load Design Attributes ---

TEST_F(WindowTest, LoadDesignAttributesFillsTheListAndGivesWay) {
    tool.design->components = {
        makeComponent("U1", {{"Part Number", "SN74HC00N"}, {"Value", "74HC00"}},
                      {{"Footprint", "DIP14"}}),
        makeComponent("U1", {{"Gate", "B"}}),
        makeComponent("", {{"Hidden", "x"}}),
        makeComponent("R1", {{"value", "1k"}, {"Value", "1k"}}, {{"Footprint", "0603"}}),
    };
    open();
    writeFile(project.file("vexloattributes.qzv"), crlf({"** Later"}));
    click("btnLoad");
    EXPECT_TRUE(messages.empty());
    auto* list = control<QListWidget>("lstAttributes");
    EXPECT_EQ(texts(list), (QStringList{"Part Number", "Value", "Footprint", "value"}));
    EXPECT_FALSE(list->isHidden());
    EXPECT_TRUE(control<QPushButton>("btnLoad")->isHidden());
    for (const char* enabled : {"btnAdd", "btnAddAll", "btnMoveUp", "btnMoveDown"}) {
        EXPECT_TRUE(control<QPushButton>(enabled)->isEnabled()) << enabled;
    }
    for (const char* disabled : {"btnRemove", "btnRemoveAll"}) {
        EXPECT_FALSE(control<QPushButton>(disabled)->isEnabled()) << disabled;
    }
    EXPECT_EQ(items(control<QComboBox>("cmbChoice")), QStringList{"Later"});
    EXPECT_EQ(window->attributeNames()[0], "");
    EXPECT_EQ(window->attributeNames().highestIndex(), 4u);
}

TEST_F(WindowTest, EmptyDesignShowsEmptyList) {
    open();
    click("btnLoad");
    EXPECT_EQ(control<QListWidget>("lstAttributes")->count(), 0);
    EXPECT_FALSE(control<QListWidget>("lstAttributes")->isHidden());
    EXPECT_TRUE(control<QPushButton>("btnLoad")->isHidden());
}

TEST_F(WindowTest, FailedHarvestIsReportedAndChangesNothing) {
    open();
    tool.documentName.reset();
    click("btnLoad");
    EXPECT_EQ(messages, std::vector<QString>{"Error 1001: The schematic tool has no active view"});
    EXPECT_TRUE(control<QListWidget>("lstAttributes")->isHidden());
    EXPECT_FALSE(control<QPushButton>("btnLoad")->isHidden());
    EXPECT_FALSE(control<QPushButton>("btnAdd")->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(WindowTest, DoubleClickAddsAndDropAppendsAbsent) {
    tool.design->components = {makeComponent("R1", {{"A", ""}, {"B", ""}, {"C", ""}})};
    open();
    click("btnLoad");
    auto* attributes = control<QListWidget>("lstAttributes");
    const QPoint second = attributes->visualItemRect(attributes->item(1)).center();
    QTest::mouseClick(attributes->viewport(), Qt::LeftButton, {}, second);
    QTest::mouseDClick(attributes->viewport(), Qt::LeftButton, {}, second);
    auto* selected = control<QListWidget>("lstSelected");
    EXPECT_EQ(texts(selected), QStringList{"B"});
    EXPECT_TRUE(attributes->item(2)->isSelected());
    EXPECT_TRUE(control<QPushButton>("btnRemove")->isEnabled());

    attributes->item(0)->setSelected(true);
    QMimeData data;
    QDragEnterEvent enter(QPoint(3, 3), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QDropEvent drop(QPointF(3, 3), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(selected->viewport(), &enter);
    QApplication::sendEvent(selected->viewport(), &drop);
    EXPECT_EQ(texts(selected), (QStringList{"B", "A", "C"}));
}

}  // namespace
}  // namespace vexlo
