#pragma once

// The main window as a user works it, on an in-memory tool whose project is a fresh folder: the
// fixture of the window's, the column list's and the Preview's tests.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDrag>
#include <QDragEnterEvent>
#include <QFileDialog>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "cases.h"
#include "fakeproject.h"
#include "faketool.h"
#include "main/application.h"
#include "main/statusline.h"
#include "main/vexlo.h"
#include "preview/previewmodel.h"
#include "preview/previewwindow.h"
#include "qtsupport.h"
#include "selection/droplist.h"
#include "testsupport.h"

namespace vexlo::test {

class MainWindow : public ::testing::Test {
public:
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

    // Opens the window, started as the program starts it unless `start` is false.
    bool open(design::ToolConnector connector = {}, bool start = true) {
        w = std::make_unique<Vexlo>(connector ? connector : tool.connector());
        w->showMessage = [this](QMessageBox::Icon icon, const QString& text) {
            messages.push_back(text.toStdString());
            icons += icon == QMessageBox::Critical ? 'C' : icon == QMessageBox::Warning ? 'W' : '?';
        };
        const bool started = !start || w->Form_Load();
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
        QWidget* target = dropTarget(point);
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
    // Opens the Preview by its button, its models checked from then on, does what the user does
    // in it, then closes it; false if none opened.
    bool inPreview(const std::function<void(preview::PreviewWindow&)>& act) {
        bool opened = false;
        QTimer waiting;  // gone with this call, so never meets a later window
        waiting.callOnTimeout([&] {
            auto* window = qobject_cast<preview::PreviewWindow*>(QApplication::activeModalWidget());
            if (window != nullptr) {
                waiting.stop();
                opened = true;
                auto* sorted = qobject_cast<QSortFilterProxyModel*>(window->tblReport->model());
                checkModel(sorted->sourceModel());
                checkModel(sorted);
                act(*window);
                window->reject();
            }
        });
        waiting.start(0);
        click(w->btnPreview);
        return opened;
    }
    // Where the window system sends a drop at this point of the window: the widget under it that
    // takes drops.
    QWidget* dropTarget(QPoint point) const {
        QWidget* target = w->childAt(point);
        while (target != nullptr && !target->acceptDrops()) {
            target = target->parentWidget();
        }
        return target;
    }

    test::TempDir project;
    design::FakeTool tool;
    test::ViewerRecorder viewer;
    std::unique_ptr<Vexlo> w;
    std::vector<std::string> messages;
    std::string icons;  // each message's icon: C critical, W warning
};

// The main window worked from a script of user actions and the states they lead to (the column
// list's columnlist.txt, the window's window.txt: their header comments give the verbs). A line
// "verb argument => expected" acts and then checks what the window shows: the text a showing verb
// names, or after an action the state line (Add ... Move Down enabled, the columns, the key).
class WindowScript : public MainWindow {
public:
    WindowScript() {
        answering.callOnTimeout([this] { answerDialog(); });
    }
    void play(const std::vector<CaseLine>& lines, bool check, const std::string& file) {
        for (const CaseLine& c : lines) {
            SCOPED_TRACE(file + ":" + std::to_string(c.number));
            std::optional<std::string> shown = show(c);
            if (!shown) {
                act(c);
                shown = state();
            }
            if (check && !c.expected.empty()) {
                EXPECT_EQ(named(*shown), c.expected) << c.verb << " " << c.argument;
            }
        }
    }

private:
    QListWidget* list(const std::string& name) {  // "attributes" or "columns"
        return name.starts_with("attributes") ? w->lstAttributes
                                              : static_cast<QListWidget*>(w->lstSelected);
    }
    // The text with the project folders written PROJECT and OTHER; empty text as "nothing".
    std::string named(std::string text) const {
        for (const auto& [path, name] :
             {std::pair{project.path(), "PROJECT"}, std::pair{other.path(), "OTHER"}}) {
            for (std::size_t at; (at = text.find(path)) != text.npos;) {
                text.replace(at, path.size(), name);
            }
        }
        return text.empty() ? "nothing" : text;
    }
    std::string state() {
        if (!w) {
            return "no window";
        }
        const std::string columns = texts(w->lstSelected->model());
        std::string shown = buttons() + (columns.empty() ? "" : " " + columns);
        const bool key = w->btnkey->isVisible();
        shown += key ? " " + (w->label->text() + w->lblkey->text()).toStdString() : "";
        EXPECT_TRUE(w->lblkey->isVisible() == key && w->label->isVisible() == key);
        return shown;
    }
    // The argument's first word, and what follows its blank.
    static std::pair<std::string, std::string> split(const std::string& argument) {
        const std::size_t blank = std::min(argument.find(' '), argument.size());
        return {argument.substr(0, blank), argument.substr(std::min(blank + 1, argument.size()))};
    }
    static std::string joined(const std::vector<std::string>& texts) {
        return test::joined(texts, "|");
    }
    // What a showing verb shows; none for an action.
    std::optional<std::string> show(const CaseLine& c) {
        const std::string& verb = c.verb;
        if (verb == "attributes") {
            return texts(w->lstAttributes->model());
        } else if (verb == "current" || verb == "selected") {
            return std::to_string(verb == "current" ? list(c.argument)->currentRow()
                                                    : list(c.argument)->selectedItems().size());
        } else if (verb == "choices") {
            return texts(w->cmbChoice->model());
        } else if (verb == "chosen") {
            return w->cmbChoice->currentText().toStdString();
        } else if (verb == "saved" || verb == "report") {
            const std::string path =
                project.file(verb == "saved" ? "vexloattributes.qzv" : c.argument);
            return std::filesystem::exists(path) ? readFile(path) : "none";
        } else if (verb == "files") {
            return joined(project.listing());
        } else if (verb == "messages") {
            std::vector<std::string> told;
            for (std::size_t i = 0; i < messages.size(); ++i) {
                told.push_back(icons.substr(i, 1) + ":" + messages[i]);
            }
            return joined(told);
        } else if (verb == "status") {
            return status();
        } else if (verb == "later") {  // the status line once it reads so (within 5 s)
            static_cast<void>(QTest::qWaitFor([&] { return named(status()) == c.expected; }, 5000));
            return status();
        } else if (verb == "fields") {
            return "format " + std::to_string(w->optionFields().Export_File_Format) + " font " +
                   std::to_string(w->optionFields().Header_Font_Size);
        } else if (verb == "shows") {
            std::string shown = w->isVisible() ? "window" : "";
            shown += w->btnLoad->isVisible() ? " load" : "";
            return shown + (w->lstAttributes->isVisible() ? " attributes" : "");
        } else if (verb == "compressed") {
            return w->chkCompress->isChecked() ? "yes" : "no";
        } else if (verb == "focused") {
            return w->focusWidget() ? w->focusWidget()->objectName().toStdString() : "";
        } else if (verb == "clipped") {
            return joined(clippedCaptions(*w));
        } else if (verb == "opendesign") {  // "FILE [VARIANT]", on a window never started
            if (!w) {
                open(
                    []() -> std::unique_ptr<design::SchematicTool> {
                        ADD_FAILURE() << "the running tool was asked for";
                        throw Error(errc::ToolNotRunning, "asked");
                    },
                    false);
            }
            const auto [file, variant] = split(c.argument);
            return w->openDesign(project.file(file), variant) ? "opened" : "refused";
        } else if (verb == "line") {  // "FILE START": the file's first line so starting
            const auto [file, start] = split(c.argument);
            std::istringstream in(readFile(project.file(file)));
            std::string line;
            while (std::getline(in, line) && !line.starts_with(start)) {
            }
            return line;
        } else if (verb == "asked") {  // the file dialog the last "answer" met, if any
            return asked;
        } else if (verb == "preview") {  // "write": Write Report in it too
            return preview(c.argument == "write");
        } else if (verb == "viewed") {  // the files the report viewer was given, "|" between
            return joined(viewer.shown(std::ranges::count(c.expected, '|') + 1));
        } else if (verb == "arguments") {  // the design|variant they start, or why not
            try {
                const StartOptions start = parseStartArguments(words(c.argument, ""));
                return start.design + "|" + start.variant;
            } catch (const Error& usage) {
                return std::string(usage.what());
            }
        } else if (verb == "cursor") {
            return QApplication::overrideCursor() == nullptr ? "none" : "hourglass";
        } else if (verb == "open") {
            return open(c.argument.empty()
                            ? design::ToolConnector{}
                            : [number = std::stoi(
                                   c.argument)]() -> std::unique_ptr<design::SchematicTool> {
                throw Error(errc::Number(number), "gone");
            })
                       ? "started"
                       : "ended";
        }
        return std::nullopt;
    }
    // Acts as the line says; a verb that names no other action clicks the button so captioned.
    void act(const CaseLine& c) {
        const std::string& verb = c.verb;
        if (verb == "pick") {
            std::vector<int> rows;
            std::istringstream in(split(c.argument).second);
            for (int row = 0; in >> row;) {
                rows.push_back(row);
            }
            pick(list(c.argument), rows);
            if (rows.empty()) {  // no entry picked, none current
                list(c.argument)->setCurrentRow(-1);
            }
        } else if (verb == "name") {
            w->txtSaveAs->setText(QString::fromStdString(c.argument));
        } else if (verb == "choose") {
            w->cmbChoice->setCurrentIndex(
                w->cmbChoice->findText(QString::fromStdString(c.argument)));
        } else if (verb == "edit") {  // a name written into the box
            w->cmbChoice->setEditText(QString::fromStdString(c.argument));
        } else if (verb == "typechoice") {  // a name typed into the box, then Return
            QTest::keyClicks(w->cmbChoice->lineEdit(), QString::fromStdString(c.argument));
            QTest::keyClick(w->cmbChoice->lineEdit(), Qt::Key_Return);
        } else if (verb == "column") {
            w->lstSelected->addItem(QString::fromStdString(c.argument));
        } else if (verb == "nocolumns") {
            w->lstSelected->clear();
        } else if (verb == "focus") {
            w->findChild<QWidget*>(QString::fromStdString(c.argument))->setFocus();
        } else if (verb == "press") {
            press(c.argument);
        } else if (verb == "menu") {  // the attribute list's menu, of its one entry
            const auto entries = w->lstAttributes->actions();
            EXPECT_EQ(entries.size(), 1) << "the menu holds one entry";
            const auto found = std::ranges::find_if(entries, [&](QAction* entry) {
                return entry->text().remove('&').toStdString() == c.argument;
            });
            ASSERT_NE(found, entries.end()) << "no menu entry reads " << c.argument;
            (*found)->trigger();
        } else if (verb == "options") {
            saveOptionsWithFormat(std::stoi(c.argument));
        } else if (verb != "state" && !actOnFiles(c) && !actOnTool(c)) {
            clickCaption(c.verb);
        }
    }
    bool actOnFiles(const CaseLine& c) {
        const std::string& verb = c.verb;
        if (verb == "selections") {
            writeFile(project.file("vexloattributes.qzv"), c.argument);
            open();
        } else if (verb == "unsaved") {
            std::filesystem::remove(project.file("vexloattributes.qzv"));
        } else if (verb == "file") {  // "NAME CONTENT"
            writeFile(project.file(split(c.argument).first), split(c.argument).second);
        } else if (verb == "folder") {  // a folder where the file was
            std::filesystem::remove(project.file(c.argument));
            std::filesystem::create_directory(project.file(c.argument));
        } else if (verb == "demo") {  // "NAME [AS]": a copy of the KiCad demo so named
            const auto [name, as] = split(c.argument);
            std::filesystem::copy("/usr/share/kicad/demos/" + name,
                                  project.file(as.empty() ? name : as),
                                  std::filesystem::copy_options::recursive);
        } else if (verb == "c8") {  // the root sheet saved with C8 at 1nF, as KiCad would
            const std::string c8 = R"((reference "C8") (unit 1) (value "820pF"))";
            std::string text = readFile(project.file(c.argument));
            const std::size_t at = text.find(c8);
            EXPECT_NE(at, text.npos) << "no C8 at 820pF";
            if (at != text.npos) {
                writeFile(
                    project.file(c.argument),
                    text.replace(at, c8.size(), R"((reference "C8") (unit 1) (value "1nF"))"));
            }
        } else if (verb == "touch") {  // saved again, a line longer
            writeFile(project.file(c.argument), readFile(project.file(c.argument)) + "\n");
        } else if (verb == "drop") {
            drop(project.file(c.argument));
        } else if (verb == "answer") {  // the next file dialog gets FILE typed and Return; or Esc
            answerWith = c.argument.empty() ? "" : project.file(c.argument);
            asked.clear();
            answering.start(10);
        } else if (verb == "settings") {  // the settings file so written, and read again
            writeFile(project.file("vexlosettings.qzv"), c.argument);
            w->SetOptions();
        } else if (verb == "erase") {
            std::filesystem::remove_all(project.file(c.argument));
        } else {
            return false;
        }
        return true;
    }
    bool actOnTool(const CaseLine& c) {
        const std::string& verb = c.verb;
        if (verb == "design") {
            tool.design->components = {design::makeComponent("R1", {{c.argument, "1k"}})};
            open();
        } else if (verb == "noparts") {
            tool.design->components.clear();
        } else if (verb == "part") {  // "REFDES NAME=VALUE|NAME=VALUE..."
            std::vector<design::Attribute> attributes;
            for (const std::string& each : fields(split(c.argument).second, '|')) {
                attributes.push_back(
                    {each.substr(0, each.find('=')), each.substr(each.find('=') + 1)});
            }
            tool.design->components.push_back(
                design::makeComponent(split(c.argument).first, attributes));
        } else if (verb == "noview") {
            tool.documentName.reset();
        } else if (verb == "viewer") {  // "N": one that ends with status N; "none": none on PATH
            failingViewer.reset();      // which puts PATH back as it found it
            failingViewer =
                std::make_unique<ViewerRecorder>(c.argument == "none" ? 0 : std::stoi(c.argument));
            if (c.argument == "none") {
                ::setenv("PATH", project.path().c_str(), 1);
            }
        } else if (verb == "project") {  // "other", or the test's own
            tool.project = (c.argument == "other" ? other : project).path() + "/";
        } else if (verb == "drag") {
            EXPECT_EQ(drag(c.argument == "shift"  ? Qt::ShiftModifier
                           : c.argument == "ctrl" ? Qt::ControlModifier
                                                  : Qt::NoModifier),
                      Qt::CopyAction);
        } else if (verb == "dclick") {
            QTest::mouseDClick(
                w->lstAttributes->viewport(), Qt::LeftButton, {},
                w->lstAttributes->visualItemRect(w->lstAttributes->item(std::stoi(c.argument)))
                    .center());
        } else {
            return false;
        }
        return true;
    }
    // Drops a file onto the window where the attribute list is, as a file manager does.
    void drop(const std::string& file) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QString::fromStdString(file))});
        const QPoint at = w->lstAttributes->geometry().center();
        QWidget* target = dropTarget(at);
        ASSERT_EQ(target, w.get());
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, {});
        QDropEvent dropped(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(target, &enter);
        ASSERT_TRUE(enter.isAccepted());
        QApplication::sendEvent(target, &dropped);
        const std::string before = status();
        EXPECT_TRUE(QTest::qWaitFor([&] { return status() != before; }));
    }
    // Keys pressed in the active window where its focus is; a button they press shows pressed
    // for a moment, then clicks.
    void press(const std::string& keys) {
        w->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
        QWidget* focus = w->focusWidget();
        QTest::keySequence(focus ? focus : w.get(), QKeySequence(QString::fromStdString(keys)));
        const auto buttons = w->findChildren<QAbstractButton*>();
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return std::ranges::none_of(buttons, &QAbstractButton::isDown); }));
    }
    // Controls are found as a user finds them, by their captions: each verb that clicks one is
    // written "|verb:caption" here.
    void clickCaption(const std::string& verb) {
        const std::string captions =
            "|load:Load Design Attributes|add:Add >>|addall:Add All >>|remove:<< Remove"
            "|removeall:<< Remove All|up:Move Up|down:Move Down|compress:Compress"
            "|key:Select Part Number|choice:Load Choices|save:Save Selection|delete:Delete Choice"
            "|loadall:Load All|create:Create Report|close:Close|changes:Changes...|";
        const std::size_t at = captions.find("|" + verb + ":");
        ASSERT_NE(at, captions.npos) << "no verb " << verb;
        const std::string caption = captions.substr(at + verb.size() + 2);
        const auto buttons = w->findChildren<QAbstractButton*>();
        const auto found = std::ranges::find_if(buttons, [&](auto* button) {
            return shownCaption(*button) == caption.substr(0, caption.find('|'));
        });
        ASSERT_NE(found, buttons.end()) << "no control reads " << verb;
        click(*found);
    }

    // Opens the Preview by its button, its models checked from then on, and shows its title,
    // summary, row count and table, "\n" between; after "write" also the line Write Report
    // wrote; then closes it. "no preview" when none opened.
    std::string preview(bool write) {
        std::string shown = "no preview";
        inPreview([&](preview::PreviewWindow& window) {
            shown = (window.windowTitle() + "\n" + window.summary() + "\n" + window.shownRows())
                        .toStdString() +
                    table(*window.tblReport->model());
            if (write) {
                click(window.btnWrite);
                shown += "\n" + window.findChild<QLabel*>("lblWritten")->text().toStdString();
            }
        });
        return shown;
    }
    // The table as the view orders it, the header first: a line a row, "|" between cells. An
    // italic cell is marked "(italic)", a shaded one "(shaded)"; a tool tip follows in {braces}
    // where a header has one or a cell's is not its text.
    static std::string table(const QAbstractItemModel& model) {
        std::string text;
        for (int row = -1; row < model.rowCount(); ++row) {
            text += "\n";
            for (int column = 0; column < model.columnCount(); ++column) {
                const auto data = [&](int role) {
                    return row < 0 ? model.headerData(column, Qt::Horizontal, role)
                                   : model.index(row, column).data(role);
                };
                const QString shown = data(Qt::DisplayRole).toString();
                const QString tip = data(Qt::ToolTipRole).toString();
                text += (column == 0 ? "" : "|") + shown.toStdString() +
                        (data(Qt::FontRole).value<QFont>().italic() ? " (italic)" : "") +
                        (data(Qt::BackgroundRole).value<QColor>() ==
                                 preview::ReportTableModel::mixedShade()
                             ? " (shaded)"
                             : "") +
                        ((row < 0 ? tip.isEmpty() : tip == shown) ? ""
                                                                  : " {" + tip.toStdString() + "}");
            }
        }
        return text;
    }
    // Answers the file dialog once it shows, as "answer" says.
    void answerDialog() {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog != nullptr) {
            answering.stop();
            asked = dialog->objectName().toStdString() + " " +
                    dialog->directory().absolutePath().toStdString() +
                    (dialog->fileMode() == QFileDialog::ExistingFile ? ", an existing file" : "");
            auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
            name->setText(QString::fromStdString(answerWith));
            QTest::keyClick(name, answerWith.empty() ? Qt::Key_Escape : Qt::Key_Return);
        }
    }

    TempDir other;           // another project the tool can go over to
    QTimer answering;        // answers the next file dialog
    std::string answerWith;  // with this file, or with Esc
    std::string asked;       // the name, folder and file mode of the dialog it answered
    std::unique_ptr<ViewerRecorder> failingViewer;
};

}  // namespace vexlo::test
