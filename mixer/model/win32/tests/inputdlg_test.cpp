// Dialog INPUT on the system's own dialog code: caption, placement, the text
// carried in and out through the input buffer, OK and Cancel.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "mixer/model/win32/dialogs.h"
#include "mixer/model/win32/inputdlg.h"
#include "mixer/shell/wndtable.h"
#include "modal_closer.h"

namespace {

std::string EditText(HWND dlg) {
  char text[1024] = "";
  GetDlgItemTextA(dlg, kInputEdit, text, sizeof text);
  return text;
}

POINT Centre(HWND wnd) {
  RECT rc;
  GetWindowRect(wnd, &rc);
  return {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
}

class InputDlg : public ::testing::Test {
 protected:
  void SetUp() override {
    main_ = CreateWindowExA(0, "STATIC", "Main", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 60, 80, 500, 360,
                            nullptr, nullptr, nullptr, nullptr);
    WndTable[kMainWnd] = main_;
    SetInputText("");
  }
  void TearDown() override {
    DestroyWindow(main_);
    WndTable[kMainWnd] = nullptr;
  }
  // Runs the dialog; `button` is pressed after `entry` was typed into the
  // edit (when not null).
  INT_PTR Run(const char* caption, int button, const char* entry) {
    ModalCloser closer(button, [&](HWND dlg) {
      shownText_ = EditText(dlg);
      char label[32] = "";
      GetDlgItemTextA(dlg, -1, label, sizeof label);
      label_ = label;
      dlgCentre_ = Centre(dlg);
      if (entry) SetDlgItemTextA(dlg, kInputEdit, entry);
    });
    INT_PTR result = DoDialogParam(main_, "INPUT", InputDlgProc, reinterpret_cast<LPARAM>(caption));
    seen_ = closer.seen();
    return result;
  }

  HWND main_;
  ModalSeen seen_;
  std::string shownText_;
  std::string label_;
  POINT dlgCentre_ = {};
};

TEST_F(InputDlg, OpensCentredOverTheMainWindowWithCaptionAndBufferText) {
  SetInputText("12.50");
  EXPECT_EQ(Run("VARISPEED (Percentage)", IDCANCEL, nullptr), 2);
  ASSERT_TRUE(seen_.found);
  EXPECT_EQ(seen_.caption, "VARISPEED (Percentage)");
  EXPECT_EQ(label_, "Value:");
  EXPECT_EQ(shownText_, "12.50");
  POINT mainCentre = Centre(main_);
  EXPECT_NEAR(dlgCentre_.x, mainCentre.x, 1);
  EXPECT_NEAR(dlgCentre_.y, mainCentre.y, 1);
}

TEST_F(InputDlg, CancelEndsWith2AndKeepsTheBuffer) {
  SetInputText("7");
  EXPECT_EQ(Run("Repeat Count", IDCANCEL, "99"), 2);
  EXPECT_STREQ(InputText(), "7");
}

TEST_F(InputDlg, OkEndsWith1AndTakesAtMost255Characters) {
  const std::string full(255, '5');
  const struct Case {
    std::string entry, kept;
  } cases[] = {
      {"42", "42"},
      {"", ""},
      {full, full},
      {std::string(300, '8'), std::string(255, '8')},
  };
  for (const Case& c : cases) {
    SetInputText("old");
    EXPECT_EQ(Run("Repeat Count", IDOK, c.entry.c_str()), 1);
    EXPECT_EQ(std::string(InputText()), c.kept) << "entry of " << c.entry.size();
  }
}

TEST_F(InputDlg, TextSetForTheDialogIsCutTo255Characters) {
  SetInputText(std::string(400, '1').c_str());
  EXPECT_EQ(std::strlen(InputText()), 255u);
  EXPECT_EQ(Run("Repeat Count", IDOK, nullptr), 1);
  EXPECT_EQ(shownText_, std::string(255, '1'));
  SetInputText(nullptr);
  EXPECT_STREQ(InputText(), "");
}

}  // namespace
