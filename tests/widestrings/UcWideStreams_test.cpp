#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "UcClasses.h"
#include "UcSysUtils.h"
#include "UcWideStreams.h"
#include "WideTestUtil.h"

namespace {

std::vector<std::wstring> Items(TWideStrings& list) {
  std::vector<std::wstring> r;
  for (int i = 0; i < list.Count(); ++i) r.push_back(list.Get(i).str());
  return r;
}

// Loads a file of the given bytes; returns the lines and the character set.
std::vector<std::wstring> LoadBytes(const std::string& bytes, TUcStreamCharSet* charSet = nullptr) {
  WideTempDir dir;
  WriteWideFileBytes(dir.File(L"t.txt"), bytes);
  TUcStringList list;
  list.LoadFromFile(dir.File(L"t.txt"));
  if (charSet) *charSet = list.LastFileCharSet();
  return Items(list);
}

// A stream whose reads fail.
class BrokenStream : public TStream {
public:
  int32_t Read(void*, int32_t) override { throw EReadError("Stream read error"); }
  int32_t Write(const void*, int32_t) override { return 0; }
  using TStream::Seek;
  int64_t Seek(int64_t, TSeekOrigin) override { return 0; }
  int64_t GetSize() override { return 100; }
};

}  // namespace

TEST(TextFiles, ByteOrderMarksAreDetected) {
  TUcStreamCharSet cs;
  EXPECT_EQ(LoadBytes(Bytes("FF FE 41 00"), &cs), (std::vector<std::wstring>{L"A"}));
  EXPECT_EQ(cs, csUnicode);
  EXPECT_EQ(LoadBytes(Bytes("FE FF 00 41"), &cs), (std::vector<std::wstring>{L"A"}));
  EXPECT_EQ(cs, csUnicodeSwapped);
  EXPECT_EQ(LoadBytes(Bytes("EF BB BF 41"), &cs), (std::vector<std::wstring>{L"A"}));
  EXPECT_EQ(cs, csUtf8);
  EXPECT_EQ(LoadBytes("A", &cs), (std::vector<std::wstring>{L"A"}));
  EXPECT_EQ(cs, csAnsi);
  EXPECT_TRUE(LoadBytes("", &cs).empty());
  EXPECT_EQ(cs, csAnsi);
  EXPECT_TRUE(LoadBytes(Bytes("FF FE"), &cs).empty());
  EXPECT_EQ(cs, csUnicode);
  EXPECT_EQ(LoadBytes(Bytes("FF FE 41 00 42")), (std::vector<std::wstring>{L"A"}));  // odd byte ignored
  EXPECT_EQ(LoadBytes(Bytes("FE FF 04 16 00")), (std::vector<std::wstring>{L"\x0416"}));
  EXPECT_EQ(LoadBytes(Bytes("EF BB 41"), &cs), (std::vector<std::wstring>{AnsiToWide(AnsiString(Bytes("EF BB 41"))).str()}));
  EXPECT_EQ(cs, csAnsi);
  EXPECT_EQ(LoadBytes(Bytes("EF BB BF F0 9F 98 80 0D 0A 41")), (std::vector<std::wstring>{L"\xD83D\xDE00", L"A"}));
}

TEST(TextFilesAcp, AnsiFilesUseTheSystemCodePage) {
  if (GetACP() == 1251) { EXPECT_EQ(LoadBytes(Bytes("C6 0D 0A")), (std::vector<std::wstring>{L"\x0416"})); }
  if (GetACP() == 1252) { EXPECT_EQ(LoadBytes(Bytes("C6 0D 0A")), (std::vector<std::wstring>{L"\x00C6"})); }
}

TEST(TextFiles, SavedAsUtf16WithMarkAndCrLf) {
  WideTempDir dir;
  TUcStringList list;
  list.Add(L"a");
  list.Add(L"b");
  list.SaveToFile(dir.File(L"s.txt"));
  EXPECT_EQ(ReadWideFileBytes(dir.File(L"s.txt")), Bytes("FF FE 61 00 0D 00 0A 00 62 00 0D 00 0A 00"));
  TUcStringList empty;
  empty.SaveToFile(dir.File(L"e.txt"));
  EXPECT_EQ(ReadWideFileBytes(dir.File(L"e.txt")), Bytes("FF FE"));
  // Whatever the file was, it is written back as UTF-16LE.
  TUcStringList fromUtf8;
  WriteWideFileBytes(dir.File(L"u.txt"), Bytes("EF BB BF 41"));
  fromUtf8.LoadFromFile(dir.File(L"u.txt"));
  fromUtf8.SaveToFile(dir.File(L"u.txt"));
  EXPECT_EQ(ReadWideFileBytes(dir.File(L"u.txt")), Bytes("FF FE 41 00 0D 00 0A 00"));
}

