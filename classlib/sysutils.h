// The runtime's utility routines: exception classes, formatting, number and
// string conversions, file names and the file system, dates, locale settings.
#pragma once

#include "system.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <type_traits>
#include <vector>

// windows.h maps these names to their A/W forms; here they are the runtime's own.
#undef DeleteFile
#undef GetEnvironmentVariable

// --- exception classes -------------------------------------------------------

#define CL_EXCEPTION(TName, TParent)                     \
  class TName : public TParent {                         \
    CL_CLASS(TName, TParent)                             \
  public:                                                \
    using TParent::TParent;                              \
  };

CL_EXCEPTION(EAbort, Exception)
CL_EXCEPTION(EOutOfMemory, Exception)
CL_EXCEPTION(EConvertError, Exception)
CL_EXCEPTION(EInvalidCast, Exception)
CL_EXCEPTION(EInvalidOperation, Exception)
CL_EXCEPTION(EListError, Exception)
CL_EXCEPTION(EStringListError, Exception)
CL_EXCEPTION(EComponentError, Exception)
// A stream failure. One about a named file carries the file's full name and
// the system's error code beside the English text (a failed read or write
// the code alone, when the system gave one), so that a program words the
// message in its own language; the text stays for every other caller.
class EStreamError : public Exception {
  CL_CLASS(EStreamError, Exception)
public:
  using Exception::Exception;
  EStreamError(const AnsiString& msg, const WideString& fileName, DWORD errorCode)
      : Exception(msg), FFileName(fileName), FErrorCode(errorCode) {}
  const WideString& FileName() const { return FFileName; }
  DWORD ErrorCode() const { return FErrorCode; }

private:
  WideString FFileName;
  DWORD FErrorCode = 0;
};
CL_EXCEPTION(EReadError, EStreamError)
CL_EXCEPTION(EWriteError, EStreamError)
CL_EXCEPTION(EFCreateError, EStreamError)
CL_EXCEPTION(EFOpenError, EStreamError)
CL_EXCEPTION(EFilerError, EStreamError)
CL_EXCEPTION(EClassNotFound, EFilerError)
CL_EXCEPTION(EResNotFound, Exception)
CL_EXCEPTION(EAbstractError, Exception)
CL_EXCEPTION(EAssertionFailed, Exception)
CL_EXCEPTION(EParserError, Exception)
CL_EXCEPTION(EOutOfResources, Exception)
// A printer failure; ErrorCode is the system's reason where the device gave
// one (0 otherwise).
class EPrinter : public Exception {
  CL_CLASS(EPrinter, Exception)
public:
  using Exception::Exception;
  EPrinter(const AnsiString& msg, DWORD errorCode) : Exception(msg), FErrorCode(errorCode) {}
  DWORD ErrorCode() const { return FErrorCode; }

private:
  DWORD FErrorCode = 0;
};
// The system has no default printer: there is nothing to print on.
CL_EXCEPTION(ENoDefaultPrinter, EPrinter)
CL_EXCEPTION(ERangeError, Exception)
CL_EXCEPTION(EIntOverflow, Exception)
CL_EXCEPTION(EZeroDivide, Exception)
CL_EXCEPTION(EInOutError, Exception)
CL_EXCEPTION(ENotSupportedException, Exception)

class EOSError : public Exception {
  CL_CLASS(EOSError, Exception)
public:
  using Exception::Exception;
  EOSError(const AnsiString& msg, DWORD code) : Exception(msg), FErrorCode(code) {}
  DWORD ErrorCode() const { return FErrorCode; }
  void SetErrorCode(DWORD c) { FErrorCode = c; }

private:
  DWORD FErrorCode = 0;
};

// Raises the silent exception that ends an event handler without a message.
[[noreturn]] void Abort();
void Assert(bool condition, const AnsiString& message = "Assertion failed");

// --- Format ------------------------------------------------------------------

// One argument of Format: the runtime's "array of const".
struct TVarRec {
  enum Kind { vtInteger, vtInt64, vtExtended, vtChar, vtWideChar, vtPChar, vtAnsiString, vtWideString, vtPointer };
  Kind VType;
  int64_t VInt = 0;
  double VExtended = 0;
  const void* VPointer = nullptr;
  AnsiString VString;
  WideString VWideString;  // the unnarrowed text of a wide argument, for the wide formatter

