// The Preview window opened from the main window, as a user works it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTest>
#include <filesystem>

#include "mainwindowfixture.h"
#include "preview/previewmodel.h"
#include "preview/previewwindow.h"
#include "qtsupport.h"
#include "testsupport.h"

namespace vexlo {
namespace {

using test::crlf;
using test::MainWindow;

// The Preview's script: each section a test on a window of its own.
const bool previewCases = (test::registerCases<test::WindowScript>(
                               "PreviewScript", "tests/preview/preview.txt",
                               test::caseSections("tests/preview/preview.txt", {"open"}),
                               [](test::WindowScript& script, const test::CaseSection& section) {
                                   script.play(section.lines, true, "preview.txt");
                               }),
                           true);

// The Preview window on a design of eight parts, Fitted "no" left out by the settings.
class Preview : public MainWindow {
protected:
    Preview() {
        const auto part = [](const char* refdes, const char* number, const char* fitted) {
            return design::makeComponent(
                refdes, {{"REFDES", refdes}, {"Part Number", number}, {"Fitted", fitted}});
        };
        tool.design->components = {part("R10", "RC-1K", "yes"), part("R2", "RC-1K", "yes"),
                                   part("R3", "RC-1K", "yes"),  part("R1", "RC-1K", "yes"),
                                   part("C1", "10", "yes"),     part("C2", "9.5", "no"),
                                   part("D1", "", "yes"),       part("U1", "MCU, 64 pin", "yes")};
    }
    void settings(const std::string& format, const std::string& order) {
        test::writeFile(project.file("vexlosettings.qzv"),
                        crlf({"Export_File_Format=" + format, "Exclude_Attribute=Fitted",
                              "Exclude_Values=no", "Refdes_Order=" + order}));
    }
};

// The Preview opens inside the screen's available area, frame and buttons included; the entry
// preview_test.scaled runs this at a scale factor of 2 on a screen of 1600x1000 pixels.
TEST_F(Preview, OpensInsideTheScreen) {
    open();
    click(w->btnLoad, w->btnAddAll);
    EXPECT_TRUE(inPreview([&](preview::PreviewWindow& window) {
        const QRect area = window.screen()->availableGeometry();
        if (const char* expected = std::getenv("VEXLO_SCREEN_AREA")) {
            EXPECT_EQ(std::to_string(area.width()) + "x" + std::to_string(area.height()), expected);
        }
        EXPECT_TRUE(area.contains(window.frameGeometry()));
        EXPECT_TRUE(window.rect().contains(window.btnClose->geometry()));
    }));
}

// The table sorts by a header click and filters, numbers each row by its place in the report and
// picks whole rows; the buttons, the filter and the summary sit in their places.
TEST_F(Preview, SortsFiltersAndPicksRows) {
    settings("3", "0");
    open();
    click(w->btnLoad, w->btnAddAll);
    w->lstSelected->addItem("Colour");
    const auto files = project.listing();
    EXPECT_TRUE(inPreview([&](preview::PreviewWindow& window) {
        QAbstractItemModel* model = window.tblReport->model();
        // A click on the Part Number header: numbers by value, text without case, empty last;
        // equal ones stay in the report's order. A second click turns it round.
        QHeaderView* header = window.tblReport->horizontalHeader();
        const auto clickHeader = [&](int section) {
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                              QPoint(header->sectionViewportPosition(section) + 5, 5));
        };
        const auto column = [&](int index) {
            std::string text;
            for (int row = 0; row < model->rowCount(); ++row) {
                text += "|" + model->index(row, index).data().toString().toStdString();
            }
            return text;
        };
        clickHeader(1);
        EXPECT_EQ(column(0), "|C1|U1|R10|R2|R3|R1|D1");
        clickHeader(1);
        EXPECT_EQ(column(0), "|D1|R10|R2|R3|R1|U1|C1");
        QTest::keyClicks(window.txtFilter, "r1");
        QTest::keyClick(window.txtFilter, Qt::Key_Return);  // filters; writes nothing
        EXPECT_TRUE(window.isVisible());
        EXPECT_EQ(column(0), "|R10|R1");
        EXPECT_EQ(window.shownRows(), "2 of 7 shown");
        // Each row numbered by its place in the report; a click picks a whole row.
        EXPECT_EQ(model->headerData(0, Qt::Vertical).toInt(), 1);
        EXPECT_EQ(model->headerData(1, Qt::Vertical).toInt(), 4);
        QTableView* view = window.tblReport;
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                          view->visualRect(model->index(1, 1)).center());
        EXPECT_EQ(view->selectionModel()->selectedIndexes().size(), model->columnCount());
        EXPECT_EQ(view->selectionModel()->selectedRows().size(), 1);
        // What is not a cell, or not a text, holds nothing.
        const QAbstractItemModel* cells =
            qobject_cast<const QSortFilterProxyModel*>(model)->sourceModel();
        EXPECT_FALSE(cells->data(QModelIndex()).isValid());
        EXPECT_FALSE(cells->headerData(cells->columnCount(), Qt::Horizontal).isValid());
        EXPECT_FALSE(cells->headerData(-1, Qt::Horizontal).isValid());
        EXPECT_FALSE(cells->data(cells->index(0, 0), Qt::DecorationRole).isValid());
        EXPECT_EQ(cells->data(cells->index(0, 0), Qt::ToolTipRole).toString(), "R10");
        // The filter's own clear button empties it.
        const auto buttons = window.txtFilter->findChildren<QToolButton*>();
        ASSERT_EQ(buttons.size(), 1);
        QTest::mouseClick(buttons.front(), Qt::LeftButton);
        EXPECT_EQ(window.txtFilter->text(), "");
        EXPECT_EQ(window.shownRows(), "7 rows");
        EXPECT_EQ(project.listing(), files);
        // The buttons sit below the table, side by side, inside the window.
        const QRect table = window.tblReport->geometry();
        const QRect write = window.btnWrite->geometry();
        const QRect close = window.btnClose->geometry();
        EXPECT_TRUE(write.top() > table.bottom() && close.left() > write.right() &&
                    window.rect().contains(close))
            << write.x() << "," << write.y() << " " << close.x() << "," << close.y();
        // The row count to the right of the filter, above the table.
        const QRect filter = window.txtFilter->geometry();
        const QRect count = window.findChild<QLabel*>("lblShown")->geometry();
        EXPECT_TRUE(count.left() > filter.right() && count.bottom() < table.top() &&
                    window.rect().contains(count));
        // The summary above them all, across the window.
        const QRect summary = window.findChild<QLabel*>("lblSummary")->geometry();
        EXPECT_TRUE(summary.bottom() < filter.top() && window.rect().contains(summary) &&
                    summary.width() > window.width() / 2)
            << summary.x() << "," << summary.y() << " " << summary.width();
        // Close closes the Preview.
        click(window.btnClose);
        EXPECT_FALSE(window.isVisible());
        EXPECT_EQ(window.result(), QDialog::Rejected);
    }));
}

}  // namespace
}  // namespace vexlo
