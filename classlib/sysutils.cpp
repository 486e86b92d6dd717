#include "sysutils.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

CL_DEFINE_CLASS(EAbort, Exception)
CL_DEFINE_CLASS(EOutOfMemory, Exception)
CL_DEFINE_CLASS(EConvertError, Exception)
CL_DEFINE_CLASS(EInvalidCast, Exception)
CL_DEFINE_CLASS(EInvalidOperation, Exception)
CL_DEFINE_CLASS(EListError, Exception)
CL_DEFINE_CLASS(EStringListError, Exception)
CL_DEFINE_CLASS(EComponentError, Exception)
CL_DEFINE_CLASS(EStreamError, Exception)
CL_DEFINE_CLASS(EReadError, EStreamError)
CL_DEFINE_CLASS(EWriteError, EStreamError)
CL_DEFINE_CLASS(EFCreateError, EStreamError)
CL_DEFINE_CLASS(EFOpenError, EStreamError)
CL_DEFINE_CLASS(EFilerError, EStreamError)
CL_DEFINE_CLASS(EClassNotFound, EFilerError)
CL_DEFINE_CLASS(EResNotFound, Exception)
CL_DEFINE_CLASS(EAbstractError, Exception)
CL_DEFINE_CLASS(EAssertionFailed, Exception)
CL_DEFINE_CLASS(EParserError, Exception)
CL_DEFINE_CLASS(EOutOfResources, Exception)
CL_DEFINE_CLASS(EPrinter, Exception)
CL_DEFINE_CLASS(ENoDefaultPrinter, EPrinter)
CL_DEFINE_CLASS(ERangeError, Exception)
CL_DEFINE_CLASS(EIntOverflow, Exception)
CL_DEFINE_CLASS(EZeroDivide, Exception)
CL_DEFINE_CLASS(EInOutError, Exception)
CL_DEFINE_CLASS(ENotSupportedException, Exception)
CL_DEFINE_CLASS(EOSError, Exception)

void Abort() { throw EAbort("Operation aborted"); }

void Assert(bool condition, const AnsiString& message) {
  if (!condition) throw EAssertionFailed(message);
}

// --- locale globals ------------------------------------------------------------

// Filled from the user's locale by GetFormatSettings at unit start.
char DecimalSeparator = '.';
char ThousandSeparator = ',';
char DateSeparator = '/';
char TimeSeparator = ':';
AnsiString ShortDateFormat;
AnsiString LongDateFormat;
AnsiString ShortTimeFormat;
AnsiString LongTimeFormat;
AnsiString TimeAMString;
AnsiString TimePMString;
AnsiString ShortMonthNames[12];
AnsiString LongMonthNames[12];
AnsiString ShortDayNames[7];
AnsiString LongDayNames[7];
AnsiString CurrencyString;
int CurrencyFormat = 0;
int NegCurrFormat = 0;
int CurrencyDecimals = 2;
int TwoDigitYearCenturyWindow = 50;
TSysLocale SysLocale{};

int Win32Platform = 0;
int Win32MajorVersion = 0;
int Win32MinorVersion = 0;
int Win32BuildNumber = 0;
AnsiString Win32CSDVersion;

// --- Format ------------------------------------------------------------------

TVarRec::TVarRec(wchar_t v) : VType(vtWideChar), VString(WideToAnsi(WideString(v))), VWideString(v) {}
TVarRec::TVarRec(const WideString& v) : VType(vtWideString), VString(WideToAnsi(v)), VWideString(v) {}

namespace {

// A double as decimal digits: value = 0.D1D2...Dn * 10^Exponent. Eighteen
// significant digits are taken and then rounded half away from zero, so that
// a value printed as a tie (0.125 to two places) rounds up as people expect.
struct TDecimal {
  bool Negative = false;
  int Exponent = 0;
  std::string Digits;  // no trailing zeros; empty for zero
};

TDecimal ToDecimal(double v) {
  TDecimal d;
  d.Negative = std::signbit(v);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.17e", std::fabs(v));
  // "d.ddddddddddddddddde+XX"
  const char* e = std::strchr(buf, 'e');
  d.Digits.push_back(buf[0]);
  for (const char* p = buf + 2; p < e; ++p) d.Digits.push_back(*p);
  d.Exponent = std::atoi(e + 1) + 1;
  while (!d.Digits.empty() && d.Digits.back() == '0') d.Digits.pop_back();
  if (d.Digits.empty()) d.Exponent = 0;
  return d;
}

// Keeps `keep` digits (counted from the first), rounding half up.
void RoundDecimal(TDecimal& d, int keep) {
  if (keep >= static_cast<int>(d.Digits.size())) return;
  if (keep < 0) {
    d.Digits.clear();
    d.Exponent = 0;
    return;
  }
  bool up = d.Digits[keep] >= '5';
  d.Digits.resize(keep);
  if (up) {
    int i = keep - 1;
    while (i >= 0 && d.Digits[i] == '9') d.Digits[i--] = '0';
    if (i >= 0) {
      ++d.Digits[i];
    } else {
      d.Digits.insert(d.Digits.begin(), '1');
      ++d.Exponent;
    }
  }
  while (!d.Digits.empty() && d.Digits.back() == '0') d.Digits.pop_back();
  if (d.Digits.empty()) d.Exponent = 0;
}

bool SpecialFloat(double v, std::string& out) {
  if (std::isnan(v)) {
    out = "NAN";
    return true;
  }
  if (std::isinf(v)) {
    out = v < 0 ? "-INF" : "INF";
    return true;
  }
  return false;
}

char DigitAt(const TDecimal& d, int i) {
  return i >= 0 && i < static_cast<int>(d.Digits.size()) ? d.Digits[i] : '0';
}

std::string ExponentText(int exp, int minDigits, bool plusSign) {
  std::string s;
  if (exp < 0)
    s = "-";
  else if (plusSign)
    s = "+";
  std::string n = std::to_string(exp < 0 ? -exp : exp);
  if (static_cast<int>(n.size()) < minDigits) n.insert(0, minDigits - n.size(), '0');
  return s + n;
}

// Fixed notation with `decimals` places; thousand separators when `sep` is not 0.
std::string FormatFixed(double v, int decimals, char decSep, char sep) {
  std::string special;
  if (SpecialFloat(v, special)) return special;
  TDecimal d = ToDecimal(v);
  RoundDecimal(d, d.Exponent + decimals);
  std::string intPart;
  if (d.Exponent <= 0 || d.Digits.empty()) {
    intPart = "0";
  } else {
    for (int i = 0; i < d.Exponent; ++i) intPart.push_back(DigitAt(d, i));
  }
  if (sep) {
    std::string grouped;
    int n = static_cast<int>(intPart.size());
    for (int i = 0; i < n; ++i) {
      if (i > 0 && (n - i) % 3 == 0) grouped.push_back(sep);
      grouped.push_back(intPart[i]);
    }
    intPart = grouped;
  }
  std::string s = (d.Negative && !d.Digits.empty()) ? "-" : "";
  s += intPart;
  if (decimals > 0) {
    s.push_back(decSep);
    for (int i = 0; i < decimals; ++i) s.push_back(DigitAt(d, d.Exponent + i));
  }
  return s;
}

// The shortest text with at most `precision` significant digits; scientific
// when the value is too large for that many digits or smaller than 0.0001.
std::string FormatGeneral(double v, int precision, int expDigits, char decSep) {
  std::string special;
  if (SpecialFloat(v, special)) return special;
  TDecimal d = ToDecimal(v);
  RoundDecimal(d, precision);
  if (d.Digits.empty()) return "0";
  std::string s = d.Negative ? "-" : "";
  int n = static_cast<int>(d.Digits.size());
  if (d.Exponent > precision || d.Exponent < -3) {
    s.push_back(d.Digits[0]);
    if (n > 1) {
      s.push_back(decSep);
      s.append(d.Digits, 1, std::string::npos);
    }
    s += "E" + ExponentText(d.Exponent - 1, expDigits, false);
  } else if (d.Exponent <= 0) {
    s += "0";
    s.push_back(decSep);
    s.append(-d.Exponent, '0');
    s += d.Digits;
  } else {
    for (int i = 0; i < d.Exponent; ++i) s.push_back(DigitAt(d, i));
    if (n > d.Exponent) {
      s.push_back(decSep);
      s.append(d.Digits, d.Exponent, std::string::npos);
    }
  }
  return s;
}

// d.ddd...E+ddd with `precision` significant digits.
std::string FormatExponent(double v, int precision, int expDigits, char decSep) {
  std::string special;
  if (SpecialFloat(v, special)) return special;
  TDecimal d = ToDecimal(v);
  RoundDecimal(d, precision);
  std::string s = (d.Negative && !d.Digits.empty()) ? "-" : "";
  s.push_back(DigitAt(d, 0));
  if (precision > 1) {
    s.push_back(decSep);
    for (int i = 1; i < precision; ++i) s.push_back(DigitAt(d, i));
  }
  s += "E" + ExponentText(d.Digits.empty() ? 0 : d.Exponent - 1, expDigits, true);
  return s;
}

std::string FormatCurrency(double v, int decimals) {
  std::string num = FormatFixed(std::fabs(v), decimals, DecimalSeparator, ThousandSeparator);
  const std::string& c = CurrencyString.str();
  bool negative = v < 0 && num.find_first_not_of(std::string("0") + DecimalSeparator + ThousandSeparator) != std::string::npos;
  if (!negative) {
    switch (CurrencyFormat) {
      case 1: return num + c;
      case 2: return c + " " + num;
      case 3: return num + " " + c;
      default: return c + num;
    }
  }
  switch (NegCurrFormat) {
    case 1: return "-" + c + num;
    case 2: return c + "-" + num;
    case 3: return c + num + "-";
    case 4: return "(" + num + c + ")";
    case 5: return "-" + num + c;
    case 6: return num + "-" + c;
    case 7: return num + c + "-";
    case 8: return "-" + num + " " + c;
    case 9: return "-" + c + " " + num;
    case 10: return num + " " + c + "-";
    case 11: return c + " " + num + "-";
    case 12: return c + " -" + num;
    case 13: return num + "- " + c;
    case 14: return "(" + c + " " + num + ")";
    case 15: return "(" + num + " " + c + ")";
    default: return "(" + c + num + ")";
  }
}

std::string UnsignedText(uint64_t v) { return std::to_string(v); }

std::string HexText(uint64_t v) {
  static const char hex[] = "0123456789ABCDEF";
  std::string s;
  do {
    s.insert(s.begin(), hex[v & 15]);
    v >>= 4;
  } while (v);
  return s;
}

// Left-pads digits (after any sign) with zeros to at least `prec` digits.
std::string ZeroPad(std::string s, int prec) {
  size_t start = (!s.empty() && s[0] == '-') ? 1 : 0;
  int digits = static_cast<int>(s.size() - start);
  if (prec > digits) s.insert(start, prec - digits, '0');
  return s;
}

[[noreturn]] void FormatError(const AnsiString& fmt) {
  throw EConvertError(Format("Format '%s' invalid or incompatible with argument", {fmt}));
}

}  // namespace

