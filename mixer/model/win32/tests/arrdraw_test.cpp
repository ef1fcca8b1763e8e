// Fade curves, fade-shape buttons and resource bitmaps drawn into a memory
// DC and read back pixel by pixel; Part rectangles and the arrange scroll
// bars from the arrange view.
#include <windows.h>

#include <gtest/gtest.h>

#include "mixer/arrange/arrview.h"
#include "mixer/model/arr.h"
#include "mixer/model/arrheap.h"
#include "mixer/model/util/fade.h"
#include "mixer/model/win32/arrdraw.h"
#include "mixer/model/win32/arrscroll.h"
#include "mixer/model/win32/tests/canvas.h"

namespace {

TEST_F(Canvas, FadeInRisesFromBottomLeftAndFadeOutFallsFromTopLeft) {
  const RECT rect = {4, 4, 20, 12};  // 16 x 8
  DrawFadeCurve(dc_, rect, 0, 0);
  EXPECT_EQ(At(4, 11), kBlack);   // start: left, bottom row
  EXPECT_EQ(At(19, 4), kBlack);   // last column reaches the top row
  EXPECT_EQ(At(4, 4), kWhite);
  EXPECT_EQ(At(19, 11), kWhite);

  Fill(kWhite);
  DrawFadeCurve(dc_, rect, 0, 1);
  EXPECT_EQ(At(4, 4), kBlack);    // start: left, top row
  EXPECT_EQ(At(19, 11), kBlack);  // last column reaches the bottom row
  EXPECT_EQ(At(4, 11), kWhite);
  EXPECT_EQ(At(19, 4), kWhite);
}

// Each segment starts at the previous column's point, so the point of every
// column 0..w-1 is drawn exactly; these are the points the curve's shape
// gives at a rectangle's height.
int CurveY(const RECT& rect, int shape, int column, int fadeOut) {
  const int w = rect.right - rect.left, h = rect.bottom - rect.top;
  const int v = static_cast<int>(static_cast<int64_t>(FadeShape(shape, column, w)) * h / kFadeOne);
  return fadeOut ? rect.top + v : rect.bottom - 1 - v;
}

TEST_F(Canvas, FadeOutOfALogCurveIsDrawnWithItsExpPairAndAFadeInIsNot) {
  const RECT rect = {0, 0, 40, 30};
  struct Case {
    int curve, fadeOut, drawnShape, otherShape;
  } const cases[] = {
      {2, 1, 3, 2}, {3, 1, 2, 3}, {6, 1, 7, 6},  // fade-outs swap with the pair
      {2, 0, 2, 3}, {7, 0, 7, 6},                // fade-ins keep their curve
  };
  for (const Case& c : cases) {
    Fill(kWhite);
    DrawFadeCurve(dc_, rect, c.curve, c.fadeOut);
    int differs = 0;
    for (int i = 0; i < 40; ++i) {
      EXPECT_EQ(At(i, CurveY(rect, c.drawnShape, i, c.fadeOut)), kBlack)
          << "curve " << c.curve << " fade-out " << c.fadeOut << " column " << i;
      if (At(i, CurveY(rect, c.otherShape, i, c.fadeOut)) == kWhite) ++differs;
    }
    EXPECT_GT(differs, 0) << "curve " << c.curve << " drawn with the other shape of its pair";
  }
}

TEST_F(Canvas, FadeShapeButtonFrameAndFillFollowItsState) {
  struct Case {
    int pushed, highlighted, disabled;
    COLORREF frame, fill;
  } const cases[] = {
      {1, 0, 0, kWhite, kBlue},       {1, 1, 0, kWhite, kRed},
      {1, 0, 1, kLightGrey, kBlue},   {1, 1, 1, kLightGrey, kRed},
      {0, 0, 0, kBlack, kWhite},      {0, 1, 0, kRed, kWhite},
      {0, 0, 1, kDarkGrey, kLightGrey}, {0, 1, 1, kRed, kLightGrey},
  };
  const RECT rect = {0, 0, 20, 12};
  for (const Case& c : cases) {
    Fill(kGreen);
    DrawFadeShapeButton(dc_, rect, 0, c.pushed, c.highlighted, c.disabled, 0, kRed, kBlue);
    const char* state = c.pushed ? "pushed" : "not pushed";
    EXPECT_EQ(At(0, 0), c.frame) << state << c.highlighted << c.disabled;
    EXPECT_EQ(At(19, 11), c.frame) << state << c.highlighted << c.disabled;
    EXPECT_EQ(At(3, 2), c.fill) << state << c.highlighted << c.disabled;    // above the rising curve
    EXPECT_EQ(At(1, 10), c.frame) << state << c.highlighted << c.disabled;  // curve one pixel inside
    EXPECT_EQ(At(20, 0), kGreen) << "drawn beyond the button";
  }
  EXPECT_EQ(GetCurrentObject(dc_, OBJ_PEN), GetStockObject(BLACK_PEN)) << "the DC's pen was changed";
}

TEST_F(Canvas, FadeShapeButtonDrawsAFadeOutFromTheTop) {
  DrawFadeShapeButton(dc_, {0, 0, 20, 12}, 0, 0, 0, 0, 1, kRed, kBlue);
  EXPECT_EQ(At(1, 1), kBlack);   // curve starts at the inner top-left
  EXPECT_EQ(At(3, 9), kWhite);   // below the falling curve is fill
}

TEST_F(Canvas, BlitResBitmapCopiesTheNamedBitmapIntoTheRectangle) {
  EXPECT_TRUE(BlitResBitmap(dc_, {10, 5, 14, 7}, "BLIT4X2"));
  EXPECT_EQ(At(10, 5), kRed);
  EXPECT_EQ(At(11, 5), kGreen);
  EXPECT_EQ(At(12, 5), kBlue);
  EXPECT_EQ(At(13, 5), kWhite);
  EXPECT_EQ(At(10, 6), kBlack);
  EXPECT_EQ(At(14, 5), kWhite);  // right of the rectangle untouched

  Fill(kGreen);
  EXPECT_FALSE(BlitResBitmap(dc_, {0, 0, 4, 2}, "NOSUCHBITMAP"));
  EXPECT_EQ(At(0, 0), kGreen);
}

class ArrangeView : public ::testing::Test {
 protected:
  void SetUp() override { ArrView() = ArrViewRec(); }
  void TearDown() override {
    ArrView() = ArrViewRec();
    if (frame_) DestroyWindow(frame_);
  }
  HWND MakeBar(DWORD style) {
    if (!frame_)
      frame_ = CreateWindowExA(0, "STATIC", "Arrange", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400, 300, nullptr,
                               nullptr, nullptr, nullptr);
    return CreateWindowExA(0, "SCROLLBAR", "", WS_CHILD | WS_VISIBLE | style, 0, 0, 100, 16, frame_,
                           nullptr, nullptr, nullptr);
  }
  static SCROLLINFO Info(HWND bar) {
    SCROLLINFO si = {};
    si.cbSize = sizeof si;
    si.fMask = SIF_ALL;
    GetScrollInfo(bar, SB_CTL, &si);
    return si;
  }
  HWND frame_ = nullptr;
};

TEST_F(ArrangeView, PartRectangleUsesTheViewAndClampsFarRightEdges) {
  ArrViewRec& view = ArrView();
  view.Origin = 44100;  // position 0 at the left edge
  view.Hzoom = 100;
  view.FirstTrack = 3;
  view.Vzoom = 13;
  view.TopHeight = 33;
  PartRec part = {};
  part.Start = 1000;
  part.Length = 2000;
  RECT r;
  ArrPartToRect(5, part, &r);
  EXPECT_EQ(r.left, 10);
  EXPECT_EQ(r.right, 30);
  EXPECT_EQ(r.top, 2 * 15 + 33 + 1);
  EXPECT_EQ(r.bottom, r.top + 14);

  view.Hzoom = 1;
  part.Start = 40000;
  part.Length = 0x7FFF0000;
  ArrPartToRect(3, part, &r);
  EXPECT_EQ(r.left, 32767);
  EXPECT_EQ(r.right, 32767);
}

TEST_F(ArrangeView, HorizontalBarSpansTheArrangementPlusHalfAViewFromMinusOneSecond) {
  ArrViewRec& view = ArrView();
  view.HScrollBar = MakeBar(SBS_HORZ);
  view.Span = 200000;
  view.Origin = 5000;
  ArrRec* saved = CurArr;
  CurArr = ArrNew(nullptr);
  ASSERT_NE(CurArr, nullptr);
  PartRec part = {};
  part.Start = 600000;
  part.Length = 400000;
  ASSERT_TRUE(ArrInsertPart(&CurArr, part, nullptr, 9, nullptr));
  ArrUpdateHScroll();
  ArrHeap.Free(CurArr);
  CurArr = saved;

  const SCROLLINFO si = Info(view.HScrollBar);
  EXPECT_EQ(si.nMin, 0);
  EXPECT_EQ(si.nMax, 1000000 + 100000 + 44100);
  EXPECT_EQ(si.nPage, 200000u);
  EXPECT_EQ(si.nPos, 5000);
  EXPECT_EQ(view.HScrollMax, si.nMax);
}

TEST_F(ArrangeView, VerticalBarCoversTheTracksAndStaysShownWhenItCannotScroll) {
  ArrViewRec& view = ArrView();
  view.VScrollBar = MakeBar(SBS_VERT);
  view.VisibleRows = 20;
  view.FirstTrack = 7;
  ArrUpdateVScroll();
  SCROLLINFO si = Info(view.VScrollBar);
  EXPECT_EQ(si.nMin, 0);
  EXPECT_EQ(si.nMax, 255);
  EXPECT_EQ(si.nPage, 20u);
  EXPECT_EQ(si.nPos, 7);

  view.VisibleRows = 256;  // every track shown: nothing to scroll
  view.FirstTrack = 0;
  ArrUpdateVScroll();
  si = Info(view.VScrollBar);
  EXPECT_EQ(si.nPage, 256u);
  EXPECT_TRUE(IsWindowVisible(view.VScrollBar));
  SCROLLBARINFO sbi = {};
  sbi.cbSize = sizeof sbi;
  ASSERT_TRUE(GetScrollBarInfo(view.VScrollBar, OBJID_CLIENT, &sbi));
  EXPECT_TRUE(sbi.rgstate[0] & STATE_SYSTEM_UNAVAILABLE) << "a bar that cannot scroll is disabled";
}

TEST_F(ArrangeView, WithoutScrollBarsOnlyTheScrollMaximumIsKept) {
  ArrViewRec& view = ArrView();
  view.Span = 1000;
  ArrRec* saved = CurArr;
  CurArr = nullptr;  // no arrangement ends at 0: the view's span decides
  ArrUpdateHScroll();
  ArrUpdateVScroll();
  CurArr = saved;
  EXPECT_EQ(view.HScrollMax, 1000 + 500 + 44100);
}

}  // namespace
