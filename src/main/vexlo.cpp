#include "main/vexlo.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <optional>

#include "main/statusline.h"
#include "main/toolwait.h"
#include "operations/designsource.h"
#include "operations/operations.h"
#include "options/optionswindow.h"
#include "preview/previewwindow.h"
#include "selection/droplist.h"
#include "widgets/place.h"
#include "widgets/twips.h"

namespace vexlo {

namespace {

std::string toStd(const QString& text) {
    return text.toStdString();
}
QString toQt(const std::string& text) {
    return QString::fromStdString(text);
}

std::vector<std::string> toStd(const QStringList& texts) {
    std::vector<std::string> result;
    result.reserve(texts.size());
    for (const QString& text : texts) {
        result.push_back(text.toStdString());
    }
    return result;
}

// Shows the hourglass for as long as it lives, also when an operation fails.
class WaitCursor final {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

constexpr int statusHeight = 255;  // twips

// The local file a drop carries (the first of several); empty for anything else.
QString droppedFile(const QMimeData* data) {
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile()) {
            return url.toLocalFile();
        }
    }
    return {};
}

using widgets::place;

QPushButton* button(QWidget* parent, const char* name, const char* caption, int left, int top,
                    int width, int height) {
    auto* control = place<QPushButton>(parent, name, left, top, width, height);
    control->setText(QString::fromUtf8(caption));
    // Return and Enter press the button that has the focus, as Space does.
    control->setAutoDefault(true);
    return control;
}

}  // namespace

Vexlo::Vexlo(design::ToolConnector connector, QWidget* parent)
    : QWidget(parent), connector_(std::move(connector)) {
    showMessage = [this](QMessageBox::Icon icon, const QString& text) {
        QMessageBox box(icon, QStringLiteral("Vexlo"), text, QMessageBox::Ok, this);
        box.exec();
    };
    createControls();
    connectControls();
    setAcceptDrops(true);
}

Vexlo::~Vexlo() = default;

