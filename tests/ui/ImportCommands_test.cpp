// The import on the real main window: a list in each encoding that Python's
// codecs write marks the same files and adds the same absent entries, the
// folder tree gains the absent folders, and message 25 comes once, after
// the progress window has gone.
#include <gtest/gtest.h>

#include <algorithm>

#include "Progressunit.h"
#include "UiTestUtil.h"
#include "sysutils.h"

namespace {

class ImportTest : public MainWindowTest {
protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    Tree.Folder("sub");
    Tree.Folder(Ansi(L"Папка"));
    Tree.File("sub\\file.txt", 10);
    Tree.File(Ansi(L"Папка\\отчёт.txt"), 10);
    Tree.File("top.txt", 10);
    Scan(Tree.Root());
    ASSERT_NE(F->rootNode, nullptr);
  }
  // The list written by Python in an encoding: a comment, a full path, a
  // relative path in other case, a wrapped path, and two absent files.
  std::string WriteList(const std::string& codec, const std::string& mark) {
    const std::string file = Lists.File(codec + ".txt");
    const std::string script =
        "import sys\n"
        "root, codec, mark, out = sys.argv[1:5]\n"
        "lines = ['# report', root + '\\\\SUB\\\\FILE.TXT', '\\u043f\\u0430\\u043f\\u043a\\u0430\\\\\\u041e\\u0422\\u0427\\u0401\\u0422.TXT',\n"
        "         '\\u0424\\u0430\\u0439\\u043b top.txt \\u0441\\u043e\\u0434\\u0435\\u0440\\u0436\\u0438\\u0442 "
        "\\u043d\\u0435\\u043f\\u0440\\u043e\\u0447\\u0438\\u0442\\u0430\\u043d\\u043d\\u044b\\u0435 \\u0438\\u043b\\u0438 "
        "\\u043f\\u0440\\u043e\\u0447\\u0438\\u0442\\u0430\\u043d\\u043d\\u044b\\u0435 \\u0441 \\u043e\\u0448\\u0438\\u0431\\u043a\\u043e\\u0439 "
        "\\u0438\\u043b\\u0438 \\u0438\\u0437\\u043c\\u0435\\u043d\\u0451\\u043d\\u043d\\u044b\\u0435 \\u0441\\u0435\\u043a\\u0442\\u043e\\u0440\\u0430!',\n"
        "         'NEW\\\\gone.txt', '\\u041d\\u043e\\u0432\\u0430\\u044f\\\\\\u043f\\u0440\\u043e\\u043f\\u0430\\u043b.txt  ']\n"
        "data = '\\r\\n'.join(lines).encode(codec)\n"
        "open(out, 'wb').write(bytes.fromhex(mark) + data)\n";
    EXPECT_EQ(RunPython(script, Q(Tree.Root()) + " " + codec + " " + Q(mark) + " " + Q(UnixPath(file)), nullptr), 0);
    return file;
  }
  ListNode* Find(const std::string& name) { return FindEntry(F->rootNode, name); }

  TestTree Tree;
  TempDir Lists;
};

TEST_F(ImportTest, EveryEncodingGivesTheSameList) {
  struct Case {
    const char* Codec;
    const char* Mark;
  };
  const Case cases[] = {{"cp1251", ""}, {"utf-8", ""}, {"utf-8", "efbbbf"}, {"utf-16-le", "fffe"},
                        {"utf-16-be", "feff"}};
  bool first = true;
  for (const Case& c : cases) {
    KeepCurrentFolder keep;
    const std::string list = WriteList(c.Codec, c.Mark);
    const std::string message = Ansi(L"В импортируемом списке");
    DialogDriver answers({{"", IDOK, list, ""}, {message, IDOK}});
    F->isModified = 0;
    F->mmListAction->Execute();
    ASSERT_TRUE(WaitFor([&] { return answers.Shown().size() >= (first ? 2u : 1u); }, "the awaited state"))
        << c.Codec << ": " << answers.Log();
    if (first) {
      EXPECT_EQ(ProgressForm, nullptr) << "the progress window closed when files were added";
    }
    const auto told = std::count_if(answers.Shown().begin(), answers.Shown().end(), [&](const auto& seen) {
      return seen.Text.find(message) != std::string::npos;
    });
    EXPECT_EQ(told, first ? 1 : 0) << c.Codec << ": message 25 only when files were added: " << answers.Log();
    for (const char* name : {"file.txt", "top.txt"}) EXPECT_TRUE(Find(name)->Attributes & DamagedBit) << c.Codec << name;
    EXPECT_TRUE(Find(Ansi(L"отчёт.txt"))->Attributes & DamagedBit) << c.Codec;
    ListNode* gone = Find("gone.txt");
    ASSERT_NE(gone, nullptr) << c.Codec;
    EXPECT_EQ(gone->Absent, 1);
    EXPECT_EQ(gone->Attributes, DamagedBit);
    EXPECT_EQ(FieldText(gone->Parent->Name).str(), "NEW");
    ASSERT_NE(Find(Ansi(L"пропал.txt")), nullptr) << c.Codec << ": trailing blanks are no part of a name";
    int absent = 0;
    VisitPreOrder(F->rootNode, [&](ListNode* n) {
      absent += n->Absent;
      return true;
    });
    EXPECT_EQ(absent, 4) << c.Codec << ": NEW, gone.txt, Новая, пропал.txt once";
    EXPECT_EQ(F->isModified, first ? 1 : 0) << c.Codec;
    EXPECT_NE(TreeNode(L"NEW"), nullptr) << "the folder tree shows the absent folder";
    EXPECT_NE(TreeNode(L"Новая"), nullptr);
    EXPECT_TRUE(F->Enabled());
    if (ProgressForm) ProgressForm->btnOKClick(ProgressForm);
    first = false;
  }
}

TEST_F(ImportTest, NoListLoadedAndAnUnreadableFile) {
  {
    KeepCurrentFolder keep;
    const std::string empty = Lists.File("short.txt");
    WriteFileBytes(empty, "ab");
    DialogDriver answers({{"", IDOK, empty, ""}});
    F->isModified = 0;
    F->mmListAction->Execute();
    ASSERT_TRUE(WaitFor([&] { return ProgressForm && ProgressForm->btnOK->Enabled(); }, "the progress window never offered OK with its totals"));
    EXPECT_EQ(UcControl_GetText(ProgressForm->laDir), L"0");
    EXPECT_EQ(UcControl_GetText(ProgressForm->laFile), L"0");
    EXPECT_EQ(F->isModified, 0);
    ProgressForm->btnOKClick(ProgressForm);
    ASSERT_TRUE(WaitFor([&] { return ProgressForm == nullptr; }, "OK never closed the progress window"));
  }
  F->listLoaded = 0;
  DialogDriver answers({{Ansi(L"Отсутствуют данные"), IDOK}});
  F->spbtListClick(F->spbtList);
  EXPECT_TRUE(answers.Unused().empty()) << answers.Log();
  F->listLoaded = 1;
}

}  // namespace
