#include "UiTestUtil.h"

#include "Aboutunit.h"
#include "Commentunit.h"
#include "Maskunit.h"
#include "Opensaveunit.h"

#include <shlobj.h>

#include <algorithm>
#include <memory>

#include "ListFile.h"
#include "UiUnits.h"
#include "Unitparams.h"
#include "Zefolderdialog.h"

namespace {

// Every layer's units and the program's, before the harness starts them.
struct TUiUnitsRegistration {
  TUiUnitsRegistration() { RegisterUiUnits(); }
} UiUnitsRegistration;

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r\n");
  size_t e = s.find_last_not_of(" \t\r\n");
  return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

struct TFindChild {
  const char* Class;
  bool Found = false;
};

BOOL CALLBACK FindChildOfClass(HWND child, LPARAM data) {
  auto* f = reinterpret_cast<TFindChild*>(data);
  char name[64] = {};
  GetClassNameA(child, name, sizeof name);
  if (lstrcmpiA(name, f->Class) == 0) {
    f->Found = true;
    return FALSE;
  }
  return TRUE;
}

bool HasChildOfClass(HWND wnd, const char* cls) {
  TFindChild find{cls};
  EnumChildWindows(wnd, &FindChildOfClass, reinterpret_cast<LPARAM>(&find));
  return find.Found;
}

// The texts of a message box's static controls.
std::string DialogText(HWND wnd) {
  char buf[4096] = {};
  GetDlgItemTextA(wnd, 0xFFFF, buf, sizeof buf);
  return buf;
}

}  // namespace

DialogDriver* DialogDriver::FCurrent = nullptr;

DialogDriver::DialogDriver(std::vector<DialogStep> script) : FScript(std::move(script)), FUsed(FScript.size()) {
  FCurrent = this;
  FHook = SetWindowsHookExA(WH_CBT, &CbtProc, nullptr, GetCurrentThreadId());
}

DialogDriver::~DialogDriver() {
  if (FHook) UnhookWindowsHookEx(FHook);
  if (FTimer) KillTimer(nullptr, FTimer);
  if (FCurrent == this) FCurrent = nullptr;
}

std::string DialogDriver::Log() const {
  std::string r;
  for (const Seen& s : FShown) r += s.Title + " | " + s.Text + (s.Answered ? "" : " (unanswered)") + "\n";
  return r;
}

std::vector<std::string> DialogDriver::Unused() const {
  std::vector<std::string> r;
  for (size_t i = 0; i < FScript.size(); ++i)
    if (!FUsed[i]) r.push_back(FScript[i].Match);
  return r;
}

LRESULT CALLBACK DialogDriver::CbtProc(int code, WPARAM w, LPARAM l) {
  if (code == HCBT_ACTIVATE && FCurrent) {
    try {
      FCurrent->OnActivate(reinterpret_cast<HWND>(w));
    } catch (...) {
    }
  }
  return CallNextHookEx(nullptr, code, w, l);
}

void DialogDriver::OnActivate(HWND wnd) {
  if (!IsOwnThreadWindow(wnd)) return;
  if (std::find(FWindows.begin(), FWindows.end(), wnd) != FWindows.end()) return;
  char cls[64] = {};
  GetClassNameA(wnd, cls, sizeof cls);
  std::string title = WindowTextA(wnd), text;
  int kind;
  bool modeless = false;
  if (std::string(cls) == "#32770") {
    if (GetDlgItem(wnd, 0x480) || GetDlgItem(wnd, 0x47C))
      kind = 1;
    else if (HasChildOfClass(wnd, "SysTreeView32"))
      kind = 2;
    else
      kind = 0;
    text = DialogText(wnd);
  } else {
    TWinControl* control = FindControl(wnd);
    if (!control || !control->Is<TCustomForm>()) return;
    auto* form = static_cast<TCustomForm*>(control);
    kind = 3;
    modeless = !(form->FormState() & fsModal);
    text = form->ClassName().str();
  }
  DialogStep step{"", IDCANCEL, "", ""};
  bool matched = false;
  for (size_t i = 0; i < FScript.size(); ++i) {
    if (FUsed[i]) continue;
    const std::string& m = FScript[i].Match;
    // A window that is not modal is answered only when a step names its class.
    if (modeless ? m == text : (title.find(m) != std::string::npos || text.find(m) != std::string::npos)) {
      step = FScript[i];
      FUsed[i] = true;
      matched = true;
      break;
    }
  }
  if (modeless && !matched) return;
  FWindows.push_back(wnd);
  FShown.push_back({title, Trim(text), matched});
  if (modeless) {
    // Closed at once: the job's next look at the message queue sees it.
    if (step.Button == 0) PostMessageA(wnd, WM_CLOSE, 0, 0);
    return;
  }
  FPending.push_back({wnd, kind, step, GetTickCount()});
  // Answered from the dialog's own message loop, once it runs.
  if (!FTimer) FTimer = SetTimer(nullptr, 0, 20, &TimerProc);
}

