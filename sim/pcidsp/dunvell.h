// A simulated Dunvell board: its controller behind a 16-bit control and a
// 16-bit data register with the short-command engine (identification,
// clock information, flash pages and chunks, router runs, the ports of up
// to four DSPs), the long-command engine that reaches the DSPs, the DSPs'
// bootstraps and running programs, the buffer-address, position, stream
// and interrupt registers. Fault switches silence the controller or a DSP,
// make a DSP answer its commands with an error, refuse flash chunks, and
// garble reply headers.
#pragma once
#include "sim/bus/simbus.h"
#include "sim/pcidsp/hostif.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

namespace simpcidsp {

class Dunvell : public simbus::RegisterDevice, public StreamBoard {
 public:
  // dsps 0..4: the DSP-count byte the identification reports (0xD0 + dsps).
  explicit Dunvell(uint32_t dsps = 2, bool wideInputs = false);
  uint32_t Read(uint32_t offset, uint32_t width) override;
  void Write(uint32_t offset, uint32_t width, uint32_t value) override;

  static constexpr uint32_t Control = 40, Data = 44, FirmwareId = 32, StreamBlocks = 36, InterruptStatus = 52;

  // The controller's answers.
  uint16_t info[4];                                  // identification reply (word 2: the DSP-count byte)
  uint16_t clockInfo[5] = {0x1234, 0x5678, 0x9ABC, 0xDEF0, 0x0F0F};

  // What the controller saw: every short command (header and payload), the
  // control writes, the mode byte and clock divider last set.
  struct Short {
    uint16_t header;
    std::vector<uint16_t> payload;
  };
  std::vector<Short> commands;
  std::vector<uint16_t> controlWrites;
  uint8_t modeByte = 0;
  uint32_t divider = 0;
  uint32_t resets = 0;        // control 0x4000 + mode written
  uint32_t aborts = 0;        // control 0xF000 written
  uint32_t regs[16] = {};     // the 32-bit registers by offset / 4 (buffer addresses, positions)

  // The flash: what the chunks wrote, the pages named and the chunk lengths.
  std::vector<uint8_t> flash;
  uint32_t flashPages = 0;
  std::vector<uint32_t> chunkLengths;

  // The router as its runs left it: per bank and destination the source and
  // whether it is on, and the words as sent.
  static constexpr uint32_t Destinations = 896;
  struct Route {
    uint16_t source = 1023;
    bool on = false;
    uint16_t word = 0;
  };
  Route router[2][Destinations];
  uint32_t routeRuns = 0;

  // One DSP behind the controller.
  struct LongCommand {
    uint32_t code, capacity;
    std::vector<uint32_t> payload;
  };
  struct Dsp {
    bool running = false;                 // its program runs (status 14), else the bootstrap waits (6)
    uint32_t firmware = 0;
    std::vector<uint32_t> image;          // words the bootstrap took
    bool loading = false;
    std::vector<LongCommand> longCommands;
    std::vector<std::vector<uint32_t>> streamCommands;  // header and payload of each data-port command
    std::deque<uint32_t> out;             // words for the host at the data port
    std::vector<uint32_t> in;             // data-port words toward the next command
    uint32_t resets = 0;
    uint32_t memory[1024] = {};
    // Faults.
    bool silent = false;                  // long commands never complete; data-port commands never answer
    uint8_t errorCode = 0;                // non-zero: long commands answer with this error
    bool deaf = false;                    // the bootstrap never answers its status read
  };
  Dsp dsp[4];
  uint32_t postWords = 1;                 // words a DSP posts when its program starts

  // Faults of the controller.
  bool silent = false;                    // commands are never done
  int refuseChunk = -1;                   // this flash chunk (0-based) is answered with a wrong header
  bool garble = false;                    // every reply header is wrong

  // The stream: running while the host wrote 1 to +52. With a stream
  // engine attached, the engine records into and plays from the ring at
  // the buffer address of +0 and its counters are the positions: +16 the
  // input in 4-sample units, +20 the output and +24 the latch in 16-sample
  // units (the host multiplies them by 4), all 24 bits. Without one the
  // positions are the registers as written and a block moves them by one
  // block. A block raises the interrupt (read +52 to see and clear it);
  // writing 0 to +52 waits for a transfer under way.
  bool Running() const { return m_running; }
  void Block();
  std::function<void()> interruptLine;

  uint64_t StreamMemory() override;
  std::mutex& BusLock() override { return m_bus; }
  void RaiseBlock() override;
  void AttachEngine(StreamEngine* engine) override;

 private:
  void Execute();
  void ShortCommand(uint16_t h, const std::vector<uint16_t>& p);
  void LongToDsp(uint32_t d, const std::vector<uint16_t>& p);
  void DataPortWord(uint32_t d, uint32_t word);
  uint32_t RunCommand(uint32_t d, uint32_t code, const std::vector<uint32_t>& payload, std::vector<uint32_t>* reply);
  void ResetDsp(uint32_t d);

  std::recursive_mutex m_registers;   // one register access at a time
  std::mutex m_bus;
  StreamEngine* m_engine = nullptr;
  std::vector<uint16_t> m_in;
  std::deque<uint16_t> m_out;
  uint16_t m_control = 0;
  bool m_done = false;
  bool m_running = false;
  bool m_interrupted = false;
  uint32_t m_chunks = 0;
  std::vector<uint16_t> m_readRegs;
};

}  // namespace simpcidsp
