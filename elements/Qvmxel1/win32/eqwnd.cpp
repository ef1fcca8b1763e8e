// The EQ's windows beyond the little window's creation: its number boxes
// following the state, and the big editor with faders, the response curve
// and preset files.
#include <windows.h>
#include <commdlg.h>

#include <algorithm>
#include <cstring>

#include "elements/Qvmxel1/strings.h"
#include "elements/Qvmxel1/win32/qvwin.h"
#include "elements/elemscale.h"

namespace {

uint32_t Col(int slot) { return ElemModule().Skin.Colors[slot]; }

constexpr int kBandX[2] = {254, 378};
constexpr int kFaderTop = 84, kFaderLen = 120, kFaderCap = 10, kFaderTravel = kFaderLen - kFaderCap;

int32_t MaxFreq(const Element* e) { return std::min<int32_t>(int32_t(e->SampleRate / 2) - 1, 23999); }

// Fader positions of a band's frequency (log), bandwidth and gain; the
// top is the largest value.
int FreqPos(const Element* e, int32_t f) { return ScaleLog(f - 20, MaxFreq(e) - 20, kFaderTravel, 1); }
int QPos(int32_t q, int32_t qMin) { return ScaleLinear(q - qMin, 800 - qMin, kFaderTravel, 1); }
int GainPos(int32_t g) { return ScaleLinear(g + 240, 380, kFaderTravel, 1); }

void SetSpin(SpinBox8Data* s, int32_t v, int32_t lo, int32_t hi) {
  s->Value = v;
  s->Minimum = lo;
  s->Maximum = hi;
  SpinBox8Redraw(s);
}

void FillBands(WndData* w) {
  const Element* e = w->E;
  const EqState& s = e->St.Eq;
  BpEqFs8Data& c = w->Curve;
  c.Bands = 2;
  c.Freq[0] = s.Freq1;
  c.Freq[1] = s.Freq2;
  c.Width[0] = s.Q1;
  c.Width[1] = s.Q2;
  c.Gain[0] = s.Bypass ? 0 : s.Gain1;
  c.Gain[1] = s.Bypass ? 0 : s.Gain2;
  c.SampleRate = int32_t(e->SampleRate);
}

void BigRefresh(WndData* w) {
  const Element* e = w->E;
  const EqState& s = e->St.Eq;
  for (int b = 0; b < 2; ++b) {
    const int32_t f = b ? s.Freq2 : s.Freq1, q = b ? s.Q2 : s.Q1, g = b ? s.Gain2 : s.Gain1;
    const int32_t qMin = EqQMin(f, e->SampleRate);
    VFader8SetPos(FreqPos(e, f), &w->Fader[b]);
    VFader8SetPos(QPos(q, qMin), &w->Fader[2 + b]);
    VFader8SetPos(GainPos(g), &w->Fader[4 + b]);
    SetSpin(&w->Spin[b], f, 20, MaxFreq(e));
    SetSpin(&w->Spin[2 + b], q, qMin, 800);
    SetSpin(&w->Spin[4 + b], g, -240, 140);
  }
  HBmButton8SetState(s.Bypass ? 1 : 0, &w->Button[0], -1);
  FillBands(w);
  BpEqFs8Draw(&w->Curve, 1);
}

void MakeBig(HWND wnd, WndData* w) {
  const Element* e = w->E;
  SkinButton(&w->Button[1], kImgLoad, nullptr);
  MakeControl(wnd, kHBmButton8Class, kIdLoad, 10, 3, 23, 22, &w->Button[1]);
  SkinButton(&w->Button[2], kImgSave, nullptr);
  MakeControl(wnd, kHBmButton8Class, kIdSave, 33, 3, 23, 22, &w->Button[2]);
  SkinButton(&w->Button[0], kImgBypass, nullptr);
  MakeControl(wnd, kHBmButton8Class, kIdBypass, 432 - 26, 6, 16, 14, &w->Button[0]);
  BpEqFs8Data& c = w->Curve;
  c.X = c.Y = 2;
  c.Points = 176;
  c.Height = 184;
  c.Mode = kEqModeGrid;
  c.Curve = Col(kColEq_LCD_Foreground);
  c.CurveBackground = Col(kColEq_LCD_Background);
  c.Grid = Col(kColEq_LCD_Horizontal_Grid);
  c.BandMarker = Col(kColEq_LCD_Vertical_Grid);
  c.Background = Col(kColEq_LCD_Outline);
  c.FrameOn = Col(kColEq_LCD_Border_On);
  c.FrameLeft = Col(kColEq_LCD_Border_Left);
  c.FrameTop = Col(kColEq_LCD_Border_Top);
  c.FrameRight = Col(kColEq_LCD_Border_Right);
  c.FrameBottom = Col(kColEq_LCD_Border_Bottom);
  FillBands(w);
  MakeControl(wnd, kBpEqFs8Class, kIdEqCurve, 10, 37, 180, 188, &c);
  for (int b = 0; b < 2; ++b) {
    const int x = kBandX[b];
    for (int k = 0; k < 3; ++k) {
      const int col = x + 38 * (k - 1), i = 2 * k + b;
      SkinFader(&w->Fader[i], 16, kFaderLen, kFaderCap, 11);
      MakeControl(wnd, kVFader8Class, kIdEqFader + i, col - 8, kFaderTop, 16, kFaderLen, &w->Fader[i]);
      const char* names[3] = {"Freq (Hz)", "Q (1/Oct)", "Gain (dB)"};
      SkinSpin(&w->Spin[i], 0, 0, 1, k == 0 ? 100 : k == 1 ? 790 : 380, k == 0 ? 1 : k == 1 ? 100 : 10,
               k == 0 ? uint32_t{kSpinLog} : 0u);
      MakeControl(wnd, kSpinBox8Class, kIdEqSpin + i, col - 17, 211, 34, 14, &w->Spin[i], names[k]);
    }
  }
  (void)e;
  BigRefresh(w);
}

// --- Presets ------------------------------------------------------------------------------

void PathToUntitled(char* path) {
  char* name = std::max(std::strrchr(path, '\\'), std::strrchr(path, ':'));
  char* at = name ? name + 1 : path;
  const size_t room = kPresetPathSize - size_t(at - path);
  std::strncpy(at, kUntitled, room - 1);
  path[kPresetPathSize - 1] = '\0';
}

void LoadPreset(HWND wnd, Element* e) {
  char path[kPresetPathSize];
  std::memcpy(path, e->St.Eq.PresetPath, sizeof path);
  if (!FileDialog(1, OFN_FILEMUSTEXIST, 0, path, sizeof path, IDS_EQ_FILTER, IDS_EQ_EXT, wnd)) return;
  HANDLE f = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) {
    PathToUntitled(path);
    std::memcpy(e->St.Eq.PresetPath, path, sizeof path);
    ElemMessageBox(wnd, IDS_PRESET_NOTFOUND, MB_ICONEXCLAMATION);
    return;
  }
  // One byte more than a preset: a longer file shows itself.
  uint8_t bytes[kEqPresetSize + 1];
  DWORD got = 0;
  const BOOL ok = ReadFile(f, bytes, sizeof bytes, &got, nullptr);
  CloseHandle(f);
  EqState s{};
  if (!ok || !EqPresetParse(bytes, got, &s)) {
    PathToUntitled(path);
    std::memcpy(e->St.Eq.PresetPath, path, sizeof path);
    ElemMessageBox(wnd, ok ? IDS_PRESET_BAD : IDS_PRESET_RWERROR, MB_ICONEXCLAMATION);
    return;
  }
  std::memcpy(s.PresetPath, path, sizeof path);
  EqRestore(e, &s, sizeof s, 1);
}

