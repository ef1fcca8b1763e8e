// "Quorvale.Asio": the ASIO driver object over a CQvWave stream, its
// settings in the registry, the buffer switch on the stream thread, and its
// registration under the ASIO driver key.
#include "Drv/Qvcom/asio.h"
#include "Drv/Qvcom/qvcom.h"
#include "Drv/Qvdrv/qvdrv_private.h"
#include "Inc/base.h"
#include "Inc/regkey.h"

#include <mmsystem.h>

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>

const CLSID CLSID_QvAsio = {0x5AC6EFA0, 0x4264, 0x11D2, {0xAC, 0x7F, 0x00, 0xA0, 0x24, 0xCF, 0xC2, 0x58}};
const CLSID CLSID_QvAsioPage = {0x5AC6EFA2, 0x4264, 0x11D2, {0xAC, 0x7F, 0x00, 0xA0, 0x24, 0xCF, 0xC2, 0x58}};
const IID IID_IQvAsioSettings = {0x5AC6EFA1, 0x4264, 0x11D2, {0xAC, 0x7F, 0x00, 0xA0, 0x24, 0xCF, 0xC2, 0x58}};

namespace {

constexpr char DriverName[] = "HRL Quorvale ASIO";
constexpr char ClockName[] = "HRL Quorvale Mixer";

// ---- process-wide state ----

volatile LONG g_settingsLock = 0;
HKEY g_settings = nullptr;
uint32_t g_rate = 44100;
uint32_t g_sampleType = ASIOSTInt32LSB;
uint32_t g_preferred = 512;

struct SettingsLock {
  SettingsLock() {
    while (AtomicCompareExchange(&g_settingsLock, 1, 0) != 0) Sleep(0);
  }
  ~SettingsLock() { AtomicCompareExchange(&g_settingsLock, 0, 1); }
};

// The host program's subkey: its file name without extension, first letter
// upper case, the rest lower case.
void HostSubkey(char* name, size_t size) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH - 1);
  const char* base = path;
  for (const char* p = path; *p; ++p)
    if (*p == '\\' || *p == '/') base = p + 1;
  lstrcpynA(name, base, static_cast<int>(size));
  if (char* dot = strrchr(name, '.')) *dot = 0;
  for (char* p = name; *p; ++p) {
    int c = static_cast<unsigned char>(*p);
    *p = static_cast<char>(p == name ? toupper(c) : tolower(c));
  }
}

// The settings key, opened on first use: the main key, or the host's
// subkey while "GlobalSettings" is 0.
HKEY Settings() {
  SettingsLock lock;
  if (g_settings) return g_settings;
  HKEY main = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, AsioSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &main,
                      nullptr) != ERROR_SUCCESS)
    return nullptr;
  DWORD global = 0, size = sizeof global, type = 0;
  if (RegQueryValueExA(main, "GlobalSettings", nullptr, &type, reinterpret_cast<BYTE*>(&global), &size) !=
          ERROR_SUCCESS ||
      type != REG_DWORD) {
    global = 0;
    RegSetValueExA(main, "GlobalSettings", 0, REG_DWORD, reinterpret_cast<BYTE*>(&global), sizeof global);
  }
  if (global) {
    g_settings = main;
    return g_settings;
  }
  char name[MAX_PATH];
  HostSubkey(name, sizeof name);
  HKEY host = nullptr;
  if (RegCreateKeyExA(main, name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &host, nullptr) == ERROR_SUCCESS)
    g_settings = host;
  RegCloseKey(main);
  return g_settings;
}

bool ReadDword(LPCSTR name, DWORD* value) {
  HKEY key = Settings();
  DWORD size = sizeof *value, type = 0;
  return key && RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) == ERROR_SUCCESS &&
         type == REG_DWORD && size == 4;
}

HRESULT WriteValue(LPCSTR name, DWORD type, const void* data, DWORD size) {
  HKEY key = Settings();
  if (!key) return HResultFromLastError();
  LONG error = RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
  if (error == ERROR_SUCCESS) return S_OK;
  SetLastError(static_cast<DWORD>(error));
  return HResultFromLastError();
}

void ReadMask(LPCSTR name, BYTE* mask) {
  BYTE stored[256] = {};
  DWORD size = sizeof stored, type = 0;
  HKEY key = Settings();
  if (!key || RegQueryValueExA(key, name, nullptr, &type, stored, &size) != ERROR_SUCCESS) size = 0;
  AsioMaskOfStored(stored, size, mask);
}

