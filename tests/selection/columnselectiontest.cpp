#include "selection/columnselection.h"

#include <gtest/gtest.h>

#include <memory>

#include <QApplication>
#include <QCheckBox>
#include <QDrag>
#include <QDropEvent>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QTest>

#include "qtprinters.h"
#include "selection/droplist.h"

namespace vexlo::selection {
namespace {

// The lists, buttons and key controls as the main window has them, wired to the rules.
class ColumnSelectionTest : public ::testing::Test {
protected:
    ColumnSelectionTest() {
        window.resize(600, 400);
        lstAttributes = new QListWidget(&window);
        lstAttributes->setGeometry(0, 0, 200, 300);
        lstAttributes->setSelectionMode(QAbstractItemView::ExtendedSelection);
        lstAttributes->setDragEnabled(true);
        lstAttributes->setDragDropMode(QAbstractItemView::DragOnly);
        lstSelected = new DropList(&window);
        lstSelected->setGeometry(300, 0, 200, 300);
        lstSelected->setSelectionMode(QAbstractItemView::ExtendedSelection);
        for (QPushButton** button :
             {&btnAdd, &btnAddAll, &btnRemove, &btnRemoveAll, &btnMoveUp, &btnMoveDown, &btnkey}) {
            *button = new QPushButton(&window);
            (*button)->setEnabled(button == &btnkey);
        }
        chkCompress = new QCheckBox(&window);
        lblkey = new QLabel(&window);
        label = new QLabel(&window);
        for (QWidget* hidden : {static_cast<QWidget*>(btnkey), static_cast<QWidget*>(lblkey),
                                static_cast<QWidget*>(label)}) {
            hidden->hide();
        }
        rules = std::make_unique<ColumnSelection>(
            ColumnControls{lstAttributes, lstSelected, btnAdd, btnAddAll, btnRemove, btnRemoveAll,
                           btnMoveUp, btnMoveDown, chkCompress, btnkey, lblkey, label});
        QObject::connect(chkCompress, &QCheckBox::toggled, [this](bool checked) {
            rules->compressChanged(checked, settingCompress);
        });
        QObject::connect(btnkey, &QPushButton::clicked, [this] { rules->selectKey(); });
        QObject::connect(lstSelected, &DropList::dropped, [this] { rules->drop(); });
        window.show();
    }

    void attributes(const QStringList& names) { lstAttributes->addItems(names); }
    void selected(const QStringList& names) { lstSelected->addItems(names); }

