// Qvmxel1b.dll: its library entry, the skin values and images it reads
// beyond the utilities' common ones, its two window classes, the little
// window in the mixer column and the big editor window.
#include <windows.h>
#include <commdlg.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "elements/Qvmxel1b/spanapi.h"
#include "elements/controls/win32/ctlwin.h"
#include "elements/elemscale.h"
#include "elements/win32/elemwin.h"
#include "mixer/model/util/win32/profile_win.h"

namespace span {
namespace {

constexpr char kLittleClass[] = "QVSPANXX_LWC";
constexpr char kBigClass[] = "QVSPANXX_BWC";
constexpr int kBigW = 315, kBigH = 586;

// Control ids. Two pairs share an id: the XY-mirror button and the Div F/R
// fader (11), the panner and the Div F/R spin box (12). Each pair is told
// apart by the kind of its notification: buttons send button messages,
// faders and the panner drag messages, spin boxes spin messages.
enum : int {
  kIdMute = 2, kIdLoad = 3, kIdSave = 4, kIdDot1 = 6, kIdDot2 = 7, kIdMode0 = 8, kIdDivFRFader = 11,
  kIdPanner = 12, kIdDivFRSpin = 12, kIdXFader = 13, kIdXSpin = 14, kIdYFader = 15, kIdYSpin = 16,
  kIdDivFFader = 17, kIdDivFSpin = 18, kIdDivRFader = 19, kIdDivRSpin = 20, kIdCenterFader = 23,
  kIdCenterSpin = 24, kIdLfeFader = 25, kIdLfeSpin = 26, kIdLfeMute = 27, kIdSolo = 28, kIdSoloGroup = 29,
  kIdFaderGroup = 30, kIdVolSpin = 31, kIdVolFader = 32, kIdMeter = 33, kIdName = 34, kIdSpk = 40, kIdGain = 50,
};

// Module images: bitmap resources and the skin keys that replace them.
enum PanImage {
  kPiMute2, kPiLPan, kPiRPan, kPiNoMir, kPiXMir, kPiYMir, kPiXYMir, kPiLfeMute, kPiSpkDn, kPiSpkUp,
  kPiLogo14, kPiLogo15, kPiLogo24, kPiLogo25, kPanImages
};
constexpr int kPanImageRes[kPanImages] = {281, 275, 276, 277, 278, 279, 280, 272, 273, 274, 260, 261, 262, 263};
constexpr uint32_t kPanImageKey[kPanImages] = {
    IDS_img_Mute2_Button, IDS_img_LPanAct_Button, IDS_img_RPanAct_Button, IDS_img_NoMir_Button,
    IDS_img_XMir_Button, IDS_img_YMir_Button, IDS_img_XYMir_Button, IDS_img_LFEMute_Button,
    IDS_img_SpkDn_Button, IDS_img_SpkUp_Button, IDS_img_Logo_14, IDS_img_Logo_15, IDS_img_Logo_24,
    IDS_img_Logo_25};
char g_images[kPanImages][kElemPathSize];
bool g_registered = false;

uint32_t Col(int slot) { return ElemModule().Skin.Colors[slot]; }

struct LittleData {
  Element* E;
  int Narrow;
  SurPanner8Data Pan;
  HBmButton8Data Solo, Mute;
  SpinBox8Data SoloGroup, FaderGroup, Volume;
  Fader8Data VolFader;
  Peak8Data Meter;
  ColBox8Data Name;
};

struct BigData {
  Element* E;
  HBmButton8Data Load, Save, Mute, Dot[2], Mode[4], LfeMute, Spk[kSpeakers], Logo;
  SurPanner8Data Pan;
  Fader8Data XF, YF, DivF[4], LfeF;
  SpinBox8Data XS, YS, DivS[4], LfeS;
  Label8Data Gain[kSpeakers];
  HWND GainWnd[kSpeakers];
};

template <typename T>
T* DataOf(HWND wnd) {
  return reinterpret_cast<T*>(GetWindowLongPtrA(wnd, 0));
}

HWND Make(HWND parent, const char* cls, int id, int x, int y, int w, int h, void* record, const char* text = "",
          bool visible = true) {
  return CreateWindowExA(0, cls, text, WS_CHILD | (visible ? WS_VISIBLE : 0), x, y, w, h, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ElemModule().Instance, record);
}

// A button face: the skin's file when its key names one, else the module's
// own bitmap.
void Button(HBmButton8Data* d, const char* file, int resource, bool onRow = true) {
  if (*file) {
    d->Bitmap = file;
    d->Flags = kHBmFile;
  } else {
    d->Bitmap = MAKEINTRESOURCEA(resource);
    d->Flags = 0;
  }
  if (onRow) d->Flags |= kHBmOnRow;
  d->MaskColor = 0;
}

void Spin(SpinBox8Data* d, int32_t value, int32_t lo, int32_t hi, int32_t steps, int32_t divisor) {
  uint32_t* c = &d->Text;
  for (int slot = kCol_SpinBox_Text; slot <= kCol_SpinBox_Border_OuterBottom; ++slot) *c++ = Col(slot);
  d->Value = value;
  d->Minimum = lo;
  d->Maximum = hi;
  d->StepCount = steps;
  d->Divisor = divisor;
}

void Fader(Fader8Data* d, int w, int h, int marks) {
  d->Width = w;
  d->Height = h;
  d->CapLen = 13;
  d->Marks = marks;
  uint32_t* c = &d->CapLine;
  for (int slot = kCol_Fader_Slider_Line; slot <= kCol_Fader_Slot_Border_Bottom; ++slot) *c++ = Col(slot);
}

void Panner(SurPanner8Data* d, const Element* e) {
  d->Stereo = IsStereo(e->Type);
  d->Dot1 = e->Dot1Color;
  d->Dot2 = e->Dot2Color;
  d->Trapezoid = Col(kCol_SurPanner_Rectangle);
  d->GridColor = Col(kCol_SurPanner_Grid);
  d->Background = Col(kCol_SurPanner_Background);
}

int Travel(const Fader8Data& f, bool horizontal) { return (horizontal ? f.Width : f.Height) - f.CapLen; }

void Lit(HBmButton8Data* b, uint32_t on, int row = -1) { HBmButton8SetState(on ? 1 : 0, b, row); }
void SpinTo(SpinBox8Data* s, int32_t v) {
  s->Value = v;
  SpinBox8Redraw(s);
}

void DotsTo(SurPanner8Data* p, const Element* e) {
  int32_t x32, y32;
  DotToPanner(e->St.X1, e->St.Y1, &x32, &y32);
  SurPanner8SetDot(p, x32, y32, 1);
  DotToPanner(e->St.X2, e->St.Y2, &x32, &y32);
  SurPanner8SetDot(p, x32, y32, 0);
  p->Dot1 = e->Dot1Color;
  p->Dot2 = e->Dot2Color;
  if (p->Wnd) InvalidateRect(p->Wnd, nullptr, FALSE);
}

// Both dots from the field; the pan mode applied from the selected dot.
void DotsFrom(Element* e, const SurPanner8Data* p) {
  int32_t x32, y32;
  SurPanner8GetDot(p, &x32, &y32, 1);
  PannerToDot(x32, y32, &e->St.X1, &e->St.Y1);
  if (IsStereo(e->Type)) {
    SurPanner8GetDot(p, &x32, &y32, 0);
    PannerToDot(x32, y32, &e->St.X2, &e->St.Y2);
  }
  ApplyPanMode(e, int(e->SelectedDot1));
}

void ReportDots(Element* e) {
  for (int r : {kXPan, kYPan, kXPanR, kYPanR}) ReportRow(e, r);
}

// --- Little window ------------------------------------------------------------

void LittleRefresh(LittleData* w) {
  Element* e = w->E;
  Lit(&w->Solo, e->St.Solo == 1 || e->St.Solo == 3, e->St.Solo ? 2 : 0);
  Lit(&w->Mute, e->St.Mute);
  SpinTo(&w->SoloGroup, int32_t(e->St.SoloGroup) + 1);
  SpinTo(&w->FaderGroup, int32_t(e->St.FaderGroup) + 1);
  SpinTo(&w->Volume, TenthsDbFromGain(e->St.Volume));
  VFader8SetPos(FaderPosFromGain6(int32_t(e->St.Volume), Travel(w->VolFader, false), 0), &w->VolFader);
  DotsTo(&w->Pan, e);
}

void LittleLabel(HWND wnd, LittleData* w) {
  Element* e = w->E;
  const uint32_t blocked = e->Blocked;
  w->Name.Text = Col(e->Greyed ? kCol_Label_Text_Blocked : kCol_Label_Text);
  if (e->Big) {
    w->Name.Text = GetSysColor(COLOR_CAPTIONTEXT);
    w->Name.LeftBackground = w->Name.RightBackground = GetSysColor(COLOR_ACTIVECAPTION);
  } else {
    w->Name.LeftBackground = w->Name.RightBackground = Col(kCol_Label_Background);
  }
  w->Name.Blocked = blocked;
  w->SoloGroup.Blocked = w->FaderGroup.Blocked = w->Volume.Blocked = blocked;
  w->VolFader.Blocked = w->Meter.Blocked = blocked;
  for (HBmButton8Data* b : {&w->Solo, &w->Mute}) b->Flags = blocked ? (b->Flags | kHBmThird) : (b->Flags & ~kHBmThird);
  if (w->Name.Wnd) SetWindowTextA(w->Name.Wnd, e->Name);
  InvalidateRect(wnd, nullptr, TRUE);
  RedrawWindow(wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
}

void LittleCreate(HWND wnd, LittleData* w) {
  Element* e = w->E;
  RECT r;
  GetClientRect(wnd, &r);
  const int cw = r.right, n = cw < 90 ? 1 : 0, wide = n ? 0 : 1;
  w->Narrow = n;
  const ElemSkin& skin = ElemModule().Skin;
  Panner(&w->Pan, e);
  Make(wnd, kSurPanner8Class, kIdPanner, wide ? 26 : 11, 8, 19, 19, &w->Pan);
  Button(&w->Solo, skin.Images[kImgSolo], 269);
  Make(wnd, kHBmButton8Class, kIdSolo, cw + 68 * n - 87, 29, 16, 14, &w->Solo);
  Spin(&w->SoloGroup, int32_t(e->St.SoloGroup) + 1, 1, 99, 98, 1);
  Make(wnd, kSpinBox8Class, kIdSoloGroup, cw - 87, 125, 16, 14, &w->SoloGroup, "Solo Group", !n);
  Spin(&w->FaderGroup, int32_t(e->St.FaderGroup) + 1, 1, 99, 98, 1);
  Make(wnd, kSpinBox8Class, kIdFaderGroup, cw - 87, 151, 16, 14, &w->FaderGroup, "Fader Group", !n);
  Spin(&w->Volume, TenthsDbFromGain(e->St.Volume), -960, 60, 1020, 10);
  Make(wnd, kSpinBox8Class, kIdVolSpin, wide ? 22 : 7, 29, 28, 14, &w->Volume, "Volume (dB)");
  Fader(&w->VolFader, 26, 118, 12);
  if (e->KnobColor[4] != kNoColor) w->VolFader.CapBackground = e->KnobColor[4];
  w->VolFader.Pos = FaderPosFromGain6(int32_t(e->St.Volume), Travel(w->VolFader, false), 0);
  Make(wnd, kVFader8Class, kIdVolFader, wide ? 23 : 8, 46, 26, 118, &w->VolFader);
  Peak8Data& m = w->Meter;
  m.Vertical = 1;
  m.Meters = IsStereo(e->Type) ? 2 : 1;
  m.X = m.Meters == 1 ? 6 : 3;
  m.Y = n ? 3 : 5;
  m.Pitch = 6;
  m.Thickness = 3;
  m.Leds = n ? 25 : 28;
  uint32_t* c = &m.LedOff;
  for (int slot = kCol_PeakMeter_Led_Off; slot <= kCol_PeakMeter_Border_Bottom; ++slot) *c++ = Col(slot);
  Make(wnd, kPeak8Class, kIdMeter, wide ? 53 : 37, n ? 45 : 29, 16, n ? 120 : 136, &m);
  ColBox8Data& nb = w->Name;
  uint32_t* lc = &nb.FrameOn;
  for (int slot = kCol_Label_Border_On; slot <= kCol_Label_Border_Bottom; ++slot) *lc++ = Col(slot);
  nb.TextBlocked = Col(kCol_Label_Text_Blocked);
  nb.BackgroundBlocked = Col(kCol_Label_Background_Blocked);
  Make(wnd, kColBox8Class, kIdName, 3, 167, cw - 24, 14, &nb, e->Name);
  Button(&w->Mute, skin.Images[kImgMute], 265);
  Make(wnd, kHBmButton8Class, kIdMute, cw - 19, 167, 16, 14, &w->Mute);
  e->Little = wnd;
  LittleLabel(wnd, w);
  LittleRefresh(w);
  // The meters start from what the DSP holds.
  ReadMeters(e);
  if (e->St.BigOpen) Ui(e, kUiOpenBig);
}

void PaintText(HDC dc, int x, int y, const char* t) { TextOutA(dc, x, y, t, int(std::strlen(t))); }

void LittlePaint(HWND wnd, HDC dc, LittleData* w) {
  RECT r;
  GetClientRect(wnd, &r);
  RECT b{0, 4, r.right, r.bottom - 5};
  DrawLittleWindowBorder(dc, b);
  const int wide = w->Narrow ? 0 : 1, cw = r.right;
  if (Col(kCol_SurPanner_Border_On))
    ElemDrawFrame3D(dc, Col(kCol_SurPanner_Border_Left), Col(kCol_SurPanner_Border_Top),
                    Col(kCol_SurPanner_Border_Right), Col(kCol_SurPanner_Border_Bottom),
                    RECT{wide ? 25 : 10, 7, wide ? 46 : 31, 28});
  DrawFaderBorder(dc, int(w->E->Blocked), RECT{wide ? 22 : 7, 45, wide ? 50 : 35, 165});
  if (!wide) return;
  if (Col(kCol_Static_Border_On))
    ElemDrawFrame3D(dc, Col(kCol_Static_Border_Left), Col(kCol_Static_Border_Top), Col(kCol_Static_Border_Right),
                    Col(kCol_Static_Border_Bottom), RECT{cw - 19, 29, cw - 3, 165});
  HGDIOBJ old = SelectObject(dc, ElemModule().Fonts[1]);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, Col(w->E->Blocked ? kCol_Static_Text_Blocked : kCol_Static_Text));
  PaintText(dc, cw - 17, 32, "dB");
  PaintText(dc, cw - 15, 47, "0");
  static const char* const marks[] = {"-3", "-6", "-9", "-14", "-20", "-30", "-40", "-50"};
  static const int ys[] = {63, 75, 87, 99, 111, 127, 140, 152};
  for (int i = 0; i < 8; ++i) PaintText(dc, cw - 18, ys[i], marks[i]);
  PaintText(dc, cw - 85, 114, "SG");
  PaintText(dc, cw - 85, 140, "FG");
  SelectObject(dc, old);
}

void SetVolume(Element* e, uint32_t v) {
  e->St.Volume = v;
  Notify(e, kNotifyVolume, v);
  ReportRow(e, kVolume);
  WriteMatrix(e);
}

void OnLittleButton(LittleData* w, int id, bool right) {
  Element* e = w->E;
  if (id == kIdMute) {
    ToggleMute(e, right);
  } else if (id == kIdSolo) {
    if (right) Notify(e, kNotifyTouch, 1);
    const bool on = w->Solo.Flags & kHBmOn;
    SoloRequest(e, on ? 0 : (GetKeyState(VK_CONTROL) < 0 ? 3 : 1));
    if (right) Notify(e, kNotifyTouch, 0);
  }
}

void OnLittleSpin(LittleData* w, int id, int32_t v) {
  Element* e = w->E;
  if (id == kIdSoloGroup) {
    e->St.SoloGroup = uint32_t(std::clamp(v, 1, 99) - 1);
    Notify(e, kNotifySoloGroup, e->St.SoloGroup);
  } else if (id == kIdFaderGroup) {
    e->St.FaderGroup = uint32_t(std::clamp(v, 1, 99) - 1);
    Notify(e, kNotifyFaderGroup, e->St.FaderGroup);
  } else if (id == kIdVolSpin) {
    SetVolume(e, std::min<uint32_t>(GainFromTenthsDb(v), 65536));
    VFader8SetPos(FaderPosFromGain6(int32_t(e->St.Volume), Travel(w->VolFader, false), 0), &w->VolFader);
  }
}

// --- Big window -----------------------------------------------------------------

Fader8Data* DivFader(BigData* w, int id) {
  switch (id) {
    case kIdDivFFader: return &w->DivF[0];
    case kIdDivRFader: return &w->DivF[1];
    case kIdDivFRFader: return &w->DivF[2];
    case kIdCenterFader: return &w->DivF[3];
    default: return nullptr;
  }
}
constexpr int kDivRows[4] = {kDivF, kDivR, kDivFR, kCenter};

int32_t SelX(const Element* e) { return e->SelectedDot1 ? e->St.X1 : e->St.X2; }
int32_t SelY(const Element* e) { return e->SelectedDot1 ? e->St.Y1 : e->St.Y2; }

void BigRefresh(BigData* w) {
  Element* e = w->E;
  const State& s = e->St;
  Lit(&w->Mute, s.Mute);
  Lit(&w->Dot[0], e->SelectedDot1);
  Lit(&w->Dot[1], !e->SelectedDot1);
  for (int i = 0; i < 4; ++i) Lit(&w->Mode[i], s.PanMode == uint32_t(i));
  Lit(&w->LfeMute, s.LfeMute);
  DotsTo(&w->Pan, e);
  SurPanner8SetShape(&w->Pan, int(s.DivF), int(s.DivR), int(s.DivFR));
  const uint32_t xc = e->KnobColor[e->SelectedDot1 ? 0 : 1], yc = e->KnobColor[e->SelectedDot1 ? 2 : 3];
  w->XF.CapBackground = xc != kNoColor ? xc : Col(kCol_Fader_Slider_Background);
  w->YF.CapBackground = yc != kNoColor ? yc : Col(kCol_Fader_Slider_Background);
  HFader8SetPos(PanToPos(SelX(e), Travel(w->XF, true), 0), &w->XF);
  VFader8SetPos(PanToPos(SelY(e), Travel(w->YF, false), 1), &w->YF);
  if (w->XF.Wnd) InvalidateRect(w->XF.Wnd, nullptr, FALSE);
  if (w->YF.Wnd) InvalidateRect(w->YF.Wnd, nullptr, FALSE);
  SpinTo(&w->XS, PanPercent(SelX(e)));
  SpinTo(&w->YS, PanPercent(SelY(e)));
  for (int i = 0; i < 4; ++i) {
    const int32_t v = RowValue(e, kDivRows[i]);
    VFader8SetPos(ScaleLinear(v, 100, Travel(w->DivF[i], false), 1), &w->DivF[i]);
    SpinTo(&w->DivS[i], v);
  }
  if (Is51(e->Type)) {
    w->LfeF.Blocked = w->LfeS.Blocked = s.LfeMute;
    VFader8SetPos(FaderPosFromGain(int32_t(s.Lfe), Travel(w->LfeF, false), 0), &w->LfeF);
    SpinTo(&w->LfeS, TenthsDbFromGain(s.Lfe));
  }
  // Speakers: on state, the C button's centre image, the gain labels of
  // the selected dot before the volume.
  const Gains g = PanLaw(SelX(e), SelY(e), s, Is51(e->Type));
  const double gains[kSpeakers] = {g.L, g.C, g.R, g.Ls, g.S, g.Rs};
  for (int i = 0; i < kSpeakers; ++i) {
    Lit(&w->Spk[i], s.On[i], i == kSpkC ? CenterImageRow(int32_t(s.Center)) : 0);
    w->Gain[i].Text = Col(s.On[i] ? kColSpan_Title_Text : kColSpan_Title_Text_Blocked);
    char t[16];
    GainLabel(gains[i], t);
    if (w->GainWnd[i]) {
      SetWindowTextA(w->GainWnd[i], t);
      InvalidateRect(w->GainWnd[i], nullptr, TRUE);
    }
  }
}

void BigCaption(Element* e) {
  if (!e->Big) return;
  char text[96];
  std::snprintf(text, sizeof text, StrText(IDS_SPAN_CAPTION), int(e->Column) + 1, int(e->Index) + 1);
  SetWindowTextA(e->Big, text);
}

void BigCreate(HWND wnd, BigData* w) {
  Element* e = w->E;
  const ElemSkin& skin = ElemModule().Skin;
  RECT r;
  GetClientRect(wnd, &r);
  const bool stereo = IsStereo(e->Type), s51 = Is51(e->Type);
  Button(&w->Load, skin.Images[kImgLoad], 266);
  Make(wnd, kHBmButton8Class, kIdLoad, 10, 3, 23, 22, &w->Load);
  Button(&w->Save, skin.Images[kImgSave], 267);
  Make(wnd, kHBmButton8Class, kIdSave, 33, 3, 23, 22, &w->Save);
  Button(&w->Mute, g_images[kPiMute2], kPanImageRes[kPiMute2]);
  Make(wnd, kHBmButton8Class, kIdMute, r.right - 31, 3, 23, 22, &w->Mute);
  if (stereo) {
    Button(&w->Dot[0], g_images[kPiLPan], kPanImageRes[kPiLPan]);
    Make(wnd, kHBmButton8Class, kIdDot1, 63, 320, 15, 13, &w->Dot[0]);
    Button(&w->Dot[1], g_images[kPiRPan], kPanImageRes[kPiRPan]);
    Make(wnd, kHBmButton8Class, kIdDot2, 179, 320, 15, 13, &w->Dot[1]);
    for (int i = 0; i < 4; ++i) {
      Button(&w->Mode[i], g_images[kPiNoMir + i], kPanImageRes[kPiNoMir + i]);
      Make(wnd, kHBmButton8Class, kIdMode0 + i, 268, 402 + 26 * i, 26, 26, &w->Mode[i]);
    }
  }
  Panner(&w->Pan, e);
  Make(wnd, kSurPanner8Class, kIdPanner, 11, 64, 237, 237, &w->Pan);
  Fader(&w->XF, 237, 26, 17);
  Make(wnd, kHFader8Class, kIdXFader, 11, 337, 237, 26, &w->XF);
  Spin(&w->XS, 0, -100, 100, 200, 1);
  Make(wnd, kSpinBox8Class, kIdXSpin, 267, 341, 28, 14, &w->XS, "X Pan");
  Fader(&w->YF, 26, 237, 17);
  Make(wnd, kVFader8Class, kIdYFader, 268, 64, 26, 237, &w->YF);
  Spin(&w->YS, 0, -100, 100, 200, 1);
  Make(wnd, kSpinBox8Class, kIdYSpin, 267, 309, 28, 14, &w->YS, "Y Pan");
  static const int fx[4] = {16, 59, 102, 159}, fid[4] = {kIdDivFFader, kIdDivRFader, kIdDivFRFader, kIdCenterFader};
  static const int sid[4] = {kIdDivFSpin, kIdDivRSpin, kIdDivFRSpin, kIdCenterSpin};
  static const char* const names[4] = {"Divergence Front (%)", "Divergence Rear (%)", "Divergence F/R (%)",
                                       "Center %"};
  for (int i = 0; i < 4; ++i) {
    Fader(&w->DivF[i], 26, 95, 7);
    Make(wnd, kVFader8Class, fid[i], fx[i], 401, 26, 95, &w->DivF[i]);
    Spin(&w->DivS[i], 0, 0, 100, 100, 1);
    Make(wnd, kSpinBox8Class, sid[i], fx[i] - 1, 504, 28, 14, &w->DivS[i], names[i]);
  }
  if (s51) {
    Fader(&w->LfeF, 26, 95, 7);
    Make(wnd, kVFader8Class, kIdLfeFader, 216, 401, 26, 95, &w->LfeF);
    Spin(&w->LfeS, 0, -960, 0, 960, 10);
    Make(wnd, kSpinBox8Class, kIdLfeSpin, 215, 504, 28, 14, &w->LfeS, "LFE (dB)");
    Button(&w->LfeMute, g_images[kPiLfeMute], kPanImageRes[kPiLfeMute]);
    Make(wnd, kHBmButton8Class, kIdLfeMute, 219, 376, 20, 20, &w->LfeMute);
  }
  static const int sx[3] = {10, 113, 217};
  for (int i = 0; i < kSpeakers; ++i) {
    const bool rear = i >= kSpkLs;
    const bool shown = rear ? (s51 ? i != kSpkCs : i == kSpkCs) : true;
    const int x = sx[i % 3], y = rear ? 302 : 45;
    Button(&w->Spk[i], g_images[rear ? kPiSpkUp : kPiSpkDn], kPanImageRes[rear ? kPiSpkUp : kPiSpkDn]);
    Make(wnd, kHBmButton8Class, kIdSpk + i, x, y, 32, 18, &w->Spk[i], "", shown);
    w->Gain[i].Background = Col(kColSpan_Title_Background);
    w->GainWnd[i] = Make(wnd, kLabel8Class, kIdGain + i, x, rear ? 322 : 33, 32, 10, &w->Gain[i], "", shown);
  }
  const int logo = kPiLogo14 + (stereo ? 2 : 0) + (s51 ? 1 : 0);
  Button(&w->Logo, g_images[logo], kPanImageRes[logo], false);
  Make(wnd, kHBmButton8Class, -1, 2, r.bottom - 28, 305, 28, &w->Logo);
  BigRefresh(w);
}

void BigPaint(HWND wnd, HDC dc, BigData* w) {
  RECT r;
  GetClientRect(wnd, &r);
  const ElemModuleGlobals& m = ElemModule();
  const char* path = w->E->St.PresetPath;
  const char* file = std::strrchr(path, '\\');
  file = file ? file + 1 : path;
  HGDIOBJ old = SelectObject(dc, m.Fonts[4]);
  SetBkMode(dc, OPAQUE);
  SetTextColor(dc, Col(kCol_BigWindow_Header_Text));
  SetBkColor(dc, Col(kCol_BigWindow_Header_Background));
  RECT head{65, 5, 267, 23};
  ExtTextOutA(dc, 67, 8, ETO_OPAQUE | ETO_CLIPPED, &head, file, UINT(std::strlen(file)), nullptr);
  if (Col(kCol_BigWindow_Header_Border_On)) {
    ElemDrawFrame3D(dc, Col(kCol_BigWindow_Header_Border_OuterLeft), Col(kCol_BigWindow_Header_Border_OuterTop),
                    Col(kCol_BigWindow_Header_Border_OuterRight), Col(kCol_BigWindow_Header_Border_OuterBottom),
                    RECT{63, 3, 269, 25});
    ElemDrawFrame3D(dc, Col(kCol_BigWindow_Header_Border_InnerLeft), Col(kCol_BigWindow_Header_Border_InnerTop),
                    Col(kCol_BigWindow_Header_Border_InnerRight), Col(kCol_BigWindow_Header_Border_InnerBottom),
                    RECT{64, 4, 268, 24});
  }
  {
    HPEN up = CreatePen(PS_SOLID, 1, Col(kCol_BigWindow_Header_Upper_Line));
    HPEN lo = CreatePen(PS_SOLID, 1, Col(kCol_BigWindow_Header_Lower_Line));
    HGDIOBJ op = SelectObject(dc, up);
    MoveToEx(dc, 0, 28, nullptr);
    LineTo(dc, r.right, 28);
    SelectObject(dc, lo);
    MoveToEx(dc, 0, 29, nullptr);
    LineTo(dc, r.right, 29);
    SelectObject(dc, op);
    DeleteObject(up);
    DeleteObject(lo);
  }
  if (Col(kCol_SurPanner_Border_On))
    ElemDrawFrame3D(dc, Col(kCol_SurPanner_Border_Left), Col(kCol_SurPanner_Border_Top),
                    Col(kCol_SurPanner_Border_Right), Col(kCol_SurPanner_Border_Bottom), RECT{10, 63, 249, 302});
  SelectObject(dc, m.Fonts[5]);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, Col(kColSpan_Static_Text));
  PaintText(dc, Is51(w->E->Type) ? 126 : 11, 321, "X");
  PaintText(dc, 277, 50, "Y");
  PaintText(dc, 41, 374, "DIVERGENCE");
  PaintText(dc, 13, 386, "FRONT");
  PaintText(dc, 57, 386, "REAR");
  PaintText(dc, 106, 386, "F/R");
  PaintText(dc, 151, 374, "CENTER");
  PaintText(dc, 167, 386, "%");
  if (IsStereo(w->E->Type)) {
    PaintText(dc, 266, 374, "L <-> R");
    PaintText(dc, 272, 386, "REL");
  }
  SelectObject(dc, old);
}

void Changed(Element* e, int row) {
  ReportRow(e, row);
  WriteMatrix(e);
  Ui(e, kUiValues);
}

// Load and Save of the preset file through the file dialogs.
void PresetLoad(HWND wnd, Element* e) {
  char path[kPathSize];
  std::snprintf(path, sizeof path, "%s", e->St.PresetPath);
  if (!FileDialog(1, 0, 0, path, sizeof path, IDS_SPAN_FILTER, IDS_SPAN_EXT, wnd)) return;
  HANDLE f = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  auto untitled = [e] {
    char* name = std::strrchr(e->St.PresetPath, '\\');
    name = name ? name + 1 : e->St.PresetPath;
    std::snprintf(name, size_t(e->St.PresetPath + kPathSize - name), "%s", kUntitled);
  };
  if (f == INVALID_HANDLE_VALUE) {
    ElemMessageBox(wnd, IDS_PRESET_NOTFOUND, MB_ICONEXCLAMATION);
    untitled();
    return;
  }
  uint8_t bytes[kPresetSize + 1];
  DWORD got = 0;
  const BOOL ok = ReadFile(f, bytes, sizeof bytes, &got, nullptr);
  CloseHandle(f);
  State s{};
  if (!ok || !PresetParse(bytes, got, &s)) {
    ElemMessageBox(wnd, IDS_PRESET_BAD, MB_ICONEXCLAMATION);
    untitled();
    return;
  }
  PresetApply(e, s, path);
}

void PresetSave(HWND wnd, Element* e) {
  char path[kPathSize];
  std::snprintf(path, sizeof path, "%s", e->St.PresetPath);
  const char* name = std::strrchr(path, '\\');
  const bool titled = std::strcmp(name ? name + 1 : path, kUntitled) != 0;
  if (!FileDialog(0, titled ? OFN_OVERWRITEPROMPT : 0, 0, path, sizeof path, IDS_SPAN_FILTER, IDS_SPAN_EXT, wnd))
    return;
  char* dot = std::strrchr(path, '.');
  char* slash = std::strrchr(path, '\\');
  if (dot && (!slash || dot > slash)) *dot = 0;
  const size_t len = std::strlen(path);
  std::snprintf(path + len, sizeof path - len, ".%s", StrText(IDS_SPAN_EXT));
  HANDLE f = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) {
    ElemMessageBox(wnd, IDS_PRESET_NOOPEN, MB_ICONEXCLAMATION);
    return;
  }
  std::snprintf(e->St.PresetPath, kPathSize, "%s", path);
  uint8_t bytes[kPresetSize];
  PresetBuild(e->St, bytes);
  DWORD put = 0;
  if (!WriteFile(f, bytes, kPresetSize, &put, nullptr) || put != kPresetSize)
    ElemMessageBox(wnd, IDS_PRESET_RWERROR, MB_ICONEXCLAMATION);
  CloseHandle(f);
}

