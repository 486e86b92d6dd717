// zip_bench: AddFiles at level 9 and ExtractFiles over 100 MiB shaped like a
// list data file (600-byte records, mostly zero padding), next to a bare zlib
// raw deflate and inflate of the same bytes in the same process. Extraction
// also gets the stages it is made of, each alone, to show where its time goes.
// The inflate-side figures are the best of several runs: other processes on
// the machine only ever make a run slower.
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <zlib.h>

#include "UcSysUtils.h"
#include "UcWideStreams.h"
#include "ZEInflatePipe.h"
#include "Zecryptutil.h"
#include "ZipEngine.h"
#include "ZipUnits.h"
#include "units.h"

#include "BenchReport.h"

namespace {

double Clock() { return PerfCounter() / PerfFreq(); }

constexpr int RUNS = 7;

// The shortest of RUNS timings of f, which returns the seconds it measured.
double Best(const std::function<double()>& f) {
  double best = 1e30;
  for (int i = 0; i < RUNS; ++i) best = std::min(best, f());
  return best;
}

std::string ListLike(size_t total) {
  std::string s(256, '\0');
  s.replace(0, 12, "C:\\data\\root");
  uint32_t x = 1;
  for (size_t i = 0; s.size() < total; ++i) {
    std::string r(600, '\0');
    std::string name = "document_" + std::to_string(i) + ".docx";
    r.replace(0, name.size(), name);
    x = x * 1103515245 + 12345;
    std::string t = "07.12.2026 08:";
    t += std::to_string(x % 60);
    t += ':';
    t += std::to_string((x >> 8) % 60);
    r.replace(512, t.size(), t);
    r[584] = 'F';
    r[585] = static_cast<char>(0x20);
    for (int k = 0; k < 10; ++k) r[586 + k] = static_cast<char>((x >> (k * 3)) & 0x7F);
    s += r;
  }
  s.resize(total);
  return s;
}

// Writes count bytes to a new file in pieces of piece bytes; with crc set, the
// CRC-32 of each piece is taken first.
void WritePieces(const WideString& name, const uint8_t* data, size_t count, size_t piece, uLong* crc) {
  HANDLE h = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  for (size_t at = 0; at < count; at += piece) {
    const DWORD n = static_cast<DWORD>(std::min(piece, count - at));
    if (crc) *crc = crc32(*crc, data + at, n);
    DWORD done = 0;
    WriteFile(h, data + at, n, &done, nullptr);
  }
  CloseHandle(h);
}

// 20,000 small items: the engine's ExtractFiles into an empty folder against
// a bare loop creating the same files with the same contents. The folder is
// emptied between runs, outside the timing; after the last engine run every
// file must hold its contents. Aim: engine/bare at most 1.3.
void SmallItems(const WideString& dir, int count = 20000) {
  const WideString arc = dir + L"small.zip", out = dir + L"small\\";
  std::vector<std::string> contents(count);
  for (int i = 0; i < count; ++i) contents[i] = "item " + std::to_string(i) + " " + std::string(100 + i % 400, 'x');
  auto name = [](int i) { return WideString(L"s") + WideString(std::to_wstring(i)) + L".txt"; };
  {
    std::unique_ptr<TZipEngine> zip(new TZipEngine(nullptr));
    zip->SetFileName(arc);
    zip->OpenArchive(fmCreate);
    zip->BeginUpdate();
    for (int i = 0; i < count; ++i)
      zip->AddFromBuffer(name(i), contents[i].data(), static_cast<int32_t>(contents[i].size()), 0x20, 0);
    zip->EndUpdate();
    zip->CloseArchive();
  }
  auto clear = [&] {
    for (int i = 0; i < count; ++i) WideDeleteFile(out + name(i));
  };
  WideForceDirectories(out);
  std::unique_ptr<TZipEngine> zip(new TZipEngine(nullptr));
  zip->SetFileName(arc);
  zip->SetBaseDir(out);
  zip->OpenArchive(2);
  double engine = 1e30, bare = 1e30;
  // Alternating runs, so that a busy moment of the machine hurts both sides.
  for (int run = 0; run < 3; ++run) {
    clear();
    double start = Clock();
    zip->ExtractFiles(L"*", 0x28BF, WideString());
    engine = std::min(engine, Clock() - start);
    if (run == 2) {
      bool same = true;
      for (int i = 0; i < count && same; ++i) {
        TUcFileStream f(out + name(i), fmOpenRead | fmShareDenyNone);
        std::string got(static_cast<size_t>(f.Size()), '\0');
        if (!got.empty()) f.ReadBuffer(got.data(), static_cast<int32_t>(got.size()));
        same = got == contents[i];
      }
      CheckSame("small items extracted", same);
    }
    clear();
    start = Clock();
    for (int i = 0; i < count; ++i) {
      HANDLE h = CreateFileW((out + name(i)).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
      DWORD done = 0;
      WriteFile(h, contents[i].data(), static_cast<DWORD>(contents[i].size()), &done, nullptr);
      CloseHandle(h);
    }
    bare = std::min(bare, Clock() - start);
  }
  zip->CloseArchive();
  clear();
  WideRemoveDir(out);
  WideDeleteFile(arc);
  std::printf("ExtractFiles of %d small items: %.2f s   bare loop creating them: %.2f s\n", count, engine, bare);
  ReportAim("ExtractFiles of small items, engine/bare time", engine / bare, 1.30);
}

}  // namespace

int main(int argc, char** argv) {
  RegisterZipUnits();
  StartUnits();
  // "zip_bench small": only the small-items comparison.
  if (argc > 1 && std::string(argv[1]) == "small") {
    wchar_t tmp[MAX_PATH];
    GetTempPathW(MAX_PATH, tmp);
    const WideString dir = WideString(tmp) + L"zip_bench\\";
    WideForceDirectories(dir);
    SmallItems(dir, argc > 2 ? std::stoi(argv[2]) : 20000);
    WideRemoveDir(dir);
    FinishUnits();
    return BenchExitCode();
  }
  const size_t total = 100u << 20;
  const std::string data = ListLike(total);
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(data.data());
  const double mb = static_cast<double>(total) / (1 << 20);

  wchar_t tmp[MAX_PATH];
  GetTempPathW(MAX_PATH, tmp);
  const WideString dir = WideString(tmp) + L"zip_bench\\";
  WideForceDirectories(dir);
  const WideString src = dir + L"~tmp~bench", arc = dir + L"bench.vq", outDir = dir + L"out\\";
  const WideString plainFile = dir + L"plain.bin", extracted = outDir + L"~tmp~bench";
  WideForceDirectories(outDir);
  {
    TUcFileStream f(src, fmCreate);
    f.WriteBuffer(data.data(), static_cast<int32_t>(data.size()));
  }

  // Bare zlib: raw deflate at level 9 of the whole input in 1.5 MiB pieces
  // with a sync flush each, then raw inflate of that into 1 MiB pieces.
  std::vector<uint8_t> packed(compressBound(static_cast<uLong>(total)) + (1 << 20));
  size_t packedSize = 0;
  double t0 = Clock();
  {
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    for (size_t at = 0; at < total; at += 1572864) {
      size_t n = std::min<size_t>(1572864, total - at);
      z.next_in = const_cast<Bytef*>(bytes + at);
      z.avail_in = static_cast<uInt>(n);
      z.next_out = packed.data() + z.total_out;
      z.avail_out = static_cast<uInt>(packed.size() - z.total_out);
      deflate(&z, at + n == total ? Z_FINISH : Z_SYNC_FLUSH);
    }
    packedSize = z.total_out;
    deflateEnd(&z);
  }
  const double bareDeflate = Clock() - t0;

  std::vector<uint8_t> plain(1 << 20);
  // Bare inflate; with write set, each piece's CRC-32 and its write to a new
  // file follow, as extraction on one thread does them.
  auto bareRun = [&](bool write) {
    HANDLE h = write ? CreateFileW(plainFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr)
                     : INVALID_HANDLE_VALUE;
    const double start = Clock();
    z_stream z{};
    inflateInit2(&z, -15);
    z.next_in = packed.data();
    z.avail_in = static_cast<uInt>(packedSize);
    uLong crc = 0;
    int r;
    do {
      z.next_out = plain.data();
      z.avail_out = static_cast<uInt>(plain.size());
      r = inflate(&z, Z_NO_FLUSH);
      if (write) {
        const DWORD n = static_cast<DWORD>(plain.size() - z.avail_out);
        crc = crc32(crc, plain.data(), n);
        DWORD done = 0;
        WriteFile(h, plain.data(), n, &done, nullptr);
      }
    } while (r == Z_OK);
    inflateEnd(&z);
    if (write) CloseHandle(h);
    const double took = Clock() - start;
    // Removing a large new file costs more than writing it: outside the time.
    if (write) DeleteFileW(plainFile.c_str());
    return took;
  };
  const double bareInflate = Best([&] { return bareRun(false); });
  const double fileInflate = Best([&] { return bareRun(true); });

  // The stages extraction adds to inflate, each alone.
  uLong crcAlone = 0;
  const double crcOnly = Best([&] {
    const double start = Clock();
    crcAlone = 0;
    for (size_t at = 0; at < total; at += plain.size())
      crcAlone = crc32(crcAlone, bytes + at, static_cast<uInt>(std::min(plain.size(), total - at)));
    return Clock() - start;
  });
  auto writeRun = [&](size_t piece) {
    return Best([&] {
      const double start = Clock();
      WritePieces(plainFile, bytes, total, piece, nullptr);
      const double took = Clock() - start;
      DeleteFileW(plainFile.c_str());
      return took;
    });
  };
  const double write1 = writeRun(1 << 20), write4 = writeRun(4 << 20);
  const double crcWrite = Best([&] {
    const double start = Clock();
    uLong crc = 0;
    WritePieces(plainFile, bytes, total, 1 << 20, &crc);
    const double took = Clock() - start;
    DeleteFileW(plainFile.c_str());
    return took;
  });

  // The engine's inflate stage, over the same packed bytes in memory, with the
  // CRC-32 of every block: on the caller's thread, and with the worker.
  bool pipeCrcRight = true;
  auto pipeRun = [&](bool threaded) {
    return Best([&] {
      const double start = Clock();
      TZEInflatePipe pipe(threaded, total);
      pipe.Init();
      uLong crc = 0;
      size_t fed = 0;
      for (bool more = true; more;) {
        TZEInflatePipe::TBlock block;
        switch (pipe.Next(block)) {
          case TZEInflatePipe::peNeedInput: {
            const size_t n = std::min<size_t>(ZE_DECOMPRESSION_BUFFER, packedSize - fed);
            if (n == 0) {
              pipe.EndInput();
            } else {
              pipe.Feed(packed.data() + fed, n);
              fed += n;
            }
            break;
          }
          case TZEInflatePipe::peBlock:
            crc = pipe.Crc(block, crc);
            pipe.Release(block);
            break;
          default: more = false;
        }
      }
      const double took = Clock() - start;
      pipeCrcRight = pipeCrcRight && crc == crcAlone;
      return took;
    });
  };
  const double pipeInline = pipeRun(false), pipeThreaded = pipeRun(true);

  double add = 0, extract = 0, toStream = 0;
  {
    std::unique_ptr<TZipEngine> zip(new TZipEngine(nullptr));
    zip->SetCompressionMode(9);
    zip->SetBaseDir(dir);
    zip->SetFileName(arc);
    t0 = Clock();
    zip->OpenArchive(fmCreate);
    zip->AddFiles(src, 0x28BF, WideString());
    zip->CloseArchive();
    add = Clock() - t0;
    zip->SetBaseDir(outDir);
    bool firstRun = true;
    extract = Best([&] {
      const double start = Clock();
      zip->OpenArchive(2);
      zip->ExtractFiles(L"~tmp~bench", 0x28BF, WideString());
      zip->CloseArchive();
      const double took = Clock() - start;
      // What was extracted is what was added (checked once, outside the time).
      if (firstRun) {
        std::string got;
        if (WideFileExists(extracted)) {
          TUcFileStream f(extracted, fmOpenRead | fmShareDenyNone);
          got.resize(static_cast<size_t>(f.Size()));
          if (!got.empty()) f.ReadBuffer(got.data(), static_cast<int32_t>(got.size()));
        }
        CheckSame("ExtractFiles output", got == data);
        firstRun = false;
      }
      WideDeleteFile(extracted);
      return took;
    });
    // The same item into a stream that keeps nothing: the engine's own share.
    zip->OpenArchive(2);
    toStream = Best([&] {
      TNullStream sink;
      const double start = Clock();
      zip->ExtractToStream(L"~tmp~bench", &sink);
      return Clock() - start;
    });
    zip->CloseArchive();
  }
  std::printf("input: %.0f MiB list-like data, compressed to %.2f MiB; best of %d runs on the inflate side\n", mb,
              packedSize / 1048576.0, RUNS);
  std::printf("AddFiles level 9 : %8.1f MB/s   bare zlib deflate: %8.1f MB/s\n", mb / add, mb / bareDeflate);
  ReportAim("AddFiles level 9, engine/bare deflate time", add / bareDeflate, 1.10);
  std::printf("ExtractFiles     : %8.1f MB/s   bare zlib inflate: %8.1f MB/s\n", mb / extract, mb / bareInflate);
  ReportAim("ExtractFiles, engine/bare inflate time", extract / bareInflate, 1.10);
  std::printf("ExtractToStream to a discarding stream: %8.1f MB/s   (engine/bare inflate %.2f)\n", mb / toStream,
              bareInflate / toStream);
  std::printf("stages alone: zlib crc32 %8.1f MB/s; WriteFile to a new file in 1 MiB pieces %8.1f MB/s, in 4 MiB "
              "pieces %8.1f MB/s; crc32 + WriteFile %8.1f MB/s\n",
              mb / crcOnly, mb / write1, mb / write4, mb / crcWrite);
  std::printf("one thread, bare zlib inflate + crc32 + WriteFile: %8.1f MB/s   (ExtractFiles/this %.2f)\n",
              mb / fileInflate, fileInflate / extract);
  std::printf("engine inflate + crc32, no file: one thread %8.1f MB/s, with the worker %8.1f MB/s\n", mb / pipeInline,
              mb / pipeThreaded);
  CheckSame("the engine's inflate CRC-32", pipeCrcRight);
  SmallItems(dir);
  WideDeleteFile(src);
  WideDeleteFile(arc);
  WideDeleteFile(extracted);
  WideRemoveDir(outDir);
  WideRemoveDir(dir);
  FinishUnits();
  return BenchExitCode();
}
