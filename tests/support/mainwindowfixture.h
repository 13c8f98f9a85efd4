#pragma once

// The main window as a user works it, on an in-memory tool whose project is a fresh folder: the
// fixture of the window's, the column list's and the Preview's tests.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDrag>
#include <QDragEnterEvent>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <memory>
#include <string>
#include <vector>

#include "fakeproject.h"
#include "faketool.h"
#include "main/statusline.h"
#include "main/vexlo.h"
#include "selection/droplist.h"
#include "testsupport.h"

namespace vexlo::test {

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
        w->showMessage = [this](QMessageBox::Icon icon, const QString& text) {
            messages.push_back(text.toStdString());
            icons += icon == QMessageBox::Critical ? 'C' : icon == QMessageBox::Warning ? 'W' : '?';
        };
        const bool started = w->Form_Load();
        w->show();
        return started;
    }
    // Opens the Options window, chooses the output format and saves, as a user does.
    void saveOptionsWithFormat(int format) {
        QTimer::singleShot(50, [format] {
            QWidget* form = QApplication::activeModalWidget();
            ASSERT_NE(form, nullptr);
            EXPECT_EQ(QApplication::overrideCursor(), nullptr);  // the user works in it
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
    std::string icons;  // each message's icon: C critical, W warning
};

// Saves KiCad's complex_hierarchy demo root sheet with C8 at 1nF, not 820pF, as KiCad would;
// false when the sheet has no such C8.
inline bool setC8To1nF(const std::string& rootSheet) {
    std::string text = readFile(rootSheet);
    const std::string c8 = R"((reference "C8") (unit 1) (value "820pF"))";
    const std::size_t at = text.find(c8);
    if (at != std::string::npos) {
        writeFile(rootSheet,
                  text.replace(at, c8.size(), R"((reference "C8") (unit 1) (value "1nF"))"));
    }
    return at != std::string::npos;
}

}  // namespace vexlo::test
