#include "ZipEngine.h"

#include "ZECodec.h"
#include "ZEInternal.h"

// --- the process-wide lock -------------------------------------------------------

namespace {
TCriticalSection* GZELock = nullptr;
}

TCriticalSection& ZELockSection() {
  // Created when the unit starts; a component used before that (a static test
  // object) still gets one.
  if (!GZELock) GZELock = new TCriticalSection();
  return *GZELock;
}

TZELockGuard::TZELockGuard() { ZELockSection().Acquire(); }
TZELockGuard::~TZELockGuard() { ZELockSection().Release(); }

void UnitInit_ZipEngine() { ZELockSection(); }

void UnitFini_ZipEngine() {
  delete GZELock;
  GZELock = nullptr;
}

// --- options ----------------------------------------------------------------------

void TZEOptions::Assign(TPersistent* source) {
  if (auto* o = dynamic_cast<TZEOptions*>(source)) {
    StorePath = o->StorePath;
    Recurse = o->Recurse;
    ShareMode = o->ShareMode;
    OverwriteMode = o->OverwriteMode;
    CreateDirs = o->CreateDirs;
    ReplaceReadOnly = o->ReplaceReadOnly;
    SetAttributes = o->SetAttributes;
    SearchAttr = o->SearchAttr;
    FlushBuffers = o->FlushBuffers;
    OEMFileNames = o->OEMFileNames;
    return;
  }
  TPersistent::Assign(source);
}

void TZESpanningOptions::SetCustomVolumeSize(int64_t value) { FCustomVolumeSize = value < 65536 ? 65536 : value; }

int64_t TZESpanningOptions::GetVolumeSize(int volume) const {
  if (volume == 0 && FirstVolumeSize > 0) return FirstVolumeSize;
  switch (VolumeSize) {
    case vsCustom: return FCustomVolumeSize;
    case vs1_44MB: return 1457664;
    case vs100MB: return 104857600;
    case vs200MB: return 209715200;
    case vs250MB: return 262144000;
    case vs600MB: return 629145600;
    case vs650MB: return 681574400;
    case vs700MB: return 734003200;
    case vs4700MB: return 4928307200LL;
    default: return -1;
  }
}

void TZESpanningOptions::Assign(TPersistent* source) {
  if (auto* o = dynamic_cast<TZESpanningOptions*>(source)) {
    AdvancedNaming = o->AdvancedNaming;
    FirstVolumeSize = o->FirstVolumeSize;
    VolumeSize = o->VolumeSize;
    FCustomVolumeSize = o->FCustomVolumeSize;
    return;
  }
  TPersistent::Assign(source);
}

void TZEVolumeNumberInfo::Init() {
  Kind = vkUnknown;
  VolumeNumber = -1;
  LastVolumeNumber = -1;
}

void TZEVolumeNumberInfo::SetFirstVolume(bool value) {
  if (!value) return;
  VolumeNumber = 0;
  Kind = vkFirst;
}

void TZEVolumeNumberInfo::SetLastVolume(bool value) {
  if (!value) return;
  VolumeNumber = LastVolumeNumber;
  Kind = vkLast;
}

void TZEVolumeNumberInfo::SetVolumeNumber(int32_t n) {
  Kind = vkNumbered;
  VolumeNumber = n;
}

bool TZEVolumeNumberInfo::GetLastVolume() const {
  if (LastVolumeNumber >= 0) return VolumeNumber == LastVolumeNumber;
  return Kind == vkLast;
}

bool TZEVolumeNumberInfo::IsEqualTo(const TZEVolumeNumberInfo& other) const {
  if (GetLastVolume()) return other.GetLastVolume();
  if (GetFirstVolume()) return other.GetFirstVolume();
  if (VolumeNumber < 0) return Kind == other.Kind;
  return VolumeNumber == other.VolumeNumber;
}

// --- construction ----------------------------------------------------------------

TZEBaseArchiver::TZEBaseArchiver(TComponent* owner)
    : TComponent(owner),
      FVolumeState(new TZEVolumeNumberInfo()),
      FOptions(new TZEOptions()),
      FSpanningOptions(new TZESpanningOptions()) {
  FFileMasks = new TUcStringList();
  FExclusionMasks = new TUcStringList();
  FNoCompressionMasks = new TUcStringList();
  FVolumeState->Init();
  SetCompressionLevel(TZECompressionLevel::clFastest);
}

