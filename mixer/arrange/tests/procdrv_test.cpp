// The off-line processing driver over real Take files: stretches, new
// Takes, re-pointed Parts, undo, and failures that leave everything as it
// was.
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>

#include "edit_fixture.h"
#include "mixer/arrange/genwave.h"
#include "mixer/arrange/partops.h"
#include "mixer/arrange/procdrv.h"
#include "mixer/model/takeattr.h"
#include "mixer/model/undo.h"

namespace fs = std::filesystem;

namespace {

std::string ModelPath(const fs::path& p) {
  std::string s = p.string();
  for (char& c : s)
    if (c == '/') c = '\\';
  return s;
}

int g_routineCalls = 0;
int g_routineAnswer = 1;
int g_editInside = -1;

// Copies each stretch of the source into its new Take, negated, so a test
// sees which samples went where.
int NegateRoutine(ProcList* list) {
  ++g_routineCalls;
  if (!g_routineAnswer) return 0;
  for (int32_t i = 0; i < list->Count; ++i) {
    const ProcSpan& s = list->Span[i];
    std::vector<int16_t> buf(s.Length);
    uint32_t error = 0;
    if (!TakeDataIo(TakeFromRef(s.Take), 0, static_cast<uint32_t>(s.Offset() * 2), s.Length * 2, buf.data(),
                    &error))
      return 0;
    for (int16_t& v : buf) v = static_cast<int16_t>(-v);
    if (!TakeDataIo(TakeFromRef(s.NewTake), 1, 0, s.Length * 2, buf.data(), &error)) return 0;
  }
  return 1;
}

// Tries an edit while the run is in progress, as an accelerator would.
int EditingRoutine(ProcList* list) {
  g_editInside = ArrDeleteSelectedApply(kTestDc, 0, 1);
  return NegateRoutine(list);
}

class ProcDriver : public EditFixture {
 protected:
  void SetUp() override {
    EditFixture::SetUp();
    static int serial = 0;
    root_ = fs::temp_directory_path() / ("procdrv_" + std::to_string(serial++) + "_" +
                                         std::to_string(reinterpret_cast<uintptr_t>(this)));
    fs::remove_all(root_);
    fs::create_directories(root_ / "src");
    fs::create_directories(root_ / "proc");
    ProcOpts() = ProcOptions();
    ProcOpts().folder = ModelPath(root_ / "proc") + "\\";
    g_routineCalls = 0;
    g_routineAnswer = 1;
    g_editInside = -1;
  }
  void TearDown() override {
    EditFixture::TearDown();
    std::error_code ec;
    fs::remove_all(root_, ec);
  }
  // An Audio Take of n 16-bit samples whose sample i is i.
  uint32_t Source(const char* name, uint32_t n) {
    uint32_t error = 0;
    TakeRec* t = TakeCreateAudio((ModelPath(root_ / "src") + "\\").c_str(), 2, n, 0, 48000, 0, 1, name, "",
                                 nullptr, nullptr, &error);
    EXPECT_NE(t, nullptr) << error;
    std::vector<int16_t> v(n);
    for (uint32_t i = 0; i < n; ++i) v[i] = static_cast<int16_t>(i);
    EXPECT_EQ(TakeDataIo(t, 1, 0, n * 2, v.data(), &error), 1);
    return TakeRef(t);
  }
  uint32_t AddPart(uint32_t track, int32_t start, int32_t offset, int32_t length, uint32_t take,
                   uint32_t flags = kPartSelected) {
    PartRec p = NewPart(start, length, take, kTakeAudio, flags);
    p.Offset = offset;
    return Add(track, p);
  }
  int16_t SampleAt(uint32_t take, int32_t at) {
    int16_t v = 0;
    uint32_t error = 0;
    TakeDataIo(TakeFromRef(take), 0, static_cast<uint32_t>(at) * 2, 2, &v, &error);
    return v;
  }
  std::set<std::string> Files(const char* sub) {
    std::set<std::string> names;
    for (const auto& e : fs::recursive_directory_iterator(root_ / sub))
      if (e.is_regular_file()) names.insert(fs::relative(e.path(), root_ / sub).generic_string());
    return names;
  }
  fs::path root_;
};

TEST_F(ProcDriver, StretchesBecomeNewTakesAndPartsFollowThem) {
  const uint32_t a = Source("Vox", 1000);
  const uint32_t b = Source("Gtr", 1000);
  const uint32_t p1 = AddPart(0, 0, 100, 100, a);       // [100,200)
  const uint32_t p2 = AddPart(1, 500, 200, 50, a);      // touches: joins [100,250)
  const uint32_t p3 = AddPart(0, 300, 700, 100, a);     // its own stretch
  const uint32_t p4 = AddPart(2, 0, 950, 200, b);       // past the Take's end: [950,1000)
  ProcOpts().delUnRefATk = 40883;
  const uint32_t levels = UndoGetLevel();

  ASSERT_EQ(ArrProcessAudioParts(kTestDc, 107, NegateRoutine), 1);
  EXPECT_EQ(UndoGetLevel(), levels + 1);
  EXPECT_NE(P(p1).Take, a);
  EXPECT_EQ(P(p1).Take, P(p2).Take);
  EXPECT_NE(P(p3).Take, P(p1).Take);
  EXPECT_EQ(P(p1).Offset, 0);
  EXPECT_EQ(P(p2).Offset, 100);
  EXPECT_EQ(P(p3).Offset, 0);
  EXPECT_EQ(P(p4).Offset, 0);
  EXPECT_EQ(TakeGetAttr(TakeFromRef(P(p1).Take), kTakeAttrLength), 150u);
  EXPECT_EQ(TakeGetAttr(TakeFromRef(P(p4).Take), kTakeAttrLength), 50u);
  // Each Part plays the same samples as before, processed.
  EXPECT_EQ(SampleAt(P(p1).Take, P(p1).Offset), -100);
  EXPECT_EQ(SampleAt(P(p2).Take, P(p2).Offset + 49), -249);
  EXPECT_EQ(SampleAt(P(p3).Take, P(p3).Offset), -700);
  EXPECT_EQ(SampleAt(P(p4).Take, 49), -999);
  EXPECT_EQ(std::string(P(p1).Name), "Vox #01");
  EXPECT_EQ(std::string(P(p3).Name), "Vox #02");
  EXPECT_EQ(std::string(P(p4).Name), "Gtr #01");
  // Both sources are unused now and went to the recycle folder unasked.
  EXPECT_EQ(Files("src"), (std::set<std::string>{"qvReBin/Gtr.ATAK", "qvReBin/Vox.ATAK"}));
  EXPECT_TRUE(Host().boxes.empty());
  // Undo gives the Parts back their Takes.
  ASSERT_EQ(UndoApply(1), 1);
  EXPECT_EQ(P(p1).Take, a);
  EXPECT_EQ(P(p2).Offset, 200);
}

// A destination Take carries the time code of its stretch's first sample:
// the source's stamp moved by the stretch's offset (from 00:00:00:00 for a
// source stamped nowhere).
TEST_F(ProcDriver, NewTakesCarryTheTimeCodeOfTheirStretchStart) {
  uint32_t error = 0;
  const TcRec stamp{1, 0, 0, 0, 0};
  TakeRec* t = TakeCreateAudio((ModelPath(root_ / "src") + "\\").c_str(), 2, 100000, 0, 48000, 25, 1, "Tc", "",
                               &stamp, nullptr, &error);
  ASSERT_NE(t, nullptr) << error;
  const uint32_t stamped = TakeRef(t);
  const uint32_t plain = Source("Plain", 1000);
  const uint32_t p1 = AddPart(0, 0, 48000 + 1920, 100, stamped);  // one second and one frame in
  const uint32_t p2 = AddPart(1, 0, 10, 100, plain);
  ASSERT_EQ(ArrProcessAudioParts(kTestDc, 107, NegateRoutine), 1);
  auto* tc = reinterpret_cast<const TcRec*>(TakeGetAttr(TakeFromRef(P(p1).Take), kTakeAttrTcStamp));
  ASSERT_NE(tc, nullptr);
  EXPECT_EQ((std::vector<int>{tc->Hours, tc->Minutes, tc->Seconds, tc->Frames}), (std::vector<int>{1, 0, 1, 1}));
  tc = reinterpret_cast<const TcRec*>(TakeGetAttr(TakeFromRef(P(p2).Take), kTakeAttrTcStamp));
  EXPECT_EQ((std::vector<int>{tc->Hours, tc->Minutes, tc->Seconds, tc->Frames, tc->SubFrames}),
            (std::vector<int>{0, 0, 0, 0, 10}));
}

TEST_F(ProcDriver, FailuresLeaveArrangementUndoAndFolderAsTheyWere) {
  const uint32_t a = Source("Vox", 1000);
  AddPart(0, 0, 0, 100, a);
  AddPart(1, 0, 500, 100, a);
  AddPart(2, 0, 0, 100, a, 0);  // shares the Take, unselected
  KeepSel = 1;  // a failed run sets the selection to KeepSel
  const std::vector<uint8_t> before = Image();
  const uint32_t levels = UndoGetLevel();
  auto same = [&](const char* what) {
    EXPECT_EQ(Image(), before) << what;
    EXPECT_EQ(UndoGetLevel(), levels) << what;
    EXPECT_TRUE(Files("proc").empty()) << what;
  };

  Answer({kIdCancel});
  EXPECT_EQ(ArrProcessAudioParts(kTestDc, 107, NegateRoutine), 0);
  EXPECT_EQ(BoxIds(), (std::vector<uint32_t>{240}));
  EXPECT_EQ(g_routineCalls, 0);
  same("cancel to the sharing question");

  ProcOpts().refATk = 40880;
  g_routineAnswer = 0;
  EXPECT_EQ(ArrProcessAudioParts(kTestDc, 107, NegateRoutine), 0);
  EXPECT_EQ(g_routineCalls, 1);
  same("routine cancelled");

  ProcOpts().folder += "missing\\";
  EXPECT_EQ(ArrProcessAudioParts(kTestDc, 107, NegateRoutine), 0);
  EXPECT_EQ(Host().boxes.back().id, 178u);
  ProcOpts().folder.resize(ProcOpts().folder.size() - 8);
  same("no folder");
}

TEST_F(ProcDriver, SharingPartsAreProcessedWhenAskedAndNoEditRunsInside) {
  const uint32_t a = Source("Vox", 1000);
  const uint32_t p1 = AddPart(0, 0, 0, 100, a);
  const uint32_t p2 = AddPart(1, 0, 50, 100, a, 0);
  Answer({kIdYes});
  ASSERT_EQ(ArrProcessAudioParts(kTestDc, 107, EditingRoutine), 1);
  EXPECT_EQ(g_editInside, 0);
  EXPECT_EQ(P(p1).Take, P(p2).Take);
  EXPECT_EQ(P(p2).Offset, 50);
  EXPECT_EQ(ArrOfflineRunActive(), 0);
}

TEST_F(ProcDriver, TheTwoHundredFiftySixthStretchRefusesEverything) {
  const uint32_t a = Source("Vox", 100000);
  for (int i = 0; i < 256; ++i) AddPart(static_cast<uint32_t>(i % 200), i * 10, i * 300, 10, a);
  const std::vector<uint8_t> before = Image();
  EXPECT_EQ(ArrProcessAudioParts(kTestDc, 107, NegateRoutine), 0);
  EXPECT_EQ(BoxIds(), (std::vector<uint32_t>{241}));
  EXPECT_EQ(Image(), before);
  EXPECT_TRUE(Files("proc").empty());
}

}  // namespace

