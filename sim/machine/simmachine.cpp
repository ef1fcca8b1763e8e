#include "sim/machine/simmachine.h"

#include "kernel/km/kmsim.h"
#include "kernel/km/um.h"
#include "kernel/protocol.h"
#include "kernel/qvdev.h"
#include "sim/pcidsp/hostif.h"
#include "sim/pcidsp/streams.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace simmachine {
namespace {

const std::u16string ServiceKey = u"\\Registry\\Machine\\System\\CurrentControlSet\\Services\\Qvdev";

struct Machine {
  std::recursive_mutex lock;
  DRIVER_OBJECT* driver = nullptr;
  std::vector<std::unique_ptr<simunit::HostUnit>> units;
  std::vector<std::unique_ptr<simunit::IoLink>> links;
  std::unique_ptr<simunit::NinePinEngine> ninePin;
  std::vector<std::unique_ptr<simunit::UnitTransport>> transports;  // one per unit
  struct PciBoard {
    std::unique_ptr<simpcidsp::HostInterface> hi;
    std::unique_ptr<simpcidsp::StreamEngine> engine;
    uint32_t boardId = 0;
  };
  std::vector<PciBoard> boards;
  std::mutex clockLock;  // the engines' blocks against adding and removing boards
  std::thread clock;
  std::atomic<bool> clockStop{false};
};

Machine& TheMachine() {
  static Machine* m = new Machine;  // never destroyed: threads may use it until the process ends
  return *m;
}

void LoadLocked(Machine& m) {
  km::Reset();
  km::LoadDriver(DriverEntry, ServiceKey, &m.driver);
}

}  // namespace

namespace {
// Every millisecond the engines run the blocks their clocks made, in the
// order they made them, so that boards on one clock stay in step.
void ClockThread(Machine* m) {
  auto last = std::chrono::steady_clock::now();
  while (!m->clockStop) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    auto now = std::chrono::steady_clock::now();
    int64_t elapsed = std::chrono::duration_cast<std::chrono::nanoseconds>(now - last).count() / 100;
    last = now;
    // A machine that fell behind loses the time beyond 5 ms a tick, on
    // every board alike, rather than run a burst of blocks no client could
    // follow.
    constexpr int64_t MostPerTick = 50000;
    std::lock_guard<std::mutex> lk(m->clockLock);
    std::vector<simpcidsp::StreamEngine*> engines;
    for (auto& b : m->boards) engines.push_back(b.engine.get());
    simpcidsp::StreamEngine::RunInStep(engines, std::min(elapsed, MostPerTick));
  }
}

const char* DeviceStem(uint32_t boardId) {
  switch (boardId) {
    case BoardIdTvr:
    case BoardIdTv2: return "Qvtvr";
    case BoardIdCbl: return "Qvcbl";
    default: return "Qvmio";
  }
}

void StopClock(Machine& m) {
  if (m.clock.joinable()) {
    m.clockStop = true;
    m.clock.join();
    m.clockStop = false;
  }
}
}  // namespace

void Shutdown() {
  Machine& m = TheMachine();
  std::lock_guard<std::recursive_mutex> lk(m.lock);
  StopClock(m);
  if (m.driver) km::UnloadDriver(m.driver);
  m.driver = nullptr;
  for (auto& b : m.boards) simbus::Unplace(b.hi.get());
  m.boards.clear();
  km::StopServiceThreads();
  m.links.clear();
  m.units.clear();
  m.transports.clear();
  m.ninePin.reset();
}

void Reset() {
  Machine& m = TheMachine();
  std::lock_guard<std::recursive_mutex> lk(m.lock);
  Shutdown();
  LoadLocked(m);
}

bool Running() {
  Machine& m = TheMachine();
  std::lock_guard<std::recursive_mutex> lk(m.lock);
  return m.driver != nullptr;
}

DRIVER_OBJECT* Driver() { return TheMachine().driver; }

simunit::NinePinEngine* NinePin() {
  Machine& m = TheMachine();
  std::lock_guard<std::recursive_mutex> lk(m.lock);
  return m.ninePin.get();
}

