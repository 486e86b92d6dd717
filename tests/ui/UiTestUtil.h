// Helpers of the program's window tests: the main window made as the program
// makes it, an answerer for the dialogs it opens (message boxes, the file and
// folder choosers, its own modal windows), folder trees on disk, list files.
#pragma once

#include "Mainunit.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "Zefolderdialog.h"
#include "guitest.h"
#include "harness.h"

// The records of a list file as Python reads them from the archive, by path
// below the root ("<root>" for the root): "kind|damaged|absent|need
// mark|marked count|comment", the texts in the ANSI code page as stored.
// markedOnly: only the records with a need mark or a comment (the paths of
// every record of a list thousands of folders deep would not fit in memory).
std::map<std::string, std::string> SavedListRecords(const std::string& listFile, bool markedOnly = false);
// The same records in the order of the file (depth-first): twins, two
// sibling folders of one name, share their paths and are told apart by it.
std::vector<std::pair<std::string, std::string>> SavedListRecordsInOrder(const std::string& listFile,
                                                                         bool markedOnly = false);

// Writes a list file whose root holds a chain of depth folders named by
// their level modulo 100 (d0, d1, ...; the deepest named deepest when
// given) with one file, f.txt marked needed, in the deepest.
void WriteDeepList(const std::string& listFile, int depth, const std::string& deepest = {});

// The first entry below root (in pre-order) whose Name is name; null when none.
ListNode* FindEntry(ListNode* root, const std::string& name);

// A text in the system code page, as message boxes and titles hold it.
inline std::string Ansi(const wchar_t* text) { return WideToAnsi(text).str(); }

// One scripted answer. A window whose title or text (ANSI) contains Match is
// answered: a file dialog gets Input as its file name, the folder chooser
// selects the folder Input, and then the button Button is clicked (0 closes
// the window). A program window with Control set gets a click on that
// component instead, after Input was put into its first edit.
// Before, when set, runs on a message box or a program window while it is
// up, just before it is answered (the window's own message loop has run by
// then).
struct DialogStep {
  DialogStep(std::string match, int button = IDOK, std::string input = {}, std::string control = {},
             std::function<void(HWND)> before = {})
      : Match(std::move(match)), Button(button), Input(std::move(input)), Control(std::move(control)),
        Before(std::move(before)) {}
  std::string Match;
  int Button = IDOK;
  std::string Input;
  std::string Control;
  std::function<void(HWND)> Before;
};

// Answers the dialogs shown while it lives, each with the first step that
// matches (a step answers once); windows no step matches get IDCANCEL.
class DialogDriver {
public:
  explicit DialogDriver(std::vector<DialogStep> script);
  ~DialogDriver();
  DialogDriver(const DialogDriver&) = delete;
  DialogDriver& operator=(const DialogDriver&) = delete;

  struct Seen {
    std::string Title;
    std::string Text;
    bool Answered;
  };
  const std::vector<Seen>& Shown() const { return FShown; }
  // The texts of the windows seen, one per line ("title | text").
  std::string Log() const;
  // Steps that answered nothing.
  std::vector<std::string> Unused() const;

private:
  static LRESULT CALLBACK CbtProc(int code, WPARAM w, LPARAM l);
  static void CALLBACK TimerProc(HWND, UINT, UINT_PTR id, DWORD);
  void OnActivate(HWND wnd);
  void Perform();

  std::vector<DialogStep> FScript;
  std::vector<bool> FUsed;
  std::vector<Seen> FShown;
  std::vector<HWND> FWindows;
  HHOOK FHook = nullptr;
  struct Pending {
    HWND Window;
    int Kind;  // 0 message box, 1 file dialog, 2 folder chooser, 3 program window
    DialogStep Step;
    DWORD Since;  // GetTickCount when first seen
  };
  std::vector<Pending> FPending;
  UINT_PTR FTimer = 0;
  static DialogDriver* FCurrent;
};

// Selects the folder path in the shell's folder chooser of New: by path
// (pathArgument: the path in memory the chooser's process reads), and when
// the chooser's own match missed, through its tree by the names the tree
// shows (itemText reads an item of a tree in another process). True once the
// tree has the folder selected.
bool SelectInFolderChooser(HWND dialog, const std::wstring& path, LPARAM pathArgument,
                           const TTreeItemText& itemText = TreeItemText);

// The main window and the parameters window as the program makes them (the
// application's exception handler stays the test's). The window is shown.
class MainWindowTest : public GuiTest {
protected:
  void SetUp() override;
  void TearDown() override;

  TInfoFileForm* F = nullptr;

  // Scans a folder with New; the parameters window is applied unchanged.
  // The shell's folder chooser is answered when chooser is set, else a quick
  // stand-in names the folder.
  void Scan(const std::string& folder, bool chooser = false);
  // Opens a list file as a dropped file does (no dialog).
  void OpenFile(const std::string& listFile);
  // Saves under a name through Save As (the save dialog answered).
  void SaveAs(const std::string& listFile);
  // Runs the search with the mask typed into the search window (or the
  // window cancelled when mask is null).
  void Search(const wchar_t* mask);

  // The table as the control holds it: one line per row, cells joined by "|".
  std::vector<std::wstring> Rows();
  std::wstring Cell(int row, int column);
  // The first row whose caption is caption; -1 when none.
  int RowOf(const std::wstring& caption);
  int SelectedRow();
  void SelectRow(int row);
  // The folder tree in pre-order: one line per node, indented by level.
  std::vector<std::wstring> TreeLines();
  TUcTreeNode* TreeNode(const std::wstring& text);
  // A real click on a tree node (button down and up at its text).
  void ClickTreeNode(TUcTreeNode* node);
  std::wstring BackHint();
  std::wstring ForwardHint();
};

// Puts the current folder back when it goes (the file dialogs move it to
// the folder they were answered in, which would then stay in use).
class KeepCurrentFolder {
public:
  KeepCurrentFolder() { GetCurrentDirectoryW(MAX_PATH, FFolder); }
  ~KeepCurrentFolder() { SetCurrentDirectoryW(FFolder); }

private:
  wchar_t FFolder[MAX_PATH] = {};
};

// While it lives, New's folder chooser answers with this folder at once
// (an empty folder name: as if cancelled).
class FolderChoice {
public:
  explicit FolderChoice(const std::string& folder);
  ~FolderChoice();
};

// A folder tree under a temporary folder: folders and files by relative path.
class TestTree {
public:
  TestTree();
  ~TestTree();
  const std::string& Root() const { return FDir.Path(); }
  std::string Path(const std::string& relative) const { return FDir.Path() + "\\" + relative; }
  void Folder(const std::string& relative);
  void File(const std::string& relative, size_t size);

private:
  TempDir FDir;
};

// A drive letter of its own standing for a folder while it lives: a link in
// the Wine prefix's dosdevices (the system reads them at every lookup),
// removed at the end. Letter() is 0 when no free letter could be linked.
class MappedDrive {
public:
  explicit MappedDrive(const std::string& folder);
  ~MappedDrive();
  MappedDrive(const MappedDrive&) = delete;
  MappedDrive& operator=(const MappedDrive&) = delete;
  char Letter() const { return FLetter; }
  // The drive's root: Q:\ for Q.
  std::string Root() const { return std::string(1, FLetter) + ":\\"; }

private:
  std::string Link() const;
  char FLetter = 0;
};

// The single entry of a ZIP archive, read by Python's zipfile; empty when the
// archive does not hold exactly one entry.
std::string ZipSingleEntry(const std::string& archive, std::string* entryName = nullptr);
