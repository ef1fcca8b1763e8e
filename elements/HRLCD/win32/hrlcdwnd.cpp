// HRLCD.dll: library entry, the little window (bypass button, reduction
// bars, clip lamp) and the big window (header buttons, film-strip knobs,
// switches, lamps and meters) as objects of the module's window classes.
#include <windows.h>
#include <commdlg.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "elements/HRLCD/hrlcdapi.h"
#include "elements/HRLCD/hrlcdskin.h"
#include "elements/HRLCD/win32/elemclass.h"
#include "elements/win32/elemwin.h"
#include "mixer/model/util/win32/profile_win.h"

namespace hrlcd {
namespace {

constexpr int kBigW = 689, kBigH = 236, kBody = 31;
constexpr double kPi = 3.14159265358979323846;

HINSTANCE g_instance = nullptr;

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
constexpr int kTopX[5] = {5, 34, 596, 624, 661};
const char* const kTopImageKeys[5] = {"img_Load_Button", "img_Save_Button", "img_Store_Button",
                                      "img_Recall_Button", "img_Bypass2_Button"};

uint32_t Col(int slot) { return ModuleSkin().C[slot]; }

void Fill(HDC dc, const RECT& r, COLORREF c) {
  HBRUSH b = CreateSolidBrush(c);
  FillRect(dc, &r, b);
  DeleteObject(b);
}

// Draws bitmap resource `id`: a 32-bit picture with alpha is blended over
// what is there (its colours premultiplied, full constant opacity), any
// other is copied. A missing resource leaves the area unpainted.
void Blit(HDC dc, int id, int x, int y, int w, int h) {
  HBITMAP bm = static_cast<HBITMAP>(
      LoadImageA(g_instance, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  if (!bm) return;
  BITMAP info{};
  GetObjectA(bm, sizeof info, &info);
  HDC mem = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(mem, bm);
  if (info.bmBitsPixel == 32) {
    const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    AlphaBlend(dc, x, y, w, h, mem, 0, 0, w, h, blend);
  } else {
    BitBlt(dc, x, y, w, h, mem, 0, 0, SRCCOPY);
  }
  SelectObject(mem, old);
  DeleteDC(mem);
  DeleteObject(bm);
}

// An image key of the skin: the file beside the skin, or "" (the resource
// serves).
void SkinImage(const char* key, char out[kSkinPathSize]) {
  out[0] = 0;
  const char* skin = ModuleSkinPath();
  char value[kSkinPathSize];
  if (!SkinValue(WindowsProfile(), skin, "Common", key, value)) return;
  const char* name = std::strrchr(skin, '\\');
  const int dir = name ? int(name - skin + 1) : 0;
  if (value[0] == '\\' || (value[0] && value[1] == ':'))
    std::snprintf(out, kSkinPathSize, "%s", value);
  else
    std::snprintf(out, kSkinPathSize, "%.*s%s", dir, skin, value);
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

struct Ui;
Ui* UiOf(Element* e);
bool OpenBig(Element* e);

// ---- The framework's two window kinds. -------------------------------

class CElemLWnd : public CElemWnd {
 public:
  explicit CElemLWnd(Element* e) : Elem(e) {}
  ~CElemLWnd() override { Bypass.Detach(); }
  LRESULT WndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) override;
  virtual void RefreshTitle() {}
  virtual void UpdateBlocked() {
    Bypass.Blocked = Elem->Blocked != 0;
    Bypass.Repaint();
  }
  virtual void UpdateBypass() { Bypass.SetState((Elem->St.Flags & kFlagBypassed) ? 1 : 0); }
  virtual void Paint(HDC dc);

  Element* Elem;
  CLButton Bypass;
  HoverTrack Mouse;
};

class CElemBWnd : public CElemWnd {
 public:
  explicit CElemBWnd(Element* e) : Elem(e) {}
  LRESULT WndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) override;
  void OnCreate() override;
  void OnDestroy() override;
  virtual void OnButton(int index, int on);
  virtual void UpdateTitle() = 0;
  void PaintHeader(HDC dc);

  int Width = kBigW, Height = kBigH;
  Element* Elem;
  CTopButton Top[5];  // Load, Save, Store, Recall, Bypass
  HoverTrack Mouse;
};

// ---- Knobs. ------------------------------------------------------------

class CSelEditPot : public CSelEdit, public CSelection, public CTracker {
 public:
  virtual ~CSelEditPot() = default;
  virtual void Attach(HWND owner, int yOffset) {
    Owner = owner;
    YOffset = yOffset;
  }
  virtual void SetValue(int32_t v);
  virtual void Draw(HDC dc) = 0;
  virtual CSelection* HitTest(int x, int y) = 0;
  virtual void SetDisplayValue() = 0;
  virtual void SetGeometry(int knob, int cx, int cy, const RECT& image) {
    Knob = knob;
    Cx = cx;
    Cy = cy;
    Image = image;
  }
  void Leave() override {}
  void Invalidate() override {}
  void OnMouseDown(UINT, WPARAM, int, int) override {}
  void Apply() override;
  void OnMouse(UINT msg, WPARAM wParam, int x, int y) override;
  bool HitKnob(int x, int y) override {
    const int dx = x - Cx, dy = y - YOffset - Cy;
    return dx * dx + dy * dy <= 400;
  }
  void Drag(int x, int y) override;
  void EndDrag() override;
  void Rotate(double radians) override;

  int Frame() const {
    int f = int(std::lround(std::fmod(Angle * kPi / 180, 2 * kPi) * 36 / kPi)) % 72;
    return f < 0 ? f + 72 : f;
  }
  void RepaintImage() {
    RECT r = Image;
    OffsetRect(&r, 0, YOffset);
    if (Owner) InvalidateRect(Owner, &r, FALSE);
  }

  int YOffset = 0, Knob = 0, Cx = 0, Cy = 0;
  RECT Image{};
  int32_t Value = 0;
  double Angle = 120, PointerAngle = 0;  // degrees on the knob's 120..420 scale
  bool Hovered = false, Dragging = false;
  void (*Changed)(CSelEditPot* pot, void* context) = nullptr;
  void* Context = nullptr;
};

void CSelEditPot::SetValue(int32_t v) {
  const int before = Frame();
  Value = v;
  Angle = KnobAngle(Knob, v);
  if (Frame() != before) RepaintImage();
  SetDisplayValue();
}

void CSelEditPot::Apply() {
  if (Changed) Changed(this, Context);
}

double PointerDegrees(int dx, int dy) { return std::atan2(double(dy), double(dx)) * 180 / kPi; }

void CSelEditPot::Drag(int x, int y) {
  const int dx = x - Cx, dy = y - YOffset - Cy;
  if (dx * dx + dy * dy < 25) return;
  const double a = PointerDegrees(dx, dy);
  double step = a - PointerAngle;
  while (step > 180) step -= 360;
  while (step < -180) step += 360;
  PointerAngle = a;
  Rotate(step * kPi / 180);
}

void CSelEditPot::Rotate(double radians) {
  Angle = std::clamp(Angle + radians * 180 / kPi, 120.0, 420.0);
  const int32_t v = KnobValueAt(Knob, Angle);
  const double keep = Angle;
  if (v != Value) {
    SetValue(v);
    Angle = keep;
    Apply();
  }
}

void CSelEditPot::EndDrag() {
  Dragging = false;
  if (Captor() == this) Captor() = nullptr;
  Angle = KnobAngle(Knob, Value);
  SetDisplayValue();
}

void CSelEditPot::OnMouse(UINT msg, WPARAM, int x, int y) {
  if (!Dragging) return;
  if (msg == WM_MOUSEMOVE) {
    Drag(x, y);
  } else if (msg == WM_LBUTTONUP) {
    Drag(x, y);
    EndDrag();
    ReleaseCapture();
  } else if (msg == WM_CAPTURECHANGED) {
    EndDrag();
  }
}

class CHRLCDPot : public CSelEditPot {
 public:
  void Draw(HDC dc) override {
    Blit(dc, Strip + Frame(), Image.left, Image.top, 60, 62);
    if (!Hovered && !Dragging) return;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    RECT box = TextBox;
    DrawTextA(dc, Text, -1, &box, DT_CENTER | DT_SINGLELINE | DT_NOPREFIX);
  }
  CSelection* HitTest(int x, int y) override {
    if (!HitKnob(x, y)) return nullptr;
    if (!Hovered) {
      Hovered = true;
      RepaintText();
    }
    return this;
  }
  void SetDisplayValue() override {
    char t[32];
    ValueText(Elem, Knob, t, sizeof t);
    if (std::strcmp(t, Text) != 0) {
      std::snprintf(Text, sizeof Text, "%s", t);
      RepaintText();
    }
  }
  void Leave() override {
    Hovered = false;
    RepaintText();
  }
  void OnMouseDown(UINT msg, WPARAM wParam, int x, int y) override;
  void RepaintText() {
    RECT r = TextBox;
    OffsetRect(&r, 0, YOffset);
    if (Owner) InvalidateRect(Owner, &r, FALSE);
  }

  Element* Elem = nullptr;
  int Strip = 300;
  RECT TextBox{};
  char Text[32] = "";
};

void NumericEntry(HWND wnd, CHRLCDPot* pot);

void CHRLCDPot::OnMouseDown(UINT msg, WPARAM wParam, int x, int y) {
  if (GetKeyState(VK_MENU) < 0) return;
  if (msg == WM_LBUTTONDOWN) {
    Dragging = true;
    PointerAngle = PointerDegrees(x - Cx, y - YOffset - Cy);
    Captor() = this;
    SetCapture(Owner);
    RepaintText();
  } else if (msg == WM_LBUTTONDBLCLK && (wParam & (MK_RBUTTON | MK_MBUTTON)) == 0) {
    if (wParam & MK_CONTROL) {
      if (KnobDefault(Knob) != Value) {
        SetValue(KnobDefault(Knob));
        Apply();
      }
    } else {
      NumericEntry(Owner, this);
    }
  }
}

// ---- Switch buttons. ---------------------------------------------------

// A push-switch of the big window with its lamp: the image (bitmap base +
// state) 2 pixels left of and 1 above its 32 x 14 hit rectangle, the lamp
// drawn while on. A left press or double click with the left button alone
// toggles it and reports the new state to its window.
class CHRLCDSwitch : public CSelEdit, public CSelection {
 public:
  void Place(int index, const SwitchPlace& place) {
    Index = index;
    At = place;
  }
  void Attach(HWND owner, int yOffset) {
    Owner = owner;
    YOffset = yOffset;
  }
  CSelection* HitTest(int x, int y) {
    const int by = y - YOffset;
    return x >= At.X && x < At.X + 32 && by >= At.Y && by < At.Y + 14 ? this : nullptr;
  }
  void Draw(HDC dc) const {
    Blit(dc, At.Image + State, At.X - 2, At.Y - 1, 40, 23);
    if (State) Blit(dc, At.Lamp, At.Lx, At.Ly, 20, 20);
  }
  // Shows the element's state; the image and the lamp are repainted only
  // when it changes.
  void SetState(int state) {
    if (state == State) return;
    State = state;
    Invalidate();
  }
  void Leave() override {}
  void Invalidate() override {
    if (!Owner) return;
    RECT image{At.X - 2, At.Y - 1 + YOffset, At.X + 38, At.Y + 22 + YOffset};
    RECT lamp{At.Lx, At.Ly + YOffset, At.Lx + 20, At.Ly + 20 + YOffset};
    InvalidateRect(Owner, &image, FALSE);
    InvalidateRect(Owner, &lamp, FALSE);
  }
  void OnMouseDown(UINT msg, WPARAM wParam, int, int) override {
    if (msg != WM_LBUTTONDOWN && msg != WM_LBUTTONDBLCLK) return;
    if ((wParam & (MK_RBUTTON | MK_MBUTTON)) != 0 || GetKeyState(VK_MENU) < 0) return;
    SetState(State ? 0 : 1);
    if (Changed) Changed(Context, Index, State);
  }

  int Index = 0, State = 0, YOffset = 0;
  SwitchPlace At{};
  void (*Changed)(void* context, int index, int state) = nullptr;
  void* Context = nullptr;
};

// ---- The dynamics windows. ---------------------------------------------

class CHRLCDLWnd : public CElemLWnd {
 public:
  using CElemLWnd::CElemLWnd;
  void RefreshTitle() override {
    RECT r{4, 4, Width() - 22, 16};
    if (Wnd) InvalidateRect(Wnd, &r, FALSE);
  }
  void UpdateBlocked() override {
    CElemLWnd::UpdateBlocked();
    if (Wnd) InvalidateRect(Wnd, nullptr, FALSE);
  }
  void Paint(HDC dc) override;
  int Width() const {
    RECT r{};
    if (Wnd) GetClientRect(Wnd, &r);
    return r.right;
  }
};

class CHRLCDBWnd : public CElemBWnd {
 public:
  explicit CHRLCDBWnd(Element* e) : CElemBWnd(e) {
    for (int k = 0; k < kKnobs; ++k) {
      const KnobPlace& p = kKnobPlaces[k];
      CHRLCDPot& pot = Pots[k];
      pot.Elem = e;
      pot.Strip = p.Strip;
      pot.SetGeometry(k, p.Cx, p.Cy, RECT{p.Ix, p.Iy, p.Ix + 60, p.Iy + 62});
      pot.TextBox = RECT{p.Tx, p.Ty, p.Tx + 60, p.Ty + 11};
      pot.Changed = &KnobChanged;
      pot.Context = this;
      pot.SetValue(e->St.Knob[k]);
    }
    for (int sw = 0; sw < kSwitches; ++sw) {
      Switches[sw].Place(sw, kSwitchPlaces[sw]);
      Switches[sw].State = SwitchIsOn(e, sw) ? 1 : 0;
      Switches[sw].Changed = &SwitchChanged;
      Switches[sw].Context = this;
    }
  }
  void OnCreate() override;
  LRESULT WndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) override;
  void UpdateTitle() override {
    if (!Wnd) return;
    char caption[96];
    std::snprintf(caption, sizeof caption, "HRL Channel Dynamics (Column %d, Element %d)", Elem->Column + 1,
                  Elem->Index + 1);
    char now[96] = "";
    GetWindowTextA(Wnd, now, sizeof now);
    if (std::strcmp(now, caption) != 0) SetWindowTextA(Wnd, caption);
  }
  void PaintBody(HDC dc);
  static void KnobChanged(CSelEditPot* pot, void* context) {
    auto* self = static_cast<CHRLCDBWnd*>(context);
    const int k = int(static_cast<CHRLCDPot*>(pot) - self->Pots);
    if (k >= 0 && k < kKnobs && pot->Value != self->Elem->St.Knob[k]) {
      EditKnob(self->Elem, k, pot->Value);
      UiRefresh(self->Elem);
    }
  }
  static void SwitchChanged(void* context, int sw, int state) {
    auto* self = static_cast<CHRLCDBWnd*>(context);
    if (sw == 0) SetBypass(self->Elem, state == 0);
    else EditSwitch(self->Elem, sw, state != 0);
    UiRefresh(self->Elem);
  }
  // The element's switches shown on the buttons and lamps.
  void SyncSwitches() {
    for (int sw = 0; sw < kSwitches; ++sw) Switches[sw].SetState(SwitchIsOn(Elem, sw) ? 1 : 0);
  }
  // The switch buttons of this type: five, or seven with a side chain.
  int SwitchButtons() const { return int(SwitchCount(Elem->Type)); }
  CHRLCDPot Pots[kKnobs];
  CHRLCDSwitch Switches[kSwitches];
};

struct Ui {
  explicit Ui(Element* e) : Little(e), Big(e) {}
  CHRLCDLWnd Little;
  CHRLCDBWnd Big;
};

Ui* UiOf(Element* e) {
  if (!e->Ui) e->Ui = new Ui(e);
  return static_cast<Ui*>(e->Ui);
}

// ---- Little window. ----------------------------------------------------

void ReportLittleBypass(void* context, CSelEditButton*, int state) {
  auto* e = static_cast<Element*>(context);
  e->Object->SetBypass(state != 0);
  UiRefresh(e);
}

LRESULT CElemLWnd::WndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (RouteToCaptor(wnd, msg, wParam, lParam)) return 0;
  const int x = short(LOWORD(lParam)), y = short(HIWORD(lParam));
  switch (msg) {
    case WM_CREATE: {
      RECT r;
      GetClientRect(wnd, &r);
      char file[kSkinPathSize];
      SkinImage("img_Bypass_Button", file);
      Bypass.Attach(wnd, r.right - 19, 3, 16, 14, true, LoadButtonImage(g_instance, file, 101));
      Bypass.OnReport = &ReportLittleBypass;
      Bypass.Context = Elem;
      Bypass.State = (Elem->St.Flags & kFlagBypassed) ? 1 : 0;
      Bypass.Blocked = Elem->Blocked != 0;
      break;
    }
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = wParam ? reinterpret_cast<HDC>(wParam) : BeginPaint(wnd, &ps);
      Paint(dc);
      if (!wParam) EndPaint(wnd, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_DESTROY:
      if (Elem->Big) DestroyWindow(Elem->Big);
      Elem->Big = nullptr;
      Elem->Little = nullptr;
      Mouse = HoverTrack{};
      Bypass.Detach();
      break;
    case WM_MOUSEMOVE:
      Mouse.Point(wnd, Bypass.HitTest(x, y));
      return 0;
    case WM_MOUSELEAVE:
      Mouse.Lost();
      return 0;
    case WM_LBUTTONDOWN:
      Mouse.Point(wnd, Bypass.HitTest(x, y));  // a press may come without a move before it
      if (Mouse.Hot) Mouse.Hot->OnMouseDown(msg, wParam, x, y);
      return 0;
    case WM_LBUTTONDBLCLK:
      if ((wParam & (MK_RBUTTON | MK_MBUTTON)) || GetKeyState(VK_MENU) < 0) return 0;
      Mouse.Point(wnd, Bypass.HitTest(x, y));
      if (Mouse.Hot) {
        Mouse.Hot->OnMouseDown(msg, wParam, x, y);
      } else if (!(Elem->St.Flags & kFlagBigOpen)) {
        Elem->St.Flags |= kFlagBigOpen;
        ShowBigWindow(Elem);
      }
      return 0;
  }
  return CElemWnd::WndProc(wnd, msg, wParam, lParam);
}

void CElemLWnd::Paint(HDC dc) {
  RECT r;
  GetClientRect(Wnd, &r);
  Fill(dc, r, Col(kLwBackground));
  ElemDrawFrame3D(dc, Col(kLwBorderLeft), Col(kLwBorderTop), Col(kLwBorderOuterRight), Col(kLwBorderOuterBottom), r);
  RECT inner{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
  ElemDrawFrame3D(dc, Col(kLwBackground), Col(kLwBackground), Col(kLwBorderInnerRight), Col(kLwBorderInnerBottom),
                  inner);
  Bypass.Draw(dc);
}

void CHRLCDLWnd::Paint(HDC dc) {
  RECT r;
  GetClientRect(Wnd, &r);
  // Drawn into a memory bitmap, then copied in one piece.
  HDC mem = CreateCompatibleDC(dc);
  HBITMAP bm = CreateCompatibleBitmap(dc, r.right, r.bottom);
  HGDIOBJ oldBm = SelectObject(mem, bm);
  CElemLWnd::Paint(mem);
  const int w = r.right;
  const bool blocked = Elem->Blocked != 0;
  RECT title{3, 3, w - 21, 17};
  if (Col(kTitleBorderOn) == 1) {
    ElemDrawFrame3D(mem, Col(kTitleBorderLeft), Col(kTitleBorderTop), Col(kTitleBorderRight),
                    Col(kTitleBorderBottom), title);
  }
  RECT fill{title.left + 1, title.top + 1, title.right - 1, title.bottom - 1};
  COLORREF bg = Col(kTitleBackground), fg = Col(kTitleText);
  if (blocked) {
    bg = Col(kTitleBackgroundBlocked);
    fg = Col(kTitleTextBlocked);
  } else if (Elem->St.Flags & kFlagBigOpen) {
    bg = GetSysColor(COLOR_ACTIVECAPTION);
    fg = GetSysColor(COLOR_CAPTIONTEXT);
  }
  Fill(mem, fill, bg);
  HFONT font = CreateFontA(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Small Fonts");
  HGDIOBJ oldFont = SelectObject(mem, font);
  SetBkMode(mem, TRANSPARENT);
  SetTextColor(mem, fg);
  DrawTextA(mem, w > 89 ? "HRL DYN" : "HDYN", -1, &fill, DT_CENTER | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  SelectObject(mem, oldFont);
  DeleteObject(font);
  // Meter strip: frame, fill (clip-lit or blocked), two reduction bars.
  RECT strip{3, 19, w - 3, r.bottom - 3};
  ElemDrawFrame3D(mem, Col(kMeterBorderLeft), Col(kMeterBorderTop), Col(kMeterBorderRight), Col(kMeterBorderBottom),
                  strip);
  const bool wide = w >= 90;
  const int look = blocked ? 2 : (Elem->InClip || Elem->OutClip) ? 1 : 0;
  Blit(mem, (wide ? 121 : 124) + look, strip.left + 1, strip.top + 1, strip.right - strip.left - 2,
       strip.bottom - strip.top - 2);
  // Compressor bar then gate bar, five cells each, lit from the left.
  const int32_t values[2] = {-Elem->CompGain, -Elem->GateGain};
  const int bx[2] = {wide ? 7 : 5, wide ? 49 : 30};
  const int cw = wide ? 6 : 5, step = wide ? 7 : 4;
  const int base = wide ? 127 : 130;
  const int compCells[5] = {base + 1, base + 1, base + 1, base + 2, base + 2};
  for (int m = 0; m < 2; ++m)
    for (int i = 0; i < 5; ++i)
      if (values[m] >= kReductionSteps[i]) Blit(mem, m ? base : compCells[i], bx[m] + step * i, 22, cw, 8);
  BitBlt(dc, 0, 0, r.right, r.bottom, mem, 0, 0, SRCCOPY);
  SelectObject(mem, oldBm);
  DeleteObject(bm);
  DeleteDC(mem);
}

// ---- Big window. -------------------------------------------------------

void ReportTop(void* context, CSelEditButton* b, int state) {
  auto* w = static_cast<CElemBWnd*>(context);
  // The index of the button; Bypass is looked for first.
  for (int i : {4, 0, 1, 2, 3})
    if (b == &w->Top[i]) {
      w->OnButton(i, state);
      return;
    }
}

void CElemBWnd::OnCreate() {
  for (int i = 0; i < 5; ++i) {
    char file[kSkinPathSize];
    SkinImage(kTopImageKeys[i], file);
    Top[i].Attach(Wnd, kTopX[i], 3, 23, 22, i >= 3, LoadButtonImage(g_instance, file, 102 + i));
    Top[i].OnReport = &ReportTop;
    Top[i].Context = this;
  }
  Top[3].State = Elem->Compare ? 1 : 0;
  Top[4].State = (Elem->St.Flags & kFlagBypassed) ? 1 : 0;
}

void CHRLCDBWnd::OnCreate() {
  CElemBWnd::OnCreate();
  for (CHRLCDPot& pot : Pots) {
    pot.Attach(Wnd, kBody);
    pot.SetValue(Elem->St.Knob[pot.Knob]);
  }
  for (CHRLCDSwitch& b : Switches) b.Attach(Wnd, kBody);
  SyncSwitches();
}

void CElemBWnd::OnDestroy() {
  Mouse = HoverTrack{};
  for (CTopButton& b : Top) b.Detach();
  if (Elem->Big == Wnd) Elem->Big = nullptr;
  CElemWnd::OnDestroy();
}

void PresetLoad(HWND wnd, Element* e);
void PresetSave(HWND wnd, Element* e);

void CElemBWnd::OnButton(int index, int on) {
  switch (index) {
    case 0:
      Elem->Object->LoadPreset(Wnd);
      break;
    case 1:
      Elem->Object->SavePreset(Wnd);
      break;
    case 2:
      Elem->Object->StorePreset();
      Top[3].SetState(1);
      break;
    case 3:
      Elem->Object->RecallPreset(on != 0);
      break;
    case 4:
      Elem->Object->SetBypass(on != 0);
      break;
  }
  UiRefresh(Elem);
}

void CElemBWnd::PaintHeader(HDC dc) {
  Fill(dc, RECT{0, 0, Width, kBody}, Col(kBwBackground));
  HPEN bar = CreatePen(PS_SOLID, 1, Col(kBwHeaderBar));
  HGDIOBJ op = SelectObject(dc, bar);
  MoveToEx(dc, Width - 35, 1, nullptr);
  LineTo(dc, Width - 35, 28);
  SelectObject(dc, op);
  DeleteObject(bar);
  Fill(dc, RECT{0, 29, Width, 30}, Col(kBwHeaderUpperLine));
  Fill(dc, RECT{0, 30, Width, 31}, Col(kBwHeaderLowerLine));
  RECT head{65, 5, Width - 101, 23};
  if (Col(kBwHeaderBorderOn) == 1) {
    ElemDrawFrame3D(dc, Col(kBwHeaderBorderOuterLeft), Col(kBwHeaderBorderOuterTop), Col(kBwHeaderBorderOuterRight),
                    Col(kBwHeaderBorderOuterBottom), RECT{head.left - 2, head.top - 2, head.right + 2, head.bottom + 2});
    ElemDrawFrame3D(dc, Col(kBwHeaderBorderInnerLeft), Col(kBwHeaderBorderInnerTop), Col(kBwHeaderBorderInnerRight),
                    Col(kBwHeaderBorderInnerBottom), RECT{head.left - 1, head.top - 1, head.right + 1, head.bottom + 1});
  }
  Fill(dc, head, Col(kBwHeaderBackground));
  const char* path = Elem->St.PresetPath;
  const char* file = std::strrchr(path, '\\');
  file = file ? file + 1 : path;
  HFONT font = CreateFontA(14, 6, 0, 0, 400, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Helv");
  HGDIOBJ old = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, Col(kBwHeaderText));
  char name[kPathSize];
  std::snprintf(name, sizeof name, "%s", file);
  RECT tr{head.left + 3, head.top, head.right - 3, head.bottom};
  DrawTextA(dc, name, -1, &tr, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_PATH_ELLIPSIS);
  SelectObject(dc, old);
  DeleteObject(font);
  for (CTopButton& b : Top) b.Draw(dc);
}

void CHRLCDBWnd::PaintBody(HDC dc) {
  Element* e = Elem;
  Blit(dc, IsSideChain(e->Type) ? 134 : 133, 0, 0, kBigW, kBigH - kBody);
  Blit(dc, 135 + e->Type, 5, 183, 208, 22);
  HFONT font = CreateFontA(-11, 0, 0, 0, 100, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, VARIABLE_PITCH | FF_SWISS, "Arial");
  HGDIOBJ old = SelectObject(dc, font);
  for (CHRLCDPot& pot : Pots) pot.Draw(dc);
  for (int sw = 0; sw < SwitchButtons(); ++sw) Switches[sw].Draw(dc);
  const int32_t values[4] = {e->InPeak, e->OutPeak, -e->CompGain, -e->GateGain};
  const int xs[4] = {6, 645, 294, 329};
  for (int m = 0; m < 4; ++m)
    for (int i = 0; i < 5; ++i) {
      const int32_t step = m < 2 ? kLevelSteps[i] : kReductionSteps[i];
      if (values[m] < step) continue;
      const int lamp = m == 3 ? 139 : m < 2 ? (i < 3 ? 139 : 140) : (i < 3 ? 140 : 141);
      Blit(dc, lamp, xs[m], 149 - 16 * i, 20, 20);
    }
  if (e->InClip) Blit(dc, 141, 6, 69, 20, 20);
  if (e->OutClip) Blit(dc, 141, 645, 69, 20, 20);
  SelectObject(dc, old);
  DeleteObject(font);
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

bool InMeterColumn(int x, int y, bool output) {
  const int x0 = output ? 644 : 5;
  return x >= x0 && x <= x0 + 39 && y >= 95 && y <= 199;
}

LRESULT CElemBWnd::WndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_MOVE: {
      RECT r;
      GetWindowRect(wnd, &r);
      Elem->St.BigX = r.left;
      Elem->St.BigY = r.top;
      return 0;
    }
    case WM_CLOSE:
      DefWindowProcA(wnd, msg, wParam, lParam);  // the default destroys the window
      if (Elem->St.Flags & kFlagBigOpen) {
        Elem->St.Flags &= ~kFlagBigOpen;
        ShowBigWindow(Elem);
      }
      return 0;
  }
  return CElemWnd::WndProc(wnd, msg, wParam, lParam);
}

LRESULT CHRLCDBWnd::WndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (RouteToCaptor(wnd, msg, wParam, lParam)) return 0;
  const int x = short(LOWORD(lParam)), y = short(HIWORD(lParam));
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(wnd, &ps);
      HDC mem = CreateCompatibleDC(dc);
      HBITMAP bm = CreateCompatibleBitmap(dc, kBigW, kBigH);
      HGDIOBJ old = SelectObject(mem, bm);
      PaintHeader(mem);
      SetViewportOrgEx(mem, 0, kBody, nullptr);
      PaintBody(mem);
      SetViewportOrgEx(mem, 0, 0, nullptr);
      const RECT& u = ps.rcPaint;
      BitBlt(dc, u.left, u.top, u.right - u.left, u.bottom - u.top, mem, u.left, u.top, SRCCOPY);
      SelectObject(mem, old);
      DeleteObject(bm);
      DeleteDC(mem);
      EndPaint(wnd, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_MOUSEMOVE: {
      CSelection* hit = nullptr;
      if (y <= 30) {
        for (CTopButton& b : Top)
          if ((hit = b.HitTest(x, y))) break;
      } else {
        // The switch buttons first, then the knobs.
        for (int sw = 0; sw < SwitchButtons() && !hit; ++sw) hit = Switches[sw].HitTest(x, y);
        for (CHRLCDPot& p : Pots)
          if (hit || (hit = p.HitTest(x, y))) break;
      }
      Mouse.Point(wnd, hit);
      return 0;
    }
    case WM_MOUSELEAVE:
      Mouse.Lost();
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) Mouse.Lost();
      break;
    case WM_MOUSEWHEEL:
      for (CHRLCDPot& p : Pots)
        if (Mouse.Hot == &p) p.Rotate(double(short(HIWORD(wParam))) * kPi / 4320);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      if (GetKeyState(VK_MENU) < 0) return 0;
      if (msg == WM_LBUTTONDBLCLK && (wParam & MK_CONTROL)) {
        if (InMeterColumn(x, y, false) || InMeterColumn(x, y, true)) {
          if (InMeterColumn(x, y, false)) Elem->InClip = false;
          else Elem->OutClip = false;
          UiRefresh(Elem);
          return 0;
        }
      }
      // A press may come without a move before it (right after the window
      // opened): the control under the pointer is found now.
      SendMessageA(wnd, WM_MOUSEMOVE, wParam, lParam);
      if (Mouse.Hot) Mouse.Hot->OnMouseDown(msg, wParam, x, y);
      return 0;
    }
    case WM_RBUTTONDOWN:
      if ((wParam & (MK_LBUTTON | MK_MBUTTON)) == 0 && GetKeyState(VK_MENU) >= 0 &&
          (InMeterColumn(x, y, false) || InMeterColumn(x, y, true)))
        ClipMenu(wnd, Elem, x, y);
      return 0;
    case WM_DISPLAYCHANGE:
      if (wParam < 24 && (Elem->St.Flags & kFlagBigOpen)) {
        Elem->St.Flags &= ~kFlagBigOpen;
        ShowBigWindow(Elem);
      }
      return 0;
  }
  return CElemBWnd::WndProc(wnd, msg, wParam, lParam);
}

constexpr int kEntryEdit = 99, kEntryChars = 12;

// The "Numerical Entry" dialog: edit 99 filled with the value, at most 12
// characters typed and read back.
INT_PTR CALLBACK EntryDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  static char* text = nullptr;
  switch (msg) {
    case WM_INITDIALOG:
      text = reinterpret_cast<char*>(lParam);
      SetWindowTextA(dlg, "Numerical Entry");
      SendDlgItemMessageA(dlg, kEntryEdit, EM_LIMITTEXT, kEntryChars, 0);
      SetDlgItemTextA(dlg, kEntryEdit, text);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        GetDlgItemTextA(dlg, kEntryEdit, text, kEntryChars + 1);
        EndDialog(dlg, IDOK);
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dlg, IDCANCEL);
        return TRUE;
      }
      break;
  }
  return FALSE;
}

