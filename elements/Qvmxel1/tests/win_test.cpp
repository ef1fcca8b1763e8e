// Qvmxel1.dll loaded by name as the mixer loads it: its control classes,
// the contract with real windows, and every little window driven with the
// messages its controls send.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "elements/controls/ctldata.h"
#include "elements/harness/win32/elemload.h"

namespace {

constexpr char kModule[] = "Qvmxel1.dll";

std::string Joined(const std::vector<std::string>& faults) {
  std::string all;
  for (const std::string& f : faults) all += f + "\n";
  return all;
}

TEST(Qvmxel1Win, RegistersTenControlClassesWhileLoaded) {
  HMODULE m = LoadLibraryA(kModule);
  ASSERT_NE(m, nullptr);
  WNDCLASSA wc;
  for (const char* cls : {"ColBox8_WC", "BmStatic8_WC", "BmButton8_WC", "HBmButton8_WC", "SpinBox8_WC", "VFader8_WC",
                          "HFader8_WC", "RotPot8_WC", "Peak8_WC", "BpEqFs8_WC"})
    EXPECT_TRUE(GetClassInfoA(m, cls, &wc)) << cls;
  // The surround panner's two belong to the module that has one.
  EXPECT_FALSE(GetClassInfoA(m, "Label8_WC", &wc));
  EXPECT_FALSE(GetClassInfoA(m, "SurPanner8_WC", &wc));
  ASSERT_TRUE(FreeLibrary(m));
  // Loaded again, the classes register again: the detach took them away.
  m = LoadLibraryA(kModule);
  ASSERT_NE(m, nullptr);
  EXPECT_TRUE(GetClassInfoA(m, "VFader8_WC", &wc));
  FreeLibrary(m);
}

TEST(Qvmxel1Win, KeepsTheContractWithWindows) {
  ElemModuleCalls calls;
  HMODULE m = ElemModuleLoad(kModule, &calls);
  ASSERT_NE(m, nullptr);
  HWND column = CreateWindowExA(0, "STATIC", "column", WS_POPUP, 0, 0, 120, 600, nullptr, nullptr, nullptr, nullptr);
  ElemContractOptions options;
  options.MakeParent = [&] { return column; };
  options.DestroyWindow = [](WndHandle w) { DestroyWindow(w); };
  options.KnobsMayClamp = true;
  SimDsp dsp;
  const ElemContractReport r = RunElemContract(calls, dsp, options);
  EXPECT_TRUE(r.Faults.empty()) << Joined(r.Faults);
  EXPECT_EQ(r.Codes.size(), 34u);
  EXPECT_EQ(r.WindowsMade, 34u);
  EXPECT_EQ(GetWindow(column, GW_CHILD), nullptr);
  DestroyWindow(column);
  FreeLibrary(m);
}

// One module, a column and a simulated DSP for the window tests.
class Strip : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = ElemModuleLoad(kModule, &c);
    ASSERT_NE(module_, nullptr);
    ELEMMODINFO info{};
    info.Size = sizeof info;
    c.Init(DspCommandBlock, RecordingNotify, &info);
    column = CreateWindowExA(0, "STATIC", "strip", WS_POPUP | WS_VISIBLE, 0, 0, 500, 600, nullptr, nullptr, nullptr,
                             nullptr);
    RecordedNotes().clear();
  }
  void TearDown() override {
    DestroyWindow(column);
    for (ElemHandle h : made_) c.DeleteElement(h);
    FreeLibrary(module_);
  }
  // An element with its little window at y, placed and loaded.
  HWND Make(uint32_t code, int y, ElemHandle* out, SimDspElement** placed = nullptr, int width = 100) {
    ElemHandle h = c.CreateElement(code, reinterpret_cast<void*>(uintptr_t(code)));
    made_.push_back(h);
    ElemPoint at{0, y};
    HWND w = c.CreateElementWindows(h, column, &at, width);
    ELEMTYPEPROPINFO t{};
    c.GetElemTypeProperties(code, &t);
    SimDspElement* p = dsp.Place(t);
    c.LoadElement(h, p, &p->Placement);
    if (placed) *placed = p;
    *out = h;
    return w;
  }
  int32_t Knob(ElemHandle h, uint32_t k) { return ElemKnob(c, h, k); }
  static void Click(HWND control, bool right = false) { ElemClick(control, right); }
  static HWND Child(HWND parent, int id, const char* cls) { return ElemChild(parent, id, cls); }
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
  std::vector<ElemHandle> made_;
};

