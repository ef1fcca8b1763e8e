#include "mixer/model/util/strutil.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// A buffer with a guard byte after `size` bytes, to see any write past it.
struct Guarded {
  char buf[64];
  explicit Guarded(const char* text = "") {
    std::memset(buf, '#', sizeof buf);
    std::strcpy(buf, text);
  }
  bool GuardIntact(int size) const { return buf[size] == '#'; }
};

using InPlace = void (*)(char*);

struct InPlaceCase {
  const char* name;
  InPlace fn;
  const char* in;
  const char* out;
};

}  // namespace

TEST(StrInPlace, EditsTheTextAsDescribed) {
  const InPlaceCase cases[] = {
      {"lower tail", StrLowerTail, "DRUMS Take", "Drums take"},
      {"lower tail empty", StrLowerTail, "", ""},
      {"clear", StrClear, "abc", ""},
      {"trim left", StrTrimLeft, "   a b ", "a b "},
      {"trim left all blanks", StrTrimLeft, "   ", ""},
      {"trim right", StrTrimRight, " a b   ", " a b"},
      {"trim right all blanks", StrTrimRight, "  ", ""},
      {"menu label", StrMenuLabel, "&Save && Close\tCtrl+S", "Save  Close"},
      {"menu label without tab", StrMenuLabel, "E&xit", "Exit"},
      {"cut at newline", StrCutAtNewline, "first\nsecond\nthird", "first"},
      {"cut without newline", StrCutAtNewline, "only", "only"},
  };
  for (const InPlaceCase& c : cases) {
    Guarded g(c.in);
    c.fn(g.buf);
    EXPECT_STREQ(g.buf, c.out) << c.name;
  }
}

TEST(StrInPlace, EmptinessAndSecondNul) {
  EXPECT_TRUE(StrIsEmpty(""));
  EXPECT_TRUE(StrIsEmpty(nullptr));
  EXPECT_FALSE(StrIsEmpty(" "));

  Guarded g("C:\\t.wav");
  EXPECT_EQ(StrAddSecondNul(g.buf, 10), 8);
  EXPECT_EQ(g.buf[8], '\0');
  EXPECT_EQ(g.buf[9], '\0');

  Guarded tight("C:\\t.wav");  // 9 bytes hold the text and one NUL only
  EXPECT_EQ(StrAddSecondNul(tight.buf, 9), -1);
  EXPECT_TRUE(tight.GuardIntact(9));
}

