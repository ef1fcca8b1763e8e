#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "mixer/mix/mixaut.h"
#include "mixer/mix/mixfile.h"
#include "mixer/mix/tests/mixfake.h"
#include "mixer/model/util/strtab.h"

namespace {

// Builds images from the record layout, independently of the writer.
struct Img {
  std::vector<uint8_t> b;
  void Bytes(const void* p, size_t n) { b.insert(b.end(), static_cast<const uint8_t*>(p), static_cast<const uint8_t*>(p) + n); }
  void W(uint32_t v) { Bytes(&v, 4); }
  void H(int16_t v) { Bytes(&v, 2); }
  void Zeros(size_t n) { b.insert(b.end(), n, 0); }
  void Text(const char* t, size_t n) {
    std::vector<uint8_t> f(n, 0);
    std::memcpy(f.data(), t, std::strlen(t));
    Bytes(f.data(), n);
  }
  void Header(const char* magic, uint32_t columns, uint32_t flags = 1) {
    Text(magic, 8);
    W(11); W(22); W(8); W(0); W(90);
    W(273 - 21);                  // content height 273
    W(273 + 2 * 4 + 40 - 25);     // window height 273
    W(0 - 16);                    // no vertical scroll
    W(columns); W(flags);
    Zeros(12);
  }
  void Column(uint32_t number, const char* name, uint32_t elems, uint32_t text = 0xFF, uint32_t back = 0xEE00) {
    W(number); Text(name, 64); W(elems); W(text); W(back); Zeros(8);
  }
  // An element whose state is the fake module's: {16, type, knob0, knob1}.
  void Elem(uint32_t type, int32_t ypos, int32_t unit, int32_t cls, int32_t index, int32_t knob0,
            std::vector<std::pair<int32_t, int32_t>> knobs = {}) {
    W(type); W(0); W(static_cast<uint32_t>(ypos)); W(unit); W(cls); W(index);
    W(16); W(static_cast<uint32_t>(knobs.size())); W(1); W(0); W(0);
    W(16); W(type); W(static_cast<uint32_t>(knob0)); W(0);
    for (auto [mode, over] : knobs) {
      W(mode); W(over); Zeros(24);
    }
  }
};

uint32_t At(const std::vector<uint8_t>& b, size_t off) {
  uint32_t v;
  std::memcpy(&v, b.data() + off, 4);
  return v;
}

std::vector<uint8_t> Write(MixDoc* doc) {
  std::vector<uint8_t> image;
  uint32_t length = 0;
  EXPECT_TRUE(MixBuildImage(doc, &image, &length));
  EXPECT_EQ(image.size() % 512, 0u);
  image.resize(length);
  return image;
}

MixDoc* Open(std::vector<uint8_t> image) {
  return MixOpenImage(image.data(), static_cast<uint32_t>(image.size()), 0);
}

TEST(MixFile, EmptyDocumentsMatchTheLayoutByteForByte) {
  MixFixture f;
  Img none;
  none.Header("MFFV2.1", 0);
  MixDoc* doc = Open(none.b);
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(doc->EditLock, 1);
  EXPECT_EQ(doc->WndHeight, 273);
  EXPECT_EQ(doc->ContentHeight, 273);
  EXPECT_EQ(Write(doc), none.b);
  EXPECT_EQ(Write(doc).size(), 60u);

  Img one;
  one.Header("MFFV2.1", 1);
  one.Column(4, "Drums", 0);
  MixDocDestroy(doc);
  doc = Open(one.b);
  ASSERT_NE(doc, nullptr);
  std::vector<uint8_t> block;
  uint32_t length = 0;
  ASSERT_TRUE(MixBuildImage(doc, &block, &length));
  EXPECT_EQ(length, 148u);
  EXPECT_EQ(block.size(), 512u);
  block.resize(length);
  EXPECT_EQ(block, one.b);
  MixDocDestroy(doc);
}

// The view words' transforms wrap, so extreme stored values read back and
// write out unchanged.
TEST(MixFile, ExtremeViewWordsRoundTrip) {
  MixFixture f;
  for (uint32_t v : {0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu}) {
    Img img;
    img.Header("MFFV2.1", 0);
    for (size_t off : {28, 32, 36}) std::memcpy(img.b.data() + off, &v, 4);
    MixDoc* doc = Open(img.b);
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(Write(doc), img.b);
    MixDocDestroy(doc);
    // A strip width no window could have reads as the full view.
    std::memcpy(img.b.data() + 24, &v, 4);
    doc = Open(img.b);
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->StripWidth, 90);
    EXPECT_EQ(MixColumnPitch(), 92);
    MixDocDestroy(doc);
  }
}

