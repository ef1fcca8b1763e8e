// A small MIDI input module for the engine's tests. It offers the three
// module entry points and, for the test that drives it, plain calls that
// open and close one port per element, play a block through the port (the
// events it is sent are what the call returns) and hand it scripted
// incoming messages, which reach the port only while the engine has enabled
// input for that element.
#include <windows.h>

#include <cstdint>

#include "logs/qvMidRec/engine.h"

namespace {

constexpr uint32_t kElements = 8;

struct Element {
  uint32_t id;
  MidiPort* port;
  uint32_t inputEnabled;
};

const MIPHOSTFUNCS* gHost = nullptr;
uint32_t gIndex = 0;
uint32_t gTracks = 0;
Element gElements[kElements] = {};

Element* Find(uint32_t id) {
  for (Element& e : gElements) {
    if (e.port != nullptr && e.id == id) return &e;
  }
  return nullptr;
}

}  // namespace

extern "C" {

int32_t WINAPI QVMIP_ConnectModule(uint32_t index, const MIPHOSTFUNCS* host, MIPMODINFO* info, uint32_t tracks,
                                   uint32_t flag) {
  if (info != nullptr) *info = MIPMODINFO{12, 0, kMipInterfaceVersion};
  if (host == nullptr || host->size < kMipHostFuncsSize) return 0;
  gHost = host;
  gIndex = index;
  gTracks = tracks;
  return 1;
}

int32_t WINAPI QVMIP_DisconnectModule() {
  gIndex = 0;
  gTracks = 0;
  return 1;
}

int32_t WINAPI QVMIP_EnableMidiMsgInput(uint32_t element, uint32_t enable) {
  if (Element* e = Find(element)) e->inputEnabled = enable != 0 ? 1 : 0;
  return 1;
}

// The index and track count the module was connected with.
uint32_t MipTestConnection(uint32_t* tracks) {
  if (tracks != nullptr) *tracks = gTracks;
  return gIndex;
}

int32_t MipTestOpen(uint32_t element, uint32_t firstTrack, uint32_t trackCount, uint32_t channel) {
  if (gHost == nullptr || Find(element) != nullptr) return 0;
  for (Element& e : gElements) {
    if (e.port != nullptr) continue;
    e.port = gHost->CreatePort(gIndex, element);
    if (e.port == nullptr) return 0;
    e.id = element;
    e.inputEnabled = 0;
    return gHost->SetPortFilter(e.port, firstTrack, trackCount, channel);
  }
  return 0;
}

int32_t MipTestClose(uint32_t element) {
  Element* e = Find(element);
  if (e == nullptr) return 0;
  const int32_t ok = gHost->DeletePort(e->port);
  *e = Element{};
  return ok;
}

// One block: the events are stamped as offsets from the block's start, as
// a module delivers them within its audio block.
uint32_t MipTestPlay(uint32_t element, uint64_t position, uint32_t length, MipMidiEvent* out, uint32_t capacity) {
  Element* e = Find(element);
  if (e == nullptr) return 0;
  uint64_t at = position;
  const uint32_t n = gHost->ReadBlock(e->port, &at, length, out, capacity);
  for (uint32_t i = 0; i < n && i < capacity; ++i) out[i].position -= position;
  return n;
}

uint32_t MipTestReceive(uint32_t element, const MipMidiEvent* events, uint32_t count) {
  Element* e = Find(element);
  if (e == nullptr || e->inputEnabled == 0) return 0;
  return gHost->RecordEvents(e->port, events, count);
}

}  // extern "C"
