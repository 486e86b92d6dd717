// The real program, fennolit.exe, started as a process of its own and driven
// from outside as a user would: its start with and without a list file on
// the command line, and a scan of a folder tree with awkward names, saved,
// closed and opened again from the command line, compared with the disk.
#include "UiTestUtil.h"

#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <tuple>

#include "sysutils.h"

namespace {

std::wstring ProgramPath() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring p = path;
  p = p.substr(0, p.rfind(L'\\'));  // tests
  p = p.substr(0, p.rfind(L'\\'));  // the build folder
  return p + L"\\fennolit.exe";
}

std::wstring ClassOf(HWND w) {
  wchar_t name[128] = {};
  GetClassNameW(w, name, 128);
  return name;
}

// A started program: its windows and memory for the messages that carry
// pointers.
class Program {
public:
  explicit Program(const std::wstring& arguments) {
    std::wstring command = L"\"" + ProgramPath() + L"\"";
    if (!arguments.empty()) command += L" " + arguments;
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    EXPECT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &FInfo))
        << GetLastError();
    WaitForInputIdle(FInfo.hProcess, kWaitBoundMs);
    FMemory = static_cast<char*>(VirtualAllocEx(FInfo.hProcess, nullptr, 65536, MEM_COMMIT, PAGE_READWRITE));
  }
  ~Program() {
    if (WaitForSingleObject(FInfo.hProcess, 0) == WAIT_TIMEOUT) {
      TerminateProcess(FInfo.hProcess, 1);
      WaitForSingleObject(FInfo.hProcess, 5000);
      // A test that ends with the program still running ends its save or
      // open too, and removes what that had in the temporary folder.
      RemoveTempFolders(TempFolders());
    }
    CloseHandle(FInfo.hThread);
    CloseHandle(FInfo.hProcess);
  }
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  bool Ended(DWORD ms = kWaitBoundMs) { return WaitForSingleObject(FInfo.hProcess, ms) == WAIT_OBJECT_0; }
  // Ends the program from outside, as the task manager ends it.
  void Kill() {
    TerminateProcess(FInfo.hProcess, 1);
    EXPECT_TRUE(Ended());
  }
  DWORD Pid() const { return FInfo.dwProcessId; }
  // The names of its folders in the temporary folder (core/ListFile.cpp's).
  std::string TempFolders() const { return "fennolit-" + IntToHex(Pid(), 4).str() + "-*"; }

  // The first top-level window of the program that satisfies test, now.
  HWND Find(const std::function<bool(HWND)>& test) {
    struct TFind {
      DWORD Pid;
      const std::function<bool(HWND)>* Check;
      HWND Found = nullptr;
    } find{FInfo.dwProcessId, &test};
    EnumWindows(
        [](HWND w, LPARAM data) -> BOOL __attribute__((stdcall)) {
          auto* f = reinterpret_cast<TFind*>(data);
          DWORD pid = 0;
          GetWindowThreadProcessId(w, &pid);
          if (pid != f->Pid || !(*f->Check)(w)) return TRUE;
          f->Found = w;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&find));
    return find.Found;
  }
  // The same, waited for; a window that never comes fails the test with what.
  HWND Wait(const std::function<bool(HWND)>& test, const std::string& what) {
    HWND found = nullptr;
    const auto waited = WaitFor([&] { return (found = Find(test)) != nullptr; }, what);
    if (!waited) ADD_FAILURE() << waited.message();
    return found;
  }
  HWND Window(const wchar_t* cls) {
    return Wait([&](HWND w) { return ClassOf(w) == cls && IsWindowVisible(w); },
                "a visible window of class " + WideToAnsi(cls).str());
  }
  HWND Dialog(const std::string& what, const std::function<bool(HWND)>& extra = nullptr) {
    return Wait([&](HWND w) { return ClassOf(w) == L"#32770" && IsWindowVisible(w) && (!extra || extra(w)); }, what);
  }
  // No window of the class is shown (a job's progress window has gone).
  bool NoneShown(const wchar_t* cls) {
    return Find([&](HWND w) { return ClassOf(w) == cls && IsWindowVisible(w); }) == nullptr;
  }

  void Write(const void* data, size_t size, size_t offset = 0) {
    WriteProcessMemory(FInfo.hProcess, FMemory + offset, data, size, nullptr);
  }
  void Read(void* data, size_t size, size_t offset = 0) {
    ReadProcessMemory(FInfo.hProcess, FMemory + offset, data, size, nullptr);
  }
  char* Remote(size_t offset = 0) { return FMemory + offset; }

