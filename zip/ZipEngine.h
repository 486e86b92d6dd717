// The archive component: opens or creates one ZIP archive, keeps its directory
// in memory, runs every change inside an update transaction that ends in a
// rebuild of the archive, and offers the add, extract, find, rename, delete and
// test operations. TZipEngine is the form the program uses.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "classes.h"

#include "ZEDirManager.h"
#include "ZEException.h"
#include "ZETypes.h"

class TUcStringList;
class TCriticalSection;
struct TZEItemCrypt;

// --- options ------------------------------------------------------------------

// How adding and extracting treat names, existing files and attributes.
class TZEOptions : public TPersistent {
  CL_CLASS(TZEOptions, TPersistent)
public:
  TZEStorePathMode StorePath = spRelativePath;
  bool Recurse = true;
  TZEFileShareMode ShareMode = smShareDenyNone;
  TZEOverwriteMode OverwriteMode = omAlways;
  bool CreateDirs = true;
  bool ReplaceReadOnly = true;
  bool SetAttributes = true;
  int32_t SearchAttr = 0x28BF;
  bool FlushBuffers = true;
  bool OEMFileNames = true;

  void Assign(TPersistent* source) override;
};

class TZESpanningOptions : public TPersistent {
  CL_CLASS(TZESpanningOptions, TPersistent)
public:
  bool AdvancedNaming = false;
  int64_t FirstVolumeSize = 0;
  TZEVolumeSize VolumeSize = vsAutoDetect;
  int64_t CustomVolumeSize() const { return FCustomVolumeSize; }
  // Values below 65536 are stored as 65536.
  void SetCustomVolumeSize(int64_t value);
  // Bytes allowed on a volume (0-based number), -1 for no limit.
  int64_t GetVolumeSize(int volume) const;
  void Assign(TPersistent* source) override;

private:
  int64_t FCustomVolumeSize = 0;
};

// Which volume of a multi-volume archive a stream stands for.
class TZEVolumeNumberInfo : public TObject {
  CL_CLASS(TZEVolumeNumberInfo, TObject)
public:
  enum TKind : uint8_t { vkFirst = 0, vkLast = 1, vkNumbered = 2, vkUnknown = 3 };
  TKind Kind = vkUnknown;
  int32_t VolumeNumber = -1;
  int32_t LastVolumeNumber = -1;

  void Init();
  void SetFirstVolume(bool value);
  void SetLastVolume(bool value);
  void SetVolumeNumber(int32_t n);
  bool GetFirstVolume() const { return VolumeNumber == 0; }
  bool GetLastVolume() const;
  bool IsEqualTo(const TZEVolumeNumberInfo& other) const;
};

// --- events ---------------------------------------------------------------------

using TZEProgressEvent =
    TEvent<void(TObject* sender, double progress, TZEProcessOperation operation, TZEProgressPhase phase, bool& cancel)>;
using TZEFileProgressEvent = TEvent<void(TObject* sender, const WideString& fileName, double progress,
                                         TZEProcessOperation operation, TZEProgressPhase phase, bool& cancel)>;
using TZECopyTempFileProgressEvent =
    TEvent<void(TObject* sender, double progress, TZEProgressPhase phase, bool& cancel)>;
using TZEConfirmOverwriteEvent =
    TEvent<void(TObject* sender, const WideString& sourceFileName, WideString& destFileName, bool& confirm)>;
using TZEConfirmProcessFileEvent =
    TEvent<void(TObject* sender, const WideString& fileName, TZEProcessOperation operation, bool& confirm)>;
using TZEOnPasswordEvent =
    TEvent<void(TObject* sender, const WideString& fileName, AnsiString& newPassword, bool& skipFile)>;
using TZEProcessFileFailureEvent =
    TEvent<void(TObject* sender, const WideString& fileName, TZEProcessOperation operation, int nativeError,
                int errorCode, const WideString& errorMessage, TZEAction& action)>;
using TZEOnRequestBlankVolumeEvent =
    TEvent<void(TObject* sender, int volumeNumber, WideString& volumeFileName, bool& cancel)>;
