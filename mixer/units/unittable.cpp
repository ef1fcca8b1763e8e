#include "mixer/units/unittable.h"

#include <cctype>
#include <cstring>

#include "mixer/model/host.h"
#include "mixer/units/unitops.h"

namespace {

UnitTable table;
const UnitDevApi* api = nullptr;

bool ValidUnit(int unit) { return unit >= 1 && unit <= kUnitSlots; }

// Copies the next blank-separated word of *cursor into word (cut to
// kUnitPathMax characters); false at the end of the list.
bool NextPath(const char** cursor, char (&word)[kUnitPathMax + 1]) {
  const char* p = *cursor;
  while (*p == ' ') ++p;
  if (!*p) {
    *cursor = p;
    return false;
  }
  int n = 0;
  for (; *p && *p != ' '; ++p)
    if (n < kUnitPathMax) word[n++] = *p;
  word[n] = 0;
  *cursor = p;
  return true;
}

// The path without a trailing "UNIT0" or "UNIT1" and the backslash before it.
void HostPathStem(const char* path, char (&stem)[kUnitPathMax + 1]) {
  std::strncpy(stem, path, kUnitPathMax);
  stem[kUnitPathMax] = 0;
  size_t n = std::strlen(stem);
  if (n >= 5) {
    char* tail = stem + n - 5;
    bool unit = std::toupper(static_cast<unsigned char>(tail[0])) == 'U' &&
                std::toupper(static_cast<unsigned char>(tail[1])) == 'N' &&
                std::toupper(static_cast<unsigned char>(tail[2])) == 'I' &&
                std::toupper(static_cast<unsigned char>(tail[3])) == 'T' &&
                (tail[4] == '0' || tail[4] == '1');
    if (unit) {
      *tail = 0;
      if (tail > stem && tail[-1] == '\\') tail[-1] = 0;
    }
  }
}

bool SameText(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b)
    if (std::tolower(static_cast<unsigned char>(*a)) != std::tolower(static_cast<unsigned char>(*b)))
      return false;
  return *a == *b;
}

bool Contains(const char* text, const char* part) {
  size_t n = std::strlen(part);
  for (; *text; ++text) {
    size_t i = 0;
    while (i < n && text[i] &&
           std::toupper(static_cast<unsigned char>(text[i])) == static_cast<unsigned char>(part[i]))
      ++i;
    if (i == n) return true;
  }
  return false;
}

void ListUnit(int unit) {
  for (int i = 0; i < table.listCount; ++i)
    if (table.list[i] == unit) return;
  // Keep the list in unit order: cards can fill slots a host unit skipped.
  int i = table.listCount++;
  while (i > 0 && table.list[i - 1] > unit) {
    table.list[i] = table.list[i - 1];
    --i;
  }
  table.list[i] = unit;
}

// The card's DSP population and channel query.
void CardQueryPopulation(int slot) {
  UnitHandle h = table.card[slot];
  uint32_t status[45] = {};
  uint32_t got = 0;
  uint32_t mask = 0;
  if (UnitDev().ioctl(h, kIoGetStatus, nullptr, 0, status, sizeof status, &got) && got >= 16)
    mask = status[3] & 0xFF;
  for (uint32_t k = 0; k < 8; ++k)
    if (mask & (1u << k)) table.mixDspPos[slot][table.mixDspCount[slot]++] = k;
  uint32_t map[9] = {};
  got = 0;
  if (UnitDev().ioctl(h, kIoWaveMap, nullptr, 0, map, sizeof map, &got) && got >= 8) {
    table.streamCount[slot] = map[0] > kUnitStreamMax ? kUnitStreamMax : map[0];
    table.channelWord[slot] = map[1];
  }
  if (!mask) MessageBoxById(nullptr, kMsgNoDsps, kMbWarnOk, UnitNumber(slot));
}

}  // namespace

void SetUnitDevApi(const UnitDevApi* a) { api = a; }
const UnitDevApi& UnitDev() { return *api; }

UnitTable& Units() { return table; }

