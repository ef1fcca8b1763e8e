// The themed control set. The descriptor's address sits in the control's
// 4 bytes of window extra (pointer-sized in the 64-bit test build).
#include "mixer/shell/win32/controls.h"

#include <vssym32.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "mixer/model/util/strtab.h"
#include "mixer/model/util/strutil.h"
#include "mixer/model/win32/dialogs.h"
#include "mixer/model/win32/draw.h"
#include "mixer/model/win32/inputdlg.h"
#include "mixer/shell/knob.h"
#include "mixer/shell/win32/shell.h"
#include "mixer/shell/wndtable.h"

namespace {

// The program's shared text buffer of tooltips and field texts.
char sharedText[512];

template <typename T> T* Desc(HWND wnd) {
  return reinterpret_cast<T*>(GetWindowLongPtrA(wnd, 0));
}

template <typename T> T* KeepDesc(HWND wnd, LPARAM lParam) {
  auto* cs = reinterpret_cast<CREATESTRUCTA*>(lParam);
  auto* desc = static_cast<T*>(cs->lpCreateParams);
  SetWindowLongPtrA(wnd, 0, reinterpret_cast<LONG_PTR>(desc));
  if (desc) desc->wnd = wnd;
  return desc;
}

void Notify(HWND wnd, UINT msg) {
  SendMessageA(GetParent(wnd), msg, static_cast<WPARAM>(GetDlgCtrlID(wnd)),
               reinterpret_cast<LPARAM>(wnd));
}

void RepaintNow(HWND wnd) {
  InvalidateRect(wnd, nullptr, FALSE);
  UpdateWindow(wnd);
}

// Tooltips through the program's tooltip window, text by callback.
void ToolInfo(HWND wnd, TOOLINFOA* ti) {
  std::memset(ti, 0, sizeof *ti);
  ti->cbSize = TTTOOLINFOA_V2_SIZE;
  ti->uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  ti->hwnd = wnd;
  ti->uId = reinterpret_cast<UINT_PTR>(wnd);
  ti->lpszText = LPSTR_TEXTCALLBACKA;
}
void AddTooltip(HWND wnd, uint32_t id) {
  if (!id || !WndTable[kTooltipWnd]) return;
  TOOLINFOA ti;
  ToolInfo(wnd, &ti);
  SendMessageA(WndTable[kTooltipWnd], TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
}
void RemoveTooltip(HWND wnd, uint32_t id) {
  if (!id || !WndTable[kTooltipWnd]) return;
  TOOLINFOA ti;
  ToolInfo(wnd, &ti);
  SendMessageA(WndTable[kTooltipWnd], TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
}
// WM_NOTIFY of a control with a tooltip; true when it was the text request.
bool TooltipText(LPARAM lParam, uint32_t id) {
  auto* hdr = reinterpret_cast<NMHDR*>(lParam);
  if (hdr->code != TTN_GETDISPINFOA) return false;
  SendMessageA(hdr->hwndFrom, TTM_SETMAXTIPWIDTH, 0, 300);
  StrLoad(id, sharedText, sizeof sharedText);
  reinterpret_cast<NMTTDISPINFOA*>(lParam)->lpszText = sharedText;
  return true;
}

HTHEME OpenThemeIfActive(HWND wnd, const wchar_t* cls) {
  return IsThemeActive() ? OpenThemeData(wnd, cls) : nullptr;
}
void CloseTheme(HTHEME& theme) {
  if (theme) CloseThemeData(theme);
  theme = nullptr;
}

void TrackLeave(HWND wnd) {
  TRACKMOUSEEVENT tme = {sizeof tme, TME_LEAVE, wnd, 0};
  TrackMouseEvent(&tme);
}

// A 32-bit top-down memory bitmap of w x h selected into a memory DC.
struct MemCanvas {
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ old = nullptr;
  int w = 0, h = 0;
  MemCanvas(HDC ref, int width, int height) : w(width), h(height) {
    dc = CreateCompatibleDC(ref);
    void* bits = nullptr;
    bitmap = CreateDib32(ref, width, height, &bits);
    old = SelectObject(dc, bitmap);
  }
  ~MemCanvas() {
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
  void CopyTo(HDC target) const { BitBlt(target, 0, 0, w, h, dc, 0, 0, SRCCOPY); }
};

void Fill(HDC dc, const RECT& r, COLORREF colour) {
  HBRUSH brush = CreateSolidBrush(colour);
  FillRect(dc, &r, brush);
  DeleteObject(brush);
}

// ---- button classes: one capture flag for the family ----
enum class Held { None, Left, Right };
Held held = Held::None;

bool ButtonMouse(HWND wnd, UINT msg) {
  switch (msg) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
      SetCapture(wnd);
      held = msg == WM_LBUTTONDOWN ? Held::Left : Held::Right;
      Notify(wnd, msg == WM_LBUTTONDOWN ? WMU_CTL_LBUTTONDOWN : WMU_CTL_RBUTTONDOWN);
      return true;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_CANCELMODE: {
      if (msg == WM_CANCELMODE && held == Held::None) return false;
      bool left = msg == WM_CANCELMODE ? held == Held::Left : msg == WM_LBUTTONUP;
      held = Held::None;
      if (GetCapture() == wnd) ReleaseCapture();
      Notify(wnd, left ? WMU_CTL_LBUTTONUP : WMU_CTL_RBUTTONUP);
      return true;
    }
    default:
      return false;
  }
}

void PaintBmButton(HWND wnd, BmButton9Desc* d) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(wnd, &ps);
  RECT c;
  GetClientRect(wnd, &c);
  MemCanvas canvas(dc, c.right, c.bottom);
  uint32_t res = (d->state & 1) ? d->onRes : d->offRes;
  HINSTANCE instance = GetModuleHandleA(nullptr);
  if (d->state & 2) {
    Fill(canvas.dc, c, d->background);
    if (HICON icon = LoadIconA(instance, MAKEINTRESOURCEA(res))) DrawIcon(canvas.dc, 0, 0, icon);
  } else if (HBITMAP bm = LoadBitmapA(instance, MAKEINTRESOURCEA(res))) {
    HDC src = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(src, bm);
    BitBlt(canvas.dc, 0, 0, c.right, c.bottom, src, 0, 0, SRCCOPY);
    SelectObject(src, old);
    DeleteDC(src);
    DeleteObject(bm);
  }
  if (d->disabled) ReplaceBlackPixels(canvas.dc, canvas.bitmap, RGB(0x80, 0x80, 0x80));
  canvas.CopyTo(dc);
  EndPaint(wnd, &ps);
}

LRESULT CALLBACK BmButton9Proc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* d = Desc<BmButton9Desc>(wnd);
  switch (msg) {
    case WM_CREATE:
      d = KeepDesc<BmButton9Desc>(wnd, lParam);
      if (d) AddTooltip(wnd, d->tooltip);
      return d ? 0 : -1;
    case WM_DESTROY:
      if (d) RemoveTooltip(wnd, d->tooltip), d->wnd = nullptr;
      return 0;
    case WM_NOTIFY:
      if (d && TooltipText(lParam, d->tooltip)) return 0;
      break;
    case WM_PAINT:
      if (d) {
        PaintBmButton(wnd, d);
        return 0;
      }
      break;
    case WM_ERASEBKGND:
      return 1;
    default:
      if (ButtonMouse(wnd, msg)) return 0;
      break;
  }
  return DefWindowProcA(wnd, msg, wParam, lParam);
}

// ---- HBmButton9 ----
COLORREF scrollArrowColour = 0;
const wchar_t* kHbThemeClass[5] = {L"toolbar", L"button", L"scrollbar", nullptr, nullptr};

// The arrow colour of the scroll-bar theme: its down-arrow button drawn on
// a memory bitmap, read at the centre.
void ThemeArrowColor(HWND wnd) {
  HTHEME theme = OpenThemeIfActive(wnd, L"scrollbar");
  if (!theme) return;
  RECT c;
  GetClientRect(wnd, &c);
  HDC dc = GetDC(wnd);
  {
    MemCanvas canvas(dc, c.right > 0 ? c.right : 1, c.bottom > 0 ? c.bottom : 1);
    DrawThemeBackground(theme, canvas.dc, SBP_ARROWBTN, ABS_DOWNNORMAL, &c, nullptr);
    scrollArrowColour = GetPixel(canvas.dc, (c.left + c.right) / 2, (c.top + c.bottom) / 2);
  }
  ReleaseDC(wnd, dc);
  CloseThemeData(theme);
}

void HbOpenTheme(HWND wnd, HBmButton9Desc* d) {
  CloseTheme(d->theme);
  if (d->style <= kHbScrollBar) d->theme = OpenThemeIfActive(wnd, kHbThemeClass[d->style]);
  if (d->style == kHbScrollBar) ThemeArrowColor(wnd);
}

int HbCreate(HWND wnd, HBmButton9Desc* d) {
  RECT c;
  GetClientRect(wnd, &c);
  uint32_t res = d->bitmapRes + ((d->state & kHbXpBitmap) && Shell().sw.XpLook ? 1 : 0);
  d->images = ImageList_Create(c.right, c.bottom, ILC_COLOR32 | ILC_MASK, 3, 3);
  if (HBITMAP bm = LoadBitmapA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(res))) {
    ImageList_AddMasked(d->images, bm, d->mask);
    DeleteObject(bm);
  }
  HbOpenTheme(wnd, d);
  AddTooltip(wnd, d->tooltip);
  return 0;
}

