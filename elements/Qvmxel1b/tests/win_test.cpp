// Qvmxel1b.dll loaded by name: its twelve control classes, the contract
// with real windows, both windows driven with the messages their controls
// send, and a screenshot of both windows taken from inside the program.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "elements/controls/ctldata.h"
#include "elements/harness/win32/elemload.h"
#include "tests/win32/shot.h"

namespace {

constexpr char kModule[] = "Qvmxel1b.dll";

TEST(SpanWin, RegistersTwelveControlClassesWhileLoaded) {
  HMODULE m = LoadLibraryA(kModule);
  ASSERT_NE(m, nullptr);
  WNDCLASSA wc;
  for (const char* cls : {"Label8_WC", "ColBox8_WC", "BmStatic8_WC", "BmButton8_WC", "HBmButton8_WC", "SpinBox8_WC",
                          "VFader8_WC", "HFader8_WC", "RotPot8_WC", "Peak8_WC", "BpEqFs8_WC", "SurPanner8_WC"})
    EXPECT_TRUE(GetClassInfoA(m, cls, &wc)) << cls;
  ASSERT_TRUE(FreeLibrary(m));
}

TEST(SpanWin, KeepsTheContractWithWindows) {
  ElemModuleCalls calls;
  HMODULE m = ElemModuleLoad(kModule, &calls);
  ASSERT_NE(m, nullptr);
  HWND column = CreateWindowExA(0, "STATIC", "column", WS_POPUP, 0, 0, 120, 600, nullptr, nullptr, nullptr, nullptr);
  ElemContractOptions options;
  options.MakeParent = [&] { return column; };
  options.DestroyWindow = [](WndHandle w) { DestroyWindow(w); };
  options.KnobsMayClamp = true;  // "Solo" follows the host's answer
  SimDsp dsp;
  const ElemContractReport r = RunElemContract(calls, dsp, options);
  std::string all;
  for (const std::string& f : r.Faults) all += f + "\n";
  EXPECT_TRUE(r.Faults.empty()) << all;
  EXPECT_EQ(r.WindowsMade, 4u);
  EXPECT_EQ(GetWindow(column, GW_CHILD), nullptr);
  DestroyWindow(column);
  FreeLibrary(m);
}

class Panner : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = ElemModuleLoad(kModule, &c);
    ASSERT_NE(module_, nullptr);
    ELEMMODINFO info{};
    c.Init(DspCommandBlock, RecordingNotify, &info);
    column = CreateWindowExA(0, "STATIC", "column", WS_POPUP | WS_VISIBLE, 0, 0, 120, 200, nullptr, nullptr, nullptr,
                             nullptr);
    RecordedNotes().clear();
  }
  void TearDown() override {
    DestroyWindow(column);
    for (ElemHandle h : made_) c.DeleteElement(h);
    FreeLibrary(module_);
  }
  HWND Make(uint32_t code, ElemHandle* out, int width = 110) {
    ElemHandle h = c.CreateElement(code, reinterpret_cast<void*>(uintptr_t(code)));
    made_.push_back(h);
    ElemPoint at{0, 0};
    HWND w = c.CreateElementWindows(h, column, &at, width);
    ELEMTYPEPROPINFO t{};
    c.GetElemTypeProperties(code, &t);
    placed = dsp.Place(t);
    c.LoadElement(h, placed, &placed->Placement);
    *out = h;
    return w;
  }
  int32_t Knob(ElemHandle h, uint32_t k) { return ElemKnob(c, h, k); }
  static void Click(HWND control, bool right = false) { ElemClick(control, right); }
  static HWND Child(HWND parent, int id, const char* cls) { return ElemChild(parent, id, cls); }
  // A spin step up: a right-button click.
  static void SpinUp(HWND spin) {
    SendMessageA(spin, WM_RBUTTONDOWN, MK_RBUTTON, 0);
    SendMessageA(spin, WM_RBUTTONUP, 0, 0);
  }
  HWND OpenBig(ElemHandle h) {
    c.SetElement(h, kSetBigWindow, 0);
    return FindWindowA("QVSPANXX_BWC", nullptr);
  }
  std::vector<ElemNote> Notes(uint32_t code) {
    std::vector<ElemNote> out;
    for (const ElemNote& n : RecordedNotes())
      if (n.Code == code) out.push_back(n);
    return out;
  }

  ElemModuleCalls c;
  HMODULE module_ = nullptr;
  HWND column = nullptr;
  SimDsp dsp;
  SimDspElement* placed = nullptr;
  std::vector<ElemHandle> made_;
};

