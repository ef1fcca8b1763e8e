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

enum class IdRead { kOk, kNoId, kCannotOpen };

// The Take id of an overview file: the 8 bytes at offset 9. A file too
// short to hold them belongs to no Take.
IdRead ReadId(const std::string& path, TakeId* id) {
  FioHandle file = FioOpen(path.c_str(), kFioRead);
  if (file == kFioInvalid) return IdRead::kCannotOpen;
  uint32_t got = 0;
  const bool ok = FioReadAt(file, kWvfIdOffset, id->Bytes, kWvfIdSize, &got) && got == kWvfIdSize;
  FioClose(file);
  return ok ? IdRead::kOk : IdRead::kNoId;
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
    // The files are caches, rebuilt on demand: whatever does not belong to
    // an open Take goes, damaged or not.
    TakeId id;
    const IdRead read = ReadId(path, &id);
    if (read == IdRead::kCannotOpen) return;
    if (read == IdRead::kNoId || !isOpen(id, user)) FioDelete(path.c_str());
  }
}

void WvfCachePurge(const char* dir) { WvfCachePurgeIf(dir, StoreHasOpenTake, nullptr); }
