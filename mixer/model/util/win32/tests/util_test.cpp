// The system's own MulDiv against the portable copy, heap growth, string
// search and date texts.
#include <gtest/gtest.h>
#include <windows.h>

#include <climits>
#include <cstring>

#include "mixer/model/util/numbers.h"
#include "mixer/model/util/win32/datetime.h"
#include "mixer/model/util/win32/sysutil.h"
#include "mixer/model/util/win32/winstr.h"

namespace {

TEST(MulDiv, PortableCopyAgreesWithTheSystem) {
  struct Case {
    int32_t a, b, c;
  } cases[] = {
      {5, 1, 2},          {-5, 1, 2},        {5, -1, 2},      {-5, -1, 2},     {5, 1, -2},
      {3, 1, 2},          {-3, 1, 2},        {7, 1, -2},      {1, 1, 3},       {2, 1, 3},
      {-2, 1, 3},         {100, 3, 7},       {-100, 3, 7},    {0, 5, 3},       {-1, 1, 1},
      {INT_MAX, 2, 2},    {INT_MAX, 2, 1},   {INT_MAX, 1, -1}, {-INT_MAX, 1, 1}, {INT_MIN, 1, 1},
      {INT_MIN, 1, -1},   {INT_MIN, -1, 1},  {INT_MIN, 1, 2},  {INT_MIN, 2, 4}, {1, 1, 0},
      {0, 0, 0},          {INT_MAX, INT_MAX, INT_MAX}, {INT_MIN, INT_MIN, 1},
      {65536, 65536, 2},  {46341, 46341, 1}, {1 << 30, 4, 2},
  };
  // Left out: INT_MIN as divisor together with INT_MIN as multiplicand,
  // where the system under test negates INT_MIN with wrap-around and
  // returns -2147483647 for an exact result (INT_MIN) that is out of range;
  // the portable copy gives -1 there as for every other overflow.
  for (const Case& c : cases)
    EXPECT_EQ(MulDivNearest(c.a, c.b, c.c), MulDiv(c.a, c.b, c.c)) << c.a << " * " << c.b << " / " << c.c;
}

TEST(HeapGrow, GrowsInStepsAndKeepsTheContents) {
  HANDLE heap = GetProcessHeap();
  auto* block = static_cast<char*>(HeapGrow(heap, 0, nullptr, 1, kHeapGrowStep));
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(HeapSize(heap, 0, block), kHeapGrowStep);
  std::memcpy(block, "take", 5);
  block = static_cast<char*>(HeapGrow(heap, 0, block, kHeapGrowStep + 1, kHeapGrowStep));
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(HeapSize(heap, 0, block), 2 * kHeapGrowStep);
  EXPECT_STREQ(block, "take");
  // A size whose rounding leaves 32 bits is refused; the block stays.
  EXPECT_EQ(HeapGrow(heap, 0, block, 0xFFFFFFFFu, kHeapGrowStep), nullptr);
  EXPECT_STREQ(block, "take");
  HeapFree(heap, 0, block);
}

TEST(StrFindChar, GivesTheOneBasedPosition) {
  EXPECT_EQ(StrFindChar("Drums L.wav", '.'), 8);
  EXPECT_EQ(StrFindChar("Drums", 'D'), 1);
  EXPECT_EQ(StrFindChar("Drums", 'x'), 0);
  EXPECT_EQ(StrFindChar("", 'x'), 0);
}

FILETIME MakeFileTime(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
  SYSTEMTIME st = {year, month, 0, day, hour, minute, second, 0};
  FILETIME ft;
  SystemTimeToFileTime(&st, &ft);
  return ft;
}

TEST(FileTimeText, ShowsTheUtcTimeInTheUsersFormat) {
  const FILETIME ft = MakeFileTime(2024, 3, 7, 21, 5, 7);
  char text[64];
  UserIntlTime = IntlTime{};
  lstrcpyA(UserIntlTime.s1159, "AM");
  lstrcpyA(UserIntlTime.s2359, "PM");
  EXPECT_EQ(FileTimeText(ft, text, sizeof text), 23);
  EXPECT_STREQ(text, "Mar 7, 2024, 9:05:07 PM");
  UserIntlTime.iTime = 1;
  UserIntlTime.s2359[0] = '\0';
  FileTimeTimeText(ft, text, sizeof text);
  EXPECT_STREQ(text, "21:05:07");
  FileTimeDateText(ft, text, sizeof text);
  EXPECT_STREQ(text, "Mar 7, 2024");

  char small[8];
  FileTimeText(ft, small, sizeof small);
  EXPECT_STREQ(small, "Mar 7, ");
}

TEST(LocalTimeStamp, IsSixDigitsADashAndSixDigits) {
  char text[32];
  ASSERT_EQ(LocalTimeStamp(text, sizeof text), 13);
  for (int i = 0; i < 13; ++i) EXPECT_TRUE(i == 6 ? text[i] == '-' : text[i] >= '0' && text[i] <= '9') << text;
}

}  // namespace
