#include "mixer/mix/mixdsp.h"

#include <algorithm>
#include <new>
#include <vector>

#include "mixer/mix/mixdoc.h"
#include "mixer/mix/mixhost.h"
#include "mixer/model/util/strtab.h"

namespace {

enum class Refusal { None, Load, Memory, Program };

struct DspFill {
  uint32_t Load = 0;
  uint64_t Used[kElemAreaCount] = {};
};

uint64_t AlignUp(uint64_t value, uint32_t figure) {
  const uint64_t step = uint64_t{1} << std::min<uint32_t>(figure, 24);
  return (value + step - 1) & ~(step - 1);
}

// Tries the element's areas and load on one DSP; on success fills the
// placement's areas and commits them to the fill.
Refusal Fit(DspFill* fill, const ELEMTYPEPROPINFO& props, const MixDspCapacity& cap, MixDspPlacement* p) {
  if (uint64_t{fill->Load} + props.Load > cap.Load) return Refusal::Load;
  DspFill next = *fill;
  next.Load += props.Load;
  p->SampleBase = 0;
  bool haveSample = false;
  for (int i = 0; i < kElemAreaCount; ++i) {
    const uint32_t type = props.AreaType[i];
    const uint32_t size = props.AreaSize[i];
    p->AreaType[i] = type;
    p->AreaSize[i] = 0;
    p->AreaBase[i] = 0;
    if (size == 0) continue;
    if (type >= static_cast<uint32_t>(kElemAreaCount)) return Refusal::Memory;
    const uint64_t words = uint64_t{size} * (type == kAreaTwoBank ? 2 : 1);
    const uint64_t base = AlignUp(next.Used[type], props.AreaFigure[i]);
    if (base + words > cap.Words[type]) return type == kAreaProgram ? Refusal::Program : Refusal::Memory;
    next.Used[type] = base + words;
    p->AreaBase[i] = static_cast<uint32_t>(base);
    p->AreaSize[i] = size;
    if (type == kAreaSample && !haveSample) {
      p->SampleBase = static_cast<uint32_t>(base);
      haveSample = true;
    }
  }
  *fill = next;
  return Refusal::None;
}

bool Runs(const MixElem* e) {
  // Native elements run on the host's processor; blocked and dummy elements
  // do not run at all.
  return e->Ref && !e->Blocked && e->Kind != kMixNatEffect && e->Kind != kMixNatRec;
}

}  // namespace

void MixDspRelease(MixElem* elem) {
  if (!elem->Dsp) return;
  if (elem->Ref) CallLoadElement(elem->Ref, nullptr, nullptr);
  delete elem->Dsp;
  elem->Dsp = nullptr;
}

