// Turning disk files into directory records: the stored-name rules, the disk
// search with masks and attributes, and the overwrite rules for names the
// archive already holds. No data moves here; the rebuild reads the files.
#include "ZEInternal.h"

#include "ZEMasks.h"

namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool HasWildcards(const WideString& s) { return ZEContains(s, L"*") || ZEContains(s, L"?"); }

// The file-name part of a path with either separator.
WideString NamePart(const WideString& s) {
  int i = s.Length();
  while (i > 0 && !IsSeparator(s[i]) && s[i] != L':') --i;
  return s.SubString(i + 1, s.Length() - i);
}

// The DOS date-time as the unsigned number that orders dates correctly.
uint32_t DosStamp(const TDirItem& item) {
  return (static_cast<uint32_t>(item.Header.ModDate) << 16) | item.Header.ModTime;
}

}  // namespace

int ZEDateTimeToDos(TDateTime dt) {
  int year, month, day, hour, min, sec, msec;
  DecodeDate(dt, year, month, day);
  DecodeTime(dt, hour, min, sec, msec);
  if (year < 1980 || year > 2107) return 0;
  return ((year - 1980) << 25) | (month << 21) | (day << 16) | (hour << 11) | (min << 5) | (sec >> 1);
}

bool TZEBaseArchiver::MayReplace(const WideString& source, const WideString& stored, uint32_t incoming,
                                 uint32_t held) {
  switch (FOptions->OverwriteMode) {
    case omPrompt: {
      WideString dest = stored;
      bool confirm = false;
      DoOnConfirmOverwrite(source, dest, confirm);
      return confirm;
    }
    case omAlways: return true;
    case omIfNewer: return incoming > held;
    case omIfOlder: return incoming < held;
    default: return false;
  }
}

uint32_t TZEBaseArchiver::Header32(TDirItem& item, int64_t value, int64_t& zip64Value) const {
  if (value < static_cast<int64_t>(ZE_ALL32) && FZip64Mode != zmAlways) return static_cast<uint32_t>(value);
  item.Zip64 = true;
  zip64Value = value;
  return ZE_ALL32;
}

void TZEBaseArchiver::SetSourceSize(TDirItem& item, int64_t size) {
  item.Header.UncompressedSize = Header32(item, size, item.Zip64Uncompressed);
}

WideString TZEBaseArchiver::CurrentFolder() { return FCurrentDir.IsEmpty() ? WideGetCurrentDir() : FCurrentDir; }

// --- stored-name rules ------------------------------------------------------------

WideString ExpandWithBaseDir(const WideString& base, const WideString& name, WideString currentDir) {
  if (currentDir.IsEmpty()) currentDir = WideGetCurrentDir();
  WideString root = base.IsEmpty() ? currentDir : base;
  if (ZELastChar(root) != L'\\') root += L'\\';
  const bool absolute = ZEContains(name, L":") || (name.Length() >= 2 && name[1] == L'\\' && name[2] == L'\\');
  if (absolute) return name;
  if (!name.IsEmpty()) {
    if (name[1] == L'\\') return WideExpandFileName(name);
    return WideExpandFileName(root + name);
  }
  if (ZEContains(base, L":")) return base;
  if (!WideDirectoryExists(root) && !base.IsEmpty()) return base;
  if (root == L"\\") return WideIncludeTrailingBackslash(WideExpandFileName(L"."));
  return WideExpandFileName(root);
}

