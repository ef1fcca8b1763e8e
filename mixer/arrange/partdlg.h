// The Part dialogs' working logic: the volume and fade dialog over the
// selected Audio Parts, and the Part information dialog of one Part. The
// dialog windows drive a VolumeDlg or an InfoDlg through the window seam
// (ArrEditWindow::RunVolumeDialog, RunInfoDialog); tests drive them the same
// way with a scripted user.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mixer/arrange/services.h"
#include "mixer/model/arr.h"

// A level as the dialogs show it, in whole and tenth dB below unity
// ("-0.5 dB", unity "-0.0 dB").
void ArrLevelText(uint32_t gain, char* out, int size);

constexpr int32_t kVolFaderRange = 512;

// The begin and end faders with their link box, as the volume dialog and the
// Audio information dialog have them. Positions run 0..512, loud at 512
// (scroll bars show 512 - position).
class LevelPair {
 public:
  LevelPair() = default;
  LevelPair(uint32_t beginGain, uint32_t endGain);
  // Moves fader `side` (0 begin, 1 end); with the link the other follows.
  void Move(int side, int32_t position);
  void SetLink(int on);
  int Link() const { return link_; }
  uint32_t Gain(int side) const { return gain_[side]; }
  uint32_t OpenGain(int side) const { return open_[side]; }
  int32_t Position(int side) const { return pos_[side]; }
  // 1 when the faders still differ by what they did at opening.
  int MovedTogether() const;

 private:
  uint32_t gain_[2] = {32768, 32768};
  uint32_t open_[2] = {32768, 32768};
  int32_t pos_[2] = {kVolFaderRange, kVolFaderRange};
  int32_t diff_ = 0;  // end less begin, 0.1 dB
  int link_ = 0;
};

// Options of the volume dialog kept for the run.
extern int VolGlobalFade, VolUpdatePrev, VolUpdateNext, VolLinkState;

class VolumeDlg {
 public:
  explicit VolumeDlg(int32_t part);
  LevelPair Levels;
  int32_t Curve = -1;  // the chosen fade shape, -1 none
};
// OK of the volume dialog: the choices applied to the selected Parts.
void ArrVolumeApply(const VolumeDlg& dlg, DcHandle dc);
// The Volume and Fade tool on the clicked Part.
int ArrVolumeTool(int32_t part, DcHandle dc);

// Options of the information dialog kept for the run.
extern int InfoUpdateAllNames, InfoAppendSpeakerExt, InfoUpdateTakeNames;

// The time fields by the id of their time-code control.
enum : int {
  kInfoStart = 124,
  kInfoLength = 126,
  kInfoOffset = 128,
  kInfoSnap = 130,
};

class InfoDlg {
 public:
  explicit InfoDlg(int32_t part);
  int32_t Part() const { return part_; }
  // The value a time field shows, from the Part as it is now.
  int32_t Field(int field) const;
  // Applies a time field that lost the focus: its difference from the Part's
  // value goes to every selected Part. 0 with the refusal shown, nothing
  // changed.
  int ApplyField(int field, int32_t samples, DcHandle dc);
  int Applied() const { return applied_; }
  // The output list: 0 "Muted", n "Track n" (1..128).
  int OutputIndex() const { return output_; }
  void ChooseOutput(int index);
  char Name[64] = {};
  int Timelock = 0, Phase = 0, Curve = 0, Knob = 0;
  LevelPair Levels;
  // OK: 0 with the name's refusal shown (the dialog stays open).
  int Ok(DcHandle dc);

 private:
  int32_t part_;
  int output_ = 0;
  int outputChanged_ = 0;
  int applied_ = 0;
};
// The Takes the information dialog lists: the file names of the Takes of
// the Part's kind in its Take's folder, sorted, the Part's own Take among
// them; *current is the index of the Part's own.
std::vector<std::string> ArrInfoTakeList(int32_t part, int* current);

// The Info tool on the clicked Part.
int ArrInfoTool(int32_t part, DcHandle dc);
