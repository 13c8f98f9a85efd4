#include "selection/droplist.h"

#include <QDragEnterEvent>
#include <QDropEvent>

namespace vexlo::selection {

DropList::DropList(QWidget* parent) : QListWidget(parent) {
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DropOnly);
}

void DropList::dragEnterEvent(QDragEnterEvent* event) {
    event->acceptProposedAction();
}

void DropList::dragMoveEvent(QDragMoveEvent* event) {
    event->acceptProposedAction();
}

void DropList::dropEvent(QDropEvent* event) {
    // The list's own handling would insert the dragged items; the program appends instead.
    event->acceptProposedAction();
    emit dropped();
}

}  // namespace vexlo::selection