int HbImageIndex(const HBmButton9Desc* d) {
  bool on = d->state & kHbOn;
  int group = static_cast<int>(d->baseGroup) + (on && (d->state & kHbOnNextGroup) ? 1 : 0);
  int variant = (d->state & kHbDisabled) ? 2 : ((d->state & kHbHot) ? 1 : 0);
  return 3 * group + variant;
}

int HbThemeState(const HBmButton9Desc* d) {
  bool on = d->state & kHbOn, hot = d->state & kHbHot, disabled = d->state & kHbDisabled;
  if (on) return d->style == kHbTool ? (hot && !disabled ? 6 : 5) : 3;
  return disabled ? 4 : (hot ? 2 : 1);
}

void HbDrawPlain(HWND wnd, HDC dc, const RECT& c, HBmButton9Desc* d) {
  bool on = d->state & kHbOn, hot = d->state & kHbHot;
  if (d->style != kHbPlain) {
    if (!on && !hot && d->style <= kHbButton) {
      SendMessageA(GetParent(wnd), WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    } else {
      Fill(dc, c, GetSysColor(on ? COLOR_BTNHIGHLIGHT : (hot ? COLOR_3DLIGHT : COLOR_BTNFACE)));
    }
  }
  int shift = on && d->style != kHbPlain ? 1 : 0;
  ImageList_Draw(d->images, HbImageIndex(d), dc, shift, shift, ILD_TRANSPARENT);
  if (d->style == kHbPlain) return;
  RECT e = c;
  if (d->style == kHbTool) {
    if (on) DrawEdge(dc, &e, BDR_SUNKENOUTER, BF_RECT);
    else if (hot && !(d->state & kHbDisabled)) DrawEdge(dc, &e, BDR_RAISEDINNER, BF_RECT);
  } else {
    DrawEdge(dc, &e, on ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
  }
}

void HbDrawThemed(HWND wnd, HDC dc, const RECT& c, HBmButton9Desc* d, HBITMAP bitmap) {
  int part = d->style == kHbScrollBar ? 2 : 1;
  int state = HbThemeState(d);
  RECT area = c;
  DrawThemeParentBackground(wnd, dc, &area);
  DrawThemeBackground(d->theme, dc, part, state, &area, nullptr);
  RECT r = c;
  if (d->state & kHbOn) OffsetRect(&r, 1, 1);
  DrawThemeIcon(d->theme, dc, part, state, &r, d->images, HbImageIndex(d));
  if (d->style == kHbScrollBar && !(d->state & kHbDisabled))
    ReplaceBlackPixels(dc, bitmap, scrollArrowColour);
}

void PaintHbButton(HWND wnd, HBmButton9Desc* d) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(wnd, &ps);
  RECT c;
  GetClientRect(wnd, &c);
  MemCanvas canvas(dc, c.right, c.bottom);
  if (d->theme && d->style != kHbPlain) HbDrawThemed(wnd, canvas.dc, c, d, canvas.bitmap);
  else HbDrawPlain(wnd, canvas.dc, c, d);
  canvas.CopyTo(dc);
  EndPaint(wnd, &ps);
}

LRESULT CALLBACK HBmButton9Proc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* d = Desc<HBmButton9Desc>(wnd);
  switch (msg) {
    case WM_CREATE:
      d = KeepDesc<HBmButton9Desc>(wnd, lParam);
      return d ? HbCreate(wnd, d) : -1;
    case WM_DESTROY:
      if (!d) break;
      RemoveTooltip(wnd, d->tooltip);
      CloseTheme(d->theme);
      if (d->images) ImageList_Destroy(d->images);
      d->images = nullptr;
      d->wnd = nullptr;
      return 0;
    case WM_NOTIFY:
      if (d && TooltipText(lParam, d->tooltip)) return 0;
      break;
    case WM_MOUSEMOVE:
      if (d && !(d->state & kHbHot)) {
        d->state |= kHbHot;
        TrackLeave(wnd);
        RepaintNow(wnd);
      }
      return 0;
    case WM_MOUSELEAVE:
      if (d) d->state &= ~kHbHot, RepaintNow(wnd);
      return 0;
    case WM_THEMECHANGED:
      if (d) HbOpenTheme(wnd, d);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      if (d) {
        PaintHbButton(wnd, d);
        return 0;
      }
      break;
    default:
      if (ButtonMouse(wnd, msg)) return 0;
      break;
  }
  return DefWindowProcA(wnd, msg, wParam, lParam);
}

