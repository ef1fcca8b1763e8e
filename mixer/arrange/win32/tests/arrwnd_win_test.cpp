// The arrange window on real windows: an arrangement with Audio,
// Automation and Midi Parts, a crossfade, markers and locators painted into
// a memory bitmap and read at chosen pixels; mouse drags sent to the Part
// area as real messages, each ending in its operation and one undo step;
// pictures of the window at two zoom levels.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "mixer/arrange/arrview.h"
#include "mixer/arrange/arrzoom.h"
#include "mixer/arrange/csetools.h"
#include "mixer/arrange/editdisp.h"
#include "mixer/arrange/partdlg.h"
#include "mixer/arrange/services.h"
#include "mixer/arrange/win32/arrpaint.h"
#include "mixer/arrange/win32/arrwnd.h"
#include "mixer/model/arr.h"
#include "mixer/model/arrheap.h"
#include "mixer/model/ini.h"
#include "mixer/model/marker.h"
#include "mixer/model/tempomap.h"
#include "mixer/model/util/strtab.h"
#include "mixer/model/options.h"
#include "mixer/model/settings.h"
#include "mixer/model/snap.h"
#include "mixer/model/take.h"
#include "mixer/model/takeattr.h"
#include "mixer/model/trkcolors.h"
#include "mixer/model/undo.h"
#include "mixer/model/wvf.h"
#include "mixer/model/wvfcache.h"
#include "mixer/shell/services.h"
#include "mixer/shell/win32/settings.h"
#include "mixer/shell/win32/shell.h"
#include "mixer/shell/wndtable.h"
#include "mixer/units/midiplay.h"
#include "mixer/arrange/win32/tests/arrwnd_fixture.h"
#include "tests/win32/shot.h"


namespace {

int Zero() { return 0; }
int32_t Zero32() { return 0; }
uint32_t ZeroU() { return 0; }
void NoMessage(uint32_t, const char*) {}
const MidiPlayHost kStoppedHost = {Zero, Zero, Zero, Zero32, Zero32, Zero32, ZeroU,
                                   Zero32, Zero32, Zero32, Zero32, NoMessage};

constexpr int kW = 800, kH = 400;

// A memory bitmap of the Part area's size that the window's drawing paints.
struct Canvas : arrwnd_test::Bitmap {
  Canvas() : Bitmap(kW, kH) {}
};

class ArrWndTest : public ::testing::Test {
 protected:
  std::filesystem::path dir;
  uint32_t audioTake = 0;
  HWND owner = nullptr;

  static void SetUpTestSuite() { arrwnd_test::RegisterArrangeClasses(); }

  void SetUp() override {
    dir = arrwnd_test::NewTestFolder("arrwnd");
    std::snprintf(Folders[kFolderWvForm], sizeof Folders[kFolderWvForm], "%s\\", dir.string().c_str());
    UndoSuspend(0);
    UndoLevels = 100;
    UndoDiscard(0);
    arrwnd_test::OpenArrangement();
    Settings().SnapMode = 0;
    KeepSel = 0;
    EditOverlapMode = 40893;  // Parts may overlap
    EditMultiOutMode = 40896;
    ShowPartVol = 0;
    FillWvForm = 1;
    FastRedraw = 0;
    arrwnd_test::ResetView(37, 1, kW, kH);
    ArrView().Color[0] = 0xFFFFFF;
    Build();
  }

  void TearDown() override {
    if (owner) DestroyWindow(owner);
    UndoDiscard(0);
    MidiPlayReset();
    arrwnd_test::CloseArrangement();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }

  uint32_t Take(uint32_t samples, uint32_t kind) { return arrwnd_test::MakeTake("W", samples, kind); }

  // A Midi Take in samples whose log, loaded for the Part at 40000 (origin
  // 40000), holds a control value of 127 at 5000 and 60000 and note 0 over
  // [10000, 30000).
  uint32_t MidiTake() {
    const std::vector<MidiLogEvent> events = {
        {5000, kMidiControl, 7, 127, 0}, {10000, kMidiNote, 0, 100, 20000}, {60000, kMidiControl, 7, 127, 0}};
    uint32_t error = 0;
    const auto bytes = static_cast<uint32_t>(events.size() * sizeof(MidiLogEvent));
    const std::string folder = dir.string() + "\\";
    TakeRec* take = TakeCreateMidi(folder.c_str(), 0, 0, 0, bytes, 0, 0, 0, 0, nullptr, nullptr, nullptr,
                                   nullptr, &error);
    EXPECT_NE(take, nullptr) << error;
    if (take == nullptr) return 0;
    EXPECT_EQ(TakeDataIo(take, 1, 0, bytes, const_cast<MidiLogEvent*>(events.data()), &error), 1);
    EXPECT_EQ(TakeSetAttr(take, kTakeAttrMidiWord3, events.size(), &error), 1);
    return TakeRef(take);
  }

  // An overview with peaks of +-8000 and one block (100) of full scale.
  void PutOverview(uint32_t take, uint32_t entries) {
    TakeRec* t = TakeFromRef(take);
    char path[260];
    std::snprintf(path, sizeof path, "%s", Folders[kFolderWvForm]);
    ASSERT_EQ(WvfCacheName(t, path, sizeof path), 1);
    std::vector<uint8_t> bytes(kWvfHeaderSize);
    WvfEncodeHeader(t->id.Bytes, entries, bytes.data());
    for (uint32_t b = 0; b < entries; ++b) {
      const WvfEntry e = b == 100 ? WvfEntry{32767, -32768} : WvfEntry{8000, -8000};
      uint8_t out[4];
      WvfEncodeEntries(&e, 1, out);
      bytes.insert(bytes.end(), out, out + 4);
    }
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
    TakeSetAttr(t, kTakeAttrWaveExists, 1, nullptr);
  }

  uint32_t Add(uint32_t track, int32_t start, int32_t length, uint32_t take, uint16_t kind, int32_t channel,
               const char* name) {
    return arrwnd_test::AddPart(track, start, length, take, kind, channel, name);
  }

