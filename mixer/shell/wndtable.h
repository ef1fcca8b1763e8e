// The window table: one handle per program window, 0 while that window is
// closed. Each window stores its handle when it creates the window and clears
// it when the window is destroyed.
#pragma once

#include <cstdint>

#include "mixer/model/host.h"

// Entries of the table, in the program's order.
enum WndId : int {
  kMainWnd,
  kTooltipWnd,
  kToolWnd,
  kStatusBar,
  kTapeTransBar,
  kArrangeWnd,
  kDirWnd,
  kFileManagerWnd,
  kMrkDirWnd,
  kAudBufWnd,
  kBigClocWnd,
  kVideoWnd,
  k9PinWnd,
  kMixWnd,
  kWndCount
};

extern WndHandle WndTable[kWndCount];

// The main frame and the nine windows that share its keyboard and are
// disabled with it around long operations.
constexpr int kAppWndCount = 10;
extern const WndId kAppWnds[kAppWndCount];

// The floating windows that may be kept above all others, each with its
// AlwaysOnTop word (0 or 1) at the same index.
constexpr int kFloatWndCount = 4;
extern const WndId kFloatWnds[kFloatWndCount];
extern int32_t AlwaysOnTop[kFloatWndCount];
