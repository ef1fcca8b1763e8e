// The outside libraries the program loads by name from its folder: the
// console interface and the video player. Missing libraries leave their
// calls without effect.
#include <windows.h>

#include "mixer/model/util/win32/sysutil.h"
#include "mixer/shell/services.h"
#include "mixer/units/console.h"
#include "mixer/units/services.h"
#include "mixer/units/win32/transport_host.h"

namespace {

struct Video {
  void(__stdcall* setIni)(const char*) = nullptr;
  void(__stdcall* setRate)(uint32_t) = nullptr;
  void(__stdcall* save)() = nullptr;
  void(__stdcall* start)(int32_t) = nullptr;
  void(__stdcall* stop)() = nullptr;
};

const Video& VideoLib() {
  static Video v;
  static bool tried = false;
  if (!tried) {
    tried = true;
    HMODULE lib = LoadLibraryA("QvVPlayer.dll");
    BindExport(lib, v.setIni, "QVVPLAYER_SetIniFileName");
    BindExport(lib, v.setRate, "QVVPLAYER_SetSampleRate");
    BindExport(lib, v.save, "QVVPLAYER_SaveSettings");
    BindExport(lib, v.start, "QVVPLAYER_StartPlayRec");
    BindExport(lib, v.stop, "QVVPLAYER_StopPlayRec");
  }
  return v;
}

}  // namespace

const ConsoleLib* ProgramConsoleLib() {
  static ConsoleLib lib;
  static int state = 0;
  if (state == 0) {
    state = -1;
    HMODULE dll = LoadLibraryA("QvConInt.dll");
    BindExport(dll, lib.registerConsole, "QVCIN_RegisterConsole");
    BindExport(dll, lib.notify, "QVCIN_NotifyConsole");
    BindExport(dll, lib.unregisterConsole, "QVCIN_UnRegisterConsole");
    if (lib.registerConsole && lib.notify && lib.unregisterConsole) state = 1;
  }
  return state > 0 ? &lib : nullptr;
}

void ProgramVideoStart() {
  if (VideoLib().start) VideoLib().start(0);
}

void ProgramVideoStop() {
  if (VideoLib().stop) VideoLib().stop();
}

void ProgramVideoSetRate(uint32_t rate) {
  if (VideoLib().setRate) VideoLib().setRate(rate);
}

void QVVPLAYER_SaveSettings() {
  if (VideoLib().save) VideoLib().save();
}

void ProgramVideoSetIni(const char* path) {
  if (VideoLib().setIni) VideoLib().setIni(path);
}

void QVCIN_UnRegisterConsole() { ConsoleLinkUnregister(); }
