// The rebuild of a changed archive. A file archive is rebuilt into a new file
// beside it, which replaces it only when everything was written; a memory or
// caller's stream is rewritten in place from its first changed item on, with
// the old tail kept in a temporary file to put back on failure. Either way a
// failed, cancelled or aborted rebuild leaves the archive's bytes as they were
// and raises; a flush the disk refuses at the end is a failed write.
#include <algorithm>
#include <cstring>

#include "ZECryptoTransform.h"
#include "ZEInternal.h"

namespace {

// Copies count bytes from source's position to dest through a 1 MiB buffer,
// all or nothing; a short read raises EReadError.
void CopyBytes(TZEBaseArchiver* owner, TStream* source, TStream* dest, int64_t count) {
  std::vector<uint8_t> buf(static_cast<size_t>(std::min<int64_t>(count, 1048576)));
  while (count > 0) {
    int32_t n = static_cast<int32_t>(std::min<int64_t>(count, static_cast<int64_t>(buf.size())));
    source->ReadBuffer(buf.data(), n);
    owner->WriteBufferToStream(dest, buf.data(), n);
    count -= n;
  }
}

// The manager's record of where things are, to be put back after a failure.
struct TManagerState {
  TZEZipCentralDirEnd End;
  TZEZip64CentralDirEnd Zip64End;
  TZEZip64CentralDirEndLocator Zip64Locator;
  bool HasZip64;
  int64_t DirectoryStart;
  int64_t EndPosition;
  int64_t StubSize;
  AnsiString Comment;

  explicit TManagerState(TZEDirManager& m)
      : End(m.End),
        Zip64End(m.Zip64End),
        Zip64Locator(m.Zip64Locator),
        HasZip64(m.HasZip64),
        DirectoryStart(m.DirectoryStart),
        EndPosition(m.EndPosition),
        StubSize(m.StubSize),
        Comment(m.Comment) {}
  void Restore(TZEDirManager& m) const {
    m.End = End;
    m.Zip64End = Zip64End;
    m.Zip64Locator = Zip64Locator;
    m.HasZip64 = HasZip64;
    m.DirectoryStart = DirectoryStart;
    m.EndPosition = EndPosition;
    m.StubSize = StubSize;
    m.Comment = Comment;
  }
};

// A unique empty file beside the archive; empty when the folder refuses one.
WideString TempFileBeside(const WideString& archive) {
  WideString folder = WideExtractFilePath(WideExpandFileName(archive));
  if (folder.IsEmpty()) folder = L".\\";
  return ZECreateTempFile(folder);
}

}  // namespace

struct TZEBaseArchiver::TRebuild {
  bool ToNewFile = false;  // the archive file is replaced by a new one
  WideString TempName;
  std::unique_ptr<TStream> TempStream;
  TStream* Out = nullptr;     // receives the archive from the cut on
  TStream* Source = nullptr;  // holds the old bytes of the kept items
  int64_t SourceBase = 0;     // old archive position of Source's first byte
  int64_t Cut = 0;
  int Unchanged = 0;
  TZEAction Action = fxaIgnore;
  TZEProcessOperation StartOp = poDelete;
  // The failure that an Abort answer turns into the operation's exception.
  std::unique_ptr<EZEException> ItemFailure;
};

