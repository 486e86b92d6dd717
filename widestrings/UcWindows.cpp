#include "UcWindows.h"

#include "UcCodePages.h"
#include "UcSysUtils.h"
#include "UcWideStrUtils.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

// The records the narrow road copies byte for byte.
static_assert(sizeof(SHFILEOPSTRUCTW) == 30 && sizeof(SHFILEOPSTRUCTA) == 30);
static_assert(sizeof(SHFILEINFOA) == 352 && sizeof(SHFILEINFOW) == 692);
static_assert(sizeof(STARTUPINFOW) == 68 && sizeof(STARTUPINFOA) == 68);
static_assert(sizeof(MENUITEMINFOW) == 48 && sizeof(MENUITEMINFOA) == 48);
static_assert(sizeof(BROWSEINFOW) == 32 && sizeof(BROWSEINFOA) == 32);
static_assert(sizeof(WIN32_FIND_DATAW) == 592);
static_assert(offsetof(WIN32_FIND_DATAA, cFileName) == 44 && offsetof(WIN32_FIND_DATAW, cFileName) == 44);
static_assert(sizeof(SHNAMEMAPPINGW) == 16);

namespace {

// --- conversions of the narrow road ----------------------------------------------

AnsiString ToAnsi(LPCWSTR s) {
  if (!s || !*s) return AnsiString();
  return WideStringToStringEx(WideString(s), DefaultSystemCodePage());
}

// A counted text: -1 means up to the NUL.
AnsiString ToAnsiCounted(LPCWSTR s, int count) {
  if (!s) return AnsiString();
  if (count < 0) return ToAnsi(s);
  return WideStringToStringEx(WideString(s, count), DefaultSystemCodePage());
}

WideString ToWide(const char* s, size_t len) {
  return StringToWideStringEx(AnsiString(s, static_cast<int>(len)), DefaultSystemCodePage());
}
WideString ToWide(const char* s) { return s ? ToWide(s, std::strlen(s)) : WideString(); }
WideString ToWide(const std::string& s) { return ToWide(s.data(), s.size()); }

const char* NilIfEmpty(const AnsiString& s) { return s.IsEmpty() ? nullptr : s.c_str(); }

// Copies at most size - 1 characters and a NUL.
void CopyBounded(LPWSTR dest, DWORD size, const WideString& w) {
  if (!dest || size == 0) return;
  DWORD n = std::min<DWORD>(size - 1, static_cast<DWORD>(w.Length()));
  std::memcpy(dest, w.c_bstr(), n * sizeof(wchar_t));
  dest[n] = L'\0';
}

// --- the shared rule for wide output buffers filled from an ANSI result -------------

enum : unsigned {
  brPlain = 0,
  brEqualLengthTerminated = 1,
  brEmptyWhenShort = 2,
  brFillExactly = 4,
  brPathPrefix = 8,
};

// Of a path, what fits below index size: whole folders only, no terminator.
void CopyPathPrefix(const WideString& w, LPWSTR buf, DWORD size) {
  if (size < 4) return;
  const std::wstring& s = w.str();
  for (DWORD i = 0; i < size - 1 && i < s.size(); ++i) {
    size_t next = s.find(L'\\', i);
    if (next == std::wstring::npos || next >= size) break;
    buf[i] = s[i];
  }
}

DWORD StoreNarrowResult(const WideString& w, LPWSTR buf, DWORD size, unsigned rule) {
  const DWORD len = static_cast<DWORD>(w.Length());
  if (size > len) {
    std::memcpy(buf, w.c_bstr(), len * sizeof(wchar_t));
    buf[len] = L'\0';
    return len;
  }
  if (rule & brFillExactly) {
    std::memcpy(buf, w.c_bstr(), size * sizeof(wchar_t));
    return size;
  }
  if ((rule & brEqualLengthTerminated) && size == len) {
    std::memcpy(buf, w.c_bstr(), (size - 1) * sizeof(wchar_t));
    buf[size - 1] = L'\0';
    return len + 1;
  }
  if (size > 0 && buf) {
    if (rule & brEmptyWhenShort)
      buf[0] = L'\0';
    else if (rule & brPathPrefix)
      CopyPathPrefix(w, buf, size);
  }
  return len + 1;
}

// Runs an A call that fills a buffer of the given size and returns the length it
// wrote, or the size it needs when the buffer is too small. A too-small buffer
// is left untouched by the system, so the call is repeated with the size it
// asked for. False when the call fails.
template <class F> bool CallNarrowBuffer(DWORD size, F call, std::string& out) {
  out.assign(size, '\0');
  DWORD r = call(out.data(), size);
  for (int tries = 0; r >= size && tries < 3; ++tries) {
    size = r + 1;
    out.assign(size, '\0');
    r = call(out.data(), size);
  }
  if (r == 0 || r >= size) return false;
  out.resize(r);
  return true;
}

void FindDataToWide(const WIN32_FIND_DATAA& a, WIN32_FIND_DATAW& w) {
  std::memcpy(&w, &a, offsetof(WIN32_FIND_DATAA, cFileName));
  CopyBounded(w.cFileName, MAX_PATH, ToWide(a.cFileName, strnlen(a.cFileName, MAX_PATH)));
  CopyBounded(w.cAlternateFileName, 14,
              ToWide(a.cAlternateFileName, strnlen(a.cAlternateFileName, sizeof a.cAlternateFileName)));
}

wchar_t ChangeCaseOfChar(wchar_t c, bool upper) {
  if (!IsWideCharMappableToAnsi(c)) return c;
  AnsiString a = WideStringToStringEx(WideString(c), DefaultSystemCodePage());
  if (upper)
    CharUpperA(a.data());
  else
    CharLowerA(a.data());
  WideString w = StringToWideStringEx(a, DefaultSystemCodePage());
  return w.Length() == 1 ? w[1] : c;
}

LPWSTR ChangeCase(LPWSTR sz, bool upper) {
  if (HIWORD(reinterpret_cast<UINT_PTR>(sz)) == 0)
    return reinterpret_cast<LPWSTR>(
        static_cast<UINT_PTR>(ChangeCaseOfChar(static_cast<wchar_t>(LOWORD(reinterpret_cast<UINT_PTR>(sz))), upper)));
  for (wchar_t* p = sz; *p; ++p) *p = ChangeCaseOfChar(*p, upper);
  return sz;
}

// --- module state ------------------------------------------------------------------

using TSHFileOperationW = int(WINAPI*)(LPSHFILEOPSTRUCTW);
using TSHBrowseForFolderW = LPITEMIDLIST(WINAPI*)(LPBROWSEINFOW);
using TSHGetPathFromIDListW = BOOL(WINAPI*)(LPCITEMIDLIST, LPWSTR);
using TSHGetFileInfoW = DWORD_PTR(WINAPI*)(LPCWSTR, DWORD, SHFILEINFOW*, UINT, UINT);

HMODULE Shell32Handle = nullptr;
TSHFileOperationW pSHFileOperationW = nullptr;
TSHBrowseForFolderW pSHBrowseForFolderW = nullptr;
TSHGetPathFromIDListW pSHGetPathFromIDListW = nullptr;
TSHGetFileInfoW pSHGetFileInfoW = nullptr;
WideString* VerQueryValueText = nullptr;  // the last "\StringFileInfo" value of the narrow road

template <class P> P ResolveShellEntry(const char* name) {
  return reinterpret_cast<P>(reinterpret_cast<void*>(WinCheckP(GetProcAddress(Shell32Handle, name))));
}

void LoadShellEntries() {
  if (!Shell32Handle) Shell32Handle = WinCheckH(Uc_LoadLibraryW(L"shell32.dll"));
  if (!pSHFileOperationW) pSHFileOperationW = ResolveShellEntry<TSHFileOperationW>("SHFileOperationW");
  if (!pSHBrowseForFolderW) pSHBrowseForFolderW = ResolveShellEntry<TSHBrowseForFolderW>("SHBrowseForFolderW");
  if (!pSHGetPathFromIDListW)
    pSHGetPathFromIDListW = ResolveShellEntry<TSHGetPathFromIDListW>("SHGetPathFromIDListW");
  if (!pSHGetFileInfoW) pSHGetFileInfoW = ResolveShellEntry<TSHGetFileInfoW>("SHGetFileInfoW");
}

// The name mappings of a file operation: a count and a pointer to the entries,
// which here follow the header in the same allocation.
struct TNameMappingBlock {
  int Count;
  SHNAMEMAPPINGA* Entries;
};
struct TWideNameMappingBlock {
  int Count;
  SHNAMEMAPPINGW* Entries;
};

}  // namespace

