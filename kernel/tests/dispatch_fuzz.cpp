// Random I/O-control requests through the dispatch of the driver's
// devices on the simulated machine: any code, any buffer sizes, any input.
#include "kernel/km/kmsim.h"
#include "kernel/km/um.h"
#include "kernel/qvdev.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {
UmHandle g_handles[4];
DRIVER_OBJECT* g_driver;

// Everything goes again at exit, so that the leak check sees only leaks.
void Shutdown() {
  for (UmHandle h : g_handles) UmClose(h);
  km::UnloadDriver(g_driver);
  km::Reset();
}

void Boot() {
  km::Reset();
  DRIVER_OBJECT*& driver = g_driver;
  if (km::LoadDriver(DriverEntry, u"\\Registry\\Machine\\System\\CurrentControlSet\\Services\\Qvdev", &driver) !=
      STATUS_SUCCESS)
    __builtin_trap();
  std::atexit(Shutdown);
  km::PnpArrive(driver, simbus::PciNode({0x1057, 0x1801, 0x89AB, 0x2345}, 1));
  km::PnpArrive(driver, simbus::PciNode({0x1057, 0x1801, 0x89AB, 0x6935}, 2));
  const char* names[4] = {"\\\\.\\Qvwave", "\\\\.\\Qvtvr0", "\\\\.\\Qvcbl0", "\\\\.\\Qvtvr0"};
  const ACCESS_MASK access[4] = {GENERIC_READ | GENERIC_WRITE, GENERIC_READ, GENERIC_WRITE, 0};
  for (int i = 0; i < 4; ++i)
    if (UmOpen(names[i], access[i], FILE_SHARE_READ | FILE_SHARE_WRITE, &g_handles[i]) != STATUS_SUCCESS)
      __builtin_trap();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool booted = (Boot(), true);
  (void)booted;
  if (size < 7) return 0;
  UmHandle h = g_handles[data[0] % 4];
  // Most codes land in the driver's own range; the rest are anything.
  uint32_t code;
  std::memcpy(&code, data + 1, 4);
  if (!(data[0] & 0x80)) code = 0x83AE0000u | (code & 0xFFFF);
  uint32_t outLen = data[5] | (data[6] & 0x0F) << 8;
  std::vector<uint8_t> in(data + 7, data + size);
  std::vector<uint8_t> out(outLen, 0xCD);
  uint32_t returned = 0;
  UmIoControl(h, code, in.empty() ? nullptr : in.data(), static_cast<uint32_t>(in.size()),
              out.empty() ? nullptr : out.data(), outLen, &returned);
  if (returned > outLen) __builtin_trap();
  return 0;
}