void TZEBaseArchiver::ForceUpdate() {
  if (FUpdateCount <= 0) return;
  FUpdateCount = 0;
  if (!FDirManager || !FArchiveStream) return;
  TZEDirArray& dir = FDirManager->Directory();
  TZEDirArray& backup = FDirManager->Backup();

  FPipeline = TPipeline();
  FPipeline.ProgressOn = true;
  FWriteFailed = false;
  int firstChanged = -1;
  for (int i = 0; i < dir.GetCount(); ++i) {
    const TDirItem& item = dir.GetItemPtr(i);
    if (!item.Changed) continue;
    ++FPipeline.ItemsToProcess;
    FPipeline.OverallTotal += item.UnpackedSize();
    if (firstChanged < 0) firstChanged = i;
  }

  TRebuild r;
  // Items that stay where they are: the leading run that is the same in both
  // directories and unchanged.
  const int common = std::min(dir.GetCount(), backup.GetCount());
  int k = 0;
  while (k < common) {
    const TDirItem& w = dir.GetItemPtr(k);
    if (w.Changed || w.BackupIndex != k || w.StoredName != backup.GetItemPtr(k).StoredName) break;
    ++k;
  }
  // The cut lies below every item that is written again, and every item kept in
  // place ends at or before it, whatever order the items have in the file.
  for (;;) {
    int64_t cut = backup.GetCount() > 0 ? FDirManager->DirectoryStart : FDirManager->StubSize;
    for (int i = k; i < backup.GetCount(); ++i) cut = std::min(cut, backup.GetItemPtr(i).LocalOffset());
    cut = std::clamp<int64_t>(cut, 0, FArchiveStream->Size());
    int shrink = -1;
    for (int i = 0; i < k; ++i) {
      const TDirItem& b = backup.GetItemPtr(i);
      if (b.LocalOffset() + 30 + b.Header.NameLength + b.PackedSize() > cut) {
        shrink = i;
        break;
      }
    }
    if (shrink < 0) {
      r.Cut = cut;
      break;
    }
    k = shrink;
  }
  r.Unchanged = k;

  r.StartOp = firstChanged >= 0 ? static_cast<TZEProcessOperation>(dir.GetItemPtr(firstChanged).PendingOp) : poDelete;
  bool cancel = false;
  DoOnOverallProgress(0.0, r.StartOp, ppStart, cancel);
  if (cancel) {
    RestoreWorkingDirectory();
    throw EZEException(46, this);
  }

  const TManagerState saved(*FDirManager);
  bool failed = false;
  try {
    RunRebuild(r);
    failed = FPipeline.Cancel || r.Action == fxaAbort || FWriteFailed;
    if (!failed) CommitRebuild(r);
  } catch (...) {
    RollbackRebuild(r);
    saved.Restore(*FDirManager);
    FDirManager->SetStream(FArchiveStream);
    RestoreWorkingDirectory();
    throw;
  }
  if (failed) {
    RollbackRebuild(r);
    saved.Restore(*FDirManager);
    FDirManager->SetStream(FArchiveStream);
    RestoreWorkingDirectory();
    if (r.Action == fxaAbort && r.ItemFailure) throw EZEException(*r.ItemFailure);
    throw EZEException(46, this, FWriteFailed ? FWriteError : 0);
  }

  // The new archive is in place from here on: what follows cannot undo it.
  dir.ClearTags();
  DeleteMovedSources(r);
  cancel = false;
  DoOnOverallProgress(100.0, r.StartOp, ppEnd, cancel);
  // A split archive is complete now: cut it into its volumes.
  if (!FWholeName.IsEmpty()) WriteVolumes();
  if (r.Action == fxaAbort && r.ItemFailure) throw EZEException(*r.ItemFailure);
}

void TZEBaseArchiver::RunRebuild(TRebuild& r) {
  TZEDirArray& dir = FDirManager->Directory();
  TZEDirArray& backup = FDirManager->Backup();
  const int64_t archiveSize = FArchiveStream->Size();

  auto* fileStream = dynamic_cast<TUcFileStream*>(FArchiveStream);
  if (fileStream && !FExternalStream && !FInMemory && FSpanningMode == smNone) {
    r.TempName = TempFileBeside(FFileName);
    r.ToNewFile = !r.TempName.IsEmpty();
  }
  if (r.ToNewFile) {
    r.TempStream.reset(new TUcFileStream(r.TempName, fmCreate));
    r.Out = r.TempStream.get();
    if (r.Cut > 0) {
      FArchiveStream->SetPosition(0);
      CopyBytes(this, FArchiveStream, r.Out, std::min(r.Cut, archiveSize));
    }
    r.Source = FArchiveStream;
    r.SourceBase = 0;
  } else {
    if (r.Cut < archiveSize) {
      r.TempName = GetTempFileName();
      r.TempStream.reset(new TUcFileStream(r.TempName, fmCreate));
      FArchiveStream->SetPosition(r.Cut);
      CopyBytes(this, FArchiveStream, r.TempStream.get(), archiveSize - r.Cut);
    }
    r.Source = r.TempStream.get();
    r.SourceBase = r.Cut;
    FArchiveStream->SetSize(r.Cut);
    r.Out = FArchiveStream;
  }
  r.Out->SetPosition(r.Cut);
  FVolumeState->SetFirstVolume(true);

  for (int i = r.Unchanged; i < dir.GetCount() && !FPipeline.Cancel;) {
    bool ok;
    for (;;) {
      r.Action = fxaIgnore;
      ok = true;
      const TDirItem& item = dir.GetItemPtr(i);
      // New data comes from a source only for an added, moved or replaced
      // item; everything else that changed keeps its data.
      const bool newData = item.PendingOp == poAdd || item.PendingOp == poMove || item.PendingOp == poUpdate;
      if (item.Changed && (item.BackupIndex < 0 || newData))
        ok = WriteLocalItem(r, i);
      else
        CopyItem(r, i);
      if (r.Action != fxaRetry) break;
    }
    if (r.Action == fxaAbort || FPipeline.Cancel || FWriteFailed) break;
    if (ok) {
      ++FPipeline.ItemsDone;
      ++i;
      continue;
    }
    TDirItem& item = dir.GetItemPtr(i);
    if (item.BackupIndex < 0) {
      // A new item that could not be written is not in the archive.
      dir.DeleteItem(i);
    } else {
      // An existing item keeps its old data and record.
      const TDirItem old = backup.GetItem(item.BackupIndex);
      dir.SetItem(i, old);
      dir.GetItemPtr(i).BackupIndex = item.BackupIndex;
      CopyItem(r, i);
      ++i;
    }
  }
  if (FPipeline.Cancel || r.Action == fxaAbort || FWriteFailed) return;
  FDirManager->SaveDir(true, r.Out);
}

