#include "ZECodec.h"

#include "ZEException.h"

void ZipCrc32(const void* buffer, int64_t count, uint32_t& crc) {
  if (!buffer || count < 1) return;
  // zlib inverts before and after; the engine's running value is not inverted.
  uLong z = ~crc & 0xFFFFFFFFu;
  const Bytef* p = static_cast<const Bytef*>(buffer);
  while (count > 0) {
    uInt n = count > 0x40000000 ? 0x40000000u : static_cast<uInt>(count);
    z = crc32(z, p, n);
    p += n;
    count -= n;
  }
  crc = ~static_cast<uint32_t>(z);
}

const uint32_t* ZipCrc32Table() {
  static_assert(sizeof(z_crc_t) == sizeof(uint32_t));
  return reinterpret_cast<const uint32_t*>(get_crc_table());
}

TZECompressionLevel ModeToLevel(int mode) {
  if (mode >= 1 && mode <= 3) return TZECompressionLevel::clFastest;
  if (mode >= 4 && mode <= 6) return TZECompressionLevel::clNormal;
  if (mode >= 7 && mode <= 9) return TZECompressionLevel::clMax;
  return TZECompressionLevel::clNone;
}

int LevelToMode(TZECompressionLevel level) {
  switch (level) {
    case TZECompressionLevel::clFastest: return 1;
    case TZECompressionLevel::clNormal: return 6;
    case TZECompressionLevel::clMax: return 9;
    default: return 0;
  }
}

int CompressionBufferSize(int mode) {
  if (mode >= 1 && mode <= 3) return 524288;
  if (mode >= 7 && mode <= 9) return 1572864;
  return 1048576;
}

int DeflateOutputSize(int n) { return (n + n / 10 + 12 + 255) & ~255; }

void MakeZlibHeader(int mode, uint8_t header[2]) {
  header[0] = 0x78;
  switch (mode) {
    case 0: case 7: case 8: case 9: header[1] = 0xDA; break;
    case 1: case 2: header[1] = 0x01; break;
    case 3: case 4: header[1] = 0x5E; break;
    case 5: case 6: header[1] = 0x9C; break;
    default: header[0] = 0; header[1] = 0; break;
  }
}

// --- deflate -------------------------------------------------------------------

TZEDeflater::~TZEDeflater() { End(); }

void TZEDeflater::Init(int level) {
  End();
  FStream = z_stream{};
  CCheck(deflateInit2(&FStream, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY));
  FActive = true;
}

size_t TZEDeflater::Deflate(const uint8_t* in, size_t n, bool last, std::vector<uint8_t>& out) {
  if (!FActive) throw ECompressionError("error");
  size_t room = static_cast<size_t>(DeflateOutputSize(static_cast<int>(n)));
  if (out.size() < room) out.resize(room);
  size_t used = 0;
  FStream.next_in = const_cast<Bytef*>(in);
  FStream.avail_in = static_cast<uInt>(n);
  for (;;) {
    FStream.next_out = out.data() + used;
    FStream.avail_out = static_cast<uInt>(out.size() - used);
    int r = deflate(&FStream, last ? Z_FINISH : Z_SYNC_FLUSH);
    if (r == Z_STREAM_ERROR) throw ECompressionError("error");
    used = out.size() - FStream.avail_out;
    // The room computed above always suffices; should it ever not, keep the
    // stream going rather than lose bytes.
    if (FStream.avail_out != 0 || (last && r == Z_STREAM_END)) break;
    out.resize(out.size() + 65536);
  }
  return used;
}

void TZEDeflater::End() {
  if (FActive) deflateEnd(&FStream);
  FActive = false;
}

// --- inflate -------------------------------------------------------------------

TZEInflater::~TZEInflater() { End(); }

bool TZEInflater::Init() {
  End();
  FStream = z_stream{};
  FEnded = false;
  FTotalOut = 0;
  if (inflateInit2(&FStream, -MAX_WBITS) != Z_OK) return false;
  FActive = true;
  return true;
}

void TZEInflater::SetInput(const uint8_t* in, size_t n) {
  FStream.next_in = const_cast<Bytef*>(in);
  FStream.avail_in = static_cast<uInt>(n);
}

