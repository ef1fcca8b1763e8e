// The main frame's marker keys, the external clock watch and the knob
// arithmetic of the themed controls.
#include <gtest/gtest.h>

#include "mixer/shell/knob.h"
#include "mixer/shell/markerkeys.h"
#include "mixer/shell/menuinit.h"
#include "mixer/shell/menusetup.h"
#include "mixer/model/util/strtab.h"
#include "mixer/shell/prompts.h"
#include "mixer/shell/syncwatch.h"
#include "mixer/shell/timer.h"
#include "mixer/shell/unitopts.h"
#include "mixer/model/settings.h"
#include "mixer/shell/mainopts.h"
#include "tests/fakes/host_fake.h"
#include "tests/fakes/services_fake.h"
#include "tests/fakes/startup_fake.h"

// The window side the clock watch asks.
int TimerModalOpen() { return Startup().modalOpen; }

namespace {

int32_t Type(int32_t acc, const char* digits) {
  for (const char* d = digits; *d; ++d) acc = MarkerKeyDigit(acc, *d - '0');
  return acc;
}

TEST(MarkerKeys, DigitsAccumulateUpToThreePlaces) {
  EXPECT_EQ(Type(0, "1234"), 4);  // 123 is above 99: the fourth digit starts again
  EXPECT_EQ(Type(0, "999"), 999);
  EXPECT_EQ(Type(0, "05"), 5);     // a leading 0 keeps the accumulator empty
  EXPECT_EQ(Type(-7, "3"), 3);     // an offered number is replaced by typing
}

TEST(MarkerKeys, SearchStartAndNextOffer) {
  EXPECT_EQ(MarkerKeySearchFrom(0), 1u);  // empty: from marker 1, never 0
  EXPECT_EQ(MarkerKeySearchFrom(12), 12u);
  EXPECT_EQ(MarkerKeySearchFrom(-13), 13u);
  EXPECT_EQ(MarkerKeySearchFrom(-5000), 999u);
  EXPECT_EQ(MarkerKeyAfterUse(12), -13);
  EXPECT_EQ(MarkerKeyAfterUse(998), -999);
  EXPECT_EQ(MarkerKeyAfterUse(999), -999);
  EXPECT_EQ(MarkerKeyAfterUse(0xFFFFFFFFu), -999);
}

TEST(SyncWatch, ReportsAfterFourFailuresThenAfterTwentyMore) {
  SyncWatch w;
  int reports = 0, tick = 0, firstAgain = 0;
  for (; tick < 40; ++tick) {
    if (SyncWatchTick(&w, 1, 1)) {
      ++reports;
      if (reports == 1) {
        EXPECT_EQ(tick, 3);
      }
      if (reports == 2) firstAgain = tick;
      SyncWatchReported(&w);
    }
  }
  EXPECT_EQ(firstAgain, 3 + 20);
  // A good tick resets the count; other units are independent.
  SyncWatch v;
  for (int i = 0; i < 3; ++i) SyncWatchTick(&v, 0, 1);
  SyncWatchTick(&v, 0, 0);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(SyncWatchTick(&v, 0, 1), 0);
  EXPECT_EQ(SyncWatchTick(&v, 5, 1), 0);
}

class SyncStatusTest : public testing::Test {
 protected:
  void SetUp() override {
    Startup().Reset();
    Services().Reset();
    Host().Reset();
    UnitSyncWatch() = SyncWatch();
    Settings() = ProjectSettings();
    IgnoreExtSRate = 0;
    VSyncedMClk = 0;
  }
  void TearDown() override { VSyncedMClk = 0; }
  // Unit `unit` with a host interface, on master clock `k` of its group.
  void HostUnit(int unit, uint32_t k) {
    Startup().hasHost[unit] = 1;
    Services().mclkUnit[unit] = 40408 + 14 * static_cast<uint32_t>(unit) + k;
  }
};

TEST_F(SyncStatusTest, NamesTheUnitAndTheKindOfFault) {
  Startup().unitCount = 2;
  HostUnit(0, 0);  // internal, synced to video, no video
  VSyncedMClk = 1;
  HostUnit(1, 0);  // internal: never fails
  for (int i = 0; i < 4; ++i) CheckUnitSyncStatus();
  ASSERT_EQ(Host().boxes.size(), 1u);
  EXPECT_EQ(Host().boxes[0].id, 236u);
  EXPECT_EQ(Host().boxes[0].text, "Quorvale unit 1: no valid external video sync!");
  EXPECT_EQ(UnitSyncWatch().fails[1], -16);
  EXPECT_EQ(UnitSyncWatch().reporting, 0);
}

// Which fault each kind of unit reports, on the second unit.
TEST_F(SyncStatusTest, EachKindOfUnitFailsOnItsOwnQuery) {
  struct Case {
    const char* name;
    int host;
    uint32_t clock;  // within the unit's group
    int mixDsps;
    void (*fault)(StartupFake&);
    bool fails;
  } cases[] = {
      {"card ok", 0, 0, 1, [](StartupFake&) {}, false},
      {"card query fails", 0, 0, 0, [](StartupFake& f) { f.cardQueryOk[1] = 0; }, true},
      {"card no clock", 0, 0, 0, [](StartupFake& f) { f.cardParams[1].clockValid = 0; }, true},
      {"card sync flags", 0, 0, 1, [](StartupFake& f) { f.setSyncFlagsOk[1] = 0; }, true},
      {"card sync flags, no DSPs", 0, 0, 0, [](StartupFake& f) { f.setSyncFlagsOk[1] = 0; }, false},
      {"AES invalid", 1, 1, 0, [](StartupFake& f) { f.unitStatus[1] = 0x100; }, true},
      {"AES ok", 1, 1, 0, [](StartupFake& f) { f.unitStatus[1] = 0xC0; }, false},
      {"word clock clear fails", 1, 10, 0, [](StartupFake& f) { f.clearSyncFlagsOk[1] = 0; }, true},
      {"word clock set fails", 1, 10, 1, [](StartupFake& f) { f.setSyncFlagsOk[1] = 0; }, true},
      {"internal second unit", 1, 0, 0, [](StartupFake& f) { f.syncStatus = 0; }, false},
  };
  for (const auto& c : cases) {
    SetUp();
    Startup().unitCount = 2;
    HostUnit(0, 0);
    Startup().hasHost[1] = c.host;
    Services().mclkUnit[1] = 40422 + c.clock;
    Startup().hasMixDsps[1] = c.mixDsps;
    c.fault(Startup());
    for (int i = 0; i < 4; ++i) CheckUnitSyncStatus();
    SCOPED_TRACE(c.name);
    ASSERT_EQ(Host().boxes.size(), c.fails ? 1u : 0u);
    if (c.fails) {
      EXPECT_EQ(Host().boxes[0].text, "Quorvale unit 2: no valid external master clock!");
    }
  }
}

// The first unit's external rate becomes the project's when nothing runs.
TEST_F(SyncStatusTest, FirstUnitAdoptsTheExternalRate) {
  struct Case {
    const char* name;
    int host;
    uint32_t clock;
    void (*setUp)(StartupFake&, ServicesFake&);
    uint32_t rate;      // the project rate afterwards
    bool consoleTold;
  } cases[] = {
      {"card", 0, 0, [](StartupFake& f, ServicesFake&) { f.cardParams[0].sampleRate = 48000; },
       48000, true},
      {"card while playing", 0, 0,
       [](StartupFake& f, ServicesFake& s) {
         f.cardParams[0].sampleRate = 48000;
         s.transportState = 3;
       },
       44100, false},
      {"card under a dialog", 0, 0,
       [](StartupFake& f, ServicesFake&) {
         f.cardParams[0].sampleRate = 48000;
         f.modalOpen = 1;
       },
       44100, false},
      {"card while scrubbing", 0, 0,
       [](StartupFake& f, ServicesFake&) {
         f.cardParams[0].sampleRate = 48000;
         f.scrubbing = 1;
       },
       44100, false},
      {"AES 48 kHz", 1, 1, [](StartupFake& f, ServicesFake&) { f.unitStatus[0] = 0x80; }, 48000,
       true},
      {"AES 32 kHz", 1, 1, [](StartupFake& f, ServicesFake&) { f.unitStatus[0] = 0xC0; }, 32000,
       true},
      {"AES nothing in", 1, 1, [](StartupFake& f, ServicesFake&) { f.unitStatus[0] = 0x40; },
       44100, false},
      {"AES under a dialog: stored, units told", 1, 1,
       [](StartupFake& f, ServicesFake&) {
         f.unitStatus[0] = 0x80;
         f.modalOpen = 1;
       },
       48000, false},
      {"TDIF B", 1, 4, [](StartupFake& f, ServicesFake&) { f.tdifRate[0] = 48000; }, 48000, true},
      {"TDIF C, no rate", 1, 5, [](StartupFake&, ServicesFake&) {}, 44100, false},
      {"super clock", 1, 9, [](StartupFake& f, ServicesFake&) { f.tdifRate[0] = 48000; }, 44100,
       false},
  };
  for (const auto& c : cases) {
    SetUp();
    Startup().unitCount = 1;
    Startup().hasHost[0] = c.host;
    Services().mclkUnit[0] = 40408 + c.clock;
    Settings().SampleRate = 44100;
    c.setUp(Startup(), Services());
    CheckUnitSyncStatus();
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Settings().SampleRate, c.rate);
    EXPECT_EQ(Services().Count("ConsoleNotifySampleRate"), c.consoleTold ? 1 : 0);
    if (c.rate != 44100) {
      EXPECT_GE(Services().Count("UnitsSetSampleRate(3, " + std::to_string(c.rate)), 1);
    }
    EXPECT_TRUE(Host().boxes.empty());
  }
  // The setting keeps an external AES/EBU rate away from the project.
  SetUp();
  IgnoreExtSRate = 1;
  Startup().unitCount = 1;
  HostUnit(0, 1);
  Startup().unitStatus[0] = 0x80;
  CheckUnitSyncStatus();
  EXPECT_EQ(Settings().SampleRate, ProjectSettings().SampleRate);
  IgnoreExtSRate = 0;
}

