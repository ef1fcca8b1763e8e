// The Part area's mouse side on real windows: moves under the no-overlap
// setting, files dropped on the area, solo play and scrub held by the
// button, the automation event drag, the XOR node feedback, and the
// dialogs of the context tool sets and of automation thinning.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "mixer/arrange/arrview.h"
#include "mixer/arrange/arrzoom.h"
#include "mixer/arrange/automfront.h"
#include "mixer/arrange/csetools.h"
#include "mixer/arrange/editdisp.h"
#include "mixer/arrange/genwave.h"
#include "mixer/arrange/procdrv.h"
#include "mixer/arrange/solo.h"
#include "mixer/arrange/win32/arrchild.h"
#include "mixer/arrange/win32/arrwnd.h"
#include "mixer/model/arr.h"
#include "mixer/model/arrheap.h"
#include "mixer/model/arrlist.h"
#include "mixer/model/marker.h"
#include "mixer/model/options.h"
#include "mixer/model/settings.h"
#include "mixer/model/take.h"
#include "mixer/model/takeattr.h"
#include "mixer/model/trkcolors.h"
#include "mixer/model/undo.h"
#include "mixer/model/win32/dialogs.h"
#include "mixer/model/win32/tests/modal_closer.h"
#include "mixer/shell/services.h"
#include "mixer/shell/win32/settings.h"
#include "mixer/shell/win32/shell.h"
#include "mixer/units/services.h"
#include "mixer/units/transport.h"
#include "mixer/arrange/win32/tests/arrwnd_fixture.h"
#include "tests/win32/shot.h"

namespace {

constexpr int kW = 800, kH = 400;

class ArrChildTest : public ::testing::Test {
 protected:
  std::filesystem::path dir;
  HWND owner = nullptr;
  HWND w = nullptr;
  int32_t savedShowName = 0;

  static void SetUpTestSuite() { arrwnd_test::RegisterArrangeClasses(); }

  void SetUp() override {
    dir = arrwnd_test::NewTestFolder("arrchild");
    std::filesystem::create_directories(dir / "proc");
    UndoSuspend(0);
    UndoLevels = 100;
    UndoDiscard(0);
    arrwnd_test::OpenArrangement();
    Settings().SnapMode = 0;
    KeepSel = 0;
    EditOverlapMode = 40892;  // the default: Parts may not overlap
    EditMultiOutMode = 40896;
    savedShowName = ShowNameInWave;
    ShowNameInWave = 0;
    arrwnd_test::ResetView(37, 1, kW, kH);
    ProcOpts() = ProcOptions();
    ProcOpts().folder = Folder("proc");
    ProcOpts().delUnRefCTk = 40890;  // old Takes kept without a question
  }

  void TearDown() override {
    if (owner) DestroyWindow(owner);
    ShowNameInWave = savedShowName;
    UndoDiscard(0);
    arrwnd_test::CloseArrangement();
    ToolSelect(1, kToolContext);
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }

  std::string Folder(const char* sub = nullptr) const {
    return (sub ? dir / sub : dir).string() + "\\";
  }

  uint32_t AudioTake(const char* name, uint32_t samples) {
    uint32_t error = 0;
    TakeRec* t = TakeCreateAudio(Folder().c_str(), 2, samples, 0, 44100, 0, 0, name, "", nullptr, nullptr, &error);
    EXPECT_NE(t, nullptr) << error;
    if (t == nullptr) return 0;
    TakeSetAttr(t, kTakeAttrWaveExists, 1, nullptr);  // no overview to build
    return TakeRef(t);
  }

  uint32_t Add(uint32_t track, int32_t start, int32_t length, uint32_t take, uint16_t kind, const char* name) {
    return arrwnd_test::AddPart(track, start, length, take, kind, static_cast<int32_t>(track) + 1, name);
  }

  void Open() {
    ASSERT_NE(arrwnd_test::OpenArrangeFrame(&owner, kW, kH), nullptr);
    w = ArrPartAreaWnd();
    ASSERT_NE(w, nullptr);
    // The test Takes need no overview files built when the transport stops.
    WaveformSeams wave;
    wave.cacheHas = [](const TakeRec*) { return 1; };
    wave.stopped = [] { return 1; };
    ArrSetWaveformSeams(wave);
  }

