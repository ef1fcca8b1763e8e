#include "mixer/model/trkcolors.h"

#include "mixer/model/util/format.h"
#include "mixer/model/ini.h"
#include "mixer/model/util/strtab.h"
#include "mixer/model/util/strutil.h"

uint32_t TrkColors[kTrkColorCount];
uint32_t CautomTrkColors[kCautomTrkColorCount];
uint32_t MidevTrkColors[kMidevTrkColorCount];

namespace {

enum { kRed, kGreen, kBlue };
constexpr int32_t kFullWeight = 256;

// One leg of the walk: `channel` moves by `step` until it reaches 0 or 256.
struct RampLeg {
  int channel;
  int32_t step;
};
constexpr RampLeg kCoarseWalk[6] = {{kGreen, 32}, {kRed, -64}, {kBlue, 64},
                                    {kGreen, -32}, {kRed, 64}, {kBlue, -64}};
constexpr RampLeg kFineWalk[6] = {{kBlue, 16}, {kGreen, -8}, {kRed, 16},
                                  {kBlue, -16}, {kGreen, 8}, {kRed, -16}};

uint32_t Channel(int32_t top, int32_t bottom, int32_t weight) {
  int32_t v = bottom + (top - bottom) * weight / kFullWeight;
  if (v > 255) v = 255;
  if (v < 0) v = 0;
  return static_cast<uint32_t>(v);
}

// Generated defaults of one group of tables.
using DefaultsFn = void (*)(uint32_t* table);

void AudioDefaults(uint32_t* table) { ColorRamp(256, 0, kTrkColorCount, table, 128); }

void AutomationDefaults(uint32_t* table) {
  struct Ramp {
    int32_t top, bottom;
  };
  constexpr Ramp kRamps[4] = {{256, 208}, {256, 160}, {256, 0}, {208, 0}};
  for (int t = 0; t < 4; ++t)
    ColorRamp(kRamps[t].top, 0, kTrkColorsPerKey, table + t * kTrkColorsPerKey,
              kRamps[t].bottom);
}

void MidiDefaults(uint32_t* table) { ColorRamp(256, 1, kMidevTrkColorCount, table, 208); }

struct ColorGroup {
  uint32_t firstKey;
  int count;
  uint32_t* colors;
  DefaultsFn defaults;
};
const ColorGroup kAudio = {IDS_INI_KEY_TRK_COLORS1, kTrkColorCount, TrkColors, AudioDefaults};
const ColorGroup kAutomation = {IDS_INI_KEY_CAUTOM_TRK_COLORS1, kCautomTrkColorCount,
                                CautomTrkColors, AutomationDefaults};
const ColorGroup kMidi = {IDS_INI_KEY_MIDEV_TRK_COLORS1, kMidevTrkColorCount, MidevTrkColors,
                          MidiDefaults};

void ReadGroup(const ColorGroup& group) {
  group.defaults(group.colors);
  for (int k = 0; k * kTrkColorsPerKey < group.count; ++k) {
    char text[kIniValueMax + 1];
    ReadIniString(MainIniPath(), IDS_INI_SEC_MAIN_WND, group.firstKey + k, text, sizeof text);
    const char* cursor = text;
    uint32_t* colors = group.colors + k * kTrkColorsPerKey;
    for (int i = 0; i < kTrkColorsPerKey && IniTextLeft(cursor); ++i)
      colors[i] = static_cast<uint32_t>(ParseNumber(&cursor));
  }
}

void WriteGroup(const ColorGroup& group) {
  for (int k = 0; k * kTrkColorsPerKey < group.count; ++k) {
    // 32 numbers of at most 8 digits (colours stay below 2^24) and blanks.
    char text[kIniValueMax + 1] = "";
    const uint32_t* colors = group.colors + k * kTrkColorsPerKey;
    for (int i = 0; i < kTrkColorsPerKey; ++i) {
      char number[16];
      FormatText(number, sizeof number, i ? " %d" : "%d", static_cast<int>(colors[i]));
      StrCatN(text, number, sizeof text);
    }
    WriteIniValue(MainIniPath(), IDS_INI_SEC_MAIN_WND, group.firstKey + k, "%s", text);
  }
}

}  // namespace

void ColorRamp(int32_t top, int32_t fine, int32_t count, uint32_t* table, int32_t bottom) {
  if (table == nullptr) return;
  const RampLeg* walk = fine ? kFineWalk : kCoarseWalk;
  int32_t weight[3] = {kFullWeight, 0, 0};
  if (fine) {
    weight[kRed] = 0;
    weight[kGreen] = kFullWeight;
  }
  int leg = 0;
  for (int32_t i = 0; i < count; ++i) {
    table[i] = Channel(top, bottom, weight[kRed]) | Channel(top, bottom, weight[kGreen]) << 8 |
               Channel(top, bottom, weight[kBlue]) << 16;
    int32_t& w = weight[walk[leg].channel];
    w += walk[leg].step;
    if (w <= 0 || w >= kFullWeight) leg = (leg + 1) % 6;
  }
}

void ReadTrkColors() { ReadGroup(kAudio); }
void WriteTrkColors() { WriteGroup(kAudio); }
void ReadCautomTrkColors() { ReadGroup(kAutomation); }
void WriteCautomTrkColors() { WriteGroup(kAutomation); }
void ReadMidevTrkColors() { ReadGroup(kMidi); }
void WriteMidevTrkColors() { WriteGroup(kMidi); }
