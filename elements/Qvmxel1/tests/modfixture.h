// A host for the module's portable core in tests: the simulated DSP and the
// recording notify callback, elements created, placed and loaded as the
// mixer does.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "elements/Qvmxel1/qvmxel1api.h"
#include "elements/harness/elemharness.h"
#include "sim/dsp/simdsp.h"
#include "sim/dsp/simdsprun.h"

class ModTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ELEMMODINFO info{};
    info.Size = sizeof info;
    QVInitElemModule(DspCommandBlock, RecordingNotify, &info);
    RecordedNotes().clear();
  }
  void TearDown() override {
    for (ElemHandle h : made_) QVDeleteElement(h);
  }

  ElemHandle Create(uint32_t code, void* context = reinterpret_cast<void*>(0x1234)) {
    ElemHandle h = QVCreateElement(code, context);
    EXPECT_NE(h, nullptr) << code;
    made_.push_back(h);
    return h;
  }
  // Places the element on the DSP (host-sized areas as given) and loads it.
  SimDspElement* Load(ElemHandle h, uint32_t code, const uint32_t* hostSizes = nullptr) {
    ELEMTYPEPROPINFO t{};
    QVGetElemTypeProperties(code, &t);
    SimDspElement* p = dsp.Place(t, hostSizes);
    EXPECT_EQ(QVLoadElement(h, p, &p->Placement), 1u) << code;
    return p;
  }
  uint32_t SetKnob(ElemHandle h, uint32_t k, int32_t v) {
    ELEMKNOBVALUE kv{k, v};
    return QVSetElement(h, kSetKnob, reinterpret_cast<uintptr_t>(&kv));
  }
  int32_t Knob(ElemHandle h, uint32_t k) {
    ELEMKNOBVALUE kv{k, -12345};
    EXPECT_EQ(QVGetElement(h, kGetKnob, &kv), 1u);
    return kv.Value;
  }
  // The words of the last call of that operation to that area.
  std::vector<uint32_t> LastWords(uint32_t op, uint32_t area, uint32_t offset) {
    for (auto it = dsp.Trace().rbegin(); it != dsp.Trace().rend(); ++it)
      if (it->Op == op && it->MemIndex == area && it->Offset == offset) return it->Words;
    return {};
  }
  std::vector<ElemNote> Notes(uint32_t code) {
    std::vector<ElemNote> out;
    for (const ElemNote& n : RecordedNotes())
      if (n.Code == code) out.push_back(n);
    return out;
  }

  SimDsp dsp;
  std::vector<ElemHandle> made_;
};
