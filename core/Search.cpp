#include "Search.h"

#include <cstring>

AnsiString SearchNeedle(const AnsiString& typed) {
  AnsiString needle = typed;
  if (const int star = needle.Pos("*")) needle.Delete(star, 1);
  return needle;
}

AnsiString SearchBasePath(const ListNode* root) {
  AnsiString base = root ? FieldText(root->Name) : AnsiString();
  if (!base.IsEmpty() && base[base.Length()] == '\\') base.SetLength(base.Length() - 1);
  return base;
}

AnsiString SearchCaption(const AnsiString& path, const AnsiString& basePath) {
  const int skip = basePath.Length() + 1;
  return path.SubString(skip + 1, path.Length() - skip);
}

void SearchNodes(const class ViewFilter& filter, const ListNode* node, const AnsiString& mask, const AnsiString& path,
                 TSearchHits& hits) {
  if (!node || mask.IsEmpty()) return;
  const TAnsiUpper upper;
  const std::string needle = upper.Of(mask);
  // In the damaged view a folder is shown when anything below it is damaged
  // or absent. Asking that of every folder that matches would walk its
  // subtree once per hit; instead the walk itself gathers it: a matching
  // folder is taken at once and dropped when its subtree ends without damage.
  const bool damagedView = filter.GetMode() == vmDamaged;
  // Pre-order without recursion (a deep tree must not exhaust the stack):
  // each frame is a folder, the next child to test, whether damage was seen
  // in it, and its own hit awaiting that answer (-1 for none). Paths are
  // made for hits only, from the folders on the stack.
  struct Frame {
    const ListNode* Folder;
    int Next;
    bool Damage;
    ptrdiff_t PendingHit;
  };
  const size_t firstHit = hits.Entries.size();
  bool dropped = false;
  std::string name;
  std::vector<Frame> stack{{node, 0, false, -1}};
  auto addHit = [&](ListNode* child) {
    // One allocation a hit: the length is known before the text is made.
    size_t length = path.str().size() + 1 + name.size();
    for (size_t i = 1; i < stack.size(); ++i) length += 1 + FieldView(stack[i].Folder->Name).size();
    std::string full;
    full.reserve(length);
    full.append(path.str());
    for (size_t i = 1; i < stack.size(); ++i) full.append(1, '\\').append(FieldView(stack[i].Folder->Name));
    full.append(1, '\\').append(child->Name, name.size());
    hits.Entries.push_back(child);
    hits.Paths.push_back(AnsiString(std::move(full)));
  };
  while (!stack.empty()) {
    Frame& f = stack.back();
    if (f.Next >= f.Folder->ChildCount()) {
      const Frame done = f;
      stack.pop_back();
      if (done.PendingHit >= 0 && !done.Damage) {
        hits.Entries[static_cast<size_t>(done.PendingHit)] = nullptr;
        dropped = true;
      }
      if (done.Damage && !stack.empty()) stack.back().Damage = true;
      continue;
    }
    ListNode* child = f.Folder->Child(f.Next++);
    name.assign(child->Name, strnlen(child->Name, sizeof child->Name));
    upper.Apply(name);
    const bool matches = name.find(needle) != std::string::npos;
    bool own = false;
    ptrdiff_t pending = -1;
    if (damagedView) {
      own = DamagedOrAbsent(child);
      if (own) f.Damage = true;
      // A file is shown by its own mark; a folder by its own or, later, by
      // one found below it.
      const bool file = child->Kind == ekFile;
      if (matches && (own || (!file && child->ChildCount() > 0))) {
        if (!own) pending = static_cast<ptrdiff_t>(hits.Entries.size());
        addHit(child);
      }
    } else if (matches && filter.IsVisible(child)) {
      addHit(child);
    }
    if (child->ChildCount() > 0) stack.push_back({child, 0, own, pending});
  }
  if (!dropped) return;
  size_t kept = firstHit;
  for (size_t i = firstHit; i < hits.Entries.size(); ++i) {
    if (!hits.Entries[i]) continue;
    if (kept != i) {
      hits.Entries[kept] = hits.Entries[i];
      hits.Paths[kept] = std::move(hits.Paths[i]);
    }
    ++kept;
  }
  hits.Entries.resize(kept);
  hits.Paths.resize(kept);
}

void OrderFoldersFirst(int count, const std::function<char(int)>& kindAt,
                       const std::function<void(int, int)>& exchange) {
  // The exchange order in one pass: a file at i trades with the first folder
  // after it, and the places between them hold no folder, so the search for
  // the next folder goes on from where the last one ended.
  int j = 0;
  for (int i = 0; i + 1 < count; ++i) {
    if (kindAt(i) != ekFile) continue;
    if (j <= i) j = i + 1;
    while (j < count && kindAt(j) != ekFolder) ++j;
    if (j >= count) return;
    exchange(i, j);
  }
}

void OrderFoldersFirst(TSearchHits& hits) {
  OrderFoldersFirst(
      static_cast<int>(hits.Entries.size()), [&](int i) { return hits.Entries[i]->Kind; },
      [&](int i, int j) {
        std::swap(hits.Entries[i], hits.Entries[j]);
        std::swap(hits.Paths[i], hits.Paths[j]);
      });
}

namespace {

bool NameIs(const ListNode* n, const AnsiString& name) {
  const size_t length = strnlen(n->Name, sizeof n->Name);
  return length == static_cast<size_t>(name.Length()) && memcmp(n->Name, name.c_str(), length) == 0;
}

}  // namespace

ListNode* FindChildNode(const ListNode* node, const AnsiString& name, int32_t level) {
  ListNode* found = nullptr;
  if (!node) return nullptr;
  VisitPreOrder(node, [&](const ListNode* n) {
    if (n != node && n->Level == level && NameIs(n, name)) {
      found = const_cast<ListNode*>(n);
      return false;
    }
    return true;
  });
  return found;
}

void CollectNodesByName(const ListNode* node, const AnsiString& name, int32_t level, TList* list) {
  if (!node || !list) return;
  VisitPreOrder(node, [&](const ListNode* n) {
    if (n != node && n->Level == level && NameIs(n, name)) list->Add(const_cast<ListNode*>(n));
    return true;
  });
}
