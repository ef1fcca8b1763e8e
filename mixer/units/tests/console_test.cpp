// The control-surface link through a library that records what it is told
// and a program state that records what the surface asks of it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "mixer/units/console.h"

namespace {

struct Lib {
  int32_t answer = kConsoleVersion;
  ConsoleCommandFn command = nullptr;
  ConsoleQueryFn query = nullptr;
  std::vector<std::vector<int64_t>> told;  // {kind, a, b or the record's first word}
  int unregistered = 0;
};
Lib lib;

const ConsoleLib kLib = {
    [](int32_t zero, ConsoleCommandFn c, ConsoleQueryFn q) HRL_CONAPI -> int32_t {
      EXPECT_EQ(zero, 0);
      lib.command = c;
      lib.query = q;
      return lib.answer;
    },
    [](int32_t kind, int32_t a, intptr_t b) HRL_CONAPI {
      int64_t shown = b;
      if (kind == kCnMarker) shown = reinterpret_cast<const ConsoleMarkerRec*>(b)->position;
      if (kind == kCnMixer && (a == 1 || a == 2)) shown = *reinterpret_cast<const int32_t*>(b);
      lib.told.push_back({kind, a, shown});
    },
    []() HRL_CONAPI { ++lib.unregistered; },
};

class Host : public ConsoleHost {
 public:
  int captured = 0, modal = 0, nineArmed = 0, state = 2, rebuilding = 0;
  uint32_t rate = 48000, frame = 25, tc = 3600, mode = 0;
  int32_t now = 10000, clock = 12345, left = 2000, right = 8000, zoom = 100;
  uint32_t ms = 0;
  std::vector<std::string> log;
  void L(const std::string& s) { log.push_back(s); }
  static std::string N(int64_t v) { return std::to_string(v); }

