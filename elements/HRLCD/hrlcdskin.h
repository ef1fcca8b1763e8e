// The dynamics module's own skin: where its file lies, how keys and their
// "$" aliases are read, the colour forms it accepts, and the colours of its
// sections "Common" and "HRLCD" with their defaults.
#pragma once

#include <cstdint>

#include "mixer/model/util/profile.h"

namespace hrlcd {

constexpr int kSkinPathSize = 260;
constexpr int kSkinAliasSteps = 10;

// Colour slots, in the order of the table in hrlcdskin.cpp.
enum SkinSlot : int {
  kLwBorderLeft, kLwBorderTop, kLwBorderInnerRight, kLwBorderOuterRight, kLwBorderInnerBottom,
  kLwBorderOuterBottom, kLwBackground, kTitleText, kTitleTextBlocked, kTitleBackground,
  kTitleBackgroundBlocked, kTitleBorderLeft, kTitleBorderTop, kTitleBorderRight, kTitleBorderBottom,
  kTitleBorderOn, kBwBackground, kBwHeaderText, kBwHeaderBackground, kBwHeaderBar, kBwHeaderUpperLine,
  kBwHeaderLowerLine, kBwHeaderBorderInnerLeft, kBwHeaderBorderOuterLeft, kBwHeaderBorderInnerTop,
  kBwHeaderBorderOuterTop, kBwHeaderBorderInnerRight, kBwHeaderBorderOuterRight, kBwHeaderBorderInnerBottom,
  kBwHeaderBorderOuterBottom, kBwHeaderBorderOn, kMeterBorderLeft, kMeterBorderTop, kMeterBorderRight,
  kMeterBorderBottom, kSkinSlots
};

struct SkinColors {
  uint32_t C[kSkinSlots];
};

// The skin file of the module. `commandLine`: the process's; `currentDir`
// and `moduleDir`: folders without a trailing separator; `moduleName`: the
// module file's name. `ini` reads the host's initialisation file. The path,
// or empty when it would not fit in 259 characters.
void LocateSkin(const char* commandLine, const char* currentDir, const char* moduleDir, const char* moduleName,
                Profile& ini, char out[kSkinPathSize]);

// The value of `key` in `section`, "$" aliases looked up in section
// "Aliases" (at most ten more times; a chain still on "$" reads as empty).
// Returns the length.
int SkinValue(Profile& ini, const char* file, const char* section, const char* key, char out[kSkinPathSize]);

// A colour value: "#RRGGBB", "0x" and six hex digits (the colour word as
// written), "(r,g,b)" with decimal parts below 256, or a decimal number up
// to 0xFFFFFF. 1 and the colour word (red in the low byte), or 0.
int ParseSkinColor(const char* text, uint32_t* out);
// A switch value: only "0" or "1".
int ParseSkinSwitch(const char* text, uint32_t* out);

// Every slot at its default.
void SkinColorDefaults(SkinColors* c);
// Defaults, then every valid value of the file (an empty path reads nothing).
void ReadSkinColors(Profile& ini, const char* file, SkinColors* c);

// The module's skin, read at load.
SkinColors& ModuleSkin();
char* ModuleSkinPath();

}  // namespace hrlcd
