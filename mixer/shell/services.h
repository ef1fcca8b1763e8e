// Services of the application shell that the model calls: menu checks,
// status fields, the document change counters and the settings the shell
// keeps.
#pragma once

#include <cstdint>

// Checks `chosen` in the main menu's radio group first..last.
void MainMenuCheckRadio(uint32_t first, uint32_t last, uint32_t chosen);
// Checks or unchecks one item of the main menu.
void MainMenuCheck(uint32_t id, int checked);
// Status field 0..5 (-1 the group 1..5) shows `value`; nothing when the value
// is unchanged unless `force` is set.
void StatusUpdate(int field, uint32_t value, int force);
// Raises the arrangement change count.
void ArrChangeCountRaise();
// The file manager's notification hook: event and its value.
void SFManNotify(uint32_t event, uint32_t value);

// Settings the shell keeps, as the command id of their chosen item.
uint32_t GetSyncIn();               // 40501..40505
uint32_t GetMClkUnit(int unit);     // unit 0..3: 40408 + 14 x unit + k
uint32_t GetRecResol();             // 40355 16-bit, 40356 24-bit recording
uint32_t GetTimeFormat();           // 40518 bars and beats, else time code
