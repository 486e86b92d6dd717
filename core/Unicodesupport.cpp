#include "Unicodesupport.h"

#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace Unicodesupport {

namespace {

class TReadHandle {
public:
  explicit TReadHandle(const AnsiString& name)
      : FHandle(CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr)) {}
  ~TReadHandle() {
    if (Ok()) CloseHandle(FHandle);
  }
  TReadHandle(const TReadHandle&) = delete;
  TReadHandle& operator=(const TReadHandle&) = delete;
  bool Ok() const { return FHandle != INVALID_HANDLE_VALUE; }
  // -1 when the size cannot be had.
  int64_t Size() const {
    LARGE_INTEGER size;
    return GetFileSizeEx(FHandle, &size) ? size.QuadPart : -1;
  }
  DWORD Read(void* buffer, int64_t offset, DWORD count) const {
    LARGE_INTEGER at;
    at.QuadPart = offset;
    if (!SetFilePointerEx(FHandle, at, nullptr, FILE_BEGIN)) return 0;
    DWORD done = 0;
    if (!ReadFile(FHandle, buffer, count, &done, nullptr)) return 0;
    return done;
  }

private:
  HANDLE FHandle;
};

bool Continuation(unsigned char c) { return (c & 0xC0) == 0x80; }

}  // namespace

bool DecodeUtf8(const char* bytes, size_t count, std::wstring& out) {
  out.clear();
  out.reserve(count);
  const auto* p = reinterpret_cast<const unsigned char*>(bytes);
  size_t i = 0;
  while (i < count) {
    const unsigned char c = p[i];
    if (c < 0x80) {
      out += static_cast<wchar_t>(c);
      ++i;
      continue;
    }
    int extra;
    uint32_t value;
    uint32_t least;
    if ((c & 0xE0) == 0xC0) {
      extra = 1, value = c & 0x1F, least = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
      extra = 2, value = c & 0x0F, least = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
      extra = 3, value = c & 0x07, least = 0x10000;
    } else {
      return false;  // a stray continuation byte or an invalid lead byte
    }
    if (i + extra >= count) return false;  // cut off by the end of the text
    for (int k = 1; k <= extra; ++k) {
      if (!Continuation(p[i + k])) return false;
      value = (value << 6) | (p[i + k] & 0x3F);
    }
    if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return false;
    if (value >= 0x10000) {
      value -= 0x10000;
      out += static_cast<wchar_t>(0xD800 + (value >> 10));
      out += static_cast<wchar_t>(0xDC00 + (value & 0x3FF));
    } else {
      out += static_cast<wchar_t>(value);
    }
    i += extra + 1;
  }
  return true;
}

namespace {

// The encoding the first four bytes of a text announce.
TextEncoding EncodingOfHead(const unsigned char* b) {
  if (b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) return teUtf8;
  if (b[0] == 0xFE && b[1] == 0xFF) return teUtf16BE;
  if (b[0] == 0x00 && b[1] == 0x00 && b[2] == 0xFE && b[3] == 0xFF) return teUtf32BE;
  if (b[0] == 0xFF && b[1] == 0xFE && b[2] == 0x00 && b[3] == 0x00) return teUtf32LE;
  if (b[0] == 0xFF && b[1] == 0xFE) return teUtf16LE;
  return teAnsi;
}

}  // namespace

TextEncoding DetectTextEncoding(const AnsiString& fileName) {
  try {
    TReadHandle file(fileName);
    if (!file.Ok()) return teUnreadable;
    const int64_t size = file.Size();
    if (size < 4 || size > kMaxTextFileSize) return teUnreadable;
    unsigned char b[4] = {};
    if (file.Read(b, 0, 4) < 4) return teUnreadable;
    return EncodingOfHead(b);
  } catch (...) {
    return teUnreadable;
  }
}

int32_t TextFileSize(const AnsiString& fileName) {
  try {
    TReadHandle file(fileName);
    if (!file.Ok()) return 0;
    const int64_t size = file.Size();
    if (size < 0 || size > INT32_MAX) return 0;
    return static_cast<int32_t>(size);
  } catch (...) {
    return 0;
  }
}

bool ReadFileBlock(void* buffer, const AnsiString& fileName, int32_t offset, int32_t count) {
  try {
    if (count > 0) memset(buffer, 0, static_cast<size_t>(count));
    if (offset < 0 || count < 0) return false;
    TReadHandle file(fileName);
    if (!file.Ok()) return false;
    const int64_t size = file.Size();
    if (size < static_cast<int64_t>(offset) + count) return false;
    if (count > 0) file.Read(buffer, offset, static_cast<DWORD>(count));
    return true;
  } catch (...) {
    return false;
  }
}

