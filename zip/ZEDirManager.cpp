#include "ZEDirManager.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "classes.h"

#include "ZEException.h"
#include "ZEStringHash.h"
#include "ZipEngine.h"
#include "ZEVolumes.h"
#include "UcWideStreams.h"

namespace {

// Reads a stream forward through a 64 KiB window, so that walking thousands of
// small records costs few system calls. Reads never pass the stream's end.
class TZEBufferedReader {
public:
  TZEBufferedReader(TStream* stream, int64_t position) : FStream(stream), FSize(stream->Size()) { Seek(position); }

  int64_t Position() const { return FPos; }
  int64_t Size() const { return FSize; }
  int64_t Remaining() const { return FSize - FPos; }
  void Seek(int64_t pos) { FPos = pos; }

  // All or nothing: EReadError when the stream ends first.
  void Read(void* buffer, int64_t count) {
    if (count < 0 || FPos < 0 || count > FSize - FPos) throw EReadError("Stream read error");
    uint8_t* out = static_cast<uint8_t*>(buffer);
    while (count > 0) {
      if (FPos < FBufStart || FPos >= FBufStart + static_cast<int64_t>(FBufLen)) Fill();
      size_t at = static_cast<size_t>(FPos - FBufStart);
      size_t n = std::min<int64_t>(count, static_cast<int64_t>(FBufLen - at));
      std::memcpy(out, FBuf.data() + at, n);
      out += n;
      FPos += n;
      count -= n;
    }
  }

private:
  void Fill() {
    FBuf.resize(65536);
    FStream->SetPosition(FPos);
    int32_t want = static_cast<int32_t>(std::min<int64_t>(65536, FSize - FPos));
    int32_t got = FStream->Read(FBuf.data(), want);
    if (got <= 0) throw EReadError("Stream read error");
    FBufStart = FPos;
    FBufLen = static_cast<size_t>(got);
  }

  TStream* FStream;
  int64_t FSize;
  int64_t FPos = 0;
  std::vector<uint8_t> FBuf;
  int64_t FBufStart = 0;
  size_t FBufLen = 0;
};

// Puts the stream back where it was when the scope ends.
class TKeepPosition {
public:
  explicit TKeepPosition(TStream* s) : FStream(s), FPos(s->Position()) {}
  ~TKeepPosition() { FStream->SetPosition(FPos); }

private:
  TStream* FStream;
  int64_t FPos;
};

// Reads exactly count bytes at pos; false when the stream holds fewer.
bool ReadAt(TStream* s, int64_t pos, void* buffer, int32_t count) {
  if (pos < 0 || pos + count > s->Size()) return false;
  s->SetPosition(pos);
  return s->Read(buffer, count) == count;
}

void ReadItemName(TZEBufferedReader& r, TDirItem& item, int nameLength, bool oem, WideString& name) {
  if (nameLength <= 0) {
    name = WideString();
    return;
  }
  std::vector<char> bytes(static_cast<size_t>(nameLength));
  r.Read(bytes.data(), nameLength);
  name = DiskNameToStored(bytes.data(), bytes.size(), oem, item.Header.Flags);
}

// Reads an item's extra area of total bytes: the blocks are kept, and the ZIP64,
// "NU" and AES blocks are interpreted. The local form of the ZIP64 block always
// holds both sizes and is not kept (it is regenerated on every write).
void ReadExtraArea(TZEBufferedReader& r, TZEDirArray& dir, int index, int total, bool local) {
  TDirItem& item = dir.GetItemPtr(index);
  int consumed = 0;
  while (consumed < total) {
    if (total - consumed < 4) {
      // A block header cut short: skip the stray bytes so that what follows
      // is read from where it begins.
      uint8_t junk[4];
      r.Read(junk, total - consumed);
      break;
    }
    TZEExtraHeader h;
    r.Read(&h, 4);
    consumed += 4;
    const int sz = std::min<int>(h.Size, total - consumed);
    TZEExtraBlock block;
    block.Id = h.Id;
    block.Data.resize(static_cast<size_t>(sz));
    if (sz > 0) r.Read(block.Data.data(), sz);
    consumed += sz;
    if (block.Id == ZE_EXTRA_ZIP64) {
      if (local) {
        if (block.Data.size() >= 16) {
          item.Zip64Uncompressed = static_cast<int64_t>(GetLE64(block.Data.data()));
          item.Zip64Compressed = static_cast<int64_t>(GetLE64(block.Data.data() + 8));
        }
        item.Zip64 = true;
        continue;
      }
      ReadZip64Block(block.Data, item);
      item.Zip64 = true;
    } else if (block.Id == ZE_EXTRA_UNICODE) {
      WideString uname;
      if (ParseUnicodeNameBlock(block.Data, uname)) dir.SetItemName(index, uname);
    } else if (block.Id == ZE_EXTRA_AES && item.Header.VersionNeeded < ZE_VERSION_ALT && block.Data.size() >= 7) {
      const uint8_t strength = block.Data[4];
      if (strength >= 1 && strength <= 3) item.EncryptionMarker = strength;
      item.RealMethod = GetLE16(block.Data.data() + 5);
    }
    item.ExtraBlocks.push_back(std::move(block));
  }
}

}  // namespace

