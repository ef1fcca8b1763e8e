#include "partdlg.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "editpriv.h"
#include "mixer/arrange/editseams.h"
#include "mixer/arrange/partedit.h"
#include "mixer/arrange/partlink.h"
#include "mixer/arrange/partops.h"
#include "mixer/model/arrlist.h"
#include "mixer/model/options.h"
#include "mixer/model/take.h"
#include "mixer/model/takeattr.h"
#include "mixer/model/taketime.h"
#include "mixer/model/timecode.h"
#include "mixer/model/undo.h"
#include "mixer/model/util/gain.h"
#include "mixer/model/util/paths.h"
#include "mixer/model/util/speaker.h"
#include "mixer/model/util/strtab.h"
#include "mixer/shell/services.h"

using arredit::End;
using arredit::Sel;

int VolGlobalFade = 0, VolUpdatePrev = 0, VolUpdateNext = 0, VolLinkState = 0;
int InfoUpdateAllNames = 0, InfoAppendSpeakerExt = 0, InfoUpdateTakeNames = 0;

namespace {

constexpr int32_t kSilenceDeciDb = -960;
constexpr int32_t kMenuChannels = 128;
constexpr int32_t kMinLength = 10;

int32_t Db(uint32_t gain) { return std::min(GainToDeciDb(gain), 0); }

uint32_t MoveByDb(uint32_t gain, int32_t deltaDeciDb) {
  return DeciDbToGain(std::clamp(Db(gain) + deltaDeciDb, kSilenceDeciDb, 0));
}

bool Long(const PartRec& p) { return p.Length >= arredit::kLongPartSamples; }

void Draw(DcHandle dc, uint32_t slot, uint32_t track) {
  if (dc != nullptr) ArrDrawPart(dc, CurArr, slot, track, 1, 0);
}

}  // namespace

void ArrLevelText(uint32_t gain, char* out, int size) {
  const int32_t down = -Db(gain);
  std::snprintf(out, static_cast<size_t>(size), "-%01d.%01d dB", down / 10, down % 10);
}

LevelPair::LevelPair(uint32_t beginGain, uint32_t endGain) {
  const uint32_t g[2] = {beginGain, endGain};
  for (int i = 0; i < 2; ++i) {
    gain_[i] = open_[i] = std::min<uint32_t>(g[i], 32768);
    pos_[i] = GainToFaderPos(static_cast<int32_t>(gain_[i]), kVolFaderRange, 1);
  }
  diff_ = Db(gain_[1]) - Db(gain_[0]);
}

void LevelPair::Move(int side, int32_t position) {
  if (side != 0 && side != 1) return;
  pos_[side] = std::clamp(position, 0, kVolFaderRange);
  gain_[side] = std::min<uint32_t>(FaderPosToGain(pos_[side], kVolFaderRange, 1), 32768);
  const int other = 1 - side;
  if (link_) {
    const int32_t sign = side == 0 ? 1 : -1;
    const int32_t db = std::clamp(Db(gain_[side]) + sign * diff_, kSilenceDeciDb, 0);
    gain_[other] = DeciDbToGain(db);
    pos_[other] = GainToFaderPos(static_cast<int32_t>(gain_[other]), kVolFaderRange, 1);
  } else {
    diff_ = Db(gain_[1]) - Db(gain_[0]);
  }
}

void LevelPair::SetLink(int on) {
  link_ = on ? 1 : 0;
  diff_ = Db(gain_[1]) - Db(gain_[0]);
}

int LevelPair::MovedTogether() const {
  return Db(gain_[1]) - Db(gain_[0]) == Db(open_[1]) - Db(open_[0]);
}

// ---- Volume and fade ----

VolumeDlg::VolumeDlg(int32_t part) {
  const PartRec* p = arrlist::UsedPart(CurArr, static_cast<uint32_t>(part));
  Levels = p != nullptr ? LevelPair(p->GainStart, p->GainEnd) : LevelPair(32768, 32768);
  Levels.SetLink(VolLinkState);
}

