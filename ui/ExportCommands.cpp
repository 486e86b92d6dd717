// The export and print commands of the main window: text, CSV and
// marked-entries CSV files, the HTML site and the printed list. They ask the
// user what the export needs, show the progress and run the writers of the
// export layer.
#include "ExportCommands.h"

#include "FileExports.h"
#include "JobGuard.h"
#include "LongPath.h"
#include "PrintExport.h"
#include "ShellIcons.h"
#include "Uexporttohtml.h"
#include "Ufmexportoptions.h"
#include "Upreexport.h"
#include "printers.h"
#include "sysutils.h"

namespace {

enum TMessages { msgTextProgress = 12, msgNoDataToPrint = 13, msgCsvProgress = 27, msgHtmlProgress = 31 };

AnsiString RootCaption(TInfoFileForm* form) {
  TUcTreeNode* root = form->RootTreeNode();
  return root ? WideToAnsi(root->Text()) : AnsiString();
}

enum class TFileExport { Text, Csv, CheckedCsv };

AnsiString ColumnTitle(TInfoFileForm* form, int column) {
  TUcListColumns* columns = form->lvInfo->Columns();
  return column < columns->Count() ? WideToAnsi(columns->Items(column)->Caption()) : AnsiString();
}

void RunFileExport(TInfoFileForm* form, TObject* sender, TFileExport kind) {
  TJobGuard job(form);
  if (!form->rootNode) {
    ShowMessageNumber(*form, msgNoDataToSave);
    return;
  }
  if (form->isSearchView) return;
  TExportMarks marks;
  if (kind == TFileExport::CheckedCsv) {
    fmExportOptions->ShowModal();
    if (fmExportOptions->accepted != 1) return;
    marks = fmExportOptions->Marks();
  }
  const bool text = kind == TFileExport::Text;
  const AnsiString extension = text ? ".txt" : ".csv";
  TSaveDialog* dialog = text ? form->sdSaveText : form->sdSaveCSV;
  dialog->SetFileName(ExportBaseName(RootCaption(form)) + extension);
  if (!dialog->Execute()) return;
  const WideString name = AnsiToWide(ExportFileName(dialog->FileName(), extension));
  if (TExportFile::Exists(name) && !ConfirmReplaceFile(*form)) return;
  form->actionSource = sender;
  Application->ProcessMessages();
  form->SetEnabled(false);

  TExportFile out;
  if (!out.Create(name)) {
    ShowMessageNumber(*form, msgCreateFileFailed, PathAndReason(name, GetLastError()));
    return;
  }
  if (!text) {
    const AnsiString titles[9] = {WideToAnsi(form->localization->GetCommonText(72)),
                                  ColumnTitle(form, 0),
                                  ColumnTitle(form, 1),
                                  ColumnTitle(form, 2),
                                  ColumnTitle(form, 3),
                                  ColumnTitle(form, 4),
                                  WideToAnsi(form->localization->GetCommonText(70)),
                                  WideToAnsi(form->localization->GetCommonText(71)),
                                  ColumnTitle(form, 5)};
    out.Append(CsvHeader(titles));
  }
  form->progressTotal = 0;
  form->progressDone = 0;
  form->progressTotal = CountNodes(form->rootNode);
  form->progressMode = text ? 2 : 3;
  form->ShowProgress(MessageTextA(*form, text ? msgTextProgress : msgCsvProgress));
  TWindowSteps steps(form);
  TWriteResult result;
  AnsiString lastTextFolder;
  switch (kind) {
    case TFileExport::Text:
      result = WriteTextLines(form->rootNode->Children, out, steps, "", lastTextFolder);
      break;
    case TFileExport::Csv:
      result = WriteCsvRows(form->rootNode->Children, out, steps, "");
      break;
    default:
      result = WriteCheckedCsvRows(form->rootNode->Children, out, steps, "", marks);
  }
  if (!out.Close()) result = TWriteResult::Failed;
  // A file that could not be written whole is no export: nothing is left
  // under its name (a cancel keeps its complete lines). One that cannot be
  // deleted is said, or the user would take it for an export.
  AnsiString partLeft;
  if (result == TWriteResult::Failed && !out.Discard())
    partLeft = "\n" + MessageTextA(*form, msgPartNotDeleted) + ": " + SysErrorMessage(out.DiscardError());
  if (!form->cancelRequested) form->CloseProgress();
  form->cancelRequested = 0;
  job.Finish();
  if (result == TWriteResult::Failed)
    ShowMessageNumber(*form, msgWriteFailed, PathAndReason(name, out.LastError()) + partLeft);
}

// The pictures of the site through the file-type icons, each type looked up
// once per export (program and icon files carry their own icons and are
// asked every time).
class TSitePictures : public IHtmlPictures {
public:
  explicit TSitePictures(TCustomImageList* icons) : FIcons(icons) {}
  // The site writer keeps one picture per file type and asks again only for
  // the files that carry their own icon.
  AnsiString PictureFor(const AnsiString& name, const AnsiString& folder) override {
    return SaveIconsAsJpeg(FIcons, name, folder);
  }
  AnsiString FolderPicture(const AnsiString& folder) override {
    // A name without extension stands for a folder, whatever the site is named.
    return SaveIconsAsJpeg(FIcons, folder + "\\", folder);
  }
  AnsiString DefaultPicture(const AnsiString& folder) override {
    // A type no computer knows: the picture of unknown files.
    return SaveIconsAsJpeg(FIcons, folder + "\\?.fennolit-unknown-type", folder);
  }

private:
  TCustomImageList* FIcons;
};

}  // namespace

