// The export and print commands through the main window's actions: the save
// dialogs, the replace question, the marks and base-URL dialogs, progress
// and cancel; the files checked byte for byte against an independent walk of
// the list and by real readers (Python's csv, the HTML link check, the JPEG
// frames); printing onto a printer whose pages go to a metafile.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <iostream>

#include "JobGuard.h"
#include "PrintExport.h"
#include "UiTestUtil.h"
#include "Ufmexportoptions.h"
#include "Upreexport.h"
#include "printers.h"
#include "sysutils.h"

namespace {

// The names in a folder and below it, one per line, sorted.
std::string FolderListing(const std::string& dir) {
  std::vector<std::string> names;
  std::function<void(const std::string&, const std::string&)> walk = [&](const std::string& path,
                                                                          const std::string& prefix) {
    WIN32_FIND_DATAA d;
    HANDLE h = FindFirstFileA((path + "\\*").c_str(), &d);
    if (h == INVALID_HANDLE_VALUE) return;
    do {
      const std::string n = d.cFileName;
      if (n == "." || n == "..") continue;
      names.push_back(prefix + n);
      if (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) walk(path + "\\" + n, prefix + n + "\\");
    } while (FindNextFileA(h, &d));
    FindClose(h);
  };
  walk(dir, "");
  std::sort(names.begin(), names.end());
  std::string r;
  for (const std::string& n : names) r += n + "\n";
  return r;
}

class ExportCommandsTest : public MainWindowTest {
protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    if (!ufmPreExport) Application->CreateForm(&ufmPreExport);
    if (!fmExportOptions) Application->CreateForm(&fmExportOptions);
    Tree.Folder("Doc");
    Tree.Folder("Doc\\Sub");
    Tree.File("Doc\\x.doc", 1536);
    Tree.File("Doc\\Sub\\y.txt", 2560);
    Tree.File("a.txt", 3000);
    Tree.File("b.TXT", 10);
    Tree.File(Ansi(L"Отчёт.txt"), 0);
    Scan(Tree.Root());
    ASSERT_NE(F->rootNode, nullptr);
  }
  void TearDown() override {
    delete ufmPreExport;
    delete fmExportOptions;
    MainWindowTest::TearDown();
  }

  // Runs an action with the dialogs answered; every step must have been used.
  void Run(TUcAction* action, std::vector<DialogStep> script) {
    KeepCurrentFolder keep;
    DialogDriver answers(std::move(script));
    action->Execute();
    EXPECT_TRUE(answers.Unused().empty()) << answers.Log();
    EXPECT_TRUE(WaitFor([] { return ProgressForm == nullptr; }, "the progress window went"));
    EXPECT_TRUE(F->Enabled());
    EXPECT_EQ(F->cancelRequested, 0);
    Seen = answers.Log();
  }

  // The text export's lines, walked here independently of the writer.
  std::string ExpectedText() {
    std::string text, last;
    std::function<void(const ListNode*, const std::string&)> walk = [&](const ListNode* n, const std::string& prefix) {
      for (int i = 0; i < n->ChildCount(); ++i) {
        const ListNode* c = n->Child(i);
        const std::string name = c->Name;
        if (c->Kind == 'D') {
          walk(c, prefix.empty() ? name : prefix + "\\" + name);
          continue;
        }
        if (prefix != last) {
          text += "\r\n";
          last = prefix;
        }
        // GCC 12 reports a false overlap inside std::string when text is put before a temporary string.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wrestrict"
        text += (c->Attributes & 0x80 ? "*" : "") + std::string(c->Absent == 1 ? "*" : "") +
                (prefix.empty() ? name : prefix + "\\" + name) + "\r\n";
#pragma GCC diagnostic pop
      }
    };
    walk(F->rootNode, "");
    return text;
  }

  ListNode* Entry(const std::string& name) {
    ListNode* found = nullptr;
    VisitPreOrder(F->rootNode, [&](ListNode* n) {
      if (std::string(n->Name) == name) found = n;
      return !found;
    });
    return found;
  }

  TestTree Tree;
  TempDir Out;
  std::string Seen;
};

