// Skin files: initialisation-format files of colours and image paths that
// give the element windows their look, with an Aliases section that names
// shared values. Also where a module finds its skin: the host's
// initialisation file names the skin folder, else a folder beside the
// module's own.
#pragma once

#include <cstdint>

#include "elements/elemfiles.h"
#include "elements/elemstr.h"
#include "mixer/model/util/profile.h"

// One skin file and the stores it is read through.
struct SkinFile {
  char Path[kElemPathSize];  // empty: no skin, every default stands
  Profile* Store;            // the ini reader
  ElemFiles* Files;
};

// Section whose keys name shared values: a value "$Name" stands for the
// value of key Name there.
inline constexpr char kSkinAliases[] = "Aliases";
// Alias look-ups made at most for one value; a value still beginning with
// '$' after that is used as it stands.
constexpr int kSkinAliasDepth = 10;
// Longest number text read.
constexpr int kSkinNumberChars = 15;

// Reads a number at *cursor: blanks and tabs skipped; '-' gives a negative
// decimal number; otherwise one leading '0' is skipped and a prefix chooses
// the base: '#' hexadecimal RRGGBB turned into a COLORREF (0x00BBGGRR),
// B binary, D decimal, H or X hexadecimal, O or Q octal (either case);
// none: decimal. Digits are taken while they lie below the base; the
// magnitude saturates at 0x7FFFFFFF. *cursor is left behind the last digit.
int32_t ParseSkinNumber(const char** cursor);

// The value of the key (names from the string table), aliases followed;
// "" when missing. Returns the length in out (a buffer of `size` bytes).
int ReadSkinString(const SkinFile& skin, uint32_t sectionId, uint32_t keyId, char* out, int size);
// The value as a number, `def` when empty, clamped to min..max.
int32_t ReadSkinNumber(const SkinFile& skin, uint32_t sectionId, uint32_t keyId, int32_t def, int32_t min,
                       int32_t max);
// The value as a path relative to the skin file's folder, made absolute;
// empty when it names no existing file. Returns the length in out.
int ReadSkinPath(const SkinFile& skin, uint32_t sectionId, uint32_t keyId, char* out, int size);

// Colour slots of the skin, in the order of skincolors.inc.
enum SkinColor : int {
#define SKIN_COLOR(slot, section, key, def, max) slot,
#include "elements/res/skincolors.inc"
#undef SKIN_COLOR
  kSkinColorCount
};

// Button images of section Common.
enum SkinImage : int {
  kImgMute, kImgRecArm, kImgCheck, kImgBypass, kImgLoad, kImgSave, kImgBypass2, kImgPhaseInv,
  kImgPanCenter, kImgSolo, kSkinImageCount
};
// Logo strips of the editors' big windows.
enum SkinLogo : int {
  kLogoEq11, kLogoEq22, kLogoTrack11, kLogoTrack22, kLogoSend11, kLogoSend12, kLogoSend22,
  kSkinLogoCount
};

// What a module reads from its skin at attach. An empty image path means
// the module's own bitmap is used.
struct ElemSkin {
  uint32_t Colors[kSkinColorCount];
  char Images[kSkinImageCount][kElemPathSize];
  char Logos[kSkinLogoCount][kElemPathSize];
};

// Every slot at its default, every image empty.
void SkinDefaults(ElemSkin* skin);
// Defaults, then the colours, images and logos that the skin file gives.
void SkinLoad(ElemSkin* skin, const SkinFile& file);

// The host's initialisation file: the text behind the last blank of the
// command line, in the current directory; empty when the command line has
// no blank or nothing follows it. 1, or 0 (out empty) when it does not fit.
int HostIniPath(const char* commandLine, const char* currentDir, char* out, int size);

// Where the module's skin lies: the host ini's MainWnd SkinPath when the
// file exists and the value is set, else the folder of string 16; either
// made absolute against the module's folder, the fallback empty when that
// folder does not exist. A path naming a folder gets the module's file name
// with its extension (from the first dot) replaced by ".skn".
void ElemSkinPath(const char* hostIni, const char* moduleFolder, const char* moduleFileName, Profile& store,
                  ElemFiles& files, char* out, int size);