private:
  PROCESS_INFORMATION FInfo = {};
  char* FMemory = nullptr;
};

HWND Child(HWND parent, const std::wstring& classPart) {
  struct TFind {
    std::wstring Part;
    HWND Found = nullptr;
  } find{classPart};
  EnumChildWindows(
      parent,
      [](HWND w, LPARAM data) -> BOOL __attribute__((stdcall)) {
        auto* f = reinterpret_cast<TFind*>(data);
        if (ClassOf(w).find(f->Part) == std::wstring::npos) return TRUE;
        f->Found = w;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&find));
  return find.Found;
}

HWND ChildWithText(HWND parent, const std::wstring& text) {
  struct TFind {
    std::wstring Text;
    HWND Found = nullptr;
  } find{text};
  EnumChildWindows(
      parent,
      [](HWND w, LPARAM data) -> BOOL __attribute__((stdcall)) {
        auto* f = reinterpret_cast<TFind*>(data);
        if (WindowTextW(w) != f->Text) return TRUE;
        f->Found = w;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&find));
  return find.Found;
}

std::wstring DialogText(HWND dialog) {
  wchar_t text[2048] = {};
  GetDlgItemTextW(dialog, 0xFFFF, text, 2048);
  return text;
}

// A command of the program through its action's shortcut, typed as a user
// types it: Wine cannot read the menus of another process, and the tool-bar
// buttons are drawn by their panel, so neither has anything to address.
// The keys go to the window with the keyboard focus of the foreground
// thread, so they are typed only once the main window is in front and the
// focus is back inside it (after a modal window closes, the platform hands
// the focus back a little later than the activation).
void PressCtrlShortcut(HWND main, WORD key) {
  ASSERT_TRUE(WaitFor(
      [&] {
        if (GetForegroundWindow() != main) SetForegroundWindow(main);
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
        if (GetForegroundWindow() != main || !GetGUIThreadInfo(GetWindowThreadProcessId(main, nullptr), &info))
          return false;
        return info.hwndFocus == main || IsChild(main, info.hwndFocus);
      },
      "the main window in front with the keyboard focus"));
  INPUT keys[4] = {};
  const WORD order[4] = {VK_CONTROL, key, key, VK_CONTROL};
  for (int i = 0; i < 4; ++i) {
    keys[i].type = INPUT_KEYBOARD;
    keys[i].ki.wVk = order[i];
    keys[i].ki.dwFlags = i >= 2 ? KEYEVENTF_KEYUP : 0;
  }
  ASSERT_EQ(SendInput(4, keys, sizeof(INPUT)), 4u);
}

std::wstring RemoteItemText(Program& p, HWND list, int row, int column) {
  LVITEMW item = {};
  item.iSubItem = column;
  item.pszText = reinterpret_cast<wchar_t*>(p.Remote(1024));
  item.cchTextMax = 1024;
  p.Write(&item, sizeof item);
  SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(p.Remote()));
  wchar_t text[1024] = {};
  p.Read(text, sizeof text - 2, 1024);
  return text;
}

std::vector<std::vector<std::wstring>> RemoteRows(Program& p, HWND list) {
  std::vector<std::vector<std::wstring>> rows;
  const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  for (int r = 0; r < count; ++r) {
    std::vector<std::wstring> row;
    for (int c = 0; c < 6; ++c) row.push_back(RemoteItemText(p, list, r, c));
    rows.push_back(row);
  }
  return rows;
}

std::wstring RemoteNodeText(Program& p, HWND tree, HTREEITEM item) {
  TVITEMW tv = {};
  tv.mask = TVIF_TEXT;
  tv.hItem = item;
  tv.pszText = reinterpret_cast<wchar_t*>(p.Remote(1024));
  tv.cchTextMax = 1024;
  p.Write(&tv, sizeof tv);
  SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(p.Remote()));
  wchar_t text[1024] = {};
  p.Read(text, sizeof text - 2, 1024);
  return text;
}

