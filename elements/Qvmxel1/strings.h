// The module's own string ids and texts (res/qvmxel1strings.inc).
#pragma once

#include <cstdint>

enum ModStrId : uint32_t {
#define MOD_STR(symbol, id, text) symbol = id,
#include "elements/Qvmxel1/res/qvmxel1strings.inc"
#undef MOD_STR
};

// Text of string id; "" when the module has none.
const char* ModStrText(uint32_t id);
// The untitled preset name kept in the preset path.
inline constexpr char kUntitled[] = "(untitled)";
