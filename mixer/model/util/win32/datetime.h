// Date and time texts from the system's clock and file times, in the user's
// time format.
#pragma once

#include <windows.h>

#include <cstdint>

#include "mixer/model/util/datetext.h"

// The user's time format, as ReadIntlTime last read it.
extern IntlTime UserIntlTime;

// Reads [Intl] iTime, iTLZero, s1159, s2359 (default empty) and sTime
// (default ":") from the user's profile into UserIntlTime.
void ReadIntlTime();

// A FILETIME, taken as it is (UTC, not converted to local time), as the date
// ("Mar 7, 2024"), the time in the user's format, or both as "date, time".
// Each writes into out of `size` bytes, cut to fit, and returns the length.
int FileTimeDateText(const FILETIME& time, char* out, int size);
int FileTimeTimeText(const FILETIME& time, char* out, int size);
int FileTimeText(const FILETIME& time, char* out, int size);

// The local time now as "YYMMDD-hhmmss"; returns the length.
int LocalTimeStamp(char* out, int size);

// The local time now as a Take's six BCD bytes.
void BcdLocalTime(uint8_t out[kBcdTimeSize]);
