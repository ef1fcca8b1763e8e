// Drawing of the arrange Part area into a memory bitmap, read at chosen
// pixels: automation curves from the mixer's log (through a stand-in of
// the mixer's drawing seam), waveforms from a Take's sample peaks at close
// zoom and when the devices allow it, the musical ruler through a tempo and
// meter map, the punch range, the ruler's ticks in another window's band,
// the locators' patterned lines and flags, and the record button lit by the
// mixer's record state.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "mixer/arrange/arrdrawseams.h"
#include "mixer/arrange/arrview.h"
#include "mixer/arrange/services.h"
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
#include "mixer/model/recready.h"
#include "mixer/shell/win32/settings.h"
#include "mixer/units/services.h"
#include "mixer/units/transport.h"
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

// The native devices as the seam reports them: prepared or not, and
// whether they become idle within the wait, which returns at once.
struct FakeDevices {
  int prepared = 0;
  int idle = 1;
  int waits = 0;
  uint32_t waitedMs = 0;
} fakeDevices;
int FakePrepared() { return fakeDevices.prepared; }
int FakeWaitIdle(uint32_t ms) {
  ++fakeDevices.waits;
  fakeDevices.waitedMs = ms;
  return fakeDevices.idle;
}

int mixerRecState = 0;
int FakeMixRecState() { return mixerRecState; }

// The transport's lamps, which its state is read from, as a running
// transport sets them: play alone, or play and record.
void SetTransportLamps(bool play, bool record) {
  auto& lamps = const_cast<TransportLamps&>(TransportLampState());
  lamps.play = play;
  lamps.record = record;
}

