// Thousands of seeded random edits on random arrangements. After every
// step the arrangement must be whole (lists sorted and bounded, every used
// slot in exactly one list, overlap, crossfade and channel links current);
// an operation that recorded no step must have changed nothing unless it
// is one of the unrecorded ones. Every batch then undoes each of its steps,
// checking that each brings back the arrangement and markers exactly as
// they were before that step, and redoes them all the same way.
#include <random>

#include "edit_fixture.h"
#include "mixer/arrange/editdisp.h"
#include "mixer/arrange/globalcmd.h"
#include "mixer/arrange/partlink.h"
#include "mixer/arrange/partops.h"

namespace {

constexpr int kClickOp = 17;

struct Lists {
  std::vector<uint8_t> arr;
  std::vector<uint8_t> mrk;
  bool operator==(const Lists&) const = default;
};

Lists Live() {
  auto bytes = [](const void* p, uint32_t n) {
    const auto* b = static_cast<const uint8_t*>(p);
    return std::vector<uint8_t>(b, b + n);
  };
  return {bytes(CurArr, ArrBlockSize(CurArr->PartCount)),
          bytes(CurMrkList, MrkBlockSize(CurMrkList->Count))};
}

class EditRandom : public EditFixture {
 protected:
  std::mt19937 rng{20261211};
  int32_t Pick(int32_t n) { return std::uniform_int_distribution<int32_t>(0, n - 1)(rng); }
  bool Chance(int percent) { return Pick(100) < percent; }
  uint32_t clock_ = 0;
  int lastOp_ = -1;  // the operation of the last step, for failure messages

  // A random arrangement on 8 tracks, with linked pairs, layers, a few
  // crossfades and markers.
  void Build() {
    ArrHeap.Free(CurArr);
    MrkHeap.Free(CurMrkList);
    CurArr = ArrNew(nullptr);
    CurMrkList = MrkListNew(nullptr);
    const int n = 5 + Pick(40);
    for (int i = 0; i < n; ++i) {
      const uint16_t kinds[] = {3, 3, 3, 20, 21};
      PartRec p = NewPart(Pick(20000), 1 + Pick(3000), 1 + static_cast<uint32_t>(Pick(5)), kinds[Pick(5)]);
      p.Flags = (Chance(50) ? kPartSelected : 0u) | (Chance(5) ? kPartTimelocked : 0u) |
                (Chance(10) ? kPartPhaseInvert : 0u);
      p.PlayChannel = Chance(20) ? 0 : Chance(20) ? 193 + Pick(8) : 1 + Pick(8);
      p.Layer = static_cast<int16_t>(Pick(3));
      p.SnapPoint = Chance(30) ? Pick(p.Length) : 0;
      p.Offset = Pick(1000);
      p.GainStart = static_cast<uint32_t>(Pick(65537));
      p.GainEnd = static_cast<uint32_t>(Pick(65537));
      p.FadeCurve = static_cast<uint8_t>(Pick(8));
      const uint32_t track = static_cast<uint32_t>(Pick(8));
      // Some Parts are continued by further pieces of their Take, as glue
      // finds them; of a linked pair, one member or both.
      const int pieces = Chance(25) ? 1 + Pick(2) : 0;
      if (p.TakeKind == kTakeAudio && track < 7 && Chance(20)) {
        PartRec q = p;
        p.Flags |= kPartLinkNext;
        q.Flags = (p.Flags & ~kPartLinkNext) | kPartLinkPrev;
        AddRun(track, p, pieces);
        AddRun(track + 1, q, Chance(50) ? pieces : 0);
      } else {
        AddRun(track, p, pieces);
      }
    }
    // A few crossfade links; the check keeps the valid ones.
    for (int i = 0; i < 6 && CurArr->PartCount > 1; ++i) {
      uint32_t a = static_cast<uint32_t>(Pick(static_cast<int32_t>(CurArr->PartCount)));
      uint32_t b = static_cast<uint32_t>(Pick(static_cast<int32_t>(CurArr->PartCount)));
      if (a == b) continue;
      P(a).XfadeOutPartner = static_cast<uint16_t>(b);
      P(b).XfadeInPartner = static_cast<uint16_t>(a);
    }
    ArrRelinkOverlaps(CurArr);
    ArrCheckXfades(CurArr, 0);
    ArrCheckPartLinks(CurArr, 1, nullptr);
    for (uint32_t m = 1; m <= static_cast<uint32_t>(Pick(5)); ++m) {
      MrkRec rec{};
      rec.Position = Pick(30000);
      MrkInsert(&CurMrkList, rec, m, nullptr);
    }
    KeepSel = Chance(50);
    EditOverlapMode = Chance(30) ? 40892 : 40893;
    EditMultiOutMode = Chance(70) ? 40896 : 40897;
    routines.knobs.clear();
    for (uint32_t take = 1; take <= 5; ++take)
      routines.knobs.push_back({take, Chance(50) ? std::vector<std::string>{"Gain", "Pan"}
                                                 : std::vector<std::string>{"Pan"}});
  }