  TVarRec(int v) : VType(vtInteger), VInt(v) {}
  TVarRec(unsigned v) : VType(vtInt64), VInt(v) {}
  TVarRec(long v) : VType(vtInteger), VInt(v) {}
  TVarRec(unsigned long v) : VType(vtInt64), VInt(static_cast<int64_t>(v)) {}
  TVarRec(long long v) : VType(vtInt64), VInt(v) {}
  TVarRec(unsigned long long v) : VType(vtInt64), VInt(static_cast<int64_t>(v)) {}
  TVarRec(double v) : VType(vtExtended), VExtended(v) {}
  TVarRec(char v) : VType(vtChar), VString(v) {}
  TVarRec(wchar_t v);
  TVarRec(const char* v) : VType(vtPChar), VString(v) {}
  TVarRec(const AnsiString& v) : VType(vtAnsiString), VString(v) {}
  TVarRec(const std::string& v) : VType(vtAnsiString), VString(v) {}
  TVarRec(const WideString& v);
  TVarRec(const void* v) : VType(vtPointer), VPointer(v) {}
  TVarRec(std::nullptr_t) : VType(vtPointer) {}

  // The kinds %s takes.
  bool IsText() const {
    return VType == vtChar || VType == vtWideChar || VType == vtPChar || VType == vtAnsiString ||
           VType == vtWideString;
  }
};

// Specifiers %s %d %u %x %X %f %e %g %n %m %p %%, with index "%0:s", width, "-"
// and ".prec". Missing or mismatched arguments raise EConvertError.
AnsiString Format(const AnsiString& fmt, std::initializer_list<TVarRec> args);
AnsiString Format(const AnsiString& fmt, const std::vector<TVarRec>& args);
AnsiString FmtStr(const AnsiString& fmt, std::initializer_list<TVarRec> args);
// Like %f but always with '.' as decimal separator.
AnsiString FormatFloatInvariant(double value, int decimals);

// The text one specifier makes of its argument, before the width is applied:
// `type` is the specifier's letter in either case, `precision` -1 when none is
// given. False when the letter is unknown or the argument is of another kind.
bool FormatArgument(char type, const TVarRec& arg, int precision, std::string& text);

// Format's grammar over a text of any character type, so that the wide
// formatter reads a format exactly as Format does: "%%", or "%" [index ":"]
// ["-"] [width] ["." precision] type, where index, width and precision are
// digits or "*" (the next argument, an integer), at most 0x7FFFFFF.
// `convert(type, arg, precision, text)` makes a specifier's text and returns
// false to reject it; `fail()` raises the format error and must not return.
template <class Ch, class Convert, class Fail>
std::basic_string<Ch> ExpandFormat(const std::basic_string<Ch>& fmt, const TVarRec* args, int count,
                                   Convert convert, Fail fail) {
  using Text = std::basic_string<Ch>;
  const size_t n = fmt.size();
  Text out;
  size_t i = 0;
  int argIndex = 0;
  auto isDigit = [](Ch c) { return c >= Ch('0') && c <= Ch('9'); };
  auto takeArg = [&](int index) -> const TVarRec& {
    if (index < 0 || index >= count) fail();
    return args[index];
  };
  auto readNumber = [&](int& value) -> bool {
    if (i < n && fmt[i] == Ch('*')) {
      const TVarRec& a = takeArg(argIndex++);
      // The same bound as for digits: a width or precision from an argument
      // must not ask for gigabytes of padding.
      if ((a.VType != TVarRec::vtInteger && a.VType != TVarRec::vtInt64) || a.VInt > 0x7FFFFFF) fail();
      value = static_cast<int>(a.VInt);
      ++i;
      return true;
    }
    if (i < n && isDigit(fmt[i])) {
      int64_t v = 0;
      while (i < n && isDigit(fmt[i])) {
        v = v * 10 + (fmt[i] - Ch('0'));
        if (v > 0x7FFFFFF) fail();
        ++i;
      }
      value = static_cast<int>(v);
      return true;
    }
    return false;
  };
  while (i < n) {
    size_t pct = fmt.find(Ch('%'), i);
    if (pct == Text::npos) {
      out.append(fmt, i, Text::npos);
      break;
    }
    out.append(fmt, i, pct - i);
    i = pct + 1;
    if (i < n && fmt[i] == Ch('%')) {
      out.push_back(Ch('%'));
      ++i;
      continue;
    }
    bool left = false;
    int width = -1, prec = -1, number = 0;
    if (readNumber(number)) {
      if (i < n && fmt[i] == Ch(':')) {
        argIndex = number;
        ++i;
        number = -1;
        readNumber(number);
      }
      width = number;
    }
    if (width < 0 && i < n && fmt[i] == Ch('-')) {
      left = true;
      ++i;
    }
    if (width < 0) readNumber(width);
    if (i < n && fmt[i] == Ch('.')) {
      ++i;
      if (!readNumber(prec)) prec = 0;
    }
    // Every letter is ASCII; anything else is no specifier.
    if (i >= n || static_cast<std::make_unsigned_t<Ch>>(fmt[i]) > 0x7F) fail();
    const char type = static_cast<char>(fmt[i++]);
    const TVarRec& a = takeArg(argIndex++);
    Text text;
    if (!convert(type, a, prec, text)) fail();
    if (width > static_cast<int>(text.size())) {
      if (left)
        text.append(width - text.size(), Ch(' '));
      else
        text.insert(0, width - text.size(), Ch(' '));
    }
    out += text;
  }
  return out;
}