// ---- BmStatic9: window text 0xFF and a 16-bit bitmap resource number ----
LRESULT CALLBACK BmStatic9Proc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CREATE: {
      auto* cs = reinterpret_cast<CREATESTRUCTA*>(lParam);
      const auto* text = reinterpret_cast<const unsigned char*>(cs->lpszName);
      if (!text || text[0] != 0xFF) return -1;
      SetWindowLongPtrA(wnd, 0, text[1] | (text[2] << 8));
      return 0;
    }
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(wnd, &ps);
      auto id = static_cast<WORD>(GetWindowLongPtrA(wnd, 0));
      if (HBITMAP bm = LoadBitmapA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id))) {
        BITMAP info;
        GetObjectA(bm, sizeof info, &info);
        HDC src = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(src, bm);
        BitBlt(dc, 0, 0, info.bmWidth, info.bmHeight, src, 0, 0, SRCCOPY);
        SelectObject(src, old);
        DeleteDC(src);
        DeleteObject(bm);
      }
      EndPaint(wnd, &ps);
      return 0;
    }
    default:
      break;
  }
  return DefWindowProcA(wnd, msg, wParam, lParam);
}

// ---- SelDat9 ----
HMENU FollowMenuPath(uint32_t path) {
  HWND main = WndTable[kMainWnd];
  HMENU menu = main ? GetMenu(main) : nullptr;
  if (!menu) return nullptr;
  menu = GetSubMenu(menu, static_cast<int>(path & 0xFF));
  if (!menu) return nullptr;
  menu = GetSubMenu(menu, static_cast<int>((path >> 8) & 0xFF));
  uint32_t third = (path >> 16) & 0xFF;
  if (menu && third) menu = GetSubMenu(menu, static_cast<int>(third - 1));
  return menu;
}

