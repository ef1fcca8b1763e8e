#include "docnames.h"

#include <cstring>

namespace {

struct DocName {
  char text[kDocNameSize];
  int32_t named;
};

DocName gArrName{};
DocName gMixName{};

int SetName(DocName& doc, const char* name, int32_t named) {
  size_t n = std::strlen(name);
  if (n >= sizeof doc.text) return 0;
  std::memcpy(doc.text, name, n + 1);
  doc.named = named ? 1 : 0;
  return 1;
}

int GetName(const DocName& doc, char* out, int size) {
  if (size <= 0) return 0;
  int n = static_cast<int>(std::strlen(doc.text));
  if (n == 0 || n >= size) {
    out[0] = '\0';
    return 0;
  }
  std::memcpy(out, doc.text, static_cast<size_t>(n) + 1);
  return n;
}

}  // namespace

void ArrNameClear() { gArrName = DocName{}; }
void MixNameClear() { gMixName = DocName{}; }

int ArrNameSet(const char* name, int32_t named) { return SetName(gArrName, name, named); }
int MixNameSet(const char* name, int32_t named) { return SetName(gMixName, name, named); }
int ArrIsNamed() { return gArrName.named; }
int MixIsNamed() { return gMixName.named; }

int ArrNameGet(char* out, int size) { return GetName(gArrName, out, size); }
int MixNameGet(char* out, int size) { return GetName(gMixName, out, size); }
