#include "sim/machine/simmachine.h"

#include "kernel/km/kmsim.h"
#include "kernel/qvdev.h"

#include <memory>
#include <mutex>
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

void Shutdown() {
  Machine& m = TheMachine();
  std::lock_guard<std::recursive_mutex> lk(m.lock);
  if (m.driver) km::UnloadDriver(m.driver);
  m.driver = nullptr;
  m.links.clear();
  m.units.clear();
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

simunit::HostUnit* AddIoUnit(simunit::Generation generation, uint64_t port) {
  Machine& m = TheMachine();
  std::lock_guard<std::recursive_mutex> lk(m.lock);
  m.units.push_back(std::make_unique<simunit::HostUnit>(generation, true));
  if (!m.ninePin) {
    m.ninePin = std::make_unique<simunit::NinePinEngine>();
    m.units.back()->SetFirmware(m.ninePin.get());
  }
  m.links.push_back(std::make_unique<simunit::IoLink>(m.units.back().get(), port));
  simbus::DeviceNode node;
  node.hardwareIds = simbus::HardwareIdList({u"Qvtke"});
  node.resources.push_back({simbus::ResKind::Port, port, 8, 0, 0, false, false});
  km::PnpArrive(m.driver, node);
  return m.units.back().get();
}

void StartDefault() {
  Machine& m = TheMachine();
  std::lock_guard<std::recursive_mutex> lk(m.lock);
  if (m.driver) return;
  LoadLocked(m);
  if (m.driver) AddIoUnit(simunit::Generation::Second, 0x300);
}

}  // namespace simmachine
