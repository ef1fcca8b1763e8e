// The operations of a host-interface DSP unit: one table for all host units,
// each slot turning its arguments into the driver's DSP pass-through calls.
// A failed call in a slot with an error code ends the program through the
// DSP function error report with that code; the slot then returns 0.
#pragma once

#include <cstdint>

#include "mixer/units/unitdev.h"

// Pass-through codes.
enum : uint32_t {
  kPtData = 0x83AE3100,
  kPtCompletion = 0x83AE3104,
  kPtBlock = 0x83AE3108,
  kPtNinePinReply = 0x83AE3118,
  kPtSize = 0x83AE3120,
  kPtLoadStart = 0x83AE3200,
  kPtLoadL56 = 0x83AE3300,
  kPtHwVersion = 0x83AE3324,
  kPtMixRead = 0x83AE3408,
  kPtMixWrite = 0x83AE3548,
  kPtCloc = 0x83AE3604,
  kPtStatus = 0x83AE3704,
  kPtCmdRead = 0x83AE3820,
  kPtCommand = 0x83AE3824,
  kPtLocked = 0x83AE3828,
  kPtReadWords = 0x83AE3838,
  kPtNinePin = 0x83AE3900,
  kPtFamily = 0x83AE3920,
  kPtPlay = 0x83AE3A20,
  kPtBlockCmd = 0x83AE3B24,
  kPtBlockWrite = 0x83AE3B20,
  kPtBlockRead = 0x83AE3B34,
  kPtStop = 0x83AE3C00,
  kPtBootL56 = 0x83AE3D00,
  kPtGo = 0x83AE3E00,
};

// Message ids of the start-up slots.
enum : uint32_t { kMsgUnitComm = 153, kMsgDspFile = 158, kMsgDspMemory = 192 };

// The 9-pin exchange's error codes; they are reported, not fatal.
enum : int { kNinePinIoFailed = 358, kNinePinTooLong = 359 };

// Sample rates with a rate code (0..10); -1 for others.
int UnitRateCode(uint32_t rate);
// The speed word: speed (1/100 percent units, 10000 = normal) x 8388608 /
// 10000, rounded to the nearest.
uint32_t UnitSpeedWord(uint32_t speed);

struct UnitFlags {
  uint32_t flag;
  uint64_t value;  // 48 bits
  uint32_t field;  // 3 bits
};

