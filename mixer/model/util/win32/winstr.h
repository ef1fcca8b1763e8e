// String helpers that follow the system's comparison and code page rules.
#pragma once

#include <windows.h>

#include <cstdint>

// lstrcmpA / lstrcmpiA of the two texts = 0.
int StrEqual(const char* a, const char* b);
int StrEqualNoCase(const char* a, const char* b);

// lstrcmpA of the text with the text of string `id`.
int StrCmpId(const char* text, uint32_t id);

// 1-based byte position of the first `ch` in the text, stepping over whole
// double-byte characters so that a trail byte never matches; 0 when absent.
int StrFindChar(const char* text, char ch);

// ModifyMenuA of `item` with the text of string `strId` as its new label.
BOOL MenuSetTextById(HMENU menu, UINT item, UINT flags, UINT_PTR newId, uint32_t strId);
