// The play/record engine through its host calls and the ports' services,
// on one thread: play blocks with loops, chase and all notes off, recording
// with loop passes, conversion into logs, port filters and module loading.
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "logs/qvMidRec/engine_private.h"
#include "logs/qvMidRec/tests/engine_fixture.h"

namespace {


class EngineTest : public MidiEngineTest {
 protected:
  MidiLogHandle TrackLog(uint32_t track, const std::vector<MidiLogEvent>& events) {
    const MidiLogHandle log = MakeLog(0, events);
    MakeList(track, 0, {MidiView{0, 1000000, 0, log}});
    return log;
  }
  // A record view list on track over [0, 1000000) into a fresh log.
  MidiLogHandle RecordInto(uint32_t track) {
    const MidiLogHandle log = MakeLog(0);
    MakeList(track, 1, {MidiView{0, 1000000, 0, log}});
    return log;
  }
};

TEST_F(EngineTest, BlockAcrossTheLoopEndWrapsToTheLoopStart) {
  TrackLog(0, {Ev(500, kMidiControl, 7, 10), Note(1020, 62, 90, 100), Ev(1500, kMidiControl, 7, 20),
               Note(1960, 60, 100, 10)});
  MidiPort* port = MakePort(0, 1, 1);
  MidiSetSeamlessLoopParams(1, 1000, 2000, 2000);
  MidiBuildPlaylists();
  Drain(port);
  MidiStartPlayRec();

  uint64_t pos = 0;
  const Block first = Read(port, 1950, 100, 512, &pos);
  const Block expected = {
      {1960, Msg(0x90, 60, 100)}, {1970, Msg(0x90, 60)},  // [1950, 2000) as they are
      {2000, AllNotesOff(0)},                              // the loop's end
      {2000, Msg(0xB0, 7, 10)},                            // the controllers at the loop start
      {2020, Msg(0x90, 62, 90)},                           // [1000, 1050) shifted by 1000
  };
  EXPECT_EQ(first, expected);
  EXPECT_EQ(pos, 1950u);

  const Block second = Read(port, 2050, 100, 512, &pos);
  EXPECT_EQ(pos, 1050u) << "the next block maps to loop position 1050";
  EXPECT_EQ(second, (Block{{2120, Msg(0x90, 62)}}));

  // Far past the loop: whole loops are skipped at once.
  const Block later = Read(port, 2050 + 10 * 1000 + 70, 10, 512, &pos);
  EXPECT_EQ(pos, 1120u);
  EXPECT_EQ(later, (Block{{12120, Msg(0x90, 62)}}));
}

TEST_F(EngineTest, TimeCodeOffsetShiftsTheBlockAndEveryStamp) {
  TrackLog(0, {Note(100, 60, 100, 10)});
  MidiPort* port = MakePort(0, 1, 1);
  MidiSetTimeCodeOffset(5000);
  MidiBuildPlaylists();
  Drain(port);
  MidiStartPlayRec();
  uint64_t pos = 0;
  EXPECT_EQ(Read(port, 5050, 100, 512, &pos), (Block{{5100, Msg(0x90, 60, 100)}, {5110, Msg(0x90, 60)}}));
  EXPECT_EQ(pos, 50u);
}

TEST_F(EngineTest, AllNotesOffOnTheRequestedChannels) {
  struct {
    const char* what;
    uint32_t first, count, channel;
    bool filterChange;  // else a stop
    std::vector<uint32_t> channels;
  } const cases[] = {
      {"stop, omni from track 4", 4, 16, 0, false, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}},
      {"stop, channel 5", 3, 16, 5, false, {4}},
      {"filter change", 3, 16, 5, true, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    MidiPort* port = MakePort(0, 1, 1);
    if (c.filterChange) {
      Drain(port);
      ASSERT_EQ(MidiSetPortFilter(port, c.first, c.count, c.channel), 1);
    } else {
      ASSERT_EQ(MidiSetPortFilter(port, c.first, c.count, c.channel), 1);
      Drain(port);
      MidiStopPlayRec();
    }
    const uint32_t n = static_cast<uint32_t>(c.channels.size());
    EXPECT_EQ(Read(port, 777, 64, n - 1), Block{}) << "too little room: nothing";
    Block expected;
    for (uint32_t ch : c.channels) expected.push_back({777, AllNotesOff(ch)});
    EXPECT_EQ(Read(port, 777, 64, n), expected) << "the request waited for room";
    EXPECT_EQ(Read(port, 777, 64), Block{}) << "once only";
    MidiDeletePort(port);
    ports_.clear();
  }
}

TEST_F(EngineTest, PreparedStartChasesControllersOnceAtTheFirstBlock) {
  TrackLog(0, {Ev(10, kMidiControl, 7, 1), Ev(20, kMidiProgram, 0, 5), Note(30, 60, 100, 500),
               Ev(40, kMidiControl, 7, 2), Ev(900, kMidiControl, 7, 3)});
  MidiPort* port = MakePort(0, 1, 2);
  MidiBuildPlaylists();
  Drain(port);
  MidiPrepPlayBufs(600);
  // Chased even before the transport runs; stamped at the block's position.
  EXPECT_EQ(Read(port, 600, 0), (Block{{600, Msg(0xB1, 7, 2)}, {600, Msg(0xC1, 5)}}));
  EXPECT_EQ(Read(port, 600, 0), Block{});

  MidiPrepPlayBufs(5);  // nothing before 5: no chase
  EXPECT_EQ(Read(port, 5, 0), Block{});

  MidiPrepPlayBufs(600);
  MidiStopPlayRec();  // withdraws the chase list
  EXPECT_EQ(Read(port, 600, 0), (Block{{600, AllNotesOff(1)}}));
}

TEST_F(EngineTest, FilterLimitsTracksToTheChannelsThereAre) {
  struct {
    uint32_t first, count, channel, tracks;
  } const cases[] = {
      {0, 16, 0, 16}, {4, 16, 0, 12}, {15, 16, 0, 1},           {16, 16, 0, 0},
      {17, 16, 0, 0}, {0xFFFFFFFFu, 16, 0, 0},                  {3, 16, 5, 1},
      {16, 1, 5, 0},  {0, 0, 0, 0}, {2, 3, 0, 3},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MidiPortTrackLimit(c.first, c.count, c.channel), c.tracks)
        << "first " << c.first << " count " << c.count << " channel " << c.channel;
  }
}

