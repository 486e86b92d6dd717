// The list commands of the main window: New (scan a folder), Open, Save,
// Save As and the view-all command. Each one asks the user what the core's
// road needs, runs it and shows the result in the folder tree and the table.
#include "Mainunit.h"

#include "FolderScan.h"
#include "JobGuard.h"
#include "ListFile.h"
#include "Opensaveunit.h"
#include "Progressunit.h"
#include "Unitparams.h"
#include "UcWindows.h"
#include "ZipEngine.h"
#include "sysutils.h"

namespace {

// The folder tree nodes of a scan or an open: the root with the root image,
// folders with the closed-folder image.
class TFolderTreeNodes : public IFolderTreeSink {
public:
  explicit TFolderTreeNodes(TUcTreeView* tree) : FNodes(tree->Items()) {}
  void* AddRootFolderNode() override {
    TUcTreeNode* node = FNodes->Add(nullptr, WideString());
    node->SetImageIndex(0);
    node->SetSelectedIndex(0);
    return node;
  }
  void* AddFolderNode(void* parent, const AnsiString& name) override {
    TUcTreeNode* node = FNodes->AddChild(static_cast<TTreeNode*>(parent), AnsiToWide(name));
    node->SetImageIndex(1);
    node->SetSelectedIndex(1);
    return node;
  }
  void FolderEntry(void* treeNode, const ListNode* folder) override {
    static_cast<TUcTreeNode*>(treeNode)->SetData(const_cast<ListNode*>(folder));
  }

private:
  TUcTreeNodes* FNodes;
};

// What a scan shows while it runs: the folder tree grows, the counters and
// the path go to the progress window. The counters are kept current; the
// window is repainted and the message loop run about 30 times a second.
class TScanDisplay : public IScanSink {
public:
  explicit TScanDisplay(TInfoFileForm* form) : FForm(form), FTree(form->tvTreeOfFile) {}
  void* AddRootFolderNode() override { return FTree.AddRootFolderNode(); }
  void* AddFolderNode(void* parent, const AnsiString& name) override { return FTree.AddFolderNode(parent, name); }
  void FolderRecorded(const AnsiString& scanPath) override {
    ++FFolders;
    if (FPacer.Due()) Show(scanPath);
  }
  void FileRecorded(const AnsiString& scanPath) override {
    ++FFiles;
    if (FPacer.Due()) Show(scanPath);
  }
  bool CancelRequested() override { return FForm->cancelRequested != 0; }

  void Show(const AnsiString& scanPath) {
    FForm->scanPath = scanPath;
    if (ProgressForm) {
      ProgressForm->laDir->SetCaption(IntToStr(FFolders));
      ProgressForm->laFile->SetCaption(IntToStr(FFiles));
      ProgressForm->Repaint();
    }
    Application->ProcessMessages();
  }

private:
  TInfoFileForm* FForm;
  TFolderTreeNodes FTree;
  TProgressPacer FPacer;
  int FFolders = 0;
  int FFiles = 0;
};

// The name part of a path: after the last "\" or ":".
AnsiString NamePart(const AnsiString& path) {
  for (int i = path.Length(); i >= 1; --i)
    if (path[i] == '\\' || path[i] == ':') return path.SubString(i + 1, path.Length() - i);
  return path;
}

// The window's selection and focus after a list was made or read.
void ShowRootFolder(TInfoFileForm* form, TUcTreeNode* root) {
  if (!root) return;
  root->Expand(false);
  form->ShowFolder(root);
  if (form->tvTreeOfFile->CanFocus()) form->tvTreeOfFile->SetFocus();
}

}  // namespace

// --- New ------------------------------------------------------------------------------------

bool ChooseFolder(HWND owner, const WideString& title, WideString& path) {
  IMalloc* shellMalloc = nullptr;
  if (FAILED(SHGetMalloc(&shellMalloc)) || !shellMalloc) return false;
  BROWSEINFOW bi{};
  bi.hwndOwner = owner;
  bi.lpszTitle = title.c_bstr();
  bool ok = false;
  wchar_t buffer[MAX_PATH + 1] = {};
  if (LPITEMIDLIST pidl = Uc_SHBrowseForFolderW(&bi)) {
    ok = Uc_SHGetPathFromIDListW(pidl, buffer);
    shellMalloc->Free(pidl);
  }
  shellMalloc->Release();
  if (ok) path = WideString(buffer);
  return ok;
}

