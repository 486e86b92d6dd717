#include "LibComponentBase.h"

#include "filer.h"

CL_DEFINE_CLASS(TLibComponent, TComponent)

const TUnitVersionInfo LibComponentBaseVersionInfo = {
    "$URL: lib/run/LibComponentBase $",
    "$Revision: 11400 $",
    "$Date: 2007-06-29 00:24:06 +0300 (Fri, 29 Jun 2007) $",
    "lib\\run",
    "",
    nullptr,
};

void UnitInit_LibComponentBase() {
  RegisterUnitVersion(HInstance, LibComponentBaseVersionInfo);
  RegisterProperty(&TLibComponent::Class, "AboutLib", pkString, &TLibComponent::SetAboutLib, &TLibComponent::AboutLib);
}

void UnitFini_LibComponentBase() { UnregisterUnitVersion(HInstance); }