void ArrVolumeApply(const VolumeDlg& dlg, DcHandle dc) {
  const LevelPair& l = dlg.Levels;
  uint32_t message = 0;
  if (dlg.Curve >= 0 && dlg.Curve <= 7)
    arrlist::WalkAll(CurArr, [&](uint32_t, uint32_t, PartRec& p) {
      if (Sel(p)) p.FadeCurve = static_cast<uint8_t>(dlg.Curve);
    });
  const int32_t beginDelta = Db(l.Gain(0)) - Db(l.OpenGain(0));
  const int32_t endDelta = Db(l.Gain(1)) - Db(l.OpenGain(1));
  if (VolGlobalFade) {
    for (uint32_t track = 0; track < kArrTracks; ++track) {
      const int32_t first = TrkFirstSelPart(CurArr, track);
      if (first < 0) continue;
      const PartRec& f = *ArrPart(CurArr, static_cast<uint32_t>(first));
      const PartRec& e = *ArrPart(CurArr, static_cast<uint32_t>(TrkLastSelPart(CurArr, track)));
      ArrSetTrackFade(dc, CurArr, track, MoveByDb(f.GainStart, beginDelta),
                      MoveByDb(e.GainEnd, endDelta), dlg.Curve >= 0 ? dlg.Curve : f.FadeCurve);
    }
  } else if (l.MovedTogether()) {
    const int side = std::abs(endDelta) > std::abs(beginDelta) ? 1 : 0;
    ArrAddGainDelta(CurArr, 2, l.OpenGain(side), l.Gain(side), dc, &message);
  } else {
    ArrAddGainDelta(CurArr, 0, l.OpenGain(0), l.Gain(0), dc, &message);
    ArrAddGainDelta(CurArr, 1, l.OpenGain(1), l.Gain(1), dc, &message);
  }
  // Neighbours meeting the selection take its gains where they meet.
  for (uint32_t track = 0; track < kArrTracks && (VolUpdatePrev || VolUpdateNext); ++track) {
    const int32_t first = TrkFirstSelPart(CurArr, track);
    if (first < 0) continue;
    const PartRec& f = *ArrPart(CurArr, static_cast<uint32_t>(first));
    const int32_t lastSlot = TrkLastSelPart(CurArr, track);
    const PartRec& e = *ArrPart(CurArr, static_cast<uint32_t>(lastSlot));
    auto update = [&](int32_t slot, bool end, uint32_t gain) {
      PartRec* n = slot >= 0 ? arrlist::UsedPart(CurArr, static_cast<uint32_t>(slot)) : nullptr;
      if (n == nullptr || Sel(*n) || n->TakeKind != kTakeAudio) return;
      if (Long(*n)) {
        message = IDS_PARTS_TOO_LONG_TO_FADE;
        return;
      }
      (end ? n->GainEnd : n->GainStart) = gain;
      Draw(dc, static_cast<uint32_t>(slot), track);
    };
    if (VolUpdatePrev) update(TrkPartEndingAt(CurArr, track, f.Start), true, f.GainStart);
    if (VolUpdateNext && End(e) <= INT32_MAX)
      update(TrkPartStartingAt(CurArr, track, static_cast<int32_t>(End(e))), false, e.GainEnd);
  }
  if (message != 0) arredit::Refuse(message);
}

int ArrVolumeTool(int32_t part, DcHandle dc) {
  bool notAudio = false;
  arrlist::WalkAll(CurArr, [&](uint32_t, uint32_t, const PartRec& p) {
    if (Sel(p) && p.TakeKind != kTakeAudio) notAudio = true;
  });
  if (notAudio) return arredit::Refuse(IDS_AUDIO_PARTS_ONLY);
  VolumeDlg dlg(part);
  const int ok = ArrEditWnd().RunVolumeDialog(dlg) == 1;
  VolLinkState = dlg.Levels.Link();
  // The dialog changes nothing until OK, so the step is recorded only then.
  if (!ok) {
    if (!KeepSel) ArrClearSelection(CurArr, dc, 1);
    return 0;
  }
  if (!arredit::BeginStep(IDS_UNDO_VOLUME_CHANGE)) return 0;
  ArrVolumeApply(dlg, dc);
  arredit::SelectionToKeepSel(CurArr);
  ArrRedrawWindows();
  arredit::RebuildPlay();
  ArrChangeCountRaise();
  return 1;
}