TStoreOptions TInfoFileForm::StoreOptions() const {
  TStoreOptions options;
  options.Attributes = storeAttributes;
  options.Created = storeCreated;
  options.Modified = storeModified;
  options.Size = storeSize;
  options.FolderSizes = storeFolderSizes;
  return options;
}

void TInfoFileForm::spbtNewClick(TObject*) {
  if (rootNode && isModified && !ConfirmDiscardList(*this, [this] { return SaveCommand(nullptr); })) return;
  TJobGuard job(this);
  WideString folder;
  if (!ChooseScanFolder(Handle(), localization->GetMessageText(30), folder)) return;
  if (ParamsForm->ShowModal() != mrOk) {
    ShowMessageNumber(*this, msgScanCancelled);
    return;
  }
  rootPath = WideToAnsi(folder);
  isModified = 1;
  isRootPathNew = 1;
  listFileName = "";
  // Nothing may point into the trees that are about to go.
  TTreeRebuild rebuild(this);
  ResetViewState();
  lvInfo->Items()->Clear();
  tvTreeOfFile->Items()->Clear();
  damagedNames->Clear();
  FreeNodeTree(rootNode);
  rootNode = nullptr;
  listLoaded = 0;

  Application->CreateForm(&ProgressForm);
  progressMode = 0;
  ProgressForm->Show();
  ProgressForm->Repaint();
  Application->ProcessMessages();
  ::ViewFilter->SetMode(vmAll);
  UpdateViewMenuChecks(vmAll);

  const TStoreOptions options = StoreOptions();
  TScanDisplay display(this);
  TScanResult scan;
  TUcTreeNodes* nodes = tvTreeOfFile->Items();
  nodes->BeginUpdate();
  try {
    scan = ScanTree(display, options, folder);
  } catch (...) {
    nodes->Clear();
    nodes->EndUpdate();
    throw;
  }
  nodes->EndUpdate();
  rootNode = scan.Root;
  if (!cancelRequested && ProgressForm && !ProgressForm->closing) ProgressForm->Close();
  cancelRequested = 0;
  job.Finish();

  TUcTreeNode* root = static_cast<TUcTreeNode*>(scan.RootTreeNode);
  if (rootPath.Pos("\\") != 0) root->SetText(AnsiToWide(NamePart(rootPath)));
  AttachFolderEntries();
  ShowRootFolder(this, root);
  SelectFirstRow();
  listLoaded = 1;
  UpdateForwardHint(this);
  // A cut-short scan stays as the list, but not as if it were complete.
  if (scan.Cancelled) ShowMessageNumber(*this, msgScanCancelled);
}

void TInfoFileForm::spbtParamsClick(TObject*) { ParamsForm->ShowModal(); }

// --- Open -----------------------------------------------------------------------------------

void TInfoFileForm::spbtOpenClick(TObject* sender) {
  AnsiString fileName;
  if (openAtShow) {
    openAtShow = 0;
    fileName = ParamStr(1).Trim();
  } else {
    mmViewAllClick(sender);
    if (rootNode && isModified && !ConfirmDiscardList(*this, [this] { return SaveCommand(nullptr); })) return;
    if (openDroppedFile) {
      openDroppedFile = 0;
      fileName = odOpen->FileName();
    } else {
      if (!odOpen->Execute()) return;
      fileName = odOpen->FileName();
    }
  }

  actionSource = sender;
  TJobGuard job(this);
  ShowWaitWindow();

  // Unpacking only reads the list file; every failure here keeps the list
  // that is loaded.
  TUnpackedList unpacked;
  TOpenStatus status = unpacked.Unpack(*ZipEngine, fileName);
  if (status != TOpenStatus::Opened) {
    job.Finish();
    ReportOpenFailure(*this, status, fileName, unpacked.Reason());
    return;
  }
  // Damaged data is found before the list in memory is given up; only a
  // sound list replaces it.
  status = unpacked.Check();
  if (status != TOpenStatus::Opened) {
    job.Finish();
    ReportOpenFailure(*this, status, fileName);
    return;
  }
  isModified = 0;
  isRootPathNew = 0;
  listFileName = fileName;

  // One tree in memory at a time: the old one goes before the new is read.
  TTreeRebuild rebuild(this);
  ResetViewState();
  lvInfo->Items()->Clear();
  tvTreeOfFile->Items()->Clear();
  FreeNodeTree(rootNode);
  rootNode = nullptr;
  listLoaded = 0;

  TListData data;
  status = unpacked.Load(data);
  if (status != TOpenStatus::Opened) {
    job.Finish();
    ReportOpenFailure(*this, status, fileName);
    return;
  }
  scrambledRootPath = data.ScrambledRootPath;
  rootPath = "";
  rootNode = data.Root;
  TFolderTreeNodes sink(tvTreeOfFile);
  TUcTreeNodes* nodes = tvTreeOfFile->Items();
  nodes->BeginUpdate();
  try {
    BuildFolderTree(rootNode, sink);
  } catch (...) {
    nodes->Clear();
    nodes->EndUpdate();
    FreeNodeTree(rootNode);
    rootNode = nullptr;
    throw;
  }
  nodes->EndUpdate();
  job.Finish();

  ::ViewFilter->SetMode(vmAll);
  UpdateViewMenuChecks(vmAll);
  TUcTreeNode* root = RootTreeNode();
  if (root) root->SetText(AnsiToWide(NamePart(listFileName)));
  Application->ProcessMessages();
  ShowRootFolder(this, root);
  ClearHistories();
  listLoaded = 1;
}

