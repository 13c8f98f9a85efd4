#include "options/optionswindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include "common/error.h"
#include "common/textfile.h"
#include "widgets/place.h"
#include "widgets/twips.h"

namespace vexlo::options {

using settings::alignmentItems;
using settings::refdesOrderItems;

namespace {

const QString templateDialogTitle = QStringLiteral("Select Excel Template File...");
// Templates are workbooks in the package format whatever their extension, so both are offered,
// together at first.
const QString workbookFilter = QStringLiteral("Excel Files (.xls, .xlsx) (*.xls *.xlsx)");
const QString xlsFilter = QStringLiteral("Excel Files (.xls) (*.xls)");
const QString xlsxFilter = QStringLiteral("Excel Files (.xlsx) (*.xlsx)");
// After the reason a settings file cannot be read, what the window does about it.
const std::string unreadableSettingsAdvice =
    "\n\nThe window shows the initial values; Save writes them over the file.";

// The controls above keep the places they were drawn in; the frame "Bill of materials" adds
// its height below them.
constexpr int billFrameTop = 3720;
constexpr int billFrameHeight = 1335;

QString toQt(const std::string& text) {
    return QString::fromStdString(text);
}

using widgets::place;

QLabel* label(QWidget* parent, const char* name, const char* caption, int left, int top, int width,
              int height) {
    auto* widget = place<QLabel>(parent, name, left, top, width, height);
    widget->setText(QString::fromLatin1(caption));
    return widget;
}

QLineEdit* textBox(QWidget* parent, const char* name, int left, int top, int width, int height) {
    return place<QLineEdit>(parent, name, left, top, width, height);
}

// The user toggles between unchecked and checked; only a file can set the grey third state,
// and the first click leaves it for good.
QCheckBox* checkBox(QWidget* parent, const char* name, const char* caption, int left, int top,
                    int width, int height) {
    auto* box = place<QCheckBox>(parent, name, left, top, width, height);
    box->setText(QString::fromLatin1(caption));
    QObject::connect(box, &QCheckBox::stateChanged, box, [box](int state) {
        if (state != Qt::PartiallyChecked) {
            box->setTristate(false);
        }
    });
    return box;
}

// Editable: typed text that matches no item leaves the box without an item index. Typed text
// is never added to the items.
template <typename Items>
QComboBox* comboBox(QWidget* parent, const char* name, const Items& items, int left, int top,
                    int width, int height) {
    auto* box = place<QComboBox>(parent, name, left, top, width, height);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    for (const auto& item : items) {
        const std::string_view text(item);
        box->addItem(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
    }
    return box;
}

QPushButton* button(QWidget* parent, const char* name, const char* caption, int left, int top,
                    int width, int height) {
    auto* widget = place<QPushButton>(parent, name, left, top, width, height);
    widget->setText(QString::fromLatin1(caption));
    return widget;
}

QGroupBox* frame(QWidget* parent, const char* name, const char* caption, int left, int top,
                 int width, int height) {
    auto* widget = place<QGroupBox>(parent, name, left, top, width, height);
    widget->setTitle(QString::fromLatin1(caption));
    return widget;
}

// The item index of the box's text, letter case ignored: the current item only while the text
// is still that item's, since editing the text leaves Qt's current index where it was.
int itemIndex(const QComboBox* box) {
    return box->findText(box->currentText(), Qt::MatchFixedString);
}

// Save's refusal of a list whose text is none of its items, naming the field and the items.
QString notAnItem(const QComboBox* box, const QString& field) {
    QStringList items;
    for (int index = 0; index < box->count(); ++index) {
        items.append(box->itemText(index));
    }
    return QStringLiteral("%1 must be one of %2, not \"%3\".")
        .arg(field, items.join(QStringLiteral(", ")), box->currentText());
}

// The file's check states are 0 unchecked, 1 checked, 2 grey; Qt numbers grey 1 and checked 2.
Qt::CheckState toCheckState(int state) {
    switch (state) {
        case 1:
            return Qt::Checked;
        case 2:
            return Qt::PartiallyChecked;
        default:
            return Qt::Unchecked;
    }
}

int fromCheckState(Qt::CheckState state) {
    switch (state) {
        case Qt::Checked:
            return 1;
        case Qt::PartiallyChecked:
            return 2;
        default:
            return 0;
    }
}

QString openFileDialog(QWidget* parent, const QString& title, const QString& folder,
                       const QString& filters, const QString& selectedFilter) {
    QString selected = selectedFilter;
    return QFileDialog::getOpenFileName(parent, title, folder, filters, &selected);
}

}  // namespace

Form1::Form1(std::function<std::string()> settingsPath, std::function<std::string()> currentProject,
             std::function<void()> setOptions, QWidget* parent)
    : QDialog(parent),
      settingsPath_(std::move(settingsPath)),
      currentProject_(std::move(currentProject)),
      setOptions_(std::move(setOptions)),
      fileDialog_(openFileDialog) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Options"));
    setFixedSize(widgets::twipsToPixels(7620),
                 widgets::twipsToPixels(billFrameTop + billFrameHeight + 120));
    // The layout was drawn for a small 8-point face; larger default fonts clip the captions.
    QFont face = font();
    face.setPointSizeF(7.5);
    setFont(face);
    createControls();
    connect(btnSave, &QPushButton::clicked, this, [this] { btnSave_Click(); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { reject(); });
    connect(btnBrowse, &QPushButton::clicked, this, [this] { btnBrowse_Click(); });
    Form_Load();
}

void Form1::createControls() {
    QGroupBox* Frame2 = frame(this, "Frame2", "Header", 120, 0, 2175, 1935);
    label(Frame2, "Label1", "Header Font Size", 120, 240, 1815, 255);
    HeaderFontSize = textBox(Frame2, "HeaderFontSize", 120, 480, 1815, 285);
    BoldH = checkBox(Frame2, "BoldH", "Bold", 240, 840, 855, 255);
    ItalicH = checkBox(Frame2, "ItalicH", "Italic", 1200, 840, 855, 255);
    label(Frame2, "Label3", "Alignment", 600, 1200, 1095, 255);
    AlignH = comboBox(Frame2, "AlignH", alignmentItems, 480, 1440, 1215, 315);

    QGroupBox* Frame1 = frame(this, "Frame1", "Value", 2400, 0, 2175, 1935);
    label(Frame1, "Label2", "Value Font Size", 120, 240, 1815, 255);
    ValueFontSize = textBox(Frame1, "ValueFontSize", 120, 480, 1815, 285);
    BoldV = checkBox(Frame1, "BoldV", "Bold", 240, 840, 855, 255);
    ItalicV = checkBox(Frame1, "ItalicV", "Italic", 1200, 840, 855, 255);
    label(Frame1, "Label4", "Alignment", 600, 1200, 1095, 255);
    AlignV = comboBox(Frame1, "AlignV", alignmentItems, 360, 1440, 1215, 315);

    label(this, "Label5", "Output Format", 5640, 360, 1215, 255);
    ExportFileFormat =
        comboBox(this, "ExportFileFormat", settings::fileFormatItems(), 5400, 720, 1815, 315);
    label(this, "Label6", "Excel Line Start on", 5400, 1320, 1935, 255);
    ExcelStart = textBox(this, "ExcelStart", 5400, 1680, 1935, 375);
    label(this, "Label7", "Excel Template File", 840, 2040, 3375, 255);
    txtExcelTemplate = textBox(this, "txtExcelTemplate", 840, 2400, 4095, 405);
    btnBrowse = button(this, "btnBrowse", "&Browse", 4920, 2400, 1935, 375);
    btnSave = button(this, "btnSave", "&Save", 720, 3000, 2535, 615);
    btnCancel = button(this, "btnCancel", "&Cancel", 4320, 3000, 2535, 615);

    QGroupBox* Frame3 =
        frame(this, "Frame3", "Bill of materials", 120, billFrameTop, 7380, billFrameHeight);
    label(Frame3, "Label8", "Leave out parts whose attribute", 120, 240, 3495, 255);
    ExcludeAttribute = textBox(Frame3, "ExcludeAttribute", 120, 480, 3495, 285);
    label(Frame3, "Label9", "is one of (separated by \",\")", 3720, 240, 3495, 255);
    ExcludeValues = textBox(Frame3, "ExcludeValues", 3720, 480, 3495, 285);
    label(Frame3, "Label10", "Designator order", 120, 900, 1455, 255);
    RefdesOrder = comboBox(Frame3, "RefdesOrder", refdesOrderItems, 1620, 840, 2775, 315);
    RefdesOrder->setEditable(false);
    WorkbookXlsx = checkBox(Frame3, "WorkbookXlsx", ".xlsx file name", 4560, 870, 2295, 255);

    // Keyboard order of the controls that take focus; frames and labels take none.
    QWidget* const order[] = {HeaderFontSize,
                              ValueFontSize,
                              BoldH,
                              BoldV,
                              ItalicH,
                              ItalicV,
                              AlignH,
                              AlignV,
                              ExportFileFormat,
                              ExcelStart,
                              btnSave,
                              btnCancel,
                              txtExcelTemplate,
                              btnBrowse,
                              ExcludeAttribute,
                              ExcludeValues,
                              RefdesOrder,
                              WorkbookXlsx};
    for (std::size_t i = 1; i < std::size(order); ++i) {
        setTabOrder(order[i - 1], order[i]);
    }
}

void Form1::Form_Load() {
    std::string path;
    try {
        path = settingsPath_();
    } catch (const std::exception&) {
        // Without a path there is nothing to read: the window shows its initial values, as it
        // does for a missing file.
        showValues(settings::initialWindowSettings());
        return;
    }
    try {
        showValues(settings::readWindowSettings(path));
    } catch (const std::exception& failure) {
        // A file that is there but cannot be read is told before its values are shown as the
        // initial ones, so that Save never replaces it unknowingly.
        showValues(settings::initialWindowSettings());
        QMessageBox::warning(this, QStringLiteral("Vexlo"),
                             toQt(errorMessage(asError(failure)) + unreadableSettingsAdvice),
                             QMessageBox::Ok);
    }
}

void Form1::showValues(const SettingsText& values) {
    ExcelStart->setText(toQt(values.Excel_Start));
    HeaderFontSize->setText(toQt(values.Header_Font_Size));
    ValueFontSize->setText(toQt(values.Value_Font_Size));
    BoldV->setCheckState(toCheckState(values.Value_Bold));
    BoldH->setCheckState(toCheckState(values.Header_Bold));
    ItalicV->setCheckState(toCheckState(values.Value_Italic));
    ItalicH->setCheckState(toCheckState(values.Header_Italic));
    AlignH->setCurrentIndex(values.Align_Header);
    AlignV->setCurrentIndex(values.Align_Value);
    ExportFileFormat->setCurrentIndex(values.Export_File_Format);
    txtExcelTemplate->setText(toQt(values.Excel_File_Start));
    ExcludeAttribute->setText(toQt(values.Exclude_Attribute));
    ExcludeValues->setText(toQt(values.Exclude_Values));
    RefdesOrder->setCurrentIndex(values.Refdes_Order);
    WorkbookXlsx->setCheckState(toCheckState(values.Workbook_Xlsx));
}

SettingsText Form1::currentValues() const {
    SettingsText values;
    values.Excel_Start = ExcelStart->text().toStdString();
    values.Header_Font_Size = HeaderFontSize->text().toStdString();
    values.Value_Font_Size = ValueFontSize->text().toStdString();
    values.Value_Bold = fromCheckState(BoldV->checkState());
    values.Header_Bold = fromCheckState(BoldH->checkState());
    values.Value_Italic = fromCheckState(ItalicV->checkState());
    values.Header_Italic = fromCheckState(ItalicH->checkState());
    values.Align_Header = itemIndex(AlignH);
    values.Align_Value = itemIndex(AlignV);
    values.Export_File_Format = itemIndex(ExportFileFormat);
    values.Excel_File_Start = txtExcelTemplate->text().toStdString();
    values.Exclude_Attribute = ExcludeAttribute->text().toStdString();
    values.Exclude_Values = ExcludeValues->text().toStdString();
    values.Refdes_Order = RefdesOrder->currentIndex();
    values.Workbook_Xlsx = fromCheckState(WorkbookXlsx->checkState());
    return values;
}

void Form1::btnSave_Click() {
    const SettingsText values = currentValues();
    // Refused here rather than by the report run that would meet them later.
    if (const std::string problem = settingsTextProblem(values); !problem.empty()) {
        QMessageBox::information(this, QStringLiteral("Vexlo"), toQt(problem), QMessageBox::Ok);
        return;
    }
    // A list's typed text that is none of its items would be saved as no choice at all.
    const std::pair<QComboBox*, QString> lists[] = {
        {AlignH, QStringLiteral("\"Alignment\" under Header")},
        {AlignV, QStringLiteral("\"Alignment\" under Value")},
        {ExportFileFormat, QStringLiteral("\"Output Format\"")}};
    for (const auto& [box, field] : lists) {
        if (itemIndex(box) < 0) {
            QMessageBox::information(this, QStringLiteral("Vexlo"), notAnItem(box, field),
                                     QMessageBox::Ok);
            box->setFocus();
            return;
        }
    }
    try {
        writeTextLines(settingsPath_(), settingsLines(values));
        setOptions_();
    } catch (const std::exception& failure) {
        showError(failure);
        return;
    }
    accept();
}

void Form1::btnBrowse_Click() {
    QString folder;
    const QString current = txtExcelTemplate->text();
    if (!current.isEmpty()) {
        folder = current.left(current.lastIndexOf(QLatin1Char('/')) + 1);
    } else {
        try {
            folder = toQt(currentProject_());
        } catch (const std::exception& failure) {
            showError(failure);
            return;
        }
    }
    const QString filters = QStringList{workbookFilter, xlsFilter, xlsxFilter}.join(u";;");
    const QString chosen = fileDialog_(this, templateDialogTitle, folder, filters, workbookFilter);
    if (!chosen.isEmpty()) {
        txtExcelTemplate->setText(chosen);
    }
}

void Form1::showError(const std::exception& failure) {
    QMessageBox::information(this, QStringLiteral("Vexlo"), toQt(errorMessage(asError(failure))),
                             QMessageBox::Ok);
}

}  // namespace vexlo::options