  // Track 0: an Audio Part with an overview; 1: Automation; 2: Midi;
  // 3: two Audio Parts crossfading over [300000, 320000); markers 1 and 2.
  uint32_t audio = 0, xa = 0, xb = 0;
  void Build() {
    audioTake = Take(500000, 3);
    PutOverview(audioTake, 980);
    audio = Add(0, 0, 200000, audioTake, 3, 1, "Vocal");
    Add(1, 20000, 150000, Take(1000, 20), 20, 2, "Fader");
    Add(2, 40000, 100000, MidiTake(), 21, 3, "Keys");
    const uint32_t takeA = Take(500000, 3), takeB = Take(500000, 3);
    PutOverview(takeA, 980);
    PutOverview(takeB, 980);
    xa = Add(3, 100000, 220000, takeA, 3, 4, "Take A");
    xb = Add(3, 300000, 100000, takeB, 3, 4, "Take B");
    PartRec& a = *ArrPart(CurArr, xa);
    PartRec& b = *ArrPart(CurArr, xb);
    a.XfadeOutPartner = static_cast<uint16_t>(xb);
    b.XfadeInPartner = static_cast<uint16_t>(xa);
    b.Layer = 1;
    ArrRelinkOverlaps(CurArr);
    MidiSetHost(&kStoppedHost);
    MidiBindLib(MidiLibStaticApi());
    EXPECT_EQ(MidiBuildPlayLists(CurArr, 0, 0, -1, 0, 0), 1);
    MrkRec m{};
    m.Position = 100 * 512 - 44100;
    std::snprintf(m.Name, sizeof m.Name, "Verse");
    ASSERT_EQ(MrkInsert(&CurMrkList, m, 1, nullptr), 1);
    m.Position = 600 * 512 - 44100;
    std::snprintf(m.Name, sizeof m.Name, "Chorus");
    ASSERT_EQ(MrkInsert(&CurMrkList, m, 2, nullptr), 1);
    // Record tracks: a stereo Audio pair on tracks 0 and 1, Automation 1 on 2.
    CurArr->Trk[0] = TrkRec{};
    CurArr->Trk[0].RecTrack = 1, CurArr->Trk[0].RecKind = 3, CurArr->Trk[0].Flags = kTrkLinkNext;
    CurArr->Trk[1].RecTrack = 2, CurArr->Trk[1].RecKind = 3, CurArr->Trk[1].Flags = kTrkLinkPrev;
    CurArr->Trk[2].RecTrack = 1, CurArr->Trk[2].RecKind = 20;
    Locs().LeftLoc = 200 * 512 - 44100;
    Locs().RightLoc = 700 * 512 - 44100;
    Locs().NowLoc = 650 * 512 - 44100;
  }

  // Three Audio Parts on `track`: the middle one, on layer 1, crossfades in
  // from the first over [80000, 100000) and out into the last over
  // [180000, 200000), where the last plays its Take's full-scale block at
  // 190000. The middle Part's slot; *first and *last receive the others'.
  uint32_t CrossfadedBothWays(uint32_t track, uint32_t* first = nullptr, uint32_t* last = nullptr) {
    const uint32_t a = Add(track, 0, 100000, audioTake, 3, 5, "First");
    const uint32_t m = Add(track, 80000, 120000, audioTake, 3, 6, "Mid");
    const uint32_t b = Add(track, 180000, 120000, audioTake, 3, 7, "Last");
    ArrPart(CurArr, a)->XfadeOutPartner = static_cast<uint16_t>(m);
    ArrPart(CurArr, m)->XfadeInPartner = static_cast<uint16_t>(a);
    ArrPart(CurArr, m)->XfadeOutPartner = static_cast<uint16_t>(b);
    ArrPart(CurArr, b)->XfadeInPartner = static_cast<uint16_t>(m);
    ArrPart(CurArr, m)->Layer = 1;
    ArrPart(CurArr, b)->Offset = 100 * 512 - 10000;
    ArrRelinkOverlaps(CurArr);
    if (first) *first = a;
    if (last) *last = b;
    return m;
  }

  HWND OpenWindow() {
    EXPECT_NE(arrwnd_test::OpenArrangeFrame(&owner, kW, kH), nullptr);
    return ArrPartAreaWnd();
  }

  static void Drag(HWND w, int x0, int y0, int x1, int y1, UINT down = WM_LBUTTONDOWN, UINT up = WM_LBUTTONUP) {
    SendMessageA(w, WM_MOUSEMOVE, 0, MAKELPARAM(x0, y0));
    SendMessageA(w, down, MK_LBUTTON, MAKELPARAM(x0, y0));
    SendMessageA(w, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM((x0 + x1) / 2, (y0 + y1) / 2));
    SendMessageA(w, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x1, y1));
    SendMessageA(w, up, 0, MAKELPARAM(x1, y1));
  }

  int RowY(int track, int into) const { return ArrRowTop(ArrView(), track) + into; }
  int X(int32_t p) const { return ArrXOfPos(ArrView(), p); }
};

