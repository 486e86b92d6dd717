// The Unicode control layer's units with process-wide state, in start order
// (after the wide-string layer's). The program's WinMain and the test
// programs register them once before StartUnits.
#pragma once

#include <cstddef>

#include "units.h"

extern const TUnitEntry ControlsUnitTable[];
extern const size_t ControlsUnitCount;

// Registers the wide-string layer's units and then this layer's; calling it
// again changes nothing.
void RegisterControlsUnits();
