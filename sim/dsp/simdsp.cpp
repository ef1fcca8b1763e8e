#include "sim/dsp/simdsp.h"

#include <algorithm>

namespace {

SimDsp* g_current = nullptr;

enum class OpKind { Write, Read, Clear, Program };

struct OpRow {
  uint32_t Op;
  OpKind Kind;
  bool NotForProgram;  // refused in a program area
};

// The operations an element module may ask for. The host's own codes (0,
// 10, 20, 52, 53, 56) and any other are refused.
constexpr OpRow kOps[] = {
    {kDspWrite, OpKind::Write, false},   {kDspWriteRunning, OpKind::Write, false},
    {kDspRead, OpKind::Read, false},     {kDspReadMeter, OpKind::Read, true},
    {kDspReadAlt, OpKind::Read, false},  {kDspClear, OpKind::Clear, false},
    {kDspProgram, OpKind::Program, false},
};

const OpRow* FindOp(uint32_t op) {
  for (const OpRow& r : kOps)
    if (r.Op == op) return &r;
  return nullptr;
}

}  // namespace

struct SimDsp::Target {
  SimDspArea* Area;
  int Bank;
  uint32_t Start;
  OpKind Kind;
};

SimDsp::SimDsp() : previous_(g_current) { g_current = this; }

SimDsp::~SimDsp() {
  if (g_current == this) g_current = previous_;
}

SimDsp* SimDsp::Current() { return g_current; }

SimDspElement* SimDsp::Place(const ELEMTYPEPROPINFO& type, const uint32_t* hostSizes) {
  auto e = std::make_unique<SimDspElement>();
  e->Id = nextId_++;
  bool sampleSeen = false;
  for (int i = 0; i < kElemAreaCount; ++i) {
    SimDspArea& a = e->Areas[i];
    a.Type = type.AreaType[i];
    a.Size = type.AreaSize[i] ? type.AreaSize[i] : (hostSizes ? hostSizes[i] : 0);
    // Each kind of memory is handed out upwards from 0, element after element.
    const uint32_t kind = std::min<uint32_t>(a.Type, 5);
    a.Base = nextBase_[kind];
    nextBase_[kind] += a.Size;
    a.Banks[0].assign(a.Size, 0);
    if (a.Type == kAreaTwoBank) a.Banks[1].assign(a.Size, 0);
    if (a.Type == kAreaSample && a.Size && !sampleSeen) {
      e->Placement.SampleBase = a.Base;
      sampleSeen = true;
    }
  }
  e->Placement.HostWords[0] = e->Id;
  elements_.push_back(std::move(e));
  return elements_.back().get();
}

void SimDsp::Remove(SimDspElement* element) {
  std::erase_if(elements_, [&](const std::unique_ptr<SimDspElement>& p) { return p.get() == element; });
}

SimDspElement* SimDsp::Find(void* dspHandle) const {
  for (const auto& p : elements_)
    if (p.get() == dspHandle) return p.get();
  return nullptr;
}

int32_t SimDsp::Validate(const SimDspElement& e, uint32_t op, uint32_t memIndex, uint32_t offset, uint32_t count,
                         const uint32_t* words, Target* t) const {
  const OpRow* row = FindOp(op);
  if (!row || memIndex >= kElemAreaCount) return kDspFailed;
  const SimDspArea& area = e.Areas[memIndex];
  if (area.Size == 0) return kDspFailed;
  if (row->Kind == OpKind::Program && area.Type != kAreaProgram) return kDspFailed;
  if (row->NotForProgram && area.Type == kAreaProgram) return kDspFailed;
  const bool second = area.Type == kAreaTwoBank && offset >= kElemSecondBank;
  const uint32_t start = second ? offset - kElemSecondBank : offset;
  if (uint64_t{start} + count > area.Size) return kDspFailed;
  if (row->Kind != OpKind::Clear && count > 0 && !words) return kDspFailed;
  *t = Target{const_cast<SimDspArea*>(&area), second ? 1 : 0, start, row->Kind};
  return kDspOk;
}

