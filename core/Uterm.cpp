#include "Uterm.h"

namespace {

bool Damaged(const ListNode* n) { return (n->Attributes & DamagedBit) || n->Absent != 0; }
bool NeedMarked(const ListNode* n) { return n->NeedMark == 1 || n->NeedMark == 2; }

void ChangeMarkedCounts(ListNode* node, int delta) {
  for (ListNode* p = node ? node->Parent : nullptr; p && p->Name[0] != '\0'; p = p->Parent) p->MarkedCount += delta;
}

}  // namespace

bool ViewFilter::IsVisible(const ListNode* node) const {
  if (!node) return false;
  const bool file = node->Kind == ekFile;
  switch (FMode) {
    case vmDamaged:
      return file ? Damaged(node) : ContainsDamaged(node);
    case vmMarked:
      return NeedMarked(node) || (!file && node->MarkedCount > 0);
    default:
      return true;
  }
}

void ViewFilter::AddMarkedCount(ListNode* node) { ChangeMarkedCounts(node, 1); }

void ViewFilter::SubMarkedCount(ListNode* node) { ChangeMarkedCounts(node, -1); }

bool ContainsDamaged(const ListNode* node) {
  // Stops at the first damaged or absent entry.
  return !VisitPreOrder(node, [](const ListNode* n) { return !Damaged(n); });
}

void ShowAllEntries(ViewFilter& filter, IViewHost& view, ICoreHost& host) {
  filter.SetMode(vmAll);
  view.UpdateViewMenuChecks(vmAll);
  if (!view.HasSelectedFolder()) return;
  view.LeaveSearchView();
  if (view.FullTreeSaved()) {
    try {
      view.RestoreFullTree();
    } catch (...) {
      ShowMessageNumber(host, msgTreeBuildFailed);
    }
  }
  view.ClearHistories();
}
