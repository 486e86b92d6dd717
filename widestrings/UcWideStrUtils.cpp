#include "UcWideStrUtils.h"

#include "UcWindows.h"
#include "sysutils.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

// --- allocation ---------------------------------------------------------------------

wchar_t* WStrAlloc(unsigned size) {
  const uint32_t bytes = size * sizeof(wchar_t) + sizeof(uint32_t);
  auto* block = static_cast<uint32_t*>(std::malloc(bytes));
  if (!block) throw EOutOfMemory("Out of memory");
  *block = bytes;
  return reinterpret_cast<wchar_t*>(block + 1);
}

unsigned WStrBufSize(const wchar_t* str) {
  const uint32_t* block = reinterpret_cast<const uint32_t*>(str) - 1;
  return (*block - sizeof(uint32_t)) / sizeof(wchar_t);
}

wchar_t* WStrNew(const wchar_t* str) {
  if (!str) return nullptr;
  const unsigned len = WStrLen(str);
  wchar_t* p = WStrAlloc(len + 1);
  std::memcpy(p, str, (len + 1) * sizeof(wchar_t));
  return p;
}

void WStrDispose(wchar_t* str) {
  if (str) std::free(reinterpret_cast<uint32_t*>(str) - 1);
}

// --- copying and scanning -------------------------------------------------------------

wchar_t* WStrMove(wchar_t* dest, const wchar_t* source, unsigned count) {
  std::memmove(dest, source, count * sizeof(wchar_t));
  return dest;
}

unsigned WStrLen(const wchar_t* str) {
  const wchar_t* p = str;
  while (*p) ++p;
  return static_cast<unsigned>(p - str);
}

wchar_t* WStrEnd(const wchar_t* str) { return const_cast<wchar_t*>(str) + WStrLen(str); }

wchar_t* WStrCopy(wchar_t* dest, const wchar_t* source) {
  wchar_t* d = dest;
  while ((*d++ = *source++) != L'\0') {
  }
  return dest;
}

wchar_t* WStrLCopy(wchar_t* dest, const wchar_t* source, unsigned maxLen) {
  unsigned i = 0;
  for (; i < maxLen && source[i]; ++i) dest[i] = source[i];
  dest[i] = L'\0';
  return dest;
}

wchar_t* WStrPCopy(wchar_t* dest, const WideString& source) {
  return WStrLCopy(dest, source.c_bstr(), static_cast<unsigned>(source.Length()));
}

wchar_t* WStrPLCopy(wchar_t* dest, const WideString& source, unsigned maxLen) {
  return WStrLCopy(dest, source.c_bstr(), maxLen);
}

wchar_t* WStrECopy(wchar_t* dest, const wchar_t* source) {
  while ((*dest = *source++) != L'\0') ++dest;
  return dest;
}

wchar_t* WStrCat(wchar_t* dest, const wchar_t* source) {
  WStrCopy(WStrEnd(dest), source);
  return dest;
}

wchar_t* WStrLCat(wchar_t* dest, const wchar_t* source, unsigned maxLen) {
  const unsigned len = WStrLen(dest);
  if (len < maxLen) WStrLCopy(dest + len, source, maxLen - len);
  return dest;
}

wchar_t* WStrScan(const wchar_t* str, wchar_t chr) {
  for (;; ++str) {
    if (*str == chr) return const_cast<wchar_t*>(str);
    if (!*str) return nullptr;
  }
}

wchar_t* WStrRScan(const wchar_t* str, wchar_t chr) {
  const wchar_t* found = nullptr;
  for (;; ++str) {
    if (*str == chr) found = str;
    if (!*str) return const_cast<wchar_t*>(found);
  }
}

wchar_t* WStrPos(const wchar_t* str, const wchar_t* subStr) {
  if (!str || !*str || !subStr || !*subStr) return nullptr;
  const unsigned subLen = WStrLen(subStr);
  for (const wchar_t* p = str; *p; ++p)
    if (std::wcsncmp(p, subStr, subLen) == 0) return const_cast<wchar_t*>(p);
  return nullptr;
}

// --- comparison -------------------------------------------------------------------------

namespace {
int CompareLocale(const wchar_t* s1, int n1, const wchar_t* s2, int n2, DWORD flags) {
  return Uc_CompareStringW(GetThreadLocale(), flags, s1, n1, s2, n2) - 2;
}
}  // namespace

int WStrComp(const wchar_t* str1, const wchar_t* str2) { return CompareLocale(str1, -1, str2, -1, 0); }

int WStrIComp(const wchar_t* str1, const wchar_t* str2) {
  return CompareLocale(str1, -1, str2, -1, NORM_IGNORECASE);
}

int WStrLComp(const wchar_t* str1, const wchar_t* str2, unsigned maxLen) {
  return CompareLocale(str1, static_cast<int>(std::min(maxLen, WStrLen(str1))), str2,
                       static_cast<int>(std::min(maxLen, WStrLen(str2))), 0);
}