void SdOpenThemes(HWND wnd, SelDat9Desc* d) {
  CloseTheme(d->editTheme);
  CloseTheme(d->comboTheme);
  d->editTheme = OpenThemeIfActive(wnd, L"edit");
  d->comboTheme = OpenThemeIfActive(wnd, L"combobox");
}

// The field's text: prefix, the label of the chosen item, suffix.
void SdText(const SelDat9Desc* d) {
  char label[256] = {};
  sharedText[0] = 0;
  if (d->prefix) StrLoad(d->prefix, sharedText, sizeof sharedText);
  if (d->popup && GetMenuStringA(d->popup, d->value, label, sizeof label, MF_BYCOMMAND) > 0) {
    StrMenuLabel(label);
    strncat(sharedText, label, sizeof sharedText - std::strlen(sharedText) - 1);
  }
  if (d->suffix) {
    char suffix[256];
    StrLoad(d->suffix, suffix, sizeof suffix);
    strncat(sharedText, suffix, sizeof sharedText - std::strlen(sharedText) - 1);
  }
}

void SdDrawPlainButton(HDC dc, int w, int h, uint32_t state) {
  RECT b = {w - 16, 2, w - 2, h - 2};
  int cx = (b.left + b.right) / 2, cy = (b.top + b.bottom) / 2;
  auto raised = [&] {
    Draw3dFrame(dc, GetSysColor(COLOR_3DLIGHT), GetSysColor(COLOR_3DDKSHADOW), b.left, b.top,
                b.right - 1, b.bottom - 1);
    Draw3dFrame(dc, GetSysColor(COLOR_BTNHIGHLIGHT), GetSysColor(COLOR_BTNSHADOW), b.left + 1,
                b.top + 1, b.right - 2, b.bottom - 2);
  };
  if (state & kSdDisabled) {
    raised();
    DrawArrowDown(dc, RGB(255, 255, 255), cx, cy);
    DrawArrowDown(dc, RGB(0x80, 0x80, 0x80), cx - 1, cy - 1);
  } else if (state & kSdOpen) {
    Draw3dFrame(dc, GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNSHADOW), b.left, b.top,
                b.right - 1, b.bottom - 1);
    DrawArrowDown(dc, 0, cx, cy);
  } else {
    raised();
    DrawArrowDown(dc, 0, cx - 1, cy - 1);
  }
}

