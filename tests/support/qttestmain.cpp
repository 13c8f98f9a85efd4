// Test main for tests that drive real widgets: an offscreen QApplication with a fixed locale.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractItemModelTester>
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QTableView>
#include <QTimer>
#include <string_view>

#include "qtsupport.h"

std::vector<std::string> vexlo::test::clippedCaptions(const QWidget& window) {
    std::vector<std::string> clipped;
    for (QWidget* control : window.findChildren<QWidget*>()) {
        const auto* label = qobject_cast<QLabel*>(control);
        const auto* button = qobject_cast<QAbstractButton*>(control);
        const QString text = label ? label->text() : button ? button->text() : QString();
        if (text.isEmpty() || !control->isVisibleTo(&window)) {
            continue;
        }
        QRect room = control->contentsRect();
        if (qobject_cast<QCheckBox*>(control) != nullptr) {  // the box comes before the text
            room.setLeft(
                control->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, control));
        }
        // A button's "&" marks its mnemonic: not shown, its letter underlined.
        const int flags = (label && label->wordWrap() ? Qt::TextWordWrap : 0) |
                          (button != nullptr ? Qt::TextShowMnemonic : 0);
        const QRect need = control->fontMetrics().boundingRect(room, flags, text);
        if (need.width() > room.width() || need.height() > room.height()) {
            clipped.push_back(text.toStdString());
        }
    }
    return clipped;
}

std::string vexlo::test::shownCaption(const QAbstractButton& button) {
    QString text = button.text();
    for (qsizetype at = text.indexOf(u'&'); at >= 0 && at < text.size();
         at = text.indexOf(u'&', at + 1)) {
        text.remove(at, 1);  // "&&" leaves one "&", passed over by the next search
    }
    return text.toStdString();
}

std::vector<std::string> vexlo::test::mnemonics(const QWidget& window) {
    std::vector<std::string> found;
    for (const QAbstractButton* button : window.findChildren<QAbstractButton*>()) {
        if (button->text().isEmpty()) {
            continue;  // a control's own part, such as a table's corner
        }
        const QKeySequence key = QKeySequence::mnemonic(button->text());
        const QString letter = key.isEmpty() ? QString() : QKeySequence(key[0].key()).toString();
        found.push_back(shownCaption(*button) + ":" + letter.toStdString());
    }
    return found;
}

std::string vexlo::test::layoutText(const QWidget& window, bool geometry) {
    const auto quoted = [](const QString& value) { return "\"" + value.toStdString() + "\""; };
    const auto number = [](auto value) { return std::to_string(static_cast<int>(value)); };
    // The window itself: title, whether it can be resized, and its actions' shortcuts.
    // (A window that can be resized takes the desktop's font, so only a fixed one's is shown.)
    const bool fixed = window.minimumSize() == window.maximumSize();
    std::string text = "window " + quoted(window.windowTitle()) +
                       (fixed ? " fixed, font " + std::to_string(window.font().pointSizeF())
                              : std::string(" resizable")) +
                       "\n";
    for (const QAction* action : window.findChildren<QAction*>()) {
        if (!action->objectName().isEmpty() && !action->objectName().startsWith(u"_q_")) {
            text += "action " + action->objectName().toStdString() + " " + quoted(action->text()) +
                    " " + quoted(action->shortcut().toString()) + "\n";
        }
    }
    for (const QWidget* control : window.findChildren<QWidget*>()) {
        if (control->objectName().isEmpty() || control->objectName().startsWith(u"qt_")) {
            continue;
        }
        std::string line = std::string(control->metaObject()->className()) + " " +
                           control->objectName().toStdString();
        if (geometry) {
            const QRect at = control->geometry();
            line += " " + std::to_string(at.x()) + "," + std::to_string(at.y()) + " " +
                    std::to_string(at.width()) + "x" + std::to_string(at.height());
        }
        if (const auto* label = qobject_cast<const QLabel*>(control)) {
            line += " " + quoted(label->text()) + " align=" + number(label->alignment()) +
                    (label->wordWrap() ? " wrap" : "") + " format=" + number(label->textFormat());
            line += label->buddy() ? " buddy=" + label->buddy()->objectName().toStdString() : "";
        } else if (const auto* button = qobject_cast<const QAbstractButton*>(control)) {
            line += " " + quoted(button->text());
            const auto* push = qobject_cast<const QPushButton*>(control);
            line += push != nullptr && push->autoDefault() ? " auto-default" : "";
            const auto* box = qobject_cast<const QCheckBox*>(control);
            line += box != nullptr && box->isTristate() ? " tristate" : "";
        } else if (const auto* edit = qobject_cast<const QLineEdit*>(control)) {
            line += edit->isClearButtonEnabled() ? " clear-button" : "";
            line += edit->isReadOnly() ? " read-only" : "";
        } else if (const auto* combo = qobject_cast<const QComboBox*>(control)) {
            line += (combo->isEditable() ? " editable" : " choices") + std::string(" insert=") +
                    number(combo->insertPolicy());
        } else if (const auto* group = qobject_cast<const QGroupBox*>(control)) {
            line += " " + quoted(group->title());
        } else if (const auto* view = qobject_cast<const QAbstractItemView*>(control)) {
            line += " selection=" + number(view->selectionMode()) + "/" +
                    number(view->selectionBehavior()) + " edit=" + number(view->editTriggers()) +
                    " drag=" + number(view->dragDropMode()) +
                    " menu=" + number(view->contextMenuPolicy());
            if (const auto* table = qobject_cast<const QTableView*>(control)) {
                line += std::string(table->wordWrap() ? " wrap" : " one-line") +
                        (table->isSortingEnabled() ? " sorting" : "");
            }
        }
        line += control->toolTip().isEmpty() ? "" : " tip=" + quoted(control->toolTip());
        line += control->isVisibleTo(&window) ? "" : " hidden";
        line += control->isEnabled() ? "" : " disabled";
        text += line + "\n";
    }
    return text;
}

void vexlo::test::checkModel(QAbstractItemModel* model) {
    // The tester warns in its category; main()'s message handler makes each warning a failure.
    new QAbstractItemModelTester(model, QAbstractItemModelTester::FailureReportingMode::Warning,
                                 model);
}

std::string vexlo::test::messageOf(const std::function<void()>& action) {
    std::string seen;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&seen] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box != nullptr && box->standardButtons() == QMessageBox::Ok) {
            const QMessageBox::Icon icon = box->icon();
            seen += std::string(seen.empty() ? "" : "|") +
                    (icon == QMessageBox::Critical      ? 'C'
                     : icon == QMessageBox::Warning     ? 'W'
                     : icon == QMessageBox::Information ? 'I'
                                                        : '?') +
                    " " + (box->windowTitle() + ": " + box->text()).toStdString();
            box->button(QMessageBox::Ok)->click();
        }
    });
    timer.start(10);
    action();
    return seen;
}

namespace {

QtMessageHandler qtHandler = nullptr;

// A fault the item model tester finds fails the running test; every message goes on to Qt's.
void failOnModelFaults(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtWarningMsg && context.category != nullptr &&
        std::string_view(context.category) == "qt.modeltest") {
        ADD_FAILURE() << "QAbstractItemModelTester: " << text.toStdString();
    }
    qtHandler(type, context, text);
}

}  // namespace

int main(int argc, char** argv) {
    qtHandler = qInstallMessageHandler(failOnModelFaults);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QLocale::setDefault(QLocale::c());
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
