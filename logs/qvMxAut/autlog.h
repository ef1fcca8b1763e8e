// The automation library: event logs of knob values over time, views that
// place stretches of logs on a track's time line, and the engine that plays
// them into the mixer's knobs and records the user's moves. Host thread only.
#pragma once

#include <cstdint>
#include <vector>

#include "logs/qvMxAut/autstore.h"

// What the host holds: opaque, non-zero 32-bit handles.
using AutLogHandle = uint32_t;
using AutViewListHandle = uint32_t;
using AutKnobHandle = uint32_t;
using AutMapHandle = uint32_t;

// One event as exchanged with the host.
struct AutLogKnobEvent {
  int32_t key;        // the knob's number within the log
  uint32_t location;  // samples on the log's own time axis
  int32_t value;
  int32_t reserved;   // 0 on output
};
static_assert(sizeof(AutLogKnobEvent) == 16);

// A stretch of a log on the time line:
// log location = time-line location - start + offset.
struct AutView {
  uint32_t start;   // time-line samples
  uint32_t length;
  uint32_t offset;
  AutLogHandle log;
  AutMapHandle knobMap;  // play map for a play list, record map for a record list
};
static_assert(sizeof(AutView) == 20);

struct AutKnobDesc {
  uint32_t glide;      // non-zero: glides between events and back to automation
  uint32_t unread[3];  // kept, never read
};
static_assert(sizeof(AutKnobDesc) == 16);

// The system as the engine sees it: its millisecond clock and whether a
// window holds the mouse capture (a drag in progress).
class AutSystem {
 public:
  virtual ~AutSystem() = default;
  virtual uint32_t NowMs() = 0;
  virtual bool MouseCaptured() = 0;
};

// The host's knob-value callback: set knob hostKnobId to value.
using AutKnobValueFn = void (*)(void* context, uint32_t hostKnobId, int32_t value);

// Flags of a user move.
constexpr uint32_t kAutMoveToAutomation = 1;  // take the automation's value at the location
constexpr uint32_t kAutMoveNoWrite = 2;       // record nothing
constexpr uint32_t kAutMoveSkipSame = 4;      // record nothing when the value did not change

// A touch that lasts while a window holds the mouse capture (24 h in ms).
constexpr uint32_t kAutCapturedTimeout = 86400000;

// Every call answers 1 for success and 0 for failure. Handles that name
// nothing (deleted, or of another kind) fail. While the engine is inside the
// knob-value callback, calls that create or delete logs, events, maps,
// knobs or views, move knobs between tracks, thin logs, start, stop or
// locate fail, since the walk that made the callback holds those objects:
// reading, the settings, enable modes, setting a play-map entry and the user
// move (which then answers 0) are allowed there.
class AutEngine {
 public:
  static constexpr uint32_t kDefaultEventLimit = 0x7FFFFFFFu;
  static constexpr uint32_t kDefaultViewLimit = 0x7FFFFFFFu;

  explicit AutEngine(AutSystem& system, uint32_t eventLimit = kDefaultEventLimit,
                     uint32_t viewLimit = kDefaultViewLimit);
  AutEngine(const AutEngine&) = delete;
  AutEngine& operator=(const AutEngine&) = delete;

  // Settings.
  int32_t Init(AutKnobValueFn callback, void* context);
  int32_t SetSampleRate(uint32_t hz);
  int32_t SetTouchTimeout(uint32_t ms);
  int32_t SetFadeResolTime(uint32_t ms);
  int32_t SetMatchTime(uint32_t ms);
  int32_t SetRecordMode(uint32_t mode);

