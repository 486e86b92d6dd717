// Volume naming and reading: which volume is opened, whether an archive just
// read is split, the default volume names, and the joined stream a split
// archive is read through.
#include "ZEInternal.h"

#include <algorithm>

#include "ZEVolumes.h"

// --- the joined volume stream ----------------------------------------------------

TZEVolumeSetStream::TZEVolumeSetStream(const std::vector<WideString>& names) : FNames(names) {
  for (const WideString& n : names) {
    FStarts.push_back(FSize);
    FVolumes.emplace_back(new TUcFileStream(n, fmOpenRead | fmShareDenyWrite));
    FSize += FVolumes.back()->Size();
  }
}

TZEVolumeSetStream::~TZEVolumeSetStream() = default;

int64_t TZEVolumeSetStream::Start(uint32_t volume) const {
  return volume < FStarts.size() ? FStarts[volume] : -1;
}

int32_t TZEVolumeSetStream::Read(void* buffer, int32_t count) {
  uint8_t* out = static_cast<uint8_t*>(buffer);
  int32_t done = 0;
  while (done < count && FPos < FSize && FPos >= 0) {
    // The volume holding FPos: the last one starting at or before it.
    const size_t v = static_cast<size_t>(std::upper_bound(FStarts.begin(), FStarts.end(), FPos) - FStarts.begin()) - 1;
    TStream* s = FVolumes[v].get();
    const int64_t inside = FPos - FStarts[v];
    const int64_t left = s->Size() - inside;
    if (left <= 0) break;
    s->SetPosition(inside);
    const int32_t want = static_cast<int32_t>(std::min<int64_t>(count - done, left));
    const int32_t got = s->Read(out + done, want);
    if (got <= 0) break;
    done += got;
    FPos += got;
  }
  return done;
}

int64_t TZEVolumeSetStream::Seek(int64_t offset, TSeekOrigin origin) {
  FPos = origin == soBeginning ? offset : origin == soCurrent ? FPos + offset : FSize + offset;
  return FPos;
}

CL_DEFINE_CLASS(TZEVolumeSetStream, TStream)

// --- opening volumes ------------------------------------------------------------------

void TZEBaseArchiver::OpenVolume(TZEVolumeNumberInfo& volume) {
  auto record = [&] {
    FVolumeState->Kind = volume.Kind;
    FVolumeState->VolumeNumber = volume.VolumeNumber;
    FVolumeState->LastVolumeNumber = volume.LastVolumeNumber;
  };
  if (FSpanningMode == smNone) {
    if (!FArchiveStream) ReopenFileStream(FFileName);
    record();
    return;
  }
  // A split archive being created is built whole beside its name first.
  if (FOpenMode == fmCreate && FSpanningMode == smSplitting && !FArchiveStream) {
    const WideString folder = WideExtractFilePath(WideExpandFileName(FFileName));
    FWholeName = ZECreateTempFile(folder.IsEmpty() ? WideString(L".\\") : folder);
    if (FWholeName.IsEmpty()) throw EZEException(36, {FFileName}, this);
    ReopenFileStream(FWholeName);
    record();
    return;
  }
  // A split archive being read is one joined stream: every volume is there.
  if (dynamic_cast<TZEVolumeSetStream*>(FArchiveStream)) {
    record();
    return;
  }
  // Archives spread over removable disks, one disk at a time, are not handled
  // by this build: refuse them instead of reading the wrong bytes.
  throw EZEException(45, this);
}

void TZEBaseArchiver::DetectSpanning() {
  if (FDirManager->EndPosition < 0) {
    FSpanningMode = IsRemovableDrive(FFileName) ? smSpanning : smNone;
    return;
  }
  const uint32_t disk = FDirManager->LastDisk();
  if (disk == 0) {
    FSpanningMode = smNone;
    return;
  }
  FSpanningMode = smSplitting;
  WideString name = FFileName;
  MakeDefaultVolumeName(name, disk - 1, false);
  if (WideFileExists(name)) return;
  FSpanningOptions->AdvancedNaming = !FSpanningOptions->AdvancedNaming;
  name = FFileName;
  MakeDefaultVolumeName(name, disk - 1, false);
  if (WideFileExists(name)) return;
  FSpanningOptions->AdvancedNaming = !FSpanningOptions->AdvancedNaming;
  if (ZEContains(ZELower(WideExtractFileName(FFileName)), L".exe"))
    FSpanningMode = smNone;
  else if (!IsRemovableDrive(FFileName))
    // The earlier volumes are not beside the last one under either naming:
    // the volume requests that follow may still name them.
    FSpanningMode = smSplitting;
  else
    FSpanningMode = smSpanning;
}

bool TZEBaseArchiver::ReadEndRecord() {
  FDirManager.reset(new TZEDirManager(FArchiveStream, false, this));
  const bool found = FDirManager->HasCentralDirEnd();
  // An end record naming a later volume: the archive is split, and its
  // volumes are read as one.
  if (found && FDirManager->EndPosition >= 0) {
    DetectSpanning();
    if (FSpanningMode == smSplitting) OpenVolumeSet();
  }
  return found;
}

void TZEBaseArchiver::OpenVolumeSet() {
  const uint32_t last = FDirManager->LastDisk();
  std::vector<WideString> names;
  for (uint32_t v = 0; v < last; ++v) {
    WideString name;
    bool cancel = false;
    if (v == 0)
      DoOnRequestFirstVolume(name, cancel);
    else
      DoOnRequestMiddleVolume(static_cast<int>(v), name, cancel);
    if (cancel || !WideFileExists(name)) throw EZEException(45, this);
    names.push_back(name);
  }
  names.push_back(FVolumeName.IsEmpty() ? FFileName : FVolumeName);
  // The last volume is open on its own: it joins the set instead.
  if (!FExternalStream) delete FArchiveStream;
  FArchiveStream = nullptr;
  FArchiveStream = new TZEVolumeSetStream(names);
  FDirManager->SetStream(FArchiveStream);
}

// --- volume names ------------------------------------------------------------------

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

bool TZEBaseArchiver::SplitVolumeExists(uint32_t volume) {
  const TZESpanningMode mode = FSpanningMode;
  const bool advanced = FSpanningOptions->AdvancedNaming;
  FSpanningMode = smSplitting;
  bool exists = false;
  for (bool naming : {false, true}) {
    FSpanningOptions->AdvancedNaming = naming;
    WideString name = FFileName;
    MakeDefaultVolumeName(name, volume, false);
    exists = exists || WideFileExists(name);
  }
  FSpanningOptions->AdvancedNaming = advanced;
  FSpanningMode = mode;
  return exists;
}
