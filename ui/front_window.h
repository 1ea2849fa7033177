// front_window.h - message boxes and questions open above the window in front and take the keyboard focus.
//
// The dialogs and the progress window stay on top of other windows, so a
// box owned by the main window alone would open beneath them, with the
// focus in it, and the program would look frozen.
#pragma once

class QDialog;
class QWidget;

namespace zor {

// The window a new box belongs to: the modal dialog in front, else a
// visible always-on-top window of `owner` (the progress window), else
// `owner` itself.
QWidget* windowInFront(QWidget* owner);

// Runs `box` modally above its parent (on top too when the parent is),
// raised and holding the focus; returns what exec() returns.
int execInFront(QDialog& box);

}  // namespace zor
