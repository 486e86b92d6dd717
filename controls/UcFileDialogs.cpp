// The item dialogs' interfaces are declared for Windows 6 and later only.
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0600
#undef NTDDI_VERSION
#define NTDDI_VERSION 0x06000000

#include <shobjidl.h>

#include "UcFileDialogs.h"

#include "filer.h"
#include "forms.h"

#include "UcCodePages.h"
#include "UcComponentProps.h"
#include "UcShellItems.h"
#include "UcSysUtils.h"

CL_DEFINE_CLASS(EPlatformVersionException, Exception)
CL_DEFINE_CLASS(TFileTypeItem, TCollectionItem)
CL_DEFINE_CLASS(TFileTypeItems, TCollection)
CL_DEFINE_CLASS(TFavoriteLinkItem, TCollectionItem)
CL_DEFINE_CLASS(TFavoriteLinkItems, TCollection)
CL_DEFINE_CLASS(TCustomFileDialog, TComponent)
CL_DEFINE_CLASS(TCustomFileOpenDialog, TCustomFileDialog)
CL_DEFINE_COMPONENT(TFileOpenDialog, TCustomFileOpenDialog)
CL_DEFINE_CLASS(TCustomFileSaveDialog, TCustomFileDialog)
CL_DEFINE_COMPONENT(TFileSaveDialog, TCustomFileSaveDialog)
CL_DEFINE_COMPONENT(TUcOpenDialog, TOpenDialog)
CL_DEFINE_COMPONENT(TUcSaveDialog, TUcOpenDialog)
CL_DEFINE_CLASS(TFileDialogWrapper, TObject)
CL_DEFINE_CLASS(TFileOpenDialogWrapper, TFileDialogWrapper)
CL_DEFINE_CLASS(TFileSaveDialogWrapper, TFileDialogWrapper)

namespace {
const DWORD FileDialogOptionFlags[] = {
    FOS_OVERWRITEPROMPT,  FOS_STRICTFILETYPES,   FOS_NOCHANGEDIR,       FOS_PICKFOLDERS,   FOS_FORCEFILESYSTEM,
    FOS_ALLNONSTORAGEITEMS, FOS_NOVALIDATE,      FOS_ALLOWMULTISELECT,  FOS_PATHMUSTEXIST, FOS_FILEMUSTEXIST,
    FOS_CREATEPROMPT,     FOS_SHAREAWARE,        FOS_NOREADONLYRETURN,  FOS_NOTESTFILECREATE, FOS_HIDEMRUPLACES,
    FOS_HIDEPINNEDPLACES, FOS_NODEREFERENCELINKS, FOS_DONTADDTORECENT,  FOS_FORCESHOWHIDDEN, FOS_DEFAULTNOMINIMODE,
    FOS_FORCEPREVIEWPANEON};

wchar_t* TaskMemCopy(const WideString& s) {
  const size_t bytes = 2 * static_cast<size_t>(s.Length()) + 2;
  auto* p = static_cast<wchar_t*>(CoTaskMemAlloc(bytes));
  if (p) memcpy(p, s.c_str(), bytes);
  return p;
}

template <class I> void ReleaseInto(I*& p) {
  if (p) p->Release();
  p = nullptr;
}
}  // namespace

DWORD FileDialogOptionsToFlags(TFileDialogOptions options) {
  DWORD flags = 0;
  for (int i = 0; i <= fdoForcePreviewPaneOn; ++i)
    if (options & (1u << i)) flags |= FileDialogOptionFlags[i];
  return flags;
}

// ---------------------------------------------------------------------------
// Collections

TFileTypeItem::~TFileTypeItem() {
  CoTaskMemFree(FDisplayNameWStr);
  CoTaskMemFree(FFileMaskWStr);
}

void TFileTypeItem::SetDisplayName(const WideString& v) {
  FDisplayName = v;
  CoTaskMemFree(FDisplayNameWStr);
  FDisplayNameWStr = TaskMemCopy(v);
}

void TFileTypeItem::SetFileMask(const WideString& v) {
  FFileMask = v;
  CoTaskMemFree(FFileMaskWStr);
  FFileMaskWStr = TaskMemCopy(v);
}

AnsiString TFileTypeItem::GetDisplayName() {
  return FDisplayName.IsEmpty() ? TCollectionItem::GetDisplayName() : WideToAnsi(FDisplayName);
}

void TFileTypeItem::Assign(TPersistent* source) {
  if (source && source->Is<TFileTypeItem>()) {
    auto* s = static_cast<TFileTypeItem*>(source);
    SetDisplayName(s->FDisplayName);
    SetFileMask(s->FFileMask);
  } else {
    TCollectionItem::Assign(source);
  }
}

std::vector<TFilterSpec> TFileTypeItems::FilterSpecArray() const {
  std::vector<TFilterSpec> specs;
  for (int i = 0; i < Count(); ++i) specs.push_back({Items(i)->DisplayNameWStr(), Items(i)->FileMaskWStr()});
  return specs;
}

AnsiString TFavoriteLinkItem::GetDisplayName() {
  return FLocation.IsEmpty() ? TCollectionItem::GetDisplayName() : WideToAnsi(FLocation);
}

