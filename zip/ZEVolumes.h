// The volumes of a split archive read as one stream: the directory reader turns
// (volume, offset) pairs into positions of that stream, so that everything
// else reads a split archive like a single file.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "classes.h"

class TZEVolumeSetStream : public TStream {
  CL_CLASS(TZEVolumeSetStream, TStream)
public:
  // Opens every volume for reading, in order; EFOpenError when one cannot be.
  explicit TZEVolumeSetStream(const std::vector<WideString>& names);
  ~TZEVolumeSetStream() override;

  int Count() const { return static_cast<int>(FVolumes.size()); }
  // Where volume n begins in the joined stream (-1: no such volume).
  int64_t Start(uint32_t volume) const;
  const WideString& Name(int volume) const { return FNames[static_cast<size_t>(volume)]; }

  int32_t Read(void* buffer, int32_t count) override;
  int32_t Write(const void*, int32_t) override { return 0; }
  using TStream::Seek;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t GetSize() override { return FSize; }

private:
  std::vector<std::unique_ptr<TStream>> FVolumes;
  std::vector<WideString> FNames;
  std::vector<int64_t> FStarts;
  int64_t FSize = 0;
  int64_t FPos = 0;
};
