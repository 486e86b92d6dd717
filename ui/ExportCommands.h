// The export and print commands' place in the program's start-up (their
// handlers are members of the main window).
#pragma once

#include "Mainunit.h"

void UnitInit_ExportCommands();
void UnitFini_ExportCommands();