bool FormatArgument(char type, const TVarRec& a, int prec, std::string& text) {
  const bool isInt = a.VType == TVarRec::vtInteger || a.VType == TVarRec::vtInt64;
  const bool isFloat = a.VType == TVarRec::vtExtended;
  if (type >= 'a' && type <= 'z') type = static_cast<char>(type - 32);
  switch (type) {
    case 'D':
      if (!isInt) return false;
      text = ZeroPad(std::to_string(a.VInt), prec);
      return true;
    case 'U':
      if (!isInt) return false;
      text = ZeroPad(UnsignedText(a.VType == TVarRec::vtInteger ? static_cast<uint32_t>(a.VInt)
                                                                 : static_cast<uint64_t>(a.VInt)),
                     prec);
      return true;
    case 'X':
      if (!isInt) return false;
      text = ZeroPad(HexText(a.VType == TVarRec::vtInteger ? static_cast<uint32_t>(a.VInt)
                                                            : static_cast<uint64_t>(a.VInt)),
                     prec);
      return true;
    case 'E':
      if (!isFloat) return false;
      text = FormatExponent(a.VExtended, prec < 0 || prec > 18 ? 15 : std::max(prec, 1), 3, DecimalSeparator);
      return true;
    case 'F':
      if (!isFloat) return false;
      text = FormatFixed(a.VExtended, prec < 0 ? 2 : std::min(prec, 18), DecimalSeparator, 0);
      return true;
    case 'G':
      if (!isFloat) return false;
      text = FormatGeneral(a.VExtended, prec < 0 || prec > 18 ? 15 : std::max(prec, 1), 3, DecimalSeparator);
      return true;
    case 'N':
      if (!isFloat) return false;
      text = FormatFixed(a.VExtended, prec < 0 ? 2 : std::min(prec, 18), DecimalSeparator, ThousandSeparator);
      return true;
    case 'M':
      if (!isFloat) return false;
      text = FormatCurrency(a.VExtended, prec < 0 ? CurrencyDecimals : std::min(prec, 18));
      return true;
    case 'P':
      if (a.VType != TVarRec::vtPointer) return false;
      text = ZeroPad(HexText(reinterpret_cast<uintptr_t>(a.VPointer)), 8);
      return true;
    case 'S':
      if (!a.IsText()) return false;
      text = a.VString.str();
      if (prec >= 0 && static_cast<int>(text.size()) > prec) text.resize(prec);
      return true;
    default:
      return false;
  }
}

namespace {
AnsiString DoFormat(const AnsiString& fmtText, const TVarRec* args, int count) {
  return AnsiString(ExpandFormat(fmtText.str(), args, count, FormatArgument, [&] { FormatError(fmtText); }));
}
}  // namespace

AnsiString Format(const AnsiString& fmt, std::initializer_list<TVarRec> args) {
  return DoFormat(fmt, args.begin(), static_cast<int>(args.size()));
}

AnsiString Format(const AnsiString& fmt, const std::vector<TVarRec>& args) {
  return DoFormat(fmt, args.data(), static_cast<int>(args.size()));
}

AnsiString FmtStr(const AnsiString& fmt, std::initializer_list<TVarRec> args) { return Format(fmt, args); }

AnsiString FormatFloatInvariant(double value, int decimals) {
  return AnsiString(FormatFixed(value, decimals < 0 ? 0 : decimals, '.', 0));
}

// --- numbers -------------------------------------------------------------------

AnsiString IntToStr(int value) { return AnsiString(std::to_string(value)); }
AnsiString IntToStr(unsigned value) { return AnsiString(std::to_string(value)); }
AnsiString IntToStr(long value) { return AnsiString(std::to_string(value)); }
AnsiString IntToStr(unsigned long value) { return AnsiString(std::to_string(value)); }
AnsiString IntToStr(long long value) { return AnsiString(std::to_string(value)); }
AnsiString IntToStr(unsigned long long value) { return AnsiString(std::to_string(value)); }

AnsiString IntToHex(int value, int digits) { return IntToHex(static_cast<unsigned long long>(static_cast<uint32_t>(value)), digits); }
AnsiString IntToHex(unsigned value, int digits) { return IntToHex(static_cast<unsigned long long>(value), digits); }
AnsiString IntToHex(long value, int digits) { return IntToHex(static_cast<unsigned long long>(static_cast<uint32_t>(value)), digits); }
AnsiString IntToHex(unsigned long value, int digits) { return IntToHex(static_cast<unsigned long long>(value), digits); }
AnsiString IntToHex(long long value, int digits) { return IntToHex(static_cast<unsigned long long>(value), digits); }
AnsiString IntToHex(unsigned long long value, int digits) { return AnsiString(ZeroPad(HexText(value), digits)); }