void OnBigButton(HWND wnd, BigData* w, int id, bool right, bool up) {
  Element* e = w->E;
  if (id == kIdLoad || id == kIdSave) {
    HBmButton8Data* b = id == kIdLoad ? &w->Load : &w->Save;
    if (!up) {
      Lit(b, 1);
    } else if (b->Flags & kHBmOn) {
      Lit(b, 0);
      if (id == kIdLoad) PresetLoad(wnd, e);
      else PresetSave(wnd, e);
      InvalidateRect(wnd, nullptr, TRUE);
    }
    return;
  }
  if (up) return;
  if (id == kIdMute) {
    ToggleMute(e, right);
  } else if (id == kIdDot1 || id == kIdDot2) {
    e->SelectedDot1 = !e->SelectedDot1;
    BigRefresh(w);
  } else if (id >= kIdMode0 && id < kIdMode0 + 4) {
    const State before = e->St;
    e->St.PanMode = uint32_t(id - kIdMode0);
    ApplyPanMode(e, int(e->SelectedDot1));
    if (before.X1 != e->St.X1 || before.Y1 != e->St.Y1 || before.X2 != e->St.X2 || before.Y2 != e->St.Y2)
      ReportDots(e);
    Changed(e, kPanMode);
  } else if (id == kIdLfeMute) {
    e->St.LfeMute = !e->St.LfeMute;
    Changed(e, kLfeMute);
  } else if (id >= kIdSpk && id < kIdSpk + int(kSpeakers)) {
    const int spk = id - kIdSpk;
    if (right) {
      SpeakerSolo(e, spk);
    } else {
      e->St.On[spk] = !e->St.On[spk];
      Changed(e, kLMute + spk);
    }
  }
}

