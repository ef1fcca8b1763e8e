#include "mixer/mix/win32/mixwin.h"

#include <windows.h>

#include "mixer/mix/mixaut.h"
#include "mixer/mix/mixdsp.h"
#include "mixer/mix/win32/winlib.h"
#include "mixer/model/host.h"
#include "mixer/model/arr.h"
#include "mixer/model/recready.h"
#include "mixer/model/settings.h"
#include "mixer/model/take.h"
#include "mixer/model/takeattr.h"
#include "mixer/model/trkcolors.h"
#include "mixer/shell/wndtable.h"
#include "mixer/units/services.h"

namespace {

uint32_t FlagsOf(uint32_t kind) {
  switch (kind) {
    case kMixMsgYesNo: return MB_YESNO | MB_ICONQUESTION | MB_TASKMODAL;
    case kMixMsgYesNoCancel: return MB_YESNOCANCEL | MB_ICONQUESTION | MB_TASKMODAL;
    default: return MB_OK | MB_ICONEXCLAMATION | MB_TASKMODAL;
  }
}

class ProgramHost : public MixHost {
 public:
  int Message(uint32_t id, uint32_t kind, const char* arg) override {
    return MessageBoxById(nullptr, id, FlagsOf(kind), arg ? arg : "");
  }
  int UnitCount() override { return ::UnitCount(); }
  // The mixer counts units from 0, the unit table from 1.
  int UnitHasMixerDsps(int unit) override { return UnitHasMixDsps(unit + 1); }
  int UnitMixerDspCount(int unit) override { return UnitHasMixDsps(unit + 1) ? 1 : 0; }
  uint32_t SampleRate() override { return Settings().SampleRate; }
  uint32_t TempoX100AtStart() override { return Settings().Tempo; }
  void MeterAtStart(uint32_t meter[2]) override {
    meter[0] = Settings().MeterNum;
    meter[1] = Settings().MeterDen;
  }
  int TransportState() override { return ::TransportState(); }
  uint32_t TimerCount() override { return GetTickCount(); }
  int32_t LeftLocator() override { return Locs().LeftLoc; }
  int32_t RightLocator() override { return Locs().RightLoc; }

  int AutRecTrackState(int t) override { return RecTrkGetState(kRecKindAutom, t + 1); }
  int AudioRecTrackState(int t) override { return RecTrkGetState(kRecKindAudio, t + 1); }
  void SetAudioRecTrackState(int t, int state) override { RecTrkSetState(kRecKindAudio, t + 1, state); }
  MixAutRecordSettings AutRecordSettings() override {
    MixAutRecordSettings s;
    s.firstTimeMs = Settings().AutoTouchTimeout;
    s.secondTimeMs = Settings().AutoReturnTime;
    return s;
  }
  // Automation Parts that play: their play channel is their automation
  // track (1..128).
  void AutomationParts(std::vector<MixAutPart>* out) override {
    out->clear();
    ArrForEachPart(CurArr, [out](uint32_t, uint32_t, const PartRec& p) {
      if (p.TakeKind != kTakeAutom || p.PlayChannel < 1 || p.PlayChannel > kRecTrksAutom || p.Length <= 0 ||
          p.Start < 0 || p.Offset < 0)
        return;
      TakeRec* take = TakeFromRef(p.Take);
      if (take)
        out->push_back({p.PlayChannel - 1, static_cast<uint32_t>(p.Start), static_cast<uint32_t>(p.Length),
                        static_cast<uint32_t>(p.Offset), take});
    });
  }
  uint32_t AudioTrackColor(int t) override { return t >= 0 && t < kTrkColorCount ? TrkColors[t] : 0; }

  uint32_t TakeWord(void* take, uint32_t attr) override {
    return static_cast<uint32_t>(TakeGetAttr(static_cast<TakeRec*>(take), attr));
  }
  int TakeSetWord(void* take, uint32_t attr, uint32_t value) override {
    return TakeSetAttr(static_cast<TakeRec*>(take), attr, value, nullptr);
  }
  int TakeData(void* take, int write, uint32_t pos, uint32_t count, void* buf) override {
    return TakeDataIo(static_cast<TakeRec*>(take), write, pos, count, buf, nullptr);
  }

  void SetMenuChecks(MixDoc* doc) override {
    HMENU menu = GetMenu(static_cast<HWND>(WndTable[kMainWnd]));
    if (!menu || !doc) return;
    // Edit mode is on while the edit lock is 0.
    const int marks[3][2] = {{41558, !doc->EditLock}, {41559, doc->AutomEnable != 0}, {41560, doc->DelayComp != 0}};
    for (const auto& m : marks) CheckMenuItem(menu, m[0], MF_BYCOMMAND | (m[1] ? MF_CHECKED : MF_UNCHECKED));
  }
  // The units' DSP command layer is not part of the program yet: a block
  // for a mixer DSP is refused, so an element's DSP writes fail honestly.
  int DspBlock(int, int, uint32_t, uint32_t, uint32_t, uint32_t*) override { return 0; }
};

// Knob moves of an element window become automation moves.
int32_t ELEMAPI MixElemNotify(void* hostContext, uint32_t code, uintptr_t value) {
  MixElem* elem = static_cast<MixElem*>(hostContext);
  if (code == kNotifyKnob && elem && elem->Knobs && value) {
    const ELEMKNOBVALUE* kv = reinterpret_cast<const ELEMKNOBVALUE*>(value);
    if (kv->Index < static_cast<uint32_t>(elem->KnobCount)) MxaSetKnobValue(&elem->Knobs[kv->Index], kv->Value, 0);
  }
  return code <= kNotifySoloGroup ? 1 : 0;
}

ProgramHost g_host;

}  // namespace

void MixProgramSetUp() {
  static bool done = false;
  if (done) return;
  done = true;
  MixSetHost(&g_host);
  MixSetAutLib(&DllAutLib());
  ElemSetHostCallbacks(&DspCommandBlock, &MixElemNotify);
}

MixDoc*& MixCurrentDoc() {
  static MixDoc* doc = nullptr;
  return doc;
}

std::string& MixCurrentPath() {
  static std::string path;
  return path;
}
