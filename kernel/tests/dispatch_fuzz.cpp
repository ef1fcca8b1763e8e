// The driver's request handling on a fresh simulated machine per input: the
// input is a program of operations on up to four handles over the wave
// device, a Tavrion and a Corbelle board on their simulated host
// interfaces (booted), a Dunvell board, a recorder unit on I/O ports and
// the two-unit PCI card (with its board-memory handles): opens with any access mask and name, closes, I/O control over every
// code with well-formed and malformed buffers, requests left in flight and
// cancelled, unit faults, power requests and the removal of a node.
#include "kernel/km/kmsim.h"
#include "kernel/km/um.h"
#include "kernel/qvdev.h"
#include "sim/pcidsp/dunvell.h"
#include "sim/pcidsp/hostif.h"
#include "sim/units/hostunit.h"

#include <cstring>
#include <memory>
#include <vector>

namespace {
const char16_t ServicePath[] = u"\\Registry\\Machine\\System\\CurrentControlSet\\Services\\Qvdev";

const uint32_t Codes[] = {
    IOCTL_QV_GET_ID,        IOCTL_QV_GET_STATUS,   IOCTL_QV_ATTACH,      IOCTL_QV_DETACH,
    IOCTL_QV_BOOT,          IOCTL_QV_TIMEOUT,      IOCTL_QV_GET_NAME,    IOCTL_QV_PCI_CONFIG_GET,
    IOCTL_QV_PCI_CONFIG_SET, IOCTL_QV_LINK,        IOCTL_QV_LOAD,        IOCTL_QV_DSP_MEMORY,
    IOCTL_QV_GET_INFO,      IOCTL_QV_EXT_QUERY,    IOCTL_QV_DEVICE_MODE, IOCTL_QV_SET_PARAM,
    IOCTL_QV_GET_PARAM,     IOCTL_QV_EXP_SETTING,  IOCTL_QV_WAVE_POSITION, IOCTL_QV_WAVE_START,
    IOCTL_QV_WAVE_PAUSE,    IOCTL_QV_WAVE_STOP,    IOCTL_QV_WAVE_WAIT,   IOCTL_QV_WAVE_BUFFER,
    IOCTL_QV_WAVE_MESSAGE,  IOCTL_QV_GET_CHANNELS, IOCTL_QV_WAVE_MAP,    IOCTL_QV_WAVE_RATE,
    IOCTL_QV_WAVE_RATE_EX,  IOCTL_QV_WAVE_VOLUME,  IOCTL_QV_WAVE_CONTROL, IOCTL_QV_SET_ROUTES,
};
constexpr size_t CodeCount = sizeof Codes / sizeof Codes[0];
const char* const Names[] = {"\\\\.\\Qvwave", "\\\\.\\Qvtvr0", "\\\\.\\Qvdev0", "\\\\.\\Qvdev1",
                             "\\\\.\\Qvdev1\\Unit1", "\\\\.\\Qvdev1\\UNIT2", "\\\\.\\Qvdev0\\x",
                             "\\\\.\\Qvdnv0", "\\\\.\\Qvcbl0"};
constexpr uint32_t NameCount = sizeof Names / sizeof Names[0];
const ACCESS_MASK Masks[] = {0, GENERIC_READ, GENERIC_WRITE, GENERIC_READ | GENERIC_WRITE};
constexpr int Slots = 4;
constexpr size_t MaxInFlight = 8;

// Reads the input a byte at a time; zeros once it runs out.
struct Input {
  const uint8_t* data;
  size_t size, at = 0;
  bool More() const { return at < size; }
  uint8_t Byte() { return at < size ? data[at++] : 0; }
  uint32_t Word() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= uint32_t(Byte()) << (8 * i);
    return v;
  }
};

struct Machine {
  DRIVER_OBJECT* driver = nullptr;
  simunit::HostUnit ioUnit{simunit::Generation::First};
  simunit::HostUnit pci0{simunit::Generation::Second}, pci1{simunit::Generation::Second};
  std::unique_ptr<simunit::IoLink> ioLink;
  std::unique_ptr<simunit::PciCard> card;
  simpcidsp::HostInterface tavrionHost{BoardIdTvr}, corbelleHost{BoardIdCbl};
  simpcidsp::Dunvell dunvell{2};
  static constexpr uint32_t Nodes = 5;
  DEVICE_OBJECT* pdos[Nodes] = {};
  UmHandle handles[Slots] = {};
  struct Flight {
    UmRequest* request;
    std::vector<uint8_t> in, out;
  };
  std::vector<std::unique_ptr<Flight>> inFlight;

