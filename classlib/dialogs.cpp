#include "dialogs.h"

#include <cstring>
#include <vector>

#include "filer.h"
#include "forms.h"
#include "printers.h"

CL_DEFINE_CLASS(TCommonDialog, TComponent)
CL_DEFINE_COMPONENT(TOpenDialog, TCommonDialog)
CL_DEFINE_COMPONENT(TSaveDialog, TOpenDialog)
CL_DEFINE_COMPONENT(TPrintDialog, TCommonDialog)

// ---------------------------------------------------------------------------

TCommonDialog::TCommonDialog(TComponent* owner) : TComponent(owner) {}

TCommonDialog::~TCommonDialog() = default;

void TCommonDialog::DoShow() {
  if (OnShow) OnShow(this);
}

void TCommonDialog::DoClose() {
  if (OnClose) OnClose(this);
}

HWND TCommonDialog::OwnerWindow() {
  if (Screen && Screen->ActiveForm() && Screen->ActiveForm()->HandleAllocated())
    return Screen->ActiveForm()->Handle();
  HWND active = GetActiveWindow();
  if (active) return active;
  return Application ? Application->Handle() : nullptr;
}

bool TCommonDialog::TaskModalDialog(BOOL(WINAPI* dialogFunc)(void*), void* dialogData) {
  HWND active = GetActiveWindow();
  HWND focus = GetFocus();
  std::vector<HWND> disabled = DisableTaskWindows(nullptr);
  BOOL result = FALSE;
  try {
    result = dialogFunc(dialogData);
  } catch (...) {
    EnableTaskWindows(disabled);
    throw;
  }
  EnableTaskWindows(disabled);
  if (active && IsWindow(active)) SetActiveWindow(active);
  if (focus && IsWindow(focus)) SetFocus(focus);
  FHandle = nullptr;
  return result != FALSE;
}


namespace {
// A movable global copy of bytes, as the print dialog takes its records.
HGLOBAL GlobalCopy(const void* data, size_t size) {
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, size);
  if (!h) return nullptr;
  if (void* p = GlobalLock(h)) {
    std::memcpy(p, data, size);
    GlobalUnlock(h);
  }
  return h;
}

// The DEVNAMES record of a spooler printer: driver, device and (empty) port.
HGLOBAL DevNamesOf(const AnsiString& device) {
  const std::string driver = "winspool";
  std::vector<char> bytes(sizeof(DEVNAMES));
  auto add = [&](const std::string& text) {
    const size_t offset = bytes.size();
    bytes.insert(bytes.end(), text.begin(), text.end());
    bytes.push_back('\0');
    return static_cast<WORD>(offset);
  };
  DEVNAMES names{};
  names.wDriverOffset = add(driver);
  names.wDeviceOffset = add(device.str());
  names.wOutputOffset = add(std::string());
  std::memcpy(bytes.data(), &names, sizeof names);
  return GlobalCopy(bytes.data(), bytes.size());
}
}  // namespace

bool TCommonDialog::ExecutePrinterDialog(PRINTDLGA& pd) {
  TPrinter* printer = Printer();
  pd.hDevNames = nullptr;
  pd.hDevMode = nullptr;
  // A printer chosen before is where the dialog opens (else the system's default).
  if (printer->PrinterIndex() >= 0) {
    TStrings* list = printer->Printers();
    if (printer->PrinterIndex() < list->Count()) {
      pd.hDevNames = DevNamesOf(list->Strings(printer->PrinterIndex()));
      if (const DEVMODEA* mode = printer->DeviceMode())
        pd.hDevMode = GlobalCopy(mode, mode->dmSize + mode->dmDriverExtra);
    }
  }
  const bool ok = TaskModalDialog(reinterpret_cast<BOOL(WINAPI*)(void*)>(&PrintDlgA), &pd);
  AnsiString device;
  std::vector<BYTE> mode;
  if (pd.hDevNames) {
    if (auto* names = static_cast<DEVNAMES*>(GlobalLock(pd.hDevNames))) {
      device = reinterpret_cast<const char*>(names) + names->wDeviceOffset;
      GlobalUnlock(pd.hDevNames);
    }
    GlobalFree(pd.hDevNames);
    pd.hDevNames = nullptr;
  }
  if (pd.hDevMode) {
    if (auto* m = static_cast<DEVMODEA*>(GlobalLock(pd.hDevMode))) {
      const auto* bytes = reinterpret_cast<const BYTE*>(m);
      mode.assign(bytes, bytes + m->dmSize + m->dmDriverExtra);
      GlobalUnlock(pd.hDevMode);
    }
    GlobalFree(pd.hDevMode);
    pd.hDevMode = nullptr;
  }
  if (!ok) return false;
  // The dialog always names the printer it confirmed; without one nothing
  // was chosen and nothing is applied.
  if (device.IsEmpty()) return false;
  printer->SetPrinter(device, mode.empty() ? nullptr : reinterpret_cast<const DEVMODEA*>(mode.data()));
  return true;
}