void SavePreset(HWND wnd, Element* e) {
  char path[kPresetPathSize];
  std::memcpy(path, e->St.Eq.PresetPath, sizeof path);
  const char* name = std::max(std::strrchr(path, '\\'), std::strrchr(path, ':'));
  const int keep = std::strcmp(name ? name + 1 : path, kUntitled) != 0;
  if (!FileDialog(0, OFN_OVERWRITEPROMPT, keep, path, sizeof path, IDS_EQ_FILTER, IDS_EQ_EXT, wnd)) return;
  // The extension is always .QV2EQ.
  char* base = std::max(std::strrchr(path, '\\'), std::strrchr(path, ':'));
  char* dot = std::strrchr(base ? base : path, '.');
  if (dot) *dot = '\0';
  if (std::strlen(path) + 7 > sizeof path - 1) return;
  std::strcat(path, ".QV2EQ");
  std::memcpy(e->St.Eq.PresetPath, path, sizeof path);
  uint8_t bytes[kEqPresetSize];
  EqPresetBuild(e->St.Eq, bytes);
  HANDLE f = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) {
    ElemMessageBox(wnd, IDS_PRESET_NOOPEN, MB_ICONEXCLAMATION);
    return;
  }
  DWORD put = 0;
  const BOOL ok = WriteFile(f, bytes, sizeof bytes, &put, nullptr) && put == sizeof bytes;
  CloseHandle(f);
  if (!ok) ElemMessageBox(wnd, IDS_PRESET_RWERROR, MB_ICONEXCLAMATION);
}