TEST_F(ArrWndTest, PaintsPartsRulerMarkersAndLocators) {
  // The locators' images as the frame loads them.
  ASSERT_EQ(ArrLoadLocatorImages(GetModuleHandleA(nullptr)), 1);
  Canvas c;
  ArrPaintPartArea(c.dc, kW, kH);
  const ArrViewRec& v = ArrView();
  const int y0 = RowY(0, 0), centre = y0 + v.Vzoom / 2, half = v.Vzoom / 2 - 1;
  // The Audio Part's box in its channel's colour (below the name, off the
  // waveform's +-4 pixels).
  EXPECT_EQ(c.At(X(100000), centre + 10), TrkColors[0]);
  EXPECT_EQ(c.At(X(-20000), centre + 10), 0xFFFFFFu);  // background before it
  // The waveform: full scale only in block 100's column, small elsewhere.
  const int spike = X(100 * 512);
  bool peak = false;
  for (int x = spike - 1; x <= spike + 1; ++x) peak = peak || c.At(x, centre - half) == 0;
  EXPECT_TRUE(peak);
  EXPECT_NE(c.At(X(10000), centre - half), 0u);
  EXPECT_EQ(c.At(X(10000), centre - 3), 0u);
  // The locators' lines over an empty row: white inverted by their
  // patterns, the left locator's dashed.
  int dashes = 0;
  for (int y = RowY(6, 0); y < RowY(6, 8); ++y) dashes += c.At(200, y) == 0x00FF00u;
  EXPECT_EQ(dashes, 6);
  EXPECT_EQ(c.At(650, RowY(6, 10)), 0xFF0000u);  // now
  // A ruler tick each second (time code at 44.1 kHz, 512 per pixel).
  EXPECT_EQ(c.At(X(44100), 12), GetSysColor(COLOR_3DDKSHADOW));
  EXPECT_EQ(c.At(X(44100) + 1, 12), GetSysColor(COLOR_3DHILIGHT));
  // Marker 1's number box (black) in the marker strip.
  EXPECT_EQ(c.At(100 + 3, kArrRulerHeight + 2), 0u);
  // Automation and Midi Parts: boxes in their channels' colours under a
  // white name band.
  EXPECT_EQ(c.At(X(150000), RowY(1, 30)), CautomTrkColors[1]);
  EXPECT_EQ(c.At(X(150000), RowY(1, 5)), 0xFFFFFFu);
  EXPECT_EQ(c.At(X(120000), RowY(2, 30)), MidevTrkColors[2]);
  // Its log inside the content band [y0 + 16, y1 - 4]: note 0 at the band's
  // foot, two pixels high, from 50000 to 70000; the control line at value
  // 127 along the band's top from 45000 to 100000.
  const int foot = RowY(2, v.Vzoom - 4), top = RowY(2, 16);
  for (int y : {foot, foot - 1}) EXPECT_EQ(c.At(X(60000), y), 0x008000u) << y;
  EXPECT_EQ(c.At(X(60000), foot - 2), MidevTrkColors[2]);
  EXPECT_EQ(c.At(X(48000), foot), MidevTrkColors[2]);
  EXPECT_EQ(c.At(X(75000), foot), MidevTrkColors[2]);
  EXPECT_EQ(c.At(X(80000), top), 0x008000u);
  EXPECT_EQ(c.At(X(80000), top + 1), MidevTrkColors[2]);
  // The crossfade region is drawn by the upper Part: over the default grey
  // its own fade-in fills from nothing to the whole row in its channel
  // colour, and the partner's fade-out is outlined across it.
  const int low = RowY(3, v.Vzoom - 3);
  EXPECT_EQ(c.At(X(300000) + 2, low), 0xC0C0C0u);
  EXPECT_EQ(c.At(X(319000), low), TrkColors[3]);
  bool outline = false;
  for (int x = X(300000) + 1; x < X(320000); ++x) outline = outline || c.At(x, RowY(3, v.Vzoom / 2 + 8)) == 0;
  EXPECT_TRUE(outline);
  const int mid = X(310000), ym = RowY(3, v.Vzoom / 2);
  bool line = false;
  for (int dy = -2; dy <= 2; ++dy) line = line || c.At(mid, ym + dy) == 0;
  EXPECT_TRUE(line);
  // With gain envelopes shown the fades still stand in the region in place
  // of the upper Part's envelope, which fills the rest of its box.
  ShowPartVol = 1;
  ArrPaintPartArea(c.dc, kW, kH);
  ShowPartVol = 0;
  EXPECT_EQ(c.At(X(300000) + 2, low), 0xC0C0C0u);
  EXPECT_EQ(c.At(X(319000), low), TrkColors[3]);
  EXPECT_EQ(c.At(X(350000), low), TrkColors[3]);
  // The track column: the record tracks' labels in their colours.
  Canvas col;
  ArrPaintColumn(col.dc, kArrColumnWidth, kH);
  EXPECT_EQ(col.At(2, RowY(0, 2)), TrkColors[0]);
  EXPECT_EQ(col.At(2, RowY(2, 2)), CautomTrkColors[0]);
  EXPECT_NE(col.At(2, RowY(4, 2)), TrkColors[0]);  // no record track: background
  // A selected Part fills grey.
  ArrPart(CurArr, audio)->Flags |= kPartSelected;
  ArrPaintPartArea(c.dc, kW, kH);
  EXPECT_EQ(c.At(X(100000), centre + 10), 0x808080u);
  // Redrawing the lower Part of a crossfade redraws the region the upper
  // Part owns in the lower one's selection, and only that region.
  ArrPart(CurArr, xa)->Flags |= kPartSelected;
  ArrDrawPart(reinterpret_cast<DcHandle>(c.dc), CurArr, xa, 3, 0, 1);
  EXPECT_EQ(c.At(X(319000), low), 0x808080u);
  EXPECT_EQ(c.At(X(350000), low), TrkColors[3]);
  EXPECT_EQ(ArrPart(CurArr, xb)->Flags & kPartSelected, 0u);
  ArrFreeLocatorImages();
}

TEST_F(ArrWndTest, PixelsWrittenStraightAndThroughGdiCallsAreTheSame) {
  // A memory bitmap with a clipping region is drawn through GDI calls only;
  // without one, boxes, frames, waveforms and names go straight into its
  // pixels. Both pictures must be the same, at two row heights, with and
  // without gain envelopes (flat, falling, hatched, beside crossfades on
  // one side and on both, each outlined again over its filled waveform),
  // with names wider than their boxes, on white, grey and black, and a
  // snap point's dotted line.
  ASSERT_EQ(ArrLoadLocatorImages(GetModuleHandleA(nullptr)), 1);
  const char* names[] = {"Wide Name With gjpqy", "Ab", "ff fi fl ;:!", "MMMMMMMMMMMMMMMM", "x"};
  for (int i = 0; i < 5; ++i) {
    const uint32_t take = Take(500000, 3);
    const uint32_t slot = Add(5 + i % 3, 220000 + i * 30000, 2000 + i * 9000, take, 3, i == 1 ? 0 : 7 + i, names[i]);
    if (i == 2) ArrPart(CurArr, slot)->Flags |= kPartSelected;
    if (i == 3) ArrPart(CurArr, slot)->GainEnd = 9000;
  }
  ArrPart(CurArr, xb)->Flags |= kPartSelected;
  ArrPart(CurArr, Add(4, 20000, 150000, audioTake, 3, 2, "Ramp"))->GainEnd = 12000;
  ArrPart(CurArr, Add(4, 200000, 60000, audioTake, 3, 130, "Hatched"))->GainStart = 20000;
  ArrPart(CurArr, Add(4, 280000, 60000, audioTake, 3, 131, "Hatched"))->GainEnd = 20000;
  CrossfadedBothWays(8);
  ArrPart(CurArr, audio)->SnapPoint = 50000;
  for (const int view : {37, 17, 12, 37 + 1000, 17 + 1000, 12 + 1000}) {
    const int rowHeight = view % 1000;
    ShowPartVol = view / 1000;
    SCOPED_TRACE(view);
    arrwnd_test::ResetView(rowHeight, 1, kW, kH);
    Canvas direct, gdi;
    HRGN all = CreateRectRgn(0, 0, kW, kH);
    SelectClipRgn(gdi.dc, all);
    DeleteObject(all);
    ArrPaintPartArea(direct.dc, kW, kH);
    ArrPaintPartArea(gdi.dc, kW, kH);
    if (view == 1037) direct.Save("arrwnd_direct");
    int differ = 0, firstX = -1, firstY = -1;
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x)
        if (direct.At(x, y) != gdi.At(x, y) && differ++ == 0) firstX = x, firstY = y;
    EXPECT_EQ(differ, 0) << "first at " << firstX << "," << firstY;
  }
  ShowPartVol = 0;
  ArrFreeLocatorImages();
}