TZEBaseArchiver::~TZEBaseArchiver() {
  CloseArchive();
  delete FFileMasks;
  delete FExclusionMasks;
  delete FNoCompressionMasks;
}

TZipEngine::TZipEngine(TComponent* owner) : TZEBaseArchiver(owner) {
  FStandardSignatures = true;
  FZip64Mode = zmDisabled;
  // The base constructor could only reach the base SetCompMethod (0xFFFF):
  // give the component its real method word now.
  SetCompMethod();
}

void TZipEngine::SetPassword(const AnsiString& value) {
  if (FPassword.IsEmpty()) FEncryptionMethod = caPkzipClassic;
  FPassword = value;
}

void TZipEngine::SetCompMethod() { FCompressionMethod = FCompressionMode != 0 ? 8 : 0; }

void TZEBaseArchiver::SetCompMethod() { FCompressionMethod = 0xFFFF; }

// --- properties -------------------------------------------------------------------

void TZEBaseArchiver::SetCompressionLevel(TZECompressionLevel level) {
  FCompressionLevel = level;
  FCompressionMode = static_cast<uint8_t>(LevelToMode(level));
  SetCompMethod();
}

void TZEBaseArchiver::SetCompressionMode(int mode) {
  if (mode < 0 || mode >= 10) throw EZEException(5, this);
  FCompressionMode = static_cast<uint8_t>(mode);
  FCompressionLevel = ModeToLevel(mode);
  SetCompMethod();
}

WideString TZEBaseArchiver::CurrentVersion() const {
  return AnsiToWide(FormatFloatInvariant(5.0, 2)) + L" ";
}

void TZEBaseArchiver::SetPassword(const AnsiString& value) { FPassword = value; }

void TZEBaseArchiver::SetSpanningMode(TZESpanningMode mode) {
  if (FActive) throw Exception("Cannot set spanning mode on open archive");
  FSpanningMode = mode;
}

void TZEBaseArchiver::SetFileMasks(TUcStringList* v) { FFileMasks->Assign(v); }
void TZEBaseArchiver::SetExclusionMasks(TUcStringList* v) { FExclusionMasks->Assign(v); }
void TZEBaseArchiver::SetNoCompressionMasks(TUcStringList* v) { FNoCompressionMasks->Assign(v); }

void TZEBaseArchiver::SetInMemory(bool value) {
  if (value == FInMemory) return;
  if (FActive) {
    if (!value) {
      if (FFileName.IsEmpty()) throw EZEException(29, this);
      {
        TUcFileStream file(FFileName, fmCreate);
        FArchiveStream->SetPosition(0);
        if (FArchiveStream->Size() > 0) file.CopyFrom(FArchiveStream, FArchiveStream->Size());
      }
      CloseArchive();
      FInMemory = false;
      OpenArchive();
      return;
    }
    CloseArchive();
    FInMemory = true;
    OpenArchive(fmCreate);
    return;
  }
  FInMemory = value;
}

void TZEBaseArchiver::SetActive(bool value) {
  if (value == FActive) return;
  if (value)
    OpenArchive();
  else
    CloseArchive();
}

AnsiString TZEBaseArchiver::FileComment() const { return FActive && FDirManager ? FDirManager->Comment : AnsiString(); }

void TZEBaseArchiver::SetFileComment(const AnsiString& value) {
  CheckInactive();
  CheckModifySpanning();
  FDirManager->Comment = value;
  if (!InUpdate() && FSpanningMode == smNone) FDirManager->SaveDir(false);
}

bool TZEBaseArchiver::Encrypted() const {
  if (!FPassword.IsEmpty()) return true;
  if (!FActive || !FDirManager) return false;
  TZEDirArray& dir = FDirManager->Directory();
  for (int i = 0; i < dir.GetCount(); ++i)
    if (dir.GetItemPtr(i).Header.Flags & 1) return true;
  return false;
}

bool TZEBaseArchiver::Exists() const { return WideFileExists(FFileName); }

int64_t TZEBaseArchiver::GetArchiveSize() {
  CheckInactive();
  return FArchiveStream->Size();
}