// ---- Part information ----

InfoDlg::InfoDlg(int32_t part) : part_(part) {
  const PartRec* p = arrlist::UsedPart(CurArr, static_cast<uint32_t>(part));
  if (p == nullptr) return;
  std::memcpy(Name, p->Name, sizeof Name);
  Name[sizeof Name - 1] = '\0';
  output_ = p->PlayChannel >= 1 && p->PlayChannel <= kMenuChannels ? p->PlayChannel : 0;
  Timelock = (p->Flags & kPartTimelocked) ? 1 : 0;
  Phase = (p->Flags & kPartPhaseInvert) ? 1 : 0;
  Curve = p->FadeCurve;
  Knob = p->AutoMapValue;
  Levels = LevelPair(p->GainStart, p->GainEnd);
  Levels.SetLink(VolLinkState);
}

int32_t InfoDlg::Field(int field) const {
  const PartRec* p = arrlist::UsedPart(CurArr, static_cast<uint32_t>(part_));
  if (p == nullptr) return 0;
  switch (field) {
    case kInfoStart: return p->Start;
    case kInfoLength: return p->Length;
    case kInfoOffset: return p->Offset;
    case kInfoSnap: return p->SnapPoint;
  }
  return 0;
}

void InfoDlg::ChooseOutput(int index) {
  if (index < 0 || index > kMenuChannels) return;
  output_ = index;
  outputChanged_ = 1;
}

namespace {

struct Sel_ {
  uint32_t Track, Slot;
};

std::vector<Sel_> SelectedParts() {
  std::vector<Sel_> out;
  arrlist::WalkAll(CurArr, [&](uint32_t t, uint32_t s, const PartRec& p) {
    if (Sel(p)) out.push_back({t, s});
  });
  return out;
}

int64_t TakeLen(const PartRec& p) {
  TakeRec* take = TakeFromRef(p.Take);
  return take != nullptr ? TakeLenAtKind(take, p.TakeKind, p.Start) : int64_t{p.Offset} + p.Length;
}

// 1 when a Part of the track on the layer of `p`, not among the moved ones,
// overlaps [start, end).
bool LayerOverlap(uint32_t track, uint32_t slot, int16_t layer, int64_t start, int64_t end) {
  bool hit = false;
  arrlist::WalkTrack(CurArr, track, [&](uint32_t s, const PartRec& o) {
    if (s != slot && !Sel(o) && o.Layer == layer && arrlist::SpansOverlap(start, end, o.Start, End(o)))
      hit = true;
    return !hit;
  });
  return hit;
}

int Refuse(uint32_t id) { return arredit::Refuse(id); }

}  // namespace