TEST_F(EngineTest, PortPlaysOnlyItsTracksOnItsChannels) {
  for (uint32_t t : {2u, 3u, 4u, 15u, 16u}) TrackLog(t, {Ev(100 + t, kMidiControl, 1, static_cast<int16_t>(t))});
  struct {
    const char* what;
    uint32_t first, count, channel;
    Block expected;
  } const cases[] = {
      {"channel 5 from track 3", 3, 16, 5, {{103, Msg(0xB4, 1, 3)}}},
      {"omni from track 4", 4, 16, 0, {{104, Msg(0xB0, 1, 4)}, {115, Msg(0xBB, 1, 15)}}},
      {"first track 16", 16, 16, 0, {}},
  };
  MidiStartPlayRec();
  for (const auto& c : cases) {
    MidiPort* port = MakePort(c.first, c.count, c.channel);
    Drain(port);
    EXPECT_EQ(Read(port, 0, 1000), c.expected) << c.what;
  }
}

TEST_F(EngineTest, LoopRecordingReplacesEachPassWhenItComesRoundAgain) {
  const MidiLogHandle log = RecordInto(0);
  MidiPort* port = MakePort(0, 1, 1);
  MidiSetSeamlessLoopParams(1, 1000, 2000, 4000);  // three passes
  MidiStartPlayRec();
  const auto cc = [](uint64_t at, uint32_t v) { return MipMidiEvent{at, Msg(0xB0, 7, v)}; };
  EXPECT_EQ(Record(port, {cc(1100, 1), cc(2100, 2), cc(3100, 3), {3500, Msg(0x90, 60, 100)}}), 4u);
  // Past the finish the recording starts again at the loop start (offset
  // 3000): each pass reached again loses what it held.
  EXPECT_EQ(Record(port, {cc(4100, 4)}), 1u);
  EXPECT_EQ(Record(port, {cc(5200, 5)}), 1u);
  MidiStopPlayRec();
  MidiConvertRecordlistsIntoLogs(0);
  const std::vector<MidiLogEvent> expected = {
      Ev(1100, kMidiControl, 7, 4), Ev(2200, kMidiControl, 7, 5), Ev(3100, kMidiControl, 7, 3),
      Note(3500, 60, 100, 500),  // never released: ends at the loop finish
  };
  EXPECT_EQ(Stored(log), expected);
}

