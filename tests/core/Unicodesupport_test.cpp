// Reading damaged-file lists of every encoding: the byte-order marks, the
// block reader's bounds, UTF-8 decoding, and lists written by Python's codecs.
#include <gtest/gtest.h>

#include "CoreTestUtil.h"
#include "Unicodesupport.h"

using namespace Unicodesupport;

namespace {

// "Тест" in code page 1251, UTF-8 and UTF-16.
const std::string CyrAnsi = "\xD2\xE5\xF1\xF2";
const std::string CyrUtf8 = "\xD0\xA2\xD0\xB5\xD1\x81\xD1\x82";

struct EncodingCase {
  const char* Name;
  std::string Bytes;
  TextEncoding Encoding;
  std::string Text;  // what the whole file decodes to
  bool Readable = true;  // ReadTextFile gives the text (else it reports failure)
};

class EncodingTable : public ::testing::TestWithParam<EncodingCase> {};

TEST_P(EncodingTable, DetectsAndDecodes) {
  const EncodingCase& c = GetParam();
  TempDir dir;
  const std::string file = dir.File("list.txt");
  WriteFileBytes(file, c.Bytes);
  EXPECT_EQ(DetectTextEncoding(file), c.Encoding);
  const int32_t size = TextFileSize(file);
  EXPECT_EQ(size, static_cast<int32_t>(c.Bytes.size()));
  std::vector<char> buffer(static_cast<size_t>(size) + 1, 'x');
  ASSERT_TRUE(ReadFileBlock(buffer.data(), file, 0, size));
  EXPECT_EQ(DecodeTextToAnsi(buffer.data(), size, c.Encoding).str(), c.Text);
  AnsiString text("stale");
  EXPECT_EQ(ReadTextFile(file, text), c.Readable);
  EXPECT_EQ(text.str(), c.Readable ? c.Text : "");
}

INSTANTIATE_TEST_SUITE_P(
    Lists, EncodingTable,
    ::testing::Values(
        EncodingCase{"empty_utf8_with_mark_is_too_short", "\xEF\xBB\xBF", teUnreadable, "", false},
        EncodingCase{"two_bytes", "ab", teUnreadable, "", false},
        EncodingCase{"utf8_mark", "\xEF\xBB\xBF" + CyrUtf8 + "\r\n", teUtf8, CyrAnsi + "\r\n"},
        EncodingCase{"utf16le", std::string("\xFF\xFE" "A\0B\0", 6), teUtf16LE, "AB"},
        EncodingCase{"utf16be_ab", std::string("\xFE\xFF\0A\0B", 6), teUtf16BE, "AB"},
        EncodingCase{"utf16le_stops_at_zero_unit", std::string("\xFF\xFE" "A\0\0\0B\0", 8), teUtf16LE, "A"},
        EncodingCase{"utf32le_mark_wins", std::string("\xFF\xFE\0\0A\0\0\0", 8), teUtf32LE, "", false},
        EncodingCase{"utf32be", std::string("\0\0\xFE\xFF\0\0\0A", 8), teUtf32BE, "", false},
        EncodingCase{"ansi_stops_at_zero", std::string("abcd\0ef", 7), teAnsi, "abcd"},
        EncodingCase{"ansi_cyrillic", CyrAnsi + "\r\n", teAnsi, CyrAnsi + "\r\n"},
        // Without a mark, valid UTF-8 with letters above 127 is UTF-8.
        EncodingCase{"utf8_without_mark", CyrUtf8 + "\\x", teAnsi, CyrAnsi + "\\x"},
        EncodingCase{"utf8_bad_continuation", "\xEF\xBB\xBF" "ab\xD0(", teUtf8, "", false},
        EncodingCase{"utf8_cut_off", "\xEF\xBB\xBF" "ab\xE2\x82", teUtf8, "", false},
        EncodingCase{"utf8_stray_continuation", "\xEF\xBB\xBF" "a\x80" "b", teUtf8, "", false},
        // Outside the code page: its default character.
        EncodingCase{"utf8_outside_code_page", "\xEF\xBB\xBF" "a\xE2\x82\xAC\xE4\xB8\xAD", teUtf8,
                     "a\x88?"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(Unicodesupport, ReadFileBlockBounds) {
  TempDir dir;
  const std::string file = dir.File("fourteen.bin");
  WriteFileBytes(file, "0123456789abcd");
  struct Case {
    int32_t Offset, Count;
    bool Ok;
    std::string Bytes;
  };
  const Case cases[] = {{5, 10, false, std::string(10, '\0')}, {4, 10, true, "456789abcd"},
                        {0, 0, true, ""},                      {14, 0, true, ""},
                        {-1, 2, false, std::string(2, '\0')}};
  for (const Case& c : cases) {
    std::string buffer(static_cast<size_t>(std::max(c.Count, 0)), 'x');
    EXPECT_EQ(ReadFileBlock(buffer.data(), file, c.Offset, c.Count), c.Ok) << c.Offset << "+" << c.Count;
    EXPECT_EQ(buffer, c.Bytes) << c.Offset << "+" << c.Count;
  }
  char b[2] = {'x', 'x'};
  EXPECT_FALSE(ReadFileBlock(b, dir.File("missing.txt"), 0, 2));
  EXPECT_EQ(std::string(b, 2), std::string(2, '\0'));
  EXPECT_EQ(TextFileSize(dir.File("missing.txt")), 0);
  EXPECT_EQ(DetectTextEncoding(dir.File("missing.txt")), teUnreadable);
}

TEST(Unicodesupport, TextsLargerThan256MiBAreUnreadable) {
  TempDir dir;
  struct Case {
    int64_t Size;
    TextEncoding Encoding;
  };
  for (const Case& c : {Case{kMaxTextFileSize, teAnsi}, Case{int64_t(kMaxTextFileSize) + 1, teUnreadable}}) {
    const std::string file = dir.File("big.txt");
    HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(h, "abcd", 4, &written, nullptr);
    LARGE_INTEGER size;
    size.QuadPart = c.Size;
    SetFilePointerEx(h, size, nullptr, FILE_BEGIN);
    SetEndOfFile(h);
    CloseHandle(h);
    EXPECT_EQ(DetectTextEncoding(file), c.Encoding) << c.Size;
    if (c.Encoding == teUnreadable) {
      AnsiString text;
      EXPECT_FALSE(ReadTextFile(file, text)) << "too large to read, not an empty list";
    }
    DeleteFileA(file.c_str());
  }
}

TEST(Unicodesupport, Utf8Decoding) {
  struct Case {
    std::string Bytes;
    bool Ok;
    std::wstring Text;
  };
  const Case cases[] = {
      {"\xF0\x9F\x98\x80", true, L"\xD83D\xDE00"},  // four bytes: a surrogate pair
      {"\xC0\xAF", false, L""},                     // overlong "/"
      {"\xED\xA0\x80", false, L""},                 // a surrogate code point
      {"\xF4\x90\x80\x80", false, L""},             // above U+10FFFF
      {"\xFF", false, L""},
      {"\xE2\x82\xAC", true, L"\x20AC"},
      {"", true, L""},
  };
  for (const Case& c : cases) {
    std::wstring out;
    EXPECT_EQ(DecodeUtf8(c.Bytes.data(), c.Bytes.size(), out), c.Ok) << testing::PrintToString(c.Bytes);
    if (c.Ok) {
      EXPECT_EQ(out, c.Text);
    }
  }
}

TEST(Unicodesupport, WideToAnsiOfCodePages) {
  EXPECT_EQ(Unicodesupport::WideToAnsi(WideString(), 1251).str(), "");
  EXPECT_EQ(Unicodesupport::WideToAnsi(WideString(L"\x0422\x0435\x0441\x0442"), 1251).str(), CyrAnsi);
  EXPECT_EQ(Unicodesupport::WideToAnsi(WideString(L"\x0422"), 1252).str(), "?");
  // A code page that refuses the flags still converts.
  EXPECT_EQ(Unicodesupport::WideToAnsi(WideString(L"\x0422"), CP_UTF8).str(), "\xD0\xA2");
}

// The entry names are in the system's ANSI code page (GetACP), whatever the
// user's formats: a list is converted to the page it is asked for, and to
// the system's by default.
TEST(Unicodesupport, ListsConvertToTheCodePageOfTheEntryNames) {
  ASSERT_EQ(GetACP(), 1251u);
  // "Тест" and the euro sign, which the two code pages hold at different bytes.
  const std::string utf8 = "\xEF\xBB\xBF" + CyrUtf8 + "\xE2\x82\xAC";
  const std::string utf16 = std::string("\xFF\xFE\x22\x04\x35\x04\x41\x04\x42\x04\xAC\x20", 12);
  struct Case {
    UINT CodePage;
    std::string Text;
  };
  const Case cases[] = {{1251, CyrAnsi + "\x88"}, {1252, "????\x80"}, {CP_ACP, CyrAnsi + "\x88"}};
  for (const Case& c : cases) {
    EXPECT_EQ(DecodeTextToAnsi(utf8.data(), static_cast<int32_t>(utf8.size()), teUtf8, c.CodePage).str(), c.Text)
        << c.CodePage;
    EXPECT_EQ(DecodeTextToAnsi(utf16.data(), static_cast<int32_t>(utf16.size()), teUtf16LE, c.CodePage).str(), c.Text)
        << c.CodePage;
  }
  EXPECT_EQ(DecodeTextToAnsi(utf8.data(), static_cast<int32_t>(utf8.size()), teUtf8).str(), CyrAnsi + "\x88");
  TempDir dir;
  const std::string file = dir.File("list.txt");
  WriteFileBytes(file, utf8);
  AnsiString text;
  ASSERT_TRUE(ReadTextFile(file, text, 1252));
  EXPECT_EQ(text.str(), "????\x80");
}

TEST(Unicodesupport, ListsWrittenByPython) {
  TempDir dir;
  // The same two lines in every encoding Python's codecs write.
  const std::string script =
      "import sys\n"
      "text = '\\u041f\\u0430\\u043f\\u043a\\u0430\\\\a.txt\\r\\nb.txt\\r\\n'\n"
      "for name, codec, mark in [('ansi', 'cp1251', b''), ('u8', 'utf-8', b''), ('u8bom', 'utf-8', "
      "b'\\xef\\xbb\\xbf'), ('le', 'utf-16-le', b'\\xff\\xfe'), ('be', 'utf-16-be', b'\\xfe\\xff')]:\n"
      "    open(sys.argv[1] + '/' + name + '.txt', 'wb').write(mark + text.encode(codec))\n";
  ASSERT_EQ(RunPython(script, Q(UnixPath(dir.Path())), nullptr), 0);
  const std::string expected = A(L"Папка\\a.txt\r\nb.txt\r\n");
  for (const char* name : {"ansi", "u8", "u8bom", "le", "be"}) {
    const std::string file = dir.File(std::string(name) + ".txt");
    const TextEncoding e = DetectTextEncoding(file);
    const int32_t size = TextFileSize(file);
    std::vector<char> buffer(static_cast<size_t>(size) + 1);
    ASSERT_TRUE(ReadFileBlock(buffer.data(), file, 0, size)) << name;
    EXPECT_EQ(DecodeTextToAnsi(buffer.data(), size, e).str(), expected) << name;
  }
}

}  // namespace
