#include "mixer/units/unitops.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr uint32_t kDefaultTimeout = 2000;
int ninePinError = 0;

// One device call; a failure with a code ends the program through the fatal
// report (which returns only in tests) and gives 0.
int Io(UnitHandle h, uint32_t code, const void* in, uint32_t inLen, void* out, uint32_t outLen,
       int fatal, uint32_t* got = nullptr) {
  uint32_t n = 0;
  if (UnitDev().ioctl(h, code, in, inLen, out, outLen, &n)) {
    if (got) *got = n;
    return 1;
  }
  if (fatal) UnitDev().fatal(h, fatal);
  return 0;
}

// A generic command: the command number in, the reply out.
int Cmd(UnitHandle h, uint32_t cmd, void* out, uint32_t outLen, int fatal) {
  return Io(h, kPtCommand, &cmd, sizeof cmd, out, outLen, fatal);
}

// A command of a family: the command number, then its parameter words.
int Family(UnitHandle h, uint32_t code, uint32_t cmd, const uint32_t* params, int count, int fatal) {
  uint32_t request[12] = {cmd};
  for (int i = 0; i < count; ++i) request[1 + i] = params[i];
  return Io(h, code, request, static_cast<uint32_t>((1 + count) * 4), nullptr, 0, fatal);
}

int SetTimeout(UnitHandle h, uint32_t ms, int fatal) { return Io(h, kIoTimeout, &ms, 4, nullptr, 0, fatal); }

int Completion(UnitHandle h, int fatal) {
  uint32_t word = 0;
  return Io(h, kPtCompletion, nullptr, 0, &word, 4, fatal);
}

uint32_t Low24(int64_t v) { return static_cast<uint32_t>(v) & 0xFFFFFF; }
uint32_t High(int64_t v) { return static_cast<uint32_t>(static_cast<uint64_t>(v) >> 24); }

bool ReadFile(const char* name, std::vector<uint8_t>* bytes) {
  std::FILE* f = name ? std::fopen(name, "rb") : nullptr;
  if (!f) return false;
  uint8_t buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes->insert(bytes->end(), buf, buf + n);
  bool ok = !std::ferror(f);
  std::fclose(f);
  return ok;
}

// The body of a DSP program file after its mark 10 F3 29, in whole 24-bit
// words; false when the mark is missing or the body is empty or ragged.
bool DspBody(const std::vector<uint8_t>& file) {
  return file.size() > 3 && file[0] == 0x10 && file[1] == 0xF3 && file[2] == 0x29 &&
         (file.size() - 3) % 3 == 0;
}

int Close(UnitHandle h) { return UnitDev().close(h); }

uint32_t Reset(UnitHandle h) {
  if (!Io(h, kIoBoot, nullptr, 0, nullptr, 0, 0)) return kMsgUnitComm;
  UnitDev().sleep(200);
  return 0;
}

uint32_t GetHwVersion(UnitHandle h, uint32_t* kind) {
  uint32_t word = 0, version = 0;
  if (!Io(h, kPtHwVersion, &word, 4, &version, 4, 0)) return kMsgUnitComm;
  *kind = 1;
  if (version < 4098) return 0;
  word = 1;
  uint32_t hw = 0;
  if (!Io(h, kPtHwVersion, &word, 4, &hw, 4, 0)) return kMsgUnitComm;
  *kind = hw == 1 ? 2 : hw == 2 ? 3 : 1;
  return 0;
}

uint32_t LoadProgram(UnitHandle h, const char* file) {
  std::vector<uint8_t> image;
  if (!ReadFile(file, &image) || image.empty()) return kMsgDspFile;
  uint32_t size = static_cast<uint32_t>(image.size());
  if (!Io(h, kPtLoadStart, nullptr, 0, nullptr, 0, 0) || !Io(h, kPtSize, &size, 4, nullptr, 0, 0) ||
      !Io(h, kPtData, image.data(), size, nullptr, 0, 0))
    return kMsgUnitComm;
  return 0;
}

