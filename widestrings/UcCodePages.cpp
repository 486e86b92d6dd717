#include "UcCodePages.h"

#include "UcSysUtils.h"
#include "UcWindows.h"

#include <array>
#include <cstring>
#include <string>

// Constant-initialised, so that a wrapper called before the unit starts already
// takes the wide road of every NT system.
bool Win32PlatformIsUnicode = true;
bool Win32PlatformIsXP = false;
bool Win32PlatformIs2003 = false;
bool Win32PlatformIsVista = false;

TWideCustomLoadResString WideCustomLoadResString = nullptr;

void UnitInit_UcCodePages() {
  Win32PlatformIsUnicode = Win32Platform == VER_PLATFORM_WIN32_NT;
  Win32PlatformIsXP = Win32MajorVersion > 5 || (Win32MajorVersion == 5 && Win32MinorVersion >= 1);
  Win32PlatformIs2003 = Win32MajorVersion > 5 || (Win32MajorVersion == 5 && Win32MinorVersion >= 2);
  Win32PlatformIsVista = Win32MajorVersion >= 6;
}

void UnitFini_UcCodePages() {}

UINT DefaultSystemCodePage() { return CP_ACP; }

WideString SystemToWide(const AnsiString& s) { return StringToWideStringEx(s, DefaultSystemCodePage()); }
AnsiString WideToSystem(const WideString& ws) { return WideStringToStringEx(ws, DefaultSystemCodePage()); }

// --- code pages ------------------------------------------------------------------

WideString StringToWideStringEx(const AnsiString& s, UINT codePage) {
  if (codePage == CP_UTF7_NUMBER) return UTF7ToWideString(s);
  if (codePage == CP_UTF8_NUMBER) return UTF8ToWideString(s);
  if (s.IsEmpty()) return WideString();
  int n = MultiByteToWideChar(codePage, 0, s.c_str(), s.Length(), nullptr, 0);
  if (n <= 0) return WideString();
  std::wstring w(n, L'\0');
  MultiByteToWideChar(codePage, 0, s.c_str(), s.Length(), w.data(), n);
  return WideString(std::move(w));
}

AnsiString WideStringToStringEx(const WideString& ws, UINT codePage) {
  if (codePage == CP_UTF7_NUMBER) return WideStringToUTF7(ws);
  if (codePage == CP_UTF8_NUMBER) return WideStringToUTF8(ws);
  if (ws.IsEmpty()) return AnsiString();
  int n = WideCharToMultiByte(codePage, 0, ws.c_bstr(), ws.Length(), nullptr, 0, nullptr, nullptr);
  if (n <= 0) return AnsiString();
  std::string a(n, '\0');
  WideCharToMultiByte(codePage, 0, ws.c_bstr(), ws.Length(), a.data(), n, nullptr, nullptr);
  return AnsiString(std::move(a));
}

// --- UTF-8 -------------------------------------------------------------------------