void Copy(char* out, size_t size, const char* text) { lstrcpynA(out, text, static_cast<int>(size)); }

// The board families the driver names.
struct Family {
  uint32_t boardId;
  const char* name;
  const char* stem;
  int counter;  // families sharing a counter share its index
};
const Family Families[] = {
    {BoardIdDnv, "Dunvell", "Qvdnv%u", 0},
    {BoardIdTv2, "Tavrion", "Qvtvr%u", 1},
    {BoardIdTvr, "Tavrion", "Qvtvr%u", 1},
    {BoardIdCbl, "Corbelle", "Qvcbl%u", 2},
};
const Family* FamilyOf(uint32_t boardId) {
  for (const Family& f : Families)
    if (f.boardId == boardId) return &f;
  return nullptr;
}

// "%s" for the first board of a family, "%s %u" with ordinal + 1 after it.
void BoardName(const Family* f, uint32_t ordinal, char* out, size_t size) {
  if (ordinal == 0) Copy(out, size, f->name);
  else snprintf(out, size, "%s %u", f->name, ordinal + 1);
}

// The buffer memory: the driver takes its address as a 32-bit word, so a
// 64-bit process looks for room below 4 GB. Zero-filled.
uint8_t* AllocStreamMemory(SIZE_T bytes) {
  if (sizeof(void*) == 4) return static_cast<uint8_t*>(VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
  for (uint64_t at = 0x10000000; at + bytes < 0x100000000ull; at += 0x01000000) {
    void* p = VirtualAlloc(reinterpret_cast<void*>(static_cast<uintptr_t>(at)), bytes, MEM_RESERVE | MEM_COMMIT,
                           PAGE_READWRITE);
    if (p) return static_cast<uint8_t*>(p);
  }
  return nullptr;
}

void FreeStreamMemory(uint8_t* memory) {
  if (memory) VirtualFree(memory, 0, MEM_RELEASE);
}

uint64_t NowNs(uint32_t ageMs) { return uint64_t(uint32_t(timeGetTime() - ageMs)) * 1000000u; }

}  // namespace

void AsioCloseSettings() {
  SettingsLock lock;
  if (g_settings) RegCloseKey(g_settings);
  g_settings = nullptr;
}

// ---- the object ----

const ComInterfaceEntry CQvAsio::Interfaces[] = {
    {&CLSID_QvAsio, ComOffset<CQvAsio, IASIO>()},  // hosts ask for the driver by its class id
    {&IID_IQvAsioSettings, ComOffset<CQvAsio, IQvAsioSettings>()},
    {&IID_ISpecifyPropertyPages, ComOffset<CQvAsio, ISpecifyPropertyPages>()},
    {nullptr, 0},
};

CQvAsio::CQvAsio(IUnknown* outer) : CCom(outer, 0, Interfaces, true), m_wave(this) { Settings(); }

CQvAsio::~CQvAsio() {
  m_wave.Close();
  FreeStreamMemory(m_memory);
}

IUnknown* CreateQvAsio(const CLSID*, IUnknown* outer, HRESULT* result) {
  CQvAsio* a = new (std::nothrow) CQvAsio(outer);
  if (!a) *result = E_OUTOFMEMORY;
  return a ? a->Unknown() : nullptr;
}

void AsioStartHook(const QvClassDesc*) { CSysTime::Init(); }
void AsioEndHook(const QvClassDesc*) { AsioCloseSettings(); }

void CQvAsio::SetError(const char* format, ...) {
  va_list args;
  va_start(args, format);
  vsnprintf(m_error, sizeof m_error, format, args);
  va_end(args);
}