uint32_t LoadL56(UnitHandle h, const char* file, uint32_t timeoutMs) {
  std::vector<uint8_t> image;
  if (!ReadFile(file, &image) || !DspBody(image)) return kMsgDspFile;
  uint32_t words = static_cast<uint32_t>((image.size() - 3) / 3);
  uint32_t ok = SetTimeout(h, timeoutMs ? timeoutMs : 300000, 0) &&
                Io(h, kPtLoadL56, &words, 4, nullptr, 0, 0) &&
                Io(h, kPtData, image.data() + 3, words * 3, nullptr, 0, 0);
  SetTimeout(h, kDefaultTimeout, 0);
  return ok ? 0u : static_cast<uint32_t>(kMsgUnitComm);
}

uint32_t LoadL56Boot(UnitHandle h, const char* file) {
  std::vector<uint8_t> image;
  if (!ReadFile(file, &image) || !DspBody(image)) return kMsgDspFile;
  uint32_t words = static_cast<uint32_t>((image.size() - 3) / 3);
  uint32_t first = words < 512 ? words : 512;
  if (!Io(h, kPtBootL56, &words, 4, nullptr, 0, 0) ||
      !Io(h, kPtData, image.data() + 3, first * 3, nullptr, 0, 0))
    return kMsgUnitComm;
  if (words > first && !Io(h, kPtData, image.data() + 3 + first * 3, (words - first) * 3, nullptr, 0, 0))
    return kMsgUnitComm;
  return 0;
}

int MemTest(UnitHandle h) {
  uint32_t result = 0;
  return Cmd(h, 17, &result, 4, 0) && result == 0;
}

int Cmd18(UnitHandle h, uint32_t* hwId, uint32_t* property) {
  uint32_t reply[2] = {};
  if (!Cmd(h, 18, reply, sizeof reply, 5)) return 0;
  *hwId = reply[0];
  *property = reply[1];
  return 1;
}

int ReadWords(UnitHandle h, uint32_t address, uint32_t* words, uint32_t count) {
  uint32_t request[3] = {16, address, count};
  return Io(h, kPtReadWords, request, sizeof request, words, count * 4, 0) && Completion(h, 0);
}

int WriteBlock(UnitHandle h, const uint32_t header[3], const uint8_t data[256]) {
  return Io(h, kPtFamily, header, 12, nullptr, 0, 0) && Io(h, kPtSize, data, 256, nullptr, 0, 0) &&
         Completion(h, 0);
}

int BlkCmd(UnitHandle h, uint32_t cmd, uint32_t arg, int fatal) {
  uint32_t request[2] = {cmd, arg};
  return Io(h, kPtBlockCmd, request, sizeof request, nullptr, 0, fatal);
}
int BlkSetup(UnitHandle h) {
  return SetTimeout(h, 40000, 10) && BlkCmd(h, 0, 0, 11) && SetTimeout(h, kDefaultTimeout, 12) &&
         Completion(h, 13);
}
int BlkWrite(UnitHandle h, uint32_t sector, const uint8_t data[512]) {
  return BlkCmd(h, 2, sector, 30) && Io(h, kPtBlockWrite, data, 512, nullptr, 0, 31) && Completion(h, 32);
}
int BlkRead(UnitHandle h, uint32_t sector, uint8_t data[512]) {
  return BlkCmd(h, 3, sector, 40) && Io(h, kPtBlockRead, nullptr, 0, data, 512, 41);
}
int Blk4(UnitHandle h, uint32_t arg) { return BlkCmd(h, 4, arg, 50); }
int BlkReadN(UnitHandle h, uint32_t sector, uint32_t n, uint8_t* data) {
  uint32_t request[3] = {5, sector, n};
  return Io(h, kPtBlockCmd, request, sizeof request, nullptr, 0, 60) &&
         Io(h, kPtBlockRead, nullptr, 0, data, n * 512, 61);
}
int Blk6(UnitHandle h, uint32_t arg) { return BlkCmd(h, 6, arg, 70); }
int Blk7(UnitHandle h, uint32_t arg) { return BlkCmd(h, 7, arg, 80); }

int GetStatus(UnitHandle h, uint32_t* status) { return Io(h, kPtStatus, nullptr, 0, status, 4, 90); }
int WaitIdle(UnitHandle h) {
  uint32_t status = 0;
  do {
    if (!GetStatus(h, &status)) return 0;
  } while (status & 63);
  return 1;
}

