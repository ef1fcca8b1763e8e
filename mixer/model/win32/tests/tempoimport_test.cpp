// Tempo maps read from MIDI files written here, through the MidiFile
// library beside the test program.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "mixer/model/settings.h"
#include "mixer/model/tempoimport.h"
#include "mixer/model/tests/tempo_fixture.h"
#include "modal_closer.h"
#include "outside/MidiFile/tests/smf_writer.h"

namespace {

class MidiFileImport : public ::testing::Test {
 protected:
  void SetUp() override {
    Settings() = ProjectSettings{};
    char tmp[MAX_PATH];
    GetTempPathA(sizeof tmp, tmp);
    path_ = std::string(tmp) + "hrl_tempoimport_test.mid";
  }
  void TearDown() override { DeleteFileA(path_.c_str()); }

  TempoMapPtr ImportBytes(const Bytes& file) {
    std::FILE* f = std::fopen(path_.c_str(), "wb");
    EXPECT_NE(f, nullptr);
    if (f == nullptr) return nullptr;
    std::fwrite(file.data(), 1, file.size(), f);
    std::fclose(f);
    return TempoMapPtr(ImportTempoMap(path_.c_str()));
  }

  std::string path_;
};

TEST_F(MidiFileImport, FormatZeroWithRunningStatus) {
  TempoMapPtr m = ImportBytes(Concat({HeaderChunk(0, 1, 480),
                                      Track({Ev(0, {0x90, 60, 100}), Ev(240, {64, 100}), Ev(240, {60, 0}),
                                             Ev(0, {0xF0, 0x02, 0x01, 0xF7}), TempoEv(0, 250000),
                                             MeterEv(0, 7, 3), TempoEv(1920, 1000000), EndEv()})}));
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(TempoGetPpq(m.get()), 480u);
  ASSERT_EQ(m->Tempos.size(), 3u);
  EXPECT_EQ(m->Tempos[0].UsPerQuarter, 500000u);  // the project's 120 BPM before tick 480
  EXPECT_EQ(m->Tempos[1].Tick, 480);
  EXPECT_EQ(m->Tempos[1].UsPerQuarter, 250000u);
  EXPECT_EQ(m->Tempos[2].Tick, 2400);
  ASSERT_EQ(m->Meters.size(), 2u);
  EXPECT_EQ(m->Meters[1].Tick, 480);
  EXPECT_EQ(m->Meters[1].Num, 7u);
  EXPECT_EQ(m->Meters[1].Den, 8u);  // the file's exponent 3 as a note value
  // Half a second to tick 480, then a quarter of a second per quarter.
  EXPECT_EQ(TempoTicksToSamples(m.get(), 48000, 960), 36000);
}

TEST_F(MidiFileImport, FormatOneTracksMerge) {
  TempoMapPtr m = ImportBytes(Concat({HeaderChunk(1, 3, 96),
                                      Track({MeterEv(0, 3, 2), TempoEv(384, 400000), EndEv()}),
                                      Track({TempoEv(192, 300000), Ev(10, {0xB0, 7, 100}), EndEv()}),
                                      Track({TempoEv(0, 0), MeterEv(0, 0, 2), MeterEv(5, 4, 200), EndEv()})}));
  ASSERT_NE(m, nullptr);
  ASSERT_EQ(m->Tempos.size(), 3u);  // 0 from the project, 192, 384; the zero tempo refused
  EXPECT_EQ(m->Tempos[1].Tick, 192);
  EXPECT_EQ(m->Tempos[2].Tick, 384);
  ASSERT_EQ(m->Meters.size(), 1u);  // the zero numerator and the 2^200 note value left out
  EXPECT_EQ(m->Meters[0].Num, 3u);
  EXPECT_EQ(m->Meters[0].Den, 4u);
}

TEST_F(MidiFileImport, DamagedAndForeignFiles) {
  const Bytes head = HeaderChunk(0, 1, 96);
  const struct {
    const char* what;
    Bytes file;
    bool map;
    const char* warning;  // the start of the box's text; nullptr: no box
  } cases[] = {
      {"not MIDI", Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 0, 0}, false,
       "Warning: The file cannot be read"},
      {"zero division", Concat({HeaderChunk(0, 1, 0), Track({TempoEv(0, 400000)})}), false, nullptr},
      {"damaged track", Concat({head, Track({TempoEv(0, 400000), Ev(0, {0x45, 1})})}), true,
       "Warning: A track holds damaged event data"},
      {"cut short", Concat({head, Chunk("MTrk", TempoEv(96, 400000), 100)}), true,
       "Warning: The file ends inside a track"},
  };
  for (const auto& c : cases) {
    TempoMapPtr m;
    {
      ModalCloser closer(IDOK);
      m = ImportBytes(c.file);
      EXPECT_EQ(closer.seen().found, c.warning != nullptr) << c.what;
      if (c.warning != nullptr) {
        EXPECT_EQ(closer.seen().text.rfind(c.warning, 0), 0u) << c.what << ": " << closer.seen().text;
      }
    }
    EXPECT_EQ(m != nullptr, c.map) << c.what;
    if (m != nullptr) {
      EXPECT_EQ(m->Tempos.back().UsPerQuarter, 400000u) << c.what;
    }
  }
  // A missing file reads as unreadable.
  ModalCloser closer(IDOK);
  EXPECT_EQ(ImportTempoMap("Z:\\no\\such\\file.mid"), nullptr);
  EXPECT_TRUE(closer.seen().found);
}

}  // namespace
