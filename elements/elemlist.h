// The module's list of live elements: each element record begins with its
// link, and the module keeps the head.
#pragma once

struct ElemLink {
  ElemLink* Next;
};

struct ElemList {
  ElemLink* Head = nullptr;
};

// Appends at the tail; the element's link is overwritten.
void ElemListAppend(ElemList* list, ElemLink* element);
// Unlinks the element; 0 when it is not in the list.
int ElemListUnlink(ElemList* list, ElemLink* element);
// 1 when the element is in the list.
int ElemListHas(const ElemList* list, const ElemLink* element);
