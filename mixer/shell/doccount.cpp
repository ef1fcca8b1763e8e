// The change counters the rest of the program raises and reads.
#include "mixer/shell/docs.h"
#include "mixer/shell/services.h"

void ArrChangeCountRaise() { ++Docs().arrChanges; }
uint32_t ArrChangeCountGet() { return Docs().arrChanges; }
void ArrChangeCountSet(uint32_t count) { Docs().arrChanges = count; }
uint32_t MixChangeCountGet() { return Docs().mixChanges; }
void MixChangeCountSet(uint32_t count) { Docs().mixChanges = count; }