void SetSelectedDot(Element* e, int32_t x, int32_t y) {
  (e->SelectedDot1 ? e->St.X1 : e->St.X2) = x;
  (e->SelectedDot1 ? e->St.Y1 : e->St.Y2) = y;
  ApplyPanMode(e, int(e->SelectedDot1));
  ReportDots(e);
  WriteMatrix(e);
  Ui(e, kUiValues);
}

void OnBigSpin(BigData* w, int id, int32_t v) {
  Element* e = w->E;
  switch (id) {
    case kIdXSpin: SetSelectedDot(e, PanFromPercent(v), SelY(e)); return;
    case kIdYSpin: SetSelectedDot(e, SelX(e), PanFromPercent(v)); return;
    case kIdLfeSpin:
      e->St.Lfe = std::min<uint32_t>(GainFromTenthsDb(v), 32768);
      Changed(e, kLfe);
      return;
    default:
      static const int spins[4] = {kIdDivFSpin, kIdDivRSpin, kIdDivFRSpin, kIdCenterSpin};
      for (int i = 0; i < 4; ++i)
        if (id == spins[i]) {
          SetRow(e, kDivRows[i], v);
          Changed(e, kDivRows[i]);
        }
  }
}

void OnBigFader(BigData* w, int id) {
  Element* e = w->E;
  if (id == kIdXFader) {
    SetSelectedDot(e, PosToPan(w->XF.Pos, Travel(w->XF, true), 0), SelY(e));
  } else if (id == kIdYFader) {
    SetSelectedDot(e, SelX(e), PosToPan(w->YF.Pos, Travel(w->YF, false), 1));
  } else if (id == kIdLfeFader) {
    uint32_t v = uint32_t(FaderGainFromPos(w->LfeF.Pos, Travel(w->LfeF, false), 0));
    if (TenthsDbFromGain(v) == 0) v = kUnity;
    e->St.Lfe = std::min<uint32_t>(v, 32768);
    Changed(e, kLfe);
  } else if (Fader8Data* f = DivFader(w, id)) {
    const int i = int(f - w->DivF);
    SetRow(e, kDivRows[i], ScaleLinearInv(f->Pos, 100, Travel(*f, false), 1));
    Changed(e, kDivRows[i]);
  }
}

