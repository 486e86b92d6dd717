#include "UcSysUtils.h"

#include "UcCodePages.h"
#include "UcFormatStrUtils.h"
#include "UcWideStrUtils.h"
#include "UcWindows.h"

#include <float.h>
#include <oleauto.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

CL_DEFINE_CLASS(EUcUserError, Exception)
CL_DEFINE_CLASS(EUcGeneralError, Exception)
CL_DEFINE_CLASS(EUcInternalError, Exception)
CL_DEFINE_CLASS(EPackageError, Exception)

namespace {

// The three texts GetDefaultCurrencyFmt hands out, one set per thread.
thread_local std::wstring CurrencyDecimalSep;
thread_local std::wstring CurrencyThousandSep;
thread_local std::wstring CurrencySymbol;

// Calls a wide function that fills a buffer and returns the length written, or
// the size it needs when the buffer is too small (the system then writes
// nothing); calls again with that size. Empty when the call fails.
template <class F> bool CallWideBuffer(DWORD size, F call, std::wstring& out) {
  out.assign(size, L'\0');
  DWORD r = call(out.data(), size);
  for (int tries = 0; r >= size && tries < 3; ++tries) {
    size = r + 1;
    out.assign(size, L'\0');
    r = call(out.data(), size);
  }
  if (r == 0 || r >= size) {
    out.clear();
    return false;
  }
  out.resize(r);
  return true;
}

}  // namespace

void UnitInit_UcSysUtils() {}

void UnitFini_UcSysUtils() {
  std::wstring().swap(CurrencyDecimalSep);
  std::wstring().swap(CurrencyThousandSep);
  std::wstring().swap(CurrencySymbol);
}

// --- file system --------------------------------------------------------------------

void WideFileOpenFlags(unsigned mode, DWORD& access, DWORD& share) {
  static const DWORD accessModes[4] = {GENERIC_READ, GENERIC_WRITE, GENERIC_READ | GENERIC_WRITE, 0};
  static const DWORD shareModes[5] = {0, 0, FILE_SHARE_READ, FILE_SHARE_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE};
  access = accessModes[mode & 3];
  const unsigned sharing = (mode & 0xF0) >> 4;
  share = sharing < 5 ? shareModes[sharing] : 0;
}

