#include "ExportUnits.h"

#include "ControlsUnits.h"
#include "CoreUnits.h"
#include "Ufmexportoptions.h"
#include "Upreexport.h"

ICoreHost* (*ExportTextHost)() = [] { return static_cast<ICoreHost*>(nullptr); };
uint8_t (*ExportCharset)() = [] { return static_cast<uint8_t>(DEFAULT_CHARSET); };

namespace {

const TUnitEntry ExportUnitTable[] = {
    {"Upreexport", &UnitInit_Upreexport, &UnitFini_Upreexport},
    {"Ufmexportoptions", &UnitInit_Ufmexportoptions, &UnitFini_Ufmexportoptions},
};

}  // namespace

void RegisterExportUnits() {
  RegisterControlsUnits();
  RegisterCoreUnits();
  RegisterUnits(ExportUnitTable, sizeof ExportUnitTable / sizeof ExportUnitTable[0]);
}
