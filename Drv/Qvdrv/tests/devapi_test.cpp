// The device API through Qvdrv.dll on the simulated machine: opening a
// recorder unit by name, ownership, the boot of boards by their id, error
// mapping, the redirection table, I/O control, the error hook and timers.
#include "Drv/Qvdrv/qvdrv.h"
#include "Drv/Qvdrv/tests/scripted.h"
#include "sim/machine/simmachine.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

const QVDEVHANDLE Invalid = static_cast<QVDEVHANDLE>(INVALID_HANDLE_VALUE);

class DeviceApi : public ::testing::Test {
 protected:
  void SetUp() override {
    simmachine::Reset();
    simmachine::AddIoUnit(simunit::Generation::Second, 0x300);
    scripted::Load();
  }
  void TearDown() override {
    for (QVDEVHANDLE h : open) qvDevClose(h);
    scripted::Unload();
    simmachine::Shutdown();
  }
  QVDEVHANDLE Open(const char* name) {
    QVDEVHANDLE h = qvDevOpen(name, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, 0);
    if (h != Invalid) open.push_back(h);
    return h;
  }
  void Forget(QVDEVHANDLE h) { std::erase(open, h); }
  std::vector<QVDEVHANDLE> open;
};

TEST_F(DeviceApi, OpensARecorderUnitByNameAndOwnsIt) {
  SetLastError(1234);
  QVDEVHANDLE h = Open("Qvdev0");
  ASSERT_NE(h, Invalid);
  EXPECT_EQ(GetLastError(), 0u);
  EXPECT_NE(qvDevLocal(h), nullptr);
  // The unit's driver takes no new handle while its owner has it probed.
  EXPECT_EQ(qvDevOpen("Qvdev0", 0, FILE_SHARE_READ | FILE_SHARE_WRITE, 0), Invalid);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  Forget(h);
  EXPECT_TRUE(qvDevClose(h));
  EXPECT_EQ(GetLastError(), 0u);
  EXPECT_NE(Open("Qvdev0"), Invalid);
}

TEST_F(DeviceApi, ASecondOpenOfAnOwnedBoardSucceedsWithoutOwningIt) {
  scripted::AddBoard("Qvtvr0", 0x561101);
  QVDEVHANDLE first = Open("Qvtvr0");
  ASSERT_NE(first, Invalid);
  QVDEVHANDLE second = Open("\\\\.\\Qvtvr0");
  ASSERT_NE(second, Invalid) << GetLastError();
  EXPECT_EQ(GetLastError(), 0u);
  DWORD word = 0, returned = 0;
  EXPECT_FALSE(qvDevIoControl(second, IOCTL_QV_ATTACH, &word, 4, nullptr, 0, &returned, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BUSY));
  EXPECT_TRUE(qvDevIoControl(first, IOCTL_QV_ATTACH, &word, 4, nullptr, 0, &returned, nullptr));
  // Once the owner closes, the other handle can take the board.
  Forget(first);
  EXPECT_TRUE(qvDevClose(first));
  EXPECT_TRUE(qvDevIoControl(second, IOCTL_QV_ATTACH, &word, 4, nullptr, 0, &returned, nullptr));
}

