// The program's units with process-wide state (the window classes and their
// layouts' fields and handlers), and the registration of every layer's units
// in start order.
#pragma once

#include <cstddef>

#include "units.h"

extern const TUnitEntry UiUnitTable[];
extern const size_t UiUnitCount;

// Registers the units of every layer, the wide strings first and the
// program's windows last; calling it again changes nothing.
void RegisterUiUnits();
