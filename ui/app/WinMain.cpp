// The program's entry: starts the units of every layer, makes the main window
// and the dialogs, and runs the message loop until the main window closes.
#include "Aboutunit.h"
#include "Commentunit.h"
#include "ListFile.h"
#include "Mainunit.h"
#include "Maskunit.h"
#include "UiUnits.h"
#include "Ufmexportoptions.h"
#include "Upreexport.h"
#include "Unitparams.h"
#include "forms.h"
#include "units.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  RegisterUiUnits();
  StartUnits();
  // What killed or crashed runs left in the temporary folder goes first.
  RemoveLeftoverTempFolders();
  try {
    Application->Initialize();
    Application->SetTitle("Fennolit");
    // The main window first: it becomes the application's main form.
    Application->CreateForm(&InfoFileForm);
    Application->CreateForm(&ParamsForm);
    Application->CreateForm(&MaskForm);
    Application->CreateForm(&CommentForm);
    Application->CreateForm(&AboutForm);
    Application->CreateForm(&ufmPreExport);
    Application->CreateForm(&fmExportOptions);
    Application->Run();
  } catch (Exception& e) {
    Application->ShowException(&e);
  } catch (...) {
    Exception e{AnsiString()};
    Application->ShowException(&e);
  }
  FinishUnits();
  return 0;
}
