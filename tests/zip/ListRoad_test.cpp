// The two roads of the program's list files: save (a new archive holding one
// data file at level 9) and open (rename, extract, rename back), checked byte
// for byte and by the Linux peers.
#include <gtest/gtest.h>

#include <memory>

#include "UcSysUtils.h"
#include "ZipTestUtil.h"

namespace {

// 600-byte records, mostly zero padding: the shape of a list data file.
std::string ListData(int records) {
  std::string s(256, '\0');
  s.replace(0, 11, "header-path");
  for (int i = 0; i < records; ++i) {
    std::string r(600, '\0');
    std::string name = "file" + std::to_string(i) + ".txt";
    r.replace(0, name.size(), name);
    r[520] = static_cast<char>(i & 0xFF);
    r[596] = 'F';
    s += r;
  }
  return s;
}

uint16_t U16(const std::string& b, size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) | (static_cast<uint8_t>(b[at + 1]) << 8));
}
uint32_t U32(const std::string& b, size_t at) { return U16(b, at) | (static_cast<uint32_t>(U16(b, at + 2)) << 16); }

struct ListFixture : ::testing::Test {
  TempDir dir;
  std::unique_ptr<TZipEngine> zip{NewListEngine()};
  std::string data = ListData(300);

  std::string Save(const std::string& listName, const std::string& dataName) {
    WriteFileBytes(dir.File(dataName), data);
    zip->SetBaseDir(W(dir.Path()));
    zip->SetFileName(W(dir.File(listName)));
    zip->OpenArchive(fmCreate);
    zip->AddFiles(W(dir.File(dataName)), 0x28BF, WideString());
    zip->CloseArchive();
    EXPECT_TRUE(zip->LastCloseError().IsEmpty());
    return ReadFileBytes(dir.File(listName));
  }
};

TEST_F(ListFixture, SaveWritesTheExactByteMap) {
  const std::string a = Save("disk1.vq", "~tmp~disk1");
  ASSERT_GT(a.size(), 182u);
  const uint32_t c = static_cast<uint32_t>(a.size() - 182);
  // Local header: version 20, flags 0, method 8, sizes, name and NU block.
  EXPECT_EQ(U32(a, 0), 0x04034B50u);
  EXPECT_EQ(U16(a, 4), 20);
  EXPECT_EQ(U16(a, 6), 0);
  EXPECT_EQ(U16(a, 8), 8);
  EXPECT_EQ(U32(a, 18), c);
  EXPECT_EQ(U32(a, 22), data.size());
  EXPECT_EQ(U16(a, 26), 10);
  EXPECT_EQ(U16(a, 28), 32);
  EXPECT_EQ(a.substr(30, 10), "~tmp~disk1");
  EXPECT_EQ(a.substr(40, 12), std::string("NU\x1C\x00NUCX\x0A\x00\x00\x00", 12));
  EXPECT_EQ(a[52], '~');
  EXPECT_EQ(a[53], '\0');
  // Central header after the data, then the 22-byte end record.
  const size_t cd = 72 + c;
  EXPECT_EQ(U32(a, cd), 0x02014B50u);
  EXPECT_EQ(U16(a, cd + 4), 20);
  EXPECT_EQ(U16(a, cd + 6), 20);
  EXPECT_EQ(U16(a, cd + 10), 8);
  EXPECT_EQ(U32(a, cd + 20), c);
  EXPECT_EQ(U16(a, cd + 30), 32);
  EXPECT_EQ(U16(a, cd + 34), 0);
  EXPECT_EQ(U16(a, cd + 36), 0);
  EXPECT_EQ(U32(a, cd + 38), GetFileAttributesA(dir.File("~tmp~disk1").c_str()));
  EXPECT_EQ(U32(a, cd + 42), 0u);
  const size_t end = a.size() - 22;
  EXPECT_EQ(U32(a, end), 0x06054B50u);
  EXPECT_EQ(U16(a, end + 8), 1);
  EXPECT_EQ(U16(a, end + 10), 1);
  EXPECT_EQ(U32(a, end + 12), 88u);
  EXPECT_EQ(U32(a, end + 16), 72 + c);
  EXPECT_EQ(U16(a, end + 20), 0);
}

