#include "partdlgs_win.h"

#include <algorithm>
#include <cstdio>

#include "mixer/arrange/editseams.h"
#include "mixer/arrange/partdlg.h"
#include "mixer/arrange/win32/xfadedlg.h"
#include "mixer/arrange/win32/xfdisp.h"
#include "mixer/model/arr.h"
#include "mixer/model/take.h"
#include "mixer/model/taketime.h"
#include "mixer/model/tempomap.h"
#include "mixer/model/musical.h"
#include "mixer/model/win32/dlgitems.h"
#include "mixer/model/textfields.h"
#include "mixer/model/timecode.h"
#include "mixer/model/util/strtab.h"
#include "mixer/model/win32/arrdraw.h"
#include "mixer/model/win32/dialogs.h"

namespace {

constexpr char kProp[] = "HrlPartDlg";
constexpr COLORREF kCurveColour = 0xFF0000;
constexpr int kPageStep = 19;
constexpr int kTimeFields[] = {kInfoStart, kInfoLength, kInfoOffset, kInfoSnap};

void TcText(int32_t samples, char* text, int size) {
  TcRec tc{};
  LocToTimeCode(&tc, samples, 0);
  std::snprintf(text, static_cast<size_t>(size), "%02u:%02u:%02u:%02u.%u", tc.Hours, tc.Minutes,
                tc.Seconds, tc.Frames, static_cast<unsigned>(tc.SubFrames));
}

int32_t ReadTc(HWND dlg, int id) {
  char text[64] = "";
  GetDlgItemTextA(dlg, id, text, sizeof text);
  TcRec tc{};
  TextToTimeCode(text, &tc, 1);
  return TimeCodeToLoc(tc, 0);
}

// The two level faders: scroll bars run 0..512 loud at the top.
void ShowLevels(HWND dlg, const LevelPair& l) {
  const int bars[2] = {kPdBeginBar, kPdEndBar}, texts[2] = {kPdBeginText, kPdEndText};
  for (int side = 0; side < 2; ++side) {
    HWND bar = GetDlgItem(dlg, bars[side]);
    if (bar == nullptr) continue;
    SetScrollRange(bar, SB_CTL, 0, kVolFaderRange, FALSE);
    SetScrollPos(bar, SB_CTL, kVolFaderRange - l.Position(side), TRUE);
    char text[32];
    ArrLevelText(l.Gain(side), text, sizeof text);
    SetDlgItemTextA(dlg, texts[side], text);
  }
  CheckDlgButton(dlg, kPdLink, l.Link() ? BST_CHECKED : BST_UNCHECKED);
}

// A scroll message on one of the faders; 1 when it was one.
int ScrollLevels(HWND dlg, LevelPair& l, WPARAM wParam, LPARAM lParam) {
  const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
  if (id != kPdBeginBar && id != kPdEndBar) return 0;
  const int side = id == kPdBeginBar ? 0 : 1;
  int pos = kVolFaderRange - l.Position(side);
  switch (LOWORD(wParam)) {
    case SB_LINEUP: pos -= 1; break;
    case SB_LINEDOWN: pos += 1; break;
    case SB_PAGEUP: pos -= kPageStep; break;
    case SB_PAGEDOWN: pos += kPageStep; break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: pos = HIWORD(wParam); break;
    case SB_TOP: pos = 0; break;
    case SB_BOTTOM: pos = kVolFaderRange; break;
    default: return 1;
  }
  if (pos < 0) pos = 0;
  if (pos > kVolFaderRange) pos = kVolFaderRange;
  l.Move(side, kVolFaderRange - pos);
  ShowLevels(dlg, l);
  return 1;
}

void ShowCurveName(HWND dlg, int curve) {
  SetDlgItemTextA(dlg, kPdFade, curve >= 0 && curve < 8 ? StrText(IDS_FADE_LINEAR + static_cast<uint32_t>(curve)) : "");
}

// Bars count from 1 for the start in the arrangement, from 0 for the
// lengths and offsets.
int32_t BbtBase(int field) { return field == kInfoStart ? 1 : 0; }

// A time as time code into `tcItem` and, without a tempo map, as
// bars/beats/ticks into `bbtItem` (with one, the placeholder, disabled).
void ShowTime(HWND dlg, int tcItem, int bbtItem, int32_t samples, int32_t base) {
  char text[32];
  TcText(samples, text, sizeof text);
  SetDlgItemTextA(dlg, tcItem, text);
  if (TempoMap == nullptr) {
    BbtRec bbt{};
    LocToBbt(&bbt, samples, base);
    SetDlgItemBbt(dlg, bbtItem, bbt);
  } else {
    SetDlgItemNoBbt(dlg, bbtItem);
  }
  EnableWindow(GetDlgItem(dlg, bbtItem), TempoMap == nullptr);
}

void ShowTimes(HWND dlg, const InfoDlg& d) {
  for (int field : kTimeFields) ShowTime(dlg, field, field + 1, d.Field(field), BbtBase(field));
}

int32_t ReadBbt(HWND dlg, int id, int32_t base) {
  char text[64] = "";
  GetDlgItemTextA(dlg, id, text, sizeof text);
  BbtRec bbt{};
  TextToBbt(text, &bbt, base);
  return BbtToLoc(bbt, base);
}

}  // namespace