struct UnitOps {
  int (*close)(UnitHandle h);                                          // 0
  uint32_t (*reset)(UnitHandle h);                                     // 1
  uint32_t (*getHwVersion)(UnitHandle h, uint32_t* kind);              // 2
  uint32_t (*loadProgram)(UnitHandle h, const char* file);               // 3
  uint32_t (*loadL56)(UnitHandle h, const char* file, uint32_t timeoutMs);  // 4 (0: 300000)
  uint32_t (*loadL56Boot)(UnitHandle h, const char* file);               // 5
  int (*memTest)(UnitHandle h);                                        // 6
  int (*cmd18)(UnitHandle h, uint32_t* hwId, uint32_t* property);      // 7
  int (*readWords)(UnitHandle h, uint32_t address, uint32_t* words, uint32_t count);  // 8
  int (*writeBlock)(UnitHandle h, const uint32_t header[3], const uint8_t data[256]);  // 9
  int (*blkSetup)(UnitHandle h);                                       // 10
  int (*blkWrite)(UnitHandle h, uint32_t sector, const uint8_t data[512]);  // 11
  int (*blkRead)(UnitHandle h, uint32_t sector, uint8_t data[512]);   // 12
  int (*blk4)(UnitHandle h, uint32_t arg);                             // 13
  int (*blkReadN)(UnitHandle h, uint32_t sector, uint32_t n, uint8_t* data);  // 14
  int (*blk6)(UnitHandle h, uint32_t arg);                             // 15
  int (*blk7)(UnitHandle h, uint32_t arg);                             // 16
  int (*getStatus)(UnitHandle h, uint32_t* status);                    // 17
  int (*waitIdle)(UnitHandle h);                                       // 18
  int (*getFlags)(UnitHandle h, UnitFlags* flags);                     // 19
  int (*getCloc)(UnitHandle h, int64_t* location);                     // 20
  int (*getExpandedCloc)(UnitHandle h, int64_t* location);             // 21
  int (*readN)(UnitHandle h, uint32_t* words, uint32_t n);             // 22
  int (*getSerial)(UnitHandle h, char* text, int size);                // 23
  int (*lockedTransfer)(UnitHandle h, const void* in, uint32_t inLen, void* out, uint32_t outLen);  // 24
  int (*getSyncStatus)(UnitHandle h, uint32_t reply[3]);               // 25
  int (*cmd13)(UnitHandle h);                                          // 26
  int (*getInfo264)(UnitHandle h, uint8_t reply[264]);                 // 27
  int (*cmd18b)(UnitHandle h, uint32_t* word);                         // 28
  int (*dumpMemory)(UnitHandle h, const char* file);                   // 29
  int (*getDebugStatus)(UnitHandle h, uint32_t* word);                 // 30
  int (*cmdList)(UnitHandle h, const uint32_t* entries, uint32_t count);  // 31
  int (*sendCmdList)(UnitHandle h, const uint32_t header[5], const uint8_t* list, uint32_t count);  // 32
  int (*setSrate)(UnitHandle h, uint32_t flag, uint32_t rate, uint32_t speed);  // 33
  int (*setVideoSync)(UnitHandle h, uint32_t flag);                    // 34
  int (*setOptionFlags)(UnitHandle h, uint32_t flags, int addBit1);    // 35
  int (*setSync)(UnitHandle h, const uint32_t config[7]);              // 36
  int (*setSyncMode)(UnitHandle h, uint32_t mode, uint32_t clock);     // 37
  int (*cmd4)(UnitHandle h);                                           // 38
  int (*setPlayFlags)(UnitHandle h, uint32_t flags);                   // 39
  int (*locate)(UnitHandle h, int64_t position);                       // 40
  int (*cmd8)(UnitHandle h);                                           // 41
  int (*cmd11Block)(UnitHandle h, const void* block, uint32_t size);   // 42
  int (*cmd23)(UnitHandle h);                                          // 43
  int (*setPlayRecEndLoc)(UnitHandle h, int64_t end);                  // 44
  int (*setLoop)(UnitHandle h, const uint32_t params[8]);              // 45
  int (*ninePinIo)(UnitHandle h, const uint8_t* request, uint32_t length, uint8_t* reply,
                   uint32_t capacity);                                 // 46
  int (*prepPlayBufs)(UnitHandle h, const uint32_t params[9]);         // 47
  int (*startPlayRec)(UnitHandle h);                                   // 48
  int (*link)(UnitHandle h, uint32_t* cookie, int out);                // 49
  int (*go)(UnitHandle h);                                             // 50
  int (*cmdA3)(UnitHandle h);                                          // 51
  int (*timeCodeSlaveArm)(UnitHandle h, const uint32_t params[3]);     // 52
  int (*stop)(UnitHandle h);                                           // 53
  int (*cmd9Read)(UnitHandle h, uint32_t* reply, uint32_t words);      // 54
  uint32_t (*cmd10Read)(UnitHandle h, uint8_t reply[16]);              // 55
  int (*cmdA7)(UnitHandle h);                                          // 56
  int (*cmdA8)(UnitHandle h, const uint32_t params[6]);                // 57
  int (*cmdA9)(UnitHandle h, const uint32_t params[4]);                // 58
  int (*cmdA10)(UnitHandle h, const uint32_t params[7]);               // 59
  int (*setScrubLoc)(UnitHandle h, int64_t location, int32_t speed);   // 60
  int (*prepScrubBufs)(UnitHandle h);                                  // 61
  int (*startScrub)(UnitHandle h);                                     // 62
  int (*mixDspWrite)(UnitHandle h, uint32_t address, uint32_t value, uint16_t* reply);  // 63
  int (*mixDspRead)(UnitHandle h, uint8_t reply[10]);                  // 64
};
static_assert(sizeof(UnitOps) == 65 * sizeof(void*), "65 slots");

extern const UnitOps kUnitOps;
// The error code of the last 9-pin exchange that failed (358 or 359).
int UnitNinePinError();
