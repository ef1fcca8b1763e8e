// A small element module built for the contract harness: a gain insert, a
// stereo meter output and one hidden type, each using the parts of the
// interface that the real modules use (program download, running writes,
// clears of a two-bank area, meter reads, state restore, notifications).
#pragma once

#include "elements/elemif.h"
#include "elements/elemexports.h"

enum : uint32_t {
  kTestGainCode = 5000,
  kTestMeterCode = 5001,
  kTestHiddenCode = 5002,
};

// The little window of an element (win32/testmod_win.cpp; none in the
// portable build). Registers its class on first use.
WndHandle TestElemLittleWindow(ElemHandle element, WndHandle parent, const ElemPoint& at, int32_t width,
                               int32_t height);
// Number of live elements, for tests of the module's own list.
int TestElemLiveCount();