void TFavoriteLinkItem::Assign(TPersistent* source) {
  if (source && source->Is<TFavoriteLinkItem>())
    FLocation = static_cast<TFavoriteLinkItem*>(source)->FLocation;
  else
    TCollectionItem::Assign(source);
}

TFavoriteLinkItem* TFavoriteLinkItemsEnumerator::GetCurrent() const { return FItems->Items(FIndex); }

bool TFavoriteLinkItemsEnumerator::MoveNext() {
  if (FIndex >= FItems->Count() - 1) return false;
  ++FIndex;
  return true;
}

// ---------------------------------------------------------------------------
// The event sink

class TFileDialogEvents : public IFileDialogEvents {
public:
  explicit TFileDialogEvents(TCustomFileDialog* dialog) : FFileDialog(dialog) {}
  virtual ~TFileDialogEvents() = default;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IFileDialogEvents)) {
      *object = static_cast<IFileDialogEvents*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++FRefCount; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG count = --FRefCount;
    if (count == 0) delete this;
    return count;
  }

  // Each answers E_NOTIMPL when the component has no handler, so that the
  // shell does what it does by default.
  HRESULT STDMETHODCALLTYPE OnFileOk(IFileDialog*) override {
    return Guarded([&] { return FFileDialog->OnFileOkClick ? FFileDialog->FileOkClick() : E_NOTIMPL; });
  }
  HRESULT STDMETHODCALLTYPE OnFolderChanging(IFileDialog*, IShellItem* folder) override {
    return Guarded([&] { return FFileDialog->OnFolderChanging ? FFileDialog->FolderChanging(folder) : E_NOTIMPL; });
  }
  HRESULT STDMETHODCALLTYPE OnFolderChange(IFileDialog*) override {
    return Guarded([&] { return FFileDialog->OnFolderChange ? FFileDialog->FolderChange() : E_NOTIMPL; });
  }
  HRESULT STDMETHODCALLTYPE OnSelectionChange(IFileDialog*) override {
    return Guarded([&] {
      if (!FFileDialog->OnSelectionChange) return E_NOTIMPL;
      FetchHandle();
      return FFileDialog->SelectionChange();
    });
  }
  HRESULT STDMETHODCALLTYPE OnShareViolation(IFileDialog*, IShellItem* item, FDE_SHAREVIOLATION_RESPONSE* r) override {
    return Guarded([&] {
      return FFileDialog->OnShareViolation ? FFileDialog->ShareViolation(item, reinterpret_cast<DWORD*>(r))
                                           : E_NOTIMPL;
    });
  }
  HRESULT STDMETHODCALLTYPE OnTypeChange(IFileDialog* dialog) override {
    return Guarded([&] {
      if (!FFileDialog->OnTypeChange) return E_NOTIMPL;
      FetchHandle();
      UINT index = 0;
      if (SUCCEEDED(dialog->GetFileTypeIndex(&index))) FFileDialog->FileTypeIndex = static_cast<int>(index);
      return FFileDialog->TypeChange();
    });
  }
  HRESULT STDMETHODCALLTYPE OnOverwrite(IFileDialog*, IShellItem* item, FDE_OVERWRITE_RESPONSE* r) override {
    return Guarded([&] {
      return FFileDialog->OnOverwrite ? FFileDialog->Overwrite(item, reinterpret_cast<DWORD*>(r)) : E_NOTIMPL;
    });
  }

private:
  void FetchHandle() {
    if (!FFetchHandle) return;
    FFetchHandle = false;
    FFileDialog->GetWindowHandle();
  }
  template <class F> HRESULT Guarded(F f) { return GuardedCall(FFileDialog, f, E_FAIL); }
  TCustomFileDialog* FFileDialog;
  ULONG FRefCount = 1;
  bool FFetchHandle = true;
};

// ---------------------------------------------------------------------------
// TCustomFileDialog

TCustomFileDialog::TCustomFileDialog(TComponent* owner)
    : TComponent(owner), FFiles(new TUcStringList), FFavoriteLinks(new TFavoriteLinkItems),
      FFileTypes(new TFileTypeItems) {}

TCustomFileDialog::~TCustomFileDialog() {
  delete FFiles;
  delete FFavoriteLinks;
  delete FFileTypes;
}

void TCustomFileDialog::SetClientGuid(const AnsiString& value) {
  if (value == FClientGuid) return;
  if (!value.IsEmpty()) {
    CLSID guid;
    const WideString text = AnsiToWide(value);
    if (FAILED(CLSIDFromString(const_cast<LPOLESTR>(text.c_str()), &guid)))
      throw EConvertError(Format("'%s' is not a valid GUID value", {value}));
  }
  FClientGuid = value;
}

bool TCustomFileDialog::Execute() { return Execute(Application ? Application->Handle() : nullptr); }

