#include "mixer/model/win32/arrscroll.h"

#include <windows.h>

#include "mixer/arrange/arrview.h"
#include "mixer/model/arr.h"

namespace {

void SetScrollBar(HWND bar, int maximum, int page, int position) {
  if (bar == nullptr) return;
  SCROLLINFO si = {};
  si.cbSize = sizeof si;
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
  si.nMin = 0;
  si.nMax = maximum;
  si.nPage = page > 0 ? static_cast<UINT>(page) : 0;
  si.nPos = position;
  SetScrollInfo(bar, SB_CTL, &si, TRUE);
}

constexpr int kLastTrack = 255;

}  // namespace

void ArrUpdateHScroll() {
  ArrViewRec& view = ArrView();
  view.HScrollMax = ArrHScrollMax(ArrEndLoc(CurArr), view.Span);
  SetScrollBar(view.HScrollBar, view.HScrollMax, view.Span, view.Origin);
}

void ArrUpdateVScroll() {
  const ArrViewRec& view = ArrView();
  SetScrollBar(view.VScrollBar, kLastTrack, view.VisibleRows, view.FirstTrack);
}