ASIOBool CQvAsio::init(void* sysHandle) {
  m_host = sysHandle && IsWindow(static_cast<HWND>(sysHandle)) ? static_cast<HWND>(sysHandle) : nullptr;
  disposeBuffers();
  DWORD value = 0;
  GetSampleType(&value);
  GetBufferSize(&value);

  BYTE mask[AsioMapBytes];
  GetInputMap(mask);
  m_inputs = static_cast<uint8_t>(AsioInputTable(mask, m_inputTable, AsioStreamChannels));
  GetOutputMap(mask);
  m_outputs = static_cast<uint8_t>(AsioOutputTable(mask, m_outputTable, AsioStreamChannels));

  if (!m_wave.Open("Qvwave", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, 0, nullptr)) {
    SetError("Failed to open streaming device %s, Status=%u", "Qvwave", GetLastError());
    return ASIOFalse;
  }
  DWORD device = 0;
  GetDevice(&device);
  qvChannelInfo info{};
  m_deviceName = nullptr;
  if (device == 0xFFFFFFFF) {
    if (m_wave.Map(nullptr, &info)) {
      m_deviceName = DriverName;
      m_ordinal = 0xFF;
    }
  } else {
    // Walks the boards up to the chosen index; the query takes the index's
    // low byte, so the walk ends at 256 boards.
    uint32_t ordinals[3] = {};
    const Family* named = nullptr;
    bool reached = false;
    for (uint32_t i = 0; i < 256; ++i) {
      qvChannelInfo r{};
      if (!m_wave.IoControl(IOCTL_QV_WAVE_MAP, &i, 4, &r, sizeof r, nullptr)) break;
      info = r;
      const Family* f = FamilyOf(r.boardId);
      if (f) {
        named = f;
        m_ordinal = static_cast<uint8_t>(ordinals[f->counter]++);
      }
      if (i == device) {
        reached = true;
        break;
      }
    }
    if (!reached) {
      // Fewer boards than the index: the stream stays on the wave device
      // with the last board named.
      SetDevice(0);
    } else if (named) {
      char path[16], name[32];
      snprintf(path, sizeof path, named->stem, m_ordinal);
      BoardName(named, m_ordinal, name, sizeof name);
      if (!m_wave.Open(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, 0, nullptr)) {
        DWORD error = GetLastError();
        if (error == ERROR_BUS_RESET) SetError("Failed to open %s, the mixer software is not active", name);
        else SetError("Failed to open %s, Status=%u", name, error);
        return ASIOFalse;
      }
    }
    if (named) m_deviceName = named->name;
  }
  if (!m_deviceName) {
    SetError("No ASIO compatible device found");
    return ASIOFalse;
  }
  g_rate = info.sampleRate;
  m_inputOffset = info.firstInput;
  m_outputOffset = info.firstOutput;
  if (m_inputs > info.inputs) m_inputs = info.inputs;
  if (m_outputs > info.outputs) m_outputs = info.outputs;
  return ASIOTrue;
}

void CQvAsio::getDriverName(char* name) {
  if (!name) return;
  char text[128] = {};
  DWORD size = sizeof text - 1, type = 0;
  HKEY key = Settings();
  if (!key || RegQueryValueExA(key, "Description", nullptr, &type, reinterpret_cast<BYTE*>(text), &size) !=
                  ERROR_SUCCESS ||
      type != REG_SZ || !text[0])
    Copy(text, sizeof text, DriverName);
  // The host's buffer holds 32 bytes.
  Copy(name, 32, text);
}

int32_t CQvAsio::getDriverVersion() { return 2; }

void CQvAsio::getErrorMessage(char* text) {
  if (text) Copy(text, 124, m_error);
}

ASIOError CQvAsio::start() {
  if (!HasDevice()) return ASE_NotPresent;
  if (!m_memory) return ASE_InvalidMode;
  m_switches = 0;
  m_position = 0;
  std::memset(&m_time, 0, sizeof m_time);
  m_time.timeInfo.sampleRate = g_rate;
  uint64_t now = NowNs(0);
  m_time.timeInfo.systemTime = {uint32_t(now >> 32), uint32_t(now)};
  return m_wave.Start() ? ASE_OK : ASE_HWMalfunction;
}

ASIOError CQvAsio::stop() {
  if (!HasDevice()) return ASE_NotPresent;
  if (!m_memory) return ASE_InvalidMode;
  return m_wave.Stop() ? ASE_OK : ASE_HWMalfunction;
}

ASIOError CQvAsio::getChannels(int32_t* inputs, int32_t* outputs) {
  if (!HasDevice()) return ASE_NotPresent;
  if (inputs) *inputs = m_inputs;
  if (outputs) *outputs = m_outputs;
  return ASE_OK;
}

ASIOError CQvAsio::getLatencies(int32_t* input, int32_t* output) {
  if (!HasDevice()) return ASE_NotPresent;
  DWORD extraIn = 0, extraOut = 0;
  ReadDword("InpLatency", &extraIn);
  ReadDword("OutLatency", &extraOut);
  if (input) *input = static_cast<int32_t>(m_bufferSize + m_inputLatency + extraIn);
  if (output) *output = static_cast<int32_t>(m_bufferSize + m_outputLatency + extraOut);
  return ASE_OK;
}

