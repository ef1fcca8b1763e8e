#include "editdisp.h"

#include <algorithm>
#include <cstdlib>

#include "editpriv.h"
#include "mixer/arrange/globalcmd.h"
#include "mixer/arrange/procdrv.h"
#include "mixer/arrange/partlink.h"
#include "mixer/arrange/partops.h"
#include "mixer/model/arrlist.h"
#include "mixer/model/take.h"
#include "mixer/model/util/strtab.h"
#include "mixer/shell/services.h"
#include "mixer/units/services.h"

namespace {

ArrDragHandles Drags;

// Menu resources of the Part context menus, by Take kind.
constexpr uint32_t kMenuAudio = 444;
constexpr uint32_t kMenuAutom = 445;
constexpr uint32_t kMenuMidi = 446;
constexpr uint32_t kFirstOpCmd = 41500;

constexpr int kStopOps[] = {15, 16, 17, 18, 20, 25, 28, 29, 30, 31, 32, 33, 34, 35, 37, 40, 41, 47};

// The tools that act on the selection, and of these the ones that redraw
// the clicked Part and the link groups at once.
constexpr int kSelectionTools[] = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14,
                                   18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 30, 31, 32, 33,
                                   34, 35, 37, 38, 39, 40, 42, 43, 44, 45, 46, 47, 48};
constexpr int kRedrawTools[] = {3,  4,  5,  6,  7,  8,  14, 18, 19, 22, 23, 25, 26, 27,
                                30, 31, 32, 33, 34, 35, 37, 38, 39, 40, 43, 44, 45, 47};

struct MenuOp {
  uint32_t Cmd;
  int Op;
};
constexpr MenuOp kMenuOps[] = {
    {41502, 2},  {41512, 11}, {41513, 12}, {41514, 13}, {41515, 45}, {41516, 14}, {41521, 18},
    {41522, 19}, {41523, 20}, {41524, 21}, {41525, 48}, {41529, 24}, {41530, 25}, {41531, 31},
    {41532, 47}, {41533, 32}, {41534, 33}, {41535, 34}, {41536, 35}, {41537, 26}, {41540, 30},
    {41541, 37}, {41542, 38}, {41544, 40}, {41546, 42},
};

template <size_t N> bool In(const int (&list)[N], int v) {
  return std::find(std::begin(list), std::end(list), v) != std::end(list);
}

const PartRec* UsedPart(int32_t part) {
  return part >= 0 ? arrlist::UsedPart(CurArr, static_cast<uint32_t>(part)) : nullptr;
}

void ShowToolCursor(int op, int zone) {
  ArrEditWindow& wnd = ArrEditWnd();
  wnd.ShowCursor(wnd.ToolCursor(op, zone));
}

// Stores a drag handle and shows the operation's cursor, or the arrow when
// the drag did not start.
void StartDrag(void*& slot, void* handle, int op, int zone, bool cursor) {
  slot = handle;
  if (!cursor) return;
  if (handle != nullptr)
    ShowToolCursor(op, zone);
  else
    ArrEditWnd().ShowCursor(nullptr);
}

// Op 45: the crossfade dialog when the position lies in one of the Part's
// crossfades, else the plain crossfade at the pointer.
void Crossfade(DcHandle dc, int32_t part, uint32_t track, int32_t position) {
  ArrEditRoutines& rtn = ArrEditRtn();
  const PartRec* p = UsedPart(part);
  bool inXfade = false;
  if (p != nullptr) {
    const PartRec* in = arrlist::UsedPart(CurArr, arrlist::LinkSlot(p->XfadeInPartner));
    const PartRec* out = arrlist::UsedPart(CurArr, arrlist::LinkSlot(p->XfadeOutPartner));
    inXfade = (in != nullptr && position >= p->Start && position < arredit::End(*in)) ||
              (out != nullptr && position >= out->Start && position < arredit::End(*p));
  }
  if (inXfade)
    rtn.CrossfadeDialog(position, part, track, dc);
  else
    rtn.CrossfadeAtPointer(dc);
}

}  // namespace