TEST(TextFiles, EveryMarkRoundTrips) {
  std::vector<std::wstring> lines = {L"plain", L"\x0416\x0443\x043A", L"", L"\x4E2D\x6587", L"\xD83D\xDE00 end"};
  TUcStringList source;
  for (const auto& l : lines) source.Add(l);
  std::wstring text = source.GetTextStr().str();
  // UTF-16LE, UTF-16BE and UTF-8 with their marks.
  std::string le(reinterpret_cast<const char*>(text.data()), text.size() * 2);
  std::string be;
  for (wchar_t c : text) {
    be += static_cast<char>(c >> 8);
    be += static_cast<char>(c & 0xFF);
  }
  std::string utf8;
  int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  utf8.resize(n);
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), n, nullptr, nullptr);
  EXPECT_EQ(LoadBytes(Bytes("FF FE") + le), lines);
  EXPECT_EQ(LoadBytes(Bytes("FE FF") + be), lines);
  EXPECT_EQ(LoadBytes(Bytes("EF BB BF") + utf8), lines);
  // And our own file back.
  WideTempDir dir;
  source.SaveToFile(dir.File(L"\x0416.txt"));
  TUcStringList loaded;
  loaded.LoadFromFile(dir.File(L"\x0416.txt"));
  EXPECT_EQ(Items(loaded), lines);
  // Without a mark: text in the system code page.
  TUcStringList ansiLines;
  ansiLines.Add(L"abc");
  ansiLines.Add(AnsiToWide(AnsiString(Bytes("C0 E0"))));
  WriteWideFileBytes(dir.File(L"n.txt"), WideToAnsi(ansiLines.GetTextStr()).str());
  loaded.LoadFromFile(dir.File(L"n.txt"));
  EXPECT_EQ(Items(loaded), Items(ansiLines));
  EXPECT_EQ(loaded.LastFileCharSet(), csAnsi);
}

TEST(TextFiles, StreamsWithAndWithoutMark) {
  TMemoryStream stream;
  stream.WriteBuffer(Bytes("FF FE 41 00").data(), 4);
  stream.SetPosition(0);
  TUcStringList list;
  list.LoadFromStream_BOM(&stream, false);  // no detection: the mark is text
  EXPECT_EQ(Items(list), (std::vector<std::wstring>{L"\xFEFF" L"A"}));
  stream.SetPosition(0);
  list.LoadFromStream(&stream);
  EXPECT_EQ(Items(list), (std::vector<std::wstring>{L"A"}));
  TMemoryStream out;
  list.SaveToStream_BOM(&out, false);
  EXPECT_EQ(out.Size(), 6);
  TMemoryStream marked;
  list.SaveToStream(&marked);
  EXPECT_EQ(marked.Size(), 8);
  // The load starts at the stream's position.
  TMemoryStream offset;
  offset.WriteBuffer("xyFF", 2);
  offset.WriteBuffer(Bytes("FF FE 42 00").data(), 4);
  offset.SetPosition(2);
  list.LoadFromStream(&offset);
  EXPECT_EQ(Items(list), (std::vector<std::wstring>{L"B"}));
}

TEST(TextFiles, AFailedReadLeavesTheListAsItWas) {
  TUcStringList list;
  list.Add(L"x");
  BrokenStream broken;
  EXPECT_THROW(list.LoadFromStream(&broken), EReadError);
  EXPECT_EQ(Items(list), (std::vector<std::wstring>{L"x"}));
  EXPECT_EQ(list.UpdateCount(), 0);
}

TEST(TextFiles, MissingFileNamesTheFullPath) {
  WideTempDir dir;
  WideString cwd = WideGetCurrentDir();
  ASSERT_TRUE(WideSetCurrentDir(dir.Path()));
  TUcStringList list;
  try {
    list.LoadFromFile(L"missing.txt");
    FAIL() << "no error";
  } catch (const EFOpenError& e) {
    EXPECT_EQ(e.Message(), AnsiString("Cannot open file ") + WideToAnsi(dir.File(L"missing.txt")));
  }
  WideSetCurrentDir(cwd);
  try {
    TUcFileStream s(dir.File(L"no\\such\\folder.txt"), fmCreate);
    FAIL() << "no error";
  } catch (const EFCreateError& e) {
    EXPECT_EQ(e.Message(), AnsiString("Cannot create file ") + WideToAnsi(dir.File(L"no\\such\\folder.txt")));
  }
}

