#pragma once

#include <QString>
#include <QStringList>

class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace vexlo::selection {

// The controls the column rules work on; all belong to the main window.
struct ColumnControls {
    QListWidget* lstAttributes = nullptr;
    QListWidget* lstSelected = nullptr;
    QPushButton* btnAdd = nullptr;
    QPushButton* btnAddAll = nullptr;
    QPushButton* btnRemove = nullptr;
    QPushButton* btnRemoveAll = nullptr;
    QPushButton* btnMoveUp = nullptr;
    QPushButton* btnMoveDown = nullptr;
    QCheckBox* chkCompress = nullptr;
    QPushButton* btnkey = nullptr;
    QLabel* lblkey = nullptr;
    QLabel* label = nullptr;
};

// The editing rules of the column list (lstSelected) and of the Compress box and key.
// Names compare exactly; the rules never add a name the list already holds, except "QTY" from
// the Compress box and the columns of a loaded selection.
class ColumnSelection {
public:
    explicit ColumnSelection(const ColumnControls& controls) : c_(controls) {}

    void add();
    void addAll();
    void remove();
    void removeAll();
    void moveUp();
    void moveDown();
    // A drop onto the column list: the selected attributes that are absent, at the end.
    void drop();

    // Runs on every change of the Compress box's value.
    void compressChanged(bool checked, bool settingCompress);
    // "Select Part Number": the key becomes every selected entry of the column list, in list
    // order, when two or more are selected, else the entry with the focus (none: no key). A
    // choice holding "QTY" is refused and leaves the key as it was: false.
    bool selectKey();

    // The key's names, in order; the key label shows them joined by " + ".
    const QStringList& keys() const noexcept { return keys_; }
    void setKeys(const QStringList& keys);

    // The column list, top to bottom.
    QStringList columns() const;
    // After a load: Remove, Remove All and both Move buttons enabled when the list has entries.
    void enableAfterLoad();

private:
    // Appends every selected attribute that the column list does not hold yet.
    void appendSelectedAttributes();
    void swapWithSelected(int offset);

    ColumnControls c_;
    QStringList keys_;
};

}  // namespace vexlo::selection
