// The wide open and save dialogs: filter, folder and multi-selection
// handling, the classic dialog on real windows with names outside the code
// page, the ANSI road, and the item dialogs Wine provides under a display.
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0600
#undef NTDDI_VERSION
#define NTDDI_VERSION 0x06000000
#include <shobjidl.h>

#include "ControlsTestUtil.h"

#include "UcDialogs.h"
#include "UcFileDialogs.h"

#include <gtest/gtest.h>

namespace {

class TVistaSwitch {
public:
  explicit TVistaSwitch(bool vista) : FOld(Win32PlatformIsVista) { Win32PlatformIsVista = vista; }
  ~TVistaSwitch() { Win32PlatformIsVista = FOld; }

private:
  bool FOld;
};

TEST(UcFileDialogHelpers, FilterBecomesAMultiString) {
  struct Row {
    const wchar_t* Filter;
    std::wstring Expected;
  } rows[] = {
      {L"Text (*.txt)|*.txt", std::wstring(L"Text (*.txt)\0*.txt\0\0", 20)},
      {L"\u4E2D|*.a|B|*.b", std::wstring(L"\u4E2D\0*.a\0B\0*.b\0\0", 13)},
      {L"", std::wstring()},
  };
  for (const Row& r : rows) {
    const std::wstring s = FilterToMultiString(r.Filter);
    EXPECT_EQ(s, r.Expected);
    // The string's own terminator is the third NUL.
    if (!s.empty()) {
      EXPECT_EQ(s.c_str()[s.size()], L'\0');
    }
  }
}

TEST(UcFileDialogHelpers, InitialDirLosesATrailingDelimiter) {
  struct Row {
    const wchar_t* In;
    const wchar_t* Out;
  } rows[] = {{L"C:\\", L"C:\\"}, {L"C:\\Data\\", L"C:\\Data"}, {L"\\", L"\\"},
              {L"C:\\\u4E2D\\", L"C:\\\u4E2D"}, {L"C:\\Data", L"C:\\Data"}, {L"", L""}};
  TUcOpenDialog d(nullptr);
  for (const Row& r : rows) {
    d.SetInitialDir(r.In);
    EXPECT_EQ(d.InitialDir(), WideString(r.Out));
  }
}

TEST(UcFileDialogHelpers, MultiSelectNamesGetTheirFolder) {
  struct Row {
    std::wstring Buffer;
    std::vector<std::wstring> Files;
  } rows[] = {
      {std::wstring(L"C:\\Dir\0a.txt\0D:\\x\\b.txt\0\\c.txt\0\0", 34),
       {L"C:\\Dir\\a.txt", L"D:\\x\\b.txt", L"\\c.txt"}},
      {std::wstring(L"C:\\\0\u4E2D.txt\0\0", 12), {L"C:\\\u4E2D.txt"}},
      {std::wstring(L"C:\\one.txt\0\0", 12), {L"C:\\one.txt"}},
      {std::wstring(L"\0\0", 2), {L""}},
  };
  for (const Row& r : rows) {
    TUcOpenDialog d(nullptr);
    d.SetOptions(d.Options() | OpenOption(ofAllowMultiSelect));
    d.SplitMultiSelectNames(r.Buffer.c_str());
    std::vector<std::wstring> got;
    for (int i = 0; i < d.Files()->Count(); ++i) got.push_back(d.Files()->Strings(i).str());
    EXPECT_EQ(got, r.Files);
  }
}

TEST(UcFileDialogHelpers, FileTypesComeInNameMaskPairs) {
  struct Row {
    const wchar_t* Filter;
    std::vector<std::pair<std::wstring, std::wstring>> Types;
  } rows[] = {
      {L"A|a*", {{L"A", L"a*"}}},
      {L"A|a*|B", {{L"A", L"a*"}}},
      {L"A|a*|B|", {{L"A", L"a*"}, {L"B", L""}}},
      {L"\u4E2D|*.x|All|*.*", {{L"\u4E2D", L"*.x"}, {L"All", L"*.*"}}},
      {L"no bar", {}},
      {L"", {}},
  };
  for (const Row& r : rows) {
    TUcOpenDialog d(nullptr);
    d.SetFilter(r.Filter);
    TFileOpenDialogWrapper w(&d);
    w.AssignFileTypes();
    TFileTypeItems* types = w.FileDialog()->FileTypes();
    std::vector<std::pair<std::wstring, std::wstring>> got;
    for (int i = 0; i < types->Count(); ++i)
      got.emplace_back(types->Items(i)->DisplayName().str(), types->Items(i)->FileMask().str());
    EXPECT_EQ(got, r.Types) << std::string(WideToAnsi(r.Filter).c_str());
  }
}

TEST(UcFileDialogHelpers, OptionsMapWithoutTheClassicAnswerFlag) {
  struct Row {
    TOpenOptions Open;
    TOpenOptionsEx OpenEx;
    TFileDialogOptions Expected;
  } rows[] = {
      {OpenOption(ofOverwritePrompt) | OpenOption(ofFileMustExist), 0,
       FileDialogOption(fdoOverWritePrompt) | FileDialogOption(fdoFileMustExist)},
      {OpenOption(ofAllowMultiSelect) | OpenOption(ofNoChangeDir), 0,
       FileDialogOption(fdoAllowMultiSelect) | FileDialogOption(fdoNoChangeDir)},
      // An answer of the classic dialog never becomes strict file types.
      {OpenOption(ofExtensionDifferent), 0, 0},
      {OpenOption(ofHideReadOnly) | OpenOption(ofEnableSizing) | OpenOption(ofOldStyleDialog), 0, 0},
      // No places bar hides the item dialog's pinned places.
      {0, OpenOptionEx(ofExNoPlacesBar), FileDialogOption(fdoHidePinnedPlaces)},
      {OpenOption(ofFileMustExist), OpenOptionEx(ofExNoPlacesBar),
       FileDialogOption(fdoFileMustExist) | FileDialogOption(fdoHidePinnedPlaces)},
  };
  for (const Row& r : rows) {
    TUcOpenDialog d(nullptr);
    d.SetOptions(r.Open);
    d.SetOptionsEx(r.OpenEx);
    TFileOpenDialogWrapper w(&d);
    w.AssignOptions();
    EXPECT_EQ(w.FileDialog()->Options, r.Expected);
  }
  EXPECT_EQ(FileDialogOptionsToFlags(FileDialogOption(fdoPickFolders) | FileDialogOption(fdoForcePreviewPaneOn)),
            static_cast<DWORD>(FOS_PICKFOLDERS | FOS_FORCEPREVIEWPANEON));
}

TEST(UcFileDialogHelpers, MalformedClientGuidIsRefused) {
  TFileOpenDialog d(nullptr);
  d.SetClientGuid("{59D0AE37-8161-4AD6-9102-14B28E5761EB}");
  EXPECT_THROW(d.SetClientGuid("not a guid"), EConvertError);
  EXPECT_EQ(d.ClientGuid(), AnsiString("{59D0AE37-8161-4AD6-9102-14B28E5761EB}"));
  d.SetClientGuid("");
  EXPECT_EQ(d.ClientGuid(), AnsiString(""));
}

TEST(UcFileDialogHelpers, ItemDialogsNeedWindows6) {
  TVistaSwitch old(false);
  TFileOpenDialog d(nullptr);
  EXPECT_THROW(d.Execute(), EPlatformVersionException);
}

// --- on real windows ---------------------------------------------------------

class UcFileDialogs : public UcGuiTest {
protected:
  std::wstring WideFile(const wchar_t* name) {
    const std::wstring path = AnsiToWide(AnsiString(Dir.Path())).str() + L"\\" + name;
    WriteFileBytes(path, "x");
    return path;
  }
  TempDir Dir;
};

struct TCanClose {
  std::vector<std::wstring> Files;
  TUcOpenDialog* Dialog = nullptr;
  void CanClose(TObject*, bool& canClose) {
    for (int i = 0; i < Dialog->Files()->Count(); ++i) Files.push_back(Dialog->Files()->Strings(i).str());
    canClose = true;
  }
};

TEST_F(UcFileDialogs, ClassicDialogReturnsANameOutsideTheCodePage) {
  TVistaSwitch classic(false);
  const std::wstring file = WideFile(L"\u4E2D\u6587.txt");
  TUcOpenDialog d(nullptr);
  d.SetTitle(std::wstring(kCyrillicText) + L" open");
  d.SetFilter(L"\u4E2D (*.txt)|*.txt|All|*.*");
  d.SetFileName(file);
  d.SetOptions(d.Options() | OpenOption(ofFileMustExist));
  TCanClose events;
  events.Dialog = &d;
  d.OnCanClose = MakeEvent<&TCanClose::CanClose>(&events);
  {
    ScriptDialogs script({{" open", IDOK}});
    ASSERT_TRUE(d.Execute());
    EXPECT_TRUE(script.Unused().empty());
  }
  EXPECT_EQ(d.FileName(), WideString(file));
  ASSERT_EQ(d.Files()->Count(), 1);
  EXPECT_EQ(d.Files()->Strings(0), WideString(file));
  EXPECT_EQ(events.Files, std::vector<std::wstring>{file}) << "OnCanClose sees the wide names";
  EXPECT_EQ(d.FilterIndex(), 1);

  {
    ScriptDialogs script({{" open", IDCANCEL}});
    d.SetFileName(L"kept");
    EXPECT_FALSE(d.Execute());
  }
  EXPECT_EQ(d.FileName(), WideString(L"kept"));
  EXPECT_EQ(d.Files()->Count(), 0) << "the classic road starts with an empty list";
}

TEST_F(UcFileDialogs, ClassicSaveKeepsItsOptions) {
  TVistaSwitch classic(false);
  TUcSaveDialog d(nullptr);
  d.SetTitle(L"save here");
  d.SetDefaultExt(L"txt");
  const std::wstring file = AnsiToWide(AnsiString(Dir.Path())).str() + L"\\\u6587.dat";
  d.SetFileName(file);
  ScriptDialogs script({{"save here", IDOK}});
  ASSERT_TRUE(d.Execute());
  EXPECT_EQ(d.FileName(), WideString(file));
  // The system answers "extension different"; it is no option of the next call.
  EXPECT_FALSE(d.Options() & OpenOption(ofExtensionDifferent));
  EXPECT_EQ(d.Options(), OpenOption(ofHideReadOnly) | OpenOption(ofEnableSizing));
}

TEST_F(UcFileDialogs, AnsiRoadUsesTheClassLibrarysDialog) {
  TPlatformSwitch ansi(false);
  const std::wstring file = WideFile(kCyrillicText);
  TUcOpenDialog d(nullptr);
  d.SetTitle(L"ansi open");
  d.SetFileName(file);
  ScriptDialogs script({{"ansi open", IDOK}});
  ASSERT_TRUE(d.Execute());
  EXPECT_EQ(d.FileName(), WideString(file));
  ASSERT_EQ(d.Files()->Count(), 1);
  EXPECT_EQ(d.Files()->Strings(0), WideString(file));
}

TEST_F(UcFileDialogs, ItemDialogReturnsTheChosenFile) {
  ASSERT_TRUE(Win32PlatformIsVista) << "Wine reports Windows 6 or later";
  const std::wstring file = WideFile(L"\u65E5\u672C.txt");
  TUcOpenDialog d(nullptr);
  d.SetTitle(L"item open");
  d.SetFilter(L"Text|*.txt|All|*.*");
  d.SetFilterIndex(2);
  d.SetFileName(file);
  TCanClose events;
  events.Dialog = &d;
  d.OnCanClose = MakeEvent<&TCanClose::CanClose>(&events);
  {
    ScriptDialogs script({{"item open", IDOK}});
    ASSERT_TRUE(d.Execute());
  }
  EXPECT_EQ(d.FileName(), WideString(file));
  EXPECT_EQ(d.FilterIndex(), 2);
  EXPECT_EQ(events.Files, std::vector<std::wstring>{file});
  {
    ScriptDialogs script({{"item open", IDCANCEL}});
    d.SetFileName(L"kept");
    EXPECT_FALSE(d.Execute());
  }
  EXPECT_EQ(d.FileName(), WideString(L"kept"));
}

TEST_F(UcFileDialogs, PromptForFileNameAnswersTheChosenName) {
  TVistaSwitch classic(false);
  const std::wstring file = WideFile(L"\u4E2D.vq");
  WideString name = file;
  {
    ScriptDialogs script({{"prompt open", IDOK}});
    EXPECT_TRUE(WidePromptForFileName(name, L"", L"vq", L"prompt open", L"", false));
  }
  EXPECT_EQ(name, WideString(file));
  {
    ScriptDialogs script({{"prompt save", IDCANCEL}});
    EXPECT_FALSE(WidePromptForFileName(name, L"Lists|*.vq", L"vq", L"prompt save", L"", true));
  }
  EXPECT_EQ(name, WideString(file)) << "a cancelled prompt keeps the name";
}

struct TOptionsSeen {
  FILEOPENDIALOGOPTIONS Options = 0;
  TCustomFileDialog* Dialog = nullptr;
  void Execute(TObject*) { Dialog->Dialog()->GetOptions(&Options); }
};

TEST_F(UcFileDialogs, ItemDialogAnswersOnlyFileSystemItems) {
  TFileOpenDialog d(nullptr);
  d.Title = L"only files";
  TOptionsSeen seen;
  seen.Dialog = &d;
  d.OnExecute = MakeEvent<&TOptionsSeen::Execute>(&seen);
  ScriptDialogs script({{"only files", IDCANCEL}});
  EXPECT_FALSE(d.Execute());
  EXPECT_TRUE(seen.Options & FOS_FORCEFILESYSTEM);
}

TEST_F(UcFileDialogs, NoPlacesBarReachesTheItemDialog) {
  TUcOpenDialog d(nullptr);
  d.SetTitle(L"no places");
  d.SetOptionsEx(OpenOptionEx(ofExNoPlacesBar));
  TFileOpenDialogWrapper w(&d);
  TOptionsSeen seen;
  seen.Dialog = w.FileDialog();
  w.FileDialog()->OnExecute = MakeEvent<&TOptionsSeen::Execute>(&seen);
  ScriptDialogs script({{"no places", IDCANCEL}});
  EXPECT_FALSE(w.Execute(Application->Handle()));
  EXPECT_TRUE(script.Unused().empty());
  EXPECT_TRUE(seen.Options & FOS_HIDEPINNEDPLACES);
}

// What FileName and Handle answer while the dialog is shown, asked from its
// own events.
struct TLiveName {
  TUcOpenDialog* Dialog = nullptr;
  std::vector<std::wstring> Names;
  std::wstring Title;
  void Ask(TObject*) {
    Names.push_back(Dialog->FileName().str());
    if (Dialog->Handle()) Title = WindowTextW(Dialog->Handle());
  }
};

TEST_F(UcFileDialogs, OpenDialogAnswersTheNameItShowsNow) {
  const std::wstring folder = AnsiToWide(AnsiString(Dir.Path())).str();
  const std::wstring typed = L"\u4E2D typed.txt";
  struct Row {
    bool Vista;
    bool OldStyle;
    const wchar_t* Title;
    std::wstring Expected;
  } rows[] = {
      // The item dialog: its file-name box in its folder.
      {true, false, L"live item", folder + L"\\" + typed},
      // The Explorer-style dialog answers the path it shows.
      {false, false, L"live explorer", folder + L"\\" + typed},
      // The old-style dialog has no such request: the name as given.
      {false, true, L"live old style", typed},
  };
  for (const Row& r : rows) {
    TVistaSwitch road(r.Vista);
    TUcOpenDialog d(nullptr);
    d.SetTitle(r.Title);
    d.SetInitialDir(folder);
    d.SetFileName(typed);
    d.SetOptions((d.Options() | OpenOption(ofNoValidate)) |
                 (r.OldStyle ? OpenOption(ofOldStyleDialog) : 0));
    TLiveName live;
    live.Dialog = &d;
    if (r.OldStyle)
      d.OnShow = MakeEvent<&TLiveName::Ask>(&live);
    else
      d.OnFolderChange = MakeEvent<&TLiveName::Ask>(&live);
    {
      ScriptDialogs script({{WideToAnsi(r.Title).c_str(), IDCANCEL}});
      EXPECT_FALSE(d.Execute());
    }
    const std::string what = WideToAnsi(r.Title).c_str();
    ASSERT_FALSE(live.Names.empty()) << what;
    EXPECT_EQ(live.Names[0], r.Expected) << what << " answered " << WideToAnsi(live.Names[0]).c_str();
    if (!r.Vista) {
      EXPECT_EQ(live.Title, r.Title) << what << ": the handle is the dialog's own window";
    }
    EXPECT_EQ(d.FileName(), WideString(typed)) << what << ": closed, the name kept";
  }
}

}  // namespace
