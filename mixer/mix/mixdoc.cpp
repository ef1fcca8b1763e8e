#include "mixer/mix/mixdoc.h"

#include <cstdlib>
#include <new>
#include <cstring>

#include "mixer/mix/mixaut.h"
#include "mixer/mix/mixdsp.h"
#include "mixer/mix/mixhost.h"
#include "mixer/model/util/strtab.h"

namespace {
int g_pitch = kMixStripWidth + 2;
int g_dspState = 1;

struct ClassRange {
  int32_t cls, first, count;
};
// In offset order.
const ClassRange kClasses[] = {
    {1, 0, 256}, {2, 256, 256}, {7, 512, 128}, {8, 640, 128}, {3, 768, 64}, {4, 832, 64}, {5, 896, 192},
};

uint16_t TypeFlagWord(const ELEMTYPEPROPINFO& p, int second) {
  uint16_t w[2];
  std::memcpy(w, &p.Flags, 4);
  return w[second];
}
}  // namespace

MixRouting MixDecodeRouting(int32_t code) {
  if (code < 0) return {0, 0, 0};
  MixRouting r{code / kMixRoutingUnitSpan, 0, 0};
  const int32_t off = code % kMixRoutingUnitSpan;
  for (const ClassRange& c : kClasses)
    if (off >= c.first && off < c.first + c.count) {
      r.Class = c.cls;
      r.Index = off - c.first;
    }
  return r;
}

int32_t MixEncodeRouting(int32_t unit, int32_t cls, int32_t index) {
  for (const ClassRange& c : kClasses)
    if (c.cls == cls) return unit * kMixRoutingUnitSpan + c.first + index;
  return unit * kMixRoutingUnitSpan;
}

MixRouting MixDecodeOldRouting(int32_t code) {
  if (code < 0) return {0, 0, 0};
  struct Old {
    int32_t cls, first, last;
  };
  static const Old kOld[] = {{1, 0, 9}, {2, 10, 21}, {3, 22, 37}, {4, 38, 53}, {5, 54, 77}};
  MixRouting r{code / 110, 0, 0};
  const int32_t off = code % 110;
  for (const Old& o : kOld)
    if (off >= o.first && off <= o.last) {
      r.Class = o.cls;
      r.Index = off - o.first;
    }
  return r;
}

int MixRoutingValid(const MixRouting& r) {
  MixHost& host = MixHostGet();
  const bool dsps = host.UnitHasMixerDsps(r.Unit) != 0;
  if (r.Index < 0) return 0;
  switch (r.Class) {
    case 0: return 1;
    case 1: return r.Index < (dsps ? 128 : 28);
    case 2: return r.Index < (dsps ? 128 : 32);
    case 7:
    case 8: return r.Index < host.UnitChannelCount(r.Unit) && r.Index < 128;
    case 3:
    case 4: return r.Index < (dsps ? 64 : 16);
    case 5: return r.Index < 192;
    default: return 0;
  }
}

int MixColumnPitch() { return g_pitch; }

void MixSetStripWidth(MixDoc* doc, int32_t width) {
  // 0 reads as the full view; so does a width no window could have.
  if (width <= 0 || width > kMixMaxStripWidth) width = kMixStripWidth;
  doc->StripWidth = width;
  g_pitch = width + 2;
}

int MixDspState() { return g_dspState; }
void MixSetDspState(int state) { g_dspState = state; }

MixDoc* MixDocAllocRoot() {
  MixDoc* doc = new (std::nothrow) MixDoc{};
  if (!doc) {
    MixHostGet().Message(IDS_HEAP_ALLOC_FAILED, kMixMsgExclamation, nullptr);
    return nullptr;
  }
  MixHost& host = MixHostGet();
  doc->AutomEnable = 1;
  doc->DelayComp = 0;
  MixSetStripWidth(doc, kMixStripWidth);
  doc->ContentHeight = 321 - 2 * host.FrameBorder() - host.MixerTopOffset();
  doc->WndHeight = doc->ContentHeight;
  return doc;
}

void MixDocFinish(MixDoc* doc) {
  MixHost& host = MixHostGet();
  MixSetDspState(MixerDspAllocate(doc) ? 1 : 2);
  host.DocumentChanged(doc);
  host.SetMenuChecks(doc);
}

MixDoc* MixDocCreate(int) {
  MixDoc* doc = MixDocAllocRoot();
  if (doc) MixDocFinish(doc);
  return doc;
}

