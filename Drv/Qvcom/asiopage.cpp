// "Quorvale.Asio.Prop": the ASIO driver's property page over its settings
// interface: sample type, buffer size and the tree of the boards' streams.
#include "Drv/Qvcom/asio.h"
#include "Drv/Qvcom/qvcom.h"
#include "Drv/Qvdrv/qvdrv_private.h"
#include "Inc/base.h"

#include <commctrl.h>

#include <cstdio>
#include <new>

namespace {

constexpr UINT PageDialog = 132;
constexpr int TreeBitmap = 200, ImageWidth = 20;
constexpr int DeviceCombo = 1020, TypeCombo = 1021, SizeEdit = 1022, StreamTree = 1023;

class CAsioPage : public CPropPage {
 public:
  explicit CAsioPage(IUnknown* outer) : CPropPage(outer, PageDialog, QvdrvModule()) {}
  ~CAsioPage() override {
    if (m_settings) m_settings->Release();
    if (m_images) ImageList_Destroy(m_images);
  }
  HRESULT STDMETHODCALLTYPE SetObjects(ULONG count, IUnknown** objects) override;
  HRESULT STDMETHODCALLTYPE Activate(HWND parent, LPCRECT rect, BOOL modal) override;
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void Fill();
  void FillStreams();

  IQvAsioSettings* m_settings = nullptr;
  HIMAGELIST m_images = nullptr;
  bool m_filling = false;
};

HRESULT STDMETHODCALLTYPE CAsioPage::SetObjects(ULONG count, IUnknown** objects) {
  if (m_settings) m_settings->Release();
  m_settings = nullptr;
  if (count != 1 || !objects || !objects[0]) return E_INVALIDARG;
  return objects[0]->QueryInterface(IID_IQvAsioSettings, reinterpret_cast<void**>(&m_settings));
}

HRESULT STDMETHODCALLTYPE CAsioPage::Activate(HWND parent, LPCRECT rect, BOOL modal) {
  if (!m_settings) return E_UNEXPECTED;
  INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_TREEVIEW_CLASSES};
  InitCommonControlsEx(&classes);
  HRESULT hr = CPropPage::Activate(parent, rect, modal);
  if (SUCCEEDED(hr)) Fill();
  return hr;
}

// The boards of the wave device as the page names them: "Dunvell %u" and
// "Corbelle %u" count together, "Tavrion %u" and "Unknown %u" each alone.
void CAsioPage::FillStreams() {
  HWND tree = GetDlgItem(m_hwnd, StreamTree);
  HWND combo = GetDlgItem(m_hwnd, DeviceCombo);
  CQvWave wave;
  if (!wave.Open("Qvwave", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, 0, nullptr)) return;
  unsigned dunvellCorbelle = 0, tavrion = 0, unknown = 0;
  int boards = 0;
  HTREEITEM last = nullptr;
  for (uint32_t i = 0; i < 256; ++i) {
    qvChannelInfo r{};
    if (!wave.IoControl(IOCTL_QV_WAVE_MAP, &i, 4, &r, sizeof r, nullptr)) break;
    if (r.outputs == 0 && r.inputs == 0) continue;  // a board without streams
    char name[32];
    if (r.boardId == BoardIdDnv) snprintf(name, sizeof name, "Dunvell %u", ++dunvellCorbelle);
    else if (r.boardId == BoardIdCbl) snprintf(name, sizeof name, "Corbelle %u", ++dunvellCorbelle);
    else if (r.boardId == BoardIdTvr || r.boardId == BoardIdTv2) snprintf(name, sizeof name, "Tavrion %u", ++tavrion);
    else snprintf(name, sizeof name, "Unknown %u", ++unknown);
    LRESULT item = SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    SendMessageA(combo, CB_SETITEMDATA, item, i);
    ++boards;

    TVINSERTSTRUCTA insert = {};
    insert.hParent = TVI_ROOT;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    insert.item.pszText = name;
    insert.item.iImage = insert.item.iSelectedImage = 0;
    last = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
    for (uint32_t c = 0; c + 1 < r.outputs; c += 2) {
      char pair[32];
      unsigned first = r.firstOutput + c + 1;
      snprintf(pair, sizeof pair, "STR %u-%u", first, first + 1);
      TVINSERTSTRUCTA child = insert;
      child.hParent = last;
      child.item.pszText = pair;
      child.item.iImage = child.item.iSelectedImage = 1;
      SendMessageA(tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&child));
    }
    SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(last));
  }
  if (last) SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(last));
  EnableWindow(combo, boards > 1);
}

void CAsioPage::Fill() {
  m_filling = true;
  HWND tree = GetDlgItem(m_hwnd, StreamTree);
  m_images = ImageList_LoadImageA(QvdrvModule(), MAKEINTRESOURCEA(TreeBitmap), ImageWidth, 0, RGB(255, 0, 255),
                                  IMAGE_BITMAP, LR_CREATEDIBSECTION);
  if (m_images) SendMessageA(tree, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(m_images));
  SendMessageA(tree, TVM_SETBKCOLOR, 0, static_cast<LPARAM>(GetSysColor(COLOR_BTNFACE)));
  FillStreams();

  DWORD device = 0, type = 0, size = 0;
  m_settings->GetDevice(&device);
  m_settings->GetSampleType(&type);
  m_settings->GetBufferSize(&size);
  HWND combo = GetDlgItem(m_hwnd, DeviceCombo);
  for (LRESULT i = 0, n = SendMessageA(combo, CB_GETCOUNT, 0, 0); i < n; ++i)
    if (static_cast<DWORD>(SendMessageA(combo, CB_GETITEMDATA, i, 0)) == device)
      SendMessageA(combo, CB_SETCURSEL, i, 0);
  HWND types = GetDlgItem(m_hwnd, TypeCombo);
  static const struct {
    const char* text;
    DWORD type;
  } typeNames[] = {{"16 bit", ASIOSTInt16LSB}, {"24 bit", ASIOSTInt32LSB}};
  for (const auto& t : typeNames) {
    LRESULT item = SendMessageA(types, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(t.text));
    SendMessageA(types, CB_SETITEMDATA, item, t.type);
    if (t.type == type) SendMessageA(types, CB_SETCURSEL, item, 0);
  }
  SendDlgItemMessageA(m_hwnd, SizeEdit, EM_LIMITTEXT, 5, 0);
  SetDlgItemInt(m_hwnd, SizeEdit, size, FALSE);
  m_filling = false;
}

INT_PTR CAsioPage::OnMessage(UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: return TRUE;
    case WM_COMMAND:
      if (!m_filling && (HIWORD(wParam) == CBN_SELCHANGE || HIWORD(wParam) == EN_CHANGE)) SetDirty(TRUE);
      return TRUE;
    default: return FALSE;
  }
}

}  // namespace

IUnknown* CreateQvAsioPage(const CLSID*, IUnknown* outer, HRESULT* result) {
  auto* page = new (std::nothrow) CAsioPage(outer);
  if (!page) *result = E_OUTOFMEMORY;
  return page ? page->Unknown() : nullptr;
}
