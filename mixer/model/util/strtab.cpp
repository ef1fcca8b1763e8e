#include "strtab.h"

#include <algorithm>
#include <cstring>

const StrEntry kStrTable[] = {
#define HRL_STR(symbol, id, text) {id, text},
#include "mixer/res/strings.inc"
#undef HRL_STR
};
const int kStrTableCount = sizeof kStrTable / sizeof kStrTable[0];

static constexpr bool IdsAscending() {
  constexpr uint32_t ids[] = {
#define HRL_STR(symbol, id, text) id,
#include "mixer/res/strings.inc"
#undef HRL_STR
  };
  for (size_t i = 1; i < sizeof ids / sizeof ids[0]; ++i)
    if (ids[i] <= ids[i - 1]) return false;
  return true;
}
static_assert(IdsAscending(), "strings.inc must list its ids ascending and once each");

const char* StrText(uint32_t id) {
  const StrEntry* end = kStrTable + kStrTableCount;
  const StrEntry* it = std::lower_bound(kStrTable, end, id,
                                        [](const StrEntry& e, uint32_t v) { return e.id < v; });
  return it != end && it->id == id ? it->text : "";
}

int StrLoad(uint32_t id, char* buf, int size) {
  if (size <= 0) return 0;
  const char* text = StrText(id);
  int n = static_cast<int>(std::min<size_t>(std::strlen(text), static_cast<size_t>(size - 1)));
  std::memcpy(buf, text, static_cast<size_t>(n));
  buf[n] = '\0';
  return n;
}
