#include "mixer/mix/mixfile.h"

#include <cstring>
#include <new>

#include "mixer/mix/mixaut.h"
#include "mixer/mix/mixhost.h"
#include "mixer/model/util/fileio.h"
#include "mixer/model/util/strtab.h"

namespace {

const char* const kMagics[] = {"MFFV1.B", "MFFV2.0", "MFFV2.1", "MFFV2.2"};

uint32_t Get(const uint8_t* p, uint32_t off) {
  uint32_t v;
  std::memcpy(&v, p + off, 4);
  return v;
}
int32_t GetI(const uint8_t* p, uint32_t off) { return static_cast<int32_t>(Get(p, off)); }
void Put(uint8_t* p, uint32_t off, uint32_t v) { std::memcpy(p + off, &v, 4); }
void PutI(uint8_t* p, uint32_t off, int32_t v) { Put(p, off, static_cast<uint32_t>(v)); }

// Sizes of a version's records.
struct Layout {
  uint32_t header, column, elem, stateAt, knobAt, countAt;
};
Layout LayoutOf(MixVersion v) {
  if (v == kMixV1B) return {kMixOldHeaderSize, kMixOldColumnSize, kMixOldElemSize, 16, 0, 28};
  return {kMixHeaderSize, kMixColumnSize, kMixElemSize, 24, 28, 40};
}

}  // namespace

MixVersion MixVersionOf(const char magic[8]) {
  for (int v = 0; v < 4; ++v) {
    char want[8] = {};
    std::memcpy(want, kMagics[v], 7);
    if (std::memcmp(magic, want, 8) == 0) return static_cast<MixVersion>(v);
  }
  return kMixVUnknown;
}

int MixCheckImage(const uint8_t* image, uint32_t length, char magicOut[8]) {
  char magic[8] = {};
  std::memcpy(magic, image, length < 8 ? length : 8);
  if (magicOut) std::memcpy(magicOut, magic, 8);
  if (length < 8) return 0;
  const MixVersion v = MixVersionOf(magic);
  if (v == kMixVUnknown) return 0;
  const Layout lay = LayoutOf(v);
  if (length < lay.header) return 0;
  const uint32_t columns = Get(image, lay.countAt);
  uint64_t pos = lay.header;
  // Every record takes bytes, so a count larger than what is left fails on
  // the way without walking further than the image.
  for (uint32_t c = 0; c < columns; ++c) {
    if (length - pos < lay.column) return 0;
    const uint32_t elems = Get(image, static_cast<uint32_t>(pos) + 68);
    pos += lay.column;
    for (uint32_t e = 0; e < elems; ++e) {
      if (length - pos < lay.elem) return 0;
      const uint8_t* rec = image + pos;
      const uint64_t s = Get(rec, lay.stateAt);
      const uint64_t k = lay.knobAt ? Get(rec, lay.knobAt) : 0;
      const uint64_t need = lay.elem + s + kMixKnobRecSize * k;
      if (need > length - pos) return 0;
      // The state is an element state: its own length word first.
      if (s < 4 || Get(rec, lay.elem) != s) return 0;
      pos += need;
    }
  }
  return pos == length;
}

// Writing.

namespace {

uint32_t KnobCountOf(const MixElem* e) { return e->KnobCount > 0 ? static_cast<uint32_t>(e->KnobCount) : 0; }

int32_t ColumnUnit(const MixColumn* col) {
  return col->First && col->First->Routing >= 0 ? MixDecodeRouting(col->First->Routing).Unit : 0;
}

}  // namespace

