// Search by name: the needle, case-folding of the code page, the view
// filter, paths and captions, folders first, and the look-ups by name.
#include <gtest/gtest.h>

#include "CoreTestUtil.h"
#include "Search.h"

namespace {

std::vector<std::string> Names(const TSearchHits& hits) {
  std::vector<std::string> names;
  for (const ListNode* n : hits.Entries) names.push_back(FieldText(n->Name).str());
  return names;
}

class SearchTree : public ::testing::Test {
protected:
  void SetUp() override {
    root = MakeEntry(nullptr, "D:\\Data\\", ekFolder);
    docs = MakeEntry(root, "Documents", ekFolder);
    MakeEntry(docs, "readme.doc", ekFile);
    MakeEntry(docs, "a.txt", ekFile);
    MakeEntry(root, "B.TXT", ekFile);
    MakeEntry(root, "x.txt.bak", ekFile);
    cyr = MakeEntry(root, A(L"док.txt"), ekFile);
    hidden = MakeEntry(root, "plain", ekFolder);
    MakeEntry(hidden, "deep.txt", ekFile)->Attributes = DamagedBit;
  }
  void TearDown() override { FreeNodeTree(root); }
  TSearchHits Run(const AnsiString& typed, uint8_t mode = vmAll) {
    ViewFilter filter;
    filter.SetMode(mode);
    TSearchHits hits;
    SearchNodes(filter, root, SearchNeedle(typed), SearchBasePath(root), hits);
    return hits;
  }
  ListNode *root, *docs, *cyr, *hidden;
};

TEST_F(SearchTree, MasksAndCase) {
  struct Case {
    std::string Typed;
    uint8_t Mode;
    std::vector<std::string> Hits;
  };
  const Case cases[] = {
      {"*.txt", vmAll, {"a.txt", "B.TXT", "x.txt.bak", A(L"док.txt"), "deep.txt"}},
      {"*a*", vmAll, {}},  // the second star is literal
      {"*", vmAll, {}},    // nothing left to look for
      {"DOC", vmAll, {"Documents", "readme.doc"}},
      {A(L"ДОК"), vmAll, {A(L"док.txt")}},
      // Only what the view shows; a hidden folder is still searched below.
      {".txt", vmDamaged, {"deep.txt"}},
  };
  for (const Case& c : cases) EXPECT_EQ(Names(Run(c.Typed, c.Mode)), c.Hits) << c.Typed;
}

TEST_F(SearchTree, PathsAndCaptions) {
  const TSearchHits hits = Run("a.txt");
  ASSERT_EQ(hits.Paths.size(), 1u);
  EXPECT_EQ(hits.Paths[0].str(), "D:\\Data\\Documents\\a.txt");
  EXPECT_EQ(SearchCaption(hits.Paths[0], SearchBasePath(root)).str(), "Documents\\a.txt");
  // A list whose root has no name (saved or opened): paths start with "\".
  memset(root->Name, 0, sizeof root->Name);
  const TSearchHits loaded = Run("a.txt");
  EXPECT_EQ(loaded.Paths[0].str(), "\\Documents\\a.txt");
  EXPECT_EQ(SearchCaption(loaded.Paths[0], SearchBasePath(root)).str(), "Documents\\a.txt");
  // A drive root: "C:\" gives the base "C:".
  SetFieldText(root->Name, AnsiString("C:\\"));
  EXPECT_EQ(SearchBasePath(root).str(), "C:");
}

TEST(Search, FoldersFirstByExchanges) {
  ListNode* root = MakeEntry(nullptr, "", ekFolder);
  for (const char* n : {"F1", "F2", "D1", "D2", "F3", "D3"}) MakeEntry(root, n, n[0]);
  TSearchHits hits;
  for (int i = 0; i < root->ChildCount(); ++i) {
    hits.Entries.push_back(root->Child(i));
    hits.Paths.push_back("\\" + FieldText(root->Child(i)->Name));
  }
  OrderFoldersFirst(hits);
  const std::vector<std::string> order = {"D1", "D2", "D3", "F2", "F3", "F1"};
  EXPECT_EQ(Names(hits), order);
  for (size_t i = 0; i < order.size(); ++i) EXPECT_EQ(hits.Paths[i].str(), "\\" + order[i]);
  FreeNodeTree(root);
}

// The damaged view in one walk: every matching folder is kept exactly when
// damage lies somewhere below it (or on itself), whatever the depth and
// whatever comes after it, and the paths stay beside their entries.
TEST(Search, DamagedViewKeepsFoldersWithDamageBelow) {
  ListNode* root = MakeEntry(nullptr, "R:", ekFolder);
  ListNode* deep = MakeEntry(MakeEntry(MakeEntry(root, "hit-a", ekFolder), "hit-b", ekFolder), "c", ekFolder);
  MakeEntry(deep, "hit-ok.txt", ekFile);
  MakeEntry(deep, "bad.txt", ekFile)->Attributes = DamagedBit;             // last child of the deepest folder
  ListNode* clean = MakeEntry(root, "hit-clean", ekFolder);                 // matches, no damage below
  MakeEntry(MakeEntry(clean, "hit-inner", ekFolder), "ok.txt", ekFile);     // nor here
  MakeEntry(root, "hit-empty", ekFolder)->Attributes = DamagedBit;          // its own mark, no children
  MakeEntry(root, "hit-bare", ekFolder);                                    // no children, no mark
  ListNode* absent = MakeEntry(root, "hit-gone", ekFolder);
  MakeEntry(absent, "hit-missing.txt", ekFile)->Absent = 1;                 // absent counts as damage
  MakeEntry(absent, "hit-fine.txt", ekFile);
  ListNode* clean2 = MakeEntry(root, "hit-clean2", ekFolder);               // after a dropped one
  MakeEntry(clean2, "x.txt", ekFile);
  ViewFilter filter;
  filter.SetMode(vmDamaged);
  TSearchHits hits;
  SearchNodes(filter, root, "HIT", "R:", hits);
  const std::vector<std::string> expected = {"hit-a", "hit-b", "hit-empty", "hit-gone", "hit-missing.txt"};
  EXPECT_EQ(Names(hits), expected);
  ASSERT_EQ(hits.Paths.size(), expected.size());
  EXPECT_EQ(hits.Paths[1].str(), "R:\\hit-a\\hit-b");
  EXPECT_EQ(hits.Paths[4].str(), "R:\\hit-gone\\hit-missing.txt");
  // The same answer as asking the filter of every matching entry.
  std::vector<std::string> asked;
  VisitPreOrder(static_cast<const ListNode*>(root), [&](const ListNode* n) {
    if (n != root && FieldText(n->Name).Pos("hit") == 1 && filter.IsVisible(n)) asked.push_back(FieldText(n->Name).str());
    return true;
  });
  EXPECT_EQ(asked, expected);
  FreeNodeTree(root);
}

TEST(Search, FindChildNodeByNameAndLevel) {
  ListNode* root = MakeEntry(nullptr, "", ekFolder);
  ListNode* x = MakeEntry(root, "x", ekFolder);
  ListNode* inner = MakeEntry(x, "x", ekFile);
  ListNode* other = MakeEntry(MakeEntry(root, "y", ekFolder), "x", ekFolder);
  MakeEntry(root, "X", ekFile);
  EXPECT_EQ(FindChildNode(root, "x", 2), inner);
  EXPECT_EQ(FindChildNode(root, "x", 1), x);
  EXPECT_EQ(FindChildNode(root, "x", 3), nullptr);
  EXPECT_EQ(FindChildNode(x, "x", 1), nullptr);  // the node itself is not tested
  TList found;
  CollectNodesByName(root, "x", 2, &found);
  ASSERT_EQ(found.Count(), 2);
  EXPECT_EQ(found.Items(0), inner);
  EXPECT_EQ(found.Items(1), other);
  CollectNodesByName(root, "x", 2, nullptr);
  FreeNodeTree(root);
}

}  // namespace