TEST_F(EngineTest, UnreleasedNoteEndsWhereThePlayingEnded) {
  struct {
    uint32_t playRecEnd;
    uint32_t length;
  } const cases[] = {{5000, 500}, {800, 300}};
  for (const auto& c : cases) {
    const MidiLogHandle log = RecordInto(0);
    MidiPort* port = MakePort(0, 1, 1);
    MidiSetTimeCodeOffset(100);
    MidiSetPlayRecEndLoc(c.playRecEnd);
    MidiStartPlayRec();
    Read(port, 100, 1000);  // the last block played ends at 1000 on the time line
    EXPECT_EQ(Record(port, {{600, Msg(0x90, 60, 100)}, {700, Msg(0xB0, 1, 1)}}), 2u);
    MidiStopPlayRec();
    MidiConvertRecordlistsIntoLogs(0);
    EXPECT_EQ(Stored(log), (std::vector<MidiLogEvent>{Note(500, 60, 100, c.length), Ev(600, kMidiControl, 1, 1)}))
        << "end location " << c.playRecEnd;
    MidiDeleteAllViewLists(1);
    MidiDeletePort(port);
    ports_.clear();
  }
}

TEST_F(EngineTest, DiscardEmptiesTheRecordListsAndWritesNothing) {
  const MidiLogHandle log = RecordInto(0);
  MidiPort* port = MakePort(0, 1, 1);
  MidiStartPlayRec();
  Record(port, {{10, Msg(0xB0, 7, 1)}, {20, Msg(0xB0, 7, 2)}});
  MidiConvertRecordlistsIntoLogs(1);
  MidiConvertRecordlistsIntoLogs(0);
  EXPECT_EQ(Count(log), 0);
}

TEST_F(EngineTest, RecordedMessagesGoToTheViewsOfTheirChannelsTrack) {
  const MidiLogHandle track3 = RecordInto(3);
  const MidiLogHandle track5 = MakeLog(0);
  MakeList(5, 1, {MidiView{0, 100, 0, track5}, MidiView{200, 100, 1000, track5}});
  MidiPort* port = MakePort(3, 16, 0);  // tracks 3.. on channels 1..
  MidiStartPlayRec();
  Record(port, {{10, Msg(0xB0, 1, 1)},    // channel 1: track 3
                {20, Msg(0xB2, 1, 2)},    // channel 3: track 5, first view
                {150, Msg(0xB2, 1, 3)},   // between the views: nowhere
                {250, Msg(0xB2, 1, 4)},   // second view, log position 1050
                {30, Msg(0xB1, 1, 5)}});  // channel 2: track 4 has no record list
  MidiConvertRecordlistsIntoLogs(0);
  EXPECT_EQ(Stored(track3), (std::vector<MidiLogEvent>{Ev(10, kMidiControl, 1, 1)}));
  EXPECT_EQ(Stored(track5), (std::vector<MidiLogEvent>{Ev(20, kMidiControl, 1, 2), Ev(1050, kMidiControl, 1, 4)}));
}

TEST_F(EngineTest, RecordPumpTakesNothingStoppedOrWhileTheHostConverts) {
  const MidiLogHandle log = RecordInto(0);
  MidiPort* port = MakePort(0, 1, 1);
  const Block one = {{10, Msg(0xB0, 7, 1)}};
  EXPECT_EQ(Record(port, one), 0u) << "stopped";
  MidiStartPlayRec();
  {
    // The host converting on its own thread (a critical section lets its
    // owner in again, so the holder must be another thread).
    std::atomic<int> step{0};
    std::thread host([&] {
      MidiOsLockEnter(port->recordLock);
      step.store(1);
      while (step.load() != 2) std::this_thread::yield();
      MidiOsLockLeave(port->recordLock);
    });
    while (step.load() != 1) std::this_thread::yield();
    EXPECT_EQ(Record(port, one), 0u) << "record lock held";
    step.store(2);
    host.join();
  }
  EXPECT_EQ(Record(port, one), 1u);
  EXPECT_EQ(MidiRecordEvents(nullptr, one.data(), 1), 0u);
  MidiConvertRecordlistsIntoLogs(0);
  EXPECT_EQ(Count(log), 1);
}