bool MixBuildImage(MixDoc* doc, std::vector<uint8_t>* image, uint32_t* length) {
  MixHost& host = MixHostGet();
  uint64_t size = kMixHeaderSize;
  uint32_t columns = 0;
  for (MixColumn* c = doc->First; c; c = c->Next) {
    ++columns;
    size += kMixColumnSize;
    for (MixElem* e = c->First; e; e = e->Next)
      size += e->DummyRecord ? e->DummyRecord->size()
                             : kMixElemSize + MixElemStateLength(e) + uint64_t{kMixKnobRecSize} * KnobCountOf(e);
  }
  const uint64_t block = (size + kMixImageGrain - 1) / kMixImageGrain * kMixImageGrain;
  try {
    if (block > 0xFFFFFFFFu) throw std::bad_alloc();
    image->assign(static_cast<size_t>(block), 0);
  } catch (const std::bad_alloc&) {
    host.Message(IDS_GLOBAL_ALLOC_FAILED, kMixMsgExclamation, nullptr);
    return false;
  }
  uint8_t* p = image->data();
  std::memcpy(p, kMagics[kMixV21], 7);
  PutI(p, 8, doc->FramePos[0]);
  PutI(p, 12, doc->FramePos[1]);
  PutI(p, 16, doc->VisibleColumns);
  PutI(p, 20, doc->FirstVisible);
  PutI(p, 24, doc->StripWidth);
  // The transforms wrap as the reader's do, so that any stored value reads
  // back unchanged.
  PutI(p, 28, static_cast<int32_t>(int64_t{doc->ContentHeight} - kMixBottomMargin));
  PutI(p, 32, static_cast<int32_t>(int64_t{doc->WndHeight} + 2 * host.FrameBorder() + host.MixerTopOffset() - 25));
  PutI(p, 36, static_cast<int32_t>(int64_t{doc->VScroll} - 16));
  Put(p, 40, columns);
  Put(p, 44, (doc->AutomEnable ? 1u : 0u) | (doc->DelayComp ? 2u : 0u));
  uint64_t at = kMixHeaderSize;
  for (MixColumn* c = doc->First; c; c = c->Next) {
    uint8_t* cr = p + at;
    uint32_t elems = 0;
    for (MixElem* e = c->First; e; e = e->Next) ++elems;
    PutI(cr, 0, c->Number);
    std::memcpy(cr + 4, c->Name, kMixNameSize);
    cr[4 + kMixNameSize - 1] = 0;
    Put(cr, 68, elems);
    Put(cr, 72, c->Colors[0]);
    Put(cr, 76, c->Colors[1]);
    at += kMixColumnSize;
    const int32_t colUnit = ColumnUnit(c);
    for (MixElem* e = c->First; e; e = e->Next) {
      uint8_t* er = p + at;
      if (e->DummyRecord) {
        const std::vector<uint8_t>& rec = *e->DummyRecord;
        std::memcpy(er, rec.data(), rec.size());
        PutI(er, 4, e->Blocked);
        PutI(er, 8, e->YPos);
        PutI(er, 12, colUnit);
        at += rec.size();
        continue;
      }
      const uint32_t s = MixElemStateLength(e);
      const uint32_t k = KnobCountOf(e);
      MixRouting r{colUnit, 0, 0};
      if (e->Kind != kMixEffect && e->Kind != kMixNatEffect) r = MixDecodeRouting(e->Routing);
      Put(er, 0, e->Type);
      PutI(er, 4, e->Blocked);
      PutI(er, 8, e->YPos);
      PutI(er, 12, r.Unit);
      PutI(er, 16, r.Class);
      PutI(er, 20, r.Index);
      Put(er, 24, s);
      Put(er, 28, k);
      PutI(er, 32, e->DspNumber);
      PutI(er, 36, e->Word2);
      if (s) CallGetElement(e->Ref, kGetState, er + kMixElemSize);
      uint8_t* kr = er + kMixElemSize + s;
      for (uint32_t j = 0; j < k; ++j, kr += kMixKnobRecSize)
        if (e->Knobs) {
          PutI(kr, 0, e->Knobs[j].EnableMode);
          PutI(kr, 4, e->Knobs[j].TrackOverride);
        }
      at += kMixElemSize + s + uint64_t{kMixKnobRecSize} * k;
    }
  }
  *length = static_cast<uint32_t>(at);
  return true;
}

