// SetArrParam: the one writer of the twenty project settings. Each index has
// an accessor pair, a validity check and its further effects; the entry point
// decides whether the value is taken and then runs the effects.
#include <cstddef>
#include <cstdint>
#include <iterator>

#include "logs/services.h"
#include "mixer/arrange/services.h"
#include "mixer/mix/services.h"
#include "mixer/model/mrkdir.h"
#include "mixer/model/settings.h"
#include "mixer/model/snap.h"
#include "mixer/model/timecode.h"
#include "mixer/shell/services.h"
#include "mixer/units/services.h"

namespace {

// Menu radio groups and checks.
constexpr uint32_t kRateMenuFirst = 41580;
constexpr uint32_t kRateMenuLast = 41590;
constexpr uint32_t kFrameMenuFirst = 41601;
constexpr uint32_t kFrameMenuLast = 41606;
constexpr uint32_t kSnapMenuFirst = 40520;
constexpr uint32_t kSnapMenuLast = 40538;
constexpr uint32_t kMenuModeOption3 = 41428;
constexpr uint32_t kMenuModeOption4 = 41429;
constexpr uint32_t kMenuLoop = 41430;

// Status fields.
constexpr int kFieldSnap = 0;
constexpr int kFieldRate = 2;
constexpr int kFieldFrameRate = 3;

// Shell settings compared with.
constexpr uint32_t kSyncInInternal = 40501;  // the only sync under which looping runs
constexpr uint32_t kMClkInternalUnit1 = 40408;
constexpr uint32_t kTimeFormatBars = 40518;

// Mode bits the control surface and the 9-pin machine are told about.
constexpr uint32_t kConsoleModeMask = kModeLoop | kModeOption3 | kModeOption4;  // 25
constexpr uint32_t kMachineModeMask = kModeOption3 | kModeOption4;

constexpr uint32_t kMaxThinFactor = 1000;
constexpr uint32_t kMaxAutoRecMode = 2;
constexpr uint32_t kMaxMeterNum = 15;

// The rates of the rate menu, in the order of its items.
constexpr uint32_t kMenuRates[] = {22050, 32000, 44056, 44100, 47952, 48000,
                                   64000, 88112, 88200, 95904, 96000};
static_assert(std::size(kMenuRates) == kRateMenuLast - kRateMenuFirst + 1);

// The rate's radio item; 0 for a rate not in the menu.
uint32_t RateMenuItem(uint32_t rate) {
  for (size_t i = 0; i < std::size(kMenuRates); ++i)
    if (kMenuRates[i] == rate) return kRateMenuFirst + static_cast<uint32_t>(i);
  return 0;
}

ProjectSettings& S() { return Settings(); }

// ---- validity ----

bool AnyValue(uint32_t) { return true; }
bool ValidRate(uint32_t v) { return ValidSampleRate(v) != 0 && RateMenuItem(v) != 0; }
bool ValidFrameRate(uint32_t v) { return FrameRateFind(v) != nullptr; }
bool ValidMeter(uint32_t v) {
  const uint32_t num = v >> 16, den = v & 0xFFFF;
  return num >= 1 && num <= kMaxMeterNum && (den == 4 || den == 8 || den == 16);
}
bool ValidTempo(uint32_t v) { return v != 0; }
bool ValidSnap(uint32_t v) { return v <= kSnapAllTargets; }
bool ValidThin(uint32_t v) { return v <= kMaxThinFactor; }
bool ValidAutoRecMode(uint32_t v) { return v <= kMaxAutoRecMode; }
bool Fits16(uint32_t v) { return v <= 0xFFFF; }

// ---- shared effects ----

int32_t Varispeed() { return static_cast<int32_t>(S().SyncSource); }

void SendRateToUnits() {
  constexpr int kAfterClockChange = 3;
  UnitsSetSampleRate(kAfterClockChange, S().SampleRate, Varispeed(), 0);
}

void CardsSync() { CardsSyncCommand(S().SampleRate, S().SyncSource, Locs().NowLoc, S().TcOffset, 0, 0); }

void LocateUnits() { UnitsLocate(Locs().NowLoc); }

void ShowLeftRight() {
  TransportShowLeftLoc();
  TransportShowRightLoc();
}

// The left and right displays follow the time format they show.
void ShowLeftRightIf(bool bars) {
  if ((GetTimeFormat() == kTimeFormatBars) == bars) ShowLeftRight();
}

void RedrawViews() {
  ArrRedrawWindows();
  MrkDirRefresh(kMrkDirRebuild, 0);
}

void SendLoopRange() {
  const int on = (S().PlayRecMode & kModeLoop) ? 1 : 0;
  UnitsSetLoop(1, on, 0);
  MidiSetLoop(on ? 1 : 0, 0);
}

// ---- effects by index ----

void AfterRate() {
  const uint32_t rate = S().SampleRate;
  const uint32_t item = RateMenuItem(rate);
  MainMenuCheckRadio(kRateMenuFirst, kRateMenuLast, item);
  StatusUpdate(kFieldRate, item, 0);
  QVVPLAYER_SetSampleRate(rate);
  VideoSetOffset(S().TcOffset);
  NatDevSetSrate(rate);
  TransportShowNowTimecode();
  TransportShowNowBars();
  ShowLeftRight();
  TransportShowTimecodeOffset();
  SendRateToUnits();
  LocateUnits();
  UnitsPrepPlayBufs(Locs().NowLoc);
  RedrawViews();
  CardsSync();
  MixReallocDsp();
  MixSendTrkColors();
  MixGreyUnavailableIo();
}

void AfterSyncSource() {
  // Forced: the field's colour follows the varispeed while its value stays.
  StatusUpdate(kFieldRate, RateMenuItem(S().SampleRate), 1);
  MixUpdateMainCaption();
  SendRateToUnits();
  UnitsSetSync();
  CardsSync();
}

void AfterFrameRate() {
  const uint32_t item = FrameRateFind(S().CurFrameRate)->MenuCmd;
  MainMenuCheckRadio(kFrameMenuFirst, kFrameMenuLast, item);
  StatusUpdate(kFieldFrameRate, item, 0);
  VideoSetOffset(S().TcOffset);
  TransportShowNowTimecode();
  TransportShowTimecodeOffset();
  UnitsSetSync();
  LocateUnits();
  ShowLeftRightIf(false);
  RedrawViews();
}

void AfterMeter() {
  TransportShowMeter(1);
  TransportShowNowBars();
  ShowLeftRightIf(true);
  RedrawViews();
  MixSendTempoToElems();
}

void AfterTempo() {
  TransportShowTempo(1);
  TransportShowNowBars();
  UnitsSetSync();
  LocateUnits();
  ShowLeftRightIf(true);
  RedrawViews();
  MixSendTempoToElems();
}

void AfterTcOffset() {
  TransportShowTimecodeOffset();
  TransportShowNowTimecode();
  ShowLeftRight();
  UnitsSetSync();
  NatDevSetTimeCodeStatics(S().CurFrameRate, S().TcOffset);
  LocateUnits();
  VideoSetOffset(S().TcOffset);
  CardsSync();
  RedrawViews();
}

void AfterSnap() {
  const uint32_t item = kSnapMenuFirst + S().SnapMode;
  MainMenuCheckRadio(kSnapMenuFirst, kSnapMenuLast, item);
  StatusUpdate(kFieldSnap, item, 0);
}

void AfterPlayRecMode() {
  const uint32_t mode = S().PlayRecMode;
  SendLoopRange();
  MainMenuCheck(kMenuModeOption3, (mode & kModeOption3) ? 1 : 0);
  MainMenuCheck(kMenuModeOption4, (mode & kModeOption4) ? 1 : 0);
  MainMenuCheck(kMenuLoop, (mode & kModeLoop) ? 1 : 0);
  TransportShowModeLamps();
  ConsoleNotifyModes(mode, kConsoleModeMask);
  NinePinSetMachineFlags(mode, kMachineModeMask);
}

void StoredOnly() {}
void AfterTouchTimeout() { QVMXA_SetTouchTimeout(S().AutoTouchTimeout); }
void AfterReturnTime() { QVMXA_SetMatchTime(S().AutoReturnTime); }
void AfterThinFactor() { MxaStoreSetting(S().AutoThinFactor); }
void AfterAutoRecMode() { MxaSetRecordMode(S().AutoRecMode, S().AutoFlags); }

// ---- the table ----

template <uint32_t ProjectSettings::*M> uint32_t Get(const ProjectSettings& s) { return s.*M; }
template <uint32_t ProjectSettings::*M> void Set(ProjectSettings& s, uint32_t v) { s.*M = v; }
template <uint16_t ProjectSettings::*M> uint32_t Get16(const ProjectSettings& s) { return s.*M; }
template <uint16_t ProjectSettings::*M> void Set16(ProjectSettings& s, uint32_t v) {
  s.*M = static_cast<uint16_t>(v);
}
uint32_t GetMeter(const ProjectSettings& s) { return uint32_t{s.MeterNum} << 16 | s.MeterDen; }
void SetMeter(ProjectSettings& s, uint32_t v) {
  s.MeterNum = static_cast<uint16_t>(v >> 16);
  s.MeterDen = static_cast<uint16_t>(v & 0xFFFF);
}

struct ParamDef {
  uint32_t (*get)(const ProjectSettings&);
  void (*set)(ProjectSettings&, uint32_t);
  bool (*valid)(uint32_t);
  void (*after)();
  bool whileRunning;  // applied while the transport is not stopped
};

using P = ProjectSettings;
constexpr ParamDef kParams[] = {
    {Get<&P::SampleRate>, Set<&P::SampleRate>, ValidRate, AfterRate, false},
    {Get<&P::SyncSource>, Set<&P::SyncSource>, AnyValue, AfterSyncSource, true},
    {Get<&P::CurFrameRate>, Set<&P::CurFrameRate>, ValidFrameRate, AfterFrameRate, false},
    {GetMeter, SetMeter, ValidMeter, AfterMeter, false},
    {Get<&P::Tempo>, Set<&P::Tempo>, ValidTempo, AfterTempo, false},
    {Get<&P::TcOffset>, Set<&P::TcOffset>, AnyValue, AfterTcOffset, false},
    {Get<&P::SnapMode>, Set<&P::SnapMode>, ValidSnap, AfterSnap, true},
    {Get<&P::PlayRecMode>, Set<&P::PlayRecMode>, AnyValue, AfterPlayRecMode, false},
    {Get<&P::PreRoll>, Set<&P::PreRoll>, AnyValue, StoredOnly, false},
    {Get<&P::PostRoll>, Set<&P::PostRoll>, AnyValue, StoredOnly, false},
    {Get<&P::MaxRecTime>, Set<&P::MaxRecTime>, AnyValue, StoredOnly, false},
    {Get<&P::AutoTouchTimeout>, Set<&P::AutoTouchTimeout>, AnyValue, AfterTouchTimeout, false},
    {Get<&P::AutoReturnTime>, Set<&P::AutoReturnTime>, AnyValue, AfterReturnTime, false},
    {Get<&P::AutoThinFactor>, Set<&P::AutoThinFactor>, ValidThin, AfterThinFactor, false},
    {Get16<&P::AutoRecMode>, Set16<&P::AutoRecMode>, ValidAutoRecMode, AfterAutoRecMode, false},
    {Get16<&P::AutoFlags>, Set16<&P::AutoFlags>, Fits16, AfterAutoRecMode, false},
    {Get<&P::SnapshotPartLen>, Set<&P::SnapshotPartLen>, AnyValue, StoredOnly, false},
    {Get<&P::SnapshotFadeIn>, Set<&P::SnapshotFadeIn>, AnyValue, StoredOnly, false},
    {Get<&P::SnapshotFadeOut>, Set<&P::SnapshotFadeOut>, AnyValue, StoredOnly, false},
    {Get<&P::SnapshotFlags>, Set<&P::SnapshotFlags>, AnyValue, StoredOnly, false},
};
constexpr int32_t kParamCount = static_cast<int32_t>(std::size(kParams));
static_assert(kParamCount == 20);

constexpr int32_t kParamRate = 0;
constexpr int32_t kParamPlayRecMode = 7;

// The value as stored: the loop bit of the play/record mode is kept only
// under the internal sync.
uint32_t Normalise(int32_t index, uint32_t value) {
  if (index == kParamPlayRecMode && GetSyncIn() != kSyncInInternal) return value & ~kModeLoop;
  return value;
}

// The rate counts as a change of the arrangement only while unit 1 runs on
// its internal clock.
bool RaisesChangeCount(int32_t index) {
  return index != kParamRate || GetMClkUnit(0) == kMClkInternalUnit1;
}

}  // namespace

int SetArrParam(int32_t index, uint32_t value) {
  if (index < 0 || index >= kParamCount) return 0;
  const ParamDef& def = kParams[index];
  if (!def.whileRunning && TransportState() != kTransportStopped) return 0;
  if (!def.valid(value)) return 0;
  value = Normalise(index, value);
  if (value == def.get(S())) return 0;
  def.set(S(), value);
  if (RaisesChangeCount(index)) ArrChangeCountRaise();
  def.after();
  return 1;
}