bool TZEBaseArchiver::WriteLocalItem(TRebuild& r, int index) {
  TZEDirArray& dir = FDirManager->Directory();
  TDirItem& item = dir.GetItemPtr(index);
  SetCompMethod();
  const TZEProcessOperation op = static_cast<TZEProcessOperation>(item.PendingOp);
  const WideString eventName = op == poAdd || op == poMove ? item.SourcePath : item.StoredName;
  bool cancel = false;
  DoOnFileProgress(eventName, 0.0, op, ppStart, cancel);
  if (cancel) FPipeline.Cancel = true;
  if (FPipeline.Cancel) return false;

  // What a failed attempt must not leave behind: its bytes and its blocks.
  const TDirItem before = item;
  const int64_t start = r.Out->Position();

  std::unique_ptr<TStream> fileSource;
  TStream* source = nullptr;
  int64_t savedPos = 0;
  std::unique_ptr<TStream> view;
  auto closeSource = [&] {
    view.reset();
    fileSource.reset();
    if (source && item.SourceStream && !item.OwnedSource) item.SourceStream->SetPosition(savedPos);
    source = nullptr;
  };
  try {
    const AnsiString headerName = StoredNameToDisk(item.StoredName, FOptions->OEMFileNames, item.Header.Flags);
    if (headerName.Length() > 0xFFFF) throw EZEException(61, {item.SourcePath.IsEmpty() ? item.StoredName : item.SourcePath}, this);
    item.Zip64 = false;

    int64_t sourceSize = 0;
    TStream* itemStream = item.OwnedSource ? item.OwnedSource.get() : item.SourceStream;
    if (itemStream) {
      savedPos = itemStream->Position();
      const int64_t total = itemStream->Size();
      const int64_t from = std::clamp<int64_t>(item.SourceStart, 0, total);
      sourceSize = item.SourceCount >= 0 ? std::min(item.SourceCount, total - from) : total - from;
      view.reset(new TZEStreamView(itemStream, from, sourceSize));
      source = view.get();
    } else if (!(item.Header.ExternalAttributes & ZE_ATTR_DIRECTORY)) {
      if (item.SourcePath.Length() >= 260 && !ZEContains(item.SourcePath, L"\\\\?\\"))
        throw EZEException(61, {item.SourcePath}, this);
      try {
        fileSource.reset(new TUcFileStream(item.SourcePath, fmOpenRead | ShareModeToInt(FOptions->ShareMode)));
      } catch (const EStreamError& e) {
        throw EZEException(33, {item.SourcePath}, this, e.ErrorCode());
      }
      source = fileSource.get();
      sourceSize = source->Size();
    }

    const int64_t pos = r.Out->Position();
    item.Header.LocalHeaderOffset = Header32(item, pos, item.Zip64Offset);

    TZEZipFileHeader lh{};
    lh.Signature = ZE_LOCAL_SIG;
    uint16_t version = item.Zip64 || sourceSize >= static_cast<int64_t>(ZE_ALL32) ? ZE_VERSION_ZIP64
                       : FOptions->OEMFileNames                                    ? ZE_VERSION_OEM
                                                                                   : ZE_VERSION_ANSI;
    lh.VersionNeeded = version;
    item.Header.VersionMadeBy = item.Header.VersionNeeded = version;
    lh.Flags = item.Header.Flags;
    // Only a file item with a password is an AES item: a folder, or an item
    // without a password, keeps its own method and gets no AES block.
    const bool aesItem = source && IsAESItem(item);
    if (aesItem) item.Header.Method = ZE_METHOD_AES;
    lh.Method = item.Header.Method;
    lh.ModTime = item.Header.ModTime;
    lh.ModDate = item.Header.ModDate;
    lh.Crc32 = item.Header.Crc32;
    lh.CompressedSize = 0;
    if (!source) {
      lh.UncompressedSize = 0;
    } else if (sourceSize < static_cast<int64_t>(ZE_ALL32) && FZip64Mode != zmAlways) {
      lh.UncompressedSize = static_cast<uint32_t>(sourceSize);
    } else {
      lh.UncompressedSize = ZE_ALL32;
      item.Zip64 = true;
    }
    lh.NameLength = static_cast<uint16_t>(headerName.Length());
    if (FZip64Mode == zmDisabled && item.Zip64) {
      closeSource();
      throw EZEException(43, {item.SourcePath}, this);
    }

    // The extra length is known before the first write, so that a header cut
    // off after it still describes what follows it.
    std::vector<uint8_t> extra;
    const bool zip64Room = lh.UncompressedSize == ZE_ALL32;
    if (zip64Room) extra.resize(20, 0);
    if (FUnicodeFilenames) {
      TZEExtraBlock nu = MakeUnicodeNameBlock(item.StoredName);
      PutLE16(extra, nu.Id);
      PutLE16(extra, static_cast<uint16_t>(nu.Data.size()));
      extra.insert(extra.end(), nu.Data.begin(), nu.Data.end());
      item.ExtraBlocks.erase(std::remove_if(item.ExtraBlocks.begin(), item.ExtraBlocks.end(),
                                            [](const TZEExtraBlock& b) { return b.Id == ZE_EXTRA_UNICODE; }),
                             item.ExtraBlocks.end());
      item.ExtraBlocks.push_back(std::move(nu));
    }
    item.ExtraBlocks.erase(std::remove_if(item.ExtraBlocks.begin(), item.ExtraBlocks.end(),
                                          [](const TZEExtraBlock& b) { return b.Id == ZE_EXTRA_AES; }),
                           item.ExtraBlocks.end());
    if (aesItem) {
      // The block records the data's own method: stored for an empty source.
      TAESCryptoTransform aes(AESKeyBits(FEncryptionMethod), 2, sourceSize == 0 ? 0 : item.RealMethod);
      aes.Initialize(TCryptoTransformMode::Encryption, item);
      TZEExtraBlock block = aes.GetExtraFieldData();
      PutLE16(extra, block.Id);
      PutLE16(extra, static_cast<uint16_t>(block.Data.size()));
      extra.insert(extra.end(), block.Data.begin(), block.Data.end());
      item.ExtraBlocks.push_back(std::move(block));
      item.EncryptionMarker = static_cast<uint8_t>(FEncryptionMethod);
    }
    lh.ExtraLength = static_cast<uint16_t>(extra.size());

    std::vector<uint8_t> head(30);
    std::memcpy(head.data(), &lh, 30);
    AnsiString diskName = headerName;
    head.insert(head.end(), diskName.c_str(), diskName.c_str() + diskName.Length());
    head.insert(head.end(), extra.begin(), extra.end());
    WriteBufferToStream(r.Out, head.data(), static_cast<int64_t>(head.size()));

    if (source) {
      const bool done = InternalCompressFile(source, r.Out, item);
      if (done) {
        lh.Crc32 = item.Header.Crc32;
        lh.CompressedSize = item.Header.CompressedSize < ZE_ALL32 && FZip64Mode != zmAlways
                                ? item.Header.CompressedSize
                                : ZE_ALL32;
        if (sourceSize == 0 && !aesItem) lh.Method = 0;
        const int64_t end = r.Out->Position();
        r.Out->SetPosition(pos);
        WriteBufferToStream(r.Out, &lh, 30);
        if (zip64Room) {
          TZEZip64LocalExtra z{ZE_EXTRA_ZIP64, 16, static_cast<uint64_t>(sourceSize),
                               static_cast<uint64_t>(item.PackedSize())};
          r.Out->SetPosition(pos + 30 + lh.NameLength);
          WriteBufferToStream(r.Out, &z, 20);
        }
        r.Out->SetPosition(end);
      }
    }
    if (FPipeline.Cancel || FWriteFailed) {
      closeSource();
      return false;
    }
    r.Out->SetPosition(r.Out->Size());
    closeSource();
    // An item-owned stream has served its purpose once its data is written.
    item.OwnedSource.reset();
    item.SourceStream = nullptr;
    item.Written = true;
    cancel = false;
    DoOnFileProgress(eventName, 100.0, op, ppEnd, cancel);
    if (cancel) FPipeline.Cancel = true;
    return true;
  } catch (const EZEException& e) {
    closeSource();
    // Leave nothing of this attempt in the archive or in the record.
    item = before;
    r.Out->SetSize(start);
    r.Out->SetPosition(start);
    r.ItemFailure.reset(new EZEException(e));
    if (!FArchiveStream) {
      r.Action = fxaAbort;
    } else {
      TZEAction action = fxaIgnore;
      DoOnProcessFileFailure(op == poUpdate ? item.StoredName : item.SourcePath, op, e.NativeError(), e.ErrorCode(),
                             e.WideMessage(), action);
      r.Action = action;
    }
    return false;
  } catch (...) {
    closeSource();
    throw;
  }
}

