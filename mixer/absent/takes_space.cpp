// The record/process folder is chosen by the document commands, not built
// yet: the free space is that of the folder the main ini file names, or of
// the current folder.
#include "mixer/model/ini.h"
#include "mixer/model/takes.h"
#include "mixer/model/util/fileio.h"
#include "mixer/model/util/strtab.h"

uint64_t TakeRecFolderFreeBytes() {
  char dir[260] = {};
  ReadIniString(MainIniPath(), IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_RECORD_PROCESS_DIRECTORY, dir,
                sizeof dir);
  return FioDiskFree(dir[0] ? dir : ".") / 5 * 4;
}
