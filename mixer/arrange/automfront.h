// What the arrange editor asks of the automation front end about an
// Automation Take's knob events, for the automation event drag. The program
// installs the front end's answers; until then (and in tests that do not
// replace it) there are no events and nothing is refreshed.
#pragma once

#include <cstdint>

class ArrAutomFront {
 public:
  virtual ~ArrAutomFront() = default;
  // 1 when the Take's event log holds the knob.
  virtual int HasKnob(uint32_t /*take*/, int32_t /*knob*/) { return 0; }
  // The knob's event nearest before (previous 1) or after *location (on the
  // Take's axis): its location and its value scaled to 0..scale. 0 when
  // there is none.
  virtual int EventNear(uint32_t /*take*/, int /*previous*/, int32_t /*knob*/, int32_t /*scale*/,
                        uint32_t* /*location*/, int32_t* /*value*/) {
    return 0;
  }
  // A value out of `scale` rounded to what the knob can hold.
  virtual void KnobScale(uint32_t /*take*/, int32_t /*knob*/, int32_t /*scale*/, int32_t* /*value*/) {}
  // The text of a value out of `scale` as the knob shows it on the play
  // channel (0 when outside 0..128); 0 when the knob has none.
  virtual int ValueText(uint32_t /*take*/, int32_t /*knob*/, int32_t /*scale*/, int32_t /*value*/,
                        int32_t /*channel*/, char* buffer, int size) {
    if (size > 0) buffer[0] = '\0';
    return 0;
  }
  // The automation play maps built again for the position.
  virtual void RefreshAfterEdit(int32_t /*position*/) {}
};

inline ArrAutomFront*& ArrAutomFrontSlot() {
  static ArrAutomFront* installed = nullptr;
  return installed;
}
// The front end in force: never null.
inline ArrAutomFront& ArrAutomFrontEnd() {
  static ArrAutomFront none;
  return ArrAutomFrontSlot() != nullptr ? *ArrAutomFrontSlot() : none;
}
// Installs the program's front end; null puts the default back.
inline void ArrSetAutomFront(ArrAutomFront* front) { ArrAutomFrontSlot() = front; }
