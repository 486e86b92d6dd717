// What the tree view (UcTreeView.h) and the list view (UcListView.h) with
// wide texts share in their interfaces.
#pragma once

// Walks a collection by index: MoveNext, then Current.
template <class TItems, class TItem> class TUcIndexEnumerator {
public:
  explicit TUcIndexEnumerator(TItems* items) : FItems(items) {}
  bool MoveNext() {
    if (FIndex >= FItems->Count() - 1) return false;
    ++FIndex;
    return true;
  }
  TItem* GetCurrent() { return FItems->Item(FIndex); }
  TItem* Current() { return GetCurrent(); }

private:
  TItems* FItems;
  int FIndex = -1;
};