bool TCustomFileDialog::Execute(HWND parentWnd) {
  if (!Win32PlatformIsVista)
    throw EPlatformVersionException(Format("%s requires Windows Vista or later", {ClassName()}));
  bool result = false;
  FDialog = CreateFileDialog();
  if (!FDialog) return false;
  try {
    if (!FClientGuid.IsEmpty()) {
      GUID guid;
      const WideString text = AnsiToWide(FClientGuid);
      if (SUCCEEDED(CLSIDFromString(const_cast<LPOLESTR>(text.c_str()), &guid))) FDialog->SetClientGuid(guid);
    }
    if (!DefaultExtension.IsEmpty()) FDialog->SetDefaultExtension(DefaultExtension.c_str());
    if (!FFileName.IsEmpty()) FDialog->SetFileName(FFileName.c_str());
    if (!FileNameLabel.IsEmpty()) FDialog->SetFileNameLabel(FileNameLabel.c_str());
    if (!OkButtonLabel.IsEmpty()) FDialog->SetOkButtonLabel(OkButtonLabel.c_str());
    if (!Title.IsEmpty()) FDialog->SetTitle(Title.c_str());
    if (!FDefaultFolder.IsEmpty()) {
      IShellItem* folder = nullptr;
      if (SUCCEEDED(SHCreateItemFromParsingName(FDefaultFolder.c_str(), nullptr, IID_IShellItem,
                                                reinterpret_cast<void**>(&folder)))) {
        FDialog->SetFolder(folder);
        folder->Release();
      }
    }
    if (FFileTypes->Count() > 0) {
      std::vector<TFilterSpec> specs = FFileTypes->FilterSpecArray();
      FDialog->SetFileTypes(static_cast<UINT>(specs.size()), reinterpret_cast<const COMDLG_FILTERSPEC*>(specs.data()));
      FDialog->SetFileTypeIndex(static_cast<UINT>(FileTypeIndex));
    }
    // Only items with a file-system path can be answered: the result is a file name.
    FDialog->SetOptions(FileDialogOptionsToFlags(Options) | FOS_FORCEFILESYSTEM);
    for (int i = 0; i < FFavoriteLinks->Count(); ++i) {
      IShellItem* place = nullptr;
      if (SUCCEEDED(SHCreateItemFromParsingName(FFavoriteLinks->Items(i)->Location().c_str(), nullptr, IID_IShellItem,
                                                reinterpret_cast<void**>(&place)))) {
        FDialog->AddPlace(place, FDAP_BOTTOM);
        place->Release();
      }
    }
    DoOnExecute();
    HWND active = GetActiveWindow();
    HWND focus = GetFocus();
    std::vector<HWND> disabled = DisableTaskWindows(parentWnd);
    auto* events = new TFileDialogEvents(this);
    DWORD cookie = 0;
    const bool advised = SUCCEEDED(FDialog->Advise(events, &cookie));
    try {
      result = SUCCEEDED(FDialog->Show(parentWnd));
      if (result) result = SUCCEEDED(GetResults());
    } catch (...) {
      if (advised) FDialog->Unadvise(cookie);
      events->Release();
      EnableTaskWindows(disabled);
      throw;
    }
    if (advised) FDialog->Unadvise(cookie);
    events->Release();
    EnableTaskWindows(disabled);
    // The owner may be the hidden application window; the window that was
    // active gets the activation back.
    if (active && IsWindow(active))
      SetActiveWindow(active);
    else if (parentWnd)
      SetActiveWindow(parentWnd);
    if (focus && IsWindow(focus)) SetFocus(focus);
  } catch (...) {
    ReleaseInto(FDialog);
    FHandle = nullptr;
    throw;
  }
  ReleaseInto(FDialog);
  FHandle = nullptr;
  return result;
}

HRESULT TCustomFileDialog::GetItemName(IShellItem* item, WideString& name) {
  wchar_t* text = nullptr;
  HRESULT hr = item->GetDisplayName(SIGDN_FILESYSPATH, &text);
  if (FAILED(hr)) return hr;
  name = WideString(text);
  CoTaskMemFree(text);
  return S_OK;
}

bool TCustomFileDialog::CurrentFileName(WideString& name) {
  if (!FDialog) return false;
  wchar_t* text = nullptr;
  if (FAILED(FDialog->GetFileName(&text)) || !text) return false;
  WideString typed(text);
  CoTaskMemFree(text);
  if (typed.IsEmpty()) return false;
  const std::wstring& t = typed.str();
  const bool full = (t.size() > 2 && t[1] == L':' && t[2] == L'\\') || (t.size() > 1 && t[0] == L'\\' && t[1] == L'\\');
  if (full) {
    name = typed;
    return true;
  }
  IShellItem* folder = nullptr;
  WideString path;
  const bool inFolder = SUCCEEDED(FDialog->GetFolder(&folder)) && folder && SUCCEEDED(GetItemName(folder, path));
  if (folder) folder->Release();
  if (!inFolder) return false;
  if (path.IsEmpty() || path.str().back() != L'\\') path += L"\\";
  name = path + typed;
  return true;
}

HRESULT TCustomFileDialog::GetResults() {
  HRESULT hr = FDialog->GetResult(&FShellItem);
  if (SUCCEEDED(hr)) {
    hr = GetItemName(FShellItem, FFileName);
    FFiles->Clear();
    if (SUCCEEDED(hr)) FFiles->Add(FFileName);
  }
  ReleaseInto(FShellItem);
  return hr;
}