namespace {

ThinList g_thinSeen;
int g_thinAnswer = 1;
int g_paramAnswer = kIdOk;
ReduceEventsResult g_params;

int ThinParamDialog() {
  g_params.SelectedCurve = 1;
  g_params.ThinFactor = 250;
  return g_paramAnswer;
}
int ThinRecorder(ThinList* list) {
  g_thinSeen = *list;
  return g_thinAnswer;
}

}  // namespace

// The automation twin: its own kind and messages, the parameter dialog
// before the undo step, and a list carrying each stretch's knob.
TEST_F(ProcDriver, AutomationPartsAreThinnedIntoNewAutomationTakes) {
  const std::string src = ModelPath(root_ / "src") + "\\";
  uint32_t error = 0;
  TakeRec* t = TakeCreateAutom(src.c_str(), 0, 0, 0, 0, 0, 0, 0, 1, "Fader", "", nullptr, nullptr, &error);
  ASSERT_NE(t, nullptr) << error;
  const uint32_t a = TakeRef(t);
  PartRec pa = NewPart(1000, 500, a, kTakeAutom, kPartSelected);
  pa.Offset = 4000;
  pa.AutoMapValue = 3;
  const uint32_t p1 = Add(0, pa);
  PartRec pb = NewPart(9000, 100, a, kTakeAutom, kPartSelected);
  pb.Offset = 20000;
  pb.AutoMapValue = 5;
  const uint32_t p2 = Add(1, pb);
  ProcOpts().delUnRefCTk = 40890;
  KeepSel = 1;  // a failed run sets the selection to KeepSel

  // Cancel in the dialog and a failed routine change nothing.
  for (int failAt : {0, 1}) {
    g_paramAnswer = failAt == 0 ? kIdCancel : kIdOk;
    g_thinAnswer = 0;
    const std::vector<uint8_t> before = Image();
    EXPECT_EQ(ArrProcessAutomParts(kTestDc, 117, &g_params, ThinParamDialog, ThinRecorder), 0);
    EXPECT_EQ(Image(), before);
    EXPECT_EQ(UndoGetLevel(), 0u);
    EXPECT_TRUE(Files("proc").empty());
  }

  g_paramAnswer = kIdOk;
  g_thinAnswer = 1;
  ASSERT_EQ(ArrProcessAutomParts(kTestDc, 117, &g_params, ThinParamDialog, ThinRecorder), 1);
  ASSERT_EQ(g_thinSeen.Count, 2);
  EXPECT_EQ(g_thinSeen.FilterOn, 1);
  EXPECT_EQ(g_thinSeen.ThinAmount, 250u);
  EXPECT_EQ(g_thinSeen.Entry[0].SourceTake, a);
  EXPECT_EQ(g_thinSeen.Entry[0].From, 4000u);
  EXPECT_EQ(g_thinSeen.Entry[0].Length, 500u);  // not cut by the log's event count
  EXPECT_EQ(g_thinSeen.Entry[0].FilterValue, 3);
  EXPECT_EQ(g_thinSeen.Entry[1].FilterValue, 5);
  EXPECT_EQ(P(p1).Take, g_thinSeen.Entry[0].NewTake);
  EXPECT_EQ(P(p2).Take, g_thinSeen.Entry[1].NewTake);
  EXPECT_EQ(TakeGetAttr(TakeFromRef(P(p1).Take), kTakeAttrKind), kTakeAutom);
  EXPECT_EQ(P(p1).Offset, 0);
  EXPECT_EQ(UndoGetLevel(), 1u);
  EXPECT_EQ(Files("proc").size(), 2u);
  EXPECT_TRUE(Host().boxes.empty());

  // An Audio Part among the selection: 322.
  Reset();
  AddPart(0, 0, 0, 10, Source("Vox", 100));
  EXPECT_EQ(ArrProcessAutomParts(kTestDc, 117, &g_params, ThinParamDialog, ThinRecorder), 0);
  EXPECT_EQ(BoxIds(), (std::vector<uint32_t>{322}));
}

