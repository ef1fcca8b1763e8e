// Dialog CROSSFADE on the system's dialog code, driven with real messages:
// curve buttons with the link rules, the length field, OK and Cancel.
#include <windows.h>

#include <string>

#include "mixer/arrange/editpriv.h"
#include "mixer/arrange/tests/partcmds_fixture.h"
#include "mixer/arrange/win32/xfadedlg.h"
#include "mixer/model/textfields.h"
#include "mixer/model/win32/dialogs.h"
#include "mixer/model/win32/tests/modal_closer.h"
#include "mixer/shell/wndtable.h"

namespace {

std::string ItemText(HWND dlg, int id) {
  char text[128] = "";
  GetDlgItemTextA(dlg, id, text, sizeof text);
  return text;
}

void Click(HWND dlg, int id) { SendMessageA(GetDlgItem(dlg, id), BM_CLICK, 0, 0); }

class XfadeDialog : public CmdFixture {
 protected:
  HWND main_ = nullptr;
  uint32_t f = 0, g = 0;
  void SetUp() override {
    CmdFixture::SetUp();
    main_ = CreateWindowExA(0, "STATIC", "Main", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 60, 80, 600,
                            400, nullptr, nullptr, nullptr, nullptr);
    WndTable[kMainWnd] = main_;
    const uint32_t t = Take(1000000);
    PartRec a = NewPart(0, 88200, t, 3, S);
    PartRec b = NewPart(44100, 88200, t, 3, S);
    b.Offset = 100000;
    f = Add(0, a);
    g = Add(0, b);
    P(f).XfadeOutPartner = static_cast<uint16_t>(g);
    P(g).XfadeInPartner = static_cast<uint16_t>(f);
    P(f).XfadeOutWindow[1] = P(g).XfadeInWindow[1] = 255;
  }
  void TearDown() override {
    DestroyWindow(main_);
    WndTable[kMainWnd] = nullptr;
    CmdFixture::TearDown();
  }
  INT_PTR Run(int32_t first, int button, std::function<void(HWND)> act) {
    ModalCloser closer(button, act);
    return DoDialogParam(main_, "CROSSFADE", CrossfadeDlgProc, first);
  }
};

TEST_F(XfadeDialog, CurveButtonsFollowTheLinkAndOkKeepsThePairsChanges) {
  std::string outName, inName, length;
  BOOL disabled = TRUE;
  const INT_PTR result = Run(static_cast<int32_t>(f), IDOK, [&](HWND dlg) {
    length = ItemText(dlg, kXfLengthTc);
    Click(dlg, kXfLinkEqualGain);
    Click(dlg, kXfOutCurve0 + 3);
    outName = ItemText(dlg, kXfOutName);
    inName = ItemText(dlg, kXfInName);
    Click(dlg, kXfLinkEqualPower);
    disabled = IsWindowEnabled(GetDlgItem(dlg, kXfOutCurve0 + 1));
    // Half a second of overlap, entered as time code.
    SetDlgItemTextA(dlg, kXfLengthTc, "00:00:00:15.0");
    SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(kXfLengthTc, EN_KILLFOCUS),
                 reinterpret_cast<LPARAM>(GetDlgItem(dlg, kXfLengthTc)));
  });
  EXPECT_EQ(result, 1);
  EXPECT_EQ(length.rfind("00:00:01:00", 0), 0u) << length;
  EXPECT_EQ(outName, "Exp (a)");
  EXPECT_EQ(inName, "Log (a)");
  EXPECT_FALSE(disabled);
  // Equal power over Exp (a): back to Linear out, Log (c) in.
  EXPECT_EQ(P(f).XfadeOutCurve, 0);
  EXPECT_EQ(P(g).XfadeInCurve, 6);
  TcRec tc{};
  TextToTimeCode("00:00:00:15.0", &tc, 1);
  const int32_t half = TimeCodeToLoc(tc, 0);
  ASSERT_GT(half, 10);
  EXPECT_EQ(arredit::End(P(f)) - P(g).Start, half);
  EXPECT_EQ(XfadeLastLink, kXfLinkEqualPower);
}

TEST_F(XfadeDialog, DefaultsAreStoredOnlyByOk) {
  Run(-1, IDCANCEL, [](HWND dlg) { Click(dlg, kXfOutCurve0 + 5); });
  EXPECT_EQ(XfadeDefaults.OutCurve, 0);
  Run(-1, IDOK, [](HWND dlg) {
    Click(dlg, kXfOutCurve0 + 5);
    Click(dlg, kXfViewOverlaid);
  });
  EXPECT_EQ(XfadeDefaults.OutCurve, 5);
  EXPECT_EQ(XfadeDefaults.View, kXfViewOverlaid);
}

}  // namespace
