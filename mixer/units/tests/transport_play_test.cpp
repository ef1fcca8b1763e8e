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

#include "mixer/arrange/arrview.h"
#include "mixer/model/arr.h"
#include "mixer/model/arrheap.h"
#include "mixer/model/marker.h"
#include "mixer/arrange/services.h"
#include "mixer/model/options.h"
#include "mixer/model/recready.h"
#include "mixer/model/settings.h"
#include "mixer/model/take.h"
#include "mixer/model/takeattr.h"
#include "mixer/model/takeio.h"
#include "mixer/model/undo.h"
#include "mixer/units/natlink.h"
#include "mixer/units/services.h"
#include "mixer/units/tests/wavdata.h"
#include "mixer/units/transportbar.h"
#include "mixer/units/win32/transportbar_win.h"
#include "native/qvNatRec/fade.h"
#include "tests/win32/shot.h"
#include "mixer/units/tests/arrplay.h"

namespace fs = std::filesystem;

// The main frame's services that the unit binding and the dialogs reach;
// this test opens no units and shows no dialog.
int FatalDspError(HANDLE, int code) {
  ADD_FAILURE() << "fatal DSP error " << code;
  return 0;
}
void* MainAccelTable() { return nullptr; }

namespace {

using namespace arrplay;

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
  fs::path root;
  std::string wav;
  HMODULE sim = nullptr;
};

TEST_F(TransportPlay, PlayAndStopCaptureTheArrangementSampleExactly) {
  std::vector<int32_t> words[2];
  TakeRec* takes[2] = {MakeTake(ModelDir(root), 0, kTakeSamples, &words[0]),
                       MakeTake(ModelDir(root), 1, kTakeSamples, &words[1])};
  ASSERT_TRUE(takes[0] && takes[1]);
  CurArr = MakeArr(takes);
  ASSERT_NE(CurArr, nullptr);

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
  // The arrange view at close zoom, drawn from samples before the play
  // and from overviews during it.
  ArrViewRec& view = ArrView();
  const ArrViewRec savedView = view;
  view.CloseZoom = 1;
  view.SamplesDrawn = 1;
  view.WavesDeferred = 1;
  TransportCommand(3);  // Stop, as the menu's Stop runs it
  TransportCommand(5);
  EXPECT_EQ(TransportState(), kTransportStopped);
  EXPECT_GE(Locs().NowLoc, kSpan) << "stop leaves the now position where play stopped";
  // The stop refreshes the arrange window as after a locate: the waveforms
  // owed to the samples are repainted, and none counts as drawn from them.
  EXPECT_EQ(view.WavesDeferred, 0);
  EXPECT_EQ(view.SamplesDrawn, 0);
  view = savedView;
  EXPECT_NE(FieldText(bar, kFieldNowTimecode), "00:00:00:00") << "the stop position is shown";
  DestroyWindow(frame);

  // The capture is written once every stream has stopped.
  std::vector<int32_t> played;
  for (int i = 0; i < 300 && played.size() < static_cast<size_t>(kSpan); ++i) {
    Sleep(10);
    played = ReadWavData(wav);
  }
  ASSERT_GE(played.size(), static_cast<size_t>(kSpan));

  EXPECT_EQ(Mismatches(played, Reference(words)), 0u);
}

// Record pressed on the program's transport with record track 1 armed on
// Virtual Track 2: the record pass lays a Part over a Take made ahead in the
// record folder and directs track 1's recording into it while the transport
// runs; Stop leaves the Part playing channel 1, ending where the recording
// stopped, its Take as long as the Part. (The simulated machine feeds the
// recorder no input, so the stop's wait for the last audio ends on the
// recorder standing still.)
TEST_F(TransportPlay, RecordLaysTheNewPartAndStopSettlesIt) {
  std::vector<int32_t> words[2];
  TakeRec* takes[2] = {MakeTake(ModelDir(root), 0, kTakeSamples, &words[0]),
                       MakeTake(ModelDir(root), 1, kTakeSamples, &words[1])};
  ASSERT_TRUE(takes[0] && takes[1]);
  CurArr = MakeArr(takes);
  ASSERT_NE(CurArr, nullptr);
  const fs::path recDir = root / "rec";
  fs::create_directories(recDir);
  const NatDiskCallbacks disk = {TakeReadSamples, TakeWriteSamples};
  ASSERT_EQ(NatDevOpenAll(128, &disk), 1);
  TransportCommand(3);  // the program's transport bound and stopped
  TransportCommand(5);
  ProcSetFolder(ModelDir(recDir).c_str());
  uint32_t error = 0;
  CurMrkList = MrkListNew(&error);  // the undo step keeps the markers too
  ASSERT_NE(CurMrkList, nullptr);
  CurArr->Trk[2].RecTrack = 1;
  CurArr->Trk[2].RecKind = kRecKindAudio;
  RecTrkSetState(kRecKindAudio, 1, kRecTrkReady);
  Locs().NowLoc = 0;
  Locs().LeftLoc = 0;
  Locs().RightLoc = 96000;
  RebuildAndPrepPlayLists(CurArr, 0);

  TransportCommand(15);  // Record, as the menu's Record runs it
  ASSERT_EQ(TransportState(), kTransportRecording);
  std::vector<PartRec> laid;
  ArrForEachTrackPart(CurArr, 2, [&](uint32_t, const PartRec& p) { laid.push_back(p); });
  ASSERT_EQ(laid.size(), 1u);
  EXPECT_EQ(laid[0].PlayChannel, -1);
  EXPECT_EQ(laid[0].TakeKind, kTakeAudio);
  for (int i = 0; i < 2000 && GetCurrentLoc() < 24000; ++i) Sleep(10);
  TransportCommand(3);  // Stop
  TransportCommand(5);
  EXPECT_EQ(TransportState(), kTransportStopped);

  laid.clear();
  ArrForEachTrackPart(CurArr, 2, [&](uint32_t, const PartRec& p) { laid.push_back(p); });
  ASSERT_EQ(laid.size(), 1u);
  EXPECT_EQ(laid[0].PlayChannel, 1);
  EXPECT_EQ(laid[0].Start, 0);
  EXPECT_GE(laid[0].Length, 24000);
  EXPECT_LT(laid[0].Length, 96000);
  TakeRec* take = TakeFromRef(laid[0].Take);
  ASSERT_NE(take, nullptr);
  EXPECT_EQ(TakeGetAttr(take, kTakeAttrLength), static_cast<uint64_t>(laid[0].Length));
  size_t files = 0;
  for (const auto& e : fs::directory_iterator(recDir)) files += e.is_regular_file() ? 1 : 0;
  EXPECT_EQ(files, 1u);
  RecTrkSetState(kRecKindAudio, 1, kRecTrkAbsent);
  UndoForgetAll();
  MrkHeap.Free(CurMrkList);
  CurMrkList = nullptr;
}

}  // namespace
