// The big windows of the track ("Mix input always") and the sends ("Post").
#include <cstring>

#include "elements/Qvmxel1/win32/qvwin.h"

namespace {

const char kMixAlways[] = "Mix input always";
const char kPost[] = "Post (Volume controlled by Output Element)";

uint32_t Col(int slot) { return ElemModule().Skin.Colors[slot]; }

}  // namespace

void PaintLogo(HDC dc, int logo, int x, int y) {
  const char* file = ElemModule().Skin.Logos[logo];
  HBITMAP bm = *file ? static_cast<HBITMAP>(LoadImageA(nullptr, file, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE))
                     : LoadBitmapA(ElemModule().Instance, "LOGO");
  BITMAP info{};
  if (bm && GetObjectA(bm, sizeof info, &info)) {
    HDC mem = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(mem, bm);
    BitBlt(dc, x, y, info.bmWidth, info.bmHeight, mem, 0, 0, SRCCOPY);
    SelectObject(mem, old);
    DeleteDC(mem);
  }
  if (bm) DeleteObject(bm);
}

LRESULT CALLBACK LevelBigProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  WndData* w = WndDataOf(wnd);
  LRESULT result = 0;
  if (w && BigCommon(wnd, w->E, msg, &result)) return result;
  switch (msg) {
    case WM_CREATE: {
      w = WndDataCreate(wnd, lParam);
      if (!w) return -1;
      const bool track = w->E->Fam == kFamTrack;
      SkinButton(&w->Button[0], kImgCheck, nullptr);
      if (track ? w->E->St.Track.MixAlways : w->E->St.Send.Post) w->Button[0].Flags |= kHBmOn;
      MakeControl(wnd, kHBmButton8Class, track ? kIdMixAlways : kIdPost, 16, 16, 13, 13, &w->Button[0]);
      return 0;
    }
    case WM_NCDESTROY:
      WndDataDestroy(wnd);
      break;
    case WM_USER + kUiValues:
      if (w) {
        const bool track = w->E->Fam == kFamTrack;
        HBmButton8SetState(track ? w->E->St.Track.MixAlways : w->E->St.Send.Post, &w->Button[0], -1);
      }
      return 0;
    case WMU_CTL_LBUTTONDOWN:
    case WMU_CTL_RBUTTONDOWN:
      if (!w) return 0;
      if (int(wParam) == kIdMixAlways && w->E->Fam == kFamTrack) TrackToggleMixAlways(w->E);
      if (int(wParam) == kIdPost && w->E->Fam == kFamSend) SendSet(w->E, 3, !w->E->St.Send.Post);
      HBmButton8SetState(w->E->Fam == kFamTrack ? w->E->St.Track.MixAlways : w->E->St.Send.Post, &w->Button[0], -1);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(wnd, &ps);
      if (w) {
        const bool track = w->E->Fam == kFamTrack;
        const char* text = track ? kMixAlways : kPost;
        HGDIOBJ old = SelectObject(dc, CtlFont(4));
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, Col(track ? kColTrack_Static_Text : kColSend_Static_Text));
        TextOutA(dc, 36, 15, text, int(std::strlen(text)));
        SelectObject(dc, old);
        PaintLogo(dc, track ? kLogoTrack22 : kLogoSend22, 4, 34);
      }
      EndPaint(wnd, &ps);
      return 0;
    }
  }
  return DefWindowProcA(wnd, msg, wParam, lParam);
}
