// The one door to the hardware: byte, word and long accesses to a block of
// registers, which is either a range of I/O ports or a mapped memory range.
#pragma once
#include "kernel/km/km.h"

#include <cstdint>

struct HwRegs {
  uintptr_t base;  // port number or mapped address; 0 when none
  bool io;         // ports
};

uint8_t HwRead8(const HwRegs& r, uint32_t offset);
uint16_t HwRead16(const HwRegs& r, uint32_t offset);
uint32_t HwRead32(const HwRegs& r, uint32_t offset);
void HwWrite8(const HwRegs& r, uint32_t offset, uint8_t value);
void HwWrite16(const HwRegs& r, uint32_t offset, uint16_t value);
void HwWrite32(const HwRegs& r, uint32_t offset, uint32_t value);
// count 16-bit reads of one register into buffer, without pause.
void HwReadString16(const HwRegs& r, uint32_t offset, uint16_t* buffer, uint32_t count);
