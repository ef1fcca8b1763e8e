// The system's side of the file layer's views (fileio.h), which each build's
// file layer provides: fileio_view.cpp checks the request and cuts it at the
// file's end, these only map and unmap.
#pragma once

#include <cstdint>

#include "mixer/model/util/fileio.h"

// What views must start on a multiple of: the page size on POSIX systems,
// the allocation granularity on Windows; 0 when the system does not say.
uint32_t FioMapUnit();
// Maps `size` bytes (at least one, all inside the file) from `offset`, a
// multiple of FioMapUnit(), read-only; null when the system refuses.
const uint8_t* FioMapBytes(FioHandle file, uint64_t offset, uint32_t size);
// Releases what FioMapBytes mapped (the same `size`).
void FioUnmapBytes(const uint8_t* data, uint32_t size);
