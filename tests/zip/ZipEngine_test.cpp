// The archive component: properties, open and close, transactions, counting,
// finding, renaming, the numbered refusals and the process-wide lock.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "UcSysUtils.h"
#include "ZECodec.h"
#include "ZipTestUtil.h"

namespace {

struct Engine : ::testing::Test {
  TempDir dir;
  std::unique_ptr<TZipEngine> zip{new TZipEngine(nullptr)};
  void SetUp() override {
    zip->SetName("ZipEngine");
    zip->SetBaseDir(W(dir.Path()));
  }
  void Make(const std::string& name, const std::vector<std::pair<std::string, std::string>>& files) {
    zip->SetFileName(W(dir.File(name)));
    zip->OpenArchive(fmCreate);
    zip->BeginUpdate();
    for (auto& f : files) zip->AddFromString(W(f.first), f.second, 0x20, 0);
    zip->EndUpdate();
    zip->CloseArchive();
  }
};

TEST_F(Engine, ConstructionDefaultsAndModeMapping) {
  EXPECT_EQ(zip->CompressionMode(), 1);
  EXPECT_EQ(zip->CompressionLevel(), TZECompressionLevel::clFastest);
  EXPECT_EQ(zip->CompressionMethod(), 8);  // not the base class's 0xFFFF
  EXPECT_EQ(zip->Zip64Mode(), zmDisabled);
  EXPECT_TRUE(zip->StandardSignatures());
  EXPECT_TRUE(zip->UnicodeFilenames());
  EXPECT_TRUE(zip->OpenTolerance());
  EXPECT_EQ(zip->SpanningMode(), smNone);
  EXPECT_EQ(zip->EncryptionMethod(), caPkzipClassic);
  EXPECT_FALSE(zip->ExtractCorruptedFiles());
  EXPECT_EQ(zip->Options()->SearchAttr, 0x28BF);
  EXPECT_EQ(zip->Options()->OverwriteMode, omAlways);
  TZEBaseArchiver base(nullptr);
  EXPECT_EQ(base.Zip64Mode(), zmAuto);
  EXPECT_EQ(base.CompressionMethod(), 0xFFFF);

  zip->SetCompressionLevel(TZECompressionLevel::clNormal);
  EXPECT_EQ(zip->CompressionMode(), 6);
  EXPECT_EQ(zip->CompressionMethod(), 8);
  zip->SetCompressionMode(0);
  EXPECT_EQ(zip->CompressionLevel(), TZECompressionLevel::clNone);
  EXPECT_EQ(zip->CompressionMethod(), 0);
  for (int m = 1; m <= 9; ++m) {
    zip->SetCompressionMode(m);
    EXPECT_EQ(zip->CompressionLevel(), ModeToLevel(m));
  }
  try {
    zip->SetCompressionMode(10);
    FAIL();
  } catch (const EZEException& e) {
    EXPECT_EQ(e.NativeError(), 5);
    EXPECT_EQ(e.WideMessage(),
              WideString(L"ZipEngine: Invalid compression mode. Mode must be in [0-9] range - Native error: 00005"));
  }
  EXPECT_EQ(zip->CompressionMode(), 9);
  EXPECT_EQ(zip->CurrentVersion(), WideString(L"5.00 "));
  zip->SetCurrentVersion(L"9.99");
  EXPECT_EQ(zip->CurrentVersion(), WideString(L"5.00 "));
}

TEST_F(Engine, PasswordFirstSetResetsTheMethod) {
  zip->SetEncryptionMethod(caAES_256);
  zip->SetPassword("p");
  EXPECT_EQ(zip->EncryptionMethod(), caPkzipClassic);
  zip->SetEncryptionMethod(caAES_256);
  zip->SetPassword("q");
  EXPECT_EQ(zip->EncryptionMethod(), caAES_256);
  EXPECT_TRUE(zip->Encrypted());
}

TEST_F(Engine, ClosedArchiveAndFileNameRefusals) {
  EXPECT_EQ(NativeOf([&] { zip->GetFileCount(); }), 13);
  EXPECT_EQ(NativeOf([&] { zip->GetArchiveSize(); }), 13);
  EXPECT_EQ(NativeOf([&] { zip->AddFiles(L"*", 0x28BF, L""); }), 13);
  EXPECT_EQ(NativeOf([&] { zip->ExtractFiles(L"*", 0x28BF, L""); }), 13);
  EXPECT_EQ(NativeOf([&] { zip->RenameFile(L"a", L"b"); }), 13);
  EXPECT_EQ(NativeOf([&] { zip->DeleteFiles(L"*", 0x28BF, L""); }), 13);
  EXPECT_EQ(NativeOf([&] { zip->SetFileComment("c"); }), 13);
  TZEArchiveItem item;
  EXPECT_EQ(NativeOf([&] { zip->FindFirst(L"*", item, 63, L""); }), 13);
  zip->SetFileName(L"");
  EXPECT_EQ(NativeOf([&] { zip->OpenArchive(); }), 9);
  EXPECT_EQ(NativeOf([&] { zip->OpenArchive(2); }), 10);
  zip->SetFileName(W(dir.File("missing.vq")));
  try {
    zip->OpenArchive(2);
    FAIL();
  } catch (const EZEException& e) {
    EXPECT_EQ(e.NativeError(), 12);
    EXPECT_NE(e.WideMessage().Pos(W(dir.File("missing.vq"))), 0);
  }
  EXPECT_FALSE(zip->Active());
  EXPECT_FALSE(zip->Exists());
}

TEST_F(Engine, OpenModesAndReadOnlyArchives) {
  Make("a.zip", {{"x.txt", "x"}});
  zip->OpenArchive();
  EXPECT_TRUE(zip->Active());
  zip->BeginUpdate();  // writable: 0x22
  zip->CancelUpdate();
  zip->CloseArchive();
  // Another process keeps the file open for reading only: the trial open for
  // read-write with deny-write fails, and the archive opens read-only.
  HANDLE h = CreateFileA(dir.File("a.zip").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  zip->OpenArchive();
  EXPECT_EQ(NativeOf([&] { zip->BeginUpdate(); }), 32);
  EXPECT_EQ(zip->UpdateCount(), 0);
  EXPECT_EQ(zip->GetFileCount(), 1);
  zip->CloseArchive();
  CloseHandle(h);
  // Missing file: created.
  zip->SetFileName(W(dir.File("new.zip")));
  zip->OpenArchive();
  zip->CloseArchive();
  EXPECT_EQ(ReadFileBytes(dir.File("new.zip")).size(), 22u);
}

TEST_F(Engine, FailedOpenKeepsNoHandleOnTheFile) {
  WriteFileBytes(dir.File("bad.vq"), std::string(100, 'x'));
  zip->SetFileName(W(dir.File("bad.vq")));
  EXPECT_EQ(NativeOf([&] { zip->OpenArchive(2); }), 35);
  EXPECT_FALSE(zip->Active());
  // Mode 2 opens without sharing: had the stream stayed, this would fail.
  HANDLE h = CreateFileA(dir.File("bad.vq").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  // Tolerance off: a missing end record is reported before anything is read.
  zip->SetOpenTolerance(false);
  EXPECT_EQ(NativeOf([&] { zip->OpenArchive(2); }), 48);
}

TEST_F(Engine, FileCountLeavesFoldersOutButHiddenFoldersIn) {
  zip->SetFileName(W(dir.File("c.zip")));
  zip->OpenArchive(fmCreate);
  EXPECT_EQ(zip->GetFileCount(), 0);
  zip->BeginUpdate();
  zip->AddFromString(L"dir\\", "", 0x10, 0);
  zip->AddFromString(L"dir\\a.txt", "a", 0x20, 0);
  zip->AddFromString(L"hidden\\", "", 0x12, 0);
  zip->EndUpdate();
  EXPECT_EQ(zip->DirManager()->Directory().GetItemPtr(0).StoredName, WideString(L"dir"));
  zip->CloseArchive();
  zip->OpenArchive(2);
  // A hidden folder is not found with search attributes 0x10, so it counts.
  EXPECT_EQ(zip->GetFileCount(), 2);
  EXPECT_TRUE(zip->Options()->Recurse);
}

TEST_F(Engine, NestedTransactionsRebuildOnce) {
  Make("n.zip", {{"a", "1"}});
  zip->OpenArchive(2);
  zip->EndUpdate();  // without BeginUpdate: nothing
  EXPECT_EQ(zip->UpdateCount(), 0);
  int starts = 0;
  struct Counter {
    static void Progress(void* data, TObject*, double, TZEProcessOperation, TZEProgressPhase phase, bool&) {
      if (phase == ppStart) ++*static_cast<int*>(data);
    }
  };
  zip->OnOverallProgress = TZEProgressEvent(&starts, &Counter::Progress);
  zip->BeginUpdate();
  zip->BeginUpdate();
  zip->AddFromString(L"b", "2", 0x20, 0);
  zip->EndUpdate();
  EXPECT_EQ(starts, 0);
  EXPECT_TRUE(zip->InUpdate());
  zip->AddFromString(L"c", "3", 0x20, 0);  // its own inner transaction
  EXPECT_EQ(starts, 0);
  zip->EndUpdate();
  EXPECT_EQ(starts, 1);
  EXPECT_EQ(zip->GetFileCount(), 3);
}

TEST_F(Engine, ExtractAndTestRefuseToRunInsideATransaction) {
  Make("t.zip", {{"a", "1"}});
  zip->OpenArchive(2);
  zip->BeginUpdate();
  EXPECT_EQ(NativeOf([&] { zip->ExtractFiles(L"*", 0x28BF, L""); }), 26);
  EXPECT_EQ(NativeOf([&] { zip->TestFiles(L"*", 0x28BF, L""); }), 26);
  zip->CancelUpdate();
  EXPECT_EQ(NativeOf([&] { zip->RenameFile(L"zzz", L"b"); }), 30);
  EXPECT_EQ(NativeOf([&] { zip->ChangeFilesAttr(L"zzz", 1); }), 31);
  EXPECT_EQ(NativeOf([&] { zip->ChangeFilesIntAttr(L"zzz", 1); }), 38);
  EXPECT_EQ(NativeOf([&] { zip->ChangeFilesComment(L"zzz", "c"); }), 31);
  EXPECT_EQ(zip->UpdateCount(), 0);
  EXPECT_THROW(zip->SetSpanningMode(smSplitting), Exception);
}

TEST_F(Engine, RenameTouchesOnlyTheNamedPart) {
  Make("r.zip", {{"Users/alice/lists/a", "1"}, {"old/", ""}, {"old/x_old/y", "2"}, {"a", "3"}});
  zip->OpenArchive(2);
  zip->RenameFile(L"a", L"~tmp~a");
  TZEDirArray& d = zip->DirManager()->Directory();
  EXPECT_EQ(d.GetItemPtr(0).StoredName, WideString(L"Users/alice/lists/~tmp~a"));
  EXPECT_EQ(d.GetItemPtr(3).StoredName, WideString(L"a"));
  zip->RenameFile(L"Users/alice/lists/~tmp~a", L"Users/alice/lists/a");
  EXPECT_EQ(d.GetItemPtr(0).StoredName, WideString(L"Users/alice/lists/a"));
  // The first item whose name or last part matches is the one renamed.
  zip->RenameFile(L"a", L"b");
  EXPECT_EQ(d.GetItemPtr(0).StoredName, WideString(L"Users/alice/lists/b"));
  EXPECT_EQ(d.GetItemPtr(3).StoredName, WideString(L"a"));
  zip->RenameFile(L"old", L"new");
  EXPECT_EQ(d.GetItemPtr(1).StoredName, WideString(L"new/"));
  EXPECT_EQ(d.GetItemPtr(2).StoredName, WideString(L"new/x_old/y"));
  zip->CloseArchive();
  std::string out;
  const char* py =
      "import sys, zipfile\n"
      "z = zipfile.ZipFile(sys.argv[1])\n"
      "assert z.testzip() is None\n"
      "print(sorted(z.namelist()))\n"
      "assert sorted(z.namelist()) == ['Users/alice/lists/b', 'a', 'new/', 'new/x_old/y'], z.namelist()\n"
      "assert z.read('new/x_old/y') == b'2'\n";
  EXPECT_EQ(RunPython(py, Q(UP(dir, "r.zip")), &out), 0) << out;
}

TEST_F(Engine, FindFirstWithADriveMaskSearchesStoredNames) {
  Make("f.zip", {{"data/x", "1"}, {"data/y.txt", "2"}});
  zip->OpenArchive(2);
  TZEArchiveItem item;
  ASSERT_TRUE(zip->FindFirst(L"C:\\data\\x", item, 0x28BF, L""));
  EXPECT_EQ(item.FileName, WideString(L"x"));
  EXPECT_EQ(item.FilePath, WideString(L"data\\"));
  ASSERT_TRUE(zip->FindFirst(L"*.TXT", item, 0x28BF, L""));
  EXPECT_EQ(item.FileName, WideString(L"y.txt"));
  EXPECT_FALSE(zip->FindNext(item));
  EXPECT_EQ(zip->GetFileCendralDirItemNo(L"DATA/Y.TXT"), 1);
  EXPECT_EQ(zip->GetFileCendralDirItemNo(L"none"), -1);
  // A mask far beyond 260 characters is fine.
  EXPECT_FALSE(zip->FindFirst(WideString(std::wstring(5000, L'q')), item, 63, L""));
  zip->Options()->Recurse = false;
  EXPECT_FALSE(zip->FindFirst(L"x", item, 63, L""));
  EXPECT_TRUE(zip->FindFirst(L"data\\x", item, 63, L""));
}

TEST_F(Engine, CloseCommitsAnOpenTransaction) {
  Make("o.zip", {{"a", "1"}});
  zip->OpenArchive(2);
  zip->BeginUpdate();
  zip->AddFromString(L"b", "2", 0x20, 0);
  zip->CloseArchive();
  EXPECT_TRUE(zip->LastCloseError().IsEmpty());
  zip->OpenArchive(2);
  EXPECT_EQ(zip->GetFileCount(), 2);
}

TEST_F(Engine, TheLockIsReentrantAndReleasedByExceptions) {
  Make("l.zip", {{"a", "1"}});
  zip->OpenArchive(2);
  // A handler that runs another operation on the same thread, lock held.
  struct Nested {
    static void Confirm(void* data, TObject*, const WideString&, TZEProcessOperation, bool& confirm) {
      auto* z = static_cast<TZipEngine*>(data);
      z->Lock();
      confirm = z->GetFileCount() == 1;
      z->Unlock();
    }
  };
  zip->OnConfirmProcessFile = TZEConfirmProcessFileEvent(zip.get(), &Nested::Confirm);
  zip->TestFiles(L"*", 0x28BF, L"");
  zip->OnConfirmProcessFile.Clear();
  // A failed add leaves the lock free for another thread.
  struct Failing {
    static void Confirm(void*, TObject*, const WideString&, TZEProcessOperation, bool&) { throw EAbort("stop"); }
  };
  WriteFileBytes(dir.File("src.txt"), "s");
  zip->OnConfirmProcessFile = TZEConfirmProcessFileEvent(nullptr, &Failing::Confirm);
  EXPECT_THROW(zip->AddFiles(W(dir.File("src.txt")), 0x28BF, L""), EAbort);
  zip->OnConfirmProcessFile.Clear();
  EXPECT_EQ(zip->UpdateCount(), 0);
  std::atomic<int> got{0};
  std::thread t([&] {
    TZELockGuard g;
    got = 1;
  });
  t.join();
  EXPECT_EQ(got.load(), 1);
}

}  // namespace
