// Shared set-up of the MIDI log tests: a fresh library per test, a fixed
// tempo for tick logs, and builders that keep the cases short.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <vector>

#include "logs/qvMidRec/midlog.h"
#include "logs/qvMidRec/midlog_private.h"

// Fixed tempo: 120 BPM at 48 kHz, so a quarter note is 24000 samples.
constexpr int64_t kSamplesPerQuarter = 24000;

MidiLogEvent Ev(uint32_t position, uint8_t kind, uint8_t data1, int16_t data2, uint32_t value = 0);
MidiLogEvent Note(uint32_t position, uint8_t note, int16_t velocity, uint32_t length);

bool operator==(const MidiLogEvent& a, const MidiLogEvent& b);
void PrintTo(const MidiLogEvent& e, std::ostream* os);
bool operator==(const MidiPlayEntry& a, const MidiPlayEntry& b);
void PrintTo(const MidiPlayEntry& e, std::ostream* os);

// Packed short message.
constexpr uint32_t Msg(uint32_t status, uint32_t data1, uint32_t data2 = 0) {
  return status | data1 << 8 | data2 << 16;
}

class MidiLogTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  MidiLogHandle MakeLog(uint32_t resolution = 0);
  MidiLogHandle MakeLog(uint32_t resolution, const std::vector<MidiLogEvent>& events);
  MidiViewListHandle MakeList(uint32_t track, uint32_t isRecord, const std::vector<MidiView>& views = {});
  static std::vector<MidiLogEvent> Stored(MidiLogHandle log);
  static int32_t Count(MidiLogHandle log);
  // The entries of a play or chase list; the list is freed.
  static std::vector<MidiPlayEntry> Take(MidiPlayList list);
};
