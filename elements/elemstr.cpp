#include "elements/elemstr.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace {

struct ElemStrEntry {
  uint32_t id;
  const char* text;
};

constexpr ElemStrEntry kElemStrTable[] = {
#define ELEM_STR(symbol, id, text) {id, text},
#define SKIN_KEY(symbol, id, text) {id, text},
#include "elements/res/elemstrings.inc"
#include "elements/res/skinkeys.inc"
#undef SKIN_KEY
#undef ELEM_STR
};

constexpr bool IdsAscending() {
  for (size_t i = 1; i < std::size(kElemStrTable); ++i)
    if (kElemStrTable[i].id <= kElemStrTable[i - 1].id) return false;
  return true;
}
static_assert(IdsAscending(), "element string ids must ascend and appear once each");

}  // namespace

const char* ElemStrText(uint32_t id) {
  const ElemStrEntry* end = std::end(kElemStrTable);
  const ElemStrEntry* it = std::lower_bound(std::begin(kElemStrTable), end, id,
                                            [](const ElemStrEntry& e, uint32_t v) { return e.id < v; });
  return it != end && it->id == id ? it->text : "";
}

int ElemStrLoad(uint32_t id, char* buf, int size) {
  if (!buf || size <= 0) return 0;
  const char* text = ElemStrText(id);
  const size_t n = std::min(std::strlen(text), static_cast<size_t>(size - 1));
  std::memcpy(buf, text, n);
  buf[n] = '\0';
  return static_cast<int>(n);
}

int ElemStrEquals(const char* text, uint32_t id) {
  return text && std::strcmp(text, ElemStrText(id)) == 0 ? 1 : 0;
}
