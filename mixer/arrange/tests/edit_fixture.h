// Shared set-up of the edit operation tests: a fresh current arrangement and
// marker list, an empty undo store, the program options at their defaults,
// and recording stand-ins for the window and its editing routines. Every
// stand-in call is logged as one line in Services().log; questions are
// answered from Host().answers (OK when empty, which counts as No).
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "mixer/arrange/arrview.h"
#include "mixer/arrange/editseams.h"
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

inline DcHandle const kTestDc = reinterpret_cast<DcHandle>(0x1000);

class RecWindow : public ArrEditWindow {
 public:
  int exists = 1;
  std::deque<int> menuPicks;           // TrackMenu answers
  std::deque<int32_t> partMenuPicks;  // TrackPartMenu answers
  int Exists() override { return exists; }
  void UpdateScrollRanges() override { FakeLog("UpdateScrollRanges()"); }
  void RedrawNow() override { FakeLog("RedrawNow()"); }
  void EraseSlipFeedback(DcHandle) override { FakeLog("EraseSlipFeedback()"); }
  void* ToolCursor(int tool, int zone) override {
    return reinterpret_cast<void*>(static_cast<intptr_t>(0x10000 + tool * 100 + zone));
  }
  void ShowCursor(void* c) override {
    FakeLog("ShowCursor(%d)", static_cast<int>(reinterpret_cast<intptr_t>(c)));
  }
  int TrackMenu(const ArrMenuItem* items, int count, int current, int, int, int) override {
    std::string names;
    for (int i = 0; i < count; ++i) names += std::string(i ? "," : "") + (items[i].Checked ? "*" : "") + items[i].Text;
    FakeLog("TrackMenu(%s, %d)", names.c_str(), current);
    if (menuPicks.empty()) return -1;
    int pick = menuPicks.front();
    menuPicks.pop_front();
    return pick;
  }
  int32_t TrackPartMenu(uint32_t menuId, int, int) override {
    FakeLog("TrackPartMenu(%u)", menuId);
    if (partMenuPicks.empty()) return -1;
    int32_t pick = partMenuPicks.front();
    partMenuPicks.pop_front();
    return pick;
  }
  void BeginRubberBand(int x, int y, int moveNow) override {
    FakeLog("BeginRubberBand(%d, %d, %d)", x, y, moveNow);
  }
};

class RecRoutines : public ArrEditRoutines {
 public:
  int zone = 0;            // PartZone's answer
  int contextTool = -1;    // ContextTool's answer
  int result = 1;          // what the logged routines return
  void* dragHandle = reinterpret_cast<void*>(0x77);
  // Knobs by Take reference: names.
  std::vector<std::pair<uint32_t, std::vector<std::string>>> knobs;

  int PartZone(const ArrRec*, uint32_t, uint32_t, int32_t, int32_t) override { return zone; }
  int ContextTool(int32_t part, int z, uint32_t track) override {
    FakeLog("ContextTool(%d, %d, %u)", part, z, track);
    return contextTool;
  }
  int CursorTool(int kind, int alt, int) override { return 40 + kind * 2 + alt; }
  int IoAssignMenu(WndHandle, DcHandle, int, int, int32_t p, int b) override { return Log("IoAssignMenu(%d, %d)", p, b); }
  void* BeginMoveCopy(DcHandle, int, int, int mode, int copy) override {
    FakeLog("BeginMoveCopy(%d, %d)", mode, copy);
    return dragHandle;
  }
  void* BeginTrim(DcHandle, int, int, int32_t p, int z, int op) override {
    FakeLog("BeginTrim(%d, %d, %d)", p, z, op);
    return dragHandle;
  }
  void* BeginSlip(DcHandle, int, int) override {
    FakeLog("BeginSlip()");
    return dragHandle;
  }
  void* BeginGainDrag(DcHandle, int, int, int32_t p) override {
    FakeLog("BeginGainDrag(%d)", p);
    return dragHandle;
  }
  void* BeginAutomEdit(DcHandle, int, int, int32_t p, int z) override {
    FakeLog("BeginAutomEdit(%d, %d)", p, z);
    return dragHandle;
  }
  int CutParts(DcHandle, int32_t pos, int op) override { return Log("CutParts(%d, %d)", pos, op); }
  int CropParts(DcHandle) override { return Log("CropParts()"); }
  int FadeParts(int32_t p, DcHandle, int op) override { return Log("FadeParts(%d, %d)", p, op); }
  int CrossfadeAtPointer(DcHandle) override { return Log("CrossfadeAtPointer()"); }
  int CrossfadeDialog(int32_t pos, int32_t p, uint32_t t, DcHandle) override {
    return Log("CrossfadeDialog(%d, %d, %u)", pos, p, t);
  }
  int VolumeDialog(int32_t p, DcHandle) override { return Log("VolumeDialog(%d)", p); }
  int InfoDialog(int32_t p, DcHandle) override { return Log("InfoDialog(%d)", p); }
  int RepeatParts(DcHandle) override { return Log("RepeatParts()"); }
  int StereoLinkCmd(int32_t p, DcHandle) override { return Log("StereoLinkCmd(%d)", p); }
  int MultiLinkCmd(int32_t p, DcHandle) override { return Log("MultiLinkCmd(%d)", p); }
  int ToggleWaveforms(int32_t p, DcHandle) override { return Log("ToggleWaveforms(%d)", p); }
  int SoloPart(DcHandle, int32_t p, uint32_t t, int32_t pos) override {
    return Log("SoloPart(%d, %u, %d)", p, t, pos);
  }
  int SoloPartSpan(int32_t pos, DcHandle, int32_t p, uint32_t t) override {
    return Log("SoloPartSpan(%d, %d, %u)", pos, p, t);
  }
  int SoloScrub(DcHandle, uint32_t t, int, int, int32_t p, int32_t pos) override {
    return Log("SoloScrub(%u, %d, %d)", t, p, pos);
  }
  int ScrubAll(DcHandle, int32_t pos, int, int) override { return Log("ScrubAll(%d)", pos); }
  int Mixdown(WndHandle, DcHandle, int, int, int b) override { return Log("Mixdown(%d)", b); }
  int Consolidate(DcHandle) override { return Log("Consolidate()"); }
  int NoiseGateDialog() override { return Log("NoiseGateDialog()"); }
  int NoiseGateScan(DcHandle) override { return Log("NoiseGateScan()"); }
  int ProcessAudio(DcHandle, uint32_t name, int routine) override {
    return Log("ProcessAudio(%u, %d)", name, routine);
  }
  int ProcessAutomation(DcHandle, uint32_t name) override { return Log("ProcessAutomation(%u)", name); }
  int ToolRunner(WndHandle, int, int, int32_t a, int32_t b) override { return Log("ToolRunner(%d, %d)", a, b); }
  int KnobCount(uint32_t take) override {
    for (auto& k : knobs)
      if (k.first == take) return static_cast<int>(k.second.size());
    return 0;
  }
  void KnobName(uint32_t take, int knob, char* buffer, int size) override {
    for (auto& k : knobs)
      if (k.first == take) std::snprintf(buffer, size, "%s", k.second[knob].c_str());
  }
  uint32_t KnobId(uint32_t, int) override { return 7; }