int TZEBaseArchiver::GetFileCount() {
  CheckInactive();
  const bool recurse = FOptions->Recurse;
  FOptions->Recurse = true;
  int folders = 0;
  try {
    TZEArchiveItem item;
    bool found = FindFirst(L"*.*", item, ZE_ATTR_DIRECTORY, WideString());
    while (found) {
      if (item.ExternalAttributes & ZE_ATTR_DIRECTORY) ++folders;
      found = FindNext(item);
    }
  } catch (...) {
    FOptions->Recurse = recurse;
    throw;
  }
  FOptions->Recurse = recurse;
  return Dir().GetCount() - folders;
}

void TZEBaseArchiver::Lock() { ZELockSection().Acquire(); }
void TZEBaseArchiver::Unlock() { ZELockSection().Release(); }

TZEDirArray& TZEBaseArchiver::Dir() {
  CheckInactive();
  return FDirManager->Directory();
}

// --- checks -------------------------------------------------------------------------

void TZEBaseArchiver::CheckInactive() {
  if (!FActive || !FDirManager) throw EZEException(13, this);
}

void TZEBaseArchiver::CheckInUpdate() {
  if (InUpdate()) throw EZEException(26, this);
}

void TZEBaseArchiver::CheckModifySpanning() {
  if (FSpanningMode != smNone && !InUpdate() && FDirManager && FDirManager->Directory().GetCount() > 0)
    throw EZEException(52, this);
}

bool TZEBaseArchiver::IsRemovable(const WideString& name) const { return IsRemovableDrive(name); }

// --- open and close --------------------------------------------------------------------

void TZEBaseArchiver::OpenArchive() {
  if (!FInMemory && WideExtractFileName(FFileName).IsEmpty()) throw EZEException(9, this);
  uint16_t mode = fmCreate;
  if (!FInMemory && WideFileExists(FFileName)) {
    // A trial open for read-write, others may read: decides whether the
    // archive can be changed.
    HANDLE h = WideFileOpen(FFileName, fmOpenReadWrite | fmShareDenyWrite);
    if (h != INVALID_HANDLE_VALUE) {
      CloseHandle(h);
      mode = fmOpenReadWrite | fmShareDenyWrite;
    } else {
      mode = fmOpenRead | fmShareDenyNone;
    }
  }
  OpenArchive(mode);
}

void TZEBaseArchiver::OpenArchive(uint16_t mode) {
  FUpdateCommitted = false;
  if (!FInMemory && WideExtractFileName(FFileName).IsEmpty()) throw EZEException(10, this);
  if (mode < fmCreate && !WideFileExists(FFileName) && FSpanningMode != smSpanning && !IsRemovable(FFileName))
    throw EZEException(12, {FFileName}, this);
  if (mode < fmCreate && FInMemory) throw EZEException(28, {FFileName}, this);
  CloseArchive();
  FExternalStream = false;
  FOpenMode = mode;
  try {
    InternalOpenArchive(mode);
  } catch (...) {
    // A failed open keeps nothing: no handle on the file, no manager.
    FreeArchive();
    throw;
  }
  FActive = true;
  DoAfterOpen();
}

void TZEBaseArchiver::InternalOpenArchive(uint16_t mode) {
  if (mode == fmCreate || FInMemory) {
    if (FInMemory) {
      FArchiveStream = new TMemoryStream();
    } else {
      FVolumeState->Init();
      FVolumeState->SetFirstVolume(true);
      OpenVolume(*FVolumeState);
    }
    FDirManager.reset(new TZEDirManager(FArchiveStream, true, this));
    return;
  }
  FSpanningMode = smNone;
  FVolumeState->Init();
  bool found;
  {
    // The end record must be really there for the tolerance test below.
    const bool tolerance = FOpenTolerance;
    FOpenTolerance = false;
    try {
      if (IsSFXArchive(FFileName)) {
        found = InternalOpenSFXArchive();
      } else {
        FVolumeState->SetLastVolume(true);
        OpenVolume(*FVolumeState);
        found = ReadEndRecord();
      }
    } catch (...) {
      FOpenTolerance = tolerance;
      throw;
    }
    FOpenTolerance = tolerance;
  }
  if (!found && !FOpenTolerance) throw EZEException(48, this);
  FDirManager->LoadDir();
}

