// Adding files: the stored-name rules, folders, overwrite rules, stored items
// and the archive that never adds itself.
#include <gtest/gtest.h>

#include <memory>

#include "UcClasses.h"
#include "UcSysUtils.h"
#include "ZipTestUtil.h"

namespace {

TEST(StoredNames, TheRulesOfEachStorePathMode) {
  EXPECT_EQ(MakeStoredName(L"C:\\data\\sub\\a.txt", L"C:\\data", spRelativePath, L"C:\\"), WideString(L"sub/a.txt"));
  EXPECT_EQ(MakeStoredName(L"C:\\data\\sub\\a.txt", L"C:\\data", spNoPath, L"C:\\"), WideString(L"a.txt"));
  EXPECT_EQ(MakeStoredName(L"C:\\data\\sub\\a.txt", L"C:\\data", spFullPath, L"C:\\"), WideString(L"data/sub/a.txt"));
  EXPECT_EQ(MakeStoredName(L"C:\\data\\sub\\a.txt", L"C:\\data", spFullPathWithDrive, L"C:\\"),
            WideString(L"C:/data/sub/a.txt"));
  // Outside the base: the full path without the drive.
  EXPECT_EQ(MakeStoredName(L"C:\\other\\b.txt", L"C:\\data", spRelativePath, L"C:\\"), WideString(L"other/b.txt"));
  EXPECT_EQ(MakeStoredName(L"\\\\server\\share\\f.txt", L"C:\\data", spFullPath, L"C:\\"), WideString(L"share/f.txt"));
  // A relative name is taken below the base; a trailing separator and dot go.
  EXPECT_EQ(MakeStoredName(L"sub\\x\\", L"C:\\data", spRelativePath, L"C:\\"), WideString(L"sub/x"));
  EXPECT_EQ(MakeStoredName(L"C:\\data\\y.", L"C:\\data", spRelativePath, L"C:\\"), WideString(L"y"));
  EXPECT_EQ(ExpandWithBaseDir(L"C:\\data", L"a\\..\\b", L"C:\\"), WideString(L"C:\\data\\b"));
  EXPECT_EQ(ExpandWithBaseDir(L"", L"Z:\\x", L"C:\\"), WideString(L"Z:\\x"));
  WideString full;
  bool plain;
  GetFullMask(L"*.txt", L"C:\\data", full, plain, L"C:\\");
  EXPECT_EQ(full, WideString(L"C:\\data\\*.txt"));
  EXPECT_TRUE(plain);
  GetFullMask(L".\\*.txt", L"C:\\data", full, plain, L"C:\\");
  EXPECT_EQ(full, WideString(L"C:\\data\\*.txt"));
  EXPECT_FALSE(plain);
  GetFullMask(L"D:\\x\\*", L"C:\\data", full, plain, L"C:\\");
  EXPECT_EQ(full, WideString(L"D:\\x\\*"));
  GetFullMask(L"", L"C:\\data", full, plain, L"C:\\");
  EXPECT_TRUE(full.IsEmpty());
}

struct Add : ::testing::Test {
  TempDir dir;
  std::unique_ptr<TZipEngine> zip{new TZipEngine(nullptr)};
  TZEDirArray& D() { return zip->DirManager()->Directory(); }
  void SetUp() override {
    CreateDirectoryA(dir.File("data").c_str(), nullptr);
    CreateDirectoryA(dir.File("data\\sub").c_str(), nullptr);
    WriteFileBytes(dir.File("data\\sub\\a.txt"), "aaa");
    WriteFileBytes(dir.File("data\\b.log"), std::string(20000, 'b'));
    zip->SetBaseDir(W(dir.File("data")));
    zip->SetFileName(W(dir.File("data\\self.zip")));
    zip->OpenArchive(fmCreate);
  }
};

TEST_F(Add, AFolderWithItsContentsAndNeverTheArchiveItself) {
  zip->AddFiles(W(dir.File("data\\*")), 0x28BF | 0x10, L"");
  std::vector<std::wstring> names;
  for (int i = 0; i < D().GetCount(); ++i) names.push_back(D().GetItemPtr(i).StoredName.str());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::wstring>{L"b.log", L"sub/", L"sub/a.txt"}));
  int folder;
  ASSERT_TRUE(D().FileExists(L"sub/", folder));
  const TDirItem& f = D().GetItemPtr(folder);
  EXPECT_EQ(f.Header.Method, 0);
  EXPECT_EQ(f.Header.Crc32, 0u);
  EXPECT_EQ(f.Header.Flags, 2);
  EXPECT_NE(f.Header.ExternalAttributes & 0x10, 0u);
  zip->CloseArchive();
  std::string out;
  EXPECT_EQ(RunUnix("unzip -t " + Q(UP(dir, "data\\self.zip")), &out), 0) << out;
}

TEST_F(Add, RecurseFindsFilesBelowAndExclusionsLeaveThemOut) {
  zip->AddFiles(L"*.txt", 0x28BF, L"");
  ASSERT_EQ(D().GetCount(), 1);
  EXPECT_EQ(D().GetItemPtr(0).StoredName, WideString(L"sub/a.txt"));
  // 0x28BF holds the folder bit: the folder comes too.
  zip->AddFiles(L"*", 0x28BF, L"*.log");
  EXPECT_EQ(D().GetCount(), 2);
  zip->Options()->Recurse = false;
  zip->AddFiles(L"*", 0x28BF & ~0x10, L"");
  EXPECT_EQ(D().GetCount(), 3);  // b.log; the archive itself is left out
  int index;
  EXPECT_TRUE(D().FileExists(L"b.log", index));
}