TZEInflater::TStep TZEInflater::Step(uint8_t* out, size_t outSize, size_t& produced) {
  produced = 0;
  if (!FActive) return isError;
  if (FEnded) return isStreamEnd;
  FStream.next_out = out;
  FStream.avail_out = static_cast<uInt>(outSize);
  const uInt inBefore = FStream.avail_in;
  const int r = inflate(&FStream, Z_NO_FLUSH);
  if (r < 0 && r != Z_BUF_ERROR) return isError;
  produced = outSize - FStream.avail_out;
  FTotalOut += produced;
  if (r == Z_STREAM_END) {
    FEnded = true;
    return isStreamEnd;
  }
  // Z_BUF_ERROR: no progress was possible; more input is needed.
  if (r == Z_BUF_ERROR || (FStream.avail_in == 0 && FStream.avail_out != 0)) return isNeedInput;
  if (produced == 0 && FStream.avail_in == inBefore) return isError;  // no progress: never spin
  return isMore;
}

void TZEInflater::End() {
  if (FActive) inflateEnd(&FStream);
  FActive = false;
}

// --- the component's item codec ------------------------------------------------------

#include "ZECryptoTransform.h"
#include "ZEInflatePipe.h"
#include "ZEInternal.h"

namespace {
// Reads exactly count bytes unless the stream ends first; returns what it got.
int32_t ReadFully(TStream* s, uint8_t* buffer, int32_t count) {
  int32_t got = 0;
  while (got < count) {
    int32_t n = s->Read(buffer + got, count - got);
    if (n <= 0) break;
    got += n;
  }
  return got;
}
}  // namespace

double TZEBaseArchiver::FilePercent() const {
  return ZEPercent(static_cast<double>(FCurrentDone), static_cast<double>(FCurrentTotal));
}

bool TZEBaseArchiver::InternalCompressFile(TStream* source, TStream* dest, TDirItem& item) {
  bool result = true;
  TZEZipCentralDir work = item.Header;
  source->SetPosition(0);
  const int64_t sourceSize = source->Size();
  int64_t bytesRead = 0, bytesWritten = 0;
  uint32_t crc = 0xFFFFFFFF;
  TZEItemCrypt crypt;
  const bool aes = IsAESItem(item);
  if (aes) work.Method = ZE_METHOD_AES;
  CompressStream(source, dest, item, sourceSize, bytesRead, bytesWritten, crc, crypt);
  work.CompressedSize = static_cast<uint32_t>(bytesWritten);
  work.UncompressedSize = static_cast<uint32_t>(sourceSize);
  work.Crc32 = ~crc;
  if (bytesRead == sourceSize) {
    work.CompressedSize = Header32(item, bytesWritten, item.Zip64Compressed);
    work.UncompressedSize = Header32(item, sourceSize, item.Zip64Uncompressed);
    work.Crc32 = ~crc;
    if (item.Zip64 && FZip64Mode == zmDisabled) throw EZEException(41, {item.SourcePath}, this);
    if (sourceSize == 0) {
      // An empty AES item keeps method 99: readers take the method as the
      // sign that the salt and the code follow.
      item.RealMethod = 0;
      work.Method = aes ? ZE_METHOD_AES : 0;
    }
  } else if (FPipeline.Cancel) {
    result = false;
  } else {
    throw EZEException(34, {sourceSize, bytesRead}, this);
  }
  item.Header = work;
  return result;
}

