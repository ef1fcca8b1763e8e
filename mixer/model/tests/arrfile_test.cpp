// The arrangement file: golden images of each written version, upgrades of
// the old versions, damaged and hostile files, safe saving, selection-only
// writes, merging and flattening (runs natively and under Wine).
#include <algorithm>
#include <cmath>
#include <csignal>
#ifdef __linux__
#include <sys/resource.h>
#endif
#include <filesystem>

#include "mixer/model/util/strtab.h"
#include "mixer/model/tests/arrfile_fixture.h"
#include "tests/fakes/host_fake.h"

namespace {

// Reads `name` into fresh outs; the result of ReadArrFile.
struct ReadResult {
  int ok = 0;
  ArrRec* arr = nullptr;
  MrkList* markers = nullptr;
  uint32_t error = 0;
  uint32_t tempo = 0;
  ~ReadResult() {
    ArrHeap.Free(arr);
    MrkHeap.Free(markers);
  }
};

// "" when equal; else the first differing offset and both bytes there.
std::string FirstDiff(const std::vector<uint8_t>& got, const std::vector<uint8_t>& want) {
  if (got == want) return "";
  size_t i = 0;
  while (i < got.size() && i < want.size() && got[i] == want[i]) ++i;
  return "sizes " + std::to_string(got.size()) + "/" + std::to_string(want.size()) + ", offset " +
         std::to_string(i) + ": " + (i < got.size() ? std::to_string(got[i]) : "end") + " want " +
         (i < want.size() ? std::to_string(want[i]) : "end");
}

class CancelAfter : public ArrReadProgress {
 public:
  explicit CancelAfter(int32_t n) : n_(n) {}
  void SetRange(int32_t parts) override { range = parts; }
  int Step(int32_t done) override {
    steps.push_back(done);
    return done >= n_;
  }
  int32_t range = -1;
  std::vector<int32_t> steps;

