#include "Mainunit.h"

#include <shellapi.h>

#include "FormAutoSize.h"
#include "ListFile.h"
#include "Aboutunit.h"
#include "Opensaveunit.h"
#include "Progressunit.h"
#include "ShellIcons.h"
#include "Unitparams.h"
#include "Useunit.h"
#include "ZipEngine.h"
#include "filer.h"
#include "sysutils.h"

TInfoFileForm* InfoFileForm = nullptr;
TParamsForm* ParamsForm = nullptr;
TProgressForm* ProgressForm = nullptr;
TOpenSaveForm* OpenSaveForm = nullptr;
class ViewFilter* ViewFilter = nullptr;
ListNode* ShownEntries = nullptr;
TFolderChooser ChooseScanFolder = &ChooseFolder;

const char* const PartnerAddress = "http://www.korfen.example/";

CL_DEFINE_COMPONENT(TInfoFileForm, TForm)

CL_BEGIN_MESSAGE_MAP(TInfoFileForm, TForm)
CL_MESSAGE(WM_DROPFILES, WMDropFiles)
CL_END_MESSAGE_MAP

TInfoFileForm::TInfoFileForm(TComponent* owner) : TForm(owner) {
  // Bound before the layout makes formAutoSize1, which chains the handler it
  // finds; the layout itself names no resize handler.
  OnResize = MakeEvent<&TInfoFileForm::FormResize>(this);
  ReadLayout(&TInfoFileForm::Class);
  // Keyboard moves in the folder tree change its selection without a click.
  tvTreeOfFile->SetOnChange(MakeEvent<&TInfoFileForm::tvTreeOfFileChange>(this));
  // The archive component of the list files, with the list files' settings.
  ZipEngine = new TZipEngine(this);
  ZipEngine->SetName("ZipEngine");
  ConfigureListEngine(*ZipEngine);
  damagedNames = new TStringList;
  searchResultPaths = new TStringList;
  printLines = new TStringList;
  searchResults = new TList;
  lastListWidth = lvInfo->Width();
  // One of each for the whole run; a later main window starts them afresh.
  if (!::ViewFilter) ::ViewFilter = new class ViewFilter;
  ::ViewFilter->SetMode(vmAll);
  if (!ShownEntries) ShownEntries = new ListNode;
  ShownEntries->Children->Clear();
}

TInfoFileForm::~TInfoFileForm() {
  if (InfoFileForm == this) InfoFileForm = nullptr;
}

void AdjustFormScale(TForm* form) {
  form->SetPixelsPerInch(Screen->PixelsPerInch());
  form->ScaleBy(100, 100);
}

void TInfoFileForm::FormCreate(TObject*) {
  Application->OnShowHint = MakeEvent<&TInfoFileForm::AppShowHint>(this);
  Application->OnException = MakeEvent<&TInfoFileForm::AppException>(this);
  formAutoSize1->SetActive(true);
  AdjustFormScale(this);
  localization = nullptr;
  try {
    localization = new Localization(0);
  } catch (...) {
    Application->MessageBox("Error localization app", "Error", MB_ICONHAND | MB_SETFOREGROUND | MB_TOPMOST);
    Application->Terminate();
    return;
  }
  const uint8_t language = localization->GetLanguage();
  if (language == 1) {
    spbtList->SetWidth(61);
    spbtDamaged->SetWidth(61);
    spbtComment->SetWidth(61);
    spbtDamaged->SetLeft(spbtList->Left() + spbtList->Width() + 1);
    spbtComment->SetLeft(spbtDamaged->Left() + spbtDamaged->Width() + 1);
  }
  LoadUiTexts(*localization, language);
  ApplyMainLocalisation(this);

  openAtShow = 0;
  isSearchView = 0;
  cancelRequested = 0;
  isModified = 0;
  hasParentRow = 0;
  isRootPathNew = 0;
  searchListShown = 1;
  storeAttributes = storeCreated = storeModified = storeSize = storeFolderSizes = 1;
  listFileName = "";
  progressMode = 0;
  ProgressForm = nullptr;
  listLoaded = 0;

  LoadShellIcons(imlIcons);
  DragAcceptFiles(Handle(), TRUE);
  openDroppedFile = 0;

  const AnsiString argument = ParamStr(1);
  if (!argument.IsEmpty()) {
    if (FileExists(argument.Trim())) {
      openAtShow = 1;
    } else {
      openAtShow = 0;
      ::ShowMessage(WideToAnsi(localization->GetMessageText(1)));
    }
  } else {
    openAtShow = 0;
  }

  try {
    scratchTree = new TTreeView(this);
    scratchTree->SetEnabled(false);
    scratchTree->SetVisible(false);
    scratchTree->SetParent(this);
  } catch (...) {
    scratchTree = nullptr;
    ::ShowMessage(WideToAnsi(localization->GetMessageText(32)));
  }
}

