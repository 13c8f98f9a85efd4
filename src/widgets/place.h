#pragma once

#include <QString>
#include <QWidget>

#include "widgets/twips.h"

namespace vexlo::widgets {

// A control of the windows' fixed layouts: made on parent, named (the name tests and the
// window's own code find it by) and placed at a rectangle given in twips.
template <typename Control>
Control* place(QWidget* parent, const char* name, int left, int top, int width, int height) {
    auto* control = new Control(parent);
    control->setObjectName(QString::fromLatin1(name));
    control->setGeometry(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width),
                         twipsToPixels(height));
    return control;
}

}  // namespace vexlo::widgets