// --- Save and Save As -------------------------------------------------------------------------

namespace {

// A read-only file is not replaced, as on Windows (Wine lets the replace
// through and drops the attribute).
bool ReadOnlyFile(const AnsiString& name) {
  const DWORD attributes = GetFileAttributesA(name.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) &&
         !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Writes the list under name with the progress bar; true when it was saved.
bool WriteListFile(TInfoFileForm* form, TObject* sender, const AnsiString& name) {
  if (ReadOnlyFile(name)) {
    // What Windows itself answers when a read-only file is to be replaced.
    ReportSaveFailure(*form, TSaveStatus::CreateFailed, name, ERROR_ACCESS_DENIED);
    return false;
  }
  form->actionSource = sender;
  Application->ProcessMessages();
  TJobGuard job(form);
  Screen->SetCursor(crAppStart);
  form->progressTotal = 0;
  form->progressDone = 0;
  form->progressTotal = CountNodes(form->rootNode);
  form->progressMode = 5;
  form->ShowProgress(WideToAnsi(form->localization->GetMessageText(17)));
  TWindowSteps steps(form);
  // Only a save that succeeded changes the scrambled path and clears the
  // flags; failures are reported there, a cancel keeps the old file.
  const TSaveStatus status = SaveList(*form, *form->ZipEngine, name, form->rootNode, form->rootPath,
                                      form->scrambledRootPath, form->isRootPathNew, form->isModified, &steps);
  if (!form->cancelRequested) form->CloseProgress();
  form->cancelRequested = 0;
  return status == TSaveStatus::Saved;
}

}  // namespace

bool TInfoFileForm::SaveCommand(TObject* sender) {
  if (!rootNode) {
    ShowMessageNumber(*this, msgNoDataToSave);
    return false;
  }
  if (listFileName.IsEmpty()) return SaveAsCommand(nullptr);
  return WriteListFile(this, sender, listFileName);
}

bool TInfoFileForm::SaveAsCommand(TObject* sender) {
  if (!rootNode) {
    ShowMessageNumber(*this, msgNoDataToSave);
    return false;
  }
  TUcTreeNode* root = RootTreeNode();
  sdSave->SetFileName(root ? WideToAnsi(root->Text()) : AnsiString());
  if (!sdSave->Execute()) return false;
  const AnsiString name = ListFileNameWithExtension(sdSave->FileName());
  if (FileExists(name) && !ConfirmReplaceFile(*this)) return false;
  if (!WriteListFile(this, sender, name)) return false;
  listFileName = name;
  if ((root = RootTreeNode())) root->SetText(AnsiToWide(NamePart(listFileName)));
  return true;
}

void TInfoFileForm::spbtSaveClick(TObject* sender) { SaveCommand(sender); }

void TInfoFileForm::mmSaveAsClick(TObject* sender) { SaveAsCommand(sender); }

// --- views ------------------------------------------------------------------------------------

void TInfoFileForm::mmViewAllClick(TObject*) { ShowAllEntries(*::ViewFilter, *this, *this); }

void TInfoFileForm::FillFolderTree(const std::function<bool(const ListNode*)>& keep) {
  TFolderTreeNodes sink(tvTreeOfFile);
  BuildFolderTree(rootNode, sink, keep);
}
