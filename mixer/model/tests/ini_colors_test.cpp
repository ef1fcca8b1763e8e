// Generated colour ramps and the track colour tables of the main ini file.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mixer/model/ini.h"
#include "mixer/model/util/profile.h"
#include "mixer/model/trkcolors.h"

namespace {

std::vector<uint32_t> Ramp(int32_t top, int32_t fine, int32_t count, int32_t bottom) {
  std::vector<uint32_t> table(static_cast<size_t>(count) + 1, 0xDEADBEEF);
  ColorRamp(top, fine, count, table.data(), bottom);
  EXPECT_EQ(table.back(), 0xDEADBEEFu) << "wrote past count";
  table.pop_back();
  return table;
}

TEST(ColorRamp, WalksTheHueCircle) {
  struct Case {
    int32_t fine;
    int index;
    uint32_t color;  // 0x00BBGGRR with full range (top 256, bottom 0)
  };
  const Case cases[] = {
      {0, 0, 0x0000FF},  {0, 1, 0x0020FF},  {0, 8, 0x00FFFF},  {0, 9, 0x00FFC0},
      {0, 12, 0x00FF00}, {0, 16, 0xFFFF00}, {0, 24, 0xFF0000}, {0, 28, 0xFF00FF},
      {0, 31, 0x4000FF}, {0, 32, 0x0000FF},
      {1, 0, 0x00FF00},  {1, 16, 0xFFFF00}, {1, 48, 0xFF0000}, {1, 64, 0xFF00FF},
      {1, 80, 0x0000FF}, {1, 112, 0x00FFFF}, {1, 127, 0x00FF10}, {1, 128, 0x00FF00},
  };
  const std::vector<uint32_t> coarse = Ramp(256, 0, 40, 0);
  const std::vector<uint32_t> fine = Ramp(256, 1, 130, 0);
  for (const Case& c : cases) {
    const uint32_t got = (c.fine ? fine : coarse)[static_cast<size_t>(c.index)];
    EXPECT_EQ(got, c.color) << (c.fine ? "fine " : "coarse ") << c.index << std::hex << " got "
                            << got;
  }
}

TEST(ColorRamp, ScalesBetweenBottomAndTopWithin255) {
  // Full weight of top 256 over bottom 128 is 256, kept at 255.
  EXPECT_EQ(Ramp(256, 0, 1, 128)[0], 0x8080FFu);
  EXPECT_EQ(Ramp(208, 0, 1, 0)[0], 0x0000D0u);
  EXPECT_EQ(Ramp(256, 1, 1, 208)[0], 0xD0FFD0u);
  EXPECT_EQ(Ramp(256, 0, 2, 160)[1], 0xA0ACFFu);  // green weight 32: 160 + 96 * 32 / 256
  // Top below bottom darkens instead; channels never leave 0..255.
  EXPECT_EQ(Ramp(0, 0, 1, 300)[0], 0xFFFF00u);
  EXPECT_TRUE(Ramp(256, 0, 0, 0).empty());
  ColorRamp(256, 0, 5, nullptr, 0);  // no table: nothing to do
}

class TrkColorTables : public ::testing::Test {
 protected:
  void SetUp() override {
    BuiltInProfile().Clear();
    SetProfile(nullptr);
    SetMainIniPath("Main.ini");
  }
};

TEST_F(TrkColorTables, MissingKeysGiveTheGeneratedDefaults) {
  ReadTrkColors();
  ReadCautomTrkColors();
  ReadMidevTrkColors();
  const std::vector<uint32_t> audio = Ramp(256, 0, kTrkColorCount, 128);
  EXPECT_EQ(std::vector<uint32_t>(TrkColors, TrkColors + kTrkColorCount), audio);
  for (int i = 0; i < kTrkColorCount; ++i) EXPECT_EQ(TrkColors[i], TrkColors[i % 32]) << i;

  struct Table {
    int32_t top, bottom;
  };
  const Table automation[4] = {{256, 208}, {256, 160}, {256, 0}, {208, 0}};
  for (int t = 0; t < 4; ++t)
    EXPECT_EQ(std::vector<uint32_t>(CautomTrkColors + 32 * t, CautomTrkColors + 32 * (t + 1)),
              Ramp(automation[t].top, 0, 32, automation[t].bottom))
        << "table " << t + 1;
  EXPECT_EQ(std::vector<uint32_t>(MidevTrkColors, MidevTrkColors + kMidevTrkColorCount),
            Ramp(256, 1, kMidevTrkColorCount, 208));
}

TEST_F(TrkColorTables, AShortListKeepsTheDefaultsForTheRest) {
  CurProfile().WriteString("Main.ini", "MainWnd", "TrkColors3", "1 2 3 4 5 6 7 8 9 #0000FF ");
  CurProfile().WriteString("Main.ini", "MainWnd", "MidevTrkColors4", "0x10");
  ReadTrkColors();
  ReadMidevTrkColors();
  const std::vector<uint32_t> audio = Ramp(256, 0, kTrkColorCount, 128);
  const std::vector<uint32_t> midi = Ramp(256, 1, kMidevTrkColorCount, 208);
  for (int i = 0; i < kTrkColorCount; ++i) {
    uint32_t expected = audio[static_cast<size_t>(i)];
    if (i >= 64 && i < 73) expected = static_cast<uint32_t>(i - 63);
    if (i == 73) expected = 0xFF0000;
    EXPECT_EQ(TrkColors[i], expected) << i;
  }
  EXPECT_EQ(MidevTrkColors[96], 16u);
  EXPECT_EQ(MidevTrkColors[97], midi[97]);
}

TEST_F(TrkColorTables, WrittenTablesReadBack) {
  for (int i = 0; i < kCautomTrkColorCount; ++i) CautomTrkColors[i] = 0x010101u * (i % 200);
  WriteCautomTrkColors();
  char text[600];
  CurProfile().GetString("Main.ini", "MainWnd", "CautomTrkColors2", text, sizeof text);
  EXPECT_EQ(std::string(text).substr(0, 24), "2105376 2171169 2236962 ");
  const std::vector<uint32_t> written(CautomTrkColors, CautomTrkColors + kCautomTrkColorCount);
  for (uint32_t& c : CautomTrkColors) c = 0;
  ReadCautomTrkColors();
  EXPECT_EQ(std::vector<uint32_t>(CautomTrkColors, CautomTrkColors + kCautomTrkColorCount),
            written);

  // The largest table lines fit: 32 colours of 8 digits each.
  for (uint32_t& c : TrkColors) c = 0xFFFFFF;
  WriteTrkColors();
  for (uint32_t& c : TrkColors) c = 0;
  ReadTrkColors();
  for (uint32_t c : TrkColors) EXPECT_EQ(c, 0xFFFFFFu);
}

}  // namespace