TEST_F(ArrWndTest, PartWithPartnersOnBothSidesDrawsBothCrossfades) {
  uint32_t first = 0, last = 0;
  CrossfadedBothWays(5, &first, &last);
  const ArrViewRec& v = ArrView();
  const int y0 = RowY(5, 0), low = RowY(5, v.Vzoom - 3), centre = RowY(5, v.Vzoom / 2), half = v.Vzoom / 2 - 1;
  const COLORREF own = TrkColors[5], grey = 0xC0C0C0;
  for (const int envelopes : {0, 1}) {
    SCOPED_TRACE(envelopes);
    ShowPartVol = envelopes;
    Canvas c;
    ArrPaintPartArea(c.dc, kW, kH);
    if (envelopes) c.Save("arrwnd_xfade_both");
    // The middle Part's fade-in rises from nothing over the default grey
    // to the whole row, its fade-out falls back to nothing; the plain box
    // lies between them.
    EXPECT_EQ(c.At(X(80000) + 2, low), grey);
    EXPECT_EQ(c.At(X(99000), low), own);
    EXPECT_EQ(c.At(X(150000), low), own);
    EXPECT_EQ(c.At(X(181000), low), own);
    EXPECT_EQ(c.At(X(200000) - 3, low), grey);
    // Each partner's fade is outlined across its region, above the
    // waveforms' +-4 pixels.
    for (const int32_t pos : {85000, 95000, 185000, 195000}) {
      bool outline = false;
      for (int y = y0 + 2; y < centre - 5; ++y) outline = outline || c.At(X(pos), y) == 0;
      EXPECT_TRUE(outline) << pos;
    }
    // The last Part's waveform, in grey under the middle one's, reaches
    // the row's half-height with its full-scale block.
    bool peak = false;
    for (int x = X(190000) - 1; x <= X(190000) + 1; ++x) peak = peak || c.At(x, centre - half + 1) == 0x808080u;
    EXPECT_TRUE(peak);
    // The name stands right after the crossfade-in region, not in it.
    EXPECT_GE(c.Count(X(100000) + 2, X(100000) + 22, y0 + 2, 0xFFFFFF), 8);
    EXPECT_EQ(c.Count(X(80000) + 2, X(100000), y0 + 2, 0xFFFFFF), 0);
  }
  ShowPartVol = 0;
  // Redrawing either partner redraws only its own region of the middle
  // Part, in that partner's selection.
  Canvas c;
  ArrPaintPartArea(c.dc, kW, kH);
  ArrPart(CurArr, first)->Flags |= kPartSelected;
  ArrDrawPart(reinterpret_cast<DcHandle>(c.dc), CurArr, first, 5, 0, 1);
  EXPECT_EQ(c.At(X(99000), low), 0x808080u);
  EXPECT_EQ(c.At(X(181000), low), own);
  ArrPart(CurArr, last)->Flags |= kPartSelected;
  ArrDrawPart(reinterpret_cast<DcHandle>(c.dc), CurArr, last, 5, 0, 1);
  EXPECT_EQ(c.At(X(181000), low), 0x808080u);
  EXPECT_EQ(c.At(X(150000), low), own);
}

TEST_F(ArrWndTest, DrawingLeavesTheDcAsItFoundIt) {
  // Each drawing entry point, over names, gain envelopes, hatched and
  // loop-recorded Parts, a snap point and crossfades on both sides, drawn
  // straight into the pixels and through GDI calls, at a row height with
  // waveforms and one without: the DC's pen, brush, font, text colour and
  // background mode and colour are those it held before, whatever they
  // were.
  ASSERT_EQ(ArrLoadLocatorImages(GetModuleHandleA(nullptr)), 1);
  const uint32_t mid = CrossfadedBothWays(5);
  ArrPart(CurArr, Add(4, 20000, 60000, audioTake, 3, 130, "Hatched"))->GainEnd = 20000;
  ArrPart(CurArr, Add(6, 20000, 60000, audioTake, 3, -193, "Loop"))->GainStart = 20000;
  ArrPart(CurArr, audio)->SnapPoint = 50000;
  ArrPart(CurArr, xb)->Flags |= kPartSelected;
  ShowPartVol = 1;
  HGDIOBJ pen = CreatePen(PS_DASH, 1, RGB(1, 2, 3)), brush = CreateHatchBrush(HS_CROSS, RGB(3, 2, 1));
  HGDIOBJ font = GetStockObject(SYSTEM_FIXED_FONT);
  for (const int rowHeight : {37, 12})
    for (const bool clipped : {false, true})
      for (const int mode : {OPAQUE, TRANSPARENT}) {
        SCOPED_TRACE(testing::Message() << rowHeight << " clipped " << clipped << " mode " << mode);
        arrwnd_test::ResetView(rowHeight, 1, kW, kH);
        Canvas c;
        if (clipped) {
          HRGN all = CreateRectRgn(0, 0, kW, kH);
          SelectClipRgn(c.dc, all);
          DeleteObject(all);
        }
        HGDIOBJ oldPen = SelectObject(c.dc, pen), oldBrush = SelectObject(c.dc, brush);
        HGDIOBJ oldFont = SelectObject(c.dc, font);
        SetBkMode(c.dc, mode);
        SetTextColor(c.dc, RGB(0x12, 0x34, 0x56));
        SetBkColor(c.dc, RGB(0x65, 0x43, 0x21));
        auto same = [&](const char* what) {
          EXPECT_EQ(GetBkMode(c.dc), mode) << what;
          EXPECT_EQ(GetTextColor(c.dc), RGB(0x12, 0x34, 0x56)) << what;
          EXPECT_EQ(GetBkColor(c.dc), RGB(0x65, 0x43, 0x21)) << what;
          EXPECT_EQ(GetCurrentObject(c.dc, OBJ_PEN), pen) << what;
          EXPECT_EQ(GetCurrentObject(c.dc, OBJ_BRUSH), brush) << what;
          EXPECT_EQ(GetCurrentObject(c.dc, OBJ_FONT), font) << what;
        };
        ArrPaintPartArea(c.dc, kW, kH);
        same("Part area");
        const DcHandle h = reinterpret_cast<DcHandle>(c.dc);
        for (int drawMode = 0; drawMode <= 3; ++drawMode) {
          for (const uint32_t slot : {audio, xa, xb, mid})
            ArrDrawPart(h, CurArr, slot, slot == audio ? 0 : slot == mid ? 5 : 3, 1, drawMode);
          same("Part");
        }
        ArrErasePart(h, CurArr, audio, 0, 0);
        same("erase");
        ArrPaintColumn(c.dc, kArrColumnWidth, kH);
        ArrDrawTrkHeader(c.dc, 0, 0);
        same("track column");
        ArrDrawBbtRuler(c.dc, ArrBbtGrid(), 1);
        ArrDrawTcRuler(c.dc, ArrTcGrid(), 1);
        ArrDrawBbtGrid(c.dc, ArrBbtGrid());
        ArrDrawTcGrid(c.dc, ArrTcGrid());
        const RECT band = {10, 100, 610, 120};
        ArrDrawBbtTicks(c.dc, ArrBbtGrid(), band);
        ArrDrawTcTicks(c.dc, ArrTcGrid(), band);
        same("ruler and grid");
        ArrDrawLocFlag(c.dc, 0, Locs().NowLoc, 0);
        DrawXorRect(c.dc, RECT{10, 50, 200, 90});
        same("locator and rubber band");
        SelectObject(c.dc, oldFont);
        SelectObject(c.dc, oldBrush);
        SelectObject(c.dc, oldPen);
      }
  DeleteObject(pen);
  DeleteObject(brush);
  ShowPartVol = 0;
  ArrFreeLocatorImages();
}

