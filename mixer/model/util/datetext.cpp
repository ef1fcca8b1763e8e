#include "datetext.h"

#include <cstring>

#include "format.h"
#include "strtab.h"

uint32_t ToBcd(uint32_t n) {
  uint32_t bcd = 0;
  for (int nibble = 0; nibble < 8 && n != 0; ++nibble, n /= 10) bcd |= (n % 10) << (4 * nibble);
  return bcd;
}

namespace {

int FromBcd(uint8_t bcd) { return (bcd >> 4) * 10 + (bcd & 0x0F); }

bool IsBcd(uint8_t bcd) { return (bcd >> 4) <= 9 && (bcd & 0x0F) <= 9; }

uint8_t ByteBcd(int32_t n) { return static_cast<uint8_t>(ToBcd(static_cast<uint32_t>(n % 100))); }

// Letters per month name in the month-names string.
constexpr int kMonthLetters = 3;

}  // namespace

int FormatBcdTime(const IntlTime& intl, uint8_t hour, uint8_t minute, uint8_t second, char* out,
                  int size) {
  int h = FromBcd(hour);
  bool twelveHour = intl.iTime == 0;
  const char* designator = twelveHour && h < 12 ? intl.s1159 : intl.s2359;
  if (twelveHour) {
    if (h == 0) h = 12;
    else if (h > 12) h -= 12;
  }
  const char* hourFormat = intl.iTLZero || h >= 10 ? "%02d" : "%d";
  int n = FormatText(out, size, hourFormat, h);
  // The BCD bytes printed in hexadecimal show their decimal digits.
  n += FormatText(out + n, size - n, "%s%02X%s%02X", intl.sTime, minute, intl.sTime, second);
  if (designator[0] != '\0') n += FormatText(out + n, size - n, " %s", designator);
  return n;
}

int FormatBcdDate(uint8_t day, uint8_t month, int32_t yearSince1900, char* out, int size) {
  int m = FromBcd(month);
  const char* names = StrText(IDS_MONTH_NAMES);
  if (!IsBcd(month) || m < 1 || m > 12 || std::strlen(names) < static_cast<size_t>(m * kMonthLetters)) {
    if (size > 0) out[0] = '\0';
    return 0;
  }
  const char* name = names + (m - 1) * kMonthLetters;
  return FormatText(out, size, "%c%c%c %X, %4u", name[0], name[1], name[2], static_cast<unsigned>(day),
                    static_cast<unsigned>(yearSince1900 + 1900));
}

int LocalTimeStamp(const CivilTime& time, char* out, int size) {
  int yy = (time.year % 100 + 100) % 100;
  return FormatText(out, size, "%02d%02d%02d-%02d%02d%02d", yy, time.month, time.day, time.hour,
                    time.minute, time.second);
}

void BcdLocalTime(const CivilTime& time, uint8_t out[kBcdTimeSize]) {
  out[0] = ByteBcd(time.day);
  out[1] = ByteBcd(time.month);
  out[2] = static_cast<uint8_t>((time.year - 1900) & 0xFF);
  out[3] = ByteBcd(time.hour);
  out[4] = ByteBcd(time.minute);
  out[5] = ByteBcd(time.second);
}
