// The program's modal state: the modal count, the window-disable nesting
// counter and the z-order of the floating windows around modal boxes.
#pragma once

#include <windows.h>

// Number of message boxes, modal dialogs, common dialogs and message pumps
// open right now; the timer and window procedures do less while it is not 0.
int ModalCount();

// Raises the modal count for its lifetime.
class ModalScope {
 public:
  ModalScope();
  ~ModalScope();
  ModalScope(const ModalScope&) = delete;
  ModalScope& operator=(const ModalScope&) = delete;
};

// Makes every floating window whose AlwaysOnTop word is on not-topmost
// (behind = 1) or topmost again (behind = 0), without moving or sizing it.
void FloatWndsZOrder(int behind);

// enable = 0 raises the nesting count of long operations, enable = 1 lowers
// it. While the count is not 0 the main window and the nine tool windows are
// disabled; the floating windows go behind when it becomes 1 and back on top
// when it returns to 0.
void EnableAppWindows(int enable);

// 1 while EnableAppWindows holds the windows disabled.
int AppWindowsDisabled();

// Disables the main window and the nine tool windows again, after a system
// box or dialog enabled them behind the counter's back.
void DisableAppWindowsAgain();

// 1 when the mouse is captured, or when AllKeyInpToMixElem is on and the
// active window is none of the main window and its nine floating windows;
// accelerators are then not translated.
int IsModalState();
