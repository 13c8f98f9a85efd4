#pragma once
// Helpers for tests of real widgets.
#include <QAbstractButton>
#include <QAbstractItemModel>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

namespace vexlo::test {

// The captions of a window's labels and buttons that do not fit their controls in the controls'
// own fonts, so that a user would see them cut off.
std::vector<std::string> clippedCaptions(const QWidget& window);

// The caption a button shows: its text without the "&" that marks its mnemonic.
std::string shownCaption(const QAbstractButton& button);

// Each button of the window with a caption as "caption:letter", the letter its mnemonic (Alt +
// letter) underlines, or "caption:" without one; in the order the window made them.
std::vector<std::string> mnemonics(const QWidget& window);

// The window's named controls in the order it made them, one a line: class, name, then what a
// user sees of it (caption or text, alignment and word wrap of a label, tooltip, shortcut,
// whether it is hidden, disabled, editable, read-only) and, when `geometry` is set, its place
// and size in pixels.
std::string layoutText(const QWidget& window, bool geometry);

// Checks the model with QAbstractItemModelTester from now on, while it lives: at once and after
// each change it signals. Each fault the tester finds fails the running test.
void checkModel(QAbstractItemModel* model);

// Runs the action, answering each message box it opens with OK: each box as "C title: text" (its
// icon: C critical, W warning, I information), "|" between; "" for none.
std::string messageOf(const std::function<void()>& action);

}  // namespace vexlo::test
