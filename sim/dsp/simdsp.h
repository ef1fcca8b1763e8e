// A simulated DSP behind the element modules' DSP callback: the host side
// of ElemDspCallback as the mixer carries it out (DspCommandBlock), over
// memory areas that live in this process. Each placed element gets its six
// areas, typed and sized from its type record; the operations check their
// area, offset and count, keep 24-bit words as a DSP does, split into
// command blocks of at most 255 words, can be made to fail, and leave a
// trace of every call for tests.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "elements/elemif.h"

class SimDsp;

// Words per DSP command block.
constexpr uint32_t kSimDspBlockWords = 255;
// Matches every operation in a fault.
constexpr uint32_t kSimAnyOp = 0xFFFFFFFFu;

struct SimDspArea {
  uint32_t Type = 0;
  uint32_t Size = 0;  // words per bank; 0: the element has no such area
  uint32_t Base = 0;  // address in the DSP memory of its type
  std::vector<uint32_t> Banks[2];  // 24-bit words; the second bank only for type 5
};

// One placed element; its address is the dspHandle the host passes to
// _QVLoadElement@12 and the element passes back with every DSP call.
struct SimDspElement {
  uint32_t Id = 0;
  SimDspArea Areas[kElemAreaCount];
  ElemPlacementRecord Placement{};
  uint32_t ProgramWords = 0;  // words placed by op 45
};

// One call of the callback as the DSP saw it. Words: for writes and program
// downloads the 24-bit words stored, for reads the sign-extended words
// delivered; only the blocks carried out.
struct SimDspCall {
  uint32_t Element;  // its Id; 0 for a null or unknown handle
  uint32_t Op;
  uint32_t MemIndex;
  uint32_t Offset;
  uint32_t Count;
  int32_t Result;
  uint32_t Blocks;  // command blocks carried out
  std::vector<uint32_t> Words;
};

// Blocks of matching operations fail once `pass` of them have gone
// through; sticky faults go on failing until cleared.
struct SimDspFault {
  uint32_t Op = kSimAnyOp;
  uint32_t Pass = 0;
  bool Sticky = true;
};

class SimDsp {
 public:
  SimDsp();
  ~SimDsp();
  SimDsp(const SimDsp&) = delete;
  SimDsp& operator=(const SimDsp&) = delete;

  // Places an element of that type: areas typed and sized from the record;
  // hostSizes (6 words, may be null) sizes the areas the record leaves at 0.
  // The placement record's SampleBase is the address of its first sample
  // area (type 3).
  SimDspElement* Place(const ELEMTYPEPROPINFO& type, const uint32_t* hostSizes = nullptr);
  // Takes the element off the DSP; its handle is refused from then on.
  void Remove(SimDspElement* element);

  // The callback's work: results 0, -1 (null handle) or -2 (refused or a
  // block failed; blocks before the failing one stay done).
  int32_t Command(void* dspHandle, uint32_t op, uint32_t memIndex, uint32_t offset, uint32_t count,
                  uint32_t* words);

  // A stored word, raw (24 bits) and as a read delivers it. 0 outside the
  // area.
  uint32_t Raw(const SimDspElement* element, uint32_t memIndex, uint32_t offset) const;
  int32_t Word(const SimDspElement* element, uint32_t memIndex, uint32_t offset) const;
  // Sets a stored word as a DSP program would (meters, for instance).
  void Poke(SimDspElement* element, uint32_t memIndex, uint32_t offset, uint32_t word);

  void InjectFault(const SimDspFault& fault);
  void ClearFault();

  const std::vector<SimDspCall>& Trace() const { return trace_; }
  void ClearTrace() { trace_.clear(); }

  // The simulated DSP that DspCommandBlock reaches: the one most recently
  // made, until it is destroyed.
  static SimDsp* Current();

 private:
  struct Target;
  SimDspElement* Find(void* dspHandle) const;
  int32_t Validate(const SimDspElement& e, uint32_t op, uint32_t memIndex, uint32_t offset, uint32_t count,
                   const uint32_t* words, Target* target) const;
  bool BlockFails(uint32_t op);
  int32_t Run(SimDspCall& call, const Target& t, uint32_t op, uint32_t count, uint32_t* words);

  std::vector<std::unique_ptr<SimDspElement>> elements_;
  uint32_t nextId_ = 1;
  uint32_t nextBase_[6] = {};
  bool faultOn_ = false;
  SimDspFault fault_{};
  uint32_t faultSeen_ = 0;
  std::vector<SimDspCall> trace_;
  SimDsp* previous_ = nullptr;
};

// 24-bit DSP words: a written word keeps its low 24 bits; a word read back
// arrives sign-extended to 32 bits.
constexpr uint32_t DspWordStore(uint32_t w) { return w & 0xFFFFFFu; }
constexpr int32_t DspWordLoad(uint32_t w) {
  return static_cast<int32_t>((w & 0xFFFFFFu) ^ 0x800000u) - 0x800000;
}

// The mixer's implementation of ElemDspCallback, over SimDsp::Current().
int32_t ELEMAPI DspCommandBlock(void* dspHandle, uint32_t op, uint32_t memIndex, uint32_t offset, uint32_t count,
                                uint32_t* words);
