// The codec: CRC, mode tables, and deflate output compared with zlib driven
// the same way from Python.
#include <gtest/gtest.h>

#include <memory>

#include "ZECodec.h"
#include "ZipTestUtil.h"

namespace {

TEST(ZECodec, Crc32OfTheCheckString) {
  uint32_t crc = 0xFFFFFFFF;
  ZipCrc32("123456789", 9, crc);
  EXPECT_EQ(~crc, 0xCBF43926u);
  uint32_t same = 0x12345678;
  ZipCrc32(nullptr, 5, same);
  ZipCrc32("x", 0, same);
  ZipCrc32("x", -1, same);
  EXPECT_EQ(same, 0x12345678u);
  // In pieces it is the same running value.
  uint32_t a = 0xFFFFFFFF;
  ZipCrc32("1234", 4, a);
  ZipCrc32("56789", 5, a);
  EXPECT_EQ(~a, 0xCBF43926u);
  EXPECT_EQ(ZipCrc32Table()[1], 0x77073096u);
}

TEST(ZECodec, ModeLevelAndBufferTables) {
  const TZECompressionLevel levels[10] = {
      TZECompressionLevel::clNone,   TZECompressionLevel::clFastest, TZECompressionLevel::clFastest,
      TZECompressionLevel::clFastest, TZECompressionLevel::clNormal, TZECompressionLevel::clNormal,
      TZECompressionLevel::clNormal, TZECompressionLevel::clMax,     TZECompressionLevel::clMax,
      TZECompressionLevel::clMax};
  for (int m = 0; m < 10; ++m) EXPECT_EQ(ModeToLevel(m), levels[m]) << m;
  EXPECT_EQ(ModeToLevel(10), TZECompressionLevel::clNone);
  EXPECT_EQ(LevelToMode(TZECompressionLevel::clNone), 0);
  EXPECT_EQ(LevelToMode(TZECompressionLevel::clFastest), 1);
  EXPECT_EQ(LevelToMode(TZECompressionLevel::clNormal), 6);
  EXPECT_EQ(LevelToMode(TZECompressionLevel::clMax), 9);
  EXPECT_EQ(CompressionBufferSize(0), 1048576);
  EXPECT_EQ(CompressionBufferSize(1), 524288);
  EXPECT_EQ(CompressionBufferSize(5), 1048576);
  EXPECT_EQ(CompressionBufferSize(9), 1572864);
  EXPECT_EQ(CompressionBufferSize(12), 1048576);
  EXPECT_EQ(DeflateOutputSize(1), 256);
  EXPECT_EQ(DeflateOutputSize(1048576), 1153536);
  EXPECT_EQ(DeflateOutputSize(1572864), 1730304);
  const uint8_t second[11] = {0xDA, 0x01, 0x01, 0x5E, 0x5E, 0x9C, 0x9C, 0xDA, 0xDA, 0xDA, 0x00};
  for (int m = 0; m < 11; ++m) {
    uint8_t h[2];
    MakeZlibHeader(m, h);
    EXPECT_EQ(h[0], m == 10 ? 0 : 0x78) << m;
    EXPECT_EQ(h[1], second[m]) << m;
  }
}

// Mixed data: text, zeros and noise, so that every buffer deflates differently.
std::string Mixed(size_t n) {
  std::string s;
  uint32_t x = 12345;
  while (s.size() < n) {
    x = x * 1103515245 + 12345;
    switch ((x >> 16) % 3) {
      case 0:
        s += "record ";
        s += std::to_string(x % 1000);
        s += " of the list; ";
        break;
      case 1: s.append((x >> 8) % 700, '\0'); break;
      default:
        for (int i = 0; i < 64; ++i) {
          x = x * 1103515245 + 12345;
          s += static_cast<char>(x >> 24);
        }
    }
  }
  s.resize(n);
  return s;
}

TEST(ZECodec, DeflateBytesEqualZlibWithOneSyncFlushPerBuffer) {
  TempDir dir;
  const std::string src = Mixed(3670016);  // 3.5 MiB: three level-9 buffers
  WriteFileBytes(dir.File("src.bin"), src);
  for (int mode : {1, 6, 9}) {
    std::unique_ptr<TZipEngine> z(new TZipEngine(nullptr));
    z->SetCompressionMode(mode);
    z->SetBaseDir(W(dir.Path()));
    std::string name = std::to_string(mode);
    name.insert(0, 1, 'm');
    name += ".zip";
    z->SetFileName(W(dir.File(name)));
    z->OpenArchive(fmCreate);
    z->AddFiles(W(dir.File("src.bin")), 0x28BF, WideString());
    z->CloseArchive();
    const char* py =
        "import sys, zlib, zipfile\n"
        "mode, buf = int(sys.argv[3]), int(sys.argv[4])\n"
        "raw = open(sys.argv[2], 'rb').read()\n"
        "c = zlib.compressobj(mode, zlib.DEFLATED, 15, 8)\n"
        "out = b''\n"
        "for i in range(0, len(raw), buf):\n"
        "    piece = raw[i:i+buf]\n"
        "    out += c.compress(piece) + c.flush(zlib.Z_FINISH if i + buf >= len(raw) else zlib.Z_SYNC_FLUSH)\n"
        "out = out[2:-4]\n"
        "z = zipfile.ZipFile(sys.argv[1]); i = z.infolist()[0]\n"
        "f = open(sys.argv[1], 'rb'); f.seek(i.header_offset + 30 + len(i.orig_filename) + len(i.extra))\n"
        "got = f.read(i.compress_size)\n"
        "assert got == out, (len(got), len(out))\n"
        "assert z.read(i) == raw\n"
        "print(got.count(b'\\x00\\x00\\xff\\xff'))\n";
    std::string out, args = Q(UP(dir, name));
    args += ' ';
    args += Q(UP(dir, "src.bin"));
    args += ' ';
    args += std::to_string(mode);
    args += ' ';
    args += std::to_string(CompressionBufferSize(mode));
    EXPECT_EQ(RunPython(py, args, &out), 0) << "mode " << mode << ": " << out;
  }
}

TEST(ZECodec, EmptySourceIsStoredWithoutData) {
  TempDir dir;
  WriteFileBytes(dir.File("empty"), "");
  std::unique_ptr<TZipEngine> z(new TZipEngine(nullptr));
  z->SetBaseDir(W(dir.Path()));
  z->SetFileName(W(dir.File("e.zip")));
  z->OpenArchive(fmCreate);
  z->AddFiles(W(dir.File("empty")), 0x28BF, WideString());
  const TDirItem& item = z->DirManager()->Directory().GetItemPtr(0);
  EXPECT_EQ(item.Header.Method, 0);
  EXPECT_EQ(item.Header.CompressedSize, 0u);
  EXPECT_EQ(item.Header.UncompressedSize, 0u);
  EXPECT_EQ(item.Header.Crc32, 0u);
  z->CloseArchive();
  const std::string a = ReadFileBytes(dir.File("e.zip"));
  EXPECT_EQ(a.size(), 30u + 5 + 22 + 46 + 5 + 22 + 22);
  std::string out;
  EXPECT_EQ(RunUnix("unzip -t " + Q(UP(dir, "e.zip")), &out), 0) << out;
}

}  // namespace
