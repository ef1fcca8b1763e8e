#include "Inc/devsetup.h"

#include "Inc/base.h"

namespace {

// Asks with no buffer first; while the platform names a larger size, grows
// the block to it and asks again. Any other failure frees the block.
template <typename Ask>
BYTE* AskGrowing(DWORD minimum, Ask ask) {
  BYTE* block = nullptr;
  DWORD have = 0, need = 0;
  for (;;) {
    if (ask(block, have, &need)) return block;
    const DWORD error = GetLastError();
    if (error != ERROR_INSUFFICIENT_BUFFER || need <= have) break;
    if (need < minimum) need = minimum;
    BYTE* grown = static_cast<BYTE*>(MemRealloc(need, block));
    if (!grown) {
      MemFree(block);
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return nullptr;
    }
    block = grown;
    have = need;
  }
  const DWORD error = GetLastError();
  MemFree(block);
  SetLastError(error);
  return nullptr;
}

}  // namespace

SP_DEVICE_INTERFACE_DETAIL_DATA_W* GetDeviceInterfaceDetail(HDEVINFO set, SP_DEVICE_INTERFACE_DATA* interfaceData) {
  BYTE* block = AskGrowing(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W), [&](BYTE* buffer, DWORD size, DWORD* need) {
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer);
    if (detail) detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    return SetupDiGetDeviceInterfaceDetailW(set, interfaceData, detail, size, need, nullptr) != FALSE;
  });
  return reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(block);
}

BYTE* GetDeviceRegistryProperty(HDEVINFO set, SP_DEVINFO_DATA* device, DWORD property, DWORD* type, DWORD* size) {
  DWORD got = 0;
  BYTE* block = AskGrowing(1, [&](BYTE* buffer, DWORD have, DWORD* need) {
    BOOL ok = SetupDiGetDeviceRegistryPropertyW(set, device, property, type, buffer, have, need);
    if (ok) got = *need;
    return ok != FALSE;
  });
  if (size) *size = block ? got : 0;
  return block;
}
