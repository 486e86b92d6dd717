#include "Zefolderdialog.h"

#include <commctrl.h>

#include "controls.h"
#include "filer.h"
#include "forms.h"
#include "registry.h"
#include "sysutils.h"

CL_DEFINE_COMPONENT(TPBFolderDialog, TComponent)

namespace {
const UINT BifFlags[] = {BIF_BROWSEFORCOMPUTER, BIF_BROWSEFORPRINTER, BIF_DONTGOBELOWDOMAIN,
                         BIF_RETURNFSANCESTORS, BIF_RETURNONLYFSDIRS, BIF_STATUSTEXT};
const int Csidls[] = {CSIDL_DESKTOP,  -1,           CSIDL_PROGRAMS, CSIDL_CONTROLS,  CSIDL_PRINTERS,
                      CSIDL_PERSONAL, CSIDL_FAVORITES, CSIDL_STARTUP, CSIDL_RECENT,  CSIDL_SENDTO,
                      CSIDL_BITBUCKET, CSIDL_STARTMENU, CSIDL_DESKTOPDIRECTORY, CSIDL_DRIVES, CSIDL_NETWORK,
                      CSIDL_NETHOOD,  CSIDL_FONTS,  CSIDL_TEMPLATES};
constexpr int NewFolderButtonId = 255;

// Locale, new-folder caption, label caption. The German texts hold the byte
// 0xE4 (a-umlaut in Windows-1252).
struct TCaptionRow {
  const char* Locale;
  const char* NewFolder;
  const char* Label;
};
const TCaptionRow DefaultCaptions[] = {
    {"Default", "New folder", "Current folder:"},
    {"0009", "New folder", "Current folder:"},
    {"0406", "Ny mappe", "Valgt mappe:"},
    {"0407", "Neuer Ordner", "Ausgew\xE4hlter Ordner:"},
    {"0409", "New folder", "Current folder:"},
    {"0410", "Nuova Cartella", "Cartella selezionata:"},
    {"0413", "Nieuwe map", "Huidige map"},
    {"0416", "Nova Pasta", "Pasta Atual:"},
    {"0807", "Neuer Ordner", "Ausgew\xE4hlter Ordner:"},
    {"0809", "New folder", "Current folder:"},
    {"0810", "Nuova Cartella", "Cartella selezionata:"},
    {"0C07", "Neuer Ordner", "Ausgew\xE4hlter Ordner:"},
    {"0C09", "New folder", "Current folder:"},
    {"1007", "Neuer Ordner", "Ausgew\xE4hlter Ordner:"},
    {"1009", "New folder", "Current folder:"},
    {"1407", "Neuer Ordner", "Ausgew\xE4hlter Ordner:"},
    {"1409", "New folder", "Current folder:"},
    {"1809", "New folder", "Current folder:"},
    {"1C09", "New folder", "Current folder:"},
    {"2009", "New folder", "Current folder:"},
    {"2809", "New folder", "Current folder:"},
    {"2C09", "New folder", "Current folder:"},
};

AnsiString ReadUserLocale() {
  TRegistry reg;
  reg.SetRootKey(HKEY_CURRENT_USER);
  AnsiString value;
  if (reg.OpenKeyReadOnly("\\Control Panel\\Desktop\\ResourceLocale")) {
    value = reg.ReadString("");
  } else {
    reg.SetRootKey(HKEY_USERS);
    if (reg.OpenKeyReadOnly("\\.DEFAULT\\Control Panel\\International")) value = reg.ReadString("Locale");
  }
  if (value.Length() > 4) value = value.SubString(value.Length() - 3, 4);
  return AnsiUpperCase(value);
}

int ScreenDpi() {
  HDC dc = GetDC(nullptr);
  const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(nullptr, dc);
  return dpi;
}

AnsiString PathOfIDList(LPCITEMIDLIST list) {
  char path[MAX_PATH] = {};
  if (!list || !SHGetPathFromIDListA(list, path)) return AnsiString();
  return AnsiString(path);
}
}  // namespace

UINT BrowseInfoFlagsToBif(TBrowseInfoFlags flags) {
  UINT bif = 0;
  for (int i = 0; i <= ShowPath; ++i)
    if (flags & (1u << i)) bif |= BifFlags[i];
  return bif;
}

int SHFolderCsidl(TSHFolders folder) { return Csidls[folder]; }