// --- numbers -------------------------------------------------------------------

// One overload per integer type, so that no call is ambiguous; the unsigned
// ones write the unsigned value.
AnsiString IntToStr(int value);
AnsiString IntToStr(unsigned value);
AnsiString IntToStr(long value);
AnsiString IntToStr(unsigned long value);
AnsiString IntToStr(long long value);
AnsiString IntToStr(unsigned long long value);
// Upper-case hex digits, at least `digits` of them; a negative value shows its
// two's complement in the width of its type (IntToHex(-1, 1) = "FFFFFFFF").
AnsiString IntToHex(int value, int digits);
AnsiString IntToHex(unsigned value, int digits);
AnsiString IntToHex(long value, int digits);
AnsiString IntToHex(unsigned long value, int digits);
AnsiString IntToHex(long long value, int digits);
AnsiString IntToHex(unsigned long long value, int digits);
int StrToInt(const AnsiString& s);
int StrToIntDef(const AnsiString& s, int def);
bool TryStrToInt(const AnsiString& s, int& value);
int64_t StrToInt64(const AnsiString& s);
int64_t StrToInt64Def(const AnsiString& s, int64_t def);
bool TryStrToInt64(const AnsiString& s, int64_t& value);
AnsiString FloatToStr(double value);
double StrToFloat(const AnsiString& s);
bool TryStrToFloat(const AnsiString& s, double& value);
int64_t Round(double value);  // to nearest, ties to even
// MulDiv is the Win32 function of the same name and contract.

// --- strings -------------------------------------------------------------------

AnsiString Trim(const AnsiString& s);       // removes bytes <= ' ' at both ends
AnsiString TrimLeft(const AnsiString& s);
AnsiString TrimRight(const AnsiString& s);
WideString Trim(const WideString& s);
// Literals would convert to either kind of string; these pick the kind.
inline AnsiString Trim(const char* s) { return Trim(AnsiString(s)); }
inline WideString Trim(const wchar_t* s) { return Trim(WideString(s)); }
AnsiString UpperCase(const AnsiString& s);  // ASCII letters only
AnsiString LowerCase(const AnsiString& s);
AnsiString AnsiUpperCase(const AnsiString& s);  // the system's rules for the ANSI code page
AnsiString AnsiLowerCase(const AnsiString& s);
// The system's case of each byte of the ANSI code page: CharUpperBuffA and
// CharLowerBuffA asked once, over the 256 byte values in one call, and kept
// for the process (its code page does not change). On a single-byte code
// page a byte is a character, and the table gives exactly what the calls give
// for any text. On a double-byte code page it does not: there the text
// functions below ask the system per text, and only AnsiLowerBytes (the byte
// orders of sort keys and names, which want one answer per byte) keeps to
// the table.
const unsigned char* AnsiUpperTable();
const unsigned char* AnsiLowerTable();
bool AnsiCodePageIsSingleByte();
// text in the system's upper or lower case, in place (what AnsiUpperCase and
// AnsiLowerCase give).
void AnsiUpperInPlace(std::string& text);
void AnsiLowerInPlace(std::string& text);
// text with every byte put through AnsiLowerTable, whatever the code page.
std::string AnsiLowerBytes(const std::string& text);
int CompareStr(const AnsiString& a, const AnsiString& b);
int CompareText(const AnsiString& a, const AnsiString& b);  // ASCII case-insensitive
bool SameText(const AnsiString& a, const AnsiString& b);
int AnsiCompareStr(const AnsiString& a, const AnsiString& b);
int AnsiCompareText(const AnsiString& a, const AnsiString& b);
bool AnsiSameText(const AnsiString& a, const AnsiString& b);
bool AnsiSameStr(const AnsiString& a, const AnsiString& b);
int AnsiPos(const AnsiString& sub, const AnsiString& s);
// How many leading bytes of s (up to its first NUL) fit into maxBytes without
// cutting a double-byte character of the code page in half; a lead byte with
// nothing after it is a broken character and is left out.
size_t AnsiCharBoundary(const AnsiString& s, size_t maxBytes, UINT codePage = CP_ACP);
// Copies s into a fixed field of `size` bytes: the bytes after it are zeroed,
// at least one terminating NUL stays, and a double-byte character of the code
// page is never cut in half. Returns the number of bytes copied.
size_t StrLCopyFixed(char* dest, size_t size, const AnsiString& s, UINT codePage = CP_ACP);
AnsiString QuotedStr(const AnsiString& s);
AnsiString AnsiQuotedStr(const AnsiString& s, char quote);
AnsiString AnsiExtractQuotedStr(const char*& p, char quote);
AnsiString StringReplace(const AnsiString& s, const AnsiString& from, const AnsiString& to, bool all,
                         bool ignoreCase);