 private:
  int32_t n_;
};

class ArrFileRw : public ArrFileTest {
 protected:
  void SetUp() override {
    ArrFileTest::SetUp();
    Host().Reset();
  }
  static bool Boxed(uint32_t id) {
    for (const HostBox& b : Host().boxes)
      if (b.id == id) return true;
    return false;
  }
  void Read(const char* name, ReadResult& r, int apply = 0, ArrReadProgress* progress = nullptr) {
    const std::string path = Path(name);
    ArrReadRequest req{path.c_str(), &r.arr, &r.markers, apply, &r.tempo, &r.error};
    r.ok = ReadArrFile(req, progress);
  }
  std::vector<uint8_t> Golden(const FileLayout& f) const { return BuildImage(f, Settings(), Locs()).bytes; }
};

// Writes the arrangement of each case, compares it byte for byte with the
// image built from the layout, reads it back and writes it again.
TEST_F(ArrFileRw, GoldenVersionsWriteReadRewrite) {
  struct Case {
    const char* what;
    FileLayout memory;  // what the arrangement holds (fields the writer keeps)
    FileLayout file;    // what the file must hold
  };
  FilePart a{0, 1000, 500, 0};
  FilePart b{0, 4000, 500, 1};
  FilePart aNew = a;  // in memory: fields that "AFFV2.2" cannot hold
  aNew.xinCurve = 3;
  aNew.xoutCurve = 5;
  aNew.layer = 2;
  FilePart over1{0, 1000, 3000, 0}, over2{0, 2000, 3000, 1, 1, 0, 1};
  FilePart over1File = over1, over2File = over2;
  over1File.overlap = 1;
  over2File.overlap = 0;
  FilePart ch0{0, 1000, 3000, 0, 5}, ch1{1, 2000, 3000, 1, 5};
  ch0.overlap = ch1.overlap = kArrNoLink;
  FilePart midi{0, 1000, 3000, 0, 1};
  midi.overlap = kArrNoLink;
  FilePart plain = a;
  plain.overlap = kArrNoLink;
  FilePart plainB = b;
  plainB.overlap = kArrNoLink;
  const std::vector<FileMarker> mk = {{1, 48000, "Verse"}, {3, 96000, "Chorus"}};
  // Tracks 1 to 3 record tracks 4 to 6 as one link group; track 2 links both ways.
  const std::vector<FileTrack> multi = {
      {1, 4, kTrkLinkNext, 3}, {2, 5, kTrkLinkNext | kTrkLinkPrev, 3}, {3, 6, kTrkLinkPrev, 3}};
  const FileTrack midiTrk{5, 1, 0, 21};

  std::vector<Case> cases = {
      {"2.2 zeroes the new fields", {"", {}, {aNew, b}, mk, {}}, {"AFFV2.2", {}, {a, b}, mk, {}}},
      {"2.4 for an overlap", {"", {}, {over1, over2}, {}, {}}, {"AFFV2.4", {}, {over1File, over2File}, {}, {}}},
      {"2.5 for a shared play channel", {"", {}, {ch0, ch1}, {}, {}}, {"AFFV2.5", {}, {ch0, ch1}, {}, {}}},
      {"2.6 for a multi-channel link", {"", multi, {plain, plainB}, {}, {}},
       {"AFFV2.6", multi, {plain, plainB}, {}, {}}},
      {"2.7 for Midi", {"", {midiTrk}, {midi}, {}, {}}, {"AFFV2.7", {midiTrk}, {midi}, {}, {}}},
  };
  Settings().SampleRate = 48000;
  Settings().Tempo = 9950;
  Settings().AutoTouchTimeout = 700;
  Settings().SnapshotFlags = 5;
  Locs().LeftLoc = 123;
  Locs().RightLoc = 4567;
  for (Case& c : cases) {
    SCOPED_TRACE(c.what);
    TearDown();
    SetUp();
    Settings().SampleRate = 48000;
    Settings().Tempo = 9950;
    Settings().AutoTouchTimeout = 700;
    Settings().SnapshotFlags = 5;
    Locs().LeftLoc = 123;
    Locs().RightLoc = 4567;
    Fill(c.memory);
    ASSERT_EQ(WriteArrFile(Path("a.arr").c_str(), arr, markers, 0), 1);
    // The Take table follows the order of the Takes in use; the writer marks
    // every Part it stored with flag bit 6.
    std::vector<TakeRec*> ring;
    for (TakeRec* t = TakeRingFirst(); t; t = TakeRingNext(t)) {
      ring.push_back(t);
      c.file.takes.push_back(*reinterpret_cast<const TakeId*>(TakeGetAttr(t, kTakeAttrId)));
    }
    for (FilePart& p : c.file.parts) {
      p.take = uint32_t(std::find(ring.begin(), ring.end(), takes_[p.take]) - ring.begin());
      ASSERT_LT(p.take, ring.size());
      p.flags |= kPartPassMark;
    }
    const std::vector<uint8_t> golden = Golden(c.file);
    EXPECT_EQ(FirstDiff(ReadBytes("a.arr"), golden), "");

    ReadResult r;
    Read("a.arr", r);
    ASSERT_EQ(r.ok, 1);
    EXPECT_EQ(r.error, 0u);
    ASSERT_EQ(WriteArrFile(Path("b.arr").c_str(), r.arr, r.markers, 0), 1);
    EXPECT_EQ(FirstDiff(ReadBytes("b.arr"), golden), "");
    EXPECT_TRUE(Host().boxes.empty());
  }
}

TEST_F(ArrFileRw, OldVersionsAreUpgraded) {
  FilePart p{0, 1000, 500, 0};
  p.kind = 0;  // not stored before 2.2
  p.layer = 7;
  p.xinPartner = 3;
  p.xoutPartner = 4;
  p.xinWin[1] = p.xoutWin[1] = 9;
  p.snap = 100;
  p.autoValue = 6;
  p.reserved = 0x55;
  const FileTrack rec{5, 2, 0, 0};
  for (const char* version : {"AFFV2.1", "AFFV2.2", "AFFV2.3"}) {
    SCOPED_TRACE(version);
    Settings() = ProjectSettings();
    Settings().SampleRate = 48000;
    Settings().AutoTouchTimeout = 5;
    Settings().SnapshotPartLen = 7;
    FileLayout f{version, {rec}, {p}, {}, {IdOf(0)}};
    FilePart& fp = f.parts[0];
    if (std::strcmp(version, "AFFV2.1") != 0) {
      fp.kind = 3;
      fp.layer = 0;  // 2.2 stores layer 0
      f.tracks[0].recKind = 3;
    }
    WriteBytes("old.arr", Golden(f));
    Settings() = ProjectSettings();
    ReadResult r;
    Read("old.arr", r, 1);
    ASSERT_EQ(r.ok, 1);
    const PartRec& got = *ArrPart(r.arr, r.arr->ListHead[0]);
    EXPECT_EQ(got.TakeKind, 3);
    EXPECT_EQ(got.Layer, 0);
    EXPECT_EQ(got.XfadeInPartner, kArrNoLink);
    EXPECT_EQ(got.XfadeOutPartner, kArrNoLink);
    EXPECT_EQ(got.XfadeInWindow[0], 0);
    EXPECT_EQ(got.XfadeInWindow[1], 255);
    EXPECT_EQ(got.XfadeOutWindow[1], 255);
    EXPECT_EQ(got.Reserved, 0u);
    EXPECT_EQ(got.Take, TakeRef(takes_[0]));
    const bool v21 = std::strcmp(version, "AFFV2.1") == 0;
    EXPECT_EQ(got.SnapPoint, v21 ? 0 : 100);
    EXPECT_EQ(got.AutoMapValue, v21 ? 0 : 6);
    EXPECT_EQ(r.arr->Trk[5].RecKind, 3u);  // 2.1 stores none
    // Settings from offset 56 on are not in a 2.1 file.
    EXPECT_EQ(Settings().SampleRate, 48000u);
    EXPECT_EQ(Settings().AutoTouchTimeout, v21 ? 1000u : 5u);
    EXPECT_EQ(Settings().AutoReturnTime, v21 ? 1000u : 0u);
    EXPECT_EQ(Settings().SnapshotPartLen, v21 ? 48000u : 7u);
  }
}

TEST_F(ArrFileRw, ApplyingSettingsTellsTheNeighbours) {
  FileLayout f{"AFFV2.2", {}, {}, {{2, 500, "M"}}, {}};
  Settings().CurFrameRate = 30;
  Settings().TcOffset = 99;
  WriteBytes("s.arr", Golden(f));
  Settings() = ProjectSettings();
  Services().arrChangeCount = Services().mixChangeCount = 5;
  ReadResult r;
  Read("s.arr", r, 1);
  ASSERT_EQ(r.ok, 1);
  EXPECT_EQ(Settings().CurFrameRate, 30u);
  EXPECT_EQ(Settings().TcOffset, 99u);
  EXPECT_TRUE(Services().Called("ConsoleNotifyFrameRate(30)")) << Services().Joined();
  EXPECT_TRUE(Services().Called("ConsoleNotifyTimecodeOffset(99)"));
  EXPECT_TRUE(Services().Called("NinePinSetTimecodeFormat(30)"));
  EXPECT_EQ(Services().Count("ConsoleNotifyMarker("), 999);
  EXPECT_TRUE(Services().Called("ConsoleNotifyMarker(2, 500)"));
  EXPECT_EQ(Services().arrChangeCount, 0u);
  EXPECT_EQ(Services().mixChangeCount, 0u);
}

// Damaged and hostile files: refused with their message, nothing handed
// back, the caller's arrangement untouched.
TEST_F(ArrFileRw, DamagedFilesAreRefused) {
  FilePart a{0, 1000, 500, 0}, b{0, 4000, 500, 0}, c{1, 100, 50, 0};
  a.overlap = b.overlap = c.overlap = kArrNoLink;
  const FileLayout f{"AFFV2.2", {}, {a, b, c}, {{1, 10, "A"}, {2, 20, "B"}}, {IdOf(0)}};
  const std::vector<uint8_t> good = Golden(f);
  const size_t arrAt = 8, heads = arrAt + 12292, slots = arrAt + 13316;
  const size_t mrkAt = slots + 3 * 128;
  struct Case {
    const char* what;
    std::function<void(ArrImage&)> damage;
    uint32_t message;
  };
  const std::vector<Case> cases = {
      {"one byte too many", [](ArrImage& i) { i.bytes.push_back(0); }, IDS_ARR_INVALID},
      {"one byte too few", [](ArrImage& i) { i.bytes.pop_back(); }, IDS_ARR_INVALID},
      {"unknown version", [](ArrImage& i) { i.U8(6, '8'); }, IDS_ARR_INVALID},
      {"slot count beyond the file", [&](ArrImage& i) { i.U32(arrAt, 0x7FFFFFFF); }, IDS_ARR_INVALID},
      {"marker count beyond 999", [&](ArrImage& i) { i.U32(mrkAt, 1000); }, IDS_ARR_INVALID},
      {"list head outside the slots", [&](ArrImage& i) { i.U32(heads + 4, 3); }, IDS_ARR_INVALID},
      {"next link outside the slots", [&](ArrImage& i) { i.U32(slots + 128 + 124, 77); }, IDS_ARR_INVALID},
      {"list cycle", [&](ArrImage& i) { i.U32(slots + 128 + 124, 0); }, IDS_ARR_INVALID},
      {"slot in two lists", [&](ArrImage& i) { i.U32(heads + 4, 1); }, IDS_ARR_INVALID},
      {"free slot in a list", [&](ArrImage& i) { i.I32(slots + 0, -1); }, IDS_ARR_INVALID},
      {"negative length", [&](ArrImage& i) { i.I32(slots + 96, -5); }, IDS_ARR_INVALID},
      {"play channel beyond 384", [&](ArrImage& i) { i.I32(slots + 72, 385); }, IDS_ARR_INVALID},
      {"marker chain cycle", [&](ArrImage& i) { i.U32(mrkAt + 8 + 88 + 84, 0); }, IDS_ARR_INVALID},
      {"marker chain outside", [&](ArrImage& i) { i.U32(mrkAt + 4, 9); }, IDS_ARR_INVALID},
      {"free marker in the chain", [&](ArrImage& i) { i.I32(mrkAt + 8 + 88, -1); }, IDS_ARR_INVALID},
      // Values that later arithmetic relies on.
      {"negative Take offset", [&](ArrImage& i) { i.I32(slots + 92, -1); }, IDS_ARR_INVALID},
      {"Take span past 32 bits", [&](ArrImage& i) { i.I32(slots + 92, 0x7FFFFF00); }, IDS_ARR_INVALID},
      {"fade curve 8", [&](ArrImage& i) { i.U8(slots + 76, 8); }, IDS_ARR_INVALID},
      {"crossfade-in curve 8 (2.4)", [&](ArrImage& i) { i.U8(6, '4'); i.U8(slots + 77, 8); }, IDS_ARR_INVALID},
      {"crossfade-out curve 8 (2.4)", [&](ArrImage& i) { i.U8(6, '4'); i.U16(slots + 78, 8); }, IDS_ARR_INVALID},
      {"gain at start above 65536", [&](ArrImage& i) { i.U32(slots + 80, 65537); }, IDS_ARR_INVALID},
      {"gain at end above 65536", [&](ArrImage& i) { i.U32(slots + 84, 0x80000000); }, IDS_ARR_INVALID},
      {"negative layer", [&](ArrImage& i) { i.U16(slots + 106, 0xFFFF); }, IDS_ARR_INVALID},
      {"marker chain out of position order", [&](ArrImage& i) { i.I32(mrkAt + 8 + 88, 5); }, IDS_ARR_INVALID},
      {"used marker outside the chain", [&](ArrImage& i) { i.U32(mrkAt + 4, 1); }, IDS_ARR_INVALID},
      {"negative marker position", [&](ArrImage& i) { i.I32(mrkAt + 8, -7); }, IDS_ARR_INVALID},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ArrImage img{good};
    c.damage(img);
    WriteBytes("bad.arr", img.bytes);
    Host().Reset();
    ReadResult r;
    r.arr = ArrNew(nullptr);
    ArrRec* before = r.arr;
    Read("bad.arr", r);
    EXPECT_EQ(r.ok, 0);
    EXPECT_EQ(r.arr, before);
    EXPECT_EQ(r.markers, nullptr);
    ASSERT_EQ(Host().boxes.size(), 1u);
    EXPECT_EQ(Host().boxes[0].id, c.message);
  }
  EXPECT_EQ(IsArrFile(Path("bad.arr").c_str()), 1);  // the last damage keeps the sizes
  ArrImage longer{good};
  longer.bytes.push_back(0);
  WriteBytes("long.arr", longer.bytes);
  EXPECT_EQ(IsArrFile(Path("long.arr").c_str()), 0);
  EXPECT_EQ(IsArrFile(Path("none.arr").c_str()), 0);

  Host().Reset();
  ReadResult missing;
  Read("none.arr", missing);
  EXPECT_EQ(missing.ok, 0);
  ASSERT_EQ(Host().boxes.size(), 1u);
  EXPECT_EQ(Host().boxes[0].id, IDS_ARR_NOT_FOUND);
}

TEST_F(ArrFileRw, TooManySlotsGives216) {
  FileLayout f{"AFFV2.2", {}, {}, {}, {}};
  f.parts.assign(kArrMaxParts + 1, FilePart{0, 0, 0, 0});
  for (uint32_t i = 0; i < f.parts.size(); ++i) f.parts[i].start = int32_t(i);
  WriteBytes("big.arr", Golden(f));
  ReadResult r;
  Read("big.arr", r);
  EXPECT_EQ(r.ok, 0);
  ASSERT_EQ(Host().boxes.size(), 1u);
  EXPECT_EQ(Host().boxes[0].id, IDS_MAX_PARTS_REACHED);
  // A caller that checks first (a dropped file) sees an arrangement file, so
  // that reading it shows this message and not "not an arrangement".
  EXPECT_EQ(IsArrFile(Path("big.arr").c_str()), 1);
}

// Parts whose Take entry matches no Take, lies outside the table, or whose
// Take is too short are dropped; the rest loads, and 172 follows.
TEST_F(ArrFileRw, MissingTakesDropOnlyTheirParts) {
  TakeId unknown{{0x99, 0x12, 0x31, 0x23, 0x59, 0x59, 0xFF, 0xFF}};
  FilePart keep{0, 1000, 500, 0}, lost{0, 2000, 500, 1}, outside{1, 0, 10, 7},
      tooLong{2, 0, 1000001, 0};
  const FileLayout f{"AFFV2.2", {}, {keep, lost, outside, tooLong}, {}, {IdOf(0), unknown}};
  WriteBytes("m.arr", Golden(f));
  ReadResult r;
  Read("m.arr", r);
  ASSERT_EQ(r.ok, 1);
  EXPECT_EQ(r.error, IDS_ARR_TAKES_MISSING);
  EXPECT_TRUE(Host().boxes.empty());
  int count = 0;
  ArrForEachPart(r.arr, [&](uint32_t track, uint32_t, const PartRec& p) {
    ++count;
    EXPECT_EQ(track, 0u);
    EXPECT_EQ(p.Start, 1000);
    EXPECT_EQ(p.Take, TakeRef(takes_[0]));
  });
  EXPECT_EQ(count, 1);

  // Without an error pointer the message is shown.
  ArrRec* a = nullptr;
  const std::string path = Path("m.arr");
  ArrReadRequest req{path.c_str(), &a, nullptr, 0, nullptr, nullptr};
  ASSERT_EQ(ReadArrFile(req, nullptr), 1);
  ASSERT_EQ(Host().boxes.size(), 1u);
  EXPECT_EQ(Host().boxes[0].id, IDS_ARR_TAKES_MISSING);
  ArrHeap.Free(a);
}

// A Part whose kind is not its Take's kind is dropped like a Part without
// its Take: bound to an open Take of another kind it would load, while the
// folder search (by the kind's extension) would not find that Take.
TEST_F(ArrFileRw, APartOfAnotherKindThanItsTakeIsDropped) {
  FilePart keep{0, 1000, 500, 0}, midi{1, 0, 100, 1};
  midi.kind = 21;
  WriteBytes("k.arr", Golden(FileLayout{"AFFV2.7", {}, {keep, midi}, {}, {IdOf(0), IdOf(1)}}));
  ReadResult r;
  Read("k.arr", r);
  ASSERT_EQ(r.ok, 1);
  EXPECT_EQ(r.error, IDS_ARR_TAKES_MISSING);
  std::vector<uint32_t> tracks;
  ArrForEachPart(r.arr, [&](uint32_t track, uint32_t, const PartRec&) { tracks.push_back(track); });
  EXPECT_EQ(tracks, std::vector<uint32_t>{0});
}

// A snap point outside its Part reads as none; one inside is kept.
TEST_F(ArrFileRw, ASnapPointOutsideItsPartIsCleared) {
  FilePart after{0, 0, 500, 0}, before{1, 0, 500, 0}, inside{2, 0, 500, 0}, atEnd{3, 0, 500, 0};
  after.snap = 600;
  before.snap = -3;
  inside.snap = 100;
  atEnd.snap = 500;
  WriteBytes("s.arr", Golden(FileLayout{"AFFV2.2", {}, {after, before, inside, atEnd}, {}, {IdOf(0)}}));
  ReadResult r;
  Read("s.arr", r);
  ASSERT_EQ(r.ok, 1);
  std::vector<int32_t> snaps;
  ArrForEachPart(r.arr, [&](uint32_t, uint32_t, const PartRec& p) { snaps.push_back(p.SnapPoint); });
  EXPECT_EQ(snaps, (std::vector<int32_t>{0, 0, 100, 0}));
}

// Without the arrangement asked for, its block and the Take table are
// skipped: no Part is bound (so none is missing), and the markers, the
// settings and the tempo are read all the same.
TEST_F(ArrFileRw, ReadingWithoutTheArrangementSkipsItsBlock) {
  TakeId unknown{{0x99, 0x12, 0x31, 0x23, 0x59, 0x59, 0xFF, 0xFF}};
  Settings().Tempo = 14000;
  Settings().SampleRate = 96000;
  WriteBytes("n.arr", Golden(FileLayout{"AFFV2.2", {}, {FilePart{0, 0, 10, 0}},
                                        {{1, 10, "A"}, {4, 40, "D"}}, {unknown}}));
  Settings() = ProjectSettings();
  MrkList* markersOut = nullptr;
  uint32_t error = 0, tempo = 0;
  const std::string path = Path("n.arr");
  ArrReadRequest req{path.c_str(), nullptr, &markersOut, 1, &tempo, &error};
  ASSERT_EQ(ReadArrFile(req, nullptr), 1);
  EXPECT_EQ(error, 0u);
  EXPECT_TRUE(Host().boxes.empty());
  EXPECT_EQ(tempo, 14000u);
  EXPECT_EQ(Settings().SampleRate, 96000u);
  std::vector<int32_t> positions;
  MrkForEach(markersOut, [&](uint32_t, const MrkRec& m) { positions.push_back(m.Position); });
  EXPECT_EQ(positions, (std::vector<int32_t>{10, 40}));
  MrkHeap.Free(markersOut);
}

TEST_F(ArrFileRw, CancelLeavesTheCallersArrangement) {
  FilePart a{0, 1000, 500, 0}, b{0, 4000, 500, 0};
  WriteBytes("c.arr", Golden(FileLayout{"AFFV2.2", {}, {a, b}, {{1, 5, "x"}}, {IdOf(0)}}));
  ReadResult r;
  r.arr = arr;
  arr = nullptr;
  r.markers = MrkListNew(nullptr);
  ArrRec* beforeArr = r.arr;
  MrkList* beforeMrk = r.markers;
  const uint32_t arrBlocks = ArrHeap.Blocks(), mrkBlocks = MrkHeap.Blocks();
  CancelAfter cancel(1);
  Read("c.arr", r, 1, &cancel);
  EXPECT_EQ(r.ok, 0);
  EXPECT_EQ(cancel.range, 2);
  EXPECT_EQ(cancel.steps, std::vector<int32_t>{1});
  EXPECT_EQ(r.arr, beforeArr);
  EXPECT_EQ(r.markers, beforeMrk);
  EXPECT_EQ(ArrHeap.Blocks(), arrBlocks);
  EXPECT_EQ(MrkHeap.Blocks(), mrkBlocks);
  EXPECT_TRUE(Services().log.empty()) << Services().Joined();  // no settings applied
}

TEST_F(ArrFileRw, PendingPassIsStoredMutedOnItsChannel) {
  FilePart rec{0, 1000, 500, 0, -3};
  Fill(FileLayout{"", {}, {rec}, {}, {}});
  ASSERT_EQ(WriteArrFile(Path("p.arr").c_str(), arr, nullptr, 0), 1);
  ReadResult r;
  Read("p.arr", r);
  ASSERT_EQ(r.ok, 1);
  EXPECT_EQ(ArrPart(r.arr, r.arr->ListHead[0])->PlayChannel, 195);
  EXPECT_EQ(ArrPart(arr, arr->ListHead[0])->PlayChannel, -3);  // the arrangement is not changed
}

TEST_F(ArrFileRw, SelectedOnlyWritesANewArrangementOfThem) {
  FilePart s1{0, 1000, 500, 0, 1, kPartSelected}, u{0, 3000, 500, 1}, s2{4, 200, 50, 0, 1, kPartSelected};
  Fill(FileLayout{"", {}, {s1, u, s2}, {}, {}});
  ASSERT_EQ(WriteArrFile(Path("sel.arr").c_str(), arr, nullptr, 1), 1);
  EXPECT_EQ(ArrCountSelParts(arr, kArrCountAll, 0), 2u);
  EXPECT_TRUE(ArrPart(arr, 0)->Flags & kPartSelected);
  EXPECT_TRUE(ArrPart(arr, 2)->Flags & kPartSelected);
  ReadResult r;
  Read("sel.arr", r);
  ASSERT_EQ(r.ok, 1);
  std::vector<std::pair<uint32_t, int32_t>> got;
  ArrForEachPart(r.arr, [&](uint32_t track, uint32_t, const PartRec& p) {
    got.push_back({track, p.Start});
    EXPECT_EQ(p.Flags & kPartSelected, 0u);
  });
  EXPECT_EQ(got, (std::vector<std::pair<uint32_t, int32_t>>{{0, 1000}, {4, 200}}));
}

// A save that fails keeps the previous file; a save never touches a file of
// the user's that bears a name the save could use for its temporary file.
TEST_F(ArrFileRw, SafeSaveKeepsTheOldFileAndTheUsersFiles) {
  Fill(FileLayout{"", {}, {FilePart{0, 1000, 500, 0}}, {}, {}});
  const std::vector<uint8_t> old = {'o', 'l', 'd'};
  const std::vector<uint8_t> users = {'m', 'i', 'n', 'e'};
  WriteBytes("keep.arr", old);
  // The temporary file cannot be created: the folder does not exist.
  EXPECT_EQ(WriteArrFile(Path("missing\\keep.arr").c_str(), arr, nullptr, 0), 0);
  EXPECT_TRUE(Boxed(IDS_ARR_CANT_OPEN));
  EXPECT_EQ(ReadBytes("keep.arr"), old);

  // Files and a folder under the names a temporary file might take.
  for (const char* name : {"keep.arr.tmp", "keep.arr.~1", "keep.arr.~3"}) WriteBytes(name, users);
  std::filesystem::create_directory(NativePath("keep.arr.~2"));
  Host().Reset();
  EXPECT_EQ(WriteArrFile(Path("keep.arr").c_str(), arr, nullptr, 0), 1);
  EXPECT_TRUE(Host().boxes.empty());
  EXPECT_EQ(IsArrFile(Path("keep.arr").c_str()), 1);
  for (const char* name : {"keep.arr.tmp", "keep.arr.~1", "keep.arr.~3"})
    EXPECT_EQ(ReadBytes(name), users) << name;
  EXPECT_TRUE(std::filesystem::is_directory(NativePath("keep.arr.~2")));
  EXPECT_FALSE(std::filesystem::exists(NativePath("keep.arr.~4")));

#ifdef __linux__
  // The disk fills during the write (a file size limit stands in): the old
  // file stays and no temporary file is left behind.
  WriteBytes("full.arr", old);
  Host().Reset();
  const auto previous = std::signal(SIGXFSZ, SIG_IGN);
  rlimit limit{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &limit), 0);
  rlimit small = limit;
  small.rlim_cur = 4096;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const int written = WriteArrFile(Path("full.arr").c_str(), arr, nullptr, 0);
  setrlimit(RLIMIT_FSIZE, &limit);
  std::signal(SIGXFSZ, previous);
  EXPECT_EQ(written, 0);
  EXPECT_TRUE(Boxed(IDS_ARR_RW_ERROR));
  EXPECT_EQ(ReadBytes("full.arr"), old);
  EXPECT_FALSE(std::filesystem::exists(NativePath("full.arr.~1")));
#endif
}

