#include "mixer/arrange/csetools.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "mixer/model/arr.h"
#include "mixer/model/ini.h"
#include "mixer/model/take.h"

const int32_t kCseDefaultTools[kCseSets][kCseEntries] = {
    {27, 44, 44, 17, 27, 23, 3, 16, 27, 44, 44, 16, 43, 44, 44, 43, 43, 44, 44, 43},
    {39, 44, 44, 3, 39, 23, 3, 3, 39, 44, 44, 3, 43, 44, 44, 43, 43, 44, 44, 43},
    {44, 44, 44, 17, 23, 23, 3, 16, 44, 44, 44, 16, 43, 44, 44, 43, 43, 44, 44, 43},
    {2, 22, 22, 9, 2, 1, 6, 9, 2, 22, 22, 9, 43, 22, 22, 43, 43, 22, 22, 43},
    {2, 22, 22, 9, 2, 1, 6, 9, 2, 22, 22, 9, 43, 22, 22, 43, 43, 22, 22, 43},
    {2, 22, 22, 9, 2, 1, 6, 9, 2, 22, 22, 9, 43, 22, 22, 43, 43, 22, 22, 43},
};

int32_t CseTools[kCseSets][kCseEntries] = {
    {27, 44, 44, 17, 27, 23, 3, 16, 27, 44, 44, 16, 43, 44, 44, 43, 43, 44, 44, 43},
    {39, 44, 44, 3, 39, 23, 3, 3, 39, 44, 44, 3, 43, 44, 44, 43, 43, 44, 44, 43},
    {44, 44, 44, 17, 23, 23, 3, 16, 44, 44, 44, 16, 43, 44, 44, 43, 43, 44, 44, 43},
    {2, 22, 22, 9, 2, 1, 6, 9, 2, 22, 22, 9, 43, 22, 22, 43, 43, 22, 22, 43},
    {2, 22, 22, 9, 2, 1, 6, 9, 2, 22, 22, 9, 43, 22, 22, 43, 43, 22, 22, 43},
    {2, 22, 22, 9, 2, 1, 6, 9, 2, 22, 22, 9, 43, 22, 22, 43, 43, 22, 22, 43},
};

void CseNormalize(int set, const int32_t ids[kCseUserEntries]) {
  if (set < 0 || set >= kCseSets) return;
  int32_t* t = CseTools[set];
  std::copy(ids, ids + kCseUserEntries, t);
  // Beside a Part only the trim tools have a meaning: entries 12..15 follow
  // zones 0..3 (before the start), 16..19 zones 8..11 (after the end).
  for (int i = 0; i < 4; ++i) {
    const int32_t before = t[i], after = t[8 + i];
    t[12 + i] = before == 22 || before == 44 ? before : kCseNone;
    t[16 + i] = after == 22 || after == 44 ? after : kCseNone;
  }
}

void CseParseSet(const char* text, int32_t ids[kCseUserEntries]) {
  const char* p = text ? text : "";
  // The ini file's own number syntax: a leading 0 is no octal prefix ("010"
  // is ten), 0x or a base letter choose the base. Text that holds no number
  // ends the list: the entries left take the tool that does nothing.
  for (int i = 0; i < kCseUserEntries; ++i) {
    while (*p == ' ' || *p == '\t' || *p == ',') ++p;
    const char* start = p;
    const int32_t v = *p ? ParseNumber(&p) : 0;
    if (p == start) {
      ids[i] = kCseNone;
      continue;
    }
    ids[i] = std::clamp<int32_t>(v, 0, 48);
  }
}

void CseFormatSet(const int32_t ids[kCseUserEntries], char* out, int size) {
  int used = 0;
  for (int i = 0; i < kCseUserEntries && used < size; ++i) {
    const int n = std::snprintf(out + used, static_cast<size_t>(size - used), i ? " %d" : "%d",
                                static_cast<int>(ids[i]));
    if (n < 0) break;
    used += n;
  }
}

int CseSetOf(uint32_t kind, int alt) {
  const int base = kind == kTakeAudio ? 0 : kind == kTakeAutom ? 1 : 2;
  return base + (alt ? 3 : 0);
}

int ArrCseZoneOf(int32_t fromStart, int32_t toEnd, int32_t line, int32_t rowHeight) {
  const int h = fromStart < 5 ? 0 : toEnd < 6 ? 8 : 4;
  int v;
  const int32_t strip = std::max(4, rowHeight / 8);
  if (rowHeight >= 13 && line < strip)
    v = 0;
  else if (rowHeight >= 13 && line >= rowHeight - strip)
    v = 3;
  else
    v = line < rowHeight / 2 ? 1 : 2;
  return h + v;
}

int ArrToolSelectsPart(int tool) {
  switch (tool) {
    case 15: case 16: case 17: case 28: case 29: case 36: case 41: return 0;
    default: return 1;
  }
}

int ArrToolDrawsSelection(int tool) {
  static const int kTools[] = {3,  4,  5,  6,  7,  8,  14, 18, 19, 22, 23, 25, 26, 27,
                               30, 31, 32, 33, 34, 35, 37, 38, 39, 40, 43, 44, 45, 47};
  return std::find(std::begin(kTools), std::end(kTools), tool) != std::end(kTools) ? 1 : 0;
}

int32_t ArrToolCursorId(int tool, int zone) {
  static const int32_t kFixed[47] = {
      0,   429, 430, 412, 413, 414, 415, 416, 417, 419, 420, 422, 423, 424, 425, 0,
      418, 407, 0,   426, 427, 0,   0,   0,   0,   0,   0,   0,   404, 404, 0,   0,
      0,   0,   0,   0,   0,   0,   0,   428, 0,   0,   0,   0,   411, 0,   421};
  if (tool == 22) return (zone <= 3 || (zone >= 12 && zone <= 15)) ? 410 : 409;
  if (tool == 23) return kCurSizeWE;
  if (tool == 27) {
    if (zone == 0 || zone == 1 || zone == 10 || zone == 11) return kCurSizeNWSE;
    if (zone == 2 || zone == 3 || zone == 8 || zone == 9) return kCurSizeNESW;
    return kCurSizeNS;
  }
  if (tool < 1 || tool > 46 || kFixed[tool] == 0) return kCurArrow;
  return kFixed[tool];
}
