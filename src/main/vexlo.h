#pragma once

#include <QMessageBox>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

#include "common/error.h"
#include "common/stringarray.h"
#include "operations/operations.h"
#include "selection/columnselection.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QAction;
class QFileSystemWatcher;

namespace vexlo {

namespace operations {
class DesignFileSource;
class Session;
}  // namespace operations
namespace preview {
class PreviewWindow;
}
class StatusLine;
class ToolWait;
namespace selection {
class DropList;
}

// The main window: the lists of available and selected attributes, the key, the saved
// selections and the report buttons, and the state the operations share.
class Vexlo final : public QWidget {
    Q_OBJECT

public:
    // Each operation attaches to the schematic tool anew through the connector.
    explicit Vexlo(design::ToolConnector connector, QWidget* parent = nullptr);
    ~Vexlo() override;

    // Start-up: attach, read the settings, fill the saved selections. False when the schematic
    // tool is not running (the user has been told); the program then ends.
    bool Form_Load();

    // Plays the schematic tool over a design file from now on (vexlo FILE, Ctrl+O, a dropped
    // file): every action reads the file afresh, and the window watches it and its sheets. The
    // settings and saved selections become those of its project folder; a shown attribute list
    // is read from it. False when the file cannot be read as a design (the user has been told);
    // the window then goes on as it was.
    bool openDesign(const std::string& path, const std::string& variant = {});
    // Ctrl+O: asks for a design file to open, starting in the project folder.
    void chooseDesign();

    // Message boxes go through here, so a test can watch them: Critical for a failure, Warning
    // for a refusal of what the user asked.
    std::function<void(QMessageBox::Icon icon, const QString& text)> showMessage;

    // The state the operations share, for the window's own procedures and for tests.
    const settings::Settings& optionFields() const noexcept { return options_; }

    // Keeps its old name: the path of a data file, by the locator.
    std::string LoadChoices(const std::string& fileName);
    // The option fields from the settings file.
    void SetOptions();

    void btnLoad_Click();
    void btnReport_Click();
    void btnSaveAs_Click();
    void btnDeleteChoice_Click();
    void btnloadChoice_Click();
    void btnLoadAll_Click();
    void btnOption_Click();
    void btnClose_Click();
    // Reads the open design's attribute names again (F5, or the attribute list's menu); the
    // column list stays. Before the first load it is the first load.
    void readDesignAgain();
    // Opens the Preview window of the lists as they stand, modally.
    void btnPreview_Click();
    // The Preview window of the lists as they stand, not yet shown; none when the preview
    // could not be made (the user has been told).
    std::unique_ptr<preview::PreviewWindow> makePreview();
    // Asks for an older revision's design file and writes what changed from it to the open
    // design, for the lists as they stand; the status line tells the counts.
    void btnCompare_Click();

protected:
    // A design file dropped onto the window (not onto the column list, whose drop is its own)
    // is opened.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void createControls();
    // F5, Ctrl+O, the watch on a design file and the wait for the tool.
    void createActions();
    void connectControls();
    // Runs one operation at the window's edge: hourglass while it runs, a failure shown as
    // "Error N: description", the program going on. Returns the failure.
    std::optional<Error> runGuarded(bool hourglass, const std::function<void()>& operation);
    // Runs a report action with the hourglass, the settings read first; then tells its outcome,
    // or its failure.
    void runReport(const std::function<operations::Outcome()>& action);
    // The status line's message, with the condition it tells of (none for a plain message).
    enum class Condition { None, MissingKey, Settings };
    // Shows what an action did: its message boxes, its status line (telling onFailure when the
    // action failed), and later whether the viewer of a report could not show it.
    void tell(const operations::Outcome& outcome, Condition onFailure = Condition::None);
    // A session that attaches to the tool anew when the action first asks it something.
    operations::Session session();
    // Adds to the status line, while it still tells of that report, that the viewer could not
    // show it.
    void watchViewer(const std::shared_ptr<report::ViewerRun>& viewer);
    // Attaches to the tool anew: the running one, or the design file read afresh.
    std::unique_ptr<design::SchematicTool> connectTool();
    // Reads the attribute names into the attribute list; the first read also shows the list.
    void readAttributes();
    // Shows the session's attribute names; the first read also shows the list. The status line
    // that tells the load.
    std::string showAttributes(operations::Session& session, operations::DesignLoad load);
    // When the session's project folder is not the one the window worked on, reads its
    // settings (telling a failure).
    void followProject(operations::Session& session);
    // Watches the design file's files and folders as the last read found them.
    void watchDesign();
    // A watched file or folder changed: the status line tells when the design did.
    void designFilesChanged();
    // A design file chosen in a file dialog that starts in the project folder; empty when the
    // user cancels.
    QString chooseDesignFile(const QString& title, const char* name);
    void setStatus(const std::string& message, Condition condition = Condition::None);
    // Clears the status line when the condition it tells of has ended.
    void clearEndedCondition();
    // The saved-selection names in cmbChoice, the first one selected.
    void setChoices(const std::vector<std::string>& names);
    // Fill the saved-selection list: silent when the file cannot be opened, which empties the
    // list when the file is another project's.
    void fillSavedSelections(operations::Session& session);
    // Reads the settings into the option fields; the failure, kept for the reports, or none.
    // A tool that cannot name its project throws: the settings are then not read.
    std::optional<Error> readSettings(operations::Session& session);
    // Before a report or preview: the settings, read now if a failing tool kept them from being
    // read; a settings file that cannot be read throws its failure.
    void requireSettings();
    // Shows a loaded selection in the column list, the Compress box and the key.
    void showSelection(const saved::LoadedSelection& selection);
    // The report of the lists as they stand, with the option fields.
    report::ReportRequest reportRequest() const;

