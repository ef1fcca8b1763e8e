#include "logs/qvMidRec/tests/engine_fixture.h"

#include <algorithm>

bool operator==(const MipMidiEvent& a, const MipMidiEvent& b) {
  return a.position == b.position && a.message == b.message;
}

void PrintTo(const MipMidiEvent& e, std::ostream* os) {
  *os << "{" << e.position << ", 0x" << std::hex << e.message << std::dec << "}";
}

void MidiEngineTest::SetUp() {
  MidiLogTest::SetUp();
  MidiSetTimeCodeOffset(0);
  MidiSetPlayRecEndLoc(0xFFFFFFFFu);
  MidiSetSeamlessLoopParams(0, 0, 0, 0);
}

void MidiEngineTest::TearDown() {
  MidiStopPlayRec();
  for (MidiPort* p : ports_) EXPECT_EQ(MidiDeletePort(p), 1);
  ports_.clear();
  MidiSetSeamlessLoopParams(0, 0, 0, 0);
  MidiQuit();
  MidiLogTest::TearDown();
}

MidiPort* MidiEngineTest::MakePort(uint32_t firstTrack, uint32_t trackCount, uint32_t channel) {
  MidiPort* port = MidiCreatePort(1, 100 + static_cast<uint32_t>(ports_.size()));
  EXPECT_NE(port, nullptr);
  if (port == nullptr) return nullptr;
  ports_.push_back(port);
  EXPECT_EQ(MidiSetPortFilter(port, firstTrack, trackCount, channel), 1);
  return port;
}

Block MidiEngineTest::Read(MidiPort* port, uint64_t position, uint32_t length, uint32_t capacity, uint64_t* pos) {
  Block out(capacity);
  uint64_t at = position;
  const uint32_t n = MidiReadBlock(port, &at, length, out.data(), capacity);
  out.resize(std::min(n, capacity));
  if (pos != nullptr) *pos = at;
  return out;
}

void MidiEngineTest::Drain(MidiPort* port) { Read(port, 0, 0); }

uint32_t MidiEngineTest::Record(MidiPort* port, const Block& events) {
  return MidiRecordEvents(port, events.data(), static_cast<uint32_t>(events.size()));
}
