// Drawing of the arrange Part area into a memory bitmap, read at chosen
// pixels: automation curves from the mixer's log (through a stand-in of
// the mixer's drawing seam), waveforms from a Take's sample peaks when it
// has no overview, the musical ruler through a tempo and meter map, the
// punch range, and the ruler's ticks in another window's band.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "mixer/arrange/arrdrawseams.h"
#include "mixer/arrange/arrview.h"
#include "mixer/arrange/arrzoom.h"
#include "mixer/arrange/win32/arrpaint.h"
#include "mixer/arrange/win32/arrwnd.h"
#include "mixer/model/arr.h"
#include "mixer/model/arrheap.h"
#include "mixer/model/marker.h"
#include "mixer/model/settings.h"
#include "mixer/model/take.h"
#include "mixer/model/tempomap.h"
#include "mixer/model/trkcolors.h"
#include "mixer/shell/win32/settings.h"
#include "mixer/arrange/win32/tests/arrwnd_fixture.h"
#include "tests/win32/shot.h"

namespace {

constexpr int kW = 800, kH = 300;

struct Canvas : arrwnd_test::Bitmap {
  Canvas() : Bitmap(kW, kH) {}
};

// The mixer's automation log as the seam gives it: knob 2 of one Take
// holds three events (Take locations, values in quarters of the scale).
struct FakeLog {
  uint32_t take = 0;
  int32_t knob = -1;
  int calls = 0;
  int32_t askedMax = 0;
} fakeLog;
constexpr struct {
  int32_t location, quarters;
} kEvents[] = {{1000, 1}, {50000, 3}, {90000, 2}};

int FakeAutomEvents(uint32_t take, int32_t knob, int32_t from, int32_t to, int32_t scale, ArrAutomPoint* out,
                    int max) {
  ++fakeLog.calls;
  fakeLog.knob = knob;
  fakeLog.askedMax = max;
  if (take != fakeLog.take || knob != 2) return 0;
  int n = 0, before = -1;
  for (int i = 0; i < 3; ++i)
    if (kEvents[i].location < from) before = i;
  if (before >= 0 && n < max) out[n++] = {kEvents[before].location, kEvents[before].quarters * scale / 4};
  for (const auto& e : kEvents)
    if (e.location >= from && e.location < to && n < max) out[n++] = {e.location, e.quarters * scale / 4};
  return n;
}

// The Take's samples: +-8000, with full scale over samples [51200, 51712).
struct FakePeaks {
  int calls = 0;
} fakePeaks;
int FakeSamplePeaks(TakeRec*, uint32_t count, uint32_t step, uint32_t position, int16_t* out) {
  ++fakePeaks.calls;
  for (uint32_t k = 0; k < count; ++k) {
    const uint64_t a = uint64_t{position} + uint64_t{k} * step, b = a + step;
    const bool spike = a < 51712 && b > 51200;
    out[2 * k] = spike ? 32767 : 8000;
    out[2 * k + 1] = spike ? -32768 : -8000;
  }
  return 1;
}

class ArrPaintTest : public ::testing::Test {
 protected:
  int32_t savedTimebar = 0, savedNames = 0;
  void SetUp() override {
    savedTimebar = RadioGroups[kGrpTimebar].value;
    savedNames = ShowNameInWave;
    arrwnd_test::OpenArrangement();
    ShowPartVol = 0;
    ShowNameInWave = 1;
    FillWvForm = 1;
    RadioGroups[kGrpTimebar].value = 40518;
    arrwnd_test::ResetView(37, 0, kW, kH);
    ArrSetDrawSeams(ArrDrawSeams{});
    fakeLog = FakeLog{};
    fakePeaks = FakePeaks{};
  }
  void TearDown() override {
    RadioGroups[kGrpTimebar].value = savedTimebar;
    ShowNameInWave = savedNames;
    ArrSetDrawSeams(ArrDrawSeams{});
    if (TempoMap) TempoMapFree(TempoMap);
    TempoMap = nullptr;
    arrwnd_test::CloseArrangement();
  }

  uint32_t Take(uint32_t samples, uint32_t kind) { return arrwnd_test::MakeTake("P", samples, kind); }

  uint32_t Add(uint32_t track, int32_t start, int32_t length, uint32_t take, uint16_t kind, int32_t channel) {
    const std::string name = "P" + std::to_string(track);
    return arrwnd_test::AddPart(track, start, length, take, kind, channel, name.c_str());
  }