void UnitInit_UcWindows() {}

void UnitFini_UcWindows() {
  if (Shell32Handle) FreeLibrary(Shell32Handle);
  Shell32Handle = nullptr;
  pSHFileOperationW = nullptr;
  pSHBrowseForFolderW = nullptr;
  pSHGetPathFromIDListW = nullptr;
  pSHGetFileInfoW = nullptr;
  delete VerQueryValueText;
  VerQueryValueText = nullptr;
}

// --- text output ---------------------------------------------------------------------

BOOL Uc_ExtTextOutW(HDC dc, int x, int y, UINT options, const RECT* rect, LPCWSTR str, UINT count, const INT* dx) {
  if (Win32PlatformIsUnicode) return ExtTextOutW(dc, x, y, options, rect, str, count, dx);
  AnsiString a = ToAnsiCounted(str, static_cast<int>(count));
  return ExtTextOutA(dc, x, y, options, rect, a.c_str(), static_cast<UINT>(a.Length()), dx);
}

BOOL Uc_SetWindowTextW(HWND wnd, LPCWSTR text) {
  if (Win32PlatformIsUnicode) return SetWindowTextW(wnd, text);
  return SetWindowTextA(wnd, ToAnsi(text).c_str());
}

int Uc_DrawTextW(HDC dc, LPCWSTR str, int count, LPRECT rect, UINT format) {
  if (Win32PlatformIsUnicode) return DrawTextW(dc, str, count, rect, format);
  // Room for the ellipsis DT_MODIFYSTRING may write.
  std::string a = ToAnsiCounted(str, count).str();
  a.append(4, '\0');
  return DrawTextA(dc, a.data(), -1, rect, format);
}

int Uc_DrawTextExW(HDC dc, LPWSTR str, int count, LPRECT rect, UINT format, LPDRAWTEXTPARAMS params) {
  if (Win32PlatformIsUnicode) return DrawTextExW(dc, str, count, rect, format, params);
  std::string a = ToAnsiCounted(str, count).str();
  a.append(4, '\0');
  return DrawTextExA(dc, a.data(), -1, rect, format, params);
}

