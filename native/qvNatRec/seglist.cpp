#include "native/qvNatRec/seglist.h"

#include <new>

bool SegListAssign(SegList& list, int32_t count, const RecSeg* entries) {
  SegListClear(list);
  if (count < 0 || count >= kSegCountLimit || (count > 0 && entries == nullptr)) return false;
  try {
    list.entries.assign(entries, entries + count);
  } catch (const std::bad_alloc&) {
    SegListClear(list);
    return false;
  }
  return true;
}

void SegListClear(SegList& list) {
  std::vector<RecSeg>().swap(list.entries);
  list.cursor[0] = list.cursor[1] = 0;
}

SegSpan SegFind(SegList& list, uint32_t which, int64_t location) {
  const std::vector<RecSeg>& e = list.entries;
  const uint32_t n = static_cast<uint32_t>(e.size());
  if (n == 0) return {nullptr, INT64_MIN, INT64_MAX};
  if (location < e[0].start) return {nullptr, INT64_MIN, e[0].start};
  uint32_t i = list.cursor[which & 1] < n ? list.cursor[which & 1] : 0;
  while (i > 0 && e[i].start > location) --i;
  // Stops on the closing entry: nothing after it belongs to the list.
  while (i + 1 < n && (e[i].flags & kRecSegClosing) == 0 && e[i + 1].start <= location) ++i;
  list.cursor[which & 1] = i;
  if ((e[i].flags & kRecSegClosing) != 0) return {nullptr, e[i].start, INT64_MAX};
  // A list whose last entry is not marked closing runs on with that entry.
  if (i + 1 == n) return {&e[i], e[i].start, INT64_MAX};
  // An entry out of order ends where it starts: its span is empty and the
  // caller moves on to the next one.
  const int64_t end = e[i + 1].start > e[i].start ? e[i + 1].start : e[i].start;
  if (end <= location) return {nullptr, location, location + 1};
  return {&e[i], e[i].start, end};
}

uint32_t SegCountToClosing(const SegList& list) {
  const uint32_t n = static_cast<uint32_t>(list.entries.size());
  for (uint32_t i = 0; i < n; ++i)
    if (list.entries[i].flags & kRecSegClosing) return i + 1;
  return n;
}