int MixWriteFile(MixDoc* doc, const char* path) {
  MixHost& host = MixHostGet();
  std::vector<uint8_t> image;
  uint32_t length = 0;
  if (!MixBuildImage(doc, &image, &length)) return 0;
  FioHandle f = FioOpen(path, kFioCreateAlways);
  if (f == kFioInvalid) {
    host.Message(IDS_MIX_CANT_OPEN, kMixMsgExclamation, path);
    return 0;
  }
  const int wrote = FioWrite(f, image.data(), length);
  const int closed = FioClose(f);
  if (!wrote || !closed) {
    host.Message(IDS_MIX_RW_ERROR, kMixMsgExclamation, nullptr);
    return 0;
  }
  return 1;
}

// Reading.

namespace {

struct OpenNotes {
  bool converted = false, unknown = false, dropped = false;
  int unitAnswer = 0;  // 0 not asked, else the answer to 298
};

bool IsTrackType(uint32_t t) { return (t >= 200 && t <= 202) || (t >= 220 && t <= 222); }

// The 2.x element record of a 1.B one, so that a dummy made of it is
// written back in the layout of the file it goes into.
std::vector<uint8_t> UpgradeOldRecord(const uint8_t* rec, const MixRouting& r) {
  const uint32_t s = Get(rec, 16);
  std::vector<uint8_t> out(kMixElemSize + s, 0);
  Put(out.data(), 0, Get(rec, 0));
  Put(out.data(), 4, Get(rec, 4));
  Put(out.data(), 8, Get(rec, 8));
  PutI(out.data(), 12, r.Unit);
  PutI(out.data(), 16, r.Class);
  PutI(out.data(), 20, r.Index);
  Put(out.data(), 24, s);
  std::memcpy(out.data() + kMixElemSize, rec + kMixOldElemSize, s);
  return out;
}

int FirstUnitWhere(int (MixHost::*test)(int)) {
  MixHost& host = MixHostGet();
  for (int u = 0; u < host.UnitCount(); ++u)
    if ((host.*test)(u)) return u;
  return -1;
}

// Rewrites the track elements of older 2.x files in place.
void ConvertTrackTypes(uint8_t* rec, OpenNotes* notes) {
  uint32_t type = Get(rec, 0);
  if (type >= 200 && type <= 202) {
    type += 20;
    Put(rec, 0, type);
    notes->converted = true;
  }
  const int32_t unit = GetI(rec, 12);
  if (type >= 220 && type <= 222 && unit > 0) {
    int64_t index = int64_t{GetI(rec, 20)} + int64_t{unit} * 32;
    if (index > INT32_MAX) index = INT32_MAX;
    PutI(rec, 20, static_cast<int32_t>(index));
    PutI(rec, 12, 0);
    notes->converted = true;
  }
}

}  // namespace

