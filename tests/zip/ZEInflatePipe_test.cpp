// Inflating on a worker: the pipe against Python's zlib (bytes, CRC-32, damaged
// and cut streams, failed reads, early exits), and large archive items
// through the engine: exact extraction, bad data, an item longer than its
// record, cancel, a throwing handler and a full disk.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <sstream>
#include <stdexcept>

#include "UcSysUtils.h"
#include "ZEInflatePipe.h"
#include "ZipTestUtil.h"

namespace {

// Compressible text with runs of zero bytes, the same on every run: Python
// makes it, deflates it and reports what its own zlib says about it.
const char* const kMakeData =
    "import random\n"
    "def make(size):\n"
    "    r = random.Random(7)\n"
    "    words = [bytes(r.choice(b'abcdefghij\\xe0\\xef') for _ in range(r.randint(3, 12))) for _ in range(700)]\n"
    "    parts, n = [], 0\n"
    "    while n < size:\n"
    "        w = r.choice(words) + b'\\0' * r.randint(0, 40)\n"
    "        parts.append(w)\n"
    "        n += len(w)\n"
    "    return b''.join(parts)[:size]\n";

constexpr size_t kPlainSize = 9u << 20;
constexpr size_t kGoodPart = 3u << 20;  // where the damaged stream breaks

struct TPeer {
  std::string Plain, Raw, Damaged;
  uLong Crc = 0;
  size_t FirstMiBOut = 0;  // what the first MiB of Raw inflates to
};

const TPeer& Peer() {
  static TPeer* peer = nullptr;
  if (peer) return *peer;
  TempDir dir;
  const std::string py = std::string("import sys, zlib\n") + kMakeData +
                         "d = make(" + std::to_string(kPlainSize) + ")\n"
                         "c = zlib.compressobj(9, zlib.DEFLATED, -15)\n"
                         "raw = c.compress(d) + c.flush()\n"
                         // The damaged stream: the first part, a full flush,
                         // then a block of the reserved type 3.
                         "c = zlib.compressobj(9, zlib.DEFLATED, -15)\n"
                         "bad = c.compress(d[:" + std::to_string(kGoodPart) + "]) + c.flush(zlib.Z_FULL_FLUSH) + b'\\x07' + raw[-4096:]\n"
                         "try:\n"
                         "    zlib.decompressobj(-15).decompress(bad)\n"
                         "    sys.exit('the damaged stream inflates')\n"
                         "except zlib.error:\n"
                         "    pass\n"
                         "open(sys.argv[1] + '/plain.bin', 'wb').write(d)\n"
                         "open(sys.argv[1] + '/raw.bin', 'wb').write(raw)\n"
                         "open(sys.argv[1] + '/bad.bin', 'wb').write(bad)\n"
                         "print(zlib.crc32(d), len(zlib.decompressobj(-15).decompress(raw[:1 << 20])))\n";
  std::string out;
  EXPECT_EQ(RunPython(py, Q(UnixPath(dir.Path())), &out), 0) << out;
  peer = new TPeer;
  peer->Plain = ReadFileBytes(dir.File("plain.bin"));
  peer->Raw = ReadFileBytes(dir.File("raw.bin"));
  peer->Damaged = ReadFileBytes(dir.File("bad.bin"));
  std::istringstream(out) >> peer->Crc >> peer->FirstMiBOut;
  return *peer;
}

struct TDrained {
  std::string Out;
  uLong Crc = 0;
  TZEInflatePipe::TEvent Last = TZEInflatePipe::peBlock;
  size_t Blocks = 0, LargestBlock = 0;
};

// Runs the pipe the way the engine does: input in pieces of chunk bytes on
// request, every block checked into the CRC and given back. A slow caller
// sleeps before each block, which leaves the worker time to take CRC pieces.
TDrained Drain(TZEInflatePipe& pipe, const std::string& in, size_t chunk, bool slowCaller = false) {
  TDrained d;
  size_t fed = 0;
  for (;;) {
    TZEInflatePipe::TBlock block;
    const TZEInflatePipe::TEvent e = pipe.Next(block);
    if (e == TZEInflatePipe::peNeedInput) {
      if (fed >= in.size()) {
        pipe.EndInput();
      } else {
        const size_t n = std::min(chunk, in.size() - fed);
        pipe.Feed(reinterpret_cast<const uint8_t*>(in.data()) + fed, n);
        fed += n;
      }
      continue;
    }
    if (e != TZEInflatePipe::peBlock) {
      d.Last = e;
      return d;
    }
    if (slowCaller) Sleep(1);
    d.Out.append(reinterpret_cast<const char*>(block.Data), block.Count);
    d.Crc = pipe.Crc(block, d.Crc);
    ++d.Blocks;
    d.LargestBlock = std::max(d.LargestBlock, block.Count);
    pipe.Release(block);
  }
}

bool IsPrefix(const std::string& part, const std::string& whole) { return whole.compare(0, part.size(), part) == 0; }

TEST(InflatePipe, BytesAndCrcEqualZlibOnBothRoadsForAnyPieceSizes) {
  const TPeer& p = Peer();
  ASSERT_EQ(p.Plain.size(), kPlainSize);
  struct {
    size_t Chunk, Block;
    int Slots;
    bool Slow;
  } cases[] = {{1u << 20, ZE_DECOMPRESSION_BUFFER, 4, false},
               {777, 65537, 3, false},
               {5 * 65536 + 3, 200000, 2, false},
               {1u << 20, 256u << 10, 6, true},
               {p.Raw.size(), 70000, 2, true}};
  for (bool threaded : {false, true}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(testing::Message() << "threaded " << threaded << " chunk " << c.Chunk << " block " << c.Block);
      TZEInflatePipe pipe(threaded, p.Plain.size(), c.Block, c.Slots);
      ASSERT_TRUE(pipe.Init());
      EXPECT_EQ(pipe.Threaded(), threaded);
      const TDrained d = Drain(pipe, p.Raw, c.Chunk, c.Slow && threaded);
      EXPECT_EQ(d.Last, TZEInflatePipe::peEnd);
      EXPECT_EQ(d.Out.size(), p.Plain.size());
      EXPECT_TRUE(d.Out == p.Plain);
      EXPECT_EQ(d.Crc, p.Crc);
      EXPECT_LE(d.LargestBlock, c.Block);
    }
  }
}

