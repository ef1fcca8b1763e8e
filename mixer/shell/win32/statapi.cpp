// The status bar's update functions: each field's value, colour and
// disabled state, kept while the bar is closed.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "mixer/model/musical.h"
#include "mixer/model/settings.h"
#include "mixer/model/tempomap.h"
#include "mixer/model/timecode.h"
#include "mixer/model/util/strtab.h"
#include "mixer/model/win32/dialogs.h"
#include "mixer/model/win32/draw.h"
#include "mixer/shell/mainopts.h"
#include "mixer/shell/services.h"
#include "mixer/shell/win32/controls.h"
#include "mixer/shell/win32/shell.h"
#include "mixer/shell/win32/smallwnd.h"
#include "mixer/shell/win32/statwnd.h"
#include "mixer/shell/wndlogic.h"
#include "mixer/shell/wndtable.h"
#include "mixer/units/services.h"

namespace {
bool Stopped() { return TransportState() == kTransportStopped; }
bool FirstClockInternal() { return GetMClkUnit(0) == 40408; }

void RepaintField(int field) {
  if (WndTable[kStatusBar] && statusFields[field].wnd) InvalidateRect(statusFields[field].wnd, nullptr, FALSE);
}

void SetDisabled(SelDat9Desc& d, bool disabled) {
  if (disabled) d.state |= kSdDisabled;
  else d.state &= ~kSdDisabled;
}
}  // namespace

void StatusUpdate(int field, uint32_t value, int force) {
  InitStatusFields();
  if (field == -1) {
    const bool stopped = Stopped();
    SetDisabled(statusFields[1], !(stopped && UnitHasHostUnit(1)));
    SetDisabled(statusFields[2], !(stopped && FirstClockInternal()));
    SetDisabled(statusFields[3], !stopped);
    SetDisabled(statusFields[4], !stopped);
    SetDisabled(statusFields[5], !(stopped && UnitCount() > 0));
    if (WndTable[kStatusBar])
      for (int i = 1; i <= 5; ++i) RepaintField(i);
    return;
  }
  if (field < 0 || field > 5) return;
  SelDat9Desc& d = statusFields[field];
  if (d.value == value && !force) return;
  switch (field) {
    case 0:
      d.textColour = Settings().SnapEnable ? RGB(0, 0, 0) : RGB(128, 128, 128);
      break;
    case 1:
      d.textColour = value == 40505 && !NinePinSyncEnabled() ? RGB(128, 128, 128) : RGB(0, 0, 0);
      d.suffix = value == 40501 ? 0 : int(SyncInTrigOnly ? IDS_STAT_TRIGGER : IDS_STAT_CHASE);
      break;
    case 2: {
      const bool internal = FirstClockInternal();
      const bool vari = Settings().SyncSource != 0;
      d.textColour = internal && vari && VSyncedMClk == 0 ? RGB(255, 0, 0) : RGB(0, 0, 0);
      SetDisabled(d, !(Stopped() && internal));
      break;
    }
    case 5:
      if (UnitCount() > 1 && value >= 40408 && value < 40408 + 56)
        d.prefix = IDS_STAT_UNIT1 + (value - 40408) / 14;
      break;
  }
  d.value = value;
  RepaintField(field);
}


