#include "UcShellItems.h"

const IID CLSID_ShelllItem = {0x43826D1E, 0xE718, 0x42EE, {0xBC, 0x55, 0xA1, 0xE2, 0x61, 0xC3, 0x7B, 0xFE}};

namespace {
using TSHCreateItemFromParsingName = HRESULT(WINAPI*)(const wchar_t*, IBindCtx*, const IID&, void**);
TSHCreateItemFromParsingName pSHCreateItemFromParsingName = nullptr;
}  // namespace

HRESULT SHCreateItemFromParsingName(const wchar_t* path, IBindCtx* bindContext, const IID& interfaceId, void** item) {
  if (!pSHCreateItemFromParsingName) {
    // Only a shell library the program already uses: this never loads one.
    HMODULE shell = GetModuleHandleA("shell32.dll");
    if (shell)
      pSHCreateItemFromParsingName = reinterpret_cast<TSHCreateItemFromParsingName>(
          reinterpret_cast<void*>(GetProcAddress(shell, "SHCreateItemFromParsingName")));
    if (!pSHCreateItemFromParsingName) return E_NOTIMPL;
  }
  return pSHCreateItemFromParsingName(path, bindContext, interfaceId, item);
}
