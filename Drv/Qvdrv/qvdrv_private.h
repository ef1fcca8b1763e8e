// What the library's files share.
#pragma once
#include "Drv/Qvdrv/qvdrv.h"

// The library's module, and whether the platform is of the NT family (from
// the version record read when the library was loaded).
HMODULE QvdrvModule();
void QvdrvAttach(HMODULE module);
bool QvdrvIsNt();

// Boots from an RT_RCDATA resource of `module` (null: this library) through
// the device: a program file with the load request, any other image with the
// boot request.
BOOL BootFromResource(QVDEVHANDLE device, HMODULE module, LPCSTR name);
// Sends an image that is in memory: the framing of FrameImage.
BOOL BootFromImage(QVDEVHANDLE device, const BYTE* image, DWORD length);

// The remote half of qvDevOpen: server name, the local name there.
QVDEVHANDLE qvDevOpenRemote(const char* server, const char* localName, DWORD access, DWORD share, DWORD flags);
// The remote-access settings, read when the library is loaded.
void ReadRemoteSettings();

// Board ids: those of the driver protocol (kernel/protocol.h).

// The processor feature word; chooses the converter pair on its first
// non-zero probe.
DWORD GetCpuFeatures();