int InfoDlg::ApplyField(int field, int32_t samples, DcHandle dc) {
  const PartRec* clicked = arrlist::UsedPart(CurArr, static_cast<uint32_t>(part_));
  if (clicked == nullptr) return 0;
  // One rule for the length: below 1 is refused, 1..9 becomes 10.
  if (field == kInfoLength) {
    if (samples < 1) return Refuse(IDS_PART_ZERO_LENGTH);
    samples = std::max(samples, kMinLength);
  }
  const int64_t delta = int64_t{samples} - Field(field);
  if (delta == 0) return 1;
  const std::vector<Sel_> sel = SelectedParts();
  const bool overlapCheck = EditOverlapMode == 40892;
  for (const Sel_& m : sel) {
    const PartRec& p = *ArrPart(CurArr, m.Slot);
    const bool locked = (p.Flags & kPartTimelocked) != 0;
    switch (field) {
      case kInfoStart: {
        if (locked) return Refuse(IDS_TIMELOCKED_NO_MOVE);
        const int64_t s = p.Start + delta, e = End(p) + delta;
        if (s < 0 || e > EndOfTime) return Refuse(IDS_PARTS_OUT_OF_RANGE);
        if (overlapCheck && LayerOverlap(m.Track, m.Slot, p.Layer, s, e))
          return Refuse(IDS_PARTS_CANNOT_OVERLAP);
        break;
      }
      case kInfoLength: {
        const int64_t len = p.Length + delta;
        if (len < 1) return Refuse(IDS_PART_ZERO_LENGTH);
        if (p.Start + len > EndOfTime) return Refuse(IDS_PARTS_OUT_OF_RANGE);
        if (p.Offset + len > TakeLen(p)) return Refuse(IDS_TAKE_RANGE_EXCEEDED);
        if (overlapCheck && LayerOverlap(m.Track, m.Slot, p.Layer, p.Start, p.Start + len))
          return Refuse(IDS_PARTS_CANNOT_OVERLAP);
        break;
      }
      case kInfoOffset: {
        if (locked) return Refuse(IDS_TIMELOCKED_NO_MOVE);
        const int64_t off = p.Offset + delta;
        if (off < 0 || off > TakeLen(p) - p.Length) return Refuse(IDS_TAKE_RANGE_EXCEEDED);
        break;
      }
      case kInfoSnap: {
        const int64_t snap = p.SnapPoint + delta;
        if (snap < 0 || snap > p.Length - 1) return Refuse(IDS_SNAP_OUTSIDE_PART);
        break;
      }
      default:
        return 0;
    }
  }
  bool tooLong = false;
  for (const Sel_& m : sel) {
    PartRec& p = *ArrPart(CurArr, m.Slot);
    switch (field) {
      case kInfoStart:
        p.Start = static_cast<int32_t>(p.Start + delta);
        break;
      case kInfoLength:
        p.Length = static_cast<int32_t>(p.Length + delta);
        if (p.TakeKind == kTakeAudio && Long(p)) {
          p.GainStart = p.GainEnd = std::max(p.GainStart, p.GainEnd);
          tooLong = true;
        }
        break;
      case kInfoOffset:
        p.Offset = static_cast<int32_t>(p.Offset + delta);
        break;
      case kInfoSnap:
        p.SnapPoint = static_cast<int32_t>(p.SnapPoint + delta);
        break;
    }
    if (p.SnapPoint >= p.Length) p.SnapPoint = 0;
    Draw(dc, m.Slot, m.Track);
  }
  if (field == kInfoStart)
    for (const Sel_& m : sel) arredit::ResortPart(CurArr, m.Slot, m.Track);
  if (field == kInfoStart || field == kInfoLength) {
    ArrRelinkOverlaps(CurArr);
    ArrRaiseSelLayers(CurArr, 1, 1);
    ArrCheckXfades(CurArr, 1);
    arredit::MuteSelectedOverlaps(CurArr, dc);
  }
  applied_ = 1;
  if (tooLong) Refuse(IDS_PARTS_TOO_LONG_TO_FADE);
  return 1;
}

