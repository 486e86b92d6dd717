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
#include <unordered_set>
#include <vector>

#include "BenchClock.h"
#include "BenchReport.h"
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

// The search's own matching (the same upper-casing and substring test) over
// a bare pre-order walk; visible, when given, says which matching entries
// count.
size_t BareSearch(const ListNode* root, const std::string& needle,
                  const std::function<bool(const ListNode*)>& visible = nullptr) {
  const TAnsiUpper upper;
  size_t hits = 0;
  std::string name;
  VisitPreOrder(root, [&](const ListNode* c) {
    if (c == root) return true;
    name.assign(c->Name, strnlen(c->Name, sizeof c->Name));
    upper.Apply(name);
    if (name.find(needle) != std::string::npos && (!visible || visible(c))) ++hits;
    return true;
  });
  return hits;
}

// The search as the command runs it, in the present view, into hits; its
// seconds.
double TimedSearch(const ListNode* root, const char* needle, TSearchHits& hits) {
  const double start = Seconds();
  SearchNodes(*::ViewFilter, root, needle, "", hits);
  OrderFoldersFirst(hits);
  return Seconds() - start;
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
  size_t bareHits = 0, hits = 0;
  TSearchHits found;
  const auto [bare, search] = BestPerPass(
      5, [&] { bareHits = BareSearch(root, "7.DAT"); },
      [&] {
        TSearchHits h;
        const double t = TimedSearch(root, "7.dat", h);
        hits = h.Entries.size();
        found = std::move(h);
        return t;
      });
  printf("search of %d entries (%zu hits, bare %zu): SearchNodes %.3f s, bare walk %.3f s\n", entries, hits, bareHits,
         search, bare);
  CheckSame("search hits", hits == bareHits);
  ReportAim("search against a bare walk", search / bare, 1.5);

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
  size_t damagedHits = 0;
  const auto [bareDamaged, damagedSearch] = BestPerPass(
      5, [&] { BareSearch(root, "7"); },
      [&] {
        TSearchHits h;
        const double t = TimedSearch(root, "7", h);
        damagedHits = h.Entries.size();
        return t;
      });
  // What the filter says of every matching entry, asked one by one.
  const size_t expectedDamaged = BareSearch(root, "7", [](const ListNode* n) { return ::ViewFilter->IsVisible(n); });
  ::ViewFilter->SetMode(vmAll);
  printf("damaged-view search (%zu hits, the filter asked per entry %zu): SearchNodes %.3f s, bare walk %.3f s\n",
         damagedHits, expectedDamaged, damagedSearch, bareDamaged);
  CheckSame("damaged-view hits", damagedHits == expectedDamaged && damagedHits > 0);
  ReportAim("damaged-view search against a bare walk", damagedSearch / bareDamaged, 1.5);

  // The baselines replace the tree behind the window's back, as the window's
  // own rebuilds do: nothing of the view state may point into it meanwhile.
  // Each pass of a baseline or a switch starts with that state emptied, and
  // its passes take turns with the others', so all share the machine's moments.
  TUcTreeNodes* nodes = form->tvTreeOfFile->Items();
  auto forgetView = [&] {
    emptyTable();
    form->ResetViewState();
  };
  // The baseline: the folders each view shows, known beforehand, into the tree.
  auto fillShown = [&](uint8_t mode) {
    auto shown = std::make_shared<std::unordered_set<const ListNode*>>();
    const auto test = ViewFolderTest(root, mode);
    VisitPreOrder(static_cast<const ListNode*>(root), [&](const ListNode* n) {
      if (n->Kind == ekFolder && (!test || test(n))) shown->insert(n);
      return true;
    });
    return [&, shown] {
      forgetView();
      const double start = Seconds();
      {
        TTreeRebuild rebuild(form);
        nodes->BeginUpdate();
        nodes->Clear();
        form->FillFolderTree([&](const ListNode* n) { return shown->count(n) != 0; });
        nodes->EndUpdate();
        Pump();
      }
      return Seconds() - start;
    };
  };
  // A switch starts where the user's would: every folder in the tree, the
  // first one shown.
  auto switchTo = [&](void (TInfoFileForm::*command)(TObject*)) {
    return [&, command] {
      forgetView();
      {
        TTreeRebuild rebuild(form);
        nodes->Clear();
        form->FillFolderTree(nullptr);
      }
      form->ShowFolder(nodes->GetFirstNode());
      Pump();
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
  printf("damaged view and back: %.3f s, filling its folders and all folders %.3f s\n", damaged, baseDamaged + baseAll);
  ReportAim("damaged view and back", damaged / (baseDamaged + baseAll), 2.0);
  printf("marked view and back : %.3f s, filling its folders and all folders %.3f s\n", marked, baseMarked + baseAll);
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
  int walked = 0;
  ListNode* copy = nullptr;
  auto freshCopy = [&] {
    if (copy) FreeNodeTree(copy);
    copy = CopyList(root);
  };
  std::vector<std::pair<int, int>> counts;
  const auto [baseImport, import] = BestPerPass(
      3,
      [&] {
        freshCopy();
        const double start = Seconds();
        const AnsiString text = readText();
        walked = 0;
        VisitPreOrder(copy, [&](ListNode*) { return ++walked > 0; });
        return Seconds() - start;
      },
      [&] {
        freshCopy();
        const double start = Seconds();
        NoProgress progress;
        TImportResult r = MatchDamagedList(copy, DamagedListLines(readText()), "", progress);
        AddAbsentEntries(copy, r.Remaining, "", progress, r);
        const double t = Seconds() - start;
        counts.emplace_back(r.Matched, r.AbsentFiles);
        return t;
      });
  FreeNodeTree(copy);
  printf("import of 100000 lines (%d matched, %d absent added) into %d entries: %.3f s, reading the text and one "
         "walk %.3f s\n",
         counts[0].first, counts[0].second, walked, import, baseImport);
  CheckSame("import counts of every pass",
            std::count(counts.begin(), counts.end(), counts[0]) == static_cast<std::ptrdiff_t>(counts.size()));
  ReportAim("import against reading and one walk", import / baseImport, 3.0);
  DeleteFileA(list.c_str());

  form->isModified = 0;
  delete InfoFileForm;
  FinishUnits();
  return BenchExitCode();
}
