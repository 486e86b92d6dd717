// Wide open and save dialogs, and the components over the shell's item
// dialogs (IFileOpenDialog / IFileSaveDialog) through which they run where the
// system has them.
#pragma once

#include <commdlg.h>

#include "dialogs.h"

#include "UcClasses.h"

struct IFileDialog;
struct IShellItem;
struct IShellItemArray;

// ---------------------------------------------------------------------------
// The item-dialog components.

enum TFileDialogOption : uint8_t {
  fdoOverWritePrompt, fdoStrictFileTypes, fdoNoChangeDir, fdoPickFolders, fdoForceFileSystem,
  fdoAllNonStorageItems, fdoNoValidate, fdoAllowMultiSelect, fdoPathMustExist, fdoFileMustExist,
  fdoCreatePrompt, fdoShareAware, fdoNoReadOnlyReturn, fdoNoTestFileCreate, fdoHideMRUPlaces,
  fdoHidePinnedPlaces, fdoNoDereferenceLinks, fdoDontAddToRecent, fdoForceShowHidden, fdoDefaultNoMiniMode,
  fdoForcePreviewPaneOn
};
using TFileDialogOptions = uint32_t;
constexpr TFileDialogOptions FileDialogOption(TFileDialogOption o) { return 1u << o; }
// The FOS_ flags of the options.
DWORD FileDialogOptionsToFlags(TFileDialogOptions options);

enum TFileDialogOverwriteResponse : uint8_t { forDefault, forAccept, forRefuse };
enum TFileDialogShareViolationResponse : uint8_t { fsrDefault, fsrAccept, fsrRefuse };

CL_EXCEPTION(EPlatformVersionException, Exception)

class TFileTypeItem : public TCollectionItem {
  CL_CLASS(TFileTypeItem, TCollectionItem)
public:
  explicit TFileTypeItem(TCollection* collection) : TCollectionItem(collection) {}
  ~TFileTypeItem() override;
  const WideString& DisplayName() const { return FDisplayName; }
  void SetDisplayName(const WideString& v);
  const WideString& FileMask() const { return FFileMask; }
  void SetFileMask(const WideString& v);
  AnsiString GetDisplayName() override;
  void Assign(TPersistent* source) override;
  // Task-memory copies handed to the shell (valid while the item lives).
  wchar_t* DisplayNameWStr() const { return FDisplayNameWStr; }
  wchar_t* FileMaskWStr() const { return FFileMaskWStr; }

private:
  WideString FDisplayName, FFileMask;
  wchar_t* FDisplayNameWStr = nullptr;
  wchar_t* FFileMaskWStr = nullptr;
};

struct TFilterSpec {
  const wchar_t* Name;
  const wchar_t* Mask;
};

class TFileTypeItems : public TCollection {
  CL_CLASS(TFileTypeItems, TCollection)
public:
  TFileTypeItems() : TCollection(&TFileTypeItem::Class, &NewCollectionItem<TFileTypeItem>) {}
  TFileTypeItem* Add() { return static_cast<TFileTypeItem*>(TCollection::Add()); }
  TFileTypeItem* Items(int i) const { return static_cast<TFileTypeItem*>(TCollection::Items(i)); }
  std::vector<TFilterSpec> FilterSpecArray() const;
};

class TFavoriteLinkItem : public TCollectionItem {
  CL_CLASS(TFavoriteLinkItem, TCollectionItem)
public:
  explicit TFavoriteLinkItem(TCollection* collection) : TCollectionItem(collection) {}
  const WideString& Location() const { return FLocation; }
  void SetLocation(const WideString& v) { FLocation = v; }
  AnsiString GetDisplayName() override;
  void Assign(TPersistent* source) override;

private:
  WideString FLocation;
};

class TFavoriteLinkItems;
class TFavoriteLinkItemsEnumerator {
public:
  explicit TFavoriteLinkItemsEnumerator(TFavoriteLinkItems* items) : FItems(items) {}
  TFavoriteLinkItem* GetCurrent() const;
  bool MoveNext();

private:
  int FIndex = -1;
  TFavoriteLinkItems* FItems;
};

class TFavoriteLinkItems : public TCollection {
  CL_CLASS(TFavoriteLinkItems, TCollection)
public:
  TFavoriteLinkItems() : TCollection(&TFavoriteLinkItem::Class, &NewCollectionItem<TFavoriteLinkItem>) {}
  TFavoriteLinkItem* Add() { return static_cast<TFavoriteLinkItem*>(TCollection::Add()); }
  TFavoriteLinkItem* Items(int i) const { return static_cast<TFavoriteLinkItem*>(TCollection::Items(i)); }
  TFavoriteLinkItemsEnumerator GetEnumerator() { return TFavoriteLinkItemsEnumerator(this); }
};

using TFileDialogCloseEvent = TEvent<void(TObject* sender, bool& canClose)>;
using TFileDialogFolderChangingEvent = TEvent<void(TObject* sender, bool& canChange)>;
using TFileDialogOverwriteEvent = TEvent<void(TObject* sender, TFileDialogOverwriteResponse& response)>;
using TFileDialogShareViolationEvent = TEvent<void(TObject* sender, TFileDialogShareViolationResponse& response)>;

