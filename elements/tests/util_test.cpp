// The element modules' string table, bounded copies, path joining and the
// live-element list.
#include <gtest/gtest.h>

#include <cstring>

#include "elements/elemfiles.h"
#include "elements/elemlist.h"
#include "elements/elemstr.h"

TEST(ElemStrings, SectionsKeysAndBoundedLoads) {
  EXPECT_STREQ(ElemStrText(IDS_SKIN_FOLDER), "..\\..\\Skins\\");
  EXPECT_STREQ(ElemStrText(IDS_SKIN_EXT), "skn");
  EXPECT_STREQ(ElemStrText(IDS_HOST_MAINWND), "MainWnd");
  EXPECT_STREQ(ElemStrText(IDS_HOST_SKINPATH), "SkinPath");
  EXPECT_STREQ(ElemStrText(261), "Common");
  EXPECT_STREQ(ElemStrText(262), "EQ 2-Band");
  EXPECT_STREQ(ElemStrText(263), "Send Pre/Post");
  EXPECT_STREQ(ElemStrText(264), "Track");
  EXPECT_STREQ(ElemStrText(IDS_col_RotPot_Border), "col_RotPot_Border");
  EXPECT_STREQ(ElemStrText(999), "");

  char buf[5];
  std::memset(buf, 'x', sizeof buf);
  EXPECT_EQ(ElemStrLoad(IDS_HOST_MAINWND, buf, sizeof buf), 4);
  EXPECT_STREQ(buf, "Main");
  EXPECT_EQ(ElemStrLoad(IDS_HOST_MAINWND, buf, 0), 0);
  EXPECT_EQ(ElemStrEquals("Track", IDS_SKIN_TRACK), 1);
  EXPECT_EQ(ElemStrEquals("track", IDS_SKIN_TRACK), 0);
  EXPECT_EQ(ElemStrEquals(nullptr, IDS_SKIN_TRACK), 0);
}

TEST(ElemCopyString, CopiesOnlyWhatFitsWhole) {
  char buf[4] = "old";
  EXPECT_EQ(ElemCopyString(buf, sizeof buf, "abcd"), 0);
  EXPECT_STREQ(buf, "old");
  EXPECT_EQ(ElemCopyString(buf, sizeof buf, "abc"), 1);
  EXPECT_STREQ(buf, "abc");
  EXPECT_EQ(ElemCopyString(buf, 0, "a"), 0);
}

TEST(ElemJoinPath, ResolvesAgainstTheFolder) {
  struct Case {
    const char* path;
    const char* folder;
    const char* joined;
  } cases[] = {
      {"..\\..\\Skins\\", "C:\\Prog\\Mix\\Elem", "C:\\Prog\\Skins\\"},
      {"img\\mute.bmp", "C:\\Skins\\", "C:\\Skins\\img\\mute.bmp"},
      {".\\a\\..\\b.bmp", "C:\\S", "C:\\S\\b.bmp"},
      {"..\\..\\..\\x", "C:\\a", "C:\\x"},
      {"D:\\abs\\f.skn", "C:\\S", "D:\\abs\\f.skn"},
      {"\\root\\f", "C:\\S", "\\root\\f"},
  };
  for (const Case& c : cases) {
    char p[64];
    std::strcpy(p, c.path);
    EXPECT_EQ(ElemJoinPath(p, sizeof p, c.folder), 1) << c.path;
    EXPECT_STREQ(p, c.joined) << c.path;
  }
  char small[12] = "abc";
  EXPECT_EQ(ElemJoinPath(small, sizeof small, "C:\\long\\folder"), 0);
  EXPECT_STREQ(small, "abc");
}

TEST(ElemList, AppendsAtTheTailAndUnlinksOnlyMembers) {
  ElemList list;
  ElemLink a{}, b{}, c{}, stranger{};
  ElemListAppend(&list, &a);
  ElemListAppend(&list, &b);
  ElemListAppend(&list, &c);
  EXPECT_EQ(list.Head, &a);
  EXPECT_EQ(a.Next, &b);
  EXPECT_EQ(b.Next, &c);
  EXPECT_EQ(ElemListUnlink(&list, &stranger), 0);
  EXPECT_EQ(ElemListUnlink(&list, &b), 1);
  EXPECT_EQ(a.Next, &c);
  EXPECT_EQ(ElemListUnlink(&list, &b), 0);
  EXPECT_EQ(ElemListUnlink(&list, &a), 1);
  EXPECT_EQ(list.Head, &c);
  EXPECT_EQ(ElemListHas(&list, &c), 1);
  EXPECT_EQ(ElemListHas(&list, &a), 0);
}