    static QStringList texts(const QListWidget* list) {
        QStringList result;
        for (int row = 0; row < list->count(); ++row) {
            result.append(list->item(row)->text());
        }
        return result;
    }
    static std::vector<int> selectedRows(const QListWidget* list) {
        std::vector<int> rows;
        for (int row = 0; row < list->count(); ++row) {
            if (list->item(row)->isSelected()) {
                rows.push_back(row);
            }
        }
        return rows;
    }
    // Selects exactly these rows the way a user does: a click, then Ctrl+clicks.
    static void pick(QListWidget* list, const std::vector<int>& rows) {
        list->clearSelection();
        bool first = true;
        for (int row : rows) {
            const QPoint at = list->visualItemRect(list->item(row)).center();
            QTest::mouseClick(list->viewport(), Qt::LeftButton,
                              first ? Qt::NoModifier : Qt::ControlModifier, at);
            first = false;
        }
    }
    // Enabled state of Add, Add All, Remove, Remove All, Move Up, Move Down, as "101100".
    std::string buttons() const {
        std::string states;
        for (const QPushButton* button :
             {btnAdd, btnAddAll, btnRemove, btnRemoveAll, btnMoveUp, btnMoveDown}) {
            states += button->isEnabled() ? '1' : '0';
        }
        return states;
    }
    // Drags the selected attributes onto lstSelected with the keys held and returns the action
    // the drop was taken as. The drag starts with the mouse, so lstAttributes makes its own
    // QDrag; QDrag::exec returns at once on the offscreen platform, so the events the window
    // system delivers are sent here, with that drag's data and actions (or foreign data), to the
    // widget under the point that takes drops. A drop taken as a move makes lstAttributes
    // remove the dragged rows, as its startDrag does when exec returns a move.
    Qt::DropAction dragToSelected(Qt::KeyboardModifiers keys, const QMimeData* foreign = nullptr,
                                  QPoint point = QPoint(100, 100)) {
        std::unique_ptr<QDrag> drag;
        if (foreign == nullptr) {
            const QPoint from =
                lstAttributes->visualItemRect(lstAttributes->selectedItems().front()).center();
            QTest::mousePress(lstAttributes->viewport(), Qt::LeftButton, Qt::NoModifier, from);
            // The first move makes the list ready to drag, the next one past the drag distance
            // starts the drag.
            for (const int step : {1, 3 * QApplication::startDragDistance()}) {
                QTest::mouseMove(lstAttributes->viewport(), from + QPoint(0, step));
            }
            // The drag consumes the release; the list never sees it.
            QTest::mouseRelease(&window, Qt::LeftButton);
            drag.reset(lstAttributes->findChild<QDrag*>(QString(), Qt::FindDirectChildrenOnly));
            if (drag == nullptr) {
                ADD_FAILURE() << "lstAttributes started no drag";
                return Qt::IgnoreAction;
            }
        }
        const QMimeData* data = drag ? drag->mimeData() : foreign;
        const Qt::DropActions actions =
            drag ? drag->supportedActions() : Qt::CopyAction | Qt::MoveAction;
        const QPoint at = lstSelected->viewport()->mapTo(&window, point);
        QWidget* target = window.childAt(at);
        while (target != nullptr && target != &window && !target->acceptDrops()) {
            target = target->parentWidget();
        }
        if (target == nullptr || !target->acceptDrops()) {
            return Qt::IgnoreAction;
        }
        const QPoint local = target->mapFrom(&window, at);
        QDragEnterEvent enter(local, actions, data, Qt::LeftButton, keys);
        QApplication::sendEvent(target, &enter);
        QDragMoveEvent move(local, actions, data, Qt::LeftButton, keys);
        QApplication::sendEvent(target, &move);
        if (!enter.isAccepted() || !move.isAccepted()) {
            return Qt::IgnoreAction;
        }
        QDropEvent drop(QPointF(local), actions, data, Qt::LeftButton, keys);
        QApplication::sendEvent(target, &drop);
        const Qt::DropAction result = drop.isAccepted() ? drop.dropAction() : Qt::IgnoreAction;
        if (result == Qt::MoveAction) {
            for (int row = lstAttributes->count() - 1; row >= 0; --row) {
                if (lstAttributes->item(row)->isSelected()) {
                    delete lstAttributes->takeItem(row);
                }
            }
        }
        return result;
    }

    void enableLoaded() {
        btnAdd->setEnabled(true);
        btnAddAll->setEnabled(true);
        btnMoveUp->setEnabled(true);
        btnMoveDown->setEnabled(true);
    }

