#include "tm_fakehost.h"

#include <cstdio>

FakeHostState& Fake() {
  static FakeHostState s;
  return s;
}

namespace {

FakePart* P(uint32_t h) { return h >= 1 && h <= Fake().parts.size() ? &Fake().parts[h - 1] : nullptr; }
FakeTake* T(uint32_t h) { return h >= 1 && h <= Fake().takes.size() ? &Fake().takes[h - 1] : nullptr; }
void Log(const char* fmt, long a, long b) {
  char buf[128];
  std::snprintf(buf, sizeof buf, fmt, a, b);
  Fake().log.push_back(buf);
}

int32_t EOP_CALL GetInfo(uint32_t code, void* out) {
  if (code == 0) *static_cast<uint32_t*>(out) = Fake().projRate;
  else if (code == 1) *static_cast<EopTimeCode*>(out) = EopTimeCode{0, 0, 0, 0, 0, 1};
  else if (code == 7) *static_cast<uint32_t*>(out) = Fake().tempo;
  else if (code == 8) {
    static_cast<uint32_t*>(out)[0] = 4;
    static_cast<uint32_t*>(out)[1] = 4;
  } else return kEopUnknownCode;
  return 0;
}
int32_t EOP_CALL PartAtLoc(const EopTrackLoc*, uint32_t mode, uint32_t* part) {
  *part = 0;
  for (size_t i = 0; i < Fake().parts.size(); ++i)
    if (Fake().parts[i].selected) {
      *part = static_cast<uint32_t>(i + 1);
      break;
    }
  return 0;
}
int32_t EOP_CALL NxtPart(uint32_t part, uint32_t mode, uint32_t* next) {
  if (!P(part)) return kEopBadHandle;
  *next = 0;
  for (size_t i = part; i < Fake().parts.size(); ++i)
    if (Fake().parts[i].selected) {
      *next = static_cast<uint32_t>(i + 1);
      break;
    }
  return 0;
}
int32_t EOP_CALL GetPartInfo(uint32_t part, uint32_t item, void* out) {
  FakePart* p = P(part);
  if (!p) return kEopBadHandle;
  switch (item) {
    case 0: *static_cast<int32_t*>(out) = p->length; return 0;
    case 2: *static_cast<EopTakeLoc*>(out) = EopTakeLoc{p->take, p->offset}; return 0;
    case 4: std::snprintf(static_cast<char*>(out), 64, "%s", p->name.c_str()); return 0;
    case 7: *static_cast<uint32_t*>(out) = p->timelocked; return 0;
    case 9: *static_cast<uint32_t*>(out) = p->partner; return 0;
  }
  return kEopUnknownCode;
}
int32_t EOP_CALL SetPartInfo(uint32_t part, uint32_t item, uintptr_t value) {
  FakePart* p = P(part);
  if (!p) return kEopBadHandle;
  if (item == 0) {
    Log("part %ld length %ld", part, static_cast<long>(value));
    p->length = static_cast<int32_t>(value);
    return 0;
  }
  if (item == 2) {
    const auto* tl = reinterpret_cast<const EopTakeLoc*>(value);
    Log("part %ld take %ld", part, tl->Take);
    if (Fake().failSetItem2) return Fake().failSetItem2;
    p->take = tl->Take;
    p->offset = tl->Offset;
    return 0;
  }
  return kEopUnknownCode;
}
int32_t EOP_CALL GetTakeInfo(uint32_t take, uint32_t item, void* out) {
  FakeTake* t = T(take);
  if (!t) return kEopBadHandle;
  switch (item) {
    case 0: *static_cast<uint32_t*>(out) = t->bits; return 0;
    case 1:
    case 2: *static_cast<uint32_t*>(out) = 0; return 0;
    case 3: *static_cast<uint32_t*>(out) = static_cast<uint32_t>(t->words.size()); return 0;
    case 4: std::snprintf(static_cast<char*>(out), 64, "%s", t->name.c_str()); return 0;
    case 6: *static_cast<uint32_t*>(out) = t->rate; return 0;
    case 7: *static_cast<EopTimeCode*>(out) = t->stamp; return 0;
  }
  return kEopUnknownCode;
}
int32_t EOP_CALL SetTakeInfo(uint32_t take, uint32_t item, uintptr_t value) {
  FakeTake* t = T(take);
  if (!t) return kEopBadHandle;
  if (item == 6) {
    t->rate = static_cast<uint32_t>(value);
    Log("take %ld rate %ld", take, static_cast<long>(value));
  } else if (item == 7) {
    t->stamp = *reinterpret_cast<const EopTimeCode*>(value);
  } else return kEopUnknownCode;
  return 0;
}
int32_t EOP_CALL CreateTake(uint32_t, uint32_t, uint32_t bits, uint32_t length, uint32_t templ, uint32_t* take) {
  FakeTake t;
  t.bits = bits;
  t.rate = T(templ) ? T(templ)->rate : Fake().projRate;
  t.name = "New#" + std::to_string(Fake().takes.size() + 1);
  t.words.assign(length, 0x5a5a5a5a);
  t.written.assign(length, 0);
  Fake().takes.push_back(t);
  *take = static_cast<uint32_t>(Fake().takes.size());
  Log("create %ld length %ld", *take, length);
  return 0;
}
int32_t EOP_CALL ReadTake(uint32_t take, uint32_t offset, uint32_t count, void* buffer) {
  FakeTake* t = T(take);
  if (!t) return kEopBadHandle;
  if (count == 0 || uint64_t{offset} + count > t->words.size()) return kEopBadParam;
  for (uint32_t i = 0; i < count; ++i) {
    if (t->bits == 16) static_cast<int16_t*>(buffer)[i] = static_cast<int16_t>(t->words[offset + i]);
    else static_cast<int32_t*>(buffer)[i] = t->words[offset + i];
  }
  return 0;
}
int32_t EOP_CALL WriteTake(uint32_t take, uint32_t offset, uint32_t count, void* buffer) {
  FakeTake* t = T(take);
  if (!t) return kEopBadHandle;
  if (Fake().failWriteAt >= 0 && Fake().writes >= Fake().failWriteAt) return kEopDiskFull;
  ++Fake().writes;
  if (count == 0 || uint64_t{offset} + count > t->words.size()) return kEopBadParam;
  for (uint32_t i = 0; i < count; ++i) {
    t->words[offset + i] = t->bits == 16 ? static_cast<const int16_t*>(buffer)[i] : static_cast<const int32_t*>(buffer)[i];
    ++t->written[offset + i];
  }
  return 0;
}
int32_t EOP_CALL ErrorText(int32_t code, char* buffer, uint32_t size) {
  std::snprintf(buffer, size, "error %d", code);
  return 0;
}

}  // namespace

EOPHOSTFUNCS FakeTable() {
  EOPHOSTFUNCS h{};
  h.Size = sizeof h;
  h.GetInfo = GetInfo;
  h.PartAtLoc = PartAtLoc;
  h.NxtPart = NxtPart;
  h.GetPartInfo = GetPartInfo;
  h.SetPartInfo = SetPartInfo;
  h.GetTakeInfo = GetTakeInfo;
  h.SetTakeInfo = SetTakeInfo;
  h.CreateTake = CreateTake;
  h.ReadTake = ReadTake;
  h.WriteTake = WriteTake;
  h.ErrorText = ErrorText;
  return h;
}