void NumericEntry(HWND wnd, CHRLCDPot* pot) {
  const int k = pot->Knob;
  char t[32];
  KnobText(pot->Elem, uint32_t(k), t);
  t[std::strlen(t) - std::strlen(kKnobTable[k].Unit)] = 0;
  char entered[kEntryChars + 1];
  std::snprintf(entered, sizeof entered, "%s", t);
  if (DialogBoxParamA(g_instance, "INPUT", wnd, EntryDlgProc, reinterpret_cast<LPARAM>(entered)) != IDOK) return;
  int32_t raw = 0;
  if (ParseEntry(k, entered, &raw)) {
    if (raw != pot->Value) {
      pot->SetValue(raw);
      pot->Apply();
    }
    return;
  }
  MessageBoxA(wnd, EntryRangeMessage(k).c_str(), "Numerical Entry", MB_ICONWARNING);
}

// ---- Preset files. -----------------------------------------------------

// The open or save dialog started in the preset's folder; the chosen path
// replaces `path`.
bool PresetDialog(HWND owner, const char* presetPath, bool saving, char path[kPathSize]) {
  char filter[160], ext[16];
  if (!LoadStringA(g_instance, 1, filter, sizeof filter) || !LoadStringA(g_instance, 2, ext, sizeof ext)) return false;
  const size_t n = std::strlen(filter);
  const char sep = n ? filter[n - 1] : 0;
  for (size_t i = 0; i < n; ++i)
    if (filter[i] == sep) filter[i] = 0;
  char dir[kPathSize], name[kPathSize];
  DialogStart(presetPath, saving, dir, name);
  OPENFILENAMEA ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = filter;
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = name;
  ofn.nMaxFile = kPathSize;
  ofn.lpstrInitialDir = dir[0] ? dir : nullptr;
  ofn.lpstrDefExt = ext;
  ofn.Flags = OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST | OFN_EXPLORER |
              (saving ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
  if (!(saving ? GetSaveFileNameA(&ofn) : GetOpenFileNameA(&ofn))) return false;
  std::snprintf(path, kPathSize, "%s", name);
  return true;
}

void PresetLoad(HWND wnd, Element* e) {
  char path[kPathSize];
  if (!PresetDialog(wnd, e->St.PresetPath, false, path)) return;
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
  if (!PresetDialog(wnd, e->St.PresetPath, true, path)) return;
  if (!WithPresetExtension(path)) {
    ElemMessageBox(wnd, 82, MB_ICONWARNING);
    return;
  }
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

// ---- Opening and closing the big window. -------------------------------

bool OpenBig(Element* e) {
  if (e->Big || !e->Little) return false;
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
  Ui* ui = UiOf(e);
  HWND big = CreateWindowExA(0, kWndClass, "", WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_DLGFRAME | WS_VISIBLE,
                             e->St.BigX, e->St.BigY, kBigW + 2 * m.FrameWidth,
                             kBigH + m.CaptionHeight + 2 * m.FrameWidth, e->Little, nullptr, g_instance, &ui->Big);
  if (!big) return false;
  e->Big = big;
  ui->Big.UpdateTitle();
  return true;
}

}  // namespace

WndHandle UiCreateLittle(Element* e, WndHandle parent, const ElemPoint& at, int32_t width) {
  if (e->Little) return nullptr;
  Ui* ui = UiOf(e);
  HWND w = CreateWindowExA(0, kWndClass, "", WS_CHILD | WS_VISIBLE, at.x, at.y, width,
                           int(TypeProps(e->Type).LittleHeight), parent, reinterpret_cast<HMENU>(static_cast<CElem*>(e->Object)), g_instance,
                           &ui->Little);
  if (!w) return nullptr;
  e->Little = w;
  if ((e->St.Flags & kFlagBigOpen) && !OpenBig(e)) {
    e->St.Flags &= ~kFlagBigOpen;
    ShowBigWindow(e);
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
  if (e->Ui) UiOf(e)->Little.RefreshTitle();
}

bool UiOpenBig(Element* e) { return OpenBig(e); }
void UiLoadPreset(Element* e, WndHandle owner) { PresetLoad(owner, e); }
void UiSavePreset(Element* e, WndHandle owner) { PresetSave(owner, e); }

void UiCentred(int32_t* x, int32_t* y) {
  const ElemModuleGlobals& m = ElemModule();
  *x = (GetSystemMetrics(SM_CXSCREEN) - 2 * m.FrameWidth - kBigW) / 2;
  *y = (GetSystemMetrics(SM_CYSCREEN) - 2 * m.FrameWidth - m.CaptionHeight - kBigH) / 2;
}

void UiRefresh(Element* e) {
  if (e->Ui) {
    Ui* ui = UiOf(e);
    ui->Little.UpdateBypass();
    ui->Little.Bypass.Blocked = e->Blocked != 0;
    ui->Big.Top[3].SetState(e->Compare ? 1 : 0);
    ui->Big.Top[4].SetState((e->St.Flags & kFlagBypassed) ? 1 : 0);
    ui->Big.UpdateTitle();
    for (CHRLCDPot& p : ui->Big.Pots)
      if (!p.Dragging) p.SetValue(e->St.Knob[p.Knob]);
    ui->Big.SyncSwitches();
  }
  if (e->Little) InvalidateRect(e->Little, nullptr, FALSE);
  if (e->Big) InvalidateRect(e->Big, nullptr, FALSE);
}

void UiMoveBig(Element* e) {
  if (e->Big) SetWindowPos(e->Big, nullptr, e->St.BigX, e->St.BigY, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void UiDelete(Element* e) {
  if (!e->Ui) return;
  if (e->Big) DestroyWindow(e->Big);
  if (e->Little) DestroyWindow(e->Little);
  delete static_cast<Ui*>(e->Ui);
  e->Ui = nullptr;
}

}  // namespace hrlcd

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  switch (reason) {
    case DLL_PROCESS_ATTACH: {
      hrlcd::g_instance = instance;
      if (!ElemModuleAttach(instance)) return FALSE;
      if (!hrlcd::RegisterElemClass(instance, true)) {
        ElemModuleDetach();
        return FALSE;
      }
      // The skin: located once, its colours read now.
      char module[MAX_PATH] = "", current[MAX_PATH] = "";
      GetModuleFileNameA(instance, module, sizeof module);
      GetCurrentDirectoryA(sizeof current, current);
      char* name = std::strrchr(module, '\\');
      const char* file = name ? name + 1 : module;
      if (name) *name = 0;
      hrlcd::LocateSkin(GetCommandLineA(), current, name ? module : "", file, WindowsProfile(),
                        hrlcd::ModuleSkinPath());
      hrlcd::ReadSkinColors(WindowsProfile(), hrlcd::ModuleSkinPath(), &hrlcd::ModuleSkin());
      break;
    }
    case DLL_PROCESS_DETACH:
      hrlcd::RegisterElemClass(instance, false);
      ElemModuleDetach();
      break;
    case DLL_THREAD_ATTACH:
    case DLL_THREAD_DETACH:
      break;
    default:
      return FALSE;
  }
  return TRUE;
}