TEST_F(DeviceApi, OpenFailuresAreMapped) {
  struct Case {
    const char* name;
    DWORD error;
  };
  const Case cases[] = {
      {"Qvdev7", ERROR_BAD_UNIT},            // no such device: file not found
      {"\\\\studio", ERROR_INVALID_PARAMETER},  // a remote name without a device
      {"\\\\studio\\", ERROR_INVALID_PARAMETER},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(qvDevOpen(c.name, 0, 0, 0), Invalid) << c.name;
    EXPECT_EQ(GetLastError(), c.error) << c.name;
  }
  struct Bad {
    const char* what;
    BOOL ok;
  };
  DWORD r;
  SetLastError(0);
  EXPECT_FALSE(qvDevClose(Invalid));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  SetLastError(0);
  EXPECT_FALSE(qvDevIoControl(Invalid, IOCTL_QV_GET_ID, nullptr, 0, nullptr, 0, &r, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  SetLastError(0);
  EXPECT_EQ(qvDevLocal(Invalid), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(DeviceApi, RedirectedNamesOpenTheirTarget) {
  ASSERT_TRUE(WritePrivateProfileStringA("Redirect", "Recorder", "Qvdev0", "Qvdrv.ini"));
  ASSERT_TRUE(WritePrivateProfileStringA("Redirect", "Nowhere", "\\\\studio", "Qvdrv.ini"));
  EXPECT_NE(Open("Recorder"), Invalid);
  EXPECT_EQ(qvDevOpen("Nowhere", 0, 0, 0), Invalid);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  WritePrivateProfileStringA("Redirect", nullptr, nullptr, "Qvdrv.ini");
}

TEST_F(DeviceApi, IoControlRoundTripsAndIgnoresOverlapped) {
  QVDEVHANDLE h = Open("Qvdev0");
  ASSERT_NE(h, Invalid);
  // The unit's time-out: the new value in, the old one out.
  DWORD set = 5000, old = 0, returned = 0;
  ASSERT_TRUE(qvDevIoControl(h, IOCTL_QV_TIMEOUT, &set, 4, &old, 4, &returned, nullptr));
  EXPECT_EQ(returned, 4u);
  DWORD again = 7000;
  OVERLAPPED ov{};  // not passed on: the call completes before it returns
  ASSERT_TRUE(qvDevIoControl(h, IOCTL_QV_TIMEOUT, &again, 4, &old, 4, nullptr, &ov));
  EXPECT_EQ(old, 5000u);
  // The identity of the unit.
  DWORD id[3] = {};
  ASSERT_TRUE(qvDevIoControl(h, IOCTL_QV_GET_ID, nullptr, 0, id, sizeof id, &returned, nullptr));
  EXPECT_EQ(id[0], QvInterfaceVersion);
  // A request the unit does not know fails with the driver's reason.
  EXPECT_FALSE(qvDevIoControl(h, IOCTL_QV_WAVE_RATE, nullptr, 0, nullptr, 0, &returned, nullptr));
  EXPECT_NE(GetLastError(), 0u);
}

TEST_F(DeviceApi, BoardsThatDoNotRunAreBootedByTheirId) {
  struct Case {
    uint32_t boardId;
    std::vector<uint32_t> codes;  // boot requests in order
    std::vector<uint32_t> lengths;
  };
  // Raw images are 32 bytes; the program files 14 bytes of which 9 go down.
  const Case cases[] = {
      {0xAB2345, {IOCTL_QV_BOOT, IOCTL_QV_LOAD}, {32, 9}},
      {0xAB1920, {IOCTL_QV_BOOT, IOCTL_QV_LOAD}, {32, 9}},
      {0xAB6935, {IOCTL_QV_BOOT, IOCTL_QV_LOAD}, {32, 9}},
      {0x561101, {IOCTL_QV_BOOT}, {32}},
  };
  int n = 0;
  for (const Case& c : cases) {
    std::string name = "Qvboard" + std::to_string(n++);
    scripted::AddBoard(name.c_str(), c.boardId);
    QVDEVHANDLE h = Open(name.c_str());
    ASSERT_NE(h, Invalid) << std::hex << c.boardId;
    EXPECT_EQ(GetLastError(), 0u);
    std::vector<uint32_t> codes, lengths;
    std::vector<uint8_t> first;
    for (const scripted::Request& r : scripted::BoardRequests(name.c_str())) {
      if (r.code != IOCTL_QV_BOOT && r.code != IOCTL_QV_LOAD) continue;
      codes.push_back(r.code);
      lengths.push_back(static_cast<uint32_t>(r.input.size()));
      if (first.empty()) first = r.input;
    }
    EXPECT_EQ(codes, c.codes) << std::hex << c.boardId;
    EXPECT_EQ(lengths, c.lengths) << std::hex << c.boardId;
    // The raw image names the interface version and the board id.
    ASSERT_GE(first.size(), 24u);
    uint32_t words[6];
    std::memcpy(words, first.data(), sizeof words);
    EXPECT_EQ(words[1], 2u);
    EXPECT_EQ(words[2], 0x000AF080u);
    EXPECT_EQ(words[4], QvInterfaceVersion);
    EXPECT_EQ(words[5], c.boardId);
    // No second attach after the boot.
    size_t attaches = 0;
    for (const scripted::Request& r : scripted::BoardRequests(name.c_str())) attaches += r.code == IOCTL_QV_ATTACH;
    EXPECT_EQ(attaches, 1u);
  }
}

TEST_F(DeviceApi, BootStopsAtTheFirstFailureAndUnknownBoardsFail) {
  scripted::AddBoard("Qvtvr0", 0xAB2345, 0);  // the first image fails
  EXPECT_EQ(qvDevOpen("Qvtvr0", 0, 0, 0), Invalid);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_GEN_FAILURE));
  size_t boots = 0;
  for (const scripted::Request& r : scripted::BoardRequests("Qvtvr0"))
    boots += r.code == IOCTL_QV_BOOT || r.code == IOCTL_QV_LOAD;
  EXPECT_EQ(boots, 1u);

  scripted::AddBoard("Qvmio0", 0xAB9A3E);
  scripted::AddBoard("Qvodd0", 0x123456);
  for (const char* name : {"Qvmio0", "Qvodd0"}) {
    EXPECT_EQ(qvDevOpen(name, 0, 0, 0), Invalid) << name;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BUS_RESET)) << name;
    for (const scripted::Request& r : scripted::BoardRequests(name)) EXPECT_NE(r.code, IOCTL_QV_BOOT) << name;
  }
}

