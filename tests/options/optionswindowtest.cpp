#include "options/optionswindow.h"

#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <optional>

#include "common/error.h"
#include "testsupport.h"

namespace vexlo::options {
namespace {

using Lines = std::vector<std::string>;
using test::crlf;
using test::readFile;
using test::TempDir;
using test::writeFile;

const Lines initialLines = {"Excel_Start=1",       "Header_Font_Size=10", "Value_Font_Size=10",
                            "Value_Bold=0",        "Header_Bold=0",       "Value_Italic=0",
                            "Header_Italic=0",     "Align_Header=0",      "Align_Value=0",
                            "Export_File_Format=0"};

struct MessageSeen {
    QString title;
    QString text;
    QMessageBox::StandardButtons buttons;
};

// Runs an action and answers the first message box it opens with OK, telling what it showed.
std::optional<MessageSeen> answerMessageBox(const std::function<void()>& action) {
    std::optional<MessageSeen> seen;
    QTimer timer;
    timer.setInterval(10);
    QObject::connect(&timer, &QTimer::timeout, [&seen] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box != nullptr && !seen) {
            seen = MessageSeen{box->windowTitle(), box->text(), box->standardButtons()};
            box->button(QMessageBox::Ok)->click();
        }
    });
    timer.start();
    action();
    return seen;
}

// The Options window over a settings file in a fresh folder, with the main window's side
// recorded.
class OptionsWindow : public ::testing::Test {
protected:
    // What the main window answers when asked for a path, or its error once the tool is closed.
    std::string ask(const std::string& answer) const {
        if (toolClosed) {
            throw Error(errc::ToolNotRunning, "The schematic tool is not running");
        }
        return answer;
    }

    std::unique_ptr<Form1> open() {
        auto form = std::make_unique<Form1>(
            [this] { return ask(settingsPath); }, [this] { return ask(currentProject); },
            [this] {
                ++setOptionsCalls;
                fileAtSetOptions = test::readFile(settingsPath);
                if (setOptionsFails) {
                    throw Error(errc::ToolNotRunning,
                                "The main window could not read the settings");
                }
            });
        form->setFileDialog([this](QWidget*, const QString& title, const QString& folder,
                                   const QString& filters, const QString& selected) {
            dialogCalls.push_back({title, folder, filters, selected});
            return dialogAnswer;
        });
        form->show();
        return form;
    }

