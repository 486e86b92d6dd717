// A folder chooser on the shell's browse dialog, with a "new folder" button
// of its own inside the dialog, captions chosen by the user's locale, a
// shortened path in the status line and a start folder.
#pragma once

#include <shlobj.h>

#include <string>
#include <vector>

#include "classes.h"

enum TBrowseInfoFlag : uint8_t { OnlyComputers, OnlyPrinters, OnlyDomains, OnlyAncestors, OnlyFileSystem, ShowPath };
using TBrowseInfoFlags = uint8_t;
constexpr TBrowseInfoFlags BrowseFlag(TBrowseInfoFlag f) { return static_cast<TBrowseInfoFlags>(1u << f); }
// The BIF_ flags of a set.
UINT BrowseInfoFlagsToBif(TBrowseInfoFlags flags);

enum TSHFolders : uint8_t {
  foDesktop, foDesktopExpanded, foPrograms, foControlPanel, foPrinters, foPersonal, foFavorites, foStartup, foRecent,
  foSendto, foRecycleBin, foStartMenu, foDesktopFolder, foMyComputer, foNetwork, foNetworkNeighborhood, foFonts,
  foTemplates
};
// The CSIDL of a root; -1 for foDesktopExpanded (no root).
int SHFolderCsidl(TSHFolders folder);

using TBrowserInitializedEvent = TEvent<void(TObject* sender, HWND dialogHandle)>;
using TSelectionChangedEvent =
    TEvent<void(TObject* sender, HWND dialogHandle, LPCITEMIDLIST itemIDList, const AnsiString& folder)>;

class TPBFolderDialog : public TComponent {
  CL_CLASS(TPBFolderDialog, TComponent)
public:
  explicit TPBFolderDialog(TComponent* owner);
  ~TPBFolderDialog() override;

  // True with Folder set to the chosen folder; false (Folder as it was) when
  // cancelled or when the choice has no file-system path.
  bool Execute();

  HWND DialogHandle() const { return FDialogHandle; }
  HWND NewFolderButton() const { return FNewFolderButton; }
  const AnsiString& LabelCaption() const { return FLabelCaption; }
  HWND ParentHandle = nullptr;
  int ImageIndex() const { return FImageIndex; }
  const AnsiString& DisplayName() const { return FDisplayName; }
  const AnsiString& Folder() const { return FFolder; }
  void SetFolder(const AnsiString& v) { FFolder = v; }
  const AnsiString& SelectionPath() const { return FSelectionPath; }
  TBrowseInfoFlags Flags = BrowseFlag(ShowPath);
  TSHFolders RootFolder = foDesktopExpanded;
  bool NewFolderVisible() const { return FNewFolderVisible; }
  void SetNewFolderVisible(bool v);
  bool NewFolderEnabled() const { return FNewFolderEnabled; }
  void SetNewFolderEnabled(bool v);
  const AnsiString& NewFolderCaption() const { return FNewFolderCaption; }
  int NewFolderWidth() const { return FNewFolderWidth; }
  // Below 1: 75.
  void SetNewFolderWidth(int v) { FNewFolderWidth = v < 1 ? 75 : v; }
  bool NewFolderPressed() const { return FNewFolderPressed; }
  bool ValidPath() const { return FValidPath; }
  AnsiString Version() const { return "1.60.00.00"; }
  void SetVersion(const AnsiString&) {}
  // Four upper-case hexadecimal digits; empty when the system keeps none.
  const AnsiString& Locale() const { return FLocale; }
  void SetLocale(const AnsiString& v);
  TStrings* NewFolderCaptions() const { return FNewFolderCaptions; }
  void SetNewFolderCaptions(TStrings* v);
  TStrings* LabelCaptions() const { return FLabelCaptions; }
  void SetLabelCaptions(TStrings* v);

  TBrowserInitializedEvent OnInitialized;
  TSelectionChangedEvent OnSelectionChanged;

  // The line of the list for Locale, else "Default", else the first line.
  AnsiString LocaleText(TStrings* list);
  void SetSelectedFolder(const AnsiString& path);
  void SetSelectionPath(HWND wnd, const AnsiString& path);
  void SetSelectionPIDL(HWND wnd, LPCITEMIDLIST list);
  // The dialog's tree has an item selected and it is this folder.
  bool IsSelected(HWND wnd, const AnsiString& path) const;
  // Selects the folder of the list through the tree's items, by the names
  // the shell shows for each step (ShownStepNames).
  void SelectThroughTheTree(HWND wnd, LPCITEMIDLIST list);
  void EnableOK(HWND wnd, bool value);
  // The button's bounds for a dialog client height, width and dots per inch.
  static RECT NewFolderButtonRect(int clientHeight, int width, int dpi);
  void Loaded() override;

private:
  static int CALLBACK BrowseCallback(HWND wnd, UINT msg, LPARAM lParam, LPARAM data);
  static LRESULT CALLBACK NewFolderWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
  void CaptionsChanged(TObject* sender);
  void CreateNewFolderButton(HWND wnd);
  void NewFolderClicked(HWND wnd);
  void SelectionChanged(HWND wnd, LPCITEMIDLIST item);

  HWND FDialogHandle = nullptr;
  HWND FNewFolderButton = nullptr;
  WNDPROC FDialogProc = nullptr;
  LPITEMIDLIST FRootIDList = nullptr;  // the open dialog's root (none: the desktop)
  AnsiString FLabelCaption;
  AnsiString FDisplayName;
  int FImageIndex = 0;
  AnsiString FFolder;
  AnsiString FSelectionPath;
  bool FNewFolderVisible = true;
  bool FNewFolderEnabled = true;
  AnsiString FNewFolderCaption;
  int FNewFolderWidth = 75;
  bool FNewFolderPressed = false;
  bool FValidPath = true;
  AnsiString FLocale;
  TStringList* FNewFolderCaptions;
  TStringList* FLabelCaptions;
};

// The path shortened to MaxLen characters: the first folder, "...", and as
// many of the last folders as fit ("C:\...\Shared\Tools\Bin").
AnsiString MakeDisplayPath(const AnsiString& path, int maxLen);
// Null unless the folder exists; free it with CoTaskMemFree.
LPITEMIDLIST GetIDListFromPath(const AnsiString& path);

// The names the shell shows for each step of the list below root (null: the
// desktop), as the browse dialog's tree shows them; false when the list is
// not below root or a step has no name. The shell's browse dialog finds a
// folder by comparing identifier lists byte for byte, folder times included,
// and so misses a folder on the way that changed since its tree read it;
// these names find it as a user does.
bool ShownStepNames(LPCITEMIDLIST root, LPCITEMIDLIST list, std::vector<std::wstring>& names);
// The text of an item of a tree view of this process.
std::wstring TreeItemText(HWND tree, HTREEITEM item);

void UnitInit_Zefolderdialog();
void UnitFini_Zefolderdialog();
