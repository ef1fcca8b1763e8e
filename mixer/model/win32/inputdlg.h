// The one-line value dialog INPUT that number prompts share, and the
// program-wide text buffer that carries its text in and out.
#pragma once

#include <windows.h>

// The input buffer: 255 characters and the terminator.
constexpr int kInputTextSize = 256;

// The edit control of dialog INPUT.
enum : int { kInputEdit = 151 };

// Sets the text the next INPUT dialog starts with, cut to 255 characters.
void SetInputText(const char* text);

// The input buffer: the text an INPUT dialog ended with by OK, or the text
// last set. Always terminated.
const char* InputText();

// Dialog procedure of INPUT; the init parameter is the caption text (a null
// one keeps the template's). Opens centred over the main window with edit
// 151 filled from the input buffer. OK copies at most 255 characters of edit
// 151 back into the buffer and ends the dialog with 1; Cancel ends it with 2
// and leaves the buffer alone.
INT_PTR CALLBACK InputDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam);
