// The central directory of an open archive in memory: the item records, their
// name index, and the manager that loads, rebuilds and saves the directory.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "ZETypes.h"
#include "ZipFormat.h"

class TStream;
class TZEBaseArchiver;
class TZEHashedStringList;
class TZEVolumeNumberInfo;

// One directory item, a plain value: copies own their strings and extra blocks
// outright, and share an owned source stream.
struct TDirItem {
  TZEZipCentralDir Header{};
  WideString StoredName;
  WideString PreviousName;  // the stored name before the first rename of this transaction
  AnsiString Comment;
  std::vector<TZEExtraBlock> ExtraBlocks;
  uint8_t EncryptionMarker = 0;  // 0 traditional PKWARE, 1..3 AES-128/192/256
  bool Zip64 = false;
  int64_t Zip64Uncompressed = 0;
  int64_t Zip64Compressed = 0;
  int64_t Zip64Offset = 0;
  uint32_t Zip64Disk = 0;
  bool Changed = false;
  AnsiString Password;
  // Data from a caller's stream instead of SourcePath: Count bytes from Start
  // (Count -1: to the end). OwnedSource keeps an item-owned stream alive.
  TStream* SourceStream = nullptr;
  std::shared_ptr<TStream> OwnedSource;
  int64_t SourceStart = 0;
  int64_t SourceCount = -1;
  bool Tag = false;
  WideString SourcePath;
  uint16_t RealMethod = 0;
  uint8_t Mode = 0;
  uint8_t PendingOp = poAdd;
  // The backup item this one stands for (-1: new in this transaction), so that
  // a failed write can fall back to the old record and duplicate names in the
  // archive each keep their own data.
  int32_t BackupIndex = -1;
  // The item was written (or copied) by the current rebuild.
  bool Written = false;

  int64_t PackedSize() const { return Header.CompressedSize == ZE_ALL32 ? Zip64Compressed : Header.CompressedSize; }
  int64_t UnpackedSize() const {
    return Header.UncompressedSize == ZE_ALL32 ? Zip64Uncompressed : Header.UncompressedSize;
  }
  int64_t LocalOffset() const { return Header.LocalHeaderOffset == ZE_ALL32 ? Zip64Offset : Header.LocalHeaderOffset; }
  uint32_t DiskNumber() const { return Header.DiskNumberStart == ZE_ALL16 ? Zip64Disk : Header.DiskNumberStart; }
  bool IsFolder() const {
    return (Header.ExternalAttributes & ZE_ATTR_DIRECTORY) != 0 ||
           (!StoredName.IsEmpty() && StoredName[StoredName.Length()] == L'/');
  }
};

// The working or backup directory: items and the lower-cased names, entry i of
// the index always belonging to item i.
class TZEDirArray : public TObject {
  CL_CLASS(TZEDirArray, TObject)
public:
  TZEDirArray();
  ~TZEDirArray() override;
  TZEDirArray(const TZEDirArray&) = delete;
  TZEDirArray& operator=(const TZEDirArray&) = delete;

  void Clear();
  int GetCount() const { return FCount; }
  int Capacity() const { return FCapacity; }
  void SetCount(int n);
  TDirItem GetItem(int index) const;      // native 2 when out of range
  TDirItem& GetItemPtr(int index);        // native 3
  const TDirItem& GetItemPtr(int index) const;
  void SetItem(int index, const TDirItem& item);  // native 1, 58
  void DeleteItem(int index);             // native 4
  void Assign(const TZEDirArray& source);
  void ClearTags();
  bool FileExists(const WideString& name, int& index);
  void SetItemName(int index, const WideString& name);  // native 59
  // Appends an empty item and its empty index entry; returns its index.
  int AppendItem();

  static WideString IndexKey(const WideString& name);

private:
  std::vector<TDirItem> FItems;
  TZEHashedStringList* FNames;
  int FGrowStep = 500;
  int FMaxGrowStep = 10000;
  int FCapacity = 0;
  int FCount = 0;
};

class TZEDirManager : public TObject {
  CL_CLASS(TZEDirManager, TObject)
public:
  TZEDirManager(TStream* stream, bool newArchive, TZEBaseArchiver* owner);
  ~TZEDirManager() override;

  TStream* Stream() const { return FStream; }
  void SetStream(TStream* stream) { FStream = stream; }
  TZEDirArray& Directory() { return *FDirectory; }
  TZEDirArray& Backup() { return *FBackup; }
  bool IsNewArchive() const { return FNewArchive; }
  bool IsCustomStream() const { return FCustomStream; }

  AnsiString Comment;
  TZEZip64CentralDirEndLocator Zip64Locator{};
  TZEZip64CentralDirEnd Zip64End{};
  TZEZipCentralDirEnd End{};
  int64_t StubSize = 0;
  bool HasZip64 = false;
  // Where the central directory begins; no item's data reaches past it.
  int64_t DirectoryStart = 0;
  // The position of the end record found by the last search (-1: none).
  int64_t EndPosition = -1;

  void InitCentralDirEnd();
  bool GetCentralDirEnd(TZEZipCentralDirEnd& record, int64_t& position, uint32_t signature);
  bool HasCentralDirEnd();
  void LoadDir();
  void SaveDir(bool append, TStream* stream = nullptr);
  bool FindSignature(TStream* stream, int64_t& position, const uint8_t* signature, int length);
  int64_t FindLocalFileHeader(int64_t start);
  void CalculateStubSize(int64_t endPosition);
  void ApplyStubOffset();
  // Sets an item's local header offset, in its ZIP64 field when needed.
  static void SetItemOffset(TDirItem& item, int64_t offset);
  void SaveSFXStub();
  bool IsEncrypted();
  bool IsSFXArchive();
  void OpenVolume(TZEVolumeNumberInfo& volume);

  // The volume the directory starts on and the last volume of the archive.
  uint32_t DirectoryDisk() const;
  uint32_t LastDisk() const;

private:
  void RebuildFromLocalHeaders();
  // Native 57 when two items' local records and data share bytes.
  void RefuseOverlappingItems();
  bool FindDataDescriptor(int64_t dataStart, int64_t limit, TZEZipDataDescriptor& descriptor);
  uint32_t LocalSignature() const;
  bool OemNames() const;

  TStream* FStream;
  bool FNewArchive;
  bool FCustomStream;
  TZEBaseArchiver* FOwner;
  std::unique_ptr<TZEDirArray> FBackup;
  std::unique_ptr<TZEDirArray> FDirectory;
};

// Parses a ZIP64 extra block into the item's values: each is taken only when
// its 32-bit field holds all ones and the block still has its bytes.
void ReadZip64Block(const std::vector<uint8_t>& data, TDirItem& item);
// The central ZIP64 block for an item (empty when no field needs it).
std::vector<uint8_t> MakeCentralZip64Block(const TDirItem& item);
