// Installation and registration: the MME wave driver entry, the mixer
// graph's interface key, the plug-in registration of the element modules
// as media filters, and the services with the service manager they go
// through.
#pragma once
#include "Drv/Qvcom/qvcom.h"

#include <winsvc.h>

// The library of the MME wave driver that the Drivers32 slot names.
extern const char kWaveDriverLibrary[];

// Drivers32 (the key given): a Wave1..Wave9 slot already naming the library
// is kept; otherwise the first empty slot gets it; none free: failure.
HRESULT AddWaveDriver(HKEY drivers32, LPCSTR library);
// Wave and Wave1..Wave9 naming the library are emptied.
HRESULT RemoveWaveDriver(HKEY drivers32, LPCSTR library);

// Register functions of the class table's mixer-graph and plug-in rows.
HRESULT RegisterMixGraphClass(QvRegContext* context);
HRESULT UnregisterMixGraphClass(QvRegContext* context);
HRESULT RegisterPluginClass(QvRegContext* context);
HRESULT UnregisterPluginClass(QvRegContext* context);

// The CLSID of an element type's plug-in filter.
CLSID PluginClsid(uint32_t typeCode);

// The service manager's calls the installation makes (the platform's or a
// test's).
struct ServiceCalls {
  SC_HANDLE(WINAPI* openManager)(LPCSTR machine, LPCSTR database, DWORD access);
  SC_HANDLE(WINAPI* create)(SC_HANDLE manager, LPCSTR name, LPCSTR display, DWORD access, DWORD type, DWORD start,
                            DWORD errorControl, LPCSTR path, LPCSTR group, LPDWORD tag, LPCSTR dependencies,
                            LPCSTR account, LPCSTR password);
  SC_HANDLE(WINAPI* open)(SC_HANDLE manager, LPCSTR name, DWORD access);
  BOOL(WINAPI* start)(SC_HANDLE service, DWORD argc, LPCSTR* argv);
  BOOL(WINAPI* control)(SC_HANDLE service, DWORD code, LPSERVICE_STATUS status);
  BOOL(WINAPI* remove)(SC_HANDLE service);
  BOOL(WINAPI* close)(SC_HANDLE handle);
};
ServiceCalls& ServiceSeams();
ServiceCalls PlatformServiceCalls();

// The kernel driver's and the remote-device server's services: created
// (an existing one counts as made), described, given their "Parameters"
// key under the context root's Services key and started when their start
// type is automatic or earlier. Failures are reported; the first one's
// HRESULT is the result.
HRESULT InstallServices(QvRegContext* context);
// Stopped (a failure is a warning) and deleted; not installed counts as
// removed.
HRESULT RemoveServices(QvRegContext* context);
// Whether the platform installs the services itself: NT 4 only.
bool ServicesInstalledHere();
