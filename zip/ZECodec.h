// The codec's building blocks: the ZIP CRC-32, the mode/level mappings, buffer
// sizes, and RAII wrappers of zlib's raw deflate and inflate streams.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include <zlib.h>

#include "ZETypes.h"

// Updates a running CRC-32 without inverting it: start at 0xFFFFFFFF, store the
// complement. A null buffer or a count below 1 leaves it unchanged.
void ZipCrc32(const void* buffer, int64_t count, uint32_t& crc);
// The 256-entry table of the ZIP CRC-32 (entry 1 is 0x77073096).
const uint32_t* ZipCrc32Table();

TZECompressionLevel ModeToLevel(int mode);
int LevelToMode(TZECompressionLevel level);
// Input buffer of the compressor for a compression mode.
int CompressionBufferSize(int mode);
// Output room for one deflated input buffer of n bytes: n + n/10 + 12, rounded
// up to a multiple of 256.
int DeflateOutputSize(int n);
// The two zlib header bytes that stand for a compression mode.
void MakeZlibHeader(int mode, uint8_t header[2]);

constexpr int ZE_DECOMPRESSION_BUFFER = 1048576;

// A raw deflate stream (no zlib header or trailer): the same deflate bytes a
// zlib-wrapped stream carries between its 2-byte header and 4-byte trailer.
class TZEDeflater {
public:
  TZEDeflater() = default;
  ~TZEDeflater();
  TZEDeflater(const TZEDeflater&) = delete;
  TZEDeflater& operator=(const TZEDeflater&) = delete;

  // Raises ECompressionError when zlib refuses the level.
  void Init(int level);
  // Compresses n bytes with Z_SYNC_FLUSH, or Z_FINISH when last, into the start
  // of out (grown as needed, never shrunk); returns the bytes produced. Raises
  // ECompressionError on a zlib error.
  size_t Deflate(const uint8_t* in, size_t n, bool last, std::vector<uint8_t>& out);
  // Ends the stream once; later calls do nothing.
  void End();

private:
  z_stream FStream{};
  bool FActive = false;
};

// A raw inflate stream that keeps calling zlib while its output buffer comes
// back full, so the tail of a stream is never left inside zlib.
class TZEInflater {
public:
  enum TResult { irOk, irStreamEnd, irError };
  TZEInflater() = default;
  ~TZEInflater();
  TZEInflater(const TZEInflater&) = delete;
  TZEInflater& operator=(const TZEInflater&) = delete;

  bool Init();
  // Feeds n bytes; each block of output goes to sink(data, count), which returns
  // false to stop. irStreamEnd once the deflate stream's last block was read.
  template <class Sink> TResult Inflate(const uint8_t* in, size_t n, uint8_t* outBuf, size_t outSize, Sink&& sink);
  uint64_t TotalOut() const { return FTotalOut; }
  void End();

private:
  z_stream FStream{};
  bool FActive = false;
  bool FEnded = false;
  uint64_t FTotalOut = 0;
};

template <class Sink>
TZEInflater::TResult TZEInflater::Inflate(const uint8_t* in, size_t n, uint8_t* outBuf, size_t outSize, Sink&& sink) {
  if (!FActive) return irError;
  if (FEnded) return irStreamEnd;
  FStream.next_in = const_cast<Bytef*>(in);
  FStream.avail_in = static_cast<uInt>(n);
  for (;;) {
    FStream.next_out = outBuf;
    FStream.avail_out = static_cast<uInt>(outSize);
    const uInt inBefore = FStream.avail_in;
    int r = inflate(&FStream, Z_NO_FLUSH);
    size_t produced = outSize - FStream.avail_out;
    FTotalOut += produced;
    if (r == Z_STREAM_END) FEnded = true;
    if (r < 0 && r != Z_BUF_ERROR) return irError;
    if (produced > 0 && !sink(outBuf, produced)) return irOk;
    if (FEnded) return irStreamEnd;
    // Z_BUF_ERROR: no progress was possible; more input is needed.
    if (r == Z_BUF_ERROR) return irOk;
    if (FStream.avail_in == 0 && FStream.avail_out != 0) return irOk;
    if (produced == 0 && FStream.avail_in == inBefore) return irError;  // no progress: never spin
  }
}
