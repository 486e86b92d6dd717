// The base of the library's non-visual components.
#pragma once

#include "UnitVersioning.h"

// The design-time "about" text of a library component.
using TLibAboutInfo = AnsiString;

class TLibComponent : public TComponent {
  CL_CLASS(TLibComponent, TComponent)
public:
  explicit TLibComponent(TComponent* owner) : TComponent(owner) {}
  const TLibAboutInfo& AboutLib() const { return FAboutLib; }
  void SetAboutLib(const TLibAboutInfo& value) { FAboutLib = value; }

private:
  TLibAboutInfo FAboutLib;
};

extern const TUnitVersionInfo LibComponentBaseVersionInfo;

void UnitInit_LibComponentBase();
void UnitFini_LibComponentBase();
