// The user-mode side of the simulated kernel: open a device by name, send
// I/O control, cancel, close. Requests go through the I/O manager exactly as
// a process's would: a create, METHOD_BUFFERED and direct buffers, a
// cleanup when the handle closes and a close when the last reference goes.
#pragma once
#include "kernel/km/km.h"

#include <cstdint>

using UmHandle = uint32_t;  // 0: none
struct UmRequest;

// name: "\\.\Qvtvr0" (a user-mode device name), "\??\..." or "\Device\...".
NTSTATUS UmOpen(const char16_t* name, ACCESS_MASK access, uint32_t shareAccess, UmHandle* handle);
NTSTATUS UmOpen(const char* name, ACCESS_MASK access, uint32_t shareAccess, UmHandle* handle);
// Waits for the request's completion; *returned: the output bytes copied back;
// *information: the request's Information as the driver completed it.
NTSTATUS UmIoControl(UmHandle handle, uint32_t code, const void* in, uint32_t inLen, void* out, uint32_t outLen,
                     uint32_t* returned, uintptr_t* information = nullptr);
// Starts a request and returns at once; null when the handle is unknown.
// Every request started must be finished with UmWait.
UmRequest* UmIoControlBegin(UmHandle handle, uint32_t code, const void* in, uint32_t inLen, void* out,
                            uint32_t outLen);
bool UmIsDone(UmRequest* request);
NTSTATUS UmWait(UmRequest* request, uint32_t* returned, uintptr_t* information = nullptr);
// Cancels every request of the handle still in flight.
NTSTATUS UmCancelIo(UmHandle handle);
NTSTATUS UmClose(UmHandle handle);

// The process's views of physical memory that the driver maps for it (the
// board-memory handle's view): 32-bit addresses in the simulated process,
// read and written in accesses of 1, 2 or 4 bytes, which reach the
// simulated machine's memory. False outside every view.
bool UmMemoryRead(uint32_t address, uint32_t width, uint32_t* value);
bool UmMemoryWrite(uint32_t address, uint32_t width, uint32_t value);
