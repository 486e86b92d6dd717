// The import of damaged-file lists: reading the lines, matching them to the
// files of the list, and adding what the list lacks as absent entries.
#include <gtest/gtest.h>

#include "CoreTestUtil.h"
#include "Import.h"

namespace {

// Records what the import reports; cancels after a number of checks.
class Recorder : public IImportProgress {
public:
  void EntryMatched(const std::string& p) override { Matched.push_back(p); }
  void EntryChecked(const ListNode*) override {}
  void AbsentFileAdded(const AnsiString& u) override { Added.push_back(u.str()); }
  void AbsentFolderAdded(ListNode*, ListNode* folder) override { Folders.push_back(FieldText(folder->Name).str()); }
  bool CancelRequested() override { return CancelAfter >= 0 && Polls++ >= CancelAfter; }
  std::vector<std::string> Matched, Added, Folders;
  int CancelAfter = -1;
  int Polls = 0;
};

std::vector<std::string> Strings(const std::vector<AnsiString>& lines) {
  std::vector<std::string> out;
  for (const AnsiString& l : lines) out.push_back(l.str());
  return out;
}

TEST(ImportLines, CommentsWrappersAndBlanks) {
  const std::string text = "# note\r\n//c\n/*c*/\rA#B.TXT\r\n" + A(L"Файл ") + "SUB\\F.TXT" +
                           A(L" содержит непрочитанные или прочитанные с ошибкой или изменённые сектора!") +
                           "\r\n" + A(L"Ошибка сохранения файла ") + "X.TXT : Operation aborted\r\n" +
                           // the trailing text before the leading one: left as it is
                           A(L" прервано Сохранение файла ") + "Y\r\n" + "pad.txt \t\r\n\r\n0";
  const std::vector<std::string> expected = {"A#B.TXT", "SUB\\F.TXT", "X.TXT",
                                             A(L" прервано Сохранение файла ") + "Y", "pad.txt", "", "0"};
  EXPECT_EQ(Strings(DamagedListLines(AnsiString(text))), expected);
  EXPECT_TRUE(DamagedListLines("").empty());
}

TEST(ImportLines, ControlCharactersNameNoFile) {
  struct Case {
    std::string Line;
    bool Kept;
  };
  const Case cases[] = {
      {"a.txt", true},
      {"tab\there.txt", true},                  // a tab may stand in a name
      {std::string("bin\x01ary.txt"), false},  // bytes 1 to 31 cannot
      {std::string("\x1F"), false},
      {std::string("x\x0By"), false},
      {std::string("MZ\x90\x03"), false},  // the start of a program chosen by mistake
      {"\x7F" "del.txt", true},             // 127 is no control character here
      {A(L"отчёт.txt"), true},
  };
  for (const Case& c : cases) {
    const std::vector<AnsiString> lines = DamagedListLines(AnsiString(c.Line));
    EXPECT_EQ(lines.size(), c.Kept ? 1u : 0u) << testing::PrintToString(c.Line);
  }
}

TEST(ImportLines, RelativePaths) {
  struct Case {
    const char* Line;
    const char* Root;
    bool Ok;
    const char* Relative;
  };
  const Case cases[] = {
      {"SUB\\F.TXT", "D:\\DATA", true, "SUB\\F.TXT"},
      {"\\SUB\\F.TXT", "D:\\DATA", true, "SUB\\F.TXT"},
      {"d:\\data\\SUB\\F.TXT", "D:\\DATA", true, "SUB\\F.TXT"},
      {"E:\\OTHER\\SUB\\F.TXT", "D:\\DATA", false, ""},
      {"D:\\DATA2\\F.TXT", "D:\\DATA", false, ""},  // a longer root is another root
      {"D:\\F.TXT", "D:\\", true, "F.TXT"},         // a drive root brings its own "\"
      {"D:\\DATA\\F.TXT", "", false, ""},           // no root path: full paths never match
      {"X:\\A\\D:\\DATA\\F.TXT", "D:\\DATA", false, ""},  // the root must be the prefix
  };
  for (const Case& c : cases) {
    AnsiString relative;
    EXPECT_EQ(RelativeLinePath(c.Line, c.Root, relative), c.Ok) << c.Line;
    if (c.Ok) {
      EXPECT_EQ(relative.str(), c.Relative) << c.Line;
    }
  }
}

class ImportTree : public ::testing::Test {
public:
  void SetUp() override {
    root = MakeEntry(nullptr, "", ekFolder);
    sub = MakeEntry(root, "SUB", ekFolder);
    file = MakeEntry(sub, "File.txt", ekFile);
    deeper = MakeEntry(sub, "DEEPER", ekFolder);
    a = MakeEntry(root, "A.TXT", ekFile);
    data = MakeEntry(root, "DATA.TXT", ekFile);
    cyr = MakeEntry(root, A(L"Корень"), ekFolder);
    cyrFile = MakeEntry(cyr, A(L"НОВОЕ.TXT"), ekFile);
  }
  void TearDown() override { FreeNodeTree(root); }
  TImportResult Import(const std::vector<std::string>& lines, const std::string& rootPath = "D:\\DATA") {
    std::vector<AnsiString> l(lines.begin(), lines.end());
    TImportResult r = MatchDamagedList(root, l, rootPath, progress);
    AddAbsentEntries(root, r.Remaining, rootPath, progress, r);
    return r;
  }
  static bool Damaged(const ListNode* n) { return n->Attributes & DamagedBit; }
  Recorder progress;
  ListNode *root, *sub, *file, *deeper, *a, *data, *cyr, *cyrFile;
};

TEST_F(ImportTree, MatchesWholeRelativePathsOnly) {
  struct Case {
    std::vector<std::string> Lines;
    std::vector<ListNode* ImportTree::*> Marked;
    int Absent;
  };
  const Case cases[] = {
      {{"sub\\FILE.TXT"}, {&ImportTree::file}, 0},
      {{"D:\\DATA\\SUB\\FILE.TXT"}, {&ImportTree::file}, 0},
      {{"E:\\OTHER\\SUB\\FILE.TXT"}, {}, 0},  // another root: nothing marked, nothing added
      {{"DATA.TXT"}, {&ImportTree::data}, 0},  // not A.TXT, which only stands inside it
      {{A(L"НОВАЯ") + "\\DATA.TXT"}, {}, 1},   // not the root's DATA.TXT
      {{A(L"корень") + "2\\" + A(L"НОВОЕ.TXT")}, {}, 1},
      {{A(L"КОРЕНЬ") + "\\" + A(L"новое.txt")}, {&ImportTree::cyrFile}, 0},
      {{"E:\\OTHER\\A.TXT", "A.TXT"}, {&ImportTree::a}, 0},  // a wrong root uses up nothing
      {{"SUB", "SUB\\DEEPER", "0", ""}, {}, 0},
  };
  for (const Case& c : cases) {
    TearDown();
    SetUp();
    Import(c.Lines);
    for (const ListNode* n : {file, a, data, cyrFile}) {
      bool expected = false;
      for (auto m : c.Marked) expected = expected || this->*m == n;
      EXPECT_EQ(Damaged(n), expected) << c.Lines[0] << " " << n->Name;
    }
    EXPECT_EQ(static_cast<int>(progress.Added.size()), c.Absent) << c.Lines[0];
    progress = Recorder();
  }
}

TEST_F(ImportTree, AbsentEntriesWithTheirFolders) {
  const TImportResult r = Import({"NEW\\X.TXT", "new\\x.txt", "NEW\\\\DEEP\\Y.TXT", "\\\\Z.TXT", "SUB\\",
                                  "GONE\\", "GONE\\MORE\\", "\\"});
  EXPECT_EQ(r.AbsentFiles, 3);
  EXPECT_TRUE(r.Changed);
  ASSERT_EQ(root->ChildCount(), 6);  // NEW, and Z.TXT at the root
  ListNode* added = root->Child(4);
  EXPECT_EQ(FieldText(added->Name).str(), "NEW");
  EXPECT_EQ(added->Kind, ekFolder);
  EXPECT_EQ(added->Absent, 1);
  EXPECT_EQ(added->Attributes, 0);
  EXPECT_EQ(added->Level, 1);
  ASSERT_EQ(added->ChildCount(), 2);  // X.TXT once, and DEEP (no nameless folder)
  const ListNode* x = added->Child(0);
  EXPECT_EQ(FieldText(x->Name).str(), "X.TXT");
  EXPECT_EQ(x->Kind, ekFile);
  EXPECT_EQ(x->Attributes, DamagedBit);
  EXPECT_EQ(x->Absent, 1);
  EXPECT_EQ(x->Level, 2);
  EXPECT_EQ(FieldText(added->Child(1)->Child(0)->Name).str(), "Y.TXT");
  EXPECT_EQ(FieldText(root->Child(5)->Name).str(), "Z.TXT");
  // A line ending in "\" names no file: no nameless entry below SUB, and
  // no folder GONE on the way to nothing.
  EXPECT_EQ(sub->ChildCount(), 2);
  EXPECT_EQ(progress.Folders, (std::vector<std::string>{"NEW", "DEEP"}));
  // The same list again adds nothing more.
  progress = Recorder();
  const TImportResult again = Import({"NEW\\X.TXT", "SUB\\"});
  EXPECT_EQ(again.AbsentFiles, 0);
  EXPECT_FALSE(again.Changed);  // X.TXT was damaged already
}

TEST_F(ImportTree, ALongNameFillsTheField) {
  const std::string name(300, 'n');
  Import({name});
  const ListNode* added = root->Child(root->ChildCount() - 1);
  EXPECT_EQ(std::string(added->Name, 256), name.substr(0, 256));
}

TEST_F(ImportTree, EachLineMarksOneFileAndCancelStops) {
  ListNode* twin = MakeEntry(root, "a.txt", ekFile);  // the same path but for case
  TImportResult r = Import({"A.TXT"});
  EXPECT_TRUE(Damaged(a));
  EXPECT_FALSE(Damaged(twin)) << "the line was used by the first file";
  EXPECT_EQ(r.Matched, 1);
  TearDown();
  SetUp();
  progress.CancelAfter = 2;
  r = Import({"SUB\\FILE.TXT", "A.TXT", "NEW\\Q.TXT"});
  EXPECT_TRUE(r.Cancelled);
  EXPECT_TRUE(Damaged(file)) << "marks set before the cancel stay";
  EXPECT_FALSE(Damaged(a));
  EXPECT_TRUE(progress.Added.empty());
}

}  // namespace