void CALLBACK DialogDriver::TimerProc(HWND, UINT, UINT_PTR, DWORD) {
  if (FCurrent) FCurrent->Perform();
}

void DialogDriver::Perform() {
  if (FTimer) {
    KillTimer(nullptr, FTimer);
    FTimer = 0;
  }
  std::vector<Pending> pending;
  pending.swap(FPending);
  for (const Pending& p : pending) {
    if (!IsWindow(p.Window)) continue;
    const DialogStep& s = p.Step;
    if (p.Kind == 3) {
      auto* form = static_cast<TCustomForm*>(FindControl(p.Window));
      if (!form) continue;
      if (s.Before) s.Before(p.Window);
      // Input goes into the window's first edit (the search mask or the
      // comment).
      if (!s.Input.empty()) {
        for (int i = 0; i < form->ComponentCount(); ++i)
          if (auto* edit = dynamic_cast<TCustomEdit*>(form->Components(i))) {
            UcControl_SetText(edit, AnsiToWide(s.Input.c_str()));
            break;
          }
      }
      if (!s.Control.empty()) {
        auto* control = dynamic_cast<TWinControl*>(form->FindComponent(s.Control.c_str()));
        if (control) PostMessageA(control->Handle(), BM_CLICK, 0, 0);
      } else if (s.Button == 0) {
        PostMessageA(p.Window, WM_CLOSE, 0, 0);
      } else {
        form->SetModalResult(s.Button);
      }
      continue;
    }
    if (p.Kind == 1 && s.Button == IDOK) {
      HWND edit = GetDlgItem(p.Window, 0x480);
      if (!edit) edit = GetDlgItem(p.Window, 0x47C);
      SetWindowTextA(edit, s.Input.c_str());
    }
    if (p.Kind == 2 && s.Button == IDOK) {
      const std::wstring path = AnsiToWide(s.Input.c_str()).str();
      // The chooser may not take a selection before it has settled: OK only
      // once its tree has the folder selected, else a later try; a chooser
      // that never gets there is cancelled, so that the test fails on what
      // it waits for instead of hanging in the dialog.
      if (!SelectInFolderChooser(p.Window, path, reinterpret_cast<LPARAM>(path.c_str()))) {
        if (GetTickCount() - p.Since < kWaitBoundMs) {
          FPending.push_back(p);
          if (!FTimer) FTimer = SetTimer(nullptr, 0, 20, &TimerProc);
        } else {
          PostMessageA(p.Window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        }
        continue;
      }
    }
    if (s.Before) s.Before(p.Window);
    if (s.Button == 0) {
      PostMessageA(p.Window, WM_CLOSE, 0, 0);
    } else if (HWND button = GetDlgItem(p.Window, s.Button)) {
      PostMessageA(button, BM_CLICK, 0, 0);
    } else {
      PostMessageA(p.Window, WM_COMMAND, MAKEWPARAM(s.Button, BN_CLICKED), 0);
    }
  }
}

bool SelectInFolderChooser(HWND dialog, const std::wstring& path, LPARAM pathArgument, const TTreeItemText& itemText) {
  HWND tree = FindWindowExW(dialog, nullptr, WC_TREEVIEWW, nullptr);
  std::unique_ptr<ITEMIDLIST, decltype(&ILFree)> list(ILCreateFromPathW(path.c_str()), &ILFree);
  std::vector<std::wstring> steps;
  if (!tree || !list || !ShownStepNames(nullptr, list.get(), steps)) return false;
  auto chosen = [&] {
    HTREEITEM caret = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
    return caret && caret == TreeItemByNames(tree, steps, itemText);
  };
  SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, pathArgument);
  // The chooser's match by path compares the folder times too and misses a
  // folder on the way that changed since its tree read it; a user finds the
  // folder by the names the tree shows.
  if (!chosen())
    if (HTREEITEM item = TreeItemByNames(tree, steps, itemText)) TreeView_SelectItem(tree, item);
  return chosen();
}

