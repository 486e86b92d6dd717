// The crypto layer's units with process-wide state (the text-format, hash
// descriptor, hash-class and cipher-class registries), in start order. A
// program (or test program) registers them once before StartUnits.
#pragma once

#include <cstddef>

#include "units.h"

extern const TUnitEntry CryptoUnitTable[];
extern const size_t CryptoUnitCount;

// Appends the table to the program's units; calling it again changes nothing.
void RegisterCryptoUnits();