MixDoc* MixOpenImage(uint8_t* image, uint32_t length, int) {
  MixHost& host = MixHostGet();
  char magic[8];
  if (!MixCheckImage(image, length, magic)) {
    host.Message(IDS_MIX_INVALID, kMixMsgExclamation, nullptr);
    return nullptr;
  }
  const MixVersion v = MixVersionOf(magic);
  const Layout lay = LayoutOf(v);
  const bool old = v == kMixV1B;

  MixDoc* doc = MixDocAllocRoot();
  if (!doc) return nullptr;
  doc->EditLock = 1;
  doc->FramePos[0] = GetI(image, 8);
  doc->FramePos[1] = GetI(image, 12);
  doc->VisibleColumns = GetI(image, 16);
  doc->FirstVisible = GetI(image, 20);
  if (old) {
    int16_t content, width;
    std::memcpy(&content, image + 24, 2);
    std::memcpy(&width, image + 26, 2);
    doc->ContentHeight = content + kMixBottomMargin;
    doc->WndHeight = doc->ContentHeight;
    doc->VScroll = 0;
    doc->AutomEnable = 1;
    doc->DelayComp = 0;
    MixSetStripWidth(doc, width);
  } else {
    const uint32_t flags = Get(image, 44);
    MixSetStripWidth(doc, GetI(image, 24));
    doc->ContentHeight = static_cast<int32_t>(int64_t{GetI(image, 28)} + kMixBottomMargin);
    doc->WndHeight = static_cast<int32_t>(int64_t{GetI(image, 32)} - 2 * host.FrameBorder() -
                                          host.MixerTopOffset() + 25);
    doc->VScroll = static_cast<int32_t>(int64_t{GetI(image, 36)} + 16);
    doc->AutomEnable = (flags & 1) ? 1 : 0;
    doc->DelayComp = (flags & 2) ? 1 : 0;
  }

  OpenNotes notes;
  const uint32_t columns = Get(image, lay.countAt);
  uint32_t at = lay.header;
  for (uint32_t c = 0; c < columns; ++c) {
    const uint8_t* cr = image + at;
    char name[kMixNameSize];
    std::memcpy(name, cr + 4, kMixNameSize);
    name[kMixNameSize - 1] = '\0';
    uint32_t colors[2] = {kMixDefaultNameText, kMixDefaultNameBack};
    if (!old) {
      colors[0] = Get(cr, 72);
      colors[1] = Get(cr, 76);
      if (v != kMixV22 && colors[0] == 0 && colors[1] == 0) {
        colors[0] = kMixDefaultNameText;
        colors[1] = kMixDefaultNameBack;
      }
    }
    const uint32_t elems = Get(cr, 68);
    MixColumn* col = MixColumnCreate(doc, GetI(cr, 0), name, colors[0], colors[1]);
    if (!col) {
      MixDocDestroy(doc);
      return nullptr;
    }
    at += lay.column;

    if (!old) {
      uint32_t p = at;
      for (uint32_t e = 0; e < elems; ++e) {
        ConvertTrackTypes(image + p, &notes);
        p += kMixElemSize + Get(image, p + 24) + kMixKnobRecSize * Get(image, p + 28);
      }
    }

    bool drop = false;
    for (uint32_t e = 0; e < elems; ++e) {
      uint8_t* rec = image + at;
      const uint32_t s = Get(rec, lay.stateAt);
      const uint32_t k = old ? 0 : Get(rec, 28);
      const uint32_t recLen = lay.elem + s + kMixKnobRecSize * k;
      at += recLen;
      if (drop) continue;

      const uint32_t type = Get(rec, 0);
      int32_t blocked = GetI(rec, 4);
      const int32_t ypos = GetI(rec, 8);
      MixRouting r = old ? MixDecodeOldRouting(GetI(rec, 12)) : MixRouting{GetI(rec, 12), GetI(rec, 16), GetI(rec, 20)};
      const int32_t storedDsp = old ? 0 : GetI(rec, 32);
      const int32_t word2 = old ? 0 : GetI(rec, 36);

      if (r.Unit < 0 || r.Unit >= host.UnitCount()) {
        if (notes.unitAnswer == 0)
          notes.unitAnswer = host.Message(IDS_MIX_UNIT_UNAVAILABLE, kMixMsgYesNo, nullptr) == kMixAnswerYes ? 1 : 2;
        if (notes.unitAnswer != 1) {
          drop = true;
          continue;
        }
        int unit = FirstUnitWhere(&MixHost::UnitCardOnly);
        if (unit < 0) unit = FirstUnitWhere(&MixHost::UnitHasMixerDsps);
        if (unit < 0) unit = host.DefaultUnit();
        r.Unit = unit;
        blocked = 1;
      }

      ELEMTYPEPROPINFO props{};
      props.Size = kElemTypePropSize;
      const bool known = FindElementType(type, &props) != 0;
      if (!known && (e == 0 || e + 1 == elems || IsTrackType(type))) {
        drop = true;
        continue;
      }
      if (!MixRoutingValid(r)) {
        drop = true;
        continue;
      }
      const int dsps = host.UnitMixerDspCount(r.Unit);
      int32_t dsp = 0;
      if (dsps > 0) dsp = storedDsp < 1 ? 1 : (storedDsp > dsps ? dsps : storedDsp);

      MixElem* el;
      if (!known) {
        std::vector<uint8_t> record = old ? UpgradeOldRecord(rec, r) : std::vector<uint8_t>(rec, rec + recLen);
        el = MixElemCreateDummy(col, ypos, blocked, record.data(), static_cast<uint32_t>(record.size()));
        notes.unknown = true;
      } else {
        el = MixElemCreate(type, col, ypos, blocked, 0, word2);
      }
      if (!el) {
        drop = true;
        continue;
      }
      el->Routing = MixEncodeRouting(r.Unit, r.Class, r.Index);
      if ((el->Kind == kMixEffect || el->Kind == kMixNatEffect) && col->First && col->First != el)
        el->Routing = col->First->Routing;
      el->DspNumber = dsp;
      if (known) {
        // The state is handed over aligned, as the module reads it in words.
        std::vector<uint32_t> state((s + 3) / 4, 0);
        std::memcpy(state.data(), rec + lay.elem, s);
        CallSetElement(el->Ref, kSetStateLength, s);
        CallSetElement(el->Ref, kSetState, reinterpret_cast<uintptr_t>(state.data()));
        const uint8_t* kr = rec + lay.elem + s;
        for (uint32_t j = 0; j < k; ++j, kr += kMixKnobRecSize) {
          if (j >= KnobCountOf(el) || !el->Knobs) break;
          el->Knobs[j].EnableMode = GetI(kr, 0);
          MxaSetKnobEnable(&el->Knobs[j]);
          el->Knobs[j].TrackOverride = GetI(kr, 4);
        }
      }
    }
    if (drop) {
      MixColumnDelete(doc, col->Number);
      notes.dropped = true;
    }
  }

  MxaAssignKnobTrks(doc);
  if (notes.converted) host.Message(IDS_MIX_TRK_CONVERTED, kMixMsgExclamation, nullptr);
  if (notes.unknown) host.Message(IDS_MIX_UNKNOWN_ELEMS, kMixMsgExclamation, nullptr);
  if (notes.dropped) host.Message(IDS_MIX_COLUMNS_DROPPED, kMixMsgExclamation, nullptr);
  MixDocFinish(doc);
  MixSnapshotStates(doc);
  return doc;
}