AnsiString StringOfChar(char c, int count);
AnsiString AdjustLineBreaks(const AnsiString& s);

// --- file names and the file system -------------------------------------------

AnsiString ExtractFileExt(const AnsiString& name);
AnsiString ExtractFileName(const AnsiString& name);
AnsiString ExtractFilePath(const AnsiString& name);
AnsiString ExtractFileDir(const AnsiString& name);
AnsiString ExtractFileDrive(const AnsiString& name);
AnsiString ChangeFileExt(const AnsiString& name, const AnsiString& ext);
AnsiString IncludeTrailingBackslash(const AnsiString& s);
AnsiString ExcludeTrailingBackslash(const AnsiString& s);
AnsiString IncludeTrailingPathDelimiter(const AnsiString& s);
AnsiString ExcludeTrailingPathDelimiter(const AnsiString& s);
AnsiString ExpandFileName(const AnsiString& name);
bool FileExists(const AnsiString& name);
bool DirectoryExists(const AnsiString& name);
bool DeleteFile(const AnsiString& name);
bool RenameFile(const AnsiString& from, const AnsiString& to);
bool CreateDir(const AnsiString& dir);
bool RemoveDir(const AnsiString& dir);
bool ForceDirectories(const AnsiString& dir);
AnsiString GetCurrentDir();
bool SetCurrentDir(const AnsiString& dir);
int FileGetAttr(const AnsiString& name);
int FileSetAttr(const AnsiString& name, int attr);
int FileAge(const AnsiString& name);  // DOS date-time, -1 when absent
int64_t FileSizeOf(const AnsiString& name);  // -1 when absent
AnsiString GetEnvironmentVariable(const AnsiString& name);
// Arguments of the process's command line (ParamStr(0) is the program file),
// split by the rules of the shell's CommandLineToArgvW: blanks separate, double
// quotes group, 2n backslashes before a quote give n and the quote counts, 2n+1
// give n and a literal quote; the program name takes quotes only.
int ParamCount();
AnsiString ParamStr(int index);
std::vector<AnsiString> SplitCommandLine(const AnsiString& commandLine);

enum : int {
  faReadOnly = 0x01,
  faHidden = 0x02,
  faSysFile = 0x04,
  faVolumeID = 0x08,
  faDirectory = 0x10,
  faArchive = 0x20,
  faAnyFile = 0x3F,
};

struct TSearchRec {
  int Time = 0;      // DOS date-time of the last write
  int64_t Size = 0;
  int Attr = 0;
  AnsiString Name;
  int ExcludeAttr = 0;
  HANDLE FindHandle = INVALID_HANDLE_VALUE;
  WIN32_FIND_DATAA FindData{};
};

// 0 on success, else the Win32 error code. A found entry is skipped when it has
// any of hidden/system/volume/directory that attr does not ask for.
int FindFirst(const AnsiString& path, int attr, TSearchRec& rec);
int FindNext(TSearchRec& rec);
void FindClose(TSearchRec& rec);