TEST_F(EngineTest, RecordNodesComeFromSpareBlocksTheAllocatorPrepares) {
  MidiPort* port = MakePort(0, 1, 1);
  MidiStartPlayRec();
  Block block;
  for (uint32_t i = 0; i < kPlayNodesPerBlock; ++i) block.push_back({i, Msg(0xB0, 7, i & 0x7F)});
  ASSERT_EQ(Record(port, block), kPlayNodesPerBlock);
  // Taking the first spare block asked for the next one.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (Engine().spare.load() == 0 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_NE(Engine().spare.load(), 0u);
  ASSERT_EQ(Record(port, block), kPlayNodesPerBlock);
  MidiPortInfo info{};
  ASSERT_EQ(MidiGetPortInfo(port, &info), 1);
  EXPECT_EQ(info.recorded, 2 * kPlayNodesPerBlock);
}

TEST_F(EngineTest, RecordedMessagesAreDroppedWhenNoNodeCanBeHad) {
  // One block of play nodes: the first spare block, and no more.
  MidiSetHeapBlockLimit(MidiHeapKind::kPlayNodes, 1);
  MidiPort* port = MakePort(0, 1, 1);
  MidiStartPlayRec();
  Block block;
  for (uint32_t i = 0; i < kPlayNodesPerBlock + 10; ++i) block.push_back({i, Msg(0xB0, 7, 1)});
  EXPECT_EQ(Record(port, block), kPlayNodesPerBlock + 10);
  MidiPortInfo info{};
  ASSERT_EQ(MidiGetPortInfo(port, &info), 1);
  EXPECT_EQ(info.recorded, kPlayNodesPerBlock);
}

TEST_F(EngineTest, PortCallsRefuseWhatIsNotAPort) {
  MidiPort* port = MakePort(0, 1, 1);
  MidiPort* stranger = reinterpret_cast<MidiPort*>(reinterpret_cast<uintptr_t>(port) + 8);
  EXPECT_EQ(MidiDeletePort(stranger), 0);
  EXPECT_EQ(MidiSetPortFilter(stranger, 0, 1, 1), 0);
  EXPECT_EQ(MidiSetPortFilter(port, 0, 1, 17), 0) << "no channel 17";
  uint64_t pos = 0;
  MipMidiEvent out[1];
  EXPECT_EQ(MidiReadBlock(nullptr, &pos, 10, out, 1), 0u);
  EXPECT_EQ(MidiReadBlock(port, nullptr, 10, out, 1), 0u);
}

// ---- Module loading ----

// Fake module files: each name selects a set of entry points.
struct FakeModules {
  std::vector<std::string> loaded;
  std::vector<std::string> unloaded;
  std::vector<uint32_t> connected;  // indices passed to connect
  int disconnects = 0;
  std::vector<std::pair<uint32_t, uint32_t>> enables;
};
FakeModules* gFake = nullptr;
std::vector<std::string> gNames;

int32_t QVMIV_CALLBACK Connect(uint32_t index, const MIPHOSTFUNCS* host, MIPMODINFO* info, uint32_t tracks,
                               uint32_t flag, uint32_t version) {
  gFake->connected.push_back(index);
  EXPECT_EQ(host->size, 24u);
  EXPECT_EQ(tracks, 128u);
  EXPECT_EQ(flag, 0u);
  *info = MIPMODINFO{12, 0, version};
  return 1;
}
int32_t QVMIV_CALLBACK Connect100(uint32_t i, const MIPHOSTFUNCS* h, MIPMODINFO* m, uint32_t t, uint32_t f) {
  return Connect(i, h, m, t, f, 100);
}
int32_t QVMIV_CALLBACK Connect101(uint32_t i, const MIPHOSTFUNCS* h, MIPMODINFO* m, uint32_t t, uint32_t f) {
  return Connect(i, h, m, t, f, 101);
}
int32_t QVMIV_CALLBACK Disconnect() {
  ++gFake->disconnects;
  return 1;
}
int32_t QVMIV_CALLBACK Enable(uint32_t element, uint32_t enable) {
  gFake->enables.push_back({element, enable});
  return 1;
}