TEST(TextFiles, RawLoadAndSaveOfTheBaseClass) {
  // A list that is a TWideStrings but not a TUcStrings: no marks at all.
  class PlainList : public TWideStrings {
  public:
    WideString Get(int index) override { return FItems.at(static_cast<size_t>(index)); }
    int GetCount() override { return static_cast<int>(FItems.size()); }
    void Clear() override { FItems.clear(); }
    void Delete(int index) override { FItems.erase(FItems.begin() + index); }
    void Insert(int index, const WideString& s) override { FItems.insert(FItems.begin() + index, s); }

  private:
    std::vector<WideString> FItems;
  };
  WideTempDir dir;
  PlainList list;
  list.Add(L"\x0416");
  list.SaveToFile(dir.File(L"raw.txt"));
  EXPECT_EQ(ReadWideFileBytes(dir.File(L"raw.txt")), Bytes("16 04 0D 00 0A 00"));
  WriteWideFileBytes(dir.File(L"raw.txt"), Bytes("FF FE 41 00"));
  list.LoadFromFile(dir.File(L"raw.txt"));
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Get(0), WideString(L"\xFEFF" L"A"));
}

TEST(FileStream, ModesSharingAndLargeOffsets) {
  WideTempDir dir;
  const WideString name = dir.File(L"\x4E2D\x6587.bin");
  {
    TUcFileStream create(name, fmCreate);
    create.WriteBuffer("hello", 5);
    EXPECT_EQ(create.Size(), 5);
    // Created without sharing.
    EXPECT_THROW(TUcFileStream(name, fmOpenRead | fmShareDenyNone), EFOpenError);
  }
  {
    TUcFileStream read(name, fmOpenRead | fmShareDenyWrite);
    char buf[5];
    read.ReadBuffer(buf, 5);
    EXPECT_EQ(std::string(buf, 5), "hello");
    EXPECT_THROW(TUcFileStream(name, fmOpenReadWrite), EFOpenError);
    TUcFileStream second(name, fmOpenRead | fmShareDenyWrite);
    EXPECT_EQ(second.Size(), 5);
  }
  {
    // Mode 0 shares nothing: a second open fails.
    TUcFileStream exclusive(name, fmOpenRead);
    EXPECT_THROW(TUcFileStream(name, fmOpenRead | fmShareDenyNone), EFOpenError);
  }
  {
    // Positions past 4 GiB (sparse on the host's file system).
    TUcFileStream big(name, fmOpenReadWrite);
    const int64_t beyond = (int64_t(1) << 32) + 10;
    EXPECT_EQ(big.Seek(beyond, soBeginning), beyond);
    big.WriteBuffer("!", 1);
    EXPECT_EQ(big.Size(), beyond + 1);
    EXPECT_TRUE(FlushFileBuffers(big.Handle()));
    big.SetSize(int64_t(5));
  }
  EXPECT_EQ(ReadWideFileBytes(name), "hello");
}

TEST(MemoryStreams, LoadAndSaveByWideNames) {
  WideTempDir dir;
  TUcMemoryStream m;
  m.WriteBuffer("\x01\x02\x03", 3);
  m.SaveToFile(dir.File(L"\x0416.bin"));
  TUcMemoryStream loaded;
  loaded.LoadFromFile(dir.File(L"\x0416.bin"));
  ASSERT_EQ(loaded.Size(), 3);
  EXPECT_EQ(std::string(static_cast<const char*>(loaded.Memory()), 3), "\x01\x02\x03");
  EXPECT_THROW(loaded.LoadFromFile(dir.File(L"none")), EFOpenError);
}

TEST(ResourceStreams, ByNameAndNumber) {
  const std::string expected = "Resource data: \xD0\x96\n";
  TUcResourceStream byName(HInstance, L"TESTDATA", reinterpret_cast<LPCWSTR>(RT_RCDATA));
  ASSERT_EQ(byName.Size(), static_cast<int64_t>(expected.size()));
  std::string read(expected.size(), '\0');
  byName.ReadBuffer(read.data(), static_cast<int32_t>(read.size()));
  EXPECT_EQ(read, expected);
  EXPECT_THROW(byName.Write("x", 1), EStreamError);
  TUcResourceStream byId(HInstance, 300, reinterpret_cast<LPCWSTR>(RT_RCDATA));
  EXPECT_EQ(byId.Size(), static_cast<int64_t>(expected.size()));
  WideTempDir dir;
  byId.SaveToFile(dir.File(L"r.bin"));
  EXPECT_EQ(ReadWideFileBytes(dir.File(L"r.bin")), expected);
  try {
    TUcResourceStream missing(HInstance, L"NOPE", reinterpret_cast<LPCWSTR>(RT_RCDATA));
    FAIL() << "no error";
  } catch (const EResNotFound& e) {
    EXPECT_EQ(e.Message(), AnsiString("Resource NOPE not found"));
  }
  try {
    TUcResourceStream missing(HInstance, 999, reinterpret_cast<LPCWSTR>(RT_RCDATA));
    FAIL() << "no error";
  } catch (const EResNotFound& e) {
    EXPECT_EQ(e.Message(), AnsiString("Resource #999 not found"));
  }
}