    template <typename Widget>
    static Widget* control(Form1& form, const char* name) {
        auto* widget = form.findChild<Widget*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    static void click(Form1& form, const char* name) {
        QTest::mouseClick(control<QAbstractButton>(form, name), Qt::LeftButton);
    }

    static void retype(Form1& form, const char* name, const QString& text) {
        auto* box = control<QLineEdit>(form, name);
        box->clear();
        QTest::keyClicks(box, text);
    }

    std::string saved() const { return readFile(settingsPath); }

    TempDir dir;
    std::string settingsPath = dir.file("vexlosettings.qzv");
    std::string currentProject = "/projects/cpu/";
    bool toolClosed = false;
    bool setOptionsFails = false;
    int setOptionsCalls = 0;
    std::string fileAtSetOptions;

    struct DialogCall {
        QString title, folder, filters, selected;
    };
    std::vector<DialogCall> dialogCalls;
    QString dialogAnswer;
};

// --- Controls as the window opens without a settings file ---

struct ControlCase {
    const char* name;
    const char* className;
    const char* parent;
    QRect geometry;  // pixels
    QString text;    // caption, title or text
    QStringList items = {};
    bool editable = true;  // combo boxes
};

// A group box's title, a combo box's current text, any other control's text.
QString shownText(QWidget* widget) {
    const char* property = qobject_cast<QGroupBox*>(widget)   ? "title"
                           : qobject_cast<QComboBox*>(widget) ? "currentText"
                                                              : "text";
    return widget->property(property).toString();
}

TEST_F(OptionsWindow, ControlsAsTheWindowOpensWithoutASettingsFile) {
    const QStringList alignments = {"Left", "Center", "Right"};
    const QStringList formats = {"Excel", "Text", "HTML", "CSV"};
    const QStringList orders = {"As found", "Natural order", "Natural order with ranges"};
    const std::vector<ControlCase> table = {
        {"Frame2", "QGroupBox", "Form1", {8, 0, 145, 129}, "Header"},
        {"Label1", "QLabel", "Frame2", {8, 16, 121, 17}, "Header Font Size"},
        {"HeaderFontSize", "QLineEdit", "Frame2", {8, 32, 121, 19}, "10"},
        {"BoldH", "QCheckBox", "Frame2", {16, 56, 57, 17}, "Bold"},
        {"ItalicH", "QCheckBox", "Frame2", {80, 56, 57, 17}, "Italic"},
        {"Label3", "QLabel", "Frame2", {40, 80, 49, 17}, "Alignment"},
        {"AlignH", "QComboBox", "Frame2", {32, 96, 81, 21}, "Left", alignments},
        {"Frame1", "QGroupBox", "Form1", {160, 0, 145, 129}, "Value"},
        {"Label2", "QLabel", "Frame1", {8, 16, 121, 17}, "Value Font Size"},
        {"ValueFontSize", "QLineEdit", "Frame1", {8, 32, 121, 19}, "10"},
        {"BoldV", "QCheckBox", "Frame1", {16, 56, 57, 17}, "Bold"},
        {"ItalicV", "QCheckBox", "Frame1", {80, 56, 57, 17}, "Italic"},
        {"Label4", "QLabel", "Frame1", {40, 80, 49, 17}, "Alignment"},
        {"AlignV", "QComboBox", "Frame1", {24, 96, 81, 21}, "Left", alignments},
        {"Label5", "QLabel", "Form1", {376, 24, 81, 17}, "Output Format"},
        {"ExportFileFormat", "QComboBox", "Form1", {360, 48, 121, 21}, "Excel", formats},
        {"Label6", "QLabel", "Form1", {360, 88, 129, 17}, "Excel Line Start on"},
        {"ExcelStart", "QLineEdit", "Form1", {360, 112, 129, 25}, "1"},
        {"Label7", "QLabel", "Form1", {56, 136, 225, 17}, "Excel Template File"},
        {"txtExcelTemplate", "QLineEdit", "Form1", {56, 160, 273, 27}, ""},
        {"btnBrowse", "QPushButton", "Form1", {328, 160, 129, 25}, "Browse"},
        {"btnSave", "QPushButton", "Form1", {48, 200, 169, 41}, "Save"},
        {"btnCancel", "QPushButton", "Form1", {288, 200, 169, 41}, "Cancel"},
        {"Frame3", "QGroupBox", "Form1", {8, 248, 492, 89}, "Bill of materials"},
        {"Label8", "QLabel", "Frame3", {8, 16, 233, 17}, "Leave out parts whose attribute"},
        {"ExcludeAttribute", "QLineEdit", "Frame3", {8, 32, 233, 19}, ""},
        {"Label9", "QLabel", "Frame3", {248, 16, 233, 17}, "is one of (separated by \",\")"},
        {"ExcludeValues", "QLineEdit", "Frame3", {248, 32, 233, 19}, ""},
        {"Label10", "QLabel", "Frame3", {8, 60, 97, 17}, "Designator order"},
        {"RefdesOrder", "QComboBox", "Frame3", {108, 56, 185, 21}, "As found", orders, false},
        {"WorkbookXlsx", "QCheckBox", "Frame3", {304, 58, 153, 17}, ".xlsx file name"}};
    auto form = open();
    for (const ControlCase& expected : table) {
        SCOPED_TRACE(expected.name);
        auto* widget = control<QWidget>(*form, expected.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_STREQ(widget->metaObject()->className(), expected.className);
        EXPECT_EQ(widget->parentWidget()->objectName().toStdString(), expected.parent);
        EXPECT_EQ(widget->geometry(), expected.geometry);
        EXPECT_TRUE(widget->isVisible());
        EXPECT_TRUE(widget->isEnabled());
        EXPECT_EQ(shownText(widget), expected.text);
        if (auto* combo = qobject_cast<QComboBox*>(widget)) {
            QStringList items;
            for (int i = 0; i < combo->count(); ++i) {
                items << combo->itemText(i);
            }
            EXPECT_EQ(items, expected.items);
            EXPECT_EQ(combo->currentIndex(), 0);
            EXPECT_EQ(combo->isEditable(), expected.editable);
        }
        if (auto* check = qobject_cast<QCheckBox*>(widget)) {
            EXPECT_EQ(check->checkState(), Qt::Unchecked);
            EXPECT_FALSE(check->isTristate());
        }
    }
    EXPECT_EQ(form->windowTitle(), "Options");
    EXPECT_EQ(form->objectName(), "Form1");
    // The frame "Bill of materials" adds its height below the other controls.
    EXPECT_EQ(form->size(), QSize(508, 345));
    EXPECT_TRUE(form->isModal());
    EXPECT_TRUE(dir.listing().empty());  // opening reads, never writes
}

TEST_F(OptionsWindow, TabOrderFollowsTabIndexes) {
    auto form = open();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    const QStringList expected = {"HeaderFontSize",
                                  "ValueFontSize",
                                  "BoldH",
                                  "BoldV",
                                  "ItalicH",
                                  "ItalicV",
                                  "AlignH",
                                  "AlignV",
                                  "ExportFileFormat",
                                  "ExcelStart",
                                  "btnSave",
                                  "btnCancel",
                                  "txtExcelTemplate",
                                  "btnBrowse",
                                  "ExcludeAttribute",
                                  "ExcludeValues",
                                  "RefdesOrder",
                                  "WorkbookXlsx",
                                  "HeaderFontSize"};
    control<QWidget>(*form, "HeaderFontSize")->setFocus(Qt::TabFocusReason);
    QStringList visited;
    for (int i = 0; i < expected.size(); ++i) {
        QWidget* focused = QApplication::focusWidget();
        // An editable combo box's line edit is part of the box.
        while (focused != nullptr && focused->objectName().isEmpty()) {
            focused = focused->parentWidget();
        }
        visited << (focused != nullptr ? focused->objectName() : QStringLiteral("(none)"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_EQ(visited, expected);
}

// --- Load ---

TEST_F(OptionsWindow, LoadSetsEveryControl) {
    writeFile(settingsPath,
              crlf({"Excel_Start=4", "Header_Font_Size=14", "Value_Font_Size=8.5", "Value_Bold=1",
                    "Header_Bold=2", "Value_Italic=0", "Header_Italic=1", "Align_Header=2",
                    "Align_Value=-1", "Export_File_Format=3", "Excel_File_Start=/t/a=b.xls",
                    "Exclude_Attribute=Fitted", "Exclude_Values=DNP, NF", "Refdes_Order=2",
                    "Workbook_Xlsx=1"}));
    auto form = open();
    const std::vector<std::pair<const char*, const char*>> texts = {
        {"ExcelStart", "4"},
        {"HeaderFontSize", "14"},
        {"ValueFontSize", "8.5"},
        {"AlignH", "Right"},
        {"AlignV", ""},
        {"ExportFileFormat", "CSV"},
        {"ExcludeAttribute", "Fitted"},
        {"ExcludeValues", "DNP, NF"},
        {"RefdesOrder", "Natural order with ranges"}};
    for (const auto& [name, text] : texts) {
        EXPECT_EQ(shownText(control<QWidget>(*form, name)), text) << name;
    }
    const std::vector<std::pair<const char*, Qt::CheckState>> states = {
        {"BoldV", Qt::Checked},
        {"BoldH", Qt::PartiallyChecked},
        {"ItalicV", Qt::Unchecked},
        {"ItalicH", Qt::Checked},
        {"WorkbookXlsx", Qt::Checked}};
    for (const auto& [name, state] : states) {
        EXPECT_EQ(control<QCheckBox>(*form, name)->checkState(), state) << name;
    }
    EXPECT_EQ(control<QLineEdit>(*form, "txtExcelTemplate")->text(), "/t/a=b.xls");
    EXPECT_EQ(control<QComboBox>(*form, "AlignH")->currentIndex(), 2);
    EXPECT_EQ(control<QComboBox>(*form, "AlignV")->currentIndex(), -1);
}

TEST_F(OptionsWindow, ClosedToolAtLoadShowsInitialValuesSilently) {
    writeFile(settingsPath, crlf({"Header_Font_Size=14"}));
    toolClosed = true;
    std::unique_ptr<Form1> form;
    EXPECT_FALSE(answerMessageBox([&] { form = open(); }));
    EXPECT_EQ(control<QLineEdit>(*form, "HeaderFontSize")->text(), "10");
}

// --- Save ---

TEST_F(OptionsWindow, SaveOfInitialValuesWritesTenLines) {
    auto form = open();
    click(*form, "btnSave");
    EXPECT_EQ(saved(), crlf(initialLines));
    EXPECT_EQ(setOptionsCalls, 1);
    EXPECT_EQ(fileAtSetOptions, crlf(initialLines));  // written before the main window reads
    EXPECT_EQ(form->result(), QDialog::Accepted);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(dir.listing(), (Lines{"vexlosettings.qzv"}));
}

// The bill of materials keys come last, and only when not at their defaults.
TEST_F(OptionsWindow, SaveWritesEditedValuesInOrder) {
    writeFile(settingsPath, crlf({"Excel_File_Start=/old.xls", "Excel_Start=2", "Refdes_Order=1"}));
    auto form = open();
    retype(*form, "HeaderFontSize", "12");
    retype(*form, "ValueFontSize", "409");
    retype(*form, "ExcelStart", "1048576");
    click(*form, "BoldH");
    click(*form, "ItalicV");
    control<QComboBox>(*form, "AlignH")->setCurrentIndex(1);
    control<QComboBox>(*form, "ExportFileFormat")->setCurrentIndex(2);
    retype(*form, "txtExcelTemplate", "/home/ann/tpl.xls");
    retype(*form, "ExcludeValues", " dnp,NF ");
    click(*form, "WorkbookXlsx");
    click(*form, "btnSave");
    EXPECT_EQ(saved(), crlf({"Excel_Start=1048576", "Header_Font_Size=12", "Value_Font_Size=409",
                             "Value_Bold=0", "Header_Bold=1", "Value_Italic=1", "Header_Italic=0",
                             "Align_Header=1", "Align_Value=0", "Export_File_Format=2",
                             "Excel_File_Start=/home/ann/tpl.xls", "Exclude_Values= dnp,NF ",
                             "Refdes_Order=1", "Workbook_Xlsx=1"}));
    EXPECT_EQ(setOptionsCalls, 1);
    // Back at the defaults, the keys are left out again.
    form = open();
    retype(*form, "ExcludeValues", "");
    retype(*form, "ExcludeAttribute", "Fitted");
    auto* order = control<QComboBox>(*form, "RefdesOrder");
    QTest::keyClick(order, Qt::Key_Up);
    EXPECT_EQ(order->currentText(), "As found");
    click(*form, "WorkbookXlsx");
    click(*form, "btnSave");
    const std::string content = saved();
    EXPECT_EQ(content.substr(content.find("Excel_File_Start")),
              crlf({"Excel_File_Start=/home/ann/tpl.xls", "Exclude_Attribute=Fitted"}));
}

struct RefusedCase {
    const char* field;
    const char* typed;
    const char* message;
};

// Save refuses a font size or start row it could not use: nothing is written and the window
// stays open with what was typed, to be mended.
TEST_F(OptionsWindow, SaveRefusesSizesAndRowsOutOfRange) {
    const std::string old = crlf({"Excel_Start=7"});
    writeFile(settingsPath, old);
    const std::vector<RefusedCase> cases = {
        {"HeaderFontSize", "abc",
         "\"Header Font Size\" must be a whole number from 1 to 409, not \"abc\"."},
        {"ValueFontSize", "410",
         "\"Value Font Size\" must be a whole number from 1 to 409, not \"410\"."},
        {"ExcelStart", "0",
         "\"Excel Line Start on\" must be a whole number from 1 to 1,048,576, not \"0\"."},
        {"ExcelStart", "",
         "\"Excel Line Start on\" must be a whole number from 1 to 1,048,576, not \"\"."}};
    for (const RefusedCase& c : cases) {
        SCOPED_TRACE(std::string(c.field) + " " + c.typed);
        auto form = open();
        retype(*form, c.field, c.typed);
        const auto message = answerMessageBox([&] { click(*form, "btnSave"); });
        ASSERT_TRUE(message);
        EXPECT_EQ(message->title, "Vexlo");
        EXPECT_EQ(message->text.toStdString(), c.message);
        EXPECT_EQ(message->buttons, QMessageBox::Ok);
        EXPECT_TRUE(form->isVisible());
        EXPECT_EQ(control<QLineEdit>(*form, c.field)->text(), c.typed);
        EXPECT_EQ(saved(), old);
        EXPECT_EQ(setOptionsCalls, 0);
    }
}

TEST_F(OptionsWindow, EmptiedTemplateWritesNoLineAndUntouchedGreyBoxStaysGrey) {
    writeFile(settingsPath, crlf({"Excel_File_Start=/old.xls", "Header_Bold=2"}));
    auto form = open();
    retype(*form, "txtExcelTemplate", "");
    click(*form, "btnSave");
    Lines expected = initialLines;
    expected[4] = "Header_Bold=2";
    EXPECT_EQ(saved(), crlf(expected));
}

struct TypedCase {
    const char* name;
    const char* combo;
    int chosen;  // an item chosen first and the text typed after it, or -1: the box retyped
    const char* typed;
    bool enter;        // Enter pressed after typing
    const char* line;  // the box's line as saved
    int itemCount;     // typed text never becomes an item
};

void PrintTo(const TypedCase& c, std::ostream* out) {
    *out << c.name;
}

class TypedComboText : public OptionsWindow, public ::testing::WithParamInterface<TypedCase> {};

TEST_P(TypedComboText, SavesItsItemIndex) {
    const TypedCase& typed = GetParam();
    auto form = open();
    auto* box = control<QComboBox>(*form, typed.combo);
    if (typed.chosen >= 0) {
        box->setCurrentIndex(typed.chosen);
        QTest::keyClick(box->lineEdit(), Qt::Key_End);
    } else {
        box->lineEdit()->clear();
    }
    QTest::keyClicks(box->lineEdit(), QString::fromUtf8(typed.typed));
    if (typed.enter) {
        QTest::keyClick(box->lineEdit(), Qt::Key_Return);
    }
    click(*form, "btnSave");
    const std::string content = saved();
    EXPECT_NE(content.find(std::string("\r\n") + typed.line + "\r\n"), std::string::npos)
        << content;
    EXPECT_EQ(box->count(), typed.itemCount);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TypedComboText,
    ::testing::Values(
        TypedCase{"NotAnItem", "AlignH", -1, "Middle", false, "Align_Header=-1", 3},
        TypedCase{"NotAnItemEntered", "AlignH", -1, "Middle", true, "Align_Header=-1", 3},
        TypedCase{"OtherCase", "AlignV", -1, "right", false, "Align_Value=-1", 3},
        TypedCase{"Emptied", "ExportFileFormat", -1, "", false, "Export_File_Format=-1", 4},
        TypedCase{"ItemTypedInFull", "AlignV", -1, "Center", false, "Align_Value=1", 3},
        TypedCase{"FormatNotInList", "ExportFileFormat", -1, "PDF", true, "Export_File_Format=-1",
                  4},
        TypedCase{"FormatTyped", "ExportFileFormat", -1, "HTML", true, "Export_File_Format=2", 4},
        TypedCase{"ItemEditedAfterChoice", "AlignH", 2, "ish", false, "Align_Header=-1", 3}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(OptionsWindow, GreyCheckBoxSavedAsTwoThenTwoStateForUser) {
    writeFile(settingsPath, crlf({"Value_Italic=2"}));
    auto form = open();
    auto* box = control<QCheckBox>(*form, "ItalicV");
    EXPECT_EQ(box->checkState(), Qt::PartiallyChecked);
    QList<Qt::CheckState> states;
    for (int i = 0; i < 3; ++i) {
        click(*form, "ItalicV");
        states << box->checkState();
    }
    EXPECT_EQ(states, (QList<Qt::CheckState>{Qt::Checked, Qt::Unchecked, Qt::Checked}));
}

// --- Leaving without saving ---

TEST_F(OptionsWindow, CancelOrClosingTheWindowWritesNothing) {
    const std::string old = crlf({"Excel_Start=7", "Colour=red"});
    writeFile(settingsPath, old);
    for (const bool cancel : {true, false}) {
        SCOPED_TRACE(cancel ? "Cancel" : "close");
        auto form = open();
        retype(*form, "ExcelStart", "9");
        if (cancel) {
            click(*form, "btnCancel");
        } else {
            form->close();
        }
        EXPECT_EQ(saved(), old);
        EXPECT_EQ(setOptionsCalls, 0);
        EXPECT_EQ(form->result(), QDialog::Rejected);
        EXPECT_FALSE(form->isVisible());
        EXPECT_EQ(dir.listing(), (Lines{"vexlosettings.qzv"}));
    }
}

// Takes from this thread root's power to write where permissions forbid it, so that a read-only
// folder stops the test as it stops a user; restored at the end.
class WithoutWriteOverride {
public:
    WithoutWriteOverride() {
        if (::syscall(SYS_capget, &header_, saved_) != 0) {
            return;
        }
        __user_cap_data_struct reduced[2] = {saved_[0], saved_[1]};
        reduced[0].effective &= ~(1u << CAP_DAC_OVERRIDE);
        active_ = ::syscall(SYS_capset, &header_, reduced) == 0;
    }
    ~WithoutWriteOverride() {
        if (active_) {
            ::syscall(SYS_capset, &header_, saved_);
        }
    }
    WithoutWriteOverride(const WithoutWriteOverride&) = delete;
    WithoutWriteOverride& operator=(const WithoutWriteOverride&) = delete;

private:
    __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved_[2]{};
    bool active_ = false;
};

bool canCreateFileIn(const std::string& folder) {
    const std::string probe = folder + "/.probe";
    const bool created = std::ofstream(probe).good();
    std::filesystem::remove(probe);
    return created;
}

TEST_F(OptionsWindow, UnwritableFolderShowsErrorAndKeepsOldFile) {
    const std::string old = crlf({"Excel_Start=7", "Header_Font_Size=12", "Colour=red"});
    writeFile(settingsPath, old);
    auto form = open();
    retype(*form, "ExcelStart", "9");
    std::optional<MessageSeen> message;
    {
        ::chmod(dir.path().c_str(), 0555);
        WithoutWriteOverride guard;
        if (canCreateFileIn(dir.path())) {
            ::chmod(dir.path().c_str(), 0755);
            GTEST_SKIP() << "this process can write into read-only folders";
        }
        message = answerMessageBox([&] { click(*form, "btnSave"); });
    }
    ::chmod(dir.path().c_str(), 0755);
    ASSERT_TRUE(message);
    EXPECT_EQ(message->title, "Vexlo");
    EXPECT_EQ(message->text.toStdString(), "Error 70: Cannot create \"" + settingsPath +
                                               "\": the folder \"" + dir.path() +
                                               "\" cannot be written to (Permission denied)");
    EXPECT_EQ(message->buttons, QMessageBox::Ok);
    EXPECT_EQ(saved(), old);
    EXPECT_EQ(dir.listing(), (Lines{"vexlosettings.qzv"}));
    EXPECT_EQ(setOptionsCalls, 0);
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(control<QLineEdit>(*form, "ExcelStart")->text(), "9");
    // Once the folder can be written again, the same window saves.
    click(*form, "btnSave");
    EXPECT_EQ(saved().substr(0, 15), "Excel_Start=9\r\n");
    EXPECT_EQ(setOptionsCalls, 1);
}

struct FailureCase {
    const char* name;
    const char* button;
    bool toolClosed;  // otherwise the main window fails to read the settings
    const char* message;
    int setOptionsCalls;
};

class ShownFailure : public OptionsWindow, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(ShownFailure, KeepsTheWindowOpen) {
    const FailureCase& c = GetParam();
    auto form = open();
    toolClosed = c.toolClosed;
    setOptionsFails = !c.toolClosed;
    const auto message = answerMessageBox([&] { click(*form, c.button); });
    ASSERT_TRUE(message);
    EXPECT_EQ(message->title, "Vexlo");
    EXPECT_EQ(message->text.toStdString(), c.message);
    EXPECT_EQ(setOptionsCalls, c.setOptionsCalls);
    EXPECT_TRUE(dialogCalls.empty());
    EXPECT_TRUE(form->isVisible());
    // Only a failure after writing leaves the file, written whole.
    EXPECT_EQ(dir.listing(), c.setOptionsCalls != 0 ? Lines{"vexlosettings.qzv"} : Lines{});
    if (c.setOptionsCalls != 0) {
        EXPECT_EQ(saved(), crlf(initialLines));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ShownFailure,
    ::testing::Values(FailureCase{"ClosedToolAtSave", "btnSave", true,
                                  "Error 429: The schematic tool is not running", 0},
                      FailureCase{"FailedSetOptions", "btnSave", false,
                                  "Error 429: The main window could not read the settings", 1},
                      FailureCase{"ClosedToolAtBrowse", "btnBrowse", true,
                                  "Error 429: The schematic tool is not running", 0}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Browse ---

struct BrowseCase {
    const char* name;
    const char* templateText;
    const char* folder;
    const char* answer = "/chosen/new template.xls";  // empty: the dialog cancelled
};

void PrintTo(const BrowseCase& c, std::ostream* out) {
    *out << c.name;
}

class BrowseFolder : public OptionsWindow, public ::testing::WithParamInterface<BrowseCase> {};

TEST_P(BrowseFolder, StartsWhereTheTemplateOrProjectIs) {
    auto form = open();
    control<QLineEdit>(*form, "txtExcelTemplate")->setText(GetParam().templateText);
    dialogAnswer = QString::fromUtf8(GetParam().answer);
    click(*form, "btnBrowse");
    ASSERT_EQ(dialogCalls.size(), 1u);
    EXPECT_EQ(dialogCalls[0].folder.toStdString(), GetParam().folder);
    EXPECT_EQ(dialogCalls[0].title, "Select Excel Template File...");
    EXPECT_EQ(dialogCalls[0].filters,
              "Excel Files (.xls, .xlsx) (*.xls *.xlsx);;Excel Files (.xls) (*.xls);;Excel Files "
              "(.xlsx) (*.xlsx)");
    EXPECT_EQ(dialogCalls[0].selected, "Excel Files (.xls, .xlsx) (*.xls *.xlsx)");
    EXPECT_EQ(control<QLineEdit>(*form, "txtExcelTemplate")->text(),
              dialogAnswer.isEmpty() ? GetParam().templateText : dialogAnswer);
    EXPECT_TRUE(dir.listing().empty());  // nothing is written before Save
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BrowseFolder,
    ::testing::Values(BrowseCase{"TemplateFolder", "/home/ann/tpl/bom.xls", "/home/ann/tpl/"},
                      BrowseCase{"LastSlashCounts", "/a/b=c/d/x.xls", "/a/b=c/d/"},
                      BrowseCase{"RootFolder", "/bom.xls", "/"},
                      BrowseCase{"FolderOnly", "/home/ann/", "/home/ann/"},
                      BrowseCase{"NoSlash", "bom.xls", ""},
                      BrowseCase{"BackslashIsNoSeparator", "C:\\tpl\\bom.xls", ""},
                      BrowseCase{"EmptyTakesProject", "", "/projects/cpu/"},
                      BrowseCase{"CancelledKeepsTemplate", "/kept/tpl.xls", "/kept/", ""}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vexlo::options
