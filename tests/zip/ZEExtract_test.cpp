// Extraction: where files land, what happens to existing files, bad data, and
// names that try to leave the base folder.
#include <gtest/gtest.h>

#include <memory>

#include "UcSysUtils.h"
#include "ZEInternal.h"
#include "ZipTestUtil.h"

namespace {

struct Failures {
  std::vector<int> Natives;
  TZEAction Answer = fxaIgnore;
  static void On(void* data, TObject*, const WideString&, TZEProcessOperation, int native, int, const WideString&,
                 TZEAction& action) {
    auto* f = static_cast<Failures*>(data);
    f->Natives.push_back(native);
    action = f->Answer;
  }
};

struct Extract : ::testing::Test {
  TempDir dir;
  std::unique_ptr<TZipEngine> zip{new TZipEngine(nullptr)};
  Failures failures;
  void SetUp() override {
    CreateDirectoryA(dir.File("out").c_str(), nullptr);
    zip->SetBaseDir(W(dir.File("out")));
    zip->OnProcessFileFailure = TZEProcessFileFailureEvent(&failures, &Failures::On);
  }
  // Writes an archive with Python: names and contents given, one item's CRC
  // spoiled when asked.
  void PyZip(const std::string& name, const std::string& items, bool spoil = false) {
    std::string out;
    const std::string py = std::string("import sys, zipfile, struct\n") +
                           "with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:\n" + items +
                           (spoil ? "b = bytearray(open(sys.argv[1], 'rb').read())\n"
                                    "b[14] ^= 0xFF\n"  // the first local header's CRC
                                    "i = b.find(b'PK\\x01\\x02'); b[i + 16] ^= 0xFF\n"
                                    "open(sys.argv[1], 'wb').write(bytes(b))\n"
                                  : "");
    ASSERT_EQ(RunPython(py, Q(UP(dir, name)), &out), 0) << out;
    zip->SetFileName(W(dir.File(name)));
  }
};

TEST_F(Extract, CreateDirsOffPutsEverythingInTheBaseFolder) {
  PyZip("a.zip", "    z.writestr('sub/deep/a.txt', 'A')\n    z.writestr('b.txt', 'B')\n");
  zip->Options()->CreateDirs = false;
  zip->OpenArchive(2);
  zip->ExtractFiles(L"*", 0x28BF, L"");
  EXPECT_EQ(ReadFileBytes(dir.File("out\\a.txt")), "A");
  EXPECT_EQ(ReadFileBytes(dir.File("out\\b.txt")), "B");
  EXPECT_EQ(GetFileAttributesA(dir.File("out\\sub").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(Extract, ReadOnlyTargetsAndOverwriteModes) {
  PyZip("a.zip", "    z.writestr(zipfile.ZipInfo('r.txt', (2020, 1, 2, 3, 4, 6)), 'new')\n");
  WriteFileBytes(dir.File("out\\r.txt"), "old");
  SetFileAttributesA(dir.File("out\\r.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  zip->OpenArchive(2);
  zip->Options()->ReplaceReadOnly = false;
  zip->ExtractFiles(L"r.txt", 0x28BF, L"");
  EXPECT_EQ(ReadFileBytes(dir.File("out\\r.txt")), "old");
  zip->Options()->ReplaceReadOnly = true;
  zip->Options()->OverwriteMode = omNever;
  zip->ExtractFiles(L"r.txt", 0x28BF, L"");
  EXPECT_EQ(ReadFileBytes(dir.File("out\\r.txt")), "old");
  zip->Options()->OverwriteMode = omIfNewer;  // the item (2020) is not newer than the file of today
  zip->ExtractFiles(L"r.txt", 0x28BF, L"");
  EXPECT_EQ(ReadFileBytes(dir.File("out\\r.txt")), "old");
  zip->Options()->OverwriteMode = omAlways;
  zip->ExtractFiles(L"r.txt", 0x28BF, L"");
  EXPECT_EQ(ReadFileBytes(dir.File("out\\r.txt")), "new");
  // The file carries the item's DOS date and time (local time).
  HANDLE h = CreateFileA(dir.File("out\\r.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  FILETIME ft, local;
  GetFileTime(h, nullptr, nullptr, &ft);
  CloseHandle(h);
  FileTimeToLocalFileTime(&ft, &local);
  WORD date, time;
  FileTimeToDosDateTime(&local, &date, &time);
  EXPECT_EQ(date, ((2020 - 1980) << 9) | (1 << 5) | 2);
  EXPECT_EQ(time, (3 << 11) | (4 << 5) | 3);
  EXPECT_TRUE(failures.Natives.empty());
}

TEST_F(Extract, ABadCrcIsReportedAndLeavesExistingFilesAlone) {
  PyZip("bad.zip", "    z.writestr('x.txt', 'payload ' * 100)\n    z.writestr('y.txt', 'fine')\n", true);
  WriteFileBytes(dir.File("out\\x.txt"), "precious");
  zip->OpenArchive(2);
  zip->ExtractFiles(L"*", 0x28BF, L"");  // answered Ignore: goes on
  EXPECT_EQ(failures.Natives, std::vector<int>{8});
  EXPECT_EQ(ReadFileBytes(dir.File("out\\x.txt")), "precious");
  EXPECT_EQ(ReadFileBytes(dir.File("out\\y.txt")), "fine");
  DeleteFileA(dir.File("out\\x.txt").c_str());
  zip->ExtractFiles(L"x.txt", 0x28BF, L"");
  EXPECT_EQ(GetFileAttributesA(dir.File("out\\x.txt").c_str()), INVALID_FILE_ATTRIBUTES);
  // Abort: the operation raises the item's error.
  failures.Answer = fxaAbort;
  try {
    zip->ExtractFiles(L"x.txt", 0x28BF, L"");
    FAIL();
  } catch (const EZEException& e) {
    EXPECT_EQ(e.NativeError(), 8);
  }
  try {
    zip->TestFiles(L"*", 0x28BF, L"");
    FAIL();
  } catch (const EZEException& e) {
    EXPECT_EQ(e.NativeError(), 8);
  }
  zip->SetExtractCorruptedFiles(true);
  zip->ExtractFiles(L"x.txt", 0x28BF, L"");
  EXPECT_EQ(ReadFileBytes(dir.File("out\\x.txt")).size(), 800u);
}

TEST_F(Extract, NamesThatLeaveTheBaseFolderAreRefused) {
  PyZip("evil.zip",
        "    z.writestr('../escape1.txt', 'e')\n"
        "    z.writestr('ok/../../escape2.txt', 'e')\n"
        "    z.writestr('/abs.txt', 'e')\n"
        "    z.writestr('C:/drive.txt', 'e')\n"
        "    z.writestr('..\\\\escape3.txt', 'e')\n"
        "    z.writestr('sub/.. /escape4.txt', 'e')\n"
        "    z.writestr('good.txt', 'g')\n");
  zip->OpenArchive(2);
  zip->ExtractFiles(L"*", 0x28BF, L"");
  EXPECT_EQ(failures.Natives, std::vector<int>(6, 19));
  EXPECT_EQ(ReadFileBytes(dir.File("out\\good.txt")), "g");
  for (const char* f : {"escape1.txt", "escape2.txt", "escape3.txt", "escape4.txt", "abs.txt", "drive.txt"})
    EXPECT_EQ(GetFileAttributesA(dir.File(f).c_str()), INVALID_FILE_ATTRIBUTES) << f;
  EXPECT_EQ(GetFileAttributesA("C:\\abs.txt"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetFileAttributesA("C:\\drive.txt"), INVALID_FILE_ATTRIBUTES);
  // The same through the program's road: a renamed list item.
  WriteFileBytes(dir.File("list.bin"), "list");
  std::unique_ptr<TZipEngine> z(NewListEngine());
  z->SetBaseDir(W(dir.Path()));
  z->SetFileName(W(dir.File("l.vq")));
  z->OpenArchive(fmCreate);
  z->AddFiles(W(dir.File("list.bin")), 0x28BF, L"");
  z->RenameFile(L"list.bin", L"..\\..\\x");
  z->SetBaseDir(W(dir.File("out\\")));
  Failures f2;
  f2.Answer = fxaAbort;
  z->OnProcessFileFailure = TZEProcessFileFailureEvent(&f2, &Failures::On);
  EXPECT_THROW(z->ExtractFiles(L"x", 0x28BF, L""), EZEException);
  EXPECT_EQ(f2.Natives, std::vector<int>{19});
}

TEST_F(Extract, UnixAttributesAreNotPassedToWindows) {
  std::string out;
  ASSERT_EQ(RunUnix("cd " + Q(UP(dir, "")) + " && echo hi > u.txt && chmod 640 u.txt && zip -q u.zip u.txt", &out), 0)
      << out;
  zip->SetFileName(W(dir.File("u.zip")));
  zip->OpenArchive(2);
  EXPECT_GT(zip->DirManager()->Directory().GetItemPtr(0).Header.ExternalAttributes, 0xFFFFu);
  zip->ExtractFiles(L"*", 0x28BF, L"");
  const DWORD a = GetFileAttributesA(dir.File("out\\u.txt").c_str());
  EXPECT_NE(a, INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(a & ~(FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NORMAL), 0u);
}

TEST_F(Extract, ItemsIntoStreamsBuffersAndStrings) {
  PyZip("s.zip", "    z.writestr('dir/Name.txt', 'stream content')\n");
  zip->OpenArchive(2);
  AnsiString text;
  zip->ExtractToString(L"dir\\name.txt", text);
  EXPECT_EQ(text, "stream content");
  char buf[6] = {};
  zip->ExtractToBuffer(L"dir/Name.txt", buf, 6);
  EXPECT_EQ(std::string(buf, 6), "stream");
  try {
    zip->ExtractToString(L"missing", text);
    FAIL();
  } catch (const EZEException& e) {
    EXPECT_EQ(e.NativeError(), 15);
  }
  // Adding from a window of a caller's stream takes exactly those bytes.
  TMemoryStream m;
  m.WriteBuffer("0123456789", 10);
  zip->AddFromStream(L"window", &m, false, 3, 4, 0x20, 0);
  zip->AddFromStream(L"copied", &m, true, 5, 2, 0x20, 0);
  zip->ExtractToString(L"window", text);
  EXPECT_EQ(text, "3456");
  zip->ExtractToString(L"copied", text);
  EXPECT_EQ(text, "56");
}

TEST_F(Extract, FolderPathsLongerThan260CharactersNeverOverrunABuffer) {
  // Ten nested folders of 24 letters each, below a base folder that is already
  // deep: well past 260 characters, both for new files and for replacing.
  std::string folders;
  for (int i = 0; i < 10; ++i) folders += std::string(24, static_cast<char>('a' + i)) + "/";
  PyZip("deep.zip", "    z.writestr('" + folders + "f.txt', 'deep')\n    z.writestr('" + folders + "g.txt', 'deeper')\n");
  const WideString base = W(dir.File("out"));
  ASSERT_GT(base.Length() + static_cast<int>(folders.size()), 260);
  WideString target = base + L"\\" + ZEReplaceChar(W(folders), L'/', L'\\');
  zip->OpenArchive(2);
  const struct {
    const char* what;
    bool existing;
  } cases[] = {{"new files", false}, {"replacing files", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.existing) WriteWide(target + L"f.txt", "old");
    failures.Natives.clear();
    zip->ExtractFiles(L"*", 0x28BF, L"");
    // Either the system takes the path, or the item fails with the engine's
    // own error; never a crash or a foreign exception.
    if (failures.Natives.empty()) {
      EXPECT_EQ(ReadWide(target + L"f.txt"), "deep");
      EXPECT_EQ(ReadWide(target + L"g.txt"), "deeper");
    } else {
      for (int n : failures.Natives) EXPECT_TRUE(n == 19 || n == 20) << n;
    }
  }
  // No temporary file is left beside the targets.
  EXPECT_EQ(CountFiles((target + L"FC*").str()), 0);
}

TEST_F(Extract, NewFilesAreWrittenInPlaceAndRemovedWhenTheItemFails) {
  PyZip("bad.zip", "    z.writestr('x.txt', 'payload ' * 100)\n    z.writestr('y.txt', 'fine')\n", true);
  const struct {
    const char* what;
    const char* existing;  // content of out\x.txt before, null: none
    const char* after;     // null: no file
  } cases[] = {{"no file before", nullptr, nullptr}, {"a file before", "precious", "precious"}};
  zip->OpenArchive(2);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    DeleteFileA(dir.File("out\\x.txt").c_str());
    if (c.existing) WriteFileBytes(dir.File("out\\x.txt"), c.existing);
    failures.Natives.clear();
    zip->ExtractFiles(L"*", 0x28BF, L"");
    EXPECT_EQ(failures.Natives, std::vector<int>{8});
    if (c.after)
      EXPECT_EQ(ReadFileBytes(dir.File("out\\x.txt")), c.after);
    else
      EXPECT_EQ(GetFileAttributesA(dir.File("out\\x.txt").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(ReadFileBytes(dir.File("out\\y.txt")), "fine");
    EXPECT_EQ(CountFiles(dir.File("out\\*.tmp")), 0);
  }
}

TEST_F(Extract, TensOfThousandsOfFolderLevelsGiveTheEnginesError) {
  // The folder creation is a loop: no stack overflow, and a path no system
  // takes ends in the numbered error for the folder.
  PyZip("levels.zip", "    z.writestr('a/' * 20000 + 'f.txt', 'x')\n    z.writestr('ok.txt', 'fine')\n");
  zip->OpenArchive(2);
  zip->ExtractFiles(L"*", 0x28BF, L"");
  EXPECT_EQ(failures.Natives, std::vector<int>{20});
  EXPECT_EQ(ReadFileBytes(dir.File("out\\ok.txt")), "fine");
}

}  // namespace
