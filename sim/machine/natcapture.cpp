// What the native recorder plays, captured by the simulated machine in the
// place of the native track inserts and the boards they would play on: a
// stream client on each of the first tracks of a native device reads its
// channel in real time while the recorders run, and when every client of
// every device has stopped the sum of the tracks is written to a WAV file
// (one channel of 32-bit words at the first device's rate), its first
// sample the location where play started.
//
// The file is QVSIM_CAPTURE_WAV when that is set, else "NatCapture.wav"
// beside the program. QVSIM_CAPTURE_TRACKS sets how many tracks of each
// device are captured (default 8, at most 128).
//
// The clients are the recorder's plain stream clients (ringclient.cpp, built
// in here); the recorder's client calls they make are bound by name from
// the recorder library already loaded in the process.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "native/qvNatRec/ringclient.h"

namespace {

const RecorderClientApi* gApi = nullptr;

const RecorderClientApi* Api() {
  if (gApi != nullptr) return gApi;
  HMODULE lib = GetModuleHandleA("qvNatRec.dll");
  if (lib == nullptr) return nullptr;
  using GetFn = const RecorderClientApi*(HRL_RECAPI*)();
  auto get = reinterpret_cast<GetFn>(reinterpret_cast<void*>(GetProcAddress(lib, "_RecorderGetClientApi@0")));
  gApi = get != nullptr ? get() : nullptr;
  return gApi;
}

constexpr int kDevices = 2;
constexpr uint32_t kMaxStep = 16384;

struct Capture {
  Recorder* rec = nullptr;
  uint32_t rate = 48000;
  std::vector<std::unique_ptr<RingClient>> clients;
};

// The pass being captured, over every device.
struct Mix {
  bool running = false;
  uint32_t rate = 48000;
  int64_t origin = 0;
  std::vector<int64_t> sum;
  std::chrono::steady_clock::time_point last;
  double carry = 0;
};

std::mutex gLock;
Capture gCaptures[kDevices];
Mix gMix;
std::thread gThread;
std::atomic<bool> gQuit{false};

std::string WavPath() {
  char path[MAX_PATH];
  const DWORD n = GetEnvironmentVariableA("QVSIM_CAPTURE_WAV", path, sizeof path);
  if (n > 0 && n < sizeof path) return path;
  GetModuleFileNameA(nullptr, path, sizeof path);
  std::string p(path);
  const size_t slash = p.find_last_of("\\/");
  return (slash == std::string::npos ? std::string() : p.substr(0, slash + 1)) + "NatCapture.wav";
}

int TrackCount() {
  char text[16];
  const DWORD n = GetEnvironmentVariableA("QVSIM_CAPTURE_TRACKS", text, sizeof text);
  const int count = n > 0 && n < sizeof text ? std::atoi(text) : 8;
  return std::clamp(count, 1, 128);
}

void WriteWav(const Mix& c) {
  FILE* f = std::fopen(WavPath().c_str(), "wb");
  if (f == nullptr) return;
  const auto data = static_cast<uint32_t>(c.sum.size() * 4);
  auto u32 = [f](uint32_t v) { std::fwrite(&v, 4, 1, f); };
  auto u16 = [f](uint16_t v) { std::fwrite(&v, 2, 1, f); };
  std::fwrite("RIFF", 1, 4, f);
  u32(36 + data);
  std::fwrite("WAVEfmt ", 1, 8, f);
  u32(16);
  u16(1);
  u16(1);
  u32(c.rate);
  u32(c.rate * 4);
  u16(4);
  u16(32);
  std::fwrite("data", 1, 4, f);
  u32(data);
  for (int64_t v : c.sum) {
    const auto word = static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
    std::fwrite(&word, 4, 1, f);
  }
  std::fclose(f);
}

bool AnyRunning() {
  for (Capture& c : gCaptures)
    for (auto& client : c.clients)
      if (client->running()) return true;
  return false;
}

// One step of the pass: every running client plays what is due since the
// last step, added into the sum at its place on the time line.
void Step() {
  const auto now = std::chrono::steady_clock::now();
  Mix& m = gMix;
  if (!m.running) {
    if (!AnyRunning()) return;
    for (Capture& c : gCaptures) {
      if (c.clients.empty()) continue;
      m = Mix{};
      m.running = true;
      m.rate = c.rate;
      m.origin = c.clients[0]->ExpandedLocation();
      m.last = now;
      break;
    }
    return;
  }
  const double due = std::chrono::duration<double>(now - m.last).count() * m.rate + m.carry;
  m.last = now;
  const auto n = static_cast<uint32_t>(std::min<double>(due, kMaxStep));
  m.carry = due - n > kMaxStep ? 0 : due - n;
  std::vector<int32_t> buf(n);
  for (Capture& c : gCaptures) {
    for (auto& client : c.clients) {
      if (n == 0 || !client->running()) continue;
      const int64_t from = client->ExpandedLocation() - m.origin;
      const uint32_t got = client->Advance(n, buf.data(), nullptr);
      if (from < 0) continue;
      const size_t end = static_cast<size_t>(from) + got;
      if (m.sum.size() < end) m.sum.resize(end, 0);
      for (uint32_t i = 0; i < got; ++i) m.sum[static_cast<size_t>(from) + i] += buf[i];
    }
  }
  if (!AnyRunning()) {
    WriteWav(m);
    m.running = false;
  }
}

void Run() {
  while (!gQuit) {
    {
      std::lock_guard<std::mutex> guard(gLock);
      Step();
    }
    Sleep(2);
  }
}

}  // namespace

