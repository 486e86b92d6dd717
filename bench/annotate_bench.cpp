// annotate_bench: search, the filtered views and the import of a damaged-file
// list on a list of 1,000,000 entries in 50,000 folders, each next to a bare
// baseline measured in the same run (the best of several rounds of half a
// second or more, the work's passes and its baseline's taken in turn):
//  - search (100,000 hits) against a bare pre-order walk doing the same
//    upper-cased substring test; aim 1.5x;
//  - the same search in the damaged view against the bare walk that also
//    tests each entry's own damage; aim 1.5x;
//  - filling the table with the 100,000 hits against filling it with a
//    folder of the same 100,000 entries; aim 2x;
//  - switching to the damaged view and to the marked view and back to all,
//    against filling the folder tree with the folders each view shows;
//    aim 2x;
//  - the import of a 100,000-line UTF-8 list, each pass into a fresh copy
//    of the list, against reading and decoding the file plus one walk of the
//    entries; aim 3x.
//
// Run: wine <build>/bench/annotate_bench.exe   (tools/env.sh sourced, under a display)
#include "Mainunit.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "BenchClock.h"
#include "BenchReport.h"
#include "BenchScan.h"
#include "Import.h"
#include "Search.h"
#include "UiUnits.h"
#include "Unicodesupport.h"
#include "units.h"

namespace {

ListNode* Entry(ListNode* parent, char kind, const std::string& name) {
  EntryRecord r{};
  r.Kind = kind;
  SetFieldText(r.Name, name.c_str());
  return InsertNode(parent, parent ? parent->Level + 1 : 0, r);
}

// 50 groups of 1,000 folders of 19 files: 1,000,000 entries with the groups.
// Two files of every folder (file7.dat and file17.dat) hold "7.dat".
ListNode* MakeList(std::vector<ListNode*>& files) {
  ListNode* root = Entry(nullptr, ekFolder, "");
  for (int g = 0; g < 50; ++g) {
    ListNode* group = Entry(root, ekFolder, "group" + std::to_string(g));
    for (int f = 0; f < 1000; ++f) {
      ListNode* folder = Entry(group, ekFolder, "folder" + std::to_string(f));
      for (int i = 0; i < 19; ++i) files.push_back(Entry(folder, ekFile, "file" + std::to_string(i) + ".dat"));
    }
  }
  return root;
}

// A copy of the whole list, records and order as they are.
ListNode* CopyList(const ListNode* node, ListNode* parent = nullptr) {
  ListNode* copy = InsertNode(parent, node->Level, *node);
  for (int i = 0; i < node->ChildCount(); ++i) CopyList(node->Child(i), copy);
  return copy;
}

// The search written plainly: a recursive pre-order walk carrying the path
// of the folder it is in, the search's upper-casing and substring test on
// every entry, the filter asked of every matching entry, and the entry and
// its path text kept for every hit; then folders first, as the command
// orders its hits. The same work as the search, without its one-pass
// gathering of damage or its one allocation a path.
void PlainSearch(const ListNode* folder, const std::string& path, const std::string& needle, const TAnsiUpper& upper,
                 TSearchHits& hits) {
  for (int i = 0; i < folder->ChildCount(); ++i) {
    ListNode* child = folder->Child(i);
    const std::string name(child->Name, strnlen(child->Name, sizeof child->Name));
    const bool matches = upper.Of(name.c_str(), name.size()).find(needle) != std::string::npos;
    const bool hit = matches && ::ViewFilter->IsVisible(child);
    if (!hit && child->ChildCount() == 0) continue;
    const std::string full = path + "\\" + name;
    if (hit) {
      hits.Entries.push_back(child);
      hits.Paths.push_back(AnsiString(full));
    }
    PlainSearch(child, full, needle, upper, hits);
  }
}

TSearchHits PlainSearch(const ListNode* root, const char* mask) {
  const TAnsiUpper upper;
  TSearchHits hits;
  PlainSearch(root, "", upper.Of(mask, strlen(mask)), upper, hits);
  OrderFoldersFirst(hits);
  return hits;
}

// The search as the command runs it, in the present view, into hits.
void Search(const ListNode* root, const char* needle, TSearchHits& hits) {
  SearchNodes(*::ViewFilter, root, needle, "", hits);
  OrderFoldersFirst(hits);
}

// The same entries and the same path texts in the same order.
bool SameHits(const TSearchHits& a, const TSearchHits& b) {
  if (a.Entries != b.Entries || a.Paths.size() != b.Paths.size()) return false;
  for (size_t i = 0; i < a.Paths.size(); ++i)
    if (a.Paths[i].str() != b.Paths[i].str()) return false;
  return true;
}

// The cells after the name of every row of the table.
std::vector<std::wstring> RowCells(TInfoFileForm* form) {
  std::vector<std::wstring> cells;
  TUcListItems* items = form->lvInfo->Items();
  for (int r = 0; r < items->Count(); ++r) {
    std::wstring row;
    TWideSubItems* sub = items->Item(r)->SubItems();
    for (int c = 0; c < sub->Count(); ++c) row += sub->Get(c).str() + L"|";
    cells.push_back(row);
  }
  return cells;
}

// The import written plainly, on the lines the program reads from the text:
// every line upper-cased into a map from its path to its lines in text
// order; a recursive walk carrying every entry's upper-cased path gives each
// file the damaged mark when a line not yet used names it; every line left,
// once per upper-cased text, adds the folders on its way that are missing
// (found through a map of each folder's children by upper-cased name) and
// its file, absent and damaged.
class PlainImport {
 public:
  PlainImport(ListNode* root, const std::vector<AnsiString>& lines) : FLines(lines), FUsed(lines.size(), false) {
    for (size_t i = 0; i < lines.size(); ++i) FByPath[FUpper.Of(lines[i])].first.push_back(i);
    Walk(root, std::string());
    std::unordered_set<std::string> seen;
    for (size_t i = 0; i < lines.size(); ++i)
      if (!FUsed[i] && !lines[i].IsEmpty() && lines[i] != "0" && seen.insert(FUpper.Of(lines[i])).second)
        AddAbsent(root, lines[i].str());
  }
  int Matched = 0, Absent = 0;

