// The path forms the wide file calls take. Paths past MAX_PATH, and every
// path below a folder whose depth is not known in advance (an export's
// target), go to the system with the "\\?\" prefix; what the user reads in a
// message never carries it.
#pragma once

#include <windows.h>

#include "system.h"

// path with the "\\?\" prefix ("\\?\C:\...", "\\?\UNC\server\share\..."):
// absolute paths only (a drive or a network path); relative paths and paths
// that already have the prefix are returned unchanged.
WideString ExtendedPathForm(const WideString& path);

// ExtendedPathForm for paths too long for the plain form, path itself below
// that length.
WideString LongPathForm(const WideString& path);

// The form a user knows: path without the prefix ("\\?\UNC\s\x" becomes
// "\\s\x").
WideString ShownPath(const WideString& path);