using TZEOnRequestFirstVolumeEvent = TEvent<void(TObject* sender, WideString& volumeFileName, bool& cancel)>;
using TZEOnRequestLastVolumeEvent = TEvent<void(TObject* sender, WideString& volumeFileName, bool& cancel)>;
using TZEOnRequestMiddleVolumeEvent =
    TEvent<void(TObject* sender, int volumeNumber, WideString& volumeFileName, bool& cancel)>;
using TZEOnDiskFullEvent =
    TEvent<void(TObject* sender, int volumeNumber, const WideString& volumeFileName, bool& cancel)>;
using TZEOnProcessVolumeFailureEvent = TEvent<void(TObject* sender, TZEProcessOperation operation, int volumeNumber,
                                                   const WideString& volumeFileName, bool& result)>;
using TZEOnStoreFileEvent = TEvent<void(TObject* sender, WideString& fileName, uint32_t& fileAttr,
                                        AnsiString& comment, const WideString& originalFileName)>;
using TZEOnExtractFileEvent =
    TEvent<void(TObject* sender, WideString& fileName, uint32_t& fileAttr, const AnsiString& comment)>;

// The message and input boxes of the default event answers. The program keeps
// the built-in ones; tests replace them to answer without a human.
enum TZEDialogButtons { zdbYesNoAll, zdbAbortIgnore, zdbAbortRetryIgnore, zdbOkCancel };
enum TZEModalResult { zmrNone, zmrOk, zmrCancel, zmrAbort, zmrRetry, zmrIgnore, zmrYes, zmrNo, zmrNoToAll, zmrYesToAll };
struct TZEDialogs {
  TZEModalResult (*Confirm)(const WideString& text, TZEDialogButtons buttons);
  // True when accepted; value holds the initial text and receives the answer.
  bool (*InputQuery)(const WideString& caption, const WideString& prompt, AnsiString& value);
};
extern TZEDialogs ZEDialogs;

// --- search ----------------------------------------------------------------------

struct TInternalSearchRec {
  int32_t Index = 0;        // directory index of the last match; the search starts there
  WideString Mask;          // '/' separators; any length
  bool Wildcard = false;
  int32_t SearchAttr = 0;
  WideString ExclusionMask;
  bool UseMaskLists = false;
};

struct TZEArchiveItem {
  WideString FileName;  // file-name part of the stored name
  WideString FilePath;  // folder part with '\' separators and a trailing '\'
  int64_t PackedSize = 0;
  int64_t UnpackedSize = 0;
  double CompressionRatio = 0;
  bool IsEncrypted = false;
  uint16_t ModDate = 0;
  uint16_t ModTime = 0;
  uint32_t Crc32 = 0;
  uint32_t ExternalAttributes = 0;
  AnsiString Comment;
  TInternalSearchRec Search;
};

// A stream that takes every byte and keeps none: testing an item extracts it
// into one.
class TNullStream : public TStream {
  CL_CLASS(TNullStream, TStream)
public:
  int32_t Read(void*, int32_t count) override { return count; }
  int32_t Write(const void*, int32_t count) override { return count; }
  int32_t Seek(int32_t, uint16_t) override { return 0; }
  int64_t Seek(int64_t, TSeekOrigin) override { return 0; }
  void SetSize(int64_t) override {}
  void SetSize(int32_t) override {}
};

// --- the component ------------------------------------------------------------------

class TZEBaseArchiver : public TComponent {
  CL_CLASS(TZEBaseArchiver, TComponent)
public:
  explicit TZEBaseArchiver(TComponent* owner);
  ~TZEBaseArchiver() override;

