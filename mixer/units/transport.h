// The transport: one command runs every movement of the recorder (wind,
// stop, locate moves, play, record, the end of a recording pass), driving in
// a fixed order the DSP units, the native devices, automation, MIDI, the
// video player, the 9-pin machine, the control surface and the arrange
// editor. Its state lives in the four lamps of the transport bar.
//
// The core is portable: everything it drives is reached through
// TransportHost, which the program binds to its services and tests replace
// with a recording fake.
#pragma once

#include <cstdint>

// Commands 0..17; anything above 17 does nothing.
enum TransportCmd : int {
  kTcRewind = 0,
  kTcFastForward = 1,
  kTcRelocate = 2,
  kTcStopStep1 = 3,
  kTcStop = 4,
  kTcStopStep2 = 5,
  kTcLocatePrevEdge = 6,
  kTcLocateNextEdge = 7,
  kTcLocateSnapBack = 8,
  kTcLocateSnapForward = 9,
  kTcLocateStart = 10,
  kTcLocateEnd = 11,
  kTcLocateDone = 12,
  kTcPlay = 13,
  kTcPlayVideoSync = 14,
  kTcRecord = 15,
  kTcRecordVideoSync = 16,
  kTcPassEnd = 17,
};
inline constexpr int kTransportLastCmd = 17;

// What the transport drives, in the words of the calls it makes.
class TransportHost {
 public:
  virtual ~TransportHost() = default;

  // Positions and modes.
  virtual int32_t NowLoc() = 0;
  virtual void SetNowLoc(int32_t position) = 0;
  virtual int32_t LeftLoc() = 0;
  virtual int32_t RightLoc() = 0;
  virtual int SeamlessLoopOn() = 0;  // loop and seamless mode bits both set
  virtual int LoopOn() = 0;          // loop mode bit set
  virtual int32_t SampleRate() = 0;

  // Units (each call covers every unit of the unit table).
  virtual void UnitsStop() = 0;
  virtual void UnitsLocate(int32_t position) = 0;
  virtual void UnitsPrepPlayBufs(int32_t position) = 0;
  virtual void UnitsWaitUntilIdle() = 0;
  // Starts play or record on every unit; 0 when a unit refused.
  virtual int UnitsStartPlayRec(int record) = 0;
  virtual void UnitsWind(int32_t speed) = 0;  // speed x 32768 / 10
  virtual void UnitsSetLoop(int kind, int on, int flag) = 0;
  virtual void CardsSyncCommand(int32_t position) = 0;

  // Native devices.
  virtual int32_t NatDevGetClocAll() = 0;
  virtual void NatDevStopAll() = 0;
  virtual void NatDevPrepAll(int32_t position) = 0;
  // Waits until the devices have left the prepared state (buffers filled).
  virtual void NatDevWaitPrepared() = 0;
  virtual void NatDevStartAll() = 0;
  virtual void RefreshPlayLists(int32_t position) = 0;
  virtual void RebuildAllPlayLists() = 0;
  // The end of play set on the units and the native devices.
  virtual void SetPlayEnd(int32_t position) = 0;
  // Scrub buffers prepared over [from, to), and scrubbing started in mode
  // 0, 1 or 2.
  virtual void UnitsPrepScrubBufs(int32_t from, int32_t to) = 0;
  virtual void UnitsStartScrub(int mode) = 0;
  // Sync mode 40505 with the sync settings' flags, for a scrub that follows
  // the 9-pin machine.
  virtual void SetScrubSyncMode() = 0;
  // The units' play flags of the current sync mode back.
  virtual void RestorePlayFlags() = 0;
  // The units' loop and punch ranges off.
  virtual void UnitsLoopPunchOff() = 0;

  // Automation.
  virtual void MxaStopPlayRec(int32_t position) = 0;
  virtual void MxaStartPlayRec() = 0;
  virtual void MxaSetNowLoc(int32_t position) = 0;
  virtual void MxaLocate(int32_t position) = 0;
  virtual void MxaWriteChangedTakes() = 0;
  virtual void MxaRebuildPlayMaps() = 0;
  virtual int MixHasNatRecElem() = 0;
  // The mixer's record/monitor state (1 while solo play or an audition runs).
  virtual void MixSetRecMonState(int state) = 0;
  virtual void MixSetTrkRecState() = 0;

