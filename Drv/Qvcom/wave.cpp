// The wave object: a device on the wave device with a channel map, a
// time-critical stream thread and a callback per half buffer.
#include "Drv/Qvcom/qvdevice.h"

#include "Drv/Qvdrv/qvdrv_private.h"
#include "Inc/base.h"

namespace {
// The channel-number area holds at least the 32 bytes that later take the
// stream status record; a larger map gets room for all its numbers before
// the pointer arrays, so the arrays never overwrite them.
size_t NumbersArea(size_t channels) {
  size_t n = channels < 32 ? 32 : channels;
  return (n + 7) & ~size_t{7};
}
}  // namespace

bool QvWaveHalvesSwap(uint32_t delta, uint32_t frames) {
  return delta == frames / 2 || (frames && delta % frames != 0);
}

const ComInterfaceEntry CQvWaveObject::Interfaces[] = {
    {&IID_IQVWave, ComOffset<CQvWaveObject, IQVWave>()},
    {nullptr, ComNext(CQvDevice::Interfaces)},
};

CQvWaveObject::CQvWaveObject(IUnknown* outer, const CLSID& clsid) : CQvDevice(outer, clsid, Interfaces) {}

CQvWaveObject::~CQvWaveObject() {
  Map(nullptr, nullptr);
  if (m_thread) CloseHandle(m_thread);
  MemFree(m_map);
}

HRESULT CQvWaveObject::OpenWave() {
  if (m_handle != INVALID_HANDLE_VALUE) return S_OK;
  return OpenLocked(L"Qvwave", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, 0);
}

HRESULT CQvWaveObject::CloseMap() {
  if (!m_map) return S_OK;
  if (!Request(IOCTL_QV_WAVE_MAP, nullptr, 0, nullptr, 0, nullptr, nullptr)) return HResultFromLastError();
  MemFree(m_map);
  m_map = nullptr;
  return S_OK;
}

HRESULT CQvWaveObject::MapLocked(QvWaveMapBlock* map, void* info) {
  if (!map && !info) {
    if (m_handle == INVALID_HANDLE_VALUE) return S_OK;
    HRESULT hr = StopLocked();
    if (SUCCEEDED(hr)) {
      HRESULT closed = CloseMap();
      if (FAILED(closed)) return closed;
    }
    return hr;
  }
  HRESULT hr = OpenWave();
  if (FAILED(hr)) return hr;
  if (!map) {
    return Request(IOCTL_QV_WAVE_MAP, nullptr, 0, info, 36, nullptr, nullptr) ? S_OK : HResultFromLastError();
  }
  hr = CloseMap();
  if (FAILED(hr)) return hr;
  size_t channels = (map->inputs & 0x7F) + (map->outputs & 0x7F);
  size_t perChannel = size_t{map->sampleSize} * map->frames;
  size_t bytes = perChannel * channels;
  if (bytes == 0 || map->grouped != 0 || map->address != 0) return E_INVALIDARG;
  size_t arrays = 12 + NumbersArea(channels);
  size_t data = arrays + 2 * channels * sizeof(void*);
  auto* block = static_cast<uint8_t*>(MemAlloc(data + bytes));
  if (!block) return E_OUTOFMEMORY;
  memcpy(block, map, 12 + (channels < 32 ? channels : 32));
  if (channels > 32) memcpy(block + 12 + 32, reinterpret_cast<const uint8_t*>(map) + 12 + 32, channels - 32);
  auto* a = reinterpret_cast<void**>(block + arrays);
  void** b = a + channels;
  for (size_t c = 0; c < channels; ++c) {
    a[c] = block + data + c * perChannel;
    b[c] = block + data + c * perChannel + perChannel / 2;
  }
  auto* header = reinterpret_cast<QvWaveMapBlock*>(block);
  header->address = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(block + data));
  if (!Request(IOCTL_QV_WAVE_MAP, block, static_cast<DWORD>(12 + channels), info, info ? 36 : 0, nullptr, nullptr)) {
    hr = HResultFromLastError();
    MemFree(block);
    return hr;
  }
  m_map = header;
  m_arrayA = a;
  m_arrayB = b;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CQvWaveObject::Map(QvWaveMapBlock* map, void* info) {
  Lock();
  HRESULT hr = MapLocked(map, info);
  Unlock();
  return hr;
}

HRESULT STDMETHODCALLTYPE CQvWaveObject::GetChannelInfo(uint8_t board, void* info) {
  if (IsClosed() == S_FALSE) {
    Lock();
    HRESULT hr = OpenWave();
    Unlock();
    if (FAILED(hr)) return hr;
  }
  DWORD returned = 0;
  return CQvDevice::IoControl(IOCTL_QV_WAVE_MAP, &board, 1, info, 36, &returned, nullptr);
}

namespace {
HRESULT MapOne(CQvWaveObject* w, uint8_t first, const WAVEFORMATEX* format, bool input) {
  if (!format) return w->Map(nullptr, nullptr);
  if (format->wFormatTag != WAVE_FORMAT_PCM) return E_INVALIDARG;
  // One buffer of interleaved frames for the group of channels: laid out as
  // a map of one channel whose sample is the whole frame.
  QvWaveMapBlock m = {};
  m.sampleSize = static_cast<uint8_t>(format->nBlockAlign);
  (input ? m.inputs : m.outputs) = 1;
  m.frames = format->nSamplesPerSec;
  m.channels[0] = first;
  return w->Map(&m, nullptr);
}
}  // namespace

