// The Options window as a user works it, over a settings file in a fresh folder.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "common/error.h"
#include "options/optionswindow.h"
#include "qtsupport.h"
#include "testsupport.h"

namespace vexlo::options {
namespace {

using test::crlf;
using test::readFile;

class OptionsWindow : public ::testing::Test {
protected:
    std::unique_ptr<Form1> open() {
        const auto ask = [this](std::string answer) {
            return toolClosed ? throw Error(errc::ToolNotRunning, "The tool is not running")
                              : answer;
        };
        auto form = std::make_unique<Form1>(
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
    // What the controls show, each after a ";": texts, and check states as Qt numbers them
    // (0 unchecked, 1 grey, 2 checked).
    std::string shown(const std::vector<const char*>& names) {
        std::string text;
        for (const char* name : names) {
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
    Form1* current = nullptr;
    bool toolClosed = false, setOptionsFails = false;
    std::vector<std::string> readAtSetOptions, dialog;
    QString dialogAnswer;
};

TEST_F(OptionsWindow, ShowsTheFileAndSavesWhatTheUserChanged) {
    test::writeFile(
        path,
        crlf({"Excel_Start=4", "Header_Font_Size=14", "Value_Font_Size=8.5", "Value_Bold=1",
              "Header_Bold=2", "Header_Italic=1", "Align_Header=2", "Align_Value=-1",
              "Export_File_Format=3", "Excel_File_Start=/t/a=b.xls", "Exclude_Attribute=Fitted",
              "Exclude_Values=DNP, NF", "Refdes_Order=2", "Workbook_Xlsx=1", "Colour=red"}));
    auto form = open();
    EXPECT_EQ(shown({"ExcelStart", "HeaderFontSize", "ValueFontSize", "BoldV", "BoldH", "ItalicV",
                     "ItalicH", "AlignH", "AlignV", "ExportFileFormat", "txtExcelTemplate",
                     "ExcludeAttribute", "ExcludeValues", "RefdesOrder", "WorkbookXlsx"}),
              ";4;14;8.5;2;1;0;2;Right;;CSV;/t/a=b.xls;Fitted;DNP, NF;Natural order with ranges;2");
    type("HeaderFontSize", "12");
    type("ValueFontSize", "409");
    click("BoldV");
    for (int i = 0; i < 3; ++i) {  // grey, then two states for the user: checked at the third
        click("BoldH");
    }
    click("ItalicV");
    type("AlignH", "left");  // an item in any letter case
    type("AlignV", "Center");
    type("ExportFileFormat", "HTML");
    type("ExcludeValues", "");
    QTest::keyClick(control("RefdesOrder"), Qt::Key_Up);
    QTest::keyClicks(control("RefdesOrder"), "Zz");  // a list of choices: no text to type
    EXPECT_EQ(shown({"RefdesOrder"}), ";Natural order");
    click("WorkbookXlsx");
    // Return in a box saves, as the window's default button; typed text is never an item.
    QTest::keyClick(control<QComboBox>("ExportFileFormat")->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(control<QComboBox>("ExportFileFormat")->count(), 4);
    const std::string written =
        crlf({"Excel_Start=4", "Header_Font_Size=12", "Value_Font_Size=409", "Value_Bold=0",
              "Header_Bold=1", "Value_Italic=1", "Header_Italic=1", "Align_Header=0",
              "Align_Value=1", "Export_File_Format=2", "Excel_File_Start=/t/a=b.xls",
              "Exclude_Attribute=Fitted", "Refdes_Order=1"});
    EXPECT_EQ(readFile(path), written);
    EXPECT_EQ(readAtSetOptions, std::vector<std::string>{written});  // told after writing
    EXPECT_EQ(form->result(), QDialog::Accepted);
    EXPECT_FALSE(form->isVisible());
}

// A refused or failed save says why and leaves the window open with what was typed.
TEST_F(OptionsWindow, SaveRefusalsAndFailuresAreShown) {
    const std::vector<std::tuple<const char*, const char*, int, std::string>> cases = {
        {"HeaderFontSize", "abc", 0,
         "\"Header Font Size\" must be a whole number from 1 to 409, not \"abc\"."},
        {"ExcelStart", "0", 0,
         "\"Excel Line Start on\" must be a whole number from 1 to 1,048,576, not \"0\"."},
        {"AlignH", "Rightish", 0,
         "\"Alignment\" under Header must be one of Left, Center, Right, not \"Rightish\"."},
        {"AlignV", "Middle", 0,
         "\"Alignment\" under Value must be one of Left, Center, Right, not \"Middle\"."},
        {"ExportFileFormat", "PDF", 0,
         "\"Output Format\" must be one of Excel, Text, HTML, CSV, not \"PDF\"."},
        {"ExcelStart", "9", 1, "Error 429: The tool is not running"},
        {"ExcelStart", "9", 2, "Error 429: The main window could not read it"}};
    for (const auto& [field, typed, failure, message] : cases) {
        test::writeFile(path, crlf({"Excel_Start=7"}));
        auto form = open();
        type(field, typed);
        toolClosed = failure == 1;
        setOptionsFails = failure == 2;
        EXPECT_EQ(test::messageOf([&] { click("btnSave"); }), "I Vexlo: " + message);
        toolClosed = false;
        EXPECT_TRUE(form->isVisible());
        EXPECT_EQ(shown({field}), std::string(";") + typed);
        if (qobject_cast<QComboBox*>(control(field)) != nullptr) {  // the list to choose in
            EXPECT_EQ(form->focusWidget(), control(field)) << field;
        }
        EXPECT_EQ(readFile(path).substr(0, 15),
                  failure == 2 ? "Excel_Start=9\r\n" : crlf({"Excel_Start=7"}));
        EXPECT_EQ(readAtSetOptions.size(), failure == 2 ? 1u : 0u);
    }
}

// Without the tool the window shows its initial values; Cancel writes nothing.
TEST_F(OptionsWindow, CancelWritesNothing) {
    test::writeFile(path, crlf({"Excel_Start=7", "Header_Font_Size=14"}));
    toolClosed = true;
    auto form = open();
    EXPECT_EQ(shown({"HeaderFontSize", "ValueFontSize", "ExcelStart", "AlignH", "ExportFileFormat",
                     "RefdesOrder"}),
              ";10;10;1;Left;Excel;As found");
    toolClosed = false;
    type("ExcelStart", "9");
    click("btnCancel");
    EXPECT_EQ(form->result(), QDialog::Rejected);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(readFile(path), crlf({"Excel_Start=7", "Header_Font_Size=14"}));
    EXPECT_TRUE(readAtSetOptions.empty());
}

// A settings file that cannot be read is told as the window opens, which then shows the initial
// values; Save writes them over the file only when the user saves.
TEST_F(OptionsWindow, AFileThatCannotBeReadIsToldFirst) {
    std::filesystem::create_directory(path);
    std::unique_ptr<Form1> form;
    EXPECT_EQ(test::messageOf([&] { form = open(); }),
              "W Vexlo: Error 75: Cannot read \"" + path +
                  "\": it is a folder, not a regular file\n\nThe window shows the initial "
                  "values; Save writes them over the file.");
    EXPECT_EQ(shown({"HeaderFontSize", "ExcelStart", "ExportFileFormat"}), ";10;1;Excel");
    EXPECT_TRUE(std::filesystem::is_directory(path));
}

// Browse starts in the template's folder, else in the project's; cancelling keeps the text.
TEST_F(OptionsWindow, BrowseStartsWhereTheTemplateOrProjectIs) {
    const std::vector<std::tuple<QString, QString, std::string>> cases = {
        {"/home/ann/tpl/bom.xls", "/chosen/new.xls", "/home/ann/tpl/"},
        {"/a/b=c/x.xls", "", "/a/b=c/"},
        {"C:\\tpl\\bom.xls", "/c.xls", ""},
        {"", "/c.xls", "/projects/"}};
    auto form = open();
    for (const auto& [text, answer, folder] : cases) {
        control<QLineEdit>("txtExcelTemplate")->setText(text);
        dialogAnswer = answer;
        click("btnBrowse");
        EXPECT_EQ(dialog.back(),
                  "Select Excel Template File...|" + folder +
                      "|Excel Files (.xls, .xlsx) (*.xls *.xlsx);;Excel Files (.xls) (*.xls);;"
                      "Excel Files (.xlsx) (*.xlsx)|Excel Files (.xls, .xlsx) (*.xls *.xlsx)");
        EXPECT_EQ(control<QLineEdit>("txtExcelTemplate")->text(), answer.isEmpty() ? text : answer);
    }
    control<QLineEdit>("txtExcelTemplate")->clear();
    toolClosed = true;
    EXPECT_EQ(test::messageOf([&] { click("btnBrowse"); }),
              "I Vexlo: Error 429: The tool is not running");
    EXPECT_EQ(dialog.size(), cases.size());
    EXPECT_TRUE(dir.listing().empty());
}

}  // namespace
}  // namespace vexlo::options