HRESULT TCustomFileDialog::GetFileNames(IShellItemArray* items) {
  FFiles->Clear();
  IEnumShellItems* enumerator = nullptr;
  HRESULT hr = items->EnumItems(&enumerator);
  if (FAILED(hr)) return hr;
  IShellItem* item = nullptr;
  ULONG fetched = 0;
  while (SUCCEEDED(enumerator->Next(1, &item, &fetched)) && fetched == 1 && item) {
    WideString name;
    hr = GetItemName(item, name);
    item->Release();
    item = nullptr;
    if (FAILED(hr)) break;
    FFiles->Add(name);
  }
  enumerator->Release();
  if (FFiles->Count() > 0) FFileName = FFiles->Strings(0);
  return hr;
}

void TCustomFileDialog::GetWindowHandle() {
  IOleWindow* window = nullptr;
  if (FDialog && SUCCEEDED(FDialog->QueryInterface(IID_IOleWindow, reinterpret_cast<void**>(&window)))) {
    window->GetWindow(&FHandle);
    window->Release();
  }
}

void TCustomFileDialog::DoOnExecute() {
  if (OnExecute) OnExecute(this);
}

bool TCustomFileDialog::DoOnFileOkClick() {
  bool canClose = true;
  if (OnFileOkClick) OnFileOkClick(this, canClose);
  return canClose;
}

void TCustomFileDialog::DoOnFolderChange() {
  if (OnFolderChange) OnFolderChange(this);
}

bool TCustomFileDialog::DoOnFolderChanging() {
  bool canChange = true;
  if (OnFolderChanging) OnFolderChanging(this, canChange);
  return canChange;
}

void TCustomFileDialog::DoOnOverwrite(TFileDialogOverwriteResponse& response) {
  if (OnOverwrite) OnOverwrite(this, response);
}

void TCustomFileDialog::DoOnSelectionChange() {
  if (OnSelectionChange) OnSelectionChange(this);
}

void TCustomFileDialog::DoOnShareViolation(TFileDialogShareViolationResponse& response) {
  if (OnShareViolation) OnShareViolation(this, response);
}

void TCustomFileDialog::DoOnTypeChange() {
  if (OnTypeChange) OnTypeChange(this);
}

HRESULT TCustomFileDialog::FileOkClick() {
  FFileName = WideString();
  HRESULT hr = GetResults();
  if (SUCCEEDED(hr)) hr = DoOnFileOkClick() ? S_OK : S_FALSE;
  FFiles->Clear();
  return hr;
}

HRESULT TCustomFileDialog::FolderChange() {
  FFileName = WideString();
  HRESULT hr = FDialog->GetFolder(&FShellItem);
  if (SUCCEEDED(hr)) {
    hr = GetItemName(FShellItem, FFileName);
    if (SUCCEEDED(hr)) DoOnFolderChange();
  }
  ReleaseInto(FShellItem);
  return hr;
}

HRESULT TCustomFileDialog::FolderChanging(IShellItem* folder) {
  FFileName = WideString();
  HRESULT hr = GetItemName(folder, FFileName);
  if (SUCCEEDED(hr)) hr = DoOnFolderChanging() ? S_OK : S_FALSE;
  return hr;
}

HRESULT TCustomFileDialog::SelectionChange() {
  FFileName = WideString();
  HRESULT hr = FDialog->GetCurrentSelection(&FShellItem);
  if (SUCCEEDED(hr)) {
    hr = GetItemName(FShellItem, FFileName);
    if (SUCCEEDED(hr)) DoOnSelectionChange();
  }
  ReleaseInto(FShellItem);
  return hr;
}

HRESULT TCustomFileDialog::Overwrite(IShellItem* item, DWORD* response) {
  FFileName = WideString();
  TFileDialogOverwriteResponse r = forAccept;
  HRESULT hr = GetItemName(item, FFileName);
  if (SUCCEEDED(hr)) DoOnOverwrite(r);
  *response = r;
  return hr;
}

HRESULT TCustomFileDialog::ShareViolation(IShellItem* item, DWORD* response) {
  FFileName = WideString();
  TFileDialogShareViolationResponse r = fsrAccept;
  HRESULT hr = GetItemName(item, FFileName);
  if (SUCCEEDED(hr)) DoOnShareViolation(r);
  *response = r;
  return hr;
}

HRESULT TCustomFileDialog::TypeChange() {
  UINT index = 0;
  HRESULT hr = FDialog->GetFileTypeIndex(&index);
  if (SUCCEEDED(hr)) {
    FileTypeIndex = static_cast<int>(index);
    DoOnTypeChange();
  }
  return hr;
}

IFileDialog* TCustomFileOpenDialog::CreateFileDialog() {
  IFileDialog* dialog = nullptr;
  if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileOpenDialog,
                              reinterpret_cast<void**>(&dialog))))
    return nullptr;
  return dialog;
}

HRESULT TCustomFileOpenDialog::GetResults() {
  if (!(Options & FileDialogOption(fdoAllowMultiSelect))) return TCustomFileDialog::GetResults();
  auto* open = static_cast<IFileOpenDialog*>(FDialog);
  HRESULT hr = open->GetResults(&FShellItems);
  if (SUCCEEDED(hr)) hr = GetFileNames(FShellItems);
  ReleaseInto(FShellItems);
  return hr;
}

