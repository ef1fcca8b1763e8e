// Knob maps: a play map tells which knob each log key drives; a record map
// gives each knob of a track (by its index) the log key it records under.
#include "logs/qvMxAut/autlog.h"

namespace {

// Larger maps are no mixer's: a count beyond this is refused rather than
// tried as an allocation.
constexpr int32_t kMaxMapEntries = 1 << 20;

bool ValidCount(int32_t count) { return count >= 0 && count <= kMaxMapEntries; }

template <class Map, class Table>
int32_t CreateMap(Table& table, int32_t count, AutMapHandle* out, Map&& map) {
  if (out == nullptr) return 0;
  *out = 0;
  if (!ValidCount(count)) return 0;
  *out = table.Add(std::move(map));
  return *out != 0 ? 1 : 0;
}

}  // namespace

int32_t AutEngine::CreateRecordLogKnobMap(int32_t count, AutMapHandle* out) {
  if (Busy()) return 0;
  AutRecordMap map;
  try {
    if (ValidCount(count)) map.entries.assign(static_cast<size_t>(count), AutRecordMapEntry{-1, 0});
  } catch (const std::bad_alloc&) {
    return 0;
  }
  return CreateMap(recordMaps_, count, out, std::move(map));
}

int32_t AutEngine::GetRecordLogKnobMapValue(AutMapHandle map, int32_t index, int32_t* key, int32_t* written) {
  const AutRecordMap* m = recordMaps_.Find(map);
  if (m == nullptr || key == nullptr) return 0;
  if (index == -1) {
    *key = m->lastKey;
    return 1;
  }
  if (index < 0 || static_cast<size_t>(index) >= m->entries.size()) return 0;
  *key = m->entries[static_cast<size_t>(index)].key;
  if (written != nullptr) *written = m->entries[static_cast<size_t>(index)].written;
  return 1;
}

int32_t AutEngine::DeleteRecordLogKnobMap(AutMapHandle map) {
  if (Busy() || recordMaps_.Find(map) == nullptr) return 0;
  recordMaps_.Remove(map);
  return 1;
}

int32_t AutEngine::DeleteAllRecordLogKnobMaps() {
  if (Busy()) return 0;
  for (AutMapHandle h : recordMaps_.Handles()) recordMaps_.Remove(h);
  return 1;
}

int32_t AutEngine::CreatePlayLogKnobMap(int32_t count, AutMapHandle* out) {
  if (Busy()) return 0;
  AutPlayMap map;
  try {
    if (ValidCount(count)) map.knobs.assign(static_cast<size_t>(count), 0);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  return CreateMap(playMaps_, count, out, std::move(map));
}

// The knob is stored as given: a knob deleted later simply stops resolving.
// Allowed inside the knob-value callback: it stores one word and neither
// adds nor removes anything a running walk holds.
int32_t AutEngine::SetPlayLogKnobMapValue(AutMapHandle map, int32_t index, AutKnobHandle knob) {
  AutPlayMap* m = playMaps_.Find(map);
  if (m == nullptr || index < 0 || static_cast<size_t>(index) >= m->knobs.size()) return 0;
  m->knobs[static_cast<size_t>(index)] = knob;
  return 1;
}

int32_t AutEngine::DeletePlayLogKnobMap(AutMapHandle map) {
  if (Busy() || playMaps_.Find(map) == nullptr) return 0;
  playMaps_.Remove(map);
  return 1;
}

int32_t AutEngine::DeleteAllPlayLogKnobMaps() {
  if (Busy()) return 0;
  for (AutMapHandle h : playMaps_.Handles()) playMaps_.Remove(h);
  return 1;
}

// A play view's knob for a log key: none when the map is gone, the key lies
// outside it, or the knob it names was deleted.
AutKnobHandle AutEngine::PlayKnobOf(const AutViewNode& v, int32_t key) {
  const AutPlayMap* m = playMaps_.Find(v.map);
  if (m == nullptr || key < 0 || static_cast<size_t>(key) >= m->knobs.size()) return 0;
  const AutKnobHandle k = m->knobs[static_cast<size_t>(key)];
  return knobs_.Find(k) != nullptr ? k : 0;
}