// Every folder path of the tree below the root ("a\b"), the root's text apart.
void RemoteTree(Program& p, HWND tree, HTREEITEM item, const std::wstring& prefix, std::set<std::wstring>& out) {
  for (HTREEITEM c = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, (LPARAM)item)); c;
       c = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT, (LPARAM)c))) {
    const std::wstring path = prefix + RemoteNodeText(p, tree, c);
    out.insert(path);
    RemoteTree(p, tree, c, path + L"\\", out);
  }
}

// A folder name as the list holds it: in the system code page.
std::wstring AsListed(const std::wstring& name) {
  return AnsiToWide(WideToAnsi(WideString(name.c_str()))).str();
}

// The folders below root on disk, as the list names them; links recorded
// but not entered.
void DiskFolders(const std::wstring& root, const std::wstring& prefix, std::set<std::wstring>& out) {
  WIN32_FIND_DATAW d;
  HANDLE h = FindFirstFileW((L"\\\\?\\" + root + L"\\*").c_str(), &d);
  if (h == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = d.cFileName;
    if (!(d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || name == L"." || name == L"..") continue;
    const std::wstring path = prefix + AsListed(name);
    out.insert(path);
    if (!(d.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) DiskFolders(root + L"\\" + name, path + L"\\", out);
  } while (FindNextFileW(h, &d));
  FindClose(h);
}

// Size in KB as the table shows it: the nearest whole number, ties to even,
// never 0 for a size above 0.
std::wstring KbText(uint64_t bytes) {
  const uint64_t whole = bytes / 1024, rest = bytes % 1024;
  uint64_t k = whole + (rest > 512 || (rest == 512 && (whole & 1)) ? 1 : 0);
  if (k == 0) k = 1;
  return std::to_wstring(k);
}

std::wstring Letters(DWORD attributes) {
  std::wstring s;
  const struct {
    DWORD Bit;
    wchar_t Letter;
  } map[] = {{FILE_ATTRIBUTE_READONLY, L'R'},  {FILE_ATTRIBUTE_HIDDEN, L'H'},    {FILE_ATTRIBUTE_SYSTEM, L'S'},
             {8, L'V'},                         {FILE_ATTRIBUTE_ARCHIVE, L'A'},   {FILE_ATTRIBUTE_TEMPORARY, L'T'},
             {FILE_ATTRIBUTE_COMPRESSED, L'C'}};
  for (const auto& m : map)
    if (attributes & m.Bit) s += m.Letter;
  return s.empty() ? L"----" : s;
}

// The root folder's entries on disk as rows: name, size, attributes.
std::map<std::wstring, std::vector<std::wstring>> DiskRows(const std::wstring& root) {
  std::map<std::wstring, std::vector<std::wstring>> rows;
  WIN32_FIND_DATAW d;
  HANDLE h = FindFirstFileW((root + L"\\*").c_str(), &d);
  uint64_t total = 0;
  do {
    const std::wstring name = d.cFileName;
    if (name == L"." || name == L"..") continue;
    const bool folder = d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
    const uint64_t size = (uint64_t(d.nFileSizeHigh) << 32) | d.nFileSizeLow;
    (void)total;
    const DWORD attributes = GetFileAttributesW((root + L"\\" + name).c_str());
    rows[AsListed(name)] = {folder ? L"" : (size == 0 ? L"0" : KbText(size)), Letters(attributes)};
  } while (FindNextFileW(h, &d));
  FindClose(h);
  return rows;
}

void MakeFile(const std::wstring& path, size_t size) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  std::string data(size, 'z');
  DWORD written = 0;
  if (size) WriteFile(h, data.data(), DWORD(size), &written, nullptr);
  CloseHandle(h);
}

class ProgramTest : public ::testing::Test {};

TEST_F(ProgramTest, AMissingFileIsReportedBeforeTheWindowShows) {
  TempDir dir;
  Program p(L"\"" + AnsiToWide(dir.File("nothing.vq").c_str()).str() + L"\"");
  HWND box = p.Dialog("the message on the missing file");
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(DialogText(box), L"Файл не найден");
  EXPECT_EQ(WindowTextW(box), L"Fennolit");
  HWND main = FindWindowW(L"TInfoFileForm", L"Fennolit");
  EXPECT_TRUE(!main || !IsWindowVisible(main)) << "the message comes first";
  PostMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
  main = p.Window(L"TInfoFileForm");
  ASSERT_NE(main, nullptr);
  HWND list = Child(main, L"ListView");
  EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 0);
  PostMessageW(main, WM_CLOSE, 0, 0);
  EXPECT_TRUE(p.Ended()) << "no question for no list";
}