  int X(int32_t p) const { return ArrXOfPos(ArrView(), p); }
  int RowY(int track, int into) const { return ArrRowTop(ArrView(), track) + into; }
};

TEST_F(ArrPaintTest, AutomationCurveStepsThroughTheShownKnobsEvents) {
  fakeLog.take = Take(200000, 20);
  const uint32_t slot = Add(0, 20000, 150000, fakeLog.take, 20, 2);
  ArrPart(CurArr, slot)->AutoMapValue = 2;
  const ArrViewRec& v = ArrView();
  // The curve's band: below the name band, y0 + 16 to y1 - 4.
  const int bottom = RowY(0, v.Vzoom - 4), h = v.Vzoom - 20;
  auto y = [&](int quarters) { return bottom - quarters * h / 4; };
  const COLORREF ink = 0x000080, fill = CautomTrkColors[1];
  {
    Canvas c;  // without the mixer: the box alone
    ArrPaintPartArea(c.dc, kW, kH);
    EXPECT_EQ(c.At(X(20000 + 30000), y(1)), fill);
  }
  ArrDrawSeams seams;
  seams.automEvents = FakeAutomEvents;
  ArrSetDrawSeams(seams);
  Canvas c;
  ArrPaintPartArea(c.dc, kW, kH);
  c.Save("arrpaint_autom");
  EXPECT_EQ(fakeLog.knob, 2);
  // Level steps: a quarter until 50000, three quarters until 90000, then
  // half to the Part's end; nothing past the end.
  const struct {
    int32_t pos;
    int quarters;
  } level[] = {{20000 + 10000, 1}, {20000 + 45000, 1}, {20000 + 60000, 3}, {20000 + 85000, 3},
               {20000 + 100000, 2}, {20000 + 140000, 2}};
  for (const auto& l : level) {
    SCOPED_TRACE(l.pos);
    EXPECT_EQ(c.At(X(l.pos), y(l.quarters)), ink);
    EXPECT_EQ(c.At(X(l.pos), y(l.quarters) - 3), fill);
  }
  EXPECT_NE(c.At(X(20000 + 160000), y(2)), ink);
  // The step at 50000 runs vertically, and the event wears its cross.
  const int xe = X(20000 + 50000);
  EXPECT_EQ(c.At(xe, (y(1) + y(3)) / 2), ink);
  EXPECT_EQ(c.At(xe - 2, y(3)), ink);
  EXPECT_EQ(c.At(xe + 2, y(3)), ink);
  EXPECT_EQ(c.At(xe, y(3) - 2), ink);

  // Scrolled so that the view starts inside the Part: the event before the
  // view's first column starts the line there.
  ArrView().Origin = 44100 + 20000 + 60000;
  Canvas s;
  ArrPaintPartArea(s.dc, kW, kH);
  EXPECT_EQ(s.At(2, y(3)), ink);
}

TEST_F(ArrPaintTest, WaveformFromSamplePeaksWhenTheTakeHasNoOverview) {
  Add(0, 0, 200000, Take(500000, 3), 3, 1);
  const ArrViewRec& v = ArrView();
  const int centre = RowY(0, v.Vzoom / 2), half = v.Vzoom / 2 - 1;
  {
    Canvas c;  // no overview and no device: no waveform
    ArrPaintPartArea(c.dc, kW, kH);
    EXPECT_EQ(c.At(X(10000), centre - 3), TrkColors[0]);
  }
  ArrDrawSeams seams;
  seams.samplePeaks = FakeSamplePeaks;
  ArrSetDrawSeams(seams);
  ArrView().SamplesDrawn = 0;
  Canvas c;
  ArrPaintPartArea(c.dc, kW, kH);
  c.Save("arrpaint_samples");
  EXPECT_GT(fakePeaks.calls, 0);
  EXPECT_EQ(ArrView().SamplesDrawn, 1);
  // +-8000 reaches 4 of the 17 pixels of half-height; the spike's column
  // reaches the whole half-height.
  EXPECT_EQ(c.At(X(10000), centre - 3), 0u);
  EXPECT_EQ(c.At(X(10000), centre - 6), TrkColors[0]);
  bool peak = false;
  for (int x = X(51200) - 1; x <= X(51200) + 1; ++x) peak = peak || c.At(x, centre - half) == 0;
  EXPECT_TRUE(peak);
}

TEST_F(ArrPaintTest, BarsRulerFollowsTheTempoMap) {
  // 120 BPM: bar 2 starts at 88200 in 4/4; in 3/4 at 66150. Labelled
  // (bar) ticks run from the top of the ruler, beat ticks from its middle.
  const COLORREF dark = GetSysColor(COLOR_3DDKSHADOW);
  auto bandTop = [&](const Canvas& c, int32_t pos) { return c.At(X(pos), 2) == dark; };
  auto tick = [&](const Canvas& c, int32_t pos) { return c.At(X(pos), kArrRulerHeight - 3) == dark; };
  Canvas fixed;
  ArrDrawBbtRuler(fixed.dc, ArrBbtGrid(), 0);
  EXPECT_TRUE(bandTop(fixed, 88200));
  EXPECT_FALSE(bandTop(fixed, 66150));
  EXPECT_TRUE(tick(fixed, 66150));  // beat 4 of bar 1

  TempoMap = TempoMapNew();
  ASSERT_NE(TempoMap, nullptr);
  TempoMapSetPpq(TempoMap, 480);
  TempoMapAddTempo(TempoMap, 0, 500000);
  TempoMapAddMeter(TempoMap, 0, 3, 4);
  // From bar 3 (tick 2880) on, 60 BPM: its beats are a second apart.
  TempoMapAddTempo(TempoMap, 2880, 1000000);
  ASSERT_TRUE(TempoMapFinish(TempoMap, 12000, 4, 4));
  Canvas mapped;
  ArrDrawBbtRuler(mapped.dc, ArrBbtGrid(), 0);
  mapped.Save("arrpaint_tempomap_ruler");
  EXPECT_TRUE(bandTop(mapped, 66150));
  EXPECT_FALSE(bandTop(mapped, 88200));
  EXPECT_TRUE(bandTop(mapped, 132300));           // bar 3
  EXPECT_TRUE(tick(mapped, 132300 + 44100));      // bar 3, beat 2
  EXPECT_FALSE(tick(mapped, 132300 + 22050));     // no beat half a second in
  EXPECT_TRUE(bandTop(mapped, 132300 + 3 * 44100));  // bar 4
}

TEST_F(ArrPaintTest, PunchRangeIsHatchedOnlyWhenAsked) {
  Locs().LeftLoc = 200 * 512 - 44100;
  Locs().RightLoc = 500 * 512 - 44100;
  Canvas plain, punch;
  ArrDrawTcRuler(plain.dc, ArrTcGrid(), 0);
  ArrDrawTcRuler(punch.dc, ArrTcGrid(), 1);
  punch.Save("arrpaint_punch");
  // Inside the range the hatching changes many pixels of a row; outside it
  // the two rulers are the same.
  const int y = 5;
  int changed = 0;
  for (int x = 203; x < 497; ++x) changed += punch.At(x, y) != plain.At(x, y);
  EXPECT_GT(changed, 30);
  for (int x = 0; x < kW; ++x) {
    if (x >= 199 && x <= 501) continue;
    ASSERT_EQ(punch.At(x, y), plain.At(x, y)) << x;
  }
}

TEST_F(ArrPaintTest, RulerTicksInABandOfAnotherWindow) {
  const COLORREF dark = GetSysColor(COLOR_3DDKSHADOW);
  Canvas c;
  const RECT all = {0, 0, kW, kH};
  FillRect(c.dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  const RECT band = {10, 100, 10 + 600, 120};
  ArrDrawBbtTicks(c.dc, ArrBbtGrid(), band);
  // Bar 2 over the whole band, a beat over its lower half, shifted by the
  // band's left; nothing outside the band.
  const int bar = 10 + X(88200), beat = 10 + X(66150);
  EXPECT_EQ(c.At(bar, 101), dark);
  EXPECT_EQ(c.At(bar, 119), dark);
  EXPECT_NE(c.At(beat, 101), dark);
  EXPECT_EQ(c.At(beat, 119), dark);
  EXPECT_NE(c.At(bar, 99), dark);
  EXPECT_EQ(c.Count(610, kW, 119, dark), 0);
  // Time code: a tick each second in the band's lower half at least.
  Canvas t;
  FillRect(t.dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  ArrDrawTcTicks(t.dc, ArrTcGrid(), band);
  EXPECT_EQ(t.At(10 + X(44100), 119), dark);
}

}  // namespace
