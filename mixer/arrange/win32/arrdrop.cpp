// Files dropped on the Part area: a Take (with the other channels of its
// multichannel set) or an arrangement file becomes a copy drag whose Parts
// follow the pointer until the next click places them.
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "mixer/arrange/arrzoom.h"
#include "mixer/arrange/editdisp.h"
#include "mixer/arrange/globalcmd.h"
#include "mixer/arrange/partcmds.h"
#include "mixer/arrange/partlink.h"
#include "mixer/arrange/win32/arrchild.h"
#include "mixer/arrange/win32/arrwnd.h"
#include "mixer/model/arr.h"
#include "mixer/model/arrfile.h"
#include "mixer/model/arrheap.h"
#include "mixer/model/arrlist.h"
#include "mixer/model/host.h"
#include "mixer/model/marker.h"
#include "mixer/model/settings.h"
#include "mixer/model/take.h"
#include "mixer/model/taketime.h"
#include "mixer/model/util/numbers.h"
#include "mixer/model/util/strtab.h"
#include "mixer/model/win32/arrfiledlg.h"
#include "mixer/shell/chanset.h"
#include "mixer/shell/win32/settings.h"
#include "mixer/units/services.h"

namespace {

constexpr int kModeCopy = 6;
constexpr int kModeCopyVertical = 7;
constexpr int kModeCopyToLocator = 8;

// The Take's name: its file name without folder and extension.
void TakeNameOf(const TakeRec* take, char* out, size_t size) {
  const char* name = take->path;
  for (const char* p = take->path; *p; ++p)
    if (*p == '\\' || *p == '/') name = p + 1;
  std::snprintf(out, size, "%s", name);
  if (char* dot = std::strrchr(out, '.')) *dot = '\0';
}

// The position under x, on the time line.
int32_t PositionAt(int x) {
  return static_cast<int32_t>(std::clamp<int64_t>(ArrPosOfX(ArrView(), x), 0, EndOfTime));
}

// Hands the drag record to the Part area; the press point is the drop point
// so that the Parts stand under the pointer.
int StartDrag(ArrRec* arr, int x, int y, int capture, int mode) {
  ArrChild().Press = {x, y};
  HWND w = ArrPartAreaWnd();
  HDC dc = w ? GetDC(w) : nullptr;
  // Tools 6, 7 and 8 are the copy tools of the free, vertical and
  // closest-locator modes.
  ArrMoveDragRec* rec = ArrBeginMoveCopy(reinterpret_cast<DcHandle>(dc), x, y, mode, 1, mode - kModeCopy, arr, 0);
  if (dc) ReleaseDC(w, dc);
  if (rec == nullptr) return 0;  // the arrangement was freed with it
  ArrChildBeginDropDrag(rec, x, y, capture);
  return 1;
}

}  // namespace