  // Properties.
  bool ExtractCorruptedFiles() const { return FExtractCorruptedFiles; }
  void SetExtractCorruptedFiles(bool v) { FExtractCorruptedFiles = v; }
  TZECompressionLevel CompressionLevel() const { return FCompressionLevel; }
  void SetCompressionLevel(TZECompressionLevel level);
  int CompressionMode() const { return FCompressionMode; }
  void SetCompressionMode(int mode);  // native 5 for 10 and above
  uint16_t CompressionMethod() const { return FCompressionMethod; }
  WideString CurrentVersion() const;
  void SetCurrentVersion(const WideString&) {}
  const AnsiString& Password() const { return FPassword; }
  virtual void SetPassword(const AnsiString& value);
  const WideString& FileName() const { return FFileName; }
  void SetFileName(const WideString& v) { FFileName = v; }
  const WideString& BaseDir() const { return FBaseDir; }
  void SetBaseDir(const WideString& v) { FBaseDir = v; }
  const WideString& TempDir() const { return FTempDir; }
  void SetTempDir(const WideString& v) { FTempDir = v; }
  const WideString& SFXStub() const { return FSFXStub; }
  void SetSFXStub(const WideString& v) { FSFXStub = v; }
  TZESpanningMode SpanningMode() const { return FSpanningMode; }
  void SetSpanningMode(TZESpanningMode mode);
  TZESpanningOptions* SpanningOptions() const { return FSpanningOptions.get(); }
  void SetSpanningOptions(TZESpanningOptions* v) { FSpanningOptions->Assign(v); }
  TZEOptions* Options() const { return FOptions.get(); }
  void SetOptions(TZEOptions* v) { FOptions->Assign(v); }
  TUcStringList* FileMasks() const { return FFileMasks; }
  void SetFileMasks(TUcStringList* v);
  TUcStringList* ExclusionMasks() const { return FExclusionMasks; }
  void SetExclusionMasks(TUcStringList* v);
  TUcStringList* NoCompressionMasks() const { return FNoCompressionMasks; }
  void SetNoCompressionMasks(TUcStringList* v);
  bool InMemory() const { return FInMemory; }
  void SetInMemory(bool value);
  TZip64Mode Zip64Mode() const { return FZip64Mode; }
  void SetZip64Mode(TZip64Mode v) { FZip64Mode = v; }
  bool UnicodeFilenames() const { return FUnicodeFilenames; }
  void SetUnicodeFilenames(bool v) { FUnicodeFilenames = v; }
  TZECryptoAlgorithm EncryptionMethod() const { return FEncryptionMethod; }
  void SetEncryptionMethod(TZECryptoAlgorithm v) { FEncryptionMethod = v; }
  bool OpenTolerance() const { return FOpenTolerance; }
  void SetOpenTolerance(bool v) { FOpenTolerance = v; }
  bool StandardSignatures() const { return FStandardSignatures; }

  bool Active() const { return FActive; }
  void SetActive(bool value);
  bool InUpdate() const { return FUpdateCount > 0; }
  int UpdateCount() const { return FUpdateCount; }
  AnsiString FileComment() const;
  void SetFileComment(const AnsiString& value);
  bool Encrypted() const;
  bool Exists() const;
  int64_t GetArchiveSize();
  int GetFileCount();
  void Lock();
  void Unlock();

  // Events.
  TZEFileProgressEvent OnFileProgress;
  TZEProgressEvent OnOverallProgress;
  TZECopyTempFileProgressEvent OnCopyTempFileProgress;
  TZEConfirmOverwriteEvent OnConfirmOverwrite;
  TZEConfirmProcessFileEvent OnConfirmProcessFile;
  TNotifyEvent AfterOpen;
  TZEOnPasswordEvent OnPassword;
  TZEProcessFileFailureEvent OnProcessFileFailure;
  TZEOnRequestFirstVolumeEvent OnRequestFirstVolume;
  TZEOnRequestLastVolumeEvent OnRequestLastVolume;
  TZEOnRequestMiddleVolumeEvent OnRequestMiddleVolume;
  TZEOnRequestBlankVolumeEvent OnRequestBlankVolume;
  TZEOnDiskFullEvent OnDiskFull;
  TZEOnProcessVolumeFailureEvent OnProcessVolumeFailure;
  TZEOnStoreFileEvent OnStoreFile;
  TZEOnExtractFileEvent OnExtractFile;

  // Life cycle and transactions.
  void OpenArchive();
  void OpenArchive(uint16_t mode);
  void OpenArchive(TStream* stream, bool create);
  // Never raises; a commit that fails here is rolled back, and the failure is
  // kept in LastCloseError (empty when the close was clean), the system's
  // error code of the call that failed in LastCloseSystemError (0 when the
  // failure was the engine's own or the close was clean).
  void CloseArchive();
  const WideString& LastCloseError() const { return FLastCloseError; }
  uint32_t LastCloseSystemError() const { return FLastCloseSystemError; }
  void BeginUpdate();
  void EndUpdate();
  void CancelUpdate();
  void ForceUpdate();

