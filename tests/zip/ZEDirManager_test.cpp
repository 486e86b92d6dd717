// The directory in memory: the item array and its index, and the reader and
// writer of the directory records, damaged ones included.
#include <gtest/gtest.h>

#include <memory>

#include "UcSysUtils.h"
#include "ZipTestUtil.h"

namespace {

TEST(TZEDirArray, RangeErrorsCapacityAndNames) {
  TZEDirArray a;
  EXPECT_EQ(NativeOf([&] { a.GetItem(0); }), 2);
  EXPECT_EQ(NativeOf([&] { a.GetItemPtr(-1); }), 3);
  EXPECT_EQ(NativeOf([&] { a.SetItem(0, TDirItem()); }), 1);
  EXPECT_EQ(NativeOf([&] { a.DeleteItem(0); }), 4);
  // Growth one at a time: 1000, 3000, 7000, 15000.
  int caps[4] = {};
  for (int i = 0; i < 15000; ++i) {
    a.AppendItem();
    if (i == 0) caps[0] = a.Capacity();
    if (i == 1000) caps[1] = a.Capacity();
    if (i == 3000) caps[2] = a.Capacity();
    if (i == 7000) caps[3] = a.Capacity();
  }
  EXPECT_EQ(caps[0], 1000);
  EXPECT_EQ(caps[1], 3000);
  EXPECT_EQ(caps[2], 7000);
  EXPECT_EQ(caps[3], 15000);
  a.Clear();
  EXPECT_EQ(a.Capacity(), 15000);
  EXPECT_EQ(a.GetCount(), 0);
  a.SetCount(0);
  EXPECT_EQ(a.Capacity(), 0);

  int i = a.AppendItem();
  a.SetItemName(i, L"Dir/Read Me.TXT");
  int j = a.AppendItem();
  a.SetItemName(j, L"dir/read me.txt");  // differs only in case: allowed, one key
  int found;
  EXPECT_TRUE(a.FileExists(L"DIR/READ ME.txt", found));
  EXPECT_TRUE(found == 0 || found == 1);
  // Renaming the first of two colliding names works (the index stays in step).
  a.SetItemName(0, L"other");
  EXPECT_TRUE(a.FileExists(L"OTHER", found));
  EXPECT_EQ(found, 0);
  EXPECT_TRUE(a.FileExists(L"dir/read me.txt", found));
  EXPECT_EQ(found, 1);
  // Two empty names are fine too.
  a.AppendItem();
  a.AppendItem();
  EXPECT_EQ(a.GetCount(), 4);
  a.DeleteItem(0);
  EXPECT_TRUE(a.FileExists(L"dir/read me.txt", found));
  EXPECT_EQ(found, 0);
  EXPECT_FALSE(a.FileExists(L"other", found));
  // A copy owns its blocks: changing one does not change the other.
  TDirItem item = a.GetItem(0);
  item.ExtraBlocks.push_back(MakeUnicodeNameBlock(L"abc"));
  a.SetItem(1, item);
  TDirItem copy = a.GetItem(1);
  copy.ExtraBlocks[0].Data[0] = 0;
  EXPECT_EQ(a.GetItemPtr(1).ExtraBlocks[0].Data[0], 'N');
  const std::vector<uint8_t> expected = {0x4E, 0x55, 0x43, 0x58, 3, 0, 0, 0, 0x61, 0, 0x62, 0, 0x63, 0};
  EXPECT_EQ(a.GetItemPtr(1).ExtraBlocks[0].Data, expected);
}

// A component working on a memory stream holding the given bytes.
struct Bytes : ::testing::Test {
  std::unique_ptr<TZipEngine> zip{new TZipEngine(nullptr)};
  TMemoryStream stream;
  void Open(const std::string& bytes) {
    stream.SetSize(int64_t(0));
    if (!bytes.empty()) stream.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
    zip->OpenArchive(&stream, false);
  }
  std::string Contents() { return std::string(static_cast<const char*>(stream.Memory()), static_cast<size_t>(stream.Size())); }
  std::string MakeArchive(const std::vector<std::pair<std::wstring, std::string>>& items, const char* comment = "") {
    TMemoryStream m;
    zip->OpenArchive(&m, true);
    zip->BeginUpdate();
    for (auto& i : items) zip->AddFromString(i.first.c_str(), i.second, 0x20, 0);
    zip->EndUpdate();
    if (*comment) zip->SetFileComment(comment);
    zip->CloseArchive();
    return std::string(static_cast<const char*>(m.Memory()), static_cast<size_t>(m.Size()));
  }
};

TEST_F(Bytes, EndRecordSearchRules) {
  const std::string a = MakeArchive({{L"a", "1"}, {L"b", "2"}});
  Open(a);
  EXPECT_EQ(zip->DirManager()->EndPosition, static_cast<int64_t>(a.size()) - 22);
  EXPECT_EQ(zip->DirManager()->Directory().GetCount(), 2);
  zip->CloseArchive();
  // Bytes after the record that its comment does not claim: no end record,
  // the items come from the local headers (attributes 0x20, no comment).
  Open(a + "junk");
  EXPECT_EQ(zip->DirManager()->EndPosition, -1);
  EXPECT_EQ(zip->DirManager()->Directory().GetCount(), 2);
  EXPECT_EQ(zip->DirManager()->Directory().GetItemPtr(1).Header.ExternalAttributes, 0x20u);
  EXPECT_EQ(zip->DirManager()->DirectoryStart, static_cast<int64_t>(a.size()) + 4);
  zip->CloseArchive();
  // A comment: the record is found by its length; a fake record inside the
  // comment that does not fit is passed over.
  const std::string c = MakeArchive({{L"a", "1"}}, "xxPK\x05\x06yy");
  Open(c);
  EXPECT_EQ(zip->FileComment(), "xxPK\x05\x06yy");
  EXPECT_EQ(zip->DirManager()->EndPosition, static_cast<int64_t>(c.size()) - 22 - 8);
  zip->CloseArchive();
  // Fewer than 22 bytes: nothing to find, nothing to rebuild from.
  EXPECT_EQ(NativeOf([&] { Open("PK\x05\x06"); }), 35);
}

TEST_F(Bytes, DamagedCountsFallBackToTheLocalHeaders) {
  std::string a = MakeArchive({{L"a", "1"}, {L"b", "2"}});
  // Total entries 0xFFFF without ZIP64 records.
  std::string f = a;
  f[a.size() - 22 + 8] = f[a.size() - 22 + 9] = f[a.size() - 22 + 10] = f[a.size() - 22 + 11] = '\xFF';
  Open(f);
  EXPECT_EQ(zip->DirManager()->DirectoryStart, static_cast<int64_t>(f.size()));  // rebuilt
  EXPECT_EQ(zip->GetFileCount(), 2);
  zip->CloseArchive();
  // More entries than the directory can hold.
  std::string g = a;
  g[a.size() - 22 + 10] = 3;
  Open(g);
  EXPECT_EQ(zip->GetFileCount(), 2);
  zip->CloseArchive();
  zip->SetOpenTolerance(false);
  EXPECT_THROW(Open(g), EReadError);
  EXPECT_FALSE(zip->Active());
  // Packed sizes larger than the file, with the tolerance off.
  std::string h = a;
  const size_t cd = h.find("PK\x01\x02");
  h[cd + 23] = 0x7F;
  EXPECT_EQ(NativeOf([&] { Open(h); }), 57);
  // A locator that points at no ZIP64 record.
  zip->SetOpenTolerance(true);
  std::string loc("PK\x06\x07\0\0\0\0\0\0\0\0\0\0\0\0\x01\0\0\0", 20);
  std::string k = a.substr(0, a.size() - 22) + loc + a.substr(a.size() - 22);
  // The directory offset no longer matters: the directory is found from the end.
  EXPECT_EQ(NativeOf([&] { Open(std::string(60, 'x') + k); }), 40);
}

TEST_F(Bytes, PrefixedEmptyArchiveAndInPlaceDirectoryWrites) {
  std::string empty = MakeArchive({});
  Open(std::string(100, 'S') + empty);
  EXPECT_EQ(zip->DirManager()->StubSize, 100);
  zip->CloseArchive();
  // A comment change rewrites the directory where it is.
  std::string a = MakeArchive({{L"a", "1"}});
  Open(a);
  zip->SetFileComment("new comment");
  zip->CloseArchive();
  std::string b = Contents();
  EXPECT_EQ(b.substr(0, a.size() - 22), a.substr(0, a.size() - 22));
  EXPECT_EQ(b.substr(b.size() - 11), "new comment");
}

TEST_F(Bytes, SixtyFiveThousandItemsGetZip64RecordsEvenWhenDisabled) {
  TMemoryStream m;
  zip->OpenArchive(&m, true);
  TZEDirArray& d = zip->DirManager()->Directory();
  for (int i = 0; i < 65535; ++i) {
    int k = d.AppendItem();
    d.SetItemName(k, WideString(L"f") + WideString(std::to_wstring(i)));
    d.GetItemPtr(k).Header.Signature = 0x02014B50;
    // Each entry its own (empty) record: entries sharing one are refused.
    d.GetItemPtr(k).Header.LocalHeaderOffset = static_cast<uint32_t>(30 * k);
  }
  zip->DirManager()->SaveDir(true);
  const std::string s(static_cast<const char*>(m.Memory()), static_cast<size_t>(m.Size()));
  const size_t end = s.size() - 22;
  EXPECT_EQ(s.substr(end, 4), "PK\x05\x06");
  EXPECT_EQ(s.substr(end + 8, 4), "\xFF\xFF\xFF\xFF");
  EXPECT_EQ(s.substr(end - 20, 4), "PK\x06\x07");
  EXPECT_EQ(s.substr(end - 76, 4), "PK\x06\x06");
  zip->CloseArchive();
  Open(s);
  EXPECT_TRUE(zip->DirManager()->HasZip64);
  EXPECT_EQ(zip->DirManager()->Directory().GetCount(), 65535);
}

TEST_F(Bytes, ForeignZip64BlocksAreRegeneratedAndNuBlocksKept) {
  // An item carrying an odd "NU" block (not NUCX) and a stray ZIP64 block.
  std::string a = MakeArchive({{L"a", "1"}});
  Open(a);
  TDirItem& item = zip->DirManager()->Directory().GetItemPtr(0);
  item.ExtraBlocks.clear();
  TZEExtraBlock odd;
  odd.Id = ZE_EXTRA_UNICODE;
  odd.Data = {'N', 'U', 'X', 'X', 1, 0, 0, 0, 'z', 0};
  item.ExtraBlocks.push_back(odd);
  TZEExtraBlock z64;
  z64.Id = ZE_EXTRA_ZIP64;
  z64.Data.assign(8, 7);
  item.ExtraBlocks.push_back(z64);
  zip->DirManager()->SaveDir(false);
  zip->CloseArchive();
  Open(Contents());
  const TDirItem& back = zip->DirManager()->Directory().GetItemPtr(0);
  EXPECT_EQ(back.StoredName, WideString(L"a"));
  ASSERT_EQ(back.ExtraBlocks.size(), 1u);
  EXPECT_EQ(back.ExtraBlocks[0].Data, odd.Data);
}

}  // namespace

