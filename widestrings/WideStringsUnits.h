// The wide-string layer's units with process-wide state, in start order. A
// program (or test program) registers them once before StartUnits.
#pragma once

#include <cstddef>

#include "units.h"

extern const TUnitEntry WideStringsUnitTable[];
extern const size_t WideStringsUnitCount;

// Appends the table to the program's units; calling it again changes nothing.
void RegisterWideStringsUnits();
