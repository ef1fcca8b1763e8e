// The simulated boards' stream engine: sample counters in units of 4
// samples, recording into and playing from the rings in the common buffer
// (one interrupt per block of 64 frames), the running word, the rate, the
// latch registers and an incoming time code. What the inputs hear comes
// from a ramp (each sample says where it is), a loopback of what the board
// plays, another board's outputs or a WAV file; what the board plays is
// kept per channel and can be written to a WAV file. A drift in parts per
// million makes a board's clock run apart from the machine's.
#pragma once
#include "sim/pcidsp/hostif.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace simpcidsp {

class StreamEngine {
 public:
  enum class Input { Silence, Ramp, Loopback, Cable, Wav };

  StreamEngine(StreamBoard* board, uint32_t channels);
  ~StreamEngine();
  // The register window after the host interface's.
  uint32_t Register(uint32_t offset) const;

  // Runs the board for a time (100-ns units): a block whenever its own
  // clock has made 64 frames. Returns the blocks run.
  uint32_t Run(int64_t time);
  // The same clock without running the blocks: how many are due.
  uint32_t Advance(int64_t time);
  // Runs on each engine the blocks that `time` made on its own clock, all
  // engines' blocks in the order their clocks made them (among blocks made
  // at the same instant, in the engines' order), so that a board cabled to
  // another hears the block the other played at that time, however the
  // time is cut into calls.
  static void RunInStep(const std::vector<StreamEngine*>& engines, int64_t time);
  // Runs one block now: inputs into the record slot, the play slot heard,
  // counters moved, the interrupt raised.
  void Block();

  // The ramp's sample of channel c at frame n: unique per channel and
  // frame, left-justified in 24 bits.
  static uint32_t RampSample(uint64_t frame, uint32_t channel) {
    return uint32_t(((frame * 16 + channel) & 0xFFFFFF) << 8);
  }

  Input input = Input::Silence;
  StreamEngine* cable = nullptr;     // Cable: this board hears that board's outputs of the same block
  uint32_t rate = 48000;
  int32_t driftPpm = 0;
  uint32_t running = 1;
  // An incoming time code: set and the latch moves to the input position.
  void TimeCode(uint32_t word0, uint32_t word1, uint32_t source, uint32_t frameCount = 0);

  uint64_t Blocks() const { return m_blocks; }
  // What the board played, per channel, one word a frame.
  const std::vector<uint32_t>& Played(uint32_t channel) const { return m_played[channel]; }
  void KeepPlayed(bool keep) { m_keep = keep; }
  // WAV files (16-bit PCM at the board's rate): the played channels kept so
  // far written at once; inputs read from a file (channel c from the file's
  // channel c mod its count, silence after its end).
  void WritePlayed(const std::string& path) const;
  bool ReadInputs(const std::string& path);
  // Streams what the board plays into a WAV file as it plays (the header
  // kept current every few blocks and when the engine goes).
  bool PlayTo(const std::string& path);

 private:
  uint8_t* Memory() const;
  uint32_t* Slot(uint8_t* memory, uint32_t block, uint32_t ring, uint64_t k) const;

  StreamBoard* m_board;
  uint32_t m_channels;
  uint32_t m_input = 0, m_output = 0, m_latch = 0;
  uint32_t m_tc[2] = {}, m_tcLatch = 0, m_tcSource = 0, m_frameCount = 0;
  uint64_t m_blocks = 0;
  int64_t m_clock = 0;              // frames x 10^7 not yet run as blocks
  bool m_keep = true;
  std::vector<std::vector<uint32_t>> m_played;
  std::vector<uint32_t> m_lastPlayed;   // the last block played, 64 frames x 16 words per block
  std::vector<std::vector<int16_t>> m_wavInputs;
  void* m_playFile = nullptr;
  uint32_t m_playFrames = 0;
  void FinishPlayFile();
};

}  // namespace simpcidsp