void Vexlo::createControls() {
    setObjectName(QStringLiteral("Vexlo"));
    setWindowTitle(QStringLiteral("Vexlo - check each report against the design before ordering"));
    // The status line adds its height below the controls' area of 6945.
    setFixedSize(widgets::twipsToPixels(7440), widgets::twipsToPixels(6945 + statusHeight));
    // The layout was drawn for a small 8-point face; larger default fonts clip the button captions.
    QFont face = font();
    face.setPointSizeF(7.5);
    setFont(face);

    // Declared in the window's order; the tab order follows the tab indexes below.
    btnkey = button(this, "btnkey", "Select Part &Number", 2760, 3600, 1815, 375);
    chkCompress = place<QCheckBox>(this, "chkCompress", 2880, 3240, 1575, 375);
    chkCompress->setText(QStringLiteral("Com&press"));
    btnLoad = button(this, "btnLoad", "&Load Design Attributes", 0, 2040, 2655, 735);
    btnOption = button(this, "btnOption", "Opt&ions", 4800, 6480, 1095, 375);
    btnClose = button(this, "btnClose", "Clos&e", 6000, 6480, 1215, 375);
    btnDeleteChoice = button(this, "btnDeleteChoice", "Dele&te Choice", 720, 6240, 1335, 375);
    btnLoadAll = button(this, "btnLoadAll", "L&oad All", 1440, 5640, 1215, 375);
    btnloadChoice = button(this, "btnloadChoice", "Load C&hoices", 120, 5640, 1215, 375);
    cmbChoice = place<QComboBox>(this, "cmbChoice", 120, 5280, 2535, 315);
    cmbChoice->setEditable(true);
    cmbChoice->setInsertPolicy(QComboBox::NoInsert);
    btnSaveAs = button(this, "btnSaveAs", "&Save Selection", 4680, 5880, 2535, 375);
    txtSaveAs = place<QLineEdit>(this, "txtSaveAs", 4680, 5400, 2535, 375);
    btnReport = button(this, "btnReport", "&Create Report", 3000, 4440, 1455, 615);
    btnMoveDown = button(this, "btnMoveDown", "Move Do&wn", 3120, 2640, 1215, 375);
    btnMoveUp = button(this, "btnMoveUp", "Move &Up", 3120, 2280, 1215, 375);
    btnRemoveAll = button(this, "btnRemoveAll", "<< Re&move All", 3120, 1680, 1215, 375);
    btnRemove = button(this, "btnRemove", "<< &Remove", 3120, 1320, 1215, 375);
    btnAddAll = button(this, "btnAddAll", "A&dd All >>", 3120, 840, 1215, 375);
    btnAdd = button(this, "btnAdd", "&Add >>", 3120, 480, 1215, 375);
    lstSelected = place<selection::DropList>(this, "lstSelected", 4680, 480, 2655, 4545);
    lstSelected->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lstAttributes = place<QListWidget>(this, "lstAttributes", 0, 480, 2655, 4545);
    lstAttributes->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lstAttributes->setDragDropMode(QAbstractItemView::DragOnly);
    lblkey = place<QLabel>(this, "lblkey", 3240, 4080, 1455, 255);
    label = place<QLabel>(this, "label", 2760, 4080, 1695, 375);
    label->setText(QStringLiteral("Key:"));
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label1 = place<QLabel>(this, "Label1", 2760, 5400, 1815, 1095);
    Label1->setText(QStringLiteral("Vexlo\nbills of materials\nfrom your schematic"));
    Label1->setWordWrap(true);
    lblStatus = place<StatusLine>(this, "lblStatus", 120, 6945, 7200, statusHeight);
    // Where nothing else is: below Create Report, in the row of Options and Close.
    btnPreview = button(this, "btnPreview", "Pre&view", 3000, 6510, 1455, 375);
    // Where nothing else is: above the column list it compares, at its right.
    btnCompare = button(this, "btnCompare", "Chan&ges...", 5880, 45, 1455, 375);
    btnCompare->setToolTip(QStringLiteral("Compare with an older revision of the design"));
    createActions();
    for (QWidget* control : {static_cast<QWidget*>(btnkey), static_cast<QWidget*>(lblkey),
                             static_cast<QWidget*>(label), static_cast<QWidget*>(lstAttributes)}) {
        control->hide();
    }
    for (QPushButton* move : {btnMoveDown, btnMoveUp, btnRemoveAll, btnRemove, btnAddAll, btnAdd}) {
        move->setEnabled(false);
    }

    // Keyboard order by tab index; the labels take no focus.
    QWidget* const tabOrder[] = {
        lstAttributes, lstSelected, btnAdd,          btnAddAll, btnRemove, btnRemoveAll,
        btnMoveUp,     btnMoveDown, btnReport,       txtSaveAs, btnSaveAs, cmbChoice,
        btnloadChoice, btnLoadAll,  btnDeleteChoice, btnClose,  btnOption, btnLoad,
        chkCompress,   btnkey,      btnPreview,      btnCompare};
    for (std::size_t i = 0; i + 1 < std::size(tabOrder); ++i) {
        QWidget::setTabOrder(tabOrder[i], tabOrder[i + 1]);
    }

    columns_ = std::make_unique<selection::ColumnSelection>(selection::ColumnControls{
        lstAttributes, lstSelected, btnAdd, btnAddAll, btnRemove, btnRemoveAll, btnMoveUp,
        btnMoveDown, chkCompress, btnkey, lblkey, label});
}

