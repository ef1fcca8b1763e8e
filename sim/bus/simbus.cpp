#include "sim/bus/simbus.h"

#include <cstdio>
#include <cstring>

namespace simbus {

namespace {
Machine g_machine;

void Put16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
  Put16(p, static_cast<uint16_t>(v));
  Put16(p + 2, static_cast<uint16_t>(v >> 16));
}
}  // namespace

Machine& Bus() { return g_machine; }

void Reset() {
  for (auto& bus : g_machine.pci)
    for (auto*& f : bus) {
      delete f;
      f = nullptr;
    }
  g_machine.kernelMajor = 5;
  g_machine.kernelMinor = 1;
  g_machine.kernelFileName = "ntoskrnl.exe";
  g_machine.missingRoutines.clear();
  g_machine.foreignClaims.clear();
  g_machine.registers.clear();
  g_machine.systemMemory.clear();
}

void Place(ResKind kind, uint64_t start, uint32_t length, RegisterDevice* device) {
  g_machine.registers.push_back({kind, start, length, device});
}

void Unplace(RegisterDevice* device) {
  std::erase_if(g_machine.registers, [device](const RegisterRange& r) { return r.device == device; });
}

namespace {
const RegisterRange* Find(ResKind kind, uint64_t address, uint32_t width) {
  for (const auto& r : g_machine.registers)
    if (r.kind == kind && address >= r.start && address + width <= r.start + r.length) return &r;
  return nullptr;
}
uint32_t AllOnes(uint32_t width) { return width >= 4 ? 0xFFFFFFFFu : (1u << (8 * width)) - 1; }
}  // namespace

uint32_t PortRead(uint64_t port, uint32_t width) {
  const RegisterRange* r = Find(ResKind::Port, port, width);
  return r ? r->device->Read(static_cast<uint32_t>(port - r->start), width) & AllOnes(width) : AllOnes(width);
}

void PortWrite(uint64_t port, uint32_t width, uint32_t value) {
  if (const RegisterRange* r = Find(ResKind::Port, port, width))
    r->device->Write(static_cast<uint32_t>(port - r->start), width, value & AllOnes(width));
}

bool MemoryRead(uint64_t address, uint32_t width, uint32_t* value) {
  const RegisterRange* r = Find(ResKind::Memory, address, width);
  if (!r) return false;
  *value = r->device->Read(static_cast<uint32_t>(address - r->start), width) & AllOnes(width);
  return true;
}

bool MemoryWrite(uint64_t address, uint32_t width, uint32_t value) {
  const RegisterRange* r = Find(ResKind::Memory, address, width);
  if (!r) return false;
  r->device->Write(static_cast<uint32_t>(address - r->start), width, value & AllOnes(width));
  return true;
}

void PlaceSystemMemory(uint64_t physical, uint8_t* host, uint32_t length) {
  g_machine.systemMemory.push_back({physical, host, length});
}

void UnplaceSystemMemory(uint64_t physical) {
  auto& v = g_machine.systemMemory;
  for (auto it = v.begin(); it != v.end(); ++it)
    if (it->physical == physical) {
      v.erase(it);
      return;
    }
}

uint8_t* SystemMemory(uint64_t physical, uint32_t length) {
  for (const auto& r : g_machine.systemMemory)
    if (physical >= r.physical && physical - r.physical <= r.length && length <= r.length - (physical - r.physical))
      return r.host + (physical - r.physical);
  return nullptr;
}

int64_t Now() { return g_machine.clock ? g_machine.clock() : 0; }

PciFunction& AddPciBoard(uint32_t bus, uint32_t slot, const PciIdentity& id, uint32_t bar0, uint32_t bar1,
                         uint8_t irq) {
  PciFunction*& f = g_machine.pci[bus % PciBuses][slot % PciSlots];
  delete f;
  f = new PciFunction();
  Put16(f->config + 0x00, id.vendor);
  Put16(f->config + 0x02, id.device);
  Put32(f->config + 0x10, bar0);
  Put32(f->config + 0x14, bar1);
  Put16(f->config + 0x2C, id.subsystemVendor);
  Put16(f->config + 0x2E, id.subsystem);
  f->config[0x3C] = irq;
  f->config[0x3D] = 1;  // interrupt pin A
  return *f;
}

PciFunction* Pci(uint32_t bus, uint32_t slot) {
  if (bus >= PciBuses || slot >= PciSlots) return nullptr;
  return g_machine.pci[bus][slot];
}

std::u16string HardwareIdList(const std::vector<std::u16string>& ids) {
  std::u16string list;
  for (const auto& id : ids) {
    list += id;
    list += u'\0';
  }
  list += u'\0';
  return list;
}

DeviceNode PciNode(const PciIdentity& id, uint32_t slot) {
  char text[96];
  std::snprintf(text, sizeof text, "PCI\\VEN_%04X&DEV_%04X&SUBSYS_%04X%04X&REV_01", id.vendor, id.device,
                id.subsystem, id.subsystemVendor);
  std::u16string first(text, text + std::strlen(text));
  std::snprintf(text, sizeof text, "PCI\\VEN_%04X&DEV_%04X", id.vendor, id.device);
  std::u16string second(text, text + std::strlen(text));
  DeviceNode node;
  node.hardwareIds = HardwareIdList({first, second});
  node.description = u"Multimedia controller";
  node.address = slot << 16;
  node.resources.push_back({ResKind::Memory, 0xE0000000u + (slot << 20), 0x10000, 0, 0, false, false});
  node.resources.push_back({ResKind::Interrupt, 0, 0, 10 + slot % 5, 10 + slot % 5, true, false});
  return node;
}

}  // namespace simbus
