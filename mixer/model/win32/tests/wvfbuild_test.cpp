// The overview build dialog run modally on a real Audio Take record of the
// Take store, with the native envelopes from the recording fake: the file it
// leaves, and that every failure or cancel leaves none.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "mixer/model/take.h"
#include "mixer/model/wvf.h"
#include "mixer/model/wvfcache.h"
#include "mixer/model/win32/dialogs.h"
#include "mixer/model/win32/wvfbuild.h"
#include "modal_closer.h"
#include "tests/fakes/services_fake.h"

namespace {

const uint8_t kId[8] = {0x25, 0x12, 124, 0x13, 0x45, 0x59, 0x01, 0x02};

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class WvfBuild : public ::testing::Test {
 protected:
  void SetUp() override {
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);
    Services().Reset();
    char tmp[MAX_PATH];
    GetTempPathA(sizeof tmp, tmp);
    dir_ = std::string(tmp) + "hrl_wvf_" + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(dir_.c_str(), nullptr);
    Services().wvFormFilePath = dir_;
    ASSERT_TRUE(TakeStoreOpen());
  }
  void TearDown() override {
    Services().onEnvelopes = nullptr;
    DeleteFileA(WvfPath().c_str());
    RemoveDirectoryA(dir_.c_str());
    TakeStoreClose();
  }

  // An open 16-bit Audio Take of `samples` samples, data from byte 1000.
  TakeRec* Take(uint32_t samples) {
    TakeImage image{};
    std::strcpy(image.path, (dir_ + "Guitar 1.ATAK").c_str());
    std::memcpy(image.id.Bytes, kId, sizeof kId);
    image.kind = kTakeAudio;
    image.word1 = 1;
    image.word3 = 16;
    image.word4 = 2;
    image.dataOffset = kTakeDataOffset;
    image.dataStart = 1000;
    image.dataEnd = 1000 + 2 * samples;
    return TakeAlloc(image);
  }
  INT_PTR Run(TakeRec* take) {
    return DoDialogParam(nullptr, "ATAKE2WVFRMFILE", WvfBuildDlgProc,
                         reinterpret_cast<LPARAM>(take));
  }
  std::string WvfPath() const { return dir_ + "R@B(105D.WVF"; }
  bool WvfExists() const { return GetFileAttributesA(WvfPath().c_str()) != INVALID_FILE_ATTRIBUTES; }

  std::string dir_;
};

TEST_F(WvfBuild, WritesTheWholeFileInChunksOf256Entries) {
  struct {
    uint32_t samples;
    uint32_t entries;
    std::vector<std::string> calls;
  } cases[] = {
      {1000000, 1954,
       {"NatDevGetEnvelopes(256, 512, 0)", "NatDevGetEnvelopes(256, 512, 131072)",
        "NatDevGetEnvelopes(256, 512, 262144)", "NatDevGetEnvelopes(256, 512, 393216)",
        "NatDevGetEnvelopes(256, 512, 524288)", "NatDevGetEnvelopes(256, 512, 655360)",
        "NatDevGetEnvelopes(256, 512, 786432)", "NatDevGetEnvelopes(162, 512, 917504)"}},
      {513, 2, {"NatDevGetEnvelopes(2, 512, 0)"}},
      {0, 0, {}},
  };
  for (const auto& c : cases) {
    Services().ClearLog();
    // A stale file of the same name is replaced.
    std::ofstream(WvfPath(), std::ios::binary) << "stale overview bytes";
    TakeRec* take = Take(c.samples);
    ASSERT_NE(take, nullptr);
    EXPECT_EQ(Run(take), 1) << c.samples;
    EXPECT_EQ(Services().log, c.calls) << c.samples;

    std::vector<uint8_t> file = ReadAll(WvfPath());
    ASSERT_EQ(file.size(), WvfFileSize(c.entries)) << c.samples;
    WvfHeader header;
    ASSERT_TRUE(WvfParseHeader(file.data(), file.size(), file.size(), &header));
    EXPECT_EQ(header.entries, c.entries);
    EXPECT_EQ(0, std::memcmp(header.id, kId, sizeof kId));
    // The fake gives entry e the peaks {e, -e}: every entry in its place.
    std::vector<WvfEntry> entries(c.entries);
    ASSERT_TRUE(WvfReadEntries(file.data(), file.size(), 0, c.entries, entries.data()));
    for (uint32_t e = 0; e < c.entries; ++e) {
      ASSERT_EQ(entries[e].max, int16_t(e)) << e;
      ASSERT_EQ(entries[e].min, int16_t(-int16_t(e))) << e;
    }
    TakeFree(take);
  }
}

