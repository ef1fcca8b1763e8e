// Shared set-up of the arrangement file tests: a temporary folder with an
// open Take store and two Audio Takes, default settings, and a byte image
// of a file built field by field from the file's layout (never by the
// writer under test).
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "mixer/model/arr.h"
#include "mixer/model/arrfile.h"
#include "mixer/model/arrheap.h"
#include "mixer/model/blockheap.h"
#include "mixer/model/marker.h"
#include "mixer/model/settings.h"
#include "mixer/model/take.h"
#include "mixer/model/takeattr.h"
#include "tests/fakes/services_fake.h"

// A file image, written at offsets.
struct ArrImage {
  std::vector<uint8_t> bytes;

  void Put(size_t at, const void* src, size_t size) {
    if (bytes.size() < at + size) bytes.resize(at + size);
    std::memcpy(bytes.data() + at, src, size);
  }
  void U8(size_t at, uint8_t v) { Put(at, &v, 1); }
  void U16(size_t at, uint16_t v) { Put(at, &v, 2); }
  void U32(size_t at, uint32_t v) { Put(at, &v, 4); }
  void I32(size_t at, int32_t v) { Put(at, &v, 4); }
  uint32_t GetU32(size_t at) const {
    uint32_t v;
    std::memcpy(&v, bytes.data() + at, 4);
    return v;
  }
};

// One Part as the file stores it.
struct FilePart {
  uint32_t track;
  int32_t start;
  int32_t length;
  uint32_t take;  // index into the Take table
  int32_t channel = 1;
  uint32_t flags = 0;
  int16_t layer = 0;
  uint16_t overlap = 0;
  uint16_t kind = 3;
  uint8_t xinCurve = 0;
  uint16_t xoutCurve = 0;
  uint16_t xinPartner = kArrNoLink, xoutPartner = kArrNoLink;
  uint8_t xinWin[2] = {0, 255}, xoutWin[2] = {0, 255};
  int32_t snap = 0;
  uint16_t autoValue = 0;
  uint32_t reserved = 0;
  std::string name = "Part";
};

struct FileTrack {
  uint32_t track;
  uint32_t recTrack;
  uint32_t flags;
  uint32_t recKind;
};

struct FileMarker {
  uint32_t number;
  int32_t position;
  std::string name;
};

// The whole file. Parts are in slot order; each track's Parts must be in
// start order, so that slot order is list order.
struct FileLayout {
  const char* version;
  std::vector<FileTrack> tracks;
  std::vector<FilePart> parts;
  std::vector<FileMarker> markers;  // in number order and position order
  std::vector<TakeId> takes;
};