// --- the main window ------------------------------------------------------------------------

void MainWindowTest::SetUp() {
  GuiTest::SetUp();
  const TExceptionEvent recorder = Application->OnException;
  {
    // A command line the tests do not control (gtest's own arguments) must
    // not stop the start with its message.
    DialogDriver answers({{Ansi(L"Файл не найден"), IDOK}});
    Application->CreateForm(&InfoFileForm);
    Application->CreateForm(&ParamsForm);
    Application->CreateForm(&MaskForm);
    Application->CreateForm(&CommentForm);
    Application->CreateForm(&AboutForm);
  }
  Application->OnException = recorder;
  F = InfoFileForm;
  ASSERT_NE(F, nullptr);
  F->Show();
  Pump(20);
}

void MainWindowTest::TearDown() {
  if (F) {
    F->isModified = 0;
    delete ParamsForm;
    delete MaskForm;
    delete CommentForm;
    delete AboutForm;
    delete F;
    F = nullptr;
  }
  Pump(20);
  GuiTest::TearDown();
}

namespace {

std::wstring ChosenFolder;

bool ChooseTestFolder(HWND, const WideString&, WideString& path) {
  if (ChosenFolder.empty()) return false;
  path = ChosenFolder;
  return true;
}

}  // namespace

void MainWindowTest::Scan(const std::string& folder, bool chooser) {
  if (chooser) {
    DialogDriver answers({{"", IDOK, folder, ""}, {"TParamsForm", IDOK, "", "bbtnOk"}});
    F->newAction->Execute();
    Pump(10);
    ASSERT_EQ(answers.Unused().size(), 0u) << answers.Log();
    return;
  }
  FolderChoice choice(folder);
  DialogDriver answers({{"TParamsForm", IDOK, "", "bbtnOk"}});
  F->newAction->Execute();
  Pump(10);
  ASSERT_EQ(answers.Unused().size(), 0u) << answers.Log();
}

FolderChoice::FolderChoice(const std::string& folder) {
  ChosenFolder = AnsiToWide(folder.c_str()).str();
  ChooseScanFolder = &ChooseTestFolder;
}

FolderChoice::~FolderChoice() {
  ChooseScanFolder = &ChooseFolder;
  ChosenFolder.clear();
}

void MainWindowTest::OpenFile(const std::string& listFile) {
  F->openDroppedFile = 1;
  F->odOpen->SetFileName(listFile.c_str());
  F->spbtOpenClick(F);
  F->openDroppedFile = 0;
  Pump(10);
}

void MainWindowTest::SaveAs(const std::string& listFile) {
  KeepCurrentFolder keep;
  DialogDriver answers({{"", IDOK, listFile, ""}});
  F->saveAsAction->Execute();
  Pump(10);
  ASSERT_EQ(answers.Unused().size(), 0u) << answers.Log();
}

namespace {

const wchar_t* SearchMask = nullptr;
bool SearchAnswered = false;

// The search window is answered from a timer once it runs modally: it is
// shown again and again, which the activation hook of the dialog driver does
// not see every time.
void CALLBACK AnswerSearchMask(HWND, UINT, UINT_PTR, DWORD) {
  if (SearchAnswered || !MaskForm || !MaskForm->Visible() || !(MaskForm->FormState() & fsModal)) return;
  SearchAnswered = true;
  if (!SearchMask) {
    PostMessageA(MaskForm->CancelBitBtn->Handle(), BM_CLICK, 0, 0);
    return;
  }
  MaskForm->ledMask->SetText(SearchMask);
  PostMessageA(MaskForm->FindBitBtn->Handle(), BM_CLICK, 0, 0);
}

}  // namespace

void MainWindowTest::Search(const wchar_t* mask) {
  SearchMask = mask;
  SearchAnswered = false;
  const UINT_PTR timer = SetTimer(nullptr, 0, 20, &AnswerSearchMask);
  F->FindAction->Execute();
  KillTimer(nullptr, timer);
  ASSERT_TRUE(SearchAnswered) << "the search window was never shown";
  // The job's wait window is released by the message loop, as after every
  // command: a dialog opened before would be owned by it.
  ASSERT_TRUE(WaitFor([] { return OpenSaveForm == nullptr; }, "the search's wait window gone"));
}