// --- extra blocks ----------------------------------------------------------------

void ReadZip64Block(const std::vector<uint8_t>& data, TDirItem& item) {
  size_t at = 0;
  auto take64 = [&](int64_t& v) {
    if (at + 8 > data.size()) return;
    v = static_cast<int64_t>(GetLE64(data.data() + at));
    at += 8;
  };
  if (item.Header.UncompressedSize == ZE_ALL32) take64(item.Zip64Uncompressed);
  if (item.Header.CompressedSize == ZE_ALL32) take64(item.Zip64Compressed);
  if (item.Header.LocalHeaderOffset == ZE_ALL32) take64(item.Zip64Offset);
  if (item.Header.DiskNumberStart == ZE_ALL16 && at + 4 <= data.size()) {
    item.Zip64Disk = GetLE16(data.data() + at);
    at += 4;
  }
}

std::vector<uint8_t> MakeCentralZip64Block(const TDirItem& item) {
  const bool usize = item.Header.UncompressedSize == ZE_ALL32, csize = item.Header.CompressedSize == ZE_ALL32,
             offset = item.Header.LocalHeaderOffset == ZE_ALL32, disk = item.Header.DiskNumberStart == ZE_ALL16;
  const uint16_t size = static_cast<uint16_t>((usize ? 8 : 0) + (csize ? 8 : 0) + (offset ? 8 : 0) + (disk ? 4 : 0));
  std::vector<uint8_t> block;
  if (size == 0) return block;
  block.reserve(4u + size);
  PutLE16(block, ZE_EXTRA_ZIP64);
  PutLE16(block, size);
  if (usize) PutLE64(block, static_cast<uint64_t>(item.Zip64Uncompressed));
  if (csize) PutLE64(block, static_cast<uint64_t>(item.Zip64Compressed));
  if (offset) PutLE64(block, static_cast<uint64_t>(item.Zip64Offset));
  if (disk) PutLE32(block, item.Zip64Disk);
  return block;
}

// --- TZEDirArray -------------------------------------------------------------------

TZEDirArray::TZEDirArray() : FNames(new TZEHashedStringList()) {}

TZEDirArray::~TZEDirArray() {
  Clear();
  delete FNames;
}

WideString TZEDirArray::IndexKey(const WideString& name) {
  WideString key = name;
  if (key.Length() > 0) CharLowerBuffW(key.data(), static_cast<DWORD>(key.Length()));
  return key;
}

void TZEDirArray::Clear() {
  for (int i = 0; i < FCount; ++i) FItems[i] = TDirItem();
  FCount = 0;
  FNames->Clear();
}

void TZEDirArray::SetCount(int n) {
  if (n < 0) n = 0;
  if (n > FCapacity) {
    FGrowStep = std::min(FGrowStep * 2, FMaxGrowStep);
    FCapacity = FCapacity + FGrowStep > n ? FCapacity + FGrowStep : n;
    FItems.resize(static_cast<size_t>(FCapacity));
  }
  if (n == 0) {
    FItems.clear();
    FItems.shrink_to_fit();
    FCapacity = 0;
  }
  // A slot taken into use again starts empty: no stale name, blocks or source.
  for (int i = FCount; i < n; ++i) FItems[i] = TDirItem();
  FCount = n;
  // The index never holds entries for slots beyond the count.
  while (FNames->Count() > FCount) FNames->Delete(FNames->Count() - 1);
}

TDirItem TZEDirArray::GetItem(int index) const {
  if (index < 0 || index >= FCount) throw EZEException(2, nullptr);
  return FItems[index];
}

TDirItem& TZEDirArray::GetItemPtr(int index) {
  if (index < 0 || index >= FCount) throw EZEException(3, nullptr);
  return FItems[index];
}

const TDirItem& TZEDirArray::GetItemPtr(int index) const {
  if (index < 0 || index >= FCount) throw EZEException(3, nullptr);
  return FItems[index];
}

void TZEDirArray::SetItem(int index, const TDirItem& item) {
  if (index < 0 || index >= FCount) throw EZEException(1, nullptr);
  const int names = FNames->Count();
  if (names <= index) {
    if (names != index) throw EZEException(58, nullptr);
    FNames->Add(IndexKey(item.StoredName));
  } else {
    FNames->IndexOf(WideString());  // makes the value hash current before Update
    FNames->Update(index, IndexKey(item.StoredName));
  }
  FItems[index] = item;
}

void TZEDirArray::DeleteItem(int index) {
  if (index < 0 || index >= FCount) throw EZEException(4, nullptr);
  if (index < FNames->Count()) FNames->Delete(index);
  FItems.erase(FItems.begin() + index);
  FItems.emplace_back();
  --FCount;
}

void TZEDirArray::Assign(const TZEDirArray& source) {
  Clear();
  SetCount(source.FCount);
  for (int i = 0; i < source.FCount; ++i) SetItem(i, source.FItems[i]);
}

void TZEDirArray::ClearTags() {
  for (int i = 0; i < FCount; ++i) FItems[i].Tag = false;
}

