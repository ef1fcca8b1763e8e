// Views of files, over the system's mapping calls (fileio_map.h).
#include <algorithm>

#include "mixer/model/util/fileio.h"
#include "mixer/model/util/fileio_map.h"

int FioMapView(FioHandle file, uint64_t offset, uint32_t size, FioView* view) {
  *view = FioView{};
  const uint32_t unit = FioMapUnit();
  uint64_t fileSize = 0;
  if (size == 0 || unit == 0 || kFioViewAlign % unit != 0 || offset % kFioViewAlign != 0 ||
      !FioGetSize(file, &fileSize) || offset >= fileSize)
    return 0;
  const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(size, fileSize - offset));
  const uint8_t* data = FioMapBytes(file, offset, n);
  if (data == nullptr) return 0;
  *view = FioView{data, offset, n};
  return 1;
}

void FioUnmapView(FioView* view) {
  if (view->data == nullptr) return;
  FioUnmapBytes(view->data, view->size);
  *view = FioView{};
}