UnitHandle OpenUnitDevice(const char* path, uint32_t deviceType, uint32_t* errorId) {
  const uint32_t refused = deviceType == kUnitTypeHost ? kMsgHostOpen : kMsgCardOpen;
  UnitHandle h = UnitDev().open(path, 0, 3, 0x4000000);
  if (h == kNoUnitHandle) {
    *errorId = refused;
    return kNoUnitHandle;
  }
  uint32_t id[3] = {};
  uint32_t got = 0;
  int ok = UnitDev().ioctl(h, kIoGetId, nullptr, 0, id, sizeof id, &got);
  if (ok && got == sizeof id && id[2] == deviceType && id[0] >= kUnitInterfaceVersion) {
    uint32_t timeout = 2000;
    UnitDev().ioctl(h, kIoTimeout, &timeout, sizeof timeout, nullptr, 0, &got);
    *errorId = 0;
    return h;
  }
  UnitDev().close(h);
  *errorId = ok && got == sizeof id && id[2] == deviceType ? kMsgOldDriver : refused;
  return kNoUnitHandle;
}

int OpenUnitsFrom(const char* hostPaths, const char* cardPaths, int unitNumbers[kUnitSlots],
                  int* multiPc) {
  table = UnitTable{};
  for (int i = 0; i < kUnitSlots; ++i) {
    table.host[i] = kNoUnitHandle;
    table.card[i] = kNoUnitHandle;
    unitNumbers[i] = 0;
  }
  *multiPc = 0;
  char path[kUnitPathMax + 1];
  char hostOpened[kUnitSlots][kUnitPathMax + 1];
  int hosts = 0;
  uint32_t lastError = 0;
  const char* cursor = hostPaths ? hostPaths : "";
  while (hosts < kUnitSlots && NextPath(&cursor, path)) {
    uint32_t error = 0;
    UnitHandle h = OpenUnitDevice(path, kUnitTypeHost, &error);
    if (h != kNoUnitHandle) {
      table.host[hosts] = h;
      table.ops[hosts] = &kUnitOps;
      std::memcpy(hostOpened[hosts], path, sizeof path);
      unitNumbers[hosts] = UnitNumber(hosts);
      ListUnit(UnitNumber(hosts));
      ++hosts;
      continue;
    }
    lastError = error;
    if (error == kMsgOldDriver) break;
    MessageBoxById(nullptr, error, kMbWarnOk, UnitNumber(hosts), path, UnitDev().lastErrorText());
  }
  if (!hosts && lastError == kMsgOldDriver) MessageBoxById(nullptr, kMsgOldDriver, kMbWarnOk);

  char first[kUnitPathMax + 1];
  char stem[kUnitPathMax + 1];
  for (int i = 0; i < hosts; ++i) {
    HostPathStem(hostOpened[i], i ? stem : first);
    if (i && !SameText(stem, first)) *multiPc = 1;
  }

  // Card paths go to slots 1..4 in order; an empty word (two blanks in a
  // row beyond the first) leaves its slot empty while below the host count.
  int slot = 0;
  cursor = cardPaths ? cardPaths : "";
  while (*cursor == ' ') ++cursor;
  while (slot < kUnitSlots && *cursor) {
    if (*cursor == ' ') {
      ++cursor;
      if (slot < hosts) ++slot;
      continue;
    }
    int n = 0;
    for (; *cursor && *cursor != ' '; ++cursor)
      if (n < kUnitPathMax) path[n++] = *cursor;
    path[n] = 0;
    if (*cursor == ' ') ++cursor;
    table.dunvell[slot] = Contains(path, "QVDNV") ? 1 : 0;
    uint32_t error = 0;
    UnitHandle h =
        OpenUnitDevice(path, table.dunvell[slot] ? kUnitTypeDunvell : kUnitTypeCorbelle, &error);
    if (h == kNoUnitHandle) {
      table.dunvell[slot] = 0;
      MessageBoxById(nullptr, error, kMbWarnOk, UnitNumber(slot), path, UnitDev().lastErrorText());
    } else {
      table.card[slot] = h;
      std::memcpy(table.cardPath[slot], path, sizeof path);
      unitNumbers[slot] = UnitNumber(slot);
      ListUnit(UnitNumber(slot));
      CardQueryPopulation(slot);
      if (!table.ops[slot]) {
        if (UnitDev().cardInitIoUnit) UnitDev().cardInitIoUnit(h);
        table.ioType[slot] = UnitDev().cardGetIoType ? UnitDev().cardGetIoType(h) : 0;
        if (!table.ioType[slot]) MessageBoxById(nullptr, kMsgNoIoUnit, kMbWarnOk, UnitNumber(slot));
      }
    }
    ++slot;
  }
  table.used = hosts > slot ? hosts : slot;
  return table.used;
}