// Removes the tree from the Linux side: the link and the paths longer than
// the narrow limit are beyond the temporary folder's own clean-up.
struct TreeRemoval {
  std::string Path;
  ~TreeRemoval() { RunUnix("rm -rf '" + UnixPath(Path) + "'"); }
};

TEST_F(ProgramTest, ScanSaveReopenFromTheCommandLineShowsTheFolderTree) {
  TempDir dir;
  TreeRemoval removal{dir.File("tree")};
  const std::wstring root = AnsiToWide(dir.File("tree").c_str()).str();
  CreateDirectoryW(root.c_str(), nullptr);
  const std::wstring names[] = {L"Папка", L"Φάκελος", L"文件夹", L"empty"};
  for (const auto& n : names) CreateDirectoryW((root + L"\\" + n).c_str(), nullptr);
  MakeFile(root + L"\\Файл.txt", 5000);
  MakeFile(root + L"\\αρχείο.dat", 1536);
  MakeFile(root + L"\\文件.bin", 512);
  MakeFile(root + L"\\zero.txt", 0);
  MakeFile(root + L"\\hidden.txt", 100);
  SetFileAttributesW((root + L"\\hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
  MakeFile(root + L"\\readonly.txt", 2560);
  SetFileAttributesW((root + L"\\readonly.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  MakeFile(root + L"\\Папка\\inner.txt", 3584);
  // A path longer than 260 characters.
  std::wstring deep = root + L"\\Папка";
  for (int i = 0; i < 6; ++i) {
    deep += L"\\" + std::wstring(50, wchar_t(L'a' + i));
    CreateDirectoryW((L"\\\\?\\" + deep).c_str(), nullptr);
  }
  ASSERT_GT(deep.size(), 260u);
  MakeFile(L"\\\\?\\" + deep + L"\\far.txt", 10);
  // A link that leads back up.
  std::string output;
  ASSERT_EQ(RunUnix("ln -s .. '" + UnixPath(dir.File("tree")) + "/empty/loop'", &output), 0) << output;

  const std::string listFile = dir.File("tree.vq");
  const size_t rootEntries = DiskRows(root).size();
  // The text of the folder tree's root: the folder's name once a scan has
  // finished, the list file's name once it was saved or opened.
  auto rootText = [](Program& p, HWND tree) {
    HTREEITEM first = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
    return first ? RemoteNodeText(p, tree, first) : std::wstring();
  };
  auto rowCount = [](HWND list) { return static_cast<size_t>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); };
  {
    Program p(L"");
    HWND main = p.Window(L"TInfoFileForm");
    ASSERT_NE(main, nullptr);
    HWND tree = Child(main, L"TreeView");
    HWND list = Child(main, L"ListView");
    ASSERT_NE(tree, nullptr);
    ASSERT_NE(list, nullptr);
    PressCtrlShortcut(main, 'N');  // New
    HWND chooser = p.Dialog("the folder chooser of New", [](HWND w) { return Child(w, L"SysTreeView32") != nullptr; });
    ASSERT_NE(chooser, nullptr);
    p.Write(root.c_str(), (root.size() + 1) * 2, 4096);
    // The chooser's tree reads the folders on the way to the scan folder,
    // then the folder above it is written to. The chooser's own match by
    // path compares the folder times too and now misses; the names the tree
    // shows still lead to the folder, as they lead a user.
    SendMessageW(chooser, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(p.Remote(4096)));
    HWND chooserTree = Child(chooser, L"SysTreeView32");
    ASSERT_NE(chooserTree, nullptr);
    SendMessageW(chooserTree, TVM_SELECTITEM, TVGN_CARET, SendMessageW(chooserTree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
    {
      HANDLE h = CreateFileA(dir.Path().c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
      ASSERT_NE(h, INVALID_HANDLE_VALUE);
      SYSTEMTIME st{2001, 2, 0, 3, 4, 5, 6, 0};
      FILETIME ft;
      SystemTimeToFileTime(&st, &ft);
      EXPECT_TRUE(SetFileTime(h, nullptr, nullptr, &ft));
      CloseHandle(h);
    }
    SendMessageW(chooser, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(p.Remote(4096)));
    HTREEITEM caret = reinterpret_cast<HTREEITEM>(SendMessageW(chooserTree, TVM_GETNEXTITEM, TVGN_CARET, 0));
    EXPECT_NE(caret ? RemoteNodeText(p, chooserTree, caret) : std::wstring(), L"tree")
        << "the chooser's own match found a folder whose times changed since its tree read them: the case this "
           "test stands for did not happen";
    const TTreeItemText remoteText = [&](HWND t, HTREEITEM item) { return RemoteNodeText(p, t, item); };
    ASSERT_TRUE(WaitFor(
        [&] { return SelectInFolderChooser(chooser, root, reinterpret_cast<LPARAM>(p.Remote(4096)), remoteText); },
        "the folder chooser selected the folder to scan"));
    PostMessageW(GetDlgItem(chooser, IDOK), BM_CLICK, 0, 0);
    HWND params = p.Window(L"TParamsForm");
    ASSERT_NE(params, nullptr);
    HWND apply = ChildWithText(params, L"Применить");
    ASSERT_NE(apply, nullptr);
    PostMessageW(apply, BM_CLICK, 0, 0);
    // The scan names the root node after the folder as its last step, after
    // the table shows the root's entries and the window is enabled again.
    ASSERT_TRUE(WaitFor(
        [&] {
          return IsWindowEnabled(main) && p.NoneShown(L"TProgressForm") && rootText(p, tree) == L"tree" &&
                 rowCount(list) == rootEntries;
        },
        "the scan finished: the root node named \"tree\", its entries in the table, the window enabled"));

    PressCtrlShortcut(main, 'S');  // Save: a new list asks for its name
    HWND save = p.Dialog("the save dialog for the new list",
                         [](HWND w) { return GetDlgItem(w, 0x480) || GetDlgItem(w, 0x47C); });
    ASSERT_NE(save, nullptr);
    HWND edit = GetDlgItem(save, 0x480) ? GetDlgItem(save, 0x480) : GetDlgItem(save, 0x47C);
    SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(AnsiToWide(listFile.c_str()).c_bstr()));
    PostMessageW(GetDlgItem(save, IDOK), BM_CLICK, 0, 0);
    // A save that succeeded renames the root node after the list file.
    ASSERT_TRUE(WaitFor(
        [&] {
          return IsWindowEnabled(main) && p.NoneShown(L"TProgressForm") && rootText(p, tree) == L"tree.vq" &&
                 FileExists(listFile.c_str());
        },
        "the save finished: the root node named \"tree.vq\", the window enabled"));
    PostMessageW(main, WM_CLOSE, 0, 0);
    ASSERT_TRUE(p.Ended()) << "a saved list closes without a question";
  }

  Program p(L"\"" + AnsiToWide(listFile.c_str()).str() + L"\"");
  HWND main = p.Window(L"TInfoFileForm");
  ASSERT_NE(main, nullptr);
  HWND tree = Child(main, L"TreeView");
  HWND list = Child(main, L"ListView");
  ASSERT_TRUE(WaitFor(
      [&] { return IsWindowEnabled(main) && rootText(p, tree) == L"tree.vq" && rowCount(list) == rootEntries; },
      "the list named on the command line was opened: the root node named \"tree.vq\", its entries in the table"));

  HTREEITEM first = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(RemoteNodeText(p, tree, first), L"tree.vq");
  std::set<std::wstring> shownFolders, diskFolders;
  RemoteTree(p, tree, first, L"", shownFolders);
  DiskFolders(root, L"", diskFolders);
  EXPECT_EQ(shownFolders, diskFolders);
  EXPECT_TRUE(shownFolders.count(L"empty\\loop")) << "the link is listed, not followed";
  EXPECT_FALSE(shownFolders.count(L"empty\\loop\\empty"));
  EXPECT_TRUE(shownFolders.count(L"Папка\\" + std::wstring(50, L'a') + L"\\" + std::wstring(50, L'b') + L"\\" +
                                 std::wstring(50, L'c') + L"\\" + std::wstring(50, L'd') + L"\\" +
                                 std::wstring(50, L'e') + L"\\" + std::wstring(50, L'f')));

  const auto rows = RemoteRows(p, list);
  const auto disk = DiskRows(root);
  ASSERT_EQ(rows.size(), disk.size());
  bool foldersFirst = true, seenFile = false;
  for (const auto& row : rows) {
    auto it = disk.find(row[0]);
    ASSERT_NE(it, disk.end()) << WideToAnsi(row[0].c_str()).c_str();
    const bool folder = it->second[0].empty();
    if (!folder) {
      seenFile = true;
      EXPECT_EQ(row[1], it->second[0]) << WideToAnsi(row[0].c_str()).c_str();
    } else if (seenFile) {
      foldersFirst = false;
    }
    EXPECT_EQ(row[4], it->second[1]) << WideToAnsi(row[0].c_str()).c_str();
    EXPECT_NE(row[2], L"----");
    EXPECT_NE(row[3], L"----");
    EXPECT_EQ(row[5], L"----");
  }
  EXPECT_TRUE(foldersFirst);
  PostMessageW(main, WM_CLOSE, 0, 0);
  EXPECT_TRUE(p.Ended());
}

// The names in a folder that match a mask (no path).
std::set<std::string> Matching(const std::string& mask) {
  std::set<std::string> names;
  WIN32_FIND_DATAA d;
  HANDLE h = FindFirstFileA(mask.c_str(), &d);
  if (h == INVALID_HANDLE_VALUE) return names;
  do names.insert(d.cFileName);
  while (FindNextFileA(h, &d));
  FindClose(h);
  return names;
}

// A save of a list of 171,372 entries (100 MB of records) killed part-way
// through the archive leaves its temporary folder and its pending archive
// beside the list, and the list file as it was; the next start removes the
// folder, the next save of the list the archive, and the list reads back.
TEST_F(ProgramTest, AKilledSaveIsClearedByTheNextStartAndSave) {
  TempDir dir;
  const std::string listFile = dir.File("big.vq"), data = dir.File("big.bin");
  const std::string script = R"PY(
import struct, sys, zipfile
def record(name, kind, level, last):
    r = bytearray(600)
    r[0:len(name)] = name
    r[568] = ord(kind)
    struct.pack_into('<ii', r, 592, level, last)
    return r
data = bytearray(b'hdr' + bytes(253)) + record(b'', 'D', 0, 418)
for f in range(419):
    data += record(b'folder%d' % f, 'D', 1, 407)
    for i in range(408):
        data += record(b'file%d.dat' % i, 'F', 2, -1)
open(sys.argv[2], 'wb').write(data)
with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:
    z.writestr('~tmp~big', bytes(data))
)PY";
  std::string output;
  ASSERT_EQ(RunPython(script, Q(UnixPath(listFile)) + " " + Q(UnixPath(data)), &output), 0) << output;
  const std::string before = ReadFileBytes(listFile);
  char base[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, base);
  const std::string pendingMask = dir.File("~fennolit-*.tmp");
  auto rootText = [](Program& p, HWND tree) {
    HTREEITEM first = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
    return first ? RemoteNodeText(p, tree, first) : std::wstring();
  };
  auto opened = [&](Program& p) {
    HWND main = p.Window(L"TInfoFileForm");
    if (!main) return main;
    HWND tree = Child(main, L"TreeView");
    const bool loaded = WaitFor([&] { return IsWindowEnabled(main) && rootText(p, tree) == L"big.vq"; },
                                "the list named on the command line opened", 4 * kWaitBoundMs);
    EXPECT_TRUE(loaded);
    return loaded ? main : nullptr;
  };

  std::set<std::string> killed;
  // The killed save's folder, should the test end before the next start
  // removes it.
  struct RemovedAtEnd {
    std::string Mask;
    ~RemovedAtEnd() {
      if (!Mask.empty()) RemoveTempFolders(Mask);
    }
  } killedFolders;
  {
    Program p(L"\"" + AnsiToWide(listFile.c_str()).str() + L"\"");
    HWND main = opened(p);
    ASSERT_NE(main, nullptr);
    PressCtrlShortcut(main, 'S');
    ASSERT_TRUE(WaitFor(
        [&] {
          const std::set<std::string> pending = Matching(pendingMask);
          WIN32_FILE_ATTRIBUTE_DATA d = {};
          return !pending.empty() &&
                 GetFileAttributesExA(dir.File(*pending.begin()).c_str(), GetFileExInfoStandard, &d) &&
                 d.nFileSizeLow > 0;
        },
        "the save part-way through its archive beside the list", 4 * kWaitBoundMs));
    p.Kill();
    killedFolders.Mask = p.TempFolders();
    killed = Matching(std::string(base) + killedFolders.Mask);
  }
  ASSERT_EQ(killed.size(), 1u) << "the killed save's temporary folder";
  const std::string folder = std::string(base) + *killed.begin();
  EXPECT_EQ(Matching(pendingMask), std::set<std::string>{"~" + *killed.begin() + ".tmp"});
  EXPECT_EQ(ReadFileBytes(listFile), before);

  Program p(L"\"" + AnsiToWide(listFile.c_str()).str() + L"\"");
  HWND main = opened(p);
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(GetFileAttributesA(folder.c_str()), INVALID_FILE_ATTRIBUTES) << "removed at the start";
  const auto stamp = [&] {
    WIN32_FILE_ATTRIBUTE_DATA d = {};
    GetFileAttributesExA(listFile.c_str(), GetFileExInfoStandard, &d);
    return std::make_tuple(d.ftLastWriteTime.dwLowDateTime, d.ftLastWriteTime.dwHighDateTime, d.nFileSizeLow);
  };
  const auto saved = stamp();
  PressCtrlShortcut(main, 'S');
  ASSERT_TRUE(WaitFor([&] { return stamp() != saved && IsWindowEnabled(main); }, "the list saved by Ctrl+S",
                      4 * kWaitBoundMs));
  EXPECT_EQ(Matching(pendingMask), std::set<std::string>{}) << "removed by the save";
  PostMessageW(main, WM_CLOSE, 0, 0);
  ASSERT_TRUE(p.Ended());
  ASSERT_EQ(RunPython("import sys, zipfile\n"
                      "z = zipfile.ZipFile(sys.argv[1])\n"
                      "assert z.testzip() is None and z.namelist() == ['~tmp~big'], z.namelist()\n"
                      "assert z.read('~tmp~big') == open(sys.argv[2], 'rb').read()\n",
                      Q(UnixPath(listFile)) + " " + Q(UnixPath(data)), &output),
            0)
      << output;
}

// Keys as the user types them, to the window in front (the program's).
void SelectRemoteRow(Program& p, HWND list, int row) {
  LVITEMW item = {};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = 0;
  p.Write(&item, sizeof item);
  SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(p.Remote()));
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  p.Write(&item, sizeof item);
  SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(p.Remote()));
}

int RemoteRowOf(Program& p, HWND list, const std::wstring& caption) {
  const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  for (int r = 0; r < count; ++r)
    if (RemoteItemText(p, list, r, 0) == caption) return r;
  return -1;
}

// The program itself, driven by its shortcuts: a list opened from the command
// line gets a needed mark and a damaged mark, a damaged-file list is imported
// (absent entries added, message 25 answered), the list is saved with Ctrl+S
// and the program closes without a question; the saved records are read back
// by Python.
class ProgramSessionTest : public MainWindowTest {};

TEST_F(ProgramSessionTest, ShortcutsMarkImportAndSave) {
  TestTree tree;
  tree.Folder("sub");
  tree.File("sub\\file.txt", 10);
  tree.File("top.txt", 10);
  tree.File("other.txt", 10);
  Scan(tree.Root());
  TempDir dir;
  const std::string listFile = dir.File("session.vq");
  SaveAs(listFile);
  ASSERT_TRUE(FileExists(listFile.c_str()));
  const std::string damaged = dir.File("damaged.txt");
  WriteFileBytes(damaged, "\xEF\xBB\xBFsub\\FILE.TXT\r\nnew\\gone.txt\r\n");

  Program p(L"\"" + AnsiToWide(listFile.c_str()).str() + L"\"");
  HWND main = p.Window(L"TInfoFileForm");
  ASSERT_NE(main, nullptr);
  HWND list = Child(main, L"ListView");
  ASSERT_TRUE(WaitFor([&] { return SendMessageW(list, LVM_GETITEMCOUNT, 0, 0) == 3; }, "the list's three rows"));
  SetForegroundWindow(main);
  ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == main; }, "the program in front"));

  // The keys are taken in their order, after the selection made here: each
  // command is seen done before the next row is chosen.
  SelectRemoteRow(p, list, RemoteRowOf(p, list, L"other.txt"));
  PressCtrlShortcut(main, 'B');  // damaged
  ASSERT_TRUE(WaitFor([&] { return RemoteItemText(p, list, RemoteRowOf(p, list, L"other.txt"), 4).find(L'E') !=
                                   std::wstring::npos; },
                      "the damaged mark of Ctrl+B in the attributes cell"));
  SelectRemoteRow(p, list, RemoteRowOf(p, list, L"top.txt"));
  PressCtrlShortcut(main, 'W');  // needed, taken before the import's key below

  PressCtrlShortcut(main, 'L');  // import
  HWND open = p.Dialog("the file dialog of Ctrl+L", [](HWND w) { return GetDlgItem(w, 0x480) || GetDlgItem(w, 0x47C); });
  ASSERT_NE(open, nullptr);
  HWND edit = GetDlgItem(open, 0x480) ? GetDlgItem(open, 0x480) : GetDlgItem(open, 0x47C);
  SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(AnsiToWide(damaged.c_str()).c_bstr()));
  PostMessageW(GetDlgItem(open, IDOK), BM_CLICK, 0, 0);
  HWND told = p.Dialog("message 25", [](HWND w) { return DialogText(w).find(L"В импортируемом списке") == 0; });
  ASSERT_NE(told, nullptr);
  PostMessageW(GetDlgItem(told, IDOK), BM_CLICK, 0, 0);
  ASSERT_TRUE(WaitFor([&] { return IsWindowEnabled(main) && !IsWindow(told); }, "the end of the import"));

  // The file is watched by its attributes, never opened while the program
  // may be putting the new one in place: a reader holding it open makes
  // that replace fail (message 11), as it would on Windows.
  const auto stamp = [&] {
    WIN32_FILE_ATTRIBUTE_DATA d = {};
    GetFileAttributesExA(listFile.c_str(), GetFileExInfoStandard, &d);
    return std::make_tuple(d.ftLastWriteTime.dwLowDateTime, d.ftLastWriteTime.dwHighDateTime, d.nFileSizeLow);
  };
  const auto before = stamp();
  const std::string beforeBytes = ReadFileBytes(listFile);
  PressCtrlShortcut(main, 'S');
  ASSERT_TRUE(WaitFor([&] { return stamp() != before && IsWindowEnabled(main); }, "the list saved by Ctrl+S"));
  PostMessageW(main, WM_CLOSE, 0, 0);
  ASSERT_TRUE(p.Ended()) << "a saved list closes without a question";
  EXPECT_NE(ReadFileBytes(listFile), beforeBytes);

  const std::map<std::string, std::string> records = SavedListRecords(listFile);
  const std::map<std::string, std::string> expected = {
      {"<root>", "D|0|0|0|0|"},          {"sub", "D|0|0|0|0|"},     {"sub\\file.txt", "F|1|0|0|0|"},
      {"top.txt", "F|0|0|1|0|"},         {"other.txt", "F|1|0|0|0|"}, {"new", "D|0|1|0|0|"},
      {"new\\gone.txt", "F|1|1|0|0|"},
  };
  EXPECT_EQ(records, expected);
}

}  // namespace
