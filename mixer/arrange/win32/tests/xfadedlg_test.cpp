// Dialog CROSSFADE on the system's dialog code, driven with real messages:
// curve buttons with the link rules, the length field, OK and Cancel.
#include <windows.h>

#include <commctrl.h>

#include <string>

#include "mixer/arrange/editpriv.h"
#include "mixer/arrange/tests/partcmds_fixture.h"
#include "mixer/arrange/win32/chanmenu.h"
#include "mixer/arrange/win32/xfadedlg.h"
#include "mixer/arrange/win32/xfdisp.h"
#include "tests/fakes/units_fake.h"
#include "mixer/model/textfields.h"
#include "mixer/model/win32/dialogs.h"
#include "mixer/model/win32/tests/modal_closer.h"
#include "mixer/shell/wndtable.h"
#include "tests/win32/shot.h"

namespace {

std::string ItemText(HWND dlg, int id) {
  char text[128] = "";
  GetDlgItemTextA(dlg, id, text, sizeof text);
  return text;
}

void Click(HWND dlg, int id) { SendMessageA(GetDlgItem(dlg, id), BM_CLICK, 0, 0); }

// With HRL_SHOT_DIR set, the dialog as it looks is written there as
// <name>.bmp, for a look at it under a real display.
void MaybeSaveShot(HWND dlg, const char* name) {
  const std::string path = hrl_test::ShotPath(name, "HRL_SHOT_DIR");
  if (!path.empty()) hrl_test::SaveWindowShot(dlg, path, hrl_test::ShotFrom::kWindow);
}

class XfadeDialog : public CmdFixture {
 protected:
  HWND main_ = nullptr;
  uint32_t f = 0, g = 0;
  void SetUp() override {
    CmdFixture::SetUp();
    Units() = UnitsFake();
    ASSERT_TRUE(RegisterXfadeDisplayClass(GetModuleHandleA(nullptr)));
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

TEST_F(XfadeDialog, LengthInBarsAndBeatsSetsTheOverlap) {
  std::string shown;
  Run(static_cast<int32_t>(f), IDOK, [&](HWND dlg) {
    shown = ItemText(dlg, kXfLengthBbt);
    // One beat at 120 beats a minute: half a second.
    SetDlgItemTextA(dlg, kXfLengthBbt, "0 1 0");
    SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(kXfLengthBbt, EN_KILLFOCUS),
                 reinterpret_cast<LPARAM>(GetDlgItem(dlg, kXfLengthBbt)));
  });
  EXPECT_NE(shown.find('2'), std::string::npos) << shown;  // one second: two beats
  EXPECT_EQ(arredit::End(P(f)) - P(g).Start, 22050);
}

TEST_F(XfadeDialog, AuditionButtonsPlayTheAlteredPairAndRestoreIt) {
  const auto before = Image();
  BOOL enabled = FALSE;
  int16_t layerWhilePlaying = 0;
  PBRANGE range{};
  Run(static_cast<int32_t>(f), IDOK, [&](HWND dlg) {
    enabled = IsWindowEnabled(GetDlgItem(dlg, kXfAudition0 + 2));
    Click(dlg, kXfAudition0 + 2);  // 721: both at unity, the first on top
    layerWhilePlaying = P(f).Layer;
    SendDlgItemMessageA(dlg, kXfProgress, PBM_GETRANGE, 0, reinterpret_cast<LPARAM>(&range));
    Click(dlg, kXfAudition0 + 2);  // pressed again: stops
  });
  EXPECT_TRUE(enabled);
  EXPECT_EQ(layerWhilePlaying, 32767);
  EXPECT_EQ(range.iLow, 44100);
  EXPECT_EQ(range.iHigh, 88200);
  EXPECT_TRUE(Logged("TransportStartAudition(44100, 88200)"));
  EXPECT_TRUE(Logged("TransportStopAudition()"));
  EXPECT_EQ(Image(), before);

  // OK during an audition ends it and restores the pair as well.
  Services().Reset();
  Run(static_cast<int32_t>(f), IDOK, [&](HWND dlg) { Click(dlg, kXfAudition0); });
  EXPECT_TRUE(Logged("TransportStopAudition()"));
  EXPECT_EQ(Image(), before);

  // Not while the transport runs, and never for the defaults.
  Services().transportState = kTransportPlaying;
  Run(static_cast<int32_t>(f), IDCANCEL,
      [&](HWND dlg) { enabled = IsWindowEnabled(GetDlgItem(dlg, kXfAudition0)); });
  EXPECT_FALSE(enabled);
  Services().transportState = kTransportStopped;
  Run(-1, IDCANCEL, [&](HWND dlg) { enabled = IsWindowEnabled(GetDlgItem(dlg, kXfAudition0)); });
  EXPECT_FALSE(enabled);
}

TEST_F(XfadeDialog, PreviewHandlesDragTheFractionsOfThePair) {
  Run(static_cast<int32_t>(f), IDOK, [&](HWND dlg) {
    HWND preview = GetDlgItem(dlg, kXfPreview);
    RECT rc;
    GetClientRect(preview, &rc);
    // The fade-out start handle at the top left, dragged to the middle.
    SendMessageA(preview, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    SendMessageA(preview, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(rc.right / 2, 2));
    SendMessageA(preview, WM_LBUTTONUP, 0, MAKELPARAM(rc.right / 2, 2));
    MaybeSaveShot(dlg, "crossfade");
  });
  EXPECT_NEAR(P(f).XfadeOutWindow[0], 128, 1);
  EXPECT_EQ(P(f).XfadeOutWindow[1], 255);
}

TEST_F(XfadeDialog, PreviewWithoutWaveformsFallsBackToNoView) {
  UINT none = BST_UNCHECKED;
  Run(static_cast<int32_t>(f), IDCANCEL,
      [&](HWND dlg) { none = IsDlgButtonChecked(dlg, kXfViewNone); });
  EXPECT_EQ(none, static_cast<UINT>(BST_UNCHECKED));  // the samples were read
  Units().natDevAllIdle = 0;  // busy, and no overview files
  Run(static_cast<int32_t>(f), IDCANCEL,
      [&](HWND dlg) { none = IsDlgButtonChecked(dlg, kXfViewNone); });
  EXPECT_EQ(none, static_cast<UINT>(BST_CHECKED));
}

TEST(XfadeDisplayClass, ReplacesAStandInRegistration) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  UnregisterClassA("XFDisp_WC", instance);
  WNDCLASSA plain = {};
  plain.lpfnWndProc = DefWindowProcA;
  plain.hInstance = instance;
  plain.lpszClassName = "XFDisp_WC";
  ASSERT_NE(RegisterClassA(&plain), 0);
  ASSERT_TRUE(RegisterXfadeDisplayClass(instance));
  WNDCLASSA wc = {};
  ASSERT_TRUE(GetClassInfoA(instance, "XFDisp_WC", &wc));
  EXPECT_EQ(wc.lpfnWndProc, XFDispWndProc);
  EXPECT_EQ(wc.style, 0u);
  EXPECT_EQ(wc.hbrBackground, nullptr);
  EXPECT_EQ(wc.cbWndExtra, 0);
  EXPECT_TRUE(RegisterXfadeDisplayClass(instance));
}

TEST(ChannelMenu, ColumnsOf32BeginWithABreak) {
  std::vector<std::string> texts;
  std::vector<ArrMenuItem> items;
  for (int i = 0; i < 128; ++i) texts.push_back("Track " + std::to_string(i + 1));
  for (int i = 0; i < 128; ++i) items.push_back({texts[i].c_str(), i == 69});
  HMENU menu = ArrBuildColumnMenu(items.data(), 128);
  ASSERT_NE(menu, nullptr);
  ASSERT_EQ(GetMenuItemCount(menu), 128);
  for (int i = 0; i < 128; ++i) {
    MENUITEMINFOA mi = {};
    mi.cbSize = sizeof mi;
    mi.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID;
    ASSERT_TRUE(GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &mi));
    EXPECT_EQ((mi.fType & MFT_MENUBARBREAK) != 0, i % 32 == 0 && i > 0) << i;
    EXPECT_EQ((mi.fState & MFS_CHECKED) != 0, i == 69) << i;
    EXPECT_EQ(mi.wID, static_cast<UINT>(i + 1));
  }
  DestroyMenu(menu);
}

}  // namespace
