// A small host for the time module's tests: Parts and Takes in memory
// behind the service table, every change logged.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "timemodule/eop.h"
#include "timemodule/tmrun.h"

struct FakePart {
  int32_t length = 0;
  uint32_t take = 0;
  int32_t offset = 0;
  std::string name;
  bool selected = true;
  bool timelocked = false;
  uint32_t partner = 0;  // item 9: Part handle on the next track
};
struct FakeTake {
  uint32_t bits = 24;
  uint32_t rate = 48000;
  std::string name;
  std::vector<int32_t> words;  // the host's words: 16-bit values or 32-bit words
  std::vector<uint8_t> written;
  EopTimeCode stamp{};
};

struct FakeHostState {
  std::vector<FakePart> parts;  // handle = index + 1
  std::vector<FakeTake> takes;  // handle = index + 1
  uint32_t projRate = 48000;
  uint32_t tempo = 12000;
  std::vector<std::string> log;
  int32_t failSetItem2 = 0;   // result of item 2 changes when non-zero
  int32_t failWriteAt = -1;   // WriteTake fails from this call on
  int32_t writes = 0;
};
FakeHostState& Fake();
EOPHOSTFUNCS FakeTable();

// A UI that answers the parameter dialog with a fixed L1, runs the blocks
// directly, records messages and may ask for an abort after some blocks.
class TestUi : public tmod::TmUi {
 public:
  int32_t answer = 0;
  int abortAfter = -1;
  int pumps = 0;
  std::vector<std::string> messages;
  std::string oldNames, newNames;
  tmod::TmParams* lastParams = nullptr;
  int32_t ParamDialog(tmod::TmParams& p, const std::string& name) override {
    oldNames = name;
    return answer;
  }
  void Message(const std::string& text, const std::string& title) override { messages.push_back(title + ": " + text); }
  int32_t Progress(const tmod::TmRun& run, const EOPHOSTFUNCS& host) override {
    return tmod::TmProcessBlocks(run, host, *this);
  }
  void ShowTakes(const std::string& o, const std::string& n) override {
    oldNames = o;
    newNames = n;
  }
  int Pump() override { return ++pumps == abortAfter; }
};
