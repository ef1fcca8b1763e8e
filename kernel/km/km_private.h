// What the files of the simulated kernel share.
#pragma once
#include "kernel/km/kmsim.h"

#include <condition_variable>
#include <mutex>

namespace km {

[[noreturn]] void BugCheck(const char* why);
uint64_t CurrentThreadNumber();
void SignalThreadObject(DISPATCHER_HEADER* h);
void ResetClock();
void ResetRegistry();
void ResetIo();
void ResetSystem();

// Kernel handles: registry keys and threads.
enum class HandleKind { Key, Thread };
HANDLE NewHandle(HandleKind kind, void* object);
void* HandleObject(HANDLE h, HandleKind kind);
bool CloseHandleEntry(HANDLE h, HandleKind* kind, void** object);

// Objects that ObReferenceObject and ObDereferenceObject accept.
enum class ObjectKind { Device, File, Thread };
void RegisterObject(void* object, ObjectKind kind);
void UnregisterObject(void* object);
void DereferenceThread(void* thread);
void ReferenceThread(void* thread);

// The name of a unicode string as a standard string.
std::u16string Str(const UNICODE_STRING* s);
// Copies text into a pool-allocated unicode string (freed with ExFreePool on Buffer).
bool MakePoolString(const std::u16string& text, UNICODE_STRING* out);

// The last step of a request's completion, by who built it.
enum IrpOrigin : int32_t { IrpAllocated = 0, IrpBuiltSync = 1, IrpUser = 2 };
void FinishUserIrp(IRP* irp);  // in um.cpp

NTSTATUS OpenFile(const std::u16string& name, ACCESS_MASK access, uint32_t share, FILE_OBJECT** out);
NTSTATUS SendFileRequest(FILE_OBJECT* file, uint8_t major, ACCESS_MASK access, uint32_t share);

// The bus driver behind every physical device object.
DRIVER_OBJECT* BusDriver();

}  // namespace km
