// The saved-selection and report buttons of the main window, end to end on an in-memory tool.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <filesystem>

#include "fakeproject.h"
#include "faketool.h"
#include "main/vexlo.h"
#include "qtprinters.h"
#include "selection/droplist.h"
#include "testsupport.h"

namespace vexlo {
namespace {

using design::makeComponent;
using test::crlf;
using test::readFile;
using test::writeFile;
using Lines = std::vector<std::string>;

const Lines workedExample{"** Board",      "REFDES",    "Part Number", "QTY",
                          "==Part Number", "** Cables", "REFDES",      "Value"};

class SavedOperations : public ::testing::Test {
protected:
    SavedOperations() {
        test::serveProjectIn(tool, project, "board");
        writeFile(project.file("vexlosettings.qzv"), crlf({"Export_File_Format=3"}));
        auto part = [](const char* refdes, const char* partNumber, const char* value) {
            return makeComponent(
                refdes, {{"REFDES", refdes}, {"Part Number", partNumber}, {"Value", value}});
        };
        tool.design->components = {part("R1", "RC0603-1K", "1k"), part("R2", "RC0603-1K", "1k"),
                                   part("C1", "GRM-100N", "100n")};
    }

    void open() {
        window = std::make_unique<Vexlo>(tool.connector());
        window->showMessage = [this](const QString& text) { messages.push_back(text); };
        ASSERT_TRUE(window->Form_Load());
        window->show();
    }

    void click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

    QStringList columns() const {
        QStringList result;
        for (int row = 0; row < window->lstSelected->count(); ++row) {
            result.append(window->lstSelected->item(row)->text());
        }
        return result;
    }
    QStringList choices() const {
        QStringList result;
        for (int index = 0; index < window->cmbChoice->count(); ++index) {
            result.append(window->cmbChoice->itemText(index));
        }
        return result;
    }
    std::string selectionFile() const { return readFile(project.file("vexloattributes.qzv")); }

