// Random operation sequences on random arrangements, both from the input:
// Parts with any start, length, kind, channel, flags, layer and links on a
// few tracks, then edits with any Part, locators, answers and arguments.
// After every edit the lists must be whole and the channel links paired;
// undoing every recorded step must bring back the lists as they were
// before it.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "mixer/arrange/editdisp.h"
#include "mixer/arrange/globalcmd.h"
#include "mixer/arrange/partlink.h"
#include "mixer/arrange/partops.h"
#include "mixer/model/arr.h"
#include "mixer/model/arrheap.h"
#include "mixer/model/marker.h"
#include "mixer/model/options.h"
#include "mixer/model/settings.h"
#include "mixer/model/take.h"
#include "mixer/model/undo.h"
#include "tests/fakes/host_fake.h"
#include "tests/fakes/services_fake.h"
#include "tests/fakes/startup_fake.h"

namespace {

class Input {
 public:
  Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool Empty() const { return pos_ >= size_; }
  uint32_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  uint32_t Word() { return Byte() | Byte() << 8; }
  int32_t Pos() { return static_cast<int32_t>(Word() * 8); }  // 0..524280
  int32_t Any32() { return static_cast<int32_t>(Word() | Word() << 16); }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

constexpr uint32_t kTracks = 6;

std::vector<uint8_t> Image() {
  const auto* a = reinterpret_cast<const uint8_t*>(CurArr);
  const auto* m = reinterpret_cast<const uint8_t*>(CurMrkList);
  std::vector<uint8_t> bytes(a, a + ArrBlockSize(CurArr->PartCount));
  bytes.insert(bytes.end(), m, m + MrkBlockSize(CurMrkList->Count));
  return bytes;
}

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

void CheckWhole() {
  const ArrRec* arr = CurArr;
  Check(arr->PartCount <= kArrMaxParts);
  std::vector<uint8_t> seen(arr->PartCount, 0);
  for (uint32_t t = 0; t < kArrTracks; ++t) {
    int64_t last = INT64_MIN;
    uint32_t steps = 0;
    for (uint32_t s = arr->ListHead[t]; s != kArrNoSlot; s = ArrPart(arr, s)->Next) {
      Check(s < arr->PartCount && ++steps <= arr->PartCount);
      const PartRec& p = *ArrPart(arr, s);
      Check(p.Start != kPartFreeStart && p.Start >= last && seen[s] == 0);
      Check(std::memchr(p.Name, 0, sizeof p.Name) != nullptr);
      last = p.Start;
      seen[s] = 1;
    }
  }
  for (uint32_t s = 0; s < arr->PartCount; ++s)
    Check((ArrPart(arr, s)->Start == kPartFreeStart) == (seen[s] == 0));
  Check(ArrCheckPartLinks(CurArr, 0, nullptr) == 1);
}

void Build(Input& in) {
  const uint32_t n = in.Byte() % 48;
  for (uint32_t i = 0; i < n; ++i) {
    PartRec p;
    std::memset(&p, 0, sizeof p);
    p.Start = in.Pos();
    p.Length = static_cast<int32_t>(in.Word()) * (in.Byte() & 1 ? 1 : 300) - 8;  // some not positive
    p.Take = 1 + in.Byte() % 4;
    const uint16_t kinds[] = {3, 3, 20, 21};
    p.TakeKind = kinds[in.Byte() % 4];
    p.Flags = in.Byte() & 0x1F;
    p.PlayChannel = static_cast<int32_t>(in.Word() % 400) - 8;
    p.Layer = static_cast<int16_t>(in.Byte() % 3);
    p.Offset = in.Pos();
    p.SnapPoint = in.Pos();
    p.GainStart = in.Word() * 2;
    p.GainEnd = in.Word() * 2;
    p.FadeCurve = static_cast<uint8_t>(in.Byte());
    p.OverlapLink = p.XfadeInPartner = p.XfadeOutPartner = static_cast<uint16_t>(in.Byte() % 50);
    p.Next = kArrNoSlot;
    ArrInsertPart(&CurArr, p, nullptr, in.Byte() % kTracks, nullptr);
  }
  // What an arrangement file's reader repairs before the editor sees it.
  ArrRelinkOverlaps(CurArr);
  ArrCheckXfades(CurArr, 0);
  ArrCheckPartLinks(CurArr, 1, nullptr);
  ArrCheckPartNames(CurArr, 1, nullptr);
  for (uint32_t m = 1; m <= in.Byte() % 4; ++m) {
    MrkRec rec{};
    rec.Position = in.Pos();
    MrkInsert(&CurMrkList, rec, m, nullptr);
  }
}

int32_t AnyPart(Input& in) {
  return CurArr->PartCount ? static_cast<int32_t>(in.Byte() % (CurArr->PartCount + 1)) - 1 : -1;
}

ArrGlobalAnswers Answers(Input& in) {
  ArrGlobalAnswers a;
  for (uint32_t t = 0; t < kArrTracks; ++t) a.Tracks[t] = static_cast<uint8_t>((in.Byte() & 3) != 0);
  a.Proceed = (in.Byte() & 7) != 0;
  a.ReBin = in.Byte() & 1;
  return a;
}

// One edit; true when it may change the lists without an undo step.
bool Edit(Input& in) {
  Locs().LeftLoc = in.Pos();
  Locs().RightLoc = in.Pos();
  Locs().NowLoc = in.Pos();
  Host().answers.clear();
  for (int i = 0; i < 3; ++i) Host().answers.push_back(in.Byte() & 1 ? kIdYes : kIdNo);
  DcHandle dc = in.Byte() & 1 ? reinterpret_cast<DcHandle>(0x1000) : nullptr;
  const int32_t part = AnyPart(in);
  const uint32_t track = in.Byte() % kArrTracks;
  ArrInput input;
  input.Time = in.Word() * 100;
  switch (in.Byte() % 22) {
    case 0: ArrToggleMute(part, dc); return false;
    case 1: ArrAssignOutputs(part, dc, in.Byte() & 1 ? 3 : 21, static_cast<int32_t>(in.Byte()) - 60); return false;
    case 2: ArrSetSnapPoint(dc, in.Any32(), input); return false;
    case 3: ArrGlueSelected(dc); return false;
    case 4: ArrDeleteSelected(dc); return false;
    case 5: ArrInvertPhase(part, dc); return false;
    case 6: ArrToggleTimelock(part, dc); return false;
    case 7: ArrSlipCommit(in.Any32(), dc, ArrSlipDrag{in.Any32(), in.Any32(), in.Any32(), in.Any32()}); return false;
    case 8: ArrGlobalCutAndSelectApply(Answers(in)); return false;
    case 9: ArrGlobalCutAtNowLocApply(Answers(in)); return false;
    case 10: ArrGlobalCutAndInsertApply(Answers(in)); return false;
    case 11: ArrGlobalCutAndDeleteApply(Answers(in)); return false;
    case 12: ArrMoveCopySelToLeftLocApply(in.Byte() & 1, 1); return false;
    case 13: ArrFlattenApply(1); return false;
    case 14: ArrChildCommand(static_cast<int>(in.Byte() % 52) - 1, nullptr, 2, dc, 0, 0, part, in.Byte() % 21,
                             track, in.Any32(), 1, input);
             return false;
    case 15: ArrSelectAllParts(); return true;
    case 16: ArrInvertPartSelection(); return true;
    case 17: ArrSelectPartsOfSameTake(); return true;
    case 18: ArrRubberBandSelect(dc, ArrBandRect{in.Any32(), in.Any32(), in.Any32(), in.Any32()}); return true;
    case 19: ArrStereoLink(dc, CurArr, part, track, 1); return true;
    case 20: ArrMultiChanLink(dc, CurArr, part, track, 0, in.Byte() & 1); return true;
    default: ArrUnlinkGroup(dc, CurArr, part, track, 0); return true;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const int store = TakeStoreOpen();
  (void)store;
  Input in(data, size);
  UndoLevels = 100;
  UndoDiscard(0);
  CurArr = ArrNew(nullptr);
  CurMrkList = MrkListNew(nullptr);
  if (CurArr == nullptr || CurMrkList == nullptr) __builtin_trap();
  KeepSel = static_cast<int32_t>(in.Byte() & 1);
  EditOverlapMode = in.Byte() & 1 ? 40892 : 40893;
  EditMultiOutMode = in.Byte() & 1 ? 40896 : 40897;
  ArrViewRec& view = ArrView();
  view = ArrViewRec();
  view.Hzoom = 1 + static_cast<int32_t>(in.Word());
  view.Origin = in.Any32() & 0x7FFFFFFF;
  Build(in);
  CheckWhole();
  std::vector<std::vector<uint8_t>> before;
  for (int step = 0; step < 40 && !in.Empty(); ++step) {
    Services().ClearLog();
    Startup().log.clear();
    const std::vector<uint8_t> pre = Image();
    const uint32_t level = UndoGetLevel();
    const bool unrecorded = Edit(in);
    CheckWhole();
    if (UndoGetLevel() == level + 1)
      before.push_back(pre);
    else
      Check(UndoGetLevel() == level && (unrecorded || Image() == pre));
  }
  for (size_t k = before.size(); k-- > 0;) {
    Check(UndoApply(1) == 1);
    Check(Image() == before[k]);
  }
  UndoDiscard(0);
  ArrHeap.Free(CurArr);
  MrkHeap.Free(CurMrkList);
  CurArr = nullptr;
  CurMrkList = nullptr;
  return 0;
}