TEST(MixFile, OneByteMoreOrLessIsRefused) {
  MixFixture f;
  Img img;
  img.Header("MFFV2.2", 1);
  img.Column(0, "c", 2);
  img.Elem(kFakeInput, 0, 0, 1, 0, 5, {{2, 0}, {2, 0}});
  img.Elem(kFakeOutput, 40, 0, 2, 1, 6);
  char magic[8];
  EXPECT_EQ(MixCheckImage(img.b.data(), static_cast<uint32_t>(img.b.size()), magic), 1);
  EXPECT_EQ(std::string(magic, 7), "MFFV2.2");
  for (int delta : {-1, 1}) {
    std::vector<uint8_t> b = img.b;
    b.resize(b.size() + delta);
    EXPECT_EQ(MixCheckImage(b.data(), static_cast<uint32_t>(b.size()), nullptr), 0) << delta;
    f.host.messages.clear();
    EXPECT_EQ(Open(b), nullptr);
    EXPECT_EQ(f.host.messages, std::vector<uint32_t>{IDS_MIX_INVALID});
  }
}

TEST(MixFile, HostileCountsAndLengthsAreRefused) {
  MixFixture f;
  struct Case {
    const char* what;
    size_t offset;
    uint32_t value;
  } cases[] = {
      {"column count", 40, 0xFFFFFFFF},
      {"element count", 60 + 68, 0x7FFFFFFF},
      {"state length", 60 + 88 + 24, 0xFFFFFFF0},
      {"knob count", 60 + 88 + 28, 0x08000000},
      {"state length word", 60 + 88 + 44, 12},
      {"state shorter than its length word", 60 + 88 + 24, 2},
  };
  Img img;
  img.Header("MFFV2.0", 1);
  img.Column(0, "c", 1);
  img.Elem(kFakeInput, 0, 0, 1, 0, 5);
  for (const Case& c : cases) {
    std::vector<uint8_t> b = img.b;
    std::memcpy(b.data() + c.offset, &c.value, 4);
    EXPECT_EQ(MixCheckImage(b.data(), static_cast<uint32_t>(b.size()), nullptr), 0) << c.what;
  }
  for (uint32_t n = 0; n < 8; ++n)
    EXPECT_EQ(MixCheckImage(img.b.data(), n, nullptr), 0) << n;
  Img bad;
  bad.Header("MFFV3.0", 0);
  EXPECT_EQ(MixCheckImage(bad.b.data(), 60, nullptr), 0);
  Img far;
  far.Header("MFFV2.1", 1);
  far.Column(200, "out of range", 0);
  EXPECT_EQ(Open(far.b), nullptr);
  EXPECT_EQ(FakeLiveElements(), 0);
}

TEST(MixFile, ElementsRoundTripWithStatesRoutingAndKnobSettings) {
  MixFixture f;
  f.host.units = 2;
  MixDoc* doc = MixDocCreate(0);
  doc->AutomEnable = 1;
  doc->DelayComp = 1;
  MixColumn* col = MixColumnCreate(doc, 9, "Vocal", 1, 2);
  MixElem* in = MixElemCreate(kFakeInput, col, 0, 0, 0, 33);
  MixElem* fx = MixElemCreate(kFakeEffect, col, 30, 0, 0, 0);
  MixElem* out = MixElemCreate(kFakeOutput, col, 60, 0, 0, 0);
  in->Routing = MixEncodeRouting(1, 2, 17);
  fx->Routing = in->Routing;
  out->Routing = MixEncodeRouting(1, 4, 3);
  FakeSetKnob(kFakeInput, 0, 1234);
  in->Knobs[1].TrackOverride = 5;
  in->Knobs[0].EnableMode = 0;
  in->DspNumber = fx->DspNumber = out->DspNumber = 1;
  const std::vector<uint8_t> image = Write(doc);
  MixDocDestroy(doc);
  ASSERT_EQ(image.size(), 60u + 88 + (44 + 16 + 64) + (44 + 16 + 32) + (44 + 16 + 64));
  // The effect is written with its column's unit, class 0 and index 0.
  const size_t fxAt = 60 + 88 + 44 + 16 + 64;
  EXPECT_EQ(At(image, fxAt + 12), 1u);
  EXPECT_EQ(At(image, fxAt + 16), 0u);
  EXPECT_EQ(At(image, 44), 3u);

  f.aut.calls.clear();
  doc = Open(image);
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(doc->DelayComp, 1);
  MixColumn* c = MixColumnFind(doc, 9);
  ASSERT_NE(c, nullptr);
  EXPECT_STREQ(c->Name, "Vocal");
  MixElem* e = c->First;
  EXPECT_EQ(e->Routing, MixEncodeRouting(1, 2, 17));
  EXPECT_EQ(e->Knobs[0].EnableMode, 0);
  EXPECT_EQ(e->Knobs[1].TrackOverride, 5);
  EXPECT_EQ(e->Word2, 33);
  EXPECT_EQ(e->DspNumber, 1);
  EXPECT_EQ(e->Next->Routing, e->Routing);
  EXPECT_EQ(e->Next->Next->Routing, MixEncodeRouting(1, 4, 3));
  const std::vector<std::string> tracks = f.aut.Matching("track");
  ASSERT_GE(tracks.size(), 2u);
  EXPECT_EQ(tracks[0].substr(tracks[0].size() - 4), " 9 0");
  EXPECT_EQ(tracks[1].substr(tracks[1].size() - 4), " 4 0");  // override 5 = track 4
  EXPECT_EQ(MixIsChanged(doc), 0);
  EXPECT_EQ(Write(doc), image);
  FakeSetKnob(kFakeInput, 0, 99);
  EXPECT_EQ(MixIsChanged(doc), 1);
  MixDocDestroy(doc);
}

