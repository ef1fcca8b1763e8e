// Fuzz target: any bytes as a mix image, checked and opened against the
// in-process element modules; a document that opens is written again and
// must pass the check.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "mixer/mix/mixfile.h"
#include "mixer/mix/tests/mixfake.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static MixFixture* fixture = new MixFixture();
  fixture->host.units = 2;
  fixture->host.messages.clear();
  fixture->aut.calls.clear();
  if (size > (1u << 20)) return 0;
  std::vector<uint8_t> image(data, data + size);
  image.push_back(0);  // never empty
  MixDoc* doc = MixOpenImage(image.data(), static_cast<uint32_t>(size), 0);
  if (doc) {
    std::vector<uint8_t> out;
    uint32_t length = 0;
    if (MixBuildImage(doc, &out, &length) && !MixCheckImage(out.data(), length, nullptr)) std::abort();
    MixDocDestroy(doc);
  }
  return 0;
}
