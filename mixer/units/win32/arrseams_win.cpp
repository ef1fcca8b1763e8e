// The arrange editor's record pass, processing runs and overview builds
// connected to the program: the native recorder, the mixer, the automation
// library, the transport's displays and the run dialogs.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "mixer/arrange/automfront.h"
#include "mixer/arrange/arrdrawseams.h"
#include "mixer/arrange/genwave.h"
#include "mixer/arrange/mixdown.h"
#include "mixer/arrange/procdrv.h"
#include "mixer/arrange/procthin.h"
#include "mixer/arrange/recpass.h"
#include "mixer/arrange/services.h"
#include "mixer/arrange/win32/mixdowndlg.h"
#include "mixer/arrange/win32/procdlgs.h"
#include "mixer/mix/mixaut.h"
#include "mixer/mix/mixdoc.h"
#include "mixer/mix/mixhost.h"
#include "mixer/mix/services.h"
#include "logs/services.h"
#include "mixer/model/arr.h"
#include "mixer/model/tempomap.h"
#include "mixer/model/recready.h"
#include "mixer/model/settings.h"
#include "mixer/model/take.h"
#include "mixer/model/timecode.h"
#include "mixer/model/win32/dialogs.h"
#include "mixer/model/win32/wvfbuild.h"
#include "mixer/model/wvfcache.h"
#include "mixer/shell/services.h"
#include "mixer/model/ini.h"
#include "mixer/model/util/strtab.h"
#include "mixer/shell/win32/settings.h"
#include "mixer/shell/win32/shell.h"
#include "mixer/shell/wndtable.h"
#include "mixer/units/natlink.h"
#include "mixer/units/playlist.h"
#include "mixer/units/services.h"
#include "mixer/units/transport.h"
#include "mixer/units/win32/transport_host.h"

