#include "LibConsts.h"

const TUnitVersionInfo LibConstsVersionInfo = {
    "$URL: lib/run/LibConsts $",
    "$Revision: 12304 $",
    "$Date: 2009-05-05 23:10:29 +0300 (Tue, 05 May 2009) $",
    "lib\\run",
    "",
    nullptr,
};

void UnitInit_LibConsts() { RegisterUnitVersion(HInstance, LibConstsVersionInfo); }

void UnitFini_LibConsts() { UnregisterUnitVersion(HInstance); }
