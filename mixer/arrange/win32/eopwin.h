// The external module host on Windows: the libraries of the module folder
// loaded with the system loader, the main menu's module items, the pop-up
// of the arrange tools and the Part context menu's sub-menu.
#pragma once

#include <windows.h>

#include "mixer/arrange/eophost.h"

// The platform of the program: LoadLibraryA, FindFirstFileA, the windows
// disabled around a run.
EopPlatform& EopWinPlatform();

// Puts the kind-1 processes, up to 16, in place of the main menu's
// placeholders 41320.. and deletes the rest; with none, item 12 of the first
// pop-up is greyed.
void EopFillMainMenu(HWND mainWnd);
// The pop-up of kind-0 processes at a point of `wnd` (client coordinates);
// the chosen slot or -1.
int EopToolMenu(int button, HWND wnd, int x, int y);
// Appends the pop-up "External Off-Line (Exvora)" of kind-0 processes with
// command ids first + slot.
void EopAddSubMenu(HMENU menu, UINT first);
// Runs a process from the arrange tools (32..35), their pop-up (-1, at x,
// y with the mouse button `id`), the main menu (-2) or the context menu
// (-3, `id` the slot).
int EopRunToolAt(HWND wnd, int x, int y, uint32_t id, int tool);

// The Part context menu of the arrange window (menu resources 444 Audio,
// 445 Automation, 446 Midi): the Audio menu's "Process" pop-up gets the
// module sub-menu, whose entries carry the command ids slot + 1 so that
// slot 0 differs from "nothing chosen".
inline constexpr uint32_t kPartMenuAudio = 444;
inline constexpr UINT kPartMenuModuleFirst = 1;
inline constexpr UINT kPartMenuOpFirst = 41500;
// Appends the module sub-menu to the last pop-up of `popup` ("Process").
void EopAttachPartMenu(HMENU popup);
// What the dispatcher takes from a chosen command id: an operation's id
// (41500 and above) as it is, a module entry as its slot, else -1.
int32_t EopPartMenuCommand(UINT cmd);
// Tracks `popup` with the right button at a client point of `child`; the
// command as EopPartMenuCommand gives it.
int32_t EopTrackPartMenu(HWND child, HMENU popup, int x, int y);
// The whole context menu for the arrange window's TrackPartMenu: menu
// resource `menuId` of the program, the module sub-menu attached for Audio,
// tracked and destroyed.
int32_t EopPartContextMenu(HWND child, uint32_t menuId, int x, int y);