TEST_F(ArrWndTest, CloseViewWithoutDevicesDrawsTheOverview) {
  // No device reads samples here: the close view falls back to the Take's
  // overview, with its full-scale block at 51200 (interpolated towards its
  // neighbours, four columns to a block).
  ArrViewRec& v = ArrView();
  v.Hzoom = 128;
  v.CloseZoom = 1;
  ArrResizeCalc(v, kW, kH);
  Canvas c;
  ArrPaintPartArea(c.dc, kW, kH);
  const int centre = RowY(0, v.Vzoom / 2);
  bool peak = false;
  for (int x = X(100 * 512); x <= X(101 * 512) + 4; ++x) peak = peak || c.At(x, centre - 14) == 0;
  EXPECT_TRUE(peak);
  EXPECT_EQ(c.At(X(10000), centre - 14), TrkColors[0]);
  EXPECT_EQ(c.At(X(10000), centre - 3), 0u);
  EXPECT_EQ(v.SamplesDrawn, 0);
  EXPECT_EQ(v.WavesDeferred, 0);
}

TEST_F(ArrWndTest, PressInTheRulerSetsTheLocators) {
  HWND w = OpenWindow();
  ASSERT_NE(w, nullptr);
  Drag(w, 300, 5, 320, 5);
  EXPECT_EQ(Locs().LeftLoc, 320 * 512 - 44100);
  Drag(w, 400, 5, 410, 5, WM_RBUTTONDOWN, WM_RBUTTONUP);
  EXPECT_EQ(Locs().RightLoc, 410 * 512 - 44100);
}

// A click beside every Part while stopped moves the current position to
// the pointer, snapped to the grid but never back onto the current position
// itself; a band dragged from there selects instead.
// The locators' dashed lines keep their place on the screen: the pattern
// follows the frame's client origin, so a frame moved 3 pixels down shows
// the same dashes 3 pixels lower in the window's picture.
TEST_F(ArrWndTest, LocatorDashesFollowTheFramesScreenPosition) {
  ASSERT_NE(OpenWindow(), nullptr);
  HWND frame = ArrFrameWnd();
  const auto column = [&] {
    Canvas c;
    ArrPaintPartArea(c.dc, kW, kH);
    std::vector<uint32_t> pixels;
    for (int y = RowY(5, 0); y < RowY(5, 0) + 20; ++y) pixels.push_back(c.At(X(Locs().LeftLoc), y));
    return pixels;
  };
  const auto origin = [frame] {
    POINT p = {0, 0};
    ClientToScreen(frame, &p);
    return p;
  };
  EXPECT_EQ(ArrLocatorBrushOrigin().x, origin().x % 8);
  EXPECT_EQ(ArrLocatorBrushOrigin().y, origin().y % 8);
  const std::vector<uint32_t> before = column();
  EXPECT_NE(std::count(before.begin(), before.end(), before[0]), 20);  // dashed, not solid
  RECT r;
  GetWindowRect(frame, &r);
  SetWindowPos(frame, nullptr, r.left, r.top + 3, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  EXPECT_EQ(ArrLocatorBrushOrigin().y, origin().y % 8);
  const std::vector<uint32_t> after = column();
  for (size_t i = 3; i < after.size(); ++i) EXPECT_EQ(after[i], before[i - 3]) << i;
}

// A repaint while a band is dragged draws the band into the new picture:
// the next move erases it there instead of drawing it a second time.
TEST_F(ArrWndTest, ARepaintDuringADragKeepsItsFeedback) {
  HWND w = OpenWindow();
  ASSERT_NE(w, nullptr);
  const int top = RowY(6, 2), bottom = RowY(7, 2), lower = RowY(7, 10);
  SendMessageA(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, top));
  SendMessageA(w, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(300, bottom));
  ASSERT_EQ(ArrChild().RubberBand, 1);
  InvalidateRect(w, nullptr, FALSE);
  UpdateWindow(w);
  SendMessageA(w, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(250, lower));
  HDC dc = GetDC(w);
  EXPECT_EQ(GetPixel(dc, 280, bottom), 0xFFFFFFu);  // the band before: erased
  EXPECT_EQ(GetPixel(dc, 230, lower), 0u);          // the band now: inverted
  ReleaseDC(w, dc);
  SendMessageA(w, WM_LBUTTONUP, 0, MAKELPARAM(250, lower));
  EXPECT_EQ(ArrChild().RubberBand, 0);
}

