// Under Wine: the element modules that exist are found in a folder by the
// system loader and bound by their exported names; the mixer's knobs are
// registered with the automation DLL; a mix of real elements is saved and
// read back.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "elements/testmod/testmod.h"
#include "mixer/mix/mixaut.h"
#include "mixer/mix/mixdsp.h"
#include "mixer/mix/mixfile.h"
#include "mixer/mix/tests/mixfake.h"
#include "mixer/mix/win32/winlib.h"

namespace {

int32_t ELEMAPI NoDsp(void*, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t*) { return kDspNoResource; }
int32_t ELEMAPI Notify(void*, uint32_t code, uintptr_t) { return code <= kNotifySoloGroup ? 1 : 0; }

std::string ExeFolder() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string p(path);
  return p.substr(0, p.find_last_of('\\') + 1);
}

struct MixWin : ::testing::Test {
  Win32ElemLoader loader;
  RecordingHost host;
  void SetUp() override {
    MixSetHost(&host);
    MixSetAutLib(&DllAutLib());
    ElemSetHostCallbacks(&NoDsp, &Notify);
  }
  void TearDown() override {
    FreeElementLibraries();
    MixSetHost(nullptr);
    MixSetAutLib(nullptr);
  }
};

TEST_F(MixWin, ModulesInTheFolderAreFoundAndBoundByName) {
  const std::string folder = ExeFolder() + "elems\\";
  // The second folder does not exist: nothing more is found.
  ASSERT_EQ(ScanElementLibraries(loader, folder.c_str(), (ExeFolder() + "none\\").c_str()), 1);
  char name[64];
  ElemModuleName(0, name);
  EXPECT_STREQ(name, "Test Elements");
  EXPECT_EQ(ElemModuleAt(0)->Info.Version, kElemIfVersion);
  EXPECT_EQ(ElemTypeByIndex(0), uint32_t{kTestGainCode});
  ELEMTYPEPROPINFO p{};
  ASSERT_EQ(FindElementType(kTestGainCode, &p), 1);
  EXPECT_EQ(p.Size, kElemTypePropSize);
  EXPECT_EQ(ElemModuleOfType(kTestGainCode), 0);
  ElemRef* ref = CreateElementRef(kTestGainCode, nullptr);
  ASSERT_NE(ref, nullptr);
  std::vector<uint8_t> state(p.StateSize);
  ASSERT_NE(CallGetElement(ref, kGetState, state.data()), 0u);
  EXPECT_EQ(state[0], p.StateSize);
  DeleteElementRef(ref);
}

// The main element module in a second folder: the scan finds both modules,
// the test module's first, and binds the main module's types.
TEST_F(MixWin, TheMainElementModuleIsFoundInTheSecondFolder) {
  ASSERT_EQ(ScanElementLibraries(loader, (ExeFolder() + "elems\\").c_str(),
                                 (ExeFolder() + "mixelems\\").c_str()),
            2);
  char name[64];
  ElemModuleName(1, name);
  EXPECT_STREQ(name, "Version 2.xx Mixer");
  ELEMTYPEPROPINFO p{};
  ASSERT_EQ(FindElementType(2002, &p), 1);  // delay compensation, 4 channels
  EXPECT_EQ(ElemModuleOfType(2002), 1);
  EXPECT_EQ(ElemModuleOfType(kTestGainCode), 0);
  ElemRef* ref = CreateElementRef(2002, nullptr);
  ASSERT_NE(ref, nullptr);
  DeleteElementRef(ref);
}

TEST_F(MixWin, AMixOfRealElementsIsSavedAndReadBackWithItsKnobsRegistered) {
  ASSERT_EQ(ScanElementFolder(loader, (ExeFolder() + "elems\\").c_str()), 1);
  MixDoc* doc = MixDocCreate(0);
  MixColumn* col = MixColumnCreate(doc, 1, "Test", 0, 0);
  MixElem* gain = MixElemCreate(kTestGainCode, col, 0, 0, 0, 0);
  MixElem* meter = MixElemCreate(kTestMeterCode, col, 40, 0, 0, 0);
  ASSERT_TRUE(gain && meter);
  ASSERT_NE(gain->Knobs, nullptr);  // the automation DLL took the knobs
  EXPECT_NE(gain->Knobs[0].Handle, 0u);
  ELEMKNOBVALUE kv{0, 12345};
  CallSetElement(gain->Ref, kSetKnob, reinterpret_cast<uintptr_t>(&kv));

  const std::string path = ExeFolder() + "wine_test.MIX";
  ASSERT_EQ(MixWriteFile(doc, path.c_str()), 1);
  MixDocDestroy(doc);
  doc = MixReadFile(path.c_str(), 0);
  ASSERT_NE(doc, nullptr);
  MixElem* back = doc->First->First;
  ASSERT_EQ(back->Type, uint32_t{kTestGainCode});
  ELEMKNOBVALUE read{0, 0};
  CallGetElement(back->Ref, kGetKnob, &read);
  EXPECT_EQ(read.Value, 12345);
  EXPECT_EQ(host.messages.size(), 0u);
  MixDocDestroy(doc);
  DeleteFileA(path.c_str());
}

// The DSP allocation places a real element and its module writes its words
// through the mixer's DSP callback, in blocks of at most 255 words within the
// areas placed for it.
TEST_F(MixWin, ARealElementIsPlacedAndLoadsThroughTheDspCallback) {
  ElemSetHostCallbacks(&DspCommandBlock, &Notify);
  ASSERT_EQ(ScanElementFolder(loader, (ExeFolder() + "mixelems\\").c_str()), 1);
  ELEMTYPEPROPINFO p{};
  p.Size = kElemTypePropSize;
  ASSERT_EQ(FindElementType(300, &p), 1);  // EQ
  MixDoc* doc = MixDocCreate(0);
  MixElem* eq = MixElemCreate(300, MixColumnCreate(doc, 0, "EQ", 0, 0), 0, 0, 0, 0);
  ASSERT_NE(eq, nullptr);
  host.dspBlocks.clear();
  ASSERT_EQ(MixerDspAllocate(doc), 1);
  ASSERT_NE(eq->Dsp, nullptr);
  EXPECT_EQ(eq->DspNumber, 1);
  ASSERT_FALSE(host.dspBlocks.empty());
  for (const std::string& b : host.dspBlocks) {
    const int words = std::stoi(b.substr(b.find(" x") + 2));
    EXPECT_TRUE(words > 0 && words <= 255) << b;
  }
  // Without room on the unit the element stays off its DSP.
  host.dspCap.Load = p.Load - 1;
  EXPECT_EQ(MixerDspAllocate(doc), 0);
  EXPECT_EQ(eq->Dsp, nullptr);
  MixDocDestroy(doc);
}

}  // namespace
