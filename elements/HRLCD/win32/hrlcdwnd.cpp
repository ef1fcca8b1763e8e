// HRLCD.dll: library entry, the module's one window class, the little
// window (bypass button, reduction bars, clip lamp) and the big window
// (header buttons, film-strip knobs, switches, lamps and meters).
#include <windows.h>
#include <commdlg.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "elements/HRLCD/hrlcdapi.h"
#include "elements/win32/elemwin.h"

namespace hrlcd {
namespace {

constexpr char kClass[] = "5B5ADF4522B84f739D318BD0AB8D1F7D_WC";
constexpr int kBigW = 689, kBigH = 236, kBody = 31;
constexpr double kPi = 3.14159265358979323846;

HINSTANCE g_instance = nullptr;

enum Kind : LONG_PTR { kLittle = 1, kBig = 2 };

struct KnobPlace {
  int Strip, Cx, Cy, Ix, Iy, Tx, Ty;
};
constexpr KnobPlace kKnobPlaces[kKnobs] = {
    {300, 80, 129, 51, 99, 50, 92},   {300, 151, 129, 122, 99, 121, 92}, {300, 207, 80, 178, 50, 177, 43},
    {300, 260, 129, 231, 99, 230, 92}, {200, 383, 130, 354, 100, 353, 93}, {200, 436, 80, 407, 50, 406, 43},
    {200, 493, 129, 464, 99, 463, 92}, {200, 545, 80, 516, 50, 515, 43}, {300, 612, 129, 583, 99, 582, 92}};
struct SwitchPlace {
  int X, Y, Image, Lx, Ly, Lamp;
};
constexpr SwitchPlace kSwitchPlaces[kSwitches] = {{305, 48, 142, 312, 69, 140}, {134, 48, 144, 141, 69, 141},
                                                  {190, 126, 146, 197, 148, 140}, {419, 127, 148, 425, 149, 139},
                                                  {529, 127, 146, 536, 149, 140}, {64, 48, 150, 70, 69, 141},
                                                  {596, 48, 152, 602, 69, 141}};
constexpr int32_t kLevelSteps[5] = {265271, 529285, 1056063, 2107123, 4204263};
constexpr int32_t kReductionSteps[5] = {-2969340, -2102132, -1326355, -836874, -419430};
const char* const kTopText[5] = {"L", "S", "ST", "RC", "BY"};
constexpr int kTopX[5] = {5, 34, 596, 624, 661};

// The knob being dragged in the big window, -1 none.
int g_drag = -1;
double g_dragAngle = 0;

uint32_t Col(int slot) { return ElemModule().Skin.Colors[slot]; }

void Blit(HDC dc, int id, int x, int y, int w, int h, int srcX = 0) {
  HBITMAP bm = LoadBitmapA(g_instance, MAKEINTRESOURCEA(id));
  if (!bm) return;
  HDC mem = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(mem, bm);
  BitBlt(dc, x, y, w, h, mem, srcX, 0, SRCCOPY);
  SelectObject(mem, old);
  DeleteDC(mem);
  DeleteObject(bm);
}

void Text(HDC dc, int x, int y, const char* t, COLORREF c) {
  SetTextColor(dc, c);
  TextOutA(dc, x, y, t, int(std::strlen(t)));
}

bool SwitchIsOn(const Element* e, int sw) {
  ELEMKNOBVALUE kv{uint32_t(kKnobs + sw), 0};
  Get(const_cast<Element*>(e), kGetKnob, &kv);
  return kv.Value != 0;
}

// Value text of a knob: raw value with its decimals, a blank and the unit.
void ValueText(const Element* e, int k, char* out, int size) {
  if (k == 3 && e->St.Knob[3] == 1000) {
    std::snprintf(out, size_t(size), "Infinite");
    return;
  }
  char t[64];
  KnobText(e, uint32_t(k), t);
  const char* unit = kKnobTable[k].Unit;
  const size_t n = std::strlen(t) - std::strlen(unit);
  std::snprintf(out, size_t(size), "%.*s%s%s", int(n), t, *unit ? " " : "", unit);
}

void PaintLittle(HWND wnd, HDC dc, Element* e) {
  RECT r;
  GetClientRect(wnd, &r);
  {
    HBRUSH b = CreateSolidBrush(Col(kCol_LittleWindow_Background));
    FillRect(dc, &r, b);
    DeleteObject(b);
  }
  DrawLittleWindowBorder(dc, r);
  HGDIOBJ old = SelectObject(dc, ElemModule().Fonts[1]);
  SetBkMode(dc, TRANSPARENT);
  Text(dc, 4, 3, "GAINMOOR", Col(e->Blocked ? kCol_Title_Text_Blocked : kCol_Title_Text));
  // Two reduction bars, lit from the left, and the clip lamp.
  const int32_t values[2] = {-e->CompGain, -e->GateGain};
  for (int m = 0; m < 2; ++m)
    for (int i = 0; i < 5; ++i) {
      RECT cell{4 + 6 * i, 18 + 7 * m, 9 + 6 * i, 23 + 7 * m};
      const bool lit = values[m] >= kReductionSteps[i];
      HBRUSH b = CreateSolidBrush(lit ? (m ? RGB(60, 255, 60) : RGB(255, 200, 40)) : RGB(40, 40, 40));
      FillRect(dc, &cell, b);
      DeleteObject(b);
    }
  RECT lamp{r.right - 12, 20, r.right - 5, 27};
  HBRUSH lb = CreateSolidBrush(e->InClip || e->OutClip ? RGB(255, 40, 40) : RGB(60, 20, 20));
  FillRect(dc, &lamp, lb);
  DeleteObject(lb);
  // Bypass button at (width - 19, 3): lit while processing.
  RECT btn{r.right - 19, 3, r.right - 3, 17};
  const bool bypassed = e->St.Flags & kFlagBypassed;
  HBRUSH bb = CreateSolidBrush(bypassed ? RGB(255, 200, 0) : RGB(192, 192, 192));
  FillRect(dc, &btn, bb);
  DeleteObject(bb);
  ElemDrawFrame3D(dc, RGB(255, 255, 255), RGB(255, 255, 255), RGB(64, 64, 64), RGB(64, 64, 64), btn);
  Text(dc, btn.left + 5, 4, "B", RGB(0, 0, 0));
  SelectObject(dc, old);
}

void PaintBig(HWND wnd, HDC dc, Element* e) {
  RECT r{0, 0, kBigW, kBigH};
  HBRUSH bg = CreateSolidBrush(Col(kCol_BigWindow_Background));
  FillRect(dc, &r, bg);
  DeleteObject(bg);
  // Header: file name, top buttons, lines.
  RECT head{65, 5, kBigW - 101, 23};
  HBRUSH hb = CreateSolidBrush(Col(kCol_BigWindow_Header_Background));
  FillRect(dc, &head, hb);
  DeleteObject(hb);
  ElemDrawFrame3D(dc, Col(kCol_BigWindow_Header_Border_InnerLeft), Col(kCol_BigWindow_Header_Border_InnerTop),
                  Col(kCol_BigWindow_Header_Border_InnerRight), Col(kCol_BigWindow_Header_Border_InnerBottom),
                  RECT{64, 4, kBigW - 100, 24});
  const char* path = e->St.PresetPath;
  const char* file = std::strrchr(path, '\\');
  file = file ? file + 1 : path;
  HGDIOBJ old = SelectObject(dc, ElemModule().Fonts[4]);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, Col(kCol_BigWindow_Header_Text));
  RECT tr = head;
  tr.left += 3;
  DrawTextA(dc, file, -1, &tr, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_PATH_ELLIPSIS);
  for (int i = 0; i < 5; ++i) {
    RECT b{kTopX[i], 3, kTopX[i] + 23, 25};
    const bool on = (i == 3 && e->Compare) || (i == 4 && (e->St.Flags & kFlagBypassed));
    HBRUSH fb = CreateSolidBrush(on ? RGB(255, 200, 0) : RGB(200, 200, 200));
    FillRect(dc, &b, fb);
    DeleteObject(fb);
    ElemDrawFrame3D(dc, RGB(255, 255, 255), RGB(255, 255, 255), RGB(64, 64, 64), RGB(64, 64, 64), b);
    Text(dc, b.left + 4, 7, kTopText[i], RGB(0, 0, 0));
  }
  HPEN bar = CreatePen(PS_SOLID, 1, Col(kCol_BigWindow_Header_Upper_Line));
  HGDIOBJ op = SelectObject(dc, bar);
  MoveToEx(dc, kBigW - 35, 1, nullptr);
  LineTo(dc, kBigW - 35, 27);
  MoveToEx(dc, 0, 29, nullptr);
  LineTo(dc, kBigW, 29);
  SelectObject(dc, op);
  DeleteObject(bar);
  // Body picture, knobs and their values.
  Blit(dc, 100, 0, kBody, kBigW, kBigH - kBody);
  SelectObject(dc, ElemModule().Fonts[1]);
  for (int k = 0; k < kKnobs; ++k) {
    const KnobPlace& p = kKnobPlaces[k];
    const double a = KnobAngle(k, e->St.Knob[k]) * kPi / 180;  // clockwise from 3 o'clock
    int frame = int(std::floor(std::fmod(a, 2 * kPi) * 36 / kPi + 0.5)) % 72;
    if (frame < 0) frame += 72;
    Blit(dc, p.Strip, p.Ix, kBody + p.Iy, 60, 62, frame * 60);
    char t[32];
    ValueText(e, k, t, sizeof t);
    RECT box{p.Tx, kBody + p.Ty, p.Tx + 60, kBody + p.Ty + 11};
    SetTextColor(dc, RGB(230, 230, 230));
    DrawTextA(dc, t, -1, &box, DT_CENTER | DT_SINGLELINE | DT_NOPREFIX);
  }
  for (int sw = 0; sw < int(SwitchCount(e->Type)); ++sw) {
    const SwitchPlace& p = kSwitchPlaces[sw];
    const bool on = SwitchIsOn(e, sw);
    Blit(dc, p.Image + (on ? 1 : 0), p.X - 2, kBody + p.Y - 1, 40, 23);
    if (on) Blit(dc, p.Lamp, p.Lx, kBody + p.Ly, 20, 20);
  }
  // Meters and clip lamps.
  const int32_t values[4] = {e->InPeak, e->OutPeak, -e->CompGain, -e->GateGain};
  const int xs[4] = {6, 645, 294, 329};
  for (int m = 0; m < 4; ++m)
    for (int i = 0; i < 5; ++i) {
      const int32_t step = m < 2 ? kLevelSteps[i] : kReductionSteps[i];
      if (values[m] < step) continue;
      const int lamp = m == 3 ? 139 : m < 2 ? (i < 3 ? 139 : 140) : (i < 3 ? 140 : 141);
      Blit(dc, lamp, xs[m], kBody + 149 - 16 * i, 20, 20);
    }
  if (e->InClip) Blit(dc, 141, 6, kBody + 69, 20, 20);
  if (e->OutClip) Blit(dc, 141, 645, kBody + 69, 20, 20);
  SelectObject(dc, old);
}

bool OpenBig(Element* e) {
  if (e->Big) return false;
  if (!e->Little) return false;
  HDC dc = GetDC(e->Little);
  if (!dc) return false;
  const int bits = GetDeviceCaps(dc, BITSPIXEL) * GetDeviceCaps(dc, PLANES);
  ReleaseDC(e->Little, dc);
  if (bits < 24) {
    MessageBoxA(e->Little, "Requires at least 24-bits per pixel color quality", "Cannot open big window",
                MB_ICONERROR);
    return false;
  }
  const ElemModuleGlobals& m = ElemModule();
  HWND big = CreateWindowExA(0, kClass, "", WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_DLGFRAME | WS_VISIBLE,
                             e->St.BigX, e->St.BigY, kBigW + 2 * m.FrameWidth,
                             kBigH + m.CaptionHeight + 2 * m.FrameWidth, e->Little, nullptr, g_instance,
                             reinterpret_cast<LPVOID>(e));
  if (!big) return false;
  char caption[96];
  std::snprintf(caption, sizeof caption, "HRL Gainmoor (Column %d, Element %d)", e->Column + 1, e->Index + 1);
  SetWindowTextA(big, caption);
  return true;
}

int KnobAt(int x, int y) {
  for (int k = 0; k < kKnobs; ++k) {
    const int dx = x - kKnobPlaces[k].Cx, dy = y - kBody - kKnobPlaces[k].Cy;
    if (dx * dx + dy * dy <= 400) return k;
  }
  return -1;
}

int SwitchAt(const Element* e, int x, int y) {
  for (int sw = 0; sw < int(SwitchCount(e->Type)); ++sw) {
    const SwitchPlace& p = kSwitchPlaces[sw];
    if (x >= p.X && x < p.X + 32 && y >= kBody + p.Y && y < kBody + p.Y + 14) return sw;
  }
  return -1;
}

// Angle of a point round a knob's centre, degrees clockwise from 3 o'clock
// on the knob's 120..420 scale.
double PointAngle(int k, int x, int y) {
  double a = std::atan2(double(y - kBody - kKnobPlaces[k].Cy), double(x - kKnobPlaces[k].Cx)) * 180 / kPi;
  if (a < 0) a += 360;
  if (a < 90) a += 360;  // 0..60 lies past 12 o'clock, at 360..420
  return a;
}

void NumericEntry(HWND wnd, Element* e, int k) {
  ElemModuleGlobals& m = ElemModule();
  char t[32];
  KnobText(e, uint32_t(k), t);
  t[std::strlen(t) - std::strlen(kKnobTable[k].Unit)] = 0;
  std::snprintf(m.ValueText, sizeof m.ValueText, "%s", t);
  if (ElemDialogBoxParam(ElemInputDlgProc, "INPUT", wnd, reinterpret_cast<LPARAM>("Numerical Entry")) != IDOK) return;
  int32_t raw = 0;
  if (ParseEntry(k, m.ValueText, &raw)) {
    EditKnob(e, k, raw);
    UiRefresh(e);
    return;
  }
  char msg[160];
  const int d = KnobDecimals(k);
  const double div = d == 1 ? 10.0 : 100.0;
  std::snprintf(msg, sizeof msg, "The entered value is invalid or out of range.\r\nValid range: %.*f ~ %.*f", d,
                kKnobTable[k].RawMin / div, d, kKnobTable[k].RawMax / div);
  MessageBoxA(wnd, msg, "Numerical Entry", MB_ICONWARNING);
}

void ClipMenu(HWND wnd, Element* e, int x, int y) {
  HMENU menu = CreatePopupMenu();
  AppendMenuA(menu, MF_STRING, 1, "Reset Clips");
  AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(menu, MF_STRING | (e->HoldMs == 1000 ? MF_CHECKED : 0), 2, "Clips Hold 1 sec");
  AppendMenuA(menu, MF_STRING | (e->HoldMs == 6000 ? MF_CHECKED : 0), 3, "Clips Hold 6 sec");
  AppendMenuA(menu, MF_STRING | (e->HoldMs < 0 ? MF_CHECKED : 0), 4, "Clips Hold Infinite");
  POINT pt{x, y};
  ClientToScreen(wnd, &pt);
  const int cmd = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, pt.x, pt.y, 0, wnd, nullptr);
  DestroyMenu(menu);
  if (cmd == 1) ResetClips(e);
  if (cmd >= 2) SetClipHold(e, cmd == 2 ? 1000 : cmd == 3 ? 6000 : -1);
  UiRefresh(e);
}