void TInfoFileForm::FormShow(TObject* sender) {
  formAutoSize1->SetActive(false);
  if (openAtShow) spbtOpenClick(sender);
}

void TInfoFileForm::FormClose(TObject*, TCloseAction&) {}

void TInfoFileForm::FormDestroy(TObject*) {
  destroying = true;
  backHistory.clear();
  ClearForwardHistory(this);
  delete damagedNames;
  damagedNames = nullptr;
  delete searchResultPaths;
  searchResultPaths = nullptr;
  delete searchResults;
  searchResults = nullptr;
  delete printLines;
  printLines = nullptr;
  // Nothing may point into the tree once it is gone.
  if (ShownEntries) ShownEntries->Children->Clear();
  shownList = nullptr;
  if (rootNode) {
    FreeNodeTree(rootNode);
    rootNode = nullptr;
  }
  delete scratchTree;
  scratchTree = nullptr;
  if (Application->OnShowHint == MakeEvent<&TInfoFileForm::AppShowHint>(this)) Application->OnShowHint.Clear();
  if (Application->OnException == MakeEvent<&TInfoFileForm::AppException>(this)) Application->OnException.Clear();
  delete localization;
  localization = nullptr;
}

void TInfoFileForm::spbtExitClick(TObject*) { Close(); }

void TInfoFileForm::AppShowHint(AnsiString&, bool&, THintInfo& hintInfo) { hintInfo.ReshowTimeout = 1000; }

// An exception that reaches the message loop stopped a command half-way: the
// user sees its message in the exception box, never a silent "done". The
// jobs put the window back in order themselves (TJobGuard) before it shows,
// in the program's language where the program has words for the failure.
void TInfoFileForm::AppException(TObject*, Exception* e) {
  if (!e) return;
  Exception shown(ExceptionMessage(*this, *e));
  Application->ShowException(&shown);
}

void TInfoFileForm::FormCanResize(TObject*, int& newWidth, int& newHeight, bool& resize) {
  if (!spbtComment || !Panel1) return;
  const int minWidth = spbtComment->Left() + spbtComment->Width() + Panel1->Width() + 30;
  if (newWidth < minWidth || newHeight < 201) resize = false;
}

void TInfoFileForm::FormResize(TObject*) {
  if (!lvInfo || lvInfo->Columns()->Count() < 6) return;
  // A minimized window lays its controls out in a client area of almost
  // nothing: that width is no size the user chose, and the restore brings
  // the table back to the width last seen here.
  if (IsIconic(Handle())) return;
  const int d = lvInfo->Width() - lastListWidth;
  lastListWidth = lvInfo->Width();
  TListColumn* comments = lvInfo->Columns()->Items(5);
  comments->SetWidth(comments->Width() + d);
}

// --- close query, dropped files, cursor, links ---------------------------------------

void TInfoFileForm::FormCloseQuery(TObject*, bool& canClose) {
  if (!rootNode || !isModified) return;
  char question[2048] = {};
  char caption[2048] = {};
  lstrcpynA(question, WideToAnsi(localization->GetMessageText(20)).c_str(), sizeof question);
  lstrcpynA(caption, WideToAnsi(localization->GetMessageText(10)).c_str(), sizeof caption);
  switch (Application->MessageBox(question, caption, MB_YESNOCANCEL)) {
    case IDYES:
      // A save that did not happen (Save As cancelled, a failure) keeps the
      // window and the list.
      canClose = SaveCommand(nullptr);
      break;
    case IDNO:
      break;
    default:
      canClose = false;
  }
}

void TInfoFileForm::WMDropFiles(TMessage& message) {
  HDROP drop = reinterpret_cast<HDROP>(message.WParam);
  // A drop while a job runs would start Open in the middle of it.
  if (!jobRunning && Enabled()) {
    const UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
      char name[MAX_PATH + 1] = {};
      DragQueryFileA(drop, i, name, MAX_PATH);
      if (ExtractFileExt(name) == ".vq") {
        openDroppedFile = 1;
        odOpen->SetFileName(name);
        spbtOpenClick(this);
        // Open may have stopped at the save question before it took the name.
        openDroppedFile = 0;
        break;
      }
    }
  }
  DragFinish(drop);
  message.Result = 0;
}