// --- files and folders ---------------------------------------------------------------

BOOL Uc_RemoveDirectoryW(LPCWSTR pathName) {
  if (Win32PlatformIsUnicode) return RemoveDirectoryW(pathName);
  return RemoveDirectoryA(ToAnsi(pathName).c_str());
}

DWORD Uc_GetShortPathNameW(LPCWSTR longPath, LPWSTR shortPath, DWORD bufferLength) {
  if (Win32PlatformIsUnicode) return GetShortPathNameW(longPath, shortPath, bufferLength);
  AnsiString a = ToAnsi(longPath);
  std::string out;
  if (!CallNarrowBuffer(520, [&](char* b, DWORD n) { return GetShortPathNameA(a.c_str(), b, n); }, out)) return 0;
  return StoreNarrowResult(ToWide(out), shortPath, bufferLength, brPathPrefix);
}

DWORD Uc_GetFullPathNameW(LPCWSTR fileName, DWORD bufferLength, LPWSTR buffer, LPWSTR* filePart) {
  if (Win32PlatformIsUnicode) return GetFullPathNameW(fileName, bufferLength, buffer, filePart);
  AnsiString a = ToAnsi(fileName);
  LPSTR part = nullptr;
  std::string out;
  size_t partOffset = 0;
  bool ok = CallNarrowBuffer(
      520,
      [&](char* b, DWORD n) {
        part = nullptr;
        DWORD r = GetFullPathNameA(a.c_str(), n, b, &part);
        partOffset = part ? static_cast<size_t>(part - b) : 0;
        return r;
      },
      out);
  if (filePart) *filePart = nullptr;
  if (!ok) return 0;
  WideString w = ToWide(out);
  DWORD r = StoreNarrowResult(w, buffer, bufferLength, brEmptyWhenShort);
  if (filePart && part && bufferLength > static_cast<DWORD>(w.Length()))
    *filePart = buffer + ToWide(out.data(), std::min(partOffset, out.size())).Length();
  return r;
}

HANDLE Uc_CreateFileW(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode, LPSECURITY_ATTRIBUTES security,
                      DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE templateFile) {
  if (Win32PlatformIsUnicode)
    return CreateFileW(fileName, desiredAccess, shareMode, security, creationDisposition, flagsAndAttributes,
                       templateFile);
  return CreateFileA(ToAnsi(fileName).c_str(), desiredAccess, shareMode, security, creationDisposition,
                     flagsAndAttributes, templateFile);
}

HANDLE Uc_FindFirstFileW(LPCWSTR fileName, LPWIN32_FIND_DATAW findData) {
  if (Win32PlatformIsUnicode) return FindFirstFileW(fileName, findData);
  WIN32_FIND_DATAA a{};
  HANDLE h = FindFirstFileA(ToAnsi(fileName).c_str(), &a);
  if (h != INVALID_HANDLE_VALUE) FindDataToWide(a, *findData);
  return h;
}

BOOL Uc_FindNextFileW(HANDLE findFile, LPWIN32_FIND_DATAW findData) {
  if (Win32PlatformIsUnicode) return FindNextFileW(findFile, findData);
  WIN32_FIND_DATAA a{};
  BOOL ok = FindNextFileA(findFile, &a);
  if (ok) FindDataToWide(a, *findData);
  return ok;
}

DWORD Uc_GetFileAttributesW(LPCWSTR fileName) {
  if (Win32PlatformIsUnicode) return GetFileAttributesW(fileName);
  return GetFileAttributesA(ToAnsi(fileName).c_str());
}

BOOL Uc_SetFileAttributesW(LPCWSTR fileName, DWORD attributes) {
  if (Win32PlatformIsUnicode) return SetFileAttributesW(fileName, attributes);
  return SetFileAttributesA(ToAnsi(fileName).c_str(), attributes);
}

BOOL Uc_CreateDirectoryW(LPCWSTR pathName, LPSECURITY_ATTRIBUTES security) {
  if (Win32PlatformIsUnicode) return CreateDirectoryW(pathName, security);
  return CreateDirectoryA(ToAnsi(pathName).c_str(), security);
}

BOOL Uc_MoveFileW(LPCWSTR existingFileName, LPCWSTR newFileName) {
  if (Win32PlatformIsUnicode) return MoveFileW(existingFileName, newFileName);
  return MoveFileA(ToAnsi(existingFileName).c_str(), ToAnsi(newFileName).c_str());
}

BOOL Uc_CopyFileW(LPCWSTR existingFileName, LPCWSTR newFileName, BOOL failIfExists) {
  if (Win32PlatformIsUnicode) return CopyFileW(existingFileName, newFileName, failIfExists);
  return CopyFileA(ToAnsi(existingFileName).c_str(), ToAnsi(newFileName).c_str(), failIfExists);
}

BOOL Uc_DeleteFileW(LPCWSTR fileName) {
  if (Win32PlatformIsUnicode) return DeleteFileW(fileName);
  return DeleteFileA(ToAnsi(fileName).c_str());
}

BOOL Uc_GetDiskFreeSpaceW(LPCWSTR rootPathName, LPDWORD sectorsPerCluster, LPDWORD bytesPerSector,
                          LPDWORD numberOfFreeClusters, LPDWORD totalNumberOfClusters) {
  if (Win32PlatformIsUnicode)
    return GetDiskFreeSpaceW(rootPathName, sectorsPerCluster, bytesPerSector, numberOfFreeClusters,
                             totalNumberOfClusters);
  AnsiString root = ToAnsi(rootPathName);
  return GetDiskFreeSpaceA(rootPathName ? root.c_str() : nullptr, sectorsPerCluster, bytesPerSector,
                           numberOfFreeClusters, totalNumberOfClusters);
}

