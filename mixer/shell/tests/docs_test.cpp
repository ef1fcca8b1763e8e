// The document commands over a scripted host: names, named flags, change
// counts and automatic-save marks after every command, failed reads and
// writes included; and the small windows' arithmetic.
#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "mixer/model/docnames.h"
#include "mixer/shell/chanset.h"
#include "mixer/shell/docs.h"
#include "mixer/shell/wndlogic.h"

namespace {

struct FakeHost : DocHost {
  std::vector<std::string> log;
  std::deque<int> answers;          // Ask, in order; 7 when empty
  std::deque<std::string> dialogs;  // SaveDialog results; "" cancels
  std::vector<int> dialogKeep;      // keepName of each SaveDialog
  bool readOk = true, writeOk = true, mixReadOk = true, mixWriteOk = true, newOk = true;
  uint32_t warning = 0;
  int selected = 0, keepSel = 0, detect = 0, elemsChanged = 0;

  int Ask(uint32_t id, uint32_t) override {
    log.push_back("Ask " + std::to_string(id));
    if (answers.empty()) return 7;
    int a = answers.front();
    answers.pop_front();
    return a;
  }
  int SaveDialog(char* path, int size, int keepName, int mix) override {
    dialogKeep.push_back(keepName);
    log.push_back(std::string(mix ? "MixDialog " : "ArrDialog ") + path);
    if (dialogs.empty() || dialogs.front().empty()) {
      if (!dialogs.empty()) dialogs.pop_front();
      return 0;
    }
    std::snprintf(path, static_cast<size_t>(size), "%s", dialogs.front().c_str());
    dialogs.pop_front();
    return 1;
  }
  void CurrentDir(char* out, int size) override { std::snprintf(out, static_cast<size_t>(size), "C:\\Work\\"); }
  int ArrNew(uint32_t* error) override {
    *error = 192;
    return newOk;
  }
  void ArrAfterNew(int) override { log.push_back("AfterNew"); }
  int ArrRead(const char* path, int merge, uint32_t* w) override {
    log.push_back(std::string(merge ? "Merge " : "Read ") + path);
    *w = warning;
    return readOk;
  }
  void ArrAfterRead(int) override {}
  void ArrReadFailed() override {}
  int ArrWrite(const char* path, int selectedOnly) override {
    log.push_back(std::string(selectedOnly ? "WriteSel " : "Write ") + path);
    return writeOk;
  }
  int ArrSelectedParts() override { return selected; }
  void ArrClearSelection() override { log.push_back("ClearSel"); }
  void ArrSetCaption() override {}
  int KeepSelection() override { return keepSel; }
  int MixWrite(const char* path) override {
    log.push_back(std::string("MixWrite ") + path);
    return mixWriteOk;
  }
  int MixRead(const char* path) override {
    log.push_back(std::string("MixRead ") + path);
    return mixReadOk;
  }
  void MixNew() override { log.push_back("MixNew"); }
  int DetectElemChanges() override { return detect; }
  int MixElemsChanged() override { return elemsChanged; }
  void MixSnapshot() override { log.push_back("Snapshot"); }
  void MainCaption() override {}