namespace {

std::vector<std::string> g_editSeen;
int g_editAnswer = 1;

int RecordEdit(uint32_t, uint32_t, uint32_t start, uint32_t length, int32_t knob, int32_t deleteAt, int32_t setAt,
               int32_t value, int32_t scale) {
  char text[96];
  std::snprintf(text, sizeof text, "%u+%u k%d del %d set %d = %d/%d", start, length, knob, deleteAt, setAt, value,
                scale);
  g_editSeen.push_back(text);
  return g_editAnswer;
}

}  // namespace

// An event edit makes the Part's stretch a new Automation Take with the
// event moved (locations on the new Take), under its own undo step, and
// gives the selection back; a failed edit leaves everything as it was; an
// edit outside the Part's stretch moves nothing.
TEST_F(ProcDriver, AnAutomationEventEditWritesANewTakeForThePart) {
  const std::string src = ModelPath(root_ / "src") + "\\";
  uint32_t error = 0;
  TakeRec* t = TakeCreateAutom(src.c_str(), 0, 0, 0, 0, 0, 0, 0, 1, "Fader", "", nullptr, nullptr, &error);
  ASSERT_NE(t, nullptr) << error;
  const uint32_t a = TakeRef(t);
  PartRec pa = NewPart(1000, 500, a, kTakeAutom, 0);
  pa.Offset = 4000;
  pa.AutoMapValue = 3;
  const uint32_t edited = Add(0, pa);
  const uint32_t other = AddPart(1, 0, 0, 10, Source("Vox", 100), kPartSelected);
  ProcOpts().delUnRefCTk = 40890;
  ArrSetAutomEditor(RecordEdit);

  g_editAnswer = 0;
  const std::vector<uint8_t> before = Image();
  EXPECT_EQ(ArrAutomEventEdit(kTestDc, edited, 1100, 1200, 64, 128), 0);
  EXPECT_EQ(Image(), before);
  EXPECT_EQ(UndoGetLevel(), 0u);
  EXPECT_TRUE(Files("proc").empty());

  g_editAnswer = 1;
  g_editSeen.clear();
  ASSERT_EQ(ArrAutomEventEdit(kTestDc, edited, 1100, 1200, 64, 128), 1);
  EXPECT_EQ(g_editSeen, (std::vector<std::string>{"4000+500 k3 del 100 set 200 = 64/128"}));
  EXPECT_NE(P(edited).Take, a);
  EXPECT_EQ(TakeGetAttr(TakeFromRef(P(edited).Take), kTakeAttrKind), kTakeAutom);
  EXPECT_EQ(UndoGetLevel(), 1u);
  EXPECT_EQ(P(edited).Flags & kPartSelected, 0u);
  EXPECT_EQ(P(other).Flags & kPartSelected, kPartSelected);

  g_editSeen.clear();
  ASSERT_EQ(ArrAutomEventEdit(kTestDc, edited, -1, 5000, 1, 2), 1);
  EXPECT_EQ(g_editSeen, (std::vector<std::string>{"0+500 k3 del -1 set -1 = 1/2"}));
  // Not an Automation Part: nothing.
  EXPECT_EQ(ArrAutomEventEdit(kTestDc, other, 0, 1, 1, 2), 0);
  // Undoing the edit brings back the user's selection, not the edited Part
  // alone that the run worked on.
  const uint32_t editedTake = P(edited).Take;
  ASSERT_EQ(UndoApply(0), 1);
  EXPECT_NE(P(edited).Take, editedTake);
  EXPECT_EQ(P(edited).Flags & kPartSelected, 0u);
  EXPECT_EQ(P(other).Flags & kPartSelected, kPartSelected);
  ArrSetAutomEditor(nullptr);
}