HRESULT TCustomFileOpenDialog::SelectionChange() {
  if (!(Options & FileDialogOption(fdoAllowMultiSelect))) return TCustomFileDialog::SelectionChange();
  FFileName = WideString();
  auto* open = static_cast<IFileOpenDialog*>(FDialog);
  HRESULT hr = open->GetSelectedItems(&FShellItems);
  if (SUCCEEDED(hr)) {
    hr = GetFileNames(FShellItems);
    ReleaseInto(FShellItems);
    if (SUCCEEDED(FDialog->GetCurrentSelection(&FShellItem))) DoOnSelectionChange();
    ReleaseInto(FShellItem);
  }
  return hr;
}

IFileDialog* TCustomFileSaveDialog::CreateFileDialog() {
  IFileDialog* dialog = nullptr;
  if (FAILED(CoCreateInstance(CLSID_FileSaveDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileSaveDialog,
                              reinterpret_cast<void**>(&dialog))))
    return nullptr;
  return dialog;
}

// ---------------------------------------------------------------------------
// Wrappers

TFileDialogWrapper::~TFileDialogWrapper() { delete FFileDialog; }

void TFileDialogWrapper::AssignFileTypes() {
  const WideString filter = FOpenDialog->Filter();
  int position = 1;
  for (;;) {
    const int bar = WideTextPosEx(WideString(L"|"), filter, position);
    if (bar == 0) break;
    const WideString name = filter.SubString(position, bar - position);
    const int maskEnd = WideTextPosEx(WideString(L"|"), filter, bar + 1);
    const WideString mask = maskEnd == 0 ? filter.SubString(bar + 1, filter.Length() - bar)
                                         : filter.SubString(bar + 1, maskEnd - bar - 1);
    TFileTypeItem* item = FFileDialog->FileTypes()->Add();
    item->SetDisplayName(name);
    item->SetFileMask(mask);
    if (maskEnd == 0) break;
    position = maskEnd + 1;
  }
}

void TFileDialogWrapper::AssignOptions() {
  struct Pair {
    TOpenOption From;
    TFileDialogOption To;
  };
  // ofExtensionDifferent is an answer of the classic dialog, not a wish: it
  // has no place here.
  static const Pair Map[] = {
      {ofOverwritePrompt, fdoOverWritePrompt},    {ofNoChangeDir, fdoNoChangeDir},
      {ofNoValidate, fdoNoValidate},              {ofAllowMultiSelect, fdoAllowMultiSelect},
      {ofPathMustExist, fdoPathMustExist},        {ofFileMustExist, fdoFileMustExist},
      {ofCreatePrompt, fdoCreatePrompt},          {ofShareAware, fdoShareAware},
      {ofNoReadOnlyReturn, fdoNoReadOnlyReturn},  {ofNoTestFileCreate, fdoNoTestFileCreate},
      {ofNoDereferenceLinks, fdoNoDereferenceLinks}, {ofDontAddToRecent, fdoDontAddToRecent},
      {ofForceShowHidden, fdoForceShowHidden}};
  TFileDialogOptions options = 0;
  for (const Pair& p : Map)
    if (FOpenDialog->Options() & OpenOption(p.From)) options |= FileDialogOption(p.To);
  // No places bar: the item dialog's pinned places stay hidden.
  if (FOpenDialog->OptionsEx() & OpenOptionEx(ofExNoPlacesBar)) options |= FileDialogOption(fdoHidePinnedPlaces);
  FFileDialog->Options = options;
}

void TFileDialogWrapper::HandleFileOk(TObject*, bool& canClose) {
  FOpenDialog->SetFileName(FFileDialog->FileName());
  FOpenDialog->Files()->Assign(FFileDialog->Files());
  FOpenDialog->OnCanClose(FOpenDialog, canClose);
}

void TFileDialogWrapper::HandleFolderChange(TObject*) {
  FOpenDialog->SetFileName(FFileDialog->FileName());
  FOpenDialog->OnFolderChange(FOpenDialog);
}

void TFileDialogWrapper::HandleSelectionChange(TObject*) {
  FOpenDialog->SetFileName(FFileDialog->FileName());
  FOpenDialog->Files()->Assign(FFileDialog->Files());
  FOpenDialog->OnSelectionChange(FOpenDialog);
}

void TFileDialogWrapper::HandleTypeChange(TObject*) {
  FOpenDialog->SetFilterIndex(FFileDialog->FileTypeIndex);
  FOpenDialog->OnTypeChange(FOpenDialog);
}

bool TFileDialogWrapper::Execute(HWND parentWnd) {
  FFileDialog->DefaultExtension = FOpenDialog->DefaultExt();
  FFileDialog->SetDefaultFolder(FOpenDialog->InitialDir());
  FFileDialog->SetFileName(FOpenDialog->FileName());
  FFileDialog->FileTypeIndex = FOpenDialog->FilterIndex();
  FFileDialog->Title = FOpenDialog->Title();
  if (FOpenDialog->OnCanClose) FFileDialog->OnFileOkClick = MakeEvent<&TFileDialogWrapper::HandleFileOk>(this);
  if (FOpenDialog->OnFolderChange)
    FFileDialog->OnFolderChange = MakeEvent<&TFileDialogWrapper::HandleFolderChange>(this);
  if (FOpenDialog->OnSelectionChange)
    FFileDialog->OnSelectionChange = MakeEvent<&TFileDialogWrapper::HandleSelectionChange>(this);
  if (FOpenDialog->OnTypeChange) FFileDialog->OnTypeChange = MakeEvent<&TFileDialogWrapper::HandleTypeChange>(this);
  AssignFileTypes();
  AssignOptions();
  const bool result = FFileDialog->Execute(parentWnd);
  if (result) {
    FOpenDialog->SetFileName(FFileDialog->FileName());
    FOpenDialog->Files()->Assign(FFileDialog->Files());
  }
  return result;
}

