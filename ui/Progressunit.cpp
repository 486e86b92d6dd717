#include "Progressunit.h"

#include "Mainunit.h"
#include "filer.h"

CL_DEFINE_COMPONENT(TProgressForm, TForm)

TProgressForm::TProgressForm(TComponent* owner) : TForm(owner) { ReadLayout(&TProgressForm::Class); }

TProgressForm::~TProgressForm() {
  // The window frees itself when it closes; the job may still ask for it.
  if (ProgressForm == this) ProgressForm = nullptr;
}

namespace {

void ApplyCharsets(TProgressForm* f) {
  Localization* loc = InfoFileForm ? InfoFileForm->localization : nullptr;
  const uint8_t charset = LanguageCharset(loc);
  for (TControl* c : std::initializer_list<TControl*>{f, f->laDir, f->laFile, f->CountDirsLabel, f->CountFilesLabel,
                                                      f->btnOK, f->btnCancel})
    c->Font()->SetCharset(charset);
}

}  // namespace

void TProgressForm::FormCreate(TObject*) {
  ApplyCharsets(this);
  savedCaption = Caption();
  savedDirsCaption = CountDirsLabel->Caption();
  savedFilesCaption = CountFilesLabel->Caption();
  btnOK->SetVisible(false);
  done = false;
  if (InfoFileForm && InfoFileForm->localization)
    UcControl_SetText(btnCancel, InfoFileForm->localization->GetCommonText(23));
}

void TProgressForm::FormShow(TObject*) { ApplyCharsets(this); }

void TProgressForm::FormPaint(TObject*) {
  if (!InfoFileForm) return;
  if (InfoFileForm->progressMode == 0 || InfoFileForm->progressMode == 1) DrawCurrentPath();
}

AnsiString TProgressForm::PathLayout(const AnsiString& text) {
  TCanvas* canvas = Canvas();
  const int clientWidth = ClientWidth();
  const int width = canvas->TextWidth(text);
  if (width < clientWidth) return text;
  const int overflow = width - clientWidth;
  const int length = text.Length();
  if (length < 1) return text;
  AnsiString tail = text.SubString(length, 1);
  for (int i = length - 1; i >= 1; --i) {
    if (canvas->TextWidth(tail) >= overflow && tail[1] == '\\') {
      AnsiString result = text;
      result.Insert("\n", i + 1);
      return result;
    }
    tail = text.SubString(i, 1) + tail;
  }
  return text;
}

namespace {

// The path area below the counters is painted on the window itself, whose
// drawing is not clipped to leave its child windows out: the buttons (and
// the bar) standing in the area are left out here, or the fill would wipe a
// button that nothing repaints.
class TPathAreaClip {
public:
  explicit TPathAreaClip(TProgressForm* form) : FDC(form->Canvas()->Handle()), FSaved(CreateRectRgn(0, 0, 0, 0)) {
    // Only the clip region is saved and put back: the canvas keeps track of
    // the pen, brush and font it selected itself.
    if (FSaved && GetClipRgn(FDC, FSaved) != 1) {
      DeleteObject(FSaved);
      FSaved = nullptr;
    }
    for (TWinControl* child : std::initializer_list<TWinControl*>{form->btnOK, form->btnCancel, form->pBar}) {
      if (!child || !child->HandleAllocated() || !IsWindowVisible(child->Handle())) continue;
      ExcludeClipRect(FDC, child->Left(), child->Top(), child->Left() + child->Width(), child->Top() + child->Height());
    }
  }
  ~TPathAreaClip() {
    SelectClipRgn(FDC, FSaved);
    if (FSaved) DeleteObject(FSaved);
  }
  TPathAreaClip(const TPathAreaClip&) = delete;
  TPathAreaClip& operator=(const TPathAreaClip&) = delete;

private:
  HDC FDC;
  HRGN FSaved;
};

}  // namespace

void TProgressForm::DrawCurrentPath() {
  if (!InfoFileForm) return;
  const AnsiString text = InfoFileForm->progressMode != 0 ? InfoFileForm->progressText : InfoFileForm->scanPath;
  TCanvas* canvas = Canvas();
  RECT r = {8, 44, ClientWidth(), ClientHeight()};
  const AnsiString laidOut = PathLayout(text);
  TPathAreaClip clip(this);
  canvas->Brush()->SetColor(clBtnFace);
  canvas->FillRect(TRect(r.left, r.top, r.right, r.bottom));
  canvas->Brush()->SetStyle(bsClear);
  DrawTextA(canvas->Handle(), laidOut.c_str(), laidOut.Length(), &r, DT_VCENTER);
  canvas->Brush()->SetStyle(bsSolid);
}

void TProgressForm::ClearPathArea() {
  TCanvas* canvas = Canvas();
  TPathAreaClip clip(this);
  canvas->Brush()->SetColor(clBtnFace);
  canvas->FillRect(TRect(8, 44, ClientWidth(), ClientHeight()));
}

void TProgressForm::ShowTotals() {
  SetCaption(savedCaption);
  laDir->SetVisible(true);
  laFile->SetVisible(true);
  CountDirsLabel->SetVisible(true);
  CountFilesLabel->SetVisible(true);
  pBar->SetVisible(false);
  CountDirsLabel->SetCaption(savedDirsCaption);
  CountFilesLabel->SetCaption(savedFilesCaption);
  btnOK->SetVisible(false);
  SetFormStyle(fsNormal);
}

void TProgressForm::btnOKClick(TObject*) {
  done = true;
  Close();
}

void TProgressForm::btnCancelClick(TObject*) {
  if (InfoFileForm) InfoFileForm->cancelRequested = 1;
}

void TProgressForm::FormClose(TObject*, TCloseAction& action) {
  // The window keeps what it shows while it goes: putting back the texts it
  // was made with would flash another job's caption and labels. The jobs
  // call ShowTotals themselves where they want the end state.
  action = caFree;
  closing = true;
  // Only a running job is cancelled: a window left open after its job (to
  // show totals) must not cancel the next one.
  if (!done && InfoFileForm && InfoFileForm->jobRunning) InfoFileForm->cancelRequested = 1;
}

void UnitInit_Progressunit() {
  RegisterClass(&TProgressForm::Class);
  using F = TProgressForm;
  RegisterFormFields<F>({
      {"CountDirsLabel", &F::CountDirsLabel},
      {"laDir", &F::laDir},
      {"CountFilesLabel", &F::CountFilesLabel},
      {"laFile", &F::laFile},
      {"pBar", &F::pBar},
      {"btnOK", &F::btnOK},
      {"btnCancel", &F::btnCancel},
  });
  RegisterFormMethods<F>({
      {"FormCreate", MethodEntry<&F::FormCreate>()},
      {"FormShow", MethodEntry<&F::FormShow>()},
      {"FormPaint", MethodEntry<&F::FormPaint>()},
      {"FormClose", MethodEntry<&F::FormClose>()},
      {"btnOKClick", MethodEntry<&F::btnOKClick>()},
      {"btnCancelClick", MethodEntry<&F::btnCancelClick>()},
  });
}

void UnitFini_Progressunit() {}
