// The volume logic: single files, split archives (written whole, then cut
// into volumes; read through one joined stream), self-extracting archives, the
// writers every item and directory write goes through, and the volume names.
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

int64_t TZEBaseArchiver::GetFreeDriveSpace(const WideString& name) {
  WideString root = WideExtractFileDrive(WideExpandFileName(name));
  if (!root.IsEmpty()) root = WideIncludeTrailingBackslash(root);
  ULARGE_INTEGER avail{}, total{}, freeBytes{};
  if (!GetDiskFreeSpaceExW(root.IsEmpty() ? nullptr : root.c_str(), &avail, &total, &freeBytes)) return 0;
  return static_cast<int64_t>(avail.QuadPart);
}

// --- writing a split archive --------------------------------------------------------------

namespace {

// A run of bytes of one volume: from the whole archive, or generated.
struct TVolumePart {
  int64_t WholeStart = 0;
  int64_t Length = 0;
  const std::vector<uint8_t>* Bytes = nullptr;  // generated bytes instead
  int64_t BytesStart = 0;
};

struct TVolumeLayout {
  std::function<int64_t(int)> Limit;  // bytes allowed on a volume, -1 none
  std::vector<std::vector<TVolumePart>> Volumes{1};
  int64_t Used = 0;

  void Next() {
    Volumes.emplace_back();
    Used = 0;
  }
  int Current() const { return static_cast<int>(Volumes.size()) - 1; }
  // Places a run that must stay in one volume; returns its offset there.
  int64_t PlaceWhole(TVolumePart part) {
    const int64_t limit = Limit(Current());
    if (limit >= 0 && Used + part.Length > limit && Used > 0) Next();
    const int64_t l = Limit(Current());
    if (l >= 0 && part.Length > l) throw EZEException(47, nullptr);
    const int64_t at = Used;
    Volumes.back().push_back(part);
    Used += part.Length;
    return at;
  }
  // Places a run that may continue in the next volumes.
  void PlaceSplit(TVolumePart part) {
    while (part.Length > 0) {
      const int64_t limit = Limit(Current());
      const int64_t room = limit < 0 ? part.Length : limit - Used;
      if (room <= 0) {
        Next();
        continue;
      }
      TVolumePart piece = part;
      piece.Length = std::min(room, part.Length);
      Volumes.back().push_back(piece);
      Used += piece.Length;
      part.Length -= piece.Length;
      part.WholeStart += piece.Length;
      part.BytesStart += piece.Length;
    }
  }
};

const std::vector<uint8_t> kSplitSignature = {0x50, 0x4B, 0x07, 0x08};

}  // namespace

