// The driver's device-object and open-handle base classes and the dispatch
// routines that find them. Every device object of the driver carries one
// CKeDevice (in its extension); every open handle may carry one CKeHandle
// (in its file object's first context word).
#pragma once

#include <atomic>

#include "kernel/services.h"

enum KeState : int32_t {
  KeStateNone = 0,
  KeStateRemoved = 2,
  KeStateSurpriseRemoved = 3,
  KeStateRemovePending = 4,
  KeStateStopped = 5,
  KeStateStopPending = 6,
  KeStateStarted = 7,
};

class CKeHandle : public KsPoolObject {
 public:
  virtual ~CKeHandle() = default;                  // slot 0
  virtual NTSTATUS DeviceControl(IRP* irp);        // slot 1: STATUS_INVALID_DEVICE_REQUEST
  virtual void Cleanup(IRP* irp) {}                // slot 2
};

class CKeDevice;
// A device's place in its parent's list of children.
struct KeChildLink {
  LIST_ENTRY Entry;
  CKeDevice* Owner;
};

class CKeDevice {
 public:
  // Construction in place in the device object's extension (zero-filled).
  CKeDevice(DEVICE_OBJECT* device, DEVICE_OBJECT* pdo, DEVICE_OBJECT* lower);

  virtual NTSTATUS Power(IRP* irp);          // 0
  virtual NTSTATUS CreateHook(IRP* irp);     // 1
  virtual ~CKeDevice();                      // 2
  virtual NTSTATUS Start(IRP* irp);          // 3
  virtual void Stop();                       // 4
  virtual NTSTATUS Create(IRP* irp);         // 5
  virtual NTSTATUS Close(IRP* irp);          // 6
  virtual NTSTATUS Cleanup(IRP* irp);        // 7
  virtual NTSTATUS DeviceControl(IRP* irp);  // 8
  virtual NTSTATUS Read(IRP* irp);           // 9
  virtual NTSTATUS Write(IRP* irp);          // 10
  virtual NTSTATUS Flush(IRP* irp);          // 11
  virtual NTSTATUS Pnp(IRP* irp);            // 12

  static CKeDevice* From(DEVICE_OBJECT* device) { return static_cast<CKeDevice*>(device->DeviceExtension); }
  DEVICE_OBJECT* DeviceObject() const { return m_device; }
  DEVICE_OBJECT* Pdo() const { return m_pdo; }
  DEVICE_OBJECT* Lower() const { return m_lower; }
  KeState State() const { return m_state; }
  uint32_t OpenHandles() const { return m_openHandles; }
  DEVICE_POWER_STATE DevicePower() const { return m_power; }
  SYSTEM_POWER_STATE SystemPower() const { return m_systemPower; }
  const UNICODE_STRING* LinkName() const { return m_link; }
  // The device's name without prefix, for example Qvtvr0 (empty when none).
  UNICODE_STRING Name() const;

  // Takes a link name ("\??\Qvtvr0") and keeps a copy; deleted on removal.
  NTSTATUS SetLinkName(const UNICODE_STRING* link);
  void SetState(KeState state);
  void RestoreState();

  // A reference for a request in flight; false once removal has begun.
  bool Acquire();
  void Release();
  // Completes a request this device left pending and drops its reference.
  void CompletePending(IRP* irp, NTSTATUS status, int32_t boost = IO_NO_INCREMENT);
  // The cancel routine for requests this device queues: completes with
  // STATUS_CANCELLED and drops the request's reference.
  static void CancelQueued(DEVICE_OBJECT* device, IRP* irp);

  // Tears the device down: state removed, waits for requests in flight,
  // deletes the link, withdraws legacy resources, detaches and destroys.
  // With handles still open, the object lives on (refusing every request but
  // cleanup and close) and goes with the last close.
  void Remove(bool dropRequestReference);
  // Destroys the object and deletes its device object (slot 2).
  void Destroy();

  // Child devices (the WDM child), changed under the device mutex.
  void AddChild(CKeDevice* child);
  void UnlinkChild(CKeDevice* child);
  CKeDevice* Parent() const { return m_parent; }
  bool Present() const { return m_present; }
  void SetPresent(bool present) { m_present = present; }
  // Bus relations: the present children, appended to the list the request carries.
  NTSTATUS BusRelations(IRP* irp);

  KMUTEX* Mutex() { return &m_mutex; }
  void Lock();
  void Unlock();

  // Called by the dispatch routines.
  NTSTATUS HandleClose(IRP* irp, bool* destroyNow);
  bool HasLegacyResources() const { return m_legacyResources; }
  void SetLegacyResources(bool claimed) { m_legacyResources = claimed; }

 protected:
  // Sends the request down and waits for the lower drivers' answer.
  NTSTATUS ForwardAndWait(IRP* irp);
  // Sends the request down without waiting (or completes it when there is
  // no lower device).
  NTSTATUS PassDown(IRP* irp);
  // The base handling of a PnP request by minor code.
  NTSTATUS PnpBase(IRP* irp);
  void StopIfRunning(KeState before);
  void WithdrawResources();

  std::atomic<int32_t> m_refs;
  // Written by PnP requests, read by every request's dispatch on any thread.
  std::atomic<KeState> m_state{KeStateNone};
  KeState m_previous = KeStateNone;  // PnP requests only
  DEVICE_OBJECT* m_device;
  DEVICE_OBJECT* m_pdo;
  DEVICE_OBJECT* m_lower;
  KEVENT m_removed;
  KMUTEX m_mutex;
  SHARE_ACCESS m_share{};
  uint32_t m_openHandles = 0;
  DEVICE_POWER_STATE m_power = PowerDeviceUnspecified;
  SYSTEM_POWER_STATE m_systemPower = PowerSystemWorking;
  UNICODE_STRING* m_link = nullptr;
  LIST_ENTRY m_children;
  KeChildLink m_childLink;
  CKeDevice* m_parent = nullptr;
  bool m_present = false;
  bool m_legacyResources = false;
  bool m_destroyOnLastClose = false;
};

// The dispatch routines DriverEntry installs.
NTSTATUS KeDispatchCreateClose(DEVICE_OBJECT* device, IRP* irp);
NTSTATUS KeDispatchReadWrite(DEVICE_OBJECT* device, IRP* irp);
NTSTATUS KeDispatchDeviceControl(DEVICE_OBJECT* device, IRP* irp);
NTSTATUS KeDispatchInformation(DEVICE_OBJECT* device, IRP* irp);
NTSTATUS KeDispatchPnp(DEVICE_OBJECT* device, IRP* irp);
NTSTATUS KeDispatchPower(DEVICE_OBJECT* device, IRP* irp);
NTSTATUS KeDispatchSystemControl(DEVICE_OBJECT* device, IRP* irp);

// Writes a failed I/O control to the event log, except for the results that
// are expected in normal use.
void KeLogIoctlFailure(DEVICE_OBJECT* device, const IRP* irp, NTSTATUS status);

// Called after a device's removal, so the driver can retire the wave device
// when it is the last one left (set by the driver's start-up).
extern void (*g_KeAfterRemoval)(DRIVER_OBJECT* driver);