BOOL Uc_GetVolumeInformationW(LPCWSTR rootPathName, LPWSTR volumeNameBuffer, DWORD volumeNameSize,
                              LPDWORD volumeSerialNumber, LPDWORD maximumComponentLength,
                              LPDWORD fileSystemFlags, LPWSTR fileSystemNameBuffer, DWORD fileSystemNameSize) {
  if (Win32PlatformIsUnicode)
    return GetVolumeInformationW(rootPathName, volumeNameBuffer, volumeNameSize, volumeSerialNumber,
                                 maximumComponentLength, fileSystemFlags, fileSystemNameBuffer,
                                 fileSystemNameSize);
  // Buffers large enough for any name, so that success is never reported as
  // failure for a long label; the caller's sizes bound what is copied back.
  char volume[MAX_PATH + 1] = {};
  char fileSystem[MAX_PATH + 1] = {};
  AnsiString root = ToAnsi(rootPathName);
  if (!GetVolumeInformationA(rootPathName ? root.c_str() : nullptr, volumeNameBuffer ? volume : nullptr,
                             volumeNameBuffer ? sizeof volume : 0, volumeSerialNumber, maximumComponentLength,
                             fileSystemFlags, fileSystemNameBuffer ? fileSystem : nullptr,
                             fileSystemNameBuffer ? sizeof fileSystem : 0))
    return FALSE;
  CopyBounded(volumeNameBuffer, volumeNameSize, ToWide(volume));
  CopyBounded(fileSystemNameBuffer, fileSystemNameSize, ToWide(fileSystem));
  return TRUE;
}

DWORD Uc_GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size) {
  if (Win32PlatformIsUnicode) return GetModuleFileNameW(module, fileName, size);
  // A name that fills the buffer may have been cut: ask again with more room.
  std::string out(MAX_PATH, '\0');
  DWORD r = GetModuleFileNameA(module, out.data(), static_cast<DWORD>(out.size()));
  while (r != 0 && r >= out.size() && out.size() < 0x8000) {
    out.assign(out.size() * 2, '\0');
    r = GetModuleFileNameA(module, out.data(), static_cast<DWORD>(out.size()));
  }
  if (r == 0) return 0;
  out.resize(std::min<size_t>(r, out.size()));
  return StoreNarrowResult(ToWide(out), fileName, size, brFillExactly);
}

DWORD Uc_GetTempPathW(DWORD bufferLength, LPWSTR buffer) {
  if (Win32PlatformIsUnicode) return GetTempPathW(bufferLength, buffer);
  std::string out;
  if (!CallNarrowBuffer(MAX_PATH, [](char* b, DWORD n) { return GetTempPathA(n, b); }, out)) return 0;
  return StoreNarrowResult(ToWide(out), buffer, bufferLength, brEqualLengthTerminated | brEmptyWhenShort);
}

UINT Uc_GetTempFileNameW(LPCWSTR pathName, LPCWSTR prefixString, UINT unique, LPWSTR tempFileName) {
  if (Win32PlatformIsUnicode) return GetTempFileNameW(pathName, prefixString, unique, tempFileName);
  char out[MAX_PATH] = {};
  UINT r = GetTempFileNameA(ToAnsi(pathName).c_str(), ToAnsi(prefixString).c_str(), unique, out);
  if (r != 0) StoreNarrowResult(ToWide(out), tempFileName, MAX_PATH, brEmptyWhenShort);
  return r;
}

UINT Uc_GetWindowsDirectoryW(LPWSTR buffer, UINT size) {
  if (Win32PlatformIsUnicode) return GetWindowsDirectoryW(buffer, size);
  std::string out;
  if (!CallNarrowBuffer(MAX_PATH, [](char* b, DWORD n) { return GetWindowsDirectoryA(b, n); }, out)) return 0;
  return StoreNarrowResult(ToWide(out), buffer, size, brPlain);
}

UINT Uc_GetSystemDirectoryW(LPWSTR buffer, UINT size) {
  if (Win32PlatformIsUnicode) return GetSystemDirectoryW(buffer, size);
  std::string out;
  if (!CallNarrowBuffer(MAX_PATH, [](char* b, DWORD n) { return GetSystemDirectoryA(b, n); }, out)) return 0;
  return StoreNarrowResult(ToWide(out), buffer, size, brPlain);
}

DWORD Uc_GetCurrentDirectoryW(DWORD bufferLength, LPWSTR buffer) {
  if (Win32PlatformIsUnicode) return GetCurrentDirectoryW(bufferLength, buffer);
  std::string out;
  if (!CallNarrowBuffer(MAX_PATH, [](char* b, DWORD n) { return GetCurrentDirectoryA(n, b); }, out)) return 0;
  return StoreNarrowResult(ToWide(out), buffer, bufferLength, brEqualLengthTerminated | brEmptyWhenShort);
}

BOOL Uc_SetCurrentDirectoryW(LPCWSTR pathName) {
  if (Win32PlatformIsUnicode) return SetCurrentDirectoryW(pathName);
  return SetCurrentDirectoryA(ToAnsi(pathName).c_str());
}

