// The cancel-safe request queue, output copies and user buffers of the
// kernel services layer.
#include "kernel/services.h"

#include <algorithm>
#include <cstring>

namespace {
struct ListOp {
  LIST_ENTRY* head;
  LIST_ENTRY* entry;
  bool insert;
};

bool RunListOp(void* context) {
  auto* op = static_cast<ListOp*>(context);
  if (op->insert)
    InsertTailList(op->head, op->entry);
  else
    RemoveEntryList(op->entry);
  return true;
}

// Changes the list inside the interrupt's synchronised section when the
// queue has an interrupt whose routine also walks it.
void Synchronized(KINTERRUPT* interrupt, ListOp op) {
  if (interrupt)
    KeSynchronizeExecution(interrupt, RunListOp, &op);
  else
    RunListOp(&op);
}

KsQueue* QueueOf(IRP* irp) { return static_cast<KsQueue*>(irp->Tail.Overlay.DriverContext[0]); }
}  // namespace

void KsQueueInit(KsQueue* q, KINTERRUPT* interrupt) {
  InitializeListHead(&q->Head);
  q->Interrupt = interrupt;
}

NTSTATUS KsQueueInsert(KsQueue* q, IRP* irp, DRIVER_CANCEL cancel) {
  KIRQL irql;
  IoAcquireCancelSpinLock(&irql);
  if (irp->Cancel) {
    IoReleaseCancelSpinLock(irql);
    return STATUS_CANCELLED;
  }
  irp->Tail.Overlay.DriverContext[0] = q;
  irp->Tail.Overlay.DriverContext[1] = q->Interrupt;
  IoMarkIrpPending(irp);
  irp->IoStatus.Status = STATUS_PENDING;
  IoSetCancelRoutine(irp, cancel ? cancel : KsDefaultCancel);
  Synchronized(q->Interrupt, {&q->Head, &irp->Tail.Overlay.ListEntry, true});
  IoReleaseCancelSpinLock(irql);
  return STATUS_PENDING;
}

IRP* KsQueueRemoveFirst(KsQueue* q) {
  KIRQL irql;
  IoAcquireCancelSpinLock(&irql);
  IRP* irp = nullptr;
  if (!IsListEmpty(&q->Head)) {
    LIST_ENTRY* e = q->Head.Flink;
    Synchronized(q->Interrupt, {&q->Head, e, false});
    irp = ContainingRecord<IRP>(e, offsetof(IRP, Tail.Overlay.ListEntry));
    IoSetCancelRoutine(irp, nullptr);
  }
  IoReleaseCancelSpinLock(irql);
  return irp;
}

void KsQueueFlush(KsQueue* q, FILE_OBJECT* file) {
  for (;;) {
    KIRQL irql;
    IoAcquireCancelSpinLock(&irql);
    IRP* found = nullptr;
    for (LIST_ENTRY* e = q->Head.Flink; e != &q->Head; e = e->Flink) {
      IRP* irp = ContainingRecord<IRP>(e, offsetof(IRP, Tail.Overlay.ListEntry));
      if (!file || IoGetCurrentIrpStackLocation(irp)->FileObject == file) {
        found = irp;
        break;
      }
    }
    if (!found) {
      IoReleaseCancelSpinLock(irql);
      return;
    }
    DRIVER_CANCEL routine = IoSetCancelRoutine(found, nullptr);
    found->CancelIrql = irql;
    // The routine runs with the cancel lock held and releases it.
    (routine ? routine : KsDefaultCancel)(IoGetCurrentIrpStackLocation(found)->DeviceObject, found);
  }
}

void KsDefaultCancel(DEVICE_OBJECT*, IRP* irp) {
  KsQueue* q = QueueOf(irp);
  Synchronized(q ? q->Interrupt : nullptr, {nullptr, &irp->Tail.Overlay.ListEntry, false});
  IoReleaseCancelSpinLock(irp->CancelIrql);
  irp->IoStatus.Status = STATUS_CANCELLED;
  irp->IoStatus.Information = 0;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
}

void KsCopyOutput(IRP* irp, const void* record, uint32_t length) {
  void* buffer = irp->AssociatedIrp.SystemBuffer;
  if (!buffer || !record) {
    irp->IoStatus.Information = 0;
    return;
  }
  uint32_t n = std::min(length, IoGetCurrentIrpStackLocation(irp)->Parameters.DeviceIoControl.OutputBufferLength);
  std::memcpy(buffer, record, n);
  irp->IoStatus.Information = n;
}

MDL* KsBuildUserMdl(void* address, uint32_t length) { return IoAllocateMdl(address, length, false, false, nullptr); }

bool KsLockUserMdl(MDL* mdl, LOCK_OPERATION op) {
  try {
    MmProbeAndLockPages(mdl, UserMode, op);
    return true;
  } catch (const KmException&) {
    return false;
  }
}

void KsUnlockFreeMdl(MDL* mdl, bool locked) {
  if (!mdl) return;
  if (locked) MmUnlockPages(mdl);
  IoFreeMdl(mdl);
}

void* KsMapLockedMdl(MDL* mdl) { return MmGetSystemAddressForMdlSafe(mdl, NormalPagePriority); }