void TZEBaseArchiver::WriteVolumes() {
  TZEDirManager& m = *FDirManager;
  TStream* whole = FArchiveStream;
  TZEDirArray& dir = m.Directory();
  const int count = dir.GetCount();
  const int64_t dataEnd = std::min(m.DirectoryStart, whole->Size());

  // The local records in file order, each header kept within one volume.
  std::vector<int> order(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) order[static_cast<size_t>(i)] = i;
  std::sort(order.begin(), order.end(),
            [&](int a, int b) { return dir.GetItemPtr(a).LocalOffset() < dir.GetItemPtr(b).LocalOffset(); });
  std::vector<int64_t> headerLength(static_cast<size_t>(count));
  for (int i : order) {
    TZEZipFileHeader lh;
    whole->SetPosition(dir.GetItemPtr(i).LocalOffset());
    whole->ReadBuffer(&lh, 30);
    headerLength[static_cast<size_t>(i)] = 30 + lh.NameLength + lh.ExtraLength;
  }

  std::vector<uint32_t> itemDisk(static_cast<size_t>(count));
  std::vector<int64_t> itemOffset(static_cast<size_t>(count));
  std::vector<uint8_t> central, endRecord;
  auto layOut = [&](bool signature) {
    TVolumeLayout layout;
    layout.Limit = [&](int v) { return FSpanningOptions->GetVolumeSize(v); };
    if (signature) layout.PlaceWhole({0, 4, &kSplitSignature, 0});
    int64_t at = 0;
    if (m.StubSize > 0) {
      layout.PlaceWhole({0, m.StubSize});
      at = m.StubSize;
    }
    for (int i : order) {
      const int64_t off = dir.GetItemPtr(i).LocalOffset();
      if (off > at) layout.PlaceSplit({at, off - at});
      itemOffset[static_cast<size_t>(i)] = layout.PlaceWhole({off, headerLength[static_cast<size_t>(i)]});
      itemDisk[static_cast<size_t>(i)] = static_cast<uint32_t>(layout.Current());
      at = off + headerLength[static_cast<size_t>(i)];
    }
    if (dataEnd > at) layout.PlaceSplit({at, dataEnd - at});
    return layout;
  };
  TVolumeLayout layout = layOut(m.StubSize == 0);
  // Everything in one volume: a plain archive, without the split signature.
  if (layout.Current() == 0 && m.StubSize == 0) layout = layOut(false);

  // The directory entries, each kept within one volume, with the volume and
  // the offset in it of their local record.
  for (int i = 0; i < count; ++i) {
    TDirItem& item = dir.GetItemPtr(i);
    const int64_t off = itemOffset[static_cast<size_t>(i)];
    if (off >= static_cast<int64_t>(ZE_ALL32) || itemDisk[static_cast<size_t>(i)] >= 0xFFFF) throw EZEException(46, this);
    item.Header.LocalHeaderOffset = static_cast<uint32_t>(off);
    item.Header.DiskNumberStart = static_cast<uint16_t>(itemDisk[static_cast<size_t>(i)]);
  }
  TMemoryStream generated;
  m.SaveDir(true, &generated);
  m.SetStream(whole);
  if (m.HasZip64) throw EZEException(46, this);
  const uint8_t* g = static_cast<const uint8_t*>(generated.Memory());
  central.assign(g, g + generated.Size());
  int64_t entryAt = 0;
  uint32_t directoryDisk = static_cast<uint32_t>(layout.Current());
  int64_t directoryOffset = layout.Used;
  std::vector<int> entryDisk;
  for (int i = 0; i < count; ++i) {
    const TDirItem& item = dir.GetItemPtr(i);
    const int64_t len = 46 + item.Header.NameLength + item.Header.ExtraLength + item.Header.CommentLength;
    const int64_t placed = layout.PlaceWhole({0, len, &central, entryAt});
    if (i == 0) {
      directoryDisk = static_cast<uint32_t>(layout.Current());
      directoryOffset = placed;
    }
    entryDisk.push_back(layout.Current());
    entryAt += len;
  }
  const int64_t directorySize = entryAt;
  endRecord.assign(central.begin() + entryAt, central.end());
  layout.PlaceWhole({0, static_cast<int64_t>(endRecord.size()), &endRecord, 0});
  const uint32_t last = static_cast<uint32_t>(layout.Current());
  TZEZipCentralDirEnd end;
  std::memcpy(&end, endRecord.data(), 22);
  end.ThisDisk = static_cast<uint16_t>(last);
  end.DirectoryDisk = static_cast<uint16_t>(directoryDisk);
  end.EntriesOnDisk = static_cast<uint16_t>(std::count(entryDisk.begin(), entryDisk.end(), static_cast<int>(last)));
  end.TotalEntries = static_cast<uint16_t>(count);
  end.DirectorySize = static_cast<uint32_t>(directorySize);
  end.DirectoryOffset = static_cast<uint32_t>(directoryOffset);
  std::memcpy(endRecord.data(), &end, 22);

  // The volumes, each asked for by name and checked for room; the last one
  // takes the archive's own name. Nothing is left behind when one fails.
  std::vector<WideString> written;
  try {
    std::vector<uint8_t> buffer(1 << 20);
    for (uint32_t v = 0; v <= last; ++v) {
      WideString name = FFileName;
      if (v == last) {
        // One volume is a plain archive under the archive's own name, stub
        // or not; the last of several takes the last volume's name.
        if (last > 0) MakeDefaultVolumeName(name, 0xFFFFFFFFu, false);
      } else {
        bool cancel = false;
        DoOnRequestBlankVolume(static_cast<int>(v), name, cancel);
        if (cancel) throw EZEException(45, this);
      }
      const int64_t limit = FSpanningOptions->GetVolumeSize(static_cast<int>(v));
      for (;;) {
        const int64_t free = GetFreeDriveSpace(name);
        if (free > 65536 && (limit < 0 || FSpanningMode == smSplitting || free >= limit)) break;
        bool cancel = true;
        DoOnDiskFull(static_cast<int>(v), name, cancel);
        if (cancel) throw EZEException(45, this);
      }
      TUcFileStream out(name, fmCreate);
      written.push_back(name);
      if (FSpanningMode == smSpanning) {
        wchar_t label[16];
        swprintf(label, 16, L"pkback# %.3d", static_cast<int>(v + 1));
        SetVolumeLabelW(WideIncludeTrailingBackslash(WideExtractFileDrive(WideExpandFileName(name))).c_str(), label);
      }
      for (const TVolumePart& part : layout.Volumes[v]) {
        if (part.Bytes) {
          WriteBufferToStream(&out, part.Bytes->data() + part.BytesStart, part.Length);
          continue;
        }
        whole->SetPosition(part.WholeStart);
        for (int64_t left = part.Length; left > 0;) {
          const int32_t n = static_cast<int32_t>(std::min<int64_t>(left, static_cast<int64_t>(buffer.size())));
          whole->ReadBuffer(buffer.data(), n);
          WriteBufferToStream(&out, buffer.data(), n);
          left -= n;
        }
      }
      if (FOptions->FlushBuffers && !FlushFileBuffers(out.Handle())) throw EZEException(46, this);
    }
  } catch (...) {
    for (const WideString& n : written) WideDeleteFile(n);
    throw;
  }

  // Read back what was written, as any split archive is read. The end record
  // must be found and every entry read: a directory rebuilt from one volume
  // would pass off part of the set as the whole.
  delete FArchiveStream;
  FArchiveStream = nullptr;
  WideDeleteFile(FWholeName);
  FWholeName = WideString();
  FOpenMode = fmOpenRead | fmShareDenyWrite;
  FVolumeState->Init();
  const bool tolerance = FOpenTolerance;
  FOpenTolerance = false;
  try {
    InternalOpenArchive(FOpenMode);
    if (FDirManager->Directory().GetCount() != count) throw EZEException(46, this);
  } catch (...) {
    FOpenTolerance = tolerance;
    FreeArchive();
    for (const WideString& n : written) WideDeleteFile(n);
    throw;
  }
  FOpenTolerance = tolerance;
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

// --- self-extracting archives -------------------------------------------------------

bool TZEBaseArchiver::IsSFXArchive(const WideString& name) {
  return ZEContains(ZELower(WideExtractFileExt(name)), L".exe");
}

bool TZEBaseArchiver::InternalOpenSFXArchive() {
  // Whole in the .exe: the directory ends the file.
  FVolumeState->SetLastVolume(true);
  OpenVolume(*FVolumeState);
  if (ReadEndRecord()) return true;
  // No directory in the .exe: it is the first volume of a split set, and the
  // last volume (the .ZIP beside it) holds the directory of every volume. A
  // directory rebuilt from this one volume would leave out everything after
  // it, so a set with a volume missing is refused.
  FSpanningMode = smSplitting;
  WideString last;
  bool cancel = false;
  DoOnRequestLastVolume(last, cancel);
  const bool lastThere =
      !cancel && WideFileExists(last) && WideExpandFileName(last) != WideExpandFileName(FFileName);
  if (lastThere) {
    ReopenFileStream(last);
    if (ReadEndRecord() && FDirManager->EndPosition >= 0 && FDirManager->LastDisk() > 0 &&
        FSpanningMode == smSplitting)
      return true;
    throw EZEException(45, this);
  }
  if (SplitVolumeExists(1)) throw EZEException(45, this);
  // No other volume under either naming: a self-extracting archive that lost
  // its directory, read as any damaged single file is.
  FSpanningMode = smNone;
  return false;
}

bool TZEBaseArchiver::FastFileAppend(TStream* dest, TStream* source, const WideString& fileName) {
  const int64_t total = source->Size();
  FPipeline.OverallTotal = total;
  FPipeline.OverallDone = 0;
  source->SetPosition(0);
  dest->Seek(int64_t(0), soEnd);
  bool cancel = false;
  auto report = [&](double percent, TZEProgressPhase phase) {
    if (!FPipeline.ProgressOn) return;
    DoOnFileProgress(fileName, percent, poMakeSFX, phase, cancel);
    if (!cancel) DoOnOverallProgress(percent, poMakeSFX, phase, cancel);
    if (cancel) FPipeline.Cancel = true;
  };
  report(0.0, ppStart);
  std::vector<uint8_t> buffer(1 << 20);
  while (!cancel && FPipeline.OverallDone < total) {
    report(ZEPercent(static_cast<double>(FPipeline.OverallDone), static_cast<double>(total)), ppProcess);
    if (cancel) break;
    const int32_t want = static_cast<int32_t>(std::min<int64_t>(total - FPipeline.OverallDone, 1 << 20));
    const int32_t got = source->Read(buffer.data(), want);
    if (got < want) return false;
    if (dest->Write(buffer.data(), got) < got) return false;
    FPipeline.OverallDone += got;
  }
  // A cancelled copy is not a whole archive.
  if (cancel) return false;
  report(100.0, ppEnd);
  return !cancel;
}

void TZEBaseArchiver::MakeSFX(const WideString& sfxFileName) {
  if (FSFXStub.IsEmpty()) throw EZEException(17, this);
  if (!WideFileExists(FSFXStub)) throw EZEException(18, {FSFXStub}, this);
  if (FSpanningMode != smNone) throw EZEException(49, this);
  if (InUpdate()) ForceUpdate();
  TUcFileStream stub(FSFXStub, fmOpenRead | fmShareDenyNone);
  // The archive as it lies on disk, read through a directory of its own: the
  // open component's directory stays as it is.
  std::unique_ptr<TStream> own;
  TStream* archive = FActive ? FArchiveStream : nullptr;
  if (!archive) {
    own.reset(new TUcFileStream(FFileName, fmOpenRead | fmShareDenyWrite));
    archive = own.get();
  }
  TZEDirManager source(archive, false, this);
  source.LoadDir();
  if (source.StubSize > 0) throw EZEException(50, this);
  std::unique_ptr<TUcFileStream> out;
  try {
    out.reset(new TUcFileStream(sfxFileName, fmCreate));
  } catch (const Exception&) {
    throw EZEException(19, {sfxFileName}, this);
  }
  bool done = false;
  try {
    out->CopyFrom(&stub, 0);
    const int64_t stubSize = out->Size();
    FPipeline = TPipeline();
    FPipeline.ProgressOn = true;
    if (!FastFileAppend(out.get(), archive, FFileName)) {
      if (FPipeline.Cancel) throw EZEException(46, this);
      throw EZEException(56, this);
    }
    // Every entry, folders and empty files included, now lies stubSize
    // further on: the directory is written again with the new positions.
    source.StubSize = stubSize;
    source.ApplyStubOffset();
    source.DirectoryStart += stubSize;
    source.SaveDir(false, out.get());
    if (FOptions->FlushBuffers && !FlushFileBuffers(out->Handle())) throw EZEException(56, this);
    done = true;
  } catch (...) {
    out.reset();
    // A self-extracting file is whole or not there.
    if (!done) WideDeleteFile(sfxFileName);
    throw;
  }
}

// --- checking and repairing ----------------------------------------------------------

bool TZEBaseArchiver::IsValidArchiveFile() {
  if (FActive) return true;
  if (!WideFileExists(FFileName)) return false;
  const TZESpanningMode mode = FSpanningMode;
  const bool tolerance = FOpenTolerance;
  bool result = false;
  try {
    {
      TUcFileStream file(FFileName, fmOpenRead | fmShareDenyNone);
      FOpenTolerance = false;
      TZEDirManager probe(&file, false, this);
      if (probe.HasCentralDirEnd()) {
        result = true;
      } else {
        try {
          FSpanningMode = smSplitting;
          probe.LoadDir();
          result = true;
        } catch (const Exception&) {
          try {
            FSpanningMode = smNone;
            probe.LoadDir();
            result = probe.Directory().GetCount() > 0;
          } catch (const Exception&) {
            result = false;
          }
        }
      }
    }
    FSpanningMode = mode;
    if (result) {
      FOpenTolerance = true;
      OpenArchive(fmOpenRead | fmShareDenyNone);
      // Every item is read through; the first that fails decides.
      try {
        TZEDirArray& dir = Dir();
        for (int i = 0; result && i < dir.GetCount(); ++i) {
          if (dir.GetItemPtr(i).IsFolder()) continue;
          TNullStream sink;
          FPipeline = TPipeline();
          ExtractItem(i, &sink);
          if (FPipeline.Cancel || FPipeline.PasswordSkip) result = false;
        }
      } catch (const Exception&) {
        result = false;
      }
      CloseArchive();
    }
  } catch (const Exception&) {
    result = false;
  }
  FreeArchive();
  FSpanningMode = mode;
  FOpenTolerance = tolerance;
  return result;
}

void TZEBaseArchiver::RepairArchive(const WideString& destFileName) {
  if (FActive) throw EZEException(37, this);
  WideString target = destFileName;
  const bool inPlace = target.IsEmpty();
  if (inPlace) {
    // The archive must be replaceable at the end, so that the work is not done
    // for nothing.
    HANDLE h = WideFileOpen(FFileName, fmOpenReadWrite | fmShareExclusive);
    if (h == INVALID_HANDLE_VALUE) throw EZEException(36, {FFileName}, this);
    CloseHandle(h);
    const WideString folder = WideExtractFilePath(WideExpandFileName(FFileName));
    target = ZECreateTempFile(folder);
    if (target.IsEmpty()) throw EZEException(36, {folder}, this);
  } else {
    WideDeleteFile(target);
    HANDLE h = WideFileCreate(target);
    if (h == INVALID_HANDLE_VALUE) throw EZEException(36, {target}, this);
    CloseHandle(h);
  }

  const bool corrupted = FExtractCorruptedFiles;
  const bool tolerance = FOpenTolerance;
  std::unique_ptr<TZipEngine> copy;
  WideString dataName;
  std::unique_ptr<TUcFileStream> data;
  auto cleanUp = [&] {
    copy.reset();
    data.reset();
    if (!dataName.IsEmpty()) WideDeleteFile(dataName);
    FOpenTolerance = tolerance;
    FExtractCorruptedFiles = corrupted;
  };
  try {
    FOpenTolerance = true;
    OpenArchive(fmOpenRead | fmShareDenyWrite);
    // Salvage what can be read: an item with a bad checksum keeps its data.
    FExtractCorruptedFiles = true;
    copy.reset(new TZipEngine(nullptr));
    static_cast<TZEBaseArchiver*>(copy.get())->FStandardSignatures = FStandardSignatures;
    copy->SetOptions(FOptions.get());
    copy->SetZip64Mode(FZip64Mode);
    copy->SetFileName(target);
    copy->OpenArchive(fmCreate);
    copy->SetPassword(FPassword);
    copy->SetEncryptionMethod(FEncryptionMethod);
    copy->SetCompressionMode(FCompressionMode);
    // Every item's data goes into one temporary file, each at its own place,
    // and the copy takes them all in one transaction.
    dataName = GetTempFileName();
    data.reset(new TUcFileStream(dataName, fmCreate));
    copy->BeginUpdate();
    TZEDirArray& dir = Dir();
    for (int i = 0; i < dir.GetCount(); ++i) {
      const TDirItem item = dir.GetItemPtr(i);
      const WideString name = ZEReplaceChar(item.StoredName, L'/', L'\\');
      for (;;) {
        TZEAction action = fxaIgnore;
        try {
          int index;
          if (item.IsFolder()) {
            copy->AddFromBuffer(item.StoredName, nullptr, 0, item.Header.ExternalAttributes | ZE_ATTR_DIRECTORY, 0);
            index = copy->DirManager()->Directory().GetCount() - 1;
          } else {
            const int64_t start = data->Size();
            data->SetPosition(start);
            FPipeline = TPipeline();
            FPipeline.ProgressOn = true;
            ExtractItem(i, data.get());
            const int64_t got = data->Size() - start;
            // Data that could not be read is not passed off as an item:
            // an item comes out whole or is left out, and the caller hears of it.
            if (FPipeline.Cancel || FPipeline.PasswordSkip || got < item.UnpackedSize()) throw EZEException(8, this);
            // A count of 0 would mean the whole stream: an empty item gets an
            // empty buffer instead.
            if (got == 0)
              copy->AddFromBuffer(item.StoredName, "", 0, item.Header.ExternalAttributes, 0);
            else
              copy->AddFromStream(item.StoredName, data.get(), false, start, got, item.Header.ExternalAttributes, 0);
            index = copy->DirManager()->Directory().GetCount() - 1;
          }
          TDirItem& added = copy->DirManager()->Directory().GetItemPtr(index);
          added.Header.ModDate = item.Header.ModDate;
          added.Header.ModTime = item.Header.ModTime;
          added.Header.ExternalAttributes = item.Header.ExternalAttributes;
          added.Header.InternalAttributes = item.Header.InternalAttributes;
          added.Comment = item.Comment;
          added.Header.CommentLength = item.Header.CommentLength;
          break;
        } catch (const EZEException& e) {
          DoOnProcessFileFailure(name, poExtract, e.NativeError(), e.ErrorCode(), e.WideMessage(), action);
        }
        if (action == fxaAbort) throw EZEException(46, this);
        if (action != fxaRetry) break;
      }
    }
    copy->EndUpdate();
    copy->CloseArchive();
    if (!copy->LastCloseError().IsEmpty()) throw EZEException(46, this);
    CloseArchive();
    cleanUp();
  } catch (...) {
    CloseArchive();
    cleanUp();
    WideDeleteFile(target);
    throw;
  }
  // Only a complete copy takes the archive's place.
  if (inPlace && !MoveFileExW(target.c_str(), FFileName.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    WideDeleteFile(target);
    throw EZEException(36, {FFileName}, this);
  }
}