  int MouseCaptured() override { return captured; }
  int ModalOpen() override { return modal; }
  int NinePinArmedToDrive() override { return nineArmed; }
  int TransportState() override { return state; }
  uint32_t SampleRate() override { return rate; }
  uint32_t FrameRateCode() override { return frame; }
  uint32_t TimecodeOffset() override { return tc; }
  int32_t NowLoc() override { return now; }
  int32_t ClockLoc() override { return clock; }
  int32_t LeftLoc() override { return left; }
  int32_t RightLoc() override { return right; }
  uint32_t PlayRecMode() override { return mode; }
  void SetPlayRecMode(uint32_t m) override { mode = m; }
  int32_t Zoom() override { return zoom; }
  int RecState(int32_t track) override { return track == 5 ? 2 : 0; }
  int MarkerValid(int32_t n) override { return n == 3; }
  void Marker(int32_t, ConsoleMarkerRec* out) override {
    out->position = 777;
    std::strcpy(out->name, "Verse");
  }
  void MarkerEdit(int code, int32_t n, int32_t p) override { L("MarkerEdit(" + N(code) + "," + N(n) + "," + N(p) + ")"); }
  void UndoRecord(int create) override { L(create ? "Undo(Create)" : "Undo(Move)"); }
  int MixRebuilding() override { return rebuilding; }
  int32_t MixStripCount() override { return 2; }
  int MixStrip(int32_t s, ConsoleStripRec* out) override {
    *out = {s, s + 1, "strip"};
    return 1;
  }
  int MixElem(int32_t s, int32_t e, ConsoleElemRec* out) override {
    *out = {s, e, 7, 3};
    return 1;
  }
  int MixQuery(int32_t, intptr_t out) override {
    *reinterpret_cast<int32_t*>(out) = 2;
    return 1;
  }
  int KnobShift(int32_t, int32_t) override { return 4; }
  int KnobValue(int32_t, int32_t, int32_t* v) override {
    *v = 0x350;
    return 1;
  }
  int SetKnob(int32_t e, int32_t k, int32_t v) override {
    L("SetKnob(" + N(e) + "," + N(k) + "," + N(v) + ")");
    return 1;
  }
  void MxaSetKnobValue(int32_t e, int32_t k, int32_t v) override { L("Mxa(" + N(e) + "," + N(k) + "," + N(v) + ")"); }
  int ElemSet(int32_t e, int32_t code, intptr_t b) override {
    L("ElemSet(" + N(e) + "," + N(code) + "," + N(b) + ")");
    return 1;
  }
  void TransportCommand(int cmd) override { L("Transport(" + N(cmd) + ")"); }
  void EnableAppWindows(int on) override { L("Enable(" + N(on) + ")"); }
  void LocateNow(int32_t p) override {
    now = p;
    L("LocateNow(" + N(p) + ")");
  }
  void SetNowView(int32_t p) override {
    now = p;
    L("SetNowView(" + N(p) + ")");
  }
  void SetLocator(int w, int32_t p) override { L("SetLocator(" + N(w) + "," + N(p) + ")"); }
  void ScrubStep(int32_t t) override { L("ScrubStep(" + N(t) + ")"); }
  void ScrubEnd() override { L("ScrubEnd"); }
  void WindowMessage(int32_t a, intptr_t b) override { L("Window(" + N(a) + "," + N(b) + ")"); }
  void ToolButton(intptr_t b) override { L("ToolButton(" + N(b) + ")"); }
  int ToolAtIndex(int32_t n) override { return n == 5 ? 99 : n + 10; }
  void ToolSelect(int slot, int tool) override { L("ToolSelect(" + N(slot) + "," + N(tool) + ")"); }
  void SetRecReady(int32_t t, int s) override { L("SetRecReady(" + N(t) + "," + N(s) + ")"); }
  void SeamlessLoopChanged() override { L("SeamlessLoopChanged"); }
  void ModeBitChanged(uint32_t bit) override { L("ModeBitChanged(" + N(bit) + ")"); }
  void ShowModeLamps() override { L("ShowModeLamps"); }
  uint32_t TimeMs() override { return ms; }
};

using Told = std::vector<std::vector<int64_t>>;

class Console : public ::testing::Test {
 protected:
  void SetUp() override {
    lib = Lib{};
    ConsoleBind(&kLib, &host);
  }
  void TearDown() override { ConsoleBind(nullptr, nullptr); }
  int32_t Cmd(int32_t kind, int32_t a, intptr_t b) {
    host.log.clear();
    return ConsoleCommandProc(kind, a, b);
  }
  Host host;
};

TEST_F(Console, RegistrationPushesTheStateInOrder) {
  ASSERT_EQ(ConsoleLinkRegister(), 1);
  const Told& t = lib.told;
  ASSERT_EQ(t.size(), 4u + 3u + 999u + (1u + 2u + 3u + 1u) + 2u + 192u + 1u);
  EXPECT_EQ(Told(t.begin(), t.begin() + 7), (Told{{kCnTransport, 2, 0}, {kCnSampleRate, 48000, 0},
                                                  {kCnFrameRate, 1, 0}, {kCnTimecodeOffset, 3600, 0},
                                                  {kCnLocator, 0, 10000}, {kCnLocator, 2, 2000},
                                                  {kCnLocator, 3, 8000}}));
  EXPECT_EQ(t[7], (std::vector<int64_t>{kCnMarker, 0, -1}));
  EXPECT_EQ(t[9], (std::vector<int64_t>{kCnMarker, 2, 777}));
  EXPECT_EQ(t[7 + 998], (std::vector<int64_t>{kCnMarker, 998, -1}));
  const size_t mix = 7 + 999;
  EXPECT_EQ(Told(t.begin() + mix, t.begin() + mix + 7),
            (Told{{kCnMixer, 0, 2}, {kCnMixer, 1, 0}, {kCnMixer, 2, 0}, {kCnMixer, 1, 1},
                  {kCnMixer, 2, 1}, {kCnMixer, 2, 1}, {kCnMixer, 4, 0}}));
  EXPECT_EQ(t[mix + 7], (std::vector<int64_t>{kCnZoom, 0, 100}));
  EXPECT_EQ(t[mix + 8], (std::vector<int64_t>{kCnTrackCount, 0, 192}));
  EXPECT_EQ(t[mix + 9 + 4], (std::vector<int64_t>{kCnRecReady, 4, 2}));
  EXPECT_EQ(t.back(), (std::vector<int64_t>{kCnModes, 0, 7}));

  // A library of another version leaves the link off and is told nothing.
  lib = Lib{};
  lib.answer = 0x2000000;
  EXPECT_EQ(ConsoleLinkRegister(), 0);
  EXPECT_TRUE(lib.told.empty());
  ConsoleSendTransport(3);
  EXPECT_TRUE(lib.told.empty());
  EXPECT_EQ(ConsoleCommandProc(1, 1, 0), 0);
  int32_t out = 0;
  EXPECT_EQ(ConsoleQueryProc(9, 0, reinterpret_cast<intptr_t>(&out)), 0);
}

TEST_F(Console, TransportKeysRunTheirCommands) {
  ASSERT_EQ(ConsoleLinkRegister(), 1);
  const struct {
    int32_t key;
    int32_t result;
    std::vector<std::string> calls;
  } cases[] = {{0, 1, {"Transport(15)"}},
               {1, 1, {"Transport(13)"}},
               {2, 1, {"Transport(3)", "Transport(5)"}},
               {3, 1, {"Transport(1)"}},
               {4, 1, {"Transport(0)"}},
               {5, 0, {}},
               {6, 1, {"Transport(6)", "Transport(12)"}},
               {7, 1, {"Transport(7)", "Transport(12)"}},
               {8, 0, {}}};
  for (const auto& c : cases) {
    EXPECT_EQ(Cmd(1, c.key, 0), c.result) << c.key;
    EXPECT_EQ(host.log, c.calls) << c.key;
  }
}

TEST_F(Console, PreconditionsRefuseAndChangeNothing) {
  ASSERT_EQ(ConsoleLinkRegister(), 1);
  const struct {
    const char* name;
    int captured, modal, nineArmed, state;
    int32_t kind, a;
    intptr_t b;
  } cases[] = {
      {"mouse captured", 1, 0, 0, 2, 1, 1, 0},       {"modal open", 0, 1, 0, 2, 2, 2, 100},
      {"9-pin armed: key", 0, 0, 1, 2, 1, 1, 0},     {"9-pin armed: nudge", 0, 0, 1, 2, 3, 0, 1},
      {"motion while playing", 0, 0, 0, 3, 0, 1, 0}, {"left locator while recording", 0, 0, 0, 4, 2, 2, 5},
      {"nudge right while recording", 0, 0, 0, 4, 3, 3, 1}, {"locate while playing", 0, 0, 0, 3, 2, 0, 5},
      {"arm while recording, mode 128", 0, 0, 0, 4, 8, 0, 1}, {"track 192", 0, 0, 0, 2, 8, 192, 1},
      {"marker 999", 0, 0, 0, 2, 4, 999, 5},        {"scrub target without scrub", 0, 0, 0, 2, 2, 1, 5},
      {"unknown kind", 0, 0, 0, 2, 11, 0, 0},
  };
  host.mode = 128;
  for (const auto& c : cases) {
    host.captured = c.captured;
    host.modal = c.modal;
    host.nineArmed = c.nineArmed;
    host.state = c.state;
    EXPECT_EQ(Cmd(c.kind, c.a, c.b), 0) << c.name;
    EXPECT_TRUE(host.log.empty()) << c.name;
  }
  // A motion under way refuses the transport keys.
  host = Host{};
  ConsoleBind(&kLib, &host);
  ASSERT_EQ(ConsoleLinkRegister(), 1);
  ASSERT_EQ(Cmd(0, kMotionJog, 0), 1);
  EXPECT_EQ(host.log, (std::vector<std::string>{"Enable(0)"}));
  EXPECT_EQ(Cmd(1, 1, 0), 0);
  EXPECT_EQ(Cmd(0, kMotionShuttle, 0), 0);
  ASSERT_EQ(Cmd(0, 0, 0), 1);
  EXPECT_EQ(host.log, (std::vector<std::string>{"Enable(1)", "LocateNow(10000)"}));
  EXPECT_EQ(ConsoleMotionState(), kMotionNone);
}

TEST_F(Console, NudgesClampAndScrubStaysWithinASecond) {
  ASSERT_EQ(ConsoleLinkRegister(), 1);
  // Step = zoom / 2 per nudge, clamped to the time line.
  EXPECT_EQ(Cmd(3, 0, 3), 1);
  EXPECT_EQ(host.log, (std::vector<std::string>{"LocateNow(10150)"}));
  EXPECT_EQ(Cmd(3, 0, -1000), 1);
  EXPECT_EQ(host.log, (std::vector<std::string>{"LocateNow(0)"}));
  host.now = kConsoleMaxLoc - 10;
  EXPECT_EQ(Cmd(3, 0, 5), 1);
  EXPECT_EQ(host.log, (std::vector<std::string>{"LocateNow(" + std::to_string(kConsoleMaxLoc) + ")"}));
  host.zoom = 1;  // a step is at least one sample
  host.now = 100;
  EXPECT_EQ(Cmd(3, 0, 2), 1);
  EXPECT_EQ(host.log, (std::vector<std::string>{"LocateNow(102)"}));
  host.zoom = 100;
  EXPECT_EQ(Cmd(3, 2, 4), 1);
  EXPECT_EQ(host.log, (std::vector<std::string>{"SetLocator(2,2200)"}));
  // Locate position beyond the end is held at the end.
  EXPECT_EQ(Cmd(2, 3, 0x7FFFFFFF), 1);
  EXPECT_EQ(host.log, (std::vector<std::string>{"SetLocator(3," + std::to_string(kConsoleMaxLoc) + ")"}));

  host.now = 100000;
  ASSERT_EQ(Cmd(0, kMotionScrubForward, 0), 1);
  EXPECT_EQ(Cmd(2, 1, 500000), 1);
  EXPECT_EQ(host.log, (std::vector<std::string>{"ScrubStep(148000)"}));
  EXPECT_EQ(Cmd(3, 1, -10), 1);
  EXPECT_EQ(host.log, (std::vector<std::string>{"ScrubStep(147500)"}));
  EXPECT_EQ(Cmd(2, 1, 0), 1);
  EXPECT_EQ(host.log, (std::vector<std::string>{"ScrubStep(52000)"}));
  ASSERT_EQ(Cmd(0, 0, 0), 1);
  EXPECT_EQ(host.log.front(), "ScrubEnd");
}

TEST_F(Console, ShuttleMovesBySpeedRateAndTime) {
  const struct {
    int32_t position, speed;
    uint32_t rate, ms;
    int32_t want;
  } cases[] = {{1000, 524288, 48000, 1000, 1000 + 48000},     // speed 2^19: one second a second
               {1000, -524288, 48000, 500, 0},                // held at 0
               {0, 2000000000, 192000, 60000, kConsoleMaxLoc},  // no overflow, held at the end
               {5000, 100, 44100, 10, 5000}};                 // slower than a sample
  for (const auto& c : cases)
    EXPECT_EQ(ConsoleShuttleTarget(c.position, c.speed, c.rate, c.ms), c.want) << c.speed;

  ASSERT_EQ(ConsoleLinkRegister(), 1);
  host.ms = 1000;
  ASSERT_EQ(Cmd(0, kMotionShuttle, 0), 1);
  ASSERT_EQ(Cmd(3, 0, 10486), 1);  // the step becomes the speed: 50 x 10486
  EXPECT_EQ(ConsoleShuttleSpeed(), 524300);
  EXPECT_TRUE(host.log.empty());
  host.ms = 1100;
  host.log.clear();
  ConsoleShuttleStep();
  EXPECT_EQ(host.log, (std::vector<std::string>{"LocateNow(" + std::to_string(10000 + 4800) + ")"}));
}

TEST_F(Console, OtherCommandsAndQueries) {
  ASSERT_EQ(ConsoleLinkRegister(), 1);
  EXPECT_EQ(Cmd(4, 2, 5000), 1);
  EXPECT_EQ(host.log, (std::vector<std::string>{"Undo(Move)", "MarkerEdit(1,3,5000)"}));
  EXPECT_EQ(Cmd(4, 9, 6000), 1);
  EXPECT_EQ(host.log, (std::vector<std::string>{"Undo(Create)", "MarkerEdit(0,10,6000)"}));
  EXPECT_EQ(Cmd(6, 5, 0), 1);
  EXPECT_TRUE(host.log.empty());
  EXPECT_EQ(Cmd(6, 6, 0), 1);
  EXPECT_EQ(host.log, (std::vector<std::string>{"ToolSelect(1,16)"}));
  EXPECT_EQ(Cmd(5, 1, 9), 1);
  EXPECT_EQ(host.log, (std::vector<std::string>{"ToolButton(9)"}));
  ConsoleKnobRec knob{2, 0x35};
  EXPECT_EQ(Cmd(7, 4, reinterpret_cast<intptr_t>(&knob)), 1);
  EXPECT_EQ(host.log, (std::vector<std::string>{"SetKnob(4,2,848)", "Mxa(4,2,848)"}));
  EXPECT_EQ(Cmd(8, 4, 1), 1);
  EXPECT_EQ(host.log, (std::vector<std::string>{"SetRecReady(5,2)"}));
  EXPECT_EQ(Cmd(10, 3, 99), 1);
  EXPECT_EQ(host.log, (std::vector<std::string>{"ElemSet(3,16,99)"}));

  // Seamless loop only in the loop mode; the other two bits always.
  lib.told.clear();
  EXPECT_EQ(Cmd(9, 1 | 2, 1 | 2), 1);
  EXPECT_EQ(host.mode, 0x8u);
  EXPECT_EQ(host.log, (std::vector<std::string>{"ModeBitChanged(8)", "ShowModeLamps"}));
  host.mode = 0x1;
  EXPECT_EQ(Cmd(9, 1, 1), 1);
  EXPECT_EQ(host.mode, 0x101u);
  EXPECT_EQ(host.log, (std::vector<std::string>{"SeamlessLoopChanged", "ShowModeLamps"}));
  EXPECT_EQ(lib.told.back(), (std::vector<int64_t>{kCnModes, 1, 7}));

  int32_t out = 0;
  const auto Q = [&](int32_t kind, int32_t a) {
    out = -99;
    return ConsoleQueryProc(kind, a, reinterpret_cast<intptr_t>(&out));
  };
  EXPECT_EQ(Q(0, 0), 1);
  EXPECT_EQ(out, 2);
  host.frame = 30;
  EXPECT_EQ(Q(2, 0), 1);
  EXPECT_EQ(out, 4);
  host.frame = 27;
  EXPECT_EQ(Q(2, 0), 0);
  EXPECT_EQ(Q(4, 0), 1);
  EXPECT_EQ(out, 10000);
  host.state = 3;
  EXPECT_EQ(Q(4, 0), 1);
  EXPECT_EQ(out, 12345);
  EXPECT_EQ(Q(4, 1), 0);
  EXPECT_EQ(Q(4, 3), 1);
  EXPECT_EQ(out, 8000);
  EXPECT_EQ(Q(9, 0), 1);
  EXPECT_EQ(out, 192);
  EXPECT_EQ(Q(10, 4), 1);
  EXPECT_EQ(out, 1);
  EXPECT_EQ(Q(11, 1), 1);
  EXPECT_EQ(out, 1);
  EXPECT_EQ(Q(12, 0), 0);
  host.rebuilding = 1;
  EXPECT_EQ(Q(6, 0), 0);
  ConsoleMarkerRec m{};
  EXPECT_EQ(ConsoleQueryProc(5, 2, reinterpret_cast<intptr_t>(&m)), 1);
  EXPECT_EQ(m.position, 777);
  EXPECT_STREQ(m.name, "Verse");
  EXPECT_EQ(ConsoleQueryProc(5, 3, reinterpret_cast<intptr_t>(&m)), 1);
  EXPECT_EQ(m.position, -1);
  EXPECT_STREQ(m.name, "");
  ConsoleKnobRec k{1, 0};
  EXPECT_EQ(ConsoleQueryProc(7, 4, reinterpret_cast<intptr_t>(&k)), 1);
  EXPECT_EQ(k.value, 0x35);

  ConsoleLinkUnregister();
  EXPECT_EQ(lib.unregistered, 1);
  EXPECT_EQ(ConsoleLinked(), 0);
}

}  // namespace
