#include "outside/MidiFile/smf_parse.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "outside/MidiFile/tests/smf_writer.h"

namespace {

// Records what the reader hands on, as text: "H f/t/d", "T tick us", "M tick num/pow".
class Recorder : public SmfHandler {
 public:
  std::vector<std::string> seen;
  size_t stopAfter = SIZE_MAX;

  int Header(const SmfHeader& h) override {
    return Note("H " + std::to_string(h.Format) + "/" + std::to_string(h.Tracks) + "/" + std::to_string(h.Division));
  }
  int Tempo(int32_t tick, uint32_t us) override { return Note("T " + std::to_string(tick) + " " + std::to_string(us)); }
  int TimeSignature(int32_t tick, uint8_t num, uint8_t pow) override {
    return Note("M " + std::to_string(tick) + " " + std::to_string(num) + "/" + std::to_string(pow));
  }

 private:
  int Note(std::string s) {
    seen.push_back(std::move(s));
    return seen.size() >= stopAfter ? 1 : 0;
  }
};

using Seen = std::vector<std::string>;

SmfResult Parse(const Bytes& file, Recorder* r) { return SmfParse(file.data(), file.size(), *r); }

TEST(SmfParse, FormatZeroWithRunningStatusSysExAndMeta) {
  const Bytes file = Concat({HeaderChunk(0, 1, 480),
                             Track({MeterEv(0, 6, 3), TempoEv(0, 500000),
                                    Ev(10, {0x90, 60, 100}), Ev(10, {62, 100}),  // running status
                                    Ev(10, {0xC0, 5}), Ev(10, {7}),              // one data byte each
                                    Ev(0, {0xF0, 0x03, 0x7E, 0x7F, 0xF7}),       // sysex skipped
                                    Ev(0, {0xFF, 0x01, 0x02, 'h', 'i'}),         // text skipped
                                    TempoEv(200, 400000), Ev(5, {0xF7, 0x00}),
                                    MeterEv(1000, 3, 2), EndEv(),
                                    TempoEv(0, 1)})});                           // after the end
  Recorder r;
  EXPECT_EQ(Parse(file, &r), kSmfOk);
  EXPECT_EQ(r.seen, (Seen{"H 0/1/480", "M 0 6/3", "T 0 500000", "T 240 400000", "M 1245 3/2"}));
}

TEST(SmfParse, FormatOneCountsEachTrackFromZeroAndSkipsForeignChunks) {
  const Bytes file = Concat({HeaderChunk(1, 2, 96),
                             Track({TempoEv(0, 600000), TempoEv(384, 300000), EndEv()}),
                             Chunk("XTRA", {1, 2, 3}),
                             Track({Ev(100, {0x80, 60, 0}), MeterEv(284, 5, 2)})});  // no end marker
  Recorder r;
  EXPECT_EQ(Parse(file, &r), kSmfOk);
  EXPECT_EQ(r.seen, (Seen{"H 1/2/96", "T 0 600000", "T 384 300000", "M 384 5/2"}));
}

TEST(SmfParse, RefusesOrStopsAtDamage) {
  const Bytes goodTrack = Track({TempoEv(10, 500000), EndEv()});
  Bytes cutTrack = Chunk("MTrk", Concat({TempoEv(5, 400000), Ev(0, {0x90, 60})}), 40);
  Bytes longHeader = Chunk("MThd", Concat({Be(0, 2), Be(1, 2), Be(96, 2), Be(0, 2)}));
  const struct {
    const char* what;
    Bytes file;
    SmfResult result;
    Seen seen;
  } cases[] = {
      {"empty", {}, kSmfNotMidi, {}},
      {"not a header", Concat({Chunk("RIFF", Be(0, 6)), goodTrack}), kSmfNotMidi, {}},
      {"short header", Chunk("MThd", Be(1, 4)), kSmfNotMidi, {}},
      {"format 2", Concat({HeaderChunk(2, 1, 96), goodTrack}), kSmfNotMidi, {}},
      {"time-code division", Concat({HeaderChunk(0, 1, 0xE728), goodTrack}), kSmfNotMidi, {}},
      {"header with extra bytes", Concat({longHeader, goodTrack}), kSmfOk, {"H 0/1/96", "T 10 500000"}},
      {"zero division handed on", Concat({HeaderChunk(0, 1, 0), goodTrack}), kSmfOk, {"H 0/1/0", "T 10 500000"}},
      {"track cut short", Concat({HeaderChunk(0, 1, 96), cutTrack}), kSmfTrackCut, {"H 0/1/96", "T 5 400000"}},
      {"partial chunk header", Concat({HeaderChunk(1, 2, 96), goodTrack, Bytes{'M', 'T'}}), kSmfTrackCut,
       {"H 1/2/96", "T 10 500000"}},
      {"data without status", Concat({HeaderChunk(1, 2, 96), Track({Ev(0, {60, 1}), TempoEv(0, 1)}), goodTrack}),
       kSmfBadEvent, {"H 1/2/96", "T 10 500000"}},
      {"undefined status", Concat({HeaderChunk(0, 1, 96), Track({TempoEv(1, 2), Ev(0, {0xF1, 0}), TempoEv(1, 3)})}),
       kSmfBadEvent, {"H 0/1/96", "T 1 2"}},
      {"delta of five bytes", Concat({HeaderChunk(0, 1, 96), Track({Bytes{0x81, 0x81, 0x81, 0x81, 0x01, 0xFF, 0x2F, 0x00}})}),
       kSmfBadEvent, {"H 0/1/96"}},
      {"meta longer than its track", Concat({HeaderChunk(0, 1, 96), Track({Ev(0, {0xFF, 0x51, 0x7F, 1, 2, 3})})}),
       kSmfBadEvent, {"H 0/1/96"}},
      {"channel message cut", Concat({HeaderChunk(0, 1, 96), Track({Ev(0, {0x90, 60})}), goodTrack}),
       kSmfBadEvent, {"H 0/1/96", "T 10 500000"}},
      {"short tempo and meter left out",
       Concat({HeaderChunk(0, 1, 96), Track({Ev(0, {0xFF, 0x51, 0x02, 1, 2}), Ev(0, {0xFF, 0x58, 0x01, 3})})}),
       kSmfOk, {"H 0/1/96"}},
  };
  for (const auto& c : cases) {
    Recorder r;
    EXPECT_EQ(Parse(c.file, &r), c.result) << c.what;
    EXPECT_EQ(r.seen, c.seen) << c.what;
  }
}

TEST(SmfParse, HandlerStopsTheReadAndTicksSaturate) {
  const Bytes file = Concat({HeaderChunk(0, 1, 96),
                             Track({TempoEv(0x0FFFFFFF, 1), TempoEv(0x0FFFFFFF, 2), TempoEv(0x0FFFFFFF, 3),
                                    TempoEv(0x0FFFFFFF, 4), TempoEv(0x0FFFFFFF, 5), TempoEv(0x0FFFFFFF, 6),
                                    TempoEv(0x0FFFFFFF, 7), TempoEv(0x0FFFFFFF, 8), TempoEv(0x0FFFFFFF, 9)})});
  Recorder r;
  EXPECT_EQ(Parse(file, &r), kSmfOk);
  ASSERT_EQ(r.seen.size(), 10u);
  EXPECT_EQ(r.seen[7], "T 1879048185 7");
  EXPECT_EQ(r.seen[8], "T 2147483640 8");
  // Past 0x7FFFFFFF: held there, not wrapped below 0.
  EXPECT_EQ(r.seen[9], "T 2147483647 9");

  Recorder stop;
  stop.stopAfter = 3;
  EXPECT_EQ(Parse(file, &stop), kSmfStopped);
  EXPECT_EQ(stop.seen.size(), 3u);
  stop.seen.clear();
  stop.stopAfter = 1;  // at the header
  EXPECT_EQ(Parse(file, &stop), kSmfStopped);
  EXPECT_EQ(stop.seen.size(), 1u);
  EXPECT_EQ(SmfParse(nullptr, 10, r), kSmfNotMidi);
}

}  // namespace