WideString MakeStoredName(const WideString& fileName, const WideString& base, TZEStorePathMode storePath,
                          const WideString& currentDir) {
  const WideString fullBase = ExpandWithBaseDir(base, WideString(), currentDir);
  WideString full = ExpandWithBaseDir(fullBase, fileName, currentDir);
  if (ZELastChar(full) == L'\\' || ZELastChar(full) == L'/') full.SetLength(full.Length() - 1);
  if (ZELastChar(full) == L'.') full.SetLength(full.Length() - 1);
  WideString s;
  switch (storePath) {
    case spNoPath: s = WideExtractFileName(full); break;
    case spRelativePath: {
      WideString rel = WideExtractRelativePath(WideIncludeTrailingBackslash(fullBase), full);
      s = ZEContains(rel, L"..\\") || ZEContains(rel, L"../") ? full : rel;
      break;
    }
    case spFullPathWithDrive: s = WideExpandFileName(full); break;
    default: s = full; break;
  }
  if (storePath != spFullPathWithDrive) {
    int start = 1;
    const int colon = s.Pos(L":");
    if (colon > 0) {
      start = colon + 1;
      if (start > s.Length()) return WideString();
    } else {
      for (int i = 1; i < s.Length(); ++i) {
        if (IsSeparator(s[i]) && IsSeparator(s[i + 1])) {
          int j = i + 2;
          while (j <= s.Length() && !IsSeparator(s[j])) ++j;
          start = j + 1;
          break;
        }
      }
    }
    if (start <= s.Length() && IsSeparator(s[start])) ++start;
    s = s.SubString(start, s.Length() - start + 1);
  }
  return ZEReplaceChar(s, L'\\', L'/');
}

void GetFullMask(const WideString& mask, const WideString& path, WideString& fullMask, bool& isPlainRelative,
                 const WideString& currentDir) {
  const WideString expanded = ExpandWithBaseDir(path, WideString(), currentDir);
  const WideString root = WideIncludeTrailingBackslash(expanded);
  isPlainRelative = false;
  if (mask.IsEmpty()) {
    fullMask = WideString();
  } else if (IsSeparator(mask[1])) {
    if (mask.Length() == 1)
      fullMask = expanded;
    else if (!IsSeparator(mask[2]))
      fullMask = root + mask.SubString(2, mask.Length());
    else
      fullMask = mask;
  } else if (mask.Length() >= 2 && mask[1] == L'.' && mask[2] == L'\\') {
    fullMask = root + mask.SubString(3, mask.Length());
  } else if (!ZEContains(mask, L":") && !ZEContains(mask, L"..\\") && !ZEContains(mask, L"../")) {
    fullMask = root + mask;
    isPlainRelative = true;
  } else {
    fullMask = mask;
  }
}

bool TZEBaseArchiver::IsExternalFileMatchMask(const WideString& fileName, const WideString& maskIn, bool isDir) {
  if (maskIn == L"*.*") return true;
  WideString name = fileName, mask = maskIn;
  if (isDir) {
    name += L'\\';
    if (!mask.IsEmpty() && ZELastChar(mask) != L'*') mask += L'\\';
  }
  WideString fullMask;
  bool plain;
  const WideString current = CurrentFolder();
  if (ZEContains(mask, L":")) {
    fullMask = mask;
    plain = false;
  } else {
    GetFullMask(mask, current, fullMask, plain, current);
  }
  if (plain) {
    WideString rel = WideExtractRelativePath(WideIncludeTrailingBackslash(current), name);
    if (!ZEContains(mask, L"/") && !ZEContains(mask, L"\\")) rel = WideExtractFileName(rel);
    const WideString pattern = WideExtractFileName(fullMask);
    if (rel.IsEmpty()) rel = WideExtractFileName(WideExcludeTrailingBackslash(name));
    if (WIsStrMatchPattern(rel, pattern, true)) return true;
    const WideString base = WideIncludeTrailingBackslash(FBaseDir.IsEmpty() ? current : FBaseDir);
    return WIsStrMatchPattern(rel, WideExtractRelativePath(base, fullMask), true);
  }
  const WideString fileFolder = ZELower(WideExtractFilePath(name));
  const WideString maskFolder = ZELower(WideExtractFilePath(fullMask));
  if (fileFolder != maskFolder) {
    if (WideExtractFileName(fullMask) != L"*.*") return false;
    const int n = fullMask.Length() - 3;
    return n > 0 && fileFolder.SubString(1, n) == maskFolder;
  }
  return WIsStrMatchPattern(name, fullMask, true);
}

// --- the add worker ------------------------------------------------------------------

