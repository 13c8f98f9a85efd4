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
#include <QTimer>
#include <filesystem>
#include <functional>

#include "mainwindowfixture.h"
#include "preview/previewmodel.h"
#include "preview/previewwindow.h"
#include "qtsupport.h"
#include "testsupport.h"

namespace vexlo {
namespace {

using test::crlf;
using test::MainWindow;

// The Preview window shows what the report file holds, rows and order, for the settings as they
// stand; it writes nothing until Write Report.
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
    // Runs what the user does in the Preview window, opened by its button, then closes it.
    void inPreview(const std::function<void(preview::PreviewWindow&)>& act) {
        bool opened = false;
        QTimer::singleShot(0, [&] {
            auto* window = qobject_cast<preview::PreviewWindow*>(QApplication::activeModalWidget());
            ASSERT_NE(window, nullptr);
            opened = true;
            auto* sorted = qobject_cast<QSortFilterProxyModel*>(window->tblReport->model());
            ASSERT_NE(sorted, nullptr);
            test::checkModel(sorted->sourceModel());
            test::checkModel(sorted);
            act(*window);
            window->reject();
        });
        click(w->btnPreview);
        EXPECT_TRUE(opened);
    }
    // The shown table as CSV lines: the header, then the rows as the view orders them.
    static std::string csv(const preview::PreviewWindow& window) {
        const QAbstractItemModel* model = window.findChild<QTableView*>("tblReport")->model();
        std::string text;
        for (int row = -1; row < model->rowCount(); ++row) {
            for (int column = 0; column < model->columnCount(); ++column) {
                std::string cell = (row < 0 ? model->headerData(column, Qt::Horizontal)
                                            : model->index(row, column).data())
                                       .toString()
                                       .toStdString();
                if (cell.find(',') != cell.npos) {
                    cell = "\"" + cell + "\"";
                }
                text += (column == 0 ? "" : ",") + cell;
            }
            text += "\r\n";
        }
        return text;
    }
};

TEST_F(Preview, ShowsTheRowsTheReportHolds) {
    struct Case {
        const char* format;
        const char* order;
        bool compress;
        std::size_t rows;
        const char* summary;
    };
    // The CSV report stands for every format: the workbook's sheet holds the same merged rows.
    const Case cases[] = {{"3", "0", false, 7, "7 rows in the CSV report PROJECT/board.csv"},
                          {"3", "2", false, 7, "7 rows in the CSV report PROJECT/board.csv"},
                          {"3", "2", true, 4, "4 rows in the CSV report PROJECT/board.csv"},
                          {"3", "1", true, 4, "4 rows in the CSV report PROJECT/board.csv"},
                          {"0", "2", true, 4, "4 rows in the Excel report PROJECT/board.xls"},
                          {"1", "0", false, 7, "7 rows in the Text report PROJECT/board.txt"}};
    open();
    click(w->btnLoad);
    std::string compressedCsv;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.format) + " " + c.order + (c.compress ? " compress" : ""));
        settings(c.format, c.order);
        w->SetOptions();
        if (w->chkCompress->isChecked()) {
            click(w->chkCompress);
        }
        w->lstSelected->clear();
        for (const char* name : {"REFDES", "Part Number"}) {
            w->lstSelected->addItem(name);
        }
        if (c.compress) {
            click(w->chkCompress);  // QTY is appended
            w->lstSelected->setCurrentRow(1);
            click(w->btnkey);
        }
        const auto files = project.listing();
        std::string shown;
        inPreview([&](preview::PreviewWindow& window) {
            std::string summary = window.summary().toStdString();
            summary.replace(summary.find(project.path()), project.path().size(), "PROJECT");
            EXPECT_EQ(summary, c.summary);
            EXPECT_EQ(window.shownRows().toStdString(), std::to_string(c.rows) + " rows");
            shown = csv(window);
        });
        EXPECT_EQ(project.listing(), files);  // nothing written
        click(w->btnReport);
        EXPECT_EQ(status().substr(status().rfind('(')), "(" + std::to_string(c.rows) + " rows)");
        if (std::string(c.format) == "3") {
            EXPECT_EQ(shown, test::readFile(project.file("board.csv")));
            if (c.compress && std::string(c.order) == "2") {
                compressedCsv = shown;
            }
        } else if (c.compress) {
            EXPECT_EQ(shown, compressedCsv);  // the workbook merges as the CSV does
        }
    }
    EXPECT_EQ(compressedCsv,
              "REFDES,Part Number,QTY\r\nC1,10,1\r\nU1,\"MCU, 64 pin\",1\r\n"
              "\"R1-R3, R10\",RC-1K,4\r\nD1,,1\r\n");
}

