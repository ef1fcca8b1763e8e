// Every field of the status bar drawn anew.
#include "mixer/shell/services.h"
#include "mixer/shell/win32/statwnd.h"

void StatusRedrawAll() {
  for (int i = 0; i < 6; ++i) StatusUpdate(i, statusFields[i].value, 1);
  StatusUpdate(-1, 0, 0);
}