// --- names of the machine and the user ---------------------------------------------

namespace {

// Stores a name read by an A call with the wide call's contract: the length
// (plus the terminator where the wide call counts it) on success; the size
// needed and ERROR_BUFFER_OVERFLOW when the caller's buffer is too small.
BOOL StoreName(const WideString& name, LPWSTR buffer, LPDWORD size, bool countsTerminator) {
  const DWORD len = static_cast<DWORD>(name.Length());
  if (*size > len && len > 0) {
    CopyBounded(buffer, *size, name);
    *size = countsTerminator ? len + 1 : len;
    return TRUE;
  }
  *size = len + 1;
  SetLastError(ERROR_BUFFER_OVERFLOW);
  return FALSE;
}

}  // namespace

BOOL Uc_GetComputerNameW(LPWSTR buffer, LPDWORD size) {
  if (Win32PlatformIsUnicode) return GetComputerNameW(buffer, size);
  char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD n = sizeof name;
  if (!GetComputerNameA(name, &n)) return FALSE;
  return StoreName(ToWide(name, n), buffer, size, false);
}

BOOL Uc_GetUserNameW(LPWSTR buffer, LPDWORD size) {
  if (Win32PlatformIsUnicode) return GetUserNameW(buffer, size);
  char name[255] = {};
  DWORD n = sizeof name;
  if (!GetUserNameA(name, &n)) return FALSE;
  return StoreName(ToWide(name), buffer, size, true);
}

// --- processes and libraries --------------------------------------------------------

HINSTANCE Uc_ShellExecuteW(HWND wnd, LPCWSTR operation, LPCWSTR file, LPCWSTR parameters, LPCWSTR directory,
                           INT showCmd) {
  if (Win32PlatformIsUnicode)
    return ShellExecuteW(wnd, operation && *operation ? operation : nullptr, file, parameters, directory, showCmd);
  AnsiString op = ToAnsi(operation), f = ToAnsi(file), p = ToAnsi(parameters), d = ToAnsi(directory);
  return ShellExecuteA(wnd, NilIfEmpty(op), NilIfEmpty(f), NilIfEmpty(p), NilIfEmpty(d), showCmd);
}

HMODULE Uc_LoadLibraryW(LPCWSTR libFileName) {
  if (Win32PlatformIsUnicode) return LoadLibraryW(libFileName);
  return LoadLibraryA(ToAnsi(libFileName).c_str());
}

HMODULE Uc_LoadLibraryExW(LPCWSTR libFileName, HANDLE file, DWORD flags) {
  if (Win32PlatformIsUnicode) return LoadLibraryExW(libFileName, file, flags);
  return LoadLibraryExA(ToAnsi(libFileName).c_str(), file, flags);
}

BOOL Uc_CreateProcessW(LPCWSTR applicationName, LPWSTR commandLine, LPSECURITY_ATTRIBUTES processAttributes,
                       LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles, DWORD creationFlags,
                       LPVOID environment, LPCWSTR currentDirectory, LPSTARTUPINFOW startupInfo,
                       LPPROCESS_INFORMATION processInformation) {
  if (Win32PlatformIsUnicode)
    return CreateProcessW(applicationName, commandLine, processAttributes, threadAttributes, inheritHandles,
                          creationFlags, environment, currentDirectory, startupInfo, processInformation);
  STARTUPINFOA info;
  std::memcpy(&info, startupInfo, sizeof info);
  AnsiString reserved = ToAnsi(startupInfo->lpReserved), desktop = ToAnsi(startupInfo->lpDesktop),
             title = ToAnsi(startupInfo->lpTitle);
  info.lpReserved = reserved.IsEmpty() ? nullptr : reserved.data();
  info.lpDesktop = desktop.IsEmpty() ? nullptr : desktop.data();
  info.lpTitle = title.IsEmpty() ? nullptr : title.data();
  AnsiString app = ToAnsi(applicationName), cmd = ToAnsi(commandLine), dir = ToAnsi(currentDirectory);
  return CreateProcessA(NilIfEmpty(app), cmd.IsEmpty() ? nullptr : cmd.data(), processAttributes, threadAttributes,
                        inheritHandles, creationFlags, environment, NilIfEmpty(dir), &info, processInformation);
}

// --- locale ---------------------------------------------------------------------------

int Uc_GetCurrencyFormatW(LCID locale, DWORD flags, LPCWSTR value, const CURRENCYFMTW* format, LPWSTR currencyStr,
                          int currencyLength) {
  if (Win32PlatformIsUnicode) return GetCurrencyFormatW(locale, flags, value, format, currencyStr, currencyLength);
  CURRENCYFMTA narrow{};
  AnsiString decimalSep, thousandSep, symbol;
  if (format) {
    narrow.NumDigits = format->NumDigits;
    narrow.LeadingZero = format->LeadingZero;
    narrow.Grouping = format->Grouping;
    narrow.NegativeOrder = format->NegativeOrder;
    narrow.PositiveOrder = format->PositiveOrder;
    decimalSep = ToAnsi(format->lpDecimalSep);
    thousandSep = ToAnsi(format->lpThousandSep);
    symbol = ToAnsi(format->lpCurrencySymbol);
    narrow.lpDecimalSep = decimalSep.data();
    narrow.lpThousandSep = thousandSep.data();
    narrow.lpCurrencySymbol = symbol.data();
  }
  AnsiString v = ToAnsi(value);
  const CURRENCYFMTA* fmt = format ? &narrow : nullptr;
  std::string out(64, '\0');
  int r = GetCurrencyFormatA(locale, flags, v.c_str(), fmt, out.data(), 64);
  if (r == 0 && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
    int need = GetCurrencyFormatA(locale, flags, v.c_str(), fmt, nullptr, 0);
    if (need > 0) {
      out.assign(need, '\0');
      r = GetCurrencyFormatA(locale, flags, v.c_str(), fmt, out.data(), need);
    }
  }
  if (r <= 0) return 0;
  // The A result counts the terminator; so does the wide one.
  WideString w = ToWide(out.data(), strnlen(out.data(), static_cast<size_t>(r)));
  const int len = w.Length() + 1;
  if (currencyLength == 0) return len;
  if (currencyLength >= len) {
    CopyBounded(currencyStr, static_cast<DWORD>(currencyLength), w);
    return len;
  }
  SetLastError(ERROR_INSUFFICIENT_BUFFER);
  return 0;
}

