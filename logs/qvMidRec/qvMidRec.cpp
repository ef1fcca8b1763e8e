// The exports of qvMidRec.dll, a thin layer over the portable core: the log
// and view-list calls and the play/record engine's transport calls. Logs,
// view lists and event nodes cross as pointer-sized opaque values that hold
// the core's 32-bit handles. The input modules are found here, in the folder
// beside the library's own.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "logs/qvMidRec/engine.h"
#include "logs/qvMidRec/midlog.h"

namespace {

// A value the host got from us; anything wider than 32 bits never was one.
uint32_t HandleOf(const void* p) {
  const uintptr_t v = reinterpret_cast<uintptr_t>(p);
  return v <= UINT32_MAX ? static_cast<uint32_t>(v) : 0;
}

void* AsPointer(uint32_t h) { return reinterpret_cast<void*>(static_cast<uintptr_t>(h)); }

void StoreHandle(void** out, uint32_t h) {
  if (out != nullptr) *out = AsPointer(h);
}

HINSTANCE gInstance = nullptr;

// Where the input modules are: "..\..\MixElem\V103\" from the folder of
// this library's file, as an absolute path ending in a backslash. The
// process's current directory is the base of the resolution and is put
// back afterwards.
std::wstring ModuleFolder() {
  std::wstring self(MAX_PATH, L'\0');
  DWORD n = GetModuleFileNameW(gInstance, self.data(), static_cast<DWORD>(self.size()));
  while (n == self.size()) {
    self.resize(self.size() * 2);
    n = GetModuleFileNameW(gInstance, self.data(), static_cast<DWORD>(self.size()));
  }
  if (n == 0) return L"";
  self.resize(n);
  const size_t slash = self.find_last_of(L'\\');
  if (slash == std::wstring::npos) return L"";
  const std::wstring folder = self.substr(0, slash + 1);

  const DWORD curLen = GetCurrentDirectoryW(0, nullptr);
  std::wstring saved(curLen, L'\0');
  saved.resize(GetCurrentDirectoryW(curLen, saved.data()));
  std::wstring resolved;
  if (SetCurrentDirectoryW(folder.c_str())) {
    const wchar_t* relative = L"..\\..\\MixElem\\V103\\";
    const DWORD len = GetFullPathNameW(relative, 0, nullptr, nullptr);
    if (len != 0) {
      resolved.assign(len, L'\0');
      resolved.resize(GetFullPathNameW(relative, len, resolved.data(), nullptr));
    }
    SetCurrentDirectoryW(saved.c_str());
  }
  if (!resolved.empty() && resolved.back() != L'\\') resolved += L'\\';
  return resolved;
}

std::string Utf8(const std::wstring& w) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return std::string();
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, s.data(), n, nullptr, nullptr);
  s.resize(static_cast<size_t>(n - 1));
  return s;
}

std::wstring Wide(const char* s) {
  const int n = MultiByteToWideChar(CP_UTF8, 0, s, -1, nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s, -1, w.data(), n);
  w.resize(static_cast<size_t>(n - 1));
  return w;
}

uintptr_t LoadModuleFile(void*, const char* path) {
  return reinterpret_cast<uintptr_t>(LoadLibraryW(Wide(path).c_str()));
}

void* BindModuleEntry(void*, uintptr_t module, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(reinterpret_cast<HMODULE>(module), name));
}

void UnloadModuleFile(void*, uintptr_t module) { FreeLibrary(reinterpret_cast<HMODULE>(module)); }

// Every "*.DLL" of the folder, in the order the system lists them.
std::vector<std::string> ModuleFiles(const std::wstring& folder) {
  std::vector<std::string> files;
  WIN32_FIND_DATAW found;
  const HANDLE find = FindFirstFileW((folder + L"*.DLL").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return files;
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) files.push_back(Utf8(folder + found.cFileName));
  } while (FindNextFileW(find, &found));
  FindClose(find);
  return files;
}

}  // namespace

