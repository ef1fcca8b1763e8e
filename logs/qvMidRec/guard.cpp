// List guards and the loop parameters read by the pumps: what the host's
// thread hands to the real-time threads without making them wait.
#include "logs/qvMidRec/engine_private.h"

bool ListGuard::Create() {
  released_ = MidiOsEventCreate();
  count_.store(1);
  list_.store(0);
  return released_ != nullptr;
}

void ListGuard::Destroy() {
  if (released_ != nullptr) MidiOsEventDestroy(released_);
  released_ = nullptr;
}

// The increment comes before the pointer is read and the host clears the
// pointer before it reads the count (both sequentially consistent): a
// reader that sees the list is always counted by the host.
uint32_t ListGuard::Acquire() {
  count_.fetch_add(1);
  const uint32_t list = list_.load();
  if (list == 0) Release();
  return list;
}

void ListGuard::Release() {
  if (count_.fetch_sub(1) == 1) MidiOsEventSet(released_);
}

void ListGuard::Advance(uint32_t from, uint32_t to) {
  if (from != to) list_.compare_exchange_strong(from, to);
}

// The wait ends on the count itself, not on the event alone: a reader that
// brought the count to 0 may signal the event late, after the host has
// moved on, and such a stale signal must not end a later hold early.
void ListGuard::Hold() {
  list_.store(0);
  Release();  // the owner's reference
  for (;;) {
    MidiOsEventReset(released_);
    if (count_.load() == 0) break;
    MidiOsEventWait(released_);
  }
  count_.fetch_add(1);
}

void ListGuard::Publish(uint32_t list) { list_.store(list); }

LoopParams MakeLoopParams(uint32_t enable, uint32_t start, uint32_t end, uint32_t finish) {
  LoopParams p{start, end, finish, 0, 0, 0};
  if (enable != 0 && start < end) p.length = end - start;
  if (enable != 0 && start < finish) p.span = finish - start;
  p.passes = p.length != 0 ? p.span / p.length : 0;
  return p;
}

// A sequence lock over atomic words: every access is sequentially
// consistent, so a reader that saw any word of a write also sees the odd or
// the new sequence number after it.
void LoopSnapshot::Store(const LoopParams& p) {
  const uint32_t words[kWords] = {p.start, p.end, p.finish, p.length, p.span, p.passes};
  const uint32_t seq = seq_.load();
  seq_.store(seq + 1);
  for (int i = 0; i < kWords; ++i) words_[i].store(words[i]);
  seq_.store(seq + 2);
}

void LoopSnapshot::Load(LoopParams* p) const {
  // The host writes six words now and then: more than a few collisions in a
  // row do not happen, and if they did the pump keeps its previous copy for
  // one more call.
  constexpr int kTries = 4;
  for (int t = 0; t < kTries; ++t) {
    const uint32_t before = seq_.load();
    if ((before & 1) != 0) continue;
    uint32_t w[kWords];
    for (int i = 0; i < kWords; ++i) w[i] = words_[i].load();
    if (seq_.load() != before) continue;
    *p = LoopParams{w[0], w[1], w[2], w[3], w[4], w[5]};
    return;
  }
}