void TZEBaseArchiver::InternalAddFiles(TUcStringList* fileMasks, int searchAttr, TUcStringList* exclusionMasks,
                                       bool isMove, bool recurse) {
  TZELockGuard lock;
  // The base folder for name expansion is the full base folder while files are
  // searched and named; the process's own current folder is left alone.
  const WideString keep = FCurrentDir;
  struct TRestore {
    WideString& Field;
    WideString Value;
    ~TRestore() { Field = Value; }
  } restore{FCurrentDir, keep};
  const WideString fullBase = ExpandWithBaseDir(FBaseDir, WideString(), CurrentFolder());
  FCurrentDir = fullBase;
  for (int i = 0; i < ZEListCount(fileMasks); ++i)
    SearchDiskFiles(fullBase, ZEListItem(fileMasks, i), recurse, searchAttr, exclusionMasks, isMove);
}

namespace {
// Closes a search whatever happens.
struct TFindGuard {
  TSearchRecW Rec;
  bool Open = false;
  ~TFindGuard() {
    if (Open) WideFindClose(Rec);
  }
};
}  // namespace

void TZEBaseArchiver::SearchDiskFiles(const WideString& path, const WideString& mask, bool recurse, int searchAttr,
                                      TUcStringList* exclusionMasks, bool isMove) {
  WideString fullMask;
  bool plain;
  GetFullMask(mask, path, fullMask, plain, CurrentFolder());
  if (fullMask.IsEmpty()) return;
  bool added = false;
  if (fullMask == mask && !HasWildcards(mask)) {
    TFindGuard f;
    if (WideFindFirst(fullMask, 0, f.Rec) == 0) {
      f.Open = true;
      const WideString folder = WideExtractFilePath(WideExpandFileName(fullMask));
      CheckAndAddFile(folder + f.Rec.Name, false, static_cast<uint32_t>(f.Rec.Attr), f.Rec.Size, exclusionMasks,
                      isMove, added);
    }
    return;
  }
  const int fileAttr = searchAttr & ~static_cast<int>(ZE_ATTR_DIRECTORY);
  const WideString maskFolder = WideExtractFilePath(fullMask);
  {
    TFindGuard f;
    if (WideFindFirst(fullMask, fileAttr, f.Rec) == 0) {
      f.Open = true;
      do {
        const int a = f.Rec.Attr;
        if (a & ZE_ATTR_DIRECTORY) continue;
        const bool any = (a & fileAttr) != 0 || (a == 0 && (fileAttr & 0x27) == 0x27);
        if (!any) continue;
        CheckAndAddFile(WideIncludeTrailingBackslash(WideExpandFileName(maskFolder)) + f.Rec.Name, false,
                        static_cast<uint32_t>(a), f.Rec.Size, exclusionMasks, isMove, added);
      } while (WideFindNext(f.Rec) == 0);
    }
  }
  if (!(searchAttr & ZE_ATTR_DIRECTORY) && !recurse) return;
  WideString folder = maskFolder;
  if (!ZEContains(ZELower(WideExpandFileName(folder)), ZELower(path).c_str()) && plain)
    folder = WideIncludeTrailingBackslash(path);
  folder = WideIncludeTrailingBackslash(folder);
  TFindGuard f;
  if (WideFindFirst(folder + L"*", 0x16, f.Rec) != 0) return;
  f.Open = true;
  do {
    if (!(f.Rec.Attr & ZE_ATTR_DIRECTORY) || f.Rec.Name == L"." || f.Rec.Name == L"..") continue;
    const WideString sub = folder + f.Rec.Name;
    bool excluded = false;
    for (int i = 0; i < ZEListCount(exclusionMasks) && !excluded; ++i)
      excluded = IsExternalFileMatchMask(sub, ZEListItem(exclusionMasks, i), true);
    if (excluded) continue;
    if ((searchAttr & ZE_ATTR_DIRECTORY) &&
        (WIsStrMatchPattern(sub, fullMask, true) || WIsStrMatchPattern(sub + L".", fullMask, true))) {
      bool folderAdded = false;
      CheckAndAddFile(WideIncludeTrailingBackslash(WideExpandFileName(sub)), true,
                      static_cast<uint32_t>(f.Rec.Attr), 0, exclusionMasks, isMove, folderAdded);
      if (folderAdded) {
        SearchDiskFiles(sub, NamePart(mask), true, searchAttr, exclusionMasks, isMove);
        continue;
      }
    }
    if (!recurse) continue;
    const bool hasSep = ZEContains(mask, L"/") || ZEContains(mask, L"\\");
    if (hasSep) {
      if (HasWildcards(mask)) SearchDiskFiles(sub, WideExtractFileName(fullMask), true, searchAttr, exclusionMasks, isMove);
    } else {
      SearchDiskFiles(sub, mask, true, searchAttr, exclusionMasks, isMove);
    }
  } while (WideFindNext(f.Rec) == 0);
}

