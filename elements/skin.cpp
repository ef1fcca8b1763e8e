#include "elements/skin.h"

#include <cstring>

#include "mixer/model/util/paths.h"
#include "mixer/model/util/strutil.h"

namespace {

// Digit value of c in any base up to 16; 99 for a non-digit.
int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 99;
}

struct SkinBase {
  char Prefix;
  int Base;
};
constexpr SkinBase kSkinBases[] = {
    {'#', 16}, {'B', 2}, {'b', 2}, {'D', 10}, {'d', 10}, {'H', 16}, {'h', 16},
    {'X', 16}, {'x', 16}, {'O', 8}, {'o', 8}, {'Q', 8}, {'q', 8},
};

int32_t RgbToColorRef(uint32_t rgb) {
  return static_cast<int32_t>(((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF));
}

}  // namespace

int32_t ParseSkinNumber(const char** cursor) {
  const char* c = *cursor;
  while (*c == ' ' || *c == '\t') ++c;
  bool negative = false;
  int base = 10;
  char prefix = 0;
  if (*c == '-') {
    negative = true;
    ++c;
  } else {
    if (*c == '0') ++c;
    for (const SkinBase& b : kSkinBases) {
      if (*c == b.Prefix) {
        base = b.Base;
        prefix = b.Prefix;
        ++c;
        break;
      }
    }
  }
  uint32_t value = 0;
  for (int d; (d = DigitValue(*c)) < base; ++c)
    value = value > (0x7FFFFFFFu - d) / base ? 0x7FFFFFFFu : value * base + d;
  *cursor = c;
  if (prefix == '#') return RgbToColorRef(value);
  return negative ? -static_cast<int32_t>(value) : static_cast<int32_t>(value);
}

int ReadSkinString(const SkinFile& skin, uint32_t sectionId, uint32_t keyId, char* out, int size) {
  if (!out || size <= 0) return 0;
  out[0] = '\0';
  if (!skin.Store || !skin.Path[0]) return 0;
  int n = skin.Store->GetString(skin.Path, ElemStrText(sectionId), ElemStrText(keyId), out, size);
  for (int i = 0; i < kSkinAliasDepth && out[0] == '$'; ++i) {
    char alias[kElemPathSize];
    if (!ElemCopyString(alias, sizeof alias, out + 1)) break;
    n = skin.Store->GetString(skin.Path, kSkinAliases, alias, out, size);
  }
  return n;
}

int32_t ReadSkinNumber(const SkinFile& skin, uint32_t sectionId, uint32_t keyId, int32_t def, int32_t min,
                       int32_t max) {
  char text[kSkinNumberChars + 1];
  int32_t v = def;
  if (ReadSkinString(skin, sectionId, keyId, text, sizeof text) > 0) {
    const char* cursor = text;
    v = ParseSkinNumber(&cursor);
  }
  if (v >= max) return max;
  if (v <= min) return min;
  return v;
}

int ReadSkinPath(const SkinFile& skin, uint32_t sectionId, uint32_t keyId, char* out, int size) {
  if (ReadSkinString(skin, sectionId, keyId, out, size) <= 0) return 0;
  char folder[kElemPathSize];
  const bool ok = skin.Files && PathGetDir(skin.Path, folder, sizeof folder) &&
                  skin.Files->MakeAbsolute(out, size, folder) && skin.Files->FileExists(out);
  if (!ok) {
    out[0] = '\0';
    return 0;
  }
  return static_cast<int>(std::strlen(out));
}

namespace {

struct SkinColorRow {
  uint32_t Section;
  uint32_t Key;
  int32_t Default;
  int32_t Max;
};
constexpr SkinColorRow kSkinColorRows[kSkinColorCount] = {
#define SKIN_COLOR(slot, section, key, def, max) {section, key, def, max},
#include "elements/res/skincolors.inc"
#undef SKIN_COLOR
};

struct SkinPathRow {
  uint32_t Section;
  uint32_t Key;
};
constexpr SkinPathRow kSkinImageRows[kSkinImageCount] = {
    {IDS_SKIN_COMMON, IDS_img_Mute_Button},    {IDS_SKIN_COMMON, IDS_img_RecArm_Button},
    {IDS_SKIN_COMMON, IDS_img_Check_Button},   {IDS_SKIN_COMMON, IDS_img_Bypass_Button},
    {IDS_SKIN_COMMON, IDS_img_Load_Button},    {IDS_SKIN_COMMON, IDS_img_Save_Button},
    {IDS_SKIN_COMMON, IDS_img_Bypass2_Button}, {IDS_SKIN_COMMON, IDS_img_PhaseInv_Button},
    {IDS_SKIN_COMMON, IDS_img_PanCenter_Button}, {IDS_SKIN_COMMON, IDS_img_Solo_Button},
};
constexpr SkinPathRow kSkinLogoRows[kSkinLogoCount] = {
    {IDS_SKIN_EQ, IDS_img_Logo_11},    {IDS_SKIN_EQ, IDS_img_Logo_22},
    {IDS_SKIN_TRACK, IDS_img_Logo_11}, {IDS_SKIN_TRACK, IDS_img_Logo_22},
    {IDS_SKIN_SEND, IDS_img_Logo_11},  {IDS_SKIN_SEND, IDS_img_Logo_12},
    {IDS_SKIN_SEND, IDS_img_Logo_22},
};

}  // namespace