  Machine() {
    km::Reset();
    if (km::LoadDriver(DriverEntry, ServicePath, &driver) != STATUS_SUCCESS) __builtin_trap();
    ioLink = std::make_unique<simunit::IoLink>(&ioUnit, 0x300);
    simbus::DeviceNode unit;
    unit.hardwareIds = simbus::HardwareIdList({u"Qvtke"});
    unit.resources.push_back({simbus::ResKind::Port, 0x300, 8, 0, 0, false, false});
    simbus::DeviceNode tavrion = simbus::PciNode({0x1057, 0x1801, 0x89AB, 0x2345}, 1);
    simbus::DeviceNode corbelle = simbus::PciNode({0x1057, 0x1801, 0x89AB, 0x6935}, 4);
    simbus::Place(simbus::ResKind::Memory, tavrion.resources[0].start, tavrion.resources[0].length, &tavrionHost);
    simbus::Place(simbus::ResKind::Memory, corbelle.resources[0].start, corbelle.resources[0].length,
                  &corbelleHost);
    simbus::DeviceNode host = simbus::PciNode({0x1057, 0x1801, 0x8917, 0x0001}, 2);
    card = std::make_unique<simunit::PciCard>(&pci0, &pci1, simunit::Generation::Second, host.resources[0].start,
                                              host.resources[0].length);
    pdos[0] = km::PnpArrive(driver, tavrion).pdo;
    pdos[1] = km::PnpArrive(driver, unit).pdo;
    pdos[2] = km::PnpArrive(driver, host).pdo;
    simbus::DeviceNode dnv = simbus::PciNode({0x1556, 0x1101, 0, 0}, 3);
    simbus::Place(simbus::ResKind::Memory, dnv.resources[0].start, dnv.resources[0].length, &dunvell);
    pdos[3] = km::PnpArrive(driver, dnv).pdo;
    pdos[4] = km::PnpArrive(driver, corbelle).pdo;
    // The host-interface boards and the Dunvell run their firmware, so the board codes
    // reach their commands.
    for (auto [name, id] : {std::pair{"\\\\.\\Qvtvr0", BoardIdTvr}, std::pair{"\\\\.\\Qvcbl0", BoardIdCbl},
                            std::pair{"\\\\.\\Qvdnv0", BoardIdDnv}}) {
      UmHandle h = 0;
      if (UmOpen(name, GENERIC_READ | GENERIC_WRITE, 0, &h) != STATUS_SUCCESS) __builtin_trap();
      std::vector<uint8_t> image = simpcidsp::BootImageBytes(id, 0x70430);
      uint32_t returned = 0;
      UmIoControl(h, IOCTL_QV_ATTACH, nullptr, 0, nullptr, 0, &returned);
      UmIoControl(h, IOCTL_QV_BOOT, image.data(), uint32_t(image.size()), nullptr, 0, &returned);
      UmClose(h);
    }
    for (auto* u : {&ioUnit, &pci0, &pci1}) u->Answer(0x13, {0x800001, 0x123456});
  }

  ~Machine() {
    for (UmHandle h : handles)
      if (h) UmCancelIo(h);
    for (auto* u : {&ioUnit, &pci0, &pci1}) u->SetFaults({});
    for (auto& f : inFlight) Finish(f->request, f->out.size());
    for (UmHandle h : handles)
      if (h) UmClose(h);
    for (DEVICE_OBJECT* pdo : pdos)
      if (pdo) Remove(pdo);
    km::UnloadDriver(driver);
    card.reset();
    ioLink.reset();
    simbus::Unplace(&tavrionHost);
    simbus::Unplace(&corbelleHost);
    simbus::Unplace(&dunvell);
    km::Reset();
  }

  static void Finish(UmRequest* r, size_t outLen) {
    uint32_t returned = 0;
    UmWait(r, &returned);
    if (returned > outLen) __builtin_trap();
  }

  static void Remove(DEVICE_OBJECT* pdo) {
    km::PnpRequest(pdo, IRP_MN_REMOVE_DEVICE);
    km::PnpDeleteNode(pdo);
  }

