#include "UiUnits.h"

#include "ControlsUnits.h"
#include "CoreUnits.h"
#include "CryptoUnits.h"
#include "Aboutunit.h"
#include "Commentunit.h"
#include "ExportCommands.h"
#include "ExportUnits.h"
#include "Mainunit.h"
#include "Maskunit.h"
#include "Opensaveunit.h"
#include "Progressunit.h"
#include "Ufmexportoptions.h"
#include "Unitparams.h"
#include "Upreexport.h"
#include "Useunit.h"
#include "WideStringsUnits.h"
#include "ZipUnits.h"

const TUnitEntry UiUnitTable[] = {
    {"Mainunit", &UnitInit_Mainunit, &UnitFini_Mainunit},
    {"Unitparams", &UnitInit_Unitparams, &UnitFini_Unitparams},
    {"Progressunit", &UnitInit_Progressunit, &UnitFini_Progressunit},
    {"Opensaveunit", &UnitInit_Opensaveunit, &UnitFini_Opensaveunit},
    {"Aboutunit", &UnitInit_Aboutunit, &UnitFini_Aboutunit},
    {"Useunit", &UnitInit_Useunit, &UnitFini_Useunit},
    {"ExportCommands", &UnitInit_ExportCommands, &UnitFini_ExportCommands},
    {"Upreexport", &UnitInit_Upreexport, &UnitFini_Upreexport},
    {"Ufmexportoptions", &UnitInit_Ufmexportoptions, &UnitFini_Ufmexportoptions},
    {"Maskunit", &UnitInit_Maskunit, &UnitFini_Maskunit},
    {"Commentunit", &UnitInit_Commentunit, &UnitFini_Commentunit},
};

const size_t UiUnitCount = sizeof UiUnitTable / sizeof UiUnitTable[0];

void RegisterUiUnits() {
  RegisterWideStringsUnits();
  RegisterCryptoUnits();
  RegisterZipUnits();
  RegisterControlsUnits();
  RegisterCoreUnits();
  RegisterExportUnits();
  RegisterUnits(UiUnitTable, UiUnitCount);
}
