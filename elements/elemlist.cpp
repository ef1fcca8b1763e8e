#include "elements/elemlist.h"

void ElemListAppend(ElemList* list, ElemLink* element) {
  element->Next = nullptr;
  ElemLink** at = &list->Head;
  while (*at) at = &(*at)->Next;
  *at = element;
}

int ElemListUnlink(ElemList* list, ElemLink* element) {
  for (ElemLink** at = &list->Head; *at; at = &(*at)->Next) {
    if (*at == element) {
      *at = element->Next;
      element->Next = nullptr;
      return 1;
    }
  }
  return 0;
}

int ElemListHas(const ElemList* list, const ElemLink* element) {
  for (const ElemLink* l = list->Head; l; l = l->Next)
    if (l == element) return 1;
  return 0;
}