TEST_F(ExportCommandsTest, TextExportWritesEveryFileAndAsksBeforeReplacing) {
  Entry("a.txt")->Attributes |= DamagedBit;
  Entry("b.TXT")->Absent = 1;
  Run(F->exportTXTAction, {{Ansi(L"Экспортировать в текстовый формат"), IDOK, Out.File("list"), ""}});
  const std::string written = ReadFileBytes(Out.File("list.txt"));
  EXPECT_EQ(written, ExpectedText()) << "\".txt\" added to a name without extension";
  EXPECT_NE(written.find("*a.txt\r\n"), std::string::npos);
  EXPECT_NE(written.find(Ansi(L"Отчёт.txt")), std::string::npos);

  WriteFileBytes(Out.File("list.txt"), "keep");
  Run(F->exportTXTAction, {{Ansi(L"Экспортировать в текстовый формат"), IDOK, Out.File("list.txt"), ""},
                           {Ansi(L"Заменить файл ?"), IDNO, "", ""}});
  EXPECT_EQ(ReadFileBytes(Out.File("list.txt")), "keep");
  Run(F->exportTXTAction, {{Ansi(L"Экспортировать в текстовый формат"), IDOK, Out.File("list.txt"), ""},
                           {Ansi(L"Заменить файл ?"), IDYES, "", ""}});
  EXPECT_EQ(ReadFileBytes(Out.File("list.txt")), written) << "the same bytes a second time";
}

TEST_F(ExportCommandsTest, ProposedNamesAndRefusals) {
  TempDir lists;
  SaveAs(lists.File("my.list.vq"));
  Run(F->exportCSVAction, {{"", IDCANCEL, "", ""}});
  EXPECT_EQ(F->sdSaveCSV->FileName(), "my.list.csv");
  // A folder of the target's name cannot be created as a file: message 11
  // with the file's path and the system's reason (the name is typed without
  // extension, which the dialog takes as it is).
  CreateDirectoryA(Out.File("taken.csv").c_str(), nullptr);
  Run(F->exportCSVAction, {{"", IDOK, Out.File("taken"), ""},
                           {Ansi(L"Ошибка при создании файла!: ") + Out.File("taken.csv") + "\n", IDOK, "", ""}});
  // In the search results the exports do nothing: no dialog opens, no file
  // or folder appears.
  const std::string before = FolderListing(Out.Path());
  F->isSearchView = 1;
  Run(F->exportTXTAction, {});
  EXPECT_EQ(Seen, "") << "a dialog opened for the text export in the search results";
  Run(F->SaveHTMLAction, {});
  EXPECT_EQ(Seen, "") << "a dialog opened for the site export in the search results";
  F->isSearchView = 0;
  EXPECT_EQ(FolderListing(Out.Path()), before);
}

TEST_F(ExportCommandsTest, CsvExportIsReadByPython) {
  Run(F->exportCSVAction, {{"", IDOK, Out.File("rows.csv"), ""}});
  const std::string script =
      "import csv, sys\n"
      "rows = list(csv.reader(open(sys.argv[1], encoding='cp1251', newline=''), delimiter=';'))\n"
      "print(len(rows), sorted(set(len(r) for r in rows)), rows[0][:3], sorted(r[1] for r in rows[1:]))\n";
  std::string output;
  ASSERT_EQ(RunPython(script, Q(UnixPath(Out.File("rows.csv"))), &output), 0) << output;
  EXPECT_EQ(output, WideToAnsi(L"6 [10] ['Путь', 'Имя файла', 'Размер, Кбайт'] "
                               L"['a.txt', 'b.TXT', 'x.doc', 'y.txt', 'Отчёт.txt']\n",
                               CP_UTF8)
                        .str());
}

DialogDriver* Refused = nullptr;

void CALLBACK CloseRefusedDialog(HWND, UINT, UINT_PTR, DWORD) {
  if (!Refused || Refused->Shown().size() < 2 || !fmExportOptions || !fmExportOptions->HandleAllocated()) return;
  if (GetActiveWindow() == fmExportOptions->Handle()) PostMessageA(fmExportOptions->Handle(), WM_CLOSE, 0, 0);
}

