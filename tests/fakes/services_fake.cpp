#include "services_fake.h"

#include <cstdarg>
#include <cstdio>

#include "logs/services.h"
#include "mixer/arrange/services.h"
#include "mixer/mix/services.h"
#include "mixer/model/marker.h"
#include "mixer/shell/services.h"
#include "mixer/units/services.h"

ServicesFake& Services() {
  static ServicesFake fake;
  return fake;
}

void FakeLog(const char* fmt, ...) {
  char line[512];
  va_list args;
  va_start(args, fmt);
  std::vsnprintf(line, sizeof line, fmt, args);
  va_end(args);
  Services().log.emplace_back(line);
}

bool ServicesFake::Called(const std::string& line) const {
  for (const auto& l : log)
    if (l == line) return true;
  return false;
}

int ServicesFake::Count(const std::string& prefix) const {
  int n = 0;
  for (const auto& l : log)
    if (l.compare(0, prefix.size(), prefix) == 0) ++n;
  return n;
}

std::string ServicesFake::Joined() const {
  std::string all;
  for (const auto& l : log) all += l + "\n";
  return all;
}

// ---- units, transport, console, 9-pin, video ----
int TransportState() { return Services().transportState; }
void UnitsSetSampleRate(int mode, uint32_t rate, int32_t varispeed, int flag) {
  FakeLog("UnitsSetSampleRate(%d, %u, %d, %d)", mode, rate, varispeed, flag);
}
int UnitsSetSync() {
  FakeLog("UnitsSetSync()");
  return Services().unitsSetSyncResult;
}
void UnitsLocate(int32_t position) { FakeLog("UnitsLocate(%d)", position); }
void UnitsPrepPlayBufs(int32_t position) { FakeLog("UnitsPrepPlayBufs(%d)", position); }
void UnitsSetLoop(int kind, int on, int flag) { FakeLog("UnitsSetLoop(%d, %d, %d)", kind, on, flag); }
void CardsSyncCommand(uint32_t rate, uint32_t sync, int32_t position, uint32_t a, uint32_t b,
                      uint32_t c) {
  FakeLog("CardsSyncCommand(%u, %u, %d, %u, %u, %u)", rate, sync, position, a, b, c);
}
int RefreshPlayLists(int32_t position) {
  FakeLog("RefreshPlayLists(%d)", position);
  return Services().refreshPlayListsResult;
}
void NatDevSetSrate(uint32_t rate) { FakeLog("NatDevSetSrate(%u)", rate); }
int NatDevGetDiskErrorStat(uint32_t* take) {
  *take = Services().diskErrorTake;
  return *take != 0;
}
void NatDevSetTimeCodeStatics(uint32_t frameRateCode, uint32_t tcOffset) {
  FakeLog("NatDevSetTimeCodeStatics(%u, %u)", frameRateCode, tcOffset);
}
int NatDevGetEnvelopes(uint32_t count, uint32_t samplesPerEntry, TakeRec*, uint32_t position,
                       int16_t* buffer) {
  FakeLog("NatDevGetEnvelopes(%u, %u, %u)", count, samplesPerEntry, position);
  if (Services().onEnvelopes) Services().onEnvelopes();
  if (Services().envelopesFailAt >= 0 && Services().envelopesCalls++ >= Services().envelopesFailAt)
    return 0;
  uint32_t first = samplesPerEntry ? position / samplesPerEntry : 0;
  for (uint32_t i = 0; i < count; ++i) {
    int16_t v = int16_t((first + i) & 0x7fff);
    buffer[2 * i] = v;
    buffer[2 * i + 1] = int16_t(-v);
  }
  return 1;
}
int MidiSetLoop(int kind, int prepare) {
  FakeLog("MidiSetLoop(%d, %d)", kind, prepare);
  return Services().midiSetLoopResult;
}
int MidiDeleteTakeLog(uint32_t log) {
  FakeLog("MidiDeleteTakeLog(%u)", log);
  return 1;
}
void TransportShowNowBars() { FakeLog("TransportShowNowBars()"); }
void TransportShowNowTimecode() { FakeLog("TransportShowNowTimecode()"); }
void TransportShowLeftLoc() { FakeLog("TransportShowLeftLoc()"); }
void TransportShowRightLoc() { FakeLog("TransportShowRightLoc()"); }
void TransportShowTimecodeOffset() { FakeLog("TransportShowTimecodeOffset()"); }
void TransportShowMeter(int force) { FakeLog("TransportShowMeter(%d)", force); }
void TransportShowTempo(int force) { FakeLog("TransportShowTempo(%d)", force); }
void TransportShowModeLamps() { FakeLog("TransportShowModeLamps()"); }
void TransportUpdateEndLoc() { FakeLog("TransportUpdateEndLoc()"); }
void TransportSetRecLimit(uint32_t samples) { FakeLog("TransportSetRecLimit(%u)", samples); }
void ConsoleNotifyZoom(int32_t samplesPerPixel) { FakeLog("ConsoleNotifyZoom(%d)", samplesPerPixel); }
void ConsoleNotifyModes(uint32_t mode, uint32_t mask) { FakeLog("ConsoleNotifyModes(%u, %u)", mode, mask); }
void ConsoleNotifyLocator(int locator, int32_t position) {
  FakeLog("ConsoleNotifyLocator(%d, %d)", locator, position);
}
void ConsoleNotifyRecReady(int recTrack) { FakeLog("ConsoleNotifyRecReady(%d)", recTrack); }
// Logs the number and the position the control surface would be sent.
void ConsoleNotifyMarker(const MrkList* list, uint32_t n) {
  const MrkRec* mrk = n >= 1 && n <= kMrkMaxNumber ? MrkSlot(list, n - 1) : nullptr;
  FakeLog("ConsoleNotifyMarker(%u, %d)", n, mrk ? mrk->Position : kMrkUnused);
}
void ConsoleNotifySampleRate(uint32_t rate) { FakeLog("ConsoleNotifySampleRate(%u)", rate); }
void ConsoleNotifyFrameRate(uint32_t code) { FakeLog("ConsoleNotifyFrameRate(%u)", code); }
void ConsoleNotifyTimecodeOffset(uint32_t tcOffset) {
  FakeLog("ConsoleNotifyTimecodeOffset(%u)", tcOffset);
}
void NinePinSetTimecodeFormat(uint32_t code) { FakeLog("NinePinSetTimecodeFormat(%u)", code); }
void NinePinSetMachineFlags(uint32_t mode, uint32_t mask) {
  FakeLog("NinePinSetMachineFlags(%u, %u)", mode, mask);
}
void NinePinTransportEvent(int event, int32_t position) {
  FakeLog("NinePinTransportEvent(%d, %d)", event, position);
}
void NinePinTrackReady(int recTrack) { FakeLog("NinePinTrackReady(%d)", recTrack); }
void VideoSetSampleRate(uint32_t rate) { FakeLog("VideoSetSampleRate(%u)", rate); }
void VideoSetOffset(uint32_t tcOffset) { FakeLog("VideoSetOffset(%u)", tcOffset); }
void VideoSetScrubLoc(int32_t position) { FakeLog("VideoSetScrubLoc(%d)", position); }
void VideoPrepPlay(int32_t position) { FakeLog("VideoPrepPlay(%d)", position); }
void QVVPLAYER_SetSampleRate(uint32_t rate) { FakeLog("QVVPLAYER_SetSampleRate(%u)", rate); }