namespace {

std::vector<std::string> g_waveLog;
int g_waveStopped = 1;
int g_waveBuildOk = 1;
std::set<const TakeRec*> g_waveCached;

WaveformSeams WaveSeams() {
  WaveformSeams s;
  s.cacheHas = [](const TakeRec* t) { return g_waveCached.count(t) ? 1 : 0; };
  s.build = [](TakeRec* t) {
    g_waveLog.push_back(std::string("build ") + reinterpret_cast<const char*>(TakeGetAttr(t, kTakeAttrName)));
    return g_waveBuildOk;
  };
  s.stopped = [] { return g_waveStopped; };
  s.invalidateParts = [] { g_waveLog.push_back("parts"); };
  s.invalidateTakeList = [] { g_waveLog.push_back("takes"); };
  return s;
}

}  // namespace

// Overviews: cached files are taken, missing ones built while stopped and
// left pending while the transport runs; a failed build ends the run; the
// driver builds those of its new Takes when asked to.
TEST_F(ProcDriver, WaveformOverviewsAreTakenBuiltOrLeftForLater) {
  ArrSetWaveformSeams(WaveSeams());
  const uint32_t a = Source("Vox", 100), b = Source("Gtr", 100);
  AddPart(0, 0, 0, 10, a);
  AddPart(1, 0, 0, 10, b);
  g_waveCached = {TakeFromRef(a)};

  g_waveStopped = 0;
  g_waveLog.clear();
  EXPECT_EQ(ArrGenTakeWaveforms(nullptr, 1, 1, 0), 1);  // Vox from the cache, Gtr waits
  EXPECT_EQ(ArrWaveformsPending(), 1);
  EXPECT_EQ(g_waveLog, (std::vector<std::string>{"parts", "takes"}));

  g_waveStopped = 1;
  g_waveBuildOk = 0;
  g_waveLog.clear();
  EXPECT_EQ(ArrGenTakeWaveforms(kTestDc, 1, 0, 1), 0);
  EXPECT_EQ(g_waveLog, (std::vector<std::string>{"build Gtr"}));
  EXPECT_EQ(ArrGenTakeWaveforms(kTestDc, 1, 0, 1), 0);  // nothing pending any more

  g_waveBuildOk = 1;
  Services().log.clear();
  EXPECT_EQ(ArrGenTakeWaveforms(kTestDc, 1, 0, 0), 1);
  EXPECT_EQ(TakeGetAttr(TakeFromRef(b), kTakeAttrWaveExists), 1u);
  EXPECT_TRUE(Logged("ArrDrawPart(1, 1, 1, 0)"));
  EXPECT_EQ(ArrGenTakeWaveforms(kTestDc, 1, 0, 0), 0);  // all have one

  ProcOpts().autoGenWaveforms = 1;
  g_waveLog.clear();
  ASSERT_EQ(ArrProcessAudioParts(kTestDc, 107, NegateRoutine), 1);
  EXPECT_EQ(g_waveLog, (std::vector<std::string>{"build Vox #01", "build Gtr #01"}));
  ArrSetWaveformSeams({});
}

