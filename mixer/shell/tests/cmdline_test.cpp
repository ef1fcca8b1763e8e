#include "mixer/shell/cmdline.h"

#include <gtest/gtest.h>

#include "mixer/model/ini.h"
#include "mixer/model/util/profile.h"

#include <string>

namespace {

struct SwitchCase {
  const char* line;
  StartSwitches want;
  const char* rest;
};

StartSwitches With(int xp, int fade, int keep, int mode, int query, int period) {
  StartSwitches s;
  s.XpLook = xp;
  s.FadeResolTime = fade;
  s.KeepTakesOpen = keep;
  s.StartMode = mode;
  s.SyncFlashQuery = query;
  s.DevTimerPeriod = period;
  return s;
}

TEST(ParseSwitches, Table) {
  const StartSwitches d;
  const SwitchCase cases[] = {
      {"", d, ""},
      {"-s5 -P my.ini", With(1, 40, 0, 3, 0, 5), "my.ini"},
      {"-S0 -F0", d, ""},
      {"-F3 -S9", With(1, 30, 0, 2, 0, 9), ""},
      {"-X -O a b.ini", With(1, 40, 1, 2, 0, 20), "a b.ini"},
      {"- -Q x", With(1, 40, 0, 2, 1, 20), "x"},
      {"-Afoo.ini", d, "foo.ini"},
      {"-P -R", With(1, 40, 0, 4, 0, 20), ""},
      {"-R -P", With(1, 40, 0, 3, 0, 20), ""},
      {"-B98", With(0, 40, 0, 2, 0, 20), ""},
      {"-B98 -bxP", d, ""},
      {"-Bzz name", d, "name"},
      {"-Bxpfile", d, "file"},
      // A switch at the very end of the line never reads past it.
      {"-B", d, ""},
      {"-B9", d, ""},
      {"-F", d, ""},
      {"-S", d, ""},
      {"-O -S", With(1, 40, 1, 2, 0, 20), ""},
  };
  for (const auto& c : cases) {
    StartSwitches got;
    std::string rest = ParseSwitches(c.line, &got);
    SCOPED_TRACE(c.line);
    EXPECT_EQ(rest, c.rest);
    EXPECT_EQ(got.XpLook, c.want.XpLook);
    EXPECT_EQ(got.FadeResolTime, c.want.FadeResolTime);
    EXPECT_EQ(got.KeepTakesOpen, c.want.KeepTakesOpen);
    EXPECT_EQ(got.StartMode, c.want.StartMode);
    EXPECT_EQ(got.SyncFlashQuery, c.want.SyncFlashQuery);
    EXPECT_EQ(got.DevTimerPeriod, c.want.DevTimerPeriod);
  }
}

std::string existing;
int IsFile(const char* path) { return existing == path ? 1 : 0; }

TEST(ChooseIniPath, FallsBackToDefaultName) {
  char out[kIniPathSize];
  existing = "C:\\run\\my.ini";
  ASSERT_EQ(ChooseIniPath("C:\\run", "my.ini", IsFile, out), 1);
  EXPECT_STREQ(out, "C:\\run\\my.ini");
  ASSERT_EQ(ChooseIniPath("C:\\", "", IsFile, out), 1);
  EXPECT_STREQ(out, "C:\\HRLMixerDef.INI");
  // A missing name in another folder: the default in that same folder.
  ASSERT_EQ(ChooseIniPath("C:\\run", "sub\\gone.ini", IsFile, out), 1);
  EXPECT_STREQ(out, "C:\\run\\sub\\HRLMixerDef.INI");
}

TEST(ChooseIniPath, RefusesPathsLongerThanTheBuffer) {
  char out[kIniPathSize];
  existing.clear();
  std::string dir = "C:\\" + std::string(240, 'd');
  std::string fits(kIniPathSize - 1 - dir.size() - 1, 'n');
  EXPECT_EQ(ChooseIniPath(dir.c_str(), fits.c_str(), IsFile, out), 1);
  EXPECT_EQ(ChooseIniPath(dir.c_str(), (fits + "n").c_str(), IsFile, out), 0);
  EXPECT_STREQ(out, "");
  // The name fits, the default name in its place would not.
  std::string longDir = "C:\\" + std::string(kIniPathSize - 10, 'd');
  EXPECT_EQ(ChooseIniPath(longDir.c_str(), "a", IsFile, out), 0);
}

TEST(IniVersionOk, Exact) {
  EXPECT_EQ(IniVersionOk("IFFV1.3"), 1);
  EXPECT_EQ(IniVersionOk("IFFV1.2"), 0);
  EXPECT_EQ(IniVersionOk("iffv1.3"), 0);
  EXPECT_EQ(IniVersionOk("IFFV1.3 "), 0);
}

TEST(MainIniVersionOk, MissingFileOrKeyPassesThroughTheDefault) {
  BuiltInProfile().Clear();
  SetMainIniPath("C:\\run\\HRLMixerDef.INI");
  EXPECT_EQ(MainIniVersionOk(), 1);
  CurProfile().WriteString(MainIniPath(), "MainWnd", "Iffv", "IFFV1.2");
  EXPECT_EQ(MainIniVersionOk(), 0);
  // Longer than 8 characters: cut, so never equal.
  CurProfile().WriteString(MainIniPath(), "MainWnd", "Iffv", "IFFV1.3xyz");
  EXPECT_EQ(MainIniVersionOk(), 0);
  BuiltInProfile().Clear();
}

}  // namespace
