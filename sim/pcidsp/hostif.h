// The host interface of a simulated PCI DSP board of the Tavrion family:
// control, status, host command and data registers; the DSP's bootstrap,
// which takes a program image through the data register and starts it
// after a delay; the running firmware's FIFO mailbox with its commands,
// DSP memory, the program loader and the Corbelle's router and converter;
// an interrupt line raised per block until acknowledged. Fault switches
// stall the FIFO, silence the firmware, make it answer with an error
// header or an overlong reply.
#pragma once
#include "sim/bus/simbus.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

namespace simpcidsp {

// Register offsets and host commands.
constexpr uint32_t Hctr = 0x10, Hstr = 0x14, Hcvr = 0x18, Data = 0x1C;
constexpr uint32_t HcvrStart = 0x8000, HcvrAck = 0x806F, HcvrReset = 0x806D, HcvrFlush = 0x806B,
                   HcvrStop = 0x8069, HcvrMailbox = 0x8000;

// A firmware image the bootstrap takes: {word count of the whole image, 2,
// the image mark, program length, firmware identifier, board id, program
// words...}. Other programs are {word count after the first two, load
// address, words...}.
constexpr uint32_t ImageMark = 0x000AF080;
std::vector<uint32_t> BootImage(uint32_t boardId, uint32_t firmware, uint32_t programWords = 8);
std::vector<uint8_t> BootImageBytes(uint32_t boardId, uint32_t firmware, uint32_t programWords = 8);
// A DSP program the loader takes byte by byte: {u32 length, u32 unit
// word, u16 program value 0, u16 program value 1, code bytes...}.
std::vector<uint8_t> LoadImage(uint32_t unitWord, uint16_t value0, uint16_t value1, uint32_t codeBytes = 16);

class StreamEngine;

// What a board gives its stream engine: where its sample memory is while
// it streams, the lock its transfers to host memory hold, and its
// interrupt at the end of every block. The engine attaches itself when
// made and detaches when it goes.
class StreamBoard {
 public:
  virtual ~StreamBoard() = default;
  // The bus address of the sample memory while the board streams, else 0.
  virtual uint64_t StreamMemory() = 0;
  virtual std::mutex& BusLock() = 0;
  virtual void RaiseBlock() = 0;
  virtual void AttachEngine(StreamEngine* engine) = 0;
};

// One mailbox command as the firmware received it.
struct Command {
  uint32_t count, capacity, second, code;
  std::vector<uint32_t> words;  // the count - 2 words after the header
};

class HostInterface : public simbus::RegisterDevice, public StreamBoard {
 public:
  explicit HostInterface(uint32_t boardId);
  uint32_t Read(uint32_t offset, uint32_t width) override;
  void Write(uint32_t offset, uint32_t width, uint32_t value) override;

  // Firmware state; the stream program runs once command 0 started it
  // (status bit 4), and then takes commands in the shared mailbox too.
  bool Running();
  bool StreamProgram() const { return m_streamProgram; }
  uint64_t CommonBuffer() const { return m_common; }
  uint32_t sharedCommands = 0;
  uint32_t Firmware() const { return m_firmware; }
  uint32_t UnitWord() const { return m_unitWord; }
  // The words the firmware posts when it starts.
  std::vector<uint32_t> postWords = {0x00501234, 0x00505678};
  int64_t startDelay = 200000;  // 20 ms in 100-ns units

  // What the board saw.
  std::vector<Command> commands;
  std::vector<uint32_t> bootstrapPrograms;  // words of short programs the bootstrap took
  std::vector<uint32_t> hcvrWrites;
  uint32_t hctr = 0;
  uint32_t flushes = 0;
  uint32_t DspMemory(uint32_t address) const { return address < MemoryWords ? m_memory[address] : 0; }
  size_t Pending() const { return m_rx.size(); }

  // The second-generation Tavrion's clock: the last rate words (command 10)
  // and clock words (command 11).
  std::vector<uint32_t> rateWords, clockWords;
  // The Corbelle's router as its commands left it (per bank and destination
  // the source and whether it is on), its setting word, and the converter's
  // route table, batch ends and configuration words.
  static constexpr uint32_t RouterDestinations = 416;
  struct Route {
    uint8_t source = 0xFF;
    bool on = false;
  };
  Route router[2][RouterDestinations];
  uint32_t routerSetting = 0;
  uint8_t converterRoutes[256];
  uint32_t converterBatchEnds = 0;
  std::vector<uint32_t> converterConfig;
  // Replies: status words of command 2 (word 1: a bit per clock source that
  // lost its signal), the converter's reply to its poll,
  // and an answer of command 9 (default: the word sent back).
  uint32_t status[3] = {};
  std::vector<uint32_t> converterReply;
  std::function<uint32_t(uint32_t)> extAnswer;
  uint32_t programValue[2] = {0, 0};
  int refuseStarts = 0;      // command 0 answers with bit 23 of word 3 this often (below 0: always)

  // Fault switches.
  bool stall = false;         // the transmit FIFO never has room
  bool silence = false;       // commands are taken and never answered
  uint32_t errorHeader = 0;   // non-zero: the next reply is this header alone
  bool overlong = false;      // the next reply holds more words than asked
  int failBoots = 0;          // the next boots never start running

  // The stream engine's registers after the host interface's own (0x20 up).
  std::function<uint32_t(uint32_t)> streamRegisters;

  // The interrupt: a block raises the request (status bit 6) and fires the
  // board's line, when one is connected; the request stays until the host
  // acknowledges it.
  std::function<void()> interruptLine;
  uint64_t StreamMemory() override { return m_streamProgram ? m_common : 0; }
  void AttachEngine(StreamEngine* engine) override;
  void RaiseBlock() override {
    {
      std::lock_guard<std::recursive_mutex> one(m_registers);
      m_interrupt = true;
    }
    if (interruptLine) interruptLine();
  }
  // Fault: the shared line fires for another device; this board requests
  // nothing.
  void RaiseForeign() {
    if (interruptLine) interruptLine();
  }
  bool InterruptPending() const { return m_interrupt; }
  // The board's transfers to and from host memory: a block's transfer
  // holds it, and a stop or reset waits for the transfer under way, after
  // which the board touches host memory no more.
  std::mutex& BusLock() override { return m_bus; }

 private:
  static constexpr uint32_t MemoryWords = 4096;
  void Reset();
  void TakeWord(uint32_t word);
  void Execute(const Command& c);
  void Reply(const Command& c, std::vector<uint32_t> words);
  uint32_t Status();
  void SharedMailbox();

  uint32_t m_boardId;
  std::mutex m_bus;
  std::recursive_mutex m_registers;  // one register access at a time, as on the board's bus
  enum class State { Bootstrap, Starting, Running } m_state = State::Bootstrap;
  int64_t m_runAt = 0;
  uint32_t m_firmware = 0;
  uint32_t m_unitWord = 0;
  std::vector<uint32_t> m_in;        // words received toward the next program or command
  std::deque<uint32_t> m_rx;         // words for the host
  std::vector<uint8_t> m_load;       // the program loader's bytes
  bool m_loading = false;
  bool m_flushWanted = false;
  bool m_interrupt = false;
  bool m_streamProgram = false;
  bool m_mailboxRung = false;    // host command 107 seen
  bool m_shared = false;         // the command came through the shared mailbox
  uint64_t m_common = 0;         // the common buffer's bus address
  uint32_t m_memory[MemoryWords] = {};
};

}  // namespace simpcidsp
