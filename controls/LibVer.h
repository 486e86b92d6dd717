// The library's version unit; its only code is its version record.
#pragma once

#include "UnitVersioning.h"

extern const TUnitVersionInfo LibVerVersionInfo;

void UnitInit_LibVer();
void UnitFini_LibVer();
