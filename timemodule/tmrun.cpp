#include "timemodule/tmrun.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "timemodule/tmdsp.h"

namespace tmod {

namespace {

constexpr const char* kTooManyParts = "Too many parts selected!";
constexpr const char* kTimelocked = "Timelocked Part(s) cannot be moved in time, slipped or deleted!";
constexpr uint32_t kValidRates[] = {22050, 32000, 44056, 44100, 47952, 48000, 64000, 88112, 88200, 95904, 96000};

bool ValidRate(int64_t r) {
  for (uint32_t v : kValidRates)
    if (r == v) return true;
  return false;
}

// Shows the host's text of a failure code; returns 0.
int32_t HostError(const EOPHOSTFUNCS& host, TmUi& ui, int32_t code, uint32_t mode) {
  char text[256] = {};
  if (host.ErrorText) host.ErrorText(code, text, sizeof text);
  text[sizeof text - 1] = 0;
  ui.Message(text, TmProcessName(mode));
  return 0;
}

std::string TakeName(const EOPHOSTFUNCS& host, uint32_t take) {
  char name[64] = {};
  if (host.GetTakeInfo(take, 4, name) < 0) return std::string();
  name[63] = 0;
  return name;
}

std::string Joined(const std::string& first, const std::string& last, int32_t count) {
  return count > 1 ? first + "..." + last : first;
}

// One block buffer per Part, and the samples' moves between the host's
// words and the processing's left-justified 32-bit samples.
class Blocks {
 public:
  Blocks(const TmRun& run, const EOPHOSTFUNCS& host, TmUi& ui) : run_(run), host_(host), ui_(ui) {}

  // Reads count samples of Part p's old Take from source position `pos`
  // (a position of the Part, from its offset); 0 after a reported error.
  bool Read(int32_t p, int64_t pos, int32_t count, int32_t* dst) {
    if (count <= 0) return true;
    const TmPartRun& pr = run_.part[p];
    const int32_t r = host_.ReadTake(pr.oldTake, static_cast<uint32_t>(pr.offset + pos), static_cast<uint32_t>(count), dst);
    if (r < 0) return Fail(r);
    if (pr.readBits == 16) {
      const auto* words = reinterpret_cast<const int16_t*>(dst);
      for (int32_t i = count - 1; i >= 0; --i) dst[i] = static_cast<int32_t>(static_cast<uint32_t>(words[i]) << 16);
    }
    return true;
  }
  // Reads [pos, pos + count) of the source with zeros outside 0..L0.
  bool ReadPadded(int32_t p, int64_t pos, int32_t count, int32_t* dst) {
    std::fill(dst, dst + count, 0);
    const int64_t from = std::max<int64_t>(pos, 0), to = std::min<int64_t>(pos + count, run_.L0);
    if (to <= from) return true;
    return Read(p, from, static_cast<int32_t>(to - from), dst + (from - pos));
  }
  bool Write(int32_t p, int64_t pos, int32_t count, const int32_t* src) {
    const TmPartRun& pr = run_.part[p];
    const void* data = src;
    if (run_.writeBits == 16) {
      auto* words = reinterpret_cast<int16_t*>(scratch_.data());
      for (int32_t i = 0; i < count; ++i) words[i] = static_cast<int16_t>(src[i] >> 16);
      data = words;
    }
    const int32_t r = host_.WriteTake(pr.newTake, static_cast<uint32_t>(pos), static_cast<uint32_t>(count),
                                      const_cast<void*>(data));
    return r < 0 ? Fail(r) : true;
  }
  bool Fail(int32_t code) {
    HostError(host_, ui_, code, run_.mode);
    return false;
  }
  bool Alloc(size_t samples) {
    try {
      scratch_.assign(samples, 0);
    } catch (const std::bad_alloc&) {
      return false;
    }
    return true;
  }