void MixDocDestroy(MixDoc* doc) {
  if (!doc) return;
  for (MixColumn* c = doc->First; c;) {
    MixColumn* next = c->Next;
    MixColumnDelete(doc, c->Number);
    c = next;
  }
  MxaRebuildPlayMaps(doc, 0);
  delete doc;
}

void MixDocToggleEditMode(MixDoc* doc) {
  if (!doc) return;
  doc->EditLock = doc->EditLock ? 0 : 1;
  MixHostGet().SetMenuChecks(doc);
}

void MixDocToggleAutomEnable(MixDoc* doc) {
  if (!doc) return;
  doc->AutomEnable = doc->AutomEnable ? 0 : 1;
  MxaApplyEnableAll(doc);
  MixHostGet().SetMenuChecks(doc);
}

void MixDocToggleDelayComp(MixDoc* doc) {
  if (!doc) return;
  doc->DelayComp = doc->DelayComp ? 0 : 1;
  MixSetDspState(MixerDspAllocate(doc) ? 1 : 2);
  MixHostGet().SetMenuChecks(doc);
}

MixColumn* MixColumnFind(MixDoc* doc, int32_t number) {
  for (MixColumn* c = doc->First; c; c = c->Next)
    if (c->Number == number) return c;
  return nullptr;
}

int MixColumnCount(const MixDoc* doc) {
  int n = 0;
  for (const MixColumn* c = doc->First; c; c = c->Next) ++n;
  return n;
}

MixColumn* MixColumnCreate(MixDoc* doc, int32_t number, const char* name, uint32_t textColor,
                           uint32_t backColor) {
  MixHost& host = MixHostGet();
  if (number < 0 || number > kMixMaxColumn) {
    host.Message(IDS_MIX_COLUMNS_RANGE, kMixMsgExclamation, nullptr);
    return nullptr;
  }
  if (MixColumnFind(doc, number)) {
    host.Message(IDS_MIX_COLUMNS_OVERLAP, kMixMsgExclamation, nullptr);
    return nullptr;
  }
  MixColumn* col = static_cast<MixColumn*>(std::calloc(1, sizeof(MixColumn)));
  if (!col) {
    host.Message(IDS_HEAP_ALLOC_FAILED, kMixMsgExclamation, nullptr);
    return nullptr;
  }
  if (name) {
    std::strncpy(col->Name, name, kMixNameSize - 1);
    col->Name[kMixNameSize - 1] = '\0';
  }
  col->Colors[0] = textColor;
  col->Colors[1] = backColor;
  col->Number = number;
  col->Doc = doc;
  MixColumn** link = &doc->First;
  while (*link && (*link)->Number < number) link = &(*link)->Next;
  col->Next = *link;
  *link = col;
  return col;
}

int MixColumnOpenGap(MixDoc* doc, int32_t number) {
  MixColumn* start = MixColumnFind(doc, number);
  if (!start) return 1;
  int32_t last = number;
  for (MixColumn* c = start->Next; c && c->Number == last + 1; c = c->Next) last = c->Number;
  if (last + 1 > kMixMaxColumn) {
    MixHostGet().Message(IDS_MIX_COLUMNS_RANGE, kMixMsgExclamation, nullptr);
    return 0;
  }
  for (MixColumn* c = start; c && c->Number <= last; c = c->Next) ++c->Number;
  return 1;
}

MixColumn* MixColumnAtX(MixDoc* doc, int32_t x) {
  const int pitch = MixColumnPitch() > 0 ? MixColumnPitch() : kMixStripWidth + 2;
  if (x < 0) return nullptr;
  return MixColumnFind(doc, x / pitch + doc->FirstVisible);
}

void MixColumnDelete(MixDoc* doc, int32_t number) {
  MixColumn* col = MixColumnFind(doc, number);
  if (!col) return;
  for (MixElem* e = col->First; e;) {
    MixElem* next = e->Next;
    MixElemDelete(e);
    e = next;
  }
  MixColumn** link = &doc->First;
  while (*link != col) link = &(*link)->Next;
  *link = col->Next;
  std::free(col);
}

