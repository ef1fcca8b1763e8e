// The message-box reporter: a report with data opens the "Event Detail"
// dialog (resource 130 of the reporter's module, with its hex dump); one
// without shows a message box by severity. The module's strings 1, 2, 3
// are the severity words "Information", "Warning", "Error".
#pragma once
#include "Inc/base.h"

class CMessageBoxReporter : public CReporter {
 public:
  // 1 after the dialog; -1 (continue) for Yes, 0 for No, else 1.
  int WINAPI Report(DWORD messageId, DWORD dataLen, const void* data, DWORD nStrings, LPCSTR* strings) override;
};

constexpr int IDD_EVENT_DETAIL = 130;
constexpr int IDC_EVENT_DATE = 1000, IDC_EVENT_TIME = 1001, IDC_EVENT_ID = 1002, IDC_EVENT_TYPE = 1003,
              IDC_EVENT_TEXT = 1004, IDC_EVENT_BYTES = 1005, IDC_EVENT_WORDS = 1006, IDC_EVENT_DATA = 1007;