int64_t TZEBaseArchiver::LocalRecordLength(TStream* source, int64_t offset, const TDirItem& backup,
                                           TZEZipFileHeader& header) {
  const int64_t size = source->Size();
  if (offset < 0 || offset + 30 > size) throw EZEException(35, nullptr);
  source->SetPosition(offset);
  source->ReadBuffer(&header, 30);
  int64_t length = 30 + header.NameLength + header.ExtraLength + backup.PackedSize();
  if (header.Flags & 8) {
    // The data descriptor: with or without its signature, with 32- or 64-bit
    // sizes (64-bit when the local header carries a ZIP64 field).
    bool zip64 = false;
    if (header.ExtraLength > 0 && offset + 30 + header.NameLength + header.ExtraLength <= size) {
      std::vector<uint8_t> ex(header.ExtraLength);
      source->SetPosition(offset + 30 + header.NameLength);
      source->ReadBuffer(ex.data(), header.ExtraLength);
      for (size_t at = 0; at + 4 <= ex.size();) {
        uint16_t id = GetLE16(ex.data() + at), sz = GetLE16(ex.data() + at + 2);
        if (id == ZE_EXTRA_ZIP64) zip64 = true;
        at += 4 + sz;
      }
    }
    int64_t d = 12 + (zip64 ? 8 : 0);
    uint8_t sig[4] = {};
    if (offset + length + 4 <= size) {
      source->SetPosition(offset + length);
      source->ReadBuffer(sig, 4);
      if (GetLE32(sig) == ZE_DESCRIPTOR_SIG) d += 4;
    }
    length += d;
  }
  if (backup.PackedSize() < 0 || offset + length > size) throw EZEException(35, nullptr);
  return length;
}