namespace {
bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

// Leading and trailing blanks, a sign, then decimal digits or '$'/"0x" and hex
// digits. Hex text may use the full unsigned width of the type (wrapping), as
// "$FFFFFFFF" means -1 for a 32-bit value.
bool ParseInteger(const AnsiString& text, int64_t& value, bool wide) {
  const std::string& s = text.str();
  size_t i = 0, n = s.size();
  while (i < n && IsBlank(s[i])) ++i;
  while (n > i && IsBlank(s[n - 1])) --n;
  if (i >= n) return false;
  bool neg = false;
  if (s[i] == '+' || s[i] == '-') {
    neg = s[i] == '-';
    ++i;
  }
  bool hex = false;
  if (i < n && s[i] == '$') {
    hex = true;
    ++i;
  } else if (i + 1 < n && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i >= n) return false;
  uint64_t v = 0;
  const uint64_t hexLimit = wide ? ~0ull : 0xFFFFFFFFull;
  const uint64_t decLimit = wide ? (neg ? 9223372036854775808ull : 9223372036854775807ull)
                                 : (neg ? 2147483648ull : 2147483647ull);
  for (; i < n; ++i) {
    char c = s[i];
    int digit;
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if (hex && c >= 'a' && c <= 'f')
      digit = c - 'a' + 10;
    else if (hex && c >= 'A' && c <= 'F')
      digit = c - 'A' + 10;
    else
      return false;
    if (hex) {
      if (v > (hexLimit >> 4)) return false;
      v = (v << 4) | static_cast<uint64_t>(digit);
    } else {
      if (v > (decLimit - digit) / 10) return false;
      v = v * 10 + digit;
    }
  }
  if (hex && !wide) v = static_cast<uint64_t>(static_cast<int64_t>(static_cast<int32_t>(static_cast<uint32_t>(v))));
  value = neg ? static_cast<int64_t>(0 - v) : static_cast<int64_t>(v);
  return true;
}

[[noreturn]] void InvalidInteger(const AnsiString& s) {
  throw EConvertError(Format("'%s' is not a valid integer value", {s}));
}
}  // namespace

bool TryStrToInt(const AnsiString& s, int& value) {
  int64_t v;
  if (!ParseInteger(s, v, false)) return false;
  value = static_cast<int>(v);
  return true;
}

int StrToInt(const AnsiString& s) {
  int v;
  if (!TryStrToInt(s, v)) InvalidInteger(s);
  return v;
}

int StrToIntDef(const AnsiString& s, int def) {
  int v;
  return TryStrToInt(s, v) ? v : def;
}

bool TryStrToInt64(const AnsiString& s, int64_t& value) { return ParseInteger(s, value, true); }

int64_t StrToInt64(const AnsiString& s) {
  int64_t v;
  if (!TryStrToInt64(s, v)) InvalidInteger(s);
  return v;
}

int64_t StrToInt64Def(const AnsiString& s, int64_t def) {
  int64_t v;
  return TryStrToInt64(s, v) ? v : def;
}

AnsiString FloatToStr(double value) { return AnsiString(FormatGeneral(value, 15, 0, DecimalSeparator)); }

bool TryStrToFloat(const AnsiString& text, double& value) {
  // Blanks around, a sign, digits with DecimalSeparator, an optional exponent.
  const std::string& s = text.str();
  size_t i = 0, n = s.size();
  while (i < n && IsBlank(s[i])) ++i;
  while (n > i && IsBlank(s[n - 1])) --n;
  std::string c;
  if (i < n && (s[i] == '+' || s[i] == '-')) c.push_back(s[i++]);
  int digits = 0;
  while (i < n && s[i] >= '0' && s[i] <= '9') c.push_back(s[i++]), ++digits;
  if (i < n && s[i] == DecimalSeparator) {
    c.push_back('.');
    ++i;
    while (i < n && s[i] >= '0' && s[i] <= '9') c.push_back(s[i++]), ++digits;
  }
  if (digits == 0) return false;
  if (i < n && (s[i] == 'e' || s[i] == 'E')) {
    c.push_back('e');
    ++i;
    if (i < n && (s[i] == '+' || s[i] == '-')) c.push_back(s[i++]);
    int expDigits = 0;
    while (i < n && s[i] >= '0' && s[i] <= '9') c.push_back(s[i++]), ++expDigits;
    if (expDigits == 0) return false;
  }
  if (i != n) return false;
  double v = std::strtod(c.c_str(), nullptr);
  if (std::isinf(v)) return false;
  value = v;
  return true;
}

double StrToFloat(const AnsiString& s) {
  double v;
  if (!TryStrToFloat(s, v)) throw EConvertError(Format("'%s' is not a valid floating point value", {s}));
  return v;
}

int64_t Round(double value) { return std::llrint(value); }

// --- strings -------------------------------------------------------------------

AnsiString TrimLeft(const AnsiString& s) {
  int i = 0, n = s.Length();
  while (i < n && IsBlank(s.str()[i])) ++i;
  return AnsiString(s.str().substr(i));
}

AnsiString TrimRight(const AnsiString& s) {
  int n = s.Length();
  while (n > 0 && IsBlank(s.str()[n - 1])) --n;
  return AnsiString(s.str().substr(0, n));
}

AnsiString Trim(const AnsiString& s) { return TrimLeft(TrimRight(s)); }

WideString Trim(const WideString& s) {
  const std::wstring& w = s.str();
  size_t i = 0, n = w.size();
  while (i < n && w[i] <= L' ') ++i;
  while (n > i && w[n - 1] <= L' ') --n;
  return WideString(w.substr(i, n - i));
}

AnsiString UpperCase(const AnsiString& s) {
  std::string r = s.str();
  for (char& c : r)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return AnsiString(std::move(r));
}

AnsiString LowerCase(const AnsiString& s) {
  std::string r = s.str();
  for (char& c : r)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return AnsiString(std::move(r));
}

namespace {

using TCharBuffCase = DWORD(WINAPI*)(LPSTR, DWORD);

struct TAnsiCaseTables {
  unsigned char Upper[256];
  unsigned char Lower[256];
  bool SingleByte;
  TAnsiCaseTables() {
    CPINFO info = {};
    SingleByte = GetCPInfo(CP_ACP, &info) && info.MaxCharSize == 1;
    Fill(Upper, CharUpperBuffA);
    Fill(Lower, CharLowerBuffA);
  }
  static void Fill(unsigned char (&table)[256], TCharBuffCase change) {
    char bytes[256];
    for (int i = 0; i < 256; ++i) bytes[i] = static_cast<char>(i);
    // The zero byte stops nothing: the calls work by length.
    change(bytes, 256);
    std::memcpy(table, bytes, 256);
  }
};

const TAnsiCaseTables& AnsiCaseTables() {
  static const TAnsiCaseTables tables;
  return tables;
}

void MapBytes(std::string& text, const unsigned char* table) {
  for (char& c : text) c = static_cast<char>(table[static_cast<unsigned char>(c)]);
}

void ChangeCase(std::string& text, const unsigned char* table, TCharBuffCase change) {
  if (AnsiCaseTables().SingleByte)
    MapBytes(text, table);
  else if (!text.empty())
    change(text.data(), static_cast<DWORD>(text.size()));
}

}  // namespace

const unsigned char* AnsiUpperTable() { return AnsiCaseTables().Upper; }
const unsigned char* AnsiLowerTable() { return AnsiCaseTables().Lower; }
bool AnsiCodePageIsSingleByte() { return AnsiCaseTables().SingleByte; }
void AnsiUpperInPlace(std::string& text) { ChangeCase(text, AnsiUpperTable(), CharUpperBuffA); }
void AnsiLowerInPlace(std::string& text) { ChangeCase(text, AnsiLowerTable(), CharLowerBuffA); }

std::string AnsiLowerBytes(const std::string& text) {
  std::string out(text);
  MapBytes(out, AnsiLowerTable());
  return out;
}

AnsiString AnsiUpperCase(const AnsiString& s) {
  AnsiString r = s;
  AnsiUpperInPlace(r.str());
  return r;
}