void TZEBaseArchiver::OpenArchive(TStream* stream, bool create) {
  if (FSpanningMode != smNone) throw EZEException(51, this);
  CloseArchive();
  FExternalStream = true;
  FArchiveStream = stream;
  FOpenMode = create ? fmCreate : fmOpenReadWrite;
  try {
    if (create) {
      stream->SetSize(int64_t(0));
      FDirManager.reset(new TZEDirManager(stream, true, this));
    } else {
      FDirManager.reset(new TZEDirManager(stream, false, this));
      FDirManager->LoadDir();
    }
  } catch (...) {
    FreeArchive();
    throw;
  }
  FActive = true;
  DoAfterOpen();
}

void TZEBaseArchiver::FreeArchive() {
  FActive = false;
  FDirManager.reset();
  if (!FExternalStream) delete FArchiveStream;
  FArchiveStream = nullptr;
  // A split archive that was never cut into its volumes leaves nothing.
  if (!FWholeName.IsEmpty()) WideDeleteFile(FWholeName);
  FWholeName = WideString();
  FExternalStream = false;
  FVolumeName = WideString();
  FUpdateCount = 0;
}

void TZEBaseArchiver::CloseArchive() {
  FLastCloseError = WideString();
  FLastCloseSystemError = 0;
  if (FActive) {
    try {
      ForceUpdate();
    } catch (const Exception& e) {
      // Close runs on cleanup paths and must not raise; the rebuild already
      // put the archive back as it was. The failure stays readable.
      FLastCloseError = ZEExceptionMessage(e);
      FLastCloseSystemError = ZEExceptionSystemError(e);
      OutputDebugStringW((L"ZipEngine: commit at close failed: " + FLastCloseError).c_str());
    } catch (...) {
      FLastCloseError = L"Unknown error";
    }
    try {
      if (FArchiveStream && FDirManager && FArchiveStream->Size() == 0) FDirManager->SaveDir(true);
      if (!FWholeName.IsEmpty() && FDirManager) WriteVolumes();
    } catch (const Exception& e) {
      if (FLastCloseError.IsEmpty()) {
        FLastCloseError = ZEExceptionMessage(e);
        FLastCloseSystemError = ZEExceptionSystemError(e);
      }
    } catch (...) {
    }
  }
  FreeArchive();
}

void TZEBaseArchiver::ReopenFileStream(const WideString& name) {
  if (!FExternalStream) delete FArchiveStream;
  FArchiveStream = nullptr;
  FExternalStream = false;
  FArchiveStream = new TUcFileStream(name, FOpenMode);
  FVolumeName = name;
  if (FDirManager) FDirManager->SetStream(FArchiveStream);
}

// --- transactions -----------------------------------------------------------------------

void TZEBaseArchiver::BeginUpdate() {
  if (FSpanningMode != smNone && FUpdateCommitted) throw EZEException(62, nullptr);
  if (FUpdateCount == 0) {
    if (!FActive) SetActive(true);
    if ((FOpenMode & 3) == 0 && !FExternalStream) throw EZEException(32, this);
    TZEDirArray& dir = FDirManager->Directory();
    for (int i = 0; i < dir.GetCount(); ++i) {
      TDirItem& item = dir.GetItemPtr(i);
      item.Changed = false;
      item.BackupIndex = i;
      item.PreviousName = WideString();
      item.Written = false;
    }
    FDirManager->Backup().Assign(dir);
  }
  ++FUpdateCount;
}

void TZEBaseArchiver::EndUpdate() {
  if (FUpdateCount <= 0) return;
  if (FUpdateCount == 1) {
    FUpdateCommitted = true;
    ForceUpdate();
    if (FSpanningMode != smNone && FOpenMode == fmCreate) FOpenMode = fmOpenReadWrite | fmShareDenyWrite;
    return;
  }
  --FUpdateCount;
}

void TZEBaseArchiver::CancelUpdate() {
  const bool open = FUpdateCount > 0;
  FUpdateCount = 0;
  // The file was not touched: dropping the transaction's changes from the
  // working directory is all a cancel needs.
  if (open) RestoreWorkingDirectory();
}

void TZEBaseArchiver::RestoreWorkingDirectory() {
  if (!FDirManager) return;
  FDirManager->Directory().Assign(FDirManager->Backup());
}

// --- operations ----------------------------------------------------------------------------