namespace {

// Channels of the record track's link group: the Virtual Track recording it
// and those linked after it.
int32_t GroupWidth(int32_t recTrack) {
  if (CurArr == nullptr) return 1;
  for (uint32_t t = 0; t < kArrTracks; ++t) {
    const TrkRec& trk = CurArr->Trk[t];
    if (trk.RecTrack != static_cast<uint32_t>(recTrack) || trk.RecKind != kRecKindAudio) continue;
    int32_t width = 1;
    while (t + width < kArrTracks && (CurArr->Trk[t + width - 1].Flags & kTrkLinkNext)) ++width;
    return width;
  }
  return 1;
}

const char* ColumnName(int32_t recTrack) {
  static char name[64];
  name[0] = 0;
  if (MixDoc* doc = CurMixDoc()) MixRecColumnName(doc, recTrack, name, sizeof name);
  return name;
}

// The recording of the record track goes into the Take from `start`: the
// track's list holds the Take as its record entry.
void PlayTake(int32_t recTrack, uint32_t take, int32_t start) {
  PlayTakeOnTrack(recTrack, static_cast<uint32_t>(std::max(start, 0)), take, 0);
}

int LocalTimeStamp(char* out, int size) {
  SYSTEMTIME t;
  GetLocalTime(&t);
  return std::snprintf(out, static_cast<size_t>(size), "%02d%02d%02d-%02d%02d%02d", t.wYear % 100, t.wMonth, t.wDay,
                       t.wHour, t.wMinute, t.wSecond);
}

int32_t CurrentLoc() { return NatLinkDeviceCount() > 0 ? NatLinkGetCloc() : Locs().NowLoc; }

// The armed Audio record tracks' audio has reached the disk up to here; the
// current location when no device records them.
int32_t RecTransferLoc() {
  int32_t armed[kRecTrksAudio];
  int32_t n = 0;
  for (int32_t r = 1; r <= kRecTrksAudio; ++r)
    if (RecTrkGetState(kRecKindAudio, r) == kRecTrkReady) armed[n++] = r;
  const int64_t at = NatLinkRecTransferLoc(armed, n, CurrentLoc());
  return static_cast<int32_t>(std::clamp<int64_t>(at, 0, INT32_MAX));
}

void ShowPosition(int32_t location) {
  Locs().NowLoc = location;
  TransportShowNowBars();
  TransportShowNowTimecode();
}

void SleepMs(int ms) { Sleep(static_cast<DWORD>(ms)); }

// The mixer's record time code: the start position in the project's time
// code with its offset.
int RecordTimeCode(int32_t start, TcRec* out) {
  LocToTimeCode(out, start, Settings().TcOffset);
  return 1;
}

uint16_t AutomKnobRef(uint32_t take) {
  const MxaTake* t = MxaTakeByOwner(TakeFromRef(take));
  return t != nullptr ? static_cast<uint16_t>(t->RecMapValue) : 0;
}

int ThinCopy(uint32_t newTake, uint32_t sourceTake, uint32_t from, uint32_t to, int32_t filter, uint32_t amount) {
  return MxaCopyTakeRangeOf(TakeFromRef(newTake), TakeFromRef(sourceTake), from, to, filter, amount);
}

// The edited copy goes into the new Take's automation record, which the
// Take then names as its log.
int AutomEdit(uint32_t newTake, uint32_t sourceTake, uint32_t start, uint32_t length, int32_t knob,
              int32_t deleteAt, int32_t setAt, int32_t value, int32_t scale) {
  void* target = TakeFromRef(newTake);
  const MxaTake* source = MxaReadTake(TakeFromRef(sourceTake));
  if (target == nullptr || source == nullptr) return 0;
  MxaTake* made = MxaTakeByOwner(target);
  if (!MxaCopyTakeEdit(&made, source, start, start + length, knob, deleteAt, setAt, value, scale)) return 0;
  made->Owner = target;
  MixHostGet().TakeSetWord(target, kMxaAttrLog, made->Log);
  return 1;
}

// The automation front end's answers about a Take's knob events, for the
// arrange window's automation event drag.
class ProgramAutomFront : public ArrAutomFront {
 public:
  int HasKnob(uint32_t take, int32_t knob) override {
    const MxaTake* t = Of(take);
    return t != nullptr && knob >= 0 && knob < MxaTakeKnobCount(t) ? 1 : 0;
  }
  int EventNear(uint32_t take, int previous, int32_t knob, int32_t scale, uint32_t* location,
                int32_t* value) override {
    const MxaTake* t = Of(take);
    return t != nullptr ? MxaTakeKnobEventNear(t, previous, knob, scale, location, value) : 0;
  }
  void KnobScale(uint32_t take, int32_t knob, int32_t scale, int32_t* value) override {
    if (const MxaTake* t = Of(take)) MxaTakeKnobScale(t, knob, scale, value);
  }
  int ValueText(uint32_t take, int32_t knob, int32_t scale, int32_t value, int32_t channel, char* buffer,
                int size) override {
    const MxaTake* t = Of(take);
    if (t == nullptr) return ArrAutomFront::ValueText(take, knob, scale, value, channel, buffer, size);
    return MxaKnobValueText(t, knob, scale, value, CurMixDoc(), channel, buffer, size);
  }
  void RefreshAfterEdit(int32_t position) override { MxaRefreshAfterEdit(CurArr, CurMixDoc(), position); }

