// The list-view helpers on the system's list view, and the destruction of
// child windows.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "mixer/model/win32/listview.h"

namespace {

struct Column {
  std::string text;
  int width, fmt, subItem;
};

HWND MakeWindow(const char* cls, DWORD style, HWND parent, int x, int y, int w, int h) {
  return CreateWindowExA(0, cls, "", style, x, y, w, h, parent, nullptr, nullptr, nullptr);
}

class ListView : public ::testing::Test {
 protected:
  void SetUp() override {
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&icc);
    parent_ = MakeWindow("STATIC", WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, 40, 40, 420, 320);
    NewListView();
  }
  void TearDown() override { DestroyWindow(parent_); }

  void NewListView() {
    if (lv_) DestroyWindow(lv_);
    lv_ = MakeWindow(WC_LISTVIEWA, WS_CHILD | WS_VISIBLE | LVS_REPORT, parent_, 0, 0, 400, 280);
    ASSERT_TRUE(lv_);
  }
  std::vector<Column> Columns() const {
    std::vector<Column> columns;
    for (int i = 0;; ++i) {
      char text[512] = "";
      LVCOLUMNA column = {};
      column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
      column.pszText = text;
      column.cchTextMax = sizeof text;
      if (!SendMessageA(lv_, LVM_GETCOLUMNA, i, reinterpret_cast<LPARAM>(&column))) return columns;
      columns.push_back({text, column.cx, column.fmt & LVCFMT_JUSTIFYMASK, column.iSubItem});
    }
  }
  void AddItems(int count) {
    static const int kWidths[] = {120};
    ASSERT_EQ(LvInsertColumns(lv_, 1, kWidths, "Take;"), 1);
    for (int i = 0; i < count; ++i) {
      char text[] = "item";
      LVITEMA item = {};
      item.mask = LVIF_TEXT;
      item.iItem = i;
      item.pszText = text;
      ASSERT_EQ(SendMessageA(lv_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)), i);
    }
  }
  UINT State(int item, UINT mask) const {
    return static_cast<UINT>(SendMessageA(lv_, LVM_GETITEMSTATE, item, mask));
  }
  POINT LabelCentre(int item) const {
    RECT rc = {};
    rc.left = LVIR_LABEL;
    SendMessageA(lv_, LVM_GETITEMRECT, item, reinterpret_cast<LPARAM>(&rc));
    return {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
  }

  HWND parent_ = nullptr;
  HWND lv_ = nullptr;
};

TEST_F(ListView, ColumnsComeFromTheFieldsOfTheHeaderText) {
  static const int kWidths[] = {50, 60, 70};
  const std::string longField(300, 'n');
  const struct Case {
    std::string header;
    int count;
    int result;
    std::vector<std::string> names;
  } cases[] = {
      {"Name;Loc;", 2, 1, {"Name", "Loc"}},
      {"Name;Loc;", 1, 1, {"Name"}},
      {"Take|Len;gth|Date|", 3, 1, {"Take", "Len;gth", "Date"}},  // the last character separates
      {"A;;B;", 3, 1, {"A", "", "B"}},
      {longField + ";", 1, 1, {std::string(259, 'n')}},
      // Fewer fields than columns: those there are stay, the call fails.
      {"Name;Loc;", 3, 0, {"Name", "Loc"}},
      {"Name", 2, 0, {"Nam"}},  // 'e' separates: one field
      {"", 1, 0, {}},
      {"Name;", 0, 1, {}},
  };
  for (const Case& c : cases) {
    NewListView();
    EXPECT_EQ(LvInsertColumns(lv_, c.count, kWidths, c.header.c_str()), c.result) << c.header;
    std::vector<Column> columns = Columns();
    ASSERT_EQ(columns.size(), c.names.size()) << c.header;
    for (size_t i = 0; i < columns.size(); ++i) {
      EXPECT_EQ(columns[i].text, c.names[i]) << c.header;
      EXPECT_EQ(columns[i].width, kWidths[i]);
      EXPECT_EQ(columns[i].fmt, LVCFMT_LEFT);
      EXPECT_EQ(columns[i].subItem, static_cast<int>(i));
    }
  }
}

TEST_F(ListView, SelectAndFocusSetAndClearTheirOwnStateOfOneItem) {
  AddItems(3);
  const struct Case {
    BOOL (*set)(HWND, int, int);
    UINT bit, other;
  } cases[] = {{LvSelectItem, LVIS_SELECTED, LVIS_FOCUSED}, {LvFocusItem, LVIS_FOCUSED, LVIS_SELECTED}};
  for (const Case& c : cases) {
    EXPECT_TRUE(c.set(lv_, 1, 1));
    EXPECT_EQ(State(1, c.bit | c.other), c.bit);
    EXPECT_EQ(State(0, c.bit) | State(2, c.bit), 0u);
    EXPECT_TRUE(c.set(lv_, 1, 0));
    EXPECT_EQ(State(1, c.bit), 0u);
  }
}

TEST_F(ListView, HitTestFindsTheItemUnderThePointOrTheCursor) {
  AddItems(3);
  POINT onItem = LabelCentre(1);
  EXPECT_EQ(LvHitTest(lv_, &onItem), 1);
  POINT belowItems = {onItem.x, 250};
  EXPECT_EQ(LvHitTest(lv_, &belowItems), -1);

  POINT cursor = LabelCentre(2);
  ClientToScreen(lv_, &cursor);
  ASSERT_TRUE(SetCursorPos(cursor.x, cursor.y));
  EXPECT_EQ(LvHitTest(lv_, nullptr), 2);
  POINT away = belowItems;
  ClientToScreen(lv_, &away);
  ASSERT_TRUE(SetCursorPos(away.x, away.y));
  EXPECT_EQ(LvHitTest(lv_, nullptr), -1);
}

TEST(DestroyChildWindows, DestroysEveryChildAndTheirChildrenButNotOwnedWindows) {
  HWND parent = MakeWindow("STATIC", WS_OVERLAPPEDWINDOW, nullptr, 0, 0, 300, 200);
  HWND a = MakeWindow("STATIC", WS_CHILD | WS_VISIBLE, parent, 0, 0, 50, 20);
  HWND b = MakeWindow("STATIC", WS_CHILD | WS_VISIBLE, parent, 0, 30, 200, 100);
  HWND c = MakeWindow("BUTTON", WS_CHILD | WS_VISIBLE, b, 0, 0, 50, 20);
  HWND owned = MakeWindow("STATIC", WS_POPUP, parent, 0, 0, 50, 20);
  ASSERT_TRUE(a && b && c && owned);

  DestroyChildWindows(parent);
  EXPECT_FALSE(IsWindow(a));
  EXPECT_FALSE(IsWindow(b));
  EXPECT_FALSE(IsWindow(c));
  EXPECT_TRUE(IsWindow(parent));
  EXPECT_TRUE(IsWindow(owned));
  EXPECT_EQ(GetWindow(parent, GW_CHILD), nullptr);

  DestroyChildWindows(parent);  // no children: nothing to do
  EXPECT_TRUE(IsWindow(parent));
  DestroyWindow(parent);
}

}  // namespace