TEST(StrFindNoCase, FindsFirstMatchIgnoringCaseWithQuestionMarks) {
  struct {
    const char* text;
    const char* pattern;
    int index;
  } cases[] = {
      {"Drums Take", "take", 6},  {"Drums Take", "DRUMS", 0}, {"abcabc", "c", 2},
      {"abc", "?c", 1},           {"abc", "", 0},             {"abc", "abcd", -1},
      {"abc", "x", -1},           {"", "a", -1},              {"aab", "ab", 1},
      {"a?c", "A?C", 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(StrFindNoCase(c.text, c.pattern), c.index) << c.text << " / " << c.pattern;
}

TEST(WildcardMatch, MatchesTheWholeText) {
  struct {
    const char* text;
    const char* pattern;
    int match;
  } cases[] = {
      {"take.wav", "*.wav", 1},   {"take.wav", "*.WAV", 0},     {"take.wav", "t?ke.*", 1},
      {"take.wav", "take", 0},    {"take", "take*", 1},         {"", "*", 1},
      {"", "", 1},                {"a", "", 0},                 {"abc", "a*b*c", 1},
      {"abbbc", "a*bc", 1},       {"abcbd", "a*b?", 1},         {"abcbd", "a*bc", 0},
      {"mississippi", "*sip*", 1}, {"mississippi", "m*iss*ppi", 1}, {"abc", "???", 1},
      {"abc", "????", 0},         {"ab", "a**b", 1},
  };
  for (const auto& c : cases)
    EXPECT_EQ(WildcardMatch(c.text, c.pattern), c.match) << c.text << " / " << c.pattern;
}

TEST(WildcardMatch, ManyStarsStayFast) {
  std::string text(2000, 'a');
  std::string pattern;
  for (int i = 0; i < 30; ++i) pattern += "*a";
  pattern += "b";
  EXPECT_EQ(WildcardMatch(text.c_str(), pattern.c_str()), 0);
}

TEST(StrBoundedCopy, CopiesWholeOrCutsWithinTheBuffer) {
  Guarded g;
  EXPECT_EQ(StrCopyN(g.buf, "abcd", 5), 1);
  EXPECT_STREQ(g.buf, "abcd");
  EXPECT_EQ(StrCopyN(g.buf, "abcde", 5), 0);  // one too small
  EXPECT_STREQ(g.buf, "abcd");
  EXPECT_TRUE(g.GuardIntact(5));
  EXPECT_EQ(StrCopyN(g.buf, "x", 0), 0);
  EXPECT_STREQ(g.buf, "abcd");  // size 0 writes nothing

  Guarded cat("ab");
  EXPECT_EQ(StrCatN(cat.buf, "cd", 5), 1);
  EXPECT_STREQ(cat.buf, "abcd");
  EXPECT_EQ(StrCatN(cat.buf, "e", 5), 0);  // one too small
  EXPECT_STREQ(cat.buf, "abcd");
  EXPECT_TRUE(cat.GuardIntact(5));

  Guarded full;
  std::memset(full.buf, 'x', 4);  // not terminated within its 4 bytes
  EXPECT_EQ(StrCatN(full.buf, "y", 4), 0);
  EXPECT_STREQ(full.buf, "xxx");
  EXPECT_TRUE(full.GuardIntact(4));
}

TEST(StrBoundedCopy, CopyCountTakesAtMostNCharacters) {
  Guarded g;
  EXPECT_EQ(StrCopyCount(g.buf, "abcdef", 3, 10), 1);
  EXPECT_STREQ(g.buf, "abc");
  EXPECT_EQ(StrCopyCount(g.buf, "ab", 5, 10), 1);  // source shorter than n
  EXPECT_STREQ(g.buf, "ab");
  EXPECT_EQ(StrCopyCount(g.buf, "abcdef", 4, 4), 0);  // one too small
  EXPECT_STREQ(g.buf, "abc");
  EXPECT_TRUE(g.GuardIntact(4));
  EXPECT_EQ(StrCopyCount(g.buf, "abc", -1, 10), 1);
  EXPECT_STREQ(g.buf, "");
}

TEST(StrTakeNumber, TakesOnlyAValidTrailingNumber) {
  struct {
    const char* in;
    int32_t n;
    const char* out;
  } cases[] = {
      {"Take (12)", 12, "Take"},
      {"Take   (7)", 7, "Take"},
      {"Take(3)", 3, "Take"},
      {"Take (99999)", 99999, "Take"},
      {"Take (0)", 0, "Take (0)"},
      {"Take (100000)", 0, "Take (100000)"},
      {"Take (99999999999999999999)", 0, "Take (99999999999999999999)"},
      {"Take (-3)", 0, "Take (-3)"},
      {"Take ()", 0, "Take ()"},
      {"Take (1a)", 0, "Take (1a)"},
      {"Take 12)", 0, "Take 12)"},
      {"(5)", 5, ""},
      {"Take", 0, "Take"},
      {"", 0, ""},
  };
  for (const auto& c : cases) {
    Guarded g(c.in);
    EXPECT_EQ(StrTakeNumber(g.buf), c.n) << c.in;
    EXPECT_STREQ(g.buf, c.out) << c.in;
  }
}

TEST(StrSetNumber, AppendsAndCutsToFit) {
  struct {
    const char* in;
    int32_t n;
    int size;
    int ok;
    const char* out;
  } cases[] = {
      {"Take", 2, 20, 1, "Take (2)"},
      {"Take", 2, 9, 1, "Take (2)"},     // exactly fits
      {"Take", 2, 8, 1, "Take(2)"},      // the blank is cut
      {"Take", 12, 8, 1, "Tak(12)"},     // the text is cut too
      {"Ta", 2, 4, 1, "(2)"},            // nothing of the text is left
      {"Take", 12345, 7, 0, "Take"},     // not even the number fits
      {"", 5, 10, 1, " (5)"},
  };
  for (const auto& c : cases) {
    Guarded g(c.in);
    EXPECT_EQ(StrSetNumber(g.buf, c.n, c.size), c.ok) << c.in << " size " << c.size;
    EXPECT_STREQ(g.buf, c.out) << c.in << " size " << c.size;
    EXPECT_TRUE(g.GuardIntact(c.size)) << c.in << " size " << c.size;
  }
}

TEST(ParseHex, ReadsLeastSignificantWordFirst) {
  uint32_t w[3] = {7, 7, 7};
  ParseHexWords("123456789ABCDEF0", w, 3);
  EXPECT_EQ(w[0], 0x9ABCDEF0u);
  EXPECT_EQ(w[1], 0x12345678u);
  EXPECT_EQ(w[2], 0u);

  ParseHexWords("1x-f", w, 1);  // other characters count as 0
  EXPECT_EQ(w[0], 0x100Fu);

  ParseHexWords("ab0000000001", w, 1);  // digits beyond the words are dropped
  EXPECT_EQ(w[0], 1u);

  uint32_t low = 0, high = 0;
  ParseHex48("123456abcdef", &low, &high);
  EXPECT_EQ(low, 0xABCDEFu);
  EXPECT_EQ(high, 0x123456u);
  ParseHex48("FF", &low, &high);
  EXPECT_EQ(low, 0xFFu);
  EXPECT_EQ(high, 0u);
}