// Only the columns no part carries are marked, the first one too; a preview of no columns shows
// the one empty column its report holds, unmarked.
TEST_F(Preview, MarksOnlyTheColumnsNoPartCarries) {
    settings("3", "0");
    open();
    click(w->btnLoad);
    const auto marks = [&](const std::vector<const char*>& columns) {
        w->lstSelected->clear();
        for (const char* column : columns) {
            w->lstSelected->addItem(column);
        }
        std::string shown;
        inPreview([&](preview::PreviewWindow& window) {
            const QAbstractItemModel* model = window.tblReport->model();
            for (int column = 0; column < model->columnCount(); ++column) {
                const bool italic =
                    model->headerData(column, Qt::Horizontal, Qt::FontRole).value<QFont>().italic();
                const bool tip = !model->headerData(column, Qt::Horizontal, Qt::ToolTipRole)
                                      .toString()
                                      .isEmpty();
                shown += italic && tip ? '1' : italic || tip ? '?' : '0';
            }
            shown += " " + window.shownRows().toStdString();
        });
        return shown;
    };
    EXPECT_EQ(marks({"Colour", "REFDES", "Size"}), "101 7 rows");
    EXPECT_EQ(marks({"REFDES"}), "0 7 rows");
    // A report of no columns is refused: no preview opens.
    w->lstSelected->clear();
    click(w->btnPreview);
    const std::string refused =
        "Error 1017: A report needs at least one column: choose the attributes to report (in the "
        "column list, the saved selection or with --column) and write it again";
    EXPECT_EQ(status(), refused);
    ASSERT_EQ(messages.size(), 1U);
    EXPECT_EQ(messages[0].substr(messages[0].find("\n\n") + 2),
              refused.substr(12) + "\n\n(Error 1017)");
}

// A merged row that joins parts that differ is shaded, its cells' tool tips name the columns
// that differ and the summary names the row; the status line of its report says the same.
TEST_F(Preview, ShadesTheMergedRowsOfPartsThatDiffer) {
    settings("3", "0");
    open();
    click(w->btnLoad);
    for (const char* column : {"REFDES", "Part Number", "Fitted"}) {
        w->lstSelected->addItem(column);
    }
    click(w->chkCompress);
    const auto shades = [&](int keyRow) {
        w->lstSelected->setCurrentRow(keyRow);
        click(w->btnkey);
        std::string shown;
        inPreview([&](preview::PreviewWindow& window) {
            std::string summary = window.summary().toStdString();
            summary.replace(summary.find(project.path()), project.path().size(), "PROJECT");
            shown = summary;
            const QAbstractItemModel* model = window.tblReport->model();
            for (int row = 0; row < model->rowCount(); ++row) {
                const QModelIndex cell = model->index(row, 1);
                const bool shaded = cell.data(Qt::BackgroundRole).value<QColor>() ==
                                    preview::ReportTableModel::mixedShade();
                shown += "\n" + cell.data(Qt::ToolTipRole).toString().toStdString() +
                         (shaded ? " (shaded)" : "");
            }
        });
        return shown;
    };
    EXPECT_EQ(shades(2),
              "1 row in the CSV report PROJECT/board.csv; shaded: 1 merged row joins parts that "
              "differ: yes: Part Number differs (R10, R2, R3, R1 | C1 | D1 | U1); add Part Number "
              "to the key\nRC-1K\nThis merged row joins parts that differ in: Part Number "
              "(shaded)");
    EXPECT_EQ(shades(1), "4 rows in the CSV report PROJECT/board.csv\n10\nMCU, 64 pin\nRC-1K\n");
    shades(2);
    click(w->btnReport);
    const std::string written =
        "Report written: " + project.file("board.csv") +
        " (1 row); 1 merged row joins parts that differ: yes: Part Number differs (R10, R2, R3, "
        "R1 | C1 | D1 | U1); add Part Number to the key";
    EXPECT_EQ(status(), written);
    EXPECT_EQ(w->lblStatus->toolTip().toStdString(), status());
    inPreview([&](preview::PreviewWindow& window) { click(window.btnWrite); });
    EXPECT_EQ(status(), written);  // written from the Preview, it says the same
}