    QWidget window;
    QListWidget* lstAttributes = nullptr;
    DropList* lstSelected = nullptr;
    QPushButton *btnAdd = nullptr, *btnAddAll = nullptr, *btnRemove = nullptr,
                *btnRemoveAll = nullptr, *btnMoveUp = nullptr, *btnMoveDown = nullptr,
                *btnkey = nullptr;
    QCheckBox* chkCompress = nullptr;
    QLabel* lblkey = nullptr;
    QLabel* label = nullptr;
    bool settingCompress = false;
    std::unique_ptr<ColumnSelection> rules;
};

// --- Add ---

TEST_F(ColumnSelectionTest, AddWithNothingSelectedAppendsNothingButEnablesRemove) {
    attributes({"A", "B"});
    rules->add();
    EXPECT_TRUE(texts(lstSelected).isEmpty());
    EXPECT_EQ(buttons(), "001100");
}

TEST_F(ColumnSelectionTest, AddEnablesMoveOnlyAtExactlyTwoEntries) {
    attributes({"A", "B", "C"});
    selected({"X", "Y"});
    rules->add();
    EXPECT_EQ(buttons(), "001111");
    btnMoveUp->setEnabled(false);
    btnMoveDown->setEnabled(false);
    pick(lstAttributes, {0});
    rules->add();
    EXPECT_EQ(texts(lstSelected), (QStringList{"X", "Y", "A"}));
    EXPECT_EQ(buttons(), "001100");
}

TEST_F(ColumnSelectionTest, AddThreeSelectedKeepsMoveDisabledAddAllEnablesIt) {
    attributes({"A", "B", "C"});
    pick(lstAttributes, {0, 1, 2});
    rules->add();
    EXPECT_EQ(texts(lstSelected), (QStringList{"A", "B", "C"}));
    EXPECT_EQ(buttons(), "001100");
    EXPECT_EQ(selectedRows(lstAttributes), (std::vector<int>{0, 1, 2}));
    rules->addAll();
    EXPECT_EQ(buttons(), "001111");
}

TEST_F(ColumnSelectionTest, AddOfPresentNameStillMovesSelectionDown) {
    attributes({"A", "B", "C"});
    selected({"A"});
    pick(lstAttributes, {0});
    rules->add();
    EXPECT_EQ(texts(lstSelected), QStringList{"A"});
    EXPECT_EQ(selectedRows(lstAttributes), std::vector<int>{1});
    EXPECT_EQ(lstAttributes->currentRow(), 1);
}

TEST_F(ColumnSelectionTest, AddOfLastEntryLeavesNothingSelected) {
    attributes({"A", "B"});
    pick(lstAttributes, {1});
    rules->add();
    EXPECT_EQ(texts(lstSelected), QStringList{"B"});
    EXPECT_TRUE(selectedRows(lstAttributes).empty());
    EXPECT_EQ(lstAttributes->currentRow(), -1);
}

TEST_F(ColumnSelectionTest, RepeatedAddWalksDownTheList) {
    attributes({"A", "B", "C"});
    pick(lstAttributes, {0});
    for (int click = 0; click < 3; ++click) {
        rules->add();
    }
    EXPECT_EQ(texts(lstSelected), (QStringList{"A", "B", "C"}));
}

TEST_F(ColumnSelectionTest, DuplicatesAreCaseSensitive) {
    attributes({"value", "Value", "Value"});
    selected({"Value"});
    rules->addAll();
    EXPECT_EQ(texts(lstSelected), (QStringList{"Value", "value"}));
}

TEST_F(ColumnSelectionTest, AddAllIgnoresSelectionAndAppendsEachNameOnce) {
    attributes({"A", "B", "A", "C"});
    pick(lstAttributes, {1});
    rules->addAll();
    EXPECT_EQ(texts(lstSelected), (QStringList{"A", "B", "C"}));
    EXPECT_EQ(selectedRows(lstAttributes), std::vector<int>{1});
}

TEST_F(ColumnSelectionTest, AddAllOfOneNameLeavesMoveDisabled) {
    attributes({"A"});
    rules->addAll();
    EXPECT_EQ(buttons(), "001100");
}

// --- Remove ---

TEST_F(ColumnSelectionTest, RemoveWalksFromTheEnd) {
    selected({"0", "1", "2", "3", "4"});
    pick(lstSelected, {0, 2, 3});
    btnRemove->setEnabled(true);
    btnRemoveAll->setEnabled(true);
    btnMoveUp->setEnabled(true);
    btnMoveDown->setEnabled(true);
    rules->remove();
    EXPECT_EQ(texts(lstSelected), (QStringList{"1", "4"}));
    EXPECT_EQ(buttons(), "001111");
}

struct RemoveRuleCase {
    const char* title;
    QStringList entries;
    std::vector<int> picked;
    const char* buttonsAfter;
};

class RemoveRule : public ColumnSelectionTest,
                   public ::testing::WithParamInterface<RemoveRuleCase> {};

TEST_P(RemoveRule, AppliesButtonRuleWhateverWasRemoved) {
    const RemoveRuleCase& c = GetParam();
    selected(c.entries);
    pick(lstSelected, c.picked);
    for (QPushButton* button : {btnRemove, btnRemoveAll, btnMoveUp, btnMoveDown}) {
        button->setEnabled(true);
    }
    rules->remove();
    EXPECT_EQ(buttons(), c.buttonsAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RemoveRule,
    ::testing::Values(RemoveRuleCase{"NothingSelectedEmptyList", {}, {}, "000000"},
                      RemoveRuleCase{"NothingSelectedOneEntry", {"A"}, {}, "001100"},
                      RemoveRuleCase{"NothingSelectedTwoEntries", {"A", "B"}, {}, "001111"},
                      RemoveRuleCase{"LastEntryRemoved", {"A"}, {0}, "000000"},
                      RemoveRuleCase{"OneLeft", {"A", "B"}, {1}, "001100"},
                      RemoveRuleCase{"TwoLeft", {"A", "B", "C"}, {0}, "001111"}),
    [](const auto& info) { return std::string(info.param.title); });

TEST_F(ColumnSelectionTest, RemovingTheCurrentEntryLeavesNoCurrentEntry) {
    selected({"A", "B", "C"});
    pick(lstSelected, {1});
    rules->remove();
    EXPECT_EQ(lstSelected->currentItem(), nullptr);
    rules->selectKey();
    EXPECT_EQ(lblkey->text(), "");
}

TEST_F(ColumnSelectionTest, RemoveAllClearsAndDisablesFour) {
    enableLoaded();
    selected({"A", "B"});
    rules->removeAll();
    EXPECT_TRUE(texts(lstSelected).isEmpty());
    EXPECT_EQ(buttons(), "110000");
}

// --- Move ---

struct MoveCase {
    const char* title;
    bool up;
    std::vector<int> picked;
    QStringList after;
    std::vector<int> selectedAfter;
};

class Move : public ColumnSelectionTest, public ::testing::WithParamInterface<MoveCase> {};

TEST_P(Move, SwapsWithNeighbourOrChangesNothing) {
    const MoveCase& c = GetParam();
    selected({"0", "1", "2"});
    pick(lstSelected, c.picked);
    const std::string before = buttons();
    c.up ? rules->moveUp() : rules->moveDown();
    EXPECT_EQ(texts(lstSelected), c.after);
    EXPECT_EQ(selectedRows(lstSelected), c.selectedAfter);
    EXPECT_EQ(buttons(), before);
    if (c.selectedAfter.size() == 1) {
        EXPECT_EQ(lstSelected->currentRow(), c.selectedAfter.front());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Move,
    ::testing::Values(MoveCase{"DownFromTop", false, {0}, {"1", "0", "2"}, {1}},
                      MoveCase{"UpFromBottom", true, {2}, {"0", "2", "1"}, {1}},
                      MoveCase{"UpOnFirstDoesNothing", true, {0}, {"0", "1", "2"}, {0}},
                      MoveCase{"DownOnLastDoesNothing", false, {2}, {"0", "1", "2"}, {2}},
                      MoveCase{"TwoSelectedDoNotMove", false, {0, 1}, {"0", "1", "2"}, {0, 1}},
                      MoveCase{"NoneSelectedDoesNothing", true, {}, {"0", "1", "2"}, {}}),
    [](const auto& info) { return std::string(info.param.title); });

TEST_F(ColumnSelectionTest, MoveDownMovesOnePlacePerClick) {
    selected({"0", "1", "2", "3"});
    pick(lstSelected, {0});
    rules->moveDown();
    rules->moveDown();
    EXPECT_EQ(texts(lstSelected), (QStringList{"1", "2", "0", "3"}));
}

// --- Drop ---

struct DropCase {
    const char* title;
    Qt::KeyboardModifiers keys;
    bool foreignData;  // text data dropped at the list's corner instead of the dragged entries
};

class Drop : public ColumnSelectionTest, public ::testing::WithParamInterface<DropCase> {};

// Whatever the keys and the data, the drop is a copy: the selected attributes that are absent
// are appended, lstAttributes keeps its entries and selection, and no button changes.
TEST_P(Drop, AppendsSelectedAbsentNamesAndLeavesTheAttributes) {
    const DropCase& c = GetParam();
    const QStringList names = {"A", "B", "C", "D"};
    attributes(names);
    selected({"B"});
    enableLoaded();
    pick(lstAttributes, {0, 1, 3});
    QMimeData text;
    text.setText("ignored");
    const Qt::DropAction action =
        c.foreignData ? dragToSelected(c.keys, &text, QPoint(1, 1)) : dragToSelected(c.keys);
    EXPECT_EQ(action, Qt::CopyAction);
    EXPECT_EQ(texts(lstSelected), (QStringList{"B", "A", "D"}));
    EXPECT_EQ(texts(lstAttributes), names);
    EXPECT_EQ(selectedRows(lstAttributes), (std::vector<int>{0, 1, 3}));
    EXPECT_EQ(buttons(), "110011");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Drop,
    ::testing::Values(DropCase{"NoKey", Qt::NoModifier, false},
                      DropCase{"Shift", Qt::ShiftModifier, false},
                      DropCase{"Ctrl", Qt::ControlModifier, false},
                      DropCase{"CtrlShift", Qt::ControlModifier | Qt::ShiftModifier, false},
                      DropCase{"ForeignDataAtTheCorner", Qt::NoModifier, true},
                      DropCase{"ForeignDataWithShift", Qt::ShiftModifier, true}),
    [](const auto& info) { return std::string(info.param.title); });

// --- Compress and key ---

TEST_F(ColumnSelectionTest, CheckOnEmptyListGivesQtyAndShowsKeyControls) {
    chkCompress->setChecked(true);
    EXPECT_EQ(texts(lstSelected), QStringList{"QTY"});
    EXPECT_TRUE(btnkey->isVisible());
    EXPECT_TRUE(lblkey->isVisible());
    EXPECT_TRUE(label->isVisible());
}

TEST_F(ColumnSelectionTest, CheckUncheckCheckKeepsOneQtyAndTheKey) {
    selected({"Part Number"});
    chkCompress->setChecked(true);
    pick(lstSelected, {0});
    QTest::mouseClick(btnkey, Qt::LeftButton);
    EXPECT_EQ(lblkey->text(), "Part Number");
    chkCompress->setChecked(false);
    EXPECT_FALSE(lblkey->isVisible());
    EXPECT_EQ(texts(lstSelected), QStringList{"Part Number"});
    chkCompress->setChecked(true);
    EXPECT_EQ(texts(lstSelected), (QStringList{"Part Number", "QTY"}));
    EXPECT_TRUE(lblkey->isVisible());
    EXPECT_EQ(lblkey->text(), "Part Number");
}

TEST_F(ColumnSelectionTest, SecondQtyAppendedAndUncheckRemovesTheLater) {
    selected({"QTY", "Value"});
    chkCompress->setChecked(true);
    EXPECT_EQ(texts(lstSelected), (QStringList{"QTY", "Value", "QTY"}));
    chkCompress->setChecked(false);
    EXPECT_EQ(texts(lstSelected), (QStringList{"QTY", "Value"}));
}

TEST_F(ColumnSelectionTest, UncheckFindsQtyMovedToTop) {
    selected({"Value"});
    chkCompress->setChecked(true);
    pick(lstSelected, {1});
    rules->moveUp();
    EXPECT_EQ(texts(lstSelected), (QStringList{"QTY", "Value"}));
    chkCompress->setChecked(false);
    EXPECT_EQ(texts(lstSelected), QStringList{"Value"});
}

TEST_F(ColumnSelectionTest, UncheckLeavesOtherCaseAlone) {
    chkCompress->setChecked(true);
    lstSelected->clear();
    selected({"qty", "Qty"});
    chkCompress->setChecked(false);
    EXPECT_EQ(texts(lstSelected), (QStringList{"qty", "Qty"}));
}

TEST_F(ColumnSelectionTest, SettingTheSameValueRunsNothing) {
    chkCompress->setChecked(false);
    selected({"QTY"});
    chkCompress->setChecked(false);
    EXPECT_EQ(texts(lstSelected), QStringList{"QTY"});
}

TEST_F(ColumnSelectionTest, LoadingCheckAppendsNoQty) {
    selected({"REFDES", "QTY"});
    settingCompress = true;
    chkCompress->setChecked(true);
    settingCompress = false;
    EXPECT_EQ(texts(lstSelected), (QStringList{"REFDES", "QTY"}));
    EXPECT_TRUE(btnkey->isVisible());
}

TEST_F(ColumnSelectionTest, KeyIsTheCurrentEntryOrEmpty) {
    selected({"A", "B"});
    lblkey->setText("old");
    rules->selectKey();
    EXPECT_EQ(lblkey->text(), "");
    pick(lstSelected, {1});
    rules->selectKey();
    EXPECT_EQ(lblkey->text(), "B");
}

TEST_F(ColumnSelectionTest, RemovingOrMovingTheKeyEntryKeepsTheKey) {
    selected({"A", "B"});
    pick(lstSelected, {1});
    rules->selectKey();
    rules->moveUp();
    EXPECT_EQ(lblkey->text(), "B");
    rules->remove();
    EXPECT_EQ(texts(lstSelected), QStringList{"A"});
    EXPECT_EQ(lblkey->text(), "B");
}

TEST_F(ColumnSelectionTest, ManyNamesAreAllAdded) {
    QStringList names;
    for (int i = 0; i < 40000; ++i) {
        names.append(QString::number(i));
    }
    attributes(names);
    rules->addAll();
    ASSERT_EQ(lstSelected->count(), 40000);
    EXPECT_EQ(lstSelected->item(39999)->text(), "39999");
}

}  // namespace
}  // namespace vexlo::selection