  // Operations.
  void AddFiles();
  void AddFiles(const WideString& fileMask, int searchAttr, const WideString& exclusionMask);
  void MoveFiles();
  void MoveFiles(const WideString& fileMask, int searchAttr, const WideString& exclusionMask);
  void DeleteFiles();
  void DeleteFiles(const WideString& fileMask, int searchAttr, const WideString& exclusionMask);
  void UpdateFiles();
  void UpdateFiles(const WideString& fileMask, int searchAttr, const WideString& exclusionMask);
  void TestFiles();
  void TestFiles(const WideString& fileMask, int searchAttr, const WideString& exclusionMask);
  void ExtractFiles();
  void ExtractFiles(const WideString& fileMask, int searchAttr, const WideString& exclusionMask);
  void ChangeFilesAttr(const WideString& fileMask, uint32_t attr);
  void ChangeFilesIntAttr(const WideString& fileMask, uint16_t attr);
  void ChangeFilesComment(const WideString& fileMask, const AnsiString& comment);
  bool FindFirst(const WideString& fileMask, TZEArchiveItem& item, int searchAttr, const WideString& exclusionMask);
  bool FindFirst(TZEArchiveItem& item);
  bool FindNext(TZEArchiveItem& item);
  void RenameFile(const WideString& oldName, const WideString& newName);
  int GetFileCendralDirItemNo(const WideString& name);

  // Items from and to streams, buffers and strings.
  void AddFromStream(const WideString& fileName, TStream* stream, bool copyToBuffer, int64_t position,
                     int64_t count, uint32_t attr, TDateTime dateTime);
  void AddFromBuffer(const WideString& fileName, const void* buffer, int32_t count, uint32_t attr,
                     TDateTime dateTime);
  void AddFromString(const WideString& fileName, const AnsiString& text, uint32_t attr, TDateTime dateTime);
  void ExtractToStream(const WideString& fileName, TStream* stream);
  void ExtractToBuffer(const WideString& fileName, void* buffer, int32_t count);
  void ExtractToString(const WideString& fileName, AnsiString& text);

  // Whether the password opens the named item: its stored check data first,
  // then a test extraction with that password (native 42 when no such item).
  bool IsFilePasswordValid(const WideString& fileName, const AnsiString& password);
  // Self-extracting archives: a copy of the archive behind the SFXStub file,
  // its directory pointing at the new positions.
  void MakeSFX(const WideString& sfxFileName);
  // Whether FileName holds an archive whose items all test well (true at once
  // for an open component).
  bool IsValidArchiveFile();
  // Copies every item that can be read into a new archive: DestFileName, or,
  // when empty, FileName itself once the copy is complete.
  void RepairArchive(const WideString& destFileName);
  // Appends the whole of source to dest through a 1 MiB buffer; false when a
  // read or write came up short or a progress answer cancelled.
  bool FastFileAppend(TStream* dest, TStream* source, const WideString& fileName);
  static bool IsSFXArchive(const WideString& name);
  // Bytes available to the caller on the drive of name.
  int64_t GetFreeDriveSpace(const WideString& name);
  // Decides SpanningMode from the end record just read (see the volume unit).
  void DetectSpanning();

  // The directory manager of the open archive (null when closed).
  TZEDirManager* DirManager() const { return FDirManager.get(); }
  TStream* ArchiveStream() const { return FArchiveStream; }
  TZEVolumeNumberInfo& VolumeState() { return *FVolumeState; }

  // The volume-aware writers (a plain write without spanning).
  int64_t WriteToStream(const void* buffer, int64_t count, TStream*& stream, TZEVolumeNumberInfo& volume,
                        int64_t keepTogether, TStream* cacheStream);
  // Raises native 46 when fewer bytes were written than asked.
  void WriteBufferToStream(TStream* stream, const void* buffer, int64_t count);
  // Writes, asking the disk-full question after a short write; false when the
  // answer was Cancel (the cancel flag is then set).
  bool WriteToStreamWithOnDiskFull(TStream* stream, const void* buffer, int32_t count);
  // Opens the volume (for a single-file archive: FileName unless already open).
  void OpenVolume(TZEVolumeNumberInfo& volume);
  // The default name of a volume (0xFFFFFFFF: the last one).
  void MakeDefaultVolumeName(WideString& volumeName, uint32_t volumeNumber, bool checkExists);