// ---- mixer and automation ----
// A stand-in address: the fake mixer document is never dereferenced.
MixDoc* CurMixDoc() {
  static char doc;
  return reinterpret_cast<MixDoc*>(&doc);
}
void MixReallocDsp() { FakeLog("MixReallocDsp()"); }
void MixSendTrkColors() { FakeLog("MixSendTrkColors()"); }
void MixGreyUnavailableIo() { FakeLog("MixGreyUnavailableIo()"); }
void MixUpdateMainCaption() { FakeLog("MixUpdateMainCaption()"); }
void MixSendTempoToElems() { FakeLog("MixSendTempoToElems()"); }
void MixSendTrkRecReady(MixDoc*, int recTrack) { FakeLog("MixSendTrkRecReady(%d)", recTrack); }
void MixSyncRecTrkAssign() { FakeLog("MixSyncRecTrkAssign()"); }
int MixStereoPartnerTrk(MixDoc*, int recTrack) {
  auto it = Services().stereoPartner.find(recTrack);
  return it == Services().stereoPartner.end() ? 0 : it->second;
}
void MxaSetNowLoc(int32_t position) { FakeLog("MxaSetNowLoc(%d)", position); }
void MxaSetRecordMode(uint32_t mode, uint32_t flags) { FakeLog("MxaSetRecordMode(%u, %u)", mode, flags); }
void MxaStoreSetting(uint32_t value) { FakeLog("MxaStoreSetting(%u)", value); }
int MxaFreeTake(uint32_t log) {
  FakeLog("MxaFreeTake(%u)", log);
  return 1;
}

// ---- log libraries ----
void QVMIV_PrepPlayBufs(int32_t position) { FakeLog("QVMIV_PrepPlayBufs(%d)", position); }
void QVMXA_SetTouchTimeout(uint32_t ms) { FakeLog("QVMXA_SetTouchTimeout(%u)", ms); }
void QVMXA_SetMatchTime(uint32_t ms) { FakeLog("QVMXA_SetMatchTime(%u)", ms); }