AnsiString AnsiLowerCase(const AnsiString& s) {
  AnsiString r = s;
  AnsiLowerInPlace(r.str());
  return r;
}

size_t AnsiCharBoundary(const AnsiString& s, size_t maxBytes, UINT codePage) {
  const std::string& text = s.str();
  size_t n = 0;
  while (n < text.size() && text[n] != '\0') {
    const size_t step = IsDBCSLeadByteEx(codePage, static_cast<BYTE>(text[n])) ? 2 : 1;
    if (n + step > maxBytes || n + step > text.size()) break;
    n += step;
  }
  return n;
}

size_t StrLCopyFixed(char* dest, size_t size, const AnsiString& s, UINT codePage) {
  if (size == 0) return 0;
  const size_t n = AnsiCharBoundary(s, size - 1, codePage);
  std::memcpy(dest, s.str().data(), n);
  std::memset(dest + n, 0, size - n);
  return n;
}

int CompareStr(const AnsiString& a, const AnsiString& b) {
  const std::string &x = a.str(), &y = b.str();
  size_t n = std::min(x.size(), y.size());
  for (size_t i = 0; i < n; ++i)
    if (x[i] != y[i]) return static_cast<unsigned char>(x[i]) - static_cast<unsigned char>(y[i]);
  return static_cast<int>(x.size()) - static_cast<int>(y.size());
}

int CompareText(const AnsiString& a, const AnsiString& b) {
  const std::string &x = a.str(), &y = b.str();
  size_t n = std::min(x.size(), y.size());
  auto up = [](char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return (u >= 'a' && u <= 'z') ? u - 32 : u;
  };
  for (size_t i = 0; i < n; ++i) {
    int d = up(x[i]) - up(y[i]);
    if (d) return d;
  }
  return static_cast<int>(x.size()) - static_cast<int>(y.size());
}

bool SameText(const AnsiString& a, const AnsiString& b) { return a.Length() == b.Length() && CompareText(a, b) == 0; }

namespace {
int CompareLocale(const AnsiString& a, const AnsiString& b, DWORD flags) {
  return CompareStringA(LOCALE_USER_DEFAULT, flags, a.c_str(), a.Length(), b.c_str(), b.Length()) - CSTR_EQUAL;
}
}  // namespace

int AnsiCompareStr(const AnsiString& a, const AnsiString& b) { return CompareLocale(a, b, 0); }
int AnsiCompareText(const AnsiString& a, const AnsiString& b) { return CompareLocale(a, b, NORM_IGNORECASE); }
bool AnsiSameText(const AnsiString& a, const AnsiString& b) { return AnsiCompareText(a, b) == 0; }
bool AnsiSameStr(const AnsiString& a, const AnsiString& b) { return a == b; }
int AnsiPos(const AnsiString& sub, const AnsiString& s) { return s.Pos(sub); }

AnsiString QuotedStr(const AnsiString& s) { return AnsiQuotedStr(s, '\''); }

AnsiString AnsiQuotedStr(const AnsiString& s, char quote) {
  std::string r(1, quote);
  for (char c : s.str()) {
    r.push_back(c);
    if (c == quote) r.push_back(c);
  }
  r.push_back(quote);
  return AnsiString(std::move(r));
}

AnsiString AnsiExtractQuotedStr(const char*& p, char quote) {
  if (!p || *p != quote) return AnsiString();
  std::string r;
  ++p;
  while (*p) {
    if (*p == quote) {
      if (p[1] == quote) {
        r.push_back(quote);
        p += 2;
        continue;
      }
      ++p;
      break;
    }
    r.push_back(*p++);
  }
  return AnsiString(std::move(r));
}

AnsiString StringReplace(const AnsiString& s, const AnsiString& from, const AnsiString& to, bool all,
                         bool ignoreCase) {
  if (from.IsEmpty()) return s;
  const std::string hay = ignoreCase ? AnsiUpperCase(s).str() : s.str();
  const std::string needle = ignoreCase ? AnsiUpperCase(from).str() : from.str();
  std::string r;
  size_t pos = 0;
  for (;;) {
    size_t f = hay.find(needle, pos);
    if (f == std::string::npos) break;
    r.append(s.str(), pos, f - pos);
    r += to.str();
    pos = f + needle.size();
    if (!all) break;
  }
  r.append(s.str(), pos, std::string::npos);
  return AnsiString(std::move(r));
}

AnsiString StringOfChar(char c, int count) { return AnsiString(std::string(count > 0 ? count : 0, c)); }

AnsiString AdjustLineBreaks(const AnsiString& s) {
  std::string r;
  const std::string& x = s.str();
  for (size_t i = 0; i < x.size(); ++i) {
    if (x[i] == '\r') {
      r += "\r\n";
      if (i + 1 < x.size() && x[i + 1] == '\n') ++i;
    } else if (x[i] == '\n') {
      r += "\r\n";
    } else {
      r.push_back(x[i]);
    }
  }
  return AnsiString(std::move(r));
}

// --- file names ------------------------------------------------------------------

namespace {
// 0-based index of the last '\' or ':' (or of any char in `delims`), -1 when none.
int LastDelimiter(const std::string& s, const char* delims) {
  size_t p = s.find_last_of(delims);
  return p == std::string::npos ? -1 : static_cast<int>(p);
}
}  // namespace

AnsiString ExtractFileExt(const AnsiString& name) {
  int i = LastDelimiter(name.str(), ".\\:");
  if (i >= 0 && name.str()[i] == '.') return AnsiString(name.str().substr(i));
  return AnsiString();
}

AnsiString ExtractFileName(const AnsiString& name) {
  return AnsiString(name.str().substr(LastDelimiter(name.str(), "\\:") + 1));
}

AnsiString ExtractFilePath(const AnsiString& name) {
  return AnsiString(name.str().substr(0, LastDelimiter(name.str(), "\\:") + 1));
}

AnsiString ExtractFileDir(const AnsiString& name) {
  const std::string& s = name.str();
  int i = LastDelimiter(s, "\\:");
  // "C:\file" keeps its root "C:\"; "C:\dir\file" loses the separator.
  if (i > 0 && s[i] == '\\' && s[i - 1] != '\\' && s[i - 1] != ':') --i;
  return AnsiString(s.substr(0, i + 1));
}

AnsiString ExtractFileDrive(const AnsiString& name) {
  const std::string& s = name.str();
  if (s.size() >= 2 && s[1] == ':') return AnsiString(s.substr(0, 2));
  if (s.size() >= 2 && s[0] == '\\' && s[1] == '\\') {
    // "\\server\share": up to the separator after the share name.
    size_t first = s.find('\\', 2);
    size_t second = first == std::string::npos ? first : s.find('\\', first + 1);
    return AnsiString(s.substr(0, second));
  }
  return AnsiString();
}

AnsiString ChangeFileExt(const AnsiString& name, const AnsiString& ext) {
  const std::string& s = name.str();
  int i = LastDelimiter(s, ".\\:");
  if (i < 0 || s[i] != '.') return name + ext;
  return AnsiString(s.substr(0, i)) + ext;
}

AnsiString IncludeTrailingBackslash(const AnsiString& s) {
  if (!s.IsEmpty() && s.str().back() == '\\') return s;
  return s + "\\";
}

AnsiString ExcludeTrailingBackslash(const AnsiString& s) {
  if (!s.IsEmpty() && s.str().back() == '\\') return AnsiString(s.str().substr(0, s.Length() - 1));
  return s;
}

AnsiString IncludeTrailingPathDelimiter(const AnsiString& s) { return IncludeTrailingBackslash(s); }
AnsiString ExcludeTrailingPathDelimiter(const AnsiString& s) { return ExcludeTrailingBackslash(s); }

