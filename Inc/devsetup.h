// Device-setup queries whose answers come in library memory (MemFree them).
#pragma once
#include <windows.h>
#include <setupapi.h>

// The interface detail (wide device path); NULL with the last error.
SP_DEVICE_INTERFACE_DETAIL_DATA_W* GetDeviceInterfaceDetail(HDEVINFO set, SP_DEVICE_INTERFACE_DATA* interfaceData);
// The registry property with its type and size; NULL with the last error.
BYTE* GetDeviceRegistryProperty(HDEVINFO set, SP_DEVINFO_DATA* device, DWORD property, DWORD* type, DWORD* size);
