// The library base's drawing and placement under Wine: typed resources, the
// 3-D frame and transparent text on a real DC, bitmap strips cut from a
// resource, rectangles and dialogs placed on the monitor, and the
// device-setup queries that grow their answer.
#include "Inc/base.h"
#include "Inc/devsetup.h"
#include "Inc/draw.h"
#include "Inc/place.h"
#include "Inc/resource.h"
#include "Inc/window.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

namespace {

HINSTANCE Self() { return GetModuleHandleA(nullptr); }

TEST(Resource, LocksTypedDataByNameAndLanguage) {
  CResource english(Self(), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
  auto* words = static_cast<const uint32_t*>(english.Lock(RT_RCDATA, MAKEINTRESOURCEA(201)));
  ASSERT_NE(words, nullptr);
  EXPECT_EQ(words[0], 0x5148u);
  EXPECT_EQ(words[1], 0x4C52u);

  CResource german(Self(), MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN));
  auto* seven = static_cast<const uint32_t*>(german.Lock(RT_RCDATA, MAKEINTRESOURCEA(202)));
  ASSERT_NE(seven, nullptr);
  EXPECT_EQ(*seven, 7u);

  SetLastError(0);
  EXPECT_EQ(english.Lock(RT_RCDATA, MAKEINTRESOURCEA(999)), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
  EXPECT_EQ(english.m_resource, nullptr);
}

// A 32-bit memory surface filled white, to draw on and read back.
class Surface : public ::testing::Test {
 protected:
  void SetUp() override {
    dc = CreateCompatibleDC(nullptr);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = 64;
    bi.bmiHeader.biHeight = -32;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    bitmap = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(bitmap, nullptr);
    old = SelectObject(dc, bitmap);
    RECT all = {0, 0, 64, 32};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  }
  void TearDown() override {
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
  COLORREF At(int x, int y) { return GetPixel(dc, x, y); }
  int Count(int x0, int x1, COLORREF colour) {
    int n = 0;
    for (int y = 0; y < 32; ++y)
      for (int x = x0; x < x1; ++x) n += At(x, y) == colour;
    return n;
  }
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ old = nullptr;
};

const COLORREF kWhite = RGB(255, 255, 255), kLight = RGB(200, 200, 200), kDark = RGB(10, 20, 30);

TEST_F(Surface, Frame3dLightsTopAndLeftAndDarkensBottomAndRight) {
  CDrawDC draw(dc);
  draw.Frame3d(RECT{2, 2, 8, 7}, kLight, kDark);
  struct {
    int x, y;
    COLORREF colour;
  } const pixels[] = {
      {2, 2, kLight}, {5, 2, kLight}, {2, 5, kLight},  // top and left
      {7, 2, kDark},  {7, 4, kDark},  {7, 6, kDark},   // right, corners included
      {2, 6, kDark},  {4, 6, kDark},                   // bottom
      {3, 3, kWhite}, {6, 5, kWhite},                  // inside untouched
      {1, 1, kWhite}, {8, 7, kWhite},                  // outside untouched
  };
  for (const auto& p : pixels) EXPECT_EQ(At(p.x, p.y), p.colour) << p.x << "," << p.y;
  draw.FillSolid(RECT{20, 20, 22, 22}, kDark);
  EXPECT_EQ(At(21, 21), kDark);
  EXPECT_EQ(At(22, 21), kWhite);
}

TEST_F(Surface, TextIsTransparentClippedAndTheDcIsRestored) {
  HFONT mine = static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
  HFONT given = static_cast<HFONT>(GetStockObject(ANSI_FIXED_FONT));
  SelectObject(dc, mine);
  SetTextColor(dc, RGB(0, 255, 0));
  SetBkColor(dc, RGB(255, 0, 0));
  SetBkMode(dc, OPAQUE);

  CDrawDC draw(dc);
  EXPECT_TRUE(draw.TextOut(0, 0, RECT{0, 0, 12, 32}, "WWWWWW", 6, kDark, given));
  EXPECT_GT(Count(0, 12, kDark), 0);
  EXPECT_EQ(Count(12, 64, kDark), 0);           // clipped
  EXPECT_EQ(Count(0, 64, RGB(255, 0, 0)), 0);  // no background painted
  RECT r = {30, 0, 64, 32};
  EXPECT_GT(draw.DrawText("W", 1, &r, DT_LEFT | DT_TOP, kDark, given), 0);
  EXPECT_GT(Count(30, 64, kDark), 0);

  EXPECT_EQ(GetTextColor(dc), RGB(0, 255, 0));
  EXPECT_EQ(GetBkMode(dc), OPAQUE);
  EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), mine);
}

// Cell (column c, row r) of the test strip is RGB(0x40 + i, 0x20, 16 * (i + 1))
// with i = 4r + c; the cells are 4 x 3 pixels.
COLORREF Cell(int c, int r) {
  const int i = r * 4 + c;
  return RGB(0x40 + i, 0x20, 16 * (i + 1));
}

TEST_F(Surface, BitmapStripsCutCellsDrawThemAndAreShared) {
  CBitmapStrip strip;
  ASSERT_TRUE(strip.Load("#200", Self(), 4, 2));
  EXPECT_EQ(strip.m_cellWidth, 4);
  EXPECT_EQ(strip.m_cellHeight, 3);

  const POINT cells[] = {{3, 1}, {0, 0}, {2, 1}};
  const POINT at[] = {{0, 0}, {10, 0}, {20, 10}};
  ASSERT_TRUE(strip.Draw(dc, cells, at, 3));
  EXPECT_EQ(At(0, 0), Cell(3, 1));
  EXPECT_EQ(At(3, 2), Cell(3, 1));
  EXPECT_EQ(At(4, 0), kWhite);  // one cell wide
  EXPECT_EQ(At(0, 3), kWhite);  // one cell high
  EXPECT_EQ(At(10, 0), Cell(0, 0));
  EXPECT_EQ(At(23, 12), Cell(2, 1));

  // A second user shares the bitmap; only the last release deletes it.
  ASSERT_TRUE(strip.Load("#200", Self(), 4, 2));
  HBITMAP shared = strip.m_bitmap;
  strip.Release();
  EXPECT_EQ(strip.m_bitmap, shared);
  strip.Release();
  EXPECT_EQ(strip.m_bitmap, nullptr);
  EXPECT_EQ(strip.m_uses, 0);
}

TEST(BitmapStrip, AFailedLoadCountsNoUserAndTheNextLoadTriesAgain) {
  CBitmapStrip strip;
  EXPECT_FALSE(strip.Load("#200", Self(), 0, 2));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_FALSE(strip.Load("#999", Self(), 4, 2));
  EXPECT_EQ(strip.m_uses, 0);
  EXPECT_TRUE(strip.Load(MAKEINTRESOURCEA(200), Self(), 4, 2));
  EXPECT_NE(strip.m_bitmap, nullptr);
  strip.Release();
}

TEST(BitmapStrip, HitTestFindsTheFirstCellHoldingThePoint) {
  CBitmapStrip strip;
  strip.m_cellWidth = 4;
  strip.m_cellHeight = 3;
  const POINT at[] = {{0, 0}, {2, 0}};  // overlapping cells
  struct {
    POINT p;
    int index;
  } const cases[] = {{{3, 1}, 0}, {{0, 0}, 0}, {{5, 2}, 1}, {{6, 0}, -1}, {{1, 3}, -1}, {{-1, 0}, -1}};
  for (const auto& c : cases) EXPECT_EQ(strip.HitTest(c.p, at, 2), c.index) << c.p.x << "," << c.p.y;
  EXPECT_EQ(strip.HitTest(POINT{1, 1}, at, 0), -1);
}

TEST(Monitor, AParkedRectangleComesBackCentredAndDialogsStayOnTheMonitor) {
  const int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
  RECT r = {-32768 + 10, -32768 + 10, -32768 + 210, -32768 + 110};
  ClipRectToMonitor(&r, kPlaceWholeMonitor);
  EXPECT_EQ(r.left, (cx - 200) / 2);
  EXPECT_EQ(r.top, (cy - 100) / 2);
  EXPECT_EQ(r.right - r.left, 200);

  // Without a parent a dialog is centred on the monitor.
  HWND alone = CreateWindowExA(0, "STATIC", "", WS_POPUP, -500, -500, 200, 100, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(alone, nullptr);
  CenterDialog(alone);
  RECT got;
  GetWindowRect(alone, &got);
  EXPECT_EQ(got.left, (cx - 200) / 2);
  EXPECT_EQ(got.top, (cy - 100) / 2);

  // Centred over a parent at the right edge, it is pushed back inside.
  HWND parent = CreateWindowExA(0, "STATIC", "", WS_POPUP, cx - 50, 10, 100, 100, nullptr, nullptr, nullptr, nullptr);
  HWND child = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 200, 100, parent, nullptr, nullptr, nullptr);
  ASSERT_NE(child, nullptr);
  CenterDialog(child);
  GetWindowRect(child, &got);
  EXPECT_EQ(got.left, cx - 200);
  EXPECT_EQ(got.top, 10);
  DestroyWindow(child);
  DestroyWindow(parent);
  DestroyWindow(alone);
}

// A device of the test's own made in a fresh device information set, with a
// long friendly name and an interface, removed again at the end.
TEST(DeviceSetup, AnswersGrowToTheSizeThePlatformNames) {
  static const GUID kClass = {0x6a1f2c3e, 0x44d1, 0x4b6e, {0x9a, 0x21, 0x5c, 0x0e, 0x7b, 0x33, 0x18, 0x42}};
  HDEVINFO set = SetupDiCreateDeviceInfoList(&kClass, nullptr);
  ASSERT_NE(set, INVALID_HANDLE_VALUE);
  SP_DEVINFO_DATA device = {};
  device.cbSize = sizeof device;
  ASSERT_TRUE(SetupDiCreateDeviceInfoW(set, L"HRLBASETEST", &kClass, nullptr, nullptr, DICD_GENERATE_ID, &device))
      << GetLastError();
  wchar_t name[200];
  for (int i = 0; i < 199; ++i) name[i] = static_cast<wchar_t>(L'a' + i % 26);
  name[199] = 0;
  ASSERT_TRUE(SetupDiSetDeviceRegistryPropertyW(set, &device, SPDRP_FRIENDLYNAME, reinterpret_cast<BYTE*>(name),
                                                sizeof name));
  SP_DEVICE_INTERFACE_DATA iface = {};
  iface.cbSize = sizeof iface;
  ASSERT_TRUE(SetupDiCreateDeviceInterfaceW(set, &device, &kClass, L"unit0", 0, &iface)) << GetLastError();

  DWORD type = 0, size = 0;
  BYTE* value = GetDeviceRegistryProperty(set, &device, SPDRP_FRIENDLYNAME, &type, &size);
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(size, sizeof name);
  EXPECT_EQ(std::memcmp(value, name, sizeof name), 0);
  MemFree(value);

  SP_DEVICE_INTERFACE_DETAIL_DATA_W* detail = GetDeviceInterfaceDetail(set, &iface);
  ASSERT_NE(detail, nullptr);
  EXPECT_NE(wcsstr(detail->DevicePath, L"unit0"), nullptr);
  MemFree(detail);

  // A property the device does not have: NULL with the platform's reason.
  size = 99;
  SetLastError(0);
  EXPECT_EQ(GetDeviceRegistryProperty(set, &device, SPDRP_MFG, &type, &size), nullptr);
  EXPECT_NE(GetLastError(), 0u);
  EXPECT_NE(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(size, 0u);

  SetupDiRemoveDeviceInterface(set, &iface);
  SetupDiRemoveDevice(set, &device);
  SetupDiDestroyDeviceInfoList(set);
}

}  // namespace