AnsiString WideStringToUTF8(const WideString& ws) {
  const std::wstring& w = ws.str();
  std::string out;
  out.reserve(w.size() * 3);
  for (size_t i = 0; i < w.size(); ++i) {
    unsigned c = static_cast<uint16_t>(w[i]);
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c >= 0xD800 && c <= 0xDBFF && i + 1 < w.size() && static_cast<uint16_t>(w[i + 1]) >= 0xDC00 &&
               static_cast<uint16_t>(w[i + 1]) <= 0xDFFF) {
      unsigned cp = 0x10000 + ((c - 0xD800) << 10) + (static_cast<uint16_t>(w[i + 1]) - 0xDC00);
      ++i;
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      // Lone surrogates too: one three-byte sequence per code unit.
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return AnsiString(std::move(out));
}

WideString UTF8ToWideString(const AnsiString& s) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(s.c_str());
  const size_t n = static_cast<size_t>(s.Length());
  std::wstring out;
  out.reserve(n);
  auto trail = [&](size_t i) { return i < n && (p[i] & 0xC0) == 0x80; };
  size_t i = 0;
  while (i < n) {
    unsigned c = p[i];
    if (c < 0x80) {
      out += static_cast<wchar_t>(c);
      ++i;
    } else if ((c & 0xF8) == 0xF0) {
      if (!trail(i + 1) || !trail(i + 2) || !trail(i + 3)) return WideString();
      unsigned cp = ((c & 0x07) << 18) | ((p[i + 1] & 0x3Fu) << 12) | ((p[i + 2] & 0x3Fu) << 6) | (p[i + 3] & 0x3Fu);
      if (cp < 0x10000 || cp > 0x10FFFF) return WideString();
      cp -= 0x10000;
      out += static_cast<wchar_t>(0xD800 + (cp >> 10));
      out += static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
      i += 4;
    } else if (c & 0x20) {
      if (!trail(i + 1) || !trail(i + 2)) return WideString();
      out += static_cast<wchar_t>(((c & 0x0F) << 12) | ((p[i + 1] & 0x3Fu) << 6) | (p[i + 2] & 0x3Fu));
      i += 3;
    } else {
      if (!trail(i + 1)) return WideString();
      out += static_cast<wchar_t>(((c & 0x1F) << 6) | (p[i + 1] & 0x3Fu));
      i += 2;
    }
  }
  return WideString(std::move(out));
}

// --- UTF-7 -------------------------------------------------------------------------

namespace {

constexpr char Base64Chars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char DirectChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789'(),-./:?";
constexpr char OptionalDirectChars[] = "!\"#$%&*;<=>@[]^_`{|}";
constexpr char SpaceChars[] = "\t\r\n ";

struct TUtf7Tables {
  std::array<bool, 128> MustShiftOptDirect{};  // optional direct characters written directly
  std::array<bool, 128> MustShiftNoOpt{};      // optional direct characters shifted
  std::array<signed char, 128> Base64Value{};
};

constexpr TUtf7Tables MakeUtf7Tables() {
  TUtf7Tables t;
  for (int c = 0; c < 128; ++c) {
    t.MustShiftOptDirect[c] = true;
    t.MustShiftNoOpt[c] = true;
    t.Base64Value[c] = -1;
  }
  for (const char* p = DirectChars; *p; ++p) {
    t.MustShiftOptDirect[static_cast<unsigned char>(*p)] = false;
    t.MustShiftNoOpt[static_cast<unsigned char>(*p)] = false;
  }
  for (const char* p = SpaceChars; *p; ++p) {
    t.MustShiftOptDirect[static_cast<unsigned char>(*p)] = false;
    t.MustShiftNoOpt[static_cast<unsigned char>(*p)] = false;
  }
  for (const char* p = OptionalDirectChars; *p; ++p) t.MustShiftOptDirect[static_cast<unsigned char>(*p)] = false;
  for (int i = 0; i < 64; ++i) t.Base64Value[static_cast<unsigned char>(Base64Chars[i])] = static_cast<signed char>(i);
  return t;
}

constexpr TUtf7Tables Utf7 = MakeUtf7Tables();

bool IsBase64Char(unsigned c) { return c < 128 && Utf7.Base64Value[c] >= 0; }

}  // namespace

