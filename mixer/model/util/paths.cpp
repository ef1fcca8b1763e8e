#include "paths.h"

#include <cstring>
#include <string>
#include <vector>

#include "speaker.h"
#include "strtab.h"
#include "strutil.h"

const char kBadNameChars[] = "?*<>/\\:|\"";

const char* PathFindName(const char* path) {
  const char* name = path;
  for (const char* p = path; *p; ++p)
    if (*p == '\\' || *p == ':') name = p + 1;
  return name;
}

char* PathFindName(char* path) {
  return const_cast<char*>(PathFindName(static_cast<const char*>(path)));
}

const char* PathFindExt(const char* path, int first) {
  const char* name = PathFindName(path);
  const char* dot = first ? std::strchr(name, '.') : std::strrchr(name, '.');
  return dot ? dot : name + std::strlen(name);
}

char* PathFindExt(char* path, int first) {
  return const_cast<char*>(PathFindExt(static_cast<const char*>(path), first));
}

const char* PathFindBackslash(const char* path) { return std::strchr(path, '\\'); }

namespace {

// Copies the first n characters of path into out; all or nothing.
int CopyPart(const char* path, size_t n, char* out, int size) {
  if (size <= 0) return 0;
  if (n + 1 > static_cast<size_t>(size)) {
    out[0] = '\0';
    return 0;
  }
  std::memmove(out, path, n);
  out[n] = '\0';
  return 1;
}

}  // namespace

int PathGetDrive(const char* path, char* out, int size) {
  const char* colon = std::strchr(path, ':');
  return CopyPart(path, colon ? static_cast<size_t>(colon - path + 1) : 0, out, size);
}

int PathGetDir(const char* path, char* out, int size) {
  return CopyPart(path, static_cast<size_t>(PathFindName(path) - path), out, size);
}

char* PathUpOneLevel(char* path, int size) {
  char* name = PathFindName(path);
  char* sep = name;  // the '\' that ends the folder holding the name
  while (sep > path && sep[-1] != '\\') --sep;
  if (sep == path) {
    if (size < 2) return nullptr;
    path[0] = '\\';
    path[1] = '\0';
    return path + 1;
  }
  --sep;
  // The holding folder starts after the '\' or ':' before it, or at the start.
  char* folder = sep;
  while (folder > path && folder[-1] != '\\' && folder[-1] != ':') --folder;
  if (folder == sep) return name;  // the name sits in a root
  std::memmove(folder, name, std::strlen(name) + 1);
  return folder;
}

int CheckNameChars(const char* name, uint32_t* id) {
  uint32_t message = 0;
  if (name[0] == '\0')
    message = IDS_NAME_MISSING;
  else if (name[0] == ' ' || std::strpbrk(name, kBadNameChars))
    message = IDS_NAME_BAD_CHARS;
  if (message && id) *id = message;
  return message == 0;
}

void ReplaceBadNameChars(char* name) {
  for (char* p = name; *p; ++p)
    if (std::strchr(kBadNameChars, *p)) *p = ' ';
}

namespace {

// A path taken apart for numbering: folder + stem + "(n)" + suffix + ext.
struct NumberedPath {
  std::string folder, stem, suffix, ext;
  int32_t next = 2;  // the number the next candidate gets
};

NumberedPath SplitForNumber(const char* path, int keepSuffix) {
  NumberedPath parts;
  const char* name = PathFindName(path);
  const char* ext = PathFindExt(path, 0);
  parts.folder.assign(path, name);
  parts.ext.assign(ext);
  std::vector<char> stem(name, ext);
  stem.push_back('\0');
  int32_t from = 0, to = 0;
  if (keepSuffix && SplitSpeakerSuffix(stem.data(), nullptr, 0, &from, &to, nullptr) &&
      stem[static_cast<size_t>(to)] == '\0') {
    parts.suffix.assign(stem.data() + from);
    stem[static_cast<size_t>(from)] = '\0';
  }
  int32_t taken = StrTakeNumber(stem.data());
  parts.next = taken ? taken + 1 : 2;
  parts.stem.assign(stem.data());
  return parts;
}

// The candidate with number n within `size` bytes; empty when even the
// number does not fit beside the folder, suffix and extension.
std::string Candidate(const NumberedPath& parts, int32_t n, int size) {
  int64_t room = static_cast<int64_t>(size) - 1 -
                 static_cast<int64_t>(parts.folder.size() + parts.suffix.size() + parts.ext.size());
  if (room < 0) return {};
  std::vector<char> name(static_cast<size_t>(room) + 1);
  StrCopyN(name.data(), parts.stem.c_str(), static_cast<int>(name.size()));
  if (!StrSetNumber(name.data(), n, static_cast<int>(name.size()))) return {};
  return parts.folder + name.data() + parts.suffix + parts.ext;
}

}  // namespace

int MakeUniquePathWith(char* path, int size, int keepSuffix, const PathExistsFn& exists) {
  if (size <= 0 || std::memchr(path, '\0', static_cast<size_t>(size)) == nullptr) return 0;
  if (!exists(path)) return 1;
  NumberedPath parts = SplitForNumber(path, keepSuffix);
  for (int32_t n = parts.next; n <= kStrNumberMax; ++n) {
    std::string candidate = Candidate(parts, n, size);
    if (candidate.empty()) return 0;
    if (!exists(candidate.c_str())) return StrCopyN(path, candidate.c_str(), size);
  }
  return 0;
}