int MixElemFits(const MixColumn* column, int32_t ypos, int32_t height, const MixElem* ignore) {
  if (ypos < 0 || height < 0) return 0;
  const int64_t end = int64_t{ypos} + height;
  if (end > int64_t{column->Doc->ContentHeight} - kMixBottomMargin) return 0;
  for (const MixElem* e = column->First; e; e = e->Next) {
    if (e == ignore) continue;
    const int64_t eEnd = int64_t{e->YPos} + e->Height;
    if (ypos < eEnd && e->YPos < end) return 0;
  }
  return 1;
}

namespace {

void InsertByPosition(MixColumn* col, MixElem* elem) {
  MixElem* after = nullptr;
  for (MixElem* e = col->First; e && e->YPos <= elem->YPos; e = e->Next) after = e;
  elem->Prev = after;
  elem->Next = after ? after->Next : col->First;
  if (elem->Next)
    elem->Next->Prev = elem;
  else
    col->Last = elem;
  if (after)
    after->Next = elem;
  else
    col->First = elem;
}

void AppendList(MixElem** head, MixElem* elem, MixElem* MixElem::*link) {
  while (*head) head = &((*head)->*link);
  *head = elem;
  elem->*link = nullptr;
}

void RemoveList(MixElem** head, MixElem* elem, MixElem* MixElem::*link) {
  for (; *head; head = &((*head)->*link))
    if (*head == elem) {
      *head = elem->*link;
      elem->*link = nullptr;
      return;
    }
}

MixElem* NewRecord(MixColumn* column) {
  MixElem* e = static_cast<MixElem*>(std::calloc(1, sizeof(MixElem)));
  if (!e) {
    MixHostGet().Message(IDS_HEAP_ALLOC_FAILED, kMixMsgExclamation, nullptr);
    return nullptr;
  }
  e->Column = column;
  e->Routing = -1;
  e->Routing2 = -1;
  e->WndClosed = 1;
  return e;
}

}  // namespace

MixElem* MixElemCreate(uint32_t type, MixColumn* column, int32_t ypos, int32_t blocked, int32_t word1,
                       int32_t word2) {
  MixElem* e = NewRecord(column);
  if (!e) return nullptr;
  e->Ref = CreateElementRef(type, e);
  if (!e->Ref) {
    std::free(e);
    return nullptr;
  }
  ELEMTYPEPROPINFO props{};
  props.Size = kElemTypePropSize;
  FindElementType(type, &props);
  e->Type = type;
  e->Blocked = blocked;
  e->YPos = ypos;
  e->Kind = static_cast<int32_t>(props.Kind);
  e->Meter = TypeFlagWord(props, 0);
  e->Word1 = word1;
  e->Word2 = word2;
  e->KnobCount = static_cast<int32_t>(props.KnobCount);
  e->Height = static_cast<int32_t>(props.LittleHeight);
  e->StateSize = props.StateSize;
  // Without the automation library the element still works, unautomated.
  if (!MxaCreateElemKnobs(e)) e->Knobs = nullptr;

  MixHost& host = MixHostGet();
  CallSetElement(e->Ref, kSetBlocked, static_cast<uintptr_t>(blocked));
  CallSetElement(e->Ref, kSetSampleRate, host.SampleRate());
  CallSetElement(e->Ref, kSetTempo, host.TempoX100AtStart());
  uint32_t meter[2];
  host.MeterAtStart(meter);
  CallSetElement(e->Ref, kSetMeter, reinterpret_cast<uintptr_t>(meter));

  InsertByPosition(column, e);
  MixDoc* doc = column->Doc;
  if (e->Meter) AppendList(&doc->MeterHead, e, &MixElem::MeterNext);
  if (TypeFlagWord(props, 1)) AppendList(&doc->RefreshHead, e, &MixElem::RefreshNext);

  if (e->Kind == kMixSend) {
    for (MixElem* o = e->Next; o; o = o->Next)
      if (o->Kind == kMixOutput && o->Ref) {
        uint32_t value = 0;
        if (CallGetElement(o->Ref, kGetVolume, &value)) CallSetElement(e->Ref, kSetColumnVolume, value);
        break;
      }
  }
  return e;
}

MixElem* MixElemCreateDummy(MixColumn* column, int32_t ypos, int32_t blocked, const uint8_t* record,
                            uint32_t length) {
  MixElem* e = NewRecord(column);
  if (!e) return nullptr;
  e->DummyRecord = new (std::nothrow) std::vector<uint8_t>(record, record + length);
  if (!e->DummyRecord) {
    std::free(e);
    return nullptr;
  }
  e->Type = kMixDummyType;
  e->Blocked = blocked;
  e->YPos = ypos;
  e->Kind = kMixEffect;
  InsertByPosition(column, e);
  return e;
}