MixDoc* MixOpenFromMemory(std::vector<uint8_t>* image, uint32_t length, int withWindow) {
  if (length > image->size()) length = static_cast<uint32_t>(image->size());
  MixDoc* doc = MixOpenImage(image->data(), length, withWindow);
  std::vector<uint8_t>().swap(*image);
  return doc;
}

MixDoc* MixReadFile(const char* path, int withWindow) {
  MixHost& host = MixHostGet();
  FioHandle f = FioOpen(path, kFioRead);
  if (f == kFioInvalid) {
    host.Message(IDS_MIX_NOT_FOUND, kMixMsgExclamation, nullptr);
    return nullptr;
  }
  uint64_t size = 0;
  std::vector<uint8_t> image;
  bool ok = FioGetSize(f, &size) != 0;
  if (ok) {
    try {
      if (size > 0x7FFFFFFFu) throw std::bad_alloc();
      image.resize(static_cast<size_t>(size) + 1);  // never empty, so data() is a block
    } catch (const std::bad_alloc&) {
      FioClose(f);
      host.Message(IDS_GLOBAL_ALLOC_FAILED, kMixMsgExclamation, nullptr);
      return nullptr;
    }
    uint32_t got = 0;
    ok = FioRead(f, image.data(), static_cast<uint32_t>(size), &got) && got == size;
  }
  FioClose(f);
  if (!ok) {
    host.Message(IDS_MIX_RW_ERROR, kMixMsgExclamation, nullptr);
    return nullptr;
  }
  return MixOpenFromMemory(&image, static_cast<uint32_t>(size), withWindow);
}
