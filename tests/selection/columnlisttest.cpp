// The column list's rules as a user works them in the main window: the six buttons, drags,
// moves, Compress and the key, and the saved selections.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <filesystem>
#include <map>
#include <sstream>

#include "cases.h"
#include "mainwindowfixture.h"
#include "qtsupport.h"
#include "testsupport.h"

namespace vexlo {
namespace {

using test::crlf;
using test::MainWindow;

// The column list's script: every rule of the six buttons, drags, moves and the key. Each
// section is a test that plays the sections before it, then checks its own lines.
class ColumnListScript : public MainWindow {
public:
    void play(const test::CaseSection& section) {
        test::writeFile(project.file("vexloattributes.qzv"), crlf({"** Later"}));
        open();
        for (const test::CaseLine& c : section.before) {
            step(c, false);
        }
        for (const test::CaseLine& c : section.lines) {
            SCOPED_TRACE("columnlist.txt:" + std::to_string(c.number));
            step(c, true);
        }
    }

private:
    QListWidget* list(const std::string& name) {  // "attributes" or "columns"
        return name.starts_with("attributes") ? w->lstAttributes
                                              : static_cast<QListWidget*>(w->lstSelected);
    }

    void step(const test::CaseLine& c, bool check) {
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
            for (std::size_t i = 0; i < messages.size(); ++i) {
                shown += (shown.empty() ? "" : "|") + icons.substr(i, 1) + ":" + messages[i];
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
        } else if (c.verb == "edit") {  // a name written into the box
            w->cmbChoice->setEditText(QString::fromStdString(c.argument));
        } else if (c.verb == "unsaved") {
            std::filesystem::remove(project.file("vexloattributes.qzv"));
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
        if (check && !c.expected.empty()) {
            EXPECT_EQ(shown, c.expected) << c.verb << " " << c.argument;
        }
    }
};
const bool columnListCases =
    (test::registerCases<ColumnListScript>(
         "ColumnList", "tests/selection/columnlist.txt",
         test::caseSections("tests/selection/columnlist.txt", {}),
         [](ColumnListScript& script, const test::CaseSection& section) { script.play(section); }),
     true);

}  // namespace
}  // namespace vexlo
