// Arbitrary ini values through the readers: numbers, aliases, window records,
// colour tables and the five-number record.
#include <cstddef>
#include <cstdint>
#include <string>

#include "mixer/model/ini.h"
#include "mixer/model/inirecords.h"
#include "mixer/model/util/profile.h"
#include "mixer/model/util/strtab.h"
#include "mixer/model/trkcolors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Lines of the input become the values of these keys, in turn.
  struct Slot {
    const char* section;
    const char* key;
  };
  static const Slot kSlots[] = {{"ArrangeWnd", "Window"}, {"Aliases", "a"},
                                {"Aliases", "b"},         {"MainWnd", "TrkColors1"},
                                {"MainWnd", "SyncInVITCDec"}, {"MainWnd", "UndoLevels"}};
  MemProfile& profile = BuiltInProfile();
  profile.Clear();
  SetMainIniPath("Main.ini");
  const std::string text(reinterpret_cast<const char*>(data), size);
  size_t start = 0;
  for (const Slot& slot : kSlots) {
    if (start > text.size()) break;
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string value = text.substr(start, end - start);
    profile.WriteString("Main.ini", slot.section, slot.key, value.c_str());
    start = end + 1;
  }

  WindowPosRec pos;
  ReadIniWindowPos("Main.ini", IDS_INI_SEC_ARRANGE_WND, IDS_INI_KEY_WINDOW, &pos);
  ReadTrkColors();
  int32_t vitc[kSyncInVitcDecCount];
  ReadSyncInVitcDec(vitc);
  const int32_t levels =
      ReadIniInt("Main.ini", IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_UNDO_LEVELS, 5, 0, 100);
  if (levels < 0 || levels > 100) __builtin_trap();
  char small[3];
  if (ReadIniString("Main.ini", IDS_INI_SEC_ARRANGE_WND, IDS_INI_KEY_WINDOW, small, sizeof small) > 2)
    __builtin_trap();
  WriteIniWindowRecord("Main.ini", IDS_INI_SEC_ARRANGE_WND, IDS_INI_KEY_WINDOW, nullptr);
  return 0;
}