// The header's Load and Save buttons: the preset file through the file
// dialogs; every error in one warning box.
void PresetLoad(HWND wnd, Element* e) {
  char path[kPathSize] = "";
  if (!FileDialog(1, OFN_FILEMUSTEXIST, 0, path, sizeof path, 1, 2, wnd)) return;
  HANDLE f = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  uint8_t bytes[kPresetSize + 1];
  DWORD got = 0;
  State s{};
  const bool opened = f != INVALID_HANDLE_VALUE;
  const bool ok = opened && ReadFile(f, bytes, sizeof bytes, &got, nullptr) && PresetParse(bytes, got, &s);
  if (opened) CloseHandle(f);
  if (!ok) {
    ElemMessageBox(wnd, opened ? 81 : 80, MB_ICONWARNING);
    char* name = std::strrchr(e->St.PresetPath, '\\');
    name = name ? name + 1 : e->St.PresetPath;
    std::snprintf(name, size_t(e->St.PresetPath + kPathSize - name), "(untitled)");
    UiRefresh(e);
    return;
  }
  std::snprintf(s.PresetPath, kPathSize, "%s", path);
  s.BigX = e->St.BigX;
  s.BigY = e->St.BigY;
  s.Flags = (s.Flags & ~kFlagBigOpen) | (e->St.Flags & kFlagBigOpen);
  Set(e, kSetState, reinterpret_cast<uintptr_t>(&s));
}