void Vexlo::createActions() {
    actReadAgain = new QAction(QStringLiteral("&Read the Design Again"), this);
    actReadAgain->setObjectName(QStringLiteral("actReadAgain"));
    actReadAgain->setShortcut(QKeySequence(Qt::Key_F5));
    addAction(actReadAgain);
    actOpen = new QAction(QStringLiteral("&Open Design..."), this);
    actOpen->setObjectName(QStringLiteral("actOpen"));
    actOpen->setShortcut(QKeySequence::Open);
    addAction(actOpen);
    lstAttributes->addAction(actReadAgain);
    lstAttributes->setContextMenuPolicy(Qt::ActionsContextMenu);
    designWatch_ = new QFileSystemWatcher(this);
    toolWait_ = new ToolWait(lblStatus, this);
}

void Vexlo::connectControls() {
    auto onClick = [this](QPushButton* control, void (Vexlo::*handler)()) {
        connect(control, &QPushButton::clicked, this, [this, handler] { (this->*handler)(); });
    };
    onClick(btnLoad, &Vexlo::btnLoad_Click);
    onClick(btnReport, &Vexlo::btnReport_Click);
    onClick(btnSaveAs, &Vexlo::btnSaveAs_Click);
    onClick(btnDeleteChoice, &Vexlo::btnDeleteChoice_Click);
    onClick(btnloadChoice, &Vexlo::btnloadChoice_Click);
    onClick(btnLoadAll, &Vexlo::btnLoadAll_Click);
    onClick(btnOption, &Vexlo::btnOption_Click);
    onClick(btnClose, &Vexlo::btnClose_Click);
    onClick(btnPreview, &Vexlo::btnPreview_Click);
    onClick(btnCompare, &Vexlo::btnCompare_Click);
    connect(actReadAgain, &QAction::triggered, this, [this] { readDesignAgain(); });
    connect(actOpen, &QAction::triggered, this, [this] { chooseDesign(); });
    connect(designWatch_, &QFileSystemWatcher::fileChanged, this, [this] { designFilesChanged(); });
    connect(designWatch_, &QFileSystemWatcher::directoryChanged, this,
            [this] { designFilesChanged(); });

    auto* columns = columns_.get();
    connect(btnAdd, &QPushButton::clicked, this, [columns] { columns->add(); });
    connect(btnAddAll, &QPushButton::clicked, this, [columns] { columns->addAll(); });
    connect(btnRemove, &QPushButton::clicked, this, [columns] { columns->remove(); });
    connect(btnRemoveAll, &QPushButton::clicked, this, [columns] { columns->removeAll(); });
    connect(btnMoveUp, &QPushButton::clicked, this, [columns] { columns->moveUp(); });
    connect(btnMoveDown, &QPushButton::clicked, this, [columns] { columns->moveDown(); });
    connect(btnkey, &QPushButton::clicked, this, [this, columns] {
        if (!columns->selectKey()) {
            const QString refused = toQt(report::quantityKeyError().description);
            showMessage(QMessageBox::Warning, refused);
            setStatus(toStd(refused));
            return;
        }
        lblkey->setToolTip(lblkey->text());
    });
    connect(lstAttributes, &QListWidget::itemDoubleClicked, this, [columns] { columns->add(); });
    connect(lstSelected, &selection::DropList::dropped, this, [columns] { columns->drop(); });
    // toggled fires only when the value changes, so setting the value it has runs nothing.
    connect(chkCompress, &QCheckBox::toggled, this, [this, columns](bool checked) {
        columns->compressChanged(checked, settingCompress_ == 1);
        clearEndedCondition();
    });
    connect(btnkey, &QPushButton::clicked, this, [this] { clearEndedCondition(); });
}

std::optional<Error> Vexlo::runGuarded(bool hourglass, const std::function<void()>& operation) {
    std::optional<Error> failure;
    {
        std::optional<WaitCursor> wait;
        if (hourglass) {
            wait.emplace();
        }
        try {
            operation();
        } catch (const std::exception& exception) {
            failure = asError(exception);
        }
    }
    // The user who gave up a call knows; the status line tells where the action ended.
    if (failure && failure->number != errc::ToolCallAbandoned) {
        showMessage(QMessageBox::Critical, toQt(operations::failureMessage(*failure)));
    }
    return failure;
}