bool TZEDirArray::FileExists(const WideString& name, int& index) {
  index = FNames->IndexOf(IndexKey(name));
  if (index >= FCount) index = -1;
  return index >= 0;
}

void TZEDirArray::SetItemName(int index, const WideString& name) {
  if (index < 0 || index >= FCount) throw EZEException(59, nullptr);
  // Entry i belongs to item i: replace it, or append it when the item is the
  // next one without an entry. Anything else means the index is out of step.
  const int names = FNames->Count();
  if (index < names) {
    FNames->IndexOf(WideString());
    FNames->Update(index, IndexKey(name));
  } else if (index == names) {
    FNames->Add(IndexKey(name));
  } else {
    throw EZEException(59, nullptr);
  }
  FItems[index].StoredName = name;
}

int TZEDirArray::AppendItem() {
  int i = FCount;
  SetCount(FCount + 1);
  SetItemName(i, WideString());
  return i;
}

// --- TZEDirManager -----------------------------------------------------------------

TZEDirManager::TZEDirManager(TStream* stream, bool newArchive, TZEBaseArchiver* owner)
    : FStream(stream),
      FNewArchive(newArchive),
      FCustomStream(owner && stream != owner->ArchiveStream()),
      FOwner(owner),
      FBackup(new TZEDirArray()),
      FDirectory(new TZEDirArray()) {
  InitCentralDirEnd();
  if (newArchive && owner) {
    owner->VolumeState().SetFirstVolume(true);
    if (!owner->SFXStub().IsEmpty()) SaveSFXStub();
  }
}

TZEDirManager::~TZEDirManager() = default;

uint32_t TZEDirManager::LocalSignature() const {
  return !FOwner || FOwner->StandardSignatures() ? ZE_LOCAL_SIG : ZE_LOCAL_SIG_ALT;
}

bool TZEDirManager::OemNames() const { return !FOwner || FOwner->Options()->OEMFileNames; }

void TZEDirManager::InitCentralDirEnd() {
  FDirectory->SetCount(0);
  FDirectory->Clear();
  End = TZEZipCentralDirEnd{};
  End.Signature = !FOwner || FOwner->StandardSignatures() ? ZE_END_SIG : ZE_END_SIG_ALT;
  Zip64End = TZEZip64CentralDirEnd{};
  Zip64Locator = TZEZip64CentralDirEndLocator{};
  HasZip64 = false;
  EndPosition = -1;
}

bool TZEDirManager::GetCentralDirEnd(TZEZipCentralDirEnd& record, int64_t& position, uint32_t signature) {
  Comment = AnsiString();
  record = TZEZipCentralDirEnd{};
  position = -1;
  TKeepPosition keep(FStream);
  const int64_t size = FStream->Size();
  const int64_t n = std::min<int64_t>(size, 65600);
  if (n < 4) return false;
  std::vector<uint8_t> tail(static_cast<size_t>(n));
  if (!ReadAt(FStream, size - n, tail.data(), static_cast<int32_t>(n))) return false;
  const uint8_t s0 = signature & 0xFF, s1 = (signature >> 8) & 0xFF, s2 = (signature >> 16) & 0xFF,
                s3 = signature >> 24;
  for (int64_t i = n - 1; i >= 3; --i) {
    if (tail[i] != s3 || tail[i - 1] != s2 || tail[i - 2] != s1 || tail[i - 3] != s0) continue;
    const int64_t at = i - 3;  // within the tail
    const int64_t p = size - n + at;
    if (n - at < 22) continue;
    TZEZipCentralDirEnd candidate;
    std::memcpy(&candidate, tail.data() + at, 22);
    record = candidate;  // a rejected candidate stays behind, as readers expect
    if (candidate.CommentLength != size - (p + 22)) continue;
    position = p;
    if (candidate.CommentLength > 0)
      Comment = AnsiString(reinterpret_cast<const char*>(tail.data() + at + 22), candidate.CommentLength);
    return true;
  }
  return false;
}

bool TZEDirManager::HasCentralDirEnd() {
  uint32_t sig = !FOwner || FOwner->StandardSignatures() ? ZE_END_SIG : ZE_END_SIG_ALT;
  int64_t pos;
  bool found = GetCentralDirEnd(End, pos, sig);
  EndPosition = pos;
  if (FOwner && FOwner->OpenTolerance()) return true;
  return found;
}

uint32_t TZEDirManager::DirectoryDisk() const {
  if (End.DirectoryDisk != ZE_ALL16) return End.DirectoryDisk;
  return HasZip64 ? Zip64End.DirectoryDisk : 0;
}

uint32_t TZEDirManager::LastDisk() const {
  if (End.ThisDisk != ZE_ALL16) return End.ThisDisk;
  return HasZip64 && Zip64Locator.TotalDisks > 0 ? Zip64Locator.TotalDisks - 1 : 0;
}