void SkinDefaults(ElemSkin* skin) {
  for (int i = 0; i < kSkinColorCount; ++i) skin->Colors[i] = static_cast<uint32_t>(kSkinColorRows[i].Default);
  for (auto& image : skin->Images) image[0] = '\0';
  for (auto& logo : skin->Logos) logo[0] = '\0';
}

void SkinLoad(ElemSkin* skin, const SkinFile& file) {
  SkinDefaults(skin);
  for (int i = 0; i < kSkinColorCount; ++i) {
    const SkinColorRow& r = kSkinColorRows[i];
    skin->Colors[i] = static_cast<uint32_t>(ReadSkinNumber(file, r.Section, r.Key, r.Default, 0, r.Max));
  }
  for (int i = 0; i < kSkinImageCount; ++i)
    ReadSkinPath(file, kSkinImageRows[i].Section, kSkinImageRows[i].Key, skin->Images[i], kElemPathSize);
  for (int i = 0; i < kSkinLogoCount; ++i)
    ReadSkinPath(file, kSkinLogoRows[i].Section, kSkinLogoRows[i].Key, skin->Logos[i], kElemPathSize);
}

int HostIniPath(const char* commandLine, const char* currentDir, char* out, int size) {
  if (!out || size <= 0) return 0;
  out[0] = '\0';
  const char* blank = commandLine ? std::strrchr(commandLine, ' ') : nullptr;
  if (!blank || !blank[1]) return 1;
  char path[512];
  if (!StrCopyN(path, currentDir ? currentDir : "", sizeof path)) return 0;
  const size_t n = std::strlen(path);
  if (n > 0 && path[n - 1] != '\\' && !StrCatN(path, "\\", sizeof path)) return 0;
  if (!StrCatN(path, blank + 1, sizeof path)) return 0;
  return ElemCopyString(out, size, path);
}

namespace {

// The folder path completed with the module's file name, its extension
// (from the first dot of the name) replaced by the skin extension.
void AppendSkinName(char* out, int size, const char* moduleFileName) {
  char name[kElemPathSize];
  if (!ElemCopyString(name, sizeof name, PathFindName(moduleFileName))) return;
  *PathFindExt(name, 1) = '\0';
  char full[kElemPathSize];
  if (!StrCopyN(full, out, sizeof full) || !StrCatN(full, name, sizeof full) || !StrCatN(full, ".", sizeof full) ||
      !StrCatN(full, ElemStrText(IDS_SKIN_EXT), sizeof full))
    return;
  ElemCopyString(out, size, full);
}

}  // namespace

void ElemSkinPath(const char* hostIni, const char* moduleFolder, const char* moduleFileName, Profile& store,
                  ElemFiles& files, char* out, int size) {
  if (!out || size <= 0) return;
  out[0] = '\0';
  char path[kElemPathSize] = "";
  if (hostIni && *hostIni && files.FileExists(hostIni))
    store.GetString(hostIni, ElemStrText(IDS_HOST_MAINWND), ElemStrText(IDS_HOST_SKINPATH), path, sizeof path);
  if (path[0]) {
    files.MakeAbsolute(path, sizeof path, moduleFolder);
  } else {
    ElemStrLoad(IDS_SKIN_FOLDER, path, sizeof path);
    if (!files.MakeAbsolute(path, sizeof path, moduleFolder) || !files.FolderExists(path)) return;
  }
  if (!*PathFindName(path)) AppendSkinName(path, sizeof path, moduleFileName);
  ElemCopyString(out, size, path);
}