int MixerDspAllocate(MixDoc* doc) {
  if (!doc) return 1;
  MixHost& host = MixHostGet();
  for (MixColumn* c = doc->First; c; c = c->Next)
    for (MixElem* e = c->First; e; e = e->Next) MixDspRelease(e);

  const int units = host.UnitCount();
  std::vector<std::vector<DspFill>> fills(static_cast<size_t>(std::max(units, 0)));
  bool ok = true, memory = false, program = false, noDsp = false;
  for (MixColumn* c = doc->First; c; c = c->Next)
    for (MixElem* e = c->First; e; e = e->Next) {
      if (!Runs(e)) continue;
      const int32_t code = MixElemRouting(e);
      const int unit = code < 0 ? 0 : MixDecodeRouting(code).Unit;
      // An element of a unit that is not there is shown greyed; nothing runs.
      if (unit >= units) continue;
      const int dsps = host.UnitMixerDspCount(unit);
      if (dsps <= 0) {
        noDsp = true;
        ok = false;
        continue;
      }
      std::vector<DspFill>& unitFill = fills[static_cast<size_t>(unit)];
      if (unitFill.size() < static_cast<size_t>(dsps)) unitFill.resize(static_cast<size_t>(dsps));
      ELEMTYPEPROPINFO props{};
      props.Size = kElemTypePropSize;
      if (!FindElementType(e->Type, &props)) continue;
      const MixDspCapacity cap = host.DspCapacity(unit);
      const int preferred = std::clamp(e->DspNumber, 1, dsps) - 1;
      MixDspPlacement* p = new (std::nothrow) MixDspPlacement{};
      if (!p) {
        host.Message(IDS_HEAP_ALLOC_FAILED, kMixMsgExclamation, nullptr);
        return 0;
      }
      Refusal first = Refusal::None;
      int placed = -1;
      for (int k = 0; k < dsps && placed < 0; ++k) {
        const int dsp = k == 0 ? preferred : (k <= preferred ? k - 1 : k);
        const Refusal r = Fit(&unitFill[static_cast<size_t>(dsp)], props, cap, p);
        if (r == Refusal::None)
          placed = dsp;
        else if (k == 0)
          first = r;
      }
      if (placed < 0) {
        delete p;
        ok = false;
        if (first == Refusal::Memory) memory = true;
        if (first == Refusal::Program) program = true;
        continue;
      }
      p->Unit = static_cast<uint32_t>(unit);
      p->Dsp = static_cast<uint32_t>(placed);
      e->Dsp = p;
      e->DspNumber = placed + 1;
      if (!CallLoadElement(e->Ref, p, p)) ok = false;
    }
  if (memory) host.Message(IDS_MIX_DSP_MEMORY, kMixMsgExclamation, nullptr);
  if (program) host.Message(IDS_MIX_DSP_PROGRAM, kMixMsgExclamation, nullptr);
  if (noDsp) host.Message(IDS_MIX_NO_DSP, kMixMsgExclamation, nullptr);
  return ok ? 1 : 0;
}

int32_t ELEMAPI DspCommandBlock(void* dspHandle, uint32_t op, uint32_t memIndex, uint32_t offset, uint32_t count,
                                uint32_t* words) {
  if (!dspHandle) return kDspNoResource;
  const MixDspPlacement* p = static_cast<const MixDspPlacement*>(dspHandle);
  if (memIndex >= static_cast<uint32_t>(kElemAreaCount)) return kDspFailed;
  const uint32_t type = p->AreaType[memIndex];
  const uint32_t size = p->AreaSize[memIndex];
  uint64_t address = p->AreaBase[memIndex];
  if (type == kAreaTwoBank && offset >= kDspSecondBank) {
    offset -= kDspSecondBank;
    address += size;
  }
  bool reads = false;
  switch (op) {
    case kDspWrite:
    case kDspWriteRunning: break;
    case kDspRead:
    case kDspReadAlt: reads = true; break;
    case kDspReadMeter:
      if (type == kAreaProgram) return kDspFailed;
      reads = true;
      break;
    case kDspClear: words = nullptr; break;
    case kDspProgram:
      if (type != kAreaProgram) return kDspFailed;
      break;
    default: return kDspFailed;
  }
  if (count == 0) return kDspOk;
  if (op != kDspClear && !words) return kDspFailed;
  // An element reaches only its own words.
  if (uint64_t{offset} + count > size) return kDspFailed;
  address += offset;
  MixHost& host = MixHostGet();
  for (uint32_t done = 0; done < count;) {
    const uint32_t n = std::min(kDspBlockWords, count - done);
    uint32_t* block = words ? words + done : nullptr;
    if (!host.DspBlock(static_cast<int>(p->Unit), static_cast<int>(p->Dsp), op,
                       static_cast<uint32_t>(address + done), n, block))
      return kDspFailed;
    if (reads)
      for (uint32_t i = 0; i < n; ++i) block[i] = static_cast<uint32_t>(static_cast<int32_t>(block[i] << 8) >> 8);
    done += n;
  }
  return kDspOk;
}

int MixCheckDspLimit() {
  static bool shown = false;
  if (MixDspState() != 2) {
    shown = false;
    return 0;
  }
  if (!shown) {
    shown = true;
    MixHostGet().Message(IDS_MIX_DSP_LIMIT, kMixMsgExclamation, nullptr);
  }
  return 1;
}