void PaintSelDat(HWND wnd, SelDat9Desc* d) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(wnd, &ps);
  RECT c;
  GetClientRect(wnd, &c);
  const int w = c.right, h = c.bottom;
  MemCanvas canvas(dc, w, h);
  const uint32_t s = d->state;
  if (d->editTheme && d->comboTheme) {
    DrawThemeParentBackground(wnd, canvas.dc, &c);
    DrawThemeBackground(d->editTheme, canvas.dc, 1,
                        (s & kSdDisabled) ? 4 : ((s & kSdHot) ? 2 : 1), &c, nullptr);
    RECT b = {c.right - 16, c.top + 1, c.right - 1, c.bottom - 1};
    int state = (s & kSdDisabled) ? 4 : ((s & kSdOpen) ? 3 : ((s & kSdHot) ? 2 : 1));
    DrawThemeBackground(d->comboTheme, canvas.dc, CP_DROPDOWNBUTTON, state, &b, nullptr);
  } else {
    Fill(canvas.dc, c, GetSysColor((s & kSdHot) ? COLOR_3DLIGHT : COLOR_BTNFACE));
    Draw3dFrame(canvas.dc, GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNHIGHLIGHT), 0, 0,
                w - 1, h - 1);
    Draw3dFrame(canvas.dc, GetSysColor(COLOR_3DDKSHADOW), GetSysColor(COLOR_3DLIGHT), 1, 1, w - 2,
                h - 2);
    SdDrawPlainButton(canvas.dc, w, h, s);
  }
  SdText(d);
  HGDIOBJ oldFont = SelectObject(canvas.dc, CreateAppFont(6));
  RECT clip = {2, 2, w - 16, h - 2};
  SetTextColor(canvas.dc, d->textColour);
  SetBkColor(canvas.dc, GetSysColor((s & kSdDisabled) ? COLOR_BTNFACE : COLOR_WINDOW));
  ExtTextOutA(canvas.dc, d->textX, d->textY, ETO_OPAQUE | ETO_CLIPPED, &clip, sharedText,
              static_cast<UINT>(std::strlen(sharedText)), nullptr);
  DeleteObject(SelectObject(canvas.dc, oldFont));
  canvas.CopyTo(dc);
  EndPaint(wnd, &ps);
}

void SdSetHot(HWND wnd, SelDat9Desc* d) {
  if (d->state & kSdHot) return;
  d->state |= kSdHot;
  TrackLeave(wnd);
  RepaintNow(wnd);
}

void SdClick(HWND wnd, SelDat9Desc* d) {
  if (d->state & kSdDisabled) return;
  SdSetHot(wnd, d);
  d->state |= kSdOpen;
  RepaintNow(wnd);
  if (!d->popup) return;
  RECT c;
  GetClientRect(wnd, &c);
  POINT p = {0, 0};
  ClientToScreen(wnd, &p);
  TrackPopupMenu(d->popup, 0, p.x, p.y + c.bottom, 0, wnd, nullptr);
}

LRESULT CALLBACK SelDat9Proc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* d = Desc<SelDat9Desc>(wnd);
  switch (msg) {
    case WM_CREATE:
      d = KeepDesc<SelDat9Desc>(wnd, lParam);
      if (!d) return -1;
      d->popup = FollowMenuPath(d->menuPath);
      SdOpenThemes(wnd, d);
      AddTooltip(wnd, d->tooltip);
      return 0;
    case WM_DESTROY:
      if (!d) break;
      d->wnd = nullptr;
      CloseTheme(d->editTheme);
      CloseTheme(d->comboTheme);
      RemoveTooltip(wnd, d->tooltip);
      return 0;
    case WM_NOTIFY:
      if (d && TooltipText(lParam, d->tooltip)) return 0;
      break;
    case WM_MOUSEMOVE:
      if (d) SdSetHot(wnd, d);
      return 0;
    case WM_MOUSELEAVE:
      if (!d) break;
      if (!(d->state & kSdHot)) d->state &= ~kSdOpen;
      d->state &= ~kSdHot;
      RepaintNow(wnd);
      return 0;
    case WM_LBUTTONDOWN:
      if (d) SdClick(wnd, d);
      return 0;
    case WM_COMMAND:
      if (!d) break;
      d->state &= ~kSdOpen;
      RepaintNow(wnd);
      if (WndTable[kMainWnd]) SendMessageA(WndTable[kMainWnd], WM_COMMAND, wParam, lParam);
      return 0;
    case WM_EXITMENULOOP:
      if (!d || !(d->state & kSdOpen)) break;
      d->state &= ~kSdOpen;
      RepaintNow(wnd);
      return 0;
    case WM_THEMECHANGED:
      if (d) SdOpenThemes(wnd, d);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      if (d) {
        PaintSelDat(wnd, d);
        return 0;
      }
      break;
    default:
      break;
  }
  return DefWindowProcA(wnd, msg, wParam, lParam);
}

