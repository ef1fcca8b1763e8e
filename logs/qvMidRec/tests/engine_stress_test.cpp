// The engine under load: two ports pumped for play and record on their own
// threads while the host's thread changes loops, filters and play lists,
// starts, stops and converts. Run under ThreadSanitizer it must report no
// race; a watchdog ends a run that hangs.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include "logs/qvMidRec/tests/engine_fixture.h"

namespace {

// Aborts the process unless disarmed within the time given.
class Watchdog {
 public:
  explicit Watchdog(std::chrono::seconds limit)
      : thread_([this, limit] {
          std::unique_lock<std::mutex> hold(lock_);
          if (!done_.wait_for(hold, limit, [this] { return disarmed_; })) {
            std::fprintf(stderr, "watchdog: the engine stress run hangs\n");
            std::abort();
          }
        }) {}
  ~Watchdog() {
    {
      std::lock_guard<std::mutex> hold(lock_);
      disarmed_ = true;
    }
    done_.notify_all();
    thread_.join();
  }

 private:
  std::mutex lock_;
  std::condition_variable done_;
  bool disarmed_ = false;
  std::thread thread_;
};

class EngineStressTest : public MidiEngineTest {};

TEST_F(EngineStressTest, PumpsRecordingAndLoopChangesAtOnce) {
  Watchdog watchdog(std::chrono::seconds(240));
  for (uint32_t t = 0; t < 4; ++t) {
    std::vector<MidiLogEvent> events;
    for (uint32_t i = 0; i < 400; ++i) {
      const uint32_t at = i * 250 + t * 7;
      events.push_back(i % 3 == 0 ? Ev(at, kMidiControl, 7, static_cast<int16_t>(i & 0x7F))
                                  : Note(at, static_cast<uint8_t>(40 + i % 40), 100, 300));
    }
    const MidiLogHandle log = MakeLog(0, events);
    MakeList(t, 0, {MidiView{0, 200000, 0, log}});
    MakeList(t, 1, {MidiView{0, 200000, 0, MakeLog(0)}});
  }
  MidiPort* ports[2] = {MakePort(0, 4, 0), MakePort(2, 1, 3)};
  MidiSetSeamlessLoopParams(1, 10000, 30000, 70000);
  MidiBuildPlaylists();
  MidiStartPlayRec();

  std::atomic<bool> stop{false};
  std::atomic<uint64_t> blocks{0};
  std::atomic<uint64_t> overfull{0};
  std::vector<std::thread> pumps;
  for (MidiPort* port : ports) {
    pumps.emplace_back([&, port] {
      std::vector<MipMidiEvent> out(512);
      uint64_t at = 0;
      while (!stop.load()) {
        uint64_t pos = at;
        if (MidiReadBlock(port, &pos, 256, out.data(), 512) > 512) overfull.fetch_add(1);
        at = (at + 256) % 150000;
        blocks.fetch_add(1);
      }
    });
    pumps.emplace_back([&, port] {
      uint64_t at = 0;
      uint32_t note = 0;
      while (!stop.load()) {
        const MipMidiEvent events[3] = {{at, 0x90u | (note % 4) | (40 + note % 40) << 8 | 100 << 16},
                                        {at + 50, 0x80u | (note % 4) | (40 + note % 40) << 8},
                                        {at + 60, 0xB0u | (note % 4) | 7 << 8 | (note & 0x7F) << 16}};
        MidiRecordEvents(port, events, 3);
        at = (at + 97) % 160000;
        ++note;
      }
    });
  }

  for (uint32_t i = 0; i < 300; ++i) {
    switch (i % 6) {
      case 0: MidiSetSeamlessLoopParams(i % 12 != 0, 5000 + i, 25000 + i, 25000 + i + 20000 * (i % 3)); break;
      case 1: MidiBuildPlaylists(); break;
      case 2: MidiPrepPlayBufs(i * 100); break;
      case 3: MidiSetPortFilter(ports[i % 2], i % 5, 1 + i % 4, i % 17); break;
      case 4:
        MidiStopPlayRec();
        MidiConvertRecordlistsIntoLogs(i % 4 == 0);
        break;
      case 5: MidiStartPlayRec(); break;
    }
  }
  stop.store(true);
  for (std::thread& t : pumps) t.join();
  EXPECT_EQ(overfull.load(), 0u);
  EXPECT_GT(blocks.load(), 0u);
}

}  // namespace