// ---------------------------------------------------------------------------

namespace {
const DWORD OpenOptionFlags[] = {
    OFN_READONLY, OFN_OVERWRITEPROMPT, OFN_HIDEREADONLY, OFN_NOCHANGEDIR, OFN_SHOWHELP, OFN_NOVALIDATE,
    OFN_ALLOWMULTISELECT, 0 /* an answer only */, OFN_PATHMUSTEXIST, OFN_FILEMUSTEXIST, OFN_CREATEPROMPT,
    OFN_SHAREAWARE, OFN_NOREADONLYRETURN, OFN_NOTESTFILECREATE, OFN_NONETWORKBUTTON, OFN_NOLONGNAMES,
    0 /* old style: no OFN_EXPLORER */, OFN_NODEREFERENCELINKS, OFN_ENABLEINCLUDENOTIFY, OFN_ENABLESIZING,
    OFN_DONTADDTORECENT, OFN_FORCESHOWHIDDEN};

// A multi-selection fills the buffer with the folder and the names, each
// ending with a NUL; the buffer is sized for many names.
constexpr DWORD MultiSelectBufferSize = 0x10000;
constexpr DWORD SingleBufferSize = 4 * MAX_PATH;
}  // namespace

TOpenDialog::TOpenDialog(TComponent* owner)
    : TCommonDialog(owner),
      FOptions(OpenOption(ofHideReadOnly) | OpenOption(ofEnableSizing)),
      FFiles(new TStringList) {}

TOpenDialog::~TOpenDialog() { delete FFiles; }

DWORD TOpenDialog::FlagsOf(TOpenOptions options) {
  DWORD flags = 0;
  for (int i = 0; i <= ofForceShowHidden; ++i)
    if (options & (1u << i)) flags |= OpenOptionFlags[i];
  if (!(options & OpenOption(ofOldStyleDialog))) flags |= OFN_EXPLORER;
  return flags;
}

DWORD TOpenDialog::FlagsExOf(TOpenOptionsEx options) {
  return (options & OpenOptionEx(ofExNoPlacesBar)) ? OFN_EX_NOPLACESBAR : 0;
}

bool TOpenDialog::DoCanClose() {
  bool canClose = true;
  if (OnCanClose) OnCanClose(this, canClose);
  return canClose;
}

void TOpenDialog::DoFolderChange() {
  if (OnFolderChange) OnFolderChange(this);
}

void TOpenDialog::DoSelectionChange() {
  if (OnSelectionChange) OnSelectionChange(this);
}

void TOpenDialog::DoTypeChange() {
  if (OnTypeChange) OnTypeChange(this);
}

UINT_PTR CALLBACK TOpenDialog::HookProc(HWND wnd, UINT msg, WPARAM, LPARAM lParam) {
  // An Explorer-style hook gets a child of the dialog; the dialog is its parent.
  static TOpenDialog* current = nullptr;
  return GuardedCall(
      current,
      [&]() -> UINT_PTR {
        if (msg == WM_INITDIALOG) {
          current = reinterpret_cast<TOpenDialog*>(reinterpret_cast<OPENFILENAMEA*>(lParam)->lCustData);
          if (current) {
            // The old-style hook runs in the dialog itself, whose parent is its owner.
            const bool oldStyle = current->FOptions & OpenOption(ofOldStyleDialog);
            current->SetDialogHandle(oldStyle || !GetParent(wnd) ? wnd : GetParent(wnd));
            current->DoShow();
          }
        } else if (msg == WM_NOTIFY && current) {
          auto* notify = reinterpret_cast<OFNOTIFYA*>(lParam);
          switch (notify->hdr.code) {
            case CDN_FILEOK: {
              // The names the user chose, for the handler to look at.
              char path[MAX_PATH] = {};
              SendMessageA(GetParent(wnd), CDM_GETFILEPATH, MAX_PATH, reinterpret_cast<LPARAM>(path));
              current->FFiles->Clear();
              current->FFiles->Add(path);
              const bool canClose = current->DoCanClose();
              current->FFiles->Clear();
              if (!canClose) {
                SetWindowLongPtrA(wnd, DWLP_MSGRESULT, 1);
                return 1;
              }
              break;
            }
            case CDN_FOLDERCHANGE: current->DoFolderChange(); break;
            case CDN_SELCHANGE: current->DoSelectionChange(); break;
            case CDN_TYPECHANGE:
              current->FFilterIndex = static_cast<int>(notify->lpOFN->nFilterIndex);
              current->DoTypeChange();
              break;
          }
        } else if (msg == WM_DESTROY && current) {
          TOpenDialog* d = current;
          current = nullptr;
          d->DoClose();
        }
        return 0;
      },
      UINT_PTR(0));
}