// While the view follows the current position, a Part being moved stays
// under the pointer: it is dropped where the pointer stands on the time
// line after the view moved.
TEST_F(ArrWndTest, AMovedPartStaysUnderThePointerWhileTheViewFollows) {
  HWND w = OpenWindow();
  ASSERT_NE(w, nullptr);
  const int tool = ToolGet(1);
  ToolSelect(1, kToolMove);
  const int y = RowY(0, 20), x = X(100000);
  SendMessageA(w, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
  SendMessageA(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  SendMessageA(w, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x + 20, y));
  const int32_t before = ArrView().Origin;
  AutoScrollArrWnd = 1;
  Locs().NowLoc = 900 * 512 - 44100;
  SendMessageA(w, kArrMsgNowMoved, 0, 0);
  AutoScrollArrWnd = 0;
  const int32_t shift = ArrView().Origin - before;
  ASSERT_GT(shift, 0);
  ASSERT_EQ(shift % 512, 0);
  SendMessageA(w, WM_LBUTTONUP, 0, MAKELPARAM(x + 20, y));
  ToolSelect(1, tool);
  EXPECT_EQ(ArrPart(CurArr, audio)->Start, 20 * 512 + shift);
}

TEST_F(ArrWndTest, AClickBesideThePartsLocatesThere) {
  HWND w = OpenWindow();
  ASSERT_NE(w, nullptr);
  Settings().SnapEnable = 1;
  Settings().SnapMode = 17;  // the locators
  ASSERT_EQ(Locs().NowLoc, 650 * 512 - 44100);
  Drag(w, 655, RowY(6, 5), 655, RowY(6, 5));
  EXPECT_EQ(Locs().NowLoc, 655 * 512 - 44100);
  Drag(w, 690, RowY(6, 5), 690, RowY(6, 5));  // within 12 pixels of the right locator
  EXPECT_EQ(Locs().RightLoc, 700 * 512 - 44100);
  EXPECT_EQ(Locs().NowLoc, Locs().RightLoc);
  Drag(w, 100, RowY(6, 5), 120, RowY(7, 5));
  EXPECT_EQ(Locs().NowLoc, Locs().RightLoc);
  Settings().SnapEnable = 0;
}

TEST_F(ArrWndTest, MouseDragsEndInTheirOperationAndOneUndoStep) {
  HWND w = OpenWindow();
  ASSERT_NE(w, nullptr);
  // The Parts' places (a click selects before the step is recorded, so the
  // selection bits are left out).
  auto places = [] {
    std::vector<int64_t> out;
    ArrForEachPart(CurArr, [&](uint32_t track, uint32_t slot, const PartRec& p) {
      out.insert(out.end(), {track, slot, p.Start, p.Offset, p.Length});
    });
    return out;
  };
  std::vector<int64_t> before = places();
  auto undoRestores = [&]() {
    EXPECT_EQ(UndoGetLevel(), 1u);
    EXPECT_EQ(UndoApply(0), 1);
    EXPECT_EQ(places(), before);
  };
  const int ym = RowY(0, 25);
  // Move: 20 pixels right and one row down.
  ToolSelect(1, kToolMove);
  Drag(w, X(100000), ym, X(100000) + 20, RowY(5, 25));
  {
    const PartRec& p = *ArrPart(CurArr, audio);
    EXPECT_EQ(p.Start, 20 * 512);
    EXPECT_EQ(ArrTrackOfPart(CurArr, audio), 5);
  }
  undoRestores();
  // Move by the keys: once keyed the drag leaves the pointer and its row;
  // three Rights and a Left move the Part two samples on its own track.
  SendMessageA(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(X(100000), ym));
  SendMessageA(w, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(X(100000) + 30, RowY(4, 25)));
  for (WPARAM k : {VK_RIGHT, VK_RIGHT, VK_RIGHT, VK_LEFT}) SendMessageA(w, WM_KEYDOWN, k, 0);
  SendMessageA(w, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(X(100000) + 60, RowY(5, 25)));
  SendMessageA(w, WM_LBUTTONUP, 0, MAKELPARAM(X(100000) + 60, RowY(5, 25)));
  EXPECT_EQ(ArrPart(CurArr, audio)->Start, 2);
  EXPECT_EQ(ArrTrackOfPart(CurArr, audio), 0);
  undoRestores();
  // Copy: the source stays, a copy lands 40 pixels on.
  ToolSelect(1, kToolCopy);
  Drag(w, X(100000), ym, X(100000) + 40, ym);
  EXPECT_EQ(ArrPart(CurArr, audio)->Start, 0);
  int copies = 0;
  ArrForEachTrackPart(CurArr, 0, [&](uint32_t, const PartRec& p) { copies += p.Start == 40 * 512; });
  EXPECT_EQ(copies, 1);
  undoRestores();
  // Trim: the start edge 10 pixels later; the Take offset follows.
  ToolSelect(1, kToolTrim);
  Drag(w, X(0) + 1, ym, X(0) + 11, ym);
  {
    const PartRec& p = *ArrPart(CurArr, audio);
    EXPECT_EQ(p.Start, 10 * 512);
    EXPECT_EQ(p.Offset, p.Start);
    EXPECT_EQ(p.Length, 200000 - p.Start);
  }
  undoRestores();
  // Trim by the keys: the drag leaves the pointer; two Rights, one Left.
  SendMessageA(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(X(0) + 1, ym));
  for (WPARAM k : {VK_RIGHT, VK_RIGHT, VK_LEFT, VK_RIGHT}) SendMessageA(w, WM_KEYDOWN, k, 0);
  SendMessageA(w, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(X(0) + 30, ym));
  SendMessageA(w, WM_LBUTTONUP, 0, MAKELPARAM(X(0) + 30, ym));
  EXPECT_EQ(ArrPart(CurArr, audio)->Start, 2);
  EXPECT_EQ(ArrPart(CurArr, audio)->Offset, 2);
  undoRestores();
  // Slip: the Take offset moves under a Part that stays in place (first
  // trimmed so that the Take has room before it).
  ArrPart(CurArr, audio)->Offset = 50000;
  before = places();
  ToolSelect(1, kToolSlip);
  Drag(w, X(100000), ym, X(100000) - 10, ym);
  EXPECT_EQ(ArrPart(CurArr, audio)->Start, 0);
  EXPECT_NE(ArrPart(CurArr, audio)->Offset, 50000);
  undoRestores();
  // Slip by the keys: Left from distance 0 starts a leftward slip (the Take
  // offset grows by one sample per key).
  SendMessageA(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(X(100000), ym));
  for (int i = 0; i < 3; ++i) SendMessageA(w, WM_KEYDOWN, VK_LEFT, 0);
  SendMessageA(w, WM_LBUTTONUP, 0, MAKELPARAM(X(100000) + 40, ym));
  EXPECT_EQ(ArrPart(CurArr, audio)->Offset, 50003);
  undoRestores();
  // Volume: dragged down from the middle of the Part both gains fall; from
  // its start only the start gain; above unity a gain stays at unity.
  before = places();
  ToolSelect(1, kToolGainDrag);
  Drag(w, X(100000), ym, X(100000), ym + 6);
  {
    const PartRec& p = *ArrPart(CurArr, audio);
    EXPECT_LT(p.GainStart, 32768u);
    EXPECT_EQ(p.GainEnd, p.GainStart);
  }
  undoRestores();
  EXPECT_EQ(ArrPart(CurArr, audio)->GainStart, 32768u);
  Drag(w, X(0) + 2, ym, X(0) + 2, ym + 6);
  EXPECT_LT(ArrPart(CurArr, audio)->GainStart, 32768u);
  EXPECT_EQ(ArrPart(CurArr, audio)->GainEnd, 32768u);
  undoRestores();
  Drag(w, X(100000), ym, X(100000), ym - 10);
  EXPECT_EQ(ArrPart(CurArr, audio)->GainStart, 32768u);
  EXPECT_EQ(UndoGetLevel(), 0u);
  // A move dragged past the right edge scrolls the view by a quarter span
  // on each tick; released outside the area it moves nothing.
  ToolSelect(1, kToolMove);
  const int32_t origin = ArrView().Origin;
  SendMessageA(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(X(100000), ym));
  SendMessageA(w, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(kW + 20, ym));
  SendMessageA(w, kArrMsgAutoScroll, 0, 0);
  EXPECT_EQ(ArrView().Origin, origin + ArrView().Span / 4);
  SendMessageA(w, WM_LBUTTONUP, 0, MAKELPARAM(kW + 20, ym));
  EXPECT_EQ(ArrPart(CurArr, audio)->Start, 0);
  EXPECT_EQ(UndoGetLevel(), 0u);
  ArrView().Origin = origin;
  // Rubber band from empty space: selects the Parts it touches, no undo step.
  ToolSelect(1, kToolMove);
  Drag(w, X(-30000), RowY(0, 2), X(50000), RowY(2, 30));
  int selected = 0;
  ArrForEachPart(CurArr, [&](uint32_t, uint32_t, const PartRec& p) { selected += (p.Flags & kPartSelected) != 0; });
  EXPECT_EQ(selected, 3);
  EXPECT_EQ(UndoGetLevel(), 0u);
}

TEST_F(ArrWndTest, MoveOutlineStandsWhereTheReleasePutsThePart) {
  // With bar snapping the outline of a Part dragged 170 pixels on jumps to
  // the bar the release moves it to, not to the pointer.
  HWND w = OpenWindow();
  ASSERT_NE(w, nullptr);
  Settings().SnapEnable = 1;
  Settings().SnapMode = kSnapBar;
  const int32_t length = ArrPart(CurArr, audio)->Length;
  const int32_t snapped = SnapLoc(170 * 512, length, 0, CurArr, CurMrkList, 0, 0);
  ASSERT_NE(snapped, 170 * 512);
  ToolSelect(1, kToolMove);
  const int ym = RowY(0, 25);
  SendMessageA(w, WM_MOUSEMOVE, 0, MAKELPARAM(X(100000), ym));
  SendMessageA(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(X(100000), ym));
  SendMessageA(w, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(X(100000) + 170, ym));
  const int shown = ArrChild().LastMoveX;
  SendMessageA(w, WM_LBUTTONUP, 0, MAKELPARAM(X(100000) + 170, ym));
  EXPECT_EQ(ArrPart(CurArr, audio)->Start, snapped);
  EXPECT_EQ(shown, X(snapped) - X(0));
  Settings().SnapEnable = 0;
}

TEST_F(ArrWndTest, DraggedMarkerKeepsItsDistanceFromThePointer) {
  // Pressed on its name 30 pixels right of its flag, marker 1 moves with
  // the pointer by 50 pixels (not to the pointer), as one undo step.
  HWND w = OpenWindow();
  ASSERT_NE(w, nullptr);
  const ArrViewRec& v = ArrView();
  ASSERT_GT(v.TopHeight, kArrRulerHeight + 8);
  const int32_t was = MrkGetLoc(CurMrkList, 1);
  const int x = X(was) + 30, y = kArrRulerHeight + 6;
  ASSERT_EQ(ArrMrkBarHit(x, y), 1u);
  Drag(w, x, y, x + 50, y);
  EXPECT_EQ(MrkGetLoc(CurMrkList, 1), ArrPosOfX(v, X(was) + 50));
  EXPECT_EQ(UndoGetLevel(), 1u);
  EXPECT_EQ(UndoApply(0), 1);
  EXPECT_EQ(MrkGetLoc(CurMrkList, 1), was);
}

TEST_F(ArrWndTest, TrackColumnSelectsTracksByTheirNames) {
  ASSERT_NE(OpenWindow(), nullptr);
  HWND col = ArrColumnWnd();
  ASSERT_NE(col, nullptr);
  SendMessageA(col, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, RowY(2, 5)));
  SendMessageA(col, WM_LBUTTONUP, 0, MAKELPARAM(5, RowY(2, 5)));
  EXPECT_TRUE(CurArr->Trk[2].Flags & kTrkSelected);
  EXPECT_FALSE(CurArr->Trk[0].Flags & kTrkSelected);
  Canvas c;
  ArrPaintColumn(c.dc, kArrColumnWidth, kH);
  EXPECT_EQ(c.At(2, RowY(2, 2)), 0x808080u);  // a selected track's label is grey
  // A press on a track without a record track clears the selection.
  SendMessageA(col, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, RowY(7, 5)));
  SendMessageA(col, WM_LBUTTONUP, 0, MAKELPARAM(5, RowY(7, 5)));
  EXPECT_FALSE(CurArr->Trk[2].Flags & kTrkSelected);
}