    test::TempDir project;
    design::FakeTool tool;
    test::ViewerRecorder viewer;
    std::unique_ptr<Vexlo> window;
    std::vector<QString> messages;
};

// --- Save Selection ---

TEST_F(SavedOperations, SaveWithoutNameIsRefused) {
    open();
    click(window->btnSaveAs);
    EXPECT_EQ(messages,
              std::vector<QString>{"You need to give the report a name before saving it!"});
    EXPECT_FALSE(std::filesystem::exists(project.file("vexloattributes.qzv")));
}

TEST_F(SavedOperations, FirstSaveCreatesTheFileInTheProjectFolder) {
    open();
    window->lstSelected->addItems({"REFDES", "Value"});
    window->chkCompress->setChecked(true);
    window->lblkey->setText("Value");
    window->txtSaveAs->setText(" parts ");
    click(window->btnSaveAs);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(selectionFile(), crlf({"**  parts ", "REFDES", "Value", "QTY", "==Value"}));
    EXPECT_EQ(choices(), QStringList{" parts "});
    EXPECT_EQ(window->txtSaveAs->text(), " parts ");
    EXPECT_EQ(columns(), (QStringList{"REFDES", "Value", "QTY"}));
}

TEST_F(SavedOperations, SaveAppendsAndSelectsTheFirstName) {
    writeFile(project.file("vexloattributes.qzv"), crlf(workedExample));
    open();
    window->lstSelected->addItems({"Value"});
    window->txtSaveAs->setText("board");
    click(window->btnSaveAs);
    Lines expected = workedExample;
    expected.insert(expected.end(), {"** board", "Value"});
    EXPECT_EQ(selectionFile(), crlf(expected));
    EXPECT_EQ(choices(), (QStringList{"Board", "Cables", "board"}));
    EXPECT_EQ(window->cmbChoice->currentText(), "Board");
}

TEST_F(SavedOperations, SaveOfTakenNameShowsOneMessagePerSection) {
    const Lines twice{"** A", "X", "** B", "** A", "Y"};
    writeFile(project.file("vexloattributes.qzv"), crlf(twice));
    open();
    window->txtSaveAs->setText("A");
    click(window->btnSaveAs);
    EXPECT_EQ(messages, (std::vector<QString>(
                            2, "This Report Name already exists. Can not save as this name!")));
    EXPECT_EQ(selectionFile(), crlf(twice));
    EXPECT_EQ(choices(), (QStringList{"A", "B", "A"}));
}

// --- Delete Choice ---

TEST_F(SavedOperations, DeleteLeavesTheOtherSections) {
    writeFile(project.file("vexloattributes.qzv"), crlf(workedExample));
    open();
    click(window->btnDeleteChoice);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(selectionFile(), crlf({"** Cables", "REFDES", "Value"}));
    EXPECT_EQ(choices(), QStringList{"Cables"});
    EXPECT_EQ(window->cmbChoice->currentText(), "Cables");
}

TEST_F(SavedOperations, DeleteWithoutFileChangesNothing) {
    open();
    window->cmbChoice->addItem("Ghost");
    click(window->btnDeleteChoice);
    EXPECT_EQ(choices(), QStringList{"Ghost"});
    EXPECT_FALSE(std::filesystem::exists(project.file("vexloattributes.qzv")));
}

// --- Reports ---

TEST_F(SavedOperations, CreateReportRefusesCompressWithoutKey) {
    open();
    window->lstSelected->addItems({"REFDES"});
    window->chkCompress->setChecked(true);
    click(window->btnReport);
    const QString refusal =
        "You have selected to Compress Report, you must select a Key. Select the key in the "
        "Attribute Selected list and select the 'Select Part Number' button";
    EXPECT_EQ(messages, std::vector<QString>{refusal});
    EXPECT_EQ(window->lblStatus->text(), refusal);
    EXPECT_FALSE(std::filesystem::exists(project.file("board.csv")));
    EXPECT_EQ(project.listing(), (Lines{"sch", "vexlosettings.qzv"}));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(SavedOperations, CreateReportWritesTheCompressedCsvAndShowsIt) {
    open();
    window->lstSelected->addItems({"REFDES", "Value"});
    window->chkCompress->setChecked(true);
    window->lblkey->setText("Value");
    click(window->btnReport);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(readFile(project.file("board.csv")),
              crlf({"REFDES,Value,QTY", "C1,100n,1", "\"R1, R2\",1k,2"}));
    EXPECT_EQ(viewer.shown(1), Lines{project.file("board.csv")});
    EXPECT_EQ(project.listing(), (Lines{"board.csv", "sch", "vexlosettings.qzv"}));
    EXPECT_EQ(window->lblStatus->text().toStdString(),
              "Report written: " + project.file("board.csv") + " (2 rows)");
    EXPECT_EQ(test::listFolder(project.file("sch")), Lines{"board.sch"});
}

TEST_F(SavedOperations, LoadChoicesLoadsAndReportsUnderTheSelectionsName) {
    writeFile(project.file("vexloattributes.qzv"), crlf(workedExample));
    open();
    click(window->btnloadChoice);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(columns(), (QStringList{"REFDES", "Part Number", "QTY"}));
    EXPECT_TRUE(window->chkCompress->isChecked());
    EXPECT_EQ(window->lblkey->text(), "Part Number");
    EXPECT_TRUE(window->btnRemove->isEnabled());
    EXPECT_TRUE(window->btnMoveDown->isEnabled());
    EXPECT_EQ(readFile(project.file("board_Board.csv")),
              crlf({"REFDES,Part Number,QTY", "C1,GRM-100N,1", "\"R1, R2\",RC0603-1K,2"}));
}

TEST_F(SavedOperations, LoadChoicesOfUnknownNameReportsAnEmptyList) {
    writeFile(project.file("vexloattributes.qzv"), crlf(workedExample));
    open();
    window->lstSelected->addItems({"Old"});
    window->cmbChoice->setEditText("Nope");
    click(window->btnloadChoice);
    EXPECT_TRUE(columns().isEmpty());
    EXPECT_FALSE(window->chkCompress->isChecked());
    EXPECT_EQ(readFile(project.file("board_Nope.csv")), crlf({"", "", "", ""}));
    EXPECT_EQ(window->lblStatus->text().toStdString(),
              "Report written: " + project.file("board_Nope.csv") + " (3 rows)");
}

TEST_F(SavedOperations, LoadChoicesWithoutFileReportsTheListAsItStood) {
    open();
    window->lstSelected->addItems({"REFDES"});
    window->cmbChoice->setEditText("Board");
    click(window->btnloadChoice);
    EXPECT_EQ(columns(), QStringList{"REFDES"});
    EXPECT_EQ(readFile(project.file("board.csv")), crlf({"REFDES", "R1", "R2", "C1"}));
}

TEST_F(SavedOperations, LoadAllWritesOneReportPerSelectionAndKeepsTheLast) {
    writeFile(project.file("vexloattributes.qzv"), crlf(workedExample));
    open();
    const int attachesBefore = tool.attaches;
    click(window->btnLoadAll);
    EXPECT_TRUE(messages.empty());
    // One attach and one design fetch serve the whole batch.
    EXPECT_EQ(tool.attaches - attachesBefore, 1);
    EXPECT_EQ(tool.loadCount, 1);
    EXPECT_EQ(readFile(project.file("board_Board.csv")),
              crlf({"REFDES,Part Number,QTY", "C1,GRM-100N,1", "\"R1, R2\",RC0603-1K,2"}));
    EXPECT_EQ(readFile(project.file("board_Cables.csv")),
              crlf({"REFDES,Value", "R1,1k", "R2,1k", "C1,100n"}));
    EXPECT_EQ(columns(), (QStringList{"REFDES", "Value"}));
    EXPECT_FALSE(window->chkCompress->isChecked());
    EXPECT_EQ(window->lblkey->text(), "Part Number");
    EXPECT_EQ(viewer.shown(2).size(), 2u);
    EXPECT_EQ(window->lblStatus->text(), "Load All: 2 reports written, 0 failed");
}

TEST_F(SavedOperations, LoadAllGoesOnAfterAFailedReportAndTellsIt) {
    writeFile(project.file("vexloattributes.qzv"),
              crlf({"** Bad", "Value", "QTY", "==Missing", "** Good", "Value"}));
    open();
    click(window->btnLoadAll);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].startsWith("Some reports were not written:\nBad: Error 1004: "))
        << messages[0].toStdString();
    EXPECT_FALSE(std::filesystem::exists(project.file("board_Bad.csv")));
    EXPECT_EQ(readFile(project.file("board_Good.csv")), crlf({"Value", "1k", "1k", "100n"}));
    EXPECT_EQ(window->lblStatus->text(), "Load All: 1 report written, 1 failed");
}

// A failed report is told in a message and stays on the status line.
TEST_F(SavedOperations, StatusLineTellsFailures) {
    open();
    window->lstSelected->addItems({"REFDES", "Value"});
    window->chkCompress->setChecked(true);
    window->lblkey->setText("Tolerance");
    click(window->btnReport);
    const QString failure =
        "Error 1004: Cannot compress the report by the key \"Tolerance\": no report column has "
        "that name";
    EXPECT_EQ(messages, std::vector<QString>{failure});
    EXPECT_EQ(window->lblStatus->text(), failure);
    writeFile(project.file("vexlosettings.qzv"), crlf({"Export_File_Format=7"}));
    window->SetOptions();
    window->lblkey->setText("Value");
    click(window->btnReport);
    const QString noWriter =
        "Error 1012: The output format 7 has no report writer (0 Excel, 1 Text, 2 HTML, 3 CSV)";
    EXPECT_EQ(messages, (std::vector<QString>{failure, noWriter}));
    EXPECT_EQ(window->lblStatus->text(), noWriter);
}

}  // namespace
}  // namespace vexlo
