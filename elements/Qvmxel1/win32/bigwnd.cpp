// The big windows' common life: opened beside the little window as a popup
// it owns, captioned with the element's place, closed by the host or the
// close box.
#include <cstdio>

#include "elements/Qvmxel1/qvmxel1api.h"
#include "elements/Qvmxel1/strings.h"
#include "elements/Qvmxel1/win32/qvwin.h"

namespace {

struct BigPlace {
  int32_t* X;
  int32_t* Y;
  uint32_t* Open;
  int Width, Height;
};

BigPlace PlaceOf(Element* e) {
  switch (e->Fam) {
    case kFamEq: return {&e->St.Eq.BigX, &e->St.Eq.BigY, &e->St.Eq.BigOpen, 432, 273};
    case kFamTrack: return {&e->St.Track.BigX, &e->St.Track.BigY, &e->St.Track.BigOpen, 300, 83};
    case kFamSend: return {&e->St.Send.BigX, &e->St.Send.BigY, &e->St.Send.BigOpen, 300, 83};
    default: return {nullptr, nullptr, nullptr, 0, 0};
  }
}

constexpr DWORD kBigStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_DLGFRAME;

}  // namespace

void BigCaption(Element* e) {
  if (!e->Big) return;
  char text[160];
  const int col = int(e->Column) + 1, el = int(e->Index) + 1;
  const uint32_t code = kTypeTable[e->Row].Code;
  if (e->Fam == kFamEq) std::snprintf(text, sizeof text, ModStrText(IDS_EQ_CAPTION), col, el);
  else if (e->Fam == kFamTrack) std::snprintf(text, sizeof text, ModStrText(IDS_TRACK_CAPTION), e->Name, col, el);
  else
    std::snprintf(text, sizeof text, ModStrText(code == 811 || code == 812 ? IDS_SENDEPP_CAPTION : IDS_SEND_CAPTION),
                  e->Name, col, el);
  SetWindowTextA(e->Big, text);
}

HWND OpenBigWindow(Element* e) {
  const BigPlace p = PlaceOf(e);
  if (!p.Open || !e->Little || e->Big) return e->Big;
  RECT r{0, 0, p.Width, p.Height};
  AdjustWindowRect(&r, kBigStyle, FALSE);
  HWND big = CreateWindowExA(0, BigClassOfRow(e->Row), "", kBigStyle, *p.X, *p.Y, r.right - r.left,
                             r.bottom - r.top, e->Little, nullptr, ElemModule().Instance, e);
  if (!big) return nullptr;
  e->Big = big;
  *p.Open = 1;
  BigCaption(e);
  // A position left from another screen comes back to the middle.
  if (!ElemWindowOnScreen(big)) ElemCenterWindow(big);
  ShowWindow(big, SW_SHOWNOACTIVATE);
  return big;
}

void CloseBigWindow(Element* e) {
  if (!e->Big) return;
  HWND big = e->Big;
  const BigPlace p = PlaceOf(e);
  if (p.Open && e->Little) *p.Open = 0;
  DestroyWindow(big);
  e->Big = nullptr;
}

// Shared by the big window procedures: position kept, close box, end.
bool BigCommon(HWND wnd, Element* e, UINT msg, LRESULT* result) {
  switch (msg) {
    case WM_MOVE: {
      const BigPlace p = PlaceOf(e);
      RECT r;
      GetWindowRect(wnd, &r);
      if (p.X) {
        *p.X = r.left;
        *p.Y = r.top;
      }
      *result = 0;
      return true;
    }
    case WM_CLOSE: {
      // The user closed it: the host hears of it.
      const BigPlace p = PlaceOf(e);
      if (p.Open) *p.Open = 0;
      DestroyWindow(wnd);
      Notify(e, kNotifyBigWindow, 1);
      *result = 0;
      return true;
    }
    case WM_DESTROY:
      ElemDestroyChildWindows(wnd);
      if (e->Big == wnd) e->Big = nullptr;
      *result = 0;
      return true;
  }
  return false;
}