class TCustomFileDialog : public TComponent {
  CL_CLASS(TCustomFileDialog, TComponent)
public:
  explicit TCustomFileDialog(TComponent* owner);
  ~TCustomFileDialog() override;

  const AnsiString& ClientGuid() const { return FClientGuid; }
  // A text that is not a GUID raises EConvertError and keeps the old value.
  void SetClientGuid(const AnsiString& value);
  WideString DefaultExtension;
  const WideString& DefaultFolder() const { return FDefaultFolder; }
  void SetDefaultFolder(const WideString& v) { if (v != FDefaultFolder) FDefaultFolder = v; }
  IFileDialog* Dialog() const { return FDialog; }
  TFavoriteLinkItems* FavoriteLinks() const { return FFavoriteLinks; }
  void SetFavoriteLinks(TFavoriteLinkItems* v) { if (v) FFavoriteLinks->Assign(v); }
  const WideString& FileName() const { return FFileName; }
  void SetFileName(const WideString& v) { if (v != FFileName) FFileName = v; }
  WideString FileNameLabel;
  TUcStringList* Files() const { return FFiles; }
  int FileTypeIndex = 1;
  TFileTypeItems* FileTypes() const { return FFileTypes; }
  void SetFileTypes(TFileTypeItems* v) { if (v) FFileTypes->Assign(v); }
  HWND Handle() const { return FHandle; }
  WideString OkButtonLabel;
  TFileDialogOptions Options = 0;
  WideString Title;

  TNotifyEvent OnExecute;
  TFileDialogCloseEvent OnFileOkClick;
  TNotifyEvent OnFolderChange;
  TFileDialogFolderChangingEvent OnFolderChanging;
  TFileDialogOverwriteEvent OnOverwrite;
  TNotifyEvent OnSelectionChange;
  TFileDialogShareViolationEvent OnShareViolation;
  TNotifyEvent OnTypeChange;

  virtual IFileDialog* CreateFileDialog() = 0;
  virtual HRESULT GetResults();
  bool Execute();
  // Raises EPlatformVersionException before Windows 6.
  virtual bool Execute(HWND parentWnd);

  // The event sink's entries (the HRESULT the shell gets).
  virtual HRESULT FileOkClick();
  virtual HRESULT FolderChange();
  virtual HRESULT FolderChanging(IShellItem* folder);
  virtual HRESULT Overwrite(IShellItem* item, DWORD* response);
  virtual HRESULT SelectionChange();
  virtual HRESULT ShareViolation(IShellItem* item, DWORD* response);
  virtual HRESULT TypeChange();
  void GetWindowHandle();
  // While the dialog is shown: the name in its file-name box, in its current
  // folder unless the box holds a full path. False when there is no dialog
  // or no name.
  bool CurrentFileName(WideString& name);

protected:
  virtual void DoOnExecute();
  virtual bool DoOnFileOkClick();
  virtual void DoOnFolderChange();
  virtual bool DoOnFolderChanging();
  virtual void DoOnOverwrite(TFileDialogOverwriteResponse& response);
  virtual void DoOnSelectionChange();
  virtual void DoOnShareViolation(TFileDialogShareViolationResponse& response);
  virtual void DoOnTypeChange();
  virtual HRESULT GetFileNames(IShellItemArray* items);
  // The item's file-system path; an item without one fails (E_FAIL): a
  // display name is no file name.
  virtual HRESULT GetItemName(IShellItem* item, WideString& name);

  IFileDialog* FDialog = nullptr;
  IShellItem* FShellItem = nullptr;
  IShellItemArray* FShellItems = nullptr;
  WideString FFileName;
  TUcStringList* FFiles;
  HWND FHandle = nullptr;

private:
  AnsiString FClientGuid;
  WideString FDefaultFolder;
  TFavoriteLinkItems* FFavoriteLinks;
  TFileTypeItems* FFileTypes;
};

class TCustomFileOpenDialog : public TCustomFileDialog {
  CL_CLASS(TCustomFileOpenDialog, TCustomFileDialog)
public:
  explicit TCustomFileOpenDialog(TComponent* owner) : TCustomFileDialog(owner) {}
  IFileDialog* CreateFileDialog() override;
  HRESULT GetResults() override;
  HRESULT SelectionChange() override;
};

class TFileOpenDialog : public TCustomFileOpenDialog {
  CL_CLASS(TFileOpenDialog, TCustomFileOpenDialog)
public:
  explicit TFileOpenDialog(TComponent* owner) : TCustomFileOpenDialog(owner) {}
};

class TCustomFileSaveDialog : public TCustomFileDialog {
  CL_CLASS(TCustomFileSaveDialog, TCustomFileDialog)
public:
  explicit TCustomFileSaveDialog(TComponent* owner) : TCustomFileDialog(owner) {}
  IFileDialog* CreateFileDialog() override;
};

