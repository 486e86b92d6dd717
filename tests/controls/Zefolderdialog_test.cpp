// The folder browse dialog: the shortened status path, the caption lists by
// locale, the new-folder button's place, and real dialog rounds (a cancelled
// round after a new folder leaves the start folder).
#include "ControlsTestUtil.h"

#include "stdctrls.h"

#include <commctrl.h>

#include "Zefolderdialog.h"

#include <gtest/gtest.h>

inline void PrintTo(const AnsiString& s, std::ostream* os) { *os << '"' << s.c_str() << '"'; }

namespace {

TEST(FolderDialog, DisplayPathIsShortenedInTheMiddle) {
  struct Row {
    const char* Path;
    int MaxLen;
    const char* Expected;
  } rows[] = {
      {"C:\\Program Files\\Common Files\\Some Vendor\\Shared\\Tools\\Bin", 50,
       "C:\\...\\Common Files\\Some Vendor\\Shared\\Tools\\Bin"},
      {"\\\\server\\share\\alpha\\beta\\gamma\\delta\\epsilon\\zeta\\eta", 50,
       "\\\\server\\...\\beta\\gamma\\delta\\epsilon\\zeta\\eta"},
      {"C:\\short", 50, "C:\\short"},
      {"C:\\a\\b\\c\\d", 5, "C:\\a\\"},                            // MaxLen below 6
      {"abcdefghijklmnopqrstuvwxyz", 10, "abcdefghij"},           // no backslash
      {"C:\\abcdefghijklmnopqrstuvwxyz", 10, "C:\\abcdefg"},       // one backslash after the drive
      {"C:\\a\\bbbbbbbbbbbbbbbbbbbbbbbbbbbbbb", 20, "C:\\...\\bbbbbbbbbb..."},  // the last name cut too
      {"", 50, ""},
  };
  for (const Row& r : rows) EXPECT_EQ(MakeDisplayPath(r.Path, r.MaxLen), AnsiString(r.Expected)) << r.Path;
  EXPECT_EQ(MakeDisplayPath(rows[0].Path, 50).Length(), 48);
}

TEST(FolderDialog, LocaleTextFallsBackToDefaultThenTheFirstLine) {
  TPBFolderDialog d(nullptr);
  TStringList list;
  struct Row {
    std::vector<const char*> Lines;
    const char* Locale;
    const char* Expected;
  } rows[] = {
      {{"Default=D", "0407=G", "0409=E"}, "0407", "G"},
      {{"Default=D", "0407=G"}, "0416", "D"},
      {{"0407=G", "0409=E"}, "0416", "G"},
      {{"0407=G", "Default=D"}, "", "D"},
      {{}, "0407", ""},
  };
  for (const Row& r : rows) {
    list.Clear();
    for (const char* line : r.Lines) list.Add(line);
    d.SetLocale(r.Locale);
    EXPECT_EQ(d.LocaleText(&list), AnsiString(r.Expected)) << r.Locale;
  }
  d.SetLocale("0407");
  EXPECT_EQ(d.NewFolderCaption(), AnsiString("Neuer Ordner"));
  EXPECT_EQ(d.LabelCaption(), AnsiString("Ausgew\xE4hlter Ordner:"));
  d.SetLocale("0c09");
  EXPECT_EQ(d.Locale(), AnsiString("0C09"));
  EXPECT_EQ(d.NewFolderCaption(), AnsiString("New folder"));
}

TEST(FolderDialog, DefaultsAndSetters) {
  TPBFolderDialog d(nullptr);
  EXPECT_EQ(d.Version(), AnsiString("1.60.00.00"));
  d.SetVersion("2");
  EXPECT_EQ(d.Version(), AnsiString("1.60.00.00"));
  EXPECT_EQ(d.Flags, BrowseFlag(ShowPath));
  EXPECT_EQ(d.RootFolder, foDesktopExpanded);
  EXPECT_TRUE(d.NewFolderVisible());
  EXPECT_TRUE(d.NewFolderEnabled());
  struct Row {
    int Set, Expected;
  } widths[] = {{0, 75}, {-3, 75}, {1, 1}, {90, 90}};
  for (const Row& r : widths) {
    d.SetNewFolderWidth(r.Set);
    EXPECT_EQ(d.NewFolderWidth(), r.Expected);
  }
  TStringList labels;
  labels.Add("Default=Pick");
  d.SetLabelCaptions(&labels);
  EXPECT_EQ(d.LabelCaption(), AnsiString("Pick"));
  EXPECT_EQ(BrowseInfoFlagsToBif(BrowseFlag(OnlyFileSystem) | BrowseFlag(ShowPath)),
            static_cast<UINT>(BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT));
  EXPECT_EQ(BrowseInfoFlagsToBif(BrowseFlag(OnlyComputers) | BrowseFlag(OnlyPrinters) | BrowseFlag(OnlyDomains) |
                                 BrowseFlag(OnlyAncestors)),
            static_cast<UINT>(0x1000 | 0x2000 | 0x2 | 0x8));
  EXPECT_EQ(SHFolderCsidl(foDesktopExpanded), -1);
  EXPECT_EQ(SHFolderCsidl(foMyComputer), 17);
  EXPECT_EQ(SHFolderCsidl(foTemplates), 21);
}

TEST(FolderDialog, NewFolderButtonFollowsTheScreensResolution) {
  struct Row {
    int Dpi;
    RECT Expected;
  } rows[] = {
      {96, {12, 264, 87, 287}},
      {72, {12, 264, 87, 287}},
      {120, {15, 255, 108, 283}},
      {144, {17, 244, 129, 279}},
      {192, {20, 234, 170, 275}},
  };
  for (const Row& r : rows) {
    const RECT got = TPBFolderDialog::NewFolderButtonRect(300, 75, r.Dpi);
    EXPECT_EQ(got.left, r.Expected.left) << r.Dpi;
    EXPECT_EQ(got.top, r.Expected.top) << r.Dpi;
    EXPECT_EQ(got.right, r.Expected.right) << r.Dpi;
    EXPECT_EQ(got.bottom, r.Expected.bottom) << r.Dpi;
  }
  const RECT other = TPBFolderDialog::NewFolderButtonRect(300, 75, 100);
  EXPECT_EQ(other.left, 12);
  EXPECT_EQ(other.top, 300 - GetSystemMetrics(SM_CYCAPTION) - 17);
  EXPECT_EQ(other.right - other.left, 75 * 100 / 96);
  EXPECT_EQ(other.bottom - other.top, 23 * 100 / 96);
}

// --- real dialog rounds -------------------------------------------------------

struct TRounds {
  int Count = 0;
  bool ButtonShown = false;
  std::string ButtonText;
  std::vector<std::string> SelectionAtStart;
  TPBFolderDialog* Dialog = nullptr;
  bool MakeFolder = false;
  // Set: OK waits until the tree has kept this folder selected for a while
  // (the shell selects the start folder, and may move the selection once more,
  // a little after the dialog says it is ready); bounded to ten seconds.
  AnsiString OkAt;
  static inline TRounds* Waiting = nullptr;
  static inline HWND WaitingWindow = nullptr;
  static inline int StableTicks = 0;
  static inline int Ticks = 0;
  static void CALLBACK CheckSelection(HWND, UINT, UINT_PTR id, DWORD) {
    const bool there = Waiting && Waiting->Dialog->SelectionPath() == Waiting->OkAt;
    StableTicks = there ? StableTicks + 1 : 0;
    if (StableTicks >= 3 || ++Ticks > 200 || !IsWindow(WaitingWindow)) {
      KillTimer(nullptr, id);
      if (IsWindow(WaitingWindow)) PostMessageA(WaitingWindow, WM_COMMAND, IDOK, 0);
      Waiting = nullptr;
    }
  }
  void Initialized(TObject*, HWND wnd) {
    ++Count;
    HWND button = Dialog->NewFolderButton();
    // The dialog itself is not shown yet: the button's own style says it.
    ButtonShown = button && (GetWindowLongA(button, GWL_STYLE) & WS_VISIBLE);
    ButtonText = button ? WindowTextA(button) : std::string();
    SelectionAtStart.push_back(Dialog->SelectionPath().c_str());
    if (MakeFolder && Count == 1)
      PostMessageA(button, BM_CLICK, 0, 0);
    else if (!MakeFolder && !OkAt.IsEmpty()) {
      Waiting = this;
      WaitingWindow = wnd;
      StableTicks = Ticks = 0;
      SetTimer(nullptr, 0, 50, &CheckSelection);
    } else
      PostMessageA(wnd, WM_COMMAND, MakeFolder ? IDCANCEL : IDOK, 0);
  }
};

using FolderDialogRounds = UcGuiTest;

TEST_F(FolderDialogRounds, OkAnswersTheStartFolder) {
  TempDir dir;
  TPBFolderDialog d(nullptr);
  d.SetFolder(AnsiString(dir.Path()));
  TRounds rounds;
  rounds.Dialog = &d;
  rounds.OkAt = AnsiString(dir.Path());
  d.OnInitialized = MakeEvent<&TRounds::Initialized>(&rounds);
  ScriptDialogs script({{"", 0xFFFE}});  // the dialog answers itself
  ASSERT_TRUE(d.Execute());
  EXPECT_EQ(rounds.Count, 1);
  EXPECT_TRUE(rounds.ButtonShown);
  EXPECT_EQ(rounds.ButtonText, "New folder");
  EXPECT_EQ(d.Folder().str(), dir.Path()) << "selection at start: " << rounds.SelectionAtStart[0];
  EXPECT_EQ(d.DialogHandle(), nullptr);
}

// While the dialog walks its tree down to the start folder, a folder on the
// way changes its last-write time once (as when something is written into
// it): between the identifier list the selection was made from and the
// shell's own reading of that folder's parent. The shell
// compares the two byte for byte, times included, so the first selection
// finds nothing; a user would see the tree jump to the desktop and OK answer
// the desktop. The change is made from a hook at the moment the shell starts
// to read the changed folder's parent (the expansion of the item above it).
struct TChangeOnTheWay {
  std::string ExpandedName;  // the item whose expansion triggers the change
  std::string Changed;       // the folder whose time changes
  bool Done = false;
  static inline TChangeOnTheWay* Current = nullptr;
  static LRESULT CALLBACK Hook(int code, WPARAM w, LPARAM l) {
    const auto* call = reinterpret_cast<const CWPSTRUCT*>(l);
    if (code == HC_ACTION && Current && !Current->Done && call->message == WM_NOTIFY) {
      const auto* nm = reinterpret_cast<const NMTREEVIEWW*>(call->lParam);
      if (nm->hdr.code == TVN_ITEMEXPANDINGW || nm->hdr.code == TVN_ITEMEXPANDINGA) {
        wchar_t text[MAX_PATH] = {};
        TVITEMW item{};
        item.mask = TVIF_TEXT;
        item.hItem = nm->itemNew.hItem;
        item.pszText = text;
        item.cchTextMax = MAX_PATH;
        SendMessageW(nm->hdr.hwndFrom, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
        if (WideToAnsi(text).str() == Current->ExpandedName) {
          Current->Done = true;
          HANDLE h = CreateFileA(Current->Changed.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
          SYSTEMTIME st{2001, 2, 0, 3, 4, 5, 6, 0};
          FILETIME ft;
          SystemTimeToFileTime(&st, &ft);
          if (h != INVALID_HANDLE_VALUE) {
            SetFileTime(h, nullptr, nullptr, &ft);  // written to long ago
            CloseHandle(h);
          }
        }
      }
    }
    return CallNextHookEx(nullptr, code, w, l);
  }
};

TEST_F(FolderDialogRounds, AFolderOnTheWayThatChangesWhileTheDialogOpensKeepsTheStartFolder) {
  TempDir dir;
  const std::string outer = dir.File("outer"), start = outer + "\\inner";
  ASSERT_TRUE(CreateDirectoryA(outer.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryA(start.c_str(), nullptr));
  TChangeOnTheWay change;
  // The shell reads the changed folder's parent (dir) when it adds dir's
  // item, that is while it expands dir's own parent.
  const std::string above = dir.Path().substr(0, dir.Path().rfind('\\'));
  change.ExpandedName = above.substr(above.rfind('\\') + 1);
  change.Changed = outer;
  TChangeOnTheWay::Current = &change;
  HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, &TChangeOnTheWay::Hook, nullptr, GetCurrentThreadId());
  TPBFolderDialog d(nullptr);
  d.SetFolder(AnsiString(start));
  TRounds rounds;
  rounds.Dialog = &d;
  rounds.OkAt = AnsiString(start);
  d.OnInitialized = MakeEvent<&TRounds::Initialized>(&rounds);
  bool answered;
  {
    ScriptDialogs script({{"", 0xFFFE}});
    answered = d.Execute();
  }
  UnhookWindowsHookEx(hook);
  TChangeOnTheWay::Current = nullptr;
  EXPECT_TRUE(change.Done) << "the dialog never read " << change.ExpandedName;
  ASSERT_TRUE(answered);
  EXPECT_EQ(d.Folder().str(), start) << "selection at start: " << rounds.SelectionAtStart[0];
}

struct TCancelRound {
  void Initialized(TObject*, HWND wnd) { PostMessageA(wnd, WM_COMMAND, IDCANCEL, 0); }
};

struct TComputerRound {
  void Initialized(TObject*, HWND wnd) {
    // "My Computer" has no file-system path.
    LPITEMIDLIST computer = nullptr;
    if (SUCCEEDED(SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &computer))) {
      SendMessageA(wnd, BFFM_SETSELECTIONA, FALSE, reinterpret_cast<LPARAM>(computer));
      CoTaskMemFree(computer);
    }
    PostMessageA(wnd, WM_COMMAND, IDOK, 0);
  }
};

TEST_F(FolderDialogRounds, AnItemWithoutAPathIsNoAnswer) {
  TempDir dir;
  TPBFolderDialog d(nullptr);
  d.SetFolder(AnsiString(dir.Path()));
  TComputerRound round;
  d.OnInitialized = MakeEvent<&TComputerRound::Initialized>(&round);
  ScriptDialogs script({{"", 0xFFFE}});
  EXPECT_FALSE(d.Execute());
  EXPECT_EQ(d.Folder(), AnsiString(dir.Path()));
}

TEST_F(FolderDialogRounds, CancelLeavesTheStartFolder) {
  TempDir dir;
  TPBFolderDialog d(nullptr);
  d.SetFolder(AnsiString(dir.Path()));
  TCancelRound cancel;
  d.OnInitialized = MakeEvent<&TCancelRound::Initialized>(&cancel);
  ScriptDialogs script({{"", 0xFFFE}});
  EXPECT_FALSE(d.Execute());
  EXPECT_EQ(d.Folder(), AnsiString(dir.Path()));
}

TEST_F(FolderDialogRounds, NewFolderReopensOnItAndCancelKeepsTheStartFolder) {
  TempDir dir;
  TPBFolderDialog d(nullptr);
  d.SetFolder(AnsiString(dir.Path()));
  TRounds rounds;
  rounds.Dialog = &d;
  rounds.MakeFolder = true;
  d.OnInitialized = MakeEvent<&TRounds::Initialized>(&rounds);
  // The name box answers with a name typed in.
  auto oldAnswer = ScriptDialogs::AnswerHook;
  ScriptDialogs::AnswerHook = [](HWND wnd, int button) {
    auto* form = static_cast<TCustomForm*>(FindControl(wnd));
    for (int i = 0; i < form->ComponentCount(); ++i)
      if (form->Components(i)->Is<TCustomEdit>()) static_cast<TCustomEdit*>(form->Components(i))->SetText("neu");
    form->SetModalResult(button);
  };
  bool result;
  {
    ScriptDialogs script({{"New folder", IDOK}, {"", 0xFFFE}});
    result = d.Execute();
  }
  ScriptDialogs::AnswerHook = oldAnswer;
  EXPECT_EQ(rounds.Count, 2) << "the dialog opens again after a new folder";
  EXPECT_TRUE(DirectoryExists(AnsiString(dir.File("neu"))));
  ASSERT_EQ(rounds.SelectionAtStart.size(), 2u);
  EXPECT_EQ(rounds.SelectionAtStart[1], dir.File("neu"));
  // The second round was cancelled: the start folder, not the new one.
  EXPECT_FALSE(result);
  EXPECT_EQ(d.Folder(), AnsiString(dir.Path()));
}

}  // namespace