void TInfoFileForm::MIVOImageMouseMove(TObject*, TShiftState, int, int) { Screen->SetCursor(crHandPoint); }

void TInfoFileForm::PanelMouseMove(TObject*, TShiftState, int, int) { Screen->SetCursor(crDefault); }

bool OpenWebAddress(HWND owner, const AnsiString& address, int showCommand) {
  char buffer[2048];
  StrLCopyFixed(buffer, sizeof buffer, address);
  const auto result = reinterpret_cast<INT_PTR>(ShellExecuteA(owner, "open", buffer, nullptr, nullptr, showCommand));
  return result > 32;
}

void TInfoFileForm::spbtLinkMivoClick(TObject* sender) {
  const AnsiString address = sender == MIVOImage ? WideToAnsi(localization->GetAboutText(6)) : AnsiString(PartnerAddress);
  if (!OpenWebAddress(Handle(), address, SW_SHOWNORMAL)) ::ShowMessage(WideToAnsi(localization->GetMessageText(7)));
}

void TInfoFileForm::spbtAboutClick(TObject*) {
  if (AboutForm) AboutForm->ShowModal();
}

void TInfoFileForm::mmUseClick(TObject*) {
  // Every call opens one more window; each frees itself when closed.
  UseForm = nullptr;
  UseForm = NewForm<TUseForm>(Application);
  UseForm->Show();
  UseForm->BringToFront();
}

// --- hosts of the core -----------------------------------------------------------------

WideString TInfoFileForm::LocalText(int group, int index) {
  return localization ? localization->GetText(group, index) : WideString();
}

void TInfoFileForm::ShowMessage(const AnsiString& text) { ::ShowMessage(text); }

int TInfoFileForm::MessageBox(const AnsiString& text, const AnsiString& caption, UINT flags) {
  return Application->MessageBox(text, caption, flags);
}

void TInfoFileForm::UpdateViewMenuChecks(uint8_t mode) {
  mmViewAllAction->SetChecked(mode == vmAll);
  mmViewDamagedAction->SetChecked(mode == vmDamaged);
  mmNeededAction->SetChecked(mode == vmMarked);
}

bool TInfoFileForm::HasSelectedFolder() { return tvTreeOfFile->Selected() != nullptr; }

void TInfoFileForm::ClearHistories() {
  backHistory.clear();
  UcControl_SetHint(spbtBack, localization->GetHintText(1));
  ClearForwardHistory(this);
}

void TInfoFileForm::ResetViewState() {
  backHistory.clear();
  forwardHistory.clear();
  if (localization) {
    UcControl_SetHint(spbtBack, localization->GetHintText(1));
    UcControl_SetHint(spbtForward, localization->GetHintText(2));
  }
  currentTreeNode = nullptr;
  shownList = nullptr;
  if (ShownEntries) ShownEntries->Children->Clear();
  hasParentRow = 0;
  if (searchResults) searchResults->Clear();
  if (searchResultPaths) searchResultPaths->Clear();
  searchBasePath = "";
  searchDepth = 0;
  lastSearchRow = -1;
  searchListShown = 1;
  isSearchView = 0;
  if (scratchTree) scratchTree->Items()->Clear();
  filteredTreeShown = false;
  savedTreeEntry = nullptr;
}

// --- progress helpers --------------------------------------------------------------------

void TInfoFileForm::ShowProgress(const AnsiString& caption) {
  // Cleared before the window can be closed: a close during the first pump
  // below is a cancel, not something to forget.
  cancelRequested = 0;
  Application->CreateForm(&ProgressForm);
  ProgressForm->laDir->SetVisible(false);
  ProgressForm->laFile->SetVisible(false);
  ProgressForm->CountDirsLabel->SetVisible(false);
  ProgressForm->CountFilesLabel->SetVisible(false);
  ProgressForm->pBar->SetVisible(true);
  ProgressForm->SetCaption(caption);
  ProgressForm->Show();
  ProgressForm->Repaint();
  Application->ProcessMessages();
}

void TInfoFileForm::StepProgress() {
  if (cancelRequested) return;
  ++progressDone;
  const int percent = ProgressPercent(progressDone, progressTotal);
  if (ProgressForm && percent != ProgressForm->pBar->Position()) {
    ProgressForm->pBar->SetPosition(percent);
    ProgressForm->pBar->Repaint();
    Application->ProcessMessages();
  }
}

void TInfoFileForm::CloseProgress() {
  if (!ProgressForm || ProgressForm->closing) return;
  ProgressForm->ShowTotals();
  ProgressForm->Close();
}

