// The program's start-up and shutdown of the units, with the shell's fatal
// DSP error report.
#include <windows.h>

#include "mixer/model/ini.h"
#include "mixer/model/util/strtab.h"
#include "mixer/shell/win32/shell.h"
#include "mixer/units/services.h"
#include "mixer/units/unittable.h"
#include "mixer/units/win32/devlib.h"

namespace {

int Fatal(UnitHandle h, int code) { return FatalDspError(reinterpret_cast<HANDLE>(h), code); }

void UseDeviceLibraryForUnits() {
  static const UnitDevApi api = DeviceLibraryUnitApi(Fatal);
  SetUnitDevApi(&api);
}

}  // namespace

int OpenUnits(int* severalPcs) {
  UseDeviceLibraryForUnits();
  const char* ini = Shell().iniPath;
  char hosts[513] = {};
  char cards[513] = {};
  ReadIniString(ini, IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_QV32_DEVICE_PATH, hosts, sizeof hosts);
  ReadIniString(ini, IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_CORB_DEVICE_PATH, cards, sizeof cards);
  int numbers[kUnitSlots];
  return OpenUnitsFrom(hosts, cards, numbers, severalPcs);
}

int UnitCount() { return Units().used; }

void CloseUnits() {
  if (Units().used) CloseUnitTable();
}

int UnitOfDevice(void* device) {
  const UnitHandle h = reinterpret_cast<UnitHandle>(device);
  for (int unit = 1; unit <= kUnitSlots; ++unit) {
    if (UnitDevHandle(unit) == h) return unit;
    if (UnitCardHandle(unit) == h) return -unit;
  }
  return -(UnitCount() + 1);
}