int WStrLIComp(const wchar_t* str1, const wchar_t* str2, unsigned maxLen) {
  return CompareLocale(str1, static_cast<int>(std::min(maxLen, WStrLen(str1))), str2,
                       static_cast<int>(std::min(maxLen, WStrLen(str2))), NORM_IGNORECASE);
}

int Uc_WStrComp(const wchar_t* str1, const wchar_t* str2) { return WStrComp(str1, str2); }
wchar_t* Uc_WStrPos(const wchar_t* str, const wchar_t* subStr) { return WStrPos(str, subStr); }

wchar_t* WStrUpper(wchar_t* str) {
  Uc_CharUpperBuffW(str, WStrLen(str));
  return str;
}

wchar_t* WStrLower(wchar_t* str) {
  Uc_CharLowerBuffW(str, WStrLen(str));
  return str;
}

WideString WStrPas(const wchar_t* str) { return WideString(str); }

const wchar_t* WideLastChar(const WideString& s) { return s.IsEmpty() ? nullptr : s.c_bstr() + s.Length() - 1; }

// --- quoted strings -----------------------------------------------------------------------

WideString WideQuotedStr(const WideString& s, wchar_t quote) {
  std::wstring r;
  r.reserve(static_cast<size_t>(s.Length()) + 2);
  r += quote;
  for (wchar_t c : s.str()) {
    r += c;
    if (c == quote) r += quote;
  }
  r += quote;
  return WideString(std::move(r));
}

WideString WideExtractQuotedStr(const wchar_t*& src, wchar_t quote) {
  if (!src || *src != quote) return WideString();
  const wchar_t* p = src + 1;
  std::wstring r;
  for (;;) {
    if (*p == L'\0') {
      // No closing quote. The text loses its last character here, as the class
      // library's own extraction does; callers rely on the same result.
      if (!r.empty()) r.pop_back();
      break;
    }
    if (*p == quote) {
      if (p[1] == quote) {
        r += quote;
        p += 2;
        continue;
      }
      ++p;
      break;
    }
    r += *p++;
  }
  src = p;
  return WideString(std::move(r));
}

WideString WideDequotedStr(const WideString& s, wchar_t quote) {
  const wchar_t* p = s.c_bstr();
  WideString r = WideExtractQuotedStr(p, quote);
  return r.IsEmpty() ? s : r;
}

void Uc_ReplaceSelection(HWND edit, const WideString& text) {
  SendMessageW(edit, EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(text.c_bstr()));
}

// --- buffer search --------------------------------------------------------------------

namespace {
// Word delimiters: characters up to U+00FF other than ASCII letters and digits.
bool IsWordDelimiter(wchar_t c) {
  if (c > 0xFF) return false;
  return !((c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9'));
}
}  // namespace

wchar_t* SearchBuf(wchar_t* buf, int bufLen, int selStart, int selLength, const WideString& searchString,
                   TStringSeachOptions options) {
  if (bufLen <= 0) return nullptr;
  const int searchLen = searchString.Length();
  const bool down = options & (1u << soDown);
  const bool wholeWord = options & (1u << soWholeWord);
  int direction, count;
  if (down) {
    direction = 1;
    selStart += selLength;
    count = bufLen - selStart - searchLen + 1;
    if (count < 0 || static_cast<int64_t>(selStart) + count > bufLen) return nullptr;
  } else {
    direction = -1;
    selStart -= searchLen;
    count = selStart + 1;
  }
  if (selStart < 0 || selStart > bufLen) return nullptr;

  // The compared forms; the caller's buffer stays as it is.
  std::wstring text(buf, static_cast<size_t>(bufLen));
  std::wstring pattern = searchString.str();
  if (!(options & (1u << soMatchCase))) {
    if (!text.empty()) Uc_CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
    if (!pattern.empty()) Uc_CharUpperBuffW(pattern.data(), static_cast<DWORD>(pattern.size()));
  }
  auto at = [&](int i) -> wchar_t { return i >= 0 && i < bufLen ? text[i] : L'\0'; };

  // Forward: past the rest of this word and the delimiters after it. Backward:
  // past the delimiters and the word before them, ending on its first character.
  auto nextWordStart = [&](int& pos) -> bool {
    while (count > 0 && (direction == 1) != IsWordDelimiter(at(pos))) {
      pos += direction;
      --count;
    }
    while (count > 0 && (direction == 1) == IsWordDelimiter(at(pos))) {
      pos += direction;
      --count;
    }
    bool found = count > 0;
    if (direction == -1) {
      pos -= direction;
      ++count;
    }
    return found;
  };

  int pos = selStart;
  while (count > 0) {
    if (wholeWord && pos != selStart && !nextWordStart(pos)) break;
    int i = 0;
    while (i < searchLen && at(pos + i) == pattern[static_cast<size_t>(i)]) ++i;
    if (searchLen > 0 && i == searchLen) {
      // The end of the buffer counts as a delimiter, as its terminator would.
      if (!wholeWord || count == 0 || IsWordDelimiter(at(pos + i))) return buf + pos;
    }
    pos += direction;
    --count;
  }
  return nullptr;
}
