#include "winstr.h"

#include "mixer/model/util/strtab.h"

int StrEqual(const char* a, const char* b) { return lstrcmpA(a, b) == 0; }

int StrEqualNoCase(const char* a, const char* b) { return lstrcmpiA(a, b) == 0; }

int StrCmpId(const char* text, uint32_t id) { return lstrcmpA(text, StrText(id)); }

int StrFindChar(const char* text, char ch) {
  if (!text) return 0;
  for (const char* p = text; *p; p = CharNextA(p))
    if (*p == ch) return static_cast<int>(p - text) + 1;
  return 0;
}

BOOL MenuSetTextById(HMENU menu, UINT item, UINT flags, UINT_PTR newId, uint32_t strId) {
  return ModifyMenuA(menu, item, flags, newId, StrText(strId));
}
