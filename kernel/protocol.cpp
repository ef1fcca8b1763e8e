// The rules of the I/O-control protocol that do not depend on the board:
// owner-only codes, buffer lengths, the host-port reading of pass-through
// codes and the checks of a channel map.
#include "kernel/protocol.h"

#include "kernel/km/ntstatus.h"

#include <cstring>

namespace {
uint32_t Word(const void* buffer, uint32_t at) {
  uint32_t v;
  std::memcpy(&v, static_cast<const uint8_t*>(buffer) + at, 4);
  return v;
}

bool IsPassThrough(uint32_t code) { return code >= IOCTL_QV_DSP && code <= IOCTL_QV_DSP_LAST && !(code & 3); }

// The device-mode record: at least 4 bytes; a leading zero word is skipped
// when 8 bytes or more are given; the sample rate must not be 0.
NTSTATUS CheckDeviceMode(const void* buffer, uint32_t in) {
  if (!in) return STATUS_SUCCESS;
  if (in < 4) return STATUS_INVALID_BUFFER_SIZE;
  uint32_t at = in >= 8 && Word(buffer, 0) == 0 ? 4 : 0;
  return Word(buffer, at) ? STATUS_SUCCESS : STATUS_INVALID_PARAMETER;
}

// The memory request: count (bits 0-22), bit 23 write, the DSP address, then
// the words written; a read returns count words.
NTSTATUS CheckDspMemory(const void* buffer, uint32_t in, uint32_t out) {
  if (in < 8) return STATUS_INVALID_PARAMETER;
  uint32_t head = Word(buffer, 0);
  uint64_t bytes = uint64_t(head & 0x7FFFFF) * 4;
  if (head & 0x800000) return in - 8 >= bytes ? STATUS_SUCCESS : STATUS_INVALID_PARAMETER;
  return out >= bytes ? STATUS_SUCCESS : STATUS_BUFFER_TOO_SMALL;
}
}  // namespace

bool QvIsOwnerOnly(uint32_t code, uint32_t inLength) {
  switch (code) {
    case IOCTL_QV_BOOT:
    case IOCTL_QV_LOAD:
    case IOCTL_QV_SET_ROUTES: return true;
    case IOCTL_QV_DEVICE_MODE:
    case IOCTL_QV_EXP_SETTING: return inLength != 0;
    default: return IsPassThrough(code);
  }
}

bool QvHostPassThrough(uint32_t code, QvHostCommand* out) {
  if (!IsPassThrough(code)) return false;
  uint32_t c = code & ~0xFCu;
  if (c < 0x83AE3100 || c > 0x83AE3F00) return false;
  out->nibble = static_cast<uint8_t>((code >> 8) & 0xF);
  out->writeFormat = static_cast<uint8_t>((code >> 5) & 7);
  out->readFormat = static_cast<uint8_t>((code >> 2) & 7);
  return true;
}

NTSTATUS QvBoardPassThrough(uint32_t boardId, uint32_t code, uint32_t dspCount, QvBoardCommand* out) {
  *out = {};
  if (!IsPassThrough(code)) return STATUS_INVALID_DEVICE_REQUEST;
  constexpr uint32_t DspCommand = 0x800000;  // bit 23: a command to the DSP program
  uint32_t offset = code - IOCTL_QV_DSP;
  switch (boardId) {
    case BoardIdTvr:
    case BoardIdTv2: {
      uint32_t c = code & ~0xFCu;
      if (c < 0x83AE3100 || c > 0x83AE3F00) return STATUS_INVALID_DEVICE_REQUEST;
      out->command = DspCommand + (offset >> 5);
      return STATUS_SUCCESS;
    }
    case BoardIdCbl:
    case BoardIdMio:
      out->command = DspCommand + (offset >> 2);
      return STATUS_SUCCESS;
    case BoardIdDnv: {
      uint32_t f = offset >> 2;
      uint32_t dsp = f >> 6, op = f & 0x3F;
      if (dsp >= dspCount) return STATUS_NOT_SUPPORTED;
      if (op <= 1)
        op |= DspCommand;
      else if (op < 14 || op > 23)
        return STATUS_NOT_SUPPORTED;
      *out = {op, dsp};
      return STATUS_SUCCESS;
    }
    default: return STATUS_INVALID_DEVICE_REQUEST;
  }
}

NTSTATUS QvCheckBuffers(uint32_t code, const void* buffer, uint32_t in, uint32_t out, uint32_t* information) {
  *information = 0;
  switch (code) {
    case IOCTL_QV_GET_ID:
    case IOCTL_QV_GET_STATUS: return out < 4 ? STATUS_BUFFER_TOO_SMALL : STATUS_SUCCESS;
    case IOCTL_QV_LOAD: return in < 4 ? STATUS_INVALID_PARAMETER : STATUS_SUCCESS;
    case IOCTL_QV_DSP_MEMORY: return CheckDspMemory(buffer, in, out);
    case IOCTL_QV_GET_INFO:
      if (out >= 4) return STATUS_SUCCESS;
      *information = 16;  // the size the caller should offer
      return STATUS_BUFFER_TOO_SMALL;
    case IOCTL_QV_EXT_QUERY: return in < 4 ? STATUS_INVALID_PARAMETER : STATUS_SUCCESS;
    case IOCTL_QV_DEVICE_MODE: return CheckDeviceMode(buffer, in);
    case IOCTL_QV_SET_PARAM: return in == 4 || in == 8 ? STATUS_SUCCESS : STATUS_INVALID_PARAMETER;
    case IOCTL_QV_GET_PARAM: return out < 8 ? STATUS_BUFFER_TOO_SMALL : STATUS_SUCCESS;
    case IOCTL_QV_WAVE_MESSAGE: return in < 12 ? STATUS_INVALID_PARAMETER : STATUS_SUCCESS;
    case IOCTL_QV_WAVE_CONTROL: return in < 12 ? STATUS_INVALID_BUFFER_SIZE : STATUS_SUCCESS;
    case IOCTL_QV_SET_ROUTES: return in % 4 ? STATUS_INVALID_PARAMETER : STATUS_SUCCESS;
    default: return STATUS_SUCCESS;
  }
}

NTSTATUS QvCheckChannelMap(const void* map, uint32_t length) {
  if (length < sizeof(qvChannelMap)) return STATUS_INVALID_BUFFER_SIZE;
  qvChannelMap m;
  std::memcpy(&m, map, sizeof m);
  uint32_t inputs = m.firstCount & QvChannelMask, outputs = m.secondCount & QvChannelMask;
  uint32_t channels = inputs + outputs;
  if (!channels) return STATUS_INVALID_PARAMETER;
  if (m.grouped) {
    // Bytes per frame: 1 to 4 per channel.
    if (!m.bytes || m.bytes % channels || m.bytes / channels > 4) return STATUS_INVALID_PARAMETER;
    return STATUS_SUCCESS;
  }
  if (length < offsetof(qvChannelMap, channels) + channels) return STATUS_INVALID_BUFFER_SIZE;
  if (m.bytes != 2 && m.bytes != 4) return STATUS_INVALID_PARAMETER;
  if (!m.buffer) return STATUS_INVALID_PARAMETER;
  if (m.frames < QvMinFrames || m.frames > QvMaxFrames || m.frames % QvFrameStep) return STATUS_INVALID_USER_BUFFER;
  return STATUS_SUCCESS;
}
