// The module's window and control classes: a window object behind every
// window of the module's class (its procedure is replaced by a dispatcher
// to the object at WM_NCCREATE), the selection, edit and tracker interfaces
// of the controls, and the buttons that implement them.
#pragma once

#include <windows.h>

namespace hrlcd {

extern const char kWndClass[];

// The object of one window. Every message from WM_NCCREATE on reaches
// WndProc; the base stores the handle, calls OnCreate, calls OnDestroy at
// WM_DESTROY, and passes everything to the default procedure.
class CElemWnd {
 public:
  virtual ~CElemWnd() = default;
  virtual void OnCreate() {}
  virtual void OnDestroy() { Wnd = nullptr; }
  virtual LRESULT WndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
  HWND Wnd = nullptr;
};

// Registers (1) or unregisters (0) the module's one window class.
bool RegisterElemClass(HINSTANCE instance, bool on);

// A control that can lie under the pointer.
class CSelection {
 public:
  virtual void Leave() = 0;       // the pointer left: hover cleared, repainted
  virtual void Invalidate() = 0;  // repaint with the current look
  virtual void OnMouseDown(UINT msg, WPARAM wParam, int x, int y) = 0;

 protected:
  ~CSelection() = default;
};

// A control that changes a value; OnMouse takes the mouse messages while it
// holds the capture.
class CEdit {
 public:
  virtual void Apply() = 0;
  virtual void OnMouse(UINT msg, WPARAM wParam, int x, int y) = 0;

 protected:
  ~CEdit() = default;
};

class CTracker : public CEdit {
 public:
  virtual bool HitKnob(int x, int y) = 0;
  virtual void Drag(int x, int y) = 0;
  virtual void EndDrag() = 0;
  virtual void Rotate(double radians) = 0;

 protected:
  ~CTracker() = default;
};

// What the controls share: the window they sit in.
class CSelEdit {
 public:
  HWND Owner = nullptr;
};

// The control holding the mouse capture (at most one), and its window.
CEdit*& Captor();
// Hands a mouse message to the captor when it holds the capture of `wnd`.
bool RouteToCaptor(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);

// A button drawn from a horizontal strip of six cells (three looks for
// each of the two states). A latching button toggles on a left press or
// double click; a momentary one captures the mouse, shows itself pressed
// while the pointer is inside, and reports 1 on a release inside.
class CSelEditButton : public CSelEdit, public CSelection, public CEdit {
 public:
  using Report = void (*)(void* context, CSelEditButton* button, int state);
  virtual ~CSelEditButton();
  virtual void Attach(HWND owner, int x, int y, int w, int h, bool latch, HBITMAP image);
  virtual void SetState(int state);
  virtual void Draw(HDC dc);
  virtual CSelection* HitTest(int x, int y);
  void Leave() override;
  void Invalidate() override {}
  void OnMouseDown(UINT msg, WPARAM wParam, int x, int y) override;
  void Apply() override {}
  void OnMouse(UINT msg, WPARAM wParam, int x, int y) override;

  void Detach();
  void Repaint();
  void DrawCell(HDC dc, int cell);

  RECT Box{};
  int State = 0;
  bool Hover = false, Pressed = false, Latch = false, Tracking = false;
  HBITMAP Image = nullptr;
  Report OnReport = nullptr;
  void* Context = nullptr;
};

// The little window's bypass button: the blocked look wins over hover.
class CLButton : public CSelEditButton {
 public:
  void Draw(HDC dc) override;
  void Invalidate() override { Repaint(); }
  bool Blocked = false;
};

// The big window's header buttons.
class CTopButton : public CSelEditButton {
 public:
  void Draw(HDC dc) override;
  void Invalidate() override { Repaint(); }
};

// The control under the pointer of one window, with mouse-leave tracking
// asked for once per stay.
struct HoverTrack {
  CSelection* Hot = nullptr;
  bool LeaveAsked = false;
  void Point(HWND wnd, CSelection* hit);
  void Lost();
};

// A button image: the file when it loads, else the module's bitmap.
HBITMAP LoadButtonImage(HINSTANCE instance, const char* file, int resource);

}  // namespace hrlcd