TEST_F(ArrFileRw, AppendCopiesEveryPartAtTheNowPosition) {
  Fill(FileLayout{"", {}, {FilePart{0, 100, 50, 0, 1, kPartSelected}}, {}, {}});
  ArrRec* loaded = ArrNew(nullptr);
  PartRec p = *ArrPart(arr, 0);
  p.Flags = 0;
  p.Start = 0;
  ArrInsertPart(&loaded, p, nullptr, 2, nullptr);
  p.Start = 500;
  ArrInsertPart(&loaded, p, nullptr, 3, nullptr);
  Locs().NowLoc = 10000;
  uint32_t error = 0;
  arr = ArrAppendArr(arr, loaded, &error);
  ArrHeap.Free(loaded);
  EXPECT_EQ(error, 0u);
  std::vector<std::pair<uint32_t, int32_t>> got;
  ArrForEachPart(arr, [&](uint32_t track, uint32_t, const PartRec& q) {
    got.emplace_back(track, q.Start);
    if (track == 0) {
      EXPECT_EQ(q.Flags & kPartSelected, 0u);  // the target's selection is cleared
    }
  });
  EXPECT_EQ(got, (std::vector<std::pair<uint32_t, int32_t>>{{0, 100}, {2, 10000}, {3, 10500}}));
}

