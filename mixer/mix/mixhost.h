// What the mixer needs of the rest of the program: messages, the units, the
// transport and the arrangement, and the automation library's exports. The
// program sets one host and one automation library at start-up; tests set
// their own recording stand-ins.
#pragma once

#include <cstdint>
#include <vector>

#include "logs/qvMxAut/autlog.h"
#include "mixer/mix/mixdsp.h"

struct MixDoc;

// Answers of MixHost::Message.
enum : int { kMixAnswerOk = 1, kMixAnswerYes = 6, kMixAnswerNo = 7, kMixAnswerCancel = 2 };
// Kinds of MixHost::Message.
enum : uint32_t { kMixMsgExclamation = 0, kMixMsgYesNo = 1, kMixMsgYesNoCancel = 2 };

// Automation record options (bits of MixAutRecordSettings::options).
constexpr uint32_t kMxaRecOptOnce = 1;     // class-1 knobs sent once with code 2
constexpr uint32_t kMxaRecOptEnd = 2;      // write the end of the range too
constexpr uint32_t kMxaRecOptReturn = 4;  // ... with a return before the end

// An Automation Part as the play maps need it: its automation track
// (0..127), its stretch of the time line and of its Take, and the Take.
struct MixAutPart {
  int32_t track;
  uint32_t start, length, offset;
  void* take;
};

struct MixAutRecordSettings {
  uint32_t options = 0;
  uint32_t firstTimeMs = 0;   // lead-in after the range start
  uint32_t secondTimeMs = 0;  // lead-out before the range end
  int32_t stepLength = 0;     // 0: the range is the locators
};

class MixHost {
 public:
  virtual ~MixHost() = default;

  // Messages of the string table; kind as above, arg fills a %s.
  virtual int Message(uint32_t id, uint32_t kind, const char* arg) = 0;
  virtual void StartupText(const char*) {}

  // Units: count, mixer DSP cards, the first per-model channel count.
  virtual int UnitCount() { return 0; }
  virtual int UnitHasMixerDsps(int) { return 0; }
  virtual int UnitMixerDspCount(int) { return 0; }
  virtual int UnitCardOnly(int) { return 0; }
  virtual int UnitChannelCount(int) { return 0; }
  virtual int DefaultUnit() { return 0; }

  // Engine and arrangement.
  virtual uint32_t SampleRate() { return 48000; }
  virtual uint32_t TempoX100AtStart() { return 12000; }
  virtual void MeterAtStart(uint32_t meter[2]) {
    meter[0] = 4;
    meter[1] = 4;
  }
  virtual int TransportState() { return 2; }
  // A transport flag that keeps the automation position where it is.
  virtual int TransportBusyFlag() { return 0; }
  virtual uint32_t TimerCount() { return 0; }
  virtual uint32_t RecordingUnitClock() { return 0; }
  virtual int32_t LeftLocator() { return 0; }
  virtual int32_t RightLocator() { return 0; }

  // Record-track states: automation 0..127, audio 0..191 (2 = ready).
  virtual int AutRecTrackState(int) { return 0; }
  virtual int AudioRecTrackState(int) { return 0; }
  virtual void SetAudioRecTrackState(int, int) {}
  // The record setting that the automation record command sets to 24 for
  // its run; returns the old value.
  virtual uint32_t SwapRecordSetting(uint32_t value) { return value; }
  virtual MixAutRecordSettings AutRecordSettings() { return {}; }
  virtual int RecordPass(int32_t, int32_t) { return 0; }
  virtual void RecordStop(int32_t) {}
  virtual void RefreshDisplays() {}

  // The units' mixer DSPs: what one holds, and one command block (at most
  // 255 words) to DSP `dsp` of a unit at a word address; 1 when accepted.
  // Reads (ops 25, 30, 35) fill words.
  virtual MixDspCapacity DspCapacity(int) { return {}; }
  virtual int DspBlock(int, int, uint32_t, uint32_t, uint32_t, uint32_t*) { return 0; }

  // Colour of audio record track t (0..191), 0x00BBGGRR.
  virtual uint32_t AudioTrackColor(int) { return 0; }