  // A new empty file with prefix "FC" in TempDir, else the system's temporary folder.
  WideString GetTempFileName();

  // Event dispatchers: the handler's answer, or the fixed default.
  virtual void DoOnOverallProgress(double progress, TZEProcessOperation operation, TZEProgressPhase phase,
                                   bool& cancel);
  virtual void DoOnFileProgress(const WideString& fileName, double progress, TZEProcessOperation operation,
                                TZEProgressPhase phase, bool& cancel);
  virtual void DoOnCopyTempFileProgress(double progress, TZEProgressPhase phase, bool& cancel);
  virtual void DoOnConfirmOverwrite(const WideString& sourceFileName, WideString& destFileName, bool& confirm);
  virtual void DoOnConfirmProcessFile(const WideString& fileName, TZEProcessOperation operation, bool& confirm);
  virtual void DoOnPassword(const WideString& fileName, AnsiString& newPassword, bool& skipFile);
  virtual void DoOnProcessFileFailure(const WideString& fileName, TZEProcessOperation operation, int nativeError,
                                      int errorCode, const WideString& errorMessage, TZEAction& action);
  virtual void DoOnRequestBlankVolume(int volumeNumber, WideString& volumeFileName, bool& cancel);
  virtual void DoOnRequestFirstVolume(WideString& volumeFileName, bool& cancel);
  virtual void DoOnRequestLastVolume(WideString& volumeFileName, bool& cancel);
  virtual void DoOnRequestMiddleVolume(int volumeNumber, WideString& volumeFileName, bool& cancel);
  virtual void DoOnDiskFull(int volumeNumber, const WideString& volumeFileName, bool& cancel);
  virtual void DoOnProcessVolumeFailure(TZEProcessOperation operation, int volumeNumber,
                                        const WideString& volumeFileName, bool& result);
  virtual void DoOnStoreFile(WideString& fileName, uint32_t& fileAttr, AnsiString& comment,
                             const WideString& originalFileName);
  virtual void DoOnExtractFile(WideString& fileName, uint32_t& fileAttr, const AnsiString& comment);
  void DoAfterOpen();

protected:
  virtual void SetCompMethod();

  uint16_t FCompressionMethod = 0xFFFF;
  uint8_t FCompressionMode = 1;
  bool FStandardSignatures = false;
  TZip64Mode FZip64Mode = zmAuto;
  TZECryptoAlgorithm FEncryptionMethod = caPkzipClassic;
  AnsiString FPassword;

private:
  friend class TZEDirManager;
  struct TPipeline {
    int32_t ItemsDone = 0;
    int32_t ItemsToProcess = 0;
    int64_t OverallTotal = 0;
    int64_t OverallDone = 0;
    bool Cancel = false;
    bool ProgressOn = false;
    bool PasswordSkip = false;
  };
  // The state of one rebuild (ForceUpdate and the item writers it calls).
  struct TRebuild;

  // Volumes: a split archive is built whole in FWholeName and then cut into
  // its volumes; a split archive is read through a joined volume stream.
  void WriteVolumes();
  void OpenVolumeSet();
  // Reads the end record of the open stream with a new reading directory
  // manager; one that names later volumes joins them. Whether it was found.
  bool ReadEndRecord();
  // Opens a self-extracting archive: whole in its .exe, or the first volume of
  // a split set read whole from its last volume. False when no end record was
  // found (the caller decides whether the directory is rebuilt).
  bool InternalOpenSFXArchive();
  // Whether volume n of a split set named after FileName exists, under either
  // naming.
  bool SplitVolumeExists(uint32_t volume);
  WideString FWholeName;

