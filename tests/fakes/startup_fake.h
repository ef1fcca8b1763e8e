// Recording stand-in for the services that start-up, shutdown and the timer
// procedure call in the units, transport, native engine, mixer, log and
// video subsystems: every call appends a line such as "TransportCommand(3)"
// to its own log; queries answer from the fields below. Apart from the
// older services' fake, so that a test can link it beside the program's
// own shell services.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mixer/units/services.h"

struct StartupFake {
  std::vector<std::string> log;
  int unitCount = 0;
  int severalPcs = 0;
  int configRetry = 0;
  int natDevOpenResult = 1;
  NatDiskCallbacks diskCallbacks = {};  // as NatDevOpenAll received them
  int32_t audioReserve = 0x7FFFFFFF;
  int32_t currentLoc = 0;
  int unitsAllIdle = 1;
  int32_t endLoc = 0x7FFF05FF;
  int32_t passCount = 0;
  int32_t passLimit = 0;
  int32_t windStart = 0;
  uint32_t windTick = 0;
  int windSteps = 0;
  int nineSupplies = 0;
  int32_t ninePosition = 0;
  int nineStatus = 0;
  int syncBoard[4] = {};
  int consoleMotion = 0;
  // The clock watch's answers per unit.
  CardParams cardParams[4] = {{1, 44100}, {1, 44100}, {1, 44100}, {1, 44100}};
  int cardQueryOk[4] = {1, 1, 1, 1};
  int setSyncFlagsOk[4] = {1, 1, 1, 1};
  int clearSyncFlagsOk[4] = {1, 1, 1, 1};
  uint32_t tdifRate[4] = {};
  uint32_t unitStatus[4] = {};
  int hasHost[4] = {};
  uint32_t syncStatus = 0;
  int32_t syncPosition = 0;
  uint32_t syncFirst = 0;
  int nineLeads = 0;
  int32_t punchIn = 0;
  int32_t punchOut = 0x7FFF05FF;
  int32_t lampHold = -1;
  int hasMixDsps[4] = {};
  int hwKind[4] = {};
  int ioType[4] = {};

  int flashUpdates = 0;   // UpdateSyncBoards reports an update this many times
  int mixSaveAnswer = 1;  // MixOfferSave: 0 = the user cancelled

  // What runs while the transport is stopped.
  int soloPlaying = 0;
  int scrubbing = 0;
  int soloPlayState = 0;
  int procRun = 0;
  int mixdownRun = 0;
  int exvAudition = 0;
  int32_t natDevCloc = 0;
  int consoleLinks = 1;  // ConsoleRegister's answer

  // Window-side answers of the timer.
  int mouseCaptured = 0;
  int modalOpen = 0;

  // Logged lines that begin with `prefix`; the index of the first line
  // equal to `line` (-1 when none).
  int Count(const std::string& prefix) const;
  int IndexOf(const std::string& line) const;
  std::string Joined() const;
  void Reset() { *this = StartupFake(); }
};

StartupFake& Startup();
