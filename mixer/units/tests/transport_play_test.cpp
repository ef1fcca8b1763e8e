// Play pressed on the program's transport: an arrangement of Takes on disk
// is compiled to play lists, sent through qvNatDev.dll to qvNatRec.dll, the
// transport's Play and Stop commands run as the menu runs them, and what the
// recorder played is captured by the simulated machine (QvSim.dll) into a
// WAV file. The capture must equal, sample for sample, the sound computed
// here from the Parts' gains.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "mixer/model/arr.h"
#include "mixer/model/arrheap.h"
#include "mixer/model/options.h"
#include "mixer/model/settings.h"
#include "mixer/model/take.h"
#include "mixer/model/takeattr.h"
#include "mixer/model/takeio.h"
#include "mixer/units/natlink.h"
#include "mixer/units/services.h"
#include "mixer/units/tests/wavdata.h"
#include "mixer/units/transportbar.h"
#include "mixer/units/win32/transportbar_win.h"
#include "native/qvNatRec/fade.h"
#include "tests/win32/shot.h"

namespace fs = std::filesystem;

// The main frame's services that the unit binding and the dialogs reach;
// this test opens no units and shows no dialog.
int FatalDspError(HANDLE, int code) {
  ADD_FAILURE() << "fatal DSP error " << code;
  return 0;
}
void* MainAccelTable() { return nullptr; }

