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

// A raw inflate stream driven one zlib call at a time, so that each call may
// fill a fresh output buffer; the caller keeps calling while the answer is
// isMore, so the tail of a stream is never left inside zlib.
class TZEInflater {
public:
  enum TStep { isMore, isNeedInput, isStreamEnd, isError };
  TZEInflater() = default;
  ~TZEInflater();
  TZEInflater(const TZEInflater&) = delete;
  TZEInflater& operator=(const TZEInflater&) = delete;

  bool Init();
  // The next input; whatever zlib left of the previous input is dropped. The
  // bytes must stay in place until Step answers isNeedInput.
  void SetInput(const uint8_t* in, size_t n);
  // One call of zlib into out. produced is what it wrote; on isError it is 0,
  // because output of a failing call is not to be trusted.
  TStep Step(uint8_t* out, size_t outSize, size_t& produced);
  uint64_t TotalOut() const { return FTotalOut; }
  void End();

private:
  z_stream FStream{};
  bool FActive = false;
  bool FEnded = false;
  uint64_t FTotalOut = 0;
};