AnsiString ExpandFileName(const AnsiString& name) {
  if (name.IsEmpty()) return AnsiString();
  char* filePart = nullptr;
  DWORD n = GetFullPathNameA(name.c_str(), 0, nullptr, &filePart);
  if (n == 0) return name;
  std::string buf(n, '\0');
  n = GetFullPathNameA(name.c_str(), n, buf.data(), &filePart);
  buf.resize(n);
  return AnsiString(std::move(buf));
}

// --- the file system ----------------------------------------------------------------

bool FileExists(const AnsiString& name) {
  DWORD a = GetFileAttributesA(name.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const AnsiString& name) {
  DWORD a = GetFileAttributesA(name.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DeleteFile(const AnsiString& name) { return DeleteFileA(name.c_str()) != 0; }
bool RenameFile(const AnsiString& from, const AnsiString& to) { return MoveFileA(from.c_str(), to.c_str()) != 0; }
bool CreateDir(const AnsiString& dir) { return CreateDirectoryA(dir.c_str(), nullptr) != 0; }
bool RemoveDir(const AnsiString& dir) { return RemoveDirectoryA(dir.c_str()) != 0; }

bool ForceDirectories(const AnsiString& dir) {
  if (dir.IsEmpty()) throw EInOutError("Unable to create directory");
  AnsiString d = ExcludeTrailingBackslash(dir);
  if (d.Length() < 3 || DirectoryExists(d) || ExtractFilePath(d) == d) return true;
  return ForceDirectories(ExtractFilePath(d)) && (CreateDir(d) || DirectoryExists(d));
}

AnsiString GetCurrentDir() {
  DWORD n = GetCurrentDirectoryA(0, nullptr);
  std::string buf(n, '\0');
  n = GetCurrentDirectoryA(n, buf.data());
  buf.resize(n);
  return AnsiString(std::move(buf));
}

bool SetCurrentDir(const AnsiString& dir) { return SetCurrentDirectoryA(dir.c_str()) != 0; }

int FileGetAttr(const AnsiString& name) { return static_cast<int>(GetFileAttributesA(name.c_str())); }

int FileSetAttr(const AnsiString& name, int attr) {
  return SetFileAttributesA(name.c_str(), static_cast<DWORD>(attr)) ? 0 : static_cast<int>(GetLastError());
}

namespace {
// The local DOS date-time of a UTC file time; -1 when it has none.
int FileTimeToDos(const FILETIME& utc) {
  FILETIME local;
  WORD date, time;
  if (FileTimeToLocalFileTime(&utc, &local) && FileTimeToDosDateTime(&local, &date, &time))
    return static_cast<int>((static_cast<uint32_t>(date) << 16) | time);
  return -1;
}
}  // namespace

int FileAge(const AnsiString& name) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(name.c_str(), GetFileExInfoStandard, &data)) return -1;
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return -1;
  return FileTimeToDos(data.ftLastWriteTime);
}

int64_t FileSizeOf(const AnsiString& name) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(name.c_str(), GetFileExInfoStandard, &data)) return -1;
  return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

AnsiString GetEnvironmentVariable(const AnsiString& name) {
  DWORD n = GetEnvironmentVariableA(name.c_str(), nullptr, 0);
  if (n == 0) return AnsiString();
  std::string buf(n, '\0');
  n = GetEnvironmentVariableA(name.c_str(), buf.data(), n);
  buf.resize(n);
  return AnsiString(std::move(buf));
}

namespace {
const int faSpecial = faHidden | faSysFile | faVolumeID | faDirectory;

// Moves to the next entry whose attributes the caller asked for; 0 or the error.
int FindMatchingFile(TSearchRec& rec) {
  while (rec.FindData.dwFileAttributes & static_cast<DWORD>(rec.ExcludeAttr)) {
    if (!FindNextFileA(rec.FindHandle, &rec.FindData)) return static_cast<int>(GetLastError());
  }
  rec.Time = FileTimeToDos(rec.FindData.ftLastWriteTime);
  rec.Size = (static_cast<int64_t>(rec.FindData.nFileSizeHigh) << 32) | rec.FindData.nFileSizeLow;
  rec.Attr = static_cast<int>(rec.FindData.dwFileAttributes);
  rec.Name = rec.FindData.cFileName;
  return 0;
}
}  // namespace

int FindFirst(const AnsiString& path, int attr, TSearchRec& rec) {
  rec.ExcludeAttr = ~attr & faSpecial;
  rec.FindHandle = FindFirstFileA(path.c_str(), &rec.FindData);
  if (rec.FindHandle == INVALID_HANDLE_VALUE) return static_cast<int>(GetLastError());
  int r = FindMatchingFile(rec);
  if (r != 0) FindClose(rec);
  return r;
}

int FindNext(TSearchRec& rec) {
  if (rec.FindHandle == INVALID_HANDLE_VALUE) return ERROR_INVALID_HANDLE;
  if (!FindNextFileA(rec.FindHandle, &rec.FindData)) return static_cast<int>(GetLastError());
  return FindMatchingFile(rec);
}

void FindClose(TSearchRec& rec) {
  if (rec.FindHandle != INVALID_HANDLE_VALUE) {
    ::FindClose(rec.FindHandle);
    rec.FindHandle = INVALID_HANDLE_VALUE;
  }
}

// --- command line ----------------------------------------------------------------------

std::vector<AnsiString> SplitCommandLine(const AnsiString& commandLine) {
  std::vector<AnsiString> args;
  const char* p = commandLine.c_str();
  // The program name: quotes group, backslashes are plain.
  std::string prog;
  if (*p == '"') {
    ++p;
    while (*p && *p != '"') prog.push_back(*p++);
    if (*p == '"') ++p;
  } else {
    while (*p && *p != ' ' && *p != '\t') prog.push_back(*p++);
  }
  args.push_back(AnsiString(prog));
  // Blanks end an argument outside quotes. A quote after 2n backslashes leaves
  // n of them and toggles quoting; after 2n+1 it leaves n and a literal quote.
  // Within a run of quotes every third one is a literal quote, and a run that
  // leaves two open quotes leaves none (the shell's CommandLineToArgvW rule).
  while (*p == ' ' || *p == '\t') ++p;
  while (*p) {
    std::string arg;
    int quotes = 0, backslashes = 0;
    while (*p && !((*p == ' ' || *p == '\t') && quotes == 0)) {
      if (*p == '\\') {
        arg.push_back(*p++);
        ++backslashes;
        continue;
      }
      if (*p != '"') {
        arg.push_back(*p++);
        backslashes = 0;
        continue;
      }
      arg.resize(arg.size() - backslashes / 2);
      if (backslashes % 2) {
        arg.back() = '"';
      } else {
        ++quotes;
      }
      ++p;
      backslashes = 0;
      while (*p == '"') {
        if (++quotes == 3) {
          arg.push_back('"');
          quotes = 0;
        }
        ++p;
      }
      if (quotes == 2) quotes = 0;
    }
    args.push_back(AnsiString(arg));
    while (*p == ' ' || *p == '\t') ++p;
  }
  return args;
}

int ParamCount() { return static_cast<int>(SplitCommandLine(GetCommandLineA()).size()) - 1; }

AnsiString ParamStr(int index) {
  if (index == 0) {
    char buf[MAX_PATH + 1];
    DWORD n = GetModuleFileNameA(nullptr, buf, sizeof buf);
    return AnsiString(buf, static_cast<int>(n));
  }
  std::vector<AnsiString> args = SplitCommandLine(GetCommandLineA());
  if (index < 0 || index >= static_cast<int>(args.size())) return AnsiString();
  return args[index];
}

// --- dates and times --------------------------------------------------------------------

