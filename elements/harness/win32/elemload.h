// Loading an element module by name as a host does: LoadLibrary, then each
// of the ten entry points by its exact exported name.
#pragma once

#include <windows.h>

#include "elements/harness/elemharness.h"

// The loaded module with all ten entry points bound in calls; null (and
// the library released) when it cannot be loaded or lacks one.
HMODULE ElemModuleLoad(const char* name, ElemModuleCalls* calls);

// What the module window tests do to the windows a module made: a click on
// a control (the right button for a spin step), the child with that id and
// class (ids repeat across classes), and a knob's value as the host reads it.
void ElemClick(HWND control, bool right = false);
HWND ElemChild(HWND parent, int id, const char* cls);
int32_t ElemKnob(ElemModuleCalls& calls, ElemHandle element, uint32_t knob);

// Answers the next file dialog of this process from another thread: keeps
// the name it offered, types Answer and confirms; then confirms the next
// message box, if one comes, keeping its text. Start it with
// ElemAnswerDialogs before the action that opens the dialog, and wait for
// the returned thread.
struct ElemDialogAnswer {
  const char* Answer;
  char Offered[260] = "?";
  char BoxText[256] = "";
};
HANDLE ElemAnswerDialogs(ElemDialogAnswer* answer);