namespace {

constexpr int64_t kUnity = -0x800000;

std::string ModelDir(const fs::path& p) {
  std::string s = p.string();
  for (char& c : s)
    if (c == '/') c = '\\';
  return s + "\\";
}

// The bar's pixels as it draws itself, top-down rows of 0x00RRGGBB; saved as
// a BMP when HRL_BAR_SHOT names a file.
std::vector<uint32_t> Snapshot(HWND wnd, int* width, int* height) {
  RECT r;
  GetClientRect(wnd, &r);
  *width = r.right;
  *height = r.bottom;
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = *width;
  bi.bmiHeader.biHeight = -*height;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(dc, bmp);
  PrintWindow(wnd, dc, PW_CLIENTONLY);
  GdiFlush();
  std::vector<uint32_t> px(static_cast<uint32_t*>(bits), static_cast<uint32_t*>(bits) + *width * *height);
  char shot[MAX_PATH];
  if (GetEnvironmentVariableA("HRL_BAR_SHOT", shot, sizeof shot) > 0)
    hrl_test::WriteBmp(shot, bi.bmiHeader, px.data(), px.size() * 4);
  SelectObject(dc, old);
  DeleteObject(bmp);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  return px;
}

std::string FieldText(HWND bar, int id) {
  char text[64] = {};
  GetDlgItemTextA(bar, id, text, sizeof text);
  return text;
}

// A Part's recorder level: unity -0x800000, the sign turned when inverted.
int64_t Level(uint32_t gain, bool inverted) { return (inverted ? 1 : -1) * int64_t{gain} * 256; }
int32_t Apply(int32_t sample, int64_t level) {
  return static_cast<int32_t>(std::clamp<int64_t>(int64_t{sample} * level / kUnity, INT32_MIN, INT32_MAX));
}

struct PartSpec {
  uint32_t track;
  int32_t channel, start, length, offset;
  uint32_t gain;
  bool inverted;
  int take;
};

class TransportPlay : public ::testing::Test {
 protected:
  void SetUp() override {
    root = fs::temp_directory_path() / ("hrl-transport-play-" + std::to_string(GetCurrentProcessId()));
    fs::remove_all(root);
    fs::create_directories(root);
    wav = (root / "capture.wav").string();
    SetEnvironmentVariableA("QVSIM_CAPTURE_WAV", wav.c_str());
    SetEnvironmentVariableA("QVSIM_CAPTURE_TRACKS", "4");
    sim = LoadLibraryA("QvSim.dll");
    ASSERT_NE(sim, nullptr);
    ASSERT_EQ(TakeStoreOpen(), 1);
    Settings().SampleRate = 48000;
  }
  void TearDown() override {
    NatDevCloseAll();
    if (CurArr) ArrHeap.Free(CurArr);
    CurArr = nullptr;
    TakeStoreClose();
    std::error_code ec;
    fs::remove_all(root, ec);
  }
  // A 16-bit Take of a ramp-like signal, and the words the recorder reads.
  TakeRec* MakeTake(int k, uint32_t n, std::vector<int32_t>* words) {
    std::vector<int16_t> v(n);
    for (uint32_t i = 0; i < n; ++i)
      v[i] = static_cast<int16_t>(static_cast<int32_t>((i * (k == 0 ? 7919u : 104729u)) % 60001u) - 30000);
    uint32_t error = 0;
    TakeRec* t = TakeCreateAudio(ModelDir(root).c_str(), 2, n, 0, 48000, 0, 1, ("T" + std::to_string(k)).c_str(),
                                 "", nullptr, nullptr, &error);
    EXPECT_NE(t, nullptr) << error;
    EXPECT_EQ(TakeDataIo(t, 1, 0, n * 2, v.data(), &error), 1);
    words->assign(n, 0);
    std::vector<uint8_t> scratch(n * 3);
    EXPECT_EQ(TakeReadSamples(t, 0, static_cast<int32_t>(n), reinterpret_cast<uint32_t*>(words->data()), n, 0,
                              scratch.data()),
              1);
    return t;
  }
  fs::path root;
  std::string wav;
  HMODULE sim = nullptr;
};

TEST_F(TransportPlay, PlayAndStopCaptureTheArrangementSampleExactly) {
  std::vector<int32_t> words[2];
  TakeRec* takes[2] = {MakeTake(0, 30000, &words[0]), MakeTake(1, 30000, &words[1])};
  ASSERT_TRUE(takes[0] && takes[1]);
  const PartSpec parts[] = {
      {0, 1, 1000, 12000, 0, 16384, false, 0},   // half gain on output 1
      {1, 2, 6000, 10000, 100, 24576, false, 1},  // on output 2, overlapping in time
      {0, 1, 20000, 4000, 5000, 32768, true, 1},  // inverted, unity
  };
  CurArr = ArrNew(nullptr);
  ASSERT_NE(CurArr, nullptr);
  for (const PartSpec& s : parts) {
    PartRec p;
    std::memset(&p, 0, sizeof p);
    p.Start = s.start;
    p.Length = s.length;
    p.Offset = s.offset;
    p.Take = TakeRef(takes[s.take]);
    p.TakeKind = kTakeAudio;
    p.PlayChannel = s.channel;
    p.GainStart = p.GainEnd = s.gain;
    if (s.inverted) p.Flags = kPartPhaseInvert;
    p.OverlapLink = p.XfadeInPartner = p.XfadeOutPartner = kArrNoLink;
    p.Next = kArrNoSlot;
    ASSERT_EQ(ArrInsertPart(&CurArr, p, nullptr, s.track, nullptr), 1);
  }
  ArrRelinkOverlaps(CurArr);
  constexpr int64_t kSpan = 24000 + 2000;

  const NatDiskCallbacks disk = {TakeReadSamples, TakeWriteSamples};
  ASSERT_EQ(NatDevOpenAll(128, &disk), 1);
  ASSERT_EQ(NatLinkDeviceCount(), 2) << "qvNatDev.dll and qvNatRec.dll beside the test";
  Locs().NowLoc = 0;
  RebuildAndPrepPlayLists(CurArr, 0);

  // The transport bar under a frame of its own shows the lamps and fields.
  HWND frame = CreateWindowA("STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 760, 60, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
  RegisterTapeTransWnd(GetModuleHandleA(nullptr));
  HWND bar = TransportBarCreate(frame);
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(FieldText(bar, kFieldNowTimecode), "00:00:00:00");
  EXPECT_EQ(FieldText(bar, kFieldNowBars), "0001.01.000");
  EXPECT_EQ(FieldText(bar, kFieldMeter), "04/04");
  EXPECT_EQ(FieldText(bar, kFieldTempo), "120.00");

  TransportCommand(13);  // Play, as the menu's Play runs it
  EXPECT_EQ(TransportState(), kTransportPlaying);
  {
    // The play lamp (the third) is lit green; the record lamp (the fourth)
    // is dark.
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    int w = 0, h = 0;
    const std::vector<uint32_t> px = Snapshot(bar, &w, &h);
    ASSERT_EQ(h, kTransportBarHeight);
    const auto at = [&](int x, int y) { return px[static_cast<size_t>(y * w + x)] & 0xFFFFFF; };
    EXPECT_EQ(at(4 + 2 * 38 + 4, 8), 0x00DC00u);
    EXPECT_EQ(at(4 + 3 * 38 + 4, 8), 0x404040u);
  }
  for (int i = 0; i < 2000 && GetCurrentLoc() < kSpan + 4800; ++i) Sleep(10);
  EXPECT_GE(GetCurrentLoc(), kSpan) << "the recorder's clock did not run";
  TransportCommand(3);  // Stop, as the menu's Stop runs it
  TransportCommand(5);
  EXPECT_EQ(TransportState(), kTransportStopped);
  EXPECT_GE(Locs().NowLoc, kSpan) << "stop leaves the now position where play stopped";
  EXPECT_NE(FieldText(bar, kFieldNowTimecode), "00:00:00:00") << "the stop position is shown";
  DestroyWindow(frame);

  // The capture is written once every stream has stopped.
  std::vector<int32_t> played;
  for (int i = 0; i < 300 && played.size() < static_cast<size_t>(kSpan); ++i) {
    Sleep(10);
    played = ReadWavData(wav);
  }
  ASSERT_GE(played.size(), static_cast<size_t>(kSpan));

  // Each Part ramps in over its first 32 samples and out over its last 32
  // at its level; the tracks add up.
  size_t mismatches = 0;
  for (int64_t t = 0; t < kSpan; ++t) {
    int64_t sum = 0;
    for (const PartSpec& s : parts) {
      if (t < s.start || t >= s.start + s.length) continue;
      const int64_t at = t - s.start;
      const int32_t sample = words[s.take][static_cast<size_t>(s.offset + at)];
      int64_t level = Level(s.gain, s.inverted);
      if (at < 32) level = level * kFadeRampTable[32 + at] / 32768;
      else if (at >= s.length - 32) level = level * kFadeRampTable[at - (s.length - 32)] / 32768;
      sum += Apply(sample, level);
    }
    const auto want = static_cast<int32_t>(std::clamp<int64_t>(sum, INT32_MIN, INT32_MAX));
    if (played[static_cast<size_t>(t)] != want && ++mismatches <= 10)
      ADD_FAILURE() << "sample " << t << ": played " << played[static_cast<size_t>(t)] << ", expected " << want;
  }
  EXPECT_EQ(mismatches, 0u);
  size_t nonzero = 0, first = 0;
  for (size_t i = 0; i < played.size(); ++i)
    if (played[i] != 0 && nonzero++ == 0) first = i;
}

}  // namespace
