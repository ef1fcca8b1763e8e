// Recording stand-in for the neighbouring subsystems' services (units,
// mixer, shell, arrange editor, log libraries, Take store, undo): every
// call appends one readable line such as "UnitsLocate(48000)" to the log,
// and queries answer from the fields below.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

struct ServicesFake {
  std::vector<std::string> log;

  // Units and transport.
  int transportState = 2;  // stopped
  int unitsSetSyncResult = 1;
  int refreshPlayListsResult = 1;
  int midiSetLoopResult = 1;
  // Native envelopes: entry e of a Take (counted from its data start) is
  // {e & 0x7fff, -(e & 0x7fff)}; calls numbered from 0 fail from
  // envelopesFailAt on (-1: never).
  int envelopesFailAt = -1;
  int envelopesCalls = 0;
  std::function<void()> onEnvelopes;  // runs after each envelope call

  // Mixer: the stereo partner of a record track (absent = none).
  std::map<int, int> stereoPartner;

  // Shell documents and menu: the change counters, and the text and enabled
  // state of every menu item that was set (not logged).
  uint32_t arrChangeCount = 0;
  uint32_t mixChangeCount = 0;
  std::map<uint32_t, std::pair<std::string, int>> menuItems;

  // Shell settings.
  uint32_t syncIn = 40501;
  uint32_t mclkUnit[4] = {40408, 40422, 40436, 40450};
  uint32_t recResol = 40355;
  uint32_t timeFormat = 40518;
  uint32_t scrubMode = 40874;
  int32_t scrubWind = 0;
  int32_t mutedSoloAudOut = 1;
  int32_t mutedSoloMidiOut = 1;
  std::string wvFormFilePath = ".\\Wvf\\";
  // Solo play, scrub and the audition (solo_fake.cpp).
  int ninePinLock = 0;
  int auditionStarts = 1;
  int soloCompiles = 1;
  // The file manager's Take query: the Take references it accepts.
  std::set<uint32_t> sfmanTakes;

  // Arrange editor: the Virtual Tracks first..last carrying a (kind, record
  // track), absent = none; the count of Virtual Tracks per record track
  // (absent = 1).
  std::map<std::pair<int, int>, std::pair<int, int>> recTrkGroup;
  std::map<std::pair<int, int>, int> recTrkCount;
  int draggingRange = 0;
  int recordLoopTakesResult = 1;
  int32_t recordStartLoc = 0;

  // Take store.
  uint64_t recFolderFreeBytes = 0;
  uint32_t diskErrorTake = 0;  // NatDevGetDiskErrorStat's answer, 0 = none

  // 1 when a logged line equals `line`.
  bool Called(const std::string& line) const;
  // Logged lines that begin with `prefix`.
  int Count(const std::string& prefix) const;
  // Every line, one per row, for failure messages.
  std::string Joined() const;
  void ClearLog() { log.clear(); }
  void Reset() { *this = ServicesFake(); }
};

ServicesFake& Services();

// Appends one formatted line to the log.
void FakeLog(const char* fmt, ...);
