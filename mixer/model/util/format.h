// Bounded text formatting for message texts and fixed buffers.
#pragma once

#include <cstdarg>
#include <cstdint>

// Longest text a message box shows, as the system's formatter produces it.
constexpr int kMsgTextMax = 1024;
// Longest string-table text that a message is built from.
constexpr int kMsgFormatMax = 255;

// printf-style formatting into buf of `size` bytes, always NUL-terminated
// (size > 0); the text is cut to fit. Returns the length written.
int FormatTextV(char* buf, int size, const char* format, va_list args);
int FormatText(char* buf, int size, const char* format, ...);

// Loads string `id` (at most 255 characters) and formats it with the
// arguments into buf; returns the length written.
int FormatById(char* buf, int size, uint32_t id, ...);
int FormatByIdV(char* buf, int size, uint32_t id, va_list args);