int InfoDlg::Ok(DcHandle dc) {
  PartRec* clicked = arrlist::UsedPart(CurArr, static_cast<uint32_t>(part_));
  if (clicked == nullptr) return 0;
  // Trailing blanks go; a bad name keeps the dialog open.
  Name[sizeof Name - 1] = '\0';
  for (size_t n = std::strlen(Name); n > 0 && Name[n - 1] == ' '; --n) Name[n - 1] = '\0';
  uint32_t id = 0;
  if (!CheckNameChars(Name, &id)) return Refuse(id);
  const int32_t self = ArrTrackOfPart(CurArr, static_cast<uint32_t>(part_));
  auto name = [&](uint32_t slot, uint32_t track) {
    PartRec& p = *ArrPart(CurArr, slot);
    std::snprintf(p.Name, sizeof p.Name, "%s", Name);
    uint32_t head = track;
    const uint32_t count = PartIsChannelLinked(p) ? ArrLinkCount(CurArr, slot, track, &head) : 1;
    if (InfoAppendSpeakerExt && count >= 2 && track >= head) {
      char ext[16];
      if (MakeChannelNames(ext, sizeof ext, static_cast<int32_t>(track - head),
                           static_cast<int32_t>(count), 0)) {
        p.Name[count == 2 ? 61 : 59] = '\0';
        std::strncat(p.Name, ext, sizeof p.Name - std::strlen(p.Name) - 1);
      }
    }
  };
  if (InfoUpdateAllNames) {
    for (const Sel_& m : SelectedParts()) name(m.Slot, m.Track);
  } else if (self >= 0) {
    name(static_cast<uint32_t>(part_), static_cast<uint32_t>(self));
  }
  if (InfoUpdateTakeNames)
    for (const Sel_& m : SelectedParts()) {
      const PartRec& p = *ArrPart(CurArr, m.Slot);
      if (TakeRec* take = TakeFromRef(p.Take))
        TakeSetAttr(take, 0, reinterpret_cast<uintptr_t>(p.Name), nullptr);
    }
  uint32_t message = 0;
  if (clicked->TakeKind == kTakeAudio) {
    if (Levels.Link() && Levels.MovedTogether()) {
      ArrAddGainDelta(CurArr, 2, Levels.OpenGain(0), Levels.Gain(0), dc, &message);
    } else {
      ArrAddGainDelta(CurArr, 0, Levels.OpenGain(0), Levels.Gain(0), dc, &message);
      ArrAddGainDelta(CurArr, 1, Levels.OpenGain(1), Levels.Gain(1), dc, &message);
    }
    VolLinkState = Levels.Link();
  }
  clicked = ArrPart(CurArr, static_cast<uint32_t>(part_));
  clicked->Flags = Timelock ? (clicked->Flags | kPartTimelocked) : (clicked->Flags & ~kPartTimelocked);
  if (clicked->TakeKind == kTakeAudio) {
    clicked->Flags = Phase ? (clicked->Flags | kPartPhaseInvert) : (clicked->Flags & ~kPartPhaseInvert);
    clicked->FadeCurve = static_cast<uint8_t>(std::clamp(Curve, 0, 7));
  }
  if (clicked->TakeKind == kTakeAutom) clicked->AutoMapValue = static_cast<uint16_t>(std::max(Knob, 0));
  // The list offers only "Muted" and tracks 1..128: a channel it cannot
  // show (129..192, or muted above 192) stays unless the user chose one.
  if (outputChanged_) clicked->PlayChannel = output_;
  ArrCheckPartLinks(CurArr, 1, dc);
  arredit::MuteSelectedOverlaps(CurArr, dc);
  if (self >= 0) Draw(dc, static_cast<uint32_t>(part_), static_cast<uint32_t>(self));
  if (message != 0) Refuse(message);
  return 1;
}

int ArrInfoTool(int32_t part, DcHandle dc) {
  if (arrlist::UsedPart(CurArr, static_cast<uint32_t>(part)) == nullptr) return 0;
  // Time fields apply while the dialog is open, so the step comes first.
  if (!arredit::BeginStep(IDS_UNDO_INFO_CHANGE)) return 0;
  InfoDlg dlg(part);
  const int ok = ArrEditWnd().RunInfoDialog(dlg) == 1;
  if (!ok && !dlg.Applied()) {
    UndoApply(0);  // nothing changed: no step is left
    return 0;
  }
  arredit::RebuildPlay();
  ArrChangeCountRaise();
  return ok;
}

std::vector<std::string> ArrInfoTakeList(int32_t part, int* current) {
  std::vector<std::string> names;
  *current = -1;
  const PartRec* p = arrlist::UsedPart(CurArr, static_cast<uint32_t>(part));
  TakeRec* own = p != nullptr ? TakeFromRef(p->Take) : nullptr;
  if (own == nullptr) return names;
  const std::string path = own->path;
  const size_t cut = path.find_last_of("\\/");
  const std::string dir = cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
  const std::string ownName = path.substr(cut == std::string::npos ? 0 : cut + 1);
  if (!dir.empty()) {
    for (TakeRec* t = TakeFindFirst(dir.c_str()); t != nullptr; t = TakeFindNext(t)) {
      if (t->kind != p->TakeKind) continue;
      const std::string tp = t->path;
      const size_t c = tp.find_last_of("\\/");
      names.push_back(tp.substr(c == std::string::npos ? 0 : c + 1));
    }
    TakeFindClose();
  }
  if (std::find(names.begin(), names.end(), ownName) == names.end()) names.push_back(ownName);
  std::sort(names.begin(), names.end());
  *current = static_cast<int>(std::find(names.begin(), names.end(), ownName) - names.begin());
  return names;
}
