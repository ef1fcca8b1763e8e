// The play/record engine of qvMidRec: MIDI input modules, their ports, and
// the transport's calls that play the play lists into the ports and collect
// what the ports record. Portable: the operating-system objects come from
// engine_os.h and module files from a MipLoader.
//
// Threads: the host's thread makes every Midi* engine call and the modules'
// port calls CreatePort, DeletePort and SetPortFilter; each module's
// real-time threads call ReadBlock (the play pump) and RecordEvents (the
// record pump), which never allocate and never wait; the engine's allocator
// thread prepares the nodes that recording takes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "logs/qvMidRec/midlog.h"

#pragma pack(push, 1)
// The unit of both pumps.
struct MipMidiEvent {
  uint64_t position;  // samples, in the time base of the module's blocks
  uint32_t message;   // status | data1 << 8 | data2 << 16
};
#pragma pack(pop)
static_assert(sizeof(MipMidiEvent) == 12);
static_assert(offsetof(MipMidiEvent, message) == 8);

// Filled by a module when it connects.
struct MIPMODINFO {
  uint32_t size;  // 12
  uint32_t reserved;
  uint32_t version;  // interface version; 100 is the one served
};
static_assert(sizeof(MIPMODINFO) == 12);

constexpr uint32_t kMipInterfaceVersion = 100;
constexpr uint32_t kMipMaxModules = 5;
// MIDI tracks the library offers every module.
constexpr uint32_t kMipHostTracks = 128;

struct MidiPort;

using MipCreatePortFn = MidiPort*(QVMIV_CALLBACK*)(uint32_t moduleIndex, uint32_t element);
using MipDeletePortFn = int32_t(QVMIV_CALLBACK*)(MidiPort* port);
using MipSetPortFilterFn = int32_t(QVMIV_CALLBACK*)(MidiPort* port, uint32_t firstTrack, uint32_t trackCount,
                                                    uint32_t channel);
using MipReadBlockFn = uint32_t(QVMIV_CALLBACK*)(MidiPort* port, uint64_t* blockPos, uint32_t blockLength,
                                                 MipMidiEvent* out, uint32_t capacity);
using MipRecordEventsFn = uint32_t(QVMIV_CALLBACK*)(MidiPort* port, const MipMidiEvent* events, uint32_t count);

// The host table handed to every module: the size word, then the five
// services in this order (24 bytes in the 32-bit build).
struct MIPHOSTFUNCS {
  uint32_t size;
  MipCreatePortFn CreatePort;
  MipDeletePortFn DeletePort;
  MipSetPortFilterFn SetPortFilter;
  MipReadBlockFn ReadBlock;
  MipRecordEventsFn RecordEvents;
};
static_assert(sizeof(void*) != 4 || sizeof(MIPHOSTFUNCS) == 24);
constexpr uint32_t kMipHostFuncsSize = 24;

const MIPHOSTFUNCS* MidiHostFuncs();

// The module's entry points, bound by their decorated names.
using MipConnectModuleFn = int32_t(QVMIV_CALLBACK*)(uint32_t index, const MIPHOSTFUNCS* host, MIPMODINFO* info,
                                                    uint32_t tracks, uint32_t flag);
using MipDisconnectModuleFn = int32_t(QVMIV_CALLBACK*)();
using MipEnableMidiMsgInputFn = int32_t(QVMIV_CALLBACK*)(uint32_t element, uint32_t enable);

// Module files as the platform opens them. A module is named by a nonzero
// value of the loader's choosing.
struct MipLoader {
  void* context;
  uintptr_t (*load)(void* context, const char* path);  // 0: not loaded
  void* (*bind)(void* context, uintptr_t module, const char* name);
  void (*unload)(void* context, uintptr_t module);
};

// Loads, binds and connects the module files in order while fewer than five
// are loaded; a file that misses an entry point or reports another
// interface version is unloaded again. Returns the number loaded.
uint32_t MidiLoadModules(const MipLoader& loader, const char* const* paths, uint32_t count);
uint32_t MidiModuleCount();
// Unloads every module (without disconnecting them).
int32_t MidiQuit();

// The host's transport calls.
int32_t MidiSetSampleRate(uint32_t rate);
int32_t MidiSetTimeCodeOffset(uint32_t offset);
int32_t MidiSetRecordMode(uint32_t mode);
int32_t MidiSetPlayRecEndLoc(uint32_t location);
int32_t MidiSetSeamlessLoopParams(uint32_t enable, uint32_t start, uint32_t end, uint32_t finish);
int32_t MidiBuildPlaylists();
int32_t MidiSetRecordEnable();
int32_t MidiPrepPlayBufs(uint32_t location);
int32_t MidiStartPlayRec();
int32_t MidiStopPlayRec();
int32_t MidiConvertRecordlistsIntoLogs(uint32_t discard);

// The module's port services (the host table's five).
MidiPort* QVMIV_CALLBACK MidiCreatePort(uint32_t moduleIndex, uint32_t element);
int32_t QVMIV_CALLBACK MidiDeletePort(MidiPort* port);
int32_t QVMIV_CALLBACK MidiSetPortFilter(MidiPort* port, uint32_t firstTrack, uint32_t trackCount,
                                         uint32_t channel);
uint32_t QVMIV_CALLBACK MidiReadBlock(MidiPort* port, uint64_t* blockPos, uint32_t blockLength, MipMidiEvent* out,
                                      uint32_t capacity);
uint32_t QVMIV_CALLBACK MidiRecordEvents(MidiPort* port, const MipMidiEvent* events, uint32_t count);

// The tracks a port's filter gives it: at most one track with a channel, 16
// without, and never past track 15 (there is no channel after 16).
uint32_t MidiPortTrackLimit(uint32_t firstTrack, uint32_t trackCount, uint32_t channel);

// What a port holds, for tests and diagnostics: its filter and the number
// of nodes in its record list.
struct MidiPortInfo {
  uint32_t firstTrack;
  uint32_t trackCount;
  uint32_t channel;
  uint32_t recorded;
};
int32_t MidiGetPortInfo(MidiPort* port, MidiPortInfo* out);
