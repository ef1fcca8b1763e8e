#include "mixer/model/util/datetext.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

IntlTime Intl(int32_t iTime, int32_t iTLZero, const char* am, const char* pm, const char* sep) {
  IntlTime intl;
  intl.iTime = iTime;
  intl.iTLZero = iTLZero;
  std::strcpy(intl.s1159, am);
  std::strcpy(intl.s2359, pm);
  std::strcpy(intl.sTime, sep);
  return intl;
}

}  // namespace

TEST(ToBcd, PacksDecimalDigits) {
  EXPECT_EQ(ToBcd(0), 0u);
  EXPECT_EQ(ToBcd(9), 0x9u);
  EXPECT_EQ(ToBcd(59), 0x59u);
  EXPECT_EQ(ToBcd(12345678), 0x12345678u);
  EXPECT_EQ(ToBcd(123456789), 0x23456789u);  // only eight digits fit
}

TEST(FormatBcdTime, FollowsTheUserFormat) {
  const IntlTime us = Intl(0, 0, "AM", "PM", ":");
  const IntlTime usZero = Intl(0, 1, "AM", "PM", ":");
  const IntlTime eu = Intl(1, 1, "", "", ".");
  const IntlTime euTag = Intl(1, 0, "x", "h", ":");
  struct {
    const IntlTime* intl;
    uint8_t h, m, s;
    const char* text;
  } cases[] = {
      {&us, 0x00, 0x05, 0x07, "12:05:07 AM"}, {&us, 0x09, 0x30, 0x00, "9:30:00 AM"},
      {&us, 0x11, 0x59, 0x59, "11:59:59 AM"}, {&us, 0x12, 0x00, 0x00, "12:00:00 PM"},
      {&us, 0x13, 0x01, 0x02, "1:01:02 PM"},  {&us, 0x23, 0x59, 0x59, "11:59:59 PM"},
      {&usZero, 0x13, 0x01, 0x02, "01:01:02 PM"}, {&eu, 0x09, 0x05, 0x00, "09.05.00"},
      {&eu, 0x21, 0x05, 0x00, "21.05.00"},    {&euTag, 0x08, 0x00, 0x00, "8:00:00 h"},
  };
  for (const auto& c : cases) {
    char out[32];
    EXPECT_EQ(FormatBcdTime(*c.intl, c.h, c.m, c.s, out, sizeof out),
              static_cast<int>(std::strlen(c.text)));
    EXPECT_STREQ(out, c.text);
  }
  char small[11];
  std::memset(small, '#', sizeof small);
  EXPECT_EQ(FormatBcdTime(us, 0x00, 0x05, 0x07, small, 11), 10);  // one too small
  EXPECT_STREQ(small, "12:05:07 A");
}

TEST(FormatBcdDate, MonthNamesAndYear) {
  char out[32];
  EXPECT_EQ(FormatBcdDate(0x07, 0x03, 124, out, sizeof out), 11);
  EXPECT_STREQ(out, "Mar 7, 2024");
  FormatBcdDate(0x31, 0x12, 99, out, sizeof out);
  EXPECT_STREQ(out, "Dec 31, 1999");
  FormatBcdDate(0x01, 0x01, 0, out, sizeof out);
  EXPECT_STREQ(out, "Jan 1, 1900");
  for (uint8_t month : {0x00, 0x13, 0x0A, 0xFF}) {
    EXPECT_EQ(FormatBcdDate(0x01, month, 100, out, sizeof out), 0) << int{month};
    EXPECT_STREQ(out, "");
  }
  char small[11];
  EXPECT_EQ(FormatBcdDate(0x07, 0x03, 124, small, sizeof small), 10);  // one too small
  EXPECT_STREQ(small, "Mar 7, 202");
}

TEST(LocalTime, StampAndBcdBytes) {
  const CivilTime t{2024, 3, 7, 9, 5, 42};
  char out[14];
  EXPECT_EQ(LocalTimeStamp(t, out, sizeof out), 13);
  EXPECT_STREQ(out, "240307-090542");
  EXPECT_EQ(LocalTimeStamp(t, out, 13), 12);  // one too small
  EXPECT_STREQ(out, "240307-09054");

  uint8_t bcd[kBcdTimeSize];
  BcdLocalTime(t, bcd);
  const uint8_t want[kBcdTimeSize] = {0x07, 0x03, 124, 0x09, 0x05, 0x42};
  EXPECT_EQ(std::memcmp(bcd, want, sizeof want), 0);
  BcdLocalTime(CivilTime{2160, 12, 31, 23, 59, 59}, bcd);
  EXPECT_EQ(bcd[2], 4);  // 260 modulo 256
  EXPECT_EQ(bcd[1], 0x12);
}
