#include "mixer/mix/mixdown.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "mixer/mix/elemmod.h"
#include "mixer/mix/mixdsp.h"
#include "mixer/mix/mixfile.h"

namespace {

// The routing class of the native recorder elements: its index is the
// record track less one.
constexpr int32_t kRecorderClass = 5;

int32_t TypeChannels(uint32_t type) {
  ELEMTYPEPROPINFO p{};
  p.Size = kElemTypePropSize;
  return FindElementType(type, &p) ? static_cast<int32_t>(std::max<uint32_t>(p.Outputs, 1)) : 1;
}

// The first type of that kind whose output count is `outputs`, else (with
// any = true) the one of that kind with the fewest outputs; 0 for none.
uint32_t FindType(uint32_t kind, uint32_t outputs, bool any) {
  uint32_t best = 0, bestOut = UINT32_MAX;
  for (uint32_t i = 0;; ++i) {
    const uint32_t type = ElemTypeByIndex(i);
    if (type == 0) break;
    ELEMTYPEPROPINFO p{};
    p.Size = kElemTypePropSize;
    if (!FindElementType(type, &p) || p.Kind != kind) continue;
    if (p.Outputs == outputs) return type;
    if (any && p.Outputs < bestOut) {
      best = type;
      bestOut = p.Outputs;
    }
  }
  return best;
}

const char* ClassName(int32_t cls) {
  switch (cls) {
    case 1: return "IN";
    case 2: return "OUT";
    case 3: return "BUS";
    case 4: return "AUX";
    case 5: return "TRK";
    case 7: return "DIN";
    case 8: return "DOUT";
    default: return "";
  }
}

}  // namespace

std::vector<MixdownOutput> MixdownOutputs(MixDoc* doc) {
  std::vector<MixdownOutput> out;
  if (doc == nullptr) return out;
  for (MixColumn* c = doc->First; c; c = c->Next)
    for (MixElem* e = c->First; e; e = e->Next) {
      if (e->Kind != kMixOutput || e->Routing < 0) continue;
      if (std::any_of(out.begin(), out.end(), [e](const MixdownOutput& o) { return o.Routing == e->Routing; }))
        continue;
      out.push_back({e->Routing, TypeChannels(e->Type)});
    }
  return out;
}

void MixFormatRouting(char* text, int32_t output, int32_t channels, int size) {
  if (text == nullptr || size <= 0) return;
  const MixRouting r = MixDecodeRouting(output);
  const int unit = r.Unit + 1;
  if (output < 0) {
    text[0] = '\0';
  } else if (r.Class == 0) {
    std::snprintf(text, static_cast<size_t>(size), "U%d", unit);
  } else if (channels > 1) {
    std::snprintf(text, static_cast<size_t>(size), "%s %d-%d U%d", ClassName(r.Class), r.Index + 1,
                  r.Index + channels, unit);
  } else {
    std::snprintf(text, static_cast<size_t>(size), "%s %d U%d", ClassName(r.Class), r.Index + 1, unit);
  }
}

MixDoc* MixBuildMixdownMixer(int32_t output, int32_t channels, const int32_t* recTracks) {
  if (output < 0 || channels < 1 || recTracks == nullptr) return nullptr;
  const MixRouting r = MixDecodeRouting(output);
  if (!MixRoutingValid({r.Unit, r.Class, r.Index + channels - 1})) return nullptr;
  const uint32_t input = FindType(kMixInput, 1, false);
  const uint32_t recorder = FindType(kMixNatRec, 1, true);
  if (input == 0 || recorder == 0) return nullptr;
  MixDoc* doc = MixDocCreate(0);
  if (doc == nullptr) return nullptr;
  for (int32_t i = 0; i < channels; ++i) {
    const int32_t track = recTracks[i];
    MixColumn* column = i <= kMixMaxColumn ? MixColumnCreate(doc, i, nullptr, 0, 0) : nullptr;
    MixElem* in = column ? MixElemCreate(input, column, 0, 0, 0, 0) : nullptr;
    MixElem* rec = in ? MixElemCreate(recorder, column, in->Height, 0, 0, 0) : nullptr;
    if (rec == nullptr || track < 1 || track > 192) {
      MixDocDestroy(doc);
      return nullptr;
    }
    in->Routing = MixEncodeRouting(r.Unit, r.Class, r.Index + i);
    rec->Routing = MixEncodeRouting(r.Unit, kRecorderClass, track - 1);
  }
  MixSetDspState(MixerDspAllocate(doc) ? 1 : 2);
  return doc;
}

namespace {

void Reopen(MixDoc** current, MixdownSavedMixer* saved) {
  MixDoc* doc = nullptr;
  if (saved->hadDoc) {
    doc = MixOpenFromMemory(&saved->image, saved->length, 1);
    if (doc != nullptr) {
      doc->Snapshot = saved->snapshot;
      doc->HasSnapshot = saved->hasSnapshot;
    }
  }
  *current = doc;
  *saved = MixdownSavedMixer();
}

}  // namespace

int MixdownSwapIn(MixDoc** current, MixdownSavedMixer* saved, int32_t output, int32_t channels,
                  const int32_t* recTracks) {
  if (saved->active) return 0;
  *saved = MixdownSavedMixer();
  MixDoc* user = *current;
  saved->hadDoc = user != nullptr;
  if (user != nullptr) {
    if (!MixBuildImage(user, &saved->image, &saved->length)) {
      *saved = MixdownSavedMixer();
      return 0;
    }
    saved->snapshot = user->Snapshot;
    saved->hasSnapshot = user->HasSnapshot;
  }
  MixDocDestroy(user);
  *current = nullptr;
  MixDoc* mixdown = MixBuildMixdownMixer(output, channels, recTracks);
  if (mixdown == nullptr) {
    Reopen(current, saved);
    return 0;
  }
  *current = mixdown;
  saved->active = true;
  return 1;
}

int MixdownSwapOut(MixDoc** current, MixdownSavedMixer* saved) {
  if (!saved->active) return 0;
  const int held = MixDspState() == 1;
  MixDocDestroy(*current);
  *current = nullptr;
  Reopen(current, saved);
  return held;
}