  // Logs.
  int32_t CreateLog(AutLogHandle* out);
  int32_t DeleteLog(AutLogHandle log);
  int32_t AddLogKnobEvent(AutLogHandle log, const AutLogKnobEvent* event);
  int32_t GetLogKnobEventCnt(AutLogHandle log, int32_t* count);
  int32_t GetAllLogKnobEvents(AutLogHandle log, int32_t* count, AutLogKnobEvent* out);
  int32_t GetPrvLogKnobEventFromLoc(AutLogHandle log, int32_t key, uint32_t location, AutLogKnobEvent* out);
  int32_t GetNxtLogKnobEventFromLoc(AutLogHandle log, int32_t key, uint32_t location, AutLogKnobEvent* out);
  int32_t DeleteLogKnobEvent(AutLogHandle log, int32_t key, uint32_t location);
  int32_t CopyLog(AutLogHandle* out, AutLogHandle source, uint32_t start, uint32_t end);
  int32_t ReduceLogKnobEvents(AutLogHandle log, int32_t key, uint32_t start, uint32_t end, uint32_t tolerance);
  int32_t ApplyLastLogKnobEventsFromBegin(AutLogHandle log, int32_t key, int32_t keepFirst);

  // Knob maps.
  int32_t CreateRecordLogKnobMap(int32_t count, AutMapHandle* out);
  int32_t GetRecordLogKnobMapValue(AutMapHandle map, int32_t index, int32_t* key, int32_t* written);
  int32_t DeleteRecordLogKnobMap(AutMapHandle map);
  int32_t DeleteAllRecordLogKnobMaps();
  int32_t CreatePlayLogKnobMap(int32_t count, AutMapHandle* out);
  int32_t SetPlayLogKnobMapValue(AutMapHandle map, int32_t index, AutKnobHandle knob);
  int32_t DeletePlayLogKnobMap(AutMapHandle map);
  int32_t DeleteAllPlayLogKnobMaps();

  // Knobs.
  int32_t CreateKnob(uint32_t hostKnobId, const AutKnobDesc* desc, AutKnobHandle* out);
  int32_t SetKnobTrkAndIndx(AutKnobHandle knob, uint32_t track, uint32_t index);
  int32_t SetKnobAutomEnableMode(AutKnobHandle knob, uint32_t mode);
  int32_t GetKnobValue(AutKnobHandle knob, int32_t* value);
  int32_t InvalidateKnobDspCmds(AutKnobHandle knob);
  int32_t DeleteKnob(AutKnobHandle knob);

  // View lists.
  int32_t CreateViewList(uint32_t track, uint32_t kind, AutViewListHandle* out);
  int32_t AddView(AutViewListHandle list, const AutView* view);
  int32_t DeleteViewList(AutViewListHandle list);
  int32_t DeleteAllViewLists(uint32_t kind);

  // Play and record.
  int32_t StartPlayRec();
  int32_t SetLocator(uint32_t location, uint32_t fromStart);
  int32_t SetKnobValue(AutKnobHandle knob, int32_t value, uint32_t location, uint32_t flags);
  int32_t StopPlayRec(uint32_t flag, uint32_t location);

 private:
  // An event of a view, with its place on the time line.
  struct ViewEvent {
    uint32_t view = kAutNoNode;
    uint32_t event = kAutNoNode;
    int64_t time = 0;  // time-line location
    int32_t value = 0;
  };
  enum class Dir { Forward, Backward };
  enum class KnobListId { Seen, Gliding, Touched, Matching };

  // autlog_events.cpp
  uint32_t StartNode(AutLogHandle handle, const AutLog& log, uint32_t cursor) const;
  uint32_t LastAtOrBefore(AutLogHandle handle, const AutLog& log, uint32_t cursor, uint32_t location) const;
  uint32_t FirstAtOrAfter(AutLogHandle handle, const AutLog& log, uint32_t cursor, uint32_t location) const;
  uint32_t PutEvent(AutLogHandle handle, uint32_t cursor, int32_t key, uint32_t location, int32_t value);
  void UnlinkEvent(AutLogHandle handle, uint32_t node);
  void FreeLogEvents(AutLog& log);
  void SetViewCursors(AutLogHandle handle, uint32_t cursor);
  void DestroyLog(AutLogHandle handle);
  bool Busy() const { return inCallback_ != 0; }

