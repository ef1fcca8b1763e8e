// The property-page base: the page's dialog, its site and its dirty state.
#include "Drv/Qvcom/qvcom.h"

namespace {
// The record is that of the platform; 28 bytes in the 32-bit library.
constexpr ULONG PageInfoSize = sizeof(PROPPAGEINFO);
constexpr int TitleControl = 1010;
}  // namespace

const ComInterfaceEntry CPropPage::Interfaces[] = {
    {&IID_IPropertyPage, ComOffset<CPropPage, IPropertyPage>()},
    {nullptr, 0},
};

CPropPage::CPropPage(IUnknown* outer, UINT dialogId, HMODULE module, const ComInterfaceEntry* interfaces)
    : CCom(outer, 0, interfaces, true), m_dialogId(dialogId), m_module(module) {}

CPropPage::~CPropPage() {
  if (m_hwnd) DestroyWindow(m_hwnd);
  if (m_site) m_site->Release();
}

INT_PTR CALLBACK CPropPage::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  CPropPage* page = reinterpret_cast<CPropPage*>(GetWindowLongPtrA(dialog, DWLP_USER));
  if (message == WM_INITDIALOG) {
    page = reinterpret_cast<CPropPage*>(lParam);
    SetWindowLongPtrA(dialog, DWLP_USER, lParam);
  }
  if (message == WM_STYLECHANGING && wParam == static_cast<WPARAM>(GWL_EXSTYLE))
    reinterpret_cast<STYLESTRUCT*>(lParam)->styleNew |= WS_EX_CONTROLPARENT;
  if (!page) return FALSE;
  if (message == WM_NCDESTROY && page->m_hwnd == dialog) page->m_hwnd = nullptr;
  return page->OnMessage(message, wParam, lParam);
}

INT_PTR CPropPage::OnMessage(UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

HRESULT STDMETHODCALLTYPE CPropPage::SetPageSite(IPropertyPageSite* site) {
  if (site && m_site) return E_UNEXPECTED;
  CCom::Assign(reinterpret_cast<void**>(&m_site), site);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CPropPage::Activate(HWND parent, LPCRECT rect, BOOL) {
  if (!parent || !rect) return E_INVALIDARG;
  if (m_hwnd) return E_UNEXPECTED;
  HWND dialog = CreateDialogParamA(m_module, MAKEINTRESOURCEA(m_dialogId), parent, DialogProc,
                                   reinterpret_cast<LPARAM>(this));
  if (!dialog) return HResultFromLastError();
  m_hwnd = dialog;
  MoveWindow(dialog, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, TRUE);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CPropPage::Deactivate() {
  if (m_hwnd) DestroyWindow(m_hwnd);
  m_hwnd = nullptr;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CPropPage::GetPageInfo(PROPPAGEINFO* info) {
  if (!info) return E_POINTER;
  if (info->cb < PageInfoSize) return E_UNEXPECTED;
  memset(info, 0, PageInfoSize);
  info->cb = PageInfoSize;
  HWND dialog = CreateDialogParamA(m_module, MAKEINTRESOURCEA(m_dialogId), GetDesktopWindow(), DialogProc, 0);
  if (!dialog) return HResultFromLastError();
  RECT r;
  GetWindowRect(dialog, &r);
  info->size.cx = r.right - r.left;
  info->size.cy = r.bottom - r.top;
  WCHAR title[256] = L"";
  GetDlgItemTextW(dialog, TitleControl, title, 256);
  DestroyWindow(dialog);
  return CoStrDupW(&info->pszTitle, title);
}

HRESULT STDMETHODCALLTYPE CPropPage::SetObjects(ULONG, IUnknown**) { return S_OK; }

HRESULT STDMETHODCALLTYPE CPropPage::Show(UINT command) {
  if (!m_hwnd) return E_UNEXPECTED;
  ShowWindow(m_hwnd, command);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CPropPage::Move(LPCRECT rect) {
  if (!rect) return E_POINTER;
  if (!m_hwnd ||
      !MoveWindow(m_hwnd, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, TRUE))
    return E_UNEXPECTED;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CPropPage::IsPageDirty() { return m_dirty ? S_OK : S_FALSE; }

HRESULT STDMETHODCALLTYPE CPropPage::Apply() {
  SetDirty(FALSE);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CPropPage::Help(LPCOLESTR) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE CPropPage::TranslateAccelerator(MSG* msg) {
  if (!msg) return E_POINTER;
  bool keyboard = msg->message >= 0x100 && msg->message <= 0x109;
  bool mouse = msg->message >= 0x200 && msg->message <= 0x20D;
  if ((keyboard || mouse) && m_hwnd && IsDialogMessageA(m_hwnd, msg)) return S_OK;
  return S_FALSE;
}

void CPropPage::SetDirty(BOOL dirty) {
  dirty = dirty ? TRUE : FALSE;
  bool changed = dirty != m_dirty;
  m_dirty = dirty;
  if (changed && m_site) m_site->OnStatusChange(dirty ? PROPPAGESTATUS_DIRTY | PROPPAGESTATUS_VALIDATE : 0);
}
