// The import of a damaged-file list: the user picks the text file, the
// core marks the files it names and adds the ones the list lacks as absent
// entries; the progress window counts both, the folder tree gains the new
// absent folders and the table shows the current folder again.
#include <new>
#include <unordered_map>

#include "Import.h"
#include "JobGuard.h"
#include "Mainunit.h"
#include "Ucrypt.h"
#include "Unicodesupport.h"
#include "sysutils.h"

namespace {

// The import as the progress window shows it. The counters are current at
// every step; the window is repainted and the message loop run about 30
// times a second (a Cancel arrives that way).
class TImportDisplay : public IImportProgress {
public:
  explicit TImportDisplay(TInfoFileForm* form) : FForm(form) {}
  void EntryMatched(const std::string& upperPath) override {
    ++FMatched;
    if (FPacer.Due()) Show(AnsiString(upperPath));
  }
  void EntryChecked(const ListNode* entry) override {
    if (FPacer.Due()) Show(FieldText(entry->Name));
  }
  void AbsentFileAdded(const AnsiString& upperLine) override {
    ++FAbsent;
    if (FPacer.Due()) Show(upperLine);
  }
  void AbsentFolderAdded(ListNode* parent, ListNode* folder) override {
    if (FNodes.empty()) {
      TUcTreeNodes* nodes = FForm->tvTreeOfFile->Items();
      for (TUcTreeNode* n = nodes->GetFirstNode(); n; n = n->GetNext())
        if (n->Data()) FNodes.emplace(static_cast<ListNode*>(n->Data()), n);
    }
    // A parent the tree does not show gets no node: nothing is hung below a
    // missing parent.
    auto it = FNodes.find(parent);
    if (it == FNodes.end()) return;
    TUcTreeNode* node = FForm->tvTreeOfFile->Items()->AddChild(it->second, AnsiToWide(FieldText(folder->Name)));
    node->SetImageIndex(1);
    node->SetSelectedIndex(1);
    node->SetData(folder);
    FNodes.emplace(folder, node);
  }
  bool CancelRequested() override {
    if (FPacer.Due()) Refresh();
    return FForm->cancelRequested != 0;
  }
  void Refresh() {
    if (ProgressForm) {
      ProgressForm->laDir->SetCaption(IntToStr(FMatched));
      ProgressForm->laFile->SetCaption(IntToStr(FAbsent));
      ProgressForm->Repaint();
    }
    Application->ProcessMessages();
  }

private:
  void Show(const AnsiString& text) {
    FForm->progressText = text;
    Refresh();
  }
  TInfoFileForm* FForm;
  TProgressPacer FPacer;
  int FMatched = 0;
  int FAbsent = 0;
  std::unordered_map<ListNode*, TUcTreeNode*> FNodes;
};

}  // namespace

void TInfoFileForm::spbtListClick(TObject* sender) {
  if (!listLoaded) {
    ShowMessageNumber(*this, msgNoData);
    return;
  }
  if (!odFileWithError->Execute()) return;
  importListName = odFileWithError->FileName();
  if (importListName.IsEmpty()) return;
  // A list that cannot be read is told, and nothing changes: an import with
  // nothing to find would look like one that found nothing.
  std::vector<AnsiString> lines;
  {
    AnsiString text;
    bool read = Unicodesupport::ReadTextFile(importListName, text);
    if (read) {
      try {
        lines = DamagedListLines(text);
      } catch (const std::bad_alloc&) {
        read = false;
      }
    }
    if (!read) {
      ShowMessageNumber(*this, msgFileUnreadable, " - " + importListName);
      return;
    }
  }
  damagedNames->Clear();
  for (const AnsiString& line : lines) damagedNames->Add(line);
  if (!rootNode) {
    isRootPathNew = 0;
    return;
  }
  bool fullPaths = false;
  for (const AnsiString& line : lines) fullPaths = fullPaths || line.Pos(":") != 0;
  if (fullPaths && !isRootPathNew)
    rootPath = UnscrambleString(scrambledRootPath, kScrambleStartKey, kScrambleMultiplier, kScrambleAddend);

  // The absent folders go into the full folder tree: a filtered view is
  // lifted for the import and built again afterwards.
  const uint8_t mode = ::ViewFilter->GetMode();
  if (filteredTreeShown) RestoreFullTree();

  actionSource = sender;
  TImportResult result;
  // The progress window outlives the job with its totals, until the user
  // closes it.
  TProgressForm* totals = nullptr;
  {
    TJobGuard job(this);
    ShowWaitWindow();
    lvInfo->Items()->BeginUpdate();
    try {
      Application->CreateForm(&ProgressForm);
      progressMode = 1;
      progressText = "";
      UcControl_SetText(ProgressForm->CountDirsLabel, L"Поврежденных:");
      UcControl_SetText(ProgressForm->CountFilesLabel, L"Отсутствующих:");
      UcControl_SetText(ProgressForm, L"Прогресс импорта списка поврежденных файлов");
      ProgressForm->btnOK->SetVisible(true);
      ProgressForm->btnOK->SetEnabled(false);
      ProgressForm->SetFormStyle(fsStayOnTop);
      ProgressForm->Show();
      ProgressForm->Repaint();
      Application->ProcessMessages();
      cancelRequested = 0;

      TImportDisplay display(this);
      result = MatchDamagedList(rootNode, lines, rootPath, display);
      if (!result.Remaining.empty() && !cancelRequested)
        AddAbsentEntries(rootNode, result.Remaining, rootPath, display, result);
      display.Refresh();
      if (result.Changed) isModified = 1;
      if (!cancelRequested && ProgressForm && !ProgressForm->closing) {
        ProgressForm->btnOK->SetEnabled(true);
        ProgressForm->ClearPathArea();
        // Below the message box that may follow, and out of the job's frame,
        // which would close it.
        totals = ProgressForm;
        totals->SetFormStyle(fsNormal);
        ProgressForm = nullptr;
      }
      cancelRequested = 0;
    } catch (...) {
      lvInfo->Items()->EndUpdate();
      throw;
    }
    lvInfo->Items()->EndUpdate();
  }
  if (totals) ProgressForm = totals;

  if (mode == vmDamaged || mode == vmMarked) {
    RebuildFilteredView();
  } else if (TUcTreeNode* selected = currentTreeNode ? currentTreeNode : tvTreeOfFile->Selected()) {
    ShowFolder(selected);
    SelectFirstRow();
  }
  // The totals are the window of the moment, with OK ready for Enter or Esc.
  // Message 25 is read in front of them: the box owned by the totals, which
  // the program no longer closes, so the box, the totals and the main window
  // lie in that order and the counts stay in sight until the user closes
  // them. Closing them gives the main window its focus back.
  const bool totalsOpen = totals && ProgressForm == totals && !totals->closing;
  if (totalsOpen) {
    totals->btnOK->SetCancel(true);
    totals->btnOK->SetFocus();
  }
  if (result.AbsentFiles > 0) {
    TWinControl* focused = ActiveControl();
    if (!totalsOpen && Handle() != GetActiveWindow()) SetActiveWindow(Handle());
    ShowMessageNumber(*this, msgAbsentAdded);
    if (!totalsOpen) {
      SetActiveWindow(Handle());
      if (focused && focused->CanFocus()) focused->SetFocus();
    }
  }
}