  // Automation Take files through the Take store: a word attribute, its
  // change, and a byte range of the Take's data (write 1) or from it (0).
  virtual uint32_t TakeWord(void*, uint32_t) { return 0; }
  virtual int TakeSetWord(void*, uint32_t, uint32_t) { return 0; }
  virtual int TakeData(void*, int, uint32_t, uint32_t, void*) { return 0; }

  // Neighbours of the document: the control surface, record-track
  // assignments and the menu check marks.
  virtual void DocumentChanged(MixDoc*) {}
  virtual void SetMenuChecks(MixDoc*) {}
  // The Automation Parts of the current arrangement.
  virtual void AutomationParts(std::vector<MixAutPart>*) {}

  // Frame layout measured by the shell.
  virtual int FrameBorder() { return 4; }
  virtual int MixerTopOffset() { return 40; }
};

// The automation library's exports that the mixer calls (1 success, 0
// failure), so that the mixer can be run against the DLL or a stand-in.
class MixAutLib {
 public:
  virtual ~MixAutLib() = default;
  virtual int32_t SetRecordMode(uint32_t mode) = 0;
  virtual int32_t StartPlayRec() = 0;
  virtual int32_t StopPlayRec(uint32_t flag, uint32_t location) = 0;
  virtual int32_t SetLocator(uint32_t location, uint32_t knobChanged) = 0;
  virtual int32_t CreateKnob(uint32_t hostKnobId, const AutKnobDesc* desc, AutKnobHandle* out) = 0;
  virtual int32_t DeleteKnob(AutKnobHandle knob) = 0;
  virtual int32_t SetKnobAutomEnableMode(AutKnobHandle knob, uint32_t mode) = 0;
  virtual int32_t SetKnobValue(AutKnobHandle knob, int32_t value, uint32_t location, uint32_t code) = 0;
  virtual int32_t SetKnobTrkAndIndx(AutKnobHandle knob, uint32_t track, uint32_t index) = 0;
  virtual int32_t CreateViewList(uint32_t track, uint32_t kind, AutViewListHandle* out) = 0;
  virtual int32_t AddView(AutViewListHandle list, const AutView* view) = 0;
  virtual int32_t DeleteAllViewLists(uint32_t kind) = 0;
  virtual int32_t CreatePlayLogKnobMap(int32_t count, AutMapHandle* out) = 0;
  virtual int32_t SetPlayLogKnobMapValue(AutMapHandle map, int32_t index, AutKnobHandle knob) = 0;
  virtual int32_t DeleteAllPlayLogKnobMaps() = 0;
  virtual int32_t CreateLog(AutLogHandle* out) = 0;
  virtual int32_t GetLogKnobEventCnt(AutLogHandle log, int32_t* count) = 0;
  virtual int32_t GetAllLogKnobEvents(AutLogHandle log, int32_t* count, AutLogKnobEvent* out) = 0;
  virtual int32_t CopyLog(AutLogHandle* out, AutLogHandle source, uint32_t start, uint32_t end) = 0;
  virtual int32_t ReduceLogKnobEvents(AutLogHandle log, int32_t key, uint32_t start, uint32_t end,
                                      uint32_t tolerance) = 0;
  virtual int32_t AddLogKnobEvent(AutLogHandle log, const AutLogKnobEvent* event) = 0;
  virtual int32_t DeleteLogKnobEvent(AutLogHandle log, int32_t key, uint32_t location) = 0;
  virtual int32_t DeleteLog(AutLogHandle log) = 0;
  virtual int32_t DeleteRecordLogKnobMap(AutMapHandle map) = 0;
  virtual int32_t GetRecordLogKnobMapValue(AutMapHandle map, int32_t index, int32_t* key, int32_t* written) = 0;
  virtual int32_t GetPrvLogKnobEventFromLoc(AutLogHandle log, int32_t key, uint32_t location,
                                            AutLogKnobEvent* out) = 0;
  virtual int32_t GetNxtLogKnobEventFromLoc(AutLogHandle log, int32_t key, uint32_t location,
                                            AutLogKnobEvent* out) = 0;
};

// The host and the automation library in use; never null once set.
void MixSetHost(MixHost* host);
MixHost& MixHostGet();
void MixSetAutLib(MixAutLib* lib);
MixAutLib& MixAutLibGet();
