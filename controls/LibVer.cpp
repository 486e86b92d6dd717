#include "LibVer.h"

const TUnitVersionInfo LibVerVersionInfo = {
    "$URL: lib/run/LibVer $",
    "$Revision: 12157 $",
    "$Date: 2009-01-21 22:32:56 +0200 (Wed, 21 Jan 2009) $",
    "lib\\run",
    "",
    nullptr,
};

void UnitInit_LibVer() { RegisterUnitVersion(HInstance, LibVerVersionInfo); }

void UnitFini_LibVer() { UnregisterUnitVersion(HInstance); }
