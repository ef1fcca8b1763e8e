// The external module host against a fixture arrangement over real Take
// files: the module scan, every service slot with its error codes, and
// whole runs of the time module (linked Parts cut alike, undo, a failed or
// aborted run leaving the arrangement and the Take folder as they were).
#include <filesystem>
#include <map>
#include <set>
#include <string>

#include "edit_fixture.h"
#include "mixer/arrange/eophost.h"
#include "mixer/model/options.h"
#include "mixer/arrange/partcmds.h"
#include "mixer/arrange/procdrv.h"
#include "mixer/model/takeattr.h"
#include "mixer/model/takeio.h"
#include "mixer/model/undo.h"
#include "timemodule/tmmodule.h"

namespace fs = std::filesystem;

namespace {

std::string ModelPath(const fs::path& p) {
  std::string s = p.string();
  for (char& c : s)
    if (c == '/') c = '\\';
  return s;
}

// ---- In-process modules ----

struct FakeModule {
  uint32_t version = 102;
  uint32_t revision = 8;
  std::vector<std::pair<uint32_t, uint32_t>> processes;  // {kind, id}
  bool missingEntry = false;
};
std::map<std::string, FakeModule> g_modules;
std::vector<std::string> g_loaded, g_freed;
const EOPHOSTFUNCS* g_host = nullptr;
std::function<int32_t(uint32_t, uint32_t, const EOPHOSTFUNCS*)> g_process;

// Every fake module answers through these three, reading the module last
// bound (the test loads one at a time).
FakeModule* g_bound = nullptr;
int32_t EOP_CALL FakeGetModuleInfo(EOPMODINFO* info) {
  info->Revision = g_bound->revision;
  info->Version = g_bound->version;
  info->ProcessCount = static_cast<uint32_t>(g_bound->processes.size());
  return 1;
}
std::vector<FakeModule*> g_byModule;  // kept modules, in order
int32_t EOP_CALL FakeGetPlugInInfo(uint32_t index, EOPPLUGININFO* info);
int32_t EOP_CALL FakeProcess(uint32_t index, uintptr_t window, uint32_t flag, const EOPHOSTFUNCS* host) {
  g_host = host;
  return g_process ? g_process(index, flag, host) : 0;
}

class TestPlatform : public EopPlatform {
 public:
  std::vector<std::string> names;
  std::vector<std::string> ListModules(const std::string&) override { return names; }
  void* Load(const std::string& path) override {
    const std::string name = path.substr(path.find_last_of('\\') + 1);
    g_loaded.push_back(name);
    auto it = g_modules.find(name);
    if (it == g_modules.end()) return nullptr;
    g_bound = &it->second;
    return &it->second;
  }
  void* Bind(void* lib, const char* name) override {
    auto* m = static_cast<FakeModule*>(lib);
    if (std::string(name) == "_QVEOP_GetModuleInfo@4") return reinterpret_cast<void*>(&FakeGetModuleInfo);
    if (std::string(name) == "_QVEOP_GetPlugInInfo@8") return m->missingEntry ? nullptr : reinterpret_cast<void*>(&FakeGetPlugInInfo);
    if (std::string(name) == "_QVEOP_Process@16") return reinterpret_cast<void*>(&FakeProcess);
    return nullptr;
  }
  void Free(void* lib) override {
    for (auto& [n, m] : g_modules)
      if (&m == lib) g_freed.push_back(n);
  }
  void EnableWindows(int e) override { FakeLog("EnableWindows(%d)", e); }
  int toolMenuPick = -1;
  int ToolMenu(int button, uintptr_t, int x, int y) override {
    FakeLog("ToolMenu(%d, %d, %d)", button, x, y);
    return toolMenuPick;
  }
};

// The plug-in records come from the one module the tests keep.
FakeModule* g_only = nullptr;
int32_t EOP_CALL FakeGetPlugInInfo(uint32_t index, EOPPLUGININFO* info) {
  if (g_only == nullptr || index >= g_only->processes.size()) return 0;
  info->Kind = g_only->processes[index].first;
  info->ProcessId = g_only->processes[index].second;
  std::snprintf(info->Name, sizeof info->Name, "Process %u", index);
  return 1;
}

// The time module behind a test UI: a fixed length from its dialog, the
// blocks run at once, an abort after some blocks.
class RunUi : public tmod::TmUi {
 public:
  int32_t answer = 0;
  int abortAfter = -1;
  int pumps = 0;
  std::vector<std::string> messages;
  int32_t ParamDialog(tmod::TmParams&, const std::string&) override { return answer; }
  void Message(const std::string& text, const std::string&) override { messages.push_back(text); }
  int32_t Progress(const tmod::TmRun& run, const EOPHOSTFUNCS& host) override {
    return tmod::TmProcessBlocks(run, host, *this);
  }
  int Pump() override { return ++pumps == abortAfter; }
};

class EopHost : public EditFixture {
 protected:
  TestPlatform platform;
  void SetUp() override {
    EditFixture::SetUp();
    static int serial = 0;
    root_ = fs::temp_directory_path() / ("eophost_" + std::to_string(serial++) + "_" +
                                         std::to_string(reinterpret_cast<uintptr_t>(this)));
    fs::remove_all(root_);
    fs::create_directories(root_ / "src");
    fs::create_directories(root_ / "proc");
    ProcOpts() = ProcOptions();
    ProcOpts().folder = ModelPath(root_ / "proc") + "\\";
    ProcOpts().delUnRefATk = 40884;
    g_modules.clear();
    g_loaded.clear();
    g_freed.clear();
    g_process = nullptr;
    EopSetPlatform(&platform);
    Settings().SampleRate = 48000;
    h = &EopHostFuncs();
  }
  void TearDown() override {
    EopFreeModules();
    EopSetPlatform(nullptr);
    g_only = nullptr;
    EditFixture::TearDown();
    std::error_code ec;
    fs::remove_all(root_, ec);
  }
  // One time module with its three processes, loaded.
  void LoadTimeModule() {
    g_modules["QVEOLP1.DLL"] = FakeModule{102, 8, {{2, 200}, {2, 201}, {2, 202}}};
    platform.names = {"QVEOLP1.DLL"};
    ASSERT_EQ(EopScanModules("C:\\Mods\\"), 1);
    g_only = &g_modules["QVEOLP1.DLL"];
  }
  // A 24-bit Audio Take of n samples whose sample i is fn(i) (32-bit words).
  template <typename F> uint32_t Source(const char* name, uint32_t n, F fn, uint32_t bps = 3) {
    uint32_t error = 0;
    TakeRec* t = TakeCreateAudio((ModelPath(root_ / "src") + "\\").c_str(), bps, n, 0, 48000, 0, 1, name, "", nullptr,
                                 nullptr, &error);
    EXPECT_NE(t, nullptr) << error;
    std::vector<uint32_t> ring(n);
    std::vector<uint8_t> scratch(size_t{n} * 4);
    for (uint32_t i = 0; i < n; ++i) ring[i] = static_cast<uint32_t>(fn(static_cast<int32_t>(i)));
    EXPECT_EQ(TakeWriteSamples(t, 0, static_cast<int32_t>(n), ring.data(), n, 0, scratch.data()), 1);
    return TakeRef(t);
  }
  uint32_t Plain(const char* name, uint32_t n) {
    return Source(name, n, [](int32_t i) { return i << 8; });
  }
  uint32_t AddPart(uint32_t track, int32_t start, int32_t offset, int32_t length, uint32_t take,
                   uint32_t flags = kPartSelected) {
    PartRec p = NewPart(start, length, take, kTakeAudio, flags);
    p.Offset = offset;
    return Add(track, p) + 1;  // the handle
  }
  PartRec& H(uint32_t handle) { return P(handle - 1); }
  std::set<std::string> Files(const char* sub) {
    std::set<std::string> names;
    for (const auto& e : fs::recursive_directory_iterator(root_ / sub))
      if (e.is_regular_file()) names.insert(fs::relative(e.path(), root_ / sub).generic_string());
    return names;
  }
  std::vector<int32_t> Samples(uint32_t take) {
    TakeRec* t = TakeFromRef(take);
    const uint32_t n = static_cast<uint32_t>(TakeGetAttr(t, kTakeAttrLength));
    std::vector<uint32_t> ring(n);
    std::vector<uint8_t> scratch(size_t{n} * 4);
    TakeReadSamples(t, 0, static_cast<int32_t>(n), ring.data(), n, 0, scratch.data());
    return std::vector<int32_t>(ring.begin(), ring.end());
  }
  fs::path root_;
  const EOPHOSTFUNCS* h = nullptr;
};

TEST_F(EopHost, ScanKeepsThirtyTwoModulesOfVersion102) {
  for (int i = 0; i < 36; ++i) {
    const std::string name = "M" + std::to_string(i) + ".DLL";
    FakeModule m{102, 8, {{1, 300}}};
    if (i == 1) m.version = 101;
    if (i == 2) m.missingEntry = true;
    g_modules[name] = m;
    platform.names.push_back(name);
  }
  platform.names.insert(platform.names.begin() + 3, "NOTAMODULE.DLL");
  EXPECT_EQ(EopScanModules("C:\\Mods\\"), 32);
  EXPECT_EQ(EopPlugInCount(), 32);
  // Loaded until 32 were kept: M0, M3..M33 (M1 and M2 freed), nothing after.
  EXPECT_EQ(g_loaded.back(), "M33.DLL");
  EXPECT_EQ(g_freed, (std::vector<std::string>{"M1.DLL", "M2.DLL"}));
  int index = -1;
  EXPECT_EQ(EopFindPlugIn(5, &index), 5);
  EXPECT_EQ(index, 0);
  EXPECT_EQ(EopFindPlugIn(32, &index), -1);
  EopFreeModules();
  EXPECT_EQ(g_freed.size(), 34u);
  EXPECT_EQ(EopPlugInCount(), 0);
}

TEST_F(EopHost, TableAndErrorTexts) {
  EXPECT_EQ(h->Size, sizeof(EOPHOSTFUNCS));
  const void* const* slots = reinterpret_cast<const void* const*>(&h->GetInfo);
  for (int i = 0; i < kEopHostSlots; ++i) EXPECT_NE(slots[i], nullptr) << i;
  char text[80];
  const std::pair<int32_t, const char*> texts[] = {
      {-20, "Some Parts could not be crossfaded!"},
      {-19, "Parts on the same layer cannot overlap!"},
      {-16, "Function only supported on Parts that have Audio Take references!"},
      {-15, "Not allowed during playback!"},
      {-14, "No (valid) recording/processing folder available!"},
      {-13, "Not enough space on disk!"},
      {-11, "Maximum number of Parts reached!"},
      {-10, "Some Parts could not be Multi-Channel Linked!"},
      {-9, "Timelocked Part(s) cannot be moved in time, slipped or deleted!"},
      {-8, "Internal code error: invalid Audio Take reference!"},
      {-7, "Parts cannot be dropped out of range!"},
      {-4, "Internal code error: invalid parameter!"},
      {-3, "Internal code error: unknown infocode!"},
      {-2, "Internal code error: invalid handle!"},
      {-1, "Heap alloc failed!"},
      {0, "Internal code error: no error!"},
      {-6, "Unspecified error!"},
      {-10000, "Unspecified error!"},
  };
  for (auto [code, want] : texts) {
    EXPECT_EQ(h->ErrorText(code, text, sizeof text), 0);
    EXPECT_STREQ(text, want) << code;
  }
  h->ErrorText(-5, text, sizeof text);
  EXPECT_EQ(std::string(text).rfind("A name cannot contain any of the folowing characters:", 0), 0u);
  h->ErrorText(-13, text, 8);  // cut to the buffer
  EXPECT_STREQ(text, "Not eno");
  EXPECT_EQ(h->Reserved16(), kEopUnknownCode);
}

TEST_F(EopHost, ProjectInformation) {
  Settings().Tempo = 13050;
  Settings().MeterNum = 3;
  Settings().MeterDen = 8;
  Settings().CurFrameRate = kFr25;
  Settings().TcOffset = 48000 * 3600;
  Locs().LeftLoc = 10;
  Locs().RightLoc = 20;
  ProcOpts().rec24Bit = 0;
  uint32_t w[2] = {};
  const std::pair<uint32_t, uint32_t> words[] = {{0, 48000}, {2, 256}, {3, 0x7fff05fe}, {4, 1}, {5, 192},
                                                 {6, 1},     {7, 13050}, {10, 1},     {12, 10}, {13, 20}, {15, 16}};
  for (auto [code, want] : words) {
    ASSERT_EQ(h->GetInfo(code, w), 0) << code;
    EXPECT_EQ(w[0], want) << code;
  }
  ASSERT_EQ(h->GetInfo(8, w), 0);
  EXPECT_EQ(w[0], 3u);
  EXPECT_EQ(w[1], 8u);
  EopTimeCode tc{};
  ASSERT_EQ(h->GetInfo(1, &tc), 0);
  EXPECT_EQ(tc.Hours, 1);
  EXPECT_EQ(tc.FrameType, 1);
  EXPECT_EQ(h->GetInfo(16, w), kEopUnknownCode);

  // Slot 17: the project rate and the time-code start.
  EXPECT_EQ(h->SetProjectTime(0, 12345), kEopBadParam);
  EXPECT_EQ(h->SetProjectTime(0, 44100), 0);
  EXPECT_EQ(Settings().SampleRate, 44100u);
  EopTimeCode start{0, 0, 2, 0, 0, 6};
  EXPECT_EQ(h->SetProjectTime(1, reinterpret_cast<uintptr_t>(&start)), kEopBadParam);
  start.FrameType = 0;
  EXPECT_EQ(h->SetProjectTime(1, reinterpret_cast<uintptr_t>(&start)), 0);
  EXPECT_EQ(Settings().CurFrameRate, uint32_t{kFr24});
  EXPECT_EQ(Settings().TcOffset, 88200u);
  EXPECT_EQ(h->SetProjectTime(2, 0), kEopUnknownCode);
}

TEST_F(EopHost, WalkingParts) {
  const uint32_t take = Plain("T", 10000);
  const uint32_t a = AddPart(3, 0, 0, 100, take);          // ends before 500
  const uint32_t b = AddPart(3, 200, 0, 100, take, 0);     // unselected
  const uint32_t c = AddPart(5, 0, 0, 100, take, 0);       // later track, unselected
  const uint32_t d = AddPart(6, 0, 0, 100, take);          // later track, selected
  uint32_t out = 99;
  EopTrackLoc at{3, 500};
  EXPECT_EQ(h->PartAtLoc(&at, 1, &out), 0);
  EXPECT_EQ(out, d);
  EXPECT_EQ(h->PartAtLoc(&at, 0, &out), 0);
  EXPECT_EQ(out, c);
  at.Position = 50;
  EXPECT_EQ(h->PartAtLoc(&at, 0, &out), 0);
  EXPECT_EQ(out, a);
  for (EopTrackLoc bad : {EopTrackLoc{256, 0}, EopTrackLoc{-1, 0}, EopTrackLoc{0, EndOfTime}})
    EXPECT_EQ(h->PartAtLoc(&bad, 0, &out), kEopBadParam);
  EXPECT_EQ(h->PartAtLoc(&at, 2, &out), kEopBadParam);
  at = EopTrackLoc{7, 0};
  EXPECT_EQ(h->PartAtLoc(&at, 0, &out), 0);
  EXPECT_EQ(out, 0u);

  EXPECT_EQ(h->NxtPart(a, 0, &out), 0);
  EXPECT_EQ(out, b);
  EXPECT_EQ(h->NxtPart(a, 1, &out), 0);
  EXPECT_EQ(out, d);
  EXPECT_EQ(h->NxtPart(d, 0, &out), 0);
  EXPECT_EQ(out, 0u);
  EXPECT_EQ(h->NxtPart(0, 0, &out), kEopBadHandle);
  EXPECT_EQ(h->NxtPart(999, 0, &out), kEopBadHandle);
  EXPECT_EQ(h->NxtPart(a, 3, &out), kEopBadParam);
  ArrUnlinkPart(CurArr, b - 1, 3);
  EXPECT_EQ(h->NxtPart(b, 0, &out), kEopBadHandle);  // a freed slot
}

TEST_F(EopHost, PartItems) {
  const uint32_t take = Plain("T", 10000);
  const uint32_t other = Plain("U", 500);
  const uint32_t a = AddPart(0, 1000, 100, 1000, take);
  const uint32_t b = AddPart(1, 1000, 100, 1000, take);
  H(a).Flags |= kPartLinkNext;
  H(b).Flags |= kPartLinkPrev;
  H(a).PlayChannel = 3 + 192;
  uint32_t w[2] = {};
  char name[64];
  ASSERT_EQ(h->GetPartInfo(a, 0, w), 0);
  EXPECT_EQ(w[0], 1000u);
  ASSERT_EQ(h->GetPartInfo(b, 1, w), 0);
  EXPECT_EQ(w[0], 1u);
  EXPECT_EQ(w[1], 1000u);
  ASSERT_EQ(h->GetPartInfo(a, 2, w), 0);
  EXPECT_EQ(w[0], take);
  EXPECT_EQ(w[1], 100u);
  ASSERT_EQ(h->GetPartInfo(a, 3, w), 0);
  EXPECT_EQ(w[0], 2u);  // muted channel 3
  ASSERT_EQ(h->GetPartInfo(a, 6, w), 0);
  EXPECT_EQ(w[0], 1u);
  ASSERT_EQ(h->GetPartInfo(a, 9, w), 0);
  EXPECT_EQ(w[0], b);
  ASSERT_EQ(h->GetPartInfo(b, 8, w), 0);
  EXPECT_EQ(w[0], a);
  ASSERT_EQ(h->GetPartInfo(a, 4, name), 0);
  EXPECT_STREQ(name, "P1000");
  ASSERT_EQ(h->GetPartInfo(a, 17, w), 0);
  EXPECT_EQ(h->GetPartInfo(a, 22, w), kEopUnknownCode);
  EXPECT_EQ(h->GetPartInfo(77, 0, w), kEopBadHandle);

  // Length: for the whole group, checked against the Takes, timelock, the
  // end of time.
  EXPECT_EQ(h->SetPartInfo(a, 0, 0), kEopBadParam);
  EXPECT_EQ(h->SetPartInfo(a, 0, 9901), kEopBadParam);  // 100 + 9901 > 10000
  EXPECT_EQ(h->SetPartInfo(a, 0, 9900), 0);
  EXPECT_EQ(H(b).Length, 9900);
  H(b).Flags |= kPartTimelocked;
  EXPECT_EQ(h->SetPartInfo(a, 0, 500), kEopTimelocked);
  EXPECT_EQ(h->SetPartInfo(a, 7, 0), 0);  // unlock the group
  EXPECT_EQ(H(b).Flags & kPartTimelocked, 0u);
  EXPECT_EQ(h->SetPartInfo(a, 0, 500), 0);

  // Take: an open Audio Take with the Part's length after the offset; a
  // member left with another Take size stops being a partner.
  EopTakeLoc tl{other, 0};
  EXPECT_EQ(h->SetPartInfo(a, 2, reinterpret_cast<uintptr_t>(&tl)), 0);  // 500 samples fit
  tl.Offset = 1;
  EXPECT_EQ(h->SetPartInfo(a, 2, reinterpret_cast<uintptr_t>(&tl)), kEopBadTake);
  tl = EopTakeLoc{12345, 0};
  EXPECT_EQ(h->SetPartInfo(a, 2, reinterpret_cast<uintptr_t>(&tl)), kEopBadTake);

  // Audio track, mute, name, gains, curves, windows.
  EXPECT_EQ(h->SetPartInfo(a, 3, 192), kEopBadParam);
  EXPECT_EQ(h->SetPartInfo(a, 3, 9), 0);
  EXPECT_EQ(H(a).PlayChannel, 10 + 192);  // stays muted
  EXPECT_EQ(h->SetPartInfo(a, 6, 0), 0);
  EXPECT_EQ(H(a).PlayChannel, 10);
  EXPECT_EQ(h->SetPartInfo(a, 4, reinterpret_cast<uintptr_t>("  Lead  ")), 0);
  EXPECT_STREQ(H(a).Name, "Lead");
  EXPECT_EQ(h->SetPartInfo(a, 4, reinterpret_cast<uintptr_t>("a/b")), kEopBadName);
  EXPECT_EQ(h->SetPartInfo(a, 10, 32769), kEopBadParam);
  EXPECT_EQ(h->SetPartInfo(a, 10, 32768), 0);
  EXPECT_EQ(h->SetPartInfo(a, 12, 8), kEopBadParam);
  EXPECT_EQ(h->SetPartInfo(a, 19, 7), 0);
  EXPECT_EQ(h->SetPartInfo(a, 16, 255), kEopBadParam);  // begin below end
  EXPECT_EQ(h->SetPartInfo(a, 17, 256), kEopBadParam);
  EXPECT_EQ(h->SetPartInfo(a, 22, 0), kEopUnknownCode);

  // Layer: not one a group member's overlapping neighbour holds.
  const uint32_t c = AddPart(0, 1200, 0, 100, take);
  H(c).Layer = 4;
  EXPECT_EQ(h->SetPartInfo(a, 13, 4), kEopLayerTaken);
  EXPECT_EQ(h->SetPartInfo(a, 13, 32767), kEopBadParam);
  EXPECT_EQ(h->SetPartInfo(a, 13, 5), 0);
  EXPECT_EQ(H(a).Layer, 5);

  // Links: only channel partners on the neighbouring track.
  EXPECT_EQ(h->SetPartInfo(a, 9, 0), 0);
  EXPECT_EQ(H(b).Flags & kPartLinkPrev, 0u);
  EXPECT_EQ(h->SetPartInfo(a, 9, c), kEopNotLinked);
  const uint32_t d = AddPart(2, 1000, 0, 500, other);
  EXPECT_EQ(h->SetPartInfo(a, 9, d), kEopNotLinked);  // not on the next track

  // Crossfade partners: geometry, and Audio only.
  const uint32_t e = AddPart(4, 0, 0, 1200, take);
  const uint32_t f = AddPart(4, 1000, 0, 1000, take);
  EXPECT_EQ(h->SetPartInfo(e, 14, f), kEopNoXfade);  // f does not start before e
  EXPECT_EQ(h->SetPartInfo(f, 14, e), 0);
  EXPECT_EQ(H(e).XfadeOutPartner, f - 1);
  ASSERT_EQ(h->GetPartInfo(e, 18, w), 0);
  EXPECT_EQ(w[0], f);
  EXPECT_EQ(h->SetPartInfo(f, 14, 0), 0);
  EXPECT_EQ(H(e).XfadeOutPartner, kArrNoLink);
  PartRec midi = NewPart(0, 100, 0, kTakeMidi, kPartSelected);
  const uint32_t m = Add(9, midi) + 1;
  EXPECT_EQ(h->GetPartInfo(m, 2, w), kEopAudioOnly);
  EXPECT_EQ(h->SetPartInfo(m, 14, e), kEopAudioOnly);
  EXPECT_EQ(h->SetPartInfo(m, 3, 1), kEopAudioOnly);

  // Moving the group.
  int32_t to[2] = {6, 5000};
  EXPECT_EQ(h->SetPartInfo(c, 1, reinterpret_cast<uintptr_t>(to)), 0);
  to[0] = 256;
  EXPECT_EQ(h->SetPartInfo(c, 1, reinterpret_cast<uintptr_t>(to)), kEopBadParam);
  // Onto a track that records Audio on record track 17: the play channel
  // follows only with AdoptVtrkOutput, and only when the track changes.
  uint32_t lone = AddPart(20, 0, 0, 100, take);
  CurArr->Trk[21].RecTrack = 17;
  CurArr->Trk[21].RecKind = kTakeAudio;
  CurArr->Trk[20].RecTrack = 18;
  CurArr->Trk[20].RecKind = kTakeAudio;
  struct {
    int32_t adopt, track, channel;
  } moves[] = {{0, 21, 3}, {1, 21, 3}, {1, 20, 18}, {1, 21, 17}};
  for (const auto& mv : moves) {
    H(lone).PlayChannel = 3;
    AdoptVtrkOutput = mv.adopt;
    int32_t dest[2] = {mv.track, 0};
    ASSERT_EQ(h->SetPartInfo(lone, 1, reinterpret_cast<uintptr_t>(dest)), 0);
    uint32_t found = 0;
    EopTrackLoc at{mv.track, 0};
    ASSERT_EQ(h->PartAtLoc(&at, 0, &found), 0);
    ASSERT_NE(found, 0u);
    EXPECT_EQ(H(found).PlayChannel, mv.channel) << mv.adopt << " " << mv.track;
    lone = found;
  }
  AdoptVtrkOutput = 0;
}

TEST_F(EopHost, OldRevisionsSeePairs) {
  const uint32_t take = Plain("T", 10000);
  uint32_t p[4];
  for (uint32_t i = 0; i < 4; ++i) {
    p[i] = AddPart(i, 0, 0, 100, take);
    H(p[i]).Flags |= (i > 0 ? uint32_t{kPartLinkPrev} : 0u) | (i < 3 ? uint32_t{kPartLinkNext} : 0u);
  }
  eophost::BeginRun(0, 7, 200);
  uint32_t w = 0;
  ASSERT_EQ(h->GetPartInfo(p[1], 9, &w), 0);
  EXPECT_EQ(w, 0u);  // odd position: its pair is the previous one
  ASSERT_EQ(h->GetPartInfo(p[1], 8, &w), 0);
  EXPECT_EQ(w, p[0]);
  ASSERT_EQ(h->GetPartInfo(p[2], 8, &w), 0);
  EXPECT_EQ(w, 0u);
  // A change to a Part of a four-channel group breaks it into pairs.
  EXPECT_EQ(h->SetPartInfo(p[2], 10, 100), 0);
  EXPECT_EQ(eophost::Run().linksBroken, 1);
  EXPECT_EQ(H(p[1]).Flags & kPartLinkNext, 0u);
  EXPECT_NE(H(p[2]).Flags & kPartLinkNext, 0u);
  eophost::EndRun();
}

TEST_F(EopHost, CreatingAndDeletingParts) {
  const uint32_t take = Plain("T", 1000);
  const uint32_t sel = AddPart(0, 0, 0, 10, take);
  uint32_t out = 0;
  EopTrackLoc at{2, 300};
  EopTakeLoc tl{take, 100};
  EXPECT_EQ(h->CreateParts(0, &at, &tl, 0, &out), kEopBadParam);
  EXPECT_EQ(h->CreateParts(900, &at, &tl, 0, &out), kEopBadTake);  // needs more than 900 after 100
  EXPECT_EQ(h->CreateParts(100, &at, &tl, 4444, &out), kEopBadHandle);
  ASSERT_EQ(h->CreateParts(100, &at, &tl, 0, &out), 0);
  ASSERT_NE(out, 0u);
  EXPECT_EQ(H(out).Start, 300);
  EXPECT_EQ(H(out).Offset, 100);
  EXPECT_EQ(H(out).Length, 100);
  EXPECT_EQ(H(out).Flags & kPartSelected, 0u);  // no template: not selected
  EXPECT_STREQ(H(out).Name, "T");
  EXPECT_NE(H(sel).Flags & kPartSelected, 0u);  // the selection stays
  uint32_t withTemplate = 0;
  at.Position = 600;
  ASSERT_EQ(h->CreateParts(50, &at, &tl, sel, &withTemplate), 0);
  EXPECT_STREQ(H(withTemplate).Name, "P0");
  EXPECT_NE(H(withTemplate).Flags & kPartSelected, 0u);

  H(out).Flags |= kPartTimelocked;
  EXPECT_EQ(h->DeletePart(out), kEopTimelocked);
  H(out).Flags &= ~kPartTimelocked;
  EXPECT_EQ(h->DeletePart(out), 0);
  EXPECT_EQ(h->DeletePart(out), kEopBadHandle);
}

TEST_F(EopHost, TakeServices) {
  LoadTimeModule();
  const uint32_t src = Plain("Src", 1000);
  const uint32_t used = AddPart(0, 0, 0, 1000, src);
  (void)used;
  eophost::BeginRun(0, 8, kEopIdRateConvert);
  uint32_t t = 0;
  EXPECT_EQ(h->CreateTake(0, 0, 20, 100, 0, &t), kEopBadParam);
  EXPECT_EQ(h->CreateTake(1, 0, 16, 100, 0, &t), kEopBadParam);
  EXPECT_EQ(h->CreateTake(0, 0, 24, 0, 0, &t), kEopBadParam);
  EXPECT_EQ(h->CreateTake(0, 0, 24, 0x60000000u, 0, &t), kEopBadParam);  // 6 GB
  EXPECT_EQ(h->CreateTake(0, 0, 24, 100, 999, &t), kEopBadHandle);
  ProcOpts().folder = ModelPath(root_ / "none") + "\\";
  EXPECT_EQ(h->CreateTake(0, 0, 24, 100, src, &t), kEopNoFolder);
  ProcOpts().folder = ModelPath(root_ / "proc") + "\\";
  ASSERT_EQ(h->CreateTake(0, 0, 16, 100, src, &t), 0);
  EXPECT_EQ(EopRunTakes(), std::vector<uint32_t>{t});
  TakeRec* rec = TakeFromRef(t);
  EXPECT_EQ(TakeGetAttr(rec, kTakeAttrCreatorValue), 1500u);
  uint32_t w = 0;
  char name[64];
  ASSERT_EQ(h->GetTakeInfo(t, 0, &w), 0);
  EXPECT_EQ(w, 16u);
  ASSERT_EQ(h->GetTakeInfo(t, 3, &w), 0);
  EXPECT_EQ(w, 100u);
  ASSERT_EQ(h->GetTakeInfo(t, 4, name), 0);
  EXPECT_STREQ(name, "Src #01");
  ASSERT_EQ(h->GetTakeInfo(t, 6, &w), 0);
  EXPECT_EQ(w, 48000u);
  EXPECT_EQ(h->GetTakeInfo(t, 10, &w), kEopUnknownCode);
  EXPECT_EQ(h->GetTakeInfo(0, 0, &w), kEopBadHandle);

  // Reads and writes: 16-bit words for a 2-byte Take, 32-bit words for 3.
  int16_t words[4] = {1, -2, 300, -32768};
  EXPECT_EQ(h->WriteTake(t, 97, 4, words), kEopBadParam);
  EXPECT_EQ(h->WriteTake(t, 96, 4, words), 0);
  int16_t back[4] = {};
  EXPECT_EQ(h->ReadTake(t, 96, 4, back), 0);
  EXPECT_EQ(std::vector<int16_t>(back, back + 4), std::vector<int16_t>(words, words + 4));
  int32_t big[2] = {};
  EXPECT_EQ(h->ReadTake(src, 10, 2, big), 0);
  EXPECT_EQ(big[0], 10 << 8);
  EXPECT_EQ(h->ReadTake(src, 0, 0, big), kEopBadParam);
  EXPECT_EQ(h->WriteTake(src, 0, 1, big), kEopBadHandle);  // not made in this run

  // Changes: only Takes of this run.
  EXPECT_EQ(h->SetTakeInfo(src, 5, reinterpret_cast<uintptr_t>("x")), kEopBadHandle);
  EXPECT_EQ(h->SetTakeInfo(t, 2, 0), kEopUnknownCode);
  EXPECT_EQ(h->SetTakeInfo(t, 6, 12345), kEopBadParam);
  EXPECT_EQ(h->SetTakeInfo(t, 6, 44100), 0);
  ASSERT_EQ(h->GetTakeInfo(t, 6, &w), 0);
  EXPECT_EQ(w, 44100u);
  EopTimeCode stamp{1, 2, 3, 4, 5, 9};
  EXPECT_EQ(h->SetTakeInfo(t, 7, reinterpret_cast<uintptr_t>(&stamp)), kEopBadParam);
  stamp.FrameType = 1;
  EXPECT_EQ(h->SetTakeInfo(t, 7, reinterpret_cast<uintptr_t>(&stamp)), 0);
  EopTimeCode got{};
  ASSERT_EQ(h->GetTakeInfo(t, 7, &got), 0);
  EXPECT_EQ(got.Minutes, 2);
  EXPECT_EQ(got.SubFrames, 5);
  EXPECT_EQ(got.FrameType, 1);
  EXPECT_EQ(h->SetTakeInfo(t, 4, reinterpret_cast<uintptr_t>("bad:name")), kEopBadName);
  EXPECT_EQ(h->SetTakeInfo(t, 3, 100), kEopBadParam);  // not shorter
  // A Part plays the first 80 samples: not below that.
  uint32_t part = 0;
  EopTrackLoc at{1, 0};
  EopTakeLoc tl{t, 0};
  ASSERT_EQ(h->CreateParts(80, &at, &tl, 0, &part), 0);
  EXPECT_EQ(h->SetTakeInfo(t, 3, 79), kEopBadTake);
  EXPECT_EQ(h->SetTakeInfo(t, 3, 90), 0);
  EXPECT_EQ(h->DeleteTake(t), kEopBadTake);  // a Part uses it
  EXPECT_TRUE(TakeIsOpen(TakeFromRef(t)));
  ASSERT_EQ(h->DeletePart(part), 0);
  EXPECT_EQ(h->DeleteTake(t), 0);
  EXPECT_TRUE(EopRunTakes().empty());
  EXPECT_EQ(h->DeleteTake(src), kEopBadHandle);
  eophost::EndRun();
}

TEST_F(EopHost, Audition) {
  const uint32_t take = Plain("T", 1000);
  EopPlayEntry list[2] = {{take, 0, 500, 3, 0}, {0, 0, 300, 3, 0}};
  list[1].Zero = 1;
  EXPECT_EQ(h->PlayTakes(2, list), kEopBadParam);
  EXPECT_FALSE(Services().Called("UnitsStop()"));
  list[1].Zero = 0;
  list[0].Length = 1001;
  EXPECT_EQ(h->PlayTakes(2, list), kEopBadParam);
  list[0].Length = 500;
  list[0].Track = 192;
  EXPECT_EQ(h->PlayTakes(2, list), kEopBadParam);
  list[0].Track = 3;
  list[0].Take = 777;
  EXPECT_EQ(h->PlayTakes(2, list), kEopBadHandle);
  list[0].Take = take;
  Services().ClearLog();
  ASSERT_EQ(h->PlayTakes(2, list), 0);
  EXPECT_EQ(EopAuditionIsPlaying(), 1);
  // Every channel silenced, track 3 (engine track 4) sent its two entries in
  // order, the transport started from 0 to the longest track's end.
  const std::string log = Services().Joined();
  const size_t silence = log.find("SoloSilenceAll()"), send = log.find("SoloPlayTakeList(4, 2)"),
               start = log.find("TransportStartAudition(0, 800)");
  ASSERT_NE(start, std::string::npos);
  EXPECT_LT(silence, send);
  EXPECT_LT(send, start);
  EXPECT_NE(log.find("entry(" + std::to_string(take) + ", 0, 500)"), std::string::npos);
  EXPECT_NE(log.find("entry(0, 0, 300)"), std::string::npos);
  EXPECT_EQ(h->PlayTakes(2, list), kEopPlaying);
  uint32_t t = 0;
  EXPECT_EQ(h->CreateTake(0, 0, 16, 10, 0, &t), kEopPlaying);
  int32_t pos = 0;
  Startup().currentLoc = 400;
  EXPECT_EQ(h->PlayPos(&pos, 0), kEopPlaying);
  EXPECT_EQ(pos, 400);
  Startup().currentLoc = 800;  // the end: 500 + 300
  EXPECT_EQ(h->PlayPos(&pos, 0), 0);
  EXPECT_TRUE(Services().Called("TransportStopAudition()"));
  EXPECT_EQ(EopAuditionIsPlaying(), 0);
  EXPECT_EQ(h->PlayPos(&pos, 0), 0);
  EXPECT_EQ(pos, 800);
  // A transport that cannot start: nothing plays, the normal lists are back.
  Services().auditionStarts = 0;
  Services().ClearLog();
  EXPECT_EQ(h->PlayTakes(2, list), kEopUnspecified);
  EXPECT_EQ(EopAuditionIsPlaying(), 0);
  EXPECT_TRUE(Services().Called("TransportStopAudition()"));
  EXPECT_NE(Services().Joined().find("RebuildAllPlayLists("), std::string::npos);
  Services().auditionStarts = 1;
}

TEST_F(EopHost, Markers) {
  uint32_t n = 0;
  EXPECT_EQ(h->MrkAdd(0, 10, &n), kEopBadParam);
  EXPECT_EQ(h->MrkAdd(3, EndOfTime, &n), kEopBadParam);
  ASSERT_EQ(h->MrkAdd(3, 100, &n), 0);
  EXPECT_EQ(n, 3u);
  EXPECT_EQ(h->MrkAdd(3, 200, &n), kEopMarkerExists);
  ASSERT_EQ(h->MrkAdd(7, 50, &n), 0);
  EXPECT_EQ(h->MrkFromLoc(60, &n), 0);
  EXPECT_EQ(n, 3u);
  EXPECT_EQ(h->MrkFromLoc(101, &n), 0);
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(h->MrkFromLoc(EndOfTime, &n), kEopBadParam);
  EXPECT_EQ(h->MrkNxt(7, &n), 0);
  EXPECT_EQ(n, 3u);
  EXPECT_EQ(h->MrkNxt(3, &n), 0);
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(h->MrkNxt(5, &n), kEopBadHandle);
  EXPECT_EQ(h->MrkSet(3, 2, reinterpret_cast<uintptr_t>("Chorus")), 0);
  EXPECT_EQ(h->MrkSet(3, 1, 20), 0);
  EXPECT_EQ(h->MrkSet(3, 1, static_cast<uint32_t>(EndOfTime)), kEopBadParam);
  EXPECT_EQ(h->MrkSet(3, 0, 0), kEopUnknownCode);
  char name[64];
  int32_t at = 0;
  ASSERT_EQ(h->MrkGet(3, 2, name), 0);
  EXPECT_STREQ(name, "Chorus");
  ASSERT_EQ(h->MrkGet(3, 1, &at), 0);
  EXPECT_EQ(at, 20);
  EXPECT_EQ(h->MrkGet(3, 3, &at), kEopUnknownCode);
  EXPECT_EQ(h->MrkDelete(3), 0);
  EXPECT_EQ(h->MrkDelete(3), kEopBadHandle);
  EXPECT_EQ(h->MrkGet(3, 0, &at), kEopBadHandle);
}

TEST_F(EopHost, FolderTakesAndSections) {
  const uint32_t a = Source("A", 100, [](int32_t) { return 0; });
  (void)a;
  // The recording folder holds two Takes of this run.
  eophost::BeginRun(0, 8, 200);
  uint32_t t1 = 0, t2 = 0;
  ASSERT_EQ(h->CreateTake(0, 0, 16, 10, 0, &t1), 0);
  ASSERT_EQ(h->CreateTake(0, 0, 16, 10, 0, &t2), 0);
  uint32_t first = 0, next = 0, last = 0;
  EXPECT_EQ(h->FirstTake(1, 0, 1, &first), kEopBadParam);
  ASSERT_EQ(h->FirstTake(0, 0, 1, &first), 0);
  ASSERT_EQ(h->NxtTake(first, 1, &next), 0);
  EXPECT_EQ((std::set<uint32_t>{first, next}), (std::set<uint32_t>{t1, t2}));
  ASSERT_EQ(h->NxtTake(next, 1, &last), 0);
  EXPECT_EQ(last, 0u);
  // The ring of Takes in use, in ring order, without other tests.
  ASSERT_EQ(h->FirstTake(0, 0, 0x22, &first), 0);
  EXPECT_EQ(first, TakeRef(TakeRingFirst()));
  ASSERT_EQ(h->NxtTake(first, 0x22, &next), 0);
  EXPECT_EQ(next, TakeRef(TakeRingNext(TakeRingFirst())));
  EXPECT_EQ(h->NxtTake(0, 1, &next), kEopBadHandle);
  // Bit 1 alone: the Takes the file manager accepts.
  Services().sfmanTakes = {t2};
  ASSERT_EQ(h->FirstTake(0, 0, 2, &first), 0);
  EXPECT_EQ(first, t2);
  ASSERT_EQ(h->NxtTake(first, 2, &next), 0);
  EXPECT_EQ(next, 0u);
  Services().sfmanTakes.clear();
  ASSERT_EQ(h->FirstTake(0, 0, 2, &first), 0);
  EXPECT_EQ(first, 0u);
  eophost::EndRun();

  // Sections: a Part on top of another.
  const uint32_t take = Plain("T", 10000);
  const uint32_t low = AddPart(2, 0, 0, 1000, take);
  const uint32_t high = AddPart(2, 400, 0, 200, take);
  H(high).Layer = 1;
  ArrRelinkOverlaps(CurArr);
  EopTrackLoc at{2, 100};
  EopSectionOut s{};
  ASSERT_EQ(h->VisibleSection(&at, &s), 0);
  EXPECT_EQ(s.Part, low);
  EXPECT_EQ(s.Offset, 100);
  EXPECT_EQ(s.Length, 300);
  at.Position = 450;
  ASSERT_EQ(h->VisibleSection(&at, &s), 0);
  EXPECT_EQ(s.Part, high);
  EXPECT_EQ(s.Offset, 50);
  EXPECT_EQ(s.Length, 150);
  at = EopTrackLoc{0, 0};
  ASSERT_EQ(h->VisibleSection(&at, &s), 0);  // found on a later track
  EXPECT_EQ(s.Part, low);
  at.Position = 0x7fff05ff;
  EXPECT_EQ(h->VisibleSection(&at, &s), kEopBadParam);
  at = EopTrackLoc{3, 0};
  ASSERT_EQ(h->VisibleSection(&at, &s), 0);
  EXPECT_EQ(s.Part, 0u);

  EopSectionOut io{low, 700, 100};
  ASSERT_EQ(h->PartSection(&io), 0);
  EXPECT_EQ(io.Part, low);
  EXPECT_EQ(io.Offset, 600);
  EXPECT_EQ(io.Length, 400);
  io = EopSectionOut{low, 900, 101};
  EXPECT_EQ(h->PartSection(&io), kEopBadParam);
  io = EopSectionOut{0, 0, 0};
  EXPECT_EQ(h->PartSection(&io), kEopBadHandle);
}

// ---- Runs ----

int32_t Noise(int32_t i) { return static_cast<int32_t>(static_cast<uint32_t>(i) * 2654435761u) & ~0xff; }

// After a successful run of a tool process, the Takes that no Part plays any
// more go to the recycle folder by their kind's setting: always, after a
// question (answered here), or never.
TEST_F(EopHost, RunPurgesUnreferencedTakesOfEachKindByItsSetting) {
  LoadTimeModule();
  const std::string src = ModelPath(root_ / "src") + "\\";
  // The process removes every Part: their Takes become unreferenced.
  g_process = [&](uint32_t, uint32_t, const EOPHOSTFUNCS* host) {
    EopTrackLoc at{0, 0};
    for (uint32_t p = 0; host->PartAtLoc(&at, 0, &p) == 0 && p != 0;)
      if (host->DeletePart(p) != 0) return 0;
    return 1;
  };
  struct {
    int32_t audioMode, automMode, midiMode;
    std::vector<int> answers;
    std::vector<uint32_t> asked;
    std::set<std::string> recycled;  // name stems in the recycle folder
  } cases[] = {
      {40884, 40890, 43304, {}, {}, {}},  // keep every kind
      {40885, 40889, 43305, {kIdNo, kIdYes}, {245, 247}, {"Aut", "Mid"}},
      {40883, 40891, 43303, {kIdNo}, {246}, {"Aud", "Mid"}},
  };
  int n = 0;
  for (const auto& c : cases) {
    const std::string tag = std::to_string(n++);
    uint32_t error = 0;
    TakeRec* autom = TakeCreateAutom(src.c_str(), 0, 0, 0, 0, 0, 48000, 0, 1, ("Aut" + tag).c_str(), "", nullptr,
                                     nullptr, &error);
    TakeRec* midi = TakeCreateMidi(src.c_str(), 480, 0, 0, 0, 0, 48000, 0, 1, ("Mid" + tag).c_str(), "", nullptr,
                                   nullptr, &error);
    ASSERT_NE(autom, nullptr);
    ASSERT_NE(midi, nullptr);
    AddPart(0, 0, 0, 500, Plain(("Aud" + tag).c_str(), 1000));
    Add(1, NewPart(0, 500, TakeRef(autom), kTakeAutom));
    Add(2, NewPart(0, 500, TakeRef(midi), kTakeMidi));
    ProcOpts().delUnRefATk = c.audioMode;
    ProcOpts().delUnRefCTk = c.automMode;
    ProcOpts().delUnRefMTk = c.midiMode;
    Host().Reset();
    for (int a : c.answers) Host().answers.push_back(a);
    ASSERT_EQ(EopRunToolSlot(0, -3, 0, -1), 1);
    std::vector<uint32_t> asked;
    for (const HostBox& b : Host().boxes) asked.push_back(b.id);
    EXPECT_EQ(asked, c.asked) << tag;
    std::set<std::string> recycled;
    for (const std::string& f : Files("src"))
      if (f.rfind("qvReBin/", 0) == 0 && f.find(tag + ".") != std::string::npos) recycled.insert(f.substr(8, 3));
    EXPECT_EQ(recycled, c.recycled) << tag;
  }
}

TEST_F(EopHost, StretchRunOnLinkedPartsUnderUndo) {
  LoadTimeModule();
  const int32_t L0 = 40000;
  const uint32_t left = Source("L", L0 + 100, Noise);
  const uint32_t right = Source("R", L0 + 100, [](int32_t i) { return -Noise(i); });
  const uint32_t a = AddPart(0, 1000, 100, L0, left);
  const uint32_t b = AddPart(1, 1000, 100, L0, right);
  H(a).Flags |= kPartLinkNext;
  H(b).Flags |= kPartLinkPrev;
  RunUi ui;
  ui.answer = 50000;
  g_process = [&](uint32_t index, uint32_t flag, const EOPHOSTFUNCS* host) {
    return tmod::TmProcess(index, flag, host, ui);
  };
  const uint32_t levels = UndoGetLevel();
  ASSERT_EQ(EopRunToolSlot(0, 32, 0, -1), 1) << (ui.messages.empty() ? "" : ui.messages[0]);
  EXPECT_EQ(UndoGetLevel(), levels + 1);
  EXPECT_EQ(H(a).Length, 50000);
  EXPECT_EQ(H(b).Length, 50000);
  EXPECT_EQ(H(a).Offset, 0);
  EXPECT_NE(H(a).Take, left);
  EXPECT_EQ(TakeGetAttr(TakeFromRef(H(a).Take), kTakeAttrLength), 50001u);
  EXPECT_EQ(TakeGetAttr(TakeFromRef(H(a).Take), kTakeAttrCreatorValue), 1400u);
  EXPECT_STREQ(H(a).Name, "P1000 #01");
  // One signal: the same cuts in both channels.
  const std::vector<int32_t> x = Samples(H(a).Take), y = Samples(H(b).Take);
  ASSERT_EQ(x.size(), y.size());
  // (The 24-bit samples are the words' upper bits, rounded down: a negated
  // word may read one lower.)
  for (size_t i = 0; i < x.size(); ++i) ASSERT_LE(std::abs((y[i] >> 8) + (x[i] >> 8)), 1) << i;
  EXPECT_TRUE(Services().Called("EnableWindows(0)"));
  ASSERT_EQ(UndoApply(1), 1);
  EXPECT_EQ(H(a).Take, left);
  EXPECT_EQ(H(a).Length, L0);
}

// The arrange window's operations reach the module host through the edit
// routines' tool runner: tools 32..35 by process id, tool -1 through the
// pop-up of processes, -3 (the Part context menu) by slot.
TEST_F(EopHost, ArrangeToolRunnerChoosesTheProcess) {
  LoadTimeModule();
  std::vector<uint32_t> ran;
  g_process = [&](uint32_t index, uint32_t, const EOPHOSTFUNCS*) {
    ran.push_back(index);
    return 1;
  };
  ArrPartEditRoutines routines;
  EXPECT_EQ(routines.ToolRunner(nullptr, 10, 20, 0, 34), 1);  // Pitch Shift
  EXPECT_EQ(routines.ToolRunner(nullptr, 10, 20, 0, -3), 1);  // slot 0 from the context menu
  EXPECT_EQ(routines.ToolRunner(nullptr, 10, 20, 3, -3), 0);  // no slot 3
  EXPECT_EQ(routines.ToolRunner(nullptr, 10, 20, 0, 35), 0);  // no Reverse process
  Services().ClearLog();
  EXPECT_EQ(routines.ToolRunner(nullptr, 10, 20, 1, -1), 0);  // the pop-up chose nothing
  EXPECT_TRUE(Services().Called("ToolMenu(1, 10, 20)"));
  platform.toolMenuPick = 1;
  EXPECT_EQ(routines.ToolRunner(nullptr, 10, 20, 2, -1), 1);
  EXPECT_EQ(ran, (std::vector<uint32_t>{2, 0, 1}));
}

TEST_F(EopHost, FailedAndAbortedRunsLeaveEverythingAsItWas) {
  LoadTimeModule();
  const uint32_t src = Source("S", 300000, [](int32_t i) { return Noise(i) >> 4; });
  const uint32_t a = AddPart(0, 0, 0, 300000, src);
  const PartRec before = H(a);
  RunUi ui;
  ui.answer = 330000;
  ui.abortAfter = 1;
  g_process = [&](uint32_t index, uint32_t flag, const EOPHOSTFUNCS* host) {
    return tmod::TmProcess(index, flag, host, ui);
  };
  const uint32_t levels = UndoGetLevel();
  EXPECT_EQ(EopRunToolSlot(0, -3, 0, -1), 0);
  EXPECT_EQ(ui.pumps, 1);
  EXPECT_EQ(UndoGetLevel(), levels);
  // As before, but for the selection, which a run that did nothing clears.
  PartRec after = H(a);
  after.Flags |= kPartSelected;
  EXPECT_EQ(std::memcmp(&after, &before, sizeof before), 0);
  EXPECT_TRUE(Files("proc").empty());
  EXPECT_TRUE(EopRunTakes().empty());

  // A module that creates a Take and fails: the Take goes too.
  g_process = [&](uint32_t, uint32_t, const EOPHOSTFUNCS* host) {
    uint32_t t = 0;
    host->CreateTake(0, 0, 24, 1000, 0, &t);
    return 0;
  };
  EXPECT_EQ(EopRunToolSlot(0, 33, 0, -1), 0);
  EXPECT_TRUE(Files("proc").empty());

  // Nothing runs for an unknown slot or tool.
  EXPECT_EQ(EopRunToolSlot(0, -3, 3, -1), 0);
  EXPECT_EQ(EopRunToolSlot(0, 35, 0, -1), 0);  // no Reverse process
  EXPECT_EQ(UndoGetLevel(), levels);
}

TEST_F(EopHost, AutomaticRateConversion) {
  int32_t error = 0;
  EXPECT_EQ(EopAutoConvertRate(0, &error), 0);
  EXPECT_EQ(error, 344);
  LoadTimeModule();
  uint32_t error2 = 0;
  TakeRec* t = TakeCreateAudio((ModelPath(root_ / "src") + "\\").c_str(), 2, 4410, 0, 44100, 0, 1, "Imp", "", nullptr,
                               nullptr, &error2);
  const uint32_t a = AddPart(0, 0, 0, 4410, TakeRef(t));
  RunUi ui;
  g_process = [&](uint32_t index, uint32_t flag, const EOPHOSTFUNCS* host) {
    return tmod::TmProcess(index, flag, host, ui);
  };
  error = 0;
  ASSERT_EQ(EopAutoConvertRate(0, &error), 1);
  EXPECT_EQ(error, 0);
  EXPECT_EQ(H(a).Length, 4800);
  EXPECT_EQ(TakeGetAttr(TakeFromRef(H(a).Take), kTakeAttrSampleRate), 48000u);
  EXPECT_EQ(TakeGetAttr(TakeFromRef(H(a).Take), kTakeAttrLength), 4801u);
}

}  // namespace