// ---- EdBox9 ----
void PaintEdBox(HWND wnd, EdBox9Desc* d) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(wnd, &ps);
  RECT c;
  GetClientRect(wnd, &c);
  bool hot = (d->state & kEbHot) && !(d->state & kEbDisabled);
  if (!hot) {
    Fill(dc, c, GetSysColor(COLOR_BTNFACE));
  } else if (d->theme) {
    DrawThemeParentBackground(wnd, dc, &c);
    DrawThemeBackground(d->theme, dc, 1, 2, &c, nullptr);
  } else {
    Fill(dc, c, GetSysColor(COLOR_BTNHIGHLIGHT));
  }
  EndPaint(wnd, &ps);
  Ctl9DrawText(d);
}

void EdBoxClick(HWND wnd, EdBox9Desc* d) {
  if (d->state & kEbDisabled) return;
  d->state |= kEbHot | kEbEditing;
  SetInputText(d->text);
  char caption[256];
  StrLoad(d->caption, caption, sizeof caption);
  if (DoDialogParam(WndTable[kMainWnd], "INPUT", InputDlgProc, reinterpret_cast<LPARAM>(caption)) ==
      1)
    Notify(wnd, WMU_CTL_EDITDONE);
  d->state &= ~(kEbHot | kEbEditing);
  RepaintNow(wnd);
}

LRESULT CALLBACK EdBox9Proc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* d = Desc<EdBox9Desc>(wnd);
  switch (msg) {
    case WM_CREATE:
      d = KeepDesc<EdBox9Desc>(wnd, lParam);
      if (!d) return -1;
      GetClientRect(wnd, &d->textRect);
      InflateRect(&d->textRect, -2, -2);
      d->theme = OpenThemeIfActive(wnd, L"edit");
      AddTooltip(wnd, d->tooltip);
      return 0;
    case WM_DESTROY:
      if (!d) break;
      d->wnd = nullptr;
      CloseTheme(d->theme);
      RemoveTooltip(wnd, d->tooltip);
      return 0;
    case WM_NOTIFY:
      if (d && TooltipText(lParam, d->tooltip)) return 0;
      break;
    case WM_MOUSEMOVE:
      if (d && !(d->state & kEbHot)) {
        d->state |= kEbHot;
        TrackLeave(wnd);
        RepaintNow(wnd);
      }
      return 0;
    case WM_MOUSELEAVE:
      if (d && !(d->state & kEbEditing)) d->state &= ~kEbHot, RepaintNow(wnd);
      return 0;
    case WM_LBUTTONDOWN:
      if (d) EdBoxClick(wnd, d);
      return 0;
    case WM_THEMECHANGED:
      if (d) CloseTheme(d->theme), d->theme = OpenThemeIfActive(wnd, L"edit");
      return 0;
    case WM_PAINT:
      if (d) {
        PaintEdBox(wnd, d);
        return 0;
      }
      break;
    default:
      break;
  }
  return DefWindowProcA(wnd, msg, wParam, lParam);
}

// ---- rotary knobs: one capture flag for both classes ----
bool knobDragging = false;

void DrawKnobPointer(HDC dc, const RotPot9Desc* d, int cx, int cy) {
  double angle = KnobValueAngle(d->value, d->maximum, d->sweep) * 3.14159265358979323846 / 180.0;
  double r = (d->diameter - 2) / 2.0;
  HPEN pen = CreatePen(PS_SOLID, 1, d->disabled ? RGB(0x80, 0x80, 0x80) : RGB(0, 0, 0));
  HGDIOBJ old = SelectObject(dc, pen);
  MoveToEx(dc, cx, cy, nullptr);
  LineTo(dc, cx + static_cast<int>(std::lround(r * std::cos(angle))),
         cy + static_cast<int>(std::lround(r * std::sin(angle))));
  DeleteObject(SelectObject(dc, old));
}

