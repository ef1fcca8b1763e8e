// Dialogs VOLUME and AUDPARTINFO on the system's dialog code, driven with
// real messages through the tools that open them.
#include <windows.h>

#include <string>

#include "mixer/arrange/editpriv.h"
#include "mixer/arrange/tests/partcmds_fixture.h"
#include "mixer/arrange/win32/partdlgs_win.h"
#include "mixer/model/util/gain.h"
#include "mixer/model/util/strtab.h"
#include "mixer/model/win32/tests/modal_closer.h"
#include "mixer/shell/wndtable.h"

namespace {

std::string ItemText(HWND dlg, int id) {
  char text[128] = "";
  GetDlgItemTextA(dlg, id, text, sizeof text);
  return text;
}

std::string Trimmed(const std::string& s) { return s.substr(std::min(s.find_first_not_of(' '), s.size())); }

// The arrange window's side of the seam: the real dialogs.
class DialogWindow : public CmdWindow {
 public:
  HWND owner = nullptr;
  int RunVolumeDialog(VolumeDlg& d) override { return ArrRunVolumeDlg(owner, d); }
  int RunInfoDialog(InfoDlg& d) override { return ArrRunInfoDlg(owner, d); }
};

class PartDialogs : public CmdFixture {
 protected:
  DialogWindow wnd;
  HWND main_ = nullptr;
  void SetUp() override {
    CmdFixture::SetUp();
    main_ = CreateWindowExA(0, "STATIC", "Main", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 60, 80, 700,
                            500, nullptr, nullptr, nullptr, nullptr);
    WndTable[kMainWnd] = main_;
    wnd.owner = main_;
    ArrSetEditSeams(&wnd, &routines);
  }
  void TearDown() override {
    DestroyWindow(main_);
    WndTable[kMainWnd] = nullptr;
    CmdFixture::TearDown();
  }
};

TEST_F(PartDialogs, VolumeFadersCurveAndOkReachTheSelectedParts) {
  PartRec a = NewPart(0, 100, 1, 3, S);
  a.GainStart = a.GainEnd = DeciDbToGain(-60);
  const uint32_t sa = Add(0, a);
  std::string shown, moved, name;
  ModalCloser closer(IDOK, [&](HWND dlg) {
    shown = ItemText(dlg, kPdBeginText);
    HWND bar = GetDlgItem(dlg, kPdBeginBar);
    SendMessageA(dlg, WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 0), reinterpret_cast<LPARAM>(bar));
    moved = ItemText(dlg, kPdBeginText);
    SendMessageA(GetDlgItem(dlg, kPdCurve0 + 1), BM_CLICK, 0, 0);
    name = ItemText(dlg, kPdFade);
  });
  ASSERT_EQ(ArrVolumeTool(static_cast<int32_t>(sa), nullptr), 1);
  EXPECT_EQ(shown, "-6.0 dB");
  EXPECT_EQ(moved, "-0.0 dB");
  EXPECT_EQ(name, "Cosine");
  EXPECT_EQ(P(sa).GainStart, 32768u);
  EXPECT_EQ(GainToDeciDb(P(sa).GainEnd), -60);
  EXPECT_EQ(P(sa).FadeCurve, 1);
  EXPECT_EQ(UndoGetLevel(), 1u);
}

TEST_F(PartDialogs, InfoShowsMutedForAChannelBeyondItsListAndKeepsIt) {
  const uint32_t t = Take(100000);
  PartRec a = NewPart(0, 1000, t, 3, S);
  a.PlayChannel = 150;
  const uint32_t sa = Add(0, a);
  int outputSel = -1;
  std::string outputText;
  std::vector<uint32_t> boxesAfterZero;
  ModalCloser closer(IDOK, [&](HWND dlg) {
    outputSel = static_cast<int>(SendDlgItemMessageA(dlg, kPdOutput, CB_GETCURSEL, 0, 0));
    char text[32] = "";
    SendDlgItemMessageA(dlg, kPdOutput, CB_GETLBTEXT, static_cast<WPARAM>(outputSel),
                        reinterpret_cast<LPARAM>(text));
    outputText = text;
    // A length of 0 is refused.
    SetDlgItemTextA(dlg, kInfoLength, "00:00:00:00.0");
    SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(kInfoLength, EN_KILLFOCUS),
                 reinterpret_cast<LPARAM>(GetDlgItem(dlg, kInfoLength)));
    boxesAfterZero = BoxIds();
    SetDlgItemTextA(dlg, kPdName, "Lead");
    SendMessageA(GetDlgItem(dlg, kPdTimelock), BM_CLICK, 0, 0);
  });
  ASSERT_EQ(ArrInfoTool(static_cast<int32_t>(sa), nullptr), 1);
  EXPECT_EQ(outputSel, 0);
  EXPECT_EQ(outputText, "Muted");
  EXPECT_EQ(boxesAfterZero, std::vector<uint32_t>{IDS_PART_ZERO_LENGTH});
  EXPECT_EQ(P(sa).Length, 1000);
  EXPECT_EQ(P(sa).PlayChannel, 150);
  EXPECT_STREQ(P(sa).Name, "Lead");
  EXPECT_TRUE(P(sa).Flags & kPartTimelocked);
}

TEST_F(PartDialogs, InfoTimesReadAndWriteBarsBeatsAndTicks) {
  const uint32_t t = Take(441000);
  const uint32_t sa = Add(0, NewPart(88200, 22050, t, 3, S));  // bar 2; a beat long
  std::string start, length, takeLength;
  ModalCloser closer(IDOK, [&](HWND dlg) {
    start = ItemText(dlg, kInfoStart + 1);
    length = ItemText(dlg, kInfoLength + 1);
    takeLength = ItemText(dlg, kPdTakeLength);
    // Two bars long, typed as bars/beats/ticks.
    SetDlgItemTextA(dlg, kInfoLength + 1, "2 0 0");
    SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(kInfoLength + 1, EN_KILLFOCUS),
                 reinterpret_cast<LPARAM>(GetDlgItem(dlg, kInfoLength + 1)));
  });
  ASSERT_EQ(ArrInfoTool(static_cast<int32_t>(sa), nullptr), 1);
  EXPECT_EQ(Trimmed(start), "2. 1.  0") << start;
  EXPECT_EQ(Trimmed(length), "0. 1.  0") << length;
  EXPECT_EQ(takeLength.rfind("00:00:10:00", 0), 0u) << takeLength;
  EXPECT_EQ(P(sa).Length, 2 * 88200);
}

}  // namespace