simunit::UnitTransport* UnitTransportOf(int index) {
  Machine& m = TheMachine();
  std::lock_guard<std::recursive_mutex> lk(m.lock);
  return index >= 0 && index < static_cast<int>(m.transports.size()) ? m.transports[index].get() : nullptr;
}

simunit::HostUnit* AddIoUnit(simunit::Generation generation, uint64_t port) {
  Machine& m = TheMachine();
  std::lock_guard<std::recursive_mutex> lk(m.lock);
  m.units.push_back(std::make_unique<simunit::HostUnit>(generation, true));
  // Every unit's firmware runs its transport; the first one's also the
  // 9-pin engine behind it.
  simunit::Firmware* next = nullptr;
  if (!m.ninePin) {
    m.ninePin = std::make_unique<simunit::NinePinEngine>();
    next = m.ninePin.get();
  }
  m.transports.push_back(std::make_unique<simunit::UnitTransport>(next));
  m.units.back()->SetFirmware(m.transports.back().get());
  m.links.push_back(std::make_unique<simunit::IoLink>(m.units.back().get(), port));
  simbus::DeviceNode node;
  node.hardwareIds = simbus::HardwareIdList({u"Qvtke"});
  node.resources.push_back({simbus::ResKind::Port, port, 8, 0, 0, false, false});
  km::PnpArrive(m.driver, node);
  return m.units.back().get();
}

simpcidsp::StreamEngine* AddPciBoard(uint32_t boardId) {
  Machine& m = TheMachine();
  std::lock_guard<std::recursive_mutex> lk(m.lock);
  if (!m.driver) return nullptr;
  uint32_t n = uint32_t(m.boards.size());
  Machine::PciBoard b;
  b.hi = std::make_unique<simpcidsp::HostInterface>(boardId);
  b.boardId = boardId;
  simbus::DeviceNode node = simbus::PciNode({0x1057, 0x1801, 0x89AB, uint16_t(boardId & 0xFFFF)}, 8 + n);
  simbus::Place(simbus::ResKind::Memory, node.resources[0].start, node.resources[0].length, b.hi.get());
  b.engine = std::make_unique<simpcidsp::StreamEngine>(b.hi.get(), 16);
  b.engine->KeepPlayed(false);
  uint32_t vector = node.resources[1].vector + 0x30;  // as the bus translates it
  b.hi->interruptLine = [vector] { km::RaiseInterrupt(vector); };
  std::string base = "QvSim board " + std::to_string(n);
  b.engine->ReadInputs(base + " record.wav");
  b.engine->PlayTo(base + " play.wav");
  simpcidsp::StreamEngine* engine = b.engine.get();
  {
    std::lock_guard<std::mutex> clk(m.clockLock);
    m.boards.push_back(std::move(b));
  }
  km::PnpArrive(m.driver, node);
  // Booted through the driver as the device library would; the devices of
  // a family are numbered in the order they arrived.
  uint32_t same = 0;
  for (uint32_t i = 0; i < n; ++i) same += m.boards[i].boardId == boardId;
  std::string path = std::string("\\\\.\\") + DeviceStem(boardId) + std::to_string(same);
  UmHandle h = 0;
  if (NT_SUCCESS(UmOpen(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &h))) {
    uint32_t got = 0;
    UmIoControl(h, IOCTL_QV_ATTACH, nullptr, 0, nullptr, 0, &got);
    std::vector<uint8_t> image = simpcidsp::BootImageBytes(boardId, 0x70430);
    UmIoControl(h, IOCTL_QV_BOOT, image.data(), uint32_t(image.size()), nullptr, 0, &got);
    UmClose(h);
  }
  if (!m.clock.joinable()) m.clock = std::thread(ClockThread, &m);
  return engine;
}

void StartDefault() {
  Machine& m = TheMachine();
  std::lock_guard<std::recursive_mutex> lk(m.lock);
  if (m.driver) return;
  LoadLocked(m);
  if (m.driver) AddIoUnit(simunit::Generation::Second, 0x300);
}

}  // namespace simmachine
