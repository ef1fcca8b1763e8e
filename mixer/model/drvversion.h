// The version test of the device interface library that start-up makes,
// apart from reading the file's version resource.
#pragma once

#include <cstdint>

// A fixed file version as the version resource holds it: major in the high
// and minor in the low half of `ms`, build and revision likewise in `ls`.
struct FileVersion {
  uint32_t ms;
  uint32_t ls;
};

constexpr FileVersion MakeFileVersion(uint16_t major, uint16_t minor, uint16_t build,
                                      uint16_t revision) {
  return {static_cast<uint32_t>(major) << 16 | minor, static_cast<uint32_t>(build) << 16 | revision};
}

// The oldest device interface library the program runs with: 2.7.420.51116.
constexpr FileVersion kDrvLibMinVersion = MakeFileVersion(2, 7, 420, 51116);
static_assert(kDrvLibMinVersion.ms == 0x00020007 && kDrvLibMinVersion.ls == 0x01A4C7AC);

// 1 when `version` is kDrvLibMinVersion or later, else 0. The words compare
// as unsigned numbers, the high word first.
int DrvLibVersionOk(const FileVersion& version);
