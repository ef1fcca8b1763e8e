// The control classes as windows: a parent records what they send; mouse
// messages drive them as the system would.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "elements/controls/win32/ctlwin.h"
#include "elements/win32/elemwin.h"

namespace {

struct Sent {
  UINT Msg;
  WPARAM Id;
};
std::vector<Sent> g_sent;

LRESULT CALLBACK ParentProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg >= WMU_CTL_LBUTTONUP && msg <= WMU_CTL_ROTDONE) {
    g_sent.push_back({msg, wParam});
    return 0;
  }
  return DefWindowProcA(wnd, msg, wParam, lParam);
}

// Cancels the INPUT dialog once it is up (a timer of the modal loop).
void CALLBACK CancelDialog(HWND, UINT, UINT_PTR id, DWORD) {
  if (HWND dlg = FindWindowA("#32770", nullptr)) {
    KillTimer(nullptr, id);
    PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
  }
}

class Controls : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    HINSTANCE self = GetModuleHandleA(nullptr);
    ASSERT_TRUE(ElemModuleAttach(self));
    ASSERT_TRUE(CtlRegisterClasses(self, kCtlTwelve));
    WNDCLASSA wc{};
    wc.lpfnWndProc = ParentProc;
    wc.hInstance = self;
    wc.lpszClassName = "CtlTestParent";
    RegisterClassA(&wc);
  }
  static void TearDownTestSuite() {
    CtlUnregisterClasses(GetModuleHandleA(nullptr), kCtlTwelve);
    ElemModuleDetach();
  }
  void SetUp() override {
    parent = CreateWindowExA(0, "CtlTestParent", "", WS_POPUP, 0, 0, 300, 300, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
    g_sent.clear();
  }
  void TearDown() override { DestroyWindow(parent); }
  HWND Make(const char* cls, int id, int w, int h, void* record, const char* text = "") {
    return CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE, 0, 0, w, h, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr), record);
  }
  std::vector<UINT> Msgs() const {
    std::vector<UINT> m;
    for (const Sent& s : g_sent) m.push_back(s.Msg);
    return m;
  }
  HWND parent = nullptr;
};

TEST_F(Controls, RecordsHoldTheirWindowOnlyWhileItLives) {
  SpinBox8Data d{};
  d.Maximum = 10;
  d.StepCount = 10;
  d.Divisor = 1;
  HWND w = Make(kSpinBox8Class, 7, 40, 14, &d);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(d.Wnd, w);
  DestroyWindow(w);
  EXPECT_EQ(d.Wnd, nullptr);
  // Without a window the update operations only store.
  Fader8Data f{};
  f.Height = 50;
  f.CapLen = 10;
  VFader8SetPos(500, &f);
  EXPECT_EQ(f.Pos, 500);
  HBmButton8Data b{};
  HBmButton8SetState(2, &b, 3);
  EXPECT_EQ(b.Flags & kHBmOn, 1u);
  EXPECT_EQ(b.Row, 3);
}

TEST_F(Controls, SpinBoxRepeatsFasterWithBothButtons) {
  SpinBox8Data d{};
  d.Maximum = 3000;
  d.StepCount = 3000;
  d.Divisor = 1;
  HWND w = Make(kSpinBox8Class, 7, 40, 14, &d);
  SendMessageA(w, WM_RBUTTONDOWN, MK_RBUTTON, 0);
  EXPECT_EQ(d.Value, 1);
  SendMessageA(w, WM_LBUTTONDOWN, MK_LBUTTON | MK_RBUTTON, 0);  // both held: no step
  EXPECT_EQ(d.Value, 1);
  SendMessageA(w, WM_TIMER, 1, 0);
  EXPECT_EQ(d.Value, 31);  // 3000 / 30 steps of 30
  SendMessageA(w, WM_LBUTTONUP, MK_RBUTTON, 0);
  SendMessageA(w, WM_TIMER, 1, 0);
  EXPECT_EQ(d.Value, 41);  // on upwards, ten at a time
  SendMessageA(w, WM_RBUTTONUP, 0, 0);
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_EQ(Msgs(), (std::vector<UINT>{WMU_CTL_SPINSTEP, WMU_CTL_SPINSTEP, WMU_CTL_SPINSTEP, WMU_CTL_SPINDONE}));
  SendMessageA(w, WM_TIMER, 1, 0);  // idle: the timer does nothing
  EXPECT_EQ(d.Value, 41);
}