TEST_F(ExportCommandsTest, MarkedExportTakesTheMarksOfItsDialog) {
  Entry("x.doc")->Attributes |= DamagedBit;
  Entry("a.txt")->NeedMark = 1;
  // No tick: the dialog says so and stays; its close box then ends the command.
  fmExportOptions->cbxNeed->SetChecked(false);
  fmExportOptions->cbxNoNeed->SetChecked(false);
  fmExportOptions->cbxDamaged->SetChecked(false);
  fmExportOptions->cbxAbsent->SetChecked(false);
  {
    KeepCurrentFolder keep;
    DialogDriver answers({{"TfmExportOptions", IDOK, "", "btnOK"}, {Ansi(L"Не выбраны параметры екпорта"), IDOK, "", ""}});
    Refused = &answers;
    // Once the message was answered and the dialog is active again, its close box.
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, &CloseRefusedDialog);
    F->SaveCheckedCVSAction->Execute();
    KillTimer(nullptr, timer);
    Refused = nullptr;
    EXPECT_TRUE(answers.Unused().empty()) << answers.Log();
    EXPECT_EQ(answers.Shown().size(), 2u) << "no save dialog: " << answers.Log();
    EXPECT_EQ(fmExportOptions->accepted, 0);
  }
  fmExportOptions->cbxDamaged->SetChecked(true);
  Run(F->SaveCheckedCVSAction, {{"TfmExportOptions", IDOK, "", "btnOK"},
                                {"", IDOK, Out.File("marked"), ""}});
  const std::string rows = ReadFileBytes(Out.File("marked.csv"));
  const std::string header = Ansi(L"Путь;Имя файла;Размер, Кбайт;Создан;Изменён;Атрибуты;Состояние;Нужность;Комментарии;") + "\r\n";
  ASSERT_EQ(rows.substr(0, header.size()), header);
  const std::string body = rows.substr(header.size());
  EXPECT_EQ(body.rfind("Doc;x.doc;2;", 0), 0u) << body;
  EXPECT_EQ(body.find("a.txt"), std::string::npos);
  EXPECT_EQ(std::count(body.begin(), body.end(), '\n'), 1);
  // After an accepted export, the close box of the next showing cancels.
  Run(F->SaveCheckedCVSAction, {{"TfmExportOptions", 0, "", ""}});
  EXPECT_EQ(Seen.find(Ansi(L"Экспортировать в CSV")), std::string::npos) << Seen;
}

TEST_F(ExportCommandsTest, ClosingTheProgressWindowCancelsAndKeepsCompleteLines) {
  F->isModified = 0;
  Tree.Folder("many");
  for (int i = 0; i < 300; ++i) Tree.File("many\\f" + std::to_string(i) + ".txt", 1);
  Scan(Tree.Root());
  Run(F->exportTXTAction, {{Ansi(L"Экспортировать в текстовый формат"), IDOK, Out.File("part.txt"), ""},
                           {"TProgressForm", 0, "", ""}});
  const std::string part = ReadFileBytes(Out.File("part.txt"));
  const std::string full = ExpectedText();
  EXPECT_LT(part.size(), full.size());
  EXPECT_EQ(full.substr(0, part.size()), part);
  EXPECT_TRUE(part.empty() || part.substr(part.size() - 2) == "\r\n");
  // The next export runs whole.
  Run(F->exportTXTAction, {{Ansi(L"Экспортировать в текстовый формат"), IDOK, Out.File("whole.txt"), ""}});
  EXPECT_EQ(ReadFileBytes(Out.File("whole.txt")), full);
}

