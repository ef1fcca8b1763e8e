// The marker directory window as the marker list sees it: the one call that
// keeps the window's lines in step with edits of the current list. The
// window itself lives in the Windows layer (win32/mrkdir.h); tests of the
// portable code link their own stand-in.
#pragma once

#include <cstdint>

// Operations of MrkDirRefresh.
enum : int32_t {
  kMrkDirAdd = 0,      // add marker n's line
  kMrkDirRemove = 1,   // remove the line of marker n
  kMrkDirReplace = 2,  // remove and re-add marker n's line, caret on it
  kMrkDirRebuild = 3,  // rebuild every line from the current list
};

// Updates the marker directory's lines after an edit of CurMrkList; does
// nothing while the window does not exist. The selection is kept by marker
// number.
void MrkDirRefresh(int32_t op, int32_t n);