// A panner drag in either window: a press or release picks the dot.
void OnPannerDrag(Element* e, const SurPanner8Data* p, UINT msg) {
  if (msg == WMU_CTL_DRAG_LBUTTONDOWN || msg == WMU_CTL_DRAG_LBUTTONUP) e->SelectedDot1 = 1;
  if ((msg == WMU_CTL_DRAG_RBUTTONDOWN || msg == WMU_CTL_DRAG_RBUTTONUP) && IsStereo(e->Type)) e->SelectedDot1 = 0;
  if (msg != WMU_CTL_DRAGMOVE) {
    Ui(e, kUiValues);
    return;
  }
  DotsFrom(e, p);
  ReportDots(e);
  WriteMatrix(e);
  Ui(e, kUiValues);
}

HWND OpenBig(Element* e) {
  if (!e->Little || e->Big) return e->Big;
  constexpr DWORD style = WS_POPUP | WS_BORDER | WS_SYSMENU | WS_DLGFRAME | WS_CAPTION | WS_VISIBLE;
  RECT r{0, 0, kBigW, kBigH};
  AdjustWindowRect(&r, style, FALSE);
  HWND big = CreateWindowExA(0, kBigClass, "", style, e->St.BigX, e->St.BigY, r.right - r.left, r.bottom - r.top,
                             e->Little, nullptr, ElemModule().Instance, e);
  if (!big) return nullptr;
  e->St.BigOpen = 1;
  BigCaption(e);
  if (!ElemWindowOnScreen(big)) ElemCenterWindow(big);
  if (LittleData* lw = DataOf<LittleData>(e->Little)) LittleLabel(e->Little, lw);
  return big;
}

