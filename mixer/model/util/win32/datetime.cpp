#include "datetime.h"

#include <cstdlib>

#include "mixer/model/util/format.h"
#include "mixer/model/util/strutil.h"

IntlTime UserIntlTime;

static void ReadIntlText(const char* key, const char* fallback, char* out) {
  GetProfileStringA("Intl", key, fallback, out, kIntlTextSize);
}

static int32_t ReadIntlNumber(const char* key) {
  char text[kIntlTextSize];
  ReadIntlText(key, "", text);
  return std::atoi(text);
}

void ReadIntlTime() {
  UserIntlTime.iTime = ReadIntlNumber("iTime");
  UserIntlTime.iTLZero = ReadIntlNumber("iTLZero");
  ReadIntlText("s1159", "", UserIntlTime.s1159);
  ReadIntlText("s2359", "", UserIntlTime.s2359);
  ReadIntlText("sTime", ":", UserIntlTime.sTime);
}

static bool ToSystemTime(const FILETIME& time, SYSTEMTIME* st) {
  return FileTimeToSystemTime(&time, st) != 0;
}

static int DateText(const SYSTEMTIME& st, char* out, int size) {
  return FormatBcdDate(static_cast<uint8_t>(ToBcd(st.wDay)), static_cast<uint8_t>(ToBcd(st.wMonth)),
                       st.wYear - 1900, out, size);
}

static int TimeText(const SYSTEMTIME& st, char* out, int size) {
  return FormatBcdTime(UserIntlTime, static_cast<uint8_t>(ToBcd(st.wHour)),
                       static_cast<uint8_t>(ToBcd(st.wMinute)), static_cast<uint8_t>(ToBcd(st.wSecond)),
                       out, size);
}

// An unreadable file time gives an empty text.
static int Empty(char* out, int size) {
  if (size > 0) out[0] = '\0';
  return 0;
}

int FileTimeDateText(const FILETIME& time, char* out, int size) {
  SYSTEMTIME st;
  return ToSystemTime(time, &st) ? DateText(st, out, size) : Empty(out, size);
}

int FileTimeTimeText(const FILETIME& time, char* out, int size) {
  SYSTEMTIME st;
  return ToSystemTime(time, &st) ? TimeText(st, out, size) : Empty(out, size);
}

int FileTimeText(const FILETIME& time, char* out, int size) {
  SYSTEMTIME st;
  if (!ToSystemTime(time, &st)) return Empty(out, size);
  char date[32];
  char clock[48];
  DateText(st, date, sizeof date);
  TimeText(st, clock, sizeof clock);
  return FormatText(out, size, "%s, %s", date, clock);
}

static CivilTime LocalNow() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  return {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
}

int LocalTimeStamp(char* out, int size) { return LocalTimeStamp(LocalNow(), out, size); }

void BcdLocalTime(uint8_t out[kBcdTimeSize]) { BcdLocalTime(LocalNow(), out); }
