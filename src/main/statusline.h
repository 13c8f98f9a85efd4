#pragma once

#include <QLabel>

namespace vexlo {

// The main window's status line: one line that shows a message too long for it with its middle
// left out ("..."), the whole message in its tool tip. text() is always the whole message.
class StatusLine final : public QLabel {
    Q_OBJECT

public:
    using QLabel::QLabel;

    // Sets the message and its tool tip.
    void setMessage(const QString& message);
    // The line as it is drawn.
    QString shownText() const;

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace vexlo
