// Test main for tests that drive real widgets: an offscreen QApplication with a fixed locale.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QKeySequence>
#include <QLabel>
#include <QLocale>
#include <QStyle>

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

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QLocale::setDefault(QLocale::c());
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
