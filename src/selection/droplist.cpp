#include "selection/droplist.h"

#include <QDragEnterEvent>
#include <QDropEvent>

namespace vexlo::selection {

namespace {

// Every drop is taken as a copy. A move, proposed when Shift is held, would have the list the
// entries came from delete them once the drop is done.
void acceptAsCopy(QDropEvent* event) {
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

}  // namespace

DropList::DropList(QWidget* parent) : QListWidget(parent) {
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DropOnly);
}

void DropList::dragEnterEvent(QDragEnterEvent* event) {
    acceptAsCopy(event);
}

void DropList::dragMoveEvent(QDragMoveEvent* event) {
    acceptAsCopy(event);
}

void DropList::dropEvent(QDropEvent* event) {
    // The list's own handling would insert the dragged items; the program appends instead.
    acceptAsCopy(event);
    emit dropped();
}

}  // namespace vexlo::selection
