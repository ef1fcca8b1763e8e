// The sample copy and mix routines. Client samples are read and written
// byte-wise where their alignment is not given (8-bit and packed 24-bit
// frames) and through memcpy elsewhere, which compiles to plain loads and
// stores.
#include "kernel/samplecopy.h"

#include <cstring>

namespace {

inline int16_t Load16(const uint8_t* p) {
  int16_t v;
  std::memcpy(&v, p, 2);
  return v;
}
inline void Store16(uint8_t* p, int16_t v) { std::memcpy(p, &v, 2); }
inline int32_t Load32(const uint8_t* p) {
  int32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
inline void Store32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }
// Packed 24-bit, low byte first, as a left-justified word.
inline int32_t Load24(const uint8_t* p) {
  return static_cast<int32_t>(uint32_t(p[0]) << 8 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 24);
}
inline void Store24(uint8_t* p, uint32_t word) {
  p[0] = static_cast<uint8_t>(word >> 8);
  p[1] = static_cast<uint8_t>(word >> 16);
  p[2] = static_cast<uint8_t>(word >> 24);
}

// Left-justified words of each client format.
inline int32_t Wide8(const uint8_t* p) { return static_cast<int32_t>((uint32_t(*p) - 128u) << 24); }
inline int32_t Wide16(const uint8_t* p) { return static_cast<int32_t>(uint32_t(uint16_t(Load16(p))) << 16); }
inline int32_t Wide32(const uint8_t* p) { return Load32(p); }

uint32_t g_dither = 1;

// Mixes one interleaved format: channels two at a time, then a last odd one.
template <int32_t (*Wide)(const uint8_t*), uint32_t Bytes>
void MixFrames(uint32_t* board, uint8_t* client, uint32_t frames, uint32_t channels, uint32_t frameBytes) {
  uint32_t c = 0;
  for (; c + 1 < channels; c += 2) {
    uint32_t* b = board + c;
    const uint8_t* p = client + c * Bytes;
    for (uint32_t f = 0; f < frames; ++f, b += QvBoardStride, p += frameBytes) {
      b[0] = QvMixWord(b[0], Wide(p));
      b[1] = QvMixWord(b[1], Wide(p + Bytes));
    }
  }
  if (c < channels) {
    uint32_t* b = board + c;
    const uint8_t* p = client + c * Bytes;
    for (uint32_t f = 0; f < frames; ++f, b += QvBoardStride, p += frameBytes) *b = QvMixWord(*b, Wide(p));
  }
}

template <int32_t (*Wide)(const uint8_t*)>
void MixPair(uint32_t* board, const uint8_t* client, uint32_t frames, uint32_t frameBytes) {
  for (uint32_t f = 0; f < frames; ++f, board += QvBoardStride, client += frameBytes) {
    int32_t s = Wide(client);
    board[0] = QvMixWord(board[0], s);
    board[1] = QvMixWord(board[1], s);
  }
}

}  // namespace

// ---- interleaved input ------------------------------------------------------------------

void QvIn8(uint32_t* board, uint8_t* client, uint32_t frames, uint32_t channels, uint32_t frameBytes) {
  for (uint32_t c = 0; c < channels; ++c) {
    const uint32_t* b = board + c;
    uint8_t* p = client + c;
    for (uint32_t f = 0; f < frames; ++f, b += QvBoardStride, p += frameBytes)
      *p = static_cast<uint8_t>((*b >> 24) + 128);
  }
}

void QvIn16(uint32_t* board, uint8_t* client, uint32_t frames, uint32_t channels, uint32_t frameBytes) {
  uint32_t c = 0;
  for (; c + 1 < channels; c += 2) {
    const uint32_t* b = board + c;
    uint8_t* p = client + c * 2;
    for (uint32_t f = 0; f < frames; ++f, b += QvBoardStride, p += frameBytes) {
      uint32_t pair = (b[0] >> 16) | (b[1] & 0xFFFF0000u);
      Store32(p, pair);
    }
  }
  if (c < channels) {
    const uint32_t* b = board + c;
    uint8_t* p = client + c * 2;
    for (uint32_t f = 0; f < frames; ++f, b += QvBoardStride, p += frameBytes)
      Store16(p, static_cast<int16_t>(*b >> 16));
  }
}