TEST_F(Controls, DoubleClicksRestoreTheValueAndReportEvenWhenCancelled) {
  SpinBox8Data d{};
  d.Value = 50;
  d.Maximum = 100;
  d.StepCount = 100;
  d.Divisor = 10;
  HWND spin = Make(kSpinBox8Class, 7, 40, 14, &d, "Value");
  SendMessageA(spin, WM_LBUTTONDOWN, MK_LBUTTON, 0);  // the double-click's first press steps down
  SendMessageA(spin, WM_LBUTTONUP, 0, 0);
  EXPECT_EQ(d.Value, 49);
  g_sent.clear();
  SetTimer(nullptr, 0, 50, CancelDialog);
  SendMessageA(spin, WM_LBUTTONDBLCLK, MK_LBUTTON, 0);
  EXPECT_EQ(d.Value, 50);
  EXPECT_EQ(Msgs(), (std::vector<UINT>{WMU_CTL_SPINSTEP, WMU_CTL_SPINDONE}));

  RotPot8Data p{};
  p.Diameter = 21;
  p.Maximum = 128;
  p.Value = 64;
  HWND pot = Make(kRotPot8Class, 8, 21, 21, &p, "Pan");
  SendMessageA(pot, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
  SendMessageA(pot, WM_LBUTTONUP, 0, 0);
  EXPECT_EQ(p.Value, 128);
  g_sent.clear();
  SetTimer(nullptr, 0, 50, CancelDialog);
  SendMessageA(pot, WM_LBUTTONDBLCLK, MK_LBUTTON, 0);
  EXPECT_EQ(p.Value, 64);
  EXPECT_EQ(Msgs(), (std::vector<UINT>{WMU_CTL_ROTMOVE, WMU_CTL_ROTDONE}));
}

TEST_F(Controls, FaderDragsWithinItsTravel) {
  Fader8Data f{};
  f.Width = 16;
  f.Height = 100;
  f.CapLen = 10;
  HWND w = Make(kVFader8Class, 9, 16, 100, &f);
  SendMessageA(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(8, 200));
  EXPECT_EQ(f.Pos, 90);
  SendMessageA(w, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(8, 30));
  EXPECT_EQ(f.Pos, 25);
  SendMessageA(w, WM_CANCELMODE, 0, 0);
  EXPECT_EQ(Msgs(), (std::vector<UINT>{WMU_CTL_DRAG_LBUTTONDOWN, WMU_CTL_DRAGMOVE, WMU_CTL_DRAGMOVE,
                                       WMU_CTL_DRAG_LBUTTONUP, WMU_CTL_DRAGEND}));
  // A cap longer than the travel stays at 0.
  Fader8Data s{};
  s.Width = 8;
  s.Height = 12;
  s.CapLen = 10;
  HWND h = Make(kHFader8Class, 10, 8, 12, &s);
  HFader8SetPos(5, &s);
  EXPECT_EQ(s.Pos, 0);
  SendMessageA(h, WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0);
  EXPECT_EQ(s.Pos, 0);
}

TEST_F(Controls, ButtonsReportPressesAndCancelMode) {
  HBmButton8Data b{};
  HWND w = Make(kHBmButton8Class, 11, 16, 14, &b);
  SendMessageA(w, WM_RBUTTONDOWN, MK_RBUTTON, 0);
  SendMessageA(w, WM_CANCELMODE, 0, 0);  // the right button's up
  SendMessageA(w, WM_CANCELMODE, 0, 0);  // nothing held: nothing
  EXPECT_EQ(Msgs(), (std::vector<UINT>{WMU_CTL_RBUTTONDOWN, WMU_CTL_RBUTTONUP}));
  EXPECT_EQ(b.Flags & kHBmOn, 0u);  // the owner sets the state, not the press
  // A bitmap picture needs 0xFF and a resource number as its name.
  EXPECT_EQ(Make(kBmStatic8Class, 12, 10, 10, nullptr, "logo"), nullptr);
}

TEST_F(Controls, SurroundFieldMovesTheDotTheButtonsChoose) {
  SurPanner8Data d{};
  d.Stereo = 1;
  d.Front = d.Rear = d.Depth = 100;
  HWND w = Make(kSurPanner8Class, 13, 56, 56, &d);
  SendMessageA(w, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(10, 12));
  SendMessageA(w, WM_RBUTTONUP, 0, 0);
  EXPECT_EQ(d.X[1], 10);
  EXPECT_EQ(d.Y[1], 12);
  SendMessageA(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 0));  // clamped into the field
  SendMessageA(w, WM_LBUTTONUP, 0, 0);
  EXPECT_EQ(d.X[0], 52);
  EXPECT_EQ(d.Y[0], 3);
  d.Stereo = 0;
  SendMessageA(w, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(20, 20));  // not stereo: dot 1 either way
  SendMessageA(w, WM_RBUTTONUP, 0, 0);
  EXPECT_EQ(d.X[0], 20);
  int32_t x, y;
  SurPanner8SetDot(&d, 0x7FFFFFFF, INT32_MIN, 1);
  SurPanner8GetDot(&d, &x, &y, 1);
  EXPECT_EQ(d.X[0], 3);
  EXPECT_EQ(x, INT32_MIN);
  EXPECT_EQ(y, INT32_MAX);
}

}  // namespace
