// The import sequence against a scripted library that replays events
// through the caller's callback table as the real one does.
#include "mixer/model/tempoimport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "mixer/model/settings.h"
#include "mixer/model/tests/tempo_fixture.h"
#include "tests/fakes/host_fake.h"

namespace {

enum Kind { kHeader, kTempo, kMeter };
struct Step {
  Kind kind;
  int32_t tick;
  uint32_t value;  // division, microseconds per quarter, or num
  uint8_t den;
};

std::vector<Step> g_script;
int32_t g_result = kMidiOk;
std::string g_path;
uint16_t g_mode = 0;

int32_t MIDIFILE_CALL ScriptedRead(MidiReadParams* params) {
  g_path = params->Path;
  g_mode = params->Mode;
  for (const Step& s : g_script) {
    MidiEventRec e;
    std::memset(&e, 0, sizeof e);
    e.Tick = s.tick;
    MidiCallback cb = nullptr;
    if (s.kind == kHeader) {
      e.Division = static_cast<uint16_t>(s.value);
      cb = params->Callbacks->Header;
    } else if (s.kind == kTempo) {
      e.UsPerQuarter = s.value;
      cb = params->Callbacks->Tempo;
    } else {
      e.Meter.Num = static_cast<uint8_t>(s.value);
      e.Meter.Den = s.den;
      cb = params->Callbacks->TimeSignature;
    }
    if (cb != nullptr && cb(&e) == kMidiStopped) return kMidiStopped;
  }
  return g_result;
}

void MIDIFILE_CALL ScriptedErr(MidiReadParams*, char* text, int32_t code) {
  std::snprintf(text, kMidiErrTextSize, "code %d %%s", code);  // a '%' must reach the box as text
}

const MidiFileApi kApi{ScriptedRead, ScriptedErr};

class TempoImport : public ::testing::Test {
 protected:
  void SetUp() override {
    Settings() = ProjectSettings{};
    Host().Reset();
    g_result = kMidiOk;
  }
  static TempoMapPtr Import(std::vector<Step> script) {
    g_script = std::move(script);
    return TempoMapPtr(ImportTempoMapWith(kApi, "song.mid"));
  }
};

TEST_F(TempoImport, BuildsTheMapFromTheEvents) {
  TempoMapPtr m = Import({{kHeader, 0, 480, 0},
                          {kTempo, 960, 400000, 0},
                          {kTempo, 480, 600000, 0},
                          {kTempo, 480, 300000, 0},  // the later tempo at a tick stays
                          {kMeter, 0, 6, 8},
                          {kMeter, 1920, 3, 4}});
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(g_path, "song.mid");
  EXPECT_EQ(g_mode, 4096);
  EXPECT_EQ(TempoGetPpq(m.get()), 480u);
  ASSERT_EQ(m->Tempos.size(), 3u);
  EXPECT_EQ(m->Tempos[0].UsPerQuarter, 500000u);  // project tempo at tick 0
  EXPECT_EQ(m->Tempos[1].UsPerQuarter, 300000u);
  EXPECT_EQ(m->Tempos[2].Tick, 960);
  ASSERT_EQ(m->Meters.size(), 2u);
  EXPECT_EQ(m->Meters[0].Num, 6u);
  EXPECT_TRUE(Host().boxes.empty());
}

TEST_F(TempoImport, RefusesEventsThatWouldBreakTheConversions) {
  TempoMapPtr m = Import({{kHeader, 0, 960, 0},
                          {kTempo, 0, 0, 0},       // zero tempo
                          {kTempo, -50, 250000, 0},  // before the start: at tick 0
                          {kMeter, 0, 0, 4},       // zero numerator
                          {kMeter, 960, 3, 0},     // no denominator
                          {kMeter, 960, 3, 6}});   // not a note value
  ASSERT_NE(m, nullptr);
  ASSERT_EQ(m->Tempos.size(), 1u);
  EXPECT_EQ(m->Tempos[0].UsPerQuarter, 250000u);
  ASSERT_EQ(m->Meters.size(), 1u);
  EXPECT_EQ(m->Meters[0].Num, 4u);  // the project's 4/4
  EXPECT_EQ(TempoTicksToSamples(m.get(), 48000, 960), 12000);
}

TEST_F(TempoImport, FailuresAndWarnings) {
  const struct {
    const char* what;
    std::vector<Step> script;
    int32_t result;
    bool map;
    const char* box;  // nullptr: no message
  } cases[] = {
      {"clean", {{kHeader, 0, 96, 0}}, kMidiOk, true, nullptr},
      {"header with 0 ticks", {{kHeader, 0, 0, 0}, {kTempo, 0, 500000, 0}}, kMidiOk, false, nullptr},
      {"no header at all", {{kTempo, 0, 500000, 0}}, kMidiOk, false, nullptr},
      {"stopped", {{kHeader, 0, 96, 0}}, kMidiStopped, false, nullptr},
      {"unreadable", {}, kMidiNotReadable, false, "Warning: code 1 %s"},
      {"damaged after a header", {{kHeader, 0, 96, 0}}, kMidiBadEvent, true, "Warning: code 3 %s"},
      {"damaged before a header", {}, kMidiTrackCut, false, "Warning: code 2 %s"},
  };
  for (const auto& c : cases) {
    Host().Reset();
    g_result = c.result;
    TempoMapPtr m = Import(c.script);
    EXPECT_EQ(m != nullptr, c.map) << c.what;
    if (c.box == nullptr) {
      EXPECT_TRUE(Host().boxes.empty()) << c.what;
      continue;
    }
    ASSERT_EQ(Host().boxes.size(), 1u) << c.what;
    EXPECT_EQ(Host().boxes[0].text, c.box) << c.what;
    EXPECT_EQ(Host().boxes[0].flags, kMbWarnOk) << c.what;
  }
  EXPECT_EQ(ImportTempoMapWith({nullptr, nullptr}, "x.mid"), nullptr);
}

}  // namespace
