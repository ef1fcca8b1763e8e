// The device calls of the unit layer, reached through one table so that the
// same code runs on the device library in the program and on a recording
// fake in the portable tests.
#pragma once

#include <cstdint>

// A device handle of the device library, as a number; kNoUnitHandle when none.
using UnitHandle = uintptr_t;
constexpr UnitHandle kNoUnitHandle = ~static_cast<UnitHandle>(0);

struct UnitDevApi {
  UnitHandle (*open)(const char* path, uint32_t access, uint32_t share, uint32_t flags);
  // Nonzero on success; *returned gets the bytes written to `out`.
  int (*ioctl)(UnitHandle h, uint32_t code, const void* in, uint32_t inLen, void* out,
               uint32_t outLen, uint32_t* returned);
  int (*close)(UnitHandle h);
  const char* (*lastErrorText)();
  void (*setLastError)(uint32_t error);
  void (*sleep)(uint32_t ms);
  // Ends the program with the DSP function error report; returns only in
  // tests (and while start-up has not finished).
  int (*fatal)(UnitHandle h, int code);
  // The card's I/O unit set-up and its type (0 = none) for a card-only slot.
  int (*cardInitIoUnit)(UnitHandle card);
  uint32_t (*cardGetIoType)(UnitHandle card);
};

// Installs the table (not copied); the unit layer uses it from then on.
void SetUnitDevApi(const UnitDevApi* api);
const UnitDevApi& UnitDev();

// Device types of the open call.
constexpr uint32_t kUnitTypeHost = 0x170200;
constexpr uint32_t kUnitTypeCorbelle = 0xAB6935;
constexpr uint32_t kUnitTypeDunvell = 0x561101;

// Control codes the unit layer sends.
constexpr uint32_t kIoGetId = 0x83AE2000;
constexpr uint32_t kIoGetStatus = 0x83AE2010;
constexpr uint32_t kIoBoot = 0x83AE2300;
constexpr uint32_t kIoTimeout = 0x83AE2400;
constexpr uint32_t kIoLink = 0x83AE2700;
constexpr uint32_t kIoWaveMap = 0x83AE2E00;
constexpr uint32_t kUnitInterfaceVersion = 0x70430;
constexpr uint32_t kErrorInvalidParameter = 87;