void TZEDirManager::LoadDir() {
  InitCentralDirEnd();
  StubSize = 0;
  const bool tolerant = !FOwner || FOwner->OpenTolerance();
  const int64_t size = FStream->Size();

  // 1. The end record.
  int64_t endPos = -1;
  bool found;
  if (!FOwner || FOwner->StandardSignatures()) {
    found = GetCentralDirEnd(End, endPos, ZE_END_SIG);
  } else {
    found = GetCentralDirEnd(End, endPos, ZE_END_SIG_ALT);
    if (!found) found = GetCentralDirEnd(End, endPos, ZE_END_SIG);
  }
  if (!found) {
    RebuildFromLocalHeaders();
    return;
  }
  EndPosition = endPos;

  // 2. ZIP64 records: the locator lies just before the end record.
  int64_t locatorPos = -1;
  if (endPos > 20) {
    TZEZip64CentralDirEndLocator loc;
    if (ReadAt(FStream, endPos - 20, &loc, 20) && loc.Signature == ZE_ZIP64_LOCATOR_SIG) {
      HasZip64 = true;
      Zip64Locator = loc;
      locatorPos = endPos - 20;
      TZEZip64CentralDirEnd rec{};
      const uint64_t at = loc.EndRecordOffset;
      bool valid = locatorPos > 56 && at <= static_cast<uint64_t>(size) &&
                   ReadAt(FStream, static_cast<int64_t>(at), &rec, 56) && rec.Signature == ZE_ZIP64_END_SIG;
      if (!valid) throw EZEException(40, nullptr);
      Zip64End = rec;
    }
  }
  if (!HasZip64 && End.TotalEntries == ZE_ALL16) {
    RebuildFromLocalHeaders();
    return;
  }

  // 3. Volumes.
  const TZESpanningMode spanning = FOwner ? FOwner->SpanningMode() : smNone;
  if (FOwner) {
    TZEVolumeNumberInfo& vol = FOwner->VolumeState();
    vol.LastVolumeNumber = static_cast<int32_t>(LastDisk());
    vol.SetVolumeNumber(static_cast<int32_t>(DirectoryDisk()));
    if (spanning != smNone) OpenVolume(vol);
  }

  constexpr uint64_t kHalfMax = std::numeric_limits<int64_t>::max() / 2;
  // 4. Where the directory is and how many entries it claims. Counts that the
  // directory's own size cannot hold are damage, not an allocation request.
  int64_t dirPos;
  uint64_t count, dirSize;
  if (HasZip64) {
    dirSize = Zip64End.DirectorySize;
    count = Zip64End.TotalEntries;
    dirPos = spanning == smNone ? (locatorPos - 56) - static_cast<int64_t>(std::min<uint64_t>(dirSize, kHalfMax))
                                : static_cast<int64_t>(std::min<uint64_t>(Zip64End.DirectoryOffset, kHalfMax));
  } else {
    dirSize = End.DirectorySize;
    count = End.TotalEntries;
    dirPos = spanning == smNone ? endPos - static_cast<int64_t>(dirSize) : static_cast<int64_t>(End.DirectoryOffset);
  }
  // Volumes read as one stream: positions are counted from the first volume.
  auto* volumes = spanning != smNone ? dynamic_cast<TZEVolumeSetStream*>(FStream) : nullptr;
  if (volumes) {
    const int64_t start = volumes->Start(DirectoryDisk());
    dirPos = start < 0 ? -1 : dirPos + start;
  }
  const int64_t streamSize = FStream->Size();
  const bool plausible = dirPos >= 0 && dirPos <= streamSize && count <= dirSize / 46 &&
                         count <= static_cast<uint64_t>(streamSize - dirPos) / 46 && count <= 0x7FFFFFF;
  try {
    if (!plausible) throw EReadError("Stream read error");
    FDirectory->SetCount(static_cast<int>(count));
    TZEBufferedReader r(FStream, dirPos);
    DirectoryStart = dirPos;
    const bool oem = OemNames();
    for (int i = 0; i < static_cast<int>(count); ++i) {
      TDirItem& item = FDirectory->GetItemPtr(i);
      r.Read(&item.Header, 46);
      if ((item.Header.Flags & 1) && item.Header.VersionNeeded < ZE_VERSION_ALT) item.EncryptionMarker = 0;
      item.RealMethod = item.Header.Method;
      WideString name;
      ReadItemName(r, item, item.Header.NameLength, oem, name);
      FDirectory->SetItemName(i, name);
      if (item.Header.ExtraLength > 0) {
        item.Zip64 = false;
        ReadExtraArea(r, *FDirectory, i, item.Header.ExtraLength, false);
      }
      if (item.Header.CommentLength > 0) {
        std::string c(item.Header.CommentLength, '\0');
        r.Read(c.data(), item.Header.CommentLength);
        item.Comment = AnsiString(std::move(c));
      } else {
        item.Comment = AnsiString();
      }
    }
  } catch (...) {
    if (!tolerant) throw;
    RebuildFromLocalHeaders();
    return;
  }

  if (volumes) {
    for (int i = 0; i < FDirectory->GetCount(); ++i) {
      TDirItem& item = FDirectory->GetItemPtr(i);
      const int64_t start = volumes->Start(item.DiskNumber());
      if (start < 0) throw EZEException(35, nullptr);
      SetItemOffset(item, item.LocalOffset() + start);
      item.Header.DiskNumberStart = 0;
      item.Zip64Disk = 0;
    }
  }

  // 5. Sizes that cannot fit in the file.
  if (!tolerant && spanning == smNone) {
    uint64_t sum = 0;
    for (int i = 0; i < FDirectory->GetCount(); ++i) sum += FDirectory->GetItemPtr(i).Header.CompressedSize;
    if (sum > static_cast<uint64_t>(streamSize)) throw EZEException(57, nullptr);
  }

  // 6. A prefix in front of the first item.
  if (LastDisk() == 0) CalculateStubSize(HasZip64 ? locatorPos - 56 : endPos);
  // The first item with data decides whether the entries count from the start
  // of the archive behind the prefix; in an archive of folders and empty
  // files only, the first entry decides, so that those move too.
  int deciding = FDirectory->GetCount() > 0 ? 0 : -1;
  for (int i = 0; i < FDirectory->GetCount(); ++i) {
    if (FDirectory->GetItemPtr(i).Header.CompressedSize == 0) continue;
    deciding = i;
    break;
  }
  if (deciding >= 0 && StubSize > 0 && FDirectory->GetItemPtr(deciding).LocalOffset() < StubSize) ApplyStubOffset();

  // 7. Every item's data must be its own: entries pointing into one another's
  // data would make a small archive extract without end.
  if (spanning == smNone || volumes) RefuseOverlappingItems();
}

