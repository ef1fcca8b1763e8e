// The command line of the program: switch words, then an optional ini file
// name; and the choice of the main ini file from that name.
#pragma once

#include <cstdint>

// What the switches set, with the values the program starts with.
struct StartSwitches {
  int32_t XpLook = 1;          // -B98 off, -BXP on (start value: from the system)
  int32_t FadeResolTime = 40;  // -F<d>: 10 x d milliseconds
  int32_t KeepTakesOpen = 0;   // -O
  int32_t StartMode = 2;       // 2 none, 3 play (-P), 4 record (-R)
  int32_t SyncFlashQuery = 0;  // -Q
  int32_t DevTimerPeriod = 20; // -S<d>: d milliseconds
};

// Parses the switch words at the start of `line` into `sw` and returns the
// rest of the line: the ini file name, blanks included. A known switch
// consumes a fixed number of characters, but never more than the line has.
const char* ParseSwitches(const char* line, StartSwitches* sw);

// Longest path the program handles, terminator included.
constexpr int kIniPathSize = 260;

// The main ini file: `curDir` + '\' (unless it ends with one) + `name`; when
// that is no ordinary file (isFile answers 0), the file-name part is replaced
// by "HRLMixerDef.INI". Writes the path into out (kIniPathSize bytes) and
// returns 1; returns 0, with out empty, when the path would not fit.
int ChooseIniPath(const char* curDir, const char* name, int (*isFile)(const char* path),
                  char* out);

// The version text the main ini file must carry.
constexpr const char* kIniVersion = "IFFV1.3";
// 1 when `value` is exactly kIniVersion.
int IniVersionOk(const char* value);
// Reads key Iffv of section MainWnd of the main ini file (at most 8
// characters; the built-in default when the key or the file is missing)
// and checks it with IniVersionOk.
int MainIniVersionOk();
