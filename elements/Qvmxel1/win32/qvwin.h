// The windows of the main element module: the data block each little and
// big window keeps (the records of its controls), control records filled
// from the skin, and the window procedures' shared steps.
#pragma once

#include <windows.h>

#include "elements/Qvmxel1/qvmxel1.h"
#include "elements/controls/win32/ctlwin.h"
#include "elements/win32/elemwin.h"

// Control ids of the element windows.
enum : int {
  kIdInputLabel = 1, kIdMute = 2, kIdLoad = 3, kIdSave = 4, kIdBypass = 5, kIdTrackLabel = 6, kIdRecArm = 7,
  kIdMixAlways = 8, kIdPost = 9, kIdPanPot = 10, kIdPanFader = 11, kIdSolo = 12, kIdPanBox = 12,
  kIdPanCenter = 13, kIdSoloGroup = 15, kIdFaderGroup = 16, kIdVolumeBox = 17, kIdVolumeFader = 18,
  kIdMeter = 19, kIdLabel = 20, kIdTitle = 21, kIdEqSpin = 22,  // 22..27
  kIdEqFader = 28,  // 28..33
  kIdEqCurve = 34, kIdDelayBox = 36, kIdPhase = 37,
};

// Everything a little or big window holds; only the family's controls are
// made. The block lives until the window's WM_NCDESTROY, after its
// controls are gone.
struct WndData {
  Element* E;
  ColBox8Data Label;
  HBmButton8Data Button[3];  // mute / arm / bypass / phase; solo; pan centre
  SpinBox8Data Spin[6];
  Fader8Data Fader[6];
  RotPot8Data Pot;
  Peak8Data Meter;
  BpEqFs8Data Curve;
  BmButton8Data Load, Save;
  int32_t RememberedVolume;  // at a fader press, put back on a double-click
};

// Module services of the windows.
WndData* WndDataOf(HWND wnd);
WndData* WndDataCreate(HWND wnd, LPARAM createParam);  // WM_CREATE: block made and attached
void WndDataDestroy(HWND wnd);                          // WM_NCDESTROY

// Records from the skin.
void SkinLabel(ColBox8Data* d, uint32_t bgLeft, uint32_t bgRight);
void SkinButton(HBmButton8Data* d, int image, const char* resource);
void SkinSpin(SpinBox8Data* d, int32_t value, int32_t lo, int32_t hi, int32_t steps, int32_t divisor, uint32_t flags);
void SkinFader(Fader8Data* d, int width, int height, int capLen, int marks);
void SkinPot(RotPot8Data* d, int diameter, int32_t value, int32_t maximum);
void SkinMeter(Peak8Data* d, int meters, int leds, int vertical, int pitch, int thickness);

HWND MakeControl(HWND parent, const char* cls, int id, int x, int y, int w, int h, void* record,
                 const char* text = "", bool visible = true);
void SetBlockedLook(WndData* w, uint32_t blocked);

// Little windows of the families (little.cpp); big windows (eqwnd.cpp,
// levelwnd.cpp).
LRESULT CALLBACK LittleProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK EqBigProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK LevelBigProc(HWND, UINT, WPARAM, LPARAM);
HWND OpenBigWindow(Element* e);
void CloseBigWindow(Element* e);
// The EQ little window's controls follow the state.
void EqLittleRefresh(WndData* w);
void EqBigRefresh(Element* e);
void BigCaption(Element* e);
bool BigCommon(HWND wnd, Element* e, UINT msg, LRESULT* result);
// Paints a logo: the skin's file when it names one, else the module's own.
void PaintLogo(HDC dc, int logo, int x, int y);