TFileOpenDialogWrapper::TFileOpenDialogWrapper(TUcOpenDialog* openDialog) : TFileDialogWrapper(openDialog) {
  Init();
  FFileDialog->OnExecute = MakeEvent<&TFileOpenDialogWrapper::OnExecuteEvent>(this);
}

void TFileOpenDialogWrapper::OnExecuteEvent(TObject*) {
  if (FOpenDialog->ClassName() != "TOpenPictureDialog") return;
  FILEOPENDIALOGOPTIONS options = 0;
  IFileDialog* d = FFileDialog->Dialog();
  if (d && SUCCEEDED(d->GetOptions(&options))) d->SetOptions(options | FOS_FORCEPREVIEWPANEON);
}

// ---------------------------------------------------------------------------
// TUcOpenDialog

namespace {
// A multi-selection answer may be long.
constexpr DWORD MultiSelectMaxFile = 65519;
}  // namespace

std::wstring FilterToMultiString(const WideString& filter) {
  if (filter.IsEmpty()) return std::wstring();
  std::wstring s = filter.str();
  for (wchar_t& c : s)
    if (c == L'|') c = L'\0';
  s.append(2, L'\0');
  return s;
}

WideString RemoveTrailingPathDelimiter(const WideString& path) {
  std::wstring s = path.str();
  if (s.size() > 1 && s.back() == L'\\' && s[s.size() - 2] != L':') s.pop_back();
  return WideString(s);
}

TUcOpenDialog::TUcOpenDialog(TComponent* owner) : TOpenDialog(owner), FFiles(new TUcStringList) {}

TUcOpenDialog::~TUcOpenDialog() { delete FFiles; }

WideString TUcOpenDialog::DefaultExt() { return GetSyncedWideString(FDefaultExt, TOpenDialog::DefaultExt()); }
void TUcOpenDialog::SetDefaultExt(const WideString& v) {
  SetSyncedWideString(v, FDefaultExt, TOpenDialog::DefaultExt(), [this](const AnsiString& a) { TOpenDialog::SetDefaultExt(a); });
}
WideString TUcOpenDialog::Filter() { return GetSyncedWideString(FFilter, TOpenDialog::Filter()); }
void TUcOpenDialog::SetFilter(const WideString& v) {
  SetSyncedWideString(v, FFilter, TOpenDialog::Filter(), [this](const AnsiString& a) { TOpenDialog::SetFilter(a); });
}
WideString TUcOpenDialog::InitialDir() { return GetSyncedWideString(FInitialDir, TOpenDialog::InitialDir()); }
void TUcOpenDialog::SetInitialDir(const WideString& v) {
  SetSyncedWideString(RemoveTrailingPathDelimiter(v), FInitialDir, TOpenDialog::InitialDir(),
                      [this](const AnsiString& a) { TOpenDialog::SetInitialDir(a); });
}
WideString TUcOpenDialog::Title() { return GetSyncedWideString(FTitle, TOpenDialog::Title()); }
void TUcOpenDialog::SetTitle(const WideString& v) {
  SetSyncedWideString(v, FTitle, TOpenDialog::Title(), [this](const AnsiString& a) { TOpenDialog::SetTitle(a); });
}

void TUcOpenDialog::SetFileName(const WideString& v) {
  FFileName = v;
  TOpenDialog::SetFileName(WideToAnsi(v));
}

WideString TUcOpenDialog::FileName() {
  if (Win32PlatformIsUnicode) {
    WideString live;
    if (FItemDialog && FItemDialog->CurrentFileName(live)) return live;
    if (Handle() && !(Options() & OpenOption(ofOldStyleDialog))) {
      wchar_t path[MAX_PATH + 1] = {};
      if (SendMessageW(Handle(), CDM_GETFILEPATH, MAX_PATH + 1, reinterpret_cast<LPARAM>(path)) > 0)
        return WideString(path);
    }
  }
  return GetSyncedWideString(FFileName, TOpenDialog::FileName());
}

TUcStringList* TUcOpenDialog::Files() {
  if (!Win32PlatformIsUnicode) {
    FFiles->Clear();
    for (int i = 0; i < TOpenDialog::Files()->Count(); ++i) FFiles->Add(AnsiToWide(TOpenDialog::Files()->Strings(i)));
  }
  return FFiles;
}

void TUcOpenDialog::DefineProperties(TFiler* filer) {
  TOpenDialog::DefineProperties(filer);
  UcPersistent_AfterInherited_DefineProperties(filer, this);
}

bool TUcOpenDialog::Execute() {
  if (Win32PlatformIsUnicode) return DoExecuteW(reinterpret_cast<void*>(&GetOpenFileNameW));
  return TOpenDialog::Execute();
}

bool TUcSaveDialog::Execute() {
  if (Win32PlatformIsUnicode) return DoExecuteW(reinterpret_cast<void*>(&GetSaveFileNameW));
  return DoExecute(&GetSaveFileNameA);
}