TEST_F(ArrWndTest, SettingsAreReadWithTheirClamps) {
  const std::string ini = (dir / "HRLMixerDef.INI").string();
  SetMainIniPath(ini.c_str());
  WriteIniValue(ini.c_str(), IDS_INI_SEC_ARRANGE_WND, IDS_INI_KEY_HZOOM, "%d", 1000);
  WriteIniValue(ini.c_str(), IDS_INI_SEC_ARRANGE_WND, IDS_INI_KEY_VZOOM, "%d", 500);
  WriteIniValue(ini.c_str(), IDS_INI_SEC_ARRANGE_WND, IDS_INI_KEY_MRK_BAR, "%d", 7);
  WriteIniValue(ini.c_str(), IDS_INI_SEC_ARRANGE_WND, IDS_INI_KEY_COLORS, "%s", "255");
  WriteIniValue(ini.c_str(), IDS_INI_SEC_ARRANGE_WND, IDS_INI_KEY_INFO_TOOL, "%s", "0 1");
  WriteIniValue(ini.c_str(), IDS_INI_SEC_ARRANGE_WND, IDS_INI_KEY_CSE_TOOLS5, "%s", "22 22");
  ReadArrZoomCfg();
  LoadCseToolSets();
  ReadInfoToolCfg();
  const ArrViewRec& v = ArrView();
  EXPECT_EQ(v.Hzoom, 512);
  EXPECT_EQ(v.Vzoom, 413);
  EXPECT_EQ(v.MrkBar, 1);
  EXPECT_EQ(v.TopHeight, 33);
  EXPECT_EQ(v.Color[0], 255u);
  EXPECT_EQ(v.Color[1], 0xE0E0E0u);
  EXPECT_EQ(v.Color[2], 0xFFFFFFu);
  EXPECT_EQ(InfoUpdateAllNames, 0);
  EXPECT_EQ(InfoAppendSpeakerExt, 1);
  EXPECT_EQ(InfoUpdateTakeNames, 0);
  // Key "CSE Tools5" holds set 2: its zones 0 and 1 become 22, the rest 43.
  EXPECT_EQ(CseTools[2][0], 22);
  EXPECT_EQ(CseTools[2][2], 43);
  EXPECT_EQ(CseTools[2][12], 22);
  CseNormalize(2, kCseDefaultTools[2]);
  std::copy(kCseDefaultTools[2], kCseDefaultTools[2] + kCseEntries, CseTools[2]);
  SetMainIniPath("");
}

