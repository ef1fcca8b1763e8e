#include "Inc/regkey.h"

#include "Inc/base.h"

#include <cstring>

namespace {

BOOL Result(LONG r) {
  SetLastError(static_cast<DWORD>(r));
  return r == ERROR_SUCCESS;
}

BOOL Failed(DWORD error) {
  SetLastError(error);
  return FALSE;
}

}  // namespace

void CRegKey::Attach(HKEY key) {
  Close();
  m_key = key;
}

void CRegKey::Close() {
  if (m_key) RegCloseKey(m_key);
  m_key = nullptr;
}

BOOL CRegKey::Create(HKEY root, LPCSTR subkey, REGSAM access) {
  HKEY key;
  LONG r = RegCreateKeyExA(root, subkey, 0, nullptr, 0, access, nullptr, &key, nullptr);
  if (r == ERROR_SUCCESS) Attach(key);
  return Result(r);
}

BOOL CRegKey::Open(HKEY root, LPCSTR subkey, REGSAM access) {
  HKEY key;
  LONG r = RegOpenKeyExA(root, subkey, 0, access, &key);
  if (r == ERROR_SUCCESS) Attach(key);
  return Result(r);
}

BOOL CRegKey::OpenW(HKEY root, LPCWSTR subkey, REGSAM access) {
  HKEY key;
  LONG r = RegOpenKeyExW(root, subkey, 0, access, &key);
  if (r == ERROR_SUCCESS) Attach(key);
  return Result(r);
}

BOOL CRegKey::Connect(LPCSTR computer, HKEY root) {
  HKEY key;
  LONG r = RegConnectRegistryA(computer, root, &key);
  if (r == ERROR_SUCCESS) Attach(key);
  return Result(r);
}

BOOL CRegKey::DeleteSubKey(LPCSTR subkey) { return Result(RegDeleteKeyA(m_key, subkey)); }

BOOL CRegKey::DeleteTree(LPCSTR subkey) {
  HKEY key = m_key;
  if (subkey && RegOpenKeyExA(m_key, subkey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return Result(ERROR_FILE_NOT_FOUND);
  // Depth first: always the first child, until none is left.
  char child[256];
  for (;;) {
    DWORD n = sizeof child;
    LONG r = RegEnumKeyExA(key, 0, child, &n, nullptr, nullptr, nullptr, nullptr);
    if (r == ERROR_NO_MORE_ITEMS) break;
    CRegKey inner(key);
    BOOL ok = r == ERROR_SUCCESS && inner.DeleteTree(child);
    inner.m_key = nullptr;  // borrowed
    if (!ok) {
      if (subkey) RegCloseKey(key);
      return FALSE;
    }
  }
  if (!subkey) return TRUE;  // the held key itself stays, emptied
  RegCloseKey(key);
  return Result(RegDeleteKeyA(m_key, subkey));
}

BOOL CRegKey::QueryValue(LPCSTR name, DWORD* type, void* data, DWORD* size) {
  return Result(RegQueryValueExA(m_key, name, nullptr, type, static_cast<BYTE*>(data), size));
}

BOOL CRegKey::QueryDword(LPCSTR name, DWORD* value) {
  DWORD type = 0, size = sizeof(DWORD), v = 0;
  LONG r = RegQueryValueExA(m_key, name, nullptr, &type, reinterpret_cast<BYTE*>(&v), &size);
  if (r == ERROR_MORE_DATA || (r == ERROR_SUCCESS && (type != REG_DWORD || size != 4)))
    return Failed(ERROR_INVALID_DATATYPE);
  if (r != ERROR_SUCCESS) return Result(r);
  *value = v;
  return Result(r);
}

BOOL CRegKey::QueryString(LPCSTR name, char* text, DWORD* size) {
  DWORD type = 0, n = *size;
  LONG r = RegQueryValueExA(m_key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &n);
  if (r != ERROR_SUCCESS) return Result(r);
  if (type == REG_EXPAND_SZ) {
    char expanded[1024];
    DWORD e = ExpandEnvironmentStringsA(text, expanded, sizeof expanded);
    if (!e || e > *size || e > sizeof expanded) return Failed(ERROR_MORE_DATA);
    std::memcpy(text, expanded, e);
    n = e;
  } else if (type != REG_SZ && type != REG_MULTI_SZ) {
    return Failed(ERROR_INVALID_DATATYPE);
  }
  *size = n;
  return Result(ERROR_SUCCESS);
}

BOOL CRegKey::QueryStringW(LPCWSTR name, WCHAR* text, DWORD* size) {
  DWORD type = 0, n = *size;
  LONG r = RegQueryValueExW(m_key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &n);
  if (r != ERROR_SUCCESS) return Result(r);
  if (type != REG_SZ && type != REG_MULTI_SZ) return Failed(ERROR_INVALID_DATATYPE);
  *size = n;
  return Result(ERROR_SUCCESS);
}

BOOL CRegKey::SetDword(LPCSTR name, DWORD value) {
  return Result(RegSetValueExA(m_key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value));
}

BOOL CRegKey::SetString(LPCSTR name, LPCSTR text, BOOL multi) {
  DWORD n = static_cast<DWORD>(std::strlen(text)) + 1;
  if (!multi) return Result(RegSetValueExA(m_key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), n));
  char* block = static_cast<char*>(MemAlloc(n + 1));  // zero-filled: the second NUL
  if (!block) return Failed(ERROR_NOT_ENOUGH_MEMORY);
  std::memcpy(block, text, n);
  BOOL ok = Result(RegSetValueExA(m_key, name, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(block), n + 1));
  MemFree(block);
  return ok;
}

BOOL CRegKey::SetStringW(LPCWSTR name, LPCWSTR text) {
  DWORD n = static_cast<DWORD>((lstrlenW(text) + 1) * sizeof(WCHAR));
  return Result(RegSetValueExW(m_key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), n));
}