TEST(InflatePipe, TheDeclaredSizeBoundsWhatIsInflated) {
  const TPeer& p = Peer();
  for (bool threaded : {false, true}) {
    // The block that passes the limit is handed out, so the caller sees the
    // item is too long; nothing after it.
    const uint64_t limit = (3u << 20) + 5;
    TZEInflatePipe pipe(threaded, limit, 1u << 20, 4);
    ASSERT_TRUE(pipe.Init());
    const TDrained d = Drain(pipe, p.Raw, 1u << 20);
    EXPECT_EQ(d.Last, TZEInflatePipe::peError);
    EXPECT_GT(d.Out.size(), limit);
    EXPECT_LE(d.Out.size(), limit + (1u << 20));
    EXPECT_TRUE(IsPrefix(d.Out, p.Plain));
    // A tiny limit gives blocks of limit + 1 bytes at most.
    TZEInflatePipe tiny(threaded, 10, 1u << 20, 4);
    ASSERT_TRUE(tiny.Init());
    const TDrained t = Drain(tiny, p.Raw, 1u << 20);
    EXPECT_EQ(t.Last, TZEInflatePipe::peError);
    EXPECT_EQ(t.Out, p.Plain.substr(0, 11));
    // An empty item with deflated data.
    TZEInflatePipe none(threaded, 0, 1u << 20, 4);
    ASSERT_TRUE(none.Init());
    EXPECT_EQ(Drain(none, p.Raw, 1u << 20).Last, TZEInflatePipe::peError);
  }
}

TEST(InflatePipe, DamagedAndCutStreams) {
  const TPeer& p = Peer();
  for (bool threaded : {false, true}) {
    SCOPED_TRACE(threaded);
    // Good blocks come out before the error; the output of the failing zlib
    // call is dropped.
    TZEInflatePipe bad(threaded, p.Plain.size(), 1u << 20, 4);
    ASSERT_TRUE(bad.Init());
    const TDrained d = Drain(bad, p.Damaged, 1u << 20);
    EXPECT_EQ(d.Last, TZEInflatePipe::peError);
    EXPECT_LE(d.Out.size(), kGoodPart);
    EXPECT_GE(d.Out.size() + (1u << 20), kGoodPart);
    EXPECT_TRUE(IsPrefix(d.Out, p.Plain));
    // Input that ends before the stream does: the end of the input.
    TZEInflatePipe cut(threaded, p.Plain.size(), 1u << 20, 4);
    ASSERT_TRUE(cut.Init());
    const TDrained c = Drain(cut, p.Raw.substr(0, p.Raw.size() / 2), 100000);
    EXPECT_EQ(c.Last, TZEInflatePipe::peEnd);
    EXPECT_LT(c.Out.size(), p.Plain.size());
    EXPECT_TRUE(IsPrefix(c.Out, p.Plain));
    // Garbage from the first byte on.
    TZEInflatePipe junk(threaded, p.Plain.size(), 1u << 20, 4);
    ASSERT_TRUE(junk.Init());
    const TDrained j = Drain(junk, std::string(5000, '\xFF'), 1000);
    EXPECT_EQ(j.Last, TZEInflatePipe::peError);
    EXPECT_TRUE(j.Out.empty());
  }
}

