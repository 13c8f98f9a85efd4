#pragma once
// Helpers for tests of real widgets.
#include <QWidget>
#include <string>
#include <vector>

namespace vexlo::test {

// The captions of a window's labels and buttons that do not fit their controls in the controls'
// own fonts, so that a user would see them cut off.
std::vector<std::string> clippedCaptions(const QWidget& window);

}  // namespace vexlo::test