// --- dates and times --------------------------------------------------------------

TDateTime Now();
TDateTime Date();
TDateTime Time();
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int min, int sec, int msec);
bool TryEncodeDate(int year, int month, int day, TDateTime& result);
bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& result);
void DecodeDate(TDateTime dt, int& year, int& month, int& day);
void DecodeTime(TDateTime dt, int& hour, int& min, int& sec, int& msec);
bool IsLeapYear(int year);
TDateTime SystemTimeToDateTime(const SYSTEMTIME& st);
void DateTimeToSystemTime(TDateTime dt, SYSTEMTIME& st);
AnsiString DateTimeToStr(TDateTime dt);  // ShortDateFormat + ' ' + LongTimeFormat
AnsiString DateToStr(TDateTime dt);
AnsiString TimeToStr(TDateTime dt);
AnsiString FormatDateTime(const AnsiString& fmt, TDateTime dt);
bool TryStrToDate(const AnsiString& s, TDateTime& dt);
bool TryStrToTime(const AnsiString& s, TDateTime& dt);
bool TryStrToDateTime(const AnsiString& s, TDateTime& dt);
int DateTimeToFileDate(TDateTime dt);
TDateTime FileDateToDateTime(int fileDate);

// --- locale and platform ----------------------------------------------------------

extern char DecimalSeparator;
extern char ThousandSeparator;
extern char DateSeparator;
extern char TimeSeparator;
extern AnsiString ShortDateFormat;
extern AnsiString LongDateFormat;
extern AnsiString ShortTimeFormat;
extern AnsiString LongTimeFormat;
extern AnsiString TimeAMString;
extern AnsiString TimePMString;
extern AnsiString ShortMonthNames[12];
extern AnsiString LongMonthNames[12];
extern AnsiString ShortDayNames[7];  // Sunday first
extern AnsiString LongDayNames[7];
extern AnsiString CurrencyString;
extern int CurrencyFormat;    // LOCALE_ICURRENCY
extern int NegCurrFormat;     // LOCALE_INEGCURR
extern int CurrencyDecimals;  // LOCALE_ICURRDIGITS
extern int TwoDigitYearCenturyWindow;
// Turns a Windows date or time picture ("dd.MM.yyyy", "H:mm:ss", "h:mm tt")
// into the format letters of FormatDateTime ("dd/mm/yyyy", "h:nn:ss",
// "h:nn ampm"): the locale's separator becomes '/' or ':', other text is quoted.
AnsiString TranslateLocalePicture(const AnsiString& picture, bool timePicture, char separator);
struct TSysLocale {
  LCID DefaultLCID;
  LANGID PriLangID;
  LANGID SubLangID;
  bool FarEast;
  bool MiddleEast;
};
extern TSysLocale SysLocale;
AnsiString GetLocaleStr(LCID locale, LCTYPE type, const AnsiString& def);
char GetLocaleChar(LCID locale, LCTYPE type, char def);
// Re-reads the locale globals (also done at unit start).
void GetFormatSettings();

extern int Win32Platform;
extern int Win32MajorVersion;
extern int Win32MinorVersion;
extern int Win32BuildNumber;
extern AnsiString Win32CSDVersion;

// --- errors and resources ---------------------------------------------------------

AnsiString SysErrorMessage(DWORD code);
// EOSError "System Error.  Code: %d.\r\n%s"
[[noreturn]] void RaiseLastOSError();
[[noreturn]] void RaiseLastOSError(DWORD code);
// Raises the last OS error when ok is false; returns ok.
bool Win32Check(BOOL ok);

struct TResStringRec {
  HINSTANCE* Module;
  UINT Identifier;
};
AnsiString LoadResString(const TResStringRec* rec);
HINSTANCE FindResourceHInstance(HINSTANCE instance);

// --- scopes ---------------------------------------------------------------------------

// Gives a variable a value for a scope and puts back what it held when the
// scope ends, by an exception too (a re-entrancy flag, a window handle hidden
// for a while).
template <class T> class TScopedValue {
public:
  TScopedValue(T& variable, T value) : FVariable(variable), FSaved(variable) { FVariable = value; }
  ~TScopedValue() { FVariable = FSaved; }
  TScopedValue(const TScopedValue&) = delete;
  TScopedValue& operator=(const TScopedValue&) = delete;

private:
  T& FVariable;
  T FSaved;
};

void UnitInit_sysutils();
void UnitFini_sysutils();