AnsiString MakeDisplayPath(const AnsiString& path, int maxLen) {
  std::string p = path.str();
  const auto backslashesFrom3 = p.size() > 2 ? std::count(p.begin() + 2, p.end(), '\\') : 0;
  if (static_cast<int>(p.size()) <= maxLen || maxLen < 6 || p.find('\\') == std::string::npos ||
      backslashesFrom3 < 2)
    return AnsiString(p.substr(0, static_cast<size_t>(std::max(maxLen, 0))));
  std::string r;
  if (p.find('\\') < 2) {  // a network path
    r = "\\\\";
    p.erase(0, 2);
  }
  r += p.substr(0, p.find('\\') + 1) + "...";
  do {
    p.erase(0, p.find('\\') + 1);
  } while (static_cast<int>(r.size() + p.size()) + 1 > maxLen && p.find('\\') != std::string::npos);
  const std::string joined = r + "\\" + p;
  if (static_cast<int>(joined.size()) > maxLen) return AnsiString(joined.substr(0, static_cast<size_t>(maxLen - 3)) + "...");
  return AnsiString(joined);
}

LPITEMIDLIST GetIDListFromPath(const AnsiString& path) {
  IShellFolder* desktop = nullptr;
  if (path.IsEmpty() || !DirectoryExists(path) || FAILED(SHGetDesktopFolder(&desktop))) return nullptr;
  LPITEMIDLIST list = nullptr;
  WideString wide = AnsiToWide(path);
  ULONG eaten = 0;
  if (FAILED(desktop->ParseDisplayName(nullptr, nullptr, const_cast<LPWSTR>(wide.c_str()), &eaten, &list, nullptr)))
    list = nullptr;
  desktop->Release();
  return list;
}

RECT TPBFolderDialog::NewFolderButtonRect(int h, int w, int dpi) {
  switch (dpi) {
    case 72:
    case 96: return RECT{12, h - 36, 12 + w, h - 36 + 23};
    case 120: return RECT{15, h - 45, 15 + w * 5 / 4, h - 45 + 28};
    case 144: return RECT{17, h - 56, 17 + w * 3 / 2, h - 56 + 35};
    case 192: return RECT{20, h - 66, 20 + w * 192 / 96, h - 66 + 41};
    default: {
      const int left = dpi * 12 / 96, top = h - GetSystemMetrics(SM_CYCAPTION) - 17;
      return RECT{left, top, left + w * dpi / 96, top + dpi * 23 / 96};
    }
  }
}

TPBFolderDialog::TPBFolderDialog(TComponent* owner)
    : TComponent(owner), FNewFolderCaptions(new TStringList), FLabelCaptions(new TStringList) {
  FLocale = ReadUserLocale();
  FNewFolderCaptions->OnChange = MakeEvent<&TPBFolderDialog::CaptionsChanged>(this);
  FLabelCaptions->OnChange = MakeEvent<&TPBFolderDialog::CaptionsChanged>(this);
  for (const TCaptionRow& row : DefaultCaptions) {
    FNewFolderCaptions->Add(AnsiString(row.Locale) + "=" + row.NewFolder);
    FLabelCaptions->Add(AnsiString(row.Locale) + "=" + row.Label);
  }
}

TPBFolderDialog::~TPBFolderDialog() {
  delete FNewFolderCaptions;
  delete FLabelCaptions;
}

void TPBFolderDialog::SetLocale(const AnsiString& v) {
  FLocale = AnsiUpperCase(v);
  CaptionsChanged(this);
}

AnsiString TPBFolderDialog::LocaleText(TStrings* list) {
  if (list->Count() == 0) return AnsiString();
  if (!FLocale.IsEmpty() && list->IndexOfName(FLocale) >= 0) return list->Values(FLocale);
  if (list->IndexOfName("Default") >= 0) return list->Values("Default");
  return list->ValueFromIndex(0);
}

void TPBFolderDialog::CaptionsChanged(TObject*) {
  FNewFolderCaption = LocaleText(FNewFolderCaptions);
  if (FNewFolderButton) SetWindowTextA(FNewFolderButton, FNewFolderCaption.c_str());
  FLabelCaption = LocaleText(FLabelCaptions);
}

void TPBFolderDialog::Loaded() {
  TComponent::Loaded();
  CaptionsChanged(this);
}

void TPBFolderDialog::SetNewFolderCaptions(TStrings* v) {
  if (v && v->Text() != FNewFolderCaptions->Text()) FNewFolderCaptions->Assign(v);
}