void PaintHeads(HDC dc) {
  SetBkMode(dc, TRANSPARENT);
  SetTextAlign(dc, TA_TOP | TA_CENTER);
  HGDIOBJ old = SelectObject(dc, CtlFont(6));
  SetTextColor(dc, Col(kColEq_Title_Text));
  TextOutA(dc, kBandX[0], 38, "FILTER 1", 8);
  TextOutA(dc, kBandX[1], 38, "FILTER 2", 8);
  SetTextColor(dc, Col(kColEq_Static_Text));
  const char* heads[3] = {"Freq", "Q", "Gain"};
  const char* units[3] = {"Hz", "1/Oct", "dB"};
  for (int x : kBandX) {
    for (int k = 0; k < 3; ++k) {
      SelectObject(dc, CtlFont(4));
      TextOutA(dc, x + 38 * (k - 1), 56, heads[k], int(std::strlen(heads[k])));
      SelectObject(dc, CtlFont(1));
      TextOutA(dc, x + 38 * (k - 1), 68, units[k], int(std::strlen(units[k])));
    }
  }
  SelectObject(dc, old);
}

void OnBigFader(HWND wnd, WndData* w, int i) {
  Element* e = w->E;
  const EqState& s = e->St.Eq;
  const int b = i % 2, k = i / 2;
  const int pos = CtlData<Fader8Data>(GetDlgItem(wnd, kIdEqFader + i))->Pos;
  const int32_t f = b ? s.Freq2 : s.Freq1, qMin = EqQMin(f, e->SampleRate);
  int32_t v;
  if (k == 0) v = ScaleLogInv(pos, MaxFreq(e) - 20, kFaderTravel, 1) + 20;
  else if (k == 1) v = ScaleLinearInv(pos, 800 - qMin, kFaderTravel, 1) + qMin;
  else v = ScaleLinearInv(pos, 380, kFaderTravel, 1) - 240;
  static const uint32_t kKnob[6] = {1, 4, 2, 5, 3, 6};
  EqSetKnob(e, kKnob[i], v, 1);
}

}  // namespace

void EqLittleRefresh(WndData* w) {
  const Element* e = w->E;
  const EqState& s = e->St.Eq;
  for (int b = 0; b < 2; ++b) {
    const int32_t f = b ? s.Freq2 : s.Freq1;
    SetSpin(&w->Spin[b], f, 20, MaxFreq(e));
    SetSpin(&w->Spin[2 + b], b ? s.Q2 : s.Q1, EqQMin(f, e->SampleRate), 800);
    SetSpin(&w->Spin[4 + b], b ? s.Gain2 : s.Gain1, -240, 140);
  }
  HBmButton8SetState(s.Bypass ? 1 : 0, &w->Button[0], -1);
}

LRESULT CALLBACK EqBigProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  WndData* w = WndDataOf(wnd);
  LRESULT result = 0;
  if (w && BigCommon(wnd, w->E, msg, &result)) return result;
  switch (msg) {
    case WM_CREATE:
      w = WndDataCreate(wnd, lParam);
      if (!w) return -1;
      MakeBig(wnd, w);
      return 0;
    case WM_NCDESTROY:
      WndDataDestroy(wnd);
      break;
    case WM_USER + kUiValues:
      if (w) {
        // A restored state may place the window elsewhere.
        RECT r;
        GetWindowRect(wnd, &r);
        const EqState& s = w->E->St.Eq;
        if (r.left != s.BigX || r.top != s.BigY)
          SetWindowPos(wnd, nullptr, s.BigX, s.BigY, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        BigRefresh(w);
      }
      return 0;
    case WMU_CTL_LBUTTONDOWN:
    case WMU_CTL_RBUTTONDOWN:
      if (w && int(wParam) == kIdBypass) EqSetKnob(w->E, 0, !w->E->St.Eq.Bypass, 1);
      return 0;
    case WMU_CTL_LBUTTONUP:
    case WMU_CTL_RBUTTONUP:
      if (w && int(wParam) == kIdLoad) LoadPreset(wnd, w->E);
      if (w && int(wParam) == kIdSave) SavePreset(wnd, w->E);
      return 0;
    case WMU_CTL_DRAGMOVE:
      if (w && int(wParam) >= kIdEqFader && int(wParam) < kIdEqFader + 6) OnBigFader(wnd, w, int(wParam) - kIdEqFader);
      return 0;
    case WMU_CTL_SPINSTEP:
      if (w && int(wParam) >= kIdEqSpin && int(wParam) < kIdEqSpin + 6) {
        static const uint32_t kKnob[6] = {1, 4, 2, 5, 3, 6};
        EqSetKnob(w->E, kKnob[wParam - kIdEqSpin], w->Spin[wParam - kIdEqSpin].Value, 1);
      }
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(wnd, &ps);
      PaintHeads(dc);
      PaintLogo(dc, kLogoEq22, 70, 273 - 47);
      EndPaint(wnd, &ps);
      return 0;
    }
  }
  return DefWindowProcA(wnd, msg, wParam, lParam);
}