ASIOError CQvAsio::getBufferSize(int32_t* minSize, int32_t* maxSize, int32_t* preferred, int32_t* granularity) {
  if (minSize) *minSize = AsioMinBuffer;
  if (maxSize) *maxSize = AsioMaxBuffer;
  if (preferred) *preferred = static_cast<int32_t>(g_preferred);
  if (granularity) *granularity = AsioGranularity;
  return ASE_OK;
}

ASIOError CQvAsio::canSampleRate(ASIOSampleRate) { return HasDevice() ? ASE_OK : ASE_NotPresent; }

ASIOError CQvAsio::getSampleRate(ASIOSampleRate* rate) {
  if (!rate) return ASE_InvalidParameter;
  *rate = g_rate;
  return ASE_OK;
}

ASIOError CQvAsio::setSampleRate(ASIOSampleRate rate) {
  if (!HasDevice()) return ASE_NotPresent;
  if (!(rate > 0 && rate < 4294967295.0)) return ASE_InvalidParameter;
  uint32_t r = static_cast<uint32_t>(rate + 0.5);
  if (r == g_rate) return ASE_OK;
  if (!m_wave.IoControl(IOCTL_QV_DEVICE_MODE, &r, 4, nullptr, 0, nullptr)) return ASE_NoClock;
  g_rate = r;
  return ASE_OK;
}

ASIOError CQvAsio::getClockSources(ASIOClockSource* clocks, int32_t* count) {
  if (!clocks || !count) return ASE_InvalidParameter;
  std::memset(clocks, 0, sizeof *clocks);
  clocks->isCurrentSource = ASIOTrue;
  Copy(clocks->name, sizeof clocks->name, ClockName);
  *count = 1;
  return ASE_OK;
}

ASIOError CQvAsio::setClockSource(int32_t reference) { return reference == 0 ? ASE_OK : ASE_InvalidParameter; }

ASIOError CQvAsio::getSamplePosition(ASIOSamples* position, ASIOTimeStamp* stamp) {
  if (position) *position = m_time.timeInfo.samplePosition;
  if (stamp) *stamp = m_time.timeInfo.systemTime;
  return ASE_OK;
}

void CQvAsio::BoardNameOf(uint32_t deviceChannel, bool input, char* name, size_t size) {
  if (m_ordinal != 0xFF) {
    const Family* f = nullptr;
    for (const Family& g : Families)
      if (std::strcmp(g.name, m_deviceName ? m_deviceName : "") == 0) f = &g;
    if (f) BoardName(f, m_ordinal, name, size);
    else Copy(name, size, DriverName);
    return;
  }
  uint32_t ordinals[3] = {};
  uint32_t channel = deviceChannel;
  for (uint32_t i = 0; i < 256; ++i) {
    qvChannelInfo r{};
    if (!m_wave.IoControl(IOCTL_QV_WAVE_MAP, &i, 4, &r, sizeof r, nullptr)) break;
    const Family* f = FamilyOf(r.boardId);
    uint32_t ordinal = f ? ordinals[f->counter]++ : 0;
    uint32_t count = input ? r.inputs : r.outputs;
    if (channel < count) {
      if (f) BoardName(f, ordinal, name, size);
      else Copy(name, size, DriverName);
      return;
    }
    channel -= count;
  }
  Copy(name, size, DriverName);
}

ASIOError CQvAsio::getChannelInfo(ASIOChannelInfo* info) {
  if (!HasDevice()) return ASE_NotPresent;
  if (!info) return ASE_InvalidParameter;
  int32_t count = info->isInput ? m_inputs : m_outputs;
  if (info->channel < 0 || info->channel >= count) return ASE_InvalidParameter;
  uint32_t device = info->isInput ? m_inputTable[info->channel] + m_inputOffset
                                  : m_outputTable[info->channel] + m_outputOffset;
  char board[32];
  BoardNameOf(device, info->isInput != 0, board, sizeof board);
  info->isActive = ASIOTrue;
  info->channelGroup = 0;
  info->type = static_cast<ASIOSampleType>(g_sampleType);
  snprintf(info->name, sizeof info->name, "STR %u  %s", device + 1, board);
  return ASE_OK;
}