void TZEBaseArchiver::CheckAndAddFile(const WideString& fullPath, bool isFolder, uint32_t attr, int64_t size,
                                      TUcStringList* exclusionMasks, bool isMove, bool& added) {
  (void)attr;
  added = false;
  const WideString test = isFolder ? WideExcludeTrailingBackslash(fullPath) : fullPath;
  for (int i = 0; i < ZEListCount(exclusionMasks); ++i)
    if (IsExternalFileMatchMask(test, ZEListItem(exclusionMasks, i), isFolder)) return;
  bool confirm = true;
  DoOnConfirmProcessFile(fullPath, isMove ? poMove : poAdd, confirm);
  if (!confirm) return;
  const int index = AddFileInit(fullPath, FBaseDir, true, 0, 0);
  if (index < 0) return;
  added = true;
  TDirItem& item = Dir().GetItemPtr(index);
  if (isMove) item.PendingOp = poMove;
  for (int i = 0; i < ZEListCount(FNoCompressionMasks); ++i) {
    if (IsExternalFileMatchMask(test, ZEListItem(FNoCompressionMasks, i), isFolder)) {
      item.Mode = 0;
      item.Header.Method = 0;
      item.RealMethod = 0;
      break;
    }
  }
  SetSourceSize(item, size);
}

int TZEBaseArchiver::AddFileInit(const WideString& fileName, const WideString& baseDir, bool fromDisk, uint32_t attr,
                                 TDateTime dateTime) {
  WideString stored;
  if (fromDisk) {
    stored = MakeStoredName(fileName, baseDir, FOptions->StorePath, CurrentFolder());
    if (WideDirectoryExists(fileName) && ZELastChar(stored) != L'/' && !stored.IsEmpty()) stored += L'/';
  } else {
    stored = fileName;
    if (ZELastChar(stored) == L'\\') stored.SetLength(stored.Length() - 1);
    stored = ZEReplaceChar(stored, L'\\', L'/');
  }
  uint32_t attrs = attr;
  if (fromDisk) {
    const DWORD a = WideFileGetAttr(fileName);
    attrs = a != 0xFFFFFFFF ? a : ZE_ATTR_ARCHIVE;
  }
  AnsiString comment;
  DoOnStoreFile(stored, attrs, comment, fileName);
  // A file without a name cannot be stored.
  if (stored.IsEmpty()) return -1;

  TZEDirArray& dir = Dir();
  int index;
  if (dir.FileExists(stored, index)) {
    const uint32_t incoming = static_cast<uint32_t>(fromDisk ? WideFileAge(fileName) : ZEDateTimeToDos(dateTime));
    const bool replace = MayReplace(fileName, stored, incoming, DosStamp(dir.GetItemPtr(index)));
    if (!replace) return -1;
    TDirItem& item = dir.GetItemPtr(index);
    item.Changed = true;
    item.SourcePath = fileName;
    item.PendingOp = poUpdate;
  } else {
    index = dir.AppendItem();
    dir.GetItemPtr(index).PendingOp = poAdd;
    dir.GetItemPtr(index).BackupIndex = -1;
  }
  FillDirItem(index, fileName, fromDisk, attr, dateTime);
  TDirItem& item = dir.GetItemPtr(index);
  dir.SetItemName(index, stored);
  item.Header.NameLength =
      static_cast<uint16_t>(std::min(StoredNameToDisk(stored, FOptions->OEMFileNames).Length(), 0xFFFF));
  item.Header.ExternalAttributes = attrs;
  item.Comment = comment;
  item.Header.CommentLength = static_cast<uint16_t>(std::min(comment.Length(), 0xFFFF));
  item.ExtraBlocks.clear();
  return index;
}

