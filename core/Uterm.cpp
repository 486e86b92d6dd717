#include "Uterm.h"

namespace {

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
      return file ? DamagedOrAbsent(node) : ContainsDamaged(node);
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
  return !VisitPreOrder(node, [](const ListNode* n) { return !DamagedOrAbsent(n); });
}

std::function<bool(const ListNode*)> ViewFolderTest(const ListNode* root, uint8_t mode) {
  if ((mode != vmDamaged && mode != vmMarked) || !root) return nullptr;
  auto kept = std::make_shared<std::unordered_set<const ListNode*>>();
  // Post-order without recursion: a frame's flag gathers what its children
  // report before it is reported to its parent.
  struct Frame {
    const ListNode* Node;
    int Next;
    bool Flag;
  };
  auto own = [mode](const ListNode* n) {
    return mode == vmDamaged ? DamagedOrAbsent(n) : (n->Kind != ekFile && (NeedMarked(n) || n->MarkedCount != 0));
  };
  std::vector<Frame> stack{{root, 0, own(root)}};
  while (!stack.empty()) {
    Frame& f = stack.back();
    if (f.Next < f.Node->ChildCount()) {
      const ListNode* child = f.Node->Child(f.Next++);
      // Files hold no folders: in the marked view they report nothing.
      if (mode == vmMarked && child->Kind != ekFolder) continue;
      if (child->ChildCount() == 0 && child->Kind != ekFolder) {
        f.Flag = f.Flag || own(child);
        continue;
      }
      stack.push_back({child, 0, own(child)});
      continue;
    }
    const Frame done = f;
    stack.pop_back();
    if (done.Flag && done.Node->Kind == ekFolder) kept->insert(done.Node);
    if (!stack.empty() && done.Flag) stack.back().Flag = true;
  }
  return [kept](const ListNode* n) { return kept->count(n) != 0; };
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