ASIOError CQvAsio::createBuffers(ASIOBufferInfo* infos, int32_t count, int32_t size, ASIOCallbacks* callbacks) {
  if (!HasDevice()) return ASE_NotPresent;
  disposeBuffers();
  if (count > 508 || count < 1 || size < 1 || !infos || !callbacks) return ASE_InvalidParameter;
  uint32_t bytes = g_sampleType == ASIOSTInt16LSB ? 2 : g_sampleType == ASIOSTInt32LSB ? 4 : 0;
  if (!bytes || static_cast<uint32_t>(size) > AsioMaxBuffer) return ASE_InvalidParameter;
  uint8_t ins[AsioStreamChannels], outs[AsioStreamChannels];
  uint32_t nin = 0, nout = 0;
  for (int32_t i = 0; i < count; ++i) {
    const ASIOBufferInfo& b = infos[i];
    int32_t limit = b.isInput ? m_inputs : m_outputs;
    if (b.channelNum < 0 || b.channelNum >= limit) return ASE_InvalidParameter;
    if (b.isInput) {
      if (nin >= m_inputs) return ASE_InvalidParameter;
      ins[nin++] = static_cast<uint8_t>(m_inputTable[b.channelNum] + m_inputOffset);
    } else {
      if (nout >= m_outputs) return ASE_InvalidParameter;
      outs[nout++] = static_cast<uint8_t>(m_outputTable[b.channelNum] + m_outputOffset);
    }
  }
  uint32_t half = static_cast<uint32_t>(size) * bytes;
  uint8_t* memory = AllocStreamMemory(SIZE_T(count) * 2 * half);
  if (!memory) return ASE_NoMemory;
  // Inputs first, then outputs; each gets its two halves in info order.
  uint32_t in = 0, out = 0;
  for (int32_t i = 0; i < count; ++i) {
    uint32_t slot = infos[i].isInput ? in++ : nin + out++;
    infos[i].buffers[0] = memory + SIZE_T(slot) * 2 * half;
    infos[i].buffers[1] = memory + SIZE_T(slot) * 2 * half + half;
  }
  uint8_t map[12 + 2 * AsioStreamChannels];
  uint32_t length = AsioBuildMap(map, sizeof map, static_cast<uint8_t>(bytes), ins, nin, outs, nout,
                                 static_cast<uint32_t>(size), uint32_t(reinterpret_cast<uintptr_t>(memory)));
  qvChannelInfo reply{};
  if (!length) SetLastError(ERROR_INVALID_PARAMETER);
  if (!length || !m_wave.Map(reinterpret_cast<qvChannelMap*>(map), &reply)) {
    DWORD error = GetLastError();
    FreeStreamMemory(memory);
    if (error == ERROR_NOT_ENOUGH_MEMORY) return ASE_NoMemory;
    if (error == ERROR_SHARING_VIOLATION) return ASE_NotPresent;
    return ASE_InvalidMode;
  }
  m_memory = memory;
  m_callbacks = callbacks;
  m_bufferSize = static_cast<uint32_t>(size);
  std::memcpy(m_streamInputs, ins, nin);
  std::memcpy(m_streamOutputs, outs, nout);
  m_streamInputCount = static_cast<uint8_t>(nin);
  m_streamOutputCount = static_cast<uint8_t>(nout);
  m_features &= ~(1u | 4u);
  if (callbacks->asioMessage) {
    if (callbacks->asioMessage(kAsioSupportsTimeInfo, 0, nullptr, nullptr) == 1) m_features |= 1;
    if (callbacks->asioMessage(kAsioSupportsTimeCode, 0, nullptr, nullptr) == 1) m_features |= 4;
  }
  uint32_t inLatency = reply.programWord[0], outLatency = reply.programWord[1];
  bool changed = inLatency != m_inputLatency || outLatency != m_outputLatency;
  bool hadLatencies = m_inputLatency != 0 || m_outputLatency != 0;
  m_inputLatency = inLatency;
  m_outputLatency = outLatency;
  if (changed && hadLatencies && callbacks->asioMessage)
    callbacks->asioMessage(kAsioLatenciesChanged, 0, nullptr, nullptr);
  return ASE_OK;
}

ASIOError CQvAsio::disposeBuffers() {
  if (!HasDevice()) return ASE_NotPresent;
  if (m_memory) {
    m_wave.Stop();
    m_wave.Map(nullptr, nullptr);
    FreeStreamMemory(m_memory);
    m_memory = nullptr;
    m_streamInputCount = m_streamOutputCount = 0;
  }
  return ASE_OK;
}