TEST_F(DeviceApi, BoardClassFramesImagesAndMemoryRecords) {
  scripted::AddBoard("Qvtvr1", 0xAB2345);
  QVDEVHANDLE h = Open("Qvtvr1");
  ASSERT_NE(h, Invalid);
  CTavrion board(h);
  size_t before = scripted::BoardRequests("Qvtvr1").size();
  const BYTE four[4] = {1, 2, 3, 4};
  EXPECT_FALSE(board.Boot(four, 4));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_FORMAT));
  EXPECT_EQ(scripted::BoardRequests("Qvtvr1").size(), before);
  const BYTE empty[5] = {0x10, 0xF3, 0x29, 7, 8};
  EXPECT_TRUE(board.Boot(empty, 5));
  std::vector<scripted::Request> r = scripted::BoardRequests("Qvtvr1");
  ASSERT_EQ(r.size(), before + 1);
  EXPECT_EQ(r.back().code, IOCTL_QV_LOAD);
  EXPECT_TRUE(r.back().input.empty());
  // A resource of the library's caller by integer id: none here.
  EXPECT_FALSE(board.Boot(MAKEINTRESOURCEA(103), GetModuleHandleA(nullptr)));
}

// The hook's arguments, recorded.
struct HookCall {
  DWORD context;
  HMODULE module;
  DWORD messageId;
  DWORD dataLen;
  std::vector<std::string> strings;
};
std::vector<HookCall> g_calls;
void WINAPI Record(DWORD context, HMODULE module, DWORD messageId, LPVOID, DWORD dataLen, DWORD nStrings,
                   LPCSTR* strings) {
  HookCall c{context, module, messageId, dataLen, {}};
  for (DWORD i = 0; i < nStrings; ++i) c.strings.emplace_back(strings[i]);
  g_calls.push_back(c);
}

TEST(ErrorHook, ReadingDoesNotChangeAndReportsCarryTheErrorText) {
  QvErrorCallback initial = qvDevErrFunc(nullptr);
  EXPECT_NE(initial, nullptr);
  EXPECT_EQ(qvDevErrFunc(nullptr), initial);
  EXPECT_EQ(qvDevErrFunc(Record), initial);
  g_calls.clear();

  HMODULE library = GetModuleHandleA("Qvdrv.dll");
  qvDevError(7, nullptr, 0xC005138B, nullptr, 0, 1, ERROR_ACCESS_DENIED, "Qvdev0");
  ASSERT_EQ(g_calls.size(), 1u);
  EXPECT_EQ(g_calls[0].context, 7u);
  EXPECT_EQ(g_calls[0].module, library);
  EXPECT_EQ(g_calls[0].messageId, 0xC005138Bu);
  ASSERT_EQ(g_calls[0].strings.size(), 2u);
  EXPECT_FALSE(g_calls[0].strings[0].empty());
  EXPECT_NE(g_calls[0].strings[0].substr(g_calls[0].strings[0].size() - 1), "\n");
  EXPECT_EQ(g_calls[0].strings[1], "Qvdev0");
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

  // Error 0 takes the last error; when that is 0 too the text is empty.
  SetLastError(0);
  qvDevError(0, nullptr, 0x40050001, nullptr, 0, 0, 0);
  ASSERT_EQ(g_calls.size(), 2u);
  EXPECT_EQ(g_calls[1].strings, std::vector<std::string>{""});
  // An error no table knows reads "Error" and the code text.
  qvDevError(0, nullptr, 0x40050001, nullptr, 0, 0, 0xE0001234);
  ASSERT_EQ(g_calls.size(), 3u);
  EXPECT_EQ(g_calls[2].strings[0], "Error 4660 (0xE0001234)");

  qvDevErrFunc(initial);
}