TEST_F(WvfBuild, FailuresShowTheirMessageAndLeaveNoFile) {
  struct {
    const char* what;
    int envelopesFailAt;
    bool badFolder;
    const char* message;
  } cases[] = {
      {"no native device at the first chunk", 0, false, "Waveform file transfer error!"},
      {"no native device at the third chunk", 2, false, "Waveform file transfer error!"},
      {"folder missing", -1, true, "Unable to open waveform file!"},
  };
  for (const auto& c : cases) {
    Services().Reset();
    Services().wvFormFilePath = c.badFolder ? dir_ + "missing\\" : dir_;
    Services().envelopesFailAt = c.envelopesFailAt;
    TakeRec* take = Take(1000000);
    ModalCloser closer(IDOK);
    // The box comes up over the build's own dialog, the one with the bar.
    closer.Skip([](HWND dlg) { return FindWindowExA(dlg, nullptr, PROGRESS_CLASSA, nullptr) != nullptr; });
    EXPECT_EQ(Run(take), 0) << c.what;
    EXPECT_TRUE(closer.seen().found) << c.what;
    EXPECT_EQ(closer.seen().text, c.message) << c.what;
    EXPECT_FALSE(WvfExists()) << c.what;
    TakeFree(take);
  }
}

TEST_F(WvfBuild, CancelDeletesTheHalfWrittenFile) {
  // About 2^31 samples: 16384 chunks, so the cancel arrives mid-way.
  TakeRec* take = Take(0x7FFF0000u);
  std::string shownName;
  ModalCloser closer(IDCANCEL, [&](HWND dlg) {
    char text[64] = {};
    GetDlgItemTextA(dlg, kWvfBuildNameItem, text, sizeof text);
    shownName = text;
  });
  // The build keeps its queue busy: press Cancel from the third chunk.
  Services().onEnvelopes = [&] { if (Services().Count("NatDevGetEnvelopes(") == 3) closer.Poll(); };
  EXPECT_EQ(Run(take), 0);
  ASSERT_TRUE(closer.seen().found);
  EXPECT_EQ(shownName, "Guitar 1");
  EXPECT_GT(Services().Count("NatDevGetEnvelopes("), 0);
  EXPECT_LT(Services().Count("NatDevGetEnvelopes("), 16384);
  EXPECT_FALSE(WvfExists());
  TakeFree(take);
}

TEST_F(WvfBuild, ATakeClosedDuringTheBuildEndsItWithoutAFile) {
  TakeRec* take = Take(0x7FFF0000u);
  // Runs from the messages handed on between chunks, as another command
  // would; the OK it then sends is not a button of this dialog.
  ModalCloser closer(IDOK, [&](HWND) { TakeFree(take); });
  Services().onEnvelopes = [&] { if (Services().Count("NatDevGetEnvelopes(") == 3) closer.Poll(); };
  EXPECT_EQ(Run(take), 0);
  ASSERT_TRUE(closer.seen().found);
  EXPECT_LT(Services().Count("NatDevGetEnvelopes("), 16384);
  EXPECT_FALSE(WvfExists());
}

}  // namespace