void Vexlo::requireSettings() {
    if (!settingsRead_) {
        auto tool = connectTool();
        operations::Session session(*tool);
        readSettings(session);
    }
    if (settingsFailure_) {
        throw *settingsFailure_;
    }
}

void Vexlo::runReport(const std::function<operations::Outcome()>& action) {
    operations::Outcome outcome;
    {
        const WaitCursor wait;
        try {
            requireSettings();
            outcome = action();
        } catch (const std::exception& failure) {
            outcome = operations::failedOutcome(asError(failure));
        }
    }
    // A report is not written while the settings file cannot be read: the status line tells it
    // until the file reads.
    tell(outcome, settingsFailure_ ? Condition::Settings : Condition::None);
}

void Vexlo::tell(const operations::Outcome& outcome, Condition onFailure) {
    for (const operations::Message& message : outcome.messages) {
        showMessage(message.kind == operations::Message::Kind::Critical ? QMessageBox::Critical
                                                                        : QMessageBox::Warning,
                    toQt(message.text));
    }
    const Condition condition = outcome.failure      ? onFailure
                                : outcome.keyMissing ? Condition::MissingKey
                                                     : Condition::None;
    setStatus(outcome.status, condition);
    for (const report::WrittenReport& written : outcome.reports) {
        watchViewer(written.shown.viewer);
    }
}

operations::Session Vexlo::session() {
    return operations::Session([this] { return connectTool(); });
}

void Vexlo::watchViewer(const std::shared_ptr<report::ViewerRun>& viewer) {
    if (!viewer) {
        return;
    }
    auto* ended = new QSocketNotifier(viewer->endFd(), QSocketNotifier::Read, this);
    const QString reportLine = lblStatus->text();
    // The notifier's connection keeps the viewer's pipe open until it has told its end.
    connect(ended, &QSocketNotifier::activated, this, [this, ended, viewer, reportLine] {
        const std::optional<int> status = viewer->exitStatus();
        if (!status) {
            return;
        }
        ended->setEnabled(false);
        ended->deleteLater();
        if (lblStatus->text() == reportLine) {
            lblStatus->setMessage(reportLine + toQt(operations::viewerNote(*status)));
        }
    });
}

void Vexlo::setStatus(const std::string& message, Condition condition) {
    lblStatus->setMessage(toQt(message));
    statusCondition_ = condition;
}

void Vexlo::clearEndedCondition() {
    const bool ended =
        (statusCondition_ == Condition::MissingKey && !operations::lacksKey(reportRequest())) ||
        (statusCondition_ == Condition::Settings && !settingsFailure_);
    if (ended) {
        setStatus({});
    }
}

bool Vexlo::Form_Load() {
    std::unique_ptr<design::SchematicTool> tool;
    try {
        tool = connectTool();
    } catch (const Error& failure) {
        showMessage(QMessageBox::Critical, toQt(operations::attachFailureMessage(failure)));
        return false;
    }
    // Shown at once, so that the wait for a slow tool can be seen and given up.
    show();
    const auto failure = runGuarded(false, [this, &tool] {
        operations::Session session(*tool);
        // Told now, and again by every report until a read succeeds; the lists still fill.
        project_ = session.projectFolder();
        if (const auto failure = readSettings(session)) {
            showMessage(QMessageBox::Critical, toQt(operations::failureMessage(*failure)));
        }
        fillSavedSelections(session);
    });
    if (failure) {
        setStatus(operations::failureStatus(*failure));
    }
    return true;
}

bool Vexlo::openDesign(const std::string& path, const std::string& variant) {
    auto source = std::make_shared<operations::DesignFileSource>(path, variant);
    std::string status;
    const auto failure = runGuarded(true, [this, &source, &status] {
        auto tool = source->open();
        designFile_ = source;
        connector_ = [source] { return source->open(); };
        operations::Session session(*tool);
        followProject(session);
        status = lstAttributes->isHidden()
                     ? operations::designStatus(operations::DesignLoad::Opened, session,
                                                settings::reportOptions(options_).exclusion, 0)
                     : showAttributes(session, operations::DesignLoad::Read);
        fillSavedSelections(session);
    });
    watchDesign();
    setStatus(failure ? operations::failureStatus(*failure) : status);
    return !failure;
}

