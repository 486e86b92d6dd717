// Explicit start and end of the units that hold process-wide state. No state is
// built by static constructors: StartUnits runs every registered unit's start in
// table order, FinishUnits the ends in reverse order.
#pragma once

#include <cstddef>

struct TUnitEntry {
  const char* Name;
  void (*Init)();
  void (*Fini)();
};

// Appends a layer's table after the class library's own (before StartUnits).
void RegisterUnits(const TUnitEntry* table, size_t count);
// Starts every unit not yet started. A unit whose start throws is not finished.
void StartUnits();
// Ends the started units in reverse order; idempotent.
void FinishUnits();
bool UnitStarted(const char* name);
