// The open, save and print dialogs, answered by the harness's dialog script.
#include <gtest/gtest.h>

#include "dialogs.h"
#include "forms.h"
#include "harness.h"
#include "printers.h"

// Readable failure messages for the strings.
inline void PrintTo(const AnsiString& s, std::ostream* os) { *os << '"' << s.c_str() << '"'; }

namespace {
// Texts in the ANSI code page (the sources are UTF-8).
AnsiString Ru(const wchar_t* s) { return WideToAnsi(WideString(s)); }
}  // namespace

namespace {
struct TEvents {
  std::vector<std::string> Seen;
  void Show(TObject*) { Seen.push_back("show"); }
  void Close(TObject*) { Seen.push_back("close"); }
};
}  // namespace

TEST(Dialogs, OptionsMapToTheSystemFlags) {
  EXPECT_EQ(TOpenDialog::FlagsOf(0), static_cast<DWORD>(OFN_EXPLORER));
  EXPECT_EQ(TOpenDialog::FlagsOf(OpenOption(ofOverwritePrompt) | OpenOption(ofHideReadOnly) |
                                 OpenOption(ofEnableSizing)),
            static_cast<DWORD>(OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_ENABLESIZING));
  EXPECT_EQ(TOpenDialog::FlagsOf(OpenOption(ofOldStyleDialog) | OpenOption(ofFileMustExist)),
            static_cast<DWORD>(OFN_FILEMUSTEXIST));
  TOpenDialog d(nullptr);
  EXPECT_EQ(d.Options(), OpenOption(ofHideReadOnly) | OpenOption(ofEnableSizing));
  EXPECT_EQ(d.OptionsEx(), 0);
  EXPECT_EQ(d.FilterIndex(), 1);
  EXPECT_EQ(TOpenDialog::FlagsExOf(0), 0u);
  EXPECT_EQ(TOpenDialog::FlagsExOf(OpenOptionEx(ofExNoPlacesBar)), static_cast<DWORD>(OFN_EX_NOPLACESBAR));
}

namespace {
// The places bar of an open file dialog: the toolbars shown beside the
// folder view, counted when the user presses OK.
struct TPlacesBar {
  int Toolbars = -1;
  TOpenDialog* Dialog = nullptr;
  static BOOL CALLBACK Count(HWND wnd, LPARAM counter) {
    char cls[32] = {};
    GetClassNameA(wnd, cls, sizeof cls);
    if (std::string(cls) == "ToolbarWindow32" && IsWindowVisible(wnd)) ++*reinterpret_cast<int*>(counter);
    return TRUE;
  }
  void CanClose(TObject*, bool& canClose) {
    Toolbars = 0;
    EnumChildWindows(Dialog->Handle(), &TPlacesBar::Count, reinterpret_cast<LPARAM>(&Toolbars));
    canClose = true;
  }
};
}  // namespace

TEST(Dialogs, NoPlacesBarReachesTheSystemDialog) {
  int toolbars[2] = {};
  for (int hidden = 0; hidden < 2; ++hidden) {
    TOpenDialog d(nullptr);
    d.SetTitle("places bar");
    d.SetOptionsEx(hidden ? OpenOptionEx(ofExNoPlacesBar) : 0);
    TPlacesBar bar;
    bar.Dialog = &d;
    d.OnCanClose = MakeEvent<&TPlacesBar::CanClose>(&bar);
    d.SetOptions(d.Options() | OpenOption(ofNoValidate));
    d.SetFileName("anything");
    ScriptDialogs script({{"places bar", IDOK}});
    ASSERT_TRUE(d.Execute());
    toolbars[hidden] = bar.Toolbars;
  }
  EXPECT_EQ(toolbars[1], toolbars[0] - 1) << "the places bar is one toolbar fewer";
}

TEST(Dialogs, OpenDialogReturnsTheConfirmedName) {
  TempDir dir;
  std::string file = dir.File(std::string(Ru(L"список.vq").c_str()));
  WriteFileBytes(file, "x");
  TOpenDialog d(nullptr);
  d.SetFilter(Ru(L"Списки (*.vq)|*.vq|Все файлы|*.*"));
  d.SetFilterIndex(1);
  d.SetInitialDir(AnsiString(dir.Path()));
  d.SetFileName(AnsiString(file));
  d.SetTitle(Ru(L"Открыть список"));
  d.SetOptions(d.Options() | OpenOption(ofFileMustExist));
  TEvents events;
  d.OnShow = MakeEvent<&TEvents::Show>(&events);
  d.OnClose = MakeEvent<&TEvents::Close>(&events);
  {
    ScriptDialogs script({{std::string(Ru(L"Открыть список").c_str()), IDOK}});
    ASSERT_TRUE(d.Execute());
    EXPECT_TRUE(script.Unused().empty());
  }
  EXPECT_EQ(d.FileName(), AnsiString(file));
  EXPECT_EQ(d.Files()->Count(), 1);
  EXPECT_EQ(d.FilterIndex(), 1);
  std::vector<std::string> expected = {"show", "close"};
  EXPECT_EQ(events.Seen, expected);
  EXPECT_EQ(d.Handle(), nullptr);

  {
    ScriptDialogs script({{std::string(Ru(L"Открыть список").c_str()), IDCANCEL}});
    EXPECT_FALSE(d.Execute());
  }
  EXPECT_EQ(d.FileName(), AnsiString(file));  // unchanged
}

TEST(Dialogs, SaveDialogAddsTheDefaultExtension) {
  TempDir dir;
  TSaveDialog d(nullptr);
  d.SetDefaultExt("vq");
  d.SetTitle(Ru(L"Сохранить как"));
  d.SetFileName(AnsiString(dir.File(std::string(Ru(L"новый").c_str()))));
  ScriptDialogs script({{std::string(Ru(L"Сохранить как").c_str()), IDOK}});
  ASSERT_TRUE(d.Execute());
  EXPECT_EQ(d.FileName(), AnsiString(dir.File(std::string(Ru(L"новый.vq").c_str()))));
}

TEST(Dialogs, PrintDialogWithoutPrintersReturnsFalse) {
  TPrintDialog d(nullptr);
  if (Printer()->Printers()->Count() > 0) GTEST_SKIP() << "a printer is installed";
  ScriptDialogs script({});
  EXPECT_FALSE(d.Execute());
}

namespace {
struct THandleSeen {
  TOpenDialog* Dialog = nullptr;
  std::string Title;
  void Show(TObject*) { Title = WindowTextA(Dialog->Handle()); }
};
}  // namespace

TEST(Dialogs, HandleIsTheDialogsOwnWindowInBothStyles) {
  for (const bool oldStyle : {false, true}) {
    TOpenDialog d(nullptr);
    d.SetTitle(oldStyle ? "old style handle" : "explorer handle");
    if (oldStyle) d.SetOptions(d.Options() | OpenOption(ofOldStyleDialog));
    THandleSeen seen;
    seen.Dialog = &d;
    d.OnShow = MakeEvent<&THandleSeen::Show>(&seen);
    ScriptDialogs script({{d.Title().c_str(), IDCANCEL}});
    EXPECT_FALSE(d.Execute());
    EXPECT_EQ(seen.Title, d.Title().str()) << "not the owner's window";
  }
}