inline ArrImage BuildImage(const FileLayout& f, const ProjectSettings& s, const Locators& locs) {
  ArrImage img;
  char text[8] = {};
  std::strncpy(text, f.version, 7);
  img.Put(0, text, 8);
  const size_t arrAt = 8;
  const uint32_t n = static_cast<uint32_t>(f.parts.size());
  img.U32(arrAt, n);
  for (const FileTrack& t : f.tracks) {
    img.U32(arrAt + 4 + 48 * t.track + 32, t.recTrack);
    img.U32(arrAt + 4 + 48 * t.track + 36, t.flags);
    img.U32(arrAt + 4 + 48 * t.track + 40, t.recKind);
  }
  for (uint32_t tr = 0; tr < 256; ++tr) img.U32(arrAt + 12292 + 4 * tr, 0xFFFFFFFF);
  std::vector<int64_t> last(256, -1);
  for (uint32_t slot = 0; slot < n; ++slot) {
    const FilePart& p = f.parts[slot];
    const size_t at = arrAt + 13316 + 128 * size_t{slot};
    if (last[p.track] < 0) img.U32(arrAt + 12292 + 4 * p.track, slot);
    else img.U32(arrAt + 13316 + 128 * size_t(last[p.track]) + 124, slot);
    last[p.track] = slot;
    img.I32(at + 0, p.start);
    char name[64] = {};
    std::strncpy(name, p.name.c_str(), 63);
    img.Put(at + 4, name, 64);
    img.U32(at + 68, p.flags);
    img.I32(at + 72, p.channel);
    img.U8(at + 76, 0);
    img.U8(at + 77, p.xinCurve);
    img.U16(at + 78, p.xoutCurve);
    img.U32(at + 80, 32768);
    img.U32(at + 84, 32768);
    img.U32(at + 88, p.take);
    img.I32(at + 92, 0);
    img.I32(at + 96, p.length);
    img.U16(at + 100, p.kind);
    img.U16(at + 102, p.overlap);
    img.U16(at + 104, p.autoValue);
    img.U16(at + 106, static_cast<uint16_t>(p.layer));
    img.U16(at + 108, p.xinPartner);
    img.U8(at + 110, p.xinWin[0]);
    img.U8(at + 111, p.xinWin[1]);
    img.U16(at + 112, p.xoutPartner);
    img.U8(at + 114, p.xoutWin[0]);
    img.U8(at + 115, p.xoutWin[1]);
    img.I32(at + 116, p.snap);
    img.U32(at + 120, p.reserved);
    img.U32(at + 124, 0xFFFFFFFF);
  }
  size_t at = arrAt + 13316 + 128 * size_t{n};
  const uint32_t m = f.markers.empty() ? 0 : f.markers.back().number;
  img.U32(at, m);
  img.U32(at + 4, f.markers.empty() ? 0xFFFFFFFF : f.markers.front().number - 1);
  for (uint32_t i = 0; i < m; ++i) {
    img.I32(at + 8 + 88 * i, -1);
    img.Put(at + 8 + 88 * i + 4, std::string(80, '\0').data(), 80);
    img.U32(at + 8 + 88 * i + 84, 0xFFFFFFFF);
  }
  for (size_t k = 0; k < f.markers.size(); ++k) {
    const FileMarker& mk = f.markers[k];
    const size_t rec = at + 8 + 88 * size_t(mk.number - 1);
    img.I32(rec, mk.position);
    char name[64] = {};
    std::strncpy(name, mk.name.c_str(), 63);
    img.Put(rec + 4, name, 64);
    img.U32(rec + 84, k + 1 < f.markers.size() ? f.markers[k + 1].number - 1 : 0xFFFFFFFF);
  }
  at += 8 + 88 * size_t{m};
  img.U32(at, static_cast<uint32_t>(f.takes.size()));
  at += 4;
  for (const TakeId& id : f.takes) {
    img.Put(at, &id, 8);
    at += 8;
  }
  const uint32_t words[] = {s.SampleRate, s.CurFrameRate,   s.MeterNum,   s.MeterDen,
                            s.Tempo,      s.PlayRecMode,    s.PreRoll,    1,
                            s.TcOffset,   s.SyncSource,     s.PostRoll,   s.MaxRecTime,
                            uint32_t(locs.LeftLoc), uint32_t(locs.RightLoc),
                            s.AutoTouchTimeout, s.AutoReturnTime, s.AutoThinFactor};
  for (size_t i = 0; i < std::size(words); ++i) img.U32(at + 4 * i, words[i]);
  img.U16(at + 68, s.AutoRecMode);
  img.U16(at + 70, s.AutoFlags);
  img.U32(at + 72, s.SnapshotPartLen);
  img.U32(at + 76, s.SnapshotFadeIn);
  img.U32(at + 80, s.SnapshotFadeOut);
  img.U32(at + 84, s.SnapshotFlags);
  img.Put(at + 88, std::string(80, '\0').data(), 80);
  return img;
}

class ArrFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static int serial = 0;
    root_ = std::filesystem::temp_directory_path() /
            ("arrfile_test_" + std::to_string(reinterpret_cast<uintptr_t>(this)) + "_" +
             std::to_string(serial++));
    std::filesystem::remove_all(root_);
    std::filesystem::create_directories(root_);
    dir_ = ModelPath(root_) + "\\";
    Services().Reset();
    Settings() = ProjectSettings();
    Locs() = Locators();
    for (int i = 0; i < 8; ++i) TakeSetDomainDirectory(i, "");
    ASSERT_EQ(TakeStoreOpen(), 1);
    takes_.clear();
    for (const char* name : {"Kick", "Snare"}) {
      uint32_t error = 0;
      TakeRec* t = TakeCreateAudio(dir_.c_str(), 2, 1000000, 0, 48000, 0, 1, name, "", nullptr,
                                   nullptr, &error);
      ASSERT_NE(t, nullptr) << error;
      takes_.push_back(t);
    }
    arr = ArrNew(nullptr);
    ASSERT_NE(arr, nullptr);
  }
  void TearDown() override {
    ArrHeap.Free(arr);
    MrkHeap.Free(markers);
    arr = nullptr;
    markers = nullptr;
    TakeStoreClose();
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }

  static std::string ModelPath(const std::filesystem::path& p) {
    std::string s = p.string();
    for (char& c : s)
      if (c == '/') c = '\\';
    return s;
  }
  std::string Path(const char* name) const { return dir_ + name; }
  std::string NativePath(const char* name) const { return (root_ / name).string(); }

  std::vector<uint8_t> ReadBytes(const char* name) const {
    std::ifstream in(NativePath(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  void WriteBytes(const char* name, const std::vector<uint8_t>& bytes) const {
    std::ofstream out(NativePath(name), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  }

  TakeId IdOf(int k) const {
    return *reinterpret_cast<const TakeId*>(TakeGetAttr(takes_[k], kTakeAttrId));
  }

  // Adds the Parts and tracks of the layout to `arr`, each Part playing
  // Take takes_[p.take].
  void Fill(const FileLayout& f) {
    for (const FileTrack& t : f.tracks) {
      arr->Trk[t.track].RecTrack = t.recTrack;
      arr->Trk[t.track].Flags = t.flags;
      arr->Trk[t.track].RecKind = t.recKind;
    }
    for (const FilePart& p : f.parts) {
      PartRec r;
      std::memset(&r, 0, sizeof r);
      r.Start = p.start;
      std::strncpy(r.Name, p.name.c_str(), 63);
      r.Flags = p.flags;
      r.PlayChannel = p.channel;
      r.XfadeInCurve = p.xinCurve;
      r.XfadeOutCurve = p.xoutCurve;
      r.GainStart = r.GainEnd = 32768;
      r.Take = TakeRef(takes_[p.take]);
      r.Length = p.length;
      r.TakeKind = p.kind;
      r.AutoMapValue = p.autoValue;
      r.Layer = p.layer;
      r.XfadeInPartner = p.xinPartner;
      r.XfadeOutPartner = p.xoutPartner;
      std::memcpy(r.XfadeInWindow, p.xinWin, 2);
      std::memcpy(r.XfadeOutWindow, p.xoutWin, 2);
      r.SnapPoint = p.snap;
      r.Next = kArrNoSlot;
      ASSERT_EQ(ArrInsertPart(&arr, r, nullptr, p.track, nullptr), 1);
    }
    ArrRelinkOverlaps(arr);
    for (const FileMarker& mk : f.markers) {
      if (markers == nullptr) markers = MrkListNew(nullptr);
      MrkRec rec;
      std::memset(&rec, 0, sizeof rec);
      rec.Position = mk.position;
      std::strncpy(rec.Name, mk.name.c_str(), 63);
      ASSERT_EQ(MrkInsert(&markers, rec, mk.number, nullptr), 1);
    }
  }

  std::filesystem::path root_;
  std::string dir_;
  std::vector<TakeRec*> takes_;
  ArrRec* arr = nullptr;
  MrkList* markers = nullptr;
};
