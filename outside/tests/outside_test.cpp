// The console and video stand-ins, loaded by name as the program loads them.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace {

using CommandFn = int32_t(__stdcall*)(int32_t, int32_t, intptr_t);
using QueryFn = int32_t(__stdcall*)(int32_t, int32_t, intptr_t);
using RegisterFn = int32_t(__stdcall*)(int32_t, CommandFn, QueryFn);
using NotifyFn = void(__stdcall*)(int32_t, int32_t, intptr_t);
using UnregisterFn = void(__stdcall*)();

std::string commands;

int32_t __stdcall Command(int32_t kind, int32_t a, intptr_t b) {
  commands += std::to_string(kind) + "," + std::to_string(a) + "," + std::to_string(b) + ";";
  return kind == 1 ? 1 : 0;
}
int32_t __stdcall Query(int32_t, int32_t, intptr_t) { return 0; }

std::string TempFile(const char* name) {
  char dir[MAX_PATH];
  GetTempPathA(sizeof dir, dir);
  return std::string(dir) + name;
}

std::string ReadAll(const std::string& path) {
  std::ifstream f(path);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

template <class Fn>
Fn Get(HMODULE lib, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(lib, name)));
}

TEST(QvConInt, RecordsWhatItIsToldAndSendsCommandsOnTheRegisteringThread) {
  const std::string log = TempFile("hrl-qvcin-test.log");
  std::remove(log.c_str());
  SetEnvironmentVariableA("QVCIN_LOG", log.c_str());
  HMODULE lib = LoadLibraryA("QvConInt.dll");
  ASSERT_NE(lib, nullptr);
  auto reg = Get<RegisterFn>(lib, "QVCIN_RegisterConsole");
  auto notify = Get<NotifyFn>(lib, "QVCIN_NotifyConsole");
  auto unreg = Get<UnregisterFn>(lib, "QVCIN_UnRegisterConsole");
  ASSERT_TRUE(reg && notify && unreg);

  EXPECT_EQ(reg(1, Command, Query), 0);
  ASSERT_EQ(reg(0, Command, Query), 0x2010000);
  EXPECT_EQ(reg(0, Command, Query), 0) << "a second program is refused";
  notify(0, 2, 0);
  struct {
    int32_t position;
    char name[64];
  } marker = {4800, "Intro"};
  notify(5, 3, reinterpret_cast<intptr_t>(&marker));

  HWND wnd = FindWindowExA(HWND_MESSAGE, nullptr, "QvConIntWnd", nullptr);
  ASSERT_NE(wnd, nullptr);
  EXPECT_EQ(SendMessageA(wnd, WM_APP + 1, 1, 0), 1);
  EXPECT_EQ(SendMessageA(wnd, WM_APP + 2, 0, 9000), 0);
  EXPECT_EQ(commands, "1,1,0;2,0,9000;");
  unreg();
  EXPECT_EQ(FindWindowExA(HWND_MESSAGE, nullptr, "QvConIntWnd", nullptr), nullptr);
  EXPECT_EQ(ReadAll(log),
            "register\nnotify 0 2 0\nnotify 5 3 4800\ncommand 1 1 -> 1\ncommand 2 0 -> 0\nunregister\n");
  FreeLibrary(lib);
  SetEnvironmentVariableA("QVCIN_LOG", nullptr);
  std::remove(log.c_str());
}

TEST(QvVPlayer, KeepsItsSettingsAndPosition) {
  const std::string ini = TempFile("hrl-qvvp-test.ini");
  std::remove(ini.c_str());
  HMODULE lib = LoadLibraryA("QvVPlayer.dll");
  ASSERT_NE(lib, nullptr);
  auto setIni = Get<void(__stdcall*)(const char*)>(lib, "QVVPLAYER_SetIniFileName");
  auto setRate = Get<void(__stdcall*)(uint32_t)>(lib, "QVVPLAYER_SetSampleRate");
  auto save = Get<void(__stdcall*)()>(lib, "QVVPLAYER_SaveSettings");
  auto start = Get<void(__stdcall*)(int32_t)>(lib, "QVVPLAYER_StartPlayRec");
  auto stop = Get<void(__stdcall*)()>(lib, "QVVPLAYER_StopPlayRec");
  ASSERT_TRUE(setIni && setRate && save && start && stop);

  setIni(ini.c_str());
  setRate(48000);
  start(0);
  Sleep(120);
  stop();
  save();
  const UINT rate = GetPrivateProfileIntA("QvVPlayer", "SampleRate", 0, ini.c_str());
  const UINT position = GetPrivateProfileIntA("QvVPlayer", "Position", 0, ini.c_str());
  EXPECT_EQ(rate, 48000u);
  EXPECT_GE(position, 48000u * 100 / 1000);
  // Stopped, the position stays; a new start of the library reads it back.
  Sleep(50);
  save();
  EXPECT_EQ(GetPrivateProfileIntA("QvVPlayer", "Position", 0, ini.c_str()), position);
  setRate(44100);
  setIni(ini.c_str());
  save();
  EXPECT_EQ(GetPrivateProfileIntA("QvVPlayer", "SampleRate", 0, ini.c_str()), 48000u);
  EXPECT_EQ(GetPrivateProfileIntA("QvVPlayer", "Position", 0, ini.c_str()), position);
  FreeLibrary(lib);
  std::remove(ini.c_str());
}

}  // namespace
