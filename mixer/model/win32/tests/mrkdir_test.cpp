// The marker directory window on a real list box, and the MARKERINFO
// dialog run modally and answered by the test's timer; the marker list is
// the real one, its neighbours the recording fakes.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "mixer/model/arr.h"
#include "mixer/model/arrheap.h"
#include "mixer/model/blockheap.h"
#include "mixer/model/ini.h"
#include "mixer/model/marker.h"
#include "mixer/model/util/profile.h"
#include "mixer/model/settings.h"
#include "mixer/model/undo.h"
#include "mixer/model/win32/dlgitems.h"
#include "mixer/model/win32/mrkdir.h"
#include "mixer/shell/wndtable.h"
#include "modal_closer.h"
#include "tests/fakes/services_fake.h"

namespace {

struct Mark {
  uint32_t n;
  int32_t position;
  const char* name;
};

// Positions chosen so that every sort order differs, with a name tie
// (bridge/Bridge), a position tie (200000) and a position pair 65536 apart.
const Mark kMarks[] = {
    {1, 200000, "Verse"}, {2, 100000, "Bridge"}, {3, 300000, "Chorus"},
    {4, 50000, "bridge"}, {5, 200000, "Alpha"},  {6, 165536, "Aa"},
};

void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

class MarkerDirectory : public ::testing::Test {
 protected:
  void SetUp() override {
    Services().Reset();
    BuiltInProfile().Clear();
    Settings() = ProjectSettings();  // 44100 Hz, 25 frames, 120 BPM in 4/4
    Locs() = Locators();
    MrkDirSort = kMrkSortByPosition;
    CurMrkList = MrkListNew(nullptr);
    ASSERT_NE(CurMrkList, nullptr);
    CurArr = ArrNew(nullptr);  // the undo store copies it with every step
    ASSERT_NE(CurArr, nullptr);
    UndoDiscard(0);
    for (const Mark& m : kMarks) Add(m);
    RegisterMrkDirWnd(GetModuleHandleA(nullptr));
  }
  void TearDown() override {
    if (wnd_) DestroyWindow(wnd_);
    UndoDiscard(0);
    MrkHeap.Free(CurMrkList);
    CurMrkList = nullptr;
    ArrHeap.Free(CurArr);
    CurArr = nullptr;
  }
  static std::string UndoItem() { return Services().menuItems[kMenuEditUndo].first; }
  static void Add(const Mark& m) {
    MrkRec rec = {};
    rec.Position = m.position;
    lstrcpynA(rec.Name, m.name, sizeof rec.Name);
    ASSERT_TRUE(MrkInsert(&CurMrkList, rec, m.n, nullptr)) << m.n;
  }
  // The directory; `height` small enough makes its list scroll.
  void Open(int height = 300) {
    wnd_ = CreateWindowExA(0, kMrkDirClass, "", WS_POPUP | WS_VISIBLE, 0, 0, 500, height, nullptr,
                           nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(wnd_, nullptr);
    list_ = FindWindowExA(wnd_, nullptr, "LISTBOX", nullptr);
    ASSERT_NE(list_, nullptr);
  }
  std::vector<uint32_t> Order() const {
    std::vector<uint32_t> order;
    const int count = static_cast<int>(SendMessageA(list_, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i)
      order.push_back(static_cast<uint32_t>(SendMessageA(list_, LB_GETITEMDATA, i, 0)));
    return order;
  }
  int Line(uint32_t n) const {
    const std::vector<uint32_t> order = Order();
    for (size_t i = 0; i < order.size(); ++i)
      if (order[i] == n) return static_cast<int>(i);
    return -1;
  }
  std::string Text(int line) const {
    char text[256] = {};
    SendMessageA(list_, LB_GETTEXT, line, reinterpret_cast<LPARAM>(text));
    return text;
  }
  std::vector<uint32_t> Selected() const {
    std::vector<uint32_t> numbers;
    for (uint32_t n : Order())
      if (SendMessageA(list_, LB_GETSEL, Line(n), 0) > 0) numbers.push_back(n);
    return numbers;
  }
  void Select(std::initializer_list<uint32_t> numbers) {
    SendMessageA(list_, LB_SETSEL, FALSE, -1);
    for (uint32_t n : numbers) SendMessageA(list_, LB_SETSEL, TRUE, Line(n));
  }
  // Client coordinates of the middle of marker n's line.
  LPARAM PointOf(uint32_t n) const {
    const int height = static_cast<int>(SendMessageA(list_, LB_GETITEMHEIGHT, 0, 0));
    const int top = static_cast<int>(SendMessageA(list_, LB_GETTOPINDEX, 0, 0));
    return MAKELPARAM(20, (Line(n) - top) * height + height / 2);
  }

  HWND wnd_ = nullptr;
  HWND list_ = nullptr;
};

using Numbers = std::vector<uint32_t>;

TEST_F(MarkerDirectory, EachLineShowsNumberNameTimeCodeAndBars) {
  Settings().TcOffset = 3600 * 44100;  // time code of position 0: 01:00:00:00
  Add({12, 88200 + 3 * 1764 + 50, "Intro"});  // 2 s, 3 frames and 50 samples
  MrkRec* full = MrkSlot(CurMrkList, 11);
  std::memset(full->Name, 'x', sizeof full->Name);  // a stored name without its NUL
  Open();
  EXPECT_EQ(Text(Line(12)), " 12\t" + std::string(64, 'x') + "\t01:00:02:03\t0002.01.232");

  char line[160];
  MrkRec mrk = {};
  mrk.Position = 0;
  lstrcpyA(mrk.Name, "Start");
  MrkDirLineText(7, mrk, line, sizeof line);
  EXPECT_STREQ(line, " 7\tStart\t01:00:00:00\t0001.01.000");
}

TEST_F(MarkerDirectory, LinesFollowTheSortOrder) {
  struct Case {
    int32_t sort;
    Numbers order;
  } const cases[] = {
      {kMrkSortByNumber, {1, 2, 3, 4, 5, 6}},
      {kMrkSortByName, {6, 5, 4, 2, 3, 1}},      // bridge before Bridge: earlier position
      {kMrkSortByPosition, {4, 2, 6, 5, 1, 3}},  // Alpha before Verse at 200000
  };
  Open();
  for (const Case& c : cases) {
    MrkDirSort = c.sort;
    MrkDirRefresh(kMrkDirRebuild, 0);
    EXPECT_EQ(Order(), c.order) << "sort " << c.sort;
    // A line added later finds its place among the sorted ones.
    Add({7, 120000, "Bridge"});
    MrkDirRefresh(kMrkDirAdd, 7);
    Numbers expected = c.order;
    expected.insert(expected.begin() + (c.sort == kMrkSortByNumber ? 6 : c.sort == kMrkSortByName ? 4 : 2), 7);
    EXPECT_EQ(Order(), expected) << "sort " << c.sort;
    MrkDelete(CurMrkList, 7);
    MrkDirRefresh(kMrkDirRemove, 7);
  }
}

TEST_F(MarkerDirectory, RefreshKeepsTheSelectionByMarkerNumber) {
  Open();
  Select({2, 3});
  Add({8, 0, "Top"});
  MrkDirRefresh(kMrkDirAdd, 8);
  EXPECT_EQ(Line(8), 0);
  EXPECT_EQ(Selected(), (Numbers{2, 3}));

  MrkDelete(CurMrkList, 2);
  MrkDirRefresh(kMrkDirRemove, 2);
  EXPECT_EQ(Line(2), -1);
  EXPECT_EQ(Selected(), (Numbers{3}));

  MrkMove(CurMrkList, 10, 3);  // to the front, after marker 8
  MrkDirRefresh(kMrkDirReplace, 3);
  EXPECT_EQ(Line(3), 1);
  EXPECT_EQ(Selected(), (Numbers{3}));
  EXPECT_EQ(SendMessageA(list_, LB_GETCARETINDEX, 0, 0), 1);

  MrkDirSort = kMrkSortByNumber;
  MrkDirRefresh(kMrkDirRebuild, 0);
  EXPECT_EQ(Order(), (Numbers{1, 3, 4, 5, 6, 8}));
  EXPECT_EQ(Selected(), (Numbers{3}));
}

TEST_F(MarkerDirectory, RebuildKeepsTheTopLineAndTheIniKeepsItAcrossWindows) {
  WriteIniLong(MainIniPath(), 773, 915, 2);
  Open(50);  // room for about two lines
  EXPECT_EQ(SendMessageA(list_, LB_GETTOPINDEX, 0, 0), 2);
  MrkDirRefresh(kMrkDirRebuild, 0);
  EXPECT_EQ(SendMessageA(list_, LB_GETTOPINDEX, 0, 0), 2);

  SendMessageA(list_, LB_SETTOPINDEX, 3, 0);
  SendMessageA(wnd_, WMU_SAVESETTINGS, 0, 0);
  EXPECT_EQ(ReadIniInt(MainIniPath(), 773, 915, -1, -1, 99), 3);

  DestroyWindow(wnd_);
  wnd_ = nullptr;
  EXPECT_TRUE(Services().Called("MainMenuCheck(42313, 0)"));
  EXPECT_EQ(WndTable[kMrkDirWnd], nullptr);
  MrkDirRefresh(kMrkDirRebuild, 0);  // no window: nothing to do
}

TEST_F(MarkerDirectory, DeleteKeyAsksAndDeletesTheSelectedMarkersAsOneUndoStep) {
  struct Case {
    int answer;
    bool deleted;
  } const cases[] = {{IDNO, false}, {IDYES, true}};
  Open();
  for (const Case& c : cases) {
    Services().ClearLog();
    const uint32_t level = UndoGetLevel();
    Select({1, 3});
    ModalCloser closer(c.answer);
    SendMessageA(list_, WM_KEYDOWN, VK_DELETE, 0);
    Pump();
    ASSERT_TRUE(closer.seen().found);
    EXPECT_EQ(closer.seen().text, "Are you sure to delete Marker(s)?");
    EXPECT_EQ(UndoGetLevel(), level + (c.deleted ? 1 : 0));
    if (c.deleted) {
      EXPECT_EQ(UndoItem(), "Undo Delete\tCtrl+Z");
    }
    EXPECT_EQ(MrkIsValid(CurMrkList, 1), c.deleted ? 0 : 1);
    EXPECT_EQ(MrkIsValid(CurMrkList, 3), c.deleted ? 0 : 1);
    EXPECT_EQ(Order(), c.deleted ? (Numbers{4, 2, 6, 5}) : (Numbers{4, 2, 6, 5, 1, 3}));
  }
}

// MARKERINFO on marker 2 (100000 samples: 00:00:02:06.1216, bar 2 beat 1
// tick 513 at 120 BPM): the test types into one field and leaves it by
// moving the focus (tab out) or not, then presses a button.
TEST_F(MarkerDirectory, MarkerInfoReadsTheTypedPositionAndNameOnOkOnly) {
  struct Case {
    const char* what;
    int item;
    const char* typed;
    bool tabOut;
    int button;
    int32_t position;  // after the dialog
    const char* name;
    const char* bbtShown;  // 453 after tabbing out, or null
  } const cases[] = {
      {"time code, tab out, OK", 452, "00:00:10:00", true, IDOK, 441000, "Bridge 2", "   6. 1.  0"},
      {"bars still focused, OK", 453, "3.1.0", false, IDOK, 176400, "Bridge 2", nullptr},
      {"Cancel", 452, "00:00:10:00", true, IDCANCEL, 100000, "Bridge", nullptr},
  };
  Open();
  for (const Case& c : cases) {
    Services().ClearLog();
    const uint32_t level = UndoGetLevel();
    MrkMove(CurMrkList, 100000, 2);
    MrkRename(CurMrkList, "Bridge", 2);
    std::string caption, timeCode, bbt;
    ModalCloser closer(c.button, [&](HWND dlg) {
      char text[64];
      GetDlgItemTextA(dlg, 450, text, sizeof text);
      caption = text;
      GetDlgItemTextA(dlg, 452, text, sizeof text);
      timeCode = text;
      SetDlgItemTextA(dlg, 451, "Bridge 2");
      SetFocus(GetDlgItem(dlg, c.item));
      SetDlgItemTextA(dlg, c.item, c.typed);
      if (c.tabOut) SetFocus(GetDlgItem(dlg, 451));
      GetDlgItemTextA(dlg, 453, text, sizeof text);
      bbt = text;
    });
    MrkDirEditMarker(wnd_, 2);
    ASSERT_TRUE(closer.seen().found) << c.what;
    EXPECT_EQ(caption, "Marker 2") << c.what;
    EXPECT_EQ(timeCode, "00:00:02:06.1216") << c.what;
    if (c.bbtShown) {
      EXPECT_EQ(bbt, c.bbtShown) << c.what;
    }
    EXPECT_EQ(MrkGetLoc(CurMrkList, 2), c.position) << c.what;
    EXPECT_STREQ(MrkSlot(CurMrkList, 1)->Name, c.name) << c.what;
    // One step recorded, and dropped again when the dialog is cancelled.
    EXPECT_EQ(UndoGetLevel(), level + (c.button == IDOK ? 1 : 0)) << c.what;
    if (c.button == IDOK) {
      EXPECT_EQ(UndoItem(), "Undo Info Change\tCtrl+Z") << c.what;
    }
  }
}

TEST_F(MarkerDirectory, RightButtonSelectsAndLocatesWhileStoppedAndHoldsOffTheLeftButton) {
  struct Case {
    int transport;
    int32_t now;
  } const cases[] = {{3, 0}, {2, 300000}};  // playing: no locate; stopped: to marker 3
  Open();
  for (const Case& c : cases) {
    Services().transportState = c.transport;
    Select({});
    SendMessageA(list_, WM_RBUTTONDOWN, MK_RBUTTON, PointOf(3));
    SendMessageA(list_, WM_LBUTTONDOWN, MK_LBUTTON | MK_RBUTTON, PointOf(4));  // ignored while held
    SendMessageA(list_, WM_LBUTTONUP, MK_RBUTTON, PointOf(4));
    SendMessageA(list_, WM_RBUTTONUP, 0, PointOf(3));
    Pump();
    EXPECT_EQ(Selected(), (Numbers{3})) << "transport " << c.transport;
    EXPECT_EQ(Locs().NowLoc, c.now) << "transport " << c.transport;
    EXPECT_EQ(GetCapture(), nullptr);
  }
}

TEST_F(MarkerDirectory, DoubleClickEditsTheMarkerUnderThePointer) {
  Open();
  std::string caption;
  ModalCloser closer(IDCANCEL, [&](HWND dlg) {
    char text[64];
    GetDlgItemTextA(dlg, 450, text, sizeof text);
    caption = text;
  });
  SendMessageA(list_, WM_LBUTTONDBLCLK, MK_LBUTTON, PointOf(6));
  SendMessageA(list_, WM_LBUTTONUP, 0, PointOf(6));
  Pump();
  ASSERT_TRUE(closer.seen().found);
  EXPECT_EQ(caption, "Marker 6");
}

TEST(DialogItems, PositionsAreWrittenInTheirFixedFormats) {
  HWND parent = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 100, 40, nullptr, nullptr, nullptr, nullptr);
  CreateWindowExA(0, "EDIT", "", WS_CHILD, 0, 0, 90, 14, parent, reinterpret_cast<HMENU>(7), nullptr, nullptr);
  auto text = [parent] {
    char buf[64] = {};
    GetDlgItemTextA(parent, 7, buf, sizeof buf);
    return std::string(buf);
  };
  const TcRec tc = {1, 2, 3, 4, 5};
  SetDlgItemTimeCode(parent, 7, tc, 0);
  EXPECT_EQ(text(), "01:02:03:04.0005");
  SetDlgItemTimeCode(parent, 7, tc, 1);
  EXPECT_EQ(text(), "01:02:03");
  SetDlgItemBbt(parent, 7, {12, 3, 480});
  EXPECT_EQ(text(), "  12. 3.480");
  SetDlgItemNoBbt(parent, 7);
  EXPECT_EQ(text(), "   -. -.---");
  DestroyWindow(parent);
}

}  // namespace
