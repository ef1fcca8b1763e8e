// Shared set-up of the undo store tests: a fresh current arrangement and
// marker list, an emptied store, and images of the live lists to compare.
// Every test ends by dropping all steps and freeing the lists; the two heaps
// must then hold no more blocks than before it, so a leaked copy shows, and
// a copy freed twice is caught by the address sanitizer.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "mixer/model/arr.h"
#include "mixer/model/arrheap.h"
#include "mixer/model/blockheap.h"
#include "mixer/model/marker.h"
#include "mixer/model/util/strtab.h"
#include "mixer/model/undo.h"
#include "mixer/model/undosnap.h"
#include "tests/fakes/host_fake.h"
#include "tests/fakes/services_fake.h"

// Both lists as bytes.
struct UndoImage {
  std::vector<uint8_t> arr;
  std::vector<uint8_t> mrk;
  bool operator==(const UndoImage&) const = default;
};

inline UndoImage LiveImage() {
  auto bytes = [](const void* p, uint32_t n) {
    const auto* b = static_cast<const uint8_t*>(p);
    return std::vector<uint8_t>(b, b + n);
  };
  return {bytes(CurArr, ArrBlockSize(CurArr->PartCount)),
          bytes(CurMrkList, MrkBlockSize(CurMrkList->Count))};
}

class UndoTest : public ::testing::Test {
 protected:
  void SetUp() override { Begin(11); }

  void Begin(int32_t levels) {
    Services().Reset();
    Host().Reset();
    UndoSuspend(0);
    UndoLevels = levels;
    UndoDiscard(0);
    arrBlocks_ = ArrHeap.Blocks();
    mrkBlocks_ = MrkHeap.Blocks();
    CurArr = ArrNew(nullptr);
    CurMrkList = MrkListNew(nullptr);
    ASSERT_NE(CurArr, nullptr);
    ASSERT_NE(CurMrkList, nullptr);
  }

  // Starts over with another level count.
  void Restart(int32_t levels) {
    TearDown();
    Begin(levels);
  }

  void TearDown() override {
    UndoSuspend(0);
    UndoDiscard(0);
    ArrHeap.Free(CurArr);
    MrkHeap.Free(CurMrkList);
    CurArr = nullptr;
    CurMrkList = nullptr;
    EXPECT_EQ(ArrHeap.Blocks(), arrBlocks_);
    EXPECT_EQ(MrkHeap.Blocks(), mrkBlocks_);
  }

  static void AddPart(uint32_t track, int32_t start, int32_t length = 1000) {
    PartRec p;
    std::memset(&p, 0, sizeof p);
    p.Start = start;
    p.Length = length;
    p.Take = 1;
    p.TakeKind = 3;
    p.OverlapLink = p.XfadeInPartner = p.XfadeOutPartner = kArrNoLink;
    p.Next = kArrNoSlot;
    ASSERT_EQ(ArrInsertPart(&CurArr, p, nullptr, track, nullptr), 1);
  }

  static void AddMarker(uint32_t n, int32_t position) {
    MrkRec m;
    std::memset(&m, 0, sizeof m);
    m.Position = position;
    m.Next = kMrkNoSlot;
    ASSERT_EQ(MrkInsert(&CurMrkList, m, n, nullptr), 1);
  }

  // Text and enabled state of a menu item as the store last set it.
  static std::pair<std::string, int> MenuItem(uint32_t id) { return Services().menuItems[id]; }

  uint32_t arrBlocks_ = 0;
  uint32_t mrkBlocks_ = 0;
};