 private:
  static const MxaTake* Of(uint32_t take) {
    TakeRec* t = TakeFromRef(take);
    return t != nullptr ? MxaReadTake(t) : nullptr;
  }
};
ProgramAutomFront automFront;

int WaveCacheHas(const TakeRec* take) {
  char path[MAX_PATH];
  std::snprintf(path, sizeof path, "%s", GetWvFormFilePath());
  return WvfCacheExists(take, path, sizeof path);
}

int WaveBuild(TakeRec* take) {
  return DoDialogParam(WndTable[kMainWnd], "ATAKE2WVFRMFILE", WvfBuildDlgProc, reinterpret_cast<LPARAM>(take)) == 1;
}

int TransportStopped() { return TransportState() == kTransportStopped; }

// ------------------------------------------------------------------ mixdown

constexpr int kMixdownMenuMax = 256;
int32_t g_mixdownChannels = 1;

// The routing menu: the current mixer's outputs at the pointer.
int32_t PickMixdownOutput(int32_t* channels) {
  int32_t routing[kMixdownMenuMax], counts[kMixdownMenuMax];
  const int n = MixMixdownOutputs(routing, counts, kMixdownMenuMax);
  if (n <= 0) return -1;
  HMENU menu = CreatePopupMenu();
  if (menu == nullptr) return -1;
  for (int i = 0; i < n; ++i) {
    char text[64];
    MixMixdownRoutingText(routing[i], counts[i], text, sizeof text);
    AppendMenuA(menu, MF_STRING, static_cast<UINT_PTR>(i + 1), text);
  }
  POINT at{};
  GetCursorPos(&at);
  const int chosen = static_cast<int>(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_LEFTALIGN | TPM_TOPALIGN,
                                                     at.x, at.y, 0, WndTable[kMainWnd], nullptr));
  DestroyMenu(menu);
  if (chosen < 1 || chosen > n) return -1;
  *channels = counts[chosen - 1];
  return routing[chosen - 1];
}

int32_t MixdownStereoPartner(int32_t recTrack) { return MixStereoPartnerTrk(CurMixDoc(), recTrack); }

int MixdownStart(int32_t output, const int32_t* recTracks, int32_t n, int32_t preRoll, int32_t end) {
  g_mixdownChannels = n;
  return MixStartMixdownMixer(output, n, recTracks) && TransportRunMixdown(preRoll, end);
}

void MixdownRoutingText(int32_t output, char* out, int size) {
  MixMixdownRoutingText(output, g_mixdownChannels, out, size);
}

// The automation follows the engine, the elements refresh and, along a
// tempo map, hear its tempo and meter at the location.
void MixdownWork(int32_t location) {
  MxaLocate(location);
  MixIdleTick(CurMixDoc());
  if (TempoMap == nullptr) return;
  const uint32_t rate = Settings().SampleRate;
  BbtRec bbt{};
  TempoTicksToBbt(TempoMap, TempoSamplesToTicks(TempoMap, rate, static_cast<uint32_t>(std::max(location, 0))), &bbt);
  uint32_t tempo = 0, meter[2] = {};
  TempoGetBpm(TempoMap, &tempo);
  TempoGetMeter(TempoMap, &meter[0], &meter[1]);
  MixDocSendTempo(CurMixDoc(), tempo, meter);
}

void MixdownFadeResolution(int32_t ms) { QVMXA_SetFadeResolTime(static_cast<uint32_t>(std::max(ms, 1))); }

// Also after a start that failed part way: whatever started is stopped and
// the user's mixer is back.
int MixdownFinish(int ok) {
  TransportEndMixdown(Locs().NowLoc);
  const int held = MixEndMixdownMixer();
  return ok && held;
}

// The events of one knob of an Automation Take's log over [from, to) of
// the Take, led by the last one before it, for the arrange window's curves.
int AutomEvents(uint32_t take, int32_t knob, int32_t from, int32_t to, int32_t scale, ArrAutomPoint* out, int max) {
  const MxaTake* t = MxaReadTake(TakeFromRef(take));
  if (t == nullptr || out == nullptr || max <= 0 || knob < 0 || knob >= MxaTakeKnobCount(t) || to <= from) return 0;
  int n = 0;
  uint32_t at = static_cast<uint32_t>(std::max(from, 0));
  int32_t value = 0;
  if (at > 0) {
    uint32_t before = at - 1;
    if (MxaTakeKnobEventNear(t, 1, knob, scale, &before, &value)) out[n++] = {static_cast<int32_t>(before), value};
  }
  while (n < max && at < static_cast<uint32_t>(to)) {
    uint32_t loc = at;
    if (!MxaTakeKnobEventNear(t, 0, knob, scale, &loc, &value) || loc >= static_cast<uint32_t>(to) || loc < at) break;
    out[n++] = {static_cast<int32_t>(loc), value};
    at = loc + 1;
  }
  return n;
}

