// The outside libraries the program loads by name from its folder: the
// console interface and the video player. Missing libraries leave their
// calls without effect.
#include <windows.h>

#include "mixer/shell/services.h"
#include "mixer/units/console.h"
#include "mixer/units/services.h"
#include "mixer/units/win32/transport_host.h"

namespace {

template <class Fn>
Fn Bind(HMODULE lib, const char* name) {
  return lib ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(lib, name))) : nullptr;
}

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
    v.setIni = Bind<decltype(v.setIni)>(lib, "QVVPLAYER_SetIniFileName");
    v.setRate = Bind<decltype(v.setRate)>(lib, "QVVPLAYER_SetSampleRate");
    v.save = Bind<decltype(v.save)>(lib, "QVVPLAYER_SaveSettings");
    v.start = Bind<decltype(v.start)>(lib, "QVVPLAYER_StartPlayRec");
    v.stop = Bind<decltype(v.stop)>(lib, "QVVPLAYER_StopPlayRec");
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
    lib.registerConsole = Bind<decltype(lib.registerConsole)>(dll, "QVCIN_RegisterConsole");
    lib.notify = Bind<decltype(lib.notify)>(dll, "QVCIN_NotifyConsole");
    lib.unregisterConsole = Bind<decltype(lib.unregisterConsole)>(dll, "QVCIN_UnRegisterConsole");
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
