// The 9-pin engine in the first unit's firmware: short engine commands and
// their replies, the senders built on them, the machine model name and the
// status line of the 9-pin window.
#pragma once

#include <cstdint>

struct TcRec;

constexpr int kNinePinBusy = 5;
constexpr int kNinePinMaxResends = 1000;

// One exchange through unit 1; the reply length (1 + data bytes), or 0 when
// there is no unit 1 or the unit layer failed.
int NinePinIo(const uint8_t* request, int length, uint8_t* reply, int capacity);

// Senders: 1 on success, 0 on error with the status (1..255) stored through
// `status` when it is not null.
int NinePinSend(uint8_t code, int* status);
int NinePinSendByte(uint8_t code, uint8_t value, int* status);
int NinePinSendTimecode(uint8_t code, const TcRec& tc, int* status);
int NinePinQueryValue(uint8_t code, uint32_t* value, int* status);
int NinePinQueryTimecode(uint8_t code, TcRec* tc, int* status);

// The commands with their own request or reply.
int NinePinSend0D(uint8_t a, uint8_t b, int* status);
int NinePinQuery19(int32_t* value, int* status);
int NinePinSend36(const TcRec& tc, int* status);
int NinePinSend39(int first, int second, int* status);
int NinePinQuery4F(uint32_t* value, int* status);
int NinePinSend80(uint16_t value, int* status);
int NinePinQuery9F(uint8_t* a, uint8_t* b, TcRec* tc, int* status);
int NinePinSendA5(const TcRec& tc, int* status);

uint8_t ToBcd(int value);
int FromBcd(uint8_t bcd);

// Model name of the machine's 16-bit device type (-1: none gives "").
void NinePinDeviceName(int32_t type, char* text, int size);

// The status line.
struct NinePinStatusLine {
  int cls;
  uint32_t code;
  int hold;
  char text[128];
  uint32_t color;  // COLORREF
};
const NinePinStatusLine& NinePinStatus();
// Draws into the window through this hook when one is given (none in tests).
using NinePinDrawFn = void (*)(void* window, const char* text, uint32_t color, uint32_t background);
void SetNinePinDraw(NinePinDrawFn draw);
int NinePinShowStatus(int cls, uint32_t code, void* window);
constexpr uint32_t kNinePinStatusBackground = 0xBFCED1;