int ArrDropTake(TakeRec* take, int x, int y, int capture, int mode) {
  if (take == nullptr || CurArr == nullptr) return 0;
  HWND w = ArrPartAreaWnd();
  {
    HDC dc = w ? GetDC(w) : nullptr;
    ArrClearSelection(CurArr, reinterpret_cast<DcHandle>(dc), 1);
    if (dc) ReleaseDC(w, dc);
  }
  // The set is looked for among all the Takes of the folder (mode 2), in
  // use or not.
  TakeRec* set[17] = {};
  const int n = std::clamp(TakeFindChannelSet(set, take, 2, nullptr), 1, 17);
  if (set[0] == nullptr) set[0] = take;
  int index = 0;
  for (int i = 0; i < n; ++i)
    if (set[i] == take) index = i;
  const ArrViewRec& v = ArrView();
  const int32_t row = y <= v.TopHeight ? v.FirstTrack : std::clamp(ArrTrackAtY(v, y), 0, 255);
  const int32_t first = std::clamp(row - index, 0, static_cast<int32_t>(kArrTracks) - n);
  int32_t start = PositionAt(x);
  if (mode == kModeCopyVertical) {
    int64_t at = TakeTcToLoc(take, 0);
    if (AutoSRConvert && take->kind == kTakeAudio && take->sampleRate != 0)
      at = std::max(0, MulDivNearest(static_cast<int32_t>(at), static_cast<int32_t>(Settings().SampleRate),
                                     static_cast<int32_t>(take->sampleRate)));
    start = static_cast<int32_t>(std::clamp<int64_t>(at, 0, EndOfTime));
  }
  uint32_t error = 0;
  ArrRec* arr = ArrNew(&error);
  if (arr == nullptr) {
    MessageBoxById(nullptr, error ? error : IDS_GLOBAL_ALLOC_FAILED, kMbWarnOk);
    return 0;
  }
  for (int i = 0; i < n; ++i) {
    TakeRec* t = set[i];
    PartRec p{};
    TakeNameOf(t, p.Name, sizeof p.Name);
    p.Start = start;
    p.Flags = kPartSelected | (n > 1 && i + 1 < n ? kPartLinkNext : 0u) | (i > 0 ? kPartLinkPrev : 0u);
    p.GainStart = p.GainEnd = 32768;
    p.Take = TakeRef(t);
    p.Offset = 0;
    p.Length = std::max(TakeLenAtKind(t, t->kind, start), 0);
    p.TakeKind = static_cast<uint16_t>(t->kind);
    p.OverlapLink = p.XfadeInPartner = p.XfadeOutPartner = kArrNoLink;
    p.XfadeInWindow[1] = p.XfadeOutWindow[1] = 255;
    p.Layer = 0;
    p.Next = kArrNoSlot;
    uint32_t slot = 0;
    if (!ArrInsertPart(&arr, p, &slot, static_cast<uint32_t>(first + i), &error)) {
      MessageBoxById(nullptr, error ? error : IDS_GLOBAL_ALLOC_FAILED, kMbWarnOk);
      ArrHeap.Free(arr);
      return 0;
    }
  }
  return StartDrag(arr, x, y, capture, mode);
}

int ArrDropArr(const char* path, int x, int y, int capture, int mode) {
  if (path == nullptr || CurArr == nullptr) return 0;
  ArrRec* arr = nullptr;
  MrkList* markers = nullptr;
  uint32_t tempo = 0, error = 0;
  const ArrReadRequest request{path, &arr, &markers, 0, &tempo, &error};
  if (!ReadArrFileDlg(request) || arr == nullptr) {
    if (markers) MrkHeap.Free(markers);
    return 0;
  }
  if (markers) MrkHeap.Free(markers);
  HWND w = ArrPartAreaWnd();
  {
    HDC dc = w ? GetDC(w) : nullptr;
    ArrClearSelection(CurArr, reinterpret_cast<DcHandle>(dc), 1);
    if (dc) ReleaseDC(w, dc);
  }
  // Midi Parts recorded with a tempo are laid out for the current one.
  ArrRetimeMidiParts(&arr);
  // Every Part is dragged; the earliest start stands under the pointer.
  int64_t first = INT64_MAX;
  arrlist::WalkAll(arr, [&](uint32_t, uint32_t, PartRec& p) {
    p.Flags |= kPartSelected;
    first = std::min<int64_t>(first, p.Start);
  });
  if (first == INT64_MAX) {
    ArrHeap.Free(arr);
    return 0;
  }
  const int64_t shift = int64_t{PositionAt(x)} - first;
  int64_t last = 0;
  arrlist::WalkAll(arr, [&](uint32_t, uint32_t, PartRec& p) { last = std::max(last, arrlist::End64(p) + shift); });
  if (last <= EndOfTime)
    arrlist::WalkAll(arr, [&](uint32_t, uint32_t, PartRec& p) { p.Start = static_cast<int32_t>(p.Start + shift); });
  return StartDrag(arr, x, y, capture, mode);
}

void ArrDropFiles(HWND wnd, HDROP drop) {
  if (TransportState() == kTransportStopped && DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0) == 1) {
    char path[MAX_PATH] = {};
    POINT at = {0, 0};
    DragQueryPoint(drop, &at);
    if (DragQueryFileA(drop, 0, path, sizeof path) > 0) {
      const int mode = GetKeyState(VK_MENU) < 0      ? kModeCopyToLocator
                       : GetKeyState(VK_CONTROL) < 0 ? kModeCopyVertical
                                                     : kModeCopy;
      if (TakeRec* take = TakeOpenFile(path)) {
        ArrDropTake(take, at.x, at.y, 1, mode);
      } else if (IsArrFile(path)) {
        ArrDropArr(path, at.x, at.y, 1, mode);
      }
    }
  }
  (void)wnd;
  DragFinish(drop);
}
