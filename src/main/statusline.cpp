#include "main/statusline.h"

#include <QPainter>
#include <QStyle>

namespace vexlo {

void StatusLine::setMessage(const QString& message) {
    setText(message);
    setToolTip(message);
}

QString StatusLine::shownText() const {
    QString line = text();
    line.replace(u'\n', u' ');
    return fontMetrics().elidedText(line, Qt::ElideMiddle, contentsRect().width());
}

void StatusLine::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    style()->drawItemText(&painter, contentsRect(), Qt::AlignLeft | Qt::AlignVCenter, palette(),
                          isEnabled(), shownText(), foregroundRole());
}

}  // namespace vexlo