void TPBFolderDialog::SetLabelCaptions(TStrings* v) {
  if (v && v->Text() != FLabelCaptions->Text()) FLabelCaptions->Assign(v);
}

void TPBFolderDialog::SetNewFolderVisible(bool v) {
  FNewFolderVisible = v;
  if (FNewFolderButton) ShowWindow(FNewFolderButton, v ? SW_SHOW : SW_HIDE);
}

void TPBFolderDialog::SetNewFolderEnabled(bool v) {
  FNewFolderEnabled = v;
  if (FNewFolderButton) EnableWindow(FNewFolderButton, FNewFolderEnabled && FValidPath);
}

void TPBFolderDialog::SetSelectedFolder(const AnsiString& path) { SetSelectionPath(FDialogHandle, path); }

void TPBFolderDialog::SetSelectionPath(HWND wnd, const AnsiString& path) {
  LPITEMIDLIST list = GetIDListFromPath(path);
  if (!list) return;
  SetSelectionPIDL(wnd, list);
  // The shell finds the folder by comparing each step of the identifier list
  // with the items of its tree byte for byte, the folders' times included. A
  // folder on the way that changed between the list's making and the shell's
  // reading of its parent (written to, or read for the first time since)
  // leaves nothing selected, and the tree then selects its first item, the
  // desktop, when it gets the focus: OK would answer the desktop. The items
  // the shell read keep their times, so a list made again need not match
  // them either: the folder is found through the tree's own items, step by
  // step by the names the shell shows.
  if (!IsSelected(wnd, path)) SelectThroughTheTree(wnd, list);
  CoTaskMemFree(list);
}

namespace {
// The name the shell shows for one step below a folder (as its tree does).
std::wstring ShownName(IShellFolder* folder, LPCITEMIDLIST step) {
  STRRET name{};
  wchar_t text[MAX_PATH] = {};
  if (FAILED(folder->GetDisplayNameOf(step, SHGDN_NORMAL, &name))) return std::wstring();
  if (name.uType == STRRET_WSTR) {
    lstrcpynW(text, name.pOleStr, MAX_PATH);
    CoTaskMemFree(name.pOleStr);
  } else if (name.uType == STRRET_CSTR) {
    MultiByteToWideChar(CP_ACP, 0, name.cStr, -1, text, MAX_PATH);
  } else if (name.uType == STRRET_OFFSET) {
    MultiByteToWideChar(CP_ACP, 0, reinterpret_cast<const char*>(step) + name.uOffset, -1, text, MAX_PATH);
  }
  return text;
}

HTREEITEM TreeItem(HWND tree, UINT relation, HTREEITEM from) {
  return reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(from)));
}
}  // namespace

std::wstring TreeItemText(HWND tree, HTREEITEM item) {
  wchar_t text[MAX_PATH] = {};
  TVITEMW it{};
  it.mask = TVIF_TEXT;
  it.hItem = item;
  it.pszText = text;
  it.cchTextMax = MAX_PATH;
  SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&it));
  return text;
}

bool ShownStepNames(LPCITEMIDLIST root, LPCITEMIDLIST list, std::vector<std::wstring>& names) {
  names.clear();
  IShellFolder* desktop = nullptr;
  if (!list || FAILED(SHGetDesktopFolder(&desktop))) return false;
  IShellFolder* folder = desktop;
  LPCITEMIDLIST rest = list;
  if (root) {
    rest = ILFindChild(const_cast<LPITEMIDLIST>(root), list);
    if (!rest || FAILED(desktop->BindToObject(root, nullptr, IID_IShellFolder, reinterpret_cast<void**>(&folder))))
      folder = nullptr;
    desktop->Release();
  }
  for (LPCITEMIDLIST step = rest; folder && step && step->mkid.cb; step = ILGetNext(step)) {
    LPITEMIDLIST one = ILCloneFirst(step);
    const std::wstring name = one ? ShownName(folder, one) : std::wstring();
    IShellFolder* below = nullptr;
    if (name.empty() || FAILED(folder->BindToObject(one, nullptr, IID_IShellFolder, reinterpret_cast<void**>(&below))))
      below = nullptr;
    if (one) CoTaskMemFree(one);
    folder->Release();
    folder = below;
    if (folder) names.push_back(name);
  }
  if (!folder) {
    names.clear();
    return false;
  }
  folder->Release();
  return true;
}

