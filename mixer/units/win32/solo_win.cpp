// Solo play, scrub and the crossfade audition of the arrange editor bound
// to the program's play lists, MIDI and transport.
#include "mixer/model/arr.h"
#include "mixer/model/options.h"
#include "mixer/units/midiplay.h"
#include "mixer/units/natlink.h"
#include "mixer/units/playlist.h"
#include "mixer/units/services.h"
#include "mixer/units/solo.h"
#include "mixer/units/transport.h"
#include "mixer/units/win32/transport_host.h"

void SoloSilenceAll() {
  ProgramLinksInit();
  UnitsSetPlayFlags(0);
  if (!NatLinkApi()) return;
  for (int32_t channel = 1; channel <= kPlayChannels; ++channel) SilenceTrack(channel);
}

int SoloCompileTrack(const ArrRec* arr, int32_t engineTrack, int32_t, int32_t playChannel,
                     int32_t track) {
  ProgramLinksInit();
  // Without native devices there is nothing to send a list to.
  if (!NatLinkApi()) return 1;
  return CompileChannelOnTrack(arr, engineTrack, playChannel, track);
}

void SoloBuildMidi(const ArrRec* arr, int32_t channel, int32_t track) {
  ProgramLinksInit();
  // Channel 129 names none: the MIDI play lists are only cleared.
  MidiBuildPlayLists(const_cast<ArrRec*>(arr), 0, 0, track, channel, channel);
}

void RebuildAllPlayLists(ArrRec* arr, int32_t, int) {
  ProgramLinksInit();
  if (!NatLinkApi()) return;
  if (arr != nullptr) {
    CompileAllPlayLists(arr);
    return;
  }
  for (int32_t channel = 1; channel <= kPlayChannels; ++channel) SilenceTrack(channel);
}

void TransportStartSolo(int32_t start, int32_t end) {
  ProgramLinksInit();
  TransportRunSolo(start, end);
}

void TransportStartScrub(int32_t position, int mode) {
  ProgramLinksInit();
  TransportRunScrub(position, mode);
}

// The transport follows the machine while the 9-pin link leads it.
int NinePinIsLockMode() { return NinePinLeadsTransport() ? 1 : 0; }

int TransportStartAudition(int32_t from, int32_t to) {
  ProgramLinksInit();
  return TransportRunAudition(from, to);
}

void TransportStopAudition() {
  ProgramLinksInit();
  TransportEndAudition();
}

int SoloPlayTakeList(int32_t engineTrack, uint32_t n, const PlayTakeEntry* entries) {
  ProgramLinksInit();
  if (!NatLinkApi()) return 1;
  return PlayTakeListOnTrack(engineTrack, n, entries, Deglitch ? 1 : 0);
}
