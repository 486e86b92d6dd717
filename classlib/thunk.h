// Window procedures bound to object methods. A thunk is a few bytes of machine
// code in executable memory that turns a plain WNDPROC call into a call of a
// TWndMethod, so every library window can have its own procedure that knows its
// control without a lookup.
#pragma once

#include "system.h"

// A WNDPROC that builds a TMessage and calls m inside the exception guard.
// Raises EOutOfResources when no executable memory can be had.
WNDPROC MakeObjectInstance(TWndMethod m);
// Returns the thunk's slot for reuse; null is ignored.
void FreeObjectInstance(WNDPROC proc);
// The method a thunk calls (tests and the Unicode layer's chain checks); an
// empty method for anything that is not a live thunk of this allocator.
TWndMethod ObjectInstanceMethod(WNDPROC proc);
// Number of live thunks (leak checks in tests).
int ObjectInstanceCount();

// A hidden "TUtilWindow" window whose procedure is a thunk of m; for timers,
// popup menus and the like. DeallocateHWnd destroys it and frees the thunk.
HWND AllocateHWnd(TWndMethod m);
void DeallocateHWnd(HWND wnd);

// Frees the executable blocks when no thunk is live any more (unit end of
// controls); blocks still in use are kept, since a window could still call them.
void ReleaseObjectInstanceBlocks();
