// The search by name: asks for the text, finds every entry of the list whose
// name holds it (case-insensitive, folders first) and shows the hits in the
// table, each under its path below the scanned root.
#include <algorithm>
#include <optional>

#include "EntryTable.h"
#include "JobGuard.h"
#include "Mainunit.h"
#include "Maskunit.h"
#include "Search.h"
#include "sysutils.h"

void TInfoFileForm::spbtSearchClick(TObject* sender) {
  if (!rootNode) {
    ShowMessageNumber(*this, msgListEmpty);
    return;
  }
  if (!RootTreeNode() || !MaskForm) return;
  // Up to here the table and what stands behind its rows stay as they were:
  // a cancelled search changes nothing.
  if (MaskForm->ShowModal() != mrOk) return;
  if (searchMask.IsEmpty()) return;
  actionSource = sender;
  {
    TJobGuard job(this);
    ShowWaitWindow();
    // The old rows stand for nothing until the hits are shown.
    ShownEntries->Children->Clear();
    shownList = nullptr;
    searchResults->Clear();
    searchResultPaths->Clear();
    const AnsiString base = SearchBasePath(rootNode);
    searchMask = SearchNeedle(searchMask);
    TSearchHits hits;
    SearchNodes(*::ViewFilter, rootNode, searchMask, base, hits);
    OrderFoldersFirst(hits);
    searchResults->SetCapacity(static_cast<int>(hits.Entries.size()));
    ShownEntries->Children->SetCapacity(static_cast<int>(hits.Entries.size()));
    for (size_t i = 0; i < hits.Entries.size(); ++i) {
      searchResults->Add(hits.Entries[i]);
      ShownEntries->Children->Add(hits.Entries[i]);
      searchResultPaths->Add(hits.Paths[i]);
    }
    searchBasePath = base;
    // No hit of these has been chosen yet.
    lastSearchRow = -1;
  }
  ShowSearchResults(searchResults, searchResultPaths, searchBasePath);
}

namespace {

// From this many hits on, filling the table shows the progress window, whose
// Cancel stops the fill.
constexpr int ProgressRows = 10000;

}  // namespace

// The search view's state (the list of fields is at ShowFolder): the rows
// stand for the hits, in order; currentTreeNode stays the folder shown last.
void TInfoFileForm::ShowSearchResults(TList* results, TStringList* paths, const AnsiString& basePath) {
  isSearchView = 1;
  searchListShown = 1;
  searchDepth = 0;
  hasParentRow = 0;
  shownList = results;
  if (results != ShownEntries->Children) {
    ShownEntries->Children->Clear();
    for (int i = 0; i < results->Count(); ++i) ShownEntries->Children->Add(results->Items(i));
  }
  ResetRowIcons(this);
  const int count = std::min(results->Count(), paths->Count());
  const bool withProgress = count >= ProgressRows;
  std::optional<TJobGuard> job;
  if (withProgress) {
    job.emplace(this);
    progressMode = 5;  // the window paints no text of its own
    progressTotal = count;
    progressDone = 0;
    ShowProgress(WideToAnsi(localization->GetCommonText(28)));
  }
  TUcListItems* items = lvInfo->Items();
  int filled = 0;
  items->BeginUpdate();
  try {
    items->Clear();
    TSearchRows rows(this);
    for (; filled < count; ++filled) {
      if (withProgress) {
        StepProgress();
        if (cancelRequested) break;
      }
      rows.Add(static_cast<ListNode*>(results->Items(filled)), AnsiToWide(SearchCaption(paths->Strings(filled), basePath)));
    }
  } catch (...) {
    items->EndUpdate();
    throw;
  }
  items->EndUpdate();
  // A cancelled fill keeps the rows it made, and the hits behind the rows,
  // which the commands act on, are those rows.
  if (filled < count) {
    for (TList* list : {results, ShownEntries->Children})
      while (list->Count() > filled) list->Delete(list->Count() - 1);
    while (paths->Count() > filled) paths->Delete(paths->Count() - 1);
  }
  if (withProgress) {
    if (!cancelRequested) CloseProgress();
    cancelRequested = 0;
    job->Finish();
  }
}

namespace {

// The tree node of the folder hit of a row, made visible in the tree; null
// for a file and for a folder the filtered tree does not show. The row
// becomes the hit last chosen.
TUcTreeNode* ChosenHitFolder(TInfoFileForm* form, int row) {
  form->lastSearchRow = row;
  ListNode* entry = form->RowEntry(row);
  if (!entry || entry->Kind != ekFolder) return nullptr;
  // The tree node knows its entry: no path of the result has to be parsed.
  TUcTreeNode* node = form->TreeNodeOfEntry(entry);
  if (!node) return nullptr;
  for (TTreeNode* p = node->Parent(); p; p = p->Parent()) p->Expand(false);
  return node;
}

}  // namespace

void TInfoFileForm::EnterSearchResult(int row) {
  TUcTreeNode* node = ChosenHitFolder(this, row);
  if (!node) return;
  // Back returns to the folder shown last: the one shown before the search
  // or, after the road from the hits, the last folder shown on that road.
  if (currentTreeNode && (backHistory.empty() || backHistory.back() != currentTreeNode)) PushHistory();
  ShowFolder(node);
  node->SetSelectedIndex(2);
  SelectFirstRow();
  ClearForwardHistory(this);
}

void TInfoFileForm::ForwardIntoHit(int row) {
  TUcTreeNode* node = ChosenHitFolder(this, row);
  if (!node) return;
  ShowFolderOfHits(node, 0);
  node->SetSelectedIndex(2);
  SelectFirstRow();
}
