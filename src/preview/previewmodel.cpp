#include "preview/previewmodel.h"

#include <QFont>
#include <algorithm>

#include "report/table.h"

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
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole)) {
        return {};
    }
    return toQt(cell(index.row(), index.column()));
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
