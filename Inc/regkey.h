// A registry key holder. Every failing call leaves the Win32 result as the
// last error and returns FALSE.
#pragma once
#include <windows.h>

class CRegKey {
 public:
  explicit CRegKey(HKEY key = nullptr) : m_key(key) {}
  ~CRegKey() { Close(); }
  void Attach(HKEY key);
  void Close();
  BOOL Create(HKEY root, LPCSTR subkey, REGSAM access = KEY_ALL_ACCESS);
  BOOL Open(HKEY root, LPCSTR subkey, REGSAM access = KEY_READ);
  BOOL OpenW(HKEY root, LPCWSTR subkey, REGSAM access = KEY_READ);
  BOOL Connect(LPCSTR computer, HKEY root);
  BOOL DeleteSubKey(LPCSTR subkey);
  // The subkey named (or the held key itself when null) and all below it.
  BOOL DeleteTree(LPCSTR subkey);
  // REG_DWORD of exactly 4 bytes only.
  BOOL QueryDword(LPCSTR name, DWORD* value);
  // REG_SZ and REG_MULTI_SZ; REG_EXPAND_SZ expanded in place. *size: bytes in, out.
  BOOL QueryString(LPCSTR name, char* text, DWORD* size);
  BOOL QueryStringW(LPCWSTR name, WCHAR* text, DWORD* size);
  BOOL QueryValue(LPCSTR name, DWORD* type, void* data, DWORD* size);
  BOOL SetDword(LPCSTR name, DWORD value);
  // REG_SZ with its terminating NUL, or a REG_MULTI_SZ of one string with its double NUL.
  BOOL SetString(LPCSTR name, LPCSTR text, BOOL multi = FALSE);
  BOOL SetStringW(LPCWSTR name, LPCWSTR text);
  BOOL SetBinary(LPCSTR name, const void* data, DWORD size);
  // Resets the event and arms an asynchronous change notification.
  BOOL NotifyChange(HANDLE event, BOOL subtree, DWORD filter);
  BOOL EnumKey(DWORD index, char* name, DWORD size);
  BOOL EnumKeyW(DWORD index, WCHAR* name, DWORD size);
  HKEY m_key;

 private:
  CRegKey(const CRegKey&) = delete;
  CRegKey& operator=(const CRegKey&) = delete;
};

// Appends a string to a REG_MULTI_SZ (a missing value counts as empty).
BOOL AppendMultiString(CRegKey* key, LPCSTR name, LPCSTR text);
BOOL RegSetDwordValue(HKEY root, LPCSTR subkey, LPCSTR name, DWORD value);
BOOL RegSetStringValue(HKEY root, LPCSTR subkey, LPCSTR name, LPCSTR value);