INT_PTR CALLBACK VolumeDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* d = static_cast<VolumeDlg*>(GetPropA(dlg, kProp));
  switch (msg) {
    case WM_INITDIALOG:
      d = reinterpret_cast<VolumeDlg*>(lParam);
      SetPropA(dlg, kProp, d);
      CenterOverWindow(GetParent(dlg), dlg);
      ShowLevels(dlg, d->Levels);
      ShowCurveName(dlg, d->Curve);
      CheckDlgButton(dlg, kPdGlobalFade, VolGlobalFade ? BST_CHECKED : BST_UNCHECKED);
      CheckDlgButton(dlg, kPdUpdatePrev, VolUpdatePrev ? BST_CHECKED : BST_UNCHECKED);
      CheckDlgButton(dlg, kPdUpdateNext, VolUpdateNext ? BST_CHECKED : BST_UNCHECKED);
      return TRUE;
    case WM_VSCROLL:
      return d != nullptr && ScrollLevels(dlg, d->Levels, wParam, lParam);
    case WM_DRAWITEM: {
      const auto* di = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      const int curve = static_cast<int>(di->CtlID) - kPdCurve0;
      if (d == nullptr || curve < 0 || curve > 7) return FALSE;
      DrawFadeShapeButton(di->hDC, di->rcItem, curve, curve == d->Curve, (di->itemState & ODS_FOCUS) != 0,
                          (di->itemState & ODS_DISABLED) != 0, 0, kCurveColour, kCurveColour);
      return TRUE;
    }
    case WM_COMMAND: {
      if (d == nullptr) return FALSE;
      const int id = LOWORD(wParam);
      if (id >= kPdCurve0 && id < kPdCurve0 + 8) {
        d->Curve = id - kPdCurve0;
        ShowCurveName(dlg, d->Curve);
        for (int i = 0; i < 8; ++i) InvalidateRect(GetDlgItem(dlg, kPdCurve0 + i), nullptr, FALSE);
      } else if (id == kPdLink) {
        d->Levels.SetLink(IsDlgButtonChecked(dlg, kPdLink) == BST_CHECKED);
      } else if (id == kPdGlobalFade) {
        VolGlobalFade = IsDlgButtonChecked(dlg, id) == BST_CHECKED;
      } else if (id == kPdUpdatePrev) {
        VolUpdatePrev = IsDlgButtonChecked(dlg, id) == BST_CHECKED;
      } else if (id == kPdUpdateNext) {
        VolUpdateNext = IsDlgButtonChecked(dlg, id) == BST_CHECKED;
      } else if (id == IDOK || id == IDCANCEL) {
        EndDialog(dlg, id == IDOK ? 1 : 0);
      } else {
        return FALSE;
      }
      return TRUE;
    }
    case WM_DESTROY:
      RemovePropA(dlg, kProp);
      return FALSE;
  }
  return FALSE;
}

