#pragma once

#include <QObject>
#include <QString>

#include "operations/session.h"

namespace vexlo {

class StatusLine;

// The window's wait for a call to the schematic tool that is not answered at once: the window
// keeps repainting and the status line says "Waiting for the schematic tool... (Esc gives up)".
// No control acts meanwhile (mouse, keys, drops and closing are held back from every window of
// the program), so no second operation starts while one is pending; Esc gives the call up.
class ToolWait final : public QObject, public design::CallWait {
    Q_OBJECT

public:
    explicit ToolWait(StatusLine* line, QObject* parent = nullptr);

    bool wait(const std::function<bool()>& answered) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    StatusLine* line_;
    bool pending_ = false;
    bool gaveUp_ = false;
};

}  // namespace vexlo