  // A code from the protocol's table, a pass-through code, or anything.
  static uint32_t Code(Input& in) {
    uint8_t pick = in.Byte();
    if (pick < 160) return Codes[pick % CodeCount];
    if (pick < 240) return 0x83AE3000u | ((in.Byte() | uint32_t(in.Byte()) << 8) & 0xFFC);
    return in.Word();
  }

  // A buffer of a chosen length: short lengths, or one that matches the
  // code's record, filled from the input.
  static std::vector<uint8_t> Buffer(Input& in) {
    uint8_t n = in.Byte();
    size_t length = n < 200 ? n % 48 : (n - 200) * 32u;
    std::vector<uint8_t> b(length);
    for (auto& byte : b) byte = in.Byte();
    return b;
  }

  void Run(Input& in) {
    while (in.More()) {
      uint8_t op = in.Byte();
      int slot = op >> 4 & (Slots - 1);
      UmHandle& h = handles[slot];
      switch (op % 9) {
        case 0: {  // open
          uint8_t how = in.Byte();
          if (h) UmClose(h);
          h = 0;
          UmOpen(Names[how % NameCount], Masks[how >> 3 & 3], FILE_SHARE_READ | FILE_SHARE_WRITE, &h);
          break;
        }
        case 1:  // close
          if (h) UmClose(h);
          h = 0;
          break;
        case 2:
        case 3: {  // I/O control, waited for
          uint32_t code = Code(in);
          std::vector<uint8_t> input = Buffer(in), output(in.Byte() % 64, 0xCD);
          uint32_t returned = 0;
          UmIoControl(h, code, input.data(), static_cast<uint32_t>(input.size()), output.data(),
                      static_cast<uint32_t>(output.size()), &returned);
          if (returned > output.size()) __builtin_trap();
          break;
        }
        case 4: {  // I/O control left in flight
          if (!h || inFlight.size() == MaxInFlight) break;
          auto f = std::make_unique<Flight>();
          uint32_t code = Code(in);
          f->in = Buffer(in);
          f->out.assign(in.Byte() % 64, 0);
          f->request = UmIoControlBegin(h, code, f->in.data(), static_cast<uint32_t>(f->in.size()), f->out.data(),
                                        static_cast<uint32_t>(f->out.size()));
          if (f->request) inFlight.push_back(std::move(f));
          break;
        }
        case 5:  // cancel
          if (h) UmCancelIo(h);
          break;
        case 6: {  // a unit's or a board's faults
          uint8_t how = in.Byte();
          if (how & 128) {
            simpcidsp::HostInterface& b = how & 64 ? corbelleHost : tavrionHost;
            b.stall = how & 1;
            b.silence = how & 2;
            b.overlong = how & 4;
            b.errorHeader = how & 8 ? 0x810000 : 0;
            if (how & 16) b.RaiseBlock();
            if (how & 32) km::RaiseInterrupt(0x30 + 10 + (how & 64 ? 4 : 1) % 5);
            break;
          }
          simunit::HostUnit* u = how & 1 ? &ioUnit : &pci0;
          simunit::Faults f;
          f.silent = how & 2;
          f.wrongProbe = how & 4;
          f.initNeverClears = how & 8;
          u->SetFaults(f);
          if (how & 16) u->StallAfter(how >> 5);
          if (how & 32) u->Queue({in.Word(), in.Word()});
          break;
        }
        case 7: {  // power
          uint8_t how = in.Byte();
          DEVICE_OBJECT* pdo = pdos[how % Nodes];
          if (!pdo) break;
          POWER_STATE state{};
          bool device = how & 4;
          if (device)
            state.DeviceState = how & 8 ? PowerDeviceD3 : PowerDeviceD0;
          else
            state.SystemState = PowerSystemWorking;
          km::PowerRequest(pdo, how & 16 ? IRP_MN_QUERY_POWER : IRP_MN_SET_POWER,
                           device ? DevicePowerState : SystemPowerState, state);
          break;
        }
        case 8: {  // removal of a node
          uint8_t which = in.Byte() % Nodes;
          if (!pdos[which]) break;
          Remove(pdos[which]);
          pdos[which] = nullptr;
          break;
        }
      }
    }
  }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Input in{data, size};
  Machine m;
  m.Run(in);
  return 0;
}