uintptr_t FakeLoad(void*, const char* path) {
  if (std::string(path) == "broken.dll") return 0;
  gFake->loaded.push_back(path);
  gNames.push_back(path);
  return gNames.size();
}
void* FakeBind(void*, uintptr_t module, const char* name) {
  const std::string& file = gNames[module - 1];
  const std::string n = name;
  if (n == "_QVMIP_ConnectModule@20") {
    return file == "v101.dll" ? reinterpret_cast<void*>(Connect101) : reinterpret_cast<void*>(Connect100);
  }
  if (n == "_QVMIP_DisconnectModule@0") return reinterpret_cast<void*>(Disconnect);
  if (n == "_QVMIP_EnableMidiMsgInput@8") return file == "noenable.dll" ? nullptr : reinterpret_cast<void*>(Enable);
  return nullptr;
}
void FakeUnload(void*, uintptr_t module) { gFake->unloaded.push_back(gNames[module - 1]); }

class ModuleTest : public MidiEngineTest {
 protected:
  void SetUp() override {
    MidiEngineTest::SetUp();
    gFake = &fake_;
    gNames.clear();
  }
  void TearDown() override {
    MidiEngineTest::TearDown();
    gFake = nullptr;
  }
  uint32_t Load(std::vector<const char*> files) {
    return MidiLoadModules(MipLoader{nullptr, FakeLoad, FakeBind, FakeUnload}, files.data(),
                           static_cast<uint32_t>(files.size()));
  }
  FakeModules fake_;
};

TEST_F(ModuleTest, OnlyModulesOfVersion100WithEveryEntryPointStayAndAtMostFive) {
  EXPECT_EQ(Load({"a.dll", "v101.dll", "noenable.dll", "broken.dll", "b.dll", "c.dll", "d.dll", "e.dll", "f.dll"}),
            5u);
  EXPECT_EQ(fake_.loaded, (std::vector<std::string>{"a.dll", "v101.dll", "noenable.dll", "b.dll", "c.dll",
                                                     "d.dll", "e.dll"}))
      << "the sixth good file is not even opened";
  EXPECT_EQ(fake_.connected, (std::vector<uint32_t>{1, 2, 2, 3, 4, 5})) << "indices count modules kept";
  EXPECT_EQ(fake_.disconnects, 1) << "only the module of version 101, which was connected";
  EXPECT_EQ(fake_.unloaded, (std::vector<std::string>{"v101.dll", "noenable.dll"}));

  EXPECT_EQ(MidiQuit(), 1);
  EXPECT_EQ(fake_.unloaded.size(), 7u);
  EXPECT_EQ(fake_.disconnects, 1) << "quitting does not disconnect";
  EXPECT_EQ(MidiModuleCount(), 0u);
}

TEST_F(ModuleTest, RecordEnableTellsEachPortsModule) {
  Load({"a.dll"});
  MidiPort* withList = MidiCreatePort(1, 41);
  MidiPort* without = MidiCreatePort(1, 42);
  MidiPort* noModule = MidiCreatePort(3, 43);
  ports_ = {withList, without, noModule};
  MidiSetPortFilter(withList, 2, 4, 0);  // tracks 2..5
  MidiSetPortFilter(without, 6, 1, 1);
  MidiSetPortFilter(noModule, 5, 1, 1);
  MakeList(5, 1);
  MakeList(5, 0);
  MakeList(6, 0);  // a play list does not enable recording
  MidiSetRecordEnable();
  EXPECT_EQ(fake_.enables, (std::vector<std::pair<uint32_t, uint32_t>>{{41, 1}, {42, 0}}));
}

}  // namespace
