#include "mixer/model/docnames.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

struct DocNameOps {
  const char* doc;
  void (*clear)();
  int (*set)(const char*, int32_t);
  int (*get)(char*, int);
};

const DocNameOps kDocs[] = {
    {"arrangement", ArrNameClear, ArrNameSet, ArrNameGet},
    {"mix", MixNameClear, MixNameSet, MixNameGet},
};

}  // namespace

TEST(DocNames, SetGetClear) {
  for (const DocNameOps& d : kDocs) {
    char out[kDocNameSize];
    d.clear();
    EXPECT_EQ(d.get(out, sizeof out), 0) << d.doc;
    EXPECT_STREQ(out, "");
    EXPECT_EQ(d.set("C:\\Songs\\a.arr", 1), 1) << d.doc;
    EXPECT_EQ(d.get(out, sizeof out), 14) << d.doc;
    EXPECT_STREQ(out, "C:\\Songs\\a.arr");
    d.clear();
    EXPECT_EQ(d.get(out, sizeof out), 0) << d.doc;
  }
  // The two names are kept apart.
  ArrNameSet("a.arr", 1);
  MixNameSet("m.mix", 1);
  char out[16];
  ArrNameGet(out, sizeof out);
  EXPECT_STREQ(out, "a.arr");
}

TEST(DocNames, LongestNameAndBuffers) {
  const std::string longest(259, 'x'), tooLong(260, 'y');
  for (const DocNameOps& d : kDocs) {
    char out[kDocNameSize + 1];
    EXPECT_EQ(d.set(longest.c_str(), 1), 1) << d.doc;
    EXPECT_EQ(d.set(tooLong.c_str(), 1), 0) << d.doc;  // refused, previous kept
    EXPECT_EQ(d.get(out, kDocNameSize), 259) << d.doc;
    EXPECT_EQ(std::string(out), longest);

    d.set("abc", 1);
    std::memset(out, '#', sizeof out);
    EXPECT_EQ(d.get(out, 3), 0) << d.doc;  // one too small: nothing cut
    EXPECT_STREQ(out, "");
    EXPECT_EQ(out[1], '#');
  }
}