  // Component core.
  void CheckInactive();
  void CheckInUpdate();
  void CheckModifySpanning();
  void InternalOpenArchive(uint16_t mode);
  void FreeArchive();
  void ReopenFileStream(const WideString& name);
  void RestoreWorkingDirectory();
  void RenameItem(int index, const WideString& oldName, const WideString& newName, bool wholeName);
  bool IsRemovable(const WideString& name) const;
  void RunTagged(TZEProcessOperation operation, const WideString* fileMask, int searchAttr,
                 const WideString& exclusionMask);
  void ChangeFound(const WideString& fileMask, int notFound, TZEProcessOperation operation,
                   const std::function<void(TDirItem&)>& change);
  TZEDirArray& Dir();

  // Codec.
  bool InternalCompressFile(TStream* source, TStream* dest, TDirItem& item);
  bool InternalDecompressFile(TStream* source, TStream* dest, TDirItem& item);
  bool CompressStream(TStream* source, TStream* dest, TDirItem& item, int64_t sourceSize, int64_t& bytesRead,
                      int64_t& bytesWritten, uint32_t& crc, TZEItemCrypt& crypt);
  bool DecompressStream(TStream* source, TStream* dest, TDirItem& item, int64_t packed, int64_t unpacked,
                        int64_t& written, uint32_t& crc, TZEItemCrypt& crypt, const TZEZipFileHeader& local);

  // Item encryption.
  // Whether a file item is written with AES: it has a password while an AES
  // method is chosen.
  bool IsAESItem(const TDirItem& item) const;
  // Writes the traditional header or the AES salt and check value before the
  // data (taking the CRC first for the former); false when the write failed.
  bool StartItemEncryption(TStream* source, TStream* dest, TDirItem& item, int64_t sourceSize,
                           int64_t& bytesWritten, uint32_t& crc, TZEItemCrypt& crypt);
  // Reads the item's encryption header and checks the password, asking for
  // another through the password event; false when skipped or refused.
  bool OpenItemEncryption(TStream* source, TDirItem& item, const TZEZipFileHeader& local, TZEItemCrypt& crypt);
  double FilePercent() const;

  // Update engine.
  void RunRebuild(TRebuild& r);
  bool WriteLocalItem(TRebuild& r, int index);
  void CopyItem(TRebuild& r, int index);
  int64_t LocalRecordLength(TStream* source, int64_t offset, const TDirItem& backup, TZEZipFileHeader& header);
  void DeleteMovedSources(TRebuild& r);
  void CommitRebuild(TRebuild& r);
  void RollbackRebuild(TRebuild& r);

  // Adding.
  void InternalAddFiles(TUcStringList* fileMasks, int searchAttr, TUcStringList* exclusionMasks, bool isMove,
                        bool recurse);
  void SearchDiskFiles(const WideString& path, const WideString& mask, bool recurse, int searchAttr,
                       TUcStringList* exclusionMasks, bool isMove);
  void CheckAndAddFile(const WideString& fullPath, bool isFolder, uint32_t attr, int64_t size,
                       TUcStringList* exclusionMasks, bool isMove, bool& added);
  int AddFileInit(const WideString& fileName, const WideString& baseDir, bool fromDisk, uint32_t attr,
                  TDateTime dateTime);
  void FillDirItem(int index, const WideString& fileName, bool fromDisk, uint32_t attr, TDateTime dateTime);
  void UpdateItem(int index, const WideString& fileName);
  void UpdateTaggedFile(int index, const WideString& storedName, const WideString& baseDir);
  bool IsExternalFileMatchMask(const WideString& fileName, const WideString& mask, bool isDir);
  void InternalAddFromStream(const WideString& fileName, TStream* stream, bool copyToBuffer, int64_t position,
                             int64_t count, uint32_t attr, TDateTime dateTime, bool ownsStream);
  WideString CurrentFolder();
  // The source's size in the item: 32-bit, or all ones and the ZIP64 value.
  void SetSourceSize(TDirItem& item, int64_t size);
  // A header field's value: from 4 GiB up, or every value when ZIP64 is
  // forced, the field holds all ones, the value goes to its ZIP64 field and
  // the item is marked ZIP64.
  uint32_t Header32(TDirItem& item, int64_t value, int64_t& zip64Value) const;
  // Whether a file replaces the item of its name: by the overwrite mode, the
  // DOS time stamps compared unsigned (dates from 2044 on stay later).
  bool MayReplace(const WideString& source, const WideString& stored, uint32_t incoming, uint32_t held);

