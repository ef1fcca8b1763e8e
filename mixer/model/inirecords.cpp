#include "mixer/model/inirecords.h"

#include <cstdint>

#include "mixer/model/ini.h"
#include "mixer/model/util/strtab.h"

namespace {

constexpr int kRecordTextMax = 128;

int32_t ReadMainInt(uint32_t key) {
  return ReadIniInt(MainIniPath(), IDS_INI_SEC_MAIN_WND, key, 0, INT32_MIN, INT32_MAX);
}

}  // namespace

int32_t ReadMidiCfgUnit(int unit) {
  if (unit < 1 || unit > kMidiCfgUnits) return 0;
  return ReadMainInt(IDS_INI_KEY_MIDI_CFG_SUNIT1 + static_cast<uint32_t>(unit - 1));
}

void WriteMidiCfgUnit(int32_t value, int unit) {
  if (unit < 1 || unit > kMidiCfgUnits) return;
  WriteIniValue(MainIniPath(), IDS_INI_SEC_MAIN_WND,
                IDS_INI_KEY_MIDI_CFG_SUNIT1 + static_cast<uint32_t>(unit - 1), "%d",
                static_cast<int>(value));
}

void ReadSyncInVitcDec(int32_t values[kSyncInVitcDecCount]) {
  char text[kRecordTextMax];
  ReadIniString(MainIniPath(), IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_SYNC_IN_VITCDEC, text,
                sizeof text);
  const char* cursor = text;
  for (int i = 0; i < kSyncInVitcDecCount; ++i)
    values[i] = IniTextLeft(cursor) ? ParseNumber(&cursor) : kSyncInVitcDecDefaults[i];
}

void WriteSyncInVitcDec(const int32_t values[kSyncInVitcDecCount]) {
  WriteIniValue(MainIniPath(), IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_SYNC_IN_VITCDEC,
                "%d %d %d %d %d", static_cast<int>(values[0]), static_cast<int>(values[1]),
                static_cast<int>(values[2]), static_cast<int>(values[3]),
                static_cast<int>(values[4]));
}

int32_t ReadExitStatus() { return ReadMainInt(IDS_INI_KEY_EXIT_STATUS); }

void WriteExitStatus(int32_t status) {
  WriteIniValue(MainIniPath(), IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_EXIT_STATUS, "%d",
                static_cast<int>(status));
}