void TZEDirManager::RefuseOverlappingItems() {
  struct TRange {
    int64_t Start, End;
  };
  std::vector<TRange> ranges;
  ranges.reserve(static_cast<size_t>(FDirectory->GetCount()));
  for (int i = 0; i < FDirectory->GetCount(); ++i) {
    const TDirItem& item = FDirectory->GetItemPtr(i);
    const int64_t start = item.LocalOffset();
    // The local header's fixed part and the packed data at the least.
    const int64_t packed = std::min<int64_t>(std::max<int64_t>(item.PackedSize(), 0), std::numeric_limits<int64_t>::max() / 4);
    ranges.push_back({start, start + 30 + packed});
  }
  std::sort(ranges.begin(), ranges.end(), [](const TRange& a, const TRange& b) { return a.Start < b.Start; });
  for (size_t i = 1; i < ranges.size(); ++i)
    if (ranges[i].Start < ranges[i - 1].End) throw EZEException(57, nullptr);
}

void TZEDirManager::RebuildFromLocalHeaders() {
  FDirectory->Clear();
  if (FOwner && FOwner->SpanningMode() != smNone) throw EZEException(44, nullptr);
  int64_t p = FindLocalFileHeader(0);
  if (p < 0) throw EZEException(35, nullptr);
  const int64_t size = FStream->Size();
  const bool oem = OemNames();
  const uint32_t centralSig = End.Signature == ZE_END_SIG_ALT ? ZE_CENTRAL_SIG_ALT : ZE_CENTRAL_SIG;
  TZEBufferedReader r(FStream, p);
  while (p >= 0) {
    TZEZipFileHeader lh;
    r.Seek(p);
    r.Read(&lh, 30);
    const int64_t next = FindLocalFileHeader(p + 4);
    // An item whose data runs past the end of a cut file is kept: extracting
    // it then fails with its own error instead of the item vanishing.
    if (lh.NameLength <= 260) {
      int i = FDirectory->AppendItem();
      TDirItem& item = FDirectory->GetItemPtr(i);
      TZEZipCentralDir& h = item.Header;
      h.Signature = centralSig;
      h.VersionMadeBy = h.VersionNeeded = lh.VersionNeeded;
      h.Flags = lh.Flags;
      h.Method = item.RealMethod = lh.Method;
      h.ModTime = lh.ModTime;
      h.ModDate = lh.ModDate;
      h.Crc32 = lh.Crc32;
      h.CompressedSize = lh.CompressedSize;
      h.UncompressedSize = lh.UncompressedSize;
      h.NameLength = lh.NameLength;
      h.ExtraLength = lh.ExtraLength;
      h.LocalHeaderOffset = static_cast<uint32_t>(p);
      if (p >= static_cast<int64_t>(ZE_ALL32)) {
        h.LocalHeaderOffset = ZE_ALL32;
        item.Zip64Offset = p;
        item.Zip64 = true;
      }
      if ((lh.Flags & 1) && lh.VersionNeeded < ZE_VERSION_ALT) item.EncryptionMarker = 0;
      WideString name;
      if (lh.NameLength > 0 && r.Remaining() >= lh.NameLength) ReadItemName(r, item, lh.NameLength, oem, name);
      FDirectory->SetItemName(i, name);
      // Only a name ending in '/' makes a folder: an empty file is a file.
      const bool folder = !name.IsEmpty() && name[name.Length()] == L'/' && lh.UncompressedSize == 0;
      h.ExternalAttributes = folder ? ZE_ATTR_DIRECTORY : ZE_ATTR_ARCHIVE;
      if (lh.ExtraLength > 0 && r.Remaining() >= lh.ExtraLength)
        ReadExtraArea(r, *FDirectory, i, lh.ExtraLength, true);
      if (lh.Flags & 8) {
        TZEZipDataDescriptor d;
        const int64_t dataStart = p + 30 + lh.NameLength + lh.ExtraLength;
        if (FindDataDescriptor(dataStart, next < 0 ? size : next, d)) {
          h.Crc32 = d.Crc32;
          h.CompressedSize = d.CompressedSize;
          h.UncompressedSize = d.UncompressedSize;
        }
      }
    }
    p = next;
  }
  DirectoryStart = size;
  // Nothing that looks like an item: not an archive, not an empty one.
  if (FDirectory->GetCount() == 0) throw EZEException(35, nullptr);
}