  // The Part and `pieces` Parts that continue it in its Take.
  void AddRun(uint32_t track, PartRec p, int pieces) {
    Add(track, p);
    for (int i = 0; i < pieces && p.Start < 1000000; ++i) {
      p.Start += p.Length;
      p.Offset += p.Length;
      p.Length = 1 + Pick(2000);
      p.SnapPoint = 0;
      Add(track, p);
    }
  }

  // A random used Part, or -1.
  int32_t AnyPart() {
    std::vector<int32_t> used;
    ArrForEachPart(CurArr, [&](uint32_t, uint32_t slot, const PartRec&) { used.push_back(static_cast<int32_t>(slot)); });
    return used.empty() ? -1 : used[Pick(static_cast<int32_t>(used.size()))];
  }

  void Answers() {
    Host().answers.clear();
    for (int i = 0; i < 4; ++i) Host().answers.push_back(Chance(50) ? kIdYes : kIdNo);
  }

  ArrGlobalAnswers GlobalAnswers() {
    ArrGlobalAnswers a;
    for (auto& t : a.Tracks) t = Chance(85) ? 1 : 0;
    a.Proceed = Chance(90);
    a.ReBin = Chance(20);
    return a;
  }

  // One random operation; true when it may change the arrangement without
  // recording a step.
  bool Step() {
    Locs().LeftLoc = Pick(25000);
    Locs().RightLoc = Chance(80) ? Locs().LeftLoc + Pick(8000) : Pick(25000);
    Locs().NowLoc = Pick(25000);
    Answers();
    ArrInput in;
    in.Time = (clock_ += 100 + static_cast<uint32_t>(Pick(1000)));
    DcHandle dc = Chance(50) ? kTestDc : nullptr;
    const int32_t part = AnyPart();
    uint32_t track = part >= 0 ? static_cast<uint32_t>(std::max(ArrTrackOfPart(CurArr, static_cast<uint32_t>(part)), 0)) : 0;
    switch (lastOp_ = Pick(24)) {
      case 0: ArrToggleMute(part, dc); return false;
      case 1: ArrAssignOutputs(part, dc, Chance(70) ? 3 : 20, Pick(140) - 5); return false;
      case 2: ArrSetSnapPoint(dc, Pick(25000), in); return false;
      case 3: ArrGlueSelected(dc); return false;
      case 4: ArrDeleteSelected(dc); return false;
      case 5: ArrInvertPhase(part, dc); return false;
      case 6: ArrToggleTimelock(part, dc); return false;
      case 7: window.menuPicks = {Pick(3) - 1}; ArrChooseAutomKnob(1, part, nullptr, dc, 0, 0); return false;
      case 8: ArrSlipCommit(Pick(200), dc, ArrSlipDrag{100, Pick(500), Pick(500), Chance(20) ? Pick(50) : 0}); return false;
      case 9: ArrGlobalCutAndSelectApply(GlobalAnswers()); return false;
      case 10: ArrGlobalCutAtNowLocApply(GlobalAnswers()); return false;
      case 11: ArrGlobalCutAndInsertApply(GlobalAnswers()); return false;
      case 12: ArrGlobalCutAndDeleteApply(GlobalAnswers()); return false;
      case 13: ArrMoveCopySelToLeftLocApply(Pick(2), Chance(90)); return false;
      case 14: if (Chance(20)) ArrFlattenApply(1); return false;
      case 15: ArrGlobalCutAndDelete(); return false;
      case 16: ArrGlobalCutAndInsert(); return false;
      case kClickOp: {
        in.Ctrl = Chance(20);
        in.Shift = Chance(10);
        ArrChildClick(nullptr, dc, Pick(300), 10 + Pick(140), kTransportStopped, 1, Pick(50), in);
        return true;  // clicks select without a step
      }
      case 18: {
        int (*const cmds[])() = {ArrSelectAllParts, ArrSelectPartsInLocRange, ArrSelectPartsAfterLeftLoc,
                                 ArrSelectPartsWithoutPlayChan, ArrSelectTimelockedParts,
                                 ArrSelectPartsOnSelTrks, ArrSelectPartsOfSamePlayChan,
                                 ArrSelectPartsOfSameTake, ArrSelectPartsFromFirstSel,
                                 ArrDeselectAllCmd, ArrInvertPartSelection};
        cmds[Pick(11)]();
        return true;
      }
      case 19: {
        ArrBandRect band{Pick(300), Pick(150), Pick(300), Pick(150)};
        ArrRubberBandSelect(dc, band);
        return true;
      }
      case 20: {
        if (part < 0) return true;
        switch (Pick(3)) {
          case 0: ArrStereoLink(dc, CurArr, part, track, 0); break;
          case 1: ArrMultiChanLink(dc, CurArr, part, track, 0, Pick(2)); break;
          default: ArrUnlinkGroup(dc, CurArr, part, track, 0); break;
        }
        return true;
      }
      case 21: {
        uint32_t msg = 0;
        ArrAddGainDelta(CurArr, Pick(3), static_cast<uint32_t>(Pick(65537)), static_cast<uint32_t>(Pick(65537)), dc, &msg);
        ArrSetTrackFade(dc, CurArr, static_cast<uint32_t>(Pick(8)), static_cast<uint32_t>(Pick(65537)),
                        static_cast<uint32_t>(Pick(65537)), Pick(8));
        return true;
      }
      case 22:
        ArrChildCommand(1 + Pick(48), nullptr, kTransportStopped, dc, 0, 0, part, Pick(21), track,
                        Pick(25000), 1, in);
        return false;
      default:
        ArrFlatten();
        return false;
    }
  }