namespace {
// Runs a modifying step inside its own transaction: a failure cancels the
// transaction and passes on.
template <class F> void InTransaction(TZEBaseArchiver* a, F&& f) {
  a->BeginUpdate();
  try {
    f();
    a->EndUpdate();
  } catch (...) {
    a->CancelUpdate();
    throw;
  }
}
}  // namespace

void TZEBaseArchiver::AddFiles() {
  CheckInactive();
  CheckModifySpanning();
  TUcStringList exclusions;
  exclusions.Assign(FExclusionMasks);
  ZEListAdd(&exclusions, WideExpandFileName(FFileName));
  if (!FVolumeName.IsEmpty() && WideExpandFileName(FVolumeName) != WideExpandFileName(FFileName))
    ZEListAdd(&exclusions, WideExpandFileName(FVolumeName));
  InTransaction(this, [&] { InternalAddFiles(FFileMasks, FOptions->SearchAttr, &exclusions, false, FOptions->Recurse); });
}

void TZEBaseArchiver::AddFiles(const WideString& fileMask, int searchAttr, const WideString& exclusionMask) {
  CheckInactive();
  CheckModifySpanning();
  TUcStringList masks, exclusions;
  ZEListAdd(&masks, fileMask);
  if (!exclusionMask.IsEmpty()) ZEListAdd(&exclusions, exclusionMask);
  // The archive never adds itself. Its full path is the mask that the
  // exclusion test compares disk paths with.
  if (!FFileName.IsEmpty()) ZEListAdd(&exclusions, WideExpandFileName(FFileName));
  if (!FVolumeName.IsEmpty() && WideExpandFileName(FVolumeName) != WideExpandFileName(FFileName))
    ZEListAdd(&exclusions, WideExpandFileName(FVolumeName));
  InTransaction(this, [&] { InternalAddFiles(&masks, searchAttr, &exclusions, false, FOptions->Recurse); });
}

void TZEBaseArchiver::MoveFiles() {
  CheckInactive();
  CheckModifySpanning();
  InTransaction(this,
                [&] { InternalAddFiles(FFileMasks, FOptions->SearchAttr, FExclusionMasks, true, FOptions->Recurse); });
}

void TZEBaseArchiver::MoveFiles(const WideString& fileMask, int searchAttr, const WideString& exclusionMask) {
  CheckInactive();
  TUcStringList masks, exclusions;
  ZEListAdd(&masks, fileMask);
  if (!exclusionMask.IsEmpty()) ZEListAdd(&exclusions, exclusionMask);
  InTransaction(this, [&] { InternalAddFiles(&masks, searchAttr, &exclusions, true, FOptions->Recurse); });
}

void TZEBaseArchiver::RunTagged(TZEProcessOperation operation, const WideString* fileMask, int searchAttr,
                                const WideString& exclusionMask) {
  CheckInactive();
  const bool changes = operation == poDelete || operation == poUpdate;
  if (changes)
    CheckModifySpanning();
  else
    CheckInUpdate();
  if (fileMask)
    TagFiles(*fileMask, searchAttr, exclusionMask);
  else
    TagFiles();
  if (changes)
    InTransaction(this, [&] { ProcessTaggedFiles(operation); });
  else
    ProcessTaggedFiles(operation);
}

void TZEBaseArchiver::DeleteFiles() { RunTagged(poDelete, nullptr, 0, WideString()); }
void TZEBaseArchiver::DeleteFiles(const WideString& fileMask, int searchAttr, const WideString& exclusionMask) {
  RunTagged(poDelete, &fileMask, searchAttr, exclusionMask);
}
void TZEBaseArchiver::UpdateFiles() { RunTagged(poUpdate, nullptr, 0, WideString()); }
void TZEBaseArchiver::UpdateFiles(const WideString& fileMask, int searchAttr, const WideString& exclusionMask) {
  RunTagged(poUpdate, &fileMask, searchAttr, exclusionMask);
}
void TZEBaseArchiver::TestFiles() { RunTagged(poTest, nullptr, 0, WideString()); }
void TZEBaseArchiver::TestFiles(const WideString& fileMask, int searchAttr, const WideString& exclusionMask) {
  RunTagged(poTest, &fileMask, searchAttr, exclusionMask);
}
void TZEBaseArchiver::ExtractFiles() { RunTagged(poExtract, nullptr, 0, WideString()); }
void TZEBaseArchiver::ExtractFiles(const WideString& fileMask, int searchAttr, const WideString& exclusionMask) {
  RunTagged(poExtract, &fileMask, searchAttr, exclusionMask);
}