// ---- shell ----
void MainMenuCheckRadio(uint32_t first, uint32_t last, uint32_t chosen) {
  FakeLog("MainMenuCheckRadio(%u, %u, %u)", first, last, chosen);
}
void MainMenuCheck(uint32_t id, int checked) { FakeLog("MainMenuCheck(%u, %d)", id, checked); }
void StatusUpdate(int field, uint32_t value, int force) {
  FakeLog("StatusUpdate(%d, %u, %d)", field, value, force);
}
void ArrChangeCountRaise() { FakeLog("ArrChangeCountRaise()"); }
void SFManNotify(uint32_t event, uint32_t value) { FakeLog("SFManNotify(%u, %u)", event, value); }
int SFManQueryTake(uint32_t take) { return Services().sfmanTakes.count(take) ? 1 : 0; }
void TakeDirWndRepaint() { FakeLog("TakeDirWndRepaint()"); }
void DispatchPendingMessages() {}  // called per file of a walk: not logged
uint32_t ArrChangeCountGet() { return Services().arrChangeCount; }
void ArrChangeCountSet(uint32_t count) { Services().arrChangeCount = count; }
uint32_t MixChangeCountGet() { return Services().mixChangeCount; }
void MixChangeCountSet(uint32_t count) { Services().mixChangeCount = count; }
void MainMenuSetItem(uint32_t id, const char* text, int enabled) {
  Services().menuItems[id] = {text ? text : "", enabled};
}
void MainCursorWait() { FakeLog("MainCursorWait()"); }
void MainCursorArrow() { FakeLog("MainCursorArrow()"); }
void MainCursorRestore() { FakeLog("MainCursorRestore()"); }
uint32_t GetSyncIn() { return Services().syncIn; }
uint32_t GetMClkUnit(int unit) { return unit >= 0 && unit < 4 ? Services().mclkUnit[unit] : 0; }
uint32_t GetRecResol() { return Services().recResol; }
uint32_t GetTimeFormat() { return Services().timeFormat; }
uint32_t GetScrubMode() { return Services().scrubMode; }
int32_t GetScrubWind() { return Services().scrubWind; }
int32_t GetMutedSoloAudOut() { return Services().mutedSoloAudOut; }
int32_t GetMutedSoloMidiOut() { return Services().mutedSoloMidiOut; }
const char* GetWvFormFilePath() { return Services().wvFormFilePath.c_str(); }
void* MainAccelTable() { return nullptr; }

// ---- arrange editor ----
void ArrRedrawWindows() { FakeLog("ArrRedrawWindows()"); }
void ArrDrawPart(DcHandle, const ArrRec*, uint32_t slot, uint32_t track, int drawLocators,
                 int mode) {
  FakeLog("ArrDrawPart(%u, %u, %d, %d)", slot, track, drawLocators, mode);
}
void ArrErasePart(DcHandle, const ArrRec*, uint32_t slot, uint32_t track, int flag) {
  FakeLog("ArrErasePart(%u, %u, %d)", slot, track, flag);
}
void ArrRedrawMarkerRuler() { FakeLog("ArrRedrawMarkerRuler()"); }
int ArrIsDraggingRange() { return Services().draggingRange; }
int ArrFindRecTrkGroup(int kind, int recTrack, int* lastTrack) {
  auto it = Services().recTrkGroup.find({kind, recTrack});
  if (it == Services().recTrkGroup.end()) return -1;
  if (lastTrack) *lastTrack = it->second.second;
  return it->second.first;
}
int ArrCountRecTrks(int kind, int recTrack) {
  auto it = Services().recTrkCount.find({kind, recTrack});
  return it == Services().recTrkCount.end() ? 1 : it->second;
}
void ArrRedrawRecTrkHeaders(int kind, int recTrack) {
  FakeLog("ArrRedrawRecTrkHeaders(%d, %d)", kind, recTrack);
}
static std::string TrackList(const int* tracks, int count) {
  std::string s = "[";
  for (int i = 0; i < count; ++i) s += (i ? " " : "") + std::to_string(tracks[i]);
  return s + "]";
}
void ArrTrimRecordParts(int32_t position, const int* audio, int audioCount, const int* autom,
                        int automCount, const int* midi, int midiCount) {
  FakeLog("ArrTrimRecordParts(%d, %s, %s, %s)", position, TrackList(audio, audioCount).c_str(),
          TrackList(autom, automCount).c_str(), TrackList(midi, midiCount).c_str());
}
int ArrRecordLoopTakes(int32_t position, const int* audio, int audioCount, const int* autom,
                       int automCount, const int* midi, int midiCount) {
  FakeLog("ArrRecordLoopTakes(%d, %s, %s, %s)", position, TrackList(audio, audioCount).c_str(),
          TrackList(autom, automCount).c_str(), TrackList(midi, midiCount).c_str());
  return Services().recordLoopTakesResult;
}
int32_t ArrRecordStartLoc() { return Services().recordStartLoc; }
