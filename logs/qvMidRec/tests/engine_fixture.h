// Shared set-up of the play/record engine tests: the log fixture plus an
// engine with no ports, no modules, no loop and the transport stopped.
#pragma once

#include <cstdint>
#include <ostream>
#include <vector>

#include "logs/qvMidRec/engine.h"
#include "logs/qvMidRec/tests/midlog_fixture.h"

bool operator==(const MipMidiEvent& a, const MipMidiEvent& b);
void PrintTo(const MipMidiEvent& e, std::ostream* os);

using Block = std::vector<MipMidiEvent>;

class MidiEngineTest : public MidiLogTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A port of module 1 with the filter set; deleted at the end of the test.
  MidiPort* MakePort(uint32_t firstTrack, uint32_t trackCount, uint32_t channel);
  // One block through the play pump; *pos gets the block's position as the
  // pump left it (on the loop, without the offsets).
  static Block Read(MidiPort* port, uint64_t position, uint32_t length, uint32_t capacity = 512,
                    uint64_t* pos = nullptr);
  // Takes pending requests (all notes off, chase) out of the port.
  static void Drain(MidiPort* port);
  static uint32_t Record(MidiPort* port, const Block& events);

  std::vector<MidiPort*> ports_;
};

constexpr uint32_t AllNotesOff(uint32_t channelIndex) { return 0x7BB0 | channelIndex; }