TEST_F(ListFixture, SavedListFileIsReadByEveryPeer) {
  Save("disk1.vq", "~tmp~disk1");
  const std::string arc = Q(UP(dir, "disk1.vq"));
  std::string out;
  EXPECT_EQ(RunUnix("unzip -t " + arc, &out), 0) << out;
  EXPECT_EQ(RunUnix("7z t " + arc, &out), 0) << out;
  EXPECT_EQ(RunUnix("bsdtar -xOf - < " + arc + " | cmp - " + Q(UP(dir, "~tmp~disk1")), &out), 0) << out;
  const char* py =
      "import sys, zipfile, zlib\n"
      "z = zipfile.ZipFile(sys.argv[1])\n"
      "assert z.testzip() is None\n"
      "i = z.infolist()[0]\n"
      "assert i.orig_filename == '~tmp~disk1', i.orig_filename\n"
      "assert i.compress_type == 8 and i.flag_bits == 0 and i.create_version == 20 and i.extract_version == 20\n"
      "assert z.read(i) == open(sys.argv[2], 'rb').read()\n"
      "# level 9 raw deflate of one buffer: the same bytes zlib makes\n"
      "c = zlib.compressobj(9, zlib.DEFLATED, -15, 8)\n"
      "raw = open(sys.argv[2], 'rb').read()\n"
      "f = open(sys.argv[1], 'rb'); f.seek(30 + 10 + 32); got = f.read(i.compress_size)\n"
      "assert got == c.compress(raw) + c.flush(), 'deflate bytes differ'\n"
      "print('ok')\n";
  EXPECT_EQ(RunPython(py, arc + " " + Q(UP(dir, "~tmp~disk1")), &out), 0) << out;
  EXPECT_EQ(RunUnix("zipdetails " + arc + " | grep -c 'NUCX\\|~tmp~disk1'", &out), 0) << out;
}

TEST_F(ListFixture, EmptyArchiveIsTheEndRecordAlone) {
  WriteFileBytes(dir.File("old.vq"), std::string(1000, 'x'));
  zip->SetFileName(W(dir.File("old.vq")));
  zip->OpenArchive(fmCreate);
  // The create mode truncates at once.
  const HANDLE old = CreateFileA(dir.File("old.vq").c_str(), 0, 7, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(GetFileSize(old, nullptr), 0u);
  CloseHandle(old);
  zip->CloseArchive();
  const std::string a = ReadFileBytes(dir.File("old.vq"));
  EXPECT_EQ(a, std::string("PK\x05\x06", 4) + std::string(18, '\0'));
  std::string out;
  EXPECT_EQ(RunUnix("7z t " + Q(UP(dir, "old.vq")), &out), 0) << out;
  EXPECT_EQ(RunPython("import sys, zipfile\nassert zipfile.ZipFile(sys.argv[1]).namelist() == []\n",
                      Q(UP(dir, "old.vq")), &out),
            0)
      << out;
}

TEST_F(ListFixture, OpenRoadRenamesExtractsAndRenamesBack) {
  const std::string saved = Save(A(L"Диск.vq"), A(L"~tmp~Диск"));
  DeleteFileA(dir.File(A(L"~tmp~Диск")).c_str());
  std::unique_ptr<TZipEngine> z(NewListEngine());
  z->SetFileName(W(dir.File(A(L"Диск.vq"))));
  z->OpenArchive(2);
  EXPECT_EQ(z->GetFileCount(), 1);
  TZEArchiveItem item;
  ASSERT_TRUE(z->FindFirst(L"*", item, 63, WideString()));
  EXPECT_EQ(item.FileName, WideString(L"~tmp~Диск"));
  z->RenameFile(item.FileName, WideString(L"Диск"));
  z->SetBaseDir(W(dir.Path() + "\\"));
  z->ExtractFiles(WideString(L"Диск"), 0x28BF, WideString());
  z->RenameFile(WideString(L"Диск"), item.FileName);
  z->CloseArchive();
  EXPECT_EQ(ReadFileBytes(dir.File(A(L"Диск"))), data);
  // Two renames give back the very same archive.
  EXPECT_EQ(ReadFileBytes(dir.File(A(L"Диск.vq"))), saved);
  // No temporary file is left beside it.
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA(dir.File("FC*").c_str(), &fd);
  EXPECT_EQ(h, INVALID_HANDLE_VALUE);
  if (h != INVALID_HANDLE_VALUE) FindClose(h);
}

TEST_F(ListFixture, CyrillicNameIsStoredInOemWithTheUnicodeBlock) {
  ASSERT_EQ(GetACP(), 1251u);
  ASSERT_EQ(GetOEMCP(), 866u);
  const std::string a = Save("d.vq", A(L"~tmp~Диск"));
  EXPECT_EQ(a.substr(30, 9), "\x7e\x74\x6d\x70\x7e\x84\xa8\xe1\xaa");
  std::string out;
  const char* py =
      "import sys, zipfile\n"
      "z = zipfile.ZipFile(sys.argv[1])\n"
      "n = z.infolist()[0].orig_filename\n"
      "assert n.encode('cp437').decode('cp866') == '~tmp~Диск', n\n"
      "assert z.testzip() is None\n";
  EXPECT_EQ(RunPython(py, Q(UP(dir, "d.vq")), &out), 0) << out;
}

}  // namespace
