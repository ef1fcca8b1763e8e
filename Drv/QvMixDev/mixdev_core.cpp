#include "Drv/QvMixDev/mixdev_core.h"

#include <cstdio>
#include <cstring>
#include <cwchar>

namespace qvmix {

RateRecord MergeRegistryRate(const RateRecord& current, const uint32_t* sampleRate, const uint32_t* variSpeed,
                             const uint32_t* frameRate) {
  RateRecord r = current;
  if (sampleRate) r.sampleRate = *sampleRate;
  if (variSpeed) r.variSpeed = *variSpeed;
  if (frameRate) r.frameRate = *frameRate;
  if (r.sampleRate == 0) r.sampleRate = current.sampleRate ? current.sampleRate : kDefaultSampleRate;
  if ((r.frameRate & 0xFFFF) == 0) {
    uint32_t code = current.frameRate & 0xFFFF;
    r.frameRate |= code ? code : kDefaultFrameCode;
  }
  r.frameRate = (r.frameRate & ~kClaimBit) | (current.frameRate & kClaimBit);
  return r;
}

static int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 0;
}

bool FormatUnitSerial(uint32_t low, uint32_t high, char* out, size_t size) {
  if (!out || size < 16 || low > 0xFFFFFF || high > 0xFFFFFF) return false;
  snprintf(out, size, "G%X%06X", static_cast<unsigned>(high), static_cast<unsigned>(low));
  unsigned sum = 0;
  for (const char* p = out + 1; *p; ++p) {
    sum = (sum << 1) & 0xFF;
    if (sum & 0x10) sum += 1;
    sum += HexValue(*p);
  }
  out[0] = static_cast<char>(out[0] + (sum & 0xF));
  return true;
}

bool UnitKeyPath(uint32_t low, uint32_t high, char* out, size_t size) {
  if (!out || low == 0 || low > 0xFFFFFF || high > 0xFFFFFF) return false;
  snprintf(out, size, "Software\\Quorvale\\Units\\%06X%06X", static_cast<unsigned>(high),
           static_cast<unsigned>(low));
  return true;
}

int32_t CheckSelection(const ChannelEntry table[kChannelEntries], const Selection* request, Selection* selection) {
  if (!request || !selection) return kPointer;
  if (request->index >= kChannelEntries) return kFail;
  if (request->offset + request->count > table[request->index].bytes[2]) return kFail;
  if (request->offset) selection->offset = request->offset;
  if (request->count) selection->count = request->count;
  selection->index = request->index;
  if (request->flags) selection->flags = request->flags;
  return kOk;
}

void ChannelTableFromInfo(const uint8_t info[4], ChannelEntry table[kChannelEntries]) {
  std::memset(table, 0, sizeof(ChannelEntry) * kChannelEntries);
  table[0].bytes[2] = table[6].bytes[2] = info[2];
  table[1].bytes[2] = table[7].bytes[2] = info[3];
}

std::vector<MenuItem> ChannelMenuItems(const ChannelEntry table[kChannelEntries], const Selection& request,
                                       const Selection& current) {
  std::vector<MenuItem> items;
  unsigned step = request.count < 2 ? 1 : 2;
  int firstEntry = (request.flags & kMenuAllEntries) ? 4 : 0;
  int lastEntry = (request.flags & kMenuAllEntries) ? 6 : 2;
  for (int entry = firstEntry; entry <= lastEntry; entry += 2) {
    unsigned capacity = table[entry].bytes[2];
    for (unsigned first = 1; first + step - 1 <= capacity; first += step) {
      MenuItem item;
      item.id = static_cast<uint32_t>(entry) * 256 + first;
      item.checked = current.index == entry && current.offset + 1u == first;
      item.columnBreak = !items.empty() && items.size() % 32 == 0;
      items.push_back(item);
    }
  }
  return items;
}

bool FormatGroupName(int entry, int form, unsigned first, unsigned count, wchar_t* out, size_t size) {
  static const char kGroups[] = "EXTBUSTRKSTR???";
  if (!out || size == 0) return false;
  int group = entry >= 0 && entry < 8 ? entry / 2 : 4;
  const char* g = kGroups + group * 3;
  int n;
  if (form == 0) {
    wchar_t letter = static_cast<wchar_t>(g[0] >= 'A' && g[0] <= 'Z' ? g[0] - 'A' + 'a' : g[0]);
    n = swprintf(out, size, L"%lc%u", letter, first);
  } else {
    n = swprintf(out, size, L"%c%c%c %u", g[0], g[1], g[2], first);
  }
  if (n < 0) return false;
  if (count > 1 && swprintf(out + n, size - static_cast<size_t>(n), L"-%u", first + count - 1) < 0) return false;
  return true;
}

int CompareNames(const wchar_t* a, const wchar_t* b) {
  for (;; ++a, ++b) {
    wchar_t x = *a >= L'A' && *a <= L'Z' ? static_cast<wchar_t>(*a - L'A' + L'a') : *a;
    wchar_t y = *b >= L'A' && *b <= L'Z' ? static_cast<wchar_t>(*b - L'A' + L'a') : *b;
    if (x != y) return x < y ? -1 : 1;
    if (!x) return 0;
  }
}

int32_t RateState::Apply(RateUnit* source, RateRecord record, RateUnit* const* units, size_t count,
                         RateGraph& graph) {
  if (!Claims(record)) source = nullptr;
  if (SameRate(record, m_current) && source == m_source) return kOk;
  bool changed = source != m_source;
  if (changed) {
    int32_t r = graph.StopStreaming();
    if (r < 0) return r;
  }
  RateUnit* old = m_source;
  m_current = record;
  int32_t result = kOk;
  for (size_t i = 0; i < count; ++i) {
    RateUnit* u = units[i];
    if (u == source) {
      m_current.frameRate |= kClaimBit;
      if (changed) u->Activate();
    }
    if (u->IsActive()) {
      int32_t r = u->ApplyRate(m_current);
      if (result >= 0 && r < 0) result = r;
    }
    // The old source gives back the activation it took as the clock.
    if (changed && u == old) u->Deactivate();
  }
  if (changed) {
    m_source = source;
    graph.SetSyncSource(source);
  } else {
    graph.ClockChanged();
  }
  if (result >= 0)
    for (size_t i = 0; i < count; ++i)
      if (units[i]->IsActive()) units[i]->RateChanged();
  return result;
}

}  // namespace qvmix