int GetFlags(UnitHandle h, UnitFlags* flags) {
  uint32_t reply[3] = {};
  if (!Cmd(h, 1, reply, sizeof reply, 100)) return 0;
  flags->flag = reply[0];
  flags->value = (static_cast<uint64_t>(reply[2]) << 24 | reply[1]) & 0xFFFFFFFFFFFFull;
  flags->field = reply[2] >> 11 & 7;
  return 1;
}
int GetCloc(UnitHandle h, int64_t* location) {
  uint32_t reply[2] = {};
  if (!Io(h, kPtCloc, nullptr, 0, reply, sizeof reply, 110)) return 0;
  *location = static_cast<int64_t>(static_cast<uint64_t>(reply[1] & 0xFFFFFF) << 24 | (reply[0] & 0xFFFFFF));
  return 1;
}
int GetExpandedCloc(UnitHandle h, int64_t* location) {
  uint32_t reply[2] = {};
  if (!Cmd(h, 4, reply, sizeof reply, 111)) return 0;
  *location = static_cast<int64_t>(static_cast<uint64_t>(reply[1]) << 32 | reply[0]);
  return 1;
}
int ReadN(UnitHandle h, uint32_t* words, uint32_t n) {
  uint32_t request[2] = {15, n};
  return Io(h, kPtCommand, request, sizeof request, words, n * 4, 120);
}
int GetSerial(UnitHandle h, char* text, int size) {
  uint32_t reply[2] = {};
  if (!Cmd(h, 0, reply, sizeof reply, 130)) return 0;
  std::snprintf(text, static_cast<size_t>(size), "%07lX%06lX", static_cast<unsigned long>(reply[0]),
                static_cast<unsigned long>(reply[1]));
  return 1;
}
int LockedTransfer(UnitHandle h, const void* in, uint32_t inLen, void* out, uint32_t outLen) {
  if (!SetTimeout(h, 40000, 150)) return 0;
  int ok = Io(h, kPtLocked, in, inLen, out, outLen, 151);
  return SetTimeout(h, kDefaultTimeout, 152) && ok;
}
int GetSyncStatus(UnitHandle h, uint32_t reply[3]) { return Cmd(h, 2, reply, 12, 160); }
int Cmd13(UnitHandle h) { return Cmd(h, 13, nullptr, 0, 180); }
int GetInfo264(UnitHandle h, uint8_t reply[264]) { return Cmd(h, 16, reply, 264, 185); }
int Cmd18b(UnitHandle h, uint32_t* word) { return Cmd(h, 18, word, 4, 187); }

constexpr uint32_t kDumpBytes = 549504;
int DumpMemory(UnitHandle h, const char* file) {
  std::vector<uint32_t> words(kDumpBytes / 4);
  if (!Cmd(h, 19, words.data(), kDumpBytes, 188)) return 0;
  if (!Completion(h, 189)) return 0;
  std::FILE* f = file ? std::fopen(file, "w") : nullptr;
  if (!f) return 0;
  for (size_t i = 0; i < words.size(); ++i)
    std::fprintf(f, (i % 8 == 7 || i + 1 == words.size()) ? "%06X\n" : "%06X ",
                 static_cast<unsigned>(words[i] & 0xFFFFFF));
  return std::fclose(f) == 0;
}
int GetDebugStatus(UnitHandle h, uint32_t* word) { return Cmd(h, 3, word, 4, 186); }

int SendCmdList(UnitHandle h, const uint32_t header[5], const uint8_t* list, uint32_t count) {
  return Io(h, kPtFamily, header, 20, nullptr, 0, 190) &&
         Io(h, kPtSize, list, count << 4, nullptr, 0, 191);
}
// Builds the list of 16-byte entries in a buffer grown in 4096-byte steps
// and sends it with a header naming the count.
int CmdList(UnitHandle h, const uint32_t* entries, uint32_t count) {
  std::vector<uint8_t> list;
  for (uint32_t i = 0; i < count; ++i) {
    if (list.size() + 16 > list.capacity()) list.reserve(list.capacity() + 4096);
    const uint8_t* e = reinterpret_cast<const uint8_t*>(entries + i * 4);
    list.insert(list.end(), e, e + 16);
  }
  uint32_t header[5] = {31, count, 0, 0, 0};
  return Io(h, kPtFamily, header, 20, nullptr, 0, 0) &&
         Io(h, kPtSize, list.data(), count << 4, nullptr, 0, 0);
}