int Uc_CompareStringW(LCID locale, DWORD cmpFlags, LPCWSTR string1, int count1, LPCWSTR string2, int count2) {
  if (Win32PlatformIsUnicode) return CompareStringW(locale, cmpFlags, string1, count1, string2, count2);
  if (cmpFlags != 0) {
    AnsiString a1 = ToAnsiCounted(string1, count1), a2 = ToAnsiCounted(string2, count2);
    return CompareStringA(locale, cmpFlags, a1.c_str(), -1, a2.c_str(), -1);
  }
  std::wstring_view v1 = string1 ? (count1 < 0 ? std::wstring_view(string1) : std::wstring_view(string1, count1))
                                  : std::wstring_view();
  std::wstring_view v2 = string2 ? (count2 < 0 ? std::wstring_view(string2) : std::wstring_view(string2, count2))
                                  : std::wstring_view();
  int c = v1.compare(v2);
  return c < 0 ? CSTR_LESS_THAN : c == 0 ? CSTR_EQUAL : CSTR_GREATER_THAN;
}

LPWSTR Uc_CharUpperW(LPWSTR sz) {
  if (Win32PlatformIsUnicode) return CharUpperW(sz);
  return ChangeCase(sz, true);
}

LPWSTR Uc_CharLowerW(LPWSTR sz) {
  if (Win32PlatformIsUnicode) return CharLowerW(sz);
  return ChangeCase(sz, false);
}

DWORD Uc_CharUpperBuffW(LPWSTR sz, DWORD length) {
  if (Win32PlatformIsUnicode) return CharUpperBuffW(sz, length);
  for (DWORD i = 0; i < length; ++i) sz[i] = ChangeCaseOfChar(sz[i], true);
  return length;
}

DWORD Uc_CharLowerBuffW(LPWSTR sz, DWORD length) {
  if (Win32PlatformIsUnicode) return CharLowerBuffW(sz, length);
  for (DWORD i = 0; i < length; ++i) sz[i] = ChangeCaseOfChar(sz[i], false);
  return length;
}

BOOL Uc_GetStringTypeExW(LCID locale, DWORD infoType, LPCWSTR src, int count, LPWORD charType) {
  if (Win32PlatformIsUnicode) return GetStringTypeExW(locale, infoType, src, count, charType);
  AnsiString a = ToAnsiCounted(src, count);
  // The system may count the terminator of a -1 text: let it write into room of
  // our own and hand the caller only as many entries as it asked for.
  std::wstring types(static_cast<size_t>(a.Length()) + 2, L'\0');
  if (!GetStringTypeExA(locale, infoType, a.c_str(), -1, reinterpret_cast<LPWORD>(types.data()))) return FALSE;
  size_t wanted = count < 0 ? WStrLen(src) : static_cast<size_t>(count);
  std::memcpy(charType, types.data(), std::min(wanted, static_cast<size_t>(a.Length())) * sizeof(WORD));
  return TRUE;
}

int Uc_LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int bufferMax) {
  if (Win32PlatformIsUnicode) return LoadStringW(instance, id, buffer, bufferMax);
  if (HIWORD(id) == 0xFFFF) id = 0u - id;
  HRSRC res = FindResourceA(instance, MAKEINTRESOURCEA(((id >> 4) & 0xFFFF) + 1), MAKEINTRESOURCEA(6));
  if (!res) return 0;
  HGLOBAL data = LoadResource(instance, res);
  const WORD* p = data ? static_cast<const WORD*>(LockResource(data)) : nullptr;
  if (!p) return 0;
  // Sixteen counted strings per block.
  for (UINT skip = id & 15; skip > 0; --skip) p += 1 + *p;
  const int len = *p;
  if (!buffer || bufferMax < 1) return len;
  const int n = std::min(bufferMax - 1, len);
  std::memcpy(buffer, p + 1, static_cast<size_t>(n) * sizeof(wchar_t));
  buffer[n] = L'\0';
  return n;
}

// --- menus, icons, versions -------------------------------------------------------------