ArrDragHandles& ArrDrags() { return Drags; }

int ArrToolNeedsStop(int op) { return In(kStopOps, op) ? 1 : 0; }

int ArrMenuCmdToTool(uint32_t cmd) {
  for (const MenuOp& m : kMenuOps)
    if (m.Cmd == cmd) return m.Op;
  return -1;
}

void ArrChildCommand(int op, WndHandle child, int transportState, DcHandle dc, int x, int y,
                     int32_t part, int zone, uint32_t track, int32_t position, int extra,
                     const ArrInput& input) {
  if (op < 1 || op > kToolMultiLink || op == kToolUnused || op == kToolContext) return;
  if (ArrOfflineRunActive()) return;  // a run dialog is pumping messages
  if (ArrToolNeedsStop(op) && transportState != kTransportStopped) {
    arredit::Refuse(IDS_NOT_DURING_PLAYBACK);
    return;
  }
  if (op == kToolGainDrag && ArrCountSelParts(CurArr, kArrCountNotKind, kTakeAudio) != 0) {
    arredit::Refuse(IDS_AUDIO_PARTS_ONLY);
    return;
  }
  ArrEditRoutines& rtn = ArrEditRtn();
  switch (op) {
    case kToolCrossfade:
      Crossfade(dc, part, track, position);
      return;
    case kToolNoiseGate:
      if (rtn.NoiseGateDialog() == 1) rtn.NoiseGateScan(dc);
      return;
    case kToolNormalize:
    case kToolDcRemoval:
      if (rtn.ProcessAudio(dc, op == kToolNormalize ? IDS_UNDO_NORMALIZE : IDS_UNDO_DC_REMOVAL,
                           op == kToolNormalize ? 0 : 1))
        ArrChangeCountRaise();
      return;
    case kToolThinAutom:
      if (rtn.ProcessAutomation(dc, IDS_UNDO_THIN_AUTOM)) ArrChangeCountRaise();
      return;
    case kToolTimeStretch:
    case kToolSrConvert:
    case kToolPitchShift:
    case kToolReverse:
      rtn.ToolRunner(child, x, y, 0, op);
      return;
    case kToolExternal:
      rtn.ToolRunner(child, x, y, extra, -1);
      return;
    case kToolMove:
    case kToolMoveVertical:
    case kToolMoveToLocator:
    case kToolCopy:
    case kToolCopyVertical:
    case kToolCopyToLocator: {
      // Free, vertical and closest-locator modes, each as move and copy.
      const int mode = (op - kToolMove) % 3;
      const int copy = op >= kToolCopy ? 1 : 0;
      StartDrag(Drags.MoveCopy, rtn.BeginMoveCopy(dc, x, y, mode, copy), op, zone, true);
      return;
    }
    case kToolTrim:
    case kToolTrimAdjacent:
      StartDrag(Drags.Trim, rtn.BeginTrim(dc, x, y, part, zone, op), op, zone, true);
      return;
    case kToolSlip:
      StartDrag(Drags.Slip, rtn.BeginSlip(dc, x, y), op, zone, true);
      return;
    case kToolGainDrag:
      StartDrag(Drags.GainDrag, rtn.BeginGainDrag(dc, x, y, part), op, zone, true);
      return;
    case kToolAutomEdit:
      StartDrag(Drags.AutomEdit, rtn.BeginAutomEdit(dc, x, y, part, zone), op, zone, false);
      return;
    case kToolSolo:
      ShowToolCursor(op, zone);
      rtn.SoloPart(dc, part, track, std::max(position, 0));
      return;
    case kToolSoloSpan:
    case kToolSoloScrub:
    case kToolScrubAll: {
      ShowToolCursor(op, zone);
      int started = 0;
      if (op == kToolSoloSpan) started = rtn.SoloPartSpan(position, dc, part, track);
      if (op == kToolSoloScrub) started = rtn.SoloScrub(dc, track, x, y, part, position);
      if (op == kToolScrubAll) started = rtn.ScrubAll(dc, position, x, y);
      if (!started) ArrEditWnd().ShowCursor(nullptr);
      return;
    }
    case kToolIoAssign: rtn.IoAssignMenu(child, dc, x, y, part, extra); return;
    case kToolMute: ArrToggleMute(part, dc); return;
    case kToolCut:
    case kToolCutAtLocator: rtn.CutParts(dc, position, op); return;
    case kToolGlue: ArrGlueSelected(dc); return;
    case kToolFadeIn:
    case kToolFadeOut: rtn.FadeParts(part, dc, op); return;
    case kToolVolume: rtn.VolumeDialog(part, dc); return;
    case kToolMixdown: rtn.Mixdown(child, dc, x, y, extra); return;
    case kToolWaveform: rtn.ToggleWaveforms(part, dc); return;
    case kToolInfo: rtn.InfoDialog(part, dc); return;
    case kToolDelete: ArrDeleteSelected(dc); return;
    case kToolStereoLink: rtn.StereoLinkCmd(part, dc); return;
    case kToolPhase: ArrInvertPhase(part, dc); return;
    case kToolRepeat: rtn.RepeatParts(dc); return;
    case kToolTimelock: ArrToggleTimelock(part, dc); return;
    case kToolAutomCurve: ArrChooseAutomKnob(extra, part, child, dc, x, y); return;
    case kToolCrop: rtn.CropParts(dc); return;
    case kToolSnapPoint: ArrSetSnapPoint(dc, position, input); return;
    case kToolConsolidate: rtn.Consolidate(dc); return;
    case kToolMultiLink: rtn.MultiLinkCmd(part, dc); return;
    default: return;
  }
}

