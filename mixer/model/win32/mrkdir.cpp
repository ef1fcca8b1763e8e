// The marker directory window: its list box, lines, sort order, refresh and
// the edit, delete and locate commands of its lines.
#include "mixer/model/win32/mrkdir.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "mixer/model/util/format.h"
#include "mixer/model/host.h"
#include "mixer/model/ini.h"
#include "mixer/model/musical.h"
#include "mixer/model/settings.h"
#include "mixer/model/util/strtab.h"
#include "mixer/model/timecode.h"
#include "mixer/model/undo.h"
#include "mixer/model/win32/dialogs.h"
#include "mixer/model/win32/draw.h"
#include "mixer/shell/services.h"
#include "mixer/shell/wndtable.h"
#include "mixer/units/services.h"

int32_t MrkDirSort = kMrkSortByNumber;

namespace {

constexpr int kListTop = 16;           // the header row above the list
constexpr int kHeaderLineY = 15;
constexpr int kHorizontalExtent = 404;  // pixels
constexpr int kTabCount = 3;
constexpr INT kTabStops[kTabCount] = {38, 268, 338};  // dialog units
constexpr int kListFontIndex = 8;
constexpr int kMinWidth = 100, kMinHeight = 72;
constexpr uint32_t kMenuMrkDir = 42313;
constexpr uint32_t kSectionMrkDirWnd = 773;
constexpr uint32_t kKeyTopIndx = 915;
constexpr int kTransportStopped = 2;
constexpr int kLineMax = 160;

// The directory's list box and what it was before it was subclassed; one
// directory window exists at a time.
HWND List = nullptr;
WNDPROC ListProc = nullptr;
HFONT ListFont = nullptr;
// The mouse button that holds the capture of the list: 0, or
// WM_LBUTTONDOWN / WM_RBUTTONDOWN.
UINT HeldButton = 0;

const MrkRec* UsedMarker(uint32_t n) {
  return MrkIsValid(CurMrkList, n) ? MrkSlot(CurMrkList, n - 1) : nullptr;
}

int Sign(int64_t d) { return d < 0 ? -1 : d > 0 ? 1 : 0; }

// A stored name may fill all 64 bytes without its NUL.
int CompareNames(const MrkRec& a, const MrkRec& b) {
  char na[sizeof a.Name + 1] = {}, nb[sizeof b.Name + 1] = {};
  std::memcpy(na, a.Name, sizeof a.Name);
  std::memcpy(nb, b.Name, sizeof b.Name);
  return lstrcmpiA(na, nb);
}

uint32_t LineMarker(int index) {
  return static_cast<uint32_t>(SendMessageA(List, LB_GETITEMDATA, index, 0));
}

int LineCount() { return static_cast<int>(SendMessageA(List, LB_GETCOUNT, 0, 0)); }

int FindLine(uint32_t n) {
  const int count = LineCount();
  for (int i = 0; i < count; ++i)
    if (LineMarker(i) == n) return i;
  return LB_ERR;
}

// The line index where marker n belongs: after every line that does not
// sort after it (binary search over the sorted lines).
int InsertIndex(uint32_t n, const MrkRec& mrk) {
  int low = 0, high = LineCount();
  while (low < high) {
    const int mid = low + (high - low) / 2;
    const uint32_t other = LineMarker(mid);
    const MrkRec* o = UsedMarker(other);
    if (o && MrkDirCompare(MrkDirSort, n, mrk, other, *o) < 0)
      high = mid;
    else
      low = mid + 1;
  }
  return low;
}

// Adds marker n's line at its sorted place; LB_ERR when n is not in use.
int AddLine(uint32_t n) {
  const MrkRec* mrk = UsedMarker(n);
  if (mrk == nullptr) return LB_ERR;
  char text[kLineMax];
  MrkDirLineText(n, *mrk, text, sizeof text);
  const int index = static_cast<int>(
      SendMessageA(List, LB_INSERTSTRING, InsertIndex(n, *mrk), reinterpret_cast<LPARAM>(text)));
  if (index >= 0) SendMessageA(List, LB_SETITEMDATA, index, n);
  return index;
}

void RemoveLine(uint32_t n) {
  const int index = FindLine(n);
  if (index >= 0) SendMessageA(List, LB_DELETESTRING, index, 0);
}

void FillLines() {
  MrkForEach(CurMrkList, [](uint32_t n, const MrkRec&) { AddLine(n); });
}

void RebuildLines() {
  HCURSOR old = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
  const LRESULT top = SendMessageA(List, LB_GETTOPINDEX, 0, 0);
  SendMessageA(List, LB_RESETCONTENT, 0, 0);
  FillLines();
  SendMessageA(List, LB_SETTOPINDEX, top, 0);
  SetCursor(old);
}

std::vector<uint32_t> SelectedMarkers() {
  std::vector<uint32_t> numbers;
  const int count = static_cast<int>(SendMessageA(List, LB_GETSELCOUNT, 0, 0));
  if (count <= 0) return numbers;
  std::vector<int> items(count);
  const int got =
      static_cast<int>(SendMessageA(List, LB_GETSELITEMS, count, reinterpret_cast<LPARAM>(items.data())));
  for (int i = 0; i < got; ++i) numbers.push_back(LineMarker(items[i]));
  return numbers;
}

void SelectMarkers(const std::vector<uint32_t>& numbers) {
  const int count = LineCount();
  for (int i = 0; i < count; ++i) {
    const bool on = std::find(numbers.begin(), numbers.end(), LineMarker(i)) != numbers.end();
    SendMessageA(List, LB_SETSEL, on, i);
  }
}

// Marker number of the line under client y of the list; 0 when none.
uint32_t MarkerAtY(int y) {
  const int height = static_cast<int>(SendMessageA(List, LB_GETITEMHEIGHT, 0, 0));
  if (height <= 0 || y < 0) return 0;
  const int index = static_cast<int>(SendMessageA(List, LB_GETTOPINDEX, 0, 0)) + y / height;
  return index < LineCount() ? LineMarker(index) : 0;
}

// Mouse handling of the list: the right button selects like the left one,
// one button at a time holds the capture, and moves while it is held do not
// reach the list (no drag selection).
LRESULT OnListButtonDown(HWND list, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (HeldButton) return 0;
  const bool right = msg == WM_RBUTTONDOWN || msg == WM_RBUTTONDBLCLK;
  HeldButton = right ? WM_RBUTTONDOWN : WM_LBUTTONDOWN;
  const uint32_t n = MarkerAtY(static_cast<short>(HIWORD(lParam)));
  HWND parent = GetParent(list);
  if (msg == WM_LBUTTONDBLCLK && n) PostMessageA(parent, WMU_MRKDIRCMD, kMrkDirCmdEdit, n);
  if (right && n && TransportState() == kTransportStopped)
    PostMessageA(parent, WMU_MRKDIRCMD, kMrkDirCmdLocate, n);
  const WPARAM keys = right ? (wParam & ~MK_RBUTTON) | MK_LBUTTON : wParam;
  CallWindowProcA(ListProc, list, WM_LBUTTONDOWN, keys, lParam);
  SetCapture(list);
  return 0;
}

LRESULT OnListButtonUp(HWND list, UINT msg, WPARAM wParam, LPARAM lParam) {
  const UINT down = msg == WM_RBUTTONUP ? WM_RBUTTONDOWN : WM_LBUTTONDOWN;
  if (HeldButton != down) return 0;
  HeldButton = 0;
  ReleaseCapture();
  return CallWindowProcA(ListProc, list, WM_LBUTTONUP, wParam & ~MK_RBUTTON, lParam);
}

LRESULT CALLBACK MrkListProc(HWND list, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_KEYDOWN:
      if (wParam == VK_DELETE) {
        PostMessageA(GetParent(list), WMU_MRKDIRCMD, kMrkDirCmdDelete, 0);
        return 0;
      }
      break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
      return OnListButtonDown(list, msg, wParam, lParam);
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
      return OnListButtonUp(list, msg, wParam, lParam);
    case WM_MOUSEMOVE:
      if (HeldButton) return 0;
      break;
    case WM_CAPTURECHANGED:
      if (reinterpret_cast<HWND>(lParam) != list) HeldButton = 0;
      break;
  }
  return CallWindowProcA(ListProc, list, msg, wParam, lParam);
}

