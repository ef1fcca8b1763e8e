// The real HRL Mixer.exe from a run folder with the native engine, the
// simulated machine and the console stand-in beside it: Play and Stop are
// pressed through the program's own command path (the main menu's
// commands), the console hears the transport, and the simulated machine's
// capture of what the native devices played covers the played span: in
// silence with no arrangement, and equal to the reference render sample for
// sample with an arrangement of real Take files opened through the
// program's own Open command and file dialog.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "mixer/model/arrfile.h"
#include "mixer/model/arrheap.h"
#include "mixer/model/settings.h"
#include "mixer/shell/win32/tests/runfolder.h"
#include "mixer/units/tests/wavdata.h"
#include "mixer/units/tests/arrplay.h"

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream f(path);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

// Dismisses message boxes of the process (a missing-unit note and the like).
BOOL CALLBACK CloseBoxes(HWND wnd, LPARAM lParam) {
  DWORD owner = 0;
  char cls[16];
  GetWindowThreadProcessId(wnd, &owner);
  if (owner == static_cast<DWORD>(lParam) && GetClassNameA(wnd, cls, sizeof cls) &&
      std::strcmp(cls, "#32770") == 0 && IsWindowVisible(wnd))
    PostMessageA(wnd, WM_COMMAND, IDOK, 0);
  return TRUE;
}

struct DialogSearch {
  DWORD pid;
  HWND wnd;
};

// A shown dialog of the process, or null.
BOOL CALLBACK FindDialogOf(HWND wnd, LPARAM lParam) {
  auto* s = reinterpret_cast<DialogSearch*>(lParam);
  DWORD owner = 0;
  char cls[16];
  GetWindowThreadProcessId(wnd, &owner);
  if (owner != s->pid || !IsWindowVisible(wnd) || !GetClassNameA(wnd, cls, sizeof cls) ||
      std::strcmp(cls, "#32770") != 0)
    return TRUE;
  s->wnd = wnd;
  return FALSE;
}
HWND ShownDialog(DWORD pid) {
  DialogSearch s = {pid, nullptr};
  EnumWindows(FindDialogOf, reinterpret_cast<LPARAM>(&s));
  return s.wnd;
}

// The text of a dialog and of its static items, for a failure message.
std::string DialogText(HWND dlg) {
  char text[512] = "";
  GetWindowTextA(dlg, text, sizeof text);
  std::string out = text;
  for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    if (SendMessageTimeoutA(c, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 1000,
                            nullptr) && text[0])
      out += std::string(" | ") + text;
  }
  return out;
}

// The program started in the run folder with the native engine, the
// simulated machine and the console stand-in beside it, until its main frame
// shows (message boxes of the start-up dismissed) and the engine has
// settled.
struct Program {
  PROCESS_INFORMATION pi = {};
  HWND frame = nullptr;

  bool Start(const std::string& run, const std::string& console) {
    for (const char* dll : {"QvSim.dll", "qvNatDev.dll", "qvNatRec.dll", "QvConInt.dll"})
      if (!CopyFileA((runfolder::ProgramDir() + dll).c_str(), (run + dll).c_str(), FALSE)) return false;
    DeleteFileA((run + "NatCapture.wav").c_str());
    DeleteFileA(console.c_str());
    SetEnvironmentVariableA("QVDRV_SIMULATION", "1");
    SetEnvironmentVariableA("QVCIN_LOG", console.c_str());
    SetEnvironmentVariableA("QVSIM_CAPTURE_WAV", nullptr);
    SetEnvironmentVariableA("QVSIM_CAPTURE_TRACKS", nullptr);
    if (!runfolder::Start(run, &pi)) return false;
    for (int i = 0; i < 500 && !frame; ++i) {
      Sleep(20);
      EnumWindows(CloseBoxes, static_cast<LPARAM>(pi.dwProcessId));
      frame = runfolder::FindMainFrame(pi.dwProcessId, false);
    }
    Sleep(1500);
    return frame != nullptr;
  }
  // Play, some play time, Stop; then the capture, once written.
  std::vector<int32_t> PlayAndStop(const std::string& wav) {
    PostMessageA(frame, WM_COMMAND, 41419, 0);  // Play
    Sleep(1500);
    PostMessageA(frame, WM_COMMAND, 41418, 0);  // Stop
    std::vector<int32_t> played;
    for (int i = 0; i < 300 && played.empty(); ++i) {
      Sleep(20);
      played = ReadWavData(wav);
    }
    return played;
  }
  ~Program() {
    if (!pi.hProcess) return;
    if (frame) PostMessageA(frame, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 10000), WAIT_OBJECT_0);
    if (WaitForSingleObject(pi.hProcess, 0) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    SetEnvironmentVariableA("QVCIN_LOG", nullptr);
  }
};