  // Finding and extracting.
  bool InternalFind(TZEArchiveItem& item);
  bool IsItemMatches(int index, const TZEArchiveItem& item);
  void TagFiles();
  void TagFiles(const WideString& fileMask, int searchAttr, const WideString& exclusionMask);
  void ProcessTaggedFiles(TZEProcessOperation operation);
  void ExtractTaggedFile(int index, WideString name, WideString baseDir);
  void TestTaggedFile(int index, const WideString& name);
  bool DeleteTaggedFile(int index);
  void ExtractItem(int index, TStream* stream);
  void DeleteItem(int index);
  int FindItemForStreamOp(const WideString& fileName);

  // Fields in the order of the component's description.
  WideString FCurrentDir;  // base folder for name expansion (empty: the process's)
  int32_t FUpdateCount = 0;
  bool FActive = false;
  bool FExternalStream = false;
  WideString FFileName;
  WideString FVolumeName;
  std::unique_ptr<TZEVolumeNumberInfo> FVolumeState;
  uint16_t FOpenMode = 0;
  WideString FTempDir, FBaseDir, FSFXStub;
  std::unique_ptr<TZEOptions> FOptions;
  TUcStringList* FFileMasks = nullptr;
  TUcStringList* FExclusionMasks = nullptr;
  TUcStringList* FNoCompressionMasks = nullptr;
  bool FInMemory = false;
  TPipeline FPipeline;
  TZESpanningMode FSpanningMode = smNone;
  std::unique_ptr<TZESpanningOptions> FSpanningOptions;
  bool FExtractCorruptedFiles = false;
  bool FOpenTolerance = true;
  bool FUnicodeFilenames = true;
  int64_t FCurrentDone = 0;
  int64_t FCurrentTotal = 0;
  bool FPasswordTest = false;
  bool FUpdateCommitted = false;
  std::unique_ptr<TZEDirManager> FDirManager;
  TZECompressionLevel FCompressionLevel = TZECompressionLevel::clFastest;
  TStream* FArchiveStream = nullptr;
  // Set when a write to the archive failed for good (disk full answered Cancel).
  bool FWriteFailed = false;
  // The system's code of the last write that came up short (0 for a stream
  // that is no file).
  uint32_t FWriteError = 0;
  WideString FLastCloseError;
  uint32_t FLastCloseSystemError = 0;
};

class TZipEngine : public TZEBaseArchiver {
  CL_CLASS(TZipEngine, TZEBaseArchiver)
public:
  explicit TZipEngine(TComponent* owner);
  // A password set while none was set before also selects traditional PKWARE
  // encryption, even when an AES method was chosen first: set the password
  // first, then the method.
  void SetPassword(const AnsiString& value) override;

protected:
  void SetCompMethod() override;
};

// Stored-name rules and helpers shared by adding and extracting.
WideString ExpandWithBaseDir(const WideString& base, const WideString& name, WideString currentDir);
WideString MakeStoredName(const WideString& fileName, const WideString& base, TZEStorePathMode storePath,
                          const WideString& currentDir);
void GetFullMask(const WideString& mask, const WideString& path, WideString& fullMask, bool& isPlainRelative,
                 const WideString& currentDir);
bool IsInternalFileMatchMask(const WideString& fileName, const WideString& mask);
bool CheckAttributesMatch(int attr, int searchAttr);
int ShareModeToInt(int shareMode);
bool IsFloppyDrive(const WideString& name);
bool IsRemovableDrive(const WideString& name);
bool DelTreeIfNoFiles(const WideString& folder);

// The engine's process-wide lock: recursive, held through a scope guard.
TCriticalSection& ZELockSection();
class TZELockGuard {
public:
  TZELockGuard();
  ~TZELockGuard();
  TZELockGuard(const TZELockGuard&) = delete;
  TZELockGuard& operator=(const TZELockGuard&) = delete;
};

void UnitInit_ZipEngine();
void UnitFini_ZipEngine();