void CloseUnitTable() {
  for (int i = 0; i < kUnitSlots; ++i) {
    if (table.ops[i] && table.host[i] != kNoUnitHandle) table.ops[i]->close(table.host[i]);
    if (table.card[i] != kNoUnitHandle) UnitDev().close(table.card[i]);
    table.host[i] = kNoUnitHandle;
    table.card[i] = kNoUnitHandle;
    table.ops[i] = nullptr;
  }
  table.used = 0;
  table.listCount = 0;
}

int UnitIsCardOnly(int unit) { return ValidUnit(unit) && !table.ops[UnitIndex(unit)]; }
int UnitHasHostUnit(int unit) { return ValidUnit(unit) && table.ops[UnitIndex(unit)]; }
int FirstCardOnlyUnit() {
  for (int i = 0; i < table.listCount; ++i)
    if (UnitIsCardOnly(table.list[i])) return table.list[i];
  return 0;
}
int FirstHostUnit() {
  for (int i = 0; i < table.listCount; ++i)
    if (UnitHasHostUnit(table.list[i])) return table.list[i];
  return 0;
}
int CountHostUnits() {
  int n = 0;
  for (int i = 0; i < table.listCount; ++i) n += UnitHasHostUnit(table.list[i]);
  return n;
}
int UnitHasMixDsps(int unit) { return ValidUnit(unit) && table.mixDspCount[UnitIndex(unit)] > 0; }
int FirstUnitWithMixDsps() {
  for (int u = 1; u <= kUnitSlots; ++u)
    if (UnitHasMixDsps(u)) return u;
  return 0;
}
UnitHandle UnitDevHandle(int unit) { return ValidUnit(unit) ? table.host[UnitIndex(unit)] : kNoUnitHandle; }
UnitHandle UnitCardHandle(int unit) { return ValidUnit(unit) ? table.card[UnitIndex(unit)] : kNoUnitHandle; }
const char* UnitCardPath(int unit) { return ValidUnit(unit) ? table.cardPath[UnitIndex(unit)] : ""; }
uint32_t UnitCardIsDunvell(int unit) { return ValidUnit(unit) ? table.dunvell[UnitIndex(unit)] : 0; }
uint32_t UnitMixDspCount(int unit) { return ValidUnit(unit) ? table.mixDspCount[UnitIndex(unit)] : 0; }
uint32_t UnitMixDspSlot(int unit, int i) {
  if (!ValidUnit(unit) || i < 0 || static_cast<uint32_t>(i) >= table.mixDspCount[UnitIndex(unit)]) return 0;
  return table.mixDspPos[UnitIndex(unit)][i];
}
uint32_t UnitStreamCount(int unit) { return ValidUnit(unit) ? table.streamCount[UnitIndex(unit)] : 0; }
uint32_t UnitIoType(int unit) { return ValidUnit(unit) ? table.ioType[UnitIndex(unit)] : 0; }
int UnitHwKind(int unit) { return ValidUnit(unit) ? static_cast<int>(table.hwKind[UnitIndex(unit)]) : 0; }
void UnitSetHwKind(int unit, uint32_t kind) {
  if (ValidUnit(unit)) table.hwKind[UnitIndex(unit)] = kind;
}
const UnitOps* UnitInterface(int unit, UnitHandle* handle) {
  if (!ValidUnit(unit)) {
    if (handle) *handle = kNoUnitHandle;
    return nullptr;
  }
  if (handle) *handle = table.host[UnitIndex(unit)];
  return table.ops[UnitIndex(unit)];
}
uint32_t UnitIoModeMenuId(uint32_t id) { return (id - 40384) % 6 + 40384; }
uint32_t UnitClockOutMenuId(uint32_t id) { return (id - 40360) % 6 + 40360; }
uint32_t UnitMadiModeMenuId(uint32_t id) { return id == 45021 ? 45021 : 45020; }
