// One wide entry point for every Win32 call that takes or returns text. Each
// Uc_<call> has the wide call's parameters, result and contract. On the Unicode
// platform it calls the W function; otherwise the A function, with the texts
// converted through the ANSI code page both ways. Win32PlatformIsUnicode is read
// at every call.
#pragma once

#include "system.h"

#include <shellapi.h>
#include <shlobj.h>

BOOL Uc_ExtTextOutW(HDC dc, int x, int y, UINT options, const RECT* rect, LPCWSTR str, UINT count, const INT* dx);
BOOL Uc_SetWindowTextW(HWND wnd, LPCWSTR text);
BOOL Uc_RemoveDirectoryW(LPCWSTR pathName);
DWORD Uc_GetShortPathNameW(LPCWSTR longPath, LPWSTR shortPath, DWORD bufferLength);
DWORD Uc_GetFullPathNameW(LPCWSTR fileName, DWORD bufferLength, LPWSTR buffer, LPWSTR* filePart);
HANDLE Uc_CreateFileW(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode, LPSECURITY_ATTRIBUTES security,
                      DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE templateFile);
HANDLE Uc_FindFirstFileW(LPCWSTR fileName, LPWIN32_FIND_DATAW findData);
BOOL Uc_FindNextFileW(HANDLE findFile, LPWIN32_FIND_DATAW findData);
DWORD Uc_GetFileAttributesW(LPCWSTR fileName);
BOOL Uc_SetFileAttributesW(LPCWSTR fileName, DWORD attributes);
BOOL Uc_CreateDirectoryW(LPCWSTR pathName, LPSECURITY_ATTRIBUTES security);
BOOL Uc_MoveFileW(LPCWSTR existingFileName, LPCWSTR newFileName);
BOOL Uc_CopyFileW(LPCWSTR existingFileName, LPCWSTR newFileName, BOOL failIfExists);
BOOL Uc_DeleteFileW(LPCWSTR fileName);
int Uc_DrawTextW(HDC dc, LPCWSTR str, int count, LPRECT rect, UINT format);
int Uc_DrawTextExW(HDC dc, LPWSTR str, int count, LPRECT rect, UINT format, LPDRAWTEXTPARAMS params);
BOOL Uc_GetDiskFreeSpaceW(LPCWSTR rootPathName, LPDWORD sectorsPerCluster, LPDWORD bytesPerSector,
                          LPDWORD numberOfFreeClusters, LPDWORD totalNumberOfClusters);
BOOL Uc_GetVolumeInformationW(LPCWSTR rootPathName, LPWSTR volumeNameBuffer, DWORD volumeNameSize,
                              LPDWORD volumeSerialNumber, LPDWORD maximumComponentLength,
                              LPDWORD fileSystemFlags, LPWSTR fileSystemNameBuffer, DWORD fileSystemNameSize);
DWORD Uc_GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size);
DWORD Uc_GetTempPathW(DWORD bufferLength, LPWSTR buffer);
UINT Uc_GetTempFileNameW(LPCWSTR pathName, LPCWSTR prefixString, UINT unique, LPWSTR tempFileName);
UINT Uc_GetWindowsDirectoryW(LPWSTR buffer, UINT size);
UINT Uc_GetSystemDirectoryW(LPWSTR buffer, UINT size);
DWORD Uc_GetCurrentDirectoryW(DWORD bufferLength, LPWSTR buffer);
BOOL Uc_SetCurrentDirectoryW(LPCWSTR pathName);
BOOL Uc_GetComputerNameW(LPWSTR buffer, LPDWORD size);
BOOL Uc_GetUserNameW(LPWSTR buffer, LPDWORD size);
HINSTANCE Uc_ShellExecuteW(HWND wnd, LPCWSTR operation, LPCWSTR file, LPCWSTR parameters, LPCWSTR directory,
                           INT showCmd);
