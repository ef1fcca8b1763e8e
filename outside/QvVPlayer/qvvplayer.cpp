// Our own stand-in for the outside video library: no video is shown. It
// keeps the settings it is given (the ini file, the sample rate) and the
// position it plays to, which runs with the clock while it plays, and
// writes them to section "QvVPlayer" of the ini file when asked to save.
#include <windows.h>

#include <cstdint>
#include <cstdio>

#define QVVP_API __stdcall

namespace {

char gIni[MAX_PATH] = {};
uint32_t gRate = 44100;
int64_t gPosition = 0;  // samples
bool gRunning = false;
DWORD gStartTick = 0;

constexpr char kSection[] = "QvVPlayer";

int64_t PositionNow() {
  if (!gRunning) return gPosition;
  return gPosition + int64_t{GetTickCount() - gStartTick} * gRate / 1000;
}

}  // namespace

extern "C" {

void QVVP_API QVVPLAYER_SetIniFileName(const char* path) {
  if (path == nullptr) return;
  lstrcpynA(gIni, path, sizeof gIni);
  gRate = GetPrivateProfileIntA(kSection, "SampleRate", static_cast<INT>(gRate), gIni);
  gPosition = GetPrivateProfileIntA(kSection, "Position", 0, gIni);
}

void QVVP_API QVVPLAYER_SetSampleRate(uint32_t rate) {
  if (rate == 0) return;
  gPosition = PositionNow();
  gStartTick = GetTickCount();
  gRate = rate;
}

void QVVP_API QVVPLAYER_SaveSettings() {
  if (gIni[0] == '\0') return;
  char text[32];
  std::snprintf(text, sizeof text, "%u", gRate);
  WritePrivateProfileStringA(kSection, "SampleRate", text, gIni);
  std::snprintf(text, sizeof text, "%lld", static_cast<long long>(PositionNow()));
  WritePrivateProfileStringA(kSection, "Position", text, gIni);
}

void QVVP_API QVVPLAYER_StartPlayRec(int32_t) {
  if (gRunning) return;
  gRunning = true;
  gStartTick = GetTickCount();
}

void QVVP_API QVVPLAYER_StopPlayRec() {
  gPosition = PositionNow();
  gRunning = false;
}

}  // extern "C"
