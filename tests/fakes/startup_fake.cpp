#include "startup_fake.h"

#include "mixer/arrange/services.h"
#include "mixer/mix/services.h"
#include "mixer/units/services.h"
#include "mixer/units/unitdev.h"
#include <cstdarg>
#include <cstdio>

StartupFake& Startup() {
  static StartupFake fake;
  return fake;
}

int StartupFake::Count(const std::string& prefix) const {
  int n = 0;
  for (const auto& l : log)
    if (l.compare(0, prefix.size(), prefix) == 0) ++n;
  return n;
}

int StartupFake::IndexOf(const std::string& line) const {
  for (size_t i = 0; i < log.size(); ++i)
    if (log[i] == line) return static_cast<int>(i);
  return -1;
}

std::string StartupFake::Joined() const {
  std::string all;
  for (const auto& l : log) all += l + "\n";
  return all;
}

namespace {
void FakeLog(const char* fmt, ...) {
  char line[512];
  va_list args;
  va_start(args, fmt);
  std::vsnprintf(line, sizeof line, fmt, args);
  va_end(args);
  Startup().log.emplace_back(line);
}
}  // namespace

int OpenUnits(int* severalPcs) {
  FakeLog("OpenUnits()");
  *severalPcs = Startup().severalPcs;
  return Startup().unitCount;
}
int UnitCount() { return Startup().unitCount; }
int UnitsConfigDialog() {
  FakeLog("UnitsConfigDialog()");
  return Startup().configRetry;
}
void CloseUnits() { FakeLog("CloseUnits()"); }
void UnitsStop() { FakeLog("UnitsStop()"); }
int NatDevOpenAll(int tracks, const NatDiskCallbacks* callbacks) {
  Startup().diskCallbacks = *callbacks;
  FakeLog("NatDevOpenAll(%d)", tracks);
  return Startup().natDevOpenResult;
}
void NatDevCloseAll() { FakeLog("NatDevCloseAll()"); }
int32_t NatDevGetAudioBufMinimum() { return Startup().audioReserve; }
void TransportCommand(int cmd) { FakeLog("TransportCommand(%d)", cmd); }
int32_t GetCurrentLoc() { return Startup().currentLoc; }
void UnitsWriteDebugLog() { FakeLog("UnitsWriteDebugLog()"); }
int UnitsAllIdle() { return Startup().unitsAllIdle; }
int32_t TransportEndLoc() { return Startup().endLoc; }
int32_t TransportPassCount() { return Startup().passCount; }
void TransportSetPassCount(int32_t count) { Startup().passCount = count; }
int32_t TransportPassLimit() { return Startup().passLimit; }
int TransportWindStart(int32_t* position, uint32_t* tick) {
  *position = Startup().windStart;
  *tick = Startup().windTick;
  return Startup().windSteps;
}
int NinePinWindPosition(int32_t* position, int* status) {
  *position = Startup().ninePosition;
  *status = Startup().nineStatus;
  return Startup().nineSupplies;
}
int UnitHasSyncBoard(int unit) { return unit >= 0 && unit < 4 ? Startup().syncBoard[unit] : 0; }
void NinePinPoll(uint32_t tick) { FakeLog("NinePinPoll(%u)", tick); }
int ConsoleMotionMode() { return Startup().consoleMotion; }
void ConsoleShuttleTick() { FakeLog("ConsoleShuttleTick()"); }
void ConsoleMotionTick() { FakeLog("ConsoleMotionTick()"); }
int32_t NatDevGetCloc() { return Startup().natDevCloc; }
int ProcRunActive() { return Startup().procRun; }
int ProcMixdownRunning() { return Startup().mixdownRun; }
void ProcRunProgress(int32_t location) { FakeLog("ProcRunProgress(%d)", location); }
int EopAuditionPlaying() { return Startup().exvAudition; }
void EopUpdateMenu(void*) { FakeLog("EopUpdateMenu()"); }
void RebuildAndPrepPlayLists(ArrRec*, int32_t position) {
  FakeLog("RebuildAndPrepPlayLists(%d)", position);
}
void MidiRebuildAndPrep(ArrRec*, int32_t position) { FakeLog("MidiRebuildAndPrep(%d)", position); }
void MxaRefreshAfterEdit(ArrRec*, MixDoc*, int32_t position) {
  FakeLog("MxaRefreshAfterEdit(%d)", position);
}
int ConsoleRegister() {
  FakeLog("ConsoleRegister()");
  return Startup().consoleLinks;
}
void VideoSyncLoc(int32_t position) { FakeLog("VideoSyncLoc(%d)", position); }
namespace {
bool UnitIndex(int unit) { return unit >= 0 && unit < 4; }
}  // namespace
int UnitCardGetParam(int unit, CardParams* params) {
  FakeLog("UnitCardGetParam(%d)", unit);
  *params = UnitIndex(unit) ? Startup().cardParams[unit] : CardParams{};
  return UnitIndex(unit) ? Startup().cardQueryOk[unit] : 0;
}
int CardSetSyncFlags(int unit) {
  FakeLog("CardSetSyncFlags(%d)", unit);
  return UnitIndex(unit) ? Startup().setSyncFlagsOk[unit] : 0;
}
int CardClearSyncFlags(int unit) {
  FakeLog("CardClearSyncFlags(%d)", unit);
  return UnitIndex(unit) ? Startup().clearSyncFlagsOk[unit] : 0;
}
uint32_t CardInputSrate(int unit, int input) {
  FakeLog("CardInputSrate(%d, %d)", unit, input);
  return UnitIndex(unit) ? Startup().tdifRate[unit] : 0;
}
uint32_t UnitGetStatus(int unit) { return UnitIndex(unit) ? Startup().unitStatus[unit] : 0; }