namespace {
const int64_t MSecsPerDay = 86400000;
const int DateDelta = 693594;  // days from 0001-01-01 to 1899-12-30

const int DaysInMonth[2][12] = {{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
                                {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31}};

// Whole days and milliseconds of the day; the time of a date before 1899-12-30
// counts forward from its midnight just as after it.
void SplitDateTime(TDateTime dt, int& days, int& msecs) {
  int64_t ms = std::llround(dt * MSecsPerDay);
  days = static_cast<int>(ms / MSecsPerDay);
  msecs = static_cast<int>((ms < 0 ? -ms : ms) % MSecsPerDay);
}

TDateTime Combine(TDateTime date, TDateTime time) { return date >= 0 ? date + time : date - time; }

// Sunday = 0.
int DayOfWeek0(int days) { return static_cast<int>(((days % 7) + 7 + 6) % 7); }
}  // namespace

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

bool TryEncodeDate(int year, int month, int day, TDateTime& result) {
  if (year < 1 || year > 9999 || month < 1 || month > 12) return false;
  const int* dm = DaysInMonth[IsLeapYear(year)];
  if (day < 1 || day > dm[month - 1]) return false;
  for (int m = 0; m < month - 1; ++m) day += dm[m];
  int y = year - 1;
  result = y * 365 + y / 4 - y / 100 + y / 400 + day - DateDelta;
  return true;
}

bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& result) {
  if (hour < 0 || hour >= 24 || min < 0 || min >= 60 || sec < 0 || sec >= 60 || msec < 0 || msec >= 1000)
    return false;
  result = (((hour * 60 + min) * 60 + sec) * 1000 + msec) / static_cast<double>(MSecsPerDay);
  return true;
}

TDateTime EncodeDate(int year, int month, int day) {
  TDateTime r;
  if (!TryEncodeDate(year, month, day, r)) throw EConvertError("Invalid argument to date encode");
  return r;
}

TDateTime EncodeTime(int hour, int min, int sec, int msec) {
  TDateTime r;
  if (!TryEncodeTime(hour, min, sec, msec, r)) throw EConvertError("Invalid argument to time encode");
  return r;
}

void DecodeDate(TDateTime dt, int& year, int& month, int& day) {
  int days, msecs;
  SplitDateTime(dt, days, msecs);
  int t = days + DateDelta - 1;  // whole days since 0001-01-01
  if (t < 0 || t >= 3652059) {
    year = month = day = 0;
    return;
  }
  int y = 1;
  y += (t / 146097) * 400;
  t %= 146097;
  int c = t / 36524;
  if (c == 4) c = 3;
  y += c * 100;
  t -= c * 36524;
  y += (t / 1461) * 4;
  t %= 1461;
  int yy = t / 365;
  if (yy == 4) yy = 3;
  y += yy;
  t -= yy * 365;
  const int* dm = DaysInMonth[IsLeapYear(y)];
  int m = 0;
  while (t >= dm[m]) t -= dm[m++];
  year = y;
  month = m + 1;
  day = t + 1;
}

void DecodeTime(TDateTime dt, int& hour, int& min, int& sec, int& msec) {
  int days, ms;
  SplitDateTime(dt, days, ms);
  hour = ms / 3600000;
  min = ms / 60000 % 60;
  sec = ms / 1000 % 60;
  msec = ms % 1000;
}

TDateTime SystemTimeToDateTime(const SYSTEMTIME& st) {
  return Combine(EncodeDate(st.wYear, st.wMonth, st.wDay),
                 EncodeTime(st.wHour, st.wMinute, st.wSecond, st.wMilliseconds));
}

void DateTimeToSystemTime(TDateTime dt, SYSTEMTIME& st) {
  int y, mo, d, h, mi, s, ms, days, msecs;
  DecodeDate(dt, y, mo, d);
  DecodeTime(dt, h, mi, s, ms);
  SplitDateTime(dt, days, msecs);
  st.wYear = static_cast<WORD>(y);
  st.wMonth = static_cast<WORD>(mo);
  st.wDay = static_cast<WORD>(d);
  st.wDayOfWeek = static_cast<WORD>(DayOfWeek0(days));
  st.wHour = static_cast<WORD>(h);
  st.wMinute = static_cast<WORD>(mi);
  st.wSecond = static_cast<WORD>(s);
  st.wMilliseconds = static_cast<WORD>(ms);
}

TDateTime Now() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  return SystemTimeToDateTime(st);
}

TDateTime Date() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  return EncodeDate(st.wYear, st.wMonth, st.wDay);
}

TDateTime Time() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  return EncodeTime(st.wHour, st.wMinute, st.wSecond, st.wMilliseconds);
}

namespace {
std::string Num(int v, int minDigits) {
  std::string s = std::to_string(v);
  if (static_cast<int>(s.size()) < minDigits) s.insert(0, minDigits - s.size(), '0');
  return s;
}

bool StartsNoCase(const std::string& s, size_t i, const char* w) {
  for (size_t k = 0; w[k]; ++k) {
    if (i + k >= s.size()) return false;
    char c = s[i + k];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    if (c != w[k]) return false;
  }
  return true;
}

// Whether an AM/PM marker follows, which makes h and hh count 12 hours.
bool HasAmPm(const std::string& f, size_t from) {
  for (size_t i = from; i < f.size(); ++i) {
    char c = f[i];
    if (c == '\'' || c == '"') {
      size_t e = f.find(c, i + 1);
      if (e == std::string::npos) return false;
      i = e;
      continue;
    }
    if (StartsNoCase(f, i, "AM/PM") || StartsNoCase(f, i, "A/P") || StartsNoCase(f, i, "AMPM")) return true;
  }
  return false;
}

void AppendDateTime(std::string& out, const std::string& f, TDateTime dt, int depth) {
  if (depth > 2) return;  // a locale format naming itself must not recurse forever
  int year, month, day, hour, minute, sec, msec, days, msecs;
  DecodeDate(dt, year, month, day);
  DecodeTime(dt, hour, minute, sec, msec);
  SplitDateTime(dt, days, msecs);
  char last = 0;
  bool use12 = false;
  bool use12Known = false;
  size_t i = 0;
  while (i < f.size()) {
    char c = f[i];
    char token = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
    size_t count = 1;
    auto run = [&] {
      while (i + count < f.size() && (f[i + count] == c || f[i + count] == (c ^ 0x20))) ++count;
    };
    if (token >= 'A' && token <= 'Z') {
      if (token == 'M' && last == 'H') token = 'N';
      last = token;
    }
    switch (token) {
      case '\'':
      case '"': {
        size_t e = f.find(c, i + 1);
        if (e == std::string::npos) e = f.size();
        out.append(f, i + 1, e - i - 1);
        i = e + 1;
        continue;
      }
      case 'Y':
        run();
        out += count <= 2 ? Num(year % 100, 2) : Num(year, 4);
        break;
      case 'M':
        run();
        if (count == 1)
          out += Num(month, 1);
        else if (count == 2)
          out += Num(month, 2);
        else if (month >= 1)
          out += (count == 3 ? ShortMonthNames : LongMonthNames)[month - 1].str();
        break;
      case 'D':
        run();
        if (count == 1)
          out += Num(day, 1);
        else if (count == 2)
          out += Num(day, 2);
        else if (count == 3)
          out += ShortDayNames[DayOfWeek0(days)].str();
        else if (count == 4)
          out += LongDayNames[DayOfWeek0(days)].str();
        else if (count == 5)
          AppendDateTime(out, ShortDateFormat.str(), dt, depth + 1);
        else
          AppendDateTime(out, LongDateFormat.str(), dt, depth + 1);
        break;
      case 'H': {
        run();
        if (!use12Known) {
          use12 = HasAmPm(f, i);
          use12Known = true;
        }
        int h = hour;
        if (use12) {
          h = hour % 12;
          if (h == 0) h = 12;
        }
        out += Num(h, count >= 2 ? 2 : 1);
        break;
      }
      case 'N':
        run();
        out += Num(minute, count >= 2 ? 2 : 1);
        break;
      case 'S':
        run();
        out += Num(sec, count >= 2 ? 2 : 1);
        break;
      case 'Z':
        run();
        out += Num(msec, count >= 3 ? 3 : 1);
        break;
      case 'T':
        run();
        AppendDateTime(out, (count == 1 ? ShortTimeFormat : LongTimeFormat).str(), dt, depth + 1);
        break;
      case 'C':
        AppendDateTime(out, ShortDateFormat.str(), dt, depth + 1);
        if (msecs != 0) {
          out += ' ';
          AppendDateTime(out, LongTimeFormat.str(), dt, depth + 1);
        }
        break;
      case 'A':
        if (StartsNoCase(f, i, "AM/PM")) {
          bool lower = f[i] == 'a';
          out += hour >= 12 ? (lower ? "pm" : "PM") : (lower ? "am" : "AM");
          count = 5;
        } else if (StartsNoCase(f, i, "A/P")) {
          bool lower = f[i] == 'a';
          out += hour >= 12 ? (lower ? "p" : "P") : (lower ? "a" : "A");
          count = 3;
        } else if (StartsNoCase(f, i, "AMPM")) {
          out += (hour >= 12 ? TimePMString : TimeAMString).str();
          count = 4;
        } else {
          out.push_back(c);
        }
        break;
      case '/':
        out.push_back(DateSeparator);
        break;
      case ':':
        out.push_back(TimeSeparator);
        break;
      default:
        out.push_back(c);
    }
    i += count;
  }
}
}  // namespace

