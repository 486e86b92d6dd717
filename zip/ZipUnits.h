// The archive engine's units with process-wide state (the engine's lock). A
// program registers the wide-string layer's and the cipher library's units
// first, then these.
#pragma once

#include <cstddef>

#include "units.h"

extern const TUnitEntry ZipUnitTable[];
extern const size_t ZipUnitCount;

// Registers the wide-string layer's and the cipher library's units and then
// the engine's; calling it again changes nothing.
void RegisterZipUnits();
