// The themed controls driven with real window messages.
#include "mixer/shell/win32/controls.h"

#include <gtest/gtest.h>

#include <vector>

#include "mixer/shell/win32/shell.h"

namespace {

struct Note {
  UINT msg;
  WPARAM id;
  LPARAM wnd;
};
std::vector<Note> notes;

LRESULT CALLBACK ParentProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg >= WMU_CTL_LBUTTONUP && msg <= WMU_CTL_POTDONE) {
    notes.push_back({msg, wParam, lParam});
    return 0;
  }
  return DefWindowProcA(wnd, msg, wParam, lParam);
}

class ControlsTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    RegisterCtl9Classes(GetModuleHandleA(nullptr));
    WNDCLASSA wc = {};
    wc.lpfnWndProc = ParentProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "Ctl9TestParent";
    RegisterClassA(&wc);
  }
  void SetUp() override {
    notes.clear();
    parent_ = CreateWindowA("Ctl9TestParent", "", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300,
                            200, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  }
  void TearDown() override {
    if (parent_) DestroyWindow(parent_);
  }
  HWND Child(const char* cls, void* desc, int id, int w, int h, const char* text = "") {
    return CreateWindowA(cls, text, WS_CHILD | WS_VISIBLE, 10, 10, w, h, parent_,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                         GetModuleHandleA(nullptr), desc);
  }
  HWND parent_ = nullptr;
};

LPARAM At(int x, int y) { return MAKELPARAM(x, y); }

// The controls keep a pointer to the description they were created with, and
// write to it when destroyed; a test's descriptions live in its body, so the
// windows go before they do. Declared right after the description.
struct WindowsGoFirst {
  HWND& parent;
  ~WindowsGoFirst() {
    DestroyWindow(parent);
    parent = nullptr;
  }
};

TEST_F(ControlsTest, ButtonReleasedOutsideStillSendsItsUpMessage) {
  BmButton9Desc desc = {};
  WindowsGoFirst windowsGoFirst{parent_};
  desc.offRes = desc.onRes = 700;
  HWND button = Child(kBmButton9Class, &desc, 17, 20, 20);
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(desc.wnd, button);

  SendMessageA(button, WM_LBUTTONDOWN, MK_LBUTTON, At(5, 5));
  EXPECT_EQ(GetCapture(), button);
  SendMessageA(button, WM_LBUTTONUP, 0, At(-50, 400));
  EXPECT_EQ(GetCapture(), nullptr);
  ASSERT_EQ(notes.size(), 2u);
  EXPECT_EQ(notes[0].msg, WMU_CTL_LBUTTONDOWN);
  EXPECT_EQ(notes[1].msg, WMU_CTL_LBUTTONUP);
  EXPECT_EQ(notes[1].id, 17u);
  EXPECT_EQ(notes[1].wnd, reinterpret_cast<LPARAM>(button));

  // A cancelled right press ends with the right button's up message.
  notes.clear();
  SendMessageA(button, WM_RBUTTONDOWN, MK_RBUTTON, At(5, 5));
  SendMessageA(button, WM_CANCELMODE, 0, 0);
  ASSERT_EQ(notes.size(), 2u);
  EXPECT_EQ(notes[1].msg, WMU_CTL_RBUTTONUP);
  // Nothing held: a further cancel sends nothing.
  SendMessageA(button, WM_CANCELMODE, 0, 0);
  EXPECT_EQ(notes.size(), 2u);
  DestroyWindow(button);
  EXPECT_EQ(desc.wnd, nullptr);
}

TEST_F(ControlsTest, DisabledDrawingTurnsOnlyBlackPixelsGrey) {
  HDC screen = GetDC(nullptr);
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = 3;
  bi.bmiHeader.biHeight = -1;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  auto* px = static_cast<uint32_t*>(bits);
  px[0] = 0x000000;
  px[1] = 0x0000FF;  // blue
  px[2] = 0x010101;  // nearly black
  HDC dc = CreateCompatibleDC(screen);
  ReplaceBlackPixels(dc, dib, RGB(0x80, 0x80, 0x80));
  EXPECT_EQ(px[0] & 0xFFFFFF, 0x808080u);
  EXPECT_EQ(px[1] & 0xFFFFFF, 0x0000FFu);
  EXPECT_EQ(px[2] & 0xFFFFFF, 0x010101u);
  // A colour is stored in the DIB's blue-green-red order.
  px[0] = 0;
  ReplaceBlackPixels(dc, dib, RGB(0xFF, 0, 0));
  EXPECT_EQ(px[0] & 0xFFFFFF, 0xFF0000u);
  DeleteDC(dc);
  DeleteObject(dib);
  ReleaseDC(nullptr, screen);
}

