// Board unit computations: group names per family and style, rate
// detection from status words, the Corbelle routing image, sink cookies and
// the settings that are kept only once the board has them.
#include "Drv/Qvcom/units.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace qvunit;

TEST(Units, SourceNames) {
  struct Case {
    Family family;
    uint8_t count, first;
    int style, unit;
    const wchar_t* name;
  } cases[] = {
      {Family::Dnv, 2, 65, 1, 0, L"MADIB 1-2 M1"},
      {Family::Dnv, 1, 5, 1, 1, L"MADIA 5  M2"},
      {Family::Dnv, 8, 65, 1, 0, L"MADI 65-72 M1"},  // no letter: numbers as they are
      {Family::Dnv, 2, 3, 0, 0, L"3-4m1"},           // style 0: no prefix
      {Family::Tv2, 2, 9, 1, 0, L"TDIFB 1-2 M1"},
      {Family::Tv2, 1, 16, 2, 2, L"TDIFB 8 3"},      // other styles: no letter after
      {Family::Tvr, 2, 1, 1, 0, L"TDIFA 1-2 M1"},
      {Family::Tvr, 4, 1, 1, 0, L"EXT 1-4 M1"},
      {Family::Cbl, 2, 1, 1, 0, L"EXP 1-2 P1"},
      {Family::Cbl, 1, 7, 0, 0, L"7 p1"},
  };
  for (const Case& c : cases) {
    wchar_t out[32];
    ASSERT_TRUE(FormatSourceName(c.family, c.count, c.first, 0, c.style, c.unit, out, 32));
    EXPECT_EQ(std::wstring(out), c.name);
  }
  wchar_t out[32];
  EXPECT_FALSE(FormatSourceName(Family::Dnv, 2, 1, 2, 1, 0, out, 32));  // the base names kind 2
}

TEST(Units, DunvellRates) {
  struct Case {
    uint32_t before0, now0, now1, rate;
  } cases[] = {
      {0, 0xC0000001, 0x4, 48000},           // locks
      {0xC0000001, 0xC0000003, 0x8, 96000},  // rate nibble changes
      {0xC0000003, 0xC0000003, 0x8, 0},      // nothing changed
      {0, 0xC0000006, 0x4, 0},               // beyond the table
      {0, 0xC0000001, 0x3 & ~0xC, 0},        // no input flag
      {0, 0x80000001, 0x4, 0},               // not locked
      {0, 0xC0000005, 0xC, 192000},
  };
  for (const Case& c : cases) {
    uint32_t before[2] = {c.before0, c.now1}, now[2] = {c.now0, c.now1};
    EXPECT_EQ(DnvDetectRate(before, now), c.rate) << std::hex << c.before0 << " " << c.now0;
  }
}

TEST(Units, Tavrion192Rates) {
  struct Case {
    uint32_t before0, now0, now1, rate;
  } cases[] = {
      {0, 0xC0040000, 0x100, 96000},   // selector 1: the low nibble of byte 2
      {0, 0xC0800000, 0x200, 192000},  // selector 2: its high nibble
      {0, 0xC0050000, 0x300, 48000},   // another selector: code 0
      {0, 0xC0030000, 0x100, 0},       // code 3: no rate
      {0xC0000000, 0xC0010000, 0x100, 0},  // locked before: no change of the lock bits
  };
  for (const Case& c : cases) {
    uint32_t before[4] = {c.before0, 0, 0, 0}, now[4] = {c.now0, c.now1, 0, 0};
    EXPECT_EQ(Tv2DetectRate(before, now), c.rate) << std::hex << c.now0;
  }
}

TEST(Units, CorbelleRatesStayWithinTheirTable) {
  uint32_t before[4] = {0xC0000000, 0, 0, 0};
  for (uint32_t nibble = 0; nibble < 16; ++nibble) {
    uint32_t now[4] = {0xC0000000 | nibble, 0, 0, 0};
    uint32_t expected = nibble == 1 ? 48000 : nibble == 2 ? 88200 : nibble == 3 ? 96000 : 0;
    EXPECT_EQ(CblDetectRate(before, now, 44100), expected) << nibble;
  }
  uint32_t now[4] = {0xC0000001, 0, 0, 0};
  EXPECT_EQ(CblDetectRate(before, now, 48000), 0u);  // already the current rate
  now[0] = 0x40000001;
  EXPECT_EQ(CblDetectRate(before, now, 44100), 0u);  // not locked
}

