// The library as the program loads it: every export bound by its exact
// decorated name, the recorder library bound underneath, and a device
// opened, given a play list, asked and closed through those bindings.
#include <windows.h>

#include <gtest/gtest.h>

#include "native/qvNatDev/natdev.h"

namespace {

const char* const kExports[] = {
#define NATDEV_EXPORT(name, bytes) "_" #name "@" #bytes,
#include "native/qvNatDev/tests/exports.inc"
#undef NATDEV_EXPORT
};

int32_t ReadRamp(int32_t, uint64_t position, int32_t count, uint32_t* ring, uint32_t, uint32_t, void*) {
  for (int32_t i = 0; i < count; ++i) ring[i] = static_cast<uint32_t>(position + i) << 16;
  return 1;
}
int32_t NoWrite(int32_t, uint64_t, int32_t, uint32_t*, uint32_t, uint32_t, void*) { return 0; }

class Dll : public ::testing::Test {
 protected:
  void SetUp() override {
    lib = LoadLibraryA("qvNatDev.dll");
    ASSERT_NE(lib, nullptr);
  }
  void TearDown() override { FreeLibrary(lib); }
  template <class Fn>
  Fn Bind(const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(lib, name)));
  }
  HMODULE lib = nullptr;
};

TEST_F(Dll, BindsEveryExportByName) {
  EXPECT_EQ(sizeof(kExports) / sizeof(kExports[0]), 33u);
  for (const char* name : kExports) EXPECT_NE(GetProcAddress(lib, name), nullptr) << name;
}

TEST_F(Dll, OpensPlaysAsksAndCloses) {
  auto open = Bind<decltype(&OpenNatDevice)>("_OpenNatDevice@12");
  auto close = Bind<decltype(&CloseNatDevice)>("_CloseNatDevice@4");
  auto status = Bind<decltype(&NatXGetStatus)>("_NatXGetStatus@4");
  auto list = Bind<decltype(&Nat1SetAudPlayList)>("_Nat1SetAudPlayList@28");
  auto envelopes = Bind<decltype(&Nat1GetEnvelopes)>("_Nat1GetEnvelopes@28");
  auto gates = Bind<decltype(&Nat1GetNoiseGateOnList)>("_Nat1GetNoiseGateOnList@8");
  ASSERT_TRUE(open && close && status && list && envelopes && gates);
  const RecorderDiskCallbacks disk{ReadRamp, NoWrite};
  int32_t error = 0;
  NatDevice* dev = open(0, &disk, &error);
  ASSERT_NE(dev, NatBadDevice());
  EXPECT_EQ(status(dev), kNatDevIdle);

  PlayEvent events[2] = {};
  events[0].Take = 5;
  events[0].Length = 1000;
  events[0].GainStart = events[0].GainEnd = kPlayUnity;
  events[1].Length = kPlayListEnd - 1000;
  EXPECT_EQ(list(dev, 0, 1, 2, events, 0, nullptr), 1);
  EXPECT_EQ(list(dev, 0, 129, 2, events, 0, nullptr), 0);

  NatEnvelopePoint points[2];
  ASSERT_EQ(envelopes(dev, 2, 10, 5, 100, 0, points), 1);
  EXPECT_EQ(points[0].maximum, 109);
  EXPECT_EQ(points[1].minimum, 110);

  HGLOBAL block = gates(dev, &error);
  ASSERT_NE(block, nullptr);
  EXPECT_NE(GlobalFlags(block) & 0xFF00, 0xFF00u);  // a live handle
  EXPECT_EQ(static_cast<int32_t*>(GlobalLock(block))[0], 0);
  GlobalUnlock(block);
  GlobalFree(block);
  EXPECT_EQ(close(dev), 1);
}

}  // namespace