// The default hook writes the report to the standard error handle.
std::string ConsoleReport(DWORD messageId, const void* data, DWORD dataLen) {
  char path[MAX_PATH];
  GetTempPathA(sizeof path, path);
  std::string file = std::string(path) + "qvdrv_console.txt";
  HANDLE out = CreateFileA(file.c_str(), GENERIC_WRITE | GENERIC_READ, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0,
                           nullptr);
  HANDLE saved = GetStdHandle(STD_ERROR_HANDLE);
  SetStdHandle(STD_ERROR_HANDLE, out);
  qvDevError(0, nullptr, messageId, const_cast<void*>(data), dataLen, 1, ERROR_ACCESS_DENIED, "Qvdev0");
  SetStdHandle(STD_ERROR_HANDLE, saved);
  CloseHandle(out);
  std::string text(4096, '\0');
  HANDLE in = CreateFileA(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  DWORD n = 0;
  ReadFile(in, text.data(), static_cast<DWORD>(text.size()), &n, nullptr);
  CloseHandle(in);
  DeleteFileA(file.c_str());
  text.resize(n);
  return text;
}

TEST(ErrorHook, TheDefaultHookWritesTextAndDump) {
  const uint32_t words[2] = {1, 0xABCD};
  std::string text = ConsoleReport(0xC005138B, words, sizeof words);
  EXPECT_EQ(text[0], '[');
  EXPECT_NE(text.find("] Error: Unable to open local device Qvdev0,"), std::string::npos) << text;
  EXPECT_NE(text.find(" 00000001 0000ABCD\n"), std::string::npos) << text;
  // No text for the id: the id and the strings; an odd length dumps bytes.
  const uint8_t bytes[3] = {0xDE, 0xAD, 0x01};
  text = ConsoleReport(0x80001234, bytes, 3);
  EXPECT_NE(text.find("] Warning: 0x80001234\n"), std::string::npos) << text;
  EXPECT_NE(text.find(" Qvdev0\n"), std::string::npos) << text;
  EXPECT_NE(text.find(" DE AD 01\n"), std::string::npos) << text;
}

TEST(LastErrorText, TextAndNumberAndTheErrorKept) {
  SetLastError(ERROR_FILE_NOT_FOUND);
  std::string text = GetLastErrorText();
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_NE(text.find(" (2)"), std::string::npos) << text;
  EXPECT_EQ(text.find('\n'), std::string::npos) << text;
  SetLastError(99999);  // no system text
  EXPECT_STREQ(GetLastErrorText(), "LastError = 99999");
}

TEST(Timer, PeriodZeroFailsAndATimerTicks) {
  QVTIMER t{};
  EXPECT_FALSE(CreateTimer(&t, 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(t.event, nullptr);
  EXPECT_FALSE(CreateTimer(nullptr, 10));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

  // A period the platform refuses: what was made is closed and cleared, so
  // the caller's later DeleteTimer finds nothing to close again.
  EXPECT_FALSE(CreateTimer(&t, 0x7FFFFFFF));
  EXPECT_NE(GetLastError(), 0u);
  EXPECT_EQ(t.event, nullptr);
  EXPECT_EQ(t.id, 0u);
  DeleteTimer(&t);

  ASSERT_TRUE(CreateTimer(&t, 5));
  EXPECT_EQ(t.period, 5u);
  EXPECT_NE(t.id, 0u);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(WaitForSingleObject(t.event, 5000), WAIT_OBJECT_0);
  EXPECT_GE(t.ticks, 3u);
  t.reserved = 0x5A5A;
  DeleteTimer(&t);
  EXPECT_EQ(t.reserved, 0x5A5Au);
  DWORD ticks = t.ticks;
  Sleep(30);
  EXPECT_EQ(t.ticks, ticks);
  // A second delete closes nothing twice.
  DeleteTimer(&t);
  DeleteTimer(nullptr);
}

}  // namespace
