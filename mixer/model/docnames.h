// File names of the two current documents: the arrangement and the mix.
#pragma once

#include <cstdint>

// Buffer size of a document name; names hold at most 259 characters.
constexpr int kDocNameSize = 260;

// Forget the name.
void ArrNameClear();
void MixNameClear();

// Remember the name; a name longer than 259 characters is refused (0, the
// previous name kept), since a cut path would name another file. `named` is
// the document's named flag as the callers pass it (1); the stored text does
// not depend on it.
int ArrNameSet(const char* name, int32_t named = 1);
int MixNameSet(const char* name, int32_t named = 1);

// Copy the name into out of `size` bytes and return its length; 0 with out
// empty when there is no name or it does not fit.
int ArrNameGet(char* out, int size);
// The named flag given with the document's name (0 for an untitled one).
int ArrIsNamed();
int MixIsNamed();
int MixNameGet(char* out, int size);