// --- units ---------------------------------------------------------------------------------

void UnitInit_Mainunit() {
  RegisterClass(&TInfoFileForm::Class);
  using F = TInfoFileForm;
  RegisterFormFields<F>({
      {"Panel", &F::Panel},
      {"Bevel3", &F::Bevel3},
      {"Bevel2", &F::Bevel2},
      {"spbtOpen", &F::spbtOpen},
      {"spbtBack", &F::spbtBack},
      {"spbtForward", &F::spbtForward},
      {"spbtUp", &F::spbtUp},
      {"spbtSearch", &F::spbtSearch},
      {"spbtNew", &F::spbtNew},
      {"spbtSave", &F::spbtSave},
      {"spbtList", &F::spbtList},
      {"spbtDamaged", &F::spbtDamaged},
      {"spbtComment", &F::spbtComment},
      {"Panel1", &F::Panel1},
      {"MIVOImage", &F::MIVOImage},
      {"KorfenImage", &F::KorfenImage},
      {"tvTreeOfFile", &F::tvTreeOfFile},
      {"Splitter1", &F::Splitter1},
      {"lvInfo", &F::lvInfo},
      {"StatusBar1", &F::StatusBar1},
      {"imlIcons", &F::imlIcons},
      {"sdSave", &F::sdSave},
      {"odOpen", &F::odOpen},
      {"odFileWithError", &F::odFileWithError},
      {"AssociatedIcon", &F::AssociatedIcon},
      {"sdSaveText", &F::sdSaveText},
      {"sdSaveCSV", &F::sdSaveCSV},
      {"pdPrint", &F::pdPrint},
      {"sdSaveHTML", &F::sdSaveHTML},
      {"imlHTML", &F::imlHTML},
      {"AssociatedIconForHTML", &F::AssociatedIconForHTML},
      {"formAutoSize1", &F::formAutoSize1},
      {"PopupMenu", &F::PopupMenu},
      {"pupDamaged", &F::pupDamaged},
      {"N1", &F::N1},
      {"N2", &F::N2},
      {"N8", &F::N8},
      {"pupComment", &F::pupComment},
      {"mmMenu", &F::mmMenu},
      {"mmFile", &F::mmFile},
      {"mmNew", &F::mmNew},
      {"mmOpen", &F::mmOpen},
      {"mmSave", &F::mmSave},
      {"mmSaveAs", &F::mmSaveAs},
      {"mmSaveText", &F::mmSaveText},
      {"mmSaveCSV", &F::mmSaveCSV},
      {"mmSaveHTML", &F::mmSaveHTML},
      {"N9", &F::N9},
      {"mmSaveCheckedCVS", &F::mmSaveCheckedCVS},
      {"N7", &F::N7},
      {"mmPrint", &F::mmPrint},
      {"N3", &F::N3},
      {"mmExit", &F::mmExit},
      {"mmEdit", &F::mmEdit},
      {"mmList", &F::mmList},
      {"mmDamaged", &F::mmDamaged},
      {"N4", &F::N4},
      {"N5", &F::N5},
      {"N6", &F::N6},
      {"mmComment", &F::mmComment},
      {"mmView", &F::mmView},
      {"mmViewAll", &F::mmViewAll},
      {"mmViewDamaged", &F::mmViewDamaged},
      {"mmNeeded", &F::mmNeeded},
      {"mmSearch", &F::mmSearch},
      {"mmFind", &F::mmFind},
      {"mmHelp", &F::mmHelp},
      {"mmAbout", &F::mmAbout},
      {"mmUse", &F::mmUse},
      {"ActionList1", &F::ActionList1},
      {"helpAction", &F::helpAction},
      {"commentAction", &F::commentAction},
      {"neededAction", &F::neededAction},
      {"notneededAction", &F::notneededAction},
      {"clearAction", &F::clearAction},
      {"openAction", &F::openAction},
      {"newAction", &F::newAction},
      {"saveAction", &F::saveAction},
      {"saveAsAction", &F::saveAsAction},
      {"exportTXTAction", &F::exportTXTAction},
      {"exportCSVAction", &F::exportCSVAction},
      {"SaveHTMLAction", &F::SaveHTMLAction},
      {"SaveCheckedCVSAction", &F::SaveCheckedCVSAction},
      {"printAction", &F::printAction},
      {"exitAction", &F::exitAction},
      {"mmListAction", &F::mmListAction},
      {"mmDamagedAction", &F::mmDamagedAction},
      {"N4Action", &F::N4Action},
      {"N5Action", &F::N5Action},
      {"N6Action", &F::N6Action},
      {"mmViewAllAction", &F::mmViewAllAction},
      {"mmViewDamagedAction", &F::mmViewDamagedAction},
      {"mmNeededAction", &F::mmNeededAction},
      {"FindAction", &F::FindAction},
      {"mmAboutAction", &F::mmAboutAction},
      {"mmUseAction", &F::mmUseAction},
      {"damagedAction", &F::damagedAction},
  });
  RegisterFormMethods<F>({
      {"FormCreate", MethodEntry<&F::FormCreate>()},
      {"FormShow", MethodEntry<&F::FormShow>()},
      {"FormClose", MethodEntry<&F::FormClose>()},
      {"FormDestroy", MethodEntry<&F::FormDestroy>()},
      {"FormCloseQuery", MethodEntry<&F::FormCloseQuery>()},
      {"FormCanResize", MethodEntry<&F::FormCanResize>()},
      {"FormResize", MethodEntry<&F::FormResize>()},
      {"spbtExitClick", MethodEntry<&F::spbtExitClick>()},
      {"PanelMouseMove", MethodEntry<&F::PanelMouseMove>()},
      {"MIVOImageMouseMove", MethodEntry<&F::MIVOImageMouseMove>()},
      {"spbtLinkMivoClick", MethodEntry<&F::spbtLinkMivoClick>()},
      {"spbtAboutClick", MethodEntry<&F::spbtAboutClick>()},
      {"mmUseClick", MethodEntry<&F::mmUseClick>()},
      {"lvInfoCustomDrawItem", MethodEntry<&F::lvInfoCustomDrawItem>()},
      {"lvInfoCustomDrawSubItem", MethodEntry<&F::lvInfoCustomDrawSubItem>()},
      {"lvInfoMouseMove", MethodEntry<&F::lvInfoMouseMove>()},
      {"tvTreeOfFileMouseUp", MethodEntry<&F::tvTreeOfFileMouseUp>()},
      {"tvTreeOfFileClick", MethodEntry<&F::tvTreeOfFileClick>()},
      {"tvTreeOfFileCollapsed", MethodEntry<&F::tvTreeOfFileCollapsed>()},
      {"tvTreeOfFileExpanded", MethodEntry<&F::tvTreeOfFileExpanded>()},
      {"lvInfoDblClick", MethodEntry<&F::lvInfoDblClick>()},
      {"lvInfoKeyDown", MethodEntry<&F::lvInfoKeyDown>()},
      {"lvInfoChange", MethodEntry<&F::lvInfoChange>()},
      {"spbtUpClick", MethodEntry<&F::spbtUpClick>()},
      {"spbtBackClick", MethodEntry<&F::spbtBackClick>()},
      {"spbtForwardClick", MethodEntry<&F::spbtForwardClick>()},
      {"spbtNewClick", MethodEntry<&F::spbtNewClick>()},
      {"spbtOpenClick", MethodEntry<&F::spbtOpenClick>()},
      {"spbtSaveClick", MethodEntry<&F::spbtSaveClick>()},
      {"mmSaveAsClick", MethodEntry<&F::mmSaveAsClick>()},
      {"mmViewAllClick", MethodEntry<&F::mmViewAllClick>()},
      {"spbtSearchClick", MethodEntry<&F::spbtSearchClick>()},
      {"spbtListClick", MethodEntry<&F::spbtListClick>()},
      {"spbtDamagedClick", MethodEntry<&F::spbtDamagedClick>()},
      {"spbtCommentClick", MethodEntry<&F::spbtCommentClick>()},
      {"N1Click", MethodEntry<&F::N1Click>()},
      {"N2Click", MethodEntry<&F::N2Click>()},
      {"N6Click", MethodEntry<&F::N6Click>()},
      {"lvInfoContextPopup", MethodEntry<&F::lvInfoContextPopup>()},
      {"lvInfoMouseDown", MethodEntry<&F::lvInfoMouseDown>()},
      {"mmViewDamagedClick", MethodEntry<&F::mmViewDamagedClick>()},
      {"mmNeededClick", MethodEntry<&F::mmNeededClick>()},
  });
}

void UnitFini_Mainunit() {
  delete ::ViewFilter;
  ::ViewFilter = nullptr;
  if (ShownEntries) {
    // Only borrowed entries are listed: the holder frees its list, not them.
    ShownEntries->Children->Clear();
    delete ShownEntries;
    ShownEntries = nullptr;
  }
}
