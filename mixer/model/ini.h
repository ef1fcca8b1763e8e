// Readers and writers of the ini files. Section and key names are string ids.
#pragma once

#include <cstdint>

// The key's number, or the default when it is empty, clamped to
// minimum..maximum.
int32_t ReadIniInt(const char* file, uint32_t section, uint32_t key, int32_t defaultValue,
                   int32_t minimum, int32_t maximum);
// Writes the number in decimal.
void WriteIniLong(const char* file, uint32_t section, uint32_t key, int32_t number);
// Path of the program's main ini file, fixed at start-up.
const char* MainIniPath();
