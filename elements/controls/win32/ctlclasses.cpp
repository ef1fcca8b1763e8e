// Registration of the control classes, the painting and notification
// helpers they share, and the three simplest: Label8, ColBox8, BmStatic8.
#include <cstring>

#include "elements/controls/win32/ctlwin.h"
#include "elements/win32/elemwin.h"

LRESULT CALLBACK Label8Proc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK ColBox8Proc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK BmStatic8Proc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK BmButton8Proc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK HBmButton8Proc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK SpinBox8Proc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK VFader8Proc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK HFader8Proc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK RotPot8Proc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK Peak8Proc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK BpEqFs8Proc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK SurPanner8Proc(HWND, UINT, WPARAM, LPARAM);

namespace {

struct ClassRow {
  const char* Name;
  WNDPROC Proc;
  UINT Style;
  bool GreyBrush;
  bool InTen;  // registered by modules without the surround panner
};

const ClassRow kClasses[] = {
    {kLabel8Class, Label8Proc, CS_DBLCLKS, false, false},
    {kColBox8Class, ColBox8Proc, CS_DBLCLKS, false, true},
    {kBmStatic8Class, BmStatic8Proc, 0, true, true},
    {kBmButton8Class, BmButton8Proc, 0, false, true},
    {kHBmButton8Class, HBmButton8Proc, 0, false, true},
    {kSpinBox8Class, SpinBox8Proc, CS_DBLCLKS, false, true},
    {kVFader8Class, VFader8Proc, CS_DBLCLKS, false, true},
    {kHFader8Class, HFader8Proc, CS_DBLCLKS, false, true},
    {kRotPot8Class, RotPot8Proc, CS_DBLCLKS, false, true},
    {kPeak8Class, Peak8Proc, 0, false, true},
    {kBpEqFs8Class, BpEqFs8Proc, 0, false, true},
    {kSurPanner8Class, SurPanner8Proc, 0, false, false},
};

bool InSet(const ClassRow& r, CtlClassSet set) { return set == kCtlTwelve || r.InTen; }

}  // namespace

BOOL CtlRegisterClasses(HINSTANCE instance, CtlClassSet set) {
  for (const ClassRow& r : kClasses) {
    if (!InSet(r, set)) continue;
    WNDCLASSA wc{};
    wc.style = r.Style;
    wc.lpfnWndProc = r.Proc;
    wc.cbWndExtra = sizeof(LONG_PTR);  // the record pointer
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = r.GreyBrush ? static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH)) : nullptr;
    wc.lpszClassName = r.Name;
    if (!RegisterClassA(&wc)) {
      CtlUnregisterClasses(instance, set);
      return FALSE;
    }
  }
  return TRUE;
}

void CtlUnregisterClasses(HINSTANCE instance, CtlClassSet set) {
  for (const ClassRow& r : kClasses)
    if (InSet(r, set)) UnregisterClassA(r.Name, instance);
}

LRESULT CtlNotify(HWND wnd, UINT msg) {
  return SendMessageA(GetParent(wnd), msg, GetDlgCtrlID(wnd), reinterpret_cast<LPARAM>(wnd));
}

CtlBuffer::CtlBuffer(HDC target, int width, int height)
    : mem_(CreateCompatibleDC(target)),
      bitmap_(CreateCompatibleBitmap(target, width > 0 ? width : 1, height > 0 ? height : 1)),
      old_(static_cast<HBITMAP>(SelectObject(mem_, bitmap_))),
      width_(width),
      height_(height) {}

CtlBuffer::~CtlBuffer() {
  SelectObject(mem_, old_);
  DeleteObject(bitmap_);
  DeleteDC(mem_);
}

void CtlBuffer::CopyTo(HDC target, int x, int y) const { BitBlt(target, x, y, width_, height_, mem_, 0, 0, SRCCOPY); }

void CtlBuffer::CopyPart(HDC target, const RECT& r) const {
  BitBlt(target, r.left, r.top, r.right - r.left, r.bottom - r.top, mem_, r.left, r.top, SRCCOPY);
}

void CtlFill(HDC dc, const RECT& r, COLORREF c) {
  const COLORREF old = SetBkColor(dc, c);
  ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
  SetBkColor(dc, old);
}

void CtlLine(HDC dc, int x0, int y0, int x1, int y1, COLORREF c) {
  HPEN pen = CreatePen(PS_SOLID, 1, c);
  HGDIOBJ old = SelectObject(dc, pen);
  MoveToEx(dc, x0, y0, nullptr);
  LineTo(dc, x1, y1);
  SelectObject(dc, old);
  DeleteObject(pen);
}

