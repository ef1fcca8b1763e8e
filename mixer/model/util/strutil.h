// Text helpers over NUL-terminated ANSI strings: trimming, cutting, matching,
// bounded copies, the "(n)" number of a name, and hexadecimal texts.
//
// Every function that writes into a caller's buffer takes the buffer's size
// in bytes (NUL included) and never writes past it.
#pragma once

#include <cstdint>

// Lower-cases every character but the first (A-Z only).
void StrLowerTail(char* text);

// Makes the text empty.
void StrClear(char* text);

// 1 when the text is null or empty.
int StrIsEmpty(const char* text);

// Writes a second NUL after the text's terminating NUL, making a one-entry
// list for the shell's file operations; returns the text's length, or -1
// (nothing written) when the buffer of `size` bytes has no room for it.
int StrAddSecondNul(char* text, int size);

// Remove leading / trailing blanks (' ').
void StrTrimLeft(char* text);
void StrTrimRight(char* text);

// Menu item text as a label: cut at the first tab, every '&' removed.
void StrMenuLabel(char* text);

// Cuts the text at its first line feed.
void StrCutAtNewline(char* text);

// Index of the first place in the text where the pattern matches, letters
// compared without case and '?' matching any one character; -1 when none.
// An empty pattern matches at 0.
int StrFindNoCase(const char* text, const char* pattern);

// 1 when the whole text matches the pattern: literal characters (case
// sensitive), '?' for any one character, '*' for any run of characters.
int WildcardMatch(const char* text, const char* pattern);

// Bounded copy and append into dst of `size` bytes, always NUL-terminated
// when size > 0: 1 when the whole source fitted, 0 when it was cut.
int StrCopyN(char* dst, const char* src, int size);
int StrCatN(char* dst, const char* src, int size);

// Copies at most n characters of src into dst of `size` bytes: 1 when those
// characters fitted, 0 when the buffer cut them.
int StrCopyCount(char* dst, const char* src, int n, int size);

// Largest number a name's "(n)" may carry.
constexpr int32_t kStrNumberMax = 99999;

// When the text ends in "(n)" with 1 <= n <= 99999, removes it and the blanks
// before it and returns n; otherwise returns 0 and leaves the text alone.
int32_t StrTakeNumber(char* text);

// Appends a blank (when there is room) and "(n)" to the text in its buffer of
// `size` bytes, cutting the text so that the result fits. Returns 1, or 0
// (text unchanged) when not even "(n)" fits.
int StrSetNumber(char* text, int32_t n, int size);

// A hexadecimal text as a number of n 32-bit words, least significant word
// first; the text's last character is the lowest digit, characters that are
// not hexadecimal digits count as 0, digits beyond 8 n are dropped.
void ParseHexWords(const char* text, uint32_t* words, int n);

// The text as a 48-bit number split into two 24-bit DSP words.
void ParseHex48(const char* text, uint32_t* low, uint32_t* high);