  // The arrangement is whole.
  void CheckWhole(int step) {
    const ArrRec* arr = CurArr;
    ASSERT_LE(arr->PartCount, kArrMaxParts);
    std::vector<int> seen(arr->PartCount, 0);
    for (uint32_t t = 0; t < kArrTracks; ++t) {
      int64_t last = INT64_MIN;
      uint32_t steps = 0;
      for (uint32_t s = arr->ListHead[t]; s != kArrNoSlot; s = ArrPart(arr, s)->Next) {
        ASSERT_LT(s, arr->PartCount) << "step " << step;
        ASSERT_LE(++steps, arr->PartCount) << "cycle, step " << step;
        const PartRec& p = *ArrPart(arr, s);
        ASSERT_NE(p.Start, kPartFreeStart) << "free slot in a list, step " << step;
        ASSERT_GE(p.Start, last) << "unsorted, step " << step;
        last = p.Start;
        ++seen[s];
        ASSERT_GT(p.Length, 0) << step;
        ASSERT_GE(p.Offset, 0) << step;
        ASSERT_TRUE(p.SnapPoint >= 0 && (p.SnapPoint == 0 || p.SnapPoint < p.Length)) << step;
        ASSERT_TRUE(p.PlayChannel >= 0 && p.PlayChannel <= 384) << step;
        ASSERT_NE(std::memchr(p.Name, 0, sizeof p.Name), nullptr) << step;
      }
    }
    for (uint32_t s = 0; s < arr->PartCount; ++s) {
      const PartRec& p = *ArrPart(arr, s);
      const int expected = p.Start == kPartFreeStart ? 0 : 1;
      ASSERT_EQ(seen[s], expected) << "slot " << s << ", step " << step;
    }
    ASSERT_EQ(ArrCheckPartLinks(CurArr, 0, nullptr), 1) << "dangling channel link, step " << step;
    // Overlap and crossfade links are current: recomputing changes nothing.
    std::vector<uint8_t> copy = Live().arr;
    auto* c = reinterpret_cast<ArrRec*>(copy.data());
    ArrRelinkOverlaps(c);
    ArrCheckXfades(c, 0);
    ASSERT_EQ(copy, Live().arr) << "stale overlap or crossfade links, step " << step;
  }
};

TEST_F(EditRandom, EditsKeepTheArrangementWholeAndUndoRedoRestoreEveryStep) {
  ArrViewRec& v = ArrView();
  v.Hzoom = 100;
  v.Origin = kArrTimeShift;
  v.Vzoom = 13;
  v.TopHeight = 16;
  v.VisibleRows = 8;
  int steps = 0, recorded = 0;
  for (int batch = 0; batch < 40; ++batch) {
    UndoDiscard(0);
    Build();
    ASSERT_NO_FATAL_FAILURE(CheckWhole(-1));
    std::vector<Lists> before;  // the lists before each recorded step
    std::vector<int> ops;       // and its operation
    for (int i = 0; i < 80 && before.size() < 90; ++i, ++steps) {
      const Lists pre = Live();
      const uint32_t level = UndoGetLevel();
      Services().ClearLog();
      Startup().log.clear();
      const bool unrecorded = Step();
      ASSERT_NO_FATAL_FAILURE(CheckWhole(steps));
      if (UndoGetLevel() == level + 1) {
        before.push_back(pre);
        ops.push_back(lastOp_);
      } else {
        ASSERT_EQ(UndoGetLevel(), level) << "step " << steps;
        const bool same = unrecorded || Live() == pre;
        ASSERT_TRUE(same) << "changed without a step, step " << steps;
      }
    }
    recorded += static_cast<int>(before.size());
    const Lists present = Live();
    for (size_t k = before.size(); k-- > 0;) {
      ASSERT_EQ(UndoApply(1), 1);
      // A click selects the Part before its operation records the step.
      if (ops[k] == kClickOp) continue;
      ASSERT_TRUE(Live() == before[k]) << "undo of step " << k << " (operation " << ops[k] << ") of batch " << batch << (Live().arr == before[k].arr ? ", markers differ" : "");
    }
    for (size_t k = 1; k <= before.size(); ++k) {
      ASSERT_EQ(RedoApply(), 1);
      if (k < before.size() && ops[k] == kClickOp) continue;
      ASSERT_TRUE(Live() == (k < before.size() ? before[k] : present)) << "redo " << k << " of batch " << batch;
    }
  }
  EXPECT_GE(steps, 3000);
  EXPECT_GT(recorded, 1000);
}

}  // namespace