AnsiString WideStringToUTF7(const WideString& ws) {
  const std::wstring& w = ws.str();
  const size_t limit = w.size() * 7;
  std::string out;
  out.reserve(limit);
  auto put = [&](char c) {
    if (out.size() >= limit) throw EUcInternalError("Buffer overflow");
    out += c;
  };
  bool inRun = false;
  uint32_t bits = 0;  // never more than 5 + 16 pending bits
  int bitCount = 0;
  // Appends a code unit to the run and writes every complete group of 6 bits.
  auto shiftIn = [&](unsigned c) {
    bits = (bits << 16) | c;
    bitCount += 16;
    while (bitCount >= 6) {
      bitCount -= 6;
      put(Base64Chars[(bits >> bitCount) & 0x3F]);
    }
    bits &= (1u << bitCount) - 1;
  };
  for (size_t i = 0; i <= w.size(); ++i) {
    const bool atEnd = i == w.size();
    const unsigned c = atEnd ? 0 : static_cast<uint16_t>(w[i]);
    const bool shift = !atEnd && (c > 0x7F || Utf7.MustShiftOptDirect[c]);
    if (inRun) {
      if (shift) {
        shiftIn(c);
        continue;
      }
      if (bitCount > 0) put(Base64Chars[(bits << (6 - bitCount)) & 0x3F]);
      bits = 0;
      bitCount = 0;
      // A '-' closes the run only where the next character could be read as
      // part of it.
      if (!atEnd && (IsBase64Char(c) || c == '-')) put('-');
      inRun = false;
    }
    if (atEnd) break;
    if (!shift) {
      put(static_cast<char>(c));
      continue;
    }
    put('+');
    if (c == '+') {
      put('-');
      continue;
    }
    inRun = true;
    shiftIn(c);
  }
  return AnsiString(std::move(out));
}

WideString UTF7ToWideString(const AnsiString& s) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(s.c_str());
  const size_t n = static_cast<size_t>(s.Length());
  std::wstring out;
  out.reserve(n);
  auto put = [&](wchar_t c) {
    if (out.size() >= n) throw EUcInternalError("Buffer overflow");
    out += c;
  };
  bool invalid = false;
  size_t i = 0;
  while (i < n) {
    unsigned c = p[i++];
    if (c != '+') {
      if (c > 0x7F) invalid = true;  // stored all the same
      put(static_cast<wchar_t>(c));
      continue;
    }
    uint32_t bits = 0;
    int bitCount = 0;
    bool anyBase64 = false;
    int produced = 0;
    while (i < n && IsBase64Char(p[i])) {
      bits = (bits << 6) | static_cast<uint32_t>(Utf7.Base64Value[p[i]]);
      bitCount += 6;
      anyBase64 = true;
      ++i;
      if (bitCount >= 16) {
        bitCount -= 16;
        put(static_cast<wchar_t>((bits >> bitCount) & 0xFFFF));
        ++produced;
        bits &= (1u << bitCount) - 1;
      }
    }
    // The closing byte: a '-' is consumed, anything else is read again as a
    // character outside the run.
    const bool dash = i < n && p[i] == '-';
    if (dash) ++i;
    if (!anyBase64) {
      if (dash)
        put(L'+');  // "+-" stands for '+'
      else
        invalid = true;
    } else if (produced == 0 || bits != 0) {
      invalid = true;
    }
  }
  if (invalid) throw EUcGeneralError("Invalid UTF7");
  return WideString(std::move(out));
}

// --- raw UTF-16 -----------------------------------------------------------------

WideString UCS2ToWideString(const AnsiString& s) {
  std::wstring w(static_cast<size_t>(s.Length()) / 2, L'\0');
  if (!w.empty()) std::memcpy(w.data(), s.c_str(), w.size() * 2);
  return WideString(std::move(w));
}

AnsiString WideStringToUCS2(const WideString& ws) {
  std::string a(static_cast<size_t>(ws.Length()) * 2, '\0');
  if (!a.empty()) std::memcpy(a.data(), ws.c_bstr(), a.size());
  return AnsiString(std::move(a));
}

void StrSwapByteOrder(wchar_t* p) {
  if (!p) return;
  for (; *p; ++p) *p = static_cast<wchar_t>(((*p & 0xFF) << 8) | ((*p >> 8) & 0xFF));
}

// --- locales and keys ----------------------------------------------------------------

