// The arithmetic of the shell's small windows, apart from drawing: the
// status bar's layout, the audio-buffer window's bar and percentage, the
// big clock's settings line and texts, the setup dialogs' entries and the
// tool window's page and mouse slots.
#pragma once

#include <cstdint>

// Status bar items left to right: the pointer position, fields 0..5 and the
// locator distance.
constexpr int kStatusItems = 8;
extern const int32_t kStatusFieldWidth[kStatusItems];
// Label and field x of each item for a bar `width` pixels wide, the labels'
// text widths given; a hidden item stands at -1000 and takes no room.
struct StatusLayoutRec {
  int32_t labelX[kStatusItems];
  int32_t fieldX[kStatusItems];
};
void StatusLayout(const int32_t labelWidth[kStatusItems], int32_t width, StatusLayoutRec* out);

// Audio-buffer window: the bar's length in pixels (0..168) for a reserve,
// and the lowest reserve as a percentage with one decimal, tenths cut.
constexpr int32_t kAudBufBar = 168;
int32_t AudBufBarLength(uint32_t reserve, uint32_t bufSize);
void AudBufPercentText(uint32_t lowest, uint32_t bufSize, char* out, int size);

// Big clock settings: the colours and a LOGFONTA as 15 32-bit words (the
// face name, at most 31 characters, in the last eight).
struct BigClockSettings {
  uint32_t textColour;
  uint32_t background;
  uint32_t font[15];
};
constexpr int kBigClockFaceWords = 8;
// Reads the "ColorsAndFont" line; values missing at its end take their
// defaults (the background default is `sysColour15`). A longer face name
// is cut to what the font record holds.
void BigClockParse(const char* line, uint32_t sysColour15, BigClockSettings* out);
void BigClockFormat(const BigClockSettings& s, char* out, int size);
const char* BigClockFace(const BigClockSettings& s);
// The clock's texts: "hh:mm:ss:ff" (11 characters) and "bbbbb.bb.ttt"
// (12); a bar beyond five places shows 99999 so that the text keeps its
// cells.
void BigClockTcText(int32_t h, int32_t m, int32_t s, int32_t f, char out[12]);
void BigClockBarsText(int32_t bar, int32_t beat, int32_t tick, char out[13]);

// Setup dialog entries.
int32_t SlvMtcPrepFromEntry(int32_t value);  // 100..4000
// Drop-out: milliseconds typed at `rate` to samples (rounding up), at
// least 0 and at most 960000.
int32_t DropOutFromMs(int32_t ms, uint32_t rate);
// A position typed in a setup dialog: the largest settable position is
// one below EndOfTime.
int32_t SetupPositionLimit(int32_t position);

// Tool page: 64 slots of tool ids, 98 a separator, 99 an empty place.
constexpr int kToolPageSlots = 64;
constexpr int32_t kToolSeparator = 98;
constexpr int32_t kToolEmpty = 99;
constexpr int32_t kToolCount = 49;
constexpr int32_t kToolContextEdit = 43;
constexpr char kToolPageDefault[] = "0 1 2 3 6 19 20";
struct ToolPage {
  int32_t slot[kToolPageSlots];
};
// Reads a page text (null for the default).
void ToolPageParse(const char* text, ToolPage* page);
void ToolPageFormat(const ToolPage& page, char* out, int size);
int32_t ToolSlotWidth(int32_t tool);  // 12 separator, else 24
// Left edge of each slot from x 40, and the page's width end.
int32_t ToolSlotX(const ToolPage& page, int slot);
int32_t ToolPageEnd(const ToolPage& page);
// The n-th real tool, 99 when the page has fewer.
int32_t ToolPageAt(const ToolPage& page, int n);
// A tool dropped at client point (x, y) of a window `clientWidth` wide; 1
// when it landed on the button row and the page changed.
int ToolPageDrop(ToolPage* page, int32_t tool, int32_t x, int32_t y, int32_t clientWidth);

// Mouse slots: 0 right, 1 left, 2 Alt + right, 3 Alt + left; and the set
// saved while the context-sensitive tool holds all four.
struct ToolSlots {
  int32_t tool[4];
  int32_t saved[4];
};
// Assigns a tool to a slot; `changed` (may be null) gets, per slot, 1 when
// its tool changed.
void ToolSlotsSelect(ToolSlots* slots, int slot, int32_t tool, int changed[4]);