// Tab stops of the list, turned from dialog units into pixels of its font
// for drawing the header with the same columns.
void HeaderTabs(HDC dc, INT out[kTabCount]) {
  TEXTMETRICA tm;
  GetTextMetricsA(dc, &tm);
  for (int i = 0; i < kTabCount; ++i) out[i] = MulDiv(kTabStops[i], tm.tmAveCharWidth, 4);
}

void OnPaint(HWND wnd) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(wnd, &ps);
  RECT client;
  GetClientRect(wnd, &client);
  DrawLine(dc, GetSysColor(COLOR_BTNSHADOW), 0, kHeaderLineY, client.right, kHeaderLineY);
  HGDIOBJ oldFont = ListFont ? SelectObject(dc, ListFont) : nullptr;
  SetBkMode(dc, TRANSPARENT);
  INT tabs[kTabCount];
  HeaderTabs(dc, tabs);
  const char* header = StrText(IDS_MRKDIR_HEADER);
  TabbedTextOutA(dc, 0, 0, header, lstrlenA(header), kTabCount, tabs, 0);
  if (oldFont) SelectObject(dc, oldFont);
  EndPaint(wnd, &ps);
}

LRESULT OnCreate(HWND wnd) {
  WndTable[kMrkDirWnd] = wnd;
  SetWindowTextA(wnd, StrText(IDS_MRKDIR_TITLE));
  RECT client;
  GetClientRect(wnd, &client);
  List = CreateWindowExA(0, "LISTBOX", "",
                         WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | LBS_USETABSTOPS |
                             LBS_EXTENDEDSEL | LBS_NOINTEGRALHEIGHT,
                         0, kListTop, client.right, std::max<LONG>(client.bottom - kListTop, 0), wnd,
                         nullptr, reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(wnd, GWLP_HINSTANCE)),
                         nullptr);
  if (List == nullptr) return -1;
  ListFont = CreateAppFont(kListFontIndex);
  if (ListFont) SendMessageA(List, WM_SETFONT, reinterpret_cast<WPARAM>(ListFont), FALSE);
  SendMessageA(List, LB_SETHORIZONTALEXTENT, kHorizontalExtent, 0);
  SendMessageA(List, LB_SETTABSTOPS, kTabCount, reinterpret_cast<LPARAM>(kTabStops));
  HeldButton = 0;
  ListProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(List, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(MrkListProc)));
  FillLines();
  const int32_t top = ReadIniInt(MainIniPath(), kSectionMrkDirWnd, kKeyTopIndx, 0, 0,
                                 static_cast<int32_t>(kMrkMaxNumber) - 1);
  SendMessageA(List, LB_SETTOPINDEX, top, 0);
  return 0;
}