int SetSrate(UnitHandle h, uint32_t flag, uint32_t rate, uint32_t speed) {
  int code = UnitRateCode(rate);
  if (code < 0) {
    UnitDev().setLastError(kErrorInvalidParameter);
    return 0;
  }
  uint32_t p[3] = {flag, static_cast<uint32_t>(code), UnitSpeedWord(speed)};
  return Family(h, kPtFamily, 5, p, 3, 200);
}
int SetVideoSync(UnitHandle h, uint32_t flag) {
  uint32_t p = flag ? 1 : 0;
  return Family(h, kPtFamily, 6, &p, 1, 210);
}
int SetOptionFlags(UnitHandle h, uint32_t flags, int addBit1) {
  uint32_t p = flags | (addBit1 ? 2u : 0u);
  return Family(h, kPtFamily, 1, &p, 1, 220);
}
int SetSync(UnitHandle h, const uint32_t config[7]) { return Family(h, kPtFamily, 0, config, 7, 230); }
int SetSyncMode(UnitHandle h, uint32_t mode, uint32_t clock) {
  uint32_t p[2] = {mode, clock};
  return Family(h, kPtFamily, 2, p, 2, 240);
}
int Cmd4(UnitHandle h) { return Family(h, kPtFamily, 4, nullptr, 0, 250); }
int SetPlayFlags(UnitHandle h, uint32_t flags) { return Family(h, kPtFamily, 7, &flags, 1, 260); }
int Locate(UnitHandle h, int64_t position) {
  uint32_t p[2] = {Low24(position), High(position)};
  return Family(h, kPtFamily, 3, p, 2, 270);
}
int Cmd8(UnitHandle h) { return Family(h, kPtFamily, 8, nullptr, 0, 265); }
int Cmd11Block(UnitHandle h, const void* block, uint32_t size) {
  return Family(h, kPtFamily, 11, &size, 1, 280) && Io(h, kPtSize, block, size, nullptr, 0, 281);
}
int Cmd23(UnitHandle h) { return WaitIdle(h) && Family(h, kPtFamily, 23, nullptr, 0, 350); }
int SetPlayRecEndLoc(UnitHandle h, int64_t end) {
  uint32_t p[2] = {Low24(end), High(end)};
  return Family(h, kPtFamily, 17, p, 2, 355);
}
int SetLoop(UnitHandle h, const uint32_t params[8]) { return Family(h, kPtFamily, 18, params, 8, 356); }

// One exchange with the 9-pin engine of the unit's firmware: the header
// {19, code, parameter count}, then the parameters out and the reply head
// {kind, data count} back, then the data bytes. A failure is recorded and
// returned as 0 (never fatal: a 9-pin glitch must not end a session).
int NinePinIo(UnitHandle h, const uint8_t* request, uint32_t length, uint8_t* reply, uint32_t capacity) {
  if (!request || length < 1 || length > 5 || !reply || capacity < 2) {
    ninePinError = kNinePinIoFailed;
    UnitDev().setLastError(kErrorInvalidParameter);
    return 0;
  }
  uint8_t header[3] = {19, request[0], static_cast<uint8_t>(length - 1)};
  uint8_t head[2] = {};
  if (!Io(h, kPtNinePin, header, 3, nullptr, 0, 0) ||
      !Io(h, kPtNinePinReply, request + 1, length - 1, head, 2, 0)) {
    ninePinError = kNinePinIoFailed;
    return 0;
  }
  if (head[1] > capacity - 1) {
    // Take the data off the port all the same, so that the next exchange
    // starts clean, and refuse the reply.
    uint8_t discard[255];
    Io(h, kPtNinePinReply, nullptr, 0, discard, head[1], 0);
    ninePinError = kNinePinTooLong;
    UnitDev().setLastError(kErrorInvalidParameter);
    return 0;
  }
  if (head[1] && !Io(h, kPtNinePinReply, nullptr, 0, reply + 1, head[1], 0)) {
    ninePinError = kNinePinIoFailed;
    return 0;
  }
  reply[0] = head[0];
  return 1 + head[1];
}

