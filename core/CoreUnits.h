// The file-list core's place in the program's start-up: the units of the layers
// it rests on. The core itself keeps no process-wide state.
#pragma once

// Registers the archive engine's units (and the wide-string units below them);
// calling it again changes nothing.
void RegisterCoreUnits();