bool AtDetent(const RotPot9Desc* d) {
  return d->value == 0 || d->value == d->maximum || d->value == d->maximum / 2;
}

void Circle(HDC dc, int l, int t, int r, int b, COLORREF outline, COLORREF fill) {
  HPEN pen = CreatePen(PS_SOLID, 1, outline);
  HBRUSH brush = CreateSolidBrush(fill);
  HGDIOBJ op = SelectObject(dc, pen), ob = SelectObject(dc, brush);
  Ellipse(dc, l, t, r, b);
  SelectObject(dc, op);
  SelectObject(dc, ob);
  DeleteObject(pen);
  DeleteObject(brush);
}

void PaintKnob(HWND wnd, RotPot9Desc* d, bool bitmapFaces) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(wnd, &ps);
  RECT c;
  GetClientRect(wnd, &c);
  MemCanvas canvas(dc, c.right, c.bottom);
  const COLORREF light = RGB(0xC0, 0xC0, 0xC0), grey = RGB(0x80, 0x80, 0x80);
  Fill(canvas.dc, c, light);
  const int dia = d->diameter, cx = dia / 2, cy = dia / 2;
  if (bitmapFaces && d->faceImages) {
    ImageList_Draw(d->faceImages, d->detentColours && AtDetent(d) ? 1 : 0, canvas.dc, 0, 0,
                   ILD_NORMAL);
  } else {
    if (d->crossLines) {
      DrawLine(canvas.dc, grey, 0, 0, c.right, c.bottom);
      DrawLine(canvas.dc, grey, c.right, 0, 0, c.bottom);
    }
    Circle(canvas.dc, 0, 0, dia, dia, d->disabled ? grey : RGB(0, 0, 0), grey);
    HPEN white = CreatePen(PS_SOLID, 1, RGB(255, 255, 255));
    HGDIOBJ old = SelectObject(canvas.dc, white);
    Arc(canvas.dc, 1, 1, dia - 1, dia - 1, dia, 0, 0, dia);  // upper-left light edge
    DeleteObject(SelectObject(canvas.dc, old));
    COLORREF face = d->detentColours && AtDetent(d) ? RGB(255, 255, 255) : light;
    Circle(canvas.dc, 2, 2, dia - 2, dia - 2, light, face);
  }
  DrawKnobPointer(canvas.dc, d, cx, cy);
  canvas.CopyTo(dc);
  EndPaint(wnd, &ps);
}

void KnobDrag(HWND wnd, RotPot9Desc* d, LPARAM lParam) {
  int x = static_cast<short>(LOWORD(lParam)), y = static_cast<short>(HIWORD(lParam));
  int32_t v = KnobValueAt(x - d->diameter / 2, y - d->diameter / 2, d->sweep, d->maximum);
  if (v == d->value) return;
  d->value = v;
  RepaintNow(wnd);
  Notify(wnd, WMU_CTL_POTMOVE);
}

void KnobEndDrag(HWND wnd) {
  if (!knobDragging) return;
  knobDragging = false;
  if (GetCapture() == wnd) ReleaseCapture();
  Notify(wnd, WMU_CTL_POTDONE);
}

void KnobTypedEntry(HWND wnd, RotPot9Desc* d) {
  char caption[256];
  if (GetWindowTextA(wnd, caption, sizeof caption) <= 0) return;
  KnobEndDrag(wnd);
  char text[32];
  std::snprintf(text, sizeof text, "%d", d->value - d->maximum / 2);
  SetInputText(text);
  if (DoDialogParam(WndTable[kMainWnd], "INPUT", InputDlgProc,
                    reinterpret_cast<LPARAM>(caption)) != 1)
    return;
  d->value = KnobValueFromEntry(std::atoi(InputText()), d->maximum);
  RepaintNow(wnd);
  Notify(wnd, WMU_CTL_POTMOVE);
  Notify(wnd, WMU_CTL_POTDONE);
}

