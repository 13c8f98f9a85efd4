#pragma once

#include <QListWidget>

namespace vexlo::selection {

// A list that takes any drop anywhere and only reports it: what a drop adds is decided by the
// program, not by the dropped data, its position or the keys held.
class DropList final : public QListWidget {
    Q_OBJECT

public:
    explicit DropList(QWidget* parent = nullptr);

signals:
    void dropped();

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};

}  // namespace vexlo::selection
