// Windows path texts ('\' between folders, ':' after a drive) taken apart and
// rebuilt without touching the file system, the checks on user-given names,
// and the "(n)" numbering that makes a file name unique.
#pragma once

#include <cstdint>
#include <functional>

// Start of the file-name part: after the last '\' or ':'.
const char* PathFindName(const char* path);
char* PathFindName(char* path);

// The last '.' of the file-name part (the first with `first` set), or the
// end of the path when the name has none.
const char* PathFindExt(const char* path, int first);
char* PathFindExt(char* path, int first);

// The first '\', or null.
const char* PathFindBackslash(const char* path);

// The drive: the text up to and including the first ':', empty when there
// is none. Copies into out of `size` bytes; 1, or 0 with out empty when it
// does not fit (a cut path would name another place).
int PathGetDrive(const char* path, char* out, int size);

// The directory: everything before the file-name part; 1, or 0 with out
// empty when it does not fit.
int PathGetDir(const char* path, char* out, int size);

// Removes the folder that holds the file name (C:\a\b\f becomes C:\a\f; a\f
// becomes f); a name directly in a root (C:\f, \f) stays where it is. A path
// with no '\' before its file name becomes a single '\' (needs size >= 2).
// Returns the file-name part of the result, or null when `size` is too small.
char* PathUpOneLevel(char* path, int size);

// Characters a name may not hold: ? * < > / \ : | and the double quote.
extern const char kBadNameChars[];

// 1 for a usable name; otherwise 0 with *id (when not null) the message:
// IDS_NAME_MISSING for an empty name, IDS_NAME_BAD_CHARS for a leading blank
// or any of the bad characters.
int CheckNameChars(const char* name, uint32_t* id);

// Replaces each bad character by a blank.
void ReplaceBadNameChars(char* name);

// 1 when a file (not a folder) of that path exists.
using PathExistsFn = std::function<int(const char* path)>;

// While `exists` reports the path, gives the name (before the extension) a
// blank and "(n)": n = 2 when the name carries no number yet, else its number
// plus one, counting on until a free name is found. With keepSuffix a channel
// suffix that ends the name (" L", " LFE", " 3_8") stays after the number:
// "Drums L.wav" becomes "Drums (2) L.wav". The name is cut, never the
// folder or the extension, when the number needs room within `size`.
// Returns 1 with the free path, or 0 with the path unchanged when no free
// name fits `size` or the numbers run past 99999.
int MakeUniquePathWith(char* path, int size, int keepSuffix, const PathExistsFn& exists);