void MixIdleTick(MixDoc* mixer) { FakeLog("MixIdleTick()"); }
void MixCheckDspLimitTick() { FakeLog("MixCheckDspLimitTick()"); }
void QVMXA_SetLocator(int32_t position) { FakeLog("QVMXA_SetLocator(%d)", position); }

#include "logs/services.h"

int CheckUnitsHardware() { FakeLog("CheckUnitsHardware()"); return 1; }
int LoadUnitsDspProgram(uint32_t option) { FakeLog("LoadUnitsDspProgram(0x%x)", option); return 1; }
int CheckUnitsStatus() { FakeLog("CheckUnitsStatus()"); return 1; }
int CheckUnitsState() { FakeLog("CheckUnitsState()"); return 1; }
int CheckUnitsDspMask(int syncBoards[kMaxUnits]) {
  FakeLog("CheckUnitsDspMask()");
  for (int i = 0; i < kMaxUnits; ++i) syncBoards[i] = Startup().syncBoard[i];
  return 1;
}
int CheckCardsDsp() { FakeLog("CheckCardsDsp()"); return 1; }
int InitCardsMixDsp() { FakeLog("InitCardsMixDsp()"); return 1; }
int UpdateSyncBoards(const char* xilinxImage, const char* cpuImage,
                     const int syncBoards[kMaxUnits], int query, int* updated) {
  FakeLog("UpdateSyncBoards(%s, %s, %d)", xilinxImage, cpuImage, query);
  *updated = Startup().flashUpdates > 0 ? (--Startup().flashUpdates, 1) : 0;
  return 1;
}
int CardLockState(int unit) { return 3; }
void UnitsStartClocks() { FakeLog("UnitsStartClocks()"); }
void NatDevSetFadeCurves() { FakeLog("NatDevSetFadeCurves()"); }
void ResetCardsMixDsp() { FakeLog("ResetCardsMixDsp()"); }
void RegisterTapeTransWnd(void*) { FakeLog("RegisterTapeTransWnd()"); }
void RegisterVideoWnd(void*) { FakeLog("RegisterVideoWnd()"); }
void Register9PinWnd(void*) { FakeLog("Register9PinWnd()"); }
void SplashCreate(void*) { FakeLog("SplashCreate()"); }
void SplashDestroy() { FakeLog("SplashDestroy()"); }