// A higher layer over the middle of a lower Part flattens to three Parts on
// layer 0, the lower Part's gain ramp cut at the section ends.
TEST_F(ArrFileRw, FlattenKeepsOnlyTheVisibleSections) {
  Fill(FileLayout{"", {}, {FilePart{0, 0, 300, 0}, FilePart{0, 100, 100, 1, 1, 0, 1}}, {}, {}});
  ArrPart(arr, 0)->GainStart = 0;
  ArrPart(arr, 0)->GainEnd = 30000;
  ArrPart(arr, 0)->SnapPoint = 250;
  uint32_t error = 0;
  arr = ArrFlattenCopy(arr, &error);
  EXPECT_EQ(error, 0u);
  struct Want {
    int32_t start, length, offset;
    uint32_t gainStart, gainEnd;
    int32_t snap;
  };
  // The linear ramp from 0 to 30000 over 300 samples, at 100 and 200:
  // the shape x = position / length in 2^23 fixed point, truncated, then
  // from + floor(shape x 2^-23 x (to - from)).
  auto linear = [](double position, double from, double to, double length) {
    const double shape = std::trunc(position / length * 8388608.0);
    return uint32_t(from + std::floor(shape / 8388608.0 * (to - from)));
  };
  const uint32_t at100 = linear(100, 0, 30000, 300);  // 9999
  const uint32_t at200 = linear(200, 0, 30000, 300);  // 19999
  std::vector<Want> want = {
      {0, 100, 0, 0, at100, 0}, {100, 100, 0, 32768, 32768, 0}, {200, 100, 200, at200, 30000, 50}};
  std::vector<PartRec> got;
  ArrForEachTrackPart(arr, 0, [&](uint32_t, const PartRec& q) { got.push_back(q); });
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(got[i].Start, want[i].start);
    EXPECT_EQ(got[i].Length, want[i].length);
    EXPECT_EQ(got[i].Offset, want[i].offset);
    EXPECT_EQ(got[i].GainStart, want[i].gainStart);
    EXPECT_EQ(got[i].GainEnd, want[i].gainEnd);
    EXPECT_EQ(got[i].SnapPoint, want[i].snap);
    EXPECT_EQ(got[i].Layer, 0);
    EXPECT_EQ(got[i].XfadeInPartner, kArrNoLink);
  }
}