 private:
  void Walk(ListNode* folder, const std::string& path) {
    for (int i = 0; i < folder->ChildCount(); ++i) {
      ListNode* child = folder->Child(i);
      const std::string full = (path.empty() ? std::string() : path + "\\") +
                               FUpper.Of(child->Name, strnlen(child->Name, sizeof child->Name));
      if (child->Kind == ekFolder) {
        Walk(child, full);
        continue;
      }
      const auto it = FByPath.find(full);
      if (it == FByPath.end() || it->second.second >= it->second.first.size()) continue;
      FUsed[it->second.first[it->second.second++]] = true;
      ++Matched;
      child->Attributes |= DamagedBit;
    }
  }
  ListNode* Add(ListNode* parent, const std::string& name, char kind) {
    EntryRecord r{};
    SetFieldText(r.Name, name.c_str());
    r.Kind = kind;
    r.Absent = 1;
    if (kind == ekFile) r.Attributes = DamagedBit;
    ListNode* n = InsertNode(parent, parent->Level + 1, r);
    FChildren[parent][FUpper.Of(name.c_str(), name.size())] = n;
    return n;
  }
  std::unordered_map<std::string, ListNode*>& ChildrenOf(ListNode* folder) {
    auto [it, added] = FChildren.try_emplace(folder);
    if (added)
      for (int i = 0; i < folder->ChildCount(); ++i)
        it->second.try_emplace(
            FUpper.Of(folder->Child(i)->Name, strnlen(folder->Child(i)->Name, sizeof(EntryRecord::Name))),
            folder->Child(i));
    return it->second;
  }
  void AddAbsent(ListNode* root, const std::string& line) {
    if (line.back() == '\\') return;
    ListNode* folder = root;
    size_t start = 0;
    for (size_t slash; (slash = line.find('\\', start)) != std::string::npos; start = slash + 1) {
      if (slash == start) continue;
      const std::string segment = line.substr(start, slash - start);
      auto& children = ChildrenOf(folder);
      const auto it = children.find(FUpper.Of(segment.c_str(), segment.size()));
      folder = it != children.end() && it->second->Kind == ekFolder ? it->second : Add(folder, segment, ekFolder);
    }
    const std::string name = line.substr(start);
    if (ChildrenOf(folder).count(FUpper.Of(name.c_str(), name.size()))) return;
    Add(folder, name, ekFile);
    ++Absent;
  }