HANDLE WideFileCreate(const WideString& fileName) {
  return Uc_CreateFileW(fileName.c_bstr(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
}

HANDLE WideFileOpen(const WideString& fileName, unsigned mode) {
  DWORD access, share;
  WideFileOpenFlags(mode, access, share);
  return Uc_CreateFileW(fileName.c_bstr(), access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool WideFileExists(const WideString& name) {
  WIN32_FIND_DATAW data;
  HANDLE h = Uc_FindFirstFileW(name.c_bstr(), &data);
  if (h == INVALID_HANDLE_VALUE) return false;
  FindClose(h);
  return !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool WideDirectoryExists(const WideString& name) {
  DWORD attr = WideFileGetAttr(name);
  return attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY);
}

DWORD WideFileGetAttr(const WideString& name) { return Uc_GetFileAttributesW(name.c_bstr()); }

bool WideFileSetAttr(const WideString& name, DWORD attr) { return Uc_SetFileAttributesW(name.c_bstr(), attr) != 0; }

bool WideFileIsReadOnly(const WideString& name) { return (WideFileGetAttr(name) & FILE_ATTRIBUTE_READONLY) != 0; }

bool WideFileSetReadOnly(const WideString& name, bool readOnly) {
  DWORD attr = WideFileGetAttr(name);
  if (attr == INVALID_FILE_ATTRIBUTES) return false;
  attr = readOnly ? (attr | FILE_ATTRIBUTE_READONLY) : (attr & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  return WideFileSetAttr(name, attr);
}

namespace {
// The last-write time of the first match that is not a folder.
bool FileLastWrite(const WideString& name, FILETIME& local) {
  WIN32_FIND_DATAW data;
  HANDLE h = Uc_FindFirstFileW(name.c_bstr(), &data);
  if (h == INVALID_HANDLE_VALUE) return false;
  FindClose(h);
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
  return FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) != 0;
}
}  // namespace

int WideFileAge(const WideString& name) {
  FILETIME local;
  WORD date = 0, time = 0;
  if (!FileLastWrite(name, local) || !FileTimeToDosDateTime(&local, &date, &time)) return -1;
  return static_cast<int>((static_cast<DWORD>(date) << 16) | time);
}

bool WideFileAge(const WideString& name, TDateTime& fileDateTime) {
  FILETIME local;
  SYSTEMTIME st;
  if (!FileLastWrite(name, local) || !FileTimeToSystemTime(&local, &st)) return false;
  fileDateTime = SystemTimeToDateTime(st);
  return true;
}

bool WideForceDirectories(WideString dir) {
  if (dir.IsEmpty()) throw EUcGeneralError("Unable to create directory");
  dir = WideExcludeTrailingBackslash(dir);
  // No file system takes a path longer than a counted system string holds.
  if (dir.Length() > 32767) return false;
  // The levels are found on the text alone (the length of each prefix that
  // names a folder, deepest first), then made from the top down, stopping at
  // the first the system refuses. A loop, because a name of tens of thousands
  // of levels would overflow the stack of a recursion, and top-down, because
  // asking the system about every deep level first costs a path walk each.
  const std::wstring& s = dir.str();
  std::vector<int> levels;
  for (int len = dir.Length();;) {
    if (len < 3) break;
    int last = len;
    while (last > 0 && s[last - 1] != L'\\' && s[last - 1] != L':') --last;
    // A drive or a name ending in a delimiter: nothing to make.
    if (last == len) break;
    levels.push_back(len);
    // A relative name of one folder has no parent to force.
    if (last == 0) break;
    len = s[last - 1] == L'\\' ? last - 1 : last;
  }
  bool creating = false;
  for (auto it = levels.rbegin(); it != levels.rend(); ++it) {
    const WideString level = dir.SubString(1, *it);
    if (!creating && WideDirectoryExists(level)) continue;
    creating = true;
    if (!WideCreateDir(level)) return false;
  }
  return true;
}

WideString WideFileSearch(const WideString& name, const WideString& dirList) {
  if (WideFileExists(name)) return name;
  const std::wstring& list = dirList.str();
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(L';', start);
    if (end == std::wstring::npos) end = list.size();
    std::wstring folder = list.substr(start, end - start);
    start = end + 1;
    if (folder.empty()) continue;
    if (folder.back() != L':' && folder.back() != L'\\') folder += L'\\';
    WideString candidate = WideString(folder) + name;
    if (WideFileExists(candidate)) return candidate;
  }
  return WideString();
}

bool WideRenameFile(const WideString& oldName, const WideString& newName) {
  return Uc_MoveFileW(oldName.c_bstr(), newName.c_bstr()) != 0;
}

bool WideDeleteFile(const WideString& fileName) { return Uc_DeleteFileW(fileName.c_bstr()) != 0; }

bool WideCopyFile(const WideString& fromFile, const WideString& toFile, bool failIfExists) {
  return Uc_CopyFileW(fromFile.c_bstr(), toFile.c_bstr(), failIfExists) != 0;
}

bool WideCreateDir(const WideString& dir) { return Uc_CreateDirectoryW(dir.c_bstr(), nullptr) != 0; }
bool WideRemoveDir(const WideString& dir) { return Uc_RemoveDirectoryW(dir.c_bstr()) != 0; }
bool WideSetCurrentDir(const WideString& dir) { return Uc_SetCurrentDirectoryW(dir.c_bstr()) != 0; }

WideString WideGetCurrentDir() {
  std::wstring out;
  CallWideBuffer(MAX_PATH, [](wchar_t* b, DWORD n) { return Uc_GetCurrentDirectoryW(n, b); }, out);
  return WideString(std::move(out));
}

namespace {
// Skips the matches the search excludes, then fills the record from the match.
int FindMatchingFile(TSearchRecW& f) {
  while (f.FindData.dwFileAttributes & static_cast<DWORD>(f.ExcludeAttr))
    if (!Uc_FindNextFileW(f.FindHandle, &f.FindData)) return static_cast<int>(GetLastError());
  FILETIME local;
  WORD date = 0, time = 0;
  FileTimeToLocalFileTime(&f.FindData.ftLastWriteTime, &local);
  FileTimeToDosDateTime(&local, &date, &time);
  f.Time = static_cast<int>((static_cast<DWORD>(date) << 16) | time);
  f.Size = (static_cast<int64_t>(f.FindData.nFileSizeHigh) << 32) | f.FindData.nFileSizeLow;
  f.Attr = static_cast<int>(f.FindData.dwFileAttributes);
  f.Name = WideString(f.FindData.cFileName, static_cast<int>(wcsnlen(f.FindData.cFileName, MAX_PATH)));
  return 0;
}
}  // namespace

int WideFindFirst(const WideString& path, int attr, TSearchRecW& f) {
  f.ExcludeAttr = ~attr & (faHidden | faSysFile | faVolumeID | faDirectory);
  f.FindHandle = Uc_FindFirstFileW(path.c_bstr(), &f.FindData);
  if (f.FindHandle == INVALID_HANDLE_VALUE) return static_cast<int>(GetLastError());
  int r = FindMatchingFile(f);
  if (r != 0) WideFindClose(f);
  return r;
}

int WideFindNext(TSearchRecW& f) {
  if (!Uc_FindNextFileW(f.FindHandle, &f.FindData)) return static_cast<int>(GetLastError());
  return FindMatchingFile(f);
}

void WideFindClose(TSearchRecW& f) {
  if (f.FindHandle != INVALID_HANDLE_VALUE) FindClose(f.FindHandle);
  f.FindHandle = INVALID_HANDLE_VALUE;
}

WideString WideExpandFileName(const WideString& fileName) {
  std::wstring out;
  CallWideBuffer(
      MAX_PATH,
      [&](wchar_t* b, DWORD n) {
        LPWSTR part;
        return Uc_GetFullPathNameW(fileName.c_bstr(), n, b, &part);
      },
      out);
  return WideString(std::move(out));
}

WideString WideExtractShortPathName(const WideString& fileName) {
  std::wstring out;
  CallWideBuffer(
      MAX_PATH, [&](wchar_t* b, DWORD n) { return Uc_GetShortPathNameW(fileName.c_bstr(), b, n); }, out);
  return WideString(std::move(out));
}

WideString WideGetModuleFileName(HINSTANCE instance) {
  // A name that fills the buffer may have been cut (and left unterminated):
  // ask again with more room.
  std::wstring out(MAX_PATH, L'\0');
  DWORD r = WinCheckH(Uc_GetModuleFileNameW(instance, out.data(), static_cast<DWORD>(out.size())));
  while (r >= out.size() && out.size() < 0x8000) {
    out.assign(out.size() * 2, L'\0');
    r = WinCheckH(Uc_GetModuleFileNameW(instance, out.data(), static_cast<DWORD>(out.size())));
  }
  out.resize(wcsnlen(out.c_str(), std::min<size_t>(r, out.size())));
  return WideString(std::move(out));
}

HMODULE WideSafeLoadLibrary(const WideString& fileName, UINT errorMode) {
  UINT oldMode = SetErrorMode(errorMode);
  HMODULE module = Uc_LoadLibraryW(fileName.c_bstr());
  DWORD error = GetLastError();
  _clearfp();
  SetErrorMode(oldMode);
  SetLastError(error);
  return module;
}

HMODULE WideLoadPackage(const WideString& name) {
  HMODULE module = WideSafeLoadLibrary(name, SEM_NOOPENFILEERRORBOX);
  if (!module) {
    DWORD error = GetLastError();
    throw EPackageError(Format("Can't load package %s.\r\n%s", {name, WideSysErrorMessage(error)}));
  }
  return module;
}

// --- file names ------------------------------------------------------------------------

int WideLastDelimiter(const WideString& delimiters, const WideString& s) {
  const std::wstring& d = delimiters.str();
  const std::wstring& t = s.str();
  for (size_t i = t.size(); i-- > 0;)
    if (t[i] != L'\0' && d.find(t[i]) != std::wstring::npos) return static_cast<int>(i) + 1;
  return 0;
}

bool WideIsDelimiter(const WideString& delimiters, const WideString& s, int index) {
  if (index < 1 || index > s.Length()) return false;
  return delimiters.str().find(s[index]) != std::wstring::npos;
}

bool WideIsPathDelimiter(const WideString& s, int index) {
  return index >= 1 && index <= s.Length() && s[index] == L'\\';
}

WideString WideIncludeTrailingPathDelimiter(const WideString& s) {
  if (!s.IsEmpty() && s[s.Length()] == L'\\') return s;
  return s + L"\\";
}
WideString WideIncludeTrailingBackslash(const WideString& s) { return WideIncludeTrailingPathDelimiter(s); }

WideString WideExcludeTrailingPathDelimiter(const WideString& s) {
  if (!s.IsEmpty() && s[s.Length()] == L'\\') return s.SubString(1, s.Length() - 1);
  return s;
}
WideString WideExcludeTrailingBackslash(const WideString& s) { return WideExcludeTrailingPathDelimiter(s); }

WideString WideExtractFilePath(const WideString& fileName) {
  return fileName.SubString(1, WideLastDelimiter(L"\\:", fileName));
}

WideString WideExtractFileDir(const WideString& fileName) {
  int i = WideLastDelimiter(L"\\:", fileName);
  if (i > 1 && fileName[i] == L'\\' && fileName[i - 1] != L'\\' && fileName[i - 1] != L':') --i;
  return fileName.SubString(1, i);
}

WideString WideExtractFileName(const WideString& fileName) {
  return fileName.SubString(WideLastDelimiter(L"\\:", fileName) + 1, fileName.Length());
}

WideString WideExtractFileExt(const WideString& fileName) {
  int i = WideLastDelimiter(L".\\:", fileName);
  if (i > 0 && fileName[i] == L'.') return fileName.SubString(i, fileName.Length());
  return WideString();
}

WideString WideChangeFileExt(const WideString& fileName, const WideString& extension) {
  int i = WideLastDelimiter(L".\\:", fileName);
  if (i == 0 || fileName[i] != L'.') i = fileName.Length() + 1;
  return fileName.SubString(1, i - 1) + extension;
}

WideString WideExtractFileDrive(const WideString& fileName) {
  const std::wstring& s = fileName.str();
  if (s.size() >= 2 && s[1] == L':') return fileName.SubString(1, 2);
  if (s.size() >= 2 && s[0] == L'\\' && s[1] == L'\\') {
    size_t server = s.find(L'\\', 2);
    if (server == std::wstring::npos) return fileName;
    size_t share = s.find(L'\\', server + 1);
    if (share == std::wstring::npos) return fileName;
    return WideString(s.substr(0, share));
  }
  return WideString();
}

namespace {
std::vector<std::wstring> SplitFolders(const WideString& path) {
  std::vector<std::wstring> parts;
  std::wstring part;
  for (wchar_t c : path.str()) {
    if (c == L'\\') {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  if (!part.empty()) parts.push_back(part);
  return parts;
}

bool SameTextW(const WideString& a, const WideString& b) { return Uc_WideUpperCase(a) == Uc_WideUpperCase(b); }
}  // namespace

WideString WideExtractRelativePath(const WideString& baseName, const WideString& destName) {
  const WideString basePath = WideExtractFilePath(baseName);
  const WideString destPath = WideExtractFilePath(destName);
  const WideString baseDrive = WideExtractFileDrive(basePath);
  const WideString destDrive = WideExtractFileDrive(destPath);
  if (!SameTextW(baseDrive, destDrive)) return destName;
  const auto baseDirs = SplitFolders(basePath.SubString(baseDrive.Length() + 1, basePath.Length()));
  const auto destDirs = SplitFolders(destPath.SubString(destDrive.Length() + 1, destPath.Length()));
  size_t common = 0;
  while (common < baseDirs.size() && common < destDirs.size() &&
         SameTextW(WideString(baseDirs[common]), WideString(destDirs[common])))
    ++common;
  std::wstring r;
  for (size_t i = common; i < baseDirs.size(); ++i) r += L"..\\";
  for (size_t i = common; i < destDirs.size(); ++i) r += destDirs[i] + L"\\";
  return WideString(r) + WideExtractFileName(destName);
}

// --- strings -----------------------------------------------------------------------------

WideString Uc_WideUpperCase(const WideString& s) {
  WideString r = s;
  if (!r.IsEmpty()) Uc_CharUpperBuffW(r.data(), static_cast<DWORD>(r.Length()));
  return r;
}

WideString Uc_WideLowerCase(const WideString& s) {
  WideString r = s;
  if (!r.IsEmpty()) Uc_CharLowerBuffW(r.data(), static_cast<DWORD>(r.Length()));
  return r;
}

wchar_t UcWideLastChar(const WideString& s) { return s.IsEmpty() ? L'\0' : s[s.Length()]; }

int WideTextPos(const WideString& subStr, const WideString& s) {
  return Uc_WideUpperCase(s).Pos(Uc_WideUpperCase(subStr));
}

int WidePosEx(const WideString& subStr, const WideString& s, int offset) {
  if (s.IsEmpty() || offset < 0 || offset > s.Length()) return 0;
  int p = s.SubString(offset + 1, s.Length()).Pos(subStr);
  return p == 0 ? 0 : p + offset;
}

int WideTextPosEx(const WideString& subStr, const WideString& s, int offset) {
  return WidePosEx(Uc_WideUpperCase(subStr), Uc_WideUpperCase(s), offset);
}

namespace {
bool IsWordSeparator(wchar_t c) { return c == L'\0' || IsWideCharSpace(c) || IsWideCharPunct(c); }
}  // namespace

WideString Uc_WideStringReplace(const WideString& s, const WideString& oldPattern, const WideString& newPattern,
                                unsigned flags, bool wholeWord) {
  const bool ignoreCase = flags & rfIgnoreCase;
  std::wstring search = ignoreCase ? Uc_WideUpperCase(s).str() : s.str();
  const std::wstring pattern = ignoreCase ? Uc_WideUpperCase(oldPattern).str() : oldPattern.str();
  std::wstring rest = s.str();
  std::wstring result;
  while (!search.empty()) {
    size_t hit = pattern.empty() ? std::wstring::npos : search.find(pattern);
    if (hit == std::wstring::npos) {
      result += rest;
      break;
    }
    const size_t after = hit + pattern.size();
    if (wholeWord) {
      wchar_t before = hit > 0 ? rest[hit - 1] : (result.empty() ? L'\0' : result.back());
      wchar_t next = after < rest.size() ? rest[after] : L'\0';
      if (!IsWordSeparator(before) || !IsWordSeparator(next)) {
        result.append(rest, 0, after);
        rest.erase(0, after);
        search.erase(0, after);
        continue;
      }
    }
    result.append(rest, 0, hit);
    result += newPattern.str();
    rest.erase(0, after);
    if (!(flags & rfReplaceAll)) {
      result += rest;
      break;
    }
    search.erase(0, after);
  }
  return WideString(std::move(result));
}

WideString UcAdjustLineBreaks(const WideString& s, TUcTextLineBreakStyle style) {
  const wchar_t* lineBreak = style == tlbsLF ? L"\n" : style == tlbsCR ? L"\r" : L"\r\n";
  const std::wstring& t = s.str();
  std::wstring r;
  r.reserve(t.size() + t.size() / 8);
  for (size_t i = 0; i < t.size(); ++i) {
    wchar_t c = t[i];
    if (c == L'\r') {
      if (i + 1 < t.size() && t[i + 1] == L'\n') ++i;
      r += lineBreak;
    } else if (c == L'\n' || c == 0x2028) {
      r += lineBreak;
    } else {
      r += c;
    }
  }
  return WideString(std::move(r));
}

int UcAdjustLineBreaksLength(const WideString& s, TUcTextLineBreakStyle style) {
  const std::wstring& t = s.str();
  int len = static_cast<int>(t.size());
  for (size_t i = 0; i < t.size(); ++i) {
    wchar_t c = t[i];
    if (c == L'\r' && i + 1 < t.size() && t[i + 1] == L'\n') {
      if (style != tlbsCRLF) --len;
      ++i;
    } else if (c == L'\r' || c == L'\n' || c == 0x2028) {
      if (style == tlbsCRLF) ++len;
    }
  }
  return len;
}

WideString WideWrapText(const WideString& line, const WideString& breakStr, const AnsiString& breakChars,
                        int maxCol) {
  const std::wstring& s = line.str();
  const std::wstring& brk = breakStr.str();
  const size_t len = s.size();
  auto isBreakChar = [&](wchar_t c) {
    return c <= 0xFF && std::memchr(breakChars.c_str(), static_cast<int>(c), breakChars.Length()) != nullptr;
  };
  auto isQuote = [](wchar_t c) { return c == L'\'' || c == L'"'; };
  std::wstring result;
  size_t pos = 0, lineStart = 0, breakPos = 0;  // breakPos: one past the break, 0 for none
  int col = 0;
  wchar_t quote = 0;
  bool existingBreak = false;
  while (pos < len) {
    const wchar_t c = s[pos];
    if (!brk.empty() && c == brk[0]) {
      if (!quote) {
        existingBreak = s.compare(pos, brk.size(), brk) == 0;
        if (existingBreak) {
          pos += brk.size() - 1;
          breakPos = pos + 1;
        }
      }
    } else if (isBreakChar(c)) {
      if (!quote) breakPos = pos + 1;
    } else if (isQuote(c)) {
      if (c == quote)
        quote = 0;
      else if (!quote)
        quote = c;
    }
    ++pos;
    ++col;
    if (!quote && (existingBreak || (col > maxCol && breakPos > lineStart))) {
      result.append(s, lineStart, breakPos - lineStart);
      // The next line starts after the break and the break characters and
      // line breaks that follow it.
      size_t next = breakPos;
      if (!isQuote(c)) {
        while (next < len) {
          if (isBreakChar(s[next]))
            ++next;
          else if (s.compare(next, 2, L"\r\n") == 0)
            next += 2;
          else
            break;
        }
      }
      if (!existingBreak && next < len) result += brk;
      lineStart = breakPos = next;
      if (pos < next) pos = next;
      col = static_cast<int>(pos - lineStart);
      existingBreak = false;
    }
  }
  result.append(s, lineStart, std::wstring::npos);
  return WideString(std::move(result));
}

WideString WideWrapText(const WideString& line, int maxCol) {
  return WideWrapText(line, L"\r\n", AnsiString(" -\t"), maxCol);
}

// --- formatting ----------------------------------------------------------------------------

namespace {

// The wide text of a string argument.
WideString ArgText(const TVarRec& a) {
  switch (a.VType) {
    case TVarRec::vtWideString:
    case TVarRec::vtWideChar:
      return a.VWideString;
    case TVarRec::vtChar:
    case TVarRec::vtPChar:
    case TVarRec::vtAnsiString:
      return SystemToWide(a.VString);
    default:
      return WideString();
  }
}

[[noreturn]] void WideFormatError(const WideString& format) {
  throw EConvertError(Format("Format '%s' invalid or incompatible with argument", {WideToSystem(format)}));
}

// The class library's Format grammar over wide text: strings keep every wide
// character, the other kinds are formatted by the class library itself.
WideString WideFormatText(const WideString& formatText, const TVarRec* args, int count) {
  auto convert = [](char type, const TVarRec& a, int prec, std::wstring& text) {
    if (type == 's' || type == 'S') {
      if (!a.IsText()) return false;
      text = ArgText(a).str();
      if (prec >= 0 && static_cast<int>(text.size()) > prec) text.resize(prec);
      return true;
    }
    // Numbers, money and pointers as the class library makes them.
    std::string ansi;
    if (!FormatArgument(type, a, prec, ansi)) return false;
    text = SystemToWide(AnsiString(std::move(ansi))).str();
    return true;
  };
  return WideString(ExpandFormat(formatText.str(), args, count, convert, [&] { WideFormatError(formatText); }));
}

}  // namespace

unsigned Uc_WideFormatBuf(wchar_t* buffer, unsigned bufLen, const wchar_t* format, unsigned formatLength,
                          const std::vector<TVarRec>& args) {
  WideString fmt(format, static_cast<int>(formatLength));
  WideString text = WideFormatText(ReplaceFloatingArgumentsInFormatString(fmt, args), args.data(),
                                   static_cast<int>(args.size()));
  unsigned n = std::min<unsigned>(bufLen, static_cast<unsigned>(text.Length()));
  std::memcpy(buffer, text.c_bstr(), n * sizeof(wchar_t));
  return n;
}

void Uc_WideFmtStr(WideString& result, const WideString& format, const std::vector<TVarRec>& args) {
  const unsigned formatLength = static_cast<unsigned>(format.Length());
  std::wstring buf;
  unsigned size, len;
  if (formatLength < 3072) {
    size = 4096;
    buf.assign(size, L'\0');
    len = Uc_WideFormatBuf(buf.data(), size - 1, format.c_bstr(), formatLength, args);
  } else {
    // Too long for the first try: start from the format's length, so that the
    // loop below formats at least once.
    size = len = formatLength;
  }
  while (len >= size - 1) {
    size *= 2;
    buf.assign(size, L'\0');
    len = Uc_WideFormatBuf(buf.data(), size - 1, format.c_bstr(), formatLength, args);
  }
  buf.resize(len);
  result = WideString(std::move(buf));
}

WideString Uc_WideFormat(const WideString& format, const std::vector<TVarRec>& args) {
  WideString result;
  Uc_WideFmtStr(result, format, args);
  return result;
}

WideString Uc_WideFormat(const WideString& format, std::initializer_list<TVarRec> args) {
  return Uc_WideFormat(format, std::vector<TVarRec>(args));
}

// --- character classes ------------------------------------------------------------------

namespace {
WORD CharType1(wchar_t c) {
  WORD type = 0;
  if (!Uc_GetStringTypeExW(GetThreadLocale(), CT_CTYPE1, &c, 1, &type)) RaiseLastOSError();
  return type;
}
}  // namespace

bool IsWideCharUpper(wchar_t c) { return CharType1(c) & C1_UPPER; }
bool IsWideCharLower(wchar_t c) { return CharType1(c) & C1_LOWER; }
bool IsWideCharDigit(wchar_t c) { return CharType1(c) & C1_DIGIT; }
bool IsWideCharSpace(wchar_t c) { return CharType1(c) & C1_SPACE; }
bool IsWideCharPunct(wchar_t c) { return CharType1(c) & C1_PUNCT; }
bool IsWideCharCntrl(wchar_t c) { return CharType1(c) & C1_CNTRL; }
bool IsWideCharBlank(wchar_t c) { return CharType1(c) & C1_BLANK; }
bool IsWideCharXDigit(wchar_t c) { return CharType1(c) & C1_XDIGIT; }
bool IsWideCharAlpha(wchar_t c) { return CharType1(c) & C1_ALPHA; }
bool IsWideCharAlphaNumeric(wchar_t c) { return CharType1(c) & (C1_ALPHA | C1_DIGIT); }

// The system maps some characters to look-alikes of the code page (U+00E9 to
// 'e' under 1251) without reporting a default character; such a character is
// not held by the code page either, so the text must also come back unchanged.
bool IsWideStringMappableToAnsi(const WideString& s) {
  if (s.IsEmpty()) return true;
  const UINT codePage = DefaultSystemCodePage();
  BOOL usedDefault = FALSE;
  int n = WideCharToMultiByte(codePage, 0, s.c_bstr(), s.Length(), nullptr, 0, nullptr, &usedDefault);
  if (usedDefault || n <= 0) return false;
  std::string bytes(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(codePage, 0, s.c_bstr(), s.Length(), bytes.data(), n, nullptr, nullptr);
  return StringToWideStringEx(AnsiString(std::move(bytes)), codePage) == s;
}

bool IsWideCharMappableToAnsi(wchar_t c) { return IsWideStringMappableToAnsi(WideString(c)); }

bool IsRTF(const WideString& value) {
  const WideString head = Uc_WideUpperCase(value.SubString(1, 5));
  return head == L"{\\RTF" || head == L"{URTF";
}

// --- string arrays --------------------------------------------------------------------------

WideString ExtractStringArrayStr(const wchar_t* p) {
  if (!p) return WideString();
  const wchar_t* q = p;
  while (*q) q += WStrLen(q) + 1;
  return WideString(p, static_cast<int>(q - p) + 1);
}

WideString ExtractStringFromStringArray(const wchar_t*& p, wchar_t separator) {
  const wchar_t* start = p;
  while (*p && *p != separator) ++p;
  WideString r(start, static_cast<int>(p - start));
  // A NUL separator is passed like any other; a text without the separator
  // leaves p on its terminator.
  if (*p || separator == L'\0') ++p;
  return r;
}

std::vector<WideString> ExtractStringsFromStringArray(const wchar_t* p, wchar_t separator) {
  std::vector<WideString> result;
  if (!p) return result;
  for (;;) {
    WideString s = ExtractStringFromStringArray(p, separator);
    if (s.IsEmpty()) break;
    if (result.size() == result.capacity()) result.reserve(result.size() + 256);
    result.push_back(std::move(s));
  }
  result.shrink_to_fit();
  return result;
}

// --- dates ----------------------------------------------------------------------------------

namespace {

HRESULT TryVarDate(const WideString& s, ULONG flags, TDateTime& value) {
  DATE date = 0;
  std::wstring text = s.str();
  HRESULT hr = VarDateFromStr(text.data(), GetThreadLocale(), flags, &date);
  if (SUCCEEDED(hr)) value = date;
  return hr;
}

enum TDateKind { dkDateTime, dkDate, dkTime };

bool TryDate(const WideString& s, TDateKind kind, TDateTime& value, HRESULT* error) {
  static const ULONG flags[] = {0, VAR_DATEVALUEONLY, VAR_TIMEVALUEONLY};
  HRESULT hr = TryVarDate(s, flags[kind], value);
  if (error) *error = hr;
  if (SUCCEEDED(hr)) return true;
  const AnsiString a = WideToSystem(s);
  switch (kind) {
    case dkDate:
      return TryStrToDate(a, value);
    case dkTime:
      return TryStrToTime(a, value);
    default:
      return TryStrToDateTime(a, value);
  }
}

TDateTime StrToDateOrRaise(const WideString& s, TDateKind kind) {
  static const char* const texts[] = {"'%s' is not a valid date and time", "'%s' is not a valid date",
                                      "'%s' is not a valid time"};
  TDateTime value = 0;
  HRESULT hr = S_OK;
  if (TryDate(s, kind, value, &hr)) return value;
  throw EConvertError(SysErrorMessage(static_cast<DWORD>(hr)) + "\r\n" + Format(texts[kind], {WideToSystem(s)}));
}

}  // namespace

bool UcTryStrToDateTime(const WideString& s, TDateTime& value) { return TryDate(s, dkDateTime, value, nullptr); }
bool UcTryStrToDate(const WideString& s, TDateTime& value) { return TryDate(s, dkDate, value, nullptr); }
bool UcTryStrToTime(const WideString& s, TDateTime& value) { return TryDate(s, dkTime, value, nullptr); }

bool ValidDateTimeStr(const WideString& s) {
  TDateTime v;
  return UcTryStrToDateTime(s, v);
}
bool ValidDateStr(const WideString& s) {
  TDateTime v;
  return UcTryStrToDate(s, v);
}
bool ValidTimeStr(const WideString& s) {
  TDateTime v;
  return UcTryStrToTime(s, v);
}

TDateTime UcStrToDateTimeDef(const WideString& s, TDateTime def) {
  TDateTime v;
  return UcTryStrToDateTime(s, v) ? v : def;
}
TDateTime UcStrToDateDef(const WideString& s, TDateTime def) {
  TDateTime v;
  return UcTryStrToDate(s, v) ? v : def;
}
TDateTime UcStrToTimeDef(const WideString& s, TDateTime def) {
  TDateTime v;
  return UcTryStrToTime(s, v) ? v : def;
}

TDateTime UcStrToDateTime(const WideString& s) { return StrToDateOrRaise(s, dkDateTime); }
TDateTime UcStrToDate(const WideString& s) { return StrToDateOrRaise(s, dkDate); }
TDateTime UcStrToTime(const WideString& s) { return StrToDateOrRaise(s, dkTime); }

// --- currency ------------------------------------------------------------------------------

WideString UcCurrToStr(Currency value, const CURRENCYFMTW* format) {
  WideString number = ENG_US_FloatToStr(static_cast<double>(value) / 10000.0);
  wchar_t buf[64];
  int n = Uc_GetCurrencyFormatW(GetThreadLocale(), 0, number.c_bstr(), format, buf, 64);
  if (n == 0) RaiseLastOSError();
  return WideString(buf, static_cast<int>(wcsnlen(buf, static_cast<size_t>(n))));
}

namespace {
HRESULT TryVarCurrency(const WideString& s, Currency& value) {
  CY cy{};
  std::wstring text = s.str();
  HRESULT hr = VarCyFromStr(text.data(), GetThreadLocale(), 0, &cy);
  if (SUCCEEDED(hr)) value = cy.int64;
  return hr;
}
}  // namespace

Currency UcStrToCurr(const WideString& s) {
  Currency value = 0;
  HRESULT hr = TryVarCurrency(s, value);
  if (FAILED(hr)) RaiseLastOSError(static_cast<DWORD>(hr));
  return value;
}

bool ValidCurrencyStr(const WideString& s) {
  Currency value;
  return SUCCEEDED(TryVarCurrency(s, value));
}

Currency UcStrToCurrDef(const WideString& s, Currency def) {
  Currency value = def;
  return SUCCEEDED(TryVarCurrency(s, value)) ? value : def;
}

void GetDefaultCurrencyFmt(CURRENCYFMTW& fmt) {
  const LCID lcid = GetThreadLocale();
  auto number = [&](LCTYPE type, const wchar_t* def, UINT fallback) -> UINT {
    AnsiString text = WideToSystem(WideGetLocaleStr(lcid, type, def));
    int v;
    return TryStrToInt(text, v) && v >= 0 ? static_cast<UINT>(v) : fallback;
  };
  fmt.NumDigits = number(LOCALE_ICURRDIGITS, L"2", 2);
  fmt.LeadingZero = number(LOCALE_ILZERO, L"1", 1);
  WideString grouping = WideGetLocaleStr(lcid, LOCALE_SMONGROUPING, L"3;0");
  fmt.Grouping = !grouping.IsEmpty() && grouping[1] >= L'0' && grouping[1] <= L'9' ? grouping[1] - L'0' : 3;
  CurrencyDecimalSep = WideGetLocaleStr(lcid, LOCALE_SMONDECIMALSEP, L".").str();
  CurrencyThousandSep = WideGetLocaleStr(lcid, LOCALE_SMONTHOUSANDSEP, L",").str();
  fmt.NegativeOrder = number(LOCALE_INEGCURR, L"0", 0);
  fmt.PositiveOrder = number(LOCALE_ICURRENCY, L"0", 0);
  CurrencySymbol = WideGetLocaleStr(lcid, LOCALE_SCURRENCY, L"").str();
  fmt.lpDecimalSep = CurrencyDecimalSep.data();
  fmt.lpThousandSep = CurrencyThousandSep.data();
  fmt.lpCurrencySymbol = CurrencySymbol.data();
}

// --- messages and versions ----------------------------------------------------------------

WideString WideGetLocaleStr(LCID locale, LCTYPE localeType, const WideString& def) {
  if (!Win32PlatformIsUnicode) return SystemToWide(GetLocaleStr(locale, localeType, WideToSystem(def)));
  wchar_t buf[255];
  int n = GetLocaleInfoW(locale, localeType, buf, 255);
  if (n <= 0) return def;
  return WideString(buf, n - 1);
}

WideString WideSysErrorMessage(DWORD errorCode) { return WideLibraryErrorMessage(L"system", nullptr, errorCode); }

WideString WideLibraryErrorMessage(const WideString& libName, HINSTANCE dll, DWORD errorCode) {
  DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ARGUMENT_ARRAY;
  if (dll) flags |= FORMAT_MESSAGE_FROM_HMODULE;
  std::wstring text;
  // A long system text does not fit the usual 256 characters: give it room.
  for (DWORD size = 256; size <= 0x10000; size *= 16) {
    DWORD n;
    if (Win32PlatformIsUnicode) {
      text.assign(size, L'\0');
      n = FormatMessageW(flags, dll, errorCode, 0, text.data(), size, nullptr);
      text.resize(n);
    } else {
      std::string narrow(size, '\0');
      n = FormatMessageA(flags, dll, errorCode, 0, narrow.data(), size, nullptr);
      narrow.resize(n);
      text = SystemToWide(AnsiString(narrow)).str();
    }
    if (n != 0 || GetLastError() != ERROR_INSUFFICIENT_BUFFER) break;
  }
  size_t first = 0, last = text.size();
  while (first < last && text[first] <= L' ') ++first;
  while (last > first && text[last - 1] <= L' ') --last;
  if (first < last) return WideString(text.substr(first, last - first));
  return WideString(L"Unspecified error (") + WideString(std::to_wstring(static_cast<int>(errorCode))) + L") from " +
         libName + L".";
}

bool CheckWin32Version(int major, int minor) {
  return Win32MajorVersion > major || (Win32MajorVersion == major && Win32MinorVersion >= minor);
}

namespace {
// Sets the decimal separator for its lifetime.
class TDecimalSeparatorScope {
public:
  explicit TDecimalSeparatorScope(char c) : FSaved(DecimalSeparator) { DecimalSeparator = c; }
  ~TDecimalSeparatorScope() { DecimalSeparator = FSaved; }
  TDecimalSeparatorScope(const TDecimalSeparatorScope&) = delete;
  TDecimalSeparatorScope& operator=(const TDecimalSeparatorScope&) = delete;

private:
  char FSaved;
};
}  // namespace

WideString ENG_US_FloatToStr(double value) {
  TDecimalSeparatorScope scope('.');
  return SystemToWide(FloatToStr(value));
}

double ENG_US_StrToFloat(const WideString& s) {
  TDecimalSeparatorScope scope('.');
  return StrToFloat(WideToSystem(s));
}
