// The import on the real main window: a list in each encoding that Python's
// codecs write marks the same files and adds the same absent entries, the
// folder tree gains the absent folders, message 25 comes once in front of
// the totals, which stay above the main window until the user closes them,
// the totals window shows its OK button and takes Enter and Esc, and a list
// that cannot be read is told and changes nothing.
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

TEST_F(ImportTest, NoListLoadedAndListsThatCannotBeRead) {
  // Too short, UTF-32, malformed UTF-8, missing: one message each, no
  // progress window, the list and the lines of the last import unchanged.
  struct Case {
    const char* Name;
    std::string Bytes;  // none: the file does not exist
    bool Exists;
  };
  const Case cases[] = {
      {"short.txt", "ab", true},
      {"utf32.txt", std::string("\xFF\xFE\0\0t\0\0\0", 8), true},
      {"badutf8.txt", "\xEF\xBB\xBFtop.txt\xD0(", true},
      {"missing.txt", "", false},
  };
  F->damagedNames->Add("kept");
  for (const Case& c : cases) {
    KeepCurrentFolder keep;
    const std::string file = Lists.File(c.Name);
    if (c.Exists) WriteFileBytes(file, c.Bytes);
    DialogDriver answers({{"", IDOK, file, ""}, {Ansi(L"Не удалось прочитать файл"), IDOK}});
    F->isModified = 0;
    F->mmListAction->Execute();
    EXPECT_TRUE(answers.Unused().empty()) << c.Name << ": " << answers.Log();
    EXPECT_EQ(answers.Shown().size(), 2u) << c.Name << ": " << answers.Log();
    EXPECT_EQ(ProgressForm, nullptr) << c.Name;
    EXPECT_EQ(F->isModified, 0) << c.Name;
    EXPECT_FALSE(Find("top.txt")->Attributes & DamagedBit) << c.Name;
    ASSERT_EQ(F->damagedNames->Count(), 1) << c.Name;
    EXPECT_EQ(F->damagedNames->Strings(0).str(), "kept") << c.Name;
    EXPECT_TRUE(F->Enabled());
  }
  F->listLoaded = 0;
  DialogDriver answers({{Ansi(L"Отсутствуют данные"), IDOK}});
  F->spbtListClick(F->spbtList);
  EXPECT_TRUE(answers.Unused().empty()) << answers.Log();
  F->listLoaded = 1;
}

const wchar_t* const ImportCaption = L"Прогресс импорта списка поврежденных файлов";

// The totals as the window shows them, in the import's own texts.
void ExpectImportTotals(TProgressForm* w, const wchar_t* damaged, const wchar_t* absent) {
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(IsWindowVisible(w->Handle()));
  EXPECT_EQ(UcControl_GetText(w).str(), ImportCaption);
  EXPECT_EQ(UcControl_GetText(w->CountDirsLabel).str(), L"Поврежденных:");
  EXPECT_EQ(UcControl_GetText(w->CountFilesLabel).str(), L"Отсутствующих:");
  EXPECT_EQ(UcControl_GetText(w->laDir).str(), damaged);
  EXPECT_EQ(UcControl_GetText(w->laFile).str(), absent);
  EXPECT_TRUE(w->btnOK->Enabled());
  EXPECT_TRUE(IsWindowVisible(w->btnOK->Handle()));
}

// The program's own shown windows as they lie on the screen, the top one first.
std::vector<HWND> OwnWindowsTopDown() {
  std::vector<HWND> order;
  for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT))
    if (IsOwnThreadWindow(w) && IsWindowVisible(w)) order.push_back(w);
  return order;
}

// Where a window lies in that order; -1 when it is not shown.
int Depth(const std::vector<HWND>& order, HWND window) {
  const auto at = std::find(order.begin(), order.end(), window);
  return at == order.end() ? -1 : static_cast<int>(at - order.begin());
}

