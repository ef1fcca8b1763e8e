// The edit dispatcher: which routine each operation reaches and when it is
// refused, the click that chooses the Part, the hit test, the context menu
// and the right-button zoom and scroll.
#include "edit_fixture.h"
#include "mixer/arrange/editdisp.h"
#include "mixer/model/util/strtab.h"

namespace {

constexpr uint32_t S = kPartSelected;

class EditDisp : public EditFixture {
 protected:
  void SetUp() override {
    EditFixture::SetUp();
    ArrViewRec& v = ArrView();
    v.Hzoom = 100;
    v.Origin = kArrTimeShift;  // x = 0 is position 0
    v.Vzoom = 13;              // rows of 15 pixels from y = 17
    v.TopHeight = 16;
    v.FirstTrack = 0;
    v.VisibleRows = 20;
    v.PartAreaWidth = 500;
    v.Span = 50000;
    ArrDrags() = ArrDragHandles();
  }
  void Command(int op, int32_t part, int state = kTransportStopped, int zone = 0, int32_t pos = 0) {
    ArrChildCommand(op, nullptr, state, kTestDc, 0, 0, part, zone, 0, pos, 1, ArrInput());
  }
  static int Y(uint32_t track, int line = 5) { return 17 + static_cast<int>(track) * 15 + line; }
  // The logged lines of the window and routine stand-ins, without draws.
  std::vector<std::string> Calls() const {
    std::vector<std::string> calls;
    for (const auto& l : Services().log)
      if (l.rfind("ArrDrawPart", 0) != 0 && l.rfind("ArrRedraw", 0) != 0 && l.rfind("ArrChange", 0) != 0)
        calls.push_back(l);
    return calls;
  }
};

using Lines = std::vector<std::string>;

TEST_F(EditDisp, OperationsReachTheirRoutines) {
  uint32_t p = Add(0, NewPart(0, 100, 1, 3, S));
  const int32_t part = static_cast<int32_t>(p);
  struct Case {
    int op;
    Lines calls;
  } cases[] = {
      {1, {"IoAssignMenu(0, 1)"}},
      {3, {"BeginMoveCopy(0, 0)", "ShowCursor(65839)"}},
      {5, {"BeginMoveCopy(2, 0)", "ShowCursor(66039)"}},
      {7, {"BeginMoveCopy(1, 1)", "ShowCursor(66239)"}},
      {9, {"CutParts(40, 9)"}},
      {10, {"CutParts(40, 10)"}},
      {12, {"FadeParts(0, 12)"}},
      {14, {"VolumeDialog(0)"}},
      {15, {"Mixdown(1)"}},
      {16, {"ShowCursor(67139)", "SoloPart(0, 0, 40)"}},
      {18, {"ToggleWaveforms(0)"}},
      {19, {"InfoDialog(0)"}},
      {21, {"StereoLinkCmd(0)"}},
      {22, {"BeginTrim(0, 3, 22)", "ShowCursor(67739)"}},
      {23, {"BeginSlip()", "ShowCursor(67839)"}},
      {25, {"ProcessAudio(107, 0)"}},
      {26, {"RepeatParts()"}},
      {27, {"BeginGainDrag(0)", "ShowCursor(68239)"}},
      {29, {"ShowCursor(68439)", "ScrubAll(40)"}},
      {30, {"NoiseGateDialog()", "NoiseGateScan()"}},
      {31, {"ProcessAudio(108, 1)"}},
      {33, {"ToolRunner(0, 33)"}},
      {37, {"ToolRunner(1, -1)"}},
      {40, {"ProcessAutomation(117)"}},
      {41, {"BeginAutomEdit(0, 3)"}},
      {42, {"CropParts()"}},
      {45, {"CrossfadeAtPointer()"}},
      {47, {"Consolidate()"}},
      {48, {"MultiLinkCmd(0)"}},
  };
  for (const Case& c : cases) {
    Services().ClearLog();
    ArrChildCommand(c.op, nullptr, kTransportStopped, kTestDc, 0, 0, part, 3, 0, 40, 1, ArrInput());
    EXPECT_EQ(Calls(), c.calls) << "op " << c.op;
  }
  EXPECT_EQ(ArrDrags().Trim, routines.dragHandle);
  EXPECT_EQ(ArrDrags().AutomEdit, routines.dragHandle);
  EXPECT_TRUE(Host().boxes.empty());
}

TEST_F(EditDisp, IdsWithoutAnOperationAndRefusalsDoNothing) {
  uint32_t p = Add(0, NewPart(0, 100, 1, 3, S));
  Add(1, NewPart(0, 100, 2, kTakeMidi, S));
  for (int op : {0, 36, 43, 49, -1}) Command(op, static_cast<int32_t>(p));
  EXPECT_TRUE(Calls().empty());
  for (int op : {15, 16, 20, 25, 41, 47}) Command(op, static_cast<int32_t>(p), kTransportPlaying);
  EXPECT_TRUE(Calls().empty()) << Services().Joined();
  EXPECT_EQ(BoxIds(), std::vector<uint32_t>(6, IDS_NOT_DURING_PLAYBACK));
  Host().Reset();
  Command(27, static_cast<int32_t>(p));  // a Midi Part is selected
  EXPECT_TRUE(Calls().empty());
  EXPECT_EQ(BoxIds(), std::vector<uint32_t>{IDS_AUDIO_PARTS_ONLY});
  // Operations without the stop mark run while playing.
  Command(12, static_cast<int32_t>(p), kTransportPlaying);
  EXPECT_EQ(Calls(), Lines{"FadeParts(0, 12)"});
}

TEST_F(EditDisp, FailedDragShowsTheArrowAndScrubThatDoesNotStartToo) {
  uint32_t p = Add(0, NewPart(0, 100, 1, 3, S));
  routines.dragHandle = nullptr;
  routines.result = 0;
  Command(6, static_cast<int32_t>(p));
  Command(28, static_cast<int32_t>(p));
  EXPECT_EQ(Calls(), (Lines{"BeginMoveCopy(0, 1)", "ShowCursor(0)", "ShowCursor(68336)",
                            "SoloScrub(0, 0, 0)", "ShowCursor(0)"}));
  EXPECT_EQ(ArrDrags().MoveCopy, nullptr);
}

TEST_F(EditDisp, CrossfadeDialogOpensInsideACrossfade) {
  uint32_t a = Add(0, NewPart(0, 100));
  PartRec bp = NewPart(80, 100);
  bp.Layer = 1;
  uint32_t b = Add(0, bp);
  P(b).XfadeInPartner = static_cast<uint16_t>(a);
  P(a).XfadeOutPartner = static_cast<uint16_t>(b);
  struct Case {
    uint32_t part;
    int32_t pos;
    bool dialog;
  } cases[] = {{b, 80, true}, {b, 99, true}, {b, 100, false}, {a, 80, true}, {a, 79, false}};
  for (const Case& c : cases) {
    Services().ClearLog();
    Command(45, static_cast<int32_t>(c.part), kTransportStopped, 0, c.pos);
    EXPECT_EQ(Calls().size(), 1u);
    EXPECT_EQ(Calls()[0].rfind("CrossfadeDialog", 0) == 0, c.dialog) << c.part << " " << c.pos;
  }
}

// ---- Hit test ----

TEST_F(EditDisp, HitTestReachesAFewPixelsBeyondParts) {
  const int32_t a = static_cast<int32_t>(Add(0, NewPart(1000, 1000)));    // x 10..20
  const int32_t b = static_cast<int32_t>(Add(0, NewPart(5000, 1000)));    // x 50..60
  Add(0, NewPart(20000, 1000));                                            // x 200..210
  const int32_t e = static_cast<int32_t>(Add(0, NewPart(22000, 1000)));   // x 220..230
  struct Case {
    int x;
    int line;  // pixel line within the row of 13
    int32_t part;
    int zone;
  } cases[] = {
      {15, 5, a, 0},            // inside: the zone function's answer
      {26, 5, a, 17},           // 6 pixels after the end: upper half
      {27, 5, -1, kZoneNone},   // 7 after
      {45, 5, b, 13},           // 5 before the start
      {44, 5, -1, kZoneNone},   // 6 before
      {215, 0, e, 12},          // equally far from both: the next; top margin
      {215, 3, e, 12},
      {215, 4, e, 13},
      {215, 8, e, 14},          // below half the row
      {215, 9, e, 15},          // bottom margin
  };
  for (const Case& k : cases) {
    int32_t part = -2, pos = 0;
    uint32_t track = 99;
    EXPECT_EQ(ArrHitTest(CurArr, k.x, Y(0, k.line), &part, &track, &pos), k.zone) << k.x << " " << k.line;
    EXPECT_EQ(part, k.part) << k.x;
    EXPECT_EQ(track, 0u);
    EXPECT_EQ(pos, k.x * 100);
  }
  int32_t part = 0;
  EXPECT_EQ(ArrHitTest(CurArr, 15, 16, &part, nullptr, nullptr), kZoneNone);  // above the tracks
  EXPECT_EQ(part, -1);
  EXPECT_EQ(ArrHitTest(CurArr, 15, Y(300), &part, nullptr, nullptr), kZoneNone);  // below the last
}

// ---- Click ----

TEST_F(EditDisp, ClickWhileRecordingIsRefused) {
  Add(0, NewPart(0, 1000, 1, 3, S));
  ArrChildClick(nullptr, kTestDc, 5, Y(0), kTransportRecording, 1, 2, ArrInput());
  EXPECT_EQ(BoxIds(), std::vector<uint32_t>{IDS_NOT_DURING_RECORD});
  EXPECT_EQ(UndoGetLevel(), 0u);
}

TEST_F(EditDisp, ClickOnAnUnselectedPartSelectsItAndItsGroupThenDispatches) {
  uint32_t other = Add(3, NewPart(0, 1000, 1, 3, S));
  uint32_t a = Add(0, NewPart(0, 1000, 1, 3, kPartLinkNext));
  uint32_t b = Add(1, NewPart(0, 1000, 1, 3, kPartLinkPrev));
  P(a).PlayChannel = P(b).PlayChannel = 5;
  KeepSel = 1;
  ArrChildClick(nullptr, kTestDc, 5, Y(0), kTransportStopped, 1, kToolMute, ArrInput());
  EXPECT_EQ(P(other).Flags & S, 0u);
  EXPECT_EQ(P(a).PlayChannel, 197);
  EXPECT_EQ(P(b).PlayChannel, 197);
  EXPECT_EQ(UndoGetLevel(), 1u);
}

TEST_F(EditDisp, CtrlClickTogglesWithoutDispatching) {
  uint32_t a = Add(0, NewPart(0, 1000, 1, 3, S | kPartLinkNext));
  uint32_t b = Add(1, NewPart(0, 1000, 1, 3, S | kPartLinkPrev));
  uint32_t later = Add(2, NewPart(5000, 100));
  uint32_t earlier = Add(2, NewPart(0, 100));
  ArrInput ctrl;
  ctrl.Ctrl = 1;
  ArrChildClick(nullptr, kTestDc, 5, Y(0), kTransportStopped, 1, kToolMute, ctrl);
  EXPECT_EQ((P(a).Flags | P(b).Flags) & S, 0u);
  EXPECT_EQ(UndoGetLevel(), 0u);
  // Ctrl+Shift: every Part from the earliest selected start on.
  P(later).Flags |= S;
  ctrl.Shift = 1;
  ArrChildClick(nullptr, kTestDc, 5, Y(0), kTransportStopped, 1, kToolMute, ctrl);
  EXPECT_NE(P(a).Flags & S, 0u);
  EXPECT_NE(P(b).Flags & S, 0u);
  EXPECT_NE(P(earlier).Flags & S, 0u);
  EXPECT_EQ(UndoGetLevel(), 0u);
}

TEST_F(EditDisp, ClicksBesideAnyPartStartTheRubberBand) {
  struct Case {
    const char* what;
    int tool;
    int zone;
    int ctrl;
    int shift;
    int x;
    bool band;
  } cases[] = {
      {"empty space", kToolMute, 0, 0, 0, 300, true},
      {"trim zone 5 without Ctrl", kToolTrim, 5, 0, 0, 5, true},
      {"trim zone 5 with Ctrl", kToolTrim, 5, 1, 0, 5, false},
      {"trim zone 1", kToolTrim, 1, 0, 0, 5, false},
      {"just after a Part, not trim", kToolMute, 0, 0, 0, 12, true},
      {"Shift without Ctrl", kToolMute, 0, 0, 1, 5, true},
  };
  for (const Case& c : cases) {
    Reset();
    Add(0, NewPart(0, 1000));
    Add(4, NewPart(0, 100, 1, 3, S));
    routines.zone = c.zone;
    ArrInput in;
    in.Ctrl = c.ctrl;
    in.Shift = c.shift;
    ArrChildClick(nullptr, kTestDc, c.x, Y(0), kTransportStopped, 1, c.tool, in);
    const bool band = Services().Count("BeginRubberBand(") == 1;
    EXPECT_EQ(band, c.band) << c.what;
    if (band) {
      EXPECT_EQ(ArrCountSelParts(CurArr, kArrCountAll, 0), 0u) << c.what;
    }
  }
  // The current position follows only when nothing was selected.
  Reset();
  ArrChildClick(nullptr, kTestDc, 300, Y(0), kTransportStopped, 1, kToolMute, ArrInput());
  EXPECT_TRUE(Logged("BeginRubberBand(300, 22, 1)")) << Services().Joined();
}

TEST_F(EditDisp, TrimClickTakesThePartEdgeAndContextToolReplacesTool43) {
  Add(0, NewPart(1000, 1000));
  routines.zone = 9;
  ArrChildClick(nullptr, kTestDc, 15, Y(0), kTransportStopped, 1, kToolTrim, ArrInput());
  EXPECT_TRUE(Logged("BeginTrim(0, 9, 22)"));
  routines.zone = 2;
  routines.contextTool = kToolInfo;
  ArrChildClick(nullptr, kTestDc, 15, Y(0), kTransportStopped, 1, kToolContext, ArrInput());
  EXPECT_TRUE(Logged("ContextTool(0, 2, 0)"));
  EXPECT_TRUE(Logged("InfoDialog(0)"));
}

TEST_F(EditDisp, SoloClickFindsTheNextAudioSection) {
  Add(0, NewPart(0, 1000, 9, kTakeAutom));
  uint32_t audio = Add(0, NewPart(3000, 1000));
  routines.result = 1;
  ArrChildClick(nullptr, kTestDc, 5, Y(0), kTransportStopped, 1, kToolSolo, ArrInput());
  EXPECT_TRUE(Logged("SoloPart(" + std::to_string(audio) + ", 0, 500)")) << Services().Joined();
}

// ---- Context menu ----

TEST_F(EditDisp, ContextMenuByKindAndItsCommands) {
  uint32_t a = Add(0, NewPart(0, 1000, 1, 3, S));
  uint32_t aut = Add(1, NewPart(0, 1000, 2, kTakeAutom));
  uint32_t midi = Add(2, NewPart(0, 1000, 3, kTakeMidi));
  ArrInput alt;
  alt.Alt = 1;
  ArrPartContextMenu(nullptr, kTestDc, 5, Y(0), kTransportStopped, 1, static_cast<int32_t>(a), alt);
  ArrPartContextMenu(nullptr, kTestDc, 5, Y(0), kTransportStopped, 1, -1, ArrInput());
  EXPECT_TRUE(Calls().empty());
  ArrPartContextMenu(nullptr, kTestDc, 5, Y(1), kTransportStopped, 1, static_cast<int32_t>(aut), ArrInput());
  ArrPartContextMenu(nullptr, kTestDc, 5, Y(2), kTransportStopped, 1, static_cast<int32_t>(midi), ArrInput());
  EXPECT_EQ(Calls(), (Lines{"TrackPartMenu(445)", "TrackPartMenu(446)"}));

  Services().ClearLog();
  // Module entries: the slot, from 0.
  window.partMenuPicks = {41522, 3, 3, 0};
  ArrPartContextMenu(nullptr, kTestDc, 5, Y(0), kTransportStopped, 1, static_cast<int32_t>(a), ArrInput());
  ArrPartContextMenu(nullptr, kTestDc, 5, Y(0), kTransportPlaying, 1, static_cast<int32_t>(a), ArrInput());
  ArrPartContextMenu(nullptr, kTestDc, 5, Y(0), kTransportStopped, 1, static_cast<int32_t>(a), ArrInput());
  ArrPartContextMenu(nullptr, kTestDc, 5, Y(0), kTransportStopped, 1, static_cast<int32_t>(a), ArrInput());
  EXPECT_EQ(Calls(), (Lines{"TrackPartMenu(444)", "InfoDialog(" + std::to_string(a) + ")", "TrackPartMenu(444)",
                            "TrackPartMenu(444)", "ToolRunner(3, -3)", "TrackPartMenu(444)", "ToolRunner(0, -3)"}));
  EXPECT_EQ(BoxIds(), std::vector<uint32_t>{IDS_NOT_DURING_PLAYBACK});
  EXPECT_EQ(ArrMenuCmdToTool(41541), kToolExternal);
  EXPECT_EQ(ArrMenuCmdToTool(41500), -1);
}

// ---- Cursor ----

TEST_F(EditDisp, HitCursorComesFromTheCacheOfTheKindAndZone) {
  ArrHitCursorReset();
  Add(0, NewPart(0, 1000, 2, kTakeAutom));
  routines.zone = 3;
  ArrHitCursor(5, Y(0), ArrInput());
  ArrInput ctrl;
  ctrl.Ctrl = 1;
  ArrHitCursor(5, Y(0), ctrl);
  ArrHitCursor(300, Y(0), ArrInput());
  // Automation (kind 1) without Alt: tool 42, zone 3.
  EXPECT_EQ(Calls(), (Lines{"ShowCursor(69739)", "ShowCursor(0)", "ShowCursor(0)"}));
}

// ---- Zoom and scroll ----

TEST_F(EditDisp, RightDragZoomsAroundThePressAndScrollsInSteps) {
  ArrViewRec& v = ArrView();
  v.Origin = 100000;
  ArrZoomDrag drag;
  drag.PressX = 100;
  drag.PressY = 100;
  EXPECT_EQ(ArrZoomScrollDrag(110, 105, drag, ArrInput()), 0);
  EXPECT_EQ(drag.State, 1);
  // 32 pixels right: two halvings; the time under x = 100 stays.
  EXPECT_EQ(ArrZoomScrollDrag(132, 100, drag, ArrInput()), 1);
  EXPECT_EQ(drag.State, 2);
  EXPECT_EQ(v.Hzoom, 25);
  EXPECT_EQ(v.Origin, 100000 + 100 * 100 - 100 * 25);
  // 16 down: rows 16 pixels lower... but never below 1.
  EXPECT_EQ(ArrZoomScrollDrag(100, 116, drag, ArrInput()), 1);
  EXPECT_EQ(v.Hzoom, 100);
  EXPECT_EQ(v.Vzoom, 1);
  // Far left: doublings stop at the largest zoom.
  ArrZoomScrollDrag(100 - 16 * 20, 100, drag, ArrInput());
  EXPECT_EQ(v.Hzoom, kArrMaxHzoom);

  ArrView().Hzoom = 100;
  ArrView().Vzoom = 13;
  ArrView().Origin = 100000;
  ArrZoomDrag scroll;
  scroll.PressX = 100;
  scroll.PressY = 100;
  ArrInput alt;
  alt.Alt = 1;
  // 40 pixels left: two steps of 16 pixels; 31 up: two rows.
  EXPECT_EQ(ArrZoomScrollDrag(60, 69, scroll, alt), 1);
  EXPECT_EQ(v.Origin, 100000 + 32 * 100);
  EXPECT_EQ(v.FirstTrack, 2);
  // Right beyond the start: clamped to 0; down beyond the top: track 0.
  EXPECT_EQ(ArrZoomScrollDrag(100 + 16 * 1000, 400, scroll, alt), 1);
  EXPECT_EQ(v.Origin, 0);
  EXPECT_EQ(v.FirstTrack, 0);
  Services().ClearLog();
  EXPECT_EQ(ArrZoomScrollDrag(100 + 16 * 1001, 400, scroll, alt), 1);
  EXPECT_FALSE(Logged("RedrawNow()"));
}

}  // namespace
