// The in-memory profile store and the choice of the store in use.
#include "mixer/model/util/profile.h"

#include <gtest/gtest.h>

namespace {

TEST(MemProfile, NamesCompareWithoutCaseAndReadsAreBounded) {
  MemProfile p;
  char buf[8] = "x";
  EXPECT_EQ(p.GetString("C:\\A.ini", "Main", "Key", buf, sizeof buf), 0);  // nothing stored
  EXPECT_STREQ(buf, "");

  p.WriteString("C:\\A.ini", "Main", "Key", "0123456789");
  EXPECT_EQ(p.GetString("c:\\a.INI", "MAIN", "key", buf, sizeof buf), 7);
  EXPECT_STREQ(buf, "0123456");
  // The three names stay apart: another file, section or key finds nothing.
  EXPECT_EQ(p.GetString("C:\\B.ini", "Main", "Key", buf, sizeof buf), 0);
  EXPECT_EQ(p.GetString("C:\\A.ini", "Other", "Key", buf, sizeof buf), 0);
  EXPECT_EQ(p.GetString("C:\\A.ini", "Main", "Key2", buf, sizeof buf), 0);
  EXPECT_EQ(p.GetString("C:\\A.ini", "Main", "Key", buf, 0), 0);

  p.WriteString("C:\\A.ini", "MAIN", "KEY", "v");  // the same entry, replaced
  EXPECT_EQ(p.GetString("C:\\A.ini", "Main", "Key", buf, sizeof buf), 1);
  p.Clear();
  EXPECT_EQ(p.GetString("C:\\A.ini", "Main", "Key", buf, sizeof buf), 0);
}

TEST(CurProfile, IsTheInstalledStoreOrTheBuiltInOne) {
  MemProfile mine;
  SetProfile(&mine);
  EXPECT_EQ(&CurProfile(), &mine);
  SetProfile(nullptr);
  EXPECT_EQ(&CurProfile(), &BuiltInProfile());
}

}  // namespace