TEST_F(Strip, InputAndOutputMuteButtonsToggle) {
  ElemHandle in, out;
  SimDspElement *pi, *po;
  HWND li = Make(100, 0, &in, &pi);
  HWND lo = Make(922, 30, &out, &po);
  Click(Child(li, 2, "HBmButton8_WC"));
  EXPECT_EQ(Knob(in, 0), 1);
  EXPECT_EQ(dsp.Word(pi, 2, 0), 0);
  Click(Child(li, 2, "HBmButton8_WC"), true);  // either button toggles
  EXPECT_EQ(Knob(in, 0), 0);
  EXPECT_EQ(dsp.Word(pi, 2, 0), -0x800000);
  RecordedNotes().clear();
  Click(Child(lo, 2, "HBmButton8_WC"));
  EXPECT_EQ(Knob(out, 0), 1);
  ASSERT_EQ(Notes(kNotifyMute).size(), 1u);
}

TEST_F(Strip, SoloButtonAndPanBoxShareAnIdAndBothWork) {
  ElemHandle out;
  SimDspElement* p;
  HWND lo = Make(902, 0, &out, &p);
  HWND solo = Child(lo, 12, "HBmButton8_WC");
  HWND panBox = Child(lo, 12, "SpinBox8_WC");
  ASSERT_NE(solo, nullptr);
  ASSERT_NE(panBox, nullptr);
  RecordedNotes().clear();
  Click(solo);
  ASSERT_EQ(Notes(kNotifySolo).size(), 1u);
  EXPECT_EQ(Notes(kNotifySolo)[0].Value, 1u);
  EXPECT_EQ(Knob(out, 0), 64);  // the press did not touch the pan
  RecordedNotes().clear();
  Click(panBox, true);  // one step up
  EXPECT_EQ(Knob(out, 0), 65);
  EXPECT_TRUE(Notes(kNotifySolo).empty());
  // A right press on solo is wrapped in a touch gesture.
  RecordedNotes().clear();
  Click(solo, true);
  ASSERT_EQ(RecordedNotes().size(), 3u);
  EXPECT_EQ(RecordedNotes()[0].Code, uint32_t(kNotifyTouch));
  EXPECT_EQ(RecordedNotes()[1].Code, uint32_t(kNotifySolo));
  EXPECT_EQ(RecordedNotes()[2].Code, uint32_t(kNotifyTouch));
}

TEST_F(Strip, FadersPotsAndNumberBoxesSetTheirKnobs) {
  ElemHandle out, send, fader, sdl;
  SimDspElement* po;
  HWND lo = Make(900, 0, &out, &po);
  HWND ls = Make(802, 200, &send);
  HWND lf = Make(600, 240, &fader);
  HWND ld = Make(610, 270, &sdl);

  // The volume fader of the output: the cap dragged to the top gives +6 dB.
  HWND vol = Child(lo, 18, "VFader8_WC");
  RecordedNotes().clear();
  SendMessageA(vol, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 0));
  SendMessageA(vol, WM_LBUTTONUP, 0, MAKELPARAM(10, 0));
  EXPECT_EQ(Knob(out, 2), 65536);
  EXPECT_EQ(dsp.Word(po, 2, 0), -0x800000);
  EXPECT_FALSE(Notes(kNotifyVolume).empty());
  EXPECT_TRUE(Notes(kNotifyTouch).empty());  // left drags make no gesture
  SendMessageA(vol, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(10, 109));
  SendMessageA(vol, WM_RBUTTONUP, 0, MAKELPARAM(10, 109));
  EXPECT_EQ(Knob(out, 2), 0);
  ASSERT_EQ(Notes(kNotifyTouch).size(), 2u);

  // The send's pot: straight up is the centre, lower right fully right.
  HWND pot = Child(ls, 10, "RotPot8_WC");
  SendMessageA(pot, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(13, 13));
  SendMessageA(pot, WM_LBUTTONUP, 0, 0);
  EXPECT_EQ(Knob(send, 0), 128);
  // Its fader at the right end: unity.
  HWND sf = Child(ls, 18, "HFader8_WC");
  SendMessageA(sf, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(200, 5));
  SendMessageA(sf, WM_LBUTTONUP, 0, 0);
  EXPECT_EQ(Knob(send, 1), 32768);

  // The fader's wheel moves it one pixel per notch with Shift.
  HWND ff = Child(lf, 18, "HFader8_WC");
  const int32_t before = Knob(fader, 0);
  SendMessageA(ff, WM_MOUSEWHEEL, MAKEWPARAM(MK_SHIFT, 120 * 5), 0);
  EXPECT_GT(Knob(fader, 0), before);

  // The delay line's box steps up with the right button.
  Click(Child(ld, 36, "SpinBox8_WC"), true);
  EXPECT_EQ(Knob(sdl, 0), 1);
  Click(Child(ld, 37, "HBmButton8_WC"));
  EXPECT_EQ(Knob(sdl, 1), 1);
}