  // autlog_thin.cpp
  void Thin(AutLogHandle handle, int32_t key, uint32_t start, uint32_t end, uint32_t tolerance);

  // autlog_knobs.cpp
  AutKnob* Knob(AutKnobHandle h) { return knobs_.Find(h); }
  AutKnobList& ListOf(KnobListId id);
  static AutKnobLink& LinkOf(AutKnob& knob, KnobListId id);
  bool InList(AutKnobHandle h, KnobListId id);
  void ListAppend(KnobListId id, AutKnobHandle h);
  void ListPrepend(KnobListId id, AutKnobHandle h);
  void ListRemove(KnobListId id, AutKnobHandle h);
  void ListClear(KnobListId id);
  std::vector<AutKnobHandle> ListSnapshot(KnobListId id);
  void ResetTouches();

  // autlog_views.cpp
  AutViewListHandle FirstListOfTrack(uint32_t kind, uint32_t track);
  uint32_t& ChainHead(uint32_t kind) { return kind != 0 ? recordChain_ : playChain_; }
  uint32_t RecordViewAt(AutViewListHandle list, int64_t time);
  void DestroyViewList(AutViewListHandle list);
  AutKnobHandle PlayKnobOf(const AutViewNode& v, int32_t key);

  // autlog_play.cpp
  void LocatorStep(uint32_t location, uint32_t fromStart);
  void WalkForward(AutViewListHandle list, uint32_t from, uint32_t to);
  void WalkBackward(AutViewListHandle list, uint32_t from, uint32_t to);
  void Visit(uint32_t view, uint32_t event);
  void ProcessSeen(Dir dir, uint32_t location);
  void ProcessGlides(Dir dir, uint32_t location);
  bool NeighbourEvent(uint32_t view, uint32_t event, AutKnobHandle knob, Dir dir, ViewEvent* out);
  bool LastPlayEvent(const AutKnob& knob, AutKnobHandle handle, uint32_t location, ViewEvent* out);
  bool AutomationValue(AutKnobHandle handle, uint32_t location, int32_t* value);

  // autlog_record.cpp
  void CarryOver(AutKnobHandle knob, int64_t time, int32_t value);
  void WriteOwn(AutKnobHandle knob, int64_t time, int32_t value);
  bool RecordSlot(AutKnobHandle knob, int64_t time, uint32_t* view, int32_t* key, uint32_t* location);
  void PutRecorded(uint32_t view, int32_t key, uint32_t location, int32_t value);
  void SetFromAutomation(AutKnobHandle knob, uint32_t location, int32_t value);
  bool IsTouched(const AutKnob& knob) const;
  bool RecordGuards(const AutKnob& knob, uint32_t location);
  void ProcessTouched(uint32_t location);
  void ProcessMatches(uint32_t location);

  AutSystem& system_;
  AutKnobValueFn callback_ = nullptr;
  void* context_ = nullptr;

  // Settings.
  uint32_t touchTimeout_ = 0;
  uint32_t fadeResolTime_ = 0;
  uint32_t matchTime_ = 0;
  uint32_t recordMode_ = 0;
  uint32_t sampleRate_ = 0;

  // Engine.
  uint32_t running_ = 0;
  uint32_t stepTime_ = 0;
  uint32_t previous_ = 0;
  uint32_t inCallback_ = 0;
  AutKnobList knobChain_;
  AutKnobList seen_, gliding_, touched_, matching_;

  AutHandleTable<AutLog, AutKind::Log> logs_;
  AutHandleTable<AutViewList, AutKind::ViewList> lists_;
  AutHandleTable<AutKnob, AutKind::Knob> knobs_;
  AutHandleTable<AutPlayMap, AutKind::PlayMap> playMaps_;
  AutHandleTable<AutRecordMap, AutKind::RecordMap> recordMaps_;
  AutNodePool<AutEventNode, 1000> events_;
  AutNodePool<AutViewNode, 50> views_;
  uint32_t recordChain_ = 0;  // first list of each kind's chain
  uint32_t playChain_ = 0;
};
