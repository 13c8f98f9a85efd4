// The Options window as a user works it, over a settings file in a fresh folder: the script
// options.txt, a test for each of its sections.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeySequence>
#include <QLineEdit>
#include <QTest>
#include <filesystem>
#include <optional>
#include <sstream>
#include <utility>

#include "cases.h"
#include "common/error.h"
#include "options/optionswindow.h"
#include "qtsupport.h"
#include "testsupport.h"

namespace vexlo::options {
namespace {

using test::readFile;

struct OptionsWindow : ::testing::Test {
    void open() {
        const auto ask = [this](std::string answer) {
            return toolClosed ? throw Error(errc::ToolNotRunning, "The tool is not running")
                              : answer;
        };
        form = std::make_unique<Form1>(
            [=, this] { return ask(path); }, [=] { return ask("/projects/"); },
            [this] {
                readAtSetOptions.push_back(readFile(path));
                if (setOptionsFails) {
                    throw Error(errc::ToolNotRunning, "The main window could not read it");
                }
            });
        form->setFileDialog([this](QWidget*, const QString& title, const QString& folder,
                                   const QString& filters, const QString& selected) {
            dialog.push_back((title + "|" + folder + "|" + filters + "|" + selected).toStdString());
            return dialogAnswer;
        });
        form->show();
    }

    template <typename Widget = QWidget>
    Widget* control(const std::string& name) {
        auto* widget = form->findChild<Widget*>(QString::fromStdString(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    // Where a user types: a text box, a list's own text box, or a list of choices.
    QWidget* typedInto(const std::string& name) {
        auto* combo = qobject_cast<QComboBox*>(control(name));
        return combo != nullptr && combo->lineEdit() != nullptr ? combo->lineEdit() : control(name);
    }
    // What the controls show, each after a ";": texts, and check states as Qt numbers them
    // (0 unchecked, 1 grey, 2 checked).
    std::string shown(const std::string& names) {
        std::string text, name;
        for (std::istringstream words(names); words >> name;) {
            QWidget* widget = control(name);
            auto* box = qobject_cast<QCheckBox*>(widget);
            auto* combo = qobject_cast<QComboBox*>(widget);
            text += ";" + (box     ? QString::number(box->checkState())
                           : combo ? combo->currentText()
                                   : qobject_cast<QLineEdit*>(widget)->text())
                              .toStdString();
        }
        return text;
    }

    test::TempDir dir;
    std::string path = dir.file(settings::settingsFileName);
    std::unique_ptr<Form1> form;
    bool toolClosed = false, setOptionsFails = false;
    std::vector<std::string> readAtSetOptions, dialog;
    QString dialogAnswer;
};

// What a line of options.txt that shows something shows; none for the other lines.
std::optional<std::string> shownBy(OptionsWindow& w, const test::CaseLine& c) {
    std::string text;
    if (c.verb == "shows") {
        return w.shown(c.argument);
    } else if (c.verb == "saved") {
        return w.dir.listing().empty()                 ? "none"
               : std::filesystem::is_directory(w.path) ? "folder"
                                                       : readFile(w.path);
    } else if (c.verb == "told" || c.verb == "dialog") {
        for (const auto& entry :
             std::exchange(c.verb == "told" ? w.readAtSetOptions : w.dialog, {})) {
            text += "|" + entry;
        }
        return text;
    } else if (c.verb == "result") {
        return std::string(w.form->isVisible() ? "open " : "closed ") +
               (w.form->result() == QDialog::Accepted ? "accepted" : "rejected");
    } else if (c.verb == "focused") {
        return w.form->focusWidget()->objectName().toStdString();
    } else if (c.verb == "items") {
        return std::to_string(w.control<QComboBox>(c.argument)->count());
    }
    return std::nullopt;
}

// Does what a line of options.txt says: the message boxes that raises, the path written PATH.
std::string done(OptionsWindow& w, const test::CaseLine& c) {
    const auto space = c.argument.find(' ');
    const std::string name = c.argument.substr(0, space);
    const QString text =
        QString::fromStdString(space == name.npos ? "" : c.argument.substr(space + 1));
    std::string told = test::messageOf([&] {
        if (c.verb == "open") {
            w.open();
        } else if (c.verb == "click") {
            QTest::mouseClick(w.control(name), Qt::LeftButton);
        } else if (c.verb == "key") {
            QTest::keyClick(w.typedInto(name), QKeySequence::fromString(text)[0].key());
        } else if (c.verb == "type") {
            if (auto* edit = qobject_cast<QLineEdit*>(w.typedInto(name))) {
                edit->clear();
            }
            QTest::keyClicks(w.typedInto(name), text);
        } else if (c.verb == "text") {
            w.control<QLineEdit>(name)->setText(text);
        } else if (c.verb == "file") {
            test::writeFile(w.path, c.argument);
        } else if (c.verb == "folder") {
            std::filesystem::create_directory(w.path);
        } else if (c.verb == "answer") {
            w.dialogAnswer = QString::fromStdString(c.argument);
        } else if (c.verb == "tool") {
            w.toolClosed = c.argument == "closed";
        } else if (c.verb == "setoptions") {
            w.setOptionsFails = c.argument == "fails";
        } else if (c.verb != "nofile") {
            ADD_FAILURE() << "unknown verb " << c.verb;
        }
    });
    const auto at = told.find(w.path);
    return at == told.npos ? told : told.replace(at, w.path.size(), "PATH");
}

const bool optionsCases =
    (test::registerCases<OptionsWindow>(
         "OptionsWindow", "tests/options/options.txt",
         test::caseSections("tests/options/options.txt", {"file", "folder", "nofile"}),
         [](OptionsWindow& w, const test::CaseSection& section) {
             for (const auto& c : section.lines) {
                 SCOPED_TRACE("options.txt:" + std::to_string(c.number));
                 const auto shown = shownBy(w, c);
                 EXPECT_EQ(shown ? *shown : done(w, c), c.expected) << c.argument;
             }
         }),
     true);

}  // namespace
}  // namespace vexlo::options
