// Starting the real HRL Mixer.exe from a run folder of its own, for the
// program's test and its start-up benchmark: the folder holds copies of the
// program and its device library from beside the caller and an ini file.
#pragma once

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace runfolder {

// The folder of the running program, with its trailing backslash.
inline std::string ProgramDir() {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return {};
  std::string s(path, n);
  return s.substr(0, s.rfind('\\') + 1);
}

// Makes <temp>\<name>\ with the program, its library and an ini file of
// `iniText`; the folder, or empty when a step failed.
inline std::string Prepare(const char* name, const char* iniText) {
  char temp[MAX_PATH];
  if (!GetTempPathA(MAX_PATH, temp)) return {};
  std::string run = std::string(temp) + name + "\\";
  CreateDirectoryA(run.c_str(), nullptr);
  const std::string from = ProgramDir();
  for (const char* file : {"HRL Mixer.exe", "Qvdrv.dll"})
    if (!CopyFileA((from + file).c_str(), (run + file).c_str(), FALSE)) return {};
  FILE* ini = std::fopen((run + "HRLMixerDef.INI").c_str(), "wb");
  if (!ini) return {};
  bool written = std::fputs(iniText, ini) >= 0;
  if (std::fclose(ini) != 0 || !written) return {};
  return run;
}

// Starts the program in `run`; false when it could not be started.
inline bool Start(const std::string& run, PROCESS_INFORMATION* pi) {
  std::string cmd = "\"" + run + "HRL Mixer.exe\"";
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  *pi = {};
  return CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, run.c_str(), &si,
                        pi) != 0;
}

struct FrameSearch {
  DWORD pid;
  bool shownOnly;
  HWND wnd;
};

inline BOOL CALLBACK FindFrameOf(HWND wnd, LPARAM lParam) {
  auto* s = reinterpret_cast<FrameSearch*>(lParam);
  DWORD owner = 0;
  char cls[32];
  GetWindowThreadProcessId(wnd, &owner);
  if (owner != s->pid || (s->shownOnly && !IsWindowVisible(wnd))) return TRUE;
  if (!GetClassNameA(wnd, cls, sizeof cls) || std::strcmp(cls, "QV_WC200") != 0) return TRUE;
  s->wnd = wnd;
  return FALSE;
}

// The main frame (class QV_WC200) of process `pid`, or null; with
// `shownOnly` only once it is visible.
inline HWND FindMainFrame(DWORD pid, bool shownOnly) {
  FrameSearch s = {pid, shownOnly, nullptr};
  EnumWindows(FindFrameOf, reinterpret_cast<LPARAM>(&s));
  return s.wnd;
}

}  // namespace runfolder