ASIOError CQvAsio::future(int32_t selector, void* argument) {
  switch (selector) {
    case kAsioEnableTimeCodeRead:
    case kAsioDisableTimeCodeRead:
      if (!(m_features & 4)) return ASE_InvalidParameter;
      if (selector == kAsioEnableTimeCodeRead) m_features |= 2;
      else m_features &= ~2u;
      return ASE_SUCCESS;
    case kAsioSetInputMonitor: {
      auto* m = static_cast<const ASIOInputMonitor*>(argument);
      if (!m || !HasDevice()) return ASE_InvalidParameter;
      // The host names ASIO channels; the wave device reads positions in
      // the stream's lists.
      int32_t input = -1;
      if (m->input != -1) {
        if (m->input < 0 || m->input >= m_inputs) return ASE_InvalidParameter;
        input = m_inputTable[m->input] + m_inputOffset;
      }
      if (m->output < 0 || m->output >= m_outputs) return ASE_InvalidParameter;
      int32_t output = m_outputTable[m->output] + m_outputOffset;
      AsioMonitorRecord r;
      if (!AsioMonitor(input, output, m->gain, m->state, m->pan, m_streamInputs, m_streamInputCount,
                       m_streamOutputs, m_streamOutputCount, &r))
        return ASE_InvalidParameter;
      if (!m_wave.IoControl(IOCTL_QV_WAVE_CONTROL, &r, sizeof r, nullptr, 0, nullptr)) return ASE_HWMalfunction;
      return ASE_SUCCESS;
    }
    case kAsioCanInputMonitor:
    case kAsioCanTimeInfo:
    case kAsioCanTimeCode: return ASE_SUCCESS;
    default: return ASE_InvalidParameter;
  }
}

ASIOError CQvAsio::outputReady() { return ASE_NotPresent; }

BOOL WINAPI CQvAsioWave::Block() { return m_owner->OnBlock(reinterpret_cast<const DWORD*>(m_status)); }

BOOL CQvAsio::OnBlock(const DWORD* block) {
  ASIOCallbacks* cb = m_callbacks;
  if (!cb) return TRUE;
  uint32_t age = CSysTime::Delta(block[1]) / 10000;
  uint64_t now = NowNs(age);
  AsioTimeInfo& t = m_time.timeInfo;
  t.systemTime = {uint32_t(now >> 32), uint32_t(now)};
  t.flags = kSystemTimeValid | kSamplePositionValid | kSampleRateValid;
  bool rateChanged = block[3] != 0 && block[3] != g_rate;
  if (rateChanged) {
    g_rate = block[3];
    t.flags |= kSampleRateChanged;
    t.sampleRate = g_rate;
  }
  bool resync = false;
  uint32_t calls = AsioSwitchCount(uint32_t(m_position), block[0], m_bufferSize, &resync);
  if (resync) {
    // Out of step: one switch, and the host's position follows the block's.
    m_position = ((m_position & ~uint64_t(0xFFFFFFFF)) | block[0]) - m_bufferSize;
  }
  if (!(m_features & 1)) {
    if (rateChanged && cb->sampleRateDidChange) cb->sampleRateDidChange(g_rate);
    for (uint32_t i = 0; i < calls; ++i) {
      int32_t index = m_switches & 1;
      ++m_switches;
      t.samplePosition = {uint32_t(m_position >> 32), uint32_t(m_position)};
      if (cb->bufferSwitch) cb->bufferSwitch(index, ASIOTrue);
      m_position += m_bufferSize;
    }
    t.samplePosition = {uint32_t(m_position >> 32), uint32_t(m_position)};
    return TRUE;
  }
  ASIOTimeCode& tc = m_time.timeCode;
  uint32_t mode = block[5] >> 24;
  if (m_features & 2) {
    auto fromBlock = [&] {
      int32_t high = static_cast<int32_t>(block[7]);
      tc.timeCodeSamples = high < 0 ? ASIOSamples{0, 0} : ASIOSamples{block[7], block[6]};
    };
    if (mode & 2) {
      tc.flags |= kTcValid | kTcRunning;
      fromBlock();
      m_timeCodeStop = 0;
    } else {
      if (tc.flags & kTcRunning) {
        tc.flags &= ~(kTcValid | kTcRunning);
        m_timeCodeStop = now ? now : 1;
      }
      if (m_timeCodeStop && now >= m_timeCodeStop + 1000000000u) m_timeCodeStop = 0;
      if (!m_timeCodeStop && (mode & 1)) {
        tc.flags |= kTcValid;
        fromBlock();
      }
    }
  }
  for (uint32_t i = 0; i < calls; ++i) {
    int32_t index = m_switches & 1;
    ++m_switches;
    t.samplePosition = {uint32_t(m_position >> 32), uint32_t(m_position)};
    if (i > 0 && (tc.flags & kTcValid)) {
      uint64_t s = (uint64_t(tc.timeCodeSamples.hi) << 32 | tc.timeCodeSamples.lo) + m_bufferSize;
      tc.timeCodeSamples = {uint32_t(s >> 32), uint32_t(s)};
    }
    if (cb->bufferSwitchTimeInfo) cb->bufferSwitchTimeInfo(&m_time, index, ASIOTrue);
    m_position += m_bufferSize;
  }
  t.samplePosition = {uint32_t(m_position >> 32), uint32_t(m_position)};
  return TRUE;
}