HMODULE Uc_LoadLibraryW(LPCWSTR libFileName);
HMODULE Uc_LoadLibraryExW(LPCWSTR libFileName, HANDLE file, DWORD flags);
BOOL Uc_CreateProcessW(LPCWSTR applicationName, LPWSTR commandLine, LPSECURITY_ATTRIBUTES processAttributes,
                       LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles, DWORD creationFlags,
                       LPVOID environment, LPCWSTR currentDirectory, LPSTARTUPINFOW startupInfo,
                       LPPROCESS_INFORMATION processInformation);
int Uc_GetCurrencyFormatW(LCID locale, DWORD flags, LPCWSTR value, const CURRENCYFMTW* format, LPWSTR currencyStr,
                          int currencyLength);
int Uc_CompareStringW(LCID locale, DWORD cmpFlags, LPCWSTR string1, int count1, LPCWSTR string2, int count2);
// A pointer to a NUL-terminated text (changed in place) or one character in the
// low word (high word 0).
LPWSTR Uc_CharUpperW(LPWSTR sz);
LPWSTR Uc_CharLowerW(LPWSTR sz);
DWORD Uc_CharUpperBuffW(LPWSTR sz, DWORD length);
DWORD Uc_CharLowerBuffW(LPWSTR sz, DWORD length);
BOOL Uc_GetStringTypeExW(LCID locale, DWORD infoType, LPCWSTR src, int count, LPWORD charType);
int Uc_LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int bufferMax);
BOOL Uc_InsertMenuItemW(HMENU menu, UINT item, BOOL byPosition, LPCMENUITEMINFOW info);
UINT Uc_ExtractIconExW(LPCWSTR file, int iconIndex, HICON* largeIcon, HICON* smallIcon, UINT icons);
HICON Uc_ExtractAssociatedIconW(HINSTANCE instance, LPWSTR path, LPWORD icon);
DWORD Uc_GetFileVersionInfoSizeW(LPCWSTR fileName, LPDWORD handle);
BOOL Uc_GetFileVersionInfoW(LPCWSTR fileName, DWORD handle, DWORD length, LPVOID data);
// On the narrow road a "\StringFileInfo" value stays valid until the next such call.
BOOL Uc_VerQueryValueW(LPCVOID block, LPCWSTR subBlock, LPVOID* buffer, PUINT length);
int Uc_SHFileOperationW(LPSHFILEOPSTRUCTW fileOp);
void Uc_SHFreeNameMappings(HANDLE nameMappings);
LPITEMIDLIST Uc_SHBrowseForFolderW(LPBROWSEINFOW bi);
BOOL Uc_SHGetPathFromIDListW(LPCITEMIDLIST pidl, LPWSTR path);
DWORD_PTR Uc_SHGetFileInfoW(LPCWSTR path, DWORD fileAttributes, SHFILEINFOW* sfi, UINT fileInfoSize, UINT flags);
// An integer resource identifier (high word 0) rather than a name.
bool Uc_Is_IntResource(LPCWSTR resName);

// Language-identifier arithmetic. The Windows headers define these as macros,
// and their SORTIDFROMLCID keeps only four bits of the sort identifier; here it
// is the whole high word.
#undef MAKELANGID
#undef PRIMARYLANGID
#undef SUBLANGID
#undef MAKELCID
#undef LANGIDFROMLCID
#undef SORTIDFROMLCID
constexpr WORD MAKELANGID(WORD primary, WORD sub) { return static_cast<WORD>((sub << 10) | primary); }
constexpr WORD PRIMARYLANGID(WORD lang) { return static_cast<WORD>(lang & 0x3FF); }
constexpr WORD SUBLANGID(WORD lang) { return static_cast<WORD>(lang >> 10); }
constexpr DWORD MAKELCID(WORD lang, WORD sort) { return (static_cast<DWORD>(sort) << 16) | lang; }
constexpr WORD LANGIDFROMLCID(DWORD lcid) { return static_cast<WORD>(lcid); }
constexpr WORD SORTIDFROMLCID(DWORD lcid) { return static_cast<WORD>(lcid >> 16); }

void UnitInit_UcWindows();
void UnitFini_UcWindows();
