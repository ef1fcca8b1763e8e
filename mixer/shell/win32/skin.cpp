#include "mixer/shell/win32/skin.h"

#include <cstring>

#include "mixer/model/ini.h"
#include "mixer/model/util/paths.h"
#include "mixer/model/util/strtab.h"
#include "mixer/model/win32/files.h"

namespace {

struct SkinKey {
  uint32_t section;
  const char* key;
  int sysColour;       // -1: the default below
  COLORREF fallback;
  int32_t maximum;
};

// The mixer column colours, in the order of SkinColours::mixColumn.
const SkinKey kMixColumn[17] = {
    {IDS_INI_SEC_MIX_WND, "col_Column_Background", -1, 0xC0C0C0, 0xFFFFFF},
    {IDS_INI_SEC_MIX_WND, "col_Column_Text", -1, 0, 0xFFFFFF},
    {IDS_INI_SEC_MIX_WND, "col_Column_Border_Left", -1, 0xFFFFFF, 0xFFFFFF},
    {IDS_INI_SEC_MIX_WND, "col_Column_Border_Top", -1, 0xFFFFFF, 0xFFFFFF},
    {IDS_INI_SEC_MIX_WND, "col_Column_Border_InnerRight", -1, 0x808080, 0xFFFFFF},
    {IDS_INI_SEC_MIX_WND, "col_Column_Border_OuterRight", -1, 0, 0xFFFFFF},
    {IDS_INI_SEC_MIX_WND, "col_Column_Border_InnerBottom", -1, 0x808080, 0xFFFFFF},
    {IDS_INI_SEC_MIX_WND, "col_Column_Border_OuterBottom", -1, 0, 0xFFFFFF},
    {IDS_INI_SEC_MIX_WND, "col_Column_Label_Text", -1, 0, 0xFFFFFF},
    {IDS_INI_SEC_MIX_WND, "col_Column_Label_Text_Blocked", -1, 0x808080, 0xFFFFFF},
    {IDS_INI_SEC_MIX_WND, "col_Column_Label_Background", COLOR_BTNFACE, 0, 0xFFFFFF},
    {IDS_INI_SEC_MIX_WND, "col_Column_Label_Background_Blocked", -1, 0xFFFFFF, 0xFFFFFF},
    {IDS_INI_SEC_MIX_WND, "col_Column_Label_Border_On", -1, 1, 1},
    {IDS_INI_SEC_MIX_WND, "col_Column_Label_Border_Left", -1, 0x808080, 0xFFFFFF},
    {IDS_INI_SEC_MIX_WND, "col_Column_Label_Border_Top", -1, 0x808080, 0xFFFFFF},
    {IDS_INI_SEC_MIX_WND, "col_Column_Label_Border_Right", -1, 0x808080, 0xFFFFFF},
    {IDS_INI_SEC_MIX_WND, "col_Column_Label_Border_Bottom", -1, 0x808080, 0xFFFFFF},
};

// The skin's integer reader: the default when the key is empty, then kept
// within 0..maximum.
COLORREF ReadSkinValue(const char* file, const SkinKey& k) {
  COLORREF value = k.sysColour >= 0 ? GetSysColor(k.sysColour) : k.fallback;
  char text[64];
  if (file[0] && ReadIniStringAlias(file, k.section, k.key, text, sizeof text) > 0) {
    const char* cursor = text;
    int32_t n = ParseNumber(&cursor);
    value = static_cast<COLORREF>(n < 0 ? 0 : (n > k.maximum ? k.maximum : n));
  }
  return value;
}

// The folder of the program file, ending in '\'.
void ProgramDir(char* dir, int size) {
  DWORD n = GetModuleFileNameA(nullptr, dir, static_cast<DWORD>(size));
  if (n == 0 || n >= static_cast<DWORD>(size)) {
    dir[0] = 0;
    return;
  }
  *PathFindName(dir) = 0;
}

void ChooseSkinPath(ShellState& s) {
  char dir[MAX_PATH];
  ProgramDir(dir, sizeof dir);
  char* path = s.skinPath;
  path[0] = 0;
  char value[kIniPathSize] = {};
  if (GetFileAttributesA(s.iniPath) != INVALID_FILE_ATTRIBUTES)
    ReadIniStringAlias(s.iniPath, IDS_INI_SEC_MAIN_WND, "SkinPath", value, sizeof value);
  if (value[0]) {
    std::strcpy(path, value);
    PathMakeAbsolute(path, kIniPathSize, dir);
  } else {
    std::strcpy(path, "..\\..\\Skins\\");
    if (!PathMakeAbsolute(path, kIniPathSize, dir)) path[0] = 0;
  }
  if (path[0] && !*PathFindName(path)) {
    // No file name: the program's own name with the extension "skn".
    char program[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, program, sizeof program);
    if (n == 0 || n >= sizeof program) return;
    char* name = PathFindName(program);
    char* ext = PathFindExt(name, 0);
    if (ext && ext > name) *ext = 0;
    size_t used = std::strlen(path);
    if (used + std::strlen(name) + 4 < static_cast<size_t>(kIniPathSize)) {
      std::strcat(path, name);
      std::strcat(path, ".skn");
    }
  }
}

}  // namespace

void ReadSkin(ShellState& s) {
  ChooseSkinPath(s);
  const char* file = s.skinPath;
  SkinColours& c = s.skin;
  c.mixBackground =
      ReadSkinValue(file, {IDS_INI_SEC_MIX_WND, "col_Background", COLOR_BTNFACE, 0, 0xFFFFFF});
  for (int i = 0; i < 17; ++i) c.mixColumn[i] = ReadSkinValue(file, kMixColumn[i]);
  c.toolBackground =
      ReadSkinValue(file, {IDS_INI_SEC_TOOL_WND, "col_Background", COLOR_BTNFACE, 0, 0xFFFFFF});
  c.toolBorderTop = ReadSkinValue(
      file, {IDS_INI_SEC_TOOL_WND, "col_Border_Top", COLOR_BTNHIGHLIGHT, 0, 0xFFFFFF});
  c.toolBorderBottom = ReadSkinValue(
      file, {IDS_INI_SEC_TOOL_WND, "col_Border_Bottom", COLOR_BTNSHADOW, 0, 0xFFFFFF});
  c.toolMarker = ReadSkinValue(file, {IDS_INI_SEC_TOOL_WND, "col_LRTools_Marker", -1, 0, 0xFFFFFF});
  c.toolAltMarker =
      ReadSkinValue(file, {IDS_INI_SEC_TOOL_WND, "col_ALT_LRTools_Marker", -1, 0x0000FF, 0xFFFFFF});
}
