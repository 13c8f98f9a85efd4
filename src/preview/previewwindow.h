#pragma once

#include <QDialog>
#include <functional>
#include <memory>
#include <string>

#include "operations/operations.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace vexlo::preview {

class ReportSortModel;
class ReportTableModel;

// The Preview window: the table the report would hold, its header, its row count and where it
// would be written, with the columns no part carries marked. Sorting (a click on a column's
// header) and the filter change only what is shown; "Write Report" writes the report as Create
// Report does. Nothing else here writes a file.
class PreviewWindow final : public QDialog {
    Q_OBJECT

public:
    // formatName names the output format ("CSV"); writeReport writes the report and gives the
    // line the main window's status line then shows.
    PreviewWindow(std::shared_ptr<const operations::Preview> preview, const QString& formatName,
                  std::function<QString()> writeReport, QWidget* parent = nullptr);
    ~PreviewWindow() override;

    // What the window says above the table, and how many rows the filter leaves.
    QString summary() const;
    QString shownRows() const;

    QLineEdit* txtFilter = nullptr;
    QTableView* tblReport = nullptr;
    QPushButton* btnWrite = nullptr;
    QPushButton* btnClose = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    // Widths for the columns from a sample of their cells.
    void fitColumns();
    void filterChanged(const QString& text);
    void btnWrite_Click();

    std::shared_ptr<const operations::Preview> preview_;
    std::function<QString()> writeReport_;
    ReportTableModel* table_ = nullptr;
    ReportSortModel* sorted_ = nullptr;
    QLabel* lblSummary = nullptr;
    QLabel* lblShown = nullptr;
    QLabel* lblWritten = nullptr;
};

}  // namespace vexlo::preview