TEST(Units, CorbelleRoutingImage) {
  uint8_t image[CblRouteEntries * 4];
  BuildCblRoutes(image);
  auto entry = [&](size_t i) {
    return std::vector<unsigned>{image[i * 4], image[i * 4 + 1], static_cast<unsigned>(image[i * 4 + 2] | (image[i * 4 + 3] << 8))};
  };
  EXPECT_EQ(entry(0), (std::vector<unsigned>{0xFF, 0, 0x1000}));
  EXPECT_EQ(entry(1), (std::vector<unsigned>{0, 0, 0}));
  EXPECT_EQ(entry(2), (std::vector<unsigned>{1, 0, 0x4000}));
  EXPECT_EQ(entry(3), (std::vector<unsigned>{1, 0, 64}));
  EXPECT_EQ(entry(4), (std::vector<unsigned>{0, 0, 0x4040}));
  EXPECT_EQ(entry(253), (std::vector<unsigned>{0, 63, 63}));
  EXPECT_EQ(entry(256), (std::vector<unsigned>{0, 63, 0x407F}));
  EXPECT_EQ(entry(257), (std::vector<unsigned>{0xFF, 0, 0x2009}));
}

TEST(Units, ConverterStateAndTreeText) {
  const uint32_t words[4] = {0x10000000, 0x00230007, 0x40F0210, 0};
  ConverterState s = ReadConverterState(words);
  EXPECT_TRUE(s.present);
  EXPECT_EQ(s.type, 7u);
  EXPECT_EQ(s.settings, 0x40F0210u);
  wchar_t text[40];
  FormatConverterItem(s, text, 40);
  EXPECT_EQ(std::wstring(text), L"Lumora ADA8 V2.3");
  for (uint32_t type : {0u, 4u, 19u, 0xFFFFu}) EXPECT_STREQ(ConverterModelName(type), "Unknown Type") << type;
  EXPECT_STRNE(ConverterModelName(18), "Unknown Type");
  const uint32_t absent[4] = {0xEFFFFFFF, 5, 0, 0};
  EXPECT_FALSE(ReadConverterState(absent).present);
  EXPECT_EQ(ActivationSettings(0x200F0210u), 0x400F0210u);
  EXPECT_EQ(ActivationSettings(0xE0000001u), 0xC0000001u);
}

namespace {
struct Sink {
  unsigned long AddRef() { return ++refs; }
  unsigned long Release() { return --refs; }
  int refs = 1;
};
}  // namespace

TEST(Units, SinkCookies) {
  Sink a, b, c;
  uintptr_t ca = 0, cb = 0, cc = 7;
  {
    SinkSlots<Sink> slots;
    EXPECT_EQ(slots.Advise(nullptr, &ca), ResultPointer);
    EXPECT_EQ(slots.Advise(&a, nullptr), ResultPointer);
    ASSERT_EQ(slots.Advise(&a, &ca), ResultOk);
    ASSERT_EQ(slots.Advise(&b, &cb), ResultOk);
    EXPECT_EQ(ca & 3, 3u);
    EXPECT_NE(ca, cb);
    EXPECT_EQ(slots.Advise(&c, &cc), ResultNoSlot);
    EXPECT_EQ(cc, 0u);
    EXPECT_EQ(a.refs, 2);
    EXPECT_EQ(slots.Unadvise(ca), ResultOk);
    EXPECT_EQ(a.refs, 1);
    EXPECT_EQ(slots.Unadvise(ca + 32), ResultBadCookie);
    EXPECT_EQ(slots.Unadvise(0x1000), ResultPassOn);  // the base's cookie
    ASSERT_EQ(slots.Advise(&c, &cc), ResultOk);
    EXPECT_EQ(cc, ca);  // the freed slot again
    int called = 0;
    slots.ForEach([&](Sink*) { ++called; });
    EXPECT_EQ(called, 2);
  }
  EXPECT_EQ(b.refs, 1);  // released with the slots
  EXPECT_EQ(c.refs, 1);
}

TEST(Units, SettingsAreKeptOnlyOnceTheBoardHasThem) {
  Settings<4, 2> s;
  std::vector<std::vector<uint32_t>> sent;
  int32_t answer = static_cast<int32_t>(0x8007001F);
  auto send = [&](const uint32_t* w, uint32_t bytes) {
    sent.push_back(std::vector<uint32_t>(w, w + bytes / 4));
    return answer;
  };
  const uint32_t words[2] = {5, 6};
  bool changed = false;
  EXPECT_EQ(s.Set(words, send, &changed), answer);
  EXPECT_TRUE(changed);
  uint32_t record[4];
  s.Get(record);
  EXPECT_EQ(record[2], 0u);  // not kept: the board refused
  answer = 0;
  EXPECT_EQ(s.Set(words, send, &changed), 0);  // the retry goes out again
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[1], (std::vector<uint32_t>{5, 6}));
  s.Get(record);
  EXPECT_EQ(record[3], 6u);
  EXPECT_EQ(s.Set(words, send, &changed), 0);  // the same again: nothing sent
  EXPECT_FALSE(changed);
  EXPECT_EQ(sent.size(), 2u);
}
