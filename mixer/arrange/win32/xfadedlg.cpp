#include "xfadedlg.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <new>

#include "mixer/arrange/win32/xfdisp.h"
#include "mixer/arrange/xfade.h"
#include "mixer/model/arr.h"
#include "mixer/model/musical.h"
#include "mixer/model/settings.h"
#include "mixer/model/tempomap.h"
#include "mixer/model/textfields.h"
#include "mixer/model/timecode.h"
#include "mixer/model/util/strtab.h"
#include "mixer/model/win32/arrdraw.h"
#include "mixer/model/win32/dialogs.h"
#include "mixer/model/win32/dlgitems.h"
#include "mixer/units/services.h"

namespace {

constexpr COLORREF kOutColour = 0xA54632;
constexpr COLORREF kInColour = 0x808000;
constexpr char kStateProp[] = "HrlXfadeDlg";
constexpr UINT_PTR kProgressTimer = 1;
constexpr UINT kProgressMs = 50;
constexpr int kAuditionBitmap0 = 290;  // button n: 290 + 3n pressed, 291 + 3n up, 292 + 3n disabled

// The dialog's working state and its running audition.
struct DlgState {
  explicit DlgState(int32_t first) : dlg(first) {}
  XfadeDlg dlg;
  XfadeAudition* audition = nullptr;
  int auditionButton = 0;
  int32_t from = 0;
};

DlgState* State(HWND dlg) { return static_cast<DlgState*>(GetPropA(dlg, kStateProp)); }

void ShowLength(HWND dlg, int32_t samples) {
  TcRec tc{};
  LocToTimeCode(&tc, samples, 0);
  char text[32];
  std::snprintf(text, sizeof text, "%02u:%02u:%02u:%02u.%u", tc.Hours, tc.Minutes, tc.Seconds,
                tc.Frames, static_cast<unsigned>(tc.SubFrames));
  SetDlgItemTextA(dlg, kXfLengthTc, text);
  // A length in bars and beats means something only under one fixed tempo.
  if (TempoMap == nullptr) {
    BbtRec bbt{};
    LocToBbt(&bbt, samples, 0);
    SetDlgItemBbt(dlg, kXfLengthBbt, bbt);
  } else {
    SetDlgItemNoBbt(dlg, kXfLengthBbt);
  }
  EnableWindow(GetDlgItem(dlg, kXfLengthBbt), TempoMap == nullptr);
}

void RedrawPreview(HWND dlg) { InvalidateRect(GetDlgItem(dlg, kXfPreview), nullptr, FALSE); }

// Loads the preview's waveforms; when none can be shown the view falls
// back to None.
void LoadWaves(HWND dlg) {
  HWND preview = GetDlgItem(dlg, kXfPreview);
  if (preview != nullptr && SendMessageA(preview, kXfdLoadWavesMsg, 0, 0) == 0)
    State(dlg)->dlg.SetView(kXfViewNone);
}

// Names, pressed buttons, radio buttons and enabled curve buttons from the
// working values.
void Refresh(HWND dlg) {
  const XfadeDlg& s = State(dlg)->dlg;
  const XfadeSettings& v = s.Values();
  SetDlgItemTextA(dlg, kXfOutName, StrText(IDS_FADE_LINEAR + static_cast<uint32_t>(v.OutCurve)));
  SetDlgItemTextA(dlg, kXfInName, StrText(IDS_FADE_LINEAR + static_cast<uint32_t>(v.InCurve)));
  CheckRadioButton(dlg, kXfViewNone, kXfViewOverlaid, v.View);
  CheckRadioButton(dlg, kXfLinkNone, kXfLinkEqualPower, v.Link);
  for (int c = 0; c < 8; ++c) {
    EnableWindow(GetDlgItem(dlg, kXfOutCurve0 + c), s.CurveEnabled(c));
    EnableWindow(GetDlgItem(dlg, kXfInCurve0 + c), s.CurveEnabled(c));
    InvalidateRect(GetDlgItem(dlg, kXfOutCurve0 + c), nullptr, FALSE);
    InvalidateRect(GetDlgItem(dlg, kXfInCurve0 + c), nullptr, FALSE);
  }
  RedrawPreview(dlg);
}

void ReadLength(HWND dlg, int item) {
  char text[64] = "";
  GetDlgItemTextA(dlg, item, text, sizeof text);
  int32_t samples = 0;
  if (item == kXfLengthBbt) {
    BbtRec bbt{};
    TextToBbt(text, &bbt, 0);
    samples = BbtToLoc(bbt, 0);
  } else {
    TcRec tc{};
    TextToTimeCode(text, &tc, 1);
    samples = TimeCodeToLoc(tc, 0);
  }
  XfadeDlg& s = State(dlg)->dlg;
  const int32_t before = s.Values().Length;
  if (!s.SetLength(samples, nullptr)) SetFocus(dlg);
  ShowLength(dlg, s.Values().Length);
  if (s.Values().Length != before) LoadWaves(dlg);
}

void RedrawAuditionButtons(HWND dlg) {
  for (int i = 0; i < 5; ++i) InvalidateRect(GetDlgItem(dlg, kXfAudition0 + i), nullptr, FALSE);
}

void StopAudition(HWND dlg) {
  DlgState& st = *State(dlg);
  if (st.audition == nullptr) return;
  KillTimer(dlg, kProgressTimer);
  XfadeAuditionStop(st.audition);
  st.audition = nullptr;
  st.auditionButton = 0;
  SendDlgItemMessageA(dlg, kXfProgress, PBM_SETPOS, static_cast<WPARAM>(st.from), 0);
  RedrawAuditionButtons(dlg);
}

// A press of audition button `id`: the running audition ends; a press of
// another button starts that one.
void PressAudition(HWND dlg, int id) {
  DlgState& st = *State(dlg);
  const bool same = st.audition != nullptr && st.auditionButton == id;
  StopAudition(dlg);
  if (same || st.dlg.First() < 0) return;
  const PartRec* f = ArrPart(CurArr, static_cast<uint32_t>(st.dlg.First()));
  if (f == nullptr) return;
  const uint32_t second = f->XfadeOutPartner;
  const PartRec* g = ArrPart(CurArr, second);
  if (g == nullptr) return;
  const int32_t from = g->Start;
  const int32_t to = static_cast<int32_t>(std::min<int64_t>(int64_t{f->Start} + f->Length, INT32_MAX));
  st.audition = XfadeAuditionStart(id, static_cast<uint32_t>(st.dlg.First()), second);
  if (st.audition == nullptr) {
    RedrawAuditionButtons(dlg);  // springs back
    return;
  }
  st.auditionButton = id;
  st.from = from;
  SendDlgItemMessageA(dlg, kXfProgress, PBM_SETRANGE32, static_cast<WPARAM>(from), to);
  SendDlgItemMessageA(dlg, kXfProgress, PBM_SETPOS, static_cast<WPARAM>(from), 0);
  SetTimer(dlg, kProgressTimer, kProgressMs, nullptr);
  RedrawAuditionButtons(dlg);
}

void DrawAuditionButton(const DRAWITEMSTRUCT& di, bool pressed) {
  const int n = static_cast<int>(di.CtlID) - kXfAudition0;
  const bool disabled = (di.itemState & ODS_DISABLED) != 0;
  const int id = kAuditionBitmap0 + 3 * n + (disabled ? 2 : pressed ? 0 : 1);
  if (BlitResBitmap(di.hDC, di.rcItem, MAKEINTRESOURCEA(id))) return;
  // Without the bitmaps: a push button with its number.
  RECT rc = di.rcItem;
  DrawFrameControl(di.hDC, &rc, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0));
  char text[4];
  std::snprintf(text, sizeof text, "%d", n + 1);
  SetBkMode(di.hDC, TRANSPARENT);
  SetTextColor(di.hDC, GetSysColor(disabled ? COLOR_GRAYTEXT : COLOR_BTNTEXT));
  DrawTextA(di.hDC, text, -1, &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

}  // namespace

XfadeDlg* CrossfadeDlgState(HWND dlg) {
  DlgState* st = State(dlg);
  return st != nullptr ? &st->dlg : nullptr;
}

INT_PTR CALLBACK CrossfadeDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG: {
      auto* state = new (std::nothrow) DlgState(static_cast<int32_t>(lParam));
      if (state == nullptr) {
        EndDialog(dlg, 0);
        return TRUE;
      }
      SetPropA(dlg, kStateProp, state);
      CenterOverWindow(GetParent(dlg), dlg);
      ShowLength(dlg, state->dlg.Values().Length);
      const bool audition = state->dlg.First() >= 0 && TransportState() == kTransportStopped;
      for (int i = 0; i < 5; ++i) EnableWindow(GetDlgItem(dlg, kXfAudition0 + i), audition);
      LoadWaves(dlg);
      Refresh(dlg);
      return TRUE;
    }
    case WM_DRAWITEM: {
      const auto* di = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      DlgState* st = State(dlg);
      if (st == nullptr) return FALSE;
      const int id = static_cast<int>(di->CtlID);
      if (id >= kXfAudition0 && id < kXfAudition0 + 5) {
        DrawAuditionButton(*di, st->auditionButton == id || (di->itemState & ODS_SELECTED) != 0);
        return TRUE;
      }
      const bool out = id >= kXfOutCurve0 && id < kXfOutCurve0 + 8;
      const bool in = id >= kXfInCurve0 && id < kXfInCurve0 + 8;
      if (!out && !in) return FALSE;
      const int curve = id - (out ? kXfOutCurve0 : kXfInCurve0);
      const XfadeSettings& v = st->dlg.Values();
      const int pushed = curve == (out ? v.OutCurve : v.InCurve);
      DrawFadeShapeButton(di->hDC, di->rcItem, curve, pushed, (di->itemState & ODS_FOCUS) != 0,
                          (di->itemState & ODS_DISABLED) != 0, out, out ? kOutColour : kInColour,
                          out ? kOutColour : kInColour);
      return TRUE;
    }
    case WM_TIMER:
      if (wParam == kProgressTimer)
        SendDlgItemMessageA(dlg, kXfProgress, PBM_SETPOS, static_cast<WPARAM>(GetCurrentLoc()), 0);
      return TRUE;
    case WM_COMMAND: {
      DlgState* st = State(dlg);
      if (st == nullptr) return FALSE;
      XfadeDlg& s = st->dlg;
      const int id = LOWORD(wParam);
      const int code = HIWORD(wParam);
      if (id >= kXfOutCurve0 && id < kXfOutCurve0 + 8 && code == BN_CLICKED) {
        s.PressCurve(0, id - kXfOutCurve0);
      } else if (id >= kXfInCurve0 && id < kXfInCurve0 + 8 && code == BN_CLICKED) {
        s.PressCurve(1, id - kXfInCurve0);
      } else if (id >= kXfAudition0 && id < kXfAudition0 + 5 && code == BN_CLICKED) {
        PressAudition(dlg, id);
        return TRUE;
      } else if (id >= kXfViewNone && id <= kXfViewOverlaid && code == BN_CLICKED) {
        s.SetView(id);
        LoadWaves(dlg);
      } else if (id >= kXfLinkNone && id <= kXfLinkEqualPower && code == BN_CLICKED) {
        s.SetLink(id);
      } else if ((id == kXfLengthTc || id == kXfLengthBbt) && code == EN_KILLFOCUS) {
        ReadLength(dlg, id);
        Refresh(dlg);
        return TRUE;
      } else if (id == IDOK) {
        StopAudition(dlg);
        HWND focus = GetFocus();
        if (focus == GetDlgItem(dlg, kXfLengthTc)) ReadLength(dlg, kXfLengthTc);
        if (focus == GetDlgItem(dlg, kXfLengthBbt)) ReadLength(dlg, kXfLengthBbt);
        s.Ok();
        EndDialog(dlg, 1);
        return TRUE;
      } else if (id == IDCANCEL) {
        StopAudition(dlg);
        EndDialog(dlg, 0);
        return TRUE;
      } else {
        return FALSE;
      }
      Refresh(dlg);
      return TRUE;
    }
    case WM_DESTROY:
      if (State(dlg) != nullptr) StopAudition(dlg);
      delete State(dlg);
      RemovePropA(dlg, kStateProp);
      return FALSE;
  }
  return FALSE;
}
