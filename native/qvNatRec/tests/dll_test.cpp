// The library as the native device layer loads it: every export bound by
// its exact decorated name, and a recorder opened, asked and closed through
// those bindings.
#include <windows.h>

#include <gtest/gtest.h>

#include "native/qvNatRec/recclient.h"
#include "native/qvNatRec/recorder.h"

namespace {

struct Export {
  const char* name;
};

const Export kExports[] = {
#define NATREC_EXPORT(name, bytes) {"_" #name "@" #bytes},
#include "native/qvNatRec/tests/exports.inc"
#undef NATREC_EXPORT
};

int32_t NoTransfer(int32_t, uint64_t, int32_t, uint32_t*, uint32_t, uint32_t, void*) { return 0; }

class Dll : public ::testing::Test {
 protected:
  void SetUp() override {
    lib = LoadLibraryA("qvNatRec.dll");
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
  EXPECT_EQ(sizeof(kExports) / sizeof(kExports[0]), 34u);
  for (const Export& e : kExports) EXPECT_NE(GetProcAddress(lib, e.name), nullptr) << e.name;
}

// Beside the recorder interface, the table through which stream clients
// outside the library attach.
TEST_F(Dll, GivesTheClientTable) {
  using GetFn = const RecorderClientApi*(HRL_RECAPI*)();
  auto get = Bind<GetFn>("_RecorderGetClientApi@0");
  ASSERT_NE(get, nullptr);
  const RecorderClientApi* api = get();
  ASSERT_NE(api, nullptr);
  EXPECT_TRUE(api->attach && api->detach && api->channelView && api->layerSpan && api->setReadPosition &&
              api->setCaptured && api->getWritten && api->getScrubTarget && api->noteScrubSpeed &&
              api->kickFill && api->clientEnded);
}

TEST_F(Dll, OpensAsksAndCloses) {
  using OpenFn = Recorder*(HRL_RECAPI*)(uint32_t, const RecorderDiskCallbacks*);
  using RecFn = int32_t(HRL_RECAPI*)(Recorder*);
  using ClocFn = int64_t(HRL_RECAPI*)(Recorder*);
  using LoopFn = int32_t(HRL_RECAPI*)(Recorder*, int32_t, int64_t, int64_t, int64_t);
  using PrepFn = int32_t(HRL_RECAPI*)(Recorder*, int64_t);
  auto open = Bind<OpenFn>("_OpenRecorder@8");
  auto close = Bind<RecFn>("_CloseRecorder@4");
  auto status = Bind<RecFn>("_RecorderGetStatus@4");
  auto stop = Bind<RecFn>("_RecorderStop@4");
  auto cloc = Bind<ClocFn>("_RecorderGetCloc@4");
  auto loop = Bind<LoopFn>("_RecorderSetSeamlessLoopParams@32");
  auto prep = Bind<PrepFn>("_RecorderPrepAudPlayBufs@12");
  auto wait = Bind<RecFn>("_RecorderWaitUntilIdle@4");
  ASSERT_TRUE(open && close && status && stop && cloc && loop && prep && wait);
  const RecorderDiskCallbacks disk{NoTransfer, NoTransfer};
  Recorder* rec = open(1, &disk);
  ASSERT_NE(rec, nullptr);
  EXPECT_EQ(status(rec), 0);
  EXPECT_EQ(stop(rec), 1);
  EXPECT_EQ(loop(rec, 1, 1000, 5000, 0x100000000LL), 1);
  EXPECT_EQ(prep(rec, 0x123456789LL), 1);  // a location beyond 32 bits passes whole
  EXPECT_EQ(wait(rec), 0);
  EXPECT_EQ(cloc(rec), 0x123456789LL);
  EXPECT_EQ(close(rec), 1);
  EXPECT_EQ(close(nullptr), 0);
}

}  // namespace
