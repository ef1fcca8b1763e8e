// Test helper: answers the next modal box or dialog of this thread from a
// timer that runs inside its message loop, after recording what it showed
// and what the program's state was meanwhile.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

struct ModalSeen {
  bool found = false;
  std::string caption;
  std::string text;  // a message box's text (static item 0xFFFF)
  int modalCount = 0;
};

class ModalCloser {
 public:
  // `button` is the command sent to the box or dialog; `inspect` runs while
  // it is open, before the button is pressed.
  explicit ModalCloser(int button, std::function<void(HWND)> inspect = {});
  ~ModalCloser();
  const ModalSeen& seen() const { return seen_; }
  // Passes over the open dialogs `skip` picks: for a box that comes up over
  // a modal dialog of its own, which would otherwise be answered first.
  void Skip(std::function<bool(HWND)> skip) { skip_ = std::move(skip); }
  // Looks for the box now, as the timer does. For code that keeps its queue
  // full of posted messages (timer messages only come when it is empty).
  void Poll();

 private:
  static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD);
  static BOOL CALLBACK FindDialog(HWND wnd, LPARAM found);

  int button_;
  std::function<void(HWND)> inspect_;
  ModalSeen seen_;
  std::function<bool(HWND)> skip_;
  UINT_PTR timer_;
  HWND found_ = nullptr;
  static ModalCloser* active_;
};
