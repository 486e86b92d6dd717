// The library's constants unit; its only code is its version record.
#pragma once

#include "UnitVersioning.h"

extern const TUnitVersionInfo LibConstsVersionInfo;

void UnitInit_LibConsts();
void UnitFini_LibConsts();
