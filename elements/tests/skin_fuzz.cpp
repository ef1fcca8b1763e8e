// Skin values of any text: the number parser and the alias chain.
#include <cstdint>
#include <cstring>
#include <string>

#include "elements/skin.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  const char* cursor = text.c_str();
  ParseSkinNumber(&cursor);
  if (cursor < text.c_str() || cursor > text.c_str() + text.size()) __builtin_trap();

  // The text split at newlines into values of a chain of aliases.
  MemProfile store;
  SkinFile skin{};
  std::strcpy(skin.Path, "s.skn");
  skin.Store = &store;
  size_t start = 0;
  int n = 0;
  store.WriteString("s.skn", "Common", "col_Label_Text", "$K0");
  while (start <= text.size() && n < 16) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    store.WriteString("s.skn", "Aliases", ("K" + std::to_string(n++)).c_str(), text.substr(start, end - start).c_str());
    start = end + 1;
  }
  char out[kElemPathSize];
  const int len = ReadSkinString(skin, IDS_SKIN_COMMON, IDS_col_Label_Text, out, sizeof out);
  if (len < 0 || len >= static_cast<int>(sizeof out) || std::strlen(out) != static_cast<size_t>(len)) __builtin_trap();
  ReadSkinNumber(skin, IDS_SKIN_COMMON, IDS_col_Label_Text, 0, 0, 0xFFFFFF);
  return 0;
}