void Vexlo::chooseDesign() {
    const QString file = chooseDesignFile(QStringLiteral("Open a Design"), "dlgOpen");
    if (!file.isEmpty()) {
        openDesign(file.toStdString());
    }
}

void Vexlo::dragEnterEvent(QDragEnterEvent* event) {
    if (!droppedFile(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
    }
}

void Vexlo::dropEvent(QDropEvent* event) {
    const QString file = droppedFile(event->mimeData());
    if (file.isEmpty()) {
        return;
    }
    event->acceptProposedAction();
    // Opened once the drop has ended: its messages must not hold the dragging program.
    QTimer::singleShot(0, this, [this, file] { openDesign(file.toStdString()); });
}

std::unique_ptr<design::SchematicTool> Vexlo::connectTool() {
    auto tool = connector_();
    tool->waitWith(toolWait_);
    // The file read afresh may have other sheets now.
    watchDesign();
    return tool;
}

void Vexlo::followProject(operations::Session& session) {
    if (session.projectFolder() == project_) {
        return;
    }
    project_ = session.projectFolder();
    if (const auto failure = readSettings(session)) {
        showMessage(QMessageBox::Critical, toQt(operations::failureMessage(*failure)));
    }
}

void Vexlo::watchDesign() {
    if (!designFile_) {
        return;
    }
    // The folders too: a save that replaces a file ends the watch on the file it replaced.
    QStringList wanted;
    for (const std::string& file : designFile_->files()) {
        wanted << toQt(file) << QFileInfo(toQt(file)).absolutePath();
    }
    wanted.removeDuplicates();
    const QStringList watched = designWatch_->files() + designWatch_->directories();
    QStringList gone;
    QStringList fresh;
    for (const QString& path : watched) {
        if (!wanted.contains(path)) {
            gone << path;
        }
    }
    for (const QString& path : wanted) {
        if (!watched.contains(path) && QFileInfo::exists(path)) {
            fresh << path;
        }
    }
    if (!gone.isEmpty()) {
        designWatch_->removePaths(gone);
    }
    if (!fresh.isEmpty()) {
        designWatch_->addPaths(fresh);
    }
}

void Vexlo::designFilesChanged() {
    watchDesign();
    if (designFile_ && designFile_->changedOnDisk()) {
        setStatus(operations::designChangedMessage);
    }
}

std::optional<Error> Vexlo::readSettings(operations::Session& session) {
    // The tool failing to name its project is the action's failure, not the settings file's.
    session.projectFolder();
    try {
        operations::loadSettings(session, options_);
        settingsFailure_.reset();
    } catch (const std::exception& failure) {
        settingsFailure_ = asError(failure);
    }
    settingsRead_ = true;
    return settingsFailure_;
}

std::string Vexlo::LoadChoices(const std::string& fileName) {
    auto tool = connectTool();
    return operations::Session(*tool).dataFile(fileName);
}

void Vexlo::SetOptions() {
    auto tool = connectTool();
    operations::Session session(*tool);
    if (const auto failure = readSettings(session)) {
        throw *failure;
    }
    clearEndedCondition();
}

void Vexlo::fillSavedSelections(operations::Session& session) {
    std::string file;
    std::optional<std::vector<std::string>> names;
    try {
        file = session.dataFile(saved::selectionFileName);
        names = saved::readSelectionNames(file);
    } catch (const Error&) {
        return;  // the tool is gone: the list stays as it was
    }
    if (names) {
        setChoices(*names);
    } else if (file != selectionsFile_) {
        setChoices({});  // another project's names would load nothing of this one
    }
    selectionsFile_ = file;
}

void Vexlo::setChoices(const std::vector<std::string>& names) {
    cmbChoice->clear();
    // The first item added becomes the current one.
    for (const auto& name : names) {
        cmbChoice->addItem(toQt(name));
    }
}

void Vexlo::btnLoad_Click() {
    readAttributes();
}

void Vexlo::readDesignAgain() {
    readAttributes();
}

void Vexlo::readAttributes() {
    std::string status;
    const auto failure = runGuarded(true, [this, &status] {
        auto tool = connectTool();
        operations::Session session(*tool);
        followProject(session);
        status =
            showAttributes(session, lstAttributes->isHidden() ? operations::DesignLoad::Read
                                                              : operations::DesignLoad::ReadAgain);
        fillSavedSelections(session);
    });
    setStatus(failure ? operations::failureStatus(*failure) : status);
}

std::string Vexlo::showAttributes(operations::Session& session, operations::DesignLoad load) {
    const bool first = lstAttributes->isHidden();
    const operations::DesignRead read = operations::readDesign(
        session, load, settings::reportOptions(options_).exclusion, toStd(columns_->columns()));
    const std::vector<std::string>& names = read.attributeNames;
    // Nothing on the window changes until the whole design was read.
    attributeNames_.reset();
    for (const auto& name : names) {
        AddDynamicArray(attributeNames_, name);
    }
    QStringList items;
    items.reserve(static_cast<qsizetype>(names.size()));
    for (const auto& name : attributeNames_.appended()) {
        items.append(toQt(name));
    }
    lstAttributes->clear();
    lstAttributes->addItems(items);
    if (first) {
        lstAttributes->show();
        btnLoad->hide();
        for (QPushButton* control : {btnAdd, btnAddAll, btnMoveUp, btnMoveDown}) {
            control->setEnabled(true);
        }
        // The hidden button had the focus; the list it made room for takes it.
        lstAttributes->setFocus();
    }
    return read.status;
}

report::ReportRequest Vexlo::reportRequest() const {
    report::ReportRequest request;
    request.columns = toStd(columns_->columns());
    request.compress = chkCompress->isChecked();
    request.keys = toStd(columns_->keys());
    request.options = settings::reportOptions(options_);
    return request;
}

void Vexlo::btnReport_Click() {
    runReport([this] {
        auto session = this->session();
        return operations::createReport(session, reportRequest());
    });
}

void Vexlo::showSelection(const saved::LoadedSelection& selection) {
    lstSelected->clear();
    chkCompress->setChecked(false);
    QStringList columns;
    for (const auto& column : selection.columns) {
        columns.append(toQt(column));
    }
    lstSelected->addItems(columns);
    if (selection.compress) {
        settingCompress_ = 1;
        chkCompress->setChecked(true);
        settingCompress_ = 0;
        QStringList keys;
        for (const auto& key : selection.keys) {
            keys.append(toQt(key));
        }
        columns_->setKeys(keys);
        lblkey->setToolTip(lblkey->text());
    }
}

void Vexlo::btnloadChoice_Click() {
    runReport([this]() -> operations::Outcome {
        auto session = this->session();
        const auto outcome =
            operations::loadChoice(session, toStd(cmbChoice->currentText()), reportRequest());
        if (outcome.selection) {
            showSelection(*outcome.selection);
            columns_->enableAfterLoad();
        }
        return outcome;
    });
}

void Vexlo::btnLoadAll_Click() {
    runReport([this]() -> operations::Outcome {
        auto session = this->session();
        std::vector<std::string> names;
        for (int index = 0; index < cmbChoice->count(); ++index) {
            names.push_back(toStd(cmbChoice->itemText(index)));
        }
        const auto outcome = operations::loadAll(session, names, reportRequest(),
                                                 [this](const operations::BatchEntry& entry) {
                                                     if (entry.selection) {
                                                         showSelection(*entry.selection);
                                                     }
                                                 });
        if (!outcome.failure) {
            columns_->enableAfterLoad();
        }
        return outcome;
    });
}

void Vexlo::btnSaveAs_Click() {
    auto session = this->session();
    operations::Outcome outcome;
    {
        const WaitCursor wait;
        outcome =
            operations::saveSelection(session, toStd(txtSaveAs->text()), toStd(columns_->columns()),
                                      chkCompress->isChecked(), toStd(columns_->keys()));
    }
    tell(outcome);
    // The list is filled again even after a failed save, from the file as it now stands.
    if (session.attached()) {
        fillSavedSelections(session);
    }
}

void Vexlo::btnDeleteChoice_Click() {
    operations::DeleteOutcome outcome;
    {
        const WaitCursor wait;
        auto session = this->session();
        outcome = operations::deleteChoice(session, toStd(cmbChoice->currentText()));
    }
    if (outcome.names) {
        setChoices(*outcome.names);
    }
    tell(outcome);
}

std::unique_ptr<preview::PreviewWindow> Vexlo::makePreview() {
    const report::ReportRequest request = reportRequest();
    if (operations::lacksKey(request)) {
        showMessage(QMessageBox::Warning, QString::fromLatin1(operations::missingKeyMessage));
        setStatus(operations::missingKeyMessage, Condition::MissingKey);
        return nullptr;
    }
    std::shared_ptr<const operations::Preview> shown;
    int format = 0;
    const auto failure = runGuarded(true, [this, &shown, &format] {
        requireSettings();
        const report::ReportRequest current = reportRequest();
        format = static_cast<int>(current.options.format);
        auto tool = connectTool();
        operations::Session session(*tool);
        shown = std::make_shared<const operations::Preview>(
            operations::previewReport(session, current));
    });
    if (failure) {
        setStatus(operations::failureStatus(*failure),
                  settingsFailure_ ? Condition::Settings : Condition::None);
        return nullptr;
    }
    const QString formatName = toQt(operations::formatName(format));
    // Writes the table the preview shows, telling it as Create Report tells its report.
    const auto write = [this, shown] {
        runReport([&shown] { return operations::writePreviewReport(*shown); });
        return lblStatus->text();
    };
    return std::make_unique<preview::PreviewWindow>(shown, formatName, write, this);
}

void Vexlo::btnPreview_Click() {
    if (auto window = makePreview()) {
        window->exec();
    }
}

QString Vexlo::chooseDesignFile(const QString& title, const char* name) {
    QString folder;
    try {
        folder = toQt(connectTool()->CurrentProject());
    } catch (const std::exception&) {
        // The dialog then starts where the program runs; what follows tells what failed.
    }
    QFileDialog dialog(this, title, folder,
                       QStringLiteral("Designs (*.kicad_pro *.kicad_sch *.xml *.json);;"
                                      "All files (*)"));
    dialog.setObjectName(QString::fromLatin1(name));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().front();
}

void Vexlo::btnCompare_Click() {
    if (operations::lacksKey(reportRequest())) {
        showMessage(QMessageBox::Warning, QString::fromLatin1(operations::missingKeyMessage));
        setStatus(operations::missingKeyMessage, Condition::MissingKey);
        return;
    }
    const std::string older =
        chooseDesignFile(QStringLiteral("Compare With an Older Revision"), "dlgCompare")
            .toStdString();
    if (older.empty()) {
        return;  // cancelled: nothing written, the status line as it was
    }
    runReport([this, &older] {
        auto session = this->session();
        return operations::compareWith(session, older, reportRequest());
    });
}

void Vexlo::btnOption_Click() {
    runGuarded(false, [this] {
        options::Form1 form([this] { return LoadChoices(settings::settingsFileName); },
                            [this] { return connectTool()->CurrentProject(); },
                            [this] { SetOptions(); }, this);
        form.exec();
    });
}

void Vexlo::btnClose_Click() {
    close();
}

}  // namespace vexlo