void CloseBig(Element* e) {
  if (!e->Big) return;
  HWND big = e->Big;
  if (e->Little) e->St.BigOpen = 0;
  DestroyWindow(big);
  e->Big = nullptr;
}

LRESULT CALLBACK LittleProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  LittleData* w = DataOf<LittleData>(wnd);
  switch (msg) {
    case WM_CREATE: {
      auto* d = static_cast<LittleData*>(ElemAlloc(sizeof(LittleData)));
      if (!d) return -1;
      d->E = static_cast<Element*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
      SetWindowLongPtrA(wnd, 0, reinterpret_cast<LONG_PTR>(d));
      LittleCreate(wnd, d);
      return 0;
    }
    case WM_DESTROY:
      if (w) {
        w->E->Little = nullptr;
        CloseBig(w->E);
      }
      ElemDestroyChildWindows(wnd);
      return 0;
    case WM_NCDESTROY:
      ElemFree(w);
      SetWindowLongPtrA(wnd, 0, 0);
      break;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(wnd, &ps);
      if (w) LittlePaint(wnd, dc, w);
      EndPaint(wnd, &ps);
      return 0;
    }
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
      if (w && !w->E->Big && OpenBig(w->E)) Notify(w->E, kNotifyBigWindow, 0);
      return 0;
    case WM_USER + kUiLabel:
      if (w) LittleLabel(wnd, w);
      return 0;
    case WM_USER + kUiValues:
      if (w) LittleRefresh(w);
      return 0;
    case WMU_ELEM_REFRESH:
      if (w && ReadMeters(w->E)) {
        for (int i = 0; i < w->Meter.Meters; ++i) w->Meter.Level[i] = w->E->Meter[i];
        Peak8Update(&w->Meter);
      }
      return 0;
    case WMU_CTL_LBUTTONDOWN:
    case WMU_CTL_RBUTTONDOWN:
      if (w) OnLittleButton(w, int(wParam), msg == WMU_CTL_RBUTTONDOWN);
      return 0;
    case WMU_CTL_SPINSTEP:
      if (w)
        if (const SpinBox8Data* s = CtlData<SpinBox8Data>(reinterpret_cast<HWND>(lParam)))
          OnLittleSpin(w, int(wParam), s->Value);
      return 0;
    case WMU_CTL_DRAG_LBUTTONDOWN:
    case WMU_CTL_DRAG_LBUTTONUP:
    case WMU_CTL_DRAG_RBUTTONDOWN:
    case WMU_CTL_DRAG_RBUTTONUP:
    case WMU_CTL_DRAGMOVE:
      if (!w) return 0;
      if (int(wParam) == kIdPanner) {
        OnPannerDrag(w->E, &w->Pan, msg);
      } else if (int(wParam) == kIdVolFader) {
        if (msg == WMU_CTL_DRAG_RBUTTONDOWN) Notify(w->E, kNotifyTouch, 1);
        if (msg == WMU_CTL_DRAG_RBUTTONUP) Notify(w->E, kNotifyTouch, 0);
        if (msg == WMU_CTL_DRAGMOVE) {
          uint32_t v = uint32_t(FaderGainFromPos6(w->VolFader.Pos, Travel(w->VolFader, false), 0));
          if (TenthsDbFromGain(v) == 0) v = kUnity;
          SetVolume(w->E, std::min<uint32_t>(v, 65536));
          SpinTo(&w->Volume, TenthsDbFromGain(w->E->St.Volume));
        }
      }
      return 0;
  }
  return DefWindowProcA(wnd, msg, wParam, lParam);
}

