#include "xfadedlg.h"

#include <cstdio>
#include <memory>

#include "mixer/arrange/xfade.h"
#include "mixer/model/settings.h"
#include "mixer/model/textfields.h"
#include "mixer/model/timecode.h"
#include "mixer/model/util/strtab.h"
#include "mixer/model/win32/arrdraw.h"
#include "mixer/model/win32/dialogs.h"

namespace {

constexpr COLORREF kOutColour = 0xA54632;
constexpr COLORREF kInColour = 0x808000;
constexpr char kStateProp[] = "HrlXfadeDlg";

XfadeDlg* State(HWND dlg) { return static_cast<XfadeDlg*>(GetPropA(dlg, kStateProp)); }

void ShowLength(HWND dlg, int32_t samples) {
  TcRec tc{};
  LocToTimeCode(&tc, samples, 0);
  char text[32];
  std::snprintf(text, sizeof text, "%02u:%02u:%02u:%02u.%u", tc.Hours, tc.Minutes, tc.Seconds,
                tc.Frames, static_cast<unsigned>(tc.SubFrames));
  SetDlgItemTextA(dlg, kXfLengthTc, text);
}

// Names, pressed buttons, radio buttons and enabled curve buttons from the
// working values.
void Refresh(HWND dlg) {
  const XfadeDlg& s = *State(dlg);
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
}

void ReadLength(HWND dlg) {
  char text[64] = "";
  GetDlgItemTextA(dlg, kXfLengthTc, text, sizeof text);
  TcRec tc{};
  TextToTimeCode(text, &tc, 1);
  XfadeDlg& s = *State(dlg);
  if (!s.SetLength(TimeCodeToLoc(tc, 0), nullptr)) SetFocus(dlg);
  ShowLength(dlg, s.Values().Length);
}

}  // namespace

INT_PTR CALLBACK CrossfadeDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG: {
      auto* state = new XfadeDlg(static_cast<int32_t>(lParam));
      SetPropA(dlg, kStateProp, state);
      CenterOverWindow(GetParent(dlg), dlg);
      ShowLength(dlg, state->Values().Length);
      // Bars/beats/ticks and the audition are not offered here.
      EnableWindow(GetDlgItem(dlg, kXfLengthBbt), FALSE);
      for (int i = 0; i < 5; ++i) EnableWindow(GetDlgItem(dlg, kXfAudition0 + i), FALSE);
      Refresh(dlg);
      return TRUE;
    }
    case WM_DRAWITEM: {
      const auto* di = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      XfadeDlg* s = State(dlg);
      if (s == nullptr) return FALSE;
      const int id = static_cast<int>(di->CtlID);
      const bool out = id >= kXfOutCurve0 && id < kXfOutCurve0 + 8;
      const bool in = id >= kXfInCurve0 && id < kXfInCurve0 + 8;
      if (!out && !in) return FALSE;
      const int curve = id - (out ? kXfOutCurve0 : kXfInCurve0);
      const int pushed = curve == (out ? s->Values().OutCurve : s->Values().InCurve);
      DrawFadeShapeButton(di->hDC, di->rcItem, curve, pushed, (di->itemState & ODS_FOCUS) != 0,
                          (di->itemState & ODS_DISABLED) != 0, out, out ? kOutColour : kInColour,
                          out ? kOutColour : kInColour);
      return TRUE;
    }
    case WM_COMMAND: {
      XfadeDlg* s = State(dlg);
      if (s == nullptr) return FALSE;
      const int id = LOWORD(wParam);
      const int code = HIWORD(wParam);
      if (id >= kXfOutCurve0 && id < kXfOutCurve0 + 8 && code == BN_CLICKED) {
        s->PressCurve(0, id - kXfOutCurve0);
      } else if (id >= kXfInCurve0 && id < kXfInCurve0 + 8 && code == BN_CLICKED) {
        s->PressCurve(1, id - kXfInCurve0);
      } else if (id >= kXfViewNone && id <= kXfViewOverlaid && code == BN_CLICKED) {
        s->SetView(id);
      } else if (id >= kXfLinkNone && id <= kXfLinkEqualPower && code == BN_CLICKED) {
        s->SetLink(id);
      } else if (id == kXfLengthTc && code == EN_KILLFOCUS) {
        ReadLength(dlg);
        return TRUE;
      } else if (id == IDOK) {
        if (GetFocus() == GetDlgItem(dlg, kXfLengthTc)) ReadLength(dlg);
        s->Ok();
        EndDialog(dlg, 1);
        return TRUE;
      } else if (id == IDCANCEL) {
        EndDialog(dlg, 0);
        return TRUE;
      } else {
        return FALSE;
      }
      Refresh(dlg);
      return TRUE;
    }
    case WM_DESTROY:
      delete State(dlg);
      RemovePropA(dlg, kStateProp);
      return FALSE;
  }
  return FALSE;
}
