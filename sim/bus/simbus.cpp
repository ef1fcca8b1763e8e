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
}

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
