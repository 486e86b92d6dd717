#include "ZipFormat.h"

#include "UcCodePages.h"

TZEExtraBlock MakeUnicodeNameBlock(const WideString& storedName) {
  TZEExtraBlock b;
  b.Id = ZE_EXTRA_UNICODE;
  const uint32_t n = static_cast<uint32_t>(storedName.Length());
  b.Data.reserve(8 + 2 * n);
  PutLE32(b.Data, ZE_UNICODE_TAG);
  PutLE32(b.Data, n);
  for (uint32_t i = 1; i <= n; ++i) PutLE16(b.Data, static_cast<uint16_t>(storedName[static_cast<int>(i)]));
  return b;
}

bool ParseUnicodeNameBlock(const std::vector<uint8_t>& data, WideString& name) {
  if (data.size() < 4 || GetLE32(data.data()) != ZE_UNICODE_TAG) return false;
  uint32_t n = data.size() >= 8 ? GetLE32(data.data() + 4) : 0;
  const size_t have = data.size() >= 8 ? (data.size() - 8) / 2 : 0;
  if (n > have) n = static_cast<uint32_t>(have);
  std::wstring s(n, L'\0');
  for (uint32_t i = 0; i < n; ++i) s[i] = static_cast<wchar_t>(GetLE16(data.data() + 8 + 2 * i));
  name = WideString(std::move(s));
  return true;
}

AnsiString StoredNameToDisk(const WideString& name, bool oem) {
  AnsiString a = WideToAnsi(name);
  if (oem && a.Length() > 0) CharToOemBuffA(a.c_str(), a.data(), static_cast<DWORD>(a.Length()));
  return a;
}

WideString DiskNameToStored(const char* bytes, size_t count, bool oem) {
  size_t n = 0;
  while (n < count && bytes[n] != 0) ++n;
  AnsiString a(bytes, static_cast<int>(n));
  if (oem && n > 0) OemToCharBuffA(a.c_str(), a.data(), static_cast<DWORD>(n));
  return AnsiToWide(a);
}

AnsiString StoredNameToDisk(const WideString& name, bool oem, uint16_t flags) {
  return (flags & ZE_FLAG_UTF8) ? WideStringToUTF8(name) : StoredNameToDisk(name, oem);
}

WideString DiskNameToStored(const char* bytes, size_t count, bool oem, uint16_t flags) {
  if (!(flags & ZE_FLAG_UTF8)) return DiskNameToStored(bytes, count, oem);
  size_t n = 0;
  while (n < count && bytes[n] != 0) ++n;
  return UTF8ToWideString(AnsiString(bytes, static_cast<int>(n)));
}