TEST_F(Panner, NarrowWindowHidesGroupsMonoShowsNoDotButtons) {
  ElemHandle h;
  HWND narrow = Make(905, &h, 80);
  ASSERT_NE(narrow, nullptr);
  EXPECT_FALSE(IsWindowVisible(Child(narrow, 29, "SpinBox8_WC")));
  EXPECT_FALSE(IsWindowVisible(Child(narrow, 30, "SpinBox8_WC")));
  HWND big = OpenBig(h);
  ASSERT_NE(big, nullptr);
  EXPECT_EQ(Child(big, 6, "HBmButton8_WC"), nullptr);  // mono: no dot select
  EXPECT_EQ(Child(big, 8, "HBmButton8_WC"), nullptr);  // nor pan modes
  EXPECT_EQ(Child(big, 25, "VFader8_WC"), nullptr);    // LRCS: no LFE
  char caption[96];
  GetWindowTextA(big, caption, sizeof caption);
  EXPECT_STREQ(caption, "Output (Column 1, Element 1)");
  DestroyWindow(narrow);  // takes the big window with it
  EXPECT_EQ(FindWindowA("QVSPANXX_BWC", nullptr), nullptr);
}

TEST_F(Panner, SharedIdsEachReachTheirOwnControl) {
  ElemHandle h;
  ASSERT_NE(Make(909, &h), nullptr);
  HWND big = OpenBig(h);
  ASSERT_NE(big, nullptr);
  // Id 11: the XY-mirror button sets pan mode 3; the Div F/R fader moves
  // the front/rear divergence.
  Click(Child(big, 11, "HBmButton8_WC"));
  EXPECT_EQ(Knob(h, 4), 3);
  HWND divFr = Child(big, 11, "VFader8_WC");
  ASSERT_NE(divFr, nullptr);
  SendMessageA(divFr, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 60));
  SendMessageA(divFr, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(10, 80));
  SendMessageA(divFr, WM_LBUTTONUP, 0, MAKELPARAM(10, 80));
  EXPECT_LT(Knob(h, 12), 100);
  EXPECT_EQ(Knob(h, 4), 3);
  // Id 12: the Div F/R spin box steps the value; the panner moves dot 1.
  const int32_t before = Knob(h, 12);
  SpinUp(Child(big, 12, "SpinBox8_WC"));
  EXPECT_EQ(Knob(h, 12), before + 1);
  HWND field = Child(big, 12, "SurPanner8_WC");
  SendMessageA(field, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(30, 30));
  SendMessageA(field, WM_LBUTTONUP, 0, MAKELPARAM(30, 30));
  EXPECT_LT(Knob(h, 0), -20000);  // left
  EXPECT_GT(Knob(h, 1), 20000);   // front
  // XY mirror: dot 2 follows to the right rear.
  EXPECT_EQ(Knob(h, 2), -Knob(h, 0));
  EXPECT_EQ(Knob(h, 3), -Knob(h, 1));
}

TEST_F(Panner, SpeakerButtonsAndTheLittleWindowsControls) {
  ElemHandle h;
  HWND little = Make(906, &h);
  HWND big = OpenBig(h);
  ASSERT_NE(big, nullptr);
  // Right click on R: only R stays on; again (the only one on): all six.
  Click(Child(big, 42, "HBmButton8_WC"), true);
  EXPECT_EQ(Knob(h, 12), 1);  // "L Mute"
  EXPECT_EQ(Knob(h, 14), 0);  // "R Mute"
  Click(Child(big, 42, "HBmButton8_WC"), true);
  for (uint32_t k : {12u, 13u, 14u, 15u, 16u}) EXPECT_EQ(Knob(h, k), 0) << k;
  Click(Child(big, 40, "HBmButton8_WC"));
  EXPECT_EQ(Knob(h, 12), 1);
  // Little window: mute, solo request, volume spin, meters.
  Click(Child(little, 2, "HBmButton8_WC"));
  uint32_t mute = 0;
  c.GetElement(h, kGetMute, &mute);
  EXPECT_EQ(mute, 1u);
  RecordedNotes().clear();
  Click(Child(little, 28, "HBmButton8_WC"));
  ASSERT_EQ(Notes(kNotifySolo).size(), 1u);
  EXPECT_EQ(Notes(kNotifySolo)[0].Value, 1u);
  SpinUp(Child(little, 31, "SpinBox8_WC"));
  uint32_t vol = 0;
  c.GetElement(h, kGetVolume, &vol);
  EXPECT_GT(vol, 0x8000u);
  dsp.Poke(placed, 3, 0, 20000);
  EXPECT_EQ(c.SetElement(h, kSetRefresh, 0), 1u);
  EXPECT_EQ(Knob(h, 5), 20000);  // "Peak Meter": raised by the refresh
  EXPECT_EQ(Knob(h, 5), 0);
}

