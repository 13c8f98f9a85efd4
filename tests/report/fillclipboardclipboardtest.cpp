#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <filesystem>

#include "design/faketool.h"
#include "report/fillclipboard.h"
#include "testsupport.h"

// The workbook report is built without the system clipboard: what the user put there is still
// there afterwards.
namespace vexlo::report {
namespace {

TEST(FillClipboard, LeavesTheClipboardAsTheUserLeftIt) {
    test::TempDir dir;
    std::filesystem::create_directories(dir.path() + "/proj/sch");
    design::FakeTool tool;
    tool.documentName = "amp.1";
    tool.documentPath = dir.path() + "/proj/sch/";
    tool.design->components = {design::makeComponent("R1", {{"Value", "10k"}})};
    ReportRequest request;
    request.columns = {"REFDES", "Value", "QTY"};
    request.showReport = false;
    request.settings.Excel_Start = 1;

    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText(QStringLiteral("kept by the user"));
    EXPECT_EQ(FillClipboard(tool, request), dir.path() + "/proj/amp.xls");
    EXPECT_EQ(clipboard->text().toStdString(), "kept by the user");
    EXPECT_EQ(test::listFolder(dir.path() + "/proj"), (std::vector<std::string>{"amp.xls", "sch"}));
}

}  // namespace
}  // namespace vexlo::report