// A failed read is met where reading and inflating in turn would meet it:
// after every block the input before it gives.
TEST(InflatePipe, AFailedReadComesAfterTheBlocksBeforeIt) {
  const TPeer& p = Peer();
  for (bool threaded : {false, true}) {
    for (bool withException : {false, true}) {
      SCOPED_TRACE(testing::Message() << threaded << withException);
      TZEInflatePipe pipe(threaded, p.Plain.size(), 1u << 20, 3);
      ASSERT_TRUE(pipe.Init());
      std::string out;
      int asked = 0;
      bool raised = false;
      TZEInflatePipe::TEvent last = TZEInflatePipe::peBlock;
      try {
        for (;;) {
          TZEInflatePipe::TBlock block;
          last = pipe.Next(block);
          if (last == TZEInflatePipe::peNeedInput) {
            if (asked++ == 0)
              pipe.Feed(reinterpret_cast<const uint8_t*>(p.Raw.data()), 1u << 20);
            else
              pipe.FailInput(withException ? std::make_exception_ptr(std::runtime_error("read")) : nullptr);
            continue;
          }
          if (last != TZEInflatePipe::peBlock) break;
          out.append(reinterpret_cast<const char*>(block.Data), block.Count);
          pipe.Release(block);
        }
      } catch (const std::runtime_error&) {
        raised = true;
      }
      EXPECT_EQ(raised, withException);
      if (!withException) {
        EXPECT_EQ(last, TZEInflatePipe::peError);
      }
      EXPECT_EQ(asked, 2);
      EXPECT_EQ(out.size(), p.FirstMiBOut);
      EXPECT_TRUE(IsPrefix(out, p.Plain));
    }
  }
}

TEST(InflatePipe, LeavingEarlyEndsTheWorker) {
  const TPeer& p = Peer();
  {
    TZEInflatePipe idle(true, p.Plain.size());
    ASSERT_TRUE(idle.Init());
  }
  {
    // The worker is inflating ahead while the caller holds a block and leaves.
    TZEInflatePipe pipe(true, p.Plain.size(), 65536, 4);
    ASSERT_TRUE(pipe.Init());
    TZEInflatePipe::TBlock block;
    ASSERT_EQ(pipe.Next(block), TZEInflatePipe::peNeedInput);
    pipe.Feed(reinterpret_cast<const uint8_t*>(p.Raw.data()), p.Raw.size());
    ASSERT_EQ(pipe.Next(block), TZEInflatePipe::peBlock);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(block.Data), block.Count), p.Plain.substr(0, block.Count));
  }
}

TEST(InflatePipe, WithoutSlimLocksTheCallersThreadInflates) {
  const TPeer& p = Peer();
  UnitFini_ZEInflatePipe();  // as on a system older than Windows Vista
  TZEInflatePipe pipe(true, p.Plain.size(), 300000, 4);
  const bool started = pipe.Init();
  const bool threaded = pipe.Threaded();
  const TDrained d = Drain(pipe, p.Raw, 1u << 20);
  UnitInit_ZEInflatePipe();
  EXPECT_TRUE(started);
  EXPECT_FALSE(threaded);
  EXPECT_EQ(d.Last, TZEInflatePipe::peEnd);
  EXPECT_TRUE(d.Out == p.Plain);
  EXPECT_EQ(d.Crc, p.Crc);
}

// --- large items through the engine ---------------------------------------------------

constexpr size_t kLargeSize = 6u << 20;  // above the size that gets a worker
static_assert(kLargeSize >= ZE_THREADED_INFLATE_MIN);

struct TCounting : TStream {
  std::string Data;
  size_t FailAt = std::string::npos;  // the first write that reaches this offset fails once
  int Writes = 0, WritesAfterFailure = 0;
  bool Failed = false;
  int64_t Pos = 0;
  int32_t Write(const void* buffer, int32_t count) override {
    ++Writes;
    if (Failed) ++WritesAfterFailure;
    if (!Failed && FailAt != std::string::npos && static_cast<size_t>(Pos) + count > FailAt) {
      Failed = true;
      return 0;
    }
    Data.resize(static_cast<size_t>(Pos));
    Data.append(static_cast<const char*>(buffer), static_cast<size_t>(count));
    Pos += count;
    return count;
  }
  int32_t Read(void*, int32_t) override { return 0; }
  using TStream::Seek;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override {
    Pos = origin == soBeginning ? offset : origin == soCurrent ? Pos + offset : static_cast<int64_t>(Data.size()) + offset;
    return Pos;
  }
};

