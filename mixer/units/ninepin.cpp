#include "mixer/units/ninepin.h"

#include <cstdio>
#include <cstring>

#include "mixer/model/timecode.h"
#include "mixer/units/unittable.h"
#include "mixer/units/unitops.h"

namespace {

// Runs one request with the busy retry: the first send and at most 1000
// re-sends while the engine answers busy. The reply is preset to {1, 255}
// with zeroed data before every exchange, so an exchange that writes nothing
// reads as error status 255.
int Exchange(const uint8_t* request, int length, uint8_t* reply, int capacity, int* replyLength,
             int* status) {
  for (int sends = 0;; ++sends) {
    std::memset(reply, 0, static_cast<size_t>(capacity));
    reply[0] = 1;
    reply[1] = 255;
    *replyLength = NinePinIo(request, length, reply, capacity);
    if (reply[0] != 1) return 1;
    if (reply[1] != kNinePinBusy || sends == kNinePinMaxResends) {
      if (status) *status = reply[1];
      return 0;
    }
  }
}

int Plain(const uint8_t* request, int length, int* status) {
  uint8_t reply[2];
  int n;
  return Exchange(request, length, reply, sizeof reply, &n, status);
}

void TcFromBcd(const uint8_t* bytes, TcRec* tc) {
  tc->Hours = static_cast<uint8_t>(FromBcd(bytes[0]));
  tc->Minutes = static_cast<uint8_t>(FromBcd(bytes[1]));
  tc->Seconds = static_cast<uint8_t>(FromBcd(bytes[2]));
  tc->Frames = static_cast<uint8_t>(FromBcd(bytes[3]));
  tc->SubFrames = 0;
}

NinePinStatusLine line = {0, 0, 0, {}, 0};
NinePinDrawFn drawHook = nullptr;

constexpr uint32_t kBlack = 0x000000, kRed = 0x0000FF, kBlue = 0xFF0000;

const char* const kRefused[] = {
    "APP ERR: Unknown Command or Invalid Parameters!", "APP ERR: Wrong mode!",
    "No device connected!", "No tape!", "FIRMW ERR: Overrun!"};
const char* const kDeviceResponse[] = {
    "Device response: Unknown command!", "Device response: Checksum error!",
    "Device response: Parity error!",    "Device response: Overrun error!",
    "Device response: Framing error!",   "Device response: Time out!"};
const char* const kConfirmed[] = {
    "Device locator position adopted.", "Device STOP command adopted.", "Device PLAY command adopted.",
    "Device REWIND command adopted.", "Device FORWARD command adopted."};

void Set(int cls, uint32_t code, uint32_t color, int hold, const char* format, uint32_t arg = 0) {
  line.cls = cls;
  line.code = code;
  line.color = color;
  line.hold = hold;
  std::snprintf(line.text, sizeof line.text, format, arg);
}

// Builds the text, colour and hold of a message class.
void Compose(int cls, uint32_t code) {
  switch (cls) {
    case 3:
      if (code >= 1 && code <= 5) {
        Set(cls, code, code == 3 || code == 4 ? kBlack : kRed, 40, "");
        std::snprintf(line.text, sizeof line.text, "%s", kRefused[code - 1]);
      } else {
        Set(cls, code, kRed, 40, "FIRMW ERR: Unknown code! (0x%08X)", code);
      }
      return;
    case 4: {
      uint32_t low = code & 0xFF;
      const char* fixed = nullptr;
      uint32_t color = kBlack;
      int hold = 0;
      switch (low) {
        case 64: fixed = "Initializing device (Device ID)"; break;
        case 65: fixed = "Initializing device (Status sense)"; break;
        case 66: fixed = "Initializing device (Time sense)"; break;
        case 209: fixed = "FIRMW ERR: Buffer overflow! -> Inactive"; color = kRed; break;
        case 210: fixed = "FIRMW ERR: Internal error! -> Inactive"; color = kRed; break;
        case 211: fixed = "Communication error! -> Inactive"; break;
        case 212: fixed = "Communication time out! -> Inactive"; break;
        case 230: Set(cls, code, kRed, 0, "Invalid device response! (0x%06X) -> Inactive", code >> 8); return;
        case 231: Set(cls, code, kRed, 0, "Unrecognized device response! (0x%06X) -> Inactive", code >> 8); return;
        case 232:
          Set(cls, code, kRed, 0, "FIRMW ERR: Unexpected device response! (0x%06X) -> Inactive", code >> 8);
          return;
        default:
          if (low >= 224 && low <= 229) {
            fixed = kDeviceResponse[low - 224];
            hold = 40;
          } else {
            Set(cls, code, kRed, 40, "FIRMW ERR: Unknown status code! (0x%08X)", code);
            return;
          }
      }
      Set(cls, code, color, hold, "");
      std::snprintf(line.text, sizeof line.text, "%s", fixed);
      return;
    }
    case 5:
      Set(cls, code, kBlue, 40, "");
      if (code <= 4) std::snprintf(line.text, sizeof line.text, "%s", kConfirmed[code]);
      return;
    case 6:
      Set(cls, code, kBlack, 0, "Inactive");
      return;
    default:
      Set(cls, code, kBlack, 0, "");
      return;
  }
}

void Draw(void* window) {
  if (window && drawHook) drawHook(window, line.text, line.color, kNinePinStatusBackground);
}

}  // namespace

