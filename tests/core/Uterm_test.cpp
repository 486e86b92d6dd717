// The view filter's visibility table, the marked counts and the view-all road.
#include <gtest/gtest.h>

#include <algorithm>

#include "CoreTestUtil.h"
#include "Uterm.h"

namespace {

TEST(ViewFilter, VisibilityByMode) {
  ViewFilter f;
  EXPECT_EQ(f.GetMode(), vmAll);
  ListNode* root = MakeEntry(nullptr, "", ekFolder);
  ListNode* a = MakeEntry(MakeEntry(MakeEntry(root, "a", ekFolder), "b", ekFolder), "c", ekFolder);
  ListNode* deep = MakeEntry(a, "deep.txt", ekFile);
  ListNode* clean = MakeEntry(root, "clean", ekFolder);
  ListNode* plain = MakeEntry(clean, "plain.txt", ekFile);
  ListNode* odd = MakeEntry(root, "odd", 'X');  // any kind but 'F' counts as a folder
  deep->Attributes = DamagedBit;
  plain->NeedMark = 2;
  // Mode 0 and unknown modes show everything.
  for (uint8_t mode : {0, 3, 255}) {
    f.SetMode(mode);
    for (const ListNode* n : {root, a, deep, clean, plain, odd}) EXPECT_TRUE(f.IsVisible(n));
  }
  EXPECT_FALSE(f.IsVisible(nullptr));
  // Damaged view: a folder with a damaged file three levels down shows; an
  // absent file shows; a folder whose only damage is its own mark shows.
  f.SetMode(vmDamaged);
  EXPECT_TRUE(f.IsVisible(root->Child(0)));
  EXPECT_TRUE(f.IsVisible(deep));
  EXPECT_FALSE(f.IsVisible(clean));
  EXPECT_FALSE(f.IsVisible(plain));
  EXPECT_FALSE(f.IsVisible(odd));
  plain->Absent = 1;
  odd->Attributes = DamagedBit;
  EXPECT_TRUE(f.IsVisible(plain));
  EXPECT_TRUE(f.IsVisible(clean));
  EXPECT_TRUE(f.IsVisible(odd));
  EXPECT_FALSE(ContainsDamaged(nullptr));
  // Marked view: need marks 1 and 2; folders also by their count.
  f.SetMode(vmMarked);
  EXPECT_TRUE(f.IsVisible(plain));
  EXPECT_FALSE(f.IsVisible(deep));
  EXPECT_FALSE(f.IsVisible(clean));
  clean->MarkedCount = 1;
  EXPECT_TRUE(f.IsVisible(clean));
  deep->MarkedCount = 5;  // a file's count does not show it
  EXPECT_FALSE(f.IsVisible(deep));
  deep->NeedMark = 3;
  EXPECT_FALSE(f.IsVisible(deep));
  a->NeedMark = 1;
  EXPECT_TRUE(f.IsVisible(a));
  FreeNodeTree(root);
}

TEST(ViewFilter, MarkedCountsStopAtAnUnnamedRoot) {
  ViewFilter f;
  // A saved or opened list: the root's Name is empty and is not counted.
  ListNode* root = MakeEntry(nullptr, "", ekFolder);
  ListNode* a = MakeEntry(root, "a", ekFolder);
  ListNode* b = MakeEntry(a, "b", ekFolder);
  ListNode* file = MakeEntry(b, "f", ekFile);
  f.AddMarkedCount(file);
  f.AddMarkedCount(file);
  EXPECT_EQ(b->MarkedCount, 2);
  EXPECT_EQ(a->MarkedCount, 2);
  EXPECT_EQ(root->MarkedCount, 0);
  EXPECT_EQ(file->MarkedCount, 0);
  f.SubMarkedCount(file);
  EXPECT_EQ(a->MarkedCount, 1);
  f.AddMarkedCount(root);
  FreeNodeTree(root);
  // A fresh scan: the root holds the scanned path and is counted.
  ListNode* scanned = MakeEntry(nullptr, "C:\\data", ekFolder);
  ListNode* x = MakeEntry(scanned, "x", ekFile);
  f.AddMarkedCount(x);
  EXPECT_EQ(scanned->MarkedCount, 1);
  FreeNodeTree(scanned);
}

struct RecordingView : IViewHost {
  std::vector<std::string> Calls;
  bool Selected = true, Saved = false, Fail = false;
  void UpdateViewMenuChecks(uint8_t mode) override { Calls.push_back("checks " + std::to_string(mode)); }
  bool HasSelectedFolder() override { return Selected; }
  void LeaveSearchView() override { Calls.push_back("leave search"); }
  bool FullTreeSaved() override { return Saved; }
  void RestoreFullTree() override {
    Calls.push_back("restore");
    if (Fail) throw Exception("tree");
  }
  void ClearHistories() override { Calls.push_back("clear histories"); }
};

TEST(ViewAll, ModeZeroChecksAndRestores) {
  ViewFilter f;
  f.SetMode(vmMarked);
  FakeHost host;
  RecordingView view;
  view.Saved = true;
  ShowAllEntries(f, view, host);
  EXPECT_EQ(f.GetMode(), vmAll);
  EXPECT_EQ(view.Calls, (std::vector<std::string>{"checks 0", "leave search", "restore", "clear histories"}));
  EXPECT_TRUE(host.Shown.empty());
}

TEST(ViewAll, NothingMoreWithoutASelectedFolder) {
  ViewFilter f;
  f.SetMode(vmDamaged);
  FakeHost host;
  RecordingView view;
  view.Selected = false;
  view.Saved = true;
  ShowAllEntries(f, view, host);
  EXPECT_EQ(f.GetMode(), vmAll);
  EXPECT_EQ(view.Calls, (std::vector<std::string>{"checks 0"}));
}

TEST(ViewAll, FullTreeShownAlreadyAndFailedRestore) {
  ViewFilter f;
  FakeHost host;
  RecordingView view;
  ShowAllEntries(f, view, host);
  EXPECT_EQ(view.Calls, (std::vector<std::string>{"checks 0", "leave search", "clear histories"}));
  view.Calls.clear();
  view.Saved = true;
  view.Fail = true;
  ShowAllEntries(f, view, host);
  EXPECT_EQ(view.Calls, (std::vector<std::string>{"checks 0", "leave search", "restore", "clear histories"}));
  EXPECT_EQ(host.Shown, (std::vector<std::string>{A(L"Ошибка при построении дерева")}));
}

}  // namespace

