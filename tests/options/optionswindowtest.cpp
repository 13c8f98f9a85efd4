// The Options window as a user works it, over a settings file in a fresh folder.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "common/error.h"
#include "options/optionswindow.h"
#include "testsupport.h"

namespace vexlo::options {
namespace {

using test::crlf;
using test::readFile;
using test::writeFile;

// Runs an action and answers the message box it opens with OK: "title: text", or "" for none.
std::string messageOf(const std::function<void()>& action) {
    std::string seen;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&seen] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box != nullptr && seen.empty() && box->standardButtons() == QMessageBox::Ok) {
            seen = (box->windowTitle() + ": " + box->text()).toStdString();
            box->button(QMessageBox::Ok)->click();
        }
    });
    timer.start(10);
    action();
    return seen;
}

class OptionsWindow : public ::testing::Test {
protected:
    std::string ask(const std::string& answer) const {
        if (toolClosed) {
            throw Error(errc::ToolNotRunning, "The schematic tool is not running");
        }
        return answer;
    }

    std::unique_ptr<Form1> open() {
        auto form = std::make_unique<Form1>(
            [this] { return ask(path); }, [this] { return ask("/projects/cpu/"); },
            [this] {
                readAtSetOptions.push_back(readFile(path));
                if (setOptionsFails) {
                    throw Error(errc::ToolNotRunning, "The main window could not read it");
                }
            });
        form->setFileDialog([this](QWidget*, const QString& title, const QString& folder,
                                   const QString& filters, const QString& selected) {
            dialog.push_back(folder.toStdString());
            EXPECT_EQ(title, "Select Excel Template File...");
            EXPECT_EQ(filters,
                      "Excel Files (.xls, .xlsx) (*.xls *.xlsx);;Excel Files (.xls) "
                      "(*.xls);;Excel Files (.xlsx) (*.xlsx)");
            EXPECT_EQ(selected, "Excel Files (.xls, .xlsx) (*.xls *.xlsx)");
            return dialogAnswer;
        });
        form->show();
        current = form.get();
        return form;
    }