bool TZEDirManager::FindSignature(TStream* stream, int64_t& position, const uint8_t* signature, int length) {
  TKeepPosition keep(stream);
  const int64_t size = stream->Size();
  std::vector<uint8_t> buf(10000);
  int64_t pos = std::max<int64_t>(position, 0);
  while (pos + length <= size) {
    int32_t want = static_cast<int32_t>(std::min<int64_t>(10000, size - pos));
    stream->SetPosition(pos);
    int32_t got = stream->Read(buf.data(), want);
    if (got < length) return false;
    for (int32_t i = 0; i + length <= got; ++i) {
      if (std::memcmp(buf.data() + i, signature, static_cast<size_t>(length)) == 0) {
        position = pos + i;
        return true;
      }
    }
    if (got < 10000) return false;
    pos += 10000 - length;
  }
  return false;
}

int64_t TZEDirManager::FindLocalFileHeader(int64_t start) {
  TKeepPosition keep(FStream);
  const int64_t size = FStream->Size();
  uint8_t sig[4];
  const uint32_t s = LocalSignature();
  std::memcpy(sig, &s, 4);
  std::vector<uint8_t> buf(65535);
  int64_t pos = std::max<int64_t>(start, 0);
  while (pos + 4 <= size) {
    int32_t want = static_cast<int32_t>(std::min<int64_t>(65535, size - pos));
    FStream->SetPosition(pos);
    int32_t got = FStream->Read(buf.data(), want);
    if (got < 4) return -1;
    const uint8_t* hit = nullptr;
    for (int32_t i = 0; i + 4 <= got; ++i) {
      if (buf[i] == sig[0] && std::memcmp(buf.data() + i, sig, 4) == 0) {
        hit = buf.data() + i;
        break;
      }
    }
    if (hit) {
      int64_t p = pos + (hit - buf.data());
      return size - p >= 30 ? p : -1;
    }
    int64_t next = pos + got - 4;
    if (next <= pos) return -1;
    pos = next;
  }
  return -1;
}

bool TZEDirManager::FindDataDescriptor(int64_t dataStart, int64_t limit, TZEZipDataDescriptor& descriptor) {
  // The descriptor lies between the item's data and the next local header
  // (limit): the search never runs further, so rebuilding a directory of many
  // such items stays linear in the archive's size.
  TKeepPosition keep(FStream);
  if (limit > FStream->Size()) limit = FStream->Size();
  if (limit - dataStart < 12) return false;
  // Right in front of the next header: with or without its signature.
  uint8_t tail[16];
  if (limit - dataStart >= 16 && ReadAt(FStream, limit - 16, tail, 16) && GetLE32(tail) == ZE_DESCRIPTOR_SIG &&
      GetLE32(tail + 8) == static_cast<uint64_t>(limit - 16 - dataStart)) {
    std::memcpy(&descriptor, tail, 16);
    return true;
  }
  if (ReadAt(FStream, limit - 12, tail, 12) && GetLE32(tail + 4) == static_cast<uint64_t>(limit - 12 - dataStart)) {
    descriptor.Signature = ZE_DESCRIPTOR_SIG;
    descriptor.Crc32 = GetLE32(tail);
    descriptor.CompressedSize = GetLE32(tail + 4);
    descriptor.UncompressedSize = GetLE32(tail + 8);
    return true;
  }
  // Otherwise the first signature whose compressed size matches its place.
  std::vector<uint8_t> buf(static_cast<size_t>(std::min<int64_t>(limit - dataStart, 1 << 20)) + 16);
  for (int64_t pos = dataStart; pos + 16 <= limit;) {
    const int32_t want = static_cast<int32_t>(std::min<int64_t>(static_cast<int64_t>(buf.size()), limit - pos));
    if (!ReadAt(FStream, pos, buf.data(), want)) return false;
    for (int32_t i = 0; i + 16 <= want; ++i) {
      if (GetLE32(buf.data() + i) != ZE_DESCRIPTOR_SIG) continue;
      if (GetLE32(buf.data() + i + 8) != static_cast<uint64_t>(pos + i - dataStart)) continue;
      std::memcpy(&descriptor, buf.data() + i, 16);
      return true;
    }
    if (want < static_cast<int32_t>(buf.size())) break;
    pos += want - 15;
  }
  return false;
}

