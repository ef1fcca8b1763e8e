#include "elements/elemfiles.h"

#include <cstring>
#include <string>
#include <vector>

int ElemCopyString(char* dst, int size, const char* src) {
  if (!dst || !src || size <= 0) return 0;
  const size_t n = std::strlen(src);
  if (n + 1 > static_cast<size_t>(size)) return 0;
  std::memcpy(dst, src, n + 1);
  return 1;
}

namespace {

bool IsAbsolute(const char* path) { return path[0] == '\\' || std::strchr(path, ':') != nullptr; }

// Splits at '\' into the root (drive and leading '\', kept as it is) and
// the folder names, '.' dropped and '..' taking one name back (never past
// the root).
std::string Normalise(const std::string& full) {
  size_t start = 0;
  std::string root;
  const size_t colon = full.find(':');
  if (colon != std::string::npos) start = colon + 1;
  if (start < full.size() && full[start] == '\\') ++start;
  root = full.substr(0, start);
  std::vector<std::string> parts;
  size_t i = start;
  while (i <= full.size()) {
    size_t j = full.find('\\', i);
    if (j == std::string::npos) j = full.size();
    std::string part = full.substr(i, j - i);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    i = j + 1;
  }
  std::string out = root;
  for (size_t k = 0; k < parts.size(); ++k) {
    if (k) out += '\\';
    out += parts[k];
  }
  // A path that named a folder keeps its closing '\'.
  if (!full.empty() && full.back() == '\\' && !parts.empty()) out += '\\';
  return out;
}

}  // namespace

int ElemJoinPath(char* path, int size, const char* folder) {
  if (!path || size <= 0) return 0;
  std::string full;
  if (IsAbsolute(path) || !folder || !*folder) {
    full = path;
  } else {
    full = folder;
    if (full.back() != '\\') full += '\\';
    full += path;
  }
  return ElemCopyString(path, size, Normalise(full).c_str());
}
