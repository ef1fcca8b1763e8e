// The little windows of every family: their controls, how the controls'
// notifications turn into edits, and how the controls follow the state.
#include <algorithm>
#include <cstdio>

#include "elements/Qvmxel1/strings.h"
#include "elements/Qvmxel1/win32/qvwin.h"
#include "elements/elemscale.h"

namespace {

uint32_t Col(int slot) { return ElemModule().Skin.Colors[slot]; }
const ELEMTYPEPROPINFO& Props(const Element* e) { return kTypeTable[e->Row].Props; }

constexpr int kCap = 8;  // fader cap length in pixels
constexpr UINT_PTR kFlashTimer = 1;
constexpr UINT kFlashMs = 400;

int Travel(const Fader8Data& f, bool horizontal) { return (horizontal ? f.Width : f.Height) - f.CapLen; }

// --- Values into the controls ------------------------------------------------------

void Lit(HBmButton8Data* b, uint32_t on) { HBmButton8SetState(on ? 1 : 0, b, -1); }

void SpinTo(SpinBox8Data* s, int32_t v) {
  s->Value = v;
  SpinBox8Redraw(s);
}

void HFaderToGain(Fader8Data* f, uint32_t gain, bool plus6) {
  const int t = Travel(*f, true);
  HFader8SetPos(plus6 ? FaderPosFromGain6(int32_t(gain), t, 1) : FaderPosFromGain(int32_t(gain), t, 1), f);
}

void Refresh(HWND wnd, WndData* w) {
  Element* e = w->E;
  switch (e->Fam) {
    case kFamInput:
    case kFamOutput:
      Lit(&w->Button[0], e->St.Switch.Mute);
      break;
    case kFamTrack:
      // Recording (3) flashes the lit button.
      Lit(&w->Button[0], e->St.Track.Record != 0);
      if (e->St.Track.Record == 3) SetTimer(wnd, kFlashTimer, kFlashMs, nullptr);
      else KillTimer(wnd, kFlashTimer);
      break;
    case kFamEq:
      EqLittleRefresh(w);
      break;
    case kFamFader:
      HFaderToGain(&w->Fader[0], e->St.Fader.Volume, true);
      SpinTo(&w->Spin[0], TenthsDbFromGain(e->St.Fader.Volume));
      break;
    case kFamSdl:
      SpinTo(&w->Spin[0], int32_t(e->St.Sdl.Delay));
      Lit(&w->Button[0], e->St.Sdl.Phase);
      break;
    case kFamSend:
      w->Pot.Value = int32_t(e->St.Send.Pan);
      RotPot8DrawPointer(&w->Pot);
      HFaderToGain(&w->Fader[0], e->St.Send.Volume, false);
      SpinTo(&w->Spin[0], TenthsDbFromGain(e->St.Send.Volume));
      Lit(&w->Button[0], e->St.Send.Mute);
      break;
    case kFamOutFader: {
      const OutFaderState& s = e->St.Out;
      Lit(&w->Button[0], s.Mute);
      Lit(&w->Button[1], s.Solo == 1 || s.Solo == 3);
      HFader8SetPos(ScaleLinear(int32_t(s.Pan), 128, Travel(w->Fader[1], true), 0), &w->Fader[1]);
      VFader8SetPos(FaderPosFromGain6(int32_t(s.Volume), Travel(w->Fader[0], false), 0), &w->Fader[0]);
      // Slider colours of set code 16; all ones is the skin's own.
      const uint32_t skin = Col(kCol_Fader_Slider_Background);
      w->Fader[1].CapBackground = e->PanColor == 0xFFFFFFFFu ? skin : e->PanColor;
      w->Fader[0].CapBackground = e->VolumeColor == 0xFFFFFFFFu ? skin : e->VolumeColor;
      SpinTo(&w->Spin[0], TenthsDbFromGain(s.Volume));
      SpinTo(&w->Spin[1], int32_t(s.SoloGroup) + 1);
      SpinTo(&w->Spin[2], int32_t(s.FaderGroup) + 1);
      SpinTo(&w->Spin[3], int32_t(s.Pan) - 64);
      InvalidateRect(wnd, nullptr, FALSE);
      break;
    }
    default:
      break;
  }
}

void RefreshLabel(HWND wnd, WndData* w) {
  Element* e = w->E;
  SetBlockedLook(w, e->Blocked);
  if (e->Fam == kFamTrack) {
    w->Label.LeftBackground = e->TrackColors[0];
    w->Label.RightBackground = e->TrackColors[1];
  }
  w->Label.Text = e->Greyed ? Col(kCol_Label_Text_Blocked) : Col(kCol_Label_Text);
  if (HWND label = GetDlgItem(wnd, e->Fam == kFamTrack ? kIdTrackLabel : e->Fam == kFamInput ? kIdInputLabel : kIdLabel))
    if (e->Fam != kFamPlaceholder && e->Fam != kFamEq && e->Fam != kFamSdl) SetWindowTextA(label, e->Name);
  if (e->Big) BigCaption(e);
  InvalidateRect(wnd, nullptr, TRUE);
  for (HWND c = GetWindow(wnd, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) InvalidateRect(c, nullptr, FALSE);
}

// --- Controls of each family ---------------------------------------------------------

void LabelAndButton(HWND wnd, WndData* w, int labelId, int buttonId, int image, int y, int width) {
  SkinLabel(&w->Label, Col(kCol_Label_Background), Col(kCol_Label_Background));
  MakeControl(wnd, kColBox8Class, labelId, 3, y, width - 24, 14, &w->Label, w->E->Name);
  SkinButton(&w->Button[0], image, nullptr);
  MakeControl(wnd, kHBmButton8Class, buttonId, width - 19, y, 16, 14, &w->Button[0]);
}

void MakeVolumeFader(HWND wnd, WndData* w, int x, int y, int width, bool plus6, uint32_t gain) {
  SkinFader(&w->Fader[0], width, 12, kCap, 0);
  const int t = width - kCap;
  w->Fader[0].Pos = plus6 ? FaderPosFromGain6(int32_t(gain), t, 1) : FaderPosFromGain(int32_t(gain), t, 1);
  MakeControl(wnd, kHFader8Class, kIdVolumeFader, x, y, width, 12, &w->Fader[0]);
  SkinSpin(&w->Spin[0], TenthsDbFromGain(gain), -960, plus6 ? 60 : 0, plus6 ? 1020 : 960, 10, 0);
  MakeControl(wnd, kSpinBox8Class, kIdVolumeBox, 0, 0, 40, 14, &w->Spin[0], ModStrText(IDS_VOLUME_DB), false);
}

void MakeOutFader(HWND wnd, WndData* w, int width) {
  Element* e = w->E;
  const OutFaderState& s = e->St.Out;
  SkinFader(&w->Fader[1], width - 24, 12, kCap, 3);
  w->Fader[1].Pos = ScaleLinear(int32_t(s.Pan), 128, width - 24 - kCap, 0);
  MakeControl(wnd, kHFader8Class, kIdPanFader, 3, 3, width - 24, 12, &w->Fader[1]);
  SkinButton(&w->Button[2], kImgPanCenter, nullptr);
  MakeControl(wnd, kHBmButton8Class, kIdPanCenter, width - 19, 2, 16, 14, &w->Button[2]);
  SkinButton(&w->Button[1], kImgSolo, nullptr);
  MakeControl(wnd, kHBmButton8Class, kIdSolo, width - 19, 19, 16, 14, &w->Button[1]);
  // The pan's entry box shares id 12 with the solo button: the two are
  // told apart by the notification they send.
  SkinSpin(&w->Spin[3], int32_t(s.Pan) - 64, -64, 64, 128, 1, 0);
  MakeControl(wnd, kSpinBox8Class, kIdPanBox, 0, 0, 40, 14, &w->Spin[3], ModStrText(IDS_PAN), false);
  const bool groups = width >= 90;
  SkinSpin(&w->Spin[1], int32_t(s.SoloGroup) + 1, 1, 99, 98, 1, 0);
  MakeControl(wnd, kSpinBox8Class, kIdSoloGroup, 3, 19, 24, 14, &w->Spin[1], ModStrText(IDS_SOLO_GROUP), groups);
  SkinSpin(&w->Spin[2], int32_t(s.FaderGroup) + 1, 1, 99, 98, 1, 0);
  MakeControl(wnd, kSpinBox8Class, kIdFaderGroup, 30, 19, 24, 14, &w->Spin[2], ModStrText(IDS_FADER_GROUP), groups);
  SkinFader(&w->Fader[0], 20, 110, 10, 9);
  w->Fader[0].Pos = FaderPosFromGain6(int32_t(s.Volume), 100, 0);
  MakeControl(wnd, kVFader8Class, kIdVolumeFader, 3, 37, 20, 110, &w->Fader[0]);
  SkinSpin(&w->Spin[0], TenthsDbFromGain(s.Volume), -960, 60, 1020, 10, 0);
  MakeControl(wnd, kSpinBox8Class, kIdVolumeBox, 3, 150, width - 6, 14, &w->Spin[0], ModStrText(IDS_VOLUME_DB));
  const int meters = int(std::max<uint32_t>(Props(e).Outputs, 2));
  SkinMeter(&w->Meter, meters, 24, 1, 5, 4);
  MakeControl(wnd, kPeak8Class, kIdMeter, 26, 37, std::min(width - 29, 2 + 5 * meters), 110, &w->Meter);
  SkinLabel(&w->Label, Col(kCol_Label_Background), Col(kCol_Label_Background));
  MakeControl(wnd, kColBox8Class, kIdLabel, 3, 167, width - 24, 14, &w->Label, e->Name);
  SkinButton(&w->Button[0], kImgMute, nullptr);
  MakeControl(wnd, kHBmButton8Class, kIdMute, width - 19, 167, 16, 14, &w->Button[0]);
}

void MakeEq(HWND wnd, WndData* w, int width) {
  const EqState& s = w->E->St.Eq;
  SkinLabel(&w->Label, Col(kCol_Title_Background), Col(kCol_Title_Background));
  MakeControl(wnd, kColBox8Class, kIdTitle, 3, 3, width - 24, 14, &w->Label,
              ModStrText(width < 90 ? IDS_EQ_SHORT : IDS_EQ_TITLE));
  SkinButton(&w->Button[0], kImgBypass, nullptr);
  MakeControl(wnd, kHBmButton8Class, kIdBypass, width - 19, 3, 16, 14, &w->Button[0]);
  const int32_t maxFreq = int32_t(w->E->SampleRate / 2 - 1);
  for (int b = 0; b < 2; ++b) {
    const int x = width - 87 + 34 * b;
    const bool shown = b == 1 || width >= 90;
    const int32_t freq = b ? s.Freq2 : s.Freq1;
    SkinSpin(&w->Spin[b], freq, 20, maxFreq, 100, 1, kSpinLog);
    MakeControl(wnd, kSpinBox8Class, kIdEqSpin + b, x, 19, 32, 14, &w->Spin[b], "Freq", shown);
    SkinSpin(&w->Spin[2 + b], b ? s.Q2 : s.Q1, EqQMin(freq, w->E->SampleRate), 800, 790, 100, 0);
    MakeControl(wnd, kSpinBox8Class, kIdEqSpin + 2 + b, x, 35, 32, 14, &w->Spin[2 + b], "Q", shown);
    SkinSpin(&w->Spin[4 + b], b ? s.Gain2 : s.Gain1, -240, 140, 380, 10, 0);
    MakeControl(wnd, kSpinBox8Class, kIdEqSpin + 4 + b, x, 51, 32, 14, &w->Spin[4 + b], "Gain", shown);
  }
  Lit(&w->Button[0], s.Bypass);
}

BOOL CreateControls(HWND wnd, WndData* w, int width) {
  Element* e = w->E;
  switch (e->Fam) {
    case kFamInput:
      LabelAndButton(wnd, w, kIdInputLabel, kIdMute, kImgMute, 3, width);
      break;
    case kFamTrack:
      LabelAndButton(wnd, w, kIdTrackLabel, kIdRecArm, kImgRecArm, 3, width);
      w->Label.LeftBackground = e->TrackColors[0];
      w->Label.RightBackground = e->TrackColors[1];
      break;
    case kFamEq:
      MakeEq(wnd, w, width);
      break;
    case kFamFader:
      MakeVolumeFader(wnd, w, 4, 4, width - 8, true, e->St.Fader.Volume);
      break;
    case kFamSdl:
      SkinLabel(&w->Label, Col(kCol_Label_Background), Col(kCol_Label_Background));
      MakeControl(wnd, kColBox8Class, kIdTitle, 3, 3, width - 60, 14, &w->Label, ModStrText(IDS_SDL_TITLE), width >= 90);
      SkinSpin(&w->Spin[0], int32_t(e->St.Sdl.Delay), 0, 255, 255, 1, 0);
      MakeControl(wnd, kSpinBox8Class, kIdDelayBox, width - 54, 3, 32, 14, &w->Spin[0],
                  ModStrText(IDS_DELAY_SAMPLES), width >= 56);
      SkinButton(&w->Button[0], kImgPhaseInv, nullptr);
      MakeControl(wnd, kHBmButton8Class, kIdPhase, width - 19, 3, 16, 14, &w->Button[0]);
      break;
    case kFamPeak: {
      const int meters = int(Props(e).Inputs);
      SkinMeter(&w->Meter, meters, std::clamp((width - 14) / 3, 1, 28), 0, meters == 1 ? 12 : 6, meters == 1 ? 10 : 5);
      MakeControl(wnd, kPeak8Class, kIdMeter, 3, 3, width - 6, 14, &w->Meter);
      break;
    }
    case kFamSend: {
      const bool pan = Props(e).Outputs == 2;
      SkinPot(&w->Pot, 14, int32_t(e->St.Send.Pan), 128);
      MakeControl(wnd, kRotPot8Class, kIdPanPot, 3, 2, 14, 14, &w->Pot, ModStrText(IDS_PAN), pan);
      MakeVolumeFader(wnd, w, 20, 3, width - 24, false, e->St.Send.Volume);
      LabelAndButton(wnd, w, kIdLabel, kIdMute, kImgMute, 19, width);
      break;
    }
    case kFamOutFader:
      MakeOutFader(wnd, w, width);
      break;
    case kFamOutput:
      LabelAndButton(wnd, w, kIdLabel, kIdMute, kImgMute, 7, width);
      break;
    case kFamPlaceholder:
      SkinLabel(&w->Label, Col(kCol_Label_Background), Col(kCol_Label_Background));
      MakeControl(wnd, kColBox8Class, kIdLabel, 0, 0, width, int(Props(e).LittleHeight), &w->Label,
                  ModStrText(IDS_UNKNOWN_TYPE));
      break;
    default:
      break;
  }
  Refresh(wnd, w);
  return TRUE;
}

// --- Notifications from the controls ----------------------------------------------------

// Numeric entry of a fader: the value from before the press goes back and
// the hidden box's entry dialog opens (a click and a double-click on it).
void OpenEntry(HWND wnd, int boxId) {
  HWND box = GetDlgItem(wnd, boxId);
  SendMessageA(box, WM_LBUTTONDOWN, MK_LBUTTON, 0);
  SendMessageA(box, WM_LBUTTONUP, 0, 0);
  SendMessageA(box, WM_LBUTTONDBLCLK, MK_LBUTTON, 0);
}

int FaderPos(HWND wnd, int id) {
  const Fader8Data* f = CtlData<Fader8Data>(GetDlgItem(wnd, id));
  return f ? f->Pos : 0;
}

void OnButton(HWND wnd, WndData* w, int id, bool right) {
  Element* e = w->E;
  switch (e->Fam) {
    case kFamInput:
    case kFamOutput:
      if (id == kIdMute) SwitchToggleMute(e);
      break;
    case kFamTrack:
      if (id == kIdRecArm) TrackRequestArm(e);
      break;
    case kFamEq:
      if (id == kIdBypass) EqSetKnob(e, 0, !e->St.Eq.Bypass, 1);
      break;
    case kFamSdl:
      if (id == kIdPhase) SdlSet(e, e->St.Sdl.Delay, !e->St.Sdl.Phase);
      Refresh(wnd, w);
      break;
    case kFamSend:
      if (id == kIdMute) SendSet(e, 2, !e->St.Send.Mute);
      Refresh(wnd, w);
      break;
    case kFamOutFader:
      if (id == kIdMute) OutToggleMute(e, right);
      if (id == kIdSolo) OutSoloButton(e, ElemKeyDown(VK_CONTROL), right);
      if (id == kIdPanCenter) {
        OutSetPan(e, 64);
        Refresh(wnd, w);
      }
      break;
    default:
      break;
  }
}

void OnSpin(HWND wnd, WndData* w, int id, int32_t v) {
  Element* e = w->E;
  switch (e->Fam) {
    case kFamEq: {
      static const uint32_t kKnobOfBox[6] = {1, 4, 2, 5, 3, 6};
      if (id >= kIdEqSpin && id < kIdEqSpin + 6) EqSetKnob(e, kKnobOfBox[id - kIdEqSpin], v, 1);
      break;
    }
    case kFamFader:
      if (id == kIdVolumeBox) FaderSetVolume(e, GainFromTenthsDb(v));
      break;
    case kFamSdl:
      if (id == kIdDelayBox) SdlSet(e, uint32_t(v), e->St.Sdl.Phase);
      break;
    case kFamSend:
      if (id == kIdVolumeBox) SendSet(e, 1, std::min<uint32_t>(GainFromTenthsDb(v), 32768));
      break;
    case kFamOutFader:
      if (id == kIdVolumeBox) OutSetVolume(e, GainFromTenthsDb(v));
      if (id == kIdPanBox) OutSetPan(e, uint32_t(std::clamp(v + 64, 0, 128)));
      if (id == kIdSoloGroup || id == kIdFaderGroup) OutSetGroup(e, id == kIdFaderGroup, uint32_t(std::max(v - 1, 0)));
      break;
    default:
      return;
  }
  if (e->Fam != kFamEq) Refresh(wnd, w);
}

void OnFader(HWND wnd, WndData* w, UINT msg, int id) {
  Element* e = w->E;
  const bool out = e->Fam == kFamOutFader;
  if (msg == WMU_CTL_DRAG_LBUTTONDOWN || msg == WMU_CTL_DRAG_RBUTTONDOWN) {
    w->RememberedVolume = int32_t(e->Fam == kFamSend ? e->St.Send.Volume : out ? e->St.Out.Volume : e->St.Fader.Volume);
    if (out && id == kIdVolumeFader && msg == WMU_CTL_DRAG_RBUTTONDOWN) Notify(e, kNotifyTouch, 1);
    return;
  }
  if (msg == WMU_CTL_DRAG_RBUTTONUP) {
    if (out && id == kIdVolumeFader) Notify(e, kNotifyTouch, 0);
    return;
  }
  if (msg == WMU_CTL_DRAG_DBLCLK) {
    if (out && id == kIdPanFader) {
      OpenEntry(wnd, kIdPanBox);
      return;
    }
    const uint32_t v = uint32_t(w->RememberedVolume);
    if (e->Fam == kFamSend) SendSet(e, 1, v);
    else if (out) OutSetVolume(e, v);
    else FaderSetVolume(e, v);
    Refresh(wnd, w);
    OpenEntry(wnd, kIdVolumeBox);
    return;
  }
  if (msg != WMU_CTL_DRAGMOVE) return;
  const int pos = FaderPos(wnd, id);
  switch (e->Fam) {
    case kFamFader:
      FaderSetVolume(e, FaderGainFromPos6(pos, Travel(w->Fader[0], true), 1));
      break;
    case kFamSend:
      SendSet(e, 1, FaderGainFromPos(pos, Travel(w->Fader[0], true), 1));
      break;
    case kFamOutFader:
      if (id == kIdPanFader) {
        OutSetPan(e, uint32_t(ScaleLinearInv(pos, 128, Travel(w->Fader[1], true), 0)));
      } else {
        uint32_t v = FaderGainFromPos6(pos, Travel(w->Fader[0], false), 0);
        // A fader standing on 0.0 dB means unity exactly.
        if (TenthsDbFromGain(v) == 0) v = 32768;
        OutSetVolume(e, v);
      }
      break;
    default:
      return;
  }
  const int32_t v = int32_t(e->Fam == kFamSend ? e->St.Send.Volume : out ? e->St.Out.Volume : e->St.Fader.Volume);
  SpinTo(&w->Spin[0], TenthsDbFromGain(uint32_t(v)));
  if (out) SpinTo(&w->Spin[3], int32_t(e->St.Out.Pan) - 64);
}

void OnRefreshMeters(WndData* w) {
  Element* e = w->E;
  const int n = ReadMeters(e);
  if (n == 0) return;
  for (int m = 0; m < w->Meter.Meters && m < 8; ++m) w->Meter.Level[m] = e->Meter[m];
  Peak8Update(&w->Meter);
}

bool HasBig(const Element* e) { return e->Fam == kFamEq || e->Fam == kFamTrack || e->Fam == kFamSend; }

}  // namespace

LRESULT CALLBACK LittleProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  WndData* w = WndDataOf(wnd);
  switch (msg) {
    case WM_CREATE: {
      w = WndDataCreate(wnd, lParam);
      if (!w || !w->E) return -1;
      w->E->Little = wnd;
      const int width = reinterpret_cast<CREATESTRUCTA*>(lParam)->cx;
      CreateControls(wnd, w, width);
      RefreshLabel(wnd, w);
      const Element* e = w->E;
      if ((e->Fam == kFamEq && e->St.Eq.BigOpen) || (e->Fam == kFamTrack && e->St.Track.BigOpen) ||
          (e->Fam == kFamSend && e->St.Send.BigOpen))
        OpenBigWindow(w->E);
      return 0;
    }
    case WM_DESTROY:
      if (w && w->E) {
        // The state keeps whether the big window was open, for the next
        // little window.
        w->E->Little = nullptr;
        CloseBigWindow(w->E);
      }
      KillTimer(wnd, kFlashTimer);
      ElemDestroyChildWindows(wnd);
      return 0;
    case WM_NCDESTROY:
      WndDataDestroy(wnd);
      break;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(wnd, &ps);
      RECT r;
      GetClientRect(wnd, &r);
      DrawLittleWindowBorder(dc, r);
      EndPaint(wnd, &ps);
      return 0;
    }
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
      if (w && HasBig(w->E) && !w->E->Big && OpenBigWindow(w->E)) Notify(w->E, kNotifyBigWindow, 0);
      return 0;
    case WM_USER + kUiLabel:
      if (w) RefreshLabel(wnd, w);
      return 0;
    case WM_USER + kUiValues:
      if (w) Refresh(wnd, w);
      return 0;
    case WM_TIMER:
      if (w && wParam == kFlashTimer && w->E->St.Track.Record == 3) HBmButton8SetState(2, &w->Button[0], -1);
      return 0;
    case WMU_ELEM_REFRESH:
      if (w) OnRefreshMeters(w);
      return 0;
    case WMU_CTL_LBUTTONDOWN:
    case WMU_CTL_RBUTTONDOWN:
      if (w) OnButton(wnd, w, int(wParam), msg == WMU_CTL_RBUTTONDOWN);
      return 0;
    case WMU_CTL_SPINSTEP:
      if (w) {
        const SpinBox8Data* s = CtlData<SpinBox8Data>(reinterpret_cast<HWND>(lParam));
        if (s) OnSpin(wnd, w, int(wParam), s->Value);
      }
      return 0;
    case WMU_CTL_DRAG_LBUTTONDOWN:
    case WMU_CTL_DRAG_RBUTTONDOWN:
    case WMU_CTL_DRAG_RBUTTONUP:
    case WMU_CTL_DRAG_DBLCLK:
    case WMU_CTL_DRAGMOVE:
      if (w) OnFader(wnd, w, msg, int(wParam));
      return 0;
    case WMU_CTL_ROTMOVE:
      if (w && w->E->Fam == kFamSend) SendSet(w->E, 0, uint32_t(w->Pot.Value));
      return 0;
  }
  return DefWindowProcA(wnd, msg, wParam, lParam);
}
