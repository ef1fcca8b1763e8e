// The closing question of the two documents.
#include "mixer/shell/docs.h"
#include "mixer/shell/services.h"

void DocUseWinHost();

int DocCloseQuery() {
  DocUseWinHost();
  if (ArrSavePrompt() == 2) return 0;
  return MixSavePrompt() != 2;
}
