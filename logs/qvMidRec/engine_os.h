// The operating-system objects of the play/record engine: critical sections,
// events and the allocator thread. The engine's logic is portable; these
// come from the Win32 API in the Windows builds and from the standard
// library elsewhere, with the same meaning.
#pragma once

#include <cstdint>

// A critical section: entered by one thread at a time, re-entrant is not
// needed. TryEnter never waits.
struct MidiOsLock;
MidiOsLock* MidiOsLockCreate();
void MidiOsLockDestroy(MidiOsLock* lock);
void MidiOsLockEnter(MidiOsLock* lock);
bool MidiOsLockTryEnter(MidiOsLock* lock);
void MidiOsLockLeave(MidiOsLock* lock);

// A manual-reset event, initially not signalled.
struct MidiOsEvent;
MidiOsEvent* MidiOsEventCreate();
void MidiOsEventDestroy(MidiOsEvent* event);
void MidiOsEventSet(MidiOsEvent* event);
void MidiOsEventReset(MidiOsEvent* event);
void MidiOsEventWait(MidiOsEvent* event);

// A worker thread that runs `work(context)` once for every request queued
// (in Windows as an asynchronous procedure call while it waits alertably on
// its wake event) and ends when stopped. Queueing never waits, so the
// real-time threads may ask for work.
struct MidiOsWorker;
MidiOsWorker* MidiOsWorkerStart(void (*work)(void* context), void* context);
void MidiOsWorkerQueue(MidiOsWorker* worker);
// Signals the wake event, waits for the thread to end and closes it;
// requests not yet run are dropped.
void MidiOsWorkerStop(MidiOsWorker* worker);