TEST_F(ControlsTest, DisabledButtonPaintsGreyInsteadOfBlack) {
  BmButton9Desc desc = {};
  WindowsGoFirst windowsGoFirst{parent_};
  desc.offRes = desc.onRes = 700;
  desc.disabled = 1;
  HWND button = Child(kBmButton9Class, &desc, 1, 4, 2);
  UpdateWindow(button);
  HDC dc = GetDC(button);
  COLORREF black = GetPixel(dc, 0, 0), red = GetPixel(dc, 1, 0), grey40 = GetPixel(dc, 3, 0);
  ReleaseDC(button, dc);
  if (black == CLR_INVALID) GTEST_SKIP() << "this display cannot read window pixels";
  EXPECT_EQ(black, RGB(0x80, 0x80, 0x80));
  EXPECT_EQ(red, RGB(0xFF, 0, 0));
  EXPECT_EQ(grey40, RGB(0x40, 0x40, 0x40));
}

TEST_F(ControlsTest, DisabledSelDatOpensNoMenu) {
  SelDat9Desc desc = {};
  WindowsGoFirst windowsGoFirst{parent_};
  desc.menuPath = 0x00FF02;  // names no sub-menu
  desc.state = kSdDisabled;
  HWND field = Child(kSelDat9Class, &desc, 5, 80, 20);
  ASSERT_NE(field, nullptr);
  EXPECT_EQ(desc.popup, nullptr);
  SendMessageA(field, WM_LBUTTONDOWN, MK_LBUTTON, At(3, 3));
  EXPECT_EQ(desc.state & kSdOpen, 0u);
  // Enabled, with nothing to open, the click only marks it open; the end of
  // a menu loop clears that again.
  Ctl9SetState(0, &desc, 41583);
  EXPECT_EQ(desc.value, 41583u);
  SendMessageA(field, WM_LBUTTONDOWN, MK_LBUTTON, At(3, 3));
  EXPECT_NE(desc.state & kSdOpen, 0u);
  SendMessageA(field, WM_EXITMENULOOP, 0, 0);
  EXPECT_EQ(desc.state & kSdOpen, 0u);
  Ctl9SetState(2, &desc);
  EXPECT_EQ(desc.state & kSdDisabled, kSdDisabled);
}

TEST_F(ControlsTest, KnobDragSendsMovesAndDone) {
  RotPot9Desc desc = {};
  WindowsGoFirst windowsGoFirst{parent_};
  desc.diameter = 40;
  desc.sweep = 270;
  desc.maximum = 100;
  HWND knob = Child(kRotPot9Class, &desc, 9, 40, 40);
  SendMessageA(knob, WM_LBUTTONDOWN, MK_LBUTTON, At(20, 20));
  EXPECT_EQ(GetCapture(), knob);
  SendMessageA(knob, WM_MOUSEMOVE, MK_LBUTTON, At(20, 0));  // straight up
  EXPECT_EQ(desc.value, 50);
  SendMessageA(knob, WM_MOUSEMOVE, MK_LBUTTON, At(21, 39));  // below, right of centre
  EXPECT_EQ(desc.value, 100);
  SendMessageA(knob, WM_LBUTTONUP, 0, At(21, 39));
  EXPECT_EQ(GetCapture(), nullptr);
  ASSERT_EQ(notes.size(), 3u);
  EXPECT_EQ(notes[0].msg, WMU_CTL_POTMOVE);
  EXPECT_EQ(notes[2].msg, WMU_CTL_POTDONE);
}

TEST_F(ControlsTest, BitmapStaticNeedsItsResourceText) {
  EXPECT_EQ(Child(kBmStatic9Class, nullptr, 2, 4, 2, "plain"), nullptr);
  const char text[] = {'\xFF', static_cast<char>(700 & 0xFF), static_cast<char>(700 >> 8), 0};
  EXPECT_NE(Child(kBmStatic9Class, nullptr, 3, 4, 2, text), nullptr);
}

}  // namespace
