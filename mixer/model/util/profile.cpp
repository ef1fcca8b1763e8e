#include "mixer/model/util/profile.h"

#include <algorithm>
#include <cstring>

namespace {

Profile* Installed = nullptr;

void AppendFolded(std::string& out, const char* text) {
  for (const char* p = text ? text : ""; *p; ++p) {
    const char c = *p;
    out += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  }
}

}  // namespace

std::string MemProfile::Id(const char* file, const char* section, const char* key) {
  std::string id;
  AppendFolded(id, file);
  id += '\n';
  AppendFolded(id, section);
  id += '\n';
  AppendFolded(id, key);
  return id;
}

int MemProfile::GetString(const char* file, const char* section, const char* key, char* buf,
                          int size) {
  if (buf == nullptr || size < 1) return 0;
  buf[0] = '\0';
  auto it = entries_.find(Id(file, section, key));
  if (it == entries_.end()) return 0;
  const size_t n = std::min(it->second.size(), static_cast<size_t>(size - 1));
  std::memcpy(buf, it->second.data(), n);
  buf[n] = '\0';
  return static_cast<int>(n);
}

void MemProfile::WriteString(const char* file, const char* section, const char* key,
                             const char* value) {
  entries_[Id(file, section, key)] = value ? value : "";
}

MemProfile& BuiltInProfile() {
  static MemProfile profile;
  return profile;
}

Profile& CurProfile() { return Installed ? *Installed : BuiltInProfile(); }

void SetProfile(Profile* profile) { Installed = profile; }
