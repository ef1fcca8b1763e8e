// The board-memory handle of the two-unit PCI card: a handle that has asked
// for the card's PCI location gets the card's first memory range mapped
// into its process and from then on answers only the configuration codes.
#pragma once
#include "kernel/unitdev.h"

// Turns the request's handle into a board-memory handle and answers the
// IOCTL_QV_PCI_CONFIG_GET that asked for it.
NTSTATUS BoardMemoryHandleOpen(CUnitDevice* card, IRP* irp);