// ---- the control panel ----

namespace {

struct PanelState {
  CQvAsio* asio;
};

void FillDevices(HWND dialog, CQvAsio* asio, DWORD current) {
  HWND combo = GetDlgItem(dialog, 1020);
  uint32_t ordinals[3] = {};
  int boards = 0;
  for (uint32_t i = 0; i < 256; ++i) {
    qvChannelInfo r{};
    if (!asio->m_wave.IoControl(IOCTL_QV_WAVE_MAP, &i, 4, &r, sizeof r, nullptr)) break;
    const Family* f = FamilyOf(r.boardId);
    if (!f) continue;
    char name[32];
    BoardName(f, ordinals[f->counter]++, name, sizeof name);
    LRESULT item = SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    SendMessageA(combo, CB_SETITEMDATA, item, i);
    ++boards;
  }
  if (boards > 1) {
    LRESULT item = SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("All Devices"));
    SendMessageA(combo, CB_SETITEMDATA, item, 0xFFFFFFFF);
  }
  EnableWindow(combo, boards > 1);
  LRESULT n = SendMessageA(combo, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < n; ++i)
    if (static_cast<DWORD>(SendMessageA(combo, CB_GETITEMDATA, i, 0)) == current)
      SendMessageA(combo, CB_SETCURSEL, i, 0);
}

void FillTypes(HWND dialog, DWORD current) {
  HWND combo = GetDlgItem(dialog, 1021);
  static const struct {
    const char* text;
    DWORD type;
  } types[] = {{"16 bit", ASIOSTInt16LSB}, {"24 bit", ASIOSTInt32LSB}};
  for (const auto& t : types) {
    LRESULT item = SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(t.text));
    SendMessageA(combo, CB_SETITEMDATA, item, t.type);
    if (t.type == current) SendMessageA(combo, CB_SETCURSEL, item, 0);
  }
}

DWORD SelectedData(HWND dialog, int id, DWORD fallback) {
  HWND combo = GetDlgItem(dialog, id);
  LRESULT item = SendMessageA(combo, CB_GETCURSEL, 0, 0);
  return item == CB_ERR ? fallback : static_cast<DWORD>(SendMessageA(combo, CB_GETITEMDATA, item, 0));
}

INT_PTR CALLBACK PanelProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* asio = reinterpret_cast<CQvAsio*>(GetWindowLongPtrA(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG: {
      asio = reinterpret_cast<CQvAsio*>(lParam);
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      DWORD device = 0, type = 0, size = 0;
      asio->GetDevice(&device);
      asio->GetSampleType(&type);
      asio->GetBufferSize(&size);
      FillDevices(dialog, asio, device);
      FillTypes(dialog, type);
      SendDlgItemMessageA(dialog, 1022, EM_LIMITTEXT, 5, 0);
      SetDlgItemInt(dialog, 1022, size, FALSE);
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        DWORD device = 0, type = 0;
        asio->GetDevice(&device);
        asio->GetSampleType(&type);
        device = SelectedData(dialog, 1020, device);
        type = SelectedData(dialog, 1021, type);
        DWORD size = GetDlgItemInt(dialog, 1022, nullptr, FALSE);
        if (FAILED(asio->SetDevice(device)) || FAILED(asio->SetSampleType(type)) ||
            FAILED(asio->SetBufferSize(size))) {
          MessageBoxA(dialog, "Failed to save new options", DriverName, MB_OK | MB_ICONERROR);
          return TRUE;
        }
        EndDialog(dialog, IDOK);
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
      }
      return FALSE;
    default: return FALSE;
  }
}

}  // namespace

