#include "Inc/report.h"

#include "Inc/dump.h"
#include "Inc/window.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr DWORD AssertionReport = 0xC000FFFF;
constexpr DWORD AssertionQuestion = 0xC000FFFD;

UINT SeverityString(DWORD messageId) {
  switch (messageId >> 30) {
    case 2: return 2;
    case 3: return 3;
    default: return 1;
  }
}

std::string MessageText(HMODULE module, WORD language, DWORD messageId, LPCSTR* strings) {
  char* text = nullptr;
  DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY,
                           module, messageId, language, reinterpret_cast<LPSTR>(&text), 0,
                           reinterpret_cast<va_list*>(const_cast<char**>(strings)));
  std::string out = n && text ? text : "";
  if (text) LocalFree(text);
  return out;
}

// One font for every dump, made once per process.
HFONT DumpFont() {
  static HFONT font = CreateFontA(-MulDiv(8, 96, 72), 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0,
                                  FIXED_PITCH, "Courier");
  return font;
}

class CEventDetail : public CDialog {
 public:
  CEventDetail(const CReporter* r, DWORD id, DWORD length, const void* data, DWORD n, LPCSTR* strings)
      : m_reporter(r), m_id(id), m_length(length), m_data(static_cast<const uint8_t*>(data)), m_n(n), m_strings(strings) {}

  BOOL OnInitDialog(HWND, LPARAM) override {
    SYSTEMTIME now;
    GetLocalTime(&now);
    char text[256];
    GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &now, nullptr, text, sizeof text);
    SetDlgItemTextA(m_hwnd, IDC_EVENT_DATE, text);
    GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &now, nullptr, text, sizeof text);
    SetDlgItemTextA(m_hwnd, IDC_EVENT_TIME, text);
    std::snprintf(text, sizeof text, "%lu", static_cast<unsigned long>(m_id & 0xFFFF));
    SetDlgItemTextA(m_hwnd, IDC_EVENT_ID, text);
    UINT severity = SeverityString(m_id);
    LoadStringA(m_reporter->m_module, severity, text, sizeof text);
    SetDlgItemTextA(m_hwnd, IDC_EVENT_TYPE, text);
    if (severity == 2) MessageBeep(MB_ICONWARNING);
    if (severity == 3) MessageBeep(MB_ICONHAND);
    SetDlgItemTextA(m_hwnd, IDC_EVENT_TEXT, MessageText(m_reporter->m_module, m_reporter->m_language, m_id, m_strings).c_str());
    SendDlgItemMessageA(m_hwnd, IDC_EVENT_DATA, WM_SETFONT, reinterpret_cast<WPARAM>(DumpFont()), FALSE);
    bool words = m_length % 4 == 0;
    CheckRadioButton(m_hwnd, IDC_EVENT_BYTES, IDC_EVENT_WORDS, words ? IDC_EVENT_WORDS : IDC_EVENT_BYTES);
    EnableWindow(GetDlgItem(m_hwnd, IDC_EVENT_BYTES), m_length != 0);
    EnableWindow(GetDlgItem(m_hwnd, IDC_EVENT_WORDS), m_length != 0);
    ShowDump(words);
    Title();
    return TRUE;
  }

  BOOL OnCommand(WORD id, WORD code, HWND control) override {
    if (id == IDC_EVENT_BYTES || id == IDC_EVENT_WORDS) {
      ShowDump(id == IDC_EVENT_WORDS);
      return 0;
    }
    return CDialog::OnCommand(id, code, control);
  }

 private:
  void ShowDump(bool words) {
    std::string dump = words ? DumpWords(m_data, m_length) : DumpBytes(m_data, m_length);
    SetDlgItemTextA(m_hwnd, IDC_EVENT_DATA, dump.c_str());
  }
  // The parent's title (at most 240 characters), " - " and the dialog's own.
  void Title() {
    HWND parent = GetParent(m_hwnd);
    char own[128] = "", parentTitle[241] = "";
    GetWindowTextA(m_hwnd, own, sizeof own);
    if (!parent) {
      CenterDialog(m_hwnd);
      return;
    }
    if (GetWindowTextA(parent, parentTitle, sizeof parentTitle) > 0) {
      std::string title = std::string(parentTitle) + " - " + own;
      SetWindowTextA(m_hwnd, title.c_str());
    }
  }

  const CReporter* m_reporter;
  DWORD m_id;
  DWORD m_length;
  const uint8_t* m_data;
  DWORD m_n;
  LPCSTR* m_strings;
};

}  // namespace

int WINAPI CMessageBoxReporter::Report(DWORD messageId, DWORD dataLen, const void* data, DWORD nStrings,
                                       LPCSTR* strings) {
  HWND owner = m_owner ? m_owner : GetForegroundWindow();
  if (dataLen) {
    CEventDetail dialog(this, messageId, dataLen, data, nStrings, strings);
    DialogBoxParamA(m_module, MAKEINTRESOURCEA(IDD_EVENT_DETAIL), owner, CDialog::DialogProc,
                    reinterpret_cast<LPARAM>(static_cast<CDialog*>(&dialog)));
    return 1;
  }
  UINT severity = SeverityString(messageId);
  UINT style = severity == 3 ? MB_ICONERROR : severity == 2 ? MB_ICONWARNING : MB_ICONINFORMATION;
  DWORD shown = messageId;
  if (messageId == AssertionReport) {
    shown = AssertionQuestion;
    style = MB_YESNO | MB_ICONERROR;
  }
  std::string text = MessageText(m_module, m_language, shown, strings);
  if (text.empty()) {
    char id[16];
    std::snprintf(id, sizeof id, "0x%lX\n", static_cast<unsigned long>(messageId));
    text = id;
    for (DWORD i = 0; i < nStrings; ++i) text += std::string(" ") + (strings[i] ? strings[i] : "") + "\n";
  }
  char word[32] = "";
  LoadStringA(m_module, severity, word, sizeof word);
  std::string title = m_caption ? m_caption : "";
  char windowText[241] = "";
  if ((!m_caption || owner) && owner && GetWindowTextA(owner, windowText, sizeof windowText) > 0) {
    title = std::string(windowText) + " - " + word;
  } else if (!m_caption) {
    title = word;
  }
  int answer = MessageBoxA(owner, text.c_str(), title.c_str(), style);
  if (answer == IDYES) return -1;
  if (answer == IDNO) return 0;
  return 1;
}
