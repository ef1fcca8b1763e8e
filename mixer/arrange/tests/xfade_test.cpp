#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "mixer/arrange/editpriv.h"
#include "mixer/arrange/tests/partcmds_fixture.h"
#include "mixer/model/ini.h"
#include "mixer/model/takeattr.h"
#include "mixer/model/wvf.h"
#include "mixer/model/wvfcache.h"
#include "tests/fakes/units_fake.h"
#include "mixer/model/util/profile.h"
#include "mixer/model/util/strtab.h"

namespace {

class Xfade : public CmdFixture {
 protected:
  uint32_t f = 0, g = 0;
  // F = [0, 2000) and G = [1000, 3000) on track 0, crossfade partners.
  void Pair(uint32_t flags = S) {
    const uint32_t t = Take(1000000);
    PartRec a = NewPart(0, 2000, t, 3, flags);
    PartRec b = NewPart(1000, 2000, t, 3, flags);
    b.Offset = 5000;
    f = Add(0, a);
    g = Add(0, b);
    P(f).XfadeOutPartner = static_cast<uint16_t>(g);
    P(g).XfadeInPartner = static_cast<uint16_t>(f);
    P(f).XfadeOutWindow[1] = 255;
    P(g).XfadeInWindow[1] = 255;
  }
};

// The fade-in shapes written out from their definitions, x in 0..1.
double ShapeIn(int curve, double x) {
  const double ks[] = {4, 16, 128};
  switch (curve) {
    case 0: return x;
    case 1: return 0.5 - 0.5 * std::cos(3.14159265359 * x);
    default: {
      const double k = ks[(curve - 2) / 2];
      if (curve % 2 == 0) return std::log10(k * x + 1) / std::log10(k + 1);
      return 1 - std::log10(k * (1 - x) + 1) / std::log10(k + 1);
    }
  }
}

TEST_F(Xfade, GainsOfEveryCurveFollowTheirWindowsAndShapes) {
  Pair();
  // The fade-out runs over 51/255..204/255 of the overlap [1000, 2000),
  // that is 1200..1800; the fade-in over all of it.
  P(f).XfadeOutWindow[0] = 51;
  P(f).XfadeOutWindow[1] = 204;
  for (int c = 0; c < 8; ++c) {
    P(f).XfadeOutCurve = static_cast<uint16_t>(c);
    P(g).XfadeInCurve = static_cast<uint8_t>(c);
    for (int32_t pos : {0, 999, 1000, 1100, 1199, 1200, 1350, 1500, 1650, 1799, 1800, 1999, 2500}) {
      double out = pos < 1200 ? 1 : pos >= 1800 ? 0 : ShapeIn(c, 1 - (pos - 1200) / 600.0);
      double in = pos < 1000 ? 0 : pos >= 2000 ? 1 : ShapeIn(c, (pos - 1000) / 1000.0);
      EXPECT_NEAR(XfadeGainAt(CurArr, f, pos), 32768 * out, 2.0) << "curve " << c << " at " << pos;
      EXPECT_NEAR(XfadeGainAt(CurArr, g, pos), 32768 * in, 2.0) << "curve " << c << " at " << pos;
    }
  }
}

TEST_F(Xfade, LinkModesPairTheCurves) {
  struct Case {
    int32_t link, side, pressed;
    int32_t out, in;  // expected
  } cases[] = {
      {kXfLinkEqualGain, 0, 3, 3, 2},  {kXfLinkEqualGain, 0, 1, 1, 1},
      {kXfLinkEqualGain, 1, 7, 6, 7},  {kXfLinkEqualPower, 0, 4, 4, 4},
      {kXfLinkEqualPower, 0, 0, 0, 6}, {kXfLinkEqualPower, 1, 0, 6, 0},
      {kXfLinkEqualPower, 0, 3, 0, 6},  // disabled button: nothing changes
      {kXfLinkNone, 0, 5, 5, 0},
  };
  for (const Case& c : cases) {
    Reset();
    Pair();
    XfadeDlg dlg(static_cast<int32_t>(f));
    dlg.SetLink(c.link);
    dlg.PressCurve(c.side, c.pressed);
    EXPECT_EQ(dlg.Values().OutCurve, c.out) << c.link << " " << c.pressed;
    EXPECT_EQ(dlg.Values().InCurve, c.in) << c.link << " " << c.pressed;
    EXPECT_EQ(P(f).XfadeOutCurve, c.out);
    EXPECT_EQ(P(g).XfadeInCurve, c.in);
  }
  // Choosing Equal power over a curve it does not allow brings both sides into line.
  Reset();
  Pair();
  XfadeDlg dlg(static_cast<int32_t>(f));
  dlg.PressCurve(0, 1);
  dlg.SetLink(kXfLinkEqualPower);
  EXPECT_EQ(dlg.Values().OutCurve, 0);
  EXPECT_EQ(dlg.Values().InCurve, 6);
  EXPECT_FALSE(dlg.CurveEnabled(1));
  EXPECT_TRUE(dlg.CurveEnabled(4));
}

TEST_F(Xfade, OpeningKeepsTheLastLinkOnlyWhenThePairObeysIt) {
  Pair();
  XfadeLastLink = kXfLinkEqualGain;
  P(f).XfadeOutCurve = 3;
  P(g).XfadeInCurve = 2;
  EXPECT_EQ(XfadeDlg(static_cast<int32_t>(f)).Values().Link, kXfLinkEqualGain);
  EXPECT_EQ(XfadeDlg(static_cast<int32_t>(f)).Values().Length, 1000);
  P(f).XfadeOutWindow[0] = 10;  // dragged
  EXPECT_EQ(XfadeDlg(static_cast<int32_t>(f)).Values().Link, kXfLinkNone);
  P(f).XfadeOutWindow[0] = 0;
  P(g).XfadeInCurve = 3;  // not the mirror
  EXPECT_EQ(XfadeDlg(static_cast<int32_t>(f)).Values().Link, kXfLinkNone);
}

TEST_F(Xfade, LengthFieldSetsTheOverlapOfEverySelectedPair) {
  Pair();
  XfadeDlg dlg(static_cast<int32_t>(f));
  dlg.DragHandle(0, 0, 100);
  dlg.ReleaseHandles();
  ASSERT_EQ(P(f).XfadeOutWindow[0], 100);
  EXPECT_EQ(dlg.SetLength(400, kTestDc), 1);
  // The overlap shrinks about its middle, 1500.
  EXPECT_EQ(arredit::End(P(f)), 1700);
  EXPECT_EQ(P(g).Start, 1300);
  EXPECT_EQ(dlg.Values().Length, 400);
  EXPECT_EQ(P(f).XfadeOutWindow[0], 0);  // fractions reset
  // Too long for G, which cannot pass the end of F's Take or its own end: 266.
  EXPECT_EQ(dlg.SetLength(5000, kTestDc), 0);
  EXPECT_EQ(BoxIds(), std::vector<uint32_t>{IDS_XFADE_LENGTH_FAILED});
  // Without a Part, a length below 10 becomes 10.
  XfadeDlg defaults(-1);
  defaults.SetLength(5, nullptr);
  EXPECT_EQ(defaults.Values().Length, 10);
  defaults.Ok();
  EXPECT_EQ(XfadeDefaults.Length, 10);
}

TEST_F(Xfade, HandlesStayOrderedAndMoveOnlyWithoutALink) {
  Pair();
  XfadeDlg dlg(static_cast<int32_t>(f));
  dlg.DragHandle(0, 1, 0);  // end below start + 1
  EXPECT_EQ(dlg.Values().OutEnd, 1);
  dlg.DragHandle(0, 0, 200);  // start at most end - 1
  EXPECT_EQ(dlg.Values().OutStart, 0);
  dlg.DragHandle(1, 1, 300);
  EXPECT_EQ(dlg.Values().InEnd, 255);
  dlg.SetLink(kXfLinkEqualGain);
  dlg.DragHandle(1, 0, 50);
  EXPECT_EQ(dlg.Values().InStart, 0);
}

TEST_F(Xfade, DefaultsReadAndWrite) {
  BuiltInProfile().Clear();
  SetProfile(nullptr);
  const std::string path = "xfdef.ini";
  ReadXfadeDefaults(path.c_str());
  const XfadeSettings d;
  EXPECT_EQ(XfadeDefaults.Length, 44100);
  EXPECT_EQ(XfadeDefaults.View, kXfViewSeparateFaded);
  EXPECT_EQ(XfadeDefaults.Link, kXfLinkNone);
  EXPECT_EQ(XfadeDefaults.OutEnd, 255);
  EXPECT_EQ(XfadePreviewChannel, 1);
  CurProfile().WriteString(path.c_str(), "ArrangeWnd", "XFDef", "22050 3 0 200");
  CurProfile().WriteString(path.c_str(), "ArrangeWnd", "XFPrevChan", "300");
  ReadXfadeDefaults(path.c_str());
  EXPECT_EQ(XfadeDefaults.Length, 22050);
  EXPECT_EQ(XfadeDefaults.OutCurve, 3);
  EXPECT_EQ(XfadeDefaults.OutEnd, 200);
  EXPECT_EQ(XfadeDefaults.InEnd, 255);  // missing: its default
  EXPECT_EQ(XfadePreviewChannel, 192);   // kept to the audio channels
  XfadePreviewChannel = 17;
  XfadeDefaults.View = kXfViewOverlaid;
  XfadeDefaults.Link = kXfLinkEqualPower;
  XfadeDefaults.InCurve = 6;
  const XfadeSettings w = XfadeDefaults;
  WriteXfadeDefaults(path.c_str());
  XfadeDefaults = d;
  ReadXfadeDefaults(path.c_str());
  EXPECT_EQ(XfadeDefaults.View, w.View);
  EXPECT_EQ(XfadeDefaults.Link, w.Link);
  EXPECT_EQ(XfadeDefaults.InCurve, 6);
  EXPECT_EQ(XfadeDefaults.Length, 22050);
  EXPECT_EQ(XfadePreviewChannel, 17);
  char text[64];
  CurProfile().GetString(path.c_str(), "ArrangeWnd", "XFDef", text, sizeof text);
  EXPECT_STREQ(text, "22050 3 0 200 6 0 255 3 2");
  BuiltInProfile().Clear();
}

// ---- The crossfade tool ----

TEST_F(Xfade, AClickOutsideBothCrossfadesLeavesNoUndoStep) {
  Pair(0);
  const auto before = Image();
  EXPECT_EQ(ArrCrossfadeTool(2500, 0, kTestDc, static_cast<int32_t>(g)), 0);
  EXPECT_EQ(UndoGetLevel(), 0u);
  EXPECT_EQ(Image(), before);
  EXPECT_FALSE(Logged("RunCrossfadeDialog(0)"));
}

TEST_F(Xfade, OkKeepsTheDialogsChangesAndCancelTakesThemBack) {
  Pair(0);
  P(g).Flags |= S;  // the click selected G; the tool selects its partner F
  const auto before = Image();
  cmdWindow.xfadeDialog = [&](int32_t first) {
    XfadeDlg dlg(first);
    dlg.PressCurve(0, 2);
    dlg.DragHandle(1, 0, 40);
    dlg.ReleaseHandles();
    dlg.Ok();
    return 1;
  };
  // A click on G inside the crossfade opens the pair (F, G).
  ASSERT_EQ(ArrCrossfadeTool(1500, 0, kTestDc, static_cast<int32_t>(g)), 1);
  EXPECT_TRUE(Logged("RunCrossfadeDialog(" + std::to_string(f) + ")"));
  EXPECT_EQ(P(f).XfadeOutCurve, 2);
  EXPECT_EQ(P(g).XfadeInWindow[0], 40);
  EXPECT_EQ(SelBits(0), (std::vector<int>{0, 0}));
  ExpectUndoRedo(before);

  // Cancel after dragging handles: the fractions come back and no step is left.
  Reset();
  Pair();
  const auto before2 = Image();
  cmdWindow.xfadeDialog = [&](int32_t first) {
    XfadeDlg dlg(first);
    dlg.DragHandle(0, 0, 90);
    dlg.ReleaseHandles();
    EXPECT_EQ(P(f).XfadeOutWindow[0], 90);
    return 0;
  };
  EXPECT_EQ(ArrCrossfadeTool(1500, 0, kTestDc, static_cast<int32_t>(f)), 0);
  EXPECT_EQ(P(f).XfadeOutWindow[0], 0);
  EXPECT_EQ(UndoGetLevel(), 0u);
  EXPECT_EQ(SelBits(0), (std::vector<int>{0, 0}));  // KeepSel off: selection cleared
  auto expect = before2;
  for (uint32_t s : {f, g})
    reinterpret_cast<PartRec*>(expect.data() + sizeof(ArrRec))[s].Flags &= ~kPartSelected;
  EXPECT_EQ(Image(), expect);

  // A selected Part that is not Audio: 321 and nothing.
  Add(1, NewPart(0, 100, 2, 21, S));
  EXPECT_EQ(ArrCrossfadeTool(1500, 0, kTestDc, static_cast<int32_t>(f)), 0);
  EXPECT_EQ(BoxIds(), std::vector<uint32_t>{IDS_AUDIO_PARTS_ONLY});
}

}  // namespace