TEST(Knob, StartAndValueAngles) {
  EXPECT_DOUBLE_EQ(KnobStartAngle(270), 135.0);
  EXPECT_DOUBLE_EQ(KnobStartAngle(300), 120.0);
  EXPECT_DOUBLE_EQ(KnobValueAngle(50, 100, 270), 270.0);  // straight up
  EXPECT_DOUBLE_EQ(KnobValueAngle(100, 100, 270), 405.0);
}

TEST(Knob, DragAnglesToValues) {
  struct Case {
    int dx, dy, sweep, max, want;
  } cases[] = {
      {0, -10, 270, 100, 50},   // straight above: the middle
      {-10, 0, 270, 100, 16},   // left: 45 degrees into the sweep
      {10, 0, 270, 100, 83},
      {-10, 10, 270, 100, 0},   // the start of the sweep
      {10, 10, 270, 100, 100},  // its end
      {-1, 20, 270, 100, 0},    // dead zone, nearer the start
      {1, 20, 270, 100, 100},   // dead zone, nearer the end
      {-1, 20, 300, 1000, 0},
      {1, 20, 300, 1000, 1000},
      {0, -10, 360, 100, 50},   // a full circle: straight up is still the middle
      {5, 5, 0, 100, 0},        // no sweep: no value
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.dx << "," << c.dy << " sweep " << c.sweep);
    EXPECT_EQ(KnobValueAt(c.dx, c.dy, c.sweep, c.max), c.want);
  }
}

