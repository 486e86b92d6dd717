// Reads a whole text file of unknown encoding into an ANSI string of the
// system's code page, so that the import of damaged-file lists treats ANSI,
// UTF-8 and UTF-16 lists alike. The functions keep no state and never raise:
// each returns what it had when something failed.
#pragma once

#include <cstdint>

#include "system.h"

enum TextEncoding : uint16_t {
  teUnreadable = 300,  // missing, not openable, shorter than 4 bytes, too large
  teUtf8 = 301,        // EF BB BF
  teUtf16LE = 302,     // FF FE
  teUtf16BE = 303,     // FE FF
  teAnsi = 304,        // no byte-order mark
  teUtf32BE = 305,     // 00 00 FE FF
  teUtf32LE = 306,     // FF FE 00 00
};

// Texts beyond this size are refused as unreadable: a damaged-file list is
// never that long, and the whole text is held in memory several times over.
constexpr int32_t kMaxTextFileSize = 256 * 1024 * 1024;

namespace Unicodesupport {

// By the byte-order mark of the first four bytes only.
TextEncoding DetectTextEncoding(const AnsiString& fileName);
// 0 when the file is missing or cannot be opened.
int32_t TextFileSize(const AnsiString& fileName);
// Zeroes count bytes of buffer, then reads them from offset; false (buffer
// left zero) when the file is missing, unopenable or shorter than
// offset + count.
bool ReadFileBlock(void* buffer, const AnsiString& fileName, int32_t offset, int32_t count);
// The text of a whole file of size bytes, mark included, in the code page of
// the entry names (the system's ANSI code page, GetACP; not the user's, which
// may differ). An ANSI file stops at its first zero byte, UTF-16 at its first
// zero unit. Without a mark, a text that is valid UTF-8 and holds bytes above
// 127 is read as UTF-8 (a code-page text practically never is). Malformed
// UTF-8 and UTF-32 give the empty string.
AnsiString DecodeTextToAnsi(const void* buffer, int32_t size, TextEncoding encoding, UINT codePage = CP_ACP);
// The whole text of a file as DecodeTextToAnsi gives it. False, with text
// empty, when the file cannot be read (missing, not openable, under 4 bytes,
// larger than kMaxTextFileSize, a failing read), is UTF-32, holds malformed
// UTF-8 or cannot be held in memory: a text that is not there is never
// taken for an empty one.
bool ReadTextFile(const AnsiString& fileName, AnsiString& text, UINT codePage = CP_ACP);
// The wide text in a code page, characters it cannot hold as its default
// character. Uses the composite and default-character flags, and converts
// without them where a code page refuses flags.
AnsiString WideToAnsi(const WideString& wideText, UINT codePage);

// Standard UTF-8 (one to four bytes; four-byte sequences become surrogate
// pairs). False for a stray or missing continuation byte, an overlong form, a
// surrogate code point or a value above U+10FFFF.
bool DecodeUtf8(const char* bytes, size_t count, std::wstring& out);

}  // namespace Unicodesupport