BOOL CRegKey::SetBinary(LPCSTR name, const void* data, DWORD size) {
  return Result(RegSetValueExA(m_key, name, 0, REG_BINARY, static_cast<const BYTE*>(data), size));
}

BOOL CRegKey::NotifyChange(HANDLE event, BOOL subtree, DWORD filter) {
  ResetEvent(event);
  return Result(RegNotifyChangeKeyValue(m_key, subtree, filter, event, TRUE));
}

BOOL CRegKey::EnumKey(DWORD index, char* name, DWORD size) {
  return Result(RegEnumKeyExA(m_key, index, name, &size, nullptr, nullptr, nullptr, nullptr));
}

BOOL CRegKey::EnumKeyW(DWORD index, WCHAR* name, DWORD size) {
  return Result(RegEnumKeyExW(m_key, index, name, &size, nullptr, nullptr, nullptr, nullptr));
}

BOOL AppendMultiString(CRegKey* key, LPCSTR name, LPCSTR text) {
  DWORD type = 0, size = 0;
  LONG r = RegQueryValueExA(key->m_key, name, nullptr, &type, nullptr, &size);
  if (r == ERROR_FILE_NOT_FOUND) {
    size = 0;
  } else if (r != ERROR_SUCCESS) {
    return Result(r);
  } else if (type != REG_MULTI_SZ) {
    return Failed(ERROR_INVALID_DATATYPE);
  }
  DWORD add = static_cast<DWORD>(std::strlen(text)) + 1;
  char* block = static_cast<char*>(MemAlloc(size + add + 1));
  if (!block) return Failed(ERROR_NOT_ENOUGH_MEMORY);
  DWORD have = size;
  if (size && RegQueryValueExA(key->m_key, name, nullptr, &type, reinterpret_cast<BYTE*>(block), &have)) {
    MemFree(block);
    return FALSE;
  }
  while (have > 0 && block[have - 1] == 0) --have;  // the trailing NULs
  if (have) ++have;                                // keep the last string's own NUL
  std::memcpy(block + have, text, add);            // the block is zero-filled: a double NUL follows
  BOOL ok = Result(RegSetValueExA(key->m_key, name, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(block),
                                  have + add + 1));
  MemFree(block);
  return ok;
}

BOOL RegSetDwordValue(HKEY root, LPCSTR subkey, LPCSTR name, DWORD value) {
  CRegKey key;
  return key.Create(root, subkey, KEY_SET_VALUE) && key.SetDword(name, value);
}

BOOL RegSetStringValue(HKEY root, LPCSTR subkey, LPCSTR name, LPCSTR value) {
  CRegKey key;
  return key.Create(root, subkey, KEY_SET_VALUE) && key.SetString(name, value);
}
