// The single-volume road through the volume logic: names, sizes, the volume
// state, in-memory and caller's-stream archives.
#include <gtest/gtest.h>

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

}  // namespace
