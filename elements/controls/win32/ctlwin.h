// The skinned "8" controls as window classes: registration into a module's
// own instance, the owners' update operations, and what the classes share
// (the record in extra word 0, double-buffered painting, notifications).
#pragma once

#include <windows.h>

#include "elements/controls/ctldata.h"

// Class names.
inline constexpr char kLabel8Class[] = "Label8_WC";
inline constexpr char kColBox8Class[] = "ColBox8_WC";
inline constexpr char kBmStatic8Class[] = "BmStatic8_WC";
inline constexpr char kBmButton8Class[] = "BmButton8_WC";
inline constexpr char kHBmButton8Class[] = "HBmButton8_WC";
inline constexpr char kSpinBox8Class[] = "SpinBox8_WC";
inline constexpr char kVFader8Class[] = "VFader8_WC";
inline constexpr char kHFader8Class[] = "HFader8_WC";
inline constexpr char kRotPot8Class[] = "RotPot8_WC";
inline constexpr char kPeak8Class[] = "Peak8_WC";
inline constexpr char kBpEqFs8Class[] = "BpEqFs8_WC";
inline constexpr char kSurPanner8Class[] = "SurPanner8_WC";

// The classes a module registers: the ten of a module without the
// surround panner, or all twelve.
enum CtlClassSet { kCtlTen, kCtlTwelve };
BOOL CtlRegisterClasses(HINSTANCE instance, CtlClassSet set);
void CtlUnregisterClasses(HINSTANCE instance, CtlClassSet set);

// Update operations: with no window (record's first field 0) they only
// store values.
void BmButton8SetState(int state, BmButton8Data* d);
void HBmButton8SetState(int state, HBmButton8Data* d, int row);
void SpinBox8Redraw(SpinBox8Data* d);
void VFader8SetPos(int pos, Fader8Data* d);
void HFader8SetPos(int pos, Fader8Data* d);
void RotPot8DrawPointer(RotPot8Data* d);
void Peak8Clear(Peak8Data* d);
void Peak8Update(Peak8Data* d);
void BpEqFs8Draw(BpEqFs8Data* d, int recompute);
void SurPanner8SetShape(SurPanner8Data* d, int front, int rear, int depth);
void SurPanner8SetDot(SurPanner8Data* d, int32_t x32, int32_t y32, int which);
void SurPanner8GetDot(const SurPanner8Data* d, int32_t* x32, int32_t* y32, int which);
RECT RectInset(RECT r, int n);

// --- Shared by the classes (ctlclasses.cpp) --------------------------------

template <typename T>
T* CtlData(HWND wnd) {
  return reinterpret_cast<T*>(GetWindowLongPtrA(wnd, 0));
}
// WM_CREATE: the record from the creation parameter into extra word 0 and
// the window into the record's first field.
template <typename T>
T* CtlAttach(HWND wnd, LPARAM lParam) {
  T* d = static_cast<T*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
  SetWindowLongPtrA(wnd, 0, reinterpret_cast<LONG_PTR>(d));
  if (d) d->Wnd = wnd;
  return d;
}
template <typename T>
void CtlDetach(HWND wnd) {
  if (T* d = CtlData<T>(wnd)) d->Wnd = nullptr;
  SetWindowLongPtrA(wnd, 0, 0);
}

// A notification to the parent: wParam the control id, lParam the window.
LRESULT CtlNotify(HWND wnd, UINT msg);

// A memory bitmap of the client, copied to the window in one BitBlt.
class CtlBuffer {
 public:
  CtlBuffer(HDC target, int width, int height);
  ~CtlBuffer();
  HDC Dc() const { return mem_; }
  void CopyTo(HDC target, int x = 0, int y = 0) const;
  void CopyPart(HDC target, const RECT& r) const;

 private:
  HDC mem_;
  HBITMAP bitmap_, old_;
  int width_, height_;
};

void CtlFill(HDC dc, const RECT& r, COLORREF c);
void CtlLine(HDC dc, int x0, int y0, int x1, int y1, COLORREF c);
// The module font n (0..7).
HFONT CtlFont(int n);

// The "INPUT" dialog on the text of value, captioned with the window text;
// 1 on OK with the text in the module's shared value text.
int CtlAskValue(HWND wnd, const char* valueText);