TEST_F(Strip, EqBigWindowOpensClosesAndFollowsEdits) {
  ElemHandle eq;
  SimDspElement* p;
  HWND le = Make(300, 0, &eq, &p, 120);
  uint32_t closed = 0;
  ASSERT_EQ(c.GetElement(eq, kGetBigClosed, &closed), 1u);
  EXPECT_EQ(closed, 1u);
  RecordedNotes().clear();
  SendMessageA(le, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(50, 60));
  ASSERT_EQ(c.GetElement(eq, kGetBigClosed, &closed), 1u);
  EXPECT_EQ(closed, 0u);
  ASSERT_EQ(Notes(kNotifyBigWindow).size(), 1u);
  EXPECT_EQ(Notes(kNotifyBigWindow)[0].Value, 0u);

  // The gain box of band 1 steps the gain; the big window's box follows.
  Click(Child(le, 26, "SpinBox8_WC"), true);
  EXPECT_EQ(Knob(eq, 3), 1);
  HWND big = FindWindowA("QV2EQXX_BWC", nullptr);
  ASSERT_NE(big, nullptr);
  const SpinBox8Data* bigGain = reinterpret_cast<SpinBox8Data*>(GetWindowLongPtrA(Child(big, 26, "SpinBox8_WC"), 0));
  ASSERT_NE(bigGain, nullptr);
  EXPECT_EQ(bigGain->Value, 1);
  char caption[80] = "";
  uint32_t where[2] = {2, 4};
  c.SetElement(eq, kSetPosition, reinterpret_cast<uintptr_t>(where));
  GetWindowTextA(big, caption, sizeof caption);
  EXPECT_STREQ(caption, "EQ 2-BAND (Column 3, Element 5)");

  // The gain fader of band 1 at its top: +14 dB.
  HWND gainFader = Child(big, 32, "VFader8_WC");
  SendMessageA(gainFader, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(8, 0));
  SendMessageA(gainFader, WM_LBUTTONUP, 0, 0);
  EXPECT_EQ(Knob(eq, 3), 140);
  EXPECT_EQ(dsp.Word(p, 1, 3), 8388599);

  // Set code 8 with 1 closes it; the close box reports itself.
  ASSERT_EQ(c.SetElement(eq, kSetBigWindow, 1), 1u);
  EXPECT_EQ(FindWindowA("QV2EQXX_BWC", nullptr), nullptr);
  ASSERT_EQ(c.SetElement(eq, kSetBigWindow, 0), 1u);
  big = FindWindowA("QV2EQXX_BWC", nullptr);
  ASSERT_NE(big, nullptr);
  RecordedNotes().clear();
  SendMessageA(big, WM_CLOSE, 0, 0);
  EXPECT_EQ(FindWindowA("QV2EQXX_BWC", nullptr), nullptr);
  ASSERT_EQ(Notes(kNotifyBigWindow).size(), 1u);
  EXPECT_EQ(Notes(kNotifyBigWindow)[0].Value, 1u);
}

TEST_F(Strip, MetersReadTheDspOnRefresh) {
  ElemHandle pk;
  SimDspElement* p;
  HWND lp = Make(702, 0, &pk, &p);
  dsp.Poke(p, 2, 0, 32767);
  dsp.Poke(p, 2, 1, 500);
  ASSERT_EQ(c.SetElement(pk, kSetRefresh, 0), 1u);
  const Peak8Data* m = reinterpret_cast<Peak8Data*>(GetWindowLongPtrA(Child(lp, 19, "Peak8_WC"), 0));
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->Level[0], 32767);
  EXPECT_EQ(m->Level[1], 500);
  EXPECT_EQ(m->Peak[0], m->Leds - 1);  // full scale lights the overload LED
  EXPECT_EQ(dsp.Word(p, 2, 0), 0);  // the meter read took the peak
}