void OnDestroy() {
  MainMenuCheck(kMenuMrkDir, 0);
  WndTable[kMrkDirWnd] = nullptr;
  List = nullptr;  // destroyed with its parent
  ListProc = nullptr;
  HeldButton = 0;
  if (ListFont) DeleteObject(ListFont);
  ListFont = nullptr;
}

void LocateToMarker(uint32_t n) {
  if (MrkIsValid(CurMrkList, n)) SetLocator(kLocNowLocate, MrkGetLoc(CurMrkList, n));
}

void OnCommand(HWND wnd, WPARAM cmd, LPARAM marker) {
  const uint32_t n = static_cast<uint32_t>(marker);
  switch (cmd) {
    case kMrkDirCmdEdit:
      MrkDirEditMarker(wnd, n);
      break;
    case kMrkDirCmdDelete:
      MrkDirDeleteSelected(wnd);
      break;
    case kMrkDirCmdLocate:
      LocateToMarker(n);
      break;
  }
}

}  // namespace

int MrkDirLineText(uint32_t n, const MrkRec& mrk, char* buf, int size) {
  char name[sizeof mrk.Name + 1] = {};
  std::memcpy(name, mrk.Name, sizeof mrk.Name);
  TcRec tc;
  LocToTimeCode(&tc, mrk.Position, Settings().TcOffset);
  BbtRec bbt;
  LocToBbt(&bbt, mrk.Position, 1);
  return FormatText(buf, size, " %d\t%s\t%02d:%02d:%02d:%02d\t%04d.%02d.%03d", static_cast<int>(n), name,
                    tc.Hours, tc.Minutes, tc.Seconds, tc.Frames, static_cast<int>(bbt.Bar),
                    static_cast<int>(bbt.Beat), static_cast<int>(bbt.Tick));
}