BOOL Uc_InsertMenuItemW(HMENU menu, UINT item, BOOL byPosition, LPCMENUITEMINFOW info) {
  MENUITEMINFOW copy;
  std::memcpy(&copy, info, sizeof copy);
  if (Win32PlatformIsUnicode) return InsertMenuItemW(menu, item, byPosition, &copy);
  MENUITEMINFOA narrow;
  std::memcpy(&narrow, &copy, sizeof narrow);
  // dwTypeData is a text only for string items; otherwise it is a bitmap
  // handle or the owner's data and stays as it is.
  bool isString = (copy.fMask & MIIM_STRING) ||
                  ((copy.fMask & MIIM_TYPE) && !(copy.fType & (MFT_BITMAP | MFT_SEPARATOR | MFT_OWNERDRAW)));
  AnsiString text;
  if (isString && copy.dwTypeData) {
    text = ToAnsi(copy.dwTypeData);
    narrow.dwTypeData = text.data();
    narrow.cch = static_cast<UINT>(text.Length());
  }
  return InsertMenuItemA(menu, item, byPosition, &narrow);
}

UINT Uc_ExtractIconExW(LPCWSTR file, int iconIndex, HICON* largeIcon, HICON* smallIcon, UINT icons) {
  if (Win32PlatformIsUnicode) return ExtractIconExW(file, iconIndex, largeIcon, smallIcon, icons);
  return ExtractIconExA(ToAnsi(file).c_str(), iconIndex, largeIcon, smallIcon, icons);
}

HICON Uc_ExtractAssociatedIconW(HINSTANCE instance, LPWSTR path, LPWORD icon) {
  if (Win32PlatformIsUnicode) return ExtractAssociatedIconW(instance, path, icon);
  // The system may write the icon's source into the path: give it room.
  std::string a = ToAnsi(path).str();
  a.resize(std::max<size_t>(a.size() + 1, MAX_PATH), '\0');
  return ExtractAssociatedIconA(instance, a.data(), icon);
}

DWORD Uc_GetFileVersionInfoSizeW(LPCWSTR fileName, LPDWORD handle) {
  if (Win32PlatformIsUnicode) return GetFileVersionInfoSizeW(fileName, handle);
  return GetFileVersionInfoSizeA(ToAnsi(fileName).c_str(), handle);
}

BOOL Uc_GetFileVersionInfoW(LPCWSTR fileName, DWORD handle, DWORD length, LPVOID data) {
  if (Win32PlatformIsUnicode) return GetFileVersionInfoW(fileName, handle, length, data);
  return GetFileVersionInfoA(ToAnsi(fileName).c_str(), handle, length, data);
}

BOOL Uc_VerQueryValueW(LPCVOID block, LPCWSTR subBlock, LPVOID* buffer, PUINT length) {
  if (Win32PlatformIsUnicode) return VerQueryValueW(block, subBlock, buffer, length);
  AnsiString a = ToAnsi(subBlock);
  if (!VerQueryValueA(block, a.c_str(), buffer, length)) return FALSE;
  static const wchar_t StringFileInfo[] = L"\\StringFileInfo";
  const size_t prefix = sizeof StringFileInfo / sizeof(wchar_t) - 1;
  if (subBlock && WStrLen(subBlock) >= prefix &&
      CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, subBlock, static_cast<int>(prefix), StringFileInfo,
                     static_cast<int>(prefix)) == CSTR_EQUAL) {
    const char* text = static_cast<const char*>(*buffer);
    if (!VerQueryValueText) VerQueryValueText = new WideString;
    *VerQueryValueText = ToWide(text, text ? strnlen(text, *length) : 0);
    *buffer = const_cast<wchar_t*>(VerQueryValueText->c_bstr());
    *length = static_cast<UINT>(VerQueryValueText->Length());
  }
  return TRUE;
}

// --- shell ---------------------------------------------------------------------------------

int Uc_SHFileOperationW(LPSHFILEOPSTRUCTW fileOp) {
  if (Win32PlatformIsUnicode) {
    LoadShellEntries();
    return pSHFileOperationW(fileOp);
  }
  SHFILEOPSTRUCTA narrow;
  std::memcpy(&narrow, fileOp, sizeof narrow);
  AnsiString from = fileOp->pFrom ? WideStringToStringEx(ExtractStringArrayStr(fileOp->pFrom), 0) : AnsiString();
  AnsiString to = fileOp->pTo ? WideStringToStringEx(ExtractStringArrayStr(fileOp->pTo), 0) : AnsiString();
  AnsiString title = ToAnsi(fileOp->lpszProgressTitle);
  narrow.pFrom = fileOp->pFrom ? from.c_str() : nullptr;
  narrow.pTo = fileOp->pTo ? to.c_str() : nullptr;
  narrow.lpszProgressTitle = title.c_str();
  narrow.hNameMappings = nullptr;
  int r = SHFileOperationA(&narrow);
  fileOp->fAnyOperationsAborted = narrow.fAnyOperationsAborted;
  fileOp->hNameMappings = nullptr;
  if (narrow.hNameMappings) {
    if (fileOp->fFlags & FOF_WANTMAPPINGHANDLE) {
      auto* source = static_cast<TNameMappingBlock*>(narrow.hNameMappings);
      const int count = source->Count;
      auto* block = static_cast<TWideNameMappingBlock*>(
          std::calloc(1, sizeof(TWideNameMappingBlock) + sizeof(SHNAMEMAPPINGW) * static_cast<size_t>(count)));
      if (block) {
        block->Count = count;
        block->Entries = reinterpret_cast<SHNAMEMAPPINGW*>(block + 1);
        for (int i = 0; i < count; ++i) {
          const SHNAMEMAPPINGA& e = source->Entries[i];
          WideString oldPath = ToWide(e.pszOldPath, e.pszOldPath ? static_cast<size_t>(e.cchOldPath) : 0);
          WideString newPath = ToWide(e.pszNewPath, e.pszNewPath ? static_cast<size_t>(e.cchNewPath) : 0);
          SHNAMEMAPPINGW& w = block->Entries[i];
          w.pszOldPath = WStrNew(oldPath.c_bstr());
          w.pszNewPath = WStrNew(newPath.c_bstr());
          w.cchOldPath = static_cast<int>(WStrLen(w.pszOldPath));
          w.cchNewPath = static_cast<int>(WStrLen(w.pszNewPath));
        }
        fileOp->hNameMappings = block;
      }
    }
    // The narrow block is the shell's; its contents now live in the wide one.
    SHFreeNameMappings(narrow.hNameMappings);
  }
  return r;
}

