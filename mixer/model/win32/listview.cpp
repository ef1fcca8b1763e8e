#include "mixer/model/win32/listview.h"

#include <commctrl.h>

#include <cstring>

namespace {

// Longest column text kept, and its terminator.
constexpr int kColumnTextSize = 260;

// Copies the field that starts at `field` and ends before the next `sep`
// into `text`, cut to fit. Returns where the next field starts, or null when
// no separator ends this one.
const char* NextField(const char* field, char sep, char* text) {
  const char* end = std::strchr(field, sep);
  if (!end) return nullptr;
  size_t length = static_cast<size_t>(end - field);
  if (length > kColumnTextSize - 1) length = kColumnTextSize - 1;
  std::memcpy(text, field, length);
  text[length] = '\0';
  return end + 1;
}

bool InsertColumn(HWND lv, int index, int width, char* text) {
  LVCOLUMNA column = {};
  column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
  column.fmt = LVCFMT_LEFT;
  column.cx = width;
  column.pszText = text;
  column.iSubItem = index;
  return SendMessageA(lv, LVM_INSERTCOLUMNA, index, reinterpret_cast<LPARAM>(&column)) != -1;
}

BOOL SetItemStateBit(HWND lv, int item, UINT bit, int on) {
  LVITEMA state = {};
  state.stateMask = bit;
  state.state = on ? bit : 0;
  return static_cast<BOOL>(SendMessageA(lv, LVM_SETITEMSTATE, item, reinterpret_cast<LPARAM>(&state)));
}

}  // namespace

int LvInsertColumns(HWND lv, int count, const int* widths, const char* header) {
  if (count <= 0) return 1;
  if (!widths || !header || !header[0]) return 0;
  const char sep = header[std::strlen(header) - 1];
  const char* field = header;
  char text[kColumnTextSize];
  for (int i = 0; i < count; ++i) {
    field = NextField(field, sep, text);
    if (!field || !InsertColumn(lv, i, widths[i], text)) return 0;
  }
  return 1;
}

BOOL LvSelectItem(HWND lv, int item, int on) { return SetItemStateBit(lv, item, LVIS_SELECTED, on); }

BOOL LvFocusItem(HWND lv, int item, int on) { return SetItemStateBit(lv, item, LVIS_FOCUSED, on); }

int LvHitTest(HWND lv, const POINT* pt) {
  LVHITTESTINFO hit = {};
  if (pt) {
    hit.pt = *pt;
  } else if (!GetCursorPos(&hit.pt) || !ScreenToClient(lv, &hit.pt)) {
    return -1;
  }
  int item = static_cast<int>(SendMessageA(lv, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
  return item >= 0 && (hit.flags & LVHT_ONITEM) ? item : -1;
}

BOOL CALLBACK DestroyChildProc(HWND child, LPARAM parent) {
  // The enumeration reaches grandchildren too, by handles that may be dead
  // already; they go with their parent, so only direct children are
  // destroyed here.
  if (GetParent(child) == reinterpret_cast<HWND>(parent)) DestroyWindow(child);
  return TRUE;
}

void DestroyChildWindows(HWND wnd) { EnumChildWindows(wnd, DestroyChildProc, reinterpret_cast<LPARAM>(wnd)); }