// The recorder's client calls, forwarded to the recorder library.
int32_t RecorderAttachClient(Recorder* rec, RecorderClient* client, int32_t track) {
  return Api() ? Api()->attach(rec, client, track) : 0;
}
void RecorderDetachClient(Recorder* rec, RecorderClient* client) {
  if (Api()) Api()->detach(rec, client);
}
int32_t RecorderGetChannelView(Recorder* rec, int32_t track, RecorderChannelView* view) {
  return Api() ? Api()->channelView(rec, track, view) : 0;
}
int32_t RecorderGetSilentMarks(Recorder* rec, int32_t track, const SilentMarks* marks[2]) {
  return Api() && Api()->silentMarks ? Api()->silentMarks(rec, track, marks) : 0;
}
void RecorderLayerSpan(Recorder* rec, int32_t track, int32_t layer, int64_t* back, int64_t* fill) {
  if (Api()) Api()->layerSpan(rec, track, layer, back, fill);
}
void RecorderSetReadPosition(Recorder* rec, int32_t track, int64_t location) {
  if (Api()) Api()->setReadPosition(rec, track, location);
}
void RecorderSetCaptured(Recorder* rec, int32_t track, int64_t location) {
  if (Api()) Api()->setCaptured(rec, track, location);
}
int64_t RecorderGetWritten(Recorder* rec, int32_t track) {
  return Api() ? Api()->getWritten(rec, track) : 0;
}
int64_t RecorderGetScrubTarget(Recorder* rec, int32_t* speed) {
  return Api() ? Api()->getScrubTarget(rec, speed) : 0;
}
int32_t RecorderNoteScrubSpeed(Recorder* rec, int32_t speed) {
  return Api() ? Api()->noteScrubSpeed(rec, speed) : 0;
}
void RecorderKickFill(Recorder* rec, bool scrub) {
  if (Api()) Api()->kickFill(rec, scrub);
}
void RecorderClientEnded(Recorder* rec) {
  if (Api()) Api()->clientEnded(rec);
}

// Attaches the capture to native device `device` (0 or 1) and its recorder.
extern "C" __declspec(dllexport) int QvSimNatCaptureAttach(int32_t device, Recorder* rec, uint32_t rate) {
  if (device < 0 || device >= kDevices || rec == nullptr || Api() == nullptr) return 0;
  std::lock_guard<std::mutex> guard(gLock);
  Capture& c = gCaptures[device];
  c = Capture{};
  c.rec = rec;
  c.rate = rate != 0 ? rate : 48000;
  for (int t = 0; t < TrackCount(); ++t) {
    auto client = std::make_unique<RingClient>(rec, t);
    if (client->attached()) c.clients.push_back(std::move(client));
  }
  if (!gThread.joinable()) {
    gQuit = false;
    gThread = std::thread(Run);
  }
  return c.clients.empty() ? 0 : 1;
}

// Detaches it before the device closes; a capture under way is written.
extern "C" __declspec(dllexport) void QvSimNatCaptureDetach(int32_t device) {
  if (device < 0 || device >= kDevices) return;
  bool last = false;
  {
    std::lock_guard<std::mutex> guard(gLock);
    if (gMix.running) {
      WriteWav(gMix);
      gMix.running = false;
    }
    gCaptures[device] = Capture{};
    last = std::all_of(std::begin(gCaptures), std::end(gCaptures),
                       [](const Capture& k) { return k.clients.empty(); });
  }
  if (last && gThread.joinable()) {
    gQuit = true;
    gThread.join();
  }
}

// The rate of a device's capture follows the device's.
extern "C" __declspec(dllexport) void QvSimNatCaptureSetRate(int32_t device, uint32_t rate) {
  if (device < 0 || device >= kDevices || rate == 0) return;
  std::lock_guard<std::mutex> guard(gLock);
  gCaptures[device].rate = rate;
}