bool SimDsp::BlockFails(uint32_t op) {
  if (!faultOn_ || (fault_.Op != kSimAnyOp && fault_.Op != op)) return false;
  if (faultSeen_++ < fault_.Pass) return false;
  if (!fault_.Sticky) faultOn_ = false;
  return true;
}

int32_t SimDsp::Run(SimDspCall& call, const Target& t, uint32_t op, uint32_t count, uint32_t* words) {
  std::vector<uint32_t>& bank = t.Area->Banks[t.Bank];
  for (uint32_t done = 0; done < count; done += kSimDspBlockWords) {
    if (BlockFails(op)) return kDspFailed;
    const uint32_t n = std::min(kSimDspBlockWords, count - done);
    for (uint32_t i = 0; i < n; ++i) {
      uint32_t& cell = bank[t.Start + done + i];
      switch (t.Kind) {
        case OpKind::Write:
        case OpKind::Program:
          cell = DspWordStore(words[done + i]);
          call.Words.push_back(cell);
          break;
        case OpKind::Read:
          words[done + i] = static_cast<uint32_t>(DspWordLoad(cell));
          call.Words.push_back(words[done + i]);
          // A meter read takes the peak the program held and starts a new one.
          if (op == kDspReadMeter) cell = 0;
          break;
        case OpKind::Clear:
          cell = 0;
          break;
      }
    }
    ++call.Blocks;
  }
  return kDspOk;
}

int32_t SimDsp::Command(void* dspHandle, uint32_t op, uint32_t memIndex, uint32_t offset, uint32_t count,
                        uint32_t* words) {
  SimDspCall call{0, op, memIndex, offset, count, kDspOk, 0, {}};
  SimDspElement* e = dspHandle ? Find(dspHandle) : nullptr;
  Target t{};
  if (!dspHandle) {
    call.Result = kDspNoResource;
  } else if (!e) {
    call.Result = kDspFailed;
  } else {
    call.Element = e->Id;
    call.Result = Validate(*e, op, memIndex, offset, count, words, &t);
    if (call.Result == kDspOk) call.Result = Run(call, t, op, count, words);
    if (call.Result == kDspOk && op == kDspProgram) e->ProgramWords = count;
  }
  trace_.push_back(std::move(call));
  return trace_.back().Result;
}

namespace {

const uint32_t* Cell(const SimDspElement* e, uint32_t memIndex, uint32_t offset) {
  if (!e || memIndex >= kElemAreaCount) return nullptr;
  const SimDspArea& a = e->Areas[memIndex];
  const bool second = a.Type == kAreaTwoBank && offset >= kElemSecondBank;
  const uint32_t start = second ? offset - kElemSecondBank : offset;
  if (start >= a.Size) return nullptr;
  return &a.Banks[second ? 1 : 0][start];
}

}  // namespace

uint32_t SimDsp::Raw(const SimDspElement* element, uint32_t memIndex, uint32_t offset) const {
  const uint32_t* c = Cell(element, memIndex, offset);
  return c ? *c : 0;
}

int32_t SimDsp::Word(const SimDspElement* element, uint32_t memIndex, uint32_t offset) const {
  return DspWordLoad(Raw(element, memIndex, offset));
}

void SimDsp::Poke(SimDspElement* element, uint32_t memIndex, uint32_t offset, uint32_t word) {
  if (uint32_t* c = const_cast<uint32_t*>(Cell(element, memIndex, offset))) *c = DspWordStore(word);
}

void SimDsp::InjectFault(const SimDspFault& fault) {
  fault_ = fault;
  faultSeen_ = 0;
  faultOn_ = true;
}

void SimDsp::ClearFault() { faultOn_ = false; }

int32_t ELEMAPI DspCommandBlock(void* dspHandle, uint32_t op, uint32_t memIndex, uint32_t offset, uint32_t count,
                                uint32_t* words) {
  SimDsp* dsp = SimDsp::Current();
  if (!dsp) return dspHandle ? kDspFailed : kDspNoResource;
  return dsp->Command(dspHandle, op, memIndex, offset, count, words);
}