LRESULT CALLBACK BigProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  BigData* w = DataOf<BigData>(wnd);
  switch (msg) {
    case WM_CREATE: {
      auto* d = static_cast<BigData*>(ElemAlloc(sizeof(BigData)));
      if (!d) return -1;
      d->E = static_cast<Element*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
      d->E->Big = wnd;
      SetWindowLongPtrA(wnd, 0, reinterpret_cast<LONG_PTR>(d));
      BigCreate(wnd, d);
      return 0;
    }
    case WM_MOVE:
      if (w) {
        RECT r;
        GetWindowRect(wnd, &r);
        w->E->St.BigX = r.left;
        w->E->St.BigY = r.top;
      }
      return 0;
    case WM_CLOSE:
      if (w) {
        w->E->St.BigOpen = 0;
        Element* e = w->E;
        DestroyWindow(wnd);
        Notify(e, kNotifyBigWindow, 1);
      }
      return 0;
    case WM_DESTROY:
      if (w) {
        Element* e = w->E;
        if (e->Big == wnd) e->Big = nullptr;
        if (e->Little)
          if (LittleData* lw = DataOf<LittleData>(e->Little)) LittleLabel(e->Little, lw);
      }
      ElemDestroyChildWindows(wnd);
      return 0;
    case WM_NCDESTROY:
      ElemFree(w);
      SetWindowLongPtrA(wnd, 0, 0);
      break;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(wnd, &ps);
      if (w) BigPaint(wnd, dc, w);
      EndPaint(wnd, &ps);
      return 0;
    }
    case WM_USER + kUiLabel:
      if (w) BigCaption(w->E);
      return 0;
    case WM_USER + kUiValues:
      if (w) BigRefresh(w);
      return 0;
    case WMU_CTL_LBUTTONDOWN:
    case WMU_CTL_RBUTTONDOWN:
    case WMU_CTL_LBUTTONUP:
    case WMU_CTL_RBUTTONUP:
      if (w)
        OnBigButton(wnd, w, int(wParam), msg == WMU_CTL_RBUTTONDOWN || msg == WMU_CTL_RBUTTONUP,
                    msg == WMU_CTL_LBUTTONUP || msg == WMU_CTL_RBUTTONUP);
      return 0;
    case WMU_CTL_SPINSTEP:
      if (w)
        if (const SpinBox8Data* s = CtlData<SpinBox8Data>(reinterpret_cast<HWND>(lParam)))
          OnBigSpin(w, int(wParam), s->Value);
      return 0;
    case WMU_CTL_DRAG_LBUTTONDOWN:
    case WMU_CTL_DRAG_LBUTTONUP:
    case WMU_CTL_DRAG_RBUTTONDOWN:
    case WMU_CTL_DRAG_RBUTTONUP:
    case WMU_CTL_DRAGMOVE:
      if (!w) return 0;
      if (int(wParam) == kIdPanner) OnPannerDrag(w->E, &w->Pan, msg);
      else if (msg == WMU_CTL_DRAGMOVE) OnBigFader(w, int(wParam));
      return 0;
  }
  return DefWindowProcA(wnd, msg, wParam, lParam);
}

