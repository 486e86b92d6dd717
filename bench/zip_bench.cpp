// zip_bench: AddFiles at level 9 and ExtractFiles over 100 MiB shaped like a
// list data file (600-byte records, mostly zero padding), next to a bare zlib
// raw deflate and inflate of the same bytes in the same process.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <zlib.h>

#include "UcSysUtils.h"
#include "UcWideStreams.h"
#include "Zfdecutil.h"
#include "ZipEngine.h"
#include "ZipUnits.h"
#include "units.h"

namespace {

double Clock() { return PerfCounter() / PerfFreq(); }

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

}  // namespace

int main() {
  RegisterZipUnits();
  StartUnits();
  const size_t total = 100u << 20;
  const std::string data = ListLike(total);
  const double mb = static_cast<double>(total) / (1 << 20);

  wchar_t tmp[MAX_PATH];
  GetTempPathW(MAX_PATH, tmp);
  const WideString dir = WideString(tmp) + L"zip_bench\\";
  WideForceDirectories(dir);
  const WideString src = dir + L"~tmp~bench", arc = dir + L"bench.vq", outDir = dir + L"out\\";
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
      z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data() + at));
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
  t0 = Clock();
  {
    z_stream z{};
    inflateInit2(&z, -15);
    z.next_in = packed.data();
    z.avail_in = static_cast<uInt>(packedSize);
    int r;
    do {
      z.next_out = plain.data();
      z.avail_out = static_cast<uInt>(plain.size());
      r = inflate(&z, Z_NO_FLUSH);
    } while (r == Z_OK);
    inflateEnd(&z);
  }
  const double bareInflate = Clock() - t0;
  // The same inflate with the work extraction cannot skip: the CRC of every
  // byte and the write of the plain file.
  t0 = Clock();
  {
    HANDLE h = CreateFileW((dir + L"plain.bin").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
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
      const DWORD n = static_cast<DWORD>(plain.size() - z.avail_out);
      crc = crc32(crc, plain.data(), n);
      DWORD done = 0;
      WriteFile(h, plain.data(), n, &done, nullptr);
    } while (r == Z_OK);
    inflateEnd(&z);
    CloseHandle(h);
    DeleteFileW((dir + L"plain.bin").c_str());
  }
  const double fileInflate = Clock() - t0;

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
    t0 = Clock();
    zip->OpenArchive(2);
    zip->ExtractFiles(L"~tmp~bench", 0x28BF, WideString());
    zip->CloseArchive();
    extract = Clock() - t0;
    // The same item into a stream that keeps nothing: the engine's own share.
    zip->OpenArchive(2);
    TNullStream sink;
    t0 = Clock();
    zip->ExtractToStream(L"~tmp~bench", &sink);
    toStream = Clock() - t0;
    zip->CloseArchive();
  }
  std::printf("input: %.0f MiB list-like data, compressed to %.2f MiB\n", mb, packedSize / 1048576.0);
  std::printf("AddFiles level 9 : %8.1f MB/s   bare zlib deflate: %8.1f MB/s   (engine/bare %.2f)\n", mb / add,
              mb / bareDeflate, bareDeflate / add);
  std::printf("ExtractFiles     : %8.1f MB/s   bare zlib inflate: %8.1f MB/s   (engine/bare %.2f)\n", mb / extract,
              mb / bareInflate, bareInflate / extract);
  std::printf("ExtractToStream to a discarding stream: %8.1f MB/s   (bare inflate/engine %.2f)\n", mb / toStream,
              bareInflate / toStream);
  std::printf("                   bare zlib inflate + CRC-32 + file write: %8.1f MB/s   (engine/bare %.2f)\n",
              mb / fileInflate, fileInflate / extract);
  WideDeleteFile(src);
  WideDeleteFile(arc);
  WideDeleteFile(outDir + L"~tmp~bench");
  WideRemoveDir(outDir);
  WideRemoveDir(dir);
  FinishUnits();
  return 0;
}