    design::ToolConnector connector_;
    std::shared_ptr<operations::DesignFileSource> designFile_;  // none: the running tool
    QFileSystemWatcher* designWatch_ = nullptr;
    ToolWait* toolWait_ = nullptr;  // how calls to a running tool are waited for
    std::string project_;           // the project folder the settings were read for
    std::string selectionsFile_;    // where the saved-selection list was last read
    settings::Settings options_;
    std::optional<Error> settingsFailure_;  // the settings file could not be read
    bool settingsRead_ = false;             // the settings file was read, or failed to be
    StringArray attributeNames_;
    int settingCompress_ = 0;
    Condition statusCondition_ = Condition::None;

public:
    // The controls, named as the window declares them.
    QPushButton* btnkey = nullptr;
    QCheckBox* chkCompress = nullptr;
    QPushButton* btnLoad = nullptr;
    QPushButton* btnOption = nullptr;
    QPushButton* btnClose = nullptr;
    QPushButton* btnDeleteChoice = nullptr;
    QPushButton* btnLoadAll = nullptr;
    QPushButton* btnloadChoice = nullptr;
    QComboBox* cmbChoice = nullptr;
    QPushButton* btnSaveAs = nullptr;
    QLineEdit* txtSaveAs = nullptr;
    QPushButton* btnReport = nullptr;
    QPushButton* btnPreview = nullptr;  // opens the Preview window
    QPushButton* btnCompare = nullptr;  // writes what changed from an older revision
    QAction* actReadAgain = nullptr;    // F5 and the attribute list's menu: read the design again
    QAction* actOpen = nullptr;         // Ctrl+O: open a design file
    QPushButton* btnMoveDown = nullptr;
    QPushButton* btnMoveUp = nullptr;
    QPushButton* btnRemoveAll = nullptr;
    QPushButton* btnRemove = nullptr;
    QPushButton* btnAddAll = nullptr;
    QPushButton* btnAdd = nullptr;
    selection::DropList* lstSelected = nullptr;
    QListWidget* lstAttributes = nullptr;
    QLabel* lblkey = nullptr;
    QLabel* label = nullptr;
    QLabel* Label1 = nullptr;
    StatusLine* lblStatus = nullptr;  // the line below the controls: what the last action did

private:
    std::unique_ptr<selection::ColumnSelection> columns_;
};

}  // namespace vexlo
