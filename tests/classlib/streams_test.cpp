// Streams: file streams on real files (modes, sharing, errors, offsets beyond
// 4 GiB), memory and string streams, copying, resources.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>

#include "classes.h"
#include "raised.h"
#include "harness.h"

namespace {

std::string ReadAll(TStream& s) {
  std::string r(static_cast<size_t>(s.Size() - s.Position()), '\0');
  if (!r.empty()) s.ReadBuffer(r.data(), static_cast<int32_t>(r.size()));
  return r;
}

TEST(TFileStream, CreateWriteReopenRead) {
  TempDir dir;
  std::string name = dir.File("data.bin");
  {
    TFileStream f(name.c_str(), fmCreate);
    f.WriteBuffer("hello, world", 12);
    EXPECT_EQ(f.Position(), 12);
    EXPECT_EQ(f.Size(), 12);
    f.Seek(int64_t(7), soBeginning);
    f.WriteBuffer("WORLD", 5);
    EXPECT_EQ(f.Seek(int32_t(-5), soFromEnd), 7);
  }
  EXPECT_EQ(ReadFileBytes(name), "hello, WORLD");
  {
    TFileStream f(name.c_str(), fmOpenRead | fmShareDenyWrite);
    char buf[5];
    EXPECT_EQ(f.Read(buf, 5), 5);
    EXPECT_EQ(std::string(buf, 5), "hello");
    EXPECT_EQ(f.Seek(int64_t(-3), soEnd), 9);
    EXPECT_EQ(f.Read(buf, 5), 3);  // a short read at the end
    EXPECT_EQ(f.Read(buf, 5), 0);
    EXPECT_EQ(Raised([&] { f.Seek(int64_t(0), soBeginning); f.ReadBuffer(buf, 5); f.Seek(int64_t(10), soBeginning); f.ReadBuffer(buf, 5); }),
              "EReadError: Stream read error");
    // Writing to a file opened for reading fails as a write error.
    EXPECT_EQ(Raised([&] { f.WriteBuffer("x", 1); }), "EWriteError: Stream write error");
    EXPECT_EQ(f.Seek(int64_t(-1), soBeginning), -1);  // the system refuses
  }
  // fmCreate truncates an existing file.
  { TFileStream f(name.c_str(), fmCreate); }
  EXPECT_EQ(ReadFileBytes(name), "");
}

TEST(TFileStream, ErrorsNameTheFullPathAndTheReason) {
  TempDir dir;
  SetCurrentDirectoryA(dir.Path().c_str());
  std::string msg = Raised([] { TFileStream f("missing.bin", fmOpenRead); });
  std::string expected = "EFOpenError: Cannot open file \"" + dir.File("missing.bin") + "\". ";
  EXPECT_EQ(msg.substr(0, expected.size()), expected);
  EXPECT_EQ(msg.substr(expected.size()), SysErrorMessage(ERROR_FILE_NOT_FOUND).str());
  EXPECT_GT(msg.size(), expected.size());

  msg = Raised([] { TFileStream f("no such dir\\x.bin", fmCreate); });
  expected = "EFCreateError: Cannot create file \"" + dir.File("no such dir\\x.bin") + "\". ";
  EXPECT_EQ(msg.substr(0, expected.size()), expected);
  EXPECT_EQ(msg.substr(expected.size()), SysErrorMessage(ERROR_PATH_NOT_FOUND).str());
  SetCurrentDirectoryA("C:\\");

  // An access value outside read/write/read-write is refused, not guessed.
  WriteFileBytes(dir.File("f"), "x");
  EXPECT_THROW(TFileStream(dir.File("f").c_str(), 3), EFOpenError);
}

TEST(TFileStream, SharingModes) {
  TempDir dir;
  std::string name = dir.File("shared.bin");
  WriteFileBytes(name, "abc");
  {
    TFileStream reader(name.c_str(), fmOpenRead | fmShareDenyWrite);
    EXPECT_THROW(TFileStream(name.c_str(), fmOpenWrite | fmShareDenyNone), EFOpenError);
    TFileStream second(name.c_str(), fmOpenRead | fmShareDenyWrite);
    EXPECT_EQ(ReadAll(second), "abc");
  }
  {
    TFileStream exclusive(name.c_str(), fmOpenReadWrite | fmShareExclusive);
    EXPECT_THROW(TFileStream(name.c_str(), fmOpenRead | fmShareDenyNone), EFOpenError);
  }
  {
    TFileStream a(name.c_str(), fmOpenReadWrite | fmShareDenyNone);
    TFileStream b(name.c_str(), fmOpenReadWrite | fmShareDenyNone);
    a.WriteBuffer("X", 1);
    EXPECT_EQ(ReadAll(b), "Xbc");
  }
}

TEST(THandleStream, SetSizeTruncatesAndExtends) {
  TempDir dir;
  std::string name = dir.File("size.bin");
  TFileStream f(name.c_str(), fmCreate);
  f.WriteBuffer("0123456789", 10);
  f.SetPosition(4);
  f.SetSize(int64_t(6));
  EXPECT_EQ(f.Size(), 6);
  EXPECT_EQ(f.Position(), 4);  // kept: still inside
  f.SetSize(int64_t(2));
  EXPECT_EQ(f.Position(), 2);  // pulled back to the new end
  f.SetSize(int32_t(5));
  EXPECT_EQ(f.Size(), 5);
  f.SetPosition(0);
  EXPECT_EQ(ReadAll(f), std::string("01\0\0\0", 5));
  THandleStream view(f.Handle());
  EXPECT_EQ(view.Size(), 5);
}

// Offsets past 4 GiB go through the 64-bit file pointer. The file is sparse,
// so this costs a few bytes of disk.
TEST(THandleStream, OffsetsBeyondFourGiB) {
  TempDir dir;
  std::string name = dir.File("big.bin");
  const int64_t beyond4G = (int64_t(1) << 32) + 0x1234;  // past 4 GiB
  {
    TFileStream f(name.c_str(), fmCreate);
    f.SetSize(beyond4G + 16);
    EXPECT_EQ(f.Size(), beyond4G + 16);
    EXPECT_EQ(f.Seek(beyond4G, soBeginning), beyond4G);
    f.WriteBuffer("BEYOND", 6);
    EXPECT_EQ(f.Position(), beyond4G + 6);
    EXPECT_EQ(f.Seek(int64_t(-16), soEnd), beyond4G);
    char buf[6];
    f.ReadBuffer(buf, 6);
    EXPECT_EQ(std::string(buf, 6), "BEYOND");
    EXPECT_EQ(f.Position(), beyond4G + 6);
  }
  // A separate handle reads the same bytes at the same 64-bit offset.
  HANDLE h = CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  LARGE_INTEGER size;
  EXPECT_TRUE(GetFileSizeEx(h, &size));
  EXPECT_EQ(size.QuadPart, beyond4G + 16);
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(beyond4G);
  at.OffsetHigh = static_cast<DWORD>(beyond4G >> 32);
  char got[6];
  DWORD n = 0;
  EXPECT_TRUE(ReadFile(h, got, 6, &n, &at));
  EXPECT_EQ(std::string(got, n), "BEYOND");
  CloseHandle(h);
  DeleteFileA(name.c_str());
}

TEST(TMemoryStream, GrowsInBlocksAndKeepsData) {
  TMemoryStream ms;
  EXPECT_EQ(ms.Size(), 0);
  EXPECT_EQ(ms.Capacity(), 0);
  ms.WriteBuffer("abc", 3);
  EXPECT_EQ(ms.Capacity(), 8192);
  std::string block(9000, 'z');
  ms.WriteBuffer(block.data(), static_cast<int32_t>(block.size()));
  EXPECT_EQ(ms.Size(), 9003);
  EXPECT_EQ(ms.Capacity(), 16384);
  EXPECT_EQ(std::string(static_cast<char*>(ms.Memory()), 4), "abcz");

  // A write after a seek past the end leaves zeros in the gap.
  TMemoryStream gap;
  gap.Seek(int64_t(4), soBeginning);
  gap.WriteBuffer("x", 1);
  EXPECT_EQ(std::string(static_cast<char*>(gap.Memory()), 5), std::string("\0\0\0\0x", 5));

  // SetSize shrinks (pulling the position back) and grows with zeros.
  ms.SetPosition(9003);
  ms.SetSize(int64_t(2));
  EXPECT_EQ(ms.Position(), 2);
  ms.SetSize(int32_t(6));
  ms.SetPosition(0);
  EXPECT_EQ(ReadAll(ms), std::string("ab\0\0\0\0", 6));
  EXPECT_EQ(Raised([&] { ms.SetSize(int64_t(1) << 31); }),
            "EStreamError: Out of memory while expanding memory stream");
  EXPECT_EQ(ms.Size(), 6);
  ms.Clear();
  EXPECT_EQ(ms.Size(), 0);
  EXPECT_EQ(ms.Memory(), nullptr);

  // Reading and seeking beyond the data.
  TMemoryStream rs;
  rs.WriteBuffer("12345", 5);
  EXPECT_EQ(rs.Seek(int64_t(10), soBeginning), 10);
  char buf[4];
  EXPECT_EQ(rs.Read(buf, 4), 0);
  EXPECT_EQ(rs.Seek(int64_t(-2), soEnd), 3);
  EXPECT_EQ(rs.Read(buf, 4), 2);
  EXPECT_THROW(rs.ReadBuffer(buf, 1), EReadError);
}

TEST(TMemoryStream, ManySmallWritesGrowTheBlockGeometrically) {
  // 16 MiB in list-record-sized pieces: growing to each new end would move
  // the block about two thousand times.
  TMemoryStream ms;
  std::string record(600, '\0');
  int changes = 0;
  int32_t last = 0;
  for (int i = 0; i < 28000; ++i) {
    record[0] = static_cast<char>(i);
    record[599] = static_cast<char>(i >> 8);
    ms.WriteBuffer(record.data(), 600);
    if (ms.Capacity() != last) ++changes, last = ms.Capacity();
    ASSERT_GE(ms.Capacity(), ms.Size());
  }
  EXPECT_LT(changes, 80);
  EXPECT_EQ(ms.Size(), 28000 * 600);
  const auto* bytes = static_cast<const unsigned char*>(ms.Memory());
  for (int i = 0; i < 28000; i += 997) {
    EXPECT_EQ(bytes[i * 600], static_cast<unsigned char>(i));
    EXPECT_EQ(bytes[i * 600 + 599], static_cast<unsigned char>(i >> 8));
  }
}

TEST(TMemoryStream, FileRoundTrip) {
  TempDir dir;
  std::string bytes;
  for (int i = 0; i < 20000; ++i) bytes += static_cast<char>(i * 7);
  WriteFileBytes(dir.File("in.bin"), bytes);
  TMemoryStream ms;
  ms.WriteBuffer("junk", 4);
  ms.LoadFromFile(dir.File("in.bin").c_str());
  EXPECT_EQ(ms.Size(), 20000);
  EXPECT_EQ(ms.Position(), 0);
  EXPECT_EQ(std::string(static_cast<char*>(ms.Memory()), 20000), bytes);
  ms.SaveToFile(dir.File("out.bin").c_str());
  EXPECT_EQ(ReadFileBytes(dir.File("out.bin")), bytes);

  TStringStream src("source text");
  src.SetPosition(6);
  ms.LoadFromStream(&src);  // always the whole source
  EXPECT_EQ(std::string(static_cast<char*>(ms.Memory()), ms.Size()), "source text");
}

TEST(TStream, CopyFrom) {
  TStringStream src("0123456789");
  src.SetPosition(7);
  TMemoryStream dst;
  // Count 0 copies the whole source from its start, wherever it was.
  EXPECT_EQ(dst.CopyFrom(&src, 0), 10);
  EXPECT_EQ(std::string(static_cast<char*>(dst.Memory()), 10), "0123456789");
  EXPECT_EQ(src.Position(), 10);
  // A count copies from the current position.
  src.SetPosition(2);
  TStringStream part;
  EXPECT_EQ(part.CopyFrom(&src, 3), 3);
  EXPECT_EQ(part.DataString(), "234");
  // More than the source holds fails as a read error.
  EXPECT_THROW(part.CopyFrom(&src, 100), EReadError);

  // Larger than the copy buffer, across two kinds of stream.
  std::string big(200000, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 31 + (i >> 9));
  TStringStream bigSrc(big);
  TempDir dir;
  {
    TFileStream f(dir.File("copy.bin").c_str(), fmCreate);
    EXPECT_EQ(f.CopyFrom(&bigSrc, 0), 200000);
  }
  EXPECT_EQ(ReadFileBytes(dir.File("copy.bin")), big);
}

TEST(TStringStream, ReadWriteSeek) {
  TStringStream s("abcdef");
  EXPECT_EQ(s.Size(), 6);
  EXPECT_EQ(s.ReadString(2), "ab");
  // Writing inside overwrites without dropping the tail; past the end extends.
  s.WriteString("XY");
  EXPECT_EQ(s.DataString(), "abXYef");
  s.Seek(int64_t(0), soEnd);
  s.WriteString("gh");
  EXPECT_EQ(s.DataString(), "abXYefgh");
  EXPECT_EQ(s.ReadString(5), "");
  // Seeks are clamped to the data.
  EXPECT_EQ(s.Seek(int64_t(100), soBeginning), 8);
  EXPECT_EQ(s.Seek(int64_t(-100), soCurrent), 0);
  EXPECT_EQ(s.Seek(int32_t(-3), soFromEnd), 5);
  EXPECT_EQ(s.ReadString(100), "fgh");
  s.SetSize(int32_t(3));
  EXPECT_EQ(s.Position(), 3);
  EXPECT_EQ(s.DataString(), "abX");
  // Bytes are bytes: NULs and high bytes survive.
  TStringStream bin;
  bin.WriteBuffer("\0\xFF\x80", 3);
  EXPECT_EQ(bin.DataString(), AnsiString(std::string("\0\xFF\x80", 3)));
}

TEST(TResourceStream, ReadsAModuleResourceAndRefusesWrites) {
  // Every system module carries a version resource (type 16, id 1); compare
  // with what the system itself reports for it.
  HMODULE module = GetModuleHandleA("kernel32.dll");
  ASSERT_NE(module, nullptr);
  HRSRC info = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(16));
  ASSERT_NE(info, nullptr);
  TResourceStream rs(module, 1, MAKEINTRESOURCEA(16));
  EXPECT_EQ(rs.Size(), static_cast<int64_t>(SizeofResource(module, info)));
  std::string data = ReadAll(rs);
  // VS_VERSIONINFO: its length word, then the key L"VS_VERSION_INFO" at offset 6.
  EXPECT_LE(static_cast<unsigned char>(data[0]) | (static_cast<unsigned char>(data[1]) << 8), data.size());
  std::wstring key(reinterpret_cast<const wchar_t*>(data.data() + 6), 15);
  EXPECT_EQ(key, L"VS_VERSION_INFO");
  TResourceStream byPointer(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(16));
  EXPECT_EQ(ReadAll(byPointer), data);
  EXPECT_EQ(Raised([&] { rs.WriteBuffer("x", 1); }),
            "EStreamError: Can't write to a read-only resource stream");
}

