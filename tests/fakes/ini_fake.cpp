// Stand-in for the ini readers and writers, for tests of code that calls it. Its own object
// file, so that a test linking the real ini layer never pulls it in.
#include "mixer/model/ini.h"

#include "tests/fakes/services_fake.h"

int32_t ReadIniInt(const char*, uint32_t section, uint32_t key, int32_t defaultValue, int32_t minimum,
                   int32_t maximum) {
  auto it = Services().ini.find({section, key});
  int32_t v = it == Services().ini.end() ? defaultValue : it->second;
  if (v > maximum) v = maximum;
  if (v < minimum) v = minimum;
  return v;
}
void WriteIniLong(const char*, uint32_t section, uint32_t key, int32_t number) {
  FakeLog("WriteIniLong(%u, %u, %d)", section, key, number);
  Services().ini[{section, key}] = number;
}
const char* MainIniPath() { return "HRLMixerDef.INI"; }
