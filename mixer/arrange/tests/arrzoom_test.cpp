// The arrange window's portable arithmetic: pixel and position mapping,
// zoom, history and scrolling, ruler grids, the fader law, the context tool
// sets and zones, and waveform display points.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "mixer/arrange/arrzoom.h"
#include "mixer/arrange/csetools.h"
#include "mixer/arrange/rectrk.h"
#include "mixer/model/arrheap.h"
#include "mixer/arrange/wavepoints.h"
#include "mixer/model/timecode.h"

namespace {

ArrViewRec View(int32_t hzoom = 1024, int32_t width = 800, int32_t height = 500) {
  ArrViewRec v;
  v.Hzoom = hzoom;
  v.Vzoom = 13;
  v.TopHeight = kArrRulerHeight;
  ArrResizeCalc(v, width, height);
  v.CloseZoom = hzoom <= 128;
  v.HScrollMax = ArrHScrollMax(10 * 44100, v.Span);
  return v;
}

TEST(ArrZoom, PixelsAndPositionsGoThroughTheShiftedOrigin) {
  ArrViewRec v = View(1024);
  EXPECT_EQ(ArrXOfPos(v, -44100), 0);
  EXPECT_EQ(ArrXOfPos(v, 0), 44100 / 1024);
  EXPECT_EQ(ArrPosOfX(v, 0), -44100);
  v.Origin = 44100;
  EXPECT_EQ(ArrXOfPos(v, 0), 0);
  EXPECT_EQ(ArrPosOfX(v, 10), 10240);
  // Rows: below the ruler, Vzoom + 2 apart; rows above the first count down.
  EXPECT_EQ(ArrRowTop(v, 0), 17);
  EXPECT_EQ(ArrRowTop(v, 2), 17 + 30);
  v.FirstTrack = 5;
  EXPECT_EQ(ArrTrackAtY(v, 17), 5);
  EXPECT_EQ(ArrTrackAtY(v, 17 + 15), 6);
  EXPECT_EQ(ArrTrackAtY(v, 16), 4);
  // Extreme origins do not overflow the mapping.
  v.Origin = kArrTimeLineEnd;
  EXPECT_EQ(ArrPosOfX(ArrViewRec{}, INT32_MAX), INT32_MAX);
}

TEST(ArrZoom, HorizontalZoomStopsAtItsBoundsAndKeepsTheAnchorColumn) {
  ArrViewRec v = View(1);
  EXPECT_EQ(ArrZoomHCalc(v, 0, 0, 0), 0);
  v = View(kArrMaxHzoom);
  EXPECT_EQ(ArrZoomHCalc(v, kArrMaxHzoom * 2, 0, 0), 0);

  v = View(1024);
  v.Origin = 100000;
  const int32_t anchor = v.Origin - kArrTimeShift + 300 * 1024;  // column 300
  ASSERT_EQ(ArrZoomHCalc(v, 256, anchor, 1), 1);
  EXPECT_EQ(v.Hzoom, 256);
  EXPECT_EQ(v.Span, 256 * 800);
  EXPECT_EQ(ArrXOfPos(v, anchor), 300);
  EXPECT_EQ(v.CloseZoom, 0);
  ASSERT_EQ(ArrZoomHCalc(v, 100, anchor, 0), 1);
  EXPECT_EQ(v.Hzoom, 64);
  EXPECT_EQ(v.CloseZoom, 1);
  // Strict and the anchor out of view: nothing.
  EXPECT_EQ(ArrZoomHCalc(v, 1024, v.Origin + 10 * v.Span, 1), 0);
  // Zooming out near the time line's start never starts the view below 0.
  v = View(1024);
  ASSERT_EQ(ArrZoomHCalc(v, 65536, -44100 + 100 * 1024, 0), 1);
  EXPECT_EQ(v.Origin, 0);
  // ... nor ends it past the time line's end.
  v = View(1024);
  v.Origin = ArrLargestOrigin(v.Span);
  ASSERT_EQ(ArrZoomHCalc(v, 262144, ArrPosOfX(v, 700), 0), 1);
  EXPECT_LE(int64_t{v.Origin} + v.Span, kArrTimeLineEnd);
}

TEST(ArrZoom, RowHeightsFollowTheLadder) {
  struct {
    int32_t target, snapped;
  } const snaps[] = {{4, 5}, {5, 5}, {8, 5}, {9, 9}, {12, 9}, {13, 13}, {14, 17}, {17, 17}, {18, 21}, {500, 413}};
  for (const auto& c : snaps) EXPECT_EQ(ArrSnapRowHeight(c.target), c.snapped) << c.target;
  // The buttons' steps: up 13 -> 17 -> 25 -> 37; down 17 -> 13 -> 9 -> 5 -> 5.
  EXPECT_EQ(ArrRowHeightUp(13), 17);
  EXPECT_EQ(ArrRowHeightUp(17), 25);
  EXPECT_EQ(ArrRowHeightUp(25), 37);
  EXPECT_EQ(ArrRowHeightUp(5), 9);
  EXPECT_EQ(ArrRowHeightDown(17), 13);
  EXPECT_EQ(ArrRowHeightDown(13), 9);
  EXPECT_EQ(ArrRowHeightDown(9), 5);
  EXPECT_EQ(ArrSnapRowHeight(ArrRowHeightDown(5)), 5);

  // The track under the anchor row stays under it.
  ArrViewRec v = View();
  v.FirstTrack = 10;
  const int32_t y = ArrRowTop(v, 6) + 3;
  const int32_t under = ArrTrackAtY(v, y);
  ASSERT_EQ(ArrZoomVCalc(v, 17, y, 0), 1);
  EXPECT_EQ(v.Vzoom, 17);
  EXPECT_EQ(ArrTrackAtY(v, y), under);
  EXPECT_EQ(v.VisibleRows, ArrRowsFor(500, kArrRulerHeight, 17));
  EXPECT_EQ(ArrZoomVCalc(v, 17, y, 0), 0);
  // Low down the list the first track keeps the rows inside 256 tracks.
  v.FirstTrack = 256 - v.VisibleRows;
  ASSERT_EQ(ArrZoomVCalc(v, 5, 0, 0), 1);
  EXPECT_LE(v.FirstTrack + v.VisibleRows, 256);
}

TEST(ArrZoom, HistoryKeepsEightViewsAndStepsBackAndForth) {
  ArrViewRec v = View();
  for (int i = 0; i < 9; ++i) {
    v.FirstTrack = i;
    ArrZoomHistoryPushCalc(v);
  }
  // Nine pushes: the first view (track 0) is gone.
  EXPECT_EQ(v.History[0].FirstTrack, 2);
  v.FirstTrack = 99;
  ASSERT_EQ(ArrZoomHistoryStepCalc(v, 1), 1);
  EXPECT_EQ(v.FirstTrack, std::min(8, 256 - v.VisibleRows));
  ASSERT_EQ(ArrZoomHistoryStepCalc(v, 0), 1);  // forward again: the view left
  EXPECT_EQ(v.FirstTrack, std::min(99, 256 - v.VisibleRows));
  EXPECT_EQ(ArrZoomHistoryStepCalc(v, 0), 0);  // nothing further forward
  int steps = 0;
  while (ArrZoomHistoryStepCalc(v, 1)) ++steps;
  EXPECT_EQ(steps, 7);
}

TEST(ArrZoom, RectangularZoomFitsTheBandAndPushesTheView) {
  ArrViewRec v = View(1024);
  const int32_t hzoomBefore = v.Hzoom;
  ArrZoomRectCalc(v, 100, ArrRowTop(v, 2), 300, ArrRowTop(v, 5) + 5);
  EXPECT_EQ(v.History[0].Hzoom, hzoomBefore);
  EXPECT_EQ(v.HistoryIndex, 1);
  // 200 columns x 1024 over 800 columns: 256 is the highest power below,
  // doubled because it differs from the current zoom.
  EXPECT_EQ(v.Hzoom, 512);
  EXPECT_EQ(v.Vzoom, ArrSnapRowHeight((500 - 16) / 4 - 2));
  EXPECT_LE(v.FirstTrack, 2);
}

TEST(ArrZoom, RectangularZoomTakesTheRowsUnderTheBandsEdges) {
  // Rows of 15 pixels below a 16-pixel ruler, track 10 in the top row. A
  // band from the ruler down into the third row covers tracks 10..12; a
  // band whose top left the window upward reaches one row further up.
  struct {
    int32_t top, bottom, rows;
  } const cases[] = {
      {5, 17 + 2 * 15 + 3, 3},   // top edge in the ruler: the first visible row
      {-1, 17 + 2 * 15 + 3, 5},  // (-18 / 15) - 1: two rows above it
      {17 + 15, 17 + 15, 1},     // both edges in one row
  };
  for (const auto& c : cases) {
    ArrViewRec v = View(1024);
    v.FirstTrack = 10;
    ArrZoomRectCalc(v, 100, c.top, 300, c.bottom);
    EXPECT_EQ(v.Vzoom, ArrSnapRowHeight((500 - 16) / c.rows - 2)) << c.top << " " << c.bottom;
  }
}

TEST(ArrZoom, ScrollingByBarCodesAndWheel) {
  ArrViewRec v = View(1024);
  v.Origin = 4096;
  EXPECT_EQ(ArrHScrollCalc(v, 0, 0), 1);
  EXPECT_EQ(v.Origin, 0);
  EXPECT_EQ(ArrHScrollCalc(v, 0, 0), 0);  // at 0: unchanged
  EXPECT_EQ(ArrHScrollCalc(v, 3, 0), 1);
  EXPECT_EQ(v.Origin, v.Span / 2);
  EXPECT_EQ(ArrHScrollCalc(v, 4, 777), 1);
  EXPECT_EQ(v.Origin, 777);
  EXPECT_EQ(ArrHScrollCalc(v, 4, v.HScrollMax + 1000), 1);
  EXPECT_EQ(v.Origin, v.HScrollMax);
  // Thumb tracking is ignored with tall rows at close zoom; the final
  // position still applies.
  v = View(64);
  v.Vzoom = 17;
  EXPECT_EQ(ArrHScrollCalc(v, 5, 500), 0);
  EXPECT_EQ(ArrHScrollCalc(v, 4, 500), 1);
  EXPECT_EQ(ArrVScrollCalc(v, 5, 3), 0);
  EXPECT_EQ(ArrVScrollCalc(v, 4, 3), 1);
  EXPECT_EQ(v.FirstTrack, 3);

  v = View();
  EXPECT_EQ(ArrVScrollCalc(v, 1, 0), 1);
  EXPECT_EQ(v.FirstTrack, 1);
  EXPECT_EQ(ArrVScrollCalc(v, 3, 0), 1);
  EXPECT_EQ(v.FirstTrack, 1 + v.VisibleRows / 2);
  EXPECT_EQ(ArrVScrollCalc(v, 4, 1000), 1);
  EXPECT_EQ(v.FirstTrack, 256 - v.VisibleRows);
  // The wheel: one track per notch, forward upward.
  EXPECT_EQ(ArrWheelCalc(v, 240), 1);
  EXPECT_EQ(v.FirstTrack, 254 - v.VisibleRows);
  v.FirstTrack = 0;
  EXPECT_EQ(ArrWheelCalc(v, 120), 0);
  EXPECT_EQ(ArrWheelCalc(v, -120), 1);
  EXPECT_EQ(v.FirstTrack, 1);
}

TEST(ArrZoom, IniZoomIsClampedToAPowerOfTwo) {
  EXPECT_EQ(ArrClampHzoom(0), 1);
  EXPECT_EQ(ArrClampHzoom(1000), 512);
  EXPECT_EQ(ArrClampHzoom(1LL << 40), kArrMaxHzoom);
}

TEST(ArrGrid, RulerRowsFollowTheZoom) {
  // Time code: pixels per minute = rate x 60 / Hzoom.
  ArrGridRec g = ArrTcGridFor(48000, 262144, kFr25);  // 10 px a minute
  EXPECT_EQ(g.Unit[0], 2);
  EXPECT_EQ(g.Step[0], 10);
  g = ArrTcGridFor(48000, 64, kFr24);  // 45000 px a minute: F frames, F = 6
  EXPECT_EQ(g.Unit[0], 0);
  EXPECT_EQ(g.Step[0], 6);
  g = ArrTcGridFor(48000, 128, kFr2997Df);  // 22500: 1 second, frames, F = 5
  EXPECT_EQ(g.Unit[0], 1);
  EXPECT_EQ(g.Unit[2], 0);
  EXPECT_EQ(g.Step[2], 5);
  EXPECT_EQ(g.DropFrame, 1);
  g = ArrTcGridFor(48000, 1, kFr25);  // beyond the last bound: frames
  EXPECT_EQ(g.Unit[0], 0);
  EXPECT_EQ(g.Step[0], 1);
  // Musical: by the pixel width of two bars.
  g = ArrBbtGridFor(100);
  EXPECT_EQ(g.Unit[0], 0);
  EXPECT_EQ(g.Step[0], 2);
  g = ArrBbtGridFor(2000);
  EXPECT_EQ(g.Unit[0], 1);
  EXPECT_EQ(g.Unit[1], 2);
  EXPECT_EQ(g.Step[1], 2);
  g = ArrBbtGridFor(1 << 20);
  EXPECT_EQ(g.Unit[0], 3);
  EXPECT_EQ(g.Step[0], 8);
  // Ticks of a step without a tempo map, 4/4 and 6/8.
  EXPECT_EQ(ArrGridTicks(0, 2, 4, 4), 2 * 3840);
  EXPECT_EQ(ArrGridTicks(1, 1, 6, 8), 480);
  EXPECT_EQ(ArrGridTicks(2, 4, 4, 4), 240);
}

TEST(ArrGrid, CeilingWithoutTempoMapHoldsFarAlongTheTimeLine) {
  // 120 BPM at 48 kHz: a beat is 24000 samples. Near the end of the time
  // line position x tempo x 3840 passes 32 bits (and 2^63 would not).
  const int64_t beat = 960;
  EXPECT_EQ(ArrBbtGridCeilPlain(1, beat, 12000, 48000), 24000);
  EXPECT_EQ(ArrBbtGridCeilPlain(24000, beat, 12000, 48000), 24000);
  const int64_t far = EndOfTime - 100000;
  const int64_t c = ArrBbtGridCeilPlain(far, beat, 12000, 48000);
  EXPECT_GE(c, far);
  EXPECT_LT(c - far, 24000);
  EXPECT_EQ(c % 24000, 0);
  EXPECT_EQ(ArrPosOfTicks(ArrTicksOfPos(c, 12000, 48000), 12000, 48000), c);
}

TEST(ArrDraw, FaderLawFillsTheRowAtUnity) {
  for (int logAxis : {0, 1}) {
    EXPECT_EQ(GainToPixels(32768, 32768, 20, logAxis), 20);
    EXPECT_EQ(GainToPixels(0, 32768, 20, logAxis), 0);
    EXPECT_EQ(PixelsToGain(20, 20, 32768, logAxis), 32768);
    EXPECT_EQ(PixelsToGain(0, 20, 32768, logAxis), 0);
  }
  EXPECT_EQ(GainToPixels(16384, 32768, 20, 0), 10);
  // Log: half gain (-6 dB) stands well above half the height, and the way
  // back lands near it.
  const int32_t h = GainToPixels(16384, 32768, 100, 1);
  EXPECT_GT(h, 50);
  EXPECT_NEAR(PixelsToGain(h, 100, 32768, 1), 16384, 600);
}

TEST(CseTools, SetsDeriveTheirEdgeEntriesAndParseTheirIniText) {
  // The built-in sets are consistent with their own derivation, except the
  // set of other kinds, whose built-in entries 12 and 16 are 43 although
  // its zones 0 and 8 hold 44 (kept as built in until the set is edited).
  for (int k : {0, 1, 3, 4, 5}) {
    int32_t copy[kCseUserEntries];
    std::copy(kCseDefaultTools[k], kCseDefaultTools[k] + kCseUserEntries, copy);
    CseNormalize(k, copy);
    EXPECT_TRUE(std::equal(CseTools[k], CseTools[k] + kCseEntries, kCseDefaultTools[k])) << k;
  }
  int32_t ids[kCseUserEntries];
  CseParseSet(" 22 0x2C 3,99 -4", ids);
  const int32_t want[kCseUserEntries] = {22, 44, 3, 48, 0, 43, 43, 43, 43, 43, 43, 43};
  EXPECT_TRUE(std::equal(ids, ids + kCseUserEntries, want));
  // The ini file's number syntax: a leading zero is decimal, not octal;
  // text with no number ends the list.
  CseParseSet("010 0x10 09 z 5", ids);
  const int32_t syntax[kCseUserEntries] = {10, 16, 9, 43, 43, 43, 43, 43, 43, 43, 43, 43};
  EXPECT_TRUE(std::equal(ids, ids + kCseUserEntries, syntax));
  CseParseSet(" 22 0x2C 3,99 -4", ids);
  CseNormalize(0, ids);
  EXPECT_EQ(CseTools[0][12], 22);
  EXPECT_EQ(CseTools[0][13], 44);
  EXPECT_EQ(CseTools[0][14], 43);
  char text[80];
  CseFormatSet(ids, text, sizeof text);
  EXPECT_STREQ(text, "22 44 3 48 0 43 43 43 43 43 43 43");
  CseNormalize(0, kCseDefaultTools[0]);
  EXPECT_EQ(CseSetOf(3, 0), 0);
  EXPECT_EQ(CseSetOf(20, 1), 4);
  EXPECT_EQ(CseSetOf(21, 1), 5);
}

TEST(CseTools, ZonesFromTheEdgesAndTheRowLine) {
  struct {
    int32_t fromStart, toEnd, line, rowHeight, zone;
  } const cases[] = {
      {4, 100, 0, 17, 0},   {4, 100, 5, 17, 1},  {4, 100, 10, 17, 2}, {4, 100, 16, 17, 3},
      {50, 5, 0, 17, 8},    {50, 5, 13, 17, 11}, {50, 50, 8, 17, 6},  {5, 6, 4, 17, 5},
      // Rows under 13 pixels have only the halves.
      {4, 100, 0, 12, 1},   {50, 50, 11, 12, 6}, {50, 3, 0, 12, 9},
      // Tall rows: the edge strips are Vzoom / 8 high.
      {50, 50, 10, 80, 5}, {50, 50, 9, 80, 4},   {50, 50, 70, 80, 7}, {50, 50, 72, 80, 7}, {50, 50, 73, 80, 7},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ArrCseZoneOf(c.fromStart, c.toEnd, c.line, c.rowHeight), c.zone)
        << c.fromStart << " " << c.toEnd << " " << c.line << " " << c.rowHeight;
}

TEST(CseTools, ToolClassesAndCursors) {
  for (int t : {15, 16, 17, 28, 29, 36, 41}) EXPECT_EQ(ArrToolSelectsPart(t), 0) << t;
  for (int t : {1, 3, 22, 43, 44}) EXPECT_EQ(ArrToolSelectsPart(t), 1) << t;
  EXPECT_EQ(ArrToolDrawsSelection(3), 1);
  EXPECT_EQ(ArrToolDrawsSelection(9), 0);
  EXPECT_EQ(ArrToolCursorId(3, 4), 412);
  EXPECT_EQ(ArrToolCursorId(22, 2), 410);
  EXPECT_EQ(ArrToolCursorId(22, 9), 409);
  EXPECT_EQ(ArrToolCursorId(22, 13), 410);
  EXPECT_EQ(ArrToolCursorId(23, 0), kCurSizeWE);
  EXPECT_EQ(ArrToolCursorId(27, 10), kCurSizeNWSE);
  EXPECT_EQ(ArrToolCursorId(27, 9), kCurSizeNESW);
  EXPECT_EQ(ArrToolCursorId(27, 5), kCurSizeNS);
  EXPECT_EQ(ArrToolCursorId(46, 0), 421);
  EXPECT_EQ(ArrToolCursorId(47, 0), kCurArrow);
  EXPECT_EQ(ArrToolCursorId(0, 0), kCurArrow);
}

// Peaks straight from samples: the highest and lowest of each column.
std::vector<int16_t> PeaksOf(const std::vector<int16_t>& s, int64_t start, int32_t columns, int64_t length) {
  std::vector<int16_t> out;
  for (int32_t i = 0; i < columns; ++i) {
    const int64_t a = start + length * i / columns, b = start + length * (i + 1) / columns;
    int16_t hi = INT16_MIN, lo = INT16_MAX;
    for (int64_t k = a; k < b; ++k) hi = std::max(hi, s[k]), lo = std::min(lo, s[k]);
    out.push_back(hi);
    out.push_back(lo);
  }
  return out;
}

TEST(WavePoints, OverviewPointsMatchPointsFromTheSamples) {
  // A Take of 64 blocks: a different ramp and spike in every block.
  std::vector<int16_t> samples(64 * 512);
  for (size_t i = 0; i < samples.size(); ++i)
    samples[i] = static_cast<int16_t>((i % 512 == (i / 512) * 7 % 512) ? 20000 - int(i / 512) * 100
                                                                        : int(i % 97) - 48 - int(i / 512));
  std::vector<WvfEntry> entries(64);
  for (size_t b = 0; b < 64; ++b) {
    const auto first = samples.begin() + 512 * b;
    entries[b] = {*std::max_element(first, first + 512), *std::min_element(first, first + 512)};
  }
  // Exactly one block per column, and several whole blocks per column.
  for (const auto& c : {std::pair<int64_t, int32_t>{512 * 3, 20}, {512 * 4, 10}, {0, 16}}) {
    const int64_t length = c.second == 16 ? 64 * 512 : int64_t{c.second} * 512 * (c.first == 512 * 4 ? 6 : 1);
    std::vector<int16_t> got(2 * c.second);
    ASSERT_EQ(WvfPointsFromEntries(entries.data(), 64, c.first, c.second, length, got.data()), 1);
    EXPECT_EQ(got, PeaksOf(samples, c.first, c.second, length)) << c.first << " " << c.second;
  }
  // Fewer samples than columns x 512: interpolated between the block before
  // and the block of the column's first sample; a zero pair before block 0.
  std::vector<int16_t> got(2 * 4);
  ASSERT_EQ(WvfPointsFromEntries(entries.data(), 64, 0, 4, 512, got.data()), 1);
  EXPECT_EQ(got[0], 0);
  EXPECT_EQ(got[2], static_cast<int16_t>(entries[0].max * 128 / 512));
  ASSERT_EQ(WvfPointsFromEntries(entries.data(), 64, 1024 + 256, 1, 256, got.data()), 1);
  EXPECT_EQ(got[0], static_cast<int16_t>(entries[1].max + (entries[2].max - entries[1].max) * 256 / 512));
  // Past the overview's end the points are zero; no columns, nothing.
  ASSERT_EQ(WvfPointsFromEntries(entries.data(), 64, 70 * 512, 2, 1024, got.data()), 1);
  EXPECT_EQ(got[0], 0);
  EXPECT_EQ(WvfPointsFromEntries(entries.data(), 64, 0, 0, 1024, got.data()), 0);
  // The blocks a request reads: one before the start only when interpolating.
  EXPECT_EQ(WvfBlocksFor(1024, 4, 2048).first, 2);
  EXPECT_EQ(WvfBlocksFor(1024, 4, 1024).first, 1);
  EXPECT_EQ(WvfBlocksFor(0, 4, 1024).first, 0);
}

TEST(RecTracks, GroupsAreAssignedTakenOverAndDeleted) {
  ArrRec* arr = ArrNew(nullptr);
  ASSERT_NE(arr, nullptr);
  // Stereo Audio 3-4 on tracks 4 and 5: linked down, consecutive.
  ASSERT_EQ(ArrTrkAssignGroup(arr, 4, 3, 3, 2), 0u);
  EXPECT_EQ(arr->Trk[4].RecTrack, 3u);
  EXPECT_EQ(arr->Trk[5].RecTrack, 4u);
  EXPECT_EQ(arr->Trk[4].Flags & (kTrkLinkNext | kTrkLinkPrev), kTrkLinkNext);
  EXPECT_EQ(arr->Trk[5].Flags & (kTrkLinkNext | kTrkLinkPrev), kTrkLinkPrev);
  uint32_t head = 0;
  EXPECT_EQ(ArrTrkGroupExtent(arr, 5, &head), 2u);
  EXPECT_EQ(head, 4u);
  // Mono Audio 4 on track 10: it leaves tracks 4-5, the whole group with it.
  ASSERT_EQ(ArrTrkAssignGroup(arr, 10, 3, 4, 1), 0u);
  EXPECT_EQ(arr->Trk[4].RecTrack, 0u);
  EXPECT_EQ(arr->Trk[5].RecTrack, 0u);
  EXPECT_EQ(arr->Trk[10].RecTrack, 4u);
  // Automation 4 is another record track: Audio 4 stays.
  ASSERT_EQ(ArrTrkAssignGroup(arr, 11, 20, 4, 1), 0u);
  EXPECT_EQ(arr->Trk[10].RecTrack, 4u);
  // Refusals change nothing: past track 255, past record track 128, width 3.
  EXPECT_EQ(ArrTrkAssignGroup(arr, 250, 3, 1, 8), 185u);
  EXPECT_EQ(ArrTrkAssignGroup(arr, 0, 3, 125, 8), 185u);
  EXPECT_EQ(ArrTrkAssignGroup(arr, 0, 3, 1, 3), 185u);
  EXPECT_EQ(arr->Trk[250].RecTrack, 0u);
  // All: 4-channel groups from track 240 run out at track 255.
  EXPECT_EQ(ArrTrkAssignAll(arr, 240, 3, 1, 4), 4u);
  EXPECT_EQ(arr->Trk[255].RecTrack, 16u);
  // Delete: a selected member takes its whole group.
  arr->Trk[241].Flags |= kTrkSelected;
  EXPECT_EQ(ArrTrkDeleteSelected(arr), 4u);
  EXPECT_EQ(arr->Trk[240].RecTrack, 0u);
  EXPECT_EQ(arr->Trk[244].RecTrack, 5u);
  ArrHeap.Free(arr);
}

}  // namespace
