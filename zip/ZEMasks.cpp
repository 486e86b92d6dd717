#include "ZEMasks.h"

#include <cwchar>
#include <vector>

#include "sysutils.h"

namespace {

// Compares one character of each text in the user's default locale; true when
// the locale treats them as equal.
bool SameChar(wchar_t a, wchar_t b) {
  if (a == b) return true;
  int r = CompareStringW(LOCALE_USER_DEFAULT, 0, &a, 1, &b, 1);
  if (r != 0) return r == CSTR_EQUAL;
  if (GetLastError() != ERROR_CALL_NOT_IMPLEMENTED) RaiseLastOSError();
  // Systems without the wide call: the same one-character test, narrowed.
  char na[4] = {}, nb[4] = {};
  int la = WideCharToMultiByte(CP_ACP, 0, &a, 1, na, sizeof na, nullptr, nullptr);
  int lb = WideCharToMultiByte(CP_ACP, 0, &b, 1, nb, sizeof nb, nullptr, nullptr);
  return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, na, la, nb, lb) == CSTR_EQUAL;
}

wchar_t Upper(wchar_t c) {
  CharUpperBuffW(&c, 1);
  return c;
}

class TMatcher {
public:
  TMatcher(const wchar_t* s, const wchar_t* p, bool ignoreCase)
      : FStr(s), FPat(p), FStrLen(std::wcslen(s)), FPatLen(std::wcslen(p)), FIgnoreCase(ignoreCase) {}

  // The walk from (i, j). Each '*' tries every split of the rest of the text;
  // the splits that failed are remembered, so a pattern with many '*' costs
  // text length times pattern length, not an exponential number of tries.
  bool Match(size_t i, size_t j) {
    // Every try of a split starts the matcher afresh, and a fresh start takes a
    // pattern of exactly "*.*" as matching anything.
    if (FPatLen - j == 3 && std::wcscmp(FPat + j, L"*.*") == 0) return true;
    for (;;) {
      if (FPatLen - j == 1 && FPat[j] == L'*') return true;
      if (i == FStrLen) return j == FPatLen;
      if (j == FPatLen) return false;
      wchar_t pc = FPat[j];
      if (pc == L'*') return Star(i, j + 1);
      if (pc != L'?') {
        wchar_t sc = FStr[i];
        if (FIgnoreCase) {
          sc = Upper(sc);
          pc = Upper(pc);
        }
        if (!SameChar(sc, pc)) return false;
      }
      ++i;
      ++j;
    }
  }

private:
  bool Star(size_t i, size_t j) {
    // Never the empty rest of the text: a trailing '*' matched it above or the
    // rest of the pattern cannot.
    for (size_t k = i; k < FStrLen; ++k) {
      if (Failed(k, j)) continue;
      if (Match(k, j)) return true;
      MarkFailed(k, j);
    }
    return false;
  }
  bool Failed(size_t i, size_t j) const { return !FFailed.empty() && FFailed[i * (FPatLen + 1) + j]; }
  void MarkFailed(size_t i, size_t j) {
    if (FFailed.empty()) FFailed.assign((FStrLen + 1) * (FPatLen + 1), false);
    FFailed[i * (FPatLen + 1) + j] = true;
  }

  const wchar_t* FStr;
  const wchar_t* FPat;
  size_t FStrLen, FPatLen;
  bool FIgnoreCase;
  std::vector<bool> FFailed;
};

}  // namespace

bool WIsStrMatchPattern(const wchar_t* str, const wchar_t* pattern, bool ignoreCase) {
  if (!str) str = L"";
  if (!pattern) pattern = L"";
  return TMatcher(str, pattern, ignoreCase).Match(0, 0);
}
