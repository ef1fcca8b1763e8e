#include "elements/Qvmxel1/strings.h"

namespace {

struct Entry {
  uint32_t Id;
  const char* Text;
};

constexpr Entry kTable[] = {
#define MOD_STR(symbol, id, text) {id, text},
#include "elements/Qvmxel1/res/qvmxel1strings.inc"
#undef MOD_STR
};

}  // namespace

const char* ModStrText(uint32_t id) {
  for (const Entry& e : kTable)
    if (e.Id == id) return e.Text;
  return "";
}