void RegisterMixerWindows(void*) { FakeLog("RegisterMixerWindows()"); }
void MixLoadElemLibs(const char* folder) { FakeLog("MixLoadElemLibs(%s)", folder); }
void MixFreeElemLibs() { FakeLog("MixFreeElemLibs()"); }
void MixDocCreateCurrent() { FakeLog("MixDocCreateCurrent()"); }
void MixDocDestroyCurrent() { FakeLog("MixDocDestroyCurrent()"); }
void MixDspLayoutFree() { FakeLog("MixDspLayoutFree()"); }
int MixOfferSave() {
  FakeLog("MixOfferSave()");
  return Startup().mixSaveAnswer;
}
// The shell's closing question, answered by the mix's.
int DocCloseQuery() { return MixOfferSave(); }

void QVMXA_Init() { FakeLog("QVMXA_Init()"); }
void QVMIV_Init() { FakeLog("QVMIV_Init()"); }
void QVMIV_Quit() { FakeLog("QVMIV_Quit()"); }
void QVMXA_SetFadeResolTime(uint32_t ms) { FakeLog("QVMXA_SetFadeResolTime(%u)", ms); }
int UnitOfDevice(void*) { return -(Startup().unitCount + 1); }
void NinePinSetMode(uint32_t command) { FakeLog("NinePinSetMode(%u)", command); }
void VideoCloseFile() { FakeLog("VideoCloseFile()"); }
void VideoSetIniFile(const char*) { FakeLog("VideoSetIniFile()"); }
// Unit numbers 1..4 read the entries 0..3.
int UnitHasHostUnit(int unit) { return unit >= 1 && unit <= 4 ? Startup().hasHost[unit - 1] : 0; }
int UnitHasMixDsps(int unit) { return unit >= 1 && unit <= 4 ? Startup().hasMixDsps[unit - 1] : 0; }
int UnitHwKind(int unit) { return unit >= 1 && unit <= 4 ? Startup().hwKind[unit - 1] : 0; }
// The faked units take no operations: the transport's movements reach none.
struct UnitOps;
const UnitOps* UnitInterface(int, UnitHandle* handle) {
  if (handle) *handle = kNoUnitHandle;
  return nullptr;
}
void UnitCardSetAesSrc(int unit, uint32_t bits) { FakeLog("UnitCardSetAesSrc(%d, %u)", unit, bits); }
void QVMXA_SetSampleRate(uint32_t hz) { FakeLog("QVMXA_SetSampleRate(%u)", hz); }
void QVMIV_SetSampleRate(uint32_t hz) { FakeLog("QVMIV_SetSampleRate(%u)", hz); }
void QVMIV_SetTimeCodeOffset(uint32_t samples) { FakeLog("QVMIV_SetTimeCodeOffset(%u)", samples); }
void UnitsSetPlayFlags(uint32_t flags) { FakeLog("UnitsSetPlayFlags(%u)", flags); }
void UnitSetOptionFlags(int unit, uint32_t flags) { FakeLog("UnitSetOptionFlags(%d, %u)", unit, flags); }
void UnitGetSyncStatus(uint32_t* status, int32_t* position, uint32_t* first) {
  *status = Startup().syncStatus;
  *position = Startup().syncPosition;
  *first = Startup().syncFirst;
}
int NinePinLeadsTransport() { return Startup().nineLeads; }
int NinePinArmedToDrive() { return 0; }
void SendPlayListsAt(int32_t position) { FakeLog("SendPlayListsAt(%d)", position); }
void UnitsArmChase(int32_t position) { FakeLog("UnitsArmChase(%d)", position); }
int32_t TransportPunchInLoc() { return Startup().punchIn; }
int32_t TransportPunchOutLoc() { return Startup().punchOut; }
int32_t TransportLampHoldLoc() { return Startup().lampHold; }
void TransportSetLampHoldLoc(int32_t position) { Startup().lampHold = position; }
void MixSetRecLamps(int state) { FakeLog("MixSetRecLamps(%d)", state); }

uint32_t UnitIoType(int unit) { return unit >= 1 && unit <= 4 ? Startup().ioType[unit - 1] : 0; }
int UnitRate96kCapable(int) { return 0; }
