// Archives the engine writes, read by Info-ZIP, 7-Zip, libarchive and Python;
// archives they write, read and extracted by the engine.
#include <gtest/gtest.h>

#include <memory>

#include "UcSysUtils.h"
#include "ZipTestUtil.h"

namespace {

struct Interop : ::testing::Test {
  TempDir dir;
  std::unique_ptr<TZipEngine> zip{NewListEngine()};
  std::string U(const std::string& name) { return Q(UP(dir, name)); }
  void ExtractAllTo(const std::string& archive, const std::string& folder) {
    CreateDirectoryA(dir.File(folder).c_str(), nullptr);
    zip->SetFileName(W(dir.File(archive)));
    zip->SetBaseDir(W(dir.File(folder)));
    zip->OpenArchive(2);
    zip->ExtractFiles(L"*", 0x28BF, L"");
    zip->TestFiles(L"*", 0x28BF, L"");
    zip->CloseArchive();
  }
};

TEST_F(Interop, PeersReadAnArchiveOfManyItemsAfterRenamesAndDeletes) {
  const std::string src = dir.File("src");
  CreateDirectoryA(src.c_str(), nullptr);
  CreateDirectoryA((src + "\\sub").c_str(), nullptr);
  CreateDirectoryA((src + "\\emptydir").c_str(), nullptr);
  for (int i = 0; i < 200; ++i)
    WriteFileBytes(src + "\\sub\\f" + std::to_string(i) + ".txt", std::string(i * 37, static_cast<char>('a' + i % 26)));
  WriteFileBytes(src + "\\empty.bin", "");
  WriteFileBytes(src + "\\" + A(L"Отчёт.txt"), "report");
  std::string big;
  for (int i = 0; big.size() < (5u << 20); ++i) big += "line " + std::to_string(i * 7) + "\n";
  WriteFileBytes(src + "\\big.log", big);
  zip->SetBaseDir(W(src));
  zip->SetFileName(W(dir.File("many.zip")));
  zip->OpenArchive(fmCreate);
  zip->AddFiles(W(src + "\\*"), 0x28BF | 0x10, L"");
  zip->RenameFile(L"sub\\f10.txt", L"sub\\renamed.txt");
  zip->RenameFile(W(A(L"Отчёт.txt")), L"Итог.txt");
  zip->DeleteFiles(L"sub\\f2*.txt", 0x28BF, L"");
  const int count = zip->GetFileCount();
  zip->CloseArchive();
  EXPECT_EQ(count, 200 - 11 + 3);
  std::string out;
  EXPECT_EQ(RunUnix("unzip -tq " + U("many.zip"), &out), 0) << out;
  EXPECT_EQ(RunUnix("7z t " + U("many.zip"), &out), 0) << out;
  EXPECT_EQ(RunUnix("bsdtar -tf " + U("many.zip") + " | wc -l", &out), 0) << out;
  EXPECT_EQ(std::stoi(out), count + 2);  // two folder items
  const char* py =
      "import sys, zipfile\n"
      "z = zipfile.ZipFile(sys.argv[1])\n"
      "assert z.testzip() is None\n"
      "names = {i.orig_filename.encode('cp437').decode('cp866'): i for i in z.infolist()}\n"
      "assert 'sub/renamed.txt' in names and 'sub/f10.txt' not in names\n"
      "assert 'Итог.txt' in names, list(names)[:5]\n"
      "assert not any(n.startswith('sub/f2') for n in names)\n"
      "assert names['emptydir/'].external_attr & 0x10 and names['emptydir/'].flag_bits == 2\n"
      "assert names['empty.bin'].file_size == 0 and names['empty.bin'].compress_type == 0\n"
      "assert z.read(names['sub/renamed.txt']) == b'k' * 370\n"
      "assert len(z.read(names['big.log'])) == int(sys.argv[2])\n";
  EXPECT_EQ(RunPython(py, U("many.zip") + " " + std::to_string(big.size()), &out), 0) << out;
  // And back: the engine extracts what it wrote.
  ExtractAllTo("many.zip", "back");
  EXPECT_EQ(ReadFileBytes(dir.File("back\\big.log")), big);
  EXPECT_EQ(ReadFileBytes(dir.File("back\\" + A(L"Итог.txt"))), "report");
  EXPECT_NE(GetFileAttributesA(dir.File("back\\emptydir").c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
}

TEST_F(Interop, InfoZipArchivesExtractExactly) {
  std::string out;
  const std::string s = UP(dir, "");
  ASSERT_EQ(RunUnix("cd " + Q(s) + " && mkdir -p in/sub in/emptydir && head -c 2097153 /dev/zero > in/zeros && "
                    "seq 1 400000 > in/sub/numbers.txt && : > in/empty && printf x > in/sub/x && "
                    "cd in && zip -q -9 -r ../iz.zip . && zip -q -fd -0 ../izd.zip sub/x zeros && "
                    "printf streamed | zip -q ../izs.zip -",
                    &out),
            0)
      << out;
  ExtractAllTo("iz.zip", "o1");
  EXPECT_EQ(RunUnix("diff -r " + Q(s + "/in") + " " + Q(s + "/o1") + " && echo same", &out), 0) << out;
  ExtractAllTo("izd.zip", "o2");  // data descriptors, stored
  EXPECT_EQ(ReadFileBytes(dir.File("o2\\zeros")), std::string(2097153, '\0'));
  ExtractAllTo("izs.zip", "o3");  // streamed: sizes only in the descriptor
  EXPECT_EQ(ReadFileBytes(dir.File("o3\\-")), "streamed");
}

TEST_F(Interop, SevenZipAndPythonArchivesExtractExactly) {
  std::string out;
  const std::string s = UP(dir, "");
  ASSERT_EQ(RunUnix("cd " + Q(s) + " && mkdir -p in && seq 1 100000 > in/a.txt && head -c 300000 /dev/urandom > "
                    "in/r.bin && cd in && 7z a -tzip -mx=9 ../s9.zip a.txt r.bin >/dev/null && "
                    "7z a -tzip -mx=0 ../s0.zip a.txt r.bin >/dev/null",
                    &out),
            0)
      << out;
  ExtractAllTo("s9.zip", "o9");
  ExtractAllTo("s0.zip", "o0");
  EXPECT_EQ(RunUnix("cmp " + Q(s + "/in/r.bin") + " " + Q(s + "/o9/r.bin") + " && cmp " + Q(s + "/in/a.txt") + " " +
                        Q(s + "/o0/a.txt"),
                    &out),
            0)
      << out;
  const char* py =
      "import sys, zipfile\n"
      "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
      "    z.writestr('stored.txt', 'plain ' * 100, compress_type=zipfile.ZIP_STORED)\n"
      "    z.writestr(zipfile.ZipInfo('dir/'), '')\n"
      "    z.writestr('dir/deflated.txt', 'packed ' * 1000, compress_type=zipfile.ZIP_DEFLATED)\n"
      "    z.writestr('z64.txt', 'sixty-four', compress_type=zipfile.ZIP_DEFLATED)\n"
      "    z.comment = b'archive comment'\n"
      "with zipfile.ZipFile(sys.argv[2], 'w') as z:\n"
      "    with z.open('forced.txt', 'w', force_zip64=True) as f: f.write(b'zip64 ' * 500)\n";
  ASSERT_EQ(RunPython(py, U("py.zip") + " " + U("py64.zip"), &out), 0) << out;
  ExtractAllTo("py.zip", "op");
  EXPECT_EQ(ReadFileBytes(dir.File("op\\dir\\deflated.txt")), [] {
    std::string r;
    for (int i = 0; i < 1000; ++i) r += "packed ";
    return r;
  }());
  zip->OpenArchive(2);
  EXPECT_EQ(zip->FileComment(), "archive comment");
  zip->CloseArchive();
  ExtractAllTo("py64.zip", "o64");
  EXPECT_EQ(ReadFileBytes(dir.File("o64\\forced.txt")).size(), 3000u);
}

TEST_F(Interop, CyrillicNamesInTheOemCodePageFromAPeer) {
  // Python writes non-ASCII names as UTF-8; put cp866 bytes in place instead,
  // as DOS-era tools do.
  const char* py =
      "import sys, zipfile\n"
      "name = 'Папка/Файл.txt'\n"
      "ph = 'X' * len(name.encode('cp866'))\n"
      "with zipfile.ZipFile(sys.argv[1], 'w') as z: z.writestr(ph, 'содержимое'.encode('cp1251'))\n"
      "b = open(sys.argv[1], 'rb').read().replace(ph.encode(), name.encode('cp866'))\n"
      "open(sys.argv[1], 'wb').write(b)\n"
      "assert zipfile.ZipFile(sys.argv[1]).testzip() is None\n";
  std::string out;
  ASSERT_EQ(RunPython(py, U("cy.zip"), &out), 0) << out;
  ExtractAllTo("cy.zip", "oc");
  EXPECT_EQ(ReadFileBytes(dir.File("oc\\" + A(L"Папка\\Файл.txt"))), A(L"содержимое"));
}

TEST_F(Interop, DeleteAndRenameKeepInfoZipItemsWhole) {
  // Info-ZIP's local extra fields are longer than its central ones: copy
  // lengths must come from the local header.
  std::string out;
  const std::string s = UP(dir, "");
  ASSERT_EQ(RunUnix("cd " + Q(s) + " && mkdir -p in && cd in && for i in 1 2 3 4; do seq 1 $((i*20000)) > f$i; done "
                    "&& zip -q ../iz.zip f1 f2 f3 f4 && zipinfo -v ../iz.zip | grep -c 'extra field'",
                    &out),
            0)
      << out;
  zip->SetFileName(W(dir.File("iz.zip")));
  zip->OpenArchive(2);
  zip->DeleteFiles(L"f1", 0x28BF, L"");
  zip->RenameFile(L"f3", L"third");
  zip->CloseArchive();
  EXPECT_EQ(RunUnix("unzip -t " + U("iz.zip"), &out), 0) << out;
  EXPECT_EQ(RunUnix("7z t " + U("iz.zip"), &out), 0) << out;
  EXPECT_EQ(RunUnix("cd " + Q(s) + " && unzip -p iz.zip third | cmp - in/f3", &out), 0) << out;
}

TEST_F(Interop, ArchivesWithJunkAfterTheEndOrAStubInFront) {
  std::string out;
  const std::string s = UP(dir, "");
  ASSERT_EQ(RunUnix("cd " + Q(s) + " && mkdir -p in/d && cd in && seq 1 5000 > x && seq 1 9000 > d/y && "
                    "zip -q -r ../j.zip x d && head -c 10 /dev/urandom >> ../j.zip && "
                    "zip -q -r ../p.zip x d && (head -c 777 /dev/urandom; cat ../p.zip) > ../sfx.zip",
                    &out),
            0)
      << out;
  // Trailing junk: the end record is not found, the directory is rebuilt from
  // the local headers, and an append keeps every old item.
  zip->SetFileName(W(dir.File("j.zip")));
  zip->OpenArchive(2);
  EXPECT_EQ(zip->GetFileCount(), 2);
  zip->AddFromString(L"z", "zzz", 0x20, 0);
  zip->CloseArchive();
  EXPECT_EQ(RunUnix("unzip -t " + U("j.zip"), &out), 0) << out;
  EXPECT_EQ(RunUnix("cd " + Q(s) + " && unzip -p j.zip d/y | cmp - in/d/y", &out), 0) << out;
  // A prefix the offsets do not count: found, and every item shifted, the
  // folder item too.
  zip->SetFileName(W(dir.File("sfx.zip")));
  zip->OpenArchive(2);
  EXPECT_EQ(zip->DirManager()->StubSize, 777);
  for (int i = 0; i < zip->DirManager()->Directory().GetCount(); ++i)
    EXPECT_GE(zip->DirManager()->Directory().GetItemPtr(i).LocalOffset(), 777);
  zip->TestFiles(L"*", 0x28BF, L"");
  zip->AddFromString(L"added", "a", 0x20, 0);
  zip->CloseArchive();
  EXPECT_EQ(RunUnix("unzip -t " + U("sfx.zip"), &out), 0) << out;
}

}  // namespace