// Archives other tools wrote, damaged or odd, opened through the rebuild of the
// directory from local headers and through the central directory.
struct Damaged : ::testing::Test {
  TempDir dir;
  std::unique_ptr<TZipEngine> zip{new TZipEngine(nullptr)};
  // Runs a Python script with the archive's Unix path as its argument.
  void Py(const std::string& name, const std::string& script) {
    std::string out;
    ASSERT_EQ(RunPython("import sys, zipfile, struct, io, os\np = sys.argv[1]\n" + script, Q(UP(dir, name)), &out), 0)
        << out;
    zip->SetFileName(W(dir.File(name)));
  }
};

TEST_F(Damaged, FilesWithoutAnEndRecord) {
  const struct {
    const char* what;
    const char* script;
    int openNative;   // -1: opens
    int items;        // when it opens
    int extractNative;
  } cases[] = {
      {"cut inside the first item's data",
       "with zipfile.ZipFile(p, 'w', zipfile.ZIP_STORED) as z: z.writestr('a.bin', os.urandom(100000))\n"
       "b = open(p, 'rb').read(); open(p, 'wb').write(b[:30 + 5 + 4000])\n",
       -1, 1, 8},
      {"cut inside deflated data",
       "with zipfile.ZipFile(p, 'w', zipfile.ZIP_DEFLATED) as z: z.writestr('a.txt', ' '.join(map(str, range(60000))))\n"
       "b = open(p, 'rb').read(); open(p, 'wb').write(b[:30 + 5 + 3000])\n",
       -1, 1, 8},
      {"cut inside the first local header", 
       "with zipfile.ZipFile(p, 'w') as z: z.writestr('a.txt', 'x')\n"
       "b = open(p, 'rb').read(); open(p, 'wb').write(b[:20])\n",
       35, 0, 0},
      {"no local header at all", "open(p, 'wb').write(os.urandom(5000).replace(b'PK', b'pk'))\n", 35, 0, 0},
      {"empty file", "open(p, 'wb').write(b'')\n", 35, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Py("cut.zip", c.script);
    const int native = NativeOf([&] { zip->OpenArchive(2); });
    EXPECT_EQ(native, c.openNative);
    if (native != -1) continue;
    EXPECT_EQ(zip->DirManager()->Directory().GetCount(), c.items);
    CreateDirectoryA(dir.File("out").c_str(), nullptr);
    zip->SetBaseDir(W(dir.File("out")));
    EXPECT_EQ(NativeOf([&] { zip->ExtractFiles(L"*", 0x28BF, L""); }), c.extractNative);
    // Nothing half-written stays behind.
    EXPECT_EQ(GetFileAttributesA(dir.File("out\\a.bin").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesA(dir.File("out\\a.txt").c_str()), INVALID_FILE_ATTRIBUTES);
    zip->CloseArchive();
  }
}

TEST_F(Damaged, ItemsSharingDataAreRefused) {
  // Every entry of the second archive points at the first item's record: the
  // shape of archives that extract far more than they hold.
  const char* make =
      "with zipfile.ZipFile(p, 'w', zipfile.ZIP_DEFLATED) as z:\n"
      "    for n in ('a.txt', 'b.txt', 'c.txt'): z.writestr(n, n * 5000)\n";
  const struct {
    const char* what;
    const char* patch;
    int native;
  } cases[] = {
      {"three separate items", "", -1},
      {"all entries at one offset",
       "b = bytearray(open(p, 'rb').read()); i = 0\n"
       "while True:\n"
       "    i = b.find(b'PK\\x01\\x02', i)\n"
       "    if i < 0: break\n"
       "    b[i + 42:i + 46] = b'\\0\\0\\0\\0'; i += 4\n"
       "open(p, 'wb').write(bytes(b))\n",
       57},
      {"the last entry inside the middle item's data",
       "b = bytearray(open(p, 'rb').read()); i = b.rfind(b'PK\\x01\\x02')\n"
       "o = struct.unpack('<I', b[i + 42:i + 46])[0]; b[i + 42:i + 46] = struct.pack('<I', o - 10)\n"
       "open(p, 'wb').write(bytes(b))\n",
       57},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Py("o.zip", std::string(make) + c.patch);
    EXPECT_EQ(NativeOf([&] { zip->OpenArchive(2); }), c.native);
    zip->CloseArchive();
  }
}

TEST_F(Damaged, DataDescriptorsWithoutADirectoryAreFoundItemByItem) {
  // Written to a pipe-like stream, every item has a data descriptor; the
  // central directory is then cut away. One item holds a descriptor's
  // signature in its data, which must not be taken for its descriptor.
  Py("d.zip",
     "class W(io.RawIOBase):\n"
     "    def __init__(s, f): s.f = f\n"
     "    def writable(s): return True\n"
     "    def write(s, b): return s.f.write(b)\n"
     "f = open(p, 'wb')\n"
     "with zipfile.ZipFile(W(f), 'w', zipfile.ZIP_DEFLATED) as z:\n"
     "    z.writestr('trap.bin', b'xx' + b'PK\\x07\\x08' + b'\\0' * 12 + b'tail')\n"
     "    for i in range(1500): z.writestr('f%04d.txt' % i, ('%d ' % i) * (i % 40 + 1))\n"
     "f.close(); b = open(p, 'rb').read(); open(p, 'wb').write(b[:b.find(b'PK\\x01\\x02')])\n");
  zip->OpenArchive(2);
  ASSERT_EQ(zip->DirManager()->Directory().GetCount(), 1501);
  AnsiString text;
  zip->ExtractToString(L"trap.bin", text);
  EXPECT_EQ(text.str(), std::string("xxPK\x07\x08", 6) + std::string(12, '\0') + "tail");
  zip->ExtractToString(L"f1234.txt", text);
  std::string expect;
  for (int k = 0; k < 1234 % 40 + 1; ++k) expect += "1234 ";
  EXPECT_EQ(text.str(), expect);
  zip->TestFiles(L"*", 0x28BF, L"");
}

TEST_F(Damaged, NamesFlaggedUtf8AreReadAsUtf8AndKeptSoOnRewrite) {
  Py("u.zip",
     "with zipfile.ZipFile(p, 'w') as z:\n"
     "    z.writestr('Отчёт/данные.txt', 'ru')\n"
     "    z.writestr('日本/ü.txt', 'jp')\n"
     "    z.writestr('plain.txt', 'ascii')\n"
     "assert all(i.flag_bits & 0x800 for i in zipfile.ZipFile(p).infolist()[:2])\n");
  zip->OpenArchive();
  const wchar_t* names[] = {L"Отчёт/данные.txt", L"日本/ü.txt", L"plain.txt"};
  for (int i = 0; i < 3; ++i) EXPECT_EQ(zip->DirManager()->Directory().GetItemPtr(i).StoredName, WideString(names[i]));
  CreateDirectoryA(dir.File("out").c_str(), nullptr);
  zip->SetBaseDir(W(dir.File("out")));
  zip->ExtractFiles(L"*", 0x28BF, L"");
  EXPECT_EQ(ReadWide(W(dir.File("out")) + L"\\Отчёт\\данные.txt"), "ru");
  EXPECT_EQ(ReadWide(W(dir.File("out")) + L"\\日本\\ü.txt"), "jp");
  // A rewrite of the archive keeps the flagged names in UTF-8.
  zip->DeleteFiles(L"plain.txt", 0x28BF, L"");
  zip->CloseArchive();
  std::string out;
  ASSERT_EQ(RunPython("import sys, zipfile\n"
                      "print(sorted(i.filename for i in zipfile.ZipFile(sys.argv[1]).infolist()))\n",
                      Q(UP(dir, "u.zip")), &out),
            0)
      << out;
  EXPECT_NE(out.find("['Отчёт/данные.txt', '日本/ü.txt']"), std::string::npos) << out;
}
