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
// Redraws every field of the status bar when it is open.
void StatusRedrawAll();
// Raises the arrangement change count.
void ArrChangeCountRaise();
// The file manager's notification hook: event and its value.
void SFManNotify(uint32_t event, uint32_t value);
// Repaints the Take directory window when it is open.
void TakeDirWndRepaint();
// Dispatches the pending window messages (through the main frame's
// accelerators), so that a long file walk keeps the program responsive.
void DispatchPendingMessages();
// The two documents' change counters (0 = unchanged).
uint32_t ArrChangeCountGet();
void ArrChangeCountSet(uint32_t count);
uint32_t MixChangeCountGet();
void MixChangeCountSet(uint32_t count);
// Sets the text of a main-menu item and enables it, or grays it.
void MainMenuSetItem(uint32_t id, const char* text, int enabled);
// MainCursorWait shows the wait cursor, MainCursorArrow the arrow;
// MainCursorRestore puts back the cursor either of them replaced.
void MainCursorWait();
void MainCursorArrow();
void MainCursorRestore();

// Settings the shell keeps, as the command id of their chosen item.
uint32_t GetSyncIn();               // 40501..40505
uint32_t GetMClkUnit(int unit);     // unit 0..3: 40408 + 14 x unit + k
uint32_t GetRecResol();             // 40355 16-bit, 40356 24-bit recording
uint32_t GetTimeFormat();           // 40518 bars and beats, else time code
uint32_t GetScrubMode();            // 40874 or 40875
int32_t GetScrubWind();             // the scrub switch of the Options menu (0/1)
// The play channels of solo play and scrub for a Part without a valid
// channel of its own: Audio 1..192, Midi 1..128.
int32_t GetMutedSoloAudOut();
int32_t GetMutedSoloMidiOut();
// The waveform overview folder (setting WvFormFilePath), ending in '\'.
const char* GetWvFormFilePath();
// The main frame's accelerator table (an HACCEL), null while none is loaded.
void* MainAccelTable();

// The tool window's left mouse slot holds the context-sensitive edit tool.
int ContextEditToolActive();
// The file manager's start and exit hooks, and the hook that reads its
// settings beside the arrange editor's at start-up.
void SFManStartHook();
void SFManExitHook();
void SFManSettingsHook();
// The file manager's queries and commands; 0, since it holds nothing.
int SFManQueryTake(uint32_t take);
int SFManQueryArr(uint32_t arr);
int SFManCommand(uint32_t command);
// Writes the last files and folders of the documents.
void DocWriteLastFiles();
// The external off-line modules: scan of a folder, and their release.
void ExvScanModules(const char* folder);
void ExvFreeModules();
// Ends the control-surface link.
void QVCIN_UnRegisterConsole();
// Tailors the main menu to the units found.
void MainMenuTailor();
// Opens the mix that was open last.
void DocOpenLastMix();
// Before the program closes: offers to save the documents' changes; 0 when
// the user cancelled or a save could not be written.
int DocCloseQuery();

// Commands carried out by later parts of the shell: the document commands
// (41000..41018, 41900..41908), the setup dialogs (41608..41614, 41800), the
// tool window and its mouse slots, and the big clock's font and colour.
void DocCommand(void* mainWnd, uint32_t id);
void SetupDialog(void* mainWnd, uint32_t id);
void ToolSelect(int slot, int tool);
int ToolGet(int slot);
void ToolWndCreate(void* mainWnd);
void BigClockCommand(void* mainWnd, uint32_t id);
// The big clock shows bars (1) or time code (0).
void BigClockShowBars(int bars);
// Writes the settings of every window and option into the main ini file.
void SaveMainSettings();
