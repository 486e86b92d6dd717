// The import of a damaged-file list: the user picks the text file, the
// core marks the files it names and adds the ones the list lacks as absent
// entries; the progress window counts both, the folder tree gains the new
// absent folders and the table shows the current folder again.
#include <unordered_map>

#include "Import.h"
#include "JobGuard.h"
#include "Mainunit.h"
#include "Ucrypt.h"
#include "Unicodesupport.h"
#include "sysutils.h"

namespace {

// The whole text of a list file in the ANSI code page; empty when it cannot
// be read.
AnsiString ReadDamagedList(const AnsiString& fileName) {
  using namespace Unicodesupport;
  const TextEncoding encoding = DetectTextEncoding(fileName);
  if (encoding == teUnreadable) return AnsiString();
  const int32_t size = TextFileSize(fileName);
  if (size <= 0 || size > kMaxTextFileSize) return AnsiString();
  std::vector<char> buffer(static_cast<size_t>(size) + 1, '\0');
  if (!ReadFileBlock(buffer.data(), fileName, 0, size)) return AnsiString();
  return DecodeTextToAnsi(buffer.data(), size, encoding);
}

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
  damagedNames->Clear();
  std::vector<AnsiString> lines;
  if (!importListName.IsEmpty()) {
    try {
      lines = DamagedListLines(ReadDamagedList(importListName));
    } catch (...) {
      lines.clear();
    }
  }
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
  TProgressForm* keepOpen = nullptr;
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
        if (result.AbsentFiles > 0) {
          ProgressForm->Close();
        } else {
          // Stays with its totals until the user presses OK.
          keepOpen = ProgressForm;
          keepOpen->SetFormStyle(fsNormal);
          ProgressForm = nullptr;
        }
      }
      cancelRequested = 0;
    } catch (...) {
      lvInfo->Items()->EndUpdate();
      throw;
    }
    lvInfo->Items()->EndUpdate();
  }
  // The window left with its totals is the progress window again (the
  // frame of the job would have closed it).
  if (keepOpen) ProgressForm = keepOpen;

  if (mode == vmDamaged || mode == vmMarked) {
    RebuildFilteredView();
  } else if (TUcTreeNode* selected = tvTreeOfFile->Selected()) {
    ShowFolder(selected);
    SelectFirstRow();
  }
  // After the progress and wait windows have gone, where the user sees it.
  if (result.AbsentFiles > 0) ShowMessageNumber(*this, msgAbsentAdded);
}
