#include "Drv/Qvdrv/devname.h"

#include <cstring>

namespace qvname {
namespace {

void CopyText(char* to, size_t size, const char* from, size_t length) {
  if (length >= size) length = size - 1;
  std::memcpy(to, from, length);
  to[length] = 0;
}

}  // namespace

DevicePath PathOfName(const char* name) {
  DevicePath p{};
  size_t length = std::strlen(name);
  bool twoSlashes = length >= 2 && name[0] == '\\' && name[1] == '\\';
  if (twoSlashes && (name[2] == '.' || name[2] == '?')) {
    p.kind = PathKind::Local;
    CopyText(p.path, sizeof p.path, name, length);
    return p;
  }
  if (twoSlashes) {
    const char* server = name + 2;
    const char* end = std::strchr(server, '\\');
    if (!end || end[1] == 0) {
      p.kind = PathKind::BadRemote;
      return p;
    }
    p.kind = PathKind::Remote;
    CopyText(p.server, sizeof p.server, server, static_cast<size_t>(end - server));
    CopyText(p.path, sizeof p.path, "\\\\.", 3);
    size_t used = 3, rest = std::strlen(end);
    CopyText(p.path + used, sizeof p.path - used, end, rest);
    return p;
  }
  p.kind = PathKind::Local;
  const char* prefix = name[0] == '\\' ? "\\\\." : "\\\\.\\";
  size_t used = std::strlen(prefix);
  CopyText(p.path, sizeof p.path, prefix, used);
  CopyText(p.path + used, sizeof p.path - used, name, length);
  return p;
}

}  // namespace qvname

namespace qvframe {

ImageFrame FrameImage(const uint8_t* image, uint32_t length) {
  bool program = length >= MinimumImage && image[0] == 0x10 && image[1] == 0xF3 && image[2] == 0x29;
  if (program) return {ImageKind::ProgramFile, 3, length - 5};
  return {ImageKind::BootImage, 0, length};
}

MemoryRequest DumpRequest(uint32_t control) {
  uint32_t c = control & ~DspMemoryWrite;
  return {c, DspMemoryHeader, (c & DspMemoryCountMask) * 4};
}

MemoryRequest LoadRequest(uint32_t control) {
  uint32_t c = control | DspMemoryWrite;
  return {c, DspMemoryHeader + (c & DspMemoryCountMask) * 4, 0};
}

}  // namespace qvframe
