// The program's string table, addressed by id.
#pragma once

#include <cstdint>

enum StrId : uint32_t {
#define HRL_STR(symbol, id, text) symbol = id,
#include "mixer/res/strings.inc"
#undef HRL_STR
};

// Text of string `id`; "" when the table has no such string.
const char* StrText(uint32_t id);

// Copies string `id` into buf (at most size - 1 characters and a NUL) and
// returns its length; an unknown id gives "" and 0.
int StrLoad(uint32_t id, char* buf, int size);

// Calls fn(id, text) for every string, ids ascending.
template <typename Fn> void StrForEach(Fn fn);

struct StrEntry {
  uint32_t id;
  const char* text;
};
extern const StrEntry kStrTable[];
extern const int kStrTableCount;

template <typename Fn> void StrForEach(Fn fn) {
  for (int i = 0; i < kStrTableCount; ++i) fn(kStrTable[i].id, kStrTable[i].text);
}