namespace {

bool IsKind(const PartRec* p, uint16_t kind) { return p != nullptr && p->TakeKind == kind; }

// The first visible section of the track that begins after the position
// and whose Part is of a kind `want` accepts; with `lastBefore`, failing
// that, the last one that begins before it.
template <typename Want>
int32_t SectionPart(uint32_t track, int32_t position, Want want, bool lastBefore) {
  int32_t before = -1;
  ArrSection s = {-1, 0, 0};
  while (ArrNxtVisibleSection(CurArr, track, &s)) {
    const PartRec* p = UsedPart(s.Part);
    if (p == nullptr || !want(*p)) continue;
    if (s.Start > position) return s.Part;
    if (s.Start < position) before = s.Part;
  }
  return lastBefore ? before : -1;
}

}  // namespace

void ArrChildClick(WndHandle child, DcHandle dc, int x, int y, int transportState, int extra,
                   int tool, const ArrInput& input) {
  if (ArrOfflineRunActive()) return;
  if (transportState == kTransportRecording) {
    arredit::Refuse(IDS_NOT_DURING_RECORD);
    return;
  }
  int32_t part = -1;
  uint32_t track = 0;
  int32_t position = 0;
  const int zone = ArrHitTest(CurArr, x, y, &part, &track, &position);
  if (tool == kToolContext) tool = ArrEditRtn().ContextTool(part, zone, track);

  if (tool == kToolTrim || tool == kToolTrimAdjacent) {
    if (part >= 0 && zone >= 4 && zone <= 7 && !input.Ctrl) part = -1;
    if (const PartRec* p = UsedPart(part)) {
      const bool atEnd = (zone >= 8 && zone <= 11) || (zone >= kZoneAfter && zone < kZoneNone);
      position = atEnd ? static_cast<int32_t>(std::min<int64_t>(arredit::End(*p), INT32_MAX)) : p->Start;
    }
  } else if (zone >= kZoneBefore) {
    part = -1;
  }

  if (tool == kToolSolo) {
    const PartRec* p = UsedPart(part);
    if (!IsKind(p, kTakeAudio) && !IsKind(p, kTakeMidi))
      part = SectionPart(track, position, [](const PartRec& q) {
        return q.TakeKind == kTakeAudio || q.TakeKind == kTakeMidi;
      }, false);
  } else if (tool == kToolSoloScrub) {
    if (!IsKind(UsedPart(part), kTakeAudio))
      part = SectionPart(track, position, [](const PartRec& q) { return q.TakeKind == kTakeAudio; },
                         true);
  }

  if (input.Shift && !input.Ctrl) part = -1;
  const bool plain = !input.Shift && !input.Ctrl;
  const bool straight = (tool == kToolMixdown || tool == kToolScrubAll) && plain;

  if (!straight) {
    if (UsedPart(part) != nullptr && input.Ctrl) {
      PartRec& p = *ArrPart(CurArr, static_cast<uint32_t>(part));
      p.Flags ^= kPartSelected;
      if (dc != nullptr) ArrDrawPart(dc, CurArr, static_cast<uint32_t>(part), track, 1, 0);
      if (input.Shift)
        ArrSelectPartsFromFirstSel();
      else
        ArrSetLinkGroupSelection(dc, CurArr, part, track, arredit::Sel(p), 0);
      return;
    }
    if (UsedPart(part) == nullptr) {
      const bool moveNow = transportState == kTransportStopped &&
                           ArrCountSelParts(CurArr, kArrCountAll, 0) == 0;
      ArrClearSelection(CurArr, dc, 1);
      ArrEditWnd().BeginRubberBand(x, y, moveNow ? 1 : 0);
      return;
    }
  }

  if (UsedPart(part) != nullptr && In(kSelectionTools, tool)) {
    PartRec& p = *ArrPart(CurArr, static_cast<uint32_t>(part));
    if (!arredit::Sel(p)) {
      ArrClearSelection(CurArr, dc, 1);
      p.Flags |= kPartSelected;
    }
    if (In(kRedrawTools, tool)) {
      if (dc != nullptr) ArrDrawPart(dc, CurArr, static_cast<uint32_t>(part), track, 1, 0);
      ArrExtendSelectionToLinks(dc, CurArr);
    } else {
      ArrExtendSelectionToLinks(nullptr, CurArr);
    }
  }
  ArrChildCommand(tool, child, transportState, dc, x, y, part, zone, track, position, extra, input);
}

