// Skin values: the number parser, aliases, clamping, image paths, the
// whole colour table, and where a module finds its skin.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "elements/skin.h"

namespace {

// Files and folders that exist, by exact path; absolute paths made by the
// textual join.
class FakeFiles : public ElemFiles {
 public:
  std::set<std::string> files, folders;
  int FileExists(const char* p) override { return files.count(p) ? 1 : 0; }
  int FolderExists(const char* p) override {
    std::string s = p;
    if (!s.empty() && s.back() == '\\') s.pop_back();
    return folders.count(s) ? 1 : 0;
  }
  int MakeAbsolute(char* path, int size, const char* folder) override { return ElemJoinPath(path, size, folder); }
};

constexpr char kSkin[] = "C:\\Skins\\Qvmxel1.skn";

class SkinTest : public ::testing::Test {
 protected:
  MemProfile store;
  FakeFiles files;
  SkinFile skin{};

  void SetUp() override {
    std::strcpy(skin.Path, kSkin);
    skin.Store = &store;
    skin.Files = &files;
  }
  void Put(const char* section, const char* key, const char* value) { store.WriteString(kSkin, section, key, value); }
};

}  // namespace

TEST(ParseSkinNumber, PrefixesBasesAndTheCursor) {
  struct Case {
    const char* text;
    int32_t value;
    int consumed;
  } cases[] = {
      {"#FF8000", 0x0080FF, 7},  {"0x10", 16, 4},   {"-5", -5, 2},      {"12abc", 12, 2},
      {" \t42", 42, 4},          {"0", 0, 1},       {"05", 5, 2},       {"b101", 5, 4},
      {"0B102", 2, 4},           {"d19", 19, 3},    {"hFf", 255, 3},    {"Xz", 0, 1},
      {"o17", 15, 3},            {"Q78", 7, 2},     {"#123456", 0x563412, 7},
      {"99999999999", 0x7FFFFFFF, 11},             {"", 0, 0},
  };
  for (const Case& c : cases) {
    const char* cursor = c.text;
    EXPECT_EQ(ParseSkinNumber(&cursor), c.value) << c.text;
    EXPECT_EQ(cursor - c.text, c.consumed) << c.text;
  }
}

TEST_F(SkinTest, AliasesAreFollowedAtMostTenTimes) {
  Put("Common", "col_Label_Text", "$Ink");
  Put("Aliases", "Ink", "$Dark");
  Put("Aliases", "Dark", "#102030");
  char out[64];
  EXPECT_EQ(ReadSkinString(skin, IDS_SKIN_COMMON, IDS_col_Label_Text, out, sizeof out), 7);
  EXPECT_STREQ(out, "#102030");

  // A ring of aliases: ten look-ups, then the value is used as it stands.
  Put("Common", "col_Title_Text", "$A0");
  for (int i = 0; i < 12; ++i)
    Put("Aliases", ("A" + std::to_string(i)).c_str(), ("$A" + std::to_string(i + 1)).c_str());
  ReadSkinString(skin, IDS_SKIN_COMMON, IDS_col_Title_Text, out, sizeof out);
  EXPECT_STREQ(out, "$A10");

  Put("Common", "col_Static_Text", "$Missing");
  EXPECT_EQ(ReadSkinString(skin, IDS_SKIN_COMMON, IDS_col_Static_Text, out, sizeof out), 0);
  EXPECT_STREQ(out, "");
}

TEST_F(SkinTest, NumbersDefaultAndClamp) {
  Put("Common", "col_Label_Text", "#FFFFFFFF");
  Put("Common", "col_Label_Border_On", "7");
  Put("Common", "col_Title_Text", "-3");
  Put("Common", "col_Label_Border_Left", "0000000000000000000012");  // only 15 characters read
  EXPECT_EQ(ReadSkinNumber(skin, IDS_SKIN_COMMON, IDS_col_Label_Text, 5, 0, 0xFFFFFF), 0xFFFFFF);
  EXPECT_EQ(ReadSkinNumber(skin, IDS_SKIN_COMMON, IDS_col_Label_Border_On, 1, 0, 1), 1);
  EXPECT_EQ(ReadSkinNumber(skin, IDS_SKIN_COMMON, IDS_col_Title_Text, 9, 0, 0xFFFFFF), 0);
  EXPECT_EQ(ReadSkinNumber(skin, IDS_SKIN_COMMON, IDS_col_Label_Border_Left, 9, 0, 0xFFFFFF), 0);
  EXPECT_EQ(ReadSkinNumber(skin, IDS_SKIN_COMMON, IDS_col_Label_Border_Top, 0x808080, 0, 0xFFFFFF), 0x808080);
}

TEST_F(SkinTest, ImagePathsMustNameAnExistingFile) {
  files.files.insert("C:\\Skins\\img\\mute.bmp");
  Put("Common", "img_Mute_Button", "img\\mute.bmp");
  Put("Common", "img_Solo_Button", "img\\solo.bmp");
  Put("Common", "img_Check_Button", "img\\");
  char out[kElemPathSize];
  EXPECT_GT(ReadSkinPath(skin, IDS_SKIN_COMMON, IDS_img_Mute_Button, out, sizeof out), 0);
  EXPECT_STREQ(out, "C:\\Skins\\img\\mute.bmp");
  EXPECT_EQ(ReadSkinPath(skin, IDS_SKIN_COMMON, IDS_img_Solo_Button, out, sizeof out), 0);
  EXPECT_STREQ(out, "");
  EXPECT_EQ(ReadSkinPath(skin, IDS_SKIN_COMMON, IDS_img_Check_Button, out, sizeof out), 0);
}