  void Drag(int x0, int y0, int x1, int y1) const {
    SendMessageA(w, WM_MOUSEMOVE, 0, MAKELPARAM(x0, y0));
    SendMessageA(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x0, y0));
    SendMessageA(w, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM((x0 + x1) / 2, (y0 + y1) / 2));
    SendMessageA(w, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x1, y1));
    SendMessageA(w, WM_LBUTTONUP, 0, MAKELPARAM(x1, y1));
  }

  // A drop of these files at the client point, as the shell hands it over.
  // The same drag posted and handed out by the message loop, so that each
  // message carries its time as the system's do.
  void PostDrag(int x0, int y0, int x1, int y1) const {
    PostMessageA(w, WM_MOUSEMOVE, 0, MAKELPARAM(x0, y0));
    PostMessageA(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x0, y0));
    PostMessageA(w, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x1, y1));
    PostMessageA(w, WM_LBUTTONUP, 0, MAKELPARAM(x1, y1));
    Pump();
  }
  static void Pump() {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&m);
      DispatchMessageA(&m);
    }
  }

  static std::string PathOf(uint32_t take) { return TakeFromRef(take)->path; }

  static HDROP DropOf(const std::vector<std::string>& files, POINT at) {
    size_t chars = 1;
    for (const std::string& f : files) chars += f.size() + 1;
    // The shell's drop header: offset of the names, point, client flag,
    // wide names flag.
    struct DropHeader {
      DWORD pFiles;
      POINT pt;
      BOOL fNC;
      BOOL fWide;
    };
    HGLOBAL mem = GlobalAlloc(GHND, sizeof(DropHeader) + chars);
    auto* df = static_cast<DropHeader*>(GlobalLock(mem));
    df->pFiles = sizeof(DropHeader);
    df->pt = at;
    df->fNC = FALSE;
    df->fWide = FALSE;
    char* out = reinterpret_cast<char*>(df + 1);
    for (const std::string& f : files) {
      std::memcpy(out, f.c_str(), f.size() + 1);
      out += f.size() + 1;
    }
    *out = '\0';
    GlobalUnlock(mem);
    return static_cast<HDROP>(mem);
  }

  static int RowY(int track, int into) { return ArrRowTop(ArrView(), track - ArrView().FirstTrack) + into; }
  static int X(int32_t p) { return ArrXOfPos(ArrView(), p); }
  static int32_t Pos(int x) { return ArrPosOfX(ArrView(), x); }
  static int PartsOn(uint32_t track) {
    int n = 0;
    ArrForEachTrackPart(CurArr, track, [&](uint32_t, const PartRec&) { ++n; });
    return n;
  }
};

// Moving a Part by less than its own length overlaps only its old place,
// which moves with it: no refusal, with the plain Move tool or with the
// Move that the context tool chooses in a Part's middle. A move onto
// another Part, and a copy that would overlap its own source, are refused
// and change nothing; a copy clear of both is placed.
TEST_F(ArrChildTest, MovingAPartWithinItsOwnSpanIsNoOverlap) {
  const uint32_t take = AudioTake("Vocal", 600000);
  const uint32_t part = Add(0, 0, 200000, take, kTakeAudio, "Vocal");
  Add(0, 300000, 100000, take, kTakeAudio, "Later");
  ASSERT_NO_FATAL_FAILURE(Open());
  const int lower = RowY(0, 30);  // the lower half: the context tool's Move
  struct Case {
    int tool;
    int dx;
    int rows;
    int32_t start;  // expected start of the moved Part or of the copy; -1 refused
  } cases[] = {{kToolMove, 20, 0, 20 * 512}, {kToolContext, 20, 0, 20 * 512}, {kToolMove, 0, 0, -1},
               {kToolMove, 250, 0, -1},      {kToolCopy, 40, 0, -1},          {kToolCopy, 40, 1, 40 * 512}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "tool " << c.tool << " dx " << c.dx);
    ToolSelect(1, c.tool);
    ModalCloser closer(IDOK);
    Drag(X(100000), lower, X(100000) + c.dx, RowY(c.rows, 30));
    const PartRec& p = *ArrPart(CurArr, part);
    const bool copy = c.tool == kToolCopy;
    if (c.start >= 0) {
      EXPECT_FALSE(closer.seen().found) << closer.seen().text;
      int at = 0;
      ArrForEachTrackPart(CurArr, static_cast<uint32_t>(c.rows),
                          [&](uint32_t, const PartRec& q) { at += q.Start == c.start; });
      EXPECT_EQ(at, 1);
      EXPECT_EQ(p.Start, copy ? 0 : c.start);
      EXPECT_EQ(PartsOn(0), 2);
      EXPECT_EQ(UndoGetLevel(), 1u);
      ASSERT_EQ(UndoApply(0), 1);
      UndoDiscard(0);
    } else {
      if (c.dx != 0) {
        EXPECT_EQ(closer.seen().text, "Parts cannot overlap!");
      }
      EXPECT_EQ(p.Start, 0);
      EXPECT_EQ(PartsOn(0), 2);
      UndoDiscard(0);
    }
    EXPECT_EQ(ArrPart(CurArr, part)->Start, 0);
  }
}