void ArrPartContextMenu(WndHandle child, DcHandle dc, int x, int y, int transportState, int extra,
                        int32_t currentPart, const ArrInput& input) {
  const PartRec* p = UsedPart(currentPart);
  if (input.Alt || p == nullptr) return;
  const uint32_t menu = p->TakeKind == kTakeAudio   ? kMenuAudio
                        : p->TakeKind == kTakeAutom ? kMenuAutom
                                                    : kMenuMidi;
  const int32_t cmd = ArrEditWnd().TrackPartMenu(menu, x, y);
  if (cmd < 0) return;
  if (cmd >= static_cast<int32_t>(kFirstOpCmd)) {
    const int op = ArrMenuCmdToTool(static_cast<uint32_t>(cmd));
    if (op < 0) return;
    uint32_t track = 0;
    int32_t position = 0;
    ArrHitTest(CurArr, x, y, nullptr, &track, &position);
    ArrChildCommand(op, child, transportState, dc, x, y, currentPart, 0, track, position, extra, input);
    return;
  }
  if (transportState != kTransportStopped) {
    arredit::Refuse(IDS_NOT_DURING_PLAYBACK);
    return;
  }
  ArrEditRtn().ToolRunner(child, x, y, cmd, -3);
}

// ---- Hit test and cursor ----