void TZEDirManager::CalculateStubSize(int64_t endPosition) {
  if (End.TotalEntries == 0 && !(HasZip64 && Zip64End.TotalEntries != 0)) {
    StubSize = endPosition;
    return;
  }
  if (FDirectory->GetCount() == 0) return;
  const TDirItem& ref = FDirectory->GetItemPtr(0);
  int64_t p = ref.LocalOffset();
  uint8_t sig[4];
  const uint32_t s = LocalSignature();
  std::memcpy(sig, &s, 4);
  const int64_t size = FStream->Size();
  TKeepPosition keep(FStream);
  while (p < size) {
    if (!FindSignature(FStream, p, sig, 4)) return;
    TZEZipFileHeader lh;
    bool ok = ReadAt(FStream, p, &lh, 30) && p + 30 + lh.NameLength <= size &&
              (lh.Signature == ZE_LOCAL_SIG || lh.Signature == ZE_LOCAL_SIG_ALT);
    if (ok && p != 0) {
      ok = lh.Crc32 == ref.Header.Crc32 && lh.VersionNeeded == ref.Header.VersionNeeded &&
           lh.Method == ref.Header.Method && lh.ModTime == ref.Header.ModTime && lh.ModDate == ref.Header.ModDate &&
           lh.CompressedSize == ref.Header.CompressedSize && lh.UncompressedSize == ref.Header.UncompressedSize;
    }
    if (ok) {
      StubSize = p;
      return;
    }
    ++p;
  }
}

void TZEDirManager::SetItemOffset(TDirItem& item, int64_t offset) {
  if (item.Header.LocalHeaderOffset == ZE_ALL32 || offset >= static_cast<int64_t>(ZE_ALL32)) {
    item.Header.LocalHeaderOffset = ZE_ALL32;
    item.Zip64Offset = offset;
    item.Zip64 = true;
  } else {
    item.Header.LocalHeaderOffset = static_cast<uint32_t>(offset);
  }
}

void TZEDirManager::ApplyStubOffset() {
  // Every item moves by the prefix, folders included, in 64 bits.
  for (int i = 0; i < FDirectory->GetCount(); ++i) {
    TDirItem& item = FDirectory->GetItemPtr(i);
    SetItemOffset(item, item.LocalOffset() + StubSize);
  }
}

void TZEDirManager::SaveSFXStub() {
  if (!FOwner) return;
  TUcFileStream stub(FOwner->SFXStub(), fmOpenRead | fmShareDenyNone);
  const int64_t size = stub.Size();
  if (FOwner->SpanningMode() != smNone) {
    const int64_t first = FOwner->SpanningOptions()->GetVolumeSize(0);
    if (first != -1 && size > first) throw EZEException(47, FOwner);
  }
  FStream->SetSize(int64_t(0));
  FStream->SetPosition(0);
  std::vector<uint8_t> buf(static_cast<size_t>(std::min<int64_t>(std::max<int64_t>(size, 1), 1048576)));
  for (int64_t left = size; left > 0;) {
    const int32_t n = static_cast<int32_t>(std::min<int64_t>(left, static_cast<int64_t>(buf.size())));
    stub.ReadBuffer(buf.data(), n);
    FOwner->WriteBufferToStream(FStream, buf.data(), n);
    left -= n;
  }
  StubSize = size;
}

bool TZEDirManager::IsEncrypted() {
  return FDirectory->GetCount() > 0 && (FDirectory->GetItemPtr(0).Header.Flags & 1) != 0;
}

bool TZEDirManager::IsSFXArchive() {
  return FDirectory->GetCount() > 0 && FDirectory->GetItemPtr(0).LocalOffset() > 0;
}

void TZEDirManager::OpenVolume(TZEVolumeNumberInfo& volume) {
  if (FCustomStream || !FOwner) return;
  FOwner->OpenVolume(volume);
  FStream = FOwner->ArchiveStream();
}

