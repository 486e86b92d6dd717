// Finding items by mask and attributes, and the per-item work of the tagged
// operations: extract, test, delete and update.
#include "ZEInternal.h"

#include "UcWindows.h"
#include "ZEMasks.h"

namespace {

WideString FolderOf(WideString s) {
  s = ZEReplaceChar(s, L'/', L'\\');
  const int i = s.str().find_last_of(L'\\') == std::wstring::npos ? 0 : static_cast<int>(s.str().find_last_of(L'\\')) + 1;
  return ZELower(s.SubString(1, i));
}

// An archive's name may not lead out of the folder it is extracted into.
bool IsSafeRelativeName(const WideString& name) {
  if (name.IsEmpty()) return false;
  if (ZEContains(name, L":")) return false;
  if (name[1] == L'\\' || name[1] == L'/') return false;
  size_t start = 0;
  const std::wstring& s = name.str();
  while (start <= s.size()) {
    size_t end = s.find_first_of(L"\\/", start);
    if (end == std::wstring::npos) end = s.size();
    std::wstring part = s.substr(start, end - start);
    // Trailing dots and blanks are dropped by the file system: ".. " is "..".
    while (!part.empty() && (part.back() == L' ' || part.back() == L'.') && part != L"." && part != L"..")
      part.pop_back();
    if (part == L"..") return false;
    start = end + 1;
  }
  return true;
}

// Whether a file (not a folder) of that exact name exists. Asked through the
// attributes: unlike a directory search this needs no handle on the folder,
// which matters when thousands of small items are extracted.
bool TargetFileExists(const WideString& name) {
  const DWORD a = WideFileGetAttr(name);
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

// Whether the drive of a path is removable, asked once per drive in a row of
// items rather than once per item.
bool TargetOnRemovableDrive(const WideString& path) {
  static WideString lastDrive;
  static bool lastAnswer = false;
  const WideString drive = WideExtractFileDrive(path);
  if (drive.IsEmpty() || ZELower(drive) != lastDrive) {
    lastAnswer = IsRemovableDrive(path);
    lastDrive = ZELower(drive);
  }
  return lastAnswer;
}

// Windows attribute bits that a file may be given.
constexpr uint32_t ZE_SETTABLE_ATTRIBUTES = 0x01 | 0x02 | 0x04 | 0x20 | 0x80 | 0x100 | 0x2000;

}  // namespace

// --- masks ---------------------------------------------------------------------------

bool IsInternalFileMatchMask(const WideString& fileName, const WideString& mask) {
  if (mask.IsEmpty()) return false;
  WideString p = mask;
  const int star = p.Pos(L"*.*");
  if (star > 0) p = p.SubString(1, star - 1) + L"*" + p.SubString(star + 3, p.Length());
  const bool noExtension = ZELastChar(mask) == L'.';
  if (noExtension) p.SetLength(p.Length() - 1);
  WideString name = fileName;
  if (ZELastChar(name) == L'.') name.SetLength(name.Length() - 1);
  if (!WIsStrMatchPattern(name, p, true)) return false;
  if (noExtension) {
    const WideString ext = WideExtractFileExt(ZEReplaceChar(fileName, L'/', L'\\'));
    return ext.IsEmpty() || ext == L".";
  }
  return true;
}

bool CheckAttributesMatch(int attr, int searchAttr) { return (attr & ~searchAttr & 0x1E) == 0; }

bool TZEBaseArchiver::IsItemMatches(int index, const TZEArchiveItem& item) {
  const TDirItem& d = Dir().GetItemPtr(index);
  if (item.Search.UseMaskLists) {
    const WideString name = ZEReplaceChar(d.StoredName, L'/', L'\\');
    for (int i = 0; i < ZEListCount(FFileMasks); ++i) {
      if (!IsInternalFileMatchMask(name, ZEListItem(FFileMasks, i))) continue;
      for (int j = 0; j < ZEListCount(FExclusionMasks); ++j)
        if (IsInternalFileMatchMask(name, ZEListItem(FExclusionMasks, j))) return false;
      return true;
    }
    return false;
  }
  WideString name = d.StoredName;
  if (ZELastChar(name) == L'\\' || ZELastChar(name) == L'/') name.SetLength(name.Length() - 1);
  bool match = IsInternalFileMatchMask(name, item.Search.Mask);
  if (!match) {
    const WideString part = WideExtractFileName(ZEReplaceChar(name, L'/', L'\\'));
    match = IsInternalFileMatchMask(part, item.Search.Mask);
  }
  if (match && IsInternalFileMatchMask(name, item.Search.ExclusionMask)) match = false;
  return match;
}

bool TZEBaseArchiver::InternalFind(TZEArchiveItem& item) {
  TZEDirArray& dir = Dir();
  const WideString maskFolder = FOptions->Recurse ? WideString() : FolderOf(item.Search.Mask);
  for (int i = std::max(item.Search.Index, 0); i < dir.GetCount(); ++i) {
    const TDirItem& d = dir.GetItemPtr(i);
    if (!FOptions->Recurse) {
      WideString stored = d.StoredName;
      if (ZELastChar(stored) == L'/') stored.SetLength(stored.Length() - 1);
      if (FolderOf(stored) != maskFolder) continue;
    }
    if (!IsItemMatches(i, item) || !CheckAttributesMatch(static_cast<int>(d.Header.ExternalAttributes), item.Search.SearchAttr))
      continue;
    item.Search.Index = i;
    WideString name = ZEReplaceChar(d.StoredName, L'/', L'\\');
    if (ZELastChar(name) == L'\\') name.SetLength(name.Length() - 1);
    item.FileName = WideExtractFileName(name);
    item.FilePath = WideExtractFilePath(name);
    item.PackedSize = d.PackedSize();
    item.UnpackedSize = d.UnpackedSize();
    item.CompressionRatio =
        item.UnpackedSize > 0 ? (1.0 - static_cast<double>(item.PackedSize) / static_cast<double>(item.UnpackedSize)) * 100.0
                              : 100.0;
    if (item.CompressionRatio < 0) item.CompressionRatio = 0;
    item.IsEncrypted = (d.Header.Flags & 1) != 0;
    item.ModDate = d.Header.ModDate;
    item.ModTime = d.Header.ModTime;
    item.Crc32 = d.Header.Crc32;
    item.ExternalAttributes = d.Header.ExternalAttributes;
    item.Comment = d.Comment;
    return true;
  }
  return false;
}

void TZEBaseArchiver::TagFiles() {
  Dir().ClearTags();
  TZEArchiveItem item;
  for (bool f = FindFirst(item); f; f = FindNext(item)) Dir().GetItemPtr(item.Search.Index).Tag = true;
}

void TZEBaseArchiver::TagFiles(const WideString& fileMask, int searchAttr, const WideString& exclusionMask) {
  Dir().ClearTags();
  TZEArchiveItem item;
  for (bool f = FindFirst(fileMask, item, searchAttr, exclusionMask); f; f = FindNext(item))
    Dir().GetItemPtr(item.Search.Index).Tag = true;
}

// --- processing tagged items -----------------------------------------------------------

void TZEBaseArchiver::ProcessTaggedFiles(TZEProcessOperation operation) {
  TZELockGuard lock;
  TZEDirArray& dir = Dir();
  FPipeline.ItemsDone = 0;
  FPipeline.ItemsToProcess = 0;
  FPipeline.Cancel = false;
  FPipeline.ProgressOn = true;
  FWriteFailed = false;
  for (int i = 0; i < dir.GetCount(); ++i)
    if (dir.GetItemPtr(i).Tag) ++FPipeline.ItemsToProcess;
  const bool reading = operation == poExtract || operation == poTest;
  TZEAction action = fxaIgnore;
  std::unique_ptr<EZEException> failure;
  if (reading) DoOnOverallProgress(0.0, operation, ppStart, FPipeline.Cancel);
  for (int i = 0; !FPipeline.Cancel && i < dir.GetCount();) {
    if (!dir.GetItemPtr(i).Tag) {
      ++i;
      continue;
    }
    dir.GetItemPtr(i).PendingOp = operation;
    bool removed = false;
    for (;;) {
      action = fxaIgnore;
      const WideString stored = dir.GetItemPtr(i).StoredName;
      const WideString name = ZEReplaceChar(stored, L'/', L'\\');
      try {
        bool confirm = true;
        DoOnConfirmProcessFile(name, operation, confirm);
        if (!confirm) break;
        if (FCurrentDir.IsEmpty()) FCurrentDir = WideGetCurrentDir();
        const WideString base = WideIncludeTrailingBackslash(FBaseDir.IsEmpty() ? FCurrentDir : FBaseDir);
        if (reading) {
          DoOnFileProgress(stored, 0.0, operation, ppStart, FPipeline.Cancel);
          if (FPipeline.Cancel) break;
        }
        switch (operation) {
          case poDelete: removed = DeleteTaggedFile(i); break;
          case poUpdate: UpdateTaggedFile(i, name, base); break;
          case poExtract: ExtractTaggedFile(i, name, base); break;
          case poTest: TestTaggedFile(i, name); break;
          default: break;
        }
        if (reading) {
          DoOnFileProgress(stored, 100.0, operation, ppEnd, FPipeline.Cancel);
          if (FPipeline.Cancel) break;
          ++FPipeline.ItemsDone;
        }
      } catch (const EZEException& e) {
        DoOnProcessFileFailure(name, operation, e.NativeError(), e.ErrorCode(), e.WideMessage(), action);
        if (action == fxaAbort) failure.reset(new EZEException(e));
      }
      if (action != fxaRetry) break;
    }
    if (action == fxaAbort) break;
    // A removal moved the next item into this place.
    if (!removed) ++i;
  }
  if (reading) {
    bool ignored = false;
    DoOnOverallProgress(100.0, operation, ppEnd, ignored);
    if (ignored) FPipeline.Cancel = true;
  }
  if (FPipeline.Cancel || action == fxaAbort) {
    CancelUpdate();
    // The operation did not do what was asked: say so.
    if (failure) throw EZEException(*failure);
    throw EZEException(46, this);
  }
}

void TZEBaseArchiver::ExtractTaggedFile(int index, WideString name, WideString baseDir) {
  TDirItem& d = Dir().GetItemPtr(index);
  uint32_t attr = d.Header.ExternalAttributes;
  const WideString stored = ZEReplaceChar(name, L'/', L'\\');
  DoOnExtractFile(name, attr, d.Comment);
  // A name from the archive must stay below the base folder; a name the
  // application's handler gives instead is its own decision.
  if (name == stored && !IsSafeRelativeName(name)) throw EZEException(19, {name}, this);
  if (ZEContains(name, L":") || ZEContains(name, L"\\\\")) baseDir = WideString();
  if (!FOptions->CreateDirs) {
    name = WideExtractFileName(name);
  } else {
    const WideString folder = baseDir + WideExtractFilePath(name);
    if (!folder.IsEmpty() && !WideDirectoryExists(folder)) {
      bool made = false;
      try {
        made = WideForceDirectories(folder);
      } catch (const Exception&) {
        made = false;
      }
      if (!made && !WideDirectoryExists(folder)) throw EZEException(20, {folder}, this);
    }
  }
  if ((attr & ZE_ATTR_DIRECTORY) || ZELastChar(name) == L'\\' || ZELastChar(name) == L'/' ||
      (d.Header.ExternalAttributes & ZE_ATTR_DIRECTORY) || ZELastChar(d.StoredName) == L'/')
    return;
  WideString target = baseDir + name;
  // A new file is created at once, in place (and removed again when the item
  // fails): asking first whether a name exists costs a folder search on some
  // systems, as much as creating the file. An existing file is replaced only
  // by a complete, checked copy written beside it, so that a failure leaves
  // it as it was.
  HANDLE fresh = Uc_CreateFileW(target.c_bstr(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
  const bool replacing = fresh == INVALID_HANDLE_VALUE && TargetFileExists(target);
  if (replacing) {
    if (!FOptions->ReplaceReadOnly && (WideFileGetAttr(target) & ZE_ATTR_READONLY)) return;
    switch (FOptions->OverwriteMode) {
      case omPrompt: {
        bool confirm = false;
        DoOnConfirmOverwrite(name, target, confirm);
        if (!confirm) return;
        break;
      }
      case omAlways: break;
      case omNever: return;
      case omIfNewer:
      case omIfOlder: {
        const uint32_t item = (static_cast<uint32_t>(d.Header.ModDate) << 16) | d.Header.ModTime;
        const uint32_t disk = static_cast<uint32_t>(WideFileAge(target));
        const bool go = FOptions->OverwriteMode == omIfNewer ? item > disk : item < disk;
        if (!go) return;
        break;
      }
    }
  }
  WideString written = target;
  std::unique_ptr<THandleStream> file;
  if (replacing) {
    written = ZECreateTempFile(WideExtractFilePath(WideExpandFileName(target)));
    if (written.IsEmpty()) throw EZEException(19, {target}, this);
    try {
      file.reset(new TUcFileStream(written, fmCreate));
    } catch (const Exception&) {
      WideDeleteFile(written);
      throw EZEException(19, {target}, this);
    }
  } else if (fresh == INVALID_HANDLE_VALUE) {
    throw EZEException(19, {target}, this);
  } else {
    file.reset(new THandleStream(fresh));
  }
  // Closes what is open of the new content; safe to call twice.
  auto closeFile = [&] {
    file.reset();
    if (fresh != INVALID_HANDLE_VALUE) CloseHandle(fresh);
    fresh = INVALID_HANDLE_VALUE;
  };
  try {
    ExtractItem(index, file.get());
  } catch (...) {
    // The target, if there was one, keeps its old content.
    closeFile();
    WideDeleteFile(written);
    throw;
  }
  FILETIME ft, local;
  if (DosDateTimeToFileTime(d.Header.ModDate, d.Header.ModTime, &local) && LocalFileTimeToFileTime(&local, &ft))
    SetFileTime(file->Handle(), nullptr, nullptr, &ft);
  if (FOptions->FlushBuffers && TargetOnRemovableDrive(target)) FlushFileBuffers(file->Handle());
  closeFile();
  if (FPipeline.PasswordSkip || FPipeline.Cancel) {
    WideDeleteFile(written);
    return;
  }
  if (replacing) {
    WideFileSetAttr(target, 0);
    if (!MoveFileExW(written.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
      WideDeleteFile(written);
      throw EZEException(19, {target}, this);
    }
  }
  if (FOptions->SetAttributes) {
    const uint32_t a = attr & ZE_SETTABLE_ATTRIBUTES;
    const DWORD wanted = a ? a : FILE_ATTRIBUTE_NORMAL;
    // A new file often has the wanted attributes already: asking is cheaper
    // than setting.
    if (replacing || WideFileGetAttr(target) != wanted)
      WideFileSetAttr(target, wanted);
  }
}

void TZEBaseArchiver::TestTaggedFile(int index, const WideString& name) {
  (void)name;
  const TDirItem& d = Dir().GetItemPtr(index);
  if (d.IsFolder()) return;
  TNullStream sink;
  ExtractItem(index, &sink);
}

bool TZEBaseArchiver::DeleteTaggedFile(int index) {
  DeleteItem(index);
  return true;
}

void TZEBaseArchiver::ExtractItem(int index, TStream* stream) {
  TZEDirArray& dir = Dir();
  if (index < 0 || index >= dir.GetCount()) throw EZEException(16, this);
  TDirItem& item = dir.GetItemPtr(index);
  if (FSpanningMode != smNone) {
    TZEVolumeNumberInfo volume;
    volume.SetVolumeNumber(static_cast<int32_t>(item.DiskNumber()));
    volume.LastVolumeNumber = static_cast<int32_t>(FDirManager->LastDisk());
    OpenVolume(volume);
  }
  FArchiveStream->SetPosition(item.LocalOffset());
  FPipeline.PasswordSkip = false;
  const bool ok = InternalDecompressFile(FArchiveStream, stream, item);
  if (!ok && !FPipeline.Cancel && !FExtractCorruptedFiles && !FPipeline.PasswordSkip) throw EZEException(8, this);
}

void TZEBaseArchiver::DeleteItem(int index) {
  if (index < 0 || index >= Dir().GetCount()) throw EZEException(21, this);
  if (!InUpdate()) throw EZEException(22, this);
  Dir().DeleteItem(index);
}

WideString ZECreateTempFile(WideString folder) {
  if (!folder.IsEmpty() && ZELastChar(folder) != L'\\' && ZELastChar(folder) != L':') folder += L'\\';
  // Like the system's temporary names: a counter that starts somewhere new
  // for every process, and a name that must not exist yet.
  static uint32_t counter = GetTickCount() ^ (GetCurrentProcessId() << 16);
  for (int attempt = 0; attempt < 65536; ++attempt) {
    const uint32_t unique = (++counter) & 0xFFFF;
    if (unique == 0) continue;
    wchar_t hex[8];
    swprintf(hex, 8, L"%X", unique);
    const WideString name = folder + L"FC" + hex + L".tmp";
    HANDLE h = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      CloseHandle(h);
      return name;
    }
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return WideString();
  }
  return WideString();
}

WideString TZEBaseArchiver::GetTempFileName() {
  WideString folder = FTempDir;
  if (folder.IsEmpty()) {
    std::wstring path(MAX_PATH + 1, L'\0');
    for (;;) {
      const DWORD n = GetTempPathW(static_cast<DWORD>(path.size()), path.data());
      if (n < path.size()) {
        path.resize(n);
        break;
      }
      path.resize(n + 1);
    }
    folder = WideString(path);
  }
  const WideString name = ZECreateTempFile(folder);
  if (name.IsEmpty()) throw EZEException(36, {folder}, this);
  return name;
}

// --- items into streams, buffers and strings ----------------------------------------------

int TZEBaseArchiver::FindItemForStreamOp(const WideString& fileName) {
  int index;
  if (Dir().FileExists(ZEReplaceChar(fileName, L'\\', L'/'), index)) return index;
  const bool recurse = FOptions->Recurse;
  FOptions->Recurse = false;
  TZEArchiveItem item;
  bool found;
  try {
    found = FindFirst(fileName, item, 0x28BF, WideString());
  } catch (...) {
    FOptions->Recurse = recurse;
    throw;
  }
  FOptions->Recurse = recurse;
  return found ? item.Search.Index : -1;
}

void TZEBaseArchiver::ExtractToStream(const WideString& fileName, TStream* stream) {
  CheckInactive();
  CheckInUpdate();
  const int index = FindItemForStreamOp(fileName);
  if (index < 0) throw EZEException(15, {fileName}, this);
  FPipeline = TPipeline();
  FPipeline.ProgressOn = true;
  FWriteFailed = false;
  ExtractItem(index, stream);
  // The stream holds only part of the item: the caller must not take it for the whole.
  if (FPipeline.Cancel || FWriteFailed) throw EZEException(46, this, FWriteFailed ? FWriteError : 0);
  // Nor an empty stream for an item whose password prompt was skipped.
  if (FPipeline.PasswordSkip) throw EZEException(8, this);
}

void TZEBaseArchiver::ExtractToBuffer(const WideString& fileName, void* buffer, int32_t count) {
  TMemoryStream m;
  ExtractToStream(fileName, &m);
  m.SetPosition(0);
  const int32_t n = static_cast<int32_t>(std::min<int64_t>(count, m.Size()));
  if (n > 0) m.ReadBuffer(buffer, n);
}

void TZEBaseArchiver::ExtractToString(const WideString& fileName, AnsiString& text) {
  TMemoryStream m;
  ExtractToStream(fileName, &m);
  text = AnsiString(static_cast<const char*>(m.Memory()), static_cast<int>(m.Size()));
}

CL_DEFINE_CLASS(TNullStream, TStream)
