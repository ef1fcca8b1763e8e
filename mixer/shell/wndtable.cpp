#include "wndtable.h"

WndHandle WndTable[kWndCount] = {};

const WndId kAppWnds[kAppWndCount] = {
    kMainWnd,   kArrangeWnd, kDirWnd,   kFileManagerWnd, kMrkDirWnd,
    kAudBufWnd, kBigClocWnd, kVideoWnd, k9PinWnd,        kMixWnd,
};

const WndId kFloatWnds[kFloatWndCount] = {kBigClocWnd, kVideoWnd, k9PinWnd, kMixWnd};

// Every floating window stays on top unless the user switches it off.
int32_t AlwaysOnTop[kFloatWndCount] = {1, 1, 1, 1};