uint32_t QvDitherNext() {
  g_dither = static_cast<uint32_t>(uint64_t(g_dither) * 422527u % 8388593u);
  return g_dither;
}

void QvDitherSeed(uint32_t x) { g_dither = x % 8388593u ? x % 8388593u : 1; }

// Triangular dither: the difference of two draws, scaled to about half a
// 16-bit step, is added before the word is cut to its top 16 bits.
void QvIn16Dither(uint32_t* board, uint8_t* client, uint32_t frames, uint32_t channels, uint32_t frameBytes) {
  for (uint32_t f = 0; f < frames; ++f, board += QvBoardStride, client += frameBytes) {
    for (uint32_t c = 0; c < channels; ++c) {
      int32_t a = static_cast<int32_t>(QvDitherNext());
      int32_t b = static_cast<int32_t>(QvDitherNext());
      uint32_t word = board[c] + static_cast<uint32_t>((a - b) >> 7);
      Store16(client + c * 2, static_cast<int16_t>(word >> 16));
    }
  }
}

void QvIn24(uint32_t* board, uint8_t* client, uint32_t frames, uint32_t channels, uint32_t frameBytes) {
  uint32_t c = 0;
  for (; c + 1 < channels; c += 2) {
    const uint32_t* b = board + c;
    uint8_t* p = client + c * 3;
    for (uint32_t f = 0; f < frames; ++f, b += QvBoardStride, p += frameBytes) {
      Store24(p, b[0]);
      Store24(p + 3, b[1]);
    }
  }
  if (c < channels) {
    const uint32_t* b = board + c;
    uint8_t* p = client + c * 3;
    for (uint32_t f = 0; f < frames; ++f, b += QvBoardStride, p += frameBytes) Store24(p, *b);
  }
}

void QvIn32(uint32_t* board, uint8_t* client, uint32_t frames, uint32_t channels, uint32_t frameBytes) {
  if (channels == QvBoardStride && frameBytes == QvBoardStride * 4) {
    std::memcpy(client, board, size_t(frames) * frameBytes);  // whole frames: one run
    return;
  }
  for (uint32_t f = 0; f < frames; ++f, board += QvBoardStride, client += frameBytes)
    for (uint32_t c = 0; c < channels; ++c) Store32(client + c * 4, board[c]);
}

// ---- interleaved output -----------------------------------------------------------------

void QvMix8(uint32_t* board, uint8_t* client, uint32_t frames, uint32_t channels, uint32_t frameBytes) {
  // Channel by channel: byte samples gain nothing from pairs.
  for (uint32_t c = 0; c < channels; ++c) MixFrames<Wide8, 1>(board + c, client + c, frames, 1, frameBytes);
}
void QvMix16(uint32_t* board, uint8_t* client, uint32_t frames, uint32_t channels, uint32_t frameBytes) {
  MixFrames<Wide16, 2>(board, client, frames, channels, frameBytes);
}
void QvMix24(uint32_t* board, uint8_t* client, uint32_t frames, uint32_t channels, uint32_t frameBytes) {
  MixFrames<Load24, 3>(board, client, frames, channels, frameBytes);
}
void QvMix32(uint32_t* board, uint8_t* client, uint32_t frames, uint32_t channels, uint32_t frameBytes) {
  MixFrames<Wide32, 4>(board, client, frames, channels, frameBytes);
}

void QvMixPair8(uint32_t* board, uint8_t* client, uint32_t frames, uint32_t, uint32_t frameBytes) {
  MixPair<Wide8>(board, client, frames, frameBytes);
}
void QvMixPair16(uint32_t* board, uint8_t* client, uint32_t frames, uint32_t, uint32_t frameBytes) {
  MixPair<Wide16>(board, client, frames, frameBytes);
}
void QvMixPair24(uint32_t* board, uint8_t* client, uint32_t frames, uint32_t, uint32_t frameBytes) {
  MixPair<Load24>(board, client, frames, frameBytes);
}
void QvMixPair32(uint32_t* board, uint8_t* client, uint32_t frames, uint32_t, uint32_t frameBytes) {
  MixPair<Wide32>(board, client, frames, frameBytes);
}