  // MIDI.
  virtual void MidiStopPlayRec(int32_t position) = 0;
  virtual void MidiPrepPlayBufs(int32_t position) = 0;
  virtual void MidiStartPlayRec() = 0;
  virtual void MidiSetLoop(int kind, int prepare) = 0;
  virtual void MidiSaveLogs() = 0;
  virtual void MidiBuildPlayLists(int afterRecording) = 0;

  // Video.
  virtual void VideoStop() = 0;
  virtual void VideoPrepPlay(int32_t position) = 0;
  virtual void VideoStart() = 0;

  // 9-pin machine.
  virtual int NinePinLeads() = 0;
  virtual void NinePinWind(int cmd) = 0;
  virtual int32_t NinePinGetMachinePos() = 0;
  virtual void NinePinTransportEvent(int event, int32_t position) = 0;

  // Control surface.
  virtual void ConsoleNotifyTransport(int state) = 0;
  virtual void ConsoleNotifyModes() = 0;

  // Arrange editor and the arrangement.
  virtual void ArrRecordStop(int32_t position) = 0;
  virtual void ArrUpdateRuler() = 0;
  // Prepares the record pass over [start, end); 0 when nothing records.
  virtual int ArrRecordPass(int32_t start, int32_t end) = 0;
  virtual void ArrRecordLoopStep() = 0;
  virtual void ArrRedrawRecordParts() = 0;
  virtual void ArrRefreshAfterLocate() = 0;
  virtual void ArrGenTakeWaveforms() = 0;
  virtual int32_t ArrNxtSectionEdge(int32_t position) = 0;
  virtual int32_t ArrPrevSectionEdge(int32_t position) = 0;
  virtual int32_t SnapStep(int32_t position, int direction) = 0;
  virtual int32_t ArrStartLoc() = 0;
  virtual int32_t ArrEndLoc() = 0;
  // Free recording time in samples, and whether the record-ready tracks
  // fit the tracks a recording track takes; each shows its own message.
  virtual uint32_t RecTimeAvailable() = 0;
  virtual int RecTracksFit() = 0;

  // Displays.
  virtual void ShowNowBars() = 0;
  virtual void ShowNowTimecode() = 0;
  virtual void ShowLamps() = 0;  // the four lamps and the mode lamps
  virtual void UpdateRecLamps() = 0;
  virtual void StatusRefresh() = 0;
  virtual void UpdateEndLoc() = 0;
};

// The four lamps and the wind speed.
struct TransportLamps {
  bool rewind = false;
  bool fastForward = false;
  bool play = false;
  bool record = false;
};

void TransportBind(TransportHost* host);
// Runs one command (0..17).
void TransportRun(int cmd);
// 0 rewinding, 1 fast-forwarding, 2 stopped, 3 playing, 4 recording, read
// from the lamps.
int TransportStateOf(const TransportLamps& lamps);
const TransportLamps& TransportLampState();
int32_t TransportWindSpeed();
// Forgets the lamps, the wind and the solo flag (tests, and the program's
// start).
void TransportReset();

// Solo play over play lists compiled by the caller: the transport starts
// from `start` with no loop, plays to `end`, and the next stop brings the
// normal play lists back. 1 when it started; when it could not, the normal
// play lists are back at once.
int TransportRunSolo(int32_t start, int32_t end);
// Scrub from `position` over the solo play lists in mode 0, 1 or 2 (2: the
// transport follows the 9-pin machine); a stop ends it and brings the
// normal play lists back.
void TransportRunScrub(int32_t position, int mode);
// 1 while solo play or scrub holds play lists of its own.
int TransportSoloActive();
int TransportScrubbing();
// A crossfade audition over play lists compiled by the caller, played once
// from `from` to `to` outside the transport's lamps. 1 when it started.
int TransportRunAudition(int32_t from, int32_t to);
void TransportEndAudition();
// A mixdown's pass from `from` to `to`, outside the transport's lamps: no
// loop on the units or MIDI, time code sent to the cards, the play lists
// rebuilt and everything located at `from`, then the units recording (the
// mixdown mixer's recorder elements choose the tracks) with automation and
// MIDI playing. 1 when it started; a unit that refuses stops everything.
int TransportRunMixdown(int32_t from, int32_t to);
// Stops the pass and puts the transport back at `back`: its loop, its play
// end, its play lists, automation and MIDI.
void TransportEndMixdown(int32_t back);
// The least free recording time, in samples, that lets a recording start.
inline constexpr uint32_t kTransportMinRecTime = 1;
