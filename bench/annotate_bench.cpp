// annotate_bench: search, the filtered views and the import of a damaged-file
// list on a list of 1,000,000 entries in 50,000 folders, each next to a bare
// baseline measured in the same run (best of three):
//  - search against a bare pre-order walk doing the same upper-cased
//    substring test; aim 1.5x;
//  - switching to the damaged view and to the marked view and back to all,
//    against filling the folder tree with the folders each view shows;
//    aim 2x;
//  - the import of a 100,000-line UTF-8 list against reading and decoding
//    the file plus one walk of the entries; aim 3x.
//
// Run: wine <build>/bench/annotate_bench.exe   (tools/env.sh sourced, under a display)
#include "Mainunit.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <unordered_set>
#include <vector>

#include "BenchClock.h"
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

int BareSearch(const ListNode* node, const std::string& needle) {
  int hits = 0;
  std::string name;
  for (int i = 0; i < node->ChildCount(); ++i) {
    const ListNode* c = node->Child(i);
    name.assign(c->Name, strnlen(c->Name, sizeof c->Name));
    CharUpperBuffA(name.data(), static_cast<DWORD>(name.size()));
    if (strstr(name.c_str(), needle.c_str())) ++hits;
    hits += BareSearch(c, needle);
  }
  return hits;
}

template <class F> double Best(F run) {
  double best = 1e9;
  for (int round = 0; round < 3; ++round) {
    const double start = Seconds();
    run();
    best = std::min(best, Seconds() - start);
  }
  return best;
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
  int bareHits = 0;
  size_t hits = 0;
  const double bare = Best([&] { bareHits = BareSearch(root, "FILE7"); });
  const double search = Best([&] {
    TSearchHits h;
    SearchNodes(*::ViewFilter, root, "file7", "", h);
    OrderFoldersFirst(h);
    hits = h.Entries.size();
  });
  printf("search of %d entries (%zu hits, bare %d): SearchNodes %.3f s, bare walk %.3f s, ratio %.2f (aim 1.5)\n",
         entries, hits, bareHits, search, bare, search / bare);

  // --- views: a damaged file in every 10th folder, a marked one in every 7th
  for (size_t i = 0; i < files.size(); i += 190) files[i]->Attributes |= DamagedBit;
  for (size_t i = 0; i < files.size(); i += 133) {
    files[i]->NeedMark = 1;
    ::ViewFilter->AddMarkedCount(files[i]);
  }
  form->rootNode = root;
  form->listLoaded = 1;
  TUcTreeNodes* nodes = form->tvTreeOfFile->Items();
  auto fillShown = [&](uint8_t mode) {
    // The baseline: the folders the view shows, known beforehand, into the tree.
    std::unordered_set<const ListNode*> shown;
    const auto test = ViewFolderTest(root, mode);
    VisitPreOrder(static_cast<const ListNode*>(root), [&](const ListNode* n) {
      if (n->Kind == ekFolder && (!test || test(n))) shown.insert(n);
      return true;
    });
    return Best([&] {
      nodes->BeginUpdate();
      nodes->Clear();
      form->FillFolderTree([&](const ListNode* n) { return shown.count(n) != 0; });
      nodes->EndUpdate();
      Pump();
    });
  };
  const double baseAll = fillShown(vmAll), baseDamaged = fillShown(vmDamaged), baseMarked = fillShown(vmMarked);
  nodes->Clear();
  form->FillFolderTree(nullptr);
  form->tvTreeOfFile->SetSelected(nodes->GetFirstNode());
  auto switchTo = [&](void (TInfoFileForm::*command)(TObject*)) {
    return Best([&] {
      (form->*command)(form);
      Pump();
      form->mmViewAllClick(form);
      Pump();
    });
  };
  const double damaged = switchTo(&TInfoFileForm::mmViewDamagedClick);
  const double marked = switchTo(&TInfoFileForm::mmNeededClick);
  printf("damaged view and back: %.3f s, filling its folders and all folders %.3f s, ratio %.2f (aim 2.0)\n", damaged,
         baseDamaged + baseAll, damaged / (baseDamaged + baseAll));
  printf("marked view and back : %.3f s, filling its folders and all folders %.3f s, ratio %.2f (aim 2.0)\n", marked,
         baseMarked + baseAll, marked / (baseMarked + baseAll));

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
  int walked = 0;
  const double baseImport = Best([&] {
    const AnsiString text = readText();
    walked = 0;
    VisitPreOrder(root, [&](ListNode*) { return ++walked > 0; });
  });
  int matched = 0, absent = 0;
  const double import = Best([&] {
    NoProgress progress;
    TImportResult r = MatchDamagedList(root, DamagedListLines(readText()), "", progress);
    AddAbsentEntries(root, r.Remaining, "", progress, r);
    matched = r.Matched;
    absent = std::max(absent, r.AbsentFiles);
  });
  printf("import of 100000 lines (%d matched, %d absent added) into %d entries: %.3f s, reading the text and one "
         "walk %.3f s, ratio %.2f (aim 3.0)\n",
         matched, absent, walked, import, baseImport, import / baseImport);
  DeleteFileA(list.c_str());

  form->isModified = 0;
  delete InfoFileForm;
  FinishUnits();
  return 0;
}