int NinePinIo(const uint8_t* request, int length, uint8_t* reply, int capacity) {
  UnitHandle h = kNoUnitHandle;
  const UnitOps* ops = UnitInterface(1, &h);
  if (!ops || length < 1 || capacity < 2) return 0;
  return ops->ninePinIo(h, request, static_cast<uint32_t>(length), reply, static_cast<uint32_t>(capacity));
}

uint8_t ToBcd(int value) {
  if (value < 0) value = 0;
  value %= 100;
  return static_cast<uint8_t>(value / 10 << 4 | value % 10);
}
int FromBcd(uint8_t bcd) { return (bcd >> 4) * 10 + (bcd & 0x0F); }

int NinePinSend(uint8_t code, int* status) { return Plain(&code, 1, status); }

int NinePinSendByte(uint8_t code, uint8_t value, int* status) {
  const uint8_t request[2] = {code, value};
  return Plain(request, 2, status);
}

int NinePinSendTimecode(uint8_t code, const TcRec& tc, int* status) {
  const uint8_t request[5] = {code, ToBcd(tc.Hours), ToBcd(tc.Minutes), ToBcd(tc.Seconds), ToBcd(tc.Frames)};
  return Plain(request, 5, status);
}

int NinePinQueryValue(uint8_t code, uint32_t* value, int* status) {
  uint8_t reply[5];
  int n = 0;
  *value = 0;
  if (!Exchange(&code, 1, reply, sizeof reply, &n, status)) return 0;
  for (int i = n - 1; i >= 1; --i) *value = *value << 8 | reply[i];
  return 1;
}

int NinePinQueryTimecode(uint8_t code, TcRec* tc, int* status) {
  uint8_t reply[5];
  int n = 0;
  *tc = TcRec{};
  if (!Exchange(&code, 1, reply, sizeof reply, &n, status)) return 0;
  TcFromBcd(reply + 1, tc);
  return 1;
}

int NinePinSend0D(uint8_t a, uint8_t b, int* status) {
  const uint8_t request[4] = {0x0D, 0x00, a, b};
  return Plain(request, 4, status);
}

int NinePinQuery19(int32_t* value, int* status) {
  uint8_t reply[3];
  int n = 0;
  const uint8_t code = 0x19;
  if (!Exchange(&code, 1, reply, sizeof reply, &n, status)) {
    *value = -1;
    return 0;
  }
  *value = reply[1] * 256 + reply[2];
  return 1;
}

int NinePinSend36(const TcRec& tc, int* status) {
  const uint8_t request[3] = {0x36, ToBcd(tc.Seconds), ToBcd(tc.Frames)};
  return Plain(request, 3, status);
}

int NinePinSend39(int first, int second, int* status) {
  return NinePinSendByte(0x39, static_cast<uint8_t>((first ? 1 : 0) + (second ? 2 : 0)), status);
}

int NinePinQuery4F(uint32_t* value, int* status) {
  uint8_t reply[3];
  int n = 0;
  const uint8_t code = 0x4F;
  *value = 0;
  if (!Exchange(&code, 1, reply, sizeof reply, &n, status)) return 0;
  *value = reply[1] + reply[2] * 256u;
  return 1;
}

int NinePinSend80(uint16_t value, int* status) {
  const uint8_t request[3] = {0x80, static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
  return Plain(request, 3, status);
}

// The reply holds two bytes and then the time code in four BCD bytes: six
// data bytes, so the buffer has room for the kind and six.
int NinePinQuery9F(uint8_t* a, uint8_t* b, TcRec* tc, int* status) {
  uint8_t reply[7];
  int n = 0;
  const uint8_t code = 0x9F;
  *a = 0;
  *b = 0;
  *tc = TcRec{};
  if (!Exchange(&code, 1, reply, sizeof reply, &n, status)) return 0;
  *a = reply[1];
  *b = reply[2];
  TcFromBcd(reply + 3, tc);
  return 1;
}

int NinePinSendA5(const TcRec& tc, int* status) {
  const uint8_t request[3] = {0xA5, ToBcd(tc.Seconds), ToBcd(tc.Frames)};
  return Plain(request, 3, status);
}

void NinePinDeviceName(int32_t type, char* text, int size) {
  if (size <= 0) return;
  text[0] = 0;
  if (type == -1) return;
  uint32_t masked = static_cast<uint32_t>(type) & 0xF0FF;
  // The machines of this system's own maker; others are shown by number.
  if (masked == 0xF0FF)
    std::snprintf(text, static_cast<size_t>(size), "Quorvale");
  else
    std::snprintf(text, static_cast<size_t>(size), "%04X", static_cast<unsigned>(masked));
}

const NinePinStatusLine& NinePinStatus() { return line; }
void SetNinePinDraw(NinePinDrawFn draw) { drawHook = draw; }

int NinePinShowStatus(int cls, uint32_t code, void* window) {
  switch (cls) {
    case 1:
      if (line.hold > 0 && --line.hold == 0) {
        Compose(0, code);
        Draw(window);
      }
      return line.cls;
    case 2:
      Draw(window);
      return line.cls;
    case 7: {
      bool keep = line.cls == 4 && (((line.code & 0xFF) >= 209 && (line.code & 0xFF) <= 212) ||
                                    ((line.code & 0xFF) >= 230 && (line.code & 0xFF) <= 232));
      if (!keep) {
        Compose(6, 0);
        Draw(window);
      }
      return line.cls;
    }
    default:
      Compose(cls, code);
      Draw(window);
      return line.cls;
  }
}