TEST_F(ExportCommandsTest, HtmlSiteWithItsBaseUrlOpensWithEveryLinkAndPicture) {
  UcControl_SetText(ufmPreExport->edPath, L"http://files.example/list/");
  Entry("a.txt")->Attributes |= DamagedBit;
  Run(F->SaveHTMLAction, {{"", IDOK, Out.File("site.html"), ""},
                          {"TufmPreExport", IDOK, "", "Button1"}});
  const std::string root = Out.File("site.html");
  const std::string page = ReadFileBytes(root + "\\index.html");
  ASSERT_FALSE(page.empty()) << Seen;
  EXPECT_NE(page.find("<a href=\"Doc/index.html\">"), std::string::npos);
  EXPECT_NE(page.find("<span class = \"rdl\"><a href=\"http://files.example/list/a.txt\">"), std::string::npos)
      << page;
  EXPECT_NE(ReadFileBytes(root + "\\Doc\\Sub\\index.html").find("http://files.example/list/Doc/Sub/y.txt"),
            std::string::npos);
  const std::string script = R"PY(
import os, sys, re
from urllib.parse import unquote
root = sys.argv[1]
bad = []
pics = set()
for folder, dirs, files in os.walk(root):
    if 'index.html' not in files: continue
    text = open(os.path.join(folder, 'index.html'), 'rb').read().decode('cp1251')
    for ref in re.findall(r'(?:href|src)="([^"]*)"', text):
        if ref.startswith('http'): continue
        target = os.path.normpath(os.path.join(folder, unquote(ref)))
        if os.path.basename(target) not in os.listdir(os.path.dirname(target)): bad.append(ref)
        if ref.endswith('.jpg'): pics.add(os.path.basename(target))
for p in sorted(pics):
    d = open(os.path.join(root, p), 'rb').read()
    i = d.index(b'\xff\xc0')
    print(p, int.from_bytes(d[i+7:i+9], 'big'), int.from_bytes(d[i+5:i+7], 'big'), d[i+9])
print('broken', bad)
)PY";
  std::string output;
  ASSERT_EQ(RunPython(script, Q(UnixPath(root)), &output), 0) << output;
  EXPECT_NE(output.find("open.jpg 16 16 3\n"), std::string::npos) << output;
  EXPECT_NE(output.find("broken []\n"), std::string::npos) << output;
  for (size_t at = 0; (at = output.find(".jpg ", at)) != std::string::npos; ++at)
    EXPECT_EQ(output.substr(at, 12), ".jpg 16 16 3") << output;
  // The dialog keeps the address for the next export of the run.
  EXPECT_EQ(ufmPreExport->BaseUrl(), "http://files.example/list/");
}

