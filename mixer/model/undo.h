// The undo store: whole copies of the current arrangement and marker list
// per step, the step names and change counters, the Take file journal's
// levels, and the Edit menu's Undo and Redo items.
#pragma once

#include <cstdint>

// Size of the step and snapshot arrays: the user's number of undo levels
// (1..99) plus one entry for the present state while steps are undone.
// Read as 2..100. A change takes effect at the store's next operation,
// which first drops every step kept under the old size.
extern int32_t UndoLevels;
// UndoLevels clamped to 2..100.
uint32_t UndoLevelCount();
// Sets UndoLevels from the main ini file (section "MainWnd", key
// "UndoLevels", 1..99, default 10) plus one.
void UndoLoadLevels();

// Edit menu items of the main window.
enum : uint32_t { kMenuEditUndo = 41440, kMenuEditRedo = 41441 };

// Records an undo step named by a string id; 1, or 0 after a failure, which
// discards all undo steps.
int UndoRecord(uint32_t actionName);
// Undoes the current step; with keepForRedo 0 the step is forgotten (no
// Redo). 1, or 0 after a reported failure or when there is no step. Out of
// heap memory, every step is discarded and the lists stay as they are; a Take
// file that could not be moved is reported after the step was undone.
int UndoApply(int keepForRedo);
// Redoes the next step; 1, or 0 after a reported failure or when there is
// nothing to redo.
int RedoApply();
// Drops that many of the newest levels (0 = all); 1, or 0 after a reported
// failure.
int UndoDiscard(uint32_t levels);
// While set, recording, Undo, Redo and discarding do nothing and report
// success.
void UndoSuspend(int suspend);
// Forgets every step and copy without freeing, moving or deleting anything:
// for the end of the heaps the copies live in. The next operation starts a
// fresh store.
void UndoForgetAll();
// The number of steps that can be undone.
uint32_t UndoGetLevel();
// 1 when a Redo is possible.
int UndoHasRedo();