AnsiString FormatDateTime(const AnsiString& fmt, TDateTime dt) {
  std::string out;
  AppendDateTime(out, fmt.IsEmpty() ? std::string("c") : fmt.str(), dt, 0);
  return AnsiString(std::move(out));
}

AnsiString DateTimeToStr(TDateTime dt) {
  std::string out;
  AppendDateTime(out, ShortDateFormat.str(), dt, 1);
  out += ' ';
  AppendDateTime(out, LongTimeFormat.str(), dt, 1);
  return AnsiString(std::move(out));
}

AnsiString DateToStr(TDateTime dt) { return FormatDateTime(ShortDateFormat.IsEmpty() ? "ddddd" : ShortDateFormat, dt); }
AnsiString TimeToStr(TDateTime dt) { return FormatDateTime(LongTimeFormat.IsEmpty() ? "tt" : LongTimeFormat, dt); }

namespace {
struct TScanner {
  const std::string& S;
  size_t I = 0;
  void Blanks() {
    while (I < S.size() && S[I] == ' ') ++I;
  }
  bool Char(char c) {
    if (I < S.size() && S[I] == c) {
      ++I;
      return true;
    }
    return false;
  }
  bool Number(int& v, int& digits) {
    v = 0;
    digits = 0;
    while (I < S.size() && S[I] >= '0' && S[I] <= '9' && digits < 9) v = v * 10 + (S[I++] - '0'), ++digits;
    return digits > 0;
  }
  bool End() const { return I >= S.size(); }
};

// The order of day, month and year in ShortDateFormat: 0 = MDY, 1 = DMY, 2 = YMD.
int DateOrder() {
  for (char c : ShortDateFormat.str()) {
    switch (c | 0x20) {
      case 'd': return 1;
      case 'y': return 2;
      case 'm': return 0;
    }
  }
  return 0;
}

bool ScanDate(TScanner& sc, TDateTime& dt) {
  int n[3] = {0, 0, 0}, len[3] = {0, 0, 0};
  sc.Blanks();
  if (!sc.Number(n[0], len[0])) return false;
  if (!sc.Char(DateSeparator)) return false;
  if (!sc.Number(n[1], len[1])) return false;
  int parts = 2;
  if (sc.Char(DateSeparator)) {
    if (!sc.Number(n[2], len[2])) return false;
    parts = 3;
  }
  int y, m, d, yLen;
  SYSTEMTIME now;
  GetLocalTime(&now);
  int order = DateOrder();
  if (parts == 2) {
    y = now.wYear;
    yLen = 4;
    if (order == 1) {
      d = n[0];
      m = n[1];
    } else {
      m = n[0];
      d = n[1];
    }
  } else {
    switch (order) {
      case 1: d = n[0], m = n[1], y = n[2], yLen = len[2]; break;
      case 2: y = n[0], yLen = len[0], m = n[1], d = n[2]; break;
      default: m = n[0], d = n[1], y = n[2], yLen = len[2]; break;
    }
  }
  if (y <= 99 && yLen <= 2) {
    int base = now.wYear - TwoDigitYearCenturyWindow;
    y += base / 100 * 100;
    if (TwoDigitYearCenturyWindow > 0 && y < base) y += 100;
  }
  // A date may be followed by the separator (as "31.12.2024." in some locales).
  sc.Char(DateSeparator);
  return TryEncodeDate(y, m, d, dt);
}

bool ScanTime(TScanner& sc, TDateTime& dt) {
  int h, m = 0, s = 0, ms = 0, len;
  sc.Blanks();
  if (!sc.Number(h, len)) return false;
  if (sc.Char(TimeSeparator)) {
    if (!sc.Number(m, len)) return false;
    if (sc.Char(TimeSeparator)) {
      if (!sc.Number(s, len)) return false;
      if (sc.Char(DecimalSeparator) || sc.Char('.')) {
        if (!sc.Number(ms, len)) return false;
      }
    }
  }
  sc.Blanks();
  auto marker = [&](const AnsiString& text, const char* fixed) {
    for (const std::string& w : {text.str(), std::string(fixed)}) {
      if (w.empty()) continue;
      if (sc.S.size() - sc.I >= w.size() &&
          CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, sc.S.c_str() + sc.I, static_cast<int>(w.size()),
                         w.c_str(), static_cast<int>(w.size())) == CSTR_EQUAL) {
        sc.I += w.size();
        return true;
      }
    }
    return false;
  };
  if (marker(TimeAMString, "AM")) {
    if (h < 1 || h > 12) return false;
    if (h == 12) h = 0;
  } else if (marker(TimePMString, "PM")) {
    if (h < 1 || h > 12) return false;
    if (h != 12) h += 12;
  }
  sc.Blanks();
  return TryEncodeTime(h, m, s, ms, dt);
}
}  // namespace

bool TryStrToDate(const AnsiString& s, TDateTime& dt) {
  TScanner sc{s.str()};
  TDateTime d;
  if (!ScanDate(sc, d)) return false;
  sc.Blanks();
  if (!sc.End()) return false;
  dt = d;
  return true;
}

bool TryStrToTime(const AnsiString& s, TDateTime& dt) {
  TScanner sc{s.str()};
  TDateTime t;
  if (!ScanTime(sc, t) || !sc.End()) return false;
  dt = t;
  return true;
}

bool TryStrToDateTime(const AnsiString& s, TDateTime& dt) {
  TScanner sc{s.str()};
  TDateTime d, t = 0;
  if (!ScanDate(sc, d)) {
    // A time alone is a time on day 0.
    TScanner st{s.str()};
    if (!ScanTime(st, t) || !st.End()) return false;
    dt = t;
    return true;
  }
  sc.Blanks();
  if (!sc.End() && (!ScanTime(sc, t) || !sc.End())) return false;
  dt = Combine(d, t);
  return true;
}

int DateTimeToFileDate(TDateTime dt) {
  int y, mo, d, h, mi, s, ms;
  DecodeDate(dt, y, mo, d);
  if (y < 1980 || y > 2107) return 0;
  DecodeTime(dt, h, mi, s, ms);
  uint32_t date = (static_cast<uint32_t>(y - 1980) << 9) | (mo << 5) | d;
  uint32_t time = (h << 11) | (mi << 5) | (s >> 1);
  return static_cast<int>((date << 16) | time);
}

TDateTime FileDateToDateTime(int fileDate) {
  uint32_t v = static_cast<uint32_t>(fileDate);
  uint32_t date = v >> 16, time = v & 0xFFFF;
  return Combine(EncodeDate(static_cast<int>((date >> 9) + 1980), (date >> 5) & 15, date & 31),
                 EncodeTime(time >> 11, (time >> 5) & 63, (time & 31) * 2, 0));
}

// --- locale and platform --------------------------------------------------------------