namespace {
// Tags the items ChangeFiles* touch: an untagged item (or one tagged for
// another attribute change) takes the new pending operation.
// A tag left by an extraction or a test marks nothing to change.
bool TaggedForChange(const TDirItem& item) {
  return item.Tag && item.PendingOp != poExtract && item.PendingOp != poTest;
}

void MarkChanged(TDirItem& item, TZEProcessOperation op) {
  item.Changed = true;
  if (!TaggedForChange(item)) {
    item.Tag = true;
    item.PendingOp = op;
  }
}
}  // namespace

void TZEBaseArchiver::ChangeFound(const WideString& fileMask, int notFound, TZEProcessOperation operation,
                                  const std::function<void(TDirItem&)>& change) {
  CheckInactive();
  InTransaction(this, [&] {
    TZEArchiveItem item;
    bool any = false;
    for (bool f = FindFirst(fileMask, item, 0x28BF, WideString()); f; f = FindNext(item)) {
      TDirItem& d = Dir().GetItemPtr(item.Search.Index);
      change(d);
      MarkChanged(d, operation);
      any = true;
    }
    if (!any) throw EZEException(notFound, {fileMask}, this);
  });
}

void TZEBaseArchiver::ChangeFilesAttr(const WideString& fileMask, uint32_t attr) {
  ChangeFound(fileMask, 31, poChangeAttr, [&](TDirItem& d) {
    // A folder stays a folder.
    d.Header.ExternalAttributes = attr | (d.Header.ExternalAttributes & ZE_ATTR_DIRECTORY);
  });
}

void TZEBaseArchiver::ChangeFilesIntAttr(const WideString& fileMask, uint16_t attr) {
  ChangeFound(fileMask, 38, poChangeAttr, [&](TDirItem& d) { d.Header.InternalAttributes = attr; });
}

void TZEBaseArchiver::ChangeFilesComment(const WideString& fileMask, const AnsiString& comment) {
  ChangeFound(fileMask, 31, poChangeComment, [&](TDirItem& d) {
    d.Comment = comment;
    d.Header.CommentLength = static_cast<uint16_t>(std::min(comment.Length(), 0xFFFF));
  });
}

bool TZEBaseArchiver::FindFirst(const WideString& fileMask, TZEArchiveItem& item, int searchAttr,
                                const WideString& exclusionMask) {
  CheckInactive();
  WideString mask = fileMask;
  if (FOptions->StorePath != spFullPathWithDrive) {
    WideString drive = WideExtractFileDrive(mask);
    if (!drive.IsEmpty()) {
      mask = mask.SubString(drive.Length() + 1, mask.Length());
      // "C:\data\x" searches the stored "data/x".
      if (!mask.IsEmpty() && (mask[1] == L'\\' || mask[1] == L'/')) mask.Delete(1, 1);
    }
  }
  item.Search.Mask = ZEReplaceChar(mask, L'\\', L'/');
  item.Search.ExclusionMask = exclusionMask;
  item.Search.UseMaskLists = false;
  item.Search.Wildcard = ZEContains(mask, L"*") || ZEContains(mask, L"?");
  item.Search.SearchAttr = searchAttr;
  item.Search.Index = 0;
  return InternalFind(item);
}

bool TZEBaseArchiver::FindFirst(TZEArchiveItem& item) {
  CheckInactive();
  item.Search.UseMaskLists = true;
  item.Search.SearchAttr = FOptions->SearchAttr;
  item.Search.Index = 0;
  return InternalFind(item);
}

bool TZEBaseArchiver::FindNext(TZEArchiveItem& item) {
  CheckInactive();
  ++item.Search.Index;
  return InternalFind(item);
}

int TZEBaseArchiver::GetFileCendralDirItemNo(const WideString& name) {
  int index;
  if (Dir().FileExists(ZEReplaceChar(name, L'\\', L'/'), index)) return index;
  TZEArchiveItem item;
  if (FindFirst(name, item, 0x28BF, WideString())) return item.Search.Index;
  return -1;
}