bool TUcOpenDialog::DoExecuteW(void* dialogFunc) {
  return DoExecuteW(dialogFunc, Application ? Application->Handle() : nullptr);
}

bool TUcOpenDialog::DoCanClose() {
  // The class library's own check runs before the wide names exist; the real
  // question is asked from CanCloseW.
  if (!FProxiedCanClose) return true;
  return TOpenDialog::DoCanClose();
}

bool TUcOpenDialog::CanCloseW(const OFNOTIFYW& notify) {
  GetFileNamesW(*notify.lpOFN);
  FProxiedCanClose = true;
  bool result;
  try {
    result = DoCanClose();
  } catch (...) {
    FProxiedCanClose = false;
    throw;
  }
  FProxiedCanClose = false;
  FFiles->Clear();
  TOpenDialog::Files()->Clear();
  return result;
}

void TUcOpenDialog::DoIncludeItem(const OFNOTIFYEXW& ofnEx, bool& include) {
  if (Win32PlatformIsUnicode && OnIncludeItem) OnIncludeItem(this, ofnEx, include);
}

void TUcOpenDialog::SplitMultiSelectNames(const wchar_t* buffer) {
  const wchar_t separator = ((Options() & OpenOption(ofAllowMultiSelect)) && (Options() & OpenOption(ofOldStyleDialog)))
                                ? L' '
                                : L'\0';
  std::vector<WideString> names = ExtractStringsFromStringArray(buffer, separator);
  if (names.empty()) {
    FFiles->Add(WideString());
    return;
  }
  if (names.size() == 1) {
    FFiles->Add(names[0]);
    return;
  }
  WideString folder = names[0];
  if (folder.IsEmpty() || folder.str().back() != L'\\') folder += L"\\";
  for (size_t i = 1; i < names.size(); ++i) {
    const std::wstring& n = names[i].str();
    const bool absolute = (!n.empty() && n[0] == L'\\') || (n.size() > 3 && n[1] == L':' && n[2] == L'\\');
    FFiles->Add(absolute ? names[i] : folder + names[i]);
  }
}

void TUcOpenDialog::GetFileNamesW(const OPENFILENAMEW& ofn) {
  FFiles->Clear();
  const bool multi = Options() & OpenOption(ofAllowMultiSelect);
  const wchar_t separator = (multi && (Options() & OpenOption(ofOldStyleDialog))) ? L' ' : L'\0';
  if (multi) {
    SplitMultiSelectNames(ofn.lpstrFile);
    FFileName = FFiles->Count() > 0 ? FFiles->Strings(0) : WideString();
  } else {
    const wchar_t* p = ofn.lpstrFile;
    FFileName = ExtractStringFromStringArray(p, separator);
    FFiles->Add(FFileName);
  }
  TOpenDialog::SetFileName(WideToAnsi(FFileName));
  TOpenDialog::Files()->Clear();
  for (int i = 0; i < FFiles->Count(); ++i) TOpenDialog::Files()->Add(WideToAnsi(FFiles->Strings(i)));
}

UINT_PTR CALLBACK TUcOpenDialog::HookProcW(HWND wnd, UINT msg, WPARAM, LPARAM lParam) {
  static TUcOpenDialog* current = nullptr;
  return GuardedCall(
      current,
      [&]() -> UINT_PTR {
        if (msg == WM_INITDIALOG) {
          current = reinterpret_cast<TUcOpenDialog*>(reinterpret_cast<OPENFILENAMEW*>(lParam)->lCustData);
          if (current) {
            // An Explorer-style hook runs in a child of the dialog; the
            // old-style hook in the dialog itself (whose parent is its owner).
            const bool oldStyle = current->Options() & OpenOption(ofOldStyleDialog);
            current->SetDialogHandle(oldStyle || !GetParent(wnd) ? wnd : GetParent(wnd));
            current->DoShow();
          }
        } else if (msg == WM_NOTIFY && current) {
          auto* notify = reinterpret_cast<OFNOTIFYW*>(lParam);
          switch (notify->hdr.code) {
            case CDN_FILEOK:
              if (!current->CanCloseW(*notify)) {
                SetWindowLongPtrW(wnd, DWLP_MSGRESULT, 1);
                return 1;
              }
              break;
            case CDN_FOLDERCHANGE: current->DoFolderChange(); break;
            case CDN_SELCHANGE: current->DoSelectionChange(); break;
            case CDN_TYPECHANGE:
              current->SetFilterIndex(static_cast<int>(notify->lpOFN->nFilterIndex));
              current->DoTypeChange();
              break;
            case CDN_INCLUDEITEM: {
              bool include = true;
              current->DoIncludeItem(*reinterpret_cast<OFNOTIFYEXW*>(lParam), include);
              return include ? 1 : 0;
            }
          }
        } else if (msg == WM_DESTROY && current) {
          TUcOpenDialog* d = current;
          current = nullptr;
          d->SetDialogHandle(nullptr);
          d->DoClose();
        }
        return 0;
      },
      UINT_PTR(0));
}