// The dialog fills an item's children when it expands, so each step is
// expanded before its children are searched for the next name.
void TPBFolderDialog::SelectThroughTheTree(HWND wnd, LPCITEMIDLIST list) {
  HWND tree = FindWindowExA(wnd, nullptr, WC_TREEVIEWA, nullptr);
  std::vector<std::wstring> names;
  if (!tree || !ShownStepNames(FRootIDList, list, names)) return;
  HTREEITEM item = TreeItem(tree, TVGN_ROOT, nullptr);
  for (const std::wstring& name : names) {
    if (!item) return;
    SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
    item = TreeItem(tree, TVGN_CHILD, item);
    while (item && TreeItemText(tree, item) != name) item = TreeItem(tree, TVGN_NEXT, item);
  }
  if (item) SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
}

bool TPBFolderDialog::IsSelected(HWND wnd, const AnsiString& path) const {
  HWND tree = FindWindowExA(wnd, nullptr, WC_TREEVIEWA, nullptr);
  if (tree && !SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0)) return false;
  return AnsiSameText(ExcludeTrailingBackslash(FSelectionPath), ExcludeTrailingBackslash(path));
}

void TPBFolderDialog::SetSelectionPIDL(HWND wnd, LPCITEMIDLIST list) {
  SendMessageA(wnd, BFFM_SETSELECTIONA, FALSE, reinterpret_cast<LPARAM>(list));
}

void TPBFolderDialog::EnableOK(HWND wnd, bool value) { SendMessageA(wnd, BFFM_ENABLEOK, 0, value ? 1 : 0); }

bool TPBFolderDialog::Execute() {
  const AnsiString startFolder = FFolder;
  FSelectionPath = FFolder;
  HWND owner = nullptr;
  if (ParentHandle && IsWindow(ParentHandle))
    owner = ParentHandle;
  else if (Owner() && Owner()->Is<TWinControl>())
    owner = static_cast<TWinControl*>(Owner())->Handle();
  else if (Application && Application->MainForm())
    owner = Application->MainForm()->Handle();
  LPITEMIDLIST root = nullptr;
  if (RootFolder != foDesktopExpanded)
    SHGetSpecialFolderLocation(Application ? Application->Handle() : nullptr, SHFolderCsidl(RootFolder), &root);
  FRootIDList = root;
  char displayName[MAX_PATH] = {};
  BROWSEINFOA info{};
  info.hwndOwner = owner;
  info.pidlRoot = root;
  info.pszDisplayName = displayName;
  info.lpszTitle = FLabelCaption.c_str();
  info.ulFlags = BrowseInfoFlagsToBif(Flags);
  info.lpfn = &TPBFolderDialog::BrowseCallback;
  info.lParam = reinterpret_cast<LPARAM>(this);
  LPITEMIDLIST result = nullptr;
  do {
    FNewFolderPressed = false;
    FFolder = FSelectionPath;
    result = SHBrowseForFolderA(&info);
    FDialogHandle = nullptr;
    FNewFolderButton = nullptr;
  } while (FNewFolderPressed);
  FRootIDList = nullptr;
  if (root) CoTaskMemFree(root);
  // A cancelled dialog, or an item that is no folder of the file system
  // (the computer, the control panel), leaves the start folder.
  const AnsiString chosen = PathOfIDList(result);
  if (result) CoTaskMemFree(result);
  if (!result || chosen.IsEmpty()) {
    FFolder = startFolder;
    FSelectionPath = startFolder;
    return false;
  }
  FFolder = chosen;
  FSelectionPath = chosen;
  FDisplayName = displayName;
  FImageIndex = info.iImage;
  return true;
}

int CALLBACK TPBFolderDialog::BrowseCallback(HWND wnd, UINT msg, LPARAM lParam, LPARAM data) {
  auto* self = reinterpret_cast<TPBFolderDialog*>(data);
  GuardedCall(self, [&] {
    if (msg == BFFM_INITIALIZED) {
      self->FDialogHandle = wnd;
      RECT r;
      GetWindowRect(wnd, &r);
      const int w = r.right - r.left, h = r.bottom - r.top;
      SetWindowPos(wnd, nullptr, GetSystemMetrics(SM_CXSCREEN) / 2 - w / 2, GetSystemMetrics(SM_CYSCREEN) / 2 - h / 2,
                   0, 0, SWP_NOSIZE | SWP_NOZORDER);
      self->CreateNewFolderButton(wnd);
      if (self->FNewFolderButton) {
        EnableWindow(self->FNewFolderButton, self->FValidPath && self->FNewFolderEnabled);
        ShowWindow(self->FNewFolderButton, self->FNewFolderVisible ? SW_SHOW : SW_HIDE);
      }
      if (!self->FFolder.IsEmpty() && DirectoryExists(self->FFolder)) self->SetSelectionPath(wnd, self->FFolder);
      if (self->OnInitialized) self->OnInitialized(self, wnd);
    } else if (msg == BFFM_SELCHANGED) {
      self->SelectionChanged(wnd, reinterpret_cast<LPCITEMIDLIST>(lParam));
    }
  });
  return 0;
}