int SamplePeaks(TakeRec* take, uint32_t count, uint32_t samplesPerEntry, uint32_t position, int16_t* out) {
  return NatDevGetEnvelopes(count, samplesPerEntry, take, position, out);
}

}  // namespace

void ProcOptionsFromSettings() {
  ProcOptions& o = ProcOpts();
  o.refATk = RadioValue(kGrpProcRefATk);
  o.delUnRefATk = RadioValue(kGrpProcDelATk);
  o.refCTk = RadioValue(kGrpProcRefCTk);
  o.delUnRefCTk = RadioValue(kGrpProcDelCTk);
  o.refMTk = RadioValue(kGrpProcRefMTk);
  o.delUnRefMTk = RadioValue(kGrpProcDelMTk);
  o.rec24Bit = GetRecResol() == 40356 ? 1 : 0;  // 40355 16-bit, 40356 24-bit
  o.autoGenWaveforms = AutoGenWvFrmFiles;
  o.appendLocalTime = AppendLocalTimeStr;
  o.streamSmpBufSize = StreamSmpBufSize;
}

void ProcSetFolder(const char* folder) {
  std::string f = folder ? folder : "";
  if (!f.empty() && f.back() != '\\') f += '\\';
  ProcOpts().folder = f;
}

void ProgramArrangeSeamsInit() {
  ProcOptionsFromSettings();
  char folder[MAX_PATH] = {};
  ReadIniString(Shell().iniPath, IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_RECORD_PROCESS_DIRECTORY, folder, sizeof folder);
  ProcSetFolder(folder);

  RecPassSeams rec;
  rec.groupWidth = GroupWidth;
  rec.columnName = ColumnName;
  rec.playTake = PlayTake;
  rec.localTimeStamp = LocalTimeStamp;
  rec.currentLoc = CurrentLoc;
  rec.recTransferLoc = RecTransferLoc;
  rec.showPosition = ShowPosition;
  rec.sleep = SleepMs;
  rec.recordTimeCode = RecordTimeCode;
  rec.automKnobRef = AutomKnobRef;
  RecSetPassSeams(rec);

  ProcInstallDialogs();
  ThinSetCopier(ThinCopy);
  ArrSetAutomEditor(AutomEdit);
  ArrSetAutomFront(&automFront);

  WaveformSeams wave;
  wave.cacheHas = WaveCacheHas;
  wave.build = WaveBuild;
  wave.stopped = TransportStopped;
  wave.invalidateParts = ArrRedrawWindows;
  wave.invalidateTakeList = ArrRedrawWindows;
  ArrSetWaveformSeams(wave);

  ArrDrawSeams draw;
  draw.automEvents = AutomEvents;
  draw.samplePeaks = SamplePeaks;
  draw.mixRecState = MixTrkRecState;
  draw.devicesPrepared = NatDevAnyInStatus3;
  draw.waitDevicesIdle = NatDevWaitIdle;
  ArrSetDrawSeams(draw);

  // The mixdown's outputs, stereo partners, mixer and run are the mixer's
  // and the transport's. The mixer's elements report no processing delay,
  // so a path to an output has none to cut off (no pathDelay).
  MixdownSeams mix;
  mix.pickOutput = PickMixdownOutput;
  mix.stereoPartner = MixdownStereoPartner;
  mix.run = MixdownRunWin;
  mix.localTimeStamp = LocalTimeStamp;
  MixdownSetSeams(mix);
  MixdownMixerHooks hooks;
  hooks.start = MixdownStart;
  hooks.routingText = MixdownRoutingText;
  hooks.location = CurrentLoc;
  hooks.work = MixdownWork;
  hooks.setFadeResolution = MixdownFadeResolution;
  hooks.finish = MixdownFinish;
  MixdownSetMixerHooks(hooks);
  MixdownSetFadeResolTime(Shell().sw.FadeResolTime);
}