// ---- planar runs ------------------------------------------------------------------------

void QvPlanarIn16(uint32_t* board, uint8_t* run, uint32_t frames) {
  for (uint32_t f = 0; f < frames; ++f, board += QvBoardStride) Store16(run + f * 2, static_cast<int16_t>(*board >> 16));
}
void QvPlanarIn32(uint32_t* board, uint8_t* run, uint32_t frames) {
  for (uint32_t f = 0; f < frames; ++f, board += QvBoardStride) Store32(run + f * 4, *board);
}
void QvPlanarMix16(uint32_t* board, uint8_t* run, uint32_t frames) {
  for (uint32_t f = 0; f < frames; ++f, board += QvBoardStride) *board = QvMixWord(*board, Wide16(run + f * 2));
}
void QvPlanarMix32(uint32_t* board, uint8_t* run, uint32_t frames) {
  for (uint32_t f = 0; f < frames; ++f, board += QvBoardStride) *board = QvMixWord(*board, Load32(run + f * 4));
}
void QvPlanarStore32(uint32_t* board, uint8_t* run, uint32_t frames) {
  for (uint32_t f = 0; f < frames; ++f, board += QvBoardStride) *board = static_cast<uint32_t>(Load32(run + f * 4));
}

// ---- channel pair words and whole blocks ------------------------------------------------

void QvPairIn16(uint32_t* board, uint32_t* client, uint32_t frames) {
  for (uint32_t f = 0; f < frames; ++f, board += QvBoardStride) client[f] = (board[0] >> 16) | (board[1] & 0xFFFF0000u);
}
void QvPairMix16(uint32_t* board, const uint32_t* client, uint32_t frames) {
  for (uint32_t f = 0; f < frames; ++f, board += QvBoardStride) {
    board[0] = QvMixWord(board[0], static_cast<int32_t>(client[f] << 16));
    board[1] = QvMixWord(board[1], static_cast<int32_t>(client[f] & 0xFFFF0000u));
  }
}
void QvPairMix32(uint32_t* board, const uint32_t* client, uint32_t frames) {
  for (uint32_t f = 0; f < frames; ++f, board += QvBoardStride) {
    board[0] = QvMixWord(board[0], static_cast<int32_t>(client[2 * f]));
    board[1] = QvMixWord(board[1], static_cast<int32_t>(client[2 * f + 1]));
  }
}

void QvCopyFrames(uint32_t* to, const uint32_t* from, uint32_t frames) {
  std::memcpy(to, from, size_t(frames) * QvBoardStride * 4);
}

void QvClearChannels(uint32_t* board, uint32_t first, uint32_t count, uint32_t frames) {
  if (first >= QvBoardStride) return;
  if (count > QvBoardStride - first) count = QvBoardStride - first;
  for (uint32_t f = 0; f < frames; ++f, board += QvBoardStride) std::memset(board + first, 0, count * 4);
}

// ---- choice -----------------------------------------------------------------------------

QvInterleavedRoutine QvPickInterleaved(uint32_t bytesPerSample, bool output, bool pair) {
  static const QvInterleavedRoutine in[] = {QvIn8, QvIn16, QvIn24, QvIn32};
  static const QvInterleavedRoutine mix[] = {QvMix8, QvMix16, QvMix24, QvMix32};
  static const QvInterleavedRoutine pairs[] = {QvMixPair8, QvMixPair16, QvMixPair24, QvMixPair32};
  if (bytesPerSample < 1 || bytesPerSample > 4) return nullptr;
  if (!output) return in[bytesPerSample - 1];
  return (pair ? pairs : mix)[bytesPerSample - 1];
}

QvPlanarRoutine QvPickPlanar(uint32_t bytesPerSample, bool output, bool store) {
  if (bytesPerSample == 2) return output ? QvPlanarMix16 : QvPlanarIn16;
  if (bytesPerSample == 4) return output ? (store ? QvPlanarStore32 : QvPlanarMix32) : QvPlanarIn32;
  return nullptr;
}
