// Shared set-up of the Take attribute and transfer tests: an open Take store
// over a fresh folder, Takes created in it, and the file's bytes read back
// directly.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "mixer/model/options.h"
#include "mixer/model/take.h"
#include "tests/fakes/host_fake.h"
#include "tests/fakes/services_fake.h"

class TakeFileTest : public ::testing::Test {
 protected:
  std::filesystem::path folder;
  std::string dir;  // the folder as the model writes it, ending in '\'

  void SetUp() override {
    Services().Reset();
    Host().Reset();
    KeepTakesOpen = 0;
    static std::atomic<int> serial{0};
    folder = std::filesystem::temp_directory_path() /
             ("hrl-takeattr-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
              "-" + std::to_string(serial++) + "-" + std::to_string(std::rand()));
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    dir = folder.string() + "\\";
    ASSERT_EQ(TakeStoreOpen(), 1);
  }
  void TearDown() override {
    TakeStoreClose();
    KeepTakesOpen = 0;
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  }

  TakeRec* Audio(uint32_t bytesPerSample, uint32_t samples, const char* name = nullptr) {
    uint32_t error = 0;
    TakeRec* take = TakeCreateAudio(dir.c_str(), bytesPerSample, samples, 7, 48000, 25, 0, name,
                                    "desc", nullptr, nullptr, &error);
    EXPECT_NE(take, nullptr) << "error " << error;
    return take;
  }

  // The file of a Take (or of a file name in the folder) on the disk.
  std::filesystem::path Native(const char* path) const {
    std::string p(path);
    for (char& c : p)
      if (c == '\\') c = '/';
    return std::filesystem::path(p);
  }
  std::filesystem::path File(const char* name) const { return folder / name; }

  std::vector<uint8_t> ReadBytes(const TakeRec* take, uint64_t offset, size_t count) const {
    std::vector<uint8_t> bytes(count);
    FILE* f = std::fopen(Native(take->path).string().c_str(), "rb");
    if (f == nullptr) return {};
    std::fseek(f, static_cast<long>(offset), SEEK_SET);
    bytes.resize(std::fread(bytes.data(), 1, count, f));
    std::fclose(f);
    return bytes;
  }
  void WriteBytes(const TakeRec* take, uint64_t offset, const std::vector<uint8_t>& bytes) const {
    FILE* f = std::fopen(Native(take->path).string().c_str(), "r+b");
    ASSERT_NE(f, nullptr);
    std::fseek(f, static_cast<long>(offset), SEEK_SET);
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
    std::fclose(f);
  }
  uint64_t FileSize(const TakeRec* take) const {
    return std::filesystem::file_size(Native(take->path));
  }
};