    template <typename Widget = QWidget>
    Widget* control(const char* name) {
        auto* widget = current->findChild<Widget*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    void click(const char* name) { QTest::mouseClick(control(name), Qt::LeftButton); }
    void type(const char* name, const QString& text, bool clear = true) {
        auto* combo = current->findChild<QComboBox*>(QString::fromLatin1(name));
        QLineEdit* edit = combo != nullptr ? combo->lineEdit() : control<QLineEdit>(name);
        if (clear) {
            edit->clear();
        }
        QTest::keyClicks(edit, text);
    }
    // What a control shows: its text, or a check box's state as 0, 1 (checked) or 2 (grey).
    std::string shown(const char* name) {
        QWidget* widget = control(name);
        if (auto* box = qobject_cast<QCheckBox*>(widget)) {
            return std::to_string(box->checkState() == Qt::Checked            ? 1
                                  : box->checkState() == Qt::PartiallyChecked ? 2
                                                                              : 0);
        }
        auto* combo = qobject_cast<QComboBox*>(widget);
        return (combo ? combo->currentText() : qobject_cast<QLineEdit*>(widget)->text())
            .toStdString();
    }

    test::TempDir dir;
    std::string path = dir.file(settingsFileName);
    Form1* current = nullptr;
    bool toolClosed = false, setOptionsFails = false;
    std::vector<std::string> readAtSetOptions, dialog;
    QString dialogAnswer;
};

TEST_F(OptionsWindow, ShowsTheFileAndSavesWhatTheUserChanged) {
    writeFile(path, crlf({"Excel_Start=4", "Header_Font_Size=14", "Value_Font_Size=8.5",
                          "Value_Bold=1", "Header_Bold=2", "Header_Italic=1", "Align_Header=2",
                          "Align_Value=-1", "Export_File_Format=3", "Excel_File_Start=/t/a=b.xls",
                          "Exclude_Attribute=Fitted", "Exclude_Values=DNP, NF", "Refdes_Order=2",
                          "Workbook_Xlsx=1", "Colour=red"}));
    auto form = open();
    std::string seen;
    for (const char* name :
         {"ExcelStart", "HeaderFontSize", "ValueFontSize", "BoldV", "BoldH", "ItalicV", "ItalicH",
          "AlignH", "AlignV", "ExportFileFormat", "txtExcelTemplate", "ExcludeAttribute",
          "ExcludeValues", "RefdesOrder", "WorkbookXlsx"}) {
        seen += shown(name) + ";";
    }
    EXPECT_EQ(seen,
              "4;14;8.5;1;2;0;1;Right;;CSV;/t/a=b.xls;Fitted;DNP, NF;Natural order with "
              "ranges;1;");
    type("HeaderFontSize", "12");
    type("ValueFontSize", "409");
    click("BoldV");
    for (int i = 0; i < 3; ++i) {  // grey, then two states for the user: checked at the third
        click("BoldH");
    }
    click("ItalicV");
    type("AlignH", "ish", false);  // "Rightish" is no item
    type("AlignV", "Center");
    type("ExportFileFormat", "PDF");
    type("ExcludeValues", "");
    QTest::keyClick(control("RefdesOrder"), Qt::Key_Up);
    click("WorkbookXlsx");
    click("btnSave");
    const std::string written =
        crlf({"Excel_Start=4", "Header_Font_Size=12", "Value_Font_Size=409", "Value_Bold=0",
              "Header_Bold=1", "Value_Italic=1", "Header_Italic=1", "Align_Header=-1",
              "Align_Value=1", "Export_File_Format=-1", "Excel_File_Start=/t/a=b.xls",
              "Exclude_Attribute=Fitted", "Refdes_Order=1"});
    EXPECT_EQ(readFile(path), written);
    EXPECT_EQ(readAtSetOptions, std::vector<std::string>{written});  // told after writing
    EXPECT_EQ(control<QComboBox>("ExportFileFormat")->count(), 4);
    EXPECT_EQ(form->result(), QDialog::Accepted);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(dir.listing().size(), 1u);
}

TEST_F(OptionsWindow, WithoutFileOrToolShowsInitialValuesAndSavesThem) {
    writeFile(path, crlf({"Header_Font_Size=14"}));
    toolClosed = true;
    auto form = open();
    EXPECT_EQ(shown("HeaderFontSize") + shown("ValueFontSize") + shown("ExcelStart") +
                  shown("AlignH") + shown("ExportFileFormat") + shown("RefdesOrder"),
              "10101LeftExcelAs found");
    std::filesystem::remove(path);
    toolClosed = false;
    form = open();
    click("btnSave");
    EXPECT_EQ(readFile(path),
              crlf({"Excel_Start=1", "Header_Font_Size=10", "Value_Font_Size=10", "Value_Bold=0",
                    "Header_Bold=0", "Value_Italic=0", "Header_Italic=0", "Align_Header=0",
                    "Align_Value=0", "Export_File_Format=0"}));
}

// A refused or failed save says why and leaves the window open with what was typed.
TEST_F(OptionsWindow, SaveRefusalsAndFailuresAreShown) {
    const std::string old = crlf({"Excel_Start=7"});
    const std::vector<std::tuple<const char*, const char*, int, std::string>> cases = {
        {"HeaderFontSize", "abc", 0,
         "Vexlo: \"Header Font Size\" must be a whole number from 1 to 409, not \"abc\"."},
        {"ValueFontSize", "0", 0,
         "Vexlo: \"Value Font Size\" must be a whole number from 1 to 409, not \"0\"."},
        {"ExcelStart", "1048577", 0,
         "Vexlo: \"Excel Line Start on\" must be a whole number from 1 to 1,048,576, not "
         "\"1048577\"."},
        {"ExcelStart", "9", 1, "Vexlo: Error 429: The schematic tool is not running"},
        {"ExcelStart", "9", 2, "Vexlo: Error 429: The main window could not read it"}};
    for (const auto& [field, typed, failure, message] : cases) {
        SCOPED_TRACE(message);
        writeFile(path, old);
        readAtSetOptions.clear();
        auto form = open();
        type(field, typed);
        toolClosed = failure == 1;
        setOptionsFails = failure == 2;
        EXPECT_EQ(messageOf([&] { click("btnSave"); }), message);
        toolClosed = false;
        EXPECT_TRUE(form->isVisible());
        EXPECT_EQ(shown(field), typed);
        EXPECT_EQ(readFile(path).substr(0, 15), failure == 2 ? "Excel_Start=9\r\n" : old);
        EXPECT_EQ(readAtSetOptions.size(), failure == 2 ? 1u : 0u);
    }
}

TEST_F(OptionsWindow, CancelOrClosingWritesNothing) {
    writeFile(path, crlf({"Excel_Start=7", "Colour=red"}));
    for (const bool cancel : {true, false}) {
        auto form = open();
        type("ExcelStart", "9");
        cancel ? click("btnCancel") : (void)form->close();
        EXPECT_EQ(form->result(), QDialog::Rejected);
        EXPECT_EQ(readFile(path), crlf({"Excel_Start=7", "Colour=red"}));
        EXPECT_TRUE(readAtSetOptions.empty());
    }
}

// Browse starts in the template's folder, else in the project's; cancelling keeps the text.
TEST_F(OptionsWindow, BrowseStartsWhereTheTemplateOrProjectIs) {
    const std::vector<std::tuple<QString, QString, std::string>> cases = {
        {"/home/ann/tpl/bom.xls", "/chosen/new.xls", "/home/ann/tpl/"},
        {"/a/b=c/x.xls", "", "/a/b=c/"},
        {"C:\\tpl\\bom.xls", "/c.xls", ""},
        {"", "/c.xls", "/projects/cpu/"}};
    auto form = open();
    for (const auto& [text, answer, folder] : cases) {
        control<QLineEdit>("txtExcelTemplate")->setText(text);
        dialogAnswer = answer;
        click("btnBrowse");
        EXPECT_EQ(dialog.back(), folder);
        EXPECT_EQ(control<QLineEdit>("txtExcelTemplate")->text(), answer.isEmpty() ? text : answer);
    }
    control<QLineEdit>("txtExcelTemplate")->clear();
    toolClosed = true;
    EXPECT_EQ(messageOf([&] { click("btnBrowse"); }),
              "Vexlo: Error 429: The schematic tool is not running");
    EXPECT_EQ(dialog.size(), cases.size());
    EXPECT_TRUE(dir.listing().empty());
}

}  // namespace
}  // namespace vexlo::options
