// Date and time texts from BCD fields, the local time stamp of new names,
// and the six-byte BCD time of Take headers.
#pragma once

#include <cstdint>

// Size of each [Intl] text buffer.
constexpr int kIntlTextSize = 8;

// The user's time format from the [Intl] section of the profile.
struct IntlTime {
  int32_t iTime = 0;    // 0 12-hour clock, else 24-hour
  int32_t iTLZero = 0;  // nonzero: hours below 10 get a leading 0
  char s1159[kIntlTextSize] = "";  // designator before noon
  char s2359[kIntlTextSize] = "";  // designator from noon on (24-hour: always)
  char sTime[kIntlTextSize] = ":";  // separator
};

// The decimal digits of n as BCD, one digit a nibble (the lowest eight).
uint32_t ToBcd(uint32_t n);

// A BCD time as the user's format shows it ("9:05:07 PM", "21:05:07"):
// 12-hour: hour 0 shows as 12, hours above 12 less 12; the hour's tens digit
// when iTLZero is set or the hour has two digits; sTime, minute, sTime,
// second, two digits each; then a blank and the designator when it is not
// empty. Written into out of `size` bytes, cut to fit; returns the length.
int FormatBcdTime(const IntlTime& intl, uint8_t hour, uint8_t minute, uint8_t second, char* out,
                  int size);

// "Mmm D, YYYY" from a BCD day and month and the year less 1900 ("Mar 7,
// 2024"); the day's BCD digits are shown as they are. Returns the length
// (cut to fit), or 0 with out empty for a month that is not BCD 1..12.
int FormatBcdDate(uint8_t day, uint8_t month, int32_t yearSince1900, char* out, int size);

// A broken-down local time: year in full (2024), month 1..12, day 1..31.
struct CivilTime {
  int32_t year;
  int32_t month;
  int32_t day;
  int32_t hour;
  int32_t minute;
  int32_t second;
};

// "YYMMDD-hhmmss" (year modulo 100) into out of `size` bytes, cut to fit;
// returns the length. The Windows layer's LocalTimeStamp(out, size) passes
// the current local time.
int LocalTimeStamp(const CivilTime& time, char* out, int size);

// Bytes of a Take's BCD time stamp.
constexpr int kBcdTimeSize = 6;

// BCD day, BCD month, (year - 1900) modulo 256, BCD hour, minute, second.
void BcdLocalTime(const CivilTime& time, uint8_t out[kBcdTimeSize]);