TEST_F(ArrWndTest, ZoomButtonsAndScrollBarsChangeTheView) {
  HWND w = OpenWindow();
  ASSERT_NE(w, nullptr);
  HWND frame = ArrFrameWnd();
  const int32_t h = ArrView().Hzoom;
  SendMessageA(frame, kArrMsgBtnLeftDown, kArrHZoomOut, 0);
  SendMessageA(frame, kArrMsgBtnLeftUp, kArrHZoomOut, 0);
  EXPECT_EQ(ArrView().Hzoom, 2 * h);
  SendMessageA(frame, kArrMsgBtnLeftDown, kArrVZoomIn, 0);
  EXPECT_EQ(ArrView().Vzoom, ArrRowHeightUp(37));
  SendMessageA(frame, WM_VSCROLL, SB_LINEDOWN, 0);
  EXPECT_EQ(ArrView().FirstTrack, 1);
  SendMessageA(frame, WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0);
  EXPECT_EQ(ArrView().FirstTrack, 0);
  // Rectangular zoom: the button on, a band dragged, the view fits it and
  // the button goes off; pressed again with the left button, the view
  // before comes back.
  const ArrViewRec saved = ArrView();
  SendMessageA(frame, kArrMsgBtnLeftDown, kArrRectZoom, 0);
  EXPECT_EQ(ArrRectZoomOn(), 1);
  Drag(w, 100, RowY(0, 2), 300, RowY(2, 2));
  EXPECT_EQ(ArrRectZoomOn(), 0);
  EXPECT_LT(ArrView().Hzoom, saved.Hzoom);
  SendMessageA(frame, kArrMsgBtnLeftDown, kArrRectZoom, 0);
  SendMessageA(frame, kArrMsgBtnLeftDown, kArrRectZoom, 0);
  EXPECT_EQ(ArrView().Hzoom, saved.Hzoom);
  EXPECT_EQ(ArrView().Origin, saved.Origin);
}

// The frame as other windows drive it. The menu checks of the marker bar
// and the grid sit in the main frame's menu, whether the arrange window is
// open or not, from the start-up settings on; a vertical thumb position
// comes with the message (the control surface sends it); the Rectangular
// Zoom button shows the zoom cursor whatever tool the left button holds;
// the caption names the tempo map's file while one is active.
TEST_F(ArrWndTest, FrameAnswersOtherSendersAndKeepsTheMainMenuChecks) {
  HMENU menu = CreateMenu();
  AppendMenuA(menu, MF_STRING, 42305, "Marker Bar");
  AppendMenuA(menu, MF_STRING, 42306, "Grid");
  HWND main = CreateWindowExA(0, "STATIC", "main", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, menu,
                              GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(main, nullptr);
  WndTable[kMainWnd] = main;
  const auto checked = [menu](UINT id) { return (GetMenuState(menu, id, MF_BYCOMMAND) & MF_CHECKED) != 0; };
  const std::string ini = (dir / "HRLMixerDef.INI").string();
  SetMainIniPath(ini.c_str());
  WriteIniValue(ini.c_str(), IDS_INI_SEC_ARRANGE_WND, IDS_INI_KEY_MRK_BAR, "%d", 1);
  WriteIniValue(ini.c_str(), IDS_INI_SEC_ARRANGE_WND, IDS_INI_KEY_GRID, "%d", 1);
  ReadArrZoomCfg();
  SetMainIniPath("");
  EXPECT_TRUE(checked(42305));
  EXPECT_TRUE(checked(42306));
  EXPECT_EQ(ArrSetGrid(2), 0);
  EXPECT_FALSE(checked(42306));
  EXPECT_EQ(ArrSetMrkBar(0), 0);
  EXPECT_FALSE(checked(42305));
  arrwnd_test::ResetView(37, 1, kW, kH);

  HWND w = OpenWindow();
  ASSERT_NE(w, nullptr);
  HWND frame = ArrFrameWnd();
  SendMessageA(frame, WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 40), 0);
  EXPECT_EQ(ArrView().FirstTrack, 40);
  SendMessageA(frame, WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, 12), 0);
  EXPECT_EQ(ArrView().FirstTrack, 12);

  const int tool = ToolGet(1);
  ToolSelect(1, kToolContext);
  HCURSOR zoom = LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(400));
  ASSERT_NE(zoom, nullptr);
  SendMessageA(frame, kArrMsgBtnLeftDown, kArrRectZoom, 0);
  EXPECT_EQ(ArrCurrentCursor(), zoom);
  SendMessageA(frame, kArrMsgBtnLeftDown, kArrRectZoom, 0);
  EXPECT_EQ(ArrCurrentCursor(), LoadCursorA(nullptr, IDC_ARROW));
  ToolSelect(1, tool);

  std::snprintf(Folders[kFolderMidi], sizeof Folders[kFolderMidi], "C:\\Music\\Song.mid");
  TempoMap = TempoMapNew();
  ASSERT_NE(TempoMap, nullptr);
  ArrUpdateCaption();
  char caption[256] = "";
  GetWindowTextA(frame, caption, sizeof caption);
  const std::string text = caption;
  EXPECT_EQ(text.rfind("Arrange - ", 0), 0u) << text;
  EXPECT_NE(text.find(" - Song.mid (Tempo map)"), std::string::npos) << text;
  TempoMapFree(TempoMap);
  TempoMap = nullptr;
  Folders[kFolderMidi][0] = '\0';
  ArrUpdateCaption();

  DestroyWindow(frame);
  EXPECT_EQ(ArrSetGrid(1), 1);  // no arrange window: the check still follows
  EXPECT_TRUE(checked(42306));
  ArrSetGrid(0);
  WndTable[kMainWnd] = nullptr;
  DestroyWindow(main);
}

TEST_F(ArrWndTest, PicturesAtTwoZoomLevels) {
  HWND w = OpenWindow();
  ASSERT_NE(w, nullptr);
  HWND frame = ArrFrameWnd();
  const std::string close = hrl_test::ShotPath("arrange_close");
  const std::string wide = hrl_test::ShotPath("arrange_wide");
  if (close.empty()) GTEST_SKIP() << "HRL_SHOT is not set";
  EXPECT_TRUE(hrl_test::SaveWindowShot(frame, close, hrl_test::ShotFrom::kWindow));
  ArrZoomH(4096, Locs().NowLoc, 0);
  ArrZoomV(17, 0, 0);
  EXPECT_TRUE(hrl_test::SaveWindowShot(frame, wide, hrl_test::ShotFrom::kWindow));
}

}  // namespace