void TInfoFileForm::mmSaveTextClick(TObject* sender) { RunFileExport(this, sender, TFileExport::Text); }

void TInfoFileForm::mmSaveCSVClick(TObject* sender) { RunFileExport(this, sender, TFileExport::Csv); }

void TInfoFileForm::mmSaveCheckedCSVClick(TObject* sender) { RunFileExport(this, sender, TFileExport::CheckedCsv); }

void TInfoFileForm::mmSaveHTMLClick(TObject*) {
  TJobGuard job(this);
  if (!rootNode) {
    ShowMessageNumber(*this, msgNoDataToSave);
    return;
  }
  if (isSearchView) return;
  AnsiString title = RootCaption(this);
  const AnsiString extension = ExtractFileExt(title);
  if (!extension.IsEmpty()) title = ExportBaseName(title);
  sdSaveHTML->SetFileName(title);
  if (!sdSaveHTML->Execute()) return;
  // Every page of the site may lie deeper than the plain form reaches.
  const AnsiString target = WideToAnsi(ExtendedPathForm(AnsiToWide(sdSaveHTML->FileName())));
  ufmPreExport->ShowModal();
  const AnsiString baseUrl = ufmPreExport->BaseUrl();

  progressTotal = 0;
  progressDone = 0;
  progressTotal = CountNodes(rootNode);
  progressMode = 4;
  ShowProgress(MessageTextA(*this, msgHtmlProgress));
  // ShowProgress cleared the cancel flag before its first look at the
  // messages: a close seen there already cancels, and is not forgotten here.
  if (ProgressForm) ProgressForm->btnCancel->SetVisible(true);
  TWindowSteps steps(this);
  TSitePictures pictures(AssociatedIconForHTML);
  THtmlSiteWriter writer(*this, pictures, steps);
  writer.ExportToHtmlSite(rootNode, target, baseUrl, title);
  // The user may have closed the window meanwhile: it is gone then.
  if (ProgressForm && !ProgressForm->closing) {
    ProgressForm->btnCancel->SetVisible(false);
    if (!cancelRequested)
      CloseProgress();
    else
      ProgressForm->Close();
  }
  cancelRequested = 0;
}

void TInfoFileForm::mmPrintClick(TObject*) {
  if (!shownList) {
    ShowMessageNumber(*this, msgNoDataToPrint);
    return;
  }
  if (isSearchView) return;
  printLines->Clear();
  CollectPrintLines(shownList, "", printLines);
  try {
    PrintDocument(Printer(), printLines, "Fennolit");
  } catch (const Exception& e) {
    // Without a printer (or when it fails) the user is told, not left guessing.
    ShowMessage(ExceptionMessage(*this, e));
  }
}

void UnitInit_ExportCommands() {
  using F = TInfoFileForm;
  RegisterFormMethods<F>({
      {"mmSaveTextClick", MethodEntry<&F::mmSaveTextClick>()},
      {"mmSaveCSVClick", MethodEntry<&F::mmSaveCSVClick>()},
      {"mmSaveCheckedCSVClick", MethodEntry<&F::mmSaveCheckedCSVClick>()},
      {"mmSaveHTMLClick", MethodEntry<&F::mmSaveHTMLClick>()},
      {"mmPrintClick", MethodEntry<&F::mmPrintClick>()},
  });
}

void UnitFini_ExportCommands() {}