 private:
  template <typename... A> int Log(const char* fmt, A... a) {
    FakeLog(fmt, a...);
    return result;
  }
};

inline PartRec NewPart(int32_t start, int32_t length, uint32_t take = 1, uint16_t kind = 3,
                       uint32_t flags = 0) {
  PartRec p;
  std::memset(&p, 0, sizeof p);
  std::snprintf(p.Name, sizeof p.Name, "P%d", start);
  p.Start = start;
  p.Length = length;
  p.Take = take;
  p.TakeKind = kind;
  p.Flags = flags;
  p.PlayChannel = 1;
  p.GainStart = p.GainEnd = 32768;
  p.OverlapLink = p.XfadeInPartner = p.XfadeOutPartner = kArrNoLink;
  p.Next = kArrNoSlot;
  return p;
}

class EditFixture : public ::testing::Test {
 protected:
  RecWindow window;
  RecRoutines routines;

  void SetUp() override {
    Services().Reset();
    Host().Reset();
    Startup().log.clear();
    ASSERT_EQ(TakeStoreOpen(), 1);
    UndoSuspend(0);
    UndoLevels = 100;
    UndoDiscard(0);
    CurArr = ArrNew(nullptr);
    CurMrkList = MrkListNew(nullptr);
    ASSERT_NE(CurArr, nullptr);
    ASSERT_NE(CurMrkList, nullptr);
    KeepSel = 0;
    EditOverlapMode = 40893;
    EditMultiOutMode = 40896;
    Settings() = ProjectSettings();
    Settings().SnapMode = 0;
    Locs() = Locators();
    ArrView() = ArrViewRec();
    ArrSetEditSeams(&window, &routines);
  }
  void TearDown() override {
    ArrSetEditSeams(nullptr, nullptr);
    UndoDiscard(0);
    ArrHeap.Free(CurArr);
    MrkHeap.Free(CurMrkList);
    CurArr = nullptr;
    CurMrkList = nullptr;
    TakeStoreClose();
  }

  void Reset() {
    TearDown();
    SetUp();
  }

  uint32_t Add(uint32_t track, const PartRec& part) {
    uint32_t slot = kArrNoSlot;
    EXPECT_EQ(ArrInsertPart(&CurArr, part, &slot, track, nullptr), 1);
    return slot;
  }
  uint32_t Add(uint32_t track, int32_t start, int32_t length, uint32_t flags = 0) {
    return Add(track, NewPart(start, length, 1, 3, flags));
  }
  PartRec& P(uint32_t slot) { return *ArrPart(CurArr, slot); }

  // The Parts of a track as {start, length} pairs in list order.
  std::vector<std::pair<int32_t, int32_t>> Spans(uint32_t track) const {
    std::vector<std::pair<int32_t, int32_t>> spans;
    ArrForEachTrackPart(CurArr, track, [&](uint32_t, const PartRec& p) { spans.push_back({p.Start, p.Length}); });
    return spans;
  }
  // The selected bits of a track's Parts in list order.
  std::vector<int> SelBits(uint32_t track) const {
    std::vector<int> bits;
    ArrForEachTrackPart(CurArr, track, [&](uint32_t, const PartRec& p) { bits.push_back(p.Flags & kPartSelected ? 1 : 0); });
    return bits;
  }
  std::vector<uint8_t> Image() const {
    const auto* b = reinterpret_cast<const uint8_t*>(CurArr);
    return {b, b + ArrBlockSize(CurArr->PartCount)};
  }
  // Answers the next questions in order.
  void Answer(std::initializer_list<int> answers) {
    for (int a : answers) Host().answers.push_back(a);
  }
  std::vector<uint32_t> BoxIds() const {
    std::vector<uint32_t> ids;
    for (const HostBox& b : Host().boxes) ids.push_back(b.id);
    return ids;
  }
  bool Logged(const std::string& line) const { return Services().Called(line); }
  // Play lists rebuilt since the last look; the log is emptied.
  int PlayRebuilds() {
    const int n = Startup().Count("RebuildAndPrepPlayLists(");
    Startup().log.clear();
    return n;
  }
};
