#include "elements/HRLCD/win32/elemclass.h"

namespace hrlcd {

const char kWndClass[] = "5B5ADF4522B84f739D318BD0AB8D1F7D_WC";

LRESULT CElemWnd::WndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    Wnd = wnd;
    OnCreate();
  } else if (msg == WM_DESTROY) {
    OnDestroy();
  }
  return DefWindowProcA(wnd, msg, wParam, lParam);
}

namespace {

LRESULT CALLBACK Dispatch(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* o = reinterpret_cast<CElemWnd*>(GetWindowLongPtrA(wnd, 0));
  return o ? o->WndProc(wnd, msg, wParam, lParam) : DefWindowProcA(wnd, msg, wParam, lParam);
}

// Until WM_NCCREATE nothing is known of the window; there its object comes
// from the creation parameter and takes over every later message.
LRESULT CALLBACK ClassProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg != WM_NCCREATE) return DefWindowProcA(wnd, msg, wParam, lParam);
  auto* o = static_cast<CElemWnd*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
  SetWindowLongPtrA(wnd, 0, reinterpret_cast<LONG_PTR>(o));
  SetWindowLongPtrA(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Dispatch));
  return o ? o->WndProc(wnd, msg, wParam, lParam) : DefWindowProcA(wnd, msg, wParam, lParam);
}

bool IsMouseMessage(UINT msg) {
  return (msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST) || msg == WM_CAPTURECHANGED;
}

}  // namespace

bool RegisterElemClass(HINSTANCE instance, bool on) {
  if (!on) return UnregisterClassA(kWndClass, instance) != 0;
  WNDCLASSA wc{};
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = ClassProc;
  wc.cbWndExtra = sizeof(LONG_PTR);  // the window object
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.lpszClassName = kWndClass;
  return RegisterClassA(&wc) != 0;
}

CEdit*& Captor() {
  static CEdit* captor = nullptr;
  return captor;
}

bool RouteToCaptor(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  CEdit* c = Captor();
  if (!c || !IsMouseMessage(msg)) return false;
  if (msg != WM_CAPTURECHANGED && GetCapture() != wnd) return false;
  c->OnMouse(msg, wParam, short(LOWORD(lParam)), short(HIWORD(lParam)));
  return true;
}

CSelEditButton::~CSelEditButton() { Detach(); }

void CSelEditButton::Attach(HWND owner, int x, int y, int w, int h, bool latch, HBITMAP image) {
  Detach();
  Owner = owner;
  Box = RECT{x, y, x + w, y + h};
  Latch = latch;
  Image = image;
  Hover = Pressed = Tracking = false;
}

void CSelEditButton::Detach() {
  if (Tracking && Captor() == this) Captor() = nullptr;
  Tracking = false;
  if (Image) DeleteObject(Image);
  Image = nullptr;
  Owner = nullptr;
}

void CSelEditButton::Repaint() {
  if (Owner) InvalidateRect(Owner, &Box, FALSE);
}

void CSelEditButton::SetState(int state) {
  if (state == State) return;
  State = state;
  Repaint();
}

void CSelEditButton::DrawCell(HDC dc, int cell) {
  if (!Image) return;
  HDC mem = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(mem, Image);
  const int w = Box.right - Box.left;
  BitBlt(dc, Box.left, Box.top, w, Box.bottom - Box.top, mem, cell * w, 0, SRCCOPY);
  SelectObject(mem, old);
  DeleteDC(mem);
}

void CSelEditButton::Draw(HDC dc) { DrawCell(dc, 3 * State + (Hover ? 1 : 0)); }

CSelection* CSelEditButton::HitTest(int x, int y) {
  const POINT p{x, y};
  if (!Owner || !PtInRect(&Box, p)) return nullptr;
  Hover = true;
  return this;
}

void CSelEditButton::Leave() {
  Hover = false;
  Repaint();
}

void CSelEditButton::OnMouseDown(UINT msg, WPARAM wParam, int, int) {
  if (msg != WM_LBUTTONDOWN && msg != WM_LBUTTONDBLCLK) return;
  if ((wParam & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)) != MK_LBUTTON || GetKeyState(VK_MENU) < 0) return;
  if (Latch) {
    State ^= 1;
    Repaint();
    if (OnReport) OnReport(Context, this, State);
    return;
  }
  Pressed = Tracking = true;
  Captor() = this;
  SetCapture(Owner);
  Repaint();
}

void CSelEditButton::OnMouse(UINT msg, WPARAM, int x, int y) {
  if (!Tracking) return;
  const POINT p{x, y};
  const bool inside = PtInRect(&Box, p) != 0;
  if (msg == WM_MOUSEMOVE) {
    if (inside != Pressed) {
      Pressed = inside;
      Repaint();
    }
  } else if (msg == WM_LBUTTONUP || msg == WM_CAPTURECHANGED) {
    Tracking = Pressed = false;
    Captor() = nullptr;
    Repaint();
    if (msg == WM_LBUTTONUP) {
      ReleaseCapture();
      if (inside && OnReport) OnReport(Context, this, 1);
    }
  }
}

void CLButton::Draw(HDC dc) { DrawCell(dc, 3 * State + (Blocked ? 2 : Hover ? 1 : 0)); }

void CTopButton::Draw(HDC dc) {
  const int shown = Latch ? State : (Pressed ? 1 : 0);
  DrawCell(dc, 3 * shown + (Hover ? 1 : 0));
}

void HoverTrack::Point(HWND wnd, CSelection* hit) {
  if (hit != Hot) {
    if (Hot) {
      Hot->Invalidate();
      Hot->Leave();
    }
    Hot = hit;
    if (hit) hit->Invalidate();
  }
  if (!LeaveAsked) {
    TRACKMOUSEEVENT t{sizeof t, TME_LEAVE, wnd, 0};
    LeaveAsked = TrackMouseEvent(&t) != 0;
  }
}

void HoverTrack::Lost() {
  LeaveAsked = false;
  if (Hot) {
    Hot->Invalidate();
    Hot->Leave();
  }
  Hot = nullptr;
}

HBITMAP LoadButtonImage(HINSTANCE instance, const char* file, int resource) {
  HBITMAP bm = nullptr;
  if (file && *file) bm = static_cast<HBITMAP>(LoadImageA(nullptr, file, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
  return bm ? bm : LoadBitmapA(instance, MAKEINTRESOURCEA(resource));
}

}  // namespace hrlcd
