// The dynamics module's own skin reading (location, aliases, colour forms,
// defaults) and the preset file dialog's starting point and saved name.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "elements/HRLCD/hrlcd.h"
#include "elements/HRLCD/hrlcdskin.h"

using namespace hrlcd;

namespace {

TEST(DynSkin, ColourForms) {
  struct Case {
    const char* text;
    int ok;
    uint32_t word;
  } cases[] = {
      {"#102030", 1, 0x302010},   {"#a0B0c0", 1, 0xC0B0A0},   {"0x102030", 1, 0x102030},
      {"(16,32,48)", 1, 0x302010}, {"(255,255,255)", 1, 0xFFFFFF}, {"16777215", 1, 0xFFFFFF},
      {"0", 1, 0},                {"16777216", 0, 0},         {"#12345", 0, 0},
      {"#1234567", 0, 0},         {"0x12345", 0, 0},          {"0x1234567", 0, 0},
      {"(256,0,0)", 0, 0},        {"(1, 2,3)", 0, 0},         {"(1,2)", 0, 0},
      {"(1,2,3)x", 0, 0},         {" 12", 0, 0},              {"12 ", 0, 0},
      {"-1", 0, 0},               {"", 0, 0},                 {"#GG0000", 0, 0},
  };
  for (const Case& c : cases) {
    uint32_t v = 0xDEAD;
    EXPECT_EQ(ParseSkinColor(c.text, &v), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(v, c.word) << c.text;
    }
  }
  uint32_t s = 7;
  EXPECT_EQ(ParseSkinSwitch("1", &s), 1);
  EXPECT_EQ(s, 1u);
  for (const char* bad : {"2", "01", "#000001", "0x000001", ""}) EXPECT_EQ(ParseSkinSwitch(bad, &s), 0) << bad;
}

TEST(DynSkin, AliasesDefaultsAndSections) {
  MemProfile ini;
  const char* f = "C:\\s\\HRLCD.skn";
  SkinColors c;
  ReadSkinColors(ini, "", &c);  // no skin: every default
  EXPECT_EQ(c.C[kBwBackground], 0xEFEFEFu);
  EXPECT_EQ(c.C[kLwBackground], 0xC0C0C0u);
  EXPECT_EQ(c.C[kBwHeaderBorderOn], 1u);
  EXPECT_EQ(c.C[kMeterBorderRight], 0xFFFFFFu);

  ini.WriteString(f, "Common", "col_BigWindow_Background", "$Grey");
  ini.WriteString(f, "Aliases", "Grey", "$Grey2");
  ini.WriteString(f, "Aliases", "Grey2", "(1,2,3)");
  ini.WriteString(f, "Common", "col_LittleWindow_Background", "$L0");  // a chain of 11 more steps
  for (int i = 0; i <= 11; ++i)
    ini.WriteString(f, "Aliases", ("L" + std::to_string(i)).c_str(),
                    i < 11 ? ("$L" + std::to_string(i + 1)).c_str() : "#FFFFFF");
  ini.WriteString(f, "Common", "col_Title_Border_On", "0");
  ini.WriteString(f, "Common", "col_BigWindow_Header_Border_On", "0x000000");  // switches take 0 or 1 only
  ini.WriteString(f, "Common", "col_Title_Text", "bad");
  ini.WriteString(f, "HRLCD", "col_Meter_Border_Left", "#FF0000");
  ini.WriteString(f, "Common", "col_Meter_Border_Top", "#FF0000");  // wrong section: not read
  ReadSkinColors(ini, f, &c);
  EXPECT_EQ(c.C[kBwBackground], 0x030201u);
  EXPECT_EQ(c.C[kLwBackground], 0xC0C0C0u);
  EXPECT_EQ(c.C[kTitleBorderOn], 0u);
  EXPECT_EQ(c.C[kBwHeaderBorderOn], 1u);
  EXPECT_EQ(c.C[kTitleText], 0u);
  EXPECT_EQ(c.C[kMeterBorderLeft], 0x0000FFu);
  EXPECT_EQ(c.C[kMeterBorderTop], 0u);

  // Exactly ten alias steps still resolve.
  char out[kSkinPathSize];
  ini.WriteString(f, "Common", "k", "$L2");
  EXPECT_EQ(SkinValue(ini, f, "Common", "k", out), 7);
  EXPECT_STREQ(out, "#FFFFFF");
  ini.WriteString(f, "Common", "k", "$L1");
  EXPECT_EQ(SkinValue(ini, f, "Common", "k", out), 0);
}

TEST(DynSkin, LocatesTheFile) {
  MemProfile ini;
  char out[kSkinPathSize];
  const char* mod = "C:\\App\\MixElem\\HRLCD";
  struct Case {
    const char* skinPath;  // null: no key
    const char* commandLine;
    const char* want;
  } cases[] = {
      {nullptr, "app.exe host.ini", "C:\\App\\MixElem\\HRLCD\\..\\..\\Skins\\HRLCD.skn"},
      {"Blue.skn", "app.exe host.ini", "C:\\App\\MixElem\\HRLCD\\..\\..\\Skins\\Blue.skn"},
      {"..\\Mine\\", "app.exe host.ini", "C:\\App\\MixElem\\HRLCD\\..\\Mine\\HRLCD.skn"},
      {"D:\\Skins\\Red.skn", "app.exe  host.ini ", "D:\\Skins\\Red.skn"},
      {"D:\\Skins\\Red.skn", "app.exe", "C:\\App\\MixElem\\HRLCD\\..\\..\\Skins\\HRLCD.skn"},
  };
  for (const Case& c : cases) {
    ini.Clear();
    if (c.skinPath) ini.WriteString("C:\\Cur\\host.ini", "MainWnd", "SkinPath", c.skinPath);
    LocateSkin(c.commandLine, "C:\\Cur", mod, "HRLCD.dll", ini, out);
    EXPECT_STREQ(out, c.want) << (c.skinPath ? c.skinPath : "(none)");
  }
  // A SkinPath longer than 259 characters is not used; a result too long is empty.
  ini.Clear();
  ini.WriteString("C:\\Cur\\host.ini", "MainWnd", "SkinPath", ("D:\\" + std::string(270, 'a')).c_str());
  LocateSkin("app.exe host.ini", "C:\\Cur", mod, "HRLCD.dll", ini, out);
  EXPECT_STREQ(out, "C:\\App\\MixElem\\HRLCD\\..\\..\\Skins\\HRLCD.skn");
  LocateSkin("app.exe host.ini", "C:\\Cur", ("C:\\" + std::string(250, 'b')).c_str(), "HRLCD.dll", ini, out);
  EXPECT_STREQ(out, "");
}

TEST(DynPresetDialog, StartAndSavedName) {
  char dir[kPathSize], name[kPathSize];
  DialogStart("C:\\P\\Vox.HCD", true, dir, name);
  EXPECT_STREQ(dir, "C:\\P");
  EXPECT_STREQ(name, "Vox.HCD");
  DialogStart("C:\\P\\Vox.HCD", false, dir, name);
  EXPECT_STREQ(name, "");
  DialogStart(".\\MixElem\\HRLCD\\(untitled)", true, dir, name);
  EXPECT_STREQ(dir, ".\\MixElem\\HRLCD");
  EXPECT_STREQ(name, "");
  DialogStart("(Untitled)", true, dir, name);  // the check is case-sensitive
  EXPECT_STREQ(dir, "");
  EXPECT_STREQ(name, "(Untitled)");

  struct Case {
    const char* in;
    const char* out;
  } cases[] = {{"C:\\a\\x.txt", "C:\\a\\x.HCD"}, {"C:\\a\\x", "C:\\a\\x.HCD"},
               {"C:\\a.b\\x", "C:\\a.b\\x.HCD"}, {"C:\\a\\x.y.z", "C:\\a\\x.y.HCD"}};
  for (const Case& c : cases) {
    char p[kPathSize];
    std::strcpy(p, c.in);
    EXPECT_EQ(WithPresetExtension(p), 1);
    EXPECT_STREQ(p, c.out);
  }
  char longPath[kPathSize];
  std::memset(longPath, 'a', kPathSize - 1);
  longPath[kPathSize - 1] = 0;
  EXPECT_EQ(WithPresetExtension(longPath), 0);
}

}  // namespace
