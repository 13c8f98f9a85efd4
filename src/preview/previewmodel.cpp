#include "preview/previewmodel.h"

#include <QFont>
#include <algorithm>

#include "report/table/table.h"

namespace vexlo::preview {

namespace {

QString toQt(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

ReportTableModel::ReportTableModel(std::shared_ptr<const operations::Preview> preview,
                                   QObject* parent)
    : QAbstractTableModel(parent), preview_(std::move(preview)) {
    const report::Table& table = preview_->table;
    empty_.resize(table.width(), false);
    const auto& empty = preview_->emptyColumns;
    // The table has a column per name, and one empty column more when there are no names.
    for (std::size_t column = 0; column < table.columns.size(); ++column) {
        empty_[column] =
            std::find(empty.begin(), empty.end(), table.columns[column]) != empty.end();
    }
    for (const report::MixedRow& row : preview_->mixed) {
        mixed_.emplace(row.run, &row);
    }
}

QColor ReportTableModel::mixedShade() {
    return QColor(0xFF, 0xE0, 0xB2);
}

QString ReportTableModel::mixedColumns(int row) const {
    const auto found = mixed_.find(static_cast<std::size_t>(row));
    if (found == mixed_.end()) {
        return {};
    }
    QStringList names;
    for (const std::size_t column : found->second->columns) {
        names.append(toQt(preview_->table.header[column]));
    }
    return names.join(QStringLiteral(", "));
}

int ReportTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(preview_->table.rowCount());
}

int ReportTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(preview_->table.width());
}

std::string_view ReportTableModel::cell(int row, int column) const noexcept {
    return preview_->table.cell(static_cast<std::size_t>(row), static_cast<std::size_t>(column));
}

bool ReportTableModel::emptyColumn(int column) const {
    return empty_.at(static_cast<std::size_t>(column));
}

QVariant ReportTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) {
        return {};
    }
    switch (role) {
        case Qt::DisplayRole:
            return toQt(cell(index.row(), index.column()));
        case Qt::ToolTipRole: {
            const QString differing = mixedColumns(index.row());
            const QString text = toQt(cell(index.row(), index.column()));
            if (differing.isEmpty()) {
                return text;
            }
            return QStringLiteral("%1\nThis merged row joins parts that differ in: %2")
                .arg(text, differing);
        }
        case Qt::BackgroundRole:
            return mixedColumns(index.row()).isEmpty() ? QVariant() : QVariant(mixedShade());
        default:
            return {};
    }
}

QVariant ReportTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Vertical) {
        return role == Qt::DisplayRole ? QVariant(section + 1) : QVariant();
    }
    const auto& header = preview_->table.header;
    if (section < 0 || static_cast<std::size_t>(section) >= header.size()) {
        return {};
    }
    switch (role) {
        case Qt::DisplayRole:
            return toQt(header[static_cast<std::size_t>(section)]);
        case Qt::ToolTipRole:
            if (emptyColumn(section)) {
                return QStringLiteral("No part of the design carries \"%1\": its column is empty")
                    .arg(toQt(header[static_cast<std::size_t>(section)]));
            }
            return {};
        case Qt::FontRole:
            if (emptyColumn(section)) {
                QFont font;
                font.setItalic(true);
                return font;
            }
            return {};
        default:
            return {};
    }
}

ReportSortModel::ReportSortModel(ReportTableModel* table, QObject* parent)
    : QSortFilterProxyModel(parent), table_(table) {
    setSourceModel(table);
    setFilterKeyColumn(-1);
    setFilterCaseSensitivity(Qt::CaseInsensitive);
    setSortCaseSensitivity(Qt::CaseInsensitive);
}

bool ReportSortModel::lessThan(const QModelIndex& left, const QModelIndex& right) const {
    // The proxy sorts stably, so equal cells keep the report's order either way.
    return report::compareSortKeys(table_->cell(left.row(), left.column()),
                                   table_->cell(right.row(), right.column())) < 0;
}

}  // namespace vexlo::preview
