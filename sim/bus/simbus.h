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

struct Machine {
  uint32_t kernelMajor = 5;
  uint32_t kernelMinor = 1;
  std::string kernelFileName = "ntoskrnl.exe";  // module name of the kernel
  std::set<std::string> missingRoutines;        // fault: exports left out
  PciFunction* pci[PciBuses][PciSlots] = {};
  std::vector<Resource> foreignClaims;          // fault: ranges another driver owns
};

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