extern "C" {

int32_t WINAPI QVMIV_Init(const MidiInitRecord* init) {
  if (MidiSetInitRecord(init) == 0) return 0;
  const std::wstring folder = ModuleFolder();
  if (folder.empty()) return 1;
  const std::vector<std::string> files = ModuleFiles(folder);
  std::vector<const char*> paths;
  for (const std::string& f : files) paths.push_back(f.c_str());
  MidiLoadModules(MipLoader{nullptr, LoadModuleFile, BindModuleEntry, UnloadModuleFile}, paths.data(),
                  static_cast<uint32_t>(paths.size()));
  return 1;
}

int32_t WINAPI QVMIV_SetSampleRate(uint32_t rate) { return MidiSetSampleRate(rate); }
int32_t WINAPI QVMIV_SetTimeCodeOffset(uint32_t offset) { return MidiSetTimeCodeOffset(offset); }
int32_t WINAPI QVMIV_SetRecordMode(uint32_t mode) { return MidiSetRecordMode(mode); }
int32_t WINAPI QVMIV_SetPlayRecEndLoc(uint32_t location) { return MidiSetPlayRecEndLoc(location); }

int32_t WINAPI QVMIV_SetSeamlessLoopParams(uint32_t enable, uint32_t start, uint32_t end, uint32_t finish) {
  return MidiSetSeamlessLoopParams(enable, start, end, finish);
}

int32_t WINAPI QVMIV_BuildPlaylists() { return MidiBuildPlaylists(); }
int32_t WINAPI QVMIV_SetRecordEnable() { return MidiSetRecordEnable(); }
int32_t WINAPI QVMIV_PrepPlayBufs(uint32_t location) { return MidiPrepPlayBufs(location); }
int32_t WINAPI QVMIV_StartPlayRec() { return MidiStartPlayRec(); }
int32_t WINAPI QVMIV_StopPlayRec(uint32_t, uint32_t) { return MidiStopPlayRec(); }
int32_t WINAPI QVMIV_ConvertRecordlistsIntoLogs(uint32_t discard) { return MidiConvertRecordlistsIntoLogs(discard); }
int32_t WINAPI QVMIV_Quit() { return MidiQuit(); }

int32_t WINAPI QVMIV_CreateLog(void** out, uint32_t resolution) {
  if (out == nullptr) return 0;
  MidiLogHandle log = 0;
  const int32_t ok = MidiCreateLog(&log, resolution);
  StoreHandle(out, log);
  return ok;
}

int32_t WINAPI QVMIV_DeleteLog(void* log) { return MidiDeleteLog(HandleOf(log)); }

int32_t WINAPI QVMIV_AddLogEvent(void* log, const MidiLogEvent* event) {
  return MidiAddLogEvent(HandleOf(log), event);
}

int32_t WINAPI QVMIV_DeleteAllLogEvents(void* log) { return MidiDeleteAllLogEvents(HandleOf(log)); }

int32_t WINAPI QVMIV_GetLogEventCnt(void* log, int32_t* count) { return MidiGetLogEventCnt(HandleOf(log), count); }

int32_t WINAPI QVMIV_GetAllLogEvents(void* log, int32_t* count, MidiLogEvent* out) {
  return MidiGetAllLogEvents(HandleOf(log), count, out);
}

int32_t WINAPI QVMIV_GetLogFirstEqualOrNxtEventFromTickPos(void* log, uint8_t kind, uint32_t position,
                                                           MidiLogEvent* out, void** outNode) {
  MidiEventHandle node = 0;
  const int32_t found = MidiGetLogFirstEqualOrNxtEventFromTickPos(HandleOf(log), kind, position, out, &node);
  StoreHandle(outNode, node);
  return found;
}

int32_t WINAPI QVMIV_GetLogNxtEvent(void* node, uint8_t kind, MidiLogEvent* out, void** outNode) {
  MidiEventHandle next = 0;
  const int32_t found = MidiGetLogNxtEvent(HandleOf(node), kind, out, &next);
  StoreHandle(outNode, next);
  return found;
}

int32_t WINAPI QVMIV_CreateViewList(uint32_t track, uint32_t isRecord, void** out) {
  if (out == nullptr) return 0;
  MidiViewListHandle list = 0;
  const int32_t ok = MidiCreateViewList(track, isRecord, &list);
  StoreHandle(out, list);
  return ok;
}

int32_t WINAPI QVMIV_DeleteViewList(void* list) { return MidiDeleteViewList(HandleOf(list)); }

int32_t WINAPI QVMIV_DeleteAllViewLists(uint32_t isRecord) { return MidiDeleteAllViewLists(isRecord); }

int32_t WINAPI QVMIV_AddView(void* list, const MidiView* view) { return MidiAddView(HandleOf(list), view); }

// Unloading frees what the library still holds, as destroying its private
// heap would; at process exit the system takes it all back anyway.
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) gInstance = instance;
  if (reason == DLL_PROCESS_DETACH && reserved == nullptr) MidiLibRelease();
  return TRUE;
}

}  // extern "C"
