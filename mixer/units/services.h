// Services of the units, the play-list compiler, the transport and the
// machine, MIDI, console and video links, as the model calls them. Positions
// are samples.
#pragma once

#include <cstdint>

// Transport states.
enum : int {
  kTransportRewind = 0,
  kTransportFastForward = 1,
  kTransportStopped = 2,
  kTransportPlaying = 3,
  kTransportRecording = 4,
};

// 0 rewinding, 1 fast-forwarding, 2 stopped, 3 playing, 4 recording.
int TransportState();

// Units and cards.
// Sends the rate (with the varispeed in 1/100 percent) to every unit and the
// mixer DSPs; mode 1 after an I/O-mode change, 3 after sync or clock changes,
// 4 with the AES/EBU channel-status flag as the last argument.
void UnitsSetSampleRate(int mode, uint32_t rate, int32_t varispeed, int flag);
// Sends the sync configuration to every unit; 0 on the first failure.
int UnitsSetSync();
void UnitsLocate(int32_t position);
void UnitsPrepPlayBufs(int32_t position);
// Starts play (0) or record (1) on every prepared unit; 0 when a unit
// refused.
int UnitsStartPlayRec(int record);
// Winds every unit at the speed (wind steps x 32768 / 10; 0 stops).
void UnitsWind(int32_t speed);
// Sends the loop (kind 1) or punch (kind 2) range to every unit and native
// device.
void UnitsSetLoop(int kind, int on, int flag);
// Prepares every unit's scrub buffers over [from, to) and starts scrubbing
// in mode 0, 1 or 2.
void UnitsPrepScrubBufs(int32_t from, int32_t to);
void UnitsStartScrub(int mode);
// Synchronises and locates the cards; position -1 = none.
void CardsSyncCommand(uint32_t rate, uint32_t sync, int32_t position, uint32_t a, uint32_t b,
                      uint32_t c);
// Re-sends each track's play list whose loaded window the position has left;
// 0 when the lists were not updated in time.
int RefreshPlayLists(int32_t position);

// Native devices.
void NatDevSetSrate(uint32_t rate);
// 1 with the reference of the Take whose read or write callback failed on
// any open native device, 0 when none.
int NatDevGetDiskErrorStat(uint32_t* take);
void NatDevSetTimeCodeStatics(uint32_t frameRateCode, uint32_t tcOffset);
// Waveform overview entries of an Audio Take: `count` pairs {i16 maximum,
// i16 minimum} into `buffer` (2 x count values), each over `samplesPerEntry`
// samples, the first from sample `position` after the Take's data start.
// 0 when no native device is open.
struct TakeRec;
int NatDevGetEnvelopes(uint32_t count, uint32_t samplesPerEntry, TakeRec* take,
                       uint32_t position, int16_t* buffer);

// MIDI loop: kind 1 between the locators, 2 loop record with rolls, other
// off; 0 when the range cannot be looped.
int MidiSetLoop(int kind, int prepare);
// Frees the MIDI event log of a Midi Take (its log handle); 1.
int MidiDeleteTakeLog(uint32_t log);

// Transport window displays, redrawn from the settings and locators.
void TransportShowNowBars();
void TransportShowNowTimecode();
void TransportShowLeftLoc();
void TransportShowRightLoc();
void TransportShowTimecodeOffset();
void TransportShowMeter(int force);
void TransportShowTempo(int force);
void TransportShowModeLamps();
// Recomputes the play/record end location from the locators and the
// loop/punch flags and sends it to the units and MIDI.
void TransportUpdateEndLoc();
// The most samples per track the running recording may still take.
void TransportSetRecLimit(uint32_t samples);

// Control surface.
void ConsoleNotifyModes(uint32_t mode, uint32_t mask);
// Locator 0 now, 1 left, 2 right.
void ConsoleNotifyLocator(int locator, int32_t position);
void ConsoleNotifyRecReady(int recTrack);
// The arrange view's samples per pixel after a zoom change.
void ConsoleNotifyZoom(int32_t samplesPerPixel);
// Sends marker n (1..999) of the list, its position (-1 when free) and name.
struct MrkList;
void ConsoleNotifyMarker(const MrkList* list, uint32_t n);

// After an arrangement file's settings were applied: the sample rate, the
// frame-rate code and the time-code offset.
void ConsoleNotifySampleRate(uint32_t rate);
void ConsoleNotifyFrameRate(uint32_t code);
void ConsoleNotifyTimecodeOffset(uint32_t tcOffset);

// 9-pin machine control.
// Sends the project's time-code start and format (a frame-rate code).
void NinePinSetTimecodeFormat(uint32_t code);
void NinePinSetMachineFlags(uint32_t mode, uint32_t mask);
// Event 0 now, 1 left, 2 right.
void NinePinTransportEvent(int event, int32_t position);
// Record-ready change of tracks 1..32; higher tracks are ignored.
void NinePinTrackReady(int recTrack);