void TZEBaseArchiver::CopyItem(TRebuild& r, int index) {
  TZEDirArray& dir = FDirManager->Directory();
  TZEDirArray& backup = FDirManager->Backup();
  TDirItem& item = dir.GetItemPtr(index);
  if (item.BackupIndex < 0 || item.BackupIndex >= backup.GetCount() || !r.Source) throw EZEException(7, this);
  const TDirItem b = backup.GetItem(item.BackupIndex);
  if (item.PendingOp == poUpdate && item.Changed && !item.Written) {
    const int32_t bi = item.BackupIndex;
    dir.SetItem(index, b);
    dir.GetItemPtr(index).BackupIndex = bi;
  }
  TDirItem& w = dir.GetItemPtr(index);
  const int64_t offset = b.LocalOffset() - r.SourceBase;
  TZEZipFileHeader old;
  const int64_t length = LocalRecordLength(r.Source, offset, b, old);

  const int64_t pos = r.Out->Position();
  if (pos < static_cast<int64_t>(ZE_ALL32)) {
    w.Header.LocalHeaderOffset = static_cast<uint32_t>(pos);
    if (b.Header.UncompressedSize == ZE_ALL32) {
      w.Header.LocalHeaderOffset = ZE_ALL32;
      w.Zip64Offset = pos;
    }
  } else {
    w.Zip64 = true;
    w.Header.LocalHeaderOffset = ZE_ALL32;
    w.Zip64Offset = pos;
  }

  // A record whose name changed gets a new local header; any other is copied
  // as it lies.
  if (w.StoredName != b.StoredName) {
    const AnsiString name = StoredNameToDisk(w.StoredName, FOptions->OEMFileNames);
    const bool zip64 = b.Header.UncompressedSize == ZE_ALL32;
    std::vector<uint8_t> extra;
    if (zip64) {
      PutLE16(extra, ZE_EXTRA_ZIP64);
      PutLE16(extra, 16);
      PutLE64(extra, static_cast<uint64_t>(w.Zip64Uncompressed));
      PutLE64(extra, static_cast<uint64_t>(w.Zip64Compressed != 0 ? w.Zip64Compressed : b.Header.CompressedSize));
    }
    for (const TZEExtraBlock& e : w.ExtraBlocks) {
      if (e.Id == ZE_EXTRA_ZIP64) continue;
      if (extra.size() + 4 + e.Data.size() > 0xFFFF) continue;
      PutLE16(extra, e.Id);
      PutLE16(extra, static_cast<uint16_t>(e.Data.size()));
      extra.insert(extra.end(), e.Data.begin(), e.Data.end());
    }
    TZEZipFileHeader lh = old;
    lh.NameLength = static_cast<uint16_t>(std::min(name.Length(), 0xFFFF));
    lh.ExtraLength = static_cast<uint16_t>(extra.size());
    lh.Flags &= ~0x0800;
    std::vector<uint8_t> head(30);
    std::memcpy(head.data(), &lh, 30);
    head.insert(head.end(), name.c_str(), name.c_str() + lh.NameLength);
    head.insert(head.end(), extra.begin(), extra.end());
    WriteBufferToStream(r.Out, head.data(), static_cast<int64_t>(head.size()));
    const int64_t oldHead = 30 + old.NameLength + old.ExtraLength;
    r.Source->SetPosition(offset + oldHead);
    CopyBytes(this, r.Source, r.Out, length - oldHead);
  } else {
    r.Source->SetPosition(offset);
    CopyBytes(this, r.Source, r.Out, length);
  }
  w.Written = true;
}