void TZEBaseArchiver::RenameItem(int index, const WideString& oldName, const WideString& newName, bool wholeName) {
  TZEDirArray& dir = Dir();
  TDirItem& item = dir.GetItemPtr(index);
  const WideString current = item.StoredName;
  // The name before the first rename of this transaction is what the archive
  // file still holds.
  if (item.PreviousName.IsEmpty()) item.PreviousName = current;
  WideString name;
  if (wholeName) {
    name = newName;
    if (ZELastChar(current) == L'/' && ZELastChar(name) != L'/') name += L'/';
  } else {
    // A descendant of a renamed folder: only the folder prefix changes.
    name = newName + current.SubString(oldName.Length() + 1, current.Length());
  }
  dir.SetItemName(index, name);
  item.Header.NameLength = static_cast<uint16_t>(std::min(StoredNameToDisk(name, FOptions->OEMFileNames).Length(), 0xFFFF));
  // The name is written in the OEM or ANSI code page from now on, never UTF-8.
  item.Header.Flags &= ~0x0800;
  item.Changed = true;
  if (!TaggedForChange(item) || item.PendingOp == poChangeAttr || item.PendingOp == poChangeComment) {
    item.Tag = true;
    item.PendingOp = poRename;
  }
  if (FUnicodeFilenames) {
    for (TZEExtraBlock& b : item.ExtraBlocks)
      if (b.Id == ZE_EXTRA_UNICODE) b.Data = MakeUnicodeNameBlock(name).Data;
  }
}

void TZEBaseArchiver::RenameFile(const WideString& oldName, const WideString& newName) {
  CheckInactive();
  TZEArchiveItem found;
  if (!FindFirst(oldName, found, 0x28BF, WideString())) throw EZEException(30, {oldName}, this);
  InTransaction(this, [&] {
    const int index = found.Search.Index;
    TZEDirArray& dir = Dir();
    const WideString stored = dir.GetItemPtr(index).StoredName;
    const bool folder = dir.GetItemPtr(index).IsFolder();
    const WideString oldN = ZEReplaceChar(oldName, L'\\', L'/');
    const WideString newN = ZEReplaceChar(newName, L'\\', L'/');
    auto trim = [](WideString s) {
      if (ZELastChar(s) == L'/') s.SetLength(s.Length() - 1);
      return s;
    };
    // The whole stored name when it is the old name; otherwise the old name
    // matched the last part of the path, and only that part changes.
    WideString target;
    if (ZELower(trim(stored)) == ZELower(trim(oldN))) {
      target = trim(newN);
    } else {
      const WideString base = trim(stored);
      const WideString tail = trim(oldN);
      if (base.Length() > tail.Length() && ZELower(base.SubString(base.Length() - tail.Length() + 1, tail.Length())) ==
                                               ZELower(tail) &&
          base[base.Length() - tail.Length()] == L'/')
        target = base.SubString(1, base.Length() - tail.Length()) + trim(newN);
      else
        target = trim(newN);
    }
    if (folder) target += L'/';
    RenameItem(index, stored, target, true);
    if (folder) {
      // The folder's contents move with it: search under the old folder name.
      const WideString oldFolder = ZELastChar(stored) == L'/' ? stored : stored + L'/';
      const WideString newFolder = target;
      TZEArchiveItem child;
      for (bool f = FindFirst(oldFolder + L"*.*", child, 0x28BF, WideString()); f; f = FindNext(child)) {
        const int ci = child.Search.Index;
        if (ci == index) continue;
        const WideString cs = dir.GetItemPtr(ci).StoredName;
        if (ZELower(cs.SubString(1, oldFolder.Length())) != ZELower(oldFolder)) continue;
        RenameItem(ci, oldFolder, newFolder, false);
      }
    }
  });
}

void TZEBaseArchiver::DoAfterOpen() {
  if (AfterOpen) AfterOpen(this);
}

CL_DEFINE_CLASS(TZEOptions, TPersistent)
CL_DEFINE_CLASS(TZESpanningOptions, TPersistent)
CL_DEFINE_CLASS(TZEVolumeNumberInfo, TObject)
CL_DEFINE_CLASS(TZEBaseArchiver, TComponent)
CL_DEFINE_COMPONENT(TZipEngine, TZEBaseArchiver)
