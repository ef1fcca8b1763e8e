#include <gtest/gtest.h>

#include <cstring>

#include "mixer/mix/elemmod.h"
#include "mixer/mix/tests/mixfake.h"

namespace {

struct ScanTest : ::testing::Test {
  FakeLoader loader;
  RecordingHost host;
  void SetUp() override {
    MixSetHost(&host);
    FakeInits().clear();
  }
  void TearDown() override {
    FreeElementLibraries();
    MixSetHost(nullptr);
  }
};

TEST_F(ScanTest, KeepsGoodModulesInFolderOrderAndTheFirstOffererWins) {
  loader.folders["one\\"] = {{"b.dll", "B"},       {"bad.dll", "BadVersion"}, {"miss.dll", "Missing"},
                             {"x.dll", "Unloadable"}, {"a.dll", "A"}};
  loader.folders["two\\"] = {{"old.dll", "Old"}};
  EXPECT_EQ(ScanElementLibraries(loader, "one\\", "two\\"), 3);
  // The bad version was initialised and unloaded; the one lacking an entry never initialised.
  EXPECT_EQ(FakeInits(), (std::vector<std::string>{"B", "Bad", "A", "Old"}));
  EXPECT_EQ(loader.freed.size(), 2u);
  char name[64];
  ElemModuleName(0, name);
  EXPECT_STREQ(name, "B");
  ElemModuleName(2, name);
  EXPECT_STREQ(name, "Old");
  // Type 100 is offered by B (first folder, first file) and A.
  EXPECT_EQ(ElemModuleOfType(kFakeInput), 0);
  ELEMTYPEPROPINFO p{};
  ASSERT_EQ(FindElementType(kFakeInput, &p), 1);
  EXPECT_STREQ(p.Name, "B Input");
  EXPECT_EQ(ElemModuleOfType(9999), -1);
  EXPECT_EQ(CreateElementRef(9999, nullptr), nullptr);
  // Types enumerate B's 1, A's 5, Old's 2; the total itself is past the end.
  EXPECT_EQ(ElemTypeByIndex(0), kFakeInput);
  EXPECT_EQ(ElemTypeByIndex(1), kFakeInput);
  EXPECT_EQ(ElemTypeByIndex(4), kFakeOutput);
  EXPECT_EQ(ElemTypeByIndex(5), kFakeNatRec);
  EXPECT_EQ(ElemTypeByIndex(7), kFakeOldB);
  EXPECT_EQ(ElemTypeByIndex(8), 0u);
  EXPECT_EQ(host.messages.size(), 0u);
}

TEST_F(ScanTest, OneFolderIsScannedOnceAndAFullTableLoadsNoMore) {
  std::vector<FakeFile> many;
  for (int i = 0; i < 97; ++i) many.push_back({"m" + std::to_string(i) + ".dll", "A"});
  loader.folders["lib\\"] = many;
  loader.folders["LIB\\"] = {{"b.dll", "B"}};
  EXPECT_EQ(ScanElementLibraries(loader, "lib\\", "lib\\"), 96);
  EXPECT_EQ(loader.listed, std::vector<std::string>{"lib\\"});
  EXPECT_EQ(loader.loaded.size(), 96u);
  EXPECT_EQ(FakeInits().size(), 96u);
  // A second folder differing in case only is still another folder, but
  // the table is full.
  EXPECT_EQ(ScanElementFolder(loader, "LIB\\"), 96);
  EXPECT_EQ(loader.loaded.size(), 96u);
}

TEST_F(ScanTest, OldModulesReachCallersInTheNewLayout) {
  loader.folders["v102\\"] = {{"old.dll", "Old"}};
  ASSERT_EQ(ScanElementLibraries(loader, "v103\\", "v102\\"), 1);
  ELEMTYPEPROPINFO p;
  std::memset(&p, 0x55, sizeof p);
  ASSERT_EQ(FindElementType(kFakeOldA, &p), 1);
  const uint8_t* b = reinterpret_cast<const uint8_t*>(&p);
  auto word = [b](int off) {
    uint32_t v;
    std::memcpy(&v, b + off, 4);
    return v;
  };
  EXPECT_EQ(word(0), 324u);
  EXPECT_EQ(word(4), 2u);
  EXPECT_STREQ(p.Name, "Old Effect");
  EXPECT_STREQ(p.Maker, "Old Maker");
  EXPECT_EQ(p.Spare[0], 0);  // the text at 136 is not carried over
  EXPECT_EQ(word(200), 30u);
  EXPECT_EQ(word(204), 1u);  // flags word: 1, then a zero half-word
  for (int i = 0; i < 10; ++i) EXPECT_EQ(word(208 + 4 * i), 40u + i) << i;
  EXPECT_EQ(word(248), 2u);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(word(252 + 4 * i), 50u + i) << i;
  EXPECT_EQ(word(276), 0u);
  const uint32_t ints[6] = {60, 61, 3 < 5 ? 5u : 3u, 63, 64, 65};
  // 0x901 raises the int at 292 (old 284, which held 3) to 5.
  EXPECT_EQ(word(280), ints[0]);
  EXPECT_EQ(word(292), 5u);
  EXPECT_EQ(word(300), 65u);
  EXPECT_EQ(word(304), 0u);
  EXPECT_EQ(word(308), 99u);
  EXPECT_EQ(word(312), 0u);
  EXPECT_EQ(word(316), 0u);
  EXPECT_EQ(word(320), 0u);
  ASSERT_EQ(FindElementType(kFakeOldB, &p), 1);
  EXPECT_EQ(p.KnobCount, 1u);   // 0x802's fix-up
  EXPECT_EQ(word(292), 3u);     // no raise for other types
}

}  // namespace