namespace {

void InitInfo(HWND dlg, InfoDlg& d) {
  const PartRec* p = ArrPart(CurArr, static_cast<uint32_t>(d.Part()));
  SendDlgItemMessageA(dlg, kPdName, EM_LIMITTEXT, 63, 0);
  SetDlgItemTextA(dlg, kPdName, d.Name);
  ShowTimes(dlg, d);
  HWND out = GetDlgItem(dlg, kPdOutput);
  SendMessageA(out, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("Muted"));
  for (int i = 1; i <= 128; ++i) {
    char text[32];
    std::snprintf(text, sizeof text, StrText(IDS_TRACK_N), i);
    SendMessageA(out, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
  }
  SendMessageA(out, CB_SETCURSEL, static_cast<WPARAM>(d.OutputIndex()), 0);
  CheckDlgButton(dlg, kPdTimelock, d.Timelock ? BST_CHECKED : BST_UNCHECKED);
  SetDlgItemInt(dlg, kPdLayer, p != nullptr ? static_cast<UINT>(p->Layer) : 0, TRUE);
  if (HWND fade = GetDlgItem(dlg, kPdFade); fade != nullptr && p != nullptr && p->TakeKind == kTakeAudio) {
    for (uint32_t c = 0; c < 8; ++c)
      SendMessageA(fade, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(StrText(IDS_FADE_LINEAR + c)));
    SendMessageA(fade, CB_SETCURSEL, static_cast<WPARAM>(d.Curve), 0);
    CheckDlgButton(dlg, kPdPhase, d.Phase ? BST_CHECKED : BST_UNCHECKED);
    ShowLevels(dlg, d.Levels);
  }
  if (HWND knob = GetDlgItem(dlg, kPdKnob); knob != nullptr && p != nullptr && p->TakeKind == kTakeAutom) {
    const int n = ArrEditRtn().KnobCount(p->Take);
    for (int i = 0; i < n; ++i) {
      char name[64];
      ArrEditRtn().KnobName(p->Take, i, name, sizeof name);
      SendMessageA(knob, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    }
    SendMessageA(knob, CB_SETCURSEL, static_cast<WPARAM>(d.Knob), 0);
  }
  if (p != nullptr) {
    TakeRec* take = TakeFromRef(p->Take);
    int current = -1;
    for (const std::string& name : ArrInfoTakeList(d.Part(), &current))
      SendDlgItemMessageA(dlg, kPdTakeName, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    SendDlgItemMessageA(dlg, kPdTakeName, CB_SETCURSEL, static_cast<WPARAM>(current), 0);
    const uint32_t type = p->TakeKind == kTakeAudio   ? IDS_AUDIO_TAKE
                          : p->TakeKind == kTakeAutom ? IDS_AUTOM_TAKE
                          : p->TakeKind == kTakeMidi  ? IDS_MIDI_TAKE
                                                      : IDS_UNKNOWN_TAKE;
    SetDlgItemTextA(dlg, kPdTakeType, StrText(type));
    if (take != nullptr) {
      const int64_t length = TakeLenAtKind(take, p->TakeKind, p->Start);
      ShowTime(dlg, kPdTakeLength, kPdTakeLength + 1,
               static_cast<int32_t>(std::clamp<int64_t>(length, 0, INT32_MAX)), 0);
    }
  }
}

// Applies a time field from its time code (item `field`) or its
// bars/beats/ticks (item field + 1); on a refusal the focus goes back to it.
void ApplyTime(HWND dlg, InfoDlg& d, int field, int item) {
  const int32_t value = item == field ? ReadTc(dlg, field) : ReadBbt(dlg, item, BbtBase(field));
  if (!d.ApplyField(field, value, nullptr)) SetFocus(GetDlgItem(dlg, item));
  ShowTimes(dlg, d);
}

}  // namespace

INT_PTR CALLBACK PartInfoDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* d = static_cast<InfoDlg*>(GetPropA(dlg, kProp));
  switch (msg) {
    case WM_INITDIALOG:
      d = reinterpret_cast<InfoDlg*>(lParam);
      SetPropA(dlg, kProp, d);
      CenterOverWindow(GetParent(dlg), dlg);
      InitInfo(dlg, *d);
      return TRUE;
    case WM_VSCROLL:
      return d != nullptr && ScrollLevels(dlg, d->Levels, wParam, lParam);
    case WM_COMMAND: {
      if (d == nullptr) return FALSE;
      const int id = LOWORD(wParam);
      const int code = HIWORD(wParam);
      for (int field : kTimeFields)
        if ((id == field || id == field + 1) && code == EN_KILLFOCUS) {
          ApplyTime(dlg, *d, field, id);
          return TRUE;
        }
      if (id == kPdOutput && code == CBN_SELCHANGE) {
        d->ChooseOutput(static_cast<int>(SendDlgItemMessageA(dlg, kPdOutput, CB_GETCURSEL, 0, 0)));
      } else if (id == kPdFade && code == CBN_SELCHANGE) {
        d->Curve = static_cast<int>(SendDlgItemMessageA(dlg, kPdFade, CB_GETCURSEL, 0, 0));
      } else if (id == kPdKnob && code == CBN_SELCHANGE) {
        d->Knob = static_cast<int>(SendDlgItemMessageA(dlg, kPdKnob, CB_GETCURSEL, 0, 0));
      } else if (id == kPdTimelock) {
        d->Timelock = IsDlgButtonChecked(dlg, id) == BST_CHECKED;
      } else if (id == kPdPhase) {
        d->Phase = IsDlgButtonChecked(dlg, id) == BST_CHECKED;
      } else if (id == kPdLink) {
        d->Levels.SetLink(IsDlgButtonChecked(dlg, id) == BST_CHECKED);
      } else if (id == IDOK) {
        for (int field : kTimeFields)
          for (int item : {field, field + 1})
            if (GetFocus() == GetDlgItem(dlg, item)) ApplyTime(dlg, *d, field, item);
        GetDlgItemTextA(dlg, kPdName, d->Name, sizeof d->Name);
        if (!d->Ok(nullptr)) {
          SetFocus(GetDlgItem(dlg, kPdName));
          SendDlgItemMessageA(dlg, kPdName, EM_SETSEL, 0, -1);
          return TRUE;
        }
        EndDialog(dlg, 1);
      } else if (id == IDCANCEL) {
        EndDialog(dlg, 0);
      } else {
        return FALSE;
      }
      return TRUE;
    }
    case WM_DESTROY:
      RemovePropA(dlg, kProp);
      return FALSE;
  }
  return FALSE;
}

int ArrRunCrossfadeDlg(HWND owner, int32_t first) {
  RegisterXfadeDisplayClass(GetModuleHandleA(nullptr));
  return DoDialogParam(owner, "CROSSFADE", CrossfadeDlgProc, first) == 1;
}

int ArrRunVolumeDlg(HWND owner, VolumeDlg& dlg) {
  return DoDialogParam(owner, "VOLUME", VolumeDlgProc, reinterpret_cast<LPARAM>(&dlg)) == 1;
}

int ArrRunInfoDlg(HWND owner, InfoDlg& dlg) {
  const PartRec* p = ArrPart(CurArr, static_cast<uint32_t>(dlg.Part()));
  if (p == nullptr) return 0;
  const char* name = p->TakeKind == kTakeAutom  ? "CAMPARTINFO"
                     : p->TakeKind == kTakeMidi ? "MIVPARTINFO"
                                                : "AUDPARTINFO";
  return DoDialogParam(owner, name, PartInfoDlgProc, reinterpret_cast<LPARAM>(&dlg)) == 1;
}
