// Register accesses through the kernel's port and register routines.
#include "kernel/hwaccess.h"

namespace {
template <class T>
T* At(const HwRegs& r, uint32_t offset) {
  return reinterpret_cast<T*>(r.base + offset);
}
}  // namespace

uint8_t HwRead8(const HwRegs& r, uint32_t offset) {
  return r.io ? READ_PORT_UCHAR(At<uint8_t>(r, offset)) : READ_REGISTER_UCHAR(At<volatile uint8_t>(r, offset));
}
uint16_t HwRead16(const HwRegs& r, uint32_t offset) {
  return r.io ? READ_PORT_USHORT(At<uint16_t>(r, offset)) : READ_REGISTER_USHORT(At<volatile uint16_t>(r, offset));
}
uint32_t HwRead32(const HwRegs& r, uint32_t offset) {
  // 32-bit accesses exist on the memory ports only.
  return r.io ? 0xFFFFFFFFu : READ_REGISTER_ULONG(At<volatile uint32_t>(r, offset));
}
void HwWrite8(const HwRegs& r, uint32_t offset, uint8_t value) {
  if (r.io)
    WRITE_PORT_UCHAR(At<uint8_t>(r, offset), value);
  else
    WRITE_REGISTER_UCHAR(At<volatile uint8_t>(r, offset), value);
}
void HwWrite16(const HwRegs& r, uint32_t offset, uint16_t value) {
  if (r.io)
    WRITE_PORT_USHORT(At<uint16_t>(r, offset), value);
  else
    WRITE_REGISTER_USHORT(At<volatile uint16_t>(r, offset), value);
}
void HwWrite32(const HwRegs& r, uint32_t offset, uint32_t value) {
  if (!r.io) WRITE_REGISTER_ULONG(At<volatile uint32_t>(r, offset), value);
}
void HwReadString16(const HwRegs& r, uint32_t offset, uint16_t* buffer, uint32_t count) {
  if (r.io) return READ_PORT_BUFFER_USHORT(At<uint16_t>(r, offset), buffer, count);
  for (uint32_t i = 0; i < count; ++i) buffer[i] = HwRead16(r, offset);
}