void TZEBaseArchiver::CommitRebuild(TRebuild& r) {
  DWORD error = 0;
  if (!r.ToNewFile) {
    // The disk may refuse the new bytes only now (a delayed write): that is a
    // failed write like any other, and the old tail is still here to put back.
    auto* fs = dynamic_cast<TUcFileStream*>(FArchiveStream);
    if (FOptions->FlushBuffers && fs && !fs->Flush(error)) throw EZEException(46, this, error);
    r.TempStream.reset();
    if (!r.TempName.IsEmpty()) WideDeleteFile(r.TempName);
    r.TempName = WideString();
    return;
  }
  auto* temp = static_cast<THandleStream*>(r.TempStream.get());
  if (FOptions->FlushBuffers && !temp->Flush(error)) throw EZEException(46, this, error);
  r.TempStream.reset();
  const DWORD attrs = WideFileGetAttr(FFileName);
  delete FArchiveStream;
  FArchiveStream = nullptr;
  const uint16_t reopenMode = FOpenMode == fmCreate ? static_cast<uint16_t>(fmOpenReadWrite) : FOpenMode;
  if (!MoveFileExW(r.TempName.c_str(), FFileName.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD error = GetLastError();
    // The old archive is still whole: take it back and report the failure.
    WideDeleteFile(r.TempName);
    r.TempName = WideString();
    ReopenFileStream(FFileName);
    throw EZEException(46, this, error);
  }
  r.TempName = WideString();
  if (attrs != 0xFFFFFFFF && (attrs & ~(FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NORMAL)) != 0)
    WideFileSetAttr(FFileName, attrs);
  FOpenMode = reopenMode;
  ReopenFileStream(FFileName);
  FDirManager->SetStream(FArchiveStream);
}

void TZEBaseArchiver::RollbackRebuild(TRebuild& r) {
  try {
    if (r.ToNewFile) {
      r.TempStream.reset();
      if (!r.TempName.IsEmpty()) WideDeleteFile(r.TempName);
      r.TempName = WideString();
      if (!FArchiveStream) ReopenFileStream(FFileName);
      return;
    }
    if (FArchiveStream) {
      FArchiveStream->SetPosition(r.Cut);
      FArchiveStream->SetSize(r.Cut);
      if (r.TempStream) {
        r.TempStream->SetPosition(0);
        const int64_t n = r.TempStream->Size();
        std::vector<uint8_t> buf(static_cast<size_t>(std::min<int64_t>(n, 1048576)));
        for (int64_t left = n; left > 0;) {
          int32_t k = static_cast<int32_t>(std::min<int64_t>(left, static_cast<int64_t>(buf.size())));
          r.TempStream->ReadBuffer(buf.data(), k);
          FArchiveStream->WriteBuffer(buf.data(), k);
          left -= k;
        }
      }
    }
  } catch (...) {
    // Putting the old bytes back is all that is left to try; the failure that
    // brought us here is what the caller hears about.
  }
  r.TempStream.reset();
  if (!r.TempName.IsEmpty()) WideDeleteFile(r.TempName);
  r.TempName = WideString();
}

void TZEBaseArchiver::DeleteMovedSources(TRebuild& r) {
  TZEDirArray& dir = FDirManager->Directory();
  auto walk = [&](bool folders) {
    for (int i = 0; i < dir.GetCount(); ++i) {
      const TDirItem& item = dir.GetItemPtr(i);
      // Only sources whose data went into the archive are removed.
      if (!item.Changed || item.PendingOp != poMove || !item.Written) continue;
      if (((item.Header.ExternalAttributes & ZE_ATTR_DIRECTORY) != 0) != folders) continue;
      for (;;) {
        r.Action = fxaIgnore;
        try {
          if (folders) {
            if (!DelTreeIfNoFiles(WideIncludeTrailingBackslash(item.SourcePath)))
              throw EZEException(60, {item.SourcePath}, this);
          } else if (!WideDeleteFile(item.SourcePath)) {
            WideFileSetAttr(item.SourcePath, 0);
            if (!WideDeleteFile(item.SourcePath)) throw EZEException(27, {item.SourcePath}, this);
          }
        } catch (const EZEException& e) {
          TZEAction action = fxaIgnore;
          DoOnProcessFileFailure(item.SourcePath, poMove, e.NativeError(), e.ErrorCode(), e.WideMessage(), action);
          r.Action = action;
          if (action == fxaAbort) r.ItemFailure.reset(new EZEException(e));
        }
        if (r.Action != fxaRetry) break;
      }
      if (r.Action == fxaAbort) return;
    }
  };
  walk(false);
  if (r.Action != fxaAbort) walk(true);
}

// --- helpers ------------------------------------------------------------------------

int ShareModeToInt(int shareMode) {
  switch (shareMode) {
    case smShareCompat: return 0;
    case smShareExclusive: return 0x10;
    case smShareDenyWrite: return 0x20;
    case smShareDenyRead: return 0x30;
    case smShareDenyNone: return 0x40;
    default: return 0;
  }
}

bool IsFloppyDrive(const WideString& name) {
  WideString drive = WideExtractFileDrive(name);
  if (drive.Length() != 2) return false;
  wchar_t c = drive[1];
  if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - 32);
  return c == L'A' || c == L'B';
}

bool IsRemovableDrive(const WideString& name) {
  if (IsFloppyDrive(name)) return true;
  WideString drive = WideExtractFileDrive(name);
  if (drive.IsEmpty()) return false;
  return GetDriveTypeA(WideToAnsi(drive).c_str()) == DRIVE_REMOVABLE;
}

bool DelTreeIfNoFiles(const WideString& folder) {
  TSearchRecW rec;
  if (WideFindFirst(folder + L"*", 0x37, rec) == 0) {
    struct TCloser {
      TSearchRecW& R;
      ~TCloser() { WideFindClose(R); }
    } closer{rec};
    do {
      if ((rec.Attr & ZE_ATTR_DIRECTORY) && rec.Name != L"." && rec.Name != L"..") {
        if (!DelTreeIfNoFiles(folder + rec.Name + L"\\")) return false;
      }
    } while (WideFindNext(rec) == 0);
  }
  WideString dir = WideExcludeTrailingBackslash(folder);
  return WideRemoveDir(dir) || !WideDirectoryExists(dir);
}

CL_DEFINE_CLASS(TZEStreamView, TStream)