namespace {

TEST_F(Xfade, AuditionAltersThePairsOfTheLinkGroupsAndItsStopRestoresThem) {
  struct Case {
    int button;
    uint32_t fGain, gGain;
    bool fTop, gTop, unlinked;
  } cases[] = {
      {719, 32768, 1000, true, false, true},   {720, 32768, 0, true, false, false},
      {721, 32768, 32768, true, false, false}, {722, 0, 32768, true, false, false},
      {723, 1000, 32768, false, true, true},
  };
  for (const Case& c : cases) {
    Reset();
    Pair();
    // A linked second pair on track 1.
    const uint32_t t = Take(1000000);
    const uint32_t f2 = Add(1, NewPart(0, 2000, t, 3, S));
    const uint32_t g2 = Add(1, NewPart(1000, 2000, t, 3, S));
    P(f2).XfadeOutPartner = static_cast<uint16_t>(g2);
    P(g2).XfadeInPartner = static_cast<uint16_t>(f2);
    P(f).Flags |= kPartLinkNext;
    P(f2).Flags |= kPartLinkPrev;
    P(g).Flags |= kPartLinkNext;
    P(g2).Flags |= kPartLinkPrev;
    for (uint32_t s : {f, g, f2, g2}) {
      P(s).GainStart = P(s).GainEnd = 1000;
      P(s).PlayChannel = 0;
    }
    XfadePreviewChannel = 191;  // the run of two channels ends at 192
    const auto before = Image();
    XfadeAudition* a = XfadeAuditionStart(c.button, f, g);
    ASSERT_NE(a, nullptr);
    ASSERT_EQ(a->Pairs.size(), 2u);
    EXPECT_EQ(P(f).GainStart, c.fGain) << c.button;
    EXPECT_EQ(P(g).GainEnd, c.gGain) << c.button;
    EXPECT_EQ(P(f).Layer == 32767, c.fTop);
    EXPECT_EQ(P(g).Layer == 32767, c.gTop);
    EXPECT_EQ(P(f).XfadeOutPartner == kArrNoLink, c.unlinked);
    const uint32_t top1 = c.gTop ? g : f, top2 = c.gTop ? g2 : f2;
    EXPECT_EQ(P(top1).PlayChannel, 191);
    EXPECT_EQ(P(top2).PlayChannel, 192);
    // Every channel silenced, then only the top Parts' channels compiled,
    // played from the second Part's start to the first Part's end.
    const std::string log = Services().Joined();
    EXPECT_LT(log.find("SoloSilenceAll()"), log.find("SoloCompileTrack(191, 1000, 191, -1)"));
    EXPECT_TRUE(Logged("SoloCompileTrack(192, 1000, 192, -1)"));
    EXPECT_TRUE(Logged("TransportStartAudition(1000, 2000)"));
    XfadeAuditionStop(a);
    // Stopped first, then the normal play lists from the restored Parts.
    const std::string after = Services().Joined();
    const size_t stop = after.rfind("TransportStopAudition()");
    ASSERT_NE(stop, std::string::npos);
    EXPECT_NE(after.find("RebuildAllPlayLists(", stop), std::string::npos);
    EXPECT_EQ(Image(), before);
  }
  EXPECT_EQ(XfadeAuditionStart(700, 0, 1), nullptr);
  // Playback that does not start leaves the Parts as they were.
  Services().auditionStarts = 0;
  const auto before = Image();
  EXPECT_EQ(XfadeAuditionStart(721, f, g), nullptr);
  EXPECT_EQ(Image(), before);
}

}  // namespace