TEST(MixFile, UnknownTypesRoundTripAsDummiesApartFromThreeWords) {
  MixFixture f;
  Img img;
  img.Header("MFFV2.1", 1);
  img.Column(0, "c", 3);
  img.Elem(kFakeInput, 0, 0, 1, 2, 5, {{2, 0}, {2, 1}});
  img.Elem(4321, 30, 0, 0, 0, 7, {{2, 3}});
  img.Elem(kFakeOutput, 60, 0, 4, 1, 6, {{2, 0}, {0, 0}});
  MixDoc* doc = Open(img.b);
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(f.host.messages, std::vector<uint32_t>{IDS_MIX_UNKNOWN_ELEMS});
  MixElem* dummy = doc->First->First->Next;
  EXPECT_EQ(dummy->Type, kMixDummyType);
  EXPECT_EQ(Write(doc), img.b);
  dummy->YPos = 35;
  dummy->Blocked = 1;
  std::vector<uint8_t> moved = Write(doc);
  std::vector<uint8_t> want = img.b;
  const size_t at = 60 + 88 + 44 + 16 + 64;
  want[at + 4] = 1;
  want[at + 8] = 35;
  EXPECT_EQ(moved, want);
  MixDocDestroy(doc);

  // An unknown first or last element, or an unknown track type, drops the column.
  for (uint32_t type : {4321u, 201u}) {
    Img edge;
    edge.Header("MFFV2.1", 2);
    edge.Column(0, "kept", 1);
    edge.Elem(kFakeInput, 0, 0, 1, 2, 5);
    edge.Column(1, "dropped", 3);
    edge.Elem(kFakeInput, 0, 0, 1, 2, 5);
    edge.Elem(type, 30, 0, 0, 0, 7);
    edge.Elem(type == 201u ? kFakeOutput : type, 60, 0, 4, 1, 6);
    f.host.messages.clear();
    doc = Open(edge.b);
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(MixColumnCount(doc), 1);
    EXPECT_EQ(f.host.messages.back(), IDS_MIX_COLUMNS_DROPPED);
    MixDocDestroy(doc);
  }
  EXPECT_EQ(FakeLiveElements(), 0);
}

TEST(MixFile, UnavailableUnitsAskOnceThenBlockOrDrop) {
  MixFixture f;
  Img img;
  img.Header("MFFV2.1", 2);
  img.Column(0, "a", 1);
  img.Elem(kFakeInput, 0, 3, 1, 0, 5);
  img.Column(1, "b", 1);
  img.Elem(kFakeInput, 0, 2, 1, 0, 5);
  f.host.answer = kMixAnswerYes;
  MixDoc* doc = Open(img.b);
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(f.host.messages, std::vector<uint32_t>{IDS_MIX_UNIT_UNAVAILABLE});
  EXPECT_EQ(MixColumnCount(doc), 2);
  EXPECT_EQ(doc->First->First->Blocked, 1);
  EXPECT_EQ(MixDecodeRouting(doc->First->First->Routing).Unit, 0);
  MixDocDestroy(doc);
  f.host.messages.clear();
  f.host.answer = kMixAnswerNo;
  doc = Open(img.b);
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(MixColumnCount(doc), 0);
  EXPECT_EQ(f.host.messages, (std::vector<uint32_t>{IDS_MIX_UNIT_UNAVAILABLE, IDS_MIX_COLUMNS_DROPPED}));
  MixDocDestroy(doc);
}

