#include "mixer/model/taketime.h"

#include <algorithm>
#include <cmath>

#include "mixer/model/musical.h"
#include "mixer/model/settings.h"
#include "mixer/model/take.h"
#include "mixer/model/takeattr.h"
#include "mixer/model/timecode.h"

int32_t TakeTcToLoc(TakeRec* take, uint32_t offset) {
  if (take == nullptr) return 0;
  const auto* stamp = reinterpret_cast<const TcRec*>(TakeGetAttr(take, kTakeAttrTcStamp));
  if (stamp == nullptr) return 0;
  uint32_t rate = static_cast<uint32_t>(TakeGetAttr(take, kTakeAttrSampleRate));
  uint32_t code = static_cast<uint32_t>(TakeGetAttr(take, kTakeAttrFrameRate));
  if (rate == 0) rate = Settings().SampleRate;
  if (code == 0) code = Settings().CurFrameRate;
  uint32_t high = 0;
  const uint32_t low = TimeCodeToLoc64(*stamp, &high, rate, code);
  int64_t x = static_cast<int64_t>((static_cast<uint64_t>(high) << 32) | low);
  if (x < static_cast<int64_t>(offset)) x += static_cast<int64_t>(std::ceil(FrameRateValue(24)));
  return static_cast<int32_t>(std::clamp<int64_t>(x - offset, 0, INT32_MAX));
}

int32_t TakeTickResolution(TakeRec* take, uint32_t kind) {
  if (kind != kTakeMidi) return 0;
  const uintptr_t res = TakeGetAttr(take, kTakeAttrTickResolution);
  return res > 0 && res <= INT32_MAX ? static_cast<int32_t>(res) : 0;
}

int32_t TakeLenAtKind(TakeRec* take, uint32_t kind, int32_t start) {
  if (take == nullptr) return 0;
  const int64_t length = static_cast<int64_t>(TakeGetAttr(take, kTakeAttrLength));
  const int32_t res = TakeTickResolution(take, kind);
  if (res == 0) return static_cast<int32_t>(std::min<int64_t>(length, INT32_MAX));
  const int64_t end = MidiTicksToLocEnd(start, res, length);
  return static_cast<int32_t>(std::clamp<int64_t>(end - start, 0, INT32_MAX));
}

int TakeSetLenAtKind(TakeRec* take, uint32_t kind, int32_t start, int32_t length, uint32_t* error) {
  if (take == nullptr) return 0;
  int64_t value = length;
  if (const int32_t res = TakeTickResolution(take, kind)) {
    const int32_t end = static_cast<int32_t>(std::min<int64_t>(int64_t{start} + length, INT32_MAX));
    value = LocSpanToMidiTicks(start, res, end);
  }
  if (value < 0) value = 0;
  return TakeSetAttr(take, kTakeAttrLength, static_cast<uintptr_t>(value), error);
}
