// One session of a user from start to end on the main window: scan a tree,
// mark, comment, import a damaged-file list in each encoding, search and
// mark a hit, switch the views, save, open the file again; every record of
// the saved list, read back by Python, is what the commands should have made.
#include <gtest/gtest.h>

#include <map>

#include "Maskunit.h"
#include "Progressunit.h"
#include "UiTestUtil.h"
#include "sysutils.h"

namespace {

// The search window answered from a timer with a mask.
const wchar_t* SearchMask = nullptr;
void CALLBACK AnswerSearch(HWND, UINT, UINT_PTR, DWORD) {
  if (!SearchMask || !MaskForm || !MaskForm->Visible() || !(MaskForm->FormState() & fsModal)) return;
  MaskForm->ledMask->SetText(SearchMask);
  SearchMask = nullptr;
  PostMessageA(MaskForm->FindBitBtn->Handle(), BM_CLICK, 0, 0);
}

class EndToEndTest : public MainWindowTest {
protected:
  void Run(TUcAction* action, const std::wstring& row) {
    const int r = RowOf(row);
    ASSERT_GE(r, 0) << Ansi(row.c_str());
    SelectRow(r);
    action->Execute();
  }
  void ShowFolder(const std::wstring& name) {
    ClickTreeNode(TreeNode(name));
    ASSERT_TRUE(WaitFor([&] { return F->currentTreeNode == TreeNode(name); }, "the awaited state"))
        << Ansi(name.c_str()) << " was never shown";
  }
  TestTree Tree;
};

TEST_F(EndToEndTest, ASessionEndsInTheRecordsItShould) {
  for (const char* f : {"docs", "docs\\deep", "media"}) Tree.Folder(f);
  Tree.File("docs\\a.txt", 100);
  Tree.File("docs\\deep\\b.txt", 100);
  Tree.File("media\\c.bin", 3000);
  Tree.File("top.txt", 10);
  Tree.File(Ansi(L"Отчёт.txt"), 10);
  Scan(Tree.Root());
  ASSERT_NE(F->rootNode, nullptr);

  // Marks and comments in the root folder and below it.
  Run(F->N5Action, L"docs");
  Run(F->N4Action, L"top.txt");
  Run(F->N4Action, L"top.txt");  // and off again
  {
    DialogDriver answers({{"TCommentForm", IDOK, Ansi(L"Комментарий\r\nв две строки"), "btOk"}});
    Run(F->commentAction, L"Отчёт.txt");
    ASSERT_TRUE(answers.Unused().empty()) << answers.Log();
  }
  ShowFolder(L"media");
  Run(F->mmDamagedAction, L"c.bin");
  {
    DialogDriver answers({{"TCommentForm", IDOK, "bad sectors", "btOk"}});
    Run(F->commentAction, L"c.bin");
    ASSERT_TRUE(answers.Unused().empty()) << answers.Log();
  }

  // The same damaged-file list in each encoding: the first import marks and
  // adds, the others find everything in place.
  TempDir lists;
  const std::string script =
      "import sys\n"
      "lines = [sys.argv[1] + '\\\\docs\\\\A.TXT', '\\u043e\\u0442\\u0447\\u0451\\u0442.txt', 'media\\\\c.bin',\n"
      "         'new\\\\gone.txt', 'lost.txt', '# comment']\n"
      "for name, codec, mark in [('ansi', 'cp1251', ''), ('u8', 'utf-8', ''), ('u8bom', 'utf-8', 'efbbbf'),\n"
      "                          ('le', 'utf-16-le', 'fffe'), ('be', 'utf-16-be', 'feff')]:\n"
      "    open(sys.argv[2] + '/' + name + '.txt', 'wb').write(bytes.fromhex(mark) + '\\n'.join(lines).encode(codec))\n";
  ASSERT_EQ(RunPython(script, Q(Tree.Root()) + " " + Q(UnixPath(lists.Path())), nullptr), 0);
  for (const char* name : {"ansi", "u8", "u8bom", "le", "be"}) {
    KeepCurrentFolder keep;
    DialogDriver answers({{"", IDOK, lists.File(std::string(name) + ".txt"), ""}, {Ansi(L"В импортируемом"), IDOK}});
    F->mmListAction->Execute();
    ASSERT_TRUE(WaitFor([&] { return F->Enabled() && !F->jobRunning; }, "the awaited state")) << name << ": the import never ended";
    if (ProgressForm) ProgressForm->btnOKClick(ProgressForm);
    ASSERT_TRUE(WaitFor([&] { return ProgressForm == nullptr; }, "the awaited state")) << name << ": the progress window stayed";
  }

  // A search, and a mark on its hit.
  SearchMask = L"C.BIN";
  const UINT_PTR timer = SetTimer(nullptr, 0, 20, &AnswerSearch);
  F->FindAction->Execute();
  KillTimer(nullptr, timer);
  ASSERT_EQ(F->lvInfo->Items()->Count(), 1);
  EXPECT_EQ(Cell(0, 0), L"media\\c.bin");
  Run(F->N4Action, L"media\\c.bin");

  // The views and back.
  F->mmViewDamagedAction->Execute();
  EXPECT_NE(TreeNode(L"new"), nullptr);
  EXPECT_EQ(TreeNode(L"deep"), nullptr);
  F->mmNeededAction->Execute();
  EXPECT_NE(TreeNode(L"deep"), nullptr);
  EXPECT_EQ(TreeNode(L"new"), nullptr);
  F->mmViewAllAction->Execute();

  TempDir out;
  SaveAs(out.File("session.vq"));
  EXPECT_EQ(F->isModified, 0);
  OpenFile(out.File("session.vq"));
  ASSERT_NE(F->rootNode, nullptr);
  EXPECT_EQ(F->listFileName, AnsiString(out.File("session.vq").c_str()));

  const std::map<std::string, std::string> expected = {
      {"<root>", "D|0|0|0|5|"},
      {"docs", "D|0|0|2|3|"},
      {"docs\\a.txt", "F|1|0|2|0|"},
      {"docs\\deep", "D|0|0|2|1|"},
      {"docs\\deep\\b.txt", "F|0|0|2|0|"},
      {"media", "D|0|0|0|1|"},
      {"media\\c.bin", "F|1|0|1|0|bad sectors"},
      {"top.txt", "F|0|0|0|0|"},
      {Ansi(L"Отчёт.txt"), "F|1|0|0|0|" + Ansi(L"Комментарий в две строки")},
      {"new", "D|0|1|0|0|"},
      {"new\\gone.txt", "F|1|1|0|0|"},
      {"lost.txt", "F|1|1|0|0|"},
  };
  const std::map<std::string, std::string> saved = SavedListRecords(out.File("session.vq"));
  for (const auto& [path, record] : expected) {
    auto it = saved.find(path);
    ASSERT_NE(it, saved.end()) << path << " is not in the saved list";
    // Attributes beyond the damaged bit come from the disk: only the rest is compared.
    EXPECT_EQ(it->second, record) << path;
  }
  EXPECT_EQ(saved.size(), expected.size());
  // And the list opened again holds the same marks.
  EXPECT_EQ(FindEntry(F->rootNode, "c.bin")->NeedMark, 1);
  EXPECT_EQ(FindEntry(F->rootNode, "gone.txt")->Absent, 1);
}

}  // namespace
