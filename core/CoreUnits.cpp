#include "CoreUnits.h"

#include "ZipUnits.h"

void RegisterCoreUnits() { RegisterZipUnits(); }
