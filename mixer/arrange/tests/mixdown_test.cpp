// Mixdown over a fake mixer output: the new Takes and Parts, the path delay
// cut off their heads, and Cancel leaving everything as it was.
#include <cstdio>
#include <filesystem>
#include <string>

#include "edit_fixture.h"
#include "mixer/arrange/mixdown.h"
#include "mixer/arrange/procdrv.h"
#include "mixer/model/takeattr.h"
#include "mixer/model/undo.h"

namespace fs = std::filesystem;

namespace {

std::string ModelPath(const fs::path& p) {
  std::string s = p.string();
  for (char& c : s)
    if (c == '/') c = '\\';
  return s;
}

constexpr int32_t kDelay = 64;
int32_t g_channels = 2;
int g_answer = kIdOk;
std::vector<int32_t> g_recTracks;
int32_t g_preRoll = -1, g_end = -1;

// The fake output: channel i records the value 1000 x (i + 1) + sample index
// from the start of the recording, so the delay is visible.
int FakeRun(int32_t, const int32_t* recTracks, int32_t n, int32_t preRoll, int32_t end) {
  g_recTracks.assign(recTracks, recTracks + n);
  g_preRoll = preRoll;
  g_end = end;
  for (uint32_t t = 0; t < kArrTracks; ++t)
    ArrForEachTrackPart(CurArr, t, [&](uint32_t, const PartRec& p) {
      if (p.PlayChannel >= 0) return;
      const int32_t i = static_cast<int32_t>(std::find(recTracks, recTracks + n, -p.PlayChannel) - recTracks);
      TakeRec* take = TakeFromRef(p.Take);
      std::vector<int16_t> v(TakeGetAttr(take, kTakeAttrLength));
      for (size_t k = 0; k < v.size(); ++k) v[k] = static_cast<int16_t>(1000 * (i + 1) + k);
      uint32_t error = 0;
      TakeDataIo(take, 1, 0, static_cast<uint32_t>(v.size() * 2), v.data(), &error);
    });
  return g_answer;
}

class Mixdown : public EditFixture {
 protected:
  void SetUp() override {
    EditFixture::SetUp();
    static int serial = 0;
    root_ = fs::temp_directory_path() / ("mixdown_" + std::to_string(serial++) + "_" +
                                         std::to_string(reinterpret_cast<uintptr_t>(this)));
    fs::remove_all(root_);
    fs::create_directories(root_);
    ProcOpts() = ProcOptions();
    ProcOpts().folder = ModelPath(root_) + "\\";
    ProcOpts().rec24Bit = 0;
    g_channels = 2;
    g_answer = kIdOk;
    g_recTracks.clear();
    MixdownSeams s;
    s.pickOutput = [](int32_t* n) {
      *n = g_channels;
      return int32_t{0};  // a routing code like any other
    };
    s.stereoPartner = [](int32_t r) { return r == 1 ? int32_t{2} : int32_t{0}; };
    s.pathDelay = [](int32_t) { return kDelay; };
    s.run = FakeRun;
    s.localTimeStamp = [](char* out, int size) { return std::snprintf(out, static_cast<size_t>(size), "261211-101500"); };
    MixdownSetSeams(s);
    Locs().LeftLoc = 1000;
    Locs().RightLoc = 3000;
  }
  void TearDown() override {
    MixdownSetSeams(MixdownSeams());
    EditFixture::TearDown();
    std::error_code ec;
    fs::remove_all(root_, ec);
  }
  fs::path root_;
};

TEST_F(Mixdown, TheOutputBecomesNewPartsWithoutThePathDelay) {
  Add(0, NewPart(0, 5000, 1, kTakeAudio));  // plays channel 1 (partner 2) in the range
  P(0).PlayChannel = 1;
  Add(5, NewPart(2500, 1000, 1, kTakeAudio));  // under the second new Part
  ProcOpts().appendLocalTime = 1;
  ASSERT_EQ(ArrMixdown(2000, kTestDc, 4), 1);
  EXPECT_EQ(g_recTracks, (std::vector<int32_t>{3, 4}));
  EXPECT_EQ(g_preRoll, 488);  // four stream buffers of 128 ahead of the left locator
  EXPECT_EQ(g_end, 3000 + kDelay);
  for (uint32_t i = 0; i < 2; ++i) {
    PartRec p{};
    ArrForEachTrackPart(CurArr, 4 + i, [&](uint32_t, const PartRec& q) {
      if (q.Start == 1000) p = q;
    });
    EXPECT_EQ(p.Start, 1000);
    EXPECT_EQ(p.Length, 2000);
    EXPECT_EQ(p.PlayChannel, static_cast<int32_t>(3 + i));
    EXPECT_EQ(p.Layer, 1);  // above the highest layer under any of the new Parts
    EXPECT_EQ(p.Flags & (kPartLinkNext | kPartLinkPrev), i == 0 ? kPartLinkNext : kPartLinkPrev);
    int16_t first = 0;
    uint32_t error = 0;
    ASSERT_EQ(TakeDataIo(TakeFromRef(p.Take), 0, 0, 2, &first, &error), 1);
    EXPECT_EQ(first, 1000 * (i + 1) + kDelay);  // the delay is cut off the head
    EXPECT_GE(TakeGetAttr(TakeFromRef(p.Take), kTakeAttrLength), 2000u);
    EXPECT_EQ(std::string(p.Name).rfind("Mixdown 261211-101500", 0), 0u) << p.Name;
  }
}

TEST_F(Mixdown, CancelAndRefusalsLeaveEverythingAsItWas) {
  Add(4, NewPart(0, 5000, 1, kTakeAudio));
  const std::vector<uint8_t> before = Image();
  const uint32_t levels = UndoGetLevel();
  g_answer = kIdCancel;
  EXPECT_EQ(ArrMixdown(2000, kTestDc, 4), 0);
  EXPECT_EQ(Image(), before);
  EXPECT_EQ(UndoGetLevel(), levels);
  EXPECT_TRUE(fs::is_empty(root_));

  g_answer = kIdOk;
  MixdownSeams none;
  none.pickOutput = [](int32_t* n) {
    *n = 2;
    return int32_t{-1};  // the menu closed without a choice
  };
  MixdownSetSeams(none);
  EXPECT_EQ(ArrMixdown(2000, kTestDc, 4), 0);
  Reset();
  Add(4, NewPart(0, 5000, 1, kTakeAudio));
  EXPECT_EQ(ArrMixdown(3000, kTestDc, 4), 0);  // outside [L, R)
  EXPECT_EQ(ArrMixdown(999, kTestDc, 4), 0);
  EXPECT_EQ(ArrMixdown(2000, kTestDc, 255), 0);
  EditOverlapMode = 40892;
  EXPECT_EQ(ArrMixdown(2000, kTestDc, 4), 0);
  EXPECT_EQ(BoxIds(), (std::vector<uint32_t>{227, 187}));
  EXPECT_EQ(Image(), before);
  EXPECT_TRUE(fs::is_empty(root_));
}

}  // namespace
