// BmButton8 (two bitmaps or icons) and HBmButton8 (an image list with a
// hover image). The owner sets their on state; they only report presses.
#include "elements/controls/win32/ctlwin.h"

#include <commctrl.h>

#include "elements/win32/elemwin.h"

namespace {

// The HBmButton8 button held down: 1 left, 2 right, 0 none (one pointer
// drag at a time for the class).
int g_hbmPressed = 0;

void Repaint(HWND wnd) {
  InvalidateRect(wnd, nullptr, FALSE);
  UpdateWindow(wnd);
}

void SetOn(uint32_t* flags, int state) {
  if (state == 2) *flags ^= kBmButtonOn;
  else *flags = (*flags & ~kBmButtonOn) | (uint32_t(state) & 1);
}

void PaintBmButton(HWND wnd, HDC dc, const BmButton8Data* d) {
  RECT r;
  GetClientRect(wnd, &r);
  CtlBuffer buf(dc, r.right, r.bottom);
  const bool on = d->Flags & kBmButtonOn;
  const char* name = on ? d->OnImage : d->OffImage;
  if (d->Flags & kBmButtonIcon) {
    CtlFill(buf.Dc(), r, d->Background);
    if (HICON icon = name ? LoadIconA(ElemModule().Instance, name) : nullptr) DrawIcon(buf.Dc(), 0, 0, icon);
  } else if (HBITMAP bm = name ? LoadBitmapA(ElemModule().Instance, name) : nullptr) {
    HDC mem = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(mem, bm);
    BitBlt(buf.Dc(), 0, 0, r.right, r.bottom, mem, 0, 0, SRCCOPY);
    SelectObject(mem, old);
    DeleteDC(mem);
    DeleteObject(bm);
  }
  if (d->Greyed) {
    for (int y = 0; y < r.bottom; ++y)
      for (int x = 0; x < r.right; ++x)
        if (GetPixel(buf.Dc(), x, y) == 0) SetPixel(buf.Dc(), x, y, 0x808080);
  }
  buf.CopyTo(dc);
}

void PaintHBmButton(HWND wnd, HDC dc, const HBmButton8Data* d) {
  RECT r;
  GetClientRect(wnd, &r);
  CtlBuffer buf(dc, r.right, r.bottom);
  if (d->ImageList) {
    const int row = d->Row + ((d->Flags & kHBmOn) && (d->Flags & kHBmOnRow) ? 1 : 0);
    const int col = (d->Flags & kHBmThird) ? 2 : (d->Flags & kHBmHover) ? 1 : 0;
    // The memory bitmap starts as the window shows now: the image is drawn
    // transparently over it.
    BitBlt(buf.Dc(), 0, 0, r.right, r.bottom, dc, 0, 0, SRCCOPY);
    ImageList_Draw(static_cast<HIMAGELIST>(d->ImageList), 3 * row + col, buf.Dc(), 0, 0, ILD_TRANSPARENT);
  }
  buf.CopyTo(dc);
}

HIMAGELIST MakeImageList(HWND wnd, const HBmButton8Data* d) {
  if (!d->Bitmap) return nullptr;
  RECT r;
  GetClientRect(wnd, &r);
  HIMAGELIST list = ImageList_Create(r.right, r.bottom, ILC_MASK | ILC_COLOR32, 24, 24);
  if (!list) return nullptr;
  HBITMAP bm = (d->Flags & kHBmFile)
                   ? static_cast<HBITMAP>(LoadImageA(nullptr, d->Bitmap, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE))
                   : LoadBitmapA(ElemModule().Instance, d->Bitmap);
  if (bm) {
    ImageList_AddMasked(list, bm, d->MaskColor);
    DeleteObject(bm);
  }
  return list;
}

}  // namespace

void BmButton8SetState(int state, BmButton8Data* d) {
  SetOn(&d->Flags, state);
  if (d->Wnd) Repaint(d->Wnd);
}

void HBmButton8SetState(int state, HBmButton8Data* d, int row) {
  SetOn(&d->Flags, state);
  if (row >= 0) d->Row = row;
  if (d->Wnd) Repaint(d->Wnd);
}

LRESULT CALLBACK BmButton8Proc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CREATE:
      CtlAttach<BmButton8Data>(wnd, lParam);
      return 0;
    case WM_DESTROY:
      CtlDetach<BmButton8Data>(wnd);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
      SetCapture(wnd);
      CtlNotify(wnd, msg == WM_LBUTTONDOWN ? WMU_CTL_LBUTTONDOWN : WMU_CTL_RBUTTONDOWN);
      return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
      ReleaseCapture();
      CtlNotify(wnd, msg == WM_LBUTTONUP ? WMU_CTL_LBUTTONUP : WMU_CTL_RBUTTONUP);
      return 0;
    case WM_CANCELMODE:
      ReleaseCapture();
      CtlNotify(wnd, WMU_CTL_LBUTTONUP);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(wnd, &ps);
      if (const BmButton8Data* d = CtlData<BmButton8Data>(wnd)) PaintBmButton(wnd, dc, d);
      EndPaint(wnd, &ps);
      return 0;
    }
  }
  return DefWindowProcA(wnd, msg, wParam, lParam);
}

LRESULT CALLBACK HBmButton8Proc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  HBmButton8Data* d = CtlData<HBmButton8Data>(wnd);
  switch (msg) {
    case WM_CREATE:
      d = CtlAttach<HBmButton8Data>(wnd, lParam);
      if (d) d->ImageList = MakeImageList(wnd, d);
      return 0;
    case WM_DESTROY:
      if (d && d->ImageList) ImageList_Destroy(static_cast<HIMAGELIST>(d->ImageList));
      if (d) d->ImageList = nullptr;
      CtlDetach<HBmButton8Data>(wnd);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
      SetCapture(wnd);
      g_hbmPressed = msg == WM_LBUTTONDOWN ? 1 : 2;
      CtlNotify(wnd, msg == WM_LBUTTONDOWN ? WMU_CTL_LBUTTONDOWN : WMU_CTL_RBUTTONDOWN);
      return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
      ReleaseCapture();
      g_hbmPressed = 0;
      CtlNotify(wnd, msg == WM_LBUTTONUP ? WMU_CTL_LBUTTONUP : WMU_CTL_RBUTTONUP);
      return 0;
    case WM_CANCELMODE:
      if (g_hbmPressed) {
        ReleaseCapture();
        const int pressed = g_hbmPressed;
        g_hbmPressed = 0;
        CtlNotify(wnd, pressed == 1 ? WMU_CTL_LBUTTONUP : WMU_CTL_RBUTTONUP);
      }
      return 0;
    case WM_MOUSEMOVE:
      if (d && !(d->Flags & kHBmHover)) {
        d->Flags |= kHBmHover;
        TRACKMOUSEEVENT tme{sizeof tme, TME_LEAVE, wnd, 0};
        TrackMouseEvent(&tme);
        Repaint(wnd);
      }
      return 0;
    case WM_MOUSELEAVE:
      if (d) d->Flags &= ~kHBmHover;
      Repaint(wnd);
      return 0;
    case WM_ERASEBKGND:
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(wnd, &ps);
      if (d) PaintHBmButton(wnd, dc, d);
      EndPaint(wnd, &ps);
      return 0;
    }
  }
  return DefWindowProcA(wnd, msg, wParam, lParam);
}