TEST(WideStringStream, CharactersPositionsAndSizes) {
  TUcWideStringStream s(L"abcde");
  EXPECT_EQ(s.Size(), 10);
  EXPECT_EQ(s.StringLength(), 5);
  EXPECT_EQ(s.Seek(int64_t(-2), soEnd), 8);  // from the end, as every stream counts
  EXPECT_EQ(s.Seek(int64_t(5), soEnd), 10);  // clamped
  EXPECT_EQ(s.Seek(int64_t(-20), soCurrent), 0);
  EXPECT_EQ(s.StringPosition(), 1);
  s.SetStringPosition(3);
  EXPECT_EQ(s.ReadString(10), WideString(L"cde"));
  s.SetPosition(1);
  EXPECT_THROW(s.StringPosition(), EStreamError);
  EXPECT_THROW(s.ReadString(1), EReadError);
  EXPECT_THROW(s.WriteString(L"x"), EWriteError);
  EXPECT_THROW(s.SetStringPosition(0), EStreamError);
  EXPECT_THROW(s.SetSize(3), EStreamError);
  EXPECT_THROW(s.SetSize(-2), EAssertionFailed);
  EXPECT_THROW(s.SetCapacity(4), EStreamError);  // below the size
  s.SetSize(int32_t(4));
  EXPECT_EQ(s.DataString(), WideString(L"ab"));
  EXPECT_EQ(s.Position(), 1);
  s.SetPosition(4);
  s.WriteString(L"\x0416\x4E2D");
  EXPECT_EQ(s.DataString(), WideString(L"ab\x0416\x4E2D"));
  EXPECT_GE(s.Capacity(), s.Size());
  s.SetPosition(8);
  EXPECT_EQ(s.WriteNullTerminated(L"xyz"), 3);
  EXPECT_EQ(s.DataString(), WideString(L"ab\x0416\x4E2Dxyz"));
  s.SetPosition(3);
  s.Write("Q", 1);  // an odd write still keeps the size even
  EXPECT_EQ(s.Size() % 2, 0);
  TMemoryStream copy;
  EXPECT_EQ(copy.CopyFrom(&s, 0), s.Size());
  TUcWideStringStream empty;
  EXPECT_EQ(empty.Size(), 0);
  EXPECT_EQ(empty.Write("ab", 2), 2);
  EXPECT_EQ(empty.Capacity(), 12);  // needed 2 plus at least 8, a multiple of 4
}

TEST(BufferedReader, ReadsWholeBuffersDirectlyAndBuffersTheRest) {
  TMemoryStream source;
  std::string data;
  for (int i = 0; i < 100; ++i) data += static_cast<char>(i);
  source.WriteBuffer(data.data(), 100);
  TBufferedStreamReader reader(&source, 4);
  std::string out(10, '\0');
  EXPECT_EQ(reader.Read(out.data(), 10), 10);
  EXPECT_EQ(out, data.substr(0, 10));
  // The last two bytes came through the buffer: the source stands after it.
  EXPECT_EQ(source.Position(), 12);
  EXPECT_EQ(reader.Read(out.data(), 2), 2);
  EXPECT_EQ(out.substr(0, 2), data.substr(10, 2));
  EXPECT_EQ(source.Position(), 12);  // served from the buffer
  EXPECT_EQ(reader.Seek(int64_t(-5), soEnd), 95);
  EXPECT_EQ(reader.Read(out.data(), 10), 5);
  EXPECT_EQ(out.substr(0, 5), data.substr(95, 5));
  EXPECT_EQ(reader.Read(out.data(), 10), 0);
  reader.Seek(int64_t(-200), soCurrent);
  EXPECT_EQ(reader.Read(out.data(), 1), 0);  // a negative position reads nothing
  EXPECT_EQ(reader.Size(), 100);
  try {
    reader.Write("x", 1);
    FAIL();
  } catch (const EUcInternalError& e) {
    EXPECT_EQ(e.Message(), AnsiString("Internal Error: class can not write."));
  }
}

TEST(TextFiles, DetectionLeavesThePositionRight) {
  TMemoryStream s;
  s.WriteBuffer("abc", 3);
  s.SetPosition(0);
  EXPECT_EQ(AutoDetectCharacterSet(&s), csAnsi);
  EXPECT_EQ(s.Position(), 0);
  s.SetPosition(2);
  EXPECT_EQ(AutoDetectCharacterSet(&s), csAnsi);  // fewer than 2 bytes left
  EXPECT_EQ(s.Position(), 2);
  TMemoryStream m;
  m.WriteBuffer(Bytes("EF BB BF 41").data(), 4);
  m.SetPosition(0);
  EXPECT_EQ(AutoDetectCharacterSet(&m), csUtf8);
  EXPECT_EQ(m.Position(), 3);
}
