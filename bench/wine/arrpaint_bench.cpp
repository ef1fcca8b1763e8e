// Painting the arrange Part area into a memory bitmap: 64 visible tracks
// holding 2048 visible Audio Parts with waveform overviews, a marker strip,
// the time ruler and grid lines. Prints each run and the median in
// milliseconds (one frame is 16 ms).  Usage: arrpaint_bench [runs]
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "mixer/arrange/arrzoom.h"
#include "mixer/arrange/win32/arrwnd.h"
#include "mixer/model/arr.h"
#include "mixer/model/marker.h"
#include "mixer/model/settings.h"
#include "mixer/model/take.h"
#include "mixer/model/takeattr.h"
#include "mixer/model/trkcolors.h"
#include "mixer/model/win32/draw.h"
#include "mixer/model/wvf.h"
#include "mixer/model/wvfcache.h"
#include "mixer/shell/win32/settings.h"

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
  constexpr int kW = 1600, kTracks = 64, kPerTrack = 32;
  char dir[MAX_PATH];
  GetTempPathA(MAX_PATH, dir);
  std::snprintf(Folders[kFolderWvForm], sizeof Folders[kFolderWvForm], "%s", dir);
  if (TakeStoreOpen() != 1) return 1;
  CurArr = ArrNew(nullptr);
  CurMrkList = MrkListNew(nullptr);
  Settings().SampleRate = 44100;
  ReadTrkColors();
  // One Take of 60 s with an overview; every Part plays a stretch of it.
  TakeImage image{};
  std::snprintf(image.path, sizeof image.path, "C:\\Takes\\Bench.ATAK");
  image.kind = 3;
  image.word4 = 2;
  image.word1 = 60 * 44100;
  image.dataEnd = image.word1 * 2;
  TakeRec* take = TakeAlloc(image);
  char path[MAX_PATH];
  std::snprintf(path, sizeof path, "%s", Folders[kFolderWvForm]);
  const uint32_t entries = WvfEntryCount(image.word1);
  std::vector<uint8_t> bytes(kWvfHeaderSize + 4 * entries);
  WvfEncodeHeader(take->id.Bytes, entries, bytes.data());
  for (uint32_t b = 0; b < entries; ++b) {
    const WvfEntry e{static_cast<int16_t>((b * 977) % 30000), static_cast<int16_t>(-static_cast<int>((b * 613) % 30000))};
    WvfEncodeEntries(&e, 1, &bytes[kWvfHeaderSize + 4 * b]);
  }
  if (!WvfCacheName(take, path, sizeof path)) return 1;
  if (FILE* f = std::fopen(path, "wb")) {
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }
  TakeSetAttr(take, kTakeAttrWaveExists, 1, nullptr);
  // "nowave" as the second argument measures the Parts without waveforms:
  // the overview is looked for in a folder that does not exist.
  if (argc > 2 && std::string(argv[2]) == "nowave") {
    std::snprintf(Folders[kFolderWvForm], sizeof Folders[kFolderWvForm], "C:\\no such folder\\");
    TakeSetAttr(take, kTakeAttrWaveExists, 0, nullptr);
  }

  ArrViewRec& v = ArrView();
  v.Hzoom = 512;
  v.Vzoom = 17;
  v.Grid = 1;
  ArrSetTopCalc(v, 1);
  const int h = v.TopHeight + kTracks * (v.Vzoom + kArrRowGap) + 2;
  ArrResizeCalc(v, kW, h);
  const int32_t pitch = kW * 512 / kPerTrack;
  for (int t = 0; t < kTracks; ++t)
    for (int i = 0; i < kPerTrack; ++i) {
      PartRec p{};
      p.Start = i * pitch;
      std::snprintf(p.Name, sizeof p.Name, "Part %d.%d", t, i);
      p.PlayChannel = 1 + t % 128;
      p.GainStart = p.GainEnd = 32768;
      p.Take = TakeRef(take);
      p.Offset = (t * 7919 + i * 104729) % (30 * 44100);
      p.Length = pitch * 3 / 4;
      p.TakeKind = 3;
      p.OverlapLink = p.XfadeInPartner = p.XfadeOutPartner = kArrNoLink;
      p.Next = kArrNoSlot;
      ArrInsertPart(&CurArr, p, nullptr, static_cast<uint32_t>(t), nullptr);
    }
  ArrRelinkOverlaps(CurArr);
  for (uint32_t m = 1; m <= 20; ++m) {
    MrkRec r{};
    r.Position = static_cast<int32_t>(m) * 40000;
    std::snprintf(r.Name, sizeof r.Name, "Marker %u", m);
    MrkInsert(&CurMrkList, r, m, nullptr);
  }

  // The locators' lines and flags as the arrange frame loads them.
  if (!ArrLoadLocatorImages(GetModuleHandleA(nullptr))) return 1;

  HDC dc = CreateCompatibleDC(nullptr);
  void* bits = nullptr;
  HBITMAP bm = CreateDib32(dc, kW, h, &bits);
  HGDIOBJ old = SelectObject(dc, bm);
  std::vector<double> ms;
  for (int r = 0; r < runs; ++r) {
    const auto t0 = std::chrono::steady_clock::now();
    ArrPaintPartArea(dc, kW, h);
    GdiFlush();
    const auto t1 = std::chrono::steady_clock::now();
    ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
    std::printf("run %d: %.2f ms\n", r + 1, ms.back());
  }
  {
    // The frame alone (ruler, grid, markers, locators) over an empty arrangement,
    // after the runs (fonts loaded).
    ArrRec* full = CurArr;
    CurArr = ArrNew(nullptr);
    const auto t0 = std::chrono::steady_clock::now();
    ArrPaintPartArea(dc, kW, h);
    GdiFlush();
    std::printf("frame without Parts: %.2f ms\n",
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    CurArr = full;
  }
  std::sort(ms.begin(), ms.end());
  std::printf("arrange paint, %d tracks, %d Parts, %dx%d: median %.2f ms (target 16 ms)\n", kTracks,
              kTracks * kPerTrack, kW, h, ms[ms.size() / 2]);
  SelectObject(dc, old);
  DeleteObject(bm);
  DeleteDC(dc);
  ArrFreeLocatorImages();
  DeleteFileA(path);
  return 0;
}
