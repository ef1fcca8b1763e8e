// The status bar's redraw and the file manager's start-up hooks, recorded in
// the start-up log (the status fields' values are recorded by the older
// services' fake).
#include <string>

#include "mixer/shell/services.h"
#include "tests/fakes/startup_fake.h"

void StatusRedrawAll() { Startup().log.emplace_back("StatusRedrawAll()"); }
void SFManStartHook() { Startup().log.emplace_back("SFManStartHook()"); }
void SFManExitHook() { Startup().log.emplace_back("SFManExitHook()"); }
void SFManSettingsHook() { Startup().log.emplace_back("SFManSettingsHook()"); }
