// Set-up shared by the Part command and crossfade tests: Take records
// without files, a window stand-in that answers the number dialog and runs
// a scripted crossfade dialog, and an undo/redo round trip check.
#pragma once

#include <functional>

#include "mixer/arrange/partcmds.h"
#include "mixer/arrange/partdlg.h"
#include "mixer/arrange/tests/edit_fixture.h"
#include "mixer/arrange/xfade.h"

class CmdWindow : public RecWindow {
 public:
  int inputResult = 1;
  int32_t inputValue = 1;
  std::function<int(int32_t)> xfadeDialog;  // the user's actions; returns OK (1) or Cancel (0)
  int InputNumber(uint32_t caption, int32_t* value) override {
    FakeLog("InputNumber(%u, %d)", caption, *value);
    *value = inputValue;
    return inputResult;
  }
  std::function<int(VolumeDlg&)> volumeDialog;
  std::function<int(InfoDlg&)> infoDialog;
  int RunVolumeDialog(VolumeDlg& d) override { return volumeDialog ? volumeDialog(d) : 0; }
  int RunInfoDialog(InfoDlg& d) override { return infoDialog ? infoDialog(d) : 0; }
  int RunCrossfadeDialog(int32_t first) override {
    FakeLog("RunCrossfadeDialog(%d)", first);
    return xfadeDialog ? xfadeDialog(first) : 0;
  }
  void DrawMoveOutline(DcHandle, const int32_t* w) override { FakeLog("DrawMoveOutline(%d)", w[2]); }
  void DrawSlipFeedback(DcHandle, const int32_t* w) override { FakeLog("DrawSlipFeedback(%d)", w[0]); }
};

class CmdFixture : public EditFixture {
 protected:
  CmdWindow cmdWindow;
  static constexpr uint32_t S = kPartSelected;

  void SetUp() override {
    EditFixture::SetUp();
    ArrSetEditSeams(&cmdWindow, &routines);
    XfadeDefaults = XfadeSettings();
    XfadeLastView = kXfViewSeparateFaded;
    XfadeLastLink = kXfLinkNone;
    VolGlobalFade = VolUpdatePrev = VolUpdateNext = VolLinkState = 0;
    InfoUpdateAllNames = InfoAppendSpeakerExt = InfoUpdateTakeNames = 0;
  }
  // An open Audio Take record of `samples` samples with no file behind it.
  uint32_t Take(uint32_t samples) {
    static int serial = 0;
    TakeImage image{};
    std::snprintf(image.path, sizeof image.path, "C:\\Takes\\T%d.ATAK", ++serial);
    image.kind = 3;
    image.word4 = 2;
    image.word1 = samples;
    image.dataEnd = samples * 2;
    TakeRec* take = TakeAlloc(image);
    EXPECT_NE(take, nullptr);
    return TakeRef(take);
  }
  // The operation ran as one undo step: Undo gives back `before` byte for
  // byte and Redo gives back the result.
  void ExpectUndoRedo(const std::vector<uint8_t>& before) {
    const auto after = Image();
    ASSERT_EQ(UndoGetLevel(), 1u);
    ASSERT_EQ(UndoApply(1), 1);
    EXPECT_EQ(Image(), before);
    ASSERT_EQ(RedoApply(), 1);
    EXPECT_EQ(Image(), after);
  }
};