AnsiString GetLocaleStr(LCID locale, LCTYPE type, const AnsiString& def) {
  char buf[256];
  int n = GetLocaleInfoA(locale, type, buf, sizeof buf);
  if (n <= 0) return def;
  return AnsiString(buf, n - 1);
}

char GetLocaleChar(LCID locale, LCTYPE type, char def) {
  char buf[2];
  return GetLocaleInfoA(locale, type, buf, sizeof buf) > 0 ? buf[0] : def;
}

AnsiString TranslateLocalePicture(const AnsiString& picture, bool timePicture, char separator) {
  const std::string& p = picture.str();
  std::string out;
  for (size_t i = 0; i < p.size(); ++i) {
    char c = p[i];
    size_t count = 1;
    while (i + count < p.size() && p[i + count] == c) ++count;
    switch (c) {
      case '\'': {
        // 'text' is literal; '' inside it is one quote, which the runtime writes as "'".
        std::string lit;
        size_t j = i + 1;
        for (; j < p.size(); ++j) {
          if (p[j] == '\'') {
            if (j + 1 < p.size() && p[j + 1] == '\'') {
              lit.push_back('\'');
              ++j;
              continue;
            }
            break;
          }
          lit.push_back(p[j]);
        }
        if (lit == "'") {
          out += "\"'\"";
        } else if (!lit.empty()) {
          out += '"' + lit + '"';
        } else if (j == i + 1) {
          out += "\"'\"";  // '' outside quotes
        }
        i = j;
        continue;
      }
      case 'd':
      case 'y':
      case 's':
        out.append(count, c);
        break;
      case 'M':
        out.append(count, 'm');
        break;
      case 'm':
        out.append(count, timePicture ? 'n' : 'm');
        break;
      case 'h':
      case 'H':
        out.append(std::min<size_t>(count, 2), 'h');
        break;
      case 't':
        out += "ampm";
        break;
      case 'g':
        break;  // era names are not shown
      default:
        if (c == separator) {
          out.append(count, timePicture ? ':' : '/');
        } else if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '/' || c == ':' || c == '"') {
          for (size_t k = 0; k < count; ++k) out += c == '"' ? std::string("'\"'") : std::string("\"") + c + '"';
        } else {
          out.append(count, c);
        }
    }
    i += count - 1;
  }
  return AnsiString(std::move(out));
}

void GetFormatSettings() {
  const LCID lcid = LOCALE_USER_DEFAULT;
  DecimalSeparator = GetLocaleChar(lcid, LOCALE_SDECIMAL, '.');
  ThousandSeparator = GetLocaleChar(lcid, LOCALE_STHOUSAND, ',');
  DateSeparator = GetLocaleChar(lcid, LOCALE_SDATE, '/');
  TimeSeparator = GetLocaleChar(lcid, LOCALE_STIME, ':');
  ShortDateFormat = TranslateLocalePicture(GetLocaleStr(lcid, LOCALE_SSHORTDATE, "M/d/yy"), false, DateSeparator);
  LongDateFormat = TranslateLocalePicture(GetLocaleStr(lcid, LOCALE_SLONGDATE, "MMMM d, yyyy"), false, DateSeparator);
  LongTimeFormat = TranslateLocalePicture(GetLocaleStr(lcid, LOCALE_STIMEFORMAT, "h:mm:ss tt"), true, TimeSeparator);
  // The short time is the long one without its seconds.
  std::string shortTime = LongTimeFormat.str();
  size_t sec = shortTime.find(":s");
  if (sec != std::string::npos) {
    size_t end = sec + 2;
    while (end < shortTime.size() && (shortTime[end] == 's' || shortTime[end] == 'S')) ++end;
    shortTime.erase(sec, end - sec);
  }
  ShortTimeFormat = shortTime;
  TimeAMString = GetLocaleStr(lcid, LOCALE_S1159, "AM");
  TimePMString = GetLocaleStr(lcid, LOCALE_S2359, "PM");
  static const char* const englishMonths[12] = {"January", "February", "March",     "April",   "May",      "June",
                                                "July",    "August",   "September", "October", "November", "December"};
  static const char* const englishDays[7] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
  for (int m = 0; m < 12; ++m) {
    LongMonthNames[m] = GetLocaleStr(lcid, LOCALE_SMONTHNAME1 + m, englishMonths[m]);
    ShortMonthNames[m] = GetLocaleStr(lcid, LOCALE_SABBREVMONTHNAME1 + m, AnsiString(englishMonths[m]).SubString(1, 3));
  }
  for (int d = 0; d < 7; ++d) {
    // The locale counts from Monday (LOCALE_SDAYNAME1); these arrays from Sunday.
    int l = (d + 6) % 7;
    LongDayNames[d] = GetLocaleStr(lcid, LOCALE_SDAYNAME1 + l, englishDays[d]);
    ShortDayNames[d] = GetLocaleStr(lcid, LOCALE_SABBREVDAYNAME1 + l, AnsiString(englishDays[d]).SubString(1, 3));
  }
  CurrencyString = GetLocaleStr(lcid, LOCALE_SCURRENCY, "");
  CurrencyFormat = StrToIntDef(GetLocaleStr(lcid, LOCALE_ICURRENCY, "0"), 0);
  NegCurrFormat = StrToIntDef(GetLocaleStr(lcid, LOCALE_INEGCURR, "0"), 0);
  CurrencyDecimals = StrToIntDef(GetLocaleStr(lcid, LOCALE_ICURRDIGITS, "2"), 2);

  SysLocale.DefaultLCID = GetUserDefaultLCID();
  SysLocale.PriLangID = PRIMARYLANGID(SysLocale.DefaultLCID);
  SysLocale.SubLangID = SUBLANGID(SysLocale.DefaultLCID);
  SysLocale.FarEast = GetSystemMetrics(SM_DBCSENABLED) != 0;
  SysLocale.MiddleEast = GetSystemMetrics(SM_MIDEASTENABLED) != 0;
}

// --- errors and resources -------------------------------------------------------------

AnsiString SysErrorMessage(DWORD code) {
  char buf[256];
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ARGUMENT_ARRAY,
                           nullptr, code, 0, buf, sizeof buf, nullptr);
  // The system's texts end with a period and a line break; the message boxes add their own.
  while (n > 0 && (static_cast<unsigned char>(buf[n - 1]) <= ' ' || buf[n - 1] == '.')) --n;
  return AnsiString(buf, static_cast<int>(n));
}

void RaiseLastOSError() { RaiseLastOSError(GetLastError()); }

void RaiseLastOSError(DWORD code) {
  if (code != 0)
    throw EOSError(Format("System Error.  Code: %d.\r\n%s", {static_cast<int>(code), SysErrorMessage(code)}), code);
  throw EOSError("A call to an OS function failed", 0);
}

bool Win32Check(BOOL ok) {
  if (!ok) RaiseLastOSError();
  return ok != 0;
}

HINSTANCE FindResourceHInstance(HINSTANCE instance) { return instance; }

AnsiString LoadResString(const TResStringRec* rec) {
  if (!rec) return AnsiString();
  char buf[4096];
  HINSTANCE module = FindResourceHInstance(rec->Module ? *rec->Module : HInstance);
  int n = LoadStringA(module, rec->Identifier, buf, sizeof buf);
  return AnsiString(buf, n > 0 ? n : 0);
}

// --- unit start and end -----------------------------------------------------------------

void UnitInit_sysutils() {
  GetFormatSettings();
  OSVERSIONINFOA vi{};
  vi.dwOSVersionInfoSize = sizeof vi;
  if (GetVersionExA(&vi)) {
    Win32Platform = static_cast<int>(vi.dwPlatformId);
    Win32MajorVersion = static_cast<int>(vi.dwMajorVersion);
    Win32MinorVersion = static_cast<int>(vi.dwMinorVersion);
    Win32BuildNumber = static_cast<int>(vi.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS ? vi.dwBuildNumber & 0xFFFF
                                                                                     : vi.dwBuildNumber);
    Win32CSDVersion = vi.szCSDVersion;
  }
}

void UnitFini_sysutils() {}
