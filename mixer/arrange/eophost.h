// The external off-line module host: modules found in the module folder and
// bound by their three decorated exports, their processes numbered in slots,
// the run of a process under one undo step, and EOPHOSTFUNCS, the table of
// services through which a running module reads and changes the current
// arrangement, its markers and Takes, and auditions Takes.
//
// What lies outside the arrangement (loading libraries, the module folder's
// files, disabling the windows, the current directory) goes through
// EopPlatform; the program installs the Windows one, tests their own. The
// audition's lists reach the units and the transport through the seams of
// mixer/units/solo.h, as the arrange editor's own auditions do.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mixer/arrange/services.h"
#include "timemodule/eop.h"

inline constexpr int kEopMaxModules = 32;

struct EopModuleRec {
  void* Library;
  EOPMODINFO Info;
  EopGetModuleInfoFn GetModuleInfo;
  EopGetPlugInInfoFn GetPlugInInfo;
  EopProcessFn Process;
};

class EopPlatform {
 public:
  virtual ~EopPlatform() = default;
  // The file names (without folder) of folder + "*.DLL".
  virtual std::vector<std::string> ListModules(const std::string& /*folder*/) { return {}; }
  // Loads a library by its full path, keeping the current directory; null
  // when it cannot be loaded.
  virtual void* Load(const std::string& /*path*/) { return nullptr; }
  virtual void* Bind(void* /*library*/, const char* /*name*/) { return nullptr; }
  virtual void Free(void* /*library*/) {}
  virtual void StartupText(const std::string& /*text*/) {}
  virtual void EnableWindows(int /*enable*/) {}
  virtual std::string CurrentDir() { return {}; }
  virtual void SetCurrentDir(const std::string& /*dir*/) {}
  virtual void RedrawArrange() {}
  virtual void BuildOverviews() {}
  // The pop-up of kind-0 processes at a point of the window (client
  // coordinates) tracked with mouse button `button` (1 left); the chosen
  // slot or -1.
  virtual int ToolMenu(int /*button*/, uintptr_t /*window*/, int /*x*/, int /*y*/) { return -1; }
};
// Installs the platform (null: the one that does nothing).
void EopSetPlatform(EopPlatform* platform);

// ---- Modules ----

// Loads the modules of the folder (ending in '\'): at most 32 whose
// interface version is 102. Returns the number kept.
int EopScanModules(const std::string& folder);
// Frees every library and the module block.
void EopFreeModules();
int EopModuleCount();
const EopModuleRec* EopModule(int index);
// The processes of all modules, numbered from 0 in module order.
int EopPlugInCount();
// The module of a slot and the process index within it; -1 when none.
int EopFindPlugIn(int slot, int* index);
// The process's information record; 0 when the slot is not there.
int EopGetPlugInInfo(int slot, EOPPLUGININFO* info);
// The interface revision of the slot's module; 0 when none.
int EopModuleRevision(int slot, uint32_t* revision);
// The slot of the first process with that id; -1 when none.
int EopFindProcessId(uint32_t id);
// The slot of the kind-1 process of main-menu command `id` (41320 + its
// rank among kind-1 processes); -1 when none.
int EopMainMenuSlot(uint32_t id);
// Kind-1 processes up to 16 as the main menu lists them: their names in
// slot order.
std::vector<std::string> EopMainMenuNames();

// ---- Runs ----

// Runs a process: tools 32..35 take the first process of id 200, 201, 202,
// 100; tool -1 the pop-up menu's choice (`pick`, the slot, or -1), tool -2
// the kind-1 process of main-menu id `id`; tool -3 the slot `id`. Returns
// the process's result; 0 when no process ran.
int EopRunToolSlot(uintptr_t window, int tool, uint32_t id, int pick);
// The tool runner of the arrange window's operations and Part context menu:
// tools 32..35, tool -1 (the pop-up of kind-0 processes at x, y tracked
// with mouse button `id`), -2 and -3 as EopRunToolSlot.
int EopRunToolFrom(uintptr_t window, int x, int y, uint32_t id, int tool);
// Automatic rate conversion of imported audio: the process of id 201 run
// without dialog. *error: 344 when there is none, -1 when it failed.
int EopAutoConvertRate(uintptr_t argument, int32_t* error);
// Records the slot as running and calls its module's Process.
int EopCallProcess(int slot, uintptr_t a, uint32_t b);

// The service table.
const EOPHOSTFUNCS& EopHostFuncs();
// The Takes created in the current run, oldest first.
const std::vector<uint32_t>& EopRunTakes();
// Take handles: the Take store's references.
// 1 while an audition started by a module plays.
int EopAuditionIsPlaying();
// Stops an audition still playing (the end of a run).
void EopStopAudition();

// The run state the services read, for the run routines.
namespace eophost {
struct RunState {
  int slot = -1;
  uint32_t revision = 8;
  uint32_t processId = 0;
  std::vector<uint32_t> takes;  // Takes created in this run, oldest first
  int linksBroken = 0;
  int auditionPlaying = 0;
  int32_t auditionEnd = 0;
  uint32_t scanLast = 0;  // the Take the folder scan returned last
};
RunState& Run();
void BeginRun(int slot, uint32_t revision, uint32_t processId);
void EndRun();
}  // namespace eophost
