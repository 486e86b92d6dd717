// The single-volume road through the volume logic, the writers every item and
// directory write goes through, and the default volume names.
#include "ZEInternal.h"

void TZEBaseArchiver::OpenVolume(TZEVolumeNumberInfo& volume) {
  if (FSpanningMode == smNone) {
    if (!FArchiveStream) ReopenFileStream(FFileName);
    FVolumeState->Kind = volume.Kind;
    FVolumeState->VolumeNumber = volume.VolumeNumber;
    FVolumeState->LastVolumeNumber = volume.LastVolumeNumber;
    return;
  }
  // Archives spread over several files or disks are not handled by this
  // build: refuse them instead of reading the wrong bytes.
  throw EZEException(45, this);
}

int64_t TZEBaseArchiver::WriteToStream(const void* buffer, int64_t count, TStream*& stream, TZEVolumeNumberInfo& volume,
                                       int64_t keepTogether, TStream* cacheStream) {
  (void)volume;
  (void)keepTogether;
  TStream* target = cacheStream ? cacheStream : stream;
  const uint8_t* p = static_cast<const uint8_t*>(buffer);
  int64_t written = 0;
  while (written < count) {
    const int32_t n = static_cast<int32_t>(std::min<int64_t>(count - written, 0x40000000));
    const int32_t w = target->Write(p + written, n);
    if (w <= 0) break;
    written += w;
    if (w < n) break;
  }
  return written;
}

void TZEBaseArchiver::WriteBufferToStream(TStream* stream, const void* buffer, int64_t count) {
  TStream* s = stream;
  if (WriteToStream(buffer, count, s, *FVolumeState, -1, nullptr) < count) throw EZEException(46, this);
}

bool TZEBaseArchiver::WriteToStreamWithOnDiskFull(TStream* stream, const void* buffer, int32_t count) {
  for (;;) {
    const int64_t start = stream->Position();
    TStream* s = stream;
    if (WriteToStream(buffer, count, s, *FVolumeState, -1, nullptr) >= count) return true;
    bool cancel = true;
    DoOnDiskFull(-1, FFileName, cancel);
    if (cancel) {
      FPipeline.Cancel = true;
      FWriteFailed = true;
      return false;
    }
    stream->SetPosition(start);
  }
}

void TZEBaseArchiver::MakeDefaultVolumeName(WideString& volumeName, uint32_t volumeNumber, bool checkExists) {
  const WideString folder = WideExtractFilePath(volumeName);
  const WideString ext = WideExtractFileExt(volumeName);
  WideString base = WideExtractFileName(volumeName);
  base = base.SubString(1, base.Length() - ext.Length());
  const bool sfx = (FDirManager && FDirManager->StubSize > 0) || !FSFXStub.IsEmpty() || ZELower(ext) == L".exe";
  // "%.3u" and "%.2u": at least that many digits, zeros in front.
  auto numbered = [](int digits, uint32_t n) {
    std::wstring s = std::to_wstring(n);
    if (static_cast<int>(s.size()) < digits) s.insert(0, digits - s.size(), L'0');
    return WideString(s);
  };
  if (volumeNumber == 0xFFFFFFFFu) {
    if (sfx && FSpanningMode == smSplitting) volumeName = folder + base + L".ZIP";
    return;
  }
  if (FSpanningMode == smSpanning) {
    const WideString e = sfx ? WideString(L".exe") : ext;
    const WideString withNumber = folder + base + L"_" + numbered(3, volumeNumber + 1) + e;
    const WideString plain = folder + base + e;
    const bool advanced = FSpanningOptions->AdvancedNaming;
    WideString name = advanced ? withNumber : plain;
    if (checkExists && !WideFileExists(name)) {
      const WideString other = advanced ? plain : withNumber;
      if (WideFileExists(other)) name = other;
    }
    volumeName = name;
    return;
  }
  if (FSpanningMode == smSplitting) {
    if (volumeNumber == 0 && sfx)
      volumeName = folder + base + L".exe";
    else if (FSpanningOptions->AdvancedNaming)
      volumeName = folder + base + L"_" + numbered(3, volumeNumber + 1) + ext;
    else
      volumeName = folder + base + L".Z" + numbered(2, volumeNumber + 1);
  }
}