UINT LCIDToCodePage(LCID lcid) {
  char buf[6] = {};
  int n = GetLocaleInfoA(lcid, LOCALE_IDEFAULTANSICODEPAGE, buf, sizeof buf);
  if (n > 1) {
    UINT value = 0;
    bool ok = true;
    for (int i = 0; i < n - 1; ++i) {
      if (buf[i] < '0' || buf[i] > '9') {
        ok = false;
        break;
      }
      value = value * 10 + static_cast<UINT>(buf[i] - '0');
    }
    if (ok) return value;
  }
  return GetACP();
}

UINT KeyboardCodePage() {
  return LCIDToCodePage(LOWORD(reinterpret_cast<UINT_PTR>(GetKeyboardLayout(0))));
}

wchar_t KeyUnicode(WORD key) {
  if (key >= 256) return static_cast<wchar_t>(key);
  char byte = static_cast<char>(key);
  wchar_t result = 0;
  if (MultiByteToWideChar(KeyboardCodePage(), MB_USEGLYPHCHARS, &byte, 1, &result, 1) != 1) return 0;
  return result;
}

UINT CharSetToCodePage(DWORD charSet) {
  CHARSETINFO info{};
  if (!TranslateCharsetInfo(reinterpret_cast<DWORD*>(static_cast<UINT_PTR>(charSet)), &info, TCI_SRCCHARSET))
    RaiseLastOSError();
  return info.ciACP;
}

// --- command line --------------------------------------------------------------------

namespace {

// Takes one argument from p; returns where the next one starts.
const wchar_t* NextParam(const wchar_t* p, std::wstring& param) {
  param.clear();
  for (;;) {
    while (*p && *p <= L' ') ++p;
    if (p[0] == L'"' && p[1] == L'"')
      p += 2;
    else
      break;
  }
  while (*p > L' ') {
    if (*p == L'"') {
      ++p;
      while (*p && *p != L'"') param += *p++;
      if (*p) ++p;
    } else {
      param += *p++;
    }
  }
  return p;
}

}  // namespace

int WideParamCountOf(const wchar_t* commandLine) {
  if (!commandLine) return 0;
  std::wstring param;
  const wchar_t* p = NextParam(commandLine, param);  // the program name
  int count = 0;
  for (;;) {
    p = NextParam(p, param);
    if (param.empty()) break;
    ++count;
  }
  return count;
}

WideString WideParamStrOf(const wchar_t* commandLine, int index) {
  if (!commandLine || index < 0) return WideString();
  std::wstring param;
  const wchar_t* p = commandLine;
  for (int i = 0; i <= index; ++i) {
    p = NextParam(p, param);
    if (param.empty()) break;
  }
  return WideString(param);
}

int WideParamCount() { return WideParamCountOf(GetCommandLineW()); }

WideString WideParamStr(int index) {
  if (index == 0) return WideGetModuleFileName(nullptr);
  return WideParamStrOf(GetCommandLineW(), index);
}

// --- resource strings ---------------------------------------------------------------

WideString WideLoadResString(const TResStringRec* rec) {
  WideString result;
  if (WideCustomLoadResString && WideCustomLoadResString(rec, result)) return result;
  if (!rec) return WideString();
  if (rec->Identifier >= 0x10000) {
    const char* text = reinterpret_cast<const char*>(static_cast<UINT_PTR>(rec->Identifier));
    size_t len = std::strlen(text);
    if (len > 3 && std::memcmp(text, "\xEF\xBB\xBF", 3) == 0) return UTF8ToWideString(AnsiString(text + 3));
    return StringToWideStringEx(AnsiString(text), DefaultSystemCodePage());
  }
  std::wstring buf(4097, L'\0');
  HINSTANCE module = FindResourceHInstance(rec->Module ? *rec->Module : HInstance);
  int n = Uc_LoadStringW(module, rec->Identifier, buf.data(), static_cast<int>(buf.size()));
  buf.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return WideString(std::move(buf));
}
