// States from hosts and preset files of any content: the first byte picks
// the type, the rest is the state block restored (set code 6, its length
// word as given) and read as a preset file; the element is then loaded
// and runs audio, so values a state brings in must not upset its words.
#include <cstdint>
#include <cstring>
#include <vector>

#include "elements/Qvmxel1/qvmxel1api.h"
#include "sim/dsp/simdsprun.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  QVInitElemModule(DspCommandBlock, nullptr, nullptr);
  const uint32_t code = QVGetElemType(data[0] % kTypeRows);
  ElemHandle e = QVCreateElement(code, reinterpret_cast<void*>(uintptr_t(data[0] & 7)));
  if (!e) __builtin_trap();

  std::vector<uint8_t> state(data + 1, data + size);
  state.resize(std::max<size_t>(state.size(), 320), 0);
  if (code == 1990) QVSetElement(e, kSetStateLength, size - 1);
  QVSetElement(e, kSetState, reinterpret_cast<uintptr_t>(state.data()));
  EqState preset{};
  if (EqPresetParse(data + 1, size - 1, &preset) && code == 300) EqRestore(static_cast<Element*>(e), &preset, 304, 1);

  std::vector<uint8_t> back(std::max<size_t>(size, 320));
  QVGetElement(e, kGetState, back.data());

  SimDsp dsp;
  ELEMTYPEPROPINFO t{};
  QVGetElemTypeProperties(code, &t);
  const uint32_t sizes[6] = {0, 0, 64, 0, 0, 0};
  SimDspElement* p = dsp.Place(t, sizes);
  QVLoadElement(e, p, &p->Placement);
  int32_t in[8 * 16], out[8 * 16];
  for (int i = 0; i < 8 * 16; ++i) in[i] = (i * 104729) % 0x7FFFFF - 0x400000;
  SimDspProcess(p, in, 8, out, 8, 16);
  QVDeleteElement(e);
  return 0;
}