MixElem* MixElemAtY(MixColumn* column, int32_t y) {
  for (MixElem* e = column->First; e; e = e->Next)
    if (y >= e->YPos && y < e->YPos + e->Height) return e;
  return nullptr;
}

void MixElemUnlink(MixElem* elem) {
  MixColumn* col = elem->Column;
  if (elem->Prev)
    elem->Prev->Next = elem->Next;
  else
    col->First = elem->Next;
  if (elem->Next)
    elem->Next->Prev = elem->Prev;
  else
    col->Last = elem->Prev;
  elem->Prev = elem->Next = nullptr;
}

void MixElemDelete(MixElem* elem) {
  MixDoc* doc = elem->Column->Doc;
  RemoveList(&doc->MeterHead, elem, &MixElem::MeterNext);
  RemoveList(&doc->RefreshHead, elem, &MixElem::RefreshNext);
  MixElemUnlink(elem);
  MxaDeleteElemKnobs(elem, 0);
  MixDspRelease(elem);
  elem->Wnd = nullptr;
  elem->WndClosed = 1;
  DeleteElementRef(elem->Ref);
  delete elem->DummyRecord;
  std::free(elem);
}

int32_t MixElemRouting(const MixElem* elem) {
  if ((elem->Kind == kMixEffect || elem->Kind == kMixNatEffect) && elem->Column->First)
    return elem->Column->First->Routing;
  return elem->Routing;
}

uint32_t MixElemStateLength(const MixElem* elem) {
  if (elem->DummyRecord) return static_cast<uint32_t>(elem->DummyRecord->size());
  uint32_t len = 0;
  if (CallGetElement(elem->Ref, kGetStateLength, &len) && len) return len;
  return elem->StateSize;
}

void MixDocSendTempo(MixDoc* doc, uint32_t tempoX100, const uint32_t meter[2]) {
  if (!doc) return;
  if (doc->LastTempo == tempoX100 && doc->LastMeter[0] == meter[0] && doc->LastMeter[1] == meter[1]) return;
  doc->LastTempo = tempoX100;
  doc->LastMeter[0] = meter[0];
  doc->LastMeter[1] = meter[1];
  uint32_t m[2] = {meter[0], meter[1]};
  for (MixColumn* c = doc->First; c; c = c->Next)
    for (MixElem* e = c->First; e; e = e->Next) {
      if (!e->Ref) continue;
      CallSetElement(e->Ref, kSetTempo, tempoX100);
      CallSetElement(e->Ref, kSetMeter, reinterpret_cast<uintptr_t>(m));
    }
}

namespace {
// The record track (1-based) a native recorder element feeds, 0 for none.
int NatRecTrack(const MixElem* e) {
  if (e->Kind != kMixNatRec || !e->Ref) return 0;
  const MixRouting r = MixDecodeRouting(e->Routing);
  return (e->Routing >= 0 && r.Class == 5) ? r.Index + 1 : 0;
}
}  // namespace

namespace {
int g_recState = 0;
bool g_recHeld = false;

// The colour of record track t (1-based); 0 outside the audio tracks.
uint32_t TrackColor(int t) { return t >= 1 && t <= 192 ? MixHostGet().AudioTrackColor(t - 1) : 0; }

// Channels a native recorder element records: its track and, for a stereo
// element, the next one.
int NatRecChannels(const MixElem* e) {
  ELEMTYPEPROPINFO p{};
  p.Size = kElemTypePropSize;
  return FindElementType(e->Type, &p) && p.Outputs == 2 ? 2 : 1;
}

template <typename Fn> void ForEachElem(MixDoc* doc, Fn fn) {
  if (!doc) return;
  for (MixColumn* c = doc->First; c; c = c->Next)
    for (MixElem* e = c->First; e; e = e->Next) fn(e);
}
}  // namespace

int MixTrkRecState() { return g_recState; }

int MixSetTrkRecStateValue(int state, int hold, int release) {
  if (release) g_recHeld = false;
  if (g_recHeld && !hold) return 0;
  g_recHeld = hold != 0;
  g_recState = state;
  return 1;
}