int MrkDirCompare(int32_t sort, uint32_t na, const MrkRec& a, uint32_t nb, const MrkRec& b) {
  // Positions compare by their difference held to -32768..32767: the sign
  // of a 64-bit difference, never a wrapped one.
  const int byPosition = Sign(static_cast<int64_t>(a.Position) - b.Position);
  int order = 0;
  if (sort == kMrkSortByName) {
    order = CompareNames(a, b);
    if (order == 0) order = byPosition;
  } else if (sort == kMrkSortByPosition) {
    order = byPosition;
    if (order == 0) order = CompareNames(a, b);
  }
  return order != 0 ? order : Sign(static_cast<int64_t>(na) - nb);
}

void MrkDirRefresh(int32_t op, int32_t n) {
  if (WndTable[kMrkDirWnd] == nullptr || List == nullptr) return;
  const uint32_t number = static_cast<uint32_t>(n);
  SendMessageA(List, WM_SETREDRAW, FALSE, 0);
  const std::vector<uint32_t> selected = SelectedMarkers();
  switch (op) {
    case kMrkDirAdd:
      AddLine(number);
      break;
    case kMrkDirRemove:
      RemoveLine(number);
      break;
    case kMrkDirReplace: {
      RemoveLine(number);
      const int index = AddLine(number);
      if (index >= 0) SendMessageA(List, LB_SETCARETINDEX, index, FALSE);
      break;
    }
    case kMrkDirRebuild:
      RebuildLines();
      break;
  }
  SelectMarkers(selected);
  SendMessageA(List, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(List, nullptr, TRUE);
}

void MrkDirEditMarker(HWND owner, uint32_t n) {
  if (!MrkIsValid(CurMrkList, n)) return;
  UndoRecord(IDS_UNDO_INFO_CHANGE);
  if (DoDialogParam(owner, "MARKERINFO", MarkerInfoDlgProc, static_cast<LPARAM>(n)) != IDOK) {
    UndoDiscard(1);
    return;
  }
  MrkEdit(kMrkEditMove, n, MrkInfoResult.Position);
  MrkEdit(kMrkEditRename, n, reinterpret_cast<intptr_t>(MrkInfoResult.Name));
}

void MrkDirDeleteSelected(HWND owner) {
  if (List == nullptr) return;
  // Collected first: each delete removes its line from the list.
  const std::vector<uint32_t> numbers = SelectedMarkers();
  if (numbers.empty()) return;
  if (MessageBoxById(owner, IDS_ASK_DELETE_MARKERS, kMbAskYesNo) != kIdYes) return;
  UndoRecord(IDS_UNDO_DELETE);
  for (uint32_t n : numbers) MrkEdit(kMrkEditDelete, n, 0);
}

ATOM RegisterMrkDirWnd(HINSTANCE instance) {
  WNDCLASSA wc = {};
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = MrkDirWndProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(100));
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kMrkDirClass;
  return RegisterClassA(&wc);
}

LRESULT CALLBACK MrkDirWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CREATE:
      return OnCreate(wnd);
    case WM_PAINT:
      OnPaint(wnd);
      return 0;
    case WM_SIZE:
      if (List) MoveWindow(List, 0, kListTop, LOWORD(lParam), std::max(HIWORD(lParam) - kListTop, 0), TRUE);
      return 0;
    case WM_SETFOCUS:
      if (List) SetFocus(List);
      return 0;
    case WM_GETMINMAXINFO: {
      auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
      info->ptMinTrackSize = {kMinWidth, kMinHeight};
      return 0;
    }
    case WMU_SAVESETTINGS:
      if (List)
        WriteIniLong(MainIniPath(), kSectionMrkDirWnd, kKeyTopIndx,
                     static_cast<int32_t>(SendMessageA(List, LB_GETTOPINDEX, 0, 0)));
      return 0;
    case WMU_MRKDIRCMD:
      OnCommand(wnd, wParam, lParam);
      return 0;
    case WM_DESTROY:
      OnDestroy();
      return 0;
  }
  return DefWindowProcA(wnd, msg, wParam, lParam);
}
