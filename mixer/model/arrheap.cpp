#include "arrheap.h"

#include <cstdlib>

BlockHeap ArrHeap;

namespace {
bool slotListFailNext = false;
}

uint32_t* ArrSlotListAlloc(uint32_t entries) {
  if (slotListFailNext) {
    slotListFailNext = false;
    return nullptr;
  }
  return static_cast<uint32_t*>(std::calloc(entries == 0 ? 1 : entries, sizeof(uint32_t)));
}

void ArrSlotListFree(uint32_t* list) { std::free(list); }

void ArrSlotListFailNext() { slotListFailNext = true; }