bool TOpenDialog::DoExecute(BOOL(WINAPI* func)(LPOPENFILENAMEA)) {
  const bool multi = (FOptions & OpenOption(ofAllowMultiSelect)) != 0;
  std::vector<char> buffer(multi ? MultiSelectBufferSize : SingleBufferSize, '\0');
  lstrcpynA(buffer.data(), FFileName.c_str(), static_cast<int>(buffer.size()));
  // "a|b|c|d" becomes "a\0b\0c\0d\0\0".
  std::string filter = FFilter.str();
  for (char& c : filter)
    if (c == '|') c = '\0';
  filter.append(2, '\0');

  OPENFILENAMEA ofn;
  ZeroMemory(&ofn, sizeof ofn);
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = OwnerWindow();
  ofn.hInstance = HInstance;
  ofn.lpstrFilter = FFilter.IsEmpty() ? nullptr : filter.c_str();
  ofn.nFilterIndex = static_cast<DWORD>(FFilterIndex);
  ofn.lpstrFile = buffer.data();
  ofn.nMaxFile = static_cast<DWORD>(buffer.size());
  ofn.lpstrInitialDir = FInitialDir.IsEmpty() ? nullptr : FInitialDir.c_str();
  ofn.lpstrTitle = FTitle.IsEmpty() ? nullptr : FTitle.c_str();
  ofn.lpstrDefExt = FDefaultExt.IsEmpty() ? nullptr : FDefaultExt.c_str();
  ofn.Flags = FlagsOf(FOptions) | OFN_ENABLEHOOK;
  ofn.FlagsEx = FlagsExOf(FOptionsEx);
  ofn.lpfnHook = &TOpenDialog::HookProc;
  ofn.lCustData = reinterpret_cast<LPARAM>(this);
  if (Template()) {
    ofn.Flags |= OFN_ENABLETEMPLATE;
    ofn.lpTemplateName = Template();
  }

  bool ok = TaskModalDialog(reinterpret_cast<BOOL(WINAPI*)(void*)>(func), &ofn);
  if (!ok) return false;

  FFilterIndex = static_cast<int>(ofn.nFilterIndex);
  if (ofn.Flags & OFN_READONLY)
    FOptions |= OpenOption(ofReadOnly);
  else
    FOptions &= ~OpenOption(ofReadOnly);

  FFiles->Clear();
  const char* p = buffer.data();
  if (multi && ofn.nFileOffset > 0 && buffer[ofn.nFileOffset - 1] == '\0') {
    // Several names: the folder first, then each name.
    AnsiString dir = IncludeTrailingBackslash(AnsiString(p));
    for (p += std::strlen(p) + 1; *p; p += std::strlen(p) + 1) FFiles->Add(dir + p);
  } else {
    FFiles->Add(p);
  }
  FFileName = FFiles->Count() > 0 ? FFiles->Strings(0) : AnsiString();
  return true;
}

bool TOpenDialog::Execute() { return DoExecute(&GetOpenFileNameA); }

bool TSaveDialog::Execute() { return DoExecute(&GetSaveFileNameA); }

// ---------------------------------------------------------------------------

bool TPrintDialog::Execute() {
  PRINTDLGA pd;
  ZeroMemory(&pd, sizeof pd);
  pd.lStructSize = sizeof pd;
  pd.hwndOwner = OwnerWindow();
  pd.Flags = PD_USEDEVMODECOPIESANDCOLLATE;
  if (FOptions & (1u << poPrintToFile)) pd.Flags |= PD_PRINTTOFILE;
  if (!(FOptions & (1u << poPageNums))) pd.Flags |= PD_NOPAGENUMS;
  if (!(FOptions & (1u << poSelection))) pd.Flags |= PD_NOSELECTION;
  if (!(FOptions & (1u << poWarning))) pd.Flags |= PD_NOWARNING;
  if (FOptions & (1u << poHelp)) pd.Flags |= PD_SHOWHELP;
  if (FOptions & (1u << poDisablePrintToFile)) pd.Flags |= PD_DISABLEPRINTTOFILE;
  if (FCollate) pd.Flags |= PD_COLLATE;
  if (FPrintToFile) pd.Flags |= PD_PRINTTOFILE;
  if (FPrintRange == prSelection) pd.Flags |= PD_SELECTION;
  if (FPrintRange == prPageNums) pd.Flags |= PD_PAGENUMS;
  pd.nCopies = static_cast<WORD>(FCopies > 0 ? FCopies : 1);
  pd.nFromPage = static_cast<WORD>(FFromPage);
  pd.nToPage = static_cast<WORD>(FToPage);
  pd.nMinPage = static_cast<WORD>(FMinPage);
  pd.nMaxPage = static_cast<WORD>(FMaxPage);

  if (!ExecutePrinterDialog(pd)) return false;

  FCopies = pd.nCopies;
  FCollate = (pd.Flags & PD_COLLATE) != 0;
  FPrintToFile = (pd.Flags & PD_PRINTTOFILE) != 0;
  FPrintRange = (pd.Flags & PD_SELECTION) ? prSelection : (pd.Flags & PD_PAGENUMS) ? prPageNums : prAllPages;
  FFromPage = pd.nFromPage;
  FToPage = pd.nToPage;
  return true;
}