HFONT CtlFont(int n) {
  HFONT f = n >= 0 && n < kElemFontCount ? ElemModule().Fonts[n] : nullptr;
  return f ? f : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

int CtlAskValue(HWND wnd, const char* valueText) {
  char caption[128] = "";
  GetWindowTextA(wnd, caption, sizeof caption);
  ElemCopyString(ElemModule().ValueText, sizeof ElemModule().ValueText, valueText);
  return ElemDialogBoxParam(ElemInputDlgProc, "INPUT", wnd, reinterpret_cast<LPARAM>(caption)) == IDOK;
}

RECT RectInset(RECT r, int n) {
  r.left += n;
  r.top += n;
  r.right -= n;
  r.bottom -= n;
  return r;
}

// --- Label8, ColBox8, BmStatic8 -------------------------------------------------

namespace {

void DrawText8(HDC dc, HWND wnd, const RECT& r, HFONT font, COLORREF color, UINT align, int x, int y) {
  char text[513] = "";
  GetWindowTextA(wnd, text, sizeof text);
  HGDIOBJ old = SelectObject(dc, font);
  SetTextColor(dc, color);
  SetBkMode(dc, TRANSPARENT);
  SetTextAlign(dc, align);
  ExtTextOutA(dc, x, y, ETO_CLIPPED, &r, text, UINT(std::strlen(text)), nullptr);
  SelectObject(dc, old);
}

}  // namespace

LRESULT CALLBACK Label8Proc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CREATE:
      CtlAttach<Label8Data>(wnd, lParam);
      return 0;
    case WM_DESTROY:
      CtlDetach<Label8Data>(wnd);
      return 0;
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
      return SendMessageA(GetParent(wnd), msg, wParam, lParam);
    case WM_SETTEXT: {
      const LRESULT r = DefWindowProcA(wnd, msg, wParam, lParam);
      InvalidateRect(wnd, nullptr, FALSE);
      return r;
    }
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(wnd, &ps);
      if (Label8Data* d = CtlData<Label8Data>(wnd)) {
        RECT r;
        GetClientRect(wnd, &r);
        CtlFill(dc, r, d->Blocked ? 0xC0C0C0 : d->Background);
        DrawText8(dc, wnd, r, CtlFont(2), d->Blocked ? 0x808080 : d->Text, TA_CENTER | TA_TOP, r.right / 2, 0);
      }
      EndPaint(wnd, &ps);
      return 0;
    }
  }
  return DefWindowProcA(wnd, msg, wParam, lParam);
}

LRESULT CALLBACK ColBox8Proc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CREATE:
      // No module of this system makes the shared tooltip window: the
      // tooltip flag has nothing to register with.
      CtlAttach<ColBox8Data>(wnd, lParam);
      return 0;
    case WM_DESTROY:
      CtlDetach<ColBox8Data>(wnd);
      return 0;
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
      return SendMessageA(GetParent(wnd), msg, wParam, lParam);
    case WM_SETTEXT: {
      const LRESULT r = DefWindowProcA(wnd, msg, wParam, lParam);
      InvalidateRect(wnd, nullptr, FALSE);
      return r;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(wnd, &ps);
      if (ColBox8Data* d = CtlData<ColBox8Data>(wnd)) {
        RECT r;
        GetClientRect(wnd, &r);
        RECT left = r, right = r;
        left.right = right.left = r.right / 2;
        CtlFill(dc, left, d->Blocked ? d->BackgroundBlocked : d->LeftBackground);
        CtlFill(dc, right, d->Blocked ? d->BackgroundBlocked : d->RightBackground);
        if (d->FrameOn) ElemDrawFrame3D(dc, d->FrameLeft, d->FrameTop, d->FrameRight, d->FrameBottom, r);
        RECT clip = r;
        clip.right -= 2;
        DrawText8(dc, wnd, clip, CtlFont(5), d->Blocked ? d->TextBlocked : d->Text, TA_LEFT | TA_TOP, 2, 2);
      }
      EndPaint(wnd, &ps);
      return 0;
    }
  }
  return DefWindowProcA(wnd, msg, wParam, lParam);
}

LRESULT CALLBACK BmStatic8Proc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CREATE: {
      // The window name is 0xFF and a 16-bit bitmap resource number.
      const CREATESTRUCTA* cs = reinterpret_cast<CREATESTRUCTA*>(lParam);
      const unsigned char* name = reinterpret_cast<const unsigned char*>(cs->lpszName);
      if (IS_INTRESOURCE(cs->lpszName) || !name || name[0] != 0xFF) return -1;
      const WORD id = WORD(name[1] | name[2] << 8);
      HBITMAP bm = LoadBitmapA(ElemModule().Instance, MAKEINTRESOURCEA(id));
      if (!bm) return -1;
      SetWindowLongPtrA(wnd, 0, reinterpret_cast<LONG_PTR>(bm));
      return 0;
    }
    case WM_DESTROY:
      DeleteObject(reinterpret_cast<HBITMAP>(GetWindowLongPtrA(wnd, 0)));
      SetWindowLongPtrA(wnd, 0, 0);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(wnd, &ps);
      HBITMAP bm = reinterpret_cast<HBITMAP>(GetWindowLongPtrA(wnd, 0));
      BITMAP info{};
      if (bm && GetObjectA(bm, sizeof info, &info)) {
        HDC mem = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(mem, bm);
        BitBlt(dc, 0, 0, info.bmWidth, info.bmHeight, mem, 0, 0, SRCCOPY);
        SelectObject(mem, old);
        DeleteDC(mem);
      }
      EndPaint(wnd, &ps);
      return 0;
    }
  }
  return DefWindowProcA(wnd, msg, wParam, lParam);
}