bool TZEBaseArchiver::CompressStream(TStream* source, TStream* dest, TDirItem& item, int64_t sourceSize,
                                     int64_t& bytesRead, int64_t& bytesWritten, uint32_t& crc, TZEItemCrypt& crypt) {
  const int mode = item.Mode;
  const int bufferSize = CompressionBufferSize(mode);
  const bool deflated = item.RealMethod != 0;
  const TZEProcessOperation op = static_cast<TZEProcessOperation>(item.PendingOp);
  std::vector<uint8_t> in(static_cast<size_t>(std::max<int64_t>(1, std::min<int64_t>(sourceSize, bufferSize))));
  std::vector<uint8_t> out;
  TZEDeflater deflater;
  if (deflated) {
    try {
      deflater.Init(mode);
    } catch (const EZlibError&) {
      return false;
    }
  }
  if (!item.Password.IsEmpty() && !StartItemEncryption(source, dest, item, sourceSize, bytesWritten, crc, crypt))
    return true;
  // The traditional header carries the CRC, so it was taken before the data.
  const bool crcDone = crypt.Pkzip;
  FCurrentTotal = sourceSize;
  while (bytesRead < sourceSize) {
    FCurrentDone = bytesRead;
    if (FPipeline.ProgressOn) {
      DoOnFileProgress(item.SourcePath, FilePercent(), op, ppProcess, FPipeline.Cancel);
      if (FPipeline.Cancel) break;
      const double overall =
          FPipeline.OverallTotal > 0
              ? ZEPercent(static_cast<double>(FPipeline.OverallDone + FCurrentDone), static_cast<double>(FPipeline.OverallTotal))
              : 50.0;
      DoOnOverallProgress(overall, op, ppProcess, FPipeline.Cancel);
      if (FPipeline.Cancel) break;
    }
    const int32_t n = static_cast<int32_t>(std::min<int64_t>(bufferSize, sourceSize - bytesRead));
    if (ReadFully(source, in.data(), n) < n) break;
    uint8_t* data = in.data();
    size_t count = static_cast<size_t>(n);
    try {
      if (!crcDone) ZipCrc32(in.data(), n, crc);
      if (deflated) {
        count = deflater.Deflate(in.data(), static_cast<size_t>(n), bytesRead + n == sourceSize, out);
        data = out.data();
      }
    } catch (const Exception&) {
      return false;
    }
    bytesRead += n;
    crypt.Encrypt(data, static_cast<int32_t>(count));
    if (!WriteToStreamWithOnDiskFull(dest, data, static_cast<int32_t>(count))) {
      bytesRead -= n;
      break;
    }
    bytesWritten += static_cast<int64_t>(count);
  }
  FPipeline.OverallDone += sourceSize;
  if (crypt.Aes) {
    const std::vector<uint8_t> code = crypt.Aes->GetFileStorageEndBlock();
    if (WriteToStreamWithOnDiskFull(dest, code.data(), static_cast<int32_t>(code.size())))
      bytesWritten += static_cast<int64_t>(code.size());
  }
  return true;
}

bool TZEBaseArchiver::InternalDecompressFile(TStream* source, TStream* dest, TDirItem& item) {
  TZEItemCrypt crypt;
  const bool encrypted = (item.Header.Flags & 1) != 0;
  if (encrypted && item.Header.VersionNeeded < ZE_VERSION_ALT && AESKeyBits(item.EncryptionMarker) > 0) {
    const TZEExtraBlock* block = FindAESBlock(item);
    const uint16_t vendor = block ? GetLE16(block->Data.data()) : 2;
    crypt.Aes.reset(new TAESCryptoTransform(AESKeyBits(item.EncryptionMarker), vendor, item.RealMethod));
    crypt.Aes->Initialize(TCryptoTransformMode::Decryption, item);
    crypt.Aes->GenerateKey(FPassword);
  } else if (encrypted) {
    crypt.Pkzip = true;
  }
  TZEZipFileHeader lh;
  if (ReadFully(source, reinterpret_cast<uint8_t*>(&lh), 30) < 30) return false;
  const int64_t dataStart = source->Position() + lh.NameLength + lh.ExtraLength;
  source->SetPosition(dataStart);
  int64_t packed = item.PackedSize();
  const int64_t unpacked = item.UnpackedSize();
  if (packed < 0 || unpacked < 0) return false;
  if (FSpanningMode == smNone && FDirManager) {
    const int64_t limit = FDirManager->DirectoryStart - dataStart;
    if (packed > limit) packed = std::max<int64_t>(limit, 0);
  }
  FCurrentTotal = unpacked > 0 ? unpacked : 2;
  FCurrentDone = 0;
  FPipeline.PasswordSkip = false;
  int64_t written = 0;
  uint32_t crc = 0xFFFFFFFF;
  bool result = false;
  if (item.RealMethod == 0 || item.RealMethod == 8)
    result = DecompressStream(source, dest, item, packed, unpacked, written, crc, crypt, lh);
  else if (item.RealMethod == 9)
    throw EZEException(55, nullptr);
  if (!result || written != unpacked) return false;
  if (item.Header.VersionNeeded >= ZE_VERSION_ALT) return true;
  if (crypt.Aes) {
    try {
      crypt.Aes->LoadFileStorageEndBlock(source, 0);
    } catch (const EReadError&) {
      return false;
    }
    return !crypt.Aes->IsDirItemCorrupted(item, ~crc);
  }
  return ~crc == item.Header.Crc32;
}

