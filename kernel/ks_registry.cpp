// Registry operations of the kernel services layer.
#include "kernel/services.h"

#include <cstring>

namespace {

NTSTATUS OpenKeyObject(const UNICODE_STRING* path, HANDLE root, bool create, HANDLE* key) {
  OBJECT_ATTRIBUTES a;
  InitializeObjectAttributes(&a, path, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, root, nullptr);
  if (create) return ZwCreateKey(key, KEY_ALL_ACCESS, &a, 0, nullptr, REG_OPTION_NON_VOLATILE, nullptr);
  return ZwOpenKey(key, KEY_READ, &a);
}

// Opens "\Registry\Machine" for reading, then the path below it; when
// creating, each missing component on the way is created.
NTSTATUS OpenBelowMachine(const WCHAR* path, bool create, HANDLE* key) {
  UNICODE_STRING base = KsStringOf(u"\\Registry\\Machine");
  HANDLE current;
  NTSTATUS status = OpenKeyObject(&base, nullptr, false, &current);
  if (!NT_SUCCESS(status)) return status;
  const WCHAR* p = path;
  while (*p == u'\\') ++p;
  if (!create) {
    UNICODE_STRING rel = KsStringOf(p);
    status = OpenKeyObject(&rel, current, false, key);
    ZwClose(current);
    return status;
  }
  while (*p) {
    const WCHAR* end = p;
    while (*end && *end != u'\\') ++end;
    UNICODE_STRING part{static_cast<uint16_t>((end - p) * 2), static_cast<uint16_t>((end - p) * 2),
                        const_cast<WCHAR*>(p)};
    HANDLE next;
    status = OpenKeyObject(&part, current, true, &next);
    ZwClose(current);
    if (!NT_SUCCESS(status)) return status;
    current = next;
    p = *end ? end + 1 : end;
  }
  *key = current;
  return STATUS_SUCCESS;
}
}  // namespace

NTSTATUS KsRegOpen(const WCHAR* path, HANDLE* key) { return OpenBelowMachine(path, false, key); }
NTSTATUS KsRegCreate(const WCHAR* path, HANDLE* key) { return OpenBelowMachine(path, true, key); }
NTSTATUS KsRegOpenAbsolute(const UNICODE_STRING* path, HANDLE* key) { return OpenKeyObject(path, nullptr, false, key); }
NTSTATUS KsRegOpenAbsoluteWritable(const UNICODE_STRING* path, HANDLE* key) {
  OBJECT_ATTRIBUTES a;
  InitializeObjectAttributes(&a, path, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, nullptr, nullptr);
  return ZwOpenKey(key, KEY_ALL_ACCESS, &a);
}
void KsRegClose(HANDLE key) {
  if (key) ZwClose(key);
}

NTSTATUS KsRegReadValue(HANDLE key, const WCHAR* name, void* buffer, uint32_t length, uint32_t* type,
                        uint32_t* resultLength) {
  UNICODE_STRING n = KsStringOf(name);
  uint32_t needed = 0;
  NTSTATUS status = ZwQueryValueKey(key, &n, KeyValuePartialInformation, nullptr, 0, &needed);
  if (status == STATUS_OBJECT_NAME_NOT_FOUND) return status;
  if (needed < KeyValuePartialHeader) return STATUS_UNSUCCESSFUL;
  auto* info = static_cast<KEY_VALUE_PARTIAL_INFORMATION*>(KsAllocatePool(PagedPool, needed));
  if (!info) return STATUS_INSUFFICIENT_RESOURCES;
  status = ZwQueryValueKey(key, &n, KeyValuePartialInformation, info, needed, &needed);
  if (NT_SUCCESS(status)) {
    if (type) *type = info->Type;
    if (resultLength) *resultLength = info->DataLength;
    if (info->DataLength > length) {
      status = STATUS_BUFFER_OVERFLOW;
    } else if (info->DataLength) {
      std::memcpy(buffer, reinterpret_cast<uint8_t*>(info) + KeyValuePartialHeader, info->DataLength);
    }
  }
  KsFree(info);
  return status;
}

NTSTATUS KsRegReadDword(HANDLE key, const WCHAR* name, uint32_t* value) {
  uint32_t v = 0, type = REG_NONE, got = 0;
  NTSTATUS status = KsRegReadValue(key, name, &v, sizeof v, &type, &got);
  if (status == STATUS_BUFFER_OVERFLOW) return STATUS_OBJECT_TYPE_MISMATCH;
  if (!NT_SUCCESS(status)) return status;
  if (type != REG_DWORD || got != sizeof v) return STATUS_OBJECT_TYPE_MISMATCH;
  *value = v;
  return STATUS_SUCCESS;
}

NTSTATUS KsRegReadOrCreateDword(HANDLE key, const WCHAR* name, uint32_t* value) {
  NTSTATUS status = KsRegReadDword(key, name, value);
  if (status == STATUS_OBJECT_NAME_NOT_FOUND) status = KsRegWriteDword(key, name, *value);
  return status;
}

NTSTATUS KsRegWriteValue(HANDLE key, const WCHAR* name, uint32_t type, const void* data, uint32_t size) {
  UNICODE_STRING n = KsStringOf(name);
  return ZwSetValueKey(key, &n, 0, type, data, size);
}

NTSTATUS KsRegWriteDword(HANDLE key, const WCHAR* name, uint32_t value) {
  return KsRegWriteValue(key, name, REG_DWORD, &value, sizeof value);
}

NTSTATUS KsRegWriteString(HANDLE key, const WCHAR* name, const WCHAR* text) {
  UNICODE_STRING t = KsStringOf(text);
  return KsRegWriteValue(key, name, REG_SZ, text, t.Length + 2u);
}

NTSTATUS KsOpenDeviceKey(DEVICE_OBJECT* pdo, HANDLE* key) {
  if (!g_KsRoutines.IoOpenDeviceRegistryKey || !pdo) return STATUS_NOT_SUPPORTED;
  return g_KsRoutines.IoOpenDeviceRegistryKey(pdo, PLUGPLAY_REGKEY_DEVICE, KEY_ALL_ACCESS, key);
}

NTSTATUS KsOpenInterfaceKey(const UNICODE_STRING* link, HANDLE* key) {
  if (!g_KsRoutines.IoOpenDeviceInterfaceRegistryKey) return STATUS_NOT_SUPPORTED;
  return g_KsRoutines.IoOpenDeviceInterfaceRegistryKey(link, KEY_ALL_ACCESS, key);
}