// A dropped Take stands under the pointer and follows it until the click,
// which copies it there under one undo step; a stereo pair dropped on the
// last track keeps both channels in range; two files at once are not
// taken.
TEST_F(ArrChildTest, ADroppedTakeFollowsThePointerUntilTheClick) {
  const std::string path = PathOf(AudioTake("Drop", 50000));
  ASSERT_NO_FATAL_FAILURE(Open());
  const POINT at = {X(100000), RowY(2, 20)};
  SendMessageA(w, WM_DROPFILES, reinterpret_cast<WPARAM>(DropOf({path}, at)), 0);
  ASSERT_EQ(ArrDropDragActive(), 1);
  EXPECT_EQ(PartsOn(2), 0);
  SendMessageA(w, WM_MOUSEMOVE, 0, MAKELPARAM(at.x + 10, RowY(4, 20)));
  SendMessageA(w, WM_MOUSEMOVE, 0, MAKELPARAM(at.x + 20, RowY(4, 20)));
  SendMessageA(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x + 20, RowY(4, 20)));
  SendMessageA(w, WM_LBUTTONUP, 0, MAKELPARAM(at.x + 20, RowY(4, 20)));
  EXPECT_EQ(ArrDropDragActive(), 0);
  ASSERT_EQ(PartsOn(4), 1);
  ArrForEachTrackPart(CurArr, 4, [&](uint32_t, const PartRec& p) {
    EXPECT_EQ(p.Start, Pos(at.x) + 20 * 512);
    EXPECT_EQ(p.Length, 50000);
    EXPECT_STREQ(p.Name, "Drop");
    EXPECT_EQ(p.GainStart, 32768u);
  });
  EXPECT_EQ(UndoGetLevel(), 1u);

  // Cancelled before the click: nothing is placed.
  SendMessageA(w, WM_DROPFILES, reinterpret_cast<WPARAM>(DropOf({path}, at)), 0);
  ASSERT_EQ(ArrDropDragActive(), 1);
  SendMessageA(w, WM_CANCELMODE, 0, 0);
  EXPECT_EQ(ArrDropDragActive(), 0);
  EXPECT_EQ(PartsOn(2), 0);
  EXPECT_EQ(UndoGetLevel(), 1u);

  // Two files at once: nothing.
  SendMessageA(w, WM_DROPFILES, reinterpret_cast<WPARAM>(DropOf({path, path}, at)), 0);
  EXPECT_EQ(ArrDropDragActive(), 0);

  // The right channel of a pair dropped on track 255: the pair takes
  // tracks 254 and 255, linked to each other.
  AudioTake("Pair L", 30000);
  const std::string right = PathOf(AudioTake("Pair R", 30000));
  ArrView().FirstTrack = 250;
  InvalidateRect(w, nullptr, FALSE);
  const POINT low = {X(200000), RowY(255, 20)};
  SendMessageA(w, WM_DROPFILES, reinterpret_cast<WPARAM>(DropOf({right}, low)), 0);
  ASSERT_EQ(ArrDropDragActive(), 1);
  SendMessageA(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(low.x, low.y));
  SendMessageA(w, WM_LBUTTONUP, 0, MAKELPARAM(low.x, low.y));
  ASSERT_EQ(PartsOn(254), 1);
  ASSERT_EQ(PartsOn(255), 1);
  ArrForEachTrackPart(CurArr, 254, [&](uint32_t, const PartRec& p) {
    EXPECT_STREQ(p.Name, "Pair L");
    EXPECT_TRUE(p.Flags & kPartLinkNext);
  });
  ArrForEachTrackPart(CurArr, 255, [&](uint32_t, const PartRec& p) {
    EXPECT_STREQ(p.Name, "Pair R");
    EXPECT_TRUE(p.Flags & kPartLinkPrev);
  });
}