void TZEDirManager::SaveDir(bool append, TStream* stream) {
  if (stream) FStream = stream;
  const AnsiString comment = Comment;
  int64_t pos;
  if (append) {
    pos = FStream->Size();
  } else {
    TZEZipCentralDirEnd rec;
    int64_t at = -1;
    bool found = GetCentralDirEnd(rec, at, ZE_END_SIG);
    if (!found && FOwner && !FOwner->StandardSignatures()) found = GetCentralDirEnd(rec, at, ZE_END_SIG_ALT);
    // The old directory is overwritten from where it really begins.
    pos = found ? std::min(DirectoryStart, at) : FStream->Size();
    if (pos < 0) pos = FStream->Size();
  }
  Comment = comment;
  FStream->SetSize(pos);
  FStream->SetPosition(pos);
  DirectoryStart = pos;

  int32_t volume = FOwner ? std::max<int32_t>(FOwner->VolumeState().VolumeNumber, 0) : 0;
  const uint32_t startDisk = static_cast<uint32_t>(volume);
  const bool oem = OemNames();

  std::vector<uint8_t> out;
  out.reserve(65536);
  int64_t written = 0;
  auto flush = [&]() {
    if (out.empty()) return;
    if (FOwner)
      FOwner->WriteBufferToStream(FStream, out.data(), static_cast<int64_t>(out.size()));
    else
      FStream->WriteBuffer(out.data(), static_cast<int32_t>(out.size()));
    written += static_cast<int64_t>(out.size());
    out.clear();
  };
  auto put = [&](const void* p, size_t n) {
    const uint8_t* b = static_cast<const uint8_t*>(p);
    out.insert(out.end(), b, b + n);
    if (out.size() >= 65536) flush();
  };

  const int count = FDirectory->GetCount();
  for (int i = 0; i < count; ++i) {
    TDirItem& item = FDirectory->GetItemPtr(i);
    AnsiString name = StoredNameToDisk(item.StoredName, oem, item.Header.Flags);
    // Lengths are 16-bit on disk: a longer name is cut, blocks that do not fit
    // are left out, rather than writing lengths that lie.
    if (name.Length() > 0xFFFF) name.SetLength(0xFFFF);
    std::vector<uint8_t> zip64 = MakeCentralZip64Block(item);
    size_t extra = zip64.size();
    std::vector<const TZEExtraBlock*> blocks;
    for (const TZEExtraBlock& b : item.ExtraBlocks) {
      if (b.Id == ZE_EXTRA_ZIP64) continue;
      if (b.Data.size() > 0xFFFF || extra + 4 + b.Data.size() > 0xFFFF) continue;
      extra += 4 + b.Data.size();
      blocks.push_back(&b);
    }
    AnsiString itemComment = item.Comment;
    if (itemComment.Length() > 0xFFFF) itemComment.SetLength(0xFFFF);
    item.Header.NameLength = static_cast<uint16_t>(name.Length());
    item.Header.ExtraLength = static_cast<uint16_t>(extra);
    item.Header.CommentLength = static_cast<uint16_t>(itemComment.Length());
    put(&item.Header, 46);
    put(name.c_str(), static_cast<size_t>(name.Length()));
    put(zip64.data(), zip64.size());
    for (const TZEExtraBlock* b : blocks) {
      TZEExtraHeader eh{b->Id, static_cast<uint16_t>(b->Data.size())};
      put(&eh, 4);
      put(b->Data.data(), b->Data.size());
    }
    put(itemComment.c_str(), static_cast<size_t>(itemComment.Length()));
  }
  flush();

  const int64_t dirSize = written;
  const int64_t after = pos + dirSize;
  const uint32_t thisDisk = FOwner ? static_cast<uint32_t>(std::max<int32_t>(FOwner->VolumeState().VolumeNumber, 0)) : 0;
  End.ThisDisk = thisDisk >= 0xFFFF ? ZE_ALL16 : static_cast<uint16_t>(thisDisk);
  End.DirectoryDisk = startDisk >= 0xFFFF ? ZE_ALL16 : static_cast<uint16_t>(startDisk);
  End.EntriesOnDisk = End.TotalEntries = count >= 0xFFFF ? ZE_ALL16 : static_cast<uint16_t>(count);
  End.DirectorySize = dirSize >= static_cast<int64_t>(ZE_ALL32) ? ZE_ALL32 : static_cast<uint32_t>(dirSize);
  End.DirectoryOffset = pos >= static_cast<int64_t>(ZE_ALL32) ? ZE_ALL32 : static_cast<uint32_t>(pos);
  AnsiString archiveComment = Comment;
  if (archiveComment.Length() > 0xFFFF) archiveComment.SetLength(0xFFFF);
  End.CommentLength = static_cast<uint16_t>(archiveComment.Length());

  if (after >= static_cast<int64_t>(ZE_ALL32) || count >= 0xFFFF) {
    const int64_t recordPos = after;
    Zip64End = TZEZip64CentralDirEnd{};
    Zip64End.Signature = ZE_ZIP64_END_SIG;
    Zip64End.RecordSize = 44;
    Zip64End.VersionMadeBy = ZE_VERSION_ZIP64;
    Zip64End.VersionNeeded = ZE_VERSION_ZIP64;
    Zip64End.ThisDisk = thisDisk;
    Zip64End.DirectoryDisk = thisDisk;
    Zip64End.EntriesOnDisk = Zip64End.TotalEntries = static_cast<uint64_t>(count);
    Zip64End.DirectorySize = static_cast<uint64_t>(dirSize);
    Zip64End.DirectoryOffset = static_cast<uint64_t>(pos);
    Zip64Locator = TZEZip64CentralDirEndLocator{};
    Zip64Locator.Signature = ZE_ZIP64_LOCATOR_SIG;
    Zip64Locator.Disk = thisDisk;
    Zip64Locator.EndRecordOffset = static_cast<uint64_t>(recordPos);
    Zip64Locator.TotalDisks = thisDisk + 1;
    HasZip64 = true;
    put(&Zip64End, 56);
    put(&Zip64Locator, 20);
  } else {
    HasZip64 = false;
  }
  put(&End, 22);
  put(archiveComment.c_str(), static_cast<size_t>(archiveComment.Length()));
  EndPosition = after + (HasZip64 ? 76 : 0);
  flush();
}

CL_DEFINE_CLASS(TZEDirArray, TObject)
CL_DEFINE_CLASS(TZEDirManager, TObject)