// Sections of Parts whose snap point lies near -2^31 or whose Take offset
// lies near 2^31 (possible in memory, refused or repaired when read) are cut
// in 64-bit arithmetic: the snap point falls outside and becomes none, the
// offset stops at the largest position.
TEST_F(ArrFileRw, FlattenCutsFarOutFieldsWithoutOverflow) {
  Fill(FileLayout{"", {}, {FilePart{0, 0, 300, 0}, FilePart{0, 0, 100, 1, 1, 0, 1},
                           FilePart{1, 0, 300, 0}, FilePart{1, 0, 100, 1, 1, 0, 1}},
                  {}, {}});
  ArrPart(arr, 0)->SnapPoint = INT32_MIN + 10;
  ArrPart(arr, 2)->Offset = INT32_MAX - 50;
  uint32_t error = 0;
  arr = ArrFlattenCopy(arr, &error);
  EXPECT_EQ(error, 0u);
  std::vector<PartRec> got;
  for (uint32_t track : {0u, 1u})
    ArrForEachTrackPart(arr, track, [&](uint32_t, const PartRec& q) { got.push_back(q); });
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(got[1].Start, 100);
  EXPECT_EQ(got[1].SnapPoint, 0);
  EXPECT_EQ(got[3].Start, 100);
  EXPECT_EQ(got[3].Offset, INT32_MAX);
}

}  // namespace
