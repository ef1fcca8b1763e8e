// The element modules' string table as the portable code reads it: the
// utilities' texts and the skin key names, the same entries the modules'
// resource scripts carry.
#pragma once

#include <cstdint>

enum ElemStrId : uint32_t {
#define ELEM_STR(symbol, id, text) symbol = id,
#define SKIN_KEY(symbol, id, text) symbol = id,
#include "elements/res/elemstrings.inc"
#include "elements/res/skinkeys.inc"
#undef SKIN_KEY
#undef ELEM_STR
};

// Text of string `id`; "" when the table has no such string.
const char* ElemStrText(uint32_t id);

// Copies string `id` into buf (at most size - 1 characters and a NUL) and
// returns its length; an unknown id or a size below 1 gives 0.
int ElemStrLoad(uint32_t id, char* buf, int size);

// 1 when text equals string `id` exactly.
int ElemStrEquals(const char* text, uint32_t id);
