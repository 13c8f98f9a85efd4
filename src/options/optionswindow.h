#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <string>

#include "settings/settingsfile.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace vexlo::options {

using settings::SettingsText;

// Keeps its old name Form1: the Options window. It shows the settings file in its controls, lets
// the user change them and writes the file on "Save". It reads the file each time it is created
// and is shown modally.
class Form1 final : public QDialog {
    Q_OBJECT

public:
    // What the window needs from the main window: the settings file's path (the data-file
    // locator), the tool's current project (the folder Browse starts in without a template) and
    // the main window's SetOptions, called after a save. Each may throw an Error.
    Form1(std::function<std::string()> settingsPath, std::function<std::string()> currentProject,
          std::function<void()> setOptions, QWidget* parent = nullptr);

    // The file-open dialog of Browse, replaceable so that tests can answer it. It gets the
    // title, the initial folder, the filters (";;"-separated) and the filter to select, and
    // gives the chosen path or "" when cancelled.
    using FileDialog =
        std::function<QString(QWidget* parent, const QString& title, const QString& folder,
                              const QString& filters, const QString& selectedFilter)>;
    void setFileDialog(FileDialog dialog) { fileDialog_ = std::move(dialog); }

private:
    void createControls();
    void Form_Load();
    void showValues(const SettingsText& values);
    // The values as "Save" writes them.
    SettingsText currentValues() const;
    void btnSave_Click();
    void btnBrowse_Click();
    void showError(const std::exception& failure);

    std::function<std::string()> settingsPath_;
    std::function<std::string()> currentProject_;
    std::function<void()> setOptions_;
    FileDialog fileDialog_;

    QLineEdit* HeaderFontSize = nullptr;
    QCheckBox* BoldH = nullptr;
    QCheckBox* ItalicH = nullptr;
    QComboBox* AlignH = nullptr;
    QLineEdit* ValueFontSize = nullptr;
    QCheckBox* BoldV = nullptr;
    QCheckBox* ItalicV = nullptr;
    QComboBox* AlignV = nullptr;
    QComboBox* ExportFileFormat = nullptr;
    QLineEdit* ExcelStart = nullptr;
    QLineEdit* txtExcelTemplate = nullptr;
    QPushButton* btnBrowse = nullptr;
    QPushButton* btnSave = nullptr;
    QPushButton* btnCancel = nullptr;
    // The frame "Bill of materials".
    QLineEdit* ExcludeAttribute = nullptr;
    QLineEdit* ExcludeValues = nullptr;
    QComboBox* RefdesOrder = nullptr;
    QCheckBox* WorkbookXlsx = nullptr;
};

}  // namespace vexlo::options