// ---- The preview ----

namespace {

TEST(XfadePreview, APressPicksTheNearestHandleOfTheNearerRow) {
  XfadeSettings full;  // handles at x 0 (starts) and 400 (ends)
  XfadeSettings close = full;
  close.OutStart = 100;  // x 157
  close.InEnd = 120;     // x 188
  struct Case {
    const XfadeSettings* v;
    int32_t x, y;
    int hit, side, end;
  } cases[] = {
      {&full, 10, 5, 1, 0, 0},    // fade-out start, top left
      {&full, 390, 5, 1, 1, 1},   // fade-in end, top right
      {&full, 10, 95, 1, 1, 0},   // fade-in start, bottom left
      {&full, 390, 95, 1, 0, 1},  // fade-out end, bottom right
      {&full, 200, 50, 0, 0, 0},  // between the boxes
      {&full, 10, -62, 0, 0, 0},  // above the top boxes
      {&full, 10, 40, 1, 0, 0},   // both rows: the upper half takes the top row
      {&full, 10, 60, 1, 1, 0},
      {&close, 180, 0, 1, 1, 1},  // both of the top row: the nearer in x
      {&close, 160, 0, 1, 0, 0},
  };
  for (const Case& c : cases) {
    int side = -1, end = -1;
    EXPECT_EQ(XfadeHandleAt(*c.v, 400, 100, c.x, c.y, &side, &end), c.hit) << c.x << "," << c.y;
    if (c.hit) {
      EXPECT_EQ(side, c.side) << c.x << "," << c.y;
      EXPECT_EQ(end, c.end) << c.x << "," << c.y;
    }
  }
  EXPECT_EQ(XfadeHandleX(400, 100), 157);
  EXPECT_EQ(XfadeFractionAt(400, 200), 128);
  EXPECT_EQ(XfadeFractionAt(400, -5), 0);
  EXPECT_EQ(XfadeFractionAt(400, 500), 255);
  EXPECT_EQ(XfadeFractionAt(0, 10), 0);
}

class XfadeWaveFixture : public Xfade {
 protected:
  void SetUp() override {
    Xfade::SetUp();
    static int serial = 0;
    dir_ = std::filesystem::temp_directory_path() /
           ("xfwaves_" + std::to_string(serial++) + "_" + std::to_string(reinterpret_cast<uintptr_t>(this)));
    std::filesystem::create_directories(dir_);
    std::string d = dir_.string() + "/";
    for (char& c : d)
      if (c == '/') c = '\\';
    Services().wvFormFilePath = d;
    Units() = UnitsFake();
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
    Xfade::TearDown();
  }
  // An overview of `entries` blocks, block b peaking at +-10 b; `extra`
  // bytes make it damaged.
  void PutOverview(uint32_t take, uint32_t entries, int extra = 0) {
    TakeRec* t = TakeFromRef(take);
    char path[260];
    std::snprintf(path, sizeof path, "%s", Services().wvFormFilePath.c_str());
    ASSERT_EQ(WvfCacheName(t, path, sizeof path), 1);
    std::string p = path;
    for (char& c : p)
      if (c == '\\') c = '/';
    std::vector<uint8_t> bytes(kWvfHeaderSize);
    WvfEncodeHeader(t->id.Bytes, entries, bytes.data());
    for (uint32_t b = 0; b < entries; ++b) {
      const WvfEntry e{static_cast<int16_t>(10 * b), static_cast<int16_t>(-10 * static_cast<int>(b))};
      uint8_t out[4];
      WvfEncodeEntries(&e, 1, out);
      bytes.insert(bytes.end(), out, out + 4);
    }
    bytes.resize(bytes.size() + extra);
    std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                             static_cast<std::streamsize>(bytes.size()));
    TakeSetAttr(t, kTakeAttrWaveExists, 1, nullptr);
  }
  std::filesystem::path dir_;
};