TEST_F(SkinTest, LoadFillsEveryTableFromItsSection) {
  ElemSkin s;
  SkinLoad(&s, skin);
  EXPECT_EQ(s.Colors[kCol_LittleWindow_Border_Left], 0xFFFFFFu);
  EXPECT_EQ(s.Colors[kCol_PeakMeter_Led_On], 0x80FF00u);
  EXPECT_EQ(s.Colors[kCol_Fader_Slider_Border_OuterBottom], 0x808080u);
  EXPECT_EQ(s.Colors[kCol_RotPot_Border], 1u);
  EXPECT_EQ(s.Colors[kColEq_Title_Background], 0xFFFF00u);
  EXPECT_EQ(s.Colors[kColEq_LCD_Vertical_Grid], 0xFF0000u);
  EXPECT_EQ(s.Colors[kColSend_Static_Text], 0u);
  EXPECT_STREQ(s.Images[kImgMute], "");

  Put("Common", "col_Static_Text", "#0000FF");
  Put("EQ 2-Band", "col_Static_Text", "#00FF00");
  Put("Send Pre/Post", "col_Static_Text", "#FF0000");
  Put("Track", "col_Static_Text", "$Grey");
  Put("Aliases", "Grey", "0x808080");
  Put("Common", "col_RotPot_Border", "2");
  Put("Send Pre/Post", "img_Logo_12", "send12.bmp");
  files.files.insert("C:\\Skins\\send12.bmp");
  SkinLoad(&s, skin);
  EXPECT_EQ(s.Colors[kCol_Static_Text], 0xFF0000u);
  EXPECT_EQ(s.Colors[kColEq_Static_Text], 0x00FF00u);
  EXPECT_EQ(s.Colors[kColSend_Static_Text], 0x0000FFu);
  EXPECT_EQ(s.Colors[kColTrack_Static_Text], 0x808080u);
  EXPECT_EQ(s.Colors[kCol_RotPot_Border], 1u);
  EXPECT_STREQ(s.Logos[kLogoSend12], "C:\\Skins\\send12.bmp");
  EXPECT_STREQ(s.Logos[kLogoEq22], "");
}

TEST(HostIniPath, LastWordOfTheCommandLine) {
  char out[64];
  EXPECT_EQ(HostIniPath("\"C:\\HRL\\HRL Mixer.exe\" -P My.INI", "C:\\Work", out, sizeof out), 1);
  EXPECT_STREQ(out, "C:\\Work\\My.INI");
  HostIniPath("mixer.exe", "C:\\Work", out, sizeof out);
  EXPECT_STREQ(out, "");
  HostIniPath("mixer.exe ", "C:\\Work", out, sizeof out);
  EXPECT_STREQ(out, "");
  HostIniPath("mixer.exe a.ini", "C:\\", out, sizeof out);
  EXPECT_STREQ(out, "C:\\a.ini");
  char small[8];
  EXPECT_EQ(HostIniPath("m x.ini", "C:\\Work", small, sizeof small), 0);
  EXPECT_STREQ(small, "");
}

TEST(ElemSkinPath, HostIniThenFallbackFolder) {
  MemProfile store;
  FakeFiles files;
  char out[kElemPathSize];
  const char* ini = "C:\\Work\\HRLMixerDef.INI";
  const char* mod = "C:\\HRL\\MixElem\\Qvmxel1.dll";

  // No host ini, no fallback folder: no skin.
  ElemSkinPath(ini, "C:\\HRL\\MixElem", mod, store, files, out, sizeof out);
  EXPECT_STREQ(out, "");

  // The fallback folder beside the module, completed with the module's name.
  files.folders.insert("C:\\Skins");
  ElemSkinPath(ini, "C:\\HRL\\MixElem", mod, store, files, out, sizeof out);
  EXPECT_STREQ(out, "C:\\Skins\\Qvmxel1.skn");

  // The host's SkinPath, relative to the module's folder; a file name stays.
  files.files.insert(ini);
  store.WriteString(ini, "MainWnd", "SkinPath", "..\\Blue\\Dark.skn");
  ElemSkinPath(ini, "C:\\HRL\\MixElem", mod, store, files, out, sizeof out);
  EXPECT_STREQ(out, "C:\\HRL\\Blue\\Dark.skn");

  // A folder gets the module's name; the extension is cut at the first dot.
  store.WriteString(ini, "MainWnd", "SkinPath", "D:\\Skins\\");
  ElemSkinPath(ini, "C:\\HRL\\MixElem", "C:\\HRL\\Qvmxel1.v2.dll", store, files, out, sizeof out);
  EXPECT_STREQ(out, "D:\\Skins\\Qvmxel1.skn");

  // The key is ignored when the ini file does not exist.
  files.files.clear();
  ElemSkinPath(ini, "C:\\HRL\\MixElem", mod, store, files, out, sizeof out);
  EXPECT_STREQ(out, "C:\\Skins\\Qvmxel1.skn");
}
