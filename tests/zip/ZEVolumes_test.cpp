// The single-volume road through the volume logic: names, sizes, the volume
// state, in-memory and caller's-stream archives.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "ZipTestUtil.h"

namespace {

TEST(Volumes, DefaultNamesSizesAndState) {
  std::unique_ptr<TZipEngine> zip(new TZipEngine(nullptr));
  zip->SetFileName(L"C:\\d\\arch.zip");
  zip->SetSpanningMode(smSplitting);
  WideString n = L"C:\\d\\arch.zip";
  zip->MakeDefaultVolumeName(n, 0, false);
  EXPECT_EQ(n, WideString(L"C:\\d\\arch.Z01"));
  n = L"C:\\d\\arch.zip";
  zip->MakeDefaultVolumeName(n, 11, false);
  EXPECT_EQ(n, WideString(L"C:\\d\\arch.Z12"));
  n = L"C:\\d\\arch.zip";
  zip->MakeDefaultVolumeName(n, 0xFFFFFFFFu, false);
  EXPECT_EQ(n, WideString(L"C:\\d\\arch.zip"));
  zip->SpanningOptions()->AdvancedNaming = true;
  zip->MakeDefaultVolumeName(n, 0, false);
  EXPECT_EQ(n, WideString(L"C:\\d\\arch_001.zip"));
  zip->SetSpanningMode(smSpanning);
  n = L"C:\\d\\arch.zip";
  zip->MakeDefaultVolumeName(n, 4, false);
  EXPECT_EQ(n, WideString(L"C:\\d\\arch_005.zip"));
  zip->SpanningOptions()->AdvancedNaming = false;
  n = L"C:\\d\\arch.zip";
  zip->MakeDefaultVolumeName(n, 4, false);
  EXPECT_EQ(n, WideString(L"C:\\d\\arch.zip"));
  // Multi-volume archives are refused, not misread.
  TMemoryStream m;
  try {
    zip->OpenArchive(&m, true);
    FAIL();
  } catch (const EZEException& e) {
    EXPECT_EQ(e.NativeError(), 51);
  }

  TZESpanningOptions o;
  o.SetCustomVolumeSize(1000);
  EXPECT_EQ(o.CustomVolumeSize(), 65536);
  o.VolumeSize = vsCustom;
  EXPECT_EQ(o.GetVolumeSize(3), 65536);
  o.VolumeSize = vs1_44MB;
  EXPECT_EQ(o.GetVolumeSize(1), 1457664);
  o.VolumeSize = vs4700MB;
  EXPECT_EQ(o.GetVolumeSize(1), 4928307200LL);
  o.FirstVolumeSize = 5000;
  EXPECT_EQ(o.GetVolumeSize(0), 5000);
  o.VolumeSize = vsAutoDetect;
  EXPECT_EQ(o.GetVolumeSize(2), -1);

  TZEVolumeNumberInfo v, w;
  v.Init();
  EXPECT_EQ(v.VolumeNumber, -1);
  v.SetFirstVolume(true);
  EXPECT_TRUE(v.GetFirstVolume());
  v.LastVolumeNumber = 3;
  v.SetLastVolume(true);
  EXPECT_EQ(v.VolumeNumber, 3);
  w.LastVolumeNumber = 3;
  w.SetVolumeNumber(3);
  EXPECT_TRUE(v.IsEqualTo(w));
  w.SetVolumeNumber(2);
  EXPECT_FALSE(v.IsEqualTo(w));
}

TEST(Volumes, InMemoryArchivesAndSwitchingToAFile) {
  TempDir dir;
  std::unique_ptr<TZipEngine> zip(new TZipEngine(nullptr));
  zip->SetInMemory(true);
  zip->SetFileName(W(dir.File("mem.zip")));
  zip->OpenArchive();
  zip->AddFromString(L"m.txt", "in memory", 0x20, 0);
  EXPECT_EQ(GetFileAttributesA(dir.File("mem.zip").c_str()), INVALID_FILE_ATTRIBUTES);
  WriteFileBytes(dir.File("exists.zip"), "x");
  zip->SetFileName(W(dir.File("exists.zip")));
  try {
    zip->OpenArchive(2);  // only a new archive can live in memory
    FAIL();
  } catch (const EZEException& e) {
    EXPECT_EQ(e.NativeError(), 28);
  }
  zip->SetFileName(W(dir.File("mem.zip")));
  zip->OpenArchive();
  zip->AddFromString(L"m.txt", "in memory", 0x20, 0);
  zip->SetInMemory(false);  // written to FileName and opened from there
  EXPECT_TRUE(zip->Active());
  EXPECT_FALSE(zip->InMemory());
  AnsiString text;
  zip->ExtractToString(L"m.txt", text);
  EXPECT_EQ(text, "in memory");
  zip->CloseArchive();
  std::string out;
  EXPECT_EQ(RunUnix("unzip -p " + Q(UP(dir, "mem.zip")) + " m.txt", &out), 0) << out;
  EXPECT_EQ(out, "in memory");
  zip->SetFileName(L"");
  zip->SetInMemory(true);
  zip->OpenArchive();
  try {
    zip->SetInMemory(false);
    FAIL();
  } catch (const EZEException& e) {
    EXPECT_EQ(e.NativeError(), 29);
  }
}

// Bytes that compress badly, the same on every run.
std::string Noise(size_t n, uint32_t seed) {
  std::string s(n, '\0');
  for (char& c : s) {
    seed = seed * 1103515245u + 12345u;
    c = static_cast<char>(seed >> 23);
  }
  return s;
}

struct Split : ::testing::Test {
  TempDir dir;
  std::unique_ptr<TZipEngine> zip{new TZipEngine(nullptr)};
  std::vector<std::pair<std::wstring, std::string>> items = {
      {L"a.bin", Noise(150000, 1)}, {L"sub/b.bin", Noise(70000, 2)}, {L"empty.txt", ""}, {L"c.txt", "small"}};
  void Create(const std::string& name, int64_t volumeSize, bool advanced) {
    zip->SetFileName(W(dir.File(name)));
    zip->SetSpanningMode(smSplitting);
    zip->SpanningOptions()->VolumeSize = vsCustom;
    zip->SpanningOptions()->SetCustomVolumeSize(volumeSize);
    zip->SpanningOptions()->AdvancedNaming = advanced;
    zip->SetCompressionMode(0);
    zip->OpenArchive(fmCreate);
    zip->BeginUpdate();
    zip->AddFromBuffer(L"sub/", nullptr, 0, 0x10, 0);
    for (const auto& [n, data] : items) zip->AddFromBuffer(n, data.data(), static_cast<int32_t>(data.size()), 0x20, 0);
    zip->EndUpdate();
  }
  void ExpectItems() {
    for (const auto& [n, data] : items) {
      AnsiString text;
      zip->ExtractToString(n, text);
      EXPECT_EQ(text.str() == data, true) << std::string(n.begin(), n.end());
    }
  }
};

TEST_F(Split, VolumesAreNamedSizedAndReadByPeers) {
  const struct {
    const char* name;
    bool advanced;
    std::vector<const char*> volumes;  // in order, the last one the archive's own name
  } cases[] = {
      {"SPLIT.ZIP", false, {"SPLIT.Z01", "SPLIT.Z02", "SPLIT.Z03", "SPLIT.ZIP"}},
      {"adv.zip", true, {"adv_001.zip", "adv_002.zip", "adv_003.zip", "adv.zip"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Create(c.name, 65536, c.advanced);
    // Written and read back as one archive of volumes.
    ExpectItems();
    EXPECT_EQ(zip->SpanningMode(), smSplitting);
    zip->CloseArchive();
    // Room for three full volumes of data and a last one.
    EXPECT_EQ(GetFileAttributesA(dir.File(c.advanced ? "adv_004.zip" : "SPLIT.Z04").c_str()), INVALID_FILE_ATTRIBUTES);
    for (size_t v = 0; v < c.volumes.size(); ++v) {
      const std::string bytes = ReadFileBytes(dir.File(c.volumes[v]));
      EXPECT_FALSE(bytes.empty()) << c.volumes[v];
      EXPECT_LE(bytes.size(), 65536u) << c.volumes[v];
      if (v == 0) {
        EXPECT_EQ(bytes.substr(0, 4), std::string("PK\x07\x08", 4));
      }
      if (v + 1 == c.volumes.size()) {
        // The end record names this volume as the last and counts every entry.
        const size_t end = bytes.size() - 22;
        EXPECT_EQ(bytes.substr(end, 4), "PK\x05\x06");
        EXPECT_EQ(static_cast<uint8_t>(bytes[end + 4]), v);
        EXPECT_EQ(static_cast<uint8_t>(bytes[end + 10]), 5);
      }
    }
    // No working file is left beside the volumes.
    EXPECT_EQ(CountFiles(dir.File("*.tmp")), 0);
    // Opened again from its last volume, it is split and reads the same.
    zip->SetSpanningMode(smNone);
    zip->SpanningOptions()->AdvancedNaming = false;
    zip->OpenArchive(2);
    EXPECT_EQ(zip->SpanningMode(), smSplitting);
    ExpectItems();
    zip->TestFiles(L"*", 0x28BF, L"");
    // Split archives are written once.
    EXPECT_EQ(NativeOf([&] { zip->AddFromString(L"late.txt", "x", 0x20, 0); }), 52);
    zip->CloseArchive();
  }
  std::string out;
  EXPECT_EQ(RunUnix("7z t " + Q(UP(dir, "SPLIT.ZIP")), &out), 0) << out;
  EXPECT_NE(out.find("Everything is Ok"), std::string::npos) << out;
  // 7-Zip extracts the same bytes.
  WriteFileBytes(dir.File("expect.bin"), items[0].second);
  EXPECT_EQ(RunUnix("cd " + Q(UP(dir, "")) + " && 7z x -y -ox7 SPLIT.ZIP >/dev/null && cmp x7/a.bin expect.bin", &out), 0)
      << out;
}

TEST_F(Split, ASetWrittenByInfoZipIsReadAndAMissingVolumeRefused) {
  WriteFileBytes(dir.File("a.bin"), Noise(200000, 7));
  std::string out;
  ASSERT_EQ(RunUnix("cd " + Q(UP(dir, "")) + " && zip -q -s 64k iz.zip a.bin", &out), 0) << out;
  zip->SetFileName(W(dir.File("iz.zip")));
  // Info-ZIP names its volumes .z01 and on: the same names on this system.
  zip->OpenArchive(2);
  EXPECT_EQ(zip->SpanningMode(), smSplitting);
  AnsiString text;
  zip->ExtractToString(L"a.bin", text);
  EXPECT_EQ(text.str() == Noise(200000, 7), true);
  zip->CloseArchive();
  DeleteFileA(dir.File("iz.z02").c_str());
  EXPECT_EQ(NativeOf([&] { zip->OpenArchive(2); }), 45);
  EXPECT_FALSE(zip->Active());
}

TEST_F(Split, EverythingInOneVolumeIsAPlainArchive) {
  items = {{L"x.txt", "fits easily"}};
  Create("one.zip", 1 << 20, false);
  zip->CloseArchive();
  const std::string bytes = ReadFileBytes(dir.File("one.zip"));
  EXPECT_EQ(bytes.substr(0, 4), "PK\x03\x04");
  EXPECT_EQ(GetFileAttributesA(dir.File("one.Z01").c_str()), INVALID_FILE_ATTRIBUTES);
  std::string out;
  EXPECT_EQ(RunUnix("unzip -tq " + Q(UP(dir, "one.zip")), &out), 0) << out;
}

TEST_F(Split, IsValidArchiveFileTestsTheWholeSet) {
  Create("SPLIT.ZIP", 65536, false);
  zip->CloseArchive();
  const std::string middle = ReadFileBytes(dir.File("SPLIT.Z02"));
  std::string damaged = middle;
  damaged[middle.size() / 2] = static_cast<char>(damaged[middle.size() / 2] ^ 0x55);
  const struct {
    const char* what;
    const char* name;
    std::string z02;  // the middle volume's bytes; empty: the volume is missing
    bool valid;
  } cases[] = {
      {"the whole set by its last volume", "SPLIT.ZIP", middle, true},
      {"a volume missing", "SPLIT.ZIP", "", false},
      {"a damaged byte in a middle volume", "SPLIT.ZIP", damaged, false},
      {"the first volume alone", "SPLIT.Z01", middle, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    DeleteFileA(dir.File("SPLIT.Z02").c_str());
    if (!c.z02.empty()) WriteFileBytes(dir.File("SPLIT.Z02"), c.z02);
    zip.reset(new TZipEngine(nullptr));
    zip->SetFileName(W(dir.File(c.name)));
    EXPECT_EQ(zip->IsValidArchiveFile(), c.valid);
    EXPECT_FALSE(zip->Active());
    EXPECT_EQ(zip->SpanningMode(), smNone);
    EXPECT_TRUE(zip->OpenTolerance());
  }
}

struct BlankVolumeAnswers {
  int CancelAt = -1;  // the volume number (from 1) whose request is cancelled
  std::vector<int> Asked;
  static void On(void* data, TObject*, int volume, WideString&, bool& cancel) {
    auto* a = static_cast<BlankVolumeAnswers*>(data);
    a->Asked.push_back(volume);
    cancel = volume == a->CancelAt;
  }
};

TEST_F(Split, ACancelledVolumeRequestLeavesNoVolumeBehind) {
  BlankVolumeAnswers answers;
  answers.CancelAt = 2;
  zip->OnRequestBlankVolume = TZEOnRequestBlankVolumeEvent(&answers, &BlankVolumeAnswers::On);
  EXPECT_EQ(NativeOf([&] { Create("c.zip", 65536, false); }), 45);
  EXPECT_EQ(answers.Asked, (std::vector<int>{1, 2}));
  EXPECT_EQ(CountFiles(dir.File("c.*")), 0);
  // Closing asks once more; cancelled again, nothing at all stays.
  zip->CloseArchive();
  EXPECT_FALSE(zip->LastCloseError().IsEmpty());
  EXPECT_EQ(CountFiles(dir.File("*")), 0);
}

TEST_F(Split, TheFirstVolumeHasItsOwnSize) {
  zip->SpanningOptions()->FirstVolumeSize = 150000;
  Create("first.zip", 65536, false);
  zip->CloseArchive();
  const std::string first = ReadFileBytes(dir.File("first.Z01"));
  EXPECT_GT(first.size(), 65536u);
  EXPECT_LE(first.size(), 150000u);
  EXPECT_LE(ReadFileBytes(dir.File("first.Z02")).size(), 65536u);
  zip->OpenArchive(2);
  ExpectItems();
}

// A split set written behind a self-extracting stub: the .exe is the first
// volume, the .ZIP the last one with the directory of the whole set.
struct SplitSelfExtracting : Split {
  void SetUp() override {
    WriteFileBytes(dir.File("stub.exe"), "MZ" + Noise(9998, 3));
    zip->SetSFXStub(W(dir.File("stub.exe")));
  }
  // Opened again by a component of the program's own setup.
  void Reopen(const std::string& name) {
    zip.reset(new TZipEngine(nullptr));
    zip->SetFileName(W(dir.File(name)));
    zip->OpenArchive(2);
  }
};

TEST_F(SplitSelfExtracting, TheExeNameOpensEveryVolume) {
  Create("set.exe", 65536, false);
  // The engine's own reading after writing holds the entries of every volume.
  ExpectItems();
  EXPECT_EQ(zip->GetFileCount(), 4);
  EXPECT_EQ(zip->SpanningMode(), smSplitting);
  zip->CloseArchive();
  const std::vector<const char*> volumes = {"set.exe", "set.Z02", "set.Z03", "set.ZIP"};
  for (const char* v : volumes) {
    EXPECT_LE(ReadFileBytes(dir.File(v)).size(), 65536u) << v;
  }
  EXPECT_EQ(CountFiles(dir.File("set.*")), 4);
  const std::string first = ReadFileBytes(dir.File("set.exe"));
  EXPECT_EQ(first.substr(0, 10000), ReadFileBytes(dir.File("stub.exe")));
  EXPECT_EQ(first.substr(10000, 4), "PK\x03\x04");

  Reopen("set.exe");
  EXPECT_EQ(zip->SpanningMode(), smSplitting);
  EXPECT_EQ(zip->DirManager()->Directory().GetCount(), 5);
  ExpectItems();
  zip->TestFiles(L"*", 0x28BF, L"");
  zip->CloseArchive();

  // The same bytes under the names 7-Zip looks for are a set it tests whole.
  for (size_t v = 0; v < volumes.size(); ++v) {
    const std::string peer = v + 1 == volumes.size() ? "peer.zip" : "peer.z0" + std::to_string(v + 1);
    WriteFileBytes(dir.File(peer), ReadFileBytes(dir.File(volumes[v])));
  }
  std::string out;
  EXPECT_EQ(RunUnix("7z t " + Q(UP(dir, "peer.zip")), &out), 0) << out;
  EXPECT_NE(out.find("Everything is Ok"), std::string::npos) << out;
  EXPECT_NE(out.find("Files: 4"), std::string::npos) << out;
  WriteFileBytes(dir.File("expect.bin"), items[1].second);
  EXPECT_EQ(RunUnix("cd " + Q(UP(dir, "")) + " && 7z x -y -ox7 peer.zip >/dev/null && cmp x7/sub/b.bin expect.bin", &out),
            0)
      << out;
}

TEST_F(SplitSelfExtracting, ASetWithAVolumeMissingIsRefusedNotReadInPart) {
  Create("set.exe", 65536, false);
  zip->CloseArchive();
  for (const char* missing : {"set.ZIP", "set.Z02", "set.Z03"}) {
    SCOPED_TRACE(missing);
    const std::string bytes = ReadFileBytes(dir.File(missing));
    ASSERT_TRUE(DeleteFileA(dir.File(missing).c_str()));
    std::unique_ptr<TZipEngine> other(new TZipEngine(nullptr));
    other->SetFileName(W(dir.File("set.exe")));
    EXPECT_EQ(NativeOf([&] { other->OpenArchive(2); }), 45);
    EXPECT_FALSE(other->Active());
    EXPECT_FALSE(other->IsValidArchiveFile());
    WriteFileBytes(dir.File(missing), bytes);
  }
}

TEST_F(SplitSelfExtracting, ASetTheEngineCannotReadBackIsAFailureAndLeavesNoVolume) {
  struct Refuse {
    static void On(void*, TObject*, WideString&, bool& cancel) { cancel = true; }
  };
  zip->OnRequestLastVolume = TZEOnRequestLastVolumeEvent(nullptr, &Refuse::On);
  EXPECT_EQ(NativeOf([&] { Create("set.exe", 65536, false); }), 45);
  EXPECT_FALSE(zip->Active());
  EXPECT_EQ(CountFiles(dir.File("set.*")), 0);
  EXPECT_EQ(CountFiles(dir.File("*.tmp")), 0);
}

TEST_F(SplitSelfExtracting, OneVolumeIsAPlainSelfExtractingArchive) {
  items = {{L"x.txt", "fits easily"}};
  Create("one.exe", 1 << 20, false);
  ExpectItems();
  zip->CloseArchive();
  EXPECT_EQ(CountFiles(dir.File("one.*")), 1);
  EXPECT_EQ(ReadFileBytes(dir.File("one.exe")).substr(0, 2), "MZ");
  std::string out;
  EXPECT_EQ(RunUnix("unzip -t " + Q(UP(dir, "one.exe")), &out), 0) << out;
  Reopen("one.exe");
  EXPECT_EQ(zip->SpanningMode(), smNone);
  ExpectItems();
}

TEST_F(SplitSelfExtracting, ASetThatSevenZipTestsIsReadByItsExeName) {
  // Info-ZIP writes the set; a stub goes in front of its first volume and the
  // entries of that volume move past it. 7-Zip tests the result whole.
  const std::string a = Noise(200000, 7);
  WriteFileBytes(dir.File("a.bin"), a);
  WriteFileBytes(dir.File("b.txt"), "small file in the last volumes");
  std::string out;
  ASSERT_EQ(RunUnix("cd " + Q(UP(dir, "")) + " && zip -q -s 64k iz.zip a.bin b.txt", &out), 0) << out;
  ASSERT_EQ(RunPython("import sys, struct, os\n"
                      "d = sys.argv[1]; stub = open(os.path.join(d, 'stub.exe'), 'rb').read()\n"
                      "last = bytearray(open(os.path.join(d, 'iz.zip'), 'rb').read())\n"
                      "e = last.rfind(b'PK\\x05\\x06')\n"
                      "this, dirdisk, _, n, size, p = struct.unpack('<HHHHII', last[e + 4:e + 20])\n"
                      "assert this == dirdisk == 3\n"
                      "for i in range(n):\n"
                      "    assert last[p:p + 4] == b'PK\\x01\\x02'\n"
                      "    nl, xl, cl, disk = struct.unpack('<HHHH', last[p + 28:p + 36])\n"
                      "    if disk == 0:\n"
                      "        off, = struct.unpack('<I', last[p + 42:p + 46])\n"
                      "        struct.pack_into('<I', last, p + 42, off + len(stub))\n"
                      "    p += 46 + nl + xl + cl\n"
                      "first = open(os.path.join(d, 'iz.z01'), 'rb').read()\n"
                      "open(os.path.join(d, 'iz.z01'), 'wb').write(stub + first)\n"
                      "open(os.path.join(d, 'iz.zip'), 'wb').write(bytes(last))\n",
                      Q(UP(dir, "")), &out),
            0)
      << out;
  ASSERT_EQ(RunUnix("7z t " + Q(UP(dir, "iz.zip")), &out), 0) << out;
  ASSERT_NE(out.find("Everything is Ok"), std::string::npos) << out;
  ASSERT_TRUE(MoveFileA(dir.File("iz.z01").c_str(), dir.File("iz.exe").c_str()));

  struct LastVolume {
    WideString Name;
    int Asked = 0;
    static void On(void* data, TObject*, WideString& name, bool& cancel) {
      auto* l = static_cast<LastVolume*>(data);
      ++l->Asked;
      name = l->Name;
      cancel = false;
    }
  };
  const struct {
    const char* what;
    const char* last;  // the last volume's name; a handler names it when not the default
  } cases[] = {{"default volume names", "iz.zip"}, {"the last volume named by a handler", "last.bin"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const bool handler = std::string(c.last) != "iz.zip";
    if (handler) {
      ASSERT_TRUE(MoveFileA(dir.File("iz.zip").c_str(), dir.File(c.last).c_str()));
    }
    zip.reset(new TZipEngine(nullptr));
    LastVolume lastVolume{W(dir.File(c.last))};
    if (handler) zip->OnRequestLastVolume = TZEOnRequestLastVolumeEvent(&lastVolume, &LastVolume::On);
    zip->SetFileName(W(dir.File("iz.exe")));
    EXPECT_TRUE(zip->IsValidArchiveFile());
    zip->OpenArchive(2);
    EXPECT_EQ(zip->SpanningMode(), smSplitting);
    EXPECT_EQ(zip->GetFileCount(), 2);
    AnsiString text;
    zip->ExtractToString(L"a.bin", text);
    EXPECT_EQ(text.str() == a, true);
    zip->ExtractToString(L"b.txt", text);
    EXPECT_EQ(text, "small file in the last volumes");
    zip->CloseArchive();
    EXPECT_EQ(lastVolume.Asked, handler ? 2 : 0);
  }
}

struct SelfExtracting : ::testing::Test {
  TempDir dir;
  std::unique_ptr<TZipEngine> zip{new TZipEngine(nullptr)};
  void SetUp() override {
    WriteFileBytes(dir.File("stub.exe"), "MZ" + Noise(9998, 3));
    zip->SetFileName(W(dir.File("plain.zip")));
    zip->OpenArchive(fmCreate);
    zip->BeginUpdate();
    zip->AddFromBuffer(L"folder/", nullptr, 0, 0x10, 0);
    zip->AddFromString(L"folder/in.txt", "inside", 0x20, 0);
    zip->AddFromString(L"empty.txt", "", 0x20, 0);
    zip->AddFromString(L"top.txt", AnsiString(std::string(5000, 't')), 0x20, 0);
    zip->EndUpdate();
    zip->CloseArchive();
  }
};

// big.zip: an archive of three copy buffers of 1 MiB.
void WriteBig(TZipEngine* zip, const TempDir& dir) {
  zip->SetFileName(W(dir.File("big.zip")));
  zip->SetCompressionMode(0);
  zip->OpenArchive(fmCreate);
  const std::string data = Noise(2500000, 9);
  zip->AddFromBuffer(L"big.bin", data.data(), static_cast<int32_t>(data.size()), 0x20, 0);
  zip->CloseArchive();
}

TEST_F(SelfExtracting, EveryEntryPointsPastTheStub) {
  const std::string plain = ReadFileBytes(dir.File("plain.zip"));
  const struct {
    const char* what;
    bool open;
  } cases[] = {{"from the file", false}, {"from the open archive", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    zip->SetSFXStub(W(dir.File("stub.exe")));
    if (c.open) zip->OpenArchive(2);
    zip->MakeSFX(W(dir.File("sfx.exe")));
    zip->CloseArchive();
    EXPECT_EQ(ReadFileBytes(dir.File("plain.zip")), plain);
    std::string out;
    EXPECT_EQ(RunUnix("unzip -t " + Q(UP(dir, "sfx.exe")), &out), 0) << out;
    EXPECT_EQ(out.find("extra bytes"), std::string::npos) << out;
    // Every central entry, the folder's too, points at a local header.
    ASSERT_EQ(RunPython("import sys, zipfile, struct\n"
                        "d = open(sys.argv[1], 'rb').read()\n"
                        "for i in zipfile.ZipFile(sys.argv[1]).infolist():\n"
                        "    assert d[i.header_offset:i.header_offset + 4] == b'PK\\x03\\x04', i.filename\n"
                        "    assert i.header_offset >= 10000, i.filename\n",
                        Q(UP(dir, "sfx.exe")), &out),
              0)
        << out;
    std::unique_ptr<TZipEngine> sfx(new TZipEngine(nullptr));
    sfx->SetFileName(W(dir.File("sfx.exe")));
    sfx->OpenArchive(2);
    AnsiString text;
    sfx->ExtractToString(L"folder/in.txt", text);
    EXPECT_EQ(text, "inside");
    EXPECT_EQ(sfx->DirManager()->StubSize, 10000);
    // A self-extracting archive gets no second stub.
    sfx->SetSFXStub(W(dir.File("stub.exe")));
    EXPECT_EQ(NativeOf([&] { sfx->MakeSFX(W(dir.File("twice.exe"))); }), 50);
    sfx->CloseArchive();
    EXPECT_EQ(GetFileAttributesA(dir.File("twice.exe").c_str()), INVALID_FILE_ATTRIBUTES);
  }
}

TEST_F(SelfExtracting, AStubJoinedByCopyingIsFoundAndEveryEntryMoved) {
  // Stub and archive joined as bytes: the entries still count from the start
  // of the archive, folders and empty files included.
  const struct {
    const char* what;
    std::vector<std::pair<const wchar_t*, const char*>> items;
  } cases[] = {
      {"folders and empty files only", {{L"a/", nullptr}, {L"a/b/", nullptr}, {L"a/empty.txt", ""}}},
      {"a folder before data", {{L"d/", nullptr}, {L"d/x.txt", "data of x"}, {L"e.txt", ""}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::unique_ptr<TZipEngine> a(new TZipEngine(nullptr));
    a->SetFileName(W(dir.File("part.zip")));
    a->OpenArchive(fmCreate);
    a->BeginUpdate();
    for (const auto& [name, data] : c.items) {
      if (data)
        a->AddFromString(name, data, 0x20, 0);
      else
        a->AddFromBuffer(name, nullptr, 0, 0x10, 0);
    }
    a->EndUpdate();
    a->CloseArchive();
    WriteFileBytes(dir.File("joined.exe"), ReadFileBytes(dir.File("stub.exe")) + ReadFileBytes(dir.File("part.zip")));
    a->SetFileName(W(dir.File("joined.exe")));
    a->OpenArchive();
    EXPECT_EQ(a->DirManager()->StubSize, 10000);
    for (int i = 0; i < a->DirManager()->Directory().GetCount(); ++i)
      EXPECT_GE(a->DirManager()->Directory().GetItemPtr(i).LocalOffset(), 10000) << i;
    a->TestFiles(L"*", 0x28BF, L"");
    // A change writes the directory again, now with the right positions.
    a->ChangeFilesComment(L"*", "moved");
    a->CloseArchive();
    std::string out;
    EXPECT_EQ(RunUnix("unzip -t " + Q(UP(dir, "joined.exe")), &out), 0) << out;
    EXPECT_EQ(out.find("extra bytes"), std::string::npos) << out;
  }
}

TEST_F(SelfExtracting, RefusalsComeBeforeAnyFileIsTouched) {
  const struct {
    const char* what;
    const char* stub;
    TZESpanningMode spanning;
    int native;
  } cases[] = {{"no stub set", "", smNone, 17},
               {"stub missing", "nostub.exe", smNone, 18},
               {"split archive", "stub.exe", smSplitting, 49}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    zip->SetSFXStub(*c.stub ? W(dir.File(c.stub)) : WideString());
    zip->SetSpanningMode(c.spanning);
    EXPECT_EQ(NativeOf([&] { zip->MakeSFX(W(dir.File("out.exe"))); }), c.native);
    EXPECT_EQ(GetFileAttributesA(dir.File("out.exe").c_str()), INVALID_FILE_ATTRIBUTES);
  }
}

// What a MakeSFX run reports through its two progress events, in order; one
// of them may answer Cancel.
struct SFXProgress {
  std::vector<std::string> Seen;
  std::vector<WideString> Names;
  std::string CancelAt;
  static std::string Text(const char* event, double progress, TZEProgressPhase phase) {
    char b[64];
    snprintf(b, sizeof b, "%s %d %.3f", event, static_cast<int>(phase), progress);
    return b;
  }
  void Record(const std::string& what, TZEProcessOperation operation, bool& cancel) {
    EXPECT_EQ(operation, poMakeSFX) << what;
    Seen.push_back(what);
    cancel = what == CancelAt;
  }
  static void OnFile(void* data, TObject*, const WideString& name, double progress, TZEProcessOperation operation,
                     TZEProgressPhase phase, bool& cancel) {
    auto* p = static_cast<SFXProgress*>(data);
    p->Names.push_back(name);
    p->Record(Text("file", progress, phase), operation, cancel);
  }
  static void OnOverall(void* data, TObject*, double progress, TZEProcessOperation operation, TZEProgressPhase phase,
                        bool& cancel) {
    static_cast<SFXProgress*>(data)->Record(Text("overall", progress, phase), operation, cancel);
  }
};

TEST_F(SelfExtracting, MakeSFXReportsItsProgressAndACancelLeavesNoFile) {
  WriteBig(zip.get(), dir);
  const std::string archive = ReadFileBytes(dir.File("big.zip"));
  const double total = static_cast<double>(archive.size());
  std::vector<std::string> whole;
  auto both = [&](double progress, TZEProgressPhase phase) {
    whole.push_back(SFXProgress::Text("file", progress, phase));
    whole.push_back(SFXProgress::Text("overall", progress, phase));
  };
  both(0, ppStart);
  for (double done : {0.0, 1048576.0, 2097152.0}) both(done / total * 100, ppProcess);
  both(100, ppEnd);
  ASSERT_EQ(whole.size(), 10u);

  // Cancel answered by the event at that place of the run (-1: none).
  for (int cancelAt : {-1, 0, 1, 5, 8, 9}) {
    SCOPED_TRACE(cancelAt);
    SFXProgress progress;
    if (cancelAt >= 0) progress.CancelAt = whole[static_cast<size_t>(cancelAt)];
    zip->OnFileProgress = TZEFileProgressEvent(&progress, &SFXProgress::OnFile);
    zip->OnOverallProgress = TZEProgressEvent(&progress, &SFXProgress::OnOverall);
    zip->SetSFXStub(W(dir.File("stub.exe")));
    const int native = NativeOf([&] { zip->MakeSFX(W(dir.File("sfx.exe"))); });
    const size_t seen = cancelAt < 0 ? whole.size() : static_cast<size_t>(cancelAt) + 1;
    EXPECT_EQ(progress.Seen, std::vector<std::string>(whole.begin(), whole.begin() + static_cast<long>(seen)));
    for (const WideString& name : progress.Names) EXPECT_EQ(name, W(dir.File("big.zip")));
    EXPECT_EQ(ReadFileBytes(dir.File("big.zip")) == archive, true);
    if (cancelAt < 0) {
      EXPECT_EQ(native, -1);
      std::string out;
      EXPECT_EQ(RunUnix("unzip -tq " + Q(UP(dir, "sfx.exe")), &out), 0) << out;
      ASSERT_TRUE(DeleteFileA(dir.File("sfx.exe").c_str()));
    } else {
      EXPECT_EQ(native, 46);
      EXPECT_EQ(GetFileAttributesA(dir.File("sfx.exe").c_str()), INVALID_FILE_ATTRIBUTES);
    }
  }
}

// An archive on a medium that stops giving its bytes part of the way through.
struct TFailingArchive : TTestSource {
  std::string Bytes;
  int64_t BadFrom = -1, BadTo = -1;  // reads end at this range
  explicit TFailingArchive(std::string bytes) : Bytes(std::move(bytes)) { Size = static_cast<int64_t>(Bytes.size()); }
  void Fill(uint8_t* buffer, int64_t at, int32_t count) override {
    std::memcpy(buffer, Bytes.data() + at, static_cast<size_t>(count));
  }
  int32_t Read(void* buffer, int32_t count) override {
    if (BadFrom >= 0 && Pos < BadTo && Pos + count > BadFrom)
      count = static_cast<int32_t>(std::max<int64_t>(0, BadFrom - Pos));
    return TTestSource::Read(buffer, count);
  }
};

TEST_F(SelfExtracting, AnArchiveThatCannotBeReadWholeGivesTheMakeSFXError) {
  WriteBig(zip.get(), dir);
  const struct {
    const char* what;
    int64_t badFrom, badTo;
    int native;
  } cases[] = {{"every byte readable", -1, -1, -1}, {"unreadable past 1.5 MB", 1500000, 2000000, 56}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TFailingArchive source(ReadFileBytes(dir.File("big.zip")));
    zip->OpenArchive(&source, false);
    source.BadFrom = c.badFrom;
    source.BadTo = c.badTo;
    zip->SetSFXStub(W(dir.File("stub.exe")));
    EXPECT_EQ(NativeOf([&] { zip->MakeSFX(W(dir.File("sfx.exe"))); }), c.native);
    zip->CloseArchive();
    if (c.native < 0) {
      std::string out;
      EXPECT_EQ(RunUnix("unzip -tq " + Q(UP(dir, "sfx.exe")), &out), 0) << out;
      ASSERT_TRUE(DeleteFileA(dir.File("sfx.exe").c_str()));
    } else {
      EXPECT_EQ(GetFileAttributesA(dir.File("sfx.exe").c_str()), INVALID_FILE_ATTRIBUTES);
    }
  }
}

struct Checks : ::testing::Test {
  TempDir dir;
  std::unique_ptr<TZipEngine> zip{new TZipEngine(nullptr)};
  void Py(const std::string& name, const std::string& script) {
    std::string out;
    ASSERT_EQ(RunPython("import sys, zipfile, os\np = sys.argv[1]\n" + script, Q(UP(dir, name)), &out), 0) << out;
  }
};

const char* const kThreeItems =
    "with zipfile.ZipFile(p, 'w', zipfile.ZIP_DEFLATED) as z:\n"
    "    z.writestr('dir/', '')\n"
    "    z.writestr('dir/good.txt', 'good ' * 500)\n"
    "    z.writestr('bad.txt', 'bad data ' * 2000)\n"
    "    z.writestr('last.txt', 'last ' * 300)\n";
// Spoils the deflate stream of bad.txt so that it cannot be inflated at all.
const char* const kSpoilBad =
    "b = bytearray(open(p, 'rb').read()); i = b.find(b'bad.txt') + 7\n"
    "b[i:i + 40] = os.urandom(40)\n"
    "open(p, 'wb').write(bytes(b))\n";

TEST_F(Checks, IsValidArchiveFile) {
  const struct {
    const char* what;
    std::string script;
    bool valid;
  } cases[] = {
      {"a whole archive", kThreeItems, true},
      {"an item that cannot be read", std::string(kThreeItems) + kSpoilBad, false},
      {"cut short", std::string(kThreeItems) + "b = open(p, 'rb').read(); open(p, 'wb').write(b[:len(b) // 2])\n", false},
      {"not an archive", "open(p, 'wb').write(b'just text, no archive' * 50)\n", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Py("v.zip", c.script);
    zip->SetFileName(W(dir.File("v.zip")));
    EXPECT_EQ(zip->IsValidArchiveFile(), c.valid);
    EXPECT_FALSE(zip->Active());
    EXPECT_TRUE(zip->OpenTolerance());
  }
  zip->SetFileName(W(dir.File("missing.zip")));
  EXPECT_FALSE(zip->IsValidArchiveFile());
}

struct Reported {
  std::vector<std::wstring> Names;
  static void On(void* data, TObject*, const WideString& name, TZEProcessOperation, int, int, const WideString&,
                 TZEAction& action) {
    static_cast<Reported*>(data)->Names.push_back(name.str());
    action = fxaIgnore;
  }
};

TEST_F(Checks, RepairKeepsEveryReadableEntryAndReportsTheRest) {
  const struct {
    const char* what;
    bool inPlace;
  } cases[] = {{"into a new file", false}, {"in place", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Py("r.zip", std::string(kThreeItems) + kSpoilBad);
    const std::string damaged = ReadFileBytes(dir.File("r.zip"));
    zip->SetFileName(W(dir.File("r.zip")));
    Reported reported;
    zip->OnProcessFileFailure = TZEProcessFileFailureEvent(&reported, &Reported::On);
    zip->RepairArchive(c.inPlace ? WideString() : W(dir.File("fixed.zip")));
    EXPECT_EQ(reported.Names, std::vector<std::wstring>{L"bad.txt"});
    const std::string result = c.inPlace ? "r.zip" : "fixed.zip";
    if (!c.inPlace) {
      EXPECT_EQ(ReadFileBytes(dir.File("r.zip")), damaged);
    }
    std::string out;
    ASSERT_EQ(RunPython("import sys, zipfile\n"
                        "z = zipfile.ZipFile(sys.argv[1]); assert z.testzip() is None\n"
                        "print(sorted(z.namelist()), z.read('dir/good.txt') == b'good ' * 500)\n",
                        Q(UP(dir, result)), &out),
              0)
        << out;
    EXPECT_NE(out.find("['dir/', 'dir/good.txt', 'last.txt'] True"), std::string::npos) << out;
    EXPECT_EQ(CountFiles(dir.File("*.tmp")), 0);
  }
  // Refused on an open archive; an output that cannot be made leaves the
  // archive alone.
  zip->OpenArchive(2);
  EXPECT_EQ(NativeOf([&] { zip->RepairArchive(W(dir.File("x.zip"))); }), 37);
  zip->CloseArchive();
  const std::string before = ReadFileBytes(dir.File("r.zip"));
  EXPECT_EQ(NativeOf([&] { zip->RepairArchive(W(dir.File("no\\such\\folder\\x.zip"))); }), 36);
  EXPECT_EQ(ReadFileBytes(dir.File("r.zip")), before);
}

}  // namespace