namespace {

constexpr int kAfterPixels = 6;   // a click this far after a Part's end still hits it
constexpr int kBeforePixels = 5;  // and this far before its start

// The member of a group of four zones for a pixel line of the row.
int ZoneMember(int group, int32_t line, int32_t rowHeight) {
  if (rowHeight >= 13) {
    int32_t margin = rowHeight / 8;
    if (margin < 5) margin = 4;
    if (line < margin) return group;
    if (line >= rowHeight - margin) return group + 3;
  }
  return line > rowHeight / 2 ? group + 2 : group + 1;
}

}  // namespace

int ArrHitTest(const ArrRec* arr, int x, int y, int32_t* partOut, uint32_t* trackOut,
               int32_t* positionOut) {
  const ArrViewRec& v = ArrView();
  int32_t part = -1;
  uint32_t track = 0;
  int32_t position = 0;
  int zone = kZoneNone;
  auto report = [&]() {
    if (partOut) *partOut = part;
    if (trackOut) *trackOut = track;
    if (positionOut) *positionOut = position;
    return zone;
  };
  if (y <= v.TopHeight) return report();
  const int32_t rowHeight = std::max(v.Vzoom, 1);
  const int32_t row = rowHeight + kArrRowGap;
  const int64_t t = (int64_t{y} - v.TopHeight - 1) / row + v.FirstTrack;
  const int32_t line = (y - v.TopHeight - 1) % row;
  const int32_t hzoom = std::max(v.Hzoom, 1);
  position = static_cast<int32_t>(std::clamp<int64_t>(
      int64_t{x} * hzoom + v.Origin - kArrTimeShift, INT32_MIN, INT32_MAX));
  if (t < 0 || t >= kArrTracks) return report();
  track = static_cast<uint32_t>(t);

  ArrEditRoutines& rtn = ArrEditRtn();
  const int32_t top = ArrTopPartAtLoc(arr, track, position, nullptr);
  if (top >= 0) {
    part = top;
    zone = rtn.PartZone(arr, static_cast<uint32_t>(top), track, position, line);
    if (zone >= 4 && zone <= 7) {
      const int32_t cover = PartCoveringLoc(arr, static_cast<uint32_t>(top), position);
      if (cover >= 0) {
        const int coverZone = rtn.PartZone(arr, static_cast<uint32_t>(cover), track, position, line);
        if (coverZone != zone) part = cover, zone = coverZone;
      }
    }
    return report();
  }

  int32_t prev = -1, next = -1;
  arrlist::WalkTrack(arr, track, [&](uint32_t slot, const PartRec& p) {
    if (p.Start < position) {
      prev = static_cast<int32_t>(slot);
      return true;
    }
    next = static_cast<int32_t>(slot);
    return false;
  });
  const PartRec* pp = prev >= 0 ? arrlist::UsedPart(arr, static_cast<uint32_t>(prev)) : nullptr;
  const PartRec* np = next >= 0 ? arrlist::UsedPart(arr, static_cast<uint32_t>(next)) : nullptr;
  const int64_t toPrev = pp ? position - arredit::End(*pp) : INT64_MAX;
  const int64_t toNext = np ? int64_t{np->Start} - position : INT64_MAX;
  if (pp == nullptr && np == nullptr) return report();
  const bool takePrev = pp != nullptr && (np == nullptr || toPrev < toNext);
  if (takePrev ? toPrev / hzoom > kAfterPixels : toNext / hzoom > kBeforePixels) return report();
  part = takePrev ? prev : next;
  zone = ZoneMember(takePrev ? kZoneAfter : kZoneBefore, line, rowHeight);
  return report();
}

namespace {

// Cursors by Alt, Take kind (Audio, Automation, others) and zone.
void* CursorCache[2][3][kZoneNone];

}  // namespace

void ArrHitCursorReset() {
  for (auto& byAlt : CursorCache)
    for (auto& byKind : byAlt) std::fill(std::begin(byKind), std::end(byKind), nullptr);
}