// Solo play and scrub last while the button is held: the release stops the
// transport and brings the arrangement's own play lists back. A scrub
// follows the pointer and is parked while the pointer is outside.
TEST_F(ArrChildTest, SoloPlayAndScrubLastWhileTheButtonIsHeld) {
  const uint32_t take = AudioTake("Vocal", 600000);
  Add(0, 0, 200000, take, kTakeAudio, "Vocal");
  ASSERT_NO_FATAL_FAILURE(Open());
  const int y = RowY(0, 20);
  ToolSelect(1, kToolSolo);
  SendMessageA(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(X(50000), y));
  const int started = ArrSoloPlaying();
  SendMessageA(w, WM_LBUTTONUP, 0, MAKELPARAM(X(50000), y));
  EXPECT_EQ(ArrSoloPlaying(), 0);
  EXPECT_EQ(TransportSoloActive(), 0);
  if (started) {
    EXPECT_EQ(TransportState(), kTransportStopped);
  }

  ToolSelect(1, kToolScrubAll);
  SendMessageA(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(X(50000), y));
  ASSERT_NE(ArrScrubState, 0);
  if (ArrScrubState != 4) {
    SendMessageA(w, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(X(50000) + 30, y));
    EXPECT_EQ(ArrScrubState, 3);
    SendMessageA(w, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(kW + 40, y));
    EXPECT_EQ(ArrScrubState, 2);
  }
  SendMessageA(w, WM_LBUTTONUP, 0, MAKELPARAM(X(50000), y));
  EXPECT_EQ(ArrScrubState, 0);
  EXPECT_EQ(TransportScrubbing(), 0);
}

// The automation front end of a test: knob 3 of one Take with events at
// Take locations 4100 (value 10 of 32) and 4300 (value 20).
class FakeFront : public ArrAutomFront {
 public:
  uint32_t take = 0;
  std::vector<std::pair<uint32_t, int32_t>> events = {{4100, 10}, {4300, 20}};
  int refreshes = 0;
  int HasKnob(uint32_t t, int32_t knob) override { return t == take && knob == 3; }
  int EventNear(uint32_t t, int previous, int32_t knob, int32_t scale, uint32_t* location, int32_t* value) override {
    if (t != take || knob != 3) return 0;
    const std::pair<uint32_t, int32_t>* found = nullptr;
    for (const auto& e : events) {
      if (previous ? e.first <= *location : e.first >= *location) {
        if (previous || found == nullptr) found = &e;
      }
    }
    if (found == nullptr) return 0;
    *location = found->first;
    *value = found->second * scale / 32;
    return 1;
  }
  void RefreshAfterEdit(int32_t) override { ++refreshes; }
};

std::vector<std::string> edits;
int RecordEdit(uint32_t, uint32_t, uint32_t start, uint32_t length, int32_t knob, int32_t deleteAt, int32_t setAt,
               int32_t value, int32_t scale) {
  char text[96];
  std::snprintf(text, sizeof text, "%u+%u k%d del %d set %d = %d/%d", start, length, knob, deleteAt, setAt, value,
                scale);
  edits.push_back(text);
  return 1;
}