bool TZEBaseArchiver::DecompressStream(TStream* source, TStream* dest, TDirItem& item, int64_t packed,
                                       int64_t unpacked, int64_t& written, uint32_t& crc, TZEItemCrypt& crypt,
                                       const TZEZipFileHeader& local) {
  if (crypt.Active()) {
    packed -= crypt.Pkzip ? ZE_PKZIP_HEADER_SIZE
                          : crypt.Aes->GetFileStorageStartBlockSize() + crypt.Aes->GetFileStorageEndBlockSize();
    if (packed < 0 || !OpenItemEncryption(source, item, local, crypt)) return false;
  }
  const TZEProcessOperation op = static_cast<TZEProcessOperation>(item.PendingOp);
  const bool stored = item.RealMethod == 0;
  std::vector<uint8_t> in(static_cast<size_t>(std::max<int64_t>(1, std::min<int64_t>(packed, ZE_DECOMPRESSION_BUFFER))));
  bool failed = false;
  // Before every block of plain bytes: progress, and a size that never passes
  // the recorded one.
  auto admit = [&](size_t count) -> bool {
    FCurrentDone = written;
    if (FPipeline.ProgressOn) {
      DoOnFileProgress(item.StoredName, FilePercent(), op, ppProcess, FPipeline.Cancel);
      if (!FPipeline.Cancel) {
        const double items = FPipeline.ItemsToProcess > 0 ? FPipeline.ItemsToProcess : 1;
        const double overall = (FilePercent() / 100.0 + FPipeline.ItemsDone) / items * 100.0;
        DoOnOverallProgress(overall, op, ppProcess, FPipeline.Cancel);
      }
      if (FPipeline.Cancel) return false;
    }
    if (static_cast<int64_t>(count) > unpacked - written) {
      failed = true;
      return false;
    }
    return true;
  };
  auto write = [&](const uint8_t* data, size_t count) -> bool {
    if (!WriteToStreamWithOnDiskFull(dest, data, static_cast<int32_t>(count))) return false;
    written += static_cast<int64_t>(count);
    return true;
  };
  int64_t consumed = 0;
  if (stored) {
    while (consumed < packed) {
      const int32_t n = static_cast<int32_t>(std::min<int64_t>(ZE_DECOMPRESSION_BUFFER, packed - consumed));
      if (ReadFully(source, in.data(), n) < n) return false;
      crypt.Decrypt(in.data(), n);
      consumed += n;
      for (int32_t at = 0; at < n; at += 65535) {
        const size_t count = static_cast<size_t>(std::min(65535, n - at));
        if (!admit(count)) return false;
        ZipCrc32(in.data() + at, static_cast<int64_t>(count), crc);
        if (!write(in.data() + at, count)) return false;
      }
    }
    return !failed && !FPipeline.Cancel && !FWriteFailed;
  }
  // Large items are inflated on a worker while this thread reports, checks and
  // writes; the order of reads, events and writes stays that of one thread.
  TZEInflatePipe pipe(unpacked >= ZE_THREADED_INFLATE_MIN, static_cast<uint64_t>(unpacked));
  if (!pipe.Init()) return false;
  // zlib's running CRC is the complement of the engine's.
  uLong z = ~crc & 0xFFFFFFFFu;
  for (;;) {
    TZEInflatePipe::TBlock block;
    switch (pipe.Next(block)) {
      case TZEInflatePipe::peNeedInput: {
        if (consumed >= packed) {
          pipe.EndInput();
          break;
        }
        const int32_t n = static_cast<int32_t>(std::min<int64_t>(ZE_DECOMPRESSION_BUFFER, packed - consumed));
        int32_t got = 0;
        try {
          got = ReadFully(source, in.data(), n);
        } catch (...) {
          pipe.FailInput(std::current_exception());
          break;
        }
        if (got < n) {
          pipe.FailInput(nullptr);
          break;
        }
        consumed += n;
        crypt.Decrypt(in.data(), n);
        pipe.Feed(in.data(), static_cast<size_t>(n));
        break;
      }
      case TZEInflatePipe::peBlock: {
        bool ok = admit(block.Count);
        if (ok) {
          z = pipe.Crc(block, z);
          ok = write(block.Data, block.Count);
        }
        pipe.Release(block);
        crc = ~static_cast<uint32_t>(z);
        if (!ok) return false;
        break;
      }
      case TZEInflatePipe::peEnd: return !failed && !FPipeline.Cancel && !FWriteFailed;
      case TZEInflatePipe::peError: return false;
    }
  }
}