TEST_F(ExportCommandsTest, ClosingTheProgressWindowStopsTheSiteAndLeavesNoPageOpen) {
  F->isModified = 0;
  Tree.Folder("many");
  for (int i = 0; i < 300; ++i) Tree.File("many\\f" + std::to_string(i) + ".txt", 1);
  Scan(Tree.Root());
  Run(F->SaveHTMLAction, {{"", IDOK, Out.File("site"), ""},
                          {"TufmPreExport", IDOK, "", "Button1"},
                          {"TProgressForm", 0, "", ""}});
  // What the user finds: the site's root page begun but not finished, and
  // every page that was begun closed (it can be opened for writing alone).
  const std::string root = Out.File("site") + "\\index.html";
  const std::string page = ReadFileBytes(root);
  EXPECT_FALSE(page.empty()) << "the root page was never begun";
  EXPECT_EQ(page.find("</html>"), std::string::npos) << "the root page ends where the cancel found it";
  int pages = 0;
  for (const std::string& written : {root, Out.File("site") + "\\many\\index.html"}) {
    if (GetFileAttributesA(written.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
    ++pages;
    HANDLE h = CreateFileA(written.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(h, INVALID_HANDLE_VALUE) << written << " left open";
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
  EXPECT_GE(pages, 1) << "no page was begun before the cancel";
}

// A printer whose document goes to an enhanced metafile: text records as
// printed, a comment record at every page end.
class MetafilePrinter : public TPrinter {
public:
  explicit MetafilePrinter(std::string path) : Path(std::move(path)) {}
  AnsiString PrinterName() override { return "Metafile"; }
  std::string Path;

protected:
  HDC CreateDeviceContext(const AnsiString&, bool informationOnly) override {
    if (informationOnly) return CreateCompatibleDC(nullptr);
    return CreateEnhMetaFileA(nullptr, Path.c_str(), nullptr, "Fennolit\0print\0");
  }
  bool StartDocument(HDC, const AnsiString&) override { return true; }
  bool StartDevicePage(HDC) override { return true; }
  bool EndDevicePage(HDC dc) override { return GdiComment(dc, 4, reinterpret_cast<const BYTE*>("PAGE")); }
  bool EndDocument(HDC dc) override {
    DeleteEnhMetaFile(CloseEnhMetaFile(dc));
    return true;
  }
  void AbortDocument(HDC) override {}
};

// "x,y:text" per text record, "--" per page end.
std::vector<std::string> MetafileText(const std::string& data) {
  std::vector<std::string> out;
  for (size_t at = 0; at + 8 <= data.size();) {
    uint32_t type, size;
    memcpy(&type, data.data() + at, 4);
    memcpy(&size, data.data() + at + 4, 4);
    if (size < 8) break;
    if (type == EMR_EXTTEXTOUTW) {
      int32_t x, y;
      uint32_t chars, offset;
      memcpy(&x, data.data() + at + 36, 4);
      memcpy(&y, data.data() + at + 40, 4);
      memcpy(&chars, data.data() + at + 44, 4);
      memcpy(&offset, data.data() + at + 48, 4);
      const std::wstring text(reinterpret_cast<const wchar_t*>(data.data() + at + offset), chars);
      out.push_back(std::to_string(x) + "," + std::to_string(y) + ":" + WideToAnsi(text).str());
    } else if (type == EMR_GDICOMMENT) {
      out.push_back("--");
    }
    at += size;
  }
  return out;
}

TEST_F(ExportCommandsTest, PrintingWrapsLongLinesOnTheShownFolder) {
  const std::string longName = std::string(200, 'w') + ".txt";
  Tree.File(longName, 1);
  F->isModified = 0;
  Scan(Tree.Root());
  Entry("a.txt")->Attributes |= DamagedBit;
  MetafilePrinter* printer = new MetafilePrinter(Out.File("print.emf"));
  delete SetPrinter(printer);
  {
    DialogDriver answers({});
    F->printAction->Execute();
    EXPECT_TRUE(answers.Shown().empty()) << answers.Log();
  }
  const int limit = printer->PageWidth() - 200;
  const std::vector<std::string> printed = MetafileText(ReadFileBytes(Out.File("print.emf")));
  delete SetPrinter(nullptr);
  // The lines the shown folder gives, in the order of its entries.
  std::vector<std::string> lines;
  for (int i = 0; i < F->printLines->Count(); ++i) lines.push_back(F->printLines->Strings(i).str());
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_NE(std::find(lines.begin(), lines.end(), "*a.txt"), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Doc\\Sub\\y.txt"), lines.end());
  // Every line comes out whole, in order, the long one in several parts.
  std::string joined, expected;
  int parts = 0;
  for (const std::string& p : printed) {
    if (p == "--") continue;
    ASSERT_EQ(p.rfind("100,", 0), 0u) << p;
    joined += p.substr(p.find(':') + 1);
    ++parts;
  }
  for (const std::string& l : lines) expected += l;
  EXPECT_EQ(joined, expected);
  EXPECT_GE(parts, static_cast<int>(lines.size()) + 1) << "the long line is wrapped";
  EXPECT_GT(limit, 0);
  EXPECT_EQ(printed.back(), "--") << "the page ends";

  F->isSearchView = 1;
  F->printLines->Clear();
  F->printAction->Execute();
  EXPECT_EQ(F->printLines->Count(), 0) << "nothing while search results are shown";
  F->isSearchView = 0;
}

TEST_F(ExportCommandsTest, PrintingWithoutAPrinterSaysSoInTheProgramsLanguage) {
  // A printer whose device refuses to open.
  class DeadPrinter : public TPrinter {
  public:
    AnsiString PrinterName() override { return "dead"; }

  protected:
    HDC CreateDeviceContext(const AnsiString&, bool) override { return nullptr; }
  };
  char name[512];
  DWORD size = sizeof name;
  // The system's own printer where the system has none (as on the machines
  // that build this program, and in a fresh Wine prefix).
  const bool systemHasPrinter = GetDefaultPrinterA(name, &size) && name[0];
  const struct {
    TPrinter* printer;
    std::wstring message;
  } cases[] = {
      {new DeadPrinter, L"Ошибка печати"},
      {systemHasPrinter ? nullptr : new TPrinter, L"Нет принтера по умолчанию"},
  };
  for (const auto& c : cases) {
    if (!c.printer) {
      std::cout << "[  NOTE    ] the system has a default printer: its absence is not tried\n";
      continue;
    }
    delete SetPrinter(c.printer);
    DialogDriver answers({{"", IDOK, "", ""}});
    F->printAction->Execute();
    ASSERT_EQ(answers.Shown().size(), 1u) << answers.Log();
    EXPECT_EQ(answers.Shown()[0].Text, Ansi(c.message.c_str())) << answers.Log();
    EXPECT_TRUE(F->Enabled());
  }
  delete SetPrinter(nullptr);
}

}  // namespace

namespace {

TEST_F(ExportCommandsTest, DialogsCarryTheirTextsAndKeepTheirChoices) {
  {
    DialogDriver answers({{"TfmExportOptions", 0, "", ""}});
    fmExportOptions->cbxAbsent->SetChecked(true);
    fmExportOptions->accepted = 1;
    fmExportOptions->ShowModal();
    EXPECT_TRUE(answers.Unused().empty()) << answers.Log();
  }
  EXPECT_EQ(fmExportOptions->accepted, 0) << "the close box cancels";
  EXPECT_TRUE(fmExportOptions->cbxAbsent->GetChecked()) << "ticks stay";
  EXPECT_EQ(UcControl_GetText(fmExportOptions).str(), L"Какие пометки экспортировать?");
  const std::pair<TControl*, const wchar_t*> marks[] = {
      {fmExportOptions->cbxNeed, L"Нужен"},          {fmExportOptions->cbxNoNeed, L"Не нужен"},
      {fmExportOptions->cbxDamaged, L"Повреждённый"}, {fmExportOptions->cbxAbsent, L"Отсутствует"},
      {fmExportOptions->btnCancel, L"Отмена"},       {fmExportOptions->btnOK, L"Применить"},
  };
  for (const auto& m : marks) EXPECT_EQ(UcControl_GetText(m.first).str(), m.second);
  EXPECT_EQ(fmExportOptions->ClientWidth(), 365);
  EXPECT_EQ(fmExportOptions->ClientHeight(), 88);

  UcControl_SetText(ufmPreExport->edPath, L"http://x/");
  for (const char* way : {"Button1", "Button2", ""}) {
    DialogDriver answers({{"TufmPreExport", 0, "", way}});
    ufmPreExport->ShowModal();
    EXPECT_TRUE(answers.Unused().empty()) << way << answers.Log();
    EXPECT_EQ(ufmPreExport->BaseUrl(), "http://x/") << way;
  }
  EXPECT_EQ(UcControl_GetText(ufmPreExport).str(), L"Ввод базового URL");
  EXPECT_EQ(UcControl_GetText(ufmPreExport->Button1).str(), L"Принять");
  EXPECT_EQ(UcControl_GetText(ufmPreExport->Button2).str(), L"Отмена");
  EXPECT_EQ(UcControl_GetText(ufmPreExport->Label1).str(),
            L"Если Вы хотите, чтобы элементы списка\nссылались на соответствующие файлы,\nвведите URL папки,\n"
            L"в которой они будут располагаться:");
  EXPECT_EQ(ufmPreExport->ClientWidth(), 312);
  EXPECT_EQ(ufmPreExport->ClientHeight(), 165);
}

}  // namespace

namespace {

TEST_F(ExportCommandsTest, ExportsOfAListTwentyThousandLevelsDeep) {
  constexpr int Depth = 20000;
  TempDir lists;
  WriteDeepList(lists.File("deep.vq"), Depth);
  F->isModified = 0;
  OpenFile(lists.File("deep.vq"));
  ASSERT_EQ(CountNodes(F->rootNode), Depth + 1);
  std::string folder;
  for (int i = 0; i < Depth; ++i) folder += (i ? "\\d" : "d") + std::to_string(i % 100);
  Run(F->exportTXTAction, {{Ansi(L"Экспортировать в текстовый формат"), IDOK, Out.File("deep.txt"), ""}});
  EXPECT_EQ(ReadFileBytes(Out.File("deep.txt")), "\r\n" + folder + "\\f.txt\r\n") << Seen;
  Run(F->exportCSVAction, {{"", IDOK, Out.File("deep.csv"), ""}});
  const std::string rows = ReadFileBytes(Out.File("deep.csv"));
  const size_t header = rows.find("\r\n") + 2;
  EXPECT_EQ(rows.substr(header), folder + ";f.txt;1; ; ; ; ;desired; ;\r\n") << Seen;
}

TEST_F(ExportCommandsTest, AFailedWriteIsSaidWithThePathAndTheReason) {
  // A name that leads to a full disk: every write fails.
  std::string output;
  ASSERT_EQ(RunPython("import os, sys\nos.symlink('/dev/full', sys.argv[1])\n", Q(UnixPath(Out.File("full.txt"))),
                      &output),
            0)
      << output;
  Run(F->exportTXTAction, {{Ansi(L"Экспортировать в текстовый формат"), IDOK, Out.File("full.txt"), ""},
                           {Ansi(L"Заменить файл ?"), IDYES, "", ""},
                           {Ansi(L"Ошибка записи в файл"), IDOK, "", ""}});
  EXPECT_NE(Seen.find(Ansi(L"Ошибка записи в файл: ") + Out.File("full.txt") + "\n" +
                      SysErrorMessage(ERROR_DISK_FULL).str()),
            std::string::npos)
      << Seen;
  EXPECT_EQ(Seen.find("\\\\?\\"), std::string::npos) << Seen;
}

TEST_F(ExportCommandsTest, APartialFileThatCannotBeDeletedIsSaid) {
  std::string output;
  ASSERT_EQ(RunPython("import os, sys\nos.symlink('/dev/full', sys.argv[1])\n", Q(UnixPath(Out.File("full.txt"))),
                      &output),
            0)
      << output;
  // Another program reads the file and lets nobody delete it meanwhile.
  const HANDLE reader = CreateFileA(Out.File("full.txt").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  ASSERT_FALSE(DeleteFileA(Out.File("full.txt").c_str()));
  const DWORD why = GetLastError();
  Run(F->exportTXTAction, {{Ansi(L"Экспортировать в текстовый формат"), IDOK, Out.File("full.txt"), ""},
                           {Ansi(L"Заменить файл ?"), IDYES, "", ""},
                           {Ansi(L"Ошибка записи в файл"), IDOK, "", ""}});
  CloseHandle(reader);
  EXPECT_NE(Seen.find(Ansi(L"Ошибка записи в файл: ") + Out.File("full.txt") + "\n" +
                      SysErrorMessage(ERROR_DISK_FULL).str() + "\n" +
                      Ansi(L"Не удалось удалить недописанный файл: ") + SysErrorMessage(why).str()),
            std::string::npos)
      << Seen;
  EXPECT_EQ(RunUnix("test -L " + Q(UnixPath(Out.File("full.txt")))), 0) << "the partial file is still there";
}

TEST_F(ExportCommandsTest, ASitePictureThatCannotBeWrittenEndsTheSiteWithOneMessage) {
  // Once the site's name is chosen (the save dialog would open a folder of
  // that name), folders take the places of the folder picture, under both
  // its names.
  const std::string root = Out.File("site");
  DWORD why = 0;
  auto block = [&](HWND) {
    CreateDirectoryA(root.c_str(), nullptr);
    for (const char* taken : {"\\open.jpg", "\\open1.jpg"}) CreateDirectoryA((root + taken).c_str(), nullptr);
    const HANDLE h =
        CreateFileA((root + "\\open1.jpg").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    why = GetLastError();
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  };
  Run(F->SaveHTMLAction, {{"", IDOK, root, ""},
                          {"TufmPreExport", IDOK, "", "Button1", block},
                          {Ansi(L"Ошибка записи в файл"), IDOK, "", ""}});
  ASSERT_NE(why, 0u);
  EXPECT_NE(Seen.find(Ansi(L"Ошибка записи в файл: ") + root + "\\open1.jpg\n" + SysErrorMessage(why).str()),
            std::string::npos)
      << Seen;
  EXPECT_EQ(Seen.find(Ansi(L"Ошибка записи в файл")), Seen.rfind(Ansi(L"Ошибка записи в файл"))) << "said once";
  EXPECT_EQ(GetFileAttributesA((root + "\\index.html").c_str()), INVALID_FILE_ATTRIBUTES)
      << "no page shows a picture that is not there";
}

TEST_F(ExportCommandsTest, TheMarksDialogTakesItsMessageFromTheLocalisation) {
  // The message as the localisation object holds it, changed here: the dialog
  // must show what the object says, not a text of its own.
  localItems* messages = F->localization->MessageTexts;
  TUcStringList original, changed;
  for (int i = 0; i < messages->Count(); ++i) {
    original.Add(messages->GetText(i, 0));
    changed.Add(i == 37 ? WideString(L"Отметьте хотя бы одну пометку") : messages->GetText(i, 0));
  }
  messages->Assign(0, &changed);
  for (TUcCheckBox* box : {fmExportOptions->cbxNeed, fmExportOptions->cbxNoNeed, fmExportOptions->cbxDamaged,
                           fmExportOptions->cbxAbsent})
    box->SetChecked(false);
  {
    DialogDriver answers({{Ansi(L"Отметьте хотя бы одну пометку"), IDOK, "", ""}});
    fmExportOptions->btnOKClick(nullptr);
    EXPECT_TRUE(answers.Unused().empty()) << answers.Log();
  }
  EXPECT_EQ(fmExportOptions->accepted, 0);
  messages->Assign(0, &original);
  EXPECT_EQ(messages->GetText(37, 0), L"Не выбраны параметры екпорта");
}

}  // namespace