// The Preview opens inside the screen's available area, frame and buttons included; the entry
// preview_test.scaled runs this at a scale factor of 2 on a screen of 1600x1000 pixels.
TEST_F(Preview, OpensInsideTheScreen) {
    open();
    click(w->btnLoad, w->btnAddAll);
    inPreview([&](preview::PreviewWindow& window) {
        const QRect area = window.screen()->availableGeometry();
        if (const char* expected = std::getenv("VEXLO_SCREEN_AREA")) {
            EXPECT_EQ(std::to_string(area.width()) + "x" + std::to_string(area.height()), expected);
        }
        EXPECT_TRUE(area.contains(window.frameGeometry()));
        EXPECT_TRUE(window.rect().contains(window.btnClose->geometry()));
    });
}

TEST_F(Preview, SortsFiltersMarksEmptyColumnsAndWritesTheReport) {
    settings("3", "0");
    open();
    click(w->btnLoad, w->btnAddAll);
    w->lstSelected->addItem("Colour");
    const auto files = project.listing();
    inPreview([&](preview::PreviewWindow& window) {
        EXPECT_EQ(window.windowTitle().toStdString(), "Preview - " + project.file("board.csv"));
        EXPECT_EQ(window.summary().toStdString(),
                  "7 rows in the CSV report " + project.file("board.csv") +
                      "; no part carries \"Colour\": its column is empty");
        QAbstractItemModel* model = window.tblReport->model();
        EXPECT_TRUE(model->headerData(3, Qt::Horizontal, Qt::FontRole).value<QFont>().italic());
        EXPECT_FALSE(model->headerData(1, Qt::Horizontal, Qt::FontRole).value<QFont>().italic());
        EXPECT_EQ(model->headerData(3, Qt::Horizontal, Qt::ToolTipRole).toString(),
                  "No part of the design carries \"Colour\": its column is empty");
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
        click(window.btnWrite);
        EXPECT_EQ(window.findChild<QLabel*>("lblWritten")->text().toStdString(),
                  "Report written: " + project.file("board.csv") + " (7 rows)" +
                      "; no part carries \"Colour\": its column is empty");
        // Close closes the Preview.
        click(window.btnClose);
        EXPECT_FALSE(window.isVisible());
        EXPECT_EQ(window.result(), QDialog::Rejected);
    });
    EXPECT_EQ(status(), "Report written: " + project.file("board.csv") +
                            " (7 rows); no part carries \"Colour\": its column is empty");
    EXPECT_EQ(viewer.shown(1), std::vector<std::string>{project.file("board.csv")});
    // What would fail as a report fails as a preview, and no window opens.
    settings("7", "0");
    w->SetOptions();
    click(w->btnPreview);
    EXPECT_EQ(status(),
              "Error 1012: The output format 7 has no report writer (0 Excel, 1 Text, 2 HTML, "
              "3 CSV); choose one under Options, Output Format");
    click(w->chkCompress, w->btnPreview);
    EXPECT_EQ(messages.back().substr(0, 36), "You have selected to Compress Report");
    EXPECT_EQ(status(), messages.back());
    w->lstSelected->setCurrentRow(1);
    click(w->btnkey);  // the key is chosen: the message has ended
    EXPECT_EQ(status(), "");
}

}  // namespace
}  // namespace vexlo