bool TUcOpenDialog::DoExecuteW(void* dialogFunc, HWND parentWnd) {
  if (Win32PlatformIsVista && !Template()) {
    TFileDialogWrapper* wrapper;
    if (dialogFunc == reinterpret_cast<void*>(&GetOpenFileNameW))
      wrapper = new TFileOpenDialogWrapper(this);
    else
      wrapper = new TFileSaveDialogWrapper(this);
    // The dialog's events hand the names they see to this dialog; a
    // cancelled dialog leaves the name and the list as they were.
    const WideString fileName = GetSyncedWideString(FFileName, TOpenDialog::FileName());
    std::vector<WideString> files;
    for (int i = 0; i < FFiles->Count(); ++i) files.push_back(FFiles->Strings(i));
    bool result;
    FItemDialog = wrapper->FileDialog();
    try {
      result = wrapper->Execute(parentWnd);
      SetFilterIndex(wrapper->FileDialog()->FileTypeIndex);
    } catch (...) {
      FItemDialog = nullptr;
      delete wrapper;
      throw;
    }
    FItemDialog = nullptr;
    delete wrapper;
    if (!result) {
      SetFileName(fileName);
      FFiles->Clear();
      for (const WideString& f : files) FFiles->Add(f);
    }
    return result;
  }

  FFiles->Clear();
  const bool multi = Options() & OpenOption(ofAllowMultiSelect);
  const DWORD maxFile = multi ? MultiSelectMaxFile : MAX_PATH;
  OPENFILENAMEW ofn;
  ZeroMemory(&ofn, sizeof ofn);
  // 88 bytes from Windows 2000 (and ME) on, 76 before.
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof version;
  GetVersionExA(&version);
  const bool newRecord = (version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion >= 5) ||
                         (version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS &&
                          (version.dwMajorVersion > 4 || (version.dwMajorVersion == 4 && version.dwMinorVersion >= 90)));
  ofn.lStructSize = newRecord ? sizeof(OPENFILENAMEW) : OPENFILENAME_SIZE_VERSION_400W;
  ofn.hwndOwner = OwnerWindow();
  if (!ofn.hwndOwner || !IsWindow(ofn.hwndOwner)) ofn.hwndOwner = parentWnd;
  ofn.hInstance = reinterpret_cast<HINSTANCE>(HInstance);
  const std::wstring filter = FilterToMultiString(Filter());
  ofn.lpstrFilter = filter.empty() ? nullptr : filter.c_str();
  ofn.nFilterIndex = static_cast<DWORD>(FilterIndex());
  std::vector<wchar_t> buffer(maxFile + 2, L'\0');
  const WideString fileName = GetSyncedWideString(FFileName, TOpenDialog::FileName());
  lstrcpynW(buffer.data(), fileName.c_str(), static_cast<int>(maxFile));
  ofn.lpstrFile = buffer.data();
  ofn.nMaxFile = maxFile;
  const WideString initialDir = InitialDir();
  ofn.lpstrInitialDir = initialDir.IsEmpty() ? nullptr : initialDir.c_str();
  const WideString title = Title();
  ofn.lpstrTitle = title.IsEmpty() ? nullptr : title.c_str();
  ofn.Flags = FlagsOf(Options()) | OFN_ENABLEHOOK;
  if (Options() & OpenOption(ofEnableIncludeNotify)) ofn.Flags |= OFN_ENABLEINCLUDENOTIFY;
  // The shorter record of older systems ends before FlagsEx.
  if (newRecord) ofn.FlagsEx = FlagsExOf(OptionsEx());
  WideString defaultExt = DefaultExt();
  if (defaultExt.IsEmpty() && !(ofn.Flags & OFN_EXPLORER)) {
    const std::wstring& n = fileName.str();
    const size_t dot = n.find_last_of(L".\\:");
    if (dot != std::wstring::npos && n[dot] == L'.') defaultExt = WideString(n.substr(dot + 1));
  }
  ofn.lpstrDefExt = defaultExt.IsEmpty() ? nullptr : defaultExt.c_str();
  WideString templateName;
  if (Template()) {
    ofn.Flags |= OFN_ENABLETEMPLATE;
    if (IS_INTRESOURCE(Template())) {
      ofn.lpTemplateName = reinterpret_cast<LPCWSTR>(Template());
    } else {
      templateName = AnsiToWide(AnsiString(Template()));
      ofn.lpTemplateName = templateName.c_str();
    }
  }
  ofn.lpfnHook = &TUcOpenDialog::HookProcW;
  ofn.lCustData = reinterpret_cast<LPARAM>(this);

  if (!TaskModalDialog(reinterpret_cast<BOOL(WINAPI*)(void*)>(dialogFunc), &ofn)) return false;
  GetFileNamesW(ofn);
  // Only the read-only box is a choice the user makes here; the other answer
  // flags (extension different) never turn into options.
  TOpenOptions options = Options();
  if (ofn.Flags & OFN_READONLY)
    options |= OpenOption(ofReadOnly);
  else
    options &= ~OpenOption(ofReadOnly);
  SetOptions(options);
  SetFilterIndex(static_cast<int>(ofn.nFilterIndex));
  return true;
}

// ---------------------------------------------------------------------------

void UnitInit_UcFileDialogs() {
  RegisterClasses({&TUcOpenDialog::Class, &TUcSaveDialog::Class, &TFileOpenDialog::Class, &TFileSaveDialog::Class});
}

void UnitFini_UcFileDialogs() {}
