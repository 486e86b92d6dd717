// Wide counterparts of the class library's file-name, file-system, string,
// date, currency and error-message routines. Every file-system call goes
// through the Uc_ wrappers, so any Unicode name works on the Unicode platform.
// File functions report failure by their results and raise nothing, except
// WideForceDirectories on an empty name and WideGetModuleFileName.
#pragma once

#include "system.h"
#include "sysutils.h"

#include <vector>

// The Unicode layer's own exception classes.
CL_EXCEPTION(EUcUserError, Exception)
CL_EXCEPTION(EUcGeneralError, Exception)
CL_EXCEPTION(EUcInternalError, Exception)
// The class library has no packages; WideLoadPackage raises this when the
// module does not load.
CL_EXCEPTION(EPackageError, Exception)

enum TUcTextLineBreakStyle { tlbsLF = 0, tlbsCRLF = 1, tlbsCR = 2 };

// One wide file search.
struct TSearchRecW {
  int Time = 0;  // DOS date-time of the last write (date in the high word)
  int64_t Size = 0;
  int Attr = 0;
  WideString Name;
  int ExcludeAttr = 0;
  HANDLE FindHandle = INVALID_HANDLE_VALUE;
  WIN32_FIND_DATAW FindData{};
};

// --- file system ----------------------------------------------------------------

// Create or truncate, read and write access, no sharing.
HANDLE WideFileCreate(const WideString& fileName);
// mode: access in the low two bits (0 read, 1 write, 2 both), sharing in bits 4-7
// (0/1 exclusive, 2 deny write, 3 deny read, 4 deny none), as fmOpen*/fmShare*.
HANDLE WideFileOpen(const WideString& fileName, unsigned mode);
// The access and share flags CreateFile gets for an open mode.
void WideFileOpenFlags(unsigned mode, DWORD& access, DWORD& share);
bool WideFileExists(const WideString& name);       // false for a folder
bool WideDirectoryExists(const WideString& name);  // false for a file
DWORD WideFileGetAttr(const WideString& name);     // 0xFFFFFFFF when absent
bool WideFileSetAttr(const WideString& name, DWORD attr);
bool WideFileIsReadOnly(const WideString& name);   // true for a missing name
bool WideFileSetReadOnly(const WideString& name, bool readOnly);
// DOS date-time of the last write in local time; -1 when missing, a folder, or
// not representable (before 1980).
int WideFileAge(const WideString& name);
bool WideFileAge(const WideString& name, TDateTime& fileDateTime);
// Creates the folder and its missing parents; an empty name raises
// EUcGeneralError "Unable to create directory".
bool WideForceDirectories(WideString dir);
// name itself when it exists, else the first folder of the ';' list holding it.
WideString WideFileSearch(const WideString& name, const WideString& dirList);
bool WideRenameFile(const WideString& oldName, const WideString& newName);
bool WideDeleteFile(const WideString& fileName);
bool WideCopyFile(const WideString& fromFile, const WideString& toFile, bool failIfExists);
bool WideCreateDir(const WideString& dir);
bool WideRemoveDir(const WideString& dir);
bool WideSetCurrentDir(const WideString& dir);
WideString WideGetCurrentDir();
// 0 on success, else the system error code (ERROR_NO_MORE_FILES at the end).
// Hidden, system, volume and folder entries appear only when attr asks for them.
int WideFindFirst(const WideString& path, int attr, TSearchRecW& f);
int WideFindNext(TSearchRecW& f);
void WideFindClose(TSearchRecW& f);
// The full path (paths of any length); "" when the system refuses.
WideString WideExpandFileName(const WideString& fileName);
// The 8.3 form; "" when the file does not exist or the call fails.
WideString WideExtractShortPathName(const WideString& fileName);
// Raises the last OS error when the call fails.
WideString WideGetModuleFileName(HINSTANCE instance);
HMODULE WideSafeLoadLibrary(const WideString& fileName, UINT errorMode = SEM_NOOPENFILEERRORBOX);
// Loads with the open-file error box off; EPackageError "Can't load package %s.\r\n%s".
HMODULE WideLoadPackage(const WideString& name);

// --- file names (indexes 1-based) -------------------------------------------

int WideLastDelimiter(const WideString& delimiters, const WideString& s);
bool WideIsDelimiter(const WideString& delimiters, const WideString& s, int index);
bool WideIsPathDelimiter(const WideString& s, int index);
WideString WideIncludeTrailingPathDelimiter(const WideString& s);
WideString WideIncludeTrailingBackslash(const WideString& s);
WideString WideExcludeTrailingPathDelimiter(const WideString& s);
WideString WideExcludeTrailingBackslash(const WideString& s);
WideString WideExtractFilePath(const WideString& fileName);
WideString WideExtractFileDir(const WideString& fileName);
WideString WideExtractFileName(const WideString& fileName);
WideString WideExtractFileExt(const WideString& fileName);
WideString WideChangeFileExt(const WideString& fileName, const WideString& extension);
WideString WideExtractFileDrive(const WideString& fileName);
WideString WideExtractRelativePath(const WideString& baseName, const WideString& destName);

// --- strings ---------------------------------------------------------------------