HRESULT STDMETHODCALLTYPE CQvWaveObject::MapInput(uint8_t first, const WAVEFORMATEX* format) {
  return MapOne(this, first, format, true);
}
HRESULT STDMETHODCALLTYPE CQvWaveObject::MapOutput(uint8_t first, const WAVEFORMATEX* format) {
  return MapOne(this, first, format, false);
}

DWORD WINAPI CQvWaveObject::StreamThread(LPVOID self) {
  return static_cast<DWORD>(static_cast<CQvWaveObject*>(self)->StreamLoop());
}

HRESULT CQvWaveObject::StreamLoop() {
  OVERLAPPED ov = {};
  ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE started = reinterpret_cast<HANDLE>(reinterpret_cast<UINT_PTR>(m_overlapped.hEvent) & ~UINT_PTR{1});
  QvWaveMapBlock* block = m_map;
  block->address = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(m_arrayB));
  m_other = m_arrayA;
  uint32_t thread = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(m_thread));
  HRESULT last = S_OK;
  HRESULT result;
  if (!Request(IOCTL_QV_WAVE_START, &thread, sizeof thread, nullptr, 0, nullptr, &ov) || !SetEvent(started)) {
    result = HResultFromLastError();
  } else {
    DWORD returned = 0;
    BOOL ok = Request(IOCTL_QV_WAVE_WAIT, nullptr, 0, block->status, 32, &returned, &ov);
    result = S_OK;
    while (ok && returned >= 32) {
      uint32_t delta = block->status[0] - m_previous[0];
      if (QvWaveHalvesSwap(delta, block->frames)) {
        void** due = m_other;
        m_other = (block->address == static_cast<uint32_t>(reinterpret_cast<uintptr_t>(m_arrayA))) ? m_arrayA
                                                                                                    : m_arrayB;
        block->address = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(due));
      }
      last = m_callback->OnBuffer(block);
      if (FAILED(last)) {
        result = last;
        break;
      }
      memcpy(m_previous, block->status, sizeof m_previous);
      ok = Request(IOCTL_QV_WAVE_WAIT, nullptr, 0, block->status, 32, &returned, &ov);
    }
    if (!FAILED(result)) result = GetLastError() == ERROR_OPERATION_ABORTED ? last : HResultFromLastError();
  }
  if (ov.hEvent) CloseHandle(ov.hEvent);
  return result;
}

HRESULT STDMETHODCALLTYPE CQvWaveObject::Start(IQVWaveCallback* callback) {
  Lock();
  HRESULT hr;
  if (!callback || m_thread) {
    hr = Request(IOCTL_QV_WAVE_START, nullptr, 0, nullptr, 0, nullptr, nullptr) ? S_OK : HResultFromLastError();
  } else if (!m_map) {
    hr = E_UNEXPECTED;  // nothing mapped to stream
  } else {
    memset(m_previous, 0, sizeof m_previous);
    m_thread = CreateThread(nullptr, 0, StreamThread, this, CREATE_SUSPENDED, nullptr);
    if (!m_thread) {
      hr = HResultFromLastError();
    } else {
      callback->AddRef();
      m_callback = callback;
      SetThreadPriority(m_thread, THREAD_PRIORITY_TIME_CRITICAL);
      HANDLE started = reinterpret_cast<HANDLE>(reinterpret_cast<UINT_PTR>(m_overlapped.hEvent) & ~UINT_PTR{1});
      ResetEvent(started);
      ResumeThread(m_thread);
      HANDLE waits[2] = {started, m_thread};
      DWORD w = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
      if (w == WAIT_OBJECT_0) {
        hr = S_OK;
      } else {
        DWORD code = static_cast<DWORD>(E_FAIL);
        if (w == WAIT_OBJECT_0 + 1) GetExitCodeThread(m_thread, &code);
        hr = static_cast<HRESULT>(code);
        if (SUCCEEDED(hr)) hr = E_FAIL;
        m_callback->Release();
        m_callback = nullptr;
        CloseHandle(m_thread);
        m_thread = nullptr;
      }
    }
  }
  Unlock();
  return hr;
}

HRESULT STDMETHODCALLTYPE CQvWaveObject::Pause() {
  return CQvDevice::IoControl(IOCTL_QV_WAVE_PAUSE, nullptr, 0, nullptr, 0, nullptr, nullptr);
}

HRESULT CQvWaveObject::StopLocked() {
  if (!m_thread) return S_OK;
  if (!Request(IOCTL_QV_WAVE_STOP, nullptr, 0, nullptr, 0, nullptr, nullptr)) return HResultFromLastError();
  HRESULT hr = Wait(INFINITE);
  if (m_callback) m_callback->Release();
  m_callback = nullptr;
  CloseHandle(m_thread);
  m_thread = nullptr;
  return hr;
}

HRESULT STDMETHODCALLTYPE CQvWaveObject::Stop() {
  Lock();
  HRESULT hr = StopLocked();
  Unlock();
  return hr;
}

HRESULT STDMETHODCALLTYPE CQvWaveObject::Wait(DWORD ms) {
  HANDLE thread = m_thread;
  if (!thread) return S_OK;
  DWORD w = WaitForSingleObject(thread, ms);
  if (w == WAIT_TIMEOUT) return E_PENDING;
  if (w != WAIT_OBJECT_0) return E_FAIL;
  DWORD code = 0;
  GetExitCodeThread(thread, &code);
  return static_cast<HRESULT>(code);
}

IUnknown* CreateQvWaveObject(const CLSID* clsid, IUnknown* outer, HRESULT* result) {
  CQvWaveObject* w = new (std::nothrow) CQvWaveObject(outer, *clsid);
  if (!w) *result = E_OUTOFMEMORY;
  return w ? w->Unknown() : nullptr;
}