TEST_F(Strip, TrackAndSendBigWindowsToggleTheirSwitch) {
  ElemHandle tr, send;
  SimDspElement *pt, *ps;
  HWND lt = Make(200, 0, &tr, &pt);
  Make(811, 30, &send, &ps);
  SendMessageA(lt, WM_RBUTTONDBLCLK, MK_RBUTTON, 0);
  HWND big = FindWindowA("QVRECXX_BWC", nullptr);
  ASSERT_NE(big, nullptr);
  Click(Child(big, 8, "HBmButton8_WC"));
  EXPECT_EQ(dsp.Raw(pt, 3, 0), 0x800000u);  // mix input always
  ASSERT_EQ(c.SetElement(send, kSetBigWindow, 0), 1u);
  HWND sbig = FindWindowA("QVSNDXX_BWC", nullptr);
  ASSERT_NE(sbig, nullptr);
  char caption[80] = "";
  GetWindowTextA(sbig, caption, sizeof caption);
  EXPECT_EQ(std::string(caption).rfind("SEND EPP", 0), 0u);
  Click(Child(sbig, 9, "HBmButton8_WC"));
  EXPECT_EQ(Knob(send, 3), 1);
  // Recording flashes the record button.
  ASSERT_EQ(c.SetElement(tr, kSetRecord, 3), 1u);
  const HBmButton8Data* arm = reinterpret_cast<HBmButton8Data*>(GetWindowLongPtrA(Child(lt, 7, "HBmButton8_WC"), 0));
  ASSERT_NE(arm, nullptr);
  EXPECT_EQ(arm->Flags & kHBmOn, 1u);
  SendMessageA(lt, WM_TIMER, 1, 0);
  EXPECT_EQ(arm->Flags & kHBmOn, 0u);
  ASSERT_EQ(c.SetElement(tr, kSetRecord, 1), 1u);
  SendMessageA(lt, WM_TIMER, 1, 0);  // a tick left over after the flashing stopped
  EXPECT_EQ(arm->Flags & kHBmOn, 1u);
  // Destroying the little window takes the big window with it.
  DestroyWindow(lt);
  EXPECT_EQ(FindWindowA("QVRECXX_BWC", nullptr), nullptr);
}

// A channel strip shown for a screenshot: HRL_STRIP_SHOW=milliseconds keeps
// it on the screen that long.
TEST_F(Strip, ChannelStripShows) {
  ElemHandle h;
  SimDspElement* placed[6];
  const uint32_t codes[] = {102, 302, 612, 802, 702, 902};
  const int heights[] = {24, 68, 20, 36, 20, 188};
  int y = 0;
  for (int i = 0; i < 6; ++i) {
    ASSERT_NE(Make(codes[i], y, &h, &placed[i], 110), nullptr);
    const char* name = "Vox";
    c.SetElement(h, kSetName, reinterpret_cast<uintptr_t>(name));
    y += heights[i];
  }
  // Some settings worth seeing: a boost and a cut, a panned send, levels.
  const ELEMKNOBVALUE knobs[] = {{1, 200}, {3, 90}, {6, -80}, {4, 6000}};
  for (const ELEMKNOBVALUE& kv : knobs) c.SetElement(made_[1], kSetKnob, reinterpret_cast<uintptr_t>(&kv));
  const ELEMKNOBVALUE pan{0, 96}, vol{1, 20000};
  c.SetElement(made_[3], kSetKnob, reinterpret_cast<uintptr_t>(&pan));
  c.SetElement(made_[3], kSetKnob, reinterpret_cast<uintptr_t>(&vol));
  c.SetElement(made_[1], kSetBigWindow, 0);
  SetWindowPos(column, nullptr, 10, 10, 110, y, SWP_NOZORDER);
  const char* show = std::getenv("HRL_STRIP_SHOW");
  const DWORD until = GetTickCount() + DWORD(show ? std::atoi(show) : 100);
  MSG msg;
  while (GetTickCount() < until) {
    dsp.Poke(placed[4], 2, 0, 12000);
    dsp.Poke(placed[4], 2, 1, 30000);
    dsp.Poke(placed[5], 3, 0, 9000);
    dsp.Poke(placed[5], 3, 1, 5000);
    c.SetElement(made_[4], kSetRefresh, 0);
    c.SetElement(made_[5], kSetRefresh, 0);
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    Sleep(10);
  }
  EXPECT_NE(FindWindowA("QV2EQXX_BWC", nullptr), nullptr);
}

}  // namespace