LRESULT KnobProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam, bool bitmapFaces) {
  auto* d = Desc<RotPot9Desc>(wnd);
  switch (msg) {
    case WM_CREATE:
      d = KeepDesc<RotPot9Desc>(wnd, lParam);
      if (!d) return -1;
      if (bitmapFaces && d->faces) {
        d->faceImages = ImageList_LoadImageA(GetModuleHandleA(nullptr), d->faces, d->diameter, 2,
                                             CLR_NONE, IMAGE_BITMAP, LR_CREATEDIBSECTION);
      }
      return 0;
    case WM_DESTROY:
      if (!d) break;
      if (d->faceImages) ImageList_Destroy(d->faceImages);
      d->faceImages = nullptr;
      d->wnd = nullptr;
      return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
      SetCapture(wnd);
      knobDragging = true;
      return 0;
    case WM_MOUSEMOVE:
      if (d && knobDragging && GetCapture() == wnd) KnobDrag(wnd, d, lParam);
      return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_CANCELMODE:
      KnobEndDrag(wnd);
      return 0;
    case WM_LBUTTONDBLCLK:
      if (d) KnobTypedEntry(wnd, d);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      if (d) {
        PaintKnob(wnd, d, bitmapFaces);
        return 0;
      }
      break;
    default:
      break;
  }
  return DefWindowProcA(wnd, msg, wParam, lParam);
}

LRESULT CALLBACK RotPot9Proc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return KnobProc(wnd, msg, wParam, lParam, false);
}
LRESULT CALLBACK BRotPot9Proc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return KnobProc(wnd, msg, wParam, lParam, true);
}

void Register(HINSTANCE instance, const char* name, WNDPROC proc, UINT style) {
  WNDCLASSA wc = {};
  wc.style = style;
  wc.lpfnWndProc = proc;
  wc.cbWndExtra = sizeof(LONG_PTR);
  wc.hInstance = instance;
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.lpszClassName = name;
  RegisterClassA(&wc);
}

}  // namespace

void RegisterCtl9Classes(HINSTANCE instance) {
  Register(instance, kBmStatic9Class, BmStatic9Proc, 0);
  Register(instance, kBmButton9Class, BmButton9Proc, 0);
  Register(instance, kHBmButton9Class, HBmButton9Proc, 0);
  Register(instance, kSelDat9Class, SelDat9Proc, 0);
  Register(instance, kEdBox9Class, EdBox9Proc, 0);
  Register(instance, kRotPot9Class, RotPot9Proc, CS_DBLCLKS);
  Register(instance, kBRotPot9Class, BRotPot9Proc, CS_DBLCLKS);
}

void Ctl9SetState(int state, SelDat9Desc* desc) {
  if (state == 2) desc->state ^= 1u;
  else desc->state = (desc->state & ~1u) | (state ? 1u : 0u);
  if (desc->wnd) RepaintNow(desc->wnd);
}

void Ctl9SetState(int state, SelDat9Desc* desc, int32_t value) {
  if (value >= 0) desc->value = static_cast<uint32_t>(value);
  Ctl9SetState(state, desc);
}

void Ctl9DrawText(EdBox9Desc* d) {
  if (!d->wnd) return;
  HDC dc = GetDC(d->wnd);
  bool hot = (d->state & kEbHot) && !(d->state & kEbDisabled);
  SetBkColor(dc, GetSysColor(hot ? COLOR_BTNHIGHLIGHT : COLOR_BTNFACE));
  SetTextColor(dc, (d->state & kEbGrey) ? RGB(0x80, 0x80, 0x80) : RGB(0, 0, 0));
  ExtTextOutA(dc, 3, d->textRect.top, ETO_OPAQUE | ETO_CLIPPED, &d->textRect, d->text,
              static_cast<UINT>(strnlen(d->text, sizeof d->text)), nullptr);
  ReleaseDC(d->wnd, dc);
}

void ReplaceBlackPixels(HDC dc, HBITMAP bitmap, COLORREF colour) {
  DIBSECTION ds;
  if (GetObjectA(bitmap, sizeof ds, &ds) != sizeof ds || ds.dsBm.bmBitsPixel != 32) return;
  GdiFlush();
  const uint32_t bgr = GetRValue(colour) << 16 | GetGValue(colour) << 8 | GetBValue(colour);
  auto* row = static_cast<uint8_t*>(ds.dsBm.bmBits);
  for (int y = 0; y < ds.dsBm.bmHeight; ++y, row += ds.dsBm.bmWidthBytes) {
    auto* px = reinterpret_cast<uint32_t*>(row);
    for (int x = 0; x < ds.dsBm.bmWidth; ++x)
      if ((px[x] & 0xFFFFFF) == 0) px[x] = bgr;
  }
}
