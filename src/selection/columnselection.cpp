#include "selection/columnselection.h"

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSet>

namespace vexlo::selection {

namespace {

const QString quantityColumn = QStringLiteral("QTY");

QSet<QString> entriesOf(const QListWidget& list) {
    QSet<QString> entries;
    entries.reserve(list.count());
    for (int row = 0; row < list.count(); ++row) {
        entries.insert(list.item(row)->text());
    }
    return entries;
}

// Appends the names that are not in the list yet, each once, in the order given.
void appendIfAbsent(QListWidget& list, const QStringList& names) {
    QSet<QString> present = entriesOf(list);
    QStringList appended;
    for (const QString& name : names) {
        if (!present.contains(name)) {
            present.insert(name);
            appended.append(name);
        }
    }
    list.addItems(appended);
}

// The entry with the focus moves without touching the selection.
void makeCurrent(QListWidget& list, int row) {
    const QModelIndex index = row < 0 ? QModelIndex() : list.model()->index(row, 0);
    list.selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
}

void setMoveEnabled(const ColumnControls& c, bool enabled) {
    c.btnMoveUp->setEnabled(enabled);
    c.btnMoveDown->setEnabled(enabled);
}

void setRemoveEnabled(const ColumnControls& c, bool enabled) {
    c.btnRemove->setEnabled(enabled);
    c.btnRemoveAll->setEnabled(enabled);
}

}  // namespace

void ColumnSelection::appendSelectedAttributes() {
    QStringList names;
    for (int row = 0; row < c_.lstAttributes->count(); ++row) {
        if (c_.lstAttributes->item(row)->isSelected()) {
            names.append(c_.lstAttributes->item(row)->text());
        }
    }
    appendIfAbsent(*c_.lstSelected, names);
}

void ColumnSelection::add() {
    appendSelectedAttributes();
    // With exactly one attribute selected, the selection steps to the entry below, so that
    // repeated clicks add the list's names one after the other.
    const auto selected = c_.lstAttributes->selectedItems();
    if (selected.size() == 1) {
        const int row = c_.lstAttributes->row(selected.front());
        selected.front()->setSelected(false);
        if (row + 1 < c_.lstAttributes->count()) {
            c_.lstAttributes->item(row + 1)->setSelected(true);
            makeCurrent(*c_.lstAttributes, row + 1);
        } else {
            makeCurrent(*c_.lstAttributes, -1);
        }
    }
    setRemoveEnabled(c_, true);
    if (c_.lstSelected->count() == 2) {
        setMoveEnabled(c_, true);
    }
}

void ColumnSelection::addAll() {
    QStringList names;
    for (int row = 0; row < c_.lstAttributes->count(); ++row) {
        names.append(c_.lstAttributes->item(row)->text());
    }
    appendIfAbsent(*c_.lstSelected, names);
    setRemoveEnabled(c_, true);
    if (c_.lstSelected->count() > 1) {
        setMoveEnabled(c_, true);
    }
}

void ColumnSelection::remove() {
    QListWidget& list = *c_.lstSelected;
    const QListWidgetItem* current = list.currentItem();
    bool currentRemoved = false;
    for (int row = list.count() - 1; row >= 0; --row) {
        if (list.item(row)->isSelected()) {
            currentRemoved = currentRemoved || list.item(row) == current;
            delete list.takeItem(row);
        }
    }
    // A removed entry leaves no entry with the focus, rather than handing it to a neighbour
    // the user did not pick.
    if (currentRemoved) {
        makeCurrent(list, -1);
    }
    if (list.count() == 0) {
        setRemoveEnabled(c_, false);
        setMoveEnabled(c_, false);
    } else if (list.count() == 1) {
        setMoveEnabled(c_, false);
    }
}

void ColumnSelection::removeAll() {
    c_.lstSelected->clear();
    setRemoveEnabled(c_, false);
    setMoveEnabled(c_, false);
}

void ColumnSelection::swapWithSelected(int offset) {
    QListWidget& list = *c_.lstSelected;
    const auto selected = list.selectedItems();
    if (selected.size() != 1) {
        return;
    }
    const int row = list.row(selected.front());
    const int target = row + offset;
    if (target < 0 || target >= list.count()) {
        return;
    }
    const QString kept = list.item(row)->text();
    list.item(row)->setText(list.item(target)->text());
    list.item(target)->setText(kept);
    list.item(target)->setSelected(true);
    list.item(row)->setSelected(false);
    makeCurrent(list, target);
}

void ColumnSelection::moveUp() {
    swapWithSelected(-1);
}

void ColumnSelection::moveDown() {
    swapWithSelected(+1);
}

void ColumnSelection::drop() {
    appendSelectedAttributes();
}

void ColumnSelection::compressChanged(bool checked, bool settingCompress) {
    c_.btnkey->setVisible(checked);
    c_.lblkey->setVisible(checked);
    c_.label->setVisible(checked);
    QListWidget& list = *c_.lstSelected;
    if (checked) {
        if (!settingCompress) {
            list.addItem(quantityColumn);
        }
        return;
    }
    for (int row = list.count() - 1; row >= 0; --row) {
        if (list.item(row)->text() == quantityColumn) {
            delete list.takeItem(row);
            return;
        }
    }
}

bool ColumnSelection::selectKey() {
    const QListWidget& list = *c_.lstSelected;
    QStringList chosen;
    if (list.selectedItems().size() >= 2) {
        for (int row = 0; row < list.count(); ++row) {
            if (list.item(row)->isSelected()) {
                chosen.append(list.item(row)->text());
            }
        }
    } else if (const QListWidgetItem* current = list.currentItem()) {
        chosen.append(current->text());
    }
    if (chosen.contains(quantityColumn)) {
        return false;
    }
    setKeys(chosen);
    return true;
}

void ColumnSelection::setKeys(const QStringList& keys) {
    // An entry without a name is no key.
    keys_ = keys.size() == 1 && keys.front().isEmpty() ? QStringList() : keys;
    c_.lblkey->setText(keys_.join(QStringLiteral(" + ")));
}

QStringList ColumnSelection::columns() const {
    QStringList names;
    for (int row = 0; row < c_.lstSelected->count(); ++row) {
        names.append(c_.lstSelected->item(row)->text());
    }
    return names;
}

void ColumnSelection::enableAfterLoad() {
    if (c_.lstSelected->count() != 0) {
        setRemoveEnabled(c_, true);
        setMoveEnabled(c_, true);
    }
}

}  // namespace vexlo::selection