// A build runs a dialog whose message loop may change the arrangement (a
// recording laid at the stop): the Parts are not walked across a build, so
// a block that grows and moves meanwhile is never read again.
TEST_F(ProcDriver, WaveformBuildsSurviveTheArrangementMovingMeanwhile) {
  WaveformSeams s = WaveSeams();
  s.build = [](TakeRec* t) {
    g_waveLog.push_back(std::string("build ") + reinterpret_cast<const char*>(TakeGetAttr(t, kTakeAttrName)));
    for (int i = 0; i < 600; ++i) {  // the block grows and moves
      uint32_t slot = kArrNoSlot;
      ArrInsertPart(&CurArr, NewPart(i * 10, 5), &slot, 9, nullptr);
    }
    return 1;
  };
  ArrSetWaveformSeams(s);
  g_waveCached.clear();
  g_waveStopped = 1;
  const uint32_t a = Source("Vox", 100), b = Source("Gtr", 100);
  AddPart(0, 0, 0, 10, a);
  AddPart(0, 20, 0, 10, a);
  AddPart(1, 0, 0, 10, b);
  g_waveLog.clear();
  Services().log.clear();
  EXPECT_EQ(ArrGenTakeWaveforms(kTestDc, 1, 0, 0), 2);
  EXPECT_EQ(g_waveLog, (std::vector<std::string>{"build Vox", "build Gtr"}));
  for (const char* drawn : {"ArrDrawPart(0, 0, 1, 0)", "ArrDrawPart(1, 0, 1, 0)", "ArrDrawPart(2, 1, 1, 0)"})
    EXPECT_TRUE(Logged(drawn)) << drawn;
  EXPECT_EQ(TakeGetAttr(TakeFromRef(a), kTakeAttrWaveExists), 1u);
  EXPECT_EQ(TakeGetAttr(TakeFromRef(b), kTakeAttrWaveExists), 1u);
  ArrSetWaveformSeams({});
}
