// The ini access layer over the in-memory profile store.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "mixer/model/ini.h"
#include "mixer/model/inirecords.h"
#include "mixer/model/util/profile.h"
#include "mixer/model/util/strtab.h"

namespace {

constexpr const char* kMain = "C:\\Run\\Main.ini";
constexpr const char* kOther = "C:\\Run\\Other.ini";

class Ini : public ::testing::Test {
 protected:
  void SetUp() override {
    BuiltInProfile().Clear();
    SetProfile(nullptr);
    SetMainIniPath(kMain);
  }
  void Put(const char* file, const char* section, const char* key, const char* value) {
    CurProfile().WriteString(file, section, key, value);
  }
  std::string Stored(const char* file, const char* section, const char* key) {
    char buf[1024];
    CurProfile().GetString(file, section, key, buf, sizeof buf);
    return buf;
  }
  std::string Read(const char* file, uint32_t section, uint32_t key) {
    char buf[600];
    const int n = ReadIniString(file, section, key, buf, sizeof buf);
    EXPECT_EQ(n, static_cast<int>(std::strlen(buf)));
    return buf;
  }
};

TEST(ParseNumber, BasesSignsColoursAndTheCursor) {
  struct Case {
    const char* text;
    int32_t value;
    int used;  // characters the cursor moves over
  };
  const Case cases[] = {
      {"  0x1F", 31, 6},
      {"#FF8000", 0x0080FF, 7},
      {"-12", -12, 3},
      {"-0x10", 0, 2},  // after '-' only decimal digits count
      {"0b101", 5, 5},
      {"010", 10, 3},  // one leading zero, then decimal
      {"\t0o17", 15, 5},
      {"0q17", 15, 4},
      {"0D99", 99, 4},
      {"h1f", 31, 3},   // the leading zero is optional
      {"0x1G", 1, 3},   // digits stop at the first one invalid for the base
      {"0b102", 2, 4},
      {"12ab", 12, 2},
      {"abc", 0, 0},    // no base letter, no digit: nothing used
      {"", 0, 0},
      {"0", 0, 1},
      {"7 8", 7, 1},
      {"#00ff00", 0x00FF00, 7},
      {"-2147483648", INT32_MIN, 11},
      {"4294967297", 1, 10},  // wraps at 32 bits
  };
  for (const Case& c : cases) {
    const char* cursor = c.text;
    EXPECT_EQ(ParseNumber(&cursor), c.value) << c.text;
    EXPECT_EQ(cursor - c.text, c.used) << c.text;
  }
}

TEST(ParseNumber, ReadsAListInTurn) {
  const char* cursor = " 1\t-2  0x10 #0000FF";
  std::vector<int32_t> got;
  while (IniTextLeft(cursor)) got.push_back(ParseNumber(&cursor));
  EXPECT_EQ(got, (std::vector<int32_t>{1, -2, 16, 0xFF0000}));
}

TEST_F(Ini, AliasesAreFollowedAtMostTenTimes) {
  Put(kOther, "MainWnd", "Snap", "$Drums");
  Put(kOther, "Aliases", "Drums", "$Kit");
  Put(kOther, "Aliases", "Kit", "7");
  char buf[64];
  EXPECT_EQ(ReadIniStringAlias(kOther, IDS_INI_SEC_MAIN_WND, "Snap", buf, sizeof buf), 1);
  EXPECT_STREQ(buf, "7");
  EXPECT_EQ(ReadIniInt(kOther, IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_SNAP, 0, 0, 100), 7);

  // Chains of n hops: a1=$a2 ... a(n-1)=$an, an=end.
  struct Case {
    int hops;
    const char* result;
  };
  const Case cases[] = {{10, "end"}, {11, "$a11"}};
  for (const Case& c : cases) {
    BuiltInProfile().Clear();
    Put(kOther, "MainWnd", "Grid", "$a1");
    for (int i = 1; i < c.hops; ++i)
      Put(kOther, "Aliases", ("a" + std::to_string(i)).c_str(),
          ("$a" + std::to_string(i + 1)).c_str());
    Put(kOther, "Aliases", ("a" + std::to_string(c.hops)).c_str(), "end");
    const int n = ReadIniStringAlias(kOther, IDS_INI_SEC_MAIN_WND, "Grid", buf, sizeof buf);
    EXPECT_STREQ(buf, c.result) << c.hops;
    EXPECT_EQ(n, static_cast<int>(std::strlen(c.result)));
  }

  // A cycle ends after ten lookups, still on a '$' value.
  BuiltInProfile().Clear();
  Put(kOther, "MainWnd", "Grid", "$ping");
  Put(kOther, "Aliases", "ping", "$pong");
  Put(kOther, "Aliases", "pong", "$ping");
  ReadIniStringAlias(kOther, IDS_INI_SEC_MAIN_WND, "Grid", buf, sizeof buf);
  EXPECT_STREQ(buf, "$ping");

  // An alias is looked up in the same file only, and a missing one reads empty.
  BuiltInProfile().Clear();
  Put(kOther, "MainWnd", "Grid", "$Kit");
  Put(kMain, "Aliases", "Kit", "7");
  EXPECT_EQ(ReadIniStringAlias(kOther, IDS_INI_SEC_MAIN_WND, "Grid", buf, sizeof buf), 0);
  EXPECT_STREQ(buf, "");
}

TEST_F(Ini, BuiltInDefaultsServeOnlyTheMainFile) {
  EXPECT_EQ(Read(kMain, IDS_INI_SEC_ARRANGE_WND, IDS_INI_KEY_WINDOW), "1    5   95  592  444");
  EXPECT_EQ(Read("c:\\run\\MAIN.INI", IDS_INI_SEC_MIX_WND, IDS_INI_KEY_WINDOW),
            "0   59  158  472  316");
  EXPECT_EQ(Read(kMain, IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_MIX_ELEM_LIB_PATH),
            "..\\..\\MixElem\\V103\\");
  EXPECT_EQ(Read(kOther, IDS_INI_SEC_ARRANGE_WND, IDS_INI_KEY_WINDOW), "");
  EXPECT_EQ(Read(kMain, IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_PCFILE_PATH), "");
  EXPECT_EQ(Read(kMain, IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_SNAP), "");

  Put(kMain, "ArrangeWnd", "Window", "0 1 2 3 4 5");
  EXPECT_EQ(Read(kMain, IDS_INI_SEC_ARRANGE_WND, IDS_INI_KEY_WINDOW), "0 1 2 3 4 5");

  // The default is cut to the buffer like a stored value.
  char small[4];
  EXPECT_EQ(ReadIniString(kMain, IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_IFFV, small, sizeof small), 3);
  EXPECT_STREQ(small, "IFF");
  EXPECT_EQ(IniDefaultFor(IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_IFFV, small, 0), 0);
  EXPECT_EQ(IniDefaultFor(IDS_INI_SEC_DIR_WND, IDS_INI_KEY_IFFV, small, sizeof small), 0);
}

TEST_F(Ini, ToolPageDefaultsHoldFortyEightToolIds) {
  struct Case {
    uint32_t key;
    int tools;  // leading tool ids before the 99 fillers
  };
  for (const Case c : {Case{IDS_INI_KEY_PAGE1, 32}, Case{IDS_INI_KEY_PAGE2, 10}}) {
    const std::string text = Read(kMain, IDS_INI_SEC_TOOL_WND, c.key);
    const char* cursor = text.c_str();
    std::vector<int32_t> ids;
    while (IniTextLeft(cursor)) ids.push_back(ParseNumber(&cursor));
    ASSERT_EQ(ids.size(), 48u) << text;
    EXPECT_NE(ids[c.tools - 1], 99);
    for (int i = c.tools; i < 47; ++i) EXPECT_EQ(ids[i], 99) << i;
    EXPECT_EQ(ids[47], 0);
  }
  EXPECT_EQ(Read(kMain, IDS_INI_SEC_TOOL_WND, IDS_INI_KEY_PAGE1).substr(0, 30),
            "0 1 2 3 4 5 6 7 8 26 22 23 9 1");
}

TEST_F(Ini, ReadIniIntClampsValuesAndDefaults) {
  struct Case {
    const char* stored;  // nullptr: key missing
    int32_t def, minimum, maximum, expected;
  };
  const Case cases[] = {
      {"500", 0, 0, 100, 100},  {"-5", 0, 0, 100, 0},    {"0x20", 0, 0, 100, 32},
      {nullptr, 40, 0, 100, 40}, {nullptr, 400, 0, 100, 100}, {"", -9, 0, 100, 0},
      {"5", 0, 10, 10, 10},     {"5", 0, 20, 10, 10},    {"junk", 3, -5, 5, 0},
  };
  for (const Case& c : cases) {
    BuiltInProfile().Clear();
    if (c.stored) Put(kOther, "MainWnd", "UndoLevels", c.stored);
    EXPECT_EQ(ReadIniInt(kOther, IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_UNDO_LEVELS, c.def, c.minimum,
                         c.maximum),
              c.expected)
        << (c.stored ? c.stored : "(missing)") << " " << c.minimum << ".." << c.maximum;
  }
}

TEST_F(Ini, WritersFormatUnderTheNamesOfTheIds) {
  WriteIniLong(kOther, IDS_INI_SEC_MRK_DIR_WND, IDS_INI_KEY_TOP_INDX, -42);
  EXPECT_EQ(Stored(kOther, "MrkDirWnd", "TopIndx"), "-42");
  EXPECT_EQ(ReadIniInt(kOther, IDS_INI_SEC_MRK_DIR_WND, IDS_INI_KEY_TOP_INDX, 0, -100, 100), -42);

  WriteIniValue(kOther, IDS_INI_SEC_9_PIN_WND, IDS_INI_KEY_CSE_TOOLS5, "%s-%d", "x", 5);
  EXPECT_EQ(Stored(kOther, "9PinWnd", "CSE Tools5"), "x-5");

  const std::string longText(700, 'a');
  WriteIniValue(kOther, IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_LOG_FILE_PATH, "%s", longText.c_str());
  EXPECT_EQ(Stored(kOther, "MainWnd", "LogFilePath").size(), static_cast<size_t>(kIniValueMax));
}

TEST_F(Ini, WindowRecordsReadAndWrite) {
  struct Case {
    const char* stored;  // nullptr: key missing
    const char* file;
    WindowPosRec expected;
  };
  const int32_t D = kCwUseDefault;
  const Case cases[] = {
      {"1 10 20", kOther, {1, 10, 20, D, D, 1}},
      {"1 10 20 30 40 3", kOther, {1, 10, 20, 30, 40, 3}},
      {"1 -10 20 30 40 ", kOther, {1, -10, 20, 30, 40, 1}},
      {nullptr, kOther, {0, D, D, D, D, 1}},
      {nullptr, kMain, {1, 5, 95, 592, 444, 1}},
  };
  for (const Case& c : cases) {
    BuiltInProfile().Clear();
    if (c.stored) Put(c.file, "ArrangeWnd", "Window", c.stored);
    WindowPosRec pos = {9, 9, 9, 9, 9, 9};
    ReadIniWindowPos(c.file, IDS_INI_SEC_ARRANGE_WND, IDS_INI_KEY_WINDOW, &pos);
    const WindowPosRec& e = c.expected;
    EXPECT_EQ((std::vector<int32_t>{pos.visible, pos.x, pos.y, pos.width, pos.height, pos.show}),
              (std::vector<int32_t>{e.visible, e.x, e.y, e.width, e.height, e.show}))
        << (c.stored ? c.stored : "(missing)");
  }

  BuiltInProfile().Clear();
  const WindowPosRec open = {0, 10, -20, 300, 200, 3};
  WriteIniWindowRecord(kOther, IDS_INI_SEC_DIR_WND, IDS_INI_KEY_WINDOW, &open);
  EXPECT_EQ(Stored(kOther, "DirWnd", "Window"), "1 10 -20 300 200 3");
  WriteIniWindowRecord(kOther, IDS_INI_SEC_DIR_WND, IDS_INI_KEY_WINDOW, nullptr);
  EXPECT_EQ(Stored(kOther, "DirWnd", "Window"), "0 10 -20 300 200 3");

  // A closed window with no record: "0" in another file, the hidden default
  // in the main file.
  WriteIniWindowRecord(kOther, IDS_INI_SEC_MIX_WND, IDS_INI_KEY_WINDOW, nullptr);
  EXPECT_EQ(Stored(kOther, "MixWnd", "Window"), "0");
  WriteIniWindowRecord(kMain, IDS_INI_SEC_ARRANGE_WND, IDS_INI_KEY_WINDOW, nullptr);
  EXPECT_EQ(Stored(kMain, "ArrangeWnd", "Window"), "0    5   95  592  444");
}

TEST_F(Ini, SettingsRecordsOfTheMainFile) {
  for (int unit = 1; unit <= kMidiCfgUnits; ++unit) EXPECT_EQ(ReadMidiCfgUnit(unit), 0);
  WriteMidiCfgUnit(0x1234, 3);
  EXPECT_EQ(Stored(kMain, "MainWnd", "MidiCfgSUnit3"), "4660");
  EXPECT_EQ(ReadMidiCfgUnit(3), 0x1234);
  WriteMidiCfgUnit(5, 0);
  WriteMidiCfgUnit(5, 5);
  EXPECT_EQ(ReadMidiCfgUnit(0), 0);
  EXPECT_EQ(ReadMidiCfgUnit(5), 0);
  EXPECT_EQ(Stored(kMain, "MainWnd", "MidiCfgSUnit0"), "");
  EXPECT_EQ(Stored(kMain, "MainWnd", "MidiCfgSUnit5"), "");

  int32_t vitc[kSyncInVitcDecCount];
  ReadSyncInVitcDec(vitc);
  EXPECT_EQ(std::vector<int32_t>(vitc, vitc + 5), (std::vector<int32_t>{0, 8, 0, 10, 0}));
  Put(kMain, "MainWnd", "SyncInVITCDec", "2 16");
  ReadSyncInVitcDec(vitc);
  EXPECT_EQ(std::vector<int32_t>(vitc, vitc + 5), (std::vector<int32_t>{2, 16, 0, 10, 0}));
  const int32_t written[kSyncInVitcDecCount] = {1, 2, 3, 4, -5};
  WriteSyncInVitcDec(written);
  EXPECT_EQ(Stored(kMain, "MainWnd", "SyncInVITCDec"), "1 2 3 4 -5");

  EXPECT_EQ(ReadExitStatus(), 0);
  WriteExitStatus(1);
  EXPECT_EQ(Stored(kMain, "MainWnd", "ExitStatus"), "1");
  EXPECT_EQ(ReadExitStatus(), 1);
}

TEST(SectionAndKeyNames, AreTheStringTableTexts) {
  struct Case {
    uint32_t id;
    const char* text;
  };
  const Case cases[] = {
      {768, "MainWnd"},        {777, "9PinWnd"},       {778, "MixWnd"},
      {780, "Window"},         {790, "SyncConOutUnit4"}, {791, "Io96KUnit0"},
      {806, "IoAESInpSRC3"},   {812, "MClkUnit1"},     {893, "TrkColors6"},
      {901, "MidevTrkColors4"}, {913, "Page9"},        {967, "CSE Tools1"},
      {969, "CSE Tools5"},     {972, "CSE Tools6"},    {988, "DomainDirectory8"},
  };
  for (const Case& c : cases) EXPECT_STREQ(StrText(c.id), c.text) << c.id;
}

}  // namespace
