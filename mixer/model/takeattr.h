// Numbered attributes of a Take and the byte transfer of the Automation and
// Midi logs: the only way the rest of the program reads or changes a Take.
//
// Values are 32-bit words; the attributes the table calls pointers give the
// address of a field of the record (or of a shared static buffer), valid
// while the Take is open. A value is therefore a uintptr_t, which is the
// 32-bit word of the deliverable and still holds an address in a 64-bit build.
#pragma once

#include <cstdint>

struct TakeRec;

enum TakeAttr : uint32_t {
  kTakeAttrName = 0,            // static 64-byte buffer: file name without extension
  kTakeAttrDescription = 1,     // char[128] of the record
  kTakeAttrCreated = 2,         // FileTimeRec
  kTakeAttrModified = 3,        // FileTimeRec
  kTakeAttrKind = 10,
  kTakeAttrDataBytes = 12,      // data end - data start
  kTakeAttrLength = 13,         // Audio: samples; Automation, Midi: entries
  kTakeAttrId = 15,             // TakeId
  kTakeAttrCreatorValue = 16,
  kTakeAttrSampleRate = 17,     // 0 in the file: the project's rate
  kTakeAttrFrameRate = 18,      // 0 in the file: the project's code
  kTakeAttrTcStamp = 19,        // TcRec
  kTakeAttrDataStart = 20,
  kTakeAttrChannels = 21,       // Audio names of kind words 1..4
  kTakeAttrAudioWord2 = 22,
  kTakeAttrBitsPerSample = 23,
  kTakeAttrBytesPerSample = 24,
  kTakeAttrWaveExists = 25,     // waveform overview file exists (remembered)
  kTakeAttrAutWord2 = 26,       // Automation names of kind words 2..5
  kTakeAttrAutWord3 = 27,
  kTakeAttrAutWord4 = 28,
  kTakeAttrAutLog = 29,         // word 5, in memory only
  kTakeAttrTickResolution = 30, // Midi names of kind words 2..4
  kTakeAttrMidiWord3 = 32,
  kTakeAttrMidiLog = 33,        // word 4, in memory only
  kTakeAttrCount = 34,
};

// The value of attribute `number`; 0 for unknown numbers and for no Take.
// Not for the recorder's threads: attribute 0 fills a shared buffer and
// attribute 25 may look at the disk.
uintptr_t TakeGetAttr(TakeRec* take, uint32_t number);

// Changes attribute `number` (see TakeAttr): 1, or 0 with a string id in
// *error (when not null): 145 bad value or no Take, 181 the file could not
// be resized, 206 a size beyond 32 bits, 210 rename failed, 211 the header
// could not be rewritten (the record keeps the new value). Numbers that
// cannot be set give 0 and leave *error alone. Attribute 0 takes a
// `const char*` name, 1 a `const char*` text, 19 a `const TcRec*`.
int TakeSetAttr(TakeRec* take, uint32_t number, uintptr_t value, uint32_t* error);

// Reads (write 0) or writes (write 1) `count` bytes at byte `position` of the
// Take's valid data (from its data start). 1, or 0 with 145 (range) or 212
// (file) in *error.
int TakeDataIo(TakeRec* take, int write, uint32_t position, uint32_t count, void* buffer,
               uint32_t* error);