void ArrHitCursor(int x, int y, const ArrInput& input) {
  ArrEditWindow& wnd = ArrEditWnd();
  int32_t part = -1;
  const int zone = ArrHitTest(CurArr, x, y, &part, nullptr, nullptr);
  const PartRec* p = UsedPart(part);
  if (input.Shift || input.Ctrl || p == nullptr || zone >= kZoneNone) {
    wnd.ShowCursor(nullptr);
    return;
  }
  const int kind = p->TakeKind == kTakeAudio ? 0 : p->TakeKind == kTakeAutom ? 1 : 2;
  const int alt = input.Alt ? 1 : 0;
  void*& cursor = CursorCache[alt][kind][zone];
  if (cursor == nullptr) cursor = wnd.ToolCursor(ArrEditRtn().CursorTool(kind, alt, zone), zone);
  wnd.ShowCursor(cursor);
}

// ---- Right-button zoom and scroll ----

int ArrZoomScrollDrag(int x, int y, ArrZoomDrag& drag, const ArrInput& input) {
  constexpr int kStep = 16;
  constexpr int64_t kTimeEnd = 2147463747;
  ArrViewRec& v = ArrView();
  const int dx = x - drag.PressX, dy = y - drag.PressY;
  if (drag.State == 1) {
    const bool moved = std::abs(dx) >= kStep || std::abs(dy) >= kStep;
    if (!input.Alt && !moved) return 0;
    drag.State = input.Alt ? 3 : 2;
    drag.SavedHzoom = std::max(v.Hzoom, 1);
    drag.SavedVzoom = v.Vzoom;
    drag.SavedOrigin = v.Origin;
    drag.SavedFirstTrack = v.FirstTrack;
  }
  if (drag.State == 2) {
    const int steps = dx / kStep;
    int64_t hz = drag.SavedHzoom;
    if (steps > 0) hz = std::max<int64_t>(hz >> std::min(steps, 31), kArrMinHzoom);
    if (steps < 0) hz = -steps >= 31 || (hz << -steps) > kArrMaxHzoom ? kArrMaxHzoom : hz << -steps;
    // The time at the press point stays under it.
    const int64_t pressTime = int64_t{drag.PressX} * drag.SavedHzoom + drag.SavedOrigin;
    const int32_t origin = static_cast<int32_t>(std::clamp<int64_t>(pressTime - drag.PressX * hz, 0, INT32_MAX));
    const int32_t rows = std::max(drag.SavedVzoom - (dy / kStep) * kStep, 1);
    if (std::abs(dx) < kStep && std::abs(dy) < kStep) return 0;
    if (hz != v.Hzoom || origin != v.Origin || rows != v.Vzoom) {
      v.Hzoom = static_cast<int32_t>(hz);
      v.Origin = origin;
      v.Vzoom = rows;
      v.Span = static_cast<int32_t>(std::min<int64_t>(int64_t{v.Hzoom} * v.PartAreaWidth, INT32_MAX));
      ArrEditWnd().UpdateScrollRanges();
      ArrEditWnd().RedrawNow();
    }
    return 1;
  }
  // Scrolling: the view follows the pointer in whole steps.
  const int64_t hz = std::max(v.Hzoom, 1);
  const int64_t maxOrigin = std::max<int64_t>(kTimeEnd - v.Span, 0);
  const int32_t origin = static_cast<int32_t>(
      std::clamp<int64_t>(drag.SavedOrigin + int64_t{-dx / kStep} * kStep * hz, 0, maxOrigin));
  const int32_t rowPx = std::max(v.Vzoom, 1) + kArrRowGap;
  const int32_t first = std::clamp<int32_t>(drag.SavedFirstTrack - dy / rowPx, 0,
                                            std::max<int32_t>(kArrTracks - v.VisibleRows, 0));
  if (origin == v.Origin && first == v.FirstTrack) return 1;
  v.Origin = origin;
  v.FirstTrack = first;
  ArrEditWnd().UpdateScrollRanges();
  ArrEditWnd().RedrawNow();
  return 1;
}