WideString Uc_WideUpperCase(const WideString& s);
WideString Uc_WideLowerCase(const WideString& s);
wchar_t UcWideLastChar(const WideString& s);  // NUL for an empty string
int WideTextPos(const WideString& subStr, const WideString& s);
// First occurrence starting after position offset; 0 when absent, and 0 for an
// offset below 0 or past the end of s.
int WidePosEx(const WideString& subStr, const WideString& s, int offset = 1);
int WideTextPosEx(const WideString& subStr, const WideString& s, int offset = 1);

enum : unsigned { rfReplaceAll = 1, rfIgnoreCase = 2 };
WideString Uc_WideStringReplace(const WideString& s, const WideString& oldPattern, const WideString& newPattern,
                                unsigned flags, bool wholeWord = false);

WideString UcAdjustLineBreaks(const WideString& s, TUcTextLineBreakStyle style = tlbsCRLF);
int UcAdjustLineBreaksLength(const WideString& s, TUcTextLineBreakStyle style = tlbsCRLF);

// breakChars holds byte characters; quoted runs (' or ") are never broken.
WideString WideWrapText(const WideString& line, const WideString& breakStr, const AnsiString& breakChars,
                        int maxCol);
WideString WideWrapText(const WideString& line, int maxCol = 45);

// Wide formatting with the class library's Format rules.
WideString Uc_WideFormat(const WideString& format, std::initializer_list<TVarRec> args);
WideString Uc_WideFormat(const WideString& format, const std::vector<TVarRec>& args);
void Uc_WideFmtStr(WideString& result, const WideString& format, const std::vector<TVarRec>& args);
// Characters written (at most bufLen).
unsigned Uc_WideFormatBuf(wchar_t* buffer, unsigned bufLen, const wchar_t* format, unsigned formatLength,
                          const std::vector<TVarRec>& args);

// Character types from the system's tables (CT_CTYPE1); a failing query raises
// the OS error.
bool IsWideCharUpper(wchar_t c);
bool IsWideCharLower(wchar_t c);
bool IsWideCharDigit(wchar_t c);
bool IsWideCharSpace(wchar_t c);
bool IsWideCharPunct(wchar_t c);
bool IsWideCharCntrl(wchar_t c);
bool IsWideCharBlank(wchar_t c);
bool IsWideCharXDigit(wchar_t c);
bool IsWideCharAlpha(wchar_t c);
bool IsWideCharAlphaNumeric(wchar_t c);

// Whether the system ANSI code page holds the character / every character.
bool IsWideCharMappableToAnsi(wchar_t c);
bool IsWideStringMappableToAnsi(const WideString& s);
// Begins with "{\rtf" or "{urtf", any case.
bool IsRTF(const WideString& value);

// NUL-separated arrays ended by an empty entry.
WideString ExtractStringArrayStr(const wchar_t* p);  // separators and final double NUL included
WideString ExtractStringFromStringArray(const wchar_t*& p, wchar_t separator = L'\0');
std::vector<WideString> ExtractStringsFromStringArray(const wchar_t* p, wchar_t separator = L'\0');

// --- dates, currency, messages ---------------------------------------------------

bool UcTryStrToDateTime(const WideString& s, TDateTime& value);
bool UcTryStrToDate(const WideString& s, TDateTime& value);
bool UcTryStrToTime(const WideString& s, TDateTime& value);
bool ValidDateTimeStr(const WideString& s);
bool ValidDateStr(const WideString& s);
bool ValidTimeStr(const WideString& s);
TDateTime UcStrToDateTimeDef(const WideString& s, TDateTime def);
TDateTime UcStrToDateDef(const WideString& s, TDateTime def);
TDateTime UcStrToTimeDef(const WideString& s, TDateTime def);
TDateTime UcStrToDateTime(const WideString& s);  // EConvertError
TDateTime UcStrToDate(const WideString& s);
TDateTime UcStrToTime(const WideString& s);

// A currency value: the amount times 10000 (four decimal places).
using Currency = int64_t;
WideString UcCurrToStr(Currency value, const CURRENCYFMTW* format = nullptr);
Currency UcStrToCurr(const WideString& s);  // EOSError on failure
bool ValidCurrencyStr(const WideString& s);
Currency UcStrToCurrDef(const WideString& s, Currency def);
// Fills fmt from the thread locale; its texts stay valid on this thread until
// the next call.
void GetDefaultCurrencyFmt(CURRENCYFMTW& fmt);

WideString WideGetLocaleStr(LCID locale, LCTYPE localeType, const WideString& def);
WideString WideSysErrorMessage(DWORD errorCode);
WideString WideLibraryErrorMessage(const WideString& libName, HINSTANCE dll, DWORD errorCode);
bool CheckWin32Version(int major, int minor = 0);

// Return the value; raise the last OS error when it is null (or -1 for files).
template <class H> H WinCheckH(H h) {
  if (!h) RaiseLastOSError();
  return h;
}
template <class P> P WinCheckP(P p) {
  if (!p) RaiseLastOSError();
  return p;
}
inline HANDLE WinCheckFileH(HANDLE h) {
  if (h == INVALID_HANDLE_VALUE) RaiseLastOSError();
  return h;
}

// The class library's number texts with '.' as the decimal separator.
WideString ENG_US_FloatToStr(double value);
double ENG_US_StrToFloat(const WideString& s);

void UnitInit_UcSysUtils();
void UnitFini_UcSysUtils();
