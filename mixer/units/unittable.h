// The unit table: the host-interface units and PCI cards the program drives,
// four numbered slots (units 1 to 4) filled at start-up and emptied at
// shutdown.
#pragma once

#include <cstdint>

#include "mixer/units/unitdev.h"

struct UnitOps;

constexpr int kUnitSlots = 4;
constexpr int kUnitPathMax = 127;
constexpr uint32_t kUnitStreamMax = 128;

// Message ids of the unit table.
enum : uint32_t {
  kMsgHostOpen = 148,
  kMsgCardOpen = 149,
  kMsgOldDriver = 151,
  kMsgNoDsps = 155,
  kMsgNoIoUnit = 156,
};

struct UnitTable {
  const UnitOps* ops[kUnitSlots];
  UnitHandle host[kUnitSlots];
  UnitHandle card[kUnitSlots];
  char cardPath[kUnitSlots][kUnitPathMax + 1];
  uint32_t dunvell[kUnitSlots];
  uint32_t mixDspCount[kUnitSlots];
  uint32_t mixDspPos[kUnitSlots][8];
  uint32_t streamCount[kUnitSlots];
  uint32_t channelWord[kUnitSlots];
  uint32_t ioType[kUnitSlots];
  uint32_t hwKind[kUnitSlots];
  int used;                   // unit slots in use (OpenUnits' result)
  int list[kUnitSlots];       // unit numbers in use, in order
  int listCount;
};

UnitTable& Units();

inline int UnitIndex(int unit) { return unit - 1; }
inline int UnitNumber(int index) { return index + 1; }

// Opens one device of `deviceType` and checks its identity; the handle, or
// kNoUnitHandle with the message id in *errorId.
UnitHandle OpenUnitDevice(const char* path, uint32_t deviceType, uint32_t* errorId);

// Opens the units named by the two path lists (paths separated by blanks).
// Returns the number of unit slots in use: the larger of the host-unit count
// and the card slots walked.
int OpenUnitsFrom(const char* hostPaths, const char* cardPaths, int unitNumbers[kUnitSlots],
                  int* multiPc);
void CloseUnitTable();

int UnitIsCardOnly(int unit);
int UnitHasHostUnit(int unit);
int FirstCardOnlyUnit();
int FirstHostUnit();
int CountHostUnits();
int UnitHasMixDsps(int unit);
int FirstUnitWithMixDsps();
UnitHandle UnitDevHandle(int unit);
UnitHandle UnitCardHandle(int unit);
const char* UnitCardPath(int unit);
uint32_t UnitCardIsDunvell(int unit);
uint32_t UnitMixDspCount(int unit);
uint32_t UnitMixDspSlot(int unit, int i);
uint32_t UnitStreamCount(int unit);
uint32_t UnitIoType(int unit);
int UnitHwKind(int unit);
void UnitSetHwKind(int unit, uint32_t kind);
const UnitOps* UnitInterface(int unit, UnitHandle* handle);
// The unit's saved menu choice folded onto unit 1's menu ids.
uint32_t UnitIoModeMenuId(uint32_t storedId);
uint32_t UnitClockOutMenuId(uint32_t storedId);
uint32_t UnitMadiModeMenuId(uint32_t storedId);