// Video, when a video is loaded.
void VideoSetSampleRate(uint32_t rate);
void VideoSetOffset(uint32_t tcOffset);
void VideoSetScrubLoc(int32_t position);
void VideoPrepPlay(int32_t position);

// The outside video library.
void QVVPLAYER_SetSampleRate(uint32_t rate);

// Units in the unit table.
constexpr int kMaxUnits = 4;

// 1 when no native device reports busy status bits (also when none is open),
// else 0.
int NatDevAllIdle();
// Polls NatDevAllIdle for up to `timeoutMs` ms; 1 when the devices became
// idle, 0 on the time-out.
int NatDevWaitIdle(uint32_t timeoutMs);
// 1 when any native device reports status code 3 (its play buffers
// prepared), else 0.
int NatDevAnyInStatus3();

// The two identification texts of unit `unit` (0..3) as the About box shows
// them, each copied bounded into its buffer. Returns 0, and leaves the
// buffers alone, when there is no such unit.
int UnitAboutTexts(int unit, char* first, int firstSize, char* second, int secondSize);

// 1 while the play/record engine runs with its small audio buffers, else 0.
int EngineSmallBufFlag();

// Start-up, shutdown and the timer procedure.
// Units found and opened into the unit table; 0 when none. `severalPcs` is
// set when the units answered from more than one PC.
int OpenUnits(int* severalPcs);
int UnitCount();
// Runs the units configuration dialog; 1 when it ended with its retry choice.
int UnitsConfigDialog();
void CloseUnits();
// Stops every unit and the native devices.
void UnitsStop();
// The disk callbacks through which the native devices' worker threads read
// and write Audio Takes.
using TakeTransferFn = int (*)(TakeRec* take, uint64_t position, int32_t count, uint32_t* ring,
                               uint32_t ringLen, uint32_t ringStart, void* scratch);
struct NatDiskCallbacks {
  TakeTransferFn read;
  TakeTransferFn write;
};
// Opens the native recorder devices for `tracks` tracks with the Take
// store's transfer callbacks; 0 when the engine refused (it has shown its
// message).
int NatDevOpenAll(int tracks, const NatDiskCallbacks* callbacks);
void NatDevCloseAll();
// The smallest audio buffer reserve of the native devices (0x7FFFFFFF
// without devices); below 1 the engine fell behind.
int32_t NatDevGetAudioBufMinimum();
// Runs one command of the transport state machine.
void TransportCommand(int cmd);
// The current location in samples.
int32_t GetCurrentLoc();
// Appends the units' debug status to "QVBUG.LOG".
void UnitsWriteDebugLog();
// 1 when every unit is idle.
int UnitsAllIdle();
// The end of the play range, in samples.
int32_t TransportEndLoc();
// Record passes of a loop record: passes done so far, passes asked for.
int32_t TransportPassCount();
void TransportSetPassCount(int32_t count);
int32_t TransportPassLimit();
// Where a wind began (position and tick); 1 when the wind runs in speed
// steps rather than by the timer.
int TransportWindStart(int32_t* position, uint32_t* tick);
// 1 when the 9-pin machine supplies the position while winding, with the
// position and its status flag.
int NinePinWindPosition(int32_t* position, int* status);
// 1 when unit `unit` has a sync board.
int UnitHasSyncBoard(int unit);
// Polls the 9-pin engine with the tick.
void NinePinPoll(uint32_t tick);
// The motion mode the console asks for: 0 none, 1 to 4.
int ConsoleMotionMode();
// One shuttle step (motion mode 4) and one motion step (motion mode 2) of
// the console.
void ConsoleShuttleTick();
void ConsoleMotionTick();
// The current location of native recorder device 0; 0 without a device.
int32_t NatDevGetCloc();
// Moves the video to the position when it lies inside the video.
void VideoSyncLoc(int32_t position);
// What the external clock watch asks of a unit (0..3). The card's
// parameters: 0 when the query failed.
struct CardParams {
  int32_t clockValid;   // the card has a valid clock
  uint32_t sampleRate;  // the rate the card runs at, Hz
};
int UnitCardGetParam(int unit, CardParams* params);
// Sets or clears the sync flags of the unit's mixer DSPs; 0 on failure.
int CardSetSyncFlags(int unit);
int CardClearSyncFlags(int unit);
// The rate detected on TDIF input 0 (A), 1 (B) or 2 (C); 0 none.
uint32_t CardInputSrate(int unit, int input);
// The unit's status word: bit 0x100 external clock invalid, bits 0xC0 the
// incoming AES/EBU rate.
uint32_t UnitGetStatus(int unit);

// Unit start-up checks, each a pass over all units that shows its own
// message on the first failure and returns 0.
int CheckUnitsHardware();
int LoadUnitsDspProgram(uint32_t option);  // option 0, 0x1000 or 0x200
int CheckUnitsStatus();
int CheckUnitsState();
int CheckUnitsDspMask(int syncBoards[kMaxUnits]);  // fills the sync-board flags
int CheckCardsDsp();
int InitCardsMixDsp();
// Checks and updates each sync board's flash from the two image files;
// sets *updated when a board was updated, so that the checks run again.
int UpdateSyncBoards(const char* xilinxImage, const char* cpuImage,
                     const int syncBoards[kMaxUnits], int query, int* updated);
