// What the newer file dialogs need of the shell: their class identifiers, the
// filter records, and the late-bound call that makes a shell item of a path.
#pragma once

#include "system.h"

#include <objbase.h>

#include <vector>

// The Windows values, as the system's identifier library defines them (and the
// shell headers declare them).
extern "C" const CLSID CLSID_FileOpenDialog;
extern "C" const CLSID CLSID_FileSaveDialog;
// The interface identifier of IShellItem (the name keeps its three l's).
extern const IID CLSID_ShelllItem;

// One file-type filter of the dialogs: a name and a pattern.
struct TComdlgFilterSpec {
  const wchar_t* pszName;
  const wchar_t* pszSpec;
};
using TComdlgFilterSpecArray = std::vector<TComdlgFilterSpec>;

// The shell's own function when the already loaded shell library has it;
// E_NOTIMPL otherwise (asked again on the next call).
HRESULT SHCreateItemFromParsingName(const wchar_t* path, IBindCtx* bindContext, const IID& interfaceId, void** item);