  bool Logged(const std::string& s) const {
    for (const auto& l : log)
      if (l == s) return true;
    return false;
  }
};

class Documents : public ::testing::Test {
 protected:
  FakeHost host;
  void SetUp() override {
    DocSetHost(&host);
    Docs() = DocState{};
    ASSERT_EQ(ArrNewCmd(1), 1);
    ASSERT_EQ(MixNewCmd(), 1);
    host.log.clear();
  }
  std::string ArrName() {
    char n[kDocNameSize];
    ArrNameGet(n, sizeof n);
    return n;
  }
  std::string MixName() {
    char n[kDocNameSize];
    MixNameGet(n, sizeof n);
    return n;
  }
  void OpenNamed() {
    ASSERT_EQ(ArrOpenCmd("C:\\Songs\\a.ARR"), 1);
    host.log.clear();
  }
};

TEST_F(Documents, NewOpenAndFailedOpen) {
  EXPECT_EQ(ArrName(), "C:\\Work\\(untitled)");
  EXPECT_EQ(ArrIsNamed(), 0);
  OpenNamed();
  EXPECT_EQ(ArrName(), "C:\\Songs\\a.ARR");
  EXPECT_EQ(ArrIsNamed(), 1);
  Docs().arrChanges = 3;
  // A file that cannot be read leaves the arrangement, its name and its
  // changes as they were.
  host.readOk = false;
  EXPECT_EQ(ArrOpenCmd("C:\\Songs\\bad.ARR"), 0);
  EXPECT_EQ(ArrName(), "C:\\Songs\\a.ARR");
  EXPECT_EQ(ArrIsNamed(), 1);
  EXPECT_EQ(Docs().arrChanges, 3u);
  // A failed allocation keeps the previous arrangement and reports it.
  host.newOk = false;
  EXPECT_EQ(ArrNewCmd(1), 0);
  EXPECT_TRUE(host.Logged("Ask 192"));
  EXPECT_EQ(ArrName(), "C:\\Songs\\a.ARR");
}

TEST_F(Documents, MergeKeepsTheArrangementsOwnName) {
  OpenNamed();
  host.warning = 172;
  EXPECT_EQ(ArrMergeCmd("C:\\Other\\b.ARR"), 1);
  EXPECT_EQ(ArrName(), "C:\\Songs\\a.ARR");
  EXPECT_EQ(Docs().arrChanges, 1u);
  EXPECT_TRUE(host.Logged("Ask 172"));  // the warning is shown after the merge
  ASSERT_EQ(ArrSaveCmd(), 1);
  EXPECT_TRUE(host.Logged("Write C:\\Songs\\a.ARR"));
  // A merge that cannot read its file changes nothing.
  host.readOk = false;
  EXPECT_EQ(ArrMergeCmd("C:\\Other\\bad.ARR"), 0);
  EXPECT_EQ(ArrName(), "C:\\Songs\\a.ARR");
  EXPECT_EQ(Docs().arrChanges, 0u);
}

TEST_F(Documents, SaveOfAnUntitledArrangementAsksForAName) {
  Docs().arrChanges = 2;
  host.dialogs = {""};  // cancelled
  EXPECT_EQ(ArrSaveCmd(), 0);
  EXPECT_TRUE(host.Logged("ArrDialog C:\\Work\\(untitled)"));
  EXPECT_EQ(host.dialogKeep.back(), 0);  // an untitled name is not offered
  EXPECT_EQ(Docs().arrChanges, 2u);
  host.dialogs = {"C:\\Work\\new.ARR"};
  EXPECT_EQ(ArrSaveCmd(), 1);
  EXPECT_TRUE(host.Logged("Write C:\\Work\\new.ARR"));
  EXPECT_FALSE(host.Logged("Write C:\\Work\\(untitled)"));
  EXPECT_EQ(ArrName(), "C:\\Work\\new.ARR");
  EXPECT_EQ(ArrIsNamed(), 1);
  EXPECT_EQ(Docs().arrChanges, 0u);
}

TEST_F(Documents, FailedWriteKeepsTheChangesAndClosingAsks) {
  OpenNamed();
  EXPECT_EQ(ArrSavePrompt(), 7);  // nothing failed: the prompt stays silent
  Docs().arrChanges = 4;
  Docs().arrAutoMark = 2;
  host.writeOk = false;
  EXPECT_EQ(ArrSaveCmd(), 0);
  EXPECT_EQ(Docs().arrChanges, 4u);
  EXPECT_EQ(Docs().arrAutoMark, 2u);
  // Closing now asks; Yes with a write that fails again stops the close.
  host.answers = {6};
  EXPECT_EQ(ArrSavePrompt(), 2);
  EXPECT_TRUE(host.Logged("Ask 203"));
  host.answers = {6};
  host.writeOk = true;
  EXPECT_EQ(ArrSavePrompt(), 6);
  EXPECT_EQ(Docs().arrChanges, 0u);
  EXPECT_EQ(ArrSavePrompt(), 7);
}

TEST_F(Documents, SaveAsSelectedPartsOnly) {
  OpenNamed();
  Docs().arrChanges = 5;
  host.selected = 2;
  host.answers = {6};
  host.dialogs = {"C:\\Songs\\sel.ARR"};
  EXPECT_EQ(ArrSaveAsCmd(), 1);
  EXPECT_TRUE(host.Logged("ArrDialog C:\\Songs\\(untitled)"));
  EXPECT_TRUE(host.Logged("WriteSel C:\\Songs\\sel.ARR"));
  EXPECT_TRUE(host.Logged("ClearSel"));
  EXPECT_EQ(ArrName(), "C:\\Songs\\a.ARR");  // the arrangement's own state stays
  EXPECT_EQ(Docs().arrChanges, 5u);
  // The next time the selection's name is offered; KeepSel keeps it.
  host.log.clear();
  host.keepSel = 1;
  host.answers = {6};
  host.dialogs = {"C:\\Songs\\sel.ARR"};
  EXPECT_EQ(ArrSaveAsCmd(), 1);
  EXPECT_TRUE(host.Logged("ArrDialog C:\\Songs\\sel.ARR"));
  EXPECT_FALSE(host.Logged("ClearSel"));
  // No: the whole arrangement under a new name.
  host.answers = {7};
  host.dialogs = {"C:\\Songs\\b.ARR"};
  EXPECT_EQ(ArrSaveAsCmd(), 1);
  EXPECT_EQ(ArrName(), "C:\\Songs\\b.ARR");
  EXPECT_EQ(Docs().arrChanges, 0u);
}

TEST_F(Documents, ArrangementAutoSave) {
  ArrAutoSave();
  EXPECT_TRUE(host.log.empty());  // unchanged: nothing written
  Docs().arrChanges = 3;
  host.writeOk = false;
  ArrAutoSave();
  EXPECT_TRUE(host.Logged("Write C:\\Work\\AUTOSAVE.ARR"));  // the untitled name's folder
  EXPECT_EQ(Docs().arrAutoMark, 0u);  // tried again next time
  host.writeOk = true;
  host.log.clear();
  ArrAutoSave();
  EXPECT_EQ(Docs().arrAutoMark, 3u);
  ArrAutoSave();
  EXPECT_EQ(host.log.size(), 1u);  // the same count is not written twice
  EXPECT_EQ(ArrName(), "C:\\Work\\(untitled)");
  EXPECT_EQ(Docs().arrChanges, 3u);
}

TEST_F(Documents, MixSavePrompt) {
  EXPECT_EQ(MixSavePrompt(), 7);  // unchanged: nothing asked
  EXPECT_TRUE(host.log.empty());
  host.detect = 1;
  host.elemsChanged = 1;
  host.answers = {6};
  host.dialogs = {""};  // untitled, dialog cancelled
  EXPECT_EQ(MixSavePrompt(), 2);
  EXPECT_TRUE(host.Logged("Ask 201"));
  EXPECT_EQ(Docs().mixChanges, 1u);
  host.answers = {6};
  host.dialogs = {"C:\\Mix\\m.MIX"};
  host.mixWriteOk = false;  // written nowhere: the close stops
  EXPECT_EQ(MixSavePrompt(), 2);
  EXPECT_EQ(Docs().mixChanges, 1u);
  EXPECT_EQ(MixName(), "(untitled)");
  host.answers = {6};
  host.dialogs = {"C:\\Mix\\m.MIX"};
  host.mixWriteOk = true;
  EXPECT_EQ(MixSavePrompt(), 6);
  EXPECT_EQ(MixName(), "C:\\Mix\\m.MIX");
  EXPECT_EQ(MixIsNamed(), 1);
  EXPECT_EQ(Docs().mixChanges, 0u);
  EXPECT_TRUE(host.Logged("Snapshot"));
  host.answers = {2};
  Docs().mixChanges = 1;
  EXPECT_EQ(MixNewCmd(), 0);  // Cancel ends New Mix
  EXPECT_FALSE(host.Logged("MixNew"));
}

TEST_F(Documents, MixOpenAndSaveAs) {
  host.dialogs = {""};
  EXPECT_EQ(MixSaveAsCmd(), 0);
  EXPECT_EQ(host.dialogKeep.back(), 0);  // "(untitled)" opens the dialog empty
  ASSERT_EQ(MixOpenCmd("C:\\Mix\\a.MIX"), 1);
  EXPECT_EQ(MixName(), "C:\\Mix\\a.MIX");
  host.dialogs = {""};
  MixSaveAsCmd();
  EXPECT_EQ(host.dialogKeep.back(), 1);  // a name of its own is offered
  host.mixReadOk = false;
  EXPECT_EQ(MixOpenCmd("C:\\Mix\\bad.MIX"), 0);
  EXPECT_EQ(MixName(), "C:\\Mix\\a.MIX");
  Docs().mixChanges = 2;
  host.mixWriteOk = false;
  EXPECT_EQ(MixSaveCmd(), 0);
  EXPECT_EQ(Docs().mixChanges, 2u);
}

TEST_F(Documents, MixAutoSave) {
  MixAutoSave();
  EXPECT_TRUE(host.log.empty());
  Docs().mixChanges = 2;
  MixAutoSave();
  EXPECT_TRUE(host.Logged("MixWrite AUTOSAVE.MIX"));
  EXPECT_EQ(Docs().mixAutoMark, 2u);
  host.log.clear();
  MixAutoSave();
  EXPECT_TRUE(host.log.empty());
  // With element change detection, states changed since the snapshot are
  // saved again although the count did not move.
  host.detect = 1;
  host.elemsChanged = 1;
  MixAutoSave();
  EXPECT_TRUE(host.Logged("Snapshot"));
  EXPECT_TRUE(host.Logged("MixWrite AUTOSAVE.MIX"));
}

TEST(StatusBar, FieldsGiveWayOnNarrowBars) {
  const int32_t labels[kStatusItems] = {20, 30, 40, 35, 36, 22, 30, 45};
  struct Case {
    int32_t width;
    bool frame, clock;
  } cases[] = {{905, false, false}, {906, true, false}, {1107, true, false}, {1108, true, true}};
  for (const Case& c : cases) {
    StatusLayoutRec r;
    StatusLayout(labels, c.width, &r);
    EXPECT_EQ(r.labelX[4] >= 0, c.frame) << c.width;
    EXPECT_EQ(r.labelX[6] >= 0, c.clock) << c.width;
    EXPECT_EQ(r.labelX[0], 6);
    EXPECT_EQ(r.fieldX[0], 6 + 20 + 4);
    // "L <-> R" follows the last field shown.
    const int last = c.clock ? 6 : 5;
    EXPECT_EQ(r.labelX[7], r.fieldX[last] + kStatusFieldWidth[last] + 4) << c.width;
  }
}

TEST(AudioBuffer, BarAndPercentage) {
  char text[16];
  AudBufPercentText(131071, 131072, text, sizeof text);
  EXPECT_STREQ(text, "99.9%");  // tenths cut, not rounded
  AudBufPercentText(131072, 131072, text, sizeof text);
  EXPECT_STREQ(text, "100.0%");
  EXPECT_EQ(AudBufBarLength(131072, 131072), 168);
  EXPECT_EQ(AudBufBarLength(400000, 131072), 168);
  EXPECT_EQ(AudBufBarLength(65536, 131072), 84);
}

TEST(BigClock, SettingsLine) {
  BigClockSettings s;
  BigClockParse("255 16777215", 0xC0C0C0, &s);  // colours only: the default font
  EXPECT_EQ(s.textColour, 255u);
  EXPECT_EQ(s.background, 16777215u);
  EXPECT_EQ(s.font[0], 64u);
  EXPECT_EQ(s.font[1], 32u);
  EXPECT_EQ(s.font[4], 700u);
  EXPECT_STREQ(BigClockFace(s), "Arial");
  char line[160];
  BigClockFormat(s, line, sizeof line);
  EXPECT_STREQ(line, "255 16777215 64 32 0 0 700 0 0 0 0 0 0 2 32 Arial");
  BigClockParse("", 0xC0C0C0, &s);
  EXPECT_EQ(s.background, 0xC0C0C0u);
  // A face longer than the font record holds is cut to 31 characters; the
  // line read back gives the same settings.
  BigClockParse("1 2 40 20 0 0 400 1 0 0 0 0 0 2 32 Courier New With A Much Too Long Face Name",
                0, &s);
  EXPECT_EQ(std::strlen(BigClockFace(s)), 31u);
  BigClockFormat(s, line, sizeof line);
  BigClockSettings back;
  BigClockParse(line, 0, &back);
  EXPECT_EQ(std::memcmp(&s, &back, sizeof s), 0);
}

TEST(BigClock, Texts) {
  char tc[12], bars[13];
  BigClockTcText(0, 0, 0, 0, tc);
  EXPECT_STREQ(tc, "00:00:00:00");
  BigClockBarsText(1, 1, 0, bars);
  EXPECT_STREQ(bars, "    1. 1.  0");
  BigClockBarsText(123456, 4, 959, bars);
  EXPECT_STREQ(bars, "99999. 4.959");  // never more than the clock's 12 cells
}

TEST(SetupEntries, Clamps) {
  EXPECT_EQ(SlvMtcPrepFromEntry(50), 100);
  EXPECT_EQ(SlvMtcPrepFromEntry(5000), 4000);
  EXPECT_EQ(DropOutFromMs(30000, 48000), 960000);
  EXPECT_EQ(DropOutFromMs(-5, 48000), 0);
  EXPECT_EQ(DropOutFromMs(1, 44100), 45);  // rounded up
  EXPECT_EQ(SetupPositionLimit(0x7FFF05FF), 0x7FFF05FE);
  EXPECT_EQ(SetupPositionLimit(0x7FFFFFFF), 0x7FFF05FE);
  EXPECT_EQ(SetupPositionLimit(0x7FFF05FE), 0x7FFF05FE);
}

TEST(ToolPage, ParseDropAndSlots) {
  ToolPage page;
  ToolPageParse("3 3 98 50 36 7", &page);
  const int32_t want[7] = {3, 99, 98, 99, 99, 7, 99};
  for (int i = 0; i < 7; ++i) EXPECT_EQ(page.slot[i], want[i]) << i;
  EXPECT_EQ(page.slot[63], 99);
  EXPECT_EQ(ToolPageAt(page, 1), 7);
  EXPECT_EQ(ToolPageAt(page, 2), 99);
  char text[400];
  ToolPageFormat(page, text, sizeof text);
  ToolPage back;
  ToolPageParse(text, &back);
  EXPECT_EQ(std::memcmp(&page, &back, sizeof page), 0);

  // Dropping tool 7, which stands in slot 5, on slot 0 moves it.
  ASSERT_EQ(ToolPageDrop(&page, 7, 41, 10, 2000), 1);
  EXPECT_EQ(page.slot[0], 7);
  EXPECT_EQ(page.slot[1], 3);
  int sevens = 0;
  for (int32_t t : page.slot) sevens += t == 7;
  EXPECT_EQ(sevens, 1);
  // Outside the button row nothing changes.
  EXPECT_EQ(ToolPageDrop(&page, 9, 41, 30, 2000), 0);
  EXPECT_EQ(ToolPageDrop(&page, 9, 39, 10, 2000), 0);
  // A full page: a drop on a real tool pushes slot 63 off the end.
  for (int i = 0; i < kToolPageSlots; ++i) page.slot[i] = i < 49 && i != 36 ? i : 98;
  page.slot[63] = 48;
  page.slot[48] = 99;
  ASSERT_EQ(ToolPageDrop(&page, 43, 41, 10, 5000), 1);
  EXPECT_EQ(page.slot[0], 43);
  EXPECT_EQ(page.slot[1], 0);
  EXPECT_EQ(page.slot[63], 98);  // 48 fell off; the old slot 62 moved to 63
}

TEST(ToolPage, ContextToolTakesEverySlotAndGivesThemBack) {
  ToolSlots s{{20, 0, 19, 1}, {}};
  int changed[4];
  ToolSlotsSelect(&s, 1, 43, changed);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(s.tool[i], 43);
  ToolSlotsSelect(&s, 3, 43, changed);  // again: the saved set stays
  ToolSlotsSelect(&s, 0, 9, changed);
  EXPECT_EQ(s.tool[0], 9);
  EXPECT_EQ(s.tool[1], 0);
  EXPECT_EQ(s.tool[2], 19);
  EXPECT_EQ(s.tool[3], 1);
  ToolSlotsSelect(&s, 2, 7, changed);
  EXPECT_EQ(changed[2], 1);
  EXPECT_EQ(changed[0] + changed[1] + changed[3], 0);
}

TEST(ChannelSet, SuffixesLengthsAndModes) {
  auto t = [](const char* name, int32_t len) {
    return ChanSetTake{name, name, 3, len, 48000, 3, {1, 0}};
  };
  std::vector<ChanSetTake> takes = {t("Song L", 100), t("Song R", 100), t("Song C", 100),
                                    t("Song Ls", 90), t("Other R", 100), t("Song 1_4", 100)};
  const void* out[17];
  int32_t stem = 0;
  EXPECT_EQ(ChanSetFind(takes[0], takes.data(), 2, 0, out, &stem), 2);
  EXPECT_EQ(out[0], takes[0].take);
  EXPECT_EQ(out[1], takes[1].take);
  EXPECT_EQ(stem, 4);
  // With Song C the set of L and R stays at 2; C alone belongs to none.
  EXPECT_EQ(ChanSetFind(takes[1], takes.data(), 3, 0, out, nullptr), 2);
  EXPECT_EQ(ChanSetFind(takes[2], takes.data(), 3, 0, out, nullptr), 1);
  EXPECT_EQ(out[0], takes[2].take);
  // A length mismatch never joins; nor another stem or another suffix style.
  std::vector<ChanSetTake> other = {t("Song L", 100), t("Song R", 99), t("Other R", 100),
                                    t("Song 2_4", 100)};
  EXPECT_EQ(ChanSetFind(other[0], other.data(), 4, 0, out, nullptr), 1);
  // Mode 1 asks the second in-use test, mode 2 none, other modes let none in.
  EXPECT_EQ(ChanSetFind(takes[0], takes.data(), 2, 1, out, nullptr), 1);
  EXPECT_EQ(ChanSetFind(takes[0], takes.data(), 2, 2, out, nullptr), 2);
  EXPECT_EQ(ChanSetFind(takes[0], takes.data(), 2, 3, out, nullptr), 1);
  // Not an Audio Take, or no suffix: alone, the whole name as the stem.
  ChanSetTake plain = t("Vocals", 100);
  EXPECT_EQ(ChanSetFind(plain, takes.data(), 6, 0, out, &stem), 1);
  EXPECT_EQ(stem, 6);
}

}  // namespace