 private:
  const TmRun& run_;
  const EOPHOSTFUNCS& host_;
  TmUi& ui_;
  std::vector<int32_t> scratch_;
};

using Buffers = std::vector<std::vector<int32_t>>;

bool Allocate(Buffers& b, int32_t count, size_t size) {
  try {
    b.assign(static_cast<size_t>(count), std::vector<int32_t>(size, 0));
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

std::vector<int32_t*> Ptrs(Buffers& b, size_t at = 0) {
  std::vector<int32_t*> p;
  for (auto& v : b) p.push_back(v.data() + at);
  return p;
}

}  // namespace

const char* TmProcessName(uint32_t mode) {
  switch (mode) {
    case kEopTimeStretch: return "Time Stretch";
    case kEopRateConvert: return "Samplerate Convert";
    case kEopPitchShift: return "Pitch Shift";
    default: return "";
  }
}

int32_t TmProcessBlocks(const TmRun& run, const EOPHOSTFUNCS& host, TmUi& ui) {
  const int32_t parts = run.parts;
  const int64_t L0 = run.L0, N = run.N;
  if (parts < 1 || parts > kTmMaxParts || L0 < 1 || N < 1) return 0;
  {
    std::string o0 = TakeName(host, run.part[0].oldTake), o1 = TakeName(host, run.part[parts - 1].oldTake);
    std::string n0 = TakeName(host, run.part[0].newTake), n1 = TakeName(host, run.part[parts - 1].newTake);
    ui.ShowTakes(Joined(o0, o1, parts), Joined(n0, n1, parts));
  }
  const bool pitch = run.mode == kEopPitchShift;
  const size_t size = pitch ? kTmPitchBlock : kTmBlock;
  Blocks io(run, host, ui);
  Buffers in, out, mid, an;
  std::vector<double> filter;
  bool ok = io.Alloc(size) && Allocate(in, parts, size) && Allocate(out, parts, size) &&
            (!pitch || Allocate(mid, parts, size)) && (parts == 1 || Allocate(an, 1, size));
  if (ok && run.mode != kEopTimeStretch) {
    try {
      filter = pitch ? TmDesignFilter(run.interm, N) : TmDesignFilter(L0, N);
    } catch (const std::bad_alloc&) {
      ok = false;
    }
  }
  if (!ok) return HostError(host, ui, kEopNoMemory, run.mode);

  std::vector<int32_t*> inP = Ptrs(in), outP = Ptrs(out);
  const int32_t* analysis = parts == 1 ? in[0].data() : an[0].data();
  auto makeAnalysis = [&](int32_t n) {
    if (parts > 1) TmAnalysisSignal(parts, inP.data(), n, an[0].data());
  };
  auto readAll = [&](int64_t pos, int32_t n) {
    for (int32_t p = 0; p < parts; ++p)
      if (!io.Read(p, pos, n, inP[p])) return false;
    return true;
  };
  int64_t B = 0;
  // Writes w samples of every Part at B; then the progress and the pump.
  // 0: failed; -1: aborted.
  auto emit = [&](int32_t w) -> int {
    for (int32_t p = 0; p < parts; ++p)
      if (!io.Write(p, B, w, outP[p])) return 0;
    B += w;
    ui.SetProgress(static_cast<int32_t>(B * 100 / N));
    return ui.Pump() ? -1 : 1;
  };

  int state = 1;  // 1 going, 0 failed, -1 aborted
  if (run.mode == kEopTimeStretch) {
    const int64_t b = L0 < N ? L0 * kTmBlock / N : kTmBlock;
    int64_t A = 0;
    while (state == 1) {
      const int32_t n = static_cast<int32_t>(std::min<int64_t>(b, L0 - A));
      if (n <= 0) break;
      if (!readAll(A, n)) return 0;
      makeAnalysis(n);
      const TmStretchResult r = TmStretch({parts, inP.data(), outP.data(), analysis, A, B, n, kTmBlock, L0, N});
      const int32_t w = static_cast<int32_t>(std::min<int64_t>(r.written, N - B));
      if (w <= 0) break;
      A += r.used;
      state = emit(w);
    }
  } else if (run.mode == kEopRateConvert) {
    const int64_t padded = L0 + 32;
    const int64_t b = padded < N ? padded * kTmBlock / N : kTmBlock;
    TmResampler res(filter.data(), L0, N);
    int64_t c = 0;
    while (state == 1) {
      const int32_t n = static_cast<int32_t>(std::min<int64_t>(b, padded - c));
      if (n <= 0) break;
      for (int32_t p = 0; p < parts; ++p)
        if (!io.ReadPadded(p, c - 16, n, inP[p])) return 0;
      const TmStretchResult r = res.Run(parts, inP.data(), c, n, outP.data(), kTmBlock);
      const int32_t w = static_cast<int32_t>(std::min<int64_t>(r.written, N - B));
      if (w <= 0) break;
      c += r.used;
      state = emit(w);
    }
  } else {
    const int64_t I = run.interm;
    const int64_t b = L0 < I ? L0 * kTmBlock / I : L0 < N ? L0 * kTmBlock / N : kTmBlock;
    TmResampler res(filter.data(), I, N);
    std::vector<int32_t*> midP = Ptrs(mid);
    int64_t A = 0, C = 0;
    int32_t carry = 16;  // the intermediate signal starts with 16 zero samples
    while (state == 1) {
      const int32_t n = static_cast<int32_t>(std::min<int64_t>(b, L0 - A));
      if (n <= 0) break;
      if (!readAll(A, n)) return 0;
      makeAnalysis(n);
      std::vector<int32_t*> behind = Ptrs(mid, static_cast<size_t>(carry));
      const int64_t pos = C == 0 ? 0 : C - 16 + carry;
      const TmStretchResult s =
          TmStretch({parts, inP.data(), behind.data(), analysis, A, pos, n, kTmPitchBlock - carry, L0, I});
      const int32_t avail = static_cast<int32_t>(std::min<int64_t>(s.written + carry, I - C));
      if (avail <= 0) break;
      const TmStretchResult r = res.Run(parts, midP.data(), C, avail, outP.data(), kTmPitchBlock);
      const int32_t w = static_cast<int32_t>(std::min<int64_t>(r.written, N - B));
      if (w <= 0) break;
      carry = avail - r.used;
      for (int32_t p = 0; p < parts; ++p)
        std::memmove(midP[p], midP[p] + r.used, sizeof(int32_t) * static_cast<size_t>(carry));
      A += s.used;
      C += r.used;
      state = emit(w);
    }
  }
  if (state == 0) return 0;
  if (state < 0) return 0;
  // The rest of every new Take up to N is silence.
  for (int32_t p = 0; p < parts; ++p) std::fill(out[p].begin(), out[p].end(), 0);
  while (B < N) {
    const int32_t w = static_cast<int32_t>(std::min<int64_t>(static_cast<int64_t>(size), N - B));
    for (int32_t p = 0; p < parts; ++p)
      if (!io.Write(p, B, w, outP[p])) return 0;
    B += w;
  }
  return 1;
}

int32_t TmRunProcess(uint32_t mode, uint32_t noDialog, const EOPHOSTFUNCS& host, TmUi& ui) {
  if (mode > kEopPitchShift) return 0;
  const char* title = TmProcessName(mode);
  auto fail = [&](int32_t code) { return HostError(host, ui, code, mode); };

  // The selected chain: each next selected Part is the previous one's
  // partner on the next track.
  uint32_t chain[kTmMaxParts] = {};
  int32_t count = 0;
  {
    EopTrackLoc at{0, 0};
    uint32_t part = 0;
    if (int32_t r = host.PartAtLoc(&at, 1, &part); r < 0) return fail(r);
    if (part == 0) return 0;
    chain[count++] = part;
    for (;;) {
      uint32_t next = 0, partner = 0;
      if (int32_t r = host.NxtPart(part, 1, &next); r < 0) return fail(r);
      if (int32_t r = host.GetPartInfo(part, 9, &partner); r < 0) return fail(r);
      if (next == 0 && partner == 0) break;
      if (next != partner || count == kTmMaxParts) {
        ui.Message(kTooManyParts, title);
        return 0;
      }
      chain[count++] = next;
      part = next;
    }
  }
  auto run = std::unique_ptr<TmRun>(new (std::nothrow) TmRun{});
  if (!run) return 0;
  run->mode = mode;
  run->parts = count;
  for (int32_t i = 0; i < count; ++i) {
    uint32_t locked = 0;
    if (int32_t r = host.GetPartInfo(chain[i], 7, &locked); r < 0) return fail(r);
    if (locked) {
      ui.Message(kTimelocked, title);
      return 0;
    }
    EopTakeLoc tl{};
    if (int32_t r = host.GetPartInfo(chain[i], 2, &tl); r < 0) return fail(r);
    run->part[i].oldTake = tl.Take;
    run->part[i].offset = tl.Offset;
    uint32_t bits = 0;
    if (int32_t r = host.GetTakeInfo(tl.Take, 0, &bits); r < 0) return fail(r);
    run->part[i].readBits = bits;
  }
  int32_t L0 = 0;
  if (int32_t r = host.GetPartInfo(chain[0], 0, &L0); r < 0) return fail(r);
  char firstName[64] = {}, lastName[64] = {};
  if (int32_t r = host.GetPartInfo(chain[0], 4, firstName); r < 0) return fail(r);
  if (int32_t r = host.GetPartInfo(chain[count - 1], 4, lastName); r < 0) return fail(r);
  firstName[63] = lastName[63] = 0;
  const uint32_t firstTake = run->part[0].oldTake;
  uint32_t item1 = 0, item2 = 0, bits = 0, takeRate = 0;
  for (auto [item, out] : {std::pair<uint32_t, uint32_t*>{1, &item1}, {2, &item2}, {0, &bits}, {6, &takeRate}})
    if (int32_t r = host.GetTakeInfo(firstTake, item, out); r < 0) return fail(r);
  run->writeBits = bits;
  uint32_t projRate = 0;
  if (int32_t r = host.GetInfo(0, &projRate); r < 0) return fail(r);
  if (L0 < 1) return 0;
  run->L0 = L0;

  int32_t L1;
  if (noDialog) {
    L1 = TmMulDiv(L0, static_cast<int32_t>(projRate), static_cast<int32_t>(takeRate));
    if (L1 <= 0) return 0;
  } else {
    EopTimeCode start{};
    uint32_t tempo = 12000, meter[2] = {4, 4};
    if (int32_t r = host.GetInfo(1, &start); r < 0) return fail(r);
    if (int32_t r = host.GetInfo(7, &tempo); r < 0) return fail(r);
    if (int32_t r = host.GetInfo(8, meter); r < 0) return fail(r);
    TmParams params({mode, L0, projRate, takeRate, start.FrameType, tempo, meter[0], meter[1]});
    L1 = ui.ParamDialog(params, Joined(firstName, lastName, count));
    if (L1 <= 0) return 0;
  }
  if (L1 == L0) return 1;
  if (L1 >= 2147483647) return 0;
  run->interm = int64_t{L1} + 1;
  run->N = mode == kEopPitchShift ? int64_t{L0} + 1 : int64_t{L1} + 1;

  for (int32_t i = 0; i < count; ++i) {
    TmPartRun& pr = run->part[i];
    if (int32_t r = host.CreateTake(item1, item2, bits, static_cast<uint32_t>(run->N), pr.oldTake, &pr.newTake); r < 0)
      return fail(r);
    EopTimeCode stamp{};
    uint32_t oldRate = 0;
    if (int32_t r = host.GetTakeInfo(pr.oldTake, 7, &stamp); r < 0) return fail(r);
    if (int32_t r = host.GetTakeInfo(pr.oldTake, 6, &oldRate); r < 0) return fail(r);
    const TmTimeCode t0{stamp.Hours, stamp.Minutes, stamp.Seconds, stamp.Frames, stamp.SubFrames};
    TmTimeCode moved = TmSamplesToTc(TmTcToSamples(t0, oldRate, stamp.FrameType) + pr.offset, oldRate,
                                     stamp.FrameType, true);
    if (mode == kEopRateConvert) {
      const int64_t newRate = noDialog ? projRate : TmMulDiv(static_cast<int32_t>(run->N - 1), static_cast<int32_t>(oldRate), L0);
      if (ValidRate(newRate)) {
        if (int32_t r = host.SetTakeInfo(pr.newTake, 6, static_cast<uintptr_t>(newRate)); r < 0) return fail(r);
        if (oldRate) moved.SubFrames = static_cast<int32_t>(int64_t{moved.SubFrames} * newRate / oldRate);
      }
    }
    stamp.Hours = static_cast<uint8_t>(moved.Hours);
    stamp.Minutes = static_cast<uint8_t>(moved.Minutes);
    stamp.Seconds = static_cast<uint8_t>(moved.Seconds);
    stamp.Frames = static_cast<uint8_t>(moved.Frames);
    stamp.SubFrames = static_cast<uint16_t>(moved.SubFrames);
    if (int32_t r = host.SetTakeInfo(pr.newTake, 7, reinterpret_cast<uintptr_t>(&stamp)); r < 0) return fail(r);
  }

  // The Parts onto their new Takes: a shorter length before the switch, a
  // longer one after it. Every change is checked: a Part left on its old
  // Take fails the run, which the host then undoes.
  const int32_t newLength = mode == kEopPitchShift ? L0 : L1;
  if (newLength < L0)
    if (int32_t r = host.SetPartInfo(chain[0], 0, static_cast<uintptr_t>(newLength)); r < 0) return fail(r);
  for (int32_t i = 0; i < count; ++i) {
    EopTakeLoc tl{run->part[i].newTake, 0};
    if (int32_t r = host.SetPartInfo(chain[i], 2, reinterpret_cast<uintptr_t>(&tl)); r < 0) return fail(r);
  }
  if (newLength > L0)
    if (int32_t r = host.SetPartInfo(chain[0], 0, static_cast<uintptr_t>(newLength)); r < 0) return fail(r);

  return ui.Progress(*run, host);
}

}  // namespace tmod