void PresetSave(HWND wnd, Element* e) {
  char path[kPathSize];
  std::snprintf(path, sizeof path, "%s", e->St.PresetPath);
  const char* name = std::strrchr(path, '\\');
  const bool titled = std::strcmp(name ? name + 1 : path, "(untitled)") != 0;
  if (!FileDialog(0, OFN_OVERWRITEPROMPT, titled, path, sizeof path, 1, 2, wnd)) return;
  char* dot = std::strrchr(path, '.');
  char* slash = std::strrchr(path, '\\');
  if (dot && (!slash || dot > slash)) *dot = 0;
  const size_t len = std::strlen(path);
  std::snprintf(path + len, sizeof path - len, ".HCD");
  HANDLE f = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) {
    ElemMessageBox(wnd, 82, MB_ICONWARNING);
    return;
  }
  std::snprintf(e->St.PresetPath, kPathSize, "%s", path);
  uint8_t bytes[kPresetSize];
  PresetBuild(e->St, bytes);
  DWORD put = 0;
  if (!WriteFile(f, bytes, kPresetSize, &put, nullptr) || put != kPresetSize) ElemMessageBox(wnd, 83, MB_ICONWARNING);
  CloseHandle(f);
  UiRefresh(e);
}

void CloseBigByUser(Element* e) {
  if (e->St.Flags & kFlagBigOpen) {
    e->St.Flags &= ~kFlagBigOpen;
    UiShowBig(e);
    ModuleHooks().Notify(e->HostContext, kNotifyBigWindow, 1);
  }
}

