// The arrange window: the frame ArrWnd_WC with its scroll bars and zoom and
// follow buttons, the track column ArrColWnd_WC and the Part area
// ArrChildWnd_WC, and the drawing of the arrangement into either a window
// or a memory bitmap (the same code, so that tests can read pixels).
#pragma once

#include <windows.h>

#include <cstdint>

#include "mixer/arrange/arrzoom.h"

// Messages of the arrange windows.
enum : UINT {
  kArrMsgBtnLeftUp = 3125,
  kArrMsgBtnLeftDown = 3126,
  kArrMsgBtnRightUp = 3127,
  kArrMsgBtnRightDown = 3128,
  kArrMsgNowMoved = 3142,
  kArrMsgLeftMoved = 3143,
  kArrMsgRightMoved = 3144,
  kArrMsgAutoScroll = 3145,
  kArrMsgSaveSettings = 3146,  // WMU_SAVESETTINGS
};

// Control ids of the frame's children.
enum : int {
  kArrHScroll = 0,
  kArrHZoomIn = 1,
  kArrHZoomOut = 2,
  kArrVScroll = 3,
  kArrVZoomIn = 4,
  kArrVZoomOut = 5,
  kArrRectZoom = 6,
  kArrFollow = 7,
  kArrColumn = 8,
  kArrPartArea = 9,
};

void RegisterArrWnd(HINSTANCE instance);
void RegisterArrColWnd(HINSTANCE instance);
void RegisterArrChildWnd(HINSTANCE instance);
// Creates the frame at its ini window record, owned by `owner`; the frame
// when it was made (or already exists).
HWND ArrCreateWnd(HWND owner);
// The frame, the Part area and the track column; null while closed.
HWND ArrFrameWnd();
HWND ArrPartAreaWnd();
HWND ArrColumnWnd();

// Start-up: the view settings of section ArrangeWnd.
void ReadArrZoomCfg();
// The context tool sets of section ArrangeWnd.
void LoadCseToolSets();
// The Part info dialog's three switches (key InfoTool: "%d %d %d",
// defaults 1 1 0).
void ReadInfoToolCfg();
void WriteInfoToolCfg();
void CseWriteSets();

// View operations with their window side (scroll bars, repaints).
int ArrZoomH(int32_t target, int32_t anchor, int strict);
int ArrZoomV(int32_t target, int32_t y, int strict);
void ArrZoomToRect(int32_t left, int32_t top, int32_t right, int32_t bottom);
void ArrZoomHistoryPush();
void ArrZoomHistoryStep(int back);
void ArrScrollToNow(int onlyIfOutside);
void ArrRefreshAfterLocate();
// Repaints the Part area when its waveforms were drawn from overviews for
// want of samples (ArrViewRec::WavesDeferred) and now may come from the
// samples: close zoom, the transport neither playing nor recording.
void ArrRepaintDeferredWaves();
void ArrRefreshToolCursor();
void ArrUpdateCaption();
int32_t ArrGetHzoom();
COLORREF ArrGetColor1();
COLORREF ArrGetColor2();
COLORREF ArrGetColor3();
void ArrSetColor1(COLORREF c);
void ArrSetColor2(COLORREF c);
void ArrSetColor3(COLORREF c);
int ArrSetMrkBar(int mode);
int ArrSetGrid(int mode);
int ArrFitWndHeight(int repaint);
void ArrSetHScrollPos();
void ArrSetVScrollPos();
void ArrRulerSetLocator(int x, int y, int which, int skipHitTest);
uint32_t ArrMrkBarHit(int x, int y);
// The frame's button states (1 on).
int ArrRectZoomOn();
int ArrFollowOn();
// The cursor the Part area shows: the zoom cursor (on) or the arrow, as
// the Rectangular Zoom button is switched; and the one it shows now.
void ArrShowZoomCursor(int on);
HCURSOR ArrCurrentCursor();

// Drawing. The Part area's whole picture into dc (w x h pixels).
void ArrPaintPartArea(HDC dc, int w, int h);
// The track column's picture into dc.
void ArrPaintColumn(HDC dc, int w, int h);
// Runs `paint` into a memory bitmap of w x h and copies it onto `dc`, so a
// repaint never shows half-drawn rows.
void ArrPaintBuffered(HDC dc, int w, int h, void (*paint)(HDC, int, int));
void ArrDrawTrkHeader(HDC dc, int32_t track, int32_t row);
// The channel links of the visible rows: a bracket right of the record
// buttons joining the members of each link group.
void ArrDrawTrkLinks(HDC dc);
// A locator flag and line (k 0 now, 1 left, 2 right); 1 when visible.
int ArrDrawLocFlag(HDC dc, int k, int32_t position, int keep);
// The locators' images, which the frame loads when it is created and frees
// when it is destroyed: the 8 x 8 pattern brush of each locator's line
// (bitmaps 282-284) and its 15 x 8 flag (285-287). Null while not loaded;
// nothing of the locators is drawn then. Loading returns 1 when all six
// were found.
int ArrLoadLocatorImages(HINSTANCE instance);
void ArrFreeLocatorImages();
HBRUSH ArrLocatorBrush(int k);
HBITMAP ArrLocatorFlag(int k);
// The origin of the locators' pattern brushes: the frame's client origin on
// the screen, modulo 8, so that the dashes stay where they are on the screen
// when the window moves.
POINT ArrLocatorBrushOrigin();
// The XOR outline of a rectangle (drawing it twice restores the picture).
void DrawXorRect(HDC dc, const RECT& r);
// A marker's flag with its foot at (x, bottom): a vertical line eight
// pixels high with a three-line pennant to its right, in the current pen.
void ArrDrawRulerTick(HDC dc, int x, int bottom);

// The mouse tool state of the Part area, for tests.
struct ArrChildState {
  int Button = 0;           // 0 none, 1 left, 2 right
  int RubberBand = 0;
  POINT Anchor = {0, 0};
  POINT Corner = {0, 0};
  int RulerCode = 0;        // ArrRulerSetLocator code of a ruler drag
  int ViewDrag = 0;         // right-button view drag running
  int MoveNowOnRelease = 0;
  POINT Press = {0, 0};
  int LastMoveX = INT32_MIN;
  int LastMoveRow = INT32_MIN;
  int LastSlipX = INT32_MIN;
  int LastTrimX = INT32_MIN;
};
ArrChildState& ArrChild();