// Card lock state of a unit, 0 to 3.
int CardLockState(int unit);
void UnitsStartClocks();
void NatDevSetFadeCurves();
void ResetCardsMixDsp();
// Window classes of the tape-transport bar, the video and 9-pin windows.
void RegisterTapeTransWnd(void* instance);
void RegisterVideoWnd(void* instance);
void Register9PinWnd(void* instance);
// The units' splash window of start-up.
void SplashCreate(void* instance);
void SplashDestroy();
// Shutdown of the 9-pin machine and the video: the 9-pin mode command, the
// open video file.
void NinePinSetMode(uint32_t command);
void VideoCloseFile();
// 1 while a video file is open.
int VideoFileIsOpen();
// Unit number `unit` (1..4): its I/O unit type code (5..17 or 100), and the
// unit layer's 64-96 kHz test of it.
uint32_t UnitIoType(int unit);
int UnitRate96kCapable(int unit);
// 1 while a 9-pin sync mode is on.
int NinePinSyncEnabled();
// 1 while the later units' clocks follow the first unit's, so that their
// "Internal" choice is not offered (the sync set-up's flag clear and the
// unit layer's test for the first unit true).
int UnitsClockLinkedToFirst();
// Hands the main ini file's path to the video library.
void VideoSetIniFile(const char* path);
// The unit whose device handle is `device`: n (1-based) for a unit's host
// interface, -n for a unit's card, -(UnitCount() + 1) when none matches.
int UnitOfDevice(void* device);
// Unit-table queries of unit number `unit` (1..4).
int UnitHasHostUnit(int unit);
int UnitHasMixDsps(int unit);
int UnitHwKind(int unit);
// Sends a unit's card its AES input sample-rate-converter bits.
void UnitCardSetAesSrc(int unit, uint32_t bits);
// Sets the play flag word on every unit.
void UnitsSetPlayFlags(uint32_t flags);
// Sends a unit its option flags (the sync and MIDI set-up of the unit).
void UnitSetOptionFlags(int unit, uint32_t flags);
// Sync status of the first unit: the status word (0x800000 time code
// present, 0x400000 and 0x200000 its stop and lock indications, 0x100000
// video sync present), the incoming position and the first status word.
void UnitGetSyncStatus(uint32_t* status, int32_t* position, uint32_t* first);
// The 9-pin machine leads the transport; it is armed to drive it.
int NinePinLeadsTransport();
int NinePinArmedToDrive();
// Rebuilds every track's play list from the arrangement and, unless the
// transport plays or records, prepares the play buffers at the position;
// the same for the MIDI play lists and buffers.
struct ArrRec;
void RebuildAndPrepPlayLists(ArrRec* arr, int32_t position);
void MidiRebuildAndPrep(ArrRec* arr, int32_t position);
// Links the control surface; nonzero when linked.
int ConsoleRegister();
// Re-sends every track's play list for the position.
void SendPlayListsAt(int32_t position);
// Arms the units' time-code chase at the position.
void UnitsArmChase(int32_t position);
// The punch-in and punch-out positions of a recording.
int32_t TransportPunchInLoc();
int32_t TransportPunchOutLoc();
// The record-ready lamp hold position (-1 none) of the last record pass.
int32_t TransportLampHoldLoc();
void TransportSetLampHoldLoc(int32_t position);

// Commands of the main menu that the units, the 9-pin link and the video
// service carry out.
// Sends a unit its master clock or word-clock output (the menu id).
void UnitSetMasterClock(int unit, uint32_t id);
void UnitSetClockOut(int unit, uint32_t id);
// Sync mode: the sync input, the flags (0x20000 video sync, 0x10000 chase,
// 0 trigger only) and every unit's master clock id.
void UnitsSetSyncMode(uint32_t syncIn, uint32_t flags, const int32_t mclk[4]);
// The card's MADI 96 kHz pattern (1 legacy, 0 frame).
void UnitCardSetMadiPattern(int unit, int legacy);
// Updates the card's mix state after an I/O-mode change.
void UnitCardUpdateMixState(int unit);
// Unit 1's video-sync flag.
void UnitSetVideoSync(int unit, int on);
// The 9-pin mode command; returns the mode id to keep.
uint32_t NinePinCommand(uint32_t id);
// 1 while the 9-pin link drives the machine.
int NinePinDrivesMachine();
// Hands the 9-pin window its record-button option.
void NinePinSetRecBtnEnable(int on);
// The video commands: open a file (41015), close it (41016), its settings
// dialog (41840), its offset dialog (41841), the window's size (40736..40740).
void VideoCommand(void* mainWnd, uint32_t id);
// The flag of the units' DSP-mask check that keeps the play flags unsent.
int UnitsDspMaskFlag();
// Lets the video library save its settings.
void QVVPLAYER_SaveSettings();