namespace {

// The folders of the filtered folder trees, found in one walk.
TEST(ViewFolders, DamagedAndMarkedBranches) {
  ListNode* root = MakeEntry(nullptr, "", ekFolder);
  ListNode* a = MakeEntry(root, "a", ekFolder);
  ListNode* b = MakeEntry(a, "b", ekFolder);
  ListNode* c = MakeEntry(b, "c", ekFolder);
  ListNode* deep = MakeEntry(c, "deep.txt", ekFile);
  ListNode* d = MakeEntry(root, "d", ekFolder);
  ListNode* e = MakeEntry(d, "e", ekFolder);
  ListNode* absent = MakeEntry(root, "gone", ekFolder);
  ListNode* clean = MakeEntry(root, "clean", ekFolder);
  MakeEntry(clean, "x.txt", ekFile);
  deep->Attributes = DamagedBit;
  absent->Absent = 1;
  ViewFilter f;
  e->NeedMark = 1;
  f.AddMarkedCount(e);
  struct Case {
    uint8_t Mode;
    std::vector<const ListNode*> Shown;
  };
  const Case cases[] = {
      {vmDamaged, {a, b, c, absent}},
      {vmMarked, {d, e}},
  };
  for (const Case& cs : cases) {
    const auto shown = ViewFolderTest(root, cs.Mode);
    ASSERT_TRUE(shown);
    for (const ListNode* n : {a, b, c, d, e, absent, clean}) {
      const bool expected = std::find(cs.Shown.begin(), cs.Shown.end(), n) != cs.Shown.end();
      EXPECT_EQ(shown(n), expected) << int(cs.Mode) << " " << n->Name;
    }
  }
  EXPECT_FALSE(ViewFolderTest(root, vmAll));
  EXPECT_FALSE(ViewFolderTest(root, 7));
  FreeNodeTree(root);
}

}  // namespace