std::vector<std::wstring> MainWindowTest::Rows() {
  std::vector<std::wstring> rows;
  TUcListItems* items = F->lvInfo->Items();
  for (int r = 0; r < items->Count(); ++r) {
    std::wstring line;
    for (int c = 0; c < 6; ++c) {
      if (c) line += L"|";
      line += Cell(r, c);
    }
    rows.push_back(line);
  }
  return rows;
}

std::wstring MainWindowTest::Cell(int row, int column) {
  // From the control itself, which asks the window for callback texts.
  wchar_t buffer[512] = {};
  LVITEMW item = {};
  item.iSubItem = column;
  item.pszText = buffer;
  item.cchTextMax = 512;
  SendMessageW(F->lvInfo->Handle(), LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
  return buffer;
}

int MainWindowTest::RowOf(const std::wstring& caption) {
  for (int r = 0; r < F->lvInfo->Items()->Count(); ++r)
    if (Cell(r, 0) == caption) return r;
  return -1;
}

int MainWindowTest::SelectedRow() {
  return static_cast<int>(SendMessageW(F->lvInfo->Handle(), LVM_GETNEXTITEM, -1, LVNI_SELECTED));
}

void MainWindowTest::SelectRow(int row) {
  TUcListItems* items = F->lvInfo->Items();
  for (int r = 0; r < items->Count(); ++r) items->Item(r)->SetSelected(r == row);
  if (row >= 0) items->Item(row)->SetFocused(true);
  Pump(5);
}

std::vector<std::wstring> MainWindowTest::TreeLines() {
  std::vector<std::wstring> lines;
  for (TUcTreeNode* n = F->tvTreeOfFile->Items()->GetFirstNode(); n; n = n->GetNext())
    lines.push_back(std::wstring(n->Level() * 2, L' ') + n->Text().str());
  return lines;
}

TUcTreeNode* MainWindowTest::TreeNode(const std::wstring& text) {
  for (TUcTreeNode* n = F->tvTreeOfFile->Items()->GetFirstNode(); n; n = n->GetNext())
    if (n->Text() == text.c_str()) return n;
  return nullptr;
}

void MainWindowTest::ClickTreeNode(TUcTreeNode* node) {
  ASSERT_NE(node, nullptr);
  node->MakeVisible();
  TRect r = node->DisplayRect(true);
  PostClick(F->tvTreeOfFile->Handle(), (r.left + r.right) / 2, (r.top + r.bottom) / 2);
  Pump(30);
}

std::wstring MainWindowTest::BackHint() { return UcControl_GetHint(F->spbtBack).str(); }

std::wstring MainWindowTest::ForwardHint() { return UcControl_GetHint(F->spbtForward).str(); }

// --- files -------------------------------------------------------------------------------------

TestTree::TestTree() = default;
TestTree::~TestTree() = default;

void TestTree::Folder(const std::string& relative) {
  std::wstring path = AnsiToWide(Path(relative).c_str()).str();
  CreateDirectoryW(path.c_str(), nullptr);
}

void TestTree::File(const std::string& relative, size_t size) {
  WriteFileBytes(Path(relative), std::string(size, 'x'));
}

MappedDrive::MappedDrive(const std::string& folder) {
  const std::string target = UnixPath(folder);
  if (target.empty()) return;
  for (char letter = 'Y'; letter >= 'M' && !FLetter; --letter) {
    if (GetLogicalDrives() & (1u << (letter - 'A'))) continue;
    FLetter = letter;
    // ln refuses a link that is there: a letter another program took meanwhile stays its own.
    if (RunUnix("[ -n \"$WINEPREFIX\" ] && ln -s " + Q(target) + " " + Link()) != 0) FLetter = 0;
  }
}

MappedDrive::~MappedDrive() {
  if (FLetter) RunUnix("rm " + Link());
}

std::string MappedDrive::Link() const {
  return "\"$WINEPREFIX/dosdevices/\"" + Q(std::string(1, char(FLetter - 'A' + 'a')) + ":");
}

std::string ZipSingleEntry(const std::string& archive, std::string* entryName) {
  TempDir out;
  const std::string data = out.File("entry.bin");
  const std::string script =
      "import sys, zipfile\n"
      "z = zipfile.ZipFile(sys.argv[1])\n"
      "names = z.namelist()\n"
      "if len(names) != 1: sys.exit(3)\n"
      "open(sys.argv[2], 'wb').write(z.read(names[0]))\n"
      "print(names[0])\n";
  const std::string scriptFile = out.File("read.py");
  WriteFileBytes(scriptFile, script);
  std::string output;
  if (RunUnix("python3 '" + UnixPath(scriptFile) + "' '" + UnixPath(archive) + "' '" + UnixPath(data) + "'",
              &output) != 0)
    return std::string();
  if (entryName) *entryName = Trim(output);
  return ReadFileBytes(data);
}

ListNode* FindEntry(ListNode* root, const std::string& name) {
  ListNode* found = nullptr;
  VisitPreOrder(root, [&](ListNode* n) {
    if (FieldText(n->Name).str() == name) found = n;
    return !found;
  });
  return found;
}

std::map<std::string, std::string> SavedListRecords(const std::string& listFile, bool markedOnly) {
  std::map<std::string, std::string> records;
  for (auto& [path, record] : SavedListRecordsInOrder(listFile, markedOnly)) records[path] = record;
  return records;
}

std::vector<std::pair<std::string, std::string>> SavedListRecordsInOrder(const std::string& listFile, bool markedOnly) {
  TempDir work;
  const std::string out = work.File("records.txt");
  const std::string script =
      "import sys, struct, zipfile\n"
      "z = zipfile.ZipFile(sys.argv[1]); data = z.read(z.namelist()[0])\n"
      "out = open(sys.argv[2], 'wb'); stack = []\n"
      "for at in range(256, len(data), 600):\n"
      "    r = data[at:at + 600]\n"
      "    name = r[0:256].split(b'\\0')[0]; comment = r[256:512].split(b'\\0')[0]\n"
      "    level, = struct.unpack('<i', r[592:596]); count, = struct.unpack('<i', r[588:592])\n"
      "    del stack[max(level, 0):]; stack.append(name)\n"
      "    if sys.argv[3] == '1' and r[587] == 0 and not comment: continue\n"
      "    path = b'\\\\'.join(stack[1:]) if level > 0 else b'<root>'\n"
      "    out.write(b'%s|%c|%d|%d|%d|%d|%s\\n' % (path, r[568], r[569] >> 7, r[586], r[587], count, comment))\n";
  std::string output;
  EXPECT_EQ(RunPython(script, Q(UnixPath(listFile)) + " " + Q(UnixPath(out)) + (markedOnly ? " 1" : " 0"), &output),
            0)
      << output;
  std::vector<std::pair<std::string, std::string>> records;
  const std::string text = ReadFileBytes(out);
  size_t start = 0;
  for (size_t nl = text.find('\n'); nl != std::string::npos; start = nl + 1, nl = text.find('\n', start)) {
    const std::string line = text.substr(start, nl - start);
    records.emplace_back(line.substr(0, line.find('|')), line.substr(line.find('|') + 1));
  }
  return records;
}

void WriteDeepList(const std::string& listFile, int depth, const std::string& deepest) {
  const std::string script = R"PY(
import struct, sys, zipfile
depth = int(sys.argv[2])
deepest = sys.argv[3].encode() if len(sys.argv) > 3 else b''
def record(name, kind, level, last, need=0):
    r = bytearray(600)
    r[0:len(name)] = name
    r[568] = ord(kind)
    r[587] = need
    struct.pack_into('<ii', r, 592, level, last)
    return r
data = bytearray(256) + record(b'', 'D', 0, 0)
for i in range(depth):
    name = deepest if deepest and i == depth - 1 else b'd%d' % (i % 100)
    data += record(name, 'D', i + 1, 0)
data += record(b'f.txt', 'F', depth + 1, -1, 1)
with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:
    z.writestr('~tmp~deep', bytes(data))
)PY";
  std::string output;
  // GCC 12 reports a false overlap inside std::string when text is put before a temporary string.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wrestrict"
  ASSERT_EQ(RunPython(script, Q(UnixPath(listFile)) + " " + std::to_string(depth) + (deepest.empty() ? "" : " " + Q(deepest)),
                      &output),
            0)
      << output;
#pragma GCC diagnostic pop
}