TEST_F(ImportTest, Message25ComesInFrontOfTheTotalsWhichStayAboveTheMainWindow) {
  for (const UINT key : {VK_RETURN, VK_ESCAPE}) {
    KeepCurrentFolder keep;
    // One file found, one absent file added (another one each round).
    const std::string list = Lists.File("absent.txt");
    WriteFileBytes(list, "top.txt\r\nNEW\\gone" + std::to_string(key) + ".txt\r\n");
    bool seen = false;
    DialogDriver answers({{"", IDOK, list, ""},
                          {Ansi(L"В импортируемом списке"), IDOK, "", "", [&](HWND box) {
                             seen = true;
                             ASSERT_NE(ProgressForm, nullptr);
                             ExpectImportTotals(ProgressForm, L"1", L"1");
                             EXPECT_EQ(GetWindow(box, GW_OWNER), ProgressForm->Handle()) << "the box goes with the totals";
                             const std::vector<HWND> order = OwnWindowsTopDown();
                             const int boxAt = Depth(order, box);
                             const int totalsAt = Depth(order, ProgressForm->Handle());
                             const int mainAt = Depth(order, F->Handle());
                             EXPECT_TRUE(boxAt >= 0 && boxAt < totalsAt && totalsAt < mainAt)
                                 << "box " << boxAt << ", totals " << totalsAt << ", main window " << mainAt
                                 << ": the box, then the totals, then the main window";
                             RECT screen;
                             GetWindowRect(GetDesktopWindow(), &screen);
                             KeepShot(CaptureScreen(screen), "message25-in-front-of-the-totals");
                           }}});
    F->lvInfo->SetFocus();
    F->mmListAction->Execute();
    EXPECT_TRUE(seen) << answers.Log();
    // The totals stay above the main window, their OK ready for Enter and
    // Esc, until the user closes them.
    TProgressForm* totals = ProgressForm;
    ASSERT_NE(totals, nullptr);
    ExpectImportTotals(totals, L"1", L"1");
    auto totalsAbove = [&] {
      const std::vector<HWND> order = OwnWindowsTopDown();
      return Depth(order, totals->Handle()) < Depth(order, F->Handle());
    };
    EXPECT_TRUE(totalsAbove()) << "the totals went behind the main window";
    const HWND ok = totals->btnOK->Handle();
    ASSERT_TRUE(WaitFor([&] { return GetFocus() == ok; }, "OK of the totals has the focus"));
    // The main window in front (a click on it) leaves the totals above it.
    SetActiveWindow(F->Handle());
    ASSERT_TRUE(WaitFor([&] { return GetActiveWindow() == F->Handle(); }, "the main window active"));
    EXPECT_TRUE(totalsAbove()) << "the totals went behind the main window when it came to the front";
    SetActiveWindow(totals->Handle());
    ASSERT_TRUE(WaitFor([&] { return GetFocus() == ok; }, "OK of the totals has the focus again"));
    PostKey(ok, key);
    ASSERT_TRUE(WaitFor([] { return ProgressForm == nullptr; }, "the key closed the totals"));
    // The main window is in front again with the focus where it was: the
    // next shortcut reaches it.
    EXPECT_TRUE(F->Enabled());
    EXPECT_TRUE(WaitFor([&] { return GetActiveWindow() == F->Handle() && GetFocus() == F->lvInfo->Handle(); },
                        "the main window active with the table focused"));
    EXPECT_EQ(F->cancelRequested, 0);
  }
}

TEST_F(ImportTest, EnterOrEscClosesTheTotalsWhenNoMessageFollows) {
  WriteFileBytes(Lists.File("found.txt"), "top.txt\r\n");
  for (const UINT key : {VK_RETURN, VK_ESCAPE}) {
    KeepCurrentFolder keep;
    {
      DialogDriver answers({{"", IDOK, Lists.File("found.txt"), ""}});
      F->mmListAction->Execute();
      EXPECT_TRUE(answers.Unused().empty()) << answers.Log();
    }
    ASSERT_NE(ProgressForm, nullptr) << key;
    ExpectImportTotals(ProgressForm, L"1", L"0");
    const HWND ok = ProgressForm->btnOK->Handle();
    ASSERT_TRUE(WaitFor([&] { return GetFocus() == ok; }, "OK of the totals has the focus")) << key;
    // The key goes where the keyboard sends it: to the window with the focus.
    PostKey(ok, key);
    ASSERT_TRUE(WaitFor([] { return ProgressForm == nullptr; }, "the key closed the totals")) << key;
    EXPECT_EQ(F->cancelRequested, 0) << key;
    EXPECT_TRUE(F->Enabled());
  }
}

TEST_F(ImportTest, TheTotalsWindowShowsItsOkButtonAndKeepsItsTextsWhileItCloses) {
  KeepCurrentFolder keep;
  const std::string list = Lists.File("found.txt");
  WriteFileBytes(list, "top.txt\r\n");
  {
    DialogDriver answers({{"", IDOK, list, ""}});
    F->mmListAction->Execute();
    EXPECT_TRUE(answers.Unused().empty()) << answers.Log();
  }
  ASSERT_TRUE(WaitFor([] { return ProgressForm && ProgressForm->btnOK->Enabled(); }, "the totals with OK"));
  TProgressForm* w = ProgressForm;
  ExpectImportTotals(w, L"1", L"0");
  // The button as the screen shows it: drawn, not the window's background
  // over its place.
  RECT r;
  GetWindowRect(w->btnOK->Handle(), &r);
  const POINT middle = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  ASSERT_EQ(WindowFromPoint(middle), w->btnOK->Handle()) << "another window covers the button";
  Pump(30);
  const TCapturedImage shot = CaptureScreen(r);
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  const int total = shot.Width * shot.Height;
  ASSERT_GT(total, 0);
  EXPECT_LT(shot.Count(face), total * 9 / 10)
      << "the OK button is not drawn";
  // Closing keeps the import's texts to the end (no other job's caption or
  // blank labels flash up).
  w->btnOKClick(w);
  EXPECT_EQ(UcControl_GetText(w).str(), ImportCaption);
  EXPECT_EQ(UcControl_GetText(w->CountDirsLabel).str(), L"Поврежденных:");
  EXPECT_EQ(UcControl_GetText(w->laDir).str(), L"1");
  ASSERT_TRUE(WaitFor([] { return ProgressForm == nullptr; }, "OK closed the window"));
  EXPECT_EQ(F->cancelRequested, 0);
}

}  // namespace
