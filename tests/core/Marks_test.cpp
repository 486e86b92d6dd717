// Marks and comments: the transition tables of the commands, the counts of
// the ancestors after any sequence of commands, the attributes cell and the
// bounded comment copy.
#include <gtest/gtest.h>

#include <random>

#include "CoreTestUtil.h"
#include "Marks.h"

namespace {

TEST(Marks, FileTransitions) {
  enum Cmd { Needed, NotNeeded, Clear };
  struct Case {
    Cmd Command;
    uint8_t Before, After;
    int CountAfter;  // the folder's count; it starts at 1 when Before is marked
  };
  const Case cases[] = {
      {Needed, 0, 1, 1},    {Needed, 1, 0, 0},    {Needed, 2, 1, 1},    {NotNeeded, 0, 2, 1},
      {NotNeeded, 1, 2, 1}, {NotNeeded, 2, 0, 0}, {Clear, 0, 0, 0},     {Clear, 1, 0, 0},
      {Clear, 2, 0, 0},
  };
  for (const Case& c : cases) {
    ViewFilter f;
    ListNode* root = MakeEntry(nullptr, "", ekFolder);
    ListNode* folder = MakeEntry(root, "sub", ekFolder);
    ListNode* file = MakeEntry(folder, "f.txt", ekFile);
    file->NeedMark = c.Before;
    folder->MarkedCount = c.Before ? 1 : 0;
    const bool changed = c.Command == Needed ? MarkNeeded(f, file)
                         : c.Command == NotNeeded ? MarkNotNeeded(f, file)
                                                  : ClearMarks(f, file);
    EXPECT_EQ(file->NeedMark, c.After) << c.Command << " " << int(c.Before);
    EXPECT_EQ(folder->MarkedCount, c.CountAfter) << c.Command << " " << int(c.Before);
    EXPECT_EQ(root->MarkedCount, 0);  // an unnamed root is never counted
    EXPECT_EQ(changed, c.Before != c.After);
    FreeNodeTree(root);
  }
}

TEST(Marks, FolderMarksItsSubtree) {
  ViewFilter f;
  ListNode* root = MakeEntry(nullptr, "C:\\scan", ekFolder);  // a fresh scan counts its root
  ListNode* parent = MakeEntry(root, "p", ekFolder);
  ListNode* folder = MakeEntry(parent, "d", ekFolder);
  ListNode* a = MakeEntry(folder, "a", ekFile);
  ListNode* sub = MakeEntry(folder, "s", ekFolder);
  ListNode* b = MakeEntry(sub, "b", ekFile);
  EXPECT_TRUE(MarkNeeded(f, folder));
  for (ListNode* n : {folder, a, sub, b}) EXPECT_EQ(n->NeedMark, 1);
  EXPECT_EQ(folder->MarkedCount, 3);
  EXPECT_EQ(parent->MarkedCount, 4);
  EXPECT_EQ(root->MarkedCount, 4);
  EXPECT_TRUE(MarkNeeded(f, folder));  // again: all four cleared
  for (ListNode* n : {folder, a, sub, b}) EXPECT_EQ(n->NeedMark, 0);
  EXPECT_EQ(parent->MarkedCount, 0);
  // Clear on an unmarked folder keeps the marks below it, drops its damage.
  MarkNotNeeded(f, b);
  folder->Attributes = DamagedBit;
  EXPECT_TRUE(ClearMarks(f, folder));
  EXPECT_EQ(folder->Attributes, 0);
  EXPECT_EQ(b->NeedMark, 2);
  EXPECT_FALSE(ClearMarks(f, folder));
  FreeNodeTree(root);
}

// After any sequence of commands every folder's count is the number of its
// marked descendants.
TEST(Marks, CountsFollowAnySequence) {
  std::mt19937 random(15);
  for (int round = 0; round < 20; ++round) {
    ViewFilter f;
    ListNode* root = MakeEntry(nullptr, "", ekFolder);
    std::vector<ListNode*> nodes;
    for (int i = 0; i < 40; ++i) {
      ListNode* parent = root;
      for (ListNode* n : nodes)
        if (n->Kind == ekFolder && random() % 3 == 0) parent = n;
      // GCC 12 reports a false overlap inside std::string when text is put before a temporary string.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wrestrict"
      nodes.push_back(MakeEntry(parent, "n" + std::to_string(i), random() % 3 ? ekFile : ekFolder));
#pragma GCC diagnostic pop
    }
    for (int step = 0; step < 200; ++step) {
      ListNode* n = nodes[random() % nodes.size()];
      switch (random() % 4) {
        case 0: MarkNeeded(f, n); break;
        case 1: MarkNotNeeded(f, n); break;
        case 2: ClearMarks(f, n); break;
        default: ToggleDamaged(n);
      }
    }
    for (ListNode* n : nodes) {
      int marked = 0;
      VisitPreOrder(n, [&](const ListNode* d) {
        if (d != n && (d->NeedMark == 1 || d->NeedMark == 2)) ++marked;
        return true;
      });
      ASSERT_EQ(n->MarkedCount, marked) << "round " << round << " " << n->Name;
    }
    FreeNodeTree(root);
  }
}

TEST(Marks, ToggleDamagedAndItsCell) {
  ListNode* root = MakeEntry(nullptr, "", ekFolder);
  ListNode* file = MakeEntry(root, "f", ekFile);
  ListNode* folder = MakeEntry(root, "d", ekFolder);
  EXPECT_TRUE(ToggleDamaged(file));
  EXPECT_EQ(file->Attributes, DamagedBit);
  EXPECT_FALSE(ToggleDamaged(folder));
  EXPECT_EQ(folder->Attributes, 0);
  struct Case {
    const wchar_t* Before;
    bool Damaged;
    const wchar_t* After;
  };
  const Case cases[] = {{L"RA", true, L"RAE"}, {L"RAE", false, L"RA"}, {L"----", true, L"E"},
                        {L"E", false, L"----"}, {L"EAE", false, L"AE"}};
  for (const Case& c : cases) EXPECT_EQ(AttributeCellAfterToggle(c.Before, c.Damaged), WideString(c.After)) << c.Before;
  FreeNodeTree(root);
}

TEST(Marks, CommentIsBoundedByItsField) {
  ListNode* root = MakeEntry(nullptr, "", ekFolder);
  struct Case {
    std::string Text;
    std::string Stored;
  };
  const Case cases[] = {
      {std::string(254, 'a'), std::string(254, 'a')},
      {std::string(300, 'b'), std::string(254, 'b')},
      {A(L"комментарий"), A(L"комментарий")},
      {"", ""},
  };
  for (const Case& c : cases) {
    memset(root->Comment, 'z', sizeof root->Comment);
    EXPECT_TRUE(StoreComment(root, AnsiString(c.Text)));
    EXPECT_EQ(FieldText(root->Comment).str(), c.Stored);
    EXPECT_EQ(root->Comment[254], '\0');
    EXPECT_EQ(root->Comment[255], '\0');
    EXPECT_FALSE(StoreComment(root, AnsiString(c.Text)));  // the same again changes nothing
  }
  // A double-byte character is never cut in half.
  const std::string text = std::string(253, 'a') + "\xB0\xA1";
  EXPECT_EQ(CutAtCharacter(text, 254, 936).str(), std::string(253, 'a'));
  EXPECT_EQ(CutAtCharacter(text, 255, 936).str(), text);
  EXPECT_EQ(CutAtCharacter(text, 254, 1251).str(), text.substr(0, 254));
  EXPECT_EQ(CutAtCharacter("abc", 2).str(), "ab");
  FreeNodeTree(root);
}

}  // namespace
