#include "ExportUnits.h"

#include "CoreUnits.h"

void RegisterExportUnits() { RegisterCoreUnits(); }