// ---------------------------------------------------------------------------

namespace {
const char* const OpenOptionNames[] = {
    "ofReadOnly", "ofOverwritePrompt", "ofHideReadOnly", "ofNoChangeDir", "ofShowHelp", "ofNoValidate",
    "ofAllowMultiSelect", "ofExtensionDifferent", "ofPathMustExist", "ofFileMustExist", "ofCreatePrompt",
    "ofShareAware", "ofNoReadOnlyReturn", "ofNoTestFileCreate", "ofNoNetworkButton", "ofNoLongNames",
    "ofOldStyleDialog", "ofNoDereferenceLinks", "ofEnableIncludeNotify", "ofEnableSizing", "ofDontAddToRecent",
    "ofForceShowHidden"};
const char* const OpenOptionExNames[] = {"ofExNoPlacesBar"};
const char* const PrintOptionNames[] = {"poPrintToFile", "poPageNums", "poSelection", "poWarning", "poHelp",
                                        "poDisablePrintToFile"};
const char* const PrintRangeNames[] = {"prAllPages", "prSelection", "prPageNums"};
}  // namespace

void UnitInit_dialogs() {
  RegisterClasses({&TOpenDialog::Class, &TSaveDialog::Class, &TPrintDialog::Class});
  const TMetaClass* c = &TCommonDialog::Class;
  RegisterProperty(c, "Ctl3D", pkBool, &TCommonDialog::SetCtl3D, &TCommonDialog::Ctl3D);
  RegisterProperty(c, "HelpContext", pkInteger, &TCommonDialog::SetHelpContext, &TCommonDialog::HelpContext);
  c = &TOpenDialog::Class;
  RegisterProperty(c, "DefaultExt", pkString, &TOpenDialog::SetDefaultExt, &TOpenDialog::DefaultExt);
  RegisterProperty(c, "FileName", pkString, &TOpenDialog::SetFileName, &TOpenDialog::FileName);
  RegisterProperty(c, "Filter", pkString, &TOpenDialog::SetFilter, &TOpenDialog::Filter);
  RegisterProperty(c, "FilterIndex", pkInteger, &TOpenDialog::SetFilterIndex, &TOpenDialog::FilterIndex);
  RegisterProperty(c, "InitialDir", pkString, &TOpenDialog::SetInitialDir, &TOpenDialog::InitialDir);
  RegisterProperty(c, "Options", TPropType::Set(OpenOptionNames), &TOpenDialog::SetOptions, &TOpenDialog::Options);
  RegisterProperty(c, "OptionsEx", TPropType::Set(OpenOptionExNames), &TOpenDialog::SetOptionsEx,
                   &TOpenDialog::OptionsEx);
  RegisterProperty(c, "Title", pkString, &TOpenDialog::SetTitle, &TOpenDialog::Title);
  c = &TPrintDialog::Class;
  RegisterProperty(c, "Collate", pkBool, &TPrintDialog::SetCollate, &TPrintDialog::Collate);
  RegisterProperty(c, "Copies", pkInteger, &TPrintDialog::SetCopies, &TPrintDialog::Copies);
  RegisterProperty(c, "FromPage", pkInteger, &TPrintDialog::SetFromPage, &TPrintDialog::FromPage);
  RegisterProperty(c, "MaxPage", pkInteger, &TPrintDialog::SetMaxPage, &TPrintDialog::MaxPage);
  RegisterProperty(c, "MinPage", pkInteger, &TPrintDialog::SetMinPage, &TPrintDialog::MinPage);
  RegisterProperty(c, "Options", TPropType::Set(PrintOptionNames), &TPrintDialog::SetOptions, &TPrintDialog::Options);
  RegisterProperty(c, "PrintRange", TPropType::Enum(PrintRangeNames), &TPrintDialog::SetPrintRange,
                   &TPrintDialog::PrintRange);
  RegisterProperty(c, "PrintToFile", pkBool, &TPrintDialog::SetPrintToFile, &TPrintDialog::PrintToFile);
  RegisterProperty(c, "ToPage", pkInteger, &TPrintDialog::SetToPage, &TPrintDialog::ToPage);
}

void UnitFini_dialogs() {}
