// Checking and repairing: whether every item of an archive reads well, and a
// copy of every item that can be read.
#include "ZEInternal.h"

#include <memory>

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