void TZEBaseArchiver::FillDirItem(int index, const WideString& fileName, bool fromDisk, uint32_t attr,
                                  TDateTime dateTime) {
  const WideString current = CurrentFolder();
  WideString stored = MakeStoredName(fileName, current, FOptions->StorePath, current);
  // A name added from a stream is never taken for a folder on the disk.
  const bool folder = fromDisk && WideDirectoryExists(fileName);
  if (stored.IsEmpty() && fromDisk) return;
  int dos;
  if (fromDisk) {
    dos = WideFileAge(fileName);
    if (dos == -1) dos = ZEDateTimeToDos(Now());
  } else {
    dos = ZEDateTimeToDos(dateTime != 0 ? dateTime : Now());
  }
  uint32_t attrs = attr;
  if (fromDisk) {
    const DWORD a = WideFileGetAttr(fileName);
    attrs = a != 0xFFFFFFFF ? a : ZE_ATTR_ARCHIVE;
  }
  if (folder && ZELastChar(stored) != L'/') stored += L'/';

  TZEDirArray& dir = Dir();
  TDirItem& item = dir.GetItemPtr(index);
  const int32_t backupIndex = item.BackupIndex;
  const uint8_t pending = item.PendingOp;
  const bool tag = item.Tag;
  item = TDirItem();
  item.BackupIndex = backupIndex;
  item.PendingOp = pending;
  item.Tag = tag;
  dir.SetItemName(index, stored);
  item.Changed = true;
  item.Password = FPassword;
  item.SourcePath = fromDisk ? fileName : WideString();
  item.Mode = folder ? 0 : FCompressionMode;
  TZEZipCentralDir& h = item.Header;
  h.Method = FCompressionMethod;
  item.RealMethod = FCompressionMethod;
  h.Signature = ZE_CENTRAL_SIG;
  h.VersionNeeded = h.VersionMadeBy = FOptions->OEMFileNames ? ZE_VERSION_OEM : ZE_VERSION_ANSI;
  if (!FPassword.IsEmpty()) h.Flags |= 1;
  h.ModTime = static_cast<uint16_t>(dos & 0xFFFF);
  h.ModDate = static_cast<uint16_t>(static_cast<uint32_t>(dos) >> 16);
  h.Crc32 = 0xFFFFFFFF;
  h.NameLength = static_cast<uint16_t>(std::min(StoredNameToDisk(stored, FOptions->OEMFileNames).Length(), 0xFFFF));
  h.ExternalAttributes = attrs;
  if (folder) {
    h.Method = 0;
    item.RealMethod = 0;
    h.Crc32 = 0;
    h.Flags = 2;
  }
}

void TZEBaseArchiver::UpdateItem(int index, const WideString& fileName) {
  if (index < 0 || index >= Dir().GetCount()) throw EZEException(24, this);
  if (!InUpdate()) throw EZEException(25, this);
  TZEDirArray& dir = Dir();
  const WideString stored = dir.GetItemPtr(index).StoredName;
  const uint32_t attrs = dir.GetItemPtr(index).Header.ExternalAttributes;
  const AnsiString comment = dir.GetItemPtr(index).Comment;
  FillDirItem(index, fileName, true, 0, 0);
  TDirItem& item = dir.GetItemPtr(index);
  // The item keeps its place and name in the archive; only its data is new.
  dir.SetItemName(index, stored);
  item.Header.NameLength = static_cast<uint16_t>(std::min(StoredNameToDisk(stored, FOptions->OEMFileNames).Length(), 0xFFFF));
  const DWORD a = WideFileGetAttr(fileName);
  item.Header.ExternalAttributes = a != 0xFFFFFFFF ? a : attrs;
  item.Comment = comment;
  item.Header.CommentLength = static_cast<uint16_t>(std::min(comment.Length(), 0xFFFF));
  item.PendingOp = poUpdate;
  const int64_t size = [&] {
    TSearchRecW rec;
    int64_t s = 0;
    if (WideFindFirst(fileName, 0x27, rec) == 0) {
      s = rec.Size;
      WideFindClose(rec);
    }
    return s;
  }();
  SetSourceSize(item, size);
}

