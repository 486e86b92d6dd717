#include "LongPath.h"

#include <string>

namespace {

const std::wstring kPrefix = L"\\\\?\\";
const std::wstring kUncPrefix = L"\\\\?\\UNC\\";

}  // namespace

WideString ExtendedPathForm(const WideString& path) {
  const std::wstring& p = path.str();
  if (p.rfind(kPrefix, 0) == 0) return path;
  if (p.rfind(L"\\\\", 0) == 0) return WideString(kUncPrefix + p.substr(2));
  if (p.size() >= 3 && p[1] == L':' && p[2] == L'\\') return WideString(kPrefix + p);
  return path;
}

WideString LongPathForm(const WideString& path) {
  // Below this length the plain form works for every call made on it,
  // including a "\*" pattern and an 8.3 name appended by the system.
  constexpr size_t kPlainLimit = MAX_PATH - 14;
  if (path.str().size() < kPlainLimit) return path;
  return ExtendedPathForm(path);
}

WideString ShownPath(const WideString& path) {
  const std::wstring& p = path.str();
  if (p.rfind(kUncPrefix, 0) == 0) return WideString(L"\\\\" + p.substr(kUncPrefix.size()));
  if (p.rfind(kPrefix, 0) == 0) return WideString(p.substr(kPrefix.size()));
  return path;
}