LRESULT BigProc(HWND wnd, Element* e, UINT msg, WPARAM wParam, LPARAM lParam) {
  const int x = short(LOWORD(lParam)), y = short(HIWORD(lParam));
  switch (msg) {
    case WM_MOVE: {
      RECT r;
      GetWindowRect(wnd, &r);
      e->St.BigX = r.left;
      e->St.BigY = r.top;
      return 0;
    }
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(wnd, &ps);
      PaintBig(wnd, dc, e);
      EndPaint(wnd, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_CLOSE:
      CloseBigByUser(e);
      return 0;
    case WM_DESTROY:
      if (e->Big == wnd) e->Big = nullptr;
      return 0;
    case WM_LBUTTONDOWN: {
      if (GetKeyState(VK_MENU) < 0) return 0;
      for (int i = 0; i < 5; ++i)
        if (x >= kTopX[i] && x < kTopX[i] + 23 && y >= 3 && y < 25) {
          if (i == 0) PresetLoad(wnd, e);
          else if (i == 1) PresetSave(wnd, e);
          else if (i == 2) StorePreset(e);
          else if (i == 3) RecallPreset(e, !e->Compare);
          else if (i == 4) SetBypass(e, !(e->St.Flags & kFlagBypassed));
          UiRefresh(e);
          return 0;
        }
      const int sw = SwitchAt(e, x, y);
      if (sw >= 0) {
        if (sw == 0) SetBypass(e, SwitchIsOn(e, 0));
        else EditSwitch(e, sw, !SwitchIsOn(e, sw));
        UiRefresh(e);
        return 0;
      }
      g_drag = KnobAt(x, y);
      if (g_drag >= 0) {
        g_dragAngle = KnobAngle(g_drag, e->St.Knob[g_drag]);
        SetCapture(wnd);
      }
      return 0;
    }
    case WM_MOUSEMOVE:
    case WM_LBUTTONUP:
      if (g_drag >= 0 && GetCapture() == wnd) {
        const KnobPlace& p = kKnobPlaces[g_drag];
        const int dx = x - p.Cx, dy = y - kBody - p.Cy;
        if (dx * dx + dy * dy >= 25) {
          const int32_t v = KnobValueAt(g_drag, PointAngle(g_drag, x, y));
          if (v != e->St.Knob[g_drag]) {
            EditKnob(e, g_drag, v);
            UiRefresh(e);
          }
        }
        if (msg == WM_LBUTTONUP) {
          g_drag = -1;
          ReleaseCapture();
        }
      }
      return 0;
    case WM_CAPTURECHANGED:
      g_drag = -1;
      return 0;
    case WM_LBUTTONDBLCLK: {
      const int k = KnobAt(x, y);
      if (k >= 0 && GetKeyState(VK_MENU) >= 0) NumericEntry(wnd, e, k);
      return 0;
    }
    case WM_RBUTTONDOWN:
      if ((x >= 6 && x < 26) || (x >= 645 && x < 665)) ClipMenu(wnd, e, x, y);
      return 0;
  }
  return DefWindowProcA(wnd, msg, wParam, lParam);
}

LRESULT LittleProc(HWND wnd, Element* e, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(wnd, &ps);
      PaintLittle(wnd, dc, e);
      EndPaint(wnd, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_DESTROY:
      if (e->Big) DestroyWindow(e->Big);
      e->Big = nullptr;
      e->Little = nullptr;
      return 0;
    case WM_LBUTTONDOWN: {
      RECT r;
      GetClientRect(wnd, &r);
      const int x = short(LOWORD(lParam)), y = short(HIWORD(lParam));
      if (x >= r.right - 19 && x < r.right - 3 && y >= 3 && y < 17) {
        SetBypass(e, !(e->St.Flags & kFlagBypassed));
        UiRefresh(e);
      }
      return 0;
    }
    case WM_LBUTTONDBLCLK:
      if (GetKeyState(VK_MENU) >= 0 && !(e->St.Flags & kFlagBigOpen)) {
        e->St.Flags |= kFlagBigOpen;
        UiShowBig(e);
        ModuleHooks().Notify(e->HostContext, kNotifyBigWindow, (e->St.Flags & kFlagBigOpen) ? 0 : 1);
      }
      return 0;
  }
  return DefWindowProcA(wnd, msg, wParam, lParam);
}

// Every window of the class keeps {kind, element} in its extra words.
LRESULT CALLBACK WndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTA*>(lParam);
    auto* e = static_cast<Element*>(cs->lpCreateParams);
    SetWindowLongPtrA(wnd, 0, reinterpret_cast<LONG_PTR>(e));
    SetWindowLongPtrA(wnd, sizeof(LONG_PTR), cs->hwndParent && e && !e->Little ? kLittle : kBig);
    if (e && !e->Little) e->Little = wnd;
    else if (e) e->Big = wnd;
  }
  auto* e = reinterpret_cast<Element*>(GetWindowLongPtrA(wnd, 0));
  if (!e) return DefWindowProcA(wnd, msg, wParam, lParam);
  return GetWindowLongPtrA(wnd, sizeof(LONG_PTR)) == kLittle ? LittleProc(wnd, e, msg, wParam, lParam)
                                                             : BigProc(wnd, e, msg, wParam, lParam);
}

}  // namespace