TEST(PlayApp, PlayAndStopRunTheTransportAndTheCapture) {
  std::string run = runfolder::Prepare(
      "hrl_play_run",
      "[MainWnd]\r\nIffv=IFFV1.3\r\nWindow=1 10 10 640 480 1\r\nQV32DevicePath=Qvdev0\r\nConsoleEnable=1\r\n");
  ASSERT_FALSE(run.empty());
  const std::string console = run + "console.log";
  std::vector<int32_t> played;
  {
    Program app;
    ASSERT_TRUE(app.Start(run, console)) << "no main frame";
    played = app.PlayAndStop(run + "NatCapture.wav");
  }

  // About a second and a half of play at the engine's rate, all silence.
  ASSERT_GE(played.size(), 20000u) << "the native devices did not play";
  size_t loud = 0;
  for (int32_t v : played) loud += v != 0;
  EXPECT_EQ(loud, 0u);
  // The console was registered, heard play (4 - 3) and then stop (4 - 2).
  const std::string log = ReadAll(console);
  const size_t reg = log.find("register\n");
  const size_t play = log.find("notify 0 1 0\n", reg);
  const size_t stop = log.find("notify 0 2 0\n", play);
  EXPECT_NE(reg, std::string::npos) << log.substr(0, 200);
  EXPECT_NE(play, std::string::npos);
  EXPECT_NE(stop, std::string::npos);
  EXPECT_NE(log.find("unregister\n", stop), std::string::npos);
}

// The arrangement file and its Takes, written by the model as the program
// writes them: the Takes in the run folder's Take folder, the arrangement
// in the run folder.
TEST(PlayApp, AnOpenedArrangementPlaysAsTheReferenceRender) {
  std::string run = runfolder::Prepare(
      "hrl_play_arr_run",
      "[MainWnd]\r\nIffv=IFFV1.3\r\nWindow=1 10 10 640 480 1\r\nQV32DevicePath=Qvdev0\r\nConsoleEnable=1\r\n");
  ASSERT_FALSE(run.empty());
  const std::string takeDir = run + "Takes\\";
  ASSERT_TRUE(WritePrivateProfileStringA("MainWnd", "DomainDirectory1", takeDir.c_str(),
                                         (run + "HRLMixerDef.INI").c_str()));
  const std::string arrPath = run + "played.ARR";
  for (const char* old : {"T0", "T1"}) {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((takeDir + old + "*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) continue;
    do DeleteFileA((takeDir + fd.cFileName).c_str());
    while (FindNextFileA(h, &fd));
    FindClose(h);
  }
  CreateDirectoryA(takeDir.c_str(), nullptr);
  DeleteFileA(arrPath.c_str());

  std::vector<int32_t> words[2];
  {
    ASSERT_EQ(TakeStoreOpen(), 1);
    Settings().SampleRate = 48000;
    TakeRec* takes[2] = {arrplay::MakeTake(takeDir, 0, arrplay::kTakeSamples, &words[0]),
                         arrplay::MakeTake(takeDir, 1, arrplay::kTakeSamples, &words[1])};
    ArrRec* arr = takes[0] && takes[1] ? arrplay::MakeArr(takes) : nullptr;
    const int written = arr ? WriteArrFile(arrPath.c_str(), arr, nullptr, 0) : 0;
    if (arr) ArrHeap.Free(arr);
    TakeStoreClose();
    ASSERT_EQ(written, 1);
  }

  const std::string console = run + "console.log";
  std::vector<int32_t> played;
  {
    Program app;
    ASSERT_TRUE(app.Start(run, console)) << "no main frame";
    // Open, answered in the file dialog with the arrangement's path.
    PostMessageA(app.frame, WM_COMMAND, 41001, 0);
    HWND dlg = nullptr;
    for (int i = 0; i < 250 && !(dlg && GetDlgItem(dlg, 0x47c)); ++i) {
      Sleep(20);
      dlg = ShownDialog(app.pi.dwProcessId);
    }
    ASSERT_TRUE(dlg && GetDlgItem(dlg, 0x47c)) << "no file dialog";
    SetDlgItemTextA(dlg, 0x47c, arrPath.c_str());  // the file-name field
    SetDlgItemTextA(dlg, 0x480, arrPath.c_str());
    PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, IDOK)));
    for (int i = 0; i < 250 && IsWindow(dlg); ++i) Sleep(20);
    ASSERT_FALSE(IsWindow(dlg)) << "the file dialog stays";
    // The read runs in a progress dialog of its own; nothing else may ask.
    HWND other = nullptr;
    for (int i = 0; i < 100; ++i) {
      Sleep(20);
      other = ShownDialog(app.pi.dwProcessId);
      if (!other && i >= 25) break;
    }
    ASSERT_EQ(other, nullptr) << DialogText(other);
    played = app.PlayAndStop(run + "NatCapture.wav");
  }

  ASSERT_GE(played.size(), static_cast<size_t>(arrplay::kSpan)) << "the native devices did not play";
  EXPECT_EQ(arrplay::Mismatches(played, arrplay::Reference(words)), 0u);
}

}  // namespace