void ReadPanImages() {
  const ElemModuleGlobals& m = ElemModule();
  SkinFile skin{};
  std::snprintf(skin.Path, sizeof skin.Path, "%s", m.SkinPath);
  skin.Store = &WindowsProfile();
  skin.Files = &ElemFilesWin();
  for (int i = 0; i < kPanImages; ++i) {
    g_images[i][0] = 0;
    if (!*skin.Path) continue;
    const uint32_t section = i >= kPiLogo14 ? IDS_SKIN_SURPAN : IDS_SKIN_COMMON;
    ReadSkinPath(skin, section, kPanImageKey[i], g_images[i], kElemPathSize);
  }
}

void UnregisterWindows(HINSTANCE instance) {
  if (!g_registered) return;
  for (const char* name : {kLittleClass, kBigClass}) {
    WNDCLASSA wc{};
    if (GetClassInfoA(instance, name, &wc)) {
      UnregisterClassA(name, instance);
      DeleteObject(wc.hbrBackground);
    }
  }
  g_registered = false;
}

}  // namespace

void UiRegister() {
  if (g_registered) return;
  const ElemModuleGlobals& m = ElemModule();
  struct {
    const char* Name;
    WNDPROC Proc;
    UINT Style;
    int Brush;
  } classes[] = {{kLittleClass, LittleProc, CS_DBLCLKS, kCol_LittleWindow_Background},
                 {kBigClass, BigProc, 0, kCol_BigWindow_Background}};
  for (const auto& c : classes) {
    WNDCLASSA wc{};
    wc.style = c.Style;
    wc.lpfnWndProc = c.Proc;
    wc.cbWndExtra = 4 > sizeof(LONG_PTR) ? 4 : sizeof(LONG_PTR);  // the window's data block
    wc.hInstance = m.Instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = CreateSolidBrush(m.Skin.Colors[c.Brush]);
    wc.lpszClassName = c.Name;
    RegisterClassA(&wc);
  }
  g_registered = true;
}

