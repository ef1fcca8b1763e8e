#include "logs/qvMidRec/tests/midlog_fixture.h"

#include <cstring>

namespace {

int32_t QVMIV_CALLBACK FakeSpanToTicks(uint32_t startLo, uint32_t startHi, uint32_t resolution, uint32_t endLo,
                                       uint32_t endHi) {
  const int64_t start = static_cast<int64_t>(uint64_t{startHi} << 32 | startLo);
  const int64_t end = static_cast<int64_t>(uint64_t{endHi} << 32 | endLo);
  const int64_t span = end - start;
  // Rounded down, also below zero.
  const int64_t scaled = span * resolution;
  return static_cast<int32_t>(scaled >= 0 ? scaled / kSamplesPerQuarter
                                          : -((-scaled + kSamplesPerQuarter - 1) / kSamplesPerQuarter));
}

uint32_t QVMIV_CALLBACK FakeTicksToLoc(uint32_t startLo, uint32_t startHi, uint32_t resolution, uint32_t ticks) {
  const int64_t start = static_cast<int64_t>(uint64_t{startHi} << 32 | startLo);
  return static_cast<uint32_t>(start + int64_t{ticks} * kSamplesPerQuarter / resolution);
}

}  // namespace

MidiLogEvent Ev(uint32_t position, uint8_t kind, uint8_t data1, int16_t data2, uint32_t value) {
  MidiLogEvent e{};
  e.position = position;
  e.kind = kind;
  e.data1 = data1;
  e.data2 = data2;
  e.value = value;
  return e;
}

MidiLogEvent Note(uint32_t position, uint8_t note, int16_t velocity, uint32_t length) {
  return Ev(position, kMidiNote, note, velocity, length);
}

bool operator==(const MidiLogEvent& a, const MidiLogEvent& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

void PrintTo(const MidiLogEvent& e, std::ostream* os) {
  *os << "{pos " << e.position << " kind " << int{e.kind} << " d1 " << int{e.data1} << " d2 " << e.data2
      << " value " << e.value << "}";
}

bool operator==(const MidiPlayEntry& a, const MidiPlayEntry& b) {
  return a.position == b.position && a.message == b.message;
}

void PrintTo(const MidiPlayEntry& e, std::ostream* os) {
  *os << "{" << e.position << ", 0x" << std::hex << e.message << std::dec << "}";
}

void MidiLogTest::SetUp() {
  MidiLibRelease();
  const MidiInitRecord init{FakeSpanToTicks, FakeTicksToLoc};
  ASSERT_EQ(MidiSetInitRecord(&init), 1);
}

void MidiLogTest::TearDown() {
  MidiLibRelease();
  for (MidiHeapKind k : {MidiHeapKind::kEvents, MidiHeapKind::kViews, MidiHeapKind::kPlayNodes}) {
    MidiSetHeapBlockLimit(k, UINT32_MAX);
  }
}

MidiLogHandle MidiLogTest::MakeLog(uint32_t resolution) {
  MidiLogHandle log = 0;
  EXPECT_EQ(MidiCreateLog(&log, resolution), 1);
  return log;
}

MidiLogHandle MidiLogTest::MakeLog(uint32_t resolution, const std::vector<MidiLogEvent>& events) {
  const MidiLogHandle log = MakeLog(resolution);
  for (const MidiLogEvent& e : events) EXPECT_EQ(MidiAddLogEvent(log, &e), 1);
  return log;
}

MidiViewListHandle MidiLogTest::MakeList(uint32_t track, uint32_t isRecord, const std::vector<MidiView>& views) {
  MidiViewListHandle list = 0;
  EXPECT_EQ(MidiCreateViewList(track, isRecord, &list), 1);
  for (const MidiView& v : views) EXPECT_EQ(MidiAddView(list, &v), 1);
  return list;
}

std::vector<MidiLogEvent> MidiLogTest::Stored(MidiLogHandle log) {
  int32_t n = Count(log);
  std::vector<MidiLogEvent> out(static_cast<size_t>(n));
  EXPECT_EQ(MidiGetAllLogEvents(log, &n, out.data()), 1);
  out.resize(static_cast<size_t>(n));
  return out;
}

int32_t MidiLogTest::Count(MidiLogHandle log) {
  int32_t n = -1;
  EXPECT_EQ(MidiGetLogEventCnt(log, &n), 1);
  return n;
}

std::vector<MidiPlayEntry> MidiLogTest::Take(MidiPlayList list) {
  std::vector<MidiPlayEntry> out;
  for (uint32_t n = list; n != 0; n = MidiPlayNodeNext(n)) {
    MidiPlayEntry e{};
    EXPECT_EQ(MidiGetPlayNode(n, &e), 1);
    out.push_back(e);
  }
  FreePlayList(list);
  return out;
}
