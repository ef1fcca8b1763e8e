// The link of an EPP recorder unit to a parallel port that the system's
// parallel-port driver lends: the port's number, the port object and its
// information while a handle is open, and the extended control register
// the link changes to EPP mode and gives back.
#pragma once
#include "kernel/hwaccess.h"
#include "kernel/km/km.h"

struct EppLink {
  FILE_OBJECT* file;     // the port object's file; null while not linked
  DEVICE_OBJECT* port;
  PARALLEL_PORT_INFORMATION info;
  bool ecrSaved;
  uint8_t ecr;           // the extended control register before the link
};

// The number n of \Device\ParallelPort<n> for a unit on a system port: from
// its port resource (0x378: 0, 0x278: 1), or without one the next free
// number (two at most). Numbers taken so are given back by EppPortRelease.
NTSTATUS EppPortNumber(bool hasResource, uintptr_t base, uint32_t* number, bool* counted);
void EppPortRelease(uint32_t number);

// Borrows port n: its information, the port allocated, EPP mode. Fails
// with STATUS_DEVICE_BUSY when another driver holds the port.
NTSTATUS EppLinkOpen(EppLink* link, uint32_t number);
// The same for the port of a PCI parallel-port card, which the system's
// parallel-port driver serves among its numbered ports: the one whose
// registers lie at `controller`. None: STATUS_OBJECT_NAME_NOT_FOUND.
NTSTATUS EppLinkOpenController(EppLink* link, uintptr_t controller);
// A PCI parallel-port card's extended control register (in its second
// port range) set to EPP mode.
void EppCardEppMode(const HwRegs& extended);
// The extended control register written back, the port freed and its
// information released, the port object let go.
void EppLinkClose(EppLink* link);
// The port's registers, the DSP device's port mapping while linked.
HwRegs EppLinkRegisters(const EppLink& link);
