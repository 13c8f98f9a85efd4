#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QSortFilterProxyModel>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "operations/operations.h"

namespace vexlo::preview {

// The report's table as a Qt model: a view of the table in memory, each cell turned into text
// only when it is shown. Columns that no part carries are marked in the header (italic, with a
// tool tip saying so); merged rows that join parts that differ are shaded, their tool tips
// naming the columns that differ; the rows are numbered from 1.
class ReportTableModel final : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit ReportTableModel(std::shared_ptr<const operations::Preview> preview,
                              QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    std::string_view cell(int row, int column) const noexcept;

    // The shade of a merged row that joins parts that differ.
    static QColor mixedShade();

private:
    // The columns in which a merged row's parts differ ("Footprint, Value"); empty for a row
    // whose parts agree.
    QString mixedColumns(int row) const;

    // Whether no part carries the column's attribute, so that it is empty; the column must be
    // one of the table's.
    bool emptyColumn(int column) const;

    std::shared_ptr<const operations::Preview> preview_;
    std::vector<bool> empty_;
    std::unordered_map<std::size_t, const report::MixedRow*> mixed_;  // by row
};

// Sorting and filtering for display only: rows sort by a column in the order Compress sorts its
// key (numbers first by value, then text with ASCII case ignored, empty cells last), equal ones
// keeping the report's order; the filter keeps the rows with the text in any cell, case ignored.
// With no sort column the rows stand in the report's order.
class ReportSortModel final : public QSortFilterProxyModel {
    Q_OBJECT

public:
    explicit ReportSortModel(ReportTableModel* table, QObject* parent = nullptr);

protected:
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

private:
    ReportTableModel* table_;
};

}  // namespace vexlo::preview
