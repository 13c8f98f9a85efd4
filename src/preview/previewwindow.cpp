#include "preview/previewwindow.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

#include "preview/previewmodel.h"

namespace vexlo::preview {

namespace {

QString toQt(const std::string& text) {
    return QString::fromStdString(text);
}

QString rowsText(std::size_t rows) {
    return rows == 1 ? QStringLiteral("1 row") : QStringLiteral("%1 rows").arg(rows);
}

}  // namespace

PreviewWindow::PreviewWindow(std::shared_ptr<const operations::Preview> preview,
                             const QString& formatName, std::function<QString()> writeReport,
                             QWidget* parent)
    : QDialog(parent), preview_(std::move(preview)), writeReport_(std::move(writeReport)) {
    setObjectName(QStringLiteral("PreviewWindow"));
    setWindowTitle(QStringLiteral("Preview - %1").arg(toQt(preview_->path)));
    resize(900, 560);

    lblSummary = new QLabel(this);
    lblSummary->setObjectName(QStringLiteral("lblSummary"));
    lblSummary->setWordWrap(true);
    lblSummary->setTextFormat(Qt::PlainText);
    QString summary =
        QStringLiteral("%1 in the %2 report %3")
            .arg(rowsText(preview_->table.rowCount()), formatName, toQt(preview_->path));
    summary += toQt(operations::emptyColumnsNote(preview_->emptyColumns));
    if (!preview_->mixed.empty()) {
        summary += QStringLiteral("; shaded: ") + toQt(operations::mixedRowsNote(preview_->mixed));
    }
    lblSummary->setText(summary);

    auto* filterLabel = new QLabel(QStringLiteral("&Filter:"), this);
    txtFilter = new QLineEdit(this);
    txtFilter->setObjectName(QStringLiteral("txtFilter"));
    txtFilter->setClearButtonEnabled(true);
    filterLabel->setBuddy(txtFilter);
    lblShown = new QLabel(this);
    lblShown->setObjectName(QStringLiteral("lblShown"));

    table_ = new ReportTableModel(preview_, this);
    sorted_ = new ReportSortModel(table_, this);
    tblReport = new QTableView(this);
    tblReport->setObjectName(QStringLiteral("tblReport"));
    tblReport->setModel(sorted_);
    tblReport->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblReport->setSelectionBehavior(QAbstractItemView::SelectRows);
    tblReport->setWordWrap(false);
    tblReport->verticalHeader()->setDefaultSectionSize(tblReport->fontMetrics().height() + 6);
    // No sort column until the user clicks one: the report's order.
    tblReport->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    tblReport->setSortingEnabled(true);
    fitColumns();

    lblWritten = new QLabel(this);
    lblWritten->setObjectName(QStringLiteral("lblWritten"));
    lblWritten->setTextFormat(Qt::PlainText);
    btnWrite = new QPushButton(QStringLiteral("&Write Report"), this);
    btnWrite->setObjectName(QStringLiteral("btnWrite"));
    btnClose = new QPushButton(QStringLiteral("&Close"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    btnWrite->setAutoDefault(false);
    btnClose->setAutoDefault(false);

    auto* filterRow = new QHBoxLayout;
    filterRow->addWidget(filterLabel);
    filterRow->addWidget(txtFilter, 1);
    filterRow->addWidget(lblShown);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(lblWritten, 1);
    buttons->addWidget(btnWrite);
    buttons->addWidget(btnClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblSummary);
    layout->addLayout(filterRow);
    layout->addWidget(tblReport, 1);
    layout->addLayout(buttons);

    connect(txtFilter, &QLineEdit::textChanged, this, &PreviewWindow::filterChanged);
    connect(btnWrite, &QPushButton::clicked, this, &PreviewWindow::btnWrite_Click);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::reject);
    filterChanged(QString());
}

PreviewWindow::~PreviewWindow() = default;

void PreviewWindow::fitColumns() {
    // Measured on the first rows and the first characters only: a merged reference list can
    // hold thousands of designators, and a table hundreds of thousands of rows.
    constexpr int sampleRows = 200;
    constexpr qsizetype sampleCharacters = 60;
    const QFontMetrics metrics = tblReport->fontMetrics();
    const QFontMetrics headerMetrics = tblReport->horizontalHeader()->fontMetrics();
    const int rows = std::min(sampleRows, table_->rowCount());
    int column = 0;
    for (const std::string& name : preview_->table.header) {
        int width = headerMetrics.horizontalAdvance(toQt(name).left(sampleCharacters));
        for (int row = 0; row < rows; ++row) {
            const QString text = table_->index(row, column).data().toString();
            width = std::max(width, metrics.horizontalAdvance(text.left(sampleCharacters)));
        }
        tblReport->setColumnWidth(column++, width + 24);  // room for the sort arrow and margins
    }
}

QString PreviewWindow::summary() const {
    return lblSummary->text();
}

QString PreviewWindow::shownRows() const {
    return lblShown->text();
}

void PreviewWindow::filterChanged(const QString& text) {
    sorted_->setFilterFixedString(text);
    const auto all = preview_->table.rowCount();
    const auto shown = static_cast<std::size_t>(sorted_->rowCount());
    lblShown->setText(text.isEmpty() ? rowsText(all)
                                     : QStringLiteral("%1 of %2 shown").arg(shown).arg(all));
}

void PreviewWindow::btnWrite_Click() {
    const QString status = writeReport_();
    lblWritten->setText(status);
    lblWritten->setToolTip(status);
}

}  // namespace vexlo::preview