TEST(Knob, TypedEntryIsRelativeToTheCentreAndKeptInRange) {
  EXPECT_EQ(KnobValueFromEntry(0, 100), 50);
  EXPECT_EQ(KnobValueFromEntry(-20, 100), 30);
  EXPECT_EQ(KnobValueFromEntry(500, 100), 100);
  EXPECT_EQ(KnobValueFromEntry(-500, 100), 0);
  EXPECT_EQ(KnobValueFromEntry(0x7FFFFFFF, 100), 100);
}

}  // namespace

namespace {

TEST(UnitOptions, RemapsToWhatTheHardwareOffers) {
  const UnitHardware cardOnly = {0, 0, 0}, host = {1, 1, 0}, hostNoDsp = {1, 0, 0},
                     kind2 = {1, 1, 2}, kind3 = {1, 1, 3}, host3 = {1, 0, 3};
  struct Case {
    uint32_t (*remap)(uint32_t, const UnitHardware&);
    uint32_t id;
    const UnitHardware* unit;
    uint32_t want;
  } cases[] = {
      {RemapClockOut, 40362, &cardOnly, 40361}, {RemapClockOut, 40365, &cardOnly, 40361},
      {RemapClockOut, 40363, &cardOnly, 40363}, {RemapClockOut, 40365, &host, 40365},
      {RemapIo96K, 40384, &host, 40386},       {RemapIo96K, 40387, &host, 40387},
      {RemapIo96K, 40385, &kind3, 40386},      {RemapIo96K, 40387, &kind3, 40386},
      {RemapIo96K, 40389, &kind3, 40388},      {RemapIo96K, 40384, &kind2, 40387},
      {RemapIo96K, 40388, &kind2, 40389},      {RemapIo96K, 40386, &cardOnly, 40384},
      {RemapIo96K, 40389, &hostNoDsp, 40384},  {RemapIo96K, 40385, &cardOnly, 40385},
      {RemapMasterClock, 40411, &host, 40418}, {RemapMasterClock, 40408, &cardOnly, 40408},
      {RemapMasterClock, 40417, &cardOnly, 40418}, {RemapMasterClock, 40421, &cardOnly, 40418},
      {RemapMasterClock, 40418, &cardOnly, 40418}, {RemapMasterClock, 40415, &cardOnly, 40415},
      {RemapMasterClock, 40413, &host3, 40410}, {RemapMasterClock, 40416, &host3, 40414},
      {RemapMasterClock, 40409, &kind2, 40410}, {RemapMasterClock, 40409, &kind3, 40409},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    EXPECT_EQ(c.remap(c.id, *c.unit), c.want);
  }
}

// The MIDI set-up's bit and the quarter-frame choice travel in one word; a
// stale bit 1 in the stored MIDI word does not outvote the sync set-up.
TEST(UnitOptions, OptionFlagsCarryTheMidiWordAndTheQuarterFrameChoice) {
  EXPECT_EQ(UnitOptionFlags(0, 0), 0u);
  EXPECT_EQ(UnitOptionFlags(1, 0), 1u);
  EXPECT_EQ(UnitOptionFlags(1, 1), 3u);
  EXPECT_EQ(UnitOptionFlags(2, 0), 0u);
  EXPECT_EQ(UnitOptionFlags(0x101, 1), 0x103u);
}

// Each row: a state, then items with the state the menu must end in.
TEST(MainMenuInit, GreysByDocumentsTransportAndSync) {
  struct Want {
    uint32_t id;
    int enabled;
  };
  struct Row {
    const char* name;
    MenuInitState state;
    std::vector<Want> want;
  };
  MenuInitState stopped;
  MenuInitState named = stopped;
  named.arrChanged = named.arrNamed = 1;
  named.mixChanged = 1;  // changed but untitled: Save Mix stays grey
  named.tapeTransBar = 1;
  named.tempoMap = 1;
  named.canUndo = 1;
  MenuInitState playing = stopped;
  playing.transport = 3;
  playing.tapeTransBar = 1;
  playing.canUndo = playing.canRedo = 1;
  MenuInitState recording = playing;
  recording.transport = 4;
  MenuInitState recordingLoop = recording;
  recordingLoop.playRecMode = 0x80;
  MenuInitState external = stopped;
  external.mclkUnit1 = 40409;
  external.syncIn = 40502;
  MenuInitState board = stopped;
  board.syncBoard = 1;
  board.syncIn = 40502;
  board.syncOut = 0x40;
  board.nineSync = 1;
  board.snapOn = 1;
  board.anyMixDsps = 1;
  board.unit1Answer = 1;  // later units follow unit 1: their Internal greys
  const Row rows[] = {
      {"stopped, nothing open", stopped,
       {{41003, 0}, {41010, 0}, {41016, 0}, {41018, 0}, {41421, 0}, {41430, 1}, {41443, 1},
        {kMenuFilePopup, 1}, {kMenuSettingsSub + 4, 1}, {41608, 0}, {41440, 0}, {41441, 0},
        {41600, 1}, {41580, 1}, {40490, 0}, {40503, 0}, {40506, 1}, {40507, 1}, {40508, 0},
        {40520, 0}, {41823, 0}, {41828, 0}, {42317, 0}, {40422, 1}}},
      {"stopped, named and changed, tempo map", named,
       {{41003, 1}, {41010, 0}, {41018, 1}, {41421, 1}, {41425, 0}, {41427, 1}, {41847, 0},
        {41440, 1}, {40506, 0}}},
      {"playing", playing,
       {{41421, 0}, {41428, 1}, {41431, 1}, {41560, 0}, {41824, 0}, {kMenuFilePopup, 0},
        {kMenuSettingsSub + 0, 0}, {41443, 0}, {41847, 0}, {41608, 0}, {41840, 0}, {41440, 0},
        {41441, 0}, {40501, 0}}},
      {"recording", recording, {{41428, 0}, {41430, 0}, {41431, 0}, {41432, 0}, {41827, 0}}},
      {"recording with mode bit 7", recordingLoop, {{41431, -1}, {41428, 0}}},
      {"external clock and sync", external,
       {{41600, 0}, {41580, 0}, {41590, 0}, {40512, 0}, {41430, 0}, {40506, 0}, {40507, 0}}},
      {"sync board", board,
       {{40490, 1}, {40503, 1}, {40504, 1}, {40505, 1}, {40506, 0}, {40507, 1}, {40509, 1},
        {40538, 1}, {41823, 1}, {41828, 1}, {42317, 1}, {40422, 0}, {40450, 0}, {40408, -1}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::vector<MenuItemState> items = MainMenuInitItems(row.state);
    for (const Want& w : row.want) {
      SCOPED_TRACE(w.id);
      EXPECT_EQ(MenuItemFinalState(items, w.id), w.enabled);
    }
  }
}

TEST(Prompts, EntriesAreClampedNotRefused) {
  struct Case {
    int32_t (*parse)(const char*);
    const char* text;
    int32_t want;
  } cases[] = {
      {VarispeedFromEntry, "12.5", 1000},   {VarispeedFromEntry, "-0.5", -50},
      {VarispeedFromEntry, "3.25", 325},    {VarispeedFromEntry, "-99", -1000},
      {UndoLevelsFromEntry, "0", 2},        {UndoLevelsFromEntry, "150", 100},
      {UndoLevelsFromEntry, "10", 11},      {UndoLevelsFromEntry, "99999999999", 100},
      {AutoSaveFromEntry, "90", 60},        {AutoSaveFromEntry, "-3", 0},
      {SmpBufSizeFromEntry, "100", 64},     {SmpBufSizeFromEntry, "130", 128},
      {SmpBufSizeFromEntry, "9000", 8192},  {SmpBufSizeFromEntry, "-100", 64},
      {SmpBufSizeFromEntry, "abc", 64},     {BarsFromEntry, "0", 1},
      {BarsFromEntry, "7", 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(c.parse(c.text), c.want);
  }
  char text[16];
  VarispeedPromptText(-50, text, sizeof text);
  EXPECT_STREQ(text, "-00.50");
  VarispeedPromptText(1000, text, sizeof text);
  EXPECT_STREQ(text, "10.00");
  VarispeedPromptText(-1000, text, sizeof text);
  EXPECT_STREQ(text, "-10.00");
}

TEST(Prompts, TempoFromLocatorsIsClamped) {
  EXPECT_EQ(TempoFromLocators(2, 4, 4, 48000, 0, 192000), 12000);  // 120.00 BPM
  EXPECT_EQ(TempoFromLocators(2, 4, 4, 48000, 0, 1), 24000);
  EXPECT_EQ(TempoFromLocators(1, 4, 4, 44100, 0, 0x7FFF0000), 3000);
  EXPECT_EQ(TempoFromLocators(3, 3, 4, 44100, 1000, 265600), 9000);  // 9 beats in 6 s
}

TEST(Prompts, RecordReadyRanges) {
  struct Case {
    int32_t typedFirst, typedLast;
    bool ok;
    int32_t first, last;
  } cases[] = {
      {0, 0, true, 1, 192}, {5, 3, true, 3, 3},     {2, 9, true, 2, 9},
      {0, 9, true, 9, 9},   {0, 192, true, 192, 192}, {1, 193, false, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.typedFirst << " " << c.typedLast);
    int32_t first = 0, last = 0;
    EXPECT_EQ(RecReadyRange(c.typedFirst, c.typedLast, &first, &last), c.ok);
    if (c.ok) {
      EXPECT_EQ(first, c.first);
      EXPECT_EQ(last, c.last);
    }
  }
}

// The text an edit list leaves on item `id`: 0 deleted, the renamed string
// id, or 1 when untouched.
uint32_t ItemAfter(const std::vector<MenuEdit>& edits, uint32_t id) {
  uint32_t state = 1;
  for (const MenuEdit& e : edits) {
    if (e.id != id) continue;
    if (e.kind == kMenuDeleteId) state = 0;
    if (e.kind == kMenuRenameId && state) state = e.text;
  }
  return state;
}

TEST(MainMenuSetup, TailorsClockAndIoItemsPerUnitType) {
  struct Want {
    uint32_t id;
    uint32_t after;
  };
  struct Row {
    const char* name;
    MenuUnit unit;
    std::vector<Want> want;
  };
  const Row rows[] = {
      {"type 100", {1, 100, 0, 0, 0},
       {{40360, 0}, {40365, 0}, {40409, IDS_MENU_MADI_A}, {40410, IDS_MENU_MADI_B},
        {40412, 0}, {40416, 0}, {40418, 1}, {40421, 0}, {40408, 1}, {40386, 0}}},
      {"type 5", {1, 5, 0, 0, 0},
       {{40362, 0}, {40363, IDS_MENU_FRAME_CLOCK}, {40364, IDS_MENU_FRAME_CLOCK_90},
        {40409, 0}, {40414, 0}, {40415, IDS_MENU_FRAME_CLOCK_2}, {40417, 0}, {40418, 1}}},
      {"type 9", {1, 9, 0, 0, 0},
       {{40384, IDS_MENU_2CH_AES}, {40385, IDS_MENU_1CH_AES}, {40409, 0},
        {40410, IDS_MENU_AES_12}, {40412, IDS_MENU_AES_34}, {40415, IDS_MENU_FRAME_CLOCK_2}}},
      {"type 13", {1, 13, 0, 0, 0},
       {{40409, IDS_MENU_MADI}, {40410, IDS_MENU_ADAT_A}, {40413, IDS_MENU_ADAT_C},
        {40414, 0}}},
      {"other type", {1, 6, 0, 0, 0}, {{40409, IDS_MENU_MADI}, {40414, 0}, {40415, IDS_MENU_FRAME_CLOCK_2}}},
      {"host kind 3", {0, 0, 3, 0, 0},
       {{40387, 0}, {40389, 0}, {40412, 0}, {40416, 0}, {40386, 0}, {40388, 0}, {40384, 1}, {40409, 1}}},
      {"host kind 2 with mixer DSPs", {0, 0, 2, 1, 0},
       {{40409, 0}, {40384, 0}, {40385, 0}, {40386, 0}, {40387, 1}, {40389, 1}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::vector<MenuEdit> edits = MainMenuSetupEdits(&row.unit, 1);
    for (const Want& w : row.want) EXPECT_EQ(ItemAfter(edits, w.id), w.after) << w.id;
  }
}

TEST(MainMenuSetup, AbsentUnitsGoFromTheLastAndUnusableIoGreys) {
  const MenuUnit one[1] = {{1, 6, 0, 0, 0}};
  const std::vector<MenuEdit> edits = MainMenuSetupEdits(one, 1);
  std::vector<int32_t> masterClockPositions;
  for (const MenuEdit& e : edits)
    if (e.kind == kMenuDeletePos && e.path.settings == 0) masterClockPositions.push_back(e.pos);
  EXPECT_EQ(masterClockPositions, (std::vector<int32_t>{3, 2, 1}));
  for (uint32_t id : {41612u, 41613u, 41614u}) EXPECT_EQ(ItemAfter(edits, id), 0u) << id;
  EXPECT_EQ(ItemAfter(edits, 41611), 1u);
  EXPECT_EQ(ItemAfter(edits, 46191), 0u);
  // Type 6 uses MADI but not AES: only the AES sub-menu greys whole.
  auto greyedWhole = [&](int io) {
    for (const MenuEdit& e : edits)
      if (e.kind == kMenuGreyPos && e.path.settings == 2 && e.path.io == -1 && e.pos == io)
        return true;
    return false;
  };
  EXPECT_FALSE(greyedWhole(0));
  EXPECT_FALSE(greyedWhole(1));
  EXPECT_TRUE(greyedWhole(3));
}

}  // namespace
