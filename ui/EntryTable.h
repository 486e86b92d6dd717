// The rows of the entry table that show search results.
#pragma once

#include <memory>

#include "Mainunit.h"

// Adds the rows of search hits one after another. A row's icon comes from
// what the list holds (the entry's kind and the extension of its name),
// through the table's per-type icons, never from the disk the list was made
// of: a search may hit a hundred thousand entries of a failing recovery disk
// or a network share. The table's icons are reset by the caller.
class TSearchRows {
public:
  explicit TSearchRows(TInfoFileForm* form);
  ~TSearchRows();
  TSearchRows(const TSearchRows&) = delete;
  TSearchRows& operator=(const TSearchRows&) = delete;
  void Add(ListNode* entry, const WideString& caption);

private:
  struct TState;
  std::unique_ptr<TState> F;
};
