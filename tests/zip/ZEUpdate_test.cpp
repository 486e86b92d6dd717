// The rebuild: what stays, what moves, and that every failure, cancel and
// abort leaves the archive's bytes as they were, no temporary file behind,
// and an exception for the caller.
#include <gtest/gtest.h>

#include <memory>

#include "UcSysUtils.h"
#include "UcWideStreams.h"
#include "ZipTestUtil.h"

namespace {

// Answers of the failure question, in turn; the last one repeats.
struct Answers {
  explicit Answers(std::vector<TZEAction> list) : List(std::move(list)) {}
  std::vector<TZEAction> List;
  size_t Next = 0;
  std::vector<int> Natives;
  static void OnFailure(void* data, TObject*, const WideString&, TZEProcessOperation, int native, int,
                        const WideString&, TZEAction& action) {
    auto* a = static_cast<Answers*>(data);
    a->Natives.push_back(native);
    action = a->List[std::min(a->Next++, a->List.size() - 1)];
  }
};

struct Update : ::testing::Test {
  TempDir dir, temp;
  std::unique_ptr<TZipEngine> zip{new TZipEngine(nullptr)};
  std::string before;

  void SetUp() override {
    zip->SetBaseDir(W(dir.Path()));
    zip->SetTempDir(W(temp.Path()));
    zip->SetFileName(W(dir.File("a.zip")));
    zip->OpenArchive(fmCreate);
    zip->BeginUpdate();
    zip->AddFromString(L"one.txt", std::string(5000, '1'), 0x20, 0);
    zip->AddFromString(L"two.txt", std::string(7000, '2'), 0x20, 0);
    zip->AddFromString(L"three.txt", std::string(3000, '3'), 0x20, 0);
    zip->EndUpdate();
    zip->CloseArchive();
    before = ReadFileBytes(dir.File("a.zip"));
    zip->OpenArchive(2);
  }
  void ExpectUntouched() {
    zip->CloseArchive();
    EXPECT_EQ(ReadFileBytes(dir.File("a.zip")), before);
    EXPECT_EQ(CountFiles(dir.File("FC*")), 0);
    EXPECT_EQ(CountFiles(temp.File("*")), 0);
  }
  std::string Peers() {
    std::string out, all;
    const std::string arc = Q(UP(dir, "a.zip"));
    if (RunUnix("unzip -t " + arc, &out) != 0) all += out;
    if (RunUnix("7z t " + arc, &out) != 0) all += out;
    if (RunPython("import sys, zipfile\nassert zipfile.ZipFile(sys.argv[1]).testzip() is None\n", arc, &out) != 0)
      all += out;
    return all;
  }
};

TEST_F(Update, AppendingKeepsTheOldBytesAndUsesNoTemporaryFile) {
  WriteFileBytes(dir.File("four.txt"), "4444");
  zip->AddFiles(W(dir.File("four.txt")), 0x28BF, L"");
  EXPECT_EQ(CountFiles(temp.File("*")), 0);
  zip->CloseArchive();
  const std::string after = ReadFileBytes(dir.File("a.zip"));
  const size_t oldDir = before.size() - 22 - (46 + 7 + 26) - (46 + 7 + 26) - (46 + 9 + 30);
  EXPECT_EQ(after.substr(0, oldDir), before.substr(0, oldDir));
  EXPECT_EQ(Peers(), "");
}

TEST_F(Update, DeletingTheFirstItemMovesTheOthers) {
  zip->DeleteFiles(L"one.txt", 0x28BF, L"");
  EXPECT_EQ(zip->GetFileCount(), 2);
  zip->CloseArchive();
  EXPECT_EQ(Peers(), "");
  std::string out;
  EXPECT_EQ(RunPython("import sys, zipfile\nz = zipfile.ZipFile(sys.argv[1])\n"
                      "assert z.namelist() == ['two.txt', 'three.txt']\n"
                      "assert z.read('two.txt') == b'2' * 7000 and z.read('three.txt') == b'3' * 3000\n",
                      Q(UP(dir, "a.zip")), &out),
            0)
      << out;
  EXPECT_EQ(CountFiles(dir.File("FC*")), 0);
}

TEST_F(Update, AbortOnAnUnreadableSourceRaisesItsErrorAndChangesNothing) {
  WriteFileBytes(dir.File("locked.txt"), "locked");
  HANDLE h = CreateFileA(dir.File("locked.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  Answers answers({fxaAbort});
  zip->OnProcessFileFailure = TZEProcessFileFailureEvent(&answers, &Answers::OnFailure);
  zip->BeginUpdate();
  zip->DeleteFiles(L"two.txt", 0x28BF, L"");
  zip->AddFiles(W(dir.File("locked.txt")), 0x28BF, L"");
  // The source's refusal travels with the error, as the system gives it to
  // anyone who opens the file now.
  ASSERT_EQ(CreateFileA(dir.File("locked.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                        nullptr),
            INVALID_HANDLE_VALUE);
  const DWORD refusal = GetLastError();
  try {
    zip->EndUpdate();
    ADD_FAILURE() << "the update went through";
  } catch (const EZEException& e) {
    EXPECT_EQ(e.NativeError(), 33);
    EXPECT_EQ(e.SystemError(), refusal);
  }
  CloseHandle(h);
  EXPECT_EQ(answers.Natives, std::vector<int>{33});
  EXPECT_EQ(zip->UpdateCount(), 0);
  // The working directory is the archive's again.
  EXPECT_EQ(zip->GetFileCount(), 3);
  EXPECT_EQ(zip->DirManager()->Directory().GetItemPtr(1).StoredName, WideString(L"two.txt"));
  ExpectUntouched();
}

TEST_F(Update, CancelWhileWritingRaisesAndChangesNothing) {
  WriteFileBytes(dir.File("big.bin"), std::string(3 << 20, 'b'));
  struct Cancel {
    static void OnFile(void*, TObject*, const WideString&, double, TZEProcessOperation, TZEProgressPhase phase,
                       bool& cancel) {
      if (phase == ppProcess) cancel = true;
    }
  };
  zip->OnFileProgress = TZEFileProgressEvent(nullptr, &Cancel::OnFile);
  EXPECT_EQ(NativeOf([&] { zip->AddFiles(W(dir.File("big.bin")), 0x28BF, L""); }), 46);
  EXPECT_EQ(zip->GetFileCount(), 3);
  ExpectUntouched();
}

TEST_F(Update, CancelAtTheStartCreatesNothing) {
  struct Cancel {
    static void OnOverall(void*, TObject*, double, TZEProcessOperation, TZEProgressPhase phase, bool& cancel) {
      if (phase == ppStart) cancel = true;
    }
  };
  zip->OnOverallProgress = TZEProgressEvent(nullptr, &Cancel::OnOverall);
  EXPECT_EQ(NativeOf([&] { zip->DeleteFiles(L"one.txt", 0x28BF, L""); }), 46);
  EXPECT_EQ(zip->GetFileCount(), 3);
  ExpectUntouched();
}

TEST_F(Update, CancelUpdateRestoresTheWorkingDirectory) {
  zip->BeginUpdate();
  zip->AddFromString(L"new.txt", "n", 0x20, 0);
  zip->DeleteFiles(L"one.txt", 0x28BF, L"");
  zip->RenameFile(L"two.txt", L"2.txt");
  zip->CancelUpdate();
  EXPECT_EQ(zip->GetFileCount(), 3);
  // A later transaction does not see the dropped changes.
  zip->AddFromString(L"four.txt", "4", 0x20, 0);
  zip->CloseArchive();
  std::string out;
  EXPECT_EQ(RunPython("import sys, zipfile\nz = zipfile.ZipFile(sys.argv[1])\nassert z.testzip() is None\n"
                      "assert z.namelist() == ['one.txt', 'two.txt', 'three.txt', 'four.txt'], z.namelist()\n",
                      Q(UP(dir, "a.zip")), &out),
            0)
      << out;
}

TEST_F(Update, IgnoreDropsANewItemAndKeepsAReplacedOne) {
  WriteFileBytes(dir.File("ok.txt"), "fine");
  WriteFileBytes(dir.File("two.txt"), "new two");
  HANDLE h = CreateFileA(dir.File("two.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  Answers answers({fxaIgnore});
  zip->OnProcessFileFailure = TZEProcessFileFailureEvent(&answers, &Answers::OnFailure);
  zip->BeginUpdate();
  zip->AddFiles(W(dir.File("two.txt")), 0x28BF, L"");  // replaces the item: poUpdate
  zip->AddFiles(W(dir.File("ok.txt")), 0x28BF, L"");
  WriteFileBytes(dir.File("gone.txt"), "g");
  zip->AddFiles(W(dir.File("gone.txt")), 0x28BF, L"");
  DeleteFileA(dir.File("gone.txt").c_str());
  zip->EndUpdate();
  CloseHandle(h);
  EXPECT_EQ(answers.Natives, (std::vector<int>{33, 33}));
  zip->TestFiles(L"*", 0x28BF, L"");
  zip->CloseArchive();
  std::string out;
  EXPECT_EQ(RunPython("import sys, zipfile\nz = zipfile.ZipFile(sys.argv[1])\nassert z.testzip() is None\n"
                      "assert z.namelist() == ['one.txt', 'two.txt', 'three.txt', 'ok.txt'], z.namelist()\n"
                      "assert z.read('two.txt') == b'2' * 7000\n",
                      Q(UP(dir, "a.zip")), &out),
            0)
      << out;
}

TEST_F(Update, RetryWritesTheItemOnceAndCleanly) {
  WriteFileBytes(dir.File("late.txt"), std::string(10000, 'l'));
  struct Retry {
    HANDLE Lock;
    int Calls = 0;
    static void OnFailure(void* data, TObject*, const WideString&, TZEProcessOperation, int, int, const WideString&,
                          TZEAction& action) {
      auto* r = static_cast<Retry*>(data);
      ++r->Calls;
      CloseHandle(r->Lock);
      action = fxaRetry;
    }
  } retry{CreateFileA(dir.File("late.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)};
  zip->OnProcessFileFailure = TZEProcessFileFailureEvent(&retry, &Retry::OnFailure);
  zip->AddFiles(W(dir.File("late.txt")), 0x28BF, L"");
  EXPECT_EQ(retry.Calls, 1);
  const TDirItem& item = zip->DirManager()->Directory().GetItemPtr(3);
  ASSERT_EQ(item.ExtraBlocks.size(), 1u);  // one NU block, not two
  zip->CloseArchive();
  EXPECT_EQ(Peers(), "");
}

// A stream on a medium that holds at most Limit bytes.
struct LimitedStream : TMemoryStream {
  int64_t Limit;
  explicit LimitedStream(int64_t limit) : Limit(limit) {}
  int32_t Write(const void* buffer, int32_t count) override {
    const int64_t room = Limit - Position();
    if (room <= 0) return 0;
    return TMemoryStream::Write(buffer, static_cast<int32_t>(std::min<int64_t>(count, room)));
  }
};

TEST_F(Update, AFullDiskRaisesAndPutsTheStreamBack) {
  zip->CloseArchive();
  LimitedStream s(static_cast<int64_t>(before.size()) + 2000);
  s.WriteBuffer(before.data(), static_cast<int32_t>(before.size()));
  zip->OpenArchive(&s, false);
  EXPECT_EQ(zip->GetFileCount(), 3);
  std::string noise;
  uint32_t x = 1;
  for (int i = 0; i < 50000; ++i) {
    x = x * 1103515245 + 12345;
    noise += static_cast<char>(x >> 24);
  }
  EXPECT_EQ(NativeOf([&] { zip->AddFromString(L"noise.bin", noise, 0x20, 0); }), 46);
  EXPECT_EQ(zip->GetFileCount(), 3);
  EXPECT_EQ(std::string(static_cast<const char*>(s.Memory()), static_cast<size_t>(s.Size())), before);
  // A rewrite that fits goes through the same way.
  zip->RenameFile(L"one.txt", L"1.txt");
  zip->CloseArchive();
  EXPECT_EQ(CountFiles(temp.File("*")), 0);
  // Two bytes less in each name, four in each Unicode-name block.
  EXPECT_EQ(s.Size(), static_cast<int64_t>(before.size()) - 12);
}

TEST_F(Update, FailedCommitAtCloseIsKeptNotRaised) {
  WriteFileBytes(dir.File("locked.txt"), "locked");
  HANDLE h = CreateFileA(dir.File("locked.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  Answers answers({fxaAbort});
  zip->OnProcessFileFailure = TZEProcessFileFailureEvent(&answers, &Answers::OnFailure);
  zip->BeginUpdate();
  zip->AddFiles(W(dir.File("locked.txt")), 0x28BF, L"");
  zip->CloseArchive();
  CloseHandle(h);
  EXPECT_FALSE(zip->Active());
  EXPECT_NE(zip->LastCloseError().Pos(L"00033"), 0);
  EXPECT_EQ(ReadFileBytes(dir.File("a.zip")), before);
}

// The disk refuses the flush that ends a rebuild, as a network share that
// loses the delayed write does: the change raises the write error with the
// system's reason, asked once, and the archive keeps its bytes, whether a
// caller's file stream is rewritten in place (the old tail comes back from
// the temporary file) or the engine's own file is rebuilt beside it. Once
// the disk takes it, the same change goes through.
TEST_F(Update, AFlushTheDiskRefusesRaisesAndLeavesTheArchiveAsItWas) {
  WriteFileBytes(dir.File("four.txt"), std::string(4000, '4'));
  const struct {
    const char* what;
    bool inPlace;
    std::function<void()> change;
    const char* names;  // as Python lists them after the change
  } cases[] = {
      {"first item deleted in place", true, [&] { zip->DeleteFiles(L"one.txt", 0x28BF, L""); },
       "['two.txt', 'three.txt']"},
      {"item added in place", true, [&] { zip->AddFiles(W(dir.File("four.txt")), 0x28BF, L""); },
       "['one.txt', 'two.txt', 'three.txt', 'four.txt']"},
      {"first item deleted in a new file", false, [&] { zip->DeleteFiles(L"one.txt", 0x28BF, L""); },
       "['two.txt', 'three.txt']"},
  };
  zip->CloseArchive();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    WriteFileBytes(dir.File("a.zip"), before);
    std::unique_ptr<TUcFileStream> stream;
    // The archive lets go of the caller's stream before the stream ends.
    struct CloseFirst {
      TZipEngine& Zip;
      ~CloseFirst() { Zip.CloseArchive(); }
    } closeFirst{*zip};
    auto open = [&] {
      if (c.inPlace) {
        stream.reset(new TUcFileStream(W(dir.File("a.zip")), fmOpenReadWrite));
        zip->OpenArchive(stream.get(), false);
      } else {
        zip->OpenArchive(fmOpenReadWrite);
      }
    };
    open();
    {
      FailingFileCall refuse(FailingFileCall::Flush, ERROR_IO_DEVICE);
      try {
        c.change();
        ADD_FAILURE() << "the change went through";
      } catch (const EZEException& e) {
        EXPECT_EQ(e.NativeError(), 46);
        EXPECT_EQ(e.SystemError(), static_cast<uint32_t>(ERROR_IO_DEVICE));
      }
      EXPECT_EQ(refuse.Calls(), 1);
    }
    EXPECT_EQ(zip->GetFileCount(), 3);
    zip->CloseArchive();
    EXPECT_TRUE(zip->LastCloseError().IsEmpty());
    stream.reset();
    EXPECT_EQ(ReadFileBytes(dir.File("a.zip")), before);
    EXPECT_EQ(CountFiles(dir.File("FC*")), 0);
    EXPECT_EQ(CountFiles(temp.File("*")), 0);

    open();
    c.change();
    zip->CloseArchive();
    stream.reset();
    std::string out;
    EXPECT_EQ(RunPython(std::string("import sys, zipfile\nz = zipfile.ZipFile(sys.argv[1])\n"
                                    "assert z.testzip() is None\n"
                                    "assert z.namelist() == ") +
                            c.names + ", z.namelist()\n",
                        Q(UP(dir, "a.zip")), &out),
              0)
        << out;
  }
}

TEST_F(Update, MovedFilesAreDeletedOnlyWhenArchived) {
  WriteFileBytes(dir.File("m1.txt"), "m1");
  WriteFileBytes(dir.File("m2.txt"), "m2");
  SetFileAttributesA(dir.File("m2.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  zip->MoveFiles(W(dir.File("m?.txt")), 0x28BF, L"");
  EXPECT_EQ(GetFileAttributesA(dir.File("m1.txt").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetFileAttributesA(dir.File("m2.txt").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(zip->GetFileCount(), 5);
  // Ignored on write: the source stays.
  WriteFileBytes(dir.File("m3.txt"), "m3");
  HANDLE h = CreateFileA(dir.File("m3.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  Answers answers({fxaIgnore});
  zip->OnProcessFileFailure = TZEProcessFileFailureEvent(&answers, &Answers::OnFailure);
  zip->MoveFiles(W(dir.File("m3.txt")), 0x28BF, L"");
  CloseHandle(h);
  EXPECT_NE(GetFileAttributesA(dir.File("m3.txt").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(zip->GetFileCount(), 5);
}

TEST(UpdateHelpers, ShareModesDrivesAndEmptyTrees) {
  EXPECT_EQ(ShareModeToInt(smShareDenyNone), 0x40);
  EXPECT_EQ(ShareModeToInt(smShareCompat), 0);
  EXPECT_EQ(ShareModeToInt(smShareExclusive), 0x10);
  EXPECT_EQ(ShareModeToInt(99), 0);
  EXPECT_TRUE(IsFloppyDrive(L"b:\\x"));
  EXPECT_FALSE(IsFloppyDrive(L"C:\\x"));
  EXPECT_FALSE(IsRemovableDrive(L"C:\\x"));
  TempDir d;
  CreateDirectoryA(d.File("t").c_str(), nullptr);
  CreateDirectoryA(d.File("t\\a").c_str(), nullptr);
  CreateDirectoryA(d.File("t\\a\\b").c_str(), nullptr);
  CreateDirectoryA(d.File("t\\c").c_str(), nullptr);
  EXPECT_TRUE(DelTreeIfNoFiles(W(d.File("t\\"))));
  EXPECT_EQ(GetFileAttributesA(d.File("t").c_str()), INVALID_FILE_ATTRIBUTES);
  CreateDirectoryA(d.File("u").c_str(), nullptr);
  CreateDirectoryA(d.File("u\\a").c_str(), nullptr);
  CreateDirectoryA(d.File("u\\a\\b").c_str(), nullptr);
  WriteFileBytes(d.File("u\\a\\b\\f"), "f");
  EXPECT_FALSE(DelTreeIfNoFiles(W(d.File("u\\"))));
  EXPECT_NE(GetFileAttributesA(d.File("u\\a\\b").c_str()), INVALID_FILE_ATTRIBUTES);
}

// Bytes deflate cannot shrink.
std::string Noise(size_t size) {
  std::string r(size, '\0');
  uint32_t x = 2463534242u;
  for (char& c : r) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    c = static_cast<char>(x);
  }
  return r;
}

// A rebuild that finds no room on the disk, committed by the operation or at
// the close: the error and the close failure carry the system's code of the
// write, the archive keeps its bytes and nothing is left beside it.
TEST(UpdateOnAFullDisk, TheSystemsReasonTravelsWithTheFailure) {
  TempDir dir;
  SmallDisk disk(dir.File("disk"), 1 << 20);
  if (!disk.Mounted()) GTEST_SKIP() << "a tmpfs cannot be mounted here (root and the mount right needed): " << disk.Why();
  uint64_t block = 0, free = 0;
  ASSERT_TRUE(disk.Room(block, free));
  const std::string archive = dir.File("disk\\a.zip");
  WriteFileBytes(dir.File("noise.bin"), Noise(8 * block));
  for (const bool atClose : {false, true}) {
    SCOPED_TRACE(atClose ? "committed at the close" : "committed by the operation");
    DeleteFileA(archive.c_str());
    std::unique_ptr<TZipEngine> zip(NewListEngine());
    zip->SetFileName(W(archive));
    zip->OpenArchive(fmCreate);
    zip->AddFromString(L"one.txt", "one", 0x20, 0);
    zip->CloseArchive();
    const std::string before = ReadFileBytes(archive);
    ASSERT_FALSE(before.empty());
    // Room for the local header and a little of the data.
    ASSERT_TRUE(disk.LeaveFree(2 * block));
    const DWORD refusal = disk.WriteRefusal();
    ASSERT_NE(refusal, 0u);
    zip->OpenArchive(2);
    if (atClose) {
      zip->BeginUpdate();
      zip->AddFiles(W(dir.File("noise.bin")), 0x28BF, L"");
      zip->CloseArchive();
      EXPECT_FALSE(zip->LastCloseError().IsEmpty());
      EXPECT_EQ(zip->LastCloseSystemError(), refusal);
    } else {
      try {
        zip->AddFiles(W(dir.File("noise.bin")), 0x28BF, L"");
        ADD_FAILURE() << "the file went in";
      } catch (const EZEException& e) {
        EXPECT_EQ(e.NativeError(), 46);
        EXPECT_EQ(e.SystemError(), refusal);
        EXPECT_EQ(e.Message(), "Write to stream error - Native error: 00046") << "the text as the number gives it";
      }
      zip->CloseArchive();
      EXPECT_TRUE(zip->LastCloseError().IsEmpty());
      EXPECT_EQ(zip->LastCloseSystemError(), 0u);
    }
    DeleteFileA(dir.File("disk\\filler").c_str());
    EXPECT_EQ(ReadFileBytes(archive), before);
    EXPECT_EQ(CountFiles(dir.File("disk\\FC*")), 0);
  }
}

}  // namespace