class TFileSaveDialog : public TCustomFileSaveDialog {
  CL_CLASS(TFileSaveDialog, TCustomFileSaveDialog)
public:
  explicit TFileSaveDialog(TComponent* owner) : TCustomFileSaveDialog(owner) {}
};

// The shell's event sink for one dialog component (reference-counted).
class TFileDialogEvents;

// ---------------------------------------------------------------------------
// The wide open and save dialogs.

class TUcOpenDialog;
using TIncludeItemEventW = TEvent<void(TObject* sender, const OFNOTIFYEXW& ofnEx, bool& include)>;

class TUcOpenDialog : public TOpenDialog {
  CL_CLASS(TUcOpenDialog, TOpenDialog)
public:
  explicit TUcOpenDialog(TComponent* owner);
  ~TUcOpenDialog() override;

  WideString DefaultExt();
  void SetDefaultExt(const WideString& v);
  // While the dialog is open: the path it shows now (the item dialog's or the
  // Explorer-style dialog's); otherwise, and for the old-style dialog, which
  // has no such request, the name kept here.
  WideString FileName();
  void SetFileName(const WideString& v);
  WideString Filter();
  void SetFilter(const WideString& v);
  WideString InitialDir();
  // "C:\Data\" is kept as "C:\Data"; "C:\" and "\" stay.
  void SetInitialDir(const WideString& v);
  WideString Title();
  void SetTitle(const WideString& v);
  TUcStringList* Files();

  TIncludeItemEventW OnIncludeItem;

  bool Execute() override;
  bool DoExecuteW(void* dialogFunc);
  bool DoExecuteW(void* dialogFunc, HWND parentWnd);

  bool DoCanClose() override;
  // OK pressed in the wide dialog: the names for OnCanClose, which may refuse.
  bool CanCloseW(const OFNOTIFYW& notify);
  void DoIncludeItem(const OFNOTIFYEXW& ofnEx, bool& include);
  // The record's answer into FileName and Files.
  void GetFileNamesW(const OPENFILENAMEW& ofn);
  void SplitMultiSelectNames(const wchar_t* buffer);
  void DefineProperties(TFiler* filer) override;

protected:
  bool FProxiedCanClose = false;

private:
  static UINT_PTR CALLBACK HookProcW(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
  TCustomFileDialog* FItemDialog = nullptr;  // the item dialog while it is shown
  WideString FDefaultExt, FFileName, FFilter, FInitialDir, FTitle;
  TUcStringList* FFiles;
};

class TUcSaveDialog : public TUcOpenDialog {
  CL_CLASS(TUcSaveDialog, TUcOpenDialog)
public:
  explicit TUcSaveDialog(TComponent* owner) : TUcOpenDialog(owner) {}
  bool Execute() override;
};

// "a|b" becomes "a", NUL, "b", NUL, NUL; an empty filter stays empty.
std::wstring FilterToMultiString(const WideString& filter);
WideString RemoveTrailingPathDelimiter(const WideString& path);

// Runs a TUcOpenDialog on an item dialog: its settings in, the answer back.
class TFileDialogWrapper : public TObject {
  CL_CLASS(TFileDialogWrapper, TObject)
public:
  explicit TFileDialogWrapper(TUcOpenDialog* openDialog) : FOpenDialog(openDialog) {}
  ~TFileDialogWrapper() override;
  TCustomFileDialog* FileDialog() const { return FFileDialog; }
  bool Execute(HWND parentWnd);
  // "Text|*.txt|All|*.*": each name with the mask after it; a name without
  // a following bar is dropped.
  void AssignFileTypes();
  void AssignOptions();

protected:
  virtual TCustomFileDialog* CreateFileDialog() = 0;
  void Init() { FFileDialog = CreateFileDialog(); }
  TUcOpenDialog* FOpenDialog;
  TCustomFileDialog* FFileDialog = nullptr;

private:
  void HandleFileOk(TObject* sender, bool& canClose);
  void HandleFolderChange(TObject* sender);
  void HandleSelectionChange(TObject* sender);
  void HandleTypeChange(TObject* sender);
};

class TFileOpenDialogWrapper : public TFileDialogWrapper {
  CL_CLASS(TFileOpenDialogWrapper, TFileDialogWrapper)
public:
  explicit TFileOpenDialogWrapper(TUcOpenDialog* openDialog);

protected:
  TCustomFileDialog* CreateFileDialog() override { return new TFileOpenDialog(nullptr); }

private:
  void OnExecuteEvent(TObject* sender);
};

class TFileSaveDialogWrapper : public TFileDialogWrapper {
  CL_CLASS(TFileSaveDialogWrapper, TFileDialogWrapper)
public:
  explicit TFileSaveDialogWrapper(TUcOpenDialog* openDialog) : TFileDialogWrapper(openDialog) { Init(); }

protected:
  TCustomFileDialog* CreateFileDialog() override { return new TFileSaveDialog(nullptr); }
};

void UnitInit_UcFileDialogs();
void UnitFini_UcFileDialogs();