WndHandle UiCreateLittle(Element* e, WndHandle parent, const ElemPoint& at, int32_t width) {
  if (e->Little) return nullptr;
  HWND w = CreateWindowExA(0, kClass, "", WS_CHILD | WS_VISIBLE, at.x, at.y, width, 36, parent,
                           reinterpret_cast<HMENU>(e), g_instance, e);
  if (w && (e->St.Flags & kFlagBigOpen) && !OpenBig(e)) {
    e->St.Flags &= ~kFlagBigOpen;
    ModuleHooks().Notify(e->HostContext, kNotifyBigWindow, 1);
  }
  return w;
}

void UiShowBig(Element* e) {
  if (!(e->St.Flags & kFlagBigOpen)) {
    if (e->Big) DestroyWindow(e->Big);
    e->Big = nullptr;
  } else if (!e->Big && e->Little && !OpenBig(e)) {
    e->St.Flags &= ~kFlagBigOpen;
  }
}

void UiCentred(int32_t* x, int32_t* y) {
  const ElemModuleGlobals& m = ElemModule();
  *x = (GetSystemMetrics(SM_CXSCREEN) - 2 * m.FrameWidth - kBigW) / 2;
  *y = (GetSystemMetrics(SM_CYSCREEN) - 2 * m.FrameWidth - m.CaptionHeight - kBigH) / 2;
}

void UiRefresh(Element* e) {
  if (e->Little) InvalidateRect(e->Little, nullptr, FALSE);
  if (e->Big) InvalidateRect(e->Big, nullptr, FALSE);
}

}  // namespace hrlcd

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  switch (reason) {
    case DLL_PROCESS_ATTACH: {
      hrlcd::g_instance = instance;
      if (!ElemModuleAttach(instance)) return FALSE;
      WNDCLASSA wc{};
      wc.style = CS_DBLCLKS;
      wc.lpfnWndProc = hrlcd::WndProc;
      wc.cbWndExtra = 2 * sizeof(LONG_PTR);
      wc.hInstance = instance;
      wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
      wc.lpszClassName = hrlcd::kClass;
      if (!RegisterClassA(&wc)) {
        ElemModuleDetach();
        return FALSE;
      }
      break;
    }
    case DLL_PROCESS_DETACH:
      UnregisterClassA(hrlcd::kClass, instance);
      ElemModuleDetach();
      break;
  }
  return TRUE;
}
