// The library's state: one per process, like the loaded library itself.
#include "logs/qvMidRec/midlog_private.h"

MidiLibState& Lib() {
  static MidiLibState state;
  return state;
}

int32_t MidiSetInitRecord(const MidiInitRecord* init) {
  if (init == nullptr) return 0;
  Lib().init = *init;
  return 1;
}

void MidiSetHeapBlockLimit(MidiHeapKind heap, uint32_t blocks) {
  MidiLibState& lib = Lib();
  switch (heap) {
    case MidiHeapKind::kEvents: lib.events.SetBlockLimit(blocks); break;
    case MidiHeapKind::kViews: lib.views.SetBlockLimit(blocks); break;
    case MidiHeapKind::kPlayNodes: lib.play.SetBlockLimit(blocks); break;
  }
}

void MidiLibRelease() {
  MidiLibState& lib = Lib();
  lib.lists.Clear();
  lib.logs.Clear();
  lib.chains[0] = lib.chains[1] = ViewChain{};
  lib.events.Destroy();
  lib.views.Destroy();
  lib.play.Destroy();
  lib.init = MidiInitRecord{};
}
