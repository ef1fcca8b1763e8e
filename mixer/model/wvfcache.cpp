#include "mixer/model/wvfcache.h"

#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "mixer/model/util/fileio.h"
#include "mixer/model/util/strtab.h"
#include "mixer/model/take.h"
#include "mixer/model/take_store.h"
#include "mixer/model/wvf.h"

namespace {

// 1 when the name's extension (after its last '.') is string 39, compared
// without case as the file system's "*.WVF" pattern does.
bool HasWvfExtension(const char* name) {
  const char* dot = std::strrchr(name, '.');
  if (!dot) return false;
  const char* ext = StrText(IDS_WVF_EXT);
  const char* p = dot + 1;
  for (; *p && *ext; ++p, ++ext) {
    if (std::toupper(static_cast<unsigned char>(*p)) !=
        std::toupper(static_cast<unsigned char>(*ext)))
      return false;
  }
  return *p == '\0' && *ext == '\0';
}

std::string JoinPath(const char* dir, const char* name) {
  std::string path(dir);
  if (!path.empty() && path.back() != '\\' && path.back() != '/') path += '\\';
  return path + name;
}

enum class HeaderRead { kOk, kDamaged, kCannotOpen };

// Reads and checks the header of an overview file against its size.
HeaderRead ReadHeader(const std::string& path, WvfHeader* header) {
  FioHandle file = FioOpen(path.c_str(), kFioRead);
  if (file == kFioInvalid) return HeaderRead::kCannotOpen;
  uint8_t bytes[kWvfHeaderSize];
  uint32_t got = 0;
  uint64_t size = 0;
  bool ok = FioGetSize(file, &size) && FioRead(file, bytes, sizeof bytes, &got) &&
            WvfParseHeader(bytes, got, size, header);
  FioClose(file);
  return ok ? HeaderRead::kOk : HeaderRead::kDamaged;
}

// The Take store's open records, compared by their 8 id bytes.
int StoreHasOpenTake(const TakeId& id, void*) {
  for (const TakeRec* r = TakeStore().openList; r; r = r->next)
    if (std::memcmp(r->id.Bytes, id.Bytes, sizeof id.Bytes) == 0) return 1;
  return 0;
}

}  // namespace

int WvfCacheName(const TakeRec* take, char* path, size_t size) {
  return take ? WvfCacheNameForId(take->id.Bytes, path, size) : 0;
}

int WvfCacheExists(const TakeRec* take, char* path, size_t size) {
  return WvfCacheName(take, path, size) && FioFileExists(path);
}

void WvfCachePurgeIf(const char* dir, WvfTakeIsOpenFn isOpen, void* user) {
  if (!dir || !isOpen) return;
  // Names first, deletions after: the folder is not changed under its own
  // enumeration.
  std::vector<std::string> names;
  FioEnumDir(dir, [&](const char* name, int isDir) {
    if (!isDir && HasWvfExtension(name)) names.emplace_back(name);
    return 1;
  });
  for (const std::string& name : names) {
    std::string path = JoinPath(dir, name.c_str());
    WvfHeader header;
    HeaderRead read = ReadHeader(path, &header);
    if (read == HeaderRead::kCannotOpen) return;
    if (read == HeaderRead::kDamaged) continue;
    TakeId id;
    std::memcpy(id.Bytes, header.id, sizeof id.Bytes);
    if (!isOpen(id, user)) FioDelete(path.c_str());
  }
}

void WvfCachePurge(const char* dir) { WvfCachePurgeIf(dir, StoreHasOpenTake, nullptr); }
