#include "elements/win32/elemwin.h"

namespace {

void Line(HDC dc, COLORREF colour, int left, int top, int right, int bottom) {
  const RECT r{left, top, right, bottom};
  const COLORREF old = SetBkColor(dc, colour);
  ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
  SetBkColor(dc, old);
}

uint32_t Col(SkinColor slot) { return ElemModule().Skin.Colors[slot]; }

}  // namespace

void ElemDrawFrame3D(HDC dc, COLORREF left, COLORREF top, COLORREF right, COLORREF bottom, const RECT& r) {
  Line(dc, left, r.left, r.top, r.left + 1, r.bottom);
  Line(dc, top, r.left, r.top, r.right, r.top + 1);
  Line(dc, right, r.right - 1, r.top, r.right, r.bottom);
  Line(dc, bottom, r.left, r.bottom - 1, r.right, r.bottom);
}

void ElemDrawFrame3D(HDC dc, COLORREF topLeft, COLORREF bottomRight, const RECT& r) {
  Line(dc, bottomRight, r.left, r.bottom - 1, r.right, r.bottom);
  Line(dc, bottomRight, r.right - 1, r.top, r.right, r.bottom);
  Line(dc, topLeft, r.left, r.top, r.right, r.top + 1);
  Line(dc, topLeft, r.left, r.top, r.left + 1, r.bottom);
}

void DrawLittleWindowBorder(HDC dc, const RECT& rect) {
  ElemDrawFrame3D(dc, Col(kCol_LittleWindow_Border_Left), Col(kCol_LittleWindow_Border_Top),
                  Col(kCol_LittleWindow_Border_OuterRight), Col(kCol_LittleWindow_Border_OuterBottom), rect);
  const RECT inner{rect.left + 1, rect.top + 1, rect.right - 1, rect.bottom - 1};
  ElemDrawFrame3D(dc, Col(kCol_LittleWindow_Border_Left), Col(kCol_LittleWindow_Border_Top),
                  Col(kCol_LittleWindow_Border_InnerRight), Col(kCol_LittleWindow_Border_InnerBottom), inner);
}

void DrawFaderBorder(HDC dc, int blocked, const RECT& rect) {
  if (Col(kCol_Fader_Border_On)) {
    ElemDrawFrame3D(dc, Col(kCol_Fader_Border_Left), Col(kCol_Fader_Border_Top), Col(kCol_Fader_Border_Right),
                    Col(kCol_Fader_Border_Bottom), rect);
    return;
  }
  const COLORREF c = Col(blocked ? kCol_Fader_Slot_Background_Blocked : kCol_Fader_Slot_Background);
  ElemDrawFrame3D(dc, c, c, c, c, rect);
}