struct TAnswers {
  std::vector<int> Natives;
  int DiskFull = 0;
  bool CancelOnDiskFull = false;
  double CancelAbove = 1000;
  int ThrowAtCall = -1, Calls = 0;
  static void OnFailure(void* data, TObject*, const WideString&, TZEProcessOperation, int native, int, const WideString&,
                        TZEAction& action) {
    static_cast<TAnswers*>(data)->Natives.push_back(native);
    action = fxaIgnore;
  }
  static void OnProgress(void* data, TObject*, const WideString&, double progress, TZEProcessOperation,
                         TZEProgressPhase phase, bool& cancel) {
    auto* a = static_cast<TAnswers*>(data);
    if (phase != ppProcess) return;
    if (++a->Calls == a->ThrowAtCall) throw Exception("handler stops");
    if (progress > a->CancelAbove) cancel = true;
  }
  static void OnDiskFull(void* data, TObject*, int, const WideString&, bool& cancel) {
    auto* a = static_cast<TAnswers*>(data);
    ++a->DiskFull;
    cancel = a->CancelOnDiskFull;
  }
};

struct LargeItems : ::testing::Test {
  TempDir dir;
  std::unique_ptr<TZipEngine> zip{new TZipEngine(nullptr)};
  TAnswers answers;
  std::string plain;
  void SetUp() override {
    CreateDirectoryA(dir.File("out").c_str(), nullptr);
    zip->SetBaseDir(W(dir.File("out")));
    zip->OnProcessFileFailure = TZEProcessFileFailureEvent(&answers, &TAnswers::OnFailure);
    zip->OnFileProgress = TZEFileProgressEvent(&answers, &TAnswers::OnProgress);
    zip->OnDiskFull = TZEOnDiskFullEvent(&answers, &TAnswers::OnDiskFull);
  }
  // Python's zipfile writes big.dat (deflated) and small.txt; patch runs on
  // the archive's bytes b, with the offset o of big.dat's data.
  void MakeArchive(const std::string& patch = "") {
    const std::string py = std::string("import sys, zipfile, struct\n") + kMakeData +
                           "d = make(" + std::to_string(kLargeSize) + ")\n"
                           "name = sys.argv[1] + '/big.zip'\n"
                           "with zipfile.ZipFile(name, 'w', zipfile.ZIP_DEFLATED) as z:\n"
                           "    z.writestr('big.dat', d)\n"
                           "    z.writestr('small.txt', 'small')\n"
                           "open(sys.argv[1] + '/plain.bin', 'wb').write(d)\n"
                           "b = bytearray(open(name, 'rb').read())\n"
                           "o = 30 + struct.unpack('<HH', b[26:30])[0] + struct.unpack('<HH', b[26:30])[1]\n"
                           "c = b.find(b'PK\\x01\\x02')\n" +
                           patch + "open(name, 'wb').write(bytes(b))\n";
    std::string out;
    ASSERT_EQ(RunPython(py, Q(UnixPath(dir.Path())), &out), 0) << out;
    plain = ReadFileBytes(dir.File("plain.bin"));
    ASSERT_EQ(plain.size(), kLargeSize);
    zip->SetFileName(W(dir.File("big.zip")));
    zip->OpenArchive(2);
  }
  std::set<std::string> OutFolder() {
    std::set<std::string> names;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA(dir.File("out\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return names;
    do
      if (std::string(fd.cFileName) != "." && std::string(fd.cFileName) != "..") names.insert(fd.cFileName);
    while (FindNextFileA(h, &fd));
    FindClose(h);
    return names;
  }
};

TEST_F(LargeItems, ExtractAndTestExactly) {
  MakeArchive();
  zip->ExtractFiles(L"*", 0x28BF, L"");
  EXPECT_TRUE(answers.Natives.empty());
  EXPECT_TRUE(ReadFileBytes(dir.File("out\\big.dat")) == plain);
  EXPECT_EQ(ReadFileBytes(dir.File("out\\small.txt")), "small");
  EXPECT_EQ(OutFolder(), (std::set<std::string>{"big.dat", "small.txt"}));
  zip->TestFiles(L"*", 0x28BF, L"");
  EXPECT_TRUE(answers.Natives.empty());
  EXPECT_GT(answers.Calls, 6);  // progress for every block, as before
}

TEST_F(LargeItems, DamagedDataKeepsTheOldFileAndLeavesNoTemporaryFile) {
  // A byte in the middle of the deflated data, and separately a wrong CRC.
  for (const char* patch : {"b[o + 600000] ^= 0x55\n", "b[14] ^= 1\nb[c + 16] ^= 1\n"}) {
    SCOPED_TRACE(patch);
    answers.Natives.clear();
    MakeArchive(patch);
    WriteFileBytes(dir.File("out\\big.dat"), "precious");
    zip->ExtractFiles(L"big.dat", 0x28BF, L"");
    EXPECT_EQ(answers.Natives, std::vector<int>{8});
    EXPECT_EQ(ReadFileBytes(dir.File("out\\big.dat")), "precious");
    EXPECT_EQ(OutFolder(), std::set<std::string>{"big.dat"});
    EXPECT_EQ(NativeOf([&] {
                TCounting sink;
                zip->ExtractToStream(L"big.dat", &sink);
              }),
              8);
    zip->CloseArchive();
  }
}

TEST_F(LargeItems, AnItemLongerThanItsRecordFailsWithinTheRecordedSize) {
  // Both headers say 5 MiB; the data holds 6.
  const std::string fiveMiB = std::to_string(5u << 20);
  MakeArchive("struct.pack_into('<I', b, 22, " + fiveMiB + ")\nstruct.pack_into('<I', b, c + 24, " + fiveMiB + ")\n");
  TCounting sink;
  EXPECT_EQ(NativeOf([&] { zip->ExtractToStream(L"big.dat", &sink); }), 8);
  EXPECT_LE(sink.Data.size(), 5u << 20);
  EXPECT_TRUE(IsPrefix(sink.Data, plain));
  zip->ExtractFiles(L"big.dat", 0x28BF, L"");
  EXPECT_EQ(answers.Natives, std::vector<int>{8});
  EXPECT_TRUE(OutFolder().empty());
}

TEST_F(LargeItems, CancelInTheMiddleLeavesNothingBehind) {
  MakeArchive();
  answers.CancelAbove = 30;
  EXPECT_EQ(NativeOf([&] { zip->ExtractFiles(L"big.dat", 0x28BF, L""); }), 46);
  EXPECT_TRUE(OutFolder().empty());
  // The engine works on afterwards.
  answers.CancelAbove = 1000;
  zip->ExtractFiles(L"big.dat", 0x28BF, L"");
  EXPECT_TRUE(ReadFileBytes(dir.File("out\\big.dat")) == plain);
  // Into a stream too: a cancel in the middle is reported, not a short success.
  answers.CancelAbove = 30;
  TCounting part;
  EXPECT_EQ(NativeOf([&] { zip->ExtractToStream(L"big.dat", &part); }), 46);
  EXPECT_LT(part.Data.size(), plain.size());
}

TEST_F(LargeItems, AThrowingHandlerLeavesTheEngineUsable) {
  MakeArchive();
  answers.ThrowAtCall = 3;
  TCounting first;
  EXPECT_THROW(zip->ExtractToStream(L"big.dat", &first), Exception);
  EXPECT_LE(first.Data.size(), 2 * static_cast<size_t>(ZE_DECOMPRESSION_BUFFER));
  answers.ThrowAtCall = -1;
  TCounting second;
  zip->ExtractToStream(L"big.dat", &second);
  EXPECT_TRUE(second.Data == plain);
}

TEST_F(LargeItems, AFullDiskIsAskedAboutOnceAndRetriedOrStopsTheWrites) {
  MakeArchive();
  TCounting retried;
  retried.FailAt = (2u << 20) + 100;
  zip->ExtractToStream(L"big.dat", &retried);
  EXPECT_EQ(answers.DiskFull, 1);
  EXPECT_TRUE(retried.Data == plain);

  answers.DiskFull = 0;
  answers.CancelOnDiskFull = true;
  TCounting stopped;
  stopped.FailAt = (2u << 20) + 100;
  // A stream that got only part of the item is a failure, not a short success.
  EXPECT_EQ(NativeOf([&] { zip->ExtractToStream(L"big.dat", &stopped); }), 46);
  EXPECT_EQ(answers.DiskFull, 1);
  EXPECT_EQ(stopped.WritesAfterFailure, 0);
  EXPECT_EQ(stopped.Data, plain.substr(0, 2u << 20));
}

}  // namespace
