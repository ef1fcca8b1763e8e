// CQvWave streaming through \\.\Qvwave on two simulated boards of the
// machine: the second board's inputs are cabled to the first board's
// outputs, a stream plays on the first and records on the second, and what
// comes back is exactly what was played.
#include "Drv/Qvdrv/qvdrv.h"
#include "sim/machine/simmachine.h"
#include "sim/pcidsp/streams.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <cstring>
#include <vector>

namespace {

constexpr uint32_t Frames = 8192, Half = Frames / 2;

// Keeps every recorded half in order as the stream hands it over.
class Recorder : public CQvWave {
 public:
  BOOL WINAPI Block() override {
    uint32_t position = m_status[0];
    uint32_t half = (position / Half + 1) % 2;  // the half just filled
    if (position / Half != halves + 1) gaps = true;
    const uint32_t* in = runs + half * Half;
    recorded.insert(recorded.end(), in, in + Half);
    ++halves;
    return TRUE;
  }
  uint32_t* runs = nullptr;  // the input run, then the output run
  std::vector<uint32_t> recorded;
  std::atomic<uint32_t> halves{0};
  bool gaps = false;
};

uint32_t Pattern(uint32_t frame) { return 0x00100000u + frame * 0x300u; }

class Stream : public ::testing::Test {
 protected:
  void TearDown() override {
    wave.reset();  // stops and closes the stream on the machine
    if (runs) VirtualFree(runs, 0, MEM_RELEASE);
    simmachine::Shutdown();
  }
  std::unique_ptr<Recorder> wave = std::make_unique<Recorder>();
  uint32_t* runs = nullptr;
};

}  // namespace

TEST_F(Stream, LoopbackAcrossTwoBoardsIsSampleExact) {
  simmachine::Reset();
  simpcidsp::StreamEngine* player = simmachine::AddPciBoard(BoardIdMio);
  simpcidsp::StreamEngine* listener = simmachine::AddPciBoard(BoardIdMio);
  ASSERT_NE(player, nullptr);
  ASSERT_NE(listener, nullptr);
  listener->cable = player;
  listener->input = simpcidsp::StreamEngine::Input::Cable;

  // The buffer's address travels as 32 bits.
  for (uintptr_t a = 0x20000000; !runs && a < 0x80000000u; a += 0x01000000)
    runs = static_cast<uint32_t*>(VirtualAlloc(reinterpret_cast<void*>(a), Frames * 8, MEM_RESERVE | MEM_COMMIT,
                                               PAGE_READWRITE));
  ASSERT_NE(runs, nullptr);
  for (uint32_t f = 0; f < Frames; ++f) runs[Frames + f] = Pattern(f);

  Recorder& wave = *this->wave;
  wave.runs = runs;
  ASSERT_TRUE(wave.Open("Qvwave", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, 0, nullptr));
  // Input: channel 1 of the second board (17); output: channel 1 of the first.
  uint8_t bytes[14] = {4, 1, 1, 0};
  std::memcpy(bytes + 4, &Frames, 4);
  uint32_t address = uint32_t(reinterpret_cast<uintptr_t>(runs));
  std::memcpy(bytes + 8, &address, 4);
  bytes[12] = 17;
  bytes[13] = 1;
  qvChannelInfo info{};
  ASSERT_TRUE(wave.Map(reinterpret_cast<qvChannelMap*>(bytes), &info)) << GetLastError();
  EXPECT_EQ(info.sampleRate, 44100u);
  ASSERT_TRUE(wave.Start());
  for (int i = 0; i < 1000 && wave.halves < 12; ++i) Sleep(10);
  ASSERT_TRUE(wave.Stop()) << "the wait ended by the stop: " << GetLastError();
  EXPECT_EQ(GetLastError(), ERROR_OPERATION_ABORTED);
  ASSERT_GE(wave.halves, 12u);
  EXPECT_FALSE(wave.gaps) << "every half was handed over";

  // What was recorded is the played sequence, from its first sample on.
  const std::vector<uint32_t>& r = wave.recorded;
  size_t first = 0;
  while (first < r.size() && r[first] == 0) ++first;
  ASSERT_LT(first, size_t(Half * 2)) << "the played samples arrive within the first half";
  for (size_t n = first; n < r.size(); ++n) ASSERT_EQ(r[n], Pattern(uint32_t((n - first) % Frames))) << n;
}