void TZEBaseArchiver::UpdateTaggedFile(int index, const WideString& storedName, const WideString& baseDir) {
  TDirItem& item = Dir().GetItemPtr(index);
  if (item.Header.ExternalAttributes & ZE_ATTR_DIRECTORY) return;
  const WideString path = ExpandWithBaseDir(baseDir, storedName, CurrentFolder());
  if (!WideFileExists(path)) return;
  if (!FOptions->ReplaceReadOnly && (item.Header.ExternalAttributes & ZE_ATTR_READONLY)) return;
  const bool update = MayReplace(path, storedName, static_cast<uint32_t>(WideFileAge(path)), DosStamp(item));
  if (!update) return;
  const WideString keep = FCurrentDir;
  FCurrentDir = ExpandWithBaseDir(baseDir, WideString(), CurrentFolder());
  try {
    UpdateItem(index, path);
  } catch (...) {
    FCurrentDir = keep;
    throw;
  }
  FCurrentDir = keep;
}

// --- items from streams ------------------------------------------------------------------

void TZEBaseArchiver::InternalAddFromStream(const WideString& fileName, TStream* stream, bool copyToBuffer,
                                            int64_t position, int64_t count, uint32_t attr, TDateTime dateTime,
                                            bool ownsStream) {
  CheckInactive();
  CheckModifySpanning();
  std::unique_ptr<TStream> owned(ownsStream ? stream : nullptr);
  BeginUpdate();
  try {
    const int index = AddFileInit(fileName, FBaseDir, false, attr, dateTime);
    if (index >= 0) {
      TDirItem& item = Dir().GetItemPtr(index);
      item.Header.ExternalAttributes = attr;
      if (dateTime != 0) {
        const int dos = ZEDateTimeToDos(dateTime);
        item.Header.ModTime = static_cast<uint16_t>(dos & 0xFFFF);
        item.Header.ModDate = static_cast<uint16_t>(static_cast<uint32_t>(dos) >> 16);
      }
      // Count 0 means the whole stream from its start.
      int64_t from = position, size = count;
      if (count <= 0) {
        from = 0;
        size = stream->Size();
      }
      size = std::max<int64_t>(0, std::min(size, stream->Size() - from));
      if (copyToBuffer) {
        std::shared_ptr<TStream> copy(new TMemoryStream());
        const int64_t keep = stream->Position();
        try {
          stream->SetPosition(from);
          if (size > 0) copy->CopyFrom(stream, size);
        } catch (...) {
          stream->SetPosition(keep);
          throw;
        }
        stream->SetPosition(keep);
        item.OwnedSource = copy;
        item.SourceStream = nullptr;
        item.SourceStart = 0;
        item.SourceCount = size;
      } else {
        if (owned) item.OwnedSource.reset(owned.release());
        item.SourceStream = item.OwnedSource ? nullptr : stream;
        item.SourceStart = from;
        item.SourceCount = size;
      }
      SetSourceSize(item, size);
    }
    EndUpdate();
  } catch (...) {
    CancelUpdate();
    throw;
  }
}

void TZEBaseArchiver::AddFromStream(const WideString& fileName, TStream* stream, bool copyToBuffer, int64_t position,
                                    int64_t count, uint32_t attr, TDateTime dateTime) {
  InternalAddFromStream(fileName, stream, copyToBuffer, position, count, attr, dateTime, false);
}

void TZEBaseArchiver::AddFromBuffer(const WideString& fileName, const void* buffer, int32_t count, uint32_t attr,
                                    TDateTime dateTime) {
  auto* m = new TMemoryStream();
  try {
    if (count > 0) m->WriteBuffer(buffer, count);
  } catch (...) {
    delete m;
    throw;
  }
  InternalAddFromStream(fileName, m, false, 0, 0, attr, dateTime, true);
}

void TZEBaseArchiver::AddFromString(const WideString& fileName, const AnsiString& text, uint32_t attr,
                                    TDateTime dateTime) {
  AddFromBuffer(fileName, text.c_str(), text.Length(), attr, dateTime);
}