void Uc_SHFreeNameMappings(HANDLE nameMappings) {
  if (Win32PlatformIsUnicode) {
    SHFreeNameMappings(nameMappings);
    return;
  }
  auto* block = static_cast<TWideNameMappingBlock*>(nameMappings);
  if (!block) return;
  for (int i = 0; i < block->Count; ++i) {
    WStrDispose(block->Entries[i].pszOldPath);
    WStrDispose(block->Entries[i].pszNewPath);
  }
  std::free(block);
}

namespace {

// The caller's browse callback expects wide texts; the narrow dialog sends
// ANSI ones with its validation message.
struct TBrowseCallback {
  BFFCALLBACK Proc;
  LPARAM Data;
};

int CALLBACK NarrowBrowseCallback(HWND wnd, UINT msg, LPARAM lParam, LPARAM data) {
  auto* callback = reinterpret_cast<TBrowseCallback*>(data);
  if (msg == BFFM_VALIDATEFAILEDA) {
    WideString text = ToWide(reinterpret_cast<const char*>(lParam));
    return callback->Proc(wnd, BFFM_VALIDATEFAILEDW, reinterpret_cast<LPARAM>(text.c_bstr()), callback->Data);
  }
  return callback->Proc(wnd, msg, lParam, callback->Data);
}

}  // namespace

LPITEMIDLIST Uc_SHBrowseForFolderW(LPBROWSEINFOW bi) {
  if (Win32PlatformIsUnicode) {
    LoadShellEntries();
    return pSHBrowseForFolderW(bi);
  }
  BROWSEINFOA narrow;
  std::memcpy(&narrow, bi, sizeof narrow);
  AnsiString title = ToAnsi(bi->lpszTitle);
  narrow.lpszTitle = title.c_str();
  char displayName[MAX_PATH] = {};
  narrow.pszDisplayName = bi->pszDisplayName ? displayName : nullptr;
  TBrowseCallback callback{bi->lpfn, bi->lParam};
  if (bi->lpfn) {
    narrow.lpfn = &NarrowBrowseCallback;
    narrow.lParam = reinterpret_cast<LPARAM>(&callback);
  }
  LPITEMIDLIST result = SHBrowseForFolderA(&narrow);
  if (bi->pszDisplayName) CopyBounded(bi->pszDisplayName, MAX_PATH, ToWide(displayName));
  bi->iImage = narrow.iImage;
  return result;
}

BOOL Uc_SHGetPathFromIDListW(LPCITEMIDLIST pidl, LPWSTR path) {
  if (Win32PlatformIsUnicode) {
    LoadShellEntries();
    return pSHGetPathFromIDListW(pidl, path);
  }
  char narrow[MAX_PATH] = {};
  if (!SHGetPathFromIDListA(pidl, narrow)) return FALSE;
  CopyBounded(path, MAX_PATH, ToWide(narrow));
  return TRUE;
}

DWORD_PTR Uc_SHGetFileInfoW(LPCWSTR path, DWORD fileAttributes, SHFILEINFOW* sfi, UINT fileInfoSize, UINT flags) {
  if (Win32PlatformIsUnicode) {
    LoadShellEntries();
    return pSHGetFileInfoW(path, fileAttributes, sfi, fileInfoSize, flags);
  }
  // With SHGFI_PIDL the "path" is an item identifier list, not a text.
  AnsiString narrowPath = (flags & SHGFI_PIDL) ? AnsiString() : ToAnsi(path);
  LPCSTR p = (flags & SHGFI_PIDL) ? reinterpret_cast<LPCSTR>(path) : narrowPath.c_str();
  SHFILEINFOA narrow{};
  DWORD_PTR r = SHGetFileInfoA(p, fileAttributes, sfi ? &narrow : nullptr, sfi ? sizeof narrow : 0, flags);
  if (sfi) {
    std::memset(sfi, 0, sizeof *sfi);
    sfi->hIcon = narrow.hIcon;
    sfi->iIcon = narrow.iIcon;
    sfi->dwAttributes = narrow.dwAttributes;
    CopyBounded(sfi->szDisplayName, MAX_PATH, ToWide(narrow.szDisplayName, strnlen(narrow.szDisplayName, MAX_PATH)));
    CopyBounded(sfi->szTypeName, 80, ToWide(narrow.szTypeName, strnlen(narrow.szTypeName, 80)));
  }
  return r;
}

bool Uc_Is_IntResource(LPCWSTR resName) { return HIWORD(reinterpret_cast<UINT_PTR>(resName)) == 0; }
