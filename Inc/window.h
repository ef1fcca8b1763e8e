// The window and dialog base classes: the object bound to its window, every
// message to a virtual handler; centring and string lists.
#pragma once
#include <windows.h>

class CWindow {
 public:
  virtual ~CWindow() = default;
  // Slot 1: every message of the bound window.
  virtual LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK StaticWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  HWND Detach();
  // A text, or a string resource id, to the window with a message.
  LRESULT SendText(UINT message, LPCSTR textOrId);
  // The text (at most 1023 characters) or string resource split at its last
  // character, each piece sent with the message and wParam -1; FALSE when a
  // send answers -1.
  BOOL AddStrings(LPCSTR textOrId, UINT message);
  HWND m_hwnd = nullptr;
};

class CDialog {
 public:
  virtual BOOL OnCommand(WORD id, WORD code, HWND control);  // slot 0
  virtual BOOL OnInitDialog(HWND focus, LPARAM lParam);     // slot 1
  virtual void OnClose();                                   // slot 2
  virtual void OnDestroy();                                 // slot 3
  virtual INT_PTR OnStyleChanged(WPARAM, LPARAM);           // slot 4
  virtual INT_PTR OnNotify(WPARAM, NMHDR*);                 // slot 5
  virtual INT_PTR OnOther(UINT message, WPARAM, LPARAM);    // slot 6
  virtual ~CDialog() = default;
  static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
  HWND m_hwnd = nullptr;
};

// Centres the dialog over its parent (or the screen) and keeps it on screen.
void CenterDialog(HWND dialog);
// The library's active dialog (for the message loop), 0 when none.
HWND ActiveDialog();
