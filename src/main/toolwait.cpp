#include "main/toolwait.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>

#include "main/statusline.h"
#include "operations/operations.h"

namespace vexlo {

namespace {

// The user's input, which a pending call holds back from every control.
bool isInput(QEvent::Type type) {
    switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::ContextMenu:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
        case QEvent::InputMethod:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::Close:
            return true;
        default:
            return false;
    }
}

}  // namespace

ToolWait::ToolWait(StatusLine* line, QObject* parent) : QObject(parent), line_(line) {}

bool ToolWait::wait(const std::function<bool()>& answered) {
    if (pending_) {
        return answered();  // a call made while another is waited for is not waited for
    }
    pending_ = true;
    gaveUp_ = false;
    const QString before = line_->text();
    line_->setMessage(QString::fromLatin1(operations::waitingForToolMessage));
    QApplication::setOverrideCursor(Qt::WaitCursor);
    qApp->installEventFilter(this);
    // Looks at the call now and then, should its answer wake nothing.
    QTimer poll;
    poll.start(100);
    while (!answered() && !gaveUp_) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    qApp->removeEventFilter(this);
    QApplication::restoreOverrideCursor();
    line_->setMessage(before);
    pending_ = false;
    return answered();
}

bool ToolWait::eventFilter(QObject* watched, QEvent* event) {
    if (!isInput(event->type())) {
        return QObject::eventFilter(watched, event);
    }
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        gaveUp_ = true;
    }
    // Held back: a shortcut override taken, so that no shortcut acts on it; a close refused.
    if (event->type() == QEvent::ShortcutOverride) {
        event->accept();
    } else {
        event->ignore();
    }
    return true;
}

}  // namespace vexlo