void MixDocSendTrkRecReady(MixDoc* doc, int recTrack) {
  MixHost& host = MixHostGet();
  ForEachElem(doc, [&](MixElem* e) {
    const int t = NatRecTrack(e);
    if (!t || (recTrack != 0 && t != recTrack)) return;
    const int ready = t <= 192 && host.AudioRecTrackState(t - 1) == 2;
    CallSetElement(e->Ref, kSetRecord, static_cast<uintptr_t>(ready ? g_recState + 1 : 0));
  });
}

void MixDocSendTrkColors(MixDoc* doc) {
  ForEachElem(doc, [](MixElem* e) {
    const int t = NatRecTrack(e);
    if (!t) return;
    uint32_t colors[2] = {TrackColor(t), TrackColor(NatRecChannels(e) == 2 ? t + 1 : t)};
    CallSetElement(e->Ref, kSetTrackColors, reinterpret_cast<uintptr_t>(colors));
  });
}

int MixElemIoAvailable(const MixElem* e) {
  if (e->Routing < 0) return 1;
  const MixRouting r = MixDecodeRouting(e->Routing);
  if (r.Unit >= MixHostGet().UnitCount()) return 0;
  return MixRoutingValid(r);
}

void MixDocGreyUnavailableIo(MixDoc* doc) {
  ForEachElem(doc, [](MixElem* e) {
    if (!e->Ref || (e->Kind != kMixInput && e->Kind != kMixSend && e->Kind != kMixOutput)) return;
    CallSetElement(e->Ref, kSetGreyed, MixElemIoAvailable(e) ? 0u : kMixGreyColor);
  });
}

int MixDocHasNatRecElem(MixDoc* doc) {
  int found = 0;
  ForEachElem(doc, [&](MixElem* e) { found |= e->Kind == kMixNatRec; });
  return found;
}

void MixDocRecColumnName(MixDoc* doc, int recTrack, char* out, int size) {
  if (!out || size <= 0) return;
  out[0] = '\0';
  const MixColumn* found = nullptr;
  ForEachElem(doc, [&](MixElem* e) {
    const int t = NatRecTrack(e);
    if (!found && t && recTrack >= t && recTrack < t + NatRecChannels(e)) found = e->Column;
  });
  if (!found) return;
  std::strncpy(out, found->Name, static_cast<size_t>(size) - 1);
  out[size - 1] = '\0';
}

int MixDocStereoPartner(MixDoc* doc, int recTrack) {
  if (!doc) return 0;
  for (MixColumn* c = doc->First; c; c = c->Next)
    for (MixElem* e = c->First; e; e = e->Next) {
      const int t = NatRecTrack(e);
      if (!t) continue;
      ELEMTYPEPROPINFO p{};
      p.Size = kElemTypePropSize;
      if (!FindElementType(e->Type, &p) || p.Outputs != 2) continue;
      if (t == recTrack) return recTrack + 1;
      if (t + 1 == recTrack) return t;
    }
  return 0;
}

namespace {
void AppendStates(MixDoc* doc, std::vector<uint8_t>* out) {
  uint32_t count = 0;
  out->assign(4, 0);
  for (MixColumn* c = doc->First; c; c = c->Next)
    for (MixElem* e = c->First; e; e = e->Next) {
      ++count;
      const uint32_t len = MixElemStateLength(e);
      const size_t at = out->size();
      out->resize(at + 4 + len);
      std::memcpy(out->data() + at, &len, 4);
      if (e->DummyRecord)
        std::memcpy(out->data() + at + 4, e->DummyRecord->data(), len);
      else if (len)
        CallGetElement(e->Ref, kGetState, out->data() + at + 4);
    }
  std::memcpy(out->data(), &count, 4);
}
}  // namespace

void MixSnapshotStates(MixDoc* doc) {
  AppendStates(doc, &doc->Snapshot);
  doc->HasSnapshot = 1;
}

void MixFreeSnapshot(MixDoc* doc) {
  doc->Snapshot.clear();
  doc->Snapshot.shrink_to_fit();
  doc->HasSnapshot = 0;
}

int MixIsChanged(MixDoc* doc) {
  if (!doc) return 0;
  // A document never saved or opened has changed once it holds a column.
  if (!doc->HasSnapshot) return doc->First != nullptr;
  std::vector<uint8_t> now;
  AppendStates(doc, &now);
  return now != doc->Snapshot;
}