// The knob and the change of a recorded edit (the stretch left out).
std::string Change(const std::string& edit) { return edit.substr(edit.find(' ') + 1); }

// A press within reach of a node grabs it; the release writes the moved
// node into a new Take under one undo step. A single press away from the
// nodes starts nothing; a double click makes a new node.
TEST_F(ArrChildTest, AnAutomationNodeFollowsThePointerAndIsWrittenAtTheRelease) {
  uint32_t error = 0;
  TakeRec* t = TakeCreateAutom(Folder().c_str(), 0, 0, 0, 0, 0, 0, 0, 1, "Fader", "", nullptr, nullptr, &error);
  ASSERT_NE(t, nullptr) << error;
  FakeFront front;
  front.take = TakeRef(t);
  ArrSetAutomFront(&front);
  ArrSetAutomEditor(RecordEdit);
  edits.clear();
  // The Part plays Take locations [4000, 4000 + 51200) from 51200; knob 3.
  const uint32_t slot = Add(1, 51200, 51200, front.take, kTakeAutom, "Fader");
  ArrPart(CurArr, slot)->Offset = 4000;
  ArrPart(CurArr, slot)->AutoMapValue = 3;
  ArrView().Hzoom = 1;
  ArrView().Origin = 51200 + kArrTimeShift - 10;  // Take location 4000 at x 10
  ASSERT_NO_FATAL_FAILURE(Open());
  ArrView().Hzoom = 1;
  ArrView().Origin = 51200 + kArrTimeShift - 10;
  const ArrViewRec& v = ArrView();
  const int32_t height = v.Vzoom - 3;
  const int bottom = RowY(1, v.Vzoom - 2);
  const int nodeX = 10 + 100, nodeY = bottom - 10 * height / 32;
  ToolSelect(1, kToolAutomEdit);
  Pump();
  PostDrag(nodeX + 2, nodeY - 1, nodeX + 52, nodeY - 6);
  ASSERT_EQ(edits.size(), 1u);
  char want[96];
  std::snprintf(want, sizeof want, "k3 del 100 set 150 = %d/%d", 10 * height / 32 + 5, height);
  EXPECT_EQ(Change(edits[0]), want);
  EXPECT_EQ(UndoGetLevel(), 1u);
  EXPECT_NE(ArrPart(CurArr, slot)->Take, front.take);
  ASSERT_EQ(UndoApply(0), 1);
  UndoDiscard(0);

  // A node moved past its neighbour stops before it.
  ASSERT_EQ(ArrPart(CurArr, slot)->Take, front.take);
  edits.clear();
  PostDrag(nodeX, nodeY, nodeX + 400, nodeY);
  ASSERT_EQ(edits.size(), 1u);
  std::snprintf(want, sizeof want, "k3 del 100 set 299 = %d/%d", 10 * height / 32, height);
  EXPECT_EQ(Change(edits[0]), want);
  ASSERT_EQ(UndoApply(0), 1);
  UndoDiscard(0);

  // Away from the nodes a single press does nothing; a double click makes
  // a node where the button is released.
  edits.clear();
  const int freeX = 10 + 200, freeY = bottom - 5;
  Sleep(GetDoubleClickTime() + 20);
  PostDrag(freeX, freeY, freeX + 5, freeY);
  EXPECT_TRUE(edits.empty());
  PostDrag(freeX, freeY, freeX + 7, freeY);
  ASSERT_EQ(edits.size(), 1u);
  std::snprintf(want, sizeof want, "k3 del -1 set 207 = 5/%d", height);
  EXPECT_EQ(Change(edits[0]), want);
  ASSERT_EQ(UndoApply(0), 1);
  UndoDiscard(0);

  // Not an Automation Part: 322.
  ArrPart(CurArr, slot)->TakeKind = kTakeAudio;
  {
    ModalCloser closer(IDOK);
    ArrInput in;
    EXPECT_EQ(ArrAutomEditStart(nullptr, nodeX, nodeY, static_cast<int32_t>(slot), in), nullptr);
    EXPECT_EQ(closer.seen().text,
              "Function only supported on Parts that have Automation Take references!");
  }
  ArrSetAutomFront(nullptr);
  ArrSetAutomEditor(nullptr);
}