class ArrPaintTest : public ::testing::Test {
 protected:
  int32_t savedTimebar = 0, savedNames = 0, savedSyncIn = 0;
  void SetUp() override {
    savedSyncIn = RadioGroups[kGrpSyncIn].value;
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
    fakeDevices = FakeDevices{};
    mixerRecState = 0;
  }
  void TearDown() override {
    TransportReset();
    ArrFreeLocatorImages();
    RecTrkState() = RecTrkStateTable{};
    RadioGroups[kGrpSyncIn].value = savedSyncIn;
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

// The close view (128 samples per pixel) over [-44100, 58300).
void CloseView() {
  ArrViewRec& v = ArrView();
  v.Hzoom = 128;
  v.CloseZoom = 1;
  ArrResizeCalc(v, kW, kH);
}

TEST_F(ArrPaintTest, CloseViewDrawsWaveformsFromSamplesWhenTheDevicesAllowIt) {
  Add(0, 0, 200000, Take(500000, 3), 3, 1);
  Add(1, 0, 200000, Take(500000, 3), 3, 1);
  ArrDrawSeams seams;
  seams.samplePeaks = FakeSamplePeaks;
  seams.devicesPrepared = FakePrepared;
  seams.waitDevicesIdle = FakeWaitIdle;
  ArrSetDrawSeams(seams);
  CloseView();
  const ArrViewRec& v = ArrView();
  const int centre = RowY(0, v.Vzoom / 2), half = v.Vzoom / 2 - 1;
  auto drawn = [&](const Canvas& c) { return c.At(X(10000), centre - 3) == 0u; };
  // Prepared devices let the samples be read at once, but only while the
  // units run on their own clock; else the devices must become idle within
  // 5 s, asked once for the whole paint.
  const struct {
    int prepared, idle;
    int32_t syncIn;
    bool waveform;
    int waits;
  } cases[] = {{0, 1, 40501, true, 1}, {0, 0, 40501, false, 1}, {1, 0, 40501, true, 0},
               {1, 0, 40502, false, 1}, {1, 1, 40502, true, 1}};
  for (const auto& k : cases) {
    SCOPED_TRACE(testing::Message() << k.prepared << k.idle << " " << k.syncIn);
    fakeDevices = FakeDevices{k.prepared, k.idle};
    fakePeaks = FakePeaks{};
    RadioGroups[kGrpSyncIn].value = k.syncIn;
    ArrView().SamplesDrawn = 0;
    Canvas c;
    ArrPaintPartArea(c.dc, kW, kH);
    EXPECT_EQ(drawn(c), k.waveform);
    EXPECT_EQ(fakeDevices.waits, k.waits);
    if (k.waits) {
      EXPECT_EQ(fakeDevices.waitedMs, 5000u);
    }
    EXPECT_EQ(ArrView().SamplesDrawn, k.waveform ? 1 : 0);
    EXPECT_EQ(fakePeaks.calls > 0, k.waveform);
    EXPECT_EQ(ArrView().WavesDeferred, 0);
  }
  // The picture: +-8000 reaches 4 of the 17 pixels of half-height; the
  // spike's columns reach the whole half-height.
  fakeDevices = FakeDevices{};
  Canvas c;
  ArrPaintPartArea(c.dc, kW, kH);
  c.Save("arrpaint_samples");
  EXPECT_EQ(c.At(X(10000), centre - 3), 0u);
  EXPECT_EQ(c.At(X(10000), centre - 6), TrkColors[0]);
  EXPECT_EQ(c.At(X(51500), centre - half), 0u);
  EXPECT_EQ(c.At(X(49000), centre - half), TrkColors[0]);
}

TEST_F(ArrPaintTest, FilledWaveformHasItsGainEnvelopeOutlinedAgain) {
  // A flat and a falling gain envelope under the same waveform, whose spike
  // at [51200, 51712) reaches beyond both envelopes. Painted once without
  // the waveform (no device reads samples) and once with it: in the spike's
  // columns the waveform covers the envelope, then the envelope's edge is
  // drawn again over it, in the channel colour, and the box's side edges
  // over the envelope's own sides.
  const uint32_t take = Take(500000, 3);
  const uint32_t flat = Add(0, 0, 56000, take, 3, 1), ramp = Add(1, 0, 56000, take, 3, 1);
  ArrPart(CurArr, flat)->GainStart = ArrPart(CurArr, flat)->GainEnd = 16384;
  ArrPart(CurArr, ramp)->GainEnd = 4000;
  ShowPartVol = 1;
  CloseView();
  const ArrViewRec& v = ArrView();
  Canvas bare, waves;
  ArrPaintPartArea(bare.dc, kW, kH);
  ArrDrawSeams seams;
  seams.samplePeaks = FakeSamplePeaks;
  ArrSetDrawSeams(seams);
  ArrPaintPartArea(waves.dc, kW, kH);
  waves.Save("arrpaint_outline");
  const COLORREF fill = TrkColors[0];
  for (int track = 0; track < 2; ++track) {
    const int centre = RowY(track, v.Vzoom / 2);
    // The envelope's top and bottom rows in a column of the unwaved picture.
    auto edge = [&](int x, int dir) {
      int y = centre;
      while (bare.At(x, y + dir) == fill) y += dir;
      return y;
    };
    for (int x = X(51200) + 1; x < X(51712) - 1; ++x) {
      SCOPED_TRACE(testing::Message() << "track " << track << " x " << x);
      for (const int dir : {-1, 1}) {
        const int y = edge(x, dir);
        ASSERT_GT(std::abs(y - centre), 2);
        ASSERT_LT(std::abs(y - centre), v.Vzoom / 2 - 2);  // the spike reaches past it
        EXPECT_EQ(waves.At(x, y), fill);
        EXPECT_EQ(waves.At(x, y + dir), 0u);
        EXPECT_EQ(waves.At(x, y - dir), 0u);
      }
    }
    // Beside the spike the waveform stays inside the envelope.
    EXPECT_EQ(waves.At(X(40000), centre - 6), fill);
  }
  // The flat envelope's sides lie on the box's edges, which stay black.
  const int top = RowY(0, v.Vzoom / 2) - 1;
  for (const int x : {X(0), X(56000) - 1}) {
    EXPECT_EQ(bare.At(x, top), 0u);
    EXPECT_EQ(waves.At(x, top), 0u);
  }
  ShowPartVol = 0;
}

TEST_F(ArrPaintTest, FarViewOrARunningTransportDrawsOnlyOverviewsAndOwesARepaint) {
  // Without an overview nothing is drawn, and the samples are not read.
  const uint32_t slot = Add(0, 0, 200000, Take(500000, 3), 3, 1);
  ArrDrawSeams seams;
  seams.samplePeaks = FakeSamplePeaks;
  seams.waitDevicesIdle = FakeWaitIdle;
  ArrSetDrawSeams(seams);
  const ArrViewRec& v = ArrView();
  const int centre = RowY(0, v.Vzoom / 2);
  {
    Canvas c;  // far view, stopped
    ArrPaintPartArea(c.dc, kW, kH);
    EXPECT_EQ(c.At(X(10000), centre - 3), TrkColors[0]);
    EXPECT_EQ(fakePeaks.calls + fakeDevices.waits, 0);
    EXPECT_EQ(ArrView().WavesDeferred, 1);
  }
  // The far view owes nothing to the samples: no repaint, the flag stays.
  ArrRepaintDeferredWaves();
  EXPECT_EQ(ArrView().WavesDeferred, 1);
  CloseView();
  for (const bool record : {false, true}) {
    SetTransportLamps(true, record);
    ASSERT_EQ(TransportState(), record ? kTransportRecording : kTransportPlaying);
    Canvas c;
    ArrPaintPartArea(c.dc, kW, kH);
    EXPECT_EQ(c.At(X(10000), centre - 3), TrkColors[0]);
    EXPECT_EQ(fakePeaks.calls + fakeDevices.waits, 0);
    EXPECT_EQ(ArrView().WavesDeferred, 1);
    ArrRepaintDeferredWaves();  // not while the transport runs
    EXPECT_EQ(ArrView().WavesDeferred, 1);
  }
  // Stopped at close zoom: the repaint is due, and the flag is cleared.
  TransportReset();
  ArrRepaintDeferredWaves();
  EXPECT_EQ(ArrView().WavesDeferred, 0);
  // A Part with a negative channel draws no waveform at all.
  ArrPart(CurArr, slot)->PlayChannel = -1;
  Canvas c;
  ArrPaintPartArea(c.dc, kW, kH);
  EXPECT_EQ(fakePeaks.calls, 0);
}

TEST_F(ArrPaintTest, RecordButtonIsRedWhileTheMixerRecords) {
  CurArr->Trk[0].RecTrack = 1;
  CurArr->Trk[0].RecKind = kRecKindAudio;
  RecTrkSetState(kRecKindAudio, 1, kRecTrkReady);
  ArrDrawSeams seams;
  seams.mixRecState = FakeMixRecState;
  ArrSetDrawSeams(seams);
  // The armed button's dot: sunken, one pixel right of and below x 34 and
  // the button's middle.
  const int y0 = RowY(0, 0), dotX = 35, dotY = (2 * y0 + 11) / 2 + 1;
  const struct {
    int mixer;
    bool transportRecords;
    COLORREF dot;
  } cases[] = {{2, false, RGB(255, 0, 0)}, {0, true, 0}, {1, false, 0}, {2, true, RGB(255, 0, 0)}};
  for (const auto& k : cases) {
    SCOPED_TRACE(testing::Message() << k.mixer << k.transportRecords);
    mixerRecState = k.mixer;
    SetTransportLamps(k.transportRecords, k.transportRecords);
    Canvas c;
    ArrPaintColumn(c.dc, kArrColumnWidth, kH);
    EXPECT_EQ(c.At(dotX, dotY), k.dot);
  }
  // Present but not armed: the dot in the button-shadow colour whatever
  // the mixer does.
  RecTrkSetState(kRecKindAudio, 1, kRecTrkSafe);
  mixerRecState = 2;
  Canvas c;
  ArrPaintColumn(c.dc, kArrColumnWidth, kH);
  EXPECT_EQ(c.At(34, dotY - 1), GetSysColor(COLOR_BTNSHADOW));
}

// The ink each locator inverts with (now, left, right): white becomes blue,
// green and red.
constexpr COLORREF kLocInk[3] = {0x00FFFF, 0xFF00FF, 0xFFFF00};

TEST_F(ArrPaintTest, LocatorFlagsAndLinesInvertWithTheirPatterns) {
  ASSERT_EQ(ArrLoadLocatorImages(GetModuleHandleA(nullptr)), 1);
  arrwnd_test::ResetView(37, 1, kW, kH);
  // Every locator out of view: the picture without them.
  Locs().NowLoc = Locs().LeftLoc = Locs().RightLoc = 2000000000;
  Canvas c;
  ArrPaintPartArea(c.dc, kW, kH);
  std::vector<COLORREF> base(kW * kH);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) base[y * kW + x] = c.At(x, y);
  auto same = [&](int x0, int x1) {
    for (int y = 0; y < kH; ++y)
      for (int x = x0; x < x1; ++x)
        if (c.At(x, y) != base[y * kW + x]) return false;
    return true;
  };
  // Rows from the ruler's foot down whose pixel in column x is inverted by ink.
  auto inverted = [&](int x, COLORREF ink) {
    int n = 0;
    for (int y = kArrRulerHeight; y < kH; ++y) n += c.At(x, y) == (base[y * kW + x] ^ ink);
    return n;
  };
  const int lines = kH - kArrRulerHeight;
  int dashes = 0;  // the rows a locator's dashes cover, from the pattern's rows 0-5
  for (int y = kArrRulerHeight; y < kH; ++y) dashes += y % 8 < 6;
  for (int k = 0; k < 3; ++k) {
    SCOPED_TRACE(k);
    const int x = 300 + 100 * k;
    EXPECT_EQ(ArrDrawLocFlag(c.dc, k, ArrPosOfX(ArrView(), x), 0), 1);
    // The flag: a wedge 15 pixels wide at y 8 narrowing to one at y 15.
    for (int dy = 0; dy < 8; ++dy)
      for (int dx = -8; dx <= 8; ++dx) {
        const COLORREF was = base[(8 + dy) * kW + x + dx];
        EXPECT_EQ(c.At(x + dx, 8 + dy), std::abs(dx) <= 7 - dy ? was ^ kLocInk[k] : was) << dx << "," << dy;
      }
    // The line: solid for the current position, dashed six of every eight
    // rows for the locators.
    EXPECT_EQ(inverted(x, kLocInk[k]), k == 0 ? lines : dashes);
    EXPECT_EQ(inverted(x, kLocInk[k]) + inverted(x, 0), lines);
    EXPECT_TRUE(same(x + 8, kW));
    // The same column again with the keep flag: nothing drawn; moved: the
    // old flag and line taken away.
    EXPECT_EQ(ArrDrawLocFlag(c.dc, k, ArrPosOfX(ArrView(), x), 1), 1);
    EXPECT_EQ(inverted(x, kLocInk[k]), k == 0 ? lines : dashes);
    EXPECT_EQ(ArrDrawLocFlag(c.dc, k, ArrPosOfX(ArrView(), x + 40), 1), 1);
    EXPECT_EQ(inverted(x, 0), lines);
    // Out of view with the keep flag: taken away, not drawn.
    EXPECT_EQ(ArrDrawLocFlag(c.dc, k, -44100 - 512, 1), 0);
    EXPECT_TRUE(same(0, kW));
  }
  // Over a Part redrawn with its locator lines: inverted over the row and
  // a pixel above and below it, and nowhere else.
  Locs().NowLoc = ArrPosOfX(ArrView(), 300);
  const uint32_t slot = Add(0, 0, 200000, Take(500000, 3), 3, 1);
  ArrDrawPart(reinterpret_cast<DcHandle>(c.dc), CurArr, slot, 0, 0, 0);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) base[y * kW + x] = c.At(x, y);
  ArrDrawPart(reinterpret_cast<DcHandle>(c.dc), CurArr, slot, 0, 1, 0);
  const int y0 = RowY(0, 0);
  for (int y = y0 - 1; y <= y0 + ArrView().Vzoom; ++y) EXPECT_EQ(c.At(300, y), base[y * kW + 300] ^ kLocInk[0]) << y;
  EXPECT_EQ(c.At(300, y0 - 2), base[(y0 - 2) * kW + 300]);
  EXPECT_TRUE(same(0, 300));
  EXPECT_TRUE(same(301, kW));
  // Without the images nothing of the locators is drawn.
  ArrFreeLocatorImages();
  ArrDrawPart(reinterpret_cast<DcHandle>(c.dc), CurArr, slot, 0, 1, 0);
  EXPECT_EQ(ArrDrawLocFlag(c.dc, 0, Locs().NowLoc, 0), 1);
  EXPECT_TRUE(same(0, kW));
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

namespace {

// The rows [top, bottom] of column x holding colour c; {-1, -1} when none.
std::pair<int, int> RowsOf(const Canvas& c, int x, int from, int to, COLORREF colour) {
  std::pair<int, int> r{-1, -1};
  for (int y = from; y <= to; ++y)
    if (c.At(x, y) == colour) r = {r.first < 0 ? y : r.first, y};
  return r;
}

}  // namespace

TEST_F(ArrPaintTest, CrossfadeRegionOnlyAgainstALowerLayerAndNoFadesInLowRows) {
  // Two Audio Parts on channel 4 crossfading over [100000, 120000): the
  // region shows the fades (the fade-in rising from nothing over the
  // default grey at its start) only when the partner lies lower, and in
  // rows too low for envelopes the region keeps the plain box.
  const struct {
    int16_t upperLayer;
    int rowHeight;
    bool fades;
  } cases[] = {{1, 37, true}, {0, 37, false}, {1, 12, false}};
  for (const auto& k : cases) {
    SCOPED_TRACE(testing::Message() << k.upperLayer << " " << k.rowHeight);
    arrwnd_test::CloseArrangement();
    arrwnd_test::OpenArrangement();
    arrwnd_test::ResetView(k.rowHeight, 0, kW, kH);
    const uint32_t a = Add(0, 0, 120000, Take(500000, kTakeAudio), kTakeAudio, 4);
    const uint32_t b = Add(0, 100000, 100000, Take(500000, kTakeAudio), kTakeAudio, 4);
    ArrPart(CurArr, a)->XfadeOutPartner = static_cast<uint16_t>(b);
    ArrPart(CurArr, b)->XfadeInPartner = static_cast<uint16_t>(a);
    ArrPart(CurArr, b)->Layer = k.upperLayer;
    ArrRelinkOverlaps(CurArr);
    Canvas c;
    ArrPaintPartArea(c.dc, kW, kH);
    const int low = RowY(0, k.rowHeight - 3);
    EXPECT_EQ(c.At(X(100000) + 2, low), k.fades ? 0xC0C0C0u : TrkColors[3]);
    EXPECT_EQ(c.At(X(160000), low), TrkColors[3]);
    // Redrawing the lower Part redraws the upper one's region in the lower
    // one's selection, and nothing beyond the region.
    ArrPart(CurArr, a)->Flags |= kPartSelected;
    ArrDrawPart(reinterpret_cast<DcHandle>(c.dc), CurArr, a, 0, 0, 1);
    if (k.upperLayer == 1) {
      EXPECT_EQ(c.At(X(118000), RowY(0, k.rowHeight / 2 + 3)), 0x808080u);
    }
    EXPECT_EQ(c.At(X(160000), low), TrkColors[3]);
  }
}

TEST_F(ArrPaintTest, AudioNamesFollowTheNamesSwitchExceptInLowRows) {
  // A name stands opaque on white at the top of a tall row only while names
  // are shown; in a low row it is written in ink, vertically centred, either
  // way.
  Add(0, 0, 200000, Take(500000, kTakeAudio), kTakeAudio, 1);
  for (const int rowHeight : {37, 12})
    for (const int shown : {1, 0}) {
      SCOPED_TRACE(testing::Message() << rowHeight << " names " << shown);
      ShowNameInWave = shown;
      arrwnd_test::ResetView(rowHeight, 0, kW, kH);
      Canvas c;
      ArrPaintPartArea(c.dc, kW, kH);
      const int x0 = X(0) + 2, x1 = X(0) + 20;
      int white = 0, ink = 0;
      for (int y = RowY(0, 1); y < RowY(0, rowHeight - 1); ++y) {
        white += c.Count(x0, x1, y, 0xFFFFFF);
        ink += c.Count(x0, x1, y, 0);
      }
      if (rowHeight > 13) {
        EXPECT_EQ(white > 8, shown == 1);
      } else {
        EXPECT_EQ(white, 0);
        EXPECT_GT(ink, 4);
      }
    }
}

TEST_F(ArrPaintTest, LoopRecordedPartsShowTheirColourOnlyOnTheStackBeingLaid) {
  // Two stacks of record track 3 (two armed Virtual Tracks carry it): the
  // Part of pass 1 shows channel 3's colour, hatched, while the pass counter
  // lies on its stack (1 or 3), else the default colour.
  for (const uint32_t t : {0u, 1u}) CurArr->Trk[t].RecTrack = 3, CurArr->Trk[t].RecKind = kRecKindAudio;
  RecTrkSetState(kRecKindAudio, 3, kRecTrkReady);
  ASSERT_EQ(TransportPassLimit(), 2);
  Add(4, 0, 200000, Take(500000, kTakeAudio), kTakeAudio, -(1 * 192 + 3));
  for (const int32_t counter : {1, 2, 3, 0}) {
    SCOPED_TRACE(counter);
    TransportSetPassCount(counter);
    Canvas c;
    ArrPaintPartArea(c.dc, kW, kH);
    int coloured = 0;
    for (int y = RowY(4, 16); y < RowY(4, 30); ++y) coloured += c.Count(X(100000), X(140000), y, TrkColors[2]);
    EXPECT_EQ(coloured > 20, counter % 2 == 1);
  }
  TransportSetPassCount(0);
}

TEST_F(ArrPaintTest, GainEnvelopesAreSymmetricAboutTheCentreLine) {
  // A falling and a flat gain with envelopes shown: in every column the
  // channel colour reaches as far above the centre line as below it (the
  // falling one's sloped edges may differ by the rounding of one pixel);
  // gain 0 leaves one line at the centre.
  ShowPartVol = 1;
  const uint32_t ramp = Add(0, 0, 200000, Take(500000, kTakeAudio), kTakeAudio, 1);
  ArrPart(CurArr, ramp)->GainEnd = 0;
  const uint32_t flat = Add(1, 0, 200000, Take(500000, kTakeAudio), kTakeAudio, 1);
  ArrPart(CurArr, flat)->GainStart = ArrPart(CurArr, flat)->GainEnd = 16384;
  const uint32_t silent = Add(2, 0, 200000, Take(500000, kTakeAudio), kTakeAudio, 1);
  ArrPart(CurArr, silent)->GainStart = ArrPart(CurArr, silent)->GainEnd = 0;
  Canvas c;
  ArrPaintPartArea(c.dc, kW, kH);
  const ArrViewRec& v = ArrView();
  for (const int track : {0, 1}) {
    int uneven = 0, columns = 0;
    for (int x = X(0) + 40; x < X(200000) - 1; x += 3, ++columns) {
      SCOPED_TRACE(testing::Message() << track << " x " << x);
      const int centre = RowY(track, v.Vzoom / 2);
      const auto rows = RowsOf(c, x, RowY(track, 1), RowY(track, v.Vzoom - 2), TrkColors[0]);
      ASSERT_GE(rows.first, 0);
      const int d = (rows.second - centre) - (centre - rows.first);
      EXPECT_LE(std::abs(d), track == 0 ? 1 : 0);
      uneven += d != 0;
    }
    EXPECT_LT(uneven * 4, columns) << track;
  }
  EXPECT_EQ(RowsOf(c, X(100000), RowY(2, 1), RowY(2, v.Vzoom - 2), TrkColors[0]),
            std::make_pair(RowY(2, v.Vzoom / 2), RowY(2, v.Vzoom / 2)));
  ShowPartVol = 0;
}

TEST_F(ArrPaintTest, CornerPixelOnlyWhereTheStartLiesOverNoOtherPart) {
  // A Part's lower-left pixel takes the corner colour, unless its start
  // lies over a Part that began before it; the box's foot then runs on in
  // the fill.
  const uint32_t take = Take(500000, kTakeAudio);
  Add(0, 0, 100000, take, kTakeAudio, 1);
  ArrPart(CurArr, Add(0, 50000, 100000, take, kTakeAudio, 1))->Layer = 1;
  Add(0, 200000, 50000, take, kTakeAudio, 1);
  ArrRelinkOverlaps(CurArr);
  Canvas c;
  ArrPaintPartArea(c.dc, kW, kH);
  const int y1 = RowY(0, ArrView().Vzoom);
  EXPECT_EQ(c.At(X(0), y1), 0x404040u);
  EXPECT_EQ(c.At(X(200000), y1), 0x404040u);
  EXPECT_EQ(c.At(X(50000), y1), TrkColors[0]);
}

TEST_F(ArrPaintTest, NameStandsAfterACrossfadeInPartnerOnAHigherLayer) {
  // The upper Part draws the region [100000, 120000); the lower one shows
  // from 120000 on, its name right there.
  const uint32_t take = Take(500000, kTakeAudio);
  const uint32_t a = Add(0, 0, 120000, take, kTakeAudio, 1);
  const uint32_t b = Add(0, 100000, 100000, take, kTakeAudio, 2);
  ArrPart(CurArr, a)->Layer = 1;
  ArrPart(CurArr, a)->XfadeOutPartner = static_cast<uint16_t>(b);
  ArrPart(CurArr, b)->XfadeInPartner = static_cast<uint16_t>(a);
  ArrRelinkOverlaps(CurArr);
  Canvas c;
  ArrPaintPartArea(c.dc, kW, kH);
  EXPECT_GE(c.Count(X(120000) + 2, X(120000) + 22, RowY(0, 2), 0xFFFFFF), 8);
}

TEST_F(ArrPaintTest, MarkerStripCarriesTheLocatorLinesOnlyWhenAsked) {
  // Drawn with the locators, the strip differs from the plain one exactly
  // in the now locator's column, and there only inside the strip.
  ASSERT_EQ(ArrLoadLocatorImages(GetModuleHandleA(nullptr)), 1);
  arrwnd_test::ResetView(37, 1, kW, kH);
  const ArrViewRec& v = ArrView();
  ASSERT_GT(v.TopHeight, kArrRulerHeight);
  Locs().NowLoc = 300 * 512 - 44100;
  Locs().LeftLoc = Locs().RightLoc = 100000000;  // right of the view
  Canvas plain, lines;
  ArrDrawMarkerStrip(plain.dc, CurMrkList, 0);
  ArrDrawMarkerStrip(lines.dc, CurMrkList, 1);
  const int nowX = X(Locs().NowLoc);
  int differ = 0, elsewhere = 0;
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      if (plain.At(x, y) == lines.At(x, y)) continue;
      if (x == nowX && y >= kArrRulerHeight && y < v.TopHeight)
        ++differ;
      else
        ++elsewhere;
    }
  EXPECT_GT(differ, 0);
  EXPECT_EQ(elsewhere, 0);
}

TEST_F(ArrPaintTest, PartsOfOtherKindsAreNotDrawn) {
  // A Part of a Take kind with no picture leaves its row's background.
  Add(0, 0, 200000, Take(500000, 7), 7, 1);
  Canvas c;
  ArrPaintPartArea(c.dc, kW, kH);
  for (const int dy : {0, 10, 20, 30})
    EXPECT_EQ(c.Count(X(0), X(200000), RowY(0, dy), ArrView().Color[0]), X(200000) - X(0)) << dy;
}