TEST(TResourceStream, MissingResource) {
  EXPECT_EQ(Raised([] { TResourceStream rs(HInstance, "NO_SUCH_LAYOUT", MAKEINTRESOURCEA(10)); }),
            "EResNotFound: Resource NO_SUCH_LAYOUT not found");
  EXPECT_EQ(Raised([] { TResourceStream rs(HInstance, 4711, MAKEINTRESOURCEA(10)); }),
            "EResNotFound: Resource 4711 not found");
  EXPECT_EQ(Raised([] { TResourceStream rs(HInstance, AnsiString("MISSING"), MAKEINTRESOURCEA(10)); }),
            "EResNotFound: Resource MISSING not found");
}

// A disk that takes part of a write without a word and refuses the rest:
// the error of a whole-buffer write carries the refusal's reason.
struct FillingStream : TStream {
  std::string Taken;
  size_t Room;
  explicit FillingStream(size_t room) : Room(room) {}
  int32_t Read(void*, int32_t) override { return 0; }
  int32_t Write(const void* buffer, int32_t count) override {
    if (Taken.size() >= Room) {
      SetLastError(ERROR_DISK_FULL);
      return 0;
    }
    const size_t n = std::min(Room - Taken.size(), static_cast<size_t>(count));
    Taken.append(static_cast<const char*>(buffer), n);
    return static_cast<int32_t>(n);
  }
  using TStream::Seek;
  int64_t Seek(int64_t, TSeekOrigin) override { return static_cast<int64_t>(Taken.size()); }
};

TEST(TStream, AWholeWriteAfterAPartOneSaysWhyTheRestFailed) {
  const struct {
    size_t room;
    bool raises;
  } cases[] = {{0, true}, {3, true}, {9, true}, {10, false}, {20, false}};
  for (const auto& c : cases) {
    FillingStream s(c.room);
    DWORD error = 0;
    try {
      s.WriteBuffer("0123456789", 10);
    } catch (const EWriteError& e) {
      error = e.ErrorCode();
    }
    EXPECT_EQ(error, c.raises ? static_cast<DWORD>(ERROR_DISK_FULL) : 0u) << c.room;
    EXPECT_EQ(s.Taken, std::string("0123456789").substr(0, c.room)) << c.room;
  }
}

}  // namespace