  const TAnsiUpper FUpper;
  const std::vector<AnsiString>& FLines;
  std::vector<bool> FUsed;
  std::unordered_map<std::string, std::pair<std::vector<size_t>, size_t>> FByPath;
  std::unordered_map<const ListNode*, std::unordered_map<std::string, ListNode*>> FChildren;
};

struct NoProgress : IImportProgress {
  void EntryMatched(const std::string&) override {}
  void EntryChecked(const ListNode*) override {}
  void AbsentFileAdded(const AnsiString&) override {}
  void AbsentFolderAdded(ListNode*, ListNode*) override {}
  bool CancelRequested() override { return false; }
};

}  // namespace

int main() {
  RegisterUiUnits();
  StartUnits();
  Application->CreateForm(&InfoFileForm);
  TInfoFileForm* form = InfoFileForm;
  form->Show();
  Pump();
  std::vector<ListNode*> files;
  ListNode* root = MakeList(files);
  const int entries = CountNodes(root);

  // --- search
  ::ViewFilter->SetMode(vmAll);
  TSearchHits found, plain;
  const auto [bare, search] = BestPerPass(
      5, [&] { plain = PlainSearch(root, "7.dat"); },
      [&] {
        TSearchHits h;
        Search(root, "7.dat", h);
        found = std::move(h);
      });
  const size_t hits = found.Entries.size();
  printf(
      "search of %d entries (%zu hits): SearchNodes %.3f s, a plain recursive walk making the same hits and "
      "paths %.3f s\n",
      entries, hits, search, bare);
  CheckSame("search hits and paths", SameHits(found, plain) && hits > 0);
  ReportAim("search against a plain walk making the same hits and paths", search / bare, 1.5);

  // --- filling the table with the hits, and with a folder of the same entries
  form->rootNode = root;
  form->listLoaded = 1;
  ListNode* folderRoot = Entry(nullptr, ekFolder, "");
  for (const ListNode* n : found.Entries) InsertNode(folderRoot, 1, *n);
  for (const AnsiString& p : found.Paths) form->searchResultPaths->Add(p);
  auto emptyTable = [&] {
    form->lvInfo->Items()->Clear();
    ShownEntries->Children->Clear();
  };
  auto fillFolder = [&] {
    emptyTable();
    const double start = Seconds();
    FillListView(form, folderRoot, DisplayPathOf(""));
    return Seconds() - start;
  };
  auto fillResults = [&] {
    emptyTable();
    form->searchResults->Clear();
    for (ListNode* n : found.Entries) form->searchResults->Add(n);
    const double start = Seconds();
    form->ShowSearchResults(form->searchResults, form->searchResultPaths, "");
    return Seconds() - start;
  };
  const auto [folderFill, resultFill] = BestPerPass(5, fillFolder, fillResults);
  // The rows of the last passes, read outside the timed part.
  const std::vector<std::wstring> resultCells = RowCells(form);
  fillFolder();
  const std::vector<std::wstring> folderCells = RowCells(form);
  emptyTable();
  form->searchResults->Clear();
  form->searchResultPaths->Clear();
  FreeNodeTree(folderRoot);
  printf("table of %zu hits: ShowSearchResults %.3f s, the same entries from a folder %.3f s\n", hits, resultFill,
         folderFill);
  CheckSame("result rows", resultCells == folderCells && resultCells.size() == hits);
  ReportAim("filling the hits against filling a folder", resultFill / folderFill, 2.0);

  // --- views: a damaged file in every 10th folder, a marked one in every 7th
  for (size_t i = 0; i < files.size(); i += 190) files[i]->Attributes |= DamagedBit;
  for (size_t i = 0; i < files.size(); i += 133) {
    files[i]->NeedMark = 1;
    ::ViewFilter->AddMarkedCount(files[i]);
  }
  // --- the search in the damaged view: "7" also hits 13,555 folders, each
  // shown when damage lies below it
  ::ViewFilter->SetMode(vmDamaged);
  TSearchHits damagedFound, damagedPlain;
  const auto [bareDamaged, damagedSearch] = BestPerPass(
      5, [&] { damagedPlain = PlainSearch(root, "7"); },
      [&] {
        TSearchHits h;
        Search(root, "7", h);
        damagedFound = std::move(h);
      });
  ::ViewFilter->SetMode(vmAll);
  const size_t damagedHits = damagedFound.Entries.size();
  printf(
      "damaged-view search (%zu hits): SearchNodes %.3f s, a plain recursive walk making the same hits and "
      "paths (the filter asked per matching entry) %.3f s\n",
      damagedHits, damagedSearch, bareDamaged);
  CheckSame("damaged-view hits and paths", SameHits(damagedFound, damagedPlain) && damagedHits > 0);
  ReportAim("damaged-view search against a plain walk making the same hits and paths", damagedSearch / bareDamaged,
            1.5);

  // The baselines replace the tree behind the window's back, as the window's
  // own rebuilds do: nothing of the view state may point into it meanwhile.
  // Each pass of a baseline or a switch starts with that state emptied, and
  // its passes take turns with the others', so all share the machine's moments.
  TUcTreeNodes* nodes = form->tvTreeOfFile->Items();
  auto forgetView = [&] {
    emptyTable();
    form->ResetViewState();
  };
  // The baseline: the folder tree filled plainly with the folders a view
  // shows, each folder the fill meets asked of a filter in that view (as the
  // switch, it finds them within its time; the switch gathers them in one
  // walk instead).
  auto fillShown = [&](uint8_t mode) {
    return [&, mode] {
      forgetView();
      class ViewFilter filter;
      filter.SetMode(mode);
      const double start = Seconds();
      {
        TTreeRebuild rebuild(form);
        nodes->BeginUpdate();
        nodes->Clear();
        if (mode == vmAll)
          form->FillFolderTree(nullptr);
        else
          form->FillFolderTree([&](const ListNode* n) { return filter.IsVisible(n); });
        nodes->EndUpdate();
        Pump();
      }
      return Seconds() - start;
    };
  };
  // A switch starts where the user's would: every folder in the tree, the
  // first one shown.
  auto startAtAll = [&] {
    forgetView();
    {
      TTreeRebuild rebuild(form);
      nodes->Clear();
      form->FillFolderTree(nullptr);
    }
    form->ShowFolder(nodes->GetFirstNode());
    Pump();
  };
  auto switchTo = [&](void (TInfoFileForm::*command)(TObject*)) {
    return [&, command] {
      startAtAll();
      const double start = Seconds();
      (form->*command)(form);
      Pump();
      form->mmViewAllClick(form);
      Pump();
      return Seconds() - start;
    };
  };
  const auto [baseAll, baseDamaged, baseMarked, damaged, marked] =
      BestPerPass(3, fillShown(vmAll), fillShown(vmDamaged), fillShown(vmMarked),
                  switchTo(&TInfoFileForm::mmViewDamagedClick), switchTo(&TInfoFileForm::mmNeededClick));
  // The folders each view shows: the switch's tree against the baseline's
  // (read outside the timed parts).
  auto treeEntries = [&] {
    std::vector<const void*> shown;
    for (TUcTreeNode* n = nodes->GetFirstNode(); n; n = n->GetNext()) shown.push_back(n->Data());
    return shown;
  };
  auto treeOfView = [&](void (TInfoFileForm::*command)(TObject*)) {
    startAtAll();
    (form->*command)(form);
    Pump();
    const std::vector<const void*> shown = treeEntries();
    form->mmViewAllClick(form);
    Pump();
    return shown;
  };
  auto treeOfBaseline = [&](uint8_t mode) {
    fillShown(mode)();
    return treeEntries();
  };
  CheckSame("damaged view's folders", treeOfView(&TInfoFileForm::mmViewDamagedClick) == treeOfBaseline(vmDamaged));
  CheckSame("marked view's folders", treeOfView(&TInfoFileForm::mmNeededClick) == treeOfBaseline(vmMarked));
  forgetView();
  printf("damaged view and back: %.3f s, filling its folders (each asked of the filter) and all folders %.3f s\n",
         damaged, baseDamaged + baseAll);
  ReportAim("damaged view and back", damaged / (baseDamaged + baseAll), 2.0);
  printf("marked view and back : %.3f s, filling its folders (each asked of the filter) and all folders %.3f s\n",
         marked, baseMarked + baseAll);
  ReportAim("marked view and back", marked / (baseMarked + baseAll), 2.0);

  // --- import of 100,000 lines, a tenth of them absent
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  const std::string list = std::string(temp) + "fennolit-annotate-bench.txt";
  {
    std::string text = "\xEF\xBB\xBF";
    for (int i = 0; i < 100000; ++i) {
      const ListNode* f = files[(static_cast<size_t>(i) * 9973) % files.size()];
      if (i % 10 == 0)
        text += "missing\\folder" + std::to_string(i) + "\\gone.dat\r\n";
      else
        text += FieldText(f->Parent->Parent->Name).str() + "\\" + FieldText(f->Parent->Name).str() + "\\" +
                FieldText(f->Name).str() + "\r\n";
    }
    FILE* out = fopen(list.c_str(), "wb");
    fwrite(text.data(), 1, text.size(), out);
    fclose(out);
  }
  auto readText = [&] {
    using namespace Unicodesupport;
    const TextEncoding e = DetectTextEncoding(list.c_str());
    const int32_t size = TextFileSize(list.c_str());
    std::vector<char> buffer(static_cast<size_t>(size) + 1);
    ReadFileBlock(buffer.data(), list.c_str(), 0, size);
    return DecodeTextToAnsi(buffer.data(), size, e);
  };
  // Every pass on a fresh copy of the list: an import changes the list it
  // runs on (marks, absent entries), and a second pass on the same list
  // would measure other work.
  ListNode* copy = nullptr;
  ListNode* plainCopy = nullptr;
  auto freshCopy = [&](ListNode*& list) {
    if (list) FreeNodeTree(list);
    list = CopyList(root);
  };
  std::vector<std::pair<int, int>> counts, plainCounts;
  const auto [baseImport, import] = BestPerPass(
      3,
      [&] {
        freshCopy(plainCopy);
        const double start = Seconds();
        const PlainImport plainImport(plainCopy, DamagedListLines(readText()));
        const double t = Seconds() - start;
        plainCounts.emplace_back(plainImport.Matched, plainImport.Absent);
        return t;
      },
      [&] {
        freshCopy(copy);
        const double start = Seconds();
        NoProgress progress;
        TImportResult r = MatchDamagedList(copy, DamagedListLines(readText()), "", progress);
        AddAbsentEntries(copy, r.Remaining, "", progress, r);
        const double t = Seconds() - start;
        counts.emplace_back(r.Matched, r.AbsentFiles);
        return t;
      });
  const bool sameLists = SameEntriesBelow(copy, plainCopy);
  FreeNodeTree(copy);
  FreeNodeTree(plainCopy);
  printf(
      "import of 100000 lines (%d matched, %d absent added) into %d entries: %.3f s, reading the same lines and a "
      "plain walk marking and adding the same entries %.3f s\n",
      counts[0].first, counts[0].second, entries, import, baseImport);
  counts.insert(counts.end(), plainCounts.begin(), plainCounts.end());
  CheckSame(
      "import counts of every pass and the marked and added entries",
      sameLists && std::count(counts.begin(), counts.end(), counts[0]) == static_cast<std::ptrdiff_t>(counts.size()));
  ReportAim("import against the same lines marked and added by a plain walk", import / baseImport, 3.0);
  DeleteFileA(list.c_str());

  form->isModified = 0;
  delete InfoFileForm;
  FinishUnits();
  return BenchExitCode();
}
