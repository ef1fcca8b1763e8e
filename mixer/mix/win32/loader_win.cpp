#include <windows.h>

#include "mixer/mix/win32/winlib.h"

std::vector<std::string> Win32ElemLoader::ListDlls(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((folder + "*.DLL").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
  } while (FindNextFileA(find, &found));
  FindClose(find);
  return names;
}

void* Win32ElemLoader::Load(const std::string& path) {
  char current[MAX_PATH];
  const DWORD n = GetCurrentDirectoryA(MAX_PATH, current);
  HMODULE module = LoadLibraryA(path.c_str());
  if (n > 0 && n < MAX_PATH) SetCurrentDirectoryA(current);
  return module;
}

void* Win32ElemLoader::Find(void* module, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

void Win32ElemLoader::Free(void* module) { FreeLibrary(static_cast<HMODULE>(module)); }
