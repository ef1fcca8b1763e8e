#include "mixer/arrange/proclist.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "mixer/model/take.h"

int ProcListAdd(ProcList* list, uint32_t take, int64_t offset, int64_t length) {
  if (length <= 0) return 1;
  const int32_t count = std::clamp(list->Count, 0, kProcSpanMax);
  int64_t start = offset;
  int64_t end = offset + length;
  int joined = -1;
  for (int32_t i = 0; i < count; ++i) {
    ProcSpan& s = list->Span[i];
    if (s.Take != take || s.Offset() > end || s.End() < start) continue;
    start = std::min(start, s.Offset());
    end = std::max(end, s.End());
    joined = i;
    break;
  }
  if (joined < 0) {
    if (count >= kProcSpanMax || length > UINT32_MAX) return 0;
    ProcSpan& s = list->Span[count];
    s = ProcSpan{};
    s.Take = take;
    s.SetOffset(offset);
    s.Length = static_cast<uint32_t>(length);
    list->Count = count + 1;
    return 1;
  }
  // The joined stretch may now reach entries it did not touch before; fold
  // them in so that no source sample is processed twice.
  int32_t n = count;
  bool again = true;
  while (again) {
    again = false;
    for (int32_t i = 0; i < n; ++i) {
      const ProcSpan& s = list->Span[i];
      if (i == joined || s.Take != take || s.Offset() > end || s.End() < start) continue;
      start = std::min(start, s.Offset());
      end = std::max(end, s.End());
      std::memmove(&list->Span[i], &list->Span[i + 1], sizeof(ProcSpan) * (n - i - 1));
      --n;
      if (i < joined) --joined;
      again = true;
      break;
    }
  }
  if (end - start > UINT32_MAX) return 0;
  list->Span[joined].SetOffset(start);
  list->Span[joined].Length = static_cast<uint32_t>(end - start);
  list->Count = n;
  return 1;
}

int ProcListFind(const ProcList* list, uint32_t take, int64_t offset, int64_t length) {
  const int32_t count = std::clamp(list->Count, 0, kProcSpanMax);
  for (int32_t i = 0; i < count; ++i) {
    const ProcSpan& s = list->Span[i];
    if (s.Take == take && s.Offset() <= offset && offset + length <= s.End()) return i;
  }
  return -1;
}

namespace {

constexpr int kNameSize = 64;
constexpr int kMaxCandidates = 1297;

bool SuffixChar(char c) { return (c >= '0' && c <= '9') || static_cast<unsigned char>(c) >= '?'; }

int LastNonBlank(const char* name) {
  int t = static_cast<int>(strnlen(name, kNameSize - 1)) - 1;
  while (t >= 0 && name[t] == ' ') --t;
  return t;
}

bool HasSuffixEndingAt(const char* name, int t) {
  return t >= 2 && name[t - 2] == '#' && SuffixChar(name[t - 1]) && SuffixChar(name[t]);
}

// One step of a suffix character: 0-9 then A-Z; 'Z' wraps to '0' with a
// carry. A character outside that range gives '\0'.
char StepChar(char c, bool* carry) {
  *carry = false;
  if (c >= '0' && c <= '8') return static_cast<char>(c + 1);
  if (c == '9') return 'A';
  if (c >= 'A' && c <= 'Y') return static_cast<char>(c + 1);
  if (c == 'Z') {
    *carry = true;
    return '0';
  }
  return '\0';
}

// Steps the two characters after '#' at `hash`; false once they left the
// range (they are then "??").
bool StepSuffix(char* name, int hash) {
  bool carry = false;
  const char lo = StepChar(name[hash + 2], &carry);
  char hi = name[hash + 1];
  bool ok = lo != '\0';
  if (ok && carry) {
    bool over = false;
    hi = StepChar(hi, &over);
    ok = hi != '\0' && !over;
  }
  if (!ok) {
    name[hash + 1] = '?';
    name[hash + 2] = '?';
    return false;
  }
  name[hash + 1] = hi;
  name[hash + 2] = lo;
  return true;
}

}  // namespace

void NewTakeNameIn(char* name, const TakeNameVisitor& folderNames) {
  name[kNameSize - 1] = '\0';
  const int t = LastNonBlank(name);
  int hash;
  if (HasSuffixEndingAt(name, t)) {
    hash = t - 2;
  } else if (t >= 59) {
    hash = 60;
  } else {
    name[t + 1] = ' ';
    hash = t + 2;
  }
  name[hash] = '#';
  name[hash + 1] = '0';
  name[hash + 2] = '1';
  name[hash + 3] = '\0';

  std::vector<std::string> taken;
  folderNames([&](const char* other) {
    if (static_cast<int>(taken.size()) >= kMaxCandidates) return 0;
    const size_t len = strnlen(other, kNameSize);
    if (len != static_cast<size_t>(hash + 3)) return 1;
    if (std::memcmp(other, name, static_cast<size_t>(hash) + 1) != 0) return 1;
    taken.emplace_back(other, len);
    return 1;
  });
  for (;;) {
    auto it = std::find(taken.begin(), taken.end(), std::string(name));
    if (it == taken.end()) break;
    taken.erase(it);
    if (!StepSuffix(name, hash)) break;
  }
}

int NewTakeName(const char* folder, char* name) {
  NewTakeNameIn(name, [folder](const std::function<int(const char*)>& visit) {
    for (TakeRec* t = TakeFindFirst(folder); t != nullptr; t = TakeFindNext(t)) {
      // A Take's name is its file name without folder and extension.
      std::string stem(t->path);
      const size_t slash = stem.find_last_of("\\/");
      if (slash != std::string::npos) stem.erase(0, slash + 1);
      const size_t dot = stem.find_last_of('.');
      if (dot != std::string::npos) stem.erase(dot);
      if (!visit(stem.c_str())) break;
    }
    TakeFindClose();
  });
  return 1;
}

void CarryTakeSuffix(char* partName, const char* takeName) {
  const int tl = static_cast<int>(strnlen(takeName, kNameSize));
  int at = -1;
  for (int i = tl - 3; i >= 0; --i) {
    if (takeName[i] == '#' && SuffixChar(takeName[i + 1]) && SuffixChar(takeName[i + 2])) {
      at = i;
      break;
    }
  }
  if (at < 0) return;
  partName[kNameSize - 1] = '\0';
  const int t = LastNonBlank(partName);
  int pos;
  if (HasSuffixEndingAt(partName, t)) {
    pos = t - 2;
  } else {
    int blank = std::min(t + 1, 59);
    partName[blank] = ' ';
    pos = blank + 1;
  }
  std::memcpy(partName + pos, takeName + at, 3);
  partName[pos + 3] = '\0';
}