void TPBFolderDialog::SelectionChanged(HWND wnd, LPCITEMIDLIST item) {
  FSelectionPath = PathOfIDList(item);
  if (Flags & BrowseFlag(ShowPath)) {
    AnsiString status = MakeDisplayPath(FSelectionPath, 50);
    if (status.IsEmpty()) {
      IShellFolder* desktop = nullptr;
      if (SUCCEEDED(SHGetDesktopFolder(&desktop))) {
        STRRET name{};
        if (SUCCEEDED(desktop->GetDisplayNameOf(item, SHGDN_FORPARSING, &name)) && name.uType == STRRET_CSTR)
          status = name.cStr;
        else if (name.uType == STRRET_WSTR)
          CoTaskMemFree(name.pOleStr);
        desktop->Release();
      }
    }
    SendMessageA(wnd, BFFM_SETSTATUSTEXTA, 0, reinterpret_cast<LPARAM>(status.c_str()));
  }
  FValidPath = !FSelectionPath.IsEmpty();
  EnableOK(wnd, (Flags & BrowseFlag(OnlyFileSystem)) ? FValidPath : true);
  if (FNewFolderButton) EnableWindow(FNewFolderButton, FValidPath && FNewFolderEnabled);
  if (OnSelectionChanged) OnSelectionChanged(this, wnd, item, FSelectionPath);
}

void TPBFolderDialog::CreateNewFolderButton(HWND wnd) {
  RECT client;
  GetClientRect(wnd, &client);
  const RECT r = NewFolderButtonRect(client.bottom, FNewFolderWidth, ScreenDpi());
  FNewFolderButton = CreateWindowExA(0, "Button", FNewFolderCaption.c_str(),
                                     WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP, r.left, r.top,
                                     r.right - r.left, r.bottom - r.top, wnd,
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(NewFolderButtonId)),
                                     reinterpret_cast<HINSTANCE>(HInstance), nullptr);
  if (!FNewFolderButton) return;
  SendMessageA(FNewFolderButton, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), TRUE);
  EnableWindow(FNewFolderButton, FNewFolderEnabled);
  SetPropA(wnd, "TPBFolderDialog", this);
  // The dialog's own procedure keeps every message but the button's.
  FDialogProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TPBFolderDialog::NewFolderWndProc)));
}

LRESULT CALLBACK TPBFolderDialog::NewFolderWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* self = static_cast<TPBFolderDialog*>(GetPropA(wnd, "TPBFolderDialog"));
  if (!self) return DefDlgProcA(wnd, msg, wParam, lParam);
  if (msg == WM_COMMAND && LOBYTE(LOWORD(wParam)) == NewFolderButtonId) {
    GuardedCall(self, [&] { self->NewFolderClicked(wnd); });
    return 0;
  }
  WNDPROC previous = self->FDialogProc;
  if (msg == WM_NCDESTROY) {
    RemovePropA(wnd, "TPBFolderDialog");
    SetWindowLongPtrA(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
  }
  return previous ? CallWindowProcA(previous, wnd, msg, wParam, lParam) : DefDlgProcA(wnd, msg, wParam, lParam);
}

void TPBFolderDialog::NewFolderClicked(HWND wnd) {
  const AnsiString name = InputBox(FNewFolderCaption, AnsiString(), AnsiString());
  if (name.IsEmpty()) return;
  FNewFolderPressed = true;
  AnsiString path = FSelectionPath;
  if (name[1] != '\\' && (path.IsEmpty() || path[path.Length()] != '\\')) path += "\\";
  FSelectionPath = path + name;
  ForceDirectories(FSelectionPath);
  // The dialog closes itself; Execute opens it again on the new folder.
  PostMessageA(wnd, WM_COMMAND, IDCANCEL, 0);
}

void UnitInit_Zefolderdialog() { RegisterClasses({&TPBFolderDialog::Class}); }

void UnitFini_Zefolderdialog() {}
