// A 1 GiB item goes in and out in buffer-sized pieces: the memory the process
// commits stays within a few MiB of where it started.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "ZipTestUtil.h"

namespace {

// The process's committed private memory and working set, in bytes.
struct TMemory {
  size_t Private = 0, WorkingSet = 0;
};

TMemory MemoryNow() {
  struct Counters {
    DWORD cb;
    DWORD PageFaultCount;
    SIZE_T PeakWorkingSetSize, WorkingSetSize, QuotaPeakPagedPoolUsage, QuotaPagedPoolUsage,
        QuotaPeakNonPagedPoolUsage, QuotaNonPagedPoolUsage, PagefileUsage, PeakPagefileUsage, PrivateUsage;
  } c{};
  c.cb = sizeof c;
  using Fn = BOOL(WINAPI*)(HANDLE, void*, DWORD);
  static Fn fn = reinterpret_cast<Fn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "K32GetProcessMemoryInfo")));
  TMemory m;
  if (fn && fn(GetCurrentProcess(), &c, sizeof c)) {
    m.Private = c.PrivateUsage;
    m.WorkingSet = c.WorkingSetSize;
  }
  return m;
}

// 1 GiB shaped like a list data file, made on the fly from the position.
uint8_t ByteAt(int64_t pos) {
  const int64_t r = pos % 600;
  if (r < 8) return static_cast<uint8_t>('a' + (pos / 600 + r) % 26);
  if (r == 590) return static_cast<uint8_t>((pos / 600) & 0xFF);
  return 0;
}

struct TGenerated : TTestSource {
  void Fill(uint8_t* p, int64_t at, int32_t n) override {
    std::memset(p, 0, static_cast<size_t>(n));
    // Only the bytes that are not zero are written.
    for (int64_t start = at / 600 * 600; start < at + n; start += 600) {
      for (int r : {0, 1, 2, 3, 4, 5, 6, 7, 590}) {
        const int64_t k = start + r;
        if (k >= at && k < at + n) p[k - at] = ByteAt(k);
      }
    }
  }
};

// Takes what is extracted and checks it against the generator.
struct TChecking : TStream {
  int64_t Pos = 0;
  bool Same = true;
  int32_t Write(const void* buffer, int32_t count) override {
    const uint8_t* p = static_cast<const uint8_t*>(buffer);
    for (int32_t i = 0; i < count && Same; i += 997) Same = p[i] == ByteAt(Pos + i);
    if (count > 0) Same = Same && p[count - 1] == ByteAt(Pos + count - 1);
    Pos += count;
    return count;
  }
  int32_t Read(void*, int32_t) override { return 0; }
  using TStream::Seek;
  int64_t Seek(int64_t, TSeekOrigin) override { return Pos; }
};

struct Peak {
  TMemory Base = MemoryNow();
  size_t MaxPrivate = 0, MaxWorkingSet = 0;
  int Samples = 0;
  static void OnFile(void* data, TObject*, const WideString&, double, TZEProcessOperation, TZEProgressPhase, bool&) {
    auto* p = static_cast<Peak*>(data);
    const TMemory m = MemoryNow();
    p->MaxPrivate = std::max(p->MaxPrivate, m.Private);
    p->MaxWorkingSet = std::max(p->MaxWorkingSet, m.WorkingSet);
    ++p->Samples;
  }
  size_t PrivateGrowth() const { return MaxPrivate > Base.Private ? MaxPrivate - Base.Private : 0; }
  size_t WorkingSetGrowth() const { return MaxWorkingSet > Base.WorkingSet ? MaxWorkingSet - Base.WorkingSet : 0; }
};

constexpr size_t kFewMiB = 12u << 20;

TEST(Streaming, AGibibyteInAndOutInBoundedMemory) {
  TempDir dir;
  std::unique_ptr<TZipEngine> zip(new TZipEngine(nullptr));
  zip->SetCompressionMode(1);
  zip->SetFileName(W(dir.File("big.zip")));
  zip->OpenArchive(fmCreate);
  TGenerated gen;
  gen.Size = 1LL << 30;
  Peak add;
  zip->OnFileProgress = TZEFileProgressEvent(&add, &Peak::OnFile);
  zip->AddFromStream(L"big.dat", &gen, false, 0, 0, 0x20, 0);
  EXPECT_GT(add.Samples, 1000);
  EXPECT_LT(add.PrivateGrowth(), kFewMiB) << add.PrivateGrowth();
  EXPECT_LT(add.WorkingSetGrowth(), kFewMiB) << add.WorkingSetGrowth();
  EXPECT_EQ(zip->DirManager()->Directory().GetItemPtr(0).UnpackedSize(), 1LL << 30);

  Peak extract;
  zip->OnFileProgress = TZEFileProgressEvent(&extract, &Peak::OnFile);
  TChecking sink;
  zip->ExtractToStream(L"big.dat", &sink);
  EXPECT_EQ(sink.Pos, 1LL << 30);
  EXPECT_TRUE(sink.Same);
  EXPECT_GT(extract.Samples, 1000);
  EXPECT_LT(extract.PrivateGrowth(), kFewMiB) << extract.PrivateGrowth();
  EXPECT_LT(extract.WorkingSetGrowth(), kFewMiB) << extract.WorkingSetGrowth();
  zip->CloseArchive();
  std::string out;
  EXPECT_EQ(RunUnix("unzip -p " + Q(UP(dir, "big.zip")) + " | wc -c", &out), 0) << out;
  EXPECT_EQ(std::stoll(out), 1LL << 30);
}

}  // namespace