ASIOError CQvAsio::controlPanel() {
  INT_PTR r = DialogBoxParamA(QvdrvModule(), MAKEINTRESOURCEA(131), m_host, PanelProc, reinterpret_cast<LPARAM>(this));
  if (r == IDOK && m_callbacks && m_callbacks->asioMessage)
    m_callbacks->asioMessage(kAsioResetRequest, 0, nullptr, nullptr);
  return ASE_OK;
}

// ---- settings ----

HRESULT STDMETHODCALLTYPE CQvAsio::GetSampleType(DWORD* type) {
  if (!type) return E_POINTER;
  DWORD value = 0;
  if (!ReadDword("SampleType", &value) || (value != ASIOSTInt16LSB && value != ASIOSTInt32LSB)) {
    value = ASIOSTInt32LSB;
    SetSampleType(value);
  }
  g_sampleType = value;
  *type = value;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CQvAsio::SetSampleType(DWORD type) {
  if (type != ASIOSTInt16LSB && type != ASIOSTInt32LSB) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return HResultFromLastError();
  }
  HRESULT hr = WriteValue("SampleType", REG_DWORD, &type, 4);
  g_sampleType = type;
  return hr;
}

HRESULT STDMETHODCALLTYPE CQvAsio::GetBufferSize(DWORD* size) {
  if (!size) return E_POINTER;
  DWORD value = 0;
  if (!ReadDword("BufferSize", &value)) {
    SetBufferSize(512);
    value = 512;
  }
  g_preferred = AsioBufferSize(value);
  *size = g_preferred;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CQvAsio::SetBufferSize(DWORD size) {
  DWORD value = AsioBufferSize(size);
  HRESULT hr = WriteValue("BufferSize", REG_DWORD, &value, 4);
  g_preferred = value;
  return hr;
}

HRESULT STDMETHODCALLTYPE CQvAsio::GetOutputMap(BYTE* map) {
  if (!map) return E_POINTER;
  ReadMask("OutputMap", map);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CQvAsio::SetOutputMap(const BYTE* map) {
  if (!map) return E_POINTER;
  return WriteValue("OutputMap", REG_BINARY, map, AsioMapBytes);
}

HRESULT STDMETHODCALLTYPE CQvAsio::GetInputMap(BYTE* map) {
  if (!map) return E_POINTER;
  ReadMask("InputMap", map);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CQvAsio::SetInputMap(const BYTE* map) {
  if (!map) return E_POINTER;
  return WriteValue("InputMap", REG_BINARY, map, AsioMapBytes);
}

HRESULT STDMETHODCALLTYPE CQvAsio::GetDevice(DWORD* device) {
  if (!device) return E_POINTER;
  if (!ReadDword("Device", device)) {
    *device = 0;
    SetDevice(0);
  }
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CQvAsio::SetDevice(DWORD device) { return WriteValue("Device", REG_DWORD, &device, 4); }

HRESULT STDMETHODCALLTYPE CQvAsio::GetPages(CAUUID* pages) {
  if (!pages) return E_POINTER;
  pages->pElems = static_cast<GUID*>(CoTaskMemAlloc(sizeof(GUID)));
  if (!pages->pElems) {
    pages->cElems = 0;
    return E_OUTOFMEMORY;
  }
  pages->cElems = 1;
  pages->pElems[0] = CLSID_QvAsioPage;
  return S_OK;
}

// ---- registration ----

HRESULT RegisterAsio(QvRegContext* context) {
  CRegKey asio;
  if (asio.Open(context->m_root.m_key, "Software\\Asio", KEY_ALL_ACCESS)) asio.DeleteTree("Quorvale");
  CRegKey key;
  if (!key.Create(context->m_root.m_key, "Software\\Asio\\Quorvale ASIO")) return HResultFromLastError();
  char clsid[40];
  GuidToString(CLSID_QvAsio, clsid);
  if (!key.SetString("CLSID", clsid) || !key.SetString("Version", "2.0") ||
      !key.SetString("Description", DriverName))
    return HResultFromLastError();
  return RegisterClassBoth(context);
}
