#include "Inc/window.h"

#include "Inc/base.h"

#include <cstring>

namespace {

HWND g_activeDialog = nullptr;  // written by the UI thread

// A string id is a pointer value below 0x10000.
bool IsId(LPCSTR textOrId) { return reinterpret_cast<UINT_PTR>(textOrId) < 0x10000; }

// The text, or the string resource, into the buffer.
const char* TextOf(LPCSTR textOrId, char* buffer, int size) {
  if (!IsId(textOrId)) return textOrId;
  buffer[0] = 0;
  LoadStringA(GetModuleHandleA(nullptr), static_cast<UINT>(reinterpret_cast<UINT_PTR>(textOrId)), buffer, size);
  return buffer;
}

}  // namespace

HWND ActiveDialog() { return g_activeDialog; }

LRESULT CWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(m_hwnd, message, wParam, lParam);
}

LRESULT CALLBACK CWindow::StaticWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* object = reinterpret_cast<CWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (!object) {
    if (message != WM_NCCREATE) return DefWindowProcA(hwnd, message, wParam, lParam);
    object = static_cast<CWindow*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    if (!object) {
      AssertFailed("pWnd", "P:\\Inc\\CWindow", __LINE__);
      return DefWindowProcA(hwnd, message, wParam, lParam);
    }
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(object));
    object->m_hwnd = hwnd;
  }
  if (message == WM_NCDESTROY) {
    object->m_hwnd = nullptr;
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
    object->OnMessage(message, wParam, lParam);
    return DefWindowProcA(hwnd, message, wParam, lParam);
  }
  return object->OnMessage(message, wParam, lParam);
}

HWND CWindow::Detach() {
  HWND h = m_hwnd;
  if (h) SetWindowLongPtrA(h, GWLP_USERDATA, 0);
  m_hwnd = nullptr;
  return h;
}

LRESULT CWindow::SendText(UINT message, LPCSTR textOrId) {
  char buffer[1024];
  return SendMessageA(m_hwnd, message, 0, reinterpret_cast<LPARAM>(TextOf(textOrId, buffer, sizeof buffer)));
}

BOOL CWindow::AddStrings(LPCSTR textOrId, UINT message) {
  char buffer[1024];
  const char* text = TextOf(textOrId, buffer, sizeof buffer);
  if (text != buffer) {
    size_t n = strnlen(text, sizeof buffer - 1);
    std::memcpy(buffer, text, n);
    buffer[n] = 0;
  }
  int pieces = SplitAtLastCharacter(buffer);
  const char* piece = buffer;
  for (int i = 0; i < pieces; ++i) {
    if (SendMessageA(m_hwnd, message, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(piece)) == -1) return FALSE;
    piece += std::strlen(piece) + 1;
  }
  return TRUE;
}

BOOL CDialog::OnCommand(WORD id, WORD, HWND) {
  if (id == IDOK || id == IDCANCEL) {
    EndDialog(m_hwnd, id);
    return 0;
  }
  return 1;
}
BOOL CDialog::OnInitDialog(HWND, LPARAM) { return 0; }
void CDialog::OnClose() { EndDialog(m_hwnd, IDCANCEL); }
void CDialog::OnDestroy() {}
INT_PTR CDialog::OnStyleChanged(WPARAM, LPARAM) { return 0; }
INT_PTR CDialog::OnNotify(WPARAM, NMHDR*) { return 0; }
INT_PTR CDialog::OnOther(UINT, WPARAM, LPARAM) { return 0; }

INT_PTR CALLBACK CDialog::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* object = reinterpret_cast<CDialog*>(GetWindowLongPtrA(dialog, DWLP_USER));
  if (message == WM_INITDIALOG) {
    object = reinterpret_cast<CDialog*>(lParam);
    if (!object) return FALSE;
    // The caller's window, held by the object until now, lets the keyboard
    // move into the dialog.
    if (object->m_hwnd)
      SetWindowLongPtrA(object->m_hwnd, GWL_EXSTYLE,
                        GetWindowLongPtrA(object->m_hwnd, GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
    object->m_hwnd = dialog;
    if (!object->OnInitDialog(reinterpret_cast<HWND>(wParam), lParam)) {
      object->m_hwnd = nullptr;
      return FALSE;
    }
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(object));
    return TRUE;
  }
  if (!object) return FALSE;
  switch (message) {
    case WM_COMMAND: return object->OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
    case WM_CLOSE: object->OnClose(); return TRUE;
    case WM_DESTROY:
      object->OnDestroy();
      SetWindowLongPtrA(dialog, DWLP_USER, 0);
      object->m_hwnd = nullptr;
      return TRUE;
    case WM_STYLECHANGED: return object->OnStyleChanged(wParam, lParam);
    case WM_NOTIFY: return object->OnNotify(wParam, reinterpret_cast<NMHDR*>(lParam));
    case WM_ACTIVATE: g_activeDialog = LOWORD(wParam) == WA_INACTIVE ? nullptr : dialog; break;
    default: break;
  }
  return object->OnOther(message, wParam, lParam);
}

void CenterDialog(HWND dialog) {
  RECT d, over;
  GetWindowRect(dialog, &d);
  HWND parent = GetParent(dialog);
  if (!parent || !GetWindowRect(parent, &over)) SetRect(&over, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
  int w = d.right - d.left, h = d.bottom - d.top;
  int x = over.left + (over.right - over.left - w) / 2, y = over.top + (over.bottom - over.top - h) / 2;
  int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
  if (x + w > sw) x = sw - w;
  if (y + h > sh) y = sh - h;
  if (x < 0) x = 0;
  if (y < 0) y = 0;
  SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