// The node feedback drawn twice leaves the picture as it was, its label
// included; drawn once it changes the picture at the node.
TEST_F(ArrChildTest, NodeFeedbackDrawnTwiceRestoresThePicture) {
  arrwnd_test::Bitmap bitmap(300, 120);
  HDC dc = bitmap.dc;
  auto* px = static_cast<uint32_t*>(bitmap.bits);
  for (int i = 0; i < 300 * 120; ++i) px[i] = 0x00336699u + static_cast<uint32_t>(i % 7);
  const std::vector<uint32_t> before(px, px + 300 * 120);
  for (const int straight : {0, 1}) {
    DrawXorNodeLine(dc, {20, 100}, {280, 50}, {150, 80}, straight, "-6.0 dB", 0);
    GdiFlush();
    EXPECT_NE(std::vector<uint32_t>(px, px + 300 * 120), before);
    EXPECT_NE(px[80 * 300 + 150], before[80 * 300 + 150]);
    DrawXorNodeLine(dc, {20, 100}, {280, 50}, {150, 80}, straight, "-6.0 dB", 0);
    GdiFlush();
    EXPECT_EQ(std::vector<uint32_t>(px, px + 300 * 120), before);
  }
}

// CUSTOMSMARTTOOL: OK puts the edited sets into force at once (the derived
// entries with them); Cancel leaves them as they were.
TEST_F(ArrChildTest, TheToolSetDialogPutsTheEditedSetsIntoForce) {
  int32_t saved[kCseSets][kCseEntries];
  std::memcpy(saved, CseTools, sizeof saved);
  auto choose = [](int zone, int tool) {
    return [zone, tool](HWND dlg) {
      HWND set = GetDlgItem(dlg, 800);
      SendMessageA(set, CB_SETCURSEL, 3, 0);  // Alt + left, Audio
      SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(800, CBN_SELCHANGE), reinterpret_cast<LPARAM>(set));
      HWND combo = GetDlgItem(dlg, 801 + zone);
      // The texts come from the string table: the mouse actions, and the
      // zone's choices from "(none)" on.
      char text[128] = "";
      SendMessageA(set, CB_GETLBTEXT, 3, reinterpret_cast<LPARAM>(text));
      EXPECT_STREQ(text, "ALT+left mouse click, Parts referencing Audio Takes");
      SendMessageA(combo, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(text));
      EXPECT_STREQ(text, "(none)");
      EXPECT_EQ(CseComboTool(combo), CseTools[3][zone]);
      EXPECT_EQ(CseSelectTool(combo, tool), 1);
    };
  };
  {
    ModalCloser closer(IDCANCEL, choose(2, kToolTrimAdjacent));
    EXPECT_EQ(DoDialogParam(nullptr, "CUSTOMSMARTTOOL", CustomSmartToolDlgProc, 0), IDCANCEL);
    EXPECT_TRUE(closer.seen().found);
  }
  EXPECT_EQ(std::memcmp(saved, CseTools, sizeof saved), 0);
  {
    // With HRL_SHOT set, a picture of the dialog as the user sees it.
    const std::string shot = hrl_test::ShotPath("customsmarttool");
    ModalCloser closer(IDOK, [&](HWND dlg) {
      choose(2, kToolTrimAdjacent)(dlg);
      if (!shot.empty()) {
        UpdateWindow(dlg);
        EXPECT_TRUE(hrl_test::SaveWindowShot(dlg, shot, hrl_test::ShotFrom::kWindow));
      }
    });
    EXPECT_EQ(DoDialogParam(nullptr, "CUSTOMSMARTTOOL", CustomSmartToolDlgProc, 0), IDOK);
    EXPECT_EQ(closer.seen().caption, "Customize Context Sensitive Edit Tool");
  }
  EXPECT_EQ(CseTools[3][2], kToolTrimAdjacent);
  EXPECT_EQ(CseTools[3][14], kToolTrimAdjacent);
  EXPECT_EQ(CseTools[3][1], saved[3][1]);
  std::memcpy(CseTools, saved, sizeof saved);
}

}  // namespace