TEST_F(XfadeWaveFixture, WaveformsComeFromOverviewsForWideColumnsElseFromSamples) {
  Pair();  // overlap [1000, 2000): F from Take sample 1000, G from 5000
  XfadeDlg dlg(static_cast<int32_t>(f));
  XfadeWaves w;
  // 100 samples per column: from the samples.
  ASSERT_EQ(XfadeLoadWaves(dlg, 10, &w), 1);
  EXPECT_TRUE(Logged("NatDevGetEnvelopes(10, 100, 1000)"));
  EXPECT_TRUE(Logged("NatDevGetEnvelopes(10, 100, 5000)"));
  ASSERT_EQ(w.First.size(), 20u);
  EXPECT_EQ(w.First[0], 10);  // the fake's peak of entry 1000 / 100

  // 500 samples per column with overview files: merged blocks, no samples.
  PutOverview(P(f).Take, 20);
  Services().Reset();
  Services().wvFormFilePath = dir_.string() + "/";
  for (char& c : Services().wvFormFilePath)
    if (c == '/') c = '\\';
  ASSERT_EQ(XfadeLoadWaves(dlg, 2, &w), 1);
  EXPECT_EQ(Services().Count("NatDevGetEnvelopes"), 0);
  EXPECT_EQ(w.First, (std::vector<int16_t>{20, -20, 30, -30}));     // blocks 1..2, 2..3
  EXPECT_EQ(w.Second, (std::vector<int16_t>{100, -100, 110, -110}));  // blocks 9..10, 10..11

  // A damaged overview and a long overlap: nothing to show.
  PutOverview(P(f).Take, 20, 3);
  Settings().SampleRate = 40;  // 1000 samples are 25 seconds
  EXPECT_EQ(XfadeLoadWaves(dlg, 2, &w), 0);
  EXPECT_TRUE(w.First.empty());
  // Busy native devices: no samples either.
  Settings().SampleRate = 44100;
  Units().natDevAllIdle = 0;
  EXPECT_EQ(XfadeLoadWaves(dlg, 10, &w), 0);
  // No Part or no view: nothing loaded, nothing missing.
  EXPECT_EQ(XfadeLoadWaves(XfadeDlg(-1), 10, &w), 1);
  dlg.SetView(kXfViewNone);
  EXPECT_EQ(XfadeLoadWaves(dlg, 10, &w), 1);
  EXPECT_TRUE(w.First.empty());
}

TEST(XfadePreview, FadedViewsScaleEachWaveByItsFade) {
  XfadeSettings v;
  v.OutStart = 0, v.OutEnd = 255;  // the fade-out over all four columns
  v.InStart = 128, v.InEnd = 255;  // the fade-in over the last two
  XfadeWaves w;
  w.First.assign(8, 1000);
  w.Second.assign(8, 1000);
  XfadeFadeWaves(v, 4, &w);
  // Linear: gains 1, 3/4, 1/2, 1/4 of the fade-out's columns.
  EXPECT_EQ(w.First, (std::vector<int16_t>{1000, 1000, 750, 750, 500, 500, 250, 250}));
  EXPECT_EQ(w.Second, (std::vector<int16_t>{0, 0, 0, 0, 0, 0, 500, 500}));
}

}  // namespace
