#pragma once

#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <algorithm>

namespace vexlo::widgets {

// Keeps a window that can be resized inside the available area of its screen, frame included:
// its size is asked for in pixels that the scale factor multiplies, so a window that fits at a
// factor of 1 can outgrow the screen at 2 and put its buttons out of reach. Called once it is
// shown, when its frame is known.
inline void fitToScreen(QWidget& window) {
    const QScreen* screen = window.screen();
    if (screen == nullptr) {
        return;
    }
    const QRect area = screen->availableGeometry();
    const QWindow* handle = window.windowHandle();
    const QMargins frame = handle != nullptr ? handle->frameMargins() : QMargins();
    const QSize room = area.size().shrunkBy(frame);
    if (window.width() > room.width() || window.height() > room.height()) {
        window.resize(window.size().boundedTo(room));
    }
    // Then moved in where it sticks out; the left and top edges win on a screen too small.
    const QRect outer = window.frameGeometry();
    const int left =
        std::max(area.left(), std::min(outer.left(), area.right() - outer.width() + 1));
    const int top = std::max(area.top(), std::min(outer.top(), area.bottom() - outer.height() + 1));
    if (left != outer.left() || top != outer.top()) {
        window.move(left, top);
    }
}

}  // namespace vexlo::widgets