WndHandle UiCreateLittle(Element* e, WndHandle parent, const ElemPoint& at, int32_t width) {
  return CreateWindowExA(0, kLittleClass, e->Name, WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, at.x, at.y, width, 188,
                         parent, reinterpret_cast<HMENU>(e), ElemModule().Instance, e);
}

void UiCentred(int32_t w, int32_t h, int32_t* x, int32_t* y) {
  *x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2;
  *y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
}

uint32_t UiSkinDotColor(int dot) { return Col(dot == 1 ? kCol_SurPanner_Left_Dot : kCol_SurPanner_Right_Dot); }

void* ModuleAlloc(size_t size) { return ElemAlloc(size); }
void ModuleFree(void* block) { ElemFree(block); }

void Ui(Element* e, UiEvent what) {
  switch (what) {
    case kUiOpenBig:
      OpenBig(e);
      return;
    case kUiCloseBig:
      CloseBig(e);
      return;
    case kUiRefresh:
      if (e->Little) SendMessageA(e->Little, WMU_ELEM_REFRESH, 0, 0);
      return;
    case kUiColors:
      if (e->Little)
        if (LittleData* w = DataOf<LittleData>(e->Little)) {
          w->VolFader.CapBackground =
              e->KnobColor[4] != kNoColor ? e->KnobColor[4] : Col(kCol_Fader_Slider_Background);
          if (w->VolFader.Wnd) InvalidateRect(w->VolFader.Wnd, nullptr, FALSE);
        }
      [[fallthrough]];
    case kUiLabel:
    case kUiValues: {
      const UINT m = WM_USER + (what == kUiColors ? kUiValues : what);
      if (e->Little) SendMessageA(e->Little, m, 0, 0);
      if (e->Big) SendMessageA(e->Big, m, 0, 0);
      return;
    }
  }
}

int UiMetersShown(Element* e) {
  if (!e->Little || !IsWindowVisible(e->Little)) return 0;
  return !IsIconic(GetAncestor(e->Little, GA_ROOT));
}

}  // namespace span

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      if (!ElemModuleAttach(instance)) return FALSE;
      span::ReadPanImages();
      if (!CtlRegisterClasses(instance, kCtlTwelve)) {
        ElemModuleDetach();
        return FALSE;
      }
      break;
    case DLL_PROCESS_DETACH:
      span::UnregisterWindows(instance);
      CtlUnregisterClasses(instance, kCtlTwelve);
      ElemModuleDetach();
      break;
  }
  return TRUE;
}