// A file of the oldest version: 32-byte header, 72-byte columns, 20-byte
// elements with the older routing code and no knob records.
Img OldFile(uint32_t middleType) {
  Img img;
  img.Text("MFFV1.B", 8);
  img.W(1); img.W(2); img.W(6); img.W(0);
  img.H(250 - 21); img.H(56);
  img.W(1);
  img.W(3); img.Text("Old strip", 64); img.W(3);
  auto elem = [&img](uint32_t type, int32_t ypos, int32_t code) {
    img.W(type); img.W(0); img.W(static_cast<uint32_t>(ypos)); img.W(static_cast<uint32_t>(code)); img.W(16);
    img.W(16); img.W(type); img.W(9); img.W(0);
  };
  elem(kFakeInput, 0, 12);      // class 2, index 2
  elem(middleType, 30, 0);
  elem(kFakeOutput, 60, 40);    // class 4, index 2
  return img;
}

TEST(MixFile, OldFilesAreUpgradedAndRewrittenInTheNewLayout) {
  MixFixture f;
  MixDoc* doc = Open(OldFile(kFakeEffect).b);
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(doc->StripWidth, 56);
  EXPECT_EQ(MixColumnPitch(), 58);
  EXPECT_EQ(doc->ContentHeight, 250);
  EXPECT_EQ(doc->VScroll, 0);
  EXPECT_EQ(doc->AutomEnable, 1);
  MixColumn* c = doc->First;
  EXPECT_EQ(c->Colors[0], kMixDefaultNameText);
  EXPECT_EQ(c->First->Routing, MixEncodeRouting(0, 2, 2));
  EXPECT_EQ(c->Last->Routing, MixEncodeRouting(0, 4, 2));
  const std::vector<uint8_t> image = Write(doc);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(image.data())), "MFFV2.1");
  EXPECT_EQ(image.size(), 60u + 88 + 3 * (44 + 16) + (2 + 1 + 2) * 32);
  MixDocDestroy(doc);
  doc = Open(image);
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(Write(doc), image);
  MixDocDestroy(doc);
}

TEST(MixFile, AnOldUnknownElementIsSavedInTheNewLayoutAndReadsBack) {
  MixFixture f;
  MixDoc* doc = Open(OldFile(4321).b);
  ASSERT_NE(doc, nullptr);
  ASSERT_EQ(doc->First->First->Next->Type, kMixDummyType);
  const std::vector<uint8_t> image = Write(doc);
  MixDocDestroy(doc);
  EXPECT_EQ(MixCheckImage(image.data(), static_cast<uint32_t>(image.size()), nullptr), 1);
  const size_t dummyAt = 60 + 88 + 44 + 16 + 64;
  EXPECT_EQ(At(image, dummyAt), 4321u);
  EXPECT_EQ(At(image, dummyAt + 24), 16u);  // state length in its 2.x place
  EXPECT_EQ(At(image, dummyAt + 28), 0u);
  EXPECT_EQ(At(image, dummyAt + 44), 16u);  // the state follows the 44-byte header
  f.host.messages.clear();
  doc = Open(image);
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(doc->First->First->Next->Type, kMixDummyType);
  EXPECT_EQ(Write(doc), image);
  MixDocDestroy(doc);
}

TEST(MixFile, OlderTrackTypesAreConverted) {
  MixFixture f;
  f.host.units = 2;
  Img img;
  img.Header("MFFV2.0", 1);
  img.Column(0, "t", 2);
  img.Elem(200, 0, 1, 5, 3, 0);  // track element of unit 1: type 220, track 35 of unit 0
  img.Elem(kFakeOutput, 40, 0, 4, 0, 0);
  // Type 220 is not offered here, so the first element drops the column,
  // but the conversion is still noted.
  MixDoc* doc = Open(img.b);
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(f.host.messages, (std::vector<uint32_t>{IDS_MIX_TRK_CONVERTED, IDS_MIX_COLUMNS_DROPPED}));
  MixDocDestroy(doc);
}

TEST(MixFile, FilesAreWrittenAndReadThroughTheFileLayer) {
  MixFixture f;
  MixDoc* doc = MixDocCreate(0);
  MixElemCreate(kFakeEffect, MixColumnCreate(doc, 2, "fx", 0, 0), 0, 0, 0, 0);
  const std::string path = ::testing::TempDir() + "mixfile_test.MIX";
  ASSERT_EQ(MixWriteFile(doc, path.c_str()), 1);
  MixDocDestroy(doc);
  doc = MixReadFile(path.c_str(), 0);
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(MixColumnFind(doc, 2)->First->Type, kFakeEffect);
  MixDocDestroy(doc);
  std::remove(path.c_str());
  EXPECT_EQ(MixReadFile(path.c_str(), 0), nullptr);
  EXPECT_EQ(f.host.messages.back(), IDS_MIX_NOT_FOUND);
  doc = MixDocCreate(0);
  EXPECT_EQ(MixWriteFile(doc, (::testing::TempDir() + "no/such/dir/x.MIX").c_str()), 0);
  EXPECT_EQ(f.host.messages.back(), IDS_MIX_CANT_OPEN);
  MixDocDestroy(doc);
}

}  // namespace
