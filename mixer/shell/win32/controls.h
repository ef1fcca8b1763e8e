// The themed control set: seven small window classes that draw themselves
// from a descriptor their owner keeps (its address is the creation
// parameter) and tell the parent of mouse actions with private messages
// (wParam the control id, lParam the control window).
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <uxtheme.h>

#include <cstdint>

constexpr char kBmStatic9Class[] = "BmStatic9_WC";
constexpr char kBmButton9Class[] = "BmButton9_WC";
constexpr char kHBmButton9Class[] = "HBmButton9_WC";
constexpr char kSelDat9Class[] = "SelDat9_WC";
constexpr char kEdBox9Class[] = "EdBox9_WC";
constexpr char kRotPot9Class[] = "RotPot9_WC";
constexpr char kBRotPot9Class[] = "BRotPot9_WC";

struct BmButton9Desc {
  HWND wnd;
  uint32_t state;      // bit 0 on, bit 1 icon mode
  uint32_t offRes;     // bitmap or icon resource numbers
  uint32_t onRes;
  COLORREF background; // icon mode
  uint32_t disabled;
  uint32_t tooltip;    // string id, 0 none
};

// HBmButton9 state bits.
enum : uint32_t {
  kHbOn = 1u << 0,
  kHbHot = 1u << 1,
  kHbDisabled = 1u << 2,
  kHbOnNextGroup = 1u << 3,
  kHbXpBitmap = 1u << 4,
};
// HBmButton9 styles.
enum : uint32_t { kHbTool = 0, kHbButton = 1, kHbScrollBar = 2, kHbPlain = 4 };

struct HBmButton9Desc {
  HWND wnd;
  uint32_t state;
  uint32_t bitmapRes;
  uint32_t style;
  uint32_t baseGroup;
  COLORREF mask;
  uint32_t tooltip;
  HIMAGELIST images;
  HTHEME theme;
};

// SelDat9 state bits.
enum : uint32_t { kSdDisabled = 1u << 0, kSdOpen = 1u << 1, kSdHot = 1u << 2 };

struct SelDat9Desc {
  HWND wnd;
  uint32_t value;      // command id of the current choice
  uint32_t prefix;     // string ids, 0 none
  uint32_t suffix;
  uint32_t menuPath;   // byte 0 pop-up, byte 1 sub-menu, byte 2 0 or deeper + 1
  HMENU popup;
  COLORREF textColour;
  int32_t textX;
  int32_t textY;
  uint32_t state;
  uint32_t tooltip;
  HTHEME editTheme;
  HTHEME comboTheme;
};

// EdBox9 state bits.
enum : uint32_t { kEbEditing = 1u << 0, kEbDisabled = 3u << 1, kEbGrey = 1u << 2, kEbHot = 1u << 3 };

struct EdBox9Desc {
  HWND wnd;
  uint32_t caption;    // string id of the INPUT dialog's caption
  char text[32];
  RECT textRect;
  uint32_t state;
  uint32_t tooltip;
  HTHEME theme;
};

struct RotPot9Desc {
  HWND wnd;
  int32_t diameter;
  int32_t sweep;       // degrees
  int32_t value;
  int32_t maximum;
  int32_t crossLines;
  int32_t detentColours;
  int32_t disabled;
  const char* faces;   // BRotPot9: bitmap resource of the two faces
  HIMAGELIST faceImages;
};

// Sets bit 0 of a descriptor's state (0, 1, or 2 to toggle), stores value
// when it is 0 or more, and repaints the control at once when it exists.
void Ctl9SetState(int state, SelDat9Desc* desc, int32_t value);
void Ctl9SetState(int state, SelDat9Desc* desc);
// Draws an EdBox9 descriptor's value text into its window.
void Ctl9DrawText(EdBox9Desc* desc);

// Every black pixel of the 32-bit bitmap becomes `colour`.
void ReplaceBlackPixels(HDC dc, HBITMAP bitmap, COLORREF colour);
