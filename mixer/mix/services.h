// Services of the mixer and the automation front end, as the model calls
// them.
#pragma once

#include <cstdint>

// A mixer document; only the mixer knows its inside.
struct MixDoc;

// The current mixer document; null when there is none.
MixDoc* CurMixDoc();

// After a sample-rate change: re-allocate the mixer's DSPs, re-send the track
// colours, grey the inputs and outputs the units no longer offer.
void MixReallocDsp();
void MixSendTrkColors();
void MixGreyUnavailableIo();
// Sets the main window's text to the mixer title when a mixer window exists.
void MixUpdateMainCaption();
// Sends tempo and meter to the mixer elements.
void MixSendTempoToElems();
// Sends each native recorder element its track's record state; record track
// 0 = all.
void MixSendTrkRecReady(MixDoc* mixer, int recTrack);
// Sets the record/monitor state (0 idle, 1 audition, 2 recording) and sends
// it to the native recorder elements of the current mixer. A state set with
// hold stays until a call with release.
void MixSetTrkRecState(int state, int hold, int release);
// 1 when the current mixer has a native recorder element.
int MixHasNatRecElem();
// The name of the mixer column whose recorder element records the track
// (1-based), "" when none; used to name new Takes.
void MixRecColumnName(MixDoc* mixer, int recTrack, char* buffer, int size);
// The other record track of a stereo pair fed by one 2-channel native
// recorder element, 0 when none.
int MixStereoPartnerTrk(MixDoc* mixer, int recTrack);
// After the record-track assignments of the arrangement changed: the native
// recorder elements of the current mixer get their tracks' colours and
// record states again.
void MixSyncRecTrkAssign();

// Automation front end.
void MxaSetNowLoc(int32_t position);
// Record mode 0 normal, 1 touch, 2 touch till stop.
void MxaSetRecordMode(uint32_t mode, uint32_t flags);
// Stores the automation thin factor.
void MxaStoreSetting(uint32_t value);
// Frees the automation log of an Automation Take (its log handle); 1.
int MxaFreeTake(uint32_t log);
// Writes every automation Take that changed (write 1), stopping at the first
// failure (0); with write 0 only answers 1 when none has unwritten changes.
int MxaWriteChangedTakes(int write);
// Copies [from, to) of an Automation Take into another, thinning each
// enabled knob's events (filter: one knob, or -1 for all; the thinning
// amount in ms); 0 on failure.
struct TakeRec;
// The automation log of an Automation Take, read from its file the first
// time; 0 when the file holds no whole log.
uint32_t MxaTakeLog(TakeRec* take);
int MxaCopyTakeRange(TakeRec* destination, TakeRec* source, int32_t from, int32_t to, int32_t filter,
                     uint32_t amount);

// Rebuilds the automation play maps and, unless the transport plays or
// records, sets the automation position.
struct ArrRec;
void MxaRefreshAfterEdit(ArrRec* arr, MixDoc* mixer, int32_t position);

// Refreshes the open element windows and meters of the mixer document.
void MixIdleTick(MixDoc* mixer);
// Lets the mixer check its DSP processing limit.
void MixCheckDspLimitTick();
// The automation library's locator.
void QVMXA_SetLocator(int32_t position);

// Start-up and shutdown of the mixer.
void RegisterMixerWindows(void* instance);
void MixLoadElemLibs(const char* folder);
void MixFreeElemLibs();
// Creates the mixer document and makes it current; destroys it.
void MixDocCreateCurrent();
void MixDocDestroyCurrent();
void MixDspLayoutFree();
// Offers to save the mix when it changed ("Save mix changes?"); 0 when the
// user cancelled.
int MixOfferSave();
// 1 when the element states differ from the snapshot taken with the mix.
int MixElemStatesChanged();
// Sets the mixer's record-ready lamps: 1 ready, 2 recording.
void MixSetRecLamps(int state);

// Mixdown: the current mixer's outputs with their channel counts (routing
// code, channels) into out (at most `max`; the number written); the text of
// an output; the user's mixer kept as an image and replaced by the mixdown
// mixer that records `output` onto the record tracks (0, the user's mixer
// unchanged, when either fails); and the user's mixer back from its image,
// 1 when the mixdown mixer's DSPs held through the run.
int MixMixdownOutputs(int32_t* routing, int32_t* channels, int max);
void MixMixdownRoutingText(int32_t output, int32_t channels, char* text, int size);
int MixStartMixdownMixer(int32_t output, int32_t channels, const int32_t* recTracks);
int MixEndMixdownMixer();

// Commands of the main menu that the mixer carries out.
void MixEditModeCmd();
void MixAutomationEnableCmd();
void MixDelayCompCmd();
// Starts or ends automation recording; 1 when it did.
int MixAutomRecordCmd(MixDoc* mixer);
// Snapshot of the current mixer's element states for DetMixElemChanges,
// and its release.
void MixSnapshotStates();
void MixFreeSnapshot();
// The mixer window in full (1) or small (0) view; -1 while it is closed.
int MixWndView();
void MixWndCreate(int fullView);
// Document commands: opens a mix file as the current document (the present
// one stays when the file cannot be opened) and saves the current document;
// 1 or 0 after the message. The current document's file, "" when none.
int MixOpenCurrent(const char* path);
int MixSaveCurrent(const char* path);
const char* MixCurrentFile();
