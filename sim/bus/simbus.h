// The simulated machine's bus: what the kernel finds when it looks at the
// hardware. PCI configuration spaces by bus and slot, Plug and Play device
// nodes with their hardware ids and resources, legacy port ranges owned by
// other drivers, and the kernel's own version and exported routines. Each
// has switches for faults a real machine shows.
#pragma once
#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace simbus {

constexpr uint32_t PciBuses = 8;
constexpr uint32_t PciSlots = 32;
constexpr uint32_t PciConfigBytes = 256;

// Function 0 of one PCI slot.
struct PciFunction {
  uint8_t config[PciConfigBytes] = {};
  uint32_t readableBytes = PciConfigBytes;  // fault: a read stops short here
};

enum class ResKind : uint8_t { Port, Memory, Interrupt };
struct Resource {
  ResKind kind;
  uint64_t start;    // port or memory bus address
  uint32_t length;   // bytes
  uint32_t level;    // interrupt
  uint32_t vector;   // interrupt
  bool shared;
  bool latched;
};

// A Plug and Play device node as the bus driver reports it.
struct DeviceNode {
  std::u16string hardwareIds;  // zero-separated list, ended by an empty entry
  std::u16string description;
  std::vector<Resource> resources;
  uint32_t bus = 0;
  uint32_t address = 0;  // PCI: device number << 16 | function
};

// The board families as the PCI bus shows them.
struct PciIdentity {
  uint16_t vendor, device, subsystemVendor, subsystem;
};

// A device that answers accesses to a range of ports or of physical
// memory: offset from the range's start, width in bytes (1, 2 or 4).
class RegisterDevice {
 public:
  virtual ~RegisterDevice() = default;
  virtual uint32_t Read(uint32_t offset, uint32_t width) = 0;
  virtual void Write(uint32_t offset, uint32_t width, uint32_t value) = 0;
};
struct RegisterRange {
  ResKind kind;  // Port or Memory
  uint64_t start;
  uint32_t length;
  RegisterDevice* device;  // owned by whoever placed it
};

struct Machine {
  uint32_t kernelMajor = 5;
  uint32_t kernelMinor = 1;
  std::string kernelFileName = "ntoskrnl.exe";  // module name of the kernel
  std::set<std::string> missingRoutines;        // fault: exports left out
  PciFunction* pci[PciBuses][PciSlots] = {};
  std::vector<Resource> foreignClaims;          // fault: ranges another driver owns
  std::vector<RegisterRange> registers;         // devices behind ports and memory
  struct SystemRange {
    uint64_t physical;
    uint8_t* host;
    uint32_t length;
  };
  std::vector<SystemRange> systemMemory;        // host memory the boards reach by bus address
  int64_t (*clock)() = nullptr;                 // the machine's time in 100-ns units
};

// Places a device behind a range (until Reset or Unplace).
void Place(ResKind kind, uint64_t start, uint32_t length, RegisterDevice* device);
void Unplace(RegisterDevice* device);
// An access to a port or physical address: the device behind it answers; a
// read where none is answers all ones, as an empty bus does. Memory
// accesses return false where no device is placed.
uint32_t PortRead(uint64_t port, uint32_t width);
void PortWrite(uint64_t port, uint32_t width, uint32_t value);
bool MemoryRead(uint64_t address, uint32_t width, uint32_t* value);
bool MemoryWrite(uint64_t address, uint32_t width, uint32_t value);
int64_t Now();
// Host memory a board reaches by its bus address (a common DMA buffer):
// placed by the kernel when it allocates it, null outside every range.
void PlaceSystemMemory(uint64_t physical, uint8_t* host, uint32_t length);
void UnplaceSystemMemory(uint64_t physical);
uint8_t* SystemMemory(uint64_t physical, uint32_t length);

Machine& Bus();
// Back to an empty machine (kernel version 5.1, no boards).
void Reset();

// Puts a board of the given identity in a slot: vendor, device, subsystem,
// BAR0 (and BAR1 for the port cards), interrupt line.
PciFunction& AddPciBoard(uint32_t bus, uint32_t slot, const PciIdentity& id, uint32_t bar0, uint32_t bar1,
                         uint8_t irq);
PciFunction* Pci(uint32_t bus, uint32_t slot);

// A node's hardware-id list from its entries.
std::u16string HardwareIdList(const std::vector<std::u16string>& ids);
// A PCI node of the given identity ("PCI\VEN_xxxx&DEV_xxxx&SUBSYS_xxxxxxxx&REV_01" first),
// with a memory window and an interrupt.
DeviceNode PciNode(const PciIdentity& id, uint32_t slot);

}  // namespace simbus