AnsiString WideToAnsi(const WideString& wideText, UINT codePage) {
  try {
    if (wideText.IsEmpty()) return AnsiString();
    // Composite check, default character, separate characters, discard
    // non-spacing characters.
    DWORD flags = WC_COMPOSITECHECK | WC_DEFAULTCHAR | WC_SEPCHARS | WC_DISCARDNS;
    int n = WideCharToMultiByte(codePage, flags, wideText.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (n == 0 && GetLastError() == ERROR_INVALID_FLAGS) {
      flags = 0;
      n = WideCharToMultiByte(codePage, flags, wideText.c_str(), -1, nullptr, 0, nullptr, nullptr);
    }
    if (n <= 1) return AnsiString();
    std::string out(static_cast<size_t>(n), '\0');
    const int done = WideCharToMultiByte(codePage, flags, wideText.c_str(), -1, out.data(), n, nullptr, nullptr);
    if (done <= 1) return AnsiString();
    out.resize(static_cast<size_t>(done - 1));
    return AnsiString(std::move(out));
  } catch (...) {
    return AnsiString();
  }
}

namespace {

bool HasHighBytes(const char* bytes, size_t count) {
  for (size_t i = 0; i < count; ++i)
    if (static_cast<unsigned char>(bytes[i]) > 127) return true;
  return false;
}

// A wide text in the code page; false when a text that is not empty gives
// nothing (the conversion failed).
bool WideTextToAnsi(const std::wstring& wide, UINT codePage, AnsiString& out) {
  out = Unicodesupport::WideToAnsi(WideString(wide), codePage);
  return wide.empty() || !out.IsEmpty();
}

// The decoding of DecodeTextToAnsi; false where it gives the empty string
// for a text that cannot be decoded. May raise std::bad_alloc.
bool DecodeText(const char* bytes, size_t total, TextEncoding encoding, UINT codePage, AnsiString& out) {
  out = AnsiString();
  switch (encoding) {
    case teAnsi: {
      const size_t length = strnlen(bytes, total);
      std::wstring wide;
      if (HasHighBytes(bytes, length) && DecodeUtf8(bytes, length, wide)) return WideTextToAnsi(wide, codePage, out);
      out = AnsiString(bytes, static_cast<int>(length));
      return true;
    }
    case teUtf8: {
      if (total < 3) return false;
      std::wstring wide;
      if (!DecodeUtf8(bytes + 3, strnlen(bytes + 3, total - 3), wide)) return false;
      return WideTextToAnsi(wide, codePage, out);
    }
    case teUtf16LE:
    case teUtf16BE: {
      if (total < 2) return false;
      const size_t units = (total - 2) / 2;
      std::wstring text(units, L'\0');
      const auto* p = reinterpret_cast<const unsigned char*>(bytes + 2);
      for (size_t i = 0; i < units; ++i) {
        const unsigned lo = encoding == teUtf16LE ? p[2 * i] : p[2 * i + 1];
        const unsigned hi = encoding == teUtf16LE ? p[2 * i + 1] : p[2 * i];
        text[i] = static_cast<wchar_t>(lo | (hi << 8));
      }
      const size_t end = text.find(L'\0');
      if (end != std::wstring::npos) text.resize(end);
      return WideTextToAnsi(text, codePage, out);
    }
    default:
      return false;
  }
}

}  // namespace

AnsiString DecodeTextToAnsi(const void* buffer, int32_t size, TextEncoding encoding, UINT codePage) {
  try {
    if (!buffer || size <= 0) return AnsiString();
    AnsiString text;
    if (!DecodeText(static_cast<const char*>(buffer), static_cast<size_t>(size), encoding, codePage, text))
      return AnsiString();
    return text;
  } catch (...) {
    return AnsiString();
  }
}

bool ReadTextFile(const AnsiString& fileName, AnsiString& text, UINT codePage) {
  text = AnsiString();
  try {
    // One open and one read: the encoding comes from the bytes read.
    TReadHandle file(fileName);
    if (!file.Ok()) return false;
    const int64_t length = file.Size();
    if (length < 4 || length > kMaxTextFileSize) return false;
    const auto size = static_cast<int32_t>(length);
    std::vector<char> buffer(static_cast<size_t>(size) + 1, '\0');
    if (file.Read(buffer.data(), 0, static_cast<DWORD>(size)) < static_cast<DWORD>(size)) return false;
    const TextEncoding encoding = EncodingOfHead(reinterpret_cast<const unsigned char*>(buffer.data()));
    if (encoding == teUtf32BE || encoding == teUtf32LE) return false;
    if (!DecodeText(buffer.data(), static_cast<size_t>(size), encoding, codePage, text)) {
      text = AnsiString();
      return false;
    }
    return true;
  } catch (...) {  // out of memory, or a file the system would not read
    text = AnsiString();
    return false;
  }
}

}  // namespace Unicodesupport