void Pump(DWORD ms) {
  const DWORD until = GetTickCount() + ms;
  MSG msg;
  while (GetTickCount() < until) {
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    Sleep(10);
  }
}

// The stereo 5.1 panner with both windows; HRL_SHOT names a folder where
// both windows are saved as BMP files.
// Save writes the preset under the type's extension (any other replaced);
// a file one byte too long is refused on load and the preset untitled.
TEST_F(Panner, PresetFilesThroughTheDialogs) {
  ElemHandle h;
  Make(906, &h);
  HWND big = OpenBig(h);
  ASSERT_NE(big, nullptr);
  char dir[MAX_PATH];
  GetTempPathA(sizeof dir, dir);
  const std::string txt = std::string(dir) + "span31.txt", saved = std::string(dir) + "span31.QVSPAN";
  DeleteFileA(saved.c_str());
  ElemDialogAnswer save{txt.c_str()};
  HANDLE t = ElemAnswerDialogs(&save);
  Click(Child(big, 4, "HBmButton8_WC"));
  WaitForSingleObject(t, 3000);
  CloseHandle(t);
  HANDLE f = CreateFileA(saved.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetFileSize(f, nullptr), 381u);
  CloseHandle(f);
  std::vector<uint8_t> blob(364);
  c.GetElement(h, kGetState, blob.data());
  EXPECT_STREQ(reinterpret_cast<char*>(blob.data() + 32), saved.c_str());

  f = CreateFileA(saved.c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  DWORD put = 0;
  WriteFile(f, "x", 1, &put, nullptr);
  CloseHandle(f);
  ElemDialogAnswer load{saved.c_str()};
  t = ElemAnswerDialogs(&load);
  Click(Child(big, 3, "HBmButton8_WC"));
  WaitForSingleObject(t, 3000);
  CloseHandle(t);
  EXPECT_STREQ(load.BoxText, "Incompatible Element Preset file!");
  c.GetElement(h, kGetState, blob.data());
  EXPECT_STREQ(reinterpret_cast<char*>(blob.data() + 32), (std::string(dir) + "(untitled)").c_str());
  DeleteFileA(saved.c_str());
}

TEST_F(Panner, WindowsShow) {
  ElemHandle h;
  HWND little = Make(909, &h, 160);
  const char* name = "Surround";
  c.SetElement(h, kSetName, reinterpret_cast<uintptr_t>(name));
  const ELEMKNOBVALUE knobs[] = {{0, -18000}, {1, 15000}, {4, 1}, {10, 70}, {13, 60}, {14, 24000}};
  for (const ELEMKNOBVALUE& kv : knobs) c.SetElement(h, kSetKnob, reinterpret_cast<uintptr_t>(&kv));
  HWND big = OpenBig(h);
  ASSERT_NE(big, nullptr);
  SetWindowPos(big, nullptr, 190, 10, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  SetWindowPos(column, nullptr, 10, 10, 160, 188, SWP_NOZORDER);
  dsp.Poke(placed, 3, 0, 12000);
  dsp.Poke(placed, 3, 1, 26000);
  c.SetElement(h, kSetRefresh, 0);
  Pump(300);
  if (std::getenv("HRL_SHOT") != nullptr) {
    hrl_test::SaveWindowShot(big, hrl_test::ShotPath("panner-big"));
    hrl_test::SaveWindowShot(little, hrl_test::ShotPath("panner-little"));
  }
  EXPECT_TRUE(IsWindowVisible(big));
}

}  // namespace
