// Numbered Take attributes and the byte transfer of log Takes.
#include <gtest/gtest.h>

#include <cstring>

#include "mixer/model/util/paths.h"
#include "mixer/model/settings.h"
#include "mixer/model/util/strtab.h"
#include "mixer/model/util/strutil.h"
#include "mixer/model/takeattr.h"
#include "mixer/model/wvfcache.h"
#include "takeattr_fixture.h"

namespace {

class TakeAttrTest : public TakeFileTest {
 protected:
  uintptr_t Get(TakeRec* take, uint32_t number) { return TakeGetAttr(take, number); }
  int Set(TakeRec* take, uint32_t number, uintptr_t value, uint32_t* error) {
    return TakeSetAttr(take, number, value, error);
  }
  static const char* PathOf(const TakeRec* take) { return PathFindName(take->path); }
  // The header as the file now holds it.
  TakeImage Reread(const TakeRec* take) {
    TakeImage image;
    std::memset(&image, 0, sizeof image);
    EXPECT_EQ(ReadTakeHeader(take->path, &image), 1) << take->path;
    return image;
  }
  TakeRec* Log(uint32_t kind, uint32_t dataBytes) {
    uint32_t error = 0;
    TakeRec* take =
        kind == kTakeAutom
            ? TakeCreateAutom(dir.c_str(), 12, 33, 44, dataBytes, 0, 0, 0, 0, nullptr, nullptr,
                              nullptr, nullptr, &error)
            : TakeCreateMidi(dir.c_str(), 480, 12, 33, dataBytes, 0, 0, 0, 0, nullptr, nullptr,
                             nullptr, nullptr, &error);
    EXPECT_NE(take, nullptr) << error;
    return take;
  }
};

TEST_F(TakeAttrTest, ReadsEveryNumber) {
  TakeRec* audio = Audio(3, 1000, "Vox L");
  ASSERT_NE(audio, nullptr);
  audio->dataStart = 30;
  struct Case {
    uint32_t number;
    uintptr_t value;
  } cases[] = {
      {kTakeAttrDescription, reinterpret_cast<uintptr_t>(audio->description)},
      {kTakeAttrCreated, reinterpret_cast<uintptr_t>(&audio->created)},
      {kTakeAttrModified, reinterpret_cast<uintptr_t>(&audio->modified)},
      {kTakeAttrId, reinterpret_cast<uintptr_t>(&audio->id)},
      {kTakeAttrTcStamp, reinterpret_cast<uintptr_t>(&audio->tcStamp)},
      {kTakeAttrKind, kTakeAudio},
      {kTakeAttrDataBytes, 2970},
      {kTakeAttrLength, 990},
      {kTakeAttrCreatorValue, 7},
      {kTakeAttrSampleRate, 48000},
      {kTakeAttrFrameRate, 25},
      {kTakeAttrDataStart, 30},
      {kTakeAttrChannels, 1},
      {kTakeAttrAudioWord2, 0},
      {kTakeAttrBitsPerSample, 24},
      {kTakeAttrBytesPerSample, 3},
      // Numbers without a value, and numbers past the table.
      {4, 0}, {9, 0}, {11, 0}, {14, 0}, {31, 0}, {34, 0}, {0xFFFFFFFFu, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(Get(audio, c.number), c.value) << c.number;
  EXPECT_STREQ(reinterpret_cast<const char*>(Get(audio, kTakeAttrName)), "Vox L");
  EXPECT_STREQ(reinterpret_cast<const char*>(Get(audio, kTakeAttrDescription)), "desc");
  EXPECT_EQ(Get(nullptr, kTakeAttrKind), 0u);
  // A header's data start is not checked when read: one past its end means no data.
  audio->dataStart = audio->dataEnd + 3;
  EXPECT_EQ(Get(audio, kTakeAttrDataBytes), 0u);
  EXPECT_EQ(Get(audio, kTakeAttrLength), 0u);

  // Kind words under their names per kind; the in-memory log handles.
  TakeRec* autom = Log(kTakeAutom, 40);
  TakeRec* midi = Log(kTakeMidi, 40);
  ASSERT_NE(autom, nullptr);
  ASSERT_NE(midi, nullptr);
  autom->word5 = 0xABCD;
  midi->word4 = 0x1234;
  EXPECT_EQ(Get(autom, kTakeAttrLength), 12u);
  EXPECT_EQ(Get(autom, kTakeAttrAutWord2), 0u);
  EXPECT_EQ(Get(autom, kTakeAttrAutWord3), 33u);
  EXPECT_EQ(Get(autom, kTakeAttrAutWord4), 44u);
  EXPECT_EQ(Get(autom, kTakeAttrAutLog), 0xABCDu);
  EXPECT_EQ(Get(midi, kTakeAttrLength), 12u);
  EXPECT_EQ(Get(midi, kTakeAttrTickResolution), 480u);
  EXPECT_EQ(Get(midi, kTakeAttrMidiWord3), 33u);
  EXPECT_EQ(Get(midi, kTakeAttrMidiLog), 0x1234u);
}

TEST_F(TakeAttrTest, ZeroRateAndFrameCodeReadAsTheProjects) {
  TakeRec* take = Audio(2, 10);
  ASSERT_NE(take, nullptr);
  take->sampleRate = 0;
  take->frameRate = 0;
  Settings().SampleRate = 96000;
  Settings().CurFrameRate = 30;
  EXPECT_EQ(Get(take, kTakeAttrSampleRate), 96000u);
  EXPECT_EQ(Get(take, kTakeAttrFrameRate), 30u);
  Settings() = ProjectSettings();
}

TEST_F(TakeAttrTest, HeaderFieldsAreWrittenThrough) {
  TakeRec* autom = Log(kTakeAutom, 40);
  TakeRec* midi = Log(kTakeMidi, 40);
  ASSERT_NE(autom, nullptr);
  ASSERT_NE(midi, nullptr);
  struct Case {
    TakeRec* take;
    uint32_t number;
    uint32_t value;
    uint32_t TakeImage::*field;
  } cases[] = {
      {autom, kTakeAttrCreatorValue, 0xC0FFEE, &TakeImage::creatorValue},
      {autom, kTakeAttrSampleRate, 88200, &TakeImage::sampleRate},
      {autom, kTakeAttrFrameRate, 29, &TakeImage::frameRate},
      {autom, kTakeAttrDataStart, 39, &TakeImage::dataStart},
      {autom, kTakeAttrLength, 77, &TakeImage::word1},
      {autom, kTakeAttrAutWord3, 5, &TakeImage::word3},
      {autom, kTakeAttrAutWord4, 6, &TakeImage::word4},
      {midi, kTakeAttrLength, 78, &TakeImage::word1},
      {midi, kTakeAttrMidiWord3, 9, &TakeImage::word3},
      // The names of one kind reach the same words of another.
      {midi, kTakeAttrAutWord3, 10, &TakeImage::word3},
      {autom, kTakeAttrMidiWord3, 11, &TakeImage::word3},
  };
  for (const Case& c : cases) {
    uint32_t error = 0;
    ASSERT_EQ(Set(c.take, c.number, c.value, &error), 1) << c.number << " error " << error;
    EXPECT_EQ(c.take->*c.field, c.value) << c.number;
    EXPECT_EQ(Reread(c.take).*c.field, c.value) << c.number;
  }

  const char* longText = "0123456789012345678901234567890123456789012345678901234567890123456789"
                         "0123456789012345678901234567890123456789012345678901234567890123456789";
  uint32_t error = 0;
  ASSERT_EQ(Set(autom, kTakeAttrDescription, reinterpret_cast<uintptr_t>(longText), &error), 1);
  EXPECT_EQ(std::strlen(Reread(autom).description), 127u);
  const TcRec stamp = {1, 2, 3, 4, 500};
  ASSERT_EQ(Set(autom, kTakeAttrTcStamp, reinterpret_cast<uintptr_t>(&stamp), &error), 1);
  const TakeImage written = Reread(autom);
  EXPECT_EQ(std::memcmp(&written.tcStamp, &stamp, sizeof stamp), 0);

  // The log handles live in memory only.
  ASSERT_EQ(Set(autom, kTakeAttrAutLog, 0x77, &error), 1);
  ASSERT_EQ(Set(midi, kTakeAttrMidiLog, 0x88, &error), 1);
  EXPECT_EQ(autom->word5, 0x77u);
  EXPECT_EQ(midi->word4, 0x88u);
  EXPECT_EQ(Reread(midi).word4, 0u);
  ASSERT_EQ(Set(midi, kTakeAttrAutLog, 0x99, &error), 1);
  ASSERT_EQ(Set(autom, kTakeAttrMidiLog, 0xAA, &error), 1);
  EXPECT_EQ(midi->word5, 0x99u);
  EXPECT_EQ(autom->word4, 0xAAu);
  EXPECT_EQ(Reread(autom).word4, 6u);
}

TEST_F(TakeAttrTest, RefusedChanges) {
  TakeRec* audio = Audio(3, 100);
  ASSERT_NE(audio, nullptr);
  struct Case {
    uint32_t number;
    uintptr_t value;
    uint32_t error;  // 0: not settable, error left alone
  } cases[] = {
      {kTakeAttrDataStart, 300, IDS_INTERNAL_CODE_ERROR},  // = data end
      {kTakeAttrDataStart, 301, IDS_INTERNAL_CODE_ERROR},
      {kTakeAttrLength, 1500000000, IDS_TAKE_SIZE_LIMIT},
      {kTakeAttrDescription, 0, IDS_INTERNAL_CODE_ERROR},  // no text
      {kTakeAttrTcStamp, 0, IDS_INTERNAL_CODE_ERROR},
      {kTakeAttrName, 0, IDS_INTERNAL_CODE_ERROR},
      // Words 3 and 4 of an Audio Take are its sample format: set through
      // another kind's names they would leave a header that no longer reads
      // as a Take, and a transfer packing a width its caller did not size.
      {kTakeAttrAutWord3, 20, IDS_INTERNAL_CODE_ERROR},
      {kTakeAttrAutWord4, 9, IDS_INTERNAL_CODE_ERROR},
      {kTakeAttrMidiWord3, 20, IDS_INTERNAL_CODE_ERROR},
      {kTakeAttrMidiLog, 9, IDS_INTERNAL_CODE_ERROR},
      {kTakeAttrKind, 20, 0},
      {kTakeAttrCreated, 1, 0},
      {kTakeAttrBytesPerSample, 2, 0},
      {kTakeAttrTickResolution, 1, 0},
      {31, 1, 0},
      {34, 1, 0},
  };
  for (const Case& c : cases) {
    uint32_t error = 12345;
    EXPECT_EQ(Set(audio, c.number, c.value, &error), 0) << c.number;
    EXPECT_EQ(error, c.error ? c.error : 12345u) << c.number;
  }
  EXPECT_EQ(audio->dataStart, 0u);
  EXPECT_EQ(audio->dataEnd, 300u);
  EXPECT_EQ(audio->word3, 24u);
  EXPECT_EQ(audio->word4, 3u);
  EXPECT_EQ(Reread(audio).word3, 24u);
  EXPECT_EQ(FileSize(audio), 822u);
  EXPECT_EQ(Set(audio, kTakeAttrAutLog, 5, nullptr), 1);  // word 5 is nobody's format
  EXPECT_EQ(Set(audio, kTakeAttrDataStart, 299, nullptr), 1);  // a null out is allowed
  uint32_t error = 0;
  EXPECT_EQ(Set(nullptr, kTakeAttrCreatorValue, 1, &error), 0);
  EXPECT_EQ(error, uint32_t{IDS_INTERNAL_CODE_ERROR});
}

TEST_F(TakeAttrTest, HeaderRewriteFailureKeepsTheNewValue) {
  TakeRec* take = Audio(2, 10);
  ASSERT_NE(take, nullptr);
  std::filesystem::remove(Native(take->path));
  uint32_t error = 0;
  EXPECT_EQ(Set(take, kTakeAttrCreatorValue, 99, &error), 0);
  EXPECT_EQ(error, uint32_t{IDS_FILE_NOT_UPDATED});
  EXPECT_EQ(take->creatorValue, 99u);
  // Resizing a vanished file fails before anything changes.
  EXPECT_EQ(Set(take, kTakeAttrDataBytes, 40, &error), 0);
  EXPECT_EQ(error, uint32_t{IDS_NO_DISK_SPACE_ON});
  EXPECT_EQ(take->dataEnd, 20u);
}

TEST_F(TakeAttrTest, ResizingSetsTheFileAndTheHeader) {
  TakeRec* audio = Audio(3, 100);
  ASSERT_NE(audio, nullptr);
  audio->dataStart = 6;
  uint32_t error = 0;
  ASSERT_EQ(Set(audio, kTakeAttrLength, 50, &error), 1) << error;  // samples
  EXPECT_EQ(audio->dataEnd, 156u);
  EXPECT_EQ(FileSize(audio), 522u + 156u);
  EXPECT_EQ(Reread(audio).dataEnd, 156u);
  EXPECT_EQ(Get(audio, kTakeAttrLength), 50u);
  ASSERT_EQ(Set(audio, kTakeAttrDataBytes, 600, &error), 1) << error;  // bytes
  EXPECT_EQ(FileSize(audio), 522u + 606u);
  EXPECT_EQ(Get(audio, kTakeAttrDataBytes), 600u);
  // A start beyond 32 bits of data end cannot be stored.
  audio->dataStart = 0xFFFFFF00u;
  audio->dataEnd = 0xFFFFFF10u;
  EXPECT_EQ(Set(audio, kTakeAttrDataBytes, 0x100, &error), 0);
  EXPECT_EQ(error, uint32_t{IDS_TAKE_SIZE_LIMIT});
}

TEST_F(TakeAttrTest, RenameKeepsExtensionAndFindsAFreeName) {
  TakeRec* take = Audio(2, 10, "Vox L");
  TakeRec* other = Audio(2, 10, "Bass L");
  ASSERT_NE(take, nullptr);
  ASSERT_NE(other, nullptr);
  struct Case {
    const char* name;
    const char* file;  // the file name afterwards
  } cases[] = {
      {"VOX l", "Vox L.ATAK"},         // only the case differs: nothing happens
      {"Lead", "Lead.ATAK"},
      {"Bass L", "Bass (2) L.ATAK"},   // taken: numbered before the channel suffix
      {"0123456789012345678901234567890123456789012345678901234567890123456789",
       "012345678901234567890123456789012345678901234567890123456789012.ATAK"},
  };
  for (const Case& c : cases) {
    uint32_t error = 0;
    ASSERT_EQ(Set(take, kTakeAttrName, reinterpret_cast<uintptr_t>(c.name), &error), 1)
        << c.name << " error " << error;
    EXPECT_STREQ(PathOf(take), c.file);
    EXPECT_TRUE(std::filesystem::exists(File(c.file))) << c.file;
    EXPECT_EQ(TakeLookupPath(take->path), take);
  }
  EXPECT_FALSE(std::filesystem::exists(File("Vox L.ATAK")));
  EXPECT_TRUE(std::filesystem::exists(File("Bass L.ATAK")));
}

TEST_F(TakeAttrTest, WaveformOverviewAnswerIsRemembered) {
  Services().wvFormFilePath = dir;
  TakeRec* take = Audio(2, 10);
  ASSERT_NE(take, nullptr);
  EXPECT_EQ(Get(take, kTakeAttrWaveExists), 0u);
  // Built behind the Take's back: the remembered answer stands.
  char path[kTakePathSize];
  StrCopyN(path, dir.c_str(), sizeof path);
  ASSERT_EQ(WvfCacheName(take, path, sizeof path), 1);
  std::fclose(std::fopen(Native(path).string().c_str(), "wb"));
  EXPECT_EQ(Get(take, kTakeAttrWaveExists), 0u);
  EXPECT_EQ(Set(take, kTakeAttrWaveExists, 1, nullptr), 1);
  EXPECT_EQ(Get(take, kTakeAttrWaveExists), 1u);
  EXPECT_EQ(Set(take, kTakeAttrWaveExists, 2, nullptr), 1);  // bit 0 only
  EXPECT_EQ(Get(take, kTakeAttrWaveExists), 0u);

  // Setting the answer before any request does not mark it checked: the
  // first request still looks at the disk.
  TakeRec* told = Audio(2, 10);
  ASSERT_NE(told, nullptr);
  StrCopyN(path, dir.c_str(), sizeof path);
  ASSERT_EQ(WvfCacheName(told, path, sizeof path), 1);
  std::fclose(std::fopen(Native(path).string().c_str(), "wb"));
  EXPECT_EQ(Set(told, kTakeAttrWaveExists, 0, nullptr), 1);
  EXPECT_EQ(Get(told, kTakeAttrWaveExists), 1u);

  TakeRec* built = Audio(2, 10);  // a new Take, first request: the file is looked for
  ASSERT_NE(built, nullptr);
  StrCopyN(path, dir.c_str(), sizeof path);
  ASSERT_EQ(WvfCacheName(built, path, sizeof path), 1);
  std::fclose(std::fopen(Native(path).string().c_str(), "wb"));
  EXPECT_EQ(Get(built, kTakeAttrWaveExists), 1u);
}

TEST_F(TakeAttrTest, LogBytesMoveWithinTheValidData) {
  TakeRec* take = Log(kTakeMidi, 64);
  ASSERT_NE(take, nullptr);
  uint32_t error = 0;
  ASSERT_EQ(Set(take, kTakeAttrDataStart, 16, &error), 1);  // 48 valid bytes
  const char text[] = "note on, note off";
  ASSERT_EQ(TakeDataIo(take, 1, 10, sizeof text, const_cast<char*>(text), &error), 1) << error;
  EXPECT_EQ(ReadBytes(take, kTakeDataOffset + 16 + 10, sizeof text),
            std::vector<uint8_t>(text, text + sizeof text));
  char back[sizeof text] = {};
  ASSERT_EQ(TakeDataIo(take, 0, 10, sizeof back, back, &error), 1) << error;
  EXPECT_STREQ(back, text);
  char whole[48];
  EXPECT_EQ(TakeDataIo(take, 0, 0, 48, whole, &error), 1);

  struct Range {
    uint32_t position;
    uint32_t count;
  } refused[] = {{0, 0}, {0, 49}, {1, 48}, {48, 1}, {0xFFFFFFFFu, 2}, {2, 0xFFFFFFFFu}};
  for (const Range& r : refused) {
    error = 0;
    EXPECT_EQ(TakeDataIo(take, 0, r.position, r.count, whole, &error), 0) << r.position;
    EXPECT_EQ(error, uint32_t{IDS_INTERNAL_CODE_ERROR}) << r.position << "+" << r.count;
  }
  std::filesystem::remove(Native(take->path));
  for (int write : {0, 1}) {
    EXPECT_EQ(TakeDataIo(take, write, 0, 4, whole, &error), 0);
    EXPECT_EQ(error, uint32_t{IDS_FILE_NOT_READ_WRITTEN});
  }
}

}  // namespace
