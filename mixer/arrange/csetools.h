// The Context Sensitive Edit tool: the zone of a point inside a Part, the
// six tool sets that map zones to tools (by the Part's Take kind and the Alt
// key), their ini texts, which tools select the clicked Part first, and the
// cursor of each tool.
#pragma once

#include <cstdint>

constexpr int kCseSets = 6;
constexpr int kCseUserEntries = 12;  // zones 0..11, the user's
constexpr int kCseEntries = 20;      // 12..19 derived
constexpr int kCseNone = 43;         // the tool that does nothing here

// The live tool sets: 0 Audio, 1 Automation, 2 other kinds, 3..5 the same
// with Alt.
extern int32_t CseTools[kCseSets][kCseEntries];
// The built-in contents.
extern const int32_t kCseDefaultTools[kCseSets][kCseEntries];

// Copies 12 ids into the set and derives entries 12..19.
void CseNormalize(int set, const int32_t ids[kCseUserEntries]);
// Parses up to 12 numbers in the ini file's syntax (ParseNumber: decimal,
// or hexadecimal with 0x; blanks and commas between them skipped); missing
// ones are 43, each is clamped to 0..48.
void CseParseSet(const char* text, int32_t ids[kCseUserEntries]);
// "%d %d ... %d" of 12 ids into out (at least 64 bytes).
void CseFormatSet(const int32_t ids[kCseUserEntries], char* out, int size);
// The set of a Take kind with or without Alt.
int CseSetOf(uint32_t takeKind, int alt);

// The zone code of a point inside a Part: h from the pixel distances to the
// Part's start and end, v from the line inside the row (0 under the row
// separator) and the row height.
int ArrCseZoneOf(int32_t fromStart, int32_t toEnd, int32_t line, int32_t rowHeight);

// Tool classes of the click.
int ArrToolSelectsPart(int tool);
int ArrToolDrawsSelection(int tool);

// The cursor of a tool over a zone: a cursor resource of the program (> 0)
// or one of the system cursors below (< 0).
enum : int32_t {
  kCurArrow = -1,
  kCurSizeWE = -2,
  kCurSizeNWSE = -3,
  kCurSizeNESW = -4,
  kCurSizeNS = -5,
};
int32_t ArrToolCursorId(int tool, int zone);