TEST_F(Add, SameNameTwiceFollowsTheOverwriteMode) {
  zip->BeginUpdate();
  zip->AddFiles(W(dir.File("data\\b.log")), 0x28BF, L"");
  WriteFileBytes(dir.File("b.log"), "other");
  zip->SetBaseDir(W(dir.Path()));
  zip->Options()->OverwriteMode = omNever;
  zip->AddFiles(W(dir.File("b.log")), 0x28BF, L"");
  EXPECT_EQ(D().GetCount(), 1);
  EXPECT_EQ(D().GetItemPtr(0).SourcePath, W(dir.File("data\\b.log")));
  zip->Options()->OverwriteMode = omIfNewer;  // same time stamp: not newer
  HANDLE a = CreateFileA(dir.File("data\\b.log").c_str(), GENERIC_READ, 7, nullptr, OPEN_EXISTING, 0, nullptr);
  HANDLE b = CreateFileA(dir.File("b.log").c_str(), FILE_WRITE_ATTRIBUTES, 7, nullptr, OPEN_EXISTING, 0, nullptr);
  FILETIME t;
  GetFileTime(a, nullptr, nullptr, &t);
  SetFileTime(b, nullptr, nullptr, &t);
  CloseHandle(a);
  CloseHandle(b);
  zip->AddFiles(W(dir.File("b.log")), 0x28BF, L"");
  EXPECT_EQ(D().GetItemPtr(0).SourcePath, W(dir.File("data\\b.log")));
  zip->Options()->OverwriteMode = omAlways;
  zip->AddFiles(W(dir.File("b.log")), 0x28BF, L"");
  EXPECT_EQ(D().GetCount(), 1);
  EXPECT_EQ(D().GetItemPtr(0).SourcePath, W(dir.File("b.log")));
  EXPECT_EQ(D().GetItemPtr(0).PendingOp, poUpdate);
  zip->EndUpdate();
  AnsiString text;
  zip->ExtractToString(L"b.log", text);
  EXPECT_EQ(text, "other");
}

TEST_F(Add, NoCompressionMasksStoreTheData) {
  TUcStringList masks;
  masks.Add(L"*.log");
  zip->SetNoCompressionMasks(&masks);
  zip->AddFiles(W(dir.File("data\\b.log")), 0x28BF, L"");
  const TDirItem& item = D().GetItemPtr(0);
  EXPECT_EQ(item.Header.Method, 0);
  EXPECT_EQ(item.Header.CompressedSize, 20000u);
  zip->TestFiles(L"*", 0x28BF, L"");
}

TEST_F(Add, SizesThatNeedZip64AreRefusedWhenItIsDisabled) {
  // A stream item that would need ZIP64 values: with ZIP64 disabled the
  // rebuild refuses it before writing anything.
  struct Huge : TStream {
    int32_t Read(void*, int32_t) override { return 0; }
    int32_t Write(const void*, int32_t) override { return 0; }
    using TStream::Seek;
    int64_t Seek(int64_t, TSeekOrigin) override { return 0; }
    int64_t GetSize() override { return 0x100000000LL; }
  } huge;
  struct Abort {
    static void On(void*, TObject*, const WideString&, TZEProcessOperation, int, int, const WideString&,
                   TZEAction& a) {
      a = fxaAbort;
    }
  };
  zip->OnProcessFileFailure = TZEProcessFileFailureEvent(nullptr, &Abort::On);
  try {
    zip->AddFromStream(L"huge", &huge, false, 0, 0, 0x20, 0);
    FAIL();
  } catch (const EZEException& e) {
    EXPECT_EQ(e.NativeError(), 43);
  }
  EXPECT_EQ(D().GetCount(), 0);
}

}  // namespace

namespace {

TEST_F(Add, UpdateFilesTakesNewerDiskFilesAndChangeFilesEditsRecords) {
  zip->AddFiles(W(dir.File("data\\*")), 0x28BF & ~0x10, L"");
  WriteFileBytes(dir.File("data\\b.log"), "changed on disk");
  zip->Options()->OverwriteMode = omAlways;
  zip->UpdateFiles(L"b.log", 0x28BF, L"");
  AnsiString text;
  zip->ExtractToString(L"b.log", text);
  EXPECT_EQ(text, "changed on disk");
  zip->ChangeFilesAttr(L"b.log", 0x21);
  zip->ChangeFilesComment(L"sub\\a.txt", "a comment");
  zip->ChangeFilesIntAttr(L"sub\\a.txt", 1);
  zip->CloseArchive();
  std::string out;
  const char* py =
      "import sys, zipfile\n"
      "z = zipfile.ZipFile(sys.argv[1])\n"
      "assert z.testzip() is None\n"
      "assert z.getinfo('b.log').external_attr == 0x21\n"
      "a = z.getinfo('sub/a.txt')\n"
      "assert a.comment == b'a comment' and a.internal_attr == 1\n"
      "assert z.read('b.log') == b'changed on disk'\n";
  EXPECT_EQ(RunPython(py, Q(UP(dir, "data\\self.zip")), &out), 0) << out;
}

TEST_F(Add, MovingAFolderRemovesTheTreeOnceItIsArchived) {
  CreateDirectoryA(dir.File("tree").c_str(), nullptr);
  CreateDirectoryA(dir.File("tree\\inner").c_str(), nullptr);
  WriteFileBytes(dir.File("tree\\inner\\f.txt"), "f");
  zip->SetBaseDir(W(dir.Path()));
  zip->MoveFiles(W(dir.File("tree\\*")), 0x28BF | 0x10, L"");
  EXPECT_EQ(GetFileAttributesA(dir.File("tree\\inner").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(GetFileAttributesA(dir.File("tree").c_str()), INVALID_FILE_ATTRIBUTES);  // not an item
  AnsiString text;
  zip->ExtractToString(L"tree\\inner\\f.txt", text);
  EXPECT_EQ(text, "f");
}

}  // namespace