int PrepPlayBufs(UnitHandle h, const uint32_t params[9]) {
  return WaitIdle(h) && Family(h, kPtPlay, 0, params, 9, 360);
}
int StartPlayRec(UnitHandle h) { return Family(h, kPtPlay, 1, nullptr, 0, 370); }
int Link(UnitHandle h, uint32_t* cookie, int out) {
  return out ? Io(h, kIoLink, nullptr, 0, cookie, 4, 380) : Io(h, kIoLink, cookie, 4, nullptr, 0, 380);
}
int Go(UnitHandle h) { return Io(h, kPtGo, nullptr, 0, nullptr, 0, 390); }
int CmdA3(UnitHandle h) { return Family(h, kPtPlay, 3, nullptr, 0, 395); }
int TimeCodeSlaveArm(UnitHandle h, const uint32_t params[3]) { return Family(h, kPtPlay, 2, params, 3, 400); }
int Stop(UnitHandle h) { return Io(h, kPtStop, nullptr, 0, nullptr, 0, 420); }
int Cmd9Read(UnitHandle h, uint32_t* reply, uint32_t words) {
  uint32_t cmd = 9;
  return Io(h, kPtCmdRead, &cmd, 4, reply, words * 4, 650);
}
uint32_t Cmd10Read(UnitHandle h, uint8_t reply[16]) {
  if (!Cmd(h, 10, nullptr, 0, 0) || !Io(h, kPtCompletion, nullptr, 0, reply, 16, 0)) return kMsgUnitComm;
  return 0;
}
int CmdA7(UnitHandle h) { return Family(h, kPtPlay, 7, nullptr, 0, 660); }
int CmdA8(UnitHandle h, const uint32_t params[6]) { return Family(h, kPtPlay, 8, params, 6, 670); }
int CmdA9(UnitHandle h, const uint32_t params[4]) { return Family(h, kPtPlay, 9, params, 4, 671); }
int CmdA10(UnitHandle h, const uint32_t params[7]) { return Family(h, kPtPlay, 10, params, 7, 680); }
int SetScrubLoc(UnitHandle h, int64_t location, int32_t speed) {
  uint32_t p[3] = {Low24(location), High(location), static_cast<uint32_t>(speed)};
  return Family(h, kPtFamily, 16, p, 3, 720);
}
int PrepScrubBufs(UnitHandle h) { return Family(h, kPtPlay, 11, nullptr, 0, 730); }
int StartScrub(UnitHandle h) { return Family(h, kPtPlay, 12, nullptr, 0, 740); }
int MixDspWrite(UnitHandle h, uint32_t address, uint32_t value, uint16_t* reply) {
  uint32_t request[2] = {address, value};
  return Io(h, kPtMixWrite, request, 8, reply, 2, 330);
}
int MixDspRead(UnitHandle h, uint8_t reply[10]) { return Io(h, kPtMixRead, nullptr, 0, reply, 10, 340); }

}  // namespace

int UnitRateCode(uint32_t rate) {
  static const uint32_t rates[] = {22050, 32000, 44056, 44100, 47952, 48000,
                                   64000, 88112, 88200, 95904, 96000};
  for (int i = 0; i < 11; ++i)
    if (rates[i] == rate) return i;
  return -1;
}

uint32_t UnitSpeedWord(uint32_t speed) {
  return static_cast<uint32_t>((static_cast<uint64_t>(speed) * 8388608 + 5000) / 10000);
}

int UnitNinePinError() { return ninePinError; }

const UnitOps kUnitOps = {
    Close,        Reset,          GetHwVersion,  LoadProgram,     LoadL56,        LoadL56Boot,
    MemTest,      Cmd18,          ReadWords,     WriteBlock,      BlkSetup,       BlkWrite,
    BlkRead,      Blk4,           BlkReadN,      Blk6,            Blk7,           GetStatus,
    WaitIdle,     GetFlags,       GetCloc,       GetExpandedCloc, ReadN,          GetSerial,
    LockedTransfer, GetSyncStatus, Cmd13,        GetInfo264,      Cmd18b,         DumpMemory,
    GetDebugStatus, CmdList,      SendCmdList,   SetSrate,        SetVideoSync,   SetOptionFlags,
    SetSync,      SetSyncMode,    Cmd4,          SetPlayFlags,    Locate,         Cmd8,
    Cmd11Block,   Cmd23,          SetPlayRecEndLoc, SetLoop,      NinePinIo,      PrepPlayBufs,
    StartPlayRec, Link,           Go,            CmdA3,           TimeCodeSlaveArm, Stop,
    Cmd9Read,     Cmd10Read,      CmdA7,         CmdA8,           CmdA9,          CmdA10,
    SetScrubLoc,  PrepScrubBufs,  StartScrub,    MixDspWrite,     MixDspRead,
};
